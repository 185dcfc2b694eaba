#include "cli/VerifyCommand.h"

#include "model/Project.h"
#include "model/StandardSettings.h"
#include "standards/VerificationText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <optional>

namespace valmora {

namespace {

struct VerifyOptions {
    QString project;
    QString catalogueDirectory;
    bool json = false;
    std::optional<Standard> standard;
    std::optional<int> level;
    std::optional<HazardClass> hazard;
    std::optional<double> coverage;
};

std::optional<VerifyOptions> parseVerifyOptions(const QStringList& arguments) {
    VerifyOptions o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool takesValue = argument == QLatin1String("--standard") || argument == QLatin1String("--level") ||
                                argument == QLatin1String("--hazard") || argument == QLatin1String("--coverage") ||
                                argument == QLatin1String("--catalogues");
        if (argument == QLatin1String("--json")) {
            o.json = true;
            continue;
        }
        if (!takesValue) {
            if (argument.startsWith(QLatin1String("--")) || !o.project.isEmpty())
                return std::nullopt;
            o.project = argument;
            continue;
        }
        if (++i >= arguments.size())
            return std::nullopt;
        const QString& value = arguments[i];
        bool ok = true;
        if (argument == QLatin1String("--catalogues")) {
            o.catalogueDirectory = value;
        } else if (argument == QLatin1String("--standard")) {
            if (value == QLatin1String("uni10779"))
                o.standard = Standard::Uni10779;
            else if (value == QLatin1String("en12845"))
                o.standard = Standard::En12845;
            else
                return std::nullopt;
        } else if (argument == QLatin1String("--level")) {
            o.level = value.toInt(&ok);
            ok = ok && *o.level >= kLowestLevel && *o.level <= kHighestLevel;
        } else if (argument == QLatin1String("--hazard")) {
            o.hazard = hazardClassNamed(value);
            ok = o.hazard.has_value();
        } else {
            o.coverage = QLocale::c().toDouble(value, &ok);
            ok = ok && *o.coverage > 0;
        }
        if (!ok)
            return std::nullopt;
    }
    const bool uni = o.standard == Standard::Uni10779;
    const bool en = o.standard == Standard::En12845;
    if (o.project.isEmpty() || (uni && (!o.level || o.hazard || o.coverage)) || (en && (!o.hazard || o.level)) ||
        (!o.standard && (o.level || o.hazard || o.coverage)))
        return std::nullopt;
    return o;
}

QJsonArray nodeArray(const std::vector<int16_t>& nodes) {
    QJsonArray array;
    for (const int16_t node : nodes)
        array.append(node);
    return array;
}

QJsonValue optionalNumber(const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); }

QJsonObject setJson(const SetCheck& set, bool unfavourable, const ScenarioCheck& scenario) {
    QJsonObject o;
    o[QStringLiteral("found")] = foundKey(set.found);
    o[QStringLiteral("availablePressure")] = set.availablePressure; // bar at the origin where it was checked
    o[QStringLiteral("suppliesIt")] = set.suppliesIt;
    o[QStringLiteral("totalFlow")] = set.totalFlow;
    QJsonArray terminals;
    for (const MemberCheck& m : set.members) {
        QJsonObject t;
        t[QStringLiteral("node")] = m.node;
        t[QStringLiteral("flow")] = m.flow;
        t[QStringLiteral("pressure")] = optionalNumber(m.pressure);
        if (unfavourable) {
            t[QStringLiteral("name")] = m.name;
            t[QStringLiteral("type")] = m.type;
            t[QStringLiteral("requiredFlow")] = m.requiredFlow;
            t[QStringLiteral("requiredPressure")] = m.requiredPressure;
            t[QStringLiteral("pass")] = m.pass;
        }
        terminals.append(t);
    }
    o[QStringLiteral("terminals")] = terminals;
    o[QStringLiteral("sectionsOverVelocity")] = nodeArray(set.sectionsOverVelocity);
    o[QStringLiteral("valvesOverVelocity")] = nodeArray(set.valvesOverVelocity);
    if (unfavourable) {
        o[QStringLiteral("demandPressure")] = optionalNumber(set.demandPressure);
        o[QStringLiteral("demandFlow")] = set.demandPressure ? QJsonValue(set.demandFlow) : QJsonValue();
    } else {
        o[QStringLiteral("reserveVolume")] = scenario.reserveVolume;
    }
    return o;
}

} // namespace

QByteArray verificationJson(const StandardCheck& check) {
    QJsonObject o;
    o[QStringLiteral("standard")] = check.standard == Standard::Uni10779 ? QStringLiteral("uni10779")
                                                                          : QStringLiteral("en12845");
    o[QStringLiteral("level")] = check.standard == Standard::Uni10779 ? QJsonValue(check.level) : QJsonValue();
    o[QStringLiteral("hazard")] = check.standard == Standard::En12845
                                      ? QJsonValue(QString::fromLatin1(hazardDesign(check.hazard).name))
                                      : QJsonValue();
    o[QStringLiteral("coverage")] = check.standard == Standard::En12845 ? QJsonValue(check.coverage) : QJsonValue();
    o[QStringLiteral("supplyPressure")] = check.supplyPressure;
    o[QStringLiteral("supplyCurve")] = check.supplyCurve;
    o[QStringLiteral("pass")] = check.pass;
    QJsonArray scenarios;
    for (const ScenarioCheck& s : check.scenarios) {
        QJsonObject j;
        j[QStringLiteral("role")] = roleKey(s.role);
        j[QStringLiteral("count")] = s.count;
        j[QStringLiteral("candidates")] = s.candidates;
        j[QStringLiteral("durationMinutes")] = s.durationMinutes;
        j[QStringLiteral("pass")] = s.pass;
        j[QStringLiteral("notes")] = QJsonArray::fromStringList(s.notes);
        j[QStringLiteral("mostUnfavourable")] = setJson(s.mostUnfavourable, true, s);
        j[QStringLiteral("mostFavourable")] = setJson(s.mostFavourable, false, s);
        scenarios.append(j);
    }
    o[QStringLiteral("scenarios")] = scenarios;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

CliResult runVerify(const QStringList& arguments) {
    const std::optional<VerifyOptions> options = parseVerifyOptions(arguments);
    if (!options)
        return {kExitUsage, {}, cliUsage()};
    Project project;
    CliResult result;
    if (const auto problem = loadProjectForCli(options->project, options->catalogueDirectory, project, &result.error))
        return invalidInput(*problem);
    StandardSettings settings = project.standardSettings;
    if (options->standard) {
        settings.standard = *options->standard;
        settings.level = options->level.value_or(settings.level);
        settings.hazard = options->hazard.value_or(settings.hazard);
        if (options->coverage)
            settings.coverage = options->coverage;
    }
    if (settings.standard == Standard::None)
        return {kExitUsage, {},
                result.error + options->project +
                    QStringLiteral(": nessuna verifica salvata per il progetto: indicare --standard\n") + cliUsage()};
    const StandardCheck check = verifyStandard(project, settings);
    if (!check.problem.isEmpty())
        return invalidInput(options->project + QStringLiteral(": ") + verdictText(check));
    if (options->json)
        result.output = verificationJson(check);
    else
        result.output = (QStringLiteral("Progetto: %1\n").arg(options->project) +
                         verificationLines(project, check).join(u'\n') + u'\n')
                            .toUtf8();
    result.exitCode = check.pass ? kExitSuccess : kExitVerificationFailed;
    return result;
}

} // namespace valmora
