#pragma once

// The program's files on disk: reading data files (projects, catalogues), the names of
// files as the system spells them, and the system's reasons for a failure in the user's
// language. Every file the program writes goes through writeFileAtomically (AtomicWrite.h).

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
    bool missing = false;            // refused because nothing has that name
};

// The bytes of a regular file of at most kMaxDataFileBytes. Anything else (a directory, a
// FIFO, a device such as /dev/zero) is refused without waiting on it: a FIFO would wait for
// a writer, and a device may never end.
FileRead readDataFile(const QString& path);

// "non è un file regolare" when `path` names something other than a regular file (or a
// link to one); empty when it names a regular file or nothing at all.
QString nonRegularFileReason(const QString& path);

// File names as the system spells them. A name that is not valid UTF-8 keeps each stray
// byte as a code of its own (U+DC80 to U+DCFF), so that a name read from the command line
// or a folder is written back byte for byte.
QString fileNameFromSystem(const QByteArray& bytes);
QByteArray fileNameToSystem(const QString& name);

// The system's reason for the error number `error`, in Italian where the system has the
// translation, else in the system's own words.
QString systemReason(int error);

} // namespace valmora
