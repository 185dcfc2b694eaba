// Figures for the verification against the standards, on the 32 767-node comb with its
// 16 384 terminals (every 7th 12 m up):
//   - UNI 10779 level 3: the most unfavourable and the most favourable 4 hydrants, on the comb
//     and on the comb with 100 loop pipes;
//   - UNI EN 12845 OH4 at 12 m2 a sprinkler: the same for 30 sprinklers, and at the smallest
//     coverage the settings take (4 m2: 90 sprinklers);
//   - a 5 000-node random tree with a set of the designer's: the verification again after
//     an edit (what the window does at every change).

#include "bench/BenchTiming.h"
#include "standards/OperatingCurves.h"
#include "standards/StandardVerification.h"
#include "standards/VerificationText.h"
#include "tests/support/NetworkBuilder.h"

#include <QCoreApplication>

#include <cstdio>
#include <random>

using namespace valmora;
using namespace valmora::bench;

namespace {

constexpr int kCombTrunk = 16384;
constexpr int16_t kCombTerminalType = 2;
constexpr int kLoopPipes = 100;

void describe(const StandardCheck& check) {
    for (const ScenarioCheck& s : check.scenarios)
        std::printf("  %-14s %2d at once: demand %8.3f bar (%s, %d sets solved), most favourable %9.1f l/min "
                    "(%d sets)\n",
                    qPrintable(roleName(s.role)), s.count, s.mostUnfavourable.demandPressure.value_or(-1),
                    qPrintable(foundKey(s.mostUnfavourable.found)), s.mostUnfavourable.setsSolved,
                    s.mostFavourable.totalFlow, s.mostFavourable.setsSolved);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Project comb = testkit::projectWithTestCatalogues();
    testkit::buildComb(comb, kCombTrunk);
    comb.supplyPressure = 60000;

    StandardSettings hydrants;
    hydrants.standard = Standard::Uni10779;
    hydrants.level = 3;
    hydrants.roles[kCombTerminalType] = TerminalRole::Hydrant;
    StandardCheck check;
    report("comb 32 767 nodes: UNI 10779 level 3, 4 hydrants (both sets)", 3,
           [&] { check = verifyStandard(comb, hydrants); });
    describe(check);

    // The same with 100 loop pipes between random nodes of the trunk: every scenario carries
    // the rings, and every area and set is solved on them.
    Project looped = comb;
    std::mt19937 pick(100);
    std::uniform_int_distribution<int> node(1, comb.nodeCount());
    while (looped.loopPipes.size() < std::size_t(kLoopPipes)) {
        const auto a = int16_t(node(pick)), b = int16_t(node(pick));
        if (a != b)
            testkit::addLoopPipeLike(looped, a, b, comb.NodeTable[1]);
    }
    report("comb 32 767 nodes with 100 loop pipes: UNI 10779 level 3 (both sets)", 1,
           [&] { check = verifyStandard(looped, hydrants); });
    describe(check);

    StandardSettings sprinklers;
    sprinklers.standard = Standard::En12845;
    sprinklers.hazard = HazardClass::OH4;
    sprinklers.coverage = 12;
    sprinklers.roles[kCombTerminalType] = TerminalRole::Sprinkler;
    report("comb 32 767 nodes: UNI EN 12845 OH4, 30 sprinklers (both sets)", 3,
           [&] { check = verifyStandard(comb, sprinklers); });
    describe(check);
    // The smallest coverage the settings take: the most sprinklers working at once.
    sprinklers.coverage = settingLimit(LimitedSetting::Coverage).lowest;
    report("comb 32 767 nodes: UNI EN 12845 OH4 at the smallest coverage (both sets)", 1,
           [&] { check = verifyStandard(comb, sprinklers); });
    describe(check);

    Project tree = testkit::projectWithTestCatalogues();
    std::mt19937 rng(5);
    testkit::buildRandom(tree, rng, 5000);
    StandardSettings designer;
    designer.standard = Standard::Uni10779;
    designer.level = 2;
    for (int16_t type = 0; type < 3; ++type)
        designer.roles[type] = TerminalRole::Hydrant;
    std::vector<int16_t> ends;
    for (int16_t i = 1; i <= tree.nodeCount() && ends.size() < 3; ++i)
        if (tree.NodeTable[std::size_t(i)].endsInTerminal() && !tree.NodeTable[std::size_t(i)].closed)
            ends.push_back(i);
    designer.designerSets[TerminalRole::Hydrant] = ends;
    report("random tree 5 000 nodes, the designer's set: an edit and the verification", 11, [&] {
        tree.NodeTable[1].length += 0.5f;
        check = verifyStandard(tree, designer);
    });
    describe(check);

    // The curves' chart: what the window works out when it opens and after every change.
    comb.standardSettings = hydrants;
    comb.standardSettings.supply.kind = SupplyKind::Pump;
    comb.standardSettings.supply.pump = {PumpPoint{0, 8}, PumpPoint{500, 7}, PumpPoint{700, 6.2}};
    OperatingChart chart;
    report("comb 32 767 nodes: the curves' chart with the level 3 verification", 3,
           [&] { chart = operatingChart(comb); });
    std::printf("  network's operating point: %.1f l/min at %.3f bar\n",
                chart.network.operating ? chart.network.operating->flow : -1,
                chart.network.operating ? chart.network.operating->pressure : -1);
    tree.standardSettings = designer;
    tree.standardSettings.supply = comb.standardSettings.supply;
    report("random tree 5 000 nodes: an edit and the curves' chart (the designer's set)", 11, [&] {
        tree.NodeTable[1].length += 0.5f;
        chart = operatingChart(tree);
    });
    return 0;
}
