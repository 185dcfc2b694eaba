#include "storage/CatalogueFiles.h"
#include "tests/GoldenFiles.h"
#include "tests/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;
using namespace valmora::testkit;

namespace {

const QString kPipes = QStringLiteral("Vlmtubi.txt");
const QString kTerminals = QStringLiteral("Vlmterm.txt");

PipeSeries seriesOfBores(std::initializer_list<float> bores) {
    PipeSeries s;
    for (const float b : bores)
        s.diameters.push_back({QString(), b, b + 5});
    return s;
}

QString pipesAsRead(const std::vector<PipeSeries>& pipes) {
    QString text;
    for (const PipeSeries& s : pipes) {
        text += QStringLiteral("serie \"%1\" [%2] %3 kg/m3, C %4 (%5), leq x%6\n")
                    .arg(s.name, s.code)
                    .arg(s.density)
                    .arg(s.hazenC)
                    .arg(double(s.frictionFactor), 0, 'f', 1)
                    .arg(double(s.leqFactor));
        for (const PipeDiameter& d : s.diameters)
            text += QStringLiteral("  \"%1\" %2/%3 mm\n")
                        .arg(d.label)
                        .arg(double(d.innerDiameter))
                        .arg(double(d.outerDiameter));
    }
    return text;
}

QString terminalsAsRead(const std::vector<TerminalType>& types) {
    QString text;
    for (const TerminalType& t : types)
        text += QStringLiteral("terminale \"%1\" K %2, %3 l/min a %4 bar, icona %5\n")
                    .arg(t.name)
                    .arg(double(t.kFactor))
                    .arg(double(t.nominalFlow))
                    .arg(double(t.nominalPressure))
                    .arg(t.iconIndex);
    return text;
}

// A catalogue file as read, or the refusal, which leaves nothing behind.
QString catalogueAsRead(const QString& path) {
    const QByteArray bytes = readBytes(path);
    const bool pipeFile =
        QFileInfo(path).fileName().startsWith(QLatin1String("tubi")) || QFileInfo(path).fileName() == kPipes;
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> types;
    const CatalogueLoadResult r = pipeFile ? parsePipeCatalogue(bytes, kPipes, pipes)
                                           : parseTerminalCatalogue(bytes, kTerminals, types);
    if (!r.ok) {
        EXPECT_TRUE(pipes.empty() && types.empty());
        return QStringLiteral("rifiutato, riga %1: %2\n").arg(r.line).arg(r.message);
    }
    return pipeFile ? pipesAsRead(pipes) : terminalsAsRead(types);
}

} // namespace

// The shipped catalogues and every file under tests/data/letture/cataloghi, as read or refused.
TEST(Catalogues, FilesAsReadOrRefused) {
    const QDir shipped(shippedDataDirectory());
    const QDir folder(QStringLiteral(VALMORA_TEST_DATA_DIR "/letture/cataloghi"));
    QStringList files{shipped.filePath(kPipes), shipped.filePath(kTerminals)};
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
        files << folder.filePath(name);
    QString seen;
    for (const QString& path : files)
        seen += QStringLiteral("== %1 ==\n").arg(QFileInfo(path).fileName()) + catalogueAsRead(path);
    // Over a catalogue of no series, the KV series stands alone.
    seen += QStringLiteral("== nessuna serie ==\n") + pipesAsRead(Project({}, {}).PipeCatalogue);
    expectGolden(QStringLiteral("letture/cataloghi.txt"), seen);
}

TEST(Catalogues, LookedForInTheCurrentDirectoryThenBesideTheProgram) {
    QTemporaryDir current;
    QTemporaryDir program;
    writeBytes(program.filePath(kTerminals), "\"P\"\n\"Dal programma\",1,1,1,1\n");
    CatalogueSearch where;
    where.currentDirectory = current.path();
    where.programDirectory = program.path();

    std::vector<TerminalType> types;
    ASSERT_TRUE(LoadTerminalCatalogue(types, where).ok);
    EXPECT_EQ(types[0].name, QStringLiteral("Dal programma"));

    writeBytes(current.filePath(kTerminals), "\"C\"\n\"Dalla cartella\",1,1,1,1\n");
    ASSERT_TRUE(LoadTerminalCatalogue(types, where).ok);
    EXPECT_EQ(types[0].name, QStringLiteral("Dalla cartella"));

    std::vector<PipeSeries> pipes;
    const CatalogueLoadResult missing = LoadPipeCatalogue(pipes, where);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.message.contains(kPipes)) << missing.message.toStdString();
    EXPECT_TRUE(missing.message.contains(QDir::toNativeSeparators(program.path())));
}

TEST(Catalogues, NearestDiameter) {
    const PipeSeries s = seriesOfBores({20, 30, 40});
    const std::pair<float, int16_t> cases[] = {{19, 0}, {20, 0}, {24, 0}, {25, 1}, {26, 1},
                                               {30, 1}, {35, 2}, {40, 2}, {41, 2}};
    for (const auto& [target, expected] : cases)
        EXPECT_EQ(NearestDiameterIndex(s, target), expected) << target;
    EXPECT_EQ(NearestDiameterIndex(PipeSeries{}, 30), 0);
}
