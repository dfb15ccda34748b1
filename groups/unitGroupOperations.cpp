#include "groups/unitGroupOperations.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "groups/unitGroupList.h"

namespace {

constexpr std::string_view kAlbumSuffix = " (album)";

bool HasGroup(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [name](const std::string& held) { return SameGroupName(held, name); });
}

void SortGroupNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareGroupNames(a, b) < 0;
    });
}

/// Whether the group list holds a name, asked once per distinct spelling: a collection
/// repeats the same few names on every song.
class cHeldNames {
public:
    explicit cHeldNames(const cGroupList& groups) : m_Groups(groups) {}
    /// The view must stay valid while this object lives.
    bool Holds(std::string_view name) {
        // A slot per few bytes of the name answers most songs with one comparison, without
        // hashing the whole name; a name that misses its slot is asked of the map and takes
        // the slot.
        cAnswer& slot = m_Slots[SlotOf(name)];
        if (slot.Filled && slot.Name == name) {
            return slot.Held;
        }
        const auto found = m_Known.find(name);
        const bool held = found != m_Known.end() ? found->second : Ask(name);
        slot = {name, held, true};
        return held;
    }

private:
    struct cAnswer {
        std::string_view Name;
        bool Held = false;
        bool Filled = false;
    };
    static constexpr size_t kSlots = 64;

    static size_t SlotOf(std::string_view name) {
        if (name.empty()) {
            return 0;
        }
        const auto byte = [name](size_t at) {
            return static_cast<size_t>(static_cast<unsigned char>(name[at]));
        };
        return (name.size() * 31 + byte(0) * 7 + byte(name.size() / 2) * 3 +
                byte(name.size() - 1)) %
               kSlots;
    }

    bool Ask(std::string_view name) {
        const bool held = m_Groups.Contains(name);
        m_Known.emplace(name, held);
        return held;
    }

    const cGroupList& m_Groups;
    std::unordered_map<std::string_view, bool> m_Known;
    std::array<cAnswer, kSlots> m_Slots{};
};

/// Calls visit for every song of the list (empty slots skipped), in order. A million records
/// lie all over the heap, and each one's names in a block of their own: both are fetched a few
/// songs ahead, so the walk does not wait on memory song by song.
template <typename Visit> void ForEachSong(const std::vector<cSongInfo*>& songs, Visit visit) {
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < songs.size(); ++i) {
        if (i + kAhead < songs.size() && songs[i + kAhead] != nullptr) {
            __builtin_prefetch(songs[i + kAhead]);
        }
        if (i + kAhead / 2 < songs.size() && songs[i + kAhead / 2] != nullptr) {
            __builtin_prefetch(songs[i + kAhead / 2]->Groups.data());
        }
        if (songs[i] != nullptr) {
            visit(*songs[i]);
        }
    }
}

/// Adds to changes every song that carries a name the group list lacks, with the names it
/// keeps.
void CollectPurges(const std::vector<cSongInfo*>& songs, cHeldNames& held,
                   std::vector<cSongGroupsChange>& changes) {
    ForEachSong(songs, [&](cSongInfo& song) {
        const std::vector<std::string>& names = song.Groups;
        const bool keepsAll = std::all_of(
            names.begin(), names.end(), [&](const std::string& name) { return held.Holds(name); });
        if (keepsAll) {
            return;
        }
        std::vector<std::string> kept;
        for (const std::string& name : names) {
            if (held.Holds(name)) {
                kept.push_back(name);
            }
        }
        changes.push_back({&song, std::move(kept)});
    });
}

/// Adds to missing every name the songs carry that the group list lacks and missing does not
/// hold yet, in the order met.
void CollectMissing(const std::vector<cSongInfo*>& songs, cHeldNames& held, cGroupList& missing) {
    // The songs of an album or a folder stand together and mostly carry the same names: a song
    // whose names equal the last song's looked at has nothing new to tell.
    const std::vector<std::string>* last = nullptr;
    ForEachSong(songs, [&](const cSongInfo& song) {
        const std::vector<std::string>& names = song.Groups;
        if (names.empty() || (last != nullptr && names == *last)) {
            return;
        }
        last = &names;
        for (const std::string& name : names) {
            if (!held.Holds(name) && !missing.Contains(name)) {
                missing.Add(name);
            }
        }
    });
}

} // namespace

std::optional<std::string> GroupNameOfKey(std::string_view key, eGroupKey kind) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    if (std::all_of(key.begin(), key.end(), blank) ||
        key.find_first_of("\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string name(key);
    if (kind == eGroupKey::Album) {
        name += kAlbumSuffix;
    }
    return name;
}

bool CreateGroupsPerKey(eGroupKey kind, const std::vector<cSongInfo*>& shownSongs,
                        cGroupList& groups, const std::string& groupFilePath) {
    cGroupList listed = groups; // the list as it will be: the names the songs are given join it
    // Each spelling is looked up in the group list once.
    std::unordered_set<std::string> spellingsSeen;
    std::vector<cSongGroupsChange> changes;
    for (cSongInfo* song : shownSongs) {
        std::optional<std::string> name =
            GroupNameOfKey(kind == eGroupKey::Artist ? song->Author() : song->Album(), kind);
        if (!name) {
            continue;
        }
        if (spellingsSeen.insert(*name).second && !listed.Contains(*name)) {
            listed.Add(*name);
        }
        if (HasGroup(song->Groups, *name)) {
            continue; // neither changed nor written
        }
        std::vector<std::string> names = song->Groups;
        names.push_back(std::move(*name));
        SortGroupNames(names);
        changes.push_back({song, std::move(names)});
    }
    listed.Sort();
    // The list first: a listed group that no song carries yet is harmless, a song carrying a
    // group the list lacks would lose it to the next purge.
    if (!StoreGroupList(listed, groupFilePath)) {
        return false;
    }
    groups = std::move(listed);
    return ChangeSongsGroups(std::move(changes));
}

bool PurgeDeletedGroups(const cGroupList& groups, const cSongPointersList& masterSongList) {
    cHeldNames held(groups);
    std::vector<cSongGroupsChange> changes;
    CollectPurges(masterSongList.Items(), held, changes);
    // Songs whose folder is out of reach come back with their groups: they lose the deleted
    // ones now, like every other song of the collection.
    CollectPurges(OfflineSongs.InFileOrder(), held, changes);
    return ChangeSongsGroups(std::move(changes));
}

bool AddMissingGroups(cGroupList& groups, const cSongPointersList& masterSongList) {
    cHeldNames held(groups);
    cGroupList missing;
    CollectMissing(masterSongList.Items(), held, missing);
    CollectMissing(OfflineSongs.InFileOrder(), held, missing);
    if (missing.Empty()) {
        return false;
    }
    for (const std::string& name : missing.Names()) {
        groups.Add(name);
    }
    groups.Sort();
    return true;
}

std::vector<std::string> SortedGroupSet(const std::vector<std::string>& names) {
    cGroupList sorted(names);
    sorted.Sort();
    std::vector<std::string> set;
    for (int i = 0; i < sorted.Count(); ++i) {
        // Equal names stand together after the sort; IndexOf names the first of them.
        if (sorted.IndexOf(sorted[i]) == i) {
            set.push_back(sorted[i]);
        }
    }
    return set;
}

cGroupList GroupsOfSongs(const std::vector<cSongInfo*>& songs) {
    cGroupList groups;
    for (const cSongInfo* song : songs) {
        for (const std::string& name : song->Groups) {
            if (!groups.Contains(name)) {
                groups.Add(name);
            }
        }
    }
    return groups;
}

bool AssignGroups(const std::vector<cSongInfo*>& songs,
                  const std::vector<std::string>& checkedNames) {
    const std::vector<std::string> names = SortedGroupSet(checkedNames);
    std::vector<cSongGroupsChange> changes;
    changes.reserve(songs.size());
    for (cSongInfo* song : songs) {
        changes.push_back({song, names});
    }
    return ChangeSongsGroups(std::move(changes));
}

std::vector<cGroupMenuEntry> GroupMenuEntries(const cGroupList& groups, bool oneGroupShown,
                                              std::string_view selectedGroup, int barBreakLimit) {
    const int limit = std::max(1, barBreakLimit);
    std::vector<cGroupMenuEntry> entries;
    entries.reserve(static_cast<size_t>(groups.Count()));
    for (int i = 0; i < groups.Count(); ++i) {
        entries.push_back(
            {i, oneGroupShown && groups[i] == selectedGroup, i > 0 && i % limit == 0});
    }
    return entries;
}
