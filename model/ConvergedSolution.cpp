#include "model/ConvergedSolution.h"

#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/NetworkValidation.h"
#include "model/Traversal.h"

#include <algorithm>
#include <cmath>

// Method. The flows are the unique minimiser of the network's content
//     F = sum over elements of r |q|^2.85 / 2.85 + sum over terminals of z q - supply x q(node 1)
// over the flows of the ends (every section carries the sum of the ends it feeds, so
// continuity always holds), with every terminal's flow >= 0. dF/dq of an end is minus its
// residual: the pressure reaching it less what its own loss and static head need. F is
// strictly convex and grows like |q|^2.85, so the minimiser exists, is unique, and is
// exactly the hydraulic solution with dry terminals at 0 (the bound's multiplier is the
// head a dry terminal lacks).
//
// Each iteration is a projected Newton step (bound-constrained Newton with an
// epsilon-active set and an Armijo search along the projected arc): terminals at (or
// within kActiveFlow of) 0 whose residual is not positive are sent to 0 and held; for the
// others, the Newton system of the linearised losses is eliminated over the tree: from the
// ends up, each subtree becomes a line "inlet head = A + B x change of its flow" (sections
// add in series, branches combine in parallel), node 1 is solved against the supply, and
// the changes are split back down. The curvature of a loss is floored so that B > 0, which
// keeps the scaling positive definite and bounded on the level set; with F convex and
// coercive, the Armijo search gives a decreasing F and convergence to the minimiser, and
// once the dry terminals are identified the steps are plain Newton steps (quadratic).

namespace valmora {

using namespace hydraulics;

namespace {

constexpr double kContentExponent = kExponent + 1; // F is the integral of the losses
constexpr double kCurvatureExponent = kExponent - 1;
// Flows below this (l/min) take this flow's curvature: keeps every line's slope positive.
constexpr double kCurvatureFloorFlow = 1e-9;
// A terminal this close to 0 (l/min) that is not pushed upwards is sent to 0 and held.
constexpr double kActiveFlow = 1e-6;
constexpr double kArmijoFraction = 1e-4;
constexpr int kMaxHalvings = 60;
// Changes of F below this share of its scale are rounding: the step is taken.
constexpr double kContentRoundoff = 1e-13;
// Heads are sums of drops of up to the supply pressure: a residual below this share of the
// supply is rounding. An end whose flow the heads cannot fix more closely than that (a
// small flow behind a large resistance, or a terminal just at the grade, where the flow
// goes with the residual^(1/1.85)) is as converged as the arithmetic allows.
constexpr double kHeadRoundoff = 1e-12;

enum class EndKind { None, Terminal, OpenEnd };

// The network as the solver sees it, with everything that does not change between iterations.
struct Tree {
    std::vector<int16_t> order; // the nodes that may carry flow, each before all it feeds
    std::vector<int16_t> ends;  // the ends among them, in the same order
    std::vector<int16_t> parent;
    std::vector<int16_t> next, derivation; // children that may carry flow, 0 when none
    std::vector<double> r;      // section resistance
    std::vector<double> kt;     // terminal resistance (terminal ends)
    std::vector<double> z;      // static head, mm (terminal ends)
    std::vector<EndKind> kind;
    std::vector<bool> shutOff;
    double supply = 0;
};

// |q|^0.85: multiplied once by q it gives the signed loss power, twice the content power.
double curvaturePower(double q) { return std::pow(std::abs(q), kCurvatureExponent); }
double lossPower(double q, double power) { return power * q; }

Tree buildTree(const Project& project) {
    const std::size_t size = project.NodeTable.size();
    Tree tree;
    tree.parent.assign(size, 0);
    tree.next.assign(size, 0);
    tree.derivation.assign(size, 0);
    tree.r.assign(size, 0);
    tree.kt.assign(size, 0);
    tree.z.assign(size, 0);
    tree.kind.assign(size, EndKind::None);
    tree.shutOff.assign(size, false);
    tree.supply = double(project.supplyPressure);

    for (const int16_t i : networkPreorder(project)) {
        const Node& node = project.NodeTable[i];
        tree.shutOff[i] = node.closed || (node.parent > 0 && tree.shutOff[node.parent]);
        if (tree.shutOff[i])
            continue;
        tree.order.push_back(i);
        tree.parent[i] = node.parent;
        tree.r[i] = sectionResistance(project, node);
        if (node.continues()) {
            tree.next[i] = node.next;
            tree.derivation[i] = node.hasDerivation() ? node.derivation : 0;
            continue;
        }
        tree.ends.push_back(i);
        if (node.endsInTerminal()) {
            const Terminal& terminal = project.terminalOf(node);
            tree.kind[i] = EndKind::Terminal;
            tree.kt[i] = double(terminalResistanceFor(project.terminalTypeOf(terminal).kFactor));
            tree.z[i] = double(terminal.height * kMmPerMetreOfHeight);
        } else {
            tree.kind[i] = EndKind::OpenEnd; // discharges at height 0 through its section alone
        }
    }
    // A child cut off by a closed section is no child for the flow.
    for (const int16_t i : tree.order) {
        if (tree.next[i] > 0 && tree.shutOff[tree.next[i]])
            tree.next[i] = 0;
        if (tree.derivation[i] > 0 && tree.shutOff[tree.derivation[i]])
            tree.derivation[i] = 0;
    }
    return tree;
}

// Section flows from the flows of the ends: every section carries what it feeds.
void sumFlowsUp(const Tree& tree, std::vector<double>& q) {
    for (auto it = tree.order.rbegin(); it != tree.order.rend(); ++it) {
        const int16_t i = *it;
        if (tree.kind[i] != EndKind::None)
            continue;
        q[i] = (tree.next[i] ? q[tree.next[i]] : 0.0) + (tree.derivation[i] ? q[tree.derivation[i]] : 0.0);
    }
}

// F at the flows q; fills `power` with |q|^0.85 for the losses and heads that follow.
double content(const Tree& tree, const std::vector<double>& q, std::vector<double>& power) {
    double sum = 0;
    for (const int16_t i : tree.order) {
        power[i] = curvaturePower(q[i]);
        const double contentPower = power[i] * q[i] * q[i];
        sum += (tree.r[i] + tree.kt[i]) * contentPower / kContentExponent + tree.z[i] * q[i];
    }
    const double rootFlow = tree.order.empty() ? 0.0 : q[tree.order.front()];
    return sum - tree.supply * rootFlow;
}

// Pressure at every outlet (mm), walking down from the supply.
void headsDown(const Tree& tree, const std::vector<double>& q,
               const std::vector<double>& power, std::vector<double>& head) {
    for (const int16_t i : tree.order) {
        const int16_t parent = tree.parent[i];
        const double inlet = parent > 0 ? head[parent] : tree.supply;
        head[i] = inlet - tree.r[i] * lossPower(q[i], power[i]);
    }
}

// What reaches an end beyond what its own loss and static head need (mm).
double endResidual(const Tree& tree, int16_t end, const std::vector<double>& q, const std::vector<double>& power,
                   const std::vector<double>& head) {
    return head[end] - tree.kt[end] * lossPower(q[end], power[end]) - tree.z[end];
}

double lossCurvature(double resistance, double flow) {
    return kExponent * resistance * std::pow(std::max(std::abs(flow), kCurvatureFloorFlow), kCurvatureExponent);
}

// Start: the flows of the last calculation when usable, else each end as if it were alone.
std::vector<double> startingFlows(const Project& project, const Tree& tree, const ConvergedOptions& options) {
    std::vector<double> q(project.NodeTable.size(), 0.0);
    bool usable = options.startFromResults && std::isfinite(project.totalFlow) && project.totalFlow > 0;
    for (const int16_t end : tree.ends) {
        const double flow = nodeFlow(project, end);
        usable = usable && std::isfinite(flow) && flow >= 0;
        q[end] = flow;
    }
    if (usable)
        return q;

    std::vector<double> pathResistance(project.NodeTable.size(), 0.0);
    for (const int16_t i : tree.order) {
        const int16_t parent = tree.parent[i];
        pathResistance[i] = (parent > 0 ? pathResistance[parent] : 0.0) + tree.r[i];
    }
    for (const int16_t end : tree.ends) {
        const double available = std::max(0.0, tree.supply - tree.z[end]);
        q[end] = std::pow(available / (pathResistance[end] + tree.kt[end]), kInverseExponent);
    }
    return q;
}

// Per node of the Newton elimination: the subtree's line "inlet head = a + b x change".
struct Lines {
    std::vector<double> a, b;                 // subtree line
    std::vector<double> outletA, outletB;     // line of the outlet head (continuing nodes)
    std::vector<bool> rigid;                  // no free end below: does not take part
    std::vector<double> change;               // the step of each section's flow

    explicit Lines(std::size_t size)
        : a(size), b(size), outletA(size), outletB(size), rigid(size), change(size) {}
};

// Whether an end is held at 0 this iteration: a terminal at or near 0 not pushed upwards.
bool heldAtZero(const Tree& tree, int16_t end, double flow, double residual) {
    return tree.kind[end] == EndKind::Terminal && flow <= kActiveFlow && residual <= 0;
}

// Curvature of an end's losses; for an end carrying less than its inlet pressure would
// drive, taken at that flow, so that a terminal just reopened does not draw the whole network.
double endCurvature(const Tree& tree, int16_t end, double flow, double inletHead) {
    const double resistance = tree.r[end] + tree.kt[end];
    double at = std::abs(flow);
    const double driving = inletHead - tree.z[end];
    if (driving > resistance * std::pow(at, kExponent))
        at = std::pow(driving / resistance, kInverseExponent);
    return lossCurvature(resistance, at);
}

// The projected Newton direction: `change` of every end (held ends go to 0).
void newtonDirection(const Tree& tree, const std::vector<double>& q,
                     const std::vector<double>& power, const std::vector<double>& head,
                     const std::vector<double>& residual, Lines& lines) {
    for (auto it = tree.order.rbegin(); it != tree.order.rend(); ++it) {
        const int16_t i = *it;
        const double loss = tree.r[i] * lossPower(q[i], power[i]);
        if (tree.kind[i] != EndKind::None) {
            if (heldAtZero(tree, i, q[i], residual[i])) {
                lines.rigid[i] = true;
                lines.change[i] = -q[i];
                continue;
            }
            const int16_t parent = tree.parent[i];
            const double inletHead = parent > 0 ? head[parent] : tree.supply;
            lines.rigid[i] = false;
            lines.a[i] = loss + tree.kt[i] * lossPower(q[i], power[i]) + tree.z[i];
            lines.b[i] = endCurvature(tree, i, q[i], inletHead);
            continue;
        }
        double conductance = 0; // sum of 1/b of the free children
        double weighted = 0;    // sum of a/b of the free children
        for (const int16_t child : {tree.next[i], tree.derivation[i]}) {
            if (child > 0 && !lines.rigid[child]) {
                conductance += 1 / lines.b[child];
                weighted += lines.a[child] / lines.b[child];
            }
        }
        lines.rigid[i] = conductance == 0;
        lines.change[i] = 0;
        if (lines.rigid[i])
            continue;
        lines.outletB[i] = 1 / conductance;
        lines.outletA[i] = weighted / conductance;
        lines.a[i] = loss + lines.outletA[i];
        lines.b[i] = lossCurvature(tree.r[i], q[i]) + lines.outletB[i];
    }

    const int16_t root = tree.order.front();
    if (!lines.rigid[root])
        lines.change[root] = (tree.supply - lines.a[root]) / lines.b[root];
    for (const int16_t i : tree.order) {
        if (tree.kind[i] != EndKind::None || lines.rigid[i])
            continue;
        const double outletHead = lines.outletA[i] + lines.outletB[i] * lines.change[i];
        for (const int16_t child : {tree.next[i], tree.derivation[i]})
            if (child > 0 && !lines.rigid[child])
                lines.change[child] = (outletHead - lines.a[child]) / lines.b[child];
    }
}

bool withinTolerance(double step, double flow) {
    using namespace convergence;
    return std::abs(step) <= kRelativeFlowTolerance * std::max(std::abs(flow), kFlowToleranceFloor);
}

bool residualIsRounding(const Tree& tree, double residual) {
    return std::abs(residual) <= kHeadRoundoff * tree.supply;
}

struct SolverState {
    std::vector<double> q, power, head, residual;
    double content = 0;
};

// Armijo search along the projected arc from `state`; true when the full step was taken.
// Fills `trial` with the accepted point and reports whether every end's step was within tolerance.
bool searchAlongArc(const Tree& tree, const SolverState& state, const Lines& lines, SolverState& trial,
                    bool& stepsWithinTolerance) {
    const double scale = std::abs(state.content) + tree.supply * std::abs(state.q[tree.order.front()]);
    double t = 1;
    for (int halving = 0; halving <= kMaxHalvings; ++halving, t /= 2) {
        double predicted = 0; // dF along the projected step
        stepsWithinTolerance = true;
        for (const int16_t end : tree.ends) {
            double moved = state.q[end] + t * lines.change[end];
            if (tree.kind[end] == EndKind::Terminal)
                moved = std::max(0.0, moved);
            trial.q[end] = moved;
            predicted -= state.residual[end] * (moved - state.q[end]);
            stepsWithinTolerance = stepsWithinTolerance && (withinTolerance(moved - state.q[end], moved) ||
                                                            residualIsRounding(tree, state.residual[end]));
        }
        sumFlowsUp(tree, trial.q);
        trial.content = content(tree, trial.q, trial.power);
        if (trial.content <= state.content + kArmijoFraction * predicted + kContentRoundoff * scale)
            return halving == 0;
    }
    return false;
}

void evaluate(const Tree& tree, SolverState& state) {
    headsDown(tree, state.q, state.power, state.head);
    for (const int16_t end : tree.ends)
        state.residual[end] = endResidual(tree, end, state.q, state.power, state.head);
}

ConvergedNode convergedNodeAt(const Project& project, const Tree& tree, const SolverState& state, int16_t i) {
    const Node& node = project.NodeTable[i];
    ConvergedNode out;
    out.shutOff = tree.shutOff[i];
    out.flow = out.shutOff ? 0.0 : state.q[i];
    out.velocity = sectionVelocity(project, node, out.flow);
    if (out.shutOff)
        return out;
    out.drop = tree.r[i] * lossPower(state.q[i], state.power[i]);
    out.cumulativeDrop = tree.supply - state.head[i];
    if (tree.kind[i] == EndKind::Terminal) {
        out.pressureLeft = state.head[i] - tree.z[i];
        out.dry = state.q[i] == 0;
    }
    return out;
}

} // namespace

double ConvergedSolution::headLacking(int16_t end) const {
    const ConvergedNode& n = nodes[std::size_t(end)];
    return n.dry && n.pressureLeft ? std::max(0.0, -*n.pressureLeft) : 0.0;
}

ConvergedSolution SolveConverged(const Project& project, const ConvergedOptions& options) {
    ConvergedSolution solution;
    if (const std::optional<NetworkProblem> problem = findCalculationProblem(project)) {
        solution.node = problem->node;
        solution.message = problem->message;
        return solution;
    }
    solution.ok = true;

    const Tree tree = buildTree(project);
    const std::size_t size = project.NodeTable.size();
    SolverState state{startingFlows(project, tree, options), std::vector<double>(size), std::vector<double>(size),
                      std::vector<double>(size)};
    SolverState trial = state;
    Lines lines(size);

    if (tree.order.empty()) {
        solution.converged = true; // node 1 closed: nothing flows
    } else {
        sumFlowsUp(tree, state.q);
        state.content = content(tree, state.q, state.power);
        while (!solution.converged && solution.iterations < options.maxIterations) {
            ++solution.iterations;
            evaluate(tree, state);
            newtonDirection(tree, state.q, state.power, state.head, state.residual, lines);
            bool stepsWithinTolerance = false;
            const bool fullStep = searchAlongArc(tree, state, lines, trial, stepsWithinTolerance);
            std::swap(state, trial);
            solution.converged = fullStep && stepsWithinTolerance;
        }
        evaluate(tree, state);
        solution.totalFlow = state.q[tree.order.front()];
    }
    if (!solution.converged)
        solution.message = QStringLiteral("Soluzione non convergente dopo %1 iterazioni").arg(solution.iterations);

    solution.nodes.resize(size);
    for (const int16_t i : networkPreorder(project))
        solution.nodes[std::size_t(i)] = convergedNodeAt(project, tree, state, i);
    return solution;
}

} // namespace valmora
