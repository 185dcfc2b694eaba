#include "editor/frmMatrice.h"

#include "model/NumberFormat.h"
#include "platform/Interaction.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace valmora {

namespace {

const QChar kInch = u'"';

const std::array<const char*, frmMatrice::kBoxes + 1> kBoxLabels = {
    "",
    "Questo valore determina quante diramazioni verranno create",
    "Interasse fra gli ugelli (in cm)",
    "Da una parte",
    "Dall'altra parte",
    "Interasse fra gli stacchi (cm)",
};

QString explanation() {
    return QStringLiteral(
               "Questa procedura crea una serie di tubazioni con il numero di terminali e gli interassi "
               "richiesti. Le diramazioni saranno da 1") +
           kInch + QStringLiteral(" a 2") + kInch +
           QStringLiteral("1/2 (UNI EN 12845), il diametro della dorsale sarà da 2") + kInch +
           QStringLiteral("1/2, il tipo di terminale e la quota saranno quelli di origine.");
}

// A whole number that 16 bits hold, as the boxes take it; otherwise why not.
struct BoxValue {
    std::optional<int16_t> value;
    QString problem;
};
BoxValue boxValue(const QString& text) {
    const std::optional<double> number = parseUserNumber(text.trimmed());
    if (!number || *number != std::floor(*number))
        return {std::nullopt, QStringLiteral("serve un numero intero.")};
    if (const std::optional<int16_t> value = roundedToRange<int16_t>(*number))
        return {value, QString()};
    return {std::nullopt, QStringLiteral("serve un numero da -32768 a 32767.")};
}

} // namespace

frmMatrice::frmMatrice(Project& project, Interaction& interaction, int16_t endNode, QWidget* parent)
    : QDialog(parent), project_(project), interaction_(interaction), endNode_(endNode),
      combTerminalType_(
          project.TerminalTable[std::size_t(project.NodeTable[std::size_t(endNode)].derivation)].typeIndex) {
    setObjectName(QStringLiteral("frmMatrice"));
    setWindowTitle(QStringLiteral("Crea una distribuzione a pettine di erogatori"));
    const std::array<int, kBoxes + 1> values = {0,
                                                settings_.branchCount,
                                                int(settings_.nozzleSpacing),
                                                settings_.nozzlesSideA,
                                                settings_.nozzlesSideB,
                                                int(settings_.takeoffSpacing)};
    auto* boxes = new QGridLayout;
    for (int i = 1; i <= kBoxes; ++i) {
        txtArr[std::size_t(i)] = new QLineEdit(QString::number(values[std::size_t(i)]), this);
        txtArr[std::size_t(i)]->setObjectName(QStringLiteral("txtArr%1").arg(i));
        valid_[std::size_t(i)] = true;
        connect(txtArr[std::size_t(i)], &QLineEdit::textEdited, this, [this, i] { boxEdited(i); });
    }
    boxes->addWidget(txtArr[1], 0, 0);
    boxes->addWidget(new QLabel(boxLabel(1), this), 0, 1);
    boxes->addWidget(txtArr[2], 1, 0);
    boxes->addWidget(new QLabel(boxLabel(2), this), 1, 1);
    boxes->addWidget(
        new QLabel(QStringLiteral("Quanti ugelli creare dall'uno e dall'altro lato della dorsale"), this), 2,
        0, 1, 2);
    boxes->addWidget(txtArr[3], 3, 0);
    boxes->addWidget(new QLabel(boxLabel(3), this), 3, 1);
    boxes->addWidget(txtArr[4], 4, 0);
    boxes->addWidget(new QLabel(boxLabel(4), this), 4, 1);
    boxes->addWidget(txtArr[5], 5, 0);
    boxes->addWidget(new QLabel(boxLabel(5), this), 5, 1);
    lblTesto = new QLabel(explanation(), this);
    lblTesto->setObjectName(QStringLiteral("lblTesto"));
    lblTesto->setWordWrap(true);
    auto* names =
        new QLabel(QStringLiteral("I nomi dei terminali saranno assegnati arbitrariamente, componendo per le "
                                  "dorsali Dr più la cifra,  più dx o sx (destra e sinistra), più una cifra "
                                  "progressiva. Per le diramazioni componendo St (stacco) più cifra "
                                  "progressiva."),
                   this);
    names->setWordWrap(true);
    btnOK = new QPushButton(QStringLiteral("O.K."), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));
    connect(btnOK, &QPushButton::clicked, this, &frmMatrice::confirm);
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTesto);
    layout->addLayout(boxes);
    layout->addWidget(names);
    layout->addLayout(buttons);
}

QString frmMatrice::boxLabel(int box) const {
    return QString::fromUtf8(kBoxLabels[std::size_t(box)]);
}

void frmMatrice::boxEdited(int box) {
    const BoxValue read = boxValue(txtArr[std::size_t(box)]->text());
    const std::optional<int16_t>& value = read.value;
    valid_[std::size_t(box)] = value.has_value();
    problem_[std::size_t(box)] = read.problem;
    if (value) {
        switch (box) {
        case 1:
            settings_.branchCount = *value;
            break;
        case 2:
            settings_.nozzleSpacing = float(*value);
            break;
        case 3:
            settings_.nozzlesSideA = *value;
            break;
        case 4:
            settings_.nozzlesSideB = *value;
            break;
        case 5:
            settings_.takeoffSpacing = float(*value);
            break;
        default:
            break;
        }
    }
    btnOK->setEnabled(tools::combSettingsEnabled(settings_));
}

void frmMatrice::confirm() {
    for (int i = 1; i <= kBoxes; ++i)
        if (!valid_[std::size_t(i)]) {
            interaction_.inform(
                QStringLiteral("Valore non valido in \"%1\": %2").arg(boxLabel(i), problem_[std::size_t(i)]),
                QString(), MessageIcon::Exclamation);
            return;
        }
    if (const std::optional<QString> refusal = tools::combRefusal(project_, settings_)) {
        interaction_.inform(*refusal, QString(), MessageIcon::Exclamation);
        return;
    }
    const Answer answer = interaction_.message({tools::combSummary(project_, settings_, combTerminalType_),
                                                QStringLiteral("Creazione rete Sprinkler"),
                                                MessageButtons::OkCancel, MessageIcon::Exclamation});
    if (answer != Answer::Ok)
        return; // the dialog stays open
    added_ = tools::CreateComb(project_, endNode_, settings_);
    accept();
}

} // namespace valmora
