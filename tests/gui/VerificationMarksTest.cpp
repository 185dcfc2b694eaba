// Grid rows that the checks against the converged solution flag: terminals whose flow or
// pressure a designer must look at, velocities past the limit.

#include "app/TbMain.h"
#include "app/frmAvvisi.h"
#include "editor/NetworkChecks.h"
#include "editor/NetworkEdits.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "model/Traversal.h"
#include "platform/GridControl.h"
#include "tests/TestFiles.h"
#include "tests/gui/GuiTestSupport.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>

using namespace valmora;
using namespace valmora::grid_column;
using valmora::guitest::kCyan;

namespace {

class VerificationMarksTest : public guitest::MainWindowFixture {
protected:
    void SetUp() override {
        open();
        ASSERT_TRUE(started);
    }
};

} // namespace

TEST_F(VerificationMarksTest, TerminalsFarFromConvergenceAreMarkedWithTheirReason) {
    const std::vector<int16_t> hydrants = testkit::buildRiser(project());
    project().supplyPressure = 50000; // 5 bar: the top hydrant's five-pass flow is far off
    ASSERT_TRUE(Calculate(project()).ok);
    window->RefreshAllWindows();
    const GridControl& g = *trunk()->Griglia;

    const NetworkChecks* checks = window->networkChecks();
    ASSERT_NE(checks, nullptr);
    const TerminalVerification* top = checks->verification().terminalAt(hydrants.back());
    ASSERT_NE(top, nullptr);
    EXPECT_FALSE(top->converged);
    const int lastRow = g.rows() - 1;
    ASSERT_EQ(g.rowData(lastRow), hydrants.back());
    EXPECT_TRUE(g.cellBackColor(lastRow, kNome).isValid());
    EXPECT_NE(g.cellBackColor(lastRow, kNome), kCyan);
    EXPECT_TRUE(trunk()->StatusBar1->text().contains(QStringLiteral(" - Attenzione: A convergenza portata ")))
        << trunk()->StatusBar1->text().toStdString();
    // Rows with nothing to say stay as they were.
    EXPECT_FALSE(g.cellBackColor(1, kNome).isValid());

    // Enough supply for every hydrant: the marks go with the next calculation.
    project().supplyPressure = 400000;
    trunk()->aggiorna();
    EXPECT_FALSE(trunk()->StatusBar1->text().contains(QStringLiteral("Attenzione")));
}

TEST_F(VerificationMarksTest, VelocitiesPastTheLimitAreMarked) {
    testkit::NetworkBuilder build(project());
    build.endWithTerminal(build.root({QStringLiteral("Stretto"), 5, 0, 1, 1}), 0, 0); // 1/2" to a free outlet
    project().supplyPressure = 400000;
    ASSERT_TRUE(Calculate(project()).ok);
    window->RefreshAllWindows();
    const GridControl& g = *trunk()->Griglia;
    const SectionVerification* fast = window->networkChecks()->verification().sectionAt(1);
    ASSERT_TRUE(fast && fast->calculatedTooFast) << "the section must be past the limit for this check";
    EXPECT_NE(g.cellBackColor(1, kVelocity), kCyan);
    EXPECT_EQ(g.cellBackColor(1, kDrop), kCyan);
}

// The example with its last hydrant deleted: "Dorsale nord 2" ends without a terminal and
// pours out like a burst pipe.
TEST_F(VerificationMarksTest, AnEndWithoutTerminalIsMarkedWithItsFlow) {
    open(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"));
    ASSERT_TRUE(started);
    const GridControl& g = *trunk()->Griglia;
    const auto hydrant = static_cast<int16_t>(g.rowData(g.rows() - 1));
    ASSERT_EQ(project().NodeTable[hydrant].name, QStringLiteral("Idr. N2"));
    edits::deleteNode(project(), hydrant);
    ASSERT_TRUE(Calculate(project()).ok);
    window->RefreshAllWindows();

    const int lastRow = g.rows() - 1;
    ASSERT_EQ(project().NodeTable[g.rowData(lastRow)].name, QStringLiteral("Dorsale nord 2"));
    EXPECT_TRUE(g.cellBackColor(lastRow, kNome).isValid());
    EXPECT_EQ(g.cellToolTip(lastRow, kNome), QStringLiteral("Estremità aperta, scarica 1226 Lt/min"));
    const QString status =
        QStringLiteral("Nessun terminale - Attenzione: Estremità aperta, scarica 1226 Lt/min");
    EXPECT_EQ(trunk()->StatusBar1->text(), status);
    EXPECT_EQ(trunk()->StatusBar1->toolTip(), status);
    EXPECT_FALSE(g.cellBackColor(1, kNome).isValid());
}

// A warning in a derived branch is seen from the trunk in "Avvisi", and opened in its grid.
TEST_F(VerificationMarksTest, TheWarningsWindowListsEveryBranchAndOpensTheRow) {
    open(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"));
    ASSERT_TRUE(started);
    project().supplyPressure = 20000; // 2 bar: hydrants below their nominal pressure
    ASSERT_TRUE(Calculate(project()).ok);
    window->RefreshAllWindows();
    window->showWarnings();
    frmAvvisi* list = window->warningsWindow();
    ASSERT_NE(list, nullptr);
    const GridControl& rows = *list->GrAvvisi;
    ASSERT_EQ(rows.rows() - 1, int(list->warnings().size()));
    int derived = 0;
    for (int r = 1; r < rows.rows(); ++r) {
        const auto node = static_cast<int16_t>(rows.rowData(r));
        EXPECT_EQ(rows.textMatrix(r, 1), project().NodeTable[node].name);
        EXPECT_FALSE(rows.textMatrix(r, 2).isEmpty());
        if (rows.textMatrix(r, 0).startsWith(QStringLiteral("Deriv. da ")) && derived == 0)
            derived = r;
    }
    ASSERT_GT(derived, 0) << "the example at 2 bar has warnings in derived branches";
    list->openRow(derived);
    const auto node = static_cast<int16_t>(rows.rowData(derived));
    frmTubi* grid = nullptr;
    for (QMdiSubWindow* frame : window->mdiArea()->subWindowList())
        if (auto* g = qobject_cast<frmTubi*>(frame->widget());
            g && g->firstNode() == branchStartOf(project(), node))
            grid = g;
    ASSERT_NE(grid, nullptr) << "the branch's grid window is open";
    EXPECT_FALSE(grid->isTrunk());
    EXPECT_EQ(grid->Griglia->rowData(grid->Griglia->row()), node);

    // Enough pressure: the list follows the next calculation.
    project().supplyPressure = 80000;
    trunk()->aggiorna();
    EXPECT_EQ(rows.rows(), 1);
    EXPECT_EQ(list->lblTotale->text(), QStringLiteral("Nessun avviso."));
}
