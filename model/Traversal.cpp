#include "model/Traversal.h"

namespace valmora {

std::vector<int16_t> subtreePreorder(const Project& project, int16_t first) {
    std::vector<int16_t> order;
    if (!project.isValidNodeIndex(first))
        return order;
    order.reserve(project.NodeTable.size());
    std::vector<int16_t> pending{first};
    while (!pending.empty()) {
        const int16_t i = pending.back();
        pending.pop_back();
        order.push_back(i);
        const Node& node = project.NodeTable[i];
        if (node.continues()) {
            // Pushed first, popped last: the derivation after the whole continuation.
            if (node.derivation > 0)
                pending.push_back(node.derivation);
            pending.push_back(node.next);
        }
    }
    return order;
}

std::vector<int16_t> networkPreorder(const Project& project) {
    return subtreePreorder(project, 1);
}

std::vector<int16_t> branchNodes(const Project& project, int16_t first) {
    std::vector<int16_t> nodes;
    for (int16_t i = first; project.isValidNodeIndex(i); i = project.NodeTable[i].next) {
        nodes.push_back(i);
        if (!project.NodeTable[i].continues())
            break;
    }
    return nodes;
}

int16_t branchEnd(const Project& project, int16_t first) {
    int16_t i = first;
    while (project.NodeTable[i].continues())
        i = project.NodeTable[i].next;
    return i;
}

int16_t branchStartOf(const Project& project, int16_t node) {
    int16_t i = node;
    for (;;) {
        const int16_t parent = project.NodeTable[i].parent;
        if (parent == 0 || project.NodeTable[parent].next != i)
            return i;
        i = parent;
    }
}

std::vector<bool> reachedFrom(const std::vector<std::vector<int>>& around, const std::vector<int>& seeds) {
    std::vector<bool> reached(around.size(), false);
    std::vector<int> pending;
    for (const int seed : seeds)
        if (!reached[std::size_t(seed)]) {
            reached[std::size_t(seed)] = true;
            pending.push_back(seed);
        }
    while (!pending.empty()) {
        const int at = pending.back();
        pending.pop_back();
        for (const int next : around[std::size_t(at)])
            if (!reached[std::size_t(next)]) {
                reached[std::size_t(next)] = true;
                pending.push_back(next);
            }
    }
    return reached;
}

} // namespace valmora
