#pragma once

// The results of a calculated project as the command-line tool prints them.

#include "model/NetworkResults.h"
#include "model/Project.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <cstddef>
#include <functional>

namespace valmora {

// One JSON object: the project, its totals, every node reached from node 1 (in index
// order) with its results, and every terminal end. 32-bit values carry 9 significant
// digits and 64-bit ones 17, so that they read back to the same value.
QByteArray calculationJson(const Project& project, const NetworkResults& results,
                           const QString& projectLabel);
// The same text handed to `sink` a piece at a time: a network of 32 767 nodes makes some
// 20 MB of it, which then need not be held whole.
using OutputSink = std::function<void(const char* bytes, std::size_t size)>;
void writeCalculationJson(const Project& project, const NetworkResults& results, const QString& projectLabel,
                          const OutputSink& sink);

// A readable table per branch with the grid's headings and formats.
QString calculationTable(const Project& project, const NetworkResults& results, const QString& projectLabel,
                         const QLocale& locale);

} // namespace valmora
