#pragma once

// The converged solution of a tree by the minimum of its content: an oracle, independent of
// the program's network solver, that the tests check the converged solution against on trees.

#include "model/ConvergedSolution.h"
#include "model/NetworkResults.h"

namespace valmora::testkit {

namespace convergence {
constexpr int kMaxIterations = 200;
// A flow has converged when its last step is below this share of it...
constexpr double kRelativeFlowTolerance = 1e-9;
// ...taking flows below this (l/min) as this; an end that stays within a millionth of a
// litre a minute of 0 has converged too.
constexpr double kFlowToleranceFloor = 1e-3;
// Or the solution has converged when every end's heads balance to this share of the head
// that drives it (the supply less its static head).
constexpr double kRelativeHeadTolerance = 1e-9;
} // namespace convergence

struct ContentOptions {
    // Start from the flows of these results of Calculate when usable, else each end as if it
    // were alone.
    const NetworkResults* startFromResults = nullptr;
    int maxIterations = convergence::kMaxIterations;
};

ConvergedSolution solveTreeByContent(const Project& project, const ContentOptions& options = {});

} // namespace valmora::testkit
