#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "platform/ScriptedInteraction.h"
#include "tests/support/NetworkBuilder.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;
using namespace valmora::grid_column;

namespace {

struct FakeHost : GridWindowHost {
    bool editButtons = false;
    int saves = 0;
    bool saveSucceeds = true;
    bool ended = false;
    void setEditButtonsEnabled(bool enabled) override { editButtons = enabled; }
    bool saveProject() override {
        ++saves;
        return saveSucceeds;
    }
    void endProgram() override { ended = true; }
    bool endingProgram() const override { return ended; }
    std::vector<int16_t> opened;
    int shapeChanges = 0;
    int rebuilds = 0;
    void openBranchWindow(int16_t firstNode) override { opened.push_back(firstNode); }
    void networkShapeChanged() override { ++shapeChanges; }
    void rebuildActiveWindow() override { ++rebuilds; }
};

const QColor kYellow(255, 255, 0);
const QColor kCyan(0, 255, 255);
const QColor kMagenta(255, 0, 255);

// Trunk: "Mandata" (pipe, locked) -> "Valvola" (KV 20, derives "Ramo") -> "Fondo" (terminal
// type 1 at 3 m). Branch "Ramo": "Ramo" (closed) ends with no terminal.
class GridWindowTest : public ::testing::Test {
protected:
    Project p = testkit::projectWithTestCatalogues();
    ScriptedInteraction ask;
    FakeHost host;
    GridIcons icons;

    void SetUp() override {
        testkit::NetworkBuilder build(p);
        const int16_t a = build.root({QStringLiteral("Mandata"), 12.5f, 2, 1, 3, false, true});
        const int16_t kv = build.continueAfter(a, {QStringLiteral("Valvola"), 0, 20, 0, 0});
        const int16_t branch = build.deriveAt(kv, {QStringLiteral("Ramo"), 5, 0, 1, 1, true, false});
        const int16_t end = build.continueAfter(kv, {QStringLiteral("Fondo"), 8, 1, 2, 1});
        build.endWithTerminal(end, 1, 3);
        (void)branch;
        ASSERT_TRUE(Calculate(p).ok);
    }
};

} // namespace

TEST_F(GridWindowTest, TrunkRowsAfterACalculation) {
    frmTubi window(p, ask, host, icons, 1);
    window.compilatab();
    window.rinfresca();
    GridControl& g = *window.Griglia;
    ASSERT_EQ(g.rows(), 4);
    EXPECT_EQ(window.caption(), QStringLiteral("Origine impianto"));
    EXPECT_EQ(g.textMatrix(0, kSumDp), QStringLiteral("SumDp "));

    EXPECT_EQ(g.rowData(1), 1);
    EXPECT_EQ(g.textMatrix(1, kNome), QStringLiteral("Mandata"));
    EXPECT_EQ(g.textMatrix(1, kMetri), QStringLiteral("12.5"));
    EXPECT_EQ(g.textMatrix(1, kLVirt), QStringLiteral("2"));
    EXPECT_EQ(g.textMatrix(1, kPhi), QStringLiteral("50"));
    EXPECT_EQ(g.textMatrix(1, kTipo), QStringLiteral("ACC  "));
    EXPECT_EQ(g.cellBackColor(1, kPhi), kMagenta); // locked diameter
    EXPECT_EQ(g.cellBackColor(1, kTipo), kYellow);
    EXPECT_EQ(g.cellBackColor(1, kFlow), kCyan);
    EXPECT_FALSE(g.cellBackColor(1, kNome).isValid());

    // Results from the calculation's own fields: flow = totalFlow x flowFraction, drop =
    // section resistance x flow^1.85, SumDp their running sum, velocity from the 50 mm bore.
    double sum = 0;
    const int16_t rowNodes[] = {1, 2, 4};
    for (int r = 1; r <= 3; ++r) {
        const Node& n = p.NodeTable[rowNodes[r - 1]];
        const double flow = double(p.totalFlow) * n.flowFraction;
        const double drop = n.resistance * std::pow(flow, 1.85);
        sum += drop;
        EXPECT_EQ(g.textMatrix(r, kFlow), QString::number(std::lround(flow))) << r;
        EXPECT_EQ(g.textMatrix(r, kDrop), QString::number(std::lround(drop))) << r;
        EXPECT_EQ(g.textMatrix(r, kSumDp), QString::number(std::lround(sum))) << r;
    }
    const double trunkFlow = double(p.totalFlow);
    EXPECT_EQ(g.textMatrix(1, kVelocity), QString::number(trunkFlow * 4 / (60 * M_PI) * 1000 / 2500, 'f', 1));

    // The KV element: "><" for its length, no bore, no velocity, an arrow to its derivation.
    EXPECT_EQ(g.textMatrix(2, kMetri), QStringLiteral(">< "));
    EXPECT_EQ(g.textMatrix(2, kLVirt), QStringLiteral("20"));
    EXPECT_EQ(g.textMatrix(2, kPhi), QString());
    EXPECT_EQ(g.textMatrix(2, kTipo), QStringLiteral(" KV  "));
    EXPECT_EQ(g.textMatrix(2, kVelocity), QString());
    EXPECT_EQ(g.textMatrix(2, kOut), QStringLiteral("Ramo      "));
    EXPECT_EQ(g.cellBackColor(2, kPhi), kYellow);
    const QImage arrow = icons.picture(GridIcon::FrecciaDx).toImage();
    EXPECT_EQ(g.model()->data(g.model()->index(1, kOut), Qt::DecorationRole).value<QPixmap>().toImage(), arrow);
    const QImage hydrant = icons.picture(GridIcon::Idrante).toImage();
    EXPECT_EQ(g.model()->data(g.model()->index(2, kOut), Qt::DecorationRole).value<QPixmap>().toImage(), hydrant);

    EXPECT_EQ(window.StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m 3"));
    EXPECT_EQ(p.terminalNode, 4);
    EXPECT_EQ(g.row(), 1);
    EXPECT_EQ(p.currentNode, 1);
}

TEST_F(GridWindowTest, DerivedBranchWithAClosedSectionAndNoTerminal) {
    frmTubi window(p, ask, host, icons, 3);
    window.compilatab();
    window.rinfresca();
    GridControl& g = *window.Griglia;
    EXPECT_EQ(window.tag(), QStringLiteral("3"));
    EXPECT_EQ(window.caption(), QStringLiteral("Deriv. da Valvola"));
    ASSERT_EQ(g.rows(), 2);
    EXPECT_EQ(g.textMatrix(1, kDrop), QStringLiteral("0"));
    EXPECT_EQ(g.textMatrix(1, kSumDp), QStringLiteral("0"));
    EXPECT_EQ(g.textMatrix(1, kFlow), QStringLiteral("0"));
    EXPECT_EQ(window.StatusBar1->text(), QStringLiteral("Nessun terminale "));
    const QImage down = icons.picture(GridIcon::FrecciaGiu).toImage();
    EXPECT_EQ(g.model()->data(g.model()->index(0, kOut), Qt::DecorationRole).value<QPixmap>().toImage(), down);

    ask.answers = {Answer::No};
    window.statusLineClicked();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Questo ramo termina senza terminale.\nAggiungere un terminale ?")});
    EXPECT_EQ(p.NodeTable[3].next, kEndWithoutTerminal);
}

TEST_F(GridWindowTest, NewProjectShowsOneRowWithTheTerminalOfTypeOne) {
    p.resetToNewProject();
    ASSERT_TRUE(Calculate(p).ok);
    frmTubi window(p, ask, host, icons, 1);
    window.compilatab();
    window.rinfresca();
    EXPECT_EQ(window.Griglia->rows(), 2);
    EXPECT_EQ(window.Griglia->textMatrix(1, kNome), QStringLiteral("Radice"));
    EXPECT_EQ(window.StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m 0"));
}

TEST_F(GridWindowTest, WindowSizeFollowsTheRows) {
    frmTubi shortOne(p, ask, host, icons, 1);
    shortOne.compilatab();
    EXPECT_FALSE(shortOne.scrollBarWanted());
    EXPECT_EQ(shortOne.windowHeightTwips(), shortOne.gridHeightTwips() + 700);

    testkit::buildChain(p, 300);
    ASSERT_TRUE(Calculate(p).ok);
    frmTubi tall(p, ask, host, icons, 1);
    tall.compilatab();
    EXPECT_TRUE(tall.scrollBarWanted());
    EXPECT_EQ(tall.gridHeightTwips(), 4000);
    EXPECT_EQ(tall.windowHeightTwips(), 4600);
}

TEST_F(GridWindowTest, TrunkClosesOnlyThroughTheSaveQuestion) {
    frmTubi trunk(p, ask, host, icons, 1);
    trunk.compilatab();
    trunk.show();
    trunk.chiudi();
    EXPECT_TRUE(trunk.isVisible());
    EXPECT_TRUE(ask.messages.empty());

    const MessageRequest question{QStringLiteral("Salvare prima di uscire ?"), QStringLiteral("Fine"),
                                  MessageButtons::YesNoCancel, MessageIcon::Question};
    ask.answers = {Answer::Cancel};
    trunk.close();
    EXPECT_TRUE(trunk.isVisible());
    EXPECT_FALSE(host.ended);
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], question);

    // A save that does not happen keeps the program open.
    host.saveSucceeds = false;
    ask.answers = {Answer::Yes};
    trunk.close();
    EXPECT_EQ(host.saves, 1);
    EXPECT_FALSE(host.ended);

    ask.answers = {Answer::No};
    trunk.close();
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(host.saves, 1);
}

TEST_F(GridWindowTest, DerivedWindowsCloseFreely) {
    frmTubi derived(p, ask, host, icons, 3);
    derived.compilatab();
    derived.show();
    derived.chiudi();
    EXPECT_FALSE(derived.isVisible());
    EXPECT_TRUE(ask.messages.empty());
}

TEST_F(GridWindowTest, EquivalentLengthsOnlyForPipes) {
    frmTubi window(p, ask, host, icons, 1);
    window.compilatab();
    window.Griglia->setCurrentCell(2, 1);
    window.LunEq();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Un KV non può avere una lunghezza equivalente")});
}
