#include "model/NetworkResults.h"

#include "model/Project.h"

#include <utility>

namespace valmora {

const NodeResult NetworkResults::kNone{};
const TerminalResult NetworkResults::kNoTerminal{};

void NetworkResults::fitTo(const Project& project) {
    nodes.resize(project.NodeTable.size());
    terminals.resize(project.TerminalTable.size());
}

NodeResult& NetworkResults::nodeToWrite(const Project& project, int index) {
    if (std::size_t(index) >= nodes.size())
        fitTo(project);
    return nodes[std::size_t(index)];
}

TerminalResult& NetworkResults::terminalToWrite(const Project& project, int index) {
    if (std::size_t(index) >= terminals.size())
        fitTo(project);
    return terminals[std::size_t(index)];
}

namespace {

template <typename Record> void follow(std::vector<Record>& records, const std::vector<int16_t>& moved) {
    std::vector<Record> kept(1);
    for (std::size_t old = 1; old < moved.size() && old < records.size(); ++old) {
        const auto now = std::size_t(moved[old]);
        if (now == 0)
            continue;
        if (kept.size() <= now)
            kept.resize(now + 1);
        kept[now] = records[old];
    }
    records = std::move(kept);
}

} // namespace

void NetworkResults::followMovedNodes(const std::vector<int16_t>& moved) {
    follow(nodes, moved);
    // The rings' solution names the old indexes: it goes, until the calculation that follows
    // every compaction solves them again.
    ring.reset();
}

void NetworkResults::followMovedTerminals(const std::vector<int16_t>& moved) {
    follow(terminals, moved);
}

void NetworkResults::replaceWith(NetworkResults fresh) {
    const uint64_t next = generation + 1;
    *this = std::move(fresh);
    generation = next;
}

NetworkResults NetworkResults::ofNewProject() {
    NetworkResults results;
    results.nodes.resize(2);
    results.terminals.resize(2);
    results.nodes[1].eqResistance = kNewProjectRootEqResistance;
    return results;
}

} // namespace valmora
