#include "standards/VerificationText.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"

namespace valmora {

using namespace standard_law;

namespace {

QString flowText(double flow, const QLocale& locale) { return formatPicture(flow, u"#,#0.0", locale); }
QString barText(double bar, const QLocale& locale) { return formatPicture(bar, u"#,#0.00", locale); }

// "Tratti oltre 10 m/s: Dorsale (12,3 m/s), Colonna (10,4 m/s)": each with its velocity.
QString overVelocityLine(const Project& project, const SetCheck& set, bool valves, const QLocale& locale) {
    QStringList named;
    for (const int16_t node : valves ? set.valvesOverVelocity : set.sectionsOverVelocity) {
        const auto velocity = set.velocities.find(node);
        named << QStringLiteral("%1 (%2 m/s)")
                     .arg(oneLine(project.NodeTable[std::size_t(node)].name),
                          formatPicture(velocity != set.velocities.end() ? velocity->second : 0, u"#0.0", locale));
    }
    return (valves ? QStringLiteral("Valvole (KV) oltre %1 m/s: ") : QStringLiteral("Tratti oltre %1 m/s: "))
               .arg(formatGeneral(valves ? kValveVelocityLimit : kPipeVelocityLimit, locale)) +
           named.join(QStringLiteral(", "));
}

} // namespace

QString pressureUnitsText(const QLocale& locale) {
    return QStringLiteral("Pressioni in bar e MPa (1 bar = %1 m di colonna d'acqua)")
        .arg(formatPicture(kMetresOfWaterPerBar, u"#0.000", locale));
}

QString barAndMPa(double bar, const QLocale& locale) {
    return QStringLiteral("%1 bar (%2 MPa)")
        .arg(barText(bar, locale), formatPicture(bar * kMPaPerBar, u"#,#0.000", locale));
}

QString rolePlural(TerminalRole role) {
    switch (role) {
    case TerminalRole::Hydrant: return QStringLiteral("Idranti");
    case TerminalRole::HoseReel: return QStringLiteral("Naspi");
    case TerminalRole::ExternalOutlet: return QStringLiteral("Attacchi esterni");
    case TerminalRole::Sprinkler: return QStringLiteral("Sprinkler");
    case TerminalRole::NotVerified: break;
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

const QStringList& memberCaptions() {
    static const QStringList captions = {QStringLiteral("Terminale"), QStringLiteral("Tipo"),
                                         QStringLiteral("Q l/min"),   QStringLiteral("P bar"),
                                         QStringLiteral("Q min"),     QStringLiteral("P min"),
                                         QStringLiteral("Esito")};
    return captions;
}

QString memberVerdict(const MemberCheck& member) {
    if (member.overMaximum)
        return QStringLiteral("oltre 0,7 MPa");
    return member.pass ? QStringLiteral("superato") : QStringLiteral("NON superato");
}

QStringList memberCells(const MemberCheck& member, const QLocale& locale) {
    return {oneLine(member.name),
            oneLine(member.type),
            flowText(member.flow, locale),
            member.pressure ? barText(*member.pressure, locale)
            : member.shutOff ? QStringLiteral("chiuso")
                             : QStringLiteral("senza dati"),
            flowText(member.requiredFlow, locale),
            barText(member.requiredPressure, locale),
            memberVerdict(member)};
}

QString supplyLine(const StandardCheck& check, const QLocale& locale) {
    if (check.supplyCurve)
        return QStringLiteral("Pressione disponibile all'origine: dalla curva di alimentazione, al punto di "
                              "funzionamento di ciascuna posizione");
    return QStringLiteral("Pressione disponibile all'origine: ") + barAndMPa(check.supplyPressure, locale);
}

namespace {

// On a supply curve: where the set works on it.
void addOperatingPoint(const StandardCheck& check, const SetCheck& set, const QLocale& locale, QStringList& lines) {
    if (!check.supplyCurve)
        return;
    lines << (set.suppliesIt ? QStringLiteral("Punto di funzionamento: %1 all'origine").arg(barAndMPa(set.availablePressure, locale))
                             : QStringLiteral("Punto di funzionamento: la curva di alimentazione non raggiunge la richiesta"));
}

} // namespace

QStringList unfavourableSummary(const Project& project, const StandardCheck& check, const ScenarioCheck& scenario,
                                const QLocale& locale) {
    const SetCheck& set = scenario.mostUnfavourable;
    QStringList lines;
    if (set.members.empty())
        return {QStringLiteral("Nessun terminale di questo tipo può erogare.")};
    addOperatingPoint(check, set, locale, lines);
    if (set.demandPressure)
        lines << QStringLiteral("Pressione richiesta all'origine: %1 per %2 l/min")
                     .arg(barAndMPa(*set.demandPressure, locale), flowText(set.demandFlow, locale));
    else
        lines << QStringLiteral("Pressione richiesta all'origine: nessuna pressione basta");
    lines << QStringLiteral("Portata alla pressione disponibile: %1 l/min").arg(flowText(set.totalFlow, locale));
    if (!set.sectionsOverVelocity.empty())
        lines << overVelocityLine(project, set, false, locale);
    if (!set.valvesOverVelocity.empty())
        lines << overVelocityLine(project, set, true, locale);
    return lines;
}

QStringList favourableSummary(const Project& project, const StandardCheck& check, const ScenarioCheck& scenario,
                              const QLocale& locale) {
    const SetCheck& set = scenario.mostFavourable;
    if (set.members.empty())
        return {};
    QStringList lines;
    addOperatingPoint(check, set, locale, lines);
    lines << QStringLiteral("Portata alla pressione disponibile: %1 l/min").arg(flowText(set.totalFlow, locale));
    lines << QStringLiteral("Riserva idrica per %1 minuti: %2 m³")
                 .arg(scenario.durationMinutes)
                 .arg(formatPicture(scenario.reserveVolume, u"#,#0.0", locale));
    if (!set.sectionsOverVelocity.empty())
        lines << overVelocityLine(project, set, false, locale);
    if (!set.valvesOverVelocity.empty())
        lines << overVelocityLine(project, set, true, locale);
    return lines;
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

QString scenarioVerdictText(const ScenarioCheck& scenario) {
    return scenario.pass ? QStringLiteral("Scenario superato") : QStringLiteral("Scenario NON superato");
}

QStringList verificationLines(const Project& project, const StandardCheck& check, const QLocale& locale) {
    QStringList lines{verificationTitle(check), pressureUnitsText(locale)};
    if (!check.problem.isEmpty()) {
        lines << verdictText(check, locale);
        return lines;
    }
    lines << supplyLine(check, locale);
    if (check.standard == Standard::En12845)
        lines << hazardLine(check, locale);
    for (const ScenarioCheck& scenario : check.scenarios) {
        lines << QString() << scenarioHeading(scenario, locale);
        lines << setCaption(scenario.mostUnfavourable, true);
        if (!scenario.mostUnfavourable.members.empty())
            lines << QStringLiteral("  ") + memberCaptions().join(QStringLiteral(" | "));
        for (const MemberCheck& m : scenario.mostUnfavourable.members)
            lines << QStringLiteral("  ") + memberCells(m, locale).join(QStringLiteral(" | "));
        for (const QString& line : unfavourableSummary(project, check, scenario, locale))
            lines << QStringLiteral("  ") + line;
        if (!scenario.mostFavourable.members.empty()) {
            lines << setCaption(scenario.mostFavourable, false);
            lines << QStringLiteral("  ") + memberCaptions().mid(0, 4).join(QStringLiteral(" | "));
            for (const MemberCheck& m : scenario.mostFavourable.members)
                lines << QStringLiteral("  ") + memberCells(m, locale).mid(0, 4).join(QStringLiteral(" | "));
            for (const QString& line : favourableSummary(project, check, scenario, locale))
                lines << QStringLiteral("  ") + line;
        }
        for (const QString& note : scenario.notes)
            lines << QStringLiteral("Nota: ") + note;
        lines << scenarioVerdictText(scenario);
    }
    lines << QString() << verdictText(check, locale);
    return lines;
}

} // namespace valmora
