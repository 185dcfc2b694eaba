#pragma once

// "Stampa": which sections of the report go to the printer, the printer's set-up, the
// preview, and the report written as a PDF file beside the project.

#include "model/Workspace.h"
#include "platform/Interaction.h"
#include "report/Tabelle.h"

#include <QDialog>
#include <QPrinter>

#include <array>

class QCheckBox;
class QPushButton;

namespace valmora {

class frmStampa : public QDialog {
    Q_OBJECT
public:
    // `printer`: the session's printer, which "Opzioni stampante" sets up and the schema's
    // printout uses too. `chosen`: the parts ticked when the window opens, the designer's last
    // choice (every part the project has, the first time).
    frmStampa(Workspace& workspace, Interaction& interaction, QPrinter& printer, const ReportSections& chosen,
              QWidget* parent = nullptr);

    // nodes, materials, terminals, the verification, the curves, the cover, the inputs, the
    // summary, the signature
    std::array<QCheckBox*, 9> Check1{};
    QPushButton* btnAnteprima;
    QPushButton* btnStampa;
    QPushButton* btnOpzioni;
    QPushButton* btnUscire;
    QPushButton* btnEsportaPdf;

    QPrinter& printer() { return printer_; }
    ReportSections sections() const;
    // "<project>.pdf" beside the project.
    QString pdfPath() const;

    void printReport();
    void exportPdf();
    void preview();
    void printerSetup();

private:
    void sectionsChanged();
    ReportOptions options();

    Project& project_;
    NetworkResults& results_;
    Interaction& interaction_;
    QPrinter& printer_;
};

} // namespace valmora
