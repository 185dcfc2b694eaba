#pragma once

// The one writer of every file the program makes: projects and their backups, PDF files,
// EPANET input, the materials text, the copied snippet. At every moment the file holds
// either its previous content or the whole new one: the bytes go to a new file beside it,
// every write, the flush to disk and the close are checked, and only then does the new
// file take the old one's place. On any failure the old file is left as it was and the
// system's reason is returned.
//
// One rule for what may be written: a regular file, a name that names nothing yet, or a
// symbolic link to a regular file (whose target is written, the link staying a link).
// Directories, FIFOs, devices, dangling links and files the designer made read-only are
// refused. New files are made under hidden names beside the file they replace (".vlm-"
// with the writer's process number); those a writer killed mid-write left behind are
// removed by the next write in the folder.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace valmora {

// What every message of a failed write begins with.
inline const QString kWriteErrorPrefix = QStringLiteral("Errore in scrittura: ");

enum class LinkRule {
    WriteTarget, // a link to a regular file: its target is written
    Refuse,      // a link is refused (a file in the current directory that others may plant)
};

struct WriteRequest {
    LinkRule links = LinkRule::WriteTarget;
    // The previous version is kept as "<file>.bak" beside the file written (a link's
    // target), replaced only once the new backup exists.
    bool keepBackup = false;
    // Files that must never be replaced by this write, whatever path names them (the
    // project the output is made from), and backups kept as carefully (the project's own).
    QStringList protectedFiles;
    QStringList protectedBackups;
};

// What every file made from a project asks: neither the project nor its backup is replaced.
WriteRequest outputOf(const QString& projectFile);

struct WriteOutcome {
    bool ok = true;
    QString reason;        // why not, for the user; the system's reason in its words
    QString backupWarning; // written, but the previous version could not be kept as ".bak"
    QString writtenPath;   // the file written: the path, or the target of its link
};

WriteOutcome writeFileAtomically(const QString& path, const QByteArray& bytes,
                                 const WriteRequest& request = {});

// Why `path` may not be written, checked before any work is done to produce its content;
// empty when it may (the same checks writeFileAtomically makes).
QString writeRefusal(const QString& path, const WriteRequest& request = {});

// Whether the two paths name the same existing file (links followed, hard links included).
bool isSameFile(const QString& a, const QString& b);

} // namespace valmora
