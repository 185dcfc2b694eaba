#pragma once

// Walks of the tree. All are iterative: a chain of 32 767 nodes must not exhaust the stack.

#include "model/Project.h"

#include <cstdint>
#include <vector>

namespace valmora {

// Every vertex a walk along `around` (each vertex's neighbours) reaches from `seeds`; iterative,
// so a chain of any length is walked without deep recursion.
std::vector<bool> reachedFrom(const std::vector<std::vector<int>>& around, const std::vector<int>& seeds);

// Every node reached from node 1, each before everything it feeds: a node, then its
// whole continuation (with all that hangs off it), then its derived branch. This is the
// order of the node lines in a project file. Walked in reverse, every node comes after
// all of its descendants. The walk trusts the links (the network is well formed).
std::vector<int16_t> networkPreorder(const Project& project);

// The same order for the subtree that starts at `first`.
std::vector<int16_t> subtreePreorder(const Project& project, int16_t first);

// The nodes of the branch that starts at `first`: `first`, then each `next` while positive.
std::vector<int16_t> branchNodes(const Project& project, int16_t first);

// Last node of the branch that starts at `first`.
int16_t branchEnd(const Project& project, int16_t first);

// The first node of the branch holding `node`.
int16_t branchStartOf(const Project& project, int16_t node);

} // namespace valmora
