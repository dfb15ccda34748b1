#include "browser/unitStatusTexts.h"

#include <algorithm>

#include "browser/unitSongColumns.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitUtils.h"

namespace {

/// Records lie wherever they were allocated, so a walk over many rows is a chain of cache
/// misses; asking for records a few rows ahead lets them overlap.
constexpr size_t kPrefetchDistance = 16;

int64_t SumOfSizes(const std::vector<cSongInfo*>& songs, size_t first, size_t end) {
    int64_t bytes = 0;
    for (size_t i = first; i < end; ++i) {
        if (i + kPrefetchDistance < end) {
            __builtin_prefetch(songs[i + kPrefetchDistance]);
        }
        if (const cSongInfo* song = songs[i]) {
            bytes += song->Size;
        }
    }
    return bytes;
}

} // namespace

std::string_view PluralUnlessOne(int64_t count) {
    return count == 1 ? "" : "s";
}

std::string SelectedFolderCaption(std::string_view selectedFolderPath) {
    return "Viewing music folder " + StripTrailingBackslash(selectedFolderPath);
}

std::string FolderContentsCaption(int songCount, int groupCount) {
    std::string text = "Displaying " + std::to_string(songCount) + " song";
    text += PluralUnlessOne(songCount);
    text += ", divided into " + std::to_string(groupCount) + " group";
    text += PluralUnlessOne(groupCount);
    return text;
}

std::string FolderTreeAddedText(int64_t songsAdded, int64_t foldersScanned,
                                bool hintSubfolders) {
    std::string text = std::to_string(songsAdded) + " song";
    text += PluralUnlessOne(songsAdded);
    text += " added from " + std::to_string(foldersScanned) + " folder";
    text += PluralUnlessOne(foldersScanned);
    if (hintSubfolders) {
        text += " (F6: show the subfolders too)";
    }
    return text;
}

bool OfferMostPopular(cSongInfo*& mostPopular, cSongInfo* song) {
    if (song == nullptr) {
        return false;
    }
    const bool qualifies =
        mostPopular == nullptr ? song->Views > 0 : song->Views > mostPopular->Views;
    if (qualifies) {
        mostPopular = song;
    }
    return qualifies;
}

cSongInfo* FindMostPopular(const std::vector<cSongInfo*>& songs) {
    cSongInfo* mostPopular = nullptr;
    for (cSongInfo* song : songs) {
        OfferMostPopular(mostPopular, song);
    }
    return mostPopular;
}

std::string MostPopularCaption(const cSongInfo* song) {
    if (song == nullptr) {
        return "(not yet determined)";
    }
    std::string text(FileNameWithoutExtension(song->FileName()));
    text += " (opened " + std::to_string(song->Views) + " time";
    text += song->Views > 1 ? "s)" : ")";
    return text;
}

cSongsTotal TotalOfSongs(const std::vector<cSongInfo*>& songs) {
    return {static_cast<int>(songs.size()), SumOfSizes(songs, 0, songs.size())};
}

cSongsTotal TotalOfRowRanges(const std::vector<cSongInfo*>& rows, std::vector<cRowRange> ranges) {
    const int rowCount = static_cast<int>(rows.size());
    // Clip to the rows, drop empty ranges, then merge in order so every row counts once.
    for (cRowRange& range : ranges) {
        range.First = std::max(range.First, 0);
        range.Last = std::min(range.Last, rowCount - 1);
    }
    std::erase_if(ranges, [](const cRowRange& range) { return range.First > range.Last; });
    std::sort(ranges.begin(), ranges.end(),
              [](const cRowRange& a, const cRowRange& b) { return a.First < b.First; });
    cSongsTotal total;
    int nextUncounted = 0;
    for (const cRowRange& range : ranges) {
        const int first = std::max(range.First, nextUncounted);
        if (first > range.Last) {
            continue;
        }
        total.Count += range.Last - first + 1;
        total.Bytes +=
            SumOfSizes(rows, static_cast<size_t>(first), static_cast<size_t>(range.Last) + 1);
        nextUncounted = range.Last + 1;
    }
    return total;
}

std::string StatusBarText(const cSongsTotal& selected, int rowCount, int64_t displayedBytes,
                          std::string_view decimalSeparator, std::string_view thousandsSeparator) {
    std::string text = " ";
    if (selected.Count > 0) {
        text += std::to_string(selected.Count) + " song";
        text += selected.Count > 1 ? "s" : "";
        text += " selected (" +
                FormatFileSize(selected.Bytes, decimalSeparator, thousandsSeparator) + "), ";
    }
    text += std::to_string(rowCount) + " files in total, ";
    text += FormatFileSize(displayedBytes, decimalSeparator, thousandsSeparator);
    return text;
}

std::string OfflineSongsCaption(int offlineCount) {
    if (offlineCount <= 0) {
        return {};
    }
    return std::to_string(offlineCount) + (offlineCount == 1 ? " song offline" : " songs offline");
}
