// What a designer meets in the grid windows of the running program: the mouse, cells too
// narrow for their numbers, windows closed or maximised mid-edit, windows kept current,
// ends given a terminal back, diameters locked, closed sections.

#include "dialogs/Fine.h"
#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"

#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolTip>

using namespace valmora;
using namespace valmora::grid_column;
using namespace valmora::guitest;

namespace {

// Trunk "Mandata"(1) -> "Nodo"(2, derives "Ramo"(3) ending in a hydrant) -> "Fondo"(4)
// ending in a hydrant 2 m up. Black steel 2" throughout; the hydrants are UNI 45.
class GridBehaviourTest : public guitest::MainWindowFixture {
protected:
    void SetUp() override {
        open();
        ASSERT_TRUE(started);
        testkit::NetworkBuilder build(project());
        const int16_t a = build.root({QStringLiteral("Mandata"), 20, 1, 1, 6});
        const int16_t b = build.continueAfter(a, {QStringLiteral("Nodo"), 15, 1, 1, 6});
        build.endWithTerminal(build.deriveAt(b, {QStringLiteral("Ramo"), 10, 1, 1, 5}), 1, 0);
        build.endWithTerminal(build.continueAfter(b, {QStringLiteral("Fondo"), 12, 1, 1, 5}), 1, 2);
        ASSERT_TRUE(Calculate(project(), results()).ok);
        window->RefreshAllWindows();
        window->resize(1200, 900);
        window->show();
    }
    frmTubi* branch() {
        window->openBranchWindow(3);
        return qobject_cast<frmTubi*>(window->mdiArea()->activeSubWindow()->widget());
    }
    static QMdiSubWindow* frameOf(frmTubi* grid) {
        return qobject_cast<QMdiSubWindow*>(grid->parentWidget());
    }
    // Types `text` into a cell of `grid`, leaving it in the text box.
    static void typeInto(frmTubi* grid, int row, int column, const QString& text) {
        grid->Griglia->setCurrentCell(row, column);
        guitest::type(*grid, text);
        ASSERT_TRUE(grid->editing());
    }
    static void doubleClick(GridControl* grid, const QPoint& at) {
        QMouseEvent event(QEvent::MouseButtonDblClick, at, grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &event);
    }
};

} // namespace

TEST_F(GridBehaviourTest, OnlyADoubleClickOnACellIsACellAction) {
    GridControl* g = trunk()->Griglia;
    g->setCurrentCell(1, kDrop);
    const QRect lastCell = g->visualRect(g->model()->index(g->rows() - 2, kDrop));
    ASSERT_LT(lastCell.bottom() + 20, g->viewport()->height())
        << "the grid must show empty space below its rows";

    doubleClick(g, QPoint(lastCell.center().x(), lastCell.bottom() + 10));
    EXPECT_FALSE(project().NodeTable[1].closed);
    EXPECT_TRUE(ask.messages.empty());
    EXPECT_EQ(ask.unscripted, 0);

    doubleClick(g, g->visualRect(g->model()->index(0, kDrop)).center()); // the cell itself: Lok
    EXPECT_TRUE(project().NodeTable[1].closed);
}

TEST_F(GridBehaviourTest, ANumberWiderThanItsCellIsElidedWithTheWholeValueAsTooltip) {
    project().NodeTable[1].length = 1234.56f;
    trunk()->rinfresca();
    GridControl* g = trunk()->Griglia;
    ASSERT_EQ(g->textMatrix(1, kMetri), inLocale("1234.56"));
    EXPECT_FALSE(g->textFits(1, kMetri));
    EXPECT_TRUE(g->textFits(1, kNome));
    // Cut at the border, the cell would show another number ("234.56").
    EXPECT_NE(g->textElideMode(), Qt::ElideNone);

    const QRect cell = g->visualRect(g->model()->index(0, kMetri));
    QHelpEvent tip(QEvent::ToolTip, cell.center(), g->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(g->viewport(), &tip);
    EXPECT_EQ(QToolTip::text(), inLocale("1234.56"));
    QToolTip::hideText();

    // A name of a megabyte from a damaged file: shown cut, never laid out whole.
    project().NodeTable[2].name = QString(1 << 20, u'A');
    window->RefreshAllWindows();
    const QString shown = g->model()->data(g->model()->index(1, kNome), Qt::DisplayRole).toString();
    EXPECT_LT(shown.size(), 300);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("…")));
    EXPECT_LT(branch()->caption().size(), 300);
}

// A session in the running program, as the designer sees it: a value being typed survives a
// closed window and reaches its node before a command; every open window follows a change;
// the row menu locks a diameter; a closed section shows no flow and keeps its mark through a
// rebuild; an end without terminal gets one back through its status line.
TEST_F(GridBehaviourTest, ASessionInTheGridWindows) {
    frmTubi* ramo = branch();
    typeInto(ramo, 1, kMetri, QStringLiteral("7"));
    frameOf(ramo)->close();
    ramo = branch();
    typeInto(ramo, 1, kLVirt, QStringLiteral("4"));
    window->findChild<QAction*>(QStringLiteral("nascosto0"))->trigger(); // the popup menu's "Chiudi"
    QCoreApplication::processEvents();
    seen.step(QStringLiteral("7 e 4 scritti nel ramo, finestra chiusa"))
        .line(QStringLiteral("lunghezza %1, virtuale %2")
                  .arg(project().NodeTable[3].length)
                  .arg(project().NodeTable[3].virtualLength));

    frmTubi* grid = trunk();
    typeInto(grid, 3, kLVirt, QStringLiteral("3"));
    key(grid->Txtedit, Qt::Key_Return); // the last cell: the cursor stays, the box shows
    button("aggiunge");
    typeInto(grid, 4, kLVirt, QStringLiteral("5"));
    key(grid->Txtedit, Qt::Key_Return);
    ask.answers = {Answer::Cancel};
    key(grid->Griglia, Qt::Key_Delete); // a key on the grid: stored, then the command
    seen.step(QStringLiteral("3, Invio, aggiunge; 5, Invio, Canc")).grid(*grid);

    ramo = branch();
    typeInto(grid, 1, kMetri, QStringLiteral("400"));
    grid->Griglia->setCurrentCell(2, kMetri);
    seen.step(QStringLiteral("400 nel tronco: il ramo segue")).grid(*ramo);
    ramo->Lok();
    seen.step(QStringLiteral("ramo chiuso: il tronco segue")).grid(*grid);

    grid->Griglia->setCurrentCell(2, kNome);
    QAction* lock = grid->rowMenu()->findChild<QAction*>(QStringLiteral("mnuBlocca"));
    seen.line(lock->text());
    lock->trigger();
    seen.step(QStringLiteral("blocca diametro"))
        .line(grid->rowMenu()->findChild<QAction*>(QStringLiteral("mnuBlocca"))->text());
    grid->Griglia->setCurrentCell(2, kFlow);
    grid->Lok();
    window->RefreshAllWindows(); // the marks survive a rebuild of the rows
    seen.step(QStringLiteral("tratto chiuso, finestre ricostruite")).grid(*trunk());

    trunk()->Griglia->setCurrentCell(2, kFlow);
    trunk()->Lok(); // open again
    project().NodeTable[5].next = kEndWithoutTerminal;
    project().NodeTable[5].derivation = 0;
    project().lastTerminalType = 4; // "Naspo DN 25"
    window->RefreshAllWindows();
    seen.step(QStringLiteral("riaperto, un'estremità aperta")).grid(*trunk());
    ask.answers = {Answer::No};
    trunk()->statusLineClicked();
    ask.answers = {Answer::Yes};
    ask.dialogScripts = {[](QDialog& d) {
        auto& fine = static_cast<Fine&>(d);
        fine.txtQuota->setText(QStringLiteral("1"));
        fine.btnOK->click();
    }};
    trunk()->statusLineClicked();
    seen.step(QStringLiteral("estremità aperta: no, poi sì")).grid(*trunk());
    project().NodeTable[3].seriesIndex = 0; // a KV element has no diameter to lock
    ramo = branch();
    ramo->Griglia->setCurrentCell(1, kNome);
    seen.line(QStringLiteral("blocco su un KV attivo: %1")
                  .arg(ramo->rowMenu()->findChild<QAction*>(QStringLiteral("mnuBlocca"))->isEnabled()));
    seen.expectGolden(QStringLiteral("sessione-griglie"));
}

TEST_F(GridBehaviourTest, AMaximisedWindowStaysMaximisedAndTheTitleStaysThePath) {
    frmTubi* ramo = branch();
    QMdiSubWindow* frame = frameOf(ramo);
    frame->showMaximized();
    QCoreApplication::processEvents();
    const QSize filled = frame->size();
    EXPECT_EQ(filled.width(), window->mdiArea()->viewport()->width());
    EXPECT_EQ(window->windowTitle(), project().projectPath);

    ramo->Nuovo(false);
    ramo->Lok();
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->size(), filled);
    EXPECT_EQ(window->windowTitle(), project().projectPath);

    frame->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->height(), ramo->Griglia->twipsToPixels(ramo->windowHeightTwips()));
}
