#include "browser/unitSongColumns.h"

#include <algorithm>
#include <functional>

namespace {

/// The date and size of the width sample: a date with wide digits in every part (2028-12-28
/// 20:58:58) and a size of a few hundred megabytes.
constexpr double kSampleDate = 47115.0 + (20 * 3600 + 58 * 60 + 58) / 86400.0;
constexpr int32_t kSampleSize = 999'999'999;

} // namespace

eSongColumn ColumnFromName(std::string_view name) {
    for (const cSongColumnInfo& info : kSongColumns) {
        if (info.Name == name) {
            return info.Column;
        }
    }
    return eSongColumn::Unknown;
}

bool IsAutoSizedColumn(eSongColumn column) {
    return column != eSongColumn::Unknown && ColumnInfo(column).AutoSized;
}

const cSongInfo& WidthSampleSong() {
    static const cSongInfo sample = [] {
        cSongInfo song;
        song.Date = kSampleDate;
        song.Size = kSampleSize;
        song.Views = 9999;
        song.Groups = {"Favourites"};
        return song;
    }();
    return sample;
}

size_t CellFingerprint(eSongColumn column, const cSongInfo& song) {
    if (column == eSongColumn::Unknown) {
        return 0;
    }
    const cSongColumnInfo& info = ColumnInfo(column);
    switch (info.Kind) {
    case eColumnKind::Text: {
        // The text as the cell shows it (Groups joined by ",").
        std::string storage;
        return std::hash<std::string_view>{}(info.Text(song, storage));
    }
    case eColumnKind::Date:
        return std::hash<double>{}(song.*info.Date);
    case eColumnKind::Int32:
        break;
    }
    return std::hash<int32_t>{}(song.*info.Int32);
}

std::vector<int> SharedColumnWidths(const std::vector<int>& widths,
                                    const std::vector<bool>& autoSized, int clientWidth,
                                    const std::vector<int>& minimumWidths) {
    std::vector<int> result = widths;
    std::vector<size_t> sharers;
    int free = clientWidth;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i < autoSized.size() && autoSized[i]) {
            sharers.push_back(i);
        } else {
            free -= widths[i];
        }
    }
    free = std::max(0, free);
    // A share below a column's minimum gives the column its minimum, out of what the others
    // share; the column with the largest minimum is settled first, until every share fits.
    auto minimumOf = [&](size_t column) {
        return column < minimumWidths.size() ? minimumWidths[column] : 0;
    };
    std::stable_sort(sharers.begin(), sharers.end(),
                     [&](size_t a, size_t b) { return minimumOf(a) > minimumOf(b); });
    while (!sharers.empty() &&
           free / static_cast<int>(sharers.size()) < minimumOf(sharers.front())) {
        result[sharers.front()] = minimumOf(sharers.front());
        free = std::max(0, free - minimumOf(sharers.front()));
        sharers.erase(sharers.begin());
    }
    std::sort(sharers.begin(), sharers.end());
    const int count = static_cast<int>(sharers.size());
    for (size_t k = 0; k < sharers.size(); ++k) {
        result[sharers[k]] = free / count + (k == 0 ? free % count : 0);
    }
    return result;
}
