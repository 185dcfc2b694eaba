#include "editor/NetworkChecks.h"

namespace valmora {

void NetworkChecks::update(const Project& project) {
    if (project_ == &project && generation_ == project.resultsGeneration)
        return;
    project_ = &project;
    generation_ = project.resultsGeneration;
    verification_ = {};
    solution_ = SolveConverged(project);
    if (solution_.ok)
        verification_ = VerifyNetwork(project, solution_);
}

std::vector<NetworkWarning> NetworkChecks::warnings(int16_t node) const {
    if (!project_ || !solution_.ok)
        return {};
    return warningsOf(*project_, verification_, node);
}

} // namespace valmora
