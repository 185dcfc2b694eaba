#include "storage/FreeFormatReader.h"
#include "model/NumberFormat.h"
#include "storage/TextDecoding.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

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

// Numbers as the files hold them, a thousand at random in one text, read as whole numbers and
// as reals: each as its text alone reads by the general rule (from_chars, halves to even, the
// 16-bit range), or refused where that rule refuses it. Plain forms ("-12", "3.25") are read in
// place and every other form takes the general way: both must agree, value after value, with
// the reader's place in the text kept.
TEST(FreeFormatReader, PlainNumbersReadAsTheGeneralRuleReadsThem) {
    std::mt19937 pick(7);
    const auto digits = [&](int count) {
        std::string s;
        for (int k = 0; k < count; ++k)
            s += char('0' + std::uniform_int_distribution<int>(0, 9)(pick));
        return s;
    };
    const std::vector<std::string> edges = {"32767",
                                            "-32768",
                                            "32768",
                                            "-32769",
                                            "32767.5",
                                            "-32768.5",
                                            "0",
                                            "-0",
                                            "007",
                                            "2.5",
                                            "3.5",
                                            "-2.5",
                                            ".5",
                                            "5.",
                                            "+7",
                                            "1e3",
                                            "1E-50",
                                            "12 ",
                                            "\t-4",
                                            std::string(45, '9'),
                                            "0." + std::string(50, '0') + "1"};
    std::vector<std::string> numbers = edges;
    while (numbers.size() < 1000) {
        std::string s = std::uniform_int_distribution<int>(0, 3)(pick) == 0 ? "-" : "";
        s += digits(std::uniform_int_distribution<int>(1, 6)(pick));
        if (std::uniform_int_distribution<int>(0, 1)(pick))
            s += "." + digits(std::uniform_int_distribution<int>(1, 8)(pick));
        numbers.push_back(s);
    }
    const QString what = QStringLiteral("il valore");
    // Each alone, and those both readings take all in one text, the reader's place kept.
    struct Expected {
        std::optional<int16_t> whole;
        std::optional<float> real;
    };
    QString together;
    std::vector<Expected> inTogether;
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        SCOPED_TRACE(numbers[k]);
        const QString text = QString::fromStdString(numbers[k]);
        const QString alone = text.trimmed();
        const std::optional<double> general = FreeFormatReader::parseDouble(alone);
        Expected expected;
        expected.whole = general ? roundedToRange<int16_t>(*general) : std::nullopt;
        const float real = std::strtof(alone.toStdString().c_str(), nullptr);
        if (general && std::isfinite(real))
            expected.real = real;
        try {
            EXPECT_EQ(FreeFormatReader(text).readInt16(what), expected.whole.value_or(-1));
            EXPECT_TRUE(expected.whole);
        } catch (const FormatError&) {
            EXPECT_FALSE(expected.whole);
        }
        try {
            EXPECT_EQ(FreeFormatReader(text).readFloat(what), expected.real.value_or(-1));
            EXPECT_TRUE(expected.real);
        } catch (const FormatError&) {
            EXPECT_FALSE(expected.real);
        }
        if (expected.whole && expected.real) {
            together += text + (inTogether.size() % 7 == 6 ? u'\n' : u',');
            inTogether.push_back(expected);
        }
    }
    FreeFormatReader wholes(together), reals(together);
    for (const Expected& expected : inTogether) {
        EXPECT_EQ(wholes.readInt16(what), *expected.whole);
        EXPECT_EQ(reals.readFloat(what), *expected.real);
    }
    EXPECT_TRUE(wholes.atEnd());
    EXPECT_GT(inTogether.size(), std::size_t(500));
}
