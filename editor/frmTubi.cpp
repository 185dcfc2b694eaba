#include "editor/frmTubi.h"

#include "dialogs/Fine.h"
#include "dialogs/frmLEQ.h"
#include "editor/ChangeLabels.h"
#include "editor/GridColours.h"
#include "editor/NetworkChecks.h"
#include "editor/NetworkEdits.h"
#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/DialogRules.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

namespace valmora {

namespace {

using namespace grid_column;

constexpr std::array<int, kCount> kColumnWidthsTwips = {1000, 500, 500, 500, 500, 800, 600, 600, 600, 600};
constexpr int kGridWidthTwips = 6532;
constexpr int kWindowExtraWidthTwips = 100;
constexpr int kRowExtraTwips = 12;
constexpr int kGridExtraTwips = 72;
constexpr int kTallestGridTwips = 4000;
constexpr int kTallWindowTwips = 4600;
constexpr int kWindowExtraHeightTwips = 700;
const QString kKvLength = QStringLiteral(">< ");
const QString kDerivationGap = QStringLiteral("      ");
const QString kUnknown = QStringLiteral("?");
constexpr qsizetype kLongestCaptionName = 200;

enum IconNumber { kIconBlank = 0, kIconUp = 1, kIconRight = 2, kIconDown = 3, kIconTerminal = 4 };

} // namespace

frmTubi::frmTubi(Workspace& workspace, Interaction& interaction, GridWindowHost& host, const GridIcons& icons,
                 int16_t firstNode, QWidget* parent)
    : QWidget(parent), workspace_(workspace), project_(workspace.project), results_(workspace.results),
      session_(workspace.session), interaction_(interaction), host_(host), icons_(icons),
      firstNode_(firstNode) {
    setObjectName(QStringLiteral("frmTubi"));
    Griglia = new GridControl(this);
    Griglia->setObjectName(QStringLiteral("Griglia"));
    Griglia->setFormatString(kGridFormat);
    for (int c = 0; c < kCount; ++c)
        Griglia->setColumnWidthTwips(c, kColumnWidthsTwips[std::size_t(c)]);
    Griglia->setMinimumWidth(Griglia->twipsToPixels(kGridWidthTwips));
    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFrameShape(QFrame::Panel);
    StatusBar1->setFrameShadow(QFrame::Sunken);
    StatusBar1->setCursor(Qt::PointingHandCursor);
    StatusBar1->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Griglia, 1);
    layout->addWidget(StatusBar1);
    setWindowTitle(caption());
    setProperty("tag", tag());

    Txtedit = new QLineEdit(this);
    Txtedit->setObjectName(QStringLiteral("Txtedit"));
    Txtedit->hide();
    Txtedit->installEventFilter(this);
    Griglia->keyPreview = [this](QKeyEvent* event) { return gridKey(event); };
    connect(Griglia, &GridControl::leaveCell, this, &frmTubi::commitEdit);
    connect(Griglia, &GridControl::gridDoubleClicked, this, &frmTubi::cellAction);
    connect(Griglia, &GridControl::rightClicked, this, [this](const QPoint& at) { rowMenu()->popup(at); });

    connect(Griglia, &GridControl::rowColChanged, this, &frmTubi::cursorMoved);
    connect(Griglia, &GridControl::scrolled, this, &frmTubi::updateToolbar);
    // A scroll bar while the grid has the focus (shown when the rows overflow), none otherwise.
    connect(Griglia, &GridControl::gotFocus, this, [this] { Griglia->setVerticalScrollBar(true); });
    connect(Griglia, &GridControl::lostFocus, this, [this] {
        Griglia->setVerticalScrollBar(false);
        if (Griglia->row() >= 1)
            session_.focusNode = nodeOfRow(Griglia->row());
    });
}

frmTubi::~frmTubi() {
    Griglia->disconnect(this);
    Txtedit->removeEventFilter(this);
    StatusBar1->removeEventFilter(this);
}

QString gridCaption(const Project& project, int16_t firstNode) {
    if (firstNode == 1)
        return kTrunkCaption;
    // A name of any length read from a file must not make a title of megabytes.
    return kDerivedCaptionPrefix +
           oneLine(project.NodeTable[project.NodeTable[firstNode].parent].name.left(kLongestCaptionName));
}

QString dropCaption(PressureUnit unit, bool cumulative) {
    const QString name = cumulative ? QStringLiteral("SumDp ") : QStringLiteral("D.P. ");
    // Metres as "m": the column is narrow.
    return unit == PressureUnit::Millimetres ? name
           : unit == PressureUnit::Metres    ? name + QStringLiteral("m")
                                             : name + calculationScale(unit).symbol;
}

void frmTubi::showPressureCaptions() {
    Griglia->setColumnCaption(kDrop, dropCaption(project_.pressureUnit, false));
    Griglia->setColumnCaption(kSumDp, dropCaption(project_.pressureUnit, true));
}

QString frmTubi::caption() const {
    // The trunk's window says once that a looped network's figures are the converged solution's.
    if (firstNode_ == 1 && results_.ring)
        return gridCaption(project_, firstNode_) + QStringLiteral(" - ") + kRingCaption;
    return gridCaption(project_, firstNode_);
}

void frmTubi::selectNode(int16_t node) {
    for (int r = 1; r < Griglia->rows(); ++r) {
        if (nodeOfRow(r) != node)
            continue;
        Griglia->setCurrentCell(r, kNome);
        if (!Griglia->rowIsVisible(r))
            Griglia->setTopRow(r);
        return;
    }
}

void frmTubi::setRowIconAndColours(int row, const Node& node) {
    if (node.hasDerivation())
        icona(row, kIconRight);
    else if (node.continues())
        icona(row, kIconBlank);
    else if (node.next == kEndWithoutTerminal)
        icona(row, kIconDown);
    else if (node.endsInTerminal())
        icona(row, kIconTerminal);
    else
        Griglia->setCellPicture(row, kOut, QPixmap());
    Griglia->setCellBackColor(row, kTipo, grid_colour::kSeries);
    Griglia->setCellBackColor(row, kOut, grid_colour::kSeries);
    colourResultCells(row, node);
    colourDiameterCell(row, node);
}

void frmTubi::colourDiameterCell(int row, const Node& node) {
    Griglia->setCellBackColor(row, kPhi,
                              !node.isKvElement() && node.diameterLocked ? grid_colour::kLockedDiameter
                                                                         : grid_colour::kSeries);
}

void frmTubi::colourResultCells(int row, const Node& node) {
    // A closed section shows as closed, not only as zeros.
    const QColor& colour = node.closed ? grid_colour::kClosed : grid_colour::kResults;
    if (Griglia->cellBackColor(row, kFlow) == colour && Griglia->cellBackColor(row, kVelocity) == colour)
        return;
    for (int c = kVelocity; c <= kFlow; ++c)
        Griglia->setCellBackColor(row, c, colour);
}

void frmTubi::compilatab() {
    Txtedit->hide(); // a text typed into rows being rebuilt has no node any more
    const std::vector<int16_t> nodes = branchNodes(project_, firstNode_);
    Griglia->hide();
    Griglia->setRedraw(false);
    Griglia->setRows(1);
    Griglia->setRows(int(nodes.size()) + 1);
    for (int r = 1; r <= int(nodes.size()); ++r) {
        const int16_t n = nodes[std::size_t(r - 1)];
        Griglia->setRowData(r, n);
        setRowIconAndColours(r, project_.NodeTable[n]);
    }
    Griglia->setRedraw(true);
    Griglia->show();
    Griglia->setCurrentCell(1, 1);
    Piedino();
    sizeWindow();
    show();
}

void frmTubi::icona(int row, int icon) {
    QPixmap picture;
    switch (icon) {
    case kIconBlank:
        picture = icons_.picture(GridIcon::Nulla);
        break;
    case kIconUp:
        picture = icons_.picture(GridIcon::FrecciaSu);
        break;
    case kIconRight:
        picture = icons_.picture(GridIcon::FrecciaDx);
        break;
    case kIconDown:
        picture = icons_.picture(GridIcon::FrecciaGiu);
        break;
    case kIconTerminal: {
        if (const Terminal* terminal = project_.findTerminal(project_.NodeTable[nodeOfRow(row)]))
            if (const TerminalType* type = project_.findTerminalType(*terminal))
                picture = icons_.terminalPicture(type->iconIndex);
        break;
    }
    default:
        break;
    }
    Griglia->setCellPicture(row, kOut, picture);
}

void frmTubi::writeRowCells(int row, const BranchRow& results, const NetworkChecks* checks) {
    const Node& node = project_.NodeTable[results.node];
    Griglia->setTextMatrix(row, kNome, node.name);
    Griglia->setTextMatrix(row, kMetri, node.isKvElement() ? kKvLength : formatGeneral(node.length));
    Griglia->setTextMatrix(row, kLVirt, formatGeneral(node.virtualLength));
    // Indexes the catalogues lack show as "?": the calculation names the node.
    const PipeDiameter* diameter = project_.findDiameter(node);
    const PipeSeries* series = project_.findSeries(node);
    Griglia->setTextMatrix(row, kPhi, node.isKvElement() ? QString() : diameter ? diameter->label : kUnknown);
    Griglia->setTextMatrix(row, kTipo, series ? series->code : kUnknown);
    Griglia->setTextMatrix(row, kOut,
                           node.hasDerivation() ? project_.NodeTable[node.derivation].name + kDerivationGap
                                                : QString());
    Griglia->setTextMatrix(row, kVelocity,
                           results.velocity ? formatPicture(*results.velocity, u"#0.0") : QString());
    const PressureScale pressures = calculationScale(project_.pressureUnit);
    Griglia->setTextMatrix(row, kDrop, pressures.cell(results.drop));
    Griglia->setTextMatrix(row, kSumDp, pressures.cell(results.cumulativeDrop));
    Griglia->setTextMatrix(row, kFlow, formatPicture(results.flow, u"#0"));
    colourResultCells(row, node);
    markChecks(row, results.node, checks);
}

void frmTubi::markChecks(int row, int16_t node, const NetworkChecks* checks) {
    QStringList endWhy;
    QStringList velocityWhy;
    if (checks)
        for (const NetworkWarning& warning : checks->warnings(node))
            (warning.aboutTheEnd() ? endWhy : velocityWhy) << asSentence(warning.text);
    Griglia->setCellBackColor(row, kNome, endWhy.isEmpty() ? QColor() : grid_colour::kCheck);
    Griglia->setCellToolTip(row, kNome, endWhy.join(u'\n'));
    if (!velocityWhy.isEmpty())
        Griglia->setCellBackColor(row, kVelocity, grid_colour::kCheck);
    Griglia->setCellToolTip(row, kVelocity, velocityWhy.join(u'\n'));
}

void frmTubi::rinfresca() {
    setWindowTitle(caption());
    showPressureCaptions();
    if (QWidget* frame = parentWidget(); frame && qobject_cast<QMdiSubWindow*>(frame))
        frame->setWindowTitle(caption());
    const std::vector<BranchRow> rows = computeBranchRows(project_, results_, firstNode_);
    const NetworkChecks* checks = host_.networkChecks();
    Griglia->setRedraw(false);
    const int shown = std::min(int(rows.size()), Griglia->rows() - 1);
    for (int r = 1; r <= shown; ++r)
        writeRowCells(r, rows[std::size_t(r - 1)], checks);
    Griglia->setRedraw(true);
    Piedino();
    updateToolbar();
}

bool frmTubi::showsWholeBranch() const {
    const std::vector<int16_t> nodes = branchNodes(project_, firstNode_);
    if (int(nodes.size()) != lastRow())
        return false;
    for (int r = 1; r <= lastRow(); ++r)
        if (nodeOfRow(r) != nodes[std::size_t(r - 1)])
            return false;
    return true;
}

void frmTubi::Piedino() {
    if (Griglia->rows() < 2)
        return;
    const int16_t last = nodeOfRow(Griglia->rows() - 1);
    session_.terminalNode = last;
    const Node& node = project_.NodeTable[last];
    const NetworkChecks* checks = host_.networkChecks();
    QStringList said; // what the checks say of the branch's end
    if (checks)
        for (const NetworkWarning& w : checks->warnings(last))
            if (w.aboutTheEnd())
                said << asSentence(w.text);
    const QString warning = said.join(QStringLiteral("; "));
    if (node.next == kEndWithoutTerminal) {
        StatusBar1->setText(QStringLiteral("Nessun terminale "));
    } else if (const Terminal* terminal = project_.findTerminal(node)) {
        const TerminalType* type = project_.findTerminalType(*terminal);
        StatusBar1->setText((type ? type->name : kUnknown) + QStringLiteral(" - Quota m ") +
                            formatGeneral(terminal->height));
    } else {
        StatusBar1->setText(QStringLiteral("Mistero %1").arg(node.next));
    }
    if (!warning.isEmpty()) {
        const QString separator =
            StatusBar1->text().endsWith(u' ') ? QStringLiteral("- ") : QStringLiteral(" - ");
        StatusBar1->setText(StatusBar1->text() + separator + QStringLiteral("Attenzione: ") + warning);
    }
    // The window is narrow: the whole line also as the tooltip.
    StatusBar1->setToolTip(warning.isEmpty() ? QString() : StatusBar1->text());
}

void frmTubi::aggiorna(int16_t) {
    if (results_.totalFlow > 0) {
        recalculate();
        showResults();
    }
    Griglia->setFocus();
}

void frmTubi::recalculate() {
    reportOutcome(Calculate(project_, results_));
}

void frmTubi::reportOutcome(const CalculationOutcome& outcome) {
    if (!outcome.ok)
        interaction_.inform(outcome.message, QString(), MessageIcon::Exclamation);
}

void frmTubi::showResults() {
    rinfresca();
    host_.refreshOtherWindows(this);
}

void frmTubi::chiudi() {
    // The trunk window stays for the whole run.
    if (isTrunk())
        return;
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

void frmTubi::statusLineClicked() {
    if (Griglia->rows() < 2)
        return;
    Piedino();
    const int lastRow = Griglia->rows() - 1;
    const auto endNode = static_cast<int16_t>(session_.terminalNode);
    if (project_.NodeTable[endNode].next == kEndWithoutTerminal && !offerTerminal(endNode))
        return;
    const Node& end = project_.NodeTable[endNode];
    const Terminal* terminal = project_.findTerminal(end);
    if (!end.endsInTerminal() || !terminal || !project_.findTerminalType(*terminal))
        return; // nothing the dialog could edit
    Fine dialog(workspace_, interaction_,
                pressureLeftText(project_, results_, static_cast<int16_t>(session_.terminalNode)), this);
    interaction_.runDialog(dialog);
    icona(lastRow, kIconTerminal);
    aggiorna();
    Piedino();
    host_.recordChange(change_label::kTerminal, endNode);
}

bool frmTubi::offerTerminal(int16_t end) {
    if (interaction_.message(
            {QStringLiteral("Questo ramo termina senza terminale.\nAggiungere un terminale?"),
             QStringLiteral("Terminale"), MessageButtons::YesNo, MessageIcon::Question}) != Answer::Yes)
        return false;
    if (!edits::addTerminal(project_, end)) {
        interaction_.inform(tableFullMessage(), QStringLiteral("Non possibile"), MessageIcon::Exclamation);
        return false;
    }
    icona(lastRow(), kIconTerminal);
    Piedino();
    recalculate(); // the dialog shows the pressure left with the new terminal discharging
    return true;
}

void frmTubi::LunEq() {
    if (Griglia->row() < 1)
        return;
    const int16_t index = nodeOfRow(Griglia->row());
    Node& node = project_.NodeTable[index];
    if (node.isKvElement()) {
        interaction_.inform(QStringLiteral("Un KV non può avere una lunghezza equivalente"));
        Griglia->setFocus();
        return;
    }
    if (!project_.findDiameter(node))
        return; // a bore the catalogue lacks has no equivalent lengths
    loadEditNode(project_, results_, session_, index);
    frmLEQ dialog(workspace_, interaction_, this);
    interaction_.runDialog(dialog);
    node.virtualLength = session_.editNode.virtualLength;
    node.diameterLocked = session_.editNode.diameterLocked;
    aggiorna();
    host_.recordChange(change_label::kEquivalentLength, index);
}

bool frmTubi::askSaveBeforeExit() {
    if (!host_.projectModified())
        return true; // nothing would be lost
    const Answer answer =
        interaction_.message({QStringLiteral("Salvare prima di uscire?"), QStringLiteral("Fine"),
                              MessageButtons::YesNoCancel, MessageIcon::Question});
    if (answer == Answer::Cancel)
        return false;
    // A project that could not be saved keeps the program open, so nothing is lost.
    return answer == Answer::No || host_.saveProject();
}

void frmTubi::closeEvent(QCloseEvent* event) {
    commitEdit(); // a value still in the text box is not lost with the window
    if (!isTrunk() || host_.endingProgram()) {
        event->accept();
        return;
    }
    event->ignore();
    if (askSaveBeforeExit())
        host_.endProgram();
}

void frmTubi::setFirstNode(int16_t node) {
    firstNode_ = node;
    setProperty("tag", tag());
}

bool frmTubi::eventFilter(QObject* watched, QEvent* event) {
    // In the normal state the window keeps the grid's width; maximised, it fills the frame.
    if (watched == parentWidget() && event->type() == QEvent::Resize && inNormalState(parentWidget()) &&
        parentWidget()->width() != windowWidthPixels()) {
        parentWidget()->resize(windowWidthPixels(), parentWidget()->height());
        return false;
    }
    if (watched == StatusBar1 && event->type() == QEvent::MouseButtonRelease) {
        statusLineClicked();
        return true;
    }
    if (watched == Txtedit && event->type() == QEvent::KeyPress && editKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void frmTubi::sizeWindow() {
    const int needed = (Griglia->rowHeightTwips() + kRowExtraTwips) * Griglia->rows() + kGridExtraTwips;
    scrollBarWanted_ = needed >= kTallestGridTwips;
    gridHeightTwips_ = scrollBarWanted_ ? kTallestGridTwips : needed;
    windowHeightTwips_ = scrollBarWanted_ ? kTallWindowTwips : gridHeightTwips_ + kWindowExtraHeightTwips;
    Griglia->setVerticalScrollBar(Griglia->hasFocus());
    const QSize size(windowWidthPixels(), Griglia->twipsToPixels(windowHeightTwips_));
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!frame) {
        resize(size);
        return;
    }
    if (!watchingFrame_) {
        watchingFrame_ = true;
        frame->installEventFilter(this);
        connect(frame, &QMdiSubWindow::windowStateChanged, this, &frmTubi::frameStateChanged);
    }
    // A maximised or minimised window keeps its state; it takes its size when restored.
    if (inNormalState(frame))
        frame->resize(size);
}

bool frmTubi::inNormalState(const QWidget* frame) {
    return !(frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
}

int frmTubi::windowWidthPixels() const {
    return Griglia->twipsToPixels(kGridWidthTwips + kWindowExtraWidthTwips);
}

void frmTubi::frameStateChanged(Qt::WindowStates previous, Qt::WindowStates now) {
    (void)now;
    if (inNormalState(parentWidget()) && (previous & (Qt::WindowMaximized | Qt::WindowMinimized)))
        sizeWindow();
}

void frmTubi::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateToolbar();
}

void frmTubi::updateToolbar() {
    if (Griglia->row() >= 1)
        host_.setEditButtonsEnabled(Griglia->rowIsVisible(Griglia->row()));
}

void frmTubi::cursorMoved() {
    if (Griglia->row() >= 1)
        session_.currentNode = nodeOfRow(Griglia->row());
    updateToolbar();
}

void frmTubi::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateToolbar();
}

} // namespace valmora
