#pragma once

// "Avvisi": everything the checks of the last calculation say of the whole network, one row
// each: terminals far from the converged solution or below their nominal pressure, dry
// terminals, ends without terminal that pour water out, sections over the velocity limit,
// with the branch each stands in. A warning in a derived branch is seen from the trunk; a
// double click opens the row in its grid window. It stays open beside the grids and follows
// every change of the network.

#include "model/Project.h"
#include "model/Verification.h"

#include <QDialog>

#include <cstddef>
#include <functional>
#include <vector>

class QLabel;

namespace valmora {

class GridControl;
class NetworkChecks;

class frmAvvisi : public QDialog {
    Q_OBJECT
public:
    // `checks` gives the checks of the last results (nullptr when there are none); `open`
    // shows the row of a node in the grid window of its branch.
    frmAvvisi(const Project& project, std::function<const NetworkChecks*()> checks,
              std::function<void(int16_t firstNode, int16_t node)> open, QWidget* parent = nullptr);

    GridControl* GrAvvisi;
    QLabel* lblTotale;

    // A loop pipe's row opens the pipe in the loop pipes' window, by its index.
    void setLoopPipeOpener(std::function<void(std::size_t pipe)> open) { openLoopPipe_ = std::move(open); }

    // Lists the warnings again, when the window is shown.
    void refresh();
    const std::vector<NetworkWarning>& warnings() const { return warnings_; }
    void openRow(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const Project& project_;
    std::function<const NetworkChecks*()> checks_;
    std::function<void(int16_t, int16_t)> open_;
    std::function<void(std::size_t)> openLoopPipe_;
    std::vector<NetworkWarning> warnings_;
};

} // namespace valmora
