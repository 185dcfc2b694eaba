#include "GuiTestSupport.h"

#include "app/frmCurve.h"
#include "app/frmVerifica.h"
#include "editor/GlobalChangeDialogs.h"
#include "editor/frmMatrice.h"
#include "model/Traversal.h"
#include "model/dialogs/Opzioni.h"
#include "schema/frmSchema.h"
#include "storage/ProjectFile.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace valmora::guitest {
namespace {

using namespace grid_column;

// The example project opened in the program, in a folder of its own.
class History : public MainWindowFixture {
protected:
    QString home = QDir::currentPath();
    QString file;
    void SetUp() override {
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        file = path(QStringLiteral("esempio.vlm"));
        QFile::copy(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"), file);
        QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        open(file);
        ASSERT_TRUE(started);
    }
    void TearDown() override { QDir::setCurrent(home); }
    QString undoText() { return action("mnuAnnulla")->text(); }
    QString redoText() { return action("mnuRipeti")->text(); }
    bool undoEnabled() { return action("mnuAnnulla")->isEnabled(); }
    void cursorOnRow(int row, int column = kNome) {
        trunk()->Griglia->setCurrentCell(row == 1 ? 2 : 1, kMetri); // another row first
        trunk()->Griglia->setCurrentCell(row, column);
    }
    void typeInto(int row, int column, const QString& text) {
        cursorOnRow(row, column);
        type(*trunk(), text);
        key(trunk()->Txtedit, Qt::Key_Return);
    }
    int16_t nodeOfRow(int row) { return int16_t(trunk()->Griglia->rowData(row)); }
};

// A typed value: "Annulla modifica Metri" takes it back, grid and results as before, the
// cursor on its row, and "Ripeti" does it again; the saved bytes are those before.
TEST_F(History, ATypedValueUndoneAndRedone) {
    EXPECT_FALSE(undoEnabled());
    EXPECT_EQ(undoText(), QStringLiteral("Annulla"));
    const QByteArray saved = projectFileBytes(project());
    const QString flowBefore = trunk()->Griglia->textMatrix(1, kFlow);
    const int16_t node = nodeOfRow(3);

    typeInto(3, kMetri, inLocale("87.5"));
    EXPECT_EQ(project().NodeTable[std::size_t(node)].length, 87.5f);
    EXPECT_EQ(undoText(), QStringLiteral("Annulla modifica Metri"));
    EXPECT_NE(trunk()->Griglia->textMatrix(1, kFlow), flowBefore);

    cursorOnRow(5);
    trigger("mnuAnnulla");
    EXPECT_EQ(projectFileBytes(project()), saved);
    EXPECT_EQ(trunk()->Griglia->textMatrix(1, kFlow), flowBefore);
    EXPECT_EQ(trunk()->Griglia->row(), 3);
    EXPECT_EQ(redoText(), QStringLiteral("Ripeti modifica Metri"));
    EXPECT_FALSE(undoEnabled());

    trigger("mnuRipeti");
    EXPECT_EQ(project().NodeTable[std::size_t(node)].length, 87.5f);
    EXPECT_EQ(trunk()->Griglia->textMatrix(3, kMetri), inLocale("87.5"));
    EXPECT_FALSE(action("mnuRipeti")->isEnabled());
    EXPECT_TRUE(ask.messages.empty());
}

// Undoing back to the state saved (or opened) leaves nothing to ask; redoing past it, or a
// change after it, asks again. New project, open and recent files start a new history.
TEST_F(History, TheModifiedStateFollowsTheHistory) {
    typeInto(2, kNome, QStringLiteral("Montante"));
    EXPECT_EQ(undoText(), QStringLiteral("Annulla modifica Nome"));
    trigger("mnuAnnulla");
    trigger("mnuNuovo"); // unmodified: started over without a question
    EXPECT_TRUE(ask.messages.empty());
    EXPECT_EQ(project().nodeCount(), 1);
    EXPECT_FALSE(undoEnabled());

    open(file);
    typeInto(2, kMetri, QStringLiteral("4"));
    trigger("mnuSalva");
    EXPECT_TRUE(ask.messages.empty());
    trigger("mnuAnnulla"); // before the save: modified
    ask.answers = {Answer::No};
    trigger("mnuNuovo");
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Salvare prima ?")});

    ask.messages.clear();
    ask.fileNames = {file};
    trigger("mnuApri");
    EXPECT_FALSE(undoEnabled()); // the history starts again with the file
    typeInto(2, kMetri, QStringLiteral("9"));
    trigger("mnuAnnulla");
    window->show();
    EXPECT_TRUE(window->close()); // back at the file's state: the program ends without asking
    EXPECT_TRUE(ask.messages.empty());
}

// A new node and a derivation change the tree's shape: undone, the schema closes, the
// branch's window goes, the tree is as it was; redone, it is back.
TEST_F(History, ShapeChangesCloseTheSchemaBothWays) {
    const QByteArray start = projectFileBytes(project());
    cursorOnRow(2);
    button("inserisce");
    EXPECT_EQ(undoText(), QStringLiteral("Annulla inserimento"));
    const QByteArray inserted = projectFileBytes(project());
    button("schema");
    ASSERT_TRUE(window->schemaWindow());
    trigger("mnuAnnulla");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->schemaWindow());
    EXPECT_EQ(projectFileBytes(project()), start);
    EXPECT_EQ(trunk()->Griglia->rows() - 1, int(branchNodes(project(), 1).size()));
    EXPECT_EQ(project().currentNode, nodeOfRow(2));
    EXPECT_EQ(trunk()->Griglia->row(), 2);

    button("schema");
    trigger("mnuRipeti");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->schemaWindow());
    EXPECT_EQ(projectFileBytes(project()), inserted);

    // A change on the schema that keeps the shape: the schema stays and shows it undone.
    button("schema");
    frmSchema* schema = window->schemaWindow();
    ASSERT_TRUE(schema);
    int16_t pipe = 0;
    for (int c = 0; c < schema->treeCols() && !pipe; ++c)
        if (schema->board().nodeAt(1, c) > 0) {
            schema->GFSchema->setCurrentCell(1, c);
            pipe = schema->currentNode();
        }
    ASSERT_GT(pipe, 0);
    // The size and the node's index, as a step on the schema spaces them.
    const auto label = [schema] {
        return schema->GFSchema->textMatrix(1, schema->GFSchema->col()).simplified();
    };
    const QString before = label();
    schema->StepDiameter(true);
    EXPECT_EQ(undoText(), QStringLiteral("Annulla cambio diametro"));
    EXPECT_NE(label(), before);
    trigger("mnuAnnulla");
    EXPECT_EQ(window->schemaWindow(), schema);
    EXPECT_EQ(label(), before);
    EXPECT_EQ(projectFileBytes(project()), inserted);
}

// The network-wide commands are one step each: a comb, a paste, a change of series.
TEST_F(History, CombPasteAndSeriesChangeAreOneStepEach) {
    const QByteArray start = projectFileBytes(project());
    const int16_t end = branchEnd(project(), 1);
    for (int r = 1; r < trunk()->Griglia->rows(); ++r)
        if (nodeOfRow(r) == end)
            cursorOnRow(r);
    ask.answers = {Answer::Ok};
    ask.dialogScripts.push_back([](QDialog& d) { static_cast<frmMatrice&>(d).btnOK->click(); });
    trigger("mnuMatrice");
    EXPECT_EQ(undoText(), QStringLiteral("Annulla creazione pettine"));
    const QByteArray comb = projectFileBytes(project());
    ASSERT_NE(comb, start);

    cursorOnRow(1);
    button("Copia");
    cursorOnRow(2);
    button("Incolla");
    EXPECT_EQ(undoText(), QStringLiteral("Annulla incolla"));
    trigger("mnuAnnulla");
    EXPECT_EQ(projectFileBytes(project()), comb);
    trigger("mnuAnnulla");
    EXPECT_EQ(projectFileBytes(project()), start);
    EXPECT_EQ(trunk()->Griglia->rows() - 1, int(branchNodes(project(), 1).size()));

    ask.messages.clear();
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& change = static_cast<frmCambiaTB&>(d);
        change.Combo2->setCurrentIndex((change.Combo2->currentIndex() + 1) % change.Combo2->count());
        change.btnOK->click();
    });
    trigger("mnuCambiaTB");
    EXPECT_EQ(undoText(), QStringLiteral("Annulla cambio tipo di tubo"));
    const QByteArray changed = projectFileBytes(project());
    ASSERT_NE(changed, start);
    trigger("mnuAnnulla");
    EXPECT_EQ(projectFileBytes(project()), start);
    EXPECT_EQ(redoText(), QStringLiteral("Ripeti cambio tipo di tubo"));
    trigger("mnuRipeti");
    EXPECT_EQ(projectFileBytes(project()), changed);
    EXPECT_EQ(trunk()->Griglia->textMatrix(1, kTipo),
              project().seriesOf(project().NodeTable[std::size_t(nodeOfRow(1))]).code);
}

// The supply and notes ("Opzioni"), the verification's settings and the supply's curve are
// in the history too; the clicks of a spin box in quick succession are one step.
TEST_F(History, OptionsAndSettingsBesideTheProject) {
    const QByteArray start = projectFileBytes(project());
    const StandardSettings settings = project().standardSettings;
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& options = static_cast<Opzioni&>(d);
        options.txtCommento->setPlainText(QStringLiteral("Note nuove"));
        options.btnOK->click();
    });
    trigger("mnuOpzioni");
    EXPECT_EQ(undoText(), QStringLiteral("Annulla opzioni"));

    trigger("mnuVerifica");
    frmVerifica* verification = window->verificationWindow();
    verification->cmbNorma->setCurrentIndex(verification->cmbNorma->findText(QStringLiteral("UNI EN 12845")));
    EXPECT_EQ(undoText(), QStringLiteral("Annulla impostazioni di verifica"));

    trigger("mnuCurve");
    frmCurve* curves = window->curvesWindow();
    curves->cmbAlimentazione->setCurrentIndex(curves->cmbAlimentazione->findData(int(SupplyKind::MainTest)));
    for (int click = 0; click < 5; ++click)
        curves->spnStatica->stepUp();
    EXPECT_EQ(undoText(), QStringLiteral("Annulla alimentazione"));
    trigger("mnuAnnulla"); // the kind of supply and the five clicks at once
    EXPECT_EQ(project().standardSettings.supply.kind, SupplyKind::Fixed);
    EXPECT_EQ(project().standardSettings.standard, Standard::En12845);
    trigger("mnuAnnulla");
    EXPECT_EQ(project().standardSettings, settings);
    curves->refresh();
    EXPECT_EQ(curves->cmbAlimentazione->currentData().toInt(), int(SupplyKind::Fixed));
    trigger("mnuAnnulla");
    EXPECT_EQ(projectFileBytes(project()), start);
    EXPECT_FALSE(undoEnabled());
}

} // namespace
} // namespace valmora::guitest
