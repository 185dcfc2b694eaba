// The printed report, read back from a recording surface in millimetres of the page.

#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/MessageText.h"
#include "report/CurvesPage.h"
#include "report/Tabelle.h"
#include "standards/OperatingCurves.h"
#include "standards/StandardHydraulics.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace valmora;

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
    EXPECT_TRUE(testkit::calculates(p));
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
        const NetworkResults results = Calculated(p);
        PrintReport(p, results, surface, sections, options);
        return surface.pages();
    }
    // Every text printed in the printer's layout, in order.
    QStringList printTexts(Project& p, ReportSections sections) {
        print(p, sections);
        QStringList all;
        for (const RecordedPage& page : surface.pages())
            all << page.texts();
        return all;
    }
};

} // namespace

TEST(Report, NothingChosenPrintsNothing) {
    Project p = sampleNetwork();
    EXPECT_TRUE(Report().print(p, {false, false, false, false, false}).empty());
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
    EXPECT_EQ(joined, QStringLiteral("Note: ") + p.projectNotes.section(QStringLiteral("\r\n"), 0, 0));
    EXPECT_TRUE(texts[first].endsWith(u' ')); // broken after a blank
}

TEST(Report, ColumnWidthsCellCutsAndFrames) {
    Project p = sampleNetwork();
    const std::vector<double> widths{30, 14, 14, 30, 12, 14, 14, 16, 14, 18};
    Report r;
    const RecordedPage& page = r.print(p, {true, false, false, false, false}).front();
    // The vertical rules of the first table stand at the running sums of the widths.
    std::vector<double> xs;
    for (const PageItem& item : page.items)
        if (item.kind == PageItem::Kind::Line && item.x == item.x2 && item.lineWidth == 1 && xs.size() < 9)
            xs.push_back(item.x - 10);
    double sum = 0;
    for (std::size_t c = 0; c + 1 < widths.size(); ++c) {
        sum += widths[c];
        ASSERT_LT(c, xs.size());
        EXPECT_DOUBLE_EQ(xs[c], sum) << c;
    }
    // In a font small enough, the cut is 0.91 characters a millimetre: 27 in a 30 mm column.
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintFont small;
    small.size = 4;
    surface.setFont(small);
    const NetworkResults results = Calculated(p);
    Tabelle table(p, results, surface, ReportOptions{});
    table.PrintGridTable(QStringLiteral("Nome;<30;") + QString(40, u'N') + u';');
    surface.endDocument();
    EXPECT_TRUE(surface.pages().front().texts().contains(QString(26, u'N') + kCutMark));
}

// A branch of 120 rows, more than a page holds: it starts on a new page and goes on under its
// captions, every row once and nothing past the bottom margin (golden/report-ramo-lungo.txt).
TEST(Report, LongBranchesStartOnANewPageAndGoOnUnderTheirCaptions) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildChain(p, 120);
    ASSERT_TRUE(testkit::calculates(p));
    Report r;
    testkit::expectGolden(QStringLiteral("report-ramo-lungo.txt"),
                          testkit::pagesAsText(r.print(p, {true, false, false, false, false})));
}

// A ring: the summary says once that the figures are the converged solution's, the branch table
// shows its flows (A beside the ring carries 96 of the 161 l/min, worked by hand in the file's
// notes) and the loop pipes have their own table, with the flow from the first node named.
TEST(Report, ARingSaysSoAndListsItsLoopPipes) {
    Project p = testkit::projectWithTestCatalogues();
    ASSERT_TRUE(
        ReadProject(p, QStringLiteral(VALMORA_TEST_DATA_DIR "/calcoli/16-anello-in-parallelo.vlm")).ok());
    ReportSections sections;
    sections.summary = true;
    sections.materials = sections.terminals = false;
    Report r;
    const QStringList texts = r.printTexts(p, sections);
    const QString all = texts.join(u'\n');
    EXPECT_EQ(all.count(kRingCaption), 1);
    EXPECT_TRUE(texts.contains(QStringLiteral("  Anelli (portata positiva dal primo nodo al secondo)")));
    const auto row = std::find_if(texts.begin(), texts.end(),
                                  [](const QString& t) { return t.startsWith(QStringLiteral("Anello ")); });
    ASSERT_NE(row, texts.end());
    // The numbers in the program's locale (the tests run in C and in Italian).
    EXPECT_EQ(
        row->simplified(),
        QStringLiteral("Anello Tronco > A 20.0 40 65.7 0.87 627").replace(u'.', QLocale().decimalPoint()));
    EXPECT_TRUE(texts.contains(QStringLiteral("96")));
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

// A curve that runs past the chart's right edge is cut at the edge, never drawn off the page.
TEST(Report, CurvesStayWithinTheChart) {
    Project p = testkit::projectWithShippedCatalogues();
    testkit::readRiser(p);
    p.standardSettings.supply.kind = SupplyKind::Pump;
    p.standardSettings.supply.pump = {PumpPoint{0, 6}, PumpPoint{600, 5}, PumpPoint{840, 4}};
    ASSERT_TRUE(testkit::calculates(p));
    OperatingChart chart = operatingChart(p);
    ASSERT_TRUE(chart.problem.isEmpty()) << chart.problem.toStdString();
    const auto lines = [&p](const OperatingChart& drawn) {
        FixedPitchMetrics metrics;
        RecordingSurface surface(metrics);
        PrintCurves(drawn, p, surface);
        surface.endDocument();
        std::vector<PageItem> found;
        for (const PageItem& item : surface.pages().front().items)
            if (item.kind == PageItem::Kind::Line)
                found.push_back(item);
        return found;
    };
    const std::size_t before = lines(chart).size();
    chart.network.points.push_back({chart.largestFlow * 10, chart.largestPressure / 2});
    for (const PageItem& item : lines(chart))
        EXPECT_LE(std::max(item.x, item.x2), 200.0) << item.x << " " << item.x2;
    // A curve that leaves through the top is drawn up to it, one segment more.
    chart.network.points.back() = {chart.network.points[chart.network.points.size() - 2].flow,
                                   chart.largestPressure * 10};
    EXPECT_EQ(lines(chart).size(), before + 1);
}

// Curves that coincide keep their numbers and their points' labels apart on paper; every
// demand curve starts where its first terminal starts to flow, and never runs below it.
TEST(Report, CurvesLabelsStandApartAndCurvesStartAtTheStaticHead) {
    Project p = testkit::projectWithShippedCatalogues();
    testkit::readRiser(p);
    p.standardSettings.standard = Standard::Uni10779;
    p.standardSettings.supply.kind = SupplyKind::Pump;
    p.standardSettings.supply.pump = {PumpPoint{0, 6}, PumpPoint{600, 5}, PumpPoint{840, 4}};
    ASSERT_TRUE(testkit::calculates(p));
    OperatingChart chart = operatingChart(p);
    ASSERT_TRUE(chart.problem.isEmpty()) << chart.problem.toStdString();
    ASSERT_FALSE(chart.sets.empty());
    const StandardNetwork network(p);
    double lowest = 1e9;
    for (const int16_t end : network.terminalEnds())
        lowest = std::min(lowest, network.staticHead(end));
    EXPECT_EQ(chart.network.points.front().flow, 0.0);
    EXPECT_NEAR(chart.network.points.front().pressure, lowest, 1e-12);
    for (const DemandCurve* curve : {&chart.network, &chart.sets.front()}) {
        EXPECT_GT(curve->points[1].flow, 0.0) << curve->name.toStdString();
        for (const CurvePoint& point : curve->points)
            EXPECT_GE(point.pressure, curve->points.front().pressure);
    }

    // Three more curves on top of the network's: their labels must not overlap.
    for (int copy = 0; copy < 3; ++copy)
        chart.sets.push_back(chart.network);
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintCurves(chart, p, surface);
    surface.endDocument();
    const RecordedPage& page = surface.pages().front();
    std::vector<const PageItem*> labels;
    for (const PageItem& item : page.items)
        if (item.kind == PageItem::Kind::Text &&
            QRegularExpression(QStringLiteral("^[DF]?[0-9]+$")).match(item.text).hasMatch() && item.y > 30 &&
            item.x > 22)
            labels.push_back(&item);
    ASSERT_GE(labels.size(), 10u);
    const double height = metrics.lineHeight(page.fonts[labels.front()->font]);
    for (std::size_t a = 0; a < labels.size(); ++a)
        for (std::size_t b = a + 1; b < labels.size(); ++b) {
            const bool apart = labels[a]->x2 <= labels[b]->x || labels[b]->x2 <= labels[a]->x ||
                               std::abs(labels[a]->y - labels[b]->y) >= height - 1e-9;
            EXPECT_TRUE(apart) << labels[a]->text.toStdString() << " and " << labels[b]->text.toStdString();
        }
}
