#include "editor/CellEditor.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "platform/GridControl.h"
#include "platform/Interaction.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <limits>

namespace valmora::cell_editor {

namespace {

constexpr int kFirstEditableCharacter = 33; // below it: space and control codes
constexpr double kExampleLength = 12.5;     // the number a refusal shows as an example
const QString kRefusedValueTitle = QStringLiteral("Valore non valido");

bool typesACharacter(QChar c) {
    return !c.isNull() && c.unicode() >= kFirstEditableCharacter;
}

} // namespace

void open(QLineEdit& box, const GridControl& grid, QChar typed) {
    if (typesACharacter(typed))
        box.setText(typed == u'"' ? QStringLiteral("'") : QString(typed));
    else
        box.setText(grid.textMatrix(grid.row(), grid.col()));
    box.setCursorPosition(int(box.text().size()));
    box.setGeometry(grid.currentCellRect().translated(grid.pos()));
    box.show();
    box.raise();
    box.setFocus();
}

bool opensOnKey(const QKeyEvent& event, QLineEdit& box, const GridControl& grid) {
    if (event.modifiers().testFlag(Qt::ControlModifier))
        return false;
    const QString text = event.text();
    if (text.size() == 1 && typesACharacter(text[0])) {
        open(box, grid, text[0]);
        return true;
    }
    if (event.key() == Qt::Key_Space || event.key() == Qt::Key_Backspace) {
        open(box, grid);
        return true;
    }
    return false;
}

bool boxKey(const QKeyEvent& event, QLineEdit& box, GridControl& grid, const std::function<void()>& store,
            const std::function<void()>& moveOn) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter stores what was typed, wherever the cursor goes next: on the last row's last
        // cell it stays where it is, and the value must not wait for another key.
        grid.setFocus();
        store();
        moveOn();
        return true;
    case Qt::Key_Escape:
        box.hide(); // the typed text is dropped
        grid.setFocus();
        return true;
    case Qt::Key_Up:
        grid.setFocus();
        if (grid.row() > 1)
            grid.setCurrentCell(grid.row() - 1, grid.col());
        return true;
    case Qt::Key_Down:
        grid.setFocus();
        if (grid.row() < grid.rows() - 1)
            grid.setCurrentCell(grid.row() + 1, grid.col());
        return true;
    default:
        break;
    }
    if (event.text() == QLatin1String("\"")) {
        box.insert(QStringLiteral("'"));
        return true;
    }
    return false;
}

std::optional<float> typedLength(const QString& text, Interaction& interaction) {
    const std::optional<double> value = parseTypedLength(text);
    if (!value || *value < 0 || *value > std::numeric_limits<float>::max()) {
        interaction.inform(
            quotedExcerpt(text) +
                QStringLiteral(" non è un valore accettabile: scrivere un numero non negativo, "
                               "per esempio %1.")
                    .arg(formatPicture(kExampleLength, u"#0.0")),
            kRefusedValueTitle, MessageIcon::Exclamation);
        return std::nullopt;
    }
    return static_cast<float>(*value);
}

} // namespace valmora::cell_editor
