#pragma once

// The schema window: the whole tree on the cell board, the terminals' flow, height and type
// beside their rows. A click shows a node's data in the status line; a double click opens the
// grid windows of the node's branch, or the terminal dialog of the row's terminal; the main
// window's commands step the diameter under the cursor, close or open it, or open the
// equivalent-length dialog. The board is laid out once: a change of the tree's shape closes
// the window.

#include "model/Workspace.h"

#include "platform/ChildWindow.h"
#include "schema/SchemaLayout.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <vector>

class QKeyEvent;
class QPoint;
class QPrinter;
class QLabel;
class QPushButton;

namespace valmora {

class GridControl;
class SchemaLoopOverlay;
class Interaction;
class NetworkChecks;

// What the schema asks of the main window that holds it.
class SchemaHost {
public:
    virtual ~SchemaHost() = default;
    // While the schema is active the editing and snippet buttons are off; they come back
    // when it is no longer active.
    virtual void setSchemaActive(bool active) = 0;
    // The window has closed: it shows nothing any more, whenever Qt gets to delete it.
    virtual void schemaClosed() {}
    // The diameter steps, on while the cursor's row is in view.
    virtual void setDiameterButtonsEnabled(bool enabled) = 0;
    // Grid windows for exactly these derived branches (by first node), the trunk's besides.
    virtual void showBranchEditors(const std::vector<int16_t>& firstNodes) = 0;
    // The schema changed the network's data: the grid windows show the new results.
    virtual void schemaChangedNetwork() = 0;
    // The session's printer, as "Stampa" -> "Opzioni stampante" set it up.
    virtual QPrinter& sessionPrinter() = 0;
    // The checks of the last results, which the schema marks as the grid windows do; nullptr
    // when there are none.
    virtual const NetworkChecks* networkChecks() = 0;
    // A change made on the schema is done: one step of the history, as the grid windows' are.
    virtual void recordChange(const QString& label, int16_t cursorBefore) {
        (void)label;
        (void)cursorBefore;
    }
};

inline const QString kSchemaTag = QStringLiteral("Schema");

class frmSchema : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    frmSchema(Workspace& workspace, Interaction& interaction, SchemaHost& host, QWidget* parent = nullptr);
    ~frmSchema() override;

    GridControl* GFSchema;
    SchemaLoopOverlay* loopPipes_; // the loop pipes drawn over the board
    int16_t ringFrom_ = 0;         // picking the node to close a ring to from this one
    QLabel* StatusBar1;
    QPushButton* btnPort;

    const SchemaLayout& board() const { return board_; }
    int treeCols() const { return board_.treeCols(); }
    // The node of the current cell; 0 outside the tree columns or on a cell without a node.
    int16_t currentNode() const;

    // The window became the active one: the cursor on the focus node, the toolbar, a refresh.
    void activated();
    // "decphi" and "incphi" on while the cursor's row is in view.
    void scrollRule();

    // ChildWindow
    QString tag() const override { return kSchemaTag; }
    bool isGridWindow() const override { return false; }
    void aggiorna(int16_t node = 0) override;
    void compilatab() override {}
    void chiudi() override;
    void incphi() override { StepDiameter(true); }
    void decphi() override { StepDiameter(false); }
    void Nuovo(bool) override {}
    void Cancella() override {}
    void Lok() override;
    void LunEq() override;

    void SelectNode(int16_t node);
    // The pick of a loop pipe's second node by a click, from the node menu's command.
    void startRingPick(int16_t from);
    bool pickingRing() const { return ringFrom_ > 0; }
    // The network was put back by "Annulla" or "Ripeti" (its shape unchanged) and calculated:
    // the closed sections' marks, the sizes and the results as they now stand.
    void networkRestored();
    void StepDiameter(bool up);
    void OpenBranchEditors(int16_t node);
    void ShowNodeStatus(int16_t node);
    // The terminal dialog of the current row's terminal (F12, a double click right of the tree).
    void openTerminalOfCurrentRow();
    // The printout on the system's printer; "Esporta PDF" beside the project.
    void printSchema();
    void exportPdf();

    QSize sizeHint() const override { return windowSize_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void fillGrid();
    void showTexts();
    void showTerminalColumns();
    void showCellText(int r, int c);
    void markSection(int r, int c);
    bool keyPreview(QKeyEvent* event);
    void gridClicked();
    void nodeMenu(const QPoint& at);
    void closeRingTo(int16_t to);
    void gridDoubleClicked();
    void recalculate();
    // After one node's change: the quick update from that node, the terminal columns, the grids.
    void quickUpdate(int16_t changed);
    bool currentIsTreeCell() const;
    void placeControls();
    // What the window's height counted above its contents: the caption and borders.
    int captionHeight() const;
    void sizeWindow();

    Workspace& workspace_;

    Project& project_;

    NetworkResults& results_;

    Session& session_;
    Interaction& interaction_;
    SchemaHost& host_;
    SchemaLayout board_;
    std::array<QPixmap, kSchemaPictureCount + 1> pictures_;
    int gridWidth_ = 0;
    int gridHeight_ = 0;
    QSize windowSize_;
    bool shown_ = false;
    bool watchingFrame_ = false;
};

} // namespace valmora
