#include "storage/TextDecoding.h"

#include <QStringDecoder>

#include <array>

namespace valmora {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes
// there map to the C1 control of the same value, as Windows itself does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr unsigned char kFirstHigh = 0x80;
constexpr unsigned char kLastHigh = 0x9F;

const QByteArray kUtf8ByteOrderMark("\xEF\xBB\xBF");

constexpr char kUnrepresentable = '?';
constexpr char16_t kLastLatin1 = 0xFF;

// The byte standing for `c` in Windows-1252, or '?' when the code page lacks it.
char windows1252Byte(char16_t c) {
    for (std::size_t i = 0; i < kWindows1252High.size(); ++i)
        if (kWindows1252High[i] == c)
            return static_cast<char>(kFirstHigh + i);
    // Bytes 0x80..0x9F stand for the table's characters: a C1 control has no byte of its
    // own, unless the table keeps it for an unassigned byte (found above).
    if (c > kLastLatin1 || (c >= kFirstHigh && c <= kLastHigh))
        return kUnrepresentable;
    return static_cast<char>(c);
}

} // namespace

QString decodeWindows1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= kFirstHigh && byte <= kLastHigh)
            text.append(QChar(kWindows1252High[byte - kFirstHigh]));
        else
            text.append(QChar(char16_t(byte)));
    }
    return text;
}

QByteArray encodeWindows1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A pair of surrogates is one character: one '?'.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        bytes.append(c.isSurrogate() ? kUnrepresentable : windows1252Byte(c.unicode()));
    }
    return bytes;
}

QString decodeTextFile(const QByteArray& bytes) {
    const QByteArray body =
        bytes.startsWith(kUtf8ByteOrderMark) ? bytes.mid(kUtf8ByteOrderMark.size()) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(body);
}

} // namespace valmora
