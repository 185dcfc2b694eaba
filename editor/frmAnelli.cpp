#include "editor/frmAnelli.h"

#include "dialogs/frmLEQ.h"
#include "editor/CellEditor.h"
#include "editor/ChangeLabels.h"
#include "editor/GridColours.h"
#include "editor/GridWindowKeys.h"
#include "editor/NetworkChecks.h"
#include "editor/NetworkEdits.h"
#include "editor/frmTubi.h"
#include "editor/lstTubi.h"
#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Units.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

#include <array>

namespace valmora {

namespace {

const QString kFormat = QStringLiteral("Nome|Da|A|>Metri |>L.virt. |>Phi |>Tipo |>m/s|>D.P. |>Lt/min");
constexpr std::array<int, frmAnelli::kColumns> kColumnWidthsTwips = {1000, 1000, 1000, 500, 500,
                                                                     500,  800,  600,  600, 600};
constexpr int kWindowWidthTwips = 7500; // the columns, the row numbers' margin and a scroll bar
constexpr int kWindowHeightTwips = 3600;
const QString kKvLength = QStringLiteral(">< ");
const QString kUnknown = QStringLiteral("?");

} // namespace

frmAnelli::frmAnelli(Workspace& workspace, Interaction& interaction, GridWindowHost& host, QWidget* parent)
    : QWidget(parent), workspace_(workspace), project_(workspace.project), results_(workspace.results),
      interaction_(interaction), host_(host) {
    setObjectName(QStringLiteral("frmAnelli"));
    setWindowTitle(kLoopPipesTitle);
    setProperty("tag", kLoopPipesTag);
    Griglia = new GridControl(this);
    Griglia->setObjectName(QStringLiteral("Griglia"));
    Griglia->setFormatString(kFormat);
    for (int c = 0; c < kColumns; ++c)
        Griglia->setColumnWidthTwips(c, kColumnWidthsTwips[std::size_t(c)]);
    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFrameShape(QFrame::Panel);
    StatusBar1->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Griglia, 1);
    layout->addWidget(StatusBar1);

    Txtedit = new QLineEdit(this);
    Txtedit->setObjectName(QStringLiteral("Txtedit"));
    Txtedit->hide();
    Txtedit->installEventFilter(this);
    Griglia->keyPreview = [this](QKeyEvent* event) { return gridKey(event); };
    connect(Griglia, &GridControl::leaveCell, this, &frmAnelli::commitEdit);
    connect(Griglia, &GridControl::gridDoubleClicked, this, &frmAnelli::cellAction);
    connect(Griglia, &GridControl::rightClicked, this, [this](const QPoint& at) {
        if (cursorPipe())
            rowMenu()->popup(at);
    });
    connect(Griglia, &GridControl::rowColChanged, this, &frmAnelli::showStatus);
    resize(sizeHint());
}

QSize frmAnelli::sizeHint() const {
    return {Griglia->twipsToPixels(kWindowWidthTwips), Griglia->twipsToPixels(kWindowHeightTwips)};
}

frmAnelli::~frmAnelli() {
    Griglia->disconnect(this);
    Txtedit->removeEventFilter(this);
}

std::optional<std::size_t> frmAnelli::cursorPipe() const {
    const int row = Griglia->row();
    if (row < 1 || row > lastRow())
        return std::nullopt;
    const auto pipe = std::size_t(Griglia->rowData(row));
    return pipe < project_.loopPipes.size() ? std::optional<std::size_t>(pipe) : std::nullopt;
}

// ---- rows ---------------------------------------------------------------------------

void frmAnelli::compilatab() {
    Txtedit->hide(); // a text typed into rows being rebuilt has no pipe any more
    const int row = std::max(Griglia->row(), 1);
    const int column = std::max(Griglia->col(), 0);
    Griglia->setRedraw(false);
    Griglia->setRows(1);
    Griglia->setRows(int(project_.loopPipes.size()) + 1);
    for (int r = 1; r <= lastRow(); ++r)
        Griglia->setRowData(r, r - 1);
    Griglia->setRedraw(true);
    int at = std::min(row, lastRow());
    if (atCursor_)
        for (std::size_t k = 0; k < project_.loopPipes.size(); ++k) {
            const LoopPipe& pipe = project_.loopPipes[k];
            if (pipe.nodeA == atCursor_->nodeA && pipe.nodeB == atCursor_->nodeB &&
                pipe.name == atCursor_->name)
                at = int(k) + 1;
        }
    if (lastRow() >= 1)
        Griglia->setCurrentCell(at, column);
    rinfresca();
}

void frmAnelli::rinfresca() {
    if (lastRow() != int(project_.loopPipes.size())) {
        compilatab(); // pipes came or went elsewhere (a ring closed, a node deleted, undo)
        return;
    }
    Griglia->setColumnCaption(kDP, dropCaption(project_.pressureUnit, false));
    const std::vector<LoopPipeRow> figures = computeLoopPipeRows(project_, results_);
    // What the checks say of each pipe's velocity, worked out once for every row.
    std::vector<QStringList> why(project_.loopPipes.size());
    if (const NetworkChecks* checks = host_.networkChecks(); checks && checks->valid())
        for (const NetworkWarning& warning : loopPipeWarnings(project_, checks->verification()))
            if (warning.loopPipe >= 0 && std::size_t(warning.loopPipe) < why.size())
                why[std::size_t(warning.loopPipe)] << asSentence(warning.text);
    Griglia->setRedraw(false);
    for (int r = 1; r <= lastRow(); ++r) {
        const auto pipe = std::size_t(Griglia->rowData(r));
        writeRow(r, project_.loopPipes[pipe], pipe < figures.size() ? &figures[pipe] : nullptr, why[pipe]);
    }
    Griglia->setRedraw(true);
    showStatus();
}

void frmAnelli::writeRow(int row, const LoopPipe& pipe, const LoopPipeRow* figures, const QStringList& why) {
    const Node section = pipe.asSection();
    Griglia->setTextMatrix(row, kNome, pipe.name);
    Griglia->setTextMatrix(row, kDa, project_.NodeTable[std::size_t(pipe.nodeA)].name);
    Griglia->setTextMatrix(row, kA, project_.NodeTable[std::size_t(pipe.nodeB)].name);
    Griglia->setTextMatrix(row, kMetri, section.isKvElement() ? kKvLength : formatGeneral(pipe.length));
    Griglia->setTextMatrix(row, kLVirt, formatGeneral(pipe.virtualLength));
    const PipeDiameter* diameter = project_.findDiameter(section);
    const PipeSeries* series = project_.findSeries(section);
    Griglia->setTextMatrix(row, kPhi,
                           section.isKvElement() ? QString()
                           : diameter            ? diameter->label
                                                 : kUnknown);
    Griglia->setTextMatrix(row, kTipo, series ? series->code : kUnknown);
    Griglia->setCellBackColor(row, kPhi,
                              !section.isKvElement() && pipe.diameterLocked ? grid_colour::kLockedDiameter
                                                                            : grid_colour::kSeries);
    Griglia->setCellBackColor(row, kTipo, grid_colour::kSeries);
    const bool shown = figures && results_.ring;
    Griglia->setTextMatrix(
        row, kVelocita, shown && figures->velocity ? formatPicture(*figures->velocity, u"#0.0") : QString());
    Griglia->setTextMatrix(row, kDP,
                           shown ? calculationScale(project_.pressureUnit).cell(figures->drop) : QString());
    Griglia->setTextMatrix(row, kPortata, shown ? formatPicture(figures->flow, u"#0") : QString());
    // A closed pipe shows as closed, not only as zeros.
    for (int c = kVelocita; c <= kPortata; ++c)
        Griglia->setCellBackColor(row, c, pipe.closed ? grid_colour::kClosed : grid_colour::kResults);
    if (!why.isEmpty())
        Griglia->setCellBackColor(row, kVelocita, grid_colour::kCheck);
    Griglia->setCellToolTip(row, kVelocita, why.join(u'\n'));
}

void frmAnelli::showStatus() {
    const std::optional<std::size_t> pipe = cursorPipe();
    if (pipe) {
        const LoopPipe& p = project_.loopPipes[*pipe];
        atCursor_ = PipeIdentity{p.nodeA, p.nodeB, p.name};
    }
    if (project_.loopPipes.empty()) {
        StatusBar1->setText(QStringLiteral("Nessun anello: se ne chiude uno dal nodo del cursore con "
                                           "Strumenti, Chiudi un anello."));
        return;
    }
    if (!pipe) {
        StatusBar1->clear();
        return;
    }
    // The pipe's ends, and which way its flow is counted.
    const LoopPipe& p = project_.loopPipes[*pipe];
    StatusBar1->setText(QStringLiteral("%1: da %2 a %3 (portata positiva da %2 a %3)%4")
                            .arg(oneLine(p.name), oneLine(project_.NodeTable[std::size_t(p.nodeA)].name),
                                 oneLine(project_.NodeTable[std::size_t(p.nodeB)].name),
                                 p.closed ? QStringLiteral(", chiuso") : QString()));
}

void frmAnelli::selectPipe(std::size_t pipe) {
    for (int r = 1; r <= lastRow(); ++r)
        if (std::size_t(Griglia->rowData(r)) == pipe) {
            Griglia->setCurrentCell(r, kNome);
            if (!Griglia->rowIsVisible(r))
                Griglia->setTopRow(r);
            return;
        }
}

// ---- changes ------------------------------------------------------------------------

void frmAnelli::aggiorna(int16_t) {
    const CalculationOutcome outcome = Calculate(project_, results_);
    if (!outcome.ok)
        interaction_.inform(outcome.message, QString(), MessageIcon::Exclamation);
    rinfresca();
    host_.refreshOtherWindows(this);
    Griglia->setFocus();
}

void frmAnelli::changed(const QString& label, std::size_t pipe) {
    const int16_t cursor = pipe < project_.loopPipes.size() ? project_.loopPipes[pipe].nodeA : 1;
    aggiorna();
    host_.recordChange(label, cursor);
}

void frmAnelli::stepDiameter(bool up) {
    commitEdit();
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    if (project_.loopPipes[*pipe].asSection().isKvElement()) {
        interaction_.inform(QStringLiteral("Questo non è un tubo ma un KV !"));
        Griglia->setFocus();
        return;
    }
    if (edits::stepLoopPipeDiameter(project_, *pipe, up))
        changed(change_label::kDiameter, *pipe);
}

void frmAnelli::Nuovo(bool) {
    commitEdit();
    interaction_.inform(
        QStringLiteral("Un anello si chiude dal suo primo nodo, nella finestra del suo ramo o "
                       "sullo schema: Strumenti, Chiudi un anello."),
        kLoopPipesTitle);
}

void frmAnelli::Cancella() {
    commitEdit();
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    if (interaction_.message({QStringLiteral("Confermi la cancellazione dell'anello %1?")
                                  .arg(quotedExcerpt(project_.loopPipes[*pipe].name)),
                              QString(), MessageButtons::OkCancel, MessageIcon::Question}) != Answer::Ok)
        return;
    const int16_t cursor = project_.loopPipes[*pipe].nodeA;
    project_.loopPipes.erase(project_.loopPipes.begin() + std::ptrdiff_t(*pipe));
    // The schema's lanes are drawn once: it is drawn again without the pipe.
    host_.networkShapeChanged();
    aggiorna(); // its rows are rebuilt, one fewer
    host_.recordChange(change_label::kRingDelete, cursor);
}

void frmAnelli::Lok() {
    commitEdit();
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    LoopPipe& p = project_.loopPipes[*pipe];
    p.closed = !p.closed;
    changed(p.closed ? change_label::kClosing : change_label::kOpening, *pipe);
}

void frmAnelli::LunEq() {
    commitEdit();
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    const Node section = project_.loopPipes[*pipe].asSection();
    if (section.isKvElement()) {
        interaction_.inform(QStringLiteral("Un KV non può avere una lunghezza equivalente"));
        Griglia->setFocus();
        return;
    }
    if (!project_.findDiameter(section))
        return; // a bore the catalogue lacks has no equivalent lengths
    loadEditLoopPipe(project_, results_, workspace_.session, *pipe);
    frmLEQ dialog(workspace_, interaction_, this);
    interaction_.runDialog(dialog);
    LoopPipe& p = project_.loopPipes[*pipe];
    if (p.virtualLength == workspace_.session.editNode.virtualLength &&
        p.diameterLocked == workspace_.session.editNode.diameterLocked)
        return;
    p.virtualLength = workspace_.session.editNode.virtualLength;
    p.diameterLocked = workspace_.session.editNode.diameterLocked;
    changed(change_label::kEquivalentLength, *pipe);
}

void frmAnelli::changeSeries() {
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    const LoopPipe& p = project_.loopPipes[*pipe];
    lstTubi picker(project_, this);
    picker.prepare(p.seriesIndex, p.diameterIndex);
    interaction_.runDialog(picker);
    if (picker.selectedSeries() == p.seriesIndex)
        return;
    edits::applyLoopPipeSeries(project_, *pipe, picker.selectedSeries(), picker.diameterIndex());
    changed(change_label::kSeries, *pipe);
}

void frmAnelli::toggleDiameterLock() {
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    LoopPipe& p = project_.loopPipes[*pipe];
    if (p.asSection().isKvElement())
        return; // a KV element has no diameter to lock
    p.diameterLocked = !p.diameterLocked;
    rinfresca();
    host_.recordChange(p.diameterLocked ? change_label::kLock : change_label::kUnlock, p.nodeA);
}

QMenu* frmAnelli::rowMenu() {
    if (!rowMenu_) {
        rowMenu_ = new QMenu(this);
        rowMenu_->setObjectName(QStringLiteral("mnuRiga"));
        lockAction_ = rowMenu_->addAction(QString());
        lockAction_->setObjectName(QStringLiteral("mnuBlocca"));
        connect(lockAction_, &QAction::triggered, this, &frmAnelli::toggleDiameterLock);
        QAction* remove = rowMenu_->addAction(QStringLiteral("Elimina anello"));
        remove->setObjectName(QStringLiteral("mnuElimina"));
        connect(remove, &QAction::triggered, this, &frmAnelli::Cancella);
    }
    const std::optional<std::size_t> pipe = cursorPipe();
    const bool kv = !pipe || project_.loopPipes[*pipe].asSection().isKvElement();
    lockAction_->setText(pipe && project_.loopPipes[*pipe].diameterLocked && !kv
                             ? QStringLiteral("Sblocca diametro")
                             : QStringLiteral("Blocca diametro"));
    lockAction_->setEnabled(!kv);
    return rowMenu_;
}

void frmAnelli::cellAction() {
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    switch (Griglia->col()) {
    case kNome:
    case kMetri:
    case kLVirt:
        startEditing();
        break;
    case kDa:
        host_.showNode(project_.loopPipes[*pipe].nodeA);
        break;
    case kA:
        host_.showNode(project_.loopPipes[*pipe].nodeB);
        break;
    case kPhi:
    case kTipo:
        changeSeries();
        break;
    default:
        Lok();
        break;
    }
}

void frmAnelli::chiudi() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

void frmAnelli::closeEvent(QCloseEvent* event) {
    commitEdit(); // a value still in the text box is not lost with the window
    event->accept();
}

// ---- typing -------------------------------------------------------------------------

bool frmAnelli::editing() const {
    return !Txtedit->isHidden();
}

void frmAnelli::startEditing(QChar typed) {
    if (cursorPipe())
        cell_editor::open(*Txtedit, *Griglia, typed);
}

void frmAnelli::commitEdit() {
    if (!editing())
        return;
    const int column = Griglia->col();
    const QString text = Txtedit->text();
    Txtedit->hide();
    const std::optional<std::size_t> pipe = cursorPipe();
    if (!pipe)
        return;
    LoopPipe& p = project_.loopPipes[*pipe];
    if (column == kNome) {
        if (p.name == text)
            return;
        p.name = text;
        Griglia->setTextMatrix(Griglia->row(), kNome, text);
        host_.recordChange(change_label::kName, p.nodeA);
        host_.refreshOtherWindows(this); // the warnings name the pipe
        return;
    }
    if (column != kMetri && column != kLVirt)
        return;
    const std::optional<float> value = cell_editor::typedLength(text, interaction_);
    if (!value)
        return;
    const bool kv = p.asSection().isKvElement();
    (column == kMetri ? p.length : p.virtualLength) = *value;
    changed(column == kMetri ? change_label::kLength
            : kv             ? change_label::kKv
                             : change_label::kVirtualLength,
            *pipe);
}

void frmAnelli::moveAfterEnter() {
    const int row = Griglia->row();
    const int column = Griglia->col();
    if (column == kNome)
        Griglia->setCurrentCell(row, kMetri);
    else if (column == kMetri)
        Griglia->setCurrentCell(row, kLVirt);
    else if (column == kLVirt && row < lastRow())
        Griglia->setCurrentCell(row + 1, kNome);
}

bool frmAnelli::editKey(QKeyEvent* event) {
    return cell_editor::boxKey(
        *event, *Txtedit, *Griglia, [this] { commitEdit(); }, [this] { moveAfterEnter(); });
}

bool frmAnelli::gridKey(QKeyEvent* event) {
    commitEdit();
    if (sharedGridWindowKey(*event, *this))
        return true;
    const int column = Griglia->col();
    const bool editable = column == kNome || column == kMetri || column == kLVirt;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (editable)
            moveAfterEnter();
        else
            cellAction();
        return true;
    case Qt::Key_F4:
        Griglia->setCurrentCell(Griglia->row(), kTipo);
        cellAction();
        return true;
    default:
        break;
    }
    if (editable && cursorPipe())
        return cell_editor::opensOnKey(*event, *Txtedit, *Griglia);
    return false;
}

bool frmAnelli::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Txtedit && event->type() == QEvent::KeyPress && editKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

} // namespace valmora
