// Figures for the printed report, on the offscreen platform:
//   - the 32 767-node comb's whole report to PDF through `valmora-cli report`: the whole
//     process's time and peak memory;
//   - the preview of the same report opened (every page laid out), and paging through it;
//   - a 5 000-node network's report to PDF, in process;
//   - the notes of a project wrapped into the report's header: 440 000 characters and 4.4 MB.

#include "bench/BenchProcess.h"
#include "bench/BenchTiming.h"
#include "model/Calculation.h"
#include "platform/PagePainter.h"
#include "platform/ScriptedInteraction.h"
#include "report/Anteprima.h"
#include "report/Tabelle.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

using namespace valmora;
using namespace valmora::bench;

namespace {

constexpr int kCombNodes = 32767;
constexpr int kCombTrunk = (kCombNodes + 1) / 2;
constexpr int kMediumNodes = 5000;
constexpr int kRuns = 5;
constexpr int kPagings = 50;

Workspace comb() {
    Workspace w(testkit::projectWithTestCatalogues());
    testkit::buildComb(w.project, kCombTrunk);
    Calculate(w.project, w.results);
    return w;
}

} // namespace

int main(int argc, char** argv) {
    bench::prepareWindowBenchmark();
    QApplication app(argc, argv);
    QTemporaryDir dir;

    // The comb through the command-line tool, as a whole process.
    const Workspace bigOne = comb();
    const Project& big = bigOne.project;
    const QString combFile = dir.filePath(QStringLiteral("pettine.vlm"));
    if (!SaveProject(big, combFile).ok)
        return 1;
    const QString combPdf = dir.filePath(QStringLiteral("pettine.pdf"));
    int combPages = 0;
    report("comb 32 767 nodes: valmora-cli report to PDF (process)", kRuns, [&] {
        QProcess cli;
        cli.start(QStringLiteral(VALMORA_CLI),
                  {QStringLiteral("report"), combFile, combPdf, QStringLiteral("--catalogues"),
                   QStringLiteral(VALMORA_DATA_DIR)});
        cli.waitForFinished(-1);
        if (cli.exitCode() != 0)
            std::printf("valmora-cli failed: %s\n", cli.readAllStandardError().constData());
    });
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    std::printf("%-60s %9.1f MB\n", "  peak memory of the report process", double(children.ru_maxrss) / 1024);

    // The preview of the same report.
    ScriptedInteraction ask;
    std::unique_ptr<Anteprima> preview;
    report("comb 32 767 nodes: preview opened (every page laid out)", 1,
           [&] { preview = std::make_unique<Anteprima>(big, bigOne.results, ask); });
    combPages = preview->pageCount();
    preview->resize(600, 800);
    preview->show();
    report("comb preview: one page forward, drawn", kPagings, [&] {
        preview->PagPost->click();
        preview->Foglio->grab();
    });
    std::printf("%-60s %9d\n", "  pages", combPages);
    preview.reset();

    // A 5 000-node network in process.
    Project medium = testkit::projectWithTestCatalogues();
    std::mt19937 rng(7);
    testkit::buildRandom(medium, rng, kMediumNodes);
    const NetworkResults mediumResults = Calculated(medium);
    const QString mediumPdf = dir.filePath(QStringLiteral("rete.pdf"));
    report("random tree 5 000 nodes: report to PDF (in process)", kRuns, [&] {
        writePdf(mediumPdf, QString(), [&](PrintSurface& surface) {
            PrintReport(medium, mediumResults, surface, ReportSections{}, ReportOptions{});
        });
    });

    // Every part, laid out as the PDF lays it out: its pages counted by a first, silent layout
    // ("pagina x di y"), and the same with the count given, to see what the count costs.
    PainterTextMetrics metrics;
    medium.reportData.committente = QStringLiteral("Bianchi S.r.l.");
    medium.reportData.progettista = QStringLiteral("Ing. Maria Rossi");
    const ReportSections everyPart = ReportSections::everything(medium);
    int mediumPages = 0;
    report("random tree 5 000 nodes: every part laid out, pages counted", kRuns, [&] {
        RecordingSurface surface(metrics);
        PrintReport(medium, mediumResults, surface, everyPart, ReportOptions{});
        mediumPages = int(surface.pages().size());
    });
    report("random tree 5 000 nodes: every part laid out, pages given", kRuns, [&] {
        RecordingSurface surface(metrics);
        ReportOptions counted;
        counted.totalPages = mediumPages;
        PrintReport(medium, mediumResults, surface, everyPart, counted);
    });
    std::printf("%-60s %9d\n", "  pages", mediumPages);

    // Notes of words and of one long word, laid out on the printer's pages.
    for (const int characters : {440000, 4400000}) {
        Project noted = testkit::projectWithTestCatalogues();
        testkit::buildOnePipe(noted);
        const NetworkResults notedResults = Calculated(noted);
        QString notes;
        notes.reserve(characters);
        while (notes.size() < characters)
            notes += QStringLiteral("tubazione in acciaio nero ");
        noted.projectNotes = notes.left(characters);
        const std::string name = "notes of " + std::to_string(characters) + " characters: report laid out";
        report(name.c_str(), 1, [&] {
            RecordingSurface surface(metrics);
            PrintReport(noted, notedResults, surface, ReportSections{true, false, false, false, false},
                        ReportOptions{});
        });
    }
    return 0;
}
