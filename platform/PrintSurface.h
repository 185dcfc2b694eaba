#pragma once

// Where the report and the schema draw: a page in millimetres with an origin offset, a
// current position that printed text moves along, lines, fonts and pages. The surface keeps
// the position and the layout of text itself; what it draws goes to a page recording, which
// the printer, the PDF writer and the preview replay (platform/PagePainter.h), and which tests
// read back in millimetres. QtCore only: the core lays out its reports without a display.
//
// Text is measured by a TextMetrics: the printer's real font metrics on screen and paper,
// or a fixed-pitch model in tests and headless runs (the report's font is fixed-pitch).

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace valmora {

// Where the reports and the schema put x = 0, y = 0: 10 mm in from the page's edges (the
// offset setScaleMillimetres takes for both axes).
constexpr double kPageMarginOffset = -10;

struct PrintFont {
    QString name = QStringLiteral("Courier New");
    double size = 10; // points
    bool bold = false;
    bool strikethrough = false;
    bool underline = false;

    bool operator==(const PrintFont& other) const {
        return name == other.name && size == other.size && bold == other.bold &&
               strikethrough == other.strikethrough && underline == other.underline;
    }
};

constexpr double kMillimetresPerPoint = 25.4 / 72;

class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    // Millimetres.
    virtual double width(const QString& text, const PrintFont& font) const = 0;
    virtual double lineHeight(const PrintFont& font) const = 0;
};

// A fixed-pitch font: every character advances 0.6 em, a line is 1.1333 em high (the
// proportions of the report's font and its metric-compatible free equivalent).
class FixedPitchMetrics : public TextMetrics {
public:
    static constexpr double kAdvancePerEm = 0.6;
    static constexpr double kLinePerEm = 1.1333;
    double width(const QString& text, const PrintFont& font) const override;
    double lineHeight(const PrintFont& font) const override;
};

// What one page holds, in millimetres from the page's top-left corner.
struct PageItem {
    enum class Kind : uint8_t { Text, Line, Picture };
    Kind kind = Kind::Text;
    uint8_t font = 0;      // text: index into the page's fonts
    uint8_t lineWidth = 1; // line: the draw width (1 thin, 2 heavy)
    double x = 0;          // text: left edge; line: start; picture: top-left corner
    double y = 0;          // text: top of the line; line: start
    double x2 = 0;         // line: end; text: its measured right edge; picture: bottom-right corner
    double y2 = 0;
    QString text; // picture: its name
};

struct RecordedPage {
    int number = 1;
    std::vector<PrintFont> fonts;
    std::vector<PageItem> items;

    // The texts of the page in order, as one string per item (for tests and searches).
    QStringList texts() const;
};

class PrintSurface {
public:
    explicit PrintSurface(const TextMetrics& metrics);
    virtual ~PrintSurface() = default;
    PrintSurface(const PrintSurface&) = delete;
    PrintSurface& operator=(const PrintSurface&) = delete;

    // Millimetres, with the page's top-left corner at (-left, -top) of the scale: an offset
    // of -10, -10 puts x = 0, y = 0 ten millimetres in from the edges.
    void setScaleMillimetres(double scaleLeft, double scaleTop);

    double currentX() const { return x_; }
    double currentY() const { return y_; }
    void setCurrentX(double x) { x_ = x; }
    void setCurrentY(double y) { y_ = y; }

    double textWidth(const QString& text) const;
    // The height of all the text's lines.
    double textHeight(const QString& text) const;

    // Prints at the current position; a line end (in the text or after it) goes back to
    // x = 0 on the next line. Without a line end the position stays after the text.
    void print(const QString& text, bool lineEnd = true);
    void line(double x1, double y1, double x2, double y2);
    // A line from the current position by (dx, dy); the position moves to its end.
    void lineStep(double dx, double dy);
    void setDrawWidth(int width) { drawWidth_ = width; }
    // The named picture scaled into the rectangle; whoever paints the page knows the name.
    void drawPicture(const QString& name, double x, double y, double width, double height);

    const PrintFont& font() const { return font_; }
    void setFont(const PrintFont& font) { font_ = font; }
    void setBold(bool bold) { font_.bold = bold; }

    // Ends the page and starts the next one, at the top with the same scale.
    void newPage();
    // Ends the last page.
    void endDocument();

    virtual QString deviceName() const { return QString(); }
    // The printer's paper bin, 0 where the device has none.
    virtual int paperBin() const { return 0; }

    int pageNumber() const { return page_.number; }

    const TextMetrics& metrics() const { return metrics_; }

    // Printed at the foot of every page as it ends (the page's number handed over); the
    // position, font, scale and line width are the page's own again afterwards.
    using PageFooter = std::function<void(PrintSurface&, int pageNumber)>;
    void setPageFooter(PageFooter footer) { footer_ = std::move(footer); }

protected:
    // A finished page, handed over whole.
    virtual void pageDone(RecordedPage&& page) = 0;

private:
    double toPageX(double x) const { return x - scaleLeft_; }
    double toPageY(double y) const { return y - scaleTop_; }
    uint8_t fontIndex();
    void printOneLine(const QString& text);
    void printFooter();

    const TextMetrics& metrics_;
    RecordedPage page_;
    PrintFont font_;
    double scaleLeft_ = 0;
    double scaleTop_ = 0;
    double x_ = 0;
    double y_ = 0;
    int drawWidth_ = 1;
    bool ended_ = false;
    PageFooter footer_;
    bool inFooter_ = false;
};

// Keeps every page (the preview), or hands each to a sink as it is done (the printer and
// the PDF writer, which then need not hold a long report in memory).
class RecordingSurface : public PrintSurface {
public:
    using PageSink = std::function<void(const RecordedPage&)>;

    explicit RecordingSurface(const TextMetrics& metrics, PageSink sink = nullptr);

    const std::vector<RecordedPage>& pages() const { return pages_; }

    QString deviceName() const override { return deviceName_; }
    int paperBin() const override { return paperBin_; }
    void setDevice(const QString& name, int paperBin) {
        deviceName_ = name;
        paperBin_ = paperBin;
    }

protected:
    void pageDone(RecordedPage&& page) override;

private:
    PageSink sink_;
    std::vector<RecordedPage> pages_;
    QString deviceName_;
    int paperBin_ = 0;
};

} // namespace valmora
