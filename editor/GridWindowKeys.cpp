#include "editor/GridWindowKeys.h"

#include "platform/ChildWindow.h"

#include <QKeyEvent>

namespace valmora {

bool sharedGridWindowKey(const QKeyEvent& event, ChildWindow& window) {
    // + and - of the main keyboard are characters a name may hold; the keypad's step.
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    switch (event.key()) {
    case Qt::Key_Delete:
        window.Cancella();
        return true;
    case Qt::Key_Plus:
        if (!keypad)
            return false;
        window.incphi();
        return true;
    case Qt::Key_Minus:
        if (!keypad)
            return false;
        window.decphi();
        return true;
    case Qt::Key_F10:
        window.chiudi();
        return true;
    default:
        return false;
    }
}

} // namespace valmora
