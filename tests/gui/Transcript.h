#pragma once

// What the designer sees, step by step, as one text compared whole with a golden file under
// tests/data/golden/gui/ (one per locale, since numbers differ): each step's heading, what the
// program asked on the way (messages, input boxes, file dialogs, dialogs, with the answers),
// then the windows written out cell by cell. tests/GoldenFiles.h says how to write them anew.

#include "editor/GridIcons.h"
#include "platform/GridControl.h"
#include "platform/ScriptedInteraction.h"

#include <QString>

#include <utility>
#include <vector>

namespace valmora {
class frmTubi;
class TbMain;
} // namespace valmora
class QWidget;

namespace valmora::guitest {

class Transcript {
public:
    Transcript(const ScriptedInteraction& ask, const GridIcons& icons) : ask_(ask), icons_(icons) {}

    // "== what ==" after doing it, then what the program asked on the way.
    Transcript& step(const QString& what);
    // A grid window: its caption, each row (">" on the cursor's, the cursor's cell in
    // brackets) with colours as {letter} and pictures as <name>, tooltips under their row,
    // the status line.
    Transcript& grid(const frmTubi& window);
    // Any grid's cells, as above.
    Transcript& cells(const GridControl& grid);
    // The main window: its title, the frames in order ("*" the active one), the toolbar
    // buttons that are off, the Modifica menu's entries.
    Transcript& program(const TbMain& window);
    // A dialog or window: each named control shown on it, in the order it was made, with
    // what it holds (texts, the chosen entry, a slider's value), "(spento)" when it is off.
    Transcript& widgets(const QWidget& dialog);
    Transcript& line(const QString& text);
    // `text` (a test's temporary folder) is written as `as` wherever it stands.
    void hide(const QString& text, const QString& as) { hidden_.push_back({text, as}); }

    // Compares with gui/<name>.txt in the C locale, gui/<name>.it.txt in the Italian one;
    // with gui/<name>.txt in both for a transcript that shows no number the locale writes
    // (said by the test, so that a number left in the C locale's form is still caught where
    // it must not be).
    enum class Locales { EachItsOwn, SameInBoth };
    void expectGolden(const QString& name, Locales locales = Locales::EachItsOwn);

private:
    void asked();

    const ScriptedInteraction& ask_;
    const GridIcons& icons_;
    qsizetype seen_ = 0;
    QString text_;
    std::vector<std::pair<QString, QString>> hidden_;
};

} // namespace valmora::guitest
