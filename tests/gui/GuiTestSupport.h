#pragma once

// What the window tests share: a host that records what grid windows ask of it, key
// presses, dialog fields, and numbers written the way the locale under test shows them.

#include "app/TbMain.h"
#include "editor/NetworkChecks.h"
#include "editor/frmTubi.h"
#include "platform/ScriptedInteraction.h"
#include "schema/frmSchema.h"
#include "tests/TestFiles.h"
#include "tests/gui/Transcript.h"
#include "tests/support/NetworkBuilder.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

namespace valmora::guitest {

struct FakeHost : GridWindowHost {
    std::vector<bool> editButtons; // every call, in turn
    int saves = 0;
    bool saveSucceeds = true;
    bool ended = false;
    std::vector<int16_t> opened;

    void setEditButtonsEnabled(bool enabled) override { editButtons.push_back(enabled); }
    bool saveProject() override {
        ++saves;
        return saveSucceeds;
    }
    void endProgram() override { ended = true; }
    bool endingProgram() const override { return ended; }
    void openBranchWindow(int16_t firstNode) override { opened.push_back(firstNode); }
    void networkShapeChanged() override {}
    void rebuildActiveWindow() override {}
};

// The cell colours of the grid windows.
inline const QColor kYellow(255, 255, 0);       // pipe series and diameter
inline const QColor kCyan(0, 255, 255);         // flow
inline const QColor kMagenta(255, 0, 255);      // a locked diameter
inline const QColor kClosedPink(255, 140, 140); // the results of a closed section
inline const QColor kCheckOrange(255, 170, 60); // what the checks flag
inline const QColor kSchemaRed(255, 0, 0);      // a closed section on the schema

// A decimal number written in C form in the test, as the default locale shows or types it:
// the period becomes the locale's decimal point. Only for numbers without grouping.
inline QString inLocale(QString cForm) {
    return cForm.replace(QLatin1Char('.'), QLocale().decimalPoint());
}
inline QString inLocale(const char* cForm) {
    return inLocale(QString::fromLatin1(cForm));
}

using testkit::LocaleScope;

inline void key(QWidget* target, int code, const QString& text = QString(),
                Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QApplication::sendEvent(target, &press);
}

// Characters typed into a grid window (a branch's or the loop pipes'): to the grid, then to
// the text box once it is open.
template <typename Window> void type(Window& window, const QString& text) {
    for (const QChar c : text)
        key(window.editing() ? static_cast<QWidget*>(window.Txtedit) : window.Griglia, 0, QString(c));
}

template <typename Widget> Widget* field(QDialog& dialog, const char* name) {
    return dialog.findChild<Widget*>(QString::fromLatin1(name));
}

// Events handled until `done`, for what the program does a moment after a change.
inline void waitFor(const std::function<bool()>& done) {
    QDeadlineTimer patience(10000);
    while (!done() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A schema window's host: records what the window asks of it; checks the network when given it.
struct FakeSchemaHost : SchemaHost {
    std::vector<bool> active;
    std::vector<bool> diameterButtons;
    std::vector<std::vector<int16_t>> editors;
    int changes = 0;
    void setSchemaActive(bool on) override { active.push_back(on); }
    void setDiameterButtonsEnabled(bool enabled) override { diameterButtons.push_back(enabled); }
    void showBranchEditors(const std::vector<int16_t>& firstNodes) override { editors.push_back(firstNodes); }
    void schemaChangedNetwork() override { ++changes; }
    QPrinter printer{QPrinter::HighResolution};
    QPrinter& sessionPrinter() override { return printer; }
    const Workspace* workspace = nullptr;
    NetworkChecks checks;
    const NetworkChecks* networkChecks() override {
        if (!workspace)
            return nullptr;
        checks.update(workspace->project, workspace->results);
        return &checks;
    }
};

// A project over the test catalogues, grid windows on it, a scripted user, a recording host.
class GridWindowFixture : public ::testing::Test {
protected:
    Workspace ws{testkit::projectWithTestCatalogues()};
    Project& p = ws.project;
    ScriptedInteraction ask;
    FakeHost host;
    GridIcons icons;

    std::unique_ptr<frmTubi> open(int16_t firstNode) {
        auto window = std::make_unique<frmTubi>(ws, ask, host, icons, firstNode);
        window->compilatab();
        window->rinfresca();
        return window;
    }
    QImage icon(GridIcon which) const { return icons.picture(which).toImage(); }
};

// The running program over a temporary folder (its settings file there), a scripted user, a
// transcript that writes the folder as <cartella>.
class MainWindowFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedInteraction ask;
    std::unique_ptr<TbMain> window;
    bool started = false;
    GridIcons icons;
    Transcript seen{ask, icons};
    const QString home = QDir::currentPath();

    MainWindowFixture() { seen.hide(dir.path(), QStringLiteral("<cartella>")); }
    ~MainWindowFixture() override { QDir::setCurrent(home); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void open(const QString& commandLine = QString(),
              const QString& catalogues = QStringLiteral(VALMORA_DATA_DIR)) {
        window.reset();
        window = std::make_unique<TbMain>(
            ask, std::make_unique<QSettings>(path(QStringLiteral("impostazioni.ini")), QSettings::IniFormat),
            CatalogueSearch::inDirectory(catalogues));
        started = window->start(commandLine);
    }
    // A copy of the example under `name` in the temporary folder, the current one now, opened.
    QString openExampleCopy(const QString& name = QStringLiteral("esempio.vlm")) {
        const QString file = path(name);
        EXPECT_TRUE(QFile::copy(QStringLiteral(VALMORA_DATA_DIR "/esempio.vlm"), file));
        QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_TRUE(QDir::setCurrent(dir.path()));
        open(file);
        EXPECT_TRUE(started);
        return file;
    }
    Project& project() { return window->project(); }
    NetworkResults& results() { return window->document().results(); }
    Session& session() { return window->document().session(); }
    frmTubi* trunk() { return window->trunkWindow(); }
    QAction* action(const char* name) { return window->findChild<QAction*>(QString::fromLatin1(name)); }
    void trigger(const char* name) {
        QAction* a = action(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    void button(const char* name) { window->toolbarButton(QString::fromLatin1(name))->trigger(); }
    QList<QMdiSubWindow*> frames() const { return window->mdiArea()->subWindowList(); }
};

} // namespace valmora::guitest
