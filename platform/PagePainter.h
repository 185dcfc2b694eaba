#pragma once

// Recorded pages drawn with QPainter: on the system printer, into a PDF file, on screen.
// Text is measured with the real metrics of the fonts that draw it.

#include "platform/AtomicWrite.h"
#include "platform/PdfDocumentInfo.h"
#include "platform/PrintSurface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

namespace valmora {

QFont toQFont(const PrintFont& font);

// The metrics of the fonts as the painter will draw them (a font missing on the system is
// replaced as Qt replaces it, and measured as replaced).
class PainterTextMetrics : public TextMetrics {
public:
    double width(const QString& text, const PrintFont& font) const override;
    double lineHeight(const PrintFont& font) const override;

private:
    // A report measures tens of thousands of texts in a handful of fonts.
    struct Measured {
        PrintFont font;
        QFontMetricsF metrics;
        double latin1Advance; // > 0: a fixed-pitch font whose Latin-1 characters all advance this much
    };
    const Measured& measuredOf(const PrintFont& font) const;
    mutable std::vector<Measured> cache_;
};

// Paints the picture of that name into the rectangle (device units); pages without pictures need none.
using PicturePainter = std::function<void(QPainter&, const QString& name, const QRectF& target)>;

// Draws `page` with its top-left corner at the painter's origin, `dotsPerMm` device units a
// millimetre; fonts are drawn `fontZoom` times their size (1 on paper, the view's zoom on screen).
void paintPage(QPainter& painter, const RecordedPage& page, double dotsPerMm, double fontZoom = 1,
               const PicturePainter& pictures = {});

// A report drawn straight onto a paged device (printer or PDF), page by page as each is done.
struct PagedOutcome {
    bool ok = true;
    QString reason; // what went wrong, for the message's details
    int pages = 0;
    QString deviceName; // the printer's
    int paperBin = 0;
};
using DrawReport = std::function<void(PrintSurface&)>;
PagedOutcome drawOnPagedDevice(QPagedPaintDevice& device, const DrawReport& draw,
                               const PicturePainter& pictures = {});
// The same into an A4 PDF file, written whole or not at all (AtomicWrite.h): PDF/A-1b, its
// fonts embedded whole, its title, author and subject set, fit to be archived and signed.
PagedOutcome writePdf(const QString& path, const PdfDocumentInfo& info, const DrawReport& draw,
                      const PicturePainter& pictures = {}, const WriteRequest& request = {});
// The first page of a report as an A4 PNG picture, written whole or not at all.
PagedOutcome writePng(const QString& path, const DrawReport& draw, const WriteRequest& request = {});
// The same on a printer; the surface reports the printer's name and paper bin.
PagedOutcome printOn(QPrinter& printer, const DrawReport& draw, const PicturePainter& pictures = {});

} // namespace valmora
