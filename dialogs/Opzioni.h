#pragma once

// "Opzioni": the supply pressure (in metres, with a slider previewing the total flow) and
// the project comment, and the unit pressures are shown in. Refuses a pressure below twice the
// highest terminal.

#include "model/Workspace.h"
#include "platform/Interaction.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace valmora {

class Opzioni : public QDialog {
    Q_OBJECT
public:
    Opzioni(Workspace& workspace, Interaction& interaction, QWidget* parent = nullptr);

    QLineEdit* txtPrevalenza;
    QScrollBar* Scroll;
    QLabel* lblQ;
    QPlainTextEdit* txtCommento;
    QComboBox* cmbUnita; // "Unità di pressione"
    QLabel* lblInUnita;  // the pressure in the box, in the unit chosen
    QPushButton* btnOK;
    QPushButton* btnAnnulla;

    // The text box losing the focus: a pressure within the slider's range moves it.
    void leavePressureBox();

private:
    void showPreview(double metres);
    void showInUnit();
    void sliderMoved(int metres);
    void confirm();
    void restoreOpeningPressure();
    bool eventFilter(QObject* watched, QEvent* event) override;

    Project& project_;
    NetworkResults& results_;
    Interaction& interaction_;
    float openingMetres_;
};

} // namespace valmora
