#include "model/Calculation.h"

#include "model/NetworkProblemText.h"
#include "model/NetworkValidation.h"
#include "model/Traversal.h"

#include <cmath>

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
void combineTerminalEnd(Project& project, Node& node) {
    Terminal& terminal = project.TerminalTable[node.derivation];
    terminal.terminalResistance = terminalResistanceFor(project.terminalTypeOf(terminal).kFactor);
    terminal.heightResistance = initialHeightResistance(terminal.height);
    node.eqResistance =
        double(terminal.heightResistance) + (double(terminal.terminalResistance) + node.resistance);
}

// A continuing node: in series with its next, or the parallel of next and derivation in
// series with itself. False when the continuation has no reduced value yet: the upward
// walk stops there.
bool combineContinuation(Project& project, Node& node) {
    Node& next = project.NodeTable[node.next];
    if (node.derivation == 0) {
        node.eqResistance = node.resistance + next.eqResistance;
        next.flowShare = 1;
        return true;
    }
    if (next.eqResistance <= 0)
        return false;
    Node& derivation = project.NodeTable[node.derivation];
    const double a = std::pow(next.eqResistance, -kInverseExponent);
    const double b = std::pow(derivation.eqResistance, -kInverseExponent);
    node.eqResistance = std::pow(a + b, -kExponent) + node.resistance;
    next.flowShare = a / (a + b);
    derivation.flowShare = 1 - next.flowShare;
    return true;
}

// A branch end with no terminal discharges through its own section only.
void combineOpenEnd(Node& node) {
    node.eqResistance = node.resistance;
}

// One step of the reduction at node i: its section resistance, then its combination.
bool reduceAt(Project& project, int16_t i) {
    Node& node = project.NodeTable[i];
    node.resistance = sectionResistance(project, node);
    if (node.endsInTerminal()) {
        combineTerminalEnd(project, node);
        return true;
    }
    if (!node.continues()) {
        combineOpenEnd(node);
        return true;
    }
    return combineContinuation(project, node);
}

// Moves the height resistance of a terminal so that it wastes the static head at the
// flow of the last pass. Terminals at height 0 or with no flow keep their values.
void correctTerminalHeight(Project& project, Node& node) {
    Terminal& terminal = project.TerminalTable[node.derivation];
    const auto flow = static_cast<float>(double(project.totalFlow) * node.flowFraction);
    if (terminal.height == 0 || flow <= kMinimumCorrectedFlow)
        return;
    const auto headLost =
        static_cast<float>(std::pow(double(flow), kExponent) * double(terminal.heightResistance));
    // Only reachable with absurd inputs (a height of a few 1e-40 m): keep the last value.
    if (!(headLost > 0))
        return;
    const float staticHead = kMmPerMetreOfHeight * terminal.height;
    const auto corrected = static_cast<float>(double(terminal.heightResistance) *
                                              std::pow(double(staticHead / headLost), kCorrectionExponent));
    if (!std::isfinite(corrected))
        return;
    terminal.heightResistance = corrected;
    node.eqResistance =
        double(terminal.terminalResistance) + node.resistance + double(terminal.heightResistance);
}

// One step of a correction pass: section resistances are those of the reduction. False
// where a continuation cannot be combined, as in the reduction.
bool correctAt(Project& project, int16_t i) {
    Node& node = project.NodeTable[i];
    if (node.endsInTerminal()) {
        correctTerminalHeight(project, node);
        return true;
    }
    if (!node.continues()) {
        combineOpenEnd(node);
        return true;
    }
    return combineContinuation(project, node);
}

void flowPassInOrder(Project& project, const std::vector<int16_t>& preorder) {
    auto& nodes = project.NodeTable;
    nodes[1].flowFraction = 1;
    for (std::size_t k = 1; k < preorder.size(); ++k) {
        Node& node = nodes[preorder[k]];
        node.flowFraction = nodes[node.parent].flowFraction * node.flowShare;
    }
    project.totalFlow = static_cast<float>(
        std::pow(double(project.supplyPressure) / nodes[1].eqResistance, kInverseExponent));
    project.networkResistance = static_cast<float>(nodes[1].eqResistance);
    nodes[1].flowShare = 1;
    ++project.resultsGeneration;
}

// Overflowed results are not kept: the results of the previous network would show flows
// that belong to another network, and a nan or inf left in a field would reach the grid,
// the reports and the files. Zero everywhere reads as "no flow", every quantity derived
// from it stays finite, and the refusal tells the user why.
CalculationOutcome refuseNonFiniteResults(Project& project, const std::vector<int16_t>& preorder) {
    const std::optional<NetworkProblem> problem = findNonFiniteResult(project, preorder);
    if (!problem)
        return {};
    clearResults(project);
    return refusal(project, *problem);
}

} // namespace

void clearResults(Project& project) {
    for (Node& node : project.NodeTable) {
        node.resistance = 0;
        node.eqResistance = 0;
        node.flowShare = 0;
        node.flowFraction = 0;
    }
    for (Terminal& terminal : project.TerminalTable) {
        terminal.heightResistance = 0;
        terminal.terminalResistance = 0;
    }
    project.totalFlow = 0;
    project.networkResistance = 0;
    ++project.resultsGeneration;
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

void ResistanceUp(Project& project, int16_t start) {
    // The bound only matters for a tree whose parent links loop, which the editor never makes.
    int steps = project.nodeCount();
    for (int16_t i = start; i > 0 && steps-- > 0; i = project.NodeTable[i].parent)
        if (!canReduceAt(project, i) || !reduceAt(project, i))
            break;
}

void CorrectHeightsUp(Project& project, int16_t start) {
    int steps = project.nodeCount(); // as in ResistanceUp
    for (int16_t i = start; i > 0 && steps-- > 0; i = project.NodeTable[i].parent)
        if (!correctAt(project, i))
            break;
}

CalculationOutcome FlowPass(Project& project) {
    const std::vector<int16_t> preorder = networkPreorder(project);
    flowPassInOrder(project, preorder);
    return refuseNonFiniteResults(project, preorder);
}

CalculationOutcome Calculate(Project& project) {
    if (const std::optional<NetworkProblem> problem = findCalculationProblem(project))
        return refusal(project, *problem);

    const std::vector<int16_t> preorder = networkPreorder(project);
    for (auto it = preorder.rbegin(); it != preorder.rend(); ++it)
        reduceAt(project, *it);
    flowPassInOrder(project, preorder);
    // Checked after every pass: an overflow in one pass could turn finite but meaningless
    // in the next.
    CalculationOutcome outcome = refuseNonFiniteResults(project, preorder);
    for (int pass = 0; pass < kCorrectionPasses && outcome.ok; ++pass) {
        for (auto it = preorder.rbegin(); it != preorder.rend(); ++it)
            correctAt(project, *it);
        flowPassInOrder(project, preorder);
        outcome = refuseNonFiniteResults(project, preorder);
    }
    return outcome;
}

} // namespace valmora
