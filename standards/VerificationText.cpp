#include "standards/VerificationText.h"

#include "model/Calculation.h"
#include "model/MessageText.h"
#include "model/NetworkProblemText.h"
#include "model/NumberFormat.h"
#include "standards/StandardTables.h"
#include "standards/SupplyCurve.h"

#include <algorithm>
#include <cmath>

namespace valmora {

using namespace standard_law;

namespace {

QString flowText(double flow, const QLocale& locale) {
    return formatPicture(flow, u"#,#0.0", locale);
}
// A pressure of the verification (in bar) as its tables show it: the number alone.
QString pressureCell(double bar, PressureUnit unit, const QLocale& locale) {
    return verificationScale(unit).numberOfBar(bar, locale);
}

// "P bar", "P m c.a.", "P kPa".
QString withUnit(const QString& caption, PressureUnit unit) {
    return caption + u' ' + verificationScale(unit).symbol;
}

// "Tratti oltre 10 m/s: Dorsale (12,3 m/s), Colonna (10,4 m/s)": each with its velocity.
QString overVelocityLine(const Project& project, const SetCheck& set, bool valves, const QLocale& locale) {
    QStringList named;
    for (const int16_t node : valves ? set.valvesOverVelocity : set.sectionsOverVelocity) {
        const auto velocity = set.velocities.find(node);
        named << QStringLiteral("%1 (%2 m/s)")
                     .arg(oneLine(project.NodeTable[std::size_t(node)].name),
                          formatPicture(velocity != set.velocities.end() ? velocity->second : 0, u"#0.0",
                                        locale));
    }
    if (!valves)
        for (const auto& [pipe, velocity] : set.loopPipesOverVelocity)
            named << QStringLiteral("%1 (%2 m/s)")
                         .arg(oneLine(project.loopPipes[std::size_t(pipe)].name),
                              formatPicture(velocity, u"#0.0", locale));
    return (valves ? QStringLiteral("Valvole (KV) oltre %1 m/s: ") : QStringLiteral("Tratti oltre %1 m/s: "))
               .arg(formatGeneral(valves ? kValveVelocityLimit : kPipeVelocityLimit, locale)) +
           named.join(QStringLiteral(", "));
}

} // namespace

QString pressureUnitsText(PressureUnit unit, const QLocale& locale) {
    const QString perBar = formatPicture(kMetresOfWaterPerBar, u"#0.000", locale);
    switch (unit) {
    case PressureUnit::Metres:
        return QStringLiteral("Pressioni in metri di colonna d'acqua (1 bar = %1 m)").arg(perBar);
    case PressureUnit::KPa:
        return QStringLiteral("Pressioni in kPa (100 kPa = 1 bar = %1 m di colonna d'acqua)").arg(perBar);
    case PressureUnit::Millimetres:
    case PressureUnit::Bar:
        break;
    }
    return QStringLiteral("Pressioni in bar e MPa (1 bar = %1 m di colonna d'acqua)").arg(perBar);
}

QString unitsBesideCalculationText(PressureUnit unit, const QLocale& locale) {
    const QString perBar = formatPicture(kMetresOfWaterPerBar, u"#0.000", locale);
    const QString calculationBar = formatPicture(hydraulics::kMmPerBar / units::kMmPerMetre, u"#0", locale);
    if (unit == PressureUnit::Millimetres)
        return QStringLiteral(
                   "Le tabelle dei rami danno le pressioni in mm di colonna d'acqua e, accanto, in bar e MPa "
                   "a "
                   "%1 mm per bar come il calcolo; la verifica e le curve le danno in bar, a %2 m di colonna "
                   "d'acqua per bar.")
            .arg(formatPicture(hydraulics::kMmPerBar, u"#,#0", locale), perBar);
    return QStringLiteral(
               "Ogni pressione è data in %1, a %2 m di colonna d'acqua per bar; solo i fattori K dei "
               "terminali "
               "e i KV delle valvole sono riferiti, come il calcolo li ha sempre presi, a 1 bar = %3 m di "
               "colonna d'acqua.")
        .arg(pressureUnitName(unit), perBar, calculationBar);
}

QString verificationPressure(double bar, PressureUnit unit, const QLocale& locale) {
    const PressureScale scale = verificationScale(unit);
    if (scale.symbol == QStringLiteral("bar"))
        return barAndMPa(bar, locale);
    return scale.textOfBar(bar, locale);
}

QString barAndMPa(double bar, const QLocale& locale) {
    return QStringLiteral("%1 bar (%2 MPa)")
        .arg(pressureCell(bar, PressureUnit::Bar, locale),
             formatPicture(bar * kMPaPerBar, u"#,#0.000", locale));
}

QString rolePlural(TerminalRole role) {
    switch (role) {
    case TerminalRole::Hydrant:
        return QStringLiteral("Idranti");
    case TerminalRole::HoseReel:
        return QStringLiteral("Naspi");
    case TerminalRole::ExternalOutlet:
        return QStringLiteral("Attacchi esterni");
    case TerminalRole::Sprinkler:
        return QStringLiteral("Sprinkler");
    case TerminalRole::NotVerified:
        break;
    }
    return QStringLiteral("Terminali");
}

QString scenarioHeading(const ScenarioCheck& scenario, const QLocale& locale) {
    Q_UNUSED(locale)
    return QStringLiteral("%1: %2 contemporanei per %3 minuti")
        .arg(rolePlural(scenario.role))
        .arg(scenario.count)
        .arg(scenario.durationMinutes);
}

QStringList memberCaptions(PressureUnit unit) {
    return {QStringLiteral("Terminale"),
            QStringLiteral("Tipo"),
            QStringLiteral("K"),
            QStringLiteral("Q l/min"),
            withUnit(QStringLiteral("P"), unit),
            QStringLiteral("Q min"),
            QStringLiteral("P min"),
            QStringLiteral("Esito")};
}

QString memberVerdict(const MemberCheck& member) {
    if (member.overMaximum)
        return QStringLiteral("oltre 0,7 MPa");
    if (member.kNotAllowedFor)
        return QStringLiteral("NON superato: ") + kNotAllowedText(member);
    return member.pass ? QStringLiteral("superato") : QStringLiteral("NON superato");
}

QStringList memberCells(const MemberCheck& member, PressureUnit unit, const QLocale& locale) {
    return {oneLine(member.name),
            oneLine(member.type),
            formatPicture(member.k, u"#0.0", locale),
            flowText(member.flow, locale),
            member.pressure  ? pressureCell(*member.pressure, unit, locale)
            : member.shutOff ? QStringLiteral("chiuso")
                             : QStringLiteral("senza dati"),
            flowText(member.requiredFlow, locale),
            pressureCell(member.requiredPressure, unit, locale),
            memberVerdict(member)};
}

QString supplyLine(const StandardCheck& check, const QLocale& locale) {
    if (check.supplyCurve)
        return QStringLiteral("Pressione disponibile all'origine: dalla curva di alimentazione, al punto di "
                              "funzionamento di ciascuna posizione");
    return QStringLiteral("Pressione disponibile all'origine: ") +
           verificationPressure(check.supplyPressure, check.pressureUnit, locale);
}

namespace {

// On a supply curve: where the set works on it.
void addOperatingPoint(const StandardCheck& check, const SetCheck& set, const QLocale& locale,
                       QStringList& lines) {
    if (!check.supplyCurve)
        return;
    lines << (set.suppliesIt
                  ? QStringLiteral("Punto di funzionamento: %1 all'origine")
                        .arg(verificationPressure(set.availablePressure, check.pressureUnit, locale))
                  : QStringLiteral(
                        "Punto di funzionamento: la curva di alimentazione non raggiunge la richiesta"));
}

} // namespace

QStringList setSummary(const Project& project, const StandardCheck& check, const ScenarioCheck& scenario,
                       const SetCheck& set, bool unfavourable, const QLocale& locale) {
    QStringList lines;
    if (set.members.empty())
        return unfavourable ? QStringList{QStringLiteral("Nessun terminale di questo tipo può erogare.")}
                            : QStringList{};
    addOperatingPoint(check, set, locale, lines);
    if (unfavourable && set.demandPressure)
        lines << QStringLiteral("Pressione richiesta all'origine: %1 per %2 l/min")
                     .arg(verificationPressure(*set.demandPressure, check.pressureUnit, locale),
                          flowText(set.demandFlow, locale));
    else if (unfavourable)
        lines << QStringLiteral("Pressione richiesta all'origine: nessuna pressione basta");
    lines << QStringLiteral("Portata alla pressione disponibile: %1 l/min")
                 .arg(flowText(set.totalFlow, locale));
    if (!unfavourable && &set == &scenario.mostFavourable)
        lines << QStringLiteral("Riserva idrica per %1 minuti: %2 m³")
                     .arg(scenario.durationMinutes)
                     .arg(formatPicture(scenario.reserveVolume, u"#,#0.0", locale));
    if (!set.sectionsOverVelocity.empty() || !set.loopPipesOverVelocity.empty())
        lines << overVelocityLine(project, set, false, locale);
    if (!set.valvesOverVelocity.empty())
        lines << overVelocityLine(project, set, true, locale);
    return lines;
}

QStringList unfavourableSummary(const Project& project, const StandardCheck& check,
                                const ScenarioCheck& scenario, const QLocale& locale) {
    return setSummary(project, check, scenario, scenario.mostUnfavourable, true, locale);
}

QStringList favourableSummary(const Project& project, const StandardCheck& check,
                              const ScenarioCheck& scenario, const QLocale& locale) {
    return setSummary(project, check, scenario, scenario.mostFavourable, false, locale);
}

QString designerCaption(bool unfavourable) {
    return QStringLiteral("Posizione più %1 (%2):")
        .arg(unfavourable ? QStringLiteral("sfavorevole") : QStringLiteral("favorevole"),
             foundText(SetFound::Designer));
}

QStringList requirementLines(const StandardCheck& check, const QLocale& locale) {
    Q_UNUSED(locale)
    QStringList lines{QStringLiteral("Requisiti applicati:")};
    for (const AppliedRequirement& r : check.requirements)
        lines << QStringLiteral("  %1: %2 (%3)").arg(r.what, r.value, r.source);
    lines << QStringLiteral(
        "  Ogni minimo è il maggiore tra quello della norma e quello che la legge del terminale "
        "Q = K √p ne dà.");
    return lines;
}

QStringList supplyDataLines(const StandardCheck& check, const QLocale& locale) {
    const SupplySettings& s = check.supply;
    const SupplyCurve curve(s, check.supplyPressure);
    if (s.kind == SupplyKind::Pump) {
        QStringList points;
        for (const PumpPoint& p : s.pump)
            points << QStringLiteral("%1 l/min a %2")
                          .arg(flowText(p.flow, locale),
                               verificationScale(check.pressureUnit).textOfBar(p.pressure, locale));
        return {QStringLiteral("Alimentazione: pompa, punti %1").arg(points.join(QStringLiteral("; "))),
                QStringLiteral("Curva della pompa: ") + curve.formula(locale)};
    }
    if (s.kind == SupplyKind::MainTest)
        return {QStringLiteral("Alimentazione: acquedotto, pressione statica %1, residua %2 a %3 l/min")
                    .arg(verificationScale(check.pressureUnit).textOfBar(s.staticPressure, locale),
                         verificationScale(check.pressureUnit).textOfBar(s.residualPressure, locale),
                         flowText(s.testFlow, locale)),
                QStringLiteral("Curva dell'acquedotto: ") + curve.formula(locale)};
    return {QStringLiteral("Alimentazione: pressione di progetto fissa, %1")
                .arg(verificationPressure(check.supplyPressure, check.pressureUnit, locale))};
}

QString singleOutletLine(const SingleOutletCheck& single, PressureUnit unit, const QLocale& locale) {
    return QStringLiteral("Aperto da solo, il terminale che sta più in alto è \"%1\": %2, %3 0,7 MPa")
        .arg(oneLine(single.name), verificationPressure(single.pressure, unit, locale),
             single.pass ? QStringLiteral("entro") : QStringLiteral("oltre"));
}

QStringList sheetCaptions(PressureUnit unit) {
    // Metres as "m" in the narrow columns.
    const auto inUnit = [unit](const QString& caption) {
        return unit == PressureUnit::Metres ? caption + QStringLiteral(" m") : withUnit(caption, unit);
    };
    return {QStringLiteral("Tratto"),    QStringLiteral("Serie"),      QStringLiteral("DN"),
            QStringLiteral("Di mm"),     QStringLiteral("L m"),        QStringLiteral("Leq m"),
            QStringLiteral("C"),         QStringLiteral("Q l/min"),    QStringLiteral("v m/s"),
            inUnit(QStringLiteral("J")), inUnit(QStringLiteral("Dz")), inUnit(QStringLiteral("P"))};
}

bool overVelocity(const SheetSection& section) {
    // Either way along it: on a ring a section may carry water back.
    return std::abs(section.velocity) > (section.kv ? kValveVelocityLimit : kPipeVelocityLimit);
}

QString sheetLoopPipesNote(const std::vector<SheetSection>& sections) {
    const bool any = std::any_of(sections.begin(), sections.end(),
                                 [](const SheetSection& section) { return section.loopPipe >= 0; });
    return any ? QStringLiteral("Anelli: portata positiva dal primo nodo al secondo, P al secondo nodo; "
                                "nei tratti, portata negativa contro il verso della rete.")
               : QString();
}

QStringList sheetCells(const SheetSection& section, PressureUnit unit, const QLocale& locale) {
    const auto number = [&](double value, QStringView picture) {
        return formatPicture(value, picture, locale);
    };
    // A decimal more than the tables' pressures, two more for the losses: in bar 0,001 and 0,0001.
    const PressureScale scale = verificationScale(unit);
    const auto pressure = [&](double bar, int moreDecimals) {
        return formatPicture(scale.fromBar(bar),
                             QStringLiteral("#0.") + QString(scale.decimals + moreDecimals, u'0'), locale);
    };
    const QString velocity =
        section.innerDiameter > 0 || section.velocity != 0
            ? number(section.velocity, u"#0.00") + (overVelocity(section) ? QStringLiteral("!") : QString())
            : QString();
    if (section.kv)
        return {oneLine(section.name),
                QStringLiteral("KV"),
                QString(),
                QString(),
                QString(),
                number(section.equivalentLength, u"#0.0"),
                QString(),
                number(section.flow, u"#,#0.0"),
                velocity,
                pressure(section.loss, 2),
                pressure(section.staticDifference, 1),
                pressure(section.pressure, 1)};
    return {oneLine(section.name),
            oneLine(section.seriesCode),
            oneLine(section.diameter),
            number(section.innerDiameter, u"#0.0"),
            number(section.length, u"#0.00"),
            number(section.equivalentLength, u"#0.00"),
            QString::number(section.c),
            number(section.flow, u"#,#0.0"),
            velocity,
            pressure(section.loss, 2),
            pressure(section.staticDifference, 1),
            pressure(section.pressure, 1)};
}

QString velocityLimitsText(const QLocale& locale) {
    return QStringLiteral("! oltre i limiti di velocità: %1 m/s nei tubi, %2 m/s nelle valvole (KV)")
        .arg(formatGeneral(kPipeVelocityLimit, locale), formatGeneral(kValveVelocityLimit, locale));
}

QString sheetTitle(const ScenarioCheck& scenario, const SetCheck& set, bool unfavourable) {
    return QStringLiteral("Foglio di calcolo - %1, posizione più %2 (%3)")
        .arg(rolePlural(scenario.role),
             unfavourable ? QStringLiteral("sfavorevole") : QStringLiteral("favorevole"),
             foundText(set.found));
}

QString hazardLine(const StandardCheck& check, const QLocale& locale) {
    const HazardDesign& hazard = hazardDesign(check.hazard);
    return QStringLiteral("Densità %1 mm/min su %2 m², %3 m² per sprinkler")
        .arg(formatPicture(hazard.density, u"#0.00", locale), formatPicture(hazard.area, u"#0", locale),
             formatPicture(check.coverage, u"#0.0", locale));
}

QString setCaption(const SetCheck& set, bool unfavourable) {
    return QStringLiteral("Posizione più %1 (%2):")
        .arg(unfavourable ? QStringLiteral("sfavorevole") : QStringLiteral("favorevole"),
             foundText(set.found));
}

QString scenarioNoteText(const ScenarioNote& note, const QLocale& locale) {
    const auto bar = [&](double value) {
        return formatPicture(value, u"#0.00", locale) + QStringLiteral(" bar");
    };
    switch (note.kind) {
    case ScenarioNoteKind::NoNominalValues:
        return QStringLiteral("Il terminale \"%1\" non ha portata e pressione nominali: escluso.")
            .arg(note.name);
    case ScenarioNoteKind::BehindClosedSection:
        return QStringLiteral("Terminali dietro un tratto chiuso, esclusi dalla ricerca: %1.")
            .arg(note.count);
    case ScenarioNoteKind::FewerThanAsked:
        return note.count == 1
                   ? QStringLiteral("La rete ha 1 terminale di questo tipo che può erogare, la norma ne "
                                    "chiede %1 contemporanei: è verificato solo quello.")
                         .arg(note.asked)
                   : QStringLiteral("La rete ha %1 terminali di questo tipo che possono erogare, la "
                                    "norma ne chiede %2 contemporanei: sono verificati tutti.")
                         .arg(note.count)
                         .arg(note.asked);
    case ScenarioNoteKind::CoverageOverClass:
        return QStringLiteral("L'area per sprinkler (%1 m²) supera la massima della classe %2 (%3 m²).")
            .arg(formatPicture(note.value, u"#0.0", locale), note.name,
                 formatPicture(note.other, u"#0", locale));
    case ScenarioNoteKind::DesignerSetLost:
        return QStringLiteral("Dell'insieme scelto dal progettista %1 terminali non sono più nella rete.")
            .arg(note.count);
    case ScenarioNoteKind::DesignerSetSize:
        return QStringLiteral("L'insieme scelto dal progettista ha %1 terminali, la norma ne chiede %2.")
            .arg(note.count)
            .arg(note.asked);
    case ScenarioNoteKind::DesignerSetEasier:
        return QStringLiteral("L'insieme scelto chiede %1, l'area più sfavorevole %2: la verifica resta su "
                              "quest'ultima.")
            .arg(bar(note.value), bar(note.other));
    case ScenarioNoteKind::SupplyNeverMeets:
        return QStringLiteral("La curva di alimentazione non incontra la domanda dell'insieme: non fornisce "
                              "neppure il primo litro.");
    case ScenarioNoteKind::NotConverged:
        return QStringLiteral("La soluzione di un insieme non converge: lo scenario non è verificato.");
    }
    return {};
}

QStringList scenarioNotesText(const ScenarioCheck& scenario, const QLocale& locale) {
    QStringList texts;
    for (const ScenarioNote& note : scenario.notes)
        texts << scenarioNoteText(note, locale);
    return texts;
}

QString scenarioVerdictText(const ScenarioCheck& scenario) {
    return scenario.pass ? QStringLiteral("Scenario superato") : QStringLiteral("Scenario NON superato");
}

namespace {

void addTable(QStringList& lines, const QStringList& captions, const std::vector<QStringList>& rows) {
    lines << QStringLiteral("  ") + captions.join(QStringLiteral(" | "));
    for (const QStringList& row : rows)
        lines << QStringLiteral("  ") + row.join(QStringLiteral(" | "));
}

void addPosition(QStringList& lines, const Project& project, const StandardCheck& check,
                 const ScenarioCheck& scenario, const SetCheck& set, bool unfavourable,
                 const QString& caption, const QLocale& locale) {
    lines << caption;
    if (!set.members.empty()) {
        const int columns = unfavourable ? int(memberCaptions(check.pressureUnit).size()) : 5;
        std::vector<QStringList> rows;
        for (const MemberCheck& m : set.members)
            rows.push_back(memberCells(m, check.pressureUnit, locale).mid(0, columns));
        addTable(lines, memberCaptions(check.pressureUnit).mid(0, columns), rows);
    }
    for (const QString& line : setSummary(project, check, scenario, set, unfavourable, locale))
        lines << QStringLiteral("  ") + line;
    if (!set.sections.empty()) {
        lines << QStringLiteral("  ") + sheetTitle(scenario, set, unfavourable);
        std::vector<QStringList> rows;
        for (const SheetSection& section : set.sections)
            rows.push_back(sheetCells(section, check.pressureUnit, locale));
        addTable(lines, sheetCaptions(check.pressureUnit), rows);
        if (const QString note = sheetLoopPipesNote(set.sections); !note.isEmpty())
            lines << QStringLiteral("  ") + note;
    }
}

} // namespace

QStringList verificationLines(const Project& project, const StandardCheck& check, const QLocale& locale) {
    QStringList lines{verificationTitle(check), pressureUnitsText(check.pressureUnit, locale)};
    if (!check.verified()) {
        lines << verdictText(project, check, locale);
        return lines;
    }
    lines << supplyLine(check, locale) << supplyDataLines(check, locale);
    if (check.standard == Standard::En12845)
        lines << hazardLine(check, locale);
    lines << requirementLines(check, locale) << velocityLimitsText(locale);
    for (const ScenarioCheck& scenario : check.scenarios) {
        lines << QString() << scenarioHeading(scenario, locale);
        addPosition(lines, project, check, scenario, scenario.mostUnfavourable, true,
                    setCaption(scenario.mostUnfavourable, true), locale);
        if (!scenario.mostFavourable.members.empty())
            addPosition(lines, project, check, scenario, scenario.mostFavourable, false,
                        setCaption(scenario.mostFavourable, false), locale);
        for (const bool unfavourable : {true, false})
            if (const auto& designer =
                    unfavourable ? scenario.designerUnfavourable : scenario.designerFavourable)
                addPosition(lines, project, check, scenario, *designer, unfavourable,
                            designerCaption(unfavourable), locale);
        if (scenario.singleOutlet)
            lines << singleOutletLine(*scenario.singleOutlet, check.pressureUnit, locale);
        for (const QString& note : scenarioNotesText(scenario))
            lines << QStringLiteral("Nota: ") + note;
        lines << scenarioVerdictText(scenario);
    }
    lines << QString() << verdictText(project, check, locale);
    return lines;
}

QString verificationTitle(const StandardCheck& check) {
    if (check.standard == Standard::Uni10779)
        return QStringLiteral("Verifica UNI 10779 — livello %1").arg(check.level);
    if (check.standard == Standard::En12845)
        return QStringLiteral("Verifica UNI EN 12845 — ") + QLatin1String(hazardDesign(check.hazard).name);
    return QStringLiteral("Verifica di norma");
}

namespace {

// How a set was found, for the designer and in the JSON.
struct FoundWords {
    SetFound found;
    const char* key;
    const char* text;
};
constexpr std::array<FoundWords, 5> kFoundWords{
    {{SetFound::Exact, "exact", "esatto, tra tutti gli insiemi possibili"},
     {SetFound::Search, "search", "qualunque insieme, trovato con la ricerca"},
     {SetFound::Designer, "designer", "scelto dal progettista"},
     {SetFound::Area, "area", "area operativa della norma"},
     {SetFound::Cluster, "cluster", "terminali più vicini tra loro"}}};

const FoundWords& wordsOf(SetFound found) {
    for (const FoundWords& words : kFoundWords)
        if (words.found == found)
            return words;
    return kFoundWords.front();
}

} // namespace

QString foundText(SetFound found) {
    return QString::fromUtf8(wordsOf(found).text);
}

QString foundKey(SetFound found) {
    return QLatin1String(wordsOf(found).key);
}

QString supplyFaultText(SupplyFault fault) {
    switch (fault) {
    case SupplyFault::PumpPointsOutOfOrder:
        return QStringLiteral(
            "I tre punti della pompa devono avere portate crescenti e pressioni decrescenti "
            "(sopra 0 bar): prevalenza a portata nulla, portata nominale, sovraccarico.");
    case SupplyFault::PumpCurveRises:
        return QStringLiteral("I tre punti della pompa non danno una curva che scende sempre: la "
                              "pressione risalirebbe con la portata.");
    case SupplyFault::MainTestOutOfOrder:
        return QStringLiteral("La prova dell'acquedotto chiede una pressione statica maggiore della residua "
                              "(non negativa) e una portata di prova maggiore di 0.");
    case SupplyFault::None:
        break;
    }
    return {};
}

QString verificationProblemText(const Project& project, const StandardCheck& check) {
    switch (check.problem) {
    case VerificationProblem::NoStandard:
        return QStringLiteral("Nessuna norma scelta.");
    case VerificationProblem::NetworkRefused:
        return check.networkProblem ? networkProblemText(project, *check.networkProblem) : QString();
    case VerificationProblem::SupplyRefused:
        return supplyFaultText(check.supplyFault);
    case VerificationProblem::NoScenario:
        return QStringLiteral(
            "Nessuno scenario da verificare: nessun terminale della rete ha un ruolo che la "
            "norma verifica, o per ognuno sono chiesti 0 terminali contemporanei.");
    case VerificationProblem::None:
        break;
    }
    return {};
}

QString kNotAllowedText(const MemberCheck& member) {
    if (!member.kNotAllowedFor)
        return {};
    const HazardClass hazard = *member.kNotAllowedFor;
    QStringList allowed;
    for (const double k : sprinklerRules(hazard).kFactors)
        allowed << formatPicture(k, u"#0");
    return QStringLiteral("K %1 non ammesso per %2 (K %3)")
        .arg(formatPicture(member.k, u"#0"), QLatin1String(hazardDesign(hazard).name),
             allowed.join(QStringLiteral(" o ")));
}

QString verdictText(const Project& project, const StandardCheck& check, const QLocale& locale) {
    if (!check.verified())
        return QStringLiteral("Verifica non eseguita: ") + verificationProblemText(project, check);
    if (check.pass && check.supplyCurve)
        return QStringLiteral(
            "Verifica superata: ogni scenario soddisfa la norma al suo punto di funzionamento sulla "
            "curva di alimentazione.");
    if (check.pass)
        return QStringLiteral("Verifica superata: ogni scenario soddisfa la norma alla pressione di %1 bar.")
            .arg(formatPicture(check.supplyPressure, u"#0.00", locale));
    QStringList failed;
    for (const ScenarioCheck& s : check.scenarios)
        if (!s.pass)
            failed << rolePlural(s.role);
    return QStringLiteral("Verifica NON superata negli scenari: %1.").arg(failed.join(QStringLiteral(", ")));
}

} // namespace valmora
