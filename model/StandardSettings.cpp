#include "model/StandardSettings.h"

#include "model/FileAccess.h"
#include "model/Project.h"
#include "model/Traversal.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <array>
#include <cmath>

namespace valmora {

namespace {

constexpr std::array<HazardDesign, kHazardClassCount> kHazards = {{
    {HazardClass::LH, "LH", 2.25, 84, 30, 21},
    {HazardClass::OH1, "OH1", 5.0, 72, 60, 12},
    {HazardClass::OH2, "OH2", 5.0, 144, 60, 12},
    {HazardClass::OH3, "OH3", 5.0, 216, 60, 12},
    {HazardClass::OH4, "OH4", 5.0, 360, 60, 12},
    {HazardClass::HHP1, "HHP1", 7.5, 260, 90, 9},
    {HazardClass::HHP2, "HHP2", 10.0, 260, 90, 9},
    {HazardClass::HHP3, "HHP3", 12.5, 260, 90, 9},
}};

// By level 1, 2, 3.
constexpr std::array<int, 3> kHydrantsAtOnce = {2, 3, 4};
constexpr std::array<int, 3> kHoseReelsAtOnce = {4, 4, 6};
constexpr std::array<int, 3> kExternalOutletsAtOnce = {0, 4, 6};
constexpr std::array<int, 3> kDurations = {30, 60, 120};

constexpr int16_t kHydrantIcon = 1, kHoseReelIcon = 2, kSuperHydrantIcon = 3, kNozzleIcon = 4;

const QString kFileHeading = QStringLiteral("# Valmora: verifica di norma del progetto");
const QString kFileExtension = QStringLiteral("verifica");

bool contains(const QString& text, const char* word) {
    return text.contains(QLatin1String(word), Qt::CaseInsensitive);
}

std::size_t levelSlot(int level) {
    return std::size_t(std::clamp(level, kLowestLevel, kHighestLevel) - 1);
}

QString numberText(double value) {
    return QString::number(value, 'g', 10);
}

// Each standard's key in the settings file and its title for the designer.
struct StandardWords {
    Standard standard;
    const char* key;
    const char* title;
};
constexpr std::array<StandardWords, 3> kStandardWords{{{Standard::None, "nessuna", "nessuna norma"},
                                                       {Standard::Uni10779, "uni10779", "UNI 10779"},
                                                       {Standard::En12845, "en12845", "UNI EN 12845"}}};

const StandardWords& wordsOf(Standard standard) {
    for (const StandardWords& words : kStandardWords)
        if (words.standard == standard)
            return words;
    return kStandardWords.front();
}

QString standardKey(Standard standard) {
    return QLatin1String(wordsOf(standard).key);
}

std::optional<Standard> standardFromKey(const QString& key) {
    for (const StandardWords& words : kStandardWords)
        if (key == QLatin1String(words.key))
            return words.standard;
    return std::nullopt;
}

// Node index by position in the project file's order (1-based), and back.
std::vector<int16_t> nodesByFilePosition(const Project& project) {
    std::vector<int16_t> order = networkPreorder(project);
    order.insert(order.begin(), 0);
    return order;
}

} // namespace

const HazardDesign& hazardDesign(HazardClass hazard) {
    return kHazards[std::size_t(hazard)];
}

std::optional<HazardClass> hazardClassNamed(const QString& name) {
    for (const HazardDesign& design : kHazards)
        if (name.compare(QLatin1String(design.name), Qt::CaseInsensitive) == 0)
            return design.hazard;
    return std::nullopt;
}

int defaultWorkingAtOnce(TerminalRole role, int level) {
    switch (role) {
    case TerminalRole::Hydrant:
        return kHydrantsAtOnce[levelSlot(level)];
    case TerminalRole::HoseReel:
        return kHoseReelsAtOnce[levelSlot(level)];
    case TerminalRole::ExternalOutlet:
        return kExternalOutletsAtOnce[levelSlot(level)];
    default:
        return 0;
    }
}

int defaultDurationMinutes(int level) {
    return kDurations[levelSlot(level)];
}

TerminalRole defaultRole(const TerminalType& type) {
    const QString& name = type.name;
    if (contains(name, "uscita libera"))
        return TerminalRole::NotVerified;
    if (contains(name, "naspo"))
        return TerminalRole::HoseReel;
    if (contains(name, "sprinkler") || contains(name, "ugello") || type.iconIndex == kNozzleIcon)
        return TerminalRole::Sprinkler;
    if (contains(name, "uni 70") || contains(name, "soprasuolo") || contains(name, "attacco") ||
        type.iconIndex == kSuperHydrantIcon)
        return TerminalRole::ExternalOutlet;
    if (contains(name, "idrante") || type.iconIndex == kHydrantIcon)
        return TerminalRole::Hydrant;
    if (type.iconIndex == kHoseReelIcon)
        return TerminalRole::HoseReel;
    return TerminalRole::NotVerified;
}

namespace {

// A role's name in the texts and its key in the settings file and the JSON.
struct RoleWords {
    TerminalRole role;
    const char* name;
    const char* key;
};
constexpr std::array<RoleWords, 5> kRoleWords{{{TerminalRole::NotVerified, "non verificato", "nessuno"},
                                               {TerminalRole::Hydrant, "idrante", "idrante"},
                                               {TerminalRole::HoseReel, "naspo", "naspo"},
                                               {TerminalRole::ExternalOutlet, "attacco esterno", "attacco"},
                                               {TerminalRole::Sprinkler, "sprinkler", "sprinkler"}}};

const RoleWords& wordsOf(TerminalRole role) {
    for (const RoleWords& words : kRoleWords)
        if (words.role == role)
            return words;
    return kRoleWords.front();
}

} // namespace

QString roleName(TerminalRole role) {
    return QString::fromLatin1(wordsOf(role).name);
}

QString roleKey(TerminalRole role) {
    return QString::fromLatin1(wordsOf(role).key);
}

std::optional<TerminalRole> roleFromKey(const QString& key) {
    for (const RoleWords& words : kRoleWords)
        if (key == QLatin1String(words.key))
            return words.role;
    return std::nullopt;
}

QString standardTitle(Standard standard) {
    return QString::fromUtf8(wordsOf(standard).title);
}

bool StandardSettings::operator==(const StandardSettings& o) const {
    return standard == o.standard && level == o.level && hazard == o.hazard && coverage == o.coverage &&
           roles == o.roles && workingAtOnce == o.workingAtOnce && durationMinutes == o.durationMinutes &&
           designerSets == o.designerSets && supply == o.supply;
}

TerminalRole StandardSettings::roleOf(const Project& project, int16_t terminalType) const {
    if (const auto chosen = roles.find(terminalType); chosen != roles.end())
        return chosen->second;
    return project.isValidTerminalTypeIndex(terminalType)
               ? defaultRole(project.TerminalCatalogue[std::size_t(terminalType)])
               : TerminalRole::NotVerified;
}

double StandardSettings::coverageM2() const {
    return coverage.value_or(hazardDesign(hazard).defaultCoverage);
}

QString standardSettingsPath(const QString& projectPath) {
    const QFileInfo file(projectPath);
    return file.dir().filePath(file.completeBaseName() + u'.' + kFileExtension);
}

QByteArray standardSettingsText(const StandardSettings& s, const Project& project) {
    QStringList lines{kFileHeading};
    lines << QStringLiteral("norma=") + standardKey(s.standard);
    lines << QStringLiteral("livello=%1").arg(s.level);
    lines << QStringLiteral("classe=") + QLatin1String(hazardDesign(s.hazard).name);
    if (s.coverage)
        lines << QStringLiteral("copertura=") + numberText(*s.coverage);
    for (const auto& [type, role] : s.roles) {
        const QString name = project.isValidTerminalTypeIndex(type)
                                 ? project.TerminalCatalogue[std::size_t(type)].name
                                 : QString();
        lines << QStringLiteral("ruolo.%1=%2  # %3").arg(type).arg(roleKey(role), name);
    }
    for (const auto& [role, count] : s.workingAtOnce)
        lines << QStringLiteral("contemporanei.%1=%2").arg(roleKey(role)).arg(count);
    for (const auto& [role, minutes] : s.durationMinutes)
        lines << QStringLiteral("durata.%1=%2").arg(roleKey(role)).arg(minutes);
    // Nodes by their position in the project file, which is their index once it is read.
    std::vector<int> position(project.NodeTable.size(), 0);
    const std::vector<int16_t> byPosition = nodesByFilePosition(project);
    for (std::size_t p = 1; p < byPosition.size(); ++p)
        position[std::size_t(byPosition[p])] = int(p);
    if (s.supply.kind == SupplyKind::Pump) {
        QStringList points;
        for (const PumpPoint& point : s.supply.pump)
            points << numberText(point.flow) + u' ' + numberText(point.pressure);
        lines << QStringLiteral("pompa=") + points.join(QStringLiteral(", "));
    } else if (s.supply.kind == SupplyKind::MainTest) {
        lines << QStringLiteral("acquedotto=%1 %2 %3")
                     .arg(numberText(s.supply.staticPressure), numberText(s.supply.residualPressure),
                          numberText(s.supply.testFlow));
    }
    for (const auto& [role, nodes] : s.designerSets) {
        QStringList positions;
        for (const int16_t node : nodes)
            if (project.isValidNodeIndex(node) && position[std::size_t(node)] > 0)
                positions << QString::number(position[std::size_t(node)]);
        lines << QStringLiteral("insieme.%1=%2").arg(roleKey(role), positions.join(u','));
    }
    return (lines.join(u'\n') + u'\n').toUtf8();
}

SettingsRead parseStandardSettings(const QByteArray& text, const Project& project) {
    SettingsRead read;
    StandardSettings& s = read.settings;
    const std::vector<int16_t> byPosition = nodesByFilePosition(project);
    const auto refuse = [&read](int line, const QString& why) {
        read.settings = {};
        read.warning =
            QStringLiteral("Impostazioni di verifica non lette (riga %1: %2): valgono quelle predefinite.")
                .arg(line)
                .arg(why);
    };
    const QStringList lines = QString::fromUtf8(text).split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].section(u'#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QString key = line.section(u'=', 0, 0).trimmed();
        const QString value = line.section(u'=', 1).trimmed();
        const QString head = key.section(u'.', 0, 0);
        const QString tail = key.section(u'.', 1);
        bool ok = !value.isEmpty() || head == QLatin1String("insieme");
        if (head == QLatin1String("norma")) {
            const std::optional<Standard> standard = standardFromKey(value);
            ok = standard.has_value();
            s.standard = standard.value_or(Standard::None);
        } else if (head == QLatin1String("livello")) {
            s.level = value.toInt(&ok);
            ok = ok && s.level >= kLowestLevel && s.level <= kHighestLevel;
        } else if (head == QLatin1String("classe")) {
            const std::optional<HazardClass> hazard = hazardClassNamed(value);
            ok = hazard.has_value();
            s.hazard = hazard.value_or(HazardClass::OH2);
        } else if (head == QLatin1String("copertura")) {
            const double coverage = value.toDouble(&ok);
            ok = ok && std::isfinite(coverage) && coverage > 0;
            s.coverage = coverage;
        } else if (head == QLatin1String("ruolo")) {
            const int type = tail.toInt(&ok);
            const std::optional<TerminalRole> role = roleFromKey(value);
            ok = ok && role && project.isValidTerminalTypeIndex(type);
            if (ok)
                s.roles[int16_t(type)] = *role;
        } else if (head == QLatin1String("contemporanei") || head == QLatin1String("durata")) {
            const std::optional<TerminalRole> role = roleFromKey(tail);
            const int count = value.toInt(&ok);
            ok = ok && role && count >= 0 && count <= kMaxTableIndex;
            if (ok)
                (head == QLatin1String("durata") ? s.durationMinutes : s.workingAtOnce)[*role] = count;
        } else if (head == QLatin1String("pompa")) {
            const QStringList points = value.split(u',');
            ok = points.size() == 3;
            for (int k = 0; ok && k < 3; ++k) {
                const QStringList pair = points[k].simplified().split(u' ');
                bool flowOk = false, pressureOk = false;
                s.supply.pump[std::size_t(k)] = {pair.value(0).toDouble(&flowOk),
                                                 pair.value(1).toDouble(&pressureOk)};
                ok = pair.size() == 2 && flowOk && pressureOk;
            }
            s.supply.kind = SupplyKind::Pump;
        } else if (head == QLatin1String("acquedotto")) {
            const QStringList numbers = value.simplified().split(u' ');
            bool a = false, b = false, c = false;
            s.supply.staticPressure = numbers.value(0).toDouble(&a);
            s.supply.residualPressure = numbers.value(1).toDouble(&b);
            s.supply.testFlow = numbers.value(2).toDouble(&c);
            ok = numbers.size() == 3 && a && b && c;
            s.supply.kind = SupplyKind::MainTest;
        } else if (head == QLatin1String("insieme")) {
            const std::optional<TerminalRole> role = roleFromKey(tail);
            ok = role.has_value();
            std::vector<int16_t> nodes;
            for (const QString& item : value.split(u',', Qt::SkipEmptyParts)) {
                const int position = item.trimmed().toInt(&ok);
                if (!ok || position < 1 || std::size_t(position) >= byPosition.size() ||
                    !project.NodeTable[std::size_t(byPosition[std::size_t(position)])].endsInTerminal()) {
                    ok = false;
                    break;
                }
                nodes.push_back(byPosition[std::size_t(position)]);
            }
            if (ok)
                s.designerSets[*role] = nodes;
        } else {
            ok = false;
        }
        if (!ok) {
            refuse(n + 1, QStringLiteral("\"%1\"").arg(line.left(60)));
            return read;
        }
    }
    return read;
}

SettingsRead readStandardSettings(const Project& project, const QString& projectFile) {
    const QString path = standardSettingsPath(projectFile);
    if (!QFileInfo::exists(path))
        return {};
    const FileRead file = readDataFile(path);
    if (!file.bytes) {
        SettingsRead read;
        read.warning = QStringLiteral("Impostazioni di verifica non lette (%1): valgono quelle predefinite.")
                           .arg(file.reason);
        return read;
    }
    return parseStandardSettings(*file.bytes, project);
}

} // namespace valmora
