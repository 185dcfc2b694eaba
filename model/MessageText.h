#pragma once

// Pieces of the Italian messages that quote what a file or the user supplied.

#include <QString>

namespace valmora {

// Longest excerpt of a supplied value that a message quotes, in characters.
constexpr int kMessageExcerptLength = 40;

// `text` in double quotes, cut to kMessageExcerptLength characters with "…" and with
// line breaks and other control characters shown as blanks: a message stays one short
// line whatever a damaged file holds.
QString quotedExcerpt(const QString& text);

// `text` on one line: a line break (CR LF, CR or LF) or any other control character becomes
// one blank. A name that holds a break is still one row of a table.
QString oneLine(const QString& text);

// What ends a value cut to fit its column: a cut value must not read as another valid one
// ("PE100" shown as "PE10", "Dorsale nord 2" as "Dorsale nord").
constexpr QChar kCutMark = u'~';
// `text` in at most `characters` characters: whole when it fits, else its first
// characters - 1 followed by kCutMark.
QString cutToFit(const QString& text, int characters);

// "in" joined to the article that opens `what`: "il commento" -> "nel commento",
// "la quota" -> "nella quota", "l'icona" -> "nell'icona".
QString inArticled(const QString& what);

} // namespace valmora
