#include "schema/SchemaLoopOverlay.h"

#include "platform/GridControl.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace valmora {

namespace {

const QColor kLoopBlue(0, 70, 200);
const QColor kClosedRed(255, 0, 0); // as a closed section's cell
constexpr int kPenWidth = 2;
constexpr int kLaneInset = 3; // pixels from a lane's left to its line; the label follows

} // namespace

QPolygon loopRoute(const QRect& cellA, const QRect& cellB, int pipeX, int laneX) {
    const QPoint a(cellA.left() + pipeX, cellA.center().y());
    const QPoint b(cellB.left() + pipeX, cellB.center().y());
    return QPolygon({a, QPoint(laneX, a.y()), QPoint(laneX, b.y()), b});
}

SchemaLoopOverlay::SchemaLoopOverlay(GridControl* grid) : QWidget(grid), grid_(grid) {
    setObjectName(QStringLiteral("schemaLoopPipes"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    follow();
}

void SchemaLoopOverlay::setLines(std::vector<SchemaLoopLine> lines, int firstLaneColumn, int lanes) {
    lines_ = std::move(lines);
    firstLaneColumn_ = firstLaneColumn;
    lanes_ = lanes;
    follow();
}

void SchemaLoopOverlay::follow() {
    setGeometry(grid_->viewport()->geometry());
    setVisible(!lines_.empty() && lanes_ > 0);
    raise();
    update();
}

void SchemaLoopOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    for (std::size_t k = 0; k < lines_.size(); ++k) {
        const SchemaLoopLine& line = lines_[k];
        const QRect a = grid_->cellRect(line.rowA, line.colA);
        const QRect b = grid_->cellRect(line.rowB, line.colB);
        const int lane = int(k) % lanes_;
        const QRect laneCell = grid_->cellRect(line.rowA, firstLaneColumn_ + lane / kLanesPerColumn);
        if (a.isEmpty() || b.isEmpty() || laneCell.isEmpty())
            continue;
        const int laneWidth = laneCell.width() / kLanesPerColumn;
        const int laneX = laneCell.left() + (lane % kLanesPerColumn) * laneWidth + kLaneInset;
        // The vertical pipe of a picture, scaled to the cell as drawn.
        const int pipeX = a.width() * (kVerticalPipeLeft + 2) / kPictureWidth;
        const QPolygon route = loopRoute(a, b, pipeX, laneX);
        const QColor colour = line.closed ? kClosedRed : kLoopBlue;
        painter.setPen(QPen(colour, kPenWidth, Qt::DashLine));
        painter.drawPolyline(route);
        // The label up the lane, right of the line, as long as the lane runs.
        const int top = std::min(route[1].y(), route[2].y()), bottom = std::max(route[1].y(), route[2].y());
        const QString label = metrics.elidedText(line.label, Qt::ElideRight, bottom - top);
        painter.save();
        painter.translate(laneX + kPenWidth + 1, (top + bottom) / 2 + metrics.horizontalAdvance(label) / 2);
        painter.rotate(-90);
        painter.setPen(colour);
        painter.drawText(0, metrics.ascent(), label);
        painter.restore();
    }
}

} // namespace valmora
