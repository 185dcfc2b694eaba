#pragma once

// What the standards ask of each terminal, in one table, each row with where it is written:
// UNI 10779's flow and residual pressure of a hydrant, a hose reel or an external outlet at a
// protection level and the most any hydrant or hose reel may stand at; UNI EN 12845's least
// pressure at any sprinkler, the largest area one may cover and the K factors a hazard class
// allows. The verification takes its minimums from here, never from the catalogue; the report
// prints the rows it applied ("Requisiti applicati").

#include "model/StandardSettings.h"

#include <QString>

#include <optional>
#include <vector>

namespace valmora {

// A terminal's minimum: flow, l/min, and residual pressure, bar.
struct OutletMinimum {
    double flow = 0;
    double pressure = 0;
    const char* source = "";
};
// UNI 10779 at `level`: a hydrant's, a hose reel's or an external outlet's; none for a role
// the standard does not size.
std::optional<OutletMinimum> outletMinimum(TerminalRole role, int level);

// UNI 10779: the most a hydrant or a hose reel may stand at, bar.
constexpr double kMaxOutletPressure = 7.0;
const char* maxOutletPressureSource();

// UNI EN 12845's rules for the sprinklers of a hazard class.
struct SprinklerRules {
    double leastPressure = 0;     // bar at any sprinkler of the design area
    double largestCoverage = 0;   // m2 a sprinkler
    std::vector<double> kFactors; // the nominal K allowed, l/min per sqrt(bar)
    const char* pressureSource = "";
    const char* coverageSource = "";
    const char* kSource = "";
};
const SprinklerRules& sprinklerRules(HazardClass hazard);
// A sprinkler's K is the class's when it is within this share of an allowed one.
constexpr double kKFactorTolerance = 0.05;
bool kFactorAllowed(HazardClass hazard, double k);

// What the verification applies for the settings, one row each: what, value, source.
struct AppliedRequirement {
    QString what;
    QString value;
    QString source;
};
std::vector<AppliedRequirement> requirementsApplied(const StandardSettings& settings);

} // namespace valmora
