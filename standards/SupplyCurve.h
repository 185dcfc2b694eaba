#pragma once

// The supply's pressure against the flow drawn from it, bar against l/min: fixed, a pump's
// curve through three points, or a water main's from a flow test; and where a demand curve
// meets it (the operating point).
//
// A pump's curve passes through its three points: the parabola where it falls all the way
// from the first point to where it reaches 0, else the power curve p = A - B Q^C, which falls
// wherever the points fall (a real pump's parabola often rises a little before it falls).
// Only points that do not fall are refused.

#include "model/StandardSettings.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

namespace valmora {

// What keeps a supply's settings from making a curve.
enum class SupplyFault {
    None,
    PumpPointsOutOfOrder, // flows not rising, pressures not falling, or the last not above 0
    PumpCurveRises,       // no curve through the three points falls all the way
    MainTestOutOfOrder,   // static not above residual, residual negative, or no test flow
};

class SupplyCurve {
public:
    // `fixedPressure`: the project's supply, bar, for a fixed supply.
    SupplyCurve(const SupplySettings& settings, double fixedPressure);

    // Why the settings make no curve; None when they do.
    SupplyFault fault() const { return fault_; }
    bool fixed() const { return kind_ == SupplyKind::Fixed; }
    // Pressure at `flow`, bar; below 0 beyond the curve's end.
    double pressureAt(double flow) const;
    // The flow at which the pressure falls to 0 (a pump's, a main's end of the curve), or
    // none for a fixed supply.
    std::optional<double> endFlow() const;
    // The largest flow a chart shows of it: past the last point the designer gave.
    double largestFlow() const;

    // Where a demand curve meets it: `flowAt(P)` the flow a network draws with P bar at its
    // origin (rising with P). For a fixed supply, always the supply's pressure. For a curve,
    // none when the supply is too weak for even the first litre (its pressure at no flow not
    // above what the network needs to start).
    struct Point {
        double flow = 0;
        double pressure = 0;
    };
    std::optional<Point> operatingPoint(const std::function<double(double)>& flowAt) const;

    // The curve in words for the report: "p = 6,00 - 2,23e-06 Q^2,06 (bar, l/min)".
    QString formula(const QLocale& locale = QLocale()) const;

private:
    SupplyKind kind_;
    double fixed_ = 0;
    // A pump: p = a + b Q + c Q^2, or p = a - b Q^c when `power_`.
    double a_ = 0, b_ = 0, c_ = 0;
    bool power_ = false;
    SupplySettings settings_;
    SupplyFault fault_ = SupplyFault::None;
};

} // namespace valmora
