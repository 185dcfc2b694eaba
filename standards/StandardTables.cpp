#include "standards/StandardTables.h"

#include <algorithm>
#include <array>

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

bool contains(const QString& text, const char* word) {
    return text.contains(QLatin1String(word), Qt::CaseInsensitive);
}

std::size_t levelSlot(int level) {
    return std::size_t(std::clamp(level, kLowestLevel, kHighestLevel) - 1);
}

} // namespace

const HazardDesign& hazardDesign(HazardClass hazard) {
    return kHazards[std::size_t(hazard)];
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

TerminalRole roleOf(const StandardSettings& settings, const Project& project, int16_t terminalType) {
    if (const auto chosen = settings.roles.find(terminalType); chosen != settings.roles.end())
        return chosen->second;
    return project.isValidTerminalTypeIndex(terminalType)
               ? defaultRole(project.TerminalCatalogue[std::size_t(terminalType)])
               : TerminalRole::NotVerified;
}

double coverageOf(const StandardSettings& settings) {
    return settings.coverage.value_or(hazardDesign(settings.hazard).defaultCoverage);
}

} // namespace valmora
