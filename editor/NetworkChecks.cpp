#include "editor/NetworkChecks.h"

#include "model/NumberFormat.h"

#include <QStringList>

namespace valmora {

void NetworkChecks::update(const Project& project) {
    if (project_ == &project && generation_ == project.resultsGeneration)
        return;
    project_ = &project;
    generation_ = project.resultsGeneration;
    terminals_.assign(project.NodeTable.size(), nullptr);
    sections_.assign(project.NodeTable.size(), nullptr);
    openEnds_.assign(project.NodeTable.size(), nullptr);
    verification_ = {};
    solution_ = SolveConverged(project);
    if (!solution_.ok)
        return;
    verification_ = VerifyNetwork(project, solution_);
    for (const TerminalVerification& t : verification_.terminals)
        if (!terminalWarning(t).isEmpty())
            terminals_[std::size_t(t.node)] = &t;
    for (const SectionVerification& v : verification_.sections)
        if (v.calculatedTooFast)
            sections_[std::size_t(v.node)] = &v;
    for (const OpenEndVerification& e : verification_.openEnds)
        openEnds_[std::size_t(e.node)] = &e;
}

QString terminalWarning(const TerminalVerification& check) {
    QStringList why;
    if (!check.converged) {
        QString text = convergedTerminalText(check);
        text[0] = text[0].toUpper();
        why << text;
    }
    // A terminal behind a closed section is closed on purpose.
    if (check.calculatedBelowNominal && !check.shutOff)
        why << QStringLiteral("Pressione inferiore alla nominale del terminale");
    return why.join(u'\n');
}

QString openEndWarning(const OpenEndVerification& check) {
    return QStringLiteral("Estremità aperta, scarica %1 Lt/min")
        .arg(formatPicture(check.calculatedFlow, u"#0"));
}

QString velocityWarning(const SectionVerification& check) {
    if (!check.calculatedTooFast)
        return {};
    return QStringLiteral("Velocità oltre %1 m/s").arg(formatGeneral(verification::kVelocityLimit));
}

} // namespace valmora
