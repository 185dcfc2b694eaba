#pragma once

// Reading the program's data files (projects, catalogues) from disk.

#include <QByteArray>
#include <QString>

#include <optional>

namespace valmora {

// Far above any real project or catalogue (a project of 32 767 nodes is under 2 MB), far
// below what would exhaust memory: anything larger is refused before it is read.
constexpr qint64 kMaxDataFileBytes = qint64(64) * 1024 * 1024;

struct FileRead {
    std::optional<QByteArray> bytes; // the whole file; nullopt when refused
    QString reason;                  // why not, for the user
};

// The bytes of a regular file of at most kMaxDataFileBytes. Anything else (a directory, a
// FIFO, a device such as /dev/zero) is refused without being opened: opening a FIFO
// would wait for a writer, and a device may never end.
FileRead readDataFile(const QString& path);

// "non è un file regolare" when `path` names something other than a regular file (or a
// link to one); empty when it names a regular file or nothing at all.
QString nonRegularFileReason(const QString& path);

} // namespace valmora
