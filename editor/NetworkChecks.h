#pragma once

// The converged solution and the checks of the calculated result against it, as the grid
// windows mark them: worked out once after each calculation, whichever window asks first.

#include "model/ConvergedSolution.h"
#include "model/Project.h"
#include "model/Verification.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace valmora {

class NetworkChecks {
public:
    // Works the checks out again when the project's results changed since the last time.
    void update(const Project& project);

    // nullptr when the node is no terminal end or nothing is to be said of it.
    const TerminalVerification* terminal(int16_t node) const;
    const SectionVerification* section(int16_t node) const;
    // An end without terminal that pours water out.
    const OpenEndVerification* openEnd(int16_t node) const { return verification_.openEndAt(node); }
    bool valid() const { return solution_.ok; }

private:
    const Project* project_ = nullptr;
    uint64_t generation_ = 0;
    ConvergedSolution solution_;
    NetworkVerification verification_;
};

// Why a terminal row is marked, in Italian, or empty when it is not: its calculated flow far
// from the converged one, or its pressure below its type's nominal pressure.
QString terminalWarning(const TerminalVerification& check);
// Why a section's velocity is marked, or empty.
QString velocityWarning(const SectionVerification& check);
// Why an end without terminal is marked: it discharges like a burst pipe.
QString openEndWarning(const OpenEndVerification& check);

} // namespace valmora
