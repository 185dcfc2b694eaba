#include "cli/PdfCommands.h"

#include "model/Project.h"
#include "platform/PagePainter.h"
#include "report/CurvesPage.h"
#include "report/Tabelle.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPictures.h"
#include "schema/SchemaPrint.h"

#include <QFileInfo>

namespace valmora {

namespace {

const QString kNodes = QStringLiteral("nodi");
const QString kMaterials = QStringLiteral("materiali");
const QString kTerminals = QStringLiteral("terminali");
const QString kVerification = QStringLiteral("verifica");
const QString kCurves = QStringLiteral("curve");

struct ReportArguments {
    QString project;
    QString pdf;
    QString catalogueDirectory;
    std::optional<ReportSections> sections; // none named: everything the project has
};

std::optional<ReportSections> parseSections(const QString& list) {
    ReportSections sections{false, false, false, false, false};
    for (const QString& name : list.split(u',')) {
        if (name == kNodes)
            sections.nodes = true;
        else if (name == kMaterials)
            sections.materials = true;
        else if (name == kTerminals)
            sections.terminals = true;
        else if (name == kVerification)
            sections.verification = true;
        else if (name == kCurves)
            sections.curves = true;
        else
            return std::nullopt;
    }
    return sections;
}

const QString kSchemaCommand = QStringLiteral("schema");
const QString kCurvesCommand = QStringLiteral("curves");

std::optional<ReportArguments> parseReportArguments(const QStringList& arguments) {
    ReportArguments parsed;
    // The schema and the curves take no sections.
    const bool schema = arguments.value(0) == kSchemaCommand || arguments.value(0) == kCurvesCommand;
    QStringList files;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--catalogues") || (!schema && argument == QLatin1String("--sections"))) {
            if (++i >= arguments.size())
                return std::nullopt;
            if (argument == QLatin1String("--catalogues")) {
                parsed.catalogueDirectory = arguments[i];
            } else if (const std::optional<ReportSections> sections = parseSections(arguments[i])) {
                parsed.sections = *sections;
            } else {
                return std::nullopt;
            }
        } else if (argument.startsWith(QLatin1String("--"))) {
            return std::nullopt;
        } else {
            files << argument;
        }
    }
    if (files.size() != 2)
        return std::nullopt;
    parsed.project = files[0];
    parsed.pdf = files[1];
    return parsed;
}

// The PDF never takes the place of the project it is made from.
WriteRequest outputRequest(const ReportArguments& parsed) {
    WriteRequest request;
    request.protectedFiles << parsed.project;
    return request;
}

PagedOutcome writeSchemaPdf(const Project& project, const ReportArguments& parsed) {
    SchemaLayout board(project);
    board.BuildSchema();
    board.RefreshLabels();
    board.FillTerminalColumns();
    const ConvergedSolution converged = SolveConverged(project);
    const std::optional<NetworkVerification> checks =
        converged.ok ? std::optional<NetworkVerification>(VerifyNetwork(project, converged)) : std::nullopt;
    board.MarkWarnings(checks ? &*checks : nullptr);
    return writePdf(
        parsed.pdf, QFileInfo(parsed.project).fileName(),
        [&](PrintSurface& surface) { PrintSchema(board, project, surface); }, schemaPicturePainter(),
        outputRequest(parsed));
}

// The curves' page as a PDF, or as a PNG picture when the name ends in ".png".
PagedOutcome writeCurves(const Project& project, const ReportArguments& parsed) {
    const OperatingChart chart = operatingChart(project);
    const DrawReport draw = [&](PrintSurface& surface) {
        PrintCurves(chart, project, surface);
        surface.endDocument();
    };
    if (parsed.pdf.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return writePng(parsed.pdf, draw, outputRequest(parsed));
    return writePdf(parsed.pdf, QFileInfo(parsed.project).fileName(), draw, {}, outputRequest(parsed));
}

} // namespace

CliResult runPdfCommand(const QStringList& arguments) {
    const std::optional<ReportArguments> parsed = parseReportArguments(arguments);
    if (!parsed)
        return {kExitUsage, {}, cliUsage()};
    Project project;
    QString warning;
    if (const std::optional<QString> problem =
            loadProjectForCli(parsed->project, parsed->catalogueDirectory, project, &warning))
        return invalidInput(*problem);
    CliResult result;
    result.error = warning;
    if (arguments.value(0) == kSchemaCommand || arguments.value(0) == kCurvesCommand) {
        const PagedOutcome written =
            arguments.value(0) == kSchemaCommand ? writeSchemaPdf(project, *parsed) : writeCurves(project, *parsed);
        if (!written.ok) {
            result.exitCode = kExitInvalidInput;
            result.error = QStringLiteral("%1: %2%3\n").arg(parsed->pdf, kWriteErrorPrefix, written.reason);
        }
        return result;
    }
    ReportOptions options;
    options.warn = [&](const QString& text) { result.error += parsed->project + QStringLiteral(": avviso: ") + text + u'\n'; };
    const PagedOutcome written =
        writePdf(
            parsed->pdf, QFileInfo(parsed->project).fileName(),
            [&](PrintSurface& surface) {
                PrintReport(project, surface, parsed->sections.value_or(ReportSections::everything(project)), options);
            },
            {},
            outputRequest(*parsed));
    if (!written.ok) {
        result.exitCode = kExitInvalidInput;
        result.error += QStringLiteral("%1: %2%3\n").arg(parsed->pdf, kWriteErrorPrefix, written.reason);
    }
    return result;
}

} // namespace valmora
