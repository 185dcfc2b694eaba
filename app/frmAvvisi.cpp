#include "app/frmAvvisi.h"

#include "editor/NetworkChecks.h"
#include "editor/frmTubi.h"
#include "model/MessageText.h"
#include "model/Traversal.h"
#include "platform/GridControl.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace valmora {

namespace {
const QString kLoopPipesCaption = QStringLiteral("Anelli");
} // namespace

namespace {

const QString kFormat = QStringLiteral("Ramo|Tratto|Avviso");
constexpr int kBranchColumnTwips = 2400;
constexpr int kNodeColumnTwips = 2400;
constexpr int kWarningColumnTwips = 7200;
constexpr int kWindowWidth = 840;
constexpr int kWindowHeight = 360;

} // namespace

frmAvvisi::frmAvvisi(const Project& project, std::function<const NetworkChecks*()> checks,
                     std::function<void(int16_t, int16_t)> open, QWidget* parent)
    : QDialog(parent), project_(project), checks_(std::move(checks)), open_(std::move(open)) {
    setObjectName(QStringLiteral("frmAvvisi"));
    setWindowTitle(QStringLiteral("Avvisi"));
    setModal(false);
    GrAvvisi = new GridControl(this);
    GrAvvisi->setObjectName(QStringLiteral("GrAvvisi"));
    GrAvvisi->setFormatString(kFormat);
    GrAvvisi->setColumnWidthTwips(0, kBranchColumnTwips);
    GrAvvisi->setColumnWidthTwips(1, kNodeColumnTwips);
    GrAvvisi->setColumnWidthTwips(2, kWarningColumnTwips);
    GrAvvisi->setVerticalScrollBar(true);
    lblTotale = new QLabel(this);
    lblTotale->setObjectName(QStringLiteral("lblTotale"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GrAvvisi, 1);
    layout->addWidget(lblTotale);
    connect(GrAvvisi, &GridControl::gridDoubleClicked, this, [this] { openRow(GrAvvisi->row()); });
    resize(kWindowWidth, kWindowHeight);
}

void frmAvvisi::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refresh();
}

void frmAvvisi::refresh() {
    const NetworkChecks* checks = checks_();
    warnings_ = checks && checks->valid() ? networkWarnings(project_, checks->verification())
                                          : std::vector<NetworkWarning>{};
    GrAvvisi->setRedraw(false);
    GrAvvisi->setRows(1);
    for (const NetworkWarning& warning : warnings_) {
        // A loop pipe's warning stands under "Anelli" with the pipe's name; its row opens the
        // pipe in the loop pipes' window (the branch of its first node where there is none).
        const bool loopPipe =
            warning.loopPipe >= 0 && std::size_t(warning.loopPipe) < project_.loopPipes.size();
        const QString where =
            loopPipe ? kLoopPipesCaption : gridCaption(project_, branchStartOf(project_, warning.node));
        const QString name = loopPipe ? project_.loopPipes[std::size_t(warning.loopPipe)].name
                                      : project_.NodeTable[warning.node].name;
        GrAvvisi->addItem(where + u'\t' + oneLine(name) + u'\t' + asSentence(warning.text));
        GrAvvisi->setRowData(GrAvvisi->rows() - 1, warning.node);
    }
    GrAvvisi->setRedraw(true);
    if (!checks || !checks->valid())
        lblTotale->setText(QStringLiteral("Nessuna verifica: la soluzione a convergenza non è disponibile."));
    else if (warnings_.empty())
        lblTotale->setText(QStringLiteral("Nessun avviso."));
    else if (std::none_of(warnings_.begin(), warnings_.end(),
                          [](const NetworkWarning& w) { return w.loopPipe >= 0; }))
        lblTotale->setText(QStringLiteral("Avvisi: %1. Doppio clic su una riga per aprirla nel suo ramo.")
                               .arg(warnings_.size()));
    else
        lblTotale->setText(
            QStringLiteral(
                "Avvisi: %1. Doppio clic su una riga per aprirla nel suo ramo o nella finestra Anelli.")
                .arg(warnings_.size()));
}

void frmAvvisi::openRow(int row) {
    if (row < 1 || row >= GrAvvisi->rows())
        return;
    const NetworkWarning& warning = warnings_[std::size_t(row - 1)];
    if (warning.loopPipe >= 0 && std::size_t(warning.loopPipe) < project_.loopPipes.size()) {
        if (openLoopPipe_) {
            openLoopPipe_(std::size_t(warning.loopPipe));
            return;
        }
    }
    const auto node = static_cast<int16_t>(GrAvvisi->rowData(row));
    if (project_.isValidNodeIndex(node))
        open_(branchStartOf(project_, node), node);
}

} // namespace valmora
