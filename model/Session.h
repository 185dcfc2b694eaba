#pragma once

// Where the user stands in the open project: the node the cursor is on and the nodes the
// windows work on. Neither the project file nor the history of changes keeps it.

#include "model/NetworkTypes.h"

#include <cstdint>

namespace valmora {

struct Session {
    int16_t currentNode = 1;  // the cursor's node
    int16_t focusNode = 1;    // the node the schema centres on
    int32_t terminalNode = 0; // the terminal end a window works on; 0: none
    // The node the section dialogs edit, a copy until it is applied.
    Node editNode;
    // What the fittings' dialog is given with `editNode`: its flow (l/min) and the loss it
    // shows (mm).
    double editFlow = 0;
    double editFittingLoss = 0;

    // Back to node 1 (a project opened or made new).
    void reset() { *this = Session{}; }
};

} // namespace valmora
