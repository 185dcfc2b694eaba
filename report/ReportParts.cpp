// The parts of the report a designer signs around the calculation's tables: the cover with the
// project's data and the revision table, the inputs, the summary of the verdicts and the
// signature block.

#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"
#include "report/Tabelle.h"
#include "standards/StandardHydraulics.h"
#include "standards/StandardTables.h"
#include "standards/VerificationText.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace valmora {

namespace {

constexpr double kTitleSize = 16;
constexpr double kSubtitleSize = 12;
constexpr double kPartHeadingSize = 11;
constexpr double kLabelWidthMm = 58; // the cover's labels, before their values
constexpr double kMarginRight = 10;  // the page's right margin, inside its width
constexpr int kCoverTitleLines = 3;  // blank lines above the cover's title

// The revision table: Rev. | Data | Descrizione | Redatto.
constexpr int16_t kRevisionNoteWidth = 100;
const QString kRevisionColumns = QStringLiteral("#14|#26|<%1|<50").arg(kRevisionNoteWidth);
// The summary: Scenario | P richiesta | Q richiesta | Funzionamento | Riserva | Esito.
const QString kSummaryColumns = QStringLiteral("<46|>24|>22|<46|>24|<28");
constexpr double kStampWidthMm = 70;
constexpr double kStampHeightMm = 35;
constexpr int kSignatureLines = 16; // what the signature block needs on its page
constexpr int kSummaryLines = 12;   // the summary's lines beside its table's rows

QString dateText(const Project& project, const QDate& date) {
    if (!project.reportData.data.isEmpty())
        return oneLine(project.reportData.data);
    return QLocale().toString(date, QStringLiteral("dd/MM/yyyy"));
}

QString flowText(double flow) {
    return formatPicture(flow, u"#,#0");
}

// The terminals the network reaches, by their role in the verification.
std::map<TerminalRole, int> terminalsByRole(const Project& project) {
    std::map<TerminalRole, int> counts;
    for (const int16_t i : networkPreorder(project)) {
        const Node& node = project.NodeTable[std::size_t(i)];
        if (const Terminal* terminal = project.findTerminal(node))
            ++counts[roleOf(project.standardSettings, project, terminal->typeIndex)];
    }
    return counts;
}

} // namespace

bool Tabelle::roomFor(int lines) const {
    return surface_.currentY() + lines * surface_.textHeight(QStringLiteral("H")) <= pageHeight_;
}

void Tabelle::startOnNewPage() {
    surface_.newPage();
    pageNumber_ = int16_t(std::min(surface_.pageNumber(), int(std::numeric_limits<int16_t>::max())));
    surface_.setScaleMillimetres(kPageMarginOffset, kPageMarginOffset);
    surface_.setCurrentX(0);
    surface_.setCurrentY(0);
}

void Tabelle::printHeading(const QString& text) {
    const PrintFont body = surface_.font();
    PrintFont heading = body;
    heading.size = kPartHeadingSize;
    heading.bold = true;
    surface_.setFont(heading);
    surface_.print(text);
    surface_.setFont(body);
    surface_.print(QString());
}

void Tabelle::printLabelled(const QString& label, const QString& value) {
    if (value.trimmed().isEmpty())
        return;
    surface_.setCurrentX(0);
    surface_.print(label, false);
    // A value of several lines, or longer than the page, goes on under its label's column,
    // broken at its last blank that fits.
    surface_.setBold(true);
    const double room = pageWidth_ - kMarginRight - kLabelWidthMm;
    const QStringList lines =
        QString(value).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    for (const QString& line : lines) {
        QString rest = line;
        do {
            qsizetype fits = rest.size();
            while (fits > 1 && surface_.textWidth(rest.left(fits)) > room)
                --fits;
            if (fits < rest.size()) {
                const qsizetype blank = rest.lastIndexOf(u' ', fits);
                if (blank > 0)
                    fits = blank + 1;
            }
            surface_.setCurrentX(kLabelWidthMm);
            surface_.print(rest.left(fits).trimmed());
            rest = rest.mid(fits);
        } while (!rest.isEmpty());
    }
    surface_.setBold(false);
}

// ---- the cover ----------------------------------------------------------------------

void Tabelle::PrintCover() {
    setScale();
    surface_.setCurrentX(0);
    surface_.setCurrentY(0);
    const ReportData& data = project_.reportData;
    const PrintFont body = surface_.font();
    for (int i = 0; i < kCoverTitleLines; ++i)
        surface_.print(QString());
    PrintFont title = body;
    title.size = kTitleSize;
    title.bold = true;
    surface_.setFont(title);
    surface_.print(QStringLiteral("RELAZIONE DI CALCOLO"));
    title.size = kSubtitleSize;
    surface_.setFont(title);
    surface_.print(QStringLiteral("Impianto idrico antincendio: dimensionamento e verifica idraulica"));
    surface_.setFont(body);
    surface_.setBold(false);
    surface_.print(QString());
    surface_.print(QString());
    printLabelled(QStringLiteral("Committente:"), data.committente);
    printLabelled(QStringLiteral("Ubicazione dell'impianto:"), data.ubicazione);
    printLabelled(QStringLiteral("Oggetto:"), data.oggetto);
    const StandardCheck& check = facts_.standardCheck();
    printLabelled(QStringLiteral("Norma di riferimento:"),
                  project_.standardSettings.standard == Standard::None
                      ? QStringLiteral("nessuna verifica di norma impostata")
                      : verificationTitle(check));
    printLabelled(QStringLiteral("Progettista:"), data.progettista);
    printLabelled(QStringLiteral("Albo e n. d'iscrizione:"), data.iscrizione);
    printLabelled(QStringLiteral("File del progetto:"), oneLine(project_.projectPath));
    printLabelled(QStringLiteral("Data:"), dateText(project_, options_.date));
    surface_.print(QString());
    surface_.print(QString());

    surface_.setBold(true);
    surface_.print(QStringLiteral("Revisioni"));
    surface_.setBold(false);
    const QString note = oneLine(data.noteRevisione);
    const QString row = QStringList{oneLine(data.revisione), dateText(project_, options_.date), note,
                                    oneLine(data.progettista)}
                            .join(u'|');
    rowRules_ = 1;
    printTable({QStringLiteral("Rev."), QStringLiteral("Data"), QStringLiteral("Descrizione"),
                QStringLiteral("Redatto")},
               kRevisionColumns.split(u'|'), {row});
    surface_.print(QString());
    // Notes longer than their cell, or of several lines, are written whole under the table.
    if (fittedCell(kRevisionNoteWidth, note) != note || data.noteRevisione.contains(u'\n'))
        printWrapped(QStringLiteral("Note di revisione: ") + data.noteRevisione);
}

// ---- the inputs ---------------------------------------------------------------------

QStringList Tabelle::roleLines(const StandardCheck& check) const {
    QStringList lines;
    const std::map<TerminalRole, int> counts = terminalsByRole(project_);
    for (const auto& [role, count] : counts) {
        if (role == TerminalRole::NotVerified) {
            lines << QStringLiteral("Terminali non verificati: %1 nella rete").arg(count);
            continue;
        }
        QString line = QStringLiteral("%1: %2 nella rete").arg(rolePlural(role)).arg(count);
        for (const ScenarioCheck& scenario : check.scenarios)
            if (scenario.role == role)
                line += QStringLiteral(", %1 contemporanei per %2 minuti")
                            .arg(scenario.count)
                            .arg(scenario.durationMinutes);
        lines << line;
    }
    return lines;
}

QStringList Tabelle::seriesInUseLines() const {
    // Series and diameters the network's sections use, in catalogue order.
    std::map<int16_t, std::set<int16_t>> used;
    int valves = 0;
    for (const int16_t i : networkPreorder(project_)) {
        const Node& node = project_.NodeTable[std::size_t(i)];
        if (node.isKvElement())
            ++valves;
        else if (project_.findDiameter(node))
            used[node.seriesIndex].insert(node.diameterIndex);
    }
    QStringList lines;
    for (const auto& [seriesIndex, diameters] : used) {
        const PipeSeries& series = project_.PipeCatalogue[std::size_t(seriesIndex)];
        QStringList bores;
        for (const int16_t d : diameters) {
            const PipeDiameter& diameter = series.diameters[std::size_t(d)];
            bores << QStringLiteral("%1 = %2 mm")
                         .arg(oneLine(diameter.label).trimmed(),
                              formatPicture(diameter.innerDiameter, u"#0.0"));
        }
        lines << QStringLiteral("%1 (%2): C = %3; diametri interni %4")
                     .arg(oneLine(series.name).trimmed(), oneLine(series.code).trimmed())
                     .arg(series.hazenC)
                     .arg(bores.join(QStringLiteral(", ")));
    }
    if (valves > 0)
        lines << QStringLiteral("Valvole e organi dati per il loro KV: %1").arg(valves);
    return lines;
}

QStringList Tabelle::lawLines() const {
    return {
        QStringLiteral(
            "Perdite distribuite, Hazen-Williams (UNI 10779, UNI EN 12845): "
            "J = 6,05·10^5 · Q^1,85 / (C^1,85 · d^4,87) bar al metro, Q in l/min, d interno in mm."),
        QStringLiteral("Nel calcolo della rete: DP = Q^1,85 · (L + Leq) · Kf / d^4,87 in mm c.a., "
                       "Kf = 6,05·10^9 / C^1,85 della serie, L e Leq in m."),
        QStringLiteral("Terminali nel calcolo: Q = K · p^(1/1,85), K in l/min a 1 bar, p in bar a 10 m c.a."),
        QStringLiteral("Terminali nella verifica (UNI 10779, UNI EN 12845): Q = K · √p, p in bar."),
        QStringLiteral("Valvole e organi: DP = (Q / (1000 · KV))^1,85 bar, a 10 m c.a. per bar."),
        QStringLiteral("Dislivelli: 1 m = 1.000 mm c.a. (0,098 bar)."),
    };
}

void Tabelle::PrintInputs() {
    setScale();
    if (surface_.currentY() > 0) {
        startOnNewPage();
    } else {
        surface_.setCurrentX(0);
        surface_.setCurrentY(0);
    }
    printHeading(QStringLiteral("DATI DI PROGETTO"));
    const StandardSettings& settings = project_.standardSettings;
    const StandardCheck& check = facts_.standardCheck();
    if (settings.standard == Standard::None) {
        printWrapped(QStringLiteral(
            "Norma: nessuna verifica di norma impostata; la relazione dà il calcolo idraulico."));
        printWrapped(QStringLiteral("Alimentazione: pressione di progetto fissa, ") +
                     pressureReadout(project_.supplyPressure, project_.pressureUnit));
    } else {
        printWrapped(QStringLiteral("Norma: ") + verificationTitle(check));
        if (check.standard == Standard::En12845)
            printWrapped(hazardLine(check));
        printLines(roleLines(check));
        if (check.verified())
            printLines(supplyDataLines(check));
        else
            printWrapped(QStringLiteral("Alimentazione: non verificata (") +
                         oneLine(verificationProblemText(project_, check)) + u')');
        printWrapped(QStringLiteral("Pressione di progetto del calcolo: ") +
                     pressureReadout(project_.supplyPressure, project_.pressureUnit));
    }
    surface_.print(QString());
    surface_.setBold(true);
    surface_.print(QStringLiteral("Tubazioni in uso"));
    surface_.setBold(false);
    printLines(seriesInUseLines());
    surface_.print(QString());
    surface_.setBold(true);
    surface_.print(QStringLiteral("Formule"));
    surface_.setBold(false);
    printLines(lawLines());
    printWrapped(unitsBesideCalculationText(project_.pressureUnit));
    conversionsSaid_ = true;
    inputsOnThisPage_ = surface_.pageNumber();
    surface_.print(QString());
}

// ---- the summary --------------------------------------------------------------------

void Tabelle::PrintSummary() {
    setScale();
    // Under the inputs when it fits there; never on the cover.
    const int lines = kSummaryLines + 2 * int(facts_.standardCheck().scenarios.size());
    if (surface_.currentY() > 0 && (inputsOnThisPage_ != surface_.pageNumber() || !roomFor(lines))) {
        startOnNewPage();
    } else if (surface_.currentY() <= 0) {
        surface_.setCurrentX(0);
        surface_.setCurrentY(0);
    }
    printHeading(QStringLiteral("SINTESI DEI RISULTATI"));
    printWrapped(
        QStringLiteral("Calcolo della rete%1: portata totale %2 l/min alla pressione di progetto %3.")
            .arg(facts_.results().ring ? QStringLiteral(" (") + kRingCaption + u')' : QString(),
                 flowText(facts_.results().totalFlow),
                 pressureReadout(project_.supplyPressure, project_.pressureUnit)));
    // The terminal the calculation leaves with the least pressure.
    std::optional<std::pair<double, int16_t>> least;
    for (const int16_t first : branchStarts(project_)) {
        const std::vector<BranchRow> rows = computeBranchRows(project_, facts_.results(), first);
        if (rows.empty())
            continue;
        const Node& end = project_.NodeTable[std::size_t(rows.back().node)];
        const Terminal* terminal = project_.findTerminal(end);
        if (!terminal)
            continue;
        if (const std::optional<double> left = terminalPressureLeft(project_, rows.back(), terminal->height))
            if (!least || *left < least->first)
                least = std::make_pair(*left, rows.back().node);
    }
    if (least)
        printWrapped(QStringLiteral("Terminale con la pressione minore: %1, %2.")
                         .arg(oneLine(project_.NodeTable[std::size_t(least->second)].name),
                              pressureReadout(least->first, project_.pressureUnit)));
    if (project_.standardSettings.standard == Standard::None) {
        surface_.print(QString());
        return;
    }
    const StandardCheck& check = facts_.standardCheck();
    surface_.print(QString());
    if (!check.verified()) {
        printWrapped(verdictText(project_, check));
        return;
    }
    const PressureScale scale = verificationScale(project_.pressureUnit);
    QStringList rows;
    for (const ScenarioCheck& scenario : check.scenarios) {
        const SetCheck& worst = scenario.mostUnfavourable;
        const QString demand =
            worst.demandPressure ? scale.numberOfBar(*worst.demandPressure) : QStringLiteral("nessuna");
        QString operating;
        if (worst.members.empty())
            operating = QStringLiteral("nessun terminale");
        else if (check.supplyCurve && !worst.suppliesIt)
            operating = QStringLiteral("non raggiunto");
        else
            operating = QStringLiteral("%1 l/min a %2")
                            .arg(flowText(worst.totalFlow),
                                 scale.numberOfBar(check.supplyCurve ? worst.availablePressure
                                                                     : check.supplyPressure));
        rows << QStringList{QStringLiteral("%1 (%2)").arg(rolePlural(scenario.role)).arg(scenario.count),
                            demand,
                            flowText(worst.demandFlow),
                            operating,
                            formatPicture(scenario.reserveVolume, u"#,#0.0"),
                            scenario.pass ? QStringLiteral("superato") : QStringLiteral("NON superato")}
                    .join(u'|');
    }
    rowRules_ = 1;
    printTable({QStringLiteral("Scenario"), QStringLiteral("P ") + scale.symbol, QStringLiteral("Q l/min"),
                QStringLiteral("Funzionamento"), QStringLiteral("Riserva m³"), QStringLiteral("Esito")},
               kSummaryColumns.split(u'|'), rows);
    surface_.print(QString());
    printWrapped(
        QStringLiteral("P e Q: pressione e portata richieste all'origine dalla posizione più sfavorevole; "
                       "funzionamento: la sua portata e la pressione all'origine (%1) che l'alimentazione "
                       "le dà.")
            .arg(scale.symbol));
    surface_.setBold(true);
    printWrapped(verdictText(project_, check));
    surface_.setBold(false);
    surface_.print(QString());
}

// ---- the signature ------------------------------------------------------------------

void Tabelle::PrintSignature() {
    setScale();
    if (!roomFor(kSignatureLines))
        startOnNewPage();
    surface_.setCurrentX(0);
    surface_.print(QString());
    surface_.print(QString());
    const ReportData& data = project_.reportData;
    surface_.print(QStringLiteral("Luogo e data: ______________________________, ") +
                   dateText(project_, options_.date));
    surface_.print(QString());
    surface_.print(QString());
    const double right = pageWidth_ / 2.0;
    surface_.setCurrentX(right);
    surface_.print(QStringLiteral("Il progettista"));
    if (!data.progettista.isEmpty()) {
        surface_.setCurrentX(right);
        surface_.setBold(true);
        surface_.print(oneLine(data.progettista));
        surface_.setBold(false);
    }
    if (!data.iscrizione.isEmpty()) {
        surface_.setCurrentX(right);
        surface_.print(oneLine(data.iscrizione));
    }
    surface_.print(QString());
    surface_.setCurrentX(right);
    surface_.print(QStringLiteral("Timbro e firma"));
    const double top = surface_.currentY() + 1;
    surface_.setDrawWidth(1);
    surface_.line(right, top, right + kStampWidthMm, top);
    surface_.lineStep(0, kStampHeightMm);
    surface_.lineStep(-kStampWidthMm, 0);
    surface_.lineStep(0, -kStampHeightMm);
    surface_.setCurrentX(0);
    surface_.setCurrentY(top + kStampHeightMm + 1);
}

} // namespace valmora
