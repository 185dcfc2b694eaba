#include "storage/RecentFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace valmora;

namespace {

class RecentFilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString store() const { return dir.filePath(QStringLiteral("recenti.ini")); }
    RecentFiles fresh() const {
        return RecentFiles(std::make_unique<QSettings>(store(), QSettings::IniFormat));
    }
    QStringList shown(const RecentFiles& recent) const {
        QStringList paths;
        for (int i = 0; i < RecentFiles::kEntries; ++i)
            if (recent.entryVisible(i))
                paths << recent.captions()[std::size_t(i)];
        return paths;
    }
};

} // namespace

// From an empty store, nothing shown under the numbered captions; then five files in a row.
TEST_F(RecentFilesTest, FiveFilesInARowLeaveTheLastFourMostRecentFirst) {
    RecentFiles recent = fresh();
    recent.LoadRecentMenu();
    EXPECT_FALSE(recent.separatorVisible());
    EXPECT_TRUE(shown(recent).isEmpty());
    EXPECT_EQ(recent.captions()[0], QStringLiteral("Primo File"));
    EXPECT_EQ(recent.captions()[3], QStringLiteral("Quarto file"));
    for (const char* path : {"/p/a.vlm", "/p/b.vlm", "/p/c.vlm", "/p/d.vlm", "/p/e.vlm"})
        recent.AddRecentFile(QString::fromLatin1(path));
    const QStringList expected = {QStringLiteral("/p/e.vlm"), QStringLiteral("/p/d.vlm"),
                                  QStringLiteral("/p/c.vlm"), QStringLiteral("/p/b.vlm")};
    EXPECT_TRUE(recent.separatorVisible());
    EXPECT_EQ(shown(recent), expected);

    // Re-opening the third keeps the order; the list survives into the next run.
    recent.AddRecentFile(QStringLiteral("/p/c.vlm"));
    EXPECT_EQ(shown(recent), expected);
    RecentFiles nextRun = fresh();
    nextRun.LoadRecentMenu();
    EXPECT_EQ(shown(nextRun), expected);

    // Another letter case is another file.
    nextRun.AddRecentFile(QStringLiteral("/p/C.vlm"));
    EXPECT_EQ(shown(nextRun).first(), QStringLiteral("/p/C.vlm"));
    EXPECT_EQ(shown(nextRun).size(), 4);
}

TEST_F(RecentFilesTest, KeysAsStored) {
    {
        RecentFiles recent = fresh();
        recent.AddRecentFile(QStringLiteral("/p/uno.vlm"));
        recent.AddRecentFile(QStringLiteral("/p/due.vlm"));
    }
    QSettings raw(store(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Recent Files/RecentFile1")).toString(), QStringLiteral("/p/due.vlm"));
    EXPECT_EQ(raw.value(QStringLiteral("Recent Files/RecentFile2")).toString(), QStringLiteral("/p/uno.vlm"));
    EXPECT_FALSE(raw.contains(QStringLiteral("Recent Files/RecentFile3")));
}
