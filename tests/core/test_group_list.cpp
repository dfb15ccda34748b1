#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <string>
#include <vector>

#include "groups/unitGroupList.h"
#include "support/temp_folder.h"
#include "util/unitAtomicFile.h"

namespace {

using Names = std::vector<std::string>;

/// The tests compare names the way a UTF-8 desktop does; the previous locale comes back after.
struct GroupList : ::testing::Test {
    std::string previousLocale = std::setlocale(LC_ALL, nullptr);
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
    void TearDown() override { std::setlocale(LC_ALL, previousLocale.c_str()); }
};

cGroupList Loaded(const cTempFolder& folder, std::string_view bytes) {
    WriteBytes(folder / "Groups.txt", bytes);
    return LoadGroupList(folder / "Groups.txt");
}

} // namespace

TEST_F(GroupList, LoadingKeepsEveryLineAsItStands) {
    cTempFolder folder;
    EXPECT_EQ(LoadGroupList(folder / "Groups.txt").Count(), 0); // no file: no groups
    EXPECT_EQ(LoadGroupList(folder / "missing/Groups.txt").Count(), 0);

    EXPECT_EQ(Loaded(folder, "").Names(), Names{});
    EXPECT_EQ(Loaded(folder, "\r\n").Names(), Names{""});
    EXPECT_EQ(Loaded(folder, "Rock\r\nJazz\nPop\rBlues").Names(),
              (Names{"Rock", "Jazz", "Pop", "Blues"}));
    EXPECT_EQ(Loaded(folder, "b\r\n\r\na\r\n").Names(), (Names{"b", "", "a"}));
    EXPECT_EQ(Loaded(folder, "a\n\rb\r\r\n").Names(), (Names{"a", "", "b", ""}));
    // No trimming, no sorting, no removal of repeats.
    EXPECT_EQ(Loaded(folder, "  Early Songs (album)\r\nrock \r\nRock\r\nrock \r\n").Names(),
              (Names{"  Early Songs (album)", "rock ", "Rock", "rock "}));
    EXPECT_EQ(Loaded(folder, "\xEF\xBB\xBFRock\r\n").Names(), Names{"Rock"});
    EXPECT_EQ(Loaded(folder, std::string("a\0b\r\n", 5)).Names(), Names{std::string("a\0b", 3)});
}

TEST_F(GroupList, SavingWritesEveryNameWithCrLfAndReadsBack) {
    cTempFolder folder;
    const std::string path = folder / "Groups.txt";
    SaveGroupList(cGroupList(), path);
    EXPECT_EQ(ReadBytes(path), ""); // created, empty

    const Names names = {"Rock", "", "  two blanks", "Ärzte", "caf\xE9"};
    SaveGroupList(cGroupList(names), path);
    EXPECT_EQ(ReadBytes(path), "Rock\r\n\r\n  two blanks\r\nÄrzte\r\ncaf\xE9\r\n");
    EXPECT_EQ(LoadGroupList(path).Names(), names);
    EXPECT_EQ(folder.Entries(), Names{"Groups.txt"});

    // A first name that begins like a byte order mark keeps it.
    const Names marked = {"\xEF\xBB\xBFx", "y"};
    SaveGroupList(cGroupList(marked), path);
    EXPECT_EQ(LoadGroupList(path).Names(), marked);
}

TEST_F(GroupList, FailuresNameTheFile) {
    cTempFolder folder;
    const std::string path = folder / "Groups.txt";
    SaveGroupList(cGroupList({"Rock"}), path);
    const auto messageOf = [](auto&& action) -> std::string {
        try {
            action();
        } catch (const EFileError& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([&] {
                  SaveGroupList(cGroupList({"Jazz", "two\nlines"}), path);
              }),
              "Could not write \"" + path + "\": the group name \"two\nlines\" holds a line break");
    EXPECT_EQ(ReadBytes(path), "Rock\r\n");

    const std::string nowhere = folder / "missing/Groups.txt";
    EXPECT_EQ(messageOf([&] { SaveGroupList(cGroupList({"Rock"}), nowhere); }),
              "Could not write \"" + nowhere + "\": No such file or directory");

    const std::string aFolder = folder / "folder";
    ASSERT_EQ(::mkdir(aFolder.c_str(), 0755), 0);
    EXPECT_EQ(messageOf([&] { LoadGroupList(aFolder); }),
              "Could not read \"" + aFolder + "\": Is a directory");
}

TEST_F(GroupList, LookupsIgnoreLetterCaseBeyondAscii) {
    cGroupList groups({"Rock", "Ärzte", "rock", "", "caf\xE9", "Œuvre"});
    EXPECT_EQ(groups.IndexOf("ROCK"), 0); // the first of two
    EXPECT_EQ(groups.IndexOf("ärzte"), 1);
    EXPECT_EQ(groups.IndexOf("ÄRZTE"), 1);
    EXPECT_EQ(groups.IndexOf("œUVRE"), 5);
    EXPECT_EQ(groups.IndexOf(""), 3);
    EXPECT_EQ(groups.IndexOf("CAF\xE9"), 4); // the invalid byte stands for itself
    EXPECT_EQ(groups.IndexOf("caf\xC9"), -1);
    EXPECT_EQ(groups.IndexOf("Rock "), -1); // whole names only
    EXPECT_EQ(groups.IndexOf("Roc"), -1);
    EXPECT_TRUE(groups.Contains("äRZTE"));
    EXPECT_FALSE(groups.Contains("Arzte"));

    EXPECT_TRUE(SameGroupName("Nightingale", "NIGHTINGALE"));
    EXPECT_TRUE(SameGroupName("Ünïcödé", "üNÏCÖDÉ"));
    EXPECT_FALSE(SameGroupName("Rock and Roll", "Rock"));
    EXPECT_FALSE(SameGroupName("\xC9T\xC9", "\xE9t\xE9")); // Latin-1 bytes are not letters here
}

TEST_F(GroupList, AddAppendsAndDeleteRemovesTheFirstMatchOnly) {
    cGroupList groups;
    groups.Add("Rock");
    groups.Add("Jazz");
    groups.Add("ROCK");
    EXPECT_EQ(groups.Names(), (Names{"Rock", "Jazz", "ROCK"}));
    EXPECT_EQ(groups.Count(), 3);

    EXPECT_TRUE(groups.Delete("rock"));
    EXPECT_EQ(groups.Names(), (Names{"Jazz", "ROCK"}));
    EXPECT_EQ(groups.IndexOf("Rock"), 1); // the later copy is found now, at its new index
    EXPECT_FALSE(groups.Delete("Pop"));
    EXPECT_TRUE(groups.Delete("Rock"));
    EXPECT_TRUE(groups.Delete("JAZZ"));
    EXPECT_TRUE(groups.Empty());
    EXPECT_FALSE(groups.Contains("Rock"));
}

TEST_F(GroupList, SortIgnoresCaseAndKeepsTheOrderOfEqualNames) {
    cGroupList groups({"beta", "Œuvre", "alpha", "Gamma", "Alpha", "ALPHA", "", "Ärzte", "Beta"});
    groups.Sort();
    // C.UTF-8 collates by code point of the folded names: ä (U+E4) and œ (U+153) after z.
    EXPECT_EQ(groups.Names(),
              (Names{"", "alpha", "Alpha", "ALPHA", "beta", "Beta", "Gamma", "Ärzte", "Œuvre"}));
    EXPECT_EQ(groups.IndexOf("BETA"), 4); // lookups follow the new order
    groups.Add("aardvark");
    groups.Sort();
    EXPECT_EQ(groups[1], "aardvark");
}

TEST_F(GroupList, ComparisonIsAStrictOrderEvenForInvalidText) {
    const Names texts = {"",
                         "a",
                         "A",
                         "b",
                         "caf\xE9",
                         "CAF\xE9",
                         "café",
                         "\xFF",
                         "\xC3",
                         "\xC3\xA4",
                         "Ä",
                         "z",
                         "a b",
                         "a\xE9z",
                         "ab",
                         std::string("a\0b", 3),
                         std::string("a\0c", 3)};
    for (const auto& a : texts) {
        EXPECT_EQ(CompareGroupNames(a, a), 0);
        for (const auto& b : texts) {
            const int ab = CompareGroupNames(a, b);
            EXPECT_EQ(ab<0, CompareGroupNames(b, a)> 0) << a << " / " << b;
            EXPECT_EQ(ab == 0, SameGroupName(a, b)) << a << " / " << b;
            for (const auto& c : texts) {
                if (ab < 0 && CompareGroupNames(b, c) < 0) {
                    EXPECT_LT(CompareGroupNames(a, c), 0) << a << " / " << b << " / " << c;
                }
            }
        }
    }
    EXPECT_NE(CompareGroupNames(std::string("a\0b", 3), std::string("a\0c", 3)), 0);
    EXPECT_LT(CompareGroupNames("apple", "Banana"), 0);
    EXPECT_GT(CompareGroupNames("Cherry", "banana"), 0);
}
