#pragma once

// Answers given in advance, for commands driven without a screen. Every request is
// recorded with its exact texts; a request with no answer left gets the safe one
// (OK, Cancel, No, an empty file name) and is counted as unscripted.

#include "platform/Interaction.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace valmora {

class ScriptedInteraction : public Interaction {
public:
    std::deque<Answer> answers;
    std::deque<QString> inputs; // a null QString() cancels the input box
    std::deque<QString> fileNames;
    // What the user does in each dialog shown, in turn (fill its fields, click a button);
    // a dialog with no script left is cancelled.
    std::deque<std::function<void(QDialog&)>> dialogScripts;

    std::vector<MessageRequest> messages;
    QStringList fileDialogs;  // "open|<filter>|<initial>" or "save|<filter>|<initial>"
    QStringList dialogsShown; // object names of the program's dialogs, in turn
    // Every request in turn with the answer it got, one line each, as a transcript shows it.
    QStringList log;
    int unscripted = 0;

    Answer message(const MessageRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& initial) override;
    QString openFileName(const QString& filter, const QString& initialName) override;
    QString saveFileName(const QString& filter, const QString& initialName) override;
    int runDialog(QDialog& dialog) override;

    QStringList messageTexts() const;

private:
    QString nextFileName();
};

} // namespace valmora
