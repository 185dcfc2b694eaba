#pragma once

// The verification a designer signs: for each role of terminal the standard asks about, the
// terminals that work at once in the hydraulically most unfavourable position must each reach
// their minimum flow and pressure at the available supply; the most favourable position sets
// the largest flow the supply must give, and the reserve it needs. Computed with the
// standards' own laws (StandardHydraulics.h); the calculation's results are not used.
//
// The positions are the standard's: UNI EN 12845's design area over the ranges of sprinklers,
// UNI 10779's clusters of the nearest outlets (DesignAreas.h); any set of the terminals only
// when the designer asks for it (`StandardSettings::anySet`). The minimums are the standard's
// (StandardMinima.h), each the larger of the standard's figure and what the terminal's own law
// Q = Kn sqrt(p) makes of it: UNI 10779 at a protection level, for hydrants, hose reels and
// external outlets, each role its own scenario, with the level's number working at once, none
// of its hydrants or hose reels above 0.7 MPa even when opened alone; UNI EN 12845 for a
// hazard class, the sprinklers of the design area, N = area / coverage rounded up, each passing
// at least density x coverage and the class's least pressure, of a K the class allows, pipes
// within 10 m/s and valves (KV elements) within 6 m/s. The designer's own sets are verified
// beside the program's, never instead of them. A scenario whose solution did not converge is
// not verified.

#include "model/StandardSettings.h"
#include "standards/SetSearch.h"
#include "standards/StandardMinima.h"
#include "standards/SupplyCurve.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace valmora {

namespace standard_law {
constexpr double kPipeVelocityLimit = 10; // m/s
constexpr double kValveVelocityLimit = 6; // m/s, through a valve
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
    double k = 0;                   // Kn, l/min per sqrt(bar)
    // Why it fails beyond its figures: a sprinkler whose K its hazard class does not allow.
    std::optional<HazardClass> kNotAllowedFor;
    bool pass = false;
    bool overMaximum = false; // a hydrant or hose reel above 0.7 MPa
};

// A section on the way from the supply to a set's members, as the calculation sheet shows it.
struct SheetSection {
    int16_t node = 0;  // 0 for a loop pipe
    int loopPipe = -1; // a loop pipe's index among the project's; -1 for a node's section
    QString name;
    bool kv = false;             // a KV element: no series, diameter, length nor C
    QString series;              // the series' name
    QString seriesCode;          // and its short code, as the branch tables print it
    QString diameter;            // the diameter's label ("2\"1/2")
    double innerDiameter = 0;    // mm
    double length = 0;           // m
    double equivalentLength = 0; // m of fittings; a KV element's KV
    int c = 0;                   // Hazen-Williams C of the series
    double flow = 0;             // l/min; a loop pipe's positive from its first node to its second
    double velocity = 0;         // m/s (none for a KV element), signed as the flow
    double loss = 0;             // bar of friction (or through the valve), signed as the flow
    double staticDifference = 0; // bar: a member's height, at its own section
    double pressure = 0;         // bar at the section's end (a member's: at its connection)
};

struct SetCheck {
    SetFound found = SetFound::Exact;
    int setsSolved = 0;
    int setsTried = 0; // design areas or clusters estimated
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
    // Loop pipes over 10 m/s (index among the project's, m/s), in the project's order.
    std::vector<std::pair<int, double>> loopPipesOverVelocity;
    bool converged = true;              // its solution balanced; else nothing is verified of it
    std::vector<SheetSection> sections; // the calculation sheet at the available supply
};

// Each outlet of a UNI 10779 role opened alone at the supply (on its curve, where there is
// one): the one standing highest, which must not pass 0.7 MPa.
struct SingleOutletCheck {
    int16_t node = 0;
    QString name;
    double pressure = 0; // bar at its connection
    bool pass = true;
};

// What the designer must know beside a scenario's tables, as a code and its figures;
// scenarioNoteText (standards/VerificationText.h) puts it in words.
enum class ScenarioNoteKind {
    NoNominalValues,     // name: a terminal with no nominal flow and pressure, left out
    BehindClosedSection, // count: terminals behind a closed section, left out of the search
    FewerThanAsked,      // count: terminals that can discharge; asked: as many as the standard asks
    CoverageOverClass, // value: the area a sprinkler covers, other: the class's largest (m²); name: the class
    DesignerSetLost,   // count: the designer's terminals no longer in the network
    DesignerSetSize,   // count: the designer's set's terminals; asked: as many as the standard asks
    DesignerSetEasier, // value: the designer's set's demand, other: the most unfavourable's (bar)
    SupplyNeverMeets,  // the supply curve meets no demand of one of the sets
    NotConverged,      // a set's solution did not converge
};

struct ScenarioNote {
    ScenarioNoteKind kind = ScenarioNoteKind::NotConverged;
    int count = 0;
    int asked = 0;
    double value = 0;
    double other = 0;
    QString name;
};

struct ScenarioCheck {
    TerminalRole role = TerminalRole::NotVerified;
    int count = 0;      // working at once, as asked
    int candidates = 0; // terminals of the role that can discharge
    int durationMinutes = 0;
    bool pass = false;
    SetCheck mostUnfavourable;
    SetCheck mostFavourable;
    // The designer's own sets, verified beside the program's: the verdict needs both to pass.
    std::optional<SetCheck> designerUnfavourable;
    std::optional<SetCheck> designerFavourable;
    std::optional<SingleOutletCheck> singleOutlet;
    double reserveVolume = 0;        // m3: the most favourable flow for the duration
    std::vector<ScenarioNote> notes; // what the designer must know beside the tables
};

enum class VerificationProblem {
    None,
    NoStandard,     // no standard chosen
    NetworkRefused, // the calculation refuses the network
    SupplyRefused,  // the supply's settings make no curve
    NoScenario,     // no terminal has a role the standard checks, or 0 at once for each
};

struct StandardCheck {
    Standard standard = Standard::None;
    int level = 0;
    HazardClass hazard = HazardClass::OH2;
    double coverage = 0;       // m2 a sprinkler
    double supplyPressure = 0; // bar: the project's fixed supply
    bool supplyCurve = false;  // each set was checked at its operating point on the supply curve
    bool anySet = false;       // the program's sets were any sets, not the standard's areas
    SupplySettings supply;     // the supply as the designer gave it
    std::vector<AppliedRequirement> requirements; // what the standards asked, with their sources
    bool pass = false;
    // Why nothing could be verified (None: it was), with what refused it.
    VerificationProblem problem = VerificationProblem::None;
    std::optional<NetworkProblem> networkProblem; // NetworkRefused: what the calculation refuses
    SupplyFault supplyFault = SupplyFault::None;  // SupplyRefused: why the supply makes no curve
    bool verified() const { return problem == VerificationProblem::None; }
    std::vector<ScenarioCheck> scenarios;
    // The unit the project shows pressures in, for the words made of the check (the check's
    // own figures are in bar whatever it is).
    PressureUnit pressureUnit = PressureUnit::Millimetres;
};

StandardCheck verifyStandard(const Project& project, const StandardSettings& settings);

// How many terminals of a role work at once (for sprinklers: the design area over the
// coverage, rounded up), and for how many minutes: the designer's figure or the standard's.
int workingAtOnceOf(const StandardSettings& settings, TerminalRole role);
int durationMinutesOf(const StandardSettings& settings, TerminalRole role);

} // namespace valmora
