#include "model/NumberFormat.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

using namespace valmora;

namespace {

const QLocale kC = QLocale::c();
using testkit::kItalian;

struct Expected {
    double value;
    const char16_t* picture;
    const char* c;
    const char* italian;
};

} // namespace

TEST(NumberFormat, PicturesInBothLocales) {
    const Expected cases[] = {
        {0, u"#0", "0", "0"},
        {2.5, u"#0", "3", "3"}, // halves away from zero, as shown numbers always were
        {-2.5, u"#0", "-3", "-3"},
        {-0.4, u"#0", "0", "0"}, // no negative zero
        {1234.4, u"#0", "1234", "1234"},
        {1.25, u"#0.0", "1.3", "1,3"},
        {0.05, u"#0.0", "0.1", "0,1"},
        {3, u"#0.0", "3.0", "3,0"},
        {1.005, u"#0.00", "1.01", "1,01"}, // rounded on the 15-digit decimal form
        {1234567.5, u"#,#", "1,234,568", "1.234.568"},
        {0.4, u"#,#", "", ""},
        {0, u"#,#", "", ""},
        {999.5, u"#,#", "1,000", "1.000"},
        {1234.56, u"#,#.0", "1,234.6", "1.234,6"},
        {4, u"#,#.0", "4.0", "4,0"},
        {0.125, u"#,#0.00", "0.13", "0,13"},
        {40000.0 / 100000, u"#,#0.00", "0.40", "0,40"},
        {12345.678, u"#,#0.00", "12,345.68", "12.345,68"},
        {0, u"#,#0", "0", "0"},
        {-98765.4, u"#,#0", "-98,765", "-98.765"},
        {0, u"###0", "0", "0"},
        {0, u"####", "", ""},
        {12.5, u"####", "13", "13"},
        {7850.4, u"###,#", "7,850", "7.850"},
        {0.5, u"#.0", ".5", ",5"},
        {0, u"#.0", ".0", ",0"},
        {12.4, u"#", "12", "12"},
        {0.4, u"#", "", ""},
        {99.96, u"#0.0", "100.0", "100,0"},
        {1e-30, u"#0.00", "0.00", "0,00"},
        {3e12, u"#,#", "3,000,000,000,000", "3.000.000.000.000"},
    };
    for (const Expected& e : cases) {
        const QString picture = QString::fromUtf16(e.picture);
        SCOPED_TRACE(picture.toStdString() + " of " + std::to_string(e.value));
        EXPECT_EQ(formatPicture(e.value, picture, kC).toStdString(), e.c);
        EXPECT_EQ(formatPicture(e.value, picture, kItalian).toStdString(), e.italian);
    }
}

TEST(NumberFormat, GeneralFormatKeepsSevenDigitsOfASingle) {
    EXPECT_EQ(formatGeneral(12.5f, kC), QStringLiteral("12.5"));
    EXPECT_EQ(formatGeneral(12.5f, kItalian), QStringLiteral("12,5"));
    EXPECT_EQ(formatGeneral(0.1f, kC), QStringLiteral("0.1"));
    EXPECT_EQ(formatGeneral(0.0f, kC), QStringLiteral("0"));
    EXPECT_EQ(formatGeneral(-0.0f, kC), QStringLiteral("0"));
    EXPECT_EQ(formatGeneral(1e-5f, kItalian), QStringLiteral("1E-05"));
    EXPECT_EQ(formatGeneral(0.0001f, kC), QStringLiteral("0.0001"));
    EXPECT_EQ(formatGeneral(1234567.0f, kItalian), QStringLiteral("1234567"));
    EXPECT_EQ(formatGeneral(12345678.0f, kC), QStringLiteral("1.234568E+07"));
    EXPECT_EQ(formatGeneral(2.0 / 3.0, kC), QStringLiteral("0.666666666666667"));
}

TEST(NumberFormat, FileNumbersUseAPeriodAndNoDecimalPointForWholeNumbers) {
    const std::pair<float, const char*> cases[] = {
        {12.5f, "12.5"},         {3.0f, "3"},       {0.0f, "0"},      {-0.0f, "0"},
        {0.5f, "0.5"},           {-2.25f, "-2.25"}, {1e-5f, "1E-05"}, {25000000.0f, "2.5E+07"},
        {1.2345678f, "1.234568"}};
    for (const auto& [value, written] : cases)
        EXPECT_EQ(fileNumber(value).toStdString(), written) << value;
}

TEST(NumberFormat, NumbersTypedInTheUsersForm) {
    EXPECT_EQ(parseUserNumber(QStringLiteral("2,5"), kItalian), 2.5);
    EXPECT_EQ(parseUserNumber(QStringLiteral(" 12 "), kItalian), 12.0);
    EXPECT_EQ(parseUserNumber(QStringLiteral("1.500"), kItalian), std::nullopt); // grouping, not 1.5
    EXPECT_EQ(parseUserNumber(QStringLiteral("2.5"), kItalian), std::nullopt);
    EXPECT_EQ(parseUserNumber(QStringLiteral("2.5"), kC), 2.5);
    EXPECT_EQ(parseUserNumber(QStringLiteral("1,500"), kC), std::nullopt);
    EXPECT_EQ(parseUserNumber(QStringLiteral("2.5"), QLocale(QLocale::French, QLocale::France)), 2.5);
    EXPECT_EQ(parseUserNumber(QStringLiteral("-3"), kC), -3.0);
    for (const char* bad : {"", "abc", "1e999", "nan", "inf", "2,5,1"})
        EXPECT_EQ(parseUserNumber(QString::fromLatin1(bad), kItalian), std::nullopt) << bad;
}

TEST(NumberFormat, WholeNumbersRoundHalvesToEven) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(2.500001), 3);
    EXPECT_EQ(roundHalfEven(40000.4), 40000);
    // Beyond 64 bits: the limits, never an undefined conversion.
    EXPECT_EQ(roundHalfEven(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(roundHalfEven(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(roundHalfEven(std::nan("")), 0);
}

TEST(NumberFormat, WholeNumbersCheckedAgainstTheirRange) {
    EXPECT_EQ(roundedToRange<int16_t>(32767.4), int16_t(32767));
    EXPECT_EQ(roundedToRange<int16_t>(32767.5), std::nullopt);     // rounds to 32768
    EXPECT_EQ(roundedToRange<int16_t>(-32768.5), int16_t(-32768)); // halves to even
    EXPECT_EQ(roundedToRange<int16_t>(-32769), std::nullopt);
    EXPECT_EQ(roundedToRange<int32_t>(1e300), std::nullopt);
    EXPECT_EQ(roundedToRange<int64_t>(9223372036854775808.0), std::nullopt); // 2^63
    EXPECT_EQ(roundedToRange<int32_t>(std::nan("")), std::nullopt);
    EXPECT_EQ(roundedToRange<int32_t>(INFINITY), std::nullopt);
}
