#include "tests/TestFiles.h"

#include "model/Traversal.h"
#include "storage/CatalogueFiles.h"

#include <QFile>

#include <gtest/gtest.h>

#include <map>

namespace valmora::testkit {

QString shippedDataDirectory() {
    return QStringLiteral(VALMORA_DATA_DIR);
}

Project projectWithShippedCatalogues() {
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> terminals;
    const auto where = CatalogueSearch::inDirectory(shippedDataDirectory());
    const CatalogueLoadResult pipesRead = LoadPipeCatalogue(pipes, where);
    const CatalogueLoadResult terminalsRead = LoadTerminalCatalogue(terminals, where);
    EXPECT_TRUE(pipesRead.ok) << pipesRead.message.toStdString();
    EXPECT_TRUE(terminalsRead.ok) << terminalsRead.message.toStdString();
    return Project(std::move(pipes), std::move(terminals));
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

bool StoredNode::operator==(const StoredNode& o) const {
    return name == o.name && length == o.length && virtualLength == o.virtualLength &&
           diameterIndex == o.diameterIndex && seriesIndex == o.seriesIndex && closed == o.closed &&
           diameterLocked == o.diameterLocked && next == o.next && derivation == o.derivation &&
           parent == o.parent && terminalType == o.terminalType && terminalHeight == o.terminalHeight;
}

std::vector<StoredNode> storedNetwork(const Project& project) {
    const std::vector<int16_t> order = networkPreorder(project);
    std::map<int, int> position{{0, 0}};
    for (std::size_t k = 0; k < order.size(); ++k)
        position[order[k]] = int(k) + 1;
    std::vector<StoredNode> nodes;
    for (const int16_t i : order) {
        const Node& n = project.NodeTable[i];
        StoredNode s{n.name,
                     n.length,
                     n.virtualLength,
                     n.diameterIndex,
                     n.seriesIndex,
                     n.closed,
                     n.diameterLocked,
                     0,
                     0,
                     position[n.parent],
                     -1,
                     0};
        if (n.next > 0) {
            s.next = position[n.next];
            s.derivation = n.derivation > 0 ? position[n.derivation] : 0;
        } else {
            s.next = n.next;
            if (n.endsInTerminal()) {
                s.terminalType = project.TerminalTable[n.derivation].typeIndex;
                s.terminalHeight = project.TerminalTable[n.derivation].height;
            }
        }
        nodes.push_back(s);
    }
    return nodes;
}

} // namespace valmora::testkit
