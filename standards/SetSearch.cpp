#include "standards/SetSearch.h"

#include "model/Calculation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace valmora {

namespace {

// A set found better only by more than this share is no better: rounding is not progress.
constexpr double kBetterShare = 1e-9;

// What the search looks for: the highest demand pressure, or the largest flow at a head.
struct Goal {
    bool demand = true;
    std::function<double(int16_t)> required;
    double origin = 0;
    const SupplyCurve* supply = nullptr; // the flow at the operating point on it, not at `origin`
};

struct Evaluated {
    double value = -std::numeric_limits<double>::infinity();
    std::optional<ScenarioNetwork> tree;
    ScenarioNetwork::Solution solution;
    int critical = -1; // the member that sets the demand (slot)
};

Evaluated evaluate(const StandardNetwork& network, const std::vector<int16_t>& members, const Goal& goal) {
    Evaluated e;
    e.tree.emplace(network, members);
    if (!goal.demand) {
        double origin = goal.origin;
        if (goal.supply) {
            const auto drawn = [&](double pressure) { return e.tree->solve(pressure).totalFlow; };
            const std::optional<SupplyCurve::Point> point = goal.supply->operatingPoint(drawn);
            origin = point ? point->pressure : 0.0;
        }
        e.solution = e.tree->solve(origin);
        e.value = e.solution.totalFlow;
        return e;
    }
    std::vector<double> required;
    for (const int16_t m : e.tree->members())
        required.push_back(goal.required(m));
    const std::optional<ScenarioNetwork::Demand> demand = e.tree->demand(required);
    if (!demand) {
        e.value = std::numeric_limits<double>::infinity();
        return e;
    }
    e.value = demand->pressure;
    e.solution = demand->solution;
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t m = 0; m < required.size(); ++m)
        if (e.solution.pressure[m] - required[m] < least) {
            least = e.solution.pressure[m] - required[m];
            e.critical = int(m);
        }
    return e;
}

// Estimates of what each candidate would add to an evaluated set.
class Estimator {
public:
    Estimator(const StandardNetwork& network, const Evaluated& set, const Goal& goal)
        : network_(network), set_(set) {
        const Project& project = network.project();
        const std::size_t size = project.NodeTable.size();
        const ScenarioNetwork& tree = *set.tree;
        const std::vector<int16_t>& nodes = tree.treeNodes();
        onTree_.assign(size, -1);
        for (std::size_t k = 0; k < nodes.size(); ++k) {
            const int16_t stop = tree.treeParent(k) >= 0 ? nodes[std::size_t(tree.treeParent(k))] : 0;
            for (int16_t v = nodes[k]; v != stop && v > 0; v = project.NodeTable[std::size_t(v)].parent)
                onTree_[std::size_t(v)] = int(k);
        }
        // How much an extra l/min costs the critical member's path, from the supply down.
        std::vector<bool> critical(size, false);
        lcum_.assign(size, 0.0);
        if (goal.demand && set.critical >= 0) {
            std::vector<int16_t> path;
            for (int16_t v = tree.members()[std::size_t(set.critical)]; v > 0;
                 v = project.NodeTable[std::size_t(v)].parent)
                path.push_back(v);
            double sum = 0;
            for (auto it = path.rbegin(); it != path.rend(); ++it) {
                const double flow = set.solution.edgeFlow[std::size_t(onTree_[std::size_t(*it)])];
                sum += kExponentSlope * network.sectionResistance(*it) *
                       std::pow(std::max(flow, 0.0), hydraulics::kExponent - 1);
                lcum_[std::size_t(*it)] = sum;
                critical[std::size_t(*it)] = true;
            }
        }
        attach_.assign(size, 0);
        criticalAbove_.assign(size, 0);
        for (const int16_t v : network.preorder()) {
            const int16_t p = project.NodeTable[std::size_t(v)].parent;
            attach_[std::size_t(v)] =
                onTree_[std::size_t(v)] >= 0 ? v : (p > 0 ? attach_[std::size_t(p)] : int16_t(0));
            criticalAbove_[std::size_t(v)] =
                critical[std::size_t(v)] ? v : (p > 0 ? criticalAbove_[std::size_t(p)] : int16_t(0));
        }
        demand_ = goal.demand;
    }

    double estimate(int16_t candidate) const {
        const int16_t at = attach_[std::size_t(candidate)];
        // A set that no head serves has no solution to estimate from: every candidate is alike.
        if (at == 0 || set_.solution.edgeFlow.empty())
            return 0;
        const double flow = network_.flowAlone(candidate, at, headAt(at));
        return demand_ ? flow * lcum_[std::size_t(criticalAbove_[std::size_t(candidate)])] : flow;
    }

private:
    static constexpr double kExponentSlope = hydraulics::kExponent;

    double headAt(int16_t node) const {
        const ScenarioNetwork& tree = *set_.tree;
        const auto k = std::size_t(onTree_[std::size_t(node)]);
        const int parent = tree.treeParent(k);
        const double above =
            parent >= 0 ? set_.solution.head[std::size_t(parent)] : set_.solution.originPressure;
        const double top = parent >= 0 ? network_.pathResistance(tree.treeNodes()[std::size_t(parent)]) : 0.0;
        const double flow = set_.solution.edgeFlow[k];
        return above -
               (network_.pathResistance(node) - top) * std::pow(std::max(flow, 0.0), hydraulics::kExponent);
    }

    const StandardNetwork& network_;
    const Evaluated& set_;
    bool demand_ = true;
    std::vector<int> onTree_;
    std::vector<double> lcum_;
    std::vector<int16_t> attach_, criticalAbove_;
};

bool better(double value, double than) {
    return value > than + kBetterShare * std::abs(than);
}

// The best of `base` + one candidate (not in `excluded`), the shortlist of the best estimates
// solved exactly.
std::optional<std::pair<int16_t, Evaluated>>
bestAddition(const StandardNetwork& network, const Evaluated& base, const std::vector<int16_t>& members,
             const std::vector<int16_t>& candidates, const std::vector<bool>& excluded, const Goal& goal,
             int& solved) {
    const Estimator estimator(network, base, goal);
    std::vector<std::pair<double, int16_t>> ranked;
    for (const int16_t c : candidates)
        if (!excluded[std::size_t(c)])
            ranked.emplace_back(estimator.estimate(c), c);
    const std::size_t shortlist = std::min<std::size_t>(kShortlist, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(shortlist), ranked.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    std::optional<std::pair<int16_t, Evaluated>> best;
    for (std::size_t i = 0; i < shortlist; ++i) {
        std::vector<int16_t> grown = members;
        grown.push_back(ranked[i].second);
        Evaluated e = evaluate(network, grown, goal);
        ++solved;
        if (!best || better(e.value, best->second.value))
            best.emplace(ranked[i].second, std::move(e));
    }
    return best;
}

// Every set of `count` among `candidates`, in lexicographic order of their positions.
FoundSet enumerate(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
                   const Goal& goal) {
    FoundSet found;
    found.value = -std::numeric_limits<double>::infinity();
    std::vector<int> pick(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        pick[std::size_t(i)] = i;
    const int n = int(candidates.size());
    for (;;) {
        std::vector<int16_t> members;
        for (const int i : pick)
            members.push_back(candidates[std::size_t(i)]);
        const double value = evaluate(network, members, goal).value;
        ++found.setsSolved;
        if (found.members.empty() || better(value, found.value)) {
            found.value = value;
            found.members = members;
        }
        int i = count - 1;
        while (i >= 0 && pick[std::size_t(i)] == n - count + i)
            --i;
        if (i < 0)
            break;
        ++pick[std::size_t(i)];
        for (int j = i + 1; j < count; ++j)
            pick[std::size_t(j)] = pick[std::size_t(j - 1)] + 1;
    }
    return found;
}

struct Candidate {
    std::vector<int16_t> members;
    Evaluated evaluated;
};

// Grows a set from `start` by the best additions.
Candidate grow(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
               const Goal& goal, const std::vector<int16_t>& start, int& solved) {
    std::vector<bool> inSet(network.project().NodeTable.size(), false);
    Candidate set{start, evaluate(network, start, goal)};
    ++solved;
    for (const int16_t m : start)
        inSet[std::size_t(m)] = true;
    while (int(set.members.size()) < count) {
        if (goal.demand && std::isinf(set.evaluated.value)) {
            // No head serves it already, and none will serve it with more members: any will do.
            for (const int16_t c : candidates)
                if (int(set.members.size()) < count && !inSet[std::size_t(c)]) {
                    set.members.push_back(c);
                    inSet[std::size_t(c)] = true;
                }
            break;
        }
        auto added = bestAddition(network, set.evaluated, set.members, candidates, inSet, goal, solved);
        if (!added)
            break;
        set.members.push_back(added->first);
        inSet[std::size_t(added->first)] = true;
        set.evaluated = std::move(added->second);
    }
    return set;
}

// Exchanges members for candidates while one exchange improves the set.
void exchange(const StandardNetwork& network, const std::vector<int16_t>& candidates, const Goal& goal,
              Candidate& set, int& solved) {
    std::vector<bool> inSet(network.project().NodeTable.size(), false);
    for (const int16_t m : set.members)
        inSet[std::size_t(m)] = true;
    for (int round = 0; round < kExchangeRounds; ++round) {
        bool improved = false;
        for (std::size_t out = 0; out < set.members.size(); ++out) {
            std::vector<int16_t> rest = set.members;
            rest.erase(rest.begin() + std::ptrdiff_t(out));
            const Evaluated without = evaluate(network, rest, goal);
            auto swapped = bestAddition(network, without, rest, candidates, inSet, goal, solved);
            if (!swapped || !better(swapped->second.value, set.evaluated.value))
                continue;
            inSet[std::size_t(set.members[out])] = false;
            inSet[std::size_t(swapped->first)] = true;
            set.members[out] = swapped->first;
            set.evaluated = std::move(swapped->second);
            improved = true;
        }
        if (!improved)
            break;
    }
}

// For the demand: under each node where branches meet, the (at most `count`) terminals that
// alone need the most head, estimated as the most demanding of them plus what their flows
// together lose on the path to that node; the kClusterSeeds best, to be grown to `count`.
// Terminals that need little alone can need much together behind a narrow pipe they share,
// which a set grown one terminal at a time misses.
std::vector<std::vector<int16_t>> clusterSeeds(const StandardNetwork& network,
                                               const std::vector<int16_t>& candidates, int count,
                                               const Goal& goal) {
    const Project& project = network.project();
    const std::size_t size = project.NodeTable.size();
    std::vector<double> alone(size, 0), flow(size, 0);
    std::vector<bool> isCandidate(size, false);
    for (const int16_t t : candidates) {
        isCandidate[std::size_t(t)] = true;
        alone[std::size_t(t)] = network.demandAlone(t, goal.required(t));
        flow[std::size_t(t)] = network.kn(t) * std::sqrt(std::max(goal.required(t), 0.0));
    }
    const auto mostDemanding = [&](int16_t a, int16_t b) {
        return alone[std::size_t(a)] > alone[std::size_t(b)];
    };
    // The `count` most demanding candidates below each node, merged from the ends up.
    std::vector<std::vector<int16_t>> top(size);
    std::vector<std::pair<double, int16_t>> estimated;
    const std::vector<int16_t>& order = network.preorder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const int16_t v = *it;
        const Node& node = project.NodeTable[std::size_t(v)];
        std::vector<int16_t>& here = top[std::size_t(v)];
        if (isCandidate[std::size_t(v)])
            here.push_back(v);
        for (const int16_t child : {node.continues() ? node.next : int16_t(0),
                                    node.hasDerivation() ? node.derivation : int16_t(0)}) {
            if (child <= 0)
                continue;
            std::vector<int16_t> merged;
            std::merge(here.begin(), here.end(), top[std::size_t(child)].begin(),
                       top[std::size_t(child)].end(), std::back_inserter(merged), mostDemanding);
            if (int(merged.size()) > count)
                merged.resize(std::size_t(count));
            here.swap(merged);
            top[std::size_t(child)] = {};
        }
        if (here.size() >= 2 && node.hasDerivation()) {
            double total = 0;
            for (const int16_t t : here)
                total += flow[std::size_t(t)];
            const int16_t critical = here.front();
            const double shared =
                network.pathResistance(v) * (std::pow(total, hydraulics::kExponent) -
                                             std::pow(flow[std::size_t(critical)], hydraulics::kExponent));
            estimated.emplace_back(alone[std::size_t(critical)] + shared, v);
        }
    }
    // Seeds from distinct nodes; the sets of nested nodes often coincide.
    std::sort(estimated.begin(), estimated.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::vector<int16_t>> seeds;
    std::vector<std::vector<int16_t>> taken;
    for (const auto& [value, v] : estimated) {
        if (int(seeds.size()) >= kClusterSeeds)
            break;
        (void)value;
        // The merged lists were moved up: rebuild this node's set from its subtree.
        std::vector<int16_t> set;
        for (const int16_t t : candidates)
            if (network.first(v) <= network.first(t) && network.first(t) < network.afterSubtree(v))
                set.push_back(t);
        std::sort(set.begin(), set.end(), mostDemanding);
        set.resize(std::min<std::size_t>(set.size(), std::size_t(count)));
        std::sort(set.begin(), set.end());
        if (std::find(taken.begin(), taken.end(), set) == taken.end()) {
            taken.push_back(set);
            seeds.push_back(set);
        }
    }
    return seeds;
}

// Sets grown from each of the kStarts terminals that alone need the most head (draw the most
// flow), and for the demand the cluster seeds; the kExchangedSets best of them improved by
// exchanges; the best of all.
FoundSet searchFromSeveralStarts(const StandardNetwork& network, const std::vector<int16_t>& candidates,
                                 int count, const Goal& goal) {
    FoundSet found;
    found.found = SetFound::Search;
    std::vector<std::pair<double, int16_t>> alone;
    for (const int16_t t : candidates)
        alone.emplace_back(
            goal.demand ? network.demandAlone(t, goal.required(t)) : network.flowAlone(t, 0, goal.origin), t);
    const std::size_t starts = std::min<std::size_t>(goal.demand ? kStarts : kFlowStarts, alone.size());
    std::partial_sort(alone.begin(), alone.begin() + std::ptrdiff_t(starts), alone.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    // A set that no head serves is as unfavourable as a set can be: nothing beats it.
    const auto unbeatable = [&](const std::vector<Candidate>& sets) {
        return goal.demand && !sets.empty() && std::isinf(sets.back().evaluated.value);
    };
    std::vector<Candidate> sets;
    for (std::size_t s = 0; s < starts && !unbeatable(sets); ++s)
        sets.push_back(grow(network, candidates, count, goal, {alone[s].second}, found.setsSolved));
    if (goal.demand && !unbeatable(sets))
        for (const std::vector<int16_t>& seed : clusterSeeds(network, candidates, count, goal)) {
            sets.push_back(grow(network, candidates, count, goal, seed, found.setsSolved));
            if (unbeatable(sets))
                break;
        }
    std::sort(sets.begin(), sets.end(),
              [](const Candidate& a, const Candidate& b) { return a.evaluated.value > b.evaluated.value; });
    for (std::size_t s = 0; s < sets.size() && s < std::size_t(kExchangedSets) && !unbeatable({sets.front()});
         ++s)
        exchange(network, candidates, goal, sets[s], found.setsSolved);
    const auto best = std::max_element(sets.begin(), sets.end(), [](const Candidate& a, const Candidate& b) {
        return a.evaluated.value < b.evaluated.value;
    });
    found.members = best->members;
    found.value = best->evaluated.value;
    return found;
}

FoundSet search(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
                const Goal& goal, long long exactLimit) {
    FoundSet found;
    if (count <= 0 || candidates.empty())
        return found;
    if (int(candidates.size()) <= count) {
        found.members = candidates;
        found.value = evaluate(network, candidates, goal).value;
        found.setsSolved = 1;
    } else if (countOfSets(static_cast<long long>(candidates.size()), count, exactLimit) <= exactLimit) {
        found = enumerate(network, candidates, count, goal);
    } else {
        found = searchFromSeveralStarts(network, candidates, count, goal);
    }
    std::sort(found.members.begin(), found.members.end(),
              [&](int16_t a, int16_t b) { return network.first(a) < network.first(b); });
    return found;
}

} // namespace

long long countOfSets(long long candidates, long long count, long long limit) {
    if (count < 0 || count > candidates)
        return 0;
    count = std::min(count, candidates - count);
    long long sets = 1;
    for (long long i = 1; i <= count; ++i) {
        sets = sets * (candidates - count + i) / i; // exact: a product of i consecutive numbers
        if (sets > limit)
            return limit + 1;
    }
    return sets;
}

FoundSet mostUnfavourableSet(const StandardNetwork& network, const std::vector<int16_t>& candidates,
                             int count, const std::function<double(int16_t)>& required,
                             long long exactLimit) {
    Goal goal;
    goal.demand = true;
    goal.required = required;
    return search(network, candidates, count, goal, exactLimit);
}

FoundSet mostFavourableSet(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
                           double originPressure, long long exactLimit) {
    Goal goal;
    goal.demand = false;
    goal.origin = originPressure;
    return search(network, candidates, count, goal, exactLimit);
}

FoundSet mostFavourableSet(const StandardNetwork& network, const std::vector<int16_t>& candidates, int count,
                           const SupplyCurve& supply, long long exactLimit) {
    Goal goal;
    goal.demand = false;
    goal.supply = &supply;
    goal.origin = supply.pressureAt(0);
    return search(network, candidates, count, goal, exactLimit);
}

double demandPressureOf(const StandardNetwork& network, const std::vector<int16_t>& members,
                        const std::function<double(int16_t)>& required) {
    Goal goal;
    goal.required = required;
    return evaluate(network, members, goal).value;
}

double totalFlowOf(const StandardNetwork& network, const std::vector<int16_t>& members,
                   double originPressure) {
    return ScenarioNetwork(network, members).solve(originPressure).totalFlow;
}

} // namespace valmora
