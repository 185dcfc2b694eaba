#pragma once

// The sets of terminals a standard asks about: among the sets of N terminals of a role, the
// most unfavourable (the one whose members need the highest head at the supply to reach
// their minimums: its demand pressure) and the most favourable (the one that draws the
// largest flow at the available supply).
//
// Where the sets are few (at most kExactSetLimit) every one is solved and the best taken:
// the answer is exact. Otherwise a search:
//   1. grow sets from each of the kStarts terminals that alone need the most head (kFlowStarts
//      that alone draw the most flow), one terminal at a time, by the one that raises the
//      demand (the flow) the most: every candidate is first estimated from the solution of the
//      set as it stands (the flow it would draw from where its path leaves the set's tree,
//      times how much an extra flow there costs the member that sets the demand), and the
//      kShortlist best estimates are solved exactly;
//   2. for the demand, add the kClusterSeeds sets of the terminals that need the most head
//      under one node, estimated by what their flows together lose on the way to it:
//      terminals that need little alone can need much together behind a pipe they share;
//   3. improve the kExchangedSets best sets by exchanging a member for a candidate, estimated
//      and solved the same way, while an exchange helps (at most kExchangeRounds rounds);
//      the best set of all is the answer.
// The search is not exhaustive: its result needs no more than the best of the sets it
// solved, which tests hold against enumeration and against thousands of random sets.

#include "standards/StandardHydraulics.h"
#include "standards/SupplyCurve.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace valmora {

constexpr long long kExactSetLimit = 20000;
constexpr int kShortlist = 12;
constexpr int kExchangeRounds = 2;
constexpr int kStarts = 6;     // sets grown for the demand
constexpr int kFlowStarts = 2; // sets grown for the flow
constexpr int kClusterSeeds = 4;
constexpr int kExchangedSets = 2;

enum class SetFound { Exact, Search, Designer, Area, Cluster };

struct FoundSet {
    std::vector<int16_t> members; // in file order
    SetFound found = SetFound::Exact;
    double value = 0; // the demand pressure (bar), or the total flow (l/min)
    int setsSolved = 0;
    int setsTried = 0; // the design areas or clusters estimated, of which setsSolved were solved
};

// The number of sets of `count` among `candidates`, or more than the limit when larger.
long long countOfSets(long long candidates, long long count, long long limit = kExactSetLimit);

// `required(end)`: the pressure the terminal must stand at, bar. Candidates must be able to
// flow (not shut off, Kn > 0). With fewer candidates than `count`, all of them. Up to
// `exactLimit` sets are enumerated; beyond, the search.
FoundSet mostUnfavourableSet(const StandardNetwork& network, const std::vector<int16_t>& candidates,
                             int count, const std::function<double(int16_t)>& required,
                             long long exactLimit = kExactSetLimit);
FoundSet mostFavourableSet(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
                           double originPressure, long long exactLimit = kExactSetLimit);
// The same where the supply is a curve: each set at its own operating point on it.
FoundSet mostFavourableSet(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
                           const SupplyCurve& supply, long long exactLimit = kExactSetLimit);

// The demand pressure of a set, bar; infinite when no head suffices.
double demandPressureOf(const StandardNetwork& network, const std::vector<int16_t>& members,
                        const std::function<double(int16_t)>& required);
// The total flow of a set at `originPressure`, l/min.
double totalFlowOf(const StandardNetwork& network, const std::vector<int16_t>& members,
                   double originPressure);

} // namespace valmora
