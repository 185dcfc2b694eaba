#pragma once

#include <QByteArray>
#include <QString>

namespace valmora {

// Text files written on Windows by earlier versions are in the Windows-1252 code page;
// files written now are UTF-8. A file that is valid UTF-8 (a leading byte-order mark
// is dropped) is read as UTF-8, anything else as Windows-1252.
QString decodeTextFile(const QByteArray& bytes);

QString decodeWindows1252(const QByteArray& bytes);

// Text for programs that read the system's 8-bit code page (Windows-1252): a character
// the code page lacks becomes '?', one per character even beyond the basic plane.
QByteArray encodeWindows1252(const QString& text);

} // namespace valmora
