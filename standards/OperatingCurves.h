#pragma once

// The chart a designer reads the supply from: the supply's curve (fixed, a pump's, a water
// main's), the demand curve of the whole network (every terminal that may discharge working
// at once) and of the verification's sets, all in the verification's own law (Q = Kn sqrt(p),
// 10.197 m of water a bar), and where each meets the supply (its operating point), in bar
// against l/min: one supply is one pressure wherever the report shows it. A supply curve that
// never meets a demand curve is said in words, never drawn as a false point.

#include "model/Project.h"
#include "standards/StandardVerification.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace valmora {

struct CurvePoint {
    double flow = 0;     // l/min
    double pressure = 0; // in the chart's unit (`OperatingChart::pressureScale`)
};

// What a demand curve is of, for the colour it is drawn in.
enum class DemandKind { Network, Unfavourable, Favourable, AllOfARole };

struct DemandCurve {
    QString name; // "Rete, tutti i terminali", "Idranti, più sfavorevole"
    DemandKind kind = DemandKind::Network;
    std::vector<CurvePoint> points;
    std::optional<CurvePoint> demandPoint; // a verification's set: the pressure it needs
    std::optional<CurvePoint> operating;   // where it meets the supply
};

struct OperatingChart {
    QString problem; // why there is no chart (a network the calculation refuses, a bad curve)
    QString supplyName;
    std::vector<CurvePoint> supply;
    DemandCurve network;
    std::vector<DemandCurve> sets;
    // The most favourable scenario's reserve: its flow for its duration.
    std::optional<double> reserveVolume; // m3
    QString reserveText;
    QStringList notes; // what the chart cannot show: curves that never meet
    double largestFlow = 0;
    double largestPressure = 0;
    // The unit of every pressure of the chart: the project's (bar unless m c.a. or kPa).
    PressureScale pressureScale = verificationScale(PressureUnit::Bar);
};

// The chart of the project as it stands, with its verification when one is set (`check`,
// when the caller has it already, saves working it out again).
OperatingChart operatingChart(const Project& project, const StandardCheck* check = nullptr);

// The supply pressure that makes the whole network draw its operating-point flow, mm, as
// the supply dialog would store it (metres x 1000, halves to even); none without one.
std::optional<int32_t> operatingSupplyPressure(const OperatingChart& chart);

// "1.234 l/min a 4,25 bar": a point of a chart in that chart's unit.
QString pointText(const CurvePoint& point, const PressureScale& scale, const QLocale& locale = QLocale());
// "Pressione (bar, 1 bar = 10,197 m c.a.)", "Pressione (kPa)": the pressure axis' title.
QString pressureAxisTitle(const PressureScale& scale);

} // namespace valmora
