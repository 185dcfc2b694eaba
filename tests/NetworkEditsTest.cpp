#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/Traversal.h"
#include "storage/ProjectFile.h"
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
    EXPECT_EQ(edits::invariantViolation(p), QString());
    return p;
}

void expectSound(const Project& p) {
    ASSERT_EQ(edits::invariantViolation(p), QString());
}

} // namespace

TEST(NetworkEdits, AppendMovesTheTerminalToTheNewLastNode) {
    Project p = smallTree();
    const int16_t n = *edits::appendAfter(p, 3);
    expectSound(p);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(p.NodeTable[3].next, 6);
    EXPECT_EQ(p.NodeTable[3].derivation, 0);
    EXPECT_TRUE(p.NodeTable[6].endsInTerminal());
    EXPECT_EQ(p.TerminalTable[p.NodeTable[6].derivation].height, 6.0f);
    // Defaults from its parent: series 1, diameter index 1, 1 m of fittings, named by its index.
    EXPECT_EQ(p.NodeTable[6].name, QStringLiteral("6"));
    EXPECT_EQ(p.NodeTable[6].seriesIndex, 1);
    EXPECT_EQ(p.NodeTable[6].diameterIndex, 1);
    EXPECT_EQ(p.NodeTable[6].virtualLength, 1.0f);
    EXPECT_EQ(p.NodeTable[6].length, 0.0f);
}

TEST(NetworkEdits, NewNodeAfterAKvElementTakesTheLastSeries) {
    Project p = smallTree();
    p.NodeTable[3].seriesIndex = 0;
    p.lastSeries = 2;
    const int16_t n = *edits::appendAfter(p, 3);
    EXPECT_EQ(p.NodeTable[n].seriesIndex, 2);
    EXPECT_EQ(p.NodeTable[n].diameterIndex, 1);
}

TEST(NetworkEdits, InsertBeforeTheOriginKeepsNodeOneFirst) {
    Project p = smallTree();
    const Node oldFirst = p.NodeTable[1];
    const edits::Insertion in = *edits::insertBefore(p, 1);
    expectSound(p);
    EXPECT_EQ(in.newBranchStart, 0);
    const Node& origin = p.NodeTable[1];
    const Node& moved = p.NodeTable[in.node];
    EXPECT_EQ(origin.next, in.node);
    EXPECT_EQ(origin.derivation, 0);
    EXPECT_EQ(origin.length, 0.0f);
    EXPECT_EQ(origin.virtualLength, 1.0f);
    EXPECT_EQ(origin.name, QString::number(in.node));
    EXPECT_EQ(origin.parent, 0);
    EXPECT_EQ(moved.name, oldFirst.name);
    EXPECT_EQ(moved.length, oldFirst.length);
    EXPECT_EQ(moved.next, 2);
    EXPECT_EQ(moved.parent, 1);
    EXPECT_EQ(p.NodeTable[2].parent, in.node);
}

TEST(NetworkEdits, InsertAtTheHeadOfADerivedBranchMovesItsStart) {
    Project p = smallTree();
    const edits::Insertion in = *edits::insertBefore(p, 4);
    expectSound(p);
    EXPECT_EQ(in.newBranchStart, in.node);
    EXPECT_EQ(p.NodeTable[2].derivation, in.node);
    EXPECT_EQ(p.NodeTable[in.node].next, 4);
    EXPECT_EQ(p.NodeTable[2].next, 3); // the trunk is untouched

    const edits::Insertion middle = *edits::insertBefore(p, 3);
    expectSound(p);
    EXPECT_EQ(middle.newBranchStart, 0);
    EXPECT_EQ(p.NodeTable[2].next, middle.node);
}

TEST(NetworkEdits, DeleteChecksAndTheirCases) {
    Project p = smallTree();
    EXPECT_EQ(edits::checkDelete(p, 3), edits::DeleteCheck::RefusedDerivationFirst); // 2 still derives
    EXPECT_EQ(edits::checkDelete(p, 2), edits::DeleteCheck::ConfirmDeleteDerivation);
    EXPECT_EQ(edits::checkDelete(p, 5), edits::DeleteCheck::ConfirmDelete);
    EXPECT_EQ(edits::checkDelete(p, 4), edits::DeleteCheck::ConfirmDelete);

    // The last node of a branch: the previous one becomes an open end.
    edits::Deletion d = edits::deleteNode(p, 5);
    expectSound(p);
    EXPECT_EQ(d.recalculateFrom, 4);
    EXPECT_EQ(p.NodeTable[4].next, kEndWithoutTerminal);

    // The only node of a derived branch: the derivation goes.
    d = edits::deleteNode(p, 4);
    expectSound(p);
    EXPECT_TRUE(d.derivedBranchRemoved);
    EXPECT_EQ(p.NodeTable[2].derivation, 0);
    EXPECT_EQ(edits::checkDelete(p, 3), edits::DeleteCheck::ConfirmDelete);
}

TEST(NetworkEdits, DeletingANodeThatDerivesDropsItsSubtree) {
    Project p = smallTree();
    const edits::Deletion d = edits::deleteNode(p, 2);
    expectSound(p);
    EXPECT_EQ(d.recalculateFrom, 1);
    EXPECT_EQ(p.NodeTable[1].next, 3);
    EXPECT_EQ(p.NodeTable[3].parent, 1);
    EXPECT_EQ(networkPreorder(p), (std::vector<int16_t>{1, 3}));
}

TEST(NetworkEdits, DeletingTheOriginPullsTheNextNodeUp) {
    Project p = smallTree();
    EXPECT_EQ(edits::checkDelete(p, 1), edits::DeleteCheck::ConfirmDelete);
    edits::deleteNode(p, 1);
    expectSound(p);
    EXPECT_EQ(p.NodeTable[1].name, QStringLiteral("B"));
    EXPECT_EQ(p.NodeTable[1].derivation, 4);
    EXPECT_EQ(p.NodeTable[4].parent, 1);
    EXPECT_EQ(p.NodeTable[3].parent, 1);

    Project single = projectWithTestCatalogues();
    EXPECT_EQ(edits::checkDelete(single, 1), edits::DeleteCheck::RefusedOnlyBranch);
}

TEST(NetworkEdits, DeletingTheHeadOfADerivedBranchMovesItsStart) {
    Project p = smallTree();
    const edits::Deletion d = edits::deleteNode(p, 4);
    expectSound(p);
    EXPECT_EQ(d.newBranchStart, 5);
    EXPECT_EQ(p.NodeTable[2].derivation, 5);
    EXPECT_EQ(p.NodeTable[5].parent, 2);
}

TEST(NetworkEdits, DerivationWithItsOwnTerminal) {
    Project p = smallTree();
    p.lastTerminalType = 2;
    const int16_t n = *edits::addDerivation(p, 1, QStringLiteral("Nuovo ramo"));
    expectSound(p);
    EXPECT_EQ(p.NodeTable[1].derivation, n);
    EXPECT_EQ(p.NodeTable[n].name, QStringLiteral("Nuovo ramo"));
    EXPECT_TRUE(p.NodeTable[n].endsInTerminal());
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

TEST(NetworkEdits, FullTablesRefuseAndChangeNothing) {
    Project p = projectWithTestCatalogues();
    buildChain(p, kMaxTableIndex);
    const std::vector<StoredNode> before = storedNetwork(p);
    EXPECT_EQ(edits::appendAfter(p, kMaxTableIndex), std::nullopt);
    EXPECT_EQ(edits::insertBefore(p, 5), std::nullopt);
    EXPECT_EQ(edits::addDerivation(p, 5, QStringLiteral("x")), std::nullopt);
    EXPECT_EQ(storedNetwork(p), before);
    EXPECT_EQ(p.nodeCount(), kMaxTableIndex);
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
        for (int step = 0; step < kEditsPerRound; ++step) {
            const std::vector<int16_t> reachable = networkPreorder(p);
            const int16_t node = reachable[std::size_t(pick(0, int(reachable.size()) - 1))];
            const Node& n = p.NodeTable[node];
            int16_t recalcFrom = node;
            switch (pick(0, 7)) {
            case 0: {
                int16_t last = node;
                while (p.NodeTable[last].continues())
                    last = p.NodeTable[last].next;
                recalcFrom = *edits::appendAfter(p, last);
                break;
            }
            case 1: recalcFrom = edits::insertBefore(p, node)->node; break;
            case 2: {
                const edits::DeleteCheck check = edits::checkDelete(p, node);
                if (check == edits::DeleteCheck::ConfirmDelete || check == edits::DeleteCheck::ConfirmDeleteDerivation)
                    recalcFrom = edits::deleteNode(p, node).recalculateFrom;
                break;
            }
            case 3:
                if (n.continues() && n.derivation == 0)
                    recalcFrom = *edits::addDerivation(p, node, QStringLiteral("R%1").arg(step));
                break;
            case 4:
                if (!n.isKvElement())
                    edits::stepDiameter(p, node, pick(0, 1) == 1);
                break;
            case 5: {
                const auto series = static_cast<int16_t>(pick(0, 2));
                edits::applySeries(p, node, series, static_cast<int16_t>(series == 2 ? pick(0, 1) : pick(0, 3)));
                break;
            }
            case 6: p.NodeTable[node].closed = !n.closed; break;
            default: p.NodeTable[node].length = float(pick(0, 300)) / 10.0f; break;
            }
            ++editCount;
            ASSERT_EQ(edits::invariantViolation(p), QString()) << "round " << round << " step " << step;
            ResistanceUp(p, recalcFrom);
            FlowPass(p);
            if (step % 50 == 49) {
                ASSERT_TRUE(Calculate(p).ok);
                ASSERT_TRUE(std::isfinite(p.totalFlow));
                Project read = Project::withCataloguesOf(p);
                ASSERT_TRUE(readProjectText(read, projectFileBytes(p)).ok());
                ASSERT_EQ(storedNetwork(read), storedNetwork(p));
            }
        }
    }
    RecordProperty("edits", editCount);
}
