#pragma once

// The materials of the network: metres of pipe by series and diameter, their weight and
// water content, terminals by type. One walk of the network totals them, a value the
// materials window, its text file and the printed report all read, so that all three show
// the same numbers; the project is never changed by it.

#include "model/NetworkResults.h"
#include "model/Project.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace valmora {

// A terminal is active when the last calculation gave it more than this flow, l/min,
// compared in single precision as the flow is held.
constexpr float kActiveTerminalFlow = 0.0001f;
// Area of a circle over the square of its diameter, as the weights have always been
// computed: written out, not pi/4 in full precision, so that weights stay as they were.
constexpr double kWeightAreaFactor = 0.7854;
constexpr double kSquareMmPerSquareMetre = 1000000;
// Litres per metre of pipe and square millimetre of bore.
constexpr double kWaterLitresFactor = 0.000785398;

// The totals of one walk, indexed as the catalogues are.
struct MaterialsTotals {
    std::vector<std::vector<double>> metres; // by series (0, the KV pseudo-series, has none), by diameter
    std::vector<int32_t> count;              // by terminal type
    std::vector<int32_t> activeCount;
};

// Walks the network from node 1: each section adds its exact length to its diameter's total
// (rounded once, where it is shown: a bill of materials that rounded at every addition would
// lose or invent metres); each branch end with a terminal counts it in its type's count, and
// in activeCount when its flow exceeds kActiveTerminalFlow. The derived branch of a node is
// walked before its continuation.
MaterialsTotals totalMaterials(const Project& project, const NetworkResults& results);

// Weight of `metres` of pipe of one diameter, kg: (Do^2 - Di^2) x 0.7854 / 10^6 x density x length.
double diameterWeight(const PipeSeries& series, const PipeDiameter& diameter, double metres);
// Water held by `metres` of pipe of one diameter, litres: Di^2 x 0.000785398 x length.
double diameterWaterContent(const PipeDiameter& diameter, double metres);

// One diameter with metres of pipe in the network.
struct DiameterMaterials {
    int16_t diameterIndex = 0;
    double totalLength = 0;    // metres, exact: rounded where shown
    float weight = 0;          // kg, single precision, unrounded: the printed report's
    int32_t roundedWeight = 0; // kg, whole (halves to even): the window's and text file's
    double waterContent = 0;   // litres
};

// One pipe series with at least one diameter in the network.
struct SeriesMaterials {
    int16_t seriesIndex = 0;
    std::vector<DiameterMaterials> diameters; // from the first, only those with length > 0
    float weight = 0;                         // single-precision sum of the diameters' weight
    int32_t roundedWeight = 0;                // sum of the diameters' roundedWeight
};

// The series from 1 to the last that have pipe in the network, in catalogue order.
std::vector<SeriesMaterials> pipeMaterials(const Project& project, const MaterialsTotals& totals);

// Total water content of the listed diameters, litres, summed in single precision.
float totalWaterContent(const std::vector<SeriesMaterials>& series);

// One terminal type with terminals in the network.
struct TerminalMaterials {
    int16_t typeIndex = 0;
    int32_t count = 0;
    int32_t activeCount = 0;
};

// The types from 1 to the last with a count above 0. Type 0 is counted by the walk but
// never listed.
std::vector<TerminalMaterials> terminalMaterials(const Project& project, const MaterialsTotals& totals);
int32_t totalTerminalCount(const std::vector<TerminalMaterials>& types);

// Rows of the materials window, cells separated by tabs. Pipes: series | diameter |
// metres | kg, and after each series with weight a "Peso" | | "parziale" | row carrying
// the running weight of all series so far. Terminals: type | count | active, then
// "Totale terminali" | total.
QStringList pipeGridRows(const Project& project, const MaterialsTotals& totals,
                         const QLocale& locale = QLocale());
QStringList terminalGridRows(const Project& project, const MaterialsTotals& totals);

// The materials text file: beside the project, its path's last three characters
// replaced by "txt" ("Newlav.vlm" gives "Newlav.txt").
QString materialsTextFileName(const QString& projectPath);
// The file's lines, without line ends; `fileName` heads the first one.
QStringList materialsTextLines(const Project& project, const MaterialsTotals& totals, const QString& fileName,
                               const QLocale& locale = QLocale());
// The file's bytes: the lines in Windows-1252, for the spreadsheets that open the file in
// the system's 8-bit code page, each ended by CR LF.
QByteArray materialsTextBytes(const QStringList& lines);

struct MaterialsTextOutcome {
    bool ok = true;
    QString fileName;
    QString reason; // why the file could not be written
};

// Writes the text file of `totals` beside the project, atomically: a failure leaves any
// previous file intact.
MaterialsTextOutcome writeMaterialsText(const Project& project, const MaterialsTotals& totals,
                                        const QLocale& locale = QLocale());

} // namespace valmora
