#pragma once

// The network written as input of the open hydraulic solver EPANET (2.2 / 2.3), so that
// a designer can check the converged flows with an independent program:
//   - flows in l/min (UNITS LPM, pressures in metres), Hazen-Williams losses;
//   - the supply: a reservoir at the supply head; every section a link from the junction
//     at its inlet to the junction at its outlet;
//   - pipes with their series' C, inner diameter and length + equivalent length + the
//     guard length; KV elements as general purpose valves whose head-loss curve follows
//     10000 x (Q / KV / 1000)^1.85 mm; closed sections closed;
//   - a terminal end: its junction at the terminal's height with an emitter passing
//     K x p^(1/1.85) l/min at p bar (EMITTER EXPONENT 1/1.85, no backflow); an end without
//     terminal: a reservoir at head 0.
// Names carry the node index and as much of the node's name as the format allows.

#include "model/Calculation.h"
#include "model/Project.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace valmora {

namespace epanet {
constexpr int kMaxIdLength = 31;
// The reader takes lines of up to 1024 bytes; a title line keeps well below, in UTF-8 too.
constexpr int kMaxTitleCharacters = 240;
constexpr double kMmPerMetre = hydraulics::kMmPerMetreOfHeight;
constexpr double kMetresPerBar = hydraulics::kMmPerBar / kMmPerMetre; // the calculation's 10 m a bar
constexpr double kScenarioEmitterExponent = 0.5;                      // Q = Kn sqrt(p)
// Flows, as shares of KV x 1000 l/min, at which a KV element's head-loss curve is tabulated.
constexpr double kKvCurveShares[] = {0, 0.01, 0.02, 0.05, 0.1, 0.2, 0.3, 0.5, 0.7, 1, 1.5, 2, 3, 5, 10};
} // namespace epanet

// Identifiers of the elements that stand for node i.
QString epanetJunctionId(const Project& project, int16_t node);
QString epanetLinkId(const Project& project, int16_t node);
QString epanetCurveId(const Project& project, int16_t node);
inline const QString kEpanetSupplyId = QStringLiteral("Origine");

// The whole input file. The network must be one the calculation accepts.
QByteArray epanetInput(const Project& project);

// The same in metres of water at 10.197 a bar throughout, for cross-checks of the solver: the
// calculation's formulas count 10 m of head a bar (its heights in mm, its losses as 10 000 mm a
// bar), while EPANET's Hazen-Williams losses are metres of water, some 2 % more. Here the supply,
// the heights, the emitters and the KV curves are scaled by 10.197 / 10, so that EPANET solves
// the calculation's own law; the heights written are not the project's.
QByteArray epanetCrossCheckInput(const Project& project);

// A scenario of the verification against a standard, as its laws see it: only `members`
// discharge, each as Q = Kn x p^0.5 (EMITTER EXPONENT 0.5, its coefficient for p in metres),
// every other terminal and every end without terminal shut; losses and heads in metres of
// water at 10.197 m a bar, KV elements' curves likewise.
QByteArray epanetScenarioInput(const Project& project, const std::vector<int16_t>& members);

} // namespace valmora
