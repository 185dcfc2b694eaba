// valmora-pdf: the report and the schema as PDF files (valmora-cli report / schema), drawn
// with fonts, so with a GUI application object; no display is needed.

#include "cli/PdfCommands.h"
#include "cli/ProcessOutput.h"
#include "platform/ProgramStart.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A private runtime folder where the session has none, so that standard error carries
    // only the tool's own messages. Made new, under a name nobody can guess beforehand (a
    // fixed name could be planted as a link), readable by its owner only, removed at the end.
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/valmora-runtime-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QGuiApplication app(argc, argv);
    valmora::useItalianNumbersUnlessALocaleIsChosen();
    valmora::CheckedStandardOutput output;
    const valmora::CliResult result = valmora::runPdfCommand(valmora::argumentsFromSystem(argc, argv));
    return valmora::finishCliProcess(result, output, "valmora-pdf");
}
