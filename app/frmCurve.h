#pragma once

// "Curve di funzionamento": the supply as the designer describes it (the fixed pressure of
// the project, a pump by three points, a water main by a flow test) and the chart of its
// curve against the demand curves of the whole network and of the verification's sets, each
// operating point marked, the reserve; "Adotta come pressione di progetto" makes the whole
// network's operating point the project's supply pressure. Exported as PNG or PDF. It stays
// open beside the grids and follows every change of the network a moment after it.

#include "app/NetworkFollowingDialog.h"
#include "model/Project.h"
#include "standards/OperatingCurves.h"

#include <functional>

class QChart;
class QChartView;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace valmora {

class Interaction;

class frmCurve : public NetworkFollowingDialog {
    Q_OBJECT
public:
    // `supplyChanged` recalculates and refreshes the windows after "Adotta come pressione di progetto".
    frmCurve(Project& project, Interaction& interaction, std::function<void()> supplyChanged,
             QWidget* parent = nullptr);

    QComboBox* cmbAlimentazione;
    QTableWidget* tblPompa; // three rows: flow, pressure
    QDoubleSpinBox* spnStatica;
    QDoubleSpinBox* spnResidua;
    QDoubleSpinBox* spnProva;
    QChartView* chartView;
    QLabel* lblPunti;
    QPushButton* btnAdotta;
    QPushButton* btnPng;
    QPushButton* btnPdf;

    const OperatingChart& chart() const { return chart_; }
    void adoptOperatingPressure();
    // Writes the chart beside the project as "<progetto>-curve.png" or ".pdf".
    void exportChart(bool png);

protected:
    void showNow() override;

private:
    void showSettings();
    void pumpCellChanged(int row, int column);
    void settingsChanged();
    void drawChart();
    QString exportPath(bool png);

    Project& project_;
    Interaction& interaction_;
    std::function<void()> supplyChanged_;
    OperatingChart chart_;
    bool showing_ = false;
};

} // namespace valmora
