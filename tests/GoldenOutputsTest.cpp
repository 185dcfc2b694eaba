// Whole outputs of five projects that together hold what designers meet and what has gone
// wrong before, each compared with its golden files under tests/data/golden/<project>/
// (tests/GoldenFiles.h says how to write them anew):
//   ostile    a KV element, a closed branch, sections past the velocity limit, a dry hose
//             reel, an end without terminal, names that do not fit or hold a line break, a
//             path with a line break; UNI 10779 level 2, failed;
//   montante  ten UNI 45 hydrants on a riser fed by a pump: the terminals the five passes
//             leave far from convergence, the sets at their operating points, the curves page;
//   esempio   the example project as the program ships it, a path too long for the header,
//             UNI 10779 level 1 passed;
//   pettine   a comb of K80 sprinklers behind a valve, fed by a water main; UNI EN 12845 OH2;
//             in the C locale;
//   piccolo   a small tree with a derived branch, a closed section and a nozzle, laid out on
//             the schema.
// The project file and the command-line outputs go through the files and the tool as a
// designer uses them; the report, the materials and the schema are drawn from the project
// read back.

#include "cli/CliCommands.h"
#include "editor/NetworkTools.h"
#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/Verification.h"
#include "report/Materials.h"
#include "report/Tabelle.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPrint.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;
using namespace valmora::testkit;
using namespace valmora::testkit::shippedCatalogue;

namespace {

constexpr int16_t kKv = 0;
constexpr int16_t kGalvanised = 2, kPe100 = 3;
constexpr int16_t kBore4 = 9, kBore2AndHalf = 7, kBore1AndQuarter = 4, kBoreHalf = 1, kBorePe110 = 8;
constexpr int16_t kFreeOutlet = 0, kUni70 = 2, kSprinklerK80 = 7;

Project hostile() {
    Project p = projectWithShippedCatalogues();
    NetworkBuilder build(p);
    const int16_t pump = build.root({QStringLiteral("Mandata pompe"), 6, 8, kBlackSteel, kBore4});
    const int16_t buried =
        build.continueAfter(pump, {QStringLiteral("Interrato PE"), 45, 3, kPe100, kBorePe110});
    // A valve's length is no pipe: it must count nowhere.
    const int16_t valve = build.continueAfter(buried, {QStringLiteral("Valvola"), 3, 50, kKv, 0});
    const int16_t north =
        build.continueAfter(valve, {QStringLiteral("Dorsale nord"), 20, 2, kBlackSteel, kBore2AndHalf});
    // An end without terminal through a pipe too small for what it pours out.
    build.continueAfter(north, {QStringLiteral("Dorsale nord 2"), 15, 1, kBlackSteel, kBore1AndQuarter});
    // Far too small a pipe for a UNI 70: past the velocity limit.
    const int16_t narrow =
        build.deriveAt(north, {QStringLiteral("Stacco stretto"), 3, 0, kBlackSteel, kBoreHalf});
    const int16_t broken =
        build.continueAfter(narrow, {QStringLiteral("Riga\nspezzata"), 2, 0, kBlackSteel, kBoreHalf});
    build.endWithTerminal(broken, kUni70, 1);
    // A hose reel higher than the supply reaches, far away: dry; its length too wide for the
    // report's column, its name too long for an EPANET identifier.
    const int16_t riser = build.deriveAt(
        valve, {QStringLiteral("Colonna montante alta al sesto piano"), 1062, 2, kGalvanised, kBore1});
    build.endWithTerminal(riser, kHoseReel, 60);
    // A test outlet on half a metre of 1/2": past the velocity limit.
    build.endWithTerminal(build.deriveAt(buried, {QStringLiteral("Prova"), 0.5f, 0, kBlackSteel, kBoreHalf}),
                          kFreeOutlet, 0);
    Section closed{QStringLiteral("Ramo chiuso"), 5, 1, kBlackSteel, kBore1AndHalf};
    closed.closed = true;
    build.endWithTerminal(build.deriveAt(pump, closed), kUni45, 0);
    p.supplyPressure = 45000;
    p.projectPath = QStringLiteral("/progetti/[2024] Capannone\nnuovo.vlm");
    p.projectNotes = QStringLiteral("Verifica del capannone nuovo, lato nord.\r\nSeconda riga delle note.");
    p.standardSettings.standard = Standard::Uni10779;
    return p;
}

Project riserOnAPump() {
    Project p = projectWithShippedCatalogues();
    buildRiser(p);
    p.supplyPressure = 40000; // the top hydrant is dry at convergence, the next one nearly so
    p.projectPath = QStringLiteral("/progetti/montante.vlm");
    StandardSettings& s = p.standardSettings;
    s.standard = Standard::Uni10779;
    s.supply.kind = SupplyKind::Pump;
    s.supply.pump = {PumpPoint{0, 6}, PumpPoint{600, 5}, PumpPoint{840, 4}};
    return p;
}

Project example() {
    Project p = projectWithShippedCatalogues();
    EXPECT_TRUE(ReadProject(p, shippedDataDirectory() + QStringLiteral("/esempio.vlm")).ok());
    p.projectPath = QStringLiteral("/progetti/clienti/stabilimento di via delle Industrie 12/esempio.vlm");
    p.standardSettings.standard = Standard::Uni10779;
    p.standardSettings.level = 1;
    return p;
}

Project sprinklerComb() {
    Project p = projectWithShippedCatalogues();
    NetworkBuilder build(p);
    const int16_t feed = build.root({QStringLiteral("Alimentazione"), 8, 2, kBlackSteel, kBore4});
    const int16_t valve =
        build.continueAfter(feed, {QStringLiteral("Stazione di controllo"), 0, 180, kKv, 0});
    const int16_t main =
        build.continueAfter(valve, {QStringLiteral("Collettore"), 12, 1, kBlackSteel, kBore2AndHalf});
    build.endWithTerminal(main, kSprinklerK80, 6);
    EXPECT_GT(tools::CreateComb(p, main, {3, 300, 2, 3, 320}), 15);
    p.supplyPressure = 35000;
    p.projectPath = QStringLiteral("/progetti/deposito.vlm");
    StandardSettings& s = p.standardSettings;
    s.standard = Standard::En12845;
    s.hazard = HazardClass::OH2;
    s.supply.kind = SupplyKind::MainTest;
    s.supply.staticPressure = 5;
    s.supply.residualPressure = 3.5;
    s.supply.testFlow = 1500;
    return p;
}

Project small() {
    Project p = projectWithShippedCatalogues();
    NetworkBuilder build(p);
    const Section pipe{QStringLiteral("Uno"), 5, 1, kBlackSteel, kBore2};
    const int16_t n1 = build.root(pipe);
    const int16_t n2 = build.continueAfter(n1, {QStringLiteral("Due"), 5, 1, kBlackSteel, kBore2});
    build.endWithTerminal(build.continueAfter(n2, {QStringLiteral("Tre"), 5, 1, kBlackSteel, kBore1}), kUni45,
                          2);
    const int16_t n4 = build.deriveAt(n2, {QStringLiteral("Quattro"), 5, 1, kBlackSteel, kBore1AndHalf});
    Section closed{QStringLiteral("Cinque"), 5, 1, kBlackSteel, kBore1AndHalf};
    closed.closed = true;
    const int16_t n5 = build.continueAfter(n4, closed);
    build.endWithTerminal(build.continueAfter(n5, {QStringLiteral("Sei"), 5, 1, kBlackSteel, kBoreHalf}),
                          kFreeOutlet, 1.5f);
    p.projectPath = QStringLiteral("/progetti/piccolo.vlm");
    return p;
}

struct GoldenProject {
    const char* name;
    Project (*build)();
    bool italian;
};

const GoldenProject kProjects[] = {{"ostile", hostile, true},
                                   {"montante", riserOnAPump, true},
                                   {"esempio", example, true},
                                   {"pettine", sprinklerComb, false},
                                   {"piccolo", small, true}};

// The schema's board, cell by cell: picture, label, node, marks; then each row's results.
QString boardText(const SchemaLayout& board) {
    QString text;
    for (int r = 1; r <= board.rowCount(); ++r) {
        const SchemaRow& row = board.row(r);
        QStringList cells;
        for (int c = 0; c < board.treeCols(); ++c) {
            const SchemaCell& cell = board.cell(r, c);
            cells << schemaPictureName(cell.picture) +
                         (cell.text.isEmpty() ? QString() : u':' + cell.text.simplified()) +
                         (cell.node > 0 ? QStringLiteral(" #%1").arg(cell.node) : QString()) +
                         (cell.red ? QStringLiteral(" rosso") : QString()) +
                         (cell.warning.isEmpty() ? QString() : QStringLiteral(" [") + cell.warning + u']');
        }
        text += cells.join(QStringLiteral(" | ")) + QStringLiteral(" || ") + row.flow + u'|' + row.height +
                u'|' + row.type + QStringLiteral(" riga %1").arg(row.rowData) +
                (row.openEnd > 0 ? QStringLiteral(" aperta %1").arg(row.openEnd) : QString()) +
                (row.warning.isEmpty() ? QString() : QStringLiteral(" [") + row.warning + u']') + u'\n';
    }
    return text + board.flowCaption() + u'\n';
}

class Golden : public ::testing::TestWithParam<GoldenProject> {
protected:
    QTemporaryDir dir;

    QString golden(const char* output) const {
        return QString::fromLatin1(GetParam().name) + u'/' + QLatin1String(output);
    }
    // The tool's exit status, what it writes and what it says, the folder of the test left out.
    QString cli(const QStringList& arguments) const {
        const CliResult result =
            runCli(arguments + QStringList{QStringLiteral("--catalogues"), shippedDataDirectory()});
        QString said =
            QStringLiteral("--- uscita %1 ---\n").arg(result.exitCode) + QString::fromUtf8(result.output);
        if (!result.error.isEmpty())
            said += QStringLiteral("--- errore ---\n") + result.error;
        return said.replace(dir.path(), QStringLiteral("<cartella>"));
    }
};

TEST_P(Golden, Outputs) {
    const LocaleScope locale(GetParam().italian ? kItalian : QLocale::c());
    Project built = GetParam().build();
    const QString file = dir.filePath(QStringLiteral("progetto.vlm"));
    ASSERT_TRUE(SaveProject(built, file).ok);
    const QString settingsFile = standardSettingsPath(file);
    expectGolden(
        golden("progetto.vlm"),
        QString::fromUtf8(readBytes(file) + "--- " + QFileInfo(settingsFile).fileName().toUtf8() + " ---\n" +
                          (QFileInfo::exists(settingsFile) ? readBytes(settingsFile) : QByteArray())));

    expectGolden(golden("calc.txt"), cli({QStringLiteral("calc"), file}));
    expectGolden(golden("calc.json"), cli({QStringLiteral("calc"), file, QStringLiteral("--json")}));
    const QString inp = dir.filePath(QStringLiteral("rete.inp"));
    cli({QStringLiteral("export-inp"), file, inp});
    expectGolden(golden("export.inp"),
                 QString::fromUtf8(readBytes(inp)).replace(dir.path(), QStringLiteral("<cartella>")));
    if (built.standardSettings.standard != Standard::None) {
        expectGolden(golden("verifica.txt"), cli({QStringLiteral("verify"), file}));
        expectGolden(golden("verifica.json"),
                     cli({QStringLiteral("verify"), file, QStringLiteral("--json")}));
    }

    // What the program shows and prints, from the project as it reads it back.
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, file).ok());
    p.projectPath = built.projectPath;
    {
        FixedPitchMetrics metrics;
        RecordingSurface surface(metrics);
        ReportOptions options;
        options.date = QDate(2026, 12, 7);
        QStringList said;
        options.warn = [&](const QString& text) { said << text; };
        PrintReport(p, surface, ReportSections::everything(p), options);
        QString text = pagesAsText(surface.pages());
        for (const QString& warning : said)
            text += QStringLiteral("--- avviso: ") + warning + u'\n';
        expectGolden(golden("report.txt"), text);
    }
    ComputeMaterials(p);
    expectGolden(golden("materiali.txt"), QString::fromLatin1(materialsTextBytes(
                                              materialsTextLines(p, materialsTextFileName(p.projectPath)))));

    SchemaLayout board(p);
    board.BuildSchema();
    board.RefreshLabels();
    board.FillTerminalColumns();
    const ConvergedSolution converged = SolveConverged(p);
    ASSERT_TRUE(converged.ok);
    const NetworkVerification checks = VerifyNetwork(p, converged);
    board.MarkWarnings(&checks);
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintSchema(board, p, surface);
    expectGolden(golden("schema.txt"), boardText(board) + pagesAsText(surface.pages()));
}

INSTANTIATE_TEST_SUITE_P(Projects, Golden, ::testing::ValuesIn(kProjects),
                         [](const ::testing::TestParamInfo<GoldenProject>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
