#include "model/Calculation.h"
#include "model/dialogs/Fine.h"
#include "model/dialogs/Opzioni.h"
#include "model/dialogs/frmLEQ.h"
#include "platform/ScriptedInteraction.h"
#include "tests/support/NetworkBuilder.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;

namespace {

// One 50 mm pipe (C 120) of 10 m to a K 100 terminal at 4 m.
Project calculatedPipe() {
    Project p = testkit::projectWithTestCatalogues();
    testkit::NetworkBuilder build(p);
    const int16_t pipe = build.root({QStringLiteral("Tubo"), 10, 2, 1, 3});
    build.endWithTerminal(pipe, 0, 4);
    p.maxHeight = 4;
    EXPECT_TRUE(Calculate(p).ok);
    return p;
}

QString flowAt(const Project& p, double metres) {
    return QString::number(std::lround(std::pow(metres * 1000 / p.NodeTable[1].eqResistance, 1 / 1.85)));
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
    EXPECT_EQ(dialog.lblQ->text(), flowAt(p, 40));
    EXPECT_EQ(dialog.txtCommento->toPlainText(), QStringLiteral("Riga 1\nRiga 2"));

    dialog.txtPrevalenza->setText(QStringLiteral("120.4"));
    dialog.leavePressureBox();
    EXPECT_EQ(dialog.Scroll->value(), 120);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("120"));
    EXPECT_EQ(dialog.lblQ->text(), flowAt(p, 120));

    dialog.txtPrevalenza->setText(QStringLiteral("350"));
    dialog.leavePressureBox();
    EXPECT_EQ(dialog.Scroll->value(), 120);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("350"));

    dialog.txtCommento->setPlainText(QStringLiteral("Nuovo\ncommento"));
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(p.supplyPressure, 350000);
    EXPECT_EQ(p.projectNotes, QStringLiteral("Nuovo\r\ncommento"));
    EXPECT_TRUE(ask.messages.empty());
    EXPECT_NEAR(p.totalFlow, std::stod(flowAt(p, 350).toStdString()), 1.0);
}

TEST(Opzioni, RefusesPressuresBelowTwiceTheHighestTerminal) {
    Project p = calculatedPipe();
    p.TerminalTable[1].height = 15;
    ScriptedInteraction ask;
    Opzioni dialog(p, ask);
    dialog.txtPrevalenza->setText(QStringLiteral("29.9"));
    dialog.btnOK->click();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_TRUE(ask.messages[0].text.startsWith(QStringLiteral("Ci sono quote oltre il 50% della pressione\n")));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("40.0"));
    EXPECT_EQ(dialog.Scroll->value(), 40);
    EXPECT_EQ(p.supplyPressure, 40000);

    dialog.txtPrevalenza->setText(QStringLiteral("-30"));
    dialog.btnOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(p.supplyPressure, 30000);
}

TEST(Opzioni, NonNumbersAndCancelChangeNothing) {
    Project p = calculatedPipe();
    ScriptedInteraction ask;
    {
        Opzioni dialog(p, ask);
        dialog.txtPrevalenza->setText(QStringLiteral("quaranta"));
        dialog.btnOK->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("La pressione disponibile deve essere un numero.")});
    }
    {
        Opzioni dialog(p, ask);
        dialog.Scroll->setValue(200);
        dialog.txtCommento->setPlainText(QStringLiteral("altro"));
        dialog.btnAnnulla->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(p.supplyPressure, 40000);
    EXPECT_EQ(p.projectNotes, QString());
}

TEST(Opzioni, OpeningKeepsAPressureOfPartMetres) {
    Project p = calculatedPipe();
    p.supplyPressure = 45500;
    p.projectNotes = QStringLiteral("vecchio");
    ScriptedInteraction ask;
    Opzioni dialog(p, ask);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("45.5"));
    EXPECT_EQ(dialog.Scroll->value(), 46);
    EXPECT_EQ(dialog.lblQ->text(), flowAt(p, 45.5));
    // Changing only the comment leaves the pressure as it was.
    dialog.txtCommento->setPlainText(QStringLiteral("nuovo"));
    dialog.btnOK->click();
    EXPECT_EQ(p.supplyPressure, 45500);
    EXPECT_EQ(p.projectNotes, QStringLiteral("nuovo"));
}

TEST(Opzioni, ItalianNumbersAndPressuresBeyondTheSlider) {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    Project p = calculatedPipe();
    p.supplyPressure = 450500;
    ScriptedInteraction ask;
    Opzioni dialog(p, ask);
    EXPECT_EQ(dialog.txtPrevalenza->text(), QStringLiteral("450,5")); // kept as it was opened
    dialog.txtPrevalenza->setText(QStringLiteral("45,5"));
    dialog.leavePressureBox();
    EXPECT_EQ(dialog.Scroll->value(), 46);
    dialog.txtPrevalenza->setText(QStringLiteral("45,5"));
    dialog.btnOK->click();
    EXPECT_EQ(p.supplyPressure, 45500);
    QLocale::setDefault(QLocale::c());
}

TEST(Fine, HeightUpToHalfTheSupplyTypeAndCancel) {
    Project p = calculatedPipe();
    p.terminalNode = 1;
    ScriptedInteraction ask;
    {
        Fine dialog(p, ask, QStringLiteral("12345"));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Terminale"));
        EXPECT_EQ(dialog.cmbTermina->count(), 3);
        EXPECT_EQ(dialog.cmbTermina->currentIndex(), 0);
        EXPECT_EQ(dialog.txtQuota->text(), QStringLiteral("4.0"));
        EXPECT_EQ(dialog.lblKV->text(), QStringLiteral("100"));
        EXPECT_EQ(dialog.lblResidua->text(), QStringLiteral("12345"));
        dialog.cmbTermina->setCurrentIndex(2);
        EXPECT_EQ(dialog.lblKV->text(), QStringLiteral("57"));
        dialog.txtQuota->setText(QStringLiteral("20.1"));
        dialog.btnOK->click();
        EXPECT_EQ(ask.messageTexts(), QStringList{QStringLiteral("Quota oltre il 50% della pressione")});
        EXPECT_EQ(dialog.txtQuota->text(), QStringLiteral("4.0"));
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
        dialog.cmbTermina->setCurrentIndex(1);
        dialog.btnOK->click();
    }
    EXPECT_EQ(p.TerminalTable[1].typeIndex, 1);
    EXPECT_EQ(p.lastTerminalType, 1);
    EXPECT_EQ(p.TerminalTable[1].height, 20.0f);
}

TEST(frmLEQ, TableClassesAndClicksAddToTheTotal) {
    Project p = calculatedPipe();
    p.PipeCatalogue[1].diameters[3].innerDiameter = 53;
    p.editNode = p.NodeTable[1];
    p.editNode.virtualLength = 0;
    ScriptedInteraction ask;
    frmLEQ dialog(p, ask);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Lunghezze equivalenti"));
    EXPECT_EQ(dialog.lblTitolo->text(), QStringLiteral("Tubo tipo ACC   Diam. int. 53 mm"));
    EXPECT_EQ(dialog.Frame3->title(), QStringLiteral("Per un diametro di 50 mm le tabelle riportano:"));
    const char* values[] = {"0.6", "1.5", "0.9", "3.0", "0.3", "3.3"};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(dialog.lblA[std::size_t(k)]->text().toStdString(), values[k]);
    dialog.Command1->click();
    dialog.lblA[1]->click();
    dialog.lblA[1]->click();
    dialog.lblA[4]->click();
    EXPECT_EQ(dialog.lblLE->text(), QStringLiteral("3.3"));
    dialog.btnRiporta->click();
    EXPECT_EQ(p.editNode.virtualLength, 3.3f);
}

TEST(frmLEQ, SmallBoreIsTheFirstClass) {
    Project p = calculatedPipe();
    for (const float bore : {32.0f, 32.5f}) {
        p.PipeCatalogue[1].diameters[3].innerDiameter = bore;
        p.editNode = p.NodeTable[1];
        ScriptedInteraction ask;
        frmLEQ dialog(p, ask);
        EXPECT_EQ(dialog.Frame3->title(), bore == 32.0f ? QStringLiteral("Per un diametro fino a 25 mm le tabelle riportano:")
                                                        : QStringLiteral("Per un diametro di 32 mm le tabelle riportano:"));
    }
}

TEST(frmLEQ, LossAndFlowGiveBackTheLengthOfAKv) {
    Project p = calculatedPipe();
    p.editNode = p.NodeTable[1];
    p.editNode.virtualLength = 12.5f;
    ScriptedInteraction ask;
    frmLEQ dialog(p, ask);
    const double kv = dialog.txtKV->text().toDouble();
    ASSERT_GT(kv, 0);
    dialog.txtMm->setText(QStringLiteral("10000"));
    dialog.txtLt->setText(QString::number(1000 * kv, 'f', 6));
    dialog.btnCalcolaClick();
    EXPECT_NEAR(dialog.total(), 12.5, 0.05); // the KV was shown to two decimals

    // Clicked values are replaced by the computed length when the tab changes.
    dialog.lblA[0]->click();
    dialog.TabStrip1->setCurrentIndex(1);
    EXPECT_FALSE(dialog.Frame1->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.Frame2->isVisibleTo(&dialog));
    EXPECT_NEAR(dialog.total(), 12.5, 0.05);

    dialog.txtKV->setText(QStringLiteral("0.0001"));
    dialog.btnCalcolaClick();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], (MessageRequest{QStringLiteral("Lunghezza oltre 10 km"), QStringLiteral("Troppo lungo"),
                                               MessageButtons::Ok, MessageIcon::Exclamation}));
    EXPECT_NEAR(dialog.total(), 12.5, 0.05);

    dialog.btnAnnulla->click();
    EXPECT_EQ(p.editNode.virtualLength, 12.5f);
}
