#include "tests/RandomEdits.h"

#include "editor/NetworkEdits.h"
#include "model/Traversal.h"

namespace valmora::testkit {

namespace {

enum EditKind {
    kAppend,
    kInsert,
    kDelete,
    kDerive,
    kDiameterStep,
    kSeries,
    kClose,
    kLength,
    kName,
    kVirtualLength,
    kLock,
    kTerminal,
    kHeader,
    kSettings,
    kEditKinds
};

int16_t lastOfBranch(const Project& p, int16_t node) {
    while (p.NodeTable[node].continues())
        node = p.NodeTable[node].next;
    return node;
}

} // namespace

int16_t applyRandomEdit(Project& p, std::mt19937& rng, int step) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::vector<int16_t> reachable = networkPreorder(p);
    const int16_t node = reachable[std::size_t(pick(0, int(reachable.size()) - 1))];
    Node& n = p.NodeTable[node];
    switch (pick(0, kEditKinds - 1)) {
    case kAppend:
        return *edits::appendAfter(p, lastOfBranch(p, node));
    case kInsert:
        return edits::insertBefore(p, node)->node;
    case kDelete: {
        const edits::DeleteCheck check = edits::checkDelete(p, node);
        if (check == edits::DeleteCheck::ConfirmDelete ||
            check == edits::DeleteCheck::ConfirmDeleteDerivation)
            return edits::deleteNode(p, node).recalculateFrom;
        return node;
    }
    case kDerive:
        if (n.continues() && n.derivation == 0)
            return *edits::addDerivation(p, node, QStringLiteral("R%1").arg(step));
        return node;
    case kDiameterStep:
        if (!n.isKvElement())
            edits::stepDiameter(p, node, pick(0, 1) == 1);
        return node;
    case kSeries: {
        const auto series = static_cast<int16_t>(pick(0, 2));
        edits::applySeries(p, node, series, static_cast<int16_t>(series == 2 ? pick(0, 1) : pick(0, 3)));
        return node;
    }
    case kClose:
        n.closed = !n.closed;
        return node;
    case kLength:
        n.length = float(pick(0, 300)) / 10.0f;
        return node;
    case kName:
        n.name = pick(0, 3) == 0 ? QString() : QStringLiteral("Nodo è %1").arg(step);
        return node;
    case kVirtualLength:
        n.virtualLength = float(pick(0, 900)) / 8.0f; // exact in the file's seven digits
        return node;
    case kLock:
        if (!n.isKvElement())
            n.diameterLocked = !n.diameterLocked;
        return node;
    case kTerminal:
        if (n.endsInTerminal() && p.isValidTerminalIndex(n.derivation)) {
            Terminal& t = p.TerminalTable[std::size_t(n.derivation)];
            t.typeIndex = static_cast<int16_t>(pick(0, int(p.TerminalCatalogue.size()) - 1));
            t.height = float(pick(0, 200)) / 4.0f;
            p.maxHeight = std::max(p.maxHeight, t.height);
        }
        return node;
    case kHeader:
        p.supplyPressure = pick(10000, 90000);
        p.projectNotes = pick(0, 1) ? QStringLiteral("Note %1\nriga due").arg(step) : QString();
        return node;
    default: {
        StandardSettings& s = p.standardSettings;
        s.standard = static_cast<Standard>(pick(0, 2));
        s.level = pick(kLowestLevel, kHighestLevel);
        s.supply.kind = static_cast<SupplyKind>(pick(0, 2));
        s.supply.pump[1] = {double(pick(100, 900)), double(pick(2, 9))};
        if (n.endsInTerminal())
            s.designerSets[TerminalRole::Hydrant] = {node};
        return node;
    }
    }
}

} // namespace valmora::testkit
