#pragma once
// The group list: the names of the user's song groups, in the user's order, kept in Groups.txt
// in the program folder.
//
// Names are compared without regard to letter case, the way the user's language sees it: the
// texts are decoded in the encoding of the C library's current locale (LC_CTYPE; the GUI sets
// the user's locale at start-up), folded with towlower, and ordered by the locale's collation
// (LC_COLLATE). Bytes that are not valid in that encoding (a Latin-1 name in a UTF-8 locale)
// each stand for themselves, so every pair of texts compares the same way every time, and two
// different byte sequences never count as the same name unless they differ only in case.
// A list folds each name when it is added, with the locale current then: the program sets its
// locale once, before it loads the list.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// True when the two group names are the same apart from letter case.
bool SameGroupName(std::string_view a, std::string_view b);

/// Negative, zero or positive as a sorts before, together with or after b: the locale's
/// order of the case-folded names. Zero exactly when SameGroupName holds.
int CompareGroupNames(std::string_view a, std::string_view b);

class cGroupList {
public:
    cGroupList() = default;
    /// The names in the given order, unchanged (no sorting, no removal of repeats).
    explicit cGroupList(std::vector<std::string> names);

    int Count() const { return static_cast<int>(m_Names.size()); }
    bool Empty() const { return m_Names.empty(); }
    const std::string& operator[](int index) const { return m_Names[static_cast<size_t>(index)]; }
    const std::vector<std::string>& Names() const { return m_Names; }

    /// The index of the first name equal to the given one apart from letter case, or -1.
    int IndexOf(std::string_view name) const;
    bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }

    /// Appends the name as it is. The list does not refuse a name it holds already: the
    /// callers decide when a name is added.
    void Add(std::string name);
    /// Removes the first name equal to the given one apart from letter case; false when the
    /// list holds no such name.
    bool Delete(std::string_view name);
    /// Sorts by CompareGroupNames; names that compare equal keep their order.
    void Sort();
    void Clear();

private:
    void Reindex();

    std::vector<std::string> m_Names;
    /// The case-folded wide form of each name, in step with m_Names.
    std::vector<std::wstring> m_Keys;
    /// Folded name -> index of its first occurrence.
    std::unordered_map<std::wstring, int> m_First;
};

/// The group list held by the bytes of a group file: one name per line, lines split at CR, LF
/// or CR LF, each line a name as it stands (an empty line is an empty name), in file order. A
/// line end after the last name adds no name; a UTF-8 byte order mark at the start is no part
/// of the first name.
cGroupList ParseGroupList(std::string_view bytes);

/// Reads the group list from the file by ParseGroupList. A missing file gives an empty list.
/// Throws EFileError (util/unitFileHandle.h), whose message names the file, when the file
/// exists but cannot be read.
cGroupList LoadGroupList(const std::string& path);

/// The bytes of a group file holding the names: each name followed by CR LF. When the first
/// name begins with a UTF-8 byte order mark, one more goes in front, as the reader takes one
/// off. Throws std::invalid_argument when a name holds a line break (it would come back as two
/// names).
std::string GroupFileText(const cGroupList& groups);

/// Replaces the file with GroupFileText in one atomic replacement (a crash leaves the old or the
/// new list). Throws EFileError naming the file when the write is refused, or when a name holds
/// a line break; the file is then unchanged.
void SaveGroupList(const cGroupList& groups, const std::string& path);

/// SaveGroupList, guarded: a refused write is shown to the user once, as "In SaveGroupList (): "
/// and the error in single quotes, and answers false; the file is then as it was, and the list
/// in memory is kept as it is.
bool StoreGroupList(const cGroupList& groups, const std::string& path);
