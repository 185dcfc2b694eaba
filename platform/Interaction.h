#pragma once

// Every message box, question, input box and file dialog of the program goes through
// this interface: on screen through Qt's dialogs, in tests through scripted answers
// that record the exact texts asked.

#include <QString>

#include <optional>

class QDialog;

namespace valmora {

// Title of a box that names none.
inline const QString kApplicationTitle = QStringLiteral("Valmora");

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Question, Exclamation, Critical };
enum class Answer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text{};
    QString title{}; // empty: the application title
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    QString details{}; // more about a failure, shown on request under the message

    bool operator==(const MessageRequest& other) const {
        return text == other.text && title == other.title && buttons == other.buttons && icon == other.icon &&
               details == other.details;
    }
};

class Interaction {
public:
    virtual ~Interaction() = default;

    virtual Answer message(const MessageRequest& request) = 0;
    // nullopt when cancelled.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& initial) = 0;
    // Filters are "description|pattern" pairs separated by '|'. An empty result is a cancelled dialog.
    virtual QString openFileName(const QString& filter, const QString& initialName) = 0;
    virtual QString saveFileName(const QString& filter, const QString& initialName) = 0;
    // Shows one of the program's own dialogs modally; its result (QDialog::Accepted or Rejected).
    virtual int runDialog(QDialog& dialog) = 0;

    // A box with the OK button only.
    void inform(const QString& text, const QString& title = QString(), MessageIcon icon = MessageIcon::None,
                const QString& details = QString()) {
        message({text, title, MessageButtons::Ok, icon, details});
    }
};

} // namespace valmora
