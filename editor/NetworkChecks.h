#pragma once

// The converged solution and the checks of the calculated result against it, as the grid
// windows and the window of warnings show them: worked out once after each calculation,
// whichever window asks first.

#include "model/ConvergedSolution.h"
#include "model/Project.h"
#include "model/Verification.h"

#include <cstdint>
#include <vector>

namespace valmora {

class NetworkChecks {
public:
    // Works the checks out again when the results changed since the last time.
    void update(const Project& project, const NetworkResults& results);

    bool valid() const { return solution_.ok; }
    const NetworkVerification& verification() const { return verification_; }
    // What is said of the node; nothing when the checks could not be made.
    std::vector<NetworkWarning> warnings(int16_t node) const;

private:
    const Project* project_ = nullptr;
    const NetworkResults* results_ = nullptr;
    uint64_t generation_ = 0;
    ConvergedSolution solution_;
    NetworkVerification verification_;
};

} // namespace valmora
