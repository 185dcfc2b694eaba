#pragma once

// The arithmetic and the acceptance rules of the supply options, the terminal dialog
// and the equivalent-length calculator, apart from their windows.

#include "model/NetworkResults.h"
#include "model/Project.h"
#include "model/Session.h"
#include "model/Units.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace valmora {

// ---- supply options ("Opzioni") ---------------------------------------------------

constexpr int kSliderMinimumMetres = 1;
constexpr int kSliderMaximumMetres = 300;
constexpr int kSliderSmallStep = 1;
constexpr int kSliderLargeStep = 20;
constexpr int kMmPerMetreOfPressure = int(units::kMmPerMetre);

// Total flow (l/min) the network would draw at `metres` of supply: (p x 1000 / eqResistance(1))^(1/1.85).
double previewFlow(double metres, double rootEqResistance);
// A supply above this is a slip of the keyboard, not a network (1 000 bar).
constexpr float kHighestSupplyMetres = 10000;

// Pressures below twice the highest terminal are refused.
bool supplyCoversHeights(float metres, float maxHeight);
// The supply in mm; nullopt outside 0 .. kHighestSupplyMetres (not a number included).
std::optional<int32_t> supplyPressureFromMetres(float metres);

// The highest terminal among those the network reaches now (node 0 when there is none):
// what the supply must cover, whatever heights the terminals had before.
struct HighestTerminal {
    int16_t node = 0;
    float height = 0;
};
HighestTerminal highestTerminal(const Project& project);
// The refusal of a supply that does not cover twice that terminal's height, naming it.
QString heightsNotCoveredMessage(const Project& project, const HighestTerminal& highest);

// ---- terminal dialog ("Fine") -----------------------------------------------------

// A height whose static head exceeds half the supply pressure is refused.
bool heightWithinHalfSupply(float height, int32_t supplyPressure);
// The pressure left at the terminal of `node` (mm) after the last calculation, "#0";
// "Portata nulla" when the terminal carries no flow.
QString pressureLeftText(const Project& project, const NetworkResults& results, int16_t node);

// ---- equivalent-length calculator ("frmLEQ") --------------------------------------

constexpr int kFittingCount = 6;
constexpr int kDiameterClassCount = 12;
constexpr float kLongestEquivalentLength = 10000; // m

const QStringList& fittingNames();
// Class of the built-in table for an inner diameter: 0 up to 32 mm, else the class of
// the largest nominal size strictly below it.
int diameterClass(float innerDiameter);
// "fino a 25" for class 0, "di 32", "di 40" ... otherwise.
QString diameterClassText(int diameterClass);
// Tabulated equivalent length of fitting k for a class, times the series' factor.
float fittingLength(int fitting, int diameterClass, float leqFactor);

// What the calculator is handed for a pipe node: its flow and the loss of its fittings.
struct EquivalentLengthInput {
    float flow = 0;         // l/min
    double fittingLoss = 0; // mm at that flow
};
EquivalentLengthInput equivalentLengthInput(const Project& project, const NetworkResults& results,
                                            int16_t node);
// The session's `editNode` becomes a copy of the node, with its flow and the loss of its
// fittings beside it: what the calculator is opened with.
void loadEditNode(const Project& project, const NetworkResults& results, Session& session, int16_t node);
// The same for a loop pipe, by its index, with the size of its flow either way.
void loadEditLoopPipe(const Project& project, const NetworkResults& results, Session& session,
                      std::size_t pipe);

// Resistance per metre of pipe of a series and bore: frictionFactor / d^4.87 (32-bit).
float resistancePerMetre(float frictionFactor, float innerDiameter);
// Length of pipe that loses `loss` mm at `flow` l/min.
float lengthFromLoss(double loss, double flow, float perMetre);
// Length of pipe with the resistance of a KV element of that KV.
float lengthFromKv(double kv, float perMetre);
// The KV whose element has the resistance of `length` metres of this pipe.
double kvFromLength(float length, float perMetre);
// What "Riporta" hands back: the total rounded to one decimal, halves to even.
float roundedToOneDecimal(double total);

} // namespace valmora
