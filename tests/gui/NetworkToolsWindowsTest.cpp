#include "GuiTestSupport.h"

#include "editor/GlobalChangeDialogs.h"
#include "editor/frmMatrice.h"
#include "model/Calculation.h"
#include "model/Traversal.h"
#include "storage/ProjectFile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace valmora::guitest {
namespace {

// The example project opened in the program, run in a folder of its own (where the
// snippet file lives).
class NetworkTools : public MainWindowFixture {
protected:
    QString home = QDir::currentPath();
    void SetUp() override {
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        QFile::copy(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"), path(QStringLiteral("esempio.vlm")));
        open(path(QStringLiteral("esempio.vlm")));
        ASSERT_TRUE(started);
    }
    void TearDown() override { QDir::setCurrent(home); }
    void cursorOn(int16_t node) {
        trunk()->Griglia->setCurrentCell(1, grid_column::kMetri); // a cell on another row first
        for (int r = 1; r < trunk()->Griglia->rows(); ++r)
            if (trunk()->Griglia->rowData(r) == node)
                trunk()->Griglia->setCurrentCell(r, grid_column::kNome);
        ASSERT_EQ(project().currentNode, node);
    }
    std::size_t reachable() { return networkPreorder(project()).size(); }
};

TEST_F(NetworkTools, CopyAndPasteThroughTheSnippetFile) {
    QAction* paste = window->toolbarButton(QStringLiteral("Incolla"));
    EXPECT_FALSE(paste->isEnabled());
    window->pasteSnippet();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Nessun ritaglio da incollare")});

    const std::size_t whole = reachable();
    cursorOn(1);
    button("Copia");
    EXPECT_TRUE(paste->isEnabled());
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("Ritaglio.idx"))));
    const int16_t last = branchEnd(project(), 1); // "Idr. N2", a leaf with its hydrant
    cursorOn(last);
    button("Incolla");
    EXPECT_EQ(reachable(), 2 * whole);
    EXPECT_EQ(trunk()->Griglia->rows() - 1, 2 * 6); // the trunk window shows the pasted trunk after its own
    EXPECT_EQ(ask.messages.size(), 1u);             // a paste asks nothing

    // A snippet cut short is refused and changes nothing.
    QFile snippet(path(QStringLiteral("Ritaglio.idx")));
    ASSERT_TRUE(snippet.open(QIODevice::ReadWrite));
    snippet.resize(snippet.size() / 3);
    snippet.close();
    const QByteArray before = projectFileBytes(project());
    button("Incolla");
    EXPECT_TRUE(ask.messageTexts().last().startsWith(QStringLiteral("Errore legginodo riga ")));
    EXPECT_EQ(projectFileBytes(project()), before);
}

TEST_F(NetworkTools, ImportAsksThenGraftsAnotherProject) {
    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
    button("schema");
    ASSERT_EQ(window->activeChild(), window->schemaWindow());
    trigger("mnuImporta");
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Non e' possibile importare qui !")});
    window->schemaWindow()->chiudi();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ask.messages.clear();
    cursorOn(1);
    ask.answers = {Answer::Ok};
    ask.fileNames = {QString()}; // the file dialog cancelled
    trigger("mnuImporta");
    const MessageRequest& question = ask.messages.at(0);
    EXPECT_EQ(question.text,
              QStringLiteral("Operazione non reversibile\r\ntutti i nodi a partire dal cursore\r\n"
                             "saranno sostituiti.\r\nProcedo ?"));
    EXPECT_EQ(question.title, QStringLiteral("Importa"));
    EXPECT_EQ(question.buttons, MessageButtons::OkCancel);
    EXPECT_EQ(ask.messageTexts().at(1), QStringLiteral("Operazione annullata"));

    const std::size_t whole = reachable();
    ask.answers = {Answer::Ok};
    ask.fileNames = {QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm")};
    trigger("mnuImporta");
    EXPECT_EQ(ask.fileDialogs.last(), QStringLiteral("open|Progetti Valmora (*.vlm)|*.vlm|"));
    EXPECT_EQ(reachable(), whole + 1); // node 1 and, after it, the whole example again
}

TEST_F(NetworkTools, CombDialogConfirmsThenBuilds) {
    const int16_t end = branchEnd(project(), 1);
    cursorOn(end);
    const std::size_t before = reachable();
    ask.answers = {Answer::Cancel, Answer::Ok};
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& comb = static_cast<frmMatrice&>(d);
        EXPECT_EQ(comb.txtArr[1]->text(), QStringLiteral("2"));
        EXPECT_TRUE(comb.lblTesto->text().endsWith(
            QStringLiteral("il tipo di terminale e la quota saranno quelli di origine.")));
        const auto type = [&](int box, const char* text) {
            comb.txtArr[std::size_t(box)]->setText(QString::fromLatin1(text));
            emit comb.txtArr[std::size_t(box)]->textEdited(comb.txtArr[std::size_t(box)]->text());
        };
        type(2, "1,5"); // not a whole number
        comb.btnOK->click();
        type(2, "0");
        EXPECT_FALSE(comb.btnOK->isEnabled());
        type(2, "300");
        type(3, "40000"); // more than 16 bits hold
        comb.btnOK->click();
        type(3, "2");
        comb.btnOK->click(); // the summary cancelled: the dialog stays
        EXPECT_EQ(comb.result(), QDialog::Rejected);
        EXPECT_EQ(comb.nodesAdded(), 0);
        comb.btnOK->click();
    });
    trigger("mnuMatrice");
    ASSERT_EQ(ask.messages.size(), 4u);
    EXPECT_EQ(
        ask.messages[0].text,
        QStringLiteral("Valore non valido in \"Interasse fra gli ugelli (in cm)\": serve un numero intero."));
    EXPECT_EQ(ask.messages[1].text,
              QStringLiteral("Valore non valido in \"Da una parte\": serve un numero da -32768 a 32767."));
    EXPECT_EQ(ask.messages[2].title, QStringLiteral("Creazione rete Sprinkler"));
    EXPECT_EQ(ask.messages[2].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(ask.messages[2].text.contains(QStringLiteral("La superficie coperta sarà di 72") +
                                              QLocale().decimalPoint() + QStringLiteral("0 mq.")));
    EXPECT_EQ(reachable(), before + 32);
    EXPECT_GT(trunk()->Griglia->rows() - 1, 6); // the comb goes on the trunk's branch
    EXPECT_GT(project().totalFlow, 0);

    // A branch ending without a terminal has nothing for a comb to replace.
    project().NodeTable[std::size_t(end)].next = kEndWithoutTerminal;
    project().NodeTable[std::size_t(end)].derivation = 0;
    ask.messages.clear();
    trigger("mnuMatrice");
    EXPECT_TRUE(ask.messageTexts().value(0).startsWith(
        QStringLiteral("Il ramo del cursore non termina con un terminale")));
    EXPECT_EQ(ask.dialogsShown.size(), 1);
}

TEST_F(NetworkTools, GlobalChangesReportTheirCountsOrSayWhyNothingCanChange) {
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& change = static_cast<frmCambiaFine&>(d);
        EXPECT_EQ(change.windowTitle(), QStringLiteral("Cambia i terminali dell'impianto"));
        // It opens on the source type itself, O.K off until another type is chosen.
        EXPECT_EQ(change.Combo2->currentIndex(), change.Combo1->currentData().toInt());
        EXPECT_FALSE(change.btnOK->isEnabled());
        change.Combo2->setCurrentIndex((change.Combo1->currentData().toInt() + 1) % change.Combo2->count());
        EXPECT_TRUE(change.btnOK->isEnabled());
        change.btnOK->click();
    });
    trigger("mnuCambiaTerm");
    EXPECT_EQ(ask.messages.at(0).title, QStringLiteral("Cambiamento tipo di terminale"));
    EXPECT_TRUE(ask.messages.at(0).text.startsWith(QStringLiteral("Ho cambiato ")));

    for (Node& node : project().NodeTable)
        node.diameterLocked = true;
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& change = static_cast<frmCambiaTB&>(d);
        EXPECT_EQ(change.Combo1->count(), 0);
        EXPECT_FALSE(change.btnOK->isEnabled());
        EXPECT_FALSE(change.lblNothing->text().isEmpty());
    });
    trigger("mnuCambiaTB");
    EXPECT_EQ(ask.messages.size(), 1u);
}

} // namespace
} // namespace valmora::guitest
