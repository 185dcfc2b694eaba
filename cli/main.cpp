#include "cli/CliCommands.h"
#include "cli/PdfCommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

bool isPdfCommand(int argc, char* argv[]) {
    return argc > 1 && (qstrcmp(argv[1], "report") == 0 || qstrcmp(argv[1], "schema") == 0);
}

} // namespace

int main(int argc, char* argv[]) {
    // The report and the schema draw with fonts, which want a GUI application; no display is needed.
    std::unique_ptr<QCoreApplication> app;
    if (isPdfCommand(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // A private runtime folder where the session has none, so that standard error
        // carries only the tool's own messages.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            const QString runtime = QDir::tempPath() + QStringLiteral("/valmora-runtime-") + QString::number(getuid());
            if (QDir().mkpath(runtime) &&
                QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
                qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const valmora::CliResult result =
        isPdfCommand(argc, argv) ? valmora::runPdfCommand(arguments) : valmora::runCli(arguments);
    std::fwrite(result.output.constData(), 1, std::size_t(result.output.size()), stdout);
    const QByteArray error = result.error.toLocal8Bit();
    std::fwrite(error.constData(), 1, std::size_t(error.size()), stderr);
    return result.exitCode;
}
