// valmora-cli: QtCore only, so that a calculation starts at once. The two commands that draw
// with fonts (report, schema) run in valmora-pdf beside it, which this program becomes.

#include "cli/CliCommands.h"
#include "cli/ProcessOutput.h"
#include "platform/ProgramStart.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

constexpr int kExitNotStarted = 1;

bool isPdfCommand(int argc, char* argv[]) {
    return argc > 1 && (std::strcmp(argv[1], "report") == 0 || std::strcmp(argv[1], "schema") == 0 ||
                        std::strcmp(argv[1], "curves") == 0);
}

// Becomes valmora-pdf with the same arguments; returns only when it cannot.
int runPdfProgram(char* argv[]) {
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    const QByteArray beside =
        (length > 0 ? QFileInfo(QString::fromLocal8Bit(self, int(length))).absolutePath()
                    : QStringLiteral("."))
            .toLocal8Bit() +
        "/valmora-pdf";
    argv[0] = const_cast<char*>(beside.constData());
    execv(beside.constData(), argv);
    std::fprintf(stderr, "valmora-cli: %s non si avvia: %s\n", beside.constData(), std::strerror(errno));
    return kExitNotStarted;
}

} // namespace

int main(int argc, char* argv[]) {
    if (isPdfCommand(argc, argv))
        return runPdfProgram(argv);
    valmora::keepLargeBlocksInTheHeap();
    QCoreApplication app(argc, argv);
    valmora::useItalianNumbersUnlessALocaleIsChosen();
    valmora::CheckedStandardOutput output;
    const valmora::OutputSink toStandardOutput = [&output](const char* bytes, std::size_t size) {
        output.write(bytes, size);
    };
    const valmora::CliResult result =
        valmora::runCli(valmora::argumentsFromSystem(argc, argv), toStandardOutput);
    return valmora::finishCliProcess(result, output, "valmora-cli");
}
