#include "model/DerivedQuantities.h"

#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"

#include <cmath>

namespace valmora {

using namespace hydraulics;

namespace {

// The rings' solution of a node; none beyond its tables (a node added since carries nothing).
const ConvergedNode* ringNode(const NetworkResults& results, int16_t node) {
    const std::vector<ConvergedNode>& nodes = results.ring->nodes;
    return node > 0 && std::size_t(node) < nodes.size() ? &nodes[std::size_t(node)] : nullptr;
}

// The drop from the supply to a node's outlet in the rings' solution; none where it has no
// pressure (shut off, or beyond the solution's tables).
std::optional<double> ringOutletDrop(const NetworkResults& results, int16_t node) {
    const ConvergedNode* at = ringNode(results, node);
    return at ? at->cumulativeDrop : std::nullopt;
}

} // namespace

double nodeFlow(const NetworkResults& results, int16_t node) {
    if (results.ring) {
        const ConvergedNode* at = ringNode(results, node);
        return at ? at->flow : 0.0;
    }
    return double(results.totalFlow) * results.node(node).flowFraction;
}

namespace {

// A section the calculation refuses (C of 0, a bore or a KV of 0 or less) has no drop or
// velocity to show: its results are those of an earlier network or zero.
std::optional<double> finiteOrNone(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

double terminalFlowAt(const NetworkResults& results, int16_t node) {
    if (results.ring) {
        const ConvergedNode* at = ringNode(results, node);
        return at ? at->terminalFlow : 0.0;
    }
    return nodeFlow(results, node);
}

double sectionDrop(const Project& project, const Node& node, double flow) {
    // Against the section's direction (a ring's flow may run either way) the drop is negative.
    const double magnitude = std::abs(flow);
    if (node.isKvElement())
        return std::copysign(
            finiteOrNone(
                kMmPerBar *
                std::pow(magnitude / (double(node.virtualLength) + kGuardLength) / kKvFlowScale, kExponent))
                .value_or(0),
            flow);
    const PipeDiameter* diameter = project.findDiameter(node);
    if (!diameter)
        return 0; // a bore the catalogue lacks: the calculation has refused the network
    const double bore = diameter->innerDiameter;
    return std::copysign(
        finiteOrNone(std::pow(magnitude, kExponent) * double(project.seriesOf(node).frictionFactor) *
                     (double(node.length + node.virtualLength) + kGuardLength) /
                     std::pow(bore, kHazenWilliamsDiameterExponent))
            .value_or(0),
        flow);
}

std::optional<double> sectionVelocity(const Project& project, const Node& node, double flow) {
    const PipeDiameter* diameter = project.findDiameter(node);
    if (!diameter)
        return std::nullopt;
    const double bore = diameter->innerDiameter;
    return finiteOrNone(flow * kVelocityFactor / (bore * bore));
}

double inletPressure(const NetworkResults& results, int16_t node) {
    return std::pow(nodeFlow(results, node), kExponent) * results.node(node).eqResistance;
}

double branchEntryDrop(const Project& project, const NetworkResults& results, int16_t firstNode) {
    if (firstNode == 1)
        return 0;
    if (results.ring)
        return ringOutletDrop(results, project.NodeTable[firstNode].parent)
            .value_or(double(project.supplyPressure));
    return double(project.supplyPressure) - inletPressure(results, firstNode);
}

double pressureLeft(const Project& project, double cumulativeDrop, float height) {
    return double(project.supplyPressure) - cumulativeDrop - double(height * kMmPerMetreOfHeight);
}

QString pressureReadout(double mm, const QLocale& locale) {
    return formatPicture(mm, u"#,#", locale) + QStringLiteral(" mm - (") +
           formatPicture(mm / kMmPerBar, u"#,#0.0", locale) + QStringLiteral(" bar) (") +
           formatPicture(mm / kMmPerMPa, u"#,#0.00", locale) + QStringLiteral(" MPa)");
}

QString pressureReadout(double mm, PressureUnit unit, const QLocale& locale) {
    if (unit == PressureUnit::Millimetres)
        return pressureReadout(mm, locale);
    return calculationScale(unit).text(mm, locale);
}

bool isNullFlow(double flow) {
    return std::floor(flow) < 1;
}

std::optional<double> terminalPressureLeft(const Project& project, const BranchRow& row, float height) {
    if (isNullFlow(row.flow))
        return std::nullopt;
    return pressureLeft(project, row.cumulativeDrop, height);
}

std::vector<BranchRow> computeBranchRows(const Project& project, const NetworkResults& results,
                                         int16_t firstNode) {
    std::vector<BranchRow> rows;
    double cumulative = branchEntryDrop(project, results, firstNode);
    for (const int16_t i : branchNodes(project, firstNode)) {
        const Node& node = project.NodeTable[i];
        BranchRow row;
        row.node = i;
        row.flow = nodeFlow(results, i);
        row.drop = sectionDrop(project, node, row.flow);
        row.velocity = sectionVelocity(project, node, row.flow);
        cumulative += row.drop;
        if (row.drop < kNegligibleDrop || node.closed)
            cumulative = 0;
        if (results.ring) {
            // In a ring a section may carry water against the tree, and a closed one's outlet
            // may still be fed: the drop to each outlet is the solution's own.
            cumulative = ringOutletDrop(results, i).value_or(0.0);
        }
        row.cumulativeDrop = cumulative;
        rows.push_back(row);
    }
    return rows;
}

std::vector<LoopPipeRow> computeLoopPipeRows(const Project& project, const NetworkResults& results) {
    std::vector<LoopPipeRow> rows;
    for (std::size_t k = 0; k < project.loopPipes.size(); ++k) {
        const Node section = project.loopPipes[k].asSection();
        LoopPipeRow row;
        row.pipe = k;
        row.flow = results.ring && k < results.ring->loops.size() ? results.ring->loops[k].flow : 0.0;
        row.drop = sectionDrop(project, section, row.flow);
        row.velocity = sectionVelocity(project, section, row.flow);
        rows.push_back(row);
    }
    return rows;
}

std::vector<ReportRow> computeReportRows(const Project& project, const NetworkResults& results,
                                         int16_t firstNode) {
    const double supply = project.supplyPressure;
    double cumulative = 0;
    if (firstNode != 1)
        cumulative =
            project.NodeTable[firstNode].closed ? supply : branchEntryDrop(project, results, firstNode);
    std::vector<ReportRow> rows;
    for (const int16_t i : branchNodes(project, firstNode)) {
        const Node& node = project.NodeTable[i];
        ReportRow row;
        row.node = i;
        // The grid's flow, drop and velocity, so that both show the same numbers.
        row.flow = node.closed ? 0 : nodeFlow(results, i);
        row.drop = sectionDrop(project, node, row.flow);
        row.velocity = sectionVelocity(project, node, row.flow);
        cumulative = node.closed ? supply : cumulative + row.drop;
        if (results.ring) {
            const std::optional<double> drop = ringOutletDrop(results, i);
            cumulative = node.closed || !drop ? supply : *drop;
        }
        row.cumulativeDrop = cumulative;
        rows.push_back(row);
    }
    return rows;
}

std::vector<int16_t> branchStarts(const Project& project) {
    std::vector<int16_t> starts;
    for (const int16_t i : networkPreorder(project)) {
        const int16_t parent = project.NodeTable[i].parent;
        if (parent == 0 || project.NodeTable[parent].next != i)
            starts.push_back(i);
    }
    return starts;
}

} // namespace valmora
