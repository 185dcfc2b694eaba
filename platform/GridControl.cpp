#include "platform/GridControl.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

namespace valmora {

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kFallbackDpi = 96;
constexpr int kRowPadding = 4;  // pixels above and below the text
constexpr int kCellPadding = 2; // pixels left and right of the text, as the style sheet sets
// A caption's room beyond its text: the header's padding on both sides and its frame.
constexpr int kCaptionMargin = 2 * kCellPadding + 4;
// Average character width, in pixels at 96 dpi, of the font the twip layouts were drawn for.
constexpr double kDesignCharWidth = 4.5;
constexpr double kLargestWidening = 2.0;

// A cell shows at most this many characters: a name of megabytes read from a damaged
// file must not stall every repaint.
constexpr qsizetype kLongestShownText = 256;

QString shownPart(const QString& text) {
    return text.size() <= kLongestShownText ? text : text.left(kLongestShownText) + QStringLiteral("…");
}

// Blanks that pad a text (a series code, a derivation's name) are the first thing to go
// when it does not fit its cell; only then is the text elided.
QString shownText(const QString& text, const QFontMetrics& metrics, int room) {
    if (metrics.horizontalAdvance(text) <= room)
        return text;
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    return text.left(end);
}

constexpr int kHeavyFocusWidth = 2;

class GridItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto* grid = static_cast<const GridControl*>(parent());
        const auto* model = static_cast<const GridModel*>(index.model());
        const GridModel::Cell& cell = model->cell(index.row(), index.column());
        QStyleOptionViewItem plain(option);
        const bool current = option.state.testFlag(QStyle::State_HasFocus) ||
                             (grid->focusRectHeavy() && grid->currentIndex() == index);
        if (grid->focusRectHeavy())
            plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (cell.pictureAlignment)
            paintBoardCell(painter, plain, index, cell);
        else
            QStyledItemDelegate::paint(painter, plain, index);
        if (grid->focusRectHeavy() && current) {
            painter->save();
            painter->setPen(QPen(option.palette.color(QPalette::Text), kHeavyFocusWidth));
            painter->setBrush(Qt::NoBrush);
            const int inset = kHeavyFocusWidth / 2;
            painter->drawRect(option.rect.adjusted(inset, inset, -inset, -inset));
            painter->restore();
        }
    }

protected:
    // A picture at its place in the cell, the text over it, cut at the cell's border.
    static void paintBoardCell(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index, const GridModel::Cell& cell) {
        painter->save();
        painter->setClipRect(option.rect);
        painter->fillRect(option.rect,
                          cell.background.isValid() ? cell.background : option.palette.color(QPalette::Base));
        const QSize size = cell.picture.deviceIndependentSize().toSize();
        painter->drawPixmap(QStyle::alignedRect(option.direction, cell.pictureAlignment, size, option.rect),
                            cell.picture);
        const Qt::Alignment alignment =
            cell.alignment ? cell.alignment : index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        painter->setPen(cell.foreground.isValid() ? cell.foreground : option.palette.color(QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(kCellPadding, 0, -kCellPadding, 0), int(alignment), cell.text);
        painter->restore();
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const bool picture = option->features.testFlag(QStyleOptionViewItem::HasDecoration);
        const int room = option->rect.width() - 2 * kCellPadding -
                         (picture ? option->decorationSize.width() + kCellPadding : 0);
        option->text = shownText(option->text, option->fontMetrics, room);
        // A text cut to its cell always ends with the ellipsis, so that it never reads as
        // another valid value; only the board's pictured cells cut at the border.
        option->textElideMode = Qt::ElideRight;
    }
};

int screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? int(screen->logicalDotsPerInch()) : kFallbackDpi;
}

} // namespace

// ---- model ------------------------------------------------------------------------

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(headers_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const Cell& c = cell(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return shownPart(c.text);
    case Qt::BackgroundRole:
        return c.background.isValid() ? QVariant(c.background) : QVariant();
    case Qt::ForegroundRole:
        return c.foreground.isValid() ? QVariant(c.foreground) : QVariant();
    case Qt::DecorationRole:
        return c.picture.isNull() ? QVariant() : QVariant(c.picture);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(c.alignment ? c.alignment
                                               : alignments_[std::size_t(index.column())] | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size())
        return {};
    if (role == Qt::DisplayRole)
        return headers_[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignments_[std::size_t(section)] | Qt::AlignVCenter);
    if (role == Qt::BackgroundRole && headerBackground_.isValid())
        return headerBackground_;
    return {};
}

void GridModel::setColumns(const QStringList& headers, const std::vector<Qt::Alignment>& alignments) {
    beginResetModel();
    headers_ = headers;
    alignments_ = alignments;
    for (Row& row : rows_)
        row.cells.resize(std::size_t(headers.size()));
    endResetModel();
}

void GridModel::setColumnAlignment(int column, Qt::Alignment alignment) {
    alignments_[std::size_t(column)] = alignment;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void GridModel::setColumnCaption(int column, const QString& caption) {
    if (column < 0 || column >= headers_.size() || headers_[column] == caption)
        return;
    headers_[column] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void GridModel::setHeaderBackground(const QColor& colour) {
    headerBackground_ = colour;
    emit headerDataChanged(Qt::Horizontal, 0, int(headers_.size()) - 1);
}

void GridModel::resizeRows(int dataRows) {
    beginResetModel();
    rows_.resize(std::size_t(std::max(0, dataRows)));
    for (Row& row : rows_)
        row.cells.resize(std::size_t(headers_.size()));
    endResetModel();
}

void GridModel::appendRow(const QStringList& texts) {
    const int at = int(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    Row row;
    row.cells.resize(std::size_t(headers_.size()));
    for (int c = 0; c < texts.size() && c < headers_.size(); ++c)
        row.cells[std::size_t(c)].text = texts[c];
    rows_.push_back(std::move(row));
    endInsertRows();
}

void GridModel::removeDataRow(int dataRow) {
    beginRemoveRows(QModelIndex(), dataRow, dataRow);
    rows_.erase(rows_.begin() + dataRow);
    endRemoveRows();
}

void GridModel::cellsChanged(int firstDataRow, int lastDataRow, int firstColumn, int lastColumn) {
    if (!redraw_) {
        changedWhileSuspended_ = true;
        return;
    }
    emit dataChanged(index(firstDataRow, firstColumn), index(lastDataRow, lastColumn));
}

void GridModel::setRedraw(bool on) {
    redraw_ = on;
    if (on && changedWhileSuspended_ && !rows_.empty() && !headers_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, int(headers_.size()) - 1));
    if (on)
        changedWhileSuspended_ = false;
}

// ---- control ----------------------------------------------------------------------

GridControl::GridControl(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
    setModel(model_);
    setItemDelegate(new GridItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    // A text wider than its cell ends in "…" rather than losing digits at the border; the
    // whole text shows as the cell's tooltip.
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2 * kRowPadding);
    // The designer may widen a column whose texts are cut, as the grids always allowed.
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    // Narrow columns: keep the cell margins small so that their text fits.
    setStyleSheet(QStringLiteral("QTableView::item { padding: 0px %1px; }").arg(kCellPadding));
    horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 0px 2px; }"));
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &GridControl::scrolled);
}

namespace {

double widening(const QFontMetrics& metrics) {
    const double ratio = metrics.averageCharWidth() * double(kFallbackDpi) / screenDpi() / kDesignCharWidth;
    return std::clamp(ratio, 1.0, kLargestWidening);
}

} // namespace

int GridControl::twipsToPixels(int twips) const {
    return int(twips * widening(fontMetrics()) * screenDpi() / kTwipsPerInch);
}

int GridControl::pixelsToTwips(int pixels) const {
    return int(pixels * kTwipsPerInch / (widening(fontMetrics()) * screenDpi()));
}

void GridControl::setFormatString(const QString& format) {
    QStringList headers;
    std::vector<Qt::Alignment> alignments;
    for (QString caption : format.split(u'|')) {
        Qt::Alignment alignment = Qt::AlignLeft;
        if (caption.startsWith(u'>')) {
            alignment = Qt::AlignRight;
            caption.remove(0, 1);
        } else if (caption.startsWith(u'<')) {
            caption.remove(0, 1);
        }
        headers << caption;
        alignments.push_back(alignment);
    }
    model_->setColumns(headers, alignments);
    row_ = col_ = 0;
}

void GridControl::setColumnCaption(int column, const QString& caption) {
    model_->setColumnCaption(column, caption);
    // A longer caption (a unit beside it) widens its column rather than losing its start.
    const int needed = horizontalHeader()->fontMetrics().horizontalAdvance(caption) + kCaptionMargin;
    if (columnWidth(column) < needed)
        setColumnWidth(column, needed);
}

void GridControl::setColumnWidthTwips(int column, int twips) {
    setColumnWidth(column, twipsToPixels(twips));
}

void GridControl::setHeaderBackground(const QColor& colour) {
    model_->setHeaderBackground(colour);
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { padding: 0px 2px; background-color: %1; }")
            .arg(colour.name()));
}

void GridControl::setVerticalScrollBar(bool shown) {
    setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void GridControl::setRows(int rows) {
    model_->resizeRows(rows - 1);
    row_ = col_ = 0;
}

void GridControl::addItem(const QString& tabSeparatedTexts) {
    model_->appendRow(tabSeparatedTexts.split(u'\t'));
}

void GridControl::removeItem(int row) {
    model_->removeDataRow(row - 1);
    if (row_ > rows() - 1)
        row_ = rows() - 1;
}

QString GridControl::textMatrix(int row, int col) const {
    if (row == 0)
        return model_->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
    return model_->cell(row - 1, col).text;
}

void GridControl::setTextMatrix(int row, int col, const QString& text) {
    QString& current = model_->cell(row - 1, col).text;
    if (current == text)
        return;
    current = text;
    model_->cellsChanged(row - 1, row - 1, col, col);
}

QColor GridControl::cellBackColor(int row, int col) const {
    return model_->cell(row - 1, col).background;
}

QString GridControl::cellToolTip(int row, int col) const {
    return model_->cell(row - 1, col).toolTip;
}

void GridControl::setCellBackColor(int row, int col, const QColor& colour) {
    model_->cell(row - 1, col).background = colour;
    model_->cellsChanged(row - 1, row - 1, col, col);
}

void GridControl::setCellForeColor(int row, int col, const QColor& colour) {
    model_->cell(row - 1, col).foreground = colour;
    model_->cellsChanged(row - 1, row - 1, col, col);
}

void GridControl::setCellPicture(int row, int col, const QPixmap& picture) {
    model_->cell(row - 1, col).picture = picture;
    model_->cellsChanged(row - 1, row - 1, col, col);
}

void GridControl::setCellPictureAlignment(int row, int col, Qt::Alignment alignment) {
    model_->cell(row - 1, col).pictureAlignment = alignment;
    model_->cellsChanged(row - 1, row - 1, col, col);
}

void GridControl::setCellAlignment(int row, int col, Qt::Alignment alignment) {
    model_->cell(row - 1, col).alignment = alignment;
    model_->cellsChanged(row - 1, row - 1, col, col);
}

void GridControl::setColumnAlignment(int col, Qt::Alignment alignment) {
    model_->setColumnAlignment(col, alignment);
}

void GridControl::setFocusRectHeavy(bool heavy) {
    heavyFocus_ = heavy;
    viewport()->update();
}

void GridControl::setRowHeightPixels(int pixels) {
    verticalHeader()->setDefaultSectionSize(pixels);
}

void GridControl::setHeaderHeightPixels(int pixels) {
    horizontalHeader()->setFixedHeight(pixels);
}

void GridControl::setCellToolTip(int row, int col, const QString& text) {
    model_->cell(row - 1, col).toolTip = text;
}

bool GridControl::hasCellPicture(int row, int col) const {
    return !model_->cell(row - 1, col).picture.isNull();
}

int GridControl::rowData(int row) const {
    return model_->rowData(row - 1);
}

void GridControl::setRowData(int row, int value) {
    model_->rowData(row - 1) = value;
}

void GridControl::setCurrentCell(int row, int col) {
    if (row < 1 || row >= rows() || col < 0 || col >= cols())
        return;
    setCurrentIndex(indexOf(row, col));
}

int GridControl::topRow() const {
    const int first = rowAt(0);
    return first < 0 ? 1 : first + 1;
}

void GridControl::setTopRow(int row) {
    if (row >= 1 && row < rows())
        scrollTo(indexOf(row, 0), QAbstractItemView::PositionAtTop);
}

bool GridControl::rowIsVisible(int row) const {
    if (row < 1 || row >= rows())
        return false;
    if (!viewport()->isVisible())
        return true; // not laid out yet: every row counts as in view
    const int top = rowViewportPosition(row - 1);
    return top >= 0 && top + rowHeight(row - 1) <= viewport()->height();
}

QRect GridControl::currentCellRect() const {
    if (row_ < 1)
        return {};
    return visualRect(indexOf(row_, col_)).translated(viewport()->geometry().topLeft());
}

QRect GridControl::cellRect(int row, int col) const {
    if (row < 1 || row >= rows() || col < 0 || col >= cols())
        return {};
    return visualRect(indexOf(row, col));
}

int GridControl::rowHeightTwips() const {
    return pixelsToTwips(verticalHeader()->defaultSectionSize());
}

void GridControl::setRedraw(bool on) {
    model_->setRedraw(on);
    viewport()->setUpdatesEnabled(on);
    if (on)
        viewport()->update();
}

void GridControl::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!current.isValid())
        return;
    const int newRow = current.row() + 1;
    const int newCol = current.column();
    if (newRow == row_ && newCol == col_)
        return;
    if (row_ > 0)
        emit leaveCell();
    row_ = newRow;
    col_ = newCol;
    emit rowColChanged();
}

void GridControl::keyPressEvent(QKeyEvent* event) {
    if (keyPreview && keyPreview(event)) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridControl::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    emit gotFocus();
}

void GridControl::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    emit lostFocus();
}

void GridControl::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    emit gridClicked();
}

void GridControl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    // Only a cell has an action: the empty area below the rows has none.
    if (indexAt(event->position().toPoint()).isValid())
        emit gridDoubleClicked();
}

void GridControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid()) {
            setCurrentIndex(index);
            emit rightClicked(event->globalPosition().toPoint());
        }
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

bool GridControl::textFits(int row, int col) const {
    const GridModel::Cell& c = model_->cell(row - 1, col);
    const int pictureWidth = c.picture.isNull() ? 0 : c.picture.width() + kCellPadding;
    const int room = columnWidth(col) - 2 * kCellPadding - pictureWidth;
    return fontMetrics().horizontalAdvance(shownText(shownPart(c.text), fontMetrics(), room)) <= room;
}

bool GridControl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        QStringList tip;
        if (index.isValid()) {
            const GridModel::Cell& c = model_->cell(index.row(), index.column());
            if (!textFits(index.row() + 1, index.column()))
                tip << shownPart(c.text);
            if (!c.toolTip.isEmpty())
                tip << c.toolTip;
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip.join(u'\n'), viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}

} // namespace valmora
