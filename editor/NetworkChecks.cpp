#include "editor/NetworkChecks.h"

namespace valmora {

void NetworkChecks::update(const Project& project, const NetworkResults& results) {
    if (project_ == &project && results_ == &results && generation_ == results.generation)
        return;
    project_ = &project;
    results_ = &results;
    generation_ = results.generation;
    verification_ = {};
    solution_ = convergedSolutionFor(project, results);
    if (solution_.ok)
        verification_ = VerifyNetwork(project, results, solution_);
}

std::vector<NetworkWarning> NetworkChecks::warnings(int16_t node) const {
    if (!project_ || !solution_.ok)
        return {};
    return warningsOf(*project_, verification_, node);
}

} // namespace valmora
