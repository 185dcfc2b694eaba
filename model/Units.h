#pragma once

// Every conversion of a pressure the program makes, named once, and the unit the designer
// reads pressures in.
//
// Two bars meet in this program and must never be confused:
// - the calculation's bar, 10 m of water: the laws of the terminals and of the KV elements
//   take their K and KV "at 1 bar" of this kind, and the report's header has always shown
//   mm / 10 000 as bar; kept so that every result stays what it always was;
// - the bar of physics and of the standards, 100 kPa = 10.197 m of water: the verification,
//   the supply's curves and every pressure shown in a unit the designer chose.

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace valmora {

namespace units {
constexpr double kMmPerMetre = 1000; // mm of water column in a metre
// The calculation's bar and MPa (see above).
constexpr double kCalculationMmPerBar = 10000;
constexpr double kCalculationMmPerMPa = 100000;
// The physical bar.
constexpr double kMetresOfWaterPerBar = 10.197;
constexpr double kMmOfWaterPerBar = kMetresOfWaterPerBar * kMmPerMetre;
constexpr double kKPaPerBar = 100;
constexpr double kMPaPerBar = 0.1;
constexpr double kMmOfWaterPerKPa = kMmOfWaterPerBar / kKPaPerBar;
} // namespace units

// The unit of the pressures shown, the designer's choice in "Opzioni". Millimetres keeps
// every place's own unit, as the program has always shown them: the grid, the schema and the
// branch tables in mm of water (the header's bar and MPa at the calculation's conversion),
// the verification and the curves in bar. Any other unit is used everywhere alike.
enum class PressureUnit : uint8_t { Millimetres, Metres, Bar, KPa };

// The unit's name in the project file: "mm", "m", "bar", "kPa"; and back (nullopt: unknown).
QString pressureUnitKey(PressureUnit unit);
std::optional<PressureUnit> pressureUnitFromKey(const QString& key);
// As the options list it: "mm c.a.", "m c.a.", "bar", "kPa".
QString pressureUnitName(PressureUnit unit);

// How one kind of place shows a pressure: the symbol after the number, how many mm of water
// make one of the unit, and the decimals it is shown with.
struct PressureScale {
    QString symbol;       // "mm", "m c.a.", "bar", "kPa"
    double mmPerUnit = 1; // mm of water column
    int decimals = 0;

    double fromMm(double mm) const { return mm / mmPerUnit; }
    // From the physical bar of the verification and the curves.
    // (The ratio first: in bar it is exactly 1, and a bar comes back as it went.)
    double fromBar(double bar) const { return bar * (units::kMmOfWaterPerBar / mmPerUnit); }
    double toBar(double value) const { return value * (mmPerUnit / units::kMmOfWaterPerBar); }
    // The number alone, as a table's cell holds it ("12,345"); grouped in sentences ("1.234,5").
    QString cell(double mm, const QLocale& locale = QLocale()) const;
    QString number(double mm, const QLocale& locale = QLocale()) const;
    // The number and the symbol: "4,52 bar".
    QString text(double mm, const QLocale& locale = QLocale()) const;
    QString numberOfBar(double bar, const QLocale& locale = QLocale()) const;
    QString textOfBar(double bar, const QLocale& locale = QLocale()) const;
};

// The drops and pressures of the calculation: the grid's columns, the branch tables, the
// pressure left at a terminal. mm: whole mm; m: cm; bar: thousandths; kPa: tenths.
PressureScale calculationScale(PressureUnit unit);
// The verification's and the curves' pressures: bar with hundredths under Millimetres (as
// they have always been shown) and Bar; m c.a. with tenths; whole kPa.
PressureScale verificationScale(PressureUnit unit);

} // namespace valmora
