#include "dialogs/Fine.h"

#include "model/DialogRules.h"
#include "model/NumberFormat.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace valmora {

Fine::Fine(Workspace& workspace, Interaction& interaction, const QString& pressureLeft, QWidget* parent)
    : QDialog(parent), project_(workspace.project), interaction_(interaction),
      terminal_(project_.TerminalTable[project_.NodeTable[workspace.session.terminalNode].derivation]),
      selectedType_(terminal_.typeIndex), openingHeight_(terminal_.height) {
    setObjectName(QStringLiteral("Fine"));
    setWindowTitle(QStringLiteral("Terminale"));

    cmbTermina = new QComboBox(this);
    cmbTermina->setObjectName(QStringLiteral("cmbTermina"));
    txtQuota = new QLineEdit(this);
    txtQuota->setObjectName(QStringLiteral("txtQuota"));
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    lblKV = label("lblKV");
    lblQnom = label("lblQnom");
    lblPnom = label("lblPnom");
    lblResidua = label("lblResidua");
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));

    auto* form = new QFormLayout;
    form->addRow(cmbTermina);
    form->addRow(QStringLiteral("Quota (rif. al più basso)"), txtQuota);
    form->addRow(QStringLiteral("K (l/min a 1 bar)"), lblKV);
    form->addRow(QStringLiteral("Port. nominale Lt/min"), lblQnom);
    form->addRow(QStringLiteral("Press. nominale (bar)"), lblPnom);
    form->addRow(QStringLiteral("Residua press. nel terminale (%1)")
                     .arg(calculationScale(project_.pressureUnit).symbol),
                 lblResidua);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    for (const TerminalType& type : project_.TerminalCatalogue)
        cmbTermina->addItem(type.name);
    connect(cmbTermina, &QComboBox::currentIndexChanged, this, &Fine::typeSelected);
    cmbTermina->setCurrentIndex(selectedType_);
    typeSelected(selectedType_);
    txtQuota->setText(formatPicture(openingHeight_, u"#0.0"));
    lblResidua->setText(pressureLeft);

    connect(btnOK, &QPushButton::clicked, this, &Fine::confirm);
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

void Fine::typeSelected(int index) {
    if (index < 0 || index >= int(project_.TerminalCatalogue.size()))
        return;
    selectedType_ = static_cast<int16_t>(index);
    const TerminalType& type = project_.TerminalCatalogue[std::size_t(index)];
    lblKV->setText(formatGeneral(type.kFactor));
    lblQnom->setText(formatGeneral(type.nominalFlow));
    lblPnom->setText(formatGeneral(type.nominalPressure));
}

void Fine::confirm() {
    const std::optional<double> typed = parseUserNumber(txtQuota->text());
    if (!typed) {
        interaction_.inform(QStringLiteral("La quota deve essere un numero."));
        txtQuota->setFocus();
        return;
    }
    const auto height = static_cast<float>(std::fabs(*typed));
    if (!heightWithinHalfSupply(height, project_.supplyPressure)) {
        interaction_.inform(QStringLiteral("Quota oltre il 50% della pressione"));
        txtQuota->setText(formatPicture(openingHeight_, u"#0.0"));
        return;
    }
    terminal_.height = height;
    if (height > project_.maxHeight)
        project_.maxHeight = height;
    terminal_.typeIndex = selectedType_;
    project_.lastTerminalType = selectedType_;
    accept();
}

} // namespace valmora
