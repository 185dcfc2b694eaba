// Every writer of the program against what the file system can do to it: a disk that fills
// during the write, a link in the file's place, a link to nothing, a FIFO, the project
// itself or its backup named as the output, a file made read-only, a writer killed midway.
// The previous file must survive every failure, and no failure may be reported as a success.

#include "cli/CliCommands.h"
#include "platform/FileAccess.h"
#include "report/Materials.h"
#include "storage/ProjectFile.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace valmora;
using namespace valmora::testkit;

namespace {

const QByteArray kOldContent = QByteArrayLiteral("versione precedente\n");
// Below every output of the example project, above the old content.
constexpr rlim_t kFullDiskBytes = 200;

// The disk "fills" at `bytes`: a write past it fails with the system's reason (as on a
// full disk, the write comes back short). For this process, or for a child process.
void limitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

// The disk full at `bytes` for one scope, when `on`.
class FileSizeLimit {
public:
    explicit FileSizeLimit(bool on, rlim_t bytes = kFullDiskBytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        if (on)
            limitFileSize(bytes);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

struct Outcome {
    bool ok = false;
    QString message;
    int exitCode = 0; // the command-line tool's
};

QString exampleProject() {
    return QDir(shippedDataDirectory()).filePath(QStringLiteral("esempio.vlm"));
}

// The example with the verification's settings in its block.
QString exampleWithBlock() {
    return QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/esempio.vlm");
}

// The command-line tool, its standard output into `output` if one is named.
Outcome runTool(const QStringList& arguments, bool fullDisk, const QString& output = {}) {
    QProcess tool;
    tool.setProgram(QStringLiteral(VALMORA_CLI));
    tool.setArguments(arguments + QStringList{QStringLiteral("--catalogues"), shippedDataDirectory()});
    if (!output.isEmpty())
        tool.setStandardOutputFile(output);
    if (fullDisk)
        tool.setChildProcessModifier([] { limitFileSize(kFullDiskBytes); });
    tool.start();
    tool.waitForFinished(-1);
    return {tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
            QString::fromUtf8(tool.readAllStandardError()), tool.exitCode()};
}

Project loaded(const QString& projectFile) {
    Project p = projectWithShippedCatalogues();
    EXPECT_TRUE(ReadProject(p, projectFile).ok());
    p.projectPath = projectFile;
    return p;
}

struct Writer {
    const char* name;
    const char* extension;
    bool refusesLinks;     // writes only a file of its own
    bool writesTheProject; // its output is the project: nothing to protect from it
    // Writes `out` from the project file `projectFile`.
    std::function<Outcome(const QString& projectFile, const QString& out, bool fullDisk)> write;
};

// The tool's `command`, which writes `out` from the project.
std::function<Outcome(const QString&, const QString&, bool)> toolWriter(const char* command) {
    return [command](const QString& project, const QString& out, bool fullDisk) {
        return runTool({QString::fromLatin1(command), project, out}, fullDisk);
    };
}

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all = {
        {"progetto", ".vlm", false, true,
         [](const QString& project, const QString& out, bool fullDisk) {
             const Project p = loaded(project);
             const FileSizeLimit limit(fullDisk);
             const SaveOutcome saved = SaveProject(p, out);
             return Outcome{saved.ok, saved.message};
         }},
        {"materiali", ".txt", false, false,
         [](const QString& project, const QString& out, bool fullDisk) {
             Project p = loaded(project);
             // The text's name is the project's with "txt" for its last three letters.
             if (!isSameFile(project, out))
                 p.projectPath = out.chopped(3) + QStringLiteral("vlm");
             const FileSizeLimit limit(fullDisk);
             const MaterialsTextOutcome written = writeMaterialsText(p, totalMaterials(p, Calculated(p)));
             EXPECT_EQ(written.fileName, out);
             return Outcome{written.ok, written.reason};
         }},
        {"ritaglio", ".idx", true, false,
         [](const QString& project, const QString& out, bool fullDisk) {
             const Project p = loaded(project);
             const FileSizeLimit limit(fullDisk);
             const WriteOutcome written = writeSnippet(p, 1, out);
             return Outcome{written.ok, written.reason};
         }},
        {"export-inp", ".inp", false, false, toolWriter("export-inp")},
        {"report", ".pdf", false, false, toolWriter("report")},
        {"schema", ".pdf", false, false, toolWriter("schema")},
        {"curves", ".png", false, false, toolWriter("curves")},
    };
    return all;
}

enum class Case { FullDisk, ThroughLink, DanglingLink, Fifo, SameFileAsProject, ProjectBackup, ReadOnly };

class WritersTest : public ::testing::TestWithParam<Case> {
protected:
    QTemporaryDir dir;
    QString project;

    void SetUp() override {
        project = dir.filePath(QStringLiteral("rete.vlm"));
        ASSERT_TRUE(QFile::copy(exampleWithBlock(), project));
        ASSERT_TRUE(readBytes(project).contains("\r\n\"Valmora\",1\r\n\"verifica\","));
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_P(WritersTest, NeverLoseTheOldFileNorCallAFailureASuccess) {
    const Case scenario = GetParam();
    for (const Writer& writer : writers()) {
        SCOPED_TRACE(writer.name);
        const bool materials = QString::fromLatin1(writer.name) == QLatin1String("materiali");
        // The project may be saved over anything of its own; the materials' name is the project's.
        if ((scenario == Case::SameFileAsProject || scenario == Case::ProjectBackup) &&
            writer.writesTheProject)
            continue;
        if (scenario == Case::ProjectBackup && materials)
            continue;
        const QString extension = QString::fromLatin1(writer.extension);
        QString out = path(QStringLiteral("uscita") + extension);
        const QString target = path(QStringLiteral("bersaglio") + extension);
        QFile::remove(out);
        QFile::remove(target);
        const QByteArray projectBytes = readBytes(project);
        switch (scenario) {
        case Case::FullDisk:
            writeBytes(out, kOldContent);
            break;
        case Case::ThroughLink:
            writeBytes(target, kOldContent);
            ASSERT_TRUE(QFile::link(target, out));
            break;
        case Case::DanglingLink:
            ASSERT_TRUE(QFile::link(target, out));
            break;
        case Case::Fifo:
            ASSERT_EQ(::mkfifo(QFile::encodeName(out).constData(), 0600), 0);
            break;
        case Case::ProjectBackup:
            out = project + QStringLiteral(".bak");
            writeBytes(out, kOldContent);
            break;
        case Case::ReadOnly:
            writeBytes(out, kOldContent);
            ASSERT_EQ(::chmod(QFile::encodeName(out).constData(), 0444), 0);
            break;
        case Case::SameFileAsProject:
            // A second name of the project; for the materials, a project named "*.txt".
            if (materials) {
                out = path(QStringLiteral("progetto.txt"));
                ASSERT_TRUE(QFile::copy(project, out));
            } else {
                ASSERT_TRUE(QFile::link(project, out));
            }
            break;
        }
        const QStringList before = entries();
        const Outcome outcome = writer.write(scenario == Case::SameFileAsProject ? out : project, out,
                                             scenario == Case::FullDisk);

        const bool written = scenario == Case::ThroughLink && !writer.refusesLinks;
        EXPECT_EQ(outcome.ok, written) << outcome.message.toStdString();
        EXPECT_EQ(outcome.message.isEmpty(), written) << outcome.message.toStdString();
        // A project saved through a link keeps its previous version beside the link's target.
        const QString backup = QFileInfo(target).fileName() + QStringLiteral(".bak");
        QStringList expected = before;
        if (written && writer.writesTheProject)
            expected << backup;
        expected.sort();
        EXPECT_EQ(entries(), expected) << "no file made or left behind, none taken away";
        switch (scenario) {
        case Case::FullDisk:
        case Case::ProjectBackup:
        case Case::ReadOnly:
            EXPECT_EQ(readBytes(out), kOldContent);
            break;
        case Case::ThroughLink:
            EXPECT_TRUE(QFileInfo(out).isSymLink());
            if (written) {
                EXPECT_GT(readBytes(target).size(), kOldContent.size())
                    << "the link's target holds the new file";
                if (writer.writesTheProject) {
                    EXPECT_EQ(readBytes(path(backup)), kOldContent);
                }
            } else {
                EXPECT_EQ(readBytes(target), kOldContent);
            }
            break;
        case Case::DanglingLink:
            EXPECT_TRUE(QFileInfo(out).isSymLink());
            EXPECT_FALSE(QFileInfo::exists(target));
            break;
        case Case::Fifo:
            EXPECT_FALSE(QFileInfo(out).isFile());
            break;
        case Case::SameFileAsProject:
            EXPECT_EQ(readBytes(out), projectBytes);
            EXPECT_EQ(readBytes(project), projectBytes);
            break;
        }
    }
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* const names[] = {"FullDisk",          "ThroughLink",   "DanglingLink", "Fifo",
                                        "SameFileAsProject", "ProjectBackup", "ReadOnly"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Every, WritersTest,
                         ::testing::Values(Case::FullDisk, Case::ThroughLink, Case::DanglingLink, Case::Fifo,
                                           Case::SameFileAsProject, Case::ProjectBackup, Case::ReadOnly),
                         caseName);

TEST(StandardOutput, AFullDiskIsAFailureNotACutOutput) {
    QTemporaryDir dir;
    for (const bool fullDisk : {false, true}) {
        const Outcome outcome = runTool({QStringLiteral("calc"), exampleProject(), QStringLiteral("--json")},
                                        fullDisk, dir.filePath(QStringLiteral("calcolo.json")));
        EXPECT_EQ(outcome.exitCode, fullDisk ? kExitInvalidInput : kExitSuccess)
            << outcome.message.toStdString();
        EXPECT_EQ(
            outcome.message.contains(QStringLiteral("valmora-cli: Errore in scrittura: uscita standard: ")),
            fullDisk)
            << outcome.message.toStdString();
    }
}

TEST(AtomicWrite, NamesAsTheSystemSpellsThemAndReasonsThatSayWhere) {
    QTemporaryDir dir;
    // A name at the system's limit of 255 bytes is written, then written over.
    const QString longest = dir.filePath(QString(251, u'a') + QStringLiteral(".vlm"));
    for (const QByteArray& content : {QByteArrayLiteral("prima"), QByteArrayLiteral("seconda")}) {
        const WriteOutcome written = writeFileAtomically(longest, content);
        EXPECT_TRUE(written.ok) << written.reason.toStdString();
        EXPECT_EQ(readBytes(longest), content);
    }

    // A project named near the limit is saved; its backup's name would pass it, and the
    // designer is told plainly that the previous version was not kept.
    const QString nearLimit = dir.filePath(QString(250, u'b') + QStringLiteral(".vlm"));
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(SaveProject(p, nearLimit).ok);
    const SaveOutcome again = SaveProject(p, nearLimit);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(
        again.backupWarning,
        QStringLiteral("la versione precedente non è stata conservata: la copia di sicurezza (il nome del "
                       "file con \".bak\") avrebbe un nome di 258 byte, oltre i 255 ammessi"));
    QFile::remove(nearLimit);

    // A name that is not UTF-8 comes back byte for byte, through the command line too.
    const QByteArray foreign = QByteArrayLiteral("rete-\xff\xe8.vlm");
    EXPECT_EQ(fileNameToSystem(fileNameFromSystem(foreign)), foreign);
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$0\" save \"$1\" \"$(printf 'rete-\\377\\350.vlm')\" "
                                "--catalogues \"$2\""),
                 QStringLiteral(VALMORA_CLI), exampleProject(), shippedDataDirectory()});
    ASSERT_TRUE(shell.waitForFinished(-1));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    const QByteArray foreignPath = QFile::encodeName(dir.path()) + '/' + foreign;
    struct stat info {};
    EXPECT_EQ(::stat(foreignPath.constData(), &info), 0);
    EXPECT_EQ(::unlink(foreignPath.constData()), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "nothing written under another name";

    // A file that cannot be made is the folder's doing, and is said so.
    const QString missingFolder = dir.filePath(QStringLiteral("manca"));
    const WriteOutcome refused = writeFileAtomically(missingFolder + QStringLiteral("/rete.vlm"), "x");
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.reason.startsWith(QStringLiteral("la cartella %1 ").arg(missingFolder)))
        << refused.reason.toStdString();
}

TEST(AtomicWrite, AWriteCutShortAnywhereKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rete.vlm"));
    writeBytes(path, kOldContent);
    QByteArray content(10000, 'x');
    for (const rlim_t limit :
         {rlim_t(0), rlim_t(1), rlim_t(4095), rlim_t(4096), rlim_t(4097), rlim_t(9999)}) {
        SCOPED_TRACE(limit);
        const WriteOutcome written = [&] {
            const FileSizeLimit full(true, limit);
            return writeFileAtomically(path, content);
        }();
        EXPECT_FALSE(written.ok);
        EXPECT_FALSE(written.reason.isEmpty());
        EXPECT_EQ(readBytes(path), kOldContent);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                  1);
    }
    // A file the designer made private stays private once written anew.
    ::chmod(path.toLocal8Bit().constData(), 0600);
    EXPECT_TRUE(writeFileAtomically(path, content).ok);
    EXPECT_EQ(readBytes(path), content);
    struct stat written {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &written), 0);
    EXPECT_EQ(written.st_mode & 0777, 0600u);
}

// A save killed while it writes leaves the previous file whole; the hidden file it was writing
// is removed by the next write in the folder once its writer is gone, and a live writer's is
// left alone.
TEST(AtomicWrite, ASaveKilledMidwayLosesNothingAndLeavesNothingForLong) {
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("grande.vlm"));
    {
        Project p = projectWithShippedCatalogues();
        buildComb(p, 16000);
        p.standardSettings.standard = Standard::Uni10779;
        ASSERT_TRUE(SaveProject(p, big).ok);
    }
    const QByteArray saved = readBytes(big);
    const QString out = dir.filePath(QStringLiteral("uscita.vlm"));
    const auto startSave = [&](QProcess& tool) {
        tool.start(QStringLiteral(VALMORA_CLI), {QStringLiteral("save"), big, out,
                                                 QStringLiteral("--catalogues"), shippedDataDirectory()});
        ASSERT_TRUE(tool.waitForStarted());
    };
    const auto hidden = [&dir] {
        return QDir(dir.path()).entryList({QStringLiteral(".vlm*")}, QDir::Files | QDir::Hidden, QDir::Name);
    };
    // One save stopped while its new file is being written, then killed: surely midway.
    bool caughtMidway = false;
    for (int attempt = 0; attempt < 50 && !caughtMidway; ++attempt) {
        writeBytes(out, kOldContent);
        QProcess tool;
        startSave(tool);
        const auto process = pid_t(tool.processId());
        // Its end noticed without an event loop: the process may finish before it is caught,
        // and a finished one is signalled no more.
        const auto writing = [&] {
            return QDir(dir.path())
                       .entryList({QStringLiteral(".vlm-%1-*").arg(process)}, QDir::Files | QDir::Hidden)
                       .size() > 0;
        };
        bool finished = false;
        while (!writing() && !(finished = tool.waitForFinished(0)))
            ;
        if (!finished) {
            ::kill(process, SIGSTOP);
            caughtMidway = writing();
            ::kill(process, SIGKILL);
        }
        tool.waitForFinished(-1);
        EXPECT_TRUE(readBytes(out) == kOldContent || readBytes(out) == saved);
    }
    ASSERT_TRUE(caughtMidway);
    EXPECT_EQ(readBytes(out), kOldContent);
    // What the kills left, aged past the minute; beside it a live writer's (process 1) and a
    // day-old one of the older kind.
    writeBytes(dir.filePath(QStringLiteral(".vlm-1-abcdef")), "di uno che scrive ancora");
    writeBytes(dir.filePath(QStringLiteral(".vlmABCDEF")), "di una versione precedente");
    const auto age = [&dir](const QString& name, int seconds) {
        const timespec times[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(name)).constData(), times, 0);
    };
    for (const QString& name : hidden())
        age(name, name == QLatin1String(".vlmABCDEF") ? 2 * 24 * 3600 : 120);
    ASSERT_TRUE(writeFileAtomically(out, saved).ok);
    EXPECT_EQ(hidden(), QStringList{QStringLiteral(".vlm-1-abcdef")});
}
