#include "editor/GlobalChangeDialogs.h"

#include "editor/NetworkTools.h"
#include "platform/Interaction.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace valmora {

GlobalChangeDialog::GlobalChangeDialog(Project& project, Interaction& interaction, QWidget* parent)
    : QDialog(parent), project_(project), interaction_(interaction) {
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    lblNothing = new QLabel(this);
    lblNothing->setObjectName(QStringLiteral("lblNothing"));
    btnOK = new QPushButton(QStringLiteral("O.K"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));
    connect(btnOK, &QPushButton::clicked, this, [this] {
        apply();
        accept();
    });
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

void GlobalChangeDialog::build(const QString& caption, const QString& sourceLabel, const QString& note,
                               const QString& nothingText) {
    setWindowTitle(caption);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(sourceLabel, this), 0, 0);
    grid->addWidget(Combo1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Diventeranno di tipo:"), this), 1, 0);
    grid->addWidget(Combo2, 1, 1);
    auto* warning = new QLabel(note, this);
    warning->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(warning);
    layout->addWidget(lblNothing);
    layout->addLayout(buttons);
    Combo1->setCurrentIndex(0);
    Combo2->setCurrentIndex(0);
    const bool somethingToChange = Combo1->count() > 0;
    btnOK->setEnabled(somethingToChange);
    lblNothing->setText(somethingToChange ? QString() : nothingText);
    lblNothing->setVisible(!somethingToChange);
}

// ---- pipe series ------------------------------------------------------------------

frmCambiaTB::frmCambiaTB(Project& project, Interaction& interaction, QWidget* parent)
    : GlobalChangeDialog(project, interaction, parent) {
    setObjectName(QStringLiteral("frmCambiaTB"));
    for (const tools::ListEntry& entry : tools::seriesInUse(project))
        Combo1->addItem(entry.name, entry.itemValue);
    for (int16_t s = 1; s <= project.pipeSeriesCount(); ++s)
        Combo2->addItem(project.PipeCatalogue[std::size_t(s)].name);
    build(QStringLiteral("Cambia tipo di tubo in tutto l'impianto"), QStringLiteral("Le tubazioni tipo:"),
          QStringLiteral(
              "Attenzione, verranno scelti i diametri più prossimi del nuovo tipo, ma se non esistono "
              "sarà adottato il diametro massimo (o minimo)  possibile, che non è detto ti vada bene. "
              "Ti suggerisco caldamente di salvare PRIMA di procedere !"),
          QStringLiteral("Nessun tubo da cambiare: i tubi della rete sono bloccati o sono KV."));
}

void frmCambiaTB::apply() {
    const auto from = static_cast<int16_t>(Combo1->currentData().toInt() + 1);
    const auto to = static_cast<int16_t>(Combo2->currentIndex() + 1);
    const int count = tools::changePipeSeries(project_, from, to);
    interaction_.inform(QStringLiteral("Ho cambiato %1 tubi").arg(count),
                        QStringLiteral("Cambiamento tipo di tubo"));
}

// ---- terminal types ---------------------------------------------------------------

frmCambiaFine::frmCambiaFine(Project& project, Interaction& interaction, QWidget* parent)
    : GlobalChangeDialog(project, interaction, parent) {
    setObjectName(QStringLiteral("frmCambiaFine"));
    for (const tools::ListEntry& entry : tools::terminalTypesInUse(project))
        Combo1->addItem(entry.name, entry.itemValue);
    for (const TerminalType& type : project.TerminalCatalogue)
        Combo2->addItem(type.name);
    build(QStringLiteral("Cambia i terminali dell'impianto"), QStringLiteral("I terminali tipo:"),
          QStringLiteral("Può essere sostituito solo un tipo di terminale per volta."),
          QStringLiteral("Nessun terminale nella rete."));
    // A hasty O.K changes nothing: the target starts as the source, and O.K waits for
    // another type to be chosen.
    const bool somethingToChange = btnOK->isEnabled();
    const auto followSource = [this] { Combo2->setCurrentIndex(Combo1->currentData().toInt()); };
    const auto okOnlyForAnotherType = [this, somethingToChange] {
        btnOK->setEnabled(somethingToChange && Combo2->currentIndex() != Combo1->currentData().toInt());
    };
    connect(Combo1, &QComboBox::currentIndexChanged, this, followSource);
    connect(Combo2, &QComboBox::currentIndexChanged, this, okOnlyForAnotherType);
    if (somethingToChange)
        followSource();
    okOnlyForAnotherType();
}

void frmCambiaFine::apply() {
    const auto from = static_cast<int16_t>(Combo1->currentData().toInt());
    const auto to = static_cast<int16_t>(Combo2->currentIndex());
    const int count = tools::changeTerminalType(project_, from, to);
    interaction_.inform(QStringLiteral("Ho cambiato %1 terminali").arg(count),
                        QStringLiteral("Cambiamento tipo di terminale"));
}

} // namespace valmora
