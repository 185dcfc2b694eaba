#include "editor/NetworkTools.h"
#include "TestFiles.h"
#include "editor/NetworkChecks.h"
#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/Traversal.h"
#include "model/UnreachableRecords.h"
#include "storage/ProjectFile.h"
#include "support/NetworkBuilder.h"
#include "tests/GoldenFiles.h"

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

// A network as the designer gets it: the file a save writes, with the total flow.
QString networkAsWritten(const Project& p) {
    NetworkResults r;
    const CalculationOutcome calculated = Calculate(p, r);
    return QString::fromUtf8(projectFileBytes(p)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) +
           (calculated.ok ? QStringLiteral("portata totale %1 l/min\n").arg(double(r.totalFlow), 0, 'f', 2)
                          : calculated.message + u'\n');
}

QByteArray snippetOf(const Project& p, int16_t node) {
    QByteArray bytes;
    WriteNodeSubtree(p, node, bytes);
    return bytes;
}

// Combs where the terminal was, their summary in both locales; the origin pasted on a leaf (a
// copy of the whole network after it) and an arm on a tee (the derivation goes with the
// rest); a Windows-1252 project imported without its header. Written whole to
// golden/strumenti.txt: nodes in order, named by the take-off count as it stood, each arm of
// c nozzles taking 2c - 1 nodes, sizes by the nozzles each section feeds, the nozzles at the
// replaced terminal's type and height.
TEST(NetworkTools, CombsAndGraftsAsTheyAreWritten) {
    QString seen;
    const struct {
        const char* what;
        tools::CombSettings settings;
    } combs[] = {{"pettine predefinito", tools::CombSettings{}},
                 {"dieci ugelli da un lato solo, il lato vuoto prima", {1, 200, 0, 10, 300}},
                 {"un ugello appeso alla sua presa", {1, 250, 1, 0, 150}}};
    for (const auto& comb : combs) {
        CombSite site;
        seen += QStringLiteral("== %1 ==\n").arg(QString::fromUtf8(comb.what));
        for (const QLocale& locale : {QLocale::c(), testkit::kItalian}) {
            testkit::LocaleScope scope(locale);
            seen += tools::combSummary(site.p, comb.settings, site.sprinklerType)
                        .replace(QStringLiteral("\n\r"), QStringLiteral(" / ")) +
                    u'\n';
        }
        seen += QStringLiteral("%1 nodi creati\n").arg(tools::CreateComb(site.p, site.end, comb.settings));
        seen += networkAsWritten(site.p);
    }
    // The replaced record stays, unreferenced, until a save and a read.
    CombSite site;
    tools::CreateComb(site.p, site.end, tools::CombSettings{});
    EXPECT_EQ(site.p.terminalCount(), 17);
    Project reread = Project::withCataloguesOf(site.p);
    ASSERT_TRUE(readProjectText(reread, projectFileBytes(site.p)).ok());
    EXPECT_EQ(reread.terminalCount(), 16);

    Workspace pasted(testkit::projectWithTestCatalogues());
    Project& p = pasted.project;
    testkit::buildComb(p, 4);
    GraftOutcome grafted = graftSubtree(pasted, 2, snippetOf(p, 1), false);
    ASSERT_TRUE(grafted.ok && grafted.calculation.ok) << grafted.message.toStdString();
    seen += QStringLiteral("== l'origine incollata su una foglia ==\n") + networkAsWritten(p);
    Workspace onABranch(testkit::projectWithTestCatalogues());
    Project& q = onABranch.project;
    testkit::buildComb(q, 4);
    ASSERT_TRUE(graftSubtree(onABranch, 1, snippetOf(q, 2), false).ok);
    seen += QStringLiteral("== un braccio incollato su una diramazione ==\n") + networkAsWritten(q);
    Workspace imported(testkit::projectWithTestCatalogues());
    Project& r = imported.project;
    testkit::buildOnePipe(r);
    r.supplyPressure = 30000;
    grafted = graftSubtree(imported, 1,
                           "\"Impianto \xe0 monte\"\r\n55000\r\n1\r\n1\r\n0\r\n"
                           "0,12,1,2,1,0,\"Citt\xe0 alta\"\r\n9,3,0,1,1,0,\"Idrante pi\xf9 alto\"\r\n1,9\r\n",
                           true);
    ASSERT_TRUE(grafted.ok) << grafted.message.toStdString();
    seen += QStringLiteral("== importato, senza la sua intestazione ==\n") + networkAsWritten(r) +
            QStringLiteral("quota massima %1 m\n").arg(double(r.maxHeight));
    testkit::expectGolden(QStringLiteral("strumenti.txt"), seen);
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

TEST(Graft, AFailedGraftLeavesTheNetworkAsItWas) {
    Workspace w(testkit::projectWithTestCatalogues());
    Project& p = w.project;
    testkit::buildComb(p, 4);
    ASSERT_TRUE(Calculate(p, w.results).ok);
    const uint64_t calculatedOnce = w.results.generation;
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
        const GraftOutcome outcome = graftSubtree(w, 3, c.bytes, c.skipHeader);
        EXPECT_FALSE(outcome.ok) << c.what;
        EXPECT_EQ(w.results.generation, calculatedOnce) << c.what;
        EXPECT_TRUE(outcome.message.startsWith(QString::fromLatin1(c.messageStart))) << c.what;
        EXPECT_EQ(projectFileBytes(p), before) << c.what;
        EXPECT_EQ(p.nodeCount(), nodes) << c.what;
    }
    // Past the table's size: refused the same way.
    Workspace bigOne(testkit::projectWithTestCatalogues());
    Project& big = bigOne.project;
    testkit::buildChain(big, 20000);
    const QByteArray chain = snippetOf(big, 1);
    const GraftOutcome tooMany = graftSubtree(bigOne, 20000, chain, false);
    EXPECT_EQ(tooMany.message, QStringLiteral("Operazione annullata"));
    EXPECT_EQ(big.nodeCount(), 20000);
}

// Pasting again and again leaves every earlier paste unreachable; they make room before a
// paste is refused, and what a save writes is what one paste alone would have made.
TEST(Graft, RepeatedPastesDropWhatEarlierOnesLeftBehind) {
    Project source = testkit::projectWithTestCatalogues();
    testkit::buildComb(source, 1000);                // 1 999 nodes
    const QByteArray snippet = snippetOf(source, 1); // the whole comb, 1 999 nodes a paste
    Workspace pastedOnce(testkit::projectWithTestCatalogues());
    const Project& once = pastedOnce.project;
    testkit::buildComb(pastedOnce.project, 1000);
    ASSERT_TRUE(graftSubtree(pastedOnce, 1, snippet, false).ok);

    Workspace w(testkit::projectWithTestCatalogues());
    Project& p = w.project;
    testkit::buildComb(p, 1000);
    w.session.currentNode = 1;
    for (int paste = 1; paste <= 40; ++paste) {
        const GraftOutcome pasted = graftSubtree(w, w.session.currentNode, snippet, false);
        ASSERT_TRUE(pasted.ok) << "paste " << paste << ": " << pasted.message.toStdString();
    }
    EXPECT_LE(p.nodeCount(), kMaxTableIndex);
    EXPECT_EQ(w.session.currentNode, 1);
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

// The checks of the grid and the schema are worked out again for another project's results in
// the same place (a file opened, "Nuovo"): the results' generation goes on, never back to 0.
TEST(Graft, ChecksAreNeverTakenFromTheProjectBefore) {
    Workspace w(testkit::projectWithTestCatalogues());
    testkit::buildComb(w.project, 6);
    ASSERT_TRUE(Calculate(w.project, w.results).ok);
    NetworkChecks checks;
    checks.update(w.project, w.results);
    ASSERT_TRUE(checks.valid());
    const std::size_t combTerminals = checks.verification().terminals.size();
    const uint64_t combGeneration = w.results.generation;

    w.project = testkit::projectWithTestCatalogues();
    testkit::buildOnePipe(w.project);
    w.results.replaceWith(NetworkResults{});
    ASSERT_TRUE(Calculate(w.project, w.results).ok);
    ASSERT_GT(w.results.generation, combGeneration);
    checks.update(w.project, w.results);
    EXPECT_EQ(checks.verification().terminals.size(), 1u);
    EXPECT_NE(combTerminals, 1u);
}

// When the unreachable records are dropped, the results and the session follow their nodes:
// every result stays what it was (and what a calculation from nothing gives), the cursor and
// the schema's node stay on the same named nodes, one whose node went falls back to node 1.
TEST(Graft, TheResultsAndTheCursorFollowTheRecordsKept) {
    Workspace w(testkit::projectWithTestCatalogues());
    Project& p = w.project;
    testkit::buildComb(p, 10);
    const int16_t kept = p.NodeTable[p.nodeCount()].parent; // the last take-off's section
    const int16_t gone = 4;
    p.NodeTable[kept].name = QStringLiteral("Tenuto");
    edits::deleteNode(p, 3);
    ASSERT_TRUE(Calculate(p, w.results).ok);
    const NodeResult before = w.results.nodes[std::size_t(kept)];
    const int16_t lastEnd = p.nodeCount();
    const TerminalResult terminalBefore = w.results.terminals[std::size_t(p.NodeTable[lastEnd].derivation)];
    w.session.currentNode = kept;
    w.session.focusNode = lastEnd;
    w.session.terminalNode = gone;
    ASSERT_FALSE(p.NodeTable[gone].name.isEmpty());

    const RecordMoves moves = dropUnreachableRecords(p);
    followMoves(moves, w.results, w.session);

    ASSERT_LT(p.nodeCount(), lastEnd);
    EXPECT_EQ(p.NodeTable[w.session.currentNode].name, QStringLiteral("Tenuto"));
    EXPECT_EQ(w.session.focusNode, p.nodeCount());
    EXPECT_EQ(moves.nodes[std::size_t(gone)], 0);
    EXPECT_EQ(w.session.terminalNode, 1);
    const NodeResult& after = w.results.nodes[std::size_t(w.session.currentNode)];
    EXPECT_EQ(after.eqResistance, before.eqResistance);
    EXPECT_EQ(after.flowFraction, before.flowFraction);
    EXPECT_EQ(w.results.terminals[std::size_t(p.NodeTable[p.nodeCount()].derivation)].heightResistance,
              terminalBefore.heightResistance);
    EXPECT_EQ(w.results.nodes.size(), p.NodeTable.size());
    EXPECT_EQ(w.results.terminals.size(), p.TerminalTable.size());
    const NetworkResults fresh = Calculated(p);
    for (const int16_t i : networkPreorder(p))
        EXPECT_EQ(w.results.nodes[std::size_t(i)].flowFraction, fresh.nodes[std::size_t(i)].flowFraction)
            << i;
}

} // namespace
} // namespace valmora
