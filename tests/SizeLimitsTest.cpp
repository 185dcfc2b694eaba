// The largest networks the 16-bit tables hold: a chain of 32 767 sections and a comb of as
// many nodes go through every walk without exhausting the stack, and the full tables refuse
// one more node without a change.

#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "schema/SchemaLayout.h"
#include "storage/ProjectFile.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace valmora;
using namespace valmora::testkit;

TEST(SizeLimits, TheLongestChain) {
    Project p = projectWithTestCatalogues();
    buildChain(p, kMaxTableIndex);
    NetworkResults results;
    ASSERT_TRUE(Calculate(p, results).ok);
    EXPECT_NEAR(results.nodes[kMaxTableIndex].flowFraction, 1.0, 1e-12);

    p.supplyPressure = 40000; // its terminal stands 5 m up
    const ConvergedSolution s = SolveConverged(p);
    ASSERT_TRUE(s.converged);
    // 35000 = (32767 x R(1 m of 50 mm) + Kt80) q^1.85.
    EXPECT_NEAR(s.nodes[kMaxTableIndex].flow, 18.8355702680, 1e-7 * 18.8355702680);

    const QByteArray bytes = projectFileBytes(p);
    Project read = Project::withCataloguesOf(p);
    ASSERT_TRUE(readProjectText(read, bytes).ok());
    EXPECT_EQ(projectFileBytes(read), bytes);

    SchemaLayout board(p, results);
    board.BuildSchema();
    EXPECT_EQ(board.rowCount(), kMaxTableIndex);
    int r = 0, c = 0;
    ASSERT_TRUE(board.findNode(12345, r, c));
    EXPECT_EQ(std::tie(r, c), std::make_tuple(12345, 0));
    EXPECT_FALSE(board.findNode(0, r, c));

    // Full: every edit that adds a node refuses and leaves the network as it was.
    const std::vector<StoredNode> before = storedNetwork(p);
    EXPECT_EQ(edits::appendAfter(p, kMaxTableIndex), std::nullopt);
    EXPECT_EQ(edits::insertBefore(p, 5), std::nullopt);
    EXPECT_EQ(edits::addDerivation(p, 5, QStringLiteral("x")), std::nullopt);
    EXPECT_EQ(storedNetwork(p), before);
    EXPECT_EQ(p.appendNode(), std::nullopt);
    EXPECT_EQ(p.nodeCount(), kMaxTableIndex);
}

TEST(SizeLimits, TheWidestComb) {
    Project comb = projectWithTestCatalogues();
    buildComb(comb, (kMaxTableIndex + 1) / 2);
    ASSERT_EQ(comb.nodeCount(), kMaxTableIndex);
    NetworkResults results;
    ASSERT_TRUE(Calculate(comb, results).ok);
    EXPECT_TRUE(std::isfinite(results.totalFlow));
    EXPECT_GT(results.totalFlow, 0);
    while (comb.appendTerminal())
        ;
    EXPECT_EQ(comb.terminalCount(), kMaxTableIndex);
}
