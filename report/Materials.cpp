#include "report/Materials.h"

#include "model/NumberFormat.h"

#include <vector>

namespace valmora {

namespace {
constexpr float kQuarterPi = 0.7854f;
constexpr float kSquareMmPerSquareMetre = 1000000;
constexpr float kActiveFlow = 0.0001f;
} // namespace

void ComputeMaterials(Project& project) {
    for (std::size_t s = 1; s < project.PipeCatalogue.size(); ++s)
        for (PipeDiameter& d : project.PipeCatalogue[s].diameters)
            d.totalLength = 0;
    for (TerminalType& t : project.TerminalCatalogue)
        t.count = t.activeCount = 0;
    std::vector<int16_t> pending{1};
    while (!pending.empty()) {
        const int16_t n = pending.back();
        pending.pop_back();
        const Node& node = project.NodeTable[n];
        if (node.seriesIndex > 0)
            if (const PipeDiameter* d = project.findDiameter(node)) {
                PipeDiameter& total = project.PipeCatalogue[std::size_t(node.seriesIndex)]
                                          .diameters[std::size_t(node.diameterIndex)];
                total.totalLength = int32_t(roundHalfEven(double(node.length + float(d->totalLength))));
            }
        if (node.continues()) {
            pending.push_back(node.next); // popped after the derivation
            if (node.derivation > 0)
                pending.push_back(node.derivation);
        } else if (node.endsInTerminal()) {
            const float flow = static_cast<float>(double(project.totalFlow) * node.flowFraction);
            if (const Terminal* terminal = project.findTerminal(node))
                if (project.findTerminalType(*terminal)) {
                    TerminalType& type = project.TerminalCatalogue[std::size_t(terminal->typeIndex)];
                    ++type.count;
                    if (flow > kActiveFlow)
                        ++type.activeCount;
                }
        }
    }
}

float diameterWeight(const PipeSeries& series, const PipeDiameter& diameter) {
    const float outer = diameter.outerDiameter;
    const float inner = diameter.innerDiameter;
    return (outer * outer - inner * inner) * kQuarterPi / kSquareMmPerSquareMetre * float(series.density) *
           float(diameter.totalLength);
}

} // namespace valmora
