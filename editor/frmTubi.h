#pragma once

// A grid window: one branch of the network, one row per node from the branch's first
// node along `next`. The trunk window ("Origine impianto", tag "1") stays open for the
// whole run; each derived branch opens in a window of its own ("Deriv. da ...").

#include "editor/GridIcons.h"
#include "editor/GridWindowHost.h"
#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/Workspace.h"
#include "platform/ChildWindow.h"
#include "platform/GridControl.h"
#include "platform/Interaction.h"

#include <QWidget>

class QKeyEvent;

class QAction;
class QLabel;
class QMenu;
class QLineEdit;

namespace valmora {

class NetworkChecks;

// Grid columns.
namespace grid_column {
constexpr int kNome = 0;
constexpr int kMetri = 1;
constexpr int kLVirt = 2;
constexpr int kPhi = 3;
constexpr int kTipo = 4;
constexpr int kOut = 5;
constexpr int kVelocity = 6;
constexpr int kDrop = 7;
constexpr int kSumDp = 8;
constexpr int kFlow = 9;
constexpr int kCount = 10;
} // namespace grid_column

inline const QString kGridFormat =
    QStringLiteral("Nome|>Metri |>L.virt. |>Phi |>Tipo |<Out |>m/s|>D.P. |>SumDp |>Lt/min");
inline const QString kTrunkCaption = QStringLiteral("Origine impianto");
inline const QString kDerivedCaptionPrefix = QStringLiteral("Deriv. da ");

// The captions of the drop columns: "D.P. ", "SumDp " in mm, as they have always read; the
// unit after them in any other ("D.P. bar").
QString dropCaption(PressureUnit unit, bool cumulative);

// The caption of the grid window of the branch starting at `firstNode`.
QString gridCaption(const Project& project, int16_t firstNode);

class frmTubi : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    frmTubi(Workspace& workspace, Interaction& interaction, GridWindowHost& host, const GridIcons& icons,
            int16_t firstNode, QWidget* parent = nullptr);
    // The grid outlives this part of the window while Qt takes the children down, and may
    // still report losing the focus: it no longer reaches the window then.
    ~frmTubi() override;

    GridControl* Griglia;
    QLabel* StatusBar1;
    QLineEdit* Txtedit; // the in-cell text box

    // ChildWindow
    QString tag() const override { return QString::number(firstNode_); }
    bool isGridWindow() const override { return true; }
    void aggiorna(int16_t node = 0) override;
    void compilatab() override;
    void chiudi() override;
    void incphi() override { stepDiameter(true); }
    void decphi() override { stepDiameter(false); }
    // Appends a node at the end of the branch, or inserts one before the cursor node.
    void Nuovo(bool inMiddle) override;
    void Cancella() override;
    // Closes or reopens the cursor node's section.
    void Lok() override;
    // The equivalent-length calculator for the cursor node, whose equivalent length it hands back.
    void LunEq() override;

    int16_t firstNode() const { return firstNode_; }
    // The cursor on the row of `node`, brought into view; nothing when the branch lacks it.
    void selectNode(int16_t node);
    // The branch's first node changed (insert or delete at the first row): the tag follows it.
    void setFirstNode(int16_t node);

    // A derived branch at the cursor node, named by the user.
    void dirama();
    // The action of the cursor cell: double-click, Enter on columns 3 to 5, F4, F5, F9, F12.
    void cellAction();
    // Another pipe series for the cursor node, from the pipe picker.
    void changeSeries();
    // Locks or unlocks the cursor node's diameter against the network-wide steps.
    void toggleDiameterLock();
    // The right-click menu of the cursor row ("Blocca diametro" / "Sblocca diametro").
    QMenu* rowMenu();

    // In-cell editing: starts with a typed character, or with the cell's text.
    void startEditing(QChar typed = QChar());
    bool editing() const;
    // A value still in the text box reaches its node.
    void finishEditing() { commitEdit(); }
    // The window's keys, seen before the grid's; true when handled.
    bool gridKey(QKeyEvent* event);
    bool isTrunk() const { return firstNode_ == 1; }
    void showPressureCaptions();
    QString caption() const;

    // Rewrites every cell from the nodes and the last calculation.
    void rinfresca();
    // True while the rows are the nodes of the branch, in order (no rebuild needed).
    bool showsWholeBranch() const;
    // The status line from the branch's last node.
    void Piedino();
    // Column 5's picture: 0 blank, 1 arrow up, 2 arrow right, 3 arrow down, 4 the
    // terminal of the row's node.
    void icona(int row, int icon);
    // A click on the status line: the terminal dialog for the branch's last node.
    void statusLineClicked();
    // "Salvare prima di uscire?": true when the program may end.
    bool askSaveBeforeExit();

    // Sizes, in twips, that the window and its grid take.
    int gridHeightTwips() const { return gridHeightTwips_; }
    int windowHeightTwips() const { return windowHeightTwips_; }
    bool scrollBarWanted() const { return scrollBarWanted_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void stepDiameter(bool up);
    // The whole calculation; a network it cannot compute is named in a message.
    void recalculate();
    // A calculation refused: the message naming the node.
    void reportOutcome(const CalculationOutcome& outcome);
    // rinfresca, and every other open grid window shows the new results too.
    void showResults();
    // An end without terminal: asks whether to add one; true when added.
    bool offerTerminal(int16_t end);
    void colourDiameterCell(int row, const Node& node);
    void colourResultCells(int row, const Node& node);
    void commitEdit();
    bool editKey(QKeyEvent* event);
    void moveAfterEnter();
    void terminalAction();
    void afterStructureChange(int16_t recalculateFrom, int row);
    bool refuseWhenFull(bool added);
    int16_t cursorNode() const { return nodeOfRow(Griglia->row()); }
    void writeRowCells(int row, const BranchRow& results, const NetworkChecks* checks);
    // A terminal or a velocity that the checks flag: orange, with the reason as tooltip.
    void markChecks(int row, int16_t node, const NetworkChecks* checks);
    void setRowIconAndColours(int row, const Node& node);
    void sizeWindow();
    void frameStateChanged(Qt::WindowStates previous, Qt::WindowStates now);
    static bool inNormalState(const QWidget* frame);
    int windowWidthPixels() const;
    void updateToolbar();
    void cursorMoved();
    int16_t nodeOfRow(int row) const { return static_cast<int16_t>(Griglia->rowData(row)); }
    int lastRow() const { return Griglia->rows() - 1; }

    Workspace& workspace_;

    Project& project_;

    NetworkResults& results_;

    Session& session_;
    Interaction& interaction_;
    GridWindowHost& host_;
    const GridIcons& icons_;
    int16_t firstNode_;
    int gridHeightTwips_ = 0;
    int windowHeightTwips_ = 0;
    bool scrollBarWanted_ = false;
    bool watchingFrame_ = false;
    QMenu* rowMenu_ = nullptr;
    QAction* lockAction_ = nullptr;
};

} // namespace valmora
