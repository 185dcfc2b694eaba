// The network-wide tools in the running program on the example, written out as the designer
// sees them: copy and paste through the snippet file (a snippet cut short refused, nothing
// changed), import asked first and refused on the schema, the comb dialog's checks and
// summary, the global changes' counts or why nothing can change.

#include "GuiTestSupport.h"

#include "editor/GlobalChangeDialogs.h"
#include "editor/frmMatrice.h"
#include "model/Traversal.h"
#include "storage/ProjectFile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace valmora::guitest {
namespace {

class NetworkTools : public MainWindowFixture {
protected:
    void SetUp() override { openExampleCopy(); }
    void cursorOn(int16_t node) {
        trunk()->Griglia->setCurrentCell(1, grid_column::kMetri); // a cell on another row first
        for (int r = 1; r < trunk()->Griglia->rows(); ++r)
            if (trunk()->Griglia->rowData(r) == node)
                trunk()->Griglia->setCurrentCell(r, grid_column::kNome);
        ASSERT_EQ(session().currentNode, node);
    }
    void show(const QString& what) {
        seen.step(what).program(*window).grid(*trunk()).line(
            QStringLiteral("nodi raggiungibili %1").arg(networkPreorder(project()).size()));
    }
};

TEST_F(NetworkTools, CopyPasteAndImport) {
    window->pasteSnippet();
    cursorOn(1);
    button("Copia");
    cursorOn(branchEnd(project(), 1)); // "Idr. N2", a leaf with its hydrant
    button("Incolla");
    show(QStringLiteral("incolla senza ritaglio, poi copia del tronco e incolla in fondo"));
    QFile snippet(path(QStringLiteral("Ritaglio.idx")));
    ASSERT_TRUE(snippet.open(QIODevice::ReadWrite));
    snippet.resize(snippet.size() / 3);
    snippet.close();
    const QByteArray before = projectFileBytes(project());
    button("Incolla");
    seen.step(QStringLiteral("ritaglio tagliato"))
        .line(QStringLiteral("rete invariata %1").arg(projectFileBytes(project()) == before));

    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
    button("schema");
    trigger("mnuImporta");
    window->schemaWindow()->chiudi();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    cursorOn(1);
    ask.answers = {Answer::Ok, Answer::Ok};
    ask.fileNames = {QString(), QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm")};
    trigger("mnuImporta");
    trigger("mnuImporta");
    show(QStringLiteral("importa: sullo schema, annullato, poi l'esempio dopo il nodo 1"));
    seen.expectGolden(QStringLiteral("copia-importa"));
}

TEST_F(NetworkTools, CombAndGlobalChanges) {
    const int16_t end = branchEnd(project(), 1);
    cursorOn(end);
    ask.answers = {Answer::Cancel, Answer::Ok};
    ask.dialogScripts.push_back([this](QDialog& d) {
        auto& comb = static_cast<frmMatrice&>(d);
        seen.line(comb.lblTesto->text()).line(QStringLiteral("derivazioni: ") + comb.txtArr[1]->text());
        const auto type = [&](int box, const char* text) {
            comb.txtArr[std::size_t(box)]->setText(QString::fromLatin1(text));
            emit comb.txtArr[std::size_t(box)]->textEdited(comb.txtArr[std::size_t(box)]->text());
        };
        type(2, "1,5"); // not a whole number
        comb.btnOK->click();
        type(2, "0");
        seen.line(QStringLiteral("O.K con 0: %1").arg(comb.btnOK->isEnabled()));
        type(2, "300");
        type(3, "40000"); // more than 16 bits hold
        comb.btnOK->click();
        type(3, "2");
        type(5, "250");      // the take-offs nearer than the nozzles
        comb.btnOK->click(); // the summary cancelled: the dialog stays
        seen.line(QStringLiteral("nodi aggiunti %1").arg(comb.nodesAdded()));
        comb.btnOK->click();
    });
    trigger("mnuMatrice");
    show(QStringLiteral("pettine"));
    project().NodeTable[std::size_t(end)].next = kEndWithoutTerminal;
    project().NodeTable[std::size_t(end)].derivation = 0;
    trigger("mnuMatrice");
    seen.step(QStringLiteral("pettine su un ramo senza terminale"));

    ask.dialogScripts.push_back([this](QDialog& d) {
        auto& change = static_cast<frmCambiaFine&>(d);
        // It opens on the source type itself, O.K off until another type is chosen.
        seen.line(change.windowTitle() + QStringLiteral(": ") + change.Combo1->currentText() +
                  QStringLiteral(" -> ") + change.Combo2->currentText() +
                  QStringLiteral(", O.K %1").arg(change.btnOK->isEnabled()));
        change.Combo2->setCurrentIndex((change.Combo1->currentData().toInt() + 1) % change.Combo2->count());
        change.btnOK->click();
    });
    trigger("mnuCambiaTerm");
    ask.dialogScripts.push_back([](QDialog& d) { // the second series in use, polyethylene, to steel
        auto& change = static_cast<frmCambiaTB&>(d);
        change.Combo1->setCurrentIndex(1);
        change.Combo2->setCurrentIndex(0);
        change.btnOK->click();
    });
    trigger("mnuCambiaTB");
    for (Node& node : project().NodeTable)
        node.diameterLocked = true;
    ask.dialogScripts.push_back([this](QDialog& d) {
        auto& change = static_cast<frmCambiaTB&>(d);
        seen.line(QStringLiteral("serie da cambiare %1, O.K %2: ")
                      .arg(change.Combo1->count())
                      .arg(change.btnOK->isEnabled()) +
                  change.lblNothing->text());
    });
    trigger("mnuCambiaTB");
    show(QStringLiteral("cambia terminali; tubi tutti bloccati"));
    seen.expectGolden(QStringLiteral("pettine-cambi"));
}

} // namespace
} // namespace valmora::guitest
