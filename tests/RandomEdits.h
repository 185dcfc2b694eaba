#pragma once

// One random edit of the kinds the editing commands make, for the property tests: append,
// insert, delete, derive, diameter step, series, close, length, name, equivalent length,
// lock, terminal type and height, the supply and notes, the verification's settings.

#include "model/Project.h"

#include <cstdint>
#include <random>

namespace valmora::testkit {

// Applies one edit at a random reachable node and returns the node the calculation must
// start again from (what ResistanceUp needs).
int16_t applyRandomEdit(Project& project, std::mt19937& rng, int step);

} // namespace valmora::testkit
