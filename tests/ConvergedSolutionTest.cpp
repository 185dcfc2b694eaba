#include "model/ConvergedSolution.h"
#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/Traversal.h"
#include "model/Verification.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"
#include "tests/support/TreeContentSolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

using namespace valmora;
using namespace valmora::testkit;
using namespace valmora::testkit::testCatalogue;

namespace {

constexpr int32_t kFourBar = 40000;

// With every terminal at height 0 the calculation's reduction is exact: both must agree.
TEST(ConvergedSolution, AgreesWithTheCalculationWhenNothingIsRaised) {
    std::mt19937 rng(11);
    for (int tree = 0; tree < 50; ++tree) {
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 2 + tree);
        for (std::size_t t = 1; t < p.TerminalTable.size(); ++t)
            p.TerminalTable[t].height = 0;
        for (std::size_t i = 1; i < p.NodeTable.size(); ++i)
            p.NodeTable[i].closed = false;
        NetworkResults r;
        ASSERT_TRUE(Calculate(p, r).ok);
        const ConvergedSolution s = SolveConverged(p);
        ASSERT_TRUE(s.converged) << "tree " << tree;
        for (const int16_t i : networkPreorder(p)) {
            const double calculated = nodeFlow(r, i);
            EXPECT_NEAR(s.nodes[std::size_t(i)].flow, calculated, 1e-6 * calculated + 1e-9)
                << "tree " << tree << " node " << i;
        }
    }
}

// Drop from the supply to the outlet of every node, summed along the path with the
// drops the grid computes.
std::vector<double> pathDrops(const Project& p, const ConvergedSolution& s) {
    std::vector<double> drop(p.NodeTable.size(), 0.0);
    for (const int16_t i : networkPreorder(p)) {
        const Node& node = p.NodeTable[i];
        drop[i] =
            (node.parent > 0 ? drop[node.parent] : 0.0) + sectionDrop(p, node, s.nodes[std::size_t(i)].flow);
    }
    return drop;
}

void expectSolutionHolds(const Project& p, const ConvergedSolution& s) {
    const std::vector<double> drop = pathDrops(p, s);
    const double supply = p.supplyPressure;
    for (const int16_t i : networkPreorder(p)) {
        const Node& node = p.NodeTable[i];
        const ConvergedNode& n = s.nodes[std::size_t(i)];
        if (n.shutOff) {
            EXPECT_EQ(n.flow, 0) << "node " << i;
            continue;
        }
        if (node.continues()) {
            double fed = 0;
            for (const int16_t child : {node.next, node.hasDerivation() ? node.derivation : int16_t(0)})
                if (child > 0)
                    fed += s.nodes[std::size_t(child)].flow;
            EXPECT_NEAR(n.flow, fed, 1e-12 * std::max(1.0, n.flow)) << "node " << i;
        } else if (node.endsInTerminal()) {
            const Terminal& t = p.terminalOf(node);
            const double kt = terminalResistanceFor(p.terminalTypeOf(t).kFactor);
            const double needed = drop[i] + kt * std::pow(n.flow, 1.85) + 1000.0 * double(t.height);
            EXPECT_GE(n.flow, 0) << "node " << i;
            if (n.flow > 0) {
                EXPECT_NEAR(needed, supply, 1e-6 * supply) << "node " << i;
            } else {
                EXPECT_GE(needed, supply * (1 - 1e-6)) << "node " << i;
            }
        } else {
            EXPECT_NEAR(drop[i], supply, 1e-6 * supply) << "open end, node " << i;
        }
    }
}

TEST(ConvergedSolution, RandomTreesBalanceEveryPathAndNode) {
    // With this seed tree 256 once never converged: a terminal at the grade swung between 0
    // and 2e-7 l/min, each step accepted, none within tolerance.
    std::mt19937 rng(8);
    std::uniform_int_distribution<int32_t> supply(5000, 120000);
    for (int tree = 0; tree < 300; ++tree) {
        SCOPED_TRACE(testing::Message() << "tree " << tree);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, tree < 250 ? 2 + tree % 60 : 2000);
        p.supplyPressure = supply(rng);
        if (!calculates(p))
            continue;
        const ConvergedSolution s = SolveConverged(p);
        const ConvergedSolution oracle = solveTreeByContent(p);
        ASSERT_TRUE(s.converged) << s.iterations;
        ASSERT_TRUE(oracle.converged) << oracle.iterations;
        expectSolutionHolds(p, s);
        // One solution, by either method. A flow near 0 is fixed by the heads only to
        // (head tolerance / resistance)^(1/1.85), a few thousandths of a litre a minute: there
        // the floor of 1e-2 l/min, a hundredth of the least flow the program shows.
        for (const int16_t i : networkPreorder(p))
            EXPECT_NEAR(s.nodes[std::size_t(i)].flow, oracle.nodes[std::size_t(i)].flow,
                        1e-7 * oracle.nodes[std::size_t(i)].flow + 1e-2);
    }
}

// Combs of K 80 terminals on a 50 mm trunk that the supply reaches only for the first few
// hundred terminals; beyond, they are dry (0 m ones too: the trunk's pressure falls to 0)
// or just at the grade. Newton's steps on the thousands of elements carrying next to nothing
// shrink only slowly: they settle by their laws holding to the heads' balance, in a few tens
// of steps.
TEST(ConvergedSolution, CombsBeyondTheReachOfTheSupply) {
    struct CombCase {
        int trunk;
        int32_t supply;
        int highEvery;
    };
    for (const CombCase& c :
         {CombCase{4000, kFourBar, 7}, CombCase{1000, 20000, 2}, CombCase{4000, 120000, 2}}) {
        SCOPED_TRACE(testing::Message() << c.trunk << " terminals at " << c.supply << " mm");
        Project p = projectWithTestCatalogues();
        buildComb(p, c.trunk, c.highEvery);
        p.supplyPressure = c.supply;
        ASSERT_TRUE(calculates(p));
        const ConvergedSolution s = SolveConverged(p);
        ASSERT_TRUE(s.converged) << s.iterations;
        EXPECT_LE(s.iterations, 40);
        expectSolutionHolds(p, s);
        // The far terminals carry next to nothing: dry, or at the grade with flows that fall
        // by a constant share from one terminal to the next and never quite reach 0 (their
        // laws' exponents, 1,85 and 1 / 1,85, cancel).
        const ConvergedNode& last = s.nodes[std::size_t(p.nodeCount())];
        EXPECT_LT(last.flow, 1e-3);
        EXPECT_FALSE(s.nodes[2].dry);
    }
}

struct AgreementCase {
    double calculated;
    double converged;
    bool dry;
    bool agrees;
};

// A terminal closed off on purpose says nothing of its pressure, even where the supply is
// below its nominal pressure.
TEST(Verification, ATerminalBehindAClosedSectionIsNotWarnedOfItsPressure) {
    Project p = projectWithTestCatalogues(); // every test type has a nominal pressure of 1 bar
    buildOnePipe(p, 0);
    p.supplyPressure = 5000;
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    EXPECT_FALSE(warningsOf(p, VerifyNetwork(p, r, SolveConverged(p)), 1).empty()); // open: below 1 bar
    p.NodeTable[1].closed = true;
    ASSERT_TRUE(Calculate(p, r).ok);
    EXPECT_TRUE(warningsOf(p, VerifyNetwork(p, r, SolveConverged(p)), 1).empty());
}

// The 1 % rule, the negligible-flow rule and the dry-terminal rule, on a single terminal
// whose converged and calculated flows are set by hand.
TEST(Verification, WhenCalculatedFlowsAreTrusted) {
    const std::vector<AgreementCase> cases = {
        {100.9, 100, false, true}, {101.1, 100, false, false}, {98.9, 100, false, false},
        {0.05, 0.09, false, true}, {0.05, 0, true, false},     {0, 0, true, true},
        {0.2, 0.05, false, false},
    };
    Project p = projectWithTestCatalogues();
    buildOnePipe(p, 0);
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    const double flowOfResults = nodeFlow(r, 1);
    for (const AgreementCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.calculated << " vs " << c.converged);
        r.nodes[1].flowFraction = c.calculated / flowOfResults;
        ConvergedSolution s = SolveConverged(p);
        s.nodes[1].flow = s.nodes[1].terminalFlow = c.converged;
        s.nodes[1].dry = c.dry;
        EXPECT_EQ(VerifyNetwork(p, r, s).terminals.at(0).converged, c.agrees);
    }
}

} // namespace
