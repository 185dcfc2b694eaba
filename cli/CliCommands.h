#pragma once

// The command-line tool: calculation of a project file and read-and-write-back.
//   valmora-cli calc FILE.vlm [--catalogues DIR] [--json]
//   valmora-cli save IN.vlm OUT.vlm [--catalogues DIR]

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
    QString error;     // standard error: one message naming the file, the line and the problem,
                       // or a warning (a backup not made) beside a success
};

// `arguments` without the program name.
CliResult runCli(const QStringList& arguments);

QString cliUsage();

} // namespace valmora
