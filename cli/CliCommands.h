#pragma once

// The command-line tool: calculation of a project file, read-and-write-back, and export
// for an independent hydraulic solver.
//   valmora-cli calc FILE.vlm [--catalogues DIR] [--json]
//   valmora-cli save IN.vlm OUT.vlm [--catalogues DIR]
//   valmora-cli export-inp FILE.vlm OUT.inp [--catalogues DIR]   (EpanetExport.h)

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace valmora {

constexpr int kExitSuccess = 0;
constexpr int kExitInvalidInput = 1;
constexpr int kExitUsage = 2;

struct CliResult {
    int exitCode = kExitSuccess;
    QByteArray output; // standard output
    QString error;     // standard error: one message naming the file, the line and the problem
};

// `arguments` without the program name.
CliResult runCli(const QStringList& arguments);

QString cliUsage();

} // namespace valmora
