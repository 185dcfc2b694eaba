#include "TestFiles.h"
#include "model/Calculation.h"
#include "platform/PrintSurface.h"
#include "schema/SchemaLayout.h"
#include "schema/SchemaPrint.h"
#include "support/NetworkBuilder.h"
#include "tests/GoldenFiles.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace valmora
