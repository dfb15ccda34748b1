#include "browser/unitSongSorting.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <deque>
#include <utility>

#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitAsciiCase.h"
#include "util/unitUtils.h"

namespace {

/// FoldUpper of every byte, as unsigned bytes: the sort's inner loops fold with one load.
constexpr std::array<unsigned char, 256> kFold = [] {
    std::array<unsigned char, 256> table{};
    for (size_t c = 0; c < table.size(); ++c) {
        table[c] = static_cast<unsigned char>(FoldUpper(static_cast<char>(c)));
    }
    return table;
}();

/// Each byte as the text comparison sees it: a-z as A-Z, every other byte as itself.
unsigned char Folded(char c) {
    return kFold[static_cast<unsigned char>(c)];
}

/// -1, 0 or 1 as a is below, equal to or above b.
template <typename T> int ThreeWay(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool IsTextColumn(eSongColumn column) {
    return column != eSongColumn::Unknown && ColumnInfo(column).Kind == eColumnKind::Text;
}

/// The text a text column compares, as its cells show it. A text that has to be built (the
/// names of several groups joined) is built in the caller's storage, which must outlive the
/// view.
std::string_view SortText(eSongColumn column, const cSongInfo& song, std::string& storage) {
    return ColumnInfo(column).Text(song, storage);
}

/// Where the text a column compares begins, for prefetching; computed without building it.
const void* SortTextAddress(eSongColumn column, const cSongInfo& song) {
    if (column == eSongColumn::Groups) {
        return song.Groups.empty() ? nullptr : song.Groups.front().data();
    }
    if (column == eSongColumn::FileName) {
        const std::string_view path = song.FileName(); // the name is at its end
        return path.empty() ? nullptr : &path.back();
    }
    std::string unused;
    return SortText(column, song, unused).data();
}

/// Rows are visited in an order unrelated to where their records lie, so every record is a
/// cache miss; asking for the records some rows ahead lets those misses overlap.
constexpr size_t kRecordPrefetchDistance = 16;

void PrefetchRecord(const std::vector<cSongInfo*>& rows, size_t index) {
    if (index < rows.size()) {
        const auto* record = reinterpret_cast<const char*>(rows[index]);
        __builtin_prefetch(record);
        __builtin_prefetch(record + sizeof(cSongInfo) - 1);
    }
}

// ---- Keys ----------------------------------------------------------------------------------
//
// Every row gets a key whose unsigned order is the row order: rows with different keys are in
// key order, rows with equal keys are equal (numbers) or equal so far (texts). Reversing
// complements every key, which reverses the order of different keys and keeps equal keys equal.
//
// A stable sort keeps equal rows in their old order, that is in the order of their old row
// indices. So the stable order is exactly the order by (key, old row index): the sorts below
// either keep equal keys in index order (counting passes are stable) or compare the index last.

uint32_t Int32Key(int32_t value) {
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

/// Stable LSD radix sort of the items by the bytes [firstByte, lastByte] of their 64-bit key,
/// eight bits at a time; a byte that is the same in every key costs no pass.
template <typename T, typename KeyOf>
void RadixSortByKeyBytes(std::vector<T>& items, KeyOf keyOf, unsigned firstByte,
                         unsigned lastByte) {
    const size_t count = items.size();
    if (count < 2) {
        return;
    }
    std::vector<std::array<uint32_t, 256>> counts(lastByte - firstByte + 1);
    for (const T& item : items) {
        const uint64_t key = keyOf(item);
        for (unsigned b = firstByte; b <= lastByte; ++b) {
            ++counts[b - firstByte][(key >> (8 * b)) & 0xFF];
        }
    }
    std::vector<T> scratch(count);
    for (unsigned b = firstByte; b <= lastByte; ++b) {
        auto& bucket = counts[b - firstByte];
        if (bucket[(keyOf(items[0]) >> (8 * b)) & 0xFF] == count) {
            continue;
        }
        uint32_t start = 0;
        for (auto& c : bucket) {
            start += std::exchange(c, start);
        }
        for (const T& item : items) {
            scratch[bucket[(keyOf(item) >> (8 * b)) & 0xFF]++] = item;
        }
        items.swap(scratch);
    }
}

std::vector<int> SortedInt32Order(const std::vector<cSongInfo*>& rows, int32_t cSongInfo::*field,
                                  bool reversed) {
    // Key in the high half, row index in the low half: one 8-byte item per row.
    const uint32_t keyFlip = reversed ? ~uint32_t{0} : 0;
    std::vector<uint64_t> items(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        PrefetchRecord(rows, i + kRecordPrefetchDistance);
        items[i] = uint64_t{Int32Key(rows[i]->*field) ^ keyFlip} << 32 | i;
    }
    RadixSortByKeyBytes(
        items, [](uint64_t item) { return item; }, 4, 7);
    std::vector<int> order(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        order[i] = static_cast<int>(items[i] & 0xFFFFFFFFu);
    }
    return order;
}

std::vector<int> SortedDateOrder(const std::vector<cSongInfo*>& rows, double cSongInfo::*field,
                                 bool reversed) {
    struct cDateItem {
        uint64_t Key;
        uint64_t Row;
    };
    const uint64_t keyFlip = reversed ? ~uint64_t{0} : 0;
    std::vector<cDateItem> items(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        PrefetchRecord(rows, i + kRecordPrefetchDistance);
        items[i] = {DateKey(rows[i]->*field) ^ keyFlip, i};
    }
    RadixSortByKeyBytes(
        items, [](const cDateItem& item) { return item.Key; }, 0, 7);
    std::vector<int> order(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        order[i] = static_cast<int>(items[i].Row);
    }
    return order;
}

// ---- Texts ---------------------------------------------------------------------------------
//
// A text key holds seven folded bytes of the text from some offset on, zero-padded, in its
// high bytes, and in its low byte the count of bytes from the offset on, up to eight. The count
// tells a text that ends within the key (and where: a text before a longer one it begins) from
// a text that goes on; rows whose keys are equal and go on are ordered by the next seven bytes.

constexpr size_t kKeyBytes = 7;
constexpr uint64_t kTextGoesOn = kKeyBytes + 1;
/// KeyBytes of a range whose rows have no key for its offset yet.
constexpr int kNeedsKey = -1;
/// Ranges of at most this many rows are put in order by comparisons, not by counting passes.
constexpr size_t kComparisonLimit = 64;

uint64_t TextKey(const unsigned char* text, size_t length, size_t offset) {
    const size_t rest = length - offset;
    const size_t take = std::min(rest, kKeyBytes);
    uint64_t key = 0;
    for (size_t i = 0; i < take; ++i) {
        key |= static_cast<uint64_t>(kFold[text[offset + i]]) << (8 * (kKeyBytes - i));
    }
    return key | std::min<uint64_t>(rest, kTextGoesOn);
}

/// One row of a text sort. NextKey is the key of the seven bytes after Key's, computed while
/// the text is at hand, so the first level of rows that share a key needs no second look at
/// their texts.
struct cTextEntry {
    uint64_t Key;
    uint64_t NextKey;
    const unsigned char* Text;
    uint32_t Length;
    uint32_t Row;
};

/// Folded comparison of the two entries' texts from the offset on.
int CompareTextsFrom(const cTextEntry& a, const cTextEntry& b, size_t offset) {
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
    return ThreeWay(lengthA, lengthB);
}

/// Number of leading bytes, at most limit, in which the two texts agree once folded.
size_t CommonFoldedPrefix(std::string_view a, std::string_view b, size_t limit) {
    limit = std::min({limit, a.size(), b.size()});
    size_t i = 0;
    while (i < limit && Folded(a[i]) == Folded(b[i])) {
        ++i;
    }
    return i;
}

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

/// Key and NextKey of the entry's text from the offset on (offset <= length).
void SetTextKeys(cTextEntry& entry, size_t offset, uint64_t keyFlip) {
    entry.Key = TextKey(entry.Text, entry.Length, offset) ^ keyFlip;
    entry.NextKey = entry.Length - offset > kKeyBytes
                        ? TextKey(entry.Text, entry.Length, offset + kKeyBytes) ^ keyFlip
                        : 0;
}

/// A range of entries whose texts agree on their first Offset folded bytes, and whose keys
/// (for that offset) agree on their KeyBytes highest bytes; kNeedsKey: no key computed yet.
/// The range's entries lie in the scratch buffer when InScratch, else in the entries.
struct cTextRange {
    size_t First;
    size_t Count;
    size_t Offset;
    int KeyBytes;
    bool InScratch;
};

/// Puts a small range in order by comparisons: first by the keys already at hand for the
/// range's offset (Key and NextKey in that order, or NextKey alone, or none), then by the rest
/// of the texts, and last by the old row index, which stands for the stability.
void SortSmallTextRange(cTextEntry* first, const cTextRange& range, size_t keyOffset,
                        bool reversed) {
    std::array<uint64_t cTextEntry::*, 2> keys{};
    size_t keyCount = 0;
    if (range.KeyBytes != kNeedsKey) {
        keys[keyCount++] = &cTextEntry::Key;
        if (range.Offset == keyOffset) {
            keys[keyCount++] = &cTextEntry::NextKey;
        }
    } else if (range.Offset == keyOffset + kKeyBytes) {
        keys[keyCount++] = &cTextEntry::NextKey;
    }
    const uint64_t keyFlip = reversed ? ~uint64_t{0} : 0;
    std::sort(first, first + range.Count, [&](const cTextEntry& a, const cTextEntry& b) {
        size_t offset = range.Offset;
        for (size_t k = 0; k < keyCount; ++k) {
            const uint64_t keyA = a.*keys[k];
            const uint64_t keyB = b.*keys[k];
            if (keyA != keyB) {
                return keyA < keyB;
            }
            if (((keyA ^ keyFlip) & 0xFF) != kTextGoesOn) {
                return a.Row < b.Row; // equal keys of texts that end within them: equal texts
            }
            offset += kKeyBytes;
        }
        const int order = CompareTextsFrom(a, b, offset);
        if (order != 0) {
            return reversed ? order > 0 : order < 0;
        }
        return a.Row < b.Row;
    });
}

/// The text entries in order, given their keys at the offset: a most-significant-byte-first
/// counting sort over the keys, with new keys for the next seven bytes wherever rows share a
/// whole key and go on, and comparisons for small ranges. Counting passes are stable, so rows
/// with equal texts stay in old row order. A pass moves a range between the entries and a
/// scratch buffer of the same size; what is finished is copied home. The ranges still to do
/// wait on an explicit stack, so long shared beginnings cannot exhaust the call stack.
void SortTextEntries(std::vector<cTextEntry>& entries, size_t keyOffset, bool reversed) {
    const uint64_t keyFlip = reversed ? ~uint64_t{0} : 0;
    auto textGoesOn = [keyFlip](uint64_t key) { return ((key ^ keyFlip) & 0xFF) == kTextGoesOn; };
    std::vector<cTextEntry> scratch;
    auto bufferOf = [&](bool inScratch) { return inScratch ? scratch.data() : entries.data(); };
    auto finish = [&](const cTextRange& range) {
        if (range.InScratch) {
            std::copy_n(scratch.data() + range.First, range.Count, entries.data() + range.First);
        }
    };
    std::vector<cTextRange> pending{{0, entries.size(), keyOffset, 0, false}};
    std::array<uint32_t, 256> counts{};
    while (!pending.empty()) {
        cTextRange range = pending.back();
        pending.pop_back();
        cTextEntry* first = bufferOf(range.InScratch) + range.First;
        if (range.Count <= kComparisonLimit) {
            SortSmallTextRange(first, range, keyOffset, reversed);
            finish(range);
            continue;
        }
        if (range.KeyBytes == kNeedsKey) {
            const bool keyIsAtHand = range.Offset == keyOffset + kKeyBytes;
            bool allEqual = true;
            for (size_t i = 0; i < range.Count; ++i) {
                first[i].Key =
                    keyIsAtHand ? first[i].NextKey
                                : TextKey(first[i].Text, first[i].Length, range.Offset) ^ keyFlip;
                allEqual = allEqual && first[i].Key == first[0].Key;
            }
            if (allEqual) {
                if (textGoesOn(first[0].Key)) {
                    range.Offset += kKeyBytes;
                    pending.push_back(range);
                } else {
                    finish(range); // equal texts, already in old row order
                }
                continue;
            }
            range.KeyBytes = 0;
        }
        const int shift = 8 * (7 - range.KeyBytes);
        auto digit = [shift](const cTextEntry& entry) { return (entry.Key >> shift) & 0xFF; };
        counts.fill(0);
        for (size_t i = 0; i < range.Count; ++i) {
            ++counts[digit(first[i])];
        }
        if (counts[digit(first[0])] != range.Count) {
            std::array<uint32_t, 256> next{};
            uint32_t start = static_cast<uint32_t>(range.First);
            for (size_t d = 0; d < 256; ++d) {
                next[d] = start;
                start += counts[d];
            }
            if (scratch.empty()) {
                scratch.resize(entries.size());
            }
            cTextEntry* target = bufferOf(!range.InScratch);
            for (size_t i = 0; i < range.Count; ++i) {
                target[next[digit(first[i])]++] = first[i];
            }
            range.InScratch = !range.InScratch;
        }
        // Each run of one byte value is a range of its own, one byte further down the key.
        size_t runFirst = range.First;
        for (const uint32_t runCount : counts) {
            cTextRange run{runFirst, runCount, range.Offset, range.KeyBytes + 1, range.InScratch};
            runFirst += runCount;
            if (runCount == 0) {
                continue;
            }
            if (run.KeyBytes == 8) {
                if (runCount == 1 || !textGoesOn(bufferOf(run.InScratch)[run.First].Key)) {
                    finish(run); // equal texts, kept in old row order by the stable passes
                    continue;
                }
                run.Offset += kKeyBytes;
                run.KeyBytes = kNeedsKey;
            } else if (runCount == 1) {
                finish(run);
                continue;
            }
            pending.push_back(run);
        }
    }
}

std::vector<int> SortedTextOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                 bool reversed) {
    const size_t count = rows.size();
    std::vector<int> order(count);
    if (count == 0) {
        return order;
    }
    // Built texts (several group names joined) live here while the sort runs; a deque never
    // moves its strings.
    std::deque<std::string> built;
    std::string storage;
    auto textOf = [&](const cSongInfo& song) -> std::string_view {
        const std::string_view text = SortText(column, song, storage);
        if (text.empty() || text.data() != storage.data()) {
            return text; // the record's own bytes
        }
        const std::string_view kept = built.emplace_back(std::move(storage));
        storage.clear();
        return kept;
    };
    const uint64_t keyFlip = reversed ? ~uint64_t{0} : 0;

    // Texts often share a long beginning (the music folder of every path); keys start after
    // it. A sample of rows gives a first guess; the rows that disagree earlier correct it.
    const std::string_view firstText = textOf(*rows[0]);
    size_t guess = firstText.size();
    constexpr size_t kSamples = 64;
    for (size_t s = 1; s < kSamples && guess > 0; ++s) {
        guess =
            CommonFoldedPrefix(firstText, textOf(*rows[s * (count - 1) / (kSamples - 1)]), guess);
    }
    size_t shared = guess;
    std::vector<cTextEntry> entries(count);
    constexpr size_t kTextPrefetchDistance = kRecordPrefetchDistance / 2;
    for (size_t i = 0; i < count; ++i) {
        // Two steps ahead: the song record, then (once it is at hand) its text.
        PrefetchRecord(rows, i + kRecordPrefetchDistance);
        if (i + kTextPrefetchDistance < count) {
            __builtin_prefetch(SortTextAddress(column, *rows[i + kTextPrefetchDistance]));
        }
        const std::string_view text = textOf(*rows[i]);
        cTextEntry& entry = entries[i];
        entry = {0, 0, Bytes(text), static_cast<uint32_t>(text.size()), static_cast<uint32_t>(i)};
        const size_t agreement = CommonFoldedPrefix(firstText, text, guess);
        if (agreement == guess) {
            SetTextKeys(entry, guess, keyFlip);
        }
        shared = std::min(shared, agreement);
    }
    if (shared < guess) {
        for (cTextEntry& entry : entries) {
            SetTextKeys(entry, shared, keyFlip);
        }
    }
    SortTextEntries(entries, shared, reversed);
    for (size_t i = 0; i < count; ++i) {
        order[i] = static_cast<int>(entries[i].Row);
    }
    return order;
}

/// Date and Int32 columns by their values; no order for a text column.
int CompareNumbers(const cSongInfo& a, const cSongInfo& b, const cSongColumnInfo& info) {
    switch (info.Kind) {
    case eColumnKind::Text:
        return 0;
    case eColumnKind::Date:
        return CompareSongDates(a.*info.Date, b.*info.Date);
    case eColumnKind::Int32:
        break;
    }
    return ThreeWay(a.*info.Int32, b.*info.Int32);
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
    return ThreeWay(a.size(), b.size());
}

int CompareSongDates(double a, double b) {
    const bool aIsNumber = !std::isnan(a);
    const bool bIsNumber = !std::isnan(b);
    if (!aIsNumber || !bIsNumber) {
        return ThreeWay(aIsNumber, bIsNumber); // what is not a number comes first
    }
    return ThreeWay(a, b);
}

int CompareSongs(const cSongInfo& a, const cSongInfo& b, eSongColumn column, bool reversed) {
    int order = 0;
    if (IsTextColumn(column)) {
        std::string storageA;
        std::string storageB;
        order = CompareSongTexts(SortText(column, a, storageA), SortText(column, b, storageB));
    } else if (column != eSongColumn::Unknown) {
        order = CompareNumbers(a, b, ColumnInfo(column));
    }
    return reversed ? -order : order;
}

std::vector<int> SortedRowOrder(const std::vector<cSongInfo*>& rows, eSongColumn column,
                                bool reversed) {
    if (column == eSongColumn::Unknown) {
        std::vector<int> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = static_cast<int>(i);
        }
        return order;
    }
    const cSongColumnInfo& info = ColumnInfo(column);
    switch (info.Kind) {
    case eColumnKind::Text:
        return SortedTextOrder(rows, column, reversed);
    case eColumnKind::Date:
        return SortedDateOrder(rows, info.Date, reversed);
    case eColumnKind::Int32:
        break;
    }
    return SortedInt32Order(rows, info.Int32, reversed);
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
    MoveItem(rows, index, target);
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
