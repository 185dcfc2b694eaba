#include "platform/AtomicWrite.h"

#include "platform/FileAccess.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace valmora {

namespace {

const QByteArray kBackupSuffix = QByteArrayLiteral(".bak");
// New files are made under a short hidden name beside the file they replace: a name of
// its own that is already near the system's limit of 255 bytes leaves no room for a suffix.
// The writer's process number in it tells a file being written from one a killed writer left.
const QByteArray kStagingPrefix = QByteArrayLiteral(".vlm-");
constexpr char kStagingSeparator = '-';
// Versions before the process number made ".vlm" and six letters.
const QByteArray kOldStagingPrefix = QByteArrayLiteral(".vlm");
constexpr int kStagingRandomLetters = 6;
// A staging file is taken for abandoned when its writer is gone and it has not been touched
// for a minute, or whatever its writer when it is a day old (a writer on another machine
// sharing the folder cannot be asked).
constexpr time_t kAbandonedAfterSeconds = 60;
constexpr time_t kAbandonedWhateverAfterSeconds = 24 * 60 * 60;
constexpr int kLongestName = NAME_MAX;
constexpr int kStagingAttempts = 64;
constexpr mode_t kNewFileMode = 0666; // less the user's umask, as any new file
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kWritePermissionBits = 0222;
constexpr std::size_t kCopyBufferBytes = 65536;

struct Target {
    QByteArray path; // the file that is written: the path, or the target of its link
    bool exists = false;
    struct stat info {};
    QString refusal;
};

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QString shown(const QByteArray& path) {
    return fileNameFromSystem(path);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

Target resolve(const QString& path, const WriteRequest& request) {
    Target target;
    target.path = fileNameToSystem(path);
    if (target.path.isEmpty()) {
        target.refusal = QStringLiteral("nessun nome di file");
        return target;
    }
    struct stat own {};
    if (::lstat(target.path.constData(), &own) != 0) {
        if (errno != ENOENT)
            target.refusal = systemReason(errno);
        return target; // a new file
    }
    target.exists = true;
    target.info = own;
    if (S_ISLNK(own.st_mode)) {
        if (request.links == LinkRule::Refuse) {
            target.refusal =
                QStringLiteral("è un collegamento simbolico: non viene scritto attraverso il collegamento");
            return target;
        }
        char* real = ::realpath(target.path.constData(), nullptr);
        if (!real) {
            target.refusal = errno == ENOENT ? QStringLiteral("è un collegamento a un file che non esiste")
                                             : systemReason(errno);
            return target;
        }
        target.path = QByteArray(real);
        std::free(real);
        if (::stat(target.path.constData(), &target.info) != 0) {
            target.refusal = systemReason(errno);
            return target;
        }
    }
    if (!S_ISREG(target.info.st_mode)) {
        target.refusal = QStringLiteral("non è un file regolare");
        return target;
    }
    // Replacing a file needs only the folder's permission: a file made read-only is kept so
    // on purpose, and is not replaced behind the designer's back.
    if ((target.info.st_mode & kWritePermissionBits) == 0 || ::access(target.path.constData(), W_OK) != 0) {
        target.refusal = QStringLiteral("è protetto da scrittura: non viene sostituito");
        return target;
    }
    const auto names = [&target](const QStringList& files) {
        return std::any_of(files.begin(), files.end(), [&target](const QString& kept) {
            struct stat other {};
            return !kept.isEmpty() && ::stat(fileNameToSystem(kept).constData(), &other) == 0 &&
                   sameFile(other, target.info);
        });
    };
    if (names(request.protectedFiles))
        target.refusal = QStringLiteral("è il file del progetto: non viene sovrascritto");
    else if (names(request.protectedBackups))
        target.refusal = QStringLiteral("è la copia di sicurezza del progetto: non viene sovrascritta");
    return target;
}

QByteArray stagingName(const QByteArray& folder) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name =
        folder + '/' + kStagingPrefix + QByteArray::number(qint64(::getpid())) + kStagingSeparator;
    for (int i = 0; i < kStagingRandomLetters; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)];
    return name;
}

// A new empty file beside `path` under a name of its own; -1 and `error` set when none can be made.
int createStaging(const QByteArray& folder, QByteArray& name, int& error) {
    for (int attempt = 0; attempt < kStagingAttempts; ++attempt) {
        name = stagingName(folder);
        const int descriptor =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (descriptor >= 0)
            return descriptor;
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

// Writes every byte, flushes it to the disk and closes: 0, or the first error number.
int writeWholeAndClose(int descriptor, const char* data, std::size_t size) {
    int error = 0;
    std::size_t written = 0;
    while (written < size && error == 0) {
        const ssize_t n = ::write(descriptor, data + written, size - written);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            written += std::size_t(n);
    }
    // A full disk or a network file system may tell only here that the bytes did not land.
    if (error == 0 && ::fsync(descriptor) != 0 && errno != EINVAL)
        error = errno;
    if (::close(descriptor) != 0 && error == 0 && errno != EINTR)
        error = errno;
    return error;
}

QString cannotCreateIn(const QByteArray& folder, int error) {
    return QStringLiteral("la cartella %1 non accetta un file nuovo: %2")
        .arg(shown(folder), systemReason(error));
}

// Copies `from` into a new file beside it, for a backup where a hard link cannot be made.
int copyBeside(const QByteArray& from, const QByteArray& folder, QByteArray& copy) {
    const int source = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return errno;
    int error = 0;
    const int descriptor = createStaging(folder, copy, error);
    if (descriptor < 0) {
        ::close(source);
        return error;
    }
    QByteArray content;
    char buffer[kCopyBufferBytes];
    for (ssize_t got; (got = ::read(source, buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno;
            break;
        }
        content.append(buffer, got);
    }
    ::close(source);
    const int written = writeWholeAndClose(descriptor, content.constData(), std::size_t(content.size()));
    if (error == 0)
        error = written;
    if (error != 0)
        ::unlink(copy.constData());
    return error;
}

// Makes the file at `path` the new "<path>.bak": a hard link to it (no room needed) or else
// a copy, made under a name of its own and then renamed over the old backup, which stays
// until the new one is whole. Returns the warning when it cannot be done.
QString keepAsBackup(const QByteArray& path) {
    const QByteArray folder = folderOf(path);
    const QByteArray backup = path + kBackupSuffix;
    const qsizetype backupNameBytes = backup.size() - backup.lastIndexOf('/') - 1;
    if (backupNameBytes > kLongestName)
        return QStringLiteral(
                   "la versione precedente non è stata conservata: la copia di sicurezza "
                   "(il nome del file con \".bak\") avrebbe un nome di %1 byte, oltre i %2 ammessi")
            .arg(backupNameBytes)
            .arg(kLongestName);
    QByteArray staging;
    int error = 0;
    bool linked = false;
    for (int attempt = 0; attempt < kStagingAttempts && !linked; ++attempt) {
        staging = stagingName(folder);
        linked = ::link(path.constData(), staging.constData()) == 0;
        if (!linked && errno != EEXIST)
            break;
    }
    if (!linked)
        error = copyBeside(path, folder, staging);
    if (error == 0 && ::rename(staging.constData(), backup.constData()) != 0) {
        error = errno;
        ::unlink(staging.constData());
    }
    if (error == 0)
        return {};
    return QStringLiteral("copia di sicurezza %1 non creata: %2").arg(shown(backup), systemReason(error));
}

// The writer's process number in a staging file's name; 0 for a name of the old kind, -1
// for a name that is no staging file's.
qint64 stagingWriter(const QByteArray& name) {
    if (name.startsWith(kStagingPrefix)) {
        const QByteArray rest = name.mid(kStagingPrefix.size());
        const qsizetype separator = rest.indexOf(kStagingSeparator);
        bool ok = false;
        const qint64 process = rest.left(separator).toLongLong(&ok);
        return ok && separator > 0 && rest.size() - separator - 1 == kStagingRandomLetters ? process : -1;
    }
    const bool oldKind = name.startsWith(kOldStagingPrefix) &&
                         name.size() == kOldStagingPrefix.size() + kStagingRandomLetters &&
                         std::all_of(name.begin() + kOldStagingPrefix.size(), name.end(),
                                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
    return oldKind ? 0 : -1;
}

bool writerIsGone(qint64 process) {
    return process <= 0 || (::kill(pid_t(process), 0) != 0 && errno == ESRCH);
}

// Removes the staging files that writers killed mid-write left in `folder`.
void removeAbandonedStaging(const QByteArray& folder) {
    DIR* entries = ::opendir(folder.constData());
    if (!entries)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        const qint64 writer = stagingWriter(name);
        if (writer < 0 || writer == ::getpid())
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        const time_t age = now - info.st_mtime;
        if ((age > kAbandonedAfterSeconds && writerIsGone(writer)) || age > kAbandonedWhateverAfterSeconds)
            ::unlink(path.constData());
    }
    ::closedir(entries);
}

void syncFolder(const QByteArray& folder) {
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

WriteOutcome failed(const QString& reason) {
    return {false, reason, {}, {}};
}

} // namespace

QString writeRefusal(const QString& path, const WriteRequest& request) {
    return resolve(path, request).refusal;
}

bool isSameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(fileNameToSystem(a).constData(), &first) == 0 &&
           ::stat(fileNameToSystem(b).constData(), &second) == 0 && sameFile(first, second);
}

WriteOutcome writeFileAtomically(const QString& path, const QByteArray& bytes, const WriteRequest& request) {
    const Target target = resolve(path, request);
    if (!target.refusal.isEmpty())
        return failed(target.refusal);
    const QByteArray folder = folderOf(target.path);
    QByteArray staging;
    int error = 0;
    const int descriptor = createStaging(folder, staging, error);
    if (descriptor < 0)
        return failed(cannotCreateIn(folder, error));
    if (target.exists) {
        // The new version keeps the old one's permissions (and owner, where allowed).
        ::fchmod(descriptor, target.info.st_mode & kPermissionBits);
        [[maybe_unused]] const int owned = ::fchown(descriptor, target.info.st_uid, target.info.st_gid);
    }
    error = writeWholeAndClose(descriptor, bytes.constData(), std::size_t(bytes.size()));
    if (error != 0) {
        ::unlink(staging.constData());
        return failed(systemReason(error));
    }
    WriteOutcome outcome;
    outcome.writtenPath = shown(target.path);
    if (target.exists && request.keepBackup)
        outcome.backupWarning = keepAsBackup(target.path);
    if (::rename(staging.constData(), target.path.constData()) != 0) {
        error = errno;
        ::unlink(staging.constData());
        return failed(systemReason(error));
    }
    syncFolder(folder);
    removeAbandonedStaging(folder);
    return outcome;
}

WriteRequest outputOf(const QString& projectFile) {
    WriteRequest request;
    request.protectedFiles << projectFile;
    request.protectedBackups << projectFile + QString::fromLatin1(kBackupSuffix);
    return request;
}

} // namespace valmora
