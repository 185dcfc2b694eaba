#pragma once

// The pipe catalogue ("Vlmtubi.txt") and the terminal catalogue ("Vlmterm.txt"):
// installation data read once at start-up, read-only afterwards.

#include "model/Catalogues.h"
#include "model/NetworkTypes.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace valmora {

inline const QString kPipeCatalogueFileName = QStringLiteral("Vlmtubi.txt");
inline const QString kTerminalCatalogueFileName = QStringLiteral("Vlmterm.txt");

// Where the catalogues are looked for. With an explicit directory only that one is
// used; otherwise the current directory, then the program's own directory.
struct CatalogueSearch {
    QString explicitDirectory;
    QString currentDirectory;
    QString programDirectory;

    static CatalogueSearch inDirectory(const QString& directory);
    // The current directory and the running program's directory.
    static CatalogueSearch standard();
};

struct CatalogueLoadResult {
    bool ok = true;
    QString filePath;
    int line = 0;    // 0 when the failure has no line (file missing or unreadable)
    QString message; // complete, for the user: file, line, what was expected

    static CatalogueLoadResult success(const QString& path) { return {true, path, 0, {}}; }
};

// Full path of the catalogue file to open; empty when it exists nowhere.
QString LocateCatalogueFile(const QString& fileName, const CatalogueSearch& where);

// Reads the pipe catalogue into `seriesFromFile` (series 1..S of the file, in order;
// the KV pseudo-series is added by the project at index 0). On failure the output is
// left empty.
CatalogueLoadResult LoadPipeCatalogue(std::vector<PipeSeries>& seriesFromFile, const CatalogueSearch& where);
CatalogueLoadResult LoadTerminalCatalogue(std::vector<TerminalType>& types, const CatalogueSearch& where);

// The same readers over the bytes of a file, for which `fileName` is only a label.
CatalogueLoadResult parsePipeCatalogue(const QByteArray& bytes, const QString& fileName,
                                       std::vector<PipeSeries>& seriesFromFile);
CatalogueLoadResult parseTerminalCatalogue(const QByteArray& bytes, const QString& fileName,
                                           std::vector<TerminalType>& types);

} // namespace valmora
