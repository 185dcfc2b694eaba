#include "model/NumberFormat.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>

using namespace valmora;

namespace {

const QLocale kC = QLocale::c();
using testkit::kItalian;

QString bothLocales(const std::function<QString(const QLocale&)>& shown) {
    return QStringLiteral("%1 | %2").arg(shown(kC), shown(kItalian));
}

} // namespace

// Every picture the program uses over values chosen at its edges, in the C and Italian
// locales: halves away from zero (2.5, -2.5), no negative zero (-0.4), rounding on the
// 15-digit decimal form (1.005), nothing for a zero where no digit is forced, grouping up to
// trillions. The general form keeps seven digits of a single; file numbers take a period and
// no decimal point for whole numbers; typed numbers follow the user's locale, never grouping;
// whole numbers round halves to even and are checked against the range of their type.
TEST(NumberFormat, AsShownWrittenAndTyped) {
    QString seen;
    const double values[] = {0,      2.5,     -2.5,   -0.4,      0.4,      0.05,      0.125, 0.5,
                             1.005,  1.25,    3,      4,         12.4,     12.5,      99.96, 999.5,
                             1234.4, 1234.56, 7850.4, 12345.678, -98765.4, 1234567.5, 3e12,  1e-30};
    for (const char16_t* picture : {u"#0", u"#0.0", u"#0.00", u"#,#", u"#,#.0", u"#,#0.00", u"#,#0", u"###0",
                                    u"####", u"###,#", u"#.0", u"#"})
        for (const double value : values)
            seen += QStringLiteral("%1 %2: %3\n")
                        .arg(QString::fromUtf16(picture))
                        .arg(value, 0, 'g', 17)
                        .arg(bothLocales([&](const QLocale& l) {
                            return formatPicture(value, QString::fromUtf16(picture), l);
                        }));
    for (const float value : {12.5f, 0.1f, 0.0f, -0.0f, 1e-5f, 0.0001f, 1234567.0f, 12345678.0f, 0.5f, 3.0f,
                              -2.25f, 25000000.0f, 1.2345678f})
        seen += QStringLiteral("generale e file %1: %2 | %3\n")
                    .arg(double(value), 0, 'g', 7)
                    .arg(bothLocales([&](const QLocale& l) { return formatGeneral(value, l); }),
                         fileNumber(value));
    seen += QStringLiteral("generale 2/3: %1\n").arg(formatGeneral(2.0 / 3.0, kC));
    const QLocale french(QLocale::French, QLocale::France);
    for (const char* typed :
         {"2,5", " 12 ", "1.500", "2.5", "1,500", "-3", "", "abc", "1e999", "nan", "inf", "2,5,1"}) {
        seen += QStringLiteral("digitato \"%1\":").arg(QString::fromLatin1(typed));
        for (const QLocale& locale : {kC, kItalian, french}) {
            const std::optional<double> read = parseUserNumber(QString::fromLatin1(typed), locale);
            seen += read ? QStringLiteral(" %1").arg(*read) : QStringLiteral(" nessuno");
        }
        seen += u'\n';
    }
    // Whole numbers: halves to even, the limits beyond 64 bits, none out of a type's range.
    for (const double value : {2.5, 3.5, -2.5, 2.500001, 40000.4, 32767.4, 32767.5, -32768.5, -32769.0, 1e300,
                               -1e300, 9223372036854775808.0, double(NAN), double(INFINITY)}) {
        const auto inRange = [](auto rounded) {
            return rounded ? QString::number(*rounded) : QStringLiteral("fuori");
        };
        seen += QStringLiteral("intero %1: %2, in 16 bit %3, in 32 %4, in 64 %5\n")
                    .arg(value, 0, 'g', 17)
                    .arg(roundHalfEven(value))
                    .arg(inRange(roundedToRange<int16_t>(value)), inRange(roundedToRange<int32_t>(value)),
                         inRange(roundedToRange<int64_t>(value)));
    }
    testkit::expectGolden(QStringLiteral("numeri.txt"), seen);
}
