#pragma once

// The sets a standard has work at once, as a reviewer draws them on the plan.
//
// Sprinklers (UNI EN 12845): the design area. A range is a chain of sections along which
// heads hang: each head either ends the chain's section or is the one section derived from
// it (as the comb generator builds them, and as designers draw them by hand). The head
// spacing s is the pipe length between consecutive heads of a range. Ranges fed from the same
// chain (the main) are ordered along it by their take-off; the two sides of one take-off are
// neighbours. With A the class's area and n heads working at once, the area is m = ⌈1,2·√A / s⌉
// consecutive heads along each of k adjacent ranges, taken until n are reached, the first or
// the last of them holding the remainder at either end of its m positions; a range shorter
// than m is taken whole, and the area grows across. Every position along and across is tried.
//
// Heads that hang on no range, and the outlets of UNI 10779 (hydrants, hose reels, external
// outlets), form clusters: a terminal and its n - 1 nearest by pipe length, every terminal as
// the seed.
//
// Of all the areas (or clusters), the most unfavourable needs the highest demand pressure,
// the most favourable draws the most flow at the supply. Each candidate is first estimated
// (its members drawing their required flows, the losses those flows make on the shared
// pipes), and the best by estimate are solved exactly; on a looped network (a gridded
// installation, whose ranges are fed from both ends) every candidate is solved.

#include "standards/SetSearch.h"
#include "standards/StandardHydraulics.h"
#include "standards/SupplyCurve.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace valmora {

// The candidates solved exactly, of those best by estimate.
constexpr int kExactlySolvedAreas = 12;
// On a looped network, every candidate is solved while they are at most this many.
constexpr int kLoopedAreasSolved = 400;
// The design area's side along the ranges: this times the square root of its area.
constexpr double kAreaLengthFactor = 1.2;

struct Range {
    std::vector<int16_t> heads; // terminal ends, in order along the chain
    std::vector<double> at;     // where each hangs along the chain, m from its start
    int16_t feedingChain = 0;   // the first node of the chain the range's chain is derived from
    double takeoff = 0;         // where it is derived along that chain, m
    double spacing = 0;         // the head spacing, m
};

// The ranges among `candidates` (terminal ends that may discharge), ordered: by the chain
// that feeds them, then along it.
std::vector<Range> findRanges(const StandardNetwork& network, const std::vector<int16_t>& candidates);

struct AreaShape {
    int along = 0;  // m: heads along each range
    int across = 0; // k: ranges
};
AreaShape areaShape(double areaM2, double spacing, int count);

// Every design area of `count` heads over the ranges; heads on no range seed clusters.
std::vector<std::vector<int16_t>>
designAreas(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count, double areaM2);
// Every cluster of `count` terminals among the candidates, each seeded by one of `seeds`.
std::vector<std::vector<int16_t>> clusters(const StandardNetwork& network,
                                           const std::vector<int16_t>& candidates,
                                           const std::vector<int16_t>& seeds, int count);

// Of `sets`: the one needing the highest demand pressure, and the one drawing the most flow at
// `originPressure` (or, with a supply curve, at its own operating point on it). `found` tells
// how the sets were made.
FoundSet mostUnfavourableOf(const StandardNetwork& network, const std::vector<std::vector<int16_t>>& sets,
                            const std::function<double(int16_t)>& required, SetFound found);
FoundSet mostFavourableOf(const StandardNetwork& network, const std::vector<std::vector<int16_t>>& sets,
                          const std::function<double(int16_t)>& requiredFlow, const SupplyCurve& supply,
                          SetFound found);

} // namespace valmora
