#include "model/Project.h"

namespace valmora {

QString tableFullMessage() {
    return QStringLiteral("La rete non può contenere più di %1 elementi.").arg(kMaxTableIndex);
}

namespace {
const QString kKeptLineEnd = QStringLiteral("\r\n");
} // namespace

QString textForEditing(const QString& kept) {
    return QString(kept).replace(kKeptLineEnd, QStringLiteral("\n"));
}

QString textToKeep(const QString& edited) {
    return QString(edited).replace(u'\n', kKeptLineEnd);
}

PipeSeries kvPseudoSeries() {
    PipeSeries kv;
    kv.name = kKvSeriesName;
    kv.code = kKvSeriesCode;
    return kv;
}

Project::Project() : Project({}, {}) {}

Project::Project(std::vector<PipeSeries> pipeSeriesFromFile, std::vector<TerminalType> terminalTypes)
    : TerminalCatalogue(std::move(terminalTypes)) {
    PipeCatalogue.reserve(pipeSeriesFromFile.size() + 1);
    PipeCatalogue.push_back(kvPseudoSeries());
    for (auto& series : pipeSeriesFromFile)
        PipeCatalogue.push_back(std::move(series));
    resetToNewProject();
}

Project Project::withCataloguesOf(const Project& other) {
    Project project;
    project.PipeCatalogue = other.PipeCatalogue;
    project.TerminalCatalogue = other.TerminalCatalogue;
    return project;
}

void Project::resetToNewProject() {
    projectPath = kNewProjectPath;
    standardSettings = {};
    // The report's data are the previous client's; the unit is the designer's habit and stays.
    reportData = {};
    keptBlockLines.clear();
    blockInFile = false;
    // A new project is a new client's: nothing of the previous one is carried into it.
    projectNotes.clear();
    supplyPressure = kNewProjectSupplyPressure;
    lastTerminalType = kNewProjectLastTerminalType;

    loopPipes.clear();
    NodeTable.assign(2, Node{});
    TerminalTable.assign(2, Terminal{});

    Node& root = NodeTable[1];
    root.name = kNewProjectRootName;
    root.length = 0;
    root.virtualLength = 1.0f;
    root.seriesIndex = 1;
    root.diameterIndex = 1;
    root.next = kEndWithTerminal;
    root.derivation = 1;
    root.parent = 0;

    TerminalTable[1].typeIndex = 1;
    TerminalTable[1].height = 0;

    lastTerminalType = kNewProjectLastTerminalType;
    lastSeries = kNewProjectLastSeries;
}

std::optional<int16_t> Project::appendNode() {
    if (nodeCount() >= kMaxTableIndex)
        return std::nullopt;
    NodeTable.emplace_back();
    return nodeCount();
}

std::optional<int16_t> Project::appendTerminal() {
    if (terminalCount() >= kMaxTableIndex)
        return std::nullopt;
    TerminalTable.emplace_back();
    return terminalCount();
}

void Project::clearNetwork() {
    NodeTable.assign(1, Node{});
    TerminalTable.assign(1, Terminal{});
    loopPipes.clear();
}

} // namespace valmora
