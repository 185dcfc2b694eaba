#pragma once

// "Cambia tipo di tubo in tutto l'impianto" and "Cambia i terminali dell'impianto": one
// list of what the network uses, one of what it may become, "O.K" and "Annulla". Nothing
// changes before "O.K"; the caller recalculates. With nothing to change, "O.K" is off and
// a line says why.

#include "model/Project.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace valmora {

class Interaction;

class GlobalChangeDialog : public QDialog {
    Q_OBJECT
public:
    QComboBox* Combo1;  // what the network uses
    QComboBox* Combo2;  // what it may become
    QLabel* lblNothing; // why "O.K" is off
    QPushButton* btnOK;
    QPushButton* btnAnnulla;

protected:
    GlobalChangeDialog(Project& project, Interaction& interaction, QWidget* parent);
    // Lays the window out with its texts, once the lists are filled.
    void build(const QString& caption, const QString& sourceLabel, const QString& note,
               const QString& nothingText);
    virtual void apply() = 0;

    Project& project_;
    Interaction& interaction_;
};

class frmCambiaTB : public GlobalChangeDialog {
    Q_OBJECT
public:
    frmCambiaTB(Project& project, Interaction& interaction, QWidget* parent = nullptr);

private:
    void apply() override;
};

class frmCambiaFine : public GlobalChangeDialog {
    Q_OBJECT
public:
    frmCambiaFine(Project& project, Interaction& interaction, QWidget* parent = nullptr);

private:
    void apply() override;
};

} // namespace valmora
