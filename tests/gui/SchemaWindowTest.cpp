#include "GuiTestSupport.h"

#include "model/Calculation.h"
#include "schema/SchemaLoopOverlay.h"
#include "schema/SchemaPictures.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace valmora::guitest {
namespace {

using testkit::NetworkBuilder;
using namespace testkit::testCatalogue;

testkit::Section pipe(const char* name, int16_t bore = kBore30) {
    return {QString::fromUtf8(name), 5, 1, kSteel, bore};
}

class SchemaWindow : public ::testing::Test {
protected:
    Workspace ws{testkit::projectWithTestCatalogues()};
    Project& p = ws.project;
    ScriptedInteraction ask;
    FakeSchemaHost host;

    // 1 -> 2 -> 3 (terminal); 2 derives 4 -> 5 -> 6 (terminal); 5 derives 7 -> 8 (terminal).
    void SetUp() override {
        NetworkBuilder build(p);
        const int16_t n1 = build.root(pipe("Uno", kBore50));
        const int16_t n2 = build.continueAfter(n1, pipe("Due", kBore50));
        build.endWithTerminal(build.continueAfter(n2, pipe("Tre")), kTypeK100, 2);
        const int16_t n4 = build.deriveAt(n2, pipe("Quattro"));
        const int16_t n5 = build.continueAfter(n4, pipe("Cinque"));
        build.endWithTerminal(build.continueAfter(n5, pipe("Sei", kBore20)), kTypeK57, 1.5f);
        const int16_t n7 = build.deriveAt(n5, pipe("Sette"));
        build.endWithTerminal(build.continueAfter(n7, pipe("Otto")), kTypeK80, 0);
        ASSERT_TRUE(Calculate(p, ws.results).ok);
    }
    std::unique_ptr<frmSchema> open(int16_t focus = 1) {
        ws.session.focusNode = focus;
        auto window = std::make_unique<frmSchema>(ws, ask, host);
        window->show();
        window->activated();
        return window;
    }
    static void select(frmSchema& w, int row, int col) { w.GFSchema->setCurrentCell(row, col); }
    static QString flowShown(const frmSchema& w, int row) {
        return w.GFSchema->textMatrix(row, w.treeCols());
    }
};

// The board as the window shows it, with the status line and the total; the keypad steps a
// diameter (not the main keyboard's plus), a KV or a cell without a node is not stepped;
// closing a section twice leaves it open and black; F12 opens the terminal dialog with the
// pressure left, F10 closes.
TEST_F(SchemaWindow, AsShownAndEdited) {
    GridIcons icons;
    Transcript seen(ask, icons);
    auto w = open(5);
    const auto show = [&](const QString& what) {
        seen.step(what)
            .cells(*w->GFSchema)
            .line(w->StatusBar1->text() + QStringLiteral(" | ") + w->btnPort->text());
    };
    show(QStringLiteral("aperto sul nodo 5"));
    const int row = w->GFSchema->row();
    const int col = w->GFSchema->col();
    key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+"));
    key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    show(QStringLiteral("+ della tastiera, + del tastierino"));
    for (int k = 0; k < 2; ++k)
        key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    key(w->GFSchema, Qt::Key_Minus, QStringLiteral("-"), Qt::KeypadModifier);
    seen.step(QStringLiteral("+ + oltre il massimo, -"))
        .line(QStringLiteral("diametro %1, cambi %2").arg(p.NodeTable[5].diameterIndex).arg(host.changes));
    p.NodeTable[5].seriesIndex = 0;
    w->incphi();
    select(*w, 4, 0); // a vertical pipe drawn for the trunk: no node
    w->incphi();
    w->LunEq();
    select(*w, row, col);
    w->LunEq();
    p.NodeTable[5].seriesIndex = kSteel;
    seen.step(QStringLiteral("KV e celle senza nodo"));
    w->SelectNode(3);
    w->Lok();
    show(QStringLiteral("chiuso il 3"));
    w->Lok();
    show(QStringLiteral("riaperto il 3"));
    ask.dialogScripts.push_back([&](QDialog& d) {
        seen.line(QStringLiteral("residua: ") + field<QLabel>(d, "lblResidua")->text());
        field<QLineEdit>(d, "txtQuota")->setText(QStringLiteral("9")); // higher: less flow
        field<QPushButton>(d, "btnOK")->click();
    });
    select(*w, 1, 0); // no terminal on this row
    key(w->GFSchema, Qt::Key_F12);
    w->SelectNode(6);
    key(w->GFSchema, Qt::Key_F12);
    show(QStringLiteral("F12 senza terminale, poi sul 6 a 9 m"));
    seen.line(QStringLiteral("nodo del terminale %1, colonna %2")
                  .arg(ws.session.terminalNode)
                  .arg(w->GFSchema->col() - w->treeCols()));
    key(w->GFSchema, Qt::Key_F10);
    seen.step(QStringLiteral("F10"))
        .line(QStringLiteral("visibile %1, attiva %2").arg(w->isVisible()).arg(host.active.back()));
    seen.expectGolden(QStringLiteral("schema-finestra"));
}

// A loop pipe on the board: a blue dashed line out of its two nodes' cells and down a lane of its
// own in a column right of the tree, its name, size and flow up the lane; a second one closed by
// picking its nodes on the board (the length asked, Esc giving a pick up first), which makes room
// for its lane; both gone (as after an undo), the column goes too.
TEST_F(SchemaWindow, LoopPipesDrawnAndPicked) {
    const auto blueNear = [](const QImage& image, QPoint at) {
        for (int dy = -8; dy <= 8; ++dy) {
            const QColor c = image.pixelColor(at + QPoint(0, dy));
            if (c.blue() > 150 && c.red() < 80 && c.green() < 120)
                return true;
        }
        return false;
    };
    const int treeAlone = [&] { return open()->treeCols(); }();
    testkit::addLoopPipeLike(p, 3, 8, p.NodeTable[3]);
    ASSERT_TRUE(Calculate(p, ws.results).ok);
    auto w = open();
    auto* overlay = w->findChild<SchemaLoopOverlay*>(QStringLiteral("schemaLoopPipes"));
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(w->treeCols(), treeAlone + 1) << "a column for the lanes";
    ASSERT_EQ(overlay->lines().size(), 1u);
    const SchemaLoopLine& line = overlay->lines().front();
    EXPECT_TRUE(line.label.startsWith(QStringLiteral("Anello 1 - ") + p.diameterOf(p.NodeTable[3]).label))
        << line.label.toStdString();
    EXPECT_TRUE(line.label.endsWith(QStringLiteral(" Lt/min")));
    // Halfway down its lane the line is blue; the lane's other half is blank.
    const QRect lane = w->GFSchema->cellRect(line.rowA, treeAlone);
    const QPoint offset = w->GFSchema->viewport()->geometry().topLeft();
    const QImage shown = w->GFSchema->grab().toImage();
    const int middle = (w->GFSchema->cellRect(line.rowA, 0).center().y() +
                        w->GFSchema->cellRect(line.rowB, 0).center().y()) /
                       2;
    EXPECT_TRUE(blueNear(shown, offset + QPoint(lane.left() + 3, middle)));
    EXPECT_FALSE(blueNear(shown, offset + QPoint(lane.right() - 2, middle)));

    const auto clickOn = [&](int16_t node) {
        int r = 0, c = 0;
        ASSERT_TRUE(w->board().findNode(node, r, c));
        const QPointF at = w->GFSchema->cellRect(r, c).center();
        QWidget* viewport = w->GFSchema->viewport();
        const QPointF global = viewport->mapToGlobal(at);
        QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(viewport, &press);
        QApplication::sendEvent(viewport, &release);
    };
    w->startRingPick(2);
    EXPECT_EQ(w->StatusBar1->text(),
              QStringLiteral("Clic sul nodo a cui chiudere l'anello da Due (Esc annulla)"));
    key(w->GFSchema, Qt::Key_Escape);
    EXPECT_FALSE(w->pickingRing());
    clickOn(6);
    EXPECT_EQ(p.loopPipes.size(), 1u) << "a click after Esc only moves the cursor";
    w->startRingPick(2);
    clickOn(2);
    ASSERT_FALSE(ask.messages.empty());
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("L'anello deve chiudersi su un altro nodo."));
    w->startRingPick(2);
    ask.inputs.push_back(QLocale().toString(12.5)); // as typed in the locale shown
    clickOn(6);
    ASSERT_EQ(p.loopPipes.size(), 2u);
    EXPECT_EQ(p.loopPipes.back().nodeA, 2);
    EXPECT_EQ(p.loopPipes.back().nodeB, 6);
    EXPECT_FLOAT_EQ(p.loopPipes.back().length, 12.5f);
    EXPECT_EQ(host.changes, 1);
    overlay = w->findChild<SchemaLoopOverlay*>(QStringLiteral("schemaLoopPipes"));
    EXPECT_EQ(overlay->lines().size(), 2u);
    EXPECT_EQ(w->currentNode(), 6);

    p.loopPipes.clear();
    ASSERT_TRUE(Calculate(p, ws.results).ok);
    w->networkRestored();
    EXPECT_EQ(w->treeCols(), treeAlone);
    EXPECT_FALSE(overlay->isVisible());
}

// A terminal's symbol stands below the line of the label written at the top of its cell (the
// terminal's diameter, "1"1/2"), on screen and on paper alike: the line is pipe or white.
TEST(SchemaPictures, TerminalSymbolsLeaveTheLabelLineFree) {
    constexpr int kLabelRows = 12; // of 26, at the picture's own size
    constexpr int kScale = 4;
    for (const SchemaPicture picture : {SchemaPicture::Idrante, SchemaPicture::Naspo, SchemaPicture::SuperIdr,
                                        SchemaPicture::Ugello, SchemaPicture::Rad30x40}) {
        QImage image(kPictureWidth * kScale, kPictureHeight * kScale, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            paintSchemaPicture(painter, picture, QRectF(0, 0, image.width(), image.height()));
        }
        int coloured = 0;
        for (int y = 0; y < (kLabelRows - 1) * kScale; ++y)
            for (int x = 0; x < image.width(); ++x)
                coloured += image.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
        EXPECT_EQ(coloured, 0) << int(picture);
        int below = 0;
        for (int y = kLabelRows * kScale; y < image.height(); ++y)
            for (int x = 16 * kScale; x < image.width(); ++x)
                below += image.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
        EXPECT_GT(below, 0) << "the symbol is drawn: " << int(picture);
    }
}

TEST_F(SchemaWindow, AShortSchemaShowsEveryRow) {
    testkit::buildOnePipe(p);
    ASSERT_TRUE(Calculate(p, ws.results).ok);
    auto w = open();
    ASSERT_EQ(w->GFSchema->rows(), 2);
    EXPECT_TRUE(w->GFSchema->rowIsVisible(1));
    EXPECT_GE(w->StatusBar1->y(), w->GFSchema->geometry().bottom());
}

TEST_F(SchemaWindow, BranchEditorsFollowTheWayToTheNode) {
    auto w = open();
    for (const int16_t n : std::initializer_list<int16_t>{3, 1, 4, 5, 7, 8})
        w->OpenBranchEditors(n);
    using Windows = std::vector<int16_t>;
    EXPECT_EQ(host.editors, (std::vector<Windows>{{}, {}, {4}, {4}, {4, 7}, {4, 7}}));
}

TEST_F(SchemaWindow, SelectNodeScrollsItFourRowsBelowTheTop) {
    testkit::buildComb(p, 80); // in place of the branched network
    ASSERT_TRUE(Calculate(p, ws.results).ok);
    auto w = open(2); // T2, on row 2: no scrolling
    EXPECT_EQ(w->GFSchema->topRow(), 1);
    const int16_t node = 120; // in a row far down
    w->SelectNode(node);
    EXPECT_EQ(w->currentNode(), node);
    EXPECT_EQ(w->GFSchema->topRow(), w->GFSchema->row() - 4);
    w->SelectNode(0); // no cell holds it: nothing moves
    EXPECT_EQ(w->currentNode(), node);
}

// ---- in the main window -------------------------------------------------------------

class SchemaInMainWindow : public MainWindowFixture {};

// The toolbar while the schema is open: the editing buttons off, the schema opened once; a
// node past ten thousand stepped from the schema, the grid windows catching up once the steps
// pause; a change of the tree's shape closes it and the toolbar comes back. With the program
// on screen the toolbar follows whichever window is active, and a grid refreshed behind the
// schema does not take the schema's rule away.
TEST_F(SchemaInMainWindow, TheToolbarFollowsTheSchemaAndTheActiveWindow) {
    open();
    ASSERT_TRUE(started);
    Project& p = project();
    testkit::buildChain(p, 13000);
    ASSERT_TRUE(Calculate(p, results()).ok);
    for (Node& n : p.NodeTable)
        n.diameterIndex = 1;
    button("schema");
    frmSchema* schema = window->schemaWindow();
    ASSERT_NE(schema, nullptr);
    button("schema"); // brought forward, not opened twice
    seen.step(QStringLiteral("schema, due volte")).program(*window);
    schema->SelectNode(12345);
    button("incphi");
    const QString stepped = p.diameterOf(p.NodeTable[12345]).label;
    const auto shownPhi = [&] {
        const GridControl& grid = *trunk()->Griglia;
        return grid.rows() > 12345 ? grid.textMatrix(12345, grid_column::kPhi) : QString();
    };
    waitFor([&] { return shownPhi() == stepped; });
    seen.step(QStringLiteral("nodo 12345 dallo schema, incphi"))
        .line(QStringLiteral("diametri: nodo 12345 %1, nodo 2345 %2; schema: \"%3\"; griglia: %4")
                  .arg(p.NodeTable[12345].diameterIndex)
                  .arg(p.NodeTable[2345].diameterIndex)
                  .arg(schema->GFSchema->textMatrix(schema->GFSchema->row(), 0), shownPhi()))
        .program(*window);
    window->networkShapeChanged();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    seen.step(QStringLiteral("la forma della rete cambia"))
        .line(QStringLiteral("schema aperto: %1").arg(window->schemaWindow() != nullptr))
        .program(*window);

    // On screen, the trunk's cursor row out of view.
    open();
    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
    testkit::buildChain(project(), 300);
    ASSERT_TRUE(Calculate(project(), results()).ok);
    trunk()->compilatab();
    trunk()->rinfresca();
    QMdiSubWindow* trunkFrame = frames().value(0);
    trunk()->Griglia->setCurrentCell(1, grid_column::kMetri);
    trunk()->Griglia->setTopRow(250);
    QCoreApplication::processEvents();
    button("schema");
    schema = window->schemaWindow();
    schema->SelectNode(3);
    button("incphi");
    seen.step(QStringLiteral("a schermo: schema sul nodo 3, incphi")).program(*window);
    window->mdiArea()->setActiveSubWindow(trunkFrame);
    QCoreApplication::processEvents();
    seen.step(QStringLiteral("il tronco attivo, la sua riga fuori vista")).program(*window);
    schema->chiudi(); // closing in the background leaves the trunk's rule alone
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    seen.step(QStringLiteral("lo schema chiuso dietro")).program(*window);
    seen.expectGolden(QStringLiteral("schema-barra"));
}

TEST_F(SchemaInMainWindow, ExportsThePdfBesideTheProject) {
    openExampleCopy(QStringLiteral("capannone.vlm"));
    button("schema");
    window->schemaWindow()->exportPdf();
    const QString pdf = path(QStringLiteral("capannone-schema.pdf"));
    EXPECT_TRUE(testkit::readBytes(pdf).startsWith("%PDF"));
    EXPECT_EQ(ask.messageTexts().value(0),
              QStringLiteral("Esportato schema in ") + QDir::toNativeSeparators(pdf));
    // Again: the earlier PDF is replaced only when the designer says so.
    testkit::writeBytes(pdf, "vecchio");
    ask.answers = {Answer::No};
    window->schemaWindow()->exportPdf();
    EXPECT_EQ(ask.messageTexts().value(1), QStringLiteral("Il file %1 esiste già. Sovrascriverlo?").arg(pdf));
    EXPECT_EQ(testkit::readBytes(pdf), "vecchio");
}

} // namespace
} // namespace valmora::guitest
