#include "browser/unitSongSorting.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>

#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitUtils.h"

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<size_t>(c)] =
            static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    }
    return table;
}

/// Each byte as the text comparison sees it: a-z as A-Z, every other byte as itself.
constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

unsigned char Folded(char c) {
    return kFold[static_cast<unsigned char>(c)];
}

int Sign(bool less, bool greater) {
    return less ? -1 : (greater ? 1 : 0);
}

bool IsTextColumn(eSongColumn column) {
    switch (column) {
    case eSongColumn::Path:
    case eSongColumn::FileName:
    case eSongColumn::Title:
    case eSongColumn::Author:
    case eSongColumn::Album:
    case eSongColumn::Groups:
        return true;
    default:
        return false;
    }
}

/// The text a text column compares. Groups of more than one name need a joined text; it is
/// built in the caller's storage, which must outlive the view.
std::string_view SortText(eSongColumn column, const cSongInfo& song, std::string& storage) {
    switch (column) {
    case eSongColumn::Path:
        return song.FileName();
    case eSongColumn::FileName:
        return FileNameWithoutExtension(song.FileName());
    case eSongColumn::Title:
        return song.Title();
    case eSongColumn::Author:
        return song.Author();
    case eSongColumn::Album:
        return song.Album();
    case eSongColumn::Groups:
        if (song.Groups.size() == 1) {
            return song.Groups.front();
        }
        storage = JoinStrings(song.Groups, ",");
        return storage;
    default:
        return {};
    }
}

// ---- Keys ----------------------------------------------------------------------------------
//
// Every row gets a 64-bit key whose unsigned order is the row order: rows with different keys
// are in key order, rows with equal keys are equal (numbers) or equal so far (texts). Reversing
// complements every key, which reverses the order of different keys and keeps equal keys equal.

uint64_t Int32Key(int32_t value) {
    return static_cast<uint32_t>(value) ^ 0x80000000u;
}

/// The IEEE bit pattern made to sort as unsigned: negative numbers flipped whole, positive
/// numbers with the sign bit set. -0.0 is taken as 0.0 and every NaN as the smallest key.
uint64_t DateKey(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value == 0.0) {
        value = 0.0;
    }
    const auto bits = std::bit_cast<uint64_t>(value);
    return (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
}

uint64_t NumberKey(eSongColumn column, const cSongInfo& song) {
    switch (column) {
    case eSongColumn::Date:
        return DateKey(song.Date);
    case eSongColumn::Size:
        return Int32Key(song.Size);
    case eSongColumn::Views:
        return Int32Key(song.Views);
    default:
        return 0;
    }
}

/// Bytes of text a key holds; the low byte of the key is the count of bytes from the key's
/// offset on, up to kKeyBytes + 1, which tells a text that ends within the key (and how far
/// into it: a shorter text before a longer one it begins) from a text that goes on.
constexpr size_t kKeyBytes = 7;
constexpr uint64_t kTextGoesOn = kKeyBytes + 1;

/// The key of the text from the offset on (offset <= text length): the next seven folded bytes
/// in the high bytes, zero-padded, and the low byte as above.
uint64_t TextKey(const unsigned char* text, size_t length, size_t offset) {
    const size_t rest = length - offset;
    const size_t take = std::min(rest, kKeyBytes);
    uint64_t key = 0;
    for (size_t i = 0; i < take; ++i) {
        key |= static_cast<uint64_t>(kFold[text[offset + i]]) << (8 * (kKeyBytes - i));
    }
    return key | std::min<uint64_t>(rest, kTextGoesOn);
}

struct cSortEntry {
    uint64_t Key;
    const unsigned char* Text;
    uint32_t Length;
    uint32_t Row;
};

/// Folded comparison of the two entries' texts from the offset on.
int CompareTextsFrom(const cSortEntry& a, const cSortEntry& b, size_t offset) {
    const size_t lengthA = a.Length - offset;
    const size_t lengthB = b.Length - offset;
    const size_t common = std::min(lengthA, lengthB);
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = kFold[a.Text[offset + i]];
        const unsigned char y = kFold[b.Text[offset + i]];
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return Sign(lengthA<lengthB, lengthA> lengthB);
}

/// Stable LSD radix sort of the entries by key, eight bits at a time; a byte position that is
/// the same in every key is skipped. scratch holds at least count entries.
void RadixSortByKey(cSortEntry* entries, size_t count, cSortEntry* scratch) {
    std::array<std::array<uint32_t, 256>, 8> counts{};
    for (size_t i = 0; i < count; ++i) {
        const uint64_t key = entries[i].Key;
        for (size_t b = 0; b < 8; ++b) {
            ++counts[b][(key >> (8 * b)) & 0xFF];
        }
    }
    cSortEntry* source = entries;
    cSortEntry* target = scratch;
    for (size_t b = 0; b < 8; ++b) {
        auto& bucket = counts[b];
        if (bucket[(source[0].Key >> (8 * b)) & 0xFF] == count) {
            continue;
        }
        uint32_t start = 0;
        for (auto& c : bucket) {
            const uint32_t size = c;
            c = start;
            start += size;
        }
        for (size_t i = 0; i < count; ++i) {
            target[bucket[(source[i].Key >> (8 * b)) & 0xFF]++] = source[i];
        }
        std::swap(source, target);
    }
    if (source != entries) {
        std::copy(source, source + count, entries);
    }
}

/// Below this many rows a range of texts is put in order by insertion, not by keys.
constexpr size_t kInsertionLimit = 24;

void InsertionSortTexts(cSortEntry* entries, size_t count, size_t offset, bool reversed) {
    for (size_t i = 1; i < count; ++i) {
        const cSortEntry moving = entries[i];
        size_t j = i;
        while (j > 0) {
            const int order = CompareTextsFrom(moving, entries[j - 1], offset);
            if (reversed ? order <= 0 : order >= 0) {
                break;
            }
            entries[j] = entries[j - 1];
            --j;
        }
        entries[j] = moving;
    }
}

/// A range of entries whose texts agree on their first Offset folded bytes.
struct cTextRange {
    size_t First;
    size_t Count;
    size_t Offset;
};

/// Sorts text entries: by the key of their first bytes, then each group of rows that share a
/// key and go on beyond it by the key of their next bytes, and so on. The ranges still to do
/// wait on an explicit stack, so long shared beginnings cannot exhaust the call stack.
void SortTextEntries(std::vector<cSortEntry>& entries, bool reversed) {
    const uint64_t keyFlip = reversed ? ~uint64_t{0} : 0;
    std::vector<cSortEntry> scratch(entries.size());
    std::vector<cTextRange> pending{{0, entries.size(), 0}};
    while (!pending.empty()) {
        const cTextRange range = pending.back();
        pending.pop_back();
        cSortEntry* first = entries.data() + range.First;
        if (range.Count <= kInsertionLimit) {
            InsertionSortTexts(first, range.Count, range.Offset, reversed);
            continue;
        }
        for (size_t i = 0; i < range.Count; ++i) {
            first[i].Key = TextKey(first[i].Text, first[i].Length, range.Offset) ^ keyFlip;
        }
        RadixSortByKey(first, range.Count, scratch.data());
        for (size_t i = 0; i < range.Count;) {
            size_t end = i + 1;
            while (end < range.Count && first[end].Key == first[i].Key) {
                ++end;
            }
            const bool textGoesOn = ((first[i].Key ^ keyFlip) & 0xFF) == kTextGoesOn;
            if (end - i > 1 && textGoesOn) {
                pending.push_back({range.First + i, end - i, range.Offset + kKeyBytes});
            }
            i = end;
        }
    }
}

std::vector<int> OrderOfEntries(const std::vector<cSortEntry>& entries) {
    std::vector<int> order(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        order[i] = static_cast<int>(entries[i].Row);
    }
    return order;
}

std::vector<int> SortedTextOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                 bool reversed) {
    std::vector<cSortEntry> entries(rows.size());
    // Joined group texts live here while the sort runs; a deque never moves its strings.
    std::deque<std::string> joined;
    std::string unused;
    for (size_t i = 0; i < rows.size(); ++i) {
        const cSongInfo& song = *rows[i];
        const std::string_view text = column == eSongColumn::Groups && song.Groups.size() > 1
                                          ? joined.emplace_back(JoinStrings(song.Groups, ","))
                                          : SortText(column, song, unused);
        entries[i] = {0, reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<uint32_t>(text.size()), static_cast<uint32_t>(i)};
    }
    SortTextEntries(entries, reversed);
    return OrderOfEntries(entries);
}

std::vector<int> SortedNumberOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                   bool reversed) {
    const uint64_t keyFlip = reversed ? ~uint64_t{0} : 0;
    std::vector<cSortEntry> entries(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        entries[i] = {NumberKey(column, *rows[i]) ^ keyFlip, nullptr, 0, static_cast<uint32_t>(i)};
    }
    if (!entries.empty()) {
        std::vector<cSortEntry> scratch(entries.size());
        RadixSortByKey(entries.data(), entries.size(), scratch.data());
    }
    return OrderOfEntries(entries);
}

int CompareNumbers(const cSongInfo& a, const cSongInfo& b, eSongColumn column) {
    switch (column) {
    case eSongColumn::Date:
        return CompareSongDates(a.Date, b.Date);
    case eSongColumn::Size:
        return Sign(a.Size<b.Size, a.Size> b.Size);
    case eSongColumn::Views:
        return Sign(a.Views<b.Views, a.Views> b.Views);
    default:
        return 0;
    }
}

int IndexOfCaption(const std::vector<std::string>& captions, std::string_view caption) {
    const auto found = std::find(captions.begin(), captions.end(), caption);
    return found == captions.end() ? -1 : static_cast<int>(found - captions.begin());
}

} // namespace

int CompareSongTexts(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = Folded(a[i]);
        const unsigned char y = Folded(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return Sign(a.size() < b.size(), a.size() > b.size());
}

int CompareSongDates(double a, double b) {
    const bool aIsNumber = !std::isnan(a);
    const bool bIsNumber = !std::isnan(b);
    if (!aIsNumber || !bIsNumber) {
        return Sign(bIsNumber && !aIsNumber, aIsNumber && !bIsNumber);
    }
    return Sign(a<b, a> b);
}

int CompareSongs(const cSongInfo& a, const cSongInfo& b, eSongColumn column, bool reversed) {
    int order = 0;
    if (IsTextColumn(column)) {
        std::string storageA;
        std::string storageB;
        order = CompareSongTexts(SortText(column, a, storageA), SortText(column, b, storageB));
    } else {
        order = CompareNumbers(a, b, column);
    }
    return reversed ? -order : order;
}

std::vector<int> SortedRowOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                bool reversed) {
    if (IsTextColumn(column)) {
        return SortedTextOrder(rows, column, reversed);
    }
    if (column == eSongColumn::Unknown) {
        std::vector<int> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = static_cast<int>(i);
        }
        return order;
    }
    return SortedNumberOrder(rows, column, reversed);
}

void SortSongRows(std::vector<cSongInfo*>& rows, eSongColumn column, bool reversed) {
    if (column == eSongColumn::Unknown) {
        return;
    }
    const std::vector<int> order = SortedRowOrder(rows, column, reversed);
    std::vector<cSongInfo*> sorted(rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted[i] = rows[static_cast<size_t>(order[i])];
    }
    rows.swap(sorted);
}

int SortedPositionOfRow(const std::vector<cSongInfo*>& rows, int index, eSongColumn column,
                        bool reversed) {
    const int others = static_cast<int>(rows.size()) - 1;
    const cSongInfo& song = *rows[static_cast<size_t>(index)];
    // The other rows, as if the row at index were taken out.
    auto other = [&](int i) -> const cSongInfo& {
        return *rows[static_cast<size_t>(i < index ? i : i + 1)];
    };
    // First other row not before the song, and first other row after it.
    auto partitionPoint = [&](bool includeEqual) {
        int low = 0;
        int high = others;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            const int order = CompareSongs(other(middle), song, column, reversed);
            if (order < 0 || (includeEqual && order == 0)) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    };
    const int firstEqual = partitionPoint(false);
    const int pastEqual = partitionPoint(true);
    return std::clamp(index, firstEqual, pastEqual);
}

int MoveRowToSortedPosition(std::vector<cSongInfo*>& rows, int index, eSongColumn column,
                            bool reversed) {
    const int target = SortedPositionOfRow(rows, index, column, reversed);
    const auto from = rows.begin() + index;
    const auto to = rows.begin() + target;
    if (target < index) {
        std::rotate(to, from, from + 1);
    } else if (target > index) {
        std::rotate(from, from + 1, to + 1);
    }
    return target;
}

void ClickSortColumn(cSongSortOrder& order, std::string_view clickedCaption) {
    if (order.Column == clickedCaption) {
        order.Reversed = !order.Reversed;
    } else {
        order.Column = std::string(clickedCaption);
        order.Reversed = false;
    }
}

cSongSortOrder SortOrderFromSettings(const std::vector<std::string>& visibleColumns,
                                     int storedPosition, bool storedReversed) {
    cSongSortOrder order;
    order.Reversed = storedReversed;
    if (storedPosition >= 0 && storedPosition < static_cast<int>(visibleColumns.size())) {
        order.Column = visibleColumns[static_cast<size_t>(storedPosition)];
    } else if (!visibleColumns.empty()) {
        order.Column = visibleColumns.front();
    }
    return order;
}

int SortColumnPosition(const std::vector<std::string>& visibleColumns,
                       const cSongSortOrder& order) {
    return std::max(IndexOfCaption(visibleColumns, order.Column), 0);
}

bool FollowVisibleColumns(cSongSortOrder& order, const std::vector<std::string>& visibleColumns) {
    if (IndexOfCaption(visibleColumns, order.Column) >= 0) {
        return false;
    }
    const std::string first = visibleColumns.empty() ? std::string() : visibleColumns.front();
    const bool changed = order.Column != first || order.Reversed;
    order.Column = first;
    order.Reversed = false;
    return changed;
}
