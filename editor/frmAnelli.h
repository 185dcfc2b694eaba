#pragma once

// "Anelli": the loop pipes of the project as a grid, one row a pipe: its name, the nodes it
// joins (the flow positive from the first to the second), metres, virtual metres, series and
// diameter, closed, and the flow and velocity of the last calculation. Name, lengths, series,
// diameter and closing are edited in place; "Elimina" takes the selected pipe away. Nothing
// changes before "O.K", which refuses a length it cannot read, naming the pipe; the caller
// recalculates.

#include "model/DerivedQuantities.h"
#include "model/NetworkResults.h"
#include "model/Project.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace valmora {

class Interaction;

class frmAnelli : public QDialog {
    Q_OBJECT
public:
    frmAnelli(Project& project, const NetworkResults& results, Interaction& interaction,
              QWidget* parent = nullptr);

    QTableWidget* Griglia;
    QPushButton* btnElimina;
    QPushButton* btnOK;
    QPushButton* btnAnnulla;

    // Whether "O.K" wrote anything into the project.
    bool changed() const { return changed_; }

    enum Column { kNome, kDa, kA, kMetri, kLVirt, kSerie, kDiametro, kChiuso, kPortata, kVelocita, kColumns };

private:
    void fillRow(int row, const LoopPipe& pipe, const LoopPipeRow* figures);
    void fillDiameters(int row, int16_t series, int16_t diameter);
    void apply();

    Project& project_;
    Interaction& interaction_;
    std::vector<std::size_t> pipes_; // the project's index of each row's pipe
    bool changed_ = false;
};

} // namespace valmora
