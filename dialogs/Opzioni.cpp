#include "dialogs/Opzioni.h"

#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "model/NumberFormat.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cmath>

namespace valmora {

Opzioni::Opzioni(Workspace& workspace, Interaction& interaction, QWidget* parent)
    : QDialog(parent), project_(workspace.project), results_(workspace.results), interaction_(interaction),
      openingMetres_(float(project_.supplyPressure) / float(kMmPerMetreOfPressure)) {
    setObjectName(QStringLiteral("Opzioni"));
    setWindowTitle(QStringLiteral("Opzioni"));

    txtPrevalenza = new QLineEdit(this);
    txtPrevalenza->setObjectName(QStringLiteral("txtPrevalenza"));
    txtPrevalenza->setToolTip(QStringLiteral("Se digiti, TAB o click su un'altra casella, non sulla barra"));
    Scroll = new QScrollBar(Qt::Horizontal, this);
    Scroll->setObjectName(QStringLiteral("Scroll"));
    Scroll->setRange(kSliderMinimumMetres, 32767);
    lblQ = new QLabel(this);
    lblQ->setObjectName(QStringLiteral("lblQ"));
    lblQ->setMinimumWidth(80);
    cmbUnita = new QComboBox(this);
    cmbUnita->setObjectName(QStringLiteral("cmbUnita"));
    for (const PressureUnit unit :
         {PressureUnit::Millimetres, PressureUnit::Metres, PressureUnit::Bar, PressureUnit::KPa})
        cmbUnita->addItem(pressureUnitName(unit), int(unit));
    cmbUnita->setItemText(0, QStringLiteral("mm c.a. (verifica e curve in bar)"));
    cmbUnita->setToolTip(
        QStringLiteral("L'unità delle pressioni nelle griglie, nello schema, nella relazione, nelle "
                       "curve e nella verifica; i bar e i kPa a 10,197 m c.a. per bar"));
    cmbUnita->setCurrentIndex(cmbUnita->findData(int(project_.pressureUnit)));
    lblInUnita = new QLabel(this);
    lblInUnita->setObjectName(QStringLiteral("lblInUnita"));
    txtCommento = new QPlainTextEdit(this);
    txtCommento->setObjectName(QStringLiteral("txtCommento"));
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Pressione disponibile"), this), 0, 0);
    grid->addWidget(txtPrevalenza, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Metri"), this), 0, 2);
    grid->addWidget(lblInUnita, 0, 3);
    grid->addWidget(Scroll, 1, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Portata corrispondente Lt/min."), this), 2, 0);
    grid->addWidget(lblQ, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Commento"), this), 3, 0);
    grid->addWidget(txtCommento, 4, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Unità di pressione"), this), 5, 0);
    grid->addWidget(cmbUnita, 5, 1, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnulla);
    grid->addLayout(buttons, 6, 0, 1, 4);

    txtPrevalenza->setText(formatGeneral(openingMetres_));
    txtCommento->setPlainText(textForEditing(project_.projectNotes));
    connect(Scroll, &QScrollBar::valueChanged, this, &Opzioni::sliderMoved);
    if (openingMetres_ <= float(Scroll->maximum())) {
        Scroll->setValue(int(roundHalfEven(openingMetres_)));
        Scroll->setRange(kSliderMinimumMetres, kSliderMaximumMetres);
        Scroll->setSingleStep(kSliderSmallStep);
        Scroll->setPageStep(kSliderLargeStep);
        // The box keeps the pressure as it was (45.5 m, or 450 m beyond the slider): only
        // the user's own change of the slider or the box rounds it to whole metres.
        txtPrevalenza->setText(formatGeneral(openingMetres_));
        showPreview(openingMetres_);
    } else {
        Scroll->hide();
        showPreview(openingMetres_);
    }
    txtPrevalenza->installEventFilter(this);
    connect(txtPrevalenza, &QLineEdit::textChanged, this, &Opzioni::showInUnit);
    connect(cmbUnita, &QComboBox::currentIndexChanged, this, &Opzioni::showInUnit);
    showInUnit();
    connect(btnOK, &QPushButton::clicked, this, &Opzioni::confirm);
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

bool Opzioni::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtPrevalenza && event->type() == QEvent::FocusOut)
        leavePressureBox();
    return QDialog::eventFilter(watched, event);
}

void Opzioni::showPreview(double metres) {
    lblQ->setText(formatPicture(previewFlow(metres, results_.node(1).eqResistance), u"#0"));
}

// The box holds metres, as the slider does; in bar or kPa the same pressure is shown beside it.
void Opzioni::showInUnit() {
    const auto unit = PressureUnit(cmbUnita->currentData().toInt());
    const std::optional<double> metres = parseUserNumber(txtPrevalenza->text());
    const bool beside = metres && unit != PressureUnit::Millimetres && unit != PressureUnit::Metres;
    lblInUnita->setText(beside ? QStringLiteral("= ") +
                                     calculationScale(unit).text(std::fabs(*metres) * units::kMmPerMetre)
                               : QString());
}

void Opzioni::sliderMoved(int metres) {
    showPreview(metres);
    txtPrevalenza->setText(formatPicture(metres, u"#0"));
}

void Opzioni::leavePressureBox() {
    const std::optional<double> typed = parseUserNumber(txtPrevalenza->text());
    if (!typed || !(*typed > 0) || *typed > Scroll->maximum())
        return;
    const int metres = int(roundHalfEven(*typed));
    if (metres == Scroll->value())
        sliderMoved(metres); // the slider does not move, but the box and preview follow it
    else
        Scroll->setValue(metres);
}

void Opzioni::confirm() {
    const std::optional<double> typed = parseUserNumber(txtPrevalenza->text());
    if (!typed) {
        interaction_.inform(QStringLiteral("La pressione disponibile deve essere un numero."));
        txtPrevalenza->setFocus();
        return;
    }
    const auto metres = static_cast<float>(std::fabs(*typed));
    const HighestTerminal highest = highestTerminal(project_);
    if (!supplyCoversHeights(metres, highest.height)) {
        interaction_.inform(heightsNotCoveredMessage(project_, highest));
        restoreOpeningPressure();
        return;
    }
    if (!(metres > 0)) {
        interaction_.inform(QStringLiteral("La pressione disponibile deve essere maggiore di zero."));
        return;
    }
    const std::optional<int32_t> pressure = supplyPressureFromMetres(metres);
    if (!pressure) {
        interaction_.inform(QStringLiteral("La pressione disponibile non può superare %1 metri.")
                                .arg(formatPicture(kHighestSupplyMetres, u"#,#")));
        txtPrevalenza->setFocus();
        return;
    }
    project_.supplyPressure = *pressure;
    project_.projectNotes = textToKeep(txtCommento->toPlainText());
    project_.pressureUnit = PressureUnit(cmbUnita->currentData().toInt());
    const CalculationOutcome outcome = Calculate(project_, results_);
    if (!outcome.ok)
        interaction_.inform(outcome.message, QString(), MessageIcon::Exclamation);
    accept();
}

void Opzioni::restoreOpeningPressure() {
    {
        const QSignalBlocker quiet(Scroll);
        Scroll->setValue(int(roundHalfEven(openingMetres_)));
    }
    txtPrevalenza->setText(formatPicture(openingMetres_, u"#0.0"));
    // The preview follows the pressure put back, not the one refused.
    showPreview(openingMetres_);
}

} // namespace valmora
