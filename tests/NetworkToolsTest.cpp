#include "editor/NetworkTools.h"
#include "TestFiles.h"
#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/Traversal.h"
#include "model/UnreachableRecords.h"
#include "storage/ProjectFile.h"
#include "support/NetworkBuilder.h"

#include <gtest/gtest.h>

namespace valmora {
namespace {

using testkit::NetworkBuilder;
using namespace testkit::testCatalogue;

// Over the shipped catalogues (series 1 reaches the comb's 2"1/2): a feed to one nozzle-type
// terminal at 7.5 m, which the comb replaces.
struct CombSite {
    Project p = testkit::projectWithShippedCatalogues();
    int16_t end = 0;
    int16_t sprinklerType = 8;
    CombSite() {
        NetworkBuilder build(p);
        end = build.continueAfter(build.root({QStringLiteral("Alimentazione"), 10, 1, 1, 8}),
                                  {QStringLiteral("Soffitto"), 3, 1, 1, 7});
        build.endWithTerminal(end, sprinklerType, 7.5f);
    }
    std::vector<int16_t> nozzles() const {
        std::vector<int16_t> found;
        for (const int16_t n : networkPreorder(p))
            if (p.NodeTable[std::size_t(n)].endsInTerminal())
                found.push_back(n);
        return found;
    }
};

TEST(Comb, DefaultsBuildSixteenNozzlesWhereTheTerminalWas) {
    CombSite site;
    const tools::CombSettings defaults;
    for (const QLocale& locale : {QLocale::c(), testkit::kItalian}) {
        testkit::LocaleScope scope(locale);
        const QStringList lines =
            tools::combSummary(site.p, defaults, site.sprinklerType).split(QStringLiteral("\n\r"));
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines[0], QStringLiteral("Verranno creati 16 nuovi terminali di tipo %1;")
                                .arg(site.p.TerminalCatalogue[std::size_t(site.sprinklerType)].name));
        EXPECT_EQ(lines[1], QStringLiteral("La dorsale sarà da 2\"1/2 con 2 diramazioni."));
        EXPECT_EQ(lines[2], QStringLiteral("La superficie coperta sarà di 36") + locale.decimalPoint() +
                                QStringLiteral("0 mq."));
        EXPECT_TRUE(lines[3].startsWith(QStringLiteral("La portata (nominale) sarà di circa ")));
        EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" Lt/min per mq")));
    }
    const int16_t before = site.p.nodeCount();
    const int16_t replaced = site.p.NodeTable[std::size_t(site.end)].derivation;
    EXPECT_EQ(tools::CreateComb(site.p, site.end, defaults), 2 * 2 + 16 + 12);
    EXPECT_EQ(site.p.nodeCount(), before + 32);
    // Main-pipe nodes in order, named by the take-off count as it stood, then their index.
    QStringList mainPipe;
    for (int16_t n = site.p.NodeTable[std::size_t(site.end)].next; n > 0;
         n = site.p.NodeTable[std::size_t(n)].next)
        if (site.p.NodeTable[std::size_t(n)].name.startsWith(QStringLiteral("Dr")))
            mainPipe << site.p.NodeTable[std::size_t(n)].name;
    // Each arm of c nozzles takes 2c - 1 nodes after its main-pipe node.
    EXPECT_EQ(mainPipe,
              QStringList(
                  {QStringLiteral("Dr2Sx%1").arg(before + 1), QStringLiteral("Dr1Dx%1").arg(before + 5),
                   QStringLiteral("Dr1Sx%1").arg(before + 17), QStringLiteral("Dr0Dx%1").arg(before + 21)}));
    const std::vector<int16_t> nozzles = site.nozzles();
    ASSERT_EQ(nozzles.size(), 16u);
    ASSERT_TRUE(Calculate(site.p).ok);
    for (const int16_t n : nozzles) {
        const Terminal& t = site.p.terminalOf(site.p.NodeTable[std::size_t(n)]);
        EXPECT_EQ(t.typeIndex, site.sprinklerType);
        EXPECT_EQ(t.height, 7.5f) << "the nozzles stand where the replaced terminal stood";
        EXPECT_NE(site.p.NodeTable[std::size_t(n)].derivation, replaced);
        EXPECT_GT(site.p.totalFlow * site.p.NodeTable[std::size_t(n)].flowFraction, 1.0);
    }
    // The replaced record stays, unreferenced; a save and a read give a clean network.
    EXPECT_EQ(site.p.terminalCount(), 17);
    Project reread = Project::withCataloguesOf(site.p);
    ASSERT_TRUE(readProjectText(reread, projectFileBytes(site.p)).ok());
    EXPECT_EQ(reread.terminalCount(), 16);
    EXPECT_EQ(reread.nodeCount(), site.p.nodeCount());
}

TEST(Comb, ArmSizesAndOneSidedTakeOffs) {
    const std::vector<int16_t> sizes = {7, 7, 6, 6, 6, 6, 5, 4, 3, 3}; // by the nozzles each section feeds

    // Ten nozzles on one side only (the empty side given first): one arm per take-off.
    CombSite site;
    tools::CombSettings one{1, 200, 0, 10, 300};
    tools::CreateComb(site.p, site.end, one);
    const int16_t main = site.p.NodeTable[std::size_t(site.end)].next;
    EXPECT_EQ(site.p.NodeTable[std::size_t(main)].name.left(5), QStringLiteral("Dr1Sx"));
    EXPECT_EQ(site.p.NodeTable[std::size_t(main)].length, 3.0f);
    std::vector<int16_t> walked;
    int16_t n = site.p.NodeTable[std::size_t(main)].next; // the last arm goes on as the main pipe
    while (n > 0) {
        const Node& section = site.p.NodeTable[std::size_t(n)];
        walked.push_back(section.diameterIndex);
        n = section.next;
    }
    EXPECT_EQ(walked, sizes);
    EXPECT_EQ(site.nozzles().size(), 10u);

    // One nozzle on a side hangs straight from its take-off, a spacing away.
    CombSite single;
    tools::CreateComb(single.p, single.end, {1, 250, 1, 0, 150});
    const Node& takeOff = single.p.NodeTable[std::size_t(single.p.NodeTable[std::size_t(single.end)].next)];
    const Node& nozzle = single.p.NodeTable[std::size_t(takeOff.next)];
    EXPECT_TRUE(nozzle.endsInTerminal());
    EXPECT_EQ(nozzle.length, 2.5f);
    EXPECT_EQ(takeOff.derivation, 0);
}

TEST(Comb, RefusesWhatItCannotBuild) {
    CombSite site;
    EXPECT_EQ(tools::combEndNode(site.p, 1), site.end);
    EXPECT_FALSE(tools::combRefusal(site.p, tools::CombSettings{}));
    EXPECT_TRUE(tools::combRefusal(site.p, {-2, 150, -2, -6, 150}));  // a positive product of negatives
    EXPECT_TRUE(tools::combRefusal(site.p, {400, 150, 40, 40, 150})); // past 32 767 nozzles and nodes
    EXPECT_FALSE(tools::combSettingsEnabled({2, 150, 0, 0, 150}));
    EXPECT_FALSE(tools::combSettingsEnabled({2, 0, 2, 6, 150}));

    Project open = testkit::projectWithShippedCatalogues();
    NetworkBuilder build(open);
    build.root({QStringLiteral("Aperto"), 5, 1, 1, 3});
    EXPECT_FALSE(tools::combEndNode(open, 1)); // no terminal to replace

    Project few = testkit::projectWithTestCatalogues(); // series 1 stops at 50 mm
    testkit::buildOnePipe(few);
    EXPECT_TRUE(tools::combRefusal(few, tools::CombSettings{}));
}

TEST(GlobalChanges, SeriesMoveCandidatesOnlyAndTerminalsCountEveryRecord) {
    Project p = testkit::projectWithTestCatalogues();
    NetworkBuilder build(p);
    int16_t at = build.root({QStringLiteral("A"), 1, 0, kSteel, kBore50});
    for (int i = 0; i < 3; ++i)
        at = build.continueAfter(at, {QStringLiteral("B"), 1, 0, 2, 1});
    const int16_t locked = build.continueAfter(at, {QStringLiteral("L"), 1, 0, kSteel, kBore30, false, true});
    const int16_t kv = build.continueAfter(locked, {QStringLiteral("K"), 0, 5, 0, 0});
    build.endWithTerminal(kv, kTypeK80, 0);
    p.NodeTable[std::size_t(kv)].seriesIndex = 0;

    const std::vector<tools::ListEntry> used = tools::seriesInUse(p);
    ASSERT_EQ(used.size(), 2u);
    EXPECT_EQ(used[1].itemValue, 1);
    EXPECT_EQ(tools::changePipeSeries(p, 2, kSteel), 3); // the 25 and 32 mm bores to the nearest of series 1
    EXPECT_EQ(p.NodeTable[2].diameterIndex, kBore30);
    EXPECT_EQ(tools::changePipeSeries(p, kSteel, 2), 4);
    EXPECT_EQ(p.NodeTable[std::size_t(locked)].seriesIndex, kSteel);
    EXPECT_EQ(p.NodeTable[std::size_t(kv)].seriesIndex, 0);
    EXPECT_EQ(tools::seriesInUse(p).size(), 1u); // series 1 is left to the locked pipe alone

    EXPECT_EQ(tools::terminalTypesInUse(p).size(), 1u);
    EXPECT_EQ(tools::changeTerminalType(p, kTypeK80, kTypeK80), 1);
    EXPECT_EQ(tools::changeTerminalType(p, kTypeK100, kTypeK57), 0); // record 0 is not a terminal
    EXPECT_EQ(p.TerminalTable[0].typeIndex, 0);
    EXPECT_EQ(tools::changeTerminalType(p, kTypeK80, kTypeK57), 1);
}

// ---- grafts -------------------------------------------------------------------------

QByteArray snippetOf(const Project& p, int16_t node) {
    QByteArray bytes;
    WriteNodeSubtree(p, node, bytes);
    return bytes;
}

TEST(Graft, PastedSubtreesReplaceWhatFollowsTheCursor) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildComb(p, 4);
    ASSERT_TRUE(Calculate(p).ok);
    const int16_t nodes = p.nodeCount();
    const QByteArray whole = snippetOf(p, 1);

    // The origin pasted on a leaf: a copy of the whole network after it.
    const int16_t leaf = 2; // R1, the first arm
    ASSERT_TRUE(p.NodeTable[leaf].endsInTerminal());
    const GraftOutcome onLeaf = graftSubtree(p, leaf, whole, false);
    ASSERT_TRUE(onLeaf.ok) << onLeaf.message.toStdString();
    EXPECT_TRUE(onLeaf.calculation.ok);
    EXPECT_EQ(p.nodeCount(), 2 * nodes);
    EXPECT_EQ(p.NodeTable[leaf].next, nodes + 1);
    EXPECT_EQ(p.NodeTable[std::size_t(nodes + 1)].parent, leaf);
    EXPECT_EQ(networkPreorder(p).size(), std::size_t(2 * nodes));

    // On a node with a derivation, the derivation goes with the rest.
    Project q = testkit::projectWithTestCatalogues();
    testkit::buildComb(q, 4);
    const GraftOutcome onTee = graftSubtree(q, 1, snippetOf(q, 2), false);
    ASSERT_TRUE(onTee.ok);
    EXPECT_EQ(q.NodeTable[1].derivation, 0);
    EXPECT_EQ(networkPreorder(q).size(), 2u); // node 1 and the pasted arm
    Project reread = Project::withCataloguesOf(q);
    ASSERT_TRUE(readProjectText(reread, projectFileBytes(q)).ok());
    EXPECT_EQ(reread.nodeCount(), 2);
    EXPECT_EQ(reread.terminalCount(), 1);
}

TEST(Graft, AFailedGraftLeavesTheNetworkAsItWas) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildComb(p, 4);
    const QByteArray before = projectFileBytes(p);
    const int16_t nodes = p.nodeCount();
    const QByteArray whole = snippetOf(p, 1);
    struct Case {
        const char* what;
        QByteArray bytes;
        bool skipHeader;
        const char* messageStart;
    };
    const std::vector<Case> cases = {
        {"truncated", whole.left(whole.size() / 2), false, "Errore legginodo riga "},
        {"empty", QByteArray(), false, "Errore legginodo riga "},
        {"bad header", QByteArray("\"x\"\r\nabc\r\n"), true, "Operazione annullata"},
    };
    for (const Case& c : cases) {
        const GraftOutcome outcome = graftSubtree(p, 3, c.bytes, c.skipHeader);
        EXPECT_FALSE(outcome.ok) << c.what;
        EXPECT_TRUE(outcome.message.startsWith(QString::fromLatin1(c.messageStart))) << c.what;
        EXPECT_EQ(projectFileBytes(p), before) << c.what;
        EXPECT_EQ(p.nodeCount(), nodes) << c.what;
    }
    // Past the table's size: refused the same way.
    Project big = testkit::projectWithTestCatalogues();
    testkit::buildChain(big, 20000);
    const QByteArray chain = snippetOf(big, 1);
    const GraftOutcome tooMany = graftSubtree(big, 20000, chain, false);
    EXPECT_EQ(tooMany.message, QStringLiteral("Operazione annullata"));
    EXPECT_EQ(big.nodeCount(), 20000);
}

// Pasting again and again leaves every earlier paste unreachable; they make room before a
// paste is refused, and what a save writes is what one paste alone would have made.
TEST(Graft, RepeatedPastesDropWhatEarlierOnesLeftBehind) {
    Project source = testkit::projectWithTestCatalogues();
    testkit::buildComb(source, 1000);                // 1 999 nodes
    const QByteArray snippet = snippetOf(source, 1); // the whole comb, 1 999 nodes a paste
    Project once = testkit::projectWithTestCatalogues();
    testkit::buildComb(once, 1000);
    ASSERT_TRUE(graftSubtree(once, 1, snippet, false).ok);

    Project p = testkit::projectWithTestCatalogues();
    testkit::buildComb(p, 1000);
    p.currentNode = 1;
    for (int paste = 1; paste <= 40; ++paste) {
        const GraftOutcome pasted = graftSubtree(p, p.currentNode, snippet, false);
        ASSERT_TRUE(pasted.ok) << "paste " << paste << ": " << pasted.message.toStdString();
    }
    EXPECT_LE(p.nodeCount(), kMaxTableIndex);
    EXPECT_EQ(p.currentNode, 1);
    EXPECT_EQ(projectFileBytes(p), projectFileBytes(once));
    EXPECT_EQ(networkPreorder(p).size(), networkPreorder(once).size());

    // A designer's set follows its terminal when the records before it are dropped.
    Project q = testkit::projectWithTestCatalogues();
    testkit::buildComb(q, 10);
    const int16_t last = q.NodeTable[q.nodeCount()].parent; // the last take-off's section
    q.NodeTable[last].name = QStringLiteral("Tenuto");
    q.standardSettings.designerSets[TerminalRole::Hydrant] = {last};
    ASSERT_TRUE(edits::checkDelete(q, 3) == edits::DeleteCheck::ConfirmDeleteDerivation ||
                edits::checkDelete(q, 3) == edits::DeleteCheck::ConfirmDelete);
    edits::deleteNode(q, 3);
    dropUnreachableRecords(q);
    const std::vector<int16_t>& set = q.standardSettings.designerSets[TerminalRole::Hydrant];
    ASSERT_EQ(set.size(), 1u);
    EXPECT_LT(set[0], last);
    EXPECT_EQ(q.NodeTable[set[0]].name, QStringLiteral("Tenuto"));
}

TEST(Graft, ImportsAWindows1252ProjectLeavingItsHeaderBehind) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildOnePipe(p);
    p.supplyPressure = 30000;
    QByteArray file = "\"Impianto \xe0 monte\"\r\n55000\r\n1\r\n1\r\n0\r\n"
                      "0,12,1,2,1,0,\"Citt\xe0 alta\"\r\n9,3,0,1,1,0,\"Idrante pi\xf9 alto\"\r\n1,9\r\n";
    const GraftOutcome imported = graftSubtree(p, 1, file, true);
    ASSERT_TRUE(imported.ok) << imported.message.toStdString();
    EXPECT_EQ(p.NodeTable[2].name, QStringLiteral("Città alta"));
    EXPECT_EQ(p.NodeTable[3].name, QStringLiteral("Idrante più alto"));
    EXPECT_EQ(p.supplyPressure, 30000);
    EXPECT_EQ(p.maxHeight, 9.0f);
    EXPECT_EQ(p.NodeTable[1].next, 2);
}

} // namespace
} // namespace valmora
