#include "cli/CalculationReport.h"

#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"
#include "model/Verification.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace valmora {

namespace {

constexpr std::size_t kLongestNumber = 32; // "-1.7976931348623157e+308" and any 64-bit integer fit
// The text goes to its sink in pieces of about this size, written into one buffer reused.
constexpr std::size_t kJsonPieceBytes = std::size_t(1) << 20;
constexpr std::size_t kJsonBytesPerNode = 760;

// ---- JSON -------------------------------------------------------------------------

class JsonWriter {
public:
    explicit JsonWriter(const OutputSink& sink)
        : sink_(sink), buffer_(kJsonPieceBytes + kJsonBytesPerNode * 4) {}

    // Hands what has been written to the sink once it makes a piece.
    void flushPiece() {
        if (used_ >= kJsonPieceBytes)
            flush();
    }
    void flush() {
        sink_(buffer_.data(), used_);
        used_ = 0; // the buffer stays: no new memory for the next piece
    }

    void raw(const char* s) { put(s, std::strlen(s)); }
    // The fields' names are the program's own words, known when it is built: their lengths too.
    template <std::size_t N> void single(const char (&name)[N], float value) {
        field(name);
        number(value);
    }
    template <std::size_t N> void real(const char (&name)[N], double value) {
        field(name);
        number(value);
    }
    template <std::size_t N> void integer(const char (&name)[N], long long value) {
        field(name);
        number(value);
    }
    template <std::size_t N> void boolean(const char (&name)[N], bool value) {
        field(name);
        if (value)
            put("true");
        else
            put("false");
    }
    template <std::size_t N> void optionalReal(const char (&name)[N], const std::optional<double>& value) {
        field(name);
        if (value)
            number(*value);
        else
            put("null");
    }
    template <std::size_t N> void string(const char (&name)[N], const QString& value) {
        field(name);
        quoted(value);
    }
    void beginObject() {
        put("{");
        first_ = true;
    }
    void endObject() {
        put("}");
        first_ = false;
    }

private:
    void reserve(std::size_t more) {
        if (used_ + more > buffer_.size())
            buffer_.resize(std::max(buffer_.size() * 2, used_ + more));
    }
    void put(const char* s, std::size_t size) {
        reserve(size);
        std::memcpy(buffer_.data() + used_, s, size);
        used_ += size;
    }
    template <std::size_t N> void put(const char (&s)[N]) { put(s, N - 1); }
    void put(char c) {
        reserve(1);
        buffer_[used_++] = c;
    }
    template <std::size_t N> void field(const char (&name)[N]) {
        if (!first_)
            put(", ");
        first_ = false;
        put('"');
        put(name);
        put("\": ");
    }
    // The shortest text that reads back as the same number: a double's for a double, a
    // float's for a float, as JavaScript writes its numbers; integers as they are.
    template <typename Number> void number(Number value) {
        if constexpr (std::is_floating_point_v<Number>) {
            // JSON has no form for them; the calculation refuses such results before any output.
            if (!std::isfinite(value)) {
                put("null");
                return;
            }
        }
        reserve(kLongestNumber);
        char* at = buffer_.data() + used_;
        used_ += std::size_t(std::to_chars(at, at + kLongestNumber, value).ptr - at);
    }
    void escaped(char c) {
        static const char* const kHex = "0123456789abcdef";
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            put('\\');
            put(c);
        } else if (byte < kFirstPrintable) {
            put("\\u00");
            put(kHex[byte >> 4]);
            put(kHex[byte & 0xF]);
        } else {
            put(c);
        }
    }
    void quoted(const QString& value) {
        put('"');
        // Names are mostly ASCII, written as they stand; any other character, in UTF-8.
        const bool ascii =
            std::all_of(value.begin(), value.end(), [](QChar c) { return c.unicode() < kFirstNonAscii; });
        if (ascii)
            for (const QChar c : value)
                escaped(char(c.unicode()));
        else
            for (const char c : value.toStdString())
                escaped(c);
        put('"');
    }

    static constexpr unsigned kFirstPrintable = 0x20;
    static constexpr unsigned kFirstNonAscii = 0x80;
    bool first_ = true;
    const OutputSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

// The converged solution and the checks of the calculated result against it.
struct Checks {
    ConvergedSolution solution;
    NetworkVerification verification; // empty when the solution is not ok
};

Checks checksOf(const Project& project, const NetworkResults& results) {
    Checks checks;
    checks.solution = convergedSolutionFor(project, results);
    if (checks.solution.ok)
        checks.verification = VerifyNetwork(project, results, checks.solution);
    return checks;
}

// What a designer must look at in a branch, one line each, after its end.
QString warningLines(const Project& project, const Checks& checks, int16_t first, const QLocale& locale) {
    QString lines;
    for (const NetworkWarning& warning : branchWarnings(project, checks.verification, first, locale))
        lines += QStringLiteral("Attenzione: ") + warning.text + u'\n';
    return lines;
}

// Results of the grid's rows, by node index.
std::vector<BranchRow> rowsByNode(const Project& project, const NetworkResults& results) {
    std::vector<BranchRow> rows(project.NodeTable.size());
    for (const int16_t start : branchStarts(project))
        for (const BranchRow& row : computeBranchRows(project, results, start))
            rows[row.node] = row;
    return rows;
}

std::vector<int16_t> reachableInIndexOrder(const Project& project) {
    std::vector<int16_t> nodes = networkPreorder(project);
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

void writeLoopPipe(JsonWriter& json, const Project& project, const LoopPipeRow& row) {
    const LoopPipe& pipe = project.loopPipes[row.pipe];
    const PipeDiameter* diameter = project.findDiameter(pipe.asSection());
    json.beginObject();
    json.integer("from", pipe.nodeA);
    json.integer("to", pipe.nodeB);
    json.string("name", pipe.name);
    json.single("length", pipe.length);
    json.single("virtualLength", pipe.virtualLength);
    json.integer("seriesIndex", pipe.seriesIndex);
    json.integer("diameterIndex", pipe.diameterIndex);
    json.optionalReal("diameter", diameter ? std::optional<double>(diameter->innerDiameter) : std::nullopt);
    json.boolean("closed", pipe.closed);
    json.real("convergedFlow", row.flow);
    json.optionalReal("convergedVelocity", row.velocity);
    json.real("drop", row.drop);
    json.endObject();
}

void writeNode(JsonWriter& json, const Project& project, const NetworkResults& results, int16_t i,
               const BranchRow& row, const Checks& checks) {
    const Node& node = project.NodeTable[i];
    const NodeResult& result = results.node(i);
    json.beginObject();
    json.integer("index", i);
    json.string("name", node.name);
    json.integer("parent", node.parent);
    json.integer("next", node.next);
    json.integer("derivation", node.derivation);
    json.integer("seriesIndex", node.seriesIndex);
    json.integer("diameterIndex", node.diameterIndex);
    json.single("length", node.length);
    json.single("virtualLength", node.virtualLength);
    json.boolean("closed", node.closed);
    json.boolean("diameterLocked", node.diameterLocked);
    json.real("resistance", result.resistance);
    json.real("eqResistance", result.eqResistance);
    json.real("flowShare", result.flowShare);
    json.real("flowFraction", result.flowFraction);
    json.real("flow", row.flow);
    json.real("drop", row.drop);
    json.real("sumDp", row.cumulativeDrop);
    json.optionalReal("velocity", row.velocity);
    const ConvergedNode* converged = checks.solution.ok ? &checks.solution.nodes[std::size_t(i)] : nullptr;
    json.optionalReal("convergedFlow", converged ? std::optional<double>(converged->flow) : std::nullopt);
    json.optionalReal("convergedVelocity", converged ? converged->velocity : std::nullopt);
    const SectionVerification* section = checks.verification.sectionAt(i);
    json.boolean("velocityOverLimit", section && section->calculatedTooFast);
    json.boolean("openEnd", checks.verification.openEndAt(i) != nullptr);
    json.endObject();
}

void writeTerminal(JsonWriter& json, const Project& project, const NetworkResults& results, int16_t i,
                   const BranchRow& row, const Checks& checks) {
    const Node& node = project.NodeTable[i];
    const Terminal& terminal = project.terminalOf(node);
    const TerminalResult& work = results.terminal(node.derivation);
    json.beginObject();
    json.integer("node", i);
    json.integer("record", node.derivation);
    json.integer("typeIndex", terminal.typeIndex);
    json.string("type", project.terminalTypeOf(terminal).name);
    json.single("height", terminal.height);
    json.single("terminalResistance", work.terminalResistance);
    json.single("heightResistance", work.heightResistance);
    json.real("flow", row.flow);
    json.optionalReal("pressureLeft", terminalPressureLeft(project, row, terminal.height));
    const TerminalVerification* check = checks.verification.terminalAt(i);
    json.optionalReal("convergedFlow", check ? std::optional<double>(check->convergedFlow) : std::nullopt);
    json.optionalReal("convergedPressureLeft", check ? check->convergedPressureLeft : std::nullopt);
    json.boolean("converged", check && check->converged);
    json.boolean("belowNominalPressure", check && check->calculatedBelowNominal);
    json.boolean("convergedBelowNominalPressure", check && check->convergedBelowNominal);
    json.endObject();
}

// ---- table ------------------------------------------------------------------------

struct Column {
    const char* heading;
    int width;
    bool rightAligned;
};

// The grid's columns; widths in characters.
constexpr std::array<Column, 10> kColumns = {{{"Nome", 16, false},
                                              {"Metri", 8, true},
                                              {"L.virt.", 8, true},
                                              {"Phi", 7, true},
                                              {"Tipo", 6, true},
                                              {"Out", 14, false},
                                              {"m/s", 6, true},
                                              {"D.P.", 8, true},
                                              {"SumDp", 8, true},
                                              {"Lt/min", 8, true}}};

QString tableLine(const std::array<QString, 10>& cells) {
    QString line;
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        const Column& column = kColumns[c];
        const QString cell = oneLine(cells[c]); // a name with a line break is still one row
        line += column.rightAligned ? cell.rightJustified(column.width) : cell.leftJustified(column.width);
        line += u' ';
    }
    return line.trimmed() + u'\n';
}

QString branchCaption(const Project& project, int16_t first) {
    if (first == 1)
        return QStringLiteral("Origine impianto");
    return QStringLiteral("Deriv. da ") + oneLine(project.NodeTable[project.NodeTable[first].parent].name);
}

// A section's own columns, a node's or a loop pipe's: name, metres, virtual metres, DN, series.
std::array<QString, 10> sectionCells(const Project& project, const Node& section, const QLocale& locale) {
    std::array<QString, 10> cells;
    cells[0] = section.name;
    cells[1] = section.isKvElement() ? QStringLiteral(">< ") : formatGeneral(section.length, locale);
    cells[2] = formatGeneral(section.virtualLength, locale);
    cells[3] = section.isKvElement() ? QString() : project.diameterOf(section).label;
    cells[4] = project.seriesOf(section).code;
    return cells;
}

std::array<QString, 10> rowCells(const Project& project, const BranchRow& row, const QLocale& locale) {
    const Node& node = project.NodeTable[row.node];
    std::array<QString, 10> cells = sectionCells(project, node, locale);
    cells[5] = node.hasDerivation() ? project.NodeTable[node.derivation].name : QString();
    cells[6] = row.velocity ? formatPicture(*row.velocity, u"#0.0", locale) : QString();
    const PressureScale pressures = calculationScale(project.pressureUnit);
    cells[7] = pressures.cell(row.drop, locale);
    cells[8] = pressures.cell(row.cumulativeDrop, locale);
    cells[9] = formatPicture(row.flow, u"#0", locale);
    return cells;
}

// A loop pipe in the table's columns: its ends where a node shows what it feeds.
std::array<QString, 10> loopPipeCells(const Project& project, const LoopPipeRow& row, const QLocale& locale) {
    const LoopPipe& pipe = project.loopPipes[row.pipe];
    std::array<QString, 10> cells = sectionCells(project, pipe.asSection(), locale);
    cells[5] = project.NodeTable[std::size_t(pipe.nodeA)].name + QStringLiteral(" > ") +
               project.NodeTable[std::size_t(pipe.nodeB)].name;
    cells[6] = row.velocity ? formatPicture(*row.velocity, u"#0.0", locale) : QString();
    cells[7] = calculationScale(project.pressureUnit).cell(row.drop, locale);
    cells[9] = pipe.closed ? QStringLiteral("chiuso") : formatPicture(row.flow, u"#0", locale);
    return cells;
}

QString pressureText(double mm, PressureUnit unit, const QLocale& locale) {
    if (unit != PressureUnit::Millimetres)
        return calculationScale(unit).text(mm, locale);
    return formatPicture(mm, u"#,#", locale) + QStringLiteral(" mm - (") +
           formatPicture(mm / hydraulics::kMmPerBar, u"#,#0.0", locale) + QStringLiteral(" bar)");
}

QString branchEndText(const Project& project, const BranchRow& last, const QLocale& locale) {
    const Node& node = project.NodeTable[last.node];
    if (node.next == kEndWithoutTerminal)
        return QStringLiteral("Nessun terminale \n");
    if (!node.endsInTerminal())
        return QStringLiteral("Mistero %1\n").arg(node.next);
    const Terminal& terminal = project.terminalOf(node);
    QString text = oneLine(project.terminalTypeOf(terminal).name) + QStringLiteral(" - Quota m ") +
                   formatGeneral(terminal.height, locale) + u'\n';
    const std::optional<double> left = terminalPressureLeft(project, last, terminal.height);
    if (!left)
        return text + kNullFlowText + u'\n';
    return text + QStringLiteral("Pressione disponibile al terminale ") +
           pressureReadout(*left, project.pressureUnit, locale) + u'\n';
}

} // namespace

QByteArray calculationJson(const Project& project, const NetworkResults& results,
                           const QString& projectLabel) {
    QByteArray out;
    writeCalculationJson(project, results, projectLabel,
                         [&out](const char* bytes, std::size_t size) { out.append(bytes, qsizetype(size)); });
    return out;
}

void writeCalculationJson(const Project& project, const NetworkResults& results, const QString& projectLabel,
                          const OutputSink& sink) {
    const std::vector<BranchRow> rows = rowsByNode(project, results);
    const std::vector<int16_t> nodes = reachableInIndexOrder(project);
    JsonWriter json(sink);
    json.beginObject();
    json.string("project", projectLabel);
    json.integer("supplyPressure", project.supplyPressure);
    json.single("totalFlow", results.totalFlow);
    json.single("networkResistance", results.networkResistance);
    const Checks checks = checksOf(project, results);
    json.raw(",\n\"converged\": ");
    if (checks.solution.ok) {
        json.beginObject();
        json.real("totalFlow", checks.solution.totalFlow);
        json.integer("iterations", checks.solution.iterations);
        json.endObject();
    } else {
        json.raw("null");
    }
    json.raw(",\n\"nodes\": [");
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        json.raw(k == 0 ? "\n  " : ",\n  ");
        writeNode(json, project, results, nodes[k], rows[nodes[k]], checks);
        json.flushPiece();
    }
    json.raw("],\n\"terminals\": [");
    bool first = true;
    for (const int16_t i : nodes) {
        if (!project.NodeTable[i].endsInTerminal())
            continue;
        json.raw(first ? "\n  " : ",\n  ");
        first = false;
        writeTerminal(json, project, results, i, rows[i], checks);
        json.flushPiece();
    }
    json.raw("]");
    if (!project.loopPipes.empty()) {
        json.raw(",\n\"loops\": [");
        for (const LoopPipeRow& row : computeLoopPipeRows(project, results)) {
            json.raw(row.pipe == 0 ? "\n  " : ",\n  ");
            writeLoopPipe(json, project, row);
        }
        json.raw("]");
    }
    json.raw("}\n");
    json.flush();
}

QString calculationTable(const Project& project, const NetworkResults& results, const QString& projectLabel,
                         const QLocale& locale) {
    QString out;
    out += QStringLiteral("Progetto: %1\n").arg(oneLine(projectLabel));
    out += QStringLiteral("Pressione disponibile: ") +
           pressureText(project.supplyPressure, project.pressureUnit, locale) + u'\n';
    out += QStringLiteral("Portata totale: %1 Lt/min\n")
               .arg(formatPicture(results.totalFlow, u"#,#0.00", locale));
    if (results.ring)
        out += kRingCaption + u'\n';
    std::array<QString, 10> headings;
    for (std::size_t c = 0; c < kColumns.size(); ++c)
        headings[c] = QString::fromLatin1(kColumns[c].heading);
    // The drops' unit beside their headings, unless they are in mm as they have always been.
    if (project.pressureUnit != PressureUnit::Millimetres)
        out += QStringLiteral("D.P. e SumDp in %1\n").arg(pressureUnitName(project.pressureUnit));
    const Checks checks = checksOf(project, results);
    for (const int16_t start : branchStarts(project)) {
        out += u'\n' + branchCaption(project, start) + u'\n';
        out += tableLine(headings);
        const std::vector<BranchRow> rows = computeBranchRows(project, results, start);
        for (const BranchRow& row : rows)
            out += tableLine(rowCells(project, row, locale));
        out += branchEndText(project, rows.back(), locale);
        out += warningLines(project, checks, start, locale);
    }
    if (!project.loopPipes.empty()) {
        // The loop pipes, each flowing from the first node named to the second when positive.
        headings[5] = QStringLiteral("Da > a");
        headings[8] = QString();
        out += QStringLiteral("\nAnelli\n") + tableLine(headings);
        for (const LoopPipeRow& row : computeLoopPipeRows(project, results))
            out += tableLine(loopPipeCells(project, row, locale));
        for (const NetworkWarning& warning : loopPipeWarnings(project, checks.verification, locale))
            out += QStringLiteral("Attenzione: ") + oneLine(warning.text) + u'\n';
    }
    return out;
}

} // namespace valmora
