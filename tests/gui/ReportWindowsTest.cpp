// "Stampa" and "Anteprima": the sections chosen, the PDF beside the project, the pages of
// the preview, and the report printed on a real print queue when the machine has one.

#include "model/Calculation.h"
#include "platform/PagePainter.h"
#include "report/Anteprima.h"
#include "report/frmStampa.h"
#include "schema/SchemaPrint.h"
#include "schema/frmSchema.h"
#include "storage/ProjectFile.h"
#include "tests/gui/GuiTestSupport.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

using namespace valmora;
using namespace valmora::guitest;

namespace {

// The print queue that the continuous integration sets up (scripts/setup-printer.sh).
const QString kPrintQueue = QStringLiteral("Valmora_PDF");
constexpr int kPrintWaitMs = 60000;

// The example read and calculated, as the program opens it, under another name.
Workspace example(const QString& path) {
    Workspace w(testkit::projectWithShippedCatalogues());
    EXPECT_TRUE(
        ReadProject(w.project, testkit::shippedDataDirectory() + QStringLiteral("/esempio.vlm")).ok());
    EXPECT_TRUE(Calculate(w.project, w.results).ok);
    w.project.projectPath = path;
    return w;
}

QString pdfText(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    pdftotext.waitForFinished();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// What a tool says of a file: its standard output, or "" when it fails (its error kept).
QString toolSays(const QString& tool, const QStringList& arguments, QString* error = nullptr) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished() || process.exitStatus() != QProcess::NormalExit) {
        if (error)
            *error = tool + QStringLiteral(" non si avvia");
        return QString();
    }
    if (error)
        *error = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

// A page of a PDF as a small grey image (pdftoppm), or a null image.
QImage renderedPage(const QString& pdf, int page) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("pagina"));
    QProcess pdftoppm;
    pdftoppm.setStandardErrorFile(QProcess::nullDevice()); // asked past the last page, it says so
    pdftoppm.start(QStringLiteral("pdftoppm"),
                   {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-gray"),
                    QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-f"),
                    QString::number(page), QStringLiteral("-l"), QString::number(page), pdf, prefix});
    pdftoppm.waitForFinished();
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

// Pixels that differ clearly (by more than 40 % of the grey range).
int differingPixels(const QImage& a, const QImage& b) {
    constexpr int kClearDifference = 102;
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            count += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > kClearDifference;
    return count;
}

int pageCount(const QString& pdf) {
    int pages = 0;
    while (!renderedPage(pdf, pages + 1).isNull())
        ++pages;
    return pages;
}

// What every printed report of the example must hold: the header line with the design
// pressure, every branch title, the terminal lines.
void expectExampleReport(const QString& text) {
    EXPECT_TRUE(text.contains(QStringLiteral("Pressione di progetto: 45") + QLocale().groupSeparator() +
                              QStringLiteral("000 mm")))
        << text.toStdString();
    for (const char* title : {"Tronco iniziale", "Derivato da Dorsale nord", "Derivato da Ingresso",
                              "Derivato da Montante uffici", "Derivato da Interrato PE"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(title))) << title;
    EXPECT_EQ(text.count(QStringLiteral("Pressione disponibile al terminale")), 5);
    EXPECT_TRUE(text.contains(QStringLiteral("Elenco Materiali - TERMINALI")));
}

} // namespace

TEST(frmStampa, SectionsEnablePrintingAndThePdfGoesBesideTheProject) {
    QTemporaryDir dir;
    Workspace w = example(dir.filePath(QStringLiteral("capannone.vlm")));
    Project& p = w.project;
    ScriptedInteraction ask;
    QPrinter sessionPrinter(QPrinter::HighResolution);
    frmStampa dialog(w, ask, sessionPrinter, ReportSections{false, false, false, false, false});
    EXPECT_FALSE(dialog.btnStampa->isEnabled());
    dialog.Check1[1]->click();
    EXPECT_TRUE(dialog.btnStampa->isEnabled());
    dialog.Check1[1]->click(); // checked and unchecked again
    EXPECT_FALSE(dialog.btnStampa->isEnabled());
    EXPECT_FALSE(dialog.btnEsportaPdf->isEnabled());

    for (QCheckBox* box : dialog.Check1)
        box->click();
    const QString pdf = dir.filePath(QStringLiteral("capannone.pdf"));
    ASSERT_EQ(dialog.pdfPath(), pdf);
    dialog.btnEsportaPdf->click();
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Creato ") + pdf});
    expectExampleReport(pdfText(pdf));

    // An existing file is overwritten only when the user says so.
    const QDateTime written = QFileInfo(pdf).lastModified();
    ask.answers = {Answer::No};
    dialog.btnEsportaPdf->click();
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Il file %1 esiste già. Sovrascriverlo?").arg(pdf));
    EXPECT_EQ(QFileInfo(pdf).lastModified(), written);

    // Only the terminals: the header and the terminal list, no branch table.
    dialog.Check1[0]->click();
    dialog.Check1[1]->click();
    ask.answers = {Answer::Yes};
    dialog.btnEsportaPdf->click();
    const QString terminals = pdfText(pdf);
    EXPECT_TRUE(terminals.contains(QStringLiteral("Pressione di progetto")));
    EXPECT_TRUE(terminals.contains(QStringLiteral("I terminali attivi sono 5")));
    EXPECT_FALSE(terminals.contains(QStringLiteral("Tronco iniziale")));
    EXPECT_FALSE(terminals.contains(QStringLiteral("Elenco Materiali - Tubazioni")));

    // A folder that cannot be written: said, the dialog still there.
    p.projectPath = dir.filePath(QStringLiteral("manca/capannone.vlm"));
    dialog.btnEsportaPdf->click();
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Errore in scrittura"));
    EXPECT_FALSE(ask.messages.back().details.isEmpty());
}

// The report's PDF: PDF/A-1b as its metadata declares, its title, author and subject both in
// its information and in its metadata, every font embedded whole, its structure sound after
// the information was added (qpdf --check reads every object through the moved table).
TEST(PdfA, TheReportIsFitToArchiveAndSign) {
    QTemporaryDir dir;
    Workspace w = example(dir.filePath(QStringLiteral("capannone.vlm")));
    Project& p = w.project;
    p.reportData.progettista = QStringLiteral("Ing. Maria Rossì");
    p.reportData.oggetto = QStringLiteral("Rete idranti (capannone \\ A) & naspi");
    p.reportData.committente = QStringLiteral("Bianchi S.r.l.");
    const QString pdf = dir.filePath(QStringLiteral("relazione.pdf"));
    const PagedOutcome written =
        writePdf(pdf, projectPdfInfo(p, kReportDocument), [&](PrintSurface& surface) {
            PrintReport(p, w.results, surface, ReportSections::everything(p), ReportOptions{});
        });
    ASSERT_TRUE(written.ok) << written.reason.toStdString();
    const QString info = toolSays(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(
        QStringLiteral("Title:           Relazione di calcolo - Rete idranti (capannone \\ A) & naspi\n")))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Author:          Ing. Maria Rossì\n"))) << info.toStdString();
    EXPECT_TRUE(
        info.contains(QStringLiteral("Subject:         Impianto idrico antincendio - Rete idranti (capannone "
                                     "\\ A) & naspi - Bianchi S.r.l.\n")))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Metadata Stream: yes")));
    const QString meta = toolSays(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), pdf});
    EXPECT_TRUE(meta.contains(QStringLiteral("pdfaid:part=\"1\" pdfaid:conformance=\"B\"")));
    EXPECT_TRUE(meta.contains(QStringLiteral("<rdf:li>Ing. Maria Rossì</rdf:li>")));
    EXPECT_TRUE(meta.contains(QStringLiteral("Rete idranti (capannone \\ A) &amp; naspi")));
    // The information's creation date and the metadata's are one moment.
    const QRegularExpression created(
        QStringLiteral("xmp:CreateDate=\"(\\d{4})-(\\d\\d)-(\\d\\d)T(\\d\\d):(\\d\\d):(\\d\\d)Z\""));
    const QRegularExpressionMatch when = created.match(meta);
    ASSERT_TRUE(when.hasMatch()) << meta.toStdString();
    const QByteArray bytes = testkit::readBytes(pdf);
    EXPECT_TRUE(bytes.contains("/CreationDate (D:" +
                               (when.captured(1) + when.captured(2) + when.captured(3) + when.captured(4) +
                                when.captured(5) + when.captured(6))
                                   .toLatin1() +
                               "Z)"));
    const QString fonts = toolSays(QStringLiteral("pdffonts"), {pdf});
    const QStringList rows = fonts.split(u'\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(rows.isEmpty());
    for (const QString& row : rows)
        EXPECT_TRUE(row.contains(QRegularExpression(QStringLiteral(" yes no  +yes "))))
            << "embedded whole: " << row.toStdString();
    QString complaint;
    const QString check = toolSays(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}, &complaint);
    EXPECT_TRUE(check.contains(QStringLiteral("No syntax or stream encoding errors found")))
        << complaint.toStdString();
}

TEST(Anteprima, PagesWrapAroundBothWays) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildChain(p, 90);
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    ScriptedInteraction ask;
    Anteprima preview(p, r, ask);
    const int last = preview.pageCount();
    ASSERT_GE(last, 3);
    EXPECT_TRUE(preview.PagPrew->isEnabled());
    EXPECT_EQ(preview.Pglbl->text(), QStringLiteral("Pagina 1 di %1").arg(last));
    preview.PagPrew->click(); // before page 1 comes the last
    EXPECT_EQ(preview.pageOnView(), last);
    EXPECT_EQ(preview.Pglbl->text(), QStringLiteral("Pagina %1 di %1").arg(last));
    preview.PagPost->click(); // after the last comes page 1
    EXPECT_EQ(preview.pageOnView(), 1);
    preview.PagPost->click();
    EXPECT_EQ(preview.Pglbl->text(), QStringLiteral("Pagina 2 di %1").arg(last));
    // The preview's pages are the printer's and the PDF's, break for break.
    PainterTextMetrics metrics;
    RecordingSurface printer(metrics);
    PrintReport(p, r, printer, ReportSections::everything(p), ReportOptions{});
    ASSERT_EQ(int(printer.pages().size()), last);
    for (int page = 1; page <= last; ++page) {
        EXPECT_EQ(preview.page(page).texts(), printer.pages()[std::size_t(page - 1)].texts()) << page;
    }

    Project small = testkit::projectWithTestCatalogues();
    testkit::buildChain(small, 3);
    NetworkResults smallResults;
    ASSERT_TRUE(Calculate(small, smallResults).ok);
    // A short network: the inputs and the summary on one page, the tables on the next.
    Anteprima two(small, smallResults, ask);
    EXPECT_EQ(two.pageCount(), 2);
    EXPECT_TRUE(two.PagPrew->isEnabled());
    two.PagPost->click();
    two.PagPost->click();
    EXPECT_EQ(two.pageOnView(), 1);
    EXPECT_TRUE(two.page(1).texts().contains(QStringLiteral("SINTESI DEI RISULTATI")));
    EXPECT_TRUE(two.page(2).texts().contains(QStringLiteral("pagina 2 di 2")));
}

TEST(frmStampa, PrintsTheExampleOnARealQueue) {
    if (!QPrinterInfo::printerInfo(kPrintQueue).isNull()) {
    } else if (qEnvironmentVariable("VALMORA_REQUIRE_PRINTER") == QLatin1String("1")) {
        FAIL() << "no print queue " << kPrintQueue.toStdString()
               << ", though scripts/setup-printer.sh set it up";
    } else {
        GTEST_SKIP() << "SKIPPED: no print queue " << kPrintQueue.toStdString()
                     << " on this machine (scripts/setup-printer.sh sets one up; see the README)";
    }
    // cups-pdf writes each job into the PDF folder of the user who printed it, in the home
    // that the user database gives (whatever HOME says).
    const passwd* user = getpwuid(getuid());
    const QDir out((user ? QString::fromLocal8Bit(user->pw_dir) : QDir::homePath()) + QStringLiteral("/PDF"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    // A name of its own: the C and Italian runs of this test may print at the same time.
    const QString job =
        QStringLiteral("capannone-%1-%2").arg(QLocale().name()).arg(QCoreApplication::applicationPid());
    Workspace w = example(QStringLiteral("/progetti/") + job + QStringLiteral(".vlm"));
    Project& p = w.project;
    ScriptedInteraction ask;
    FakeSchemaHost host; // the session's printer
    frmStampa dialog(w, ask, host.printer, ReportSections{false, false, false, false, false});
    dialog.printer().setPrinterName(kPrintQueue);
    for (QCheckBox* box : dialog.Check1)
        box->click();
    dialog.btnStampa->click();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0].text,
              QStringLiteral("Stampato su ") + kPrintQueue + QStringLiteral("\r\nCassetto indefinito"));
    // The schema prints on the printer the report's set-up chose, not on the system's default.
    frmSchema schema(w, ask, host);
    schema.printSchema();
    ASSERT_EQ(ask.messages.size(), 2u);
    EXPECT_EQ(ask.messages[1].text, kSchemaPrintedMessage + kPrintQueue);

    QString printed;
    QElapsedTimer waited;
    waited.start();
    while (printed.isEmpty() && waited.elapsed() < kPrintWaitMs) {
        for (const QFileInfo& file :
             out.entryInfoList({u'*' + job + QStringLiteral("*.pdf")}, QDir::Files, QDir::Time))
            if (file.lastModified() >= before && file.size() > 0)
                printed = file.filePath();
        QThread::msleep(200);
    }
    ASSERT_FALSE(printed.isEmpty()) << "the queue wrote no PDF into " << out.path().toStdString();
    QThread::msleep(500); // the writer may still be closing the file

    // The print chain redraws the fonts without their character codes, so the printed
    // file's text cannot be read back; its pages are compared with the report's own PDF,
    // whose text is checked.
    QTemporaryDir dir;
    const QString own = dir.filePath(QStringLiteral("capannone.pdf"));
    ReportOptions options;
    ASSERT_TRUE(writePdf(own, QString(), [&](PrintSurface& surface) {
                    PrintReport(p, w.results, surface, dialog.sections(), options);
                }).ok);
    expectExampleReport(pdfText(own));
    const int pages = pageCount(own);
    ASSERT_GT(pages, 0);
    EXPECT_EQ(pageCount(printed), pages);
    for (int page = 1; page <= pages; ++page) {
        const QImage expected = renderedPage(own, page);
        QImage blank(expected.size(), QImage::Format_Grayscale8);
        blank.fill(Qt::white);
        // Another page, or an empty one, differs in most of the ink; the same page in a few
        // edges of the redrawn glyphs.
        EXPECT_LT(differingPixels(renderedPage(printed, page), expected),
                  differingPixels(blank, expected) / 3)
            << "page " << page;
    }
}
