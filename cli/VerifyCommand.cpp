#include "cli/VerifyCommand.h"

#include "model/StandardSettings.h"
#include "model/Workspace.h"
#include "standards/StandardTables.h"
#include "standards/VerificationText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>

#include <optional>
#include <variant>

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
    std::optional<bool> anySet;
};

const QString kStandardOption = QStringLiteral("--standard");
const QString kLevelOption = QStringLiteral("--level");
const QString kHazardOption = QStringLiteral("--hazard");
const QString kCoverageOption = QStringLiteral("--coverage");
const QString kCataloguesOption = QStringLiteral("--catalogues");
const QString kSetsOption = QStringLiteral("--sets");

QString hazardNames() {
    QStringList names;
    for (int h = 0; h < kHazardClassCount; ++h)
        names << QString::fromLatin1(hazardDesign(HazardClass(h)).name);
    return names.join(QStringLiteral(", "));
}

// One option's value taken into `o`; empty, or what is wrong with it.
QString takeOption(VerifyOptions& o, const QString& option, const QString& value) {
    const QString given = option + u' ' + value;
    if (option == kCataloguesOption) {
        o.catalogueDirectory = value;
    } else if (option == kSetsOption) {
        if (value != QLatin1String("area") && value != QLatin1String("any"))
            return given + QStringLiteral(": attesi area (le aree della norma) o any (qualunque insieme)");
        o.anySet = value == QLatin1String("any");
    } else if (option == kStandardOption) {
        if (value == QLatin1String("uni10779"))
            o.standard = Standard::Uni10779;
        else if (value == QLatin1String("en12845"))
            o.standard = Standard::En12845;
        else
            return given + QStringLiteral(": norma sconosciuta (uni10779 o en12845)");
    } else if (option == kLevelOption) {
        bool ok = false;
        o.level = value.toInt(&ok);
        if (!ok || !withinLimit(LimitedSetting::Level, *o.level))
            return given + QStringLiteral(": ") + limitText(LimitedSetting::Level);
    } else if (option == kHazardOption) {
        o.hazard = hazardClassNamed(value);
        if (!o.hazard)
            return given + QStringLiteral(": classe di pericolo sconosciuta (%1)").arg(hazardNames());
    } else {
        bool ok = false;
        o.coverage = QLocale::c().toDouble(value, &ok);
        if (!ok || !withinLimit(LimitedSetting::Coverage, *o.coverage))
            return given + QStringLiteral(": ") + limitText(LimitedSetting::Coverage);
    }
    return {};
}

// What is wrong with the options taken together; empty when nothing.
QString combinationProblem(const VerifyOptions& o) {
    if (o.project.isEmpty())
        return QStringLiteral("verify: serve un file di progetto");
    if (!o.standard && (o.level || o.hazard || o.coverage))
        return QStringLiteral("--level, --hazard e --coverage vanno con --standard");
    if (o.standard == Standard::Uni10779 && (o.hazard || o.coverage))
        return QStringLiteral("--hazard e --coverage vanno con --standard en12845");
    if (o.standard == Standard::Uni10779 && !o.level)
        return QStringLiteral("--standard uni10779 vuole --level");
    if (o.standard == Standard::En12845 && o.level)
        return QStringLiteral("--level va con --standard uni10779");
    if (o.standard == Standard::En12845 && !o.hazard)
        return QStringLiteral("--standard en12845 vuole --hazard");
    return {};
}

std::variant<VerifyOptions, QString> parseVerifyOptions(const QStringList& arguments) {
    VerifyOptions o;
    const QStringList valued{kStandardOption, kLevelOption,      kHazardOption,
                             kCoverageOption, kCataloguesOption, kSetsOption};
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--json")) {
            o.json = true;
        } else if (valued.contains(argument)) {
            if (++i >= arguments.size())
                return argument + QStringLiteral(": manca il valore");
            if (const QString wrong = takeOption(o, argument, arguments[i]); !wrong.isEmpty())
                return wrong;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return QStringLiteral("opzione sconosciuta: %1").arg(argument);
        } else if (!o.project.isEmpty()) {
            return QStringLiteral("verify: un solo file di progetto (trovati %1 e %2)")
                .arg(o.project, argument);
        } else {
            o.project = argument;
        }
    }
    if (const QString wrong = combinationProblem(o); !wrong.isEmpty())
        return wrong;
    return o;
}

QJsonArray nodeArray(const std::vector<int16_t>& nodes) {
    QJsonArray array;
    for (const int16_t node : nodes)
        array.append(node);
    return array;
}

QJsonValue optionalNumber(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonArray sectionsJson(const SetCheck& set) {
    QJsonArray sections;
    for (const SheetSection& s : set.sections) {
        QJsonObject j;
        j[QStringLiteral("node")] = s.node;
        if (s.loopPipe >= 0)
            j[QStringLiteral("loopPipe")] = s.loopPipe + 1; // as the loop window numbers them
        j[QStringLiteral("name")] = s.name;
        j[QStringLiteral("series")] = s.kv ? QStringLiteral("KV") : s.series;
        j[QStringLiteral("diameter")] = s.kv ? QJsonValue() : QJsonValue(s.innerDiameter);
        j[QStringLiteral("length")] = s.length;
        j[QStringLiteral("equivalentLength")] = s.equivalentLength;
        j[QStringLiteral("c")] = s.kv ? QJsonValue() : QJsonValue(s.c);
        j[QStringLiteral("flow")] = s.flow;
        j[QStringLiteral("velocity")] = s.velocity;
        j[QStringLiteral("loss")] = s.loss;
        j[QStringLiteral("staticDifference")] = s.staticDifference;
        j[QStringLiteral("pressure")] = s.pressure;
        sections.append(j);
    }
    return sections;
}

QJsonObject setJson(const SetCheck& set, bool unfavourable, const ScenarioCheck& scenario) {
    QJsonObject o;
    o[QStringLiteral("found")] = foundKey(set.found);
    o[QStringLiteral("availablePressure")] = set.availablePressure; // bar at the origin where it was checked
    o[QStringLiteral("suppliesIt")] = set.suppliesIt;
    o[QStringLiteral("converged")] = set.converged;
    o[QStringLiteral("totalFlow")] = set.totalFlow;
    QJsonArray terminals;
    for (const MemberCheck& m : set.members) {
        QJsonObject t;
        t[QStringLiteral("node")] = m.node;
        t[QStringLiteral("flow")] = m.flow;
        t[QStringLiteral("pressure")] = optionalNumber(m.pressure);
        t[QStringLiteral("k")] = m.k;
        if (unfavourable) {
            t[QStringLiteral("name")] = m.name;
            t[QStringLiteral("type")] = m.type;
            t[QStringLiteral("requiredFlow")] = m.requiredFlow;
            t[QStringLiteral("requiredPressure")] = m.requiredPressure;
            t[QStringLiteral("pass")] = m.pass;
            if (m.kNotAllowedFor)
                t[QStringLiteral("refusal")] = kNotAllowedText(m);
        }
        terminals.append(t);
    }
    o[QStringLiteral("terminals")] = terminals;
    o[QStringLiteral("sectionsOverVelocity")] = nodeArray(set.sectionsOverVelocity);
    o[QStringLiteral("valvesOverVelocity")] = nodeArray(set.valvesOverVelocity);
    if (!set.loopPipesOverVelocity.empty()) {
        QJsonArray pipes;
        for (const auto& [pipe, velocity] : set.loopPipesOverVelocity)
            pipes.append(pipe + 1);
        o[QStringLiteral("loopPipesOverVelocity")] = pipes;
    }
    if (unfavourable) {
        o[QStringLiteral("demandPressure")] = optionalNumber(set.demandPressure);
        o[QStringLiteral("demandFlow")] = set.demandPressure ? QJsonValue(set.demandFlow) : QJsonValue();
    } else if (&set == &scenario.mostFavourable) {
        o[QStringLiteral("reserveVolume")] = scenario.reserveVolume;
    }
    o[QStringLiteral("sections")] = sectionsJson(set);
    return o;
}

} // namespace

QByteArray verificationJson(const StandardCheck& check) {
    QJsonObject o;
    o[QStringLiteral("standard")] =
        check.standard == Standard::Uni10779 ? QStringLiteral("uni10779") : QStringLiteral("en12845");
    o[QStringLiteral("level")] =
        check.standard == Standard::Uni10779 ? QJsonValue(check.level) : QJsonValue();
    o[QStringLiteral("hazard")] = check.standard == Standard::En12845
                                      ? QJsonValue(QString::fromLatin1(hazardDesign(check.hazard).name))
                                      : QJsonValue();
    o[QStringLiteral("coverage")] =
        check.standard == Standard::En12845 ? QJsonValue(check.coverage) : QJsonValue();
    o[QStringLiteral("supplyPressure")] = check.supplyPressure;
    o[QStringLiteral("supplyCurve")] = check.supplyCurve;
    o[QStringLiteral("sets")] = check.anySet ? QStringLiteral("any") : QStringLiteral("area");
    QJsonArray requirements;
    for (const AppliedRequirement& r : check.requirements)
        requirements.append(QJsonObject{{QStringLiteral("what"), r.what},
                                        {QStringLiteral("value"), r.value},
                                        {QStringLiteral("source"), r.source}});
    o[QStringLiteral("requirements")] = requirements;
    o[QStringLiteral("pass")] = check.pass;
    QJsonArray scenarios;
    for (const ScenarioCheck& s : check.scenarios) {
        QJsonObject j;
        j[QStringLiteral("role")] = roleKey(s.role);
        j[QStringLiteral("count")] = s.count;
        j[QStringLiteral("candidates")] = s.candidates;
        j[QStringLiteral("durationMinutes")] = s.durationMinutes;
        j[QStringLiteral("pass")] = s.pass;
        j[QStringLiteral("notes")] = QJsonArray::fromStringList(scenarioNotesText(s));
        j[QStringLiteral("mostUnfavourable")] = setJson(s.mostUnfavourable, true, s);
        j[QStringLiteral("mostFavourable")] = setJson(s.mostFavourable, false, s);
        j[QStringLiteral("setsTried")] = s.mostUnfavourable.setsTried;
        if (s.designerUnfavourable)
            j[QStringLiteral("designerUnfavourable")] = setJson(*s.designerUnfavourable, true, s);
        if (s.designerFavourable)
            j[QStringLiteral("designerFavourable")] = setJson(*s.designerFavourable, false, s);
        if (s.singleOutlet) {
            QJsonObject single;
            single[QStringLiteral("node")] = s.singleOutlet->node;
            single[QStringLiteral("name")] = s.singleOutlet->name;
            single[QStringLiteral("pressure")] = s.singleOutlet->pressure;
            single[QStringLiteral("pass")] = s.singleOutlet->pass;
            j[QStringLiteral("singleOutlet")] = single;
        }
        scenarios.append(j);
    }
    o[QStringLiteral("scenarios")] = scenarios;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

CliResult runVerify(const QStringList& arguments) {
    const std::variant<VerifyOptions, QString> parsed = parseVerifyOptions(arguments);
    if (const auto* wrong = std::get_if<QString>(&parsed))
        return usageError(*wrong);
    const VerifyOptions* options = &std::get<VerifyOptions>(parsed);
    Workspace workspace;
    const Project& project = workspace.project;
    CliResult result;
    if (const auto problem = loadProjectForCli(options->project, options->catalogueDirectory, workspace,
                                               result.error, SettingsUse::Used))
        return invalidInput(result.error + *problem);
    StandardSettings settings = project.standardSettings;
    if (options->standard) {
        settings.standard = *options->standard;
        settings.level = options->level.value_or(settings.level);
        settings.hazard = options->hazard.value_or(settings.hazard);
        if (options->coverage)
            settings.coverage = options->coverage;
    }
    if (options->anySet)
        settings.anySet = *options->anySet;
    if (settings.standard == Standard::None)
        return {kExitUsage,
                {},
                result.error +
                    QStringLiteral("valmora-cli: %1: nessuna verifica salvata per il progetto: "
                                   "indicare --standard\n")
                        .arg(options->project) +
                    cliUsage()};
    const StandardCheck check = verifyStandard(project, settings);
    if (!check.verified())
        return invalidInput(options->project + QStringLiteral(": ") + verdictText(project, check));
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
