#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"

#include <QLabel>

using namespace valmora;
using namespace valmora::grid_column;
using namespace valmora::guitest;

namespace {

// Trunk: "Mandata" (pipe, locked) -> "Valvola" (KV 20, derives "Ramo") -> "Fondo" (terminal
// type 1 at 3 m). Branch "Ramo": "Ramo" (closed) ends with no terminal.
class GridWindowTest : public GridWindowFixture {
protected:
    void SetUp() override {
        testkit::NetworkBuilder build(p);
        const int16_t a = build.root({QStringLiteral("Mandata"), 12.5f, 2, 1, 3, false, true});
        const int16_t kv = build.continueAfter(a, {QStringLiteral("Valvola"), 0, 20, 0, 0});
        build.deriveAt(kv, {QStringLiteral("Ramo"), 5, 0, 1, 1, true, false});
        const int16_t end = build.continueAfter(kv, {QStringLiteral("Fondo"), 8, 1, 2, 1});
        build.endWithTerminal(end, 1, 3);
        ASSERT_TRUE(Calculate(p).ok);
    }
};

} // namespace

TEST_F(GridWindowTest, TrunkRowsAfterACalculation) {
    auto window = open(1);
    GridControl& g = *window->Griglia;
    ASSERT_EQ(g.rows(), 4);
    EXPECT_EQ(g.textMatrix(0, kSumDp), QStringLiteral("SumDp "));

    EXPECT_EQ(g.rowData(1), 1);
    EXPECT_EQ(rowTexts(g, 1, {kNome, kMetri, kLVirt, kPhi, kTipo, kOut}),
              (QStringList{"Mandata", inLocale("12.5"), "2", "50", "ACC  ", ""}));
    EXPECT_EQ(g.cellBackColor(1, kPhi), kMagenta); // locked diameter
    EXPECT_EQ(g.cellBackColor(1, kTipo), kYellow);
    EXPECT_EQ(g.cellBackColor(1, kFlow), kCyan);
    EXPECT_FALSE(g.cellBackColor(1, kNome).isValid());
    // The KV element: "><" for its length, no bore, no velocity, an arrow to its derivation.
    EXPECT_EQ(rowTexts(g, 2, {kMetri, kLVirt, kPhi, kTipo, kOut, kVelocity}),
              (QStringList{">< ", "20", "", " KV  ", "Ramo      ", ""}));
    EXPECT_EQ(g.cellBackColor(2, kPhi), kYellow);
    EXPECT_EQ(outPicture(g, 1), icon(GridIcon::Nulla));
    EXPECT_EQ(outPicture(g, 2), icon(GridIcon::FrecciaDx));
    EXPECT_EQ(outPicture(g, 3), icon(GridIcon::Idrante));

    // The only derivation is closed: every trunk row carries the whole flow, and SumDp
    // adds up the rows' drops (each shown rounded to a whole millimetre).
    int sum = 0;
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(g.textMatrix(r, kFlow), g.textMatrix(1, kFlow)) << r;
        sum += g.textMatrix(r, kDrop).toInt();
        EXPECT_NEAR(g.textMatrix(r, kSumDp).toInt(), sum, r) << r;
    }
    EXPECT_GT(g.textMatrix(1, kFlow).toInt(), 0);
    EXPECT_EQ(window->StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m 3"));
    EXPECT_EQ(p.terminalNode, 4);
    EXPECT_EQ(g.row(), 1);
    EXPECT_EQ(p.currentNode, 1);
}

// Two pipes in series to a K 80 terminal at ground level, 40 m (40 000 mm) at the supply:
//   friction factor, C 120:  6.05e9 / 120^1.85                     = 861 529.33
//   A: 50 mm, 12.5 + 2 m:    R_A = 861529.33 x 14.50001 / 50^4.87  = 0.0664744
//   B: 40 mm, 8 m:           R_B = 861529.33 x 8.00001 / 40^4.87   = 0.1087248
//   terminal, Q = 80 p^(1/1.85) (p in bar):  p = 10000 / 80^1.85 Q^1.85 = 3.0149737 Q^1.85 mm
//   40000 = (R_A + R_B + 3.0149737) Q^1.85  ->  Q = 164.160 l/min
//   drops: A 0.0664744 x 164.160^1.85 = 833.49 mm, B 1363.25 mm, A + B 2196.74 mm
//   (the terminal keeps 37 803.26 mm: 80 x 3.7803^(1/1.85) = 164.16, the balance closes)
//   velocity = Q x 21.221148 / D^2: A 1.393 m/s, B 2.177 m/s
TEST_F(GridWindowTest, ResultsOfAHandCalculatedNetwork) {
    testkit::NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("A"), 12.5f, 2, 1, 3});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 8, 0, 1, 2});
    build.endWithTerminal(b, 1, 0);
    ASSERT_EQ(p.supplyPressure, 40000);
    ASSERT_TRUE(Calculate(p).ok);
    auto window = open(1);
    const GridControl& g = *window->Griglia;
    ASSERT_EQ(g.rows(), 3);
    EXPECT_EQ(rowTexts(g, 1, {kFlow, kVelocity, kDrop, kSumDp}), (QStringList{"164", inLocale("1.4"), "833", "833"}));
    EXPECT_EQ(rowTexts(g, 2, {kFlow, kVelocity, kDrop, kSumDp}), (QStringList{"164", inLocale("2.2"), "1363", "2197"}));
}

TEST_F(GridWindowTest, DerivedBranchWithAClosedSectionAndNoTerminal) {
    auto window = open(3);
    GridControl& g = *window->Griglia;
    EXPECT_EQ(window->tag(), QStringLiteral("3"));
    EXPECT_EQ(window->caption(), QStringLiteral("Deriv. da Valvola"));
    ASSERT_EQ(g.rows(), 2);
    EXPECT_EQ(rowTexts(g, 1, {kDrop, kSumDp, kFlow}), (QStringList{"0", "0", "0"}));
    EXPECT_EQ(window->StatusBar1->text(), QStringLiteral("Nessun terminale "));
    EXPECT_EQ(outPicture(g, 1), icon(GridIcon::FrecciaGiu));
}

TEST_F(GridWindowTest, WindowSizeFollowsTheRowsAndEditButtonsTheCursor) {
    auto shortOne = open(1);
    EXPECT_FALSE(shortOne->scrollBarWanted());
    EXPECT_EQ(shortOne->windowHeightTwips(), shortOne->gridHeightTwips() + 700);

    testkit::buildChain(p, 300);
    ASSERT_TRUE(Calculate(p).ok);
    auto tall = open(1);
    EXPECT_TRUE(tall->scrollBarWanted());
    EXPECT_EQ(tall->gridHeightTwips(), 4000);
    EXPECT_EQ(tall->windowHeightTwips(), 4600);

    // The edit buttons only while the cursor row is in view.
    QApplication::processEvents(); // laid out at the window's fixed height
    GridControl& g = *tall->Griglia;
    ASSERT_TRUE(g.isVisible());
    ASSERT_EQ(g.row(), 1);
    ASSERT_FALSE(host.editButtons.empty());
    EXPECT_TRUE(host.editButtons.back());

    // Scrolled down: the cursor row is above the window, then back in view.
    const std::size_t before = host.editButtons.size();
    g.setTopRow(100);
    ASSERT_GT(host.editButtons.size(), before);
    EXPECT_FALSE(host.editButtons.back());
    g.setTopRow(1);
    EXPECT_TRUE(host.editButtons.back());

    // The cursor far down the branch: out of view once scrolled back to the top.
    g.setCurrentCell(150, 1);
    EXPECT_TRUE(host.editButtons.back());
    g.setTopRow(1);
    EXPECT_FALSE(host.editButtons.back());
    g.setTopRow(145);
    EXPECT_TRUE(host.editButtons.back());
}

TEST_F(GridWindowTest, ClosingTheTrunkAsksToSaveDerivedWindowsCloseFreely) {
    auto derived = open(3);
    derived->chiudi();
    EXPECT_FALSE(derived->isVisible());
    EXPECT_TRUE(ask.messages.empty());

    auto trunk = open(1);
    trunk->chiudi();
    EXPECT_TRUE(trunk->isVisible());
    EXPECT_TRUE(ask.messages.empty());

    ask.answers = {Answer::Cancel};
    trunk->close();
    EXPECT_TRUE(trunk->isVisible());
    EXPECT_FALSE(host.ended);
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], (MessageRequest{QStringLiteral("Salvare prima di uscire ?"), QStringLiteral("Fine"),
                                               MessageButtons::YesNoCancel, MessageIcon::Question}));
    // A save that does not happen keeps the program open.
    host.saveSucceeds = false;
    ask.answers = {Answer::Yes};
    trunk->close();
    EXPECT_EQ(host.saves, 1);
    EXPECT_FALSE(host.ended);

    ask.answers = {Answer::No};
    trunk->close();
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(host.saves, 1);
}

TEST_F(GridWindowTest, EquivalentLengthsOnlyForPipes) {
    auto window = open(1);
    window->Griglia->setCurrentCell(2, 1);
    window->LunEq();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Un KV non può avere una lunghezza equivalente")});
}
