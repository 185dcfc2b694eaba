#pragma once

// The document the main window shows: the project with its catalogues, its file (read,
// written, new), whether it holds unsaved work, its history of changes and its calculation.
// The window asks it and shows what it did; every message goes through the interaction.

#include "model/ProjectHistory.h"
#include "model/Workspace.h"
#include "platform/Interaction.h"
#include "storage/CatalogueFiles.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace valmora {

class ProjectDocument {
public:
    ProjectDocument(Interaction& interaction, CatalogueSearch catalogues);

    // The project, the results of its last calculation and where the user stands in it.
    Workspace& workspace() { return *workspace_; }
    Project& project() { return workspace_->project; }
    const Project& project() const { return workspace_->project; }
    NetworkResults& results() { return workspace_->results; }
    Session& session() { return workspace_->session; }

    // A new, empty project over the catalogues read afresh. False when a catalogue cannot be
    // read (the message naming file and line has been shown): the program must not start.
    bool loadCatalogues();

    // "Nuovo": the empty project, its history starting there, the cursor on node 1.
    void makeNew();
    // Reads `path` into the project and calculates it, the cursor on node 1, saying what was
    // not read or not calculated. False (why shown) when it cannot be read: the project, its
    // results and the session are then as they were.
    bool read(const QString& path);
    // The project just read is `path`'s, its history starting there.
    void adopt(const QString& path);
    // Writes the project to `path`, with its backup; says why not. The project is then saved.
    bool saveTo(const QString& path);
    // Whether the project differs from what was last opened, saved or made new.
    bool modified();

    // The calculation, with the refusal shown; false when refused.
    bool calculate();

    // ---- the history ------------------------------------------------------------------
    const ProjectHistory& history() const { return history_; }
    void startHistory();
    void recordChange(const QString& label, int16_t cursorBefore);
    // The verification's and the supply's windows: a run of changes of one kind, made in
    // quick succession (the clicks of a spin box), is one step.
    void recordSettingsChange(const QString& label);
    // A change no command recorded (there should be none) goes into the history on its own.
    void recordStrayChange();
    std::optional<ProjectHistory::Applied> undo();
    std::optional<ProjectHistory::Applied> redo();
    // The clock the settings' runs are timed by, in milliseconds (a steady one unless a test
    // gives its own).
    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    // Called whenever what "Annulla" and "Ripeti" offer may have changed.
    void onHistoryChanged(std::function<void()> listener) { historyChanged_ = std::move(listener); }

private:
    void markSaved();
    void historyChanged();

    Interaction& interaction_;
    CatalogueSearch catalogueSearch_;
    std::unique_ptr<Workspace> workspace_;
    ProjectHistory history_;
    std::function<qint64()> clock_;
    std::optional<qint64> lastSettingsChange_; // when the last settings change was recorded
    std::function<void()> historyChanged_;
};

} // namespace valmora
