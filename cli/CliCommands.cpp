#include "cli/CliCommands.h"

#include "cli/CalculationReport.h"
#include "cli/EpanetExport.h"
#include "cli/VerifyCommand.h"
#include "model/Workspace.h"
#include "platform/AtomicWrite.h"
#include "report/CalculationTable.h"
#include "storage/CatalogueFiles.h"
#include "storage/ProjectFile.h"

#include <QLocale>

#include <functional>
#include <optional>
#include <variant>

namespace valmora {

namespace {

struct Options {
    QString command;
    QStringList files;
    QString catalogueDirectory;
    bool json = false;
};

// The options, or what is wrong with them.
std::variant<Options, QString> parseOptions(const QStringList& arguments) {
    Options options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--json")) {
            options.json = true;
        } else if (argument == QLatin1String("--catalogues")) {
            if (++i >= arguments.size())
                return QStringLiteral("--catalogues: manca la cartella");
            options.catalogueDirectory = arguments[i];
        } else if (argument.startsWith(QLatin1String("--"))) {
            return QStringLiteral("opzione sconosciuta: %1").arg(argument);
        } else if (options.command.isEmpty()) {
            options.command = argument;
        } else {
            options.files << argument;
        }
    }
    const QString& command = options.command;
    const bool calc = command == QLatin1String("calc");
    const bool writes = command == QLatin1String("save") || command == QLatin1String("export-inp") ||
                        command == QLatin1String("table");
    if (!calc && !writes)
        return command.isEmpty() ? QStringLiteral("manca il comando")
                                 : QStringLiteral("comando sconosciuto: %1").arg(command);
    if (options.files.size() != (calc ? 1 : 2))
        return QStringLiteral("%1: %2").arg(
            command, calc ? QStringLiteral("serve un file di progetto")
                          : QStringLiteral("servono il progetto e il file da scrivere"));
    if (writes && options.json)
        return QStringLiteral("%1: --json vale solo per calc e verify").arg(command);
    return options;
}

} // namespace

CliResult invalidInput(const QString& message) {
    return {kExitInvalidInput, {}, message + u'\n'};
}

CliResult usageError(const QString& what) {
    return {kExitUsage, {}, QStringLiteral("valmora-cli: %1\n").arg(what) + cliUsage()};
}

bool asksForHelp(const QStringList& arguments) {
    return arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"));
}

std::optional<QString> loadProjectForCli(const QString& path, const QString& catalogueDirectory,
                                         Workspace& workspace, QString& warning, SettingsUse settings) {
    const CatalogueSearch where = catalogueDirectory.isEmpty()
                                      ? CatalogueSearch::standard()
                                      : CatalogueSearch::inDirectory(catalogueDirectory);
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> terminals;
    CatalogueLoadResult catalogue = LoadPipeCatalogue(pipes, where);
    if (catalogue.ok)
        catalogue = LoadTerminalCatalogue(terminals, where);
    if (!catalogue.ok)
        return catalogue.message;

    workspace = Workspace(Project(std::move(pipes), std::move(terminals)));
    Project& project = workspace.project;
    const ReadOutcome read = ReadProject(project, path);
    if (!read.ok())
        return QStringLiteral("%1: %2").arg(path, read.message);
    project.projectPath = path;
    const QString notices = readNoticesText(read.notices, path);
    if (settings == SettingsUse::Used && read.settingsIncomplete())
        return notices + QStringLiteral("\n%1: impostazioni di verifica non lette per intero: "
                                        "correggere le righe indicate")
                             .arg(path);
    if (!notices.isEmpty())
        warning += QStringLiteral("avviso: ") +
                   QString(notices).replace(u'\n', QStringLiteral("\navviso: ")) + u'\n';
    const CalculationOutcome calculation = Calculate(project, workspace.results);
    if (!calculation.ok)
        return QStringLiteral("%1: calcolo impossibile: %2").arg(path, calculation.message);
    return std::nullopt;
}

namespace {

CliResult runCalc(const Options& options, const OutputSink& sink) {
    const QString& path = options.files[0];
    Workspace workspace;
    CliResult result;
    if (const auto problem = loadProjectForCli(path, options.catalogueDirectory, workspace, result.error))
        return invalidInput(result.error + *problem);
    const Project& project = workspace.project;
    if (options.json && sink)
        writeCalculationJson(project, workspace.results, path, sink);
    else
        result.output = options.json ? calculationJson(project, workspace.results, path)
                                     : calculationTable(project, workspace.results, path, QLocale()).toUtf8();
    return result;
}

// What a writer did: the message of a failure, or a warning on a file written all the same.
struct Written {
    std::optional<QString> problem;
    QString warning;
};

// Reads and calculates the first file, then writes the second with `write` (given the
// project, the second file and the first).
using Writer = std::function<Written(const Workspace&, const QString&, const QString&)>;
CliResult convert(const Options& options, SettingsUse settings, const Writer& write) {
    const QString& source = options.files[0];
    const QString& target = options.files[1];
    Workspace workspace;
    CliResult result;
    if (const auto problem =
            loadProjectForCli(source, options.catalogueDirectory, workspace, result.error, settings))
        return invalidInput(result.error + *problem);
    const Written written = write(workspace, target, source);
    if (written.problem)
        return invalidInput(result.error + QStringLiteral("%1: %2").arg(target, *written.problem));
    if (!written.warning.isEmpty())
        result.error += QStringLiteral("%1: attenzione: %2\n").arg(target, written.warning);
    return result;
}

CliResult runSave(const Options& options) {
    // What is written back must be what was read: a setting that could not be read would be lost.
    return convert(options, SettingsUse::Used,
                   [](const Workspace& workspace, const QString& target, const QString&) -> Written {
                       const Project& project = workspace.project;
                       const SaveOutcome saved = SaveProject(project, target);
                       if (!saved.ok)
                           return {saved.message, {}};
                       return {std::nullopt, saved.backupWarning};
                   });
}

CliResult runExportInp(const Options& options) {
    return convert(options, SettingsUse::Unused,
                   [](const Workspace& workspace, const QString& target, const QString& source) -> Written {
                       const Project& project = workspace.project;
                       const WriteOutcome written =
                           writeFileAtomically(target, epanetInput(project), outputOf(source));
                       if (!written.ok)
                           return {kWriteErrorPrefix + written.reason, {}};
                       return {};
                   });
}

} // namespace

QString cliUsage() {
    return QStringLiteral("Uso:\n"
                          "  valmora-cli calc FILE.vlm [--catalogues DIR] [--json]\n"
                          "  valmora-cli save IN.vlm OUT.vlm [--catalogues DIR]\n"
                          "  valmora-cli report FILE.vlm OUT.pdf [--sections "
                          "copertina,dati,sintesi,nodi,materiali,terminali,verifica,curve,firma] "
                          "[--catalogues DIR]\n"
                          "  valmora-cli schema FILE.vlm OUT.pdf [--catalogues DIR]\n"
                          "  valmora-cli curves FILE.vlm OUT.pdf|OUT.png [--catalogues DIR]\n"
                          "  valmora-cli export-inp FILE.vlm OUT.inp [--catalogues DIR]\n"
                          "  valmora-cli table FILE.vlm OUT.csv [--catalogues DIR]\n"
                          "  valmora-cli verify FILE.vlm [--standard uni10779 --level N | --standard en12845 "
                          "--hazard CLASSE [--coverage M2]] [--sets area|any] [--catalogues DIR] [--json]\n");
}

CliResult runTable(const Options& options) {
    // The verification's sections are part of the table: its settings must be read whole.
    return convert(options, SettingsUse::Used,
                   [](const Workspace& workspace, const QString& target, const QString& source) -> Written {
                       const Project& project = workspace.project;
                       const std::optional<StandardCheck> check =
                           project.standardSettings.standard != Standard::None
                               ? std::optional<StandardCheck>(
                                     verifyStandard(project, project.standardSettings))
                               : std::nullopt;
                       const WriteOutcome written = writeFileAtomically(
                           target, calculationTableCsv(project, workspace.results, check ? &*check : nullptr),
                           outputOf(source));
                       if (!written.ok)
                           return {kWriteErrorPrefix + written.reason, {}};
                       return {};
                   });
}

CliResult runCli(const QStringList& arguments, const OutputSink& sink) {
    if (asksForHelp(arguments))
        return {kExitSuccess, cliUsage().toUtf8(), {}};
    if (arguments.value(0) == QLatin1String("verify"))
        return runVerify(arguments.mid(1));
    const std::variant<Options, QString> parsed = parseOptions(arguments);
    if (const auto* wrong = std::get_if<QString>(&parsed))
        return usageError(*wrong);
    const Options& options = std::get<Options>(parsed);
    if (options.command == QLatin1String("calc"))
        return runCalc(options, sink);
    if (options.command == QLatin1String("export-inp"))
        return runExportInp(options);
    if (options.command == QLatin1String("table"))
        return runTable(options);
    return runSave(options);
}

} // namespace valmora
