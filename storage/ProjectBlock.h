#pragma once

// The block after the tree in a project file: what belongs to the project beyond the tree,
// in lines of the same value grammar as the rest of the file. A reader that reads the tree
// alone stops before it, so a file with the block still opens there; a project with nothing
// for the block is written without one, as it always was.
//
//   "Valmora",1                       the block's first line: its name and version
//   "verifica","<key>","<value>"      one setting of the verification a line
//   "opzioni","pressione","<unit>"    the unit pressures are shown in: "m", "bar" or "kPa"
//   "relazione","<key>","<value>"     one of the report's data a line: committente, ubicazione,
//                                     oggetto, progettista, iscrizione, revisione, data, noteRevisione
//   "anello",A,B,length,virtualLength,diameterIndex,seriesIndex,status,"name"
//                                     one loop pipe a line, joining the nodes at file positions A
//                                     and B; its other values and status as a node line's
//
// Lines of any other name come from a newer version: they are kept as they were read and
// written back after the lines this version writes.

#include "model/Project.h"
#include "storage/FreeFormatReader.h"

#include <QString>

#include <array>
#include <vector>

namespace valmora {

inline const QString kBlockName = QStringLiteral("Valmora");
constexpr int kBlockVersion = 1;

// A line after the tree, or of an old settings file beside the project, not taken as it stands.
struct ReadNotice {
    enum class Kind {
        Refused, // could not be read: what it would have set keeps its default
        Kept,    // of a newer version: kept and written back, not used
    };
    Kind kind = Kind::Refused;
    QString file; // the old settings file it is in; empty: the project file itself
    int line = 0;
    QString message; // the line and what was wrong with it
};

// A text value as the file writes it: in double quotes, a double quote within it (which the
// grammar cannot hold) written as an apostrophe.
QString fileTextValue(const QString& text);

// The report's data by their keys in the file, in the order they are written.
struct ReportField {
    const char16_t* key;
    QString ReportData::*field;
};
extern const std::array<ReportField, 8> kReportFields;

// Whether a save writes the block: the project has settings, report data, a unit other than
// mm, loop pipes or kept lines, or its file had one.
bool needsBlock(const Project& project);

// The block's lines, each ended by CR LF.
QString projectBlockText(const Project& project);

struct BlockRead {
    StandardSettings settings;
    ReportData report;
    PressureUnit pressureUnit = PressureUnit::Millimetres;
    std::vector<LoopPipe> loopPipes;
    std::vector<BlockLine> kept;
    std::vector<ReadNotice> notices;
};
// Reads the block to the end of the text, its first value (the block's name, on `nameLine`)
// read already, for `network` just read (its node indexes are its file positions). A line it
// cannot read is refused on its own: the tree and the other lines stay.
BlockRead readProjectBlock(FreeFormatReader& reader, int nameLine, const Project& network);

// The settings of the old file "<progetto>.verifica" beside a project file written by a
// version that kept them there ("chiave=valore" a line, "#" begins a comment), for the
// project just read from it. `found` is false when there is no such file.
struct OldSettingsRead {
    bool found = false;
    StandardSettings settings;
    std::vector<ReadNotice> notices;
};
QString oldSettingsPath(const QString& projectPath);
OldSettingsRead readOldSettingsFile(const Project& project, const QString& projectPath);

} // namespace valmora
