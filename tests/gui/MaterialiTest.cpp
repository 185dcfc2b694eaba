#include "report/Materiali.h"
#include "storage/ProjectFile.h"
#include "tests/gui/GuiTestSupport.h"

#include <QFile>
#include <QPushButton>
#include <QTabBar>

using namespace valmora;
using namespace valmora::guitest;

namespace {

const QString kExample = testkit::shippedDataDirectory() + QStringLiteral("/esempio.vlm");
const QString kSteel = QStringLiteral("Acciaio nero EN 10255 serie media");
const QString kPolyethylene = QStringLiteral("PE100 SDR 11 PN 16 EN 12201-2");

// Every data row of a grid, its cells joined by tabs.
QStringList rows(const GridControl& grid) {
    QStringList texts;
    for (int row = 1; row < grid.rows(); ++row) {
        QStringList cells;
        for (int col = 0; col < grid.cols(); ++col)
            cells << grid.textMatrix(row, col);
        texts << cells.join(u'\t');
    }
    return texts;
}

QString pipeRow(const QString& series, const char* diameter, int metres, int kilograms) {
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(series, QString::fromLatin1(diameter))
        .arg(metres)
        .arg(kilograms);
}

class MaterialiTest : public MainWindowFixture {
protected:
    // 600 m of 50 mm steel over the test catalogues: 2353 kg, shown with a thousands separator.
    Project heavyProject(const QString& projectPath) {
        Project p = testkit::projectWithTestCatalogues();
        testkit::NetworkBuilder build(p);
        build.endWithTerminal(build.root({QStringLiteral("Dorsale"), 600, 1, 1, 3}), 1, 0);
        p.projectPath = projectPath;
        return p;
    }
};

} // namespace

TEST_F(MaterialiTest, ExampleProjectListedByTab) {
    Project p = testkit::projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, kExample).ok());
    Materiali list(p, ask);

    // Whole metres and kilograms worked out by hand from the example and the catalogue:
    // 3.5 m then 4 m of 1"1/2 make 4 + 4; 4.5 m then 6 m of 1" make 4 + 6.
    EXPECT_EQ(rows(*list.TubiGrid),
              (QStringList{pipeRow(kSteel, "1\"", 10, 24), pipeRow(kSteel, "1\"1/4", 8, 25),
                           pipeRow(kSteel, "1\"1/2", 8, 28), pipeRow(kSteel, "2\"1/2", 50, 322),
                           pipeRow(kSteel, "3\"", 10, 84), pipeRow(kSteel, "4\"", 6, 73),
                           QStringLiteral("Peso\t\tparziale\t556"), pipeRow(kPolyethylene, "75", 60, 83),
                           pipeRow(kPolyethylene, "110", 45, 135), QStringLiteral("Peso\t\tparziale\t774")}));
    EXPECT_EQ(rows(*list.RadGrid), (QStringList{"Idrante UNI 45\t2\t2", "Idrante UNI 70\t1\t1",
                                                "Naspo DN 25\t2\t2", "Totale terminali\t5\t"}));

    const struct {
        int tab;
        bool pipesShown;
    } tabs[] = {{0, true}, {1, false}, {0, true}};
    for (const auto& t : tabs) {
        list.TabStrip->setCurrentIndex(t.tab);
        EXPECT_EQ(list.TubiGrid->isHidden(), !t.pipesShown) << t.tab;
        EXPECT_EQ(list.RadGrid->isHidden(), t.pipesShown) << t.tab;
    }
}

TEST_F(MaterialiTest, ThousandsGroupedAndTextFileWrittenOrRefused) {
    const QString written = dir.filePath(QStringLiteral("Capannone.txt"));
    Project p = heavyProject(dir.filePath(QStringLiteral("Capannone.vlm")));
    Materiali list(p, ask);
    // The weight and the running total as the user's locale groups thousands.
    const QString kilograms = QStringLiteral("2") + QLocale().groupSeparator() + QStringLiteral("353");
    EXPECT_EQ(rowTexts(*list.TubiGrid, 1, {3}), QStringList{kilograms});
    EXPECT_EQ(rowTexts(*list.TubiGrid, 2, {3}), QStringList{kilograms});

    list.show();
    list.btnFileTxt->click();
    ASSERT_EQ(ask.messages.size(), 1u);
    EXPECT_EQ(ask.messages[0], (MessageRequest{QStringLiteral("Creato ") + written +
                                               QStringLiteral("\r\naprilo come tabella")}));
    EXPECT_TRUE(testkit::readBytes(written).contains("\t600\t" + kilograms.toUtf8() +
                                                     "\r\n")); // in the user's locale

    // A folder that does not exist: the reason under the message, no file, the window open.
    p.projectPath = dir.filePath(QStringLiteral("manca/Capannone.vlm"));
    list.btnFileTxt->click();
    ASSERT_EQ(ask.messages.size(), 2u);
    EXPECT_EQ(ask.messages[1].text, QStringLiteral("Errore in scrittura"));
    EXPECT_EQ(ask.messages[1].icon, MessageIcon::Exclamation);
    EXPECT_FALSE(ask.messages[1].details.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("manca/Capannone.txt"))));
    EXPECT_TRUE(list.isVisible());

    list.btnEsci->click();
    EXPECT_FALSE(list.isVisible());
}

TEST_F(MaterialiTest, TotaliMenuShowsTheNetworkWithTheValueBeingTyped) {
    open(kExample, testkit::shippedDataDirectory());
    ASSERT_TRUE(started);
    // "Mandata pompe", 6 m of 4", is being changed to 16 m (12.185 kg/m).
    trunk()->Griglia->setCurrentCell(1, grid_column::kMetri);
    trunk()->startEditing();
    trunk()->Txtedit->setText(QStringLiteral("16"));

    QStringList shown;
    ask.dialogScripts = {[&shown](QDialog& dialog) {
        auto& shownList = dynamic_cast<Materiali&>(dialog);
        shown = rows(*shownList.TubiGrid);
        shownList.btnEsci->click();
    }};
    trigger("mnuTot");
    EXPECT_EQ(ask.dialogsShown, QStringList{QStringLiteral("Materiali")});
    EXPECT_TRUE(shown.contains(pipeRow(kSteel, "4\"", 16, 195))) << shown.join(u'\n').toStdString();
    EXPECT_EQ(ask.unscripted, 0);
}
