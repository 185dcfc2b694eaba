#include "editor/lstTubi.h"

#include "model/Catalogues.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace valmora {

namespace {
// The bore a KV element is taken to have when it becomes a pipe.
constexpr float kKvBore = 1.0f;
constexpr int kListTextMargins = 12; // an item's text from the list's edges
} // namespace

lstTubi::lstTubi(const Project& project, QWidget* parent) : QDialog(parent), project_(project) {
    setObjectName(QStringLiteral("lstTubi"));
    setProperty("tag", QStringLiteral("ListaTubi"));
    setWindowTitle(QStringLiteral("Tubi"));
    ListaTB = new QListWidget(this);
    ListaTB->setObjectName(QStringLiteral("ListaTB"));
    ListaTB->setToolTip(QStringLiteral("Click per selezionare o Escape per annullare"));
    for (const PipeSeries& series : project_.PipeCatalogue)
        ListaTB->addItem(series.name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(ListaTB);
    // Wide enough for every series' whole name: names cut short read alike.
    int widest = 0;
    for (int i = 0; i < ListaTB->count(); ++i)
        widest = std::max(widest, ListaTB->fontMetrics().horizontalAdvance(ListaTB->item(i)->text()));
    ListaTB->setMinimumWidth(widest + ListaTB->verticalScrollBar()->sizeHint().width() +
                             4 * ListaTB->frameWidth() + kListTextMargins);
    ListaTB->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(ListaTB, &QListWidget::itemDoubleClicked, this, [this] { choose(); });
}

void lstTubi::prepare(int16_t series, int16_t diameterIndex) {
    openingSeries_ = chosenSeries_ = series;
    diameterIndex_ = diameterIndex;
    ListaTB->setCurrentRow(series);
    openingBore_ =
        project_.isValidDiameterIndex(series, diameterIndex) && series > 0
            ? project_.PipeCatalogue[std::size_t(series)].diameters[std::size_t(diameterIndex)].innerDiameter
            : kKvBore;
}

void lstTubi::choose() {
    const int selected = ListaTB->currentRow();
    // A series without diameters cannot hold a pipe.
    if (selected < 0 || (selected >= 1 && project_.PipeCatalogue[std::size_t(selected)].diameters.empty()))
        return;
    chosenSeries_ = static_cast<int16_t>(selected);
    if (selected >= 1 && selected != openingSeries_)
        diameterIndex_ = NearestDiameterIndex(project_.PipeCatalogue[std::size_t(selected)], openingBore_);
    accept();
}

void lstTubi::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        choose();
        return;
    }
    QDialog::keyPressEvent(event); // Escape rejects: the series chosen stays the opening one
}

} // namespace valmora
