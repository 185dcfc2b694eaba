// Feeds arbitrary bytes to the project reader, to the graft reader (the snippet that "Incolla"
// reads, onto a fixed network) and to both catalogue readers. Every input must end in a read
// or a refusal; a refused graft leaves the network exactly as it was; a project that is read
// and calculates must have finite results, must read back from the bytes it saves to, and
// must make EPANET input that EPANET's reader takes line by line (no line a section heading
// by mistake, none longer than its reader takes, no identifier longer than 31 characters).

#include "cli/EpanetExport.h"
#include "model/Calculation.h"
#include "storage/CatalogueFiles.h"
#include "storage/ProjectFile.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace valmora;

namespace {

// Two pipe series and three terminal types, enough for indexes 0..2 in any field.
const QByteArray kPipes = "\"Tubi\",2\n"
                          "\"Acciaio\",\"ACC\",7850,120,1,4\n"
                          "\"1/2\",16,21\n\"1\",27,33\n\"1 1/2\",41,48\n\"2\",53,60\n"
                          "\"Rame\",\"CU\",8940,140,1.33,2\n\"22\",20,22\n\"28\",26,28\n";
const QByteArray kTerminals = "\"Terminali\"\n"
                              "\"Idrante UNI 45\",120,200,2.8,1\n"
                              "\"Naspo\",42,35,0.7,2\n"
                              "\"Ugello\",57,80,2,4\n";

Project projectOverTestCatalogues() {
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> terminals;
    if (!parsePipeCatalogue(kPipes, QStringLiteral("tubi"), pipes).ok ||
        !parseTerminalCatalogue(kTerminals, QStringLiteral("terminali"), terminals).ok)
        __builtin_trap();
    return Project(std::move(pipes), std::move(terminals));
}

// EPANET's reader: lines of at most 1024 bytes; a line whose first word begins with '[' is a
// section heading, which must be one of ours; identifiers of at most 31 characters.
void checkEpanetInput(const Project& project) {
    static const QList<QByteArray> headings = {"[TITLE]",   "[JUNCTIONS]", "[RESERVOIRS]", "[PIPES]",
                                               "[VALVES]",  "[EMITTERS]",  "[CURVES]",     "[STATUS]",
                                               "[OPTIONS]", "[REPORT]",    "[END]"};
    constexpr qsizetype kLongestLine = 1023;
    for (const QByteArray& line : epanetInput(project).split('\n')) {
        if (line.size() > kLongestLine)
            __builtin_trap();
        const QByteArray first = line.trimmed().split('\t').value(0).split(' ').value(0);
        if (first.startsWith('[') && !headings.contains(first))
            __builtin_trap();
    }
    for (int16_t i = 1; i <= project.nodeCount(); ++i)
        if (epanetJunctionId(project, i).size() > epanet::kMaxIdLength ||
            epanetLinkId(project, i).size() > epanet::kMaxIdLength ||
            epanetCurveId(project, i).size() > epanet::kMaxIdLength)
            __builtin_trap();
}

void checkProject(const Project& catalogues, const QByteArray& bytes) {
    Project project = Project::withCataloguesOf(catalogues);
    const ReadOutcome read = readProjectText(project, bytes);
    if (!read.ok())
        return;
    CalculationOutcome calculation;
    const NetworkResults results = Calculated(project, &calculation);
    if (calculation.ok && !std::isfinite(results.totalFlow))
        __builtin_trap();
    Project again = Project::withCataloguesOf(catalogues);
    if (!readProjectText(again, projectFileBytes(project)).ok())
        __builtin_trap();
    project.projectPath = QString::fromUtf8(bytes.left(300));
    checkEpanetInput(project);
}

// A network of a few branches, the graft's target.
Project graftTarget(const Project& catalogues) {
    Project project = Project::withCataloguesOf(catalogues);
    const QByteArray network = "\"\"\r\n40000\r\n1\r\n1\r\n0\r\n"
                               "1,10,1,1,1,0,\"A\"\r\n0,5,1,1,1,0,\"B\"\r\n9,2,1,1,1,0,\"C\"\r\n1,0\r\n"
                               "9,3,1,0,1,0,\"D\"\r\n2,1.5\r\n";
    if (!readProjectText(project, network).ok())
        __builtin_trap();
    return project;
}

void checkGraft(const Project& target, const QByteArray& bytes) {
    for (int16_t cursor = 1; cursor <= target.nodeCount(); ++cursor) {
        Workspace workspace(target);
        const GraftOutcome grafted = graftSubtree(workspace, cursor, bytes, false);
        if (!grafted.ok && projectFileBytes(workspace.project) != projectFileBytes(target))
            __builtin_trap();
        if (grafted.ok && grafted.calculation.ok && !std::isfinite(workspace.results.totalFlow))
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Project catalogues = projectOverTestCatalogues();
    static const Project target = graftTarget(catalogues);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    checkProject(catalogues, bytes);
    checkGraft(target, bytes);
    std::vector<PipeSeries> pipes;
    parsePipeCatalogue(bytes, QStringLiteral("tubi"), pipes);
    std::vector<TerminalType> terminals;
    parseTerminalCatalogue(bytes, QStringLiteral("terminali"), terminals);
    return 0;
}
