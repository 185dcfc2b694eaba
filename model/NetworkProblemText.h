#pragma once

// The words for what stops the calculation: the one place where a NetworkProblem becomes the
// sentence the designer reads, in the windows and on the command line alike.

#include "model/NetworkValidation.h"
#include "model/Project.h"

#include <QString>

namespace valmora {

// "Nodo 12 "Tratto A"": how messages name a node.
QString describeNode(const Project& project, int16_t node);

// The problem as one sentence naming its node: "Nodo 3 "Ramo": il KV deve essere positivo."
// Read on the project the problem was found in.
QString networkProblemText(const Project& project, const NetworkProblem& problem);

} // namespace valmora
