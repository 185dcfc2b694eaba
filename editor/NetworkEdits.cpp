#include "editor/NetworkEdits.h"

#include "model/LoopPipes.h"
#include "model/Traversal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace valmora::edits {

namespace {

constexpr float kNewVirtualLength = 1.0f;
constexpr int16_t kDiameterAfterKv = 1;

// p's link that points at `child`: its derivation when that is the child, else its next.
int16_t& linkTo(Project& project, int16_t parent, int16_t child) {
    Node& p = project.NodeTable[parent];
    return (p.derivation == child && p.next != child) ? p.derivation : p.next;
}

// The parent links of a record's children, after the record moved to `owner`.
void adoptChildren(Project& project, int16_t owner) {
    const Node& n = project.NodeTable[owner];
    if (!n.continues())
        return;
    project.NodeTable[n.next].parent = owner;
    if (n.derivation > 0)
        project.NodeTable[n.derivation].parent = owner;
}

} // namespace

void applyNewNodeDefaults(Project& project, int16_t node, int16_t parent) {
    Node& n = project.NodeTable[node];
    n.virtualLength = kNewVirtualLength;
    n.length = 0;
    n.closed = false;
    n.diameterLocked = false;
    n.name = QString::number(node);
    const Node& p = project.NodeTable[parent];
    if (!p.isKvElement()) {
        n.seriesIndex = p.seriesIndex;
        if (p.diameterIndex > 0)
            n.diameterIndex = p.diameterIndex;
    } else {
        n.seriesIndex = project.lastSeries;
        n.diameterIndex = kDiameterAfterKv;
    }
    // A series with fewer diameters than that: its last one, so the index stays in the list.
    if (const PipeSeries* series = project.findSeries(n); series && !n.isKvElement())
        n.diameterIndex = static_cast<int16_t>(
            std::min<int>(n.diameterIndex, std::max<int>(0, int(series->diameters.size()) - 1)));
}

std::optional<int16_t> appendAfter(Project& project, int16_t last) {
    const std::optional<int16_t> added = project.appendNode();
    if (!added)
        return std::nullopt;
    const int16_t n = *added;
    Node& l = project.NodeTable[last];
    Node& node = project.NodeTable[n];
    node.next = l.next;
    node.derivation = l.derivation;
    node.parent = last;
    l.next = n;
    l.derivation = 0;
    applyNewNodeDefaults(project, n, last);
    return n;
}

std::optional<Insertion> insertBefore(Project& project, int16_t before) {
    const std::optional<int16_t> added = project.appendNode();
    if (!added)
        return std::nullopt;
    const int16_t n = *added;
    auto& nodes = project.NodeTable;
    const int16_t p = nodes[before].parent;
    Insertion insertion{n, 0};
    if (p == 0) {
        // Node 1 stays the origin: the new node takes its record and follows it, with the
        // loop pipes on its outlet.
        nodes[n] = nodes[1];
        moveLoopPipes(project, 1, n);
        adoptChildren(project, n);
        nodes[n].parent = 1;
        Node& origin = nodes[1];
        origin.next = n;
        origin.derivation = 0;
        origin.virtualLength = kNewVirtualLength;
        origin.length = 0;
        origin.name = QString::number(n);
        return insertion;
    }
    const bool startsDerivedBranch = nodes[p].derivation == before && nodes[p].next != before;
    linkTo(project, p, before) = n;
    nodes[before].parent = n;
    nodes[n].parent = p;
    nodes[n].next = before;
    nodes[n].derivation = 0;
    applyNewNodeDefaults(project, n, p);
    if (startsDerivedBranch)
        insertion.newBranchStart = n;
    return insertion;
}

DeleteCheck checkDelete(const Project& project, int16_t node) {
    const Node& c = project.NodeTable[node];
    if (c.continues())
        return c.derivation > 0 ? DeleteCheck::ConfirmDeleteDerivation : DeleteCheck::ConfirmDelete;
    if (node == 1)
        return DeleteCheck::RefusedOnlyBranch;
    const Node& p = project.NodeTable[c.parent];
    if (p.derivation > 0 && p.derivation != node)
        return DeleteCheck::RefusedDerivationFirst;
    return DeleteCheck::ConfirmDelete;
}

namespace {

// The tree's part of a deletion: the node unlinked.
Deletion unlinkNode(Project& project, int16_t node) {
    auto& nodes = project.NodeTable;
    Node& c = nodes[node];
    const int16_t p = c.parent;
    Deletion deletion;
    if (!c.continues()) {
        Node& parent = nodes[p];
        if (parent.derivation == node && parent.next != node) {
            parent.derivation = 0;
            deletion.derivedBranchRemoved = true;
        } else {
            // The previous node becomes an open end; the terminal goes with the node.
            parent.next = kEndWithoutTerminal;
        }
        deletion.recalculateFrom = p;
        return deletion;
    }
    const int16_t nx = c.next;
    if (node == 1) {
        nodes[1] = nodes[nx];
        nodes[1].parent = 0;
        moveLoopPipes(project, nx, 1);
        adoptChildren(project, 1);
        deletion.recalculateFrom = 1;
        return deletion;
    }
    int16_t& link = linkTo(project, p, node);
    if (&link == &nodes[p].derivation)
        deletion.newBranchStart = nx;
    link = nx;
    nodes[nx].parent = p;
    deletion.recalculateFrom = p;
    return deletion;
}

} // namespace

Deletion deleteNode(Project& project, int16_t node) {
    // The loop pipes on the node's outlet go with it, and so do those on what it cuts off.
    const int onTheNode = removeLoopPipesOn(project, node);
    Deletion deletion = unlinkNode(project, node);
    deletion.loopPipesRemoved = onTheNode + removeLoopPipesOffTheTree(project);
    return deletion;
}

int loopPipesGoneWith(const Project& project, int16_t node) {
    if (project.loopPipes.empty())
        return 0;
    Project after = project;
    return deleteNode(after, node).loopPipesRemoved;
}

namespace {

// A terminal record of lastTerminalType at height 0 ending `node`'s branch.
void endWithNewTerminal(Project& project, int16_t node) {
    const int16_t t = *project.appendTerminal();
    project.TerminalTable[t].typeIndex = project.lastTerminalType;
    project.TerminalTable[t].height = 0;
    project.NodeTable[node].derivation = t;
    project.NodeTable[node].next = kEndWithTerminal;
}

} // namespace

std::optional<int16_t> addDerivation(Project& project, int16_t at, const QString& name) {
    if (project.nodeCount() >= kMaxTableIndex || project.terminalCount() >= kMaxTableIndex)
        return std::nullopt;
    const int16_t n = *project.appendNode();
    project.NodeTable[at].derivation = n;
    applyNewNodeDefaults(project, n, at);
    Node& node = project.NodeTable[n];
    node.name = name;
    node.parent = at;
    endWithNewTerminal(project, n);
    return n;
}

bool addTerminal(Project& project, int16_t end) {
    if (project.NodeTable[end].next != kEndWithoutTerminal || project.terminalCount() >= kMaxTableIndex)
        return false;
    endWithNewTerminal(project, end);
    return true;
}

namespace {

// One diameter up or down within `series`; false when nothing changed.
bool stepWithinSeries(const PipeSeries* series, bool kvElement, int16_t& diameterIndex, bool up) {
    if (!series || kvElement)
        return false;
    const int last = int(series->diameters.size()) - 1;
    if (diameterIndex > last || diameterIndex < 0)
        return false; // not a diameter of its series: nothing to step from
    if (up && diameterIndex < last) {
        ++diameterIndex;
        return true;
    }
    if (!up && diameterIndex > 0) {
        --diameterIndex;
        return true;
    }
    return false;
}

// A section's series, diameter, length and lock as another series makes them.
template <typename Section>
void applySeriesTo(Project& project, Section& section, int16_t series, int16_t diameterIndex) {
    if (series >= 1) {
        section.seriesIndex = series;
        section.diameterIndex = diameterIndex;
        section.length = std::fabs(section.length);
        project.lastSeries = series;
    } else {
        section.seriesIndex = 0;
        section.diameterLocked = false;
    }
}

} // namespace

bool stepDiameter(Project& project, int16_t node, bool up) {
    Node& n = project.NodeTable[node];
    return stepWithinSeries(project.findSeries(n), n.isKvElement(), n.diameterIndex, up);
}

void applySeries(Project& project, int16_t node, int16_t series, int16_t diameterIndex) {
    applySeriesTo(project, project.NodeTable[node], series, diameterIndex);
}

bool stepLoopPipeDiameter(Project& project, std::size_t pipe, bool up) {
    LoopPipe& p = project.loopPipes[pipe];
    const Node section = p.asSection();
    return stepWithinSeries(project.findSeries(section), section.isKvElement(), p.diameterIndex, up);
}

void applyLoopPipeSeries(Project& project, std::size_t pipe, int16_t series, int16_t diameterIndex) {
    applySeriesTo(project, project.loopPipes[pipe], series, diameterIndex);
}

QString invariantViolation(const Project& project) {
    const auto& nodes = project.NodeTable;
    if (!project.isValidNodeIndex(1) || nodes[1].parent != 0)
        return QStringLiteral("node 1 is not the origin");
    std::vector<int> reached(nodes.size(), 0);
    std::vector<int> terminalUses(project.TerminalTable.size(), 0);
    std::vector<int16_t> pending{1};
    while (!pending.empty()) {
        const int16_t i = pending.back();
        pending.pop_back();
        if (++reached[std::size_t(i)] > 1)
            return QStringLiteral("node %1 reached twice").arg(i);
        const Node& n = nodes[i];
        if (n.endsInTerminal()) {
            if (!project.isValidTerminalIndex(n.derivation))
                return QStringLiteral("node %1 ends in a missing terminal").arg(i);
            if (++terminalUses[std::size_t(n.derivation)] > 1)
                return QStringLiteral("terminal %1 at two ends").arg(n.derivation);
        }
        if (n.next == kEndWithoutTerminal && n.derivation != 0)
            return QStringLiteral("open end %1 keeps a derivation").arg(i);
        for (const int16_t child :
             {n.continues() ? n.next : int16_t(0), n.hasDerivation() ? n.derivation : int16_t(0)}) {
            if (child == 0)
                continue;
            if (!project.isValidNodeIndex(child))
                return QStringLiteral("node %1 links to %2").arg(i).arg(child);
            if (nodes[child].parent != i)
                return QStringLiteral("parent of %1 is %2, not %3")
                    .arg(child)
                    .arg(nodes[child].parent)
                    .arg(i);
            pending.push_back(child);
        }
    }
    return {};
}

} // namespace valmora::edits
