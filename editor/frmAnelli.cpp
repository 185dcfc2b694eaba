#include "editor/frmAnelli.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Verification.h"
#include "platform/Interaction.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace valmora {

namespace {

const QStringList kCaptions = {QStringLiteral("Nome"),  QStringLiteral("Da"),      QStringLiteral("A"),
                               QStringLiteral("Metri"), QStringLiteral("L.virt."), QStringLiteral("Serie"),
                               QStringLiteral("Phi"),   QStringLiteral("Chiuso"),  QStringLiteral("Lt/min"),
                               QStringLiteral("m/s")};
const QString kTitle = QStringLiteral("Anelli");
const QColor kFastOrange(255, 170, 60); // as the grid windows mark what the checks say

QTableWidgetItem* readOnly(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

frmAnelli::frmAnelli(Project& project, const NetworkResults& results, Interaction& interaction,
                     QWidget* parent)
    : QDialog(parent), project_(project), interaction_(interaction) {
    setObjectName(QStringLiteral("frmAnelli"));
    setWindowTitle(kTitle);
    Griglia = new QTableWidget(0, kColumns, this);
    Griglia->setObjectName(QStringLiteral("Griglia"));
    Griglia->setHorizontalHeaderLabels(kCaptions);
    Griglia->setSelectionBehavior(QAbstractItemView::SelectRows);
    Griglia->setSelectionMode(QAbstractItemView::SingleSelection);
    const std::vector<LoopPipeRow> rows = computeLoopPipeRows(project_, results);
    for (std::size_t k = 0; k < project_.loopPipes.size(); ++k) {
        Griglia->insertRow(int(k));
        pipes_.push_back(k);
        fillRow(int(k), project_.loopPipes[k], k < rows.size() ? &rows[k] : nullptr);
    }
    Griglia->resizeColumnsToContents();
    // A series' name is long: its column shows the start, the whole name in the list.
    constexpr int kSeriesColumnWidth = 150;
    Griglia->setColumnWidth(kSerie, std::min(Griglia->columnWidth(kSerie), kSeriesColumnWidth));

    btnElimina = new QPushButton(QStringLiteral("&Elimina"), this);
    btnElimina->setObjectName(QStringLiteral("btnElimina"));
    btnOK = new QPushButton(QStringLiteral("O.K"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));
    connect(btnElimina, &QPushButton::clicked, this, [this] {
        const int row = Griglia->currentRow();
        if (row < 0)
            return;
        Griglia->removeRow(row);
        pipes_.erase(pipes_.begin() + row);
    });
    connect(btnOK, &QPushButton::clicked, this, &frmAnelli::apply);
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnElimina);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Griglia);
    layout->addLayout(buttons);
    resize(820, 320);
}

void frmAnelli::fillRow(int row, const LoopPipe& pipe, const LoopPipeRow* figures) {
    Griglia->setItem(row, kNome, new QTableWidgetItem(pipe.name));
    Griglia->setItem(row, kDa, readOnly(project_.NodeTable[std::size_t(pipe.nodeA)].name));
    Griglia->setItem(row, kA, readOnly(project_.NodeTable[std::size_t(pipe.nodeB)].name));
    Griglia->setItem(row, kMetri, new QTableWidgetItem(formatGeneral(pipe.length)));
    Griglia->setItem(row, kLVirt, new QTableWidgetItem(formatGeneral(pipe.virtualLength)));
    auto* series = new QComboBox(Griglia);
    for (const PipeSeries& s : project_.PipeCatalogue)
        series->addItem(oneLine(s.name));
    series->setCurrentIndex(pipe.seriesIndex);
    Griglia->setCellWidget(row, kSerie, series);
    auto* diameter = new QComboBox(Griglia);
    Griglia->setCellWidget(row, kDiametro, diameter);
    fillDiameters(row, pipe.seriesIndex, pipe.diameterIndex);
    connect(series, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, series](int index) {
        // The row the combo stands in now (rows above may have gone).
        for (int r = 0; r < Griglia->rowCount(); ++r)
            if (Griglia->cellWidget(r, kSerie) == series)
                fillDiameters(r, int16_t(index), 0);
    });
    auto* closed = new QTableWidgetItem;
    closed->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    closed->setCheckState(pipe.closed ? Qt::Checked : Qt::Unchecked);
    Griglia->setItem(row, kChiuso, closed);
    Griglia->setItem(row, kPortata, readOnly(figures ? formatPicture(figures->flow, u"#0") : QString()));
    QTableWidgetItem* velocity =
        readOnly(figures && figures->velocity ? formatPicture(*figures->velocity, u"#0.0") : QString());
    // Past the limit either way, marked as the grid windows mark a fast section.
    if (figures && figures->velocity && std::abs(*figures->velocity) > verification::kVelocityLimit) {
        velocity->setBackground(kFastOrange);
        velocity->setToolTip(
            QStringLiteral("Velocità oltre %1 m/s").arg(formatGeneral(verification::kVelocityLimit)));
    }
    Griglia->setItem(row, kVelocita, velocity);
}

void frmAnelli::fillDiameters(int row, int16_t series, int16_t diameter) {
    auto* combo = qobject_cast<QComboBox*>(Griglia->cellWidget(row, kDiametro));
    combo->clear();
    // A KV element has no diameters: its KV stands in the virtual length.
    if (!project_.isValidSeriesIndex(series))
        return;
    for (const PipeDiameter& d : project_.PipeCatalogue[std::size_t(series)].diameters)
        combo->addItem(d.label);
    combo->setCurrentIndex(project_.isValidDiameterIndex(series, diameter) ? diameter : 0);
    combo->setEnabled(combo->count() > 0);
}

void frmAnelli::apply() {
    std::vector<LoopPipe> pipes;
    for (int row = 0; row < Griglia->rowCount(); ++row) {
        LoopPipe pipe = project_.loopPipes[pipes_[std::size_t(row)]];
        pipe.name = Griglia->item(row, kNome)->text().trimmed();
        const std::optional<double> length = parseTypedLength(Griglia->item(row, kMetri)->text());
        const std::optional<double> virtualLength = parseTypedLength(Griglia->item(row, kLVirt)->text());
        if (!length || !virtualLength) {
            interaction_.inform(
                QStringLiteral("Lunghezza non valida nell'anello %1.").arg(quotedExcerpt(pipe.name)), kTitle,
                MessageIcon::Exclamation);
            return;
        }
        pipe.length = float(*length);
        pipe.virtualLength = float(*virtualLength);
        pipe.seriesIndex =
            int16_t(qobject_cast<QComboBox*>(Griglia->cellWidget(row, kSerie))->currentIndex());
        const int diameter = qobject_cast<QComboBox*>(Griglia->cellWidget(row, kDiametro))->currentIndex();
        pipe.diameterIndex = int16_t(std::max(diameter, 0));
        pipe.closed = Griglia->item(row, kChiuso)->checkState() == Qt::Checked;
        pipes.push_back(pipe);
    }
    changed_ = !(pipes == project_.loopPipes);
    project_.loopPipes = std::move(pipes);
    accept();
}

} // namespace valmora
