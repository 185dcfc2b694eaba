#include "TestFiles.h"
#include "model/Calculation.h"
#include "platform/PrintSurface.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPrint.h"
#include "support/NetworkBuilder.h"
#include "tests/GoldenFiles.h"

#include <gtest/gtest.h>

#include <set>

namespace valmora {
namespace {

using testkit::NetworkBuilder;
using testkit::Section;
using namespace testkit::testCatalogue;

Section pipe(const char* name, int16_t bore = kBore30) {
    return {QString::fromUtf8(name), 5, 1, kSteel, bore};
}

// 1 -> 2 -> 3 (terminal), node 2 deriving 4 -> 5 -> 6 (terminal).
void buildWorkedExample(Project& project) {
    NetworkBuilder build(project);
    const int16_t n1 = build.root(pipe("Uno", kBore50));
    const int16_t n2 = build.continueAfter(n1, pipe("Due", kBore50));
    const int16_t n3 = build.continueAfter(n2, pipe("Tre"));
    build.endWithTerminal(n3, kTypeK100, 2);
    const int16_t n4 = build.deriveAt(n2, pipe("Quattro"));
    const int16_t n5 = build.continueAfter(n4, pipe("Cinque"));
    const int16_t n6 = build.continueAfter(n5, pipe("Sei", kBore20));
    build.endWithTerminal(n6, kTypeK57, 1.5f);
}

SchemaLayout laidOut(const Project& project, const NetworkResults& results) {
    SchemaLayout board(project, results);
    board.BuildSchema();
    return board;
}

// Small shapes laid out, labelled and filled in, written whole to golden/schemi.txt: a node
// alone; a derived branch of two nodes lying flat on the row of its derivation; an open end
// (a plain pipe, no terminal row, but its own flow) beside a terminal whose icon index draws
// the generic picture; in both locales, labels too long for the cell cut at the text's
// length, shorter ones padded with blanks (never a digit of the size before), a KV element,
// a height of 1.5 m rounded to even; a diameter step's label.
TEST(SchemaLayout, SmallShapesAsLaidOutAndLabelled) {
    QString seen;
    Project project = testkit::projectWithTestCatalogues();
    NetworkResults results;
    const auto show = [&](const char* what) {
        EXPECT_TRUE(Calculate(project, results).ok);
        SchemaLayout board = laidOut(project, results);
        board.RefreshLabels();
        board.FillTerminalColumns();
        seen += QStringLiteral("== %1 ==\n").arg(QString::fromUtf8(what)) + testkit::boardText(board);
        return board;
    };
    testkit::buildOnePipe(project);
    show("un nodo solo");
    {
        NetworkBuilder build(project);
        const int16_t n1 = build.root(pipe("Uno"));
        build.endWithTerminal(build.continueAfter(n1, pipe("Due")), kTypeK100, 0);
        build.endWithTerminal(build.continueAfter(build.deriveAt(n1, pipe("Tre")), pipe("Quattro")), kTypeK80,
                              0);
    }
    show("una derivazione di due nodi");
    {
        NetworkBuilder build(project);
        const int16_t n1 = build.root(pipe("Uno"));
        build.deriveAt(n1, pipe("Aperto"));
        build.endWithTerminal(build.continueAfter(n1, pipe("Due")), kTypeK100, 0);
    }
    project.TerminalCatalogue[kTypeK100].iconIndex = 9;
    show("un'estremità aperta, un'icona sconosciuta");
    project.TerminalCatalogue[kTypeK100].iconIndex = 1;

    buildWorkedExample(project);
    project.PipeCatalogue[kSteel].diameters[kBore50].label =
        QStringLiteral("DN 50 lungo quanto la cella intera");
    project.PipeCatalogue[kSteel].diameters[kBore20].label = QStringLiteral("¾");
    project.NodeTable[5].seriesIndex = 0; // a KV element
    project.NodeTable[5].virtualLength = 10;
    for (const QLocale& locale : {QLocale::c(), testkit::kItalian}) {
        testkit::LocaleScope scope(locale);
        SchemaLayout board = show(locale == QLocale::c() ? "etichette, C" : "etichette, italiano");
        board.writeSteppedLabel(4, 2);
        seen += QStringLiteral("dopo un passo di diametro: \"%1\"\n").arg(board.cell(4, 2).text);
    }
    testkit::expectGolden(QStringLiteral("schemi.txt"), seen);
    // The printout's fields: a flow too wide for six characters, a short name padded to fifteen.
    EXPECT_EQ(rightInSix(QStringLiteral("1234567")), QStringLiteral("######"));
    EXPECT_EQ(leftInFifteen(QStringLiteral("a")), QStringLiteral("a              "));
}

// ---- printout ---------------------------------------------------------------------

std::vector<RecordedPage> printed(const SchemaLayout& board, const Project& project) {
    FixedPitchMetrics metrics;
    RecordingSurface surface(metrics);
    PrintSchema(board, project, surface);
    return surface.pages();
}

TEST(SchemaPrint, ALongSchemaBreaksIntoPagesAndAWideOneIsScaledToThePage) {
    Project project = testkit::projectWithTestCatalogues();
    testkit::buildComb(project, 60);
    NetworkResults results;
    ASSERT_TRUE(Calculate(project, results).ok);
    SchemaLayout board = laidOut(project, results);
    board.FillTerminalColumns();
    const std::vector<RecordedPage> pages = printed(board, project);
    ASSERT_GE(pages.size(), 2u);
    for (const RecordedPage& page : pages) {
        EXPECT_TRUE(page.texts().value(0).startsWith(QStringLiteral("SCHEMA - File ")))
            << "page " << page.number;
        EXPECT_TRUE(page.texts().contains(QStringLiteral("  Terminale"))) << "page " << page.number;
        for (const PageItem& item : page.items)
            EXPECT_LE(item.kind == PageItem::Kind::Picture ? item.y2 : item.y, 287.0);
    }

    // Twelve levels of derived branches: wider than the page, drawn smaller as a whole.
    NetworkBuilder build(project);
    int16_t at = build.root(pipe("Radice"));
    for (int level = 0; level < 12; ++level) {
        build.endWithTerminal(build.continueAfter(at, pipe("Fine")), kTypeK100, 0);
        at = build.deriveAt(at, pipe("Livello"));
        at = build.continueAfter(at, pipe("Livello"));
        at = build.continueAfter(at, pipe("Livello"));
    }
    build.endWithTerminal(at, kTypeK100, 0);
    NetworkResults wideResults;
    ASSERT_TRUE(Calculate(project, wideResults).ok);
    SchemaLayout wide = laidOut(project, wideResults);
    wide.FillTerminalColumns();
    ASSERT_GT(wide.treeCols(), 12);
    for (const RecordedPage& page : printed(wide, project))
        for (const PageItem& item : page.items)
            EXPECT_LE(item.x2, 200.0 + 1e-9) << item.text.toStdString();
}

// Loop pipes on the board and on paper: lane columns after the tree (one for two pipes, at most
// three, more pipes sharing the lanes), each pipe's line between the first cells of its nodes;
// on paper a pipe spanning two pages runs down its lane band by band, a full band each between
// its rows and half of one at either end, the pages carrying it on; the legend names every lane.
TEST(SchemaPrint, LoopPipesRunDownTheirLanesOverPageBreaks) {
    Project project = testkit::projectWithTestCatalogues();
    testkit::buildComb(project, 60);
    NetworkResults results;
    ASSERT_TRUE(Calculate(project, results).ok);
    const int treeAlone = laidOut(project, results).treeCols();
    testkit::addLoopPipeLike(project, 1, 100, project.NodeTable[1]);
    ASSERT_TRUE(Calculate(project, results).ok);
    SchemaLayout one = laidOut(project, results);
    EXPECT_EQ(one.treeCols(), treeAlone + 1);
    EXPECT_EQ(one.firstLaneColumn(), treeAlone);
    for (int16_t k = 2; k <= 7; ++k)
        testkit::addLoopPipeLike(project, k, int16_t(k + 10), project.NodeTable[std::size_t(k)]);
    project.loopPipes.back().closed = true; // drawn, red, and said so
    EXPECT_FALSE(one.lanesStillFit());
    ASSERT_TRUE(Calculate(project, results).ok);
    SchemaLayout board = laidOut(project, results);
    board.FillTerminalColumns();
    EXPECT_EQ(board.treeCols(), treeAlone + kMostLaneColumns);
    EXPECT_EQ(board.laneCount(), kMostLaneColumns * kLanesPerColumn);
    EXPECT_TRUE(board.lanesStillFit());
    const std::vector<SchemaLoopLine> lines = board.loopLines();
    ASSERT_EQ(lines.size(), 7u);
    int r = 0, c = 0;
    ASSERT_TRUE(board.findNode(100, r, c));
    EXPECT_EQ(std::pair(lines.front().rowB, lines.front().colB), std::pair(r, c));
    ASSERT_TRUE(board.findNode(1, r, c));
    EXPECT_EQ(std::pair(lines.front().rowA, lines.front().colA), std::pair(r, c));

    const std::vector<RecordedPage> pages = printed(board, project);
    // The first pipe's lane: the vertical lines of the first page's leftmost lane.
    double laneX = 1e9;
    for (const PageItem& item : pages.front().items)
        if (item.kind == PageItem::Kind::Line && item.x == item.x2 && item.x > 0)
            laneX = std::min(laneX, item.x);
    double length = 0, fullBand = 0;
    int segments = 0;
    std::set<int> pagesCrossed;
    for (const RecordedPage& page : pages)
        for (const PageItem& item : page.items)
            if (item.kind == PageItem::Kind::Line && item.x == laneX && item.x2 == laneX) {
                ++segments;
                length += std::abs(item.y2 - item.y);
                fullBand = std::max(fullBand, std::abs(item.y2 - item.y));
                pagesCrossed.insert(page.number);
            }
    // The seventh pipe shares the first one's lane.
    const int rows = std::abs(lines.front().rowB - lines.front().rowA);
    const int sharing = std::abs(lines.back().rowB - lines.back().rowA);
    EXPECT_EQ(segments, rows + 1 + sharing + 1);
    EXPECT_NEAR(length, (rows + sharing) * fullBand, 1e-6);
    EXPECT_GE(pagesCrossed.size(), 2u);
    const QStringList legend = pages.back().texts();
    const auto heading = legend.indexOf(QStringLiteral(
        "Anelli (linee a destra dello schema, da sinistra; dopo la 6a le linee ricominciano dalla prima):"));
    ASSERT_GE(heading, 0);
    EXPECT_TRUE(legend.value(heading + 1).startsWith(QStringLiteral("  Anello 1 - ")));
    EXPECT_TRUE(legend.value(heading + 7).startsWith(QStringLiteral("  Anello 7 - ")));
    EXPECT_TRUE(legend.value(heading + 7).endsWith(QStringLiteral(" (chiuso)")));
    EXPECT_FALSE(legend.value(heading + 1).endsWith(QStringLiteral(" (chiuso)")));
    EXPECT_TRUE(lines.back().closed);
    EXPECT_FALSE(lines.front().closed);
}

} // namespace
} // namespace valmora
