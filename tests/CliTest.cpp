#include "cli/CalculationReport.h"
#include "cli/CliCommands.h"
#include "model/Calculation.h"
#include "storage/ProjectFile.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;
using namespace valmora::testkit;

namespace {

// `text` as a JSON object; it must parse.
QJsonObject jsonObject(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.object();
}

class CliTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    CliResult run(QStringList arguments) const {
        arguments << QStringLiteral("--catalogues") << shippedDataDirectory();
        return runCli(arguments);
    }

    // One 50 mm steel pipe (series 1, 2"), 10 m, to a UNI 45 hydrant, plus a derived KV
    // element ending in a closed hose reel 6 m up.
    QString writeSmallProject(const char* name) const {
        Project p = projectWithShippedCatalogues();
        NetworkBuilder build(p);
        const int16_t trunk = build.root({QStringLiteral("Radice"), 10, 0, 1, 6});
        const int16_t kv = build.deriveAt(trunk, {QStringLiteral("Valvola"), 0, 25, 0, 0});
        const int16_t tail = build.continueAfter(trunk, {QStringLiteral("Coda"), 5, 1, 1, 5});
        build.endWithTerminal(tail, 1, 0);
        build.endWithTerminal(kv, 4, 6);
        p.NodeTable[kv].closed = true;
        EXPECT_TRUE(SaveProject(p, path(name)).ok);
        return path(name);
    }
};

} // namespace

// The golden outputs pin the JSON of sound projects; whatever a project holds, it stays JSON.
TEST(CalculationJson, NumbersThatAreNoNumbersBecomeNull) {
    Project p = projectWithTestCatalogues();
    buildOnePipe(p);
    p.totalFlow = INFINITY;
    p.NodeTable[1].flowFraction = NAN;
    const QJsonObject spoiled = jsonObject(calculationJson(p, QStringLiteral("x")));
    EXPECT_TRUE(spoiled[QStringLiteral("totalFlow")].isNull());
    // A path with what JSON must escape comes back as it was.
    const QString path = QStringLiteral("C:\\progetti\\\"capannone\".vlm");
    EXPECT_EQ(jsonObject(calculationJson(p, path))[QStringLiteral("project")].toString(), path);
    EXPECT_TRUE(
        spoiled[QStringLiteral("nodes")].toArray()[0].toObject()[QStringLiteral("flowFraction")].isNull());
}

TEST_F(CliTest, SaveWritesTheSameBytesBack) {
    const QString file = writeSmallProject("orig.vlm");
    const CliResult result = run({QStringLiteral("save"), file, path("copia.vlm")});
    ASSERT_EQ(result.exitCode, kExitSuccess) << result.error.toStdString();
    EXPECT_EQ(readBytes(path("copia.vlm")), readBytes(file));

    // Saved, but the backup could not be made: a warning, and still success.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("copia.vlm.bak")));
    const CliResult warned = run({QStringLiteral("save"), file, path("copia.vlm")});
    EXPECT_EQ(warned.exitCode, kExitSuccess);
    EXPECT_TRUE(
        warned.error.startsWith(path("copia.vlm") + QStringLiteral(": attenzione: copia di sicurezza")))
        << warned.error.toStdString();
}

TEST_F(CliTest, ExitCodesAndMessages) {
    for (const QStringList& usage : {QStringList{}, QStringList{"calc"}, QStringList{"calc", "a", "--bogus"},
                                     QStringList{"save", "a"}, QStringList{"calc", "a", "--catalogues"}})
        EXPECT_EQ(runCli(usage).exitCode, kExitUsage) << usage.join(u' ').toStdString();
    EXPECT_TRUE(runCli({}).error.startsWith(QStringLiteral("Uso:")));

    const CliResult missing = run({QStringLiteral("calc"), path("manca.vlm")});
    EXPECT_EQ(missing.exitCode, kExitInvalidInput);
    EXPECT_TRUE(missing.error.startsWith(path("manca.vlm"))) << missing.error.toStdString();

    writeBytes(path("rotto.vlm"), "\"x\"\r\n40000\r\n1\r\n1\r\n0\r\n0,1,0,1,1,0,\"A\"\r\n9,1,0,1,1\r\n");
    const CliResult broken = run({QStringLiteral("calc"), path("rotto.vlm"), QStringLiteral("--json")});
    EXPECT_EQ(broken.exitCode, kExitInvalidInput);
    EXPECT_TRUE(broken.output.isEmpty());
    EXPECT_TRUE(broken.error.startsWith(path("rotto.vlm") + QStringLiteral(": Errore legginodo riga ")))
        << broken.error.toStdString();
    EXPECT_EQ(broken.error.count(u'\n'), 1);

    const CliResult noCatalogues =
        runCli({QStringLiteral("calc"), path("rotto.vlm"), QStringLiteral("--catalogues"), dir.path()});
    EXPECT_EQ(noCatalogues.exitCode, kExitInvalidInput);
    EXPECT_TRUE(noCatalogues.error.contains(QStringLiteral("Vlmtubi.txt")))
        << noCatalogues.error.toStdString();

    // Read, but the catalogue cannot calculate it: named node, exit 1.
    writeBytes(dir.filePath(QStringLiteral("Vlmtubi.txt")), "\"T\",1\n\"S\",\"S\",7850,0,1,1\nx,10,12\n");
    writeBytes(dir.filePath(QStringLiteral("Vlmterm.txt")), "\"T\"\n\"A\",1,1,1,1\n\"B\",1,1,1,1\n");
    writeBytes(path("c0.vlm"), "\"x\"\r\n40000\r\n1\r\n1\r\n0\r\n9,1,0,0,1,0,\"A\"\r\n1,0\r\n");
    const CliResult refused =
        runCli({QStringLiteral("calc"), path("c0.vlm"), QStringLiteral("--catalogues"), dir.path()});
    EXPECT_EQ(refused.exitCode, kExitInvalidInput);
    EXPECT_TRUE(refused.error.contains(QStringLiteral("Nodo 1 \"A\""))) << refused.error.toStdString();

    // Results that overflow are refused like the other undefined cases.
    writeBytes(path("kv.vlm"), "\"kv\"\r\n40000\r\n1\r\n1\r\n0\r\n6,0,1E38,0,0,0,\"KV\"\r\n");
    const CliResult overflow = run({QStringLiteral("calc"), path("kv.vlm"), QStringLiteral("--json")});
    EXPECT_EQ(overflow.exitCode, kExitInvalidInput);
    EXPECT_TRUE(overflow.output.isEmpty());
    EXPECT_TRUE(overflow.error.contains(QStringLiteral("Nodo 1 \"KV\""))) << overflow.error.toStdString();
}
