#include "model/Verification.h"

#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"

#include <cmath>

namespace valmora {

using namespace verification;

namespace {

bool flowsAgree(double calculated, double converged) {
    if (calculated < kNegligibleFlow && converged < kNegligibleFlow)
        return true;
    return std::abs(calculated - converged) <= kFlowAgreement * converged;
}

bool tooFast(const std::optional<double>& velocity) {
    return velocity &&
           std::abs(*velocity) > kVelocityLimit; // either way along the section (a ring may turn it)
}

TerminalVerification verifyTerminal(const Project& project, const NetworkResults& results,
                                    const ConvergedSolution& solution, const BranchRow& row) {
    const Node& node = project.NodeTable[row.node];
    const Terminal& terminal = project.terminalOf(node);
    const ConvergedNode& converged = solution.nodes[std::size_t(row.node)];
    TerminalVerification out;
    out.node = row.node;
    // What the terminal discharges: its section's flow, less in a ring what the loop pipes at
    // its outlet take.
    out.calculatedFlow = terminalFlowAt(results, row.node);
    out.convergedFlow = converged.terminalFlow;
    out.shutOff = converged.shutOff;
    out.dry = converged.dry;
    out.headLacking = solution.headLacking(row.node);
    // A dry terminal that the calculation lets flow is wrong however little it draws.
    out.converged =
        out.dry && out.calculatedFlow != 0 ? false : flowsAgree(out.calculatedFlow, out.convergedFlow);
    out.nominalPressure = double(project.terminalTypeOf(terminal).nominalPressure) * hydraulics::kMmPerBar;
    out.calculatedPressureLeft = pressureLeft(project, row.cumulativeDrop, terminal.height);
    out.convergedPressureLeft = converged.pressureLeft;
    out.calculatedBelowNominal = out.calculatedPressureLeft < out.nominalPressure;
    out.convergedBelowNominal = converged.pressureLeft && *converged.pressureLeft < out.nominalPressure;
    return out;
}

} // namespace

NetworkVerification VerifyNetwork(const Project& project, const NetworkResults& results,
                                  const ConvergedSolution& solution) {
    NetworkVerification result;
    const std::size_t size = project.NodeTable.size();
    result.terminalIndex.assign(size, -1);
    result.sectionIndex.assign(size, -1);
    result.openEndIndex.assign(size, -1);
    for (const int16_t start : branchStarts(project)) {
        for (const BranchRow& row : computeBranchRows(project, results, start)) {
            const Node& node = project.NodeTable[row.node];
            const ConvergedNode& converged = solution.nodes[std::size_t(row.node)];
            if (!converged.shutOff) {
                SectionVerification section{row.node, row.velocity, converged.velocity, tooFast(row.velocity),
                                            tooFast(converged.velocity)};
                result.sectionIndex[std::size_t(row.node)] = int(result.sections.size());
                result.sections.push_back(section);
            }
            if (node.endsInTerminal()) {
                result.terminalIndex[std::size_t(row.node)] = int(result.terminals.size());
                result.terminals.push_back(verifyTerminal(project, results, solution, row));
            } else if (!node.continues() && converged.flow > 0) {
                result.openEndIndex[std::size_t(row.node)] = int(result.openEnds.size());
                result.openEnds.push_back({row.node, row.flow, converged.flow});
            }
        }
    }
    for (std::size_t k = 0; k < solution.loops.size(); ++k) {
        const ConvergedLoopPipe& loop = solution.loops[k];
        if (!loop.shutOff)
            result.loopPipes.push_back({k, loop.velocity, tooFast(loop.velocity)});
    }
    return result;
}

QString convergedTerminalText(const TerminalVerification& check, const QLocale& locale) {
    if (!check.dry)
        return QStringLiteral("a convergenza portata %1 Lt/min, pressione disponibile %2 mm")
            .arg(formatPicture(check.convergedFlow, u"#0", locale),
                 formatPicture(check.convergedPressureLeft.value_or(0), u"#,#0", locale));
    const QString lacking = formatPicture(check.headLacking, u"#,#0", locale);
    if (lacking == QLatin1String("0"))
        return QStringLiteral("a convergenza non eroga: è alla piezometrica");
    return QStringLiteral("a convergenza non eroga: è sopra la piezometrica di %1 mm").arg(lacking);
}

namespace {

QString velocityText(const Project& project, const SectionVerification& check, const QLocale& locale) {
    return QStringLiteral("velocità oltre %1 m/s nel tratto %2 (%3 m/s)")
        .arg(formatGeneral(kVelocityLimit, locale), project.NodeTable[check.node].name,
             formatPicture(check.calculatedVelocity.value_or(0), u"#0.0", locale));
}

} // namespace

std::vector<NetworkWarning> warningsOf(const Project& project, const NetworkVerification& checks,
                                       int16_t node, const QLocale& locale) {
    using Kind = NetworkWarning::Kind;
    std::vector<NetworkWarning> said;
    if (const TerminalVerification* t = checks.terminalAt(node)) {
        // A terminal behind a closed section is closed on purpose: only a flow it should not
        // have is worth a word then.
        if (!t->converged)
            said.push_back({Kind::FarFromConverged, node, convergedTerminalText(*t, locale)});
        else if (t->dry && !t->shutOff)
            said.push_back({Kind::Dry, node, convergedTerminalText(*t, locale)});
        if (t->calculatedBelowNominal && !t->shutOff)
            said.push_back({Kind::BelowNominalPressure, node,
                            QStringLiteral("pressione %1 mm, inferiore alla nominale del terminale (%2 mm)")
                                .arg(formatPicture(t->calculatedPressureLeft, u"#,#0", locale),
                                     formatPicture(t->nominalPressure, u"#,#0", locale))});
    }
    if (const OpenEndVerification* e = checks.openEndAt(node))
        said.push_back({Kind::OpenEnd, node, openEndText(*e, locale)});
    if (const SectionVerification* s = checks.sectionAt(node); s && s->calculatedTooFast)
        said.push_back({Kind::TooFast, node, velocityText(project, *s, locale)});
    return said;
}

std::vector<NetworkWarning> branchWarnings(const Project& project, const NetworkVerification& checks,
                                           int16_t firstNode, const QLocale& locale) {
    std::vector<NetworkWarning> ends;
    std::vector<NetworkWarning> sections;
    for (const int16_t node : branchNodes(project, firstNode))
        for (NetworkWarning& warning : warningsOf(project, checks, node, locale))
            (warning.aboutTheEnd() ? ends : sections).push_back(std::move(warning));
    ends.insert(ends.end(), sections.begin(), sections.end());
    return ends;
}

std::vector<NetworkWarning> networkWarnings(const Project& project, const NetworkVerification& checks,
                                            const QLocale& locale) {
    std::vector<NetworkWarning> all;
    for (const int16_t start : branchStarts(project))
        for (NetworkWarning& warning : branchWarnings(project, checks, start, locale))
            all.push_back(std::move(warning));
    for (NetworkWarning& warning : loopPipeWarnings(project, checks, locale))
        all.push_back(std::move(warning));
    return all;
}

std::vector<NetworkWarning> loopPipeWarnings(const Project& project, const NetworkVerification& checks,
                                             const QLocale& locale) {
    std::vector<NetworkWarning> said;
    for (const LoopPipeVerification& loop : checks.loopPipes) {
        if (!loop.tooFast || loop.pipe >= project.loopPipes.size())
            continue;
        const LoopPipe& pipe = project.loopPipes[loop.pipe];
        said.push_back({NetworkWarning::Kind::LoopPipeTooFast, pipe.nodeA,
                        QStringLiteral("velocità oltre %1 m/s nell'anello %2 (%3 m/s)")
                            .arg(formatGeneral(kVelocityLimit, locale), pipe.name,
                                 formatPicture(std::abs(loop.velocity.value_or(0)), u"#0.0", locale)),
                        int(loop.pipe)});
    }
    return said;
}

QString asSentence(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString openEndText(const OpenEndVerification& check, const QLocale& locale) {
    return QStringLiteral("estremità aperta, scarica %1 Lt/min")
        .arg(formatPicture(check.calculatedFlow, u"#0", locale));
}

} // namespace valmora
