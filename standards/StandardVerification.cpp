#include "standards/StandardVerification.h"
#include "standards/VerificationText.h"

#include "model/Calculation.h"
#include "model/NumberFormat.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace valmora {

using namespace standard_law;

namespace {

// A member reaches its minimum when it stands within this (bar, l/min) of it: the solution
// is exact to far less, and a member set exactly at its minimum by the designer passes.
constexpr double kReachedTolerance = 1e-9;

struct Requirement {
    double flow = 0;     // l/min
    double pressure = 0; // bar
    // The pressure that gives both: Q = Kn sqrt(p) reaches the flow at (flow / Kn)^2.
    double binding(double kn) const { return kn > 0 ? std::max(pressure, std::pow(flow / kn, 2)) : pressure; }
};

Requirement requirementOf(const Project& project, const StandardSettings& settings, TerminalRole role,
                          int16_t end) {
    const TerminalType& type =
        project.terminalTypeOf(project.terminalOf(project.NodeTable[std::size_t(end)]));
    Requirement r{double(type.nominalFlow), double(type.nominalPressure)};
    if (role == TerminalRole::Sprinkler && settings.standard == Standard::En12845)
        r.flow = hazardDesign(settings.hazard).density * settings.coverageM2();
    return r;
}

std::vector<TerminalRole> rolesAskedFor(Standard standard) {
    if (standard == Standard::Uni10779)
        return {TerminalRole::Hydrant, TerminalRole::HoseReel, TerminalRole::ExternalOutlet};
    if (standard == Standard::En12845)
        return {TerminalRole::Sprinkler};
    return {};
}

} // namespace

int workingAtOnceOf(const StandardSettings& s, TerminalRole role) {
    if (s.standard == Standard::En12845)
        return int(std::ceil(hazardDesign(s.hazard).area / s.coverageM2() - 1e-9));
    const auto chosen = s.workingAtOnce.find(role);
    return chosen != s.workingAtOnce.end() ? chosen->second : defaultWorkingAtOnce(role, s.level);
}

int durationMinutesOf(const StandardSettings& s, TerminalRole role) {
    if (const auto chosen = s.durationMinutes.find(role); chosen != s.durationMinutes.end())
        return chosen->second;
    return s.standard == Standard::En12845 ? hazardDesign(s.hazard).durationMinutes
                                           : defaultDurationMinutes(s.level);
}

namespace {

// The bore that sets the velocity through a KV element: the pipe it stands on (above it, or
// else the one it feeds).
const PipeDiameter* valveBore(const Project& project, const Node& valve) {
    for (const int16_t beside : {valve.parent, valve.next})
        if (beside > 0)
            if (const PipeDiameter* bore = project.findDiameter(project.NodeTable[std::size_t(beside)]))
                return bore;
    return nullptr;
}

// Sections past their velocity at a solution: every section of the scenario's tree carries
// the flow of the tree's edge it lies on.
void velocitiesOf(const StandardNetwork& network, const ScenarioTree& tree,
                  const ScenarioTree::Solution& solution, SetCheck& check) {
    const Project& project = network.project();
    const std::vector<int16_t>& nodes = tree.treeNodes();
    std::vector<int16_t> pipes, valves;
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const int16_t stop = tree.treeParent(k) >= 0 ? nodes[std::size_t(tree.treeParent(k))] : 0;
        for (int16_t v = nodes[k]; v != stop && v > 0; v = project.NodeTable[std::size_t(v)].parent) {
            const Node& node = project.NodeTable[std::size_t(v)];
            const PipeDiameter* bore =
                node.isKvElement() ? valveBore(project, node) : project.findDiameter(node);
            if (!bore || bore->innerDiameter <= 0)
                continue;
            const double velocity =
                solution.edgeFlow[k] * hydraulics::kVelocityFactor / std::pow(double(bore->innerDiameter), 2);
            if (node.isKvElement() && velocity > kValveVelocityLimit)
                valves.push_back(v);
            else if (!node.isKvElement() && velocity > kPipeVelocityLimit)
                pipes.push_back(v);
            else
                continue;
            check.velocities[v] = velocity;
        }
    }
    const auto byPosition = [&](int16_t a, int16_t b) { return network.first(a) < network.first(b); };
    std::sort(pipes.begin(), pipes.end(), byPosition);
    std::sort(valves.begin(), valves.end(), byPosition);
    check.sectionsOverVelocity = pipes;
    check.valvesOverVelocity = valves;
}

MemberCheck memberCheck(const Project& project, int16_t end, const Requirement& required) {
    const Node& node = project.NodeTable[std::size_t(end)];
    MemberCheck m;
    m.node = end;
    m.name = node.name;
    m.type = project.terminalTypeOf(project.terminalOf(node)).name;
    m.requiredFlow = required.flow;
    m.requiredPressure = required.pressure;
    return m;
}

// The members of a set at the available supply; those that cannot discharge stand at nothing.
SetCheck checkSet(const StandardNetwork& network, const SupplyCurve& supply, const std::vector<int16_t>& set,
                  SetFound found, const std::function<Requirement(int16_t)>& required, TerminalRole role,
                  bool withDemand) {
    const Project& project = network.project();
    SetCheck check;
    check.found = found;
    std::vector<int16_t> flowing;
    for (const int16_t end : set)
        if (!network.shutOff(end) && network.kn(end) > 0)
            flowing.push_back(end);
    const ScenarioTree tree(network, flowing);
    // The set's own operating point on the supply: where what it draws meets what the supply gives.
    const std::optional<SupplyCurve::Point> operating =
        supply.operatingPoint([&](double pressure) { return tree.solve(pressure).totalFlow; });
    check.availablePressure = operating ? operating->pressure : 0.0;
    check.suppliesIt = operating.has_value() || flowing.empty();
    const ScenarioTree::Solution atSupply = tree.solve(check.availablePressure);
    check.totalFlow = atSupply.totalFlow;
    velocitiesOf(network, tree, atSupply, check);
    for (const int16_t end : set) {
        MemberCheck m = memberCheck(project, end, required(end));
        m.shutOff = network.shutOff(end);
        const auto slot = std::find(tree.members().begin(), tree.members().end(), end);
        if (slot != tree.members().end()) {
            const auto at = std::size_t(slot - tree.members().begin());
            m.flow = atSupply.flow[at];
            m.pressure = atSupply.pressure[at];
            m.pass = m.flow >= m.requiredFlow - kReachedTolerance &&
                     *m.pressure >= m.requiredPressure - kReachedTolerance;
            m.overMaximum = role == TerminalRole::Hydrant && *m.pressure > kMaxHydrantPressure;
            m.pass = m.pass && !m.overMaximum;
        }
        check.members.push_back(m);
    }
    if (withDemand && !set.empty() && flowing.size() == set.size()) {
        std::vector<double> binding;
        for (const int16_t end : tree.members())
            binding.push_back(required(end).binding(network.kn(end)));
        if (const std::optional<ScenarioTree::Demand> demand = tree.demand(binding)) {
            check.demandPressure = demand->pressure;
            check.demandFlow = demand->solution.totalFlow;
        }
    }
    return check;
}

ScenarioCheck checkScenario(const StandardNetwork& network, const StandardSettings& settings,
                            const SupplyCurve& supply, TerminalRole role, const std::vector<int16_t>& ofRole) {
    const Project& project = network.project();
    ScenarioCheck scenario;
    scenario.role = role;
    scenario.count = workingAtOnceOf(settings, role);
    scenario.durationMinutes = durationMinutesOf(settings, role);
    std::vector<int16_t> candidates;
    int closed = 0;
    for (const int16_t end : ofRole) {
        if (network.shutOff(end))
            ++closed;
        else if (network.kn(end) > 0)
            candidates.push_back(end);
        else
            scenario.notes << QStringLiteral(
                                  "Il terminale \"%1\" non ha portata e pressione nominali: escluso.")
                                  .arg(project.NodeTable[std::size_t(end)].name);
    }
    scenario.candidates = int(candidates.size());
    if (closed > 0)
        scenario.notes
            << QStringLiteral("Terminali dietro un tratto chiuso, esclusi dalla ricerca: %1.").arg(closed);
    if (scenario.candidates > 0 && scenario.candidates < scenario.count)
        scenario.notes << (scenario.candidates == 1
                               ? QStringLiteral("La rete ha 1 terminale di questo tipo che può erogare, la norma ne "
                                                "chiede %1 contemporanei: è verificato solo quello.")
                                     .arg(scenario.count)
                               : QStringLiteral("La rete ha %1 terminali di questo tipo che possono erogare, la norma "
                                                "ne chiede %2 contemporanei: sono verificati tutti.")
                                     .arg(scenario.candidates)
                                     .arg(scenario.count));
    const auto required = [&](int16_t end) { return requirementOf(project, settings, role, end); };
    const auto binding = [&](int16_t end) { return required(end).binding(network.kn(end)); };

    std::vector<int16_t> worst;
    SetFound worstFound = SetFound::Exact;
    int solved = 0;
    // The designer's set, of the terminals of the role that the network still has (an edit of
    // the tree may have taken some away).
    std::vector<int16_t> chosen;
    if (const auto designer = settings.designerSets.find(role); designer != settings.designerSets.end())
        for (const int16_t node : designer->second)
            if (std::find(ofRole.begin(), ofRole.end(), node) != ofRole.end() &&
                std::find(chosen.begin(), chosen.end(), node) == chosen.end())
                chosen.push_back(node);
    if (const auto designer = settings.designerSets.find(role); designer != settings.designerSets.end()) {
        const std::set<int16_t> named(designer->second.begin(), designer->second.end());
        if (chosen.size() < named.size())
            scenario.notes << QStringLiteral("Dell'insieme scelto dal progettista %1 terminali non sono più nella rete.")
                                  .arg(named.size() - chosen.size());
    }
    if (!chosen.empty()) {
        worst = chosen;
        worstFound = SetFound::Designer;
        if (int(worst.size()) != std::min(scenario.count, int(ofRole.size())))
            scenario.notes << QStringLiteral(
                                  "L'insieme scelto dal progettista ha %1 terminali, la norma ne chiede %2.")
                                  .arg(worst.size())
                                  .arg(scenario.count);
    } else {
        const FoundSet found = mostUnfavourableSet(network, candidates, scenario.count, binding);
        worst = found.members;
        worstFound = found.found;
        solved = found.setsSolved;
    }
    const FoundSet favourable = supply.fixed()
                                    ? mostFavourableSet(network, candidates, scenario.count, network.supplyBar())
                                    : mostFavourableSet(network, candidates, scenario.count, supply);
    scenario.mostUnfavourable = checkSet(network, supply, worst, worstFound, required, role, true);
    scenario.mostUnfavourable.setsSolved = solved;
    scenario.mostFavourable = checkSet(network, supply, favourable.members, favourable.found, required, role, false);
    for (const SetCheck* set : {&scenario.mostUnfavourable, &scenario.mostFavourable})
        if (!set->suppliesIt) {
            scenario.notes << QStringLiteral("La curva di alimentazione non incontra la domanda dell'insieme: non "
                                             "fornisce neppure il primo litro.");
            break;
        }
    scenario.mostFavourable.setsSolved = favourable.setsSolved;
    scenario.reserveVolume =
        scenario.mostFavourable.totalFlow * scenario.durationMinutes / kLitresPerCubicMetre;

    bool pass = !worst.empty() && scenario.mostUnfavourable.demandPressure.has_value() &&
                scenario.mostUnfavourable.suppliesIt;
    for (const MemberCheck& m : scenario.mostUnfavourable.members)
        pass = pass && m.pass;
    for (const MemberCheck& m : scenario.mostFavourable.members)
        pass = pass && !m.overMaximum;
    if (settings.standard == Standard::En12845)
        for (const SetCheck* set : {&scenario.mostUnfavourable, &scenario.mostFavourable})
            pass = pass && set->sectionsOverVelocity.empty() && set->valvesOverVelocity.empty();
    scenario.pass = pass;
    return scenario;
}

} // namespace

StandardCheck verifyStandard(const Project& project, const StandardSettings& settings) {
    StandardCheck check;
    check.standard = settings.standard;
    check.level = settings.level;
    check.hazard = settings.hazard;
    check.coverage = settings.coverageM2();
    if (settings.standard == Standard::None) {
        check.problem = QStringLiteral("Nessuna norma scelta.");
        return check;
    }
    const StandardNetwork network(project);
    if (!network.ok()) {
        check.problem = network.problem();
        return check;
    }
    check.supplyPressure = network.supplyBar();
    const SupplyCurve supply(settings.supply, network.supplyBar());
    if (!supply.refusal().isEmpty()) {
        check.problem = supply.refusal();
        return check;
    }
    check.supplyCurve = !supply.fixed();
    for (const TerminalRole role : rolesAskedFor(settings.standard)) {
        std::vector<int16_t> ofRole;
        for (const int16_t end : network.terminalEnds())
            if (settings.roleOf(project, project.terminalOf(project.NodeTable[std::size_t(end)]).typeIndex) ==
                role)
                ofRole.push_back(end);
        if (ofRole.empty() || workingAtOnceOf(settings, role) <= 0)
            continue;
        check.scenarios.push_back(checkScenario(network, settings, supply, role, ofRole));
    }
    if (check.scenarios.empty()) {
        check.problem = QStringLiteral("Nessuno scenario da verificare: nessun terminale della rete ha un ruolo che la "
                                       "norma verifica, o per ognuno sono chiesti 0 terminali contemporanei.");
        return check;
    }
    check.pass = std::all_of(check.scenarios.begin(), check.scenarios.end(),
                             [](const ScenarioCheck& s) { return s.pass; });
    return check;
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
constexpr std::array<FoundWords, 3> kFoundWords{
    {{SetFound::Exact, "exact", "esatto, tra tutti gli insiemi possibili"},
     {SetFound::Search, "search", "trovato con la ricerca"},
     {SetFound::Designer, "designer", "scelto dal progettista"}}};

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

QString verdictText(const StandardCheck& check, const QLocale& locale) {
    if (!check.problem.isEmpty())
        return QStringLiteral("Verifica non eseguita: ") + check.problem;
    if (check.pass && check.supplyCurve)
        return QStringLiteral("Verifica superata: ogni scenario soddisfa la norma al suo punto di funzionamento sulla "
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
