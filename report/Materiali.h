#pragma once

// "Materiali": the materials of the network as they stand when the window opens, pipes
// under the "Tubi" tab and terminals under "Terminali", and a button that writes the same
// lists to a text file beside the project. Modal; the lists are not refreshed while open.

#include "model/Workspace.h"
#include "platform/Interaction.h"
#include "report/Materials.h"

#include <QDialog>

class QPushButton;
class QTabBar;

namespace valmora {

class GridControl;

class Materiali : public QDialog {
    Q_OBJECT
public:
    // Computes the materials of `project` and fills both lists.
    Materiali(Workspace& workspace, Interaction& interaction, QWidget* parent = nullptr);

    QTabBar* TabStrip;
    GridControl* TubiGrid;
    GridControl* RadGrid;
    QPushButton* btnFileTxt;
    QPushButton* btnEsci;

    // Writes "<project>.txt" and says so, or why it could not.
    void writeTextFile();

private:
    void showTab(int index);

    Project& project_;
    MaterialsTotals totals_; // of the network as it stood when the window opened
    Interaction& interaction_;
};

} // namespace valmora
