// What the song list shows: the conditions of the view mode and the group filter, their
// captions, stored modes read back, and the auto-sized columns' shares of the width.
#include <gtest/gtest.h>

#include "browser/unitSongListView.h"
#include "catalogue/unitSongQuery.h"

namespace {

std::vector<std::tuple<int, int, std::string>> Conditions(const std::vector<SongCriterion>& list) {
    std::vector<std::tuple<int, int, std::string>> result;
    for (const SongCriterion& criterion : list) {
        result.emplace_back(criterion.Field, criterion.Operator, criterion.Text);
    }
    return result;
}

using cConditions = std::vector<std::tuple<int, int, std::string>>;

} // namespace

TEST(ViewCriteria, GroupConditionComesFirstThenTheFolder) {
    std::vector<SongCriterion> criteria;
    ASSERT_TRUE(ViewCriteria(kGroupOne, "Rock", kViewSelectedFolder, "/music/", criteria));
    EXPECT_EQ(Conditions(criteria),
              cConditions({{kFieldGroups, kOpContains, "Rock"}, {kFieldFolder, kOpIs, "/music"}}));
    ASSERT_TRUE(
        ViewCriteria(kGroupNone, "Rock", kViewSelectedFolderRecursively, "/music/", criteria));
    EXPECT_EQ(Conditions(criteria),
              cConditions({{kFieldGroups, kOpIs, ""}, {kFieldFolder, kOpBeginsWith, "/music"}}));
    ASSERT_TRUE(ViewCriteria(kGroupAll, "Rock", kViewEntireCollection, "/music/", criteria));
    EXPECT_TRUE(criteria.empty());
}

TEST(ViewCriteria, TheRootStaysWholeAndNoFolderShowsNothing) {
    std::vector<SongCriterion> criteria;
    ASSERT_TRUE(ViewCriteria(kGroupAll, "", kViewSelectedFolder, "/", criteria));
    EXPECT_EQ(Conditions(criteria), cConditions({{kFieldFolder, kOpIs, "/"}}));
    EXPECT_FALSE(ViewCriteria(kGroupAll, "", kViewSelectedFolder, "", criteria));
    EXPECT_FALSE(ViewCriteria(kGroupOne, "x", kViewSelectedFolderRecursively, "", criteria));
    EXPECT_TRUE(ViewCriteria(kGroupAll, "", kViewEntireCollection, "", criteria));
}

TEST(ViewCriteria, RootQueriesMatchTheRootsSongs) {
    // Through the query engine: the root in mode 0 keeps only songs directly in it, in mode 1
    // every song.
    cSongPointersList songs;
    cSongInfo inRoot;
    inRoot.SetFileName("/a.mp3");
    cSongInfo deeper;
    deeper.SetFileName("/music/b.mp3");
    songs.Add(&inRoot);
    songs.Add(&deeper);
    std::vector<SongCriterion> criteria;
    ViewCriteria(kGroupAll, "", kViewSelectedFolder, "/", criteria);
    cSongPointersList result = QuerySongs(criteria, &songs);
    ASSERT_EQ(result.Count(), 1);
    EXPECT_EQ(result.Get(0), &inRoot);
    ViewCriteria(kGroupAll, "", kViewSelectedFolderRecursively, "/", criteria);
    EXPECT_EQ(QuerySongs(criteria, &songs).Count(), 2);
}

TEST(FilterCaptions, LabelAndBandNameFilterAndMode) {
    EXPECT_EQ(FilterLabel(kGroupOne, "Rock"), "Rock");
    EXPECT_EQ(FilterLabel(kGroupNone, "Rock"), "Only ungrouped");
    EXPECT_EQ(FilterLabel(kGroupAll, "Rock"), "All file groups");
    EXPECT_EQ(ActiveGroupCaption(kGroupAll, "", kViewEntireCollection),
              " All file groups (in the entire collection)");
    EXPECT_EQ(ActiveGroupCaption(kGroupOne, "Jazz", kViewSelectedFolderRecursively),
              " Jazz (in this folder, recursively)");
    EXPECT_EQ(ActiveGroupCaption(kGroupNone, "", kViewSelectedFolder),
              " Only ungrouped (in this folder only)");
}

TEST(FilterCaptions, StoredModesOutsideTheRangeGiveTheDefault) {
    EXPECT_EQ(ModeOrDefault(1, 2), 1);
    EXPECT_EQ(ModeOrDefault(3, 2), 2);
    EXPECT_EQ(ModeOrDefault(-1, 0), 0);
    EXPECT_EQ(ModeOrDefault(256, 0), 0) << "no wrap into a byte";
}

TEST(SharedColumnWidths, AutoSizedColumnsShareWhatTheOthersLeave) {
    // FileName, Date, Path, Views in a list 400 wide: 400 - 100 - 45 = 255 to share.
    EXPECT_EQ(SharedColumnWidths({50, 100, 50, 45}, {true, false, true, false}, 400, 16),
              std::vector<int>({128, 100, 127, 45}));
    // No auto-sized column: nothing changes.
    EXPECT_EQ(SharedColumnWidths({50, 60}, {false, false}, 400, 16), std::vector<int>({50, 60}));
    // Less room than the fixed columns take: the shares keep the minimum.
    EXPECT_EQ(SharedColumnWidths({50, 300}, {true, false}, 200, 16), std::vector<int>({16, 300}));
    EXPECT_EQ(SharedColumnWidths({}, {}, 200, 16), std::vector<int>());
}
