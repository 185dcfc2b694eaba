// The checks in the running program: "Verifica di norma" (the settings chosen in the window,
// the scenarios shown and followed after a change, the designer's own set, the settings saved
// and read back); grid rows that the checks against the converged solution flag (terminals
// whose flow or pressure a designer must look at, velocities past the limit, open ends: the
// transcripts show their marks and tooltips), the marks going with the next calculation, and
// the "Avvisi" window listing every branch's and opening the row.

#include "app/frmAvvisi.h"
#include "app/frmCurve.h"
#include "app/frmVerifica.h"
#include "editor/frmAnelli.h"
#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "model/LoopPipes.h"
#include "tests/gui/GuiTestSupport.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

using namespace valmora;

namespace {

class VerificationWindowTest : public guitest::MainWindowFixture {};

class VerificationMarksTest : public guitest::MainWindowFixture {};

} // namespace

TEST_F(VerificationWindowTest, SettingsScenariosTheDesignersSetAndTheFile) {
    const QString file = openExampleCopy(QStringLiteral("capannone.vlm"));
    trigger("mnuVerifica");
    frmVerifica* w = window->verificationWindow();
    ASSERT_NE(w, nullptr);
    seen.step(QStringLiteral("aperta")).line(w->lblEsito->text());
    w->cmbNorma->setCurrentIndex(w->cmbNorma->findText(QStringLiteral("UNI 10779")));
    seen.step(QStringLiteral("UNI 10779")).cells(*w->GrVerifica).line(w->lblEsito->text());

    // Two bar at the supply: the window follows the change a moment later.
    project().supplyPressure = 20000;
    trunk()->aggiorna();
    guitest::waitFor([&] { return !w->check().pass; });
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
    w->openRow(1); // a member's row, in its branch's grid window
    seen.step(QStringLiteral("apre la prima riga"))
        .program(*window)
        .grid(*qobject_cast<frmTubi*>(frames().last()->widget()));
    seen.expectGolden(QStringLiteral("verifica-finestra"));

    // Saved in the project file, read back with it, nothing beside it.
    const StandardSettings chosen = project().standardSettings;
    trigger("mnuSalva");
    EXPECT_TRUE(
        testkit::readBytes(file).contains("\r\n\"Valmora\",1\r\n\"verifica\",\"norma\",\"uni10779\"\r\n"));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("capannone.verifica"))));
    open(file);
    EXPECT_EQ(project().standardSettings, chosen);
}

TEST_F(VerificationWindowTest, CurvesOfAPumpItsOperatingPointAdoptedAndExported) {
    openExampleCopy(QStringLiteral("capannone.vlm"));
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
    EXPECT_EQ(Calculated(project()).totalFlow, results().totalFlow) << "calculated again at the new pressure";

    // Exported as the page the report prints, at print resolution.
    ask.answers = {Answer::Yes};
    w->btnPng->click();
    const QImage png(path(QStringLiteral("capannone-curve.png")));
    EXPECT_GE(png.width(), 2000);
    EXPECT_EQ(ask.messageTexts().last(),
              QStringLiteral("Creato ") + path(QStringLiteral("capannone-curve.png")));

    // A pump whose points do not fall makes no chart: nothing is written, and it is said why.
    QFile::remove(path(QStringLiteral("capannone-curve.pdf")));
    project().standardSettings.supply.pump[2].pressure = 7;
    w->refresh();
    ASSERT_FALSE(w->chart().problem.isEmpty());
    w->btnPdf->click();
    EXPECT_EQ(ask.messageTexts().last(), QStringLiteral("Curve non esportate: ") + w->chart().problem);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("capannone-curve.pdf"))));
}

TEST_F(VerificationMarksTest, TerminalsFarFromConvergenceAreMarkedUntilTheNextCalculation) {
    open();
    testkit::readRiser(project());
    project().supplyPressure = 50000; // 5 bar: the top hydrant's five-pass flow is far off
    ASSERT_TRUE(Calculate(project(), results()).ok);
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
    ASSERT_TRUE(Calculate(project(), results()).ok);
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
    // A 3/8" loop pipe from the origin to the last node: past 10 m/s, listed under "Anelli".
    LoopPipe narrow = newLoopPipe(project(), 1, project().nodeCount());
    narrow.diameterIndex = 0;
    narrow.length = 0.2f;
    project().loopPipes.push_back(narrow);
    trunk()->aggiorna();
    list->refresh();
    seen.step(QStringLiteral("anello da 3/8\"")).cells(*list->GrAvvisi).line(list->lblTotale->text());
    const int last = list->GrAvvisi->rows() - 1;
    EXPECT_EQ(list->GrAvvisi->textMatrix(last, 0), QStringLiteral("Anelli"));
    EXPECT_EQ(list->GrAvvisi->textMatrix(last, 1), narrow.name);
    EXPECT_TRUE(
        list->GrAvvisi->textMatrix(last, 2).startsWith(QStringLiteral("Velocità oltre 10 m/s nell'anello")));
    // Its row opens the loop pipes' window on the pipe, whose velocity is marked as in a branch.
    list->openRow(last);
    frmAnelli* rings = window->loopPipesWindow();
    ASSERT_NE(rings, nullptr);
    EXPECT_EQ(rings->cursorPipe(), std::optional<std::size_t>(0));
    EXPECT_EQ(rings->Griglia->cellBackColor(1, frmAnelli::kVelocita), guitest::kCheckOrange);
    EXPECT_EQ(rings->Griglia->cellToolTip(1, frmAnelli::kVelocita), list->GrAvvisi->textMatrix(last, 2));
    seen.expectGolden(QStringLiteral("avvisi"));
    // With a closed pipe listed before it, the fast pipe's row still opens the fast pipe.
    LoopPipe shut = newLoopPipe(project(), 1, project().nodeCount());
    shut.closed = true;
    project().loopPipes.insert(project().loopPipes.begin(), shut);
    trunk()->aggiorna();
    list->refresh();
    ASSERT_EQ(list->GrAvvisi->textMatrix(list->GrAvvisi->rows() - 1, 1), narrow.name);
    list->openRow(list->GrAvvisi->rows() - 1);
    EXPECT_EQ(rings->cursorPipe(), std::optional<std::size_t>(1));
    EXPECT_EQ(rings->Griglia->cellBackColor(2, frmAnelli::kVelocita), guitest::kCheckOrange);
    EXPECT_NE(rings->Griglia->cellBackColor(1, frmAnelli::kVelocita), guitest::kCheckOrange);
}

namespace {

// `text` typed key by key into a box or a cell's editor, `refresh` run between keys (as a
// change of the network runs it a moment later), then Enter.
void typeSlowly(QWidget* box, const QString& text, const std::function<void()>& refresh) {
    box->window()->activateWindow();
    box->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(box->hasFocus()) << box->objectName().toStdString();
    guitest::key(box, Qt::Key_A, QString(), Qt::ControlModifier);
    for (const QChar c : text) {
        guitest::key(box, 0, QString(c));
        QApplication::processEvents();
        refresh();
    }
    guitest::key(box, Qt::Key_Return);
    QApplication::processEvents();
}

} // namespace

// Every number box of "Verifica di norma" and "Curve di funzionamento" typed in key by key
// with the window refreshed between keys: the whole value is stored when the typing ends,
// Enter presses no button, and a value past its limit is refused in the pump's table.
TEST_F(VerificationWindowTest, ValuesTypedKeyByKeyAreTakenWhole) {
    openExampleCopy(QStringLiteral("capannone.vlm"));
    trigger("mnuVerifica");
    button("Pompa");
    frmVerifica* w = window->verificationWindow();
    frmCurve* c = window->curvesWindow();
    ASSERT_TRUE(w && c);
    const StandardSettings& s = project().standardSettings;
    const SupplySettings& supply = s.supply;
    const int32_t supplyBefore = project().supplyPressure;
    const auto box = [&](QWidget* in, const QString& name) { return in->findChild<QAbstractSpinBox*>(name); };
    const auto cell = [&](int row, int column) {
        return [=] {
            c->tblPompa->setCurrentCell(row, column);
            c->tblPompa->editItem(c->tblPompa->item(row, column));
            return QApplication::focusWidget();
        };
    };
    const struct {
        std::function<void()> before; // the standard or the supply the box belongs to
        std::function<QWidget*()> where;
        const char* typed;
        std::function<double()> stored;
        double expected;
    } cases[] = {
        {[&] { w->cmbNorma->setCurrentIndex(int(Standard::Uni10779)); }, [&] { return w->spnLivello; }, "3",
         [&] { return s.level; }, 3},
        {{},
         [&] { return box(w, "spnContemporanei.idrante"); },
         "12",
         [&] { return s.workingAtOnce.at(TerminalRole::Hydrant); },
         12},
        {{},
         [&] { return box(w, "spnContemporanei.naspo"); },
         "11",
         [&] { return s.workingAtOnce.at(TerminalRole::HoseReel); },
         11},
        {{},
         [&] { return box(w, "spnDurata.attacco"); },
         "145",
         [&] { return s.durationMinutes.at(TerminalRole::ExternalOutlet); },
         145},
        {[&] { w->cmbNorma->setCurrentIndex(int(Standard::En12845)); }, [&] { return w->spnCopertura; },
         "9.5", [&] { return *s.coverage; }, 9.5},
        {{},
         [&] { return box(w, "spnDurata.sprinkler"); },
         "90",
         [&] { return s.durationMinutes.at(TerminalRole::Sprinkler); },
         90},
        {[&] { c->cmbAlimentazione->setCurrentIndex(int(SupplyKind::MainTest)); },
         [&] { return c->spnStatica; }, "5.25", [&] { return supply.staticPressure; }, 5.25},
        {{}, [&] { return c->spnResidua; }, "3.5", [&] { return supply.residualPressure; }, 3.5},
        {{}, [&] { return c->spnProva; }, "1200", [&] { return supply.testFlow; }, 1200},
        {[&] { c->cmbAlimentazione->setCurrentIndex(int(SupplyKind::Pump)); }, cell(1, 0), "1000",
         [&] { return supply.pump[1].flow; }, 1000},
        {{}, cell(2, 1), "2.45", [&] { return supply.pump[2].pressure; }, 2.45},
        {{}, cell(2, 1), "120", [&] { return supply.pump[2].pressure; }, 2.45}, // past its limit
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.typed);
        if (t.before)
            t.before();
        QWidget* target = t.where();
        ASSERT_NE(target, nullptr);
        typeSlowly(target, guitest::inLocale(t.typed), [&] {
            w->refresh();
            c->refresh();
        });
        EXPECT_EQ(t.stored(), t.expected);
    }
    EXPECT_TRUE(ask.dialogsShown.isEmpty()) << "Enter opened no dialog";
    EXPECT_EQ(project().supplyPressure, supplyBefore) << "Enter adopted nothing";
    EXPECT_EQ(ask.messageTexts(),
              QStringList{QStringLiteral(
                  "Valore non accettato: la pressione dell'alimentazione va da 0 a 100 bar.")});
    EXPECT_EQ(c->tblPompa->item(2, 1)->text(), guitest::inLocale("2.45"));
}
