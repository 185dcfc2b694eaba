#pragma once

// Numbers as the user sees them and as the files hold them.
//
// Format pictures ("#0", "#0.0", "#0.00", "#,#", "#,#.0", "#,#0.00", "#,#0", "###0",
// "####", "###,#", "#.0", "#"): '0' is a digit always shown, '#' a digit shown only when
// significant, ',' anywhere in the integer part asks for thousands grouping, '.' places
// the decimal separator. Grouping and decimal separators are the locale's (a period and
// a comma in Italian). Values are rounded half away from zero on their 15-digit decimal
// form, so 0.125 shows as 0.13 with two decimals. A picture without a '0' before the
// point prints nothing for a value that rounds to 0 ("#,#" of 0.4 is empty).

#include <QLocale>
#include <QString>
#include <QStringView>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace valmora {

QString formatPicture(double value, QStringView picture, const QLocale& locale = QLocale());

// A length or a height as a designer reads it: to the tenth, the tenth shown only where
// there is one ("3,5", "4"), with `picture` for the whole part ("#0", "####", "#,#").
QString formatToTenth(double value, QStringView wholePicture, const QLocale& locale = QLocale());

// The general number format: the shortest form with at most 7 significant digits for a
// 32-bit value (15 for a 64-bit one), an exponent outside 1E-04 .. 1E+07 ("1E-05"),
// the locale's decimal separator and no grouping.
QString formatGeneral(float value, const QLocale& locale = QLocale());
QString formatGeneral(double value, const QLocale& locale = QLocale());

// Numbers in files: period, no grouping, at most 7 significant digits for single
// precision, whole numbers without a decimal point ("12.5", "0", "1E-05").
QString fileNumber(float value);

// A number typed by the user: in the locale's form ("2,5" in Italian), or with a period
// where the locale does not group with one; grouping separators are not accepted.
// nullopt for anything else.
std::optional<double> parseUserNumber(const QString& text, const QLocale& locale = QLocale());

// A length typed into a grid: as parseUserNumber, and a period is also a decimal point
// where the locale groups with it, since typed lengths carry no thousands groups
// ("2.5" is 2,5 in Italian; "2.5" with a comma in it is refused).
std::optional<double> parseTypedLength(const QString& text, const QLocale& locale = QLocale());

// Whole number nearest `value`, halves to even (2.5 -> 2, 3.5 -> 4).
// Whole number nearest `value`, halves to even, when it fits `Int`; nullopt when it does
// not (or `value` is not finite). Checked before converting: a double outside the range
// of the integer it is converted to has no defined result.
template <typename Int> std::optional<Int> roundedToRange(double value) {
    const double whole = std::nearbyint(value);
    // -min is 2^(bits - 1), exactly a double: the first whole number above the range.
    const double lowest = double(std::numeric_limits<Int>::min());
    if (!(whole >= lowest && whole < -lowest))
        return std::nullopt;
    return static_cast<Int>(whole);
}

// Whole number nearest `value`, halves to even (2.5 -> 2, 3.5 -> 4); beyond the 64-bit
// range the nearest limit, and 0 for a value that is not a number.
int64_t roundHalfEven(double value);

} // namespace valmora
