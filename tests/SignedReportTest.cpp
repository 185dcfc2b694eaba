// The report a designer signs: the pressures in the unit chosen (figures worked by hand),
// the parts around the calculation's tables in their order with the foot of every page, the
// summary agreeing with the verification it sums up, and the calculation sheet as a CSV
// table read back with a reader of its own.

#include "cli/CalculationReport.h"
#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/NumberFormat.h"
#include "model/Units.h"
#include "platform/PdfDocumentInfo.h"
#include "report/CalculationTable.h"
#include "report/Tabelle.h"
#include "standards/VerificationText.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace valmora;
using namespace valmora::testkit;

namespace {

const QLocale kItalianNumbers(QLocale::Italian, QLocale::Italy);
const QLocale kPlainNumbers = QLocale::c();

constexpr std::array<PressureUnit, 4> kUnits = {PressureUnit::Millimetres, PressureUnit::Metres,
                                                PressureUnit::Bar, PressureUnit::KPa};

// A trunk of 20 m of 2" to a valve (KV 2) that derives a 5 m branch to a hydrant at 0 m and
// goes on 10 m in 1"1/2 to a hydrant 3 m up; 40 000 mm at the supply.
Project sampleNetwork() {
    Project p = projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("Mandata"), 20, 1, 1, 3});
    const int16_t kv = build.continueAfter(a, {QStringLiteral("Valvola"), 0, 2, 0, 0});
    build.endWithTerminal(build.continueAfter(kv, {QStringLiteral("Fondo"), 10, 1, 1, 2}), 1, 3);
    build.endWithTerminal(build.deriveAt(kv, {QStringLiteral("Ramo"), 5, 1, 1, 1}), 1, 0);
    p.projectPath = QStringLiteral("/progetti/capannone.vlm");
    p.supplyPressure = 40000;
    EXPECT_TRUE(calculates(p));
    return p;
}

std::vector<RecordedPage> printed(const Project& p, const ReportSections& sections) {
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    ReportOptions options;
    options.date = QDate(2026, 12, 7);
    const NetworkResults results = Calculated(p);
    PrintReport(p, results, surface, sections, options);
    return surface.pages();
}

QStringList allTexts(const std::vector<RecordedPage>& pages) {
    QStringList texts;
    for (const RecordedPage& page : pages)
        texts << page.texts();
    return texts;
}

// The page's texts line by line (those at one height joined by " | "), as a reader sees them.
QString pageLines(const RecordedPage& page) {
    std::map<long, QStringList> lines;
    for (const PageItem& item : page.items)
        if (item.kind == PageItem::Kind::Text)
            lines[std::lround(item.y * 10)] << item.text.trimmed();
    QString out;
    for (const auto& [y, texts] : lines)
        out += texts.join(QStringLiteral(" | ")) + u'\n';
    return out;
}

// The number in a shown text, in either locale's writing ("1.234,5" or "1,234.5").
double shownNumber(QString text, const QLocale& locale) {
    text = text.trimmed();
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    EXPECT_TRUE(ok) << text.toStdString();
    return value;
}

// ---- a CSV reader of its own --------------------------------------------------------

// Fields separated by ';', a field in double quotes may hold ';', line ends and doubled quotes.
std::vector<QStringList> readCsv(const QByteArray& bytes) {
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "UTF-8 byte order mark";
    const QString text = QString::fromUtf8(bytes.mid(3));
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u';') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
            ++i;
        } else {
            EXPECT_NE(c, u'\n') << "a bare line feed outside quotes";
            field += c;
        }
    }
    EXPECT_TRUE(field.isEmpty() && row.isEmpty()) << "the last line ends with CR LF";
    return rows;
}

double csvValue(const QString& field) {
    EXPECT_FALSE(field.contains(u'.')) << "no thousands separator nor decimal point: " << field.toStdString();
    bool ok = false;
    const double value = QString(field).replace(u',', u'.').toDouble(&ok);
    EXPECT_TRUE(ok) << field.toStdString();
    return value;
}

} // namespace

// ---- units ----------------------------------------------------------------------------

// Worked by hand: 40 000 mm of water is 40 m, 40 000 / 10 197 = 3,9227 bar and 392,27 kPa; the
// calculation's own bar (10 000 mm) only in the readout kept for mm. A verification's 4,52 bar
// is 4,52 x 10,197 = 46,09 m and 452 kPa.
TEST(Units, ConversionsWorkedByHand) {
    struct Row {
        PressureUnit unit;
        const char* calculation;  // 40 000 mm in a sentence
        const char* cell;         // 1 234,4 mm in a table's cell
        const char* verification; // 4,52 bar
    };
    const std::array<Row, 4> rows = {{
        {PressureUnit::Millimetres, "40.000 mm - (4,0 bar) (0,40 MPa)", "1234", "4,52 bar (0,452 MPa)"},
        {PressureUnit::Metres, "40,00 m c.a.", "1,23", "46,1 m c.a."},
        {PressureUnit::Bar, "3,923 bar", "0,121", "4,52 bar (0,452 MPa)"},
        {PressureUnit::KPa, "392,3 kPa", "12,1", "452 kPa"},
    }};
    for (const Row& row : rows) {
        SCOPED_TRACE(pressureUnitKey(row.unit).toStdString());
        EXPECT_EQ(pressureReadout(40000, row.unit, kItalianNumbers), QString::fromUtf8(row.calculation));
        EXPECT_EQ(calculationScale(row.unit).cell(1234.4, kItalianNumbers), QString::fromUtf8(row.cell));
        EXPECT_EQ(verificationPressure(4.52, row.unit, kItalianNumbers), QString::fromUtf8(row.verification));
    }
    // The plain locale writes the same figures with its own separators.
    EXPECT_EQ(pressureReadout(40000, PressureUnit::KPa, kPlainNumbers), QStringLiteral("392.3 kPa"));
    EXPECT_EQ(pressureReadout(40000, PressureUnit::Millimetres, kPlainNumbers),
              QStringLiteral("40,000 mm - (4.0 bar) (0.40 MPa)"));
    // A bar comes back from the display unit as it went, and the file's names are the four.
    for (const PressureUnit unit : kUnits) {
        const PressureScale scale = verificationScale(unit);
        EXPECT_NEAR(scale.toBar(scale.fromBar(4.52)), 4.52, 1e-12);
        EXPECT_EQ(pressureUnitFromKey(pressureUnitKey(unit)), unit);
    }
    EXPECT_EQ(verificationScale(PressureUnit::Bar).fromBar(4.52), 4.52) << "exactly, not within a rounding";
    EXPECT_FALSE(pressureUnitFromKey(QStringLiteral("psi")));
    EXPECT_DOUBLE_EQ(units::kMmOfWaterPerBar, 10197.0);
    EXPECT_DOUBLE_EQ(hydraulics::kMmPerBar, 10000.0) << "the calculation's laws keep their bar";
}

// The verification's sheet in each unit, worked by hand: a loss of 0,1234 bar, a height of
// 3 m (0,29420 bar at 10,197 m a bar) and 4,5 bar at the section's end.
TEST(Units, TheSheetsPressuresInEachUnit) {
    SheetSection section;
    section.name = QStringLiteral("Montante");
    section.loss = 0.1234;
    section.staticDifference = 3 / 10.197;
    section.pressure = 4.5;
    struct Row {
        PressureUnit unit;
        const char* loss;
        const char* height;
        const char* pressure;
    };
    const std::array<Row, 4> rows = {{
        {PressureUnit::Millimetres, "0,1234", "0,294", "4,500"}, // the verification keeps bar
        {PressureUnit::Bar, "0,1234", "0,294", "4,500"},
        {PressureUnit::Metres, "1,258", "3,00", "45,89"}, // 0,1234 x 10,197 = 1,2583
        {PressureUnit::KPa, "12,34", "29,4", "450,0"},
    }};
    for (const bool valve : {false, true}) {
        section.kv = valve;
        for (const Row& row : rows) {
            SCOPED_TRACE(pressureUnitKey(row.unit).toStdString());
            const QStringList cells = sheetCells(section, row.unit, kItalianNumbers);
            ASSERT_EQ(cells.size(), 12);
            EXPECT_EQ(cells[9], QString::fromUtf8(row.loss));
            EXPECT_EQ(cells[10], QString::fromUtf8(row.height));
            EXPECT_EQ(cells[11], QString::fromUtf8(row.pressure));
        }
    }
}

// The same network in the four units: the report's figures, read back and multiplied out,
// are the calculation's within half their last digit; the header and the terminals' lines
// say the unit; the tables side by side in a golden file.
TEST(Units, TheSameNetworkInTheFourUnits) {
    Project p = sampleNetwork();
    ReportSections nodesOnly = ReportSections::none();
    nodesOnly.nodes = true;
    QString sideBySide;
    const NetworkResults results = Calculated(p);
    const std::vector<ReportRow> trunk = computeReportRows(p, results, 1);
    for (const PressureUnit unit : kUnits) {
        SCOPED_TRACE(pressureUnitKey(unit).toStdString());
        p.pressureUnit = unit;
        const PressureScale scale = calculationScale(unit);
        const QStringList texts = allTexts(printed(p, nodesOnly));
        sideBySide +=
            QStringLiteral("== %1\n%2").arg(pressureUnitName(unit), pageLines(printed(p, nodesOnly).front()));
        const QString heading = QStringLiteral("Pressione di progetto: ") + pressureReadout(40000, unit);
        EXPECT_TRUE(texts.contains(heading)) << heading.toStdString();
        // Each trunk row's SumDP cell: the text on the row's line whose right edge lies in the
        // SumDP column (30 + 14 + 14 + 30 + 12 + 14 + 14 = 128 to 144 mm from the margin).
        const std::vector<RecordedPage> pages = printed(p, nodesOnly);
        const RecordedPage& page = pages.front();
        for (const ReportRow& row : trunk) {
            const QString name = p.NodeTable[std::size_t(row.node)].name;
            const auto nameItem = std::find_if(page.items.begin(), page.items.end(),
                                               [&](const PageItem& i) { return i.text == name; });
            ASSERT_NE(nameItem, page.items.end());
            const auto sumItem = std::find_if(page.items.begin(), page.items.end(), [&](const PageItem& i) {
                return i.kind == PageItem::Kind::Text && std::abs(i.y - nameItem->y) < 1e-9 && i.x2 > 138 &&
                       i.x2 <= 154;
            });
            ASSERT_NE(sumItem, page.items.end()) << name.toStdString();
            const double halfDigit = 0.5 * std::pow(10.0, -scale.decimals) * scale.mmPerUnit;
            EXPECT_NEAR(shownNumber(sumItem->text, QLocale()) * scale.mmPerUnit, row.cumulativeDrop,
                        halfDigit + 1e-9)
                << name.toStdString() << " " << sumItem->text.toStdString();
        }
        const QString tables =
            QStringLiteral("Le perdite di carico parziali e totali in tabella sono in ") +
            (unit == PressureUnit::Millimetres ? QStringLiteral("mm") : pressureUnitName(unit));
        EXPECT_TRUE(texts.contains(tables));
        // The command line's sheet says the same: 40 000 mm at the supply, the drops' unit said once.
        const QStringList cli =
            calculationTable(p, results, QStringLiteral("capannone.vlm"), kItalianNumbers).split(u'\n');
        EXPECT_EQ(cli.value(1),
                  QStringLiteral("Pressione disponibile: ") +
                      (unit == PressureUnit::Millimetres ? QStringLiteral("40.000 mm - (4,0 bar)")
                                                         : pressureReadout(40000, unit, kItalianNumbers)));
        EXPECT_EQ(cli.contains(QStringLiteral("D.P. e SumDp in ") + pressureUnitName(unit)),
                  unit != PressureUnit::Millimetres);
    }
    expectGolden(QStringLiteral("report/unita.txt"), sideBySide);
}

// ---- the parts and the pages ------------------------------------------------------------

TEST(SignedReport, PartsInTheirOrderAndEveryPageSaysWhichOfHowMany) {
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/montante.vlm")).ok());
    p.projectPath = QStringLiteral("/progetti/montante.vlm");
    p.reportData.committente = QStringLiteral("Bianchi S.r.l.");
    p.reportData.oggetto =
        QStringLiteral("Rete idranti della palazzina uffici, dal locale pompe alla copertura "
                       "attraverso i tre piani e il vano scala");
    p.reportData.progettista = QStringLiteral("Ing. Maria Rossi");
    p.reportData.iscrizione = QStringLiteral("Ordine degli Ingegneri di Milano n. 12345");
    p.reportData.revisione = QStringLiteral("B");
    p.reportData.noteRevisione = QStringLiteral("Seconda emissione");
    const std::vector<RecordedPage> pages = printed(p, ReportSections::everything(p));
    const int total = int(pages.size());
    ASSERT_GE(total, 5);
    // Where each part begins.
    const auto pageOf = [&](const QString& text) {
        for (const RecordedPage& page : pages)
            if (page.texts().contains(text))
                return page.number;
        return 0;
    };
    EXPECT_EQ(pageOf(QStringLiteral("RELAZIONE DI CALCOLO")), 1);
    EXPECT_EQ(pageOf(QStringLiteral("DATI DI PROGETTO")), 2);
    EXPECT_EQ(pageOf(QStringLiteral("SINTESI DEI RISULTATI")), 2);
    EXPECT_EQ(pageOf(QStringLiteral("Tronco iniziale")), 3);
    EXPECT_EQ(pageOf(QStringLiteral("Timbro e firma")), total);
    // The header's mark says its page: "Pag. 3", not the first page's "Pag.  1".
    EXPECT_TRUE(pages[2].texts().contains(QStringLiteral("Pag. 3")));
    for (const RecordedPage& page : pages) {
        const QStringList texts = page.texts();
        ASSERT_GE(texts.size(), 2);
        EXPECT_EQ(texts.back(), QStringLiteral("pagina %1 di %2").arg(page.number).arg(total));
        EXPECT_EQ(texts[texts.size() - 2], QStringLiteral("Progetto: montante.vlm - Rev. B"));
        // Nothing printed over the footer's band.
        for (const PageItem& item : page.items) {
            if (item.kind == PageItem::Kind::Text && !texts.isEmpty() && item.text != texts.back() &&
                item.text != texts[texts.size() - 2]) {
                EXPECT_LT(item.y, 280.0) << item.text.toStdString();
            }
        }
    }
    // The cover: a long subject wraps under its label, whole.
    const QStringList cover = pages.front().texts();
    EXPECT_TRUE(cover.contains(QStringLiteral("Bianchi S.r.l.")));
    EXPECT_EQ(cover.join(u' ').count(QStringLiteral("tre piani e il vano scala")), 1);
    EXPECT_TRUE(cover.contains(QStringLiteral("Seconda emissione")));

    // The summary's figures are the verification's, in the same report.
    const StandardCheck check = verifyStandard(p, p.standardSettings);
    ASSERT_FALSE(check.scenarios.empty());
    const SetCheck& worst = check.scenarios.front().mostUnfavourable;
    ASSERT_TRUE(worst.demandPressure);
    const QStringList texts = allTexts(pages);
    const qsizetype row = texts.indexOf(QStringLiteral("Idranti (%1)").arg(check.scenarios.front().count));
    ASSERT_GE(row, 0);
    EXPECT_EQ(texts[row + 1], formatPicture(*worst.demandPressure, u"#,#0.00"));
    const QString required =
        QStringLiteral("Pressione richiesta all'origine: %1 per").arg(barAndMPa(*worst.demandPressure));
    EXPECT_TRUE(texts.join(u'\n').contains(required)) << required.toStdString();
    EXPECT_EQ(texts[row + 5],
              check.scenarios.front().pass ? QStringLiteral("superato") : QStringLiteral("NON superato"));
    // The units are said once, in the inputs, not again in the verification.
    const QString perBar = formatPicture(10.197, u"#0.000") + QStringLiteral(" m di colonna d'acqua per bar");
    EXPECT_EQ(texts.join(QString()).count(perBar), 1);

    // Parts alone: the signature alone is one page of one.
    ReportSections signatureOnly = ReportSections::none();
    signatureOnly.signature = true;
    const std::vector<RecordedPage> alone = printed(p, signatureOnly);
    EXPECT_EQ(alone.back().texts().back(), QStringLiteral("pagina %1 di %1").arg(alone.size()));
    EXPECT_TRUE(allTexts(alone).contains(QStringLiteral("Ing. Maria Rossi")));
}

// ---- the CSV table ------------------------------------------------------------------------

TEST(CalculationTable, ReadBackWithACsvReader) {
    Project p = sampleNetwork();
    p.NodeTable[4].name = QStringLiteral("Idr. \"A\"; piano 1");
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    const std::vector<QStringList> rows = readCsv(calculationTableCsv(p, r, nullptr));
    ASSERT_GE(rows.size(), 6u);
    EXPECT_EQ(rows[0].value(0), QStringLiteral("Calcolo della rete"));
    EXPECT_DOUBLE_EQ(csvValue(rows[0].value(2)), 40000.0) << "40 000 mm, not grouped";
    EXPECT_EQ(rows[1].value(9), QStringLiteral("DP mm"));
    // Every node once, its figures the grid's within their last digit.
    int seen = 0;
    for (const int16_t first : branchesInReportOrder(p))
        for (const BranchRow& row : computeBranchRows(p, r, first)) {
            const QString name = p.NodeTable[std::size_t(row.node)].name;
            const auto found = std::find_if(rows.begin(), rows.end(),
                                            [&](const QStringList& line) { return line.value(1) == name; });
            ASSERT_NE(found, rows.end()) << name.toStdString();
            ++seen;
            EXPECT_NEAR(csvValue(found->value(7)), row.flow, 0.05) << name.toStdString();
            EXPECT_NEAR(csvValue(found->value(9)), row.drop, 0.5) << name.toStdString();
            EXPECT_NEAR(csvValue(found->value(10)), row.cumulativeDrop, 0.5) << name.toStdString();
            if (row.velocity)
                EXPECT_NEAR(csvValue(found->value(8)), *row.velocity, 0.005);
            else
                EXPECT_TRUE(found->value(8).isEmpty()) << "a valve has no velocity";
        }
    EXPECT_EQ(seen, p.nodeCount());
    // The hydrant at 3 m: 40 000 mm less the drops, less 3 000 mm of height.
    const auto fondo = std::find_if(rows.begin(), rows.end(), [](const QStringList& line) {
        return line.value(1) == QStringLiteral("Fondo");
    });
    ASSERT_NE(fondo, rows.end());
    EXPECT_NEAR(csvValue(fondo->value(13)), 40000 - csvValue(fondo->value(10)) - 3000, 0.6);
    EXPECT_EQ(fondo->value(12), QStringLiteral("3,00"));

    // In kPa the same column, divided by 101,97.
    p.pressureUnit = PressureUnit::KPa;
    const std::vector<QStringList> inKPa = readCsv(calculationTableCsv(p, r, nullptr));
    EXPECT_EQ(inKPa[1].value(10), QStringLiteral("SumDP kPa"));
    const auto fondoKPa = std::find_if(inKPa.begin(), inKPa.end(), [](const QStringList& line) {
        return line.value(1) == QStringLiteral("Fondo");
    });
    EXPECT_NEAR(csvValue(fondoKPa->value(10)) * 101.97, csvValue(fondo->value(10)), 0.6);
}

// With a standard set, the verification's sections follow, each position's rows the sheet's.
TEST(CalculationTable, TheVerificationsSectionsFollowTheNetwork) {
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/montante.vlm")).ok());
    const StandardCheck check = verifyStandard(p, p.standardSettings);
    const std::vector<QStringList> rows = readCsv(calculationTableCsv(p, Calculated(p), &check));
    std::size_t sections = 0;
    for (const ScenarioCheck& s : check.scenarios)
        sections += s.mostUnfavourable.sections.size() + s.mostFavourable.sections.size();
    const auto heading = std::find_if(rows.begin(), rows.end(), [](const QStringList& r) {
        return r.value(0) == QStringLiteral("Scenario");
    });
    ASSERT_NE(heading, rows.end());
    EXPECT_EQ(std::size_t(rows.end() - heading - 1), sections);
    EXPECT_EQ(heading->value(13), QStringLiteral("P bar"));
    // The last section of the most unfavourable position: its pressure as the sheet gives it.
    const SheetSection& last = check.scenarios.front().mostUnfavourable.sections.back();
    const auto row = std::find_if(heading, rows.end(), [&](const QStringList& r) {
        return r.value(1) == QStringLiteral("più sfavorevole") && r.value(2) == last.name;
    });
    ASSERT_NE(row, rows.end());
    EXPECT_NEAR(csvValue(row->value(13)), last.pressure, 0.0005);
}

TEST(CalculationTable, FieldsAndNumbers) {
    EXPECT_EQ(csvField(QStringLiteral("Idrante 1")), QStringLiteral("Idrante 1"));
    EXPECT_EQ(csvField(QStringLiteral("a;b")), QStringLiteral("\"a;b\""));
    EXPECT_EQ(csvField(QStringLiteral("da \"A\"")), QStringLiteral("\"da \"\"A\"\"\""));
    EXPECT_EQ(csvField(QStringLiteral("due\r\nrighe")), QStringLiteral("\"due\r\nrighe\""));
    EXPECT_EQ(csvNumber(1234.56, 1), QStringLiteral("1234,6"));
    EXPECT_EQ(csvNumber(-0.001, 2), QStringLiteral("0,00"));
    EXPECT_EQ(csvNumber(-2.4, 0), QStringLiteral("-2"));
    EXPECT_EQ(csvNumber(std::nan(""), 2), QString());
}

// ---- the PDF's information ----------------------------------------------------------------

// A PDF laid out as the writer lays it out, made by hand: the author and subject go into the
// information dictionary, its date becomes the moment given, and every object after it is
// found again through the moved table; a file laid out otherwise is left to the caller.
TEST(PdfDocumentInfo, TheInformationGoesInAndTheTableFollows) {
    const QByteArray objects[] = {
        "1 0 obj\n<<\n/Title (x)\n/CreationDate (D:20200101000000Z)\n>>\nendobj\n",
        "2 0 obj\n<< /Type /Catalog >>\nendobj\n",
        "3 0 obj\n(tre)\nendobj\n",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (const QByteArray& object : objects) {
        offsets << pdf.size();
        pdf += object;
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 4\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size 4 /Info 1 0 R /Root 2 0 R >>\nstartxref\n" + QByteArray::number(xref) +
           "\n%%EOF\n";

    const QDateTime moment(QDate(2026, 12, 7), QTime(18, 43, 10), Qt::UTC);
    const std::optional<QByteArray> out = withDocumentInfo(
        pdf, PdfDocumentInfo(QStringLiteral("x"), QStringLiteral("Ing. Rossì"), QStringLiteral("(a)")),
        moment);
    ASSERT_TRUE(out);
    // "ì" is U+00EC; the subject's parentheses need no escape in a hexadecimal string.
    EXPECT_TRUE(out->contains("/Author <FEFF0049006E0067002E00200052006F0073007300EC>\n"));
    EXPECT_TRUE(out->contains("/Subject <FEFF002800610029>\n"));
    EXPECT_TRUE(out->contains("/CreationDate (D:20261207184310Z)"));
    const QByteArray tail = out->mid(out->lastIndexOf("startxref\n") + 10);
    const qsizetype table = tail.left(tail.indexOf('\n')).trimmed().toLongLong();
    ASSERT_TRUE(out->mid(table).startsWith("xref\n0 4\n"));
    for (int object = 1; object <= 3; ++object) {
        const qsizetype entry = table + qsizetype(sizeof("xref\n0 4\n") - 1) + 20 * object;
        const qsizetype at = out->mid(entry, 10).toLongLong();
        EXPECT_TRUE(out->mid(at).startsWith(QByteArray::number(object) + " 0 obj")) << object;
    }
    EXPECT_FALSE(withDocumentInfo("%PDF-1.4\nnothing of the kind\n", PdfDocumentInfo(), moment));
    EXPECT_EQ(pdfTextString(QStringLiteral("A(")), QByteArray("<FEFF00410028>"));
}
