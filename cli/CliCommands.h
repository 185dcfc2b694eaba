#pragma once

// The command-line tool: calculation of a project file, read-and-write-back, and export
// for an independent hydraulic solver.
//   valmora-cli calc FILE.vlm [--catalogues DIR] [--json]
//   valmora-cli save IN.vlm OUT.vlm [--catalogues DIR]
//   valmora-cli report FILE.vlm OUT.pdf [--sections nodi,materiali,terminali,verifica,curve] [--catalogues
//   DIR] valmora-cli schema FILE.vlm OUT.pdf [--catalogues DIR]
//     (both in PdfCommands.h: they draw with the fonts, so they need a GUI application object)
//   valmora-cli export-inp FILE.vlm OUT.inp [--catalogues DIR]   (EpanetExport.h)

#include "cli/CalculationReport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace valmora {

struct Workspace;

constexpr int kExitSuccess = 0;
constexpr int kExitInvalidInput = 1;
constexpr int kExitUsage = 2;

struct CliResult {
    int exitCode = kExitSuccess;
    QByteArray output; // standard output
    QString error;     // standard error: one message naming the file, the line and the problem,
                       // or a warning (a backup not made) beside a success
};

// Whether a command answers with the verification's settings (verify, the curves, the report's
// verification, save which writes them back): a setting that could not be read refuses its input.
enum class SettingsUse { Unused, Used };

// The project file read and calculated over the catalogues (found as the program finds
// them, or in `catalogueDirectory`); otherwise the message that refuses it. `warning` gets
// what was read but not taken (lines of the block after the tree), one line each.
std::optional<QString> loadProjectForCli(const QString& path, const QString& catalogueDirectory,
                                         Workspace& workspace, QString& warning,
                                         SettingsUse settings = SettingsUse::Unused);
// A refusal of the input: `message` on one line of standard error, exit status 1.
CliResult invalidInput(const QString& message);
// A command line that cannot be taken: what is wrong with it, then the usage, exit status 2.
CliResult usageError(const QString& what);
// "--help": the usage on standard output, exit status 0.
bool asksForHelp(const QStringList& arguments);

// `arguments` without the program name.
// With a sink, what goes to standard output is handed to it as it is made (the JSON of a
// large network) instead of being collected in the result.
CliResult runCli(const QStringList& arguments, const OutputSink& sink = {});

QString cliUsage();

} // namespace valmora
