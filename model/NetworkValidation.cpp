#include "model/NetworkValidation.h"

#include "model/Calculation.h"

#include <cmath>
#include <vector>

namespace valmora {

namespace {

class Checker {
public:
    explicit Checker(const Project& project) : p_(project) {}

    std::optional<NetworkProblem> run() {
        seen_.assign(p_.NodeTable.size(), false);
        if (p_.supplyPressure <= 0)
            return NetworkProblem{NetworkFault::NoSupplyPressure, 0, 0};
        if (!p_.isValidNodeIndex(1))
            return NetworkProblem{NetworkFault::NoNodes, 0, 0};
        seen_[1] = true;
        std::vector<int16_t> pending{1};
        while (!pending.empty()) {
            const int16_t i = pending.back();
            pending.pop_back();
            if (auto problem = checkNode(i))
                return problem;
            const Node& node = p_.NodeTable[i];
            if (!node.continues())
                continue;
            if (auto problem = checkLink(i, node.next, pending))
                return problem;
            if (node.derivation > 0)
                if (auto problem = checkLink(i, node.derivation, pending))
                    return problem;
        }
        return std::nullopt;
    }

private:
    static NetworkProblem problemAt(int16_t i, NetworkFault fault, int value = 0) {
        return {fault, i, value};
    }

    std::optional<NetworkProblem> checkLink(int16_t from, int16_t to, std::vector<int16_t>& pending) {
        if (!p_.isValidNodeIndex(to) || seen_[to] || p_.NodeTable[to].parent != from)
            return problemAt(from, NetworkFault::BadLinks, to);
        seen_[to] = true;
        pending.push_back(to);
        return std::nullopt;
    }

public:
    std::optional<NetworkProblem> checkNode(int16_t i) const {
        const Node& node = p_.NodeTable[i];
        if (auto problem = checkSection(i, node))
            return problem;
        if (node.endsInTerminal())
            return checkTerminal(i, node);
        return std::nullopt;
    }

private:
    std::optional<NetworkProblem> checkSection(int16_t i, const Node& node) const {
        if (!std::isfinite(node.length) || !std::isfinite(node.virtualLength))
            return problemAt(i, NetworkFault::BadLength);
        if (!p_.isValidSeriesIndex(node.seriesIndex))
            return problemAt(i, NetworkFault::MissingSeries, node.seriesIndex);
        if (node.isKvElement()) {
            if (!(double(node.virtualLength) + hydraulics::kGuardLength > 0))
                return problemAt(i, NetworkFault::NonPositiveKv);
        } else {
            const PipeSeries& series = p_.seriesOf(node);
            if (!p_.isValidDiameterIndex(node.seriesIndex, node.diameterIndex))
                return problemAt(i, NetworkFault::MissingDiameter, node.diameterIndex);
            if (!(series.hazenC > 0))
                return problemAt(i, NetworkFault::NonPositiveC);
            if (!(p_.diameterOf(node).innerDiameter > 0))
                return problemAt(i, NetworkFault::NonPositiveBore);
            if (!(double(node.length + node.virtualLength) + hydraulics::kGuardLength > 0))
                return problemAt(i, NetworkFault::NonPositiveSectionLength);
        }
        const double resistance = openSectionResistance(p_, node);
        if (!std::isfinite(resistance) || !(resistance > 0))
            return problemAt(i, NetworkFault::UndefinedSectionResistance);
        return std::nullopt;
    }

    std::optional<NetworkProblem> checkTerminal(int16_t i, const Node& node) const {
        if (!p_.isValidTerminalIndex(node.derivation))
            return problemAt(i, NetworkFault::MissingTerminal, node.derivation);
        const Terminal& terminal = p_.terminalOf(node);
        if (!p_.isValidTerminalTypeIndex(terminal.typeIndex))
            return problemAt(i, NetworkFault::MissingTerminalType, terminal.typeIndex);
        const TerminalType& type = p_.terminalTypeOf(terminal);
        const float kt = terminalResistanceFor(type.kFactor);
        if (!(type.kFactor > 0) || !std::isfinite(kt))
            return problemAt(i, NetworkFault::BadKFactor);
        if (!std::isfinite(terminal.height) || terminal.height < 0 ||
            !std::isfinite(initialHeightResistance(terminal.height)))
            return problemAt(i, NetworkFault::BadHeight);
        return std::nullopt;
    }

    const Project& p_;
    std::vector<bool> seen_;
};

bool isFinite(double value) {
    return std::isfinite(value);
}

bool hasFiniteResults(const Project& project, const NetworkResults& results, int16_t i) {
    const NodeResult& at = results.node(i);
    if (!isFinite(at.resistance) || !isFinite(at.eqResistance) || !isFinite(at.flowShare) ||
        !isFinite(at.flowFraction) || !isFinite(double(results.totalFlow) * at.flowFraction))
        return false;
    const Node& node = project.NodeTable[i];
    if (!project.findTerminal(node))
        return true;
    const TerminalResult& work = results.terminal(node.derivation);
    return std::isfinite(work.heightResistance) && std::isfinite(work.terminalResistance);
}

} // namespace

std::optional<NetworkProblem> findCalculationProblem(const Project& project) {
    return Checker(project).run();
}

std::optional<NetworkProblem> findNonFiniteResult(const Project& project, const NetworkResults& results,
                                                  const std::vector<int16_t>& preorder) {
    for (auto it = preorder.rbegin(); it != preorder.rend(); ++it)
        if (!hasFiniteResults(project, results, *it))
            return NetworkProblem{NetworkFault::ResultsOutOfScale, *it, 0};
    if (!std::isfinite(results.totalFlow) || !std::isfinite(results.networkResistance))
        return NetworkProblem{NetworkFault::TotalFlowOutOfScale, 1, 0};
    return std::nullopt;
}

bool canReduceAt(const Project& project, int16_t node) {
    if (!project.isValidNodeIndex(node))
        return false;
    const Node& n = project.NodeTable[node];
    if (n.continues() &&
        (!project.isValidNodeIndex(n.next) || (n.derivation > 0 && !project.isValidNodeIndex(n.derivation))))
        return false;
    return !Checker(project).checkNode(node).has_value();
}

} // namespace valmora
