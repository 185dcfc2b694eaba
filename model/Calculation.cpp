#include "model/Calculation.h"

#include "model/ConvergedSolution.h"
#include "model/LoopPipes.h"
#include "model/NetworkProblemText.h"
#include "model/NetworkValidation.h"
#include "model/Traversal.h"

#include <cmath>
#include <memory>

namespace valmora {

using namespace hydraulics;

namespace {

// The calculation refused for `problem`, in words and as its code.
CalculationOutcome refusal(const Project& project, const NetworkProblem& problem) {
    CalculationOutcome outcome;
    outcome.ok = false;
    outcome.node = problem.node;
    outcome.message = networkProblemText(project, problem);
    outcome.fault = problem.fault;
    return outcome;
}

// Pipe length term: the two lengths are summed in single precision, the guard in double.
double pipeLengthTerm(const Node& node) {
    return double(node.length + node.virtualLength) + kGuardLength;
}

// Terminal end in a reduction: height resistance restarted from the 120 l/min estimate.
void combineTerminalEnd(const Project& project, NetworkResults& results, const Node& node, NodeResult& at) {
    const Terminal& terminal = project.TerminalTable[node.derivation];
    TerminalResult& work = results.terminals[node.derivation];
    work.terminalResistance = terminalResistanceFor(project.terminalTypeOf(terminal).kFactor);
    work.heightResistance = initialHeightResistance(terminal.height);
    at.eqResistance = double(work.heightResistance) + (double(work.terminalResistance) + at.resistance);
}

// A continuing node: in series with its next, or the parallel of next and derivation in
// series with itself. False when the continuation has no reduced value yet: the upward
// walk stops there.
bool combineContinuation(NetworkResults& results, const Node& node, int16_t i) {
    NodeResult& next = results.nodes[node.next];
    if (node.derivation == 0) {
        results.nodes[i].eqResistance = results.nodes[i].resistance + next.eqResistance;
        next.flowShare = 1;
        return true;
    }
    if (next.eqResistance <= 0)
        return false;
    NodeResult& derivation = results.nodes[node.derivation];
    const double a = std::pow(next.eqResistance, -kInverseExponent);
    const double b = std::pow(derivation.eqResistance, -kInverseExponent);
    results.nodes[i].eqResistance = std::pow(a + b, -kExponent) + results.nodes[i].resistance;
    next.flowShare = a / (a + b);
    derivation.flowShare = 1 - next.flowShare;
    return true;
}

// A branch end with no terminal discharges through its own section only.
void combineOpenEnd(NodeResult& at) {
    at.eqResistance = at.resistance;
}

// One step of the reduction at node i: its section resistance, then its combination.
bool reduceAt(const Project& project, NetworkResults& results, int16_t i) {
    const Node& node = project.NodeTable[i];
    NodeResult& at = results.nodes[i];
    at.resistance = sectionResistance(project, node);
    if (node.endsInTerminal()) {
        combineTerminalEnd(project, results, node, at);
        return true;
    }
    if (!node.continues()) {
        combineOpenEnd(at);
        return true;
    }
    return combineContinuation(results, node, i);
}

// Moves the height resistance of a terminal so that it wastes the static head at the
// flow of the last pass. Terminals at height 0 or with no flow keep their values.
void correctTerminalHeight(const Project& project, NetworkResults& results, const Node& node,
                           NodeResult& at) {
    const Terminal& terminal = project.TerminalTable[node.derivation];
    TerminalResult& work = results.terminals[node.derivation];
    const auto flow = static_cast<float>(double(results.totalFlow) * at.flowFraction);
    if (terminal.height == 0 || flow <= kMinimumCorrectedFlow)
        return;
    const auto headLost =
        static_cast<float>(std::pow(double(flow), kExponent) * double(work.heightResistance));
    // Only reachable with absurd inputs (a height of a few 1e-40 m): keep the last value.
    if (!(headLost > 0))
        return;
    const float staticHead = kMmPerMetreOfHeight * terminal.height;
    const auto corrected = static_cast<float>(double(work.heightResistance) *
                                              std::pow(double(staticHead / headLost), kCorrectionExponent));
    if (!std::isfinite(corrected))
        return;
    work.heightResistance = corrected;
    at.eqResistance = double(work.terminalResistance) + at.resistance + double(work.heightResistance);
}

// One step of a correction pass: section resistances are those of the reduction. False
// where a continuation cannot be combined, as in the reduction.
bool correctAt(const Project& project, NetworkResults& results, int16_t i) {
    const Node& node = project.NodeTable[i];
    NodeResult& at = results.nodes[i];
    if (node.endsInTerminal()) {
        correctTerminalHeight(project, results, node, at);
        return true;
    }
    if (!node.continues()) {
        combineOpenEnd(at);
        return true;
    }
    return combineContinuation(results, node, i);
}

void flowPassInOrder(const Project& project, NetworkResults& results, const std::vector<int16_t>& preorder) {
    auto& nodes = results.nodes;
    nodes[1].flowFraction = 1;
    for (std::size_t k = 1; k < preorder.size(); ++k) {
        const int16_t i = preorder[k];
        nodes[i].flowFraction = nodes[project.NodeTable[i].parent].flowFraction * nodes[i].flowShare;
    }
    results.totalFlow = static_cast<float>(
        std::pow(double(project.supplyPressure) / nodes[1].eqResistance, kInverseExponent));
    results.networkResistance = static_cast<float>(nodes[1].eqResistance);
    nodes[1].flowShare = 1;
    ++results.generation;
}

// Overflowed results are not kept: the results of the previous network would show flows
// that belong to another network, and a nan or inf left in a field would reach the grid,
// the reports and the files. Zero everywhere reads as "no flow", every quantity derived
// from it stays finite, and the refusal tells the user why.
CalculationOutcome refuseNonFiniteResults(const Project& project, NetworkResults& results,
                                          const std::vector<int16_t>& preorder) {
    const std::optional<NetworkProblem> problem = findNonFiniteResult(project, results, preorder);
    if (!problem)
        return {};
    clearResults(project, results);
    return refusal(project, *problem);
}

// A network with loop pipes: the five passes leave the rings out, so the results shown are the
// converged solution's, which solves rings and tree at once. One that does not converge is
// never shown: the results go to zero and the calculation says so.
CalculationOutcome solveRings(const Project& project, NetworkResults& results, CalculationOutcome outcome) {
    results.ring.reset();
    if (!outcome.ok || !hasLoopPipes(project))
        return outcome;
    auto solved = std::make_shared<const ConvergedSolution>(SolveConverged(project));
    const ConvergedSolution& solution = *solved;
    if (!solution.ok || !solution.converged) {
        clearResults(project, results);
        outcome.ok = false;
        outcome.message = solution.message;
        return outcome;
    }
    results.totalFlow = static_cast<float>(solution.totalFlow);
    results.ring = std::move(solved);
    return outcome;
}

} // namespace

void clearResults(const Project& project, NetworkResults& results) {
    const uint64_t generation = results.generation;
    results = NetworkResults{};
    results.fitTo(project);
    results.generation = generation + 1;
}

float terminalResistanceFor(float kFactor) {
    return static_cast<float>(kMmPerBar / std::pow(double(kFactor), kExponent));
}

float initialHeightResistance(float height) {
    return static_cast<float>(double(height * kMmPerMetreOfHeight) /
                              std::pow(kHeightReferenceFlow, kExponent));
}

double openSectionResistance(const Project& project, const Node& node) {
    if (node.isKvElement())
        return kMmPerBar / std::pow((double(node.virtualLength) + kGuardLength) * kKvFlowScale, kExponent);
    const double bore = project.diameterOf(node).innerDiameter;
    return double(project.seriesOf(node).frictionFactor) * pipeLengthTerm(node) /
           std::pow(bore, kHazenWilliamsDiameterExponent);
}

double sectionResistance(const Project& project, const Node& node) {
    return node.closed ? kClosedResistance : openSectionResistance(project, node);
}

void ResistanceUp(const Project& project, NetworkResults& results, int16_t start) {
    results.fitTo(project);
    // The bound only matters for a tree whose parent links loop, which the editor never makes.
    int steps = project.nodeCount();
    for (int16_t i = start; i > 0 && steps-- > 0; i = project.NodeTable[i].parent)
        if (!canReduceAt(project, i) || !reduceAt(project, results, i))
            break;
}

void CorrectHeightsUp(const Project& project, NetworkResults& results, int16_t start) {
    results.fitTo(project);
    int steps = project.nodeCount(); // as in ResistanceUp
    for (int16_t i = start; i > 0 && steps-- > 0; i = project.NodeTable[i].parent)
        if (!correctAt(project, results, i))
            break;
}

CalculationOutcome FlowPass(const Project& project, NetworkResults& results) {
    results.fitTo(project);
    const std::vector<int16_t> preorder = networkPreorder(project);
    flowPassInOrder(project, results, preorder);
    return solveRings(project, results, refuseNonFiniteResults(project, results, preorder));
}

CalculationOutcome Calculate(const Project& project, NetworkResults& results) {
    if (const std::optional<NetworkProblem> problem = findCalculationProblem(project))
        return refusal(project, *problem);

    results.fitTo(project);
    const std::vector<int16_t> preorder = networkPreorder(project);
    for (auto it = preorder.rbegin(); it != preorder.rend(); ++it)
        reduceAt(project, results, *it);
    flowPassInOrder(project, results, preorder);
    // Checked after every pass: an overflow in one pass could turn finite but meaningless
    // in the next.
    CalculationOutcome outcome = refuseNonFiniteResults(project, results, preorder);
    for (int pass = 0; pass < kCorrectionPasses && outcome.ok; ++pass) {
        for (auto it = preorder.rbegin(); it != preorder.rend(); ++it)
            correctAt(project, results, *it);
        flowPassInOrder(project, results, preorder);
        outcome = refuseNonFiniteResults(project, results, preorder);
    }
    return solveRings(project, results, outcome);
}

NetworkResults Calculated(const Project& project, CalculationOutcome* outcome) {
    NetworkResults results;
    const CalculationOutcome done = Calculate(project, results);
    if (outcome)
        *outcome = done;
    return results;
}

} // namespace valmora
