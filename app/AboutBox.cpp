#include "app/AboutBox.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace valmora {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("Info"));
    auto* name = new QLabel(
        QStringLiteral("<h2>Valmora</h2><p>Versione %1</p>").arg(QStringLiteral(VALMORA_VERSION)), this);
    auto* text = new QLabel(notice(), this);
    text->setObjectName(QStringLiteral("lblAvviso"));
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

QString AboutBox::notice() {
    return QStringLiteral(
        "Dimensionamento e verifica di reti idriche antincendio: idranti, naspi, sprinkler.\n\n"
        "Questo programma è gratuito: può essere usato, copiato e distribuito liberamente.");
}

} // namespace valmora
