#include "model/Units.h"

#include "model/NumberFormat.h"

#include <array>

namespace valmora {

namespace {

struct UnitNames {
    PressureUnit unit;
    const char16_t* key;
    const char16_t* name;
};
constexpr std::array<UnitNames, 4> kUnits = {{
    {PressureUnit::Millimetres, u"mm", u"mm c.a."},
    {PressureUnit::Metres, u"m", u"m c.a."},
    {PressureUnit::Bar, u"bar", u"bar"},
    {PressureUnit::KPa, u"kPa", u"kPa"},
}};

QString picture(int decimals, bool grouped) {
    QString text = grouped ? QStringLiteral("#,#0") : QStringLiteral("#0");
    if (decimals > 0)
        text += u'.' + QString(decimals, u'0');
    return text;
}

} // namespace

QString pressureUnitKey(PressureUnit unit) {
    for (const UnitNames& names : kUnits)
        if (names.unit == unit)
            return QString::fromUtf16(names.key);
    return QString();
}

std::optional<PressureUnit> pressureUnitFromKey(const QString& key) {
    for (const UnitNames& names : kUnits)
        if (key == QString::fromUtf16(names.key))
            return names.unit;
    return std::nullopt;
}

QString pressureUnitName(PressureUnit unit) {
    for (const UnitNames& names : kUnits)
        if (names.unit == unit)
            return QString::fromUtf16(names.name);
    return QString();
}

QString PressureScale::cell(double mm, const QLocale& locale) const {
    return formatPicture(fromMm(mm), picture(decimals, false), locale);
}

QString PressureScale::number(double mm, const QLocale& locale) const {
    return formatPicture(fromMm(mm), picture(decimals, true), locale);
}

QString PressureScale::text(double mm, const QLocale& locale) const {
    return number(mm, locale) + u' ' + symbol;
}

QString PressureScale::numberOfBar(double bar, const QLocale& locale) const {
    return formatPicture(fromBar(bar), picture(decimals, true), locale);
}

QString PressureScale::textOfBar(double bar, const QLocale& locale) const {
    return numberOfBar(bar, locale) + u' ' + symbol;
}

PressureScale calculationScale(PressureUnit unit) {
    switch (unit) {
    case PressureUnit::Millimetres:
        break;
    case PressureUnit::Metres:
        return {QStringLiteral("m c.a."), units::kMmPerMetre, 2};
    case PressureUnit::Bar:
        return {QStringLiteral("bar"), units::kMmOfWaterPerBar, 3};
    case PressureUnit::KPa:
        return {QStringLiteral("kPa"), units::kMmOfWaterPerKPa, 1};
    }
    return {QStringLiteral("mm"), 1, 0};
}

PressureScale verificationScale(PressureUnit unit) {
    switch (unit) {
    case PressureUnit::Millimetres:
    case PressureUnit::Bar:
        break;
    case PressureUnit::Metres:
        return {QStringLiteral("m c.a."), units::kMmPerMetre, 1};
    case PressureUnit::KPa:
        return {QStringLiteral("kPa"), units::kMmOfWaterPerKPa, 0};
    }
    return {QStringLiteral("bar"), units::kMmOfWaterPerBar, 2};
}

} // namespace valmora
