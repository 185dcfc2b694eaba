#include "model/Calculation.h"
#include "model/dialogs/Fine.h"
#include "model/dialogs/Opzioni.h"
#include "model/dialogs/frmLEQ.h"
#include "tests/gui/GuiTestSupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

using namespace valmora;
using namespace valmora::guitest;

namespace {

// One 50 mm pipe (C 120) of 10 m to a K 100 terminal at ground level. By hand:
//   pipe R = 6.05e9 / 120^1.85 x 10.00001 / 50^4.87 = 0.045844, terminal 10000 / 100^1.85 = 1.995262,
//   so H metres at the supply drive Q = (1000 H / 2.041107)^(1/1.85) l/min:
//   40 m 208.98, 45.5 m 224.05 (46 m would give 225.38), 120 m 378.45, 350 m 674.99.
Project calculatedPipe() {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildOnePipe(p);
    EXPECT_TRUE(Calculate(p).ok);
    return p;
}

} // namespace

TEST(Opzioni, OpensOnTheSupplyAndPreviewsTheFlow) {
    Project p = calculatedPipe();
    p.projectNotes = QStringLiteral("Riga 1\r\nRiga 2");
    ScriptedInteraction ask;
    Opzioni dialog(p, ask);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("40"));
    EXPECT_EQ(dialog.Scroll->value(), 40);
    EXPECT_EQ(dialog.Scroll->maximum(), 300);
    EXPECT_EQ(dialog.Scroll->pageStep(), 20);
    EXPECT_EQ(dialog.lblQ->text(), QStringLiteral("209"));
    EXPECT_EQ(dialog.txtCommento->toPlainText(), QStringLiteral("Riga 1\nRiga 2"));

    dialog.txtPrevalenza->setText(inLocale("120.4"));
    dialog.leavePressureBox();
    EXPECT_EQ(dialog.Scroll->value(), 120);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("120"));
    EXPECT_EQ(dialog.lblQ->text(), QStringLiteral("378"));

    dialog.txtPrevalenza->setText(QStringLiteral("350")); // beyond the slider: typed, not slid
    dialog.leavePressureBox();
    EXPECT_EQ(dialog.Scroll->value(), 120);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("350"));

    dialog.txtCommento->setPlainText(QStringLiteral("Nuovo\ncommento"));
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(p.supplyPressure, 350000);
    EXPECT_EQ(p.projectNotes, QStringLiteral("Nuovo\r\ncommento"));
    EXPECT_TRUE(ask.messages.empty());
    EXPECT_NEAR(p.totalFlow, 674.99, 0.05);
}

TEST(Opzioni, PressuresOfPartMetresAndBeyondTheSlider) {
    Project p = calculatedPipe();
    p.supplyPressure = 45500;
    p.projectNotes = QStringLiteral("vecchio");
    ScriptedInteraction ask;
    {
        Opzioni dialog(p, ask);
        EXPECT_EQ(dialog.txtPrevalenza->text(), inLocale("45.5"));
        EXPECT_EQ(dialog.Scroll->value(), 46);
        EXPECT_EQ(dialog.lblQ->text(), QStringLiteral("224")); // from 45.5 m, not the slider's 46
        // Changing only the comment leaves the pressure as it was.
        dialog.txtCommento->setPlainText(QStringLiteral("nuovo"));
        dialog.btnOK->click();
    }
    EXPECT_EQ(p.supplyPressure, 45500);
    EXPECT_EQ(p.projectNotes, QStringLiteral("nuovo"));

    p.supplyPressure = 450500;
    Opzioni dialog(p, ask);
    EXPECT_EQ(dialog.txtPrevalenza->text(), inLocale("450.5")); // kept as it was opened
    dialog.txtPrevalenza->setText(inLocale("45.5"));
    dialog.leavePressureBox();
    EXPECT_EQ(dialog.Scroll->value(), 46);
    dialog.txtPrevalenza->setText(inLocale("45.5"));
    dialog.btnOK->click();
    EXPECT_EQ(p.supplyPressure, 45500);
}

TEST(Opzioni, RefusalsCancelAndANegativePressure) {
    Project p = calculatedPipe();
    p.maxHeight = 30; // a height met earlier: only the terminals as they are now count
    p.TerminalTable[1].height = 15;
    ScriptedInteraction ask;
    {
        Opzioni dialog(p, ask);
        dialog.Scroll->setValue(200);
        dialog.txtCommento->setPlainText(QStringLiteral("altro"));
        dialog.btnAnnulla->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    Opzioni dialog(p, ask);
    const QString openingFlow = dialog.lblQ->text();
    const QString tooHigh = QStringLiteral("La pressione disponibile non può superare 10") +
                            QLocale().groupSeparator() + QStringLiteral("000 metri.");
    const struct {
        const char* typed;
        QString message;
    } refused[] = {// beyond what a 32-bit pressure in mm holds, or past any network
                   {"5000000", tooHigh},
                   {"2147484", tooHigh},
                   {"1E39", tooHigh},
                   {"10000.5", tooHigh},
                   {"quaranta", QStringLiteral("La pressione disponibile deve essere un numero.")},
                   // below twice the highest terminal, which the message names; the opening pressure back
                   {"29.9", QStringLiteral("Ci sono quote oltre il 50% della pressione\n"
                                           "Il terminale più alto è \"Tubo\" (Uscita K100), a quota m 15.")}};
    for (const auto& r : refused) {
        dialog.Scroll->setValue(31); // the preview follows the slider, and goes back with it
        dialog.txtPrevalenza->setText(inLocale(r.typed));
        dialog.btnOK->click();
        EXPECT_EQ(ask.messages.back(), MessageRequest{r.message}) << r.typed;
        EXPECT_NE(dialog.result(), QDialog::Accepted) << r.typed;
        EXPECT_EQ(p.supplyPressure, 40000) << r.typed;
    }
    EXPECT_EQ(ask.messages.size(), std::size(refused));
    EXPECT_EQ(dialog.txtPrevalenza->text(), inLocale("40.0"));
    EXPECT_EQ(dialog.Scroll->value(), 40);
    EXPECT_EQ(dialog.lblQ->text(), openingFlow);
    EXPECT_EQ(p.projectNotes, QString());

    dialog.txtPrevalenza->setText(QStringLiteral("-30"));
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(p.supplyPressure, 30000);
}

TEST(Fine, HeightUpToHalfTheSupplyTypeAndCancel) {
    Project p = calculatedPipe();
    p.terminalNode = 1;
    p.TerminalTable[1].height = 4;
    ScriptedInteraction ask;
    {
        Fine dialog(p, ask, QStringLiteral("12345"));
        EXPECT_EQ(dialog.cmbTermina->count(), 3);
        EXPECT_EQ(dialog.cmbTermina->currentIndex(), 0);
        EXPECT_EQ(dialog.txtQuota->text(), inLocale("4.0"));
        EXPECT_EQ(dialog.lblKV->text(), QStringLiteral("100"));
        EXPECT_EQ(dialog.lblResidua->text(), QStringLiteral("12345"));
        dialog.cmbTermina->setCurrentIndex(2);
        EXPECT_EQ(dialog.lblKV->text(), QStringLiteral("57"));
        dialog.txtQuota->setText(inLocale("20.1"));
        dialog.btnOK->click();
        EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Quota oltre il 50% della pressione")});
        EXPECT_EQ(dialog.txtQuota->text(), inLocale("4.0"));
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        dialog.btnAnnulla->click();
    }
    EXPECT_EQ(p.TerminalTable[1].typeIndex, 0); // the labels showed another type; nothing stored
    EXPECT_EQ(p.TerminalTable[1].height, 4.0f);
    {
        Fine dialog(p, ask, QString());
        dialog.txtQuota->setText(QStringLiteral("-20"));
        dialog.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(p.TerminalTable[1].height, 20.0f);
    EXPECT_EQ(p.maxHeight, 20.0f);
    {
        Fine dialog(p, ask, QString());
        dialog.cmbTermina->setCurrentIndex(2);
        dialog.btnOK->click();
    }
    EXPECT_EQ(p.TerminalTable[1].typeIndex, 2);
    EXPECT_EQ(p.lastTerminalType, 2); // the type new terminals get
    EXPECT_EQ(p.TerminalTable[1].height, 20.0f);
}

TEST(frmLEQ, TableClassesAndClicksAddToTheTotal) {
    Project p = calculatedPipe();
    p.PipeCatalogue[1].diameters[3].innerDiameter = 53;
    p.editNode = p.NodeTable[1];
    ScriptedInteraction ask;
    frmLEQ dialog(p, ask);
    EXPECT_EQ(dialog.lblTitolo->text(), QStringLiteral("Tubo tipo ACC   Diam. int. 53 mm"));
    EXPECT_EQ(dialog.Frame3->title(), QStringLiteral("Per un diametro di 50 mm le tabelle riportano:"));
    const char* values[] = {"0.6", "1.5", "0.9", "3.0", "0.3", "3.3"};
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(dialog.lblA[k]->text(), inLocale(values[k])) << k;
    dialog.Command1->click(); // clears the total
    for (const std::size_t k : {1, 1, 4})
        dialog.lblA[k]->click();
    EXPECT_EQ(dialog.lblLE->text(), inLocale("3.3"));
    dialog.btnRiporta->click();
    EXPECT_EQ(p.editNode.virtualLength, 3.3f);
}

TEST(frmLEQ, LossAndFlowGiveBackTheLengthOfAKv) {
    Project p = calculatedPipe();
    p.editNode = p.NodeTable[1];
    p.editNode.virtualLength = 12.5f;
    ScriptedInteraction ask;
    frmLEQ dialog(p, ask);
    const double kv = QLocale().toDouble(dialog.txtKV->text());
    ASSERT_GT(kv, 0);
    dialog.txtMm->setText(QStringLiteral("10000"));
    dialog.txtLt->setText(inLocale(QString::number(1000 * kv, 'f', 6)));
    dialog.btnCalcolaClick();
    EXPECT_NEAR(dialog.total(), 12.5, 0.05); // the KV was shown to two decimals

    // Clicked values are replaced by the computed length when the tab changes.
    dialog.lblA[0]->click();
    dialog.TabStrip1->setCurrentIndex(1);
    EXPECT_FALSE(dialog.Frame1->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.Frame2->isVisibleTo(&dialog));
    EXPECT_NEAR(dialog.total(), 12.5, 0.05);

    dialog.txtKV->setText(inLocale("0.0001"));
    dialog.btnCalcolaClick();
    const MessageRequest tooLong{QStringLiteral("Lunghezza oltre 10 km"), QStringLiteral("Troppo lungo"),
                                 MessageButtons::Ok, MessageIcon::Exclamation};
    EXPECT_EQ(ask.messages, std::vector<MessageRequest>{tooLong});
    EXPECT_NEAR(dialog.total(), 12.5, 0.05);

    // KVs are m³/min at a drop of 1 bar, as the calculation takes them; a valve catalogue's
    // Kv of 30 m³/h is 0.5 m³/min, and the box shows it beside.
    EXPECT_EQ(dialog.TabStrip1->tabText(1), QStringLiteral("K.V. in m³/min/bar"));
    dialog.txtKV->setText(inLocale("0.5"));
    EXPECT_EQ(dialog.lblKVOrario->text(), QStringLiteral("= %1 m³/h").arg(inLocale("30.00")));

    dialog.btnAnnulla->click();
    EXPECT_EQ(p.editNode.virtualLength, 12.5f);
}
