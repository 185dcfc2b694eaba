#pragma once

// The calculation in the order the walks from every branch end up to node 1 make it: each
// node combined again for every end below it, with the calculation's own steps
// (ResistanceUp, CorrectHeightsUp, FlowPass). Tests hold Calculate, which combines each node
// once, to these values exactly. Recursive: only for small networks.

#include "model/NetworkResults.h"
#include "model/Project.h"

namespace valmora::testkit {

void referenceCalculate(const Project& project, NetworkResults& results);

} // namespace valmora::testkit
