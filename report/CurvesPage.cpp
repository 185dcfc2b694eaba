#include "report/CurvesPage.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"

#include <QRectF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace valmora {

namespace {

// The plot, millimetres from the page's top-left corner less the margin.
constexpr double kPlotLeft = 22;
constexpr double kPlotTop = 26;
constexpr double kPlotWidth = 160;
constexpr double kPlotHeight = 120;
constexpr int kDivisions = 8;
constexpr double kTick = 1.5;
constexpr double kMarker = 1.2; // half the side of a point's mark
constexpr double kLabelGap = 1.5;
constexpr int kLabelTries = 12; // lines a label may move down to stand clear
constexpr int kHeavy = 2;
constexpr int kThin = 1;

const PrintFont kTitleFont{QStringLiteral("Arial"), 12, true};
const PrintFont kBodyFont{QStringLiteral("Courier New"), 8, false};

class CurvesDrawing {
public:
    CurvesDrawing(const OperatingChart& chart, PrintSurface& surface) : chart_(chart), surface_(surface) {
        flowStep_ = niceStep(chart.largestFlow, kDivisions);
        pressureStep_ = niceStep(chart.largestPressure, kDivisions);
        flowTop_ = std::max(flowStep_, std::ceil(chart.largestFlow / flowStep_) * flowStep_);
        pressureTop_ =
            std::max(pressureStep_, std::ceil(chart.largestPressure / pressureStep_) * pressureStep_);
    }

    void axes() {
        surface_.setDrawWidth(kThin);
        surface_.line(kPlotLeft, kPlotTop, kPlotLeft, kPlotTop + kPlotHeight);
        surface_.line(kPlotLeft, kPlotTop + kPlotHeight, kPlotLeft + kPlotWidth, kPlotTop + kPlotHeight);
        for (double f = 0; f <= flowTop_ + flowStep_ / 2; f += flowStep_) {
            const double x = xOf(f);
            surface_.line(x, kPlotTop + kPlotHeight, x, kPlotTop + kPlotHeight + kTick);
            const QString label = formatPicture(f, u"#,#0");
            textAt(x - surface_.textWidth(label) / 2, kPlotTop + kPlotHeight + kTick, label);
        }
        for (double p = 0; p <= pressureTop_ + pressureStep_ / 2; p += pressureStep_) {
            const double y = yOf(p);
            surface_.line(kPlotLeft - kTick, y, kPlotLeft, y);
            const QString label = formatPicture(p, pressureStep_ < 1 ? u"#0.0" : u"#0");
            textAt(kPlotLeft - kTick - kLabelGap - surface_.textWidth(label),
                   y - surface_.textHeight(label) / 2, label);
        }
        const QString flowTitle = QStringLiteral("Portata (l/min)");
        textAt(kPlotLeft + kPlotWidth - surface_.textWidth(flowTitle), kPlotTop + kPlotHeight + 2 * kTick + 3,
               flowTitle);
        textAt(kPlotLeft - kTick, kPlotTop - surface_.textHeight(QStringLiteral("H")) - kLabelGap,
               QStringLiteral("Pressione (%1)").arg(chart_.pressureScale.symbol));
    }

    void polyline(const std::vector<CurvePoint>& points, int width) {
        surface_.setDrawWidth(width);
        for (std::size_t k = 1; k < points.size(); ++k)
            segment(points[k - 1], points[k]);
        surface_.setDrawWidth(kThin);
    }

    void number(const std::vector<CurvePoint>& points, int n) {
        if (points.empty())
            return;
        // At the last point the chart shows of the curve.
        const auto shown =
            std::find_if(points.rbegin(), points.rend(), [&](const CurvePoint& p) { return visible(p); });
        if (shown != points.rend())
            label(xOf(shown->flow) + kLabelGap, yOf(shown->pressure) - kLabelGap * 2, QString::number(n));
    }

    void cross(const CurvePoint& p, const QString& label) {
        if (!visible(p))
            return;
        surface_.line(xOf(p.flow) - kMarker, yOf(p.pressure) - kMarker, xOf(p.flow) + kMarker,
                      yOf(p.pressure) + kMarker);
        surface_.line(xOf(p.flow) - kMarker, yOf(p.pressure) + kMarker, xOf(p.flow) + kMarker,
                      yOf(p.pressure) - kMarker);
        this->label(xOf(p.flow) + kMarker + kLabelGap / 2, yOf(p.pressure) + kMarker, label);
    }

    void square(const CurvePoint& p, const QString& label) {
        if (!visible(p))
            return;
        const double x = xOf(p.flow), y = yOf(p.pressure);
        surface_.line(x - kMarker, y - kMarker, x + kMarker, y - kMarker);
        surface_.line(x + kMarker, y - kMarker, x + kMarker, y + kMarker);
        surface_.line(x + kMarker, y + kMarker, x - kMarker, y + kMarker);
        surface_.line(x - kMarker, y + kMarker, x - kMarker, y - kMarker);
        this->label(x + kMarker + kLabelGap / 2, y - 3 * kMarker, label);
    }

    // A label of a curve or a point, moved down line by line past the labels already placed:
    // curves that nearly coincide keep their numbers and points apart.
    void label(double x, double y, const QString& text) {
        const double width = surface_.textWidth(text);
        const double height = surface_.textHeight(text);
        QRectF box(x, y, width, height);
        for (int tries = 0; tries < kLabelTries && overlapsPlaced(box); ++tries)
            box.translate(0, height);
        placed_.push_back(box);
        textAt(box.x(), box.y(), text);
    }

    void textAt(double x, double y, const QString& text) {
        surface_.setCurrentX(x);
        surface_.setCurrentY(y);
        surface_.print(text, false);
    }

private:
    double xOf(double flow) const { return kPlotLeft + kPlotWidth * flow / flowTop_; }
    double yOf(double pressure) const { return kPlotTop + kPlotHeight * (1 - pressure / pressureTop_); }
    bool visible(const CurvePoint& p) const {
        return p.flow >= 0 && p.flow <= flowTop_ && p.pressure >= 0 && p.pressure <= pressureTop_;
    }
    // The part of a segment inside the plot (curves run past the chart's top).
    void segment(CurvePoint a, CurvePoint b) {
        if (a.pressure > pressureTop_ && b.pressure > pressureTop_)
            return;
        const auto clip = [&](CurvePoint& out, const CurvePoint& in) {
            if (out.pressure <= pressureTop_ && out.flow <= flowTop_)
                return;
            double share = 1;
            if (out.pressure > pressureTop_)
                share = std::min(share, (pressureTop_ - in.pressure) / (out.pressure - in.pressure));
            if (out.flow > flowTop_)
                share = std::min(share, (flowTop_ - in.flow) / (out.flow - in.flow));
            out = {in.flow + share * (out.flow - in.flow),
                   in.pressure + share * (out.pressure - in.pressure)};
        };
        clip(b, a);
        clip(a, b);
        surface_.line(xOf(a.flow), yOf(a.pressure), xOf(b.flow), yOf(b.pressure));
    }

    bool overlapsPlaced(const QRectF& box) const {
        return std::any_of(placed_.begin(), placed_.end(),
                           [&](const QRectF& other) { return other.intersects(box); });
    }

    const OperatingChart& chart_;
    PrintSurface& surface_;
    std::vector<QRectF> placed_;
    double flowStep_ = 1, pressureStep_ = 1, flowTop_ = 1, pressureTop_ = 1;
};

} // namespace

QString pressureUnitsLine(const PressureScale& scale) {
    if (scale.symbol == QStringLiteral("bar"))
        return QStringLiteral("Pressioni in bar (1 bar = 10,197 m di colonna d'acqua), portate in l/min");
    return QStringLiteral("Pressioni in %1 (1 bar = 10,197 m di colonna d'acqua), portate in l/min")
        .arg(scale.symbol);
}

double niceStep(double range, int divisions) {
    if (!(range > 0))
        return 1;
    const double raw = range / divisions;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= raw)
            return factor * power;
    return 10 * power;
}

void PrintCurves(const OperatingChart& chart, const Project& project, PrintSurface& surface) {
    surface.setScaleMillimetres(kPageMarginOffset, kPageMarginOffset);
    surface.setCurrentX(0);
    surface.setCurrentY(0);
    surface.setFont(kTitleFont);
    surface.print(kCurvesTitle);
    surface.setFont(kBodyFont);
    surface.print(QStringLiteral("File: ") + oneLine(project.projectPath));
    surface.print(pressureUnitsLine(chart.pressureScale));
    if (!chart.problem.isEmpty()) {
        surface.print(QString());
        surface.print(chart.problem);
        return;
    }
    CurvesDrawing drawing(chart, surface);
    drawing.axes();
    drawing.polyline(chart.supply, kHeavy);
    QStringList legend{
        QStringLiteral("Linea spessa: ") + chart.supplyName +
        QStringLiteral(". D: richiesta di un insieme (quadrato); F: punto di funzionamento (croce).")};
    int n = 1;
    const auto demand = [&](const DemandCurve& curve) {
        drawing.polyline(curve.points, kThin);
        drawing.number(curve.points, n);
        QString line = QStringLiteral("%1  %2").arg(n).arg(curve.name);
        if (curve.demandPoint) {
            drawing.square(*curve.demandPoint, QStringLiteral("D%1").arg(n));
            line += QStringLiteral("; D%1 %2").arg(n).arg(pointText(*curve.demandPoint, chart.pressureScale));
        }
        if (curve.operating) {
            drawing.cross(*curve.operating, QStringLiteral("F%1").arg(n));
            line += QStringLiteral("; F%1 %2").arg(n).arg(pointText(*curve.operating, chart.pressureScale));
        }
        legend << line;
        ++n;
    };
    demand(chart.network);
    for (const DemandCurve& curve : chart.sets)
        demand(curve);
    if (chart.reserveVolume)
        legend << chart.reserveText;
    for (const QString& note : chart.notes)
        legend << QStringLiteral("Nota: ") + note;
    surface.setCurrentX(0);
    surface.setCurrentY(kPlotTop + kPlotHeight + 18);
    for (const QString& line : legend)
        surface.print(line);
}

} // namespace valmora
