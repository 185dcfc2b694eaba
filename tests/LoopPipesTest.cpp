// Loop pipes: written to the block by the file positions of their nodes and read back on the
// same nodes, refused one line at a time, kept on their nodes by the edits of the tree, and
// solved with the rest of the network.

#include "model/LoopPipes.h"
#include "cli/CalculationReport.h"
#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/ProjectHistory.h"
#include "model/Traversal.h"
#include "model/UnreachableRecords.h"
#include "model/Verification.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>

using namespace valmora;
using namespace valmora::testkit;
using namespace valmora::testkit::testCatalogue;

namespace {

// A node's position in the written file, which is its index once the file is read.
std::vector<int16_t> filePositions(const Project& p) {
    std::vector<int16_t> position(p.NodeTable.size(), 0);
    int16_t at = 0;
    for (const int16_t node : networkPreorder(p))
        position[std::size_t(node)] = ++at;
    return position;
}

// Two random nodes of the tree, apart.
std::pair<int16_t, int16_t> twoNodesOf(const Project& p, std::mt19937& rng) {
    const std::vector<int16_t> tree = networkPreorder(p);
    std::uniform_int_distribution<std::size_t> pick(0, tree.size() - 1);
    const int16_t a = tree[pick(rng)];
    int16_t b = a;
    while (b == a)
        b = tree[pick(rng)];
    return {a, b};
}

LoopPipe randomPipe(const Project& p, std::mt19937& rng, int k) {
    const auto [a, b] = twoNodesOf(p, rng);
    LoopPipe pipe = newLoopPipe(p, a, b);
    pipe.length = float(k % 7) * 2.5f;
    pipe.virtualLength = float(k % 3);
    pipe.closed = k % 5 == 0;
    pipe.diameterLocked = k % 4 == 0;
    if (k % 6 == 0) {
        pipe.seriesIndex = 0; // a KV element: its KV in the virtual length
        pipe.virtualLength = 12.5f;
    } else {
        pipe.seriesIndex = kSteel;
        pipe.diameterIndex = int16_t(k % 4);
    }
    pipe.name = k % 9 == 0 ? QStringLiteral("Anello \"est\" %1").arg(k) : QStringLiteral("Anello %1").arg(k);
    return pipe;
}

// Continuity at every node's outlet, the loss of every section and loop pipe between the
// heads at its ends, and every flowing terminal's law, read from the solution as the windows
// read it: each to 1e-9 of the supply (flows to 1e-9 of what meets there).
void expectLoopedSolutionHolds(const Project& p, const ConvergedSolution& s) {
    ASSERT_TRUE(s.ok && s.converged) << s.iterations;
    const double supply = p.supplyPressure;
    std::vector<double> balance(p.NodeTable.size(), 0.0), through(p.NodeTable.size(), 0.0);
    for (const int16_t i : networkPreorder(p)) {
        const Node& node = p.NodeTable[std::size_t(i)];
        const ConvergedNode& n = s.nodes[std::size_t(i)];
        if (n.shutOff)
            continue;
        balance[std::size_t(i)] += n.flow;
        through[std::size_t(i)] += std::abs(n.flow);
        if (node.parent > 0) {
            balance[std::size_t(node.parent)] -= n.flow;
            through[std::size_t(node.parent)] += std::abs(n.flow);
        }
        // A closed section carries nothing, whatever the heads at its ends (a ring may feed its
        // outlet).
        const double above = node.parent > 0 ? *s.nodes[std::size_t(node.parent)].cumulativeDrop : 0.0;
        if (!node.closed) {
            EXPECT_NEAR(*n.cumulativeDrop - above, n.drop, 1e-9 * supply) << "node " << i;
        } else {
            EXPECT_EQ(n.flow, 0.0) << "node " << i;
        }
        if (node.endsInTerminal()) {
            const Terminal& t = p.terminalOf(node);
            const double kt = terminalResistanceFor(p.terminalTypeOf(t).kFactor);
            balance[std::size_t(i)] -= n.terminalFlow;
            if (n.dry) {
                EXPECT_EQ(n.terminalFlow, 0.0) << "node " << i;
                EXPECT_LE(*n.pressureLeft, 1e-9 * supply) << "node " << i;
            } else {
                EXPECT_NEAR(*n.pressureLeft, kt * std::pow(n.terminalFlow, 1.85), 1e-9 * supply)
                    << "node " << i;
            }
        }
    }
    for (std::size_t k = 0; k < p.loopPipes.size(); ++k) {
        const LoopPipe& pipe = p.loopPipes[k];
        const ConvergedLoopPipe& l = s.loops[k];
        if (l.shutOff) {
            EXPECT_EQ(l.flow, 0.0);
            continue;
        }
        balance[std::size_t(pipe.nodeA)] -= l.flow;
        balance[std::size_t(pipe.nodeB)] += l.flow;
        through[std::size_t(pipe.nodeA)] += std::abs(l.flow);
        through[std::size_t(pipe.nodeB)] += std::abs(l.flow);
        EXPECT_NEAR(*s.nodes[std::size_t(pipe.nodeB)].cumulativeDrop -
                        *s.nodes[std::size_t(pipe.nodeA)].cumulativeDrop,
                    l.drop, 1e-9 * supply)
            << "loop pipe " << k;
    }
    for (const int16_t i : networkPreorder(p)) {
        const Node& node = p.NodeTable[std::size_t(i)];
        // An open end discharges what reaches it; a terminal's flow is its law's, checked by the
        // balance to the heads' precision.
        if (s.nodes[std::size_t(i)].shutOff || (!node.continues() && !node.endsInTerminal()))
            continue;
        EXPECT_NEAR(balance[std::size_t(i)], 0.0, 1e-12 * (through[std::size_t(i)] + 1)) << "node " << i;
    }
}

// A trunk of 50 mm, then 40 mm sections of the names given one after the other, the last
// ending in a K 80 terminal on the ground: the nodes, from the trunk.
std::vector<int16_t> buildChain(Project& p, std::initializer_list<const char*> names) {
    NetworkBuilder build(p);
    std::vector<int16_t> nodes{build.root({QStringLiteral("Tronco"), 20, 0, kSteel, kBore50})};
    for (const char* name : names)
        nodes.push_back(build.continueAfter(nodes.back(), {QString::fromUtf8(name), 10, 0, kSteel, kBore40}));
    build.endWithTerminal(nodes.back(), kTypeK80, 0);
    return nodes;
}

} // namespace

// Random trees with inserts before random nodes (node 1 too), so that the table's order is not
// the file's, and pipes of every kind between random nodes: the file names them by position,
// they come back on the same nodes with every value, and the file read writes the same bytes.
TEST(LoopPipes, TheFileKeepsEachPipeOnItsNodes) {
    std::mt19937 rng(3001);
    for (int network = 0; network < 30; ++network) {
        SCOPED_TRACE(network);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 5 + network * 3);
        for (int k = 0; k < 6; ++k)
            p.loopPipes.push_back(randomPipe(p, rng, k + network));
        for (int k = 0; k < 4; ++k) {
            const std::vector<int16_t> tree = networkPreorder(p);
            const int16_t before = k == 0 ? int16_t(1) : tree[std::size_t(rng() % tree.size())];
            ASSERT_TRUE(edits::insertBefore(p, before).has_value());
        }
        const QByteArray bytes = projectFileBytes(p);
        Project read = projectWithTestCatalogues();
        const ReadOutcome outcome = readProjectText(read, bytes);
        ASSERT_TRUE(outcome.ok());
        EXPECT_TRUE(outcome.notices.empty());
        ASSERT_EQ(read.loopPipes.size(), p.loopPipes.size());
        const std::vector<int16_t> position = filePositions(p);
        for (std::size_t k = 0; k < p.loopPipes.size(); ++k) {
            LoopPipe expected = p.loopPipes[k];
            expected.nodeA = position[std::size_t(expected.nodeA)];
            expected.nodeB = position[std::size_t(expected.nodeB)];
            expected.name.replace(u'"', u'\''); // a double quote cannot stand in a quoted value
            EXPECT_EQ(read.loopPipes[k], expected) << "pipe " << k;
            EXPECT_EQ(read.NodeTable[std::size_t(read.loopPipes[k].nodeA)].name,
                      p.NodeTable[std::size_t(p.loopPipes[k].nodeA)].name);
        }
        EXPECT_EQ(projectFileBytes(read), bytes);
    }
}

// Each line that cannot be a loop pipe is refused on its own, saying why; the tree, the good
// pipe beside it and the rest of the block are read.
TEST(LoopPipes, ALineThatCannotBeAPipeIsRefusedOnItsOwn) {
    struct Refused {
        const char* line;
        const char* why;
    };
    const Refused cases[] = {
        {R"("anello",0,2,10,0,2,1,0,"X")", "nodi dell'anello inesistenti"},
        {R"("anello",1,4,10,0,2,1,0,"X")", "nodi dell'anello inesistenti"},
        {R"("anello",1.5,2,10,0,2,1,0,"X")", "nodi dell'anello inesistenti"},
        {R"("anello","1",2,10,0,2,1,0,"X")", "nodi dell'anello inesistenti"},
        {R"("anello",2,2,10,0,2,1,0,"X")", "l'anello chiude un nodo su sé stesso"},
        {R"("anello",1,2,-1,0,2,1,0,"X")", "lunghezza dell'anello illeggibile"},
        {R"("anello",1,2,10,1e39,2,1,0,"X")", "lunghezza dell'anello illeggibile"},
        {R"("anello",1,2,10,0,2,7,0,"X")", "la serie di tubi dell'anello non esiste nel catalogo"},
        {R"("anello",1,2,10,0,9,1,0,"X")", "il diametro dell'anello non esiste nella serie"},
        {R"("anello",1,2,10,0,2,1,4,"X")", "stato dell'anello illeggibile"},
        {R"("anello",1,2,10,0,2,1,0,X)", "nome dell'anello illeggibile"},
        {R"("anello",1,2,10,0,2,1,0)", "riga malformata"},
    };
    const QByteArray tree =
        "\"\"\r\n40000\r\n1\r\n1\r\n0\r\n0,20,0,3,1,0,\"Tronco\"\r\n0,10,0,2,1,0,\"A\"\r\n"
        "9,10,0,2,1,0,\"C\"\r\n1,0\r\n\"Valmora\",1\r\n";
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.line);
        Project p = projectWithTestCatalogues();
        const ReadOutcome outcome = readProjectText(
            p, tree + c.line +
                   "\r\n\"anello\",1,2,20,0,2,1,2,\"Buono\"\r\n\"relazione\",\"committente\",\"Rossi\"\r\n");
        ASSERT_TRUE(outcome.ok());
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].line, 11);
        EXPECT_TRUE(outcome.notices[0].message.endsWith(QString::fromUtf8(c.why)))
            << outcome.notices[0].message.toStdString();
        ASSERT_EQ(p.loopPipes.size(), 1u);
        EXPECT_EQ(p.loopPipes[0].name, QStringLiteral("Buono"));
        EXPECT_TRUE(p.loopPipes[0].closed);
        EXPECT_EQ(p.reportData.committente, QStringLiteral("Rossi"));
        EXPECT_EQ(p.nodeCount(), 3);
    }
}

// The edits of the tree keep each pipe on its node's outlet: an insert before node 1 moves
// node 1's record, and its pipes with it; deleting a node takes its pipes; deleting node 1
// moves the next node's record, and its pipes, to index 1; records dropped as unreachable
// renumber the pipes or take them; undo and redo give the pipes back as they were.
TEST(LoopPipes, EditsKeepEachPipeOnItsNode) {
    Project p = projectWithTestCatalogues();
    {
        NetworkBuilder build(p);
        const int16_t trunk = build.root({QStringLiteral("Tronco"), 20, 0, kSteel, kBore50});
        const int16_t a = build.continueAfter(trunk, {QStringLiteral("A"), 10, 0, kSteel, kBore40});
        const int16_t b = build.deriveAt(trunk, {QStringLiteral("B"), 10, 0, kSteel, kBore40});
        build.endWithTerminal(build.continueAfter(a, {QStringLiteral("C"), 10, 0, kSteel, kBore40}), 1, 0);
        build.endWithTerminal(build.continueAfter(b, {QStringLiteral("D"), 10, 0, kSteel, kBore40}), 1, 0);
    }
    const auto named = [&p](const char* name) {
        for (int16_t i = 1; i <= p.nodeCount(); ++i)
            if (p.NodeTable[std::size_t(i)].name == QString::fromUtf8(name))
                return i;
        return int16_t(0);
    };
    const auto ends = [&p](std::size_t k) {
        return std::pair{p.NodeTable[std::size_t(p.loopPipes[k].nodeA)].name,
                         p.NodeTable[std::size_t(p.loopPipes[k].nodeB)].name};
    };
    p.loopPipes.push_back(newLoopPipe(p, named("Tronco"), named("C")));
    p.loopPipes.push_back(newLoopPipe(p, named("A"), named("D")));
    EXPECT_EQ(p.loopPipes[1].name, QStringLiteral("Anello 2"));
    ProjectHistory history;
    history.reset(p);

    ASSERT_TRUE(edits::insertBefore(p, 1).has_value());
    history.record(p, 1, QStringLiteral("Inserisci"));
    EXPECT_EQ(ends(0), (std::pair{QStringLiteral("Tronco"), QStringLiteral("C")}));
    EXPECT_NE(p.loopPipes[0].nodeA, 1);

    EXPECT_EQ(loopPipesOn(p, named("A")), (std::vector<std::size_t>{1}));
    EXPECT_EQ(edits::deleteNode(p, named("A")).loopPipesRemoved, 1);
    history.record(p, 1, QStringLiteral("Cancella"));
    ASSERT_EQ(p.loopPipes.size(), 1u);

    // Node 1 (the origin put in front) deleted: Tronco's record comes back to index 1.
    EXPECT_EQ(edits::deleteNode(p, 1).loopPipesRemoved, 0);
    history.record(p, 1, QStringLiteral("Cancella"));
    EXPECT_EQ(p.loopPipes[0].nodeA, 1);
    EXPECT_EQ(ends(0), (std::pair{QStringLiteral("Tronco"), QStringLiteral("C")}));

    dropUnreachableRecords(p);
    history.record(p, 1, QStringLiteral("Compatta"));
    EXPECT_EQ(ends(0), (std::pair{QStringLiteral("Tronco"), QStringLiteral("C")}));
    EXPECT_EQ(std::size_t(p.nodeCount()), networkPreorder(p).size());

    for (int step = 0; step < 3; ++step)
        ASSERT_TRUE(history.undo(p));
    EXPECT_EQ(p.loopPipes.size(), 2u);
    EXPECT_EQ(ends(1), (std::pair{QStringLiteral("A"), QStringLiteral("D")}));
    ASSERT_TRUE(history.redo(p));
    EXPECT_EQ(p.loopPipes.size(), 1u);
}

TEST(LoopPipes, WhatMayJoinTwoNodes) {
    Project p = projectWithTestCatalogues();
    const std::vector<int16_t> nodes = buildChain(p, {"A", "C"});
    const int16_t trunk = nodes[0], a = nodes[1], c = nodes[2];
    EXPECT_EQ(loopPipeProblem(p, trunk, c), std::nullopt);
    EXPECT_EQ(loopPipeProblem(p, a, a), LoopPipeProblem::SameNode);
    EXPECT_EQ(loopPipeProblem(p, a, 99), LoopPipeProblem::NotOnTheTree);
    edits::deleteNode(p, a); // its record stays, no longer on the tree
    EXPECT_EQ(loopPipeProblem(p, trunk, a), LoopPipeProblem::NotOnTheTree);
    EXPECT_EQ(loopPipeProblem(p, trunk, c), std::nullopt);
    EXPECT_EQ(newLoopPipe(p, c, trunk).seriesIndex, kSteel);
    EXPECT_EQ(newLoopPipe(p, c, trunk).diameterIndex, kBore40);
}

// Random trees with pipes between random nodes, some closed: the solution holds its laws at
// every node and pipe; a pipe between two like branches at like heads carries nothing.
TEST(LoopPipes, TheSolutionOfALoopedProjectHoldsItsLaws) {
    std::mt19937 rng(4242);
    int flowingBack = 0;
    for (int network = 0; network < 40; ++network) {
        SCOPED_TRACE(network);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 4 + network * 5);
        p.supplyPressure = 20000 + 2000 * (network % 30);
        for (int k = 0; k < 1 + network % 5; ++k)
            p.loopPipes.push_back(randomPipe(p, rng, k + network));
        if (!calculates(p))
            continue;
        const ConvergedSolution s = SolveConverged(p);
        expectLoopedSolutionHolds(p, s);
        for (const int16_t i : networkPreorder(p))
            flowingBack += s.nodes[std::size_t(i)].flow < -1e-3;
    }
    EXPECT_GT(flowingBack, 0) << "the rings must turn some sections round, or the case says nothing";

    Project like = projectWithTestCatalogues();
    NetworkBuilder build(like);
    const int16_t trunk = build.root({QStringLiteral("Tronco"), 20, 0, kSteel, kBore50});
    const int16_t a = build.continueAfter(trunk, {QStringLiteral("A"), 10, 0, kSteel, kBore40});
    const int16_t b = build.deriveAt(trunk, {QStringLiteral("B"), 10, 0, kSteel, kBore40});
    build.endWithTerminal(a, 1, 5);
    build.endWithTerminal(b, 1, 5);
    like.loopPipes.push_back(newLoopPipe(like, a, b));
    const ConvergedSolution s = SolveConverged(like);
    expectLoopedSolutionHolds(like, s);
    EXPECT_NEAR(s.loops[0].flow, 0.0, 1e-6);
    EXPECT_NEAR(s.nodes[std::size_t(a)].flow, s.nodes[std::size_t(b)].flow, 1e-6);
}

// A compaction renumbers the records after those dropped: each pipe's two ends follow their
// nodes, and a pipe on a node dropped goes.
TEST(LoopPipes, ACompactionRenumbersBothEnds) {
    Project p = projectWithTestCatalogues();
    const std::vector<int16_t> nodes = buildChain(p, {"A", "B", "C"});
    const int16_t trunk = nodes[0], a = nodes[1], b = nodes[2], c = nodes[3];
    p.loopPipes.push_back(newLoopPipe(p, c, trunk));
    p.loopPipes.push_back(newLoopPipe(p, b, c));
    edits::deleteNode(p, a); // A's record stays, off the tree, until the compaction
    ASSERT_EQ(p.loopPipes.size(), 2u);
    const RecordMoves moves = dropUnreachableRecords(p);
    ASSERT_EQ(p.nodeCount(), 3);
    const auto name = [&p](int16_t node) { return p.NodeTable[std::size_t(node)].name; };
    EXPECT_EQ(name(p.loopPipes[0].nodeA), QStringLiteral("C"));
    EXPECT_EQ(name(p.loopPipes[0].nodeB), QStringLiteral("Tronco"));
    EXPECT_EQ(name(p.loopPipes[1].nodeA), QStringLiteral("B"));
    EXPECT_EQ(name(p.loopPipes[1].nodeB), QStringLiteral("C"));
    EXPECT_NE(moves.nodes[std::size_t(c)], c);
}

// Deleting node 1 puts the next node's record in its place: the pipes on node 1 go, those on
// the next node follow it to index 1.
TEST(LoopPipes, DeletingTheOriginTakesItsPipesAndKeepsTheNextNodes) {
    Project p = projectWithTestCatalogues();
    const std::vector<int16_t> nodes = buildChain(p, {"A", "C"});
    const int16_t trunk = nodes[0], a = nodes[1], c = nodes[2];
    p.loopPipes.push_back(newLoopPipe(p, trunk, c));
    p.loopPipes.push_back(newLoopPipe(p, a, c));
    EXPECT_EQ(edits::loopPipesGoneWith(p, trunk), 1);
    EXPECT_EQ(p.loopPipes.size(), 2u); // asking changes nothing
    EXPECT_EQ(edits::deleteNode(p, trunk).loopPipesRemoved, 1);
    ASSERT_EQ(p.loopPipes.size(), 1u);
    EXPECT_EQ(p.loopPipes[0].nodeA, 1);
    EXPECT_EQ(p.NodeTable[1].name, QStringLiteral("A"));
    EXPECT_EQ(p.NodeTable[std::size_t(p.loopPipes[0].nodeB)].name, QStringLiteral("C"));
}

// A loop pipe past 10 m/s is warned of as a section is: the checks hold it, the warnings of the
// network end with it (after the branches'), and the command line's table says it under the
// loop pipes, in either locale; a slow one is not.
TEST(LoopPipes, AFastLoopPipeIsWarnedOf) {
    Project p = projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t trunk = build.root({QStringLiteral("Tronco"), 5, 0, kSteel, kBore50});
    const int16_t a = build.continueAfter(trunk, {QStringLiteral("A"), 10, 0, kSteel, kBore20});
    build.endWithTerminal(a, kTypeK100, 0);
    addLoopPipeLike(p, trunk, a, p.NodeTable[std::size_t(a)]);
    p.loopPipes.back().name = QStringLiteral("Veloce");
    p.supplyPressure = 400000;
    NetworkResults results;
    ASSERT_TRUE(Calculate(p, results).ok);
    const ConvergedSolution solution = SolveConverged(p);
    const NetworkVerification checks = VerifyNetwork(p, results, solution);
    ASSERT_EQ(checks.loopPipes.size(), 1u);
    ASSERT_TRUE(checks.loopPipes.front().velocity);
    const double velocity = *checks.loopPipes.front().velocity;
    // By hand: the pipe's flow through a 20 mm bore, l/min to m/s.
    EXPECT_NEAR(velocity, solution.loops.front().flow / 60000 / (M_PI * 0.01 * 0.01), 1e-3 * velocity);
    EXPECT_GT(velocity, 10);
    EXPECT_TRUE(checks.loopPipes.front().tooFast);
    const std::vector<NetworkWarning> all = networkWarnings(p, checks, QLocale(QLocale::Italian));
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().kind, NetworkWarning::Kind::LoopPipeTooFast);
    EXPECT_EQ(all.back().loopPipe, 0);
    EXPECT_EQ(all.back().node, trunk);
    const QString shown = QLocale(QLocale::Italian).toString(velocity, 'f', 1);
    EXPECT_EQ(all.back().text,
              QStringLiteral("velocità oltre 10 m/s nell'anello Veloce (%1 m/s)").arg(shown));
    const QString table =
        calculationTable(p, results, QStringLiteral("veloce.vlm"), QLocale(QLocale::Italian));
    EXPECT_TRUE(table.contains(
        QStringLiteral("Attenzione: velocità oltre 10 m/s nell'anello Veloce (%1 m/s)\n").arg(shown)))
        << table.toStdString();
    EXPECT_TRUE(
        calculationTable(p, results, QStringLiteral("veloce.vlm"), QLocale::c())
            .contains(
                QStringLiteral("nell'anello Veloce (%1 m/s)").arg(QLocale::c().toString(velocity, 'f', 1))));

    p.supplyPressure = 20000;
    ASSERT_TRUE(Calculate(p, results).ok);
    const NetworkVerification slow = VerifyNetwork(p, results, SolveConverged(p));
    EXPECT_FALSE(slow.loopPipes.front().tooFast);
    EXPECT_TRUE(loopPipeWarnings(p, slow).empty());
}
