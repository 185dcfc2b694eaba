#include "standards/DesignAreas.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <set>

namespace valmora {

namespace {

using Set = std::vector<int16_t>;

// Where each node stands: the first node of its chain (node 1, or a derived branch's first),
// and its distance along the chain from the chain's start, m (its own section included).
struct Chains {
    std::vector<int16_t> start;
    std::vector<double> along;
};

Chains chainsOf(const StandardNetwork& network) {
    const Project& project = network.project();
    Chains chains;
    chains.start.assign(project.NodeTable.size(), 0);
    chains.along.assign(project.NodeTable.size(), 0.0);
    for (const int16_t v : network.preorder()) {
        const Node& node = project.NodeTable[std::size_t(v)];
        const auto p = std::size_t(node.parent);
        const bool startsChain = node.parent == 0 || project.NodeTable[p].next != v;
        chains.start[std::size_t(v)] = startsChain ? v : chains.start[p];
        chains.along[std::size_t(v)] = (startsChain ? 0.0 : chains.along[p]) + double(node.length);
    }
    return chains;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void sortByFilePosition(const StandardNetwork& network, Set& set) {
    std::sort(set.begin(), set.end(),
              [&](int16_t a, int16_t b) { return network.first(a) < network.first(b); });
}

// The heads of a window of `along` consecutive positions from `offset` on each range of
// `group` from `first` on, until `count`; the excess taken off the first or the last range of
// the window, at its start or its end. Empty when the ranges run out first.
std::vector<Set> windowsAt(const std::vector<const Range*>& group, std::size_t first, int offset, int along,
                           int count) {
    std::vector<Set> segments;
    int total = 0;
    for (std::size_t r = first; r < group.size() && total < count; ++r) {
        const Range& range = *group[r];
        const int length = int(range.heads.size());
        // A range shorter than the window is taken whole; a window past a range's end slides
        // back onto it.
        const int from = length <= along ? 0 : std::min(offset, length - along);
        const int to = length <= along ? length : from + along;
        segments.emplace_back(range.heads.begin() + from, range.heads.begin() + to);
        total += to - from;
    }
    if (total < count)
        return {};
    const int excess = total - count;
    std::vector<Set> windows;
    for (const bool lastHoldsIt : {true, false}) {
        for (const bool fromTheEnd : {true, false}) {
            std::vector<Set> cut = segments;
            Set& partial = lastHoldsIt ? cut.back() : cut.front();
            if (excess >= int(partial.size()))
                continue; // the remainder would empty it: another window holds that area
            if (fromTheEnd)
                partial.erase(partial.end() - excess, partial.end());
            else
                partial.erase(partial.begin(), partial.begin() + excess);
            Set area;
            for (const Set& s : cut)
                area.insert(area.end(), s.begin(), s.end());
            windows.push_back(std::move(area));
        }
    }
    return windows;
}

} // namespace

std::vector<Range> findRanges(const StandardNetwork& network, const std::vector<int16_t>& candidates) {
    const Project& project = network.project();
    const Chains chains = chainsOf(network);
    std::vector<bool> candidate(project.NodeTable.size(), false);
    for (const int16_t end : candidates)
        candidate[std::size_t(end)] = true;
    // The heads along each chain, in file order (which is the order along the chain).
    std::vector<int> rangeOf(project.NodeTable.size(), -1);
    std::vector<Range> ranges;
    std::vector<int16_t> startOf;
    for (const int16_t v : network.preorder()) {
        const Node& node = project.NodeTable[std::size_t(v)];
        int16_t head = 0;
        if (node.endsInTerminal() && candidate[std::size_t(v)]) {
            // A head ending the chain's own section, not one that is a derived branch of its own.
            if (chains.start[std::size_t(v)] != v)
                head = v;
        } else if (node.continues() && node.derivation > 0) {
            // A head derived as a single section: a drop from the chain.
            const Node& drop = project.NodeTable[std::size_t(node.derivation)];
            if (drop.endsInTerminal() && candidate[std::size_t(node.derivation)])
                head = node.derivation;
        }
        if (head == 0)
            continue;
        const int16_t start = chains.start[std::size_t(v)];
        if (rangeOf[std::size_t(start)] < 0) {
            rangeOf[std::size_t(start)] = int(ranges.size());
            ranges.emplace_back();
            startOf.push_back(start);
        }
        Range& range = ranges[std::size_t(rangeOf[std::size_t(start)])];
        range.heads.push_back(head);
        range.at.push_back(chains.along[std::size_t(v)]);
    }
    std::vector<Range> kept;
    std::vector<int16_t> keptStart;
    for (std::size_t r = 0; r < ranges.size(); ++r) {
        Range& range = ranges[r];
        if (range.heads.size() < 2)
            continue; // one head is no range
        keptStart.push_back(startOf[r]);
        const int16_t feeding = project.NodeTable[std::size_t(startOf[r])].parent;
        range.feedingChain = feeding > 0 ? chains.start[std::size_t(feeding)] : int16_t(0);
        range.takeoff = feeding > 0 ? chains.along[std::size_t(feeding)] : 0.0;
        std::vector<double> gaps;
        for (std::size_t k = 1; k < range.at.size(); ++k)
            if (range.at[k] > range.at[k - 1])
                gaps.push_back(range.at[k] - range.at[k - 1]);
        range.spacing = median(gaps);
        kept.push_back(std::move(range));
    }
    // A main that goes on into a range of its own (the comb generator's last take-off): that
    // range is one of those the main feeds, taken off where its heads begin.
    for (std::size_t r = 0; r < kept.size(); ++r) {
        const int16_t start = keptStart[r];
        const bool feedsOthers = std::any_of(kept.begin(), kept.end(),
                                             [&](const Range& other) { return other.feedingChain == start; });
        if (feedsOthers) {
            kept[r].feedingChain = start;
            kept[r].takeoff = kept[r].at.front();
        }
    }
    std::stable_sort(kept.begin(), kept.end(), [&](const Range& a, const Range& b) {
        const int fa = a.feedingChain > 0 ? network.first(a.feedingChain) : -1;
        const int fb = b.feedingChain > 0 ? network.first(b.feedingChain) : -1;
        return fa != fb ? fa < fb : a.takeoff < b.takeoff;
    });
    return kept;
}

AreaShape areaShape(double areaM2, double spacing, int count) {
    AreaShape shape;
    shape.along =
        spacing > 0 ? int(std::ceil(kAreaLengthFactor * std::sqrt(areaM2) / spacing - 1e-9)) : count;
    shape.along = std::clamp(shape.along, 1, std::max(count, 1));
    shape.across = (count + shape.along - 1) / shape.along;
    return shape;
}

std::vector<std::vector<int16_t>> designAreas(const StandardNetwork& network,
                                              const std::vector<int16_t>& candidates, int count,
                                              double areaM2) {
    const std::vector<Range> ranges = findRanges(network, candidates);
    std::set<Set> areas;
    std::vector<bool> onRange(network.project().NodeTable.size(), false);
    for (std::size_t g = 0; g < ranges.size();) {
        // The ranges fed from one chain, in order along it.
        std::vector<const Range*> group;
        std::size_t end = g;
        for (; end < ranges.size() && ranges[end].feedingChain == ranges[g].feedingChain; ++end)
            group.push_back(&ranges[end]);
        std::vector<double> spacings;
        int longest = 0, heads = 0;
        for (const Range* range : group) {
            spacings.push_back(range->spacing);
            longest = std::max(longest, int(range->heads.size()));
            heads += int(range->heads.size());
            for (const int16_t head : range->heads)
                onRange[std::size_t(head)] = true;
        }
        if (heads >= count) {
            const AreaShape shape = areaShape(areaM2, median(spacings), count);
            const auto reached = [&](std::size_t first, int along) {
                int total = 0;
                for (std::size_t r = first; r < group.size(); ++r)
                    total += std::min(int(group[r]->heads.size()), along);
                return total >= count;
            };
            // Too few ranges across the whole group: the area grows along them instead, as far
            // as it must to hold `count` heads.
            int along = shape.along;
            while (!reached(0, along) && along < longest)
                ++along;
            for (std::size_t first = 0; first < group.size() && reached(first, along); ++first) {
                for (int offset = 0; offset <= std::max(0, longest - along); ++offset)
                    for (Set& area : windowsAt(group, first, offset, along, count)) {
                        sortByFilePosition(network, area);
                        areas.insert(std::move(area));
                    }
            }
        }
        g = end;
    }
    // Heads on no range (or too few on their ranges): clusters around each of them.
    std::vector<int16_t> seeds;
    for (const int16_t end : candidates)
        if (!onRange[std::size_t(end)] || areas.empty())
            seeds.push_back(end);
    for (Set& cluster : clusters(network, candidates, seeds, count))
        areas.insert(std::move(cluster));
    return {areas.begin(), areas.end()};
}

std::vector<std::vector<int16_t>> clusters(const StandardNetwork& network,
                                           const std::vector<int16_t>& candidates,
                                           const std::vector<int16_t>& seeds, int count) {
    const Project& project = network.project();
    const std::size_t size = project.NodeTable.size();
    std::vector<bool> candidate(size, false);
    for (const int16_t end : candidates)
        candidate[std::size_t(end)] = true;
    std::set<Set> found;
    std::vector<double> distance(size, std::numeric_limits<double>::infinity());
    std::vector<int16_t> touched;
    // The open loop pipes at each node: a ring's far side is near by its closing pipe.
    std::vector<std::vector<std::pair<int16_t, double>>> loopsAt(size);
    for (const StandardNetwork::LoopLink& link : network.loopLinks()) {
        const double length = double(project.loopPipes[std::size_t(link.pipe)].length);
        loopsAt[std::size_t(link.a)].emplace_back(link.b, length);
        loopsAt[std::size_t(link.b)].emplace_back(link.a, length);
    }
    using Reach = std::pair<double, int16_t>; // distance by pipe, node
    for (const int16_t seed : seeds) {
        // Outward from the seed through the tree and the loop pipes, nearest first, until
        // `count` terminals.
        std::priority_queue<Reach, std::vector<Reach>, std::greater<Reach>> frontier;
        Set cluster;
        distance[std::size_t(seed)] = 0;
        touched.push_back(seed);
        frontier.push({0.0, seed});
        while (!frontier.empty() && int(cluster.size()) < count) {
            const double d = frontier.top().first;
            const int16_t v = frontier.top().second;
            frontier.pop();
            if (d > distance[std::size_t(v)])
                continue;
            if (candidate[std::size_t(v)])
                cluster.push_back(v);
            const Node& node = project.NodeTable[std::size_t(v)];
            const auto reach = [&](int16_t w, double length) {
                if (w <= 0 || d + length >= distance[std::size_t(w)])
                    return;
                if (std::isinf(distance[std::size_t(w)]))
                    touched.push_back(w);
                distance[std::size_t(w)] = d + length;
                frontier.push({d + length, w});
            };
            // A section's length lies between its node and its parent.
            reach(node.parent, double(node.length));
            if (node.continues()) {
                reach(node.next, double(project.NodeTable[std::size_t(node.next)].length));
                if (node.derivation > 0)
                    reach(node.derivation, double(project.NodeTable[std::size_t(node.derivation)].length));
            }
            for (const auto& [other, length] : loopsAt[std::size_t(v)])
                reach(other, length);
        }
        for (const int16_t v : touched)
            distance[std::size_t(v)] = std::numeric_limits<double>::infinity();
        touched.clear();
        sortByFilePosition(network, cluster);
        found.insert(std::move(cluster));
    }
    return {found.begin(), found.end()};
}

namespace {

struct Ranked {
    double estimate = 0;
    const Set* set = nullptr;
};

// The `kExactlySolvedAreas` best by estimate, best first. The estimates follow the tree's paths:
// on a looped network, where water reaches a head round a ring as well, they may rank a far
// area first that the ring serves well, so there every area is solved while they are up to
// `kLoopedAreasSolved`.
std::vector<Ranked> bestByEstimate(const StandardNetwork& network, const std::vector<Set>& sets,
                                   const std::function<double(const Set&)>& estimate) {
    if (network.looped() && sets.size() <= std::size_t(kLoopedAreasSolved)) {
        std::vector<Ranked> all;
        for (const Set& set : sets)
            all.push_back({0, &set});
        return all;
    }
    std::vector<Ranked> ranked;
    ranked.reserve(sets.size());
    for (const Set& set : sets)
        ranked.push_back({estimate(set), &set});
    const auto kept = std::min<std::size_t>(ranked.size(), kExactlySolvedAreas);
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(kept), ranked.end(),
                      [](const Ranked& a, const Ranked& b) { return a.estimate > b.estimate; });
    ranked.resize(kept);
    return ranked;
}

} // namespace

FoundSet mostUnfavourableOf(const StandardNetwork& network, const std::vector<std::vector<int16_t>>& sets,
                            const std::function<double(int16_t)>& required, SetFound how) {
    const auto estimate = [&](const Set& set) {
        const ScenarioNetwork tree(network, set);
        std::vector<double> flows, pressures;
        for (const int16_t m : tree.members()) {
            pressures.push_back(required(m));
            flows.push_back(network.kn(m) * std::sqrt(std::max(pressures.back(), 0.0)));
        }
        return tree.estimatedDemand(flows, pressures);
    };
    FoundSet found;
    found.found = how;
    found.setsTried = int(sets.size());
    found.value = -std::numeric_limits<double>::infinity();
    for (const Ranked& r : bestByEstimate(network, sets, estimate)) {
        const double demand = demandPressureOf(network, *r.set, required);
        ++found.setsSolved;
        if (demand > found.value) {
            found.value = demand;
            found.members = *r.set;
        }
    }
    return found;
}

FoundSet mostFavourableOf(const StandardNetwork& network, const std::vector<std::vector<int16_t>>& sets,
                          const std::function<double(int16_t)>& requiredFlow, const SupplyCurve& supply,
                          SetFound how) {
    const double origin = supply.fixed() ? network.supplyBar() : supply.pressureAt(0);
    const auto estimate = [&](const Set& set) {
        const ScenarioNetwork tree(network, set);
        std::vector<double> flows;
        for (const int16_t m : tree.members())
            flows.push_back(requiredFlow(m));
        return tree.estimatedFlow(flows, origin);
    };
    FoundSet found;
    found.found = how;
    found.setsTried = int(sets.size());
    found.value = -std::numeric_limits<double>::infinity();
    for (const Ranked& r : bestByEstimate(network, sets, estimate)) {
        const FoundSet one = supply.fixed()
                                 ? mostFavourableSet(network, *r.set, int(r.set->size()), network.supplyBar())
                                 : mostFavourableSet(network, *r.set, int(r.set->size()), supply);
        ++found.setsSolved;
        if (one.value > found.value) {
            found.value = one.value;
            found.members = *r.set;
        }
    }
    return found;
}

} // namespace valmora
