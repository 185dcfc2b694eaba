#include "tests/ReferenceWalk.h"

#include <cmath>

namespace valmora::testkit {

namespace {

double sectionR(const Project& p, const Node& n) {
    if (n.closed)
        return 1e28;
    if (n.seriesIndex == 0)
        return 10000 / std::pow((double(n.virtualLength) + 0.00001) * 1000, 1.85);
    const PipeSeries& s = p.PipeCatalogue[n.seriesIndex];
    const float sumOfLengths = n.length + n.virtualLength; // single + single stays single
    return double(s.frictionFactor) * (double(sumOfLengths) + 0.00001) /
           std::pow(double(s.diameters[n.diameterIndex].innerDiameter), 4.87);
}

// Step C cases 2 and 3; false stops the upward walk.
bool combineContinuing(Project& p, int i) {
    Node& n = p.NodeTable[i];
    if (n.derivation == 0) {
        n.eqResistance = n.resistance + p.NodeTable[n.next].eqResistance;
        p.NodeTable[n.next].flowShare = 1;
        return true;
    }
    if (p.NodeTable[n.next].eqResistance <= 0)
        return false;
    const double a = std::pow(p.NodeTable[n.next].eqResistance, -0.5405405405405405);
    const double b = std::pow(p.NodeTable[n.derivation].eqResistance, -0.5405405405405405);
    n.eqResistance = std::pow(a + b, -1.85) + n.resistance;
    p.NodeTable[n.next].flowShare = a / (a + b);
    p.NodeTable[n.derivation].flowShare = 1 - p.NodeTable[n.next].flowShare;
    return true;
}

void resistanceUp(Project& p, int e) {
    int i = e;
    do {
        Node& n = p.NodeTable[i];
        n.resistance = sectionR(p, n);
        if (n.next == -1) {
            Terminal& t = p.TerminalTable[n.derivation];
            t.terminalResistance =
                float(10000 / std::pow(double(p.TerminalCatalogue[t.typeIndex].kFactor), 1.85));
            t.heightResistance = float(double(t.height * 1000) / std::pow(120.0, 1.85));
            n.eqResistance = double(t.heightResistance) + (double(t.terminalResistance) + n.resistance);
        } else if (n.next <= 0) {
            n.eqResistance = n.resistance; // an end with no terminal: its own section only
        } else if (!combineContinuing(p, i)) {
            return;
        }
        i = n.parent;
    } while (i != 0);
}

void heightCorrectUp(Project& p, int e) {
    int i = e;
    do {
        Node& n = p.NodeTable[i];
        if (n.next == -1) {
            Terminal& t = p.TerminalTable[n.derivation];
            const float q = float(double(p.totalFlow) * n.flowFraction);
            if (!(t.height == 0 || q <= 0.0001f)) {
                const float ph = float(std::pow(double(q), 1.85) * double(t.heightResistance));
                const float ratio = (1000 * t.height) / ph;
                t.heightResistance =
                    float(double(t.heightResistance) * std::pow(double(ratio), 1.3601470508735443));
                n.eqResistance = double(t.terminalResistance) + n.resistance + double(t.heightResistance);
            }
        } else if (n.next <= 0) {
            n.eqResistance = n.resistance + p.NodeTable[0].eqResistance;
            p.NodeTable[0].flowShare = 1;
        } else if (!combineContinuing(p, i)) {
            return;
        }
        i = n.parent;
    } while (i != 0);
}

template <typename AtEnd> void walk(Project& p, int i, AtEnd atEnd) {
    const Node& n = p.NodeTable[i];
    if (n.next > 0) {
        if (n.derivation > 0)
            walk(p, n.derivation, atEnd);
        walk(p, n.next, atEnd);
    } else {
        atEnd(p, i);
    }
}

void propagate(Project& p, int i) {
    Node& n = p.NodeTable[i];
    n.flowFraction = p.NodeTable[n.parent].flowFraction * n.flowShare;
    if (n.next > 0) {
        propagate(p, n.next);
        if (n.derivation > 0)
            propagate(p, n.derivation);
    }
}

void flowPass(Project& p) {
    p.NodeTable[1].flowFraction = 1;
    if (p.NodeTable[1].next > 0) {
        propagate(p, p.NodeTable[1].next);
        if (p.NodeTable[1].derivation > 0)
            propagate(p, p.NodeTable[1].derivation);
    }
    p.totalFlow = float(std::pow(double(p.supplyPressure) / p.NodeTable[1].eqResistance, 0.5405405405405405));
    p.networkResistance = float(p.NodeTable[1].eqResistance);
    p.NodeTable[1].flowShare = 1;
}

} // namespace

void referenceCalculate(Project& project) {
    walk(project, 1, resistanceUp);
    flowPass(project);
    for (int pass = 0; pass < 5; ++pass) {
        walk(project, 1, heightCorrectUp);
        flowPass(project);
    }
}

} // namespace valmora::testkit
