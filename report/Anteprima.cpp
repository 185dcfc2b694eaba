#include "report/Anteprima.h"

#include "report/Tabelle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace valmora {

namespace {

constexpr double kPaperWidthMm = 210;
constexpr double kPaperHeightMm = 297;
constexpr double kMillimetresPerInch = 25.4;
constexpr int kPageGapPixels = 8;
// The window opens with the page at about this share of the screen's height.
constexpr double kShareOfScreenHeight = 0.85;
constexpr int kLowestPageHeightPixels = 480;

} // namespace

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Foglio"));
    setAutoFillBackground(true);
    QPalette back = palette();
    back.setColor(QPalette::Window, palette().color(QPalette::Mid));
    setPalette(back);
    setMinimumSize(int(kPaperWidthMm), int(kPaperHeightMm));
}

QSize PageView::sizeHint() const {
    const QScreen* shown = screen();
    const int screenHeight = shown ? shown->availableGeometry().height() : 0;
    const int height = std::max(kLowestPageHeightPixels, int(screenHeight * kShareOfScreenHeight));
    return {int(height * kPaperWidthMm / kPaperHeightMm) + 2 * kPageGapPixels, height + 2 * kPageGapPixels};
}

void PageView::paintEvent(QPaintEvent*) {
    if (!page_)
        return;
    QPainter painter(this);
    // The whole sheet, as large as the view allows, in the middle of it.
    const QRectF room =
        QRectF(rect()).adjusted(kPageGapPixels, kPageGapPixels, -kPageGapPixels, -kPageGapPixels);
    const double dotsPerMm = std::min(room.width() / kPaperWidthMm, room.height() / kPaperHeightMm);
    const QSizeF sheet(kPaperWidthMm * dotsPerMm, kPaperHeightMm * dotsPerMm);
    const QPointF corner(room.center().x() - sheet.width() / 2, room.center().y() - sheet.height() / 2);
    painter.fillRect(QRectF(corner, sheet), Qt::white);
    painter.translate(corner);
    const double screenDotsPerMm = logicalDpiX() / kMillimetresPerInch;
    paintPage(painter, *page_, dotsPerMm, dotsPerMm / screenDotsPerMm);
}

Anteprima::Anteprima(const Project& project, const NetworkResults& results, Interaction& interaction,
                     QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Anteprima"));
    setWindowTitle(QStringLiteral("Anteprima"));
    btnEsci = new QPushButton(QStringLiteral("&Chiudi"), this);
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
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::Box);
    auto* frame = new QVBoxLayout(Picture1);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(Foglio);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{btnEsci, PagPrew, PagPost, Pglbl})
        bar->addWidget(w);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Picture1, 1);

    // Every section, always, on the printer's pages.
    PainterTextMetrics metrics;
    RecordingSurface surface(metrics);
    ReportOptions options;
    options.warn = [&interaction](const QString& text) { interaction.inform(text); };
    PrintReport(project, results, surface, ReportSections::everything(project), options);
    pages_ = surface.pages();
    if (pages_.empty())
        pages_.emplace_back();

    PagPrew->setEnabled(pageCount() >= 2);
    connect(PagPrew, &QPushButton::clicked, this, &Anteprima::previousPage);
    connect(PagPost, &QPushButton::clicked, this, &Anteprima::nextPage);
    connect(btnEsci, &QPushButton::clicked, this, &QDialog::accept);
    showPage(1);
}

QString Anteprima::pageLabel(int page, int pages) {
    return QStringLiteral("Pagina %1 di %2").arg(page).arg(pages);
}

void Anteprima::showPage(int number) {
    pageOnView_ = number;
    Foglio->setPage(&pages_[std::size_t(number - 1)]);
    Pglbl->setText(pageLabel(number, pageCount()));
}

void Anteprima::previousPage() {
    showPage(pageOnView_ >= 2 ? pageOnView_ - 1 : pageCount());
}

void Anteprima::nextPage() {
    showPage(pageOnView_ < pageCount() ? pageOnView_ + 1 : 1);
}

} // namespace valmora
