#pragma once

// The calculation sheet as a table for a spreadsheet: every row of the grids, branch after
// branch as the report prints them, then every section of the verification's positions.
// Semicolons between the fields, decimal commas, no thousands separators, CR LF line ends,
// UTF-8 with its byte order mark: what Italian spreadsheet programs open as they are.
// Pressures in the project's unit (bar where it keeps mm for the verification).

#include "model/Project.h"
#include "standards/StandardVerification.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace valmora {

constexpr QChar kCsvSeparator = u';';

// One field as the file holds it: in double quotes (those within doubled) when it holds a
// separator, a quote or a line end, as it is otherwise.
QString csvField(const QString& text);
// A number with `decimals` decimals and a decimal comma, never grouped: "1234,5".
QString csvNumber(double value, int decimals);

// The table's lines, each a list of fields (for tests and for the file below). `check`: the
// verification to add, none when the project has no standard.
std::vector<QStringList> calculationTableRows(const Project& project, const NetworkResults& results,
                                              const StandardCheck* check);
// The file's bytes: BOM, then the lines joined.
QByteArray calculationTableCsv(const Project& project, const NetworkResults& results,
                               const StandardCheck* check);

} // namespace valmora
