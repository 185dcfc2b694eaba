#pragma once

// The verification in words and numbers, as the command line prints it and the report and
// the window lay it out: the heading, each scenario's sets with their members, the demand
// point, the velocities, the reserve, the verdict. Pressures in the project's unit (bar and
// MPa unless the designer chose m c.a. or kPa), at 10.197 m of water a bar, said once in the heading.

#include "standards/StandardVerification.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace valmora {

// "Verifica UNI 10779 - livello 2", "Verifica UNI EN 12845 - OH2".
QString verificationTitle(const StandardCheck& check);
// How a set was found: "esatto, tra tutti gli insiemi possibili", "scelto dal progettista"; its
// key in the JSON: "exact", "search", "designer", "area", "cluster".
QString foundText(SetFound found);
QString foundKey(SetFound found);
// The verdict in words, one sentence; why nothing was verified when nothing was.
QString verdictText(const Project& project, const StandardCheck& check, const QLocale& locale = QLocale());
QString verificationProblemText(const Project& project, const StandardCheck& check);
// Why a supply's settings make no curve.
QString supplyFaultText(SupplyFault fault);
// "K 115 non ammesso per OH2 (K 80)"; empty for a member whose K is allowed.
QString kNotAllowedText(const MemberCheck& member);

// "Pressioni in bar e MPa (1 bar = 10,197 m di colonna d'acqua)".
QString pressureUnitsText(PressureUnit unit, const QLocale& locale = QLocale());
// Where the calculation's own figures stand beside the verification's (the report): which bar is which.
QString unitsBesideCalculationText(PressureUnit unit, const QLocale& locale = QLocale());
// "2,35 bar (0,235 MPa)"; "23,9 m c.a."; "235 kPa".
QString barAndMPa(double bar, const QLocale& locale = QLocale());
QString verificationPressure(double bar, PressureUnit unit, const QLocale& locale = QLocale());
// "Idranti: 3 contemporanei per 60 minuti" (the role in the plural).
QString scenarioHeading(const ScenarioCheck& scenario, const QLocale& locale = QLocale());
QString rolePlural(TerminalRole role);

// One row of a member's table: name | type | K | flow | pressure | minimum flow | minimum
// pressure | verdict ("superato", "NON superato", "oltre 0,7 MPa", or why it fails).
QStringList memberCells(const MemberCheck& member, PressureUnit unit, const QLocale& locale = QLocale());
QStringList memberCaptions(PressureUnit unit);
QString memberVerdict(const MemberCheck& member);

// The lines that follow a scenario's tables: the demand point, the velocities, the most
// favourable flow and the reserve, the notes, the scenario's verdict.
// On a supply curve (`check.supplyCurve`) each set's lines begin with the pressure at its own
// operating point.
QStringList unfavourableSummary(const Project& project, const StandardCheck& check,
                                const ScenarioCheck& scenario, const QLocale& locale = QLocale());
QStringList favourableSummary(const Project& project, const StandardCheck& check,
                              const ScenarioCheck& scenario, const QLocale& locale = QLocale());
// "Pressione disponibile all'origine: ...": the fixed supply, or the supply curve's rule.
QString supplyLine(const StandardCheck& check, const QLocale& locale = QLocale());
// UNI EN 12845's design: "Densità 5,00 mm/min su 144 m², 12,0 m² per sprinkler".
QString hazardLine(const StandardCheck& check, const QLocale& locale = QLocale());
// "Posizione più sfavorevole (trovato con la ricerca):", or "più favorevole".
QString setCaption(const SetCheck& set, bool unfavourable);
// "Scenario superato" or "Scenario NON superato".
QString scenarioVerdictText(const ScenarioCheck& scenario);
// A scenario's note in words, one sentence; all of a scenario's, in order.
QString scenarioNoteText(const ScenarioNote& note, const QLocale& locale = QLocale());
QStringList scenarioNotesText(const ScenarioCheck& scenario, const QLocale& locale = QLocale());

// The lines after any set's table (the summaries above are those of the program's two positions).
QStringList setSummary(const Project& project, const StandardCheck& check, const ScenarioCheck& scenario,
                       const SetCheck& set, bool unfavourable, const QLocale& locale = QLocale());
// "Posizione più sfavorevole (scelto dal progettista):".
QString designerCaption(bool unfavourable);

// "Requisiti applicati:" and a line each: what, value, source.
QStringList requirementLines(const StandardCheck& check, const QLocale& locale = QLocale());
// The supply as the designer gave it: the pump's points and its curve, or the water main's test.
QStringList supplyDataLines(const StandardCheck& check, const QLocale& locale = QLocale());
// "Aperto da solo, \"Idr. 1\" sta a 6,12 bar (0,612 MPa): entro 0,7 MPa".
QString singleOutletLine(const SingleOutletCheck& single, PressureUnit unit,
                         const QLocale& locale = QLocale());

// The calculation sheet of a position: a section a row, from the supply to the members.
QStringList sheetCaptions(PressureUnit unit);
QStringList sheetCells(const SheetSection& section, PressureUnit unit, const QLocale& locale = QLocale());
// Under a sheet with loop pipes, how to read their rows; empty for a sheet without.
QString sheetLoopPipesNote(const std::vector<SheetSection>& sections);
// A section past its velocity limit (10 m/s in a pipe, 6 m/s through a valve).
bool overVelocity(const SheetSection& section);
// "! oltre i limiti di velocità: 10 m/s nei tubi, 6 m/s nelle valvole (KV)".
QString velocityLimitsText(const QLocale& locale = QLocale());
// "Foglio di calcolo - Idranti, posizione più sfavorevole (area operativa della norma)".
QString sheetTitle(const ScenarioCheck& scenario, const SetCheck& set, bool unfavourable);

// The whole verification as text lines (the command line's output).
QStringList verificationLines(const Project& project, const StandardCheck& check,
                              const QLocale& locale = QLocale());

} // namespace valmora
