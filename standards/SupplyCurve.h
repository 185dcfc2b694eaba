#pragma once

// The supply's pressure against the flow drawn from it, bar against l/min: fixed, a pump's
// curve through three points, or a water main's from a flow test; and where a demand curve
// meets it (the operating point).

#include "model/StandardSettings.h"

#include <QString>

#include <functional>
#include <optional>

namespace valmora {

class SupplyCurve {
public:
    // `fixedPressure`: the project's supply, bar, for a fixed supply.
    SupplyCurve(const SupplySettings& settings, double fixedPressure);

    // Why the settings make no curve ("i tre punti della pompa ..."); empty when they do.
    const QString& refusal() const { return refusal_; }
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

private:
    SupplyKind kind_;
    double fixed_ = 0;
    double a_ = 0, b_ = 0, c_ = 0; // a pump: p = a + b Q + c Q^2
    double flatUntil_ = -1;        // a pump whose parabola rises a little at first: flat up to here
    SupplySettings settings_;
    QString refusal_;
};

} // namespace valmora
