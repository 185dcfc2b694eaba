#include "storage/ProjectFile.h"
#include "tests/gui/GuiTestSupport.h"

using valmora::testkit::writeBytes;

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

using namespace valmora;
using namespace valmora::grid_column;
using namespace valmora::guitest;

namespace {

const QString kDataDir = QStringLiteral(VALMORA_DATA_DIR);
const MessageRequest kSaveFirst{QStringLiteral("Salvare prima ?"), QStringLiteral("Fine"),
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

TEST_F(MainWindowTest, StartsOnANewProjectWithTheTrunkWindow) {
    ASSERT_TRUE(started);
    expectOn(QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(project().nodeCount(), 1);
    EXPECT_GT(project().totalFlow, 0);
    ASSERT_NE(trunk(), nullptr);
    EXPECT_EQ(trunk()->tag(), QStringLiteral("1"));
    EXPECT_EQ(trunk()->Griglia->rows(), 2);
    EXPECT_EQ(trunk()->Griglia->textMatrix(1, kNome), QStringLiteral("Radice"));
    EXPECT_EQ(trunk()->StatusBar1->text(), QStringLiteral("Idrante UNI 45 - Quota m 0")); // terminal type 1
    EXPECT_FALSE(trunk()->Griglia->textMatrix(1, kFlow).isEmpty());
    EXPECT_TRUE(ask.messages.empty());
    // Later commands are present already.
    for (const char* name :
         {"mnuImporta", "mnuStampa", "mnuTot", "mnuCambiaTB", "mnuCambiaTerm", "mnuMatrice", "mnuInfo"})
        EXPECT_NE(action(name), nullptr) << name;
    EXPECT_FALSE(window->toolbarButton(QStringLiteral("Incolla"))->isEnabled()); // no snippet file here
}

TEST_F(MainWindowTest, CataloguesMissingShortOrSmall) {
    QTemporaryDir catalogues;
    const QStringList expected[] = {
        {QStringLiteral("Vlmtubi.txt")},
        // The file ends where the terminal's nominal pressure should be.
        {QStringLiteral("Vlmterm.txt, riga 3: fine del file"), QStringLiteral("la pressione nominale")}};
    for (const QStringList& fragments : expected) {
        ask.messages.clear();
        open(QString(), catalogues.path());
        EXPECT_FALSE(started);
        ASSERT_EQ(ask.messages.size(), 1u);
        EXPECT_EQ(ask.messages[0].icon, MessageIcon::Critical);
        for (const QString& fragment : fragments)
            EXPECT_TRUE(ask.messages[0].text.contains(fragment)) << ask.messages[0].text.toStdString();
        QFile::copy(kDataDir + QStringLiteral("/Vlmtubi.txt"),
                    catalogues.filePath(QStringLiteral("Vlmtubi.txt")));
        writeBytes(catalogues.filePath(QStringLiteral("Vlmterm.txt")),
                   "\"Terminali\"\n\"Idrante\",82.5,120\n");
    }

    // No pipe series at all, and a single terminal type: the new project's section and
    // terminal name what the catalogues lack; the calculation says so, the grid shows "?".
    writeBytes(catalogues.filePath(QStringLiteral("Vlmtubi.txt")), "\"Titolo\",0\n");
    writeBytes(catalogues.filePath(QStringLiteral("Vlmterm.txt")),
               "\"Terminali\"\n\"Solo questo\",80,100,1.5,1\n");
    ask.messages.clear();
    open(QString(), catalogues.path());
    ASSERT_TRUE(started);
    ASSERT_FALSE(ask.messages.empty());
    EXPECT_TRUE(ask.messages[0].text.startsWith(QStringLiteral("Nodo 1 \"Radice\"")))
        << ask.messages[0].text.toStdString();
    EXPECT_EQ(trunk()->Griglia->textMatrix(1, kPhi), QStringLiteral("?"));
    EXPECT_EQ(trunk()->StatusBar1->text(), QStringLiteral("? - Quota m 0"));
    // Editing goes on without a crash: diameter steps and an appended node.
    trigger("mnuAumenta");
    button("aggiunge");
    EXPECT_EQ(project().nodeCount(), 2);
}

TEST_F(MainWindowTest, SaveGoesToSaveAsUntilTheProjectHasAName) {
    trunk()->Griglia->setCurrentCell(1, kMetri);
    trunk()->startEditing();
    trunk()->Txtedit->setText(QStringLiteral("7")); // still being typed: saved all the same
    const QString file = path(QStringLiteral("impianto.vlm"));
    ask.fileNames = {file};
    trigger("mnuSalva");
    EXPECT_EQ(reread(file).NodeTable[1].length, 7.0f);
    EXPECT_EQ(ask.fileDialogs, QStringList{QStringLiteral("save|Progetti Valmora (*.vlm)|*.vlm|Newlav.vlm")});
    expectOn(file);
    EXPECT_EQ(recentShown(), QStringList{file});

    project().NodeTable[1].name = QStringLiteral("Cambiato");
    trigger("mnuSalva");
    EXPECT_EQ(ask.fileDialogs.size(), 1); // no dialog the second time
    EXPECT_EQ(reread(file).NodeTable[1].name, QStringLiteral("Cambiato"));
    EXPECT_TRUE(QFile::exists(file + QStringLiteral(".bak")));

    trigger("mnuSaveas"); // cancelled: nothing changes
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
    const QString good = writeProject(QStringLiteral("buono"), 5);
    project().NodeTable[1].length = 3; // unsaved work
    openFile(good);
    EXPECT_EQ(ask.fileDialogs.last(), QStringLiteral("open|Progetti Valmora (*.vlm)|*.vlm|"));
    EXPECT_EQ(project().nodeCount(), 5);
    EXPECT_EQ(trunk()->Griglia->rows(), 6);
    ASSERT_EQ(ask.messages.size(), 1u); // the network in memory may be unsaved work
    EXPECT_EQ(ask.messages[0], kSaveFirst);

    const QString broken = path(QStringLiteral("rotto.vlm"));
    const struct {
        QByteArray bytes; // none: the dialog cancelled
        QString message;
        bool whole; // the whole message, not only how it starts
    } refused[] = {{"\"x\"\r\n40000\r\n1\r\n1\r\n0\r\n0,1,0,1,1,0,\"A\"\r\n",
                    QStringLiteral("Errore legginodo riga 7"), false},
                   {"\"solo note\"\r\n", QStringLiteral("Errore file"), true}, // a header that cannot be read
                   {QByteArray(), QString(), false}};
    for (const auto& r : refused) {
        ask.messages.clear();
        project().NodeTable[1].length += 1; // unsaved work again
        if (r.bytes.isEmpty()) {
            trigger("mnuApri");
        } else {
            writeBytes(broken, r.bytes);
            openFile(broken);
            ASSERT_EQ(ask.messages.size(), 2u);
            EXPECT_EQ(ask.messages[0], kSaveFirst);
            const QString& text = ask.messages[1].text;
            EXPECT_TRUE(r.whole ? text == r.message : text.startsWith(r.message)) << text.toStdString();
        }
        expectOn(good);
        EXPECT_EQ(project().nodeCount(), 5);
    }
}

TEST_F(MainWindowTest, RecentFilesOpenAndFollowTheRules) {
    QStringList files;
    for (int i = 1; i <= 5; ++i) {
        files << writeProject(QStringLiteral("p%1").arg(i), i + 1);
        openFile(files.last());
    }
    const QStringList order{files[4], files[3], files[2], files[1]};
    EXPECT_EQ(recentShown(), order);

    // Re-opening the third entry with unsaved work: the save question first, the order unchanged.
    project().NodeTable[1].length += 1;
    ask.messages.clear();
    ask.answers = {Answer::No};
    trigger("mnumru3");
    EXPECT_EQ(ask.messages, std::vector<MessageRequest>{kSaveFirst});
    EXPECT_EQ(project().projectPath, files[2]);
    EXPECT_EQ(project().nodeCount(), 4);
    EXPECT_EQ(recentShown(), order);

    // A deleted file.
    QFile::remove(files[3]);
    ask.messages.clear();
    trigger("mnumru2");
    EXPECT_EQ(ask.messages, std::vector<MessageRequest>{{QStringLiteral("File non trovato")}});
    EXPECT_EQ(project().projectPath, files[2]);
}

TEST_F(MainWindowTest, NewAsksToSaveFirstAndStartsOverOnlyOnceSaved) {
    project().NodeTable[1].length = 123;
    ask.answers = {Answer::Yes}; // "Salvare prima ?" -> Save As, then cancelled
    trigger("mnuNuovo");
    EXPECT_EQ(ask.messages.back(), kSaveFirst);
    EXPECT_EQ(ask.fileDialogs.size(), 1);
    EXPECT_EQ(project().NodeTable[1].length, 123.0f);

    // A text still being typed never leaks into the new network.
    trunk()->Griglia->setCurrentCell(1, kMetri);
    trunk()->startEditing();
    trunk()->Txtedit->setText(QStringLiteral("9"));
    ask.answers = {Answer::No};
    trigger("mnuNuovo");
    EXPECT_FALSE(trunk()->editing());
    trunk()->Griglia->setCurrentCell(1, kLVirt);
    EXPECT_EQ(project().NodeTable[1].length, 0.0f);

    const QString file = writeProject(QStringLiteral("vecchio"), 6);
    openFile(file);
    project().NodeTable[1].name = QStringLiteral("Da salvare");
    ask.answers = {Answer::Yes};
    trigger("mnuNuovo");
    EXPECT_EQ(project().nodeCount(), 1);
    expectOn(QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(reread(file).NodeTable[1].name, QStringLiteral("Da salvare"));

    // A named project whose file can no longer be written: a folder now stands in its place.
    openFile(file);
    project().NodeTable[1].length = 77;
    QFile::remove(file);
    QDir().mkpath(file);
    ask.answers = {Answer::Yes};
    trigger("mnuNuovo");
    EXPECT_EQ(ask.messages.back().text, QStringLiteral("Errore in scrittura"));
    EXPECT_EQ(project().NodeTable[1].length, 77.0f);
}

TEST_F(MainWindowTest, DiameterStepsLeaveLockedKvAndLargestAlone) {
    Project& p = project();
    testkit::NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("A"), 5, 0, 1, 0});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 5, 0, 1, 11});
    const int16_t c = build.continueAfter(b, {QStringLiteral("C"), 5, 0, 1, 4, false, true});
    const int16_t d = build.continueAfter(c, {QStringLiteral("D"), 5, 3, 0, 2});
    build.endWithTerminal(d, 1, 0);
    // Node 2 is at the largest bore already, node 3 locked, node 4 a KV element.
    const struct {
        const char* command;
        int times;
        std::vector<int16_t> indexes;
    } steps[] = {{"mnuAumenta", 1, {1, 11, 4, 2}}, {"mnuDiminuisce", 2, {0, 9, 4, 2}}};
    for (const auto& s : steps) {
        for (int k = 0; k < s.times; ++k)
            trigger(s.command);
        for (int16_t n = 1; n <= 4; ++n)
            EXPECT_EQ(p.NodeTable[n].diameterIndex, s.indexes[std::size_t(n - 1)])
                << s.command << " node " << n;
    }
    EXPECT_TRUE(ask.messages.empty());
}

TEST_F(MainWindowTest, ClosingAsksTheTrunkWindowOnce) {
    window->show();
    project().NodeTable[1].length = 5; // unsaved work
    ask.answers = {Answer::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Salvare prima di uscire ?")});

    // Yes on a never-saved project runs Save As; the program ends once saved.
    const QString file = path(QStringLiteral("uscita.vlm"));
    ask.answers = {Answer::Yes};
    ask.fileNames = {file};
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(ask.messages.size(), 2u);
}

TEST_F(MainWindowTest, RefreshKeepsTheTrunkAndClosesBranchWindows) {
    testkit::NetworkBuilder build(project());
    const int16_t a = build.root({QStringLiteral("A"), 5, 0, 1, 2});
    const int16_t branch = build.deriveAt(a, {QStringLiteral("R"), 5, 0, 1, 1});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 5, 0, 1, 1});
    build.endWithTerminal(b, 1, 0);
    build.endWithTerminal(branch, 1, 0);
    frmTubi* derived = window->openGridWindow(branch);
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(frames().size(), 2);
    EXPECT_EQ(window->openGridWindow(branch), derived); // found again by its tag
    window->RefreshAllWindows();
    QCoreApplication::processEvents();
    EXPECT_EQ(frames().size(), 1);
    EXPECT_EQ(trunk()->Griglia->rows(), 3);
}

TEST_F(MainWindowTest, EditingFromTheToolbarAndBranchWindows) {
    window->show();
    button("aggiunge");
    button("aggiunge");
    EXPECT_EQ(project().nodeCount(), 3);
    EXPECT_EQ(trunk()->Griglia->rows(), 4);

    // A derivation on the second row, then its window through the cell action.
    QMdiSubWindow* frame = deriveAndOpen(2, QStringLiteral("Ramo nord"));
    ASSERT_NE(frame, nullptr);
    const int16_t branch = project().NodeTable[trunk()->Griglia->rowData(2)].derivation;
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Deriv. da 2"));
    auto* derived = qobject_cast<frmTubi*>(frame->widget());
    ASSERT_NE(derived, nullptr);
    EXPECT_EQ(derived->tag(), QString::number(branch));
    EXPECT_EQ(derived->Griglia->textMatrix(1, kNome), QStringLiteral("Ramo nord"));

    // Appending from the toolbar acts on the active window: the derived branch.
    window->mdiArea()->setActiveSubWindow(frame);
    button("aggiunge");
    EXPECT_EQ(derived->Griglia->rows(), 3);
    EXPECT_EQ(trunk()->Griglia->rows(), 4);

    // Deleting the node that carries the branch drops it and closes its window.
    window->mdiArea()->setActiveSubWindow(frames().first());
    trunk()->Griglia->setCurrentCell(2, 0);
    ask.answers = {Answer::Ok};
    button("cancella");
    QCoreApplication::processEvents();
    EXPECT_EQ(frames().size(), 1);
    EXPECT_EQ(trunk()->Griglia->rows(), 3);
    EXPECT_EQ(ask.messages.back().title, QStringLiteral("Cancella una intera diramazione"));

    // Deleting the only node of a branch from its own window: the window closes, the trunk
    // is rebuilt without the arrow.
    frame = deriveAndOpen(1, QStringLiteral("Ramo"));
    ASSERT_NE(frame, nullptr);
    window->mdiArea()->setActiveSubWindow(frame);
    ask.answers = {Answer::Ok};
    button("cancella");
    QCoreApplication::processEvents();
    EXPECT_EQ(frames().size(), 1);
    EXPECT_EQ(project().NodeTable[1].derivation, 0);
    EXPECT_EQ(trunk()->Griglia->textMatrix(1, kOut), QString());
    EXPECT_EQ(trunk()->Griglia->rows(), 3);
}

TEST_F(MainWindowTest, OptionsFromTheMenuRecalculateTheActiveWindow) {
    const QString flowBefore = trunk()->Griglia->textMatrix(1, kFlow);
    ask.dialogScripts.push_back([](QDialog& d) {
        field<QLineEdit>(d, "txtPrevalenza")->setText(QStringLiteral("60"));
        field<QPushButton>(d, "btnOK")->click();
    });
    trigger("mnuOpzioni");
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("Opzioni")});
    EXPECT_EQ(project().supplyPressure, 60000);
    EXPECT_NE(trunk()->Griglia->textMatrix(1, kFlow), flowBefore);

    trigger("mnuInfo");
    EXPECT_EQ(ask.dialogsShown.last(), QStringLiteral("frmInfo"));
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
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    open(QStringLiteral("./esempio.vlm")); // a relative command line, as typed
    QDir::setCurrent(home);
    expectOn(file);
    EXPECT_EQ(recentShown(), (QStringList{file, spaced}));

    openFile(dir.path() + QStringLiteral("/./esempio.vlm")); // the same file: the same entry
    EXPECT_EQ(recentShown(), (QStringList{file, spaced}));

    // Save As adds the extension only to a name that has none.
    for (const auto& [typed, written] : {std::pair{"prova", "prova.vlm"}, std::pair{"rete.v1", "rete.v1"}}) {
        ask.fileNames = {path(QString::fromLatin1(typed))};
        trigger("mnuSaveas");
        EXPECT_EQ(project().projectPath, path(QString::fromLatin1(written)));
        EXPECT_TRUE(QFile::exists(path(QString::fromLatin1(written)))) << typed;
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("prova"))));
}

TEST_F(MainWindowTest, OpenSavesTheNetworkItReplacesWhenAsked) {
    const QString other = writeProject(QStringLiteral("altro"), 4);
    project().NodeTable[1].name = QStringLiteral("Lavoro in corso");
    // Yes on a project never saved: Save As, then the file chosen opens.
    ask.fileNames = {other, path(QStringLiteral("salvato.vlm"))};
    ask.answers = {Answer::Yes};
    trigger("mnuApri");
    EXPECT_EQ(ask.messages, std::vector<MessageRequest>{kSaveFirst});
    EXPECT_EQ(project().projectPath, other);
    EXPECT_EQ(reread(path(QStringLiteral("salvato.vlm"))).NodeTable[1].name,
              QStringLiteral("Lavoro in corso"));

    // Yes, and the Save As cancelled: nothing opens, nothing is lost.
    window->NewProject();
    project().NodeTable[1].name = QStringLiteral("Ancora");
    ask.fileNames = {other};
    ask.answers = {Answer::Yes};
    trigger("mnuApri");
    EXPECT_EQ(project().NodeTable[1].name, QStringLiteral("Ancora"));
    EXPECT_EQ(project().projectPath, kNewProjectPath);
}
