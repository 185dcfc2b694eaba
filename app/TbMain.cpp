#include "app/TbMain.h"

#include "app/AboutBox.h"
#include "app/frmAvvisi.h"
#include "app/frmRelazione.h"
#include "dialogs/Opzioni.h"
#include "editor/ChangeLabels.h"
#include "editor/GlobalChangeDialogs.h"
#include "editor/NetworkEdits.h"
#include "editor/NetworkTools.h"
#include "editor/RingClosing.h"
#include "editor/frmAnelli.h"
#include "editor/frmMatrice.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/LoopPipes.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"
#include "platform/FileAccess.h"
#include "report/CalculationTable.h"
#include "report/Materiali.h"
#include "report/frmStampa.h"
#include "schema/SchemaPictures.h"
#include "storage/ProjectFile.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

namespace valmora {

namespace {

// A tool window shown in front of the others, brought up to date.
template <typename ToolWindow> void bringForward(ToolWindow& window) {
    window.show();
    window.raise();
    window.refresh();
}

// Positions (1-based) that the grid windows enable and disable together.
constexpr std::array<int, 11> kEditPositions = {3, 4, 5, 6, 7, 8, 12, 13, 14, 15, 16};
// The schema gives back positions 1 to 15 when it is no longer the active window.
constexpr std::size_t kSchemaReleasedPositions = 15;
constexpr int kGridsCatchUpMs = 150;
constexpr int kHelpWidth = 720;
constexpr int kHelpHeight = 600;

QString helpFilePath() {
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help/") + kHelpFileName);
    if (QFileInfo::exists(beside))
        return beside;
    return QStringLiteral(VALMORA_DATA_DIR "/help/") + kHelpFileName;
}

ChildWindow* childOf(QMdiSubWindow* frame) {
    return frame ? dynamic_cast<ChildWindow*>(frame->widget()) : nullptr;
}

} // namespace

TbMain::TbMain(Interaction& interaction, std::unique_ptr<QSettings> recentFilesStore,
               CatalogueSearch catalogues, QWidget* parent)
    : QMainWindow(parent), interaction_(interaction), recentFiles_(std::move(recentFilesStore)),
      document_(interaction, std::move(catalogues)), mdi_(new QMdiArea(this)) {
    setObjectName(QStringLiteral("TbMain"));
    setProperty("tag", kMainTag);
    setCentralWidget(mdi_);
    mdi_->viewport()->installEventFilter(this);
    // A grid window shows the last results whenever it becomes the active one.
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* frame) {
        const bool schemaNow = schema_ && frame && frame->widget() == schema_;
        // The schema gives the toolbar back when another window takes over, before that
        // window applies its own rule.
        if (frame && !schemaNow)
            setSchemaActive(false);
        if (auto* grid = frame ? qobject_cast<frmTubi*>(frame->widget()) : nullptr)
            grid->rinfresca();
        if (auto* rings = frame ? qobject_cast<frmAnelli*>(frame->widget()) : nullptr)
            rings->rinfresca();
        // The schema refreshes whenever it becomes the active window.
        if (schemaNow)
            schema_->activated();
    });
    buildMenus();
    buildToolbar();
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, &TbMain::showHelp);
    resize(1000, 700);
}

TbMain::~TbMain() {
    // The child windows hold the project: they go before it does.
    ending_ = true;
    delete help_;
    mdi_->viewport()->removeEventFilter(this);
    disconnect(mdi_, nullptr, this, nullptr);
    delete mdi_;
}

// ---- start-up and shut-down -------------------------------------------------------

bool TbMain::start(const QString& commandLine) {
    if (!document_.loadCatalogues())
        return false;
    document_.onHistoryChanged([this] { updateHistoryActions(); });
    document_.project().lastTerminalType = 1;
    loadRecentMenu();
    trunk_ = openGridWindow(1);

    QString path = commandLine;
    if (path.endsWith(u'"'))
        path = path.mid(1, path.size() - 2);
    if (!path.isEmpty() && QFileInfo(path).isFile() && document_.read(path)) {
        document_.adopt(cleanAbsolutePath(path));
        addRecentFile(path);
        setTitle();
        trunk_->compilatab();
        calculateAndShow();
    } else {
        NewProject(); // calculated as it is made
        showResultsEverywhere();
    }
    updatePasteButton();
    return true;
}

void TbMain::calculateAndShow() {
    document_.calculate();
    showResultsEverywhere();
}

void TbMain::showResultsEverywhere() {
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget()))
            grid->rinfresca();
    if (loopPipes_)
        loopPipes_->rinfresca();
    refreshWarnings();
}

void TbMain::closeEvent(QCloseEvent* event) {
    if (!ending_) {
        commitPendingEdits();
        if (trunk_ && !trunk_->askSaveBeforeExit()) {
            event->ignore();
            return;
        }
        ending_ = true;
    }
    if (help_)
        help_->close();
    mdi_->closeAllSubWindows();
    event->accept();
}

void TbMain::endProgram() {
    ending_ = true;
    close();
}

bool TbMain::saveProject() {
    return save();
}

void TbMain::commitPendingEdits() {
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget()))
            grid->finishEditing();
    if (loopPipes_)
        loopPipes_->finishEditing();
}

// ---- file commands ----------------------------------------------------------------

void TbMain::setTitle() {
    setWindowTitle(document_.project().projectPath);
}

void TbMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // A maximised child window puts its caption into the frame's title: the title stays
    // the project's path.
    if (event->type() == QEvent::WindowTitleChange && windowTitle() != document_.project().projectPath)
        setTitle();
}

const NetworkChecks* TbMain::networkChecks() {
    checks_.update(document_.project(), document_.results());
    return &checks_;
}

void TbMain::refreshWarnings() {
    if (warnings_ && warnings_->isVisible())
        warnings_->refresh();
    if (verification_)
        verification_->networkChanged();
    if (curves_)
        curves_->networkChanged();
}

void TbMain::refreshOtherWindows(const QWidget* from) {
    for (QMdiSubWindow* frame : mdi_->subWindowList()) {
        auto* grid = qobject_cast<frmTubi*>(frame->widget());
        if (!grid || grid == from)
            continue;
        if (!grid->showsWholeBranch())
            grid->compilatab();
        grid->rinfresca();
    }
    if (loopPipes_ && loopPipes_ != from)
        loopPipes_->rinfresca();
    refreshWarnings();
}

void TbMain::updatePasteButton() {
    if (QAction* paste = toolbarButton(QStringLiteral("Incolla")))
        paste->setEnabled(QFileInfo::exists(QDir::current().filePath(kSnippetFileName)));
}

void TbMain::NewProject() {
    document_.makeNew();
    setTitle();
    RefreshAllWindows();
}

bool TbMain::AskSaveFirst() {
    commitPendingEdits();
    if (!document_.modified())
        return true; // nothing would be lost
    const Answer answer = interaction_.message({QStringLiteral("Salvare prima?"), QStringLiteral("Fine"),
                                                MessageButtons::YesNo, MessageIcon::Question});
    if (answer != Answer::Yes)
        return true;
    // Asked to save: a save that did not happen stops the command, so nothing is lost.
    if (document_.project().projectPath != kNewProjectPath) {
        addRecentFile(document_.project().projectPath);
        return saveTo(document_.project().projectPath);
    }
    return saveAs();
}

void TbMain::RefreshAllWindows() {
    for (QMdiSubWindow* frame : mdi_->subWindowList()) {
        if (frame->windowTitle().startsWith(QStringLiteral("Ori"))) {
            if (ChildWindow* child = childOf(frame)) {
                child->compilatab();
                child->aggiorna();
            }
            continue;
        }
        const QString tag = frame->widget() ? frame->widget()->property("tag").toString() : QString();
        if (tag != kMainTag && tag != kPickerTag)
            frame->close();
    }
    refreshWarnings();
}

void TbMain::openProject() {
    commitPendingEdits();
    const QString path = cleanAbsolutePath(interaction_.openFileName(kProjectFilter, QString()));
    if (!path.isEmpty())
        replaceProjectWith(path);
}

void TbMain::openRecent(int entry) {
    const QString path = cleanAbsolutePath(recentFiles_.captions()[std::size_t(entry)]);
    if (!QFileInfo(path).isFile()) {
        interaction_.inform(QStringLiteral("File non trovato"));
        return;
    }
    replaceProjectWith(path);
}

void TbMain::replaceProjectWith(const QString& path) {
    // The network in memory may hold unsaved work.
    if (!AskSaveFirst())
        return;
    // The project in memory changes only when the file has been read whole.
    if (!document_.read(path))
        return;
    document_.adopt(path);
    addRecentFile(path);
    setTitle();
    RefreshAllWindows();
}

bool TbMain::saveTo(const QString& path) {
    if (!document_.saveTo(path))
        return false;
    addRecentFile(path);
    return true;
}

bool TbMain::save() {
    commitPendingEdits();
    if (document_.project().projectPath == kNewProjectPath)
        return saveAs();
    return saveTo(document_.project().projectPath);
}

bool TbMain::saveAs() {
    commitPendingEdits();
    QString path = interaction_.saveFileName(kSaveFilter, document_.project().projectPath);
    if (path.isEmpty())
        return false; // cancelled: nothing saved, the project keeps its name
    // "prova" becomes "prova.vlm", which Open's filter then shows.
    if (QFileInfo(path).suffix().isEmpty())
        path += kProjectExtension;
    path = cleanAbsolutePath(path);
    if (!saveTo(path))
        return false;
    document_.project().projectPath = path;
    setTitle();
    return true;
}

void TbMain::stepAllDiameters(bool up) {
    commitPendingEdits();
    Project& p = document_.project();
    const int16_t cursor = document_.session().currentNode;
    for (int i = 1; i <= p.nodeCount(); ++i) {
        Node& node = p.NodeTable[std::size_t(i)];
        if (node.diameterLocked || node.seriesIndex < 1 || !p.isValidSeriesIndex(node.seriesIndex))
            continue;
        const int last = int(p.PipeCatalogue[std::size_t(node.seriesIndex)].diameters.size()) - 1;
        if (up && node.diameterIndex < last)
            ++node.diameterIndex;
        else if (!up && node.diameterIndex >= 1)
            --node.diameterIndex;
    }
    for (std::size_t k = 0; k < p.loopPipes.size(); ++k)
        if (!p.loopPipes[k].diameterLocked)
            edits::stepLoopPipeDiameter(p, k, up);
    activeChild()->aggiorna();
    recordChange(up ? change_label::kAllUp : change_label::kAllDown, cursor);
}

template <typename Dialog, typename Subject>
void TbMain::runProjectDialog(Subject& subject, bool recalculate, const QString& label) {
    commitPendingEdits();
    const int16_t cursor = document_.session().currentNode;
    Dialog dialog(subject, interaction_, this);
    interaction_.runDialog(dialog);
    if (recalculate)
        activeChild()->aggiorna();
    if (!label.isEmpty())
        recordChange(label, cursor);
}

void TbMain::showPrint() {
    commitPendingEdits();
    frmStampa dialog(document_.workspace(), interaction_, printer_,
                     printSections_.value_or(ReportSections::everything(document_.project())), this);
    interaction_.runDialog(dialog);
    printSections_ = dialog.sections();
}

void TbMain::showOptions() {
    runProjectDialog<Opzioni>(document_.workspace(), true, change_label::kOptions);
    // The unit may have changed: every window shows its pressures again.
    refreshOtherWindows(activeChild() ? dynamic_cast<const QWidget*>(activeChild()) : nullptr);
}

void TbMain::exportTable() {
    commitPendingEdits();
    const QFileInfo project(cleanAbsolutePath(document_.project().projectPath));
    QString path = interaction_.saveFileName(
        kTableFilter, project.dir().filePath(project.completeBaseName() + kTableExtension));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += kTableExtension;
    const std::optional<StandardCheck> check =
        document_.project().standardSettings.standard != Standard::None
            ? std::optional<StandardCheck>(
                  verifyStandard(document_.project(), document_.project().standardSettings))
            : std::nullopt;
    const WriteOutcome written = writeFileAtomically(
        path, calculationTableCsv(document_.project(), document_.results(), check ? &*check : nullptr),
        outputOf(document_.project().projectPath));
    if (!written.ok) {
        interaction_.inform(QStringLiteral("Errore in scrittura"), QString(), MessageIcon::Exclamation,
                            written.reason);
        return;
    }
    interaction_.inform(QStringLiteral("Creato ") + path);
}

void TbMain::editReportData() {
    runProjectDialog<frmRelazione>(document_.project(), false, change_label::kReportData);
}

void TbMain::showMaterials() {
    runProjectDialog<Materiali>(document_.workspace(), false, QString());
}

// ---- windows ----------------------------------------------------------------------

ChildWindow* TbMain::activeChild() const {
    if (ChildWindow* child = childOf(mdi_->activeSubWindow()))
        return child;
    return trunk_;
}

frmTubi* TbMain::openGridWindow(int16_t firstNode) {
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget()); grid && grid->firstNode() == firstNode) {
            mdi_->setActiveSubWindow(frame);
            return grid;
        }
    auto* grid = new frmTubi(document_.workspace(), interaction_, *this, icons_, firstNode);
    grid->setProperty("tag", grid->tag());
    QMdiSubWindow* frame = mdi_->addSubWindow(grid);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowTitle(grid->caption());
    frame->setWindowIcon(icons_.picture(GridIcon::FrecciaDx));
    grid->compilatab();
    frame->show();
    return grid;
}

void TbMain::openBranchWindow(int16_t firstNode) {
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget());
            grid && !grid->isTrunk() && grid->firstNode() == firstNode) {
            grid->aggiorna();
            mdi_->setActiveSubWindow(frame);
            return;
        }
    openGridWindow(firstNode)->rinfresca();
}

// ---- network-wide tools and grafts --------------------------------------------------

void TbMain::changePipeSeries() {
    runProjectDialog<frmCambiaTB>(document_.project(), true, change_label::kSeriesEverywhere);
}

void TbMain::changeTerminals() {
    runProjectDialog<frmCambiaFine>(document_.project(), true, change_label::kTerminalsEverywhere);
}

void TbMain::closeRing() {
    commitPendingEdits();
    Project& p = document_.project();
    const int16_t from = document_.session().currentNode;
    if (!p.isValidNodeIndex(from))
        return;
    const std::optional<QString> name =
        interaction_.inputBox(QStringLiteral("Nodo a cui chiudere l'anello da %1:")
                                  .arg(oneLine(p.NodeTable[std::size_t(from)].name)),
                              kCloseRingTitle, QString());
    if (!name || name->trimmed().isEmpty())
        return;
    std::vector<int16_t> named;
    for (const int16_t node : networkPreorder(p))
        if (p.NodeTable[std::size_t(node)].name.trimmed() == name->trimmed())
            named.push_back(node);
    if (named.size() != 1) {
        interaction_.inform(
            named.empty()
                ? QStringLiteral("Nessun nodo si chiama %1.").arg(quotedExcerpt(*name))
                : QStringLiteral("Più nodi si chiamano %1: rinominane uno.").arg(quotedExcerpt(*name)),
            kCloseRingTitle, MessageIcon::Exclamation);
        return;
    }
    if (!closeRingBetween(p, interaction_, from, named.front()))
        return;
    activeChild()->aggiorna();
    recordChange(change_label::kCloseRing, from);
}

void TbMain::showLoopPipes() {
    commitPendingEdits();
    if (document_.project().loopPipes.empty() && !loopPipes_) {
        interaction_.inform(
            QStringLiteral("Il progetto non ha anelli: se ne chiude uno dal nodo del cursore con "
                           "Strumenti, Chiudi un anello."),
            kLoopPipesTitle);
        return;
    }
    if (loopPipes_) {
        for (QMdiSubWindow* frame : mdi_->subWindowList())
            if (frame->widget() == loopPipes_)
                mdi_->setActiveSubWindow(frame);
        loopPipes_->rinfresca();
        loopPipes_->Griglia->setFocus();
        return;
    }
    auto* window = new frmAnelli(document_.workspace(), interaction_, *this);
    loopPipes_ = window;
    QMdiSubWindow* frame = mdi_->addSubWindow(window);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowTitle(kLoopPipesTitle);
    frame->setWindowIcon(icons_.picture(GridIcon::FrecciaDx));
    window->compilatab();
    frame->show();
    window->Griglia->setFocus();
}

void TbMain::showLoopPipe(std::size_t pipe) {
    showLoopPipes();
    if (loopPipes_)
        loopPipes_->selectPipe(pipe);
}

void TbMain::showNode(int16_t node) {
    if (document_.project().isValidNodeIndex(node))
        showNodeInItsGrid(branchStartOf(document_.project(), node), node);
}

void TbMain::createComb() {
    commitPendingEdits();
    const std::optional<int16_t> end =
        tools::combEndNode(document_.project(), document_.session().currentNode);
    if (!end) {
        interaction_.inform(
            QStringLiteral("Il ramo del cursore non termina con un terminale: il pettine sostituisce "
                           "il terminale alla fine del ramo."),
            QStringLiteral("Crea una serie di terminali"), MessageIcon::Exclamation);
        return;
    }
    const int16_t cursor = document_.session().currentNode;
    frmMatrice dialog(document_.project(), interaction_, *end, this);
    interaction_.runDialog(dialog);
    if (dialog.nodesAdded() == 0)
        return;
    if (schema_)
        schema_->chiudi();
    ChildWindow* child = activeChild();
    child->compilatab();
    child->aggiorna();
    recordChange(change_label::kComb, cursor);
}

bool TbMain::activeIsGridWindow() const {
    const QMdiSubWindow* frame = mdi_->activeSubWindow();
    return !frame || qobject_cast<frmTubi*>(frame->widget());
}

void TbMain::importProject() {
    commitPendingEdits();
    if (!activeIsGridWindow()) {
        interaction_.inform(QStringLiteral("Non e' possibile importare qui !"));
        return;
    }
    const Answer answer = interaction_.message(
        {QStringLiteral(
             "Operazione non reversibile\r\ntutti i nodi a partire dal cursore\r\nsaranno sostituiti.\r\n"
             "Procedo?"),
         QStringLiteral("Importa"), MessageButtons::OkCancel, MessageIcon::Exclamation});
    if (answer != Answer::Ok)
        return;
    const QString path = interaction_.openFileName(kSaveFilter, QString());
    if (path.isEmpty()) {
        interaction_.inform(kGraftCancelled);
        return;
    }
    const FileRead read = readDataFile(path);
    if (!read.bytes) {
        interaction_.inform(kGraftCancelled, QString(), MessageIcon::None, read.reason);
        return;
    }
    graft(*read.bytes, true, change_label::kImport);
}

void TbMain::copySnippet() {
    commitPendingEdits();
    if (QAction* paste = toolbarButton(QStringLiteral("Incolla")))
        paste->setEnabled(true);
    const WriteOutcome written = writeSnippet(document_.project(), document_.session().currentNode,
                                              QDir::current().filePath(kSnippetFileName));
    if (!written.ok) {
        interaction_.inform(QStringLiteral("Errore in scrittura"), QString(), MessageIcon::Exclamation,
                            written.reason);
        updatePasteButton();
    }
}

void TbMain::pasteSnippet() {
    commitPendingEdits();
    const QString path = QDir::current().filePath(kSnippetFileName);
    if (!QFileInfo::exists(path)) {
        interaction_.inform(QStringLiteral("Nessun ritaglio da incollare"));
        updatePasteButton();
        return;
    }
    const FileRead read = readDataFile(path);
    if (!read.bytes) {
        interaction_.inform(kGraftCancelled, QString(), MessageIcon::None, read.reason);
        return;
    }
    graft(*read.bytes, false, change_label::kPaste);
}

void TbMain::graft(const QByteArray& bytes, bool skipHeader, const QString& label) {
    const int16_t cursor = document_.session().currentNode;
    const GraftOutcome grafted =
        graftSubtree(document_.workspace(), document_.session().currentNode, bytes, skipHeader);
    if (!grafted.ok) {
        interaction_.inform(grafted.message, QString(), MessageIcon::Exclamation, grafted.detail);
        return; // the network is as it was
    }
    if (!grafted.calculation.ok)
        interaction_.inform(grafted.calculation.message, QString(), MessageIcon::Exclamation);
    if (schema_)
        schema_->chiudi();
    RefreshAllWindows();
    recordChange(label, cursor);
}

void TbMain::showSchema() {
    commitPendingEdits();
    if (schema_) {
        for (QMdiSubWindow* frame : mdi_->subWindowList())
            if (frame->widget() == schema_)
                mdi_->setActiveSubWindow(frame);
        return;
    }
    auto* schema = new frmSchema(document_.workspace(), interaction_, *this);
    schema_ = schema;
    QMdiSubWindow* frame = mdi_->addSubWindow(schema);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowTitle(schema->windowTitle());
    frame->setWindowIcon(QIcon(schemaPixmap(SchemaPicture::destra, devicePixelRatioF())));
    frame->show();
    // Opened as the active window, the activation has been signalled already.
    if (mdi_->activeSubWindow() != frame)
        schema->activated();
}

void TbMain::setSchemaActive(bool active) {
    // Only a schema that held the toolbar gives it back: one closing in the background
    // leaves the active grid window's rule alone.
    if (!active && !schemaActive_)
        return;
    schemaActive_ = active;
    for (const char* key : {"aggiunge", "inserisce", "cancella", "Copia", "Incolla"})
        if (QAction* button = toolbarButton(QString::fromLatin1(key)))
            button->setEnabled(!active);
    if (active)
        return;
    for (std::size_t i = 0; i < kSchemaReleasedPositions; ++i)
        toolbarPositions_[i]->setEnabled(true);
    updatePasteButton();
}

void TbMain::setDiameterButtonsEnabled(bool enabled) {
    for (const char* key : {"decphi", "incphi"})
        if (QAction* button = toolbarButton(QString::fromLatin1(key)))
            button->setEnabled(enabled);
}

void TbMain::showBranchEditors(const std::vector<int16_t>& firstNodes) {
    std::vector<int16_t> missing = firstNodes;
    for (QMdiSubWindow* frame : mdi_->subWindowList()) {
        auto* grid = qobject_cast<frmTubi*>(frame->widget());
        if (!grid || grid->isTrunk())
            continue; // the trunk's window stays open
        const auto open = std::find(missing.begin(), missing.end(), grid->firstNode());
        if (open != missing.end())
            missing.erase(open);
        else
            frame->close();
    }
    for (const int16_t first : missing)
        openGridWindow(first)->rinfresca();
}

void TbMain::schemaChangedNetwork() {
    // The grid windows catch up once the designer pauses: a run of diameter steps on the
    // schema answers at once, and the grids (with the checks of a whole large network) are
    // rewritten once, not at every step.
    if (!gridsCatchUp_) {
        gridsCatchUp_ = new QTimer(this);
        gridsCatchUp_->setSingleShot(true);
        gridsCatchUp_->setInterval(kGridsCatchUpMs);
        connect(gridsCatchUp_, &QTimer::timeout, this, [this] { refreshOtherWindows(nullptr); });
    }
    gridsCatchUp_->start();
}

void TbMain::networkShapeChanged() {
    // The schema's layout is drawn once: a new shape is drawn when it is opened again.
    if (schema_)
        schema_->chiudi();
    const std::vector<int16_t> starts = branchStarts(document_.project());
    for (QMdiSubWindow* frame : mdi_->subWindowList()) {
        auto* grid = qobject_cast<frmTubi*>(frame->widget());
        if (grid && !grid->isTrunk() &&
            std::find(starts.begin(), starts.end(), grid->firstNode()) == starts.end())
            frame->close();
    }
}

void TbMain::rebuildActiveWindow() {
    ChildWindow* child = activeChild();
    // The window that asked may be the one closing: the trunk is rebuilt then.
    const std::vector<int16_t> starts = branchStarts(document_.project());
    if (auto* grid = dynamic_cast<frmTubi*>(child);
        grid && std::find(starts.begin(), starts.end(), grid->firstNode()) == starts.end())
        child = trunk_;
    child->compilatab();
    child->aggiorna();
}

void TbMain::tileHorizontally() {
    // One above the other, each the full width of the frame.
    QList<QMdiSubWindow*> frames;
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (!frame->isMinimized())
            frames << frame;
    if (frames.isEmpty())
        return;
    const QRect area = mdi_->viewport()->rect();
    const int height = area.height() / int(frames.size());
    for (int i = 0; i < frames.size(); ++i) {
        QMdiSubWindow* frame = frames[i];
        frame->showNormal();
        frame->setGeometry(0, i * height, std::min(frame->width(), area.width()), height);
    }
}

void TbMain::arrangeIcons() {
    int x = 0;
    for (QMdiSubWindow* frame : mdi_->subWindowList()) {
        if (!frame->isMinimized())
            continue;
        frame->move(x, mdi_->viewport()->height() - frame->height());
        x += frame->width();
    }
}

void TbMain::setEditButtonsEnabled(bool enabled) {
    for (const int position : kEditPositions)
        toolbarPositions_[std::size_t(position - 1)]->setEnabled(enabled);
    if (enabled)
        updatePasteButton();
    // A grid window refreshed behind the active schema leaves the schema's rule in force,
    // the diameter steps following the schema's cursor.
    if (schema_ && schemaActive_) {
        setSchemaActive(true);
        schema_->scrollRule();
    }
}

bool TbMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdi_->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        popupMenu_->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TbMain::showHelp() {
    if (!help_) {
        help_ = new QTextBrowser(this);
        help_->setWindowFlag(Qt::Window);
        help_->setObjectName(QStringLiteral("Guida"));
        help_->setWindowTitle(QStringLiteral("Guida di Valmora"));
        help_->setOpenExternalLinks(false);
        help_->setSource(QUrl::fromLocalFile(helpFilePath()));
        help_->resize(kHelpWidth, kHelpHeight);
    }
    help_->show();
    help_->raise();
}

void TbMain::showNodeInItsGrid(int16_t firstNode, int16_t node) {
    if (frmTubi* grid = openGridWindow(firstNode)) {
        grid->rinfresca();
        grid->selectNode(node);
        grid->setFocus();
    }
}

void TbMain::showWarnings() {
    commitPendingEdits();
    if (!warnings_)
        warnings_ = new frmAvvisi(
            document_.project(), [this] { return networkChecks(); },
            [this](int16_t firstNode, int16_t node) { showNodeInItsGrid(firstNode, node); }, this);
    warnings_->setLoopPipeOpener([this](std::size_t pipe) { showLoopPipe(pipe); });
    bringForward(*warnings_);
}

void TbMain::showVerification() {
    commitPendingEdits();
    if (!verification_) {
        verification_ = new frmVerifica(
            document_.project(), interaction_,
            [this](int16_t firstNode, int16_t node) { showNodeInItsGrid(firstNode, node); }, this);
        verification_->setChangeRecorder(
            [this] { document_.recordSettingsChange(change_label::kVerificationSettings); });
    }
    bringForward(*verification_);
}

void TbMain::showCurves() {
    commitPendingEdits();
    if (!curves_) {
        curves_ = new frmCurve(
            document_.project(), interaction_,
            [this] {
                activeChild()->aggiorna();
                refreshOtherWindows(nullptr);
                recordChange(change_label::kDesignPressure, document_.session().currentNode);
            },
            this);
        curves_->setChangeRecorder([this] { document_.recordSettingsChange(change_label::kSupply); });
    }
    bringForward(*curves_);
}

// ---- history ----------------------------------------------------------------------

void TbMain::recordChange(const QString& label, int16_t cursorBefore) {
    document_.recordChange(label, cursorBefore);
}

bool TbMain::projectModified() {
    return document_.modified();
}

void TbMain::updateHistoryActions() {
    if (!undoAction_)
        return;
    undoAction_->setEnabled(document_.history().canUndo());
    undoAction_->setText(document_.history().canUndo()
                             ? QStringLiteral("Annulla ") + document_.history().undoLabel()
                             : QStringLiteral("Annulla"));
    redoAction_->setEnabled(document_.history().canRedo());
    redoAction_->setText(document_.history().canRedo()
                             ? QStringLiteral("Ripeti ") + document_.history().redoLabel()
                             : QStringLiteral("Ripeti"));
}

void TbMain::undo() {
    commitPendingEdits();
    if (const std::optional<ProjectHistory::Applied> applied = document_.undo())
        afterHistoryStep(*applied);
}

void TbMain::redo() {
    commitPendingEdits();
    if (const std::optional<ProjectHistory::Applied> applied = document_.redo())
        afterHistoryStep(*applied);
}

void TbMain::afterHistoryStep(const ProjectHistory::Applied& applied) {
    frmSchema* schema = schema_;
    const bool schemaWasActive =
        schema && mdi_->activeSubWindow() && mdi_->activeSubWindow()->widget() == schema;
    const bool loopPipesWereActive =
        loopPipes_ && mdi_->activeSubWindow() && mdi_->activeSubWindow()->widget() == loopPipes_;
    if (applied.shapeChanged) {
        // As the commands that change the shape: the schema is drawn again when opened, and the
        // windows of branches that are gone close.
        networkShapeChanged();
        for (QMdiSubWindow* frame : mdi_->subWindowList())
            if (auto* grid = qobject_cast<frmTubi*>(frame->widget()))
                grid->compilatab();
    }
    document_.calculate();
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget())) {
            frame->setWindowTitle(grid->caption()); // a branch's name may be back
            if (!grid->showsWholeBranch())
                grid->compilatab();
            grid->rinfresca();
        }
    if (schema && !applied.shapeChanged) {
        schema->networkRestored();
        if (schemaWasActive) {
            schema->SelectNode(applied.cursor);
            schema->setFocus();
        }
    }
    if (loopPipes_)
        loopPipes_->rinfresca(); // rebuilt when pipes came back or went
    if (loopPipesWereActive)
        loopPipes_->Griglia->setFocus();
    else if (!schemaWasActive || applied.shapeChanged)
        putCursorOnItsRow(applied.cursor);
    refreshWarnings();
    updateHistoryActions();
}

void TbMain::putCursorOnItsRow(int16_t node) {
    const int16_t first = branchStartOf(document_.project(), node);
    for (QMdiSubWindow* frame : mdi_->subWindowList())
        if (auto* grid = qobject_cast<frmTubi*>(frame->widget()); grid && grid->firstNode() == first) {
            mdi_->setActiveSubWindow(frame); // its rows show the results already
            grid->selectNode(node);
            grid->setFocus();
            return;
        }
    showNodeInItsGrid(first, node);
}

void TbMain::showAbout() {
    AboutBox about(this);
    interaction_.runDialog(about);
}

} // namespace valmora
