#pragma once

// The verification a designer signs: for each role of terminal the standard asks about, the
// terminals that work at once in the hydraulically most unfavourable position must each reach
// their minimum flow and pressure at the available supply; the most favourable position sets
// the largest flow the supply must give, and the reserve it needs. Computed with the
// standards' own laws (StandardHydraulics.h); the calculation's results are not used.
//
// UNI 10779 at a protection level: hydrants, hose reels and external outlets, each role its
// own scenario, with the level's number working at once (2/3/4 hydrants, 4/4/6 hose reels,
// -/4/6 external outlets) for 30/60/120 minutes; minimums: the type's nominal flow and
// pressure; a hydrant above 0.7 MPa fails.
// UNI EN 12845 for a hazard class: the sprinklers of the design area, N = area / coverage
// rounded up, each passing at least density x coverage at its type's nominal pressure; pipes
// over 10 m/s and valves (KV elements) over 6 m/s fail.

#include "standards/SetSearch.h"
#include "standards/SupplyCurve.h"
#include "model/StandardSettings.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace valmora {

namespace standard_law {
constexpr double kMaxHydrantPressure = 7.0; // bar: 0.7 MPa at the connection
constexpr double kPipeVelocityLimit = 10;   // m/s
constexpr double kValveVelocityLimit = 6;   // m/s, through a valve
} // namespace standard_law

struct MemberCheck {
    int16_t node = 0;
    QString name;
    QString type;
    double flow = 0;                // l/min at the available supply
    std::optional<double> pressure; // bar at the connection; none when it cannot discharge
    bool shutOff = false;           // behind a closed section (else: its type has no nominal data)
    double requiredFlow = 0;        // l/min
    double requiredPressure = 0;    // bar
    bool pass = false;
    bool overMaximum = false; // a hydrant above 0.7 MPa
};

struct SetCheck {
    SetFound found = SetFound::Exact;
    int setsSolved = 0;
    std::vector<MemberCheck> members;
    // The pressure at the origin at which the members were checked, bar: the fixed supply, or
    // the set's operating point on the supply curve (0 when the curve never meets its demand).
    double availablePressure = 0;
    bool suppliesIt = true;                    // false: the supply curve never meets the set's demand
    double totalFlow = 0;                      // l/min at the available supply
    std::optional<double> demandPressure;      // bar at the supply; none when no head suffices
    double demandFlow = 0;                     // l/min at the demand point
    std::vector<int16_t> sectionsOverVelocity; // pipes over 10 m/s at the available supply
    std::vector<int16_t> valvesOverVelocity;   // KV elements over 6 m/s
    std::map<int16_t, double> velocities;      // m/s, of each of them
};

struct ScenarioCheck {
    TerminalRole role = TerminalRole::NotVerified;
    int count = 0;      // working at once, as asked
    int candidates = 0; // terminals of the role that can discharge
    int durationMinutes = 0;
    bool pass = false;
    SetCheck mostUnfavourable;
    SetCheck mostFavourable;
    double reserveVolume = 0; // m3: the most favourable flow for the duration
    QStringList notes;        // what the designer must know beside the tables, one sentence each
};

struct StandardCheck {
    Standard standard = Standard::None;
    int level = 0;
    HazardClass hazard = HazardClass::OH2;
    double coverage = 0;       // m2 a sprinkler
    double supplyPressure = 0; // bar: the project's fixed supply
    bool supplyCurve = false;  // each set was checked at its operating point on the supply curve
    bool pass = false;
    QString problem; // why nothing could be verified; empty otherwise
    std::vector<ScenarioCheck> scenarios;
};

StandardCheck verifyStandard(const Project& project, const StandardSettings& settings);

// How many terminals of a role work at once (for sprinklers: the design area over the
// coverage, rounded up), and for how many minutes: the designer's figure or the standard's.
int workingAtOnceOf(const StandardSettings& settings, TerminalRole role);
int durationMinutesOf(const StandardSettings& settings, TerminalRole role);

// "Verifica UNI 10779 - livello 2", "Verifica UNI EN 12845 - OH2".
QString verificationTitle(const StandardCheck& check);
// "esatto", "ricerca", "scelto dal progettista".
QString foundText(SetFound found);
QString foundKey(SetFound found); // "exact", "search", "designer"
// The verdict in words, one sentence.
QString verdictText(const StandardCheck& check, const QLocale& locale = QLocale());

} // namespace valmora
