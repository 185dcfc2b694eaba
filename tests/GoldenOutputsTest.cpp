// Whole outputs of five projects that together hold what designers meet and what has gone
// wrong before, each compared with its golden files under tests/data/golden/<project>/
// (tests/GoldenFiles.h says how to write them anew):
//   ostile    a KV element, a closed branch, sections past the velocity limit, a dry hose
//             reel, an end without terminal, names that do not fit or hold a line break, a
//             path with a line break; UNI 10779 level 3, failed;
//   montante  ten UNI 45 hydrants on a riser fed by a pump: the terminals the five passes
//             leave far from convergence, the sets at their operating points, the curves page;
//   esempio   the example project as the program ships it, a path too long for the header,
//             UNI 10779 level 1 passed;
//   pettine   a comb of K80 sprinklers behind a valve, fed by a water main; UNI EN 12845 OH2;
//             in the C locale;
//   piccolo   a small tree with a derived branch, a closed section and a nozzle, laid out on
//             the schema.
// The projects are files under tests/data/projects (with their verification settings in the
// block after the tree): each is read, written back to the same bytes, run through the command-line tool
// as a designer uses it, and drawn (report, materials, schema) from the project as read.

#include "cli/CliCommands.h"
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

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;
using namespace valmora::testkit;

namespace {

struct GoldenProject {
    const char* name; // tests/data/projects/<name>.vlm
    const char* path; // where the designer keeps it, as the report's header and the exports say
    bool italian;
};

const GoldenProject kProjects[] = {
    {"ostile", "/progetti/[2024] Capannone\nnuovo.vlm", true},
    {"montante", "/progetti/montante.vlm", true},
    {"esempio", "/progetti/clienti/stabilimento di via delle Industrie 12/esempio.vlm", true},
    {"pettine", "/progetti/deposito.vlm", false},
    {"piccolo", "/progetti/piccolo.vlm", true}};

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
    const QString source =
        QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/") + QLatin1String(GetParam().name);
    const QString file = dir.filePath(QStringLiteral("progetto.vlm"));
    ASSERT_TRUE(QFile::copy(source + QStringLiteral(".vlm"), file));

    // Read and written back: the same bytes, the block after the tree too.
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, file).ok());
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    const QString rewritten = dir.filePath(QStringLiteral("riscritto.vlm"));
    ASSERT_TRUE(SaveProject(p, rewritten).ok);
    EXPECT_EQ(readBytes(rewritten), readBytes(file));
    expectGolden(golden("progetto.vlm"), QString::fromUtf8(readBytes(rewritten)));
    p.projectPath = QString::fromUtf8(GetParam().path);

    expectGolden(golden("calc.txt"), cli({QStringLiteral("calc"), file}));
    expectGolden(golden("calc.json"), cli({QStringLiteral("calc"), file, QStringLiteral("--json")}));
    const QString inp = dir.filePath(QStringLiteral("rete.inp"));
    cli({QStringLiteral("export-inp"), file, inp});
    expectGolden(golden("export.inp"),
                 QString::fromUtf8(readBytes(inp)).replace(dir.path(), QStringLiteral("<cartella>")));
    if (p.standardSettings.standard != Standard::None) {
        expectGolden(golden("verifica.txt"), cli({QStringLiteral("verify"), file}));
        expectGolden(golden("verifica.json"),
                     cli({QStringLiteral("verify"), file, QStringLiteral("--json")}));
    }

    // What the program shows and prints, from the project as it reads it back.
    {
        FixedPitchMetrics metrics;
        RecordingSurface surface(metrics);
        ReportOptions options;
        options.date = QDate(2026, 12, 7);
        QStringList said;
        options.warn = [&](const QString& text) { said << text; };
        PrintReport(p, r, surface, ReportSections::everything(p), options);
        QString text = pagesAsText(surface.pages());
        for (const QString& warning : said)
            text += QStringLiteral("--- avviso: ") + warning + u'\n';
        expectGolden(golden("report.txt"), text);
    }
    expectGolden(golden("materiali.txt"),
                 QString::fromLatin1(materialsTextBytes(
                     materialsTextLines(p, totalMaterials(p, r), materialsTextFileName(p.projectPath)))));

    SchemaLayout board(p, r);
    board.BuildSchema();
    board.RefreshLabels();
    board.FillTerminalColumns();
    const ConvergedSolution converged = SolveConverged(p);
    ASSERT_TRUE(converged.ok);
    const NetworkVerification checks = VerifyNetwork(p, r, converged);
    board.MarkWarnings(&checks);
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintSchema(board, p, surface);
    expectGolden(golden("schema.txt"), boardText(board) + pagesAsText(surface.pages()));
}

INSTANTIATE_TEST_SUITE_P(Projects, Golden, ::testing::ValuesIn(kProjects),
                         [](const ::testing::TestParamInfo<GoldenProject>& project) {
                             return std::string(project.param.name);
                         });

} // namespace
