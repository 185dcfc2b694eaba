#include "model/DialogRules.h"
#include "model/Calculation.h"
#include "model/Catalogues.h"
#include "tests/support/NetworkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;

// Twice the highest terminal (supplyCoversHeights) and half the supply (heightWithinHalfSupply)
// are checked at their boundaries through the Opzioni and Fine dialogs.
TEST(SupplyOptionsRules, PressureFromMetresAndPreviewFlow) {
    EXPECT_EQ(supplyPressureFromMetres(120.4f), 120400);
    EXPECT_EQ(supplyPressureFromMetres(0.0625f), 62); // 62.5 mm: halves to even
    EXPECT_EQ(supplyPressureFromMetres(0.1875f), 188);
    EXPECT_NEAR(previewFlow(40, 2.04111), 208.98, 0.01);
}

TEST(TerminalDialogRules, PressureLeftTextNetOfHeightOrNullFlow) {
    for (const float height : {0.0f, 10.0f}) {
        SCOPED_TRACE(height);
        Project p = testkit::projectWithTestCatalogues();
        testkit::buildOnePipe(p, height);
        NetworkResults r;
        ASSERT_TRUE(Calculate(p, r).ok);
        // Converged, the terminal keeps Kt x Q^1.85: what is left once the static head is paid.
        const double kept = r.terminals[1].terminalResistance * std::pow(double(r.totalFlow), 1.85);
        EXPECT_NEAR(pressureLeftText(p, r, 1).toDouble(), kept, 30.0);

        p.NodeTable[1].closed = true;
        ASSERT_TRUE(Calculate(p, r).ok);
        EXPECT_EQ(pressureLeftText(p, r, 1), QStringLiteral("Portata nulla"));
    }
}

TEST(EquivalentLengthRules, DiameterClasses) {
    EXPECT_EQ(diameterClass(20), 0);
    EXPECT_EQ(diameterClass(32), 0);
    EXPECT_EQ(diameterClass(32.5f), 1);
    EXPECT_EQ(diameterClass(40), 1);
    EXPECT_EQ(diameterClass(53), 3);
    EXPECT_EQ(diameterClass(300), 10);
    EXPECT_EQ(diameterClass(301), 11);
    EXPECT_EQ(diameterClassText(0), QStringLiteral("fino a 25"));
    EXPECT_EQ(diameterClassText(1), QStringLiteral("di 32"));
}

// The table's row for one class is checked through the frmLEQ dialog's labels.
TEST(EquivalentLengthRules, FittingsTableScaledBySeries) {
    EXPECT_NEAR(fittingLength(1, 0, 1.33f), 0.798, 1e-6); // stainless steel: 0.6 m x 1.33
    EXPECT_EQ(fittingNames().size(), kFittingCount);
}

TEST(EquivalentLengthRules, LossFlowAndKvAreOneAnother) {
    const float perMetre = resistancePerMetre(frictionFactorFor(120), 53.1f);
    const float length = 12.5f;
    const double kv = kvFromLength(length, perMetre);
    // 10000 mm at 1000 x KV l/min is the KV element's definition: the same length comes back.
    EXPECT_NEAR(lengthFromLoss(10000, 1000 * kv, perMetre), length, 1e-3);
    EXPECT_NEAR(lengthFromKv(kv, perMetre), length, 1e-3);
    EXPECT_FLOAT_EQ(roundedToOneDecimal(3.25), 3.2f);
    EXPECT_FLOAT_EQ(roundedToOneDecimal(3.35), 3.4f);
    EXPECT_FLOAT_EQ(roundedToOneDecimal(2.1 + 1.2), 3.3f);
}
