// The editing commands of a grid window, on the node of the cursor row.

#include "editor/ChangeLabels.h"
#include "editor/NetworkEdits.h"
#include "editor/frmTubi.h"
#include "editor/lstTubi.h"
#include "model/Calculation.h"
#include "model/NumberFormat.h"

#include <QLineEdit>
#include <QMenu>

namespace valmora {

namespace {

using namespace grid_column;

const QString kRefusedTitle = QStringLiteral("Non possibile");
// Lines of the three-line messages are parted by a line feed and a carriage return.
const QString kMessageLineBreak = QStringLiteral("\n\r");

QString threeLines(const char* first, const char* second, const char* third) {
    return QString::fromUtf8(first) + kMessageLineBreak + QString::fromUtf8(second) + kMessageLineBreak +
           QString::fromUtf8(third);
}

} // namespace

bool frmTubi::refuseWhenFull(bool added) {
    if (!added)
        interaction_.inform(tableFullMessage(), kRefusedTitle, MessageIcon::Exclamation);
    return !added;
}

void frmTubi::afterStructureChange(int16_t recalculateFrom, int row) {
    const int column = std::max(Griglia->col(), 0);
    ResistanceUp(project_, results_, recalculateFrom);
    reportOutcome(FlowPass(project_, results_));
    compilatab();
    Griglia->setCurrentCell(std::min(row, lastRow()), column);
    showResults();
    host_.networkShapeChanged();
}

void frmTubi::Nuovo(bool inMiddle) {
    commitEdit();
    host_.commitPendingEdits(); // the other windows' too: the shape may change under them
    if (Griglia->rows() < 2)
        return;
    const int row = Griglia->row() >= 1 ? Griglia->row() : 1;
    const int16_t cursor = nodeOfRow(row);
    if (!inMiddle) {
        const std::optional<int16_t> added = edits::appendAfter(project_, nodeOfRow(lastRow()));
        if (refuseWhenFull(added.has_value()))
            return;
        afterStructureChange(*added, row);
        host_.recordChange(change_label::kAppend, cursor);
    } else {
        const std::optional<edits::Insertion> inserted = edits::insertBefore(project_, cursor);
        if (refuseWhenFull(inserted.has_value()))
            return;
        if (inserted->newBranchStart > 0)
            setFirstNode(inserted->newBranchStart);
        afterStructureChange(inserted->node, row);
        host_.recordChange(change_label::kInsert, cursor);
    }
}

void frmTubi::Cancella() {
    commitEdit();
    host_.commitPendingEdits(); // the other windows' too: the shape may change under them
    if (Griglia->row() < 1)
        return;
    const int row = Griglia->row();
    const int16_t node = cursorNode();
    switch (edits::checkDelete(project_, node)) {
    case edits::DeleteCheck::RefusedOnlyBranch:
        interaction_.inform(QStringLiteral("Non posso cancellare l'unico ramo !"), kRefusedTitle,
                            MessageIcon::Critical);
        return;
    case edits::DeleteCheck::RefusedDerivationFirst:
        interaction_.inform(threeLines("Devi prima cancellare la diramazione",
                                       "del nodo precedente, l'ultimo deve", "essere un terminale"),
                            kRefusedTitle, MessageIcon::Critical);
        return;
    case edits::DeleteCheck::ConfirmDeleteDerivation:
        if (interaction_.message({threeLines("Questo ramo ha delle diramazioni",
                                             "che verranno eliminate senza", "ulteriori richieste"),
                                  QStringLiteral("Cancella una intera diramazione"), MessageButtons::OkCancel,
                                  MessageIcon::Exclamation}) != Answer::Ok)
            return;
        break;
    case edits::DeleteCheck::ConfirmDelete:
        if (interaction_.message({QStringLiteral("Confermi la cancellazione?"), QString(),
                                  MessageButtons::OkCancel, MessageIcon::Question}) != Answer::Ok)
            return;
        break;
    }
    // The rings closed on what goes: asked apart, as they are not in this window.
    if (const int rings = edits::loopPipesGoneWith(project_, node); rings > 0) {
        const QString what = rings == 1 ? QStringLiteral("1 anello") : QStringLiteral("%1 anelli").arg(rings);
        if (interaction_.message({QStringLiteral("Con il nodo si cancella%1 %2 che vi si chiud%3.\nConfermi?")
                                      .arg(rings == 1 ? QString() : QStringLiteral("no"), what,
                                           rings == 1 ? QStringLiteral("e") : QStringLiteral("ono")),
                                  QStringLiteral("Cancella anelli"), MessageButtons::OkCancel,
                                  MessageIcon::Exclamation}) != Answer::Ok)
            return;
    }
    const edits::Deletion deletion = edits::deleteNode(project_, node);
    host_.recordChange(change_label::kDelete, node);
    if (deletion.derivedBranchRemoved) {
        ResistanceUp(project_, results_, deletion.recalculateFrom);
        reportOutcome(FlowPass(project_, results_));
        host_.networkShapeChanged();
        chiudi();
        host_.rebuildActiveWindow();
        return;
    }
    if (deletion.newBranchStart > 0)
        setFirstNode(deletion.newBranchStart);
    afterStructureChange(deletion.recalculateFrom, row);
}

void frmTubi::dirama() {
    commitEdit();
    host_.commitPendingEdits(); // the other windows' too: the shape may change under them
    const int16_t node = cursorNode();
    const std::optional<QString> name = interaction_.inputBox(
        QStringLiteral("Nome del nuovo ramo"), QStringLiteral("Aggiunta di un nuovo ramo"), QString());
    if (!name || name->isEmpty())
        return;
    const std::optional<int16_t> added = edits::addDerivation(project_, node, *name);
    if (refuseWhenFull(added.has_value()))
        return;
    afterStructureChange(*added, Griglia->row());
    host_.recordChange(change_label::kDerivation, node);
}

void frmTubi::terminalAction() {
    const int16_t node = cursorNode();
    const Node& n = project_.NodeTable[node];
    if (n.hasDerivation()) {
        host_.openBranchWindow(n.derivation);
        return;
    }
    if (n.continues()) {
        dirama();
        return;
    }
    if (n.endsInTerminal() || n.next == kEndWithoutTerminal)
        statusLineClicked();
}

void frmTubi::stepDiameter(bool up) {
    if (Griglia->row() < 1)
        return;
    const int16_t node = cursorNode();
    const Node& n = project_.NodeTable[node];
    if (n.isKvElement()) {
        interaction_.inform(QStringLiteral("Questo non è un tubo ma un KV !"));
        Griglia->setFocus();
        return;
    }
    if (!edits::stepDiameter(project_, node, up))
        return;
    Griglia->setTextMatrix(Griglia->row(), kPhi,
                           formatPicture(project_.findDiameter(n)->innerDiameter, u"####"));
    Griglia->setTextMatrix(Griglia->row(), kTipo, project_.seriesOf(n).code);
    aggiorna();
    host_.recordChange(change_label::kDiameter, node);
}

void frmTubi::Lok() {
    if (Griglia->row() < 1)
        return;
    const int column = Griglia->col();
    const int16_t node = cursorNode();
    Node& n = project_.NodeTable[node];
    n.closed = !n.closed;
    recalculate();
    aggiorna();
    Griglia->setCurrentCell(Griglia->row(), column);
    host_.recordChange(n.closed ? change_label::kClosing : change_label::kOpening, node);
}

void frmTubi::changeSeries() {
    const int16_t node = cursorNode();
    Node& n = project_.NodeTable[node];
    lstTubi picker(project_, this);
    picker.prepare(n.seriesIndex, n.diameterIndex);
    interaction_.runDialog(picker);
    if (picker.selectedSeries() == n.seriesIndex)
        return;
    edits::applySeries(project_, node, picker.selectedSeries(), picker.diameterIndex());
    colourDiameterCell(Griglia->row(), n);
    aggiorna();
    host_.recordChange(change_label::kSeries, node);
}

void frmTubi::toggleDiameterLock() {
    if (Griglia->row() < 1)
        return;
    const int16_t node = cursorNode();
    Node& n = project_.NodeTable[node];
    if (n.isKvElement())
        return; // a KV element has no diameter to lock
    n.diameterLocked = !n.diameterLocked;
    colourDiameterCell(Griglia->row(), n);
    host_.recordChange(n.diameterLocked ? change_label::kLock : change_label::kUnlock, node);
}

QMenu* frmTubi::rowMenu() {
    if (!rowMenu_) {
        rowMenu_ = new QMenu(this);
        rowMenu_->setObjectName(QStringLiteral("mnuRiga"));
        lockAction_ = rowMenu_->addAction(QString());
        lockAction_->setObjectName(QStringLiteral("mnuBlocca"));
        connect(lockAction_, &QAction::triggered, this, &frmTubi::toggleDiameterLock);
    }
    const Node& n = project_.NodeTable[cursorNode()];
    lockAction_->setText(n.diameterLocked && !n.isKvElement() ? QStringLiteral("Sblocca diametro")
                                                              : QStringLiteral("Blocca diametro"));
    lockAction_->setEnabled(!n.isKvElement());
    return rowMenu_;
}

void frmTubi::cellAction() {
    if (Griglia->row() < 1)
        return;
    const int column = Griglia->col();
    if (column <= kLVirt)
        startEditing();
    else if (column == kTipo)
        changeSeries();
    else if (column == kOut)
        terminalAction();
    else if (column >= kVelocity)
        Lok();
}

} // namespace valmora
