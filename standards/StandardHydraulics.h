#pragma once

// The network as the standards' laws see it, for scenarios in which only some terminals
// discharge. A terminal passes Q = Kn x sqrt(p), Q in l/min and p in bar at its connection,
// with Kn = nominal flow / sqrt(nominal pressure) of its type; pipes lose as in the
// calculation (Hazen-Williams, the same section resistances, equivalent lengths and KV
// elements: EN 12845's p = 6.05e5 L Q^1.85 / (C^1.85 d^4.87) bar); a terminal stands on a
// static head of its height at 0.098 bar a metre (1 bar = 10.197 m of water); the supply's
// head, given in metres, is converted the same way. Every other terminal and every end
// without terminal is shut; a closed section or loop pipe carries nothing.
//
// A scenario's network is small: the paths from the supply to its members and to the ends of
// the loop pipes, with the sections between two branchings merged into one (they carry the
// same flow, and Hazen-Williams resistances in series add), and the loop pipes between their
// ends. Each path's resistance comes from sums kept for the whole network, so a scenario costs
// the size of its own network, not of the whole one: thousands of scenarios of a tree of
// 32 767 nodes are searched in a second. It is solved by the network solver, the one that
// solves the calculation's converged solution, a member above the hydraulic grade delivering 0.

#include "model/Calculation.h"
#include "model/NetworkSolver.h"
#include "model/Project.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

namespace standard_law {
constexpr double kMetresOfWaterPerBar = units::kMetresOfWaterPerBar;
// The calculation's resistances give losses in mm at 10 000 mm a bar, as its formula does.
constexpr double kLossMmPerBar = hydraulics::kMmPerBar;
constexpr double kMmPerMetre = hydraulics::kMmPerMetreOfHeight;
constexpr double kMPaPerBar = units::kMPaPerBar;
constexpr double kLitresPerCubicMetre = 1000;
} // namespace standard_law

class StandardNetwork {
public:
    // Nothing is verified of a network the calculation refuses (problem() says what refuses it).
    explicit StandardNetwork(const Project& project);

    bool ok() const { return !problem_; }
    const std::optional<NetworkProblem>& problem() const { return problem_; }
    const Project& project() const { return project_; }

    // The supply's head in bar.
    double supplyBar() const { return supply_; }
    // Terminal ends reached from node 1, in file order.
    const std::vector<int16_t>& terminalEnds() const { return terminals_; }
    // Kn of the terminal at a branch end, l/min per sqrt(bar); 0 when its type has no nominal
    // flow or pressure to take it from.
    double kn(int16_t end) const { return kn_[std::size_t(end)]; }
    double staticHead(int16_t end) const { return staticHead_[std::size_t(end)]; } // bar
    // Closed, or fed only through a closed section.
    bool shutOff(int16_t node) const { return shutOff_[std::size_t(node)]; }
    // bar per (l/min)^1.85, from the supply to the node's outlet.
    double pathResistance(int16_t node) const { return pathResistance_[std::size_t(node)]; }
    double sectionResistance(int16_t node) const { return sectionResistance_[std::size_t(node)]; }
    // Position of the node in file order, and the one after its subtree: `a` holds `b` in its
    // subtree when first(a) <= first(b) < afterSubtree(a).
    int first(int16_t node) const { return first_[std::size_t(node)]; }
    int afterSubtree(int16_t node) const { return afterSubtree_[std::size_t(node)]; }
    const std::vector<int16_t>& preorder() const { return preorder_; }
    int16_t commonAncestor(int16_t a, int16_t b) const;
    // Sections closed on the way from the supply to the node, the node's own included.
    int closedOnTheWay(int16_t node) const { return closedAbove_[std::size_t(node)]; }

    // The open loop pipes between nodes the supply reaches, with their resistances (bar per
    // (l/min)^1.85); a network with any is looped, and its terminals may be fed both ways.
    struct LoopLink {
        int16_t a = 0, b = 0;
        int pipe = 0; // its index among the project's loop pipes
        double resistance = 0;
    };
    const std::vector<LoopLink>& loopLinks() const { return loops_; }
    bool looped() const { return !loops_.empty(); }

    // The flow a terminal alone would draw with `head` bar at the outlet of `from` (0 for
    // the supply itself) through the sections down to it; from the supply of a looped network,
    // through every way the loops give it.
    double flowAlone(int16_t end, int16_t from, double head) const;
    // The supply's head a terminal alone needs to stand at `required` bar, along the tree's
    // path to it: on a looped network, where a ring may feed it both ways, no less than it needs
    // (an estimate the searches rank terminals by, never a result).
    double demandAlone(int16_t end, double required) const;
    // What no head below can do: the terminal standing at `required` bar on its static head.
    double leastDemand(int16_t end, double required) const { return required + staticHead(end); }

private:
    void takeLoopPipes();

    const Project& project_;
    std::optional<NetworkProblem> problem_;
    double supply_ = 0;
    std::vector<int16_t> terminals_, preorder_;
    std::vector<double> kn_, staticHead_, pathResistance_, sectionResistance_;
    std::vector<bool> shutOff_;
    std::vector<LoopLink> loops_;
    std::vector<int> first_, afterSubtree_, depth_, closedAbove_;
    std::vector<std::vector<int16_t>> up_; // up_[k][v]: the 2^k-th ancestor
};

// One scenario: its members discharging, everything else shut.
class ScenarioNetwork {
public:
    // `members`: terminal ends that may discharge (not shut off, with Kn > 0), no repeats.
    // The scenario's tree holds them, the ends of the network's loop pipes, and where their
    // paths part.
    ScenarioNetwork(const StandardNetwork& network, std::vector<int16_t> members);

    const std::vector<int16_t>& members() const { return members_; }

    struct Solution {
        double originPressure = 0;    // bar
        std::vector<double> flow;     // by member, l/min
        std::vector<double> pressure; // by member, bar at the connection (0 or below: dry)
        double totalFlow = 0;
        bool converged = false;
        // By node of the scenario's tree (tree order): the flow of the section above it
        // (positive downwards), and the head at its outlet, bar.
        std::vector<double> edgeFlow, head;
        // By loop link of the network (positive from its end a to b), l/min.
        std::vector<double> loopFlow;
        int iterations = 0;
    };
    // At `originPressure` bar at the supply.
    Solution solve(double originPressure) const;
    // The same, starting from the solution of another scenario of the same network (its flows
    // where the two share a section, a loop link or a member): far fewer steps for a scenario
    // much like it, as each outlet alone after the one before.
    Solution solveFrom(double originPressure, const ScenarioNetwork& near,
                       const Solution& nearSolution) const;

    // The lowest supply head at which every member stands at least at its required pressure
    // (bar, by member), with the solution there; none when no head suffices.
    struct Demand {
        double pressure = 0; // bar
        Solution solution;
    };
    std::optional<Demand> demand(const std::vector<double>& required) const;

    // Estimates from given members' flows (by member, l/min), without solving (along the tree's
    // paths alone, a loop pipe carrying nothing: a looped network loses less): the supply head
    // at which every member would stand at its `pressures` (bar) with those flows through the
    // shared sections; and the flow the members would draw at `origin` bar, each taking what
    // the head left by those losses gives it.
    double estimatedDemand(const std::vector<double>& flows, const std::vector<double>& pressures) const;
    double estimatedFlow(const std::vector<double>& flows, double origin) const;

    // The scenario's tree: nodes in file order, each with its parent in the tree (-1 for the
    // top one, fed by the supply) and, for a member, its slot in members(); the ends of each
    // loop link among them.
    const std::vector<int16_t>& treeNodes() const { return nodes_; }
    int treeParent(std::size_t k) const { return parent_[k]; }
    int memberSlot(std::size_t k) const { return slot_[k]; }

private:
    void flowsUp(const std::vector<double>& q, std::vector<double>& edgeFlow) const;
    Solution solveWith(double originPressure, const SolverOptions& options) const;

    const StandardNetwork* network_;
    std::vector<int16_t> members_;
    std::vector<int16_t> nodes_;     // tree order
    std::vector<int> parent_, slot_; // by tree node
    std::vector<double> r_;          // bar per (l/min)^1.85 of the merged sections above each tree node
    std::vector<double> kn_, z_;     // by member
    SolverNetwork solverNetwork_;    // junction and link k: tree node k; then the loop links
};

} // namespace valmora
