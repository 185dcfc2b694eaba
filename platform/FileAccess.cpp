#include "platform/FileAccess.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace valmora {

namespace {

constexpr qint64 kBytesPerMegabyte = 1024 * 1024;

QString tooLargeReason() {
    return QStringLiteral("file troppo grande (oltre %1 MB)").arg(kMaxDataFileBytes / kBytesPerMegabyte);
}

// ---- names -------------------------------------------------------------------------

constexpr char16_t kStrayByteBase = 0xDC00; // a stray byte b stands as U+DC00 + b
constexpr unsigned char kFirstStrayByte = 0x80;

// The length of the valid UTF-8 sequence at `at`, 0 when the byte there starts none.
int utf8SequenceLength(const QByteArray& bytes, qsizetype at, char32_t& codePoint) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    int length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < smallest || surrogate || value > 0x10FFFF)
        return 0;
    codePoint = value;
    return length;
}

bool isStrayByteCode(char16_t unit) {
    return unit >= kStrayByteBase + kFirstStrayByte && unit <= kStrayByteBase + 0xFF;
}

// ---- system reasons ---------------------------------------------------------------

// The Italian locale the system's messages are asked in; none where the system lacks it.
locale_t italianLocale() {
    static const locale_t italian = [] {
        for (const char* name : {"it_IT.UTF-8", "it_IT.utf8", "it_CH.UTF-8", "it_CH.utf8"})
            if (const locale_t found = newlocale(LC_ALL_MASK, name, locale_t(nullptr)))
                return found;
        return locale_t(nullptr);
    }();
    return italian;
}

} // namespace

QString fileNameFromSystem(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const int length = utf8SequenceLength(bytes, i, codePoint);
        if (length == 0) {
            name += QChar(char16_t(kStrayByteBase + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        name += QString::fromUcs4(&codePoint, 1);
        i += length;
    }
    return name;
}

QByteArray fileNameToSystem(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        const bool afterHighSurrogate = i > 0 && name[i - 1].isHighSurrogate();
        if (!isStrayByteCode(unit) || afterHighSurrogate)
            continue;
        bytes += QStringView(name).mid(runStart, i - runStart).toUtf8();
        bytes += char(unit - kStrayByteBase);
        runStart = i + 1;
    }
    bytes += QStringView(name).mid(runStart).toUtf8();
    return bytes;
}

QString systemReason(int error) {
    const locale_t italian = italianLocale();
    const locale_t previous = italian ? uselocale(italian) : locale_t(nullptr);
    // strerror reads the thread's locale: Italian words in UTF-8 while it is in force.
    const QString reason = QString::fromUtf8(std::strerror(error));
    if (italian)
        uselocale(previous);
    return reason;
}

QString nonRegularFileReason(const QString& path) {
    struct stat info {};
    // stat follows links: a link to a regular file is a regular file.
    if (::stat(fileNameToSystem(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return QStringLiteral("non è un file regolare");
    return {};
}

FileRead readDataFile(const QString& path) {
    FileRead read;
    // Opened without waiting: a FIFO put in the file's place after a look at it would
    // otherwise wait for a writer. What is open is then looked at, not the name.
    const int descriptor = ::open(fileNameToSystem(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        read.missing = errno == ENOENT;
        read.reason = systemReason(errno);
        return read;
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        read.reason = QStringLiteral("non è un file regolare");
    else if (info.st_size > kMaxDataFileBytes)
        read.reason = tooLargeReason();
    QByteArray bytes;
    while (read.reason.isEmpty()) {
        // One byte more than allowed tells a file that grew since it was looked at.
        const qint64 room = kMaxDataFileBytes + 1 - bytes.size();
        char buffer[65536];
        const ssize_t got =
            ::read(descriptor, buffer, std::size_t(std::min<qint64>(room, qint64(sizeof buffer))));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            read.reason = systemReason(errno);
        else if (got == 0)
            break;
        else
            bytes.append(buffer, got);
        if (bytes.size() > kMaxDataFileBytes)
            read.reason = tooLargeReason();
    }
    ::close(descriptor);
    if (read.reason.isEmpty())
        read.bytes = std::move(bytes);
    return read;
}

} // namespace valmora
