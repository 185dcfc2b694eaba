#pragma once

// The changes that the grid windows make to the tree, apart from their windows: each
// keeps the tree's invariants (node 1 is the origin with parent 0; every reachable node's
// parent is the node whose next or derivation points at it; a node with a derivation
// continues). Nodes taken out of the tree stay in the table, unreachable. None of them
// recalculates: the caller runs ResistanceUp from the node returned, then FlowPass.

#include "model/Project.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace valmora::edits {

// Fills the defaults of a new node hanging from `parent`: virtual length 1, length 0,
// name = its index; the parent's series and diameter, or lastSeries and diameter 1 after
// a KV element.
void applyNewNodeDefaults(Project& project, int16_t node, int16_t parent);

// A new node after `last` (the last node of its branch), which hands it its end: a
// terminal moves to the new last node. nullopt when the table is full (nothing changed).
std::optional<int16_t> appendAfter(Project& project, int16_t last);

struct Insertion {
    int16_t node = 0;           // the new node, where the recalculation starts
    int16_t newBranchStart = 0; // non-zero when the branch of a derived window now starts there
};
// A new node before `before`. Before node 1 the new node takes node 1's whole record and
// node 1 stays the origin in front of it. nullopt when the table is full.
std::optional<Insertion> insertBefore(Project& project, int16_t before);

enum class DeleteCheck {
    RefusedOnlyBranch,       // the origin alone cannot go
    RefusedDerivationFirst,  // the previous node's derivation must go first
    ConfirmDelete,           // "Confermi la cancellazione?"
    ConfirmDeleteDerivation, // the node carries a derived branch that goes with it
};
DeleteCheck checkDelete(const Project& project, int16_t node);

struct Deletion {
    int16_t recalculateFrom = 0;
    bool derivedBranchRemoved = false; // the node was the only one of a derived branch
    int16_t newBranchStart = 0;        // non-zero when a derived branch now starts there
    int loopPipesRemoved = 0;          // the loop pipes on the node, gone with it
};
// Deletes `node` (after checkDelete allowed it), with its derived subtree.
Deletion deleteNode(Project& project, int16_t node);
// How many loop pipes deleting `node` would take with it.
int loopPipesGoneWith(const Project& project, int16_t node);

// A derived branch at `at` (which continues and has none): one node named `name` ending in
// a terminal of lastTerminalType at height 0. nullopt when a table is full.
std::optional<int16_t> addDerivation(Project& project, int16_t at, const QString& name);

// A terminal of lastTerminalType at height 0 for an end without one; false when `end` is
// not such an end or the terminal table is full (nothing changed).
bool addTerminal(Project& project, int16_t end);

// One diameter up or down within the node's series; false when nothing changed.
bool stepDiameter(Project& project, int16_t node, bool up);

// Another series for the node: a pipe series with its diameter index (the length becomes
// its absolute value and lastSeries the series), or 0 for a KV element (lock cleared).
void applySeries(Project& project, int16_t node, int16_t series, int16_t diameterIndex);

// The same two changes on a loop pipe, by its index.
bool stepLoopPipeDiameter(Project& project, std::size_t pipe, bool up);
void applyLoopPipeSeries(Project& project, std::size_t pipe, int16_t series, int16_t diameterIndex);

// The tree's invariants, for tests and checks: empty when they hold, else what is wrong.
QString invariantViolation(const Project& project);

} // namespace valmora::edits
