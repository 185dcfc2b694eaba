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

TEST(FreeFormatReader, TextValuesQuotedOrNot) {
    FreeFormatReader r(QStringLiteral("\"Uno, due\" junk,  tre  ,1\"1/4\n\"riga\r\ndoppia\",\"\",fine"));
    EXPECT_EQ(r.readText(kWhat), QStringLiteral("Uno, due")); // what follows the closing quote is skipped
    EXPECT_EQ(r.readText(kWhat), QStringLiteral("tre"));
    EXPECT_EQ(r.readText(kWhat), QStringLiteral("1\"1/4")); // a quote inside an unquoted value is text
    EXPECT_EQ(r.lastLine(), 1);
    EXPECT_EQ(r.readText(kWhat), QStringLiteral("riga\r\ndoppia"));
    EXPECT_EQ(r.lastLine(), 2);
    EXPECT_EQ(r.readText(kWhat), QString());
    EXPECT_EQ(r.readText(kWhat), QStringLiteral("fine"));
    EXPECT_EQ(r.lastLine(), 3);
    EXPECT_TRUE(r.atEnd());
}

TEST(FreeFormatReader, LineEndsOfEveryKindAndBlankLines) {
    FreeFormatReader r(QStringLiteral("1\r\n2\n3\r4\n\n  \n5,\n6"));
    for (int expected = 1; expected <= 5; ++expected)
        EXPECT_EQ(r.readInt16(kWhat), expected) << expected;
    EXPECT_EQ(r.lastLine(), 7);
    EXPECT_EQ(r.readInt16(kWhat), 0); // the empty value after a trailing comma
    EXPECT_EQ(r.readInt16(kWhat), 6);
    EXPECT_EQ(r.lastLine(), 8);
    EXPECT_TRUE(r.atEnd());
}

TEST(FreeFormatReader, NumbersOfEveryWrittenForm) {
    FreeFormatReader r(QStringLiteral(".5,-.25,1E-05,2.5E+07,+3,7.,,\"12\""));
    for (const float expected : {0.5f, -0.25f, 1e-5f, 2.5e7f, 3.0f, 7.0f, 0.0f})
        EXPECT_EQ(r.readFloat(kWhat), expected) << expected;
    EXPECT_EQ(r.readInt16(kWhat), 12);
}

TEST(FreeFormatReader, WholeNumbersRoundHalvesToEvenWithinSixteenBits) {
    FreeFormatReader r(QStringLiteral("2.5,3.5,-32768,32767,32768"));
    for (const int expected : {2, 4, -32768, 32767})
        EXPECT_EQ(r.readInt16(kWhat), expected) << expected;
    const FormatError overflow = failureOf([&] { r.readInt16(kWhat); });
    EXPECT_TRUE(overflow.message.contains(QStringLiteral("fuori dall'intervallo")))
        << overflow.message.toStdString();
}

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

TEST(FreeFormatReader, KnowsWhetherAValueOpensItsLine) {
    FreeFormatReader r(QStringLiteral("1,2\n3"));
    r.readInt16(kWhat);
    EXPECT_TRUE(r.lastWasFirstOnLine());
    r.readInt16(kWhat);
    EXPECT_FALSE(r.lastWasFirstOnLine());
    r.readInt16(kWhat);
    EXPECT_TRUE(r.lastWasFirstOnLine());
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
