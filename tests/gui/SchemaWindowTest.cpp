#include "GuiTestSupport.h"

#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/DialogRules.h"
#include "model/NumberFormat.h"
#include "model/dialogs/Fine.h"
#include "schema/SchemaPrint.h"
#include "schema/frmSchema.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>

namespace valmora::guitest {
namespace {

using testkit::NetworkBuilder;
using namespace testkit::testCatalogue;

struct FakeSchemaHost : SchemaHost {
    std::vector<bool> active;
    std::vector<bool> diameterButtons;
    std::vector<std::vector<int16_t>> editors;
    int changes = 0;
    void setSchemaActive(bool on) override { active.push_back(on); }
    void setDiameterButtonsEnabled(bool enabled) override { diameterButtons.push_back(enabled); }
    void showBranchEditors(const std::vector<int16_t>& firstNodes) override { editors.push_back(firstNodes); }
    void schemaChangedNetwork() override { ++changes; }
    QPrinter printer;
    QPrinter& sessionPrinter() override { return printer; }
    const Project* project = nullptr;
    NetworkChecks checks;
    const NetworkChecks* networkChecks() override {
        if (!project)
            return nullptr;
        checks.update(*project);
        return &checks;
    }
};

testkit::Section pipe(const char* name, int16_t bore = kBore30) {
    return {QString::fromUtf8(name), 5, 1, kSteel, bore};
}

class SchemaWindow : public ::testing::Test {
protected:
    Project p = testkit::projectWithTestCatalogues();
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
        ASSERT_TRUE(Calculate(p).ok);
    }
    std::unique_ptr<frmSchema> open(int16_t focus = 1) {
        p.focusNode = focus;
        auto window = std::make_unique<frmSchema>(p, ask, host);
        window->show();
        window->activated();
        return window;
    }
    static void select(frmSchema& w, int row, int col) { w.GFSchema->setCurrentCell(row, col); }
    static QString flowShown(const frmSchema& w, int row) {
        return w.GFSchema->textMatrix(row, w.treeCols());
    }
};

TEST_F(SchemaWindow, GridShowsTheBoardWithItsHeadingsAndTotal) {
    auto w = open();
    const int tree = w->treeCols();
    EXPECT_EQ(rowTexts(*w->GFSchema, 0, {tree, tree + 1, tree + 2}),
              QStringList({QStringLiteral("L/min"), QStringLiteral("Alt. m"), QStringLiteral(" Terminale")}));
    EXPECT_EQ(w->btnPort->text(), QStringLiteral("Lt/min ") + formatPicture(double(p.totalFlow), u"#0"));
    EXPECT_EQ(w->btnPort->toolTip(), QStringLiteral("Click qui per stampare lo schema"));
    for (int r = 1; r < w->GFSchema->rows(); ++r) {
        EXPECT_EQ(w->GFSchema->rowData(r), w->board().row(r).rowData);
        for (int c = 0; c < tree; ++c)
            EXPECT_EQ(w->GFSchema->hasCellPicture(r, c),
                      w->board().cell(r, c).picture != SchemaPicture::None);
    }
    // The cursor starts on the focus node, whose data the status line shows.
    EXPECT_EQ(w->currentNode(), 1);
    EXPECT_EQ(w->StatusBar1->text(), QStringLiteral("Uno - Metri 5 - L.Virt. m 1"));
    EXPECT_EQ(host.active, std::vector<bool>{true});
}

TEST_F(SchemaWindow, AShortSchemaShowsEveryRow) {
    testkit::buildOnePipe(p);
    ASSERT_TRUE(Calculate(p).ok);
    auto w = open();
    ASSERT_EQ(w->GFSchema->rows(), 2);
    EXPECT_TRUE(w->GFSchema->rowIsVisible(1));
    EXPECT_GE(w->StatusBar1->y(), w->GFSchema->geometry().bottom());
}

TEST_F(SchemaWindow, KeypadStepsTheDiameterAndRefreshesTheFlows) {
    auto w = open(5);
    ASSERT_EQ(w->currentNode(), 5);
    const int row = w->GFSchema->row();
    const int col = w->GFSchema->col();
    const QString before = flowShown(*w, 4);
    key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+")); // the main keyboard's plus is not a step
    EXPECT_EQ(p.NodeTable[5].diameterIndex, kBore30);
    key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    EXPECT_EQ(p.NodeTable[5].diameterIndex, kBore40);
    EXPECT_EQ(w->GFSchema->textMatrix(row, col), QStringLiteral("40        5"));
    EXPECT_NE(flowShown(*w, 4), before);
    EXPECT_EQ(flowShown(*w, 4), formatPicture(double(float(nodeFlow(p, 6))), u"###0"));
    key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    key(w->GFSchema, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier); // the largest: nothing
    EXPECT_EQ(p.NodeTable[5].diameterIndex, kBore50);
    key(w->GFSchema, Qt::Key_Minus, QStringLiteral("-"), Qt::KeypadModifier);
    EXPECT_EQ(p.NodeTable[5].diameterIndex, kBore40);
    EXPECT_EQ(host.changes, 3);

    // A KV element is not stepped; an elbow or a terminal column has no node.
    p.NodeTable[5].seriesIndex = 0;
    w->incphi();
    select(*w, 4, 0); // a vertical pipe drawn for the trunk: no node
    w->incphi();
    w->LunEq();
    select(*w, row, col);
    w->LunEq();
    EXPECT_EQ(ask.messageTexts(), QStringList({QStringLiteral("Questo non è un tubo ma un KV !"),
                                               QStringLiteral("Non è un tubo, è un KV !")}));
    EXPECT_EQ(p.NodeTable[5].diameterIndex, kBore40);
}

TEST_F(SchemaWindow, LokTwiceLeavesTheNodeOpenAndBlack) {
    auto w = open(3);
    const int row = w->GFSchema->row();
    const int col = w->GFSchema->col();
    const QModelIndex cell = w->GFSchema->model()->index(row - 1, col);
    w->Lok();
    EXPECT_TRUE(p.NodeTable[3].closed);
    EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(flowShown(*w, row), QStringLiteral("0"));
    w->Lok();
    EXPECT_FALSE(p.NodeTable[3].closed);
    EXPECT_LE(cell.data(Qt::ForegroundRole).value<QColor>().lightness(), 1); // black to the eye
    EXPECT_NE(flowShown(*w, row), QStringLiteral("0"));
}

TEST_F(SchemaWindow, F12OpensTheTerminalDialogWithThePressureLeftF10Closes) {
    auto w = open();
    QString handed;
    ask.dialogScripts.push_back([&](QDialog& d) { handed = field<QLabel>(d, "lblResidua")->text(); });
    select(*w, 1, 0); // no terminal on this row
    key(w->GFSchema, Qt::Key_F12);
    EXPECT_TRUE(ask.dialogsShown.isEmpty());
    int terminalRow = 0;
    for (int r = 1; r < w->GFSchema->rows() && !terminalRow; ++r)
        if (w->GFSchema->rowData(r) == 6)
            terminalRow = r;
    select(*w, terminalRow, 0);
    key(w->GFSchema, Qt::Key_F12);
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("Fine")});
    EXPECT_EQ(handed, pressureLeftText(p, 6));
    EXPECT_EQ(p.terminalNode, 6);
    EXPECT_EQ(w->GFSchema->col(), w->treeCols());
    key(w->GFSchema, Qt::Key_F10);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(host.active.back(), false);
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
    ASSERT_TRUE(Calculate(p).ok);
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

TEST_F(SchemaInMainWindow, ToolbarRulesAndANodePastTenThousandSteppedFromTheSchema) {
    open();
    ASSERT_TRUE(started);
    Project& p = project();
    testkit::buildChain(p, 13000);
    ASSERT_TRUE(Calculate(p).ok);
    for (Node& n : p.NodeTable)
        n.diameterIndex = 1;
    button("schema");
    frmSchema* schema = window->schemaWindow();
    ASSERT_NE(schema, nullptr);
    button("schema"); // brought forward, not opened twice
    EXPECT_EQ(frames().size(), 2);
    for (const char* off : {"aggiunge", "inserisce", "cancella", "Copia", "Incolla"})
        EXPECT_FALSE(window->toolbarButton(QString::fromLatin1(off))->isEnabled()) << off;
    for (const char* on : {"salva", "schema", "Lok", "KV"})
        EXPECT_TRUE(window->toolbarButton(QString::fromLatin1(on))->isEnabled()) << on;

    schema->SelectNode(12345);
    ASSERT_EQ(schema->currentNode(), 12345);
    button("incphi");
    EXPECT_EQ(p.NodeTable[12345].diameterIndex, 2);
    EXPECT_EQ(p.NodeTable[2345].diameterIndex, 1);
    EXPECT_TRUE(schema->GFSchema->textMatrix(schema->GFSchema->row(), 0).endsWith(QStringLiteral(" 12345")));
    // The grid windows catch up once the steps pause.
    const QString stepped = p.diameterOf(p.NodeTable[12345]).label;
    const auto shownPhi = [&] {
        const GridControl& grid = *trunk()->Griglia;
        return grid.rows() > 12345 ? grid.textMatrix(12345, grid_column::kPhi) : QString();
    };
    QDeadlineTimer patience(5000);
    while (shownPhi() != stepped && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(shownPhi(), stepped);
    EXPECT_FALSE(window->toolbarButton(QStringLiteral("aggiunge"))->isEnabled()); // still the schema's rule

    // A change of the tree's shape closes it, and the toolbar comes back.
    window->networkShapeChanged();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->schemaWindow(), nullptr);
    for (const char* on : {"aggiunge", "inserisce", "cancella", "Copia", "decphi", "incphi"})
        EXPECT_TRUE(window->toolbarButton(QString::fromLatin1(on))->isEnabled()) << on;
}

// With the program on screen: the toolbar follows whichever window is active, and a grid
// refreshed behind the schema does not take the schema's rule away.
TEST_F(SchemaInMainWindow, ToolbarFollowsTheActiveWindow) {
    open();
    ASSERT_TRUE(started);
    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
    testkit::buildChain(project(), 300);
    ASSERT_TRUE(Calculate(project()).ok);
    trunk()->compilatab();
    trunk()->rinfresca();
    QMdiSubWindow* trunkFrame = frames().value(0);
    trunk()->Griglia->setCurrentCell(1, grid_column::kMetri);
    trunk()->Griglia->setTopRow(250); // the trunk's cursor row out of view
    QCoreApplication::processEvents();
    const auto enabled = [&](const char* key) {
        return window->toolbarButton(QString::fromLatin1(key))->isEnabled();
    };

    button("schema");
    frmSchema* schema = window->schemaWindow();
    ASSERT_EQ(window->activeChild(), schema);
    schema->SelectNode(3);
    button("incphi");
    // The grid windows catch up with the step once the designer pauses.
    const QString stepped = project().diameterOf(project().NodeTable[3]).label;
    const GridControl& trunkGrid = *trunk()->Griglia;
    ASSERT_EQ(trunkGrid.rowData(3), 3);
    QDeadlineTimer patience(10000);
    while (trunkGrid.textMatrix(3, grid_column::kPhi) != stepped && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(trunkGrid.textMatrix(3, grid_column::kPhi), stepped)
        << "the trunk's grid caught up with the step";
    EXPECT_TRUE(enabled("incphi")); // the schema's cursor row is in view
    EXPECT_FALSE(enabled("aggiunge"));

    window->mdiArea()->setActiveSubWindow(trunkFrame);
    QCoreApplication::processEvents();
    ASSERT_EQ(window->activeChild(), trunk());
    EXPECT_FALSE(trunk()->Griglia->rowIsVisible(trunk()->Griglia->row()));
    for (const char* off : {"aggiunge", "decphi", "Copia"})
        EXPECT_FALSE(enabled(off)) << off << ": the trunk's cursor row is out of view";
    schema->chiudi(); // closing in the background leaves the trunk's rule alone
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(enabled("aggiunge"));
}

TEST_F(SchemaInMainWindow, ExportsThePdfBesideTheProject) {
    const QString project = path(QStringLiteral("capannone.vlm"));
    QFile::copy(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"), project);
    open(project);
    ASSERT_TRUE(started);
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
    EXPECT_EQ(ask.messageTexts().value(1),
              QStringLiteral("Il file %1 esiste già. Sovrascriverlo ?").arg(pdf));
    EXPECT_EQ(testkit::readBytes(pdf), "vecchio");
}

} // namespace
} // namespace valmora::guitest
