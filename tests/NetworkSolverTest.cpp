#include "model/NetworkSolver.h"

#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/Traversal.h"
#include "standards/StandardHydraulics.h"
#include "support/NetworkBuilder.h"
#include "support/TreeContentSolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace valmora {
namespace {

using testkit::buildComb;
using testkit::buildRandom;
using testkit::calculates;
using testkit::projectWithTestCatalogues;
using testkit::solveTreeByContent;

constexpr double kLaw = 1.85;
// l/min: how closely the converged solution fixes a flow near 0.
constexpr double kNearZero = 5e-3;

// What makes a solution one: at every junction with a head the flows balance, every open
// section loses R |Q|^0.85 Q between its ends, every flowing terminal stands Kt Q^1.85 above
// its static head and every dry one at or below it; each to `share` of the supply's head, the
// flows to 1e-7 l/min (the rounding of the heads through the least gradient a section is
// given, 2,5e-8 of the supply's head per l/min).
void expectSolutionHolds(const SolverNetwork& net, const SolverResult& r, double share) {
    ASSERT_TRUE(r.converged) << r.iterations << " iterations";
    std::vector<double> balance(std::size_t(net.junctions), 0.0), through(std::size_t(net.junctions), 0.0);
    const auto head = [&](int j) { return j < 0 ? net.sourceHead : r.head[std::size_t(j)]; };
    for (std::size_t k = 0; k < net.links.size(); ++k) {
        const SolverNetwork::Link& link = net.links[k];
        const double q = r.linkFlow[k];
        if (link.closed || !r.reached[std::size_t(link.to)]) {
            EXPECT_EQ(q, 0.0) << "link " << k;
            continue;
        }
        const double loss = link.resistance * std::pow(std::abs(q), kLaw - 1) * q;
        EXPECT_NEAR(head(link.from) - head(link.to), loss, share * net.sourceHead) << "link " << k;
        if (link.from >= 0) {
            balance[std::size_t(link.from)] -= q;
            through[std::size_t(link.from)] += std::abs(q);
        }
        balance[std::size_t(link.to)] += q;
        through[std::size_t(link.to)] += std::abs(q);
    }
    for (std::size_t t = 0; t < net.terminals.size(); ++t) {
        const SolverNetwork::Terminal& terminal = net.terminals[t];
        const double above = r.head[std::size_t(terminal.junction)] - terminal.staticHead;
        if (r.dry[t]) {
            EXPECT_EQ(r.terminalFlow[t], 0.0);
            if (r.reached[std::size_t(terminal.junction)]) {
                EXPECT_LE(above, share * net.sourceHead) << "a dry terminal below the grade: " << t;
            }
        } else {
            EXPECT_NEAR(above, terminal.resistance * std::pow(r.terminalFlow[t], kLaw),
                        share * net.sourceHead)
                << "terminal " << t;
        }
        balance[std::size_t(terminal.junction)] -= r.terminalFlow[t];
    }
    std::vector<bool> open(std::size_t(net.junctions), false);
    for (const int end : net.openEnds)
        open[std::size_t(end)] = true;
    for (int j = 0; j < net.junctions; ++j)
        if (!open[std::size_t(j)]) {
            EXPECT_NEAR(balance[std::size_t(j)], 0.0, 1e-7 * (through[std::size_t(j)] + 1))
                << "junction " << j;
        }
}

// Two sections in parallel between the same junctions (the smallest loop), worked by hand:
// S -0,01-> A, A -0,02-> B and A -0,05-> B, a terminal of Kt 2 at B on the ground, 40 000 mm.
// The pair is one section of (0,02^(-1/1,85) + 0,05^(-1/1,85))^(-1,85) = 0,0082929; then
// Q = (40 000 / (0,01 + 0,0082929 + 2))^(1/1,85) = 210,2537 l/min, split in the ratio of the
// R^(-1/1,85): 130,6416 through the first, 79,6121 through the second; B at 2 x Q^1,85 = 39 637,46 mm.
TEST(NetworkSolver, TwoSectionsInParallelByHand) {
    SolverNetwork net;
    net.junctions = 2;
    net.sourceHead = 40000;
    net.links = {{-1, 0, 0.01, false}, {0, 1, 0.02, false}, {0, 1, 0.05, false}};
    net.terminals = {{1, 2.0, 0.0}};
    const SolverResult r = SolveNetwork(net);
    expectSolutionHolds(net, r, 1e-12);
    EXPECT_NEAR(r.sourceFlow, 210.2537, 5e-5);
    EXPECT_NEAR(r.linkFlow[1], 130.6416, 5e-5);
    EXPECT_NEAR(r.linkFlow[2], 79.6121, 5e-5);
    EXPECT_NEAR(r.head[1], 39637.46, 5e-3);
    EXPECT_NEAR(r.terminalFlow[0], r.sourceFlow, 1e-9);

    // The same in bar (heads and resistances 10 000 times smaller): the same flows, in as few
    // steps; the solver's least gradient follows the heads' unit.
    SolverNetwork inBar = net;
    inBar.sourceHead /= 10000;
    for (SolverNetwork::Link& link : inBar.links)
        link.resistance /= 10000;
    inBar.terminals[0].resistance /= 10000;
    const SolverResult bar = SolveNetwork(inBar);
    ASSERT_TRUE(bar.converged);
    EXPECT_NEAR(bar.linkFlow[1], r.linkFlow[1], 1e-9 * r.linkFlow[1]);
    EXPECT_LE(bar.iterations, r.iterations + 1);
    // Stopped short, it says so.
    SolverOptions oneStep;
    oneStep.maxIterations = 1;
    EXPECT_FALSE(SolveNetwork(net, oneStep).converged);

    // One of the pair closed: the other carries everything, as a section alone would.
    net.links[2].closed = true;
    const SolverResult one = SolveNetwork(net);
    expectSolutionHolds(net, one, 1e-12);
    EXPECT_EQ(one.linkFlow[2], 0.0);
    EXPECT_NEAR(one.sourceFlow, std::pow(40000 / (0.01 + 0.02 + 2.0), 1 / kLaw), 1e-9);
}

// On a tree the solver gives what the tree's own solver (the minimum of the network's content,
// kept in the tests as an oracle) gives, dry terminals, closed sections and open ends included:
// to a ten-millionth, and to the few thousandths of a litre a minute to which either fixes a
// flow near 0 (their heads balance to 1e-9 of the supply, and Kt x Q^1,85 below that leaves Q
// free to some 0,003 l/min). So does the converged solution, which is this solver's.
TEST(NetworkSolver, OnTreesItGivesTheTreesOwnSolution) {
    std::mt19937 rng(3007);
    int dryTerminals = 0;
    for (int tree = 0; tree < 80; ++tree) {
        SCOPED_TRACE(tree);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 2 + tree * 4);
        p.supplyPressure = 5000 + 1000 * (tree % 40);
        const ConvergedSolution expected = solveTreeByContent(p);
        if (!expected.ok)
            continue;
        ASSERT_TRUE(expected.converged);
        const SolverNetwork net = solverNetworkOf(p);
        const SolverResult r = SolveNetwork(net);
        expectSolutionHolds(net, r, 1e-9);
        const ConvergedSolution converged = SolveConverged(p);
        ASSERT_TRUE(converged.converged);
        EXPECT_NEAR(r.sourceFlow, expected.totalFlow, 1e-7 * expected.totalFlow + kNearZero);
        EXPECT_EQ(converged.totalFlow, r.sourceFlow);
        for (const int16_t i : networkPreorder(p)) {
            const ConvergedNode& node = expected.nodes[std::size_t(i)];
            EXPECT_NEAR(r.linkFlow[std::size_t(i - 1)], node.flow, 1e-7 * node.flow + kNearZero)
                << "node " << i;
            EXPECT_EQ(converged.nodes[std::size_t(i)].flow, r.linkFlow[std::size_t(i - 1)]) << "node " << i;
            EXPECT_EQ(converged.nodes[std::size_t(i)].shutOff, node.shutOff) << "node " << i;
        }
        for (std::size_t t = 0; t < net.terminals.size(); ++t) {
            const int16_t node = int16_t(net.terminals[t].junction + 1);
            const ConvergedNode& expectedEnd = expected.nodes[std::size_t(node)];
            if (!expectedEnd.shutOff && std::abs(expected.headLacking(node)) > 1e-6 * p.supplyPressure) {
                EXPECT_EQ(r.dry[t], expectedEnd.dry) << "node " << node;
            }
            dryTerminals += r.dry[t] && !expectedEnd.shutOff;
        }
    }
    EXPECT_GT(dryTerminals, 0) << "the trees must have dry terminals, or the case says nothing";
}

// Rings and grids: random trees with sections added between random junctions, closed or open.
TEST(NetworkSolver, OnLoopedNetworksTheLawsHoldEverywhere) {
    std::mt19937 rng(777);
    std::uniform_real_distribution<double> resistance(0.001, 0.2);
    int loops = 0, iterations = 0, solved = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 5 + round * 3);
        p.supplyPressure = 20000 + 1000 * (round % 30);
        if (!calculates(p))
            continue;
        SolverNetwork net = solverNetworkOf(p);
        std::uniform_int_distribution<int> junction(0, net.junctions - 1);
        const int extra = 1 + round % 6;
        for (int k = 0; k < extra; ++k) {
            const int a = junction(rng), b = junction(rng);
            if (a == b)
                continue;
            net.links.push_back({a, b, resistance(rng), k == 3});
            loops += k != 3;
        }
        const SolverResult r = SolveNetwork(net);
        expectSolutionHolds(net, r, 1e-9);
        iterations += r.iterations;
        ++solved;
    }
    EXPECT_GT(loops, 100);
    // Newton's steps, a few for each round of terminals found dry.
    EXPECT_LE(iterations / std::max(solved, 1), 60) << iterations << " in " << solved << " networks";
}

// A start from given flows: from the solution itself Newton is done at once, from the solution
// of the same network at another head (each flow scaled, some turned round, terminals dry)
// it lands on the solution a start from nothing lands on, in fewer steps overall.
TEST(NetworkSolver, AStartFromGivenFlowsLandsOnTheSameSolution) {
    constexpr double kTrickle = 1e-4; // l/min
    std::mt19937 rng(4242);
    int cold = 0, warm = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 20 + round * 5);
        testkit::addRandomLoopPipes(p, rng, round % 5);
        p.supplyPressure = 30000;
        if (!calculates(p))
            continue;
        SolverNetwork net = solverNetworkOf(p);
        const SolverResult solved = SolveNetwork(net);
        ASSERT_TRUE(solved.converged);
        SolverOptions again;
        again.startingLinkFlow = solved.linkFlow;
        again.startingTerminalFlow = solved.terminalFlow;
        EXPECT_LE(SolveNetwork(net, again).iterations, 2);

        net.sourceHead *= 1.15;
        const SolverResult fromNothing = SolveNetwork(net);
        SolverOptions near;
        near.startingLinkFlow = solved.linkFlow;
        near.startingTerminalFlow = solved.terminalFlow;
        for (std::size_t k = 0; k < near.startingLinkFlow.size(); k += 7)
            near.startingLinkFlow[k] = -near.startingLinkFlow[k];
        const SolverResult fromNear = SolveNetwork(net, near);
        ASSERT_TRUE(fromNothing.converged && fromNear.converged);
        expectSolutionHolds(net, fromNear, 1e-9);
        // The same heads; the same flows, to a ten-thousandth of a litre a minute where sections
        // carry next to nothing at the grade and their laws hold either way.
        for (std::size_t j = 0; j < fromNothing.head.size(); ++j)
            EXPECT_NEAR(fromNear.head[j], fromNothing.head[j], 1e-8 * net.sourceHead);
        for (std::size_t k = 0; k < fromNothing.linkFlow.size(); ++k)
            EXPECT_NEAR(fromNear.linkFlow[k], fromNothing.linkFlow[k],
                        std::max(kTrickle, 1e-7 * fromNothing.sourceFlow));
        EXPECT_EQ(fromNear.dry, fromNothing.dry);
        cold += fromNothing.iterations;
        warm += fromNear.iterations;
    }
    EXPECT_LT(warm, cold);
}

// The widest comb the tables hold, as a tree and with 100 sections added between random
// junctions. Its far half stands at the grade, thousands of terminals and sections carrying next
// to nothing, which Newton's steps approach only slowly: they settle by their laws holding to
// the heads' balance, so that both take a few tens of steps, not hundreds.
TEST(NetworkSolver, TheWidestCombConvergesInAFewSteps) {
    Project p = projectWithTestCatalogues();
    buildComb(p, (kMaxTableIndex + 1) / 2);
    SolverNetwork net = solverNetworkOf(p);
    const SolverResult tree = SolveNetwork(net);
    expectSolutionHolds(net, tree, 1e-9);
    EXPECT_LE(tree.iterations, 25);
    const ConvergedSolution expected = solveTreeByContent(p);
    ASSERT_TRUE(expected.converged);
    EXPECT_NEAR(tree.sourceFlow, expected.totalFlow, 1e-7 * expected.totalFlow);

    std::mt19937 rng(100);
    std::uniform_int_distribution<int> junction(0, net.junctions - 1);
    for (int k = 0; k < 100; ++k)
        net.links.push_back({junction(rng), junction(rng), sectionResistance(p, p.NodeTable[1]), false});
    const SolverResult looped = SolveNetwork(net);
    expectSolutionHolds(net, looped, 1e-9);
    EXPECT_LE(looped.iterations, 40);
}

// Nothing to solve for: node 1 an open end, its one section between the source and the air.
// Its flow is its law's, (40 000 / 0,5)^(1/1,85) = 447,01 l/min, not the flow an iteration
// would start from.
TEST(NetworkSolver, ASectionBetweenKnownHeadsFlowsByItsLaw) {
    SolverNetwork net;
    net.junctions = 1;
    net.sourceHead = 40000;
    net.links = {{-1, 0, 0.5, false}};
    net.openEnds = {0};
    const SolverResult r = SolveNetwork(net);
    EXPECT_TRUE(r.converged);
    EXPECT_NEAR(r.sourceFlow, std::pow(80000.0, 1 / kLaw), 1e-9);
    EXPECT_NEAR(r.sourceFlow, 447.01, 0.005); // 80 000^0,5405, by hand
}

// The verification's scenarios (members discharging by Q = Kn sqrt(p) in bar, every other
// terminal and open end shut) through the same solver: the scenarios' own solver's flows.
TEST(NetworkSolver, TheVerificationsScenariosAsTheirOwnSolverGivesThem) {
    std::mt19937 rng(12);
    int compared = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 10 + round * 5);
        p.supplyPressure = 30000 + 1000 * (round % 20);
        const StandardNetwork network(p);
        if (!network.ok())
            continue;
        std::vector<int16_t> candidates;
        for (const int16_t end : network.terminalEnds())
            if (!network.shutOff(end) && network.kn(end) > 0)
                candidates.push_back(end);
        if (candidates.empty())
            continue;
        std::shuffle(candidates.begin(), candidates.end(), rng);
        candidates.resize(std::min<std::size_t>(candidates.size(), 1 + round % 5));
        const ScenarioNetwork scenario(network, candidates);
        const ScenarioNetwork::Solution theirs = scenario.solve(network.supplyBar());
        ASSERT_TRUE(theirs.converged);

        // The project's tree in bar: its sections' resistances the scenario's, its terminals and
        // open ends shut but for the members.
        SolverNetwork net = solverNetworkOf(p, network.supplyBar());
        for (const int16_t i : networkPreorder(p))
            net.links[std::size_t(i - 1)].resistance = network.sectionResistance(i);
        net.terminals.clear();
        net.openEnds.clear();
        for (const int16_t member : scenario.members())
            net.terminals.push_back(
                {member - 1, 1 / (network.kn(member) * network.kn(member)), network.staticHead(member), 2.0});
        const SolverResult ours = SolveNetwork(net);
        ASSERT_TRUE(ours.converged);
        EXPECT_NEAR(ours.sourceFlow, theirs.totalFlow, 1e-6 * theirs.totalFlow + 1e-6);
        for (std::size_t k = 0; k < scenario.members().size(); ++k) {
            EXPECT_NEAR(ours.terminalFlow[k], theirs.flow[k], 1e-6 * theirs.flow[k] + 1e-6)
                << "member " << scenario.members()[k];
            ++compared;
        }
    }
    EXPECT_GT(compared, 50);
}

} // namespace
} // namespace valmora
