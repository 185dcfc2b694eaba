#include "model/UnreachableRecords.h"

#include "model/Traversal.h"

namespace valmora {

namespace {

struct Reachable {
    std::vector<int16_t> nodeMap;     // old index -> new index, 0 when dropped
    std::vector<int16_t> terminalMap; // likewise for terminal records
    int nodes = 0;
    int terminals = 0;
};

Reachable reachable(const Project& project) {
    Reachable r;
    r.nodeMap.assign(project.NodeTable.size(), 0);
    r.terminalMap.assign(project.TerminalTable.size(), 0);
    for (const int16_t i : networkPreorder(project)) {
        r.nodeMap[std::size_t(i)] = 1;
        const Node& node = project.NodeTable[std::size_t(i)];
        if (node.endsInTerminal() && project.isValidTerminalIndex(node.derivation))
            r.terminalMap[std::size_t(node.derivation)] = 1;
    }
    // New indexes in the order of the old ones.
    for (std::size_t i = 1; i < r.nodeMap.size(); ++i)
        if (r.nodeMap[i] != 0)
            r.nodeMap[i] = static_cast<int16_t>(++r.nodes);
    for (std::size_t t = 1; t < r.terminalMap.size(); ++t)
        if (r.terminalMap[t] != 0)
            r.terminalMap[t] = static_cast<int16_t>(++r.terminals);
    return r;
}

int16_t followed(const std::vector<int16_t>& map, int32_t index) {
    const bool known = index > 0 && std::size_t(index) < map.size() && map[std::size_t(index)] != 0;
    return known ? map[std::size_t(index)] : int16_t(1);
}

} // namespace

RecordMoves dropUnreachableRecords(Project& project) {
    const Reachable r = reachable(project);
    std::vector<Node> nodes(1);
    nodes.reserve(std::size_t(r.nodes) + 1);
    std::vector<Terminal> terminals(1);
    terminals.reserve(std::size_t(r.terminals) + 1);
    for (std::size_t t = 1; t < r.terminalMap.size(); ++t)
        if (r.terminalMap[t] != 0)
            terminals.push_back(project.TerminalTable[t]);
    for (std::size_t i = 1; i < r.nodeMap.size(); ++i) {
        if (r.nodeMap[i] == 0)
            continue;
        Node node = std::move(project.NodeTable[i]);
        node.parent = node.parent > 0 ? r.nodeMap[std::size_t(node.parent)] : int16_t(0);
        if (node.next > 0) {
            node.next = r.nodeMap[std::size_t(node.next)];
            if (node.derivation > 0)
                node.derivation = r.nodeMap[std::size_t(node.derivation)];
        } else if (node.endsInTerminal()) {
            node.derivation = r.terminalMap[std::size_t(node.derivation)];
        }
        nodes.push_back(std::move(node));
    }
    project.NodeTable = std::move(nodes);
    project.TerminalTable = std::move(terminals);
    // The designer's sets of the verification name nodes too: they follow theirs, or go.
    for (auto* sets :
         {&project.standardSettings.designerSets, &project.standardSettings.designerFavourableSets})
        for (auto& [role, members] : *sets) {
            std::vector<int16_t> moved;
            for (const int16_t node : members)
                if (node > 0 && std::size_t(node) < r.nodeMap.size() && r.nodeMap[std::size_t(node)] != 0)
                    moved.push_back(r.nodeMap[std::size_t(node)]);
            members = std::move(moved);
        }
    // So do the loop pipes: a pipe on a node dropped goes with it.
    std::vector<LoopPipe> pipes;
    for (LoopPipe pipe : project.loopPipes) {
        const auto kept = [&](int16_t node) {
            return node > 0 && std::size_t(node) < r.nodeMap.size() ? r.nodeMap[std::size_t(node)]
                                                                    : int16_t(0);
        };
        pipe.nodeA = kept(pipe.nodeA);
        pipe.nodeB = kept(pipe.nodeB);
        if (pipe.nodeA != 0 && pipe.nodeB != 0)
            pipes.push_back(std::move(pipe));
    }
    project.loopPipes = std::move(pipes);
    return RecordMoves{r.nodeMap, r.terminalMap};
}

void followMoves(const RecordMoves& moves, NetworkResults& results, Session& session) {
    results.followMovedNodes(moves.nodes);
    results.followMovedTerminals(moves.terminals);
    ++results.generation;
    session.currentNode = followed(moves.nodes, session.currentNode);
    session.focusNode = followed(moves.nodes, session.focusNode);
    session.terminalNode = followed(moves.nodes, session.terminalNode);
}

bool makeRoomFor(Project& project, int nodes, int terminals, RecordMoves& moved) {
    const auto fits = [&](int nodesInUse, int terminalsInUse) {
        return nodesInUse + nodes <= kMaxTableIndex && terminalsInUse + terminals <= kMaxTableIndex;
    };
    if (fits(project.nodeCount(), project.terminalCount()))
        return true;
    const Reachable r = reachable(project);
    if (!fits(r.nodes, r.terminals))
        return false;
    moved = dropUnreachableRecords(project);
    return true;
}

} // namespace valmora
