#pragma once

// "Dati della relazione": what the calculation report says of the project beyond its network,
// for its cover and its signature: the client, the site, the subject, the designer and the
// register they are entered in, the revision, its date and what it changed.

#include "model/Project.h"
#include "platform/Interaction.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace valmora {

class frmRelazione : public QDialog {
    Q_OBJECT
public:
    frmRelazione(Project& project, Interaction& interaction, QWidget* parent = nullptr);

    QLineEdit* txtCommittente;
    QLineEdit* txtUbicazione;
    QLineEdit* txtOggetto;
    QLineEdit* txtProgettista;
    QLineEdit* txtIscrizione;
    QLineEdit* txtRevisione;
    QLineEdit* txtData;
    QPlainTextEdit* txtNoteRevisione;
    QPushButton* btnOK;
    QPushButton* btnAnnulla;

    // The fields as typed, trimmed (the notes keep their lines).
    ReportData typed() const;

private:
    void confirm();

    Project& project_;
};

} // namespace valmora
