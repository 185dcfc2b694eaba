#include "app/ProjectDocument.h"

#include "editor/ChangeLabels.h"
#include "model/Calculation.h"
#include "storage/ProjectFile.h"

#include <chrono>
#include <utility>
#include <vector>

namespace valmora {

namespace {

// Changes of one setting this close together are one step of the history.
constexpr qint64 kSettingsMergeMs = 1500;

qint64 steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ProjectDocument::ProjectDocument(Interaction& interaction, CatalogueSearch catalogues)
    : interaction_(interaction), catalogueSearch_(std::move(catalogues)),
      workspace_(std::make_unique<Workspace>()), clock_(steadyMilliseconds) {}

bool ProjectDocument::loadCatalogues() {
    std::vector<PipeSeries> pipes;
    std::vector<TerminalType> terminals;
    CatalogueLoadResult read = LoadPipeCatalogue(pipes, catalogueSearch_);
    if (read.ok)
        read = LoadTerminalCatalogue(terminals, catalogueSearch_);
    if (!read.ok) {
        interaction_.inform(read.message, QString(), MessageIcon::Critical);
        return false;
    }
    workspace_ = std::make_unique<Workspace>(Project(std::move(pipes), std::move(terminals)));
    workspace_->results = NetworkResults::ofNewProject();
    return true;
}

void ProjectDocument::makeNew() {
    project().resetToNewProject();
    // A new project is calculated at once, as an opened one is: the windows show its results.
    results().replaceWith(NetworkResults::ofNewProject());
    calculate();
    session().reset();
    startHistory();
}

bool ProjectDocument::read(const QString& path) {
    const ReadOutcome read = ReadProject(project(), path);
    if (!read.ok()) {
        if (read.status == ReadOutcome::Status::BadNode)
            interaction_.inform(read.message, QString(), MessageIcon::Exclamation);
        else
            interaction_.inform(QStringLiteral("Errore file"), QString(), MessageIcon::Exclamation,
                                read.detail);
        return false;
    }
    session().reset();
    results().replaceWith(NetworkResults{});
    calculate();
    if (!read.notices.empty()) {
        QString text =
            QStringLiteral("Righe del progetto non usate:\n") + readNoticesText(read.notices, path);
        if (read.settingsIncomplete())
            text +=
                QStringLiteral("\n\nAl posto delle righe non lette valgono i valori predefiniti. Salvando, "
                               "il file attuale resta come copia di sicurezza (.bak).");
        interaction_.inform(text, QString(), MessageIcon::Exclamation);
    }
    return true;
}

void ProjectDocument::adopt(const QString& path) {
    startHistory();
    project().projectPath = path;
}

bool ProjectDocument::saveTo(const QString& path) {
    const SaveOutcome saved = SaveProject(project(), path);
    if (!saved.ok) {
        interaction_.inform(QStringLiteral("Errore in scrittura"), QString(), MessageIcon::Exclamation,
                            saved.reason);
        return false;
    }
    // Saved, but the previous version could not be kept beside it.
    if (!saved.backupWarning.isEmpty())
        interaction_.inform(saved.backupWarning, QString(), MessageIcon::Exclamation);
    markSaved();
    return true;
}

bool ProjectDocument::modified() {
    return history_.isModified(project());
}

bool ProjectDocument::calculate() {
    const CalculationOutcome outcome = Calculate(project(), results());
    if (!outcome.ok)
        interaction_.inform(outcome.message, QString(), MessageIcon::Exclamation);
    return outcome.ok;
}

void ProjectDocument::startHistory() {
    history_.reset(project(), session().currentNode);
    lastSettingsChange_.reset();
    historyChanged();
}

void ProjectDocument::markSaved() {
    recordStrayChange();
    history_.markClean();
    historyChanged();
}

void ProjectDocument::recordChange(const QString& label, int16_t cursorBefore) {
    history_.record(project(), session().currentNode, label, cursorBefore);
    lastSettingsChange_.reset();
    historyChanged();
}

void ProjectDocument::recordSettingsChange(const QString& label) {
    const qint64 now = clock_();
    const bool merge = lastSettingsChange_ && now - *lastSettingsChange_ < kSettingsMergeMs;
    history_.record(project(), session().currentNode, label, session().currentNode, merge);
    lastSettingsChange_ = now;
    historyChanged();
}

void ProjectDocument::recordStrayChange() {
    if (history_.differsFrom(project()))
        recordChange(change_label::kOther, session().currentNode);
}

std::optional<ProjectHistory::Applied> ProjectDocument::undo() {
    recordStrayChange();
    std::optional<ProjectHistory::Applied> applied = history_.undo(project());
    if (applied)
        session().currentNode = applied->cursor;
    lastSettingsChange_.reset();
    return applied;
}

std::optional<ProjectHistory::Applied> ProjectDocument::redo() {
    recordStrayChange();
    std::optional<ProjectHistory::Applied> applied = history_.redo(project());
    if (applied)
        session().currentNode = applied->cursor;
    lastSettingsChange_.reset();
    return applied;
}

void ProjectDocument::historyChanged() {
    if (historyChanged_)
        historyChanged_();
}

} // namespace valmora
