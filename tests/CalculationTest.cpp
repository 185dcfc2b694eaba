#include "model/Calculation.h"
#include "cli/CalculationReport.h"
#include "cli/CliCommands.h"
#include "model/Catalogues.h"
#include "model/ConvergedSolution.h"
#include "model/DerivedQuantities.h"
#include "model/NetworkValidation.h"
#include "model/StandardSettings.h"
#include "model/Traversal.h"
#include "standards/StandardVerification.h"
#include "storage/ProjectFile.h"
#include "tests/GoldenFiles.h"
#include "tests/ReferenceWalk.h"
#include "tests/TestFiles.h"
#include "tests/support/NetworkBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

using namespace valmora;
using namespace valmora::testkit;
using namespace valmora::testkit::testCatalogue;

namespace {

// One pipe (C 120, 50 mm, 10 m) feeding a K 100 terminal at `height`.
Project singlePipe(float height) {
    Project p = projectWithTestCatalogues();
    buildOnePipe(p, height);
    return p;
}

// Node 1 (50 mm, 20 m) continues into node 2 (40 mm, 10 m + 2 m, K 100 at 0 m) and
// derives node 3 (40 mm, 30 m, K 80 at 5 m).
Project oneJunction() {
    Project p = projectWithTestCatalogues();
    NetworkBuilder build(p);
    const int16_t trunk = build.root({QStringLiteral("Tronco"), 20, 0, 1, kBore50});
    const int16_t branch = build.deriveAt(trunk, {QStringLiteral("Deriv"), 30, 0, 1, kBore40});
    const int16_t cont = build.continueAfter(trunk, {QStringLiteral("Segue"), 10, 2, 1, kBore40});
    build.endWithTerminal(cont, kTypeK100, 0);
    build.endWithTerminal(branch, kTypeK80, 5);
    return p;
}

// The state after the first reduction only: the walk from each end, derivation first.
NetworkResults firstReductionOnly(const Project& p, std::initializer_list<int16_t> endsInWalkOrder) {
    NetworkResults r;
    for (const int16_t end : endsInWalkOrder)
        ResistanceUp(p, r, end);
    FlowPass(p, r);
    return r;
}

void expectSameResults(const NetworkResults& actual, const NetworkResults& expected) {
    ASSERT_EQ(actual.nodes.size(), expected.nodes.size());
    ASSERT_EQ(actual.terminals.size(), expected.terminals.size());
    EXPECT_EQ(actual.totalFlow, expected.totalFlow);
    EXPECT_EQ(actual.networkResistance, expected.networkResistance);
    for (std::size_t i = 1; i < actual.nodes.size(); ++i) {
        const NodeResult& a = actual.nodes[i];
        const NodeResult& e = expected.nodes[i];
        EXPECT_EQ(a.resistance, e.resistance) << "node " << i;
        EXPECT_EQ(a.eqResistance, e.eqResistance) << "node " << i;
        EXPECT_EQ(a.flowShare, e.flowShare) << "node " << i;
        EXPECT_EQ(a.flowFraction, e.flowFraction) << "node " << i;
    }
    for (std::size_t t = 1; t < actual.terminals.size(); ++t) {
        EXPECT_EQ(actual.terminals[t].heightResistance, expected.terminals[t].heightResistance)
            << "terminal " << t;
        EXPECT_EQ(actual.terminals[t].terminalResistance, expected.terminals[t].terminalResistance)
            << "terminal " << t;
    }
}

// What the grid and the reports show: finite numbers only.
void expectFiniteRows(const Project& p, const NetworkResults& r) {
    for (const int16_t start : branchStarts(p))
        for (const BranchRow& row : computeBranchRows(p, r, start)) {
            EXPECT_TRUE(std::isfinite(row.flow) && std::isfinite(row.drop) &&
                        std::isfinite(row.cumulativeDrop) && std::isfinite(row.velocity.value_or(0)))
                << "node " << row.node;
        }
}

// Results left by some other network, of the same size: what a window hands the calculation
// after an edit. Index 0 holds no node and nothing ever writes its results.
NetworkResults resultsOfAnotherNetwork(const Project& p, std::mt19937& rng) {
    std::uniform_real_distribution<double> any(-2.0, 50.0);
    NetworkResults r;
    r.fitTo(p);
    for (std::size_t i = 1; i < r.nodes.size(); ++i)
        r.nodes[i] = {any(rng), any(rng), any(rng), any(rng)};
    for (std::size_t t = 1; t < r.terminals.size(); ++t)
        r.terminals[t] = {float(any(rng)), float(any(rng))};
    r.totalFlow = float(any(rng));
    return r;
}

// A figure worked by hand, on a line of its file's notes:
//   atteso: <quantity> = <value> [+- <tolerance>]
// the value in Italian numbers; without a tolerance, half a unit of its last written digit.
struct HandFigure {
    QString quantity;
    QString value;
    double tolerance = 0;
};

double italianNumber(const QString& text) {
    bool ok = false;
    const double value = QString(text).replace(u',', u'.').toDouble(&ok);
    EXPECT_TRUE(ok) << text.toStdString();
    return value;
}

std::vector<HandFigure> handFigures(const QString& notes) {
    static const QRegularExpression line(
        QStringLiteral("^atteso: (.+?) = ([0-9,]+|superata|non superata)(?: \\+- ([0-9,]+))?$"));
    std::vector<HandFigure> figures;
    for (const QString& text : notes.split(QRegularExpression(QStringLiteral("\r\n|\n")))) {
        if (!text.startsWith(QStringLiteral("atteso:")))
            continue;
        const QRegularExpressionMatch m = line.match(text);
        EXPECT_TRUE(m.hasMatch()) << "unreadable: " << text.toStdString();
        if (!m.hasMatch())
            continue;
        HandFigure figure{m.captured(1), m.captured(2), 0};
        if (m.hasCaptured(3)) {
            figure.tolerance = italianNumber(m.captured(3));
        } else {
            const qsizetype comma = figure.value.indexOf(u',');
            const qsizetype decimals = comma < 0 ? 0 : figure.value.size() - comma - 1;
            figure.tolerance = 0.5 * std::pow(10.0, -double(decimals));
        }
        figures.push_back(figure);
    }
    return figures;
}

int16_t nodeNamed(const Project& p, const QString& name) {
    for (std::size_t i = 1; i < p.NodeTable.size(); ++i)
        if (p.NodeTable[i].name == name)
            return int16_t(i);
    return 0;
}

// Each hand-worked figure against what the program computes, read from its results and not
// from any text it prints.
void expectHandFigures(const Project& p, const NetworkResults& r, const std::string& file) {
    const std::vector<HandFigure> figures = handFigures(p.projectNotes);
    // A file that says it was worked by hand says what to.
    if (p.projectNotes.contains(QStringLiteral("a mano"), Qt::CaseInsensitive) ||
        p.projectNotes.contains(QStringLiteral("a convergenza"), Qt::CaseInsensitive)) {
        EXPECT_FALSE(figures.empty()) << file << " has no \"atteso:\" line";
    }
    std::optional<ConvergedSolution> converged;
    std::optional<StandardCheck> check;
    static const QString kConverged = QStringLiteral("portata convergente ");
    static const QString kFlow = QStringLiteral("portata ");
    for (const HandFigure& figure : figures) {
        SCOPED_TRACE(file + ": " + figure.quantity.toStdString());
        if (figure.quantity.startsWith(QStringLiteral("verifica")) ||
            figure.quantity.endsWith(QStringLiteral("di progetto"))) {
            if (!check)
                check = verifyStandard(p, p.standardSettings);
            ASSERT_FALSE(check->scenarios.empty());
            const SetCheck& worst = check->scenarios.front().mostUnfavourable;
            if (figure.quantity == QStringLiteral("verifica")) {
                EXPECT_EQ(check->pass, figure.value == QStringLiteral("superata"));
            } else if (figure.quantity == QStringLiteral("pressione di progetto")) {
                ASSERT_TRUE(worst.demandPressure);
                EXPECT_NEAR(*worst.demandPressure, italianNumber(figure.value), figure.tolerance);
            } else {
                EXPECT_EQ(figure.quantity, QStringLiteral("portata di progetto"));
                EXPECT_NEAR(worst.demandFlow, italianNumber(figure.value), figure.tolerance);
            }
            continue;
        }
        const bool isConverged = figure.quantity.startsWith(kConverged);
        ASSERT_TRUE(isConverged || figure.quantity.startsWith(kFlow)) << "an unknown quantity";
        const QString where = figure.quantity.mid(isConverged ? kConverged.size() : kFlow.size());
        static const QString kLoop = QStringLiteral("anello ");
        if (isConverged && where.startsWith(kLoop)) {
            const QString name = where.mid(kLoop.size());
            const auto pipe = std::find_if(p.loopPipes.begin(), p.loopPipes.end(),
                                           [&](const LoopPipe& l) { return l.name == name; });
            ASSERT_NE(pipe, p.loopPipes.end()) << "no such loop pipe";
            if (!converged)
                converged = SolveConverged(p);
            ASSERT_TRUE(converged->ok && converged->converged);
            EXPECT_NEAR(converged->loops[std::size_t(pipe - p.loopPipes.begin())].flow,
                        italianNumber(figure.value), figure.tolerance);
            continue;
        }
        const bool total = where == QStringLiteral("totale");
        const int16_t node = total ? int16_t(0) : nodeNamed(p, where);
        ASSERT_TRUE(total || node > 0) << "no such node";
        double computed = 0;
        if (isConverged) {
            if (!converged)
                converged = SolveConverged(p);
            ASSERT_TRUE(converged->ok && converged->converged);
            computed = total ? converged->totalFlow : converged->nodes[std::size_t(node)].flow;
        } else {
            computed = total ? double(r.totalFlow) : nodeFlow(r, node);
        }
        EXPECT_NEAR(computed, italianNumber(figure.value), figure.tolerance);
    }
}

} // namespace

// Small networks worked out by hand, one project file each under tests/data/calcoli (over the
// test catalogues; in cataloghi-forniti over the shipped ones) with the figures in its notes:
// the results as the command line prints them, table and JSON, and the verification where
// the file holds its settings, go whole to golden/calcoli.txt. The figures worked by hand
// stand on the notes' "atteso:" lines and are checked against the results on their own, so
// that writing the golden file anew can never bless a wrong number.
TEST(Calculation, HandWorkedNetworks) {
    const LocaleScope italian(kItalian);
    QString seen;
    for (const bool shipped : {false, true}) {
        const QDir folder(QStringLiteral(VALMORA_TEST_DATA_DIR "/calcoli") +
                          (shipped ? QStringLiteral("/cataloghi-forniti") : QString()));
        for (const QString& name : folder.entryList({QStringLiteral("*.vlm")}, QDir::Files, QDir::Name)) {
            Project p = shipped ? projectWithShippedCatalogues() : projectWithTestCatalogues();
            const QString file = folder.filePath(name);
            ASSERT_TRUE(ReadProject(p, file).ok()) << name.toStdString();
            NetworkResults r;
            ASSERT_TRUE(Calculate(p, r).ok) << name.toStdString();
            expectHandFigures(p, r, name.toStdString());
            seen += QStringLiteral("=== %1\n%2\n")
                        .arg(name,
                             QString(p.projectNotes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))) +
                    calculationTable(p, r, name, kItalian) + QString::fromUtf8(calculationJson(p, r, name)) +
                    u'\n';
            if (p.standardSettings.standard != Standard::None) {
                const QStringList verify{QStringLiteral("verify"), file, QStringLiteral("--catalogues"),
                                         shipped ? shippedDataDirectory() : testCataloguesDirectory()};
                for (const QStringList& arguments :
                     {verify, verify + QStringList{QStringLiteral("--json")}}) {
                    const CliResult result = runCli(arguments);
                    seen +=
                        QStringLiteral("--- verifica, uscita %1\n").arg(result.exitCode) +
                        QString::fromUtf8(result.output).replace(folder.path(), QStringLiteral("<dati>")) +
                        result.error;
                }
            }
        }
    }
    expectGolden(QStringLiteral("calcoli.txt"), seen);
}

TEST(Calculation, MatchesTheWalkFromEveryEndExactly) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 60; ++round) {
        Project p = projectWithTestCatalogues();
        buildRandom(p, rng, 2 + round * 3);
        NetworkResults expected;
        referenceCalculate(p, expected);

        // From no results and from results left by some other network alike.
        NetworkResults fromStale = resultsOfAnotherNetwork(p, rng);
        NetworkResults stale = fromStale;
        referenceCalculate(p, stale);

        NetworkResults fresh;
        ASSERT_TRUE(Calculate(p, fresh).ok) << "round " << round;
        ASSERT_TRUE(Calculate(p, fromStale).ok) << "round " << round;
        SCOPED_TRACE(round);
        expectSameResults(fresh, expected);
        expectSameResults(fromStale, expected);
        expectSameResults(stale, expected);
        ASSERT_TRUE(std::isfinite(fresh.totalFlow));
    }
}

// The specified walk sums a terminal end's resistances as height + (terminal + section) in
// the reduction, and as terminal + section + height after a height correction; another order
// rounds differently in the last bit, which results exact to the last digit must not.
TEST(Calculation, ATerminalEndSumsItsResistancesAsTheWalkDoes) {
    int reducedApart = 0;
    int correctedApart = 0;
    for (int k = 1; k <= 250; ++k) {
        Project p = singlePipe(0.137f * float(k));
        NetworkResults r;
        ResistanceUp(p, r, 1);
        const Node& node = p.NodeTable[1];
        const Terminal& terminal = p.TerminalTable[std::size_t(node.derivation)];
        const NodeResult& at = r.nodes[1];
        const TerminalResult& work = r.terminals[std::size_t(node.derivation)];
        const double height = double(work.heightResistance);
        const double own = double(work.terminalResistance);
        EXPECT_EQ(at.eqResistance, height + (own + at.resistance)) << "height " << terminal.height;
        reducedApart += (height + own) + at.resistance != height + (own + at.resistance);

        ASSERT_TRUE(Calculate(p, r).ok);
        const double corrected = double(r.terminals[std::size_t(node.derivation)].heightResistance);
        EXPECT_EQ(r.nodes[1].eqResistance, own + r.nodes[1].resistance + corrected)
            << "height " << terminal.height;
        const double walk = own + r.nodes[1].resistance + corrected;
        correctedApart += (own + corrected) + r.nodes[1].resistance != walk ||
                          own + (r.nodes[1].resistance + corrected) != walk;
    }
    // The heights tried must tell the orders apart, or the checks above say nothing.
    EXPECT_GT(reducedApart, 0);
    EXPECT_GT(correctedApart, 0);
}

TEST(Calculation, QuickUpdateAgreesWithAFullCalculation) {
    // The example project with its terminals at ground level, where the corrections change
    // nothing: re-reducing the path of the changed node must give what a full calculation gives.
    Project example = projectWithShippedCatalogues();
    ASSERT_TRUE(ReadProject(example, shippedDataDirectory() + QStringLiteral("/esempio.vlm")).ok());
    for (Terminal& terminal : example.TerminalTable)
        terminal.height = 0;
    NetworkResults calculated;
    ASSERT_TRUE(Calculate(example, calculated).ok);
    for (const int16_t changed : networkPreorder(example)) {
        SCOPED_TRACE(changed);
        Project changedProject = example;
        changedProject.NodeTable[changed].length += 7;
        changedProject.NodeTable[changed].virtualLength *= 2;
        NetworkResults quick = calculated;
        ResistanceUp(changedProject, quick, changed);
        ASSERT_TRUE(FlowPass(changedProject, quick).ok);
        NetworkResults full;
        ASSERT_TRUE(Calculate(changedProject, full).ok);
        EXPECT_NEAR(quick.totalFlow, full.totalFlow, 1e-6 * full.totalFlow);
        for (const int16_t i : networkPreorder(changedProject))
            EXPECT_NEAR(nodeFlow(quick, i), nodeFlow(full, i), 1e-6 * full.totalFlow) << "node " << i;
    }
}

TEST(Calculation, TerminalAtTheMinimumCorrectedFlowKeepsItsHeightResistance) {
    // A terminal 1 m up whose K makes its flow exactly 0.0001 l/min at 1 mm of supply,
    // found by bisection on K: at the limit the height is not corrected.
    Project p = singlePipe(1);
    p.supplyPressure = 1;
    const auto flowWith = [&p](float k) {
        p.TerminalCatalogue[kTypeK100].kFactor = k;
        return firstReductionOnly(p, {1}).totalFlow;
    };
    float low = 0.001f;
    float high = 1.0f;
    while (flowWith(low + (high - low) / 2) != hydraulics::kMinimumCorrectedFlow && high - low > 1e-9f)
        (flowWith(low + (high - low) / 2) < hydraulics::kMinimumCorrectedFlow ? low : high) =
            low + (high - low) / 2;
    ASSERT_EQ(flowWith(low + (high - low) / 2), hydraulics::kMinimumCorrectedFlow);
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    EXPECT_EQ(r.terminals[1].heightResistance, initialHeightResistance(1));
}

TEST(Calculation, QuickUpdateOnATerminalRestartsItsHeightResistance) {
    Project p = oneJunction();
    NetworkResults r;
    ASSERT_TRUE(Calculate(p, r).ok);
    ResistanceUp(p, r, 2);
    EXPECT_EQ(r.terminals[2].heightResistance, initialHeightResistance(5));
}

TEST(Calculation, RefusesWhatItCannotComputeAndLeavesTheNetworkAlone) {
    struct Case {
        const char* what;
        void (*spoil)(Project&);
        int16_t node;
        NetworkFault fault;
        const char* words;    // the sentence the designer reads
        bool walkable = true; // the grid can still walk the links
    };
    const Case cases[] = {
        {"supply", [](Project& p) { p.supplyPressure = 0; }, 0, NetworkFault::NoSupplyPressure,
         "La pressione disponibile deve essere maggiore di zero."},
        {"K of zero", [](Project& p) { p.TerminalCatalogue[kTypeK80].kFactor = 0; }, 2,
         NetworkFault::BadKFactor,
         "Nodo 2 \"Deriv\": il terminale \"Idrante K80\" ha un fattore K non valido."},
        {"C of zero",
         [](Project& p) {
             p.PipeCatalogue[1].hazenC = 0;
             p.PipeCatalogue[1].frictionFactor = frictionFactorFor(0);
         },
         1, NetworkFault::NonPositiveC,
         "Nodo 1 \"Tronco\": la serie \"Acciaio prova\" ha un coefficiente C non positivo."},
        {"bore of zero", [](Project& p) { p.PipeCatalogue[1].diameters[kBore40].innerDiameter = 0; }, 2,
         NetworkFault::NonPositiveBore,
         "Nodo 2 \"Deriv\": il diametro interno di \"40\" nella serie \"Acciaio prova\" non è positivo."},
        {"series index", [](Project& p) { p.NodeTable[3].seriesIndex = 7; }, 3, NetworkFault::MissingSeries,
         "Nodo 3 \"Segue\": la serie di tubi 7 non esiste nel catalogo."},
        {"diameter index", [](Project& p) { p.NodeTable[3].diameterIndex = 4; }, 3,
         NetworkFault::MissingDiameter,
         "Nodo 3 \"Segue\": il diametro 4 non esiste nella serie \"Acciaio prova\"."},
        {"terminal type", [](Project& p) { p.TerminalTable[1].typeIndex = 3; }, 3,
         NetworkFault::MissingTerminalType,
         "Nodo 3 \"Segue\": il tipo di terminale 3 non esiste nel catalogo."},
        {"terminal record", [](Project& p) { p.NodeTable[3].derivation = 9; }, 3,
         NetworkFault::MissingTerminal, "Nodo 3 \"Segue\": terminale 9 inesistente."},
        {"negative height", [](Project& p) { p.TerminalTable[2].height = -1; }, 2, NetworkFault::BadHeight,
         "Nodo 2 \"Deriv\": quota del terminale non valida."},
        {"negative length", [](Project& p) { p.NodeTable[2].length = -40; }, 2,
         NetworkFault::NonPositiveSectionLength,
         "Nodo 2 \"Deriv\": la lunghezza totale del tratto deve essere positiva."},
        {"broken link", [](Project& p) { p.NodeTable[1].next = 40; }, 1, NetworkFault::BadLinks,
         "Nodo 1 \"Tronco\": collegamenti della rete non validi (nodo 40).", false},
        {"loop",
         [](Project& p) {
             p.NodeTable[3].next = 1;
             p.NodeTable[3].derivation = 0;
         },
         3, NetworkFault::BadLinks, "Nodo 3 \"Segue\": collegamenti della rete non validi (nodo 1).", false},
        {"infinite length", [](Project& p) { p.NodeTable[2].length = INFINITY; }, 2, NetworkFault::BadLength,
         "Nodo 2 \"Deriv\": lunghezza non valida."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Project p = oneJunction();
        NetworkResults r;
        ASSERT_TRUE(Calculate(p, r).ok);
        c.spoil(p);
        const NetworkResults before = r;
        const CalculationOutcome outcome = Calculate(p, r);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.node, c.node);
        EXPECT_EQ(outcome.fault, c.fault);
        EXPECT_EQ(outcome.message, QString::fromUtf8(c.words));
        expectSameResults(r, before);
        if (c.walkable)
            expectFiniteRows(p, r);
        const ConvergedSolution converged = SolveConverged(p); // refuses alike, with a reason
        EXPECT_FALSE(converged.ok);
        EXPECT_EQ(converged.message, QString::fromUtf8(c.words));
    }
}

TEST(Calculation, OverflowingResultsAreRefusedAndCleared) {
    // KV elements of 1E38 pass unbounded flows: the total flow overflows a 32-bit float.
    struct Case {
        const char* what;
        bool derivedKv;
        int16_t node;
    };
    for (const Case& c : {Case{"open end", false, 1}, Case{"derived KV beside a closed terminal", true, 2}}) {
        SCOPED_TRACE(c.what);
        Project p = projectWithTestCatalogues();
        NetworkBuilder build(p);
        const int16_t root = build.root({QStringLiteral("KV"), 0, 1e38f, 0, 0});
        if (c.derivedKv) {
            build.deriveAt(root, {QStringLiteral("KV2"), 0, 1e38f, 0, 0});
            build.endWithTerminal(build.continueAfter(root, {QStringLiteral("Chiuso"), 1, 0, 1, 0, true}), 0,
                                  0);
        }
        NetworkResults r;
        const CalculationOutcome outcome = Calculate(p, r);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.node, c.node);
        EXPECT_EQ(outcome.fault, NetworkFault::ResultsOutOfScale);
        EXPECT_TRUE(outcome.message.startsWith(QStringLiteral("Nodo %1 ").arg(c.node)))
            << outcome.message.toStdString();
        EXPECT_EQ(r.totalFlow, 0.0f);
        expectFiniteRows(p, r);
        // The quick update refuses alike.
        ResistanceUp(p, r, p.nodeCount());
        EXPECT_FALSE(FlowPass(p, r).ok);
        expectFiniteRows(p, r);
    }
}
