// Typing into the grid of a grid window, and its keys.

#include "editor/CellEditor.h"
#include "editor/ChangeLabels.h"
#include "editor/GridWindowKeys.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace valmora {

namespace {

using namespace grid_column;

} // namespace

bool frmTubi::editing() const {
    return !Txtedit->isHidden();
}

void frmTubi::startEditing(QChar typed) {
    if (Griglia->row() < 1)
        return;
    cell_editor::open(*Txtedit, *Griglia, typed);
}

void frmTubi::commitEdit() {
    if (!editing())
        return;
    const int row = Griglia->row();
    const int column = Griglia->col();
    const QString text = Txtedit->text();
    Txtedit->hide();
    if (row < 1)
        return;
    const int16_t index = nodeOfRow(row);
    Node& node = project_.NodeTable[index];
    if (column == kNome) {
        Griglia->setTextMatrix(row, column, text);
        node.name = text;
        host_.recordChange(change_label::kName, index);
        return;
    }
    if (column != kMetri && column != kLVirt)
        return;
    const std::optional<float> value = cell_editor::typedLength(text, interaction_);
    if (!value)
        return;
    Griglia->setTextMatrix(row, column, text);
    (column == kMetri ? node.length : node.virtualLength) = *value;
    recalculate();
    aggiorna();
    host_.recordChange(column == kMetri                          ? change_label::kLength
                       : project_.NodeTable[index].isKvElement() ? change_label::kKv
                                                                 : change_label::kVirtualLength,
                       index);
}

void frmTubi::moveAfterEnter() {
    const int row = Griglia->row();
    const int column = Griglia->col();
    if (column == kNome || column == kMetri)
        Griglia->setCurrentCell(row, column + 1);
    else if (column == kLVirt && row < lastRow())
        Griglia->setCurrentCell(row + 1, kNome);
}

bool frmTubi::editKey(QKeyEvent* event) {
    return cell_editor::boxKey(
        *event, *Txtedit, *Griglia, [this] { commitEdit(); }, [this] { moveAfterEnter(); });
}

bool frmTubi::gridKey(QKeyEvent* event) {
    // A key reaching the grid while the text box still shows (after Enter on the last
    // cell) first stores the typed value, then does what it does.
    commitEdit();
    if (sharedGridWindowKey(*event, *this))
        return true;
    const int column = Griglia->col();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (column >= kPhi && column <= kOut)
            cellAction();
        else
            moveAfterEnter();
        return true;
    case Qt::Key_F4:
        Griglia->setCurrentCell(Griglia->row(), kPhi);
        cellAction();
        return true;
    case Qt::Key_F5:
        Griglia->setCurrentCell(Griglia->row(), kTipo);
        cellAction();
        return true;
    case Qt::Key_F9:
        Griglia->setCurrentCell(Griglia->row(), kOut);
        cellAction();
        return true;
    case Qt::Key_F12:
        Griglia->setCurrentCell(lastRow(), kOut);
        cellAction();
        return true;
    default:
        break;
    }
    // A character typed on the three columns of data starts an edit with it; a space or
    // Backspace starts one with the cell's text.
    if (column <= kLVirt && Griglia->row() >= 1)
        return cell_editor::opensOnKey(*event, *Txtedit, *Griglia);
    return false;
}

} // namespace valmora
