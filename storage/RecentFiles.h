#pragma once

// The four most recently opened or saved project files, kept in the user's settings
// (application "Valmora", section "Recent Files", keys "RecentFile1".."RecentFile4",
// the first the most recent) and shown at the foot of the File menu.

#include <QSettings>
#include <QString>

#include <array>
#include <memory>

namespace valmora {

class RecentFiles {
public:
    static constexpr int kEntries = 4;

    // Over the given store; the program passes userSettings(), tests a temporary file.
    explicit RecentFiles(std::unique_ptr<QSettings> store);
    static std::unique_ptr<QSettings> userSettings();

    // The menu as it stands: captions (design captions until first shown) and visibility.
    const std::array<QString, kEntries>& captions() const { return captions_; }
    bool entryVisible(int i) const { return visible_[std::size_t(i)]; }
    bool separatorVisible() const { return separatorVisible_; }

    // Fills the menu from the store; with "RecentFile1" empty the menu stays as it is.
    void LoadRecentMenu();
    // An exact, case-sensitive match with a caption of the menu.
    bool IsInRecentMenu(const QString& path) const;
    // Shifts the keys down by one and writes the path as "RecentFile1".
    void PushRecentFile(const QString& path);
    // A path not shown yet goes to the top; one already shown keeps its place.
    void AddRecentFile(const QString& path);

private:
    QString key(int number) const;

    std::unique_ptr<QSettings> store_;
    std::array<QString, kEntries> captions_;
    std::array<bool, kEntries> visible_{};
    bool separatorVisible_ = false;
};

// A path as the list keeps it: absolute and clean, so that it opens from any folder and
// the same file is one entry however it was named.
QString cleanAbsolutePath(const QString& path);

} // namespace valmora
