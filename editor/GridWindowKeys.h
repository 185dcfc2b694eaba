#pragma once

// The keys every grid window answers alike, on its cursor's row: Delete deletes, the keypad's
// + and - step the diameter, F10 closes the window.

class QKeyEvent;

namespace valmora {

class ChildWindow;

// True when the key was one of them and `window` has done it.
bool sharedGridWindowKey(const QKeyEvent& event, ChildWindow& window);

} // namespace valmora
