// Figures for the windows, on the offscreen platform:
//   - opening a 32 767-node comb project through the Open command, up to the trunk grid
//     (16 384 rows) filled with its results;
//   - in a branch of 5 000 rows, a recalculation with the grid rewritten (aggiorna);
//   - the schema of the 32 767-node comb: opening it, aggiorna, a diameter step;
//   - the schema of a 5 000-node comb printed into a PDF file;
//   - a sprinkler comb of 10 take-offs of 8 + 8 nozzles built and the grid refreshed;
//   - "Incolla" of a 5 000-node snippet onto a 20 000-node network, windows refreshed;
//   - "Annulla" and "Ripeti" of a typed length in a branch of 5 000 rows and of a change of
//     series on the 32 767-node comb, with the windows refreshed; the history's bytes after
//     200 changes on the comb.

#include "app/TbMain.h"
#include "bench/BenchProcess.h"
#include "bench/BenchTiming.h"
#include "editor/ChangeLabels.h"
#include "editor/GlobalChangeDialogs.h"
#include "editor/NetworkEdits.h"
#include "editor/NetworkTools.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "platform/PagePainter.h"
#include "platform/ScriptedInteraction.h"
#include "schema/SchemaPictures.h"
#include "schema/SchemaPrint.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace valmora;

namespace {

constexpr int kRuns = 10;
constexpr int kBranchRows = 5000;

// Undo and redo in turn, each timed on its own with the events it posts handled.
void reportUndoRedo(const char* what, int runs, TbMain& window) {
    std::vector<double> undo;
    std::vector<double> redo;
    const auto timed = [](const std::function<void()>& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        QCoreApplication::processEvents();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    for (int r = 0; r < runs; ++r) {
        undo.push_back(timed([&] { window.undo(); }));
        redo.push_back(timed([&] { window.redo(); }));
    }
    for (auto* list : {&undo, &redo})
        std::sort(list->begin(), list->end());
    std::printf("%-60s undo best %7.2f median %7.2f ms, redo best %7.2f median %7.2f ms\n", what,
                undo.front(), undo[undo.size() / 2], redo.front(), redo[redo.size() / 2]);
}

// The work with the events it posts handled, as the program would go on.
void report(const char* what, int runs, const std::function<void()>& work) {
    bench::report(what, runs, [&] {
        work();
        QCoreApplication::processEvents();
    });
}

} // namespace

int main(int argc, char** argv) {
    bench::prepareWindowBenchmark();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    ScriptedInteraction ask;
    TbMain window(ask,
                  std::make_unique<QSettings>(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat),
                  CatalogueSearch::inDirectory(QStringLiteral(VALMORA_DATA_DIR)));
    if (!window.start(QString()))
        return 1;
    window.show();

    Project comb = Project::withCataloguesOf(window.project());
    testkit::buildComb(comb, (kMaxTableIndex + 1) / 2);
    const QString combFile = dir.filePath(QStringLiteral("pettine.vlm"));
    SaveProject(comb, combFile);

    QAction* open = window.findChild<QAction*>(QStringLiteral("mnuApri"));
    report("Open 32 767-node comb, trunk of 16 384 rows shown", kRuns, [&] {
        ask.fileNames = {combFile};
        open->trigger();
    });
    std::printf("%-52s %d rows in the trunk window\n", "", window.trunkWindow()->Griglia->rows() - 1);

    report("Schema of the 32 767-node comb: open (layout, grid, refresh)", 5, [&] {
        window.showSchema();
        window.schemaWindow()->chiudi();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    window.showSchema();
    frmSchema* schema = window.schemaWindow();
    std::printf("%-52s %d rows on the board\n", "", schema->board().rowCount());
    report("Schema of the 32 767-node comb: aggiorna", 20, [&] { schema->aggiorna(); });
    schema->SelectNode(kMaxTableIndex / 2);
    bool up = true;
    report("Schema of the 32 767-node comb: diameter step", 20, [&] {
        schema->StepDiameter(up);
        up = !up;
    });
    report("Schema of the 32 767-node comb: the grid windows catching up", 5,
           [&] { window.refreshOtherWindows(nullptr); });
    schema->chiudi();

    Project printed = Project::withCataloguesOf(window.project());
    testkit::buildComb(printed, kBranchRows / 2);
    const NetworkResults printedResults = Calculated(printed);
    SchemaLayout board(printed, printedResults);
    board.BuildSchema();
    board.RefreshLabels();
    board.FillTerminalColumns();
    int pages = 0;
    report("Schema of a 5 000-node comb: printed into a PDF file", 3, [&] {
        pages =
            writePdf(
                dir.filePath(QStringLiteral("schema.pdf")), QStringLiteral("schema"),
                [&](PrintSurface& surface) { PrintSchema(board, printed, surface); }, schemaPicturePainter())
                .pages;
    });
    std::printf("%-52s %d pages\n", "", pages);

    // The comb on the example's last hydrant, built as the dialog builds it, then the trunk
    // window rebuilt and refreshed as the command does.
    const QString example = QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm");
    report("Comb of 10 x (8 + 8) nozzles built, grid refreshed", 10, [&] {
        window.project().resetToNewProject();
        ReadProject(window.project(), example);
        const int16_t end = *tools::combEndNode(window.project(), 1);
        tools::CreateComb(window.project(), end, {10, 300, 8, 8, 300});
        window.trunkWindow()->compilatab();
        window.trunkWindow()->aggiorna();
    });
    std::printf("%-52s %d nodes after the comb\n", "", window.project().nodeCount());
    report("  of which reading the example back between runs", 10, [&] {
        window.project().resetToNewProject();
        ReadProject(window.project(), example);
    });

    Project source = Project::withCataloguesOf(window.project());
    testkit::buildComb(source, 2500);
    QByteArray snippet;
    WriteNodeSubtree(source, 1, snippet);
    const QString home = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile file(QStringLiteral("Ritaglio.idx"));
    file.open(QIODevice::WriteOnly);
    file.write(snippet);
    file.close();
    Project large = Project::withCataloguesOf(window.project());
    testkit::buildComb(large, 10000);
    report("Incolla: 5 000-node snippet onto 20 000 nodes, windows refreshed", 10, [&] {
        window.project().NodeTable = large.NodeTable;
        window.project().TerminalTable = large.TerminalTable;
        window.document().session().currentNode = 2;
        window.pasteSnippet();
    });
    report("  of which restoring the 20 000 nodes between runs", 10, [&] {
        window.project().NodeTable = large.NodeTable;
        window.project().TerminalTable = large.TerminalTable;
    });
    QDir::setCurrent(home);

    Project chain = Project::withCataloguesOf(window.project());
    testkit::buildChain(chain, kBranchRows);
    const QString chainFile = dir.filePath(QStringLiteral("catena.vlm"));
    SaveProject(chain, chainFile);
    ask.fileNames = {chainFile};
    open->trigger();
    frmTubi* trunk = window.trunkWindow();
    report("Branch of 5 000 rows: aggiorna (Calculate + rinfresca)", 30, [&] { trunk->aggiorna(); });
    report("Branch of 5 000 rows: rinfresca alone", 30, [&] { trunk->rinfresca(); });

    // Editing commands in the same branch, each with the grid refreshed.
    trunk->Griglia->setCurrentCell(kBranchRows / 2, 1);
    report("Branch of 5 000 rows: append a node", 20, [&] { trunk->Nuovo(false); });
    report("Branch of 5 000 rows: insert a node", 20, [&] { trunk->Nuovo(true); });
    report("Branch of 5 000 rows: delete a node", 20, [&] {
        ask.answers = {Answer::Ok};
        trunk->Cancella();
    });
    int typed = 0;
    report("Branch of 5 000 rows: type a length", 20, [&] {
        trunk->Griglia->setCurrentCell(kBranchRows / 2, 1);
        trunk->startEditing();
        trunk->Txtedit->setText(QString::number(++typed));
        trunk->Griglia->setCurrentCell(kBranchRows / 2, 2); // leaving the cell stores the length
    });
    reportUndoRedo("Branch of 5 000 rows: a typed length", 20, window);

    // A change of series on the whole comb, through its dialog.
    ask.fileNames = {combFile};
    open->trigger();
    ask.dialogScripts.push_back([](QDialog& d) {
        auto& change = static_cast<frmCambiaTB&>(d);
        change.Combo2->setCurrentIndex((change.Combo1->currentData().toInt() + 1) % change.Combo2->count());
        change.btnOK->click();
    });
    window.findChild<QAction*>(QStringLiteral("mnuCambiaTB"))->trigger();
    std::printf("%-52s %s\n", "",
                qPrintable(window.findChild<QAction*>(QStringLiteral("mnuAnnulla"))->text()));
    reportUndoRedo("32 767-node comb: a change of series everywhere", 10, window);

    // 200 changes on the comb: lengths and diameters of single nodes, and every tenth a change
    // of series or of every diameter; what the history holds then.
    Project& p = window.project();
    const std::size_t before = window.history().bytes();
    for (int change = 1; change <= 200; ++change) {
        const auto node = static_cast<int16_t>(1 + (change * 7919) % p.nodeCount());
        if (change % 10 == 0) {
            tools::changePipeSeries(p, change % 20 ? 1 : 2, change % 20 ? 2 : 1);
            window.recordChange(change_label::kSeriesEverywhere, node);
        } else if (change % 2 == 0) {
            p.NodeTable[std::size_t(node)].length += 1;
            window.recordChange(change_label::kLength, node);
        } else {
            edits::stepDiameter(p, node, change % 4 == 1);
            window.recordChange(change_label::kDiameter, node);
        }
    }
    constexpr double kMB = 1024.0 * 1024.0;
    std::printf("%-60s %zu steps, %.2f MB (%.2f MB before), and the copy of the tables %.2f MB\n",
                "History after 200 changes on the comb", window.history().steps(),
                double(window.history().bytes()) / kMB, double(before) / kMB,
                double(window.history().baselineBytes()) / kMB);
    return 0;
}
