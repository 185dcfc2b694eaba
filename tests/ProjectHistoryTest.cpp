#include "model/ProjectHistory.h"
#include "editor/NetworkTools.h"
#include "model/StandardSettings.h"
#include "storage/ProjectFile.h"
#include "tests/RandomEdits.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace valmora;
using namespace valmora::testkit;

namespace {

// What a save writes: the project file, the verification's settings in its block.
QByteArray savedBytes(const Project& p) {
    return projectFileBytes(p);
}

// Every stored field of every record, the unreachable ones too (a later graft reuses them),
// with reals by their bits: what undo must give back exactly.
QByteArray tables(const Project& p) {
    QByteArray out;
    auto bits = [&out](float v) {
        uint32_t b;
        std::memcpy(&b, &v, sizeof b);
        out += QByteArray::number(b, 16) + ',';
    };
    for (std::size_t i = 1; i < p.NodeTable.size(); ++i) {
        const Node& n = p.NodeTable[i];
        bits(n.length);
        bits(n.virtualLength);
        out += QByteArray::number(n.diameterIndex) + ',' + QByteArray::number(n.seriesIndex) + ',' +
               QByteArray::number(n.diameterLocked) + QByteArray::number(n.closed) + ',' + n.name.toUtf8() +
               ',' + QByteArray::number(n.derivation) + ',' + QByteArray::number(n.next) + ',' +
               QByteArray::number(n.parent) + '\n';
    }
    for (std::size_t i = 1; i < p.TerminalTable.size(); ++i) {
        out += QByteArray::number(p.TerminalTable[i].typeIndex) + ',';
        bits(p.TerminalTable[i].height);
    }
    bits(p.maxHeight);
    return out + savedBytes(p);
}

Project combOf(int trunkNodes) {
    Project p = projectWithTestCatalogues();
    buildComb(p, trunkNodes);
    return p;
}

} // namespace

// Random edits, undos and redos on random networks, every edit a step: after every action
// the tables are those of the state the history is at, byte for byte, and the saved bytes too;
// then undone to the start and redone to the end.
TEST(ProjectHistory, RandomEditsUndoneAndRedoneGiveEveryStateExactly) {
    std::mt19937 rng(1907);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    constexpr int kRounds = 12;
    constexpr int kActions = 400;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, pick(1, 40));
        ProjectHistory history;
        history.reset(p);
        std::vector<QByteArray> states{tables(p)};
        std::size_t at = 0;
        for (int action = 0; action < kActions; ++action) {
            const int roll = pick(0, 9);
            if (roll < 6) {
                applyRandomEdit(p, rng, action);
                if (history.record(p, 1, QStringLiteral("modifica"))) {
                    states.resize(at + 1);
                    states.push_back(tables(p));
                    ++at;
                }
            } else if (roll < 9) {
                ASSERT_EQ(history.undo(p).has_value(), at > 0);
                at -= at > 0 ? 1 : 0;
            } else {
                ASSERT_EQ(history.redo(p).has_value(), at + 1 < states.size());
                at += at + 1 < states.size() ? 1 : 0;
            }
            ASSERT_EQ(tables(p), states[at]) << "action " << action;
            ASSERT_FALSE(history.differsFrom(p));
        }
        while (history.undo(p))
            --at;
        ASSERT_EQ(at, 0u);
        EXPECT_EQ(tables(p), states.front());
        while (history.redo(p))
            ++at;
        EXPECT_EQ(tables(p), states.back());
        // What the history gives back reads and calculates as any project.
        Project read = Project::withCataloguesOf(p);
        ASSERT_TRUE(readProjectText(read, projectFileBytes(p)).ok());
        EXPECT_EQ(storedNetwork(read), storedNetwork(p));
    }
}

// The project is modified exactly when it is not the state last saved (or opened, or made
// new): undoing back to it clears the state, redoing past it sets it, and a new change after
// undoing past the saved state leaves it out of reach.
TEST(ProjectHistory, ModifiedFollowsTheSavedState) {
    Project p = combOf(4);
    ProjectHistory history;
    history.reset(p);
    EXPECT_FALSE(history.isModified(p));
    p.NodeTable[2].closed = true;
    EXPECT_TRUE(history.isModified(p)); // changed, not recorded yet
    history.record(p, 1, QStringLiteral("chiusura tubo"));
    EXPECT_TRUE(history.isModified(p));
    history.undo(p);
    EXPECT_FALSE(history.isModified(p));
    history.redo(p);
    EXPECT_TRUE(history.isModified(p));
    history.markClean(); // saved here
    EXPECT_FALSE(history.isModified(p));
    history.undo(p);
    EXPECT_TRUE(history.isModified(p));
    p.projectNotes = QStringLiteral("altro ramo della storia");
    history.record(p, 1, QStringLiteral("opzioni"));
    EXPECT_TRUE(history.isModified(p));
    history.undo(p);
    EXPECT_TRUE(history.isModified(p)); // the saved state was redone away
    history.reset(p);
    EXPECT_FALSE(history.isModified(p));
    EXPECT_FALSE(history.canUndo());
}

// A change of one field costs bytes, not a copy of the network; past the budget the oldest
// steps go and the newest stays; the clean state goes with a dropped step.
TEST(ProjectHistory, StepsCostWhatChangedAndTheBudgetDropsTheOldest) {
    Project p = combOf(kMaxTableIndex / 2 + 1);
    ASSERT_EQ(p.nodeCount(), kMaxTableIndex);
    ProjectHistory history;
    history.reset(p);
    p.NodeTable[1234].length = 77;
    history.record(p, 1, QStringLiteral("modifica Metri"));
    EXPECT_LT(history.bytes(), 400u);

    const std::size_t before = history.bytes();
    ASSERT_GT(tools::changePipeSeries(p, testCatalogue::kSteel, testCatalogue::kInox), 30000);
    history.record(p, 1, QStringLiteral("cambio tipo di tubo"));
    const std::size_t seriesStep = history.bytes() - before;
    EXPECT_LT(seriesStep, 32768u * 12); // the series and the bore of each pipe, not its node

    ProjectHistory small(seriesStep * 3);
    Project q = combOf(kMaxTableIndex / 2 + 1);
    small.reset(q);
    small.markClean();
    for (int i = 0; i < 6; ++i) {
        tools::changePipeSeries(q, i % 2 ? testCatalogue::kInox : testCatalogue::kSteel,
                                i % 2 ? testCatalogue::kSteel : testCatalogue::kInox);
        small.record(q, 1, QStringLiteral("cambio tipo di tubo"));
        EXPECT_LE(small.bytes(), seriesStep * 3);
    }
    EXPECT_GE(small.steps(), 2u);
    EXPECT_LT(small.steps(), 6u);
    int undone = 0;
    while (small.undo(q))
        ++undone;
    EXPECT_EQ(std::size_t(undone), small.steps());
    EXPECT_TRUE(small.isModified(q)); // the saved state was among the dropped steps

    // A change of the verification's settings keeps them whole before and after: with a large
    // designer's set, each step costs the set twice, and the budget counts it.
    constexpr std::size_t kSetSize = 10000;
    constexpr std::size_t kSettingsBudget = 1024 * 1024;
    ProjectHistory settings(kSettingsBudget);
    settings.reset(q);
    std::vector<int16_t> ends;
    for (int16_t i = 1; i <= q.nodeCount() && ends.size() < kSetSize; ++i)
        if (q.NodeTable[std::size_t(i)].endsInTerminal())
            ends.push_back(i);
    q.standardSettings.designerSets[TerminalRole::Sprinkler] = ends;
    for (int change = 0; change < 200; ++change) {
        q.standardSettings.durationMinutes[TerminalRole::Sprinkler] = 10 + change;
        settings.record(q, 1, QStringLiteral("verifica di norma"));
    }
    EXPECT_LE(settings.bytes(), kSettingsBudget);
    EXPECT_LE(settings.steps(), kSettingsBudget / (2 * ends.size() * sizeof(int16_t)));

    ProjectHistory tiny(1);
    tiny.reset(q);
    q.NodeTable[5].length = 1;
    tiny.record(q, 1, QStringLiteral("modifica Metri"));
    EXPECT_TRUE(tiny.canUndo()); // the newest step is always kept
}

// The clicks of a spin box are one step: merged while the label is the same and the saved
// state is not passed; a run that comes back to where it started leaves no step.
TEST(ProjectHistory, ChangesOfTheSameLabelMergeIntoOneStep) {
    Project p = combOf(3);
    ProjectHistory history;
    history.reset(p);
    const int32_t start = p.supplyPressure;
    const QString label = QStringLiteral("alimentazione");
    for (int click = 1; click <= 3; ++click) {
        p.supplyPressure = start + click * 1000;
        history.record(p, 1, label, 0, true);
    }
    EXPECT_EQ(history.steps(), 1u);
    p.NodeTable[2].closed = true;
    history.record(p, 1, QStringLiteral("chiusura tubo"), 0, true); // another label: a step of its own
    EXPECT_EQ(history.steps(), 2u);
    history.markClean();
    p.supplyPressure = start;
    history.record(p, 1, label, 0, true);
    p.supplyPressure = start + 500;
    history.record(p, 1, label, 0, true);
    EXPECT_EQ(history.steps(), 3u);
    history.record(p, 1, label, 0, true); // nothing new
    p.supplyPressure = start + 3000;      // back to the saved value: the step goes
    EXPECT_FALSE(history.record(p, 1, label, 0, true));
    EXPECT_EQ(history.steps(), 2u);
    EXPECT_FALSE(history.isModified(p));
    history.undo(p);
    history.undo(p);
    EXPECT_EQ(p.supplyPressure, start);
    EXPECT_FALSE(p.NodeTable[2].closed);
}

// The report's data and the unit are the project's: a change of either is a step that undo
// takes back and redo puts again, and that makes the project modified.
TEST(ProjectHistory, TheReportsDataAndTheUnitAreUndone) {
    Project p = combOf(3);
    ProjectHistory history;
    history.reset(p);
    p.reportData.committente = QStringLiteral("Bianchi S.r.l.");
    p.reportData.noteRevisione = QStringLiteral("Prima emissione");
    EXPECT_TRUE(history.record(p, 1, QStringLiteral("dati della relazione")));
    EXPECT_TRUE(history.isModified(p));
    p.pressureUnit = PressureUnit::KPa;
    EXPECT_TRUE(history.record(p, 1, QStringLiteral("opzioni")));
    history.undo(p);
    EXPECT_EQ(p.pressureUnit, PressureUnit::Millimetres);
    EXPECT_EQ(p.reportData.committente, QStringLiteral("Bianchi S.r.l."));
    history.undo(p);
    EXPECT_TRUE(p.reportData.isEmpty());
    EXPECT_FALSE(history.isModified(p));
    history.redo(p);
    history.redo(p);
    EXPECT_EQ(p.reportData.noteRevisione, QStringLiteral("Prima emissione"));
    EXPECT_EQ(p.pressureUnit, PressureUnit::KPa);
}

// The cursor is the session's, not the project's: the history is told where it stands at each
// step and gives back, on undo and redo, where it stood; a node that is gone gives node 1.
TEST(ProjectHistory, GivesBackWhereTheCursorStood) {
    Project p = combOf(4);
    ProjectHistory history;
    history.reset(p, 2);
    p.NodeTable[5].closed = true;
    ASSERT_TRUE(history.record(p, 5, QStringLiteral("chiusura tubo"), 3));
    p.NodeTable[6].length = 12;
    ASSERT_TRUE(history.record(p, 6, QStringLiteral("modifica Metri")));
    EXPECT_EQ(history.undo(p)->cursor, 5); // before the second change: where the first left it
    EXPECT_EQ(history.undo(p)->cursor, 3);
    EXPECT_EQ(history.redo(p)->cursor, 5);
    EXPECT_EQ(history.redo(p)->cursor, 6);

    const int16_t beyond = int16_t(p.nodeCount() + 1);
    p.NodeTable[2].closed = true;
    ASSERT_TRUE(history.record(p, 2, QStringLiteral("chiusura tubo"), beyond));
    EXPECT_EQ(history.undo(p)->cursor, 1);
}
