// Grid rows that the checks against the converged solution flag (terminals whose flow or
// pressure a designer must look at, velocities past the limit, open ends: the transcripts
// show their marks and tooltips), the marks going with the next calculation, and the
// "Avvisi" window listing every branch's and opening the row.

#include "app/TbMain.h"
#include "app/frmAvvisi.h"
#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/Transcript.h"

#include <QLabel>

using namespace valmora;

namespace {

class VerificationMarksTest : public guitest::MainWindowFixture {
protected:
    GridIcons icons;
    guitest::Transcript seen{ask, icons};
    void SetUp() override {
        open();
        ASSERT_TRUE(started);
    }
};

} // namespace

TEST_F(VerificationMarksTest, TerminalsFarFromConvergenceAreMarkedUntilTheNextCalculation) {
    testkit::buildRiser(project());
    project().supplyPressure = 50000; // 5 bar: the top hydrant's five-pass flow is far off
    ASSERT_TRUE(Calculate(project()).ok);
    window->RefreshAllWindows();
    seen.step(QStringLiteral("montante a 5 bar")).grid(*trunk());
    project().supplyPressure = 400000;
    trunk()->aggiorna();
    seen.step(QStringLiteral("a 40 bar")).grid(*trunk());
    seen.expectGolden(QStringLiteral("segni-montante"));
}

TEST_F(VerificationMarksTest, TheWarningsWindowListsEveryBranchAndOpensTheRow) {
    open(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"));
    ASSERT_TRUE(started);
    project().supplyPressure = 20000; // 2 bar: hydrants below their nominal pressure
    ASSERT_TRUE(Calculate(project()).ok);
    window->RefreshAllWindows();
    window->showWarnings();
    frmAvvisi* list = window->warningsWindow();
    ASSERT_NE(list, nullptr);
    seen.step(QStringLiteral("esempio a 2 bar")).cells(*list->GrAvvisi).line(list->lblTotale->text());
    list->openRow(list->GrAvvisi->rows() - 1);
    seen.step(QStringLiteral("apre l'ultima riga")).program(*window);
    project().supplyPressure = 80000;
    trunk()->aggiorna();
    seen.step(QStringLiteral("a 8 bar")).cells(*list->GrAvvisi).line(list->lblTotale->text());
    seen.expectGolden(QStringLiteral("avvisi"));
}
