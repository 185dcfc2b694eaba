// Typing into the grid of a grid window, and its keys.

#include "editor/ChangeLabels.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <limits>

namespace valmora {

namespace {

using namespace grid_column;

constexpr int kFirstEditableCharacter = 33; // below it: space and control codes
constexpr double kExampleLength = 12.5;     // the number a refusal shows as an example
const QString kRefusedValueTitle = QStringLiteral("Valore non valido");

} // namespace

bool frmTubi::editing() const {
    return !Txtedit->isHidden();
}

void frmTubi::startEditing(QChar typed) {
    if (Griglia->row() < 1)
        return;
    if (!typed.isNull() && typed.unicode() >= kFirstEditableCharacter)
        Txtedit->setText(typed == u'"' ? QStringLiteral("'") : QString(typed));
    else
        Txtedit->setText(Griglia->textMatrix(Griglia->row(), Griglia->col()));
    Txtedit->setCursorPosition(int(Txtedit->text().size()));
    Txtedit->setGeometry(Griglia->currentCellRect().translated(Griglia->pos()));
    Txtedit->show();
    Txtedit->raise();
    Txtedit->setFocus();
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
    // Numbers in the user's form ("2,5" in Italian, "2.5" too); anything else is refused
    // aloud and the old value stays.
    const std::optional<double> value = parseTypedLength(text);
    if (!value || *value < 0 || *value > std::numeric_limits<float>::max()) {
        interaction_.inform(
            quotedExcerpt(text) +
                QStringLiteral(" non è un valore accettabile: scrivere un numero non negativo, "
                               "per esempio %1.")
                    .arg(formatPicture(kExampleLength, u"#0.0")),
            kRefusedValueTitle, MessageIcon::Exclamation);
        return;
    }
    Griglia->setTextMatrix(row, column, text);
    (column == kMetri ? node.length : node.virtualLength) = static_cast<float>(*value);
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
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter stores what was typed, wherever the cursor goes next: on the last row's last
        // cell it stays where it is, and the value must not wait for another key.
        Griglia->setFocus();
        commitEdit();
        moveAfterEnter();
        return true;
    case Qt::Key_Escape:
        Txtedit->hide(); // the typed text is dropped
        Griglia->setFocus();
        return true;
    case Qt::Key_Up:
        Griglia->setFocus();
        if (Griglia->row() > 1)
            Griglia->setCurrentCell(Griglia->row() - 1, Griglia->col());
        return true;
    case Qt::Key_Down:
        Griglia->setFocus();
        if (Griglia->row() < lastRow())
            Griglia->setCurrentCell(Griglia->row() + 1, Griglia->col());
        return true;
    default:
        break;
    }
    if (event->text() == QLatin1String("\"")) {
        Txtedit->insert(QStringLiteral("'"));
        return true;
    }
    return false;
}

bool frmTubi::gridKey(QKeyEvent* event) {
    // A key reaching the grid while the text box still shows (after Enter on the last
    // cell) first stores the typed value, then does what it does.
    commitEdit();
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    const int column = Griglia->col();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (column >= kPhi && column <= kOut)
            cellAction();
        else
            moveAfterEnter();
        return true;
    case Qt::Key_Delete:
        Cancella();
        return true;
    case Qt::Key_Plus:
        if (!keypad)
            break;
        incphi();
        return true;
    case Qt::Key_Minus:
        if (!keypad)
            break;
        decphi();
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
    case Qt::Key_F10:
        chiudi();
        return true;
    default:
        break;
    }
    // A character typed on the three columns of data starts an edit with it; a space or
    // Backspace starts one with the cell's text.
    const QString text = event->text();
    if (column <= kLVirt && !event->modifiers().testFlag(Qt::ControlModifier)) {
        if (text.size() == 1 && text[0].unicode() >= kFirstEditableCharacter) {
            startEditing(text[0]);
            return true;
        }
        if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Backspace) {
            startEditing();
            return true;
        }
    }
    return false;
}

} // namespace valmora
