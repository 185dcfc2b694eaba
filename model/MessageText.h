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

// "in" joined to the article that opens `what`: "il commento" -> "nel commento",
// "la quota" -> "nella quota", "l'icona" -> "nell'icona".
QString inArticled(const QString& what);

} // namespace valmora
