#pragma once

// The grid of the editor, the schema board and the materials window: one fixed header
// row (row 0), data rows from 1, per-cell texts, colours and pictures, one integer of
// data per row, a current cell with the events the editor relies on.
//
// The model holds only what is shown: writing a cell changes one entry, and while
// redraw is suspended nothing repaints until it is resumed.

#include <QAbstractTableModel>
#include <QColor>
#include <QPixmap>
#include <QTableView>

#include <functional>
#include <vector>

class QKeyEvent;

namespace valmora {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Cell {
        QString text;
        QColor background; // invalid: the grid's own
        QColor foreground;
        QPixmap picture;
        QString toolTip; // why the cell is marked; empty for none
        // Set: the picture sits at this place in the cell and the text lies over it (the
        // schema's board); unset: the picture leads the text, as an icon.
        Qt::Alignment pictureAlignment;
        Qt::Alignment alignment; // the text's; unset: the column's
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setColumns(const QStringList& headers, const std::vector<Qt::Alignment>& alignments);
    void setColumnAlignment(int column, Qt::Alignment alignment);
    void setColumnCaption(int column, const QString& caption);
    void setHeaderBackground(const QColor& colour);
    void resizeRows(int dataRows);
    void appendRow(const QStringList& texts);
    void removeDataRow(int dataRow);

    Cell& cell(int dataRow, int column) { return rows_[std::size_t(dataRow)].cells[std::size_t(column)]; }
    const Cell& cell(int dataRow, int column) const {
        return rows_[std::size_t(dataRow)].cells[std::size_t(column)];
    }
    int& rowData(int dataRow) { return rows_[std::size_t(dataRow)].data; }
    int rowData(int dataRow) const { return rows_[std::size_t(dataRow)].data; }

    // Tells the views that cells changed; coalesced while redraw is suspended.
    void cellsChanged(int firstDataRow, int lastDataRow, int firstColumn, int lastColumn);
    void setRedraw(bool on);
    bool redraw() const { return redraw_; }

private:
    struct Row {
        std::vector<Cell> cells;
        int data = 0;
    };
    std::vector<Row> rows_;
    QStringList headers_;
    std::vector<Qt::Alignment> alignments_;
    QColor headerBackground_;
    bool redraw_ = true;
    bool changedWhileSuspended_ = false;
};

class GridControl : public QTableView {
    Q_OBJECT
public:
    explicit GridControl(QWidget* parent = nullptr);

    // "Nome|>Metri |<Out": captions separated by '|', a leading '>' or '<' aligning the column.
    void setFormatString(const QString& format);
    void setColumnWidthTwips(int column, int twips);
    // One column's caption, the cursor and the cells left as they are.
    void setColumnCaption(int column, const QString& caption);
    void setHeaderBackground(const QColor& colour);
    void setVerticalScrollBar(bool shown);

    // Rows counted with the header row, as callers see them.
    int rows() const { return model_->rowCount() + 1; }
    int cols() const { return model_->columnCount(); }
    void setRows(int rows); // 1 leaves the header row only
    void addItem(const QString& tabSeparatedTexts);
    void removeItem(int row);

    QString textMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);
    QColor cellBackColor(int row, int col) const;
    void setCellBackColor(int row, int col, const QColor& colour);
    void setCellForeColor(int row, int col, const QColor& colour);
    void setCellPicture(int row, int col, const QPixmap& picture);
    void setCellPictureAlignment(int row, int col, Qt::Alignment alignment);
    void setCellAlignment(int row, int col, Qt::Alignment alignment);
    void setColumnAlignment(int col, Qt::Alignment alignment);
    void setGridLines(bool shown) { setShowGrid(shown); }
    // The heavy focus rectangle marks the current cell with a thick frame and no highlight,
    // so that a cell's picture stays in view.
    void setFocusRectHeavy(bool heavy);
    bool focusRectHeavy() const { return heavyFocus_; }
    void setRowHeightPixels(int pixels);
    void setHeaderHeightPixels(int pixels);
    void setCellToolTip(int row, int col, const QString& text);
    QString cellToolTip(int row, int col) const;
    bool hasCellPicture(int row, int col) const;
    int rowData(int row) const;
    void setRowData(int row, int value);

    // The current cell as the callers see it: during the leave-cell event it still names
    // the cell being left.
    int row() const { return row_; }
    int col() const { return col_; }
    void setCurrentCell(int row, int col);

    int topRow() const;
    void setTopRow(int row);
    bool rowIsVisible(int row) const;
    // The current cell's rectangle in the grid's coordinates.
    QRect currentCellRect() const;
    // Where a cell stands in the viewport (rows from 1), scrolled as shown; empty for none.
    QRect cellRect(int row, int col) const;
    int rowHeightTwips() const;

    // Suspends repainting while many cells are written; resuming repaints once.
    void setRedraw(bool on);

    // Sees every key before the grid; returns true when it has handled it.
    std::function<bool(QKeyEvent*)> keyPreview;

    // Twips as this grid lays them out: at the screen's resolution, widened in proportion
    // when the grid's font is wider than the font the layouts were drawn for.
    int twipsToPixels(int twips) const;
    int pixelsToTwips(int pixels) const;

    // The grid has no type-ahead search: a typed letter never moves the cursor.
    void keyboardSearch(const QString&) override {}

    // False when the cell's text is wider than its column and shows elided.
    bool textFits(int row, int col) const;

signals:
    void gridClicked();
    void gridDoubleClicked();                        // on a cell only
    void rightClicked(const QPoint& globalPosition); // on a cell, which became current
    void leaveCell();                                // the current cell still names the cell being left
    void rowColChanged();                            // the cursor moved to another cell
    void scrolled();
    void gotFocus();
    void lostFocus();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    QModelIndex indexOf(int row, int col) const { return model_->index(row - 1, col); }

    GridModel* model_;
    bool heavyFocus_ = false;
    int row_ = 0;
    int col_ = 0;
};

} // namespace valmora
