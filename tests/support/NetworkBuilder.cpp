#include "tests/support/NetworkBuilder.h"

#include <stdexcept>

#include "model/Calculation.h"
#include "model/LoopPipes.h"
#include "model/Traversal.h"
#include "storage/CatalogueFiles.h"
#include "storage/ProjectFile.h"

#include <QStringList>

#include <algorithm>

namespace valmora::testkit {

NetworkBuilder::NetworkBuilder(Project& project) : project_(project) {
    project_.clearNetwork();
}

int16_t NetworkBuilder::add(const Section& section, int16_t parent) {
    const int16_t index = *project_.appendNode();
    Node& node = project_.NodeTable[index];
    node.name = section.name;
    node.length = section.length;
    node.virtualLength = section.virtualLength;
    node.seriesIndex = section.seriesIndex;
    node.diameterIndex = section.diameterIndex;
    node.closed = section.closed;
    node.diameterLocked = section.diameterLocked;
    node.parent = parent;
    return index;
}

int16_t NetworkBuilder::root(const Section& section) {
    return add(section, 0);
}

int16_t NetworkBuilder::continueAfter(int16_t node, const Section& section) {
    const int16_t index = add(section, node);
    project_.NodeTable[node].next = index;
    return index;
}

int16_t NetworkBuilder::deriveAt(int16_t node, const Section& section) {
    const int16_t index = add(section, node);
    project_.NodeTable[node].derivation = index;
    return index;
}

int16_t NetworkBuilder::endWithTerminal(int16_t node, int16_t typeIndex, float height) {
    // A node that carries a branch goes on; its terminal record would take the branch's place.
    if (project_.NodeTable[node].derivation > 0)
        throw std::logic_error("a node with a derived branch cannot end the branch");
    const int16_t record = *project_.appendTerminal();
    project_.TerminalTable[record].typeIndex = typeIndex;
    project_.TerminalTable[record].height = height;
    project_.NodeTable[node].next = kEndWithTerminal;
    project_.NodeTable[node].derivation = record;
    return record;
}

QString testCataloguesDirectory() {
    return QStringLiteral(VALMORA_TEST_DATA_DIR "/cataloghi-prova");
}

Project projectWithTestCatalogues() {
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> types;
    const auto where = CatalogueSearch::inDirectory(testCataloguesDirectory());
    if (!LoadPipeCatalogue(pipes, where).ok || !LoadTerminalCatalogue(types, where).ok)
        qFatal("the test catalogues of tests/data/cataloghi-prova cannot be read");
    return Project(std::move(pipes), std::move(types));
}

void buildComb(Project& project, int trunkNodes, int highEvery) {
    NetworkBuilder build(project);
    int16_t trunk = build.root({QStringLiteral("T1"), 3, 0.5f, 1, 3});
    for (int k = 2; k <= trunkNodes; ++k) {
        const int16_t arm = build.deriveAt(trunk, {QStringLiteral("R%1").arg(k - 1), 2.5f, 0.3f, 1, 1});
        build.endWithTerminal(arm, 2, (k % highEvery == 0) ? 12.0f : 0.0f);
        trunk = build.continueAfter(trunk, {QStringLiteral("T%1").arg(k), 3, 0.5f, 1, 3});
    }
    build.endWithTerminal(trunk, 2, 0);
}

bool calculates(const Project& project) {
    CalculationOutcome outcome;
    Calculated(project, &outcome);
    return outcome.ok;
}

std::vector<int16_t> readRiser(Project& project) {
    const QString file =
        QStringLiteral(VALMORA_TEST_DATA_DIR "/calcoli/cataloghi-forniti/montante-a-4-bar.vlm");
    if (!ReadProject(project, file).ok())
        qFatal("%s cannot be read", qPrintable(file));
    std::vector<int16_t> hydrants;
    for (int16_t node = 1; node <= project.nodeCount(); ++node)
        if (project.NodeTable[node].endsInTerminal())
            hydrants.push_back(node);
    std::sort(hydrants.begin(), hydrants.end(), [&project](int16_t a, int16_t b) {
        return project.terminalOf(project.NodeTable[a]).height <
               project.terminalOf(project.NodeTable[b]).height;
    });
    return hydrants;
}

void buildOnePipe(Project& project, float height) {
    NetworkBuilder build(project);
    build.endWithTerminal(
        build.root({QStringLiteral("Tubo"), 10, 0, testCatalogue::kSteel, testCatalogue::kBore50}),
        testCatalogue::kTypeK100, height);
}

void buildChain(Project& project, int nodes) {
    NetworkBuilder build(project);
    int16_t last = build.root({QStringLiteral("C1"), 1, 0, 1, 3});
    for (int k = 2; k <= nodes; ++k)
        last = build.continueAfter(last, {QStringLiteral("C%1").arg(k), 1, 0, 1, 3});
    build.endWithTerminal(last, 1, 5);
}

namespace {

int pick(std::mt19937& rng, int lowest, int highest) {
    return std::uniform_int_distribution<int>(lowest, highest)(rng);
}
bool chance(std::mt19937& rng, double probability) {
    return std::bernoulli_distribution(probability)(rng);
}
float decimal(std::mt19937& rng, int tenthsMax) {
    return float(pick(rng, 0, tenthsMax)) / 10.0f;
}

Section randomSection(std::mt19937& rng, int serial) {
    static const QStringList kWords = {QStringLiteral("Tratto"), QStringLiteral("Montante"),
                                       QStringLiteral("Più giù"), QStringLiteral("Città"),
                                       QStringLiteral("N")};
    Section s;
    s.name = QStringLiteral("%1 %2").arg(kWords[pick(rng, 0, int(kWords.size()) - 1)]).arg(serial);
    s.seriesIndex = static_cast<int16_t>(chance(rng, 0.1) ? 0 : pick(rng, 1, 2));
    s.diameterIndex = static_cast<int16_t>(s.seriesIndex == 2 ? pick(rng, 0, 1) : pick(rng, 0, 3));
    s.length = decimal(rng, 500);
    s.virtualLength = s.seriesIndex == 0 ? decimal(rng, 300) : decimal(rng, 80);
    s.closed = chance(rng, 0.05);
    s.diameterLocked = s.seriesIndex != 0 && chance(rng, 0.1);
    return s;
}

} // namespace

void buildRandom(Project& project, std::mt19937& rng, int nodes) {
    NetworkBuilder build(project);
    std::vector<int16_t> ends{build.root(randomSection(rng, 1))};
    std::vector<int16_t> derivable; // continuing nodes without a derivation
    for (int k = 2; k <= nodes; ++k) {
        if (!derivable.empty() && chance(rng, 0.3)) {
            const std::size_t at = std::size_t(pick(rng, 0, int(derivable.size()) - 1));
            ends.push_back(build.deriveAt(derivable[at], randomSection(rng, k)));
            derivable.erase(derivable.begin() + std::ptrdiff_t(at));
        } else {
            const std::size_t at = std::size_t(pick(rng, 0, int(ends.size()) - 1));
            const int16_t before = ends[at];
            ends[at] = build.continueAfter(before, randomSection(rng, k));
            derivable.push_back(before);
        }
    }
    for (const int16_t end : ends) {
        if (chance(rng, 0.1))
            continue; // an open end
        const float height = chance(rng, 0.4) ? decimal(rng, 200) : 0.0f;
        build.endWithTerminal(end, static_cast<int16_t>(pick(rng, 0, 2)), height);
    }
}

void addLoopPipeLike(Project& project, int16_t a, int16_t b, const Node& like) {
    LoopPipe pipe = newLoopPipe(project, a, b);
    pipe.length = like.length;
    pipe.virtualLength = like.virtualLength;
    pipe.seriesIndex = like.seriesIndex;
    pipe.diameterIndex = like.diameterIndex;
    project.loopPipes.push_back(pipe);
}

void addRandomLoopPipes(Project& project, std::mt19937& rng, int count) {
    std::vector<int16_t> pipes;
    for (const int16_t i : networkPreorder(project))
        if (!project.NodeTable[std::size_t(i)].isKvElement())
            pipes.push_back(i);
    if (pipes.empty())
        return;
    std::uniform_int_distribution<std::size_t> anyPipe(0, pipes.size() - 1);
    for (int k = 0; k < count; ++k) {
        const int16_t a = pipes[anyPipe(rng)], b = pipes[anyPipe(rng)];
        const Node like = project.NodeTable[std::size_t(pipes[anyPipe(rng)])];
        if (a != b)
            addLoopPipeLike(project, a, b, like);
    }
}

} // namespace valmora::testkit
