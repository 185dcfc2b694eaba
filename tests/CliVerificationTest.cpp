// The command-line tool's checks of the calculated result against the converged solution.

#include "cli/CliCommands.h"
#include "model/Calculation.h"
#include "model/ConvergedSolution.h"
#include "storage/ProjectFile.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;

TEST(CliVerification, JsonAndTableSayWhichTerminalsAndEndsToLookAt) {
    QTemporaryDir dir;
    Project p = testkit::projectWithShippedCatalogues();
    const std::vector<int16_t> hydrants = testkit::buildRiser(p);
    p.supplyPressure = 50000; // 5 bar: the top hydrant is far from its converged flow
    const QString riser = dir.filePath(QStringLiteral("montante.vlm"));
    ASSERT_TRUE(SaveProject(p, riser).ok);
    // As the tool reads it: the nodes numbered in the file's order.
    Project read = testkit::projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(read, riser).ok());
    const ConvergedSolution converged = SolveConverged(read);
    ASSERT_TRUE(converged.ok);
    int topHydrant = 0;
    for (int i = 1; i <= read.nodeCount(); ++i)
        if (read.NodeTable[std::size_t(i)].name == p.NodeTable[hydrants.back()].name)
            topHydrant = i;
    ASSERT_GT(topHydrant, 0);

    const CliResult json = runCli({QStringLiteral("calc"), riser, QStringLiteral("--json"),
                                   QStringLiteral("--catalogues"), testkit::shippedDataDirectory()});
    ASSERT_EQ(json.exitCode, kExitSuccess) << json.error.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(json.output).object();
    EXPECT_NEAR(root[QStringLiteral("converged")][QStringLiteral("totalFlow")].toDouble(),
                converged.totalFlow, 1e-9);
    EXPECT_GT(root[QStringLiteral("converged")][QStringLiteral("iterations")].toInt(), 0);
    for (const QJsonValue node : root[QStringLiteral("nodes")].toArray()) {
        const QJsonObject n = node.toObject();
        const int index = n[QStringLiteral("index")].toInt();
        EXPECT_NEAR(n[QStringLiteral("convergedFlow")].toDouble(), converged.nodes[std::size_t(index)].flow,
                    1e-9);
        EXPECT_FALSE(n[QStringLiteral("openEnd")].toBool());
        EXPECT_TRUE(n.contains(QStringLiteral("velocityOverLimit")));
    }
    int flagged = 0;
    for (const QJsonValue terminal : root[QStringLiteral("terminals")].toArray()) {
        const QJsonObject t = terminal.toObject();
        const bool top = t[QStringLiteral("node")].toInt() == topHydrant;
        if (top) {
            EXPECT_FALSE(t[QStringLiteral("converged")].toBool());
            EXPECT_TRUE(t[QStringLiteral("convergedBelowNominalPressure")].toBool());
        }
        flagged += !t[QStringLiteral("converged")].toBool();
    }
    EXPECT_GE(flagged, 1);

    const CliResult table = runCli(
        {QStringLiteral("calc"), riser, QStringLiteral("--catalogues"), testkit::shippedDataDirectory()});
    const QString text = QString::fromUtf8(table.output);
    EXPECT_EQ(text.count(QStringLiteral("Attenzione: a convergenza ")), flagged);

    // An end without terminal pours water out: flagged in both outputs.
    p.NodeTable[hydrants.back()].next = kEndWithoutTerminal;
    p.NodeTable[hydrants.back()].derivation = 0;
    ASSERT_TRUE(SaveProject(p, riser).ok);
    const CliResult open = runCli({QStringLiteral("calc"), riser, QStringLiteral("--json"),
                                   QStringLiteral("--catalogues"), testkit::shippedDataDirectory()});
    bool openEnd = false;
    for (const QJsonValue node :
         QJsonDocument::fromJson(open.output).object()[QStringLiteral("nodes")].toArray())
        openEnd |= node.toObject()[QStringLiteral("name")].toString() == p.NodeTable[hydrants.back()].name &&
                   node.toObject()[QStringLiteral("openEnd")].toBool();
    EXPECT_TRUE(openEnd);
    const QString openText =
        QString::fromUtf8(runCli({QStringLiteral("calc"), riser, QStringLiteral("--catalogues"),
                                  testkit::shippedDataDirectory()})
                              .output);
    EXPECT_TRUE(openText.contains(QStringLiteral("Attenzione: estremità aperta, scarica ")));
}
