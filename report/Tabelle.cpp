#include "report/Tabelle.h"

#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "report/CurvesPage.h"
#include "report/Materials.h"
#include "standards/VerificationText.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace valmora {

namespace {

constexpr int kMarginMm = 10;
constexpr int kPaperHeightMm = 297;
// The printer's usable width, as the report has always been laid out.
constexpr int kPrinterPageWidth = 200;
constexpr double kPrinterFontSize = 10;
const QString kReportFont = QStringLiteral("Courier New");

constexpr int kDateX = 90;
constexpr int kPageNumberRightGap = 25;
constexpr int kLongestHeaderPath = 50;
constexpr int kNotesRightGap = 30;
// A cell holds at most this many characters per millimetre of its width.
constexpr double kCharactersPerMillimetre = 0.91;
constexpr double kCellPadding = 1; // mm between a cell's text and its rules
constexpr int kHeavyRule = 2;
constexpr int kThinRule = 1;

const QString kHeaderPageMark = QStringLiteral("Pag.  1");
const QChar kNumberOverflow = u'#';

int16_t toInt16(int64_t value) {
    return static_cast<int16_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

int32_t scaledToWhole(double value) {
    return static_cast<int32_t>(roundHalfEven(value));
}

// The usable page: the paper less the top offset, a bottom margin of the same 10 mm and the
// footer's band above it, so that no line is printed past the paper's edge nor over the
// footer. The preview shows these pages as they are.
constexpr int32_t kFooterBandMm = 8;
constexpr int32_t kUsablePageHeight = kPaperHeightMm - 2 * kMarginMm - kFooterBandMm;
constexpr double kFooterFontSize = 8;

enum class Alignment { Left, Right, Centre };

struct Column {
    QString caption;
    Alignment alignment = Alignment::Left;
    int16_t width = 0;
    int32_t x = 0;
};

// "<30" left 30, ">14" right 14, "#12" centred 12; the number read up to its first non-digit.
Column columnFromFormat(const QString& format, float widthScale) {
    Column column;
    if (format.startsWith(u'>'))
        column.alignment = Alignment::Right;
    else if (format.startsWith(u'#'))
        column.alignment = Alignment::Centre;
    int number = 0;
    for (qsizetype i = 1;
         i < format.size() && format[i].isDigit() && number < std::numeric_limits<int16_t>::max(); ++i)
        number = number * 10 + format[i].digitValue();
    column.width = toInt16(roundHalfEven(double(float(number) * widthScale)));
    return column;
}

QString endKindText(int16_t next) {
    switch (-next) {
    case 0:
        return QStringLiteral("Nessuna term.");
    case 1:
        return QStringLiteral("Terminale");
    case 2:
        return QStringLiteral("Collettore modul");
    case 3:
        return QStringLiteral("Coll. monotubo");
    case 4:
        return QStringLiteral("Coll. pannelli");
    default:
        return QString();
    }
}

} // namespace

const QString Tabelle::kBranchTableHeader = QStringLiteral(
    "Nome|Lun.|L.eq.|Out|Tubo| Ø |D.P.|SumDP|Vel.|l/min;<30|>14|>14|<30|#12|>14|>14|>16|>14|>18;");

Tabelle::Tabelle(const Project& project, PrintSurface& surface, const ReportOptions& options,
                 ReportFacts& facts)
    : project_(project), surface_(surface), options_(options), facts_(facts),
      pressures_(calculationScale(project.pressureUnit)), pageHeight_(kUsablePageHeight),
      pageWidth_(kPrinterPageWidth), widthScale_(1.0f) {}

Tabelle::Tabelle(const Project& project, const NetworkResults& results, PrintSurface& surface,
                 const ReportOptions& options)
    : project_(project), surface_(surface), options_(options),
      ownFacts_(std::make_unique<ReportFacts>(project, results)), facts_(*ownFacts_),
      pressures_(calculationScale(project.pressureUnit)), pageHeight_(kUsablePageHeight),
      pageWidth_(kPrinterPageWidth), widthScale_(1.0f) {}

void Tabelle::warn(const QString& text) const {
    if (options_.warn)
        options_.warn(text);
}

void Tabelle::setScale() {
    surface_.setScaleMillimetres(kPageMarginOffset, kPageMarginOffset);
}

QString Tabelle::pathForHeader() const {
    const QString path = oneLine(project_.projectPath);
    return path.size() > kLongestHeaderPath ? QStringLiteral("...") + path.right(kLongestHeaderPath) : path;
}

// ---- 1. page header -----------------------------------------------------------------

void Tabelle::PrintReportHeader() {
    setScale();
    lineHeight_ = toInt16(roundHalfEven(surface_.textHeight(QStringLiteral("H"))));
    surface_.setCurrentY(0);
    surface_.setCurrentX(0);
    surface_.print(QStringLiteral("File: "), false);
    surface_.setBold(true);
    surface_.print(pathForHeader(), false);
    surface_.setBold(false);
    surface_.setCurrentX(kDateX);
    surface_.print(QLocale().toString(options_.date, QStringLiteral("dd/MM/yyyy")), false);
    // After a cover or the inputs the header stands on a later page: its mark says which.
    pageNumber_ = toInt16(surface_.pageNumber());
    const QString mark = pageNumber_ == 1 ? kHeaderPageMark : QStringLiteral("Pag. %1").arg(pageNumber_);
    surface_.setCurrentX((pageWidth_ - kPageNumberRightGap) - surface_.textWidth(mark));
    surface_.print(mark);
    surface_.print(QString());

    const double supply = project_.supplyPressure;
    surface_.print(QStringLiteral("Pressione di progetto: ") +
                   pressureReadout(supply, project_.pressureUnit));
    surface_.print(QString());
    // What the calculation uses, named as it is: the terminals' law is the calculation's own.
    surface_.print(QStringLiteral("Formule utilizzate: Hazen-Williams; terminali Q = K·p^(1/1,85)"));
    surface_.print(QStringLiteral("Le perdite di carico parziali e totali in tabella sono in ") +
                   (project_.pressureUnit == PressureUnit::Millimetres
                        ? pressures_.symbol
                        : pressureUnitName(project_.pressureUnit)));
    surface_.print(QString());
    printWrappedNotes();
}

// The number of leading characters of `text` that fit in `limit` (after a "W"). Widths grow
// with the length: a window twice as long as needed is found first, then halved, so that
// a line costs a few measures of about its own length whatever follows it.
qsizetype Tabelle::longestStartThatFits(QStringView text, int16_t limit) const {
    const auto fits = [&](qsizetype length) {
        return surface_.textWidth(QStringLiteral("W") + text.left(length).toString()) < limit;
    };
    qsizetype low = 0; // fits
    qsizetype high = 1;
    while (high < text.size() && fits(high)) {
        low = high;
        high = std::min(2 * high, text.size());
    }
    if (high >= text.size() && fits(text.size()))
        return text.size();
    // fits(low), !fits(high)
    while (high - low > 1) {
        const qsizetype mid = (low + high) / 2;
        (fits(mid) ? low : high) = mid;
    }
    return low;
}

// Each paragraph of the notes is wrapped at the last blank that fits; a word longer than a
// line is cut at its last character that fits. Every character is printed once.
void Tabelle::printWrappedNotes() {
    printWrapped(QStringLiteral("Note: ") + project_.projectNotes);
    surface_.print(QString());
}

void Tabelle::printWrapped(QString text) {
    const auto limit = toInt16(pageWidth_ - kNotesRightGap);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QString& paragraph : text.split(u'\n')) {
        QStringView rest(paragraph);
        for (;;) {
            const qsizetype fitting = longestStartThatFits(rest, limit);
            if (fitting >= rest.size())
                break;
            // fitting is the index of the first character that does not fit.
            const qsizetype blank = rest.lastIndexOf(u' ', fitting);
            const qsizetype cut = blank >= 0 ? blank + 1 : std::max<qsizetype>(fitting, 1);
            surface_.print(rest.left(cut).toString());
            rest = rest.mid(cut);
        }
        surface_.print(rest.toString());
    }
}

// ---- 2. branch tables ---------------------------------------------------------------

QString Tabelle::rowOf(int16_t index, const ReportRow& row) const {
    const Node& node = project_.NodeTable[index];
    const bool kv = node.isKvElement();
    const PipeSeries* series = project_.findSeries(node);
    const PipeDiameter* diameter = project_.findDiameter(node);
    QString out;
    if (!node.continues())
        out = endKindText(node.next);
    else if (node.derivation >= 1)
        out = oneLine(project_.NodeTable[node.derivation].name);
    const QStringList cells = {
        oneLine(node.name),
        kv ? QStringLiteral("><") : formatPicture(node.length, u"#0.0"),
        formatPicture(node.virtualLength, u"#0.0"),
        out,
        series ? series->code.trimmed() : QString(),
        kv         ? QStringLiteral("><")
        : diameter ? diameter->label
                   : QString(),
        pressures_.cell(row.drop),
        pressures_.cell(row.cumulativeDrop),
        row.velocity ? formatPicture(*row.velocity, u"#0.0") : QStringLiteral(" -"),
        formatPicture(row.flow, u"#0"),
    };
    return cells.join(u'|');
}

QString Tabelle::branchTitle(int16_t firstNode) const {
    return branchTitleOf(project_, firstNode);
}

int16_t Tabelle::PrintBranchTable(int16_t firstNode) {
    const std::vector<ReportRow> rows = computeReportRows(project_, facts_.results(), firstNode);
    const QString title = branchTitle(firstNode);
    QStringList table;
    table.reserve(qsizetype(rows.size()));
    for (const ReportRow& row : rows)
        table << rowOf(row.node, row);

    EnsureLines(toInt16(2 * int64_t(rows.size()) + 5));
    surface_.print(title);
    rowRules_ = 1;
    printTable(kBranchTableHeader.section(u';', 0, 0).split(u'|'),
               kBranchTableHeader.section(u';', 1, 1).split(u'|'), table);
    surface_.print(QString());
    printBranchEnd(firstNode, rows.back());
    return rows.back().node;
}

const StandardCheck& ReportFacts::standardCheck() {
    if (!check_)
        check_ = verifyStandard(project_, project_.standardSettings);
    return *check_;
}

const NetworkVerification* ReportFacts::networkChecks() {
    if (!checks_) {
        checks_.emplace();
        // A network the converged solution cannot solve is reported without the checks.
        const ConvergedSolution converged = convergedSolutionFor(project_, results_);
        if (converged.ok)
            *checks_ = VerifyNetwork(project_, results_, converged);
    }
    return *checks_ ? &**checks_ : nullptr;
}

const OperatingChart& ReportFacts::chart() {
    if (!chart_)
        chart_ = operatingChart(
            project_, project_.standardSettings.standard != Standard::None ? &standardCheck() : nullptr);
    return *chart_;
}

const MaterialsTotals& ReportFacts::materials() {
    if (!materials_)
        materials_ = totalMaterials(project_, results_);
    return *materials_;
}

bool Tabelle::printBranchWarnings(int16_t firstNode) {
    const NetworkVerification* verification = checks();
    if (!verification)
        return false;
    const std::vector<NetworkWarning> said = branchWarnings(project_, *verification, firstNode);
    for (const NetworkWarning& warning : said)
        surface_.print(QStringLiteral("Attenzione: ") + oneLine(warning.text));
    return !said.empty();
}

void Tabelle::printBranchEnd(int16_t firstNode, const ReportRow& lastRow) {
    const Node& last = project_.NodeTable[lastRow.node];
    const Terminal* terminal = last.endsInTerminal() ? project_.findTerminal(last) : nullptr;
    const TerminalType* type = terminal ? project_.findTerminalType(*terminal) : nullptr;
    if (last.next == kEndWithoutTerminal)
        openEndBranches_ << branchTitle(firstNode);
    if (!type) {
        if (printBranchWarnings(firstNode))
            surface_.print(QString());
        return;
    }
    surface_.print(oneLine(type->name) + QStringLiteral(" - K = ") + formatGeneral(type->kFactor), false);
    surface_.print(terminal->height > 0 ? QStringLiteral(" - Quota m ") + formatGeneral(terminal->height)
                                        : QString());
    if (isNullFlow(lastRow.flow)) {
        surface_.print(kNullFlowText);
        printBranchWarnings(firstNode);
        return;
    }
    const double left = pressureLeft(project_, lastRow.cumulativeDrop, terminal->height);
    surface_.print(QStringLiteral("Pressione disponibile al terminale ") +
                   pressureReadout(left, project_.pressureUnit));
    printBranchWarnings(firstNode);
    surface_.print(QString());
}

void Tabelle::WarnOpenEnds() {
    if (openEndBranches_.isEmpty())
        return;
    if (openEndBranches_.size() == 1) {
        warn(QStringLiteral(
                 "Il ramo \"%1\" termina senza terminale: nel rapporto è segnalato come estremità aperta.")
                 .arg(openEndBranches_.first()));
    } else {
        warn(QStringLiteral(
                 "I rami \"%1\" terminano senza terminale: nel rapporto sono segnalati come estremità "
                 "aperte.")
                 .arg(openEndBranches_.join(QStringLiteral("\", \""))));
    }
    openEndBranches_.clear();
}

int16_t nextBranchStart(const Project& project, int16_t lastNode) {
    int16_t climbing = lastNode;
    while (climbing != 0) {
        const int16_t parent = project.NodeTable[climbing].parent;
        if (parent == 0)
            return 0;
        const Node& p = project.NodeTable[parent];
        if (p.derivation > 0 && p.next == climbing)
            return p.derivation;
        climbing = parent;
    }
    return 0;
}

int16_t Tabelle::NextBranchStart(int16_t lastNode) const {
    return nextBranchStart(project_, lastNode);
}

std::vector<int16_t> branchesInReportOrder(const Project& project) {
    std::vector<int16_t> firsts;
    int16_t start = 1;
    do {
        firsts.push_back(start);
        int16_t last = start;
        while (project.NodeTable[std::size_t(last)].continues())
            last = project.NodeTable[std::size_t(last)].next;
        start = nextBranchStart(project, last);
    } while (start != 0);
    return firsts;
}

QString branchTitleOf(const Project& project, int16_t firstNode) {
    if (firstNode == 1)
        return QStringLiteral("Tronco iniziale");
    return QStringLiteral("Derivato da ") +
           oneLine(project.NodeTable[project.NodeTable[firstNode].parent].name);
}

void Tabelle::PrintNodesSection() {
    int16_t start = 1;
    do
        start = NextBranchStart(PrintBranchTable(start));
    while (start != 0);
    WarnOpenEnds();
    PrintLoopPipes();
}

void Tabelle::PrintLoopPipes() {
    if (project_.loopPipes.empty())
        return;
    // Each pipe between the two nodes it joins, its flow positive from the first to the second.
    constexpr int kName = 18, kEnds = 28, kLength = 6, kBore = 5, kFlow = 8, kSpeed = 7, kDrop = 8;
    QString text =
        QStringLiteral("\n  Anelli (portata positiva dal primo nodo al secondo)\n") +
        QStringLiteral("Nome").leftJustified(kName) + QStringLiteral("Da > a").leftJustified(kEnds) +
        QStringLiteral("metri").rightJustified(kLength) + QStringLiteral("Phi").rightJustified(kBore) +
        QStringLiteral("l/min").rightJustified(kFlow) + QStringLiteral("m/s").rightJustified(kSpeed) +
        QStringLiteral("D.P.").rightJustified(kDrop) + u'\n';
    const PressureScale pressures = calculationScale(project_.pressureUnit);
    for (const LoopPipeRow& row : computeLoopPipeRows(project_, facts_.results())) {
        const LoopPipe& pipe = project_.loopPipes[row.pipe];
        const Node section = pipe.asSection();
        const QString ends = oneLine(project_.NodeTable[std::size_t(pipe.nodeA)].name) +
                             QStringLiteral(" > ") +
                             oneLine(project_.NodeTable[std::size_t(pipe.nodeB)].name);
        text +=
            oneLine(pipe.name).leftJustified(kName, u' ', true) + ends.leftJustified(kEnds, u' ', true) +
            (section.isKvElement() ? QStringLiteral("KV").rightJustified(kLength)
                                   : PadField(pipe.length, kLength, 1)) +
            PadField(section.isKvElement() ? QString() : project_.diameterOf(section).label, kBore, 0) +
            (pipe.closed ? QStringLiteral("chiuso").rightJustified(kFlow) : PadField(row.flow, kFlow, 1)) +
            (row.velocity ? PadField(*row.velocity, kSpeed, 2) : QString(kSpeed, u' ')) +
            pressures.cell(row.drop).rightJustified(kDrop) + u'\n';
    }
    if (const NetworkVerification* verification = checks())
        for (const NetworkWarning& warning : loopPipeWarnings(project_, *verification))
            text += QStringLiteral("Attenzione: ") + oneLine(warning.text) + u'\n';
    printSection(text);
}

// ---- 4. tables ----------------------------------------------------------------------

void Tabelle::PrintGridTable(const QString& layout) {
    if (layout.isEmpty()) {
        warn(QStringLiteral("lenStr=0"));
        return;
    }
    const QStringList parts = layout.split(u';');
    QStringList rows;
    for (qsizetype i = 2; i < parts.size(); ++i) {
        if (parts[i].isEmpty())
            break;
        rows << parts[i];
    }
    printTable(parts.value(0).split(u'|'), parts.value(1).split(u'|'), rows);
}

void Tabelle::printTable(const QStringList& captions, const QStringList& formats, const QStringList& rows) {
    setScale();
    const int16_t halfLine = toInt16(roundHalfEven(surface_.textHeight(QStringLiteral("H"))) / 2);
    std::vector<Column> columns;
    int32_t total = 0;
    for (qsizetype i = 0; i < captions.size(); ++i) {
        Column column = columnFromFormat(formats.value(i), widthScale_);
        column.caption = captions[i];
        column.x = total;
        total += column.width;
        columns.push_back(column);
    }

    const auto printCell = [&](const Column& column, const QString& text) {
        const QString shown = fittedCell(column.width, text);
        const double width = surface_.textWidth(shown);
        switch (column.alignment) {
        case Alignment::Left:
            surface_.setCurrentX(column.x + kCellPadding);
            break;
        case Alignment::Right:
            surface_.setCurrentX(column.x + column.width - width - kCellPadding);
            break;
        case Alignment::Centre:
            surface_.setCurrentX(column.x + int32_t(column.width - width) / 2);
            break;
        }
        surface_.print(shown, false);
    };
    int32_t top = 0;
    const auto printCaptions = [&] {
        top = scaledToWhole(surface_.currentY());
        surface_.setCurrentY(surface_.currentY() + halfLine);
        for (const Column& column : columns)
            printCell(column, column.caption);
        surface_.print(QString());
        surface_.line(0, surface_.currentY(), total, surface_.currentY());
    };
    int32_t bottom = 0;
    const auto frame = [&] {
        surface_.setDrawWidth(kHeavyRule);
        surface_.setCurrentX(0);
        surface_.setCurrentY(top);
        surface_.lineStep(total, 0);
        surface_.lineStep(0, bottom - top);
        surface_.lineStep(-total, 0);
        surface_.lineStep(0, top - bottom);
        surface_.setDrawWidth(kThinRule);
        for (std::size_t c = 1; c < columns.size(); ++c)
            surface_.line(columns[c].x, top, columns[c].x, bottom);
    };

    printCaptions();
    bottom = scaledToWhole(surface_.currentY());
    for (const QString& row : rows) {
        // A table longer than the page goes on over the next one, under its captions again.
        if (surface_.currentY() + halfLine + lineHeight_ > pageHeight_) {
            frame();
            pageBreak();
            printCaptions();
        }
        surface_.setCurrentY(surface_.currentY() + halfLine);
        const QStringList cells = row.split(u'|');
        for (qsizetype c = 0; c < cells.size() && c < qsizetype(columns.size()); ++c)
            printCell(columns[std::size_t(c)], cells[c]);
        surface_.print(QString());
        bottom = scaledToWhole(surface_.currentY());
        if (rowRules_ == 1)
            surface_.line(0, bottom, total, bottom);
    }
    frame();
}

// At most 0.91 characters a millimetre of the column, and never wider than the column: a
// text is cut and ends with the cut mark, a number that cannot be shown whole shows as "#"
// marks instead. Nothing cut reads as another valid value.
QString Tabelle::fittedCell(int16_t columnWidth, const QString& text) const {
    const qsizetype characters = qsizetype(roundHalfEven(columnWidth * kCharactersPerMillimetre));
    const double room = columnWidth - 2 * kCellPadding;
    if (text.size() <= characters && surface_.textWidth(text) <= room)
        return text;
    QString shown = text.left(characters);
    while (!shown.isEmpty() && surface_.textWidth(shown) > room)
        shown.chop(1);
    if (parseUserNumber(text).has_value())
        return QString(shown.size(), kNumberOverflow);
    return cutToFit(text, int(shown.size()));
}

// ---- 5. pages -----------------------------------------------------------------------

void Tabelle::EnsureLines(int16_t lines) {
    if (surface_.currentY() + double(lines) * lineHeight_ > pageHeight_)
        pageBreak();
    surface_.setCurrentX(0);
}

void Tabelle::pageBreak() {
    surface_.newPage();
    pageNumber_ = toInt16(surface_.pageNumber());
    surface_.print(pathForHeader(), false);
    const QString mark = QStringLiteral("Pag. %1").arg(pageNumber_);
    surface_.setCurrentX((pageWidth_ - kPageNumberRightGap) - surface_.textWidth(mark));
    surface_.print(mark);
}

// ---- 6., 7. materials ---------------------------------------------------------------

void Tabelle::PrintPipeMaterials() {
    QString text = QStringLiteral("\n  Elenco Materiali - Tubazioni\n");
    float total = 0;
    for (const SeriesMaterials& listed : pipeMaterials(project_, facts_.materials())) {
        const PipeSeries& series = project_.PipeCatalogue[std::size_t(listed.seriesIndex)];
        text += oneLine(series.name) + QStringLiteral("\nDiam.  Phi est.     metri      kg\n");
        for (const DiameterMaterials& d : listed.diameters) {
            const PipeDiameter& diameter = series.diameters[std::size_t(d.diameterIndex)];
            text += PadField(diameter.label, 5, 0) + u'\t' + PadField(diameter.outerDiameter, 7, 1) +
                    formatToTenth(d.totalLength, u"#0").rightJustified(10, u' ', true) +
                    PadField(d.weight, 10, 1) + u'\n';
        }
        total += listed.weight;
        if (listed.weight > 0)
            text +=
                PadField(QStringLiteral("Peso parziale kg "), 26, 0) + PadField(listed.weight, 9, 1) + u'\n';
    }
    if (total > 0)
        text += PadField(QStringLiteral("Peso totale kg "), 26, 0) + PadField(total, 9, 1) + u'\n';
    printSection(text);
}

void Tabelle::PrintTerminalList() {
    QString text = QStringLiteral("\n  Elenco Materiali - TERMINALI\n");
    const std::vector<TerminalMaterials> types = terminalMaterials(project_, facts_.materials());
    int64_t active = 0;
    for (const TerminalMaterials& listed : types) {
        active += listed.activeCount;
        text += QStringLiteral("N.   ") + formatPicture(listed.count, u"#0") + QStringLiteral("   ") +
                oneLine(project_.TerminalCatalogue[std::size_t(listed.typeIndex)].name) + u'\n';
    }
    text += QStringLiteral(" In totale i terminali sono %1\n I terminali attivi sono %2\n")
                .arg(totalTerminalCount(types))
                .arg(active);
    printSection(text);
}

// A section that does not fit in the rest of the page starts on a new one.
void Tabelle::printSection(const QString& text) {
    EnsureLines(toInt16(int64_t(surface_.textHeight(text) / lineHeight_)));
    surface_.print(text);
}

// ---- the verification against the standard --------------------------------------------

namespace {
// The members' table: name, type, flow, pressure, the two minimums, the verdict.
const QString kMemberColumns = QStringLiteral("<30|<30|>14|>18|>18|>18|>18|<36");
// The calculation sheet's columns, as sheetCaptions() names them.
const QString kSheetColumns = QStringLiteral("<28|<11|>13|>12|>13|>13|>8|>16|>12|>15|>13|>14");
// The sheet's twelve columns hold their figures whole in a smaller print.
constexpr double kSheetFontSize = 8;
} // namespace

void Tabelle::printLines(const QStringList& lines) {
    for (const QString& line : lines)
        printWrapped(line);
}

void Tabelle::printMembers(const QString& heading, const std::vector<MemberCheck>& members, int columns) {
    // The heading goes with its table: a table is never split from it, nor across pages.
    EnsureLines(toInt16(2 * int64_t(members.size()) + 5));
    surface_.print(heading);
    if (members.empty())
        return;
    QStringList rows;
    for (const MemberCheck& m : members)
        rows << memberCells(m, project_.pressureUnit).mid(0, columns).join(u'|');
    rowRules_ = 1;
    printTable(memberCaptions(project_.pressureUnit).mid(0, columns),
               kMemberColumns.split(u'|').mid(0, columns), rows);
    surface_.print(QString());
}

void Tabelle::printSheet(const QString& title, const std::vector<SheetSection>& sections) {
    pageBreak();
    surface_.setBold(true);
    printWrapped(title);
    surface_.setBold(false);
    QStringList rows;
    for (const SheetSection& section : sections)
        rows << sheetCells(section, project_.pressureUnit).join(u'|');
    const PrintFont body = surface_.font();
    PrintFont small = body;
    small.size = kSheetFontSize;
    surface_.setFont(small);
    rowRules_ = 1;
    printTable(sheetCaptions(project_.pressureUnit), kSheetColumns.split(u'|'), rows);
    surface_.setFont(body);
    if (const QString note = sheetLoopPipesNote(sections); !note.isEmpty())
        printWrapped(note);
    surface_.print(QString());
    printWrapped(velocityLimitsText());
}

void Tabelle::PrintVerification() {
    const StandardSettings& settings = project_.standardSettings;
    EnsureLines(6);
    surface_.print(QString());
    if (settings.standard == Standard::None) {
        surface_.print(QStringLiteral("Verifica di norma: nessuna norma impostata per il progetto."));
        return;
    }
    const StandardCheck& check = facts_.standardCheck();
    surface_.setBold(true);
    surface_.print(verificationTitle(check));
    surface_.setBold(false);
    if (!check.verified()) {
        printLines(verificationLines(project_, check).mid(1)); // the units and why it could not be made
        return;
    }
    surface_.print(pressureUnitsText(project_.pressureUnit));
    // The verification's own law, which is the standards' and not the calculation's.
    printWrapped(QStringLiteral(
        "Formule della verifica: Hazen-Williams; terminali Q = K·√p, UNI 10779 / UNI EN 12845"));
    if (!conversionsSaid_)
        printWrapped(unitsBesideCalculationText(project_.pressureUnit));
    printWrapped(supplyLine(check));
    printLines(supplyDataLines(check));
    if (check.standard == Standard::En12845)
        surface_.print(hazardLine(check));
    EnsureLines(toInt16(int64_t(check.requirements.size()) + 2));
    printLines(requirementLines(check));
    for (const ScenarioCheck& scenario : check.scenarios) {
        EnsureLines(8);
        surface_.print(QString());
        surface_.setBold(true);
        surface_.print(scenarioHeading(scenario));
        surface_.setBold(false);
        printMembers(setCaption(scenario.mostUnfavourable, true), scenario.mostUnfavourable.members,
                     int(memberCaptions(project_.pressureUnit).size()));
        printLines(unfavourableSummary(project_, check, scenario));
        if (!scenario.mostFavourable.members.empty()) {
            printMembers(setCaption(scenario.mostFavourable, false), scenario.mostFavourable.members, 5);
            printLines(favourableSummary(project_, check, scenario));
        }
        for (const bool unfavourable : {true, false})
            if (const auto& designer =
                    unfavourable ? scenario.designerUnfavourable : scenario.designerFavourable) {
                printMembers(designerCaption(unfavourable), designer->members,
                             unfavourable ? int(memberCaptions(project_.pressureUnit).size()) : 5);
                printLines(setSummary(project_, check, scenario, *designer, unfavourable));
            }
        if (scenario.singleOutlet)
            printWrapped(singleOutletLine(*scenario.singleOutlet, project_.pressureUnit));
        for (const QString& note : scenarioNotesText(scenario))
            printWrapped(QStringLiteral("Nota: ") + note);
        surface_.print(scenarioVerdictText(scenario));
    }
    EnsureLines(3);
    surface_.print(QString());
    surface_.setBold(true);
    printWrapped(verdictText(project_, check));
    surface_.setBold(false);
    // The calculation sheets, each on pages of its own, for a reviewer to follow the numbers.
    for (const ScenarioCheck& scenario : check.scenarios) {
        std::vector<std::pair<const SetCheck*, bool>> positions{{&scenario.mostUnfavourable, true},
                                                                {&scenario.mostFavourable, false}};
        if (scenario.designerUnfavourable)
            positions.push_back({&*scenario.designerUnfavourable, true});
        if (scenario.designerFavourable)
            positions.push_back({&*scenario.designerFavourable, false});
        for (const auto& [set, unfavourable] : positions)
            if (!set->sections.empty())
                printSheet(sheetTitle(scenario, *set, unfavourable), set->sections);
    }
}

// ---- 8. padded fields ---------------------------------------------------------------

QString Tabelle::PadField(double value, int width, int decimals) {
    const QString picture =
        decimals >= 1 ? QStringLiteral("#0.0") + QString(decimals - 1, u'0') : QStringLiteral("#,#0");
    return formatPicture(value, picture).rightJustified(width, u' ', true);
}

QString Tabelle::PadField(const QString& value, int width, int decimals) {
    if (const std::optional<double> number = parseUserNumber(value))
        return PadField(*number, width, decimals);
    return value.rightJustified(width, u' ', true);
}

// ---- the whole report ---------------------------------------------------------------

PdfDocumentInfo projectPdfInfo(const Project& project, const QString& document) {
    const ReportData& data = project.reportData;
    return projectDocumentInfo(document, project.projectPath, data.progettista, data.oggetto,
                               data.committente, data.ubicazione);
}

QString paperBinText(int bin) {
    switch (bin) {
    case 1:
        return QStringLiteral("superiore");
    case 2:
        return QStringLiteral("inferiore");
    case 4:
        return QStringLiteral("manuale (?)");
    case 11:
        return QStringLiteral("grande");
    case 265:
        return QStringLiteral("di default");
    default:
        return QStringLiteral("indefinito");
    }
}

QString printedMessage(const QString& deviceName, int paperBin) {
    return QStringLiteral("Stampato su ") + deviceName + QStringLiteral("\r\nCassetto ") +
           paperBinText(paperBin);
}

ReportSections ReportSections::everything(const Project& project) {
    ReportSections all;
    const StandardSettings& s = project.standardSettings;
    all.verification = s.standard != Standard::None;
    all.curves = all.verification || s.supply.kind != SupplyKind::Fixed;
    all.cover = all.signature = !project.reportData.isEmpty();
    all.inputs = all.summary = true;
    return all;
}

void Tabelle::PrintFooter(PrintSurface& surface, int page) const {
    surface.setScaleMillimetres(kPageMarginOffset, kPageMarginOffset);
    PrintFont font;
    font.name = kReportFont;
    font.size = kFooterFontSize;
    surface.setFont(font);
    const double top = pageHeight_ + kFooterBandMm / 2.0;
    surface.setDrawWidth(kThinRule);
    surface.line(0, top, pageWidth_ - kMarginMm, top);
    QString project = QStringLiteral("Progetto: ") + oneLine(QFileInfo(project_.projectPath).fileName());
    if (!project_.reportData.revisione.isEmpty())
        project += QStringLiteral(" - Rev. ") + oneLine(project_.reportData.revisione);
    surface.setCurrentX(0);
    surface.setCurrentY(top + kCellPadding);
    surface.print(project, false);
    const QString pages = options_.totalPages > 0
                              ? QStringLiteral("pagina %1 di %2").arg(page).arg(options_.totalPages)
                              : QStringLiteral("pagina %1").arg(page);
    surface.setCurrentX(pageWidth_ - kMarginMm - surface.textWidth(pages));
    surface.print(pages, false);
}

namespace {

void layOutReport(const Project& project, PrintSurface& surface, const ReportSections& sections,
                  const ReportOptions& options, ReportFacts& facts) {
    PrintFont font;
    font.name = kReportFont;
    font.size = kPrinterFontSize;
    font.bold = true;
    surface.setFont(font);
    Tabelle report(project, surface, options, facts);
    surface.setPageFooter([&report](PrintSurface& on, int page) { report.PrintFooter(on, page); });
    if (sections.cover)
        report.PrintCover();
    if (sections.inputs)
        report.PrintInputs();
    if (sections.summary)
        report.PrintSummary();
    if (sections.cover || sections.inputs || sections.summary)
        surface.newPage();
    surface.setFont(font);
    report.PrintReportHeader();
    if (sections.nodes)
        report.PrintNodesSection();
    if (sections.materials)
        report.PrintPipeMaterials();
    if (sections.terminals)
        report.PrintTerminalList();
    if (sections.verification)
        report.PrintVerification();
    if (sections.curves) {
        surface.newPage();
        PrintCurves(facts.chart(), project, surface);
    }
    if (sections.signature) {
        surface.setFont(font);
        report.PrintSignature();
    }
    surface.endDocument();
    surface.setPageFooter(nullptr);
}

} // namespace

void PrintReport(const Project& project, const NetworkResults& results, PrintSurface& surface,
                 const ReportSections& sections, const ReportOptions& options) {
    if (!sections.any())
        return;
    ReportFacts facts(project, results);
    ReportOptions laidOut = options;
    if (laidOut.totalPages <= 0) {
        // Laid out once in silence to count the pages: the same metrics give the same breaks.
        int pages = 0;
        RecordingSurface counting(surface.metrics(), [&pages](const RecordedPage&) { ++pages; });
        ReportOptions quiet = options;
        quiet.warn = nullptr;
        layOutReport(project, counting, sections, quiet, facts);
        laidOut.totalPages = pages;
    }
    layOutReport(project, surface, sections, laidOut, facts);
}

} // namespace valmora
