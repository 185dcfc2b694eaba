#include "model/NetworkProblemText.h"

#include "model/MessageText.h"

namespace valmora {

namespace {

// What is wrong at the node, after its name.
QString nodeFaultText(const Project& project, const NetworkProblem& problem) {
    const Node* node =
        project.isValidNodeIndex(problem.node) ? &project.NodeTable[std::size_t(problem.node)] : nullptr;
    const PipeSeries* series = node ? project.findSeries(*node) : nullptr;
    const QString seriesName = series ? quotedExcerpt(series->name) : QString();
    switch (problem.fault) {
    case NetworkFault::BadLinks:
        return QStringLiteral("collegamenti della rete non validi (nodo %1).").arg(problem.value);
    case NetworkFault::BadLength:
        return QStringLiteral("lunghezza non valida.");
    case NetworkFault::MissingSeries:
        return QStringLiteral("la serie di tubi %1 non esiste nel catalogo.").arg(problem.value);
    case NetworkFault::NonPositiveKv:
        return QStringLiteral("il KV deve essere positivo.");
    case NetworkFault::MissingDiameter:
        return QStringLiteral("il diametro %1 non esiste nella serie %2.").arg(problem.value).arg(seriesName);
    case NetworkFault::NonPositiveC:
        return QStringLiteral("la serie %1 ha un coefficiente C non positivo.").arg(seriesName);
    case NetworkFault::NonPositiveBore: {
        const PipeDiameter* diameter = node ? project.findDiameter(*node) : nullptr;
        return QStringLiteral("il diametro interno di %1 nella serie %2 non è positivo.")
            .arg(diameter ? quotedExcerpt(diameter->label) : QString(), seriesName);
    }
    case NetworkFault::NonPositiveSectionLength:
        return QStringLiteral("la lunghezza totale del tratto deve essere positiva.");
    case NetworkFault::UndefinedSectionResistance:
        return QStringLiteral("la resistenza del tratto non è calcolabile.");
    case NetworkFault::MissingTerminal:
        return QStringLiteral("terminale %1 inesistente.").arg(problem.value);
    case NetworkFault::MissingTerminalType:
        return QStringLiteral("il tipo di terminale %1 non esiste nel catalogo.").arg(problem.value);
    case NetworkFault::BadKFactor: {
        const Terminal* terminal = node ? project.findTerminal(*node) : nullptr;
        const TerminalType* type = terminal ? project.findTerminalType(*terminal) : nullptr;
        return QStringLiteral("il terminale %1 ha un fattore K non valido.")
            .arg(type ? quotedExcerpt(type->name) : QString());
    }
    case NetworkFault::BadHeight:
        return QStringLiteral("quota del terminale non valida.");
    case NetworkFault::ResultsOutOfScale:
        return QStringLiteral("il calcolo dà portate o resistenze fuori scala (valori non rappresentabili).");
    case NetworkFault::TotalFlowOutOfScale:
        return QStringLiteral("il calcolo dà una portata totale fuori scala.");
    case NetworkFault::NoSupplyPressure:
    case NetworkFault::NoNodes:
        break;
    }
    return {};
}

} // namespace

QString describeNode(const Project& project, int16_t node) {
    if (!project.isValidNodeIndex(node))
        return QStringLiteral("Nodo %1").arg(node);
    return QStringLiteral("Nodo %1 %2")
        .arg(node)
        .arg(quotedExcerpt(project.NodeTable[std::size_t(node)].name));
}

QString networkProblemText(const Project& project, const NetworkProblem& problem) {
    switch (problem.fault) {
    case NetworkFault::NoSupplyPressure:
        return QStringLiteral("La pressione disponibile deve essere maggiore di zero.");
    case NetworkFault::NoNodes:
        return QStringLiteral("La rete non ha nodi.");
    default:
        return QStringLiteral("%1: %2").arg(describeNode(project, problem.node),
                                            nodeFaultText(project, problem));
    }
}

} // namespace valmora
