#include "editor/RingClosing.h"

#include "model/LoopPipes.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "platform/Interaction.h"

namespace valmora {

namespace {

QString refusalText(LoopPipeProblem problem) {
    switch (problem) {
    case LoopPipeProblem::SameNode:
        return QStringLiteral("L'anello deve chiudersi su un altro nodo.");
    case LoopPipeProblem::TableFull:
        return QStringLiteral("Il progetto ha già tutti gli anelli che può contenere.");
    case LoopPipeProblem::NotOnTheTree:
        break;
    }
    return QStringLiteral("Il nodo non è nella rete.");
}

} // namespace

bool closeRingBetween(Project& project, Interaction& interaction, int16_t from, int16_t to) {
    if (const std::optional<LoopPipeProblem> problem = loopPipeProblem(project, from, to)) {
        interaction.inform(refusalText(*problem), kCloseRingTitle, MessageIcon::Exclamation);
        return false;
    }
    const std::optional<QString> typed = interaction.inputBox(
        QStringLiteral("Lunghezza dell'anello in metri:"), kCloseRingTitle, QStringLiteral("0"));
    if (!typed)
        return false;
    const std::optional<double> length = parseTypedLength(*typed);
    if (!length) {
        interaction.inform(QStringLiteral("Lunghezza non valida: %1.").arg(quotedExcerpt(*typed)),
                           kCloseRingTitle, MessageIcon::Exclamation);
        return false;
    }
    LoopPipe pipe = newLoopPipe(project, from, to);
    pipe.length = float(*length);
    project.loopPipes.push_back(pipe);
    return true;
}

} // namespace valmora
