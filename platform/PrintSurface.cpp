#include "platform/PrintSurface.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace valmora {

namespace {
constexpr int kCharactersPerPrintZone = 14;
constexpr double kZoneTolerance = 1e-9; // a position exactly on a zone's start belongs to it
} // namespace

double FixedPitchMetrics::width(const QString& text, const PrintFont& font) const {
    return double(text.size()) * kAdvancePerEm * font.size * kMillimetresPerPoint;
}

double FixedPitchMetrics::lineHeight(const PrintFont& font) const {
    return kLinePerEm * font.size * kMillimetresPerPoint;
}

QStringList RecordedPage::texts() const {
    QStringList out;
    for (const PageItem& item : items)
        if (item.kind == PageItem::Kind::Text)
            out << item.text;
    return out;
}

PrintSurface::PrintSurface(const TextMetrics& metrics) : metrics_(metrics) {}

void PrintSurface::setScaleMillimetres(double scaleLeft, double scaleTop) {
    // The position keeps its place on the page.
    const double pageX = toPageX(x_);
    const double pageY = toPageY(y_);
    scaleLeft_ = scaleLeft;
    scaleTop_ = scaleTop;
    x_ = pageX + scaleLeft_;
    y_ = pageY + scaleTop_;
}

double PrintSurface::textWidth(const QString& text) const {
    double widest = 0;
    for (const QString& line : text.split(u'\n'))
        widest = std::max(widest, metrics_.width(QString(line).remove(u'\r'), font_));
    return widest;
}

double PrintSurface::textHeight(const QString& text) const {
    return double(text.count(u'\n') + 1) * metrics_.lineHeight(font_);
}

uint8_t PrintSurface::fontIndex() {
    for (std::size_t i = 0; i < page_.fonts.size(); ++i)
        if (page_.fonts[i] == font_)
            return uint8_t(i);
    // A report uses a handful of fonts; past what an index holds, the last one serves.
    if (page_.fonts.size() > std::numeric_limits<uint8_t>::max())
        return std::numeric_limits<uint8_t>::max();
    page_.fonts.push_back(font_);
    return uint8_t(page_.fonts.size() - 1);
}

void PrintSurface::printOneLine(const QString& text) {
    // A tab moves on to the next print zone, every 14 characters from the left margin.
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0) {
        printOneLine(text.left(tab));
        const double zone = kCharactersPerPrintZone * metrics_.width(QStringLiteral("0"), font_);
        x_ = (std::floor(x_ / zone + kZoneTolerance) + 1) * zone;
        printOneLine(text.mid(tab + 1));
        return;
    }
    if (text.isEmpty())
        return;
    PageItem item;
    item.kind = PageItem::Kind::Text;
    item.font = fontIndex();
    item.x = toPageX(x_);
    item.y = toPageY(y_);
    item.text = text;
    x_ += metrics_.width(text, font_);
    item.x2 = toPageX(x_);
    page_.items.push_back(std::move(item));
}

void PrintSurface::print(const QString& text, bool lineEnd) {
    const double lineHeight = metrics_.lineHeight(font_);
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        printOneLine(QString(lines[i]).remove(u'\r'));
        if (i + 1 < lines.size()) {
            x_ = 0;
            y_ += lineHeight;
        }
    }
    if (lineEnd) {
        x_ = 0;
        y_ += lineHeight;
    }
}

void PrintSurface::line(double x1, double y1, double x2, double y2) {
    PageItem item;
    item.kind = PageItem::Kind::Line;
    item.lineWidth = uint8_t(std::clamp(drawWidth_, 1, int(std::numeric_limits<uint8_t>::max())));
    item.x = toPageX(x1);
    item.y = toPageY(y1);
    item.x2 = toPageX(x2);
    item.y2 = toPageY(y2);
    page_.items.push_back(std::move(item));
    x_ = x2;
    y_ = y2;
}

void PrintSurface::drawPicture(const QString& name, double x, double y, double width, double height) {
    PageItem item;
    item.kind = PageItem::Kind::Picture;
    item.x = toPageX(x);
    item.y = toPageY(y);
    item.x2 = toPageX(x + width);
    item.y2 = toPageY(y + height);
    item.text = name;
    page_.items.push_back(std::move(item));
}

void PrintSurface::lineStep(double dx, double dy) {
    line(x_, y_, x_ + dx, y_ + dy);
}

void PrintSurface::printFooter() {
    if (!footer_ || inFooter_)
        return;
    inFooter_ = true;
    const double x = x_, y = y_, left = scaleLeft_, top = scaleTop_;
    const PrintFont font = font_;
    const int width = drawWidth_;
    footer_(*this, page_.number);
    scaleLeft_ = left;
    scaleTop_ = top;
    x_ = x;
    y_ = y;
    font_ = font;
    drawWidth_ = width;
    inFooter_ = false;
}

void PrintSurface::newPage() {
    printFooter();
    const int next = page_.number + 1;
    pageDone(std::move(page_));
    page_ = RecordedPage();
    page_.number = next;
    // A new page starts at the scale's origin, inside the margins.
    x_ = 0;
    y_ = 0;
}

void PrintSurface::endDocument() {
    if (ended_)
        return;
    ended_ = true;
    printFooter();
    pageDone(std::move(page_));
    page_ = RecordedPage();
}

RecordingSurface::RecordingSurface(const TextMetrics& metrics, PageSink sink)
    : PrintSurface(metrics), sink_(std::move(sink)) {}

void RecordingSurface::pageDone(RecordedPage&& page) {
    if (sink_)
        sink_(page);
    else
        pages_.push_back(std::move(page));
}

} // namespace valmora
