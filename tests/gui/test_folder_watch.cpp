// The watch of the shown folder: change notices gathered into few reports, names of MP3 files
// only, one folder at a time, and a folder that goes ends its watch.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <set>
#include <string>

#include "support/temp_folder.h"
#include "util/unitFolderWatcher.h"

namespace {

/// A watcher whose reports are taken at once and counted.
class FolderWatch : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&Watcher, &TFolderWatcher::FilesChanged, [this] {
            ++Reports;
            const cWatchedChanges changes = Watcher.TakeChanges();
            AllFiles = AllFiles || changes.AllFiles;
            Names.insert(changes.Names.begin(), changes.Names.end());
        });
        QObject::connect(&Watcher, &TFolderWatcher::FolderGone, [this] { ++Gone; });
    }

    TFolderWatcher Watcher;
    int Reports = 0;
    int Gone = 0;
    bool AllFiles = false;
    std::set<std::string> Names;
};

TEST_F(FolderWatch, ACopyOfAThousandFilesGivesAFewReportsNamingEachMp3Once) {
    cTempFolder folder;
    Watcher.Watch(folder.Path());
    EXPECT_EQ(Watcher.Folder(), folder.Path() + "/");
    for (int i = 0; i < 1000; ++i) {
        WriteBytes(folder / ("song " + std::to_string(i) + ".MP3"), "x");
    }
    WriteBytes(folder / "cover.jpg", "x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Names.size() == 1000; }, 5000));
    QTest::qWait(TFolderWatcher::kBusyDelayMs + 200);
    EXPECT_LE(Reports, 4);
    EXPECT_FALSE(AllFiles);
    EXPECT_FALSE(Names.contains("cover.jpg"));

    // Nothing happens: nothing is reported.
    Reports = 0;
    QTest::qWait(TFolderWatcher::kQuietDelayMs * 2);
    EXPECT_EQ(Reports, 0);
}

TEST_F(FolderWatch, OneFolderAtATimeAndAFolderThatGoesEndsItsWatch) {
    cTempFolder root;
    const std::string first = root / "first";
    const std::string second = root / "second";
    std::filesystem::create_directories(first);
    std::filesystem::create_directories(second);
    Watcher.Watch(first);
    WriteBytes(first + "/old.mp3", "x");
    Watcher.Watch(second);
    WriteBytes(second + "/new.mp3", "x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Names.empty(); }, 3000));
    QTest::qWait(TFolderWatcher::kQuietDelayMs + 100);
    EXPECT_EQ(Names, std::set<std::string>{"new.mp3"}) << "the old folder's notice is dropped";

    // Moved away, then deleted: each ends its watch once, and nothing more is heard.
    std::filesystem::rename(second, root / "moved");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Gone == 1; }, 3000));
    EXPECT_EQ(Watcher.Folder(), "");
    WriteBytes(root / "moved/late.mp3", "x");
    Watcher.Watch(first);
    std::filesystem::remove_all(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Gone == 2; }, 3000));
    QTest::qWait(TFolderWatcher::kQuietDelayMs + 100);
    EXPECT_EQ(Names, std::set<std::string>{"new.mp3"});
    EXPECT_EQ(Gone, 2);

    // A folder that is not there is simply not watched.
    Watcher.Watch(root / "missing");
    EXPECT_EQ(Watcher.Folder(), "");
}

} // namespace
