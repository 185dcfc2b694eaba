#include "model/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace valmora {

namespace {

constexpr int kSignificantDigitsSingle = 7;
constexpr int kSignificantDigitsDouble = 15;
constexpr int kGroupSize = 3;

// The picture's demands.
struct Picture {
    int minimumIntegerDigits = 0;
    bool grouped = false;
    bool hasPoint = false;
    int fixedDecimals = 0;
    int optionalDecimals = 0;
};

Picture parsePicture(QStringView picture) {
    Picture p;
    bool afterPoint = false;
    for (QChar c : picture) {
        if (c == u'.') {
            afterPoint = true;
            p.hasPoint = true;
        } else if (!afterPoint) {
            if (c == u'0')
                ++p.minimumIntegerDigits;
            else if (c == u',')
                p.grouped = true;
        } else if (c == u'0') {
            ++p.fixedDecimals;
        } else if (c == u'#') {
            ++p.optionalDecimals;
        }
    }
    return p;
}

// |value| as decimal digits with the point after `pointPosition` digits, rounded half
// away from zero to `decimals` places from its 15-significant-digit form.
struct Decimal {
    std::string integerDigits;  // no leading zeros; empty for 0
    std::string fractionDigits; // exactly `decimals` digits
    bool isZero() const {
        return integerDigits.find_first_not_of('0') == std::string::npos &&
               fractionDigits.find_first_not_of('0') == std::string::npos;
    }
};

Decimal toRoundedDecimal(double magnitude, int decimals) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::scientific, kSignificantDigitsDouble - 1);
    const std::string text(buffer.data(), result.ptr);
    const std::size_t e = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    const int exponent = std::stoi(text.substr(e + 1));

    // Lay the digits on a fixed grid: `leading` zeros, then the significant digits.
    int pointPosition = exponent + 1; // integer digits before the point
    if (pointPosition < 0) {
        digits.insert(0, std::size_t(-pointPosition), '0');
        pointPosition = 0;
    }
    const int kept = pointPosition + decimals;
    if (int(digits.size()) < kept + 1)
        digits.append(std::size_t(kept + 1 - int(digits.size())), '0');
    const bool roundUp = digits[std::size_t(kept)] >= '5';
    digits.resize(std::size_t(kept));
    if (roundUp) {
        int i = kept - 1;
        while (i >= 0 && digits[std::size_t(i)] == '9')
            digits[std::size_t(i--)] = '0';
        if (i >= 0) {
            ++digits[std::size_t(i)];
        } else {
            digits.insert(0, 1, '1');
            ++pointPosition;
        }
    }
    Decimal d;
    d.integerDigits = digits.substr(0, std::size_t(pointPosition));
    d.fractionDigits = digits.substr(std::size_t(pointPosition));
    const std::size_t firstSignificant = d.integerDigits.find_first_not_of('0');
    d.integerDigits =
        firstSignificant == std::string::npos ? std::string() : d.integerDigits.substr(firstSignificant);
    return d;
}

QString groupedDigits(const std::string& digits, const QString& separator) {
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % kGroupSize == 0)
            out += separator;
        out += QChar(char16_t(digits[std::size_t(i)]));
    }
    return out;
}

QString generalFormat(double value, int significantDigits, const QLocale& locale) {
    if (value == 0) // also folds -0
        return QStringLiteral("0");
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, significantDigits);
    QString text = QString::fromLatin1(buffer.data(), int(result.ptr - buffer.data())).toUpper();
    text.replace(u'.', locale.decimalPoint());
    return text;
}

} // namespace

QString formatPicture(double value, QStringView picture, const QLocale& locale) {
    const Picture p = parsePicture(picture);
    if (!std::isfinite(value))
        return locale.toString(value);
    const int decimals = p.fixedDecimals + p.optionalDecimals;
    Decimal d = toRoundedDecimal(std::fabs(value), decimals);

    std::string integerDigits = d.integerDigits;
    if (int(integerDigits.size()) < p.minimumIntegerDigits)
        integerDigits.insert(0, std::size_t(p.minimumIntegerDigits - int(integerDigits.size())), '0');
    std::string fraction = d.fractionDigits;
    while (int(fraction.size()) > p.fixedDecimals && fraction.back() == '0')
        fraction.pop_back();

    QString text = p.grouped ? groupedDigits(integerDigits, locale.groupSeparator())
                             : QString::fromLatin1(integerDigits.c_str());
    if (p.hasPoint)
        text += locale.decimalPoint() + QString::fromLatin1(fraction.c_str());
    if (value < 0 && !d.isZero())
        text.prepend(locale.negativeSign());
    return text;
}

QString formatGeneral(float value, const QLocale& locale) {
    return generalFormat(double(value), kSignificantDigitsSingle, locale);
}

QString formatToTenth(double value, QStringView wholePicture, const QLocale& locale) {
    constexpr double kTenths = 10;
    const double tenths = std::round(value * kTenths);
    if (std::fmod(tenths, kTenths) == 0)
        return formatPicture(tenths / kTenths, wholePicture, locale);
    // A tenth is shown with its unit digit: "0,5", never ",5".
    const QString picture = wholePicture.contains(u',') ? QStringLiteral("#,#0.0") : QStringLiteral("#0.0");
    return formatPicture(tenths / kTenths, picture, locale);
}

QString formatGeneral(double value, const QLocale& locale) {
    return generalFormat(value, kSignificantDigitsDouble, locale);
}

QString fileNumber(float value) {
    if (value == 0)
        return QStringLiteral("0");
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, kSignificantDigitsSingle);
    return QString::fromLatin1(buffer.data(), int(result.ptr - buffer.data())).toUpper();
}

namespace {

std::optional<double> parseIn(QLocale locale, const QString& text) {
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (ok && std::isfinite(value))
        return value;
    return std::nullopt;
}

} // namespace

std::optional<double> parseUserNumber(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (const std::optional<double> value = parseIn(locale, trimmed))
        return value;
    // A period is a decimal point only where it cannot be the locale's grouping:
    // "1.500" in Italian is refused rather than read as 1.5.
    if (locale.groupSeparator() != QLatin1String("."))
        return parseIn(QLocale::c(), trimmed);
    return std::nullopt;
}

std::optional<double> parseTypedLength(const QString& text, const QLocale& locale) {
    if (const std::optional<double> value = parseUserNumber(text, locale))
        return value;
    const QString trimmed = text.trimmed();
    if (trimmed.contains(locale.decimalPoint()))
        return std::nullopt;
    return parseIn(QLocale::c(), trimmed);
}

int64_t roundHalfEven(double value) {
    if (const std::optional<int64_t> whole = roundedToRange<int64_t>(value))
        return *whole;
    if (std::isnan(value))
        return 0;
    return value > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

} // namespace valmora
