#include "groups/unitGroupList.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <exception>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <utility>

#include "util/unitAtomicFile.h"
#include "util/unitMessages.h"

namespace {

/// A UTF-8 byte order mark, which an editor may put at the start of a group file.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// A byte that is not valid in the locale's encoding stands for itself as a lone low
/// surrogate (U+DC00 + byte), which no valid text decodes to.
constexpr wchar_t kInvalidByteBase = 0xDC00;

/// The name decoded in the locale's encoding and folded to lower case.
std::wstring FoldedKey(std::string_view text) {
    std::wstring key;
    key.reserve(text.size());
    std::mbstate_t state{};
    size_t at = 0;
    while (at < text.size()) {
        wchar_t character = 0;
        const size_t used = std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            key.push_back(
                static_cast<wchar_t>(kInvalidByteBase + static_cast<unsigned char>(text[at])));
            state = std::mbstate_t{};
            ++at;
            continue;
        }
        key.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(character))));
        at += used == 0 ? 1 : used; // 0: a NUL character, one byte
    }
    return key;
}

/// The locale's order of two folded keys; keys it ranks equal (characters the collation
/// ignores, or a NUL inside a name, where wcscoll stops) are told apart by code point, so only
/// identical keys compare equal.
int CompareKeys(const std::wstring& a, const std::wstring& b) {
    const int collated = std::wcscoll(a.c_str(), b.c_str());
    if (collated != 0) {
        return collated;
    }
    return a.compare(b);
}

} // namespace

bool SameGroupName(std::string_view a, std::string_view b) {
    return a == b || FoldedKey(a) == FoldedKey(b);
}

int CompareGroupNames(std::string_view a, std::string_view b) {
    return CompareKeys(FoldedKey(a), FoldedKey(b));
}

cGroupList::cGroupList(std::vector<std::string> names) : m_Names(std::move(names)) {
    m_Keys.reserve(m_Names.size());
    for (const std::string& name : m_Names) {
        m_Keys.push_back(FoldedKey(name));
    }
    Reindex();
}

void cGroupList::Reindex() {
    m_First.clear();
    for (size_t i = 0; i < m_Keys.size(); ++i) {
        m_First.emplace(m_Keys[i], static_cast<int>(i));
    }
}

int cGroupList::IndexOf(std::string_view name) const {
    const auto found = m_First.find(FoldedKey(name));
    return found == m_First.end() ? -1 : found->second;
}

void cGroupList::Add(std::string name) {
    m_Keys.push_back(FoldedKey(name));
    m_First.emplace(m_Keys.back(), static_cast<int>(m_Names.size()));
    m_Names.push_back(std::move(name));
}

bool cGroupList::Delete(std::string_view name) {
    const int index = IndexOf(name);
    if (index < 0) {
        return false;
    }
    m_Names.erase(m_Names.begin() + index);
    m_Keys.erase(m_Keys.begin() + index);
    Reindex();
    return true;
}

void cGroupList::Sort() {
    std::vector<size_t> order(m_Names.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return CompareKeys(m_Keys[a], m_Keys[b]) < 0; });
    std::vector<std::string> names;
    std::vector<std::wstring> keys;
    names.reserve(order.size());
    keys.reserve(order.size());
    for (const size_t i : order) {
        names.push_back(std::move(m_Names[i]));
        keys.push_back(std::move(m_Keys[i]));
    }
    m_Names = std::move(names);
    m_Keys = std::move(keys);
    Reindex();
}

void cGroupList::Clear() {
    m_Names.clear();
    m_Keys.clear();
    m_First.clear();
}

cGroupList LoadGroupList(const std::string& path) {
    const std::optional<std::string> content = ReadFileIfExists(path);
    if (!content) {
        return cGroupList();
    }
    return ParseGroupList(*content);
}

cGroupList ParseGroupList(std::string_view bytes) {
    std::string_view rest = bytes;
    if (rest.starts_with(kByteOrderMark)) {
        rest.remove_prefix(kByteOrderMark.size());
    }
    std::vector<std::string> names;
    while (!rest.empty()) {
        const size_t end = rest.find_first_of("\r\n");
        names.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        const bool crLf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
        rest.remove_prefix(end + (crLf ? 2 : 1));
    }
    return cGroupList(std::move(names));
}

std::string GroupFileText(const cGroupList& groups) {
    std::string bytes;
    if (!groups.Empty() && groups[0].starts_with(kByteOrderMark)) {
        bytes = kByteOrderMark;
    }
    for (const std::string& name : groups.Names()) {
        if (name.find_first_of("\r\n") != std::string::npos) {
            throw std::invalid_argument("the group name \"" + name + "\" holds a line break");
        }
        bytes += name;
        bytes += "\r\n";
    }
    return bytes;
}

void SaveGroupList(const cGroupList& groups, const std::string& path) {
    std::string bytes;
    try {
        bytes = GroupFileText(groups);
    } catch (const std::invalid_argument& error) {
        throw EFileError(EINVAL, kCouldNotWrite, path, error.what());
    }
    WriteFileAtomically(path, bytes);
}

bool StoreGroupList(const cGroupList& groups, const std::string& path) {
    try {
        SaveGroupList(groups, path);
        return true;
    } catch (const std::exception& error) {
        ShowErrorMessage("In SaveGroupList (): ", error.what());
        return false;
    }
}
