#include "model/FileAccess.h"

#include <QFile>
#include <QFileInfo>

namespace valmora {

namespace {

constexpr qint64 kBytesPerMegabyte = 1024 * 1024;

QString tooLargeReason() {
    return QStringLiteral("file troppo grande (oltre %1 MB)").arg(kMaxDataFileBytes / kBytesPerMegabyte);
}

} // namespace

QString nonRegularFileReason(const QString& path) {
    const QFileInfo info(path);
    // isFile() follows links and is false for directories, FIFOs, sockets and devices.
    if (info.exists() && !info.isFile())
        return QStringLiteral("non è un file regolare");
    return {};
}

FileRead readDataFile(const QString& path) {
    FileRead read;
    read.reason = nonRegularFileReason(path);
    if (read.reason.isEmpty() && QFileInfo(path).size() > kMaxDataFileBytes)
        read.reason = tooLargeReason();
    if (!read.reason.isEmpty())
        return read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.reason = file.errorString();
        return read;
    }
    // One byte more than allowed tells a file that grew since it was looked at.
    QByteArray bytes = file.read(kMaxDataFileBytes + 1);
    if (bytes.size() > kMaxDataFileBytes) {
        read.reason = tooLargeReason();
        return read;
    }
    if (file.error() != QFileDevice::NoError) {
        read.reason = file.errorString();
        return read;
    }
    read.bytes = std::move(bytes);
    return read;
}

} // namespace valmora
