#pragma once

// The converged solution of a network, kept beside the results of Calculate (which stop
// after five height corrections and are left untouched here).
//
// Same physical model as Calculate: a section loses R x Q^1.85 with R its
// sectionResistance, a terminal Kt x Q^1.85 with Kt = terminalResistanceFor(K) plus the
// static head of its height (1000 mm per metre), an end without terminal discharges at
// height 0 through its section alone, and node 1's inlet is held at supplyPressure. What
// differs: a closed section carries exactly nothing (with everything it feeds), and a
// terminal above the hydraulic grade delivers nothing instead of a small flow.
//
// The solution is the one set of flows at which every flowing terminal's path drop, own
// loss and static head add up to the supply pressure, and every dry terminal's static
// head is at least the pressure reaching it.

#include "model/NetworkResults.h"
#include "model/Project.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

namespace convergence {
constexpr int kMaxIterations = 200;
} // namespace convergence

struct ConvergedNode {
    double flow = 0; // l/min through the section, negative against the tree's direction (in a ring)
    std::optional<double> velocity;       // m/s; none for a KV element
    double drop = 0;                      // mm, of the section alone
    std::optional<double> cumulativeDrop; // mm, from the supply to the node's outlet; none when shut off
    // Closed, or fed only through a closed section, with no ring to feed its outlet: carries
    // nothing, its pressure is undefined. (In a tree, every closed section.)
    bool shutOff = false;

    // Terminal ends only. Pressure at the terminal above its static head, mm: outlet
    // pressure - 1000 x height. For a flowing terminal it equals Kt x Q^1.85; for a dry one
    // it is 0 or negative, and its magnitude is the head the terminal lacks to start flowing.
    std::optional<double> pressureLeft;
    bool dry = false; // a terminal above the hydraulic grade: delivers 0
    // l/min the terminal discharges: the section's flow in a tree; in a ring the section's
    // flow less what the loop pipes at its outlet take away.
    double terminalFlow = 0;
};

// A loop pipe's part of the solution: its flow runs from node A to node B when positive.
struct ConvergedLoopPipe {
    double flow = 0;                // l/min
    std::optional<double> velocity; // m/s, signed as the flow; none for a KV element
    double drop = 0;                // mm, from A's outlet to B's (negative against the flow)
    bool shutOff = false;           // closed, or on a node that carries nothing
};

struct ConvergedSolution {
    bool ok = false;  // false: the network was refused (as Calculate refuses it); nothing else is set
    int16_t node = 0; // the node a refusal names
    QString message;  // Italian, for the user: the refusal, or a solution that did not converge
    bool converged = false;
    int iterations = 0;
    double totalFlow = 0;                 // l/min entering node 1
    std::vector<ConvergedNode> nodes;     // indexed like NodeTable; index 0 holds no node
    std::vector<ConvergedLoopPipe> loops; // indexed like the project's loop pipes

    // Head a dry terminal lacks to start flowing, mm (0 for a flowing terminal).
    double headLacking(int16_t end) const;
};

struct ConvergedOptions {
    int maxIterations = convergence::kMaxIterations;
    // Another pressure at node 1's inlet, mm, than the project's supply (a demand curve).
    std::optional<double> supplyPressure;
};

// Solves the network to convergence with the network solver (SolveNetwork): reads the
// project, writes nothing into it. The flows are those at which every law holds to 1e-9 of
// the supply's head; a flow near 0 is fixed by the heads only to (that balance / its
// resistance)^(1/1.85), a few thousandths of a litre a minute against the whole litres the
// program shows.
ConvergedSolution SolveConverged(const Project& project, const ConvergedOptions& options = {});

// The converged solution the checks compare `results` against: for a network with loop pipes
// the one the calculation already solved them with, else solved now.
ConvergedSolution convergedSolutionFor(const Project& project, const NetworkResults& results);

} // namespace valmora
