#include "storage/RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace valmora {

namespace {

const QString kSection = QStringLiteral("Recent Files");
const QString kKeyPrefix = QStringLiteral("RecentFile");
const QString kApplication = QStringLiteral("Valmora");

} // namespace

RecentFiles::RecentFiles(std::unique_ptr<QSettings> store)
    : store_(std::move(store)), captions_{QStringLiteral("Primo File"), QStringLiteral("Sec File"),
                                          QStringLiteral("Terzo file"), QStringLiteral("Quarto file")} {}

std::unique_ptr<QSettings> RecentFiles::userSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kApplication,
                                       kApplication);
}

QString RecentFiles::key(int number) const {
    return kSection + u'/' + kKeyPrefix + QString::number(number);
}

void RecentFiles::LoadRecentMenu() {
    if (store_->value(key(1)).toString().isEmpty())
        return;
    store_->beginGroup(kSection);
    QStringList keys = store_->childKeys();
    std::sort(keys.begin(), keys.end());
    QStringList values;
    for (const QString& k : keys)
        values << store_->value(k).toString();
    store_->endGroup();

    separatorVisible_ = true;
    for (int i = 0; i < kEntries && i < values.size(); ++i) {
        captions_[std::size_t(i)] = values[i];
        visible_[std::size_t(i)] = true;
    }
}

bool RecentFiles::IsInRecentMenu(const QString& path) const {
    return std::find(captions_.begin(), captions_.end(), path) != captions_.end();
}

void RecentFiles::PushRecentFile(const QString& path) {
    for (int k = kEntries - 1; k >= 1; --k) {
        const QString value = store_->value(key(k)).toString();
        if (!value.isEmpty())
            store_->setValue(key(k + 1), value);
    }
    store_->setValue(key(1), path);
    store_->sync();
}

void RecentFiles::AddRecentFile(const QString& path) {
    const QString entry = cleanAbsolutePath(path);
    if (!IsInRecentMenu(entry))
        PushRecentFile(entry);
    LoadRecentMenu();
}

QString cleanAbsolutePath(const QString& path) {
    if (path.isEmpty())
        return path;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace valmora
