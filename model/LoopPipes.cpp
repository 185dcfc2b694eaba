#include "model/LoopPipes.h"

#include "model/Traversal.h"

#include <QString>

#include <algorithm>

namespace valmora {

namespace {

bool onTheTree(const Project& project, int16_t node) {
    if (!project.isValidNodeIndex(node))
        return false;
    // A node is on the tree when its parents lead to node 1; the walk is bounded, as a record
    // no longer linked may point anywhere.
    int steps = project.nodeCount();
    for (int16_t at = node; steps-- > 0;) {
        if (at == 1)
            return true;
        const int16_t parent = project.NodeTable[std::size_t(at)].parent;
        if (!project.isValidNodeIndex(parent))
            return false;
        const Node& up = project.NodeTable[std::size_t(parent)];
        if (up.next != at && !(up.continues() && up.derivation == at))
            return false; // its parent no longer leads to it
        at = parent;
    }
    return false;
}

} // namespace

std::optional<LoopPipeProblem> loopPipeProblem(const Project& project, int16_t nodeA, int16_t nodeB) {
    if (nodeA == nodeB)
        return LoopPipeProblem::SameNode;
    if (!onTheTree(project, nodeA) || !onTheTree(project, nodeB))
        return LoopPipeProblem::NotOnTheTree;
    if (project.loopPipes.size() >= std::size_t(kMaxTableIndex))
        return LoopPipeProblem::TableFull;
    return std::nullopt;
}

LoopPipe newLoopPipe(const Project& project, int16_t nodeA, int16_t nodeB) {
    LoopPipe pipe;
    pipe.nodeA = nodeA;
    pipe.nodeB = nodeB;
    const Node& section = project.NodeTable[std::size_t(nodeA)];
    if (!section.isKvElement() && project.findDiameter(section)) {
        pipe.seriesIndex = section.seriesIndex;
        pipe.diameterIndex = section.diameterIndex;
    } else {
        pipe.seriesIndex =
            project.isValidDiameterIndex(project.lastSeries, 0) ? project.lastSeries : int16_t(0);
        pipe.diameterIndex = 0;
    }
    pipe.name = QStringLiteral("Anello %1").arg(project.loopPipes.size() + 1);
    return pipe;
}

std::vector<std::size_t> loopPipesOn(const Project& project, int16_t node) {
    std::vector<std::size_t> on;
    for (std::size_t k = 0; k < project.loopPipes.size(); ++k)
        if (project.loopPipes[k].touches(node))
            on.push_back(k);
    return on;
}

int removeLoopPipesOn(Project& project, int16_t node) {
    std::vector<LoopPipe>& pipes = project.loopPipes;
    const auto first = std::remove_if(pipes.begin(), pipes.end(),
                                      [node](const LoopPipe& pipe) { return pipe.touches(node); });
    const int removed = int(pipes.end() - first);
    pipes.erase(first, pipes.end());
    return removed;
}

int removeLoopPipesOffTheTree(Project& project) {
    if (project.loopPipes.empty())
        return 0;
    std::vector<bool> onTree(project.NodeTable.size(), false);
    for (const int16_t node : networkPreorder(project))
        onTree[std::size_t(node)] = true;
    const auto reached = [&](int16_t node) {
        return project.isValidNodeIndex(node) && onTree[std::size_t(node)];
    };
    std::vector<LoopPipe>& pipes = project.loopPipes;
    const auto first = std::remove_if(pipes.begin(), pipes.end(), [&](const LoopPipe& pipe) {
        return !reached(pipe.nodeA) || !reached(pipe.nodeB);
    });
    const int removed = int(pipes.end() - first);
    pipes.erase(first, pipes.end());
    return removed;
}

void moveLoopPipes(Project& project, int16_t from, int16_t to) {
    for (LoopPipe& pipe : project.loopPipes) {
        if (pipe.nodeA == from)
            pipe.nodeA = to;
        if (pipe.nodeB == from)
            pipe.nodeB = to;
    }
}

} // namespace valmora
