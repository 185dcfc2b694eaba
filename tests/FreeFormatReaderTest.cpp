#include "model/FreeFormatReader.h"
#include "model/MessageText.h"
#include "model/TextDecoding.h"

#include <gtest/gtest.h>

using namespace valmora;

namespace {

const QString kWhat = QStringLiteral("il valore");

FormatError failureOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const FormatError& error) {
        return error;
    }
    ADD_FAILURE() << "no FormatError";
    return {};
}

} // namespace

TEST(FreeFormatReader, UnreadableValuesNameTheirLine) {
    for (const char* bad : {"abc", "1e", ".", "-", "1.2.3", "1,5x", "0x10", "inf", "nan", "1 2"}) {
        SCOPED_TRACE(bad);
        FreeFormatReader r(QStringLiteral("1\n2\n") + QString::fromLatin1(bad));
        r.readInt16(kWhat);
        r.readInt16(kWhat);
        if (QString::fromLatin1(bad) == QLatin1String("1,5x"))
            r.readInt16(kWhat);
        const FormatError error = failureOf([&] { r.readFloat(QStringLiteral("la lunghezza")); });
        EXPECT_EQ(error.line, 3);
        EXPECT_TRUE(error.message.contains(QStringLiteral("la lunghezza"))) << error.message.toStdString();
    }
    FreeFormatReader huge(QStringLiteral("1E+39"));
    EXPECT_EQ(failureOf([&] { huge.readFloat(kWhat); }).line, 1);
}

TEST(FreeFormatReader, RefusalsSayWhatWasExpectedInOneShortLine) {
    const QString megabyte(1 << 20, u'9');
    struct Case {
        QString text;
        const char* what;
        bool asFloat;
        QString message;
    };
    const Case cases[] = {
        {QStringLiteral("  "), "la quota", true, QStringLiteral("fine del file: manca la quota")},
        {QStringLiteral("\"senza fine\n"), "il commento", false,
         QStringLiteral("virgolette non chiuse nel commento")},
        {QStringLiteral("\"x"), "l'icona", false, QStringLiteral("virgolette non chiuse nell'icona")},
        {QStringLiteral("\"x"), "lo stato", false, QStringLiteral("virgolette non chiuse nello stato")},
        {QStringLiteral("\"a\r\nb\""), "la lunghezza", true,
         QStringLiteral("atteso un numero per la lunghezza, trovato \"a  b\"")},
        {megabyte, "lo stato", false,
         QStringLiteral("numero fuori dall'intervallo per lo stato: \"") +
             megabyte.left(kMessageExcerptLength) + QStringLiteral("\u2026\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FreeFormatReader r(c.text);
        const QString what = QString::fromUtf8(c.what);
        const FormatError error =
            failureOf([&] { c.asFloat ? void(r.readFloat(what)) : void(r.readInt16(what)); });
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(error.line, 1);
    }
}

TEST(TextDecoding, Utf8WhenValidElseWindows1252) {
    EXPECT_EQ(decodeTextFile(QByteArray("Citt\xC3\xA0")), QStringLiteral("Città"));
    EXPECT_EQ(decodeTextFile(QByteArray("\xEF\xBB\xBFPi\xC3\xB9")), QStringLiteral("Più"));
    EXPECT_EQ(decodeTextFile(QByteArray("Citt\xE0 \x80 \x96 \x93")), QStringLiteral("Città € – “"));
}

TEST(TextDecoding, Windows1252EncodingRoundTripsAndMarksTheRest) {
    // Latin-1 letters, the characters of 0x80..0x9F and an unassigned byte keep their byte.
    const QByteArray bytes("Citt\xE0 \x80 \x96 \x93 \x81 \xFF");
    EXPECT_EQ(encodeWindows1252(decodeWindows1252(bytes)), bytes);
    // Outside the code page: a C1 control with a byte of its own elsewhere, Greek, an
    // emoji (two UTF-16 units, one character), a lone surrogate.
    EXPECT_EQ(encodeWindows1252(QStringLiteral(u"\u0080 \u03A9 \U0001F600 ") + QChar(0xD800)),
              QByteArray("? ? ? ?"));
}
