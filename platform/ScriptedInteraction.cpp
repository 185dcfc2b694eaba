#include "platform/ScriptedInteraction.h"

#include <QDialog>

namespace valmora {

namespace {

Answer safeAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return Answer::Ok;
    case MessageButtons::OkCancel:
        return Answer::Cancel;
    case MessageButtons::YesNo:
        return Answer::No;
    case MessageButtons::YesNoCancel:
        return Answer::Cancel;
    }
    return Answer::Ok;
}

// Line breaks shown as written, so that "\n\r" and "\r\n" stay apart.
QString visible(QString text) {
    return text.replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
}

QString answerName(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return QStringLiteral("OK");
    case Answer::Cancel:
        return QStringLiteral("Annulla");
    case Answer::Yes:
        return QStringLiteral("Sì");
    case Answer::No:
        return QStringLiteral("No");
    }
    return {};
}

Answer scriptedAnswer(const MessageRequest& request, std::deque<Answer>& answers, int& unscripted) {
    if (request.buttons == MessageButtons::Ok)
        return Answer::Ok;
    if (answers.empty()) {
        ++unscripted;
        return safeAnswer(request.buttons);
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

Answer ScriptedInteraction::message(const MessageRequest& request) {
    messages.push_back(request);
    const Answer answer = scriptedAnswer(request, answers, unscripted);
    static const char* const kButtons[] = {"OK", "OK/Annulla", "Sì/No", "Sì/No/Annulla"}; // UTF-8
    static const char* const kIcons[] = {"", " !i", " !?", " !!", " !x"};
    log << QStringLiteral("messaggio [%1] %2 {%3%4} -> %5")
                   .arg(visible(request.title), visible(request.text),
                        QString::fromUtf8(kButtons[int(request.buttons)]),
                        QLatin1String(kIcons[int(request.icon)]), answerName(answer)) +
               (request.details.isEmpty() ? QString()
                                          : QStringLiteral(" (dettagli: %1)").arg(visible(request.details)));
    return answer;
}

std::optional<QString> ScriptedInteraction::inputBox(const QString& prompt, const QString& title,
                                                     const QString& initial) {
    std::optional<QString> input;
    if (inputs.empty())
        ++unscripted;
    else if (!inputs.front().isNull())
        input = inputs.front();
    if (!inputs.empty())
        inputs.pop_front();
    log << QStringLiteral("input [%1] %2 (%3) -> %4")
               .arg(title, prompt, initial, input ? *input : QStringLiteral("annullato"));
    return input;
}

QString ScriptedInteraction::nextFileName() {
    if (fileNames.empty()) {
        ++unscripted;
        return {};
    }
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString ScriptedInteraction::openFileName(const QString& filter, const QString& initialName) {
    fileDialogs << QStringLiteral("open|%1|%2").arg(filter, initialName);
    const QString name = nextFileName();
    log << QStringLiteral("file ") + fileDialogs.last() + QStringLiteral(" -> ") + name;
    return name;
}

QString ScriptedInteraction::saveFileName(const QString& filter, const QString& initialName) {
    fileDialogs << QStringLiteral("save|%1|%2").arg(filter, initialName);
    const QString name = nextFileName();
    log << QStringLiteral("file ") + fileDialogs.last() + QStringLiteral(" -> ") + name;
    return name;
}

int ScriptedInteraction::runDialog(QDialog& dialog) {
    dialogsShown << dialog.objectName();
    dialog.setResult(QDialog::Rejected);
    if (dialogScripts.empty()) {
        ++unscripted;
        log << QStringLiteral("dialogo %1 -> chiuso").arg(dialog.objectName());
        return QDialog::Rejected;
    }
    const std::function<void(QDialog&)> script = dialogScripts.front();
    dialogScripts.pop_front();
    script(dialog);
    log << QStringLiteral("dialogo %1 -> %2")
               .arg(dialog.objectName(), dialog.result() == QDialog::Accepted ? QStringLiteral("accettato")
                                                                              : QStringLiteral("annullato"));
    return dialog.result();
}

QStringList ScriptedInteraction::messageTexts() const {
    QStringList texts;
    for (const MessageRequest& m : messages)
        texts << m.text;
    return texts;
}

} // namespace valmora
