#pragma once

// The materials of the network: pipe metres by series and diameter, terminals by type.

#include "model/Project.h"

namespace valmora {

// Clears the totals of the catalogues and walks the network from node 1.
void ComputeMaterials(Project& project);

// Weight of the pipe of one diameter, kg, single precision.
float diameterWeight(const PipeSeries& series, const PipeDiameter& diameter);

} // namespace valmora
