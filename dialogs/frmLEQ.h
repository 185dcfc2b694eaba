#pragma once

// "Lunghezze equivalenti": the equivalent length of a pipe node's fittings, from a loss
// and a flow, from a KV value, or by adding up fittings from the table. Works on
// the session's `editNode`, prepared by the caller with its flow and the loss of its
// fittings (loadEditNode); "Riporta" writes the total into editNode.virtualLength.

#include "model/Workspace.h"
#include "platform/Interaction.h"

#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace valmora {

class frmLEQ : public QDialog {
    Q_OBJECT
public:
    frmLEQ(Workspace& workspace, Interaction& interaction, QWidget* parent = nullptr);

    QLabel* lblTitolo;
    QLabel* lblLE;
    QTabBar* TabStrip1;
    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QGroupBox* Frame3;
    QLineEdit* txtMm;
    QLineEdit* txtLt;
    QLineEdit* txtKV;    // m³/min at a drop of 1 bar, as the calculation takes a KV
    QLabel* lblKVOrario; // the same KV in m³/h, the unit of valve catalogues
    std::array<QLabel*, 6> lblB{};
    std::array<QPushButton*, 6> lblA{}; // the values: a click adds one to the total
    QPushButton* btnCalcola;
    QPushButton* Command1;
    QPushButton* btnRiporta;
    QPushButton* btnAnnulla;

    float total() const { return total_; }

    void btnCalcolaClick();
    void addFitting(int fitting);

private:
    void showTab(int tab);
    void showTotal(const QString& text);
    QGroupBox* buildLossFrame();
    QGroupBox* buildKvFrame();
    QGroupBox* buildTableFrame();

    Project& project_;
    Session& session_;
    Interaction& interaction_;
    float length_;   // L, the last computed length
    float perMetre_; // resistance of one metre of this pipe
    float total_;    // what "Riporta" hands back
    std::array<float, 6> fittingValues_{};
};

} // namespace valmora
