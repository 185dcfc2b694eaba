#pragma once

// What the calculation needs of a network before it may run: sound links, indexes that
// the catalogues have, and values for which every power and division is defined.

#include "model/Project.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

struct NetworkProblem {
    int16_t node = 0; // 0 when the problem is not one node's
    QString message;  // Italian, names the node
};

// The first problem found walking the network from node 1, or nullopt when it can be
// calculated: supply pressure > 0; every link in range, every node reached once, parent
// links matching; series, diameter and terminal-type indexes present in the catalogues;
// C > 0, inner diameters > 0, K > 0, heights >= 0; every section and terminal resistance
// finite and positive.
std::optional<NetworkProblem> findCalculationProblem(const Project& project);

// The first node, going up from the branch ends (`preorder` walked backwards), whose
// results are not finite numbers: a flow or a resistance that overflowed, as a KV of 1E38
// at an open end makes. nullopt when every result of the network is finite.
std::optional<NetworkProblem> findNonFiniteResult(const Project& project,
                                                  const std::vector<int16_t>& preorder);

// Whether one step of the quick update can run at `node`: its links, catalogue indexes and
// values are usable (what findCalculationProblem checks, for one node).
bool canReduceAt(const Project& project, int16_t node);

// "Nodo 12 "Tratto A"": how messages name a node.
QString describeNode(const Project& project, int16_t node);

} // namespace valmora
