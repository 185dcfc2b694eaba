#pragma once

// Closing a ring between two nodes of the tree, as the grid's command and a pick on the schema
// both do: what cannot be a loop pipe is refused, saying why; the length is asked; the pipe
// takes the first node's series and diameter.

#include "model/Project.h"

#include <QString>

#include <cstdint>

namespace valmora {

class Interaction;

inline const QString kCloseRingTitle = QStringLiteral("Chiudi un anello");

// Adds a loop pipe from `from` to `to` once the designer gives its length; false, with the
// project untouched, when it is refused or the question is cancelled.
bool closeRingBetween(Project& project, Interaction& interaction, int16_t from, int16_t to);

} // namespace valmora
