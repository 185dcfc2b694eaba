// The supply options and the equivalent-length calculator at their limits: refusals that
// keep the dialog coherent, heights taken as they are now, units as the numbers are.

#include "model/Calculation.h"
#include "model/DialogRules.h"
#include "model/dialogs/Opzioni.h"
#include "model/dialogs/frmLEQ.h"
#include "platform/ScriptedInteraction.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/NetworkBuilder.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;
using valmora::guitest::inLocale;

namespace {

// One pipe ("Tubo", 10 m) from the supply to a terminal "Idrante K80" at `height`.
Project pipeTo(float height) {
    Project p = testkit::projectWithTestCatalogues();
    testkit::NetworkBuilder build(p);
    build.endWithTerminal(build.root({QStringLiteral("Tubo"), 10, 2, 1, 3}), 1, height);
    EXPECT_TRUE(Calculate(p).ok);
    return p;
}

} // namespace

TEST(Opzioni, ARefusedPressureLeavesTheDialogShowingTheRestoredOne) {
    Project p = pipeTo(15);
    ScriptedInteraction ask;
    Opzioni dialog(p, ask);
    const QString openingFlow = dialog.lblQ->text();
    dialog.Scroll->setValue(20); // the preview follows the slider
    ASSERT_NE(dialog.lblQ->text(), openingFlow);
    dialog.btnOK->click();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(dialog.Scroll->value(), 40);
    EXPECT_EQ(dialog.txtPrevalenza->text(), inLocale("40.0"));
    EXPECT_EQ(dialog.lblQ->text(), openingFlow);
    EXPECT_EQ(p.supplyPressure, 40000);
}

TEST(Opzioni, TheCheckTakesTheTerminalsAsTheyAreNowAndNamesTheHighest) {
    Project p = pipeTo(15);
    p.maxHeight = 15;
    p.TerminalTable[1].height = 2; // the hydrant was lowered after it was raised
    ScriptedInteraction ask;
    {
        Opzioni dialog(p, ask);
        dialog.txtPrevalenza->setText(QStringLiteral("10"));
        dialog.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(p.supplyPressure, 10000);
        EXPECT_TRUE(ask.messages.empty());
    }
    p.TerminalTable[1].height = 6.5f;
    Opzioni dialog(p, ask);
    dialog.txtPrevalenza->setText(QStringLiteral("12"));
    dialog.btnOK->click();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0].text, QStringLiteral("Ci sono quote oltre il 50% della pressione\n"
                                                   "Il terminale più alto è «Tubo» (Idrante K80), a quota m ") +
                                        inLocale("6.5") + u'.');
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}

TEST(Opzioni, PressuresBeyondWhatCanBeComputedAreRefusedWithTheDialogOpen) {
    for (const char* typed : {"5000000", "2147484", "1E39", "10000,5", "10000.5"}) {
        Project p = pipeTo(0);
        ScriptedInteraction ask;
        Opzioni dialog(p, ask);
        dialog.txtPrevalenza->setText(QString::fromLatin1(typed));
        dialog.btnOK->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << typed;
        EXPECT_EQ(p.supplyPressure, 40000) << typed;
        ASSERT_EQ(ask.messages.size(), 1u) << typed;
    }
    Project p = pipeTo(0);
    ScriptedInteraction ask;
    Opzioni dialog(p, ask);
    dialog.txtPrevalenza->setText(QStringLiteral("1E39"));
    dialog.btnOK->click();
    EXPECT_EQ(ask.messages[0].text,
              QStringLiteral("La pressione disponibile non può superare %1 metri.").arg(QStringLiteral("10") + QLocale().groupSeparator() + QStringLiteral("000")));
    dialog.txtPrevalenza->setText(QStringLiteral("10000"));
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(p.supplyPressure, 10000000);
}

TEST(frmLEQ, KvLabelsSayTheUnitsTheNumbersAreIn) {
    const guitest::LocaleScope italian(QLocale(QLocale::Italian, QLocale::Italy));
    Project p = pipeTo(0);
    p.editNode = p.NodeTable[1];
    p.editNode.virtualLength = 0;
    ScriptedInteraction ask;
    frmLEQ dialog(p, ask);
    EXPECT_EQ(dialog.TabStrip1->tabText(1), QStringLiteral("K.V. in m³/min/bar"));
    // A catalogue valve of Kv 30 m³/h is 0.5 m³/min: what the calculation takes.
    dialog.txtKV->setText(QStringLiteral("0,5"));
    EXPECT_EQ(dialog.lblKVOrario->text(), QStringLiteral("= 30,00 m³/h"));
    dialog.TabStrip1->setCurrentIndex(1);
    const float perMetre = resistancePerMetre(p.seriesOf(p.editNode).frictionFactor, p.diameterOf(p.editNode).innerDiameter);
    // The length of this pipe that drops 1 bar at 500 l/min, as a KV element of 0.5 does.
    EXPECT_NEAR(dialog.lblLE->text().replace(u',', u'.').toDouble(),
                hydraulics::kMmPerBar / std::pow(500.0, hydraulics::kExponent) / perMetre, 0.05);
}
