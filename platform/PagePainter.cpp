#include "platform/PagePainter.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>

#include <algorithm>
#include <memory>

namespace valmora {

namespace {

constexpr double kMillimetresPerInch = 25.4;
// The print engine's property holding the printing system's job options, as key/value pairs.
constexpr auto kCupsJobOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);
constexpr double kThinRuleMm = 0.2; // a line of draw width 1; width 2 is twice as heavy
// Metrics are taken at a resolution fine enough that rounding to device units is negligible.
constexpr int kMeasuringDpi = 1200;
constexpr double kPngDpi = 300; // an A4 page 2 480 pixels wide: a chart read as on paper
constexpr double kA4WidthMm = 210;
constexpr double kA4HeightMm = 297;
constexpr int kFirstPrintable = 0x20;
constexpr int kLastLatin1 = 0xff;

// A paint device of fixed resolution for measuring, without a screen.
class MeasuringDevice : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return kMeasuringDpi;
        case PdmWidth:
        case PdmHeight:
            return kMeasuringDpi * 12;
        case PdmDepth:
            return 32;
        default:
            return QPaintDevice::metric(metric);
        }
    }
};

const MeasuringDevice& measuringDevice() {
    static const MeasuringDevice device;
    return device;
}

double deviceUnitsToMm(double units) {
    return units * kMillimetresPerInch / kMeasuringDpi;
}

// The paper bins that the report names, by the codes it has always used.
int paperBinCode(QPrinter::PaperSource source) {
    switch (source) {
    case QPrinter::Upper:
        return 1; // also the only bin of a printer that has one
    case QPrinter::Lower:
        return 2;
    case QPrinter::Manual:
        return 4;
    case QPrinter::LargeCapacity:
        return 11;
    default:
        return 0;
    }
}

// Paints each page on the device as the surface finishes it.
class PagedSurface : public PrintSurface {
public:
    PagedSurface(const TextMetrics& metrics, QPagedPaintDevice& device, QPainter& painter,
                 const PicturePainter& pictures)
        : PrintSurface(metrics), device_(device), painter_(painter), pictures_(pictures) {}
    int pages = 0;
    QString name;
    int bin = 0;

    QString deviceName() const override { return name; }
    int paperBin() const override { return bin; }

protected:
    void pageDone(RecordedPage&& page) override {
        if (pages > 0)
            device_.newPage();
        paintPage(painter_, page, device_.logicalDpiX() / kMillimetresPerInch, 1, pictures_);
        ++pages;
    }

private:
    QPagedPaintDevice& device_;
    QPainter& painter_;
    const PicturePainter& pictures_;
};

PagedOutcome failed(const QString& reason, int pages = 0) {
    PagedOutcome outcome;
    outcome.ok = false;
    outcome.reason = reason;
    outcome.pages = pages;
    return outcome;
}

} // namespace

QFont toQFont(const PrintFont& font) {
    QFont q(font.name);
    q.setPointSizeF(font.size);
    q.setBold(font.bold);
    q.setStrikeOut(font.strikethrough);
    q.setUnderline(font.underline);
    q.setStyleHint(QFont::TypeWriter); // a fixed-pitch face where the named one is missing
    // Unhinted: advances on screen at any zoom are those measured for paper.
    q.setHintingPreference(QFont::PreferNoHinting);
    return q;
}

const PainterTextMetrics::Measured& PainterTextMetrics::measuredOf(const PrintFont& font) const {
    for (const Measured& known : cache_)
        if (known.font == font)
            return known;
    const QFont q = toQFont(font);
    QFontMetricsF metrics(q, &measuringDevice());
    // The report's font is fixed-pitch: where every Latin-1 character of it has one advance,
    // a width is a count, not a shaping of the text (which would dominate a long report).
    double advance = 0;
    if (QFontInfo(q).fixedPitch()) {
        advance = metrics.horizontalAdvance(QLatin1Char('0'));
        for (int c = kFirstPrintable; c <= kLastLatin1 && advance > 0; ++c)
            if (QChar(c).isPrint() && metrics.horizontalAdvance(QChar(c)) != advance)
                advance = 0;
    }
    cache_.push_back({font, metrics, advance});
    return cache_.back();
}

double PainterTextMetrics::width(const QString& text, const PrintFont& font) const {
    const Measured& measured = measuredOf(font);
    if (measured.latin1Advance > 0 && std::all_of(text.begin(), text.end(), [](QChar c) {
            return c.unicode() <= kLastLatin1 && c.isPrint();
        }))
        return deviceUnitsToMm(double(text.size()) * measured.latin1Advance);
    return deviceUnitsToMm(measured.metrics.horizontalAdvance(text));
}

double PainterTextMetrics::lineHeight(const PrintFont& font) const {
    return deviceUnitsToMm(measuredOf(font).metrics.height());
}

void paintPage(QPainter& painter, const RecordedPage& page, double dotsPerMm, double fontZoom,
               const PicturePainter& pictures) {
    std::vector<QFont> fonts;
    fonts.reserve(page.fonts.size());
    for (PrintFont font : page.fonts) {
        font.size *= fontZoom;
        fonts.push_back(toQFont(font));
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    int currentFont = -1;
    double ascent = 0;
    for (const PageItem& item : page.items) {
        if (item.kind == PageItem::Kind::Line) {
            painter.setPen(QPen(Qt::black, item.lineWidth * kThinRuleMm * dotsPerMm));
            painter.drawLine(QPointF(item.x * dotsPerMm, item.y * dotsPerMm),
                             QPointF(item.x2 * dotsPerMm, item.y2 * dotsPerMm));
            continue;
        }
        if (item.kind == PageItem::Kind::Picture) {
            if (pictures)
                pictures(painter, item.text,
                         QRectF(QPointF(item.x * dotsPerMm, item.y * dotsPerMm),
                                QPointF(item.x2 * dotsPerMm, item.y2 * dotsPerMm)));
            continue;
        }
        if (item.font != currentFont && item.font < fonts.size()) {
            currentFont = item.font;
            painter.setFont(fonts[item.font]);
            ascent = QFontMetricsF(painter.font(), painter.device()).ascent();
        }
        painter.setPen(Qt::black);
        const QPointF at(item.x * dotsPerMm, item.y * dotsPerMm + ascent);
        if (fontZoom == 1) {
            painter.drawText(at, item.text);
            continue;
        }
        // On screen, glyphs snap to whole pixels at small sizes: each text is fitted to the
        // width measured for paper, so that texts printed one after another keep their gaps.
        const double drawn = painter.fontMetrics().horizontalAdvance(item.text);
        const double measured = (item.x2 - item.x) * dotsPerMm;
        painter.save();
        painter.translate(at);
        if (drawn > 0 && measured > 0)
            painter.scale(measured / drawn, 1);
        painter.drawText(QPointF(0, 0), item.text);
        painter.restore();
    }
    painter.restore();
}

PagedOutcome drawOnPagedDevice(QPagedPaintDevice& device, const DrawReport& draw,
                               const PicturePainter& pictures) {
    QPainter painter;
    if (!painter.begin(&device))
        return failed(QStringLiteral("il dispositivo di stampa non si apre"));
    PainterTextMetrics metrics;
    PagedSurface surface(metrics, device, painter, pictures);
    if (auto* printer = dynamic_cast<QPrinter*>(&device)) {
        surface.name = printer->printerName();
        surface.bin = paperBinCode(printer->paperSource());
    }
    draw(surface);
    surface.endDocument();
    const bool ended = painter.end();
    return {ended, ended ? QString() : QStringLiteral("la stampa non è stata completata"), surface.pages,
            surface.name, surface.bin};
}

PagedOutcome writePdf(const QString& path, const PdfDocumentInfo& info, const DrawReport& draw,
                      const PicturePainter& pictures, const WriteRequest& request) {
    // Refused before the pages are drawn; drawn whole in memory, then written at once.
    if (const QString refusal = writeRefusal(path, request); !refusal.isEmpty())
        return failed(refusal);
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    PagedOutcome outcome;
    // One moment for the metadata and the information dictionary, which must agree.
    const QDateTime created = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    {
        QPdfWriter writer(&pdf);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setTitle(info.title);
        writer.setCreator(kPdfCreatorTool);
        writer.setDocumentXmpMetadata(
            pdfaMetadataPacket(info, created, QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
        writer.setResolution(kMeasuringDpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        outcome = drawOnPagedDevice(writer, draw, pictures);
    }
    if (!outcome.ok)
        return outcome;
    // Qt's writer has no author nor subject: they go into its information dictionary here.
    const std::optional<QByteArray> described = withDocumentInfo(pdf.data(), info, created);
    const WriteOutcome written = writeFileAtomically(path, described ? *described : pdf.data(), request);
    if (!written.ok)
        return failed(written.reason, outcome.pages);
    return outcome;
}

PagedOutcome writePng(const QString& path, const DrawReport& draw, const WriteRequest& request) {
    if (const QString refusal = writeRefusal(path, request); !refusal.isEmpty())
        return failed(refusal);
    PainterTextMetrics metrics;
    RecordingSurface surface(metrics);
    draw(surface);
    if (surface.pages().empty())
        return failed(QStringLiteral("nessuna pagina da scrivere"));
    const double dotsPerMm = kPngDpi / kMillimetresPerInch;
    QImage image(int(kA4WidthMm * dotsPerMm), int(kA4HeightMm * dotsPerMm), QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(int(dotsPerMm * 1000));
    image.setDotsPerMeterY(int(dotsPerMm * 1000));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paintPage(painter, surface.pages().front(), dotsPerMm);
    }
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!image.save(&png, "PNG"))
        return failed(QStringLiteral("immagine non creata"));
    const WriteOutcome written = writeFileAtomically(path, png.data(), request);
    if (!written.ok)
        return failed(written.reason, 1);
    return {true, {}, 1, {}, 0};
}

PagedOutcome printOn(QPrinter& printer, const DrawReport& draw, const PicturePainter& pictures) {
    // The printing system turns the job's PDF into the printer's language. Its Ghostscript
    // route was seen to swap glyphs of the embedded font subsets (a "2" printed as "3"), so
    // a printed number could differ from the report's: ask for the Poppler route.
    if (QPrintEngine* engine = printer.printEngine()) {
        QStringList options = engine->property(kCupsJobOptions).toStringList();
        options << QStringLiteral("pdftops-renderer") << QStringLiteral("pdftops");
        engine->setProperty(kCupsJobOptions, options);
    }
    // The report's margins are its own: coordinates from the paper's edge.
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    PagedOutcome outcome = drawOnPagedDevice(printer, draw, pictures);
    if (outcome.ok && printer.printerState() == QPrinter::Error)
        return failed(QStringLiteral("il sistema di stampa ha rifiutato il lavoro"), outcome.pages);
    return outcome;
}

} // namespace valmora
