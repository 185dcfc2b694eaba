#pragma once

// Builds networks in memory for tests and benchmarks, keeping the tree's links sound.

#include "model/Project.h"

#include <QString>

#include <cstdint>
#include <random>
#include <vector>

namespace valmora::testkit {

struct Section {
    QString name;
    float length = 0;
    float virtualLength = 0;
    int16_t seriesIndex = 1;
    int16_t diameterIndex = 0;
    bool closed = false;
    bool diameterLocked = false;
};

class NetworkBuilder {
public:
    // Empties the project's network; the first section added becomes node 1.
    explicit NetworkBuilder(Project& project);

    int16_t root(const Section& section);
    // A section continuing the branch after `node` (which must be a branch end).
    int16_t continueAfter(int16_t node, const Section& section);
    // A derived branch at `node` (which must continue and have no derivation yet).
    int16_t deriveAt(int16_t node, const Section& section);
    // Ends the branch at `node` in a new terminal record.
    int16_t endWithTerminal(int16_t node, int16_t typeIndex, float height);

private:
    int16_t add(const Section& section, int16_t parent);

    Project& project_;
};

// Catalogues with round numbers for hand-checked cases, read from tests/data/cataloghi-prova:
// series 1 of C 120 with inner diameters 20, 30, 40, 50 mm (indexes 0..3); series 2 of C 140
// (25, 32 mm); terminal types K 100 (index 0), K 80 (1), K 57 (2).
Project projectWithTestCatalogues();
// The folder those catalogues are read from.
QString testCataloguesDirectory();

// Indexes into the test catalogues.
namespace testCatalogue {
constexpr int16_t kSteel = 1; // C 120
constexpr int16_t kBore20 = 0, kBore30 = 1, kBore40 = 2, kBore50 = 3;
constexpr int16_t kInox = 2; // C 140
constexpr int16_t kBore25 = 0, kBore32 = 1;
constexpr int16_t kTypeK100 = 0, kTypeK80 = 1, kTypeK57 = 2;
} // namespace testCatalogue

// Indexes into the shipped catalogues: black steel (series 1) 1", 1"1/2 and 2"; the UNI 45
// hydrant and the DN 25 hose reel.
namespace shippedCatalogue {
constexpr int16_t kBlackSteel = 1;
constexpr int16_t kBore1 = 3, kBore1AndHalf = 5, kBore2 = 6;
constexpr int16_t kUni45 = 1, kHoseReel = 4;
} // namespace shippedCatalogue

// Whether the calculation takes the project (its results are thrown away): for tests that
// only need a sound network.
bool calculates(const Project& project);

// Over the test catalogues: one pipe "Tubo" of series 1 (C 120), 50 mm, 10 m, to a K 100
// terminal at `height`.
void buildOnePipe(Project& project, float height = 0);

// Over the shipped catalogues, read from tests/data/calcoli/cataloghi-forniti/montante-a-4-bar.vlm:
// ten "Idrante UNI 45" (K 82.5) at 0, 3, ..., 27 m on a riser of black steel 2" (53.1 mm), a
// 10 m feed and 3 m a floor, each hydrant on 1 m of 1"1/2 (41.9 mm); the riser continues into
// the top hydrant's branch. Returns the hydrants' branch ends, lowest first.
std::vector<int16_t> readRiser(Project& project);

// Generated worst cases over the test catalogues.
// A comb: a trunk of `trunkNodes` sections, each but the last with a one-section derived
// branch ending in a terminal; every `highEvery`-th terminal sits 12 m up.
void buildComb(Project& project, int trunkNodes, int highEvery = 7);
// A single chain of `nodes` sections ending in one terminal.
void buildChain(Project& project, int nodes);
// A random tree of `nodes` sections over the test catalogues: pipes of both series and
// KV elements, some closed or locked, ends with terminals at random heights or open,
// names with accents and inner blanks.
void buildRandom(Project& project, std::mt19937& rng, int nodes);

// A loop pipe from node a to node b with `like`'s section (lengths, series, diameter), added
// to the project.
void addLoopPipeLike(Project& project, int16_t a, int16_t b, const Node& like);
// Up to `count` loop pipes between random pipes of the tree (KV elements left out), each a copy
// of a random pipe's section; a draw of the same node twice adds none.
void addRandomLoopPipes(Project& project, std::mt19937& rng, int count);

} // namespace valmora::testkit
