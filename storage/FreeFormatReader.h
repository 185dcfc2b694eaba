#pragma once

// The list reader shared by the catalogues and the project files: values separated by
// commas or line ends (CR LF, LF or CR), text values optionally in double quotes.
//
// Reading a value: leading blanks are skipped; a value that begins with a double quote
// runs to the next double quote (line breaks inside belong to the value) and whatever
// follows the closing quote up to the next comma or line end is skipped; any other
// value runs to the next comma or line end, trailing blanks removed. An empty value
// reads as 0 for a number and as the empty text for a text. A blank line holds no value,
// unless the caller asks for it as an empty value.
//
// End-of-file padding that old editors and copies left after the last line (Ctrl-Z,
// NUL bytes) is read as blanks.

#include <QString>

#include <cstdint>
#include <optional>

namespace valmora {

// A value that is missing or cannot be read as its type; `line` is 1-based.
struct FormatError {
    int line = 0;
    QString message; // what was expected and what was found, in Italian
};

class FreeFormatReader {
public:
    struct Value {
        QString text;
        bool quoted = false;
        int line = 0;
    };

    enum class BlankLine { Skip, IsEmptyValue };

    explicit FreeFormatReader(QString text);

    // True when only blanks and line ends are left.
    bool atEnd();

    // Each read throws FormatError when the value is missing or unreadable;
    // `what` names the field in the message.
    Value next(const QString& what, BlankLine blankLine = BlankLine::Skip);
    QString readText(const QString& what);
    float readFloat(const QString& what);
    int16_t readInt16(const QString& what);
    int32_t readInt32(const QString& what);

    // Line of the last value read (1-based), and whether it was the first on its line.
    int lastLine() const { return lastLine_; }
    bool lastWasFirstOnLine() const { return lastWasFirstOnLine_; }
    // Whether the last value read was the last on its line (or in the text).
    bool lastEndedLine() const { return atLineStart_; }

    // Number syntax of the files: optional sign, digits with an optional period (a
    // leading or trailing digit may be missing, not both), optional exponent. A number too
    // small for its type reads as 0; one too large is refused (nullopt).
    static bool isNumeric(const QString& text);
    static std::optional<double> parseDouble(const QString& text);

private:
    // Where an unquoted value stands in the text; `size` is -1 for a quoted one, whose text
    // the value holds.
    struct Place {
        qsizetype start = 0;
        qsizetype size = -1;
    };
    // The next value, its text left to the caller when unquoted (numbers are read from the
    // text in place, with no copy of their own).
    Value scan(const QString& what, BlankLine blankLine, Place& place);
    void skipBlanks();
    bool atLineBreak() const;
    void consumeLineBreak();
    void consumeTerminator();
    template <typename Int> Int readWholeNumber(const QString& what);
    [[noreturn]] void fail(int line, const QString& message) const;

    QString text_;
    qsizetype pos_ = 0;
    int line_ = 1;
    int lastLine_ = 0;
    bool lastWasFirstOnLine_ = false;
    bool atLineStart_ = true;
};

} // namespace valmora
