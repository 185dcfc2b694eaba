// The checks in the running program: "Verifica di norma" (the settings chosen in the window,
// the scenarios shown and followed after a change, the designer's own set, the settings saved
// and read back); grid rows that the checks against the converged solution flag (terminals
// whose flow or pressure a designer must look at, velocities past the limit, open ends: the
// transcripts show their marks and tooltips), the marks going with the next calculation, and
// the "Avvisi" window listing every branch's and opening the row.

#include "app/frmAvvisi.h"
#include "app/frmCurve.h"
#include "app/frmVerifica.h"
#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "tests/gui/GuiTestSupport.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    EXPECT_TRUE(testkit::readBytes(file).contains("\r\n\"Valmora\",1\r\n\"verifica\",\"norma\",\"uni10779\"\r\n"));
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
    Project recalculated = project();
    ASSERT_TRUE(Calculate(recalculated).ok);
    EXPECT_EQ(recalculated.totalFlow, project().totalFlow) << "calculated again at the new pressure";

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

namespace {

// `text` typed into a number box key by key, the window refreshed between keys (as a change
// of the network makes it a moment later), then Enter.
void typeSlowly(QAbstractSpinBox* box, const QString& text, const std::function<void()>& refresh) {
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

template <typename Box> Box* boxNamed(QWidget& window, const QString& name) {
    auto* box = window.findChild<Box*>(name);
    EXPECT_NE(box, nullptr) << name.toStdString();
    return box;
}

} // namespace

// Every number box of "Verifica di norma" and "Curve di funzionamento" typed in key by key
// with the window refreshed between keys: the whole value is stored when the typing ends,
// Enter presses no button, and a value past its limit is refused in the pump's table.
TEST_F(VerificationWindowTest, ValuesTypedKeyByKeyAreTakenWhole) {
    openExampleCopy(QStringLiteral("capannone.vlm"));
    trigger("mnuVerifica");
    frmVerifica* w = window->verificationWindow();
    ASSERT_NE(w, nullptr);
    const auto refresh = [w] { w->refresh(); };
    const StandardSettings& s = project().standardSettings;
    w->cmbNorma->setCurrentIndex(w->cmbNorma->findData(int(Standard::Uni10779)));
    typeSlowly(w->spnLivello, QStringLiteral("3"), refresh);
    EXPECT_EQ(s.level, 3);
    for (const QString& role : {QStringLiteral("idrante"), QStringLiteral("naspo"), QStringLiteral("attacco")}) {
        SCOPED_TRACE(role.toStdString());
        const TerminalRole which = *roleFromKey(role);
        typeSlowly(boxNamed<QSpinBox>(*w, QStringLiteral("spnContemporanei.") + role), QStringLiteral("12"), refresh);
        typeSlowly(boxNamed<QSpinBox>(*w, QStringLiteral("spnDurata.") + role), QStringLiteral("145"), refresh);
        EXPECT_EQ(s.workingAtOnce.at(which), 12);
        EXPECT_EQ(s.durationMinutes.at(which), 145);
    }
    EXPECT_TRUE(ask.dialogsShown.isEmpty()) << "Enter opened no dialog";
    w->cmbNorma->setCurrentIndex(w->cmbNorma->findData(int(Standard::En12845)));
    typeSlowly(w->spnCopertura, guitest::inLocale("9.5"), refresh);
    EXPECT_EQ(s.coverage, 9.5);
    typeSlowly(boxNamed<QSpinBox>(*w, QStringLiteral("spnDurata.sprinkler")), QStringLiteral("90"), refresh);
    EXPECT_EQ(s.durationMinutes.at(TerminalRole::Sprinkler), 90);

    button("Pompa");
    frmCurve* c = window->curvesWindow();
    ASSERT_NE(c, nullptr);
    const auto redraw = [c] { c->refresh(); };
    const int32_t supply = project().supplyPressure;
    c->cmbAlimentazione->setCurrentIndex(c->cmbAlimentazione->findData(int(SupplyKind::MainTest)));
    typeSlowly(c->spnStatica, guitest::inLocale("5.25"), redraw);
    typeSlowly(c->spnResidua, guitest::inLocale("3.5"), redraw);
    typeSlowly(c->spnProva, QStringLiteral("1200"), redraw);
    EXPECT_EQ(s.supply.staticPressure, 5.25);
    EXPECT_EQ(s.supply.residualPressure, 3.5);
    EXPECT_EQ(s.supply.testFlow, 1200);
    EXPECT_EQ(project().supplyPressure, supply) << "Enter adopted nothing";

    // The pump's cells, typed in their editor the same way.
    c->cmbAlimentazione->setCurrentIndex(c->cmbAlimentazione->findData(int(SupplyKind::Pump)));
    const auto typeCell = [&](int row, int column, const QString& text) {
        c->tblPompa->setCurrentCell(row, column);
        c->tblPompa->editItem(c->tblPompa->item(row, column));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        for (const QChar ch : text) {
            guitest::key(editor, 0, QString(ch));
            QApplication::processEvents();
            redraw();
        }
        guitest::key(editor, Qt::Key_Return);
        QApplication::processEvents();
    };
    const char* points[3][2] = {{"0", "4.2"}, {"1000", "3.5"}, {"1400", "2.45"}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 2; ++column)
            typeCell(row, column, guitest::inLocale(points[row][column]));
    EXPECT_EQ(s.supply.pump[1], (PumpPoint{1000, 3.5}));
    EXPECT_EQ(s.supply.pump[2], (PumpPoint{1400, 2.45}));
    typeCell(2, 1, QStringLiteral("120"));
    EXPECT_EQ(s.supply.pump[2].pressure, 2.45);
    EXPECT_EQ(ask.messageTexts().value(0),
              QStringLiteral("Valore non accettato: la pressione dell'alimentazione va da 0 a 100 bar."));
    EXPECT_EQ(c->tblPompa->item(2, 1)->text(), guitest::inLocale("2.45"));
}
