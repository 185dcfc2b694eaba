#pragma once

// The pipe and terminal catalogues' arithmetic: the Hazen-Williams factor of a series and the
// diameter nearest a bore. The catalogue files themselves are read in storage/CatalogueFiles.h.

#include "model/NetworkTypes.h"

#include <cstdint>

namespace valmora {

// 6.05e9 / C^1.85: the Hazen-Williams drop per metre of 1 mm bore at 1 l/min, in mm.
float frictionFactorFor(int16_t hazenC);

// Index of the diameter of `series` whose inner diameter is nearest `target` (mm);
// halfway goes to the larger one. The diameters are listed from the smallest.
int16_t NearestDiameterIndex(const PipeSeries& series, float target);

} // namespace valmora
