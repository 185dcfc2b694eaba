#pragma once

// The loop pipes drawn over the schema's board: each a dashed line from its node A's cell out
// to its own lane in the empty columns right of the tree, along it, and back into its node B's
// cell, so that it reads as a pipe beside the tree, with its name, size and flow written up its
// lane. It lies over the grid's viewport, lets every click through, and follows the grid as it
// scrolls.

#include "schema/SchemaLayout.h"

#include <QPolygon>
#include <QWidget>

#include <vector>

namespace valmora {

class GridControl;

// The line of a loop pipe between two cells: out of A's pipe (`pipeX` pixels into its cell)
// across to its lane at `laneX`, along it, and into B's pipe.
QPolygon loopRoute(const QRect& cellA, const QRect& cellB, int pipeX, int laneX);

class SchemaLoopOverlay : public QWidget {
public:
    explicit SchemaLoopOverlay(GridControl* grid);

    // The lines, and the board's lanes: `lanes` of them from the left of `firstLaneColumn`.
    void setLines(std::vector<SchemaLoopLine> lines, int firstLaneColumn, int lanes);
    const std::vector<SchemaLoopLine>& lines() const { return lines_; }
    // Lies again over the grid's viewport and repaints: after a scroll, a resize, a refresh.
    void follow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GridControl* grid_;
    std::vector<SchemaLoopLine> lines_;
    int firstLaneColumn_ = 0;
    int lanes_ = 0;
};

} // namespace valmora
