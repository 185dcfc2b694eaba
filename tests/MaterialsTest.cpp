#include "report/Materials.h"

#include "model/Calculation.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <initializer_list>

using namespace valmora;
using namespace valmora::testkit::testCatalogue;
using valmora::testkit::NetworkBuilder;
using valmora::testkit::Section;

namespace {

using testkit::kItalian;

// Test catalogues: outer diameters 6 mm over the inner ones, all of density 7850.
constexpr int16_t kHydrant = kTypeK80; // "Idrante K80"

Section pipe(float length, int16_t series = kSteel, int16_t diameter = kBore20, bool closed = false) {
    return {QStringLiteral("T"), length, 0.5f, series, diameter, closed};
}

double totalLength(const Project& p, int16_t series, int16_t diameter) {
    return totalMaterials(p, NetworkResults{}).metres[std::size_t(series)][std::size_t(diameter)];
}

// Terminals by type, K 100, K 80 and K 57: how many, how many of them active (none, with no
// results).
using Counts = std::vector<std::pair<int32_t, int32_t>>;
Counts terminalCounts(const Project& p, const NetworkResults& r = {}) {
    const MaterialsTotals totals = totalMaterials(p, r);
    Counts counts;
    for (std::size_t type = 0; type < totals.count.size(); ++type)
        counts.emplace_back(totals.count[type], totals.activeCount[type]);
    return counts;
}

} // namespace

// Small networks whose materials were worked out by hand, one project file each under
// tests/data/materiali with the figures in its notes: each diameter's metres, unrounded weight
// and water, the window's rows and the text file go whole to golden/materiali.txt.
TEST(Materials, HandWorkedNetworks) {
    const QDir folder(QStringLiteral(VALMORA_TEST_DATA_DIR "/materiali"));
    QString seen;
    for (const QString& name : folder.entryList({QStringLiteral("*.vlm")}, QDir::Files, QDir::Name)) {
        Project p = testkit::projectWithTestCatalogues();
        ASSERT_TRUE(ReadProject(p, folder.filePath(name)).ok()) << name.toStdString();
        NetworkResults r;
        ASSERT_TRUE(Calculate(p, r).ok) << name.toStdString();
        const MaterialsTotals totals = totalMaterials(p, r);
        seen += QStringLiteral("=== %1\n%2\n").arg(name, p.projectNotes);
        for (const SeriesMaterials& series : pipeMaterials(p, totals))
            for (const DiameterMaterials& d : series.diameters)
                seen += QStringLiteral("serie %1 diametro %2: %3 m, %4 kg, %5 l\n")
                            .arg(series.seriesIndex)
                            .arg(d.diameterIndex)
                            .arg(d.totalLength)
                            .arg(double(d.weight), 0, 'f', 4)
                            .arg(d.waterContent, 0, 'f', 4);
        seen += (pipeGridRows(p, totals, kItalian) + terminalGridRows(p, totals)).join(u'\n') + u'\n' +
                QString::fromLatin1(materialsTextBytes(
                    materialsTextLines(p, totals, QStringLiteral("Newlav.txt"), kItalian)));
    }
    testkit::expectGolden(QStringLiteral("materiali.txt"), seen);
}

TEST(Materials, ActiveMeansAFlowAboveTheSinglePrecisionLimit) {
    const struct {
        double flowFraction; // of a total flow of 1 l/min
        bool active;
    } cases[] = {
        {0, false},
        {double(0.0001f), false}, // the limit itself
        {0.0001000000001, false}, // above 0.0001 only before it is held in single precision
        {0.00010001, true},
        {1, true},
    };
    for (const auto& c : cases) {
        Project p = testkit::projectWithTestCatalogues();
        NetworkBuilder build(p);
        build.endWithTerminal(build.root(pipe(1)), kHydrant, 0);
        NetworkResults r;
        r.fitTo(p);
        r.totalFlow = 1;
        r.nodes[1].flowFraction = c.flowFraction;
        const MaterialsTotals totals = totalMaterials(p, r);
        EXPECT_EQ(totals.count[kHydrant], 1);
        EXPECT_EQ(totals.activeCount[kHydrant], c.active ? 1 : 0) << c.flowFraction;
    }
}

TEST(Materials, OpenAndManifoldEndsHoldNoTerminalButTheirLengthCounts) {
    for (const int16_t end : {kEndWithoutTerminal, int16_t(-2), int16_t(-3), int16_t(-4)}) {
        Project p = testkit::projectWithTestCatalogues();
        NetworkBuilder build(p);
        const int16_t root = build.root(pipe(2));
        const int16_t open = build.deriveAt(root, pipe(3));
        build.endWithTerminal(build.continueAfter(root, pipe(4)), kHydrant, 0);
        p.NodeTable[open].next = end;
        p.NodeTable[open].derivation = 1; // a stale terminal record, which such an end must not follow
        EXPECT_EQ(totalLength(p, kSteel, kBore20), 9) << end;
        EXPECT_EQ(terminalCounts(p), (Counts{{0, 0}, {1, 0}, {0, 0}})) << end; // not calculated: none active
    }
}

// A loop pipe's metres count with its series and diameter as a section's do; a KV element
// among them adds none.
TEST(Materials, LoopPipesCountAsPipe) {
    Project p = testkit::projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t trunk = build.root(pipe(20, kSteel, kBore50));
    const int16_t a = build.continueAfter(trunk, pipe(10, kSteel, kBore40));
    build.endWithTerminal(a, kHydrant, 0);
    const double before = totalLength(p, kSteel, kBore40);
    LoopPipe ring;
    ring.nodeA = trunk;
    ring.nodeB = a;
    ring.length = 12.5f;
    ring.seriesIndex = kSteel;
    ring.diameterIndex = kBore40;
    p.loopPipes.push_back(ring);
    ring.seriesIndex = 0; // a KV element
    ring.length = 7;
    p.loopPipes.push_back(ring);
    EXPECT_EQ(totalLength(p, kSteel, kBore40), before + 12.5);
    EXPECT_EQ(totalLength(p, kSteel, kBore50), 20.0);
}

TEST(Materials, TextFileNameReplacesTheLastThreeCharacters) {
    const struct {
        const char* project;
        const char* text;
    } cases[] = {
        {"Newlav.vlm", "Newlav.txt"},
        {"/lavori/Capannone.abc", "/lavori/Capannone.txt"},
        {"/lavori/senza", "/lavori/setxt"},
        {"ab", "txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(materialsTextFileName(QString::fromLatin1(c.project)), QString::fromLatin1(c.text))
            << c.project;
}
