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
    // The designer's own most unfavourable and most favourable sets, by role: branch ends
    // (node indexes), verified beside the program's own.
    std::map<TerminalRole, std::vector<int16_t>> designerSets;
    std::map<TerminalRole, std::vector<int16_t>> designerFavourableSets;
    // The program's sets are any sets of the terminals (the most severe, beyond the standard's
    // design areas and clusters), not the standard's areas.
    bool anySet = false;
    SupplySettings supply;

    bool operator==(const StandardSettings& other) const;

    TerminalRole roleOf(const Project& project, int16_t terminalType) const;
    double coverageM2() const; // the designer's coverage, or the hazard class's default
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

// ---- the settings as the project file keeps them ---------------------------------------

// One setting: its key ("livello", "ruolo.3", "insieme.idrante") and its value as text.
// Sets name their terminals by the nodes' positions in the project file's order, as the
// tree itself does, so that they name the same terminals when the file is read again.
struct SettingEntry {
    QString key;
    QString value;
    bool operator==(const SettingEntry& o) const { return key == o.key && value == o.value; }
};
std::vector<SettingEntry> settingEntries(const StandardSettings& settings, const Project& project);

// Takes entries into settings one at a time, for a project just read (so that its node
// indexes are its positions in the file).
class SettingEntryReader {
public:
    explicit SettingEntryReader(const Project& project);

    enum class Outcome { Taken, UnknownKey, Refused };
    struct Result {
        Outcome outcome = Outcome::Taken;
        QString why; // for a refusal: what is wrong, with the limit where one applies
    };
    Result take(StandardSettings& settings, const QString& key, const QString& value) const;

private:
    const Project& project_;
    std::vector<int16_t> byPosition_; // node index by file position (1-based)
};

} // namespace valmora
