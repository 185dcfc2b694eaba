#pragma once

// Whole outputs compared with files kept under tests/data/golden: a report's pages as text,
// the calculation's table and JSON, the EPANET input, the materials text, the schema's board.
// After a deliberate change, write them anew (the window tests' in both locales) and read
// the diff before committing it:
//   VALMORA_UPDATE_GOLDEN=1 QT_QPA_PLATFORM=offscreen ctest --test-dir build
//   git diff tests/data/golden

#include "platform/PrintSurface.h"
#include "schema/SchemaLayout.h"

#include <QString>

#include <vector>

namespace valmora::testkit {

// Compares `actual` with the golden file `name` (or writes it, when VALMORA_UPDATE_GOLDEN is
// set), failing the test with the whole difference (`diff -u` of the golden file and the
// output, which is left under the temporary folder's valmora-golden-actual/).
void expectGolden(const QString& name, const QString& actual);

// Recorded pages as text: each line of text after its height on the page in millimetres,
// every text (and picture, as <name>) in the columns of a fixed-pitch font, a line of its
// own between pages; the rules left out.
QString pagesAsText(const std::vector<RecordedPage>& pages);

// The schema's board, cell by cell: picture, label, node, marks; then each row's results.
QString boardText(const SchemaLayout& board);

} // namespace valmora::testkit
