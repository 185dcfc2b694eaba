#pragma once

// The standards' own tables: UNI EN 12845's design data of each hazard class, UNI 10779's
// terminals at once and durations of each protection level, and the role a terminal type's
// name and picture suggest. The settings (model/StandardSettings.h) say what the designer
// chose; these say what the standards ask when the designer has not.

#include "model/Project.h"
#include "model/StandardSettings.h"

namespace valmora {

// UNI EN 12845's design density and area of operation of a hazard class, with the duration
// and the area one sprinkler covers unless the designer says otherwise.
struct HazardDesign {
    HazardClass hazard;
    const char* name; // "OH2"
    double density;   // mm/min, that is l/min per m2
    double area;      // m2
    int durationMinutes;
    double defaultCoverage; // m2 per sprinkler
};
const HazardDesign& hazardDesign(HazardClass hazard);

// Terminals of a role working at once at a level (0: the role is not asked for at that
// level), and for how long.
int defaultWorkingAtOnce(TerminalRole role, int level);
int defaultDurationMinutes(int level);

// The role of a terminal type as its name and picture suggest it: a hose reel by its name,
// a sprinkler by its name or the nozzle picture, an external outlet (UNI 70, an
// above-ground hydrant) by its name or the super-hydrant picture, a hydrant by its name or
// picture; anything else, and a free outlet ("Uscita libera") whatever its picture, is not verified.
TerminalRole defaultRole(const TerminalType& type);

// The role of terminal type `terminalType` in this verification: the designer's, or the one its
// name and picture suggest.
TerminalRole roleOf(const StandardSettings& settings, const Project& project, int16_t terminalType);
// The area a sprinkler covers: the designer's, or the hazard class's default.
double coverageOf(const StandardSettings& settings);

} // namespace valmora
