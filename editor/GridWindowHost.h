#pragma once

// What a grid window asks of the main window that holds it.

#include <cstdint>

class QString;
class QWidget;

namespace valmora {
class NetworkChecks;
}

namespace valmora {

class GridWindowHost {
public:
    virtual ~GridWindowHost() = default;

    // Toolbar positions of the editing commands, enabled while the cursor row is in view.
    virtual void setEditButtonsEnabled(bool enabled) = 0;
    // Saves as the File menu's Save does (Save As for a project never saved); false when
    // nothing was saved (cancelled or failed, the failure already reported).
    virtual bool saveProject() = 0;
    // Ends the program without asking again.
    virtual void endProgram() = 0;
    // True once the program is ending: grid windows then close without a question.
    virtual bool endingProgram() const = 0;

    // The window of the derived branch starting at `firstNode`: refreshed and brought
    // forward when open, else opened.
    virtual void openBranchWindow(int16_t firstNode) = 0;
    // Values still in any grid window's text box reach the network: before a change of its
    // shape, which may move or take away what they were typed for.
    virtual void commitPendingEdits() {}
    // The node's row in the grid window of its branch, opened when closed.
    virtual void showNode(int16_t node) { (void)node; }
    // After a change of the tree's shape: the schema window closes (its layout is drawn
    // once) and windows of branches no longer in the network close.
    virtual void networkShapeChanged() = 0;
    // After a branch window closed itself: the active window rebuilds its rows.
    virtual void rebuildActiveWindow() = 0;
    // The checks of the last results against the converged solution, brought up to date;
    // nullptr where nothing checks them.
    virtual const NetworkChecks* networkChecks() { return nullptr; }
    // After a calculation shown by `from`: every other open grid window shows its results too.
    virtual void refreshOtherWindows(const QWidget* from) { (void)from; }
    // A change to the project is done: it becomes one step of the history ("Annulla <label>");
    // `cursorBefore` is the node the cursor was on when the change began.
    virtual void recordChange(const QString& label, int16_t cursorBefore) {
        (void)label;
        (void)cursorBefore;
    }
    // True when the project is not as it was last saved, opened or made new.
    virtual bool projectModified() { return true; }
};

} // namespace valmora
