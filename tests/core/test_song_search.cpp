// The search without its window: the scope rule, rows turned into conditions, the search over
// the chosen source, and the search window's keys.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/unitSongUtils.h"
#include "search/unitSongSearch.h"
#include "support/temp_folder.h"
#include "util/unitIniFile.h"

namespace {

class SongSearch : public ::testing::Test {
protected:
    SongSearch() { MasterSongList = &m_Master; }
    ~SongSearch() override { MasterSongList = m_SavedMaster; }

    cSongInfo* Add(const std::string& fileName, const std::string& title) {
        m_Songs.push_back(std::make_unique<cSongInfo>());
        m_Songs.back()->SetTexts(fileName, title, "", "", "", "");
        m_Master.Add(m_Songs.back().get());
        return m_Songs.back().get();
    }

    std::vector<std::string> Found(const std::vector<cCriteriaRow>& rows, eSearchScope scope,
                                   eViewMode viewMode, const cSongPointersList& displayed) {
        std::vector<std::string> titles;
        for (const cSongInfo* song :
             SearchSongs(CriteriaOfRows(rows), scope, viewMode, "/music/", displayed)) {
            titles.emplace_back(song->Title());
        }
        return titles;
    }

    std::vector<std::unique_ptr<cSongInfo>> m_Songs;
    cSongPointersList m_Master;
    cSongPointersList* m_SavedMaster = MasterSongList;
};

} // namespace

TEST(SongSearchScope, FolderScopesReuseTheListOnlyWhenTheViewModeShowsTheSameSongs) {
    using enum eSearchSource;
    const struct {
        eSearchScope scope;
        eSearchSource byViewMode[3];
    } rule[] = {
        {eSearchScope::EntireCollection, {MasterList, MasterList, MasterList}},
        {eSearchScope::DisplayedSongs, {ShownSongs, ShownSongs, ShownSongs}},
        {eSearchScope::SelectedFolder, {ShownSongs, FolderOnly, FolderOnly}},
        {eSearchScope::SelectedFolderRecursively,
         {FolderRecursively, ShownSongs, FolderRecursively}},
    };
    for (const auto& line : rule) {
        for (int viewMode = 0; viewMode < 3; ++viewMode) {
            EXPECT_EQ(SearchSourceFor(line.scope, ViewModeFromStored(viewMode)),
                      line.byViewMode[viewMode])
                << static_cast<int>(line.scope) << " in view mode " << viewMode;
        }
    }
    EXPECT_EQ(SearchScopeFromTag(3), eSearchScope::DisplayedSongs);
    EXPECT_FALSE(SearchScopeFromTag(4));
    EXPECT_FALSE(SearchScopeFromTag(-1));
}

TEST_F(SongSearch, RowsBecomeConditionsInTheirOrderWithTheirTextsAsTyped) {
    const std::vector<SongCriterion> criteria =
        CriteriaOfRows({{kFieldSize, kOpLess, " 12 "}, {kFieldTitle, kOpIs, "x"}});
    ASSERT_EQ(criteria.size(), 2u);
    EXPECT_EQ(criteria[0].Field, kFieldSize);
    EXPECT_EQ(criteria[0].Operator, kOpLess);
    EXPECT_EQ(criteria[0].Text, " 12 ");
    EXPECT_EQ(criteria[1].Field, kFieldTitle);
    // No item chosen is no field at all: the query refuses it rather than testing another.
    Add("/music/a.mp3", "x");
    EXPECT_THROW(Found({{-1, kOpIs, "x"}}, eSearchScope::EntireCollection, eViewMode::SelectedFolder, {}),
                 EInvalidSearchCombination);
}

TEST_F(SongSearch, AConditionTheQueryRejectsIsReportedEvenWhenNoSongReachesIt) {
    Add("/music/a.mp3", "Love");
    const cSongPointersList none;
    // The first row finds nothing, so the query alone would never test the second.
    const std::vector<cCriteriaRow> rows = {
        cCriteriaRow{}, {kFieldSize, kOpGreaterOrEqual, "12 "}, {kFieldTitle, kOpLess, "x"}};
    for (eSearchScope scope : {eSearchScope::EntireCollection, eSearchScope::DisplayedSongs}) {
        try {
            Found(rows, scope, eViewMode::SelectedFolder, none);
            ADD_FAILURE() << "no error";
        } catch (const EInvalidSearchCombination& error) {
            EXPECT_STREQ(error.what(), "'12 ' is not a valid integer value");
        }
    }
}

TEST(FindWindowSettings, KeysReadWithTheirDefaultsAndWrittenInOrder) {
    cTempFolder folder;
    const std::string path = folder / "Options.ini";
    cIniFile settings(path);
    cFindWindowSettings stored;
    stored.Load(settings);
    EXPECT_FALSE(stored.Height);
    EXPECT_FALSE(stored.Width);
    EXPECT_EQ(stored.LastSelectedRadio, eSearchScope::EntireCollection);

    settings.WriteString("FindWindow", "LastSelectedRadio", "7");
    settings.WriteString("FindWindow", "Height", "tall");
    stored.Load(settings);
    EXPECT_EQ(stored.LastSelectedRadio, eSearchScope::EntireCollection);
    EXPECT_FALSE(stored.Height);

    stored = {300, 420, eSearchScope::DisplayedSongs};
    stored.Save(settings);
    EXPECT_EQ(ReadBytes(path),
              "[FindWindow]\r\nLastSelectedRadio=3\r\nHeight=300\r\nWidth=420\r\n");
    cFindWindowSettings again;
    again.Load(settings);
    EXPECT_EQ(again.Height, 300);
    EXPECT_EQ(again.Width, 420);
    EXPECT_EQ(again.LastSelectedRadio, eSearchScope::DisplayedSongs);
}
