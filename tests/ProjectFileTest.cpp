#include "storage/ProjectFile.h"
#include "model/FileAccess.h"
#include "model/Traversal.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

using namespace valmora;
using namespace valmora::testkit;

namespace {

const QByteArray kHeader = "\"Impianto prova\"\r\n40000\r\n1\r\n1\r\n0\r\n";

// The worked example: A continues to B (closed, terminal of type 2 at 3.5 m) and
// derives C (locked, open end). Its file:
const QByteArray kWorkedExampleFile = kHeader + "1,12.5,2,3,1,0,\"A\"\r\n" // line 6
                                                "9,4,0,2,1,2,\"B\"\r\n"    // line 7
                                                "2,3.5\r\n"                // line 8
                                                "6,7,1,1,1,1,\"C\"\r\n";   // line 9

Project workedExample() {
    Project p = projectWithTestCatalogues();
    p.projectNotes = QStringLiteral("Impianto prova");
    NetworkBuilder build(p);
    const int16_t a = build.root({QStringLiteral("A"), 12.5f, 2, 1, 3});
    const int16_t c = build.deriveAt(a, {QStringLiteral("C"), 7, 1, 1, 1, false, true});
    const int16_t b = build.continueAfter(a, {QStringLiteral("B"), 4, 0, 1, 2, true, false});
    build.endWithTerminal(b, 2, 3.5f);
    (void)c;
    return p;
}

// A project with a recognisable state that a refused read must leave alone.
Project recognisableProject() {
    Project p = projectWithTestCatalogues();
    std::mt19937 rng(7);
    buildRandom(p, rng, 25);
    p.projectNotes = QStringLiteral("prima");
    p.supplyPressure = 31000;
    p.lastSeries = 2;
    EXPECT_TRUE(Calculate(p).ok);
    return p;
}

// Everything a project file stores.
void expectSameStored(const Project& now, const Project& before) {
    EXPECT_EQ(storedNetwork(now), storedNetwork(before));
    EXPECT_EQ(now.projectNotes, before.projectNotes);
    EXPECT_EQ(now.supplyPressure, before.supplyPressure);
    EXPECT_EQ(now.lastSeries, before.lastSeries);
    EXPECT_EQ(now.lastTerminalType, before.lastTerminalType);
}

void expectUntouched(const Project& now, const Project& before) {
    expectSameStored(now, before);
    EXPECT_EQ(now.totalFlow, before.totalFlow);
    EXPECT_EQ(now.nodeCount(), before.nodeCount());
    EXPECT_EQ(now.terminalCount(), before.terminalCount());
}

// `bytes` read over the test catalogues; the read must succeed.
Project readBack(const QByteArray& bytes) {
    Project p = projectWithTestCatalogues();
    const ReadOutcome r = readProjectText(p, bytes);
    EXPECT_TRUE(r.ok()) << r.message.toStdString();
    return p;
}

// `bytes` read into a recognisable project: a refusal must leave it as it was, and a read
// that calculates gives a finite flow.
ReadOutcome readOverRecognisable(const QByteArray& bytes) {
    Project p = recognisableProject();
    const Project before = p;
    const ReadOutcome r = readProjectText(p, bytes);
    if (!r.ok()) {
        expectUntouched(p, before);
    } else if (r.calculation.ok) {
        EXPECT_TRUE(std::isfinite(p.totalFlow));
    }
    return r;
}

} // namespace

TEST(ProjectFile, ManifoldEndsAreWrittenAsTheirCodesAndReadAsEndsWithoutTerminal) {
    // -4 + 10 would be 6, the open end's code: it is written as 5.
    for (const auto& [kind, code] :
         {std::pair{-2, "8,"}, std::pair{-3, "7,"}, std::pair{-4, "5,"}, std::pair{0, "6,"}}) {
        SCOPED_TRACE(kind);
        Project p = projectWithTestCatalogues();
        p.NodeTable[1].next = static_cast<int16_t>(kind);
        p.NodeTable[1].derivation = 0;
        const QByteArray bytes = projectFileBytes(p);
        EXPECT_TRUE(bytes.endsWith("0\r\n" + QByteArray(code) + "0,1,1,1,0,\"Radice\"\r\n"))
            << bytes.toStdString();
        EXPECT_EQ(readBack(bytes).NodeTable[1].next, kEndWithoutTerminal);
    }
}

TEST(ProjectFile, WorkedExampleWrittenThenReadRenumberedAndCalculated) {
    EXPECT_EQ(projectFileBytes(workedExample()), kWorkedExampleFile);

    Project p = projectWithTestCatalogues();
    const ReadOutcome r = readProjectText(p, kWorkedExampleFile);
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    ASSERT_TRUE(r.calculation.ok);
    ASSERT_EQ(p.nodeCount(), 3);
    // Renumbered in file order (A = 1, B = 2, C = 3), which the example built in memory is not.
    EXPECT_EQ(storedNetwork(p), storedNetwork(workedExample()));
    EXPECT_EQ(networkPreorder(p), (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(p.NodeTable[0].next, 1);
    EXPECT_EQ(p.NodeTable[2].derivation, 1); // B's terminal record
    EXPECT_EQ(p.maxHeight, 3.5f);
    EXPECT_GT(p.totalFlow, 0);
}

TEST(ProjectFile, VariedNetworksComeBackFieldByFieldAndByteForByte) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        Project original = projectWithTestCatalogues();
        buildRandom(original, rng, 1 + round * 5);
        original.projectNotes = QStringLiteral("Nota %1\r\nseconda riga, con virgola").arg(round);
        original.supplyPressure = 20000 + round * 777;
        original.lastSeries = static_cast<int16_t>(round % 3);
        original.lastTerminalType = static_cast<int16_t>(round % 3);
        const QByteArray bytes = projectFileBytes(original);

        const Project read = readBack(bytes);
        expectSameStored(read, original);
        EXPECT_EQ(projectFileBytes(read), bytes);
    }
}

TEST(ProjectFile, NamesAreTrimmedAndQuotesCannotBreakTheFile) {
    Project p = projectWithTestCatalogues();
    p.NodeTable[1].name = QStringLiteral("  Radice \"nord\"  ");
    p.projectNotes = QStringLiteral("Il \"vecchio\" impianto");
    const QByteArray bytes = projectFileBytes(p);
    EXPECT_TRUE(bytes.contains("\"Radice 'nord'\""));
    EXPECT_TRUE(bytes.startsWith("\"Il 'vecchio' impianto\"\r\n"));
    EXPECT_EQ(readBack(bytes).NodeTable[1].name, QStringLiteral("Radice 'nord'"));
}

TEST(ProjectFile, ReaderTolerances) {
    // LF and CR line ends, numbers without a leading zero and with exponents, statuses
    // outside 0..3 (5 and 6, with the locked and the closed bit: neither is taken), a second
    // header line of text folded into the notes, the supply rounded half to even, and a
    // manifold end read as an end without terminal.
    const QByteArray text = "\"Prima riga\"\n\"seconda riga\"\r40000.5\n2\n1\n0\n"
                            "1,.5,1E-05,3,1,5,\"A\"\r"
                            "8,2.5E+01,0,1,1,6,\"B\"\n"
                            "9,4,-.25,0,0,3,\"KV\"\n0,0.5\n";
    const Project p = readBack(text);
    EXPECT_EQ(p.projectNotes, QStringLiteral("Prima riga\r\nseconda riga"));
    EXPECT_EQ(p.supplyPressure, 40000);
    EXPECT_EQ(p.lastSeries, 2);
    Project expected = projectWithTestCatalogues();
    NetworkBuilder build(expected);
    const int16_t a = build.root({QStringLiteral("A"), 0.5f, 1e-5f, 1, 3});
    build.continueAfter(a, {QStringLiteral("B"), 25, 0, 1, 1});
    build.endWithTerminal(build.deriveAt(a, {QStringLiteral("KV"), 4, -0.25f, 0, 0, true, true}), 0, 0.5f);
    EXPECT_EQ(storedNetwork(p), storedNetwork(expected));
}

TEST(ProjectFile, OldFilesWithHarmlessQuirksAreRead) {
    const QByteArray tree = "9,10,0,1,1,0,\"A\"\r\n1,0";
    struct Case {
        const char* what;
        QByteArray bytes;
        void (*check)(const Project&);
    };
    const Case cases[] = {
        {"empty notes as a blank first line", "\r\n40000\r\n1\r\n1\r\n0\r\n" + tree + "\r\n",
         [](const Project& p) {
             EXPECT_EQ(p.projectNotes, QString());
             EXPECT_EQ(p.supplyPressure, 40000);
         }},
        {"Ctrl-Z after the last line", kHeader + tree + "\r\n\x1A", nullptr},
        {"Ctrl-Z ending the last line", kHeader + tree + "\x1A", nullptr},
        {"NUL bytes after the tree", kHeader + tree + "\r\n" + QByteArray(64, '\0'), nullptr},
        {"blank lines after the tree", kHeader + tree + "\r\n\r\n\r\n", nullptr},
        {"a length too small for 32 bits", kHeader + "9,1E-50,-1E-300,1,1,0,\"A\"\r\n1,1E-400\r\n",
         [](const Project& p) {
             EXPECT_EQ(p.NodeTable[1].length, 0.0f);
             EXPECT_EQ(p.NodeTable[1].virtualLength, 0.0f);
             EXPECT_EQ(p.TerminalTable[1].height, 0.0f);
         }},
        {"last series and type the catalogues lack", "\"n\"\r\n40000\r\n9\r\n9\r\n0\r\n" + tree,
         [](const Project& p) {
             EXPECT_EQ(p.lastSeries, 1);
             EXPECT_EQ(p.lastTerminalType, 1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Project p = readBack(c.bytes);
        EXPECT_EQ(p.nodeCount(), 1);
        if (c.check)
            c.check(p);
    }
}

TEST(ProjectFile, OldFilesInWindows1252ComeBackAsUtf8) {
    const Project p = readBack(
        "\"Citt\xE0 alta \x80\"\r\n40000\r\n1\r\n1\r\n0\r\n9,10,0,1,1,0,\"Pi\xF9 gi\xF9\"\r\n1,0\r\n");
    EXPECT_EQ(p.projectNotes, QStringLiteral("Città alta €"));
    EXPECT_EQ(p.NodeTable[1].name, QStringLiteral("Più giù"));
    EXPECT_TRUE(projectFileBytes(p).contains("\"Pi\xC3\xB9 gi\xC3\xB9\""));
}

TEST(ProjectFile, MalformedNodeLinesAreRefusedWholeWithTheirLine) {
    const QByteArray& good = kWorkedExampleFile;
    struct Case {
        const char* what;
        QByteArray bytes;
        int line;
        const char* says;
    };
    const auto with = [&good](const char* from, const char* to) {
        return QByteArray(good).replace(from, to);
    };
    QByteArray tooManyNodes = kHeader;
    for (int i = 1; i < 40000; ++i)
        tooManyNodes += "0,1,0,1,1,0,\"N\"\r\n";
    tooManyNodes += "9,1,0,1,1,0,\"Fine\"\r\n1,0\r\n";
    const Case cases[] = {
        {"truncated in the middle of a line", good.left(good.indexOf("\"B\"")), 7, "fine del file"},
        {"truncated before the derivation", good.left(good.indexOf("6,7")), 9, "fine del file"},
        {"truncated before the terminal", good.left(good.indexOf("2,3.5")), 8, "fine del file"},
        {"extra value", with("9,4,0,2,1,2,\"B\"", "9,4,0,2,1,2,\"B\",5"), 7, "non è all'inizio della riga"},
        {"missing value", with("9,4,0,2,1,2,\"B\"", "9,4,0,2,1,\"B\""), 7, "trovato \"B\""},
        {"bad number", with("9,4,0", "9,quattro,0"), 7, "\"quattro\""},
        {"series out of range", with("9,4,0,2,1", "9,4,0,2,3"), 7, "serie di tubi 3"},
        {"diameter out of range", with("9,4,0,2,1", "9,4,0,4,1"), 7, "diametro 4"},
        {"terminal type out of range", with("2,3.5", "3,3.5"), 8, "tipo di terminale 3"},
        // A structure code 1 damaged into 6 would otherwise drop the lines after it unseen.
        {"lines after the tree", with("1,12.5", "6,12.5").left(good.indexOf("6,7")), 7, ""},
        {"lines after end-of-file padding", good + "\x1A\r\n6,1,0,1,1,0,\"X\"\r\n", 10, ""},
        {"more nodes than sixteen bits hold", tooManyNodes, 5 + kMaxTableIndex + 1, "32767"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadOutcome r = readOverRecognisable(c.bytes);
        EXPECT_EQ(r.status, ReadOutcome::Status::BadNode);
        EXPECT_EQ(r.line, c.line);
        EXPECT_TRUE(r.message.startsWith(QStringLiteral("Errore legginodo riga %1: ").arg(c.line)))
            << r.message.toStdString();
        EXPECT_TRUE(r.message.contains(QString::fromUtf8(c.says))) << r.message.toStdString();
    }
}

TEST(ProjectFile, BadHeaderIsRefusedWithoutTouchingTheProject) {
    for (const QByteArray& bytes :
         {QByteArray("\"solo note\"\r\n"), QByteArray("\"n\"\r\n1E+12\r\n1\r\n1\r\n0\r\n"),
          QByteArray("\"n\"\r\n1E300\r\n1\r\n1\r\n0\r\n"), QByteArray("\"n\"\r\n40000\r\nx\r\n1\r\n0\r\n"),
          QByteArray()}) {
        const ReadOutcome r = readOverRecognisable(bytes);
        EXPECT_EQ(r.status, ReadOutcome::Status::BadHeader) << bytes.toStdString();
        EXPECT_TRUE(r.message.startsWith(QStringLiteral("Errore file: riga "))) << r.message.toStdString();
    }
}

TEST(ProjectFile, NoInputCrashesTheReader) {
    // Every outcome is a read or a refusal that leaves the project alone.
    std::mt19937 rng(99);
    Project source = projectWithTestCatalogues();
    buildRandom(source, rng, 40);
    const QByteArray good = projectFileBytes(source);
    const char alphabet[] = "0123456789,.-\"\r\nE+ x";
    for (int round = 0; round < 1500; ++round) {
        QByteArray bytes = good;
        const int edits = std::uniform_int_distribution<int>(1, 4)(rng);
        for (int e = 0; e < edits; ++e) {
            const int at = std::uniform_int_distribution<int>(0, int(bytes.size()) - 1)(rng);
            const char c = alphabet[std::uniform_int_distribution<int>(0, sizeof(alphabet) - 2)(rng)];
            switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
            case 0:
                bytes[at] = c;
                break;
            case 1:
                bytes.insert(at, c);
                break;
            default:
                bytes.remove(at, 1);
                break;
            }
        }
        if (round % 10 == 0)
            bytes.truncate(std::uniform_int_distribution<int>(0, int(bytes.size()))(rng));
        readOverRecognisable(bytes);
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
}

TEST(ProjectFile, EverySaveKeepsThePreviousVersionAsBackup) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("impianto.vlm"));
    const QString backup = path + QStringLiteral(".bak");
    Project p = workedExample();
    QByteArray previous;
    for (int save = 1; save <= 3; ++save) {
        SCOPED_TRACE(save);
        p.supplyPressure = 30000 + save;
        const SaveOutcome saved = SaveProject(p, path);
        ASSERT_TRUE(saved.ok) << saved.message.toStdString();
        EXPECT_TRUE(saved.backupWarning.isEmpty()) << saved.backupWarning.toStdString();
        EXPECT_EQ(readBytes(path), projectFileBytes(p));
        EXPECT_EQ(QFile::exists(backup), save > 1);
        if (save > 1) {
            EXPECT_EQ(readBytes(backup), previous);
        }
        previous = readBytes(path);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no staging file left behind

    // A backup that cannot be replaced: saved all the same, with a warning, the old one left.
    ASSERT_TRUE(QFile::remove(backup));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("impianto.vlm.bak")));
    p.supplyPressure = 40000;
    const SaveOutcome saved = SaveProject(p, path);
    EXPECT_TRUE(saved.ok);
    EXPECT_TRUE(saved.backupWarning.contains(QStringLiteral("impianto.vlm.bak")))
        << saved.backupWarning.toStdString();
    EXPECT_EQ(readBytes(path), projectFileBytes(p));
    EXPECT_TRUE(QFileInfo(backup).isDir());
}

TEST(ProjectFile, OnlyRegularFilesAreWrittenOrRead) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("tubo.vlm"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("cartella.vlm"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("cartella.vlm")));
    const QString huge = dir.filePath(QStringLiteral("enorme.vlm"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) &&
                    file.resize(kMaxDataFileBytes + 1)); // sparse: no disk used
    }
    const Project p = workedExample();
    // A FIFO would block both ways; the rest is no project file.
    for (const QString& path : {fifo, folder, dir.filePath(QStringLiteral("manca/impianto.vlm"))}) {
        SCOPED_TRACE(path.toStdString());
        const SaveOutcome failed = SaveProject(p, path);
        EXPECT_FALSE(failed.ok);
        EXPECT_TRUE(failed.message.startsWith(QStringLiteral("Errore in scrittura: ")) &&
                    !failed.reason.isEmpty())
            << failed.message.toStdString();
    }
    EXPECT_EQ(QFileInfo(fifo).isFile(), false);
    EXPECT_TRUE(QFileInfo(folder).isDir());

    for (const QString& path :
         {fifo, folder, huge, QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("nessuno.vlm"))}) {
        SCOPED_TRACE(path.toStdString());
        Project read = recognisableProject();
        const Project before = read;
        const ReadOutcome r = ReadProject(read, path);
        EXPECT_EQ(r.status, ReadOutcome::Status::CannotOpen);
        EXPECT_TRUE(r.message.startsWith(QStringLiteral("Errore file: ")) && !r.detail.isEmpty());
        expectUntouched(read, before);
    }
}
