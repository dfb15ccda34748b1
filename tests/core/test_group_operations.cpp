// Group operations against a real catalogue and real files: groups per artist and album, the
// purge of deleted groups, the assignment rule, and the batch that writes many songs, cut at
// every write and on a full disk.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <map>
#include <string>
#include <vector>

#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "support/recorded_writes.h"
#include "support/song_fixtures.h"

using namespace song_fixtures;

cRecordedWrites* g_RecordedWrites = nullptr;

namespace {

using Names = std::vector<std::string>;

/// A write or a rename of this program, in the order made.
struct cFileEvent {
    int Fd = -1; ///< the file written; -1 for a rename
    int64_t Offset = 0;
    std::string Bytes;
    std::string RenamedTo;
};
/// While set, every pwrite and rename of this program is recorded here before it is made.
std::vector<cFileEvent>* g_FileEvents = nullptr;

} // namespace

/// Every pwrite of this test program passes here (the catalogue writes through pwrite), so a
/// test can see the writes of an operation in the order they reach the file.
extern "C" ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
    using tPwrite = ssize_t (*)(int, const void*, size_t, off_t);
    static const auto real = reinterpret_cast<tPwrite>(::dlsym(RTLD_NEXT, "pwrite"));
    std::string bytes(static_cast<const char*>(data), count);
    if (g_FileEvents != nullptr) {
        g_FileEvents->push_back({fd, offset, bytes, {}});
    }
    if (g_RecordedWrites != nullptr) {
        g_RecordedWrites->emplace_back(offset, std::move(bytes));
    }
    return real(fd, data, count, offset);
}

/// Every rename passes here too: a file replaced atomically (Groups.txt) takes its new content
/// at its rename.
extern "C" int rename(const char* from, const char* to) {
    using tRename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<tRename>(::dlsym(RTLD_NEXT, "rename"));
    if (g_FileEvents != nullptr) {
        g_FileEvents->push_back({-1, 0, {}, to});
    }
    return real(from, to);
}

namespace {

/// Songs (artist, album, groups) in a loaded catalogue; names compared as a UTF-8 desktop does.
class GroupOperations : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
    void TearDown() override {
        FreeAllSongs();
        std::setlocale(LC_ALL, m_Locale.c_str());
    }

    std::string Catalogue() const { return m_Folder / "DB.txt"; }

    /// A catalogue of one song per entry, loaded; songs in master-list order.
    std::vector<cSongInfo*> Load(const std::vector<std::pair<std::string, Names>>& songs) {
        {
            cSongsDatabase database;
            database.Open(Catalogue());
            for (size_t i = 0; i < songs.size(); ++i) {
                cSongInfo song;
                const std::string path = m_Folder / ("song" + std::to_string(i) + ".mp3");
                WriteBytes(path, Mp3Bytes(100));
                song.SetTexts(path, "t", songs[i].first, songs[i].first + " LP", "", "");
                song.Groups = songs[i].second;
                database.AddSongEntry(song);
            }
        }
        return Reload();
    }
    std::vector<cSongInfo*> Reload() {
        FreeAllSongs();
        EXPECT_TRUE(OpenSongsDatabase(Catalogue()));
        return MasterSongList->Items();
    }
    /// Every song's groups after a fresh load, by file name; a song met twice fails the test.
    std::map<std::string, Names> GroupsOnDisk() {
        std::map<std::string, Names> groups;
        for (const cSongInfo* song : Reload()) {
            EXPECT_TRUE(groups.emplace(song->FileName(), song->Groups).second) << song->FileName();
        }
        return groups;
    }

    /// Appends a song on a drive that is not plugged in (kept aside offline at the next load)
    /// to the catalogue, which is closed first.
    void AddUnpluggedSong(const Names& groups) {
        FreeAllSongs();
        cSongsDatabase database;
        database.Open(Catalogue());
        cSongInfo away;
        away.SetTexts(m_Folder / "unplugged/e.mp3", "t", "e", "", "", "");
        away.Groups = groups;
        database.AddSongEntry(away);
    }

    std::string GroupFile() const { return m_Folder / "Groups.txt"; }

    /// The groups the loaded songs carry (offline ones too) that the group file lacks.
    Names GroupsTheFileLacks() {
        Reload();
        cGroupList groups = LoadGroupList(GroupFile());
        const Names listed = groups.Names();
        if (!AddMissingGroups(groups, *MasterSongList)) {
            return {};
        }
        Names lacking;
        for (const std::string& name : groups.Names()) {
            if (std::find(listed.begin(), listed.end(), name) == listed.end()) {
                lacking.push_back(name);
            }
        }
        return lacking;
    }

    std::string m_Locale = std::setlocale(LC_ALL, nullptr);
    cTempFolder m_Folder;
    cMessageRecorder m_Messages;
};

TEST_F(GroupOperations, GroupsPerArtistAndAlbumFollowTheKeyRules) {
    cGroupList groups(Names{"rock", "Zoo"});
    std::vector<cSongInfo*> songs = Load({{"Rock", {}},
                                          {"Nightingale", {"Zoo"}},
                                          {"   ", {}},
                                          {"", {}},
                                          {"  two", {}},
                                          {"nightingale", {"NIGHTINGALE"}},
                                          {"Line\nBreak", {}}});
    const int64_t before = SongsDatabase->GetSize();
    ASSERT_TRUE(CreateGroupsPerKey(eGroupKey::Artist, songs, groups, GroupFile()));
    // No group for blanks, nothing or a line break; "Rock" is the list's "rock"; sorted.
    EXPECT_EQ(groups.Names(), (Names{"  two", "Nightingale", "rock", "Zoo"}));
    EXPECT_EQ(ReadBytes(GroupFile()), "  two\r\nNightingale\r\nrock\r\nZoo\r\n");
    EXPECT_EQ(songs[0]->Groups, Names{"Rock"}) << "the song takes its own spelling";
    EXPECT_EQ(songs[1]->Groups, (Names{"Nightingale", "Zoo"}));
    EXPECT_EQ(songs[4]->Groups, Names{"  two"});
    EXPECT_EQ(songs[5]->Groups, Names{"NIGHTINGALE"}) << "held in another case: not written";
    const int64_t grown = SongsDatabase->GetSize() - before;
    EXPECT_EQ(grown, int64_t(songs[0]->RecordLength + songs[1]->RecordLength +
                             songs[4]->RecordLength + 15))
        << "only the three changed songs are written";

    // A second run adds no group and writes no song.
    ASSERT_TRUE(CreateGroupsPerKey(eGroupKey::Artist, songs, groups, GroupFile()));
    EXPECT_EQ(groups.Count(), 4);
    EXPECT_EQ(SongsDatabase->GetSize() - before, grown);

    // The same text as album is another group.
    ASSERT_TRUE(CreateGroupsPerKey(eGroupKey::Album, {songs[0]}, groups, GroupFile()));
    EXPECT_EQ(songs[0]->Groups, (Names{"Rock", "Rock LP (album)"}));
    EXPECT_TRUE(groups.Contains("Rock LP (album)"));
    const std::string file(songs[0]->FileName());
    const Names inMemory = songs[0]->Groups;
    EXPECT_EQ(GroupsOnDisk()[file], inMemory) << "the songs are loaded anew";
    EXPECT_TRUE(m_Messages.Messages().empty());
}

TEST_F(GroupOperations, PurgeReachesEverySongAndWritesOnlyTheChangedOnes) {
    const cGroupList groups(Names{"Keep"});
    Load({{"a", {"Gone", "keep", "Lost"}}, {"b", {"Keep"}}, {"c", {"Stray"}}, {"d", {}}});
    AddUnpluggedSong({"Gone", "Keep"});
    std::vector<cSongInfo*> songs = Reload();
    ASSERT_EQ(OfflineSongs.Count(), 1);
    const cSongInfo* offline = OfflineSongs.InFileOrder()[0];
    const int64_t before = SongsDatabase->GetSize();
    ASSERT_TRUE(PurgeDeletedGroups(groups, *MasterSongList));
    EXPECT_EQ(songs[0]->Groups, Names{"keep"});
    EXPECT_EQ(songs[2]->Groups, Names{}) << "a name the list never held goes too";
    EXPECT_EQ(offline->Groups, Names{"Keep"}) << "it comes back without the deleted group";
    EXPECT_EQ(
        SongsDatabase->GetSize() - before,
        int64_t(songs[0]->RecordLength + songs[2]->RecordLength + offline->RecordLength + 15));
    const std::map<std::string, Names> onDisk = GroupsOnDisk();
    EXPECT_EQ(onDisk.at(std::string(m_Folder / "song0.mp3")), Names{"keep"});
    EXPECT_EQ(onDisk.at(std::string(m_Folder / "song1.mp3")), Names{"Keep"});
    ASSERT_EQ(OfflineSongs.Count(), 1);
    EXPECT_EQ(OfflineSongs.InFileOrder()[0]->Groups, Names{"Keep"});
}

TEST_F(GroupOperations, AssignmentGivesEverySongExactlyTheCheckedGroupsSorted) {
    std::vector<cSongInfo*> songs = Load({{"a", {"A", "b"}}, {"b", {"B", "Stray"}}, {"c", {}}});
    // The union, first spelling met, each name once.
    EXPECT_EQ(GroupsOfSongs(songs).Names(), (Names{"A", "b", "Stray"}));
    EXPECT_EQ(SortedGroupSet({"b", "C", "a", "B"}), (Names{"a", "b", "C"}));

    const int64_t before = SongsDatabase->GetSize();
    ASSERT_TRUE(AssignGroups(songs, {"B", "A"}));
    for (const cSongInfo* song : songs) {
        EXPECT_EQ(song->Groups, (Names{"A", "B"}));
    }
    EXPECT_EQ(SongsDatabase->GetSize() - before, 3 * int64_t(songs[0]->RecordLength + 5))
        << "every song is written, changed or not";
    ASSERT_TRUE(AssignGroups({songs[1]}, {}));
    EXPECT_EQ(GroupsOnDisk().at(std::string(m_Folder / "song1.mp3")), Names{});
}

// The batch's writes, as they reach the file, replayed one by one onto the catalogue as it was:
// cut behind every write and inside every write, each load finds every song exactly once, with
// its old groups or its new ones.
TEST_F(GroupOperations, ABatchCutAtAnyWriteLosesAndDoublesNoSong) {
    std::vector<cSongInfo*> songs = Load(
        {{"a", {"Old0"}}, {"b", {"Old1"}}, {"c", {}}, {"d", {"Old3"}}, {"e", {"Old4", "More"}}});
    std::map<std::string, Names> oldGroups;
    std::map<std::string, Names> newGroups;
    std::vector<cSongGroupsChange> changes;
    for (size_t i : {0, 2, 3, 4}) {
        oldGroups[std::string(songs[i]->FileName())] = songs[i]->Groups;
        newGroups[std::string(songs[i]->FileName())] = {"New" + std::to_string(i)};
        changes.push_back({songs[i], {"New" + std::to_string(i)}});
    }
    const std::string before = ReadBytes(Catalogue());
    cRecordedWrites writes;
    {
        const cWriteRecorder recorder;
        ASSERT_TRUE(ChangeSongsGroups(changes));
        writes = recorder.Writes();
    }
    const std::string after = ReadBytes(Catalogue());
    FreeAllSongs();
    ASSERT_GT(writes.size(), 4u) << "the new copies, then one flag per old copy";

    // Answers how many songs have their new groups.
    const auto load = [&](const std::string& state) {
        WriteBytes(Catalogue(), state);
        const std::map<std::string, Names> loaded = GroupsOnDisk();
        EXPECT_EQ(loaded.size(), songs.size()) << "cut at " << state.size();
        int updated = 0;
        for (const auto& [file, groups] : loaded) {
            const bool isNew = newGroups.count(file) && groups == newGroups[file];
            EXPECT_TRUE(isNew ||
                        groups == (oldGroups.count(file) ? oldGroups[file] : Names{"Old1"}))
                << file;
            updated += isNew;
        }
        FreeAllSongs();
        return updated;
    };
    EXPECT_EQ(ForEachCrashState(before, writes, load), after);
    EXPECT_EQ(load(after), 4);
    EXPECT_TRUE(m_Messages.Messages().empty());
}

TEST_F(GroupOperations, ABatchOnAFullDiskIsReportedOnceAndChangesNothing) {
    std::vector<cSongInfo*> songs = Load({{"a", {"Old"}}, {"b", {}}, {"c", {"Old"}}});
    const std::string before = ReadBytes(Catalogue());
    const int64_t position = songs[1]->Position;
    cGroupList groups(Names{"Old"});
    {
        cFileSizeLimit full(static_cast<int64_t>(before.size()) + 80);
        EXPECT_FALSE(CreateGroupsPerKey(eGroupKey::Artist, songs, groups, GroupFile()));
    }
    ASSERT_EQ(m_Messages.Messages().size(), 1u);
    EXPECT_TRUE(StartsWith(m_Messages.Messages()[0], "In cSongsDatabase.WriteSongEntry (): '"));
    EXPECT_EQ(songs[0]->Groups, Names{"Old"});
    EXPECT_EQ(songs[1]->Groups, Names{});
    EXPECT_EQ(songs[1]->Position, position);
    EXPECT_EQ(groups.Names(), (Names{"a", "b", "c", "Old"}))
        << "the list and its file took the new names first; no song carries them yet";
    EXPECT_EQ(ReadBytes(GroupFile()), "a\r\nb\r\nc\r\nOld\r\n");
    EXPECT_EQ(ReadBytes(Catalogue()), before);

    // With room again the same batch goes through, and the songs still match the file.
    ASSERT_TRUE(CreateGroupsPerKey(eGroupKey::Artist, songs, groups, GroupFile()));
    EXPECT_EQ(groups.Names(), (Names{"a", "b", "c", "Old"}));
    EXPECT_EQ(GroupsOnDisk().at(std::string(m_Folder / "song0.mp3")), (Names{"a", "Old"}));
}

// Groups per artist, its writes replayed one by one onto the files as they were (Groups.txt
// takes its new content at its rename; the catalogue write by write, and cut inside each): at
// every point the group file lists every group a song carries, so no later purge can take one.
TEST_F(GroupOperations, GroupsPerArtistCutAtAnyWriteLeavesNoSongWithAnUnlistedGroup) {
    std::vector<cSongInfo*> songs =
        Load({{"Blue", {"Old"}}, {"Nightingale", {}}, {"Blue", {}}, {"Zed", {"Old"}}});
    WriteBytes(GroupFile(), "Old\r\n");
    const std::string catalogueBefore = ReadBytes(Catalogue());
    const std::string listBefore = ReadBytes(GroupFile());
    cGroupList groups = LoadGroupList(GroupFile());
    const int catalogueFd = SongsDatabase->Descriptor();
    std::vector<cFileEvent> events;
    g_FileEvents = &events;
    const bool grouped = CreateGroupsPerKey(eGroupKey::Artist, songs, groups, GroupFile());
    g_FileEvents = nullptr;
    ASSERT_TRUE(grouped);
    const std::string catalogueAfter = ReadBytes(Catalogue());
    const std::string listAfter = ReadBytes(GroupFile());
    FreeAllSongs();

    std::string catalogue = catalogueBefore;
    bool listReplaced = false;
    const auto check = [&](const std::string& state, const char* when) {
        WriteBytes(Catalogue(), state);
        WriteBytes(GroupFile(), listReplaced ? listAfter : listBefore);
        EXPECT_EQ(GroupsTheFileLacks(), Names{}) << when << " at " << state.size();
        FreeAllSongs();
    };
    const auto apply = [](std::string& state, int64_t at, std::string_view bytes) {
        const auto offset = static_cast<size_t>(at);
        state.resize(std::max(state.size(), offset + bytes.size()));
        state.replace(offset, bytes.size(), bytes);
    };
    int catalogueWrites = 0;
    for (const cFileEvent& event : events) {
        if (event.RenamedTo == GroupFile()) {
            EXPECT_EQ(catalogueWrites, 0) << "the group file is replaced before any song";
            listReplaced = true;
        } else if (event.Fd == catalogueFd) {
            ++catalogueWrites;
            for (size_t part = 1; part < event.Bytes.size(); ++part) {
                std::string torn = catalogue;
                apply(torn, event.Offset, std::string_view(event.Bytes).substr(0, part));
                check(torn, "inside a write");
            }
            apply(catalogue, event.Offset, event.Bytes);
        }
        check(catalogue, "behind a write");
    }
    EXPECT_TRUE(listReplaced);
    EXPECT_GT(catalogueWrites, 3);
    EXPECT_EQ(catalogue, catalogueAfter);
    EXPECT_EQ(listAfter, "Blue\r\nNightingale\r\nOld\r\nZed\r\n");
    EXPECT_TRUE(m_Messages.Messages().empty());
}

TEST_F(GroupOperations, AGroupFileThatCannotBeWrittenStopsGroupsPerArtistBeforeAnySong) {
    std::vector<cSongInfo*> songs = Load({{"Blue", {"Old"}}, {"Nightingale", {}}});
    WriteBytes(GroupFile(), "Old\r\n");
    const std::string before = ReadBytes(Catalogue());
    cGroupList groups = LoadGroupList(GroupFile());
    {
        // Room for the catalogue as it is, none for a longer group file.
        cFileSizeLimit full(8);
        EXPECT_FALSE(CreateGroupsPerKey(eGroupKey::Artist, songs, groups, GroupFile()));
    }
    ASSERT_EQ(m_Messages.Messages().size(), 1u);
    EXPECT_TRUE(StartsWith(m_Messages.Messages()[0], "In SaveGroupList (): '"));
    EXPECT_EQ(groups.Names(), Names{"Old"});
    EXPECT_EQ(ReadBytes(GroupFile()), "Old\r\n");
    EXPECT_EQ(songs[0]->Groups, Names{"Old"});
    EXPECT_EQ(songs[1]->Groups, Names{});
    EXPECT_EQ(ReadBytes(Catalogue()), before) << "no song was written";
}

TEST_F(GroupOperations, GroupsThatSongsCarryAndTheListLacksJoinTheListAtStartUp) {
    Load({{"a", {"Rock", "Lost"}}, {"b", {"jazz"}}, {"c", {"Rock", "Lost"}}, {"d", {}}});
    AddUnpluggedSong({"Away", "LOST"});
    Reload();
    cGroupList groups(Names{"Jazz", "Zoo"});
    ASSERT_TRUE(AddMissingGroups(groups, *MasterSongList));
    // "jazz" is the list's Jazz; Lost is added once, in the first spelling met; then sorted.
    EXPECT_EQ(groups.Names(), (Names{"Away", "Jazz", "Lost", "Rock", "Zoo"}));
    EXPECT_FALSE(AddMissingGroups(groups, *MasterSongList)) << "nothing missing: nothing to store";
    EXPECT_EQ(groups.Count(), 5);
    // Now no purge takes anything: the songs keep their groups.
    const int64_t size = SongsDatabase->GetSize();
    ASSERT_TRUE(PurgeDeletedGroups(groups, *MasterSongList));
    EXPECT_EQ(SongsDatabase->GetSize(), size);
}

TEST_F(GroupOperations, OddNamesRoundTripAndAHugeGroupFileLoadsQuickly) {
    const Names odd = {"Rock & Roll", "a\tb", "  lead", "Ärzte", std::string(1000, 'x'), "caf\xE9"};
    std::vector<cSongInfo*> songs = Load({{"a", {}}});
    SaveGroupList(cGroupList(odd), m_Folder / "Groups.txt");
    EXPECT_EQ(LoadGroupList(m_Folder / "Groups.txt").Names(), odd);
    ASSERT_TRUE(AssignGroups(songs, odd));
    EXPECT_EQ(GroupsOnDisk().begin()->second, SortedGroupSet(odd));

    std::string file = "\xEF\xBB\xBF";
    for (int i = 0; i < 10000; ++i) {
        file +=
            (i % 3 ? "Group " : "GROUP ") + std::to_string(i / 2) + (i % 7 ? "\r\n" : "\xFF\n\n");
    }
    const auto start = std::chrono::steady_clock::now();
    cGroupList many = ParseGroupList(file);
    many.Sort();
    EXPECT_EQ(many.Count(), 10000 + 1429) << "every line, empty ones too";
    EXPECT_EQ(many[0], "");
    EXPECT_EQ(many.IndexOf("group 4999"), many.IndexOf("GROUP 4999"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(GroupOperations, AGroupFileThatCannotBeWrittenIsReportedOnceAndTheListKept) {
    const std::string path = m_Folder / "Groups.txt";
    WriteBytes(path, "Old\r\n");
    cFileSizeLimit full(3);
    const cGroupList groups(Names{"Rock", "Jazz"});
    EXPECT_FALSE(StoreGroupList(groups, path));
    ASSERT_EQ(m_Messages.Messages().size(), 1u);
    EXPECT_TRUE(StartsWith(m_Messages.Messages()[0], "In SaveGroupList (): '"));
    EXPECT_EQ(ReadBytes(path), "Old\r\n");
    EXPECT_EQ(groups.Count(), 2);
}

} // namespace
