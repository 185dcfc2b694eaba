#include "cli/CliCommands.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const valmora::CliResult result = valmora::runCli(arguments);
    std::fwrite(result.output.constData(), 1, std::size_t(result.output.size()), stdout);
    const QByteArray error = result.error.toLocal8Bit();
    std::fwrite(error.constData(), 1, std::size_t(error.size()), stderr);
    return result.exitCode;
}
