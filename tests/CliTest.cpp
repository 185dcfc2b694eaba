#include "cli/CalculationReport.h"
#include "cli/CliCommands.h"
#include "model/Calculation.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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
    NetworkResults r;
    r.fitTo(p);
    r.totalFlow = INFINITY;
    r.nodes[1].flowFraction = NAN;
    const QJsonObject spoiled = jsonObject(calculationJson(p, r, QStringLiteral("x")));
    EXPECT_TRUE(spoiled[QStringLiteral("totalFlow")].isNull());
    // A path with what JSON must escape comes back as it was.
    const QString path = QStringLiteral("C:\\progetti\\\"capannone\".vlm");
    EXPECT_EQ(jsonObject(calculationJson(p, r, path))[QStringLiteral("project")].toString(), path);
    EXPECT_TRUE(
        spoiled[QStringLiteral("nodes")].toArray()[0].toObject()[QStringLiteral("flowFraction")].isNull());
}

// Every number of calc --json reads back as exactly the value calculated (a double as the
// double, a file's float as the float), and every name as it was, whatever it holds: on random
// trees with rings, names with quotes, backslashes, line breaks, control characters and
// letters beyond ASCII.
TEST(CalculationJson, NumbersAndNamesReadBackExactly) {
    const QStringList names = {
        QStringLiteral("Idrante \"nord\""),     QStringLiteral("C:\\rete\\a"),
        QStringLiteral("due\nrighe\tcon tab"),  QString(QChar(1)) + QStringLiteral("x"),
        QStringLiteral("Pressione à 7°, 10 €"), QStringLiteral("😀 fine")};
    std::mt19937 rng(11);
    for (int round = 0; round < 3; ++round) {
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 300);
        addRandomLoopPipes(p, rng, round);
        for (int i = 1; i <= p.nodeCount(); ++i)
            p.NodeTable[std::size_t(i)].name = names[i % names.size()] + QString::number(i);
        NetworkResults r;
        ASSERT_TRUE(Calculate(p, r).ok);
        const QJsonObject json = jsonObject(calculationJson(p, r, QStringLiteral("x")));
        const QJsonArray nodes = json[QStringLiteral("nodes")].toArray();
        ASSERT_EQ(nodes.size(), p.nodeCount());
        for (const QJsonValue& value : nodes) {
            const QJsonObject node = value.toObject();
            const auto i = std::size_t(node[QStringLiteral("index")].toInt());
            EXPECT_EQ(node[QStringLiteral("name")].toString(), p.NodeTable[i].name);
            EXPECT_EQ(float(node[QStringLiteral("length")].toDouble()), p.NodeTable[i].length);
            EXPECT_EQ(float(node[QStringLiteral("virtualLength")].toDouble()), p.NodeTable[i].virtualLength);
            EXPECT_EQ(node[QStringLiteral("resistance")].toDouble(), r.node(int16_t(i)).resistance);
            EXPECT_EQ(node[QStringLiteral("flowShare")].toDouble(), r.node(int16_t(i)).flowShare);
        }
        EXPECT_EQ(float(json[QStringLiteral("totalFlow")].toDouble()), r.totalFlow);
        EXPECT_EQ(json[QStringLiteral("loops")].toArray().size(), qsizetype(p.loopPipes.size()));
    }
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

// Every command line of tests/data/cli/comandi.txt, with its exit status and messages
// written whole to golden/cli.txt: usage errors, invalid input named with its file and line
// on one line, and no output where the input is refused.
TEST_F(CliTest, ExitCodesAndMessages) {
    const QString here = QStringLiteral(VALMORA_TEST_DATA_DIR "/cli");
    const QStringList lines =
        QString::fromUtf8(readBytes(here + QStringLiteral("/comandi.txt"))).split(u'\n');
    QString seen;
    for (const QString& line : lines) {
        if (line.startsWith(u'#') || line.isEmpty())
            continue;
        QString command = line;
        command.replace(QStringLiteral("<nessuno>"), QString())
            .replace(QStringLiteral("<catalogo>"), shippedDataDirectory())
            .replace(QStringLiteral("<cli>"), here)
            .replace(QStringLiteral("<progetti>"), QStringLiteral(VALMORA_TEST_DATA_DIR "/projects"))
            .replace(QStringLiteral("<vuota>"), dir.path());
        const CliResult r = runCli(command.split(u' ', Qt::SkipEmptyParts));
        QString error = r.error;
        const qsizetype usage = error.indexOf(QStringLiteral("Uso:"));
        if (usage >= 0 && seen.contains(QStringLiteral("Uso:")))
            error = error.left(usage) + QStringLiteral("Uso: come sopra\n");
        const QStringList output = QString::fromUtf8(r.output).split(u'\n', Qt::SkipEmptyParts);
        seen +=
            QStringLiteral("$ valmora-cli %1\nuscita %2, %3 righe in uscita%4\n%5")
                .arg(line)
                .arg(r.exitCode)
                .arg(output.size())
                .arg(output.isEmpty() ? QString() : QStringLiteral(", la prima: ") + output.first(), error);
    }
    seen.replace(shippedDataDirectory(), QStringLiteral("<catalogo>"))
        .replace(QStringLiteral(VALMORA_TEST_DATA_DIR), QStringLiteral("<dati>"))
        .replace(dir.path(), QStringLiteral("<vuota>"));
    expectGolden(QStringLiteral("cli.txt"), seen);
}
