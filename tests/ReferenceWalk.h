#pragma once

// The calculation as the walks from every branch end up to node 1 compute it: recursive,
// costing branch ends x depth per walk. Tests hold Calculate to these values exactly.
// Only for small networks.

#include "model/Project.h"

namespace valmora::testkit {

void referenceCalculate(Project& project);

} // namespace valmora::testkit
