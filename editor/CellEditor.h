#pragma once

// The in-cell text box of the grid windows (a branch's and the loop pipes'), whose keys are the
// same in both: a character typed on a cell that takes text opens the box with it (a double
// quote becomes a single one, as the files keep texts between double quotes), a space or
// Backspace opens it with the cell's text; in the box Enter stores and moves on, Esc drops what
// was typed, the arrows store and go up or down a row.

#include <QChar>
#include <QString>

#include <functional>
#include <optional>

class QKeyEvent;
class QLineEdit;

namespace valmora {

class GridControl;
class Interaction;

namespace cell_editor {

// Opens `box` over the grid's current cell with `typed`, or with the cell's text when it is
// null or not a character one types.
void open(QLineEdit& box, const GridControl& grid, QChar typed = QChar());

// A key on the grid, on a cell that takes text: opens the box when the key does; true then.
bool opensOnKey(const QKeyEvent& event, QLineEdit& box, const GridControl& grid);

// A key in the open box; true when handled. `store` writes what was typed into the network,
// `moveOn` moves the cursor after Enter.
bool boxKey(const QKeyEvent& event, QLineEdit& box, GridControl& grid, const std::function<void()>& store,
            const std::function<void()>& moveOn);

// A length or KV typed in the box, in the user's form ("2,5" in Italian, "2.5" too); anything
// else, or a negative number, is refused aloud (the old value stays) and gives none.
std::optional<float> typedLength(const QString& text, Interaction& interaction);

} // namespace cell_editor

} // namespace valmora
