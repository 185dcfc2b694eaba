#pragma once

// What valmora-cli and valmora-pdf hand to the system: their arguments read as the system
// spells them, their standard output checked to the last byte.

#include "cli/CliCommands.h"

#include <QStringList>

#include <cstddef>

namespace valmora {

// argv[1..] with every file name kept byte for byte (FileAccess.h).
QStringList argumentsFromSystem(int argc, char* argv[]);

// Standard output, written and checked: a disk that fills or a reader that goes away while
// the output is written is a failure of the command, not a success with a cut output.
class CheckedStandardOutput {
public:
    void write(const char* bytes, std::size_t size);
    // Flushes and closes standard output; the system's reason of the first failure, empty
    // when every byte landed.
    QString close();

private:
    int error_ = 0;
};

// Writes the result's output and message and returns the exit status: kExitInvalidInput,
// with the reason on standard error, when standard output failed.
int finishCliProcess(const CliResult& result, CheckedStandardOutput& output, const char* program);

} // namespace valmora
