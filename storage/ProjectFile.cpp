#include "storage/ProjectFile.h"

#include "model/Calculation.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"
#include "model/UnreachableRecords.h"
#include "platform/AtomicWrite.h"
#include "platform/FileAccess.h"
#include "storage/TextDecoding.h"

#include <QStringList>

#include <algorithm>
#include <limits>
#include <set>
#include <vector>

namespace valmora {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kFileErrorPrefix = QStringLiteral("Errore file: ");
constexpr int16_t kReservedHeaderValue = 0;

// ---- reading ----------------------------------------------------------------------

[[noreturn]] void refuse(int line, const QString& message) {
    throw FormatError{line, message};
}

void requireLineStart(const FreeFormatReader& reader, const QString& what) {
    if (!reader.lastWasFirstOnLine())
        refuse(
            reader.lastLine(),
            QStringLiteral("%1 non è all'inizio della riga (valori in più o in meno sulla riga precedente)")
                .arg(what));
}

int16_t appendNodeOrRefuse(Project& project, int line) {
    const std::optional<int16_t> index = project.appendNode();
    if (!index)
        refuse(line, QStringLiteral("la rete supera i %1 nodi").arg(kMaxTableIndex));
    return *index;
}

void setFlagsFromStatus(Node& node, int16_t status) {
    // Any status outside 0..3 leaves both flags false.
    const bool known = status >= 0 && status <= (kStatusClosed | kStatusDiameterLocked);
    node.diameterLocked = known && (status & kStatusDiameterLocked) != 0;
    node.closed = known && (status & kStatusClosed) != 0;
}

void readNodeValues(Project& project, Node& node, FreeFormatReader& reader) {
    node.length = reader.readFloat(QStringLiteral("la lunghezza"));
    node.virtualLength = reader.readFloat(QStringLiteral("la lunghezza virtuale"));
    node.diameterIndex = reader.readInt16(QStringLiteral("l'indice del diametro"));
    const int diameterLine = reader.lastLine();
    node.seriesIndex = reader.readInt16(QStringLiteral("l'indice della serie"));
    if (!project.isValidSeriesIndex(node.seriesIndex))
        refuse(reader.lastLine(),
               QStringLiteral("la serie di tubi %1 non esiste nel catalogo").arg(node.seriesIndex));
    // A KV element has no diameters: its diameter index is kept as it is.
    if (!node.isKvElement() && !project.isValidDiameterIndex(node.seriesIndex, node.diameterIndex))
        refuse(diameterLine, QStringLiteral("il diametro %1 non esiste nella serie %2")
                                 .arg(node.diameterIndex)
                                 .arg(quotedExcerpt(project.PipeCatalogue[node.seriesIndex].name)));
    setFlagsFromStatus(node, reader.readInt16(QStringLiteral("lo stato")));
    node.name = reader.readText(QStringLiteral("il nome")).trimmed();
}

void readTerminalLine(Project& project, int16_t nodeIndex, FreeFormatReader& reader) {
    Terminal terminal;
    terminal.typeIndex = reader.readInt16(QStringLiteral("il tipo di terminale"));
    requireLineStart(reader, QStringLiteral("il tipo di terminale"));
    if (!project.isValidTerminalTypeIndex(terminal.typeIndex))
        refuse(reader.lastLine(),
               QStringLiteral("il tipo di terminale %1 non esiste nel catalogo").arg(terminal.typeIndex));
    terminal.height = reader.readFloat(QStringLiteral("la quota"));
    const std::optional<int16_t> index = project.appendTerminal();
    if (!index)
        refuse(reader.lastLine(), QStringLiteral("la rete supera i %1 terminali").arg(kMaxTableIndex));
    project.TerminalTable[*index] = terminal;
    project.maxHeight = std::max(project.maxHeight, terminal.height);
    Node& node = project.NodeTable[nodeIndex];
    node.derivation = *index;
    node.next = kEndWithTerminal;
}

// A network to read `bytes` into, over the project's catalogues. A node takes at least one
// line: the tables are made as large as the file can need at once, not grown a node at a time.
Project emptyNetworkFor(const Project& project, const QByteArray& bytes) {
    Project empty = Project::withCataloguesOf(project);
    empty.clearNetwork();
    empty.maxHeight = 0;
    const auto lines = std::min<qsizetype>(bytes.count('\n') + 1, kMaxTableIndex + 1);
    empty.NodeTable.reserve(std::size_t(lines));
    empty.TerminalTable.reserve(std::size_t(lines));
    return empty;
}

struct PendingRead {
    int16_t parent;
    bool asDerivation;
};

struct Header {
    QString notes;
    int32_t supplyPressure = 0;
    int16_t lastSeries = 0;
    int16_t lastTerminalType = 0;
};

int32_t readSupplyPressure(const QString& text, int line) {
    const std::optional<double> number = FreeFormatReader::parseDouble(text);
    const std::optional<int32_t> pressure = number ? roundedToRange<int32_t>(*number) : std::nullopt;
    if (!pressure)
        refuse(line,
               QStringLiteral("pressione disponibile fuori dall'intervallo: %1").arg(quotedExcerpt(text)));
    return *pressure;
}

// The last series and terminal type only seed new nodes: one that the catalogues in force
// lack is no reason to refuse the file, the new project's default stands in.
int16_t seriesOrDefault(const Project& project, int16_t series) {
    return project.isValidSeriesIndex(series) ? series : kNewProjectLastSeries;
}

int16_t terminalTypeOrDefault(const Project& project, int16_t type) {
    return project.isValidTerminalTypeIndex(type) ? type : kNewProjectLastTerminalType;
}

Header readHeader(const Project& project, FreeFormatReader& reader) {
    Header header;
    // Empty notes may stand as a blank first line: that line is their value.
    header.notes = reader.next(QStringLiteral("il commento"), FreeFormatReader::BlankLine::IsEmptyValue).text;
    // Text lines before the first number are further lines of the notes.
    FreeFormatReader::Value value = reader.next(QStringLiteral("la pressione disponibile"));
    while (!FreeFormatReader::isNumeric(value.text)) {
        header.notes += kLineEnd + value.text;
        value = reader.next(QStringLiteral("la pressione disponibile"));
    }
    header.supplyPressure = readSupplyPressure(value.text, value.line);
    header.lastSeries = seriesOrDefault(project, reader.readInt16(QStringLiteral("l'ultima serie usata")));
    header.lastTerminalType =
        terminalTypeOrDefault(project, reader.readInt16(QStringLiteral("l'ultimo tipo di terminale usato")));
    reader.readInt16(QStringLiteral("il valore riservato"));
    return header;
}

QString describeAtLine(int line, const QString& message) {
    return QStringLiteral("riga %1: %2").arg(line).arg(message);
}

// Moves what was read into the project that the caller holds.
void adoptReadNetwork(Project& project, Project&& loaded, Header&& header) {
    project.projectNotes = std::move(header.notes);
    project.supplyPressure = header.supplyPressure;
    project.lastSeries = header.lastSeries;
    project.lastTerminalType = header.lastTerminalType;
    project.maxHeight = loaded.maxHeight;
    project.NodeTable = std::move(loaded.NodeTable);
    project.TerminalTable = std::move(loaded.TerminalTable);
}

// ---- writing ----------------------------------------------------------------------

int16_t structureCodeOf(const Node& node) {
    if (node.next < 0) {
        const int code = node.next + structure_code::kEndKindBase;
        // 6 is the open end's code: the one kind that would land on it is written as 5.
        return static_cast<int16_t>(code == structure_code::kOpenEnd ? code - 1 : code);
    }
    if (node.next > 0)
        return node.derivation > 0 ? structure_code::kContinuesAndDerives : structure_code::kContinues;
    // A derivation never hangs from an end: written as an open end so the file reads back.
    return structure_code::kOpenEnd;
}

int16_t statusOf(const Node& node) {
    return static_cast<int16_t>((node.closed ? kStatusClosed : 0) |
                                (node.diameterLocked ? kStatusDiameterLocked : 0));
}

void appendNodeLine(const Node& node, QString& out) {
    out += QString::number(structureCodeOf(node));
    out += u',' + fileNumber(node.length);
    out += u',' + fileNumber(node.virtualLength);
    out += u',' + QString::number(node.diameterIndex);
    out += u',' + QString::number(node.seriesIndex);
    out += u',' + QString::number(statusOf(node));
    out += u',' + fileTextValue(node.name.trimmed());
    out += kLineEnd;
}

void appendTerminalLine(const Terminal& terminal, QString& out) {
    out += QString::number(terminal.typeIndex) + u',' + fileNumber(terminal.height) + kLineEnd;
}

void appendSubtree(const Project& project, int16_t first, QString& out) {
    for (const int16_t i : subtreePreorder(project, first)) {
        const Node& node = project.NodeTable[i];
        appendNodeLine(node, out);
        if (structureCodeOf(node) == structure_code::kTerminalEnd)
            appendTerminalLine(project.TerminalTable[node.derivation], out);
    }
}

// ---- saving -----------------------------------------------------------------------

SaveOutcome writeFailure(const QString& reason) {
    return {false, reason, kWriteErrorPrefix + reason, {}};
}

} // namespace

void ReadNodeSubtree(Project& project, int16_t parent, bool asDerivation, FreeFormatReader& reader) {
    std::vector<PendingRead> pending{{parent, asDerivation}};
    while (!pending.empty()) {
        const PendingRead read = pending.back();
        pending.pop_back();

        const int16_t code = reader.readInt16(QStringLiteral("il codice di struttura"));
        requireLineStart(reader, QStringLiteral("il codice di struttura"));
        const int16_t index = appendNodeOrRefuse(project, reader.lastLine());
        Node& node = project.NodeTable[index];
        readNodeValues(project, node, reader);
        node.parent = read.parent;
        Node& parentNode = project.NodeTable[read.parent];
        (read.asDerivation ? parentNode.derivation : parentNode.next) = index;

        switch (code) {
        case structure_code::kContinuesAndDerives:
            // The continuation's lines come first: it is popped first.
            pending.push_back({index, true});
            pending.push_back({index, false});
            break;
        case structure_code::kContinues:
            pending.push_back({index, false});
            break;
        case structure_code::kTerminalEnd:
            readTerminalLine(project, index, reader);
            break;
        default:
            break; // any other code ends the branch with no terminal
        }
    }
}

namespace {

// The node lines from node 1 on, then the line that opens the block after the tree, whose
// line is returned (0 when the text ends with the tree). Any other line after the tree means
// a damaged structure code: reading on would drop it.
int readWholeTree(Project& network, FreeFormatReader& reader) {
    ReadNodeSubtree(network, 0, false, reader);
    if (reader.atEnd())
        return 0;
    const FreeFormatReader::Value value = reader.next(QString());
    if (value.text == kBlockName && reader.lastWasFirstOnLine())
        return value.line;
    throw FormatError{reader.lastLine(),
                      QStringLiteral("righe oltre la fine della rete (codice di struttura errato?)")};
}

} // namespace

ReadOutcome readProjectText(Project& project, const QByteArray& bytes) {
    FreeFormatReader reader(decodeTextFile(bytes));
    Header header;
    try {
        header = readHeader(project, reader);
    } catch (const FormatError& error) {
        return ReadOutcome::failure(ReadOutcome::Status::BadHeader, error.line, kFileErrorPrefix,
                                    describeAtLine(error.line, error.message));
    }
    Project loaded = emptyNetworkFor(project, bytes);
    int blockLine = 0;
    try {
        blockLine = readWholeTree(loaded, reader);
    } catch (const FormatError& error) {
        return ReadOutcome::failure(ReadOutcome::Status::BadNode, error.line, kNodeReadErrorPrefix,
                                    describeAtLine(error.line, error.message));
    }
    // Just read, the nodes' indexes are their positions in the file, as the block names them.
    BlockRead block = blockLine > 0 ? readProjectBlock(reader, blockLine, loaded) : BlockRead{};
    adoptReadNetwork(project, std::move(loaded), std::move(header));
    project.standardSettings = std::move(block.settings);
    project.reportData = std::move(block.report);
    project.pressureUnit = block.pressureUnit;
    project.loopPipes = std::move(block.loopPipes);
    project.keptBlockLines = std::move(block.kept);
    project.blockInFile = blockLine > 0;
    ReadOutcome outcome;
    outcome.notices = std::move(block.notices);
    return outcome;
}

ReadOutcome ReadProject(Project& project, const QString& path) {
    const FileRead read = readDataFile(path);
    if (!read.bytes)
        return ReadOutcome::failure(ReadOutcome::Status::CannotOpen, 0, kFileErrorPrefix, read.reason);
    ReadOutcome outcome = readProjectText(project, *read.bytes);
    if (outcome.ok() && !project.blockInFile) {
        // A project saved before the block kept its settings in a file beside it: read once,
        // never written again; the next save puts them in the block.
        OldSettingsRead old = readOldSettingsFile(project, path);
        if (old.found) {
            project.standardSettings = std::move(old.settings);
            project.blockInFile = true;
            outcome.notices = std::move(old.notices);
        }
    }
    return outcome;
}

bool ReadOutcome::settingsIncomplete() const {
    return std::any_of(notices.begin(), notices.end(),
                       [](const ReadNotice& n) { return n.kind == ReadNotice::Kind::Refused; });
}

QString readNoticesText(const std::vector<ReadNotice>& notices, const QString& projectPath) {
    QStringList lines;
    for (const ReadNotice& n : notices) {
        const QString file = n.file.isEmpty() ? projectPath : n.file;
        lines << (n.line > 0 ? QStringLiteral("%1, riga %2: %3").arg(file).arg(n.line).arg(n.message)
                             : QStringLiteral("%1: %2").arg(file, n.message));
    }
    return lines.join(u'\n');
}

void WriteNodeSubtree(const Project& project, int16_t node, QByteArray& out) {
    QString text;
    appendSubtree(project, node, text);
    out += text.toUtf8();
}

QByteArray projectFileBytes(const Project& project) {
    QString text;
    text.reserve(int(project.NodeTable.size()) * 40 + 64);
    text += fileTextValue(project.projectNotes) + kLineEnd;
    text += QString::number(project.supplyPressure) + kLineEnd;
    text += QString::number(project.lastSeries) + kLineEnd;
    text += QString::number(project.lastTerminalType) + kLineEnd;
    text += QString::number(kReservedHeaderValue) + kLineEnd;
    appendSubtree(project, 1, text);
    if (needsBlock(project))
        text += projectBlockText(project);
    return text.toUtf8();
}

WriteOutcome writeSnippet(const Project& project, int16_t node, const QString& path) {
    QByteArray bytes;
    WriteNodeSubtree(project, node, bytes);
    WriteRequest request = outputOf(project.projectPath);
    request.links = LinkRule::Refuse;
    return writeFileAtomically(path, bytes, request);
}

SaveOutcome SaveProject(const Project& project, const QString& path) {
    WriteRequest request;
    request.keepBackup = true;
    const WriteOutcome written = writeFileAtomically(path, projectFileBytes(project), request);
    if (!written.ok)
        return writeFailure(written.reason);
    SaveOutcome outcome;
    outcome.backupWarning = written.backupWarning;
    return outcome;
}

// ---- grafts -----------------------------------------------------------------------

namespace {

GraftOutcome graftRefused(const QString& message, const QString& detail) {
    GraftOutcome outcome;
    outcome.ok = false;
    outcome.message = message;
    outcome.detail = detail;
    return outcome;
}

// Appends the scratch network's nodes and terminals to the project, their links moved by
// the new indexes, the scratch's first node hung from `cursor` as its continuation.
void attachScratch(Project& project, int16_t cursor, const Project& scratch) {
    const auto nodeOffset = static_cast<int16_t>(project.nodeCount());
    const auto terminalOffset = static_cast<int16_t>(project.terminalCount());
    project.TerminalTable.insert(project.TerminalTable.end(), scratch.TerminalTable.begin() + 1,
                                 scratch.TerminalTable.end());
    for (int16_t i = 1; i <= scratch.nodeCount(); ++i) {
        Node node = scratch.NodeTable[std::size_t(i)];
        node.parent = node.parent == 0 ? cursor : static_cast<int16_t>(node.parent + nodeOffset);
        if (node.next > 0) {
            node.next = static_cast<int16_t>(node.next + nodeOffset);
            if (node.derivation > 0)
                node.derivation = static_cast<int16_t>(node.derivation + nodeOffset);
        } else if (node.next == kEndWithTerminal) {
            node.derivation = static_cast<int16_t>(node.derivation + terminalOffset);
        }
        project.NodeTable.push_back(std::move(node));
    }
    Node& at = project.NodeTable[std::size_t(cursor)];
    at.derivation = 0;
    at.next = static_cast<int16_t>(nodeOffset + 1);
    project.maxHeight = std::max(project.maxHeight, scratch.maxHeight);
}

// A terminal grafted under a name another terminal has already takes the first free one of
// "<name> (2)", "<name> (3)"...: two terminals of one name could not be told apart in the
// verification, the report or the warnings. `first` is the first grafted node.
void nameGraftedTerminalsApart(Project& project, int16_t first) {
    std::set<QString> taken;
    for (const int16_t i : networkPreorder(project)) {
        const Node& node = project.NodeTable[std::size_t(i)];
        if (i < first && node.endsInTerminal())
            taken.insert(node.name.trimmed());
    }
    for (int16_t i = first; i <= project.nodeCount(); ++i) {
        Node& node = project.NodeTable[std::size_t(i)];
        const QString name = node.name.trimmed();
        if (!node.endsInTerminal() || name.isEmpty())
            continue;
        QString free = name;
        for (int copy = 2; taken.count(free) > 0; ++copy)
            free = QStringLiteral("%1 (%2)").arg(name).arg(copy);
        node.name = free;
        taken.insert(free);
    }
}

} // namespace

GraftOutcome graftSubtree(Workspace& workspace, int16_t cursor, const QByteArray& bytes, bool skipHeader) {
    Project& project = workspace.project;
    if (!project.isValidNodeIndex(cursor))
        return graftRefused(kGraftCancelled, QStringLiteral("nessun nodo sotto il cursore"));
    FreeFormatReader reader(decodeTextFile(bytes));
    Project scratch = emptyNetworkFor(project, bytes);
    try {
        if (skipHeader)
            readHeader(scratch, reader);
    } catch (const FormatError& error) {
        return graftRefused(kGraftCancelled, describeAtLine(error.line, error.message));
    }
    try {
        // A project's block is its own: what is grafted is the tree alone.
        readWholeTree(scratch, reader);
    } catch (const FormatError& error) {
        const QString detail = describeAtLine(error.line, error.message);
        return graftRefused(kNodeReadErrorPrefix + detail, detail);
    }
    // What earlier grafts left unreachable makes room before the graft is refused as too large.
    RecordMoves moved;
    if (!makeRoomFor(project, scratch.nodeCount(), scratch.terminalCount(), moved))
        return graftRefused(kGraftCancelled,
                            QStringLiteral("la rete supererebbe i %1 nodi o terminali").arg(kMaxTableIndex));
    if (!moved.empty()) {
        cursor = moved.nodes[std::size_t(cursor)];
        followMoves(moved, workspace.results, workspace.session);
    }
    attachScratch(project, cursor, scratch);
    nameGraftedTerminalsApart(project, static_cast<int16_t>(project.nodeCount() - scratch.nodeCount() + 1));
    GraftOutcome outcome;
    outcome.calculation = Calculate(project, workspace.results);
    return outcome;
}

} // namespace valmora
