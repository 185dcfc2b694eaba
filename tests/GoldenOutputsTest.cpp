// Whole outputs of one project that holds what users meet and what has gone wrong before:
// a KV element, a closed branch, a section past the velocity limit, a dry hose reel, an end
// without terminal, names that do not fit their columns or hold a line break, a series code
// that must not be cut, a path EPANET's reader would take for a section. Each output is
// compared with its golden file (tests/GoldenFiles.h says how to write them anew).

#include "cli/CalculationReport.h"
#include "cli/EpanetExport.h"
#include "cli/VerifyCommand.h"
#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "report/Materials.h"
#include "report/Tabelle.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPrint.h"
#include "standards/VerificationText.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

using namespace valmora;
using namespace valmora::testkit;
using namespace valmora::testkit::shippedCatalogue;

namespace {

constexpr int16_t kKv = 0;
constexpr int16_t kPe100 = 3;
constexpr int16_t kGalvanised = 2;
constexpr int16_t kBore4 = 9, kBore2AndHalf = 7, kBore1AndQuarter = 4, kBoreHalf = 1, kBorePe110 = 8;
constexpr int16_t kUni70 = 2;
constexpr int16_t kFreeOutlet = 0;

Project hostileProject() {
    Project p = projectWithShippedCatalogues();
    NetworkBuilder build(p);
    const int16_t pump = build.root({QStringLiteral("Mandata pompe"), 6, 8, kBlackSteel, kBore4});
    const int16_t buried = build.continueAfter(pump, {QStringLiteral("Interrato PE"), 45, 3, kPe100, kBorePe110});
    const int16_t valve = build.continueAfter(buried, {QStringLiteral("Valvola"), 0, 50, kKv, 0});
    const int16_t north = build.continueAfter(valve, {QStringLiteral("Dorsale nord"), 20, 2, kBlackSteel, kBore2AndHalf});
    // An end without terminal through a pipe too small for what it pours out.
    build.continueAfter(north, {QStringLiteral("Dorsale nord 2"), 15, 1, kBlackSteel, kBore1AndQuarter});
    // Far too small a pipe for a UNI 70: past the velocity limit.
    const int16_t narrow = build.deriveAt(north, {QStringLiteral("Stacco stretto"), 3, 0, kBlackSteel, kBoreHalf});
    const int16_t broken =
        build.continueAfter(narrow, {QStringLiteral("Riga\nspezzata"), 2, 0, kBlackSteel, kBoreHalf});
    build.endWithTerminal(broken, kUni70, 1);
    // A hose reel higher than the supply reaches, far away: dry; its length too wide for the
    // report's column, its name too long for an EPANET identifier.
    const int16_t riser = build.deriveAt(valve, {QStringLiteral("Colonna montante alta al sesto piano"), 1062, 2, kGalvanised, kBore1});
    build.endWithTerminal(riser, kHoseReel, 60);
    // A test outlet on half a metre of 1/2": past the velocity limit.
    build.endWithTerminal(build.deriveAt(buried, {QStringLiteral("Prova"), 0.5f, 0, kBlackSteel, kBoreHalf}), kFreeOutlet, 0);
    // A branch closed on purpose.
    Section closed{QStringLiteral("Ramo chiuso"), 5, 1, kBlackSteel, kBore1AndHalf};
    closed.closed = true;
    build.endWithTerminal(build.deriveAt(pump, closed), kUni45, 0);
    p.supplyPressure = 45000;
    p.projectPath = QStringLiteral("/progetti/[2024] Capannone\nnuovo.vlm");
    p.projectNotes = QStringLiteral("Verifica del capannone nuovo, lato nord.\r\nSeconda riga delle note.");
    p.standardSettings.standard = Standard::Uni10779;
    p.standardSettings.level = 2;
    EXPECT_TRUE(Calculate(p).ok);
    return p;
}

class Golden : public ::testing::Test {
protected:
    LocaleScope italian{kItalian};
    Project project = hostileProject();
};

} // namespace

TEST_F(Golden, ReportPages) {
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    ReportOptions options;
    options.date = QDate(2026, 12, 7);
    QStringList said;
    options.warn = [&](const QString& text) { said << text; };
    PrintReport(project, surface, ReportSections::everything(project), options);
    QString text = pagesAsText(surface.pages());
    for (const QString& warning : said)
        text += QStringLiteral("--- avviso: ") + warning + u'\n';
    expectGolden(QStringLiteral("report.txt"), text);
}

TEST_F(Golden, CalculationTableAndJson) {
    expectGolden(QStringLiteral("calc.txt"), calculationTable(project, QStringLiteral("capannone.vlm"), QLocale()));
    expectGolden(QStringLiteral("calc.json"),
                 QString::fromUtf8(calculationJson(project, QStringLiteral("C:\\progetti\\\"capannone\".vlm"))));
}

TEST_F(Golden, EpanetInput) { expectGolden(QStringLiteral("export.inp"), QString::fromUtf8(epanetInput(project))); }

TEST_F(Golden, MaterialsText) {
    ComputeMaterials(project);
    expectGolden(QStringLiteral("materiali.txt"),
                 materialsTextLines(project, materialsTextFileName(QStringLiteral("capannone.vlm"))).join(u'\n'));
}

TEST_F(Golden, StandardVerificationTextAndJson) {
    const StandardCheck check = verifyStandard(project, project.standardSettings);
    expectGolden(QStringLiteral("verifica.txt"), verificationLines(project, check).join(u'\n'));
    expectGolden(QStringLiteral("verifica.json"), QString::fromUtf8(verificationJson(check)));
}

TEST_F(Golden, SchemaBoardAndPrintout) {
    SchemaLayout board(project);
    board.BuildSchema();
    board.RefreshLabels();
    board.FillTerminalColumns();
    const ConvergedSolution converged = SolveConverged(project);
    ASSERT_TRUE(converged.ok);
    const NetworkVerification checks = VerifyNetwork(project, converged);
    board.MarkWarnings(&checks);
    QString text;
    for (int r = 1; r <= board.rowCount(); ++r) {
        const SchemaRow& row = board.row(r);
        QStringList cells;
        for (int c = 0; c < board.treeCols(); ++c) {
            const SchemaCell& cell = board.cell(r, c);
            cells << schemaPictureName(cell.picture) + (cell.text.isEmpty() ? QString() : u':' + cell.text.simplified()) +
                         (cell.red ? QStringLiteral(" rosso") : QString()) +
                         (cell.warning.isEmpty() ? QString() : QStringLiteral(" [") + cell.warning + u']');
        }
        text += cells.join(QStringLiteral(" | ")) + QStringLiteral(" || ") + row.flow + u'|' + row.height + u'|' +
                row.type + (row.warning.isEmpty() ? QString() : QStringLiteral(" [") + row.warning + u']') + u'\n';
    }
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintSchema(board, project, surface);
    expectGolden(QStringLiteral("schema.txt"), text + pagesAsText(surface.pages()));
}
