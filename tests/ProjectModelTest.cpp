#include "model/Calculation.h"
#include "model/Project.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

using namespace valmora;

TEST(ProjectModel, NewProjectIsOneSectionToOneTerminal) {
    Project p = testkit::projectWithTestCatalogues();
    EXPECT_EQ(projectFileBytes(p), QByteArray("\"\"\r\n40000\r\n1\r\n1\r\n0\r\n9,0,1,1,1,0,\"Radice\"\r\n1,0\r\n"));
    p.projectNotes = QStringLiteral("resta");
    p.maxHeight = 7;
    p.supplyPressure = 1;
    testkit::buildChain(p, 5);
    p.resetToNewProject();

    EXPECT_EQ(p.projectPath, QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(p.nodeCount(), 1);
    EXPECT_EQ(p.terminalCount(), 1);
    // 4 bar; last series and type 1; "Radice": 0 m + 1 m of series 1, diameter 1, open,
    // unlocked, ending in terminal 1 of type 1 at 0 m. The notes survive a new project.
    EXPECT_EQ(projectFileBytes(p), QByteArray("\"resta\"\r\n40000\r\n1\r\n1\r\n0\r\n9,0,1,1,1,0,\"Radice\"\r\n1,0\r\n"));
    EXPECT_EQ(p.NodeTable[1].derivation, 1);
    EXPECT_EQ(p.NodeTable[1].parent, 0);
    EXPECT_EQ(p.NodeTable[1].eqResistance, 0.000742266610777188);
    EXPECT_EQ(p.NodeTable[1].flowFraction, 0.0);
    EXPECT_EQ(p.maxHeight, 7.0f); // the highest terminal seen survives too
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

TEST(ProjectModel, ProjectsCalculatedAndEditedSideBySideKeepTheirOwnResults) {
    // Two windows' projects: a chain and a comb, calculated and edited in turn, each
    // giving what it gives alone.
    const auto chainOf = [](int nodes) {
        Project p = testkit::projectWithTestCatalogues();
        testkit::buildChain(p, nodes);
        return p;
    };
    const auto combOf = [](int nodes, int32_t supply) {
        Project p = testkit::projectWithTestCatalogues();
        testkit::buildComb(p, nodes);
        p.supplyPressure = supply;
        return p;
    };
    Project chain = chainOf(6);
    Project comb = combOf(9, 50000);
    ASSERT_TRUE(Calculate(chain).ok);
    ASSERT_TRUE(Calculate(comb).ok);
    chain.NodeTable[3].length += 40;
    ASSERT_TRUE(Calculate(chain).ok);
    comb.supplyPressure = 30000;
    ASSERT_TRUE(FlowPass(comb).ok);

    Project chainAlone = chainOf(6);
    chainAlone.NodeTable[3].length += 40;
    Project combAlone = combOf(9, 50000);
    ASSERT_TRUE(Calculate(chainAlone).ok);
    ASSERT_TRUE(Calculate(combAlone).ok);
    combAlone.supplyPressure = 30000;
    ASSERT_TRUE(FlowPass(combAlone).ok);
    EXPECT_EQ(chain.totalFlow, chainAlone.totalFlow);
    EXPECT_EQ(comb.totalFlow, combAlone.totalFlow);
    EXPECT_NE(chain.totalFlow, comb.totalFlow);
}
