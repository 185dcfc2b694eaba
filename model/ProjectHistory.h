#pragma once

// The history of the changes to a project, for "Annulla" and "Ripeti". It keeps the project as
// it stood after the last recorded change (the baseline: the stored fields of every record,
// not the results) and, for each change, only what differs from the state before it: field
// by field, so that a typed value costs a few bytes and a change of every pipe's series a
// few hundred kilobytes on the 32 767-node comb. Recording compares the project with the
// baseline (one pass over the tables), so every command only has to say when it is done and
// what to call it; a change that no command recorded goes with the next one recorded.
//
// Undoing writes the stored fields back exactly: the tables, the header, the verification's
// settings are as they were, and the cursor's node is given back, and a save gives the same bytes. The
// results are not kept: the caller calculates again. The steps are bounded by their bytes
// (kHistoryBytes): past it the oldest go.

#include "model/Project.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace valmora {

constexpr std::size_t kHistoryBytes = std::size_t(48) * 1024 * 1024;

class ProjectHistory {
public:
    explicit ProjectHistory(std::size_t byteBudget = kHistoryBytes);
    ~ProjectHistory();
    ProjectHistory(const ProjectHistory&) = delete;
    ProjectHistory& operator=(const ProjectHistory&) = delete;

    // A new history from the project as it stands (opened, new, read), the cursor on `cursor`:
    // nothing to undo, clean.
    void reset(const Project& project, int16_t cursor = 1);

    // Records what changed since the last step under `label` ("modifica Metri"), the cursor
    // now on `cursor`; false when nothing did. `cursorBefore` is the node the cursor was on when
    // the change began (0: where it was at the last step); undoing puts it back there. Steps that could be
    // redone are dropped. With `mergeWithLast`, a change of the same label as the last step (and not past the
    // saved state) becomes part of it: the clicks of a spin box are one step.
    bool record(const Project& project, int16_t cursor, const QString& label, int16_t cursorBefore = 0,
                bool mergeWithLast = false);
    // True when the project's stored fields are not those of the last step (a change no
    // command has recorded yet).
    bool differsFrom(const Project& project) const;

    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < steps_.size(); }
    QString undoLabel() const;
    QString redoLabel() const;

    struct Applied {
        QString label;
        bool shapeChanged = false; // the tree's links or sizes changed: the windows are rebuilt
        int16_t cursor = 1;        // the node the cursor was on: the caller puts it back there
    };
    // Takes the last step back (or does it again), writing the project's stored fields; the
    // caller calculates and refreshes.
    std::optional<Applied> undo(Project& project);
    std::optional<Applied> redo(Project& project);

    // The state as saved: undoing or redoing back to it makes the project unmodified again.
    void markClean();
    bool isClean() const { return clean_ && *clean_ == position_; }
    // What "Salvare prima?" asks about: the project is not the one last saved, opened or made new.
    bool isModified(const Project& project) const { return !isClean() || differsFrom(project); }

    std::size_t bytes() const { return bytes_; } // of the steps, which the budget bounds
    std::size_t baselineBytes() const;           // of the copy of the tables it compares with
    std::size_t steps() const { return steps_.size(); }

private:
    struct Snapshot;
    struct Step;
    int16_t apply(Project& project, const Step& step, bool forward); // the cursor to put back
    static void applyToTables(const Step& step, bool forward, std::vector<Node>& nodes,
                              std::vector<Terminal>& terminals);
    void dropOldest();
    void dropRedoSteps();

    std::size_t budget_;
    std::unique_ptr<Snapshot> baseline_;
    int16_t baselineCursor_ = 1;
    std::deque<std::unique_ptr<Step>> steps_;
    std::size_t position_ = 0; // steps before it are done
    std::optional<std::size_t> clean_;
    std::size_t bytes_ = 0;
};

} // namespace valmora
