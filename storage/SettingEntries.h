#pragma once

// The verification's settings as the project file's block keeps them: one entry a setting,
// written from the settings and read back into them.

#include "model/Project.h"
#include "model/StandardSettings.h"

#include <QString>

#include <vector>

namespace valmora {

// ---- the settings as the project file keeps them ---------------------------------------

// One setting: its key ("livello", "ruolo.3", "insieme.idrante") and its value as text.
// Sets name their terminals by the nodes' positions in the project file's order, as the
// tree itself does, so that they name the same terminals when the file is read again.
struct SettingEntry {
    QString key;
    QString value;
    bool operator==(const SettingEntry& o) const { return key == o.key && value == o.value; }
};
std::vector<SettingEntry> settingEntries(const StandardSettings& settings, const Project& project);

// Takes entries into settings one at a time, for a project just read (so that its node
// indexes are its positions in the file).
class SettingEntryReader {
public:
    explicit SettingEntryReader(const Project& project);

    enum class Outcome { Taken, UnknownKey, Refused };
    struct Result {
        Outcome outcome = Outcome::Taken;
        QString why; // for a refusal: what is wrong, with the limit where one applies
    };
    Result take(StandardSettings& settings, const QString& key, const QString& value) const;

private:
    const Project& project_;
    std::vector<int16_t> byPosition_; // node index by file position (1-based)
};

} // namespace valmora
