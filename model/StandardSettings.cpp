#include "model/StandardSettings.h"

#include "model/Project.h"
#include "model/Traversal.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <variant>

namespace valmora {

namespace {

constexpr std::array<const char*, kHazardClassCount> kHazardNames = {"LH",  "OH1",  "OH2",  "OH3",
                                                                     "OH4", "HHP1", "HHP2", "HHP3"};

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

} // namespace

QString standardKey(Standard standard) {
    return QLatin1String(wordsOf(standard).key);
}

std::optional<Standard> standardFromKey(const QString& key) {
    for (const StandardWords& words : kStandardWords)
        if (key == QLatin1String(words.key))
            return words.standard;
    return std::nullopt;
}

QString hazardClassName(HazardClass hazard) {
    return QLatin1String(kHazardNames[std::size_t(hazard)]);
}

std::optional<HazardClass> hazardClassNamed(const QString& name) {
    for (std::size_t i = 0; i < kHazardNames.size(); ++i)
        if (name.compare(QLatin1String(kHazardNames[i]), Qt::CaseInsensitive) == 0)
            return HazardClass(i);
    return std::nullopt;
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
           designerSets == o.designerSets && designerFavourableSets == o.designerFavourableSets &&
           anySet == o.anySet && supply == o.supply;
}

// ---- limits -----------------------------------------------------------------------------

namespace {

// A sprinkler covers at least the square of the least distance allowed between two heads
// (2 m), and at most the largest area any hazard class lets one head protect (21 m2, light
// hazard). Counts and durations are bounded far above any standard's, so that a mistyped
// value is caught and the search for the sets stays short.
constexpr std::array<std::pair<LimitedSetting, SettingLimit>, 6> kLimits{{
    {LimitedSetting::Level,
     {"il livello di pericolosità", double(kLowestLevel), double(kHighestLevel), "", 0}},
    {LimitedSetting::Coverage, {"l'area coperta da uno sprinkler", 4, 21, "m²", 1}},
    {LimitedSetting::WorkingAtOnce, {"il numero di terminali contemporanei", 0, 99, "", 0}},
    {LimitedSetting::Duration, {"la durata", 1, 600, "min", 0}},
    {LimitedSetting::SupplyFlow, {"la portata dell'alimentazione", 0, 100000, "l/min", 2}},
    {LimitedSetting::SupplyPressure, {"la pressione dell'alimentazione", 0, 100, "bar", 2}},
}};

} // namespace

const SettingLimit& settingLimit(LimitedSetting setting) {
    for (const auto& [which, limit] : kLimits)
        if (which == setting)
            return limit;
    return kLimits.front().second;
}

bool withinLimit(LimitedSetting setting, double value) {
    const SettingLimit& limit = settingLimit(setting);
    return std::isfinite(value) && value >= limit.lowest && value <= limit.highest;
}

QString limitText(LimitedSetting setting) {
    const SettingLimit& limit = settingLimit(setting);
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = QStringLiteral("%1 va da %2 a %3")
                       .arg(QString::fromUtf8(limit.what), locale.toString(limit.lowest, 'f', 0),
                            locale.toString(limit.highest, 'f', 0));
    if (*limit.unit)
        text += u' ' + QString::fromUtf8(limit.unit);
    return text;
}

} // namespace valmora
