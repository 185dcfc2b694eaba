#include "standards/OperatingCurves.h"

#include "model/NetworkProblemText.h"
#include "model/NumberFormat.h"
#include "standards/SupplyCurve.h"
#include "standards/VerificationText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace valmora {

using namespace standard_law;

namespace {

constexpr int kCurvePoints = 24;
constexpr double kHeadroom = 1.15;  // the chart reaches a little past what it must show
constexpr double kFarestDemand = 3; // times the supply's pressure at no flow

// The terminals that may discharge: open, with a nominal flow and pressure.
std::vector<int16_t> dischargingEnds(const StandardNetwork& network) {
    std::vector<int16_t> ends;
    for (const int16_t end : network.terminalEnds())
        if (!network.shutOff(end) && network.kn(end) > 0)
            ends.push_back(end);
    return ends;
}

// The flows the whole network draws at origin pressures, in the verification's own law (every
// terminal that may discharge working at once, Q = Kn sqrt(p), heights at 10.197 m a bar),
// each solved afresh.
class NetworkDemand {
public:
    explicit NetworkDemand(const StandardNetwork& network) : all_(network, dischargingEnds(network)) {}
    double flowAt(double pressure) const { return pressure <= 0 ? 0.0 : all_.solve(pressure).totalFlow; }

private:
    ScenarioNetwork all_;
};

// A demand curve from the pressure at which its first terminal starts to flow (`still`, the
// static head of the lowest one: below it nothing flows) up to `largestPressure`. The flow
// grows as the root of the pressure above that head, steeply at first: the points are closer
// where the curve bends, so that its line never seems to run below the static head.
std::vector<CurvePoint> sampled(double still, double largestPressure,
                                const std::function<double(double)>& flowAt) {
    const double from = std::clamp(still, 0.0, largestPressure);
    std::vector<CurvePoint> points{{0, from}};
    for (int k = 1; k <= kCurvePoints; ++k) {
        const double share = double(k) / kCurvePoints;
        const double pressure = from + (largestPressure - from) * share * share;
        points.push_back({flowAt(pressure), pressure});
    }
    return points;
}

// The static head of the lowest of `ends` that is open, bar.
double lowestStaticHead(const StandardNetwork& network, const std::vector<int16_t>& ends) {
    double lowest = std::numeric_limits<double>::infinity();
    for (const int16_t end : ends)
        if (!network.shutOff(end))
            lowest = std::min(lowest, network.staticHead(end));
    return std::isfinite(lowest) ? lowest : 0;
}

QString setName(const ScenarioCheck& scenario, bool unfavourable) {
    return rolePlural(scenario.role) +
           (unfavourable ? QStringLiteral(", più sfavorevole") : QStringLiteral(", più favorevole"));
}

bool sameMembers(const SetCheck& a, const SetCheck& b) {
    if (a.members.size() != b.members.size())
        return false;
    for (std::size_t k = 0; k < a.members.size(); ++k)
        if (a.members[k].node != b.members[k].node)
            return false;
    return true;
}

std::vector<int16_t> flowingMembers(const StandardNetwork& network, const SetCheck& set) {
    std::vector<int16_t> members;
    for (const MemberCheck& m : set.members)
        if (!network.shutOff(m.node) && network.kn(m.node) > 0)
            members.push_back(m.node);
    return members;
}

QString supplyName(SupplyKind kind) {
    switch (kind) {
    case SupplyKind::Pump:
        return QStringLiteral("Pompa");
    case SupplyKind::MainTest:
        return QStringLiteral("Acquedotto");
    case SupplyKind::Fixed:
        break;
    }
    return QStringLiteral("Pressione di progetto");
}

} // namespace

// Every pressure of the chart, worked out in bar, in the unit of `scale`.
OperatingChart inScale(OperatingChart chart, const PressureScale& scale) {
    const auto convert = [&scale](CurvePoint& p) { p.pressure = scale.fromBar(p.pressure); };
    const auto convertCurve = [&](DemandCurve& curve) {
        for (CurvePoint& p : curve.points)
            convert(p);
        if (curve.demandPoint)
            convert(*curve.demandPoint);
        if (curve.operating)
            convert(*curve.operating);
    };
    for (CurvePoint& p : chart.supply)
        convert(p);
    convertCurve(chart.network);
    for (DemandCurve& curve : chart.sets)
        convertCurve(curve);
    chart.largestPressure = scale.fromBar(chart.largestPressure);
    chart.pressureScale = scale;
    return chart;
}

OperatingChart operatingChart(const Project& project, const StandardCheck* check) {
    OperatingChart chart;
    // Worked out in bar, shown in the project's unit.
    const PressureScale scale = verificationScale(project.pressureUnit);
    const auto shown = [&scale](CurvePoint p) {
        p.pressure = scale.fromBar(p.pressure);
        return p;
    };
    const StandardNetwork network(project);
    if (!network.ok()) {
        chart.problem = networkProblemText(project, *network.problem());
        return chart;
    }
    const StandardSettings& settings = project.standardSettings;
    const SupplyCurve supply(settings.supply, network.supplyBar());
    if (supply.fault() != SupplyFault::None) {
        chart.problem = supplyFaultText(supply.fault());
        return chart;
    }
    std::optional<StandardCheck> own;
    if (!check && settings.standard != Standard::None)
        check = &own.emplace(verifyStandard(project, settings));

    // The pressures the chart spans: the supply's at no flow, and what each set needs, up to
    // a few times the supply (a set that needs far more is said so in words).
    const double supplied = supply.pressureAt(0);
    double top = supplied;
    if (check)
        for (const ScenarioCheck& s : check->scenarios)
            top = std::max(top,
                           std::min(s.mostUnfavourable.demandPressure.value_or(0), kFarestDemand * supplied));
    top *= kHeadroom;

    chart.network.name = QStringLiteral("Rete, tutti i terminali");
    NetworkDemand networkDemand(network);
    const auto networkFlowAt = [&](double p) { return networkDemand.flowAt(p); };
    chart.network.points = sampled(lowestStaticHead(network, dischargingEnds(network)), top, networkFlowAt);
    chart.network.operating = [&]() -> std::optional<CurvePoint> {
        const auto point = supply.operatingPoint(networkFlowAt);
        return point ? std::optional<CurvePoint>(CurvePoint{point->flow, point->pressure}) : std::nullopt;
    }();
    if (!chart.network.operating)
        chart.notes << QStringLiteral(
            "La curva di alimentazione non incontra la domanda della rete: non fornisce "
            "neppure il primo litro.");

    if (check) {
        double largestReserve = -1;
        for (const ScenarioCheck& scenario : check->scenarios) {
            // Where every terminal of the role works at once, both sets are one and one curve.
            const bool oneSet = sameMembers(scenario.mostUnfavourable, scenario.mostFavourable);
            for (const bool unfavourable : {true, false}) {
                const SetCheck& set = unfavourable ? scenario.mostUnfavourable : scenario.mostFavourable;
                const std::vector<int16_t> members = flowingMembers(network, set);
                if (members.empty() || (oneSet && !unfavourable))
                    continue;
                const ScenarioNetwork tree(network, members);
                const auto drawn = [&](double p) { return tree.solve(p).totalFlow; };
                DemandCurve curve;
                curve.name = oneSet ? rolePlural(scenario.role) + QStringLiteral(", tutti")
                                    : setName(scenario, unfavourable);
                curve.kind = oneSet ? DemandKind::AllOfARole
                                    : (unfavourable ? DemandKind::Unfavourable : DemandKind::Favourable);
                curve.points = sampled(lowestStaticHead(network, members), top, drawn);
                if (unfavourable && set.demandPressure) {
                    curve.demandPoint = CurvePoint{set.demandFlow, *set.demandPressure};
                    if (*set.demandPressure > top)
                        chart.notes << curve.name + QStringLiteral(": la richiesta (%1) è fuori dal grafico.")
                                                        .arg(pointText(shown(*curve.demandPoint), scale));
                }
                if (const auto point = supply.operatingPoint(drawn))
                    curve.operating = CurvePoint{point->flow, point->pressure};
                else
                    chart.notes << curve.name +
                                       QStringLiteral(
                                           ": la curva di alimentazione non ne incontra la domanda.");
                chart.sets.push_back(std::move(curve));
            }
            if (scenario.reserveVolume > largestReserve) {
                largestReserve = scenario.reserveVolume;
                chart.reserveVolume = scenario.reserveVolume;
                chart.reserveText = QStringLiteral("Riserva idrica (%1, %2 minuti): %3 m³")
                                        .arg(rolePlural(scenario.role))
                                        .arg(scenario.durationMinutes)
                                        .arg(formatPicture(scenario.reserveVolume, u"#,#0.0"));
            }
        }
    }

    chart.supplyName = supplyName(settings.supply.kind);
    double widest = 0;
    for (const DemandCurve* curve : {&chart.network})
        for (const CurvePoint& p : curve->points)
            widest = std::max(widest, p.flow);
    for (const DemandCurve& curve : chart.sets)
        for (const CurvePoint& p : curve.points)
            widest = std::max(widest, p.flow);
    chart.largestFlow = std::max({widest, supply.largestFlow(), 1.0});
    const double end = supply.fixed() ? chart.largestFlow : std::min(chart.largestFlow, supply.largestFlow());
    for (int k = 0; k <= kCurvePoints; ++k) {
        const double flow = end * k / kCurvePoints;
        chart.supply.push_back({flow, std::max(supply.pressureAt(flow), 0.0)});
    }
    chart.largestPressure = top;
    return inScale(std::move(chart), scale);
}

std::optional<int32_t> operatingSupplyPressure(const OperatingChart& chart) {
    if (!chart.network.operating)
        return std::nullopt;
    const double metres = chart.pressureScale.toBar(chart.network.operating->pressure) * kMetresOfWaterPerBar;
    return static_cast<int32_t>(roundHalfEven(metres * kMmPerMetre));
}

QString pointText(const CurvePoint& point, const PressureScale& scale, const QLocale& locale) {
    return QStringLiteral("%1 l/min a %2")
        .arg(formatPicture(point.flow, u"#,#0", locale),
             scale.textOfBar(scale.toBar(point.pressure), locale));
}

QString pressureAxisTitle(const PressureScale& scale) {
    if (scale.symbol == QStringLiteral("bar"))
        return QStringLiteral("Pressione (bar, 1 bar = 10,197 m c.a.)");
    return QStringLiteral("Pressione (%1)").arg(scale.symbol);
}

} // namespace valmora
