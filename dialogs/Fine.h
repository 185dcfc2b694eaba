#pragma once

// "Terminale": the type and height ("Quota") of the terminal at one branch end, with the
// nominal data of the type and the pressure left there after the last calculation.
// The callers recalculate after it closes.

#include "model/Workspace.h"
#include "platform/Interaction.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace valmora {

class Fine : public QDialog {
    Q_OBJECT
public:
    // Edits the terminal of `project.terminalNode`, which must end in a terminal;
    // `pressureLeft` is shown as it is.
    // The terminal of the session's terminalNode.
    Fine(Workspace& workspace, Interaction& interaction, const QString& pressureLeft,
         QWidget* parent = nullptr);

    QComboBox* cmbTermina;
    QLineEdit* txtQuota;
    QLabel* lblKV;
    QLabel* lblQnom;
    QLabel* lblPnom;
    QLabel* lblResidua;
    QPushButton* btnOK;
    QPushButton* btnAnnulla;

private:
    void typeSelected(int index);
    void confirm();

    Project& project_;
    Interaction& interaction_;
    Terminal& terminal_;
    int16_t selectedType_;
    float openingHeight_;
};

} // namespace valmora
