#include "storage/FreeFormatReader.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace valmora {

namespace {

constexpr QChar kQuote = u'"';
constexpr QChar kComma = u',';
constexpr QChar kCarriageReturn = u'\r';
constexpr QChar kLineFeed = u'\n';

constexpr QChar kBlank = u' ';
constexpr QChar kEndOfFileMark = u'\x1A'; // Ctrl-Z
constexpr QChar kNul = u'\0';

bool isBlank(QChar c) {
    return c == kBlank || c == u'\t';
}
bool isPadding(QChar c) {
    return c == kEndOfFileMark || c == kNul;
}

// Turns the padding among the trailing blanks and line ends into blanks; padding before
// the last value is content, and refused as such.
QString withoutEndOfFilePadding(QString text) {
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text[i];
        if (isPadding(c))
            text[i] = kBlank;
        else if (!isBlank(c) && c != kCarriageReturn && c != kLineFeed)
            break;
    }
    return text;
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

FreeFormatReader::FreeFormatReader(QString text) : text_(withoutEndOfFilePadding(std::move(text))) {}

bool FreeFormatReader::atLineBreak() const {
    return pos_ < text_.size() && (text_[pos_] == kCarriageReturn || text_[pos_] == kLineFeed);
}

void FreeFormatReader::consumeLineBreak() {
    if (text_[pos_] == kCarriageReturn && pos_ + 1 < text_.size() && text_[pos_ + 1] == kLineFeed)
        ++pos_;
    ++pos_;
    ++line_;
}

void FreeFormatReader::skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
}

bool FreeFormatReader::atEnd() {
    for (;;) {
        skipBlanks();
        if (!atLineBreak())
            break;
        consumeLineBreak();
        atLineStart_ = true;
    }
    return pos_ >= text_.size();
}

void FreeFormatReader::fail(int line, const QString& message) const {
    throw FormatError{line, message};
}

void FreeFormatReader::consumeTerminator() {
    if (pos_ >= text_.size()) {
        atLineStart_ = true;
        return;
    }
    if (text_[pos_] == kComma) {
        ++pos_;
        atLineStart_ = false;
        return;
    }
    consumeLineBreak();
    atLineStart_ = true;
}

FreeFormatReader::Value FreeFormatReader::next(const QString& what, BlankLine blankLine) {
    Place place;
    Value value = scan(what, blankLine, place);
    if (place.size >= 0)
        value.text = text_.mid(place.start, place.size);
    return value;
}

FreeFormatReader::Value FreeFormatReader::scan(const QString& what, BlankLine blankLine, Place& place) {
    for (;;) {
        skipBlanks();
        if (!(atLineStart_ && atLineBreak()))
            break;
        if (blankLine == BlankLine::IsEmptyValue) {
            Value empty;
            empty.line = lastLine_ = line_;
            lastWasFirstOnLine_ = true;
            consumeLineBreak();
            return empty;
        }
        consumeLineBreak();
    }
    if (pos_ >= text_.size())
        fail(line_, QStringLiteral("fine del file: manca %1").arg(what));

    Value value;
    value.line = line_;
    lastLine_ = line_;
    lastWasFirstOnLine_ = atLineStart_;
    if (text_[pos_] == kQuote) {
        value.quoted = true;
        const qsizetype close = text_.indexOf(kQuote, pos_ + 1);
        if (close < 0)
            fail(line_, QStringLiteral("virgolette non chiuse %1").arg(inArticled(what)));
        value.text = text_.mid(pos_ + 1, close - pos_ - 1);
        line_ += int(value.text.count(kLineFeed)) + int(value.text.count(kCarriageReturn)) -
                 int(value.text.count(QStringLiteral("\r\n")));
        pos_ = close + 1;
        while (pos_ < text_.size() && text_[pos_] != kComma && !atLineBreak())
            ++pos_;
    } else {
        const qsizetype start = pos_;
        while (pos_ < text_.size() && text_[pos_] != kComma && !atLineBreak())
            ++pos_;
        qsizetype end = pos_;
        while (end > start && isBlank(text_[end - 1]))
            --end;
        place = {start, end - start};
    }
    consumeTerminator();
    return value;
}

QString FreeFormatReader::readText(const QString& what) {
    return next(what).text;
}

bool FreeFormatReader::isNumeric(const QString& text) {
    int i = 0;
    const int n = int(text.size());
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    int mantissaDigits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        int exponentDigits = 0;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

namespace {

// from_chars wants neither a leading plus nor a missing leading zero before a period.
std::string normalisedNumber(const QString& text) {
    std::string s = text.toStdString();
    if (!s.empty() && s[0] == '+')
        s.erase(0, 1);
    return s;
}

// Power of ten of the first significant digit of a number of the files' syntax (0 for 1..9,
// -1 for 0.1..0.9, and 0 for zero itself): enough to tell a number below a type's range
// from one above it.
long decimalOrder(const std::string& s) {
    constexpr long kExponentCap = 100000; // far beyond any type's range; keeps the sum from overflowing
    std::size_t i = (s[0] == '-') ? 1 : 0;
    long integerDigits = 0;
    long leadingFractionZeros = 0;
    bool significant = false;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
        if (significant || s[i] != '0') {
            significant = true;
            ++integerDigits;
        }
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            if (!significant && s[i] == '0')
                ++leadingFractionZeros;
            else
                significant = true;
        }
    if (!significant)
        return 0;
    long exponent = 0;
    if (i < s.size()) { // 'e' or 'E', as isNumeric has checked
        ++i;
        const bool negative = i < s.size() && s[i] == '-';
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            ++i;
        for (; i < s.size(); ++i)
            exponent = std::min(exponent * 10 + (s[i] - '0'), kExponentCap);
        if (negative)
            exponent = -exponent;
    }
    return (integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1)) + exponent;
}

template <typename Real> std::optional<Real> parseReal(const QString& text) {
    if (!FreeFormatReader::isNumeric(text))
        return std::nullopt;
    const std::string s = normalisedNumber(text);
    Real result{};
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), result);
    // Out of range below (1E-50 in a 32-bit field) is an underflow: the value is 0.
    if (error == std::errc::result_out_of_range && end == s.data() + s.size() && decimalOrder(s) < 0)
        return Real(0);
    if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(result))
        return std::nullopt;
    return result;
}

// The common form of the files' numbers, "-12" or "3.25" (no plus, no exponent, digits both
// sides of a period), copied to `out` as ASCII; false for any other text, which the general
// reading takes.
constexpr qsizetype kLongestPlainNumber = 40;
bool plainNumber(QStringView text, std::array<char, kLongestPlainNumber>& out, bool wholeOnly) {
    const qsizetype n = text.size();
    if (n == 0 || n >= kLongestPlainNumber)
        return false;
    qsizetype i = text[0] == u'-' ? 1 : 0;
    qsizetype digitsBefore = 0;
    qsizetype digitsAfter = 0;
    bool period = false;
    for (qsizetype k = i; k < n; ++k) {
        const QChar c = text[k];
        if (isDigit(c))
            ++(period ? digitsAfter : digitsBefore);
        else if (c == u'.' && !period && !wholeOnly)
            period = true;
        else
            return false;
    }
    if (digitsBefore == 0 || (period && digitsAfter == 0))
        return false;
    for (i = 0; i < n; ++i)
        out[std::size_t(i)] = char(text[i].unicode());
    return true;
}

// A whole number in plain form within Int's range, else nullopt.
template <typename Int> std::optional<Int> plainWholeNumber(QStringView text) {
    std::array<char, kLongestPlainNumber> digits{};
    if (!plainNumber(text, digits, true))
        return std::nullopt;
    Int result{};
    const char* end = digits.data() + text.size();
    const auto [at, error] = std::from_chars(digits.data(), end, result);
    if (error != std::errc() || at != end)
        return std::nullopt; // out of range: the general reading says so
    return result;
}

std::optional<float> plainFloat(QStringView text) {
    std::array<char, kLongestPlainNumber> digits{};
    if (!plainNumber(text, digits, false))
        return std::nullopt;
    float result{};
    const char* end = digits.data() + text.size();
    const auto [at, error] = std::from_chars(digits.data(), end, result);
    if (error != std::errc() || at != end || !std::isfinite(result))
        return std::nullopt; // an underflow or overflow: the general reading decides
    return result;
}

} // namespace

std::optional<double> FreeFormatReader::parseDouble(const QString& text) {
    return parseReal<double>(text);
}

float FreeFormatReader::readFloat(const QString& what) {
    Place place;
    Value value = scan(what, BlankLine::Skip, place);
    if (place.size >= 0) {
        if (const std::optional<float> plain = plainFloat(QStringView(text_).mid(place.start, place.size)))
            return *plain;
        value.text = text_.mid(place.start, place.size);
    }
    if (value.text.isEmpty())
        return 0.0f;
    if (!isNumeric(value.text))
        fail(value.line,
             QStringLiteral("atteso un numero per %1, trovato %2").arg(what, quotedExcerpt(value.text)));
    const std::optional<float> number = parseReal<float>(value.text);
    if (!number)
        fail(value.line,
             QStringLiteral("numero fuori dall'intervallo per %1: %2").arg(what, quotedExcerpt(value.text)));
    return *number;
}

template <typename Int> Int FreeFormatReader::readWholeNumber(const QString& what) {
    Place place;
    Value value = scan(what, BlankLine::Skip, place);
    if (place.size >= 0) {
        if (const std::optional<Int> plain =
                plainWholeNumber<Int>(QStringView(text_).mid(place.start, place.size)))
            return *plain;
        value.text = text_.mid(place.start, place.size);
    }
    if (value.text.isEmpty())
        return 0;
    if (!isNumeric(value.text))
        fail(value.line, QStringLiteral("atteso un numero intero per %1, trovato %2")
                             .arg(what, quotedExcerpt(value.text)));
    // Whole numbers round to the nearest integer, halves to even.
    const std::optional<double> number = parseDouble(value.text);
    const std::optional<Int> whole = number ? roundedToRange<Int>(*number) : std::nullopt;
    if (!whole)
        fail(value.line,
             QStringLiteral("numero fuori dall'intervallo per %1: %2").arg(what, quotedExcerpt(value.text)));
    return *whole;
}

int16_t FreeFormatReader::readInt16(const QString& what) {
    return readWholeNumber<int16_t>(what);
}

int32_t FreeFormatReader::readInt32(const QString& what) {
    return readWholeNumber<int32_t>(what);
}

} // namespace valmora
