#pragma once

// The hydraulic calculation. Every loss follows drop = resistance x Q^1.85 (Q in l/min,
// drop in mm of water column): pipes by Hazen-Williams, KV elements and terminals by the
// same exponent. The tree is reduced to one equivalent resistance at node 1 by series and
// parallel combination, the total flow follows from the supply pressure, and the flow is
// split back down by the ratios found on the way up. Terminal heights become extra
// resistances, corrected in five passes.
//
// Arithmetic: quantities held in 32-bit fields are rounded to float where they are
// stored, and sums of two 32-bit operands are float sums, exactly as the stored results
// have always been computed; everything else is double.
//
// Calculate, ResistanceUp and FlowPass are the only writers of the results; they read the
// project and write nothing into it.

#include "model/NetworkResults.h"
#include "model/NetworkValidation.h"
#include "model/Project.h"
#include "model/Units.h"

#include <QString>

#include <optional>

#include <cstdint>

namespace valmora {

namespace hydraulics {
constexpr double kExponent = 1.85;
constexpr double kInverseExponent = 0.5405405405405405; // 1/1.85 as it has always been written
constexpr double kGuardLength = 0.00001;                // m, keeps a zero length or KV finite
constexpr double kClosedResistance = 1e28;
constexpr double kHeightReferenceFlow = 120;               // l/min, first estimate of the height resistance
constexpr double kCorrectionExponent = 1.3601470508735443; // 1.85^0.5
constexpr int kCorrectionPasses = 5;
constexpr float kMinimumCorrectedFlow = 0.0001f;          // l/min
constexpr double kMmPerBar = units::kCalculationMmPerBar; // the K and KV laws' bar
constexpr double kMmPerMPa = units::kCalculationMmPerMPa;
constexpr float kMmPerMetreOfHeight = float(units::kMmPerMetre); // static head of one metre of water
constexpr double kKvFlowScale = 1000; // a KV element passes KV x 1000 l/min with a drop of 1 bar
constexpr double kHazenWilliamsDiameterExponent = 4.87;
constexpr double kVelocityFactor = 21.221148; // l/min and mm to m/s: 4 / (60 x pi) x 1000
} // namespace hydraulics

struct CalculationOutcome {
    bool ok = true;
    int16_t node = 0;                  // the node the refusal names, 0 for the whole network
    QString message;                   // Italian, for the user
    std::optional<NetworkFault> fault; // what refused it
};

// Full calculation: reduction, flow pass, five height corrections each with its flow pass.
// A network whose arithmetic would not be defined (see NetworkValidation.h) is refused and
// the results left untouched. One whose results overflow (not finite) is refused naming the
// node, with every result at zero (see clearResults). Costs O(nodes): each node is combined once per walk,
// children first, which gives exactly the values of the walk from every branch end up to node 1.
CalculationOutcome Calculate(const Project& project, NetworkResults& results);
// The same, into results of its own (all zero when refused).
NetworkResults Calculated(const Project& project, CalculationOutcome* outcome = nullptr);

// Flow distribution from the stored eqResistance and flowShare values, then totalFlow
// and networkResistance. Results that are not finite are refused as by Calculate.
CalculationOutcome FlowPass(const Project& project, NetworkResults& results);

// Every result zero: no flow anywhere.
void clearResults(const Project& project, NetworkResults& results);

// Quick update after a change at `start`: re-reduces the path from `start` up to node 1
// from the stored results of every other node. A terminal end at `start` restarts its
// height resistance from the 120 l/min estimate. Follow with FlowPass. The walk stops
// short at a node the catalogues cannot compute (the full calculation names it).
void ResistanceUp(const Project& project, NetworkResults& results, int16_t start);
// One height correction along the path from `start` up to node 1, from the stored results
// and the last flow pass: the walk a correction pass makes from each branch end. Calculate
// makes the same pass combining each node once; follow with FlowPass.
void CorrectHeightsUp(const Project& project, NetworkResults& results, int16_t start);

// Resistance of the section alone; 1e28 when closed.
double sectionResistance(const Project& project, const Node& node);
// The same ignoring `closed`: what the section would lose if open.
double openSectionResistance(const Project& project, const Node& node);

// Kt = 10000 / K^1.85, the terminal's own resistance.
float terminalResistanceFor(float kFactor);
// Hq before correction: the resistance that wastes the static head at 120 l/min.
float initialHeightResistance(float height);

} // namespace valmora
