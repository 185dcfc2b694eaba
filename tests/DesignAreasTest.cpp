// The standard's design areas on combs built by the comb generator, as a reviewer draws them:
// the shape worked by hand, every area m consecutive heads along k adjacent ranges, the areas
// found beside the any-set search's; the calculation sheet's balances on random trees.

#include "standards/DesignAreas.h"
#include "editor/NetworkTools.h"
#include "standards/StandardTables.h"
#include "standards/StandardVerification.h"
#include "standards/VerificationText.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace valmora;
using namespace valmora::testkit;

namespace {

constexpr int16_t kSprinklerK80 = 7; // of the shipped catalogue: 47,33 l/min at 0,35 bar, K 80

struct Comb {
    const char* name;
    int16_t ranges;
    int16_t heads;
    HazardClass hazard;
    double supplyBar;
    AreaShape shape; // by hand: m = ceil(1,2 sqrt(A) / 3 m), k = ceil(n / m), n = A / 12 m2
};

// 3 m between heads along a range, 4 m between ranges: 12 m2 a head.
const Comb kCombs[] = {
    {"4x6 OH1", 4, 6, HazardClass::OH1, 2.0, {4, 2}},   // n = 72 / 12 = 6, m = ceil(10,18 / 3) = 4
    {"5x8 OH2", 5, 8, HazardClass::OH2, 2.6, {5, 3}},   // n = 12, m = ceil(14,4 / 3) = 5
    {"8x10 OH3", 8, 10, HazardClass::OH3, 3.5, {6, 3}}, // n = 18, m = ceil(17,64 / 3) = 6
};

Project combProject(const Comb& comb) {
    Project p = projectWithShippedCatalogues();
    NetworkBuilder build(p);
    const int16_t feed = build.root({QStringLiteral("Alimentazione"), 10, 2, 1, 10});
    build.endWithTerminal(feed, kSprinklerK80, 0);
    tools::CombSettings settings;
    settings.branchCount = comb.ranges;
    settings.nozzlesSideA = comb.heads;
    settings.nozzlesSideB = 0;
    settings.nozzleSpacing = 300;
    settings.takeoffSpacing = 400;
    tools::CreateComb(p, feed, settings);
    p.supplyPressure = int32_t(std::lround(comb.supplyBar * 10197));
    return p;
}

StandardSettings sprinklers(HazardClass hazard, bool anySet) {
    StandardSettings s;
    s.standard = Standard::En12845;
    s.hazard = hazard;
    s.roles[kSprinklerK80] = TerminalRole::Sprinkler;
    s.anySet = anySet;
    return s;
}

// An area is m consecutive heads along each of k adjacent ranges, one range (the first or the
// last) holding the remainder.
void expectAreaShape(const std::vector<Range>& ranges, const std::vector<int16_t>& area,
                     const AreaShape& shape) {
    std::map<std::size_t, std::vector<int>> taken; // range -> positions along it
    for (const int16_t head : area)
        for (std::size_t r = 0; r < ranges.size(); ++r)
            for (std::size_t k = 0; k < ranges[r].heads.size(); ++k)
                if (ranges[r].heads[k] == head)
                    taken[r].push_back(int(k));
    ASSERT_EQ(taken.size(), std::size_t(shape.across));
    std::size_t previous = taken.begin()->first;
    int partial = 0;
    for (auto& [range, positions] : taken) {
        EXPECT_LE(range - previous, 1u) << "adjacent ranges";
        previous = range;
        std::sort(positions.begin(), positions.end());
        EXPECT_EQ(positions.back() - positions.front() + 1, int(positions.size())) << "consecutive heads";
        partial += int(positions.size()) != shape.along ? 1 : 0;
        if (int(positions.size()) != shape.along) {
            const bool edge = range == taken.begin()->first || range == taken.rbegin()->first;
            EXPECT_TRUE(edge) << "the remainder in the first or the last range";
        }
    }
    EXPECT_LE(partial, 1);
}

QString names(const Project& p, const std::vector<MemberCheck>& members) {
    QStringList shown;
    for (const MemberCheck& m : members)
        shown << p.NodeTable[std::size_t(m.node)].name;
    return shown.join(u' ');
}

} // namespace

TEST(DesignAreas, CombsOfTheGeneratorAsAReviewerDrawsThem) {
    const LocaleScope italian(kItalian);
    QString seen;
    for (const Comb& comb : kCombs) {
        SCOPED_TRACE(comb.name);
        const Project p = combProject(comb);
        const StandardNetwork network(p);
        ASSERT_TRUE(network.ok());
        const std::vector<Range> ranges = findRanges(network, network.terminalEnds());
        ASSERT_EQ(ranges.size(), std::size_t(comb.ranges));
        for (const Range& range : ranges) {
            EXPECT_EQ(range.heads.size(), std::size_t(comb.heads));
            EXPECT_NEAR(range.spacing, 3.0, 1e-6);
        }
        const int count = workingAtOnceOf(sprinklers(comb.hazard, false), TerminalRole::Sprinkler);
        const AreaShape shape = areaShape(hazardDesign(comb.hazard).area, ranges.front().spacing, count);
        EXPECT_EQ(shape.along, comb.shape.along);
        EXPECT_EQ(shape.across, comb.shape.across);
        seen += QStringLiteral("== %1 a %2 bar: %3 teste, area di %4 lungo %5 diramazioni\n")
                    .arg(QLatin1String(comb.name))
                    .arg(comb.supplyBar)
                    .arg(count)
                    .arg(shape.along)
                    .arg(shape.across);
        // The areas ranked by estimate and the best solved: the same as every area solved.
        const auto required = [&](int16_t) {
            return std::pow(60.0 * hazardDesign(comb.hazard).density / 5 / 80.0, 2);
        };
        const std::vector<std::vector<int16_t>> areas =
            designAreas(network, network.terminalEnds(), count, hazardDesign(comb.hazard).area);
        double worst = 0;
        for (const std::vector<int16_t>& area : areas)
            worst = std::max(worst, demandPressureOf(network, area, required));
        EXPECT_NEAR(mostUnfavourableOf(network, areas, required, SetFound::Area).value, worst, 1e-9 * worst)
            << areas.size() << " areas";
        for (const bool anySet : {false, true}) {
            const StandardCheck check = verifyStandard(p, sprinklers(comb.hazard, anySet));
            ASSERT_TRUE(check.verified()) << verificationProblemText(p, check).toStdString();
            const ScenarioCheck& s = check.scenarios.front();
            if (!anySet) {
                expectAreaShape(ranges, std::vector<int16_t>([&] {
                                    std::vector<int16_t> nodes;
                                    for (const MemberCheck& m : s.mostUnfavourable.members)
                                        nodes.push_back(m.node);
                                    return nodes;
                                }()),
                                shape);
            }
            seen +=
                QStringLiteral("%1: %2\n  sfavorevole (%3): %4\n  richiesta %5 bar per %6 l/min\n"
                               "  favorevole: %7\n  portata %8 l/min\n")
                    .arg(anySet ? QStringLiteral("qualunque insieme") : QStringLiteral("aree della norma"),
                         s.pass ? QStringLiteral("superata") : QStringLiteral("NON superata"),
                         foundText(s.mostUnfavourable.found), names(p, s.mostUnfavourable.members),
                         QLocale().toString(s.mostUnfavourable.demandPressure.value_or(-1), 'f', 3),
                         QLocale().toString(s.mostUnfavourable.demandFlow, 'f', 1),
                         names(p, s.mostFavourable.members),
                         QLocale().toString(s.mostFavourable.totalFlow, 'f', 1));
        }
    }
    expectGolden(QStringLiteral("aree.txt"), seen);
}

// On random trees, and on the same with loop pipes: at every junction of a set's sheet the flow
// in is the flows out (its sections below and the loop pipes leaving it, less those reaching
// it), and along every section and loop pipe the head above less the loss and the static head
// is the pressure below, to 1 mbar.
TEST(DesignAreas, TheSheetBalancesOnRandomTreesAndRings) {
    constexpr double kMillibar = 1e-3;
    std::mt19937 rng(2027);
    int rings = 0;
    for (int tree = 0; tree < 40; ++tree) {
        SCOPED_TRACE(tree);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 20 + tree * 5);
        p.supplyPressure = 60000;
        if (tree % 2 == 1)
            addRandomLoopPipes(p, rng, 1 + tree % 4);
        StandardSettings s;
        s.standard = Standard::Uni10779;
        s.level = 3;
        for (int16_t type = 0; type < 3; ++type)
            s.roles[type] = TerminalRole::Hydrant;
        const StandardCheck check = verifyStandard(p, s);
        if (!check.verified())
            continue;
        rings += p.loopPipes.empty() ? 0 : 1;
        for (const SetCheck* set :
             {&check.scenarios.front().mostUnfavourable, &check.scenarios.front().mostFavourable}) {
            ASSERT_TRUE(set->converged);
            std::map<int16_t, const SheetSection*> byNode;
            std::vector<const SheetSection*> loops;
            for (const SheetSection& section : set->sections) {
                if (section.loopPipe >= 0)
                    loops.push_back(&section);
                else
                    byNode[section.node] = &section;
            }
            // The head at a node's outlet: a member's row stands above its height.
            const auto headAt = [&](int16_t node) {
                return byNode.count(node) ? byNode[node]->pressure + byNode[node]->staticDifference
                                          : std::nan("");
            };
            for (const SheetSection* loop : loops) {
                const LoopPipe& pipe = p.loopPipes[std::size_t(loop->loopPipe)];
                EXPECT_NEAR(headAt(pipe.nodeA) - loop->loss, headAt(pipe.nodeB), kMillibar)
                    << "loop pipe " << loop->loopPipe;
                EXPECT_NEAR(loop->pressure + loop->staticDifference, headAt(pipe.nodeB), kMillibar);
            }
            for (const SheetSection& section : set->sections) {
                if (section.loopPipe >= 0)
                    continue;
                const Node& node = p.NodeTable[std::size_t(section.node)];
                // Continuity: the flows of its sections below and of its loop pipes.
                double below = 0;
                bool hasBelow = false;
                for (const int16_t child : {node.continues() ? node.next : int16_t(0),
                                            node.continues() ? node.derivation : int16_t(0)})
                    if (child > 0 && byNode.count(child)) {
                        below += byNode[child]->flow;
                        hasBelow = true;
                    }
                for (const SheetSection* loop : loops) {
                    const LoopPipe& pipe = p.loopPipes[std::size_t(loop->loopPipe)];
                    below += pipe.nodeA == section.node ? loop->flow : 0.0;
                    below -= pipe.nodeB == section.node ? loop->flow : 0.0;
                    hasBelow = hasBelow || pipe.touches(section.node);
                }
                const bool member = std::any_of(set->members.begin(), set->members.end(),
                                                [&](const MemberCheck& m) { return m.node == section.node; });
                if (hasBelow && !member) {
                    EXPECT_NEAR(below, section.flow, 1e-9 * std::max(std::abs(section.flow), 1.0))
                        << "node " << section.node;
                }
                // Energy: the head above less this section's loss (where it carries anything).
                const double above = node.parent > 0 && byNode.count(node.parent)
                                         ? byNode[node.parent]->pressure
                                         : set->availablePressure;
                if (!node.closed) {
                    EXPECT_NEAR(above - section.loss - section.staticDifference, section.pressure, kMillibar)
                        << "node " << section.node;
                }
            }
            // Each member's pressure in the sheet is the one its row shows.
            for (const MemberCheck& m : set->members)
                if (m.pressure && byNode.count(m.node)) {
                    EXPECT_NEAR(byNode[m.node]->pressure, *m.pressure, kMillibar);
                }
        }
    }
    EXPECT_GE(rings, 10) << "looped networks verified";
}

// What a reviewer would catch: a head of a K its class does not allow, a coverage past the
// class's largest, a designer's set that asks less than the program's area (the verdict stays
// on the area, and says so) or more (the verdict needs it too).
TEST(DesignAreas, WhatAReviewerWouldCatch) {
    const Comb& comb = kCombs[1]; // 5 x 8 at OH2, passing at 2,6 bar
    Project p = combProject(comb);
    StandardSettings s = sprinklers(comb.hazard, false);
    const StandardCheck base = verifyStandard(p, s);
    ASSERT_TRUE(base.pass) << verdictText(p, base).toStdString();
    const ScenarioCheck& area = base.scenarios.front();

    StandardSettings k115 = s;
    k115.roles[int16_t(kSprinklerK80 + 1)] = TerminalRole::Sprinkler;
    Project withK115 = p;
    for (Terminal& t : withK115.TerminalTable)
        if (t.typeIndex == kSprinklerK80)
            t.typeIndex = int16_t(kSprinklerK80 + 1);
    const StandardCheck wrongK = verifyStandard(withK115, k115);
    EXPECT_FALSE(wrongK.pass);
    const MemberCheck& refused = wrongK.scenarios.front().mostUnfavourable.members.front();
    EXPECT_EQ(refused.kNotAllowedFor, HazardClass::OH2);
    EXPECT_NEAR(refused.k, 115, 0.01); // Kn from the catalogue's K, rounded in the words
    EXPECT_EQ(kNotAllowedText(refused), QStringLiteral("K 115 non ammesso per OH2 (K 80)"));

    StandardSettings wide = s;
    wide.coverage = 14;
    const StandardCheck tooWide = verifyStandard(p, wide);
    EXPECT_FALSE(tooWide.pass);
    ASSERT_FALSE(tooWide.scenarios.front().notes.empty());
    const ScenarioNote& over = tooWide.scenarios.front().notes.front();
    EXPECT_EQ(over.kind, ScenarioNoteKind::CoverageOverClass);
    EXPECT_EQ(over.value, 14);
    EXPECT_EQ(over.other, 12);
    EXPECT_EQ(over.name, QStringLiteral("OH2"));
    EXPECT_EQ(scenarioNoteText(over, QLocale::c()),
              QStringLiteral("L'area per sprinkler (14.0 m²) supera la massima della classe OH2 (12 m²)."));

    // The nearest heads ask less than the area: the verdict stays the area's.
    StandardSettings easy = s;
    easy.designerSets[TerminalRole::Sprinkler] = {};
    for (const MemberCheck& m : area.mostFavourable.members)
        easy.designerSets[TerminalRole::Sprinkler].push_back(m.node);
    const StandardCheck eased = verifyStandard(p, easy);
    const ScenarioCheck& beside = eased.scenarios.front();
    ASSERT_TRUE(beside.designerUnfavourable);
    EXPECT_EQ(beside.mostUnfavourable.members.size(), area.mostUnfavourable.members.size());
    EXPECT_EQ(*beside.mostUnfavourable.demandPressure, *area.mostUnfavourable.demandPressure);
    EXPECT_LT(*beside.designerUnfavourable->demandPressure, *area.mostUnfavourable.demandPressure);
    const auto easier = std::find_if(beside.notes.begin(), beside.notes.end(), [](const ScenarioNote& note) {
        return note.kind == ScenarioNoteKind::DesignerSetEasier;
    });
    ASSERT_NE(easier, beside.notes.end());
    EXPECT_EQ(easier->value, *beside.designerUnfavourable->demandPressure);
    EXPECT_EQ(easier->other, *area.mostUnfavourable.demandPressure);
    // A supply that serves the area and not a larger set the designer chose fails the scenario.
    StandardSettings severe = s;
    severe.anySet = true;
    const ScenarioCheck worse = verifyStandard(p, severe).scenarios.front();
    StandardSettings chosen = s;
    for (const MemberCheck& m : worse.mostUnfavourable.members)
        chosen.designerSets[TerminalRole::Sprinkler].push_back(m.node);
    p.supplyPressure = int32_t(std::lround(*area.mostUnfavourable.demandPressure * 1.02 * 10197));
    EXPECT_TRUE(verifyStandard(p, s).pass);
    const StandardCheck hidden = verifyStandard(p, chosen);
    EXPECT_GT(*worse.mostUnfavourable.demandPressure, *area.mostUnfavourable.demandPressure * 1.02);
    EXPECT_FALSE(hidden.pass) << "a designer's set that fails is never hidden by the area";
}

namespace {

// The chain node a range's head hangs on: the head's own end where it ends the chain's
// section, else the node its one-section branch is derived from.
int16_t rangeNodeOf(const Project& p, int16_t head) {
    const int16_t parent = p.NodeTable[std::size_t(head)].parent;
    return parent > 0 && p.NodeTable[std::size_t(parent)].derivation == head ? parent : head;
}

// The comb gridded: a far cross main of loop pipes (the feed's bore) joins the ranges' far ends,
// 4 m apart, and is fed from the feed's outlet by one more along the first range: every range is
// fed from both ends.
Project griddedProject(const Comb& comb) {
    Project p = combProject(comb);
    const StandardNetwork network(p);
    const std::vector<Range> ranges = findRanges(network, network.terminalEnds());
    Node crossMain = p.NodeTable[1];
    crossMain.virtualLength = 0;
    crossMain.length = float(ranges.front().at.back() + 2 * 4);
    addLoopPipeLike(p, 1, rangeNodeOf(p, ranges.front().heads.back()), crossMain);
    crossMain.length = 4;
    for (std::size_t r = 1; r < ranges.size(); ++r)
        addLoopPipeLike(p, rangeNodeOf(p, ranges[r - 1].heads.back()), rangeNodeOf(p, ranges[r].heads.back()),
                        crossMain);
    return p;
}

} // namespace

// A gridded installation at OH2 (the 5 x 8 comb with a far cross main): verified as the standard
// asks on the looped network. Every design area is solved (the tree's estimates do not hold on a
// ring); the area found still has the standard's shape; the worst head of it stands exactly at
// its minimum at the demand, the others above; feeding the ranges from both ends asks less head
// than the comb; and some range carries water back towards its main. The whole verification is
// a golden file.
TEST(DesignAreas, AGriddedInstallationAtOH2) {
    const LocaleScope italian(kItalian);
    const Comb& comb = kCombs[1];
    const Project tree = combProject(comb);
    const Project grid = griddedProject(comb);
    ASSERT_EQ(grid.loopPipes.size(), std::size_t(comb.ranges));
    const StandardSettings s = sprinklers(comb.hazard, false);
    const StandardCheck onTree = verifyStandard(tree, s);
    const StandardCheck onGrid = verifyStandard(grid, s);
    ASSERT_TRUE(onGrid.verified()) << verificationProblemText(grid, onGrid).toStdString();
    const ScenarioCheck& area = onGrid.scenarios.front();
    const SetCheck& worst = area.mostUnfavourable;
    ASSERT_TRUE(worst.converged);
    EXPECT_EQ(worst.found, SetFound::Area);
    EXPECT_EQ(worst.setsSolved, worst.setsTried) << "every area solved";
    EXPECT_GT(worst.setsTried, kExactlySolvedAreas);

    const StandardNetwork network(grid);
    std::vector<int16_t> members;
    for (const MemberCheck& m : worst.members)
        members.push_back(m.node);
    expectAreaShape(findRanges(network, network.terminalEnds()), members,
                    areaShape(hazardDesign(comb.hazard).area, 3.0, int(members.size())));

    // At the demand pressure: the critical head at its minimum, none below.
    const double demand = *worst.demandPressure;
    EXPECT_LT(demand, *onTree.scenarios.front().mostUnfavourable.demandPressure);
    const ScenarioNetwork scenario(network, members);
    const ScenarioNetwork::Solution at = scenario.solve(demand);
    ASSERT_TRUE(at.converged);
    const double minimum = worst.members.front().requiredPressure;
    double least = std::numeric_limits<double>::infinity();
    for (const double pressure : at.pressure) {
        EXPECT_GE(pressure, minimum - 1e-6);
        least = std::min(least, pressure);
    }
    EXPECT_NEAR(least, minimum, 1e-6);
    // Fed from both ends: some section of a range runs back towards the main.
    EXPECT_TRUE(std::any_of(worst.sections.begin(), worst.sections.end(),
                            [](const SheetSection& section) { return section.flow < -1e-6; }));
    EXPECT_EQ(std::count_if(worst.sections.begin(), worst.sections.end(),
                            [](const SheetSection& section) { return section.loopPipe >= 0; }),
              comb.ranges);
    EXPECT_TRUE(onGrid.pass);
    expectGolden(QStringLiteral("griglia-oh2.txt"),
                 verificationLines(grid, onGrid, QLocale()).join(u'\n') + u'\n');

    // A pipe of the far main narrowed to 1" at 6 bar: past 10 m/s while every section stays
    // below, and under UNI EN 12845 the installation no longer passes.
    Project narrowed = grid;
    narrowed.loopPipes[2].diameterIndex = shippedCatalogue::kBore1;
    narrowed.supplyPressure = int32_t(std::lround(6.0 * 10197));
    const StandardCheck fast = verifyStandard(narrowed, s);
    const SetCheck& unfavourable = fast.scenarios.front().mostUnfavourable;
    ASSERT_FALSE(unfavourable.loopPipesOverVelocity.empty());
    EXPECT_EQ(unfavourable.loopPipesOverVelocity.front().first, 2);
    EXPECT_GT(unfavourable.loopPipesOverVelocity.front().second, 10);
    EXPECT_TRUE(unfavourable.sectionsOverVelocity.empty());
    EXPECT_FALSE(fast.pass);
}

// Around a ring main closed by a short pipe, the hydrants either side of the closing pipe are
// neighbours: a cluster grows across the loop pipe as along the tree.
TEST(DesignAreas, ClustersGrowAcrossTheRingsClosingPipe) {
    using namespace testCatalogue;
    Project p = projectWithTestCatalogues();
    NetworkBuilder build(p);
    int16_t ring = build.root({QStringLiteral("Attacco"), 10, 0, kSteel, kBore50});
    const int16_t first = ring;
    std::vector<int16_t> hydrants;
    for (int k = 1; k <= 8; ++k) {
        ring = build.continueAfter(ring, {QStringLiteral("Anello %1").arg(k), 25, 0, kSteel, kBore50});
        const int16_t branch =
            build.deriveAt(ring, {QStringLiteral("Idr. %1").arg(k), 2, 0, kSteel, kBore30});
        build.endWithTerminal(branch, kTypeK80, 0);
        hydrants.push_back(branch);
    }
    // A node with a branch goes on: the ring main ends in a sprinkler past its last hydrant.
    build.endWithTerminal(build.continueAfter(ring, {QStringLiteral("Fine"), 5, 0, kSteel, kBore30}),
                          kTypeK80, 0);
    const auto nearest = [&](int count) {
        const StandardNetwork network(p);
        const std::vector<std::vector<int16_t>> found = clusters(network, hydrants, {hydrants.back()}, count);
        return found.empty() ? std::vector<int16_t>{} : found.front();
    };
    const auto holds = [](const std::vector<int16_t>& set, int16_t node) {
        return std::find(set.begin(), set.end(), node) != set.end();
    };
    EXPECT_TRUE(holds(nearest(3), hydrants[5])) << "along the tree alone";
    testkit::addLoopPipeLike(p, ring, first, p.NodeTable[std::size_t(first)]);
    p.loopPipes.back().length = 5;
    // From the last hydrant: its neighbour (29 m), then the first one across the pipe (34 m),
    // before the one two along (54 m).
    const std::vector<int16_t> across = nearest(3);
    EXPECT_TRUE(holds(across, hydrants[6]));
    EXPECT_TRUE(holds(across, hydrants[0]));
    EXPECT_FALSE(holds(across, hydrants[5]));
}

// Each outlet alone on the rings, as the 0,7 MPa check opens them, is solved from the outlet
// before: it must land where a solve from nothing lands, in fewer steps. On a ring main of 12
// hydrants at different heights closed by three pipes, at a fixed supply and on a pump, the
// check names the outlet that the plain solves find highest, at their pressure.
TEST(DesignAreas, EachOutletAloneFromTheOneBefore) {
    using namespace testCatalogue;
    Project p = projectWithTestCatalogues();
    NetworkBuilder build(p);
    int16_t ring = build.root({QStringLiteral("Attacco"), 10, 0, kSteel, kBore50});
    std::vector<int16_t> ringNodes{ring}, hydrants;
    for (int k = 1; k <= 12; ++k) {
        ring = build.continueAfter(ring, {QStringLiteral("Anello %1").arg(k), 20, 0, kSteel, kBore50});
        const int16_t branch =
            build.deriveAt(ring, {QStringLiteral("Idr. %1").arg(k), 3, 0, kSteel, kBore30});
        build.endWithTerminal(branch, kTypeK100, float(k % 4)); // 0 to 3 m up
        ringNodes.push_back(ring);
        hydrants.push_back(branch);
    }
    // A node with a branch goes on: the ring main ends in a sprinkler past its last hydrant.
    build.endWithTerminal(build.continueAfter(ring, {QStringLiteral("Fine"), 5, 0, kSteel, kBore30}),
                          kTypeK80, 0);
    for (const auto& [a, b] : {std::pair{12, 0}, std::pair{4, 9}, std::pair{2, 7}})
        addLoopPipeLike(p, ringNodes[std::size_t(a)], ringNodes[std::size_t(b)],
                        p.NodeTable[std::size_t(ring)]);
    p.supplyPressure = 75000;
    const StandardNetwork network(p);
    ASSERT_TRUE(network.looped());

    // Warm against cold, outlet after outlet.
    double coldSteps = 0, warmSteps = 0;
    for (std::size_t k = 1; k < hydrants.size(); ++k) {
        const ScenarioNetwork before(network, {hydrants[k - 1]}), alone(network, {hydrants[k]});
        const ScenarioNetwork::Solution solvedBefore = before.solve(7.0);
        const ScenarioNetwork::Solution cold = alone.solve(7.0);
        const ScenarioNetwork::Solution warm = alone.solveFrom(7.0, before, solvedBefore);
        ASSERT_TRUE(cold.converged && warm.converged);
        EXPECT_NEAR(warm.flow.front(), cold.flow.front(), 1e-9 * cold.flow.front());
        for (std::size_t i = 0; i < cold.loopFlow.size(); ++i)
            EXPECT_NEAR(warm.loopFlow[i], cold.loopFlow[i], 1e-8 * cold.flow.front());
        coldSteps += cold.iterations;
        warmSteps += warm.iterations;
    }
    EXPECT_LT(warmSteps, coldSteps);

    StandardSettings s;
    s.standard = Standard::Uni10779;
    s.level = 1;
    s.roles[kTypeK100] = TerminalRole::Hydrant;
    s.roles[kTypeK80] = TerminalRole::NotVerified;
    SupplySettings pump;
    pump.kind = SupplyKind::Pump;
    pump.pump = {PumpPoint{0, 9}, PumpPoint{500, 8}, PumpPoint{900, 6}};
    for (const SupplySettings& supply : {SupplySettings{}, pump}) {
        SCOPED_TRACE(supply.kind == SupplyKind::Pump ? "pump" : "fixed");
        s.supply = supply;
        const StandardCheck check = verifyStandard(p, s);
        ASSERT_TRUE(check.verified()) << verificationProblemText(p, check).toStdString();
        const std::optional<SingleOutletCheck>& found = check.scenarios.front().singleOutlet;
        ASSERT_TRUE(found);
        const SupplyCurve curve(supply, network.supplyBar());
        int16_t highest = 0;
        double most = -1;
        for (const int16_t end : hydrants) {
            const auto drawn = [&](double pressure) { return network.flowAlone(end, 0, pressure); };
            const std::optional<SupplyCurve::Point> point = curve.operatingPoint(drawn);
            ASSERT_TRUE(point);
            const double pressure = std::pow(point->flow / network.kn(end), 2);
            if (pressure > most) {
                most = pressure;
                highest = end;
            }
        }
        EXPECT_EQ(found->node, highest);
        EXPECT_NEAR(found->pressure, most, 1e-7 * most);
    }
}
