#include "cli/ProcessOutput.h"

#include "platform/AtomicWrite.h"
#include "platform/FileAccess.h"

#include <cerrno>
#include <cstdio>

namespace valmora {

QStringList argumentsFromSystem(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << fileNameFromSystem(QByteArray(argv[i]));
    return arguments;
}

void CheckedStandardOutput::write(const char* bytes, std::size_t size) {
    if (error_ == 0 && size > 0 && std::fwrite(bytes, 1, size, stdout) != size)
        error_ = errno != 0 ? errno : EIO;
}

QString CheckedStandardOutput::close() {
    if (error_ == 0 && std::fflush(stdout) != 0)
        error_ = errno != 0 ? errno : EIO;
    if (std::fclose(stdout) != 0 && error_ == 0)
        error_ = errno != 0 ? errno : EIO;
    return error_ == 0 ? QString() : systemReason(error_);
}

int finishCliProcess(const CliResult& result, CheckedStandardOutput& output, const char* program) {
    output.write(result.output.constData(), std::size_t(result.output.size()));
    QString error = result.error;
    int exitCode = result.exitCode;
    if (const QString failed = output.close(); !failed.isEmpty()) {
        error += QStringLiteral("%1: %2uscita standard: %3\n")
                     .arg(QString::fromLatin1(program), kWriteErrorPrefix, failed);
        exitCode = exitCode == kExitSuccess ? kExitInvalidInput : exitCode;
    }
    // Names in the message as the system spells them.
    const QByteArray message = fileNameToSystem(error);
    std::fwrite(message.constData(), 1, std::size_t(message.size()), stderr);
    return exitCode;
}

} // namespace valmora
