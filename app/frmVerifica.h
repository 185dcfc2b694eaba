#pragma once

// "Verifica di norma": the standard and its level or hazard class, the coverage of a
// sprinkler, the role of each terminal type in use, how many work at once and for how long;
// then every scenario's most unfavourable and most favourable sets, their members coloured
// by pass or fail, the demand point and the reserve, and the verdict in words. The designer
// may replace a found set by one of their own. A double click on a member opens its row in
// its grid window. The window stays open beside the grids and follows every change of the
// network (a moment after it, so that typing stays quick on a large network).

#include "app/NetworkFollowingDialog.h"
#include "model/Project.h"
#include "standards/StandardVerification.h"

#include <functional>
#include <map>
#include <set>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace valmora {

class GridControl;
class Interaction;

class frmVerifica : public NetworkFollowingDialog {
    Q_OBJECT
public:
    // `open` shows the row of a node in the grid window of its branch.
    frmVerifica(Project& project, Interaction& interaction,
                std::function<void(int16_t firstNode, int16_t node)> open, QWidget* parent = nullptr);

    QComboBox* cmbNorma;
    QSpinBox* spnLivello;
    QComboBox* cmbClasse;
    QDoubleSpinBox* spnCopertura;
    QTableWidget* tblRuoli;   // terminal type | role
    QTableWidget* tblScenari; // role | working at once | minutes
    GridControl* GrVerifica;  // the members of every scenario's sets
    QLabel* lblEsito;
    QComboBox* cmbInsieme;   // the role whose set the designer chooses
    QComboBox* cmbPosizione; // which position: the most unfavourable or the most favourable
    QPushButton* btnScegli;
    QPushButton* btnRicerca; // the designer's set of the role and position taken away
    QCheckBox* chkQualunque; // any set instead of the standard's areas

    const StandardCheck& check() const { return check_; }
    void openRow(int row);
    // The designer's set for the chosen role and position: `chosen` the terminals ticked
    // (none: the designer's set taken away).
    void setDesignerSet(TerminalRole role, const std::vector<int16_t>& chosen);

protected:
    void showNow() override;

private:
    void showSettings();
    void buildRoleRows(const std::set<int16_t>& types);
    void buildScenarioRows(const std::vector<TerminalRole>& roles);
    void settingsChanged();
    void verify();
    void showCheck();
    void chooseSet();
    TerminalRole chosenRole() const;
    bool chosenUnfavourable() const;

    Project& project_;
    Interaction& interaction_;
    std::function<void(int16_t, int16_t)> open_;
    StandardCheck check_;
    bool showing_ = false;                 // the settings are being written into the controls
    std::set<int16_t> shownTypes_;         // the rows of tblRuoli
    std::vector<TerminalRole> shownRoles_; // the rows of tblScenari
};

} // namespace valmora
