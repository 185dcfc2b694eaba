#include "report/frmStampa.h"

#include "platform/PagePainter.h"
#include "report/Anteprima.h"
#include "storage/RecentFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace valmora {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& tooltip) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tooltip);
    return b;
}

const QString kPdfExtension = QStringLiteral(".pdf");

} // namespace

frmStampa::frmStampa(Workspace& workspace, Interaction& interaction, QPrinter& printer,
                     const ReportSections& chosen, QWidget* parent)
    : QDialog(parent), project_(workspace.project), results_(workspace.results), interaction_(interaction),
      printer_(printer) {
    setObjectName(QStringLiteral("frmStampa"));
    setWindowTitle(QStringLiteral("Stampa"));
    const std::array<QString, 9> captions = {QStringLiteral("Stampa i nodi"),
                                             QStringLiteral("Stampa i materiali"),
                                             QStringLiteral("Stampa i terminali"),
                                             QStringLiteral("Stampa la verifica"),
                                             QStringLiteral("Stampa le curve"),
                                             QStringLiteral("Stampa la copertina"),
                                             QStringLiteral("Stampa i dati di progetto"),
                                             QStringLiteral("Stampa la sintesi dei risultati"),
                                             QStringLiteral("Stampa lo spazio per la firma")};
    for (std::size_t i = 0; i < Check1.size(); ++i) {
        Check1[i] = new QCheckBox(captions[i], this);
        Check1[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        connect(Check1[i], &QCheckBox::toggled, this, &frmStampa::sectionsChanged);
    }
    // Listed in the order the parts print.
    auto* boxes = new QVBoxLayout;
    for (const std::size_t i : {5, 6, 7, 0, 1, 2, 3, 4, 8})
        boxes->addWidget(Check1[i]);
    btnAnteprima = button(this, "btnAnteprima", QStringLiteral("&Anteprima di stampa"),
                          QStringLiteral("Anteprima di stampa in scala 1:0,6"));
    btnStampa = button(this, "btnStampa", QStringLiteral("&Stampa"),
                       QStringLiteral("Invia alla stampante di sistema"));
    btnOpzioni = button(this, "btnOpzioni", QStringLiteral("&Opzioni stampante"),
                        QStringLiteral("Apre l'impostazione della stampante di sistema"));
    btnUscire = button(this, "btnUscire", QStringLiteral("&Chiudi"), QString());
    btnEsportaPdf = button(this, "btnEsportaPdf", QStringLiteral("Esporta &PDF"),
                           QStringLiteral("Scrive le parti scelte in un file PDF accanto al progetto"));
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btnAnteprima, btnStampa, btnOpzioni, btnEsportaPdf, btnUscire})
        buttons->addWidget(b);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    connect(btnAnteprima, &QPushButton::clicked, this, &frmStampa::preview);
    connect(btnStampa, &QPushButton::clicked, this, &frmStampa::printReport);
    connect(btnOpzioni, &QPushButton::clicked, this, &frmStampa::printerSetup);
    connect(btnEsportaPdf, &QPushButton::clicked, this, &frmStampa::exportPdf);
    connect(btnUscire, &QPushButton::clicked, this, &QDialog::reject);
    const std::array<bool, 9> ticked = {chosen.nodes,        chosen.materials, chosen.terminals,
                                        chosen.verification, chosen.curves,    chosen.cover,
                                        chosen.inputs,       chosen.summary,   chosen.signature};
    for (std::size_t i = 0; i < Check1.size(); ++i)
        Check1[i]->setChecked(ticked[i]);
    sectionsChanged();
}

ReportSections frmStampa::sections() const {
    return {Check1[0]->isChecked(), Check1[1]->isChecked(), Check1[2]->isChecked(),
            Check1[3]->isChecked(), Check1[4]->isChecked(), Check1[5]->isChecked(),
            Check1[6]->isChecked(), Check1[7]->isChecked(), Check1[8]->isChecked()};
}

void frmStampa::sectionsChanged() {
    const bool any = sections().any();
    btnStampa->setEnabled(any);
    btnEsportaPdf->setEnabled(any);
}

ReportOptions frmStampa::options() {
    ReportOptions options;
    options.warn = [this](const QString& text) { interaction_.inform(text); };
    return options;
}

QString frmStampa::pdfPath() const {
    const QFileInfo project(cleanAbsolutePath(project_.projectPath));
    return project.dir().filePath(project.completeBaseName() + kPdfExtension);
}

void frmStampa::printReport() {
    const ReportSections chosen = sections();
    if (!chosen.any())
        return;
    if (!printer_.isValid() || printer_.printerName().isEmpty()) {
        interaction_.inform(
            QStringLiteral("Nessuna stampante disponibile: il rapporto si può esportare in PDF."), QString(),
            MessageIcon::Exclamation);
        return;
    }
    const ReportOptions printing = options();
    printer_.setDocName(QStringLiteral("Valmora - ") + QFileInfo(project_.projectPath).fileName());
    const PagedOutcome printed = printOn(
        printer_, [&](PrintSurface& surface) { PrintReport(project_, results_, surface, chosen, printing); });
    if (!printed.ok) {
        interaction_.inform(QStringLiteral("Stampa non riuscita"), QString(), MessageIcon::Exclamation,
                            printed.reason);
        return;
    }
    interaction_.inform(printedMessage(printed.deviceName, printed.paperBin));
}

void frmStampa::exportPdf() {
    const ReportSections chosen = sections();
    if (!chosen.any())
        return;
    const QString path = pdfPath();
    if (QFileInfo::exists(path) &&
        interaction_.message({QStringLiteral("Il file %1 esiste già. Sovrascriverlo?").arg(path),
                              QStringLiteral("Stampa"), MessageButtons::YesNo, MessageIcon::Question}) !=
            Answer::Yes)
        return;
    const ReportOptions printing = options();
    const WriteRequest request = outputOf(project_.projectPath);
    const PagedOutcome written = writePdf(
        path, projectPdfInfo(project_, kReportDocument),
        [&](PrintSurface& surface) { PrintReport(project_, results_, surface, chosen, printing); }, {},
        request);
    if (!written.ok) {
        interaction_.inform(QStringLiteral("Errore in scrittura"), QString(), MessageIcon::Exclamation,
                            written.reason);
        return;
    }
    interaction_.inform(QStringLiteral("Creato ") + path);
}

void frmStampa::preview() {
    Anteprima window(project_, results_, interaction_, this);
    interaction_.runDialog(window);
}

void frmStampa::printerSetup() {
    QPrintDialog setup(&printer_, this);
    interaction_.runDialog(setup);
}

} // namespace valmora
