#include "cli/EpanetExport.h"
#include "cli/CliCommands.h"
#include "storage/ProjectFile.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;
using namespace valmora::testkit;

namespace {

// Rows of every section of an input file, each row split at its blanks.
using InputSections = QMap<QString, QList<QStringList>>;

InputSections readSections(const QByteArray& text) {
    InputSections sections;
    QString current;
    for (const QString& raw : QString::fromUtf8(text).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'[')) {
            current = line.mid(1, line.size() - 2);
            continue;
        }
        sections[current] << line.split(QRegularExpression(QStringLiteral("\\s+")));
    }
    return sections;
}

// The row of a section whose first field is `id`.
QStringList row(const InputSections& sections, const QString& section, const QString& id) {
    for (const QStringList& r : sections.value(section))
        if (r.value(0) == id)
            return r;
    return {};
}

using namespace shippedCatalogue;

// Trunk "Tronco principale" 20 m + 2 m of 2"; a KV 0.3 element to a UNI 45 hydrant 4 m up;
// a closed 1" section to a hose reel; an end without terminal.
Project mixedNetwork() {
    Project p = projectWithShippedCatalogues();
    NetworkBuilder build(p);
    const int16_t trunk = build.root({QStringLiteral("Tronco principale"), 20, 2, kBlackSteel, kBore2});
    const int16_t kv = build.deriveAt(trunk, {QStringLiteral("Valvola"), 0, 0.3f, 0, 0});
    const int16_t next = build.continueAfter(trunk, {QStringLiteral("Città"), 15, 1, kBlackSteel, kBore2});
    const int16_t closed = build.deriveAt(next, {QStringLiteral("Chiuso"), 5, 0, kBlackSteel, kBore1, true});
    build.continueAfter(next, {QStringLiteral("Scarico"), 30, 0, kBlackSteel, kBore1});
    build.endWithTerminal(kv, kUni45, 4);
    build.endWithTerminal(closed, kHoseReel, 0);
    p.supplyPressure = 45000;
    return p;
}

double field(const QStringList& r, int index) {
    return r.value(index).toDouble();
}

} // namespace

TEST(EpanetExport, EveryElementReadsBack) {
    QTemporaryDir dir;
    const QString vlm = dir.filePath(QStringLiteral("rete.vlm"));
    const QString inp = dir.filePath(QStringLiteral("rete.inp"));
    ASSERT_TRUE(SaveProject(mixedNetwork(), vlm).ok);
    const CliResult result = runCli(
        {QStringLiteral("export-inp"), vlm, inp, QStringLiteral("--catalogues"), shippedDataDirectory()});
    ASSERT_EQ(result.exitCode, kExitSuccess) << result.error.toStdString();
    const QByteArray text = readBytes(inp);

    // The project as the file holds it (nodes renumbered in file order).
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, vlm).ok());
    const InputSections s = readSections(text);

    EXPECT_EQ(row(s, QStringLiteral("RESERVOIRS"), kEpanetSupplyId).value(1).toDouble(), 45); // 45000 mm
    int pipes = 0, valves = 0, emitters = 0;
    for (int16_t i = 1; i <= p.nodeCount(); ++i) {
        SCOPED_TRACE(p.NodeTable[i].name.toStdString());
        const Node& node = p.NodeTable[i];
        const QString id = epanetJunctionId(p, i);
        EXPECT_TRUE(id.startsWith(QStringLiteral("N%1_").arg(i)));
        EXPECT_LE(id.size(), epanet::kMaxIdLength);
        EXPECT_FALSE(id.contains(u' '));
        const QString inlet = node.parent > 0 ? epanetJunctionId(p, node.parent) : kEpanetSupplyId;

        if (!node.continues() && !node.endsInTerminal()) {
            EXPECT_EQ(row(s, QStringLiteral("RESERVOIRS"), id).value(1), QStringLiteral("0"));
        } else {
            const QStringList junction = row(s, QStringLiteral("JUNCTIONS"), id);
            ASSERT_FALSE(junction.isEmpty());
            EXPECT_DOUBLE_EQ(field(junction, 1),
                             node.endsInTerminal() ? double(p.terminalOf(node).height) : 0.0);
        }
        if (node.endsInTerminal()) {
            ++emitters;
            // At 2 bar (20 m) the emitter passes what the terminal's K gives at 2 bar.
            const double k = p.terminalTypeOf(p.terminalOf(node)).kFactor;
            const double coefficient = field(row(s, QStringLiteral("EMITTERS"), id), 1);
            EXPECT_NEAR(coefficient * std::pow(20.0, 1 / 1.85), k * std::pow(2.0, 1 / 1.85), 1e-6 * k);
        }

        const QString link = epanetLinkId(p, i);
        if (node.isKvElement()) {
            ++valves;
            const QStringList valve = row(s, QStringLiteral("VALVES"), link);
            ASSERT_EQ(valve.size(), 7);
            EXPECT_EQ(valve[1], inlet);
            EXPECT_EQ(valve[2], id);
            EXPECT_EQ(valve[4], QStringLiteral("GPV"));
            int points = 0;
            for (const QStringList& point : s.value(QStringLiteral("CURVES"))) {
                if (point[0] != valve[5])
                    continue;
                ++points;
                // 1 bar (10 m) at KV x 1000 l/min, growing with the flow^1.85.
                const double flow = field(point, 1);
                const double kvFlow = (double(node.virtualLength) + 0.00001) * 1000;
                EXPECT_NEAR(field(point, 2), 10 * std::pow(flow / kvFlow, 1.85),
                            1e-9 * (1 + field(point, 2)));
            }
            EXPECT_GE(points, 10);
        } else {
            ++pipes;
            const QStringList pipe = row(s, QStringLiteral("PIPES"), link);
            ASSERT_EQ(pipe.size(), 8);
            EXPECT_EQ(pipe[1], inlet);
            EXPECT_EQ(pipe[2], id);
            EXPECT_NEAR(field(pipe, 3), double(node.length + node.virtualLength) + 0.00001, 1e-9);
            EXPECT_NEAR(field(pipe, 4), p.diameterOf(node).innerDiameter, 1e-6);
            EXPECT_EQ(pipe[5].toInt(), p.seriesOf(node).hazenC);
            EXPECT_EQ(pipe[7], node.closed ? QStringLiteral("Closed") : QStringLiteral("Open"));
        }
    }
    // How many of each, the options and the title: the golden exports hold them.
    EXPECT_EQ(pipes + valves, p.nodeCount());
    EXPECT_EQ(emitters, 2);
}
