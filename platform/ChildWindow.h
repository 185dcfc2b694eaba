#pragma once

// What the main window asks of its child windows (grid windows, the schema): the named
// operations its menus and toolbar run on the active one.

#include <QString>

#include <cstdint>

namespace valmora {

class ChildWindow {
public:
    virtual ~ChildWindow() = default;

    // "1" for the trunk window, the first node of the branch for a derived one.
    virtual QString tag() const = 0;
    // True for the grid windows, which the main window rebuilds rather than closes.
    virtual bool isGridWindow() const = 0;

    virtual void aggiorna(int16_t node = 0) = 0; // recalculate and refresh
    virtual void compilatab() = 0;               // rebuild the rows
    virtual void chiudi() = 0;
    virtual void incphi() = 0;
    virtual void decphi() = 0;
    virtual void Nuovo(bool inMiddle) = 0;
    virtual void Cancella() = 0;
    virtual void Lok() = 0;
    virtual void LunEq() = 0;
};

} // namespace valmora
