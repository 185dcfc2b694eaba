#pragma once

#include <QDialog>

namespace valmora {

// The program's name and version, and that it is free to use, copy and distribute.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    static QString notice();
};

} // namespace valmora
