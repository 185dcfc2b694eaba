#include "tests/ReferenceWalk.h"

#include "model/Calculation.h"

#include <vector>

namespace valmora::testkit {

namespace {

// Every branch end below node i in the walk's order: the derivation's before the
// continuation's, recursively (small networks only).
void endsInWalkOrder(const Project& p, int16_t i, std::vector<int16_t>& ends) {
    const Node& n = p.NodeTable[std::size_t(i)];
    if (n.next > 0) {
        if (n.derivation > 0)
            endsInWalkOrder(p, n.derivation, ends);
        endsInWalkOrder(p, n.next, ends);
    } else {
        ends.push_back(i);
    }
}

} // namespace

void referenceCalculate(const Project& project, NetworkResults& results) {
    std::vector<int16_t> ends;
    endsInWalkOrder(project, 1, ends);
    for (const int16_t end : ends)
        ResistanceUp(project, results, end);
    FlowPass(project, results);
    for (int pass = 0; pass < hydraulics::kCorrectionPasses; ++pass) {
        for (const int16_t end : ends)
            CorrectHeightsUp(project, results, end);
        FlowPass(project, results);
    }
}

} // namespace valmora::testkit
