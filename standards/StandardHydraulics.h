#pragma once

// The network as the standards' laws see it, for scenarios in which only some terminals
// discharge. A terminal passes Q = Kn x sqrt(p), Q in l/min and p in bar at its connection,
// with Kn = nominal flow / sqrt(nominal pressure) of its type; pipes lose as in the
// calculation (Hazen-Williams, the same section resistances, equivalent lengths and KV
// elements: EN 12845's p = 6.05e5 L Q^1.85 / (C^1.85 d^4.87) bar); a terminal stands on a
// static head of its height at 0.098 bar a metre (1 bar = 10.197 m of water); the supply's
// head, given in metres, is converted the same way. Every other terminal and every end
// without terminal is shut; a closed section carries nothing.
//
// A scenario's terminals and the sections that feed them make a small tree: the paths from
// the supply to its members, with the sections between two branchings merged into one (they
// carry the same flow, and Hazen-Williams resistances in series add). Each path's resistance
// comes from sums kept for the whole network, so a scenario costs the size of its own tree,
// not of the network's: thousands of scenarios of a network of 32 767 nodes are searched in
// a second. Solved as the calculation's converged solution is: the flows minimise the
// network's content, a terminal above the hydraulic grade delivering 0.

#include "model/Calculation.h"
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

    // The flow a terminal alone would draw with `head` bar at the outlet of `from` (0 for
    // the supply itself) through the sections down to it.
    double flowAlone(int16_t end, int16_t from, double head) const;
    // The supply's head a terminal alone needs to stand at `required` bar.
    double demandAlone(int16_t end, double required) const;

private:
    const Project& project_;
    std::optional<NetworkProblem> problem_;
    double supply_ = 0;
    std::vector<int16_t> terminals_, preorder_;
    std::vector<double> kn_, staticHead_, pathResistance_, sectionResistance_;
    std::vector<bool> shutOff_;
    std::vector<int> first_, afterSubtree_, depth_;
    std::vector<std::vector<int16_t>> up_; // up_[k][v]: the 2^k-th ancestor
};

// One scenario: its members discharging, everything else shut.
class ScenarioTree {
public:
    // `members`: terminal ends that may discharge (not shut off, with Kn > 0), no repeats.
    ScenarioTree(const StandardNetwork& network, std::vector<int16_t> members);

    const std::vector<int16_t>& members() const { return members_; }

    struct Solution {
        double originPressure = 0;    // bar
        std::vector<double> flow;     // by member, l/min
        std::vector<double> pressure; // by member, bar at the connection (0 or below: dry)
        double totalFlow = 0;
        bool converged = false;
        // By node of the scenario's tree (tree order): the flow of the section above it, and
        // the head at its outlet, bar.
        std::vector<double> edgeFlow, head;
    };
    // At `originPressure` bar at the supply; from `start`'s flows when given.
    Solution solve(double originPressure, const Solution* start = nullptr) const;

    // The lowest supply head at which every member stands at least at its required pressure
    // (bar, by member), with the solution there; none when no head suffices.
    struct Demand {
        double pressure = 0; // bar
        Solution solution;
    };
    std::optional<Demand> demand(const std::vector<double>& required) const;

    // Estimates from given members' flows (by member, l/min), without solving: the supply head
    // at which every member would stand at its `pressures` (bar) with those flows through the
    // shared sections; and the flow the members would draw at `origin` bar, each taking what
    // the head left by those losses gives it.
    double estimatedDemand(const std::vector<double>& flows, const std::vector<double>& pressures) const;
    double estimatedFlow(const std::vector<double>& flows, double origin) const;

    // The scenario's tree: nodes in file order, each with its parent in the tree (-1 for the
    // top one, fed by the supply) and, for a member, its slot in members().
    const std::vector<int16_t>& treeNodes() const { return nodes_; }
    int treeParent(std::size_t k) const { return parent_[k]; }
    int memberSlot(std::size_t k) const { return slot_[k]; }

private:
    // F at the flows q; fills the sections' flows and their |Q|^0.85.
    double content(const std::vector<double>& q, std::vector<double>& edgeFlow, std::vector<double>& power,
                   double origin) const;
    void flowsUp(const std::vector<double>& q, std::vector<double>& edgeFlow) const;
    void headsDown(const std::vector<double>& edgeFlow, const std::vector<double>& power, double origin,
                   std::vector<double>& head) const;

    const StandardNetwork* network_;
    std::vector<int16_t> members_;
    std::vector<int16_t> nodes_;     // tree order
    std::vector<int> parent_, slot_; // by tree node
    std::vector<std::vector<int>> children_;
    std::vector<double> r_;      // bar per (l/min)^1.85 of the merged sections above each tree node
    std::vector<double> kn_, z_; // by member
};

} // namespace valmora
