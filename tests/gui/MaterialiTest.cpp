// "Totali": the materials of the example by tab (whole metres and kilograms worked out from
// the catalogue: 3.5 m then 4 m of 1"1/2 make 4 + 4), the thousands in the user's locale, the
// text file written beside the project or refused with the reason, and the menu showing the
// network with the value still being typed.

#include "report/Materiali.h"
#include "storage/ProjectFile.h"
#include "tests/gui/GuiTestSupport.h"

#include <QFile>
#include <QPushButton>
#include <QTabBar>

using namespace valmora;
using namespace valmora::guitest;

namespace {

class MaterialiTest : public MainWindowFixture {
protected:
    void show(const QString& what, const Materiali& list) {
        seen.step(what)
            .cells(*list.TubiGrid)
            .cells(*list.RadGrid)
            .line(QStringLiteral("tubi visibili %1, terminali visibili %2")
                      .arg(!list.TubiGrid->isHidden())
                      .arg(!list.RadGrid->isHidden()));
    }
};

} // namespace

TEST_F(MaterialiTest, ListedByTabWrittenOrRefused) {
    Workspace example(testkit::projectWithShippedCatalogues());
    ASSERT_TRUE(
        ReadProject(example.project, testkit::shippedDataDirectory() + QStringLiteral("/esempio.vlm")).ok());
    ASSERT_TRUE(Calculate(example.project, example.results).ok);
    Materiali list(example, ask);
    show(QStringLiteral("esempio"), list);
    list.TabStrip->setCurrentIndex(1);
    show(QStringLiteral("scheda dei terminali"), list);

    // 600 m of 50 mm steel over the test catalogues: 2353 kg.
    Workspace notCalculated(testkit::projectWithTestCatalogues());
    Project& p = notCalculated.project;
    testkit::NetworkBuilder build(p);
    build.endWithTerminal(build.root({QStringLiteral("Dorsale"), 600, 1, 1, 3}), 1, 0);
    p.projectPath = dir.filePath(QStringLiteral("Capannone.vlm"));
    Materiali heavy(notCalculated, ask);
    heavy.show();
    heavy.btnFileTxt->click();
    show(QStringLiteral("600 m, file di testo"), heavy);
    seen.line(QString::fromLatin1(testkit::readBytes(dir.filePath(QStringLiteral("Capannone.txt")))));
    p.projectPath = dir.filePath(QStringLiteral("manca/Capannone.vlm"));
    heavy.btnFileTxt->click();
    seen.step(QStringLiteral("file in una cartella che non c'è"))
        .line(QStringLiteral("scritto %1, aperta %2")
                  .arg(QFile::exists(dir.filePath(QStringLiteral("manca/Capannone.txt"))))
                  .arg(heavy.isVisible()));
    heavy.btnEsci->click();
    seen.line(QStringLiteral("dopo Esci aperta %1").arg(heavy.isVisible()));
    seen.expectGolden(QStringLiteral("materiali"));
}

TEST_F(MaterialiTest, TotaliMenuShowsTheNetworkWithTheValueBeingTyped) {
    open(testkit::shippedDataDirectory() + QStringLiteral("/esempio.vlm"), testkit::shippedDataDirectory());
    ASSERT_TRUE(started);
    // "Mandata pompe", 6 m of 4", is being changed to 16 m (12.185 kg/m).
    trunk()->Griglia->setCurrentCell(1, grid_column::kMetri);
    trunk()->startEditing();
    trunk()->Txtedit->setText(QStringLiteral("16"));
    ask.dialogScripts = {[this](QDialog& dialog) {
        auto& shown = dynamic_cast<Materiali&>(dialog);
        show(QStringLiteral("Totali dal menu"), shown);
        shown.btnEsci->click();
    }};
    trigger("mnuTot");
    seen.expectGolden(QStringLiteral("materiali-menu"));
}
