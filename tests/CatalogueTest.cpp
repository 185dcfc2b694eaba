#include "model/Calculation.h"
#include "model/Catalogues.h"
#include "tests/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace valmora;
using namespace valmora::testkit;

namespace {

const QString kPipes = QStringLiteral("Vlmtubi.txt");
const QString kTerminals = QStringLiteral("Vlmterm.txt");

CatalogueLoadResult parsePipes(const char* text, std::vector<PipeSeries>& out) {
    return parsePipeCatalogue(QByteArray(text), kPipes, out);
}

CatalogueLoadResult parseTerminals(const char* text, std::vector<TerminalType>& out) {
    return parseTerminalCatalogue(QByteArray(text), kTerminals, out);
}

PipeSeries seriesOfBores(std::initializer_list<float> bores) {
    PipeSeries s;
    for (const float b : bores)
        s.diameters.push_back({QString(), b, b + 5, 0});
    return s;
}

} // namespace

TEST(Catalogues, ShippedCataloguesHoldWhatNetworksRelyOn) {
    const Project p = projectWithShippedCatalogues();
    ASSERT_GE(p.pipeSeriesCount(), 3);
    EXPECT_EQ(p.PipeCatalogue[0].name, QStringLiteral("Coefficiente di flusso(KV)"));
    EXPECT_EQ(p.PipeCatalogue[0].code, QStringLiteral(" KV  "));
    EXPECT_TRUE(p.PipeCatalogue[0].diameters.empty());

    // Series 1 is threaded steel from 3/8" to 6"; indexes 3..7 are 1" .. 2"1/2.
    const PipeSeries& steel = p.PipeCatalogue[1];
    ASSERT_EQ(steel.diameters.size(), 12u);
    EXPECT_EQ(steel.hazenC, 120);
    EXPECT_EQ(steel.diameters[3].label, QStringLiteral("1\""));
    EXPECT_EQ(steel.diameters[7].label, QStringLiteral("2\"1/2"));
    EXPECT_NEAR(steel.diameters[3].innerDiameter, 33.7f - 2 * 3.2f, 0.01);
    for (const PipeSeries& series :
         std::vector<PipeSeries>(p.PipeCatalogue.begin() + 1, p.PipeCatalogue.end())) {
        EXPECT_EQ(series.code.size(), 5);
        EXPECT_GT(series.hazenC, 0);
        for (std::size_t d = 1; d < series.diameters.size(); ++d)
            EXPECT_LT(series.diameters[d - 1].innerDiameter, series.diameters[d].innerDiameter)
                << series.name.toStdString();
        for (const PipeDiameter& d : series.diameters)
            EXPECT_LT(d.innerDiameter, d.outerDiameter);
    }

    // Type 1, the default of new projects, is the UNI 45 wall hydrant.
    ASSERT_GE(p.TerminalCatalogue.size(), 2u);
    EXPECT_TRUE(p.TerminalCatalogue[1].name.contains(QStringLiteral("UNI 45")));
    EXPECT_EQ(p.TerminalCatalogue[1].iconIndex, 1);
    // Each K meets the nominal flow at the nominal pressure under Q = K p^(1/1.85).
    for (const TerminalType& t : p.TerminalCatalogue) {
        const double flow = t.kFactor * std::pow(double(t.nominalPressure), hydraulics::kInverseExponent);
        EXPECT_NEAR(flow, t.nominalFlow, 0.005 * t.nominalFlow) << t.name.toStdString();
        EXPECT_GE(t.iconIndex, 1);
        EXPECT_LE(t.iconIndex, 4);
    }
}

TEST(Catalogues, PipeSeriesAsRead) {
    std::vector<PipeSeries> pipes;
    const CatalogueLoadResult r = parsePipes("\"Tubi\",2\n"
                                             "\"Acciaio, nero\",\"ACCIAIONERO\",7850,120,1,2\n"
                                             "1\",27.3,33.7\n"
                                             "\"1 1/4\",36,42.4\n"
                                             "Rame,CU,8940,140,1.33,0\n",
                                             pipes);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    ASSERT_EQ(pipes.size(), 2u);
    EXPECT_EQ(pipes[0].name, QStringLiteral("Acciaio, nero"));
    EXPECT_EQ(pipes[0].code, QStringLiteral("ACCIA"));
    EXPECT_EQ(pipes[1].code, QStringLiteral("CU   "));
    EXPECT_NEAR(pipes[0].frictionFactor, 861529.3, 0.05);
    EXPECT_EQ(pipes[0].diameters[0].label, QStringLiteral("1\""));
    EXPECT_EQ(pipes[0].diameters[1].innerDiameter, 36.0f);
    EXPECT_EQ(pipes[1].leqFactor, 1.33f);
    EXPECT_TRUE(pipes[1].diameters.empty());

    std::vector<PipeSeries> none;
    ASSERT_TRUE(parsePipes("\"Vuoto\"\n0\n", none).ok);
    const Project onlyKv(none, {});
    EXPECT_EQ(onlyKv.PipeCatalogue.size(), 1u);
}

TEST(Catalogues, TerminalTypesToTheEndOfTheFile) {
    std::vector<TerminalType> types;
    ASSERT_TRUE(parseTerminals(
                    "\"Terminali\"\r\n\"Idrante\",82.5,120,2,1\r\n\"Naspo\",24.06,35,2,2\r\n\r\n\r\n", types)
                    .ok);
    ASSERT_EQ(types.size(), 2u); // blank lines after the last terminal are not a terminal
    EXPECT_EQ(types[1].name, QStringLiteral("Naspo"));
    EXPECT_EQ(types[1].kFactor, 24.06f);
    EXPECT_EQ(types[1].iconIndex, 2);

    ASSERT_TRUE(parseTerminals("\"Solo titolo\"\n", types).ok);
    EXPECT_TRUE(types.empty());
}

TEST(Catalogues, MalformedCataloguesNameFileLineAndWhatWasExpected) {
    std::vector<PipeSeries> pipes;
    // Fewer diameters than announced.
    CatalogueLoadResult r =
        parsePipes("\"Tubi\",1\n\"Acciaio\",\"ACC\",7850,120,1,3\n1\",27.3,33.7\n2\",53.1,60.3\n", pipes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, 5);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Catalogo Vlmtubi.txt, riga 5: fine del file")))
        << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(QStringLiteral("diametro 2"))) << r.message.toStdString();
    EXPECT_TRUE(pipes.empty());

    r = parsePipes("\"Tubi\",1\n\"Acciaio\",\"ACC\",7850,centoventi,1,0\n", pipes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.line, 2);
    EXPECT_TRUE(r.message.contains(QStringLiteral("coefficiente C"))) << r.message.toStdString();
    EXPECT_TRUE(r.message.contains(QStringLiteral("\"centoventi\""))) << r.message.toStdString();

    r = parsePipes("\"Tubi\",-1\n", pipes);
    EXPECT_FALSE(r.ok);

    std::vector<TerminalType> types;
    r = parseTerminals("\"Terminali\"\n\"Idrante\",82.5,120,2\n", types);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.contains(QStringLiteral("l'icona"))) << r.message.toStdString();
    EXPECT_TRUE(types.empty());
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
