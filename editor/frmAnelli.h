#pragma once

// "Anelli": the loop pipes of the project in a grid window beside the branches', one row a
// pipe: its name, the nodes it joins (the flow positive from the first to the second),
// metres, virtual metres, diameter and series, and the velocity, drop and flow of the last
// calculation. It is edited as a branch's window is: a character typed on the name or a
// length starts the edit and Enter stores it and moves on, the keypad's + and - or the
// toolbar step the diameter, F4 or the series' cell open the pipe picker, Enter on the
// results closes or opens the pipe, Delete takes the pipe away, and Enter on a node opens
// it in its branch's window. Every change is recalculated and is one step of the history.

#include "editor/GridWindowHost.h"
#include "model/DerivedQuantities.h"
#include "model/Workspace.h"
#include "platform/ChildWindow.h"
#include "platform/GridControl.h"
#include "platform/Interaction.h"

#include <QWidget>

#include <cstddef>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;

namespace valmora {

inline const QString kLoopPipesTitle = QStringLiteral("Anelli");
inline const QString kLoopPipesTag = QStringLiteral("anelli");

class frmAnelli : public QWidget, public ChildWindow {
    Q_OBJECT
public:
    frmAnelli(Workspace& workspace, Interaction& interaction, GridWindowHost& host,
              QWidget* parent = nullptr);
    ~frmAnelli() override;

    enum Column { kNome, kDa, kA, kMetri, kLVirt, kPhi, kTipo, kVelocita, kDP, kPortata, kColumns };

    GridControl* Griglia;
    QLabel* StatusBar1;
    QLineEdit* Txtedit; // the in-cell text box

    // ChildWindow
    QString tag() const override { return kLoopPipesTag; }
    bool isGridWindow() const override { return false; }
    void aggiorna(int16_t node = 0) override;
    void compilatab() override;
    void chiudi() override;
    void incphi() override { stepDiameter(true); }
    void decphi() override { stepDiameter(false); }
    // A loop pipe is added from its first node ("Chiudi un anello..."): said so.
    void Nuovo(bool inMiddle) override;
    // Takes the cursor's pipe away, once confirmed.
    void Cancella() override;
    // Closes or reopens the cursor's pipe.
    void Lok() override;
    // The equivalent-length calculator for the cursor's pipe.
    void LunEq() override;

    // Rewrites every cell from the pipes and the last calculation.
    void rinfresca();
    // The cursor on the pipe's row (by its index in the project).
    void selectPipe(std::size_t pipe);
    // The project's index of the cursor's pipe; none on the header or an empty grid.
    std::optional<std::size_t> cursorPipe() const;

    // The action of the cursor cell: double-click, Enter on the columns after the lengths.
    void cellAction();
    void changeSeries();
    void toggleDiameterLock();
    QMenu* rowMenu();

    void startEditing(QChar typed = QChar());
    bool editing() const;
    void finishEditing() { commitEdit(); }
    bool gridKey(QKeyEvent* event);

    // Wide enough for every column, tall enough for a few rows.
    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stepDiameter(bool up);
    // Recalculates, shows the results here and in every other window, and records the change.
    void changed(const QString& label, std::size_t pipe);
    void commitEdit();
    bool editKey(QKeyEvent* event);
    void moveAfterEnter();
    // One pipe's row; `why` what the checks say of its velocity (orange, as a tooltip).
    void writeRow(int row, const LoopPipe& pipe, const LoopPipeRow* figures, const QStringList& why);
    void showStatus();
    int lastRow() const { return Griglia->rows() - 1; }

    // The pipe the cursor was last seen on, by what names it: after the pipes came or went
    // (undo, a ring closed elsewhere) the cursor goes back to it, not to its old row.
    struct PipeIdentity {
        int16_t nodeA = 0, nodeB = 0;
        QString name;
    };
    std::optional<PipeIdentity> atCursor_;

    Workspace& workspace_;
    Project& project_;
    NetworkResults& results_;
    Interaction& interaction_;
    GridWindowHost& host_;
    QMenu* rowMenu_ = nullptr;
    QAction* lockAction_ = nullptr;
};

} // namespace valmora
