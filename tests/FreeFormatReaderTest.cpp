#include "storage/FreeFormatReader.h"
#include "storage/TextDecoding.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

using namespace valmora;
using namespace valmora::testkit;

// Every line of tests/data/letture/valori.txt read value after value until the reader
// refuses one: the values read, then the refusal's line and message, whole in the golden file.
// Refusals say what was expected in one short line, the field with its article.
TEST(FreeFormatReader, ValuesAsReadUntilRefused) {
    const QString cases =
        QString::fromUtf8(readBytes(QStringLiteral(VALMORA_TEST_DATA_DIR "/letture/valori.txt")));
    QString seen;
    for (const QString& line : cases.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u'\t');
        if (fields.size() != 3 ||
            (fields[0] != QLatin1String("reale") && fields[0] != QLatin1String("intero"))) {
            ADD_FAILURE() << "letture/valori.txt: not a case: " << line.toStdString();
            continue;
        }
        QString text = fields[2];
        text.replace(QStringLiteral("\\n"), QStringLiteral("\n"))
            .replace(QStringLiteral("\\r"), QStringLiteral("\r"))
            .replace(QStringLiteral("<mega>"), QString(1 << 20, u'9'));
        FreeFormatReader r(text);
        seen += line + QStringLiteral(" ->");
        try {
            for (;;)
                seen +=
                    u' ' + (fields[0] == QLatin1String("reale") ? QString::number(r.readFloat(fields[1]))
                                                                : QString::number(r.readInt16(fields[1])));
        } catch (const FormatError& error) {
            seen += QStringLiteral("; riga %1: %2\n").arg(error.line).arg(error.message);
        }
    }
    expectGolden(QStringLiteral("letture/valori.txt"), seen);
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
