#include "standards/SupplyCurve.h"

#include "model/Calculation.h"

#include <algorithm>
#include <cmath>

namespace valmora {

namespace {

constexpr double kChartBeyondLastPoint = 1.25; // a chart shows a quarter more flow than the last point
constexpr double kNoFlow = 1e-6;              // l/min: a network that draws this draws nothing
constexpr double kPointTolerance = 1e-8; // share of the pressure
constexpr int kMaxSteps = 200;
constexpr int kHalvingEvery = 4;
constexpr double kLargestHump = 0.01; // share of the shut-off pressure
constexpr double kFlatSlope = 1e-12;  // bar per l/min: the top of the hump

} // namespace

SupplyCurve::SupplyCurve(const SupplySettings& settings, double fixedPressure)
    : kind_(settings.kind), fixed_(fixedPressure), settings_(settings) {
    if (kind_ == SupplyKind::Pump) {
        const auto& p = settings.pump;
        const bool ordered = p[0].flow >= 0 && p[0].flow < p[1].flow && p[1].flow < p[2].flow &&
                             p[0].pressure > p[1].pressure && p[1].pressure > p[2].pressure && p[2].pressure > 0;
        if (!ordered) {
            refusal_ = QStringLiteral("I tre punti della pompa devono avere portate crescenti e pressioni decrescenti "
                                      "(sopra 0 bar): prevalenza a portata nulla, portata nominale, sovraccarico.");
            return;
        }
        // The parabola through the three points (divided differences).
        const double d01 = (p[1].pressure - p[0].pressure) / (p[1].flow - p[0].flow);
        const double d12 = (p[2].pressure - p[1].pressure) / (p[2].flow - p[1].flow);
        c_ = (d12 - d01) / (p[2].flow - p[0].flow);
        b_ = d01 - c_ * (p[0].flow + p[1].flow);
        a_ = p[0].pressure - b_ * p[0].flow - c_ * p[0].flow * p[0].flow;
        // A parabola through a real pump's three points often rises a little before it falls:
        // below kLargestHump of the shut-off pressure, the curve is taken as flat up to its top.
        if (b_ + 2 * c_ * p[0].flow > 0) {
            flatUntil_ = c_ < 0 ? -b_ / (2 * c_) : p[2].flow;
            const double top = a_ + b_ * flatUntil_ + c_ * flatUntil_ * flatUntil_;
            if (flatUntil_ >= p[1].flow || top > p[0].pressure * (1 + kLargestHump))
                flatUntil_ = -1;
        }
        // Falling all the way from there to where it reaches 0 (the slope of a parabola is
        // linear: not rising at the start and falling at the end, it falls in between).
        const auto slope = [&](double q) { return b_ + 2 * c_ * q; };
        const double start = std::max(p[0].flow, flatUntil_);
        const double end = endFlow().value_or(p[2].flow);
        if (slope(start) > kFlatSlope || slope(end) >= 0)
            refusal_ = QStringLiteral("I tre punti della pompa non danno una curva che scende sempre: la "
                                      "pressione risalirebbe con la portata.");
    } else if (kind_ == SupplyKind::MainTest) {
        if (!(settings.staticPressure > settings.residualPressure && settings.residualPressure >= 0 &&
              settings.testFlow > 0))
            refusal_ = QStringLiteral("La prova dell'acquedotto chiede una pressione statica maggiore della residua "
                                      "(non negativa) e una portata di prova maggiore di 0.");
    }
}

double SupplyCurve::pressureAt(double flow) const {
    switch (kind_) {
    case SupplyKind::Pump: {
        const double q = std::max(flow, flatUntil_);
        return a_ + b_ * q + c_ * q * q;
    }
    case SupplyKind::MainTest:
        return settings_.staticPressure - (settings_.staticPressure - settings_.residualPressure) *
                                              std::pow(std::max(flow, 0.0) / settings_.testFlow, hydraulics::kExponent);
    case SupplyKind::Fixed: break;
    }
    return fixed_;
}

std::optional<double> SupplyCurve::endFlow() const {
    if (kind_ == SupplyKind::MainTest && refusal_.isEmpty())
        return settings_.testFlow *
               std::pow(settings_.staticPressure / (settings_.staticPressure - settings_.residualPressure),
                        hydraulics::kInverseExponent);
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

std::optional<SupplyCurve::Point> SupplyCurve::operatingPoint(const std::function<double(double)>& flowAt) const {
    if (!refusal_.isEmpty())
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
