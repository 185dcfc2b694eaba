#include "storage/ProjectFile.h"
#include "platform/FileAccess.h"
#include "tests/GoldenFiles.h"
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

// A project with a recognisable state that a refused read must leave alone.
Project recognisableProject() {
    Project p = projectWithTestCatalogues();
    std::mt19937 rng(7);
    buildRandom(p, rng, 25);
    p.projectNotes = QStringLiteral("prima");
    p.supplyPressure = 31000;
    p.lastSeries = 2;
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

// `bytes` read into a recognisable project: a refusal must leave it as it was, and a network
// read that the calculation takes gives a finite flow (`calculation`: what it said).
ReadOutcome readOverRecognisable(const QByteArray& bytes, Project& p,
                                 CalculationOutcome* calculation = nullptr) {
    const Project before = p;
    const ReadOutcome r = readProjectText(p, bytes);
    if (!r.ok()) {
        expectUntouched(p, before);
        return r;
    }
    CalculationOutcome calculated;
    const NetworkResults results = Calculated(p, &calculated);
    if (calculated.ok) {
        EXPECT_TRUE(std::isfinite(results.totalFlow));
    }
    if (calculation)
        *calculation = calculated;
    return r;
}

} // namespace

// Read back, they are ends without terminal (letture/progetti/estremi-di-collettore.vlm).
TEST(ProjectFile, ManifoldEndsAreWrittenAsTheirCodes) {
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
    }
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

// Every file under tests/data/letture/progetti read over a recognisable project: what was
// read, as the program writes it back, or the refusal, which leaves the project alone. Old
// files' quirks (LF or CR line ends, Ctrl-Z and NUL padding, Windows-1252, numbers without a
// leading zero, statuses outside 0..3, a second line of notes) are read; damaged ones are
// refused whole, naming their line. The block after the tree ("blocco-*"): each line read
// or refused on its own (its limits among them), lines of a newer version kept and written
// back, the tree never lost for a line of it.
TEST(ProjectFile, FilesAsReadOrRefused) {
    const QDir folder(QStringLiteral(VALMORA_TEST_DATA_DIR "/letture/progetti"));
    QString seen;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        SCOPED_TRACE(name.toStdString());
        Project p = recognisableProject();
        CalculationOutcome calculation;
        const ReadOutcome r = readOverRecognisable(readBytes(folder.filePath(name)), p, &calculation);
        seen += QStringLiteral("== %1 ==\n").arg(name);
        if (r.ok()) {
            seen +=
                QStringLiteral("letto, calcolo %1\n").arg(calculation.ok ? "riuscito" : calculation.message);
            if (!r.notices.empty())
                seen += readNoticesText(r.notices, QStringLiteral("progetto")) + u'\n';
            seen +=
                QString::fromUtf8(projectFileBytes(p)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        } else {
            const char* part = r.status == ReadOutcome::Status::BadHeader ? "intestazione" : "nodo";
            seen += QStringLiteral("rifiutato (%1) riga %2: %3\n").arg(part).arg(r.line).arg(r.message);
        }
    }
    expectGolden(QStringLiteral("letture/progetti.txt"), seen);

    // A structure code 1 damaged into 6 would otherwise drop the lines after it unseen; more
    // nodes than sixteen bits hold are refused at the first one too many.
    QByteArray tooManyNodes = kHeader;
    for (int i = 1; i < 40000; ++i)
        tooManyNodes += "0,1,0,1,1,0,\"N\"\r\n";
    tooManyNodes += "9,1,0,1,1,0,\"Fine\"\r\n1,0\r\n";
    Project p = recognisableProject();
    const ReadOutcome r = readOverRecognisable(tooManyNodes, p);
    EXPECT_EQ(r.status, ReadOutcome::Status::BadNode);
    EXPECT_EQ(r.line, 5 + kMaxTableIndex + 1);
    EXPECT_TRUE(r.message.contains(QStringLiteral("32767"))) << r.message.toStdString();
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
        Project p = recognisableProject();
        readOverRecognisable(bytes, p);
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
}

TEST(ProjectFile, EverySaveKeepsThePreviousVersionAsBackup) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("impianto.vlm"));
    const QString backup = path + QStringLiteral(".bak");
    Project p = recognisableProject();
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
    // A folder in the file's place is left alone (the FIFO's and the missing folder's refusals
    // are among the writers' tests); a FIFO would block a read, the rest is no project file.
    const SaveOutcome failed = SaveProject(recognisableProject(), folder);
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.message.startsWith(QStringLiteral("Errore in scrittura: ")) &&
                !failed.reason.isEmpty())
        << failed.message.toStdString();
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
