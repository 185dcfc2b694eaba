#include "TestFiles.h"
#include "model/Calculation.h"
#include "platform/PrintSurface.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPrint.h"
#include "support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace valmora {
namespace {

using testkit::NetworkBuilder;
using testkit::Section;
using namespace testkit::testCatalogue;
using P = SchemaPicture;

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

SchemaLayout laidOut(const Project& project) {
    SchemaLayout board(project);
    board.BuildSchema();
    return board;
}

struct ExpectedCell {
    int row, col;
    SchemaPicture picture;
    int16_t node;
};

void expectCells(const SchemaLayout& board, const std::vector<ExpectedCell>& cells) {
    for (const ExpectedCell& e : cells) {
        SCOPED_TRACE(testing::Message() << "row " << e.row << " column " << e.col);
        EXPECT_EQ(board.cell(e.row, e.col).picture, e.picture);
        EXPECT_EQ(board.nodeAt(e.row, e.col), e.node);
    }
}

TEST(SchemaLayout, SmallShapesAndBranchEnds) {
    Project project = testkit::projectWithTestCatalogues();
    {
        // One node alone with a terminal.
        testkit::buildOnePipe(project);
        const SchemaLayout board = laidOut(project);
        ASSERT_EQ(board.rowCount(), 1);
        EXPECT_EQ(board.treeCols(), 2);
        expectCells(board, {{1, 0, P::curva30, 0}, {1, 1, P::Idrante, 1}});
        EXPECT_EQ(board.row(1).rowData, 1);
    }
    {
        // A derived branch of two nodes lies flat on the row of its derivation.
        NetworkBuilder build(project);
        const int16_t n1 = build.root(pipe("Uno"));
        const int16_t n2 = build.continueAfter(n1, pipe("Due"));
        build.endWithTerminal(n2, kTypeK100, 0);
        const int16_t n3 = build.deriveAt(n1, pipe("Tre"));
        const int16_t n4 = build.continueAfter(n3, pipe("Quattro"));
        build.endWithTerminal(n4, kTypeK80, 0);
        const SchemaLayout board = laidOut(project);
        ASSERT_EQ(board.rowCount(), 2);
        EXPECT_EQ(board.treeCols(), 3);
        expectCells(board, {{1, 0, P::destra, 1},
                            {1, 1, P::orizz, 3},
                            {1, 2, P::Idrante, 4},
                            {2, 0, P::curva30, 0},
                            {2, 1, P::Idrante, 2}});
        EXPECT_EQ(board.row(1).rowData, 4);
        EXPECT_EQ(board.row(2).rowData, 2);
    }
    {
        // An open end shows a plain pipe and marks no terminal row, but its own flow; other
        // icon indexes draw the generic terminal.
        NetworkBuilder build(project);
        const int16_t n1 = build.root(pipe("Uno"));
        const int16_t open = build.deriveAt(n1, pipe("Aperto"));
        const int16_t n2 = build.continueAfter(n1, pipe("Due"));
        build.endWithTerminal(n2, kTypeK100, 0);
        project.TerminalCatalogue[kTypeK100].iconIndex = 9;
        ASSERT_TRUE(Calculate(project).ok);
        SchemaLayout board = laidOut(project);
        expectCells(board, {{1, 1, P::orizz, open}, {2, 1, P::Rad30x40, n2}});
        EXPECT_EQ(board.row(1).rowData, 0);
        EXPECT_EQ(board.row(1).openEnd, open);
        board.FillTerminalColumns();
        EXPECT_EQ(board.row(1).flow,
                  QString::number(
                      qRound(project.totalFlow * float(project.NodeTable[std::size_t(open)].flowFraction))));
        EXPECT_NE(board.row(1).flow, QStringLiteral("0"));
        EXPECT_TRUE(board.row(1).height.isEmpty());
        EXPECT_TRUE(board.row(1).type.isEmpty());
    }
}

TEST(SchemaLayout, RefreshWritesLabelsAndTerminalColumnsKeepingEveryTextsLength) {
    Project project = testkit::projectWithTestCatalogues();
    buildWorkedExample(project);
    ASSERT_TRUE(Calculate(project).ok);
    SchemaLayout board = laidOut(project);
    Project& p = project;
    p.PipeCatalogue[kSteel].diameters[kBore50].label = QStringLiteral("DN 50 lungo quanto la cella intera");
    p.PipeCatalogue[kSteel].diameters[kBore20].label = QStringLiteral("¾");
    p.NodeTable[5].seriesIndex = 0; // a KV element
    p.NodeTable[5].virtualLength = 10;
    ASSERT_TRUE(Calculate(project).ok);
    for (const QLocale& locale : {QLocale::c(), testkit::kItalian}) {
        testkit::LocaleScope scope(locale);
        board.RefreshLabels();
        board.FillTerminalColumns();
        // Too long a label is cut at the text's length; a shorter one leaves blanks, never a
        // digit of the size before it.
        EXPECT_EQ(board.cell(1, 0).text, QStringLiteral("DN 50 lungo quant"));
        EXPECT_EQ(board.cell(4, 2).text, QStringLiteral("¾") + QString(15, u' ') + u'6');
        EXPECT_EQ(board.cell(3, 1).text, QStringLiteral("KV") + QString(14, u' ') + u'5');
        const SchemaRow& nozzle = board.row(4);
        EXPECT_EQ(nozzle.flow,
                  QString::number(qRound(project.totalFlow * float(p.NodeTable[6].flowFraction))));
        EXPECT_EQ(nozzle.height, QStringLiteral("2")); // 1.5 m rounds to even
        EXPECT_EQ(nozzle.type, QStringLiteral("Ugello K57"));
        EXPECT_TRUE(board.row(1).flow.isEmpty());
        EXPECT_EQ(board.flowCaption(),
                  QStringLiteral("Lt/min ") + QString::number(qRound(project.totalFlow)));
    }
    // A diameter step writes the new label, 8 blanks and the node index.
    board.writeSteppedLabel(4, 2);
    EXPECT_EQ(board.cell(4, 2).text, QStringLiteral("¾        6"));
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
    ASSERT_TRUE(Calculate(project).ok);
    SchemaLayout board = laidOut(project);
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
    ASSERT_TRUE(Calculate(project).ok);
    SchemaLayout wide = laidOut(project);
    wide.FillTerminalColumns();
    ASSERT_GT(wide.treeCols(), 12);
    for (const RecordedPage& page : printed(wide, project))
        for (const PageItem& item : page.items)
            EXPECT_LE(item.x2, 200.0 + 1e-9) << item.text.toStdString();
}

} // namespace
} // namespace valmora
