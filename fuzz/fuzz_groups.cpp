// libFuzzer target for the group file reader and the group list: any bytes as the content of
// Groups.txt are read into a group list, which is looked up, sorted, reduced to a set, laid
// out as menu entries, written back and read again.
//
// The first byte is the menu's bar-break limit (and, when it is 0, the round trip goes through
// a real file in a temporary folder); the rest is the file.
//
// Checked, besides the absence of crashes, hangs and sanitizer reports:
// - no name holds a line break, and writing the names and reading them back gives the same
//   names in the same order;
// - every name is found, at or before its own place, as a name equal apart from letter case;
// - the sort is an ordering of the same names, each not after the next;
// - the set holds each name once, and every name has its equal in it;
// - the menu starts a column at every limit-th group.

#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <stdlib.h>

#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "group list invariant broken: %s\n", what);
        std::abort();
    }
}

std::string g_Folder;

void CheckLookups(const cGroupList& groups) {
    for (int i = 0; i < groups.Count(); ++i) {
        const int found = groups.IndexOf(groups[i]);
        Check(found >= 0 && found <= i, "a name is found at or before its place");
        Check(SameGroupName(groups[found], groups[i]), "the name found is the same name");
        Check(CompareGroupNames(groups[found], groups[i]) == 0, "equal names compare as equal");
    }
}

void CheckSorting(const cGroupList& loaded) {
    cGroupList sorted = loaded;
    sorted.Sort();
    Check(sorted.Count() == loaded.Count(), "sorting keeps every name");
    std::vector<std::string> before = loaded.Names();
    std::vector<std::string> after = sorted.Names();
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    Check(before == after, "sorting keeps the same names");
    for (int i = 0; i + 1 < sorted.Count(); ++i) {
        Check(CompareGroupNames(sorted[i], sorted[i + 1]) <= 0, "sorted names are in order");
    }
    CheckLookups(sorted);

    const std::vector<std::string> set = SortedGroupSet(loaded.Names());
    for (size_t i = 0; i + 1 < set.size(); ++i) {
        Check(CompareGroupNames(set[i], set[i + 1]) < 0, "the set holds each name once, in order");
    }
    const cGroupList setList(set);
    for (const std::string& name : loaded.Names()) {
        Check(setList.Contains(name), "every name has its equal in the set");
    }
}

void CheckMenu(const cGroupList& groups, int limit) {
    const std::vector<cGroupMenuEntry> entries = GroupMenuEntries(groups, true, "x", limit);
    Check(static_cast<int>(entries.size()) == groups.Count(), "one entry per group");
    int starts = 0;
    for (const cGroupMenuEntry& entry : entries) {
        starts += entry.StartsColumn;
        Check(entry.Checked == (groups[entry.GroupIndex] == "x"), "only the exact name is checked");
    }
    const int expected = groups.Count() == 0 ? 0 : (groups.Count() - 1) / std::max(1, limit);
    Check(starts == expected, "a column starts at every limit-th group");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Names are folded in the locale's encoding, as on a UTF-8 desktop.
    std::setlocale(LC_ALL, "C.UTF-8");
    // In memory where there is such a folder: each file written is flushed to the disk.
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "fuzz-groups-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    g_Folder = pattern;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const int limit = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const cGroupList groups = ParseGroupList(bytes);
    for (const std::string& name : groups.Names()) {
        Check(name.find_first_of("\r\n") == std::string::npos, "no name holds a line break");
    }
    Check(ParseGroupList(GroupFileText(groups)).Names() == groups.Names(),
          "the names read back as written");
    if (limit == 0) {
        const std::string path = g_Folder + "/Groups.txt";
        SaveGroupList(groups, path);
        Check(LoadGroupList(path).Names() == groups.Names(), "the file reads back as written");
    }
    CheckLookups(groups);
    CheckSorting(groups);
    CheckMenu(groups, limit);
    return 0;
}
