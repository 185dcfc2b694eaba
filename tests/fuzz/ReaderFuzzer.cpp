// Feeds arbitrary bytes to the project reader and to both catalogue readers. Every input
// must end in a read or a refusal; a project that is read and calculates must have finite
// results, and must read back from the bytes it saves to.

#include "model/Calculation.h"
#include "model/Catalogues.h"
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

void checkProject(const Project& catalogues, const QByteArray& bytes) {
    Project project = Project::withCataloguesOf(catalogues);
    const ReadOutcome read = readProjectText(project, bytes);
    if (!read.ok() || !read.calculation.ok)
        return;
    if (!std::isfinite(project.totalFlow))
        __builtin_trap();
    Project again = Project::withCataloguesOf(catalogues);
    if (!readProjectText(again, projectFileBytes(project)).ok())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Project catalogues = projectOverTestCatalogues();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    checkProject(catalogues, bytes);
    std::vector<PipeSeries> pipes;
    parsePipeCatalogue(bytes, QStringLiteral("tubi"), pipes);
    std::vector<TerminalType> terminals;
    parseTerminalCatalogue(bytes, QStringLiteral("terminali"), terminals);
    return 0;
}
