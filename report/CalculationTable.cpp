#include "report/CalculationTable.h"

#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "report/Tabelle.h"
#include "standards/VerificationText.h"

#include <QLocale>

#include <cmath>

namespace valmora {

namespace {

const QByteArray kUtf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
const QString kLineEnd = QStringLiteral("\r\n");
constexpr int kLengthDecimals = 2;
constexpr int kFlowDecimals = 1;
constexpr int kVelocityDecimals = 2;
constexpr int kBoreDecimals = 1;
constexpr int kHeightDecimals = 2;
// A decimal more than the grid shows: a spreadsheet sums what it is given.
constexpr int kExtraPressureDecimals = 1;

void addNetworkRows(const Project& project, const NetworkResults& results, std::vector<QStringList>& rows) {
    const PressureScale scale = calculationScale(project.pressureUnit);
    const int pressureDecimals = scale.decimals + kExtraPressureDecimals;
    const auto pressure = [&](double mm) { return csvNumber(scale.fromMm(mm), pressureDecimals); };
    rows.push_back({QStringLiteral("Calcolo della rete"),
                    QStringLiteral("Pressione di progetto ") + scale.symbol, pressure(project.supplyPressure),
                    QStringLiteral("Portata totale l/min"), csvNumber(results.totalFlow, kFlowDecimals)});
    rows.push_back({QStringLiteral("Ramo"), QStringLiteral("Nome"), QStringLiteral("Lunghezza m"),
                    QStringLiteral("L.eq. m o KV"), QStringLiteral("Serie"), QStringLiteral("Diametro"),
                    QStringLiteral("Di mm"), QStringLiteral("Q l/min"), QStringLiteral("v m/s"),
                    QStringLiteral("DP ") + scale.symbol, QStringLiteral("SumDP ") + scale.symbol,
                    QStringLiteral("Terminale"), QStringLiteral("Quota m"),
                    QStringLiteral("Pressione al terminale ") + scale.symbol});
    for (const int16_t first : branchesInReportOrder(project)) {
        const QString branch = branchTitleOf(project, first);
        for (const BranchRow& row : computeBranchRows(project, results, first)) {
            const Node& node = project.NodeTable[std::size_t(row.node)];
            const PipeSeries* series = project.findSeries(node);
            const PipeDiameter* diameter = project.findDiameter(node);
            QStringList fields{branch,
                               oneLine(node.name),
                               node.isKvElement() ? QString() : csvNumber(node.length, kLengthDecimals),
                               csvNumber(node.virtualLength, kLengthDecimals),
                               series ? oneLine(series->code).trimmed() : QString(),
                               diameter ? oneLine(diameter->label).trimmed() : QString(),
                               diameter ? csvNumber(diameter->innerDiameter, kBoreDecimals) : QString(),
                               csvNumber(row.flow, kFlowDecimals),
                               row.velocity ? csvNumber(*row.velocity, kVelocityDecimals) : QString(),
                               pressure(row.drop),
                               pressure(row.cumulativeDrop)};
            if (const Terminal* terminal = project.findTerminal(node)) {
                const TerminalType* type = project.findTerminalType(*terminal);
                const std::optional<double> left = terminalPressureLeft(project, row, terminal->height);
                fields << (type ? oneLine(type->name) : QString())
                       << csvNumber(terminal->height, kHeightDecimals)
                       << (left ? pressure(*left) : kNullFlowText);
            }
            rows.push_back(fields);
        }
    }
}

void addPosition(const StandardCheck& check, const ScenarioCheck& scenario, const SetCheck& set,
                 const QString& position, std::vector<QStringList>& rows) {
    const PressureScale scale = verificationScale(check.pressureUnit);
    const auto pressure = [&](double bar, int more) {
        return csvNumber(scale.fromBar(bar), scale.decimals + kExtraPressureDecimals + more);
    };
    const QString role = rolePlural(scenario.role);
    for (const SheetSection& section : set.sections)
        rows.push_back({role, position, oneLine(section.name),
                        section.kv ? QStringLiteral("KV") : oneLine(section.seriesCode).trimmed(),
                        section.kv ? QString() : oneLine(section.diameter).trimmed(),
                        section.kv ? QString() : csvNumber(section.innerDiameter, kBoreDecimals),
                        section.kv ? QString() : csvNumber(section.length, kLengthDecimals),
                        csvNumber(section.equivalentLength, kLengthDecimals),
                        section.kv ? QString() : QString::number(section.c),
                        csvNumber(section.flow, kFlowDecimals),
                        section.kv ? QString() : csvNumber(section.velocity, kVelocityDecimals),
                        pressure(section.loss, 1), pressure(section.staticDifference, 0),
                        pressure(section.pressure, 0)});
}

void addVerificationRows(const Project& project, const StandardCheck& check, std::vector<QStringList>& rows) {
    rows.push_back({});
    rows.push_back({verificationTitle(check), verdictText(project, check)});
    if (!check.verified())
        return;
    const QString unit = verificationScale(check.pressureUnit).symbol;
    rows.push_back({QStringLiteral("Scenario"), QStringLiteral("Posizione"), QStringLiteral("Tratto"),
                    QStringLiteral("Serie"), QStringLiteral("Diametro"), QStringLiteral("Di mm"),
                    QStringLiteral("L m"), QStringLiteral("Leq m o KV"), QStringLiteral("C"),
                    QStringLiteral("Q l/min"), QStringLiteral("v m/s"), QStringLiteral("J ") + unit,
                    QStringLiteral("Dz ") + unit, QStringLiteral("P ") + unit});
    for (const ScenarioCheck& scenario : check.scenarios) {
        addPosition(check, scenario, scenario.mostUnfavourable, QStringLiteral("più sfavorevole"), rows);
        addPosition(check, scenario, scenario.mostFavourable, QStringLiteral("più favorevole"), rows);
        if (scenario.designerUnfavourable)
            addPosition(check, scenario, *scenario.designerUnfavourable,
                        QStringLiteral("più sfavorevole, del progettista"), rows);
        if (scenario.designerFavourable)
            addPosition(check, scenario, *scenario.designerFavourable,
                        QStringLiteral("più favorevole, del progettista"), rows);
    }
}

} // namespace

QString csvField(const QString& text) {
    if (!text.contains(kCsvSeparator) && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

QString csvNumber(double value, int decimals) {
    if (!std::isfinite(value))
        return QString();
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(u'-') && text.count(u'0') == text.size() - (decimals > 0 ? 2 : 1))
        text.remove(0, 1); // -0,00 is 0,00
    return text.replace(u'.', u',');
}

std::vector<QStringList> calculationTableRows(const Project& project, const NetworkResults& results,
                                              const StandardCheck* check) {
    std::vector<QStringList> rows;
    addNetworkRows(project, results, rows);
    if (check)
        addVerificationRows(project, *check, rows);
    return rows;
}

QByteArray calculationTableCsv(const Project& project, const NetworkResults& results,
                               const StandardCheck* check) {
    QString text;
    for (const QStringList& row : calculationTableRows(project, results, check)) {
        QStringList fields;
        for (const QString& field : row)
            fields << csvField(field);
        text += fields.join(kCsvSeparator) + kLineEnd;
    }
    return kUtf8ByteOrderMark + text.toUtf8();
}

} // namespace valmora
