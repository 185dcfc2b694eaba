#include "schema/SchemaPrint.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace valmora {

namespace {

// The supply in the heading: whole mm as it has always read, else in the designer's unit.
QString pressureInSchema(const Project& project) {
    const double supply = project.supplyPressure;
    if (project.pressureUnit == PressureUnit::Millimetres)
        return formatPicture(supply, u"#0") + QStringLiteral(" mm");
    return calculationScale(project.pressureUnit).text(supply);
}

constexpr double kMillimetresPerTwip = 25.4 / 1440;
constexpr double kUsableWidthMm = 190;
constexpr double kUsableHeightMm = 277;

// The band, in twips.
constexpr int kCellWidthTwips = 600;
constexpr int kPictureHeightTwips = 390;
constexpr int kLabelDropTwips = 120;  // from the band's top to its texts
constexpr int kAfterLabelTwips = 270; // from the texts to the next band
// The size label, whole in the cell's width ("1"1/2": cut to four, 1"1/4 and 1"1/2 would read
// alike); the node index stays off the paper.
constexpr int kLabelCharacters = 6;
constexpr int kTypeCharacters = 18;
constexpr int kNameField = 15;
constexpr int kNumberField = 6;

const QString kTerminalColumn = QStringLiteral("Terminale");
const QString kColumnGap = QStringLiteral(" "); // between the flow's and the height's columns

// The size label of a cell, in the characters the band has for it; the node index that
// follows it in the cell's text stays off the paper.
QString printedLabel(const SchemaCell& cell) {
    if (cell.node <= 0)
        return cell.text.left(kLabelCharacters);
    QString label = cell.text.left(cell.text.size() - QString::number(cell.node).size());
    while (label.endsWith(u' '))
        label.chop(1);
    return cutToFit(label, kLabelCharacters);
}

const PrintFont kHeadingFont{QStringLiteral("Arial"), 10, true};
const PrintFont kBodyFont{QStringLiteral("Courier New"), 8, false};

// Positions in twips, scaled to the page: a schema wider than the page is drawn smaller as a
// whole, so that the terminal columns stay beside their rows.
class SchemaPage {
public:
    SchemaPage(const SchemaLayout& board, const Project& project, PrintSurface& surface)
        : board_(board), project_(project), surface_(surface) {
        loops_ = board.loopLines();
        x0_ = (board.treeCols() + 1) * kCellWidthTwips;
        x1_ = x0_ + kCellWidthTwips;
        x2_ = x1_ + kCellWidthTwips;
        surface_.setFont(kBodyFont);
        const QString widestEnd =
            QStringLiteral("   ") + QString(kNameField, u'0') + u' ' + QString(kTypeCharacters + 2, u'0');
        const double needed = mm(x2_) + surface_.textWidth(widestEnd);
        scale_ = needed > kUsableWidthMm ? kUsableWidthMm / needed : 1;
        bodyFont_ = kBodyFont;
        bodyFont_.size *= scale_;
    }

    void print() {
        surface_.setScaleMillimetres(kPageMarginOffset, kPageMarginOffset);
        surface_.setCurrentX(0);
        surface_.setCurrentY(0);
        printHeading();
        const double bandHeight = mm(kPictureHeightTwips);
        for (int r = 1; r <= board_.rowCount(); ++r) {
            if (surface_.currentY() + bandHeight > kUsableHeightMm) {
                surface_.newPage();
                printHeading();
            }
            printBand(r);
        }
        printLoopLegend();
        surface_.endDocument();
    }

private:
    double mm(int twips) const { return twips * kMillimetresPerTwip * scale_; }

    void printHeading() {
        surface_.setFont(kHeadingFont);
        surface_.print(QStringLiteral("SCHEMA - File ") + oneLine(project_.projectPath));
        surface_.setFont(kBodyFont);
        surface_.print(QStringLiteral("Portata totale= ") +
                       formatPicture(double(board_.results().totalFlow), u"#0") + QStringLiteral(" lt/min") +
                       QStringLiteral(" alla pressione di ") + pressureInSchema(project_) + u'.');
        surface_.setFont(bodyFont_);
        surface_.setCurrentX(mm(x0_));
        surface_.print(rightInSix(kFlowHeader) + kColumnGap + rightInSix(kHeightHeader), false);
        surface_.setCurrentX(mm(x2_));
        surface_.print(QStringLiteral("  ") + kTerminalColumn);
        surface_.print(QString());
    }

    void printBand(int r) {
        const SchemaRow& row = board_.row(r);
        const double top = surface_.currentY();
        double x = 0;
        for (int c = 0; c < board_.treeCols(); ++c) {
            const SchemaPicture picture = board_.cell(r, c).picture;
            if (picture == SchemaPicture::None)
                continue;
            surface_.drawPicture(schemaPictureName(picture), x, top, mm(kCellWidthTwips),
                                 mm(kPictureHeightTwips));
            x += mm(kCellWidthTwips);
        }
        drawLoopLanes(r, top);
        const double textTop = top + mm(kLabelDropTwips);
        surface_.setFont(bodyFont_);
        // The size labels at the top of their cells, above the terminals' symbols and left of
        // the vertical pipe: a long one is written smaller to stand clear of both.
        const double room = mm(kCellWidthTwips) * (kVerticalPipeLeft - 1) / kPictureWidth;
        for (int c = 0; c < board_.treeCols(); ++c) {
            const QString label = printedLabel(board_.cell(r, c));
            PrintFont labelFont = bodyFont_;
            const double width = surface_.textWidth(label);
            if (width > room)
                labelFont.size *= room / width;
            surface_.setFont(labelFont);
            surface_.setCurrentX(mm(c * kCellWidthTwips));
            surface_.setCurrentY(top);
            surface_.print(label, false);
        }
        surface_.setFont(bodyFont_);
        surface_.setCurrentX(mm(x0_));
        surface_.setCurrentY(textTop);
        surface_.print(rightInSix(row.flow) + kColumnGap + rightInSix(row.height), false);
        surface_.setCurrentX(mm(x2_));
        const QString name = row.rowData > 0 ? project_.NodeTable[std::size_t(row.rowData)].name : QString();
        // A row whose end the checks flag is marked on paper as on screen.
        surface_.print((row.warning.isEmpty() ? QStringLiteral("   ") : QStringLiteral(" ! ")) +
                           leftInFifteen(name),
                       false);
        const QString type = row.type.left(kTypeCharacters) + QStringLiteral("..");
        if (type.size() > 3)
            surface_.print(u' ' + type, false);
        surface_.setCurrentX(0);
        surface_.setCurrentY(textTop + mm(kAfterLabelTwips));
    }

    // The band's share of each loop pipe's line: down its lane through the rows between its
    // nodes, and across from each node's pipe on that node's own row. Band by band, a line runs
    // on over a page break as the tree does.
    void drawLoopLanes(int r, double top) {
        const double band = mm(kPictureHeightTwips);
        const double middle = top + band / 2;
        const double laneWidth = mm(kCellWidthTwips) / kLanesPerColumn;
        const double pipeX = mm(kCellWidthTwips) * (kVerticalPipeLeft + 2) / kPictureWidth;
        for (std::size_t k = 0; k < loops_.size() && board_.laneCount() > 0; ++k) {
            const SchemaLoopLine& line = loops_[k];
            const int first = std::min(line.rowA, line.rowB), last = std::max(line.rowA, line.rowB);
            if (r < first || r > last)
                continue;
            const int lane = int(k) % board_.laneCount();
            const double laneX = mm(board_.firstLaneColumn() * kCellWidthTwips) + (lane + 0.5) * laneWidth;
            surface_.line(laneX, r == first ? middle : top, laneX, r == last ? middle : top + band);
            for (const auto& [row, col] : {std::pair(line.rowA, line.colA), std::pair(line.rowB, line.colB)})
                if (row == r)
                    surface_.line(mm(col * kCellWidthTwips) + pipeX, middle, laneX, middle);
        }
    }

    // What each lane stands for, lane by lane from the left.
    void printLoopLegend() {
        if (loops_.empty())
            return;
        surface_.setFont(bodyFont_);
        surface_.setCurrentX(0);
        surface_.print(QString());
        surface_.print(board_.laneCount() >= int(loops_.size())
                           ? QStringLiteral("Anelli (linee a destra dello schema, da sinistra):")
                           : QStringLiteral("Anelli (linee a destra dello schema, da sinistra; dopo la %1a "
                                            "le linee ricominciano dalla prima):")
                                 .arg(board_.laneCount()));
        for (const SchemaLoopLine& line : loops_) {
            const LoopPipe& pipe = project_.loopPipes[line.pipe];
            if (surface_.currentY() + mm(kPictureHeightTwips) > kUsableHeightMm)
                surface_.newPage();
            surface_.print(QStringLiteral("  %1, da %2 a %3%4")
                               .arg(line.label, oneLine(project_.NodeTable[std::size_t(pipe.nodeA)].name),
                                    oneLine(project_.NodeTable[std::size_t(pipe.nodeB)].name),
                                    line.closed ? QStringLiteral(" (chiuso)") : QString()));
        }
    }

    const SchemaLayout& board_;
    const Project& project_;
    PrintSurface& surface_;
    std::vector<SchemaLoopLine> loops_;
    int x0_ = 0;
    int x1_ = 0;
    int x2_ = 0;
    double scale_ = 1;
    PrintFont bodyFont_;
};

} // namespace

QString rightInSix(const QString& text) {
    // A number too wide shows as marks, as in the report: cut, it would read as another number.
    if (text.size() > kNumberField && parseUserNumber(text))
        return QString(kNumberField, u'#');
    return cutToFit(text, kNumberField).rightJustified(kNumberField, u' ');
}

QString leftInFifteen(const QString& text) {
    return cutToFit(oneLine(text), kNameField).leftJustified(kNameField, u' ');
}

void PrintSchema(const SchemaLayout& board, const Project& project, PrintSurface& surface) {
    SchemaPage(board, project, surface).print();
}

QString schemaPdfPath(const QString& projectPath) {
    const QFileInfo file(projectPath);
    return file.dir().filePath(file.completeBaseName() + QStringLiteral("-schema.pdf"));
}

} // namespace valmora
