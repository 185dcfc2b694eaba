#include "schema/SchemaLayout.h"

#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"

#include <algorithm>
#include <array>
#include <optional>

namespace valmora {

namespace {

const SchemaCell kEmptyCell;
const QString kKvLabel = QStringLiteral("KV");

// Icon indexes of the terminal types that have a picture of their own.
constexpr int16_t kHydrantIcon = 1;
constexpr int16_t kHoseReelIcon = 2;
constexpr int16_t kSuperHydrantIcon = 3;
constexpr int16_t kNozzleIcon = 4;

// The size written at the start of a node's text: what comes before the filler blanks that
// lead to the node index (a label may hold blanks of its own).
qsizetype sizePartLength(const SchemaCell& cell) {
    qsizetype end = cell.text.size() - QString::number(cell.node).size();
    while (end > 0 && cell.text[end - 1] == u' ')
        --end;
    return std::max<qsizetype>(end, 0);
}

} // namespace

QString schemaPictureName(SchemaPicture picture) {
    static const std::array<const char*, kSchemaPictureCount + 1> names = {
        "",        "vert",  "destra",   "giu",    "orizz",   "curva30",
        "Idrante", "Naspo", "SuperIdr", "Ugello", "Rad30x40"};
    return QString::fromLatin1(names[std::size_t(picture)]);
}

SchemaLayout::SchemaLayout(const Project& project, const NetworkResults& results)
    : project_(project), results_(results) {}

const SchemaCell& SchemaLayout::cell(int r, int c) const {
    if (r < 1 || r > rowCount() || c < 0)
        return kEmptyCell;
    const std::vector<SchemaCell>& cells = rows_[std::size_t(r)].cells;
    return std::size_t(c) < cells.size() ? cells[std::size_t(c)] : kEmptyCell;
}

SchemaCell& SchemaLayout::cellToWrite(int r, int c) {
    std::vector<SchemaCell>& cells = rows_[std::size_t(r)].cells;
    if (cells.size() <= std::size_t(c))
        cells.resize(std::size_t(c) + 1);
    return cells[std::size_t(c)];
}

void SchemaLayout::newRow() {
    rows_.emplace_back();
    currentRow_ = rowCount();
}

// ---- layout -----------------------------------------------------------------------

void SchemaLayout::BuildSchema() {
    rows_.assign(2, SchemaRow()); // the header row and the first row
    columns_ = 1;
    currentRow_ = 1;
    layoutNode_ = 1;
    layoutCol_ = 0;
    verticalMode_ = true;
    extraStep_ = 0;
    const std::vector<Node>& nodes = project_.NodeTable;
    if (project_.nodeCount() < 1)
        return;

    // Every node is placed once, and each derived branch is finished before its derivation
    // node's own branch goes on: a loop over the nodes, no recursion however deep the tree.
    while (layoutNode_ != 0) {
        const int16_t n = layoutNode_;
        const Node& node = nodes[std::size_t(n)];
        if (node.next <= 0) {
            EndBranch();
        } else if (node.derivation > 0) {
            if (verticalMode_) {
                PlaceCell(layoutCol_, CellKind::TeeRight, n);
                verticalMode_ = false;
                FillVerticals();
            } else {
                PlaceCell(layoutCol_, CellKind::TurnDown, n); // the derived branch goes on along this row
            }
            ++layoutCol_;
            layoutNode_ = node.derivation; // the derived branch first, to the right
        } else {
            if (verticalMode_) {
                PlaceCell(layoutCol_, CellKind::Vertical, n);
                FillVerticals();
                newRow();
            } else if (nodes[std::size_t(node.next)].next <= 0) {
                // A derived branch of two nodes lies flat on its derivation's row.
                PlaceCell(layoutCol_, CellKind::Horizontal, n);
                ++layoutCol_;
                extraStep_ = 1;
            } else {
                PlaceCell(layoutCol_, CellKind::TurnDown, n);
                verticalMode_ = true;
                newRow();
                FillVerticals();
            }
            layoutNode_ = node.next;
        }
    }

    treeCols_ = columns_;
    // Empty columns right of the tree, for the loop pipes' lines to run down.
    firstLaneColumn_ = treeCols_;
    laneColumns_ = laneColumnsFor(int(loopLines().size()));
    treeCols_ += laneColumns_;
    columns_ = treeCols_ + 3;
    for (int r = 1; r <= rowCount(); ++r) {
        SchemaRow& row = rows_[std::size_t(r)];
        for (std::size_t c = 1; c < row.cells.size(); ++c) {
            const int16_t m = row.cells[c].node;
            if (m > 0 && nodes[std::size_t(m)].next < 0)
                row.rowData = m;
        }
    }
    // The layout always ends on an empty row.
    rows_.pop_back();
}

void SchemaLayout::PlaceCell(int col, CellKind kind, int16_t node) {
    columns_ = std::max(columns_, col + 1);
    SchemaCell& target = cellToWrite(currentRow_, col);
    const Node& n = project_.NodeTable[std::size_t(node)];
    switch (kind) {
    case CellKind::Vertical:
        target.picture = SchemaPicture::vert;
        break;
    case CellKind::TeeRight:
        target.picture = SchemaPicture::destra;
        break;
    case CellKind::TurnDown:
        target.picture = SchemaPicture::giu;
        break;
    case CellKind::Horizontal:
        target.picture = SchemaPicture::orizz;
        break;
    case CellKind::BranchEnd:
        target.picture = branchEndPicture(n);
        if (n.next == kEndWithoutTerminal)
            rows_[std::size_t(currentRow_)].openEnd = node;
        break;
    }
    if (n.closed)
        target.red = true;
    target.node = node;
    target.text = layoutText(node);
}

SchemaPicture SchemaLayout::branchEndPicture(const Node& end) const {
    if (end.next == kEndWithoutTerminal)
        return SchemaPicture::orizz;
    if (end.next != kEndWithTerminal)
        return SchemaPicture::None; // the other end codes have no picture
    const Terminal* terminal = project_.findTerminal(end);
    const TerminalType* type = terminal ? project_.findTerminalType(*terminal) : nullptr;
    switch (type ? type->iconIndex : 0) {
    case kHydrantIcon:
        return SchemaPicture::Idrante;
    case kHoseReelIcon:
        return SchemaPicture::Naspo;
    case kSuperHydrantIcon:
        return SchemaPicture::SuperIdr;
    case kNozzleIcon:
        return SchemaPicture::Ugello;
    default:
        return SchemaPicture::Rad30x40;
    }
}

QString SchemaLayout::layoutText(int16_t node) const {
    const Node& n = project_.NodeTable[std::size_t(node)];
    const PipeDiameter* diameter = project_.findDiameter(n);
    const QString size = diameter ? formatPicture(double(diameter->innerDiameter), u"#0") : QString();
    return size + QString(kLayoutFillerBlanks, u' ') + QString::number(node);
}

void SchemaLayout::EndBranch() {
    const int16_t n = layoutNode_;
    if (verticalMode_) {
        columns_ = std::max(columns_, layoutCol_ + 1);
        cellToWrite(currentRow_, layoutCol_).picture = SchemaPicture::curva30;
        PlaceCell(layoutCol_ + 1, CellKind::BranchEnd, n);
        FillVerticals();
    } else {
        PlaceCell(layoutCol_, CellKind::BranchEnd, n); // right of its derivation point, on its row
        verticalMode_ = true;
    }
    layoutCol_ = static_cast<int16_t>(layoutCol_ - 1 - extraStep_);
    extraStep_ = 0;

    // Back up to the derivation point whose derived branch has just been finished, and on
    // along that node's own branch; after the last branch the walk ends at 0.
    const std::vector<Node>& nodes = project_.NodeTable;
    do {
        const int16_t p = layoutNode_;
        layoutNode_ = nodes[std::size_t(p)].parent;
        const Node& up = nodes[std::size_t(layoutNode_)];
        if (up.next > 0 && up.derivation == p) {
            layoutNode_ = up.next;
            break;
        }
    } while (layoutNode_ != 0);
    newRow();
}

void SchemaLayout::FillVerticals() {
    for (int i = 0; i < layoutCol_; ++i)
        cellToWrite(currentRow_, i).picture = SchemaPicture::vert;
}

// ---- refresh ----------------------------------------------------------------------

QString SchemaLayout::sizeLabel(const Node& node) const {
    if (node.isKvElement())
        return kKvLabel;
    const PipeDiameter* diameter = project_.findDiameter(node);
    return diameter ? diameter->label : QString();
}

void SchemaLayout::RefreshLabels() {
    for (int r = 1; r <= rowCount(); ++r)
        for (SchemaCell& c : rows_[std::size_t(r)].cells) {
            if (c.node <= 0)
                continue;
            // The label takes the place of the size written before it, padded with blanks: the
            // text keeps its length (the node index stays last), and no digit of a longer size
            // is left behind a shorter label (a 4" pipe read as 4"5).
            const QString label = sizeLabel(project_.NodeTable[std::size_t(c.node)]);
            const qsizetype oldSize = sizePartLength(c);
            const qsizetype covered = std::min(std::max(label.size(), oldSize), c.text.size());
            c.text.replace(0, covered, label.leftJustified(covered, u' ', true));
        }
}

std::vector<SchemaLoopLine> SchemaLayout::loopLines() const {
    // The first cell of every node a loop pipe joins, in one pass over the board.
    std::vector<std::pair<int, int>> firstCell(project_.NodeTable.size(), {0, 0});
    for (const LoopPipe& pipe : project_.loopPipes)
        for (const int16_t end : {pipe.nodeA, pipe.nodeB})
            if (project_.isValidNodeIndex(end))
                firstCell[std::size_t(end)] = {-1, -1}; // wanted, not found yet
    for (int r = 1; r <= rowCount(); ++r) {
        const std::vector<SchemaCell>& cells = rows_[std::size_t(r)].cells;
        for (int c = 0; c < int(cells.size()) && c < treeCols_; ++c) {
            const int16_t node = cells[std::size_t(c)].node;
            if (node > 0 && firstCell[std::size_t(node)].first < 0)
                firstCell[std::size_t(node)] = {r, c};
        }
    }
    const auto cellOf = [&](int16_t node) {
        return project_.isValidNodeIndex(node) ? firstCell[std::size_t(node)] : std::pair(0, 0);
    };
    std::vector<std::optional<double>> flows(project_.loopPipes.size());
    if (results_.ring)
        for (const LoopPipeRow& row : computeLoopPipeRows(project_, results_))
            flows[row.pipe] = row.flow;
    std::vector<SchemaLoopLine> lines;
    for (std::size_t k = 0; k < project_.loopPipes.size(); ++k) {
        const LoopPipe& pipe = project_.loopPipes[k];
        const auto [rowA, colA] = cellOf(pipe.nodeA);
        const auto [rowB, colB] = cellOf(pipe.nodeB);
        if (rowA <= 0 || rowB <= 0)
            continue;
        SchemaLoopLine line{k, rowA, colA, rowB, colB, QString(), pipe.closed};
        QStringList parts{oneLine(pipe.name), sizeLabel(pipe.asSection())};
        if (flows[k])
            parts << formatPicture(double(static_cast<float>(*flows[k])), u"###0") +
                         QStringLiteral(" Lt/min");
        parts.removeAll(QString());
        line.label = parts.join(QStringLiteral(" - "));
        lines.push_back(std::move(line));
    }
    return lines;
}

QString SchemaLayout::flowText(int16_t node) const {
    // Single precision, as the board has always shown it.
    return formatPicture(double(static_cast<float>(nodeFlow(results_, node))), u"###0");
}

void SchemaLayout::FillTerminalColumns() {
    for (int r = 1; r <= rowCount(); ++r) {
        SchemaRow& row = rows_[std::size_t(r)];
        if (row.rowData != 0) {
            if (project_.NodeTable[std::size_t(row.rowData)].next == kEndWithTerminal)
                FillTerminalRow(r, row.rowData);
        } else if (row.openEnd != 0) {
            // An open end shows the flow it lets out, nothing else.
            row.flow = flowText(row.openEnd);
        }
    }
    flowCaption_ = QStringLiteral("Lt/min ") + formatPicture(double(results_.totalFlow), u"#0");
}

void SchemaLayout::MarkWarnings(const NetworkVerification* checks) {
    const auto said = [&](int16_t node, bool aboutTheEnd) {
        QStringList sentences;
        if (checks && node > 0)
            for (const NetworkWarning& w : warningsOf(project_, *checks, node))
                if (w.aboutTheEnd() == aboutTheEnd)
                    sentences << asSentence(w.text);
        return sentences.join(u'\n');
    };
    for (int r = 1; r <= rowCount(); ++r) {
        SchemaRow& row = rows_[std::size_t(r)];
        row.warning = said(row.rowData != 0 ? row.rowData : row.openEnd, true);
        for (SchemaCell& c : row.cells)
            c.warning = said(c.node, false);
    }
}

void SchemaLayout::FillTerminalRow(int r, int16_t node) {
    SchemaRow& row = rows_[std::size_t(r)];
    const Node& end = project_.NodeTable[std::size_t(node)];
    const Terminal* terminal = project_.findTerminal(end);
    const TerminalType* type = terminal ? project_.findTerminalType(*terminal) : nullptr;
    row.flow = flowText(node);
    row.height = terminal ? formatToTenth(double(terminal->height), u"#0") : QString();
    row.type = type ? type->name : QString();
}

// ---- cells ------------------------------------------------------------------------

bool SchemaLayout::findNode(int16_t node, int& r, int& c) const {
    if (node <= 0)
        return false;
    for (int row = 1; row <= rowCount(); ++row) {
        const std::vector<SchemaCell>& cells = rows_[std::size_t(row)].cells;
        for (int col = 0; col < int(cells.size()) && col < treeCols_; ++col)
            if (cells[std::size_t(col)].node == node) {
                r = row;
                c = col;
                return true;
            }
    }
    return false;
}

void SchemaLayout::writeSteppedLabel(int r, int c) {
    SchemaCell& target = cellToWrite(r, c);
    target.text = sizeLabel(project_.NodeTable[std::size_t(target.node)]) + QString(kStepFillerBlanks, u' ') +
                  QString::number(target.node);
}

void SchemaLayout::setRed(int r, int c, bool red) {
    cellToWrite(r, c).red = red;
}

// ---- interaction rules ------------------------------------------------------------

int16_t BranchStartAbove(const Project& project, int16_t node) {
    const std::vector<Node>& nodes = project.NodeTable;
    int16_t m = node;
    do {
        m = nodes[std::size_t(m)].parent;
    } while (m != 0 && nodes[std::size_t(nodes[std::size_t(m)].parent)].derivation != m);
    return m;
}

std::vector<int16_t> branchEditorsFor(const Project& project, int16_t node) {
    std::vector<int16_t> chain; // from `node` outward to the trunk
    chain.push_back(node);
    for (int16_t m = node; m > 1;) {
        m = BranchStartAbove(project, m);
        chain.push_back(m);
    }
    if (chain.size() < 2)
        return {}; // node 1: the trunk's window only
    std::reverse(chain.begin(), chain.end());
    // chain[0] is the trunk's side (0, or 1 for node 1 itself); `node` is last, and has a window
    // of its own only when it starts a derived branch.
    const Node& n = project.NodeTable[std::size_t(node)];
    const bool startsBranch = node > 1 && project.NodeTable[std::size_t(n.parent)].derivation == node;
    return std::vector<int16_t>(chain.begin() + 1, chain.end() - (startsBranch ? 0 : 1));
}

QString nodeStatusText(const Project& project, int16_t node) {
    const Node& n = project.NodeTable[std::size_t(node)];
    QString text = n.name + QStringLiteral(" - ");
    if (n.seriesIndex >= 1)
        text += QStringLiteral("Metri ") + formatToTenth(double(n.length), u"###0");
    return text + QStringLiteral(" - L.Virt. m ") + formatToTenth(double(n.virtualLength), u"###0");
}

} // namespace valmora
