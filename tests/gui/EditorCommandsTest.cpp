#include "editor/NetworkEdits.h"
#include "editor/lstTubi.h"
#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"

#include <QLabel>
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
    QString cell(int row, int column) const { return trunk->Griglia->textMatrix(row, column); }
    void at(int row, int column) { trunk->Griglia->setCurrentCell(row, column); }
    void sound() const { ASSERT_EQ(edits::invariantViolation(p), QString()); }
};

} // namespace

TEST_F(EditorCommandsTest, AppendMovesTheTerminalAndRefreshes) {
    at(2, 1);
    trunk->Nuovo(false);
    sound();
    ASSERT_EQ(trunk->Griglia->rows(), 5);
    EXPECT_EQ(cell(4, kNome), QStringLiteral("5"));
    EXPECT_TRUE(p.NodeTable[5].endsInTerminal());
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m 2"));
    // The old last row shows no terminal any more; the cursor stays on its row.
    EXPECT_EQ(outPicture(*trunk->Griglia, 3), icon(GridIcon::Nulla));
    EXPECT_EQ(trunk->Griglia->row(), 2);
    EXPECT_FALSE(cell(4, kFlow).isEmpty());
    EXPECT_EQ(host.shapeChanges, 1);
}

TEST_F(EditorCommandsTest, InsertAtTheHeadKeepsTheTrunkOriginAndMovesADerivedTag) {
    at(1, 0);
    trunk->Nuovo(true);
    sound();
    ASSERT_EQ(trunk->Griglia->rows(), 5);
    EXPECT_EQ(rowTexts(*trunk->Griglia, 1, {kNome, kMetri, kLVirt}), (QStringList{"5", "0", "1"}));
    EXPECT_EQ(rowTexts(*trunk->Griglia, 2, {kNome, kMetri}), (QStringList{"A", "10"}));
    EXPECT_EQ(trunk->Griglia->rowData(1), 1);

    auto branch = open(4);
    branch->Griglia->setCurrentCell(1, 0);
    branch->Nuovo(true);
    sound();
    EXPECT_EQ(branch->tag(), QStringLiteral("6"));
    EXPECT_EQ(branch->property("tag").toString(), branch->tag()); // how the main window finds it
    EXPECT_EQ(branch->Griglia->rows(), 3);
    EXPECT_EQ(branch->caption(), QStringLiteral("Deriv. da B"));
}

TEST_F(EditorCommandsTest, DeleteRefusalsAndQuestions) {
    const QString impossible = QStringLiteral("Non possibile");
    const auto lines = [](const QStringList& texts) { return texts.join(QStringLiteral("\n\r")); };
    const MessageRequest derivationFirst{lines({"Devi prima cancellare la diramazione",
                                                "del nodo precedente, l'ultimo deve", "essere un terminale"}),
                                         impossible, MessageButtons::Ok, MessageIcon::Critical};
    const MessageRequest wholeBranch{
        lines({"Questo ramo ha delle diramazioni", "che verranno eliminate senza", "ulteriori richieste"}),
        QStringLiteral("Cancella una intera diramazione"), MessageButtons::OkCancel,
        MessageIcon::Exclamation};
    const MessageRequest confirm{QStringLiteral("Confermi la cancellazione"), QString(),
                                 MessageButtons::OkCancel, MessageIcon::Question};
    const MessageRequest onlyBranch{QStringLiteral("Non posso cancellare l'unico ramo !"), impossible,
                                    MessageButtons::Ok, MessageIcon::Critical};
    // In turn: C is the last node while B still derives; B carries a derivation (cancelled,
    // then confirmed); C is the last node (the previous one becomes an open end); the only node.
    const struct {
        int row;
        std::vector<Answer> answers;
        MessageRequest asked;
        int rowsAfter;
    } steps[] = {{3, {}, derivationFirst, 4},
                 {2, {Answer::Cancel}, wholeBranch, 4},
                 {2, {Answer::Ok}, {}, 3},
                 {2, {Answer::Ok}, confirm, 2},
                 {1, {}, onlyBranch, 2}};
    for (const auto& step : steps) {
        at(step.row, 0);
        ask.answers.assign(step.answers.begin(), step.answers.end());
        trunk->Cancella();
        sound();
        if (!step.asked.text.isEmpty()) {
            EXPECT_EQ(ask.messages.back(), step.asked) << step.row;
        }
        EXPECT_EQ(trunk->Griglia->rows(), step.rowsAfter) << step.asked.text.toStdString();
    }
    EXPECT_EQ(ask.messages.size(), 5u);
    EXPECT_EQ(trunk->Griglia->row(), 1);
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("Nessun terminale "));
    EXPECT_EQ(cell(1, kNome), QStringLiteral("A"));
}

TEST_F(EditorCommandsTest, CellActionOnTheOutColumn) {
    // A derivation: its window opens (the main window finds it again by its tag).
    at(2, 0);
    key(trunk->Griglia, Qt::Key_F9);
    EXPECT_EQ(host.opened, std::vector<int16_t>{4});
    EXPECT_EQ(trunk->Griglia->col(), kOut);

    // No derivation yet: the name is asked; an empty answer does nothing.
    at(1, kOut);
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
    at(2, 0);
    key(trunk->Griglia, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 3);
    EXPECT_EQ(cell(2, kPhi), QStringLiteral("50"));
    key(trunk->Griglia, Qt::Key_Minus, QStringLiteral("-"), Qt::KeypadModifier);
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 2);

    p.NodeTable[2].seriesIndex = 0;
    trunk->decphi();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Questo non è un tubo ma un KV !")});
}

TEST_F(EditorCommandsTest, TypedValuesAreStoredAndTheCursorMovesOn) {
    at(1, kMetri);
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

    // A decimal typed in the locale's form; an arrow key stores it and moves.
    at(2, kMetri);
    type(*trunk, inLocale("2.5"));
    key(trunk->Txtedit, Qt::Key_Up);
    EXPECT_EQ(p.NodeTable[2].length, 2.5f);
    EXPECT_EQ(cell(2, kMetri), inLocale("2.5"));
    EXPECT_EQ(trunk->Griglia->row(), 1);

    // Enter on the last row keeps the box open until the cursor leaves the cell.
    at(3, kLVirt);
    type(*trunk, QStringLiteral("4"));
    key(trunk->Txtedit, Qt::Key_Return);
    EXPECT_TRUE(trunk->editing());
    EXPECT_EQ(trunk->Griglia->row(), 3);
    EXPECT_EQ(p.NodeTable[3].virtualLength, 1.0f);
    key(trunk->Txtedit, Qt::Key_Down);
    EXPECT_TRUE(trunk->editing());
    at(1, kNome);
    EXPECT_EQ(p.NodeTable[3].virtualLength, 4.0f);

    // A name takes an apostrophe for a quote.
    type(*trunk, QStringLiteral("Via \"Roma\""));
    at(2, kNome);
    EXPECT_EQ(p.NodeTable[1].name, QStringLiteral("Via 'Roma'"));
    EXPECT_EQ(cell(1, kNome), QStringLiteral("Via 'Roma'"));
}

TEST_F(EditorCommandsTest, BadNumbersEscapeAndLettersOutsideTheDataColumnsLeaveTheNodeAlone) {
    for (const char* text : {"-3", "dodici", "1.2.3"}) {
        at(1, kMetri);
        type(*trunk, QString::fromLatin1(text));
        key(trunk->Txtedit, Qt::Key_Return);
        EXPECT_EQ(p.NodeTable[1].length, 10.0f) << text;
    }
    at(1, kLVirt);
    type(*trunk, QStringLiteral("7"));
    key(trunk->Txtedit, Qt::Key_Escape);
    EXPECT_FALSE(trunk->editing());
    at(2, kLVirt);
    EXPECT_EQ(p.NodeTable[1].virtualLength, 1.0f);

    at(1, kTipo);
    type(*trunk, QStringLiteral("NI"));
    EXPECT_FALSE(trunk->editing());
    EXPECT_EQ(trunk->Griglia->row(), 1);
    EXPECT_EQ(trunk->Griglia->col(), kTipo);
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

TEST_F(EditorCommandsTest, FunctionKeysReachTheirDialogs) {
    // F12: the terminal at the end of the branch, its height typed in the locale's form.
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QLineEdit>(d, "txtQuota")->setText(inLocale("7.5"));
        field<QPushButton>(d, "btnOK")->click();
    });
    key(trunk->Griglia, Qt::Key_F12);
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("Fine")});
    EXPECT_EQ(p.TerminalTable[1].height, 7.5f);
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("Idrante K80 - Quota m ") + inLocale("7.5"));
    EXPECT_EQ(trunk->Griglia->row(), 3);

    // F5: the pipe picker; another series with the nearest bore.
    at(1, 0);
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

    // F4 does nothing.
    key(trunk->Griglia, Qt::Key_F4);
    EXPECT_EQ(ask.dialogsShown.size(), 3);

    // F10 closes a branch window but not the trunk.
    key(trunk->Griglia, Qt::Key_F10);
    EXPECT_TRUE(trunk->isVisible());
    auto branch = open(4);
    key(branch->Griglia, Qt::Key_F10);
    EXPECT_FALSE(branch->isVisible());
}

TEST_F(EditorCommandsTest, EquivalentLengthsHandedBack) {
    at(1, 0);
    p.NodeTable[1].diameterLocked = true;
    ask.dialogScripts.push_back([](QDialog& d) {
        for (const char* button : {"Command1", "lblA1", "lblA3", "btnRiporta"})
            field<QPushButton>(d, button)->click();
    });
    trunk->LunEq();
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("frmLEQ")});
    EXPECT_EQ(p.NodeTable[1].virtualLength, 3.6f); // elbow 1.2 + tee 2.4: a 50 mm bore is in the 40 mm class
    EXPECT_TRUE(p.NodeTable[1].diameterLocked);
    EXPECT_EQ(cell(1, kLVirt), inLocale("3.6"));

    ask.dialogScripts.push_back([](QDialog& d) {
        for (const char* button : {"lblA1", "btnAnnulla"})
            field<QPushButton>(d, button)->click();
    });
    trunk->LunEq();
    EXPECT_EQ(p.NodeTable[1].virtualLength, 3.6f);
}
