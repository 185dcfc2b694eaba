#pragma once

// The loop pipes beside the tree: what may join two nodes, a new pipe's first values, and the
// upkeep the edits of the tree owe them (a pipe stays on its nodes as their records move, and
// goes with a node deleted).

#include "model/Project.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

enum class LoopPipeProblem {
    SameNode,     // a pipe from a node to itself joins nothing
    NotOnTheTree, // a node that does not exist or that no walk from node 1 reaches
    TableFull,    // as many pipes as a 16-bit count holds
};

std::optional<LoopPipeProblem> loopPipeProblem(const Project& project, int16_t nodeA, int16_t nodeB);

// A pipe from A to B with node A's series and diameter (the project's last series and its
// first diameter when A's section is a KV element), 0 m long, named "Anello <n>".
LoopPipe newLoopPipe(const Project& project, int16_t nodeA, int16_t nodeB);

// The pipes on `node`, by index.
std::vector<std::size_t> loopPipesOn(const Project& project, int16_t node);
// Removes the pipes on `node`; returns how many.
int removeLoopPipesOn(Project& project, int16_t node);
// Removes the pipes on a node no walk from node 1 reaches any more; returns how many.
int removeLoopPipesOffTheTree(Project& project);
// The pipes on `from` go to `to` (a node's record moved there).
void moveLoopPipes(Project& project, int16_t from, int16_t to);

// Whether the network holds rings: a loop pipe, open or closed, the calculation must take into
// account (what a looped project shows is the converged solution).
inline bool hasLoopPipes(const Project& project) {
    return !project.loopPipes.empty();
}

} // namespace valmora
