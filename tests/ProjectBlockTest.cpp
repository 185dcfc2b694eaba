// The block after the tree: a reader of the tree alone (written here from the file format's
// description, not from the program's reader) reads the same network out of a file with the
// block; the settings come back whole and name the same terminals; the old settings file
// beside a project is read once and never written.

#include "editor/NetworkEdits.h"
#include "model/MessageText.h"
#include "platform/AtomicWrite.h"
#include "platform/FileAccess.h"
#include "standards/StandardVerification.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

using namespace valmora;
using namespace valmora::testkit;

namespace {

// ---- a reader of the tree alone --------------------------------------------------------

// The header, then one node and what its structure code announces, from node 1 until the
// tree is whole, as the file format describes the reading; whatever follows is never read.
// Only the values are taken with the program's list reader, which follows the same grammar.
QString treeOnly(const QByteArray& bytes) {
    FreeFormatReader in{QString::fromUtf8(bytes)};
    const auto next = [&in] { return in.atEnd() ? QString() : in.next(QString()).text; };
    QString notes = next(), value = next();
    while (!FreeFormatReader::isNumeric(value) && !in.atEnd())
        notes += QStringLiteral("\r\n") + std::exchange(value, next());
    const QString series = next();
    QString out = QStringLiteral("note %1; pressione %2; serie %3; tipo %4\n")
                      .arg(oneLine(notes), value, series, next());
    next();                                   // reserved
    std::vector<std::array<int, 3>> links(1); // parent, next, derivation of each node
    QStringList lines;
    int terminals = 0;
    std::vector<std::pair<int, bool>> pending{{0, false}}; // parent, as its derivation
    while (!pending.empty() && !in.atEnd()) {
        const auto [parent, asDerivation] = pending.back();
        pending.pop_back();
        const int code = next().toInt();
        const int index = int(links.size());
        links.push_back({parent, 0, 0});
        links[std::size_t(parent)][asDerivation ? 2 : 1] = index;
        QStringList fields;
        for (int k = 0; k < 6; ++k)
            fields << next();
        if (code == 1)
            pending.push_back({index, true});
        if (code == 0 || code == 1)
            pending.push_back({index, false});
        if (code == 9) {
            links[std::size_t(index)] = {parent, -1, ++terminals};
            const QString type = next();
            fields << QStringLiteral("terminale di tipo %1 a quota %2").arg(type, next());
        }
        lines << fields.join(u' ');
    }
    for (std::size_t i = 1; i < links.size(); ++i)
        out += QStringLiteral("%1: su %2, poi %3, derivazione %4; %5\n")
                   .arg(i)
                   .arg(links[i][0])
                   .arg(links[i][1])
                   .arg(links[i][2])
                   .arg(lines[int(i) - 1]);
    return out;
}

// The same network as the program reads it, in the same words.
QString asTheProgramReadsIt(const Project& p) {
    const QByteArray bytes = projectFileBytes(p);
    const qsizetype block = bytes.indexOf("\"Valmora\"");
    return treeOnly(block < 0 ? bytes : bytes.left(block));
}

QStringList namesOf(const Project& p, const std::vector<int16_t>& nodes) {
    QStringList names;
    for (const int16_t node : nodes)
        names << p.NodeTable[std::size_t(node)].name;
    return names;
}

int16_t nodeNamed(const Project& p, const QString& name) {
    for (int16_t i = 1; i <= p.nodeCount(); ++i)
        if (p.NodeTable[std::size_t(i)].name == name)
            return i;
    ADD_FAILURE() << name.toStdString();
    return 0;
}

const QString kRiser =
    QStringLiteral(VALMORA_TEST_DATA_DIR "/calcoli/cataloghi-forniti/montante-tre-piani-a-2,95-bar.vlm");

} // namespace

// Every project file of the tests that holds the block: the tree-only reader's network is
// the program's, and is kept in a golden file.
TEST(ProjectBlock, ATreeOnlyReaderReadsTheSameNetwork) {
    QString seen;
    const auto check = [&seen](const QString& file, Project p) {
        const QByteArray bytes = readBytes(file);
        if (!bytes.contains("Valmora"))
            return;
        ASSERT_TRUE(readProjectText(p, bytes).ok()) << file.toStdString();
        const QString tree = treeOnly(bytes);
        EXPECT_EQ(tree, asTheProgramReadsIt(p)) << file.toStdString();
        seen += QStringLiteral("== %1\n%2").arg(QFileInfo(file).fileName(), tree);
    };
    const QDir projects(QStringLiteral(VALMORA_TEST_DATA_DIR "/projects"));
    for (const QString& name : projects.entryList({QStringLiteral("*.vlm")}, QDir::Files, QDir::Name))
        check(projects.filePath(name), projectWithShippedCatalogues());
    const QDir read(QStringLiteral(VALMORA_TEST_DATA_DIR "/letture/progetti"));
    for (const QString& name : read.entryList({QStringLiteral("blocco-*.vlm")}, QDir::Files, QDir::Name))
        check(read.filePath(name), projectWithTestCatalogues());
    expectGolden(QStringLiteral("letture/albero-solo.txt"), seen);
}

TEST(ProjectBlock, SettingsComeBackWholeAndNameTheSameTerminals) {
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, kRiser).ok());
    StandardSettings s;
    s.standard = Standard::Uni10779;
    s.level = 3;
    s.coverage = 10.5;
    s.roles[7] = TerminalRole::NotVerified;
    s.workingAtOnce[TerminalRole::Hydrant] = 2;
    s.durationMinutes[TerminalRole::HoseReel] = 90;
    s.designerSets[TerminalRole::Hydrant] = {nodeNamed(p, QStringLiteral("Idrante 3")),
                                             nodeNamed(p, QStringLiteral("Idrante 1"))};
    s.supply.kind = SupplyKind::Pump;
    s.supply.pump = {PumpPoint{0, 6.5}, PumpPoint{600, 5.25}, PumpPoint{840, 4.125}};
    p.standardSettings = s;
    // 144 m2 of OH2 at 10.5 m2 a head: 13.7, so 14 heads work at once.
    StandardSettings sprinklers = s;
    sprinklers.standard = Standard::En12845;
    EXPECT_EQ(workingAtOnceOf(sprinklers, TerminalRole::Sprinkler), 14);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("colonna.vlm"));
    ASSERT_TRUE(SaveProject(p, file).ok);
    Project back = projectWithShippedCatalogues();
    const ReadOutcome read = ReadProject(back, file);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.notices.empty());
    EXPECT_EQ(back.standardSettings, s);
    EXPECT_EQ(projectFileBytes(back), readBytes(file));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("colonna.vlm")})
        << "nothing beside the project";

    // A section put before the hydrants moves their positions in the file: the file saved
    // now and the backup of the one before both name the same two hydrants.
    const std::optional<edits::Insertion> inserted =
        edits::insertBefore(p, nodeNamed(p, QStringLiteral("Montante 2")));
    ASSERT_TRUE(inserted);
    ASSERT_TRUE(SaveProject(p, file).ok);
    for (const QString& saved : {file, file + QStringLiteral(".bak")}) {
        Project again = projectWithShippedCatalogues();
        ASSERT_TRUE(ReadProject(again, saved).ok());
        EXPECT_EQ(namesOf(again, again.standardSettings.designerSets[TerminalRole::Hydrant]),
                  (QStringList{QStringLiteral("Idrante 3"), QStringLiteral("Idrante 1")}))
            << saved.toStdString();
    }

    // Settings set back to the defaults: the block says so, and no old file beside is read again.
    writeBytes(dir.filePath(QStringLiteral("colonna.verifica")), "norma=en12845\n");
    p.standardSettings = {};
    ASSERT_TRUE(SaveProject(p, file).ok);
    EXPECT_TRUE(readBytes(file).endsWith("1,0\r\n\"Valmora\",1\r\n"));
    ASSERT_TRUE(ReadProject(back, file).ok());
    EXPECT_EQ(back.standardSettings, StandardSettings{});
    // A project that never had any writes the tree alone, as it always did.
    Project plain = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(plain, QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/piccolo.vlm")).ok());
    EXPECT_EQ(projectFileBytes(plain),
              readBytes(QStringLiteral(VALMORA_TEST_DATA_DIR "/projects/piccolo.vlm")));
}

// A project of the previous version, its settings in "<progetto>.verifica": opened, saved and
// opened again with nothing lost; the old file never written, never removed; a damaged one
// read line by line, each refusal naming the old file and its line.
TEST(ProjectBlock, TheOldSettingsFileIsReadOnceAndNeverWritten) {
    QTemporaryDir dir;
    // Files named as the system spells them, as the program names them.
    const auto put = [](const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(writeFileAtomically(path, bytes).ok);
    };
    const auto bytesOf = [](const QString& path) { return readDataFile(path).bytes.value_or("(nessuno)"); };
    // A name in Latin-1 bytes: the old file is looked for under the same bytes.
    const QByteArray foreign = QFile::encodeName(dir.path()) + "/colonna-\xe8";
    const QString file = fileNameFromSystem(foreign + ".vlm");
    const QString old = fileNameFromSystem(foreign + ".verifica");
    const QByteArray tree = readBytes(kRiser).left(readBytes(kRiser).indexOf("\"Valmora\""));
    const QByteArray settings = "# Valmora: verifica di norma del progetto\n"
                                "norma=uni10779\nlivello=3\ndurata.idrante=90\n"
                                "pompa=0 6, 600 5, 840 4\ninsieme.idrante=4,6  # i due piu' bassi\n";
    put(file, tree);
    put(old, settings);

    Project p = projectWithShippedCatalogues();
    ReadOutcome read = ReadProject(p, file);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.notices.empty());
    const StandardSettings taken = p.standardSettings;
    EXPECT_EQ(taken.level, 3);
    EXPECT_EQ(namesOf(p, taken.designerSets.at(TerminalRole::Hydrant)),
              (QStringList{QStringLiteral("Idrante 3"), QStringLiteral("Idrante 1")}));
    ASSERT_TRUE(SaveProject(p, file).ok);
    EXPECT_EQ(bytesOf(old), settings);
    EXPECT_TRUE(bytesOf(file).startsWith(tree));
    EXPECT_TRUE(bytesOf(file).contains("\"verifica\",\"insieme.idrante\",\"4,6\"\r\n"));

    // From now on the block is read, whatever the old file says.
    put(old, "norma=en12845\n");
    Project again = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(again, file).ok());
    EXPECT_EQ(again.standardSettings, taken);

    // A damaged old file beside a project without the block: what can be read is taken.
    put(file, tree);
    put(old, "norma=uni10779\nlivello=7\ninsieme.idrante=4,4\nqualcosa=1\n");
    read = ReadProject(again, file);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.settingsIncomplete());
    EXPECT_EQ(readNoticesText(read.notices, file),
              old + QStringLiteral(", riga 2: livello=7: il livello di pericolosità va da 1 a 3\n") + old +
                  QStringLiteral(", riga 3: insieme.idrante=4,4: il terminale 4 è ripetuto\n") + old +
                  QStringLiteral(", riga 4: qualcosa=1: impostazione sconosciuta"));
    EXPECT_EQ(again.standardSettings.standard, Standard::Uni10779);
    EXPECT_EQ(again.standardSettings.level, 2);
    ASSERT_TRUE(SaveProject(again, file).ok);
    EXPECT_EQ(bytesOf(old), "norma=uni10779\nlivello=7\ninsieme.idrante=4,4\nqualcosa=1\n");
}

// The report's data and the unit of pressures: written as the block's lines, read back whole
// (a double quote, which the grammar cannot hold, as an apostrophe); a line that names what
// this version does not know is refused alone and the rest is read.
TEST(ProjectBlock, TheReportsDataAndThePressureUnitComeBackWhole) {
    Project p = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(p, kRiser).ok());
    ReportData data;
    data.committente = QStringLiteral("Bianchi & Figli S.r.l.");
    data.ubicazione = QStringLiteral("Via Roma 1, 20100 Milano");
    data.oggetto = QStringLiteral("Rete idranti \"capannone A\"");
    data.progettista = QStringLiteral("Ing. Maria Rossi");
    data.iscrizione = QStringLiteral("Ordine degli Ingegneri di Milano n. 12345");
    data.revisione = QStringLiteral("2");
    data.data = QStringLiteral("07/12/2026");
    data.noteRevisione = QStringLiteral("Prima riga\r\nseconda riga, con virgola");
    p.reportData = data;
    p.pressureUnit = PressureUnit::KPa;

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("relazione.vlm"));
    ASSERT_TRUE(SaveProject(p, file).ok);
    const QByteArray bytes = readBytes(file);
    EXPECT_TRUE(bytes.contains("\"opzioni\",\"pressione\",\"kPa\"\r\n"));
    EXPECT_TRUE(bytes.contains("\"relazione\",\"oggetto\",\"Rete idranti 'capannone A'\"\r\n"));
    EXPECT_TRUE(
        bytes.contains("\"relazione\",\"noteRevisione\",\"Prima riga\r\nseconda riga, con virgola\"\r\n"));
    Project back = projectWithShippedCatalogues();
    const ReadOutcome read = ReadProject(back, file);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.notices.empty());
    ReportData expected = data;
    expected.oggetto = QStringLiteral("Rete idranti 'capannone A'");
    EXPECT_EQ(back.reportData, expected);
    EXPECT_EQ(back.pressureUnit, PressureUnit::KPa);
    EXPECT_EQ(projectFileBytes(back), bytes);

    // Each of the four units by its name in the file; mm is the default and writes no line.
    for (const PressureUnit unit :
         {PressureUnit::Millimetres, PressureUnit::Metres, PressureUnit::Bar, PressureUnit::KPa}) {
        back.pressureUnit = unit;
        back.reportData = {};
        const QByteArray written = projectFileBytes(back);
        EXPECT_EQ(written.contains("\"opzioni\""), unit != PressureUnit::Millimetres);
        Project again = projectWithShippedCatalogues();
        ASSERT_TRUE(readProjectText(again, written).ok());
        EXPECT_EQ(again.pressureUnit, unit);
    }

    // Lines this version cannot take: each refused with its reason, the others read.
    QByteArray damaged = bytes;
    damaged.replace("\"opzioni\",\"pressione\",\"kPa\"", "\"opzioni\",\"pressione\",\"psi\"");
    damaged.replace("\"relazione\",\"revisione\",\"2\"", "\"relazione\",\"revisore\",\"2\"");
    damaged += "\"relazione\",\"committente\"\r\n";
    Project partly = projectWithShippedCatalogues();
    const ReadOutcome partial = readProjectText(partly, damaged);
    ASSERT_TRUE(partial.ok());
    QStringList said;
    for (const ReadNotice& n : partial.notices)
        said << n.message;
    EXPECT_EQ(said.size(), 3) << said.join(u'\n').toStdString();
    EXPECT_TRUE(said.join(u'\n').contains(QStringLiteral("unità di pressione sconosciuta: restano i mm")));
    EXPECT_TRUE(said.join(u'\n').contains(QStringLiteral("dato della relazione sconosciuto")));
    EXPECT_TRUE(said.join(u'\n').contains(QStringLiteral("riga malformata")));
    EXPECT_EQ(partly.pressureUnit, PressureUnit::Millimetres);
    EXPECT_EQ(partly.reportData.committente, data.committente);
    EXPECT_TRUE(partly.reportData.revisione.isEmpty());
    EXPECT_TRUE(partial.settingsIncomplete());
}

// "Nuovo" is a new client's project: none of the report's data goes into it; the unit is the
// designer's habit and stays.
TEST(ProjectBlock, ANewProjectTakesNoneOfTheReportsDataAndKeepsTheUnit) {
    Project p = projectWithShippedCatalogues();
    p.reportData.committente = QStringLiteral("Cliente precedente");
    p.reportData.progettista = QStringLiteral("Ing. Rossi");
    p.pressureUnit = PressureUnit::Bar;
    p.resetToNewProject();
    EXPECT_TRUE(p.reportData.isEmpty());
    EXPECT_EQ(p.pressureUnit, PressureUnit::Bar);
}
