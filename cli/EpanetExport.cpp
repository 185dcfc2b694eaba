#include "cli/EpanetExport.h"

#include "model/Calculation.h"
#include "model/MessageText.h"
#include "model/Traversal.h"
#include "standards/StandardHydraulics.h"

#include <QStringList>

#include <cmath>

namespace valmora {

using namespace hydraulics;
using namespace epanet;

namespace {

QString number(double value) {
    return QString::number(value, 'g', 12);
}

// EPANET identifiers hold no blanks or semicolons; anything but plain letters, digits and
// a few signs becomes '_'.
QString identifier(const QString& prefix, int16_t node, const QString& name) {
    QString id = QStringLiteral("%1%2_").arg(prefix).arg(node);
    for (const QChar c : name) {
        if (id.size() >= kMaxIdLength)
            break;
        const bool plain = c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-' || c == u'.');
        id += plain ? c : QChar(u'_');
    }
    return id;
}

// EPANET reads a title line as it stands, but takes a line whose first word begins with '['
// for a section heading, and a line break for the next line: the project's name, whatever
// it holds, is one line after a word of ours, well within the reader's line length.
QString titleLine(const QString& projectPath) {
    return QStringLiteral("Progetto ") + oneLine(projectPath).left(kMaxTitleCharacters);
}

QString inletOf(const Project& project, const Node& node) {
    return node.parent > 0 ? epanetJunctionId(project, node.parent) : kEpanetSupplyId;
}

bool isOpenEnd(const Node& node) {
    return !node.continues() && !node.endsInTerminal();
}

double metresOfPressure(double mm) {
    return mm / kMmPerMetre;
}

struct Sections {
    QStringList junctions, reservoirs, pipes, valves, emitters, curves, status, tags;
};

// What the file is asked to stand for: the calculation's network, or a verification's
// scenario (its members discharging by the standard's law, everything else shut).
struct Mode {
    const std::vector<bool>* members = nullptr; // by node; none: the calculation's network
    // The calculation's heads written in metres of water (see epanetCrossCheckInput).
    bool inWaterMetres = false;
    bool scenario() const { return members != nullptr; }
    bool waterMetres() const { return scenario() || inWaterMetres; }
    // Metres of water of a loss that the calculation's formulas give in bar.
    double metresPerBar() const { return waterMetres() ? standard_law::kMetresOfWaterPerBar : kMetresPerBar; }
    // The metres written for a metre of the calculation's heads (heights, the supply).
    double headScale() const {
        return inWaterMetres ? standard_law::kMetresOfWaterPerBar / kMetresPerBar : 1.0;
    }
};

// The names a section's link is written with.
struct LinkIds {
    QString link, from, to, curve;
};

// A section: a pipe, or a KV element as a general purpose valve with its head-loss curve.
void writeSection(const Project& project, const Node& node, const LinkIds& ids, const Mode& mode,
                  Sections& out) {
    const QString state = node.closed ? QStringLiteral("Closed") : QStringLiteral("Open");
    if (node.isKvElement()) {
        const double kv = double(node.virtualLength) + kGuardLength;
        for (const double share : kKvCurveShares) {
            // 10000 x (Q / KV / 1000)^1.85 mm at Q = share x KV x 1000 l/min.
            const double headLoss = mode.metresPerBar() * std::pow(share, kExponent);
            out.curves << QStringLiteral("%1\t%2\t%3")
                              .arg(ids.curve, number(share * kv * kKvFlowScale), number(headLoss));
        }
        // The diameter only sets the velocity EPANET reports; the curve gives the loss.
        out.valves
            << QStringLiteral("%1\t%2\t%3\t100\tGPV\t%4\t0").arg(ids.link, ids.from, ids.to, ids.curve);
        if (node.closed)
            out.status << QStringLiteral("%1\tClosed").arg(ids.link);
    } else {
        const double length = double(node.length + node.virtualLength) + kGuardLength;
        out.pipes << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t0\t%7")
                         .arg(ids.link, ids.from, ids.to, number(length),
                              number(project.diameterOf(node).innerDiameter))
                         .arg(project.seriesOf(node).hazenC)
                         .arg(state);
    }
}

void writeNode(const Project& project, int16_t i, const Mode& mode, Sections& out) {
    const Node& node = project.NodeTable[i];
    const QString link = epanetLinkId(project, i);
    const QString from = inletOf(project, node);
    const QString to = epanetJunctionId(project, i); // for an end without terminal, a reservoir

    if (isOpenEnd(node) && !mode.scenario()) {
        out.reservoirs << QStringLiteral("%1\t0").arg(to);
    } else {
        const double elevation = node.endsInTerminal() ? double(project.terminalOf(node).height) : 0.0;
        out.junctions << QStringLiteral("%1\t%2\t0").arg(to, number(elevation * mode.headScale()));
    }
    if (node.endsInTerminal() && !mode.scenario()) {
        const double k = project.terminalTypeOf(project.terminalOf(node)).kFactor;
        // Q = K (p_m / metres a bar)^(1/1.85).
        out.emitters << QStringLiteral("%1\t%2").arg(
            to, number(k / std::pow(mode.metresPerBar(), kInverseExponent)));
    } else if (mode.scenario() && (*mode.members)[std::size_t(i)]) {
        // Q = Kn sqrt(p bar) = Kn / sqrt(10.197) sqrt(p m).
        const TerminalType& type = project.terminalTypeOf(project.terminalOf(node));
        const double kn = double(type.nominalFlow) / std::sqrt(double(type.nominalPressure));
        out.emitters << QStringLiteral("%1\t%2").arg(
            to, number(kn / std::sqrt(standard_law::kMetresOfWaterPerBar)));
    }

    writeSection(project, node, {link, from, to, epanetCurveId(project, i)}, mode, out);
}

// A loop pipe: a link between the junctions of its two nodes, as a node's section.
void writeLoopPipe(const Project& project, std::size_t k, const Mode& mode, Sections& out) {
    const LoopPipe& pipe = project.loopPipes[k];
    const auto at = static_cast<int16_t>(k + 1);
    writeSection(project, pipe.asSection(),
                 {identifier(QStringLiteral("A"), at, pipe.name), epanetJunctionId(project, pipe.nodeA),
                  epanetJunctionId(project, pipe.nodeB), identifier(QStringLiteral("KVA"), at, pipe.name)},
                 mode, out);
}

void appendSection(QString& text, const char* title, const QStringList& lines) {
    text += QStringLiteral("\n[%1]\n").arg(QLatin1String(title));
    for (const QString& line : lines)
        text += line + u'\n';
}

} // namespace

QString epanetJunctionId(const Project& project, int16_t node) {
    return identifier(QStringLiteral("N"), node, project.NodeTable[node].name);
}

QString epanetLinkId(const Project& project, int16_t node) {
    return identifier(QStringLiteral("T"), node, project.NodeTable[node].name);
}

QString epanetCurveId(const Project& project, int16_t node) {
    return identifier(QStringLiteral("KV"), node, project.NodeTable[node].name);
}

namespace {

QByteArray inputFor(const Project& project, const Mode& mode) {
    Sections sections;
    sections.reservoirs << QStringLiteral("%1\t%2").arg(
        kEpanetSupplyId, number(metresOfPressure(project.supplyPressure) * mode.headScale()));
    for (const int16_t i : networkPreorder(project))
        writeNode(project, i, mode, sections);
    for (std::size_t k = 0; k < project.loopPipes.size(); ++k)
        writeLoopPipe(project, k, mode, sections);

    QString text = QStringLiteral("[TITLE]\n%1\n").arg(titleLine(project.projectPath));
    appendSection(text, "JUNCTIONS", sections.junctions);
    appendSection(text, "RESERVOIRS", sections.reservoirs);
    appendSection(text, "PIPES", sections.pipes);
    appendSection(text, "VALVES", sections.valves);
    appendSection(text, "EMITTERS", sections.emitters);
    appendSection(text, "CURVES", sections.curves);
    appendSection(text, "STATUS", sections.status);
    const double emitterExponent = mode.scenario() ? kScenarioEmitterExponent : kInverseExponent;
    appendSection(text, "OPTIONS",
                  {QStringLiteral("UNITS\tLPM"), QStringLiteral("HEADLOSS\tH-W"),
                   QStringLiteral("EMITTER EXPONENT\t%1").arg(number(emitterExponent)),
                   QStringLiteral("BACKFLOW ALLOWED\tNO"), QStringLiteral("ACCURACY\t0.000001"),
                   QStringLiteral("TRIALS\t500")});
    // Flows to the thousandth of a l/min: a few l/min near the grade compare to the percent.
    appendSection(
        text, "REPORT",
        {QStringLiteral("LINKS\tALL"), QStringLiteral("NODES\tALL"), QStringLiteral("FLOW\tPRECISION\t3")});
    text += QStringLiteral("\n[END]\n");
    return text.toUtf8();
}

} // namespace

QByteArray epanetInput(const Project& project) {
    return inputFor(project, Mode{});
}

QByteArray epanetCrossCheckInput(const Project& project) {
    Mode mode;
    mode.inWaterMetres = true;
    return inputFor(project, mode);
}

QByteArray epanetScenarioInput(const Project& project, const std::vector<int16_t>& members) {
    std::vector<bool> discharging(project.NodeTable.size(), false);
    for (const int16_t m : members)
        discharging[std::size_t(m)] = true;
    return inputFor(project, Mode{&discharging});
}

} // namespace valmora
