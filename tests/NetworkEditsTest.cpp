#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/Traversal.h"
#include "storage/ProjectFile.h"
#include "tests/RandomEdits.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace valmora;
using namespace valmora::testkit;

namespace {

// Trunk 1 -> 2 -> 3 (terminal type 2 at 6 m); node 2 derives 4 -> 5 (terminal).
Project smallTree() {
    Project p = projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("A"), 10, 1, 1, 3});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 8, 1, 2, 2});
    const int16_t c = build.continueAfter(b, {QStringLiteral("C"), 6, 1, 1, 1});
    build.endWithTerminal(c, 2, 6);
    const int16_t d = build.deriveAt(b, {QStringLiteral("D"), 4, 1, 1, 2});
    const int16_t e = build.continueAfter(d, {QStringLiteral("E"), 4, 1, 1, 1});
    build.endWithTerminal(e, 1, 0);
    return p;
}

QString branchNames(const Project& p, int16_t node) {
    QStringList names;
    for (;; node = p.NodeTable[node].next) {
        const Node& n = p.NodeTable[node];
        names << n.name;
        if (n.hasDerivation())
            names << u'[' + branchNames(p, n.derivation) + u']';
        if (!n.continues()) {
            names << (n.endsInTerminal() ? QStringLiteral("T") : QStringLiteral("."));
            return names.join(u' ');
        }
    }
}

// The tree by its nodes' names from node 1, each derived branch in brackets after the node
// deriving it, "T" for an end with a terminal and "." for an open end; or, when the tree
// breaks its invariants, what is wrong.
QString tree(const Project& p) {
    const QString violation = edits::invariantViolation(p);
    return violation.isEmpty() ? branchNames(p, 1) : violation;
}

} // namespace

TEST(NetworkEdits, NewNodesTakeTheirDefaultsAndAnAppendedOneTheTerminal) {
    // After a pipe its series and diameter, after a KV element the last series and diameter 1.
    for (const bool afterKv : {false, true}) {
        SCOPED_TRACE(afterKv);
        Project p = smallTree();
        p.lastSeries = 2;
        if (afterKv)
            p.NodeTable[3].seriesIndex = 0;
        EXPECT_EQ(*edits::appendAfter(p, 3), 6);
        EXPECT_EQ(tree(p), QStringLiteral("A B [D E T] C 6 T")); // named by its index
        const Node& added = p.NodeTable[6];
        EXPECT_EQ(p.TerminalTable[added.derivation].height, 6.0f); // C's terminal, moved
        EXPECT_EQ(added.seriesIndex, afterKv ? 2 : 1);
        EXPECT_EQ(added.diameterIndex, 1);
        EXPECT_EQ(added.virtualLength, 1.0f);
        EXPECT_EQ(added.length, 0.0f);
    }

    // A derivation ends in its own terminal of the last type.
    Project p = smallTree();
    p.lastTerminalType = 2;
    const int16_t n = *edits::addDerivation(p, 1, QStringLiteral("Nuovo ramo"));
    EXPECT_EQ(tree(p), QStringLiteral("A [Nuovo ramo T] B [D E T] C T"));
    EXPECT_EQ(p.TerminalTable[p.NodeTable[n].derivation].typeIndex, 2);
    EXPECT_EQ(p.NodeTable[n].diameterIndex, 3); // from its parent
}

TEST(NetworkEdits, DiametersAndSeries) {
    Project p = smallTree();
    EXPECT_FALSE(edits::stepDiameter(p, 1, true)); // already the largest of series 1
    EXPECT_TRUE(edits::stepDiameter(p, 1, false));
    EXPECT_EQ(p.NodeTable[1].diameterIndex, 2);
    p.NodeTable[3].diameterIndex = 0;
    EXPECT_FALSE(edits::stepDiameter(p, 3, false));

    p.NodeTable[3].length = -4;
    p.NodeTable[3].diameterLocked = true;
    edits::applySeries(p, 3, 2, 1);
    EXPECT_EQ(p.NodeTable[3].seriesIndex, 2);
    EXPECT_EQ(p.NodeTable[3].length, 4.0f);
    EXPECT_EQ(p.lastSeries, 2);
    edits::applySeries(p, 3, 0, 0);
    EXPECT_TRUE(p.NodeTable[3].isKvElement());
    EXPECT_FALSE(p.NodeTable[3].diameterLocked);
}

// Thousands of random edits on random networks: after every one the tree is sound, and
// at intervals the network saves and reads back identically and calculates finitely.
TEST(NetworkEdits, RandomEditsKeepTheTreeSound) {
    std::mt19937 rng(4242);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    constexpr int kRounds = 20;
    constexpr int kEditsPerRound = 1000;
    int editCount = 0;
    for (int round = 0; round < kRounds; ++round) {
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, pick(1, 40));
        NetworkResults r;
        for (int step = 0; step < kEditsPerRound; ++step) {
            const int16_t recalcFrom = applyRandomEdit(p, rng, step);
            ++editCount;
            ASSERT_EQ(edits::invariantViolation(p), QString()) << "round " << round << " step " << step;
            ResistanceUp(p, r, recalcFrom);
            FlowPass(p, r);
            if (step % 50 == 49) {
                ASSERT_TRUE(Calculate(p, r).ok);
                ASSERT_TRUE(std::isfinite(r.totalFlow));
                Project read = Project::withCataloguesOf(p);
                ASSERT_TRUE(readProjectText(read, projectFileBytes(p)).ok());
                ASSERT_EQ(storedNetwork(read), storedNetwork(p));
            }
        }
    }
    RecordProperty("edits", editCount);
}
