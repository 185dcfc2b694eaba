#pragma once

// The main window: a multiple-document frame holding the grid windows, with the menus,
// the toolbar, start-up, the file commands (new, open, save, save as, recent files),
// the network-wide diameter steps and shut-down. Its document (app/ProjectDocument.h)
// holds the project, its file, history and calculation; the window hands the project to
// every window and dialog. The menus and the toolbar are built in TbMainMenus.cpp.

#include "app/ProjectDocument.h"
#include "app/frmAvvisi.h"
#include "app/frmCurve.h"
#include "app/frmVerifica.h"
#include "editor/GridIcons.h"
#include "editor/GridWindowHost.h"
#include "editor/NetworkChecks.h"
#include "editor/frmAnelli.h"
#include "model/Project.h"
#include "platform/Interaction.h"
#include "report/Tabelle.h"
#include "schema/frmSchema.h"
#include "storage/CatalogueFiles.h"
#include "storage/RecentFiles.h"

#include <QMainWindow>
#include <QPointer>
#include <QPrinter>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTextBrowser;
class QTimer;
class QToolBar;

namespace valmora {

class ChildWindow;
class frmTubi;

inline const QString kMainTag = QStringLiteral("Main");
inline const QString kPickerTag = QStringLiteral("ListaTubi");
inline const QString kProjectFilter = QStringLiteral("Progetti Valmora (*.vlm)|*.vlm");
inline const QString kSaveFilter = QStringLiteral("Progetti Valmora (*.vlm)|*.vlm");
inline const QString kTableFilter = QStringLiteral("Tabelle per foglio di calcolo (*.csv)|*.csv");
inline const QString kTableExtension = QStringLiteral(".csv");
inline const QString kProjectExtension = QStringLiteral(".vlm");
inline const QString kSnippetFileName = QStringLiteral("Ritaglio.idx");
inline const QString kHelpFileName = QStringLiteral("guida.html");

class TbMain : public QMainWindow, public GridWindowHost, public SchemaHost {
    Q_OBJECT
public:
    TbMain(Interaction& interaction, std::unique_ptr<QSettings> recentFilesStore, CatalogueSearch catalogues,
           QWidget* parent = nullptr);
    ~TbMain() override;

    // Start-up: catalogues, recent files, the trunk window, the project named on the
    // command line or a new one, the calculation. False when a catalogue cannot be read
    // (the message naming file and line has been shown): the program must not start.
    bool start(const QString& commandLine);

    Project& project() { return document_.project(); }
    ProjectDocument& document() { return document_; }
    const RecentFiles& recentFiles() const { return recentFiles_; }
    frmTubi* trunkWindow() const { return trunk_; }
    QMdiArea* mdiArea() const { return mdi_; }

    // The commands, as the menus and the toolbar run them.
    void NewProject();
    // "Salvare prima?": false when the user asked to save and nothing was saved.
    bool AskSaveFirst();
    void RefreshAllWindows();
    void openProject();
    void openRecent(int entry);
    // True when the project was written.
    bool save();
    bool saveAs();
    // Values still in a grid's text box reach their nodes (or loop pipes).
    void commitPendingEdits() override;
    void stepAllDiameters(bool up);
    void showOptions();
    // "Stampa": the report on the printer, in the preview or as a PDF file.
    void showPrint();
    void showMaterials();
    // "Dati della relazione…": the project's data for the report's cover and signature.
    void editReportData();
    // "Esporta tabella…": the grids' rows and the verification's sections for a spreadsheet.
    void exportTable();
    // The network-wide tools: every pipe of a series, every terminal of a type, a comb of
    // sprinklers in place of the terminal at the end of the cursor's branch.
    void changePipeSeries();
    void changeTerminals();
    void createComb();
    // "Chiudi un anello...": a loop pipe from the cursor's node to another, named by the user.
    void closeRing();
    // "Anelli...": the loop pipes' window, opened or brought forward.
    void showLoopPipes();
    // The same with the cursor on one pipe (by its index).
    void showLoopPipe(std::size_t pipe);
    frmAnelli* loopPipesWindow() const { return loopPipes_; }
    // Grafts at the cursor node: another project's whole network ("&Importa"), or the
    // snippet "Ritaglio.idx" that "Copia" wrote ("Incolla").
    void importProject();
    void copySnippet();
    void pasteSnippet();
    // "schema": the schema window, opened or brought to the front.
    void showSchema();
    frmSchema* schemaWindow() const { return schema_; }
    void showHelp();
    void showAbout();
    // "Avvisi": the warnings of the whole network, beside the grid windows.
    void showWarnings();
    frmAvvisi* warningsWindow() const { return warnings_; }
    // "Verifica di norma": the verification against a standard, beside the grid windows.
    void showVerification();
    frmVerifica* verificationWindow() const { return verification_; }
    // "Curve di funzionamento" (the "Pompa" button): the supply against the demand.
    void showCurves();
    frmCurve* curvesWindow() const { return curves_; }

    // The child window the menus act on: the active one, else the trunk window.
    ChildWindow* activeChild() const;
    // Adds a grid window for the branch starting at `firstNode` (or brings it forward).
    frmTubi* openGridWindow(int16_t firstNode);

    // GridWindowHost
    void setEditButtonsEnabled(bool enabled) override;
    bool saveProject() override;
    void endProgram() override;
    bool endingProgram() const override { return ending_; }
    void openBranchWindow(int16_t firstNode) override;
    void showNode(int16_t node) override;
    void networkShapeChanged() override;
    void rebuildActiveWindow() override;
    void refreshOtherWindows(const QWidget* from) override;
    const NetworkChecks* networkChecks() override; // for the grid windows and the schema

    // SchemaHost
    void setSchemaActive(bool active) override;
    void setDiameterButtonsEnabled(bool enabled) override;
    void showBranchEditors(const std::vector<int16_t>& firstNodes) override;
    void schemaChangedNetwork() override;
    void schemaClosed() override { schema_ = nullptr; }
    QPrinter& sessionPrinter() override { return printer_; }

    QAction* toolbarButton(const QString& key) const;

    // "Annulla" and "Ripeti": the last change taken back or done again, the network
    // calculated, the windows as the change's command left them, the cursor on its row.
    void undo();
    void redo();
    const ProjectHistory& history() const { return document_.history(); }
    QAction* undoAction() const { return undoAction_; }
    QAction* redoAction() const { return redoAction_; }
    // GridWindowHost and SchemaHost
    void recordChange(const QString& label, int16_t cursorBefore) override;
    bool projectModified() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The edits being typed are stored, then `Dialog` (made on the project) runs modal; with
    // `recalculate`, the active window recalculates and shows the results after it closes.
    // `label` names the change in the history; empty for a dialog that changes nothing.
    template <typename Dialog, typename Subject>
    void runProjectDialog(Subject& subject, bool recalculate, const QString& label);
    void afterHistoryStep(const ProjectHistory::Applied& applied);
    // The cursor on the row of `node` in its branch's window, opened when it is not.
    void putCursorOnItsRow(int16_t node);
    void updateHistoryActions();
    void buildMenus();
    void buildToolbar();
    void loadRecentMenu();
    void addRecentFile(const QString& path);
    void setTitle();
    // Open and Open recent: the save question, then the file read whole, or nothing changes.
    void replaceProjectWith(const QString& path);
    void calculateAndShow();
    // The grid windows show the results as they stand.
    void showResultsEverywhere();
    // The windows of warnings and of the verification, when open, follow the network.
    void refreshWarnings();
    // Opens the row of `node` in the grid window of its branch.
    void showNodeInItsGrid(int16_t firstNode, int16_t node);
    void updatePasteButton();
    void arrangeIcons();
    void tileHorizontally();
    void fillWindowMenu();
    bool saveTo(const QString& path);
    bool activeIsGridWindow() const;
    void graft(const QByteArray& bytes, bool skipHeader, const QString& label);

    Interaction& interaction_;
    RecentFiles recentFiles_;
    ProjectDocument document_;
    GridIcons icons_;
    QMdiArea* mdi_;
    frmTubi* trunk_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::vector<QAction*> toolbarPositions_; // 17 positions, separators included
    std::array<QAction*, RecentFiles::kEntries> recentActions_{};
    QAction* recentSeparator_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QTextBrowser* help_ = nullptr;
    bool ending_ = false;
    NetworkChecks checks_;
    QPointer<frmSchema> schema_;
    QPointer<frmAvvisi> warnings_;
    QPointer<frmAnelli> loopPipes_;
    QPointer<frmVerifica> verification_;
    QPointer<frmCurve> curves_;
    bool schemaActive_ = false; // the schema holds the toolbar
    QTimer* gridsCatchUp_ = nullptr;
    // One printer for the session: the report's set-up chooses it, the schema prints on it.
    QPrinter printer_{QPrinter::HighResolution};
    // The parts of the report the designer ticked last in "Stampa", for the next time.
    std::optional<ReportSections> printSections_;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
};

} // namespace valmora
