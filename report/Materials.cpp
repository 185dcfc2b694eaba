#include "report/Materials.h"

#include "model/DerivedQuantities.h"
#include "model/NumberFormat.h"
#include "platform/AtomicWrite.h"
#include "storage/TextDecoding.h"

namespace valmora {

namespace {

const QString kTab = QStringLiteral("\t");
const QByteArray kLineEnd("\r\n");
// Characters of the project path that the text file's extension replaces.
constexpr int kReplacedExtensionLength = 3;
const QString kTextExtension = QStringLiteral("txt");

const QString kLengthPicture = QStringLiteral("####");
const QString kWeightPicture = QStringLiteral("###,#");
const QString kTotalPicture = QStringLiteral("#,#");
const QString kCountPicture = QStringLiteral("#0");

MaterialsTotals emptyTotals(const Project& project) {
    MaterialsTotals totals;
    totals.metres.resize(project.PipeCatalogue.size());
    for (std::size_t s = 1; s < project.PipeCatalogue.size(); ++s)
        totals.metres[s].assign(project.PipeCatalogue[s].diameters.size(), 0.0);
    totals.count.assign(project.TerminalCatalogue.size(), 0);
    totals.activeCount.assign(project.TerminalCatalogue.size(), 0);
    return totals;
}

void addLength(MaterialsTotals& totals, const Node& node) {
    if (node.isKvElement())
        return;
    // The project reader and the editor keep the indexes within the catalogues.
    totals.metres[std::size_t(node.seriesIndex)][std::size_t(node.diameterIndex)] += double(node.length);
}

void CountTerminal(const Project& project, const NetworkResults& results, MaterialsTotals& totals,
                   int16_t i) {
    const Node& node = project.NodeTable[std::size_t(i)];
    if (!node.endsInTerminal())
        return; // open ends and manifolds hold no terminal
    const float flow = static_cast<float>(terminalFlowAt(results, i));
    const auto type = std::size_t(project.terminalOf(node).typeIndex);
    ++totals.count[type];
    if (flow > kActiveTerminalFlow)
        ++totals.activeCount[type];
}

QString row(const QStringList& cells) {
    return cells.join(kTab);
}

// The "Peso" | | "parziale" | running-weight line of the window and of the file.
QString partialWeightRow(int32_t runningWeight, const QLocale& locale) {
    return row({QStringLiteral("Peso"), QString(), QStringLiteral("parziale"),
                formatPicture(runningWeight, kTotalPicture, locale)});
}

// Rows of the listed series with their running weight, as the window and the file list them.
QStringList seriesRows(const Project& project, const std::vector<SeriesMaterials>& series,
                       const QLocale& locale) {
    QStringList rows;
    int32_t runningWeight = 0;
    for (const SeriesMaterials& s : series) {
        const PipeSeries& catalogued = project.PipeCatalogue[std::size_t(s.seriesIndex)];
        for (const DiameterMaterials& d : s.diameters)
            rows << row({catalogued.name, catalogued.diameters[std::size_t(d.diameterIndex)].label,
                         formatToTenth(d.totalLength, kLengthPicture, locale),
                         formatPicture(d.roundedWeight, kWeightPicture, locale)});
        runningWeight += s.roundedWeight;
        if (s.roundedWeight > 0)
            rows << partialWeightRow(runningWeight, locale);
    }
    return rows;
}

} // namespace

// Depth first from node 1, a node's derived branch before its continuation; iterative,
// since a chain of 32 767 nodes must not exhaust the stack.
MaterialsTotals totalMaterials(const Project& project, const NetworkResults& results) {
    MaterialsTotals totals = emptyTotals(project);
    if (!project.isValidNodeIndex(1))
        return totals;
    std::vector<int16_t> pending{1};
    while (!pending.empty()) {
        const int16_t i = pending.back();
        const Node& node = project.NodeTable[std::size_t(i)];
        pending.pop_back();
        addLength(totals, node);
        if (node.continues()) {
            // Pushed last, popped first: the derived branch before the continuation.
            pending.push_back(node.next);
            if (node.derivation > 0)
                pending.push_back(node.derivation);
        } else {
            CountTerminal(project, results, totals, i);
        }
    }
    // The loop pipes are pipe as much as the tree's sections.
    for (const LoopPipe& pipe : project.loopPipes)
        addLength(totals, pipe.asSection());
    return totals;
}

double diameterWeight(const PipeSeries& series, const PipeDiameter& diameter, double metres) {
    const double outer = diameter.outerDiameter;
    const double inner = diameter.innerDiameter;
    return (outer * outer - inner * inner) * kWeightAreaFactor / kSquareMmPerSquareMetre * series.density *
           metres;
}

double diameterWaterContent(const PipeDiameter& diameter, double metres) {
    const double inner = diameter.innerDiameter;
    return inner * inner * kWaterLitresFactor * metres;
}

std::vector<SeriesMaterials> pipeMaterials(const Project& project, const MaterialsTotals& totals) {
    std::vector<SeriesMaterials> listed;
    for (std::size_t s = 1; s < project.PipeCatalogue.size(); ++s) {
        const PipeSeries& series = project.PipeCatalogue[s];
        SeriesMaterials materials;
        materials.seriesIndex = static_cast<int16_t>(s);
        for (std::size_t i = 0; i < series.diameters.size(); ++i) {
            const PipeDiameter& diameter = series.diameters[i];
            const double metres = totals.metres[s][i];
            if (metres <= 0)
                continue;
            const double weight = diameterWeight(series, diameter, metres);
            DiameterMaterials d;
            d.diameterIndex = static_cast<int16_t>(i);
            d.totalLength = metres;
            d.weight = static_cast<float>(weight);
            d.roundedWeight = static_cast<int32_t>(roundHalfEven(weight));
            d.waterContent = diameterWaterContent(diameter, metres);
            materials.weight += d.weight;
            materials.roundedWeight += d.roundedWeight;
            materials.diameters.push_back(d);
        }
        if (!materials.diameters.empty())
            listed.push_back(std::move(materials));
    }
    return listed;
}

float totalWaterContent(const std::vector<SeriesMaterials>& series) {
    float water = 0;
    for (const SeriesMaterials& s : series)
        for (const DiameterMaterials& d : s.diameters)
            water = static_cast<float>(double(water) + d.waterContent);
    return water;
}

std::vector<TerminalMaterials> terminalMaterials(const Project& project, const MaterialsTotals& totals) {
    std::vector<TerminalMaterials> listed;
    for (std::size_t t = 1; t < project.TerminalCatalogue.size(); ++t)
        if (totals.count[t] > 0)
            listed.push_back({static_cast<int16_t>(t), totals.count[t], totals.activeCount[t]});
    return listed;
}

int32_t totalTerminalCount(const std::vector<TerminalMaterials>& types) {
    int32_t total = 0;
    for (const TerminalMaterials& t : types)
        total += t.count;
    return total;
}

QStringList pipeGridRows(const Project& project, const MaterialsTotals& totals, const QLocale& locale) {
    return seriesRows(project, pipeMaterials(project, totals), locale);
}

QStringList terminalGridRows(const Project& project, const MaterialsTotals& totals) {
    const std::vector<TerminalMaterials> types = terminalMaterials(project, totals);
    QStringList rows;
    for (const TerminalMaterials& t : types)
        // The row ends with one more separator, leaving nothing after the third column.
        rows << row({project.TerminalCatalogue[std::size_t(t.typeIndex)].name, QString::number(t.count),
                     QString::number(t.activeCount), QString()});
    rows << row({QStringLiteral("Totale terminali"), QString::number(totalTerminalCount(types))});
    return rows;
}

QString materialsTextFileName(const QString& projectPath) {
    return projectPath.chopped(std::min<qsizetype>(kReplacedExtensionLength, projectPath.size())) +
           kTextExtension;
}

QStringList materialsTextLines(const Project& project, const MaterialsTotals& totals, const QString& fileName,
                               const QLocale& locale) {
    const std::vector<SeriesMaterials> series = pipeMaterials(project, totals);
    QStringList lines;
    lines << fileName + QStringLiteral(" - Elenco materiali");
    lines << row({QStringLiteral("Serie"), QStringLiteral("Diam."), QStringLiteral("Metri"),
                  QStringLiteral("Peso kg")});
    lines << seriesRows(project, series, locale);
    lines << row(
        {QStringLiteral("Cont. H2O Lt:"), formatPicture(totalWaterContent(series), kTotalPicture, locale)});
    lines << QString();
    lines << QStringLiteral("TERMINALI");
    lines << row({QStringLiteral("Quantità"), QStringLiteral("Tipo")});
    const std::vector<TerminalMaterials> types = terminalMaterials(project, totals);
    for (const TerminalMaterials& t : types)
        lines << row({formatPicture(t.count, kCountPicture, locale),
                      project.TerminalCatalogue[std::size_t(t.typeIndex)].name});
    lines << row(
        {QStringLiteral(" In totale i terminali sono "), QString::number(totalTerminalCount(types))});
    return lines;
}

QByteArray materialsTextBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += encodeWindows1252(line) + kLineEnd;
    return bytes;
}

MaterialsTextOutcome writeMaterialsText(const Project& project, const MaterialsTotals& totals,
                                        const QLocale& locale) {
    const QString fileName = materialsTextFileName(project.projectPath);
    const QByteArray bytes = materialsTextBytes(materialsTextLines(project, totals, fileName, locale));
    // A project named "*.txt" is not overwritten.
    const WriteOutcome written = writeFileAtomically(fileName, bytes, outputOf(project.projectPath));
    return {written.ok, fileName, written.reason};
}

} // namespace valmora
