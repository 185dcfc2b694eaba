#include "standards/StandardHydraulics.h"

#include "model/Calculation.h"
#include "model/NetworkProblemText.h"
#include "model/NetworkValidation.h"
#include "model/Traversal.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The scenario's flows minimise its content
//     F = sum over the tree's sections of r |Q|^2.85 / 2.85
//       + sum over members of (q^3 / (3 Kn^2) + z q) - P x (flow leaving the supply)
// over the members' flows q >= 0: dF/dq of a member is minus its residual (the head reaching
// its outlet less its own pressure q^2/Kn^2 and static head), so the minimiser is exactly the
// hydraulics, a member at 0 being one that the head does not reach. F is strictly convex:
// the minimiser is unique. A projected Newton step per iteration, the linearised losses
// eliminated over the tree (each subtree a line "inlet head = a + b x change of its flow",
// branches combined in parallel, the supply solved at the top, changes split back down), and
// an Armijo search along the projected step. The tree is a scenario's: a few dozen nodes.

namespace valmora {

using hydraulics::kExponent;

namespace {

constexpr int kLiftLevels = 16; // 2^16 > 32 767 nodes deep
constexpr double kContentExponent = kExponent + 1;
constexpr double kTerminalExponent = 2; // p = (Q / Kn)^2
constexpr int kMaxIterations = 100;
constexpr int kMaxBacktracks = 50;
constexpr double kArmijoFraction = 1e-4;
constexpr double kContentRoundoff = 16 * std::numeric_limits<double>::epsilon();
// Heads balance to this (bar), relative to the supply's head or 1 bar, whichever is larger.
constexpr double kHeadTolerance = 1e-11;
// Flows below this (l/min) take its curvature: every line's slope stays positive.
constexpr double kCurvatureFloorFlow = 1e-9;
constexpr double kHeldFlow = 1e-12;
// The demand's head is found to this share of itself.
constexpr double kDemandTolerance = 1e-9;
constexpr int kMaxDemandSteps = 200;
constexpr double kHopelessHead = 1e7; // bar: no supply reaches a member that needs more

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
    const double r = pathResistance(end) - (from > 0 ? pathResistance(from) : 0.0);
    return drivenFlow(r, kn(end), staticHead(end), head);
}

double StandardNetwork::demandAlone(int16_t end, double required) const {
    const double flow = kn(end) * std::sqrt(std::max(required, 0.0));
    return lossOf(pathResistance(end), flow) + required + staticHead(end);
}

// ---- one scenario -------------------------------------------------------------------

ScenarioTree::ScenarioTree(const StandardNetwork& network, std::vector<int16_t> members)
    : network_(&network), members_(std::move(members)) {
    const auto byFilePosition = [&](int16_t a, int16_t b) { return network.first(a) < network.first(b); };
    std::sort(members_.begin(), members_.end(), byFilePosition);
    // The members and where two neighbours in file order part: every branching of their paths.
    nodes_ = members_;
    for (std::size_t i = 1; i < members_.size(); ++i)
        nodes_.push_back(network.commonAncestor(members_[i - 1], members_[i]));
    std::sort(nodes_.begin(), nodes_.end(), byFilePosition);
    nodes_.erase(std::unique(nodes_.begin(), nodes_.end()), nodes_.end());

    parent_.assign(nodes_.size(), -1);
    slot_.assign(nodes_.size(), -1);
    r_.assign(nodes_.size(), 0);
    std::vector<int> open; // the tree nodes whose subtree the walk is in
    const auto holds = [&](int16_t a, int16_t b) {
        return network.first(a) <= network.first(b) && network.first(b) < network.afterSubtree(a);
    };
    for (std::size_t k = 0; k < nodes_.size(); ++k) {
        while (!open.empty() && !holds(nodes_[std::size_t(open.back())], nodes_[k]))
            open.pop_back();
        parent_[k] = open.empty() ? -1 : open.back();
        const double above = open.empty() ? 0.0 : network.pathResistance(nodes_[std::size_t(open.back())]);
        r_[k] = network.pathResistance(nodes_[k]) - above;
        open.push_back(int(k));
    }
    children_.assign(nodes_.size(), {});
    for (std::size_t k = 0; k < nodes_.size(); ++k)
        if (parent_[k] >= 0)
            children_[std::size_t(parent_[k])].push_back(int(k));
    for (std::size_t m = 0; m < members_.size(); ++m) {
        const auto at = std::lower_bound(nodes_.begin(), nodes_.end(), members_[m], byFilePosition);
        slot_[std::size_t(at - nodes_.begin())] = int(m);
        kn_.push_back(network.kn(members_[m]));
        z_.push_back(network.staticHead(members_[m]));
    }
}

void ScenarioTree::flowsUp(const std::vector<double>& q, std::vector<double>& edgeFlow) const {
    edgeFlow.assign(nodes_.size(), 0.0);
    for (std::size_t k = nodes_.size(); k-- > 0;) {
        if (slot_[k] >= 0)
            edgeFlow[k] = q[std::size_t(slot_[k])];
        if (parent_[k] >= 0)
            edgeFlow[std::size_t(parent_[k])] += edgeFlow[k];
    }
}

void ScenarioTree::headsDown(const std::vector<double>& edgeFlow, const std::vector<double>& power,
                             double origin, std::vector<double>& head) const {
    head.assign(nodes_.size(), 0.0);
    for (std::size_t k = 0; k < nodes_.size(); ++k)
        head[k] = (parent_[k] >= 0 ? head[std::size_t(parent_[k])] : origin) - r_[k] * power[k] * edgeFlow[k];
}

double ScenarioTree::content(const std::vector<double>& q, std::vector<double>& edgeFlow,
                             std::vector<double>& power, double origin) const {
    flowsUp(q, edgeFlow);
    power.resize(nodes_.size());
    double sum = 0;
    for (std::size_t k = 0; k < nodes_.size(); ++k) {
        // |Q|^0.85, once: times Q the loss, times Q^2 the content.
        power[k] = std::pow(std::abs(edgeFlow[k]), kExponent - 1);
        sum += r_[k] * power[k] * edgeFlow[k] * edgeFlow[k] / kContentExponent;
    }
    for (std::size_t m = 0; m < members_.size(); ++m)
        sum += q[m] * q[m] * q[m] / (3 * kn_[m] * kn_[m]) + z_[m] * q[m];
    return sum - origin * (nodes_.empty() ? 0.0 : edgeFlow[0]);
}

ScenarioTree::Solution ScenarioTree::solve(double origin, const Solution* start) const {
    Solution s;
    s.originPressure = origin;
    const std::size_t members = members_.size();
    std::vector<double> q(members, 0.0);
    for (std::size_t m = 0; m < members; ++m)
        q[m] = start && start->flow.size() == members ? std::max(start->flow[m], 0.0)
                                                      : network_->flowAlone(members_[m], 0, origin);
    const std::size_t size = nodes_.size();
    std::vector<double> edge, power, head, residual(members), a(size), b(size), outletA(size), outletB(size),
        change(size), trial(members), trialEdge, trialPower;
    std::vector<bool> rigid(size);
    const double tolerance = kHeadTolerance * std::max(std::abs(origin), 1.0);
    const auto slopeOf = [](double r, double p, double flow) {
        return std::abs(flow) < kCurvatureFloorFlow ? lossSlope(r, flow) : kExponent * r * p;
    };
    double f = size > 0 ? content(q, edge, power, origin) : 0.0;
    for (int iteration = 0; iteration <= kMaxIterations && size > 0; ++iteration) {
        headsDown(edge, power, origin, head);
        bool balanced = true;
        for (std::size_t k = 0; k < size; ++k) {
            if (slot_[k] < 0)
                continue;
            const auto m = std::size_t(slot_[k]);
            residual[m] = head[k] - q[m] * q[m] / (kn_[m] * kn_[m]) - z_[m];
            balanced = balanced && (q[m] > 0 ? std::abs(residual[m]) <= tolerance : residual[m] <= tolerance);
        }
        if (balanced) {
            s.converged = true;
            break;
        }
        if (iteration == kMaxIterations)
            break;
        // Lines from the members up.
        for (std::size_t k = size; k-- > 0;) {
            const double sectionLoss = r_[k] * power[k] * edge[k];
            if (slot_[k] >= 0) {
                const auto m = std::size_t(slot_[k]);
                const double slope =
                    slopeOf(r_[k], power[k], q[m]) +
                    kTerminalExponent * std::max(q[m], kCurvatureFloorFlow) / (kn_[m] * kn_[m]);
                rigid[k] = q[m] <= kHeldFlow && residual[m] <= 0;
                change[k] = rigid[k] ? -q[m] : 0.0;
                a[k] = sectionLoss + q[m] * q[m] / (kn_[m] * kn_[m]) + z_[m];
                b[k] = slope;
                continue;
            }
            double conductance = 0, weighted = 0, held = 0;
            for (const int child : children_[k]) {
                const auto c = std::size_t(child);
                if (rigid[c]) {
                    held += change[c];
                } else {
                    conductance += 1 / b[c];
                    weighted += a[c] / b[c];
                }
            }
            rigid[k] = conductance == 0;
            change[k] = held;
            if (rigid[k])
                continue;
            outletB[k] = 1 / conductance;
            outletA[k] = (weighted - held) / conductance;
            a[k] = sectionLoss + outletA[k];
            b[k] = slopeOf(r_[k], power[k], edge[k]) + outletB[k];
        }
        if (!rigid[0])
            change[0] = (origin - a[0]) / b[0];
        for (std::size_t k = 0; k < size; ++k) {
            if (slot_[k] >= 0 || rigid[k])
                continue;
            const double outlet = outletA[k] + outletB[k] * change[k];
            for (const int child : children_[k])
                if (!rigid[std::size_t(child)])
                    change[std::size_t(child)] = (outlet - a[std::size_t(child)]) / b[std::size_t(child)];
        }
        // Armijo along the projected step.
        double share = 1;
        double trialContent = f;
        const double rounding = kContentRoundoff * std::max(std::abs(f), 1.0);
        for (int backtrack = 0; backtrack <= kMaxBacktracks; ++backtrack, share /= 2) {
            double predicted = 0;
            for (std::size_t k = 0; k < size; ++k) {
                if (slot_[k] < 0)
                    continue;
                const auto m = std::size_t(slot_[k]);
                trial[m] = std::max(q[m] + share * change[k], 0.0);
                predicted -= residual[m] * (trial[m] - q[m]);
            }
            trialContent = content(trial, trialEdge, trialPower, origin);
            if (trialContent <= f + kArmijoFraction * predicted + rounding)
                break;
        }
        q.swap(trial);
        edge.swap(trialEdge);
        power.swap(trialPower);
        f = trialContent;
    }
    if (size > 0)
        headsDown(edge, power, origin, head);
    s.flow = q;
    s.pressure.assign(members, 0.0);
    for (std::size_t k = 0; k < size; ++k)
        if (slot_[k] >= 0)
            s.pressure[std::size_t(slot_[k])] = head[k] - z_[std::size_t(slot_[k])];
    s.totalFlow = size > 0 ? edge[0] : 0.0;
    s.edgeFlow = std::move(edge);
    s.head = std::move(head);
    if (size == 0)
        s.converged = true;
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

double ScenarioTree::estimatedDemand(const std::vector<double>& flows,
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

double ScenarioTree::estimatedFlow(const std::vector<double>& flows, double origin) const {
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

std::optional<ScenarioTree::Demand> ScenarioTree::demand(const std::vector<double>& required) const {
    // g(P): how far the worst-served member stands above what it needs; it rises with P.
    Solution last;
    const auto shortfall = [&](double origin) {
        last = solve(origin, last.flow.empty() ? nullptr : &last);
        double worst = std::numeric_limits<double>::infinity();
        for (std::size_t m = 0; m < members_.size(); ++m)
            worst = std::min(worst, last.pressure[m] - required[m]);
        return worst;
    };
    if (members_.empty())
        return Demand{0, solve(0)};
    // No member alone needs less than it would with the others: the largest of those is a floor.
    double low = 0;
    for (std::size_t m = 0; m < members_.size(); ++m)
        low = std::max(low, network_->demandAlone(members_[m], required[m]));
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
