#include "report/Materials.h"

#include "model/AtomicWrite.h"
#include "model/NumberFormat.h"
#include "model/TextDecoding.h"


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

void clearTotals(Project& project) {
    for (std::size_t s = 1; s < project.PipeCatalogue.size(); ++s)
        for (PipeDiameter& diameter : project.PipeCatalogue[s].diameters)
            diameter.totalLength = 0;
    for (TerminalType& type : project.TerminalCatalogue) {
        type.count = 0;
        type.activeCount = 0;
    }
}

void addLength(Project& project, const Node& node) {
    if (node.isKvElement())
        return;
    // The project reader and the editor keep the indexes within the catalogues.
    PipeDiameter& diameter = project.PipeCatalogue[std::size_t(node.seriesIndex)].diameters[std::size_t(node.diameterIndex)];
    diameter.totalLength = static_cast<int32_t>(roundHalfEven(double(node.length) + double(diameter.totalLength)));
}

void CountTerminal(Project& project, const Node& node) {
    if (!node.endsInTerminal())
        return; // open ends and manifolds hold no terminal
    const float flow = static_cast<float>(double(project.totalFlow) * node.flowFraction);
    TerminalType& type = project.TerminalCatalogue[std::size_t(project.terminalOf(node).typeIndex)];
    ++type.count;
    if (flow > kActiveTerminalFlow)
        ++type.activeCount;
}

// Depth first from node 1, a node's derived branch before its continuation; iterative,
// since a chain of 32 767 nodes must not exhaust the stack.
void AccumulateMaterials(Project& project) {
    if (!project.isValidNodeIndex(1))
        return;
    std::vector<int16_t> pending{1};
    while (!pending.empty()) {
        const Node& node = project.NodeTable[std::size_t(pending.back())];
        pending.pop_back();
        addLength(project, node);
        if (node.continues()) {
            // Pushed last, popped first: the derived branch before the continuation.
            pending.push_back(node.next);
            if (node.derivation > 0)
                pending.push_back(node.derivation);
        } else {
            CountTerminal(project, node);
        }
    }
}

QString row(const QStringList& cells) { return cells.join(kTab); }

// The "Peso" | | "parziale" | running-weight line of the window and of the file.
QString partialWeightRow(int32_t runningWeight, const QLocale& locale) {
    return row({QStringLiteral("Peso"), QString(), QStringLiteral("parziale"),
                formatPicture(runningWeight, kTotalPicture, locale)});
}

// Rows of the listed series with their running weight, as the window and the file list them.
QStringList seriesRows(const Project& project, const std::vector<SeriesMaterials>& series, const QLocale& locale) {
    QStringList rows;
    int32_t runningWeight = 0;
    for (const SeriesMaterials& s : series) {
        const PipeSeries& catalogued = project.PipeCatalogue[std::size_t(s.seriesIndex)];
        for (const DiameterMaterials& d : s.diameters)
            rows << row({catalogued.name, catalogued.diameters[std::size_t(d.diameterIndex)].label,
                         formatPicture(d.totalLength, kLengthPicture, locale),
                         formatPicture(d.roundedWeight, kWeightPicture, locale)});
        runningWeight += s.roundedWeight;
        if (s.roundedWeight > 0)
            rows << partialWeightRow(runningWeight, locale);
    }
    return rows;
}

} // namespace

void ComputeMaterials(Project& project) {
    clearTotals(project);
    AccumulateMaterials(project);
}

double diameterWeight(const PipeSeries& series, const PipeDiameter& diameter) {
    const double outer = diameter.outerDiameter;
    const double inner = diameter.innerDiameter;
    return (outer * outer - inner * inner) * kWeightAreaFactor / kSquareMmPerSquareMetre * series.density *
           diameter.totalLength;
}

double diameterWaterContent(const PipeDiameter& diameter) {
    const double inner = diameter.innerDiameter;
    return inner * inner * kWaterLitresFactor * diameter.totalLength;
}

std::vector<SeriesMaterials> pipeMaterials(const Project& project) {
    std::vector<SeriesMaterials> listed;
    for (std::size_t s = 1; s < project.PipeCatalogue.size(); ++s) {
        const PipeSeries& series = project.PipeCatalogue[s];
        SeriesMaterials materials;
        materials.seriesIndex = static_cast<int16_t>(s);
        for (std::size_t i = 0; i < series.diameters.size(); ++i) {
            const PipeDiameter& diameter = series.diameters[i];
            if (diameter.totalLength <= 0)
                continue;
            const double weight = diameterWeight(series, diameter);
            DiameterMaterials d;
            d.diameterIndex = static_cast<int16_t>(i);
            d.totalLength = diameter.totalLength;
            d.weight = static_cast<float>(weight);
            d.roundedWeight = static_cast<int32_t>(roundHalfEven(weight));
            d.waterContent = diameterWaterContent(diameter);
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

std::vector<TerminalMaterials> terminalMaterials(const Project& project) {
    std::vector<TerminalMaterials> listed;
    for (std::size_t t = 1; t < project.TerminalCatalogue.size(); ++t) {
        const TerminalType& type = project.TerminalCatalogue[t];
        if (type.count > 0)
            listed.push_back({static_cast<int16_t>(t), type.count, type.activeCount});
    }
    return listed;
}

int32_t totalTerminalCount(const std::vector<TerminalMaterials>& types) {
    int32_t total = 0;
    for (const TerminalMaterials& t : types)
        total += t.count;
    return total;
}

QStringList pipeGridRows(const Project& project, const QLocale& locale) {
    return seriesRows(project, pipeMaterials(project), locale);
}

QStringList terminalGridRows(const Project& project) {
    const std::vector<TerminalMaterials> types = terminalMaterials(project);
    QStringList rows;
    for (const TerminalMaterials& t : types)
        // The row ends with one more separator, leaving nothing after the third column.
        rows << row({project.TerminalCatalogue[std::size_t(t.typeIndex)].name, QString::number(t.count),
                     QString::number(t.activeCount), QString()});
    rows << row({QStringLiteral("Totale terminali"), QString::number(totalTerminalCount(types))});
    return rows;
}

QString materialsTextFileName(const QString& projectPath) {
    return projectPath.chopped(std::min<qsizetype>(kReplacedExtensionLength, projectPath.size())) + kTextExtension;
}

QStringList materialsTextLines(const Project& project, const QString& fileName, const QLocale& locale) {
    const std::vector<SeriesMaterials> series = pipeMaterials(project);
    QStringList lines;
    lines << fileName + QStringLiteral(" - Elenco materiali");
    lines << row({QStringLiteral("Serie"), QStringLiteral("Diam."), QStringLiteral("Metri"), QStringLiteral("Peso kg")});
    lines << seriesRows(project, series, locale);
    lines << row({QStringLiteral("Cont. H2o Lt:"), formatPicture(totalWaterContent(series), kTotalPicture, locale)});
    lines << QString();
    lines << QStringLiteral("TERMINALI");
    lines << row({QStringLiteral("Quantità"), QStringLiteral("Tipo")});
    const std::vector<TerminalMaterials> types = terminalMaterials(project);
    for (const TerminalMaterials& t : types)
        lines << row({formatPicture(t.count, kCountPicture, locale),
                      project.TerminalCatalogue[std::size_t(t.typeIndex)].name});
    lines << row({QStringLiteral(" In totale i terminali sono "), QString::number(totalTerminalCount(types))});
    return lines;
}

QByteArray materialsTextBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += encodeWindows1252(line) + kLineEnd;
    return bytes;
}

MaterialsTextOutcome writeMaterialsText(const Project& project, const QLocale& locale) {
    const QString fileName = materialsTextFileName(project.projectPath);
    const QByteArray bytes = materialsTextBytes(materialsTextLines(project, fileName, locale));
    WriteRequest request;
    request.protectedFiles << project.projectPath; // a project named "*.txt" is not overwritten
    const WriteOutcome written = writeFileAtomically(fileName, bytes, request);
    return {written.ok, fileName, written.reason};
}

} // namespace valmora
