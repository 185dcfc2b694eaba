#include "editor/NetworkChecks.h"

#include "model/NumberFormat.h"

#include <QStringList>

namespace valmora {

namespace {
// The model's texts begin in lower case, to follow "Attenzione: "; alone, they begin a sentence.
QString asSentence(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}
} // namespace

void NetworkChecks::update(const Project& project) {
    if (project_ == &project && generation_ == project.resultsGeneration)
        return;
    project_ = &project;
    generation_ = project.resultsGeneration;
    verification_ = {};
    solution_ = SolveConverged(project);
    if (solution_.ok)
        verification_ = VerifyNetwork(project, solution_);
}

const TerminalVerification* NetworkChecks::terminal(int16_t node) const {
    const TerminalVerification* t = verification_.terminalAt(node);
    return t && !terminalWarning(*t).isEmpty() ? t : nullptr;
}

const SectionVerification* NetworkChecks::section(int16_t node) const {
    const SectionVerification* v = verification_.sectionAt(node);
    return v && v->calculatedTooFast ? v : nullptr;
}

QString terminalWarning(const TerminalVerification& check) {
    QStringList why;
    if (!check.converged)
        why << asSentence(convergedTerminalText(check));
    // A terminal behind a closed section is closed on purpose.
    if (check.calculatedBelowNominal && !check.shutOff)
        why << QStringLiteral("Pressione inferiore alla nominale del terminale");
    return why.join(u'\n');
}

QString openEndWarning(const OpenEndVerification& check) { return asSentence(openEndText(check)); }

QString velocityWarning(const SectionVerification& check) {
    if (!check.calculatedTooFast)
        return {};
    return QStringLiteral("Velocità oltre %1 m/s").arg(formatGeneral(verification::kVelocityLimit));
}

} // namespace valmora
