#include "model/ProjectHistory.h"

#include <cstring>
#include <deque>
#include <type_traits>

namespace valmora {

namespace {

// The stored fields of a node, one bit each in a change's mask, in the order their values
// follow the mask in a step's stream.
enum NodeField : uint16_t {
    kLengthField = 1u << 0,
    kVirtualLengthField = 1u << 1,
    kDiameterField = 1u << 2,
    kSeriesField = 1u << 3,
    kLockedField = 1u << 4,
    kClosedField = 1u << 5,
    kDerivationField = 1u << 6,
    kNextField = 1u << 7,
    kParentField = 1u << 8,
};
constexpr uint16_t kLinkFields = kDerivationField | kNextField | kParentField;

enum TerminalField : uint8_t {
    kTypeField = 1u << 0,
    kHeightField = 1u << 1,
};

// Reals are compared and kept by their bits: a value typed again as it was is no change,
// and what comes back is exactly what was there.
template <typename T> bool sameBits(const T& a, const T& b) {
    static_assert(std::is_trivially_copyable_v<T>);
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <typename T> void put(std::vector<uint8_t>& out, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes)
        : at_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    bool atEnd() const { return at_ >= end_; }
    template <typename T> T get() {
        T value;
        std::memcpy(&value, at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

// One field of a change: appended when it differs, as the value before and after.
template <typename T>
void putIfChanged(std::vector<uint8_t>& out, uint16_t& mask, uint16_t bit, const T& before, const T& after) {
    if (sameBits(before, after))
        return;
    mask |= bit;
    put(out, before);
    put(out, after);
}

// Reads a field's pair when the mask has it, and writes the chosen side into `field`.
template <typename T> void takeIfChanged(Reader& in, uint16_t mask, uint16_t bit, bool forward, T& field) {
    if (!(mask & bit))
        return;
    const T before = in.get<T>();
    const T after = in.get<T>();
    field = forward ? after : before;
}

// What a map keeps for an entry beside its key and value: the tree's links and colour.
constexpr std::size_t kMapNodeBytes = 4 * sizeof(void*) + sizeof(std::pair<int, std::vector<int16_t>>);

const Node kAbsentNode{};
const Terminal kAbsentTerminal{};

} // namespace

// What a step keeps of the header and of the settings beside the project.
struct StoredHeader {
    QString notes;
    int32_t supplyPressure = 0;
    int16_t lastSeries = 0;
    int16_t lastTerminalType = 0;
    float maxHeight = 0;
    StandardSettings settings;
    ReportData report;
    PressureUnit pressureUnit = PressureUnit::Millimetres;
    std::vector<LoopPipe> loopPipes; // few beside the nodes: kept whole with the header

    static StoredHeader of(const Project& p) {
        return {p.projectNotes,     p.supplyPressure, p.lastSeries,   p.lastTerminalType, p.maxHeight,
                p.standardSettings, p.reportData,     p.pressureUnit, p.loopPipes};
    }
    void writeTo(Project& p) const {
        p.projectNotes = notes;
        p.supplyPressure = supplyPressure;
        p.lastSeries = lastSeries;
        p.lastTerminalType = lastTerminalType;
        p.maxHeight = maxHeight;
        p.standardSettings = settings;
        p.reportData = report;
        p.pressureUnit = pressureUnit;
        p.loopPipes = loopPipes;
    }
    // What it holds, its settings' tables and the designer's sets included: a step that keeps
    // a large set a thousand times is a thousand large sets.
    std::size_t bytes() const {
        std::size_t total = sizeof(StoredHeader) + std::size_t(notes.size()) * sizeof(QChar);
        for (const QString* field :
             {&report.committente, &report.ubicazione, &report.oggetto, &report.progettista,
              &report.iscrizione, &report.revisione, &report.data, &report.noteRevisione})
            total += std::size_t(field->size()) * sizeof(QChar);
        const StandardSettings& s = settings;
        total += (s.roles.size() + s.workingAtOnce.size() + s.durationMinutes.size() + s.designerSets.size() +
                  s.designerFavourableSets.size()) *
                 kMapNodeBytes;
        for (const auto* sets : {&s.designerSets, &s.designerFavourableSets})
            for (const auto& [role, nodes] : *sets)
                total += nodes.capacity() * sizeof(int16_t);
        total += loopPipes.capacity() * sizeof(LoopPipe);
        for (const LoopPipe& pipe : loopPipes)
            total += std::size_t(pipe.name.size()) * sizeof(QChar);
        return total;
    }
    bool operator==(const StoredHeader& o) const {
        return notes == o.notes && supplyPressure == o.supplyPressure && lastSeries == o.lastSeries &&
               lastTerminalType == o.lastTerminalType && sameBits(maxHeight, o.maxHeight) &&
               settings == o.settings && report == o.report && pressureUnit == o.pressureUnit &&
               loopPipes == o.loopPipes;
    }
};

struct ProjectHistory::Snapshot {
    std::vector<Node> nodes; // results included, never compared
    std::vector<Terminal> terminals;
    StoredHeader header;
};

struct NameChange {
    int16_t node;
    QString before;
    QString after;
};

struct ProjectHistory::Step {
    QString label;
    std::size_t nodeCountBefore = 0, nodeCountAfter = 0; // table sizes, index 0 included
    std::size_t terminalCountBefore = 0, terminalCountAfter = 0;
    // Per changed node: its index, the mask of its changed fields, then before and after
    // of each of them. The same for terminals with an 8-bit mask.
    std::vector<uint8_t> nodeChanges;
    std::vector<uint8_t> terminalChanges;
    std::vector<NameChange> names;
    std::unique_ptr<std::pair<StoredHeader, StoredHeader>> header; // most steps leave it as it was
    int16_t cursorBefore = 1;
    int16_t cursorAfter = 1;
    bool shapeChanged = false;

    std::size_t bytes() const {
        std::size_t total = sizeof(Step) + nodeChanges.capacity() + terminalChanges.capacity() +
                            names.capacity() * sizeof(NameChange) + std::size_t(label.size()) * 2;
        for (const NameChange& n : names)
            total += std::size_t(n.before.size() + n.after.size()) * sizeof(QChar);
        if (header)
            total += header->first.bytes() + header->second.bytes();
        return total;
    }
    bool empty() const {
        return nodeChanges.empty() && terminalChanges.empty() && names.empty() && !header &&
               nodeCountBefore == nodeCountAfter && terminalCountBefore == terminalCountAfter;
    }
};

namespace {

// The fields of `after` that differ from `before`, appended to `out` under `index`.
void putNodeChange(std::vector<uint8_t>& out, int16_t index, const Node& before, const Node& after,
                   uint16_t& changedMask) {
    std::vector<uint8_t> fields;
    uint16_t mask = 0;
    putIfChanged(fields, mask, kLengthField, before.length, after.length);
    putIfChanged(fields, mask, kVirtualLengthField, before.virtualLength, after.virtualLength);
    putIfChanged(fields, mask, kDiameterField, before.diameterIndex, after.diameterIndex);
    putIfChanged(fields, mask, kSeriesField, before.seriesIndex, after.seriesIndex);
    putIfChanged(fields, mask, kLockedField, before.diameterLocked, after.diameterLocked);
    putIfChanged(fields, mask, kClosedField, before.closed, after.closed);
    putIfChanged(fields, mask, kDerivationField, before.derivation, after.derivation);
    putIfChanged(fields, mask, kNextField, before.next, after.next);
    putIfChanged(fields, mask, kParentField, before.parent, after.parent);
    if (mask == 0)
        return;
    put(out, index);
    put(out, mask);
    out.insert(out.end(), fields.begin(), fields.end());
    changedMask |= mask;
}

bool sameStoredNode(const Node& a, const Node& b) {
    return sameBits(a.length, b.length) && sameBits(a.virtualLength, b.virtualLength) &&
           a.diameterIndex == b.diameterIndex && a.seriesIndex == b.seriesIndex &&
           a.diameterLocked == b.diameterLocked && a.closed == b.closed && a.derivation == b.derivation &&
           a.next == b.next && a.parent == b.parent;
}

bool sameStoredTerminal(const Terminal& a, const Terminal& b) {
    return a.typeIndex == b.typeIndex && sameBits(a.height, b.height);
}

void putTerminalChange(std::vector<uint8_t>& out, int16_t index, const Terminal& before,
                       const Terminal& after) {
    std::vector<uint8_t> fields;
    uint16_t mask = 0;
    putIfChanged(fields, mask, kTypeField, before.typeIndex, after.typeIndex);
    putIfChanged(fields, mask, kHeightField, before.height, after.height);
    if (mask == 0)
        return;
    put(out, index);
    put(out, static_cast<uint8_t>(mask));
    out.insert(out.end(), fields.begin(), fields.end());
}

// Applies one side of a stream of node changes to `nodes`, which already has the side's size.
void applyNodeChanges(const std::vector<uint8_t>& stream, bool forward, std::vector<Node>& nodes) {
    Reader in(stream);
    while (!in.atEnd()) {
        const auto index = std::size_t(in.get<int16_t>());
        const auto mask = in.get<uint16_t>();
        Node scratch;
        Node& node = index < nodes.size() ? nodes[index] : scratch; // beyond the side's table: read past
        takeIfChanged(in, mask, kLengthField, forward, node.length);
        takeIfChanged(in, mask, kVirtualLengthField, forward, node.virtualLength);
        takeIfChanged(in, mask, kDiameterField, forward, node.diameterIndex);
        takeIfChanged(in, mask, kSeriesField, forward, node.seriesIndex);
        takeIfChanged(in, mask, kLockedField, forward, node.diameterLocked);
        takeIfChanged(in, mask, kClosedField, forward, node.closed);
        takeIfChanged(in, mask, kDerivationField, forward, node.derivation);
        takeIfChanged(in, mask, kNextField, forward, node.next);
        takeIfChanged(in, mask, kParentField, forward, node.parent);
    }
}

void applyTerminalChanges(const std::vector<uint8_t>& stream, bool forward,
                          std::vector<Terminal>& terminals) {
    Reader in(stream);
    while (!in.atEnd()) {
        const auto index = std::size_t(in.get<int16_t>());
        const auto mask = uint16_t(in.get<uint8_t>());
        Terminal scratch;
        Terminal& terminal = index < terminals.size() ? terminals[index] : scratch;
        takeIfChanged(in, mask, kTypeField, forward, terminal.typeIndex);
        takeIfChanged(in, mask, kHeightField, forward, terminal.height);
    }
}

// A table grown or shrunk to `size`: new records start as the absent record, the one the
// changes were taken against.
template <typename Record> void resizeTo(std::vector<Record>& table, std::size_t size, const Record& absent) {
    table.resize(size, absent);
}

} // namespace

ProjectHistory::ProjectHistory(std::size_t byteBudget)
    : budget_(byteBudget), baseline_(std::make_unique<Snapshot>()) {}

ProjectHistory::~ProjectHistory() = default;

void ProjectHistory::reset(const Project& project, int16_t cursor) {
    baseline_->nodes = project.NodeTable;
    baseline_->terminals = project.TerminalTable;
    baseline_->header = StoredHeader::of(project);
    baselineCursor_ = cursor;
    steps_.clear();
    position_ = 0;
    clean_ = 0;
    bytes_ = 0;
}

bool ProjectHistory::record(const Project& project, int16_t cursor, const QString& label,
                            int16_t cursorBefore, bool mergeWithLast) {
    if (mergeWithLast && canUndo() && !canRedo() && steps_.back()->label == label && !isClean()) {
        // The baseline goes back to before the last step, which the new one replaces.
        const Step& last = *steps_.back();
        applyToTables(last, false, baseline_->nodes, baseline_->terminals);
        if (last.header)
            baseline_->header = last.header->first;
        cursorBefore = last.cursorBefore;
        bytes_ -= last.bytes();
        steps_.pop_back();
        --position_;
    }
    Step step;
    step.label = label;
    step.nodeCountBefore = baseline_->nodes.size();
    step.nodeCountAfter = project.NodeTable.size();
    step.terminalCountBefore = baseline_->terminals.size();
    step.terminalCountAfter = project.TerminalTable.size();

    std::vector<Node>& nodes = baseline_->nodes;
    const std::size_t nodeSpan = std::max(nodes.size(), project.NodeTable.size());
    uint16_t changedFields = 0;
    for (std::size_t i = 1; i < nodeSpan; ++i) {
        const Node& before = i < nodes.size() ? nodes[i] : kAbsentNode;
        const Node& after = i < project.NodeTable.size() ? project.NodeTable[i] : kAbsentNode;
        const bool sameName = before.name == after.name;
        if (sameName && sameStoredNode(before, after))
            continue;
        putNodeChange(step.nodeChanges, static_cast<int16_t>(i), before, after, changedFields);
        if (!sameName)
            step.names.push_back({static_cast<int16_t>(i), before.name, after.name});
    }
    std::vector<Terminal>& terminals = baseline_->terminals;
    const std::size_t terminalSpan = std::max(terminals.size(), project.TerminalTable.size());
    for (std::size_t i = 1; i < terminalSpan; ++i) {
        const Terminal& before = i < terminals.size() ? terminals[i] : kAbsentTerminal;
        const Terminal& after = i < project.TerminalTable.size() ? project.TerminalTable[i] : kAbsentTerminal;
        putTerminalChange(step.terminalChanges, static_cast<int16_t>(i), before, after);
    }
    StoredHeader header = StoredHeader::of(project);
    if (!(header == baseline_->header))
        step.header = std::make_unique<std::pair<StoredHeader, StoredHeader>>(baseline_->header, header);
    if (step.empty())
        return false;

    step.shapeChanged = (changedFields & kLinkFields) || step.nodeCountBefore != step.nodeCountAfter ||
                        step.terminalCountBefore != step.terminalCountAfter;
    step.cursorBefore = cursorBefore > 0 ? cursorBefore : baselineCursor_;
    step.cursorAfter = cursor;
    step.nodeChanges.shrink_to_fit();
    step.terminalChanges.shrink_to_fit();
    step.names.shrink_to_fit();

    // The baseline becomes the project as it stands: only what changed is copied.
    applyToTables(step, true, nodes, terminals);
    baseline_->header = std::move(header);
    baselineCursor_ = cursor;

    dropRedoSteps();
    bytes_ += step.bytes();
    steps_.push_back(std::make_unique<Step>(std::move(step)));
    ++position_;
    while (bytes_ > budget_ && steps_.size() > 1)
        dropOldest();
    return true;
}

void ProjectHistory::dropRedoSteps() {
    while (steps_.size() > position_) {
        bytes_ -= steps_.back()->bytes();
        steps_.pop_back();
    }
    if (clean_ && *clean_ > position_)
        clean_.reset(); // the saved state can no longer be reached
}

void ProjectHistory::dropOldest() {
    bytes_ -= steps_.front()->bytes();
    steps_.pop_front();
    --position_;
    if (clean_) {
        if (*clean_ == 0)
            clean_.reset();
        else
            --*clean_;
    }
}

std::size_t ProjectHistory::baselineBytes() const {
    std::size_t names = 0;
    for (const Node& n : baseline_->nodes)
        names += std::size_t(n.name.capacity()) * sizeof(QChar);
    return baseline_->nodes.capacity() * sizeof(Node) + baseline_->terminals.capacity() * sizeof(Terminal) +
           names;
}

QString ProjectHistory::undoLabel() const {
    return canUndo() ? steps_[position_ - 1]->label : QString();
}

QString ProjectHistory::redoLabel() const {
    return canRedo() ? steps_[position_]->label : QString();
}

void ProjectHistory::applyToTables(const Step& step, bool forward, std::vector<Node>& nodes,
                                   std::vector<Terminal>& terminals) {
    resizeTo(nodes, forward ? step.nodeCountAfter : step.nodeCountBefore, kAbsentNode);
    applyNodeChanges(step.nodeChanges, forward, nodes);
    for (const NameChange& n : step.names)
        if (std::size_t(n.node) < nodes.size())
            nodes[std::size_t(n.node)].name = forward ? n.after : n.before;
    resizeTo(terminals, forward ? step.terminalCountAfter : step.terminalCountBefore, kAbsentTerminal);
    applyTerminalChanges(step.terminalChanges, forward, terminals);
}

int16_t ProjectHistory::apply(Project& project, const Step& step, bool forward) {
    applyToTables(step, forward, project.NodeTable, project.TerminalTable);
    applyToTables(step, forward, baseline_->nodes, baseline_->terminals);
    if (step.header) {
        const StoredHeader& header = forward ? step.header->second : step.header->first;
        header.writeTo(project);
        baseline_->header = header;
    }
    const int16_t cursor = forward ? step.cursorAfter : step.cursorBefore;
    baselineCursor_ = project.isValidNodeIndex(cursor) ? cursor : int16_t(1);
    return baselineCursor_;
}

std::optional<ProjectHistory::Applied> ProjectHistory::undo(Project& project) {
    if (!canUndo())
        return std::nullopt;
    const Step& step = *steps_[--position_];
    const int16_t cursor = apply(project, step, false);
    return Applied{step.label, step.shapeChanged, cursor};
}

std::optional<ProjectHistory::Applied> ProjectHistory::redo(Project& project) {
    if (!canRedo())
        return std::nullopt;
    const Step& step = *steps_[position_++];
    const int16_t cursor = apply(project, step, true);
    return Applied{step.label, step.shapeChanged, cursor};
}

void ProjectHistory::markClean() {
    clean_ = position_;
}

bool ProjectHistory::differsFrom(const Project& project) const {
    if (project.NodeTable.size() != baseline_->nodes.size() ||
        project.TerminalTable.size() != baseline_->terminals.size())
        return true;
    for (std::size_t i = 1; i < project.NodeTable.size(); ++i) {
        const Node& a = project.NodeTable[i];
        const Node& b = baseline_->nodes[i];
        if (!sameStoredNode(a, b) || a.name != b.name)
            return true;
    }
    for (std::size_t i = 1; i < project.TerminalTable.size(); ++i) {
        if (!sameStoredTerminal(project.TerminalTable[i], baseline_->terminals[i]))
            return true;
    }
    return !(StoredHeader::of(project) == baseline_->header);
}

} // namespace valmora
