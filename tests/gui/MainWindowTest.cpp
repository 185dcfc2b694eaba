#include "app/TbMain.h"
#include "editor/frmTubi.h"
#include "platform/ScriptedInteraction.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;

namespace {

const QString kDataDir = QStringLiteral(VALMORA_DATA_DIR);

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedInteraction ask;
    std::unique_ptr<TbMain> window;

    QString path(const QString& name) const { return dir.filePath(name); }
    QString settingsFile() const { return dir.filePath(QStringLiteral("impostazioni.ini")); }

    void open(const QString& commandLine = QString(), const QString& catalogues = kDataDir) {
        window = std::make_unique<TbMain>(ask, std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat),
                                          CatalogueSearch::inDirectory(catalogues));
        started = window->start(commandLine);
    }
    Project& project() { return window->project(); }
    QAction* action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    void trigger(const char* name) {
        QAction* a = action(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
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

    bool started = false;
};

const MessageRequest kSaveFirst{QStringLiteral("Salvare prima ?"), QStringLiteral("Fine"), MessageButtons::YesNo,
                                MessageIcon::Question};

} // namespace

TEST_F(MainWindowTest, StartsOnANewProjectWithTheTrunkWindow) {
    open();
    ASSERT_TRUE(started);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(project().nodeCount(), 1);
    EXPECT_GT(project().totalFlow, 0);
    ASSERT_NE(window->trunkWindow(), nullptr);
    EXPECT_EQ(window->trunkWindow()->tag(), QStringLiteral("1"));
    EXPECT_EQ(window->trunkWindow()->Griglia->textMatrix(1, grid_column::kNome), QStringLiteral("Radice"));
    EXPECT_FALSE(window->trunkWindow()->Griglia->textMatrix(1, grid_column::kFlow).isEmpty());
    EXPECT_EQ(window->property("tag").toString(), QStringLiteral("Main"));
    EXPECT_TRUE(ask.messages.empty());
    // Later commands are present already.
    for (const char* name : {"mnuImporta", "mnuStampa", "mnuTot", "mnuCambiaTB", "mnuCambiaTerm", "mnuMatrice", "mnuInfo"})
        EXPECT_NE(action(name), nullptr) << name;
    EXPECT_EQ(action("mnuSaveas")->text(), QStringLiteral("Salva &come..."));
    EXPECT_EQ(window->toolbarButton(QStringLiteral("inserisce"))->toolTip(),
              QStringLiteral("Inserisce nella posiz. del cursore"));
    EXPECT_FALSE(window->toolbarButton(QStringLiteral("Incolla"))->isEnabled()); // no snippet file here
}

TEST_F(MainWindowTest, MissingCatalogueStopsTheStart) {
    QTemporaryDir empty;
    open(QString(), empty.path());
    EXPECT_FALSE(started);
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(ask.messages[0].text.contains(QStringLiteral("Vlmtubi.txt"))) << ask.messages[0].text.toStdString();

    QFile::copy(kDataDir + QStringLiteral("/Vlmtubi.txt"), empty.filePath(QStringLiteral("Vlmtubi.txt")));
    QFile bad(empty.filePath(QStringLiteral("Vlmterm.txt")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("\"Terminali\"\n\"Idrante\",82.5,120\n");
    bad.close();
    ask.messages.clear();
    open(QString(), empty.path());
    EXPECT_FALSE(started);
    ASSERT_EQ(ask.messages.size(), 1u);
    // The file ends where the terminal's nominal pressure should be.
    EXPECT_TRUE(ask.messages[0].text.contains(QStringLiteral("Vlmterm.txt, riga 3: fine del file")))
        << ask.messages[0].text.toStdString();
    EXPECT_TRUE(ask.messages[0].text.contains(QStringLiteral("la pressione nominale"))) << ask.messages[0].text.toStdString();
}

TEST_F(MainWindowTest, CommandLineOpensAQuotedPathWithSpaces) {
    open();
    const QString file = writeProject(QStringLiteral("con spazi nel nome"), 4);
    window.reset();
    open(u'"' + file + u'"');
    ASSERT_TRUE(started);
    EXPECT_EQ(project().projectPath, file);
    EXPECT_EQ(window->windowTitle(), file);
    EXPECT_EQ(project().nodeCount(), 4);
    EXPECT_EQ(recentShown(), QStringList{file});

    window.reset();
    open(path(QStringLiteral("non esiste.vlm")));
    EXPECT_EQ(project().projectPath, QStringLiteral("Newlav.vlm"));
}

TEST_F(MainWindowTest, SaveGoesToSaveAsUntilTheProjectHasAName) {
    open();
    const QString file = path(QStringLiteral("impianto.vlm"));
    ask.fileNames = {file};
    trigger("mnuSalva");
    ASSERT_EQ(ask.fileDialogs.size(), 1);
    EXPECT_EQ(ask.fileDialogs[0], QStringLiteral("save|File di Velk|*.vlm|Newlav.vlm"));
    EXPECT_EQ(project().projectPath, file);
    EXPECT_EQ(window->windowTitle(), file);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(recentShown(), QStringList{file});

    project().NodeTable[1].name = QStringLiteral("Cambiato");
    trigger("mnuSalva");
    EXPECT_EQ(ask.fileDialogs.size(), 1); // no dialog the second time
    Project reread = Project::withCataloguesOf(project());
    ASSERT_TRUE(ReadProject(reread, file).ok());
    EXPECT_EQ(reread.NodeTable[1].name, QStringLiteral("Cambiato"));
    EXPECT_TRUE(QFile::exists(file + QStringLiteral(".bak")));

    // Save As cancelled: nothing changes.
    trigger("mnuSaveas");
    EXPECT_EQ(project().projectPath, file);

    // Save As into a folder that does not exist.
    ask.fileNames = {path(QStringLiteral("manca/x.vlm"))};
    trigger("mnuSaveas");
    ASSERT_FALSE(ask.messages.empty());
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Errore in scrittura"));
    EXPECT_FALSE(ask.messages.back().details.isEmpty()); // the reason, under the message
    EXPECT_EQ(project().projectPath, file);
}

TEST_F(MainWindowTest, OpenReplacesTheProjectOnlyWhenTheFileIsSound) {
    open();
    const QString good = writeProject(QStringLiteral("buono"), 5);
    ask.fileNames = {good};
    trigger("mnuApri");
    EXPECT_EQ(ask.fileDialogs.last(), QStringLiteral("open|File di Velk (*.vlm)|*.vlm|"));
    EXPECT_EQ(project().nodeCount(), 5);
    EXPECT_EQ(project().projectPath, good);
    EXPECT_EQ(window->trunkWindow()->Griglia->rows(), 6);
    ASSERT_EQ(ask.messages.size(), 1u); // the network in memory may be unsaved work
    EXPECT_EQ(ask.messages[0], kSaveFirst);
    ask.messages.clear();

    const QString broken = path(QStringLiteral("rotto.vlm"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\"x\"\r\n40000\r\n1\r\n1\r\n0\r\n0,1,0,1,1,0,\"A\"\r\n");
    f.close();
    ask.fileNames = {broken};
    trigger("mnuApri");
    ASSERT_EQ(ask.messages.size(), 2u);
    EXPECT_TRUE(ask.messages[1].text.startsWith(QStringLiteral("Errore legginodo riga 7"))) << ask.messages[1].text.toStdString();
    EXPECT_EQ(project().projectPath, good);
    EXPECT_EQ(project().nodeCount(), 5);
    EXPECT_EQ(window->windowTitle(), good);

    trigger("mnuApri"); // cancelled
    EXPECT_EQ(project().projectPath, good);

    // A header that cannot be read.
    QFile header(broken);
    ASSERT_TRUE(header.open(QIODevice::WriteOnly));
    header.write("\"solo note\"\r\n");
    header.close();
    ask.fileNames = {broken};
    trigger("mnuApri");
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Errore file"));
    EXPECT_EQ(project().projectPath, good);
}

TEST_F(MainWindowTest, RecentFilesOpenAndFollowTheRules) {
    open();
    QStringList files;
    for (int i = 1; i <= 5; ++i) {
        files << writeProject(QStringLiteral("p%1").arg(i), i + 1);
        ask.fileNames = {files.last()};
        trigger("mnuApri");
    }
    EXPECT_EQ(recentShown(), (QStringList{files[4], files[3], files[2], files[1]}));

    // Re-opening the third entry: the save question first, the order unchanged.
    ask.messages.clear();
    ask.answers = {Answer::No};
    trigger("mnumru3");
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], kSaveFirst);
    EXPECT_EQ(project().projectPath, files[2]);
    EXPECT_EQ(project().nodeCount(), 4);
    EXPECT_EQ(recentShown(), (QStringList{files[4], files[3], files[2], files[1]}));

    // A deleted file.
    QFile::remove(files[3]);
    ask.messages.clear();
    trigger("mnumru2");
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], (MessageRequest{QStringLiteral("File non trovato")}));
    EXPECT_EQ(project().projectPath, files[2]);
}

TEST_F(MainWindowTest, NewAsksToSaveFirstAndStartsOver) {
    open();
    const QString file = writeProject(QStringLiteral("vecchio"), 6);
    ask.fileNames = {file};
    trigger("mnuApri");
    project().NodeTable[1].name = QStringLiteral("Da salvare");
    ask.answers = {Answer::Yes};
    trigger("mnuNuovo");
    EXPECT_EQ(ask.messages.back(), kSaveFirst);
    EXPECT_EQ(project().nodeCount(), 1);
    EXPECT_EQ(project().projectPath, QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Newlav.vlm"));
    Project saved = Project::withCataloguesOf(project());
    ASSERT_TRUE(ReadProject(saved, file).ok());
    EXPECT_EQ(saved.NodeTable[1].name, QStringLiteral("Da salvare"));
}

TEST_F(MainWindowTest, DiameterStepsLeaveLockedKvAndLargestAlone) {
    open();
    Project& p = project();
    testkit::NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("A"), 5, 0, 1, 0});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 5, 0, 1, 11});
    const int16_t c = build.continueAfter(b, {QStringLiteral("C"), 5, 0, 1, 4, false, true});
    const int16_t d = build.continueAfter(c, {QStringLiteral("D"), 5, 3, 0, 2});
    build.endWithTerminal(d, 1, 0);
    trigger("mnuAumenta");
    EXPECT_EQ(p.NodeTable[1].diameterIndex, 1);
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 11); // already the largest
    EXPECT_EQ(p.NodeTable[3].diameterIndex, 4);  // locked
    EXPECT_EQ(p.NodeTable[4].diameterIndex, 2);  // KV element
    trigger("mnuDiminuisce");
    trigger("mnuDiminuisce");
    EXPECT_EQ(p.NodeTable[1].diameterIndex, 0);
    EXPECT_EQ(p.NodeTable[2].diameterIndex, 9);
    EXPECT_EQ(p.NodeTable[3].diameterIndex, 4);
    EXPECT_EQ(p.NodeTable[4].diameterIndex, 2);
    EXPECT_TRUE(ask.messages.empty());
}

TEST_F(MainWindowTest, ClosingAsksTheTrunkWindowOnce) {
    open();
    window->show();
    ask.answers = {Answer::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0].text, QStringLiteral("Salvare prima di uscire ?"));

    // Yes on a never-saved project runs Save As; the program ends once saved.
    const QString file = path(QStringLiteral("uscita.vlm"));
    ask.answers = {Answer::Yes};
    ask.fileNames = {file};
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(ask.messages.size(), 2u);
}

TEST_F(MainWindowTest, RefreshKeepsTheTrunkAndClosesBranchWindows) {
    open();
    Project& p = project();
    testkit::NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("A"), 5, 0, 1, 2});
    const int16_t branch = build.deriveAt(a, {QStringLiteral("R"), 5, 0, 1, 1});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 5, 0, 1, 1});
    build.endWithTerminal(b, 1, 0);
    build.endWithTerminal(branch, 1, 0);
    frmTubi* derived = window->openGridWindow(branch);
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(window->openGridWindow(branch), derived); // found again by its tag
    window->RefreshAllWindows();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(window->trunkWindow()->Griglia->rows(), 3);
}

TEST_F(MainWindowTest, EditingFromTheToolbarAndBranchWindows) {
    open();
    window->show();
    frmTubi* trunk = window->trunkWindow();
    window->toolbarButton(QStringLiteral("aggiunge"))->trigger();
    window->toolbarButton(QStringLiteral("aggiunge"))->trigger();
    EXPECT_EQ(project().nodeCount(), 3);
    EXPECT_EQ(trunk->Griglia->rows(), 4);

    // A derivation on the second row, then its window through the cell action.
    trunk->Griglia->setCurrentCell(2, grid_column::kOut);
    ask.inputs = {QStringLiteral("Ramo nord")};
    trunk->cellAction();
    const int16_t branch = project().NodeTable[trunk->Griglia->rowData(2)].derivation;
    ASSERT_GT(branch, 0);
    trunk->cellAction();
    ASSERT_EQ(window->mdiArea()->subWindowList().size(), 2);
    QMdiSubWindow* frame = window->mdiArea()->subWindowList().last();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Deriv. da 2"));
    auto* derived = qobject_cast<frmTubi*>(frame->widget());
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(derived->tag(), QString::number(branch));
    EXPECT_EQ(derived->Griglia->textMatrix(1, grid_column::kNome), QStringLiteral("Ramo nord"));

    // Appending from the toolbar acts on the active window: the derived branch.
    window->mdiArea()->setActiveSubWindow(frame);
    window->toolbarButton(QStringLiteral("aggiunge"))->trigger();
    EXPECT_EQ(derived->Griglia->rows(), 3);
    EXPECT_EQ(trunk->Griglia->rows(), 4);

    // Deleting the node that carries the branch drops it and closes its window.
    window->mdiArea()->setActiveSubWindow(window->mdiArea()->subWindowList().first());
    trunk->Griglia->setCurrentCell(2, 0);
    ask.answers = {Answer::Ok};
    window->toolbarButton(QStringLiteral("cancella"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(trunk->Griglia->rows(), 3);
    EXPECT_EQ(ask.messages.back().title, QStringLiteral("Cancella una intera diramazione"));
}

TEST_F(MainWindowTest, OptionsFromTheMenuRecalculateTheActiveWindow) {
    open();
    const QString flowBefore = window->trunkWindow()->Griglia->textMatrix(1, grid_column::kFlow);
    ask.dialogScripts.push_back([](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("txtPrevalenza"))->setText(QStringLiteral("60"));
        d.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    });
    trigger("mnuOpzioni");
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("Opzioni")});
    EXPECT_EQ(project().supplyPressure, 60000);
    EXPECT_NE(window->trunkWindow()->Griglia->textMatrix(1, grid_column::kFlow), flowBefore);

    trigger("mnuInfo");
    EXPECT_EQ(ask.dialogsShown.last(), QStringLiteral("frmInfo"));
}

TEST_F(MainWindowTest, RightClickOnTheEmptyAreaShowsThePopUpMenu) {
    open();
    window->show();
    QWidget* area = window->mdiArea()->viewport();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), area->mapToGlobal(QPointF(5, 5)), Qt::RightButton,
                        Qt::NoButton, Qt::NoModifier);
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

TEST_F(MainWindowTest, SmallCataloguesStartWithoutCrashing) {
    // No pipe series at all, and a single terminal type: the new project's section and
    // terminal name what the catalogues lack; the calculation says so, the grid shows "?".
    QTemporaryDir small;
    QFile pipes(small.filePath(QStringLiteral("Vlmtubi.txt")));
    ASSERT_TRUE(pipes.open(QIODevice::WriteOnly));
    pipes.write("\"Titolo\",0\n");
    pipes.close();
    QFile terminals(small.filePath(QStringLiteral("Vlmterm.txt")));
    ASSERT_TRUE(terminals.open(QIODevice::WriteOnly));
    terminals.write("\"Terminali\"\n\"Solo questo\",80,100,1.5,1\n");
    terminals.close();
    open(QString(), small.path());
    ASSERT_TRUE(started);
    ASSERT_FALSE(ask.messages.empty());
    EXPECT_TRUE(ask.messages[0].text.startsWith(QStringLiteral("Nodo 1 \"Radice\""))) << ask.messages[0].text.toStdString();
    frmTubi* trunk = window->trunkWindow();
    EXPECT_EQ(trunk->Griglia->textMatrix(1, grid_column::kPhi), QStringLiteral("?"));
    EXPECT_EQ(trunk->StatusBar1->text(), QStringLiteral("? - Quota m 0"));
    // Editing on goes on without a crash: diameter steps and an appended node.
    trigger("mnuAumenta");
    window->toolbarButton(QStringLiteral("aggiunge"))->trigger();
    EXPECT_EQ(project().nodeCount(), 2);
}

TEST_F(MainWindowTest, AnUnsavedProjectIsKeptWhenTheSaveDoesNotHappen) {
    open();
    project().NodeTable[1].length = 123;
    ask.answers = {Answer::Yes}; // "Salvare prima ?" -> Save As, then cancelled
    trigger("mnuNuovo");
    EXPECT_EQ(ask.fileDialogs.size(), 1);
    EXPECT_EQ(project().NodeTable[1].length, 123.0f);

    // A named project whose file can no longer be written: a folder now stands in its place.
    const QString file = writeProject(QStringLiteral("recente"));
    ask.fileNames = {file};
    trigger("mnuApri");
    project().NodeTable[1].length = 77;
    QFile::remove(file);
    QDir().mkpath(file);
    ask.answers = {Answer::Yes};
    trigger("mnuNuovo");
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Errore in scrittura"));
    EXPECT_EQ(project().NodeTable[1].length, 77.0f);
}

TEST_F(MainWindowTest, ATextStillBeingTypedIsSavedAndNeverLeaksIntoANewNetwork) {
    open();
    frmTubi* trunk = window->trunkWindow();
    trunk->Griglia->setCurrentCell(1, grid_column::kMetri);
    trunk->startEditing();
    trunk->Txtedit->setText(QStringLiteral("7"));
    const QString file = path(QStringLiteral("in-corso.vlm"));
    ask.fileNames = {file};
    trigger("mnuSalva");
    Project saved = Project::withCataloguesOf(project());
    ASSERT_TRUE(ReadProject(saved, file).ok());
    EXPECT_EQ(saved.NodeTable[1].length, 7.0f);

    trunk->startEditing();
    trunk->Txtedit->setText(QStringLiteral("9"));
    ask.answers = {Answer::No};
    trigger("mnuNuovo");
    EXPECT_FALSE(trunk->editing());
    trunk->Griglia->setCurrentCell(1, grid_column::kLVirt);
    EXPECT_EQ(project().NodeTable[1].length, 0.0f);
}

TEST_F(MainWindowTest, DeletingTheOnlyNodeOfABranchClosesItsWindowAndRebuildsTheTrunk) {
    open();
    window->show();
    frmTubi* trunk = window->trunkWindow();
    window->toolbarButton(QStringLiteral("aggiunge"))->trigger();
    trunk->Griglia->setCurrentCell(1, grid_column::kOut);
    ask.inputs = {QStringLiteral("Ramo")};
    trunk->cellAction();
    trunk->cellAction();
    ASSERT_EQ(window->mdiArea()->subWindowList().size(), 2);
    QMdiSubWindow* frame = window->mdiArea()->subWindowList().last();
    window->mdiArea()->setActiveSubWindow(frame);
    ask.answers = {Answer::Ok};
    window->toolbarButton(QStringLiteral("cancella"))->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(project().NodeTable[1].derivation, 0);
    EXPECT_EQ(trunk->Griglia->textMatrix(1, grid_column::kOut), QString());
    EXPECT_EQ(trunk->Griglia->rows(), 3);
}
