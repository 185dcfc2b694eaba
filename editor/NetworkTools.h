#pragma once

// The network-wide tools, apart from their dialogs: every pipe of one series moved to
// another, every terminal of one type changed to another, and the sprinkler comb that
// replaces the terminal at the end of a branch. None of them recalculates.

#include "model/Project.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace valmora::tools {

// ---- pipe series ------------------------------------------------------------------

// A pipe that the series change moves: not locked, not a KV element.
bool isSeriesChangeCandidate(const Node& node);

struct ListEntry {
    QString name;
    int itemValue = 0; // what the list entry carries
};
// The series that at least one candidate uses, each carrying its index minus 1.
std::vector<ListEntry> seriesInUse(const Project& project);
// Every candidate of series `from` moves to series `to`, taking the diameter nearest to its
// bore; the count of pipes moved.
int changePipeSeries(Project& project, int16_t from, int16_t to);

// ---- terminal types ---------------------------------------------------------------

// The terminal types that at least one terminal record uses, each carrying its index.
std::vector<ListEntry> terminalTypesInUse(const Project& project);
// Every terminal record of type `from` becomes of type `to`; the count of records changed.
int changeTerminalType(Project& project, int16_t from, int16_t to);

// ---- sprinkler comb ---------------------------------------------------------------

struct CombSettings {
    int16_t branchCount = 2;   // take-offs
    float nozzleSpacing = 150; // cm along an arm
    int16_t nozzlesSideA = 2;
    int16_t nozzlesSideB = 6;
    float takeoffSpacing = 150; // cm along the main pipe
};

// Main pipe and arms: series 1, these diameter indexes.
constexpr int16_t kCombSeries = 1;
constexpr int16_t kMainPipeDiameter = 7;
constexpr float kCombVirtualLength = 1.0f;

// The last node of the branch through `node`; nullopt when the branch ends without a
// terminal (there is nothing for the comb to replace).
std::optional<int16_t> combEndNode(const Project& project, int16_t node);
// "O.K." is on exactly when the product of the counts and spacings is above 0.
bool combSettingsEnabled(const CombSettings& settings);
// The nozzles the comb creates, (A + B) x take-offs, in 16 bits as the dialog reckons.
int16_t combNozzleCount(const CombSettings& settings);
// The lines of the summary the designer confirms.
QString combSummary(const Project& project, const CombSettings& settings, int16_t terminalType);
// Why a comb cannot be built (negative values, too many nodes or terminals), or nullopt.
std::optional<QString> combRefusal(const Project& project, const CombSettings& settings);
// Builds the comb in place of the terminal at `endNode`: the new nozzles take that
// terminal's type and height. Returns the number of nodes added.
int CreateComb(Project& project, int16_t endNode, CombSettings settings);

} // namespace valmora::tools
