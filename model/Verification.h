#pragma once

// Checks of a calculated network against its converged solution (ConvergedSolution.h):
// whether the flows of the five-pass calculation are close enough to trust, and which
// terminals, sections and open ends a designer must look at.

#include "model/ConvergedSolution.h"
#include "model/Project.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora {

namespace verification {
// A terminal's calculated flow is trusted within this share of its converged flow...
constexpr double kFlowAgreement = 0.01;
// ...or when both flows are below this (l/min).
constexpr double kNegligibleFlow = 0.1;
// Mean velocity above which a section is flagged, m/s: the usual limit for fire mains.
constexpr double kVelocityLimit = 10;
} // namespace verification

struct TerminalVerification {
    int16_t node = 0;          // the terminal's branch end
    double calculatedFlow = 0; // l/min, from the results of Calculate
    double convergedFlow = 0;  // l/min
    // The calculated flow agrees with the converged one. Never true for a dry terminal
    // whose calculated flow is not 0.
    bool converged = false;
    double nominalPressure = 0;                  // mm, of the terminal's type
    double calculatedPressureLeft = 0;           // mm, as the grid shows it
    std::optional<double> convergedPressureLeft; // mm; none when shut off
    bool calculatedBelowNominal = false;
    bool convergedBelowNominal = false;
    bool dry = false;       // above the hydraulic grade: delivers nothing
    double headLacking = 0; // mm a dry terminal lacks to start flowing
    bool shutOff = false;   // behind a closed section
};

struct SectionVerification {
    int16_t node = 0;
    std::optional<double> calculatedVelocity; // m/s; none for a KV element
    std::optional<double> convergedVelocity;
    bool calculatedTooFast = false;
    bool convergedTooFast = false;
};

// A loop pipe that carries water in the converged solution.
struct LoopPipeVerification {
    std::size_t pipe = 0;           // index among the project's loop pipes
    std::optional<double> velocity; // m/s, signed as its flow; none for a KV element
    bool tooFast = false;
};

// An end without terminal that discharges in the converged solution.
struct OpenEndVerification {
    int16_t node = 0;
    double calculatedFlow = 0; // l/min
    double convergedFlow = 0;  // l/min
};

struct NetworkVerification {
    std::vector<TerminalVerification>
        terminals;                             // every terminal end, branch by branch as the grids show them
    std::vector<SectionVerification> sections; // every section that is not shut off, likewise
    std::vector<OpenEndVerification> openEnds;
    std::vector<LoopPipeVerification> loopPipes; // those not shut off, in the project's order
    const LoopPipeVerification* loopPipeAt(std::size_t pipe) const {
        for (const LoopPipeVerification& check : loopPipes)
            if (check.pipe == pipe)
                return &check;
        return nullptr;
    }

    // The entry of a node, or nullptr when it has none.
    const TerminalVerification* terminalAt(int16_t node) const { return at(terminals, terminalIndex, node); }
    const SectionVerification* sectionAt(int16_t node) const { return at(sections, sectionIndex, node); }
    const OpenEndVerification* openEndAt(int16_t node) const { return at(openEnds, openEndIndex, node); }

    // By node: where its entry stands in its list, -1 for none.
    std::vector<int> terminalIndex, sectionIndex, openEndIndex;

private:
    template <typename T>
    static const T* at(const std::vector<T>& list, const std::vector<int>& index, int16_t node) {
        if (node <= 0 || std::size_t(node) >= index.size() || index[std::size_t(node)] < 0)
            return nullptr;
        return &list[std::size_t(index[std::size_t(node)])];
    }
};

// `project` holds the results of Calculate; `solution` is SolveConverged of the same
// network (ok). Reads both, writes nothing.
NetworkVerification VerifyNetwork(const Project& project, const NetworkResults& results,
                                  const ConvergedSolution& solution);

// What the converged solution says of a terminal, for the grid's tooltip, the report and
// the command line, beginning in lower case: its flow and pressure left ("a convergenza
// portata 31 Lt/min, pressione disponibile 1.643 mm"), or, for a dry terminal, that it
// delivers nothing and how far it stands above the hydraulic grade ("a convergenza non
// eroga: è sopra la piezometrica di 1.351 mm").
QString convergedTerminalText(const TerminalVerification& check, const QLocale& locale = QLocale());

// What is said of an end without terminal that pours water out, beginning in lower case:
// "estremità aperta, scarica 1226 Lt/min".
QString openEndText(const OpenEndVerification& check, const QLocale& locale = QLocale());

// One thing a designer must look at, as every view says it: the grid, the schema, the
// report, the command line and the window of warnings.
struct NetworkWarning {
    enum class Kind {
        FarFromConverged,     // the calculated flow is not the converged one
        Dry,                  // delivers nothing at convergence, and is not shut off
        BelowNominalPressure, // pressure left below the type's nominal, and not shut off
        OpenEnd,              // an end without terminal that pours water out
        TooFast,              // the section's velocity is over the limit
        LoopPipeTooFast,      // a loop pipe's velocity is over the limit
    };
    Kind kind;
    int16_t node = 0;  // for a loop pipe, its first node
    QString text;      // beginning in lower case, to follow "Attenzione: "
    int loopPipe = -1; // the loop pipe's index, for LoopPipeTooFast

    bool aboutTheEnd() const { return kind != Kind::TooFast && kind != Kind::LoopPipeTooFast; }
};

// What is said of one node: of its branch end first, then of its section.
std::vector<NetworkWarning> warningsOf(const Project& project, const NetworkVerification& checks,
                                       int16_t node, const QLocale& locale = QLocale());
// Of the branch starting at `firstNode`: of its end first, then of its sections in order.
std::vector<NetworkWarning> branchWarnings(const Project& project, const NetworkVerification& checks,
                                           int16_t firstNode, const QLocale& locale = QLocale());

// Of the loop pipes, in their order: those past the velocity limit.
std::vector<NetworkWarning> loopPipeWarnings(const Project& project, const NetworkVerification& checks,
                                             const QLocale& locale = QLocale());

// Of the whole network, branch by branch in the order of the grid windows, then of the loop
// pipes in theirs.
std::vector<NetworkWarning> networkWarnings(const Project& project, const NetworkVerification& checks,
                                            const QLocale& locale = QLocale());

// The same with a capital, as a sentence of its own.
QString asSentence(QString text);

} // namespace valmora
