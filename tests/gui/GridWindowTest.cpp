#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"

using namespace valmora;
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
        ASSERT_TRUE(Calculate(p, ws.results).ok);
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
    seen.line(QStringLiteral("nodo del terminale %1, nodo corrente %2")
                  .arg(ws.session.terminalNode)
                  .arg(ws.session.currentNode));
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

TEST_F(GridWindowTest, WindowSizeFollowsTheRowsAndEditButtonsTheCursor) {
    auto shortOne = open(1);
    EXPECT_FALSE(shortOne->scrollBarWanted());
    EXPECT_EQ(shortOne->windowHeightTwips(), shortOne->gridHeightTwips() + 700);

    testkit::buildChain(p, 300);
    ASSERT_TRUE(Calculate(p, ws.results).ok);
    auto tall = open(1);
    EXPECT_TRUE(tall->scrollBarWanted());
    EXPECT_EQ(tall->gridHeightTwips(), 4000);
    EXPECT_EQ(tall->windowHeightTwips(), 4600);

    // The edit buttons only while the cursor row is in view: scrolled down past it and back;
    // the cursor far down the branch, then scrolled back to the top and down to it again.
    QApplication::processEvents(); // laid out at the window's fixed height
    GridControl& g = *tall->Griglia;
    ASSERT_TRUE(g.isVisible());
    ASSERT_EQ(g.row(), 1); // a window opens on its first row
    const struct {
        int cursorRow, topRow; // topRow 0: not scrolled
        bool on;
    } views[] = {{1, 0, true},   {1, 100, false}, {1, 1, true},
                 {150, 0, true}, {150, 1, false}, {150, 145, true}};
    for (const auto& v : views) {
        if (g.row() != v.cursorRow)
            g.setCurrentCell(v.cursorRow, 1);
        if (v.topRow > 0)
            g.setTopRow(v.topRow);
        ASSERT_FALSE(host.editButtons.empty());
        EXPECT_EQ(host.editButtons.back(), v.on) << "cursor " << v.cursorRow << ", top " << v.topRow;
    }
}
