#include "report/Materiali.h"

#include "platform/GridControl.h"
#include "report/Materials.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include <array>
#include <numeric>

namespace valmora {

namespace {

constexpr int kPipesTab = 0;

const QString kPipeFormat = QStringLiteral("Serie|>Diam. |>Metri|>Peso kg");
constexpr std::array<int, 4> kPipeWidthsTwips = {2350, 800, 800, 800};
const QString kTerminalFormat = QStringLiteral("Tipo terminale|>Qnt |>Att.");
constexpr std::array<int, 3> kTerminalWidthsTwips = {3950, 400, 400};
// Rows shown without scrolling.
constexpr int kVisibleRows = 16;

template <std::size_t N>
GridControl* makeGrid(QWidget* parent, const char* name, const QString& format,
                      const std::array<int, N>& widths, const QStringList& rows) {
    auto* grid = new GridControl(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setFormatString(format);
    for (std::size_t c = 0; c < N; ++c)
        grid->setColumnWidthTwips(int(c), widths[c]);
    grid->setVerticalScrollBar(true);
    for (const QString& row : rows)
        grid->addItem(row);
    const int frame = 2 * grid->frameWidth();
    grid->setMinimumWidth(grid->twipsToPixels(std::accumulate(widths.begin(), widths.end(), 0)) + frame +
                          grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    grid->setMinimumHeight(grid->twipsToPixels(grid->rowHeightTwips()) * (kVisibleRows + 1) + frame);
    return grid;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

Materiali::Materiali(Workspace& workspace, Interaction& interaction, QWidget* parent)
    : QDialog(parent), project_(workspace.project), totals_(totalMaterials(project_, workspace.results)),
      interaction_(interaction) {
    setObjectName(QStringLiteral("Materiali"));
    setWindowTitle(QStringLiteral("Materiali"));

    TabStrip = new QTabBar(this);
    TabStrip->setObjectName(QStringLiteral("TabStrip"));
    TabStrip->addTab(QStringLiteral("Tubi"));
    TabStrip->addTab(QStringLiteral("Terminali"));
    TubiGrid = makeGrid(this, "TubiGrid", kPipeFormat, kPipeWidthsTwips, pipeGridRows(project_, totals_));
    RadGrid =
        makeGrid(this, "RadGrid", kTerminalFormat, kTerminalWidthsTwips, terminalGridRows(project_, totals_));
    btnFileTxt = makeButton(this, "btnFileTxt", QStringLiteral("&MaterialiTXT"));
    btnFileTxt->setToolTip(QStringLiteral("Crea un file <Nomelavoro>.txt"));
    btnEsci = makeButton(this, "btnEsci", QStringLiteral("&Chiudi"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabStrip);
    layout->addWidget(TubiGrid);
    layout->addWidget(RadGrid);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnFileTxt);
    buttons->addStretch();
    buttons->addWidget(btnEsci);
    layout->addLayout(buttons);

    showTab(kPipesTab);
    connect(TabStrip, &QTabBar::currentChanged, this, &Materiali::showTab);
    connect(btnFileTxt, &QPushButton::clicked, this, &Materiali::writeTextFile);
    connect(btnEsci, &QPushButton::clicked, this, &QDialog::accept);
}

void Materiali::showTab(int index) {
    TubiGrid->setVisible(index == kPipesTab);
    RadGrid->setVisible(index != kPipesTab);
}

void Materiali::writeTextFile() {
    const MaterialsTextOutcome written = writeMaterialsText(project_, totals_);
    if (!written.ok) {
        // The window stays open: the user may save the project elsewhere and try again.
        interaction_.inform(QStringLiteral("Errore in scrittura"), QString(), MessageIcon::Exclamation,
                            written.reason);
        return;
    }
    interaction_.inform(QStringLiteral("Creato ") + written.fileName +
                        QStringLiteral("\r\naprilo come tabella"));
}

} // namespace valmora
