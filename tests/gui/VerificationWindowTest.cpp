// "Verifica di norma" in the running program: the settings chosen in the window, the scenarios
// shown and followed after a change, the designer's own set, the settings saved and read back.

#include "app/TbMain.h"
#include "app/frmCurve.h"
#include "app/frmVerifica.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "model/Traversal.h"
#include "platform/GridControl.h"
#include "tests/TestFiles.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/Transcript.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>

using namespace valmora;

namespace {

class VerificationWindowTest : public guitest::MainWindowFixture {};

// Waits for the window to verify again after a change of the network.
void waitFor(const std::function<bool()>& done) {
    QDeadlineTimer patience(10000);
    while (!done() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

TEST_F(VerificationWindowTest, SettingsScenariosTheDesignersSetAndTheFile) {
    const QString file = path(QStringLiteral("capannone.vlm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"), file));
    open(file);
    ASSERT_TRUE(started);
    GridIcons icons;
    guitest::Transcript seen(ask, icons);
    trigger("mnuVerifica");
    frmVerifica* w = window->verificationWindow();
    ASSERT_NE(w, nullptr);
    seen.step(QStringLiteral("aperta")).line(w->lblEsito->text());
    w->cmbNorma->setCurrentIndex(w->cmbNorma->findText(QStringLiteral("UNI 10779")));
    seen.step(QStringLiteral("UNI 10779")).cells(*w->GrVerifica).line(w->lblEsito->text());
    const GridControl& rows = *w->GrVerifica;
    const int memberRow = 1;

    // Two bar at the supply: the window follows the change a moment later.
    project().supplyPressure = 20000;
    trunk()->aggiorna();
    waitFor([&] { return !w->check().pass; });
    seen.step(QStringLiteral("a 2 bar")).line(w->lblEsito->text());

    // The designer's own set of hydrants: one ticked.
    ask.dialogScripts.push_back([](QDialog& d) {
        auto* list = d.findChild<QListWidget*>(QStringLiteral("lstTerminali"));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 2);
        list->item(0)->setCheckState(Qt::Checked);
        list->item(1)->setCheckState(Qt::Unchecked);
        d.accept();
    });
    w->cmbInsieme->setCurrentIndex(w->cmbInsieme->findText(QStringLiteral("Idranti")));
    w->btnScegli->click();
    seen.step(QStringLiteral("insieme del progettista")).cells(*w->GrVerifica).line(w->lblEsito->text());
    seen.expectGolden(QStringLiteral("verifica-finestra"));

    // A member's row opens in its branch's grid window.
    const auto node = static_cast<int16_t>(rows.rowData(memberRow));
    w->openRow(memberRow);
    bool shown = false;
    for (QMdiSubWindow* frame : window->mdiArea()->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget());
            grid && grid->firstNode() == branchStartOf(project(), node))
            shown = grid->Griglia->rowData(grid->Griglia->row()) == node;
    EXPECT_TRUE(shown);

    // Saved with the project, read back with it.
    const StandardSettings chosen = project().standardSettings;
    trigger("mnuSalva");
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("capannone.verifica"))));
    open(file);
    EXPECT_EQ(project().standardSettings, chosen);
}

TEST_F(VerificationWindowTest, CurvesOfAPumpItsOperatingPointAdoptedAndExported) {
    const QString file = path(QStringLiteral("capannone.vlm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"), file));
    open(file);
    ASSERT_TRUE(started);
    button("Pompa");
    frmCurve* w = window->curvesWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->btnAdotta->isEnabled()) << "a fixed supply is the design pressure already";

    // A pump of 6 bar at no flow, 5 at 600 l/min, 4 at 840.
    w->cmbAlimentazione->setCurrentIndex(w->cmbAlimentazione->findData(int(SupplyKind::Pump)));
    const double points[3][2] = {{0, 6}, {600, 5}, {840, 4}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 2; ++column)
            w->tblPompa->setItem(row, column, new QTableWidgetItem(QString::number(points[row][column])));
    EXPECT_EQ(project().standardSettings.supply.kind, SupplyKind::Pump);
    ASSERT_TRUE(w->chart().problem.isEmpty()) << w->chart().problem.toStdString();
    ASSERT_TRUE(w->chart().network.operating);
    const CurvePoint operating = *w->chart().network.operating;
    EXPECT_TRUE(w->lblPunti->text().contains(QStringLiteral("funzionamento F1 ")));

    // Not adopted while a terminal stands above half of it: the supply dialog's rule and words,
    // for the terminals as they are now.
    const int32_t before = project().supplyPressure;
    Terminal& top = project().TerminalTable[1];
    const float height = top.height;
    top.height = float(operating.pressure * 10.197 / 2 + 1);
    w->btnAdotta->click();
    EXPECT_EQ(project().supplyPressure, before);
    EXPECT_EQ(ask.messageTexts().value(0), heightsNotCoveredMessage(project(), highestTerminal(project())));
    top.height = height;

    // Adopted: the supply becomes the operating point's, in mm, and the grids show it.
    w->btnAdotta->click();
    EXPECT_NEAR(project().supplyPressure, operating.pressure * 10197, 1.0);
    Project recalculated = project();
    ASSERT_TRUE(Calculate(recalculated).ok);
    EXPECT_EQ(recalculated.totalFlow, project().totalFlow) << "calculated again at the new pressure";

    ask.answers = {Answer::Yes};
    w->btnPng->click();
    EXPECT_TRUE(testkit::readBytes(path(QStringLiteral("capannone-curve.png"))).startsWith("\x89PNG"));
    EXPECT_EQ(ask.messageTexts().last(),
              QStringLiteral("Creato ") + path(QStringLiteral("capannone-curve.png")));
}
