#include "cli/CliCommands.h"

#include "cli/CalculationReport.h"
#include "cli/EpanetExport.h"
#include "cli/VerifyCommand.h"
#include "model/AtomicWrite.h"
#include "model/Catalogues.h"
#include "model/Project.h"
#include "storage/ProjectFile.h"

#include <QLocale>

#include <functional>
#include <optional>

namespace valmora {

namespace {

struct Options {
    QString command;
    QStringList files;
    QString catalogueDirectory;
    bool json = false;
};

std::optional<Options> parseOptions(const QStringList& arguments) {
    Options options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--json")) {
            options.json = true;
        } else if (argument == QLatin1String("--catalogues")) {
            if (++i >= arguments.size())
                return std::nullopt;
            options.catalogueDirectory = arguments[i];
        } else if (argument.startsWith(QLatin1String("--"))) {
            return std::nullopt;
        } else if (options.command.isEmpty()) {
            options.command = argument;
        } else {
            options.files << argument;
        }
    }
    const bool calc = options.command == QLatin1String("calc") && options.files.size() == 1;
    const bool save = options.command == QLatin1String("save") && options.files.size() == 2 && !options.json;
    const bool exportInp =
        options.command == QLatin1String("export-inp") && options.files.size() == 2 && !options.json;
    if (!calc && !save && !exportInp)
        return std::nullopt;
    return options;
}

} // namespace

CliResult invalidInput(const QString& message) {
    return {kExitInvalidInput, {}, message + u'\n'};
}

std::optional<QString> loadProjectForCli(const QString& path, const QString& catalogueDirectory, Project& project,
                                         QString* warning) {
    const CatalogueSearch where = catalogueDirectory.isEmpty() ? CatalogueSearch::standard()
                                                               : CatalogueSearch::inDirectory(catalogueDirectory);
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> terminals;
    CatalogueLoadResult catalogue = LoadPipeCatalogue(pipes, where);
    if (catalogue.ok)
        catalogue = LoadTerminalCatalogue(terminals, where);
    if (!catalogue.ok)
        return catalogue.message;

    project = Project(std::move(pipes), std::move(terminals));
    const ReadOutcome read = ReadProject(project, path);
    if (!read.ok())
        return QStringLiteral("%1: %2").arg(path, read.message);
    project.projectPath = path;
    if (warning && !read.settingsWarning.isEmpty())
        *warning = QStringLiteral("%1: avviso: %2\n").arg(path, read.settingsWarning);
    if (!read.calculation.ok)
        return QStringLiteral("%1: calcolo impossibile: %2").arg(path, read.calculation.message);
    return std::nullopt;
}

namespace {

CliResult runCalc(const Options& options, const OutputSink& sink) {
    const QString& path = options.files[0];
    Project project;
    if (const auto problem = loadProjectForCli(path, options.catalogueDirectory, project))
        return invalidInput(*problem);
    CliResult result;
    if (options.json && sink)
        writeCalculationJson(project, path, sink);
    else
        result.output = options.json ? calculationJson(project, path) : calculationTable(project, path, QLocale()).toUtf8();
    return result;
}

// What a writer did: the message of a failure, or a warning on a file written all the same.
struct Written {
    std::optional<QString> problem;
    QString warning;
};

// Reads and calculates the first file, then writes the second with `write` (given the
// project, the second file and the first).
using Writer = std::function<Written(const Project&, const QString&, const QString&)>;
CliResult convert(const Options& options, const Writer& write) {
    const QString& source = options.files[0];
    const QString& target = options.files[1];
    Project project;
    if (const auto problem = loadProjectForCli(source, options.catalogueDirectory, project))
        return invalidInput(*problem);
    const Written written = write(project, target, source);
    if (written.problem)
        return invalidInput(QStringLiteral("%1: %2").arg(target, *written.problem));
    CliResult result;
    if (!written.warning.isEmpty())
        result.error = QStringLiteral("%1: attenzione: %2\n").arg(target, written.warning);
    return result;
}

CliResult runSave(const Options& options) {
    return convert(options, [](const Project& project, const QString& target, const QString&) -> Written {
        const SaveOutcome saved = SaveProject(project, target);
        if (!saved.ok)
            return {saved.message, {}};
        return {std::nullopt, saved.backupWarning};
    });
}

CliResult runExportInp(const Options& options) {
    return convert(options, [](const Project& project, const QString& target, const QString& source) -> Written {
        WriteRequest request;
        request.protectedFiles << source;
        const WriteOutcome written = writeFileAtomically(target, epanetInput(project), request);
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
                          "  valmora-cli report FILE.vlm OUT.pdf [--sections nodi,materiali,terminali,verifica,curve] "
                          "[--catalogues DIR]\n"
                          "  valmora-cli schema FILE.vlm OUT.pdf [--catalogues DIR]\n"
                          "  valmora-cli curves FILE.vlm OUT.pdf|OUT.png [--catalogues DIR]\n"
                          "  valmora-cli export-inp FILE.vlm OUT.inp [--catalogues DIR]\n"
                          "  valmora-cli verify FILE.vlm [--standard uni10779 --level N | --standard en12845 "
                          "--hazard CLASSE [--coverage M2]] [--catalogues DIR] [--json]\n");
}

CliResult runCli(const QStringList& arguments, const OutputSink& sink) {
    if (arguments.value(0) == QLatin1String("verify"))
        return runVerify(arguments.mid(1));
    const std::optional<Options> options = parseOptions(arguments);
    if (!options)
        return {kExitUsage, {}, cliUsage()};
    if (options->command == QLatin1String("calc"))
        return runCalc(*options, sink);
    if (options->command == QLatin1String("export-inp"))
        return runExportInp(*options);
    return runSave(*options);
}

} // namespace valmora
