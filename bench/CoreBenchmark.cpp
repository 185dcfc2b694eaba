// Figures for the core on generated worst cases: a 32 767-node comb (a trunk of 16 384
// sections, each with a one-section derived branch ending in a terminal, every seventh
// terminal 12 m up) and a 32 767-node single chain.
//   - Calculate: best and median of repeated runs;
//   - the converged solution, started from Calculate's flows and from scratch, and the two together;
//     its iterations on 3 000 random trees and on combs whose far terminals are at the grade;
//   - reading and writing the project file;
//   - valmora-cli calc --json on the comb's file, the whole process, and its peak memory,
//     run by turns with EPANET solving the same comb when it has been built (outside the project);
//   - the network-wide series change on the comb, and a 5 000-node snippet grafted onto a
//     20 000-node network.

#include "bench/BenchTiming.h"
#include "cli/EpanetExport.h"
#include "editor/NetworkTools.h"
#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/LoopPipes.h"
#include "model/NetworkSolver.h"
#include "model/NetworkValidation.h"
#include "platform/ProgramStart.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace valmora;
using namespace valmora::bench;

namespace {

constexpr int kRuns = 30;
constexpr int kProcessRuns = 21;
constexpr int kAddedLoops = 100; // pipes added to the comb between random take-offs

long peakKilobytesOfChildren() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

void benchConverged(Project& project) {
    NetworkResults results;
    Calculate(project, results);
    ConvergedSolution last;
    report("SolveConverged", timeRuns(kRuns, [&] { last = SolveConverged(project); }));
    std::printf("%-46s %d iterations, %s, total flow %.3f l/min\n", "", last.iterations,
                last.converged ? "converged" : "NOT converged", last.totalFlow);
    report("Calculate + SolveConverged", timeRuns(kRuns, [&] {
               Calculate(project, results);
               SolveConverged(project);
           }));
}

// The converged solution's steps on a family of networks: how many on average and at worst,
// and how many solves did not converge.
class ConvergenceTally {
public:
    void solve(const Project& p) {
        ++networks_;
        const ConvergedSolution s = SolveConverged(p);
        total_ += s.iterations;
        worst_ = std::max(worst_, s.iterations);
        failed_ += s.converged ? 0 : 1;
    }
    void print(const char* family, double ms) const {
        std::printf("SolveConverged on %d %s, %.0f ms in all\n", networks_, family, ms);
        std::printf("  iterations mean %.2f, worst %d; not converged %d\n",
                    double(total_) / std::max(networks_, 1), worst_, failed_);
    }

private:
    long total_ = 0;
    int worst_ = 0, failed_ = 0;
    int networks_ = 0;
};

// Many random trees.
void benchRandomTrees() {
    constexpr int kTrees = 3000;
    constexpr int kLargeEvery = 10;
    constexpr int kLargeNodes = 2000;
    constexpr int kSmallNodesSpread = 200;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> supply(5000, 120000);
    ConvergenceTally tally;
    const Timing t = timeRuns(1, [&] {
        for (int tree = 0; tree < kTrees; ++tree) {
            Project p = testkit::projectWithTestCatalogues();
            testkit::buildRandom(p, rng,
                                 tree % kLargeEvery == 0 ? kLargeNodes : 2 + tree % kSmallNodesSpread);
            p.supplyPressure = supply(rng);
            NetworkResults results;
            if (Calculate(p, results).ok)
                tally.solve(p);
        }
    });
    char family[64];
    std::snprintf(family, sizeof family, "random trees (every %dth of %d nodes)", kLargeEvery, kLargeNodes);
    std::printf("\n");
    tally.print(family, t.best);
}

// Combs that the supply reaches only in part: the far terminals dry or just at the grade.
void benchCombsAtTheGrade() {
    ConvergenceTally tally;
    const Timing t = timeRuns(1, [&] {
        for (const int trunk : {50, 200, 1000, 4000, 16384})
            for (const int32_t supply : {8000, 20000, 40000, 100000, 120000})
                for (const int highEvery : {2, 3, 7}) {
                    Project p = testkit::projectWithTestCatalogues();
                    testkit::buildComb(p, trunk, highEvery);
                    p.supplyPressure = supply;
                    NetworkResults results;
                    if (Calculate(p, results).ok)
                        tally.solve(p);
                }
    });
    tally.print("combs of 50 to 16 384 terminals at 0.8 to 12 bar", t.best);
}

void benchNetwork(const char* name, Project& project, const QString& file) {
    std::printf("\n%s: %d nodes, %d terminals\n", name, project.nodeCount(), project.terminalCount());
    NetworkResults results;
    report("Calculate", timeRuns(kRuns, [&] { Calculate(project, results); }));
    report("  of which the check before calculating",
           timeRuns(kRuns, [&] { findCalculationProblem(project); }));
    benchConverged(project);
    report("SaveProject", timeRuns(kRuns / 3, [&] { SaveProject(project, file); }));
    Project reread = Project::withCataloguesOf(project);
    report("ReadProject, then Calculate", timeRuns(kRuns / 3, [&] {
               ReadProject(reread, file);
               Calculate(reread, results);
           }));
}

// Wall time of one run of a program, its output thrown away.
double processMilliseconds(const QString& program, const QStringList& arguments) {
    const auto start = std::chrono::steady_clock::now();
    QProcess run;
    run.setStandardOutputFile(QProcess::nullDevice());
    run.start(program, arguments);
    run.waitForFinished(-1);
    if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
        std::printf("%s failed: exit %d\n", qPrintable(program), run.exitCode());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

Timing timingOf(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

// valmora-cli calc --json on the comb's file, the whole process, and beside it EPANET 2.3.5
// solving the same network (exported with export-inp) and writing its full report. The runs
// alternate, so that whatever else the machine is doing weighs on both alike. EPANET's
// runepanet is built outside the project; VALMORA_EPANET names it.
void benchCliBesideEpanet(const QString& file, const QString& catalogues, const QString& scratch,
                          const char* what) {
    std::printf("\n%s\n", what);
    const QStringList cliArguments{QStringLiteral("calc"), file, QStringLiteral("--json"),
                                   QStringLiteral("--catalogues"), catalogues};
    const QString epanet =
        qEnvironmentVariable("VALMORA_EPANET", QStringLiteral("/tmp/epanet-build/bin/runepanet"));
    const QString input = scratch + QStringLiteral("/confronto.inp");
    bool withEpanet = QFileInfo(epanet).isExecutable();
    if (!withEpanet)
        std::printf("EPANET side by side: skipped, no runepanet at %s (set VALMORA_EPANET)\n",
                    qPrintable(epanet));
    else if (QProcess::execute(QStringLiteral(VALMORA_CLI), {QStringLiteral("export-inp"), file, input,
                                                             QStringLiteral("--catalogues"), catalogues}) !=
             0) {
        std::printf("EPANET side by side: export-inp failed\n");
        withEpanet = false;
    }
    const QStringList epanetArguments{input, scratch + QStringLiteral("/confronto.rpt")};

    // Both programs run on the processor the benchmark is on: on this project's virtual
    // machine a process moved between processors now and then took half as long again.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    const bool pinned = sched_setaffinity(0, sizeof one, &one) == 0;
    std::vector<double> cliMs, epanetMs;
    for (int r = 0; r < kProcessRuns; ++r) {
        cliMs.push_back(processMilliseconds(QStringLiteral(VALMORA_CLI), cliArguments));
        if (withEpanet)
            epanetMs.push_back(processMilliseconds(epanet, epanetArguments));
    }
    const long peakMegabytes = peakKilobytesOfChildren() / 1024; // of the two programs' runs
    QProcess sized;
    sized.start(QStringLiteral(VALMORA_CLI), cliArguments);
    sized.waitForFinished(-1);
    const qint64 outputBytes = sized.readAllStandardOutput().size();

    const Timing cli = timingOf(cliMs);
    report(pinned ? "valmora-cli calc --json (whole process, one processor)"
                  : "valmora-cli calc --json (whole process)",
           cli);
    std::printf("%-46s %8.1f MB of JSON, peak memory of either program %ld MB\n", "",
                double(outputBytes) / 1e6, peakMegabytes);
    if (!withEpanet)
        return;
    const Timing other = timingOf(epanetMs);
    report("EPANET 2.3.5 runepanet, full report (process)", other);
    std::printf("%-46s valmora-cli / EPANET: %.2f of the median, %.2f of the best\n", "",
                cli.median / other.median, cli.best / other.best);
}

// The comb with 100 loop pipes between random nodes, each a copy of a trunk section: solved in
// the process (the comb as a tree beside it), and written as a project for the command line.
QString benchLoopedComb(const Project& comb, const QString& scratch) {
    std::printf("\n");
    ConvergedSolution last;
    report("SolveConverged, the comb as a tree", timeRuns(kRuns, [&] { last = SolveConverged(comb); }));
    std::printf("%-46s %d iterations, %s, total flow %.3f l/min\n", "", last.iterations,
                last.converged ? "converged" : "NOT converged", last.totalFlow);
    Project looped = comb;
    std::mt19937 rng(100);
    std::uniform_int_distribution<int> node(1, comb.nodeCount());
    const Node& trunk = comb.NodeTable[1];
    while (looped.loopPipes.size() < std::size_t(kAddedLoops)) {
        const auto a = int16_t(node(rng)), b = int16_t(node(rng));
        if (loopPipeProblem(looped, a, b))
            continue;
        testkit::addLoopPipeLike(looped, a, b, trunk);
    }
    report("SolveConverged, the comb with 100 loop pipes",
           timeRuns(kRuns, [&] { last = SolveConverged(looped); }));
    std::printf("%-46s %d iterations, %s, total flow %.3f l/min\n", "", last.iterations,
                last.converged ? "converged" : "NOT converged", last.totalFlow);
    const QString file = scratch + QStringLiteral("/pettine-ad-anelli.vlm");
    if (!SaveProject(looped, file).ok)
        std::printf("the looped comb could not be written\n");
    return file;
}

} // namespace

int main(int argc, char** argv) {
    keepLargeBlocksInTheHeap(); // as the programs do
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;

    Project comb = testkit::projectWithTestCatalogues();
    testkit::buildComb(comb, (kMaxTableIndex + 1) / 2);
    const QString combFile = dir.filePath(QStringLiteral("pettine.vlm"));
    benchNetwork("Comb", comb, combFile);

    benchRandomTrees();
    benchCombsAtTheGrade();

    Project chain = testkit::projectWithTestCatalogues();
    testkit::buildChain(chain, kMaxTableIndex);
    benchNetwork("Chain", chain, dir.filePath(QStringLiteral("catena.vlm")));

    bool toSecond = true;
    report("Comb: every pipe to the other series (32 767 nodes)", timeRuns(kRuns, [&] {
               tools::changePipeSeries(comb, toSecond ? 1 : 2, toSecond ? 2 : 1);
               toSecond = !toSecond;
           }));
    Project snippetSource = testkit::projectWithTestCatalogues();
    testkit::buildComb(snippetSource, 2500);
    QByteArray snippet;
    WriteNodeSubtree(snippetSource, 1, snippet);
    Workspace target(testkit::projectWithTestCatalogues());
    testkit::buildComb(target.project, 10000);
    const Workspace pristine = target;
    report("A 5 000-node snippet grafted onto 20 000 nodes (with Calculate)", timeRuns(kRuns, [&] {
               target = pristine;
               graftSubtree(target, 2, snippet, false);
           }));
    report("  of which restoring the 20 000 nodes between runs", timeRuns(kRuns, [&] { target = pristine; }));

    Project freshComb = testkit::projectWithTestCatalogues();
    testkit::buildComb(freshComb, (kMaxTableIndex + 1) / 2);
    const QString loopedCombFile = benchLoopedComb(freshComb, dir.path());

    // The file is read against the shipped catalogues: the test catalogues' indexes exist there too.
    std::printf("\n");
    benchCliBesideEpanet(combFile, QStringLiteral(VALMORA_DATA_DIR), dir.path(), "The comb of 32 767 nodes");
    benchCliBesideEpanet(loopedCombFile, QStringLiteral(VALMORA_DATA_DIR), dir.path(),
                         "The same comb with 100 loop pipes");

    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("benchmark process peak memory %ld MB\n", self.ru_maxrss / 1024);
    return 0;
}
