#pragma once

// What the grid, the schema, the reports and the command-line tool show of a calculated
// network, all computed here the same way from the results of the calculation.

#include "model/NetworkResults.h"
#include "model/Project.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

// A drop below this ends the running cumulative drop: a section without flow restarts it
// at 0. A closed section restarts it whatever its (vanishing) drop.
constexpr double kNegligibleDrop = 1e-26;

// Flow through node i, l/min: totalFlow x flowFraction(i); in a network with loop pipes the
// converged solution's, negative against the tree's direction.
double nodeFlow(const NetworkResults& results, int16_t node);
// What the terminal ending node i discharges, l/min: its section's flow, less in a ring what
// the loop pipes at its outlet take away.
double terminalFlowAt(const NetworkResults& results, int16_t node);

// Pressure drop of the section at `flow`, mm, negative for a flow against the section's
// direction; computed as for an open section (a closed one carries practically no flow, hence
// practically no drop); 0 for a section that the calculation refuses.
double sectionDrop(const Project& project, const Node& node, double flow);

// Mean velocity in the pipe, m/s; nullopt for a KV element or a bore of 0.
std::optional<double> sectionVelocity(const Project& project, const Node& node, double flow);

// Pressure at the inlet of node i, mm: Q^1.85 x eqResistance(i).
double inletPressure(const NetworkResults& results, int16_t node);

// Cumulative drop from the origin to the inlet of a branch's first node: 0 for the
// trunk, supplyPressure - inlet pressure for a derived branch.
double branchEntryDrop(const Project& project, const NetworkResults& results, int16_t firstNode);

// Pressure left at a terminal, mm: supply - cumulative drop up to and including its
// node - static head of its height.
double pressureLeft(const Project& project, double cumulativeDrop, float height);

// A pressure as the reports give it: "40.000 mm - (4,0 bar) (0,40 MPa)" (the calculation's bar
// and MPa); in any unit but mm, that unit alone: "3,923 bar".
QString pressureReadout(double mm, const QLocale& locale = QLocale());
QString pressureReadout(double mm, PressureUnit unit, const QLocale& locale = QLocale());
// What a terminal shows instead of its pressure when it carries no flow.
inline const QString kNullFlowText = QStringLiteral("Portata nulla");
// Said once wherever the results of a network with loop pipes are shown: they are the
// converged solution's, not the five passes'.
inline const QString kRingCaption = QStringLiteral("rete ad anello: soluzione convergente");

// Whether a flow counts as none: its whole part is below 1 l/min. A closed or starved
// terminal then has no pressure worth showing (the supply would stand almost whole at it).
bool isNullFlow(double flow);

struct BranchRow {
    int16_t node = 0;
    double flow = 0;                // l/min
    double drop = 0;                // mm
    double cumulativeDrop = 0;      // "SumDp", mm
    std::optional<double> velocity; // m/s; none for a KV element
};

// One row per node of the branch starting at `firstNode`, with the cumulative drop run
// along the branch as the grid shows it.
std::vector<BranchRow> computeBranchRows(const Project& project, const NetworkResults& results,
                                         int16_t firstNode);

// One loop pipe's figures as the windows, the report and the command line show them.
struct LoopPipeRow {
    std::size_t pipe = 0;           // index into the project's loop pipes
    double flow = 0;                // l/min, positive from its node A to its node B
    double drop = 0;                // mm, negative against the pipe's direction
    std::optional<double> velocity; // m/s, signed as the flow; none for a KV element
};
std::vector<LoopPipeRow> computeLoopPipeRows(const Project& project, const NetworkResults& results);

// A row of the printed report: the grid's flow, drop and velocity, with the report's own
// long-standing conventions: the flow is 0 through a closed section, a closed section shows
// the whole supply pressure as lost ("SumDP" = supply), and a section without flow does not
// start the cumulative drop again.
struct ReportRow {
    int16_t node = 0;
    double flow = 0;                // l/min
    double drop = 0;                // mm
    double cumulativeDrop = 0;      // mm
    std::optional<double> velocity; // m/s; none for a KV element
};
std::vector<ReportRow> computeReportRows(const Project& project, const NetworkResults& results,
                                         int16_t firstNode);
// Pressure left at the terminal ending `row`'s node, mm; nullopt when the row carries
// no flow (isNullFlow).
std::optional<double> terminalPressureLeft(const Project& project, const BranchRow& row, float height);

// First nodes of every branch reached from node 1 (node 1 first), in file order.
std::vector<int16_t> branchStarts(const Project& project);

} // namespace valmora
