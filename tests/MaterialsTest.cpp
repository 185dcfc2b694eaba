#include "report/Materials.h"

#include "model/Calculation.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace valmora;
using namespace valmora::testkit::testCatalogue;
using valmora::testkit::NetworkBuilder;
using valmora::testkit::Section;

namespace {

using testkit::kItalian;

// Test catalogues: outer diameters 6 mm over the inner ones, all of density 7850.
constexpr int16_t kUnlistedType = kTypeK100;
constexpr int16_t kHydrant = kTypeK80; // "Idrante K80"
constexpr int16_t kNozzle = kTypeK57;  // "Ugello K57"

Section pipe(float length, int16_t series = kSteel, int16_t diameter = kBore20, bool closed = false) {
    return {QStringLiteral("T"), length, 0.5f, series, diameter, closed};
}

int32_t totalLength(const Project& p, int16_t series, int16_t diameter) {
    return p.PipeCatalogue[std::size_t(series)].diameters[std::size_t(diameter)].totalLength;
}

// Terminals by type, K 100, K 80 and K 57: how many, how many of them active.
using Counts = std::vector<std::pair<int32_t, int32_t>>;
Counts terminalCounts(const Project& p) {
    Counts counts;
    for (const TerminalType& type : p.TerminalCatalogue)
        counts.emplace_back(type.count, type.activeCount);
    return counts;
}

// A chain of sections of the first steel diameter ending in a hydrant, walked.
int32_t chainTotal(std::initializer_list<float> lengths) {
    Project p = testkit::projectWithTestCatalogues();
    NetworkBuilder build(p);
    int16_t last = 0;
    for (const float length : lengths)
        last = last == 0 ? build.root(pipe(length)) : build.continueAfter(last, pipe(length));
    build.endWithTerminal(last, kHydrant, 0);
    ComputeMaterials(p);
    return totalLength(p, kSteel, kBore20);
}

// 6 m of 20 mm steel (10.21 kg) and 2 m of 32 mm inox (5.18 kg), then one hydrant; a
// derived 0.2 m, lost in the rounding, to a terminal of type 0.
Project tenAndFiveKilograms() {
    Project p = testkit::projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t steel = build.root(pipe(6));
    build.endWithTerminal(build.deriveAt(steel, pipe(0.2f)), kUnlistedType, 0);
    build.endWithTerminal(build.continueAfter(steel, pipe(2, kInox, kBore32)), kHydrant, 0);
    ComputeMaterials(p);
    return p;
}

} // namespace

TEST(Materials, LengthsAreRoundedAtEveryAddition) {
    const struct {
        std::initializer_list<float> lengths;
        int32_t total;
    } cases[] = {
        {{0.4f, 0.4f, 0.4f}, 0}, // each short section is lost
        {{0.5f}, 0},             // a half to the even 0
        {{0.6f}, 1},
        {{0.6f, 0.5f}, 2},       // 1.5 to the even 2
        {{2.5f, 2.5f}, 4},       // 2, then 4.5 to 4
        {{2.5f, 2.5f, 2.5f}, 6}, // 2, 4, then 6.5 to 6
    };
    for (const auto& c : cases)
        EXPECT_EQ(chainTotal(c.lengths), c.total)
            << c.lengths.size() << " sections from " << *c.lengths.begin();
}

TEST(Materials, DerivedBranchIsAddedBeforeTheContinuation) {
    // 0.6 m gives 1. Derived 0.5 m first: 1.5 -> 2, then 1.5 m: 3.5 -> 4. The order of the
    // project file (continuation first) would give 2.5 -> 2, then 2.5 -> 2.
    Project p = testkit::projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t root = build.root(pipe(0.6f));
    build.endWithTerminal(build.deriveAt(root, pipe(0.5f)), kHydrant, 0);
    build.endWithTerminal(build.continueAfter(root, pipe(1.5f)), kHydrant, 0);
    ComputeMaterials(p);
    EXPECT_EQ(totalLength(p, kSteel, kBore20), 4);
}

TEST(Materials, TerminalsCountedByTypeActiveOnlyWithFlow) {
    // A trunk with a closed derived branch to a nozzle, an open derived branch to a nozzle
    // and a hydrant at its end; calculated.
    Project p = testkit::projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t first = build.root(pipe(3, kSteel, kBore50));
    build.endWithTerminal(build.deriveAt(first, pipe(2, kSteel, kBore20, true)), kNozzle, 0);
    const int16_t second = build.continueAfter(first, pipe(3, kSteel, kBore50));
    build.endWithTerminal(build.deriveAt(second, pipe(2)), kNozzle, 0);
    build.endWithTerminal(build.continueAfter(second, pipe(3)), kHydrant, 0);
    ASSERT_TRUE(Calculate(p).ok);
    for (int walk = 1; walk <= 2; ++walk) { // walking again carries nothing over
        ComputeMaterials(p);
        EXPECT_EQ(terminalCounts(p), (Counts{{0, 0}, {1, 1}, {2, 1}})) << walk;
    }
    EXPECT_EQ(totalLength(p, kSteel, kBore50), 6);
    EXPECT_EQ(totalLength(p, kSteel, kBore20), 7);
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
        p.totalFlow = 1;
        p.NodeTable[1].flowFraction = c.flowFraction;
        ComputeMaterials(p);
        EXPECT_EQ(p.TerminalCatalogue[kHydrant].count, 1);
        EXPECT_EQ(p.TerminalCatalogue[kHydrant].activeCount, c.active ? 1 : 0) << c.flowFraction;
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
        ComputeMaterials(p);
        EXPECT_EQ(totalLength(p, kSteel, kBore20), 9) << end;
        EXPECT_EQ(terminalCounts(p), (Counts{{0, 0}, {1, 0}, {0, 0}})) << end; // not calculated: none active
    }
}

TEST(Materials, WeightsForTheWindowAndTheReport) {
    const Project p = tenAndFiveKilograms();
    const std::vector<SeriesMaterials> series = pipeMaterials(p);
    ASSERT_EQ(series.size(), 2u);
    // 276 mm2 x 0.7854 / 10^6 x 7850 x 6 m and 420 mm2 x ... x 2 m, by hand.
    EXPECT_NEAR(series[0].diameters[0].weight, 10.20989, 1e-4);
    EXPECT_NEAR(series[1].diameters[0].weight, 5.178928, 1e-4);
    EXPECT_NEAR(series[1].weight, 5.178928, 1e-4);
    EXPECT_EQ(series[0].roundedWeight, 10);
    EXPECT_EQ(series[1].roundedWeight, 5);
    EXPECT_EQ(series[1].seriesIndex, kInox);
    EXPECT_EQ(series[1].diameters[0].diameterIndex, kBore32);

    // The factor 0.7854 as written, not pi/4: 636 mm2 x 600 m weigh 2352.7128 kg (2352.7073 with pi/4).
    const PipeDiameter& bore50 = p.PipeCatalogue[kSteel].diameters[kBore50];
    EXPECT_NEAR(diameterWeight(p.PipeCatalogue[kSteel], bore50, 600), 2352.7128, 1e-3);
    EXPECT_NEAR(diameterWaterContent(bore50, 600), 1178.0970, 1e-3); // 2500 mm2 x 0.000785398 x 600
}

TEST(Materials, GridRowsCarryTheRunningWeightOnEachPartialRow) {
    const Project p = tenAndFiveKilograms();
    // The type-0 terminal is counted but never listed.
    EXPECT_EQ(p.TerminalCatalogue[kUnlistedType].count, 1);
    EXPECT_EQ(pipeGridRows(p), (QStringList{"Acciaio prova\t20\t6\t10", "Peso\t\tparziale\t10",
                                            "Inox prova\t32\t2\t5", "Peso\t\tparziale\t15"}));
    EXPECT_EQ(terminalGridRows(p), (QStringList{"Idrante K80\t1\t0\t", "Totale terminali\t1"}));

    // Nothing long enough to list: no pipe rows, and the terminal total row all the same.
    Project shortOnly = testkit::projectWithTestCatalogues();
    NetworkBuilder(shortOnly).root(pipe(0.5f));
    ComputeMaterials(shortOnly);
    EXPECT_TRUE(pipeGridRows(shortOnly).isEmpty());
    EXPECT_EQ(terminalGridRows(shortOnly), QStringList{"Totale terminali\t0"});
    // The text file keeps its headings, and "#,#" prints nothing for no water.
    testkit::expectGolden(QStringLiteral("materiali-senza-tubi.txt"),
                          QString::fromLatin1(materialsTextBytes(
                              materialsTextLines(shortOnly, QStringLiteral("Newlav.txt"), kItalian))));
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
