// The editing commands of a grid window, each step written out as the designer sees it (the
// rows, the cursor, the status line, what was asked) and compared with its golden transcript.

#include "editor/NetworkEdits.h"
#include "editor/lstTubi.h"
#include "model/Calculation.h"
#include "model/LoopPipes.h"
#include "tests/gui/GuiTestSupport.h"

#include <QListWidget>
#include <QPushButton>

using namespace valmora;
using namespace valmora::grid_column;
using namespace valmora::guitest;

namespace {

// Trunk A(1) -> B(2) -> C(3, hydrant type 1 at 2 m); B derives D(4) ending in a terminal.
class EditorCommandsTest : public GridWindowFixture {
protected:
    std::unique_ptr<frmTubi> trunk;
    Transcript seen{ask, icons};

    void SetUp() override {
        testkit::NetworkBuilder build(p);
        const int16_t a = build.root({QStringLiteral("A"), 10, 1, 1, 3});
        const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 8, 1, 1, 2});
        const int16_t c = build.continueAfter(b, {QStringLiteral("C"), 6, 1, 1, 1});
        build.endWithTerminal(c, 1, 2);
        const int16_t d = build.deriveAt(b, {QStringLiteral("D"), 4, 1, 1, 1});
        build.endWithTerminal(d, 2, 0);
        ASSERT_TRUE(Calculate(p, ws.results).ok);
        trunk = open(1);
    }
    void at(int row, int column) { trunk->Griglia->setCurrentCell(row, column); }
    // The step written out with the trunk's window; the tree must stay sound.
    void show(const QString& what, frmTubi* window = nullptr) {
        seen.step(what).grid(window ? *window : *trunk);
        ASSERT_EQ(edits::invariantViolation(p), QString()) << what.toStdString();
    }
    void enter(const QString& text, int keyCode = Qt::Key_Return) {
        type(*trunk, text);
        key(trunk->Txtedit, keyCode);
    }
};

} // namespace

TEST_F(EditorCommandsTest, NewNodesAndDerivations) {
    at(2, kMetri);
    trunk->Nuovo(false);
    show(QStringLiteral("aggiunge in coda"));
    at(1, kNome);
    trunk->Nuovo(true);
    show(QStringLiteral("inserisce in testa"));
    auto branch = open(4);
    branch->Griglia->setCurrentCell(1, kNome);
    branch->Nuovo(true);
    show(QStringLiteral("inserisce in testa al ramo"), branch.get());
    seen.line(QStringLiteral("tag %1, proprietà %2").arg(branch->tag(), branch->property("tag").toString()));

    // The Out column: a derivation's window opens; with none yet, its name is asked (an
    // empty answer does nothing).
    at(3, kNome);
    key(trunk->Griglia, Qt::Key_F9);
    ask.inputs = {QString(), QStringLiteral("Piano terra")};
    at(2, kOut);
    trunk->cellAction();
    trunk->cellAction();
    show(QStringLiteral("F9 su una diramazione, nuova diramazione"));
    for (const int16_t opened : host.opened)
        seen.line(QStringLiteral("aperta la finestra del ramo da %1").arg(opened));
    seen.expectGolden(QStringLiteral("comandi-nodi"));
}

// In turn: the last node while the one before derives; a node carrying a derivation
// (cancelled, then confirmed); the last node; the only node left.
TEST_F(EditorCommandsTest, Deletions) {
    for (const auto& [row, answer] :
         {std::pair{3, Answer::Ok}, {2, Answer::Cancel}, {2, Answer::Ok}, {2, Answer::Ok}, {1, Answer::Ok}}) {
        at(row, kNome);
        ask.answers = {answer};
        trunk->Cancella();
        show(QStringLiteral("cancella la riga %1").arg(row));
    }
    seen.expectGolden(QStringLiteral("comandi-cancella"));
}

// A ring closed on the derivation a deletion takes with it: asked apart; refused, nothing goes;
// then the node, its derivation and the ring go together.
TEST_F(EditorCommandsTest, DeletingANodeAsksForTheRingsItTakes) {
    p.loopPipes.push_back(newLoopPipe(p, 1, 4)); // from A to D, derived from B
    for (const Answer rings : {Answer::Cancel, Answer::Ok}) {
        at(2, kNome);
        ask.answers = {Answer::Ok, rings};
        trunk->Cancella();
        show(QStringLiteral("cancella la riga 2, anelli: %1").arg(rings == Answer::Ok ? "sì" : "no"));
        seen.line(QStringLiteral("anelli nel progetto: %1").arg(p.loopPipes.size()));
    }
    EXPECT_TRUE(p.loopPipes.empty());
    seen.expectGolden(QStringLiteral("comandi-cancella-anelli"));
}

TEST_F(EditorCommandsTest, TypedValuesDiametersAndDialogs) {
    at(1, kMetri);
    enter(QStringLiteral("12"));
    show(QStringLiteral("12 e Invio"));
    at(2, kMetri);
    enter(inLocale("2.5"), Qt::Key_Up);
    show(QStringLiteral("2,5 e freccia su"));
    at(3, kLVirt);
    enter(QStringLiteral("4"));
    show(QStringLiteral("4 e Invio sull'ultima cella: il valore è preso subito"));
    at(1, kNome);
    enter(QStringLiteral("Via \"Roma\""));
    show(QStringLiteral("un nome tra virgolette"));
    // A period is a decimal point in Italian too; then refused aloud, the old value staying: a
    // negative, a word, two points, a grouping, a number no single precision holds.
    for (const char* typed : {"3.25", "-3", "dodici", "1.2.3", "1.234,5", "1E39"}) {
        at(1, kMetri);
        enter(QString::fromLatin1(typed));
    }
    at(1, kLVirt);
    enter(QStringLiteral("7"), Qt::Key_Escape);
    at(1, kTipo);
    type(*trunk, QStringLiteral("NI"));
    show(QStringLiteral("3.25, numeri rifiutati, Esc, lettere sul tipo"));

    at(2, kNome);
    for (const auto& [code, text] :
         {std::pair{Qt::Key_Plus, "+"}, {Qt::Key_Plus, "+"}, {Qt::Key_Minus, "-"}}) {
        key(trunk->Griglia, code, QString::fromLatin1(text), Qt::KeypadModifier);
        show(QString::fromLatin1(text) + QStringLiteral(" del tastierino"));
    }

    // F12: the terminal at the branch's end; F5: the pipe picker, the nearest bore of another
    // series, then Escape; F4 nothing; the equivalent lengths handed back, then cancelled.
    ask.dialogScripts = {[](QDialog& d) {
                             field<QLineEdit>(d, "txtQuota")->setText(inLocale("7.5"));
                             field<QPushButton>(d, "btnOK")->click();
                         },
                         [](QDialog& d) {
                             field<QListWidget>(d, "ListaTB")->setCurrentRow(2);
                             static_cast<lstTubi&>(d).choose();
                         },
                         [](QDialog& d) {
                             field<QListWidget>(d, "ListaTB")->setCurrentRow(0);
                             d.reject();
                         },
                         [](QDialog& d) {
                             for (const char* button : {"Command1", "lblA1", "lblA3", "btnRiporta"})
                                 field<QPushButton>(d, button)->click();
                         },
                         [](QDialog& d) {
                             for (const char* button : {"lblA1", "btnAnnulla"})
                                 field<QPushButton>(d, button)->click();
                         }};
    key(trunk->Griglia, Qt::Key_F12);
    at(1, kNome);
    key(trunk->Griglia, Qt::Key_F5);
    trunk->cellAction();
    key(trunk->Griglia, Qt::Key_F4);
    p.NodeTable[1].diameterLocked = true;
    trunk->LunEq();
    trunk->LunEq();
    show(QStringLiteral("F12, F5, Esc, F4, lunghezze equivalenti"));
    seen.line(QStringLiteral("ultima serie %1").arg(p.lastSeries));
    p.NodeTable[2].seriesIndex = 0;
    at(2, kNome);
    trunk->decphi();
    key(trunk->Griglia, Qt::Key_F10);
    seen.step(QStringLiteral("diametro di un KV, F10 sul tronco"))
        .line(QStringLiteral("visibile %1").arg(trunk->isVisible()));
    seen.expectGolden(QStringLiteral("comandi-valori"));
}

TEST(PipePicker, NearestDiameterEscapeAndKv) {
    Project p = testkit::projectWithTestCatalogues();
    lstTubi shown(p);
    EXPECT_EQ(shown.ListaTB->count(), 3);
    EXPECT_EQ(shown.ListaTB->item(0)->text(), QStringLiteral("Coefficiente di flusso(KV)"));
    const struct {
        int16_t series, diameter;
        int row; // -1: the series shown first
        bool chosen;
        int16_t seriesAfter, diameterAfter;
    } cases[] = {
        {1, 1, 2, true, 2, 1},  // 30 mm: 32 mm is the nearest in series 2
        {1, 3, 2, false, 1, 3}, // Escape: the node keeps its series
        {0, 7, 1, true, 1, 0},  // a KV element becomes a pipe of the bore nearest 1 mm
        {2, 1, -1, true, 2, 1}, // the same series: nothing to work out
    };
    for (const auto& c : cases) {
        lstTubi picker(p);
        picker.prepare(c.series, c.diameter);
        if (c.row >= 0)
            picker.ListaTB->setCurrentRow(c.row);
        c.chosen ? picker.choose() : picker.reject();
        EXPECT_EQ(picker.selectedSeries(), c.seriesAfter) << c.series << '/' << c.diameter;
        EXPECT_EQ(picker.diameterIndex(), c.diameterAfter) << c.series << '/' << c.diameter;
    }
}
