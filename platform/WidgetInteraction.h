#pragma once

// The interaction on screen: Qt's message boxes, input dialog and file dialogs.

#include "platform/Interaction.h"

class QWidget;

namespace valmora {

class WidgetInteraction : public Interaction {
public:
    explicit WidgetInteraction(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    Answer message(const MessageRequest& request) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& initial) override;
    QString openFileName(const QString& filter, const QString& initialName) override;
    QString saveFileName(const QString& filter, const QString& initialName) override;
    int runDialog(QDialog& dialog) override;

    // "Progetti Valmora (*.vlm)|*.vlm" as Qt writes filters: "Progetti Valmora (*.vlm)".
    static QString qtFilter(const QString& pairs);

private:
    QWidget* parent_;
};

} // namespace valmora
