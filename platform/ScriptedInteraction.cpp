#include "platform/ScriptedInteraction.h"

#include <QDialog>

namespace valmora {

namespace {

Answer safeAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok: return Answer::Ok;
    case MessageButtons::OkCancel: return Answer::Cancel;
    case MessageButtons::YesNo: return Answer::No;
    case MessageButtons::YesNoCancel: return Answer::Cancel;
    }
    return Answer::Ok;
}

} // namespace

Answer ScriptedInteraction::message(const MessageRequest& request) {
    messages.push_back(request);
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

std::optional<QString> ScriptedInteraction::inputBox(const QString&, const QString&, const QString&) {
    if (inputs.empty()) {
        ++unscripted;
        return std::nullopt;
    }
    const QString input = inputs.front();
    inputs.pop_front();
    if (input.isNull())
        return std::nullopt;
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
    return nextFileName();
}

QString ScriptedInteraction::saveFileName(const QString& filter, const QString& initialName) {
    fileDialogs << QStringLiteral("save|%1|%2").arg(filter, initialName);
    return nextFileName();
}

int ScriptedInteraction::runDialog(QDialog& dialog) {
    dialogsShown << dialog.objectName();
    dialog.setResult(QDialog::Rejected);
    if (dialogScripts.empty()) {
        ++unscripted;
        return QDialog::Rejected;
    }
    const std::function<void(QDialog&)> script = dialogScripts.front();
    dialogScripts.pop_front();
    script(dialog);
    return dialog.result();
}

QStringList ScriptedInteraction::messageTexts() const {
    QStringList texts;
    for (const MessageRequest& m : messages)
        texts << m.text;
    return texts;
}

} // namespace valmora
