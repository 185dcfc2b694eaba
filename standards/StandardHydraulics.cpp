#include "standards/StandardHydraulics.h"

#include "model/Calculation.h"
#include "model/NetworkProblemText.h"
#include "model/NetworkValidation.h"
#include "model/Traversal.h"

#include <algorithm>
#include <cmath>
#include <limits>

// A scenario is solved by the network solver on its own small network: the merged sections
// of its tree, the loop links between their ends, and its members as outlets of exponent 2
// (p = Q^2 / Kn^2). Everything else of the solution (the demand's search, the estimates) is
// worked here.

namespace valmora {

using hydraulics::kExponent;

namespace {

constexpr int kLiftLevels = 16;         // 2^16 > 32 767 nodes deep
constexpr double kTerminalExponent = 2; // p = (Q / Kn)^2
constexpr int kMaxIterations = 100;
// The demand's head is found to this share of itself.
constexpr double kDemandTolerance = 1e-9;
constexpr int kMaxDemandSteps = 200;
// bar: no supply reaches a member that needs more (a thousand MPa, a hundred times any pump's).
constexpr double kHopelessHead = 1e4;
// Flows below this (l/min) take its curvature: the slope stays positive.
constexpr double kCurvatureFloorFlow = 1e-9;
constexpr int kSupply = -1; // the network solver's source

double lossOf(double r, double flow) {
    return r * std::pow(std::abs(flow), kExponent);
}

double lossSlope(double r, double flow) {
    return kExponent * r * std::pow(std::max(std::abs(flow), kCurvatureFloorFlow), kExponent - 1);
}

// The flow that `head` bar drives through `r` to a terminal of Kn on static head `z`:
// r q^1.85 + (q / Kn)^2 + z = head. Newton from the flow without the sections, from above:
// the left side is convex in q, so the steps fall monotonically onto the root.
double drivenFlow(double r, double kn, double z, double head) {
    const double driving = head - z;
    if (driving <= 0 || kn <= 0)
        return 0;
    double q = kn * std::sqrt(driving);
    for (int i = 0; i < kMaxIterations; ++i) {
        const double f = lossOf(r, q) + q * q / (kn * kn) - driving;
        const double slope = lossSlope(r, q) + kTerminalExponent * q / (kn * kn);
        const double next = std::max(q - f / slope, 0.0);
        if (std::abs(next - q) <= 1e-15 * std::max(q, 1.0))
            return next;
        q = next;
    }
    return q;
}

} // namespace

// ---- the network --------------------------------------------------------------------

StandardNetwork::StandardNetwork(const Project& project) : project_(project) {
    problem_ = findCalculationProblem(project);
    if (problem_)
        return;
    using namespace standard_law;
    supply_ = double(project.supplyPressure) / kMmPerMetre / kMetresOfWaterPerBar;
    const std::size_t size = project.NodeTable.size();
    kn_.assign(size, 0);
    staticHead_.assign(size, 0);
    pathResistance_.assign(size, 0);
    sectionResistance_.assign(size, 0);
    shutOff_.assign(size, false);
    first_.assign(size, -1);
    afterSubtree_.assign(size, -1);
    depth_.assign(size, 0);
    closedAbove_.assign(size, 0);
    up_.assign(kLiftLevels, std::vector<int16_t>(size, 0));

    preorder_ = networkPreorder(project);
    for (std::size_t k = 0; k < preorder_.size(); ++k) {
        const int16_t i = preorder_[k];
        const Node& node = project.NodeTable[std::size_t(i)];
        const auto parent = std::size_t(node.parent);
        first_[std::size_t(i)] = int(k);
        depth_[std::size_t(i)] = node.parent > 0 ? depth_[parent] + 1 : 0;
        up_[0][std::size_t(i)] = node.parent;
        shutOff_[std::size_t(i)] = node.closed || (node.parent > 0 && shutOff_[parent]);
        closedAbove_[std::size_t(i)] = (node.parent > 0 ? closedAbove_[parent] : 0) + (node.closed ? 1 : 0);
        sectionResistance_[std::size_t(i)] = openSectionResistance(project, node) / kLossMmPerBar;
        pathResistance_[std::size_t(i)] =
            (node.parent > 0 ? pathResistance_[parent] : 0.0) + sectionResistance_[std::size_t(i)];
        if (node.endsInTerminal()) {
            terminals_.push_back(i);
            const Terminal& terminal = project.terminalOf(node);
            const TerminalType& type = project.terminalTypeOf(terminal);
            if (type.nominalFlow > 0 && type.nominalPressure > 0)
                kn_[std::size_t(i)] = double(type.nominalFlow) / std::sqrt(double(type.nominalPressure));
            staticHead_[std::size_t(i)] = double(terminal.height) / kMetresOfWaterPerBar;
        }
    }
    // A subtree follows its node in file order.
    std::vector<int> subtreeSize(size, 1);
    for (auto it = preorder_.rbegin(); it != preorder_.rend(); ++it) {
        const Node& node = project.NodeTable[std::size_t(*it)];
        if (node.parent > 0)
            subtreeSize[std::size_t(node.parent)] += subtreeSize[std::size_t(*it)];
    }
    for (const int16_t i : preorder_)
        afterSubtree_[std::size_t(i)] = first_[std::size_t(i)] + subtreeSize[std::size_t(i)];
    for (int k = 1; k < kLiftLevels; ++k)
        for (const int16_t i : preorder_)
            up_[std::size_t(k)][std::size_t(i)] =
                up_[std::size_t(k - 1)][std::size_t(up_[std::size_t(k - 1)][std::size_t(i)])];
    takeLoopPipes();
}

// The open loop pipes between nodes of the tree; where they bring water past a closed section,
// what lies behind it is no longer shut off.
void StandardNetwork::takeLoopPipes() {
    std::vector<bool> onTheTree(project_.NodeTable.size(), false);
    for (const int16_t i : preorder_)
        onTheTree[std::size_t(i)] = true;
    for (std::size_t k = 0; k < project_.loopPipes.size(); ++k) {
        const LoopPipe& pipe = project_.loopPipes[k];
        if (pipe.closed || !project_.isValidNodeIndex(pipe.nodeA) || !project_.isValidNodeIndex(pipe.nodeB) ||
            !onTheTree[std::size_t(pipe.nodeA)] || !onTheTree[std::size_t(pipe.nodeB)] ||
            pipe.nodeA == pipe.nodeB)
            continue;
        const double r = openSectionResistance(project_, pipe.asSection()) / standard_law::kLossMmPerBar;
        loops_.push_back({pipe.nodeA, pipe.nodeB, int(k), r});
    }
    if (loops_.empty())
        return;
    // Reached: along open sections down, up, and across open loop pipes.
    const std::size_t size = project_.NodeTable.size();
    std::vector<std::vector<int>> around(size);
    for (const int16_t i : preorder_) {
        const Node& node = project_.NodeTable[std::size_t(i)];
        if (node.closed || node.parent <= 0)
            continue;
        around[std::size_t(i)].push_back(node.parent);
        around[std::size_t(node.parent)].push_back(i);
    }
    for (const LoopLink& link : loops_) {
        around[std::size_t(link.a)].push_back(link.b);
        around[std::size_t(link.b)].push_back(link.a);
    }
    std::vector<int> origin;
    if (!preorder_.empty() && !project_.NodeTable[std::size_t(preorder_.front())].closed)
        origin.push_back(preorder_.front());
    const std::vector<bool> reached = reachedFrom(around, origin);
    for (const int16_t i : preorder_)
        shutOff_[std::size_t(i)] = !reached[std::size_t(i)];
}

int16_t StandardNetwork::commonAncestor(int16_t a, int16_t b) const {
    if (depth_[std::size_t(a)] < depth_[std::size_t(b)])
        std::swap(a, b);
    for (int k = kLiftLevels - 1; k >= 0; --k)
        if (depth_[std::size_t(a)] - (1 << k) >= depth_[std::size_t(b)])
            a = up_[std::size_t(k)][std::size_t(a)];
    if (a == b)
        return a;
    for (int k = kLiftLevels - 1; k >= 0; --k)
        if (up_[std::size_t(k)][std::size_t(a)] != up_[std::size_t(k)][std::size_t(b)]) {
            a = up_[std::size_t(k)][std::size_t(a)];
            b = up_[std::size_t(k)][std::size_t(b)];
        }
    return up_[0][std::size_t(a)];
}

double StandardNetwork::flowAlone(int16_t end, int16_t from, double head) const {
    if (looped() && from <= 0) {
        const ScenarioNetwork::Solution alone = ScenarioNetwork(*this, {end}).solve(head);
        return alone.flow.empty() ? 0.0 : alone.flow.front();
    }
    const double r = pathResistance(end) - (from > 0 ? pathResistance(from) : 0.0);
    return drivenFlow(r, kn(end), staticHead(end), head);
}

double StandardNetwork::demandAlone(int16_t end, double required) const {
    const double flow = kn(end) * std::sqrt(std::max(required, 0.0));
    return lossOf(pathResistance(end), flow) + required + staticHead(end);
}

// ---- one scenario -------------------------------------------------------------------

ScenarioNetwork::ScenarioNetwork(const StandardNetwork& network, std::vector<int16_t> members)
    : network_(&network), members_(std::move(members)) {
    const auto byFilePosition = [&](int16_t a, int16_t b) { return network.first(a) < network.first(b); };
    std::sort(members_.begin(), members_.end(), byFilePosition);
    // The members, the loop pipes' ends, and where two neighbours in file order part: every
    // branching of their paths.
    std::vector<int16_t> ends = members_;
    for (const StandardNetwork::LoopLink& link : network.loopLinks()) {
        ends.push_back(link.a);
        ends.push_back(link.b);
    }
    std::sort(ends.begin(), ends.end(), byFilePosition);
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    nodes_ = ends;
    for (std::size_t i = 1; i < ends.size(); ++i)
        nodes_.push_back(network.commonAncestor(ends[i - 1], ends[i]));
    std::sort(nodes_.begin(), nodes_.end(), byFilePosition);
    nodes_.erase(std::unique(nodes_.begin(), nodes_.end()), nodes_.end());

    const std::size_t size = nodes_.size();
    parent_.assign(size, -1);
    slot_.assign(size, -1);
    r_.assign(size, 0);
    solverNetwork_.junctions = int(size);
    solverNetwork_.links.resize(size);
    std::vector<int> open; // the tree nodes whose subtree the walk is in
    const auto holds = [&](int16_t a, int16_t b) {
        return network.first(a) <= network.first(b) && network.first(b) < network.afterSubtree(a);
    };
    for (std::size_t k = 0; k < size; ++k) {
        while (!open.empty() && !holds(nodes_[std::size_t(open.back())], nodes_[k]))
            open.pop_back();
        parent_[k] = open.empty() ? -1 : open.back();
        const int16_t above = open.empty() ? int16_t(0) : nodes_[std::size_t(open.back())];
        r_[k] = network.pathResistance(nodes_[k]) - (above > 0 ? network.pathResistance(above) : 0.0);
        SolverNetwork::Link& link = solverNetwork_.links[k];
        link.from = open.empty() ? kSupply : open.back();
        link.to = int(k);
        link.resistance = r_[k];
        link.closed = network.closedOnTheWay(nodes_[k]) > (above > 0 ? network.closedOnTheWay(above) : 0);
        open.push_back(int(k));
    }
    const auto tiedTo = [&](int16_t node) {
        return int(std::lower_bound(nodes_.begin(), nodes_.end(), node, byFilePosition) - nodes_.begin());
    };
    for (const StandardNetwork::LoopLink& loop : network.loopLinks())
        solverNetwork_.links.push_back({tiedTo(loop.a), tiedTo(loop.b), loop.resistance, false});
    for (std::size_t m = 0; m < members_.size(); ++m) {
        const int k = tiedTo(members_[m]);
        slot_[std::size_t(k)] = int(m);
        kn_.push_back(network.kn(members_[m]));
        z_.push_back(network.staticHead(members_[m]));
        solverNetwork_.terminals.push_back({k, 1 / (kn_.back() * kn_.back()), z_.back(), kTerminalExponent});
    }
}

void ScenarioNetwork::flowsUp(const std::vector<double>& q, std::vector<double>& edgeFlow) const {
    edgeFlow.assign(nodes_.size(), 0.0);
    for (std::size_t k = nodes_.size(); k-- > 0;) {
        if (slot_[k] >= 0)
            edgeFlow[k] = q[std::size_t(slot_[k])];
        if (parent_[k] >= 0)
            edgeFlow[std::size_t(parent_[k])] += edgeFlow[k];
    }
}

ScenarioNetwork::Solution ScenarioNetwork::solve(double origin) const {
    Solution s;
    s.originPressure = origin;
    const std::size_t size = nodes_.size();
    if (members_.empty()) {
        // Nothing discharges: the heads stand at the supply's.
        s.converged = true;
        s.edgeFlow.assign(size, 0.0);
        s.head.assign(size, origin);
        s.loopFlow.assign(solverNetwork_.links.size() - size, 0.0);
        return s;
    }
    SolverOptions options;
    options.maxIterations = kMaxIterations;
    return solveWith(origin, options);
}

ScenarioNetwork::Solution ScenarioNetwork::solveFrom(double origin, const ScenarioNetwork& near,
                                                     const Solution& nearSolution) const {
    if (members_.empty())
        return solve(origin);
    SolverOptions options;
    options.maxIterations = kMaxIterations;
    const std::size_t size = nodes_.size();
    const auto byFilePosition = [this](int16_t a, int16_t b) {
        return network_->first(a) < network_->first(b);
    };
    const auto nearIndex = [&](int16_t node) -> std::optional<std::size_t> {
        const auto at = std::lower_bound(near.nodes_.begin(), near.nodes_.end(), node, byFilePosition);
        if (at == near.nodes_.end() || *at != node)
            return std::nullopt;
        return std::size_t(at - near.nodes_.begin());
    };
    // The members: their flow there, or the mean of the members there for a new one.
    double meanFlow = 0;
    for (const double q : nearSolution.flow)
        meanFlow += q / double(nearSolution.flow.size());
    options.startingTerminalFlow.assign(members_.size(), meanFlow);
    for (std::size_t m = 0; m < members_.size(); ++m)
        for (std::size_t n = 0; n < near.members_.size(); ++n)
            if (near.members_[n] == members_[m] && n < nearSolution.flow.size())
                options.startingTerminalFlow[m] = nearSolution.flow[n];
    // The sections: their flow there; one that is new carries what it feeds (from the farthest
    // up), so that the start balances near the new member.
    std::vector<double> start(solverNetwork_.links.size(), 0.0);
    std::vector<double> fed(size, 0.0);
    for (std::size_t k = size; k-- > 0;) {
        const std::optional<std::size_t> there =
            nearSolution.edgeFlow.empty() ? std::nullopt : nearIndex(nodes_[k]);
        const double drawn = slot_[k] >= 0 ? options.startingTerminalFlow[std::size_t(slot_[k])] : 0.0;
        start[k] = there ? nearSolution.edgeFlow[*there] : fed[k] + drawn;
        if (parent_[k] >= 0)
            fed[std::size_t(parent_[k])] += start[k];
    }
    for (std::size_t i = 0; i < nearSolution.loopFlow.size() && size + i < start.size(); ++i)
        start[size + i] = nearSolution.loopFlow[i];
    options.startingLinkFlow = std::move(start);
    return solveWith(origin, options);
}

ScenarioNetwork::Solution ScenarioNetwork::solveWith(double origin, const SolverOptions& options) const {
    Solution s;
    s.originPressure = origin;
    const std::size_t size = nodes_.size();
    SolverNetwork network = solverNetwork_;
    network.sourceHead = origin;
    const SolverResult solved = SolveNetwork(network, options);
    s.converged = solved.converged;
    s.iterations = solved.iterations;
    s.flow = solved.terminalFlow;
    s.pressure.assign(members_.size(), 0.0);
    for (std::size_t k = 0; k < size; ++k)
        if (slot_[k] >= 0)
            s.pressure[std::size_t(slot_[k])] = solved.head[k] - z_[std::size_t(slot_[k])];
    s.totalFlow = solved.sourceFlow;
    s.edgeFlow.assign(solved.linkFlow.begin(), solved.linkFlow.begin() + std::ptrdiff_t(size));
    s.loopFlow.assign(solved.linkFlow.begin() + std::ptrdiff_t(size), solved.linkFlow.end());
    s.head = solved.head;
    return s;
}

namespace {

// The head lost on the way to each tree node with the members' flows given, bar.
std::vector<double> lossesDown(const std::vector<double>& edgeFlow, const std::vector<int>& parent,
                               const std::vector<double>& r) {
    std::vector<double> lost(edgeFlow.size(), 0.0);
    for (std::size_t k = 0; k < edgeFlow.size(); ++k)
        lost[k] = (parent[k] >= 0 ? lost[std::size_t(parent[k])] : 0.0) + lossOf(r[k], edgeFlow[k]);
    return lost;
}

} // namespace

double ScenarioNetwork::estimatedDemand(const std::vector<double>& flows,
                                        const std::vector<double>& pressures) const {
    std::vector<double> edge;
    flowsUp(flows, edge);
    const std::vector<double> lost = lossesDown(edge, parent_, r_);
    double demand = 0;
    for (std::size_t k = 0; k < nodes_.size(); ++k)
        if (slot_[k] >= 0) {
            const auto m = std::size_t(slot_[k]);
            demand = std::max(demand, lost[k] + pressures[m] + z_[m]);
        }
    return demand;
}

double ScenarioNetwork::estimatedFlow(const std::vector<double>& flows, double origin) const {
    std::vector<double> edge;
    flowsUp(flows, edge);
    const std::vector<double> lost = lossesDown(edge, parent_, r_);
    double total = 0;
    for (std::size_t k = 0; k < nodes_.size(); ++k)
        if (slot_[k] >= 0) {
            const auto m = std::size_t(slot_[k]);
            total += kn_[m] * std::sqrt(std::max(origin - lost[k] - z_[m], 0.0));
        }
    return total;
}

std::optional<ScenarioNetwork::Demand> ScenarioNetwork::demand(const std::vector<double>& required) const {
    // g(P): how far the worst-served member stands above what it needs; it rises with P.
    Solution last;
    const auto shortfall = [&](double origin) {
        last = solve(origin);
        double worst = std::numeric_limits<double>::infinity();
        for (std::size_t m = 0; m < members_.size(); ++m)
            worst = std::min(worst, last.pressure[m] - required[m]);
        return worst;
    };
    if (members_.empty())
        return Demand{0, solve(0)};
    // No member alone needs less than it would with the others: the largest of those is a floor
    // (on a tree; on a looped network, where the tree's path overstates it, what the members
    // stand on).
    double low = 0;
    for (std::size_t m = 0; m < members_.size(); ++m)
        low = std::max(low, network_->looped() ? network_->leastDemand(members_[m], required[m])
                                               : network_->demandAlone(members_[m], required[m]));
    if (low > kHopelessHead)
        return std::nullopt;
    double gLow = shortfall(low);
    if (gLow >= 0)
        return Demand{low, last};
    double high = low;
    double gHigh = gLow;
    while (gHigh < 0) {
        low = high;
        gLow = gHigh;
        high = high * 1.5 + 1;
        if (high > kHopelessHead)
            return std::nullopt;
        gHigh = shortfall(high);
    }
    Solution atHigh = last;
    // Regula falsi with the Illinois halving: the root stays bracketed by [low, high].
    int side = 0;
    for (int step = 0; step < kMaxDemandSteps && high - low > kDemandTolerance * high; ++step) {
        const double at = high - gHigh * (high - low) / (gHigh - gLow);
        const double g = shortfall(std::clamp(at, low, high));
        if (g >= 0) {
            high = at;
            gHigh = g;
            atHigh = last;
            if (side == 1)
                gLow /= 2;
            side = 1;
        } else {
            low = at;
            gLow = g;
            if (side == -1)
                gHigh /= 2;
            side = -1;
        }
    }
    return Demand{high, atHigh};
}

} // namespace valmora
