#pragma once

// What a verification against a standard is asked to check: UNI 10779 at a protection level,
// or UNI EN 12845 for a hazard class; the role of each terminal type; how many terminals of
// each role work at once and for how long; the designer's own sets. Kept in the project
// file, in the block after the tree.

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

QString hazardClassName(HazardClass hazard);                      // "OH2"
std::optional<HazardClass> hazardClassNamed(const QString& name); // "OH2", any case

// UNI 10779: the protection levels 1 to 3.
constexpr int kLowestLevel = 1;
constexpr int kHighestLevel = 3;
QString roleName(TerminalRole role); // "idrante", "naspo", "attacco esterno", "sprinkler", "non verificato"
QString roleKey(TerminalRole role);  // as in the file and the JSON: "idrante", "naspo", "attacco", ...
std::optional<TerminalRole> roleFromKey(const QString& key);
QString standardTitle(Standard standard); // "UNI 10779", "UNI EN 12845"
QString standardKey(Standard standard);   // as in the file: "nessuna", "uni10779", "en12845"
std::optional<Standard> standardFromKey(const QString& key);

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
    // The designer's own most unfavourable and most favourable sets, by role: branch ends
    // (node indexes), verified beside the program's own.
    std::map<TerminalRole, std::vector<int16_t>> designerSets;
    std::map<TerminalRole, std::vector<int16_t>> designerFavourableSets;
    // The program's sets are any sets of the terminals (the most severe, beyond the standard's
    // design areas and clusters), not the standard's areas.
    bool anySet = false;
    SupplySettings supply;

    bool operator==(const StandardSettings& other) const;
};

// ---- limits: one table for the window, the project file and the command line -----------

enum class LimitedSetting {
    Level,          // UNI 10779's protection level
    Coverage,       // m2 a sprinkler
    WorkingAtOnce,  // terminals of a role working at once
    Duration,       // minutes
    SupplyFlow,     // l/min: a pump point's flow, a water main's test flow
    SupplyPressure, // bar: a pump point's pressure, a water main's pressures
};

struct SettingLimit {
    const char* what; // the value's name in the messages: "l'area coperta da uno sprinkler"
    double lowest;
    double highest;
    const char* unit; // "m²"; empty for a count
    int decimals;     // as the window offers it
};
const SettingLimit& settingLimit(LimitedSetting setting);
bool withinLimit(LimitedSetting setting, double value);
// "l'area coperta da uno sprinkler va da 4 a 21 m²", numbers in the user's locale.
QString limitText(LimitedSetting setting);

} // namespace valmora
