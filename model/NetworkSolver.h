#pragma once

// The solver of any network of sections and terminals, looped or not: the Global Gradient
// Algorithm (Todini and Pilati), Newton's method on the heads of every junction at once, with
// the sections' flows following from them. Each iteration solves one sparse symmetric system
// (a simplicial LDLT factorisation whose pattern is worked out once), so an iteration costs
// about what a walk of the tree does, whatever the loops.
//
// Chosen over a loop-flow Newton on the tree's chords because it needs no choice of loops,
// works the same on a tree (where its matrix is a tree's and factorises without fill-in) and on
// a grid, and has the behaviour engineers know from EPANET, which solves the same way.
//
// The physical model is the converged solution's: a section loses R x |Q|^0.85 x Q (mm, Q in
// l/min), a terminal discharges to the air through Kt x Q^1.85 above its static head and never
// takes water back (above the hydraulic grade it is dry), an open end discharges at head 0.
// The heads may be in any unit the resistances are (the verification's scenarios work in bar,
// their outlets by Q = Kn sqrt(p)).

#include <cstdint>
#include <vector>

namespace valmora {

struct SolverNetwork {
    struct Link {
        int from = 0;          // junction index, or -1 for the source
        int to = 0;            // junction index
        double resistance = 0; // R, mm / (l/min)^1.85
        bool closed = false;   // carries nothing
    };
    struct Terminal {
        int junction = 0;
        double resistance = 0; // Kt: above its static head it stands Kt x Q^exponent
        double staticHead = 0; // 1000 x its height in mm (or the head's unit)
        // 1.85 for the calculation's terminals (Q = K p^(1/1.85)); 2 for the standards'
        // outlets (Q = Kn sqrt(p), Kt = 1 / Kn^2).
        double exponent = 1.85;
    };
    int junctions = 0;
    double sourceHead = 0;           // mm at the source
    std::vector<Link> links;         // a positive flow runs from `from` to `to`
    std::vector<Terminal> terminals; // at most one a junction
    std::vector<int> openEnds;       // junctions held at head 0 (discharging to the air)
};

struct SolverOptions {
    int maxIterations = 200;
    // Converged when every element has settled, its last step below this share of the largest
    // flow or its law holding to 1e-9 of the source's head (the converged solution's balance)...
    double relativeFlowTolerance = 1e-9;
    // A step below this (l/min) has settled whatever the flow: a network whose terminals are
    // all dry carries nothing, and its flows go to 0 only slowly.
    double negligibleStep = 1e-12;
    // ...and no terminal changed between flowing and dry in the last iteration.

    // Where Newton starts from (l/min): by link and by terminal when given for every one, a
    // solution of a network much like this one (the same network at another head, the same
    // rings with another outlet open); empty, a small flow everywhere.
    std::vector<double> startingLinkFlow;
    std::vector<double> startingTerminalFlow;
};

struct SolverResult {
    bool converged = false;
    int iterations = 0;
    std::vector<double> linkFlow;     // l/min, by link; 0 for a closed or cut-off link
    std::vector<double> head;         // mm, by junction; 0 where no open way reaches the source
    std::vector<bool> reached;        // by junction: an open way joins it to the source
    std::vector<double> terminalFlow; // l/min, by terminal; 0 when dry
    std::vector<bool> dry;            // by terminal
    double sourceFlow = 0;            // l/min leaving the source
};

SolverResult SolveNetwork(const SolverNetwork& network, const SolverOptions& options = {});

class Project;

// The project's network as the solver takes it: junction i - 1 is the outlet of node i, link
// i - 1 its section (from its parent's outlet, or from the source for node 1), link
// nodeCount + k its k-th loop pipe (from node A's outlet to node B's), the supply the source's
// head (or `supply`, mm). Records no walk from node 1 reaches are left out (closed links, no
// terminal), as is a loop pipe on one of them.
SolverNetwork solverNetworkOf(const Project& project);
SolverNetwork solverNetworkOf(const Project& project, double supply);

} // namespace valmora
