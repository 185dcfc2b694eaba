#include "model/Project.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

using namespace valmora;

TEST(ProjectModel, NewProjectIsOneSectionToOneTerminal) {
    Project p = testkit::projectWithTestCatalogues();
    p.projectNotes = QStringLiteral("resta");
    p.maxHeight = 7;
    p.supplyPressure = 1;
    testkit::buildChain(p, 5);
    p.resetToNewProject();

    EXPECT_EQ(p.projectPath, QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(p.supplyPressure, 40000);
    EXPECT_EQ(p.nodeCount(), 1);
    EXPECT_EQ(p.terminalCount(), 1);
    const Node& root = p.NodeTable[1];
    EXPECT_EQ(root.name, QStringLiteral("Radice"));
    EXPECT_EQ(root.length, 0.0f);
    EXPECT_EQ(root.virtualLength, 1.0f);
    EXPECT_EQ(root.seriesIndex, 1);
    EXPECT_EQ(root.diameterIndex, 1);
    EXPECT_EQ(root.next, kEndWithTerminal);
    EXPECT_EQ(root.derivation, 1);
    EXPECT_EQ(root.parent, 0);
    EXPECT_EQ(root.eqResistance, 0.000742266610777188);
    EXPECT_EQ(root.flowFraction, 0.0);
    EXPECT_FALSE(root.closed);
    EXPECT_EQ(p.TerminalTable[1].typeIndex, 1);
    EXPECT_EQ(p.TerminalTable[1].height, 0.0f);
    EXPECT_EQ(p.lastSeries, 1);
    EXPECT_EQ(p.lastTerminalType, 1);
    // Notes and the highest terminal seen survive a new project.
    EXPECT_EQ(p.projectNotes, QStringLiteral("resta"));
    EXPECT_EQ(p.maxHeight, 7.0f);
}

TEST(ProjectModel, TablesStopAtSixteenBits) {
    Project p;
    p.clearNetwork();
    for (int i = 1; i <= kMaxTableIndex; ++i)
        ASSERT_EQ(p.appendNode(), std::optional<int16_t>(static_cast<int16_t>(i)));
    EXPECT_EQ(p.appendNode(), std::nullopt);
    EXPECT_EQ(p.nodeCount(), kMaxTableIndex);
    EXPECT_EQ(p.NodeTable.size(), std::size_t(kMaxTableIndex) + 1);

    for (int i = 1; i <= kMaxTableIndex; ++i)
        ASSERT_TRUE(p.appendTerminal().has_value());
    EXPECT_EQ(p.appendTerminal(), std::nullopt);
    EXPECT_EQ(p.terminalCount(), kMaxTableIndex);
}

TEST(ProjectModel, ProjectsLiveSideBySide) {
    Project a = testkit::projectWithTestCatalogues();
    Project b = testkit::projectWithTestCatalogues();
    testkit::buildChain(a, 3);
    a.supplyPressure = 123;
    EXPECT_EQ(b.nodeCount(), 1);
    EXPECT_EQ(b.supplyPressure, 40000);
    a.PipeCatalogue[1].diameters[0].totalLength = 99;
    EXPECT_EQ(b.PipeCatalogue[1].diameters[0].totalLength, 0);
}
