#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/Transcript.h"

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

// The trunk and the branch as shown: a locked diameter, a KV element with its derivation, a
// closed section, an end without terminal; a KV has no equivalent length; closing a branch
// window asks nothing, closing the trunk asks to save and a save that fails keeps it open.
TEST_F(GridWindowTest, TheWindowsAsShownAndClosed) {
    Transcript seen(ask, icons);
    auto trunk = open(1);
    auto derived = open(3);
    seen.step(QStringLiteral("aperte")).grid(*trunk).grid(*derived);
    seen.line(
        QStringLiteral("nodo del terminale %1, nodo corrente %2").arg(p.terminalNode).arg(p.currentNode));
    trunk->Griglia->setCurrentCell(2, 1);
    trunk->LunEq();
    seen.step(QStringLiteral("KV sul KV"));
    derived->chiudi();
    trunk->chiudi();
    seen.step(QStringLiteral("chiudi"))
        .line(QStringLiteral("ramo visibile %1, tronco visibile %2")
                  .arg(derived->isVisible())
                  .arg(trunk->isVisible()));
    for (const auto& [answer, saves] :
         {std::pair{Answer::Cancel, true}, {Answer::Yes, false}, {Answer::No, true}}) {
        ask.answers = {answer};
        host.saveSucceeds = saves;
        trunk->close();
        seen.step(QStringLiteral("chiusura del tronco"))
            .line(QStringLiteral("salvataggi %1, fine %2").arg(host.saves).arg(host.ended));
    }
    seen.expectGolden(QStringLiteral("griglia"));
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
    EXPECT_EQ(rowTexts(g, 1, {kFlow, kVelocity, kDrop, kSumDp}),
              (QStringList{"164", inLocale("1.4"), "833", "833"}));
    EXPECT_EQ(rowTexts(g, 2, {kFlow, kVelocity, kDrop, kSumDp}),
              (QStringList{"164", inLocale("2.2"), "1363", "2197"}));
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
