#include "model/Calculation.h"
#include "model/Project.h"
#include "storage/ProjectFile.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

using namespace valmora;

TEST(ProjectModel, NewProjectIsOneSectionToOneTerminal) {
    Project p = testkit::projectWithTestCatalogues();
    EXPECT_EQ(projectFileBytes(p),
              QByteArray("\"\"\r\n40000\r\n1\r\n1\r\n0\r\n9,0,1,1,1,0,\"Radice\"\r\n1,0\r\n"));
    p.projectNotes = QStringLiteral("del cliente precedente");
    p.standardSettings.standard = Standard::Uni10779;
    p.keptBlockLines.push_back({{QStringLiteral("valvola"), true}});
    p.blockInFile = true;
    p.maxHeight = 7;
    p.supplyPressure = 1;
    testkit::buildChain(p, 5);
    p.resetToNewProject();

    EXPECT_EQ(p.projectPath, QStringLiteral("Newlav.vlm"));
    EXPECT_EQ(p.nodeCount(), 1);
    EXPECT_EQ(p.terminalCount(), 1);
    // 4 bar; last series and type 1; "Radice": 0 m + 1 m of series 1, diameter 1, open,
    // unlocked, ending in terminal 1 of type 1 at 0 m. A new project is a new client's: the
    // notes, the verification and the block go with the old one.
    EXPECT_EQ(projectFileBytes(p),
              QByteArray("\"\"\r\n40000\r\n1\r\n1\r\n0\r\n9,0,1,1,1,0,\"Radice\"\r\n1,0\r\n"));
    EXPECT_EQ(p.NodeTable[1].derivation, 1);
    EXPECT_EQ(p.NodeTable[1].parent, 0);
    const NetworkResults fresh = NetworkResults::ofNewProject();
    EXPECT_EQ(fresh.node(1).eqResistance, 0.000742266610777188);
    EXPECT_EQ(fresh.node(1).flowFraction, 0.0);
    EXPECT_EQ(fresh.totalFlow, 0.0f);
    EXPECT_EQ(p.maxHeight, 7.0f); // the highest terminal seen survives too
}
