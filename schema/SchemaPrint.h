#pragma once

// The schema on paper: two heading lines, the terminal columns' headings, then one band per
// row of the board with the row's pictures side by side, each size label under its picture,
// and the row's terminal data on the right. QtCore only: drawn on any print surface.

#include "platform/PrintSurface.h"
#include "schema/SchemaLayout.h"

namespace valmora {

inline const QString kSchemaPrintedMessage = QStringLiteral("Stampato schema su ");
inline const QString kSchemaPrintError = QStringLiteral("Errore in fase di stampa schema");
inline const QString kSchemaPrintToolTip = QStringLiteral("Click qui per stampare lo schema");

// Draws the board, as laid out and refreshed, for the project it was built from.
void PrintSchema(const SchemaLayout& board, const Project& project, PrintSurface& surface);

// "<project>-schema.pdf" beside the project file.
QString schemaPdfPath(const QString& projectPath);

// R6 and L15 of the printout: right-aligned in 6 characters, left-aligned in 15, a text cut
// to fit ending with the cut mark, a number too wide shown as "######".
QString rightInSix(const QString& text);
QString leftInFifteen(const QString& text);

} // namespace valmora
