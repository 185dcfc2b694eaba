#include "tests/support/TreeContentSolver.h"

#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/NetworkProblemText.h"
#include "model/NetworkValidation.h"
#include "model/Traversal.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The converged solution of a tree by another method than the program's network solver: the
// minimum of the network's content, found by projected Newton steps over the tree. Kept as the
// oracle the network solver is checked against on trees; it knows nothing of loops.
//
// Method. The flows are the unique minimiser of the network's content
//     F = sum over sections of r |q|^2.85 / 2.85
//       + sum over ends of (Kt |q|^2.85 / 2.85 + z q) - supply x q(node 1)
// over the flows q of the ends, each >= 0 (every section carries the sum of the ends it
// feeds, so continuity always holds). dF/dq of an end is minus its residual: the pressure
// reaching it less what its own loss and static head need. F is strictly convex and grows
// like |q|^2.85, so the minimiser exists and is unique, and its conditions are exactly the
// hydraulics: a flowing end has residual 0, an end at 0 has residual <= 0 (the head a dry
// terminal lacks). An end without terminal never has a negative residual at the minimiser
// (no pressure in the network is below 0), so its bound changes nothing; each end's flow
// is also below the flow it would carry alone on the supply, a second bound that changes
// nothing either and keeps a poor step within reach.
//
// Each iteration is a projected Newton step for this bound-constrained problem, with an
// epsilon-active set and an Armijo search along the projected arc:
//   - ends at (or within kActiveFlow of) 0 that are not pushed upwards are held: each takes
//     its own step, cut at 0;
//   - for the others, the Newton system of the linearised losses (given the held ends'
//     steps) is eliminated over the tree: from the ends up, each subtree becomes a line
//     "inlet head = A + B x change of its flow" (sections add in series, branches combine
//     in parallel), node 1 is solved against the supply, and the changes are split back
//     down. A section's slope is the tangent of its loss (floored, so B > 0); an end's is
//     the chord to the flow its inlet pressure would drive, which tends to the tangent.
//   - the search shrinks the step (quadratic backtracking) until F decreases enough.
//   - first, each iteration tries the step that also sends the clearly drying ends to 0
//     (holdOf), and takes it if F decreases enough with the whole step; else the step above.
// The iteration stops when every end meets its conditions to the head tolerance
// (meetsItsConditions), or when every end's step is within tolerance, or its residual is
// rounding, or it stays within kActiveFlow of 0 (an end at the grade can otherwise swing
// forever between 0 and a flow of a ten-millionth of a litre a minute). Near the grade the
// first is what ends the iteration: there F changes by less than its own rounding, the search
// can no longer tell a better point from a worse one, and the steps of ends carrying
// thousandths of a litre a minute would never settle within 1e-9 of their flows. The
// tolerance is a share of the head driving each end (supply less its static head): a terminal
// standing almost as high as the supply reaches is driven by a few mm, and its flow is fixed
// as closely as any other's.
// With F convex and coercive and the slopes positive and bounded on the level set, F
// decreases to its minimum; once the dry ends are identified the steps are Newton steps
// and converge quadratically. A subtree found dry (no flow, inlet pressure not above any
// of its static heads) is left out of the iterations while that holds.

namespace valmora::testkit {

using namespace hydraulics;

namespace {

constexpr double kContentExponent = kExponent + 1; // F is the integral of the losses
constexpr double kCurvatureExponent = kExponent - 1;
// Flows below this (l/min) take this flow's curvature: keeps every line's slope positive.
constexpr double kCurvatureFloorFlow = 1e-9;
// Closer than this share, the chord of an end's losses is taken as its tangent.
constexpr double kChordTangentGap = 1e-6;
// An end this close to 0 (l/min) that is not pushed upwards is sent to 0 and held.
constexpr double kActiveFlow = 1e-6;
// A flowing end short of its pressure by more than this share of the supply, whose own step
// would take it below 0 and whose flow is already below this share of the flow it would
// carry alone, is clearly drying: it is sent to 0 and held for the iteration (holdOf).
constexpr double kClearlyShortShare = 1e-3;
constexpr double kClearlyShortFlowShare = 0.1;
constexpr double kArmijoFraction = 1e-4;
constexpr int kMaxBacktracks = 60;
// A backtracking step shrinks the step to the minimum of the quadratic through F(0), its
// slope and F(t), kept within these shares of the last step.
constexpr double kLeastShrink = 0.1;
constexpr double kMostShrink = 0.5;
// Changes of F below this share of the magnitude of its terms are rounding: the step is taken.
constexpr double kContentRoundoff = 16 * std::numeric_limits<double>::epsilon();
// Rounding of a head, as a share of the supply: the head at an end is the supply less the
// sum of the drops on its path (at most the supply), so its rounding grows with the path's
// length from this floor by a few units of the last place per section. A residual below
// it is rounding; an end whose flow the heads cannot fix more closely than that (a small
// flow behind a large resistance, or a terminal just at the grade, where the flow goes with
// the residual^(1/1.85)) is as converged as the arithmetic allows.
constexpr double kHeadRoundoff = 1e-12;
constexpr double kHeadRoundoffPerSection = 4 * std::numeric_limits<double>::epsilon();

enum class EndKind { None, Terminal, OpenEnd };

// The network as the solver sees it, with everything that does not change between iterations.
struct Tree {
    std::vector<int16_t> order; // the nodes that may carry flow, each before all it feeds
    std::vector<int16_t> ends;  // the ends among them, in the same order
    std::vector<int16_t> parent;
    std::vector<int16_t> next, derivation; // children that may carry flow, 0 when none
    std::vector<double> r;                 // section resistance
    std::vector<double> kt;                // terminal resistance (terminal ends)
    std::vector<double> z;                 // static head, mm (terminal ends)
    std::vector<EndKind> kind;
    std::vector<bool> shutOff;
    std::vector<double> headRounding; // mm, what rounding leaves uncertain in the head at the node
    // Ends: mm, how closely its heads must balance (meetsItsConditions): the head tolerance's
    // share of the head that drives it (supply less static head), or its rounding if larger.
    std::vector<double> headTolerance;
    std::vector<int> subtreeSize;         // nodes in the subtree, which follow the node in `order`
    std::vector<double> lowestStaticHead; // mm, lowest static head of the subtree's ends
    // l/min an end would carry if it alone drew on the supply. Sharing its path only raises
    // the drops, so no end carries more: a bound of the search that changes nothing of
    // the solution and keeps a step computed from a poor linearisation within reach.
    std::vector<double> aloneFlow;
    double supply = 0;
};

// The part of the tree an iteration works on. A subtree that carries nothing and whose
// inlet pressure is not above its lowest terminal's static head stays dry as long as that
// holds: it is left out, so that the far end of a large network that the supply cannot
// reach costs nothing once found dry.
struct LivePart {
    std::vector<int16_t> order, ends;
    std::vector<int> stamp; // equal to `current` for the nodes in `order`
    int current = 0;
    // At the first node of a subtree left out: its flows are 0 in both states since then.
    std::vector<bool> zeroed;

    bool contains(int16_t i) const { return i > 0 && stamp[i] == current; }
};

// |q|^0.85: multiplied once by q it gives the signed loss power, twice the content power.
double curvaturePower(double q) {
    return std::pow(std::abs(q), kCurvatureExponent);
}
double lossPower(double q, double power) {
    return power * q;
}

Tree buildTree(const Project& project, double supply) {
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
    tree.headRounding.assign(size, 0);
    tree.supply = supply;

    for (const int16_t i : networkPreorder(project)) {
        const Node& node = project.NodeTable[i];
        tree.shutOff[i] = node.closed || (node.parent > 0 && tree.shutOff[node.parent]);
        if (tree.shutOff[i])
            continue;
        tree.order.push_back(i);
        tree.parent[i] = node.parent;
        const double above = node.parent > 0 ? tree.headRounding[node.parent] : kHeadRoundoff * tree.supply;
        tree.headRounding[i] = above + kHeadRoundoffPerSection * tree.supply;
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
    std::vector<double> pathResistance(size, 0.0);
    tree.aloneFlow.assign(size, 0.0);
    for (const int16_t i : tree.order) {
        pathResistance[i] = (tree.parent[i] > 0 ? pathResistance[tree.parent[i]] : 0.0) + tree.r[i];
        if (tree.kind[i] != EndKind::None) {
            const double available = std::max(0.0, tree.supply - tree.z[i]);
            tree.aloneFlow[i] = std::pow(available / (pathResistance[i] + tree.kt[i]), kInverseExponent);
        }
    }
    tree.headTolerance.assign(size, 0.0);
    for (const int16_t end : tree.ends) {
        const double driving = std::max(tree.supply - tree.z[end], 0.0);
        tree.headTolerance[end] =
            std::max(convergence::kRelativeHeadTolerance * driving, tree.headRounding[end]);
    }
    tree.subtreeSize.assign(size, 1);
    tree.lowestStaticHead.assign(size, std::numeric_limits<double>::infinity());
    for (auto it = tree.order.rbegin(); it != tree.order.rend(); ++it) {
        const int16_t i = *it;
        if (tree.kind[i] != EndKind::None)
            tree.lowestStaticHead[i] = tree.z[i];
        for (const int16_t child : {tree.next[i], tree.derivation[i]}) {
            if (child == 0)
                continue;
            tree.subtreeSize[i] += tree.subtreeSize[child];
            tree.lowestStaticHead[i] = std::min(tree.lowestStaticHead[i], tree.lowestStaticHead[child]);
        }
    }
    return tree;
}

// Section flows from the flows of the ends: every section carries what it feeds.
// A subtree left out carries nothing.
void sumFlowsUp(const Tree& tree, const LivePart& live, std::vector<double>& q) {
    for (auto it = live.order.rbegin(); it != live.order.rend(); ++it) {
        const int16_t i = *it;
        if (tree.kind[i] != EndKind::None)
            continue;
        q[i] = (live.contains(tree.next[i]) ? q[tree.next[i]] : 0.0) +
               (live.contains(tree.derivation[i]) ? q[tree.derivation[i]] : 0.0);
    }
}

// A sum carried with its rounding error (compensated summation): F is a sum over the
// whole network, and the line search compares values of it that differ in the last
// digits a plain sum would lose.
class CompensatedSum {
public:
    void add(double term) {
        const double y = term - carry_;
        const double t = sum_ + y;
        carry_ = (t - sum_) - y;
        sum_ = t;
        magnitude_ += std::abs(term);
    }
    double value() const { return sum_; }
    double magnitude() const { return magnitude_; } // sum of the terms' magnitudes

private:
    double sum_ = 0, carry_ = 0, magnitude_ = 0;
};

// F at the flows q (a subtree left out adds nothing); fills `power` with |q|^0.85 for the
// losses and heads that follow.
CompensatedSum content(const Tree& tree, const LivePart& live, const std::vector<double>& q,
                       std::vector<double>& power) {
    CompensatedSum sum;
    for (const int16_t i : live.order) {
        power[i] = curvaturePower(q[i]);
        const double contentPower = power[i] * q[i] * q[i];
        sum.add((tree.r[i] + tree.kt[i]) * contentPower / kContentExponent + tree.z[i] * q[i]);
    }
    sum.add(-tree.supply * (live.order.empty() ? 0.0 : q[live.order.front()]));
    return sum;
}

// Pressure at every outlet (mm), walking down from the supply.
void headsDown(const Tree& tree, const std::vector<double>& q, const std::vector<double>& power,
               std::vector<double>& head) {
    for (const int16_t i : tree.order) {
        const int16_t parent = tree.parent[i];
        const double inlet = parent > 0 ? head[parent] : tree.supply;
        head[i] = inlet - tree.r[i] * lossPower(q[i], power[i]);
    }
}

// What reaches an end beyond what its own loss and static head need (mm).
double endResidual(const Tree& tree, int16_t end, const std::vector<double>& q,
                   const std::vector<double>& power, const std::vector<double>& head) {
    return head[end] - tree.kt[end] * lossPower(q[end], power[end]) - tree.z[end];
}

// Tangent of R |Q|^1.85 at `flow` (`power` is |flow|^0.85), taken no lower than at the floor flow.
double lossSlope(double resistance, double flow, double power) {
    if (std::abs(flow) < kCurvatureFloorFlow)
        power = std::pow(kCurvatureFloorFlow, kCurvatureExponent);
    return kExponent * resistance * power;
}

// Start: the flows of the last calculation when usable, else each end as if it were alone.
std::vector<double> startingFlows(const Project& project, const Tree& tree, const ContentOptions& options) {
    std::vector<double> q(project.NodeTable.size(), 0.0);
    const NetworkResults* results = options.startFromResults;
    bool usable = results && std::isfinite(results->totalFlow) && results->totalFlow > 0;
    for (const int16_t end : tree.ends) {
        const double flow = results ? nodeFlow(*results, end) : 0.0;
        usable = usable && std::isfinite(flow) && flow >= 0;
        q[end] = flow;
    }
    for (const int16_t end : tree.ends)
        q[end] = usable ? std::min(q[end], tree.aloneFlow[end]) : tree.aloneFlow[end];
    return q;
}

struct SolverState {
    std::vector<double> q, power, head, residual;
    CompensatedSum content;
};

// Per node of the Newton elimination: the subtree's line "inlet head = a + b x change".
struct Lines {
    std::vector<double> a, b;             // subtree line
    std::vector<double> outletA, outletB; // line of the outlet head (continuing nodes)
    std::vector<bool> rigid;              // no free end below: does not take part
    std::vector<double> change;           // the step of each section's flow
    std::vector<double> endSlope;         // ends: the slope of their losses (endSlope)

    explicit Lines(std::size_t size)
        : a(size), b(size), outletA(size), outletB(size), rigid(size), change(size), endSlope(size) {}
};

// Whether an end is held out of the elimination this iteration and sent towards 0:
//   - a terminal at or near 0 not pushed upwards by more than the rounding of its head (the
//     flow goes with the residual^(1/1.85): a residual of rounding would drive a flow made of
//     rounding);
//   - when asked, an end still flowing, though already little, whose pressure is clearly
//     short of what it needs, by so much that its own step would take it below 0. (An end
//     still carrying much, such as every end of a first guess that lets each end draw as if
//     alone, is left free: sending all of those to 0 at once lands far from the solution, on
//     a network at rest whose first Newton steps are poor.) Left in the elimination, such an end
//     offers the network a sink far beyond the flow it has, the other ends' steps are
//     computed against it, and the search, which must cut it at 0, shrinks the whole step to
//     almost nothing: the iteration then retires one drying end at a time (on a long comb
//     whose far terminals go dry, dozens of searches over the whole network). Held at 0 it
//     leaves the others a step that usually holds. Where it does not, the iteration takes the
//     step without this rule (see SolveConverged). Near the solution the residuals are small
//     and the rule no longer applies: it changes how fast the iteration ends, not where.
enum class Hold { Free, AtZero, ClearlyShort };

Hold holdOf(const Tree& tree, int16_t end, double flow, double residual, double slope,
            bool sendClearlyShort) {
    if (flow <= kActiveFlow && residual <= tree.headRounding[end])
        return Hold::AtZero;
    if (sendClearlyShort && residual < -kClearlyShortShare * tree.supply && flow + residual / slope <= 0 &&
        flow <= kClearlyShortFlowShare * tree.aloneFlow[end])
        return Hold::ClearlyShort;
    return Hold::Free;
}

// Slope of an end's losses in the Newton line: the chord from its flow to the flow its
// inlet pressure would drive if that pressure held, the tangent when the two meet. The
// losses grow with Q^1.85, so a tangent taken far from the solution overshoots (from
// below) or creeps towards 0 (from above); the chord lands an end on the flow its pressure
// drives and keeps the slope positive and bounded, and tends to the tangent as the
// iteration converges.
double endSlope(const Tree& tree, int16_t end, double flow, double power, double inletHead) {
    const double resistance = tree.r[end] + tree.kt[end];
    const double loss = resistance * lossPower(flow, power);
    const double driving = std::max(inletHead - tree.z[end], 0.0); // an end never draws back
    const double driven = std::pow(driving / resistance, kInverseExponent);
    const double gap = flow - driven;
    if (std::abs(gap) <= kChordTangentGap * std::max(std::abs(flow), std::abs(driven)))
        return lossSlope(resistance, flow, power);
    return std::max((loss - driving) / gap, lossSlope(resistance, 0, 0));
}

// The slopes of the ends' losses at the current flows, for the directions of this iteration.
void slopesOfEnds(const Tree& tree, const LivePart& live, const SolverState& state, Lines& lines) {
    for (const int16_t i : live.ends) {
        const int16_t parent = tree.parent[i];
        const double inletHead = parent > 0 ? state.head[parent] : tree.supply;
        lines.endSlope[i] = endSlope(tree, i, state.q[i], state.power[i], inletHead);
    }
}

// The Newton direction: `change` of every section. Held ends take their own step (cut at 0),
// and the free ends the Newton step of the linearised network given those steps.
// Returns how many ends were held as clearly short.
int newtonDirection(const Tree& tree, const LivePart& live, const SolverState& state, bool sendClearlyShort,
                    Lines& lines) {
    const std::vector<double>& q = state.q;
    const std::vector<double>& power = state.power;
    const std::vector<double>& residual = state.residual;
    int clearlyShort = 0;
    const auto takesPart = [&](int16_t child) { return live.contains(child) && !lines.rigid[child]; };
    for (auto it = live.order.rbegin(); it != live.order.rend(); ++it) {
        const int16_t i = *it;
        const double loss = tree.r[i] * lossPower(q[i], power[i]);
        if (tree.kind[i] != EndKind::None) {
            const double slope = lines.endSlope[i];
            const Hold hold = holdOf(tree, i, q[i], residual[i], slope, sendClearlyShort);
            if (hold != Hold::Free) {
                clearlyShort += hold == Hold::ClearlyShort ? 1 : 0;
                // Out of the elimination; its own Newton step, which the search cuts at 0.
                lines.rigid[i] = true;
                lines.change[i] = std::max(residual[i] / slope, -q[i]);
                continue;
            }
            lines.rigid[i] = false;
            lines.a[i] = loss + tree.kt[i] * lossPower(q[i], power[i]) + tree.z[i];
            lines.b[i] = slope;
            continue;
        }
        double conductance = 0; // sum of 1/b of the free children
        double weighted = 0;    // sum of a/b of the free children
        double heldChange = 0;  // change of the held children
        for (const int16_t child : {tree.next[i], tree.derivation[i]}) {
            if (takesPart(child)) {
                conductance += 1 / lines.b[child];
                weighted += lines.a[child] / lines.b[child];
            } else if (live.contains(child)) {
                heldChange += lines.change[child];
            }
        }
        lines.rigid[i] = conductance == 0;
        lines.change[i] = heldChange;
        if (lines.rigid[i])
            continue;
        // The free children share the outlet head and take the change less what the held ones take.
        lines.outletB[i] = 1 / conductance;
        lines.outletA[i] = (weighted - heldChange) / conductance;
        lines.a[i] = loss + lines.outletA[i];
        lines.b[i] = lossSlope(tree.r[i], q[i], power[i]) + lines.outletB[i];
    }

    const int16_t root = live.order.front();
    if (!lines.rigid[root])
        lines.change[root] = (tree.supply - lines.a[root]) / lines.b[root];
    for (const int16_t i : live.order) {
        if (tree.kind[i] != EndKind::None || lines.rigid[i])
            continue;
        const double outletHead = lines.outletA[i] + lines.outletB[i] * lines.change[i];
        for (const int16_t child : {tree.next[i], tree.derivation[i]})
            if (takesPart(child))
                lines.change[child] = (outletHead - lines.a[child]) / lines.b[child];
    }
    return clearlyShort;
}

bool withinTolerance(double step, double flow) {
    using namespace convergence;
    return std::abs(step) <= kRelativeFlowTolerance * std::max(std::abs(flow), kFlowToleranceFloor);
}

bool residualIsRounding(const Tree& tree, int16_t end, double residual) {
    return std::abs(residual) <= tree.headRounding[end];
}

// The next step of a backtracking search: the minimum of the quadratic through F(0), its
// slope along the step (`predicted` / t) and F(t), within the safeguards.
double shrunkStep(double t, double predicted, double rise) {
    const double slope = predicted / t;
    const double curvature = (rise - predicted) / (t * t);
    const double minimum = curvature > 0 ? -slope / (2 * curvature) : kMostShrink * t;
    return std::clamp(minimum, kLeastShrink * t, kMostShrink * t);
}

// Whether every end meets the conditions of the solution: a flowing end's residual, or the
// upward push on an end at 0, within its head tolerance.
bool meetsItsConditions(const Tree& tree, const LivePart& live, const SolverState& s) {
    for (const int16_t end : live.ends) {
        const double violation = s.q[end] > 0 ? std::abs(s.residual[end]) : std::max(s.residual[end], 0.0);
        if (!(violation <= tree.headTolerance[end])) // a NaN never meets them
            return false;
    }
    return true;
}

// Armijo search along the projected arc from `state`, shrinking the step at most
// `maxBacktracks` times; with `mustDescend`, a step along which F does not fall to first
// order is refused whatever F's rounding. Fills `trial` with the last point tried; reports whether it was
// accepted, the share of the step it took, and whether every end's step was within tolerance.
struct Search {
    bool accepted = false;
    double share = 1;
    bool stepsWithinTolerance = false;
};

Search searchAlongArc(const Tree& tree, const LivePart& live, const SolverState& state, const Lines& lines,
                      SolverState& trial, int maxBacktracks, bool mustDescend = false) {
    const double rounding = kContentRoundoff * state.content.magnitude();
    Search search;
    for (int backtrack = 0; backtrack <= maxBacktracks; ++backtrack) {
        const double t = search.share;
        double predicted = 0; // dF along the projected step
        search.stepsWithinTolerance = true;
        for (const int16_t end : live.ends) {
            const double moved = std::clamp(state.q[end] + t * lines.change[end], 0.0, tree.aloneFlow[end]);
            trial.q[end] = moved;
            predicted -= state.residual[end] * (moved - state.q[end]);
            search.stepsWithinTolerance =
                search.stepsWithinTolerance && (withinTolerance(moved - state.q[end], moved) ||
                                                residualIsRounding(tree, end, state.residual[end]) ||
                                                std::max(moved, state.q[end]) <= kActiveFlow);
        }
        sumFlowsUp(tree, live, trial.q);
        trial.content = content(tree, live, trial.q, trial.power);
        const double rise = trial.content.value() - state.content.value();
        if (rise <= kArmijoFraction * predicted + rounding && (!mustDescend || predicted < 0)) {
            search.accepted = true;
            return search;
        }
        if (backtrack < maxBacktracks)
            search.share = shrunkStep(t, predicted, rise);
    }
    return search;
}

// Heads and residuals at the current flows, and the part of the tree the next step works on.
// A subtree left out gets flow 0 in both states when it is first left out (which its live
// parent reads, and from which it starts again if its inlet pressure rises).
void evaluate(const Tree& tree, SolverState& state, SolverState& trial, LivePart& live) {
    live.order.clear();
    live.ends.clear();
    ++live.current;
    for (std::size_t at = 0; at < tree.order.size();) {
        const int16_t i = tree.order[at];
        const int16_t parent = tree.parent[i];
        const double inlet = parent > 0 ? state.head[parent] : tree.supply;
        const std::size_t subtreeEnd = at + std::size_t(tree.subtreeSize[i]);
        if (state.q[i] == 0 && inlet <= tree.lowestStaticHead[i] + tree.headRounding[i]) {
            if (!live.zeroed[i]) {
                for (std::size_t k = at; k < subtreeEnd; ++k)
                    state.q[tree.order[k]] = trial.q[tree.order[k]] = 0;
                live.zeroed[i] = true;
            }
            at = subtreeEnd;
            continue;
        }
        live.zeroed[i] = false;
        live.stamp[i] = live.current;
        live.order.push_back(i);
        state.head[i] = inlet - tree.r[i] * lossPower(state.q[i], state.power[i]);
        if (tree.kind[i] != EndKind::None) {
            live.ends.push_back(i);
            state.residual[i] = endResidual(tree, i, state.q, state.power, state.head);
        }
        ++at;
    }
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

ConvergedSolution solveTreeByContent(const Project& project, const ContentOptions& options) {
    ConvergedSolution solution;
    if (const std::optional<NetworkProblem> problem = findCalculationProblem(project)) {
        solution.node = problem->node;
        solution.message = networkProblemText(project, *problem);
        return solution;
    }
    solution.ok = true;

    const Tree tree = buildTree(project, double(project.supplyPressure));
    const std::size_t size = project.NodeTable.size();
    SolverState state{startingFlows(project, tree, options),
                      std::vector<double>(size),
                      std::vector<double>(size),
                      std::vector<double>(size),
                      {}};
    SolverState trial = state;
    Lines lines(size);
    LivePart live;
    live.stamp.assign(size, -1);
    live.zeroed.assign(size, false);
    live.order = tree.order;
    for (const int16_t i : tree.order)
        live.stamp[i] = live.current;

    if (tree.order.empty()) {
        solution.converged = true; // node 1 closed: nothing flows
    } else {
        sumFlowsUp(tree, live, state.q);
        state.content = content(tree, live, state.q, state.power);
        // Each pass looks at the point reached, then steps; `iterations` counts the steps.
        for (;;) {
            evaluate(tree, state, trial, live);
            // Every terminal above the grade (nothing flows), or every end meeting its conditions.
            if (live.order.empty() || meetsItsConditions(tree, live, state)) {
                solution.converged = true;
                break;
            }
            if (solution.converged || solution.iterations >= options.maxIterations)
                break;
            ++solution.iterations;
            // First the step that sends the clearly short ends to 0, taken only whole and only
            // downhill; else the step without that rule, with its search.
            slopesOfEnds(tree, live, state, lines);
            Search search;
            if (newtonDirection(tree, live, state, true, lines) > 0)
                search = searchAlongArc(tree, live, state, lines, trial, 0, true);
            if (!search.accepted) {
                newtonDirection(tree, live, state, false, lines);
                search = searchAlongArc(tree, live, state, lines, trial, kMaxBacktracks);
            }
            std::swap(state, trial);
            solution.converged = search.share == 1 && search.stepsWithinTolerance;
        }
        headsDown(tree, state.q, state.power, state.head);
        solution.totalFlow = state.q[tree.order.front()];
    }
    if (!solution.converged)
        solution.message =
            QStringLiteral("Soluzione non convergente dopo %1 iterazioni").arg(solution.iterations);

    solution.nodes.resize(size);
    // The check above found every node in use reached from node 1.
    for (int i = 1; i <= project.nodeCount(); ++i)
        solution.nodes[std::size_t(i)] = convergedNodeAt(project, tree, state, static_cast<int16_t>(i));
    return solution;
}

} // namespace valmora::testkit
