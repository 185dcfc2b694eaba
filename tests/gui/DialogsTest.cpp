#include "dialogs/Fine.h"
#include "dialogs/Opzioni.h"
#include "dialogs/frmLEQ.h"
#include "model/Calculation.h"
#include "tests/gui/GuiTestSupport.h"

#include <QComboBox>
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
Project onePipe() {
    Project p = testkit::projectWithTestCatalogues();
    testkit::buildOnePipe(p);
    return p;
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Calculate(p, w.results).ok); }

    Workspace w{onePipe()};
    Project& p = w.project;
    ScriptedInteraction ask;
    GridIcons icons;
    Transcript seen{ask, icons};

    // What the dialog left in the project.
    void stored(const QDialog& dialog) {
        seen.line(QStringLiteral("esito %1; pressione %2 mm, note \"%3\", portata totale %4")
                      .arg(dialog.result() == QDialog::Accepted ? QStringLiteral("accettato")
                                                                : QStringLiteral("non accettato"))
                      .arg(p.supplyPressure)
                      .arg(QString(p.projectNotes).replace(QStringLiteral("\r\n"), QStringLiteral("\\r\\n")))
                      .arg(double(w.results.totalFlow), 0, 'f', 2));
    }
};

} // namespace

// The supply typed, slid or beyond the slider, with the flow it would give; the comment;
// pressures of part metres kept as they were opened; every refusal, which puts the opening
// pressure back; cancel; a negative pressure taken as positive.
TEST_F(DialogsTest, Opzioni) {
    p.projectNotes = QStringLiteral("Riga 1\r\nRiga 2");
    {
        Opzioni dialog(w, ask);
        seen.step(QStringLiteral("apre su 40 m")).widgets(dialog);
        dialog.txtPrevalenza->setText(inLocale("120.4"));
        dialog.leavePressureBox();
        seen.step(QStringLiteral("120.4 m digitati")).widgets(dialog);
        dialog.txtPrevalenza->setText(QStringLiteral("350")); // beyond the slider: typed, not slid
        dialog.leavePressureBox();
        dialog.txtCommento->setPlainText(QStringLiteral("Nuovo\ncommento"));
        dialog.btnOK->click();
        seen.step(QStringLiteral("350 m, un nuovo commento, O.K.")).widgets(dialog);
        stored(dialog);
    }
    p.supplyPressure = 45500;
    {
        Opzioni dialog(w, ask);
        dialog.txtCommento->setPlainText(QStringLiteral("nuovo")); // the pressure as it was
        dialog.btnOK->click();
        seen.step(QStringLiteral("45.5 m: cambia solo il commento")).widgets(dialog);
        stored(dialog);
    }
    p.supplyPressure = 450500;
    {
        Opzioni dialog(w, ask);
        seen.step(QStringLiteral("450.5 m, oltre la barra")).widgets(dialog);
        dialog.txtPrevalenza->setText(inLocale("45.5"));
        dialog.leavePressureBox();
        seen.step(QStringLiteral("45.5 m digitati")).widgets(dialog);
        dialog.txtPrevalenza->setText(inLocale("45.5")); // typed again: kept to the centimetre
        dialog.btnOK->click();
        seen.step(QStringLiteral("45.5 m digitati di nuovo, O.K."));
        stored(dialog);
    }
    p.maxHeight = 30; // a height met earlier: only the terminals as they are now count
    p.TerminalTable[1].height = 15;
    p.supplyPressure = 40000;
    {
        Opzioni dialog(w, ask);
        dialog.Scroll->setValue(200);
        dialog.txtCommento->setPlainText(QStringLiteral("altro"));
        dialog.btnAnnulla->click();
        seen.step(QStringLiteral("barra a 200, annulla"));
        stored(dialog);
    }
    Opzioni dialog(w, ask);
    // Beyond what a 32-bit pressure in mm holds, or past any network; not a number; below
    // twice the highest terminal. The preview follows the slider, and goes back with it.
    for (const char* typed : {"5000000", "2147484", "1E39", "10000.5", "quaranta", "29.9"}) {
        dialog.Scroll->setValue(31);
        dialog.txtPrevalenza->setText(inLocale(typed));
        dialog.btnOK->click();
        seen.step(QStringLiteral("%1 m digitati, O.K.").arg(QString::fromLatin1(typed)));
        stored(dialog);
    }
    seen.widgets(dialog);
    dialog.txtPrevalenza->setText(QStringLiteral("-30"));
    dialog.btnOK->click();
    seen.step(QStringLiteral("-30 m, O.K."));
    stored(dialog);
    seen.expectGolden(QStringLiteral("opzioni"));
}

// The terminal's height up to half the supply, its type with its K, cancel; the type new
// terminals get.
TEST_F(DialogsTest, Fine) {
    w.session.terminalNode = 1;
    p.TerminalTable[1].height = 4;
    const auto terminal = [this] {
        seen.line(QStringLiteral(
                      "terminale: tipo %1, quota %2 m; rete: quota massima %3 m, nuovi terminali di tipo %4")
                      .arg(p.TerminalTable[1].typeIndex)
                      .arg(double(p.TerminalTable[1].height))
                      .arg(double(p.maxHeight))
                      .arg(p.lastTerminalType));
    };
    {
        Fine dialog(w, ask, QStringLiteral("12345"));
        seen.step(QStringLiteral("apre")).widgets(dialog);
        dialog.cmbTermina->setCurrentIndex(2);
        dialog.txtQuota->setText(inLocale("20.1"));
        dialog.btnOK->click();
        seen.step(QStringLiteral("terzo tipo, quota 20.1 m, O.K.")).widgets(dialog);
        dialog.btnAnnulla->click();
        seen.step(QStringLiteral("annulla"));
        terminal();
    }
    {
        Fine dialog(w, ask, QString());
        dialog.txtQuota->setText(QStringLiteral("-20"));
        dialog.btnOK->click();
        seen.step(QStringLiteral("quota -20 m, O.K."));
        terminal();
    }
    {
        Fine dialog(w, ask, QString());
        dialog.cmbTermina->setCurrentIndex(2);
        dialog.btnOK->click();
        seen.step(QStringLiteral("terzo tipo, O.K."));
        terminal();
    }
    seen.expectGolden(QStringLiteral("fine"));
}

// The tables of equivalent lengths by class, clicks adding to the total; a loss at a flow
// giving back the length of a KV, kept when the tab changes; a KV too small; KVs in
// m³/min at a drop of 1 bar, as the calculation takes them, with m³/h beside.
TEST_F(DialogsTest, frmLEQ) {
    p.PipeCatalogue[1].diameters[3].innerDiameter = 53;
    // What the window is given beside the node: the node's share of the flow (1) and its
    // resistance, two numbers to show.
    w.session.editNode = p.NodeTable[1];
    w.session.editFlow = w.results.nodes[1].flowShare;
    w.session.editFittingLoss = w.results.nodes[1].eqResistance;
    {
        frmLEQ dialog(w, ask);
        seen.step(QStringLiteral("tubo di 53 mm")).widgets(dialog);
        dialog.TabStrip1->setCurrentIndex(2);
        seen.step(QStringLiteral("la tabella")).widgets(dialog);
        dialog.Command1->click(); // clears the total
        for (const std::size_t k : {1, 1, 4})
            dialog.lblA[k]->click();
        dialog.btnRiporta->click();
        seen.step(QStringLiteral("azzera, due clic sul secondo, uno sul quinto, riporta"))
            .line(QStringLiteral("L.virt. %1 m").arg(double(w.session.editNode.virtualLength)));
    }
    p.PipeCatalogue[1].diameters[3].innerDiameter = 50;
    w.session.editNode.virtualLength = 12.5f;
    frmLEQ dialog(w, ask);
    const double kv = QLocale().toDouble(dialog.txtKV->text());
    dialog.txtMm->setText(QStringLiteral("10000"));
    dialog.txtLt->setText(inLocale(QString::number(1000 * kv, 'f', 6)));
    dialog.btnCalcolaClick();
    EXPECT_NEAR(dialog.total(), 12.5, 0.05); // the KV was shown to two decimals
    dialog.lblA[0]->click();                 // replaced by the KV's length when the tab changes
    dialog.TabStrip1->setCurrentIndex(1);
    seen.step(QStringLiteral("10 m a 1000 KV l/min, un clic, seconda scheda")).widgets(dialog);
    dialog.txtKV->setText(inLocale("0.0001")); // too small: refused, the length stays
    dialog.btnCalcolaClick();
    dialog.txtKV->setText(inLocale("0.5"));
    dialog.btnAnnulla->click();
    seen.step(QStringLiteral("KV 0.0001, poi 0.5, annulla"))
        .widgets(dialog)
        .line(QStringLiteral("L.virt. %1 m").arg(double(w.session.editNode.virtualLength)));
    seen.expectGolden(QStringLiteral("leq"));
}
