#pragma once

// What the calculation returns for a network: per node and per terminal the values its walks
// leave (resistances, the flow's shares), and the total flow. Kept apart from the project (the
// network the file stores): an edit changes the project, and the results are those of the
// network as it was last calculated until the calculation runs again. Indexed like the
// project's tables; a node or terminal added since reads as all zero (no flow), as a new
// record always has.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace valmora {

class Project;
struct ConvergedSolution;

struct NodeResult {
    double resistance = 0;   // this section alone
    double eqResistance = 0; // this section and everything it feeds
    double flowShare = 0;    // share of the parent's outflow entering here
    double flowFraction = 0; // share of the total flow passing here
};

// Work values of a terminal the calculation keeps between its passes.
struct TerminalResult {
    float heightResistance = 0;   // the static head as a resistance
    float terminalResistance = 0; // 10000 / K^1.85
};

struct NetworkResults {
    std::vector<NodeResult> nodes;         // index 0 holds no node
    std::vector<TerminalResult> terminals; // index 0 holds no terminal
    float totalFlow = 0;                   // l/min entering node 1
    float networkResistance = 0;           // eqResistance of node 1
    // A network with loop pipes: its five passes, made for trees, would leave the rings out,
    // so what the program shows of it is the converged solution, held here (totalFlow is then
    // the solution's too); none for a tree. Shared by copies of the results, changed by none.
    std::shared_ptr<const ConvergedSolution> ring;
    // Counts the writes (every calculation ends with one), so that what is derived from the
    // results knows when to be worked out again.
    uint64_t generation = 0;

    // The results of node i; all zero for a node the results do not reach yet.
    const NodeResult& node(int index) const {
        return index >= 0 && std::size_t(index) < nodes.size() ? nodes[std::size_t(index)] : kNone;
    }
    const TerminalResult& terminal(int index) const {
        return index >= 0 && std::size_t(index) < terminals.size() ? terminals[std::size_t(index)]
                                                                   : kNoTerminal;
    }
    // The same to be written: the tables grow to the project's first.
    NodeResult& nodeToWrite(const Project& project, int index);
    TerminalResult& terminalToWrite(const Project& project, int index);
    // Both tables as long as the project's (new records all zero).
    void fitTo(const Project& project);
    // The results of records moved by a compaction follow them: `moved[old]` is the new
    // index, 0 for a record dropped.
    void followMovedNodes(const std::vector<int16_t>& moved);
    void followMovedTerminals(const std::vector<int16_t>& moved);

    // Those of a new project: node 1's resistance known before its first calculation, so that
    // the supply's window can say what flow a pressure gives.
    static NetworkResults ofNewProject();
    // `fresh` in place of these (another project's), the generation going on from these: what
    // was worked out from these is never taken for worked out from `fresh`.
    void replaceWith(NetworkResults fresh);

private:
    static const NodeResult kNone;
    static const TerminalResult kNoTerminal;
};

} // namespace valmora
