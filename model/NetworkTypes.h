#pragma once

// Records of the network and of the catalogues. Field order and widths follow the
// project file and the stored catalogues: 16-bit indexes and counts, 32-bit reals
// (the calculation's results stand apart, in NetworkResults).

#include <QString>

#include <cstdint>
#include <vector>

namespace valmora {

// `next` of a branch end: what the branch ends in.
constexpr int16_t kEndWithoutTerminal = 0;
constexpr int16_t kEndWithTerminal = -1;
// -2, -3, -4 are manifold end kinds: written by the project file, read back as ends
// without terminal, never created by the program.

// The largest index a 16-bit table can hold: at most this many nodes or terminals.
constexpr int kMaxTableIndex = 32767;

// One section of the network (pipe run or KV element) and the point at its downstream end.
struct Node {
    float length = 0;          // metres ("Metri")
    float virtualLength = 0;   // pipe: equivalent length of the fittings (m); KV element: its KV
    int16_t diameterIndex = 0; // into the series' diameters
    int16_t seriesIndex = 0;   // into the pipe catalogue; 0 = KV element
    bool diameterLocked = false;
    bool closed = false;
    QString name;
    int16_t derivation =
        0;              // next > 0: first node of the derived branch (0: none); next = -1: terminal record
    int16_t next = 0;   // > 0 next node of the branch; <= 0 the end kind
    int16_t parent = 0; // node whose next or derivation points here; 0 for node 1

    bool isKvElement() const { return seriesIndex == 0; }
    bool continues() const { return next > 0; }
    bool hasDerivation() const { return next > 0 && derivation > 0; }
    bool endsInTerminal() const { return next == kEndWithTerminal; }
};

// A section beside the tree that closes a ring: it joins the outlets of two nodes (a ring
// main around a building, the ranges of a gridded sprinkler system fed from both ends). It is
// a section like a node's, with no node of its own; a positive flow runs from nodeA to nodeB.
struct LoopPipe {
    int16_t nodeA = 0;
    int16_t nodeB = 0;
    float length = 0;          // metres
    float virtualLength = 0;   // pipe: equivalent length of the fittings (m); KV element: its KV
    int16_t diameterIndex = 0; // into the series' diameters
    int16_t seriesIndex = 0;   // into the pipe catalogue; 0 = KV element
    bool diameterLocked = false;
    bool closed = false;
    QString name;

    // The pipe as a node's section, for the laws and figures sections share.
    Node asSection() const {
        Node section;
        section.length = length;
        section.virtualLength = virtualLength;
        section.diameterIndex = diameterIndex;
        section.seriesIndex = seriesIndex;
        section.diameterLocked = diameterLocked;
        section.closed = closed;
        section.name = name;
        return section;
    }
    bool touches(int16_t node) const { return nodeA == node || nodeB == node; }
    bool operator==(const LoopPipe& o) const {
        return nodeA == o.nodeA && nodeB == o.nodeB && length == o.length &&
               virtualLength == o.virtualLength && diameterIndex == o.diameterIndex &&
               seriesIndex == o.seriesIndex && diameterLocked == o.diameterLocked && closed == o.closed &&
               name == o.name;
    }
};

// The terminal placed at one branch end.
struct Terminal {
    int16_t typeIndex = 0;
    float height = 0; // metres above the lowest point ("Quota")
};

struct TerminalType {
    QString name;
    float kFactor = 0;         // Q = K x p^(1/1.85), Q in l/min, p in bar
    float nominalFlow = 0;     // l/min, shown only
    float nominalPressure = 0; // bar, shown only
    int16_t iconIndex = 0;     // 1 hydrant, 2 hose reel, 3 super hydrant, 4 nozzle
};

struct PipeDiameter {
    QString label;
    float innerDiameter = 0; // mm
    float outerDiameter = 0; // mm
};

struct PipeSeries {
    QString name;
    QString code;             // exactly five characters
    int16_t density = 0;      // kg per cubic metre of pipe wall
    float frictionFactor = 0; // 6.05e9 / C^1.85
    int16_t hazenC = 0;
    float leqFactor = 0; // factor on tabulated equivalent lengths of fittings
    std::vector<PipeDiameter> diameters;
};

} // namespace valmora
