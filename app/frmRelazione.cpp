#include "app/frmRelazione.h"

#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace valmora {

namespace {

// A field longer than this is a paste gone wrong, not a name.
constexpr int kLongestField = 300;
constexpr int kFieldWidthCharacters = 50;

QLineEdit* field(QWidget* parent, const char* name, const QString& text, const QString& tip = QString()) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(kLongestField);
    box->setToolTip(tip);
    box->setMinimumWidth(box->fontMetrics().averageCharWidth() * kFieldWidthCharacters);
    return box;
}

} // namespace

frmRelazione::frmRelazione(Project& project, Interaction& interaction, QWidget* parent)
    : QDialog(parent), project_(project) {
    Q_UNUSED(interaction)
    setObjectName(QStringLiteral("frmRelazione"));
    setWindowTitle(QStringLiteral("Dati della relazione"));
    const ReportData& stored = project.reportData;
    txtCommittente = field(this, "txtCommittente", stored.committente);
    txtUbicazione =
        field(this, "txtUbicazione", stored.ubicazione, QStringLiteral("Indirizzo e comune dell'impianto"));
    txtOggetto = field(this, "txtOggetto", stored.oggetto,
                       QStringLiteral("Ad esempio: impianto idranti del capannone A"));
    txtProgettista = field(this, "txtProgettista", stored.progettista);
    txtIscrizione = field(this, "txtIscrizione", stored.iscrizione,
                          QStringLiteral("Ad esempio: Ordine degli Ingegneri di Milano n. 12345"));
    txtRevisione = field(this, "txtRevisione", stored.revisione);
    txtData = field(this, "txtData", stored.data,
                    QStringLiteral("Vuota: la relazione porta la data del giorno in cui è stampata"));
    txtData->setPlaceholderText(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    txtNoteRevisione = new QPlainTextEdit(textForEditing(stored.noteRevisione), this);
    txtNoteRevisione->setObjectName(QStringLiteral("txtNoteRevisione"));
    txtNoteRevisione->setTabChangesFocus(true);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Committente"), txtCommittente);
    form->addRow(QStringLiteral("Ubicazione dell'impianto"), txtUbicazione);
    form->addRow(QStringLiteral("Oggetto"), txtOggetto);
    form->addRow(QStringLiteral("Progettista"), txtProgettista);
    form->addRow(QStringLiteral("Albo e numero d'iscrizione"), txtIscrizione);
    form->addRow(QStringLiteral("Revisione"), txtRevisione);
    form->addRow(QStringLiteral("Data"), txtData);
    form->addRow(QStringLiteral("Note di revisione"), txtNoteRevisione);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &frmRelazione::confirm);
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

ReportData frmRelazione::typed() const {
    ReportData report;
    report.committente = txtCommittente->text().trimmed();
    report.ubicazione = txtUbicazione->text().trimmed();
    report.oggetto = txtOggetto->text().trimmed();
    report.progettista = txtProgettista->text().trimmed();
    report.iscrizione = txtIscrizione->text().trimmed();
    report.revisione = txtRevisione->text().trimmed();
    report.data = txtData->text().trimmed();
    // Blank lines at the ends are dropped; those between paragraphs stay.
    QString notes = txtNoteRevisione->toPlainText();
    while (notes.endsWith(u'\n') || notes.endsWith(u' '))
        notes.chop(1);
    while (notes.startsWith(u'\n'))
        notes.remove(0, 1);
    report.noteRevisione = textToKeep(notes);
    return report;
}

void frmRelazione::confirm() {
    project_.reportData = typed();
    accept();
}

} // namespace valmora
