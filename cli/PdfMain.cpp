// valmora-pdf: the report and the schema as PDF files (valmora-cli report / schema), drawn
// with fonts, so with a GUI application object; no display is needed.

#include "cli/PdfCommands.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private runtime folder where the session has none, so that standard error carries
    // only the tool's own messages.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + QStringLiteral("/valmora-runtime-") + QString::number(getuid());
        if (QDir().mkpath(runtime) &&
            QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const valmora::CliResult result = valmora::runPdfCommand(arguments);
    std::fwrite(result.output.constData(), 1, std::size_t(result.output.size()), stdout);
    const QByteArray error = result.error.toLocal8Bit();
    std::fwrite(error.constData(), 1, std::size_t(error.size()), stderr);
    return result.exitCode;
}
