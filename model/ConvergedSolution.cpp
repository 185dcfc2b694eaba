#include "model/ConvergedSolution.h"

#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/NetworkProblemText.h"
#include "model/NetworkSolver.h"
#include "model/NetworkValidation.h"

#include <algorithm>
#include <cmath>

// The network goes to the network solver as it stands (junction i - 1 the outlet of node i,
// link i - 1 its section); what comes back is read into the nodes' terms: the section's flow
// and drop, the drop from the supply to its outlet, and at a terminal the pressure left above
// its static head.

namespace valmora {

namespace {

SolverOptions solverOptions(const ConvergedOptions& options) {
    SolverOptions solver;
    solver.maxIterations = options.maxIterations;
    return solver;
}

ConvergedNode convergedNodeAt(const Project& project, const SolverNetwork& network,
                              const SolverResult& solved, int16_t i, int terminal) {
    const Node& node = project.NodeTable[std::size_t(i)];
    const std::size_t at = std::size_t(i - 1);
    ConvergedNode out;
    // Beyond a closed section with no ring to feed it: carries nothing and has no pressure. A
    // closed section whose outlet a ring feeds carries nothing, and its outlet has a pressure.
    out.shutOff = !solved.reached[at];
    out.flow = out.shutOff ? 0.0 : solved.linkFlow[at];
    out.velocity = sectionVelocity(project, node, out.flow);
    if (out.shutOff)
        return out;
    out.drop = sectionDrop(project, node, out.flow);
    out.cumulativeDrop = network.sourceHead - solved.head[at];
    if (terminal >= 0) {
        const SolverNetwork::Terminal& t = network.terminals[std::size_t(terminal)];
        out.pressureLeft = solved.head[at] - t.staticHead;
        out.dry = solved.dry[std::size_t(terminal)];
        out.terminalFlow = solved.terminalFlow[std::size_t(terminal)];
    }
    return out;
}

ConvergedLoopPipe convergedLoopPipeAt(const Project& project, const SolverNetwork& network,
                                      const SolverResult& solved, std::size_t pipe) {
    const std::size_t at = std::size_t(project.nodeCount()) + pipe;
    const SolverNetwork::Link& link = network.links[at];
    const Node section = project.loopPipes[pipe].asSection();
    ConvergedLoopPipe out;
    out.shutOff = link.closed || !solved.reached[std::size_t(link.to)];
    out.flow = out.shutOff ? 0.0 : solved.linkFlow[at];
    out.velocity = sectionVelocity(project, section, out.flow);
    out.drop = out.shutOff ? 0.0 : sectionDrop(project, section, out.flow);
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
        solution.message = networkProblemText(project, *problem);
        return solution;
    }
    solution.ok = true;

    const SolverNetwork network =
        solverNetworkOf(project, options.supplyPressure.value_or(double(project.supplyPressure)));
    const SolverResult solved = SolveNetwork(network, solverOptions(options));
    solution.converged = solved.converged;
    solution.iterations = solved.iterations;
    solution.totalFlow = solved.sourceFlow;
    if (!solution.converged)
        solution.message =
            QStringLiteral("Soluzione non convergente dopo %1 iterazioni").arg(solution.iterations);

    std::vector<int> terminalAt(project.NodeTable.size(), -1);
    for (std::size_t t = 0; t < network.terminals.size(); ++t)
        terminalAt[std::size_t(network.terminals[t].junction + 1)] = int(t);
    solution.nodes.resize(project.NodeTable.size());
    // The check above found every node in use reached from node 1.
    for (int i = 1; i <= project.nodeCount(); ++i)
        solution.nodes[std::size_t(i)] =
            convergedNodeAt(project, network, solved, static_cast<int16_t>(i), terminalAt[std::size_t(i)]);
    for (std::size_t pipe = 0; pipe < project.loopPipes.size(); ++pipe)
        solution.loops.push_back(convergedLoopPipeAt(project, network, solved, pipe));
    return solution;
}

ConvergedSolution convergedSolutionFor(const Project& project, const NetworkResults& results) {
    if (results.ring)
        return *results.ring;
    return SolveConverged(project);
}

} // namespace valmora
