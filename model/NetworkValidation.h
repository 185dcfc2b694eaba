#pragma once

// What the calculation needs of a network before it may run: sound links, indexes that
// the catalogues have, and values for which every power and division is defined.

#include "model/NetworkResults.h"
#include "model/Project.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

// What stops the calculation, as a code; networkProblemText (model/NetworkProblemText.h)
// puts it in words.
enum class NetworkFault {
    NoSupplyPressure,           // the supply pressure is not above zero
    NoNodes,                    // the network has no node 1
    BadLinks,                   // value: the node a link names that is out of range, seen twice or
                                // whose parent is another
    BadLength,                  // a length or equivalent length that is not a number
    MissingSeries,              // value: the series index the catalogue lacks
    NonPositiveKv,              // a KV element of 0 or less
    MissingDiameter,            // value: the diameter index the series lacks
    NonPositiveC,               // the series' Hazen-Williams C is not above zero
    NonPositiveBore,            // the diameter's inner diameter is not above zero
    NonPositiveSectionLength,   // length and equivalent length add up to 0 or less
    UndefinedSectionResistance, // the section's resistance is not a finite positive number
    MissingTerminal,            // value: the terminal record the table lacks
    MissingTerminalType,        // value: the terminal type index the catalogue lacks
    BadKFactor,                 // the terminal type's K is not a usable positive number
    BadHeight,                  // the terminal's height is negative or not a number
    ResultsOutOfScale,          // a result of the node's is not a finite number
    TotalFlowOutOfScale,        // the total flow or the network's resistance is not finite
};

struct NetworkProblem {
    NetworkFault fault = NetworkFault::NoNodes;
    int16_t node = 0; // 0 when the problem is not one node's
    int value = 0;    // the index the fault names, where it names one
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
std::optional<NetworkProblem> findNonFiniteResult(const Project& project, const NetworkResults& results,
                                                  const std::vector<int16_t>& preorder);

// Whether one step of the quick update can run at `node`: its links, catalogue indexes and
// values are usable (what findCalculationProblem checks, for one node).
bool canReduceAt(const Project& project, int16_t node);

} // namespace valmora
