#include "editor/NetworkTools.h"

#include "model/Catalogues.h"
#include "model/NumberFormat.h"

#include <algorithm>
#include <array>

namespace valmora::tools {

namespace {

constexpr float kCentimetresPerMetre = 100;
constexpr float kSquareCentimetresPerSquareMetre = 10000;
const QString kSummaryLineEnd = QStringLiteral("\n\r");
const QChar kInch = u'"';

// Entries that count at least one use, each carrying what `valueOf` gives its position.
template <typename ValueOf>
std::vector<ListEntry> entriesInUse(const std::vector<QString>& names, const std::vector<int>& uses,
                                    ValueOf valueOf) {
    std::vector<ListEntry> entries;
    for (std::size_t k = 0; k < names.size(); ++k)
        if (uses[k] >= 1)
            entries.push_back({names[k], valueOf(int(k))});
    return entries;
}

} // namespace

bool isSeriesChangeCandidate(const Node& node) {
    return !node.diameterLocked && node.seriesIndex > 0;
}

std::vector<ListEntry> seriesInUse(const Project& project) {
    std::vector<QString> names;
    for (int16_t s = 1; s <= project.pipeSeriesCount(); ++s)
        names.push_back(project.PipeCatalogue[std::size_t(s)].name);
    std::vector<int> uses(names.size(), 0);
    for (const Node& node : project.NodeTable)
        if (isSeriesChangeCandidate(node) && node.seriesIndex <= int(names.size()))
            ++uses[std::size_t(node.seriesIndex - 1)];
    return entriesInUse(names, uses, [](int k) { return k; });
}

int changePipeSeries(Project& project, int16_t from, int16_t to) {
    if (!project.isValidSeriesIndex(to) || to < 1)
        return 0;
    int count = 0;
    for (Node& node : project.NodeTable) {
        if (!isSeriesChangeCandidate(node) || node.seriesIndex != from)
            continue;
        const PipeDiameter* diameter = project.findDiameter(node);
        const float bore = diameter ? diameter->innerDiameter : 0.0f;
        node.seriesIndex = to;
        node.diameterIndex = NearestDiameterIndex(project.PipeCatalogue[std::size_t(to)], bore);
        ++count;
    }
    return count;
}

std::vector<ListEntry> terminalTypesInUse(const Project& project) {
    std::vector<QString> names;
    for (const TerminalType& type : project.TerminalCatalogue)
        names.push_back(type.name);
    std::vector<int> uses(names.size(), 0);
    for (int16_t t = 1; t <= project.terminalCount(); ++t) {
        const int16_t type = project.TerminalTable[std::size_t(t)].typeIndex;
        if (type >= 0 && type < int(names.size()))
            ++uses[std::size_t(type)];
    }
    return entriesInUse(names, uses, [](int k) { return k; });
}

int changeTerminalType(Project& project, int16_t from, int16_t to) {
    int count = 0;
    for (int16_t t = 1; t <= project.terminalCount(); ++t) {
        Terminal& terminal = project.TerminalTable[std::size_t(t)];
        if (terminal.typeIndex != from)
            continue;
        terminal.typeIndex = to;
        ++count;
    }
    return count;
}

// ---- comb -------------------------------------------------------------------------

std::optional<int16_t> combEndNode(const Project& project, int16_t node) {
    if (!project.isValidNodeIndex(node))
        return std::nullopt;
    int16_t at = node;
    while (project.NodeTable[std::size_t(at)].next > 0)
        at = project.NodeTable[std::size_t(at)].next;
    const Node& end = project.NodeTable[std::size_t(at)];
    if (end.next != kEndWithTerminal || !project.findTerminal(end))
        return std::nullopt;
    return at;
}

int16_t combNozzleCount(const CombSettings& s) {
    return static_cast<int16_t>((s.nozzlesSideB + s.nozzlesSideA) * s.branchCount);
}

bool combSettingsEnabled(const CombSettings& s) {
    return double(combNozzleCount(s)) * double(s.takeoffSpacing) * double(s.nozzleSpacing) > 0;
}

QString combSummary(const Project& project, const CombSettings& s, int16_t terminalType) {
    const int16_t n = combNozzleCount(s);
    const float area = float(n) * s.takeoffSpacing * s.nozzleSpacing / kSquareCentimetresPerSquareMetre;
    const TerminalType* type = project.isValidTerminalTypeIndex(terminalType)
                                   ? &project.TerminalCatalogue[std::size_t(terminalType)]
                                   : nullptr;
    const float flow = float(n) * (type ? type->nominalFlow : 0.0f);
    return QStringLiteral("Verranno creati %1 nuovi terminali di tipo %2;")
               .arg(n)
               .arg(type ? type->name : QString()) +
           kSummaryLineEnd + QStringLiteral("La dorsale sarà da 2") + kInch +
           QStringLiteral("1/2 con %1 diramazioni.").arg(s.branchCount) + kSummaryLineEnd +
           QStringLiteral("La superficie coperta sarà di ") + formatPicture(double(area), u"#0.0") +
           QStringLiteral(" m².") + kSummaryLineEnd + QStringLiteral("La portata (nominale) sarà di circa ") +
           formatPicture(double(flow / area), u"#0.0") + QStringLiteral(" l/min per m²");
}

std::optional<QString> combRefusal(const Project& project, const CombSettings& s) {
    if (s.branchCount < 0 || s.nozzlesSideA < 0 || s.nozzlesSideB < 0 || s.nozzleSpacing < 0 ||
        s.takeoffSpacing < 0)
        return QStringLiteral("I valori non possono essere negativi.");
    const long long nozzles = (long long)(s.nozzlesSideA + s.nozzlesSideB) * s.branchCount;
    // An arm of c nozzles is c nozzle nodes and c - 1 pipe sections, plus its main-pipe node:
    // two nodes a nozzle.
    const long long nodes = project.nodeCount() + 2 * nozzles;
    const long long terminals = project.terminalCount() + nozzles;
    if (!project.isValidDiameterIndex(kCombSeries, kMainPipeDiameter))
        return QStringLiteral("La serie %1 del catalogo non ha i diametri del pettine (da 1\" a 2\"1/2).")
            .arg(kCombSeries);
    if (nozzles > kMaxTableIndex || nodes > kMaxTableIndex || terminals > kMaxTableIndex)
        return QStringLiteral("Il pettine porterebbe la rete oltre i %1 nodi o terminali.")
            .arg(kMaxTableIndex);
    return std::nullopt;
}

namespace {

// Series 1 diameter indexes of an arm section by k, the nozzles it feeds beyond one: 1" for
// one or two nozzles, 1"1/4 for three, 1"1/2 for four, 2" up to eight, 2"1/2 beyond.
constexpr std::array<int16_t, 8> kArmDiameterByK = {3, 3, 4, 5, 6, 6, 6, 6};
constexpr int16_t kNozzleDiameter = 3; // 1"

int16_t armDiameterIndex(int k) {
    return k >= 0 && k < int(kArmDiameterByK.size()) ? kArmDiameterByK[std::size_t(k)] : kMainPipeDiameter;
}

// Reads the settings as the building loop changes them (the take-off count names the main pipe).
class CombBuilder {
public:
    CombBuilder(Project& project, const CombSettings& settings, int16_t terminalType, float height)
        : project_(project), s_(settings), terminalType_(terminalType), height_(height) {}

    int added() const { return added_; }

    int16_t CreateArm(int16_t attach, bool firstSide) {
        const int16_t d = appendPipe(attach);
        project_.NodeTable[std::size_t(attach)].next = d;
        Node& main = project_.NodeTable[std::size_t(d)];
        main.length = firstSide ? s_.takeoffSpacing / kCentimetresPerMetre : 0.0f;
        main.diameterIndex = kMainPipeDiameter;
        main.name = QStringLiteral("Dr%1%2%3")
                        .arg(s_.branchCount)
                        .arg(firstSide ? QStringLiteral("Sx") : QStringLiteral("Dx"))
                        .arg(d);
        const int c = firstSide ? s_.nozzlesSideA : s_.nozzlesSideB;
        int16_t current = d;
        for (int i = 1; i <= c; ++i) {
            armDiameter_ = armDiameterIndex(c - i);
            current = AddNozzle(current, i == c, i == 1);
        }
        return d;
    }

    int16_t AddNozzle(int16_t current, bool last, bool first) {
        float nozzleLength = 0;
        int16_t hangFrom = current;
        if (!last) {
            const int16_t p = appendPipe(current);
            Node& pipe = project_.NodeTable[std::size_t(p)];
            pipe.length = s_.nozzleSpacing / kCentimetresPerMetre;
            pipe.diameterIndex = armDiameter_;
            pipe.name = QStringLiteral("St%1").arg(p);
            Node& from = project_.NodeTable[std::size_t(current)];
            (first ? from.derivation : from.next) = p;
            hangFrom = p;
        } else {
            nozzleLength = s_.nozzleSpacing / kCentimetresPerMetre;
        }
        const int16_t terminal = *project_.appendTerminal();
        project_.TerminalTable[std::size_t(terminal)].typeIndex = terminalType_;
        project_.TerminalTable[std::size_t(terminal)].height = height_;
        const int16_t t = appendPipe(hangFrom);
        Node& nozzle = project_.NodeTable[std::size_t(t)];
        nozzle.derivation = terminal;
        nozzle.next = kEndWithTerminal;
        nozzle.length = nozzleLength;
        nozzle.diameterIndex = kNozzleDiameter;
        nozzle.name = QStringLiteral("St%1").arg(t);
        Node& from = project_.NodeTable[std::size_t(hangFrom)];
        if (!last || first)
            from.derivation = t;
        else
            from.next = t;
        return last ? 0 : hangFrom;
    }

private:
    int16_t appendPipe(int16_t parent) {
        const int16_t index = *project_.appendNode();
        Node& node = project_.NodeTable[std::size_t(index)];
        node.parent = parent;
        node.seriesIndex = kCombSeries;
        node.virtualLength = kCombVirtualLength;
        ++added_;
        return index;
    }

    Project& project_;
    const CombSettings& s_;
    int16_t terminalType_;
    float height_;
    int16_t armDiameter_ = kNozzleDiameter;
    int added_ = 0;
};

} // namespace

int CreateComb(Project& project, int16_t endNode, CombSettings settings) {
    const Terminal replaced =
        project.TerminalTable[std::size_t(project.NodeTable[std::size_t(endNode)].derivation)];
    // The new nozzles stand where the terminal they replace stood, as the dialog promises.
    CombSettings& s = settings;
    CombBuilder build(project, s, replaced.typeIndex, replaced.height);
    project.NodeTable[std::size_t(endNode)].derivation = 0;
    if (s.nozzlesSideA == 0) {
        s.nozzlesSideA = s.nozzlesSideB;
        s.nozzlesSideB = 0;
    }
    int16_t attach = endNode;
    while (s.branchCount >= 1) {
        int16_t d = build.CreateArm(attach, true);
        --s.branchCount;
        if (s.nozzlesSideB >= 1)
            d = build.CreateArm(d, false);
        attach = d;
    }
    // The last take-off's arm goes on as the main pipe's continuation: the branch still
    // ends in terminals.
    Node& last = project.NodeTable[std::size_t(attach)];
    if (attach != endNode) {
        last.next = last.derivation;
        last.derivation = 0;
    }
    return build.added();
}

} // namespace valmora::tools
