#include "standards/StandardMinima.h"

#include "model/NumberFormat.h"
#include "standards/StandardTables.h"

#include <QLocale>
#include <QStringList>

#include <array>
#include <cmath>

namespace valmora {

namespace {

// Where the values are written. Where a clause's number could not be read in a public text,
// the source names the requirement instead of guessing a number.
const char* const kLevelsSource = "UNI 10779:2014, appendice B: prestazioni per livello di pericolosità";
const char* const kMaxPressureSource = "UNI 10779: pressione massima ai terminali di idranti e naspi";
const char* const kLeastPressureSource =
    "UNI EN 12845: pressione minima a qualunque sprinkler dell'area operativa";
const char* const kCoverageSource = "UNI EN 12845: area massima protetta da uno sprinkler per classe";
const char* const kKSource = "UNI EN 12845: fattore K nominale per classe di pericolo";
const char* const kDesignSource = "UNI EN 12845, prospetto 3: densità di scarica e area operativa";

struct LevelRow {
    TerminalRole role;
    int level;
    OutletMinimum minimum;
};

// Hydrants DN 45 at every level; hose reels DN 25 of normal performance at level 1, of high
// performance at levels 2 and 3; external outlets UNI 70 from level 2.
const std::array<LevelRow, 8> kLevelRows{{
    {TerminalRole::Hydrant, 1, {120, 2.0, kLevelsSource}},
    {TerminalRole::Hydrant, 2, {120, 2.0, kLevelsSource}},
    {TerminalRole::Hydrant, 3, {120, 2.0, kLevelsSource}},
    {TerminalRole::HoseReel, 1, {35, 2.0, kLevelsSource}},
    {TerminalRole::HoseReel, 2, {60, 3.0, kLevelsSource}},
    {TerminalRole::HoseReel, 3, {60, 3.0, kLevelsSource}},
    {TerminalRole::ExternalOutlet, 2, {300, 3.0, kLevelsSource}},
    {TerminalRole::ExternalOutlet, 3, {300, 4.0, kLevelsSource}},
}};

const SprinklerRules kLightHazard{0.70, 21, {57}, kLeastPressureSource, kCoverageSource, kKSource};
const SprinklerRules kOrdinaryHazard{0.35, 12, {80}, kLeastPressureSource, kCoverageSource, kKSource};
const SprinklerRules kHighHazard{0.50, 9, {80, 115}, kLeastPressureSource, kCoverageSource, kKSource};

QString number(double value, int decimals) {
    return formatPicture(value, decimals == 0 ? QStringLiteral("#0")
                                              : QStringLiteral("#0.") + QString(decimals, u'0'));
}

} // namespace

std::optional<OutletMinimum> outletMinimum(TerminalRole role, int level) {
    for (const LevelRow& row : kLevelRows)
        if (row.role == role && row.level == level)
            return row.minimum;
    // External outlets where the level asks for none: those the designer has work at once
    // are held to the next level's figures.
    if (role == TerminalRole::ExternalOutlet)
        return outletMinimum(role, level + 1);
    return std::nullopt;
}

const char* maxOutletPressureSource() {
    return kMaxPressureSource;
}

const SprinklerRules& sprinklerRules(HazardClass hazard) {
    switch (hazard) {
    case HazardClass::LH:
        return kLightHazard;
    case HazardClass::OH1:
    case HazardClass::OH2:
    case HazardClass::OH3:
    case HazardClass::OH4:
        return kOrdinaryHazard;
    default:
        break;
    }
    return kHighHazard;
}

bool kFactorAllowed(HazardClass hazard, double k) {
    for (const double allowed : sprinklerRules(hazard).kFactors)
        if (std::abs(k - allowed) <= kKFactorTolerance * allowed)
            return true;
    return false;
}

std::vector<AppliedRequirement> requirementsApplied(const StandardSettings& settings) {
    std::vector<AppliedRequirement> rows;
    if (settings.standard == Standard::Uni10779) {
        for (const TerminalRole role :
             {TerminalRole::Hydrant, TerminalRole::HoseReel, TerminalRole::ExternalOutlet})
            if (const std::optional<OutletMinimum> m = outletMinimum(role, settings.level))
                rows.push_back(
                    {QStringLiteral("%1, livello %2").arg(roleName(role)).arg(settings.level),
                     QStringLiteral("%1 l/min a %2 MPa").arg(number(m->flow, 0), number(m->pressure / 10, 2)),
                     QString::fromUtf8(m->source)});
        rows.push_back({QStringLiteral("pressione massima a idranti e naspi"),
                        QStringLiteral("%1 MPa").arg(number(kMaxOutletPressure / 10, 1)),
                        QString::fromUtf8(kMaxPressureSource)});
    } else if (settings.standard == Standard::En12845) {
        const HazardDesign& design = hazardDesign(settings.hazard);
        const SprinklerRules& rules = sprinklerRules(settings.hazard);
        const QString hazard = QString::fromLatin1(design.name);
        rows.push_back(
            {QStringLiteral("densità e area operativa, %1").arg(hazard),
             QStringLiteral("%1 mm/min su %2 m²").arg(number(design.density, 2), number(design.area, 0)),
             QString::fromUtf8(kDesignSource)});
        rows.push_back({QStringLiteral("pressione minima a ogni sprinkler, %1").arg(hazard),
                        QStringLiteral("%1 bar").arg(number(rules.leastPressure, 2)),
                        QString::fromUtf8(rules.pressureSource)});
        rows.push_back({QStringLiteral("area massima per sprinkler, %1").arg(hazard),
                        QStringLiteral("%1 m²").arg(number(rules.largestCoverage, 0)),
                        QString::fromUtf8(rules.coverageSource)});
        QStringList ks;
        for (const double k : rules.kFactors)
            ks << number(k, 0);
        rows.push_back({QStringLiteral("fattore K ammesso, %1").arg(hazard),
                        QStringLiteral("K %1 (±%2 %)")
                            .arg(ks.join(QStringLiteral(" o ")), number(kKFactorTolerance * 100, 0)),
                        QString::fromUtf8(rules.kSource)});
    }
    return rows;
}

} // namespace valmora
