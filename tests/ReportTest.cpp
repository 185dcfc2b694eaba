// The printed report, read back from a recording surface in millimetres of the page.

#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Verification.h"
#include "report/Tabelle.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace valmora;
using testkit::kItalian;
using testkit::LocaleScope;

namespace {

// Trunk "Mandata"(1, 50 mm, 20 m) -> "Valvola"(2, KV 2, derives "Ramo"(4) ending in a K 80
// terminal at 0 m) -> "Fondo"(3, 40 mm, 10 m) ending in a K 80 terminal 3 m up.
Project sampleNetwork() {
    Project p = testkit::projectWithTestCatalogues();
    testkit::NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("Mandata"), 20, 1, 1, 3});
    const int16_t kv = build.continueAfter(a, {QStringLiteral("Valvola"), 0, 2, 0, 0});
    build.endWithTerminal(build.continueAfter(kv, {QStringLiteral("Fondo"), 10, 1, 1, 2}), 1, 3);
    build.endWithTerminal(build.deriveAt(kv, {QStringLiteral("Ramo"), 5, 1, 1, 1}), 1, 0);
    p.projectPath = QStringLiteral("/progetti/capannone.vlm");
    EXPECT_TRUE(Calculate(p).ok);
    return p;
}

struct Report {
    FixedPitchMetrics metrics;
    RecordingSurface surface{metrics};
    QStringList warnings;

    const std::vector<RecordedPage>& print(Project& p, ReportSections sections = {}) {
        ReportOptions options;
        options.date = QDate(2026, 12, 6);
        options.warn = [this](const QString& text) { warnings << text; };
        PrintReport(p, surface, sections, options);
        return surface.pages();
    }
    // Every text printed in the printer's layout, in order.
    QStringList printTexts(Project& p, ReportSections sections) {
        print(p, sections);
        return texts();
    }
    QStringList texts() const {
        QStringList all;
        for (const RecordedPage& page : surface.pages())
            all << page.texts();
        return all;
    }
    const PageItem* find(const QString& text) const {
        for (const RecordedPage& page : surface.pages())
            for (const PageItem& item : page.items)
                if (item.kind == PageItem::Kind::Text && item.text == text)
                    return &item;
        return nullptr;
    }
};

} // namespace

TEST(Report, HeaderWithItalianSeparatorsPathAndNotes) {
    const LocaleScope italian(kItalian);
    Project p = sampleNetwork();
    EXPECT_TRUE(Report()
                    .print(p, {false, false, false, false, false})
                    .empty()); // nothing chosen, nothing printed

    Report header;
    const QStringList texts = header.printTexts(p, {false, false, true, false, false});
    ASSERT_GE(texts.size(), 8);
    EXPECT_EQ(texts.mid(0, 4), (QStringList{"File: ", "/progetti/capannone.vlm", "06/12/2026", "Pag.  1"}));
    EXPECT_TRUE(texts.contains(QStringLiteral("Pressione di progetto: 40.000 mm - (4,0 Bar) (0,40 MPa)")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Note :"))); // no notes: the word alone
    // x = 0 lies 10 mm in from the edges; the first line's height is 4 mm at 10 points.
    EXPECT_DOUBLE_EQ(header.find(QStringLiteral("File: "))->x, 10);
    EXPECT_DOUBLE_EQ(header.find(QStringLiteral("06/12/2026"))->x, 100);
    EXPECT_NEAR(header.find(QStringLiteral("Formule utilizzate come da UNI 10779"))->y, 10 + 4 * 4, 0.01);

    for (const auto& [length, shown] : {std::pair{50, 50}, std::pair{51, 53}}) {
        p.projectPath = QString(length, u'p');
        const QString path = Report().printTexts(p, {false, false, true, false, false})[1];
        EXPECT_EQ(path.size(), shown) << length;
        EXPECT_EQ(path.startsWith(QStringLiteral("...")), length > 50);
    }
}

TEST(Report, NotesWrapAtBlanksAndEveryCharacterIsPrintedOnce) {
    Project p = sampleNetwork();
    const QString word = QString(150, u'x'); // longer than a line: cut where it stops fitting
    p.projectNotes = QStringLiteral("Rete idranti del capannone, ") + QString(30, u'a') + u' ' + word +
                     QStringLiteral(" fine.\r\nSeconda riga");
    Report r;
    const QStringList texts = r.printTexts(p, {false, false, true, false, false});
    const qsizetype first =
        texts.indexOf(QStringLiteral("Le perdite di carico parziali e totali in tabella sono in mm")) + 1;
    const qsizetype last = texts.indexOf(QStringLiteral("Seconda riga"));
    ASSERT_GT(last, first + 2);
    QString joined;
    for (qsizetype i = first; i < last; ++i) {
        EXPECT_LT(FixedPitchMetrics().width(QStringLiteral("W") + texts[i], r.surface.font()), 170) << i;
        joined += texts[i];
    }
    EXPECT_EQ(joined, QStringLiteral("Note :") + p.projectNotes.section(QStringLiteral("\r\n"), 0, 0));
    EXPECT_TRUE(texts[first].endsWith(u' ')); // broken after a blank
}

TEST(Report, BranchTablesInTheirOrderWithKvClosedAndEndLines) {
    const LocaleScope italian(kItalian);
    Project p = sampleNetwork();
    p.NodeTable[4].closed = true; // "Ramo" carries nothing
    ASSERT_TRUE(Calculate(p).ok);
    Report r;
    const QStringList texts = r.printTexts(p, {true, false, false, false, false});
    const qsizetype trunk = texts.indexOf(QStringLiteral("Tronco iniziale"));
    const qsizetype derived = texts.indexOf(QStringLiteral("Derivato da Valvola"));
    ASSERT_GE(trunk, 0);
    EXPECT_GT(derived, trunk);

    // The KV row: "><" under Lun. and Ø, its KV under L.eq., " -" under Vel.
    const qsizetype kv = texts.indexOf(QStringLiteral("Valvola"), trunk);
    EXPECT_EQ(texts.mid(kv, 6), (QStringList{"Valvola", "><", "2,0", "Ramo", "KV", "><"}));
    EXPECT_EQ(texts[kv + 8], QStringLiteral(" -"));

    // The closed derived branch: the whole design pressure lost, no flow, "Portata nulla".
    const qsizetype ramo = texts.indexOf(QStringLiteral("Ramo"), derived);
    EXPECT_EQ(texts.mid(ramo + 6, 4), (QStringList{"0", "40000", "0,0", "0"}));
    EXPECT_EQ(texts.mid(ramo + 10, 2), (QStringList{"Idrante K80 - KV= 80", "Portata nulla"}));

    // The trunk's end: a terminal 3 m up, and the pressure left after drops and height.
    const qsizetype end = texts.indexOf(QStringLiteral("Idrante K80 - KV= 80"));
    EXPECT_EQ(texts[end + 1], QStringLiteral(" - Quota m 3"));
    EXPECT_TRUE(texts[end + 2].startsWith(QStringLiteral("Pressione disponibile al terminale ")));
    EXPECT_TRUE(r.warnings.isEmpty());

    // An end without terminal says so aloud, and the report says what pours out of it.
    p.NodeTable[3].next = kEndWithoutTerminal;
    p.NodeTable[3].derivation = 0;
    ASSERT_TRUE(Calculate(p).ok);
    Report open;
    EXPECT_TRUE(open.printTexts(p, {true, false, false, false, false})
                    .contains(QStringLiteral("Attenzione: estremità aperta, scarica %1 Lt/min")
                                  .arg(std::lround(nodeFlow(p, 3)))));
    EXPECT_EQ(open.warnings, QStringList{QStringLiteral(
                                 "Il ramo \"Tronco iniziale\" termina senza terminale: nel rapporto è segnalato come estremità aperta.")});
}

TEST(Report, TerminalsTheConvergedSolutionDisagreesWithAreFlagged) {
    Project p = testkit::projectWithShippedCatalogues();
    const std::vector<int16_t> hydrants = testkit::buildRiser(p);
    p.supplyPressure = 50000; // 5 bar: the five passes leave the top hydrant far from convergence
    ASSERT_TRUE(Calculate(p).ok);
    const ConvergedSolution converged = SolveConverged(p);
    ASSERT_TRUE(converged.ok);
    const NetworkVerification checks = VerifyNetwork(p, converged);
    const QStringList texts = Report().printTexts(p, {true, false, false, false, false});
    for (const TerminalVerification& t : checks.terminals) {
        const QString line =
            QStringLiteral("Attenzione: a convergenza portata %1 Lt/min, pressione disponibile %2 mm")
                .arg(std::lround(t.convergedFlow))
                .arg(formatPicture(t.convergedPressureLeft.value_or(0), u"#,#0"));
        EXPECT_EQ(texts.contains(line), !t.converged) << t.node;
    }
    // At 4 bar the top hydrant is dry: the report says so, and how far above the grade it is.
    p.supplyPressure = 40000;
    ASSERT_TRUE(Calculate(p).ok);
    const QStringList at4Bar = Report().printTexts(p, {true, false, false, false, false});
    EXPECT_TRUE(at4Bar.contains(
        QStringLiteral("Attenzione: a convergenza non eroga: è sopra la piezometrica di 1,351 mm")));
    EXPECT_TRUE(at4Bar.contains(
        QStringLiteral("Attenzione: a convergenza portata 31 Lt/min, pressione disponibile 1,643 mm")));
    EXPECT_FALSE(std::find_if(checks.terminals.begin(), checks.terminals.end(), [&](const auto& t) {
                     return t.node == hydrants.back();
                 })->converged);
    const auto below = std::count_if(checks.terminals.begin(), checks.terminals.end(),
                                     [](const auto& t) { return t.calculatedBelowNominal && !t.shutOff; });
    EXPECT_GE(below, 1);
    EXPECT_EQ(texts.count(QStringLiteral("Attenzione: pressione inferiore alla nominale del terminale")),
              below);

    // Heights of 0 are exact after five passes: nothing to flag.
    Project flat = sampleNetwork();
    flat.TerminalTable[1].height = 0;
    ASSERT_TRUE(Calculate(flat).ok);
    for (const QString& text : Report().printTexts(flat, {true, false, false, false, false}))
        EXPECT_FALSE(text.startsWith(QStringLiteral("Attenzione: a convergenza"))) << text.toStdString();
}

TEST(Report, ColumnWidthsCellCutsAndFrames) {
    Project p = sampleNetwork();
    p.NodeTable[1].name = QString(40, u'N');
    {
        const std::vector<double> widths{30, 14, 14, 30, 12, 14, 14, 16, 14, 18};
        Report r;
        const RecordedPage& page = r.print(p, {true, false, false, false, false}).front();
        // The vertical rules of the first table stand at the running sums of the widths.
        std::vector<double> xs;
        for (const PageItem& item : page.items)
            if (item.kind == PageItem::Kind::Line && item.x == item.x2 && item.lineWidth == 1 &&
                xs.size() < 9)
                xs.push_back(item.x - 10);
        double sum = 0;
        for (std::size_t c = 0; c + 1 < widths.size(); ++c) {
            sum += widths[c];
            ASSERT_LT(c, xs.size());
            EXPECT_DOUBLE_EQ(xs[c], sum) << c;
        }
        // The 40-character name fits its column: cut and marked, never spilling over the next one.
        const QStringList texts = r.texts();
        const QString name = texts[texts.indexOf(QStringLiteral("Tronco iniziale")) + 11];
        EXPECT_TRUE(name.endsWith(kCutMark) && QString(40, u'N').startsWith(name.chopped(1))) << name.toStdString();
        EXPECT_LE(FixedPitchMetrics().width(name, r.surface.font()), widths[0] - 2);
    }
    // In a font small enough, the cut is 0.91 characters a millimetre: 27 in a 30 mm column.
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintFont small;
    small.size = 4;
    surface.setFont(small);
    Tabelle table(p, surface, ReportOptions{});
    table.PrintGridTable(QStringLiteral("Nome;<30;") + QString(40, u'N') + u';');
    surface.endDocument();
    EXPECT_TRUE(surface.pages().front().texts().contains(QString(26, u'N') + kCutMark));
}

TEST(Report, LongBranchesStartOnANewPageAndGoOnUnderTheirCaptions) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildChain(p, 120); // 120 rows: more than one page holds
    ASSERT_TRUE(Calculate(p).ok);
    Report r;
    const std::vector<RecordedPage>& pages = r.print(p, {true, false, false, false, false});
    ASSERT_GE(pages.size(), 3u);
    EXPECT_FALSE(pages[0].texts().contains(QStringLiteral("Tronco iniziale"))); // the break came first
    EXPECT_EQ(pages[1].texts().value(1), QStringLiteral("Pag. 2"));
    EXPECT_TRUE(pages[1].texts().contains(QStringLiteral("Tronco iniziale")));
    for (std::size_t k = 1; k < pages.size(); ++k) {
        EXPECT_TRUE(pages[k].texts().contains(QStringLiteral("SumDP"))) << k;
        for (const PageItem& item : pages[k].items)
            EXPECT_LE(std::max(item.y, item.y2), 297 - 10 + 0.01) << k; // nothing past the bottom margin
    }
    QStringList names;
    for (const RecordedPage& page : pages)
        for (const QString& text : page.texts())
            if (text.startsWith(u'C') && text.size() <= 4)
                names << text;
    EXPECT_EQ(names.size(), 120); // every row printed once
}

TEST(Report, MaterialsAndTerminalSections) {
    const LocaleScope italian(kItalian);
    Project p = sampleNetwork();
    p.PipeCatalogue[1].density = 7850;
    p.PipeCatalogue[1].diameters[3].outerDiameter = 60.3f;
    const QStringList texts = Report().printTexts(p, {false, true, true, false, false});
    // 20 m of 50 mm (Do 60,3): (60,3² - 50²) x 0,7854 / 1e6 x 7850 x 20 = 140,09 kg.
    const qsizetype series = texts.indexOf(QStringLiteral("Acciaio prova"));
    ASSERT_GE(series, 0);
    EXPECT_EQ(texts[series + 1], QStringLiteral("Diam.  Phi est.     metri      kg"));
    const qsizetype row = texts.indexOf(QStringLiteral("   60,3        20     140,1"));
    ASSERT_GT(row, series);
    EXPECT_EQ(texts[row - 1], QStringLiteral("   50")); // the label, then a tab to the next print zone
    EXPECT_TRUE(texts.contains(QStringLiteral("Nm.  2   Idrante K80")));
    EXPECT_TRUE(texts.contains(QStringLiteral(" In totale i terminali sono 2")));
    EXPECT_TRUE(texts.contains(QStringLiteral(" I terminali attivi sono 2")));
}

TEST(Report, PadFieldRightAlignsNumbersAndTexts) {
    const struct {
        QString value;
        int width, decimals;
        const char* padded;
    } cases[] = {{QStringLiteral("60.3"), 7, 1, "   60.3"},
                 {QStringLiteral("1234"), 10, 0, "     1,234"},
                 {QStringLiteral("1\"1/2"), 5, 0, "1\"1/2"},
                 {QStringLiteral("Peso parziale kg "), 26, 0, "         Peso parziale kg "},
                 {QStringLiteral("123456789"), 5, 0, "123,4"},
                 {QStringLiteral("2.5"), 8, 2, "    2.50"}};
    for (const auto& c : cases)
        EXPECT_EQ(Tabelle::PadField(c.value, c.width, c.decimals), QString::fromUtf8(c.padded)) << c.padded;
}
