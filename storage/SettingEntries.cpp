#include "storage/SettingEntries.h"

#include "model/Traversal.h"

#include <QLocale>
#include <QStringList>

#include <cmath>
#include <optional>
#include <variant>

namespace valmora {

namespace {

// Node index by position in the project file's order (1-based), and back.
std::vector<int16_t> nodesByFilePosition(const Project& project) {
    std::vector<int16_t> order = networkPreorder(project);
    order.insert(order.begin(), 0);
    return order;
}

const QString kStandardKey = QStringLiteral("norma");
const QString kLevelKey = QStringLiteral("livello");
const QString kHazardKey = QStringLiteral("classe");
const QString kCoverageKey = QStringLiteral("copertura");
const QString kRoleKey = QStringLiteral("ruolo");
const QString kWorkingAtOnceKey = QStringLiteral("contemporanei");
const QString kDurationKey = QStringLiteral("durata");
const QString kPumpKey = QStringLiteral("pompa");
const QString kMainKey = QStringLiteral("acquedotto");
const QString kSetKey = QStringLiteral("insieme");
const QString kFavourableSetKey = QStringLiteral("insiemefavorevole");
const QString kSetsKindKey = QStringLiteral("insiemi");
const QString kAreasValue = QStringLiteral("aree");
const QString kAnySetValue = QStringLiteral("qualunque");
constexpr QChar kKeySeparator = u'.';
constexpr int kPumpPoints = 3;
constexpr int kMainTestValues = 3;

QString keyed(const QString& head, const QString& tail) {
    return head + kKeySeparator + tail;
}

// A number as the file writes it: a period, no more digits than it needs.
QString fileNumberText(double value) {
    return QString::number(value, 'g', 10);
}

std::optional<double> fileNumber(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<int> wholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

using Result = SettingEntryReader::Result;
using Outcome = SettingEntryReader::Outcome;

Result refused(const QString& why) {
    return {Outcome::Refused, why};
}
Result outsideLimit(LimitedSetting setting) {
    return refused(limitText(setting));
}

// A number within its limit, or the refusal that says why not.
std::variant<double, Result> limitedNumber(const QString& text, LimitedSetting setting) {
    const std::optional<double> number = fileNumber(text);
    if (!number)
        return refused(QStringLiteral("atteso un numero"));
    if (!withinLimit(setting, *number))
        return outsideLimit(setting);
    return *number;
}

} // namespace

std::vector<SettingEntry> settingEntries(const StandardSettings& s, const Project& project) {
    std::vector<SettingEntry> entries;
    entries.push_back({kStandardKey, standardKey(s.standard)});
    entries.push_back({kLevelKey, QString::number(s.level)});
    entries.push_back({kHazardKey, hazardClassName(s.hazard)});
    if (s.coverage)
        entries.push_back({kCoverageKey, fileNumberText(*s.coverage)});
    for (const auto& [type, role] : s.roles)
        entries.push_back({keyed(kRoleKey, QString::number(type)), roleKey(role)});
    for (const auto& [role, count] : s.workingAtOnce)
        entries.push_back({keyed(kWorkingAtOnceKey, roleKey(role)), QString::number(count)});
    for (const auto& [role, minutes] : s.durationMinutes)
        entries.push_back({keyed(kDurationKey, roleKey(role)), QString::number(minutes)});
    if (s.supply.kind == SupplyKind::Pump) {
        QStringList points;
        for (const PumpPoint& point : s.supply.pump)
            points << fileNumberText(point.flow) + u' ' + fileNumberText(point.pressure);
        entries.push_back({kPumpKey, points.join(QStringLiteral(", "))});
    } else if (s.supply.kind == SupplyKind::MainTest) {
        entries.push_back({kMainKey, QStringList{fileNumberText(s.supply.staticPressure),
                                                 fileNumberText(s.supply.residualPressure),
                                                 fileNumberText(s.supply.testFlow)}
                                         .join(u' ')});
    }
    // Nodes by their position in the project file, which is their index once it is read.
    std::vector<int> position(project.NodeTable.size(), 0);
    const std::vector<int16_t> byPosition = nodesByFilePosition(project);
    for (std::size_t p = 1; p < byPosition.size(); ++p)
        position[std::size_t(byPosition[p])] = int(p);
    for (const auto& [key, sets] :
         {std::pair{kSetKey, &s.designerSets}, {kFavourableSetKey, &s.designerFavourableSets}})
        for (const auto& [role, nodes] : *sets) {
            QStringList positions;
            for (const int16_t node : nodes)
                if (project.isValidNodeIndex(node) && position[std::size_t(node)] > 0)
                    positions << QString::number(position[std::size_t(node)]);
            entries.push_back({keyed(key, roleKey(role)), positions.join(u',')});
        }
    if (s.anySet)
        entries.push_back({kSetsKindKey, kAnySetValue});
    return entries;
}

SettingEntryReader::SettingEntryReader(const Project& project)
    : project_(project), byPosition_(nodesByFilePosition(project)) {}

Result SettingEntryReader::take(StandardSettings& s, const QString& key, const QString& text) const {
    const QString head = key.section(kKeySeparator, 0, 0);
    const QString tail = key.section(kKeySeparator, 1);
    const QString value = text.trimmed();
    const bool keyed = !tail.isEmpty();
    const std::optional<TerminalRole> role = roleFromKey(tail);
    // Keys with a role or a type after the period, and keys without: anything else is
    // a setting this version does not know.
    const bool roleKeyed =
        head == kWorkingAtOnceKey || head == kDurationKey || head == kSetKey || head == kFavourableSetKey;
    if (roleKeyed != keyed && head != kRoleKey)
        return {Outcome::UnknownKey, {}};
    if (roleKeyed && !role)
        return refused(QStringLiteral("ruolo sconosciuto: %1").arg(tail));

    if (head == kStandardKey) {
        const std::optional<Standard> standard = standardFromKey(value);
        if (!standard)
            return refused(QStringLiteral("norma sconosciuta"));
        s.standard = *standard;
    } else if (head == kLevelKey) {
        const std::optional<int> level = wholeNumber(value);
        if (!level || !withinLimit(LimitedSetting::Level, *level))
            return outsideLimit(LimitedSetting::Level);
        s.level = *level;
    } else if (head == kHazardKey) {
        const std::optional<HazardClass> hazard = hazardClassNamed(value);
        if (!hazard)
            return refused(QStringLiteral("classe di pericolo sconosciuta"));
        s.hazard = *hazard;
    } else if (head == kCoverageKey) {
        const auto coverage = limitedNumber(value, LimitedSetting::Coverage);
        if (const auto* refusal = std::get_if<Result>(&coverage))
            return *refusal;
        s.coverage = std::get<double>(coverage);
    } else if (head == kRoleKey) {
        const std::optional<int> type = wholeNumber(tail);
        const std::optional<TerminalRole> chosen = roleFromKey(value);
        if (!type || !project_.isValidTerminalTypeIndex(*type))
            return refused(QStringLiteral("il tipo di terminale %1 non esiste nel catalogo").arg(tail));
        if (!chosen)
            return refused(QStringLiteral("ruolo sconosciuto: %1").arg(value));
        s.roles[int16_t(*type)] = *chosen;
    } else if (head == kWorkingAtOnceKey || head == kDurationKey) {
        const LimitedSetting limit =
            head == kDurationKey ? LimitedSetting::Duration : LimitedSetting::WorkingAtOnce;
        const std::optional<int> count = wholeNumber(value);
        if (!count || !withinLimit(limit, *count))
            return outsideLimit(limit);
        (head == kDurationKey ? s.durationMinutes : s.workingAtOnce)[*role] = *count;
    } else if (head == kPumpKey) {
        const QStringList points = value.split(u',');
        if (points.size() != kPumpPoints)
            return refused(QStringLiteral("attesi tre punti: portata e pressione"));
        std::array<PumpPoint, kPumpPoints> pump{};
        for (int k = 0; k < kPumpPoints; ++k) {
            const QStringList pair = points[k].simplified().split(u' ');
            if (pair.size() != 2)
                return refused(QStringLiteral("attesi tre punti: portata e pressione"));
            const auto flow = limitedNumber(pair[0], LimitedSetting::SupplyFlow);
            const auto pressure = limitedNumber(pair[1], LimitedSetting::SupplyPressure);
            for (const auto* number : {&flow, &pressure})
                if (const auto* refusal = std::get_if<Result>(number))
                    return *refusal;
            pump[std::size_t(k)] = {std::get<double>(flow), std::get<double>(pressure)};
        }
        s.supply.kind = SupplyKind::Pump;
        s.supply.pump = pump;
    } else if (head == kMainKey) {
        const QStringList numbers = value.simplified().split(u' ');
        if (numbers.size() != kMainTestValues)
            return refused(QStringLiteral("attese pressione statica, pressione residua e portata di prova"));
        const auto still = limitedNumber(numbers[0], LimitedSetting::SupplyPressure);
        const auto residual = limitedNumber(numbers[1], LimitedSetting::SupplyPressure);
        const auto flow = limitedNumber(numbers[2], LimitedSetting::SupplyFlow);
        for (const auto* number : {&still, &residual, &flow})
            if (const auto* refusal = std::get_if<Result>(number))
                return *refusal;
        s.supply.kind = SupplyKind::MainTest;
        s.supply.staticPressure = std::get<double>(still);
        s.supply.residualPressure = std::get<double>(residual);
        s.supply.testFlow = std::get<double>(flow);
    } else if (head == kSetsKindKey) {
        if (value != kAreasValue && value != kAnySetValue)
            return refused(QStringLiteral("attesi \"%1\" o \"%2\"").arg(kAreasValue, kAnySetValue));
        s.anySet = value == kAnySetValue;
    } else if (head == kSetKey || head == kFavourableSetKey) {
        std::vector<int16_t> nodes;
        for (const QString& item : value.split(u',', Qt::SkipEmptyParts)) {
            const std::optional<int> position = wholeNumber(item);
            if (!position || *position < 1 || std::size_t(*position) >= byPosition_.size() ||
                !project_.NodeTable[std::size_t(byPosition_[std::size_t(*position)])].endsInTerminal())
                return refused(
                    QStringLiteral("%1 non è la posizione di un terminale nel file").arg(item.trimmed()));
            const int16_t node = byPosition_[std::size_t(*position)];
            // A terminal named twice would count once: the set would be smaller than it says.
            if (std::find(nodes.begin(), nodes.end(), node) != nodes.end())
                return refused(QStringLiteral("il terminale %1 è ripetuto").arg(*position));
            nodes.push_back(node);
        }
        (head == kSetKey ? s.designerSets : s.designerFavourableSets)[*role] = std::move(nodes);
    } else {
        return {Outcome::UnknownKey, {}};
    }
    return {};
}

} // namespace valmora
