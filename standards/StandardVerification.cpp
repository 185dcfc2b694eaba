#include "standards/StandardVerification.h"
#include "standards/DesignAreas.h"
#include "standards/StandardTables.h"
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

// Both figures already agree with the terminal's law (see requirementOf): its pressure is the
// one at which the member meets both.
struct Requirement {
    double flow = 0;     // l/min
    double pressure = 0; // bar
};

// The standard's minimum of a member, made the larger of the standard's figure and what the
// terminal's own law Q = Kn sqrt(p) makes of it: a terminal that reaches the standard's
// pressure below the standard's flow must stand higher; one that passes the flow below the
// standard's pressure must pass more.
Requirement requirementOf(const StandardNetwork& network, const StandardSettings& settings, TerminalRole role,
                          int16_t end) {
    Requirement r;
    if (role == TerminalRole::Sprinkler && settings.standard == Standard::En12845) {
        r.flow = hazardDesign(settings.hazard).density * coverageOf(settings);
        r.pressure = sprinklerRules(settings.hazard).leastPressure;
    } else if (const std::optional<OutletMinimum> minimum = outletMinimum(role, settings.level)) {
        r.flow = minimum->flow;
        r.pressure = minimum->pressure;
    }
    const double kn = network.kn(end);
    if (kn > 0) {
        r.pressure = std::max(r.pressure, std::pow(r.flow / kn, 2));
        r.flow = std::max(r.flow, kn * std::sqrt(r.pressure));
    }
    return r;
}

// What fails a member beyond its figures: a sprinkler whose K its class does not allow (the
// class is returned).
std::optional<HazardClass> kNotAllowedFor(const StandardNetwork& network, const StandardSettings& settings,
                                          TerminalRole role, int16_t end) {
    if (role != TerminalRole::Sprinkler || settings.standard != Standard::En12845 ||
        kFactorAllowed(settings.hazard, network.kn(end)))
        return std::nullopt;
    return settings.hazard;
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
        return int(std::ceil(hazardDesign(s.hazard).area / coverageOf(s) - 1e-9));
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

double signedLoss(double resistance, double flow) {
    return resistance * std::pow(std::abs(flow), hydraulics::kExponent - 1) * flow;
}

// The loop pipes of a looped network on the sheet, after the tree's sections.
void addLoopPipes(const StandardNetwork& network, const ScenarioNetwork& tree,
                  const ScenarioNetwork::Solution& solution, SetCheck& check) {
    const Project& project = network.project();
    const std::vector<StandardNetwork::LoopLink>& links = network.loopLinks();
    for (std::size_t k = 0; k < links.size() && k < solution.loopFlow.size(); ++k) {
        const LoopPipe& pipe = project.loopPipes[std::size_t(links[k].pipe)];
        const auto at = std::find(tree.treeNodes().begin(), tree.treeNodes().end(), pipe.nodeB);
        SheetSection section;
        section.loopPipe = links[k].pipe;
        section.name = pipe.name;
        section.flow = solution.loopFlow[k];
        section.loss = signedLoss(links[k].resistance, section.flow);
        if (at != tree.treeNodes().end()) {
            const auto b = std::size_t(at - tree.treeNodes().begin());
            // At a member, as its own row: at the connection, above its height.
            if (tree.memberSlot(b) >= 0)
                section.staticDifference = network.staticHead(pipe.nodeB);
            section.pressure = solution.head[b] - section.staticDifference;
        }
        section.kv = pipe.asSection().isKvElement();
        section.equivalentLength = double(pipe.virtualLength); // a KV element's KV
        if (section.kv) {
            // No bore of its own to tell a velocity by.
            check.sections.push_back(std::move(section));
            continue;
        }
        if (const PipeSeries* series = project.findSeries(pipe.asSection())) {
            section.series = series->name;
            section.seriesCode = series->code.trimmed();
            section.c = series->hazenC;
        }
        if (const PipeDiameter* bore = project.findDiameter(pipe.asSection())) {
            section.diameter = bore->label;
            section.innerDiameter = double(bore->innerDiameter);
            if (bore->innerDiameter > 0)
                section.velocity =
                    section.flow * hydraulics::kVelocityFactor / std::pow(double(bore->innerDiameter), 2);
        }
        section.length = double(pipe.length);
        if (std::abs(section.velocity) > kPipeVelocityLimit)
            check.loopPipesOverVelocity.emplace_back(links[k].pipe, std::abs(section.velocity));
        check.sections.push_back(std::move(section));
    }
}

// The calculation sheet of a set at a solution, and the sections past their velocity: every
// section of the scenario's tree carries the flow of the tree's edge it lies on, and loses its
// own share of the head on the way down (a flow against the tree's direction gains it); the
// loop pipes follow, each with its own flow and the head at its second node.
void sheetOf(const StandardNetwork& network, const ScenarioNetwork& tree,
             const ScenarioNetwork::Solution& solution, SetCheck& check) {
    const Project& project = network.project();
    const std::vector<int16_t>& nodes = tree.treeNodes();
    std::vector<int16_t> pipes, valves;
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const int parent = tree.treeParent(k);
        const int16_t stop = parent >= 0 ? nodes[std::size_t(parent)] : 0;
        std::vector<int16_t> path; // from the tree node up to the one above it
        for (int16_t v = nodes[k]; v != stop && v > 0; v = project.NodeTable[std::size_t(v)].parent)
            path.push_back(v);
        double head = parent >= 0 ? solution.head[std::size_t(parent)] : solution.originPressure;
        const double flow = solution.edgeFlow[k];
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            const int16_t v = *it;
            const Node& node = project.NodeTable[std::size_t(v)];
            SheetSection section;
            section.node = v;
            section.name = node.name;
            section.kv = node.isKvElement();
            section.flow = flow;
            section.loss = signedLoss(network.sectionResistance(v), flow);
            head -= section.loss;
            // Below a closed section nothing flows: the head is the one the loop pipes bring.
            if (node.closed)
                head = solution.head[k];
            section.pressure = head;
            if (const int slot = tree.memberSlot(k); slot >= 0 && v == nodes[k]) {
                section.staticDifference = network.staticHead(v);
                section.pressure = solution.pressure[std::size_t(slot)];
            }
            const PipeDiameter* bore = section.kv ? valveBore(project, node) : project.findDiameter(node);
            if (section.kv) {
                section.equivalentLength = double(node.virtualLength);
            } else if (const PipeSeries* series = project.findSeries(node)) {
                section.series = series->name;
                section.seriesCode = series->code.trimmed();
                section.c = series->hazenC;
                section.diameter = bore ? bore->label : QString();
                section.innerDiameter = bore ? double(bore->innerDiameter) : 0.0;
                section.length = double(node.length);
                section.equivalentLength = double(node.virtualLength);
            }
            if (bore && bore->innerDiameter > 0) {
                section.velocity =
                    flow * hydraulics::kVelocityFactor / std::pow(double(bore->innerDiameter), 2);
                const bool over =
                    std::abs(section.velocity) > (section.kv ? kValveVelocityLimit : kPipeVelocityLimit);
                if (over) {
                    (section.kv ? valves : pipes).push_back(v);
                    check.velocities[v] = std::abs(section.velocity);
                }
            }
            check.sections.push_back(std::move(section));
        }
    }
    const auto byPosition = [&](int16_t a, int16_t b) { return network.first(a) < network.first(b); };
    std::sort(pipes.begin(), pipes.end(), byPosition);
    std::sort(valves.begin(), valves.end(), byPosition);
    std::sort(check.sections.begin(), check.sections.end(),
              [&](const SheetSection& a, const SheetSection& b) { return byPosition(a.node, b.node); });
    check.sectionsOverVelocity = pipes;
    check.valvesOverVelocity = valves;
    addLoopPipes(network, tree, solution, check);
}

MemberCheck memberCheck(const StandardNetwork& network, const StandardSettings& settings, TerminalRole role,
                        int16_t end) {
    const Project& project = network.project();
    const Node& node = project.NodeTable[std::size_t(end)];
    const Requirement required = requirementOf(network, settings, role, end);
    MemberCheck m;
    m.node = end;
    m.name = node.name;
    m.type = project.terminalTypeOf(project.terminalOf(node)).name;
    m.requiredFlow = required.flow;
    m.requiredPressure = required.pressure;
    m.k = network.kn(end);
    m.kNotAllowedFor = kNotAllowedFor(network, settings, role, end);
    return m;
}

bool hasMaximum(TerminalRole role, const StandardSettings& settings) {
    return settings.standard == Standard::Uni10779 &&
           (role == TerminalRole::Hydrant || role == TerminalRole::HoseReel);
}

// The members of a set at the available supply; those that cannot discharge stand at nothing.
SetCheck checkSet(const StandardNetwork& network, const StandardSettings& settings, const SupplyCurve& supply,
                  const std::vector<int16_t>& set, SetFound found, TerminalRole role, bool withDemand) {
    SetCheck check;
    check.found = found;
    std::vector<int16_t> flowing;
    for (const int16_t end : set)
        if (!network.shutOff(end) && network.kn(end) > 0)
            flowing.push_back(end);
    const ScenarioNetwork tree(network, flowing);
    // The set's own operating point on the supply: where what it draws meets what the supply gives.
    const std::optional<SupplyCurve::Point> operating =
        supply.operatingPoint([&](double pressure) { return tree.solve(pressure).totalFlow; });
    check.availablePressure = operating ? operating->pressure : 0.0;
    check.suppliesIt = operating.has_value() || flowing.empty();
    const ScenarioNetwork::Solution atSupply = tree.solve(check.availablePressure);
    check.converged = atSupply.converged;
    check.totalFlow = atSupply.totalFlow;
    sheetOf(network, tree, atSupply, check);
    for (const int16_t end : set) {
        MemberCheck m = memberCheck(network, settings, role, end);
        m.shutOff = network.shutOff(end);
        const auto slot = std::find(tree.members().begin(), tree.members().end(), end);
        if (slot != tree.members().end()) {
            const auto at = std::size_t(slot - tree.members().begin());
            m.flow = atSupply.flow[at];
            m.pressure = atSupply.pressure[at];
            m.pass = m.flow >= m.requiredFlow - kReachedTolerance &&
                     *m.pressure >= m.requiredPressure - kReachedTolerance && !m.kNotAllowedFor;
            m.overMaximum = hasMaximum(role, settings) && *m.pressure > kMaxOutletPressure;
            m.pass = m.pass && !m.overMaximum;
        }
        check.members.push_back(m);
    }
    if (withDemand && !set.empty() && flowing.size() == set.size()) {
        std::vector<double> binding;
        for (const int16_t end : tree.members())
            binding.push_back(requirementOf(network, settings, role, end).pressure);
        if (const std::optional<ScenarioNetwork::Demand> demand = tree.demand(binding)) {
            check.demandPressure = demand->pressure;
            check.demandFlow = demand->solution.totalFlow;
            check.converged = check.converged && demand->solution.converged;
        }
    }
    return check;
}

// Each outlet of the role opened alone at the supply (at its own operating point on a supply
// curve, near the curve's shut-off): the one that stands highest.
std::optional<SingleOutletCheck> singleOutletOf(const StandardNetwork& network, const SupplyCurve& supply,
                                                const std::vector<int16_t>& candidates) {
    std::optional<SingleOutletCheck> highest;
    // On a looped network each outlet alone is solved on the rings, from the solution of the
    // outlet before: the rings carry much the same, and Newton needs a few steps, not a dozen.
    std::optional<ScenarioNetwork> before;
    ScenarioNetwork::Solution beforeSolved;
    for (const int16_t end : candidates) {
        std::optional<ScenarioNetwork> alone;
        ScenarioNetwork::Solution solved;
        if (network.looped())
            alone.emplace(network, std::vector<int16_t>{end});
        const auto drawn = [&](double pressure) {
            if (!alone)
                return network.flowAlone(end, 0, pressure);
            if (before)
                solved = alone->solveFrom(pressure, *before, beforeSolved);
            if (!before || !solved.converged)
                solved = alone->solve(pressure);
            return solved.flow.empty() ? 0.0 : solved.flow.front();
        };
        const std::optional<SupplyCurve::Point> point = supply.operatingPoint(drawn);
        if (alone && solved.converged) {
            before = std::move(alone);
            beforeSolved = std::move(solved);
        }
        if (!point)
            continue;
        // The point's flow is what the outlet draws at the point's pressure: not solved again.
        const double pressure = std::pow(point->flow / network.kn(end), 2);
        if (!highest || pressure > highest->pressure)
            highest =
                SingleOutletCheck{end, network.project().NodeTable[std::size_t(end)].name, pressure, true};
    }
    if (highest)
        highest->pass = highest->pressure <= kMaxOutletPressure;
    return highest;
}

ScenarioNote noteOf(ScenarioNoteKind kind, int count = 0, int asked = 0, const QString& name = QString()) {
    ScenarioNote note;
    note.kind = kind;
    note.count = count;
    note.asked = asked;
    note.name = name;
    return note;
}

// The designer's set of a role, of the terminals of the role the network still has (an edit of
// the tree may have taken some away), and a note when some went.
std::vector<int16_t> designerSetOf(const std::map<TerminalRole, std::vector<int16_t>>& sets,
                                   TerminalRole role, const std::vector<int16_t>& ofRole,
                                   std::vector<ScenarioNote>& notes) {
    std::vector<int16_t> chosen;
    const auto designer = sets.find(role);
    if (designer == sets.end())
        return chosen;
    for (const int16_t node : designer->second)
        if (std::find(ofRole.begin(), ofRole.end(), node) != ofRole.end() &&
            std::find(chosen.begin(), chosen.end(), node) == chosen.end())
            chosen.push_back(node);
    if (chosen.size() < designer->second.size())
        notes.push_back(
            noteOf(ScenarioNoteKind::DesignerSetLost, int(designer->second.size() - chosen.size())));
    return chosen;
}

// The program's two positions: the standard's areas or clusters, or any set when asked.
std::pair<FoundSet, FoundSet> programSets(const StandardNetwork& network, const StandardSettings& settings,
                                          const SupplyCurve& supply, TerminalRole role,
                                          const std::vector<int16_t>& candidates, int count) {
    const auto binding = [&](int16_t end) { return requirementOf(network, settings, role, end).pressure; };
    const auto requiredFlow = [&](int16_t end) { return requirementOf(network, settings, role, end).flow; };
    if (settings.anySet || int(candidates.size()) <= count) {
        const FoundSet favourable = supply.fixed()
                                        ? mostFavourableSet(network, candidates, count, network.supplyBar())
                                        : mostFavourableSet(network, candidates, count, supply);
        return {mostUnfavourableSet(network, candidates, count, binding), favourable};
    }
    const bool areas = role == TerminalRole::Sprinkler && settings.standard == Standard::En12845;
    const std::vector<std::vector<int16_t>> sets =
        areas ? designAreas(network, candidates, count, hazardDesign(settings.hazard).area)
              : clusters(network, candidates, candidates, count);
    const SetFound how = areas ? SetFound::Area : SetFound::Cluster;
    return {mostUnfavourableOf(network, sets, binding, how),
            mostFavourableOf(network, sets, requiredFlow, supply, how)};
}

ScenarioCheck checkScenario(const StandardNetwork& network, const StandardSettings& settings,
                            const SupplyCurve& supply, TerminalRole role,
                            const std::vector<int16_t>& ofRole) {
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
            scenario.notes.push_back(
                noteOf(ScenarioNoteKind::NoNominalValues, 0, 0, project.NodeTable[std::size_t(end)].name));
    }
    scenario.candidates = int(candidates.size());
    if (closed > 0)
        scenario.notes.push_back(noteOf(ScenarioNoteKind::BehindClosedSection, closed));
    if (scenario.candidates > 0 && scenario.candidates < scenario.count)
        scenario.notes.push_back(
            noteOf(ScenarioNoteKind::FewerThanAsked, scenario.candidates, scenario.count));
    bool pass = true;
    if (role == TerminalRole::Sprinkler && settings.standard == Standard::En12845 &&
        coverageOf(settings) > sprinklerRules(settings.hazard).largestCoverage + kReachedTolerance) {
        ScenarioNote note = noteOf(ScenarioNoteKind::CoverageOverClass, 0, 0,
                                   QLatin1String(hazardDesign(settings.hazard).name));
        note.value = coverageOf(settings);
        note.other = sprinklerRules(settings.hazard).largestCoverage;
        scenario.notes.push_back(note);
        pass = false;
    }

    const auto [worst, favourable] = programSets(network, settings, supply, role, candidates, scenario.count);
    scenario.mostUnfavourable = checkSet(network, settings, supply, worst.members, worst.found, role, true);
    scenario.mostUnfavourable.setsSolved = worst.setsSolved;
    scenario.mostUnfavourable.setsTried = worst.setsTried;
    scenario.mostFavourable =
        checkSet(network, settings, supply, favourable.members, favourable.found, role, false);
    scenario.mostFavourable.setsSolved = favourable.setsSolved;
    scenario.mostFavourable.setsTried = favourable.setsTried;

    // The designer's sets beside the program's.
    for (const bool unfavourable : {true, false}) {
        const std::vector<int16_t> chosen =
            designerSetOf(unfavourable ? settings.designerSets : settings.designerFavourableSets, role,
                          ofRole, scenario.notes);
        if (chosen.empty())
            continue;
        SetCheck designer =
            checkSet(network, settings, supply, chosen, SetFound::Designer, role, unfavourable);
        if (int(chosen.size()) != std::min(scenario.count, int(ofRole.size())))
            scenario.notes.push_back(
                noteOf(ScenarioNoteKind::DesignerSetSize, int(chosen.size()), scenario.count));
        if (unfavourable && designer.demandPressure && scenario.mostUnfavourable.demandPressure &&
            *designer.demandPressure < *scenario.mostUnfavourable.demandPressure) {
            ScenarioNote note = noteOf(ScenarioNoteKind::DesignerSetEasier);
            note.value = *designer.demandPressure;
            note.other = *scenario.mostUnfavourable.demandPressure;
            scenario.notes.push_back(note);
        }
        (unfavourable ? scenario.designerUnfavourable : scenario.designerFavourable) = std::move(designer);
    }

    std::vector<const SetCheck*> sets{&scenario.mostUnfavourable, &scenario.mostFavourable};
    for (const std::optional<SetCheck>* designer :
         {&scenario.designerUnfavourable, &scenario.designerFavourable})
        if (*designer)
            sets.push_back(&**designer);
    for (const SetCheck* set : sets)
        if (!set->suppliesIt) {
            scenario.notes.push_back(noteOf(ScenarioNoteKind::SupplyNeverMeets));
            break;
        }
    // The reserve: the largest flow any favourable position draws, for the duration.
    double largestFlow = scenario.mostFavourable.totalFlow;
    if (scenario.designerFavourable)
        largestFlow = std::max(largestFlow, scenario.designerFavourable->totalFlow);
    scenario.reserveVolume = largestFlow * scenario.durationMinutes / kLitresPerCubicMetre;

    // Unfavourable positions must meet their minimums; every position must stay within the
    // maximum and the velocities, and have a solution that converged.
    for (const SetCheck* set : sets) {
        const bool unfavourable = set == &scenario.mostUnfavourable ||
                                  (scenario.designerUnfavourable && set == &*scenario.designerUnfavourable);
        if (unfavourable) {
            pass = pass && !set->members.empty() && set->demandPressure.has_value() && set->suppliesIt;
            for (const MemberCheck& m : set->members)
                pass = pass && m.pass;
        }
        for (const MemberCheck& m : set->members)
            pass = pass && !m.overMaximum;
        if (settings.standard == Standard::En12845)
            pass = pass && set->sectionsOverVelocity.empty() && set->valvesOverVelocity.empty() &&
                   set->loopPipesOverVelocity.empty();
        if (!set->converged) {
            pass = false;
            scenario.notes.push_back(noteOf(ScenarioNoteKind::NotConverged));
        }
    }
    if (hasMaximum(role, settings)) {
        scenario.singleOutlet = singleOutletOf(network, supply, candidates);
        pass = pass && (!scenario.singleOutlet || scenario.singleOutlet->pass);
    }
    scenario.pass = pass;
    return scenario;
}

} // namespace

StandardCheck verifyStandard(const Project& project, const StandardSettings& settings) {
    StandardCheck check;
    check.standard = settings.standard;
    check.level = settings.level;
    check.hazard = settings.hazard;
    check.coverage = coverageOf(settings);
    check.anySet = settings.anySet;
    check.supply = settings.supply;
    check.pressureUnit = project.pressureUnit;
    if (settings.standard == Standard::None) {
        check.problem = VerificationProblem::NoStandard;
        return check;
    }
    check.requirements = requirementsApplied(settings);
    const StandardNetwork network(project);
    if (!network.ok()) {
        check.problem = VerificationProblem::NetworkRefused;
        check.networkProblem = network.problem();
        return check;
    }
    check.supplyPressure = network.supplyBar();
    const SupplyCurve supply(settings.supply, network.supplyBar());
    if (supply.fault() != SupplyFault::None) {
        check.problem = VerificationProblem::SupplyRefused;
        check.supplyFault = supply.fault();
        return check;
    }
    check.supplyCurve = !supply.fixed();
    for (const TerminalRole role : rolesAskedFor(settings.standard)) {
        std::vector<int16_t> ofRole;
        for (const int16_t end : network.terminalEnds())
            if (roleOf(settings, project,
                       project.terminalOf(project.NodeTable[std::size_t(end)]).typeIndex) == role)
                ofRole.push_back(end);
        if (ofRole.empty() || workingAtOnceOf(settings, role) <= 0)
            continue;
        check.scenarios.push_back(checkScenario(network, settings, supply, role, ofRole));
    }
    if (check.scenarios.empty()) {
        check.problem = VerificationProblem::NoScenario;
        return check;
    }
    check.pass = std::all_of(check.scenarios.begin(), check.scenarios.end(),
                             [](const ScenarioCheck& s) { return s.pass; });
    return check;
}

} // namespace valmora
