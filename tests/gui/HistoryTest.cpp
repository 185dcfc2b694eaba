// "Annulla" and "Ripeti" in the running program, each step written out with the Modifica
// entries, the windows and the rows, and the saved bytes compared with those before.

#include "GuiTestSupport.h"

#include "app/frmCurve.h"
#include "app/frmVerifica.h"
#include "dialogs/Opzioni.h"
#include "editor/GlobalChangeDialogs.h"
#include "editor/frmMatrice.h"
#include "storage/ProjectFile.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace valmora::guitest {
namespace {

using namespace grid_column;

// The example project opened in the program, in a folder of its own.
class History : public MainWindowFixture {
protected:
    QString file;
    void SetUp() override { file = openExampleCopy(); }
    void cursorOnRow(int row, int column = kNome) {
        trunk()->Griglia->setCurrentCell(row == 1 ? 2 : 1, kMetri); // another row first
        trunk()->Griglia->setCurrentCell(row, column);
    }
    void typeInto(int row, int column, const QString& text) {
        cursorOnRow(row, column);
        type(*trunk(), text);
        key(trunk()->Txtedit, Qt::Key_Return);
    }
    void show(const QString& what) { seen.step(what).program(*window).grid(*trunk()); }
    QByteArray saved() { return projectFileBytes(project()); }
};

// A typed value, a name, a comb, a paste, a change of series: each one step, taken back to
// the bytes before it and done again, the cursor back on its row.
TEST_F(History, EveryKindOfChangeUndoneAndRedone) {
    const QByteArray start = saved();
    typeInto(3, kMetri, QStringLiteral("87"));
    cursorOnRow(5);
    trigger("mnuAnnulla");
    show(QStringLiteral("87 in Metri, annullato"));
    EXPECT_EQ(saved(), start);
    trigger("mnuRipeti");
    show(QStringLiteral("ripetuto"));
    trigger("mnuAnnulla");

    // Each command its own step and its own name: a section closed and opened again, a
    // diameter step, an equivalent length typed.
    cursorOnRow(2, kFlow);
    trunk()->Lok();
    trunk()->Lok();
    seen.step(QStringLiteral("chiuso e riaperto")).program(*window);
    button("incphi");
    typeInto(2, kLVirt, QStringLiteral("6"));
    seen.step(QStringLiteral("diametro, poi 6 in L.virt.")).program(*window);
    trigger("mnuAnnulla");
    seen.step(QStringLiteral("annullato una volta")).program(*window);
    for (int k = 0; k < 3; ++k)
        trigger("mnuAnnulla");
    EXPECT_EQ(saved(), start);

    cursorOnRow(6);
    ask.answers = {Answer::Ok};
    ask.dialogScripts.push_back([](QDialog& d) { static_cast<frmMatrice&>(d).btnOK->click(); });
    trigger("mnuMatrice");
    const QByteArray comb = saved();
    cursorOnRow(1);
    button("Copia");
    cursorOnRow(2);
    button("Incolla");
    show(QStringLiteral("pettine, copia e incolla"));
    trigger("mnuAnnulla");
    EXPECT_EQ(saved(), comb);
    trigger("mnuAnnulla");
    show(QStringLiteral("incolla e pettine annullati"));
    EXPECT_EQ(saved(), start);

    ask.dialogScripts.push_back([](QDialog& d) {
        auto& change = static_cast<frmCambiaTB&>(d);
        change.Combo2->setCurrentIndex((change.Combo2->currentIndex() + 1) % change.Combo2->count());
        change.btnOK->click();
    });
    trigger("mnuCambiaTB");
    const QByteArray changed = saved();
    trigger("mnuAnnulla");
    EXPECT_EQ(saved(), start);
    trigger("mnuRipeti");
    show(QStringLiteral("cambio tipo di tubo annullato e ripetuto"));
    EXPECT_EQ(saved(), changed);
    seen.expectGolden(QStringLiteral("annulla"));
}

// Undoing back to the state saved (or opened) leaves nothing to ask; redoing past it, or a
// change after it, asks again. New project, open and recent files start a new history.
TEST_F(History, TheModifiedStateFollowsTheHistory) {
    typeInto(2, kNome, QStringLiteral("Montante"));
    trigger("mnuAnnulla");
    trigger("mnuNuovo"); // unmodified: started over without a question
    show(QStringLiteral("nome annullato, Nuovo"));
    open(file);
    typeInto(2, kMetri, QStringLiteral("4"));
    trigger("mnuSalva");
    trigger("mnuAnnulla"); // before the save: modified
    ask.answers = {Answer::No};
    trigger("mnuNuovo");
    seen.step(QStringLiteral("salvato, annullato, Nuovo"));
    ask.fileNames = {file};
    trigger("mnuApri");
    show(QStringLiteral("aperto"));
    typeInto(2, kMetri, QStringLiteral("9"));
    trigger("mnuAnnulla");
    window->show();
    seen.step(QStringLiteral("9 annullato, chiude")).line(QStringLiteral("chiuso %1").arg(window->close()));
    seen.expectGolden(QStringLiteral("annulla-modificato"));
}

// A new node changes the tree's shape: undone and redone, the schema closes; a change on the
// schema that keeps the shape leaves it open and shows it undone.
TEST_F(History, ShapeChangesCloseTheSchemaBothWays) {
    const QByteArray start = saved();
    cursorOnRow(2);
    button("inserisce");
    const QByteArray inserted = saved();
    button("schema");
    trigger("mnuAnnulla");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    show(QStringLiteral("inserimento annullato con lo schema aperto"));
    EXPECT_EQ(saved(), start);
    button("schema");
    trigger("mnuRipeti");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(saved(), inserted);
    EXPECT_FALSE(window->schemaWindow());

    button("schema");
    frmSchema* schema = window->schemaWindow();
    ASSERT_TRUE(schema);
    schema->SelectNode(1);
    schema->StepDiameter(true);
    trigger("mnuAnnulla");
    seen.step(QStringLiteral("diametro sullo schema annullato")).program(*window).cells(*schema->GFSchema);
    EXPECT_EQ(saved(), inserted);
    seen.expectGolden(QStringLiteral("annulla-schema"));
}

// The supply and notes ("Opzioni"), the verification's settings and the supply's curve are
// in the history too; the clicks of a spin box in quick succession are one step.
TEST_F(History, OptionsAndSettingsBesideTheProject) {
    const QByteArray start = saved();
    const StandardSettings settings = project().standardSettings;
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& options = static_cast<Opzioni&>(d);
        options.txtCommento->setPlainText(QStringLiteral("Note nuove"));
        options.btnOK->click();
    });
    trigger("mnuOpzioni");
    trigger("mnuVerifica");
    frmVerifica* verification = window->verificationWindow();
    verification->cmbNorma->setCurrentIndex(verification->cmbNorma->findText(QStringLiteral("UNI EN 12845")));
    trigger("mnuCurve");
    frmCurve* curves = window->curvesWindow();
    curves->cmbAlimentazione->setCurrentIndex(curves->cmbAlimentazione->findData(int(SupplyKind::MainTest)));
    for (int click = 0; click < 5; ++click)
        curves->spnStatica->stepUp();
    seen.step(QStringLiteral("opzioni, norma, alimentazione e cinque clic")).program(*window);
    trigger("mnuAnnulla"); // the kind of supply and the five clicks at once
    EXPECT_EQ(project().standardSettings.supply.kind, SupplyKind::Fixed);
    EXPECT_EQ(project().standardSettings.standard, Standard::En12845);
    trigger("mnuAnnulla");
    EXPECT_EQ(project().standardSettings, settings);
    trigger("mnuAnnulla");
    seen.step(QStringLiteral("tre volte annulla")).program(*window);
    EXPECT_EQ(saved(), start);
    seen.expectGolden(QStringLiteral("annulla-impostazioni"), Transcript::Locales::SameInBoth);
}

// Changes of the supply within 1,5 s of the last one are one step of the history (the clicks of
// a spin box); a change later than that is a step of its own.
TEST_F(History, SettingsChangesCloseTogetherAreOneStep) {
    qint64 now = 0;
    window->document().setClock([&now] { return now; });
    trigger("mnuCurve");
    frmCurve* curves = window->curvesWindow();
    const std::size_t before = window->history().steps();
    curves->cmbAlimentazione->setCurrentIndex(curves->cmbAlimentazione->findData(int(SupplyKind::MainTest)));
    for (const qint64 at : {1000, 2400}) { // each within 1,5 s of the one before
        now = at;
        curves->spnStatica->stepUp();
    }
    EXPECT_EQ(window->history().steps(), before + 1);
    now = 4000;
    curves->spnStatica->stepUp();
    EXPECT_EQ(window->history().steps(), before + 2);
}

} // namespace
} // namespace valmora::guitest
