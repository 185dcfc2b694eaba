#include "report/Anteprima.h"

#include "report/Tabelle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace valmora {

namespace {

constexpr double kTwipsPerPixelAt96Dpi = 15;
constexpr double kPreviewScale = 0.7;
constexpr int kWindowWidthTwips = 5676;
constexpr int kWindowHeightTwips = 7500;
// The page on view: the preview's 0.7 of an A4 sheet.
constexpr double kPageWidthMm = 0.7 * 210;
constexpr double kPageHeightMm = 0.7 * 297;
constexpr double kMillimetresPerInch = 25.4;

} // namespace

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Foglio"));
    setAutoFillBackground(true);
    QPalette paper = palette();
    paper.setColor(QPalette::Window, Qt::white);
    setPalette(paper);
}

QSize PageView::sizeHint() const {
    const double dotsPerMm = logicalDpiX() / kMillimetresPerInch;
    return {int(kPageWidthMm * dotsPerMm), int(kPageHeightMm * dotsPerMm)};
}

void PageView::paintEvent(QPaintEvent*) {
    if (!page_)
        return;
    QPainter painter(this);
    // The page fills the width of the view, at the size it would have on the preview's sheet.
    const double dotsPerMm = width() / kPageWidthMm;
    const double screenDotsPerMm = logicalDpiX() / kMillimetresPerInch;
    paintPage(painter, *page_, dotsPerMm, dotsPerMm / screenDotsPerMm);
}

Anteprima::Anteprima(Project& project, Interaction& interaction, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Anteprima"));
    setWindowTitle(QStringLiteral("Anteprima"));
    btnEsci = new QPushButton(QStringLiteral("&Uscire"), this);
    btnEsci->setObjectName(QStringLiteral("btnEsci"));
    PagPrew = new QPushButton(QStringLiteral("Pag. <<"), this);
    PagPrew->setObjectName(QStringLiteral("PagPrew"));
    PagPrew->setToolTip(QStringLiteral("Pagina precedente"));
    PagPost = new QPushButton(QStringLiteral("Pag.>>"), this);
    PagPost->setObjectName(QStringLiteral("PagPost"));
    PagPost->setToolTip(QStringLiteral("Pagina successiva"));
    Pglbl = new QLabel(this);
    Pglbl->setObjectName(QStringLiteral("Pglbl"));
    Foglio = new PageView;
    Picture1 = new QScrollArea(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::Box);
    Picture1->setWidgetResizable(true);
    Picture1->setWidget(Foglio);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{btnEsci, PagPrew, PagPost, Pglbl})
        bar->addWidget(w);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Picture1, 1);
    resize(int(kWindowWidthTwips / kPreviewScale / kTwipsPerPixelAt96Dpi),
           int(kWindowHeightTwips / kPreviewScale / kTwipsPerPixelAt96Dpi));

    // Every section, always.
    PainterTextMetrics metrics;
    RecordingSurface surface(metrics);
    ReportOptions options;
    options.layout = ReportLayout::Preview;
    options.warn = [&interaction](const QString& text) { interaction.inform(text); };
    PrintReport(project, surface, ReportSections{}, options);
    pages_ = surface.pages();
    if (pages_.empty())
        pages_.emplace_back();

    PagPrew->setEnabled(pageCount() >= 2);
    connect(PagPrew, &QPushButton::clicked, this, &Anteprima::previousPage);
    connect(PagPost, &QPushButton::clicked, this, &Anteprima::nextPage);
    connect(btnEsci, &QPushButton::clicked, this, &QDialog::accept);
    showPage(1);
}

void Anteprima::showPage(int number) {
    pageOnView_ = number;
    Foglio->setPage(&pages_[std::size_t(number - 1)]);
    Pglbl->setText(QString::number(number));
}

void Anteprima::previousPage() { showPage(pageOnView_ >= 2 ? pageOnView_ - 1 : pageCount()); }

void Anteprima::nextPage() { showPage(pageOnView_ < pageCount() ? pageOnView_ + 1 : 1); }

} // namespace valmora
