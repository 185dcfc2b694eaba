#include "standards/SupplyCurve.h"

#include "model/Calculation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace valmora {

namespace {

constexpr double kChartBeyondLastPoint = 1.25; // a chart shows a quarter more flow than the last point
constexpr double kNoFlow = 1e-6;               // l/min: a network that draws this draws nothing
constexpr double kPointTolerance = 1e-8;       // share of the pressure
constexpr int kMaxSteps = 200;
constexpr int kHalvingEvery = 4;
// The exponent of a pump's power curve: between a curve all but straight and one all but
// flat until it drops (as the three-point form of the independent solver bounds it).
constexpr double kSmallestExponent = 1e-3;
constexpr double kLargestExponent = 20;
constexpr int kExponentSteps = 100;

} // namespace

namespace {

// C of p = A - B Q^C through three falling points: the share (p0 - p1) / (p1 - p2) equals
// (q1^C - q0^C) / (q2^C - q1^C), which falls as C grows.
std::optional<double> powerExponent(const std::array<PumpPoint, 3>& p) {
    const double wanted = (p[0].pressure - p[1].pressure) / (p[1].pressure - p[2].pressure);
    const auto share = [&](double c) {
        return (std::pow(p[1].flow, c) - std::pow(p[0].flow, c)) /
               (std::pow(p[2].flow, c) - std::pow(p[1].flow, c));
    };
    if (p[0].flow == 0) { // the closed form: q0^C is 0
        const double c = std::log((p[0].pressure - p[2].pressure) / (p[0].pressure - p[1].pressure)) /
                         std::log(p[2].flow / p[1].flow);
        return c > 0 && c <= kLargestExponent ? std::optional<double>(c) : std::nullopt;
    }
    double low = kSmallestExponent, high = kLargestExponent;
    if (!(share(low) >= wanted && share(high) <= wanted))
        return std::nullopt;
    for (int step = 0; step < kExponentSteps; ++step) {
        const double mid = (low + high) / 2;
        (share(mid) > wanted ? low : high) = mid;
    }
    return (low + high) / 2;
}

} // namespace

SupplyCurve::SupplyCurve(const SupplySettings& settings, double fixedPressure)
    : kind_(settings.kind), fixed_(fixedPressure), settings_(settings) {
    if (kind_ == SupplyKind::Pump) {
        const auto& p = settings.pump;
        const bool ordered = p[0].flow >= 0 && p[0].flow < p[1].flow && p[1].flow < p[2].flow &&
                             p[0].pressure > p[1].pressure && p[1].pressure > p[2].pressure &&
                             p[2].pressure > 0;
        if (!ordered) {
            fault_ = SupplyFault::PumpPointsOutOfOrder;
            return;
        }
        // The parabola through the three points (divided differences).
        const double d01 = (p[1].pressure - p[0].pressure) / (p[1].flow - p[0].flow);
        const double d12 = (p[2].pressure - p[1].pressure) / (p[2].flow - p[1].flow);
        c_ = (d12 - d01) / (p[2].flow - p[0].flow);
        b_ = d01 - c_ * (p[0].flow + p[1].flow);
        a_ = p[0].pressure - b_ * p[0].flow - c_ * p[0].flow * p[0].flow;
        // Falling all the way from no flow to where it reaches 0: the slope of a parabola is
        // linear, so it is enough that it falls at both ends.
        const auto slope = [&](double q) { return b_ + 2 * c_ * q; };
        const std::optional<double> end = endFlow();
        if (slope(0) <= 0 && end && slope(*end) < 0)
            return;
        const std::optional<double> exponent = powerExponent(p);
        if (!exponent) {
            fault_ = SupplyFault::PumpCurveRises;
            return;
        }
        power_ = true;
        c_ = *exponent;
        b_ = (p[0].pressure - p[1].pressure) / (std::pow(p[1].flow, c_) - std::pow(p[0].flow, c_));
        a_ = p[0].pressure + b_ * std::pow(p[0].flow, c_);
    } else if (kind_ == SupplyKind::MainTest) {
        if (!(settings.staticPressure > settings.residualPressure && settings.residualPressure >= 0 &&
              settings.testFlow > 0))
            fault_ = SupplyFault::MainTestOutOfOrder;
    }
}

double SupplyCurve::pressureAt(double flow) const {
    switch (kind_) {
    case SupplyKind::Pump: {
        const double q = std::max(flow, 0.0);
        return power_ ? a_ - b_ * std::pow(q, c_) : a_ + b_ * q + c_ * q * q;
    }
    case SupplyKind::MainTest:
        return settings_.staticPressure -
               (settings_.staticPressure - settings_.residualPressure) *
                   std::pow(std::max(flow, 0.0) / settings_.testFlow, hydraulics::kExponent);
    case SupplyKind::Fixed:
        break;
    }
    return fixed_;
}

std::optional<double> SupplyCurve::endFlow() const {
    if (kind_ == SupplyKind::MainTest && fault_ == SupplyFault::None)
        return settings_.testFlow *
               std::pow(settings_.staticPressure / (settings_.staticPressure - settings_.residualPressure),
                        hydraulics::kInverseExponent);
    if (kind_ == SupplyKind::Pump && power_)
        return std::pow(a_ / b_, 1 / c_);
    if (kind_ == SupplyKind::Pump) {
        // The root of a + b Q + c Q^2 beyond the last point.
        if (std::abs(c_) < 1e-300)
            return b_ < 0 ? std::optional<double>(-a_ / b_) : std::nullopt;
        const double discriminant = b_ * b_ - 4 * a_ * c_;
        if (discriminant < 0)
            return std::nullopt;
        const double root1 = (-b_ + std::sqrt(discriminant)) / (2 * c_);
        const double root2 = (-b_ - std::sqrt(discriminant)) / (2 * c_);
        double end = -1;
        for (const double root : {root1, root2})
            if (root >= settings_.pump[2].flow && (end < 0 || root < end))
                end = root;
        return end >= 0 ? std::optional<double>(end) : std::nullopt;
    }
    return std::nullopt;
}

double SupplyCurve::largestFlow() const {
    if (kind_ == SupplyKind::Pump)
        return endFlow().value_or(settings_.pump[2].flow * kChartBeyondLastPoint);
    if (kind_ == SupplyKind::MainTest)
        return endFlow().value_or(settings_.testFlow * kChartBeyondLastPoint);
    return 0;
}

std::optional<SupplyCurve::Point>
SupplyCurve::operatingPoint(const std::function<double(double)>& flowAt) const {
    if (fault_ != SupplyFault::None)
        return std::nullopt;
    if (kind_ == SupplyKind::Fixed)
        return Point{flowAt(fixed_), fixed_}; // the network stands at the supply, whatever it draws
    // h(P) = P - supply(flow drawn at P) rises with P; between 0 and the pressure at no flow.
    double low = 0, high = pressureAt(0);
    double flowHigh = flowAt(high);
    if (flowHigh <= kNoFlow)
        return std::nullopt; // not even the first litre
    double gLow = -pressureAt(flowAt(low));
    double gHigh = high - pressureAt(flowHigh);
    if (gHigh < 0)
        return std::nullopt;
    int side = 0;
    for (int step = 0; step < kMaxSteps && high - low > kPointTolerance * std::max(high, 1.0); ++step) {
        // Regula falsi, every few steps a halving: the flows a solver gives are exact to its
        // tolerance only, and a curve flat at its top leaves the secant little to work on.
        const double at = step % kHalvingEvery == kHalvingEvery - 1
                              ? (low + high) / 2
                              : std::clamp(high - gHigh * (high - low) / (gHigh - gLow), low, high);
        const double flow = flowAt(at);
        const double g = at - pressureAt(flow);
        if (std::abs(g) <= kPointTolerance * std::max(at, 1.0))
            return Point{flow, at}; // the curves meet here, to the solver's own tolerance
        if (g >= 0) {
            high = at, gHigh = g, flowHigh = flow;
            if (side == 1)
                gLow /= 2;
            side = 1;
        } else {
            low = at, gLow = g;
            if (side == -1)
                gHigh /= 2;
            side = -1;
        }
    }
    return Point{flowHigh, high};
}

} // namespace valmora

namespace valmora {

QString SupplyCurve::formula(const QLocale& locale) const {
    const auto number = [&](double v) { return locale.toString(v, 'g', 4); };
    switch (kind_) {
    case SupplyKind::Pump:
        if (power_)
            return QStringLiteral("p = %1 - %2 Q^%3 (bar, l/min)").arg(number(a_), number(b_), number(c_));
        return QStringLiteral("p = %1 %2 %3 Q %4 %5 Q² (bar, l/min)")
            .arg(number(a_), b_ < 0 ? QStringLiteral("-") : QStringLiteral("+"), number(std::abs(b_)),
                 c_ < 0 ? QStringLiteral("-") : QStringLiteral("+"), number(std::abs(c_)));
    case SupplyKind::MainTest:
        return QStringLiteral("p = %1 - %2 (Q / %3)^%4 (bar, l/min)")
            .arg(number(settings_.staticPressure),
                 number(settings_.staticPressure - settings_.residualPressure), number(settings_.testFlow),
                 number(hydraulics::kExponent));
    case SupplyKind::Fixed:
        break;
    }
    return QStringLiteral("p = %1 bar").arg(number(fixed_));
}

} // namespace valmora
