#pragma once

// "Crea una distribuzione a pettine di erogatori": five numbers (take-offs, the two
// spacings, the nozzles on either side), a summary to confirm, then the comb in place of the
// terminal at the end of the branch. Refuses what it cannot build before building anything.

#include "editor/NetworkTools.h"

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace valmora {

class Interaction;

class frmMatrice : public QDialog {
    Q_OBJECT
public:
    // `endNode`: the last node of the branch, which ends in the terminal the comb replaces.
    frmMatrice(Project& project, Interaction& interaction, int16_t endNode, QWidget* parent = nullptr);

    static constexpr int kBoxes = 5;
    std::array<QLineEdit*, kBoxes + 1> txtArr{}; // 1 to 5, as the values are numbered
    QLabel* lblTesto;
    QPushButton* btnOK;
    QPushButton* btnAnnulla;

    // Nodes the confirmed comb added; 0 while nothing was built.
    int nodesAdded() const { return added_; }

private:
    void boxEdited(int box);
    void confirm();
    QString boxLabel(int box) const;

    Project& project_;
    Interaction& interaction_;
    int16_t endNode_;
    int16_t combTerminalType_;
    tools::CombSettings settings_;
    std::array<bool, kBoxes + 1> valid_{};
    std::array<QString, kBoxes + 1> problem_;
    int added_ = 0;
};

} // namespace valmora
