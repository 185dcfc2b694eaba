#include "platform/WidgetInteraction.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace valmora {

namespace {

// Messages keep the line ends they were written with ("\r\n", "\n\r"); on screen each pair
// is one line break, not a line break and an empty line.
QString shownText(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Answer answerOf(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return Answer::Ok;
    }
}

} // namespace

Answer WidgetInteraction::message(const MessageRequest& request) {
    QMessageBox box(qtIcon(request.icon), request.title.isEmpty() ? kApplicationTitle : request.title,
                    shownText(request.text), qtButtons(request.buttons), parent_);
    if (!request.details.isEmpty())
        box.setDetailedText(request.details);
    const std::pair<QMessageBox::StandardButton, QString> italian[] = {
        {QMessageBox::Yes, QStringLiteral("Sì")},
        {QMessageBox::No, QStringLiteral("No")},
        {QMessageBox::Cancel, QStringLiteral("Annulla")}};
    for (const auto& [button, text] : italian)
        if (QAbstractButton* b = box.button(button))
            b->setText(text);
    return answerOf(box.exec());
}

namespace {
// What a window's title bar takes beside its title: the icon and the buttons.
constexpr int kTitleBarButtonsRoom = 160;
} // namespace

std::optional<QString> WidgetInteraction::inputBox(const QString& prompt, const QString& title,
                                                   const QString& initial) {
    QInputDialog box(parent_);
    box.setWindowTitle(title.isEmpty() ? kApplicationTitle : title);
    box.setLabelText(prompt);
    box.setTextValue(initial);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Annulla"));
    // Wide enough for its whole title: the window manager cuts a title that does not fit.
    box.setMinimumWidth(box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarButtonsRoom);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

QString WidgetInteraction::qtFilter(const QString& pairs) {
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(u';', u' ');
        filters << (description.contains(u'(') ? description
                                               : QStringLiteral("%1 (%2)").arg(description, pattern));
    }
    return filters.join(QStringLiteral(";;"));
}

QString WidgetInteraction::openFileName(const QString& filter, const QString& initialName) {
    return QFileDialog::getOpenFileName(parent_, QStringLiteral("Apri"), initialName, qtFilter(filter));
}

QString WidgetInteraction::saveFileName(const QString& filter, const QString& initialName) {
    return QFileDialog::getSaveFileName(parent_, QStringLiteral("Salva come"), initialName, qtFilter(filter));
}

} // namespace valmora

namespace valmora {

int WidgetInteraction::runDialog(QDialog& dialog) {
    return dialog.exec();
}

} // namespace valmora
