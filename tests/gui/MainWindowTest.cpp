#include "editor/frmAnelli.h"
#include "editor/lstTubi.h"
#include "model/DialogRules.h"
#include "model/LoopPipes.h"
#include "model/NumberFormat.h"
#include "storage/ProjectFile.h"
#include "tests/gui/GuiTestSupport.h"

using valmora::testkit::writeBytes;

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace valmora;
using namespace valmora::grid_column;
using namespace valmora::guitest;

namespace {

const QString kDataDir = QStringLiteral(VALMORA_DATA_DIR);
const MessageRequest kSaveFirst{QStringLiteral("Salvare prima?"), QStringLiteral("Fine"),
                                MessageButtons::YesNo, MessageIcon::Question};

class MainWindowTest : public MainWindowFixture {
protected:
    void SetUp() override { open(); }
    // The project in memory is `file`'s, and the title says so.
    void expectOn(const QString& file) {
        EXPECT_EQ(project().projectPath, file);
        EXPECT_EQ(window->windowTitle(), file);
    }
    Project reread(const QString& file) {
        Project saved = Project::withCataloguesOf(project());
        EXPECT_TRUE(ReadProject(saved, file).ok()) << file.toStdString();
        return saved;
    }
    void openFile(const QString& file) {
        ask.fileNames = {file};
        trigger("mnuApri");
    }

    // A small project saved under `name`: its first node carries that name.
    QString writeProject(const QString& name, int nodes = 3) {
        Project p = window ? Project::withCataloguesOf(project()) : Project();
        testkit::buildChain(p, nodes);
        p.NodeTable[1].name = name;
        const QString file = path(name + QStringLiteral(".vlm"));
        EXPECT_TRUE(SaveProject(p, file).ok);
        return file;
    }
    QStringList recentShown() const {
        QStringList shown;
        for (int i = 0; i < RecentFiles::kEntries; ++i)
            if (window->recentFiles().entryVisible(i))
                shown << window->recentFiles().captions()[std::size_t(i)];
        return shown;
    }
    // A derived branch named `name` at trunk row `row`, opened in its window through the cell action.
    QMdiSubWindow* deriveAndOpen(int row, const QString& name) {
        trunk()->Griglia->setCurrentCell(row, kOut);
        ask.inputs = {name};
        trunk()->cellAction();
        trunk()->cellAction();
        return frames().size() == 2 ? frames().last() : nullptr;
    }
};

} // namespace

// The file commands as the designer meets them, each step with the program's title,
// windows and Modifica entries and what it asked.

// Save goes to Save As until the project has a name, a value being typed is saved too, the
// backup is kept; Save As cancelled, into a folder that does not exist, without an extension.
TEST_F(MainWindowTest, FileCommandsSave) {
    seen.step(QStringLiteral("avvio")).program(*window).grid(*trunk());
    const QString file = path(QStringLiteral("impianto.vlm"));
    trunk()->Griglia->setCurrentCell(1, kMetri);
    trunk()->startEditing();
    trunk()->Txtedit->setText(QStringLiteral("7")); // still being typed: saved all the same
    ask.fileNames = {file};
    trigger("mnuSalva");
    seen.step(QStringLiteral("Salva"))
        .program(*window)
        .line(QStringLiteral("riletto: %1 m").arg(reread(file).NodeTable[1].length));
    project().NodeTable[1].name = QStringLiteral("Cambiato");
    trigger("mnuSalva");
    seen.step(QStringLiteral("Salva di nuovo"))
        .line(QStringLiteral("riletto: %1, copia .bak %2")
                  .arg(reread(file).NodeTable[1].name)
                  .arg(QFile::exists(file + QStringLiteral(".bak"))));
    trigger("mnuSaveas");
    ask.fileNames = {path(QStringLiteral("manca/x.vlm"))};
    trigger("mnuSaveas");
    for (const char* typed : {"prova", "rete.v1"}) {
        ask.fileNames = {path(QString::fromLatin1(typed))};
        trigger("mnuSaveas");
    }
    seen.step(QStringLiteral("Salva come: annullato, cartella mancante, prova, rete.v1")).program(*window);
    seen.expectGolden(QStringLiteral("comandi-file-salva"));
}

// A project opened puts the cursor on its first node: the one of the project before may be
// beyond the new one's nodes, or on a node of another meaning. The same for "Nuovo".
TEST_F(MainWindowTest, OpeningAProjectPutsTheCursorOnItsFirstNode) {
    const QString big = writeProject(QStringLiteral("grande"), 12);
    const QString small = writeProject(QStringLiteral("piccolo"), 3);
    ASSERT_TRUE(window->document().read(big));
    session().currentNode = 11;
    session().focusNode = 10;
    ASSERT_TRUE(window->document().read(small));
    EXPECT_EQ(session().currentNode, 1);
    EXPECT_EQ(session().focusNode, 1);
    EXPECT_EQ(results().nodes.size(), project().NodeTable.size()) << "calculated as it was read";
    session().currentNode = 3;
    window->document().makeNew();
    EXPECT_EQ(session().currentNode, 1);
}

// Open with unsaved work, of a sound file and of damaged ones, cancelled; the recent files,
// one with unsaved work and one whose file is gone.
TEST_F(MainWindowTest, FileCommandsOpenAndRecent) {
    const QString good = writeProject(QStringLiteral("buono"), 5);
    project().NodeTable[1].length = 3; // unsaved work
    openFile(good);
    seen.step(QStringLiteral("Apri con lavoro non salvato")).program(*window).grid(*trunk());
    const QString broken = path(QStringLiteral("rotto.vlm"));
    for (const QByteArray& bytes : {QByteArray("\"x\"\r\n40000\r\n1\r\n1\r\n0\r\n0,1,0,1,1,0,\"A\"\r\n"),
                                    QByteArray("\"solo note\"\r\n")}) {
        writeBytes(broken, bytes);
        openFile(broken);
    }
    trigger("mnuApri"); // the dialog cancelled
    seen.step(QStringLiteral("Apri due file rovinati, poi annullato")).program(*window);

    QStringList files;
    for (int i = 1; i <= 5; ++i) {
        files << writeProject(QStringLiteral("p%1").arg(i), i + 1);
        openFile(files.last());
    }
    seen.step(QStringLiteral("cinque file aperti")).line(recentShown().join(QStringLiteral(", ")));
    project().NodeTable[1].length += 1;
    ask.answers = {Answer::No};
    trigger("mnumru3");
    QFile::remove(files[3]);
    trigger("mnumru2");
    seen.step(QStringLiteral("recenti: il terzo con lavoro non salvato, il secondo cancellato"))
        .program(*window)
        .line(recentShown().join(QStringLiteral(", ")));
    seen.expectGolden(QStringLiteral("comandi-file-apri"));
}

// New and Open that save first when asked, and stop when the save does not happen.
TEST_F(MainWindowTest, FileCommandsSaveFirst) {
    project().NodeTable[1].length = 123;
    ask.answers = {Answer::Yes}; // "Salvare prima?" -> Save As, then cancelled
    trigger("mnuNuovo");
    seen.step(QStringLiteral("Nuovo, sì, Salva come annullato")).program(*window).grid(*trunk());
    trunk()->Griglia->setCurrentCell(1, kMetri);
    trunk()->startEditing();
    trunk()->Txtedit->setText(QStringLiteral("9"));
    ask.answers = {Answer::No};
    trigger("mnuNuovo");
    seen.step(QStringLiteral("Nuovo, no, con un valore nella casella")).grid(*trunk());
    const QString old = writeProject(QStringLiteral("vecchio"), 6);
    openFile(old);
    project().NodeTable[1].name = QStringLiteral("Da salvare");
    ask.answers = {Answer::Yes};
    trigger("mnuNuovo");
    seen.step(QStringLiteral("Nuovo, sì, su un progetto con nome"))
        .program(*window)
        .line(reread(old).NodeTable[1].name);
    openFile(old);
    project().NodeTable[1].length = 77;
    QFile::remove(old);
    QDir().mkpath(old); // a folder now stands in its place: the save cannot happen
    ask.answers = {Answer::Yes};
    trigger("mnuNuovo");
    seen.step(QStringLiteral("Nuovo, sì, il file non si può scrivere"))
        .program(*window)
        .line(QStringLiteral("%1 m").arg(project().NodeTable[1].length));

    const QString good = writeProject(QStringLiteral("buono"), 5);
    window->NewProject();
    project().NodeTable[1].name = QStringLiteral("Lavoro in corso");
    ask.fileNames = {good, path(QStringLiteral("salvato.vlm"))};
    ask.answers = {Answer::Yes};
    trigger("mnuApri");
    seen.step(QStringLiteral("Apri, sì, mai salvato: Salva come poi apre"))
        .program(*window)
        .line(reread(path(QStringLiteral("salvato.vlm"))).NodeTable[1].name);
    window->NewProject();
    project().NodeTable[1].name = QStringLiteral("Ancora");
    ask.fileNames = {good};
    ask.answers = {Answer::Yes};
    trigger("mnuApri");
    seen.step(QStringLiteral("Apri, sì, Salva come annullato")).program(*window);
    seen.expectGolden(QStringLiteral("comandi-file-salva-prima"));
}

// Closing with unsaved work asks once: cancelled, then saved under a new name.
TEST_F(MainWindowTest, FileCommandsClose) {
    project().NodeTable[1].name = QStringLiteral("Ancora");
    window->show();
    ask.answers = {Answer::Cancel};
    seen.step(QStringLiteral("chiudi: annulla")).line(QStringLiteral("chiusa %1").arg(window->close()));
    ask.answers = {Answer::Yes};
    ask.fileNames = {path(QStringLiteral("uscita.vlm"))};
    seen.step(QStringLiteral("chiudi: sì, Salva come"))
        .line(QStringLiteral("chiusa %1, salvata %2")
                  .arg(window->close())
                  .arg(QFile::exists(path(QStringLiteral("uscita.vlm")))));
    seen.expectGolden(QStringLiteral("comandi-file-chiudi"));
}

// Catalogues missing or cut short stop the program with the file and line named; catalogues
// with no pipe series and one terminal type start a project whose section the calculation
// names and the grid shows as "?", and editing goes on.
TEST_F(MainWindowTest, CataloguesMissingShortOrSmall) {
    QTemporaryDir catalogues;
    seen.hide(catalogues.path(), QStringLiteral("<cataloghi>"));
    open(QString(), catalogues.path());
    seen.step(QStringLiteral("nessun catalogo")).line(QStringLiteral("avviato %1").arg(started));
    QFile::copy(kDataDir + QStringLiteral("/Vlmtubi.txt"),
                catalogues.filePath(QStringLiteral("Vlmtubi.txt")));
    writeBytes(catalogues.filePath(QStringLiteral("Vlmterm.txt")), "\"Terminali\"\n\"Idrante\",82.5,120\n");
    open(QString(), catalogues.path());
    seen.step(QStringLiteral("terminali interrotti")).line(QStringLiteral("avviato %1").arg(started));
    writeBytes(catalogues.filePath(QStringLiteral("Vlmtubi.txt")), "\"Titolo\",0\n");
    writeBytes(catalogues.filePath(QStringLiteral("Vlmterm.txt")),
               "\"Terminali\"\n\"Solo questo\",80,100,1.5,1\n");
    open(QString(), catalogues.path());
    ASSERT_TRUE(started);
    trigger("mnuAumenta");
    button("aggiunge");
    seen.step(QStringLiteral("nessuna serie, un solo terminale; aumenta, aggiunge")).grid(*trunk());
    seen.expectGolden(QStringLiteral("cataloghi"), Transcript::Locales::SameInBoth);
}

// Up once, then down twice: node 1 from the smallest bore back to it and no further; node 2,
// at the largest already, not up; node 3 locked and node 4 a KV element left alone.
TEST_F(MainWindowTest, DiameterStepsLeaveLockedKvAndLargestAlone) {
    testkit::NetworkBuilder build(project());
    const int16_t a = build.root({QStringLiteral("A"), 5, 0, 1, 0});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 5, 0, 1, 11});
    const int16_t c = build.continueAfter(b, {QStringLiteral("C"), 5, 0, 1, 4, false, true});
    const int16_t d = build.continueAfter(c, {QStringLiteral("D"), 5, 3, 0, 2});
    build.endWithTerminal(d, 1, 0);
    window->RefreshAllWindows();
    for (const char* command : {"mnuAumenta", "mnuDiminuisce", "mnuDiminuisce"}) {
        trigger(command);
        seen.step(QString::fromLatin1(command)).grid(*trunk());
    }
    seen.expectGolden(QStringLiteral("diametri"));
}

// A trunk of 1" A, 3/4" B and 3/4" C ending in a hydrant on the ground, which the rings join;
// the three nodes, and the builder to go on with.
struct RingTrunk {
    testkit::NetworkBuilder build;
    int16_t a, b, c;
    explicit RingTrunk(Project& p)
        : build(p), a(build.root({QStringLiteral("A"), 20, 0, 1, 3})),
          b(build.continueAfter(a, {QStringLiteral("B"), 10, 0, 1, 2})),
          c(build.continueAfter(b, {QStringLiteral("C"), 10, 0, 1, 2})) {
        build.endWithTerminal(c, 1, 0);
    }
};

// "Chiudi un anello...": from the cursor's node to a node named by the user, of the length
// typed; a name no node has, and one two nodes have, are refused; the grid then shows the
// ring's converged flows (C's branch fed from both ends), and undo takes the pipe away.
TEST_F(MainWindowTest, ClosingARingFromTheCursorsNode) {
    RingTrunk trunkOf(project());
    auto& build = trunkOf.build;
    const int16_t a = trunkOf.a, b = trunkOf.b, c = trunkOf.c;
    const int16_t d = build.deriveAt(b, {QStringLiteral("D"), 10, 0, 1, 2});
    build.endWithTerminal(d, 1, 0);
    project().NodeTable[std::size_t(d)].name = QStringLiteral("C");
    window->RefreshAllWindows();
    window->document().startHistory();
    session().currentNode = a;
    for (const QString& typed : {QStringLiteral("Nessuno"), QStringLiteral("C")}) {
        ask.inputs = {typed};
        trigger("mnuChiudiAnello");
    }
    project().NodeTable[std::size_t(d)].name = QStringLiteral("D");
    window->document().startHistory();
    ask.inputs = {QStringLiteral("C"), inLocale("12.5")};
    trigger("mnuChiudiAnello");
    ASSERT_EQ(project().loopPipes.size(), 1u);
    EXPECT_EQ(project().loopPipes[0].nodeA, a);
    EXPECT_EQ(project().loopPipes[0].nodeB, c);
    EXPECT_EQ(project().loopPipes[0].length, 12.5f);
    EXPECT_TRUE(results().ring != nullptr);
    seen.step(QStringLiteral("anello da A a C di 12,5 m")).grid(*trunk());
    trigger("mnuAnnulla");
    EXPECT_TRUE(project().loopPipes.empty());
    seen.step(QStringLiteral("annullato")).grid(*trunk());
    seen.expectGolden(QStringLiteral("chiudi-anello"));
}

// "Anelli...": with none, it says how to close one; then a window beside the branches' lists
// each pipe and is edited as they are, key by key: a length it cannot read is refused and
// changes nothing, a length typed in the user's form is taken on Enter, the keypad's + and the
// toolbar step the diameter, Enter on the results closes the pipe, F4 changes its series,
// Delete takes the second pipe away once confirmed, Enter on a pipe's node opens its row in
// its branch's window; each change is recalculated and undone one by one, the window following.
TEST_F(MainWindowTest, TheLoopPipesWindow) {
    const RingTrunk trunkOf(project());
    const int16_t a = trunkOf.a, b = trunkOf.b, c = trunkOf.c;
    window->show();
    window->RefreshAllWindows();
    trigger("mnuAnelli");
    EXPECT_EQ(window->loopPipesWindow(), nullptr);
    project().loopPipes.push_back(newLoopPipe(project(), a, c));
    project().loopPipes.push_back(newLoopPipe(project(), b, c));
    project().loopPipes[0].length = 20;
    window->RefreshAllWindows();
    window->document().startHistory();
    const std::vector<LoopPipe> before = project().loopPipes;
    trigger("mnuAnelli");
    frmAnelli* rings = window->loopPipesWindow();
    ASSERT_NE(rings, nullptr);
    ASSERT_EQ(window->mdiArea()->activeSubWindow()->widget(), rings);
    ASSERT_EQ(window->activeChild(), static_cast<ChildWindow*>(rings));
    seen.step(QStringLiteral("finestra aperta")).cells(*rings->Griglia).line(rings->StatusBar1->text());
    const double flowBefore = results().ring->loops[0].flow;

    rings->Griglia->setCurrentCell(1, frmAnelli::kMetri);
    type(*rings, QStringLiteral("dodici"));
    key(rings->Txtedit, Qt::Key_Return);
    EXPECT_EQ(project().loopPipes, before);
    rings->Griglia->setCurrentCell(1, frmAnelli::kMetri);
    type(*rings, inLocale("7.5"));
    key(rings->Txtedit, Qt::Key_Return);
    EXPECT_EQ(project().loopPipes[0].length, 7.5f);
    EXPECT_EQ(rings->Griglia->col(), int(frmAnelli::kLVirt)); // Enter moves on, as in a branch
    // A shorter pipe carries more of the water round the ring, and the window shows it.
    EXPECT_GT(std::abs(results().ring->loops[0].flow), std::abs(flowBefore));
    EXPECT_EQ(rings->Griglia->textMatrix(1, frmAnelli::kPortata),
              formatPicture(results().ring->loops[0].flow, u"#0"));
    seen.step(QStringLiteral("\"dodici\" rifiutato, 7,5 m")).cells(*rings->Griglia);

    const int16_t diameter = project().loopPipes[0].diameterIndex;
    key(rings->Griglia, Qt::Key_Plus, QStringLiteral("+"), Qt::KeypadModifier);
    EXPECT_EQ(project().loopPipes[0].diameterIndex, diameter + 1);
    button("incphi");
    EXPECT_EQ(project().loopPipes[0].diameterIndex, diameter + 2);
    rings->Griglia->setCurrentCell(1, frmAnelli::kVelocita);
    key(rings->Griglia, Qt::Key_Return);
    EXPECT_TRUE(project().loopPipes[0].closed);
    EXPECT_EQ(results().ring->loops[0].flow, 0.0);
    seen.step(QStringLiteral("due diametri su, chiuso"))
        .cells(*rings->Griglia)
        .line(rings->StatusBar1->text());

    ask.dialogScripts.push_back([](QDialog& d) {
        field<QListWidget>(d, "ListaTB")->setCurrentRow(2);
        static_cast<lstTubi&>(d).choose();
    });
    rings->Griglia->setCurrentCell(2, frmAnelli::kNome);
    key(rings->Griglia, Qt::Key_F4);
    EXPECT_NE(project().loopPipes[1].seriesIndex, before[1].seriesIndex);
    ask.answers = {Answer::Cancel, Answer::Ok};
    key(rings->Griglia, Qt::Key_Delete);
    ASSERT_EQ(project().loopPipes.size(), 2u);
    key(rings->Griglia, Qt::Key_Delete);
    ASSERT_EQ(project().loopPipes.size(), 1u);
    EXPECT_EQ(rings->Griglia->rows(), 2);
    seen.step(QStringLiteral("serie dell'anello 2 cambiata, poi eliminato")).cells(*rings->Griglia);

    rings->Griglia->setCurrentCell(1, frmAnelli::kA);
    key(rings->Griglia, Qt::Key_Return);
    EXPECT_EQ(window->mdiArea()->activeSubWindow()->widget(), trunk());
    EXPECT_EQ(trunk()->Griglia->row(), 3); // C's row
    seen.step(QStringLiteral("Invio sulla colonna A: la riga di C")).program(*window);

    trigger("mnuAnelli");
    ASSERT_EQ(window->mdiArea()->activeSubWindow()->widget(), rings);
    // The fittings' calculator works on the pipe's own bore (1"1/2 now), not its nodes'.
    ask.dialogScripts.push_back([](QDialog& d) {
        for (const char* button : {"Command1", "lblA1", "btnRiporta"})
            field<QPushButton>(d, button)->click();
    });
    button("KV");
    const LoopPipe& pipe = project().loopPipes[0];
    const PipeSeries& series = project().PipeCatalogue[std::size_t(pipe.seriesIndex)];
    EXPECT_EQ(pipe.virtualLength,
              roundedToOneDecimal(fittingLength(
                  1, diameterClass(series.diameters[std::size_t(pipe.diameterIndex)].innerDiameter),
                  series.leqFactor)));
    EXPECT_NE(diameterClass(series.diameters[std::size_t(pipe.diameterIndex)].innerDiameter),
              diameterClass(project().diameterOf(project().NodeTable[std::size_t(a)]).innerDiameter));
    // Every diameter up steps the pipe too; once locked, every diameter down leaves it.
    const int16_t stepped = pipe.diameterIndex;
    trigger("mnuAumenta");
    EXPECT_EQ(pipe.diameterIndex, stepped + 1);
    rings->rowMenu()->findChild<QAction*>(QStringLiteral("mnuBlocca"))->trigger();
    EXPECT_TRUE(pipe.diameterLocked);
    EXPECT_EQ(rings->rowMenu()->findChild<QAction*>(QStringLiteral("mnuBlocca"))->text(),
              QStringLiteral("Sblocca diametro"));
    trigger("mnuDiminuisce");
    EXPECT_EQ(pipe.diameterIndex, stepped + 1);
    seen.step(QStringLiteral("lunghezza equivalente, tutti i diametri su, blocco, tutti giù"))
        .cells(*rings->Griglia);
    for (int step = 0; step < 10; ++step)
        trigger("mnuAnnulla");
    EXPECT_EQ(project().loopPipes, before);
    EXPECT_EQ(rings->Griglia->rows(), 3);
    EXPECT_EQ(window->mdiArea()->activeSubWindow()->widget(), rings);
    EXPECT_EQ(rings->Griglia->textMatrix(1, frmAnelli::kMetri), QStringLiteral("20"));
    seen.step(QStringLiteral("dieci volte annulla")).program(*window).cells(*rings->Griglia);
    seen.expectGolden(QStringLiteral("finestra-anelli"));
}

// The loop pipes' window beside the others: a value still in its text box reaches its pipe
// before a node is deleted in a branch's window (taking another pipe with it), and its cursor
// stays on the same pipe as the rows move; Esc drops what was typed, a new name is one step of
// the history, undone and redone.
TEST_F(MainWindowTest, TheLoopPipesWindowFollowsTheOthers) {
    RingTrunk trunkOf(project());
    const int16_t a = trunkOf.a, b = trunkOf.b, c = trunkOf.c;
    const int16_t d = trunkOf.build.deriveAt(a, {QStringLiteral("D"), 10, 0, 1, 2});
    trunkOf.build.endWithTerminal(d, 1, 0);
    project().loopPipes.push_back(newLoopPipe(project(), a, c));
    project().loopPipes.push_back(newLoopPipe(project(), b, d));
    window->show();
    window->RefreshAllWindows();
    window->document().startHistory();
    trigger("mnuAnelli");
    frmAnelli* rings = window->loopPipesWindow();
    ASSERT_NE(rings, nullptr);

    rings->Griglia->setCurrentCell(2, frmAnelli::kMetri);
    type(*rings, QStringLiteral("44"));
    ASSERT_TRUE(rings->editing());
    window->mdiArea()->setActiveSubWindow(frames().first());
    trunk()->Griglia->setCurrentCell(3, 0); // C, with the first pipe on it
    ask.answers = {Answer::Ok, Answer::Ok};
    button("cancella");
    ASSERT_EQ(project().loopPipes.size(), 1u);
    EXPECT_EQ(project().loopPipes[0].nodeB, d);
    EXPECT_EQ(project().loopPipes[0].length, 44.0f);
    EXPECT_EQ(rings->cursorPipe(), std::optional<std::size_t>(0));
    trigger("mnuAnnulla"); // the deletion: the first pipe is back above the cursor's
    ASSERT_EQ(project().loopPipes.size(), 2u);
    EXPECT_EQ(rings->cursorPipe(), std::optional<std::size_t>(1));
    EXPECT_EQ(project().loopPipes[1].length, 44.0f);

    window->mdiArea()->setActiveSubWindow(frames().last());
    rings->Griglia->setCurrentCell(1, frmAnelli::kMetri);
    type(*rings, QStringLiteral("99"));
    key(rings->Txtedit, Qt::Key_Escape);
    EXPECT_EQ(project().loopPipes[0].length, 0.0f);
    rings->Griglia->setCurrentCell(1, frmAnelli::kNome);
    type(*rings, QStringLiteral("Chiusura nord"));
    key(rings->Txtedit, Qt::Key_Return);
    EXPECT_EQ(project().loopPipes[0].name, QStringLiteral("Chiusura nord"));
    EXPECT_EQ(rings->Griglia->textMatrix(1, frmAnelli::kNome), QStringLiteral("Chiusura nord"));
    trigger("mnuAnnulla");
    EXPECT_EQ(rings->Griglia->textMatrix(1, frmAnelli::kNome), QStringLiteral("Anello 1"));
    trigger("mnuRipeti");
    EXPECT_EQ(project().loopPipes[0].name, QStringLiteral("Chiusura nord"));
    seen.step(QStringLiteral("44 prima della cancellazione, annulla, Esc, nome, annulla e ripeti"))
        .program(*window)
        .cells(*rings->Griglia)
        .line(rings->StatusBar1->text());
    seen.expectGolden(QStringLiteral("finestra-anelli-segue"));
    // F10 closes the window, and what was still typed is not lost with it.
    rings->Griglia->setCurrentCell(1, frmAnelli::kLVirt);
    type(*rings, QStringLiteral("3"));
    key(rings->Txtedit, Qt::Key_F10); // stays in the box: the grid's keys are not the box's
    key(rings->Griglia, Qt::Key_F10);
    waitFor([this] { return window->loopPipesWindow() == nullptr; });
    EXPECT_EQ(window->loopPipesWindow(), nullptr);
    EXPECT_EQ(project().loopPipes[0].virtualLength, 3.0f);
}

// The toolbar acts on the active window; a branch's window opens from its cell and closes
// with the node that carries it or with its only node; a refresh keeps the trunk and closes
// the branches' windows; the options recalculate.
TEST_F(MainWindowTest, ToolbarBranchWindowsAndOptions) {
    window->show();
    button("aggiunge");
    button("aggiunge");
    QMdiSubWindow* frame = deriveAndOpen(2, QStringLiteral("Ramo nord"));
    ASSERT_NE(frame, nullptr);
    window->mdiArea()->setActiveSubWindow(frame);
    button("aggiunge");
    seen.step(QStringLiteral("aggiunge, aggiunge, diramazione, aggiunge nel ramo"))
        .program(*window)
        .grid(*trunk())
        .grid(*qobject_cast<frmTubi*>(frame->widget()));
    EXPECT_EQ(window->openGridWindow(qobject_cast<frmTubi*>(frame->widget())->firstNode())->parentWidget(),
              frame);

    window->mdiArea()->setActiveSubWindow(frames().first());
    trunk()->Griglia->setCurrentCell(2, 0);
    ask.answers = {Answer::Ok};
    button("cancella");
    QCoreApplication::processEvents();
    frame = deriveAndOpen(1, QStringLiteral("Ramo"));
    ASSERT_NE(frame, nullptr);
    window->mdiArea()->setActiveSubWindow(frame);
    ask.answers = {Answer::Ok};
    button("cancella");
    QCoreApplication::processEvents();
    seen.step(QStringLiteral("cancella il nodo della diramazione; l'unico nodo di un ramo"))
        .program(*window)
        .grid(*trunk());

    deriveAndOpen(1, QStringLiteral("Altro"));
    window->RefreshAllWindows();
    QCoreApplication::processEvents();
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QLineEdit>(d, "txtPrevalenza")->setText(QStringLiteral("60"));
        field<QPushButton>(d, "btnOK")->click();
    });
    trigger("mnuOpzioni");
    trigger("mnuInfo");
    seen.step(QStringLiteral("aggiorna tutte le finestre; opzioni a 60 m; info"))
        .program(*window)
        .grid(*trunk());
    seen.expectGolden(QStringLiteral("barra-rami-opzioni"));
}

TEST_F(MainWindowTest, RightClickOnTheEmptyAreaShowsThePopUpMenu) {
    window->show();
    QWidget* area = window->mdiArea()->viewport();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), area->mapToGlobal(QPointF(5, 5)),
                        Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(area, &release);
    auto* popup = window->findChild<QMenu*>(QStringLiteral("mnuNascosto"));
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    QStringList captions;
    for (QAction* a : popup->actions())
        captions << a->text();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("&Chiudi (F10)"), QStringLiteral("&Aumenta phi"),
                                     QStringLiteral("&Diminuisce phi")}));
    popup->hide();
}

TEST_F(MainWindowTest, CommandLinesAndPathsAreKeptAbsoluteAndClean) {
    const QString spaced = writeProject(QStringLiteral("con spazi nel nome"), 4);
    open(u'"' + spaced + u'"');
    ASSERT_TRUE(started);
    expectOn(spaced);
    EXPECT_EQ(project().nodeCount(), 4);
    open(path(QStringLiteral("non esiste.vlm")));
    EXPECT_EQ(project().projectPath, QStringLiteral("Newlav.vlm"));

    const QString file = writeProject(QStringLiteral("esempio"));
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    open(QStringLiteral("./esempio.vlm")); // a relative command line, as typed
    expectOn(file);
    EXPECT_EQ(recentShown(), (QStringList{file, spaced}));

    openFile(dir.path() + QStringLiteral("/./esempio.vlm")); // the same file: the same entry
    EXPECT_EQ(recentShown(), (QStringList{file, spaced}));
}

// "Stampa" opens with every part the project has ticked, then with the designer's last choice.
TEST_F(MainWindowTest, ThePrintWindowRemembersTheLastChoice) {
    openFile(QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/esempio.vlm"));
    std::vector<std::vector<bool>> seenTicked;
    const auto record = [&seenTicked](QDialog& d, bool untickMaterials) {
        std::vector<bool> ticked;
        for (int i = 0; i < 5; ++i)
            ticked.push_back(d.findChild<QCheckBox*>(QStringLiteral("Check1_%1").arg(i))->isChecked());
        seenTicked.push_back(ticked);
        if (untickMaterials)
            d.findChild<QCheckBox*>(QStringLiteral("Check1_1"))->setChecked(false);
        d.reject();
    };
    ask.dialogScripts = {[&](QDialog& d) { record(d, true); }, [&](QDialog& d) { record(d, false); }};
    trigger("mnuStampa");
    trigger("mnuStampa");
    ASSERT_EQ(seenTicked.size(), 2u);
    EXPECT_EQ(seenTicked[0], (std::vector<bool>{true, true, true, true, true}));
    EXPECT_EQ(seenTicked[1], (std::vector<bool>{true, false, true, true, true}));
}

// "Dati della relazione…" fills the cover and the signature, one step of the history; the unit
// chosen in "Opzioni" shows in every open grid, captions and cells, and goes back with undo;
// "Esporta tabella…" writes the grids' rows for a spreadsheet beside the project.
TEST_F(MainWindowTest, TheReportsDataTheUnitAndTheTable) {
    const QString file = openExampleCopy();
    window->show();
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QLineEdit>(d, "txtCommittente")->setText(QStringLiteral("  Bianchi S.r.l. "));
        field<QLineEdit>(d, "txtProgettista")->setText(QStringLiteral("Ing. Maria Rossi"));
        field<QPlainTextEdit>(d, "txtNoteRevisione")->setPlainText(QStringLiteral("Prima\nemissione\n\n"));
        field<QPushButton>(d, "btnOK")->click();
    });
    trigger("mnuRelazione");
    EXPECT_EQ(project().reportData.committente, QStringLiteral("Bianchi S.r.l."));
    EXPECT_EQ(project().reportData.noteRevisione, QStringLiteral("Prima\r\nemissione"));
    EXPECT_EQ(action("mnuAnnulla")->text(), QStringLiteral("Annulla dati della relazione"));
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QLineEdit>(d, "txtCommittente")->setText(QStringLiteral("altro"));
        field<QPushButton>(d, "btnAnnulla")->click();
    });
    trigger("mnuRelazione");
    EXPECT_EQ(project().reportData.committente, QStringLiteral("Bianchi S.r.l."))
        << "cancelled: nothing changes";

    // A branch's window open beside the trunk's: both follow the unit.
    int16_t derived = 0;
    for (int i = 1; i <= project().nodeCount() && !derived; ++i)
        derived = project().NodeTable[std::size_t(i)].derivation > 0 &&
                          project().NodeTable[std::size_t(i)].continues()
                      ? project().NodeTable[std::size_t(i)].derivation
                      : 0;
    auto* branch = qobject_cast<QMdiSubWindow*>(window->openGridWindow(derived)->parentWidget());
    ASSERT_NE(branch, nullptr);
    const QString mmSum = trunk()->Griglia->textMatrix(1, kSumDp);
    ask.dialogScripts.push_back([](QDialog& d) {
        auto* unit = field<QComboBox>(d, "cmbUnita");
        unit->setCurrentIndex(unit->findData(int(PressureUnit::Bar)));
        EXPECT_FALSE(field<QLabel>(d, "lblInUnita")->text().isEmpty())
            << "the supply in bar beside its metres";
        field<QPushButton>(d, "btnOK")->click();
    });
    window->mdiArea()->setActiveSubWindow(frames().first());
    trigger("mnuOpzioni");
    EXPECT_EQ(project().pressureUnit, PressureUnit::Bar);
    for (frmTubi* grid : {trunk(), qobject_cast<frmTubi*>(branch->widget())}) {
        EXPECT_EQ(grid->Griglia->textMatrix(0, kSumDp), QStringLiteral("SumDp bar"));
        EXPECT_EQ(grid->Griglia->textMatrix(0, kDrop), QStringLiteral("D.P. bar"));
        // Each caption whole in its column, not cut at its start.
        for (const int column : {kDrop, kSumDp})
            EXPECT_GE(grid->Griglia->columnWidth(column),
                      grid->Griglia->horizontalHeader()->fontMetrics().horizontalAdvance(
                          grid->Griglia->textMatrix(0, column)))
                << column;
    }
    // The trunk's first cumulative drop, mm over 10 197.
    const double bar = QLocale().toDouble(trunk()->Griglia->textMatrix(1, kSumDp));
    EXPECT_NEAR(bar * 10197, QLocale().toDouble(mmSum), 0.0005 * 10197 + 0.5);
    trigger("mnuAnnulla");
    EXPECT_EQ(project().pressureUnit, PressureUnit::Millimetres);
    EXPECT_EQ(trunk()->Griglia->textMatrix(0, kSumDp), QStringLiteral("SumDp "));
    EXPECT_EQ(trunk()->Griglia->textMatrix(1, kSumDp), mmSum);
    EXPECT_FALSE(project().reportData.isEmpty()) << "one step back: the data stay";

    const QString table = path(QStringLiteral("tabella"));
    ask.fileNames = {table};
    trigger("mnuEsportaTabella");
    EXPECT_EQ(ask.messageTexts().back(), QStringLiteral("Creato ") + table + QStringLiteral(".csv"));
    const QByteArray csv = testkit::readBytes(table + QStringLiteral(".csv"));
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF"
                               "Calcolo della rete;Pressione di progetto mm;45000,0;"));
    EXPECT_TRUE(csv.contains(";Idr. N2;")) << "every node, by its name";
    Q_UNUSED(file)
}
