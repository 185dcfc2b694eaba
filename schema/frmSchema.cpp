#include "schema/frmSchema.h"

#include "dialogs/Fine.h"
#include "dialogs/frmLEQ.h"
#include "editor/ChangeLabels.h"
#include "editor/NetworkChecks.h"
#include "editor/NetworkEdits.h"
#include "editor/RingClosing.h"
#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "model/MessageText.h"
#include "platform/GridControl.h"
#include "platform/Interaction.h"
#include "platform/PagePainter.h"
#include "schema/SchemaLoopOverlay.h"
#include "schema/SchemaPictures.h"
#include "schema/SchemaPrint.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace valmora {

namespace {

// Window geometry, in twips as the layout has always been given.
constexpr int kButtonInsetTwips = 36;
constexpr int kFlowColumnTwips = 600;
constexpr int kHeightColumnTwips = 600;
constexpr int kTypeColumnTwips = 2670;
constexpr int kShortGridTwips = 4000;
constexpr int kTallWindowTwips = 4650;
constexpr int kLowestResizableTwips = 750;
constexpr int kBelowGridTwips = 650;
constexpr int kBesideGridTwips = 60;
constexpr int kRowExtraPixels = 1;   // the row is the picture's height and 6 twips
constexpr double kHeaderShare = 0.8; // of the picture's height
constexpr int kFirstRowsAboveSelected = 4;
const QColor kHeaderCyan(0, 255, 255);
const QColor kClosedRed(255, 0, 0);
const QColor kOpenBlack(1, 0, 0);             // colour value 1: black to the eye
const QColor kCheckOrange(255, 170, 60);      // as the grid windows mark what the checks say
const QColor kFastSectionOrange(220, 110, 0); // a text the eye still reads over a white picture
const QString kPdfFilter = QStringLiteral("PDF|*.pdf");
const QString kPickRingCommand = QStringLiteral("Chiudi un anello da qui...");

inline bool inNormalState(const QWidget* frame) {
    return !(frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
}

} // namespace

frmSchema::frmSchema(Workspace& workspace, Interaction& interaction, SchemaHost& host, QWidget* parent)
    : QWidget(parent), workspace_(workspace), project_(workspace.project), results_(workspace.results),
      session_(workspace.session), interaction_(interaction), host_(host), board_(project_, results_) {
    setObjectName(QStringLiteral("frmSchema"));
    setWindowTitle(QStringLiteral("Schema"));
    setProperty("tag", kSchemaTag);
    GFSchema = new GridControl(this);
    GFSchema->setObjectName(QStringLiteral("GFSchema"));
    loopPipes_ = new SchemaLoopOverlay(GFSchema);
    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFrameShape(QFrame::Panel);
    StatusBar1->setFrameShadow(QFrame::Sunken);
    btnPort = new QPushButton(this);
    btnPort->setObjectName(QStringLiteral("btnPort"));
    btnPort->setToolTip(kSchemaPrintToolTip);
    btnPort->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btnPort, &QPushButton::clicked, this, &frmSchema::printSchema);
    connect(btnPort, &QPushButton::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Stampa"), this, &frmSchema::printSchema);
        menu.addAction(QStringLiteral("Esporta PDF"), this, &frmSchema::exportPdf);
        menu.exec(btnPort->mapToGlobal(at));
    });
    GFSchema->keyPreview = [this](QKeyEvent* event) { return keyPreview(event); };
    connect(GFSchema, &GridControl::gridClicked, this, &frmSchema::gridClicked);
    connect(GFSchema, &GridControl::gridDoubleClicked, this, &frmSchema::gridDoubleClicked);
    connect(GFSchema, &GridControl::rightClicked, this, &frmSchema::nodeMenu);
    connect(GFSchema, &GridControl::scrolled, this, &frmSchema::scrollRule);
    load();
}

frmSchema::~frmSchema() {
    GFSchema->disconnect(this);
}

// ---- layout on the grid -----------------------------------------------------------

void frmSchema::load() {
    board_.BuildSchema();
    const qreal density = devicePixelRatioF();
    for (int i = 1; i <= kSchemaPictureCount; ++i)
        pictures_[std::size_t(i)] = schemaPixmap(SchemaPicture(i), density);
    fillGrid();
    GFSchema->setGridLines(false);
    GFSchema->setFocusRectHeavy(true);
    GFSchema->setVerticalScrollBar(true);
    sizeWindow();
}

void frmSchema::fillGrid() {
    const int tree = board_.treeCols();
    QStringList captions;
    for (int c = 0; c < tree; ++c)
        captions << QString();
    captions << u'>' + kFlowHeader << u'>' + kHeightHeader << u'<' + kTerminalHeader;
    GFSchema->setRedraw(false);
    GFSchema->setFormatString(captions.join(u'|'));
    GFSchema->setColumnAlignment(tree + 2, Qt::AlignLeft | Qt::AlignVCenter);
    GFSchema->setHeaderBackground(kHeaderCyan);
    GFSchema->setRowHeightPixels(kPictureHeight + kRowExtraPixels);
    GFSchema->setHeaderHeightPixels(int(kPictureHeight * kHeaderShare));
    for (int c = 0; c < tree; ++c)
        GFSchema->setColumnWidth(c, kPictureWidth);
    GFSchema->setColumnWidthTwips(tree, kFlowColumnTwips);
    GFSchema->setColumnWidthTwips(tree + 1, kHeightColumnTwips);
    GFSchema->setColumnWidthTwips(tree + 2, kTypeColumnTwips);
    GFSchema->setRows(board_.rowCount() + 1);
    for (int r = 1; r <= board_.rowCount(); ++r) {
        GFSchema->setRowData(r, board_.row(r).rowData);
        for (int c = 0; c < tree; ++c) {
            const SchemaCell& cell = board_.cell(r, c);
            if (cell.picture == SchemaPicture::None && cell.text.isEmpty())
                continue;
            GFSchema->setCellPicture(r, c, pictures_[std::size_t(cell.picture)]);
            GFSchema->setCellPictureAlignment(r, c, Qt::AlignHCenter | Qt::AlignBottom);
            GFSchema->setCellAlignment(r, c, Qt::AlignLeft | Qt::AlignTop);
            showCellText(r, c);
        }
    }
    GFSchema->setRedraw(true);
}

void frmSchema::showCellText(int r, int c) {
    const SchemaCell& cell = board_.cell(r, c);
    GFSchema->setTextMatrix(r, c, cell.text);
    if (cell.red)
        GFSchema->setCellForeColor(r, c, kClosedRed);
}

void frmSchema::showTexts() {
    GFSchema->setRedraw(false);
    for (int r = 1; r <= board_.rowCount(); ++r)
        for (int c = 0; c < board_.treeCols(); ++c)
            if (board_.nodeAt(r, c) > 0)
                GFSchema->setTextMatrix(r, c, board_.cell(r, c).text);
    GFSchema->setRedraw(true);
}

void frmSchema::showTerminalColumns() {
    board_.FillTerminalColumns();
    const NetworkChecks* checks = host_.networkChecks();
    board_.MarkWarnings(checks && checks->valid() ? &checks->verification() : nullptr);
    const int tree = board_.treeCols();
    GFSchema->setRedraw(false);
    for (int r = 1; r <= board_.rowCount(); ++r) {
        const SchemaRow& row = board_.row(r);
        GFSchema->setTextMatrix(r, tree, row.flow);
        GFSchema->setTextMatrix(r, tree + 1, row.height);
        GFSchema->setTextMatrix(r, tree + 2, row.type);
        // The grid windows' marks: the row's end by its flow cell, in orange; a fast section
        // by its size label, in orange over its picture.
        GFSchema->setCellBackColor(r, tree, row.warning.isEmpty() ? QColor() : kCheckOrange);
        GFSchema->setCellToolTip(r, tree, row.warning);
        for (int c = 0; c < tree; ++c)
            if (board_.nodeAt(r, c) > 0)
                markSection(r, c);
    }
    GFSchema->setRedraw(true);
    btnPort->setText(board_.flowCaption());
    loopPipes_->setLines(board_.loopLines(), board_.firstLaneColumn(), board_.laneCount());
}

void frmSchema::markSection(int r, int c) {
    const SchemaCell& cell = board_.cell(r, c);
    GFSchema->setCellForeColor(r, c,
                               !cell.warning.isEmpty() ? kFastSectionOrange
                               : cell.red              ? kClosedRed
                                                       : kOpenBlack);
    GFSchema->setCellToolTip(r, c, cell.warning);
}

void frmSchema::sizeWindow() {
    const int tree = board_.treeCols();
    int columns = 0;
    for (int c = 0; c < GFSchema->cols(); ++c)
        columns += GFSchema->columnWidth(c);
    const int frame = 2 * GFSchema->frameWidth();
    gridWidth_ = columns + frame + GFSchema->verticalScrollBar()->sizeHint().width();
    const int rowsHeight = GFSchema->horizontalHeader()->height() +
                           (board_.rowCount()) * (kPictureHeight + kRowExtraPixels) + frame;
    const int shortGrid = GFSchema->twipsToPixels(kShortGridTwips);
    gridHeight_ = std::min(rowsHeight, shortGrid);
    // The window's height counts its caption, which is the frame's own here. A short grid
    // keeps room for every row: the room below the grid is the resize rule's, so the grid
    // that rule gives is exactly as tall as its rows.
    const int height = rowsHeight < shortGrid
                           ? rowsHeight + GFSchema->twipsToPixels(kBelowGridTwips) - captionHeight()
                           : GFSchema->twipsToPixels(kTallWindowTwips) - captionHeight();
    const QSize size(gridWidth_ + GFSchema->twipsToPixels(kBesideGridTwips), height);
    windowSize_ = size;
    btnPort->setGeometry(GFSchema->twipsToPixels(kButtonInsetTwips) / 2,
                         GFSchema->twipsToPixels(kButtonInsetTwips) / 2, tree * kPictureWidth,
                         int(kPictureHeight * kHeaderShare));
    if (auto* frameWindow = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        if (!watchingFrame_) {
            watchingFrame_ = true;
            frameWindow->installEventFilter(this);
        }
        if (inNormalState(frameWindow))
            frameWindow->resize(frameWindow->size() - QWidget::size() + size);
    } else {
        resize(size);
    }
    placeControls();
}

int frmSchema::captionHeight() const {
    return GFSchema->twipsToPixels(kBelowGridTwips) - StatusBar1->sizeHint().height();
}

void frmSchema::placeControls() {
    const int statusHeight = StatusBar1->sizeHint().height();
    if (height() + captionHeight() > GFSchema->twipsToPixels(kLowestResizableTwips))
        gridHeight_ = height() + captionHeight() - GFSchema->twipsToPixels(kBelowGridTwips);
    GFSchema->setGeometry(0, 0, gridWidth_, std::max(gridHeight_, 0));
    StatusBar1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    btnPort->raise();
}

void frmSchema::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // In its frame at last: the frame takes the window's size.
    if (!shown_) {
        shown_ = true;
        sizeWindow();
    }
}

void frmSchema::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
    scrollRule();
}

bool frmSchema::eventFilter(QObject* watched, QEvent* event) {
    // In the normal state the window keeps the grid's width: only its height can change.
    if (watched == parentWidget() && event->type() == QEvent::Resize && inNormalState(parentWidget())) {
        const int wanted = gridWidth_ + GFSchema->twipsToPixels(kBesideGridTwips);
        if (width() != wanted)
            parentWidget()->resize(parentWidget()->width() - width() + wanted, parentWidget()->height());
    }
    return QWidget::eventFilter(watched, event);
}

// ---- activation and refresh -------------------------------------------------------

void frmSchema::activated() {
    SelectNode(session_.focusNode);
    host_.setSchemaActive(true);
    aggiorna();
    scrollRule();
}

void frmSchema::closeEvent(QCloseEvent* event) {
    host_.setSchemaActive(false);
    host_.schemaClosed();
    event->accept();
}

void frmSchema::aggiorna(int16_t) {
    recalculate();
    if (!board_.lanesStillFit())
        load(); // a loop pipe came or went: room for the lanes again
    board_.RefreshLabels();
    showTexts();
    showTerminalColumns();
    ShowNodeStatus(currentIsTreeCell() ? currentNode() : 0);
}

void frmSchema::recalculate() {
    const CalculationOutcome outcome = Calculate(project_, results_);
    if (!outcome.ok)
        interaction_.inform(outcome.message, QString(), MessageIcon::Exclamation);
}

void frmSchema::chiudi() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

bool frmSchema::currentIsTreeCell() const {
    return GFSchema->row() >= 1 && GFSchema->col() < board_.treeCols();
}

int16_t frmSchema::currentNode() const {
    return currentIsTreeCell() ? board_.nodeAt(GFSchema->row(), GFSchema->col()) : 0;
}

void frmSchema::ShowNodeStatus(int16_t node) {
    StatusBar1->setText(nodeStatusText(project_, node));
}

void frmSchema::SelectNode(int16_t node) {
    int r = 0;
    int c = 0;
    if (!board_.findNode(node, r, c))
        return;
    GFSchema->setCurrentCell(r, c);
    GFSchema->setTopRow(r < kFirstRowsAboveSelected + 1 ? 1 : r - kFirstRowsAboveSelected);
    ShowNodeStatus(node);
}

void frmSchema::scrollRule() {
    loopPipes_->follow();
    host_.setDiameterButtonsEnabled(GFSchema->row() >= 1 && GFSchema->rowIsVisible(GFSchema->row()));
}

// ---- events -----------------------------------------------------------------------

void frmSchema::gridClicked() {
    GFSchema->setCurrentCell(GFSchema->row(), GFSchema->col()); // the selection is the current cell
    if (ringFrom_ > 0 && currentIsTreeCell() && currentNode() > 0) {
        closeRingTo(currentNode());
        return;
    }
    if (currentIsTreeCell())
        ShowNodeStatus(currentNode());
    scrollRule();
}

void frmSchema::nodeMenu(const QPoint& at) {
    if (!currentIsTreeCell() || currentNode() <= 0)
        return;
    QMenu menu(this);
    QAction* ring = menu.addAction(kPickRingCommand);
    ring->setObjectName(QStringLiteral("mnuSchemaAnello"));
    connect(ring, &QAction::triggered, this, [this] { startRingPick(currentNode()); });
    menu.exec(at);
}

void frmSchema::startRingPick(int16_t from) {
    ringFrom_ = from;
    StatusBar1->setText(QStringLiteral("Clic sul nodo a cui chiudere l'anello da %1 (Esc annulla)")
                            .arg(oneLine(project_.NodeTable[std::size_t(from)].name)));
}

void frmSchema::closeRingTo(int16_t to) {
    const int16_t from = ringFrom_;
    ringFrom_ = 0;
    if (!closeRingBetween(project_, interaction_, from, to)) {
        ShowNodeStatus(currentNode());
        return;
    }
    host_.recordChange(change_label::kCloseRing, from);
    aggiorna(); // the board makes room for the new line
    SelectNode(to);
    host_.schemaChangedNetwork();
}

void frmSchema::gridDoubleClicked() {
    if (currentIsTreeCell()) {
        if (const int16_t n = currentNode(); n > 0)
            OpenBranchEditors(n);
        return;
    }
    openTerminalOfCurrentRow();
}

bool frmSchema::keyPreview(QKeyEvent* event) {
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    switch (event->key()) {
    case Qt::Key_Plus:
        if (!keypad)
            return false;
        incphi();
        return true;
    case Qt::Key_Minus:
        if (!keypad)
            return false;
        decphi();
        return true;
    case Qt::Key_F12:
        GFSchema->setCurrentCell(GFSchema->row(), board_.treeCols());
        openTerminalOfCurrentRow();
        return true;
    case Qt::Key_F10:
        chiudi();
        return true;
    case Qt::Key_Escape:
        if (ringFrom_ <= 0)
            return false;
        ringFrom_ = 0;
        ShowNodeStatus(currentIsTreeCell() ? currentNode() : 0);
        return true;
    default:
        return false;
    }
}

void frmSchema::openTerminalOfCurrentRow() {
    if (GFSchema->row() < 1)
        return;
    const auto n = static_cast<int16_t>(GFSchema->rowData(GFSchema->row()));
    if (n <= 0 || project_.NodeTable[std::size_t(n)].next != kEndWithTerminal)
        return;
    const Node& end = project_.NodeTable[std::size_t(n)];
    const Terminal* terminal = project_.findTerminal(end);
    if (!terminal || !project_.findTerminalType(*terminal))
        return; // nothing the dialog could edit
    session_.terminalNode = n;
    Fine dialog(workspace_, interaction_, pressureLeftText(project_, results_, n), this);
    interaction_.runDialog(dialog);
    recalculate();
    showTerminalColumns();
    host_.schemaChangedNetwork();
    host_.recordChange(change_label::kTerminal, n);
    GFSchema->setFocus();
}

void frmSchema::networkRestored() {
    for (int r = 1; r <= board_.rowCount(); ++r)
        for (int c = 0; c < board_.treeCols(); ++c)
            if (const int16_t n = board_.nodeAt(r, c); n > 0)
                board_.setRed(r, c, project_.NodeTable[std::size_t(n)].closed);
    // The caller has calculated: the sizes' labels, the results and the marks.
    if (!board_.lanesStillFit())
        load();
    board_.RefreshLabels();
    showTexts();
    showTerminalColumns();
    ShowNodeStatus(currentIsTreeCell() ? currentNode() : 0);
}

// ---- commands ---------------------------------------------------------------------

void frmSchema::StepDiameter(bool up) {
    const int16_t n = currentNode();
    if (n <= 0)
        return;
    if (project_.NodeTable[std::size_t(n)].isKvElement()) {
        interaction_.inform(QStringLiteral("Questo non è un tubo ma un KV !"));
    } else if (edits::stepDiameter(project_, n, up)) {
        board_.writeSteppedLabel(GFSchema->row(), GFSchema->col());
        GFSchema->setTextMatrix(GFSchema->row(), GFSchema->col(),
                                board_.cell(GFSchema->row(), GFSchema->col()).text);
        quickUpdate(n);
        host_.recordChange(change_label::kDiameter, n);
    }
    GFSchema->setFocus();
}

void frmSchema::quickUpdate(int16_t changed) {
    ResistanceUp(project_, results_, changed);
    const CalculationOutcome outcome = FlowPass(project_, results_);
    if (!outcome.ok)
        interaction_.inform(outcome.message, QString(), MessageIcon::Exclamation);
    showTerminalColumns();
    host_.schemaChangedNetwork();
}

void frmSchema::Lok() {
    const int16_t n = currentNode();
    if (n <= 0)
        return;
    Node& node = project_.NodeTable[std::size_t(n)];
    node.closed = !node.closed;
    board_.setRed(GFSchema->row(), GFSchema->col(), node.closed);
    GFSchema->setCellForeColor(GFSchema->row(), GFSchema->col(), node.closed ? kClosedRed : kOpenBlack);
    aggiorna(); // recalculates the whole network and reports what it refuses
    host_.schemaChangedNetwork();
    host_.recordChange(node.closed ? change_label::kClosing : change_label::kOpening, n);
    GFSchema->setFocus();
}

void frmSchema::LunEq() {
    const int16_t n = currentNode();
    if (n <= 0)
        return;
    Node& node = project_.NodeTable[std::size_t(n)];
    if (node.seriesIndex < 1) {
        interaction_.inform(QStringLiteral("Non è un tubo, è un KV !"));
    } else if (project_.findDiameter(node)) {
        loadEditNode(project_, results_, session_, n);
        frmLEQ dialog(workspace_, interaction_, this);
        interaction_.runDialog(dialog);
        if (session_.editNode.virtualLength != node.virtualLength) {
            node.virtualLength = session_.editNode.virtualLength;
            quickUpdate(n);
            host_.recordChange(change_label::kEquivalentLength, n);
        }
    }
    GFSchema->setFocus();
}

void frmSchema::OpenBranchEditors(int16_t node) {
    host_.showBranchEditors(branchEditorsFor(project_, node));
}

// ---- printing ---------------------------------------------------------------------

void frmSchema::printSchema() {
    // The printer of the session, as the report's "Opzioni stampante" chose it.
    QPrinter& printer = host_.sessionPrinter();
    PagedOutcome printed;
    if (!printer.isValid() || printer.printerName().isEmpty()) {
        printed.ok = false;
        printed.reason = QStringLiteral("nessuna stampante disponibile: lo schema si può esportare in PDF");
    } else {
        printer.setDocName(QStringLiteral("Schema - ") + QFileInfo(project_.projectPath).fileName());
        printed = printOn(
            printer, [this](PrintSurface& surface) { PrintSchema(board_, project_, surface); },
            schemaPicturePainter());
    }
    if (!printed.ok)
        interaction_.inform(kSchemaPrintError, QString(), MessageIcon::Exclamation, printed.reason);
    else
        interaction_.inform(kSchemaPrintedMessage + printed.deviceName);
}

void frmSchema::exportPdf() {
    QString path = schemaPdfPath(project_.projectPath);
    if (project_.projectPath == kNewProjectPath) {
        // A project never saved has no folder of its own: ask where.
        path = interaction_.saveFileName(kPdfFilter, path);
        if (path.isEmpty())
            return;
    } else if (QFileInfo::exists(path) &&
               interaction_.message({QStringLiteral("Il file %1 esiste già. Sovrascriverlo?").arg(path),
                                     QStringLiteral("Schema"), MessageButtons::YesNo,
                                     MessageIcon::Question}) != Answer::Yes) {
        return; // as the report's export: an earlier PDF is replaced only when the designer says so
    }
    const WriteRequest request = outputOf(project_.projectPath);
    const ReportData& report = project_.reportData;
    const PagedOutcome written = writePdf(
        path,
        projectDocumentInfo(QStringLiteral("Schema"), project_.projectPath, report.progettista,
                            report.oggetto, report.committente, report.ubicazione),
        [this](PrintSurface& surface) { PrintSchema(board_, project_, surface); }, schemaPicturePainter(),
        request);
    if (!written.ok)
        interaction_.inform(kSchemaPrintError, QString(), MessageIcon::Exclamation, written.reason);
    else
        interaction_.inform(QStringLiteral("Esportato schema in ") + QDir::toNativeSeparators(path));
}

} // namespace valmora
