#include "cli/PdfCommands.h"

#include "model/Workspace.h"
#include "platform/PagePainter.h"
#include "report/CurvesPage.h"
#include "report/Tabelle.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPictures.h"
#include "schema/SchemaPrint.h"

#include <QFileInfo>
#include <QStringList>

#include <array>
#include <variant>

namespace valmora {

namespace {

// The report's parts by the names --sections gives them, in the order they print.
struct SectionName {
    const char16_t* name;
    bool ReportSections::*part;
};
const std::array<SectionName, 9> kSectionNames = {{
    {u"copertina", &ReportSections::cover},
    {u"dati", &ReportSections::inputs},
    {u"sintesi", &ReportSections::summary},
    {u"nodi", &ReportSections::nodes},
    {u"materiali", &ReportSections::materials},
    {u"terminali", &ReportSections::terminals},
    {u"verifica", &ReportSections::verification},
    {u"curve", &ReportSections::curves},
    {u"firma", &ReportSections::signature},
}};

struct ReportArguments {
    QString project;
    QString pdf;
    QString catalogueDirectory;
    std::optional<ReportSections> sections; // none named: everything the project has
};

// The sections named, or the name that is none.
std::variant<ReportSections, QString> parseSections(const QString& list) {
    ReportSections sections = ReportSections::none();
    QStringList known;
    for (const SectionName& s : kSectionNames)
        known << QString::fromUtf16(s.name);
    for (const QString& name : list.split(u',')) {
        const qsizetype at = known.indexOf(name);
        if (at < 0)
            return QStringLiteral("--sections: sezione sconosciuta \"%1\" (%2)").arg(name, known.join(u','));
        sections.*(kSectionNames[std::size_t(at)].part) = true;
    }
    return sections;
}

const QString kSchemaCommand = QStringLiteral("schema");
const QString kCurvesCommand = QStringLiteral("curves");

std::variant<ReportArguments, QString> parseReportArguments(const QStringList& arguments) {
    ReportArguments parsed;
    const QString& command = arguments.value(0);
    // The schema and the curves take no sections.
    const bool schema = command == kSchemaCommand || command == kCurvesCommand;
    QStringList files;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--catalogues") ||
            (!schema && argument == QLatin1String("--sections"))) {
            if (++i >= arguments.size())
                return argument + QStringLiteral(": manca il valore");
            if (argument == QLatin1String("--catalogues")) {
                parsed.catalogueDirectory = arguments[i];
                continue;
            }
            const std::variant<ReportSections, QString> sections = parseSections(arguments[i]);
            if (const auto* wrong = std::get_if<QString>(&sections))
                return *wrong;
            parsed.sections = std::get<ReportSections>(sections);
        } else if (argument.startsWith(QLatin1String("--"))) {
            return QStringLiteral("%1: opzione sconosciuta: %2").arg(command, argument);
        } else {
            files << argument;
        }
    }
    if (files.size() != 2)
        return QStringLiteral("%1: servono il progetto e il file da scrivere").arg(command);
    parsed.project = files[0];
    parsed.pdf = files[1];
    return parsed;
}

// The PDF never takes the place of the project it is made from, nor of its backup.
WriteRequest outputRequest(const ReportArguments& parsed) {
    return outputOf(parsed.project);
}

PagedOutcome writeSchemaPdf(const Workspace& workspace, const ReportArguments& parsed) {
    const Project& project = workspace.project;
    SchemaLayout board(project, workspace.results);
    board.BuildSchema();
    board.RefreshLabels();
    board.FillTerminalColumns();
    const ConvergedSolution converged = convergedSolutionFor(project, workspace.results);
    const std::optional<NetworkVerification> checks =
        converged.ok
            ? std::optional<NetworkVerification>(VerifyNetwork(project, workspace.results, converged))
            : std::nullopt;
    board.MarkWarnings(checks ? &*checks : nullptr);
    return writePdf(
        parsed.pdf, projectPdfInfo(project, QStringLiteral("Schema")),
        [&](PrintSurface& surface) { PrintSchema(board, project, surface); }, schemaPicturePainter(),
        outputRequest(parsed));
}

// The curves' page as a PDF, or as a PNG picture when the name ends in ".png".
PagedOutcome writeCurves(const Project& project, const OperatingChart& chart, const ReportArguments& parsed) {
    const DrawReport draw = [&](PrintSurface& surface) {
        PrintCurves(chart, project, surface);
        surface.endDocument();
    };
    if (parsed.pdf.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return writePng(parsed.pdf, draw, outputRequest(parsed));
    return writePdf(parsed.pdf, projectPdfInfo(project, kCurvesTitle), draw, {}, outputRequest(parsed));
}

} // namespace

// Whether what is drawn answers with the verification's settings.
SettingsUse settingsUseOf(const QString& command, const ReportArguments& parsed) {
    if (command == kCurvesCommand)
        return SettingsUse::Used;
    if (command == kSchemaCommand)
        return SettingsUse::Unused;
    // Without sections named, the report prints the verification whenever a standard is chosen.
    const bool verification = !parsed.sections || parsed.sections->verification || parsed.sections->curves;
    return verification ? SettingsUse::Used : SettingsUse::Unused;
}

CliResult runPdfCommand(const QStringList& arguments) {
    if (asksForHelp(arguments))
        return {kExitSuccess, cliUsage().toUtf8(), {}};
    const std::variant<ReportArguments, QString> parsedOrWrong = parseReportArguments(arguments);
    if (const auto* wrong = std::get_if<QString>(&parsedOrWrong))
        return usageError(*wrong);
    const ReportArguments* parsed = &std::get<ReportArguments>(parsedOrWrong);
    Workspace workspace;
    const Project& project = workspace.project;
    CliResult result;
    if (const std::optional<QString> problem =
            loadProjectForCli(parsed->project, parsed->catalogueDirectory, workspace, result.error,
                              settingsUseOf(arguments.value(0), *parsed)))
        return invalidInput(result.error + *problem);
    if (arguments.value(0) == kSchemaCommand || arguments.value(0) == kCurvesCommand) {
        const bool curves = arguments.value(0) == kCurvesCommand;
        const OperatingChart chart = curves ? operatingChart(project) : OperatingChart{};
        // A chart that cannot be drawn is not written as an empty one.
        if (!chart.problem.isEmpty())
            return invalidInput(
                result.error +
                QStringLiteral("%1: curve non esportate: %2").arg(parsed->project, chart.problem));
        const PagedOutcome written =
            curves ? writeCurves(project, chart, *parsed) : writeSchemaPdf(workspace, *parsed);
        if (!written.ok) {
            result.exitCode = kExitInvalidInput;
            result.error += QStringLiteral("%1: %2%3\n").arg(parsed->pdf, kWriteErrorPrefix, written.reason);
        }
        return result;
    }
    ReportOptions options;
    options.warn = [&](const QString& text) {
        result.error += parsed->project + QStringLiteral(": avviso: ") + text + u'\n';
    };
    const PagedOutcome written = writePdf(
        parsed->pdf, projectPdfInfo(project, kReportDocument),
        [&](PrintSurface& surface) {
            PrintReport(project, workspace.results, surface,
                        parsed->sections.value_or(ReportSections::everything(project)), options);
        },
        {}, outputRequest(*parsed));
    if (!written.ok) {
        result.exitCode = kExitInvalidInput;
        result.error += QStringLiteral("%1: %2%3\n").arg(parsed->pdf, kWriteErrorPrefix, written.reason);
    }
    return result;
}

} // namespace valmora
