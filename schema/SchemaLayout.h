#pragma once

// The schema's cell board: the whole tree laid out on a grid of cells, each with a picture
// (a piece of pipe, a tee, an elbow, a terminal symbol) and a size label, and three columns
// on the right with the flow, height and type of the terminal that ends each row. Built once
// from the network; refreshes rewrite texts and the terminal columns, never move a cell.
// QtCore only: the window, the printout and the command-line tool share it.

#include "model/Project.h"
#include "model/Verification.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace valmora {

// The ten pictures of the board, by the names the pictures are known by.
enum class SchemaPicture : uint8_t {
    None,
    vert,    // vertical pipe through the whole cell
    destra,  // vertical pipe with a tee leaving to the right
    giu,     // horizontal pipe with a stub down
    orizz,   // horizontal pipe
    curva30, // elbow from the top edge to the right edge
    Idrante, // terminal symbols, by the terminal type's icon index 1 to 4
    Naspo,
    SuperIdr,
    Ugello,
    Rad30x40, // any other icon index
};
constexpr int kSchemaPictureCount = 10;
QString schemaPictureName(SchemaPicture picture);

// What PlaceCell is asked to draw; the numbers are those of the layout's rules.
enum class CellKind : uint8_t { Vertical = 0, TeeRight = 1, TurnDown = 2, BranchEnd = 4, Horizontal = 5 };

// Pictures are 40 x 26 pixels at 96 dots per inch; pipes are 5 pixels thick, horizontal
// ones on pixel rows 18 to 22, vertical ones on pixel columns 30 to 34, so that pieces join
// across cell borders.
constexpr int kPictureWidth = 40;
constexpr int kPictureHeight = 26;
constexpr int kVerticalPipeLeft = 30; // a cell's label stands left of it
constexpr int kTwipsPerPixel = 15;
// A node's cell text: the size, this many blanks, then the node index.
constexpr int kLayoutFillerBlanks = 14;
// The text a diameter step writes: the new label, this many blanks, the node index.
constexpr int kStepFillerBlanks = 8;

inline const QString kFlowHeader = QStringLiteral("L/min");
inline const QString kHeightHeader = QStringLiteral("Alt. m");
inline const QString kTerminalHeader = QStringLiteral(" Terminale");

struct SchemaCell {
    SchemaPicture picture = SchemaPicture::None;
    bool red = false; // the node was closed when the board was laid out, or has been since
    int16_t node = 0; // the node the cell stands for; 0 for none
    QString text;     // the size label, blanks, the node index
    QString warning;  // what the checks say of the section (its velocity), as a sentence
};

struct SchemaRow {
    std::vector<SchemaCell> cells; // the tree columns written so far; the rest are empty
    int16_t rowData = 0;           // the branch end with a terminal on this row, else 0
    int16_t openEnd = 0;           // the branch end without terminal on this row, else 0
    // The three terminal columns.
    QString flow;
    QString height;
    QString type;
    QString warning; // what the checks say of the row's end, sentences one a line
};

constexpr int kLanesPerColumn = 2;
constexpr int kMostLaneColumns = 3;
constexpr int laneColumnsFor(int lines) {
    return lines < kLanesPerColumn * kMostLaneColumns ? (lines + kLanesPerColumn - 1) / kLanesPerColumn
                                                      : kMostLaneColumns;
}

// A loop pipe as the board draws it: a line from the first cell of its node A to the first
// cell of its node B, with its name, size and last flow.
struct SchemaLoopLine {
    std::size_t pipe = 0; // index among the project's loop pipes
    int rowA = 0, colA = 0, rowB = 0, colB = 0;
    QString label;       // "Anello 1 - 3\" - 676 Lt/min"
    bool closed = false; // drawn red, as a closed section's cell
};

class SchemaLayout {
public:
    // Over the project and the results of its last calculation (the flows it shows).
    SchemaLayout(const Project& project, const NetworkResults& results);
    const NetworkResults& results() const { return results_; }

    // Lays out the whole tree; the board keeps the layout until it is thrown away.
    void BuildSchema();
    // Overwrites the start of every node's text with its current size label.
    void RefreshLabels();
    // The three terminal columns of every row and the print button's caption.
    void FillTerminalColumns();
    // What the checks say of every row's end and every section, as the grid windows mark
    // them; nothing without checks (a network the converged solution cannot solve).
    void MarkWarnings(const NetworkVerification* checks);

    // Rows count from 1 (row 0 is the header row); columns from 0.
    int rowCount() const { return int(rows_.size()) - 1; }
    int columnCount() const { return columns_; }
    // The number of tree columns; the terminal columns follow them.
    int treeCols() const { return treeCols_; }
    const SchemaRow& row(int r) const { return rows_[std::size_t(r)]; }
    const SchemaCell& cell(int r, int c) const;
    int16_t nodeAt(int r, int c) const { return cell(r, c).node; }
    const QString& flowCaption() const { return flowCaption_; }

    // The first cell, row by row and left to right, that stands for `node`; false when none.
    bool findNode(int16_t node, int& r, int& c) const;
    // The loop pipes between nodes the board shows, in the project's order.
    std::vector<SchemaLoopLine> loopLines() const;
    // The empty tree columns after the tree's own, where the loop pipes' lines run: each has
    // room for kLanesPerColumn of them side by side; more share the lanes.
    int firstLaneColumn() const { return firstLaneColumn_; }
    int laneColumns() const { return laneColumns_; }
    int laneCount() const { return laneColumns_ * kLanesPerColumn; }
    // Whether the lanes laid out still suit the project's loop pipes (else lay it out again).
    bool lanesStillFit() const { return laneColumnsFor(int(loopLines().size())) == laneColumns_; }

    // After a diameter step: the new label, blanks and the node index.
    void writeSteppedLabel(int r, int c);
    void setRed(int r, int c, bool red);

private:
    SchemaCell& cellToWrite(int r, int c);
    void PlaceCell(int col, CellKind kind, int16_t node);
    void EndBranch();
    void FillVerticals();
    void FillTerminalRow(int r, int16_t node);
    void newRow();
    SchemaPicture branchEndPicture(const Node& end) const;
    QString layoutText(int16_t node) const;
    QString sizeLabel(const Node& node) const;
    QString flowText(int16_t node) const;

    const Project& project_;
    const NetworkResults& results_;
    std::vector<SchemaRow> rows_; // index 0 stands for the header row
    int columns_ = 1;
    int treeCols_ = 0;
    int firstLaneColumn_ = 0;
    int laneColumns_ = 0;
    QString flowCaption_;

    // While BuildSchema runs.
    int currentRow_ = 1;
    int16_t layoutNode_ = 1;
    int16_t layoutCol_ = 0;
    bool verticalMode_ = true;
    int16_t extraStep_ = 0;
};

// The first node of the derived branch that holds `node`'s parent; 0 when that parent lies on
// the trunk.
int16_t BranchStartAbove(const Project& project, int16_t node);
// The grid windows that show the way from the trunk to `node`: the first nodes of the derived
// branches on that way, outermost first ("1", the trunk's window, is always open).
std::vector<int16_t> branchEditorsFor(const Project& project, int16_t node);
// The status line of a node: name, "Metri" for a pipe, then the equivalent length (a KV's KV).
QString nodeStatusText(const Project& project, int16_t node);

} // namespace valmora
