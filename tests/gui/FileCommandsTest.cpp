// File commands as a designer meets them: paths kept whole, the extension added, and no
// unsaved network replaced without the question.

#include "app/TbMain.h"
#include "platform/ScriptedInteraction.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;

namespace {

const MessageRequest kSaveFirst{QStringLiteral("Salvare prima ?"), QStringLiteral("Fine"), MessageButtons::YesNo,
                                MessageIcon::Question};

class FileCommandsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedInteraction ask;
    std::unique_ptr<TbMain> window;

    void start(const QString& commandLine = QString()) {
        window = std::make_unique<TbMain>(ask, std::make_unique<QSettings>(dir.filePath("r.ini"), QSettings::IniFormat),
                                          CatalogueSearch::inDirectory(QStringLiteral(VALMORA_DATA_DIR)));
        ASSERT_TRUE(window->start(commandLine));
    }
    void trigger(const char* name) { window->findChild<QAction*>(QString::fromLatin1(name))->trigger(); }
    QString firstRecent() const { return window->recentFiles().captions()[0]; }
    QString saveChain(const QString& name, int nodes) {
        Project p = Project::withCataloguesOf(window->project());
        testkit::buildChain(p, nodes);
        const QString file = dir.filePath(name);
        EXPECT_TRUE(SaveProject(p, file).ok);
        return file;
    }
};

} // namespace

TEST_F(FileCommandsTest, ARelativeCommandLinePathIsKeptAbsoluteAndClean) {
    start();
    const QString file = saveChain(QStringLiteral("esempio.vlm"), 3);
    const QString home = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    start(QStringLiteral("./sotto/../esempio.vlm").replace(QStringLiteral("sotto/../"), QString()));
    QDir::setCurrent(home);
    EXPECT_EQ(window->project().projectPath, file);
    EXPECT_EQ(firstRecent(), file);
    EXPECT_EQ(window->windowTitle(), file);

    // The same file opened through Apri is the same entry, not a second one.
    ask.fileNames = {dir.path() + QStringLiteral("/./esempio.vlm")};
    ask.answers = {Answer::No};
    trigger("mnuApri");
    EXPECT_EQ(firstRecent(), file);
    EXPECT_FALSE(window->recentFiles().entryVisible(1));
}

TEST_F(FileCommandsTest, SaveAsAddsTheExtensionOnlyWhenThereIsNone) {
    start();
    for (const auto& [typed, written] : {std::pair{"prova", "prova.vlm"}, std::pair{"altro.vlm", "altro.vlm"},
                                          std::pair{"rete.v1", "rete.v1"}}) {
        ask.fileNames = {dir.filePath(QString::fromLatin1(typed))};
        trigger("mnuSaveas");
        EXPECT_EQ(window->project().projectPath, dir.filePath(QString::fromLatin1(written))) << typed;
        EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromLatin1(written)))) << typed;
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("prova"))));
}

TEST_F(FileCommandsTest, OpenAsksToSaveTheNetworkItReplaces) {
    start();
    const QString other = saveChain(QStringLiteral("altro.vlm"), 4);
    window->project().NodeTable[1].name = QStringLiteral("Lavoro in corso");

    // Yes on a project never saved: Save As first, then the file chosen is opened.
    ask.fileNames = {other, dir.filePath(QStringLiteral("salvato.vlm"))};
    ask.answers = {Answer::Yes};
    trigger("mnuApri");
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], kSaveFirst);
    EXPECT_EQ(window->project().projectPath, other);
    Project saved = Project::withCataloguesOf(window->project());
    ASSERT_TRUE(ReadProject(saved, dir.filePath(QStringLiteral("salvato.vlm"))).ok());
    EXPECT_EQ(saved.NodeTable[1].name, QStringLiteral("Lavoro in corso"));

    // Yes, but the Save As is cancelled: nothing is opened, nothing lost.
    window->project().NodeTable[1].name = QStringLiteral("Ancora");
    window->project().projectPath = kNewProjectPath;
    ask.fileNames = {other};
    ask.answers = {Answer::Yes};
    trigger("mnuApri");
    EXPECT_EQ(window->project().NodeTable[1].name, QStringLiteral("Ancora"));

    // A cancelled file dialog asks nothing.
    ask.messages.clear();
    trigger("mnuApri");
    EXPECT_TRUE(ask.messages.empty());
}
