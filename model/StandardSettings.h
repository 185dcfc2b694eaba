#pragma once

// What a verification against a standard is asked to check: UNI 10779 at a protection level,
// or UNI EN 12845 for a hazard class; the role of each terminal type; how many terminals of
// each role work at once and for how long; the designer's own sets. Kept beside the project
// in a small text file of its own ("<progetto>.verifica"), so that the project file stays as
// it is.

#include "model/NetworkTypes.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace valmora {

class Project;

enum class Standard { None, Uni10779, En12845 };

// What a terminal is to the verification.
enum class TerminalRole { NotVerified, Hydrant, HoseReel, ExternalOutlet, Sprinkler };
constexpr std::array<TerminalRole, 4> kVerifiedRoles = {
    TerminalRole::Hydrant, TerminalRole::HoseReel, TerminalRole::ExternalOutlet, TerminalRole::Sprinkler};

enum class HazardClass { LH, OH1, OH2, OH3, OH4, HHP1, HHP2, HHP3 };
constexpr int kHazardClassCount = 8;

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
std::optional<HazardClass> hazardClassNamed(const QString& name); // "OH2", any case

// UNI 10779: the protection levels 1 to 3.
constexpr int kLowestLevel = 1;
constexpr int kHighestLevel = 3;
// Terminals of a role working at once at a level (0: the role is not asked for at that
// level), and for how long.
int defaultWorkingAtOnce(TerminalRole role, int level);
int defaultDurationMinutes(int level);

// The role of a terminal type as its name and picture suggest it: a hose reel by its name,
// a sprinkler by its name or the nozzle picture, an external outlet (UNI 70, an
// above-ground hydrant) by its name or the super-hydrant picture, a hydrant by its name or
// picture; anything else, and a free outlet ("Uscita libera") whatever its picture, is not verified.
TerminalRole defaultRole(const TerminalType& type);

QString roleName(TerminalRole role); // "idrante", "naspo", "attacco esterno", "sprinkler", "non verificato"
QString roleKey(TerminalRole role);  // as in the file and the JSON: "idrante", "naspo", "attacco", ...
std::optional<TerminalRole> roleFromKey(const QString& key);
QString standardTitle(Standard standard); // "UNI 10779", "UNI EN 12845"

// The supply as the designer describes it, in bar (1 bar = 10.197 m of water) and l/min:
// the fixed supply pressure of the project, a pump by three points of its curve (shut-off,
// rated, overload), or a water main by a flow test.
enum class SupplyKind { Fixed, Pump, MainTest };
struct PumpPoint {
    double flow = 0;     // l/min
    double pressure = 0; // bar
    bool operator==(const PumpPoint& o) const { return flow == o.flow && pressure == o.pressure; }
};
struct SupplySettings {
    SupplyKind kind = SupplyKind::Fixed;
    std::array<PumpPoint, 3> pump{};
    double staticPressure = 0;   // water main: bar with no flow drawn
    double residualPressure = 0; // bar at the test flow
    double testFlow = 0;         // l/min
    bool operator==(const SupplySettings& o) const {
        return kind == o.kind && pump == o.pump && staticPressure == o.staticPressure &&
               residualPressure == o.residualPressure && testFlow == o.testFlow;
    }
};

struct StandardSettings {
    Standard standard = Standard::None;
    int level = 2;
    HazardClass hazard = HazardClass::OH2;
    std::optional<double> coverage;              // m2 per sprinkler; none: the hazard class's default
    std::map<int16_t, TerminalRole> roles;       // by terminal type; a type not here takes its default role
    std::map<TerminalRole, int> workingAtOnce;   // overrides of the level's counts (UNI 10779)
    std::map<TerminalRole, int> durationMinutes; // overrides of the level's or class's duration
    // The designer's own most unfavourable sets, by role: branch ends (node indexes).
    std::map<TerminalRole, std::vector<int16_t>> designerSets;
    SupplySettings supply;

    bool operator==(const StandardSettings& other) const;

    TerminalRole roleOf(const Project& project, int16_t terminalType) const;
    double coverageM2() const; // the designer's coverage, or the hazard class's default
};

// The settings file beside a project: its path with the extension replaced by "verifica".
QString standardSettingsPath(const QString& projectPath);

// The file's text. Sets are written as the nodes' positions in the project file's order, so
// that they name the same terminals when the project is read again.
QByteArray standardSettingsText(const StandardSettings& settings, const Project& project);

struct SettingsRead {
    StandardSettings settings; // the defaults when the file is missing or damaged
    QString warning;           // why the file was not taken whole; empty when it was, or is missing
};
// Reads the text of a settings file for `project` (read or saved just now, so that its node
// indexes are its file positions). A damaged file gives the defaults and a warning, never
// a refusal.
SettingsRead parseStandardSettings(const QByteArray& text, const Project& project);
// The same from the file beside the project file `projectFile`; a missing file gives the
// defaults silently.
SettingsRead readStandardSettings(const Project& project, const QString& projectFile);

} // namespace valmora
