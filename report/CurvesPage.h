#pragma once

// The chart of the supply and demand curves on paper, drawn as lines and texts on a print
// surface (printer, PDF, preview, PNG alike): the axes with their scales, the supply's curve
// in a heavy line, each demand curve numbered, its demand point (a square) and its operating
// point (a cross) labelled, the legend with each point's flow and pressure, the reserve and
// what the chart cannot show. QtCore only.

#include "platform/PrintSurface.h"
#include "standards/OperatingCurves.h"

namespace valmora {

inline const QString kCurvesTitle = QStringLiteral("Curve di funzionamento");

// One page, from the surface's current page on (the caller starts a new one if it must).
void PrintCurves(const OperatingChart& chart, const Project& project, PrintSurface& surface);

// "Pressioni in bar (1 bar = 10,197 m di colonna d'acqua), portate in l/min", in the chart's unit.
QString pressureUnitsLine(const PressureScale& scale);

// The axis step for a range: 1, 2 or 5 times a power of ten, for about `divisions` steps.
double niceStep(double range, int divisions);

} // namespace valmora
