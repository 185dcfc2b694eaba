#include "editor/NetworkEdits.h"
#include "editor/frmTubi.h"
#include "editor/lstTubi.h"
#include "model/Calculation.h"
#include "platform/ScriptedInteraction.h"
#include "tests/support/NetworkBuilder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace valmora;
using namespace valmora::grid_column;

namespace {

struct RecordingHost : GridWindowHost {
    std::vector<int16_t> opened;
    int shapeChanges = 0;
    int rebuilds = 0;
    void setEditButtonsEnabled(bool) override {}
    bool saveProject() override { return true; }
    void endProgram() override {}
    bool endingProgram() const override { return false; }
    void openBranchWindow(int16_t firstNode) override { opened.push_back(firstNode); }
    void networkShapeChanged() override { ++shapeChanges; }
    void rebuildActiveWindow() override { ++rebuilds; }
};

const QString kTwoLineBreaks = QStringLiteral("\n\r");

// Trunk A(1) -> B(2) -> C(3, hydrant type 1 at 2 m); B derives D(4) ending in a terminal.
class EditorCommandsTest : public ::testing::Test {
protected:
    Project p = testkit::projectWithTestCatalogues();
    ScriptedInteraction ask;
    RecordingHost host;
    GridIcons icons;
    std::unique_ptr<frmTubi> trunk;

    void SetUp() override {
        testkit::NetworkBuilder build(p);
        const int16_t a = build.root({QStringLiteral("A"), 10, 1, 1, 3});
        const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 8, 1, 1, 2});
        const int16_t c = build.continueAfter(b, {QStringLiteral("C"), 6, 1, 1, 1});
        build.endWithTerminal(c, 1, 2);
        const int16_t d = build.deriveAt(b, {QStringLiteral("D"), 4, 1, 1, 1});
        build.endWithTerminal(d, 2, 0);
        ASSERT_TRUE(Calculate(p).ok);
        trunk = open(1);
    }
    std::unique_ptr<frmTubi> open(int16_t first) {
        auto window = std::make_unique<frmTubi>(p, ask, host, icons, first);
        window->compilatab();
        window->rinfresca();
        return window;
    }
    void key(QWidget* target, int code, const QString& text = QString(),
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
        QApplication::sendEvent(target, &press);
    }
    void type(frmTubi& w, const QString& text) {
        for (const QChar c : text)
            key(w.editing() ? static_cast<QWidget*>(w.Txtedit) : w.Griglia, 0, QString(c));
    }
    QString cell(int row, int column) const { return trunk->Griglia->textMatrix(row, column); }
    void sound() const { ASSERT_EQ(edits::invariantViolation(p), QString()); }
};

} // namespace

TEST_F(EditorCommandsTest, AppendMovesTheTerminalAndRefreshes) {
    trunk->Griglia->setCurrentCell(2, 1);
    trunk->Nuovo(false);
    sound();
    ASSERT_EQ(trunk->Griglia->rows(), 5);
    EXPECT_EQ(cell(4, kNome), QStringLiteral("5"));
    EXPECT_TRUE(p.NodeTable[5].endsInTerminal());
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m 2"));
    // The old last row shows no terminal any more; the cursor stays on its row.
    const QImage blank = icons.picture(GridIcon::Nulla).toImage();
    EXPECT_EQ(trunk->Griglia->model()->data(trunk->Griglia->model()->index(2, kOut), Qt::DecorationRole).value<QPixmap>().toImage(),
              blank);
    EXPECT_EQ(trunk->Griglia->row(), 2);
    EXPECT_FALSE(cell(4, kFlow).isEmpty());
    EXPECT_EQ(host.shapeChanges, 1);
}

TEST_F(EditorCommandsTest, InsertOnTheFirstTrunkRowKeepsTheOrigin) {
    trunk->Griglia->setCurrentCell(1, 0);
    trunk->Nuovo(true);
    sound();
    ASSERT_EQ(trunk->Griglia->rows(), 5);
    EXPECT_EQ(cell(1, kNome), QStringLiteral("5"));
    EXPECT_EQ(cell(1, kMetri), QStringLiteral("0"));
    EXPECT_EQ(cell(1, kLVirt), QStringLiteral("1"));
    EXPECT_EQ(cell(2, kNome), QStringLiteral("A"));
    EXPECT_EQ(cell(2, kMetri), QStringLiteral("10"));
    EXPECT_EQ(trunk->Griglia->rowData(1), 1);
}

TEST_F(EditorCommandsTest, InsertAtTheHeadOfADerivedWindowMovesItsTag) {
    auto branch = open(4);
    branch->Griglia->setCurrentCell(1, 0);
    branch->Nuovo(true);
    sound();
    EXPECT_EQ(branch->tag(), QStringLiteral("5"));
    EXPECT_EQ(branch->property("tag").toString(), QStringLiteral("5"));
    EXPECT_EQ(branch->Griglia->rows(), 3);
    EXPECT_EQ(branch->caption(), QStringLiteral("Deriv. da B"));
}

TEST_F(EditorCommandsTest, DeleteRefusalsAndQuestions) {
    // C is the last node while B still derives: refused.
    trunk->Griglia->setCurrentCell(3, 0);
    trunk->Cancella();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], (MessageRequest{QStringLiteral("Devi prima cancellare la diramazione") + kTwoLineBreaks +
                                                   QStringLiteral("del nodo precedente, l'ultimo deve") + kTwoLineBreaks +
                                                   QStringLiteral("essere un terminale"),
                                               QStringLiteral("Non possibile"), MessageButtons::Ok, MessageIcon::Critical}));

    // B carries a derivation: the warning, cancelled, then confirmed.
    trunk->Griglia->setCurrentCell(2, 0);
    ask.answers = {Answer::Cancel};
    trunk->Cancella();
    EXPECT_EQ(ask.messages[1], (MessageRequest{QStringLiteral("Questo ramo ha delle diramazioni") + kTwoLineBreaks +
                                                   QStringLiteral("che verranno eliminate senza") + kTwoLineBreaks +
                                                   QStringLiteral("ulteriori richieste"),
                                               QStringLiteral("Cancella una intera diramazione"),
                                               MessageButtons::OkCancel, MessageIcon::Exclamation}));
    EXPECT_EQ(trunk->Griglia->rows(), 4);
    ask.answers = {Answer::Ok};
    trunk->Cancella();
    sound();
    EXPECT_EQ(trunk->Griglia->rows(), 3);
    EXPECT_EQ(cell(2, kNome), QStringLiteral("C"));

    // The last node now: a plain confirmation, and the previous node becomes an open end.
    ask.answers = {Answer::Ok};
    trunk->Cancella();
    EXPECT_EQ(ask.messages.back(), (MessageRequest{QStringLiteral("Confermi la cancellazione"), QString(),
                                                   MessageButtons::OkCancel, MessageIcon::Question}));
    EXPECT_EQ(trunk->Griglia->rows(), 2);
    EXPECT_EQ(trunk->Griglia->row(), 1);
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("Nessun terminale "));

    ask.messages.clear();
    trunk->Cancella();
    EXPECT_EQ(ask.messages[0], (MessageRequest{QStringLiteral("Non posso cancellare l'unico ramo !"),
                                               QStringLiteral("Non possibile"), MessageButtons::Ok, MessageIcon::Critical}));
}

TEST_F(EditorCommandsTest, DeletingTheOnlyNodeOfADerivedBranchClosesItsWindow) {
    auto branch = open(4);
    branch->show();
    ask.answers = {Answer::Ok};
    branch->Cancella();
    sound();
    EXPECT_EQ(p.NodeTable[2].derivation, 0);
    EXPECT_FALSE(branch->isVisible());
    EXPECT_EQ(host.rebuilds, 1);
}

TEST_F(EditorCommandsTest, CellActionOnTheOutColumn) {
    // A derivation: its window opens (the main window finds it again by its tag).
    trunk->Griglia->setCurrentCell(2, 0);
    key(trunk->Griglia, Qt::Key_F9);
    EXPECT_EQ(host.opened, std::vector<int16_t>{4});
    EXPECT_EQ(trunk->Griglia->col(), kOut);

    // No derivation yet: the name is asked; an empty answer does nothing.
    trunk->Griglia->setCurrentCell(1, kOut);
    ask.inputs = {QString(), QStringLiteral("Piano terra")};
    trunk->cellAction();
    EXPECT_EQ(p.NodeTable[1].derivation, 0);
    trunk->cellAction();
    sound();
    const int16_t added = p.NodeTable[1].derivation;
    ASSERT_GT(added, 0);
    EXPECT_EQ(p.NodeTable[added].name, QStringLiteral("Piano terra"));
    EXPECT_EQ(cell(1, kOut), QStringLiteral("Piano terra      "));
}

TEST_F(EditorCommandsTest, DiameterStepsAndKvElements) {
    trunk->Griglia->setCurrentCell(2, 0);
    key(trunk->Griglia, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 3);
    EXPECT_EQ(cell(2, kPhi), QStringLiteral("50"));
    trunk->incphi(); // the largest already
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 3);
    key(trunk->Griglia, Qt::Key_Minus, QStringLiteral("-"), Qt::KeypadModifier);
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 2);

    p.NodeTable[2].seriesIndex = 0;
    trunk->decphi();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Questo non è un tubo ma un KV !")});
}

TEST_F(EditorCommandsTest, LokClosesAndReopens) {
    trunk->Griglia->setCurrentCell(3, kFlow);
    trunk->cellAction();
    EXPECT_TRUE(p.NodeTable[3].closed);
    EXPECT_EQ(cell(3, kFlow), QStringLiteral("0"));
    EXPECT_EQ(trunk->Griglia->col(), kFlow);
    trunk->Lok();
    EXPECT_FALSE(p.NodeTable[3].closed);
    EXPECT_NE(cell(3, kFlow), QStringLiteral("0"));
}

TEST_F(EditorCommandsTest, TypingALengthStoresItAndMovesOn) {
    trunk->Griglia->setCurrentCell(1, kMetri);
    const float before = p.totalFlow;
    type(*trunk, QStringLiteral("12"));
    EXPECT_TRUE(trunk->editing());
    EXPECT_EQ(trunk->Txtedit->text(), QStringLiteral("12"));
    key(trunk->Txtedit, Qt::Key_Return);
    EXPECT_EQ(p.NodeTable[1].length, 12.0f);
    EXPECT_EQ(trunk->Griglia->col(), kLVirt);
    EXPECT_FALSE(trunk->editing());
    EXPECT_EQ(cell(1, kMetri), QStringLiteral("12"));
    EXPECT_LT(p.totalFlow, before);
}

TEST_F(EditorCommandsTest, BadNumbersAndEscapeLeaveTheNodeAlone) {
    for (const char* text : {"-3", "dodici", "1.2.3"}) {
        trunk->Griglia->setCurrentCell(1, kMetri);
        type(*trunk, QString::fromLatin1(text));
        key(trunk->Txtedit, Qt::Key_Return);
        EXPECT_EQ(p.NodeTable[1].length, 10.0f) << text;
    }
    trunk->Griglia->setCurrentCell(1, kLVirt);
    type(*trunk, QStringLiteral("7"));
    key(trunk->Txtedit, Qt::Key_Escape);
    EXPECT_FALSE(trunk->editing());
    trunk->Griglia->setCurrentCell(2, kLVirt);
    EXPECT_EQ(p.NodeTable[1].virtualLength, 1.0f);
}

TEST_F(EditorCommandsTest, NamesTakeAnApostropheForAQuote) {
    trunk->Griglia->setCurrentCell(1, kNome);
    type(*trunk, QStringLiteral("Via \"Roma\""));
    trunk->Griglia->setCurrentCell(2, kNome); // leaving the cell stores it
    EXPECT_EQ(p.NodeTable[1].name, QStringLiteral("Via 'Roma'"));
    EXPECT_EQ(cell(1, kNome), QStringLiteral("Via 'Roma'"));
}

TEST_F(EditorCommandsTest, EnterOnTheLastCellKeepsTheBoxUntilTheCursorLeaves) {
    trunk->Griglia->setCurrentCell(3, kLVirt);
    type(*trunk, QStringLiteral("4"));
    key(trunk->Txtedit, Qt::Key_Return);
    EXPECT_TRUE(trunk->editing());
    EXPECT_EQ(trunk->Griglia->row(), 3);
    EXPECT_EQ(p.NodeTable[3].virtualLength, 1.0f);
    key(trunk->Txtedit, Qt::Key_Down);
    EXPECT_TRUE(trunk->editing());
    trunk->Griglia->setCurrentCell(1, kNome);
    EXPECT_EQ(p.NodeTable[3].virtualLength, 4.0f);
}

TEST_F(EditorCommandsTest, ItalianDecimalComma) {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    trunk->Griglia->setCurrentCell(2, kMetri);
    type(*trunk, QStringLiteral("2,5"));
    key(trunk->Txtedit, Qt::Key_Up);
    EXPECT_EQ(p.NodeTable[2].length, 2.5f);
    EXPECT_EQ(trunk->Griglia->row(), 1);
    QLocale::setDefault(QLocale::c());
}

TEST_F(EditorCommandsTest, LettersOutsideTheDataColumnsDoNothing) {
    trunk->Griglia->setCurrentCell(1, kTipo);
    type(*trunk, QStringLiteral("NI"));
    EXPECT_FALSE(trunk->editing());
    EXPECT_EQ(trunk->Griglia->row(), 1);
    EXPECT_EQ(trunk->Griglia->col(), kTipo);
}

TEST_F(EditorCommandsTest, StructuralCommandsStoreTheTypedValueFirst) {
    trunk->Griglia->setCurrentCell(1, kNome);
    type(*trunk, QStringLiteral("x"));
    trunk->Nuovo(false);
    EXPECT_FALSE(trunk->editing());
    EXPECT_EQ(p.NodeTable[1].name, QStringLiteral("x"));
    EXPECT_EQ(p.nodeCount(), 5);
    EXPECT_TRUE(ask.messages.empty());
}

TEST(PipePicker, NearestDiameterEscapeAndKv) {
    Project p = testkit::projectWithTestCatalogues();
    {
        lstTubi picker(p);
        EXPECT_EQ(picker.ListaTB->count(), 3);
        EXPECT_EQ(picker.ListaTB->item(0)->text(), QStringLiteral("Coefficiente di flusso(KV)"));
        picker.prepare(1, 1); // 30 mm
        picker.ListaTB->setCurrentRow(2);
        picker.choose();
        EXPECT_EQ(picker.selectedSeries(), 2);
        EXPECT_EQ(picker.diameterIndex(), 1); // 32 mm is nearest to 30
    }
    {
        lstTubi picker(p);
        picker.prepare(1, 3);
        picker.ListaTB->setCurrentRow(2);
        picker.reject(); // Escape: the node keeps its series
        EXPECT_EQ(picker.selectedSeries(), 1);
        EXPECT_EQ(picker.diameterIndex(), 3);
    }
    {
        lstTubi picker(p);
        picker.prepare(0, 7); // a KV element becomes a pipe of the bore nearest 1 mm
        picker.ListaTB->setCurrentRow(1);
        picker.choose();
        EXPECT_EQ(picker.diameterIndex(), 0);
    }
    {
        lstTubi picker(p);
        picker.prepare(2, 1);
        picker.choose(); // the same series: nothing to work out
        EXPECT_EQ(picker.selectedSeries(), 2);
        EXPECT_EQ(picker.diameterIndex(), 1);
    }
}

namespace {

template <typename Widget> Widget* field(QDialog& dialog, const char* name) {
    return dialog.findChild<Widget*>(QString::fromLatin1(name));
}

} // namespace

TEST_F(EditorCommandsTest, FunctionKeysReachTheirDialogs) {
    // F12: the terminal at the end of the branch.
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QLineEdit>(d, "txtQuota")->setText(QStringLiteral("7.5"));
        field<QPushButton>(d, "btnOK")->click();
    });
    key(trunk->Griglia, Qt::Key_F12);
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("Fine")});
    EXPECT_EQ(p.TerminalTable[1].height, 7.5f);
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m 7.5"));
    EXPECT_EQ(trunk->Griglia->row(), 3);

    // F5: the pipe picker; another series with the nearest bore.
    trunk->Griglia->setCurrentCell(1, 0);
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QListWidget>(d, "ListaTB")->setCurrentRow(2);
        static_cast<lstTubi&>(d).choose();
    });
    key(trunk->Griglia, Qt::Key_F5);
    EXPECT_EQ(p.NodeTable[1].seriesIndex, 2);
    EXPECT_EQ(p.NodeTable[1].diameterIndex, 1); // 32 mm is the nearest to 50 in series 2
    EXPECT_EQ(p.lastSeries, 2);
    EXPECT_EQ(cell(1, kTipo), QStringLiteral("INOX "));

    // Escape in the picker keeps the series.
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QListWidget>(d, "ListaTB")->setCurrentRow(0);
        d.reject();
    });
    trunk->cellAction();
    EXPECT_EQ(p.NodeTable[1].seriesIndex, 2);

    // F4 does nothing; Delete asks.
    key(trunk->Griglia, Qt::Key_F4);
    EXPECT_EQ(ask.dialogsShown.size(), 3);
    trunk->Griglia->setCurrentCell(1, 0);
    key(trunk->Griglia, Qt::Key_Delete);
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Confermi la cancellazione"));
    EXPECT_EQ(p.nodeCount(), 4);
}

TEST_F(EditorCommandsTest, EquivalentLengthsHandedBack) {
    trunk->Griglia->setCurrentCell(1, 0);
    p.NodeTable[1].diameterLocked = true;
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QPushButton>(d, "Command1")->click();
        field<QPushButton>(d, "lblA1")->click();
        field<QPushButton>(d, "lblA3")->click();
        field<QPushButton>(d, "btnRiporta")->click();
    });
    trunk->LunEq();
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("frmLEQ")});
    EXPECT_EQ(p.NodeTable[1].virtualLength, 3.6f); // elbow 1.2 + tee 2.4: a 50 mm bore is in the 40 mm class
    EXPECT_TRUE(p.NodeTable[1].diameterLocked);
    EXPECT_EQ(cell(1, kLVirt), QStringLiteral("3.6"));

    ask.dialogScripts.push_back([](QDialog& d) {
        field<QPushButton>(d, "lblA1")->click();
        field<QPushButton>(d, "btnAnnulla")->click();
    });
    trunk->LunEq();
    EXPECT_EQ(p.NodeTable[1].virtualLength, 3.6f);
}

TEST_F(EditorCommandsTest, F10ClosesABranchWindowButNotTheTrunk) {
    trunk->show();
    key(trunk->Griglia, Qt::Key_F10);
    EXPECT_TRUE(trunk->isVisible());
    auto branch = open(4);
    branch->show();
    key(branch->Griglia, Qt::Key_F10);
    EXPECT_FALSE(branch->isVisible());
}
