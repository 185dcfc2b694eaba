#include "model/DialogRules.h"

#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"

#include <cmath>
#include <limits>

namespace valmora {

using namespace hydraulics;

namespace {

constexpr int kTenths = 10;

// Nominal sizes bounding the classes of the fittings table, mm.
constexpr std::array<float, kDiameterClassCount> kClassSizes = {25,  32,  40,  50,  65,  80,
                                                                100, 125, 150, 200, 250, 300};

// Equivalent lengths in metres by fitting (rows) and class (columns), for C = 120.
constexpr std::array<std::array<float, kDiameterClassCount>, kFittingCount> kFittingTable = {{
    {0.3f, 0.3f, 0.6f, 0.6f, 0.9f, 0.9f, 1.2f, 1.5f, 2.1f, 2.7f, 3.3f, 3.9f},
    {0.6f, 0.9f, 1.2f, 1.5f, 1.8f, 2.1f, 3.0f, 3.6f, 4.2f, 5.4f, 6.6f, 8.1f},
    {0.6f, 0.6f, 0.6f, 0.9f, 1.2f, 1.5f, 1.8f, 2.4f, 2.7f, 3.9f, 4.8f, 5.4f},
    {1.5f, 1.8f, 2.4f, 3.0f, 3.6f, 4.5f, 6.0f, 7.5f, 9.0f, 10.5f, 15.0f, 18.0f},
    {0.0f, 0.0f, 0.0f, 0.3f, 0.3f, 0.3f, 0.6f, 0.6f, 0.6f, 0.9f, 1.2f, 1.5f},
    {1.5f, 2.1f, 2.7f, 3.3f, 4.2f, 4.8f, 6.6f, 8.3f, 10.4f, 13.5f, 16.5f, 19.5f},
}};

} // namespace

double previewFlow(double metres, double rootEqResistance) {
    return std::pow(metres * kMmPerMetreOfPressure / rootEqResistance, kInverseExponent);
}

bool supplyCoversHeights(float metres, float maxHeight) {
    return !(2 * maxHeight > metres);
}

std::optional<int32_t> supplyPressureFromMetres(float metres) {
    if (!(metres >= 0 && metres <= kHighestSupplyMetres))
        return std::nullopt;
    return static_cast<int32_t>(roundHalfEven(double(metres) * kMmPerMetreOfPressure));
}

HighestTerminal highestTerminal(const Project& project) {
    HighestTerminal highest;
    for (const int16_t n : networkPreorder(project)) {
        const Terminal* terminal = project.findTerminal(project.NodeTable[n]);
        if (terminal && (highest.node == 0 || terminal->height > highest.height))
            highest = {n, terminal->height};
    }
    return highest;
}

QString heightsNotCoveredMessage(const Project& project, const HighestTerminal& highest) {
    QString text = QStringLiteral("Ci sono quote oltre il 50% della pressione");
    if (highest.node == 0)
        return text;
    const Node& node = project.NodeTable[highest.node];
    const TerminalType* type = project.findTerminalType(*project.findTerminal(node));
    return text + QStringLiteral("\nIl terminale più alto è %1 (%2), a quota m %3.")
                      .arg(quotedExcerpt(node.name), type ? type->name.trimmed() : QStringLiteral("?"),
                           formatGeneral(highest.height));
}

bool heightWithinHalfSupply(float height, int32_t supplyPressure) {
    return !(kMmPerMetreOfHeight * height > float(supplyPressure) / 2.0f);
}

QString pressureLeftText(const Project& project, const NetworkResults& results, int16_t node) {
    const Node& end = project.NodeTable[node];
    const Terminal* terminal = project.findTerminal(end);
    const float height = terminal ? terminal->height : 0.0f;
    for (const BranchRow& row : computeBranchRows(project, results, branchStartOf(project, node))) {
        if (row.node != node)
            continue;
        const std::optional<double> left = terminalPressureLeft(project, row, height);
        return left ? calculationScale(project.pressureUnit).cell(*left) : kNullFlowText;
    }
    return {};
}

const QStringList& fittingNames() {
    static const QStringList names = {QStringLiteral("Gomito a 45°"),
                                      QStringLiteral("Gomito a 90°"),
                                      QStringLiteral("Curva 90° ampio raggio"),
                                      QStringLiteral("Pezzo a T o a croce"),
                                      QStringLiteral("Saracinesca"),
                                      QStringLiteral("Valvola di non ritorno")};
    return names;
}

int diameterClass(float innerDiameter) {
    if (innerDiameter <= kClassSizes[1])
        return 0;
    int found = 0;
    for (int c = 0; c < kDiameterClassCount; ++c)
        if (kClassSizes[std::size_t(c)] < innerDiameter)
            found = c;
    return found;
}

QString diameterClassText(int diameterClass) {
    if (diameterClass == 0)
        return QStringLiteral("fino a 25");
    return QStringLiteral("di %1").arg(double(kClassSizes[std::size_t(diameterClass)]));
}

float fittingLength(int fitting, int diameterClass, float leqFactor) {
    return leqFactor * kFittingTable[std::size_t(fitting)][std::size_t(diameterClass)];
}

namespace {

EquivalentLengthInput sectionInput(const Project& project, const Node& section, double flow) {
    EquivalentLengthInput input;
    input.flow = static_cast<float>(flow);
    // The loss is reckoned on the bore rounded to a whole millimetre.
    const double bore = std::nearbyint(double(project.diameterOf(section).innerDiameter));
    input.fittingLoss = std::pow(flow, kExponent) * double(project.seriesOf(section).frictionFactor) *
                        (double(section.virtualLength) + kGuardLength) /
                        std::pow(bore, kHazenWilliamsDiameterExponent);
    return input;
}

void loadEditSection(Session& session, const Node& section, const EquivalentLengthInput& input) {
    session.editNode = section;
    session.editFlow = input.flow;
    session.editFittingLoss = input.fittingLoss;
}

} // namespace

EquivalentLengthInput equivalentLengthInput(const Project& project, const NetworkResults& results,
                                            int16_t node) {
    return sectionInput(project, project.NodeTable[node], nodeFlow(results, node));
}

void loadEditNode(const Project& project, const NetworkResults& results, Session& session, int16_t node) {
    loadEditSection(session, project.NodeTable[std::size_t(node)],
                    equivalentLengthInput(project, results, node));
}

void loadEditLoopPipe(const Project& project, const NetworkResults& results, Session& session,
                      std::size_t pipe) {
    const Node section = project.loopPipes[pipe].asSection();
    const double flow =
        results.ring && pipe < results.ring->loops.size() ? std::fabs(results.ring->loops[pipe].flow) : 0.0;
    loadEditSection(session, section, sectionInput(project, section, flow));
}

float resistancePerMetre(float frictionFactor, float innerDiameter) {
    return static_cast<float>(double(frictionFactor) /
                              std::pow(double(innerDiameter), kHazenWilliamsDiameterExponent));
}

float lengthFromLoss(double loss, double flow, float perMetre) {
    return static_cast<float>(loss / std::pow(flow, kExponent) / double(perMetre));
}

float lengthFromKv(double kv, float perMetre) {
    return static_cast<float>(kMmPerBar / std::pow(kv * kKvFlowScale, kExponent) / double(perMetre));
}

double kvFromLength(float length, float perMetre) {
    return std::pow((kMmPerBar / double(length)) / double(perMetre), kInverseExponent) / kKvFlowScale;
}

float roundedToOneDecimal(double total) {
    return static_cast<float>(double(roundHalfEven(total * kTenths)) / kTenths);
}

} // namespace valmora
