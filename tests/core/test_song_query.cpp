#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitTextUtils.h"

namespace {

// Owns a handful of records and a list of them; can stand in as the master song list.
class SongQuery : public ::testing::Test {
protected:
    void TearDown() override { MasterSongList = m_SavedMaster; }

    cSongInfo* Add(const std::string& fileName, const std::string& title,
                   std::vector<std::string> groups = {}, int32_t views = 0, int32_t size = 0) {
        auto song = std::make_unique<cSongInfo>();
        song->SetTexts(fileName, title, "", "", "", "");
        song->Groups = std::move(groups);
        song->Views = views;
        song->Size = size;
        song->MasterIndex = -7;
        m_Songs.push_back(std::move(song));
        m_List.Add(m_Songs.back().get());
        return m_Songs.back().get();
    }

    /// A song with the tag texts, its title naming it.
    cSongInfo* AddTagged(const std::string& title, const std::string& artist,
                         const std::string& album) {
        cSongInfo* song = Add("/m/" + title + ".mp3", title);
        song->SetAuthor(artist);
        song->SetAlbum(album);
        return song;
    }

    std::vector<std::string> Titles(const std::vector<SongCriterion>& criteria) {
        std::vector<std::string> titles;
        for (const cSongInfo* song : QuerySongs(criteria, &m_List)) {
            titles.emplace_back(song->Title());
        }
        return titles;
    }

    std::vector<std::string> Titles(uint8_t field, uint8_t op, std::string text) {
        return Titles({MakeCriterion(field, op, std::move(text))});
    }

    std::string ErrorOf(uint8_t field, uint8_t op, std::string text) {
        try {
            QuerySongs({MakeCriterion(field, op, std::move(text))}, &m_List);
        } catch (const EInvalidSearchCombination& error) {
            return error.what();
        }
        return "no error";
    }

    using cTitles = std::vector<std::string>;
    std::vector<std::unique_ptr<cSongInfo>> m_Songs;
    cSongPointersList m_List;
    cSongPointersList* m_SavedMaster = MasterSongList;
};

TEST(SongQueryNames, ChooserItemsInCodeOrder) {
    EXPECT_EQ(kSongFieldNames[kFieldFilename], "Filename");
    EXPECT_EQ(kSongFieldNames[kFieldArtist], "Artist");
    EXPECT_EQ(kSongFieldNames[kFieldViewsCount], "Views count");
    EXPECT_EQ(kSongOperatorNames[kOpDoesntContain], " doesn't contain");
    EXPECT_EQ(kSongOperatorNames[kOpEndsWith], " ends with");
    EXPECT_EQ(kSongOperatorNames[kOpLessOrEqual], " <=");
}

TEST_F(SongQuery, NoConditionsGivesEveryLiveSlotInOrder) {
    Add("/m/1.mp3", "one");
    m_List.Add(nullptr);
    Add("/m/2.mp3", "two");
    EXPECT_EQ(Titles({}), (cTitles{"one", "two"}));
}

TEST_F(SongQuery, GroupsContainsMeansWholeNameMembership) {
    Add("/m/a.mp3", "in rock", {"Rock"});
    Add("/m/b.mp3", "in rock classics", {"Rock classics"});
    Add("/m/c.mp3", "no group");
    Add("/m/d.mp3", "two groups", {"Live", "ROCK"});
    EXPECT_EQ(Titles(kFieldGroups, kOpContains, "rock"), (cTitles{"in rock", "two groups"}));
    EXPECT_EQ(Titles(kFieldGroups, kOpDoesntContain, "rock"),
              (cTitles{"in rock classics", "no group"}));
    EXPECT_EQ(Titles(kFieldGroups, kOpIs, ""), cTitles{"no group"});
    EXPECT_EQ(Titles(kFieldGroups, kOpIs, "rock"), cTitles{"in rock"});
    // The other operators see the names joined by CR LF.
    EXPECT_EQ(Titles(kFieldGroups, kOpIs, "live\r\nrock"), cTitles{"two groups"});
    EXPECT_EQ(Titles(kFieldGroups, kOpEndsWith, "\nrock"), cTitles{"two groups"});
    EXPECT_EQ(Titles(kFieldGroups, kOpContains, ""), cTitles{});
    EXPECT_EQ(Titles(kFieldGroups, kOpDoesntContain, "").size(), 4u);
}

TEST_F(SongQuery, PositionsFollowTheFirstOccurrence) {
    Add("/m/a.mp3", "Love Song");
    Add("/m/b.mp3", "la la la");
    Add("/m/c.mp3", "");
    Add("/m/d.mp3", "ab");
    EXPECT_EQ(Titles(kFieldTitle, kOpEndsWith, "song"), cTitles{"Love Song"});
    EXPECT_EQ(Titles(kFieldTitle, kOpEndsWith, "la"), cTitles{});
    EXPECT_EQ(Titles(kFieldTitle, kOpEndsWith, "la la la"), cTitles{"la la la"});
    EXPECT_EQ(Titles(kFieldTitle, kOpEndsWith, "xab"), cTitles{}); // one longer than the value
    EXPECT_EQ(Titles(kFieldTitle, kOpBeginsWith, "LA L"), cTitles{"la la la"});
    EXPECT_EQ(Titles(kFieldTitle, kOpContains, "e s"), cTitles{"Love Song"});
    // An empty text occurs nowhere, but equals an empty value.
    EXPECT_EQ(Titles(kFieldTitle, kOpContains, ""), cTitles{});
    EXPECT_EQ(Titles(kFieldTitle, kOpBeginsWith, ""), cTitles{});
    EXPECT_EQ(Titles(kFieldTitle, kOpEndsWith, ""), cTitles{});
    EXPECT_EQ(Titles(kFieldTitle, kOpDoesntContain, "").size(), 4u);
    EXPECT_EQ(Titles(kFieldTitle, kOpIs, ""), cTitles{""});
    EXPECT_EQ(Titles(kFieldTitle, kOpIsNot, "ab").size(), 3u);
}

TEST_F(SongQuery, OnlyAsciiLettersIgnoreCase) {
    Add("/m/a.mp3", "ÄRGER Über");
    Add("/m/b.mp3", "[Zz]");
    EXPECT_EQ(Titles(kFieldTitle, kOpContains, "RGER ü"), cTitles{});
    EXPECT_EQ(Titles(kFieldTitle, kOpContains, "rger Ü"), cTitles{"ÄRGER Über"});
    EXPECT_EQ(Titles(kFieldTitle, kOpIs, "äRGER ÜBER"), cTitles{});
    // '[' and '{' differ from 'Z' and 'z' by 32 but are not letters.
    EXPECT_EQ(Titles(kFieldTitle, kOpIs, "{ZZ}"), cTitles{});
    EXPECT_EQ(Titles(kFieldTitle, kOpIs, "[ZZ]"), cTitles{"[Zz]"});
}

TEST_F(SongQuery, TagTextsCompareAsTheListShowsThem) {
    // The list shows valid UTF-8 as it is and any other text as Latin-1: a tag written by an
    // 8-bit program and one written as UTF-8 show the same name and are found by the same
    // typed (UTF-8) text. Only A to Z fold; paths compare as their bytes.
    AddTagged("Utf8", "Bj\xC3\xB6rk", "Hom\xC3\xA9");
    AddTagged("Latin1", "Bj\xF6rk", "Hom\xE9");
    AddTagged("Upper", "BJ\xD6RK", "HOM\xC9");
    AddTagged("Mixed", "Bj\xC3\xB6rk \xF6", ""); // not valid UTF-8: all of it is Latin-1
    Add("/m/Bj\xF6rk.mp3", "Path")->SetAuthor("x");
    m_Songs.back()->Groups = {"Caf\xE9", "Jazz"};
    m_Songs[0]->Groups = {"Caf\xC3\xA9"};
    struct cCase {
        uint8_t Field;
        uint8_t Operator;
        std::string Text;
        cTitles Expected;
    };
    const cCase cases[] = {
        {kFieldArtist, kOpContains, "Bj\xC3\xB6rk", {"Utf8", "Latin1"}},
        {kFieldArtist, kOpIs, "bj\xC3\xB6rk", {"Utf8", "Latin1"}},
        {kFieldArtist, kOpIs, "bj\xC3\x96rk", {"Upper"}}, // Ö and ö do not fold
        {kFieldArtist, kOpBeginsWith, "bj\xC3\x83", {"Mixed"}}, // \xC3 shown as its own letter
        {kFieldArtist, kOpEndsWith, "\xC3\xB6rk", {"Utf8", "Latin1"}},
        {kFieldArtist, kOpEndsWith, " \xC3\xB6", {"Mixed"}},
        {kFieldArtist, kOpDoesntContain, "\xC3\xB6", {"Upper", "Path"}},
        {kFieldAlbum, kOpIsNot, "hom\xC3\xA9", {"Upper", "Mixed", "Path"}},
        {kFieldTitle, kOpContains, "tin", {"Latin1"}},
        // A condition's own Latin-1 text (a group filter hands in a stored name) as shown.
        {kFieldArtist, kOpIs, "BJ\xF6rk", {"Utf8", "Latin1"}},
        {kFieldGroups, kOpContains, "CAF\xC3\xA9", {"Utf8", "Path"}},
        {kFieldGroups, kOpContains, "caf\xE9", {"Utf8", "Path"}},
        {kFieldGroups, kOpIs, "Caf\xC3\xA9\r\nJazz", {"Path"}},
        {kFieldGroups, kOpDoesntContain, "caf\xC3\xA9", {"Latin1", "Upper", "Mixed"}},
        {kFieldFilename, kOpContains, "Bj\xC3\xB6rk", {}},
        {kFieldFilename, kOpContains, "Bj\xF6rk", {"Path"}},
    };
    for (const cCase& c : cases) {
        EXPECT_EQ(Titles(c.Field, c.Operator, c.Text), c.Expected)
            << kSongFieldNames[c.Field] << kSongOperatorNames[c.Operator] << " " << c.Text;
    }
}

TEST_F(SongQuery, ArtistAndAlbumAreTheTagsAuthorAndAlbumUnderEveryTextOperator) {
    AddTagged("one", "The Band", "Live at Home");
    AddTagged("two", "band", "Home");
    AddTagged("three", "", "");
    const struct {
        uint8_t op;
        const char* text;
        cTitles artist; ///< the songs whose Author meets the condition
        cTitles album;  ///< the songs whose Album meets it
    } cases[] = {
        {kOpIs, "BAND", {"two"}, {}},
        {kOpIs, "home", {}, {"two"}},
        {kOpIs, "", {"three"}, {"three"}},
        {kOpIsNot, "band", {"one", "three"}, {"one", "two", "three"}},
        {kOpContains, "AN", {"one", "two"}, {}},
        {kOpContains, "hom", {}, {"one", "two"}},
        {kOpDoesntContain, "the", {"two", "three"}, {"one", "two", "three"}},
        {kOpBeginsWith, "the b", {"one"}, {}},
        {kOpBeginsWith, "live", {}, {"one"}},
        {kOpEndsWith, "band", {"one", "two"}, {}},
        {kOpEndsWith, "HOME", {}, {"one", "two"}},
    };
    for (const auto& line : cases) {
        SCOPED_TRACE(std::string(kSongOperatorNames[line.op]) + " '" + line.text + "'");
        EXPECT_EQ(Titles(kFieldArtist, line.op, line.text), line.artist);
        EXPECT_EQ(Titles(kFieldAlbum, line.op, line.text), line.album);
    }
    EXPECT_EQ(ErrorOf(kFieldArtist, kOpLess, "x"), "Invalid search conditions for string fields");
    EXPECT_EQ(ErrorOf(kFieldAlbum, kOpGreaterOrEqual, "1"),
              "Invalid search conditions for string fields");
}

TEST_F(SongQuery, FolderIsTheParentWithoutItsSeparator) {
    Add("/music/a.mp3", "a");
    Add("/music/old/b.mp3", "b");
    Add("/musicals/c.mp3", "c");
    Add("/root.mp3", "root");
    EXPECT_EQ(Titles(kFieldFolder, kOpIs, "/MUSIC"), cTitles{"a"});
    EXPECT_EQ(Titles(kFieldFolder, kOpBeginsWith, "/music"), (cTitles{"a", "b", "c"}));
    EXPECT_EQ(Titles(kFieldFolder, kOpIs, "/"), cTitles{"root"});
}

TEST_F(SongQuery, NumberFieldsCompareAsSigned32BitIntegers) {
    Add("/m/a.mp3", "three", {}, 3, -5);
    Add("/m/b.mp3", "four", {}, 4, 2147483647);
    EXPECT_EQ(Titles(kFieldViewsCount, kOpGreater, "3"), cTitles{"four"});
    EXPECT_EQ(Titles(kFieldViewsCount, kOpGreaterOrEqual, "3").size(), 2u);
    EXPECT_EQ(Titles(kFieldViewsCount, kOpLess, "4"), cTitles{"three"});
    EXPECT_EQ(Titles(kFieldViewsCount, kOpLessOrEqual, "+3"), cTitles{"three"});
    // Blanks before the number, a sign, hexadecimal after "$" or "0x".
    EXPECT_EQ(Titles(kFieldViewsCount, kOpIsNot, "  3"), cTitles{"four"});
    EXPECT_EQ(Titles(kFieldViewsCount, kOpIs, " +$4"), cTitles{"four"});
    EXPECT_EQ(Titles(kFieldSize, kOpIs, "-0x5"), cTitles{"three"});
    EXPECT_EQ(Titles(kFieldSize, kOpIs, "0X7fffFFFF"), cTitles{"four"});
    EXPECT_EQ(Titles(kFieldSize, kOpIs, "-5"), cTitles{"three"});
    EXPECT_EQ(Titles(kFieldSize, kOpIs, "2147483647"), cTitles{"four"});
    EXPECT_EQ(Titles(kFieldSize, kOpLess, "-2147483648"), cTitles{});
}

TEST_F(SongQuery, InvalidCombinationsRaiseTheirOwnMessages) {
    Add("/m/a.mp3", "a", {}, 1, 1);
    EXPECT_EQ(ErrorOf(kFieldTitle, kOpGreater, "x"), "Invalid search conditions for string fields");
    EXPECT_EQ(ErrorOf(kFieldGroups, 10, "x"), "Invalid search conditions for string fields");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpContains, "12"),
              "Invalid search conditions for numeric fields");
    EXPECT_EQ(ErrorOf(kFieldViewsCount, 10, "12"), "Invalid search conditions for numeric fields");
    // The number is read before the operator is looked at.
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpContains, "abc"), "'abc' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, ""), "'' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "2147483648"),
              "'2147483648' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "3.0"), "'3.0' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "+-3"), "'+-3' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "3 "), "'3 ' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "-2147483649"),
              "'-2147483649' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "$100000000"),
              "'$100000000' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "0x"), "'0x' is not a valid integer value");
    EXPECT_EQ(ErrorOf(kFieldSize, kOpIs, "\t3"), "'\t3' is not a valid integer value");
    // A pasted text of 10,000 digits is no number; the message quotes its beginning only.
    EXPECT_EQ(ErrorOf(kFieldViewsCount, kOpIs, std::string(10'000, '9')),
              "'" + std::string(60, '9') + "...' is not a valid integer value");
    EXPECT_EQ(ErrorOf(8, kOpIs, "x"), "Invalid search field code 8");
}

TEST_F(SongQuery, AnInvalidConditionRaisesOnlyWhenItIsTested) {
    EXPECT_EQ(ErrorOf(kFieldTitle, kOpGreater, "x"), "no error"); // empty source
    Add("/m/a.mp3", "a");
    EXPECT_NO_THROW(QuerySongs(
        {MakeCriterion(kFieldTitle, kOpIs, "b"), MakeCriterion(kFieldSize, kOpIs, "abc")},
        &m_List));
    EXPECT_THROW(QuerySongs({MakeCriterion(kFieldTitle, kOpIs, "a"),
                             MakeCriterion(kFieldSize, kOpIs, "abc")},
                            &m_List),
                 EInvalidSearchCombination);
    // Tested in their given order: the first failing condition's error is raised.
    try {
        QuerySongs(
            {MakeCriterion(kFieldSize, kOpContains, "1"), MakeCriterion(kFieldTitle, kOpLess, "a")},
            &m_List);
        FAIL();
    } catch (const EInvalidSearchCombination& error) {
        EXPECT_STREQ(error.what(), "Invalid search conditions for numeric fields");
    }
}

TEST_F(SongQuery, MasterIndexIsSetOnlyOverTheMasterList) {
    cSongInfo* first = Add("/m/a.mp3", "a", {}, 0, 10);
    m_List.Add(nullptr);
    cSongInfo* third = Add("/m/c.mp3", "c", {}, 0, 30);
    const std::vector<SongCriterion> all{MakeCriterion(kFieldSize, kOpGreater, "0")};

    EXPECT_EQ(QuerySongs(all, &m_List).Count(), 2);
    EXPECT_EQ(first->MasterIndex, -7) << "a list that is not the master list";

    MasterSongList = &m_List;
    cSongPointersList copy = QuerySongs({}, nullptr);
    EXPECT_EQ(first->MasterIndex, 0);
    EXPECT_EQ(third->MasterIndex, 2);

    first->MasterIndex = third->MasterIndex = -1;
    QuerySongs(all, MasterSongList); // the master list passed explicitly
    EXPECT_EQ(third->MasterIndex, 2);
    first->MasterIndex = third->MasterIndex = -1;
    QuerySongs(all, &copy);
    EXPECT_EQ(third->MasterIndex, -1);
}

TEST_F(SongQuery, AllConditionsMustHold) {
    Add("/music/a.mp3", "alpha", {"Rock"}, 5, 100);
    Add("/music/b.mp3", "beta", {"Rock"}, 1, 100);
    Add("/other/c.mp3", "gamma", {"Rock"}, 5, 100);
    EXPECT_EQ(Titles({MakeCriterion(kFieldFolder, kOpBeginsWith, "/mus"),
                      MakeCriterion(kFieldViewsCount, kOpGreaterOrEqual, "5"),
                      MakeCriterion(kFieldGroups, kOpContains, "rock")}),
              cTitles{"alpha"});
}

// The rule written out the plain way, every field and operator by name: lower-cased copies,
// 1-based positions of the first occurrence (0 when none), an empty text found nowhere.
std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return text;
}

size_t Position(const std::string& needle, const std::string& hay) {
    if (needle.empty()) {
        return 0;
    }
    const size_t found = hay.find(needle);
    return found == std::string::npos ? 0 : found + 1;
}

bool ReferenceNumberMatch(int32_t value, const SongCriterion& criterion) {
    const int32_t number = std::stoi(criterion.Text);
    switch (static_cast<eSongOperator>(criterion.Operator)) {
    case kOpIs:
        return value == number;
    case kOpIsNot:
        return value != number;
    case kOpGreater:
        return value > number;
    case kOpGreaterOrEqual:
        return value >= number;
    case kOpLess:
        return value < number;
    case kOpLessOrEqual:
        return value <= number;
    case kOpContains:
    case kOpDoesntContain:
    case kOpBeginsWith:
    case kOpEndsWith:
        ADD_FAILURE() << "the test draws no text operator for a number";
    }
    return false;
}

bool ReferenceTextMatch(const std::string& shown, const SongCriterion& criterion) {
    const std::string text = Lower(criterion.Text);
    const std::string value = Lower(shown);
    switch (static_cast<eSongOperator>(criterion.Operator)) {
    case kOpIs:
        return value == text;
    case kOpIsNot:
        return value != text;
    case kOpContains:
        return Position(text, value) > 0;
    case kOpDoesntContain:
        return Position(text, value) == 0;
    case kOpBeginsWith:
        return Position(text, value) == 1;
    case kOpEndsWith:
        return Position(text, value) > 0 && Position(text, value) == value.size() - text.size() + 1;
    case kOpGreater:
    case kOpGreaterOrEqual:
    case kOpLess:
    case kOpLessOrEqual:
        ADD_FAILURE() << "the test draws no number operator for a text";
    }
    return false;
}

// A tag text as the list shows it: UTF-8 as it is, anything else byte by byte as Latin-1.
std::string Shown(std::string_view stored) {
    if (IsValidUtf8(stored)) {
        return std::string(stored);
    }
    std::string shown;
    for (const char c : stored) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            shown += c;
        } else {
            shown += static_cast<char>(0xC0 | byte >> 6);
            shown += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return shown;
}

bool ReferenceTagTextMatch(std::string_view stored, const SongCriterion& criterion) {
    SongCriterion shown = criterion;
    shown.Text = Shown(criterion.Text);
    return ReferenceTextMatch(Shown(stored), shown);
}

bool ReferenceGroupsMatch(const cSongInfo& song, const SongCriterion& criterion) {
    if (criterion.Operator == kOpContains || criterion.Operator == kOpDoesntContain) {
        const std::string name = Lower(Shown(criterion.Text));
        bool member = false;
        for (const auto& group : song.Groups) {
            member = member || (!name.empty() && Lower(Shown(group)) == name);
        }
        return criterion.Operator == kOpContains ? member : !member;
    }
    std::string joined;
    for (size_t i = 0; i < song.Groups.size(); ++i) {
        joined += (i == 0 ? "" : "\r\n") + Shown(song.Groups[i]);
    }
    SongCriterion shown = criterion;
    shown.Text = Shown(criterion.Text);
    return ReferenceTextMatch(joined, shown);
}

bool ReferenceMatch(const cSongInfo& song, const SongCriterion& criterion) {
    switch (static_cast<eSongField>(criterion.Field)) {
    case kFieldFilename:
        return ReferenceTextMatch(std::string(song.FileName()), criterion);
    case kFieldFolder: {
        const std::string name(song.FileName());
        return ReferenceTextMatch(StripTrailingBackslash(name.substr(0, name.rfind('/') + 1)),
                                  criterion);
    }
    case kFieldTitle:
        return ReferenceTagTextMatch(song.Title(), criterion);
    case kFieldArtist:
        return ReferenceTagTextMatch(song.Author(), criterion);
    case kFieldAlbum:
        return ReferenceTagTextMatch(song.Album(), criterion);
    case kFieldGroups:
        return ReferenceGroupsMatch(song, criterion);
    case kFieldSize:
        return ReferenceNumberMatch(song.Size, criterion);
    case kFieldViewsCount:
        return ReferenceNumberMatch(song.Views, criterion);
    }
    ADD_FAILURE() << "the test draws no field code " << int(criterion.Field);
    return false;
}

TEST_F(SongQuery, AgreesWithThePlainRuleOnRandomSongsAndConditions) {
    constexpr unsigned kRandomStart = 20240611;
    std::mt19937 random(kRandomStart);
    const auto pick = [&](int count) {
        return static_cast<int>(random() % static_cast<unsigned>(count));
    };
    const std::vector<std::string> pieces = {"a", "A", "b", "la", "La", "/", "x/", "", "é", "\xE9", "\xC3", "\r\n"};
    const auto word = [&] {
        std::string text;
        for (int n = pick(4); n > 0; --n) {
            text += pieces[static_cast<size_t>(pick(static_cast<int>(pieces.size())))];
        }
        return text;
    };
    for (int i = 0; i < 300; ++i) {
        std::vector<std::string> groups;
        for (int n = pick(3); n > 0; --n) {
            groups.push_back(word());
        }
        cSongInfo* song =
            Add("/" + word() + "/" + word(), word(), groups, pick(5) - 2, pick(5) - 2);
        song->SetAuthor(word());
        song->SetAlbum(word());
    }
    for (int round = 0; round < 2000; ++round) {
        std::vector<SongCriterion> criteria;
        for (int n = 1 + pick(2); n > 0; --n) {
            const auto field = static_cast<uint8_t>(pick(static_cast<int>(kSongFieldNames.size())));
            const bool number = field == kFieldSize || field == kFieldViewsCount;
            const auto op = static_cast<uint8_t>(
                number ? std::vector<int>{0, 1, 6, 7, 8, 9}[static_cast<size_t>(pick(6))]
                       : pick(6));
            criteria.push_back(
                MakeCriterion(field, op, number ? std::to_string(pick(5) - 2) : word()));
        }
        std::vector<const cSongInfo*> expected;
        for (const cSongInfo* song : m_List) {
            bool all = true;
            for (const auto& criterion : criteria) {
                all = all && ReferenceMatch(*song, criterion);
            }
            if (all) {
                expected.push_back(song);
            }
        }
        const cSongPointersList found = QuerySongs(criteria, &m_List);
        ASSERT_EQ(std::vector<const cSongInfo*>(found.begin(), found.end()), expected)
            << "round " << round << ": " << kSongFieldNames[criteria[0].Field]
            << kSongOperatorNames[criteria[0].Operator] << " '" << criteria[0].Text << "'";
    }
}

} // namespace
