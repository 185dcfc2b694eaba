#include "storage/CatalogueFiles.h"

#include "platform/FileAccess.h"
#include "storage/FreeFormatReader.h"
#include "storage/TextDecoding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace valmora {

namespace {

constexpr int kSeriesCodeLength = 5;

QString describeFailure(const QString& fileName, int line, const QString& what) {
    return QStringLiteral("Catalogo %1, riga %2: %3").arg(fileName).arg(line).arg(what);
}

CatalogueLoadResult failure(const QString& fileName, const FormatError& error) {
    return {false, fileName, error.line, describeFailure(fileName, error.line, error.message)};
}

CatalogueLoadResult missingFile(const QString& fileName, const CatalogueSearch& where) {
    QStringList places;
    for (const QString& dir : {where.explicitDirectory, where.currentDirectory, where.programDirectory})
        if (!dir.isEmpty())
            places << QDir::toNativeSeparators(dir);
    return {false, fileName, 0,
            QStringLiteral("Catalogo %1 non trovato (cercato in: %2)")
                .arg(fileName, places.join(QStringLiteral("; ")))};
}

// Reads a located catalogue file, or reports why it cannot be.
template <typename Parse>
CatalogueLoadResult loadCatalogueFile(const QString& fileName, const CatalogueSearch& where, Parse parse) {
    const QString path = LocateCatalogueFile(fileName, where);
    if (path.isEmpty())
        return missingFile(fileName, where);
    const FileRead read = readDataFile(path);
    if (!read.bytes)
        return {false, path, 0, QStringLiteral("Catalogo %1 non leggibile: %2").arg(path, read.reason)};
    return parse(*read.bytes, path);
}

QString seriesCode(const QString& text) {
    return text.left(kSeriesCodeLength).leftJustified(kSeriesCodeLength);
}

} // namespace

CatalogueSearch CatalogueSearch::inDirectory(const QString& directory) {
    CatalogueSearch where;
    where.explicitDirectory = directory;
    return where;
}

CatalogueSearch CatalogueSearch::standard() {
    CatalogueSearch where;
    where.currentDirectory = QDir::currentPath();
    where.programDirectory = QCoreApplication::applicationDirPath();
    return where;
}

QString LocateCatalogueFile(const QString& fileName, const CatalogueSearch& where) {
    const QStringList candidates = where.explicitDirectory.isEmpty()
                                       ? QStringList{where.currentDirectory, where.programDirectory}
                                       : QStringList{where.explicitDirectory};
    for (const QString& dir : candidates) {
        if (dir.isEmpty())
            continue;
        const QFileInfo info(QDir(dir), fileName);
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return {};
}

CatalogueLoadResult parsePipeCatalogue(const QByteArray& bytes, const QString& fileName,
                                       std::vector<PipeSeries>& seriesFromFile) {
    seriesFromFile.clear();
    FreeFormatReader reader(decodeTextFile(bytes));
    std::vector<PipeSeries> read;
    try {
        reader.readText(QStringLiteral("il titolo"));
        const int16_t seriesCount = reader.readInt16(QStringLiteral("il numero delle serie"));
        if (seriesCount < 0)
            throw FormatError{reader.lastLine(),
                              QStringLiteral("numero delle serie negativo (%1)").arg(seriesCount)};
        read.reserve(seriesCount);
        for (int s = 1; s <= seriesCount; ++s) {
            PipeSeries series;
            const QString ofSeries = QStringLiteral(" della serie %1").arg(s);
            series.name = reader.readText(QStringLiteral("il nome") + ofSeries);
            series.code = seriesCode(reader.readText(QStringLiteral("il codice") + ofSeries));
            series.density = reader.readInt16(QStringLiteral("la densità") + ofSeries);
            series.hazenC = reader.readInt16(QStringLiteral("il coefficiente C") + ofSeries);
            series.leqFactor =
                reader.readFloat(QStringLiteral("il fattore delle lunghezze equivalenti") + ofSeries);
            const int16_t diameterCount =
                reader.readInt16(QStringLiteral("il numero dei diametri") + ofSeries);
            if (diameterCount < 0)
                throw FormatError{
                    reader.lastLine(),
                    QStringLiteral("numero dei diametri%1 negativo (%2)").arg(ofSeries).arg(diameterCount)};
            series.frictionFactor = frictionFactorFor(series.hazenC);
            series.diameters.resize(diameterCount);
            for (int d = 0; d < diameterCount; ++d) {
                const QString ofDiameter = QStringLiteral(" del diametro %1%2").arg(d).arg(ofSeries);
                PipeDiameter& diameter = series.diameters[d];
                diameter.label = reader.readText(QStringLiteral("la sigla") + ofDiameter);
                diameter.innerDiameter = reader.readFloat(QStringLiteral("il diametro interno") + ofDiameter);
                diameter.outerDiameter = reader.readFloat(QStringLiteral("il diametro esterno") + ofDiameter);
            }
            read.push_back(std::move(series));
        }
    } catch (const FormatError& error) {
        return failure(fileName, error);
    }
    seriesFromFile = std::move(read);
    return CatalogueLoadResult::success(fileName);
}

CatalogueLoadResult parseTerminalCatalogue(const QByteArray& bytes, const QString& fileName,
                                           std::vector<TerminalType>& types) {
    types.clear();
    FreeFormatReader reader(decodeTextFile(bytes));
    std::vector<TerminalType> read;
    try {
        reader.readText(QStringLiteral("il titolo"));
        // Blank lines after the last terminal hold no value and end the list.
        while (!reader.atEnd()) {
            if (int(read.size()) > kMaxTableIndex)
                throw FormatError{reader.lastLine(), QStringLiteral("troppi tipi di terminale")};
            TerminalType type;
            const QString ofType = QStringLiteral(" del terminale %1").arg(read.size());
            type.name = reader.readText(QStringLiteral("il nome") + ofType);
            type.kFactor = reader.readFloat(QStringLiteral("il fattore K") + ofType);
            type.nominalFlow = reader.readFloat(QStringLiteral("la portata nominale") + ofType);
            type.nominalPressure = reader.readFloat(QStringLiteral("la pressione nominale") + ofType);
            type.iconIndex = reader.readInt16(QStringLiteral("l'icona") + ofType);
            read.push_back(std::move(type));
        }
    } catch (const FormatError& error) {
        return failure(fileName, error);
    }
    types = std::move(read);
    return CatalogueLoadResult::success(fileName);
}

CatalogueLoadResult LoadPipeCatalogue(std::vector<PipeSeries>& seriesFromFile, const CatalogueSearch& where) {
    seriesFromFile.clear();
    return loadCatalogueFile(kPipeCatalogueFileName, where,
                             [&](const QByteArray& bytes, const QString& path) {
                                 return parsePipeCatalogue(bytes, path, seriesFromFile);
                             });
}

CatalogueLoadResult LoadTerminalCatalogue(std::vector<TerminalType>& types, const CatalogueSearch& where) {
    types.clear();
    return loadCatalogueFile(kTerminalCatalogueFileName, where,
                             [&](const QByteArray& bytes, const QString& path) {
                                 return parseTerminalCatalogue(bytes, path, types);
                             });
}

} // namespace valmora
