#pragma once

// The one project: what its file stores. The network tables, the catalogues they are built
// from, the supply, the settings of the verification and of the report. The results of its
// calculation (NetworkResults) and where the user stands in it (Session) are kept apart; the
// three together are the Workspace the windows share.

#include "model/NetworkTypes.h"
#include "model/StandardSettings.h"
#include "model/Units.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

inline const QString kNewProjectPath = QStringLiteral("Newlav.vlm");
constexpr int32_t kNewProjectSupplyPressure = 40000; // mm, 4 bar
inline const QString kNewProjectRootName = QStringLiteral("Radice");
// Series and terminal type that new nodes get in a new project.
constexpr int16_t kNewProjectLastSeries = 1;
constexpr int16_t kNewProjectLastTerminalType = 1;
// eqResistance of the root of a new project until its first calculation (its results).
constexpr double kNewProjectRootEqResistance = 0.000742266610777188;

// Name and code of the KV pseudo-series at index 0 of the pipe catalogue.
inline const QString kKvSeriesName = QStringLiteral("Coefficiente di flusso(KV)");
inline const QString kKvSeriesCode = QStringLiteral(" KV  ");

// A line of the project file's block after the tree that this version does not read (one
// written by a newer version): its values as they were read, to be written back as they were.
struct BlockValue {
    QString text;
    bool quoted = false;
    bool operator==(const BlockValue& o) const { return text == o.text && quoted == o.quoted; }
};
using BlockLine = std::vector<BlockValue>;

// What the calculation report says of the project beyond its network: its cover and the
// signature block. The designer's words, printed as typed; empty fields are left out.
struct ReportData {
    QString committente;   // the client
    QString ubicazione;    // where the system stands
    QString oggetto;       // what the report is of
    QString progettista;   // the designer's name
    QString iscrizione;    // the professional register and number
    QString revisione;     // "0", "A", "1"
    QString data;          // the revision's date, as the designer writes it
    QString noteRevisione; // what the revision changed

    bool isEmpty() const { return *this == ReportData{}; }
    bool operator==(const ReportData& o) const {
        return committente == o.committente && ubicazione == o.ubicazione && oggetto == o.oggetto &&
               progettista == o.progettista && iscrizione == o.iscrizione && revisione == o.revisione &&
               data == o.data && noteRevisione == o.noteRevisione;
    }
};

// Message of an append refused because the 16-bit table is full.
QString tableFullMessage();

// The project's texts of several lines (its notes, the revision's notes) keep CR LF line ends,
// as its file does; a box they are edited in works with bare line feeds.
QString textForEditing(const QString& kept);
QString textToKeep(const QString& edited);

class Project {
public:
    // A new project over the given catalogues. Entry 0 of the pipe catalogue is
    // always the KV pseudo-series; pass the series read from the file from index 1.
    Project();
    Project(std::vector<PipeSeries> pipeSeriesFromFile, std::vector<TerminalType> terminalTypes);

    // A new project over the catalogues of `other`, as they stand.
    static Project withCataloguesOf(const Project& other);

    // The state of "&Nuovo": one section from the supply to one terminal of type 1.
    void resetToNewProject();

    int16_t nodeCount() const { return static_cast<int16_t>(NodeTable.size() - 1); }
    int16_t terminalCount() const { return static_cast<int16_t>(TerminalTable.size() - 1); }
    int16_t pipeSeriesCount() const { return static_cast<int16_t>(PipeCatalogue.size() - 1); }

    // Appends an all-zero record; nullopt when the table already holds 32 767 entries.
    std::optional<int16_t> appendNode();
    std::optional<int16_t> appendTerminal();

    // Empties both network tables down to their unused index 0.
    void clearNetwork();

    // Lookups that callers use after validation (the indexes are in range).
    const PipeSeries& seriesOf(const Node& node) const { return PipeCatalogue[node.seriesIndex]; }
    const PipeDiameter& diameterOf(const Node& node) const {
        return PipeCatalogue[node.seriesIndex].diameters[node.diameterIndex];
    }
    const Terminal& terminalOf(const Node& node) const { return TerminalTable[node.derivation]; }
    const TerminalType& terminalTypeOf(const Terminal& t) const { return TerminalCatalogue[t.typeIndex]; }

    // The same lookups for data that may name what the catalogues lack: nullptr then.
    const PipeSeries* findSeries(const Node& node) const {
        return isValidSeriesIndex(node.seriesIndex) ? &PipeCatalogue[std::size_t(node.seriesIndex)] : nullptr;
    }
    const PipeDiameter* findDiameter(const Node& node) const {
        return !node.isKvElement() && isValidDiameterIndex(node.seriesIndex, node.diameterIndex)
                   ? &diameterOf(node)
                   : nullptr;
    }
    const Terminal* findTerminal(const Node& node) const {
        return node.endsInTerminal() && isValidTerminalIndex(node.derivation) ? &terminalOf(node) : nullptr;
    }
    const TerminalType* findTerminalType(const Terminal& terminal) const {
        return isValidTerminalTypeIndex(terminal.typeIndex) ? &terminalTypeOf(terminal) : nullptr;
    }

    bool isValidNodeIndex(int index) const { return index >= 1 && index <= nodeCount(); }
    bool isValidTerminalIndex(int index) const { return index >= 1 && index <= terminalCount(); }
    bool isValidSeriesIndex(int index) const { return index >= 0 && index < int(PipeCatalogue.size()); }
    bool isValidTerminalTypeIndex(int index) const {
        return index >= 0 && index < int(TerminalCatalogue.size());
    }
    bool isValidDiameterIndex(int series, int index) const {
        return isValidSeriesIndex(series) && index >= 0 &&
               index < int(PipeCatalogue[series].diameters.size());
    }

    QString projectPath;
    QString projectNotes;
    int32_t supplyPressure = kNewProjectSupplyPressure;
    std::vector<Node> NodeTable;                 // index 0 holds no node
    std::vector<Terminal> TerminalTable;         // index 0 holds no terminal
    std::vector<LoopPipe> loopPipes;             // beside the tree, in the order entered
    std::vector<PipeSeries> PipeCatalogue;       // index 0 is the KV pseudo-series
    std::vector<TerminalType> TerminalCatalogue; // from index 0
    float maxHeight = 0;                         // of the terminals, m: where the schema's height scale ends
    int16_t lastSeries = kNewProjectLastSeries;
    int16_t lastTerminalType = kNewProjectLastTerminalType;
    // What a verification against a standard is asked to check; kept in the project file's
    // block after the tree.
    StandardSettings standardSettings;
    // The report's cover and signature; the unit pressures are shown in. Both in the block.
    ReportData reportData;
    PressureUnit pressureUnit = PressureUnit::Millimetres;
    // The block's lines that this version does not read, written back as they were.
    std::vector<BlockLine> keptBlockLines;
    // The file read held the block (or had the old settings file beside it): a save writes the
    // block even when it says nothing but its name, so that the old file is read no more.
    bool blockInFile = false;
};

// The KV pseudo-series that stands at index 0 of every pipe catalogue.
PipeSeries kvPseudoSeries();

} // namespace valmora
