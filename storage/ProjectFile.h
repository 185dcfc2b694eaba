#pragma once

// Project files (*.vlm): five header lines, then one line per node in file order (a node,
// its whole continuation, its terminal line if it ends in one, then its derived branch),
// then the block of what else belongs to the project (ProjectBlock.h).
// The tree is not stored as links: the reader rebuilds next, derivation and parent from
// the order of the lines and the structure code at the head of each node line.
//
// Written in UTF-8 with CR LF; read as UTF-8 when valid, otherwise as Windows-1252.

#include "model/Calculation.h"
#include "model/Project.h"
#include "model/Workspace.h"
#include "platform/AtomicWrite.h"
#include "storage/FreeFormatReader.h"
#include "storage/ProjectBlock.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace valmora {

inline const QString kNodeReadErrorPrefix = QStringLiteral("Errore legginodo ");

// Structure codes at the head of a node line.
namespace structure_code {
constexpr int16_t kContinues = 0;
constexpr int16_t kContinuesAndDerives = 1;
constexpr int16_t kOpenEnd = 6;
constexpr int16_t kTerminalEnd = 9;
constexpr int16_t kEndKindBase = 10; // a negative end kind k is written as k + 10
} // namespace structure_code

// Node-line status bits.
constexpr int16_t kStatusDiameterLocked = 1;
constexpr int16_t kStatusClosed = 2;

struct ReadOutcome {
    enum class Status { Ok, CannotOpen, BadHeader, BadNode };
    Status status = Status::Ok;
    int line = 0;
    QString message; // for the user; for BadNode it begins with "Errore legginodo "
    QString detail;  // the line and what was wrong, without the leading words
    // Lines of the block after the tree (or of the old settings file beside the project) that
    // were refused or kept unread; the tree and everything else was read.
    std::vector<ReadNotice> notices;
    bool ok() const { return status == Status::Ok; }
    // A setting of the verification could not be read: a verdict would answer another question.
    bool settingsIncomplete() const;
    static ReadOutcome failure(Status status, int line, const QString& prefix, const QString& detail) {
        ReadOutcome outcome;
        outcome.status = status;
        outcome.line = line;
        outcome.detail = detail;
        outcome.message = prefix + detail;
        return outcome;
    }
};

struct SaveOutcome {
    bool ok = true;
    QString reason;  // why the file could not be written
    QString message; // "Errore in scrittura: " and the reason
    // Set when the file was saved but the previous version could not be kept as
    // "<path>.bak" (the old backup, if any, is then left as it was): for a warning.
    QString backupWarning;
};

// Reads a whole project file (a regular file of at most kMaxDataFileBytes). The file is read
// into a new network checked against the project's catalogues; only when its tree has been
// read completely does it replace the network, the header settings and what the block after
// the tree holds (the defaults when there is none) of `project`, which stays exactly as it
// was on any failure. The caller calculates (a network the catalogues cannot calculate is
// read, and refused by the calculation). A file without the block takes the verification's
// settings from the old file beside it, when there is one. projectPath is the caller's.
ReadOutcome ReadProject(Project& project, const QString& path);
ReadOutcome readProjectText(Project& project, const QByteArray& bytes);

// The notices of a read, one line each: the file (`projectPath` for the project file), the
// line and what was wrong.
QString readNoticesText(const std::vector<ReadNotice>& notices, const QString& projectPath);

// Reads one node line and everything its structure code announces, appending the nodes
// (and terminal records) to `project` and hanging the first one from `parent`, as its
// derivation when `asDerivation`, else as its next. Throws FormatError on the first value
// that is missing, unreadable or out of the catalogues' range, or when the tables are
// full; what was appended before that stays appended (callers read into a scratch project).
void ReadNodeSubtree(Project& project, int16_t parent, bool asDerivation, FreeFormatReader& reader);

// The file's bytes for the project as it stands.
QByteArray projectFileBytes(const Project& project);

// Appends the node lines of the subtree starting at `node` to `out`.
void WriteNodeSubtree(const Project& project, int16_t node, QByteArray& out);

// ---- grafts: a stored subtree in place of everything downstream of a node --------

inline const QString kGraftCancelled = QStringLiteral("Operazione annullata");

struct GraftOutcome {
    bool ok = true;
    QString message;                // for the user: "Operazione annullata", or "Errore legginodo riga N: ..."
    QString detail;                 // what was wrong, for the message's details
    CalculationOutcome calculation; // after a graft: the network calculated
};

// Reads the node lines of `bytes` (after a project file's five header lines when
// `skipHeader`) into a scratch network and, only when they were read whole and fit the
// tables, hangs them from `cursor` as its continuation in place of its former continuation,
// derivation or terminal (whose records stay, unreachable: a save leaves them out). The
// cursor node keeps its own values. A grafted terminal whose name another terminal has
// already is named apart ("Naspo PT (2)"). On any failure the network stays exactly as it was.
// The results and the session follow records dropped to make room; the network is then
// calculated into the results.
GraftOutcome graftSubtree(Workspace& workspace, int16_t cursor, const QByteArray& bytes, bool skipHeader);

// "Copia": the node lines of the subtree at `node` written as the snippet file `path`.
// The snippet lives in the current directory, where anyone may have put a link in its
// place: it is written only as a file of its own, never through a link, and never over
// the project's own file.
WriteOutcome writeSnippet(const Project& project, int16_t node, const QString& path);

// Writes the project (its tree, then the block when it has anything for one) to `path`
// atomically (AtomicWrite.h): at every moment the file holds either the previous version or
// the new one, and a failure leaves the previous one intact. The previous version is kept
// beside it as "<file>.bak"; the old backup is replaced only once the new one exists. A link
// to a project is saved into its target, the backup beside the target.
SaveOutcome SaveProject(const Project& project, const QString& path);

} // namespace valmora
