#include "model/NetworkValidation.h"

#include "model/Calculation.h"
#include "model/MessageText.h"

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
            return NetworkProblem{0,
                                  QStringLiteral("La pressione disponibile deve essere maggiore di zero.")};
        if (!p_.isValidNodeIndex(1))
            return NetworkProblem{0, QStringLiteral("La rete non ha nodi.")};
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
    NetworkProblem problemAt(int16_t i, const QString& what) const {
        return {i, QStringLiteral("%1: %2").arg(describeNode(p_, i), what)};
    }

    std::optional<NetworkProblem> checkLink(int16_t from, int16_t to, std::vector<int16_t>& pending) {
        if (!p_.isValidNodeIndex(to) || seen_[to] || p_.NodeTable[to].parent != from)
            return problemAt(from, QStringLiteral("collegamenti della rete non validi (nodo %1).").arg(to));
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
            return problemAt(i, QStringLiteral("lunghezza non valida."));
        if (!p_.isValidSeriesIndex(node.seriesIndex))
            return problemAt(
                i, QStringLiteral("la serie di tubi %1 non esiste nel catalogo.").arg(node.seriesIndex));
        if (node.isKvElement()) {
            if (!(double(node.virtualLength) + hydraulics::kGuardLength > 0))
                return problemAt(i, QStringLiteral("il KV deve essere positivo."));
        } else {
            const PipeSeries& series = p_.seriesOf(node);
            if (!p_.isValidDiameterIndex(node.seriesIndex, node.diameterIndex))
                return problemAt(i, QStringLiteral("il diametro %1 non esiste nella serie %2.")
                                        .arg(node.diameterIndex)
                                        .arg(quotedExcerpt(series.name)));
            if (!(series.hazenC > 0))
                return problemAt(i, QStringLiteral("la serie %1 ha un coefficiente C non positivo.")
                                        .arg(quotedExcerpt(series.name)));
            if (!(p_.diameterOf(node).innerDiameter > 0))
                return problemAt(
                    i, QStringLiteral("il diametro interno di %1 nella serie %2 non è positivo.")
                           .arg(quotedExcerpt(p_.diameterOf(node).label), quotedExcerpt(series.name)));
            if (!(double(node.length + node.virtualLength) + hydraulics::kGuardLength > 0))
                return problemAt(i, QStringLiteral("la lunghezza totale del tratto deve essere positiva."));
        }
        const double resistance = openSectionResistance(p_, node);
        if (!std::isfinite(resistance) || !(resistance > 0))
            return problemAt(i, QStringLiteral("la resistenza del tratto non è calcolabile."));
        return std::nullopt;
    }

    std::optional<NetworkProblem> checkTerminal(int16_t i, const Node& node) const {
        if (!p_.isValidTerminalIndex(node.derivation))
            return problemAt(i, QStringLiteral("terminale %1 inesistente.").arg(node.derivation));
        const Terminal& terminal = p_.terminalOf(node);
        if (!p_.isValidTerminalTypeIndex(terminal.typeIndex))
            return problemAt(
                i,
                QStringLiteral("il tipo di terminale %1 non esiste nel catalogo.").arg(terminal.typeIndex));
        const TerminalType& type = p_.terminalTypeOf(terminal);
        const float kt = terminalResistanceFor(type.kFactor);
        if (!(type.kFactor > 0) || !std::isfinite(kt))
            return problemAt(
                i,
                QStringLiteral("il terminale %1 ha un fattore K non valido.").arg(quotedExcerpt(type.name)));
        if (!std::isfinite(terminal.height) || terminal.height < 0 ||
            !std::isfinite(initialHeightResistance(terminal.height)))
            return problemAt(i, QStringLiteral("quota del terminale non valida."));
        return std::nullopt;
    }

    const Project& p_;
    std::vector<bool> seen_;
};

bool isFinite(double value) {
    return std::isfinite(value);
}

bool hasFiniteResults(const Project& project, const Node& node) {
    if (!isFinite(node.resistance) || !isFinite(node.eqResistance) || !isFinite(node.flowShare) ||
        !isFinite(node.flowFraction) || !isFinite(double(project.totalFlow) * node.flowFraction))
        return false;
    const Terminal* terminal = project.findTerminal(node);
    return !terminal ||
           (std::isfinite(terminal->heightResistance) && std::isfinite(terminal->terminalResistance));
}

} // namespace

QString describeNode(const Project& project, int16_t node) {
    if (!project.isValidNodeIndex(node))
        return QStringLiteral("Nodo %1").arg(node);
    return QStringLiteral("Nodo %1 %2").arg(node).arg(quotedExcerpt(project.NodeTable[node].name));
}

std::optional<NetworkProblem> findCalculationProblem(const Project& project) {
    return Checker(project).run();
}

std::optional<NetworkProblem> findNonFiniteResult(const Project& project,
                                                  const std::vector<int16_t>& preorder) {
    for (auto it = preorder.rbegin(); it != preorder.rend(); ++it)
        if (!hasFiniteResults(project, project.NodeTable[*it]))
            return NetworkProblem{*it, QStringLiteral("%1: il calcolo dà portate o resistenze fuori scala "
                                                      "(valori non rappresentabili).")
                                           .arg(describeNode(project, *it))};
    if (!std::isfinite(project.totalFlow) || !std::isfinite(project.networkResistance))
        return NetworkProblem{1, QStringLiteral("%1: il calcolo dà una portata totale fuori scala.")
                                     .arg(describeNode(project, 1))};
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
