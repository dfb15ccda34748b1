#include "browser/unitSongColumns.h"

#include <algorithm>
#include <functional>

#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitUtils.h"

eSongColumn ColumnFromName(std::string_view name) {
    for (size_t i = 0; i < kColumnNames.size(); ++i) {
        if (kColumnNames[i] == name) {
            return static_cast<eSongColumn>(i);
        }
    }
    return eSongColumn::Unknown;
}

bool IsAutoSizedColumn(eSongColumn column) {
    return column == eSongColumn::Path || column == eSongColumn::FileName;
}

size_t CellFingerprint(eSongColumn column, const cSongInfo& song) {
    const auto text = [](std::string_view bytes) { return std::hash<std::string_view>{}(bytes); };
    switch (column) {
    case eSongColumn::Path:
        return text(song.FileName());
    case eSongColumn::FileName:
        return text(FileNameWithoutExtension(song.FileName()));
    case eSongColumn::Title:
        return text(song.Title());
    case eSongColumn::Author:
        return text(song.Author());
    case eSongColumn::Album:
        return text(song.Album());
    case eSongColumn::Date:
        return std::hash<double>{}(song.Date);
    case eSongColumn::Size:
        return std::hash<int32_t>{}(song.Size);
    case eSongColumn::Views:
        return std::hash<int32_t>{}(song.Views);
    case eSongColumn::Groups:
        // The texts joined by ",", as the cell shows them.
        return text(JoinStrings(song.Groups, ","));
    case eSongColumn::Unknown:
        break;
    }
    return 0;
}

std::vector<int> SharedColumnWidths(const std::vector<int>& widths,
                                    const std::vector<bool>& autoSized, int clientWidth,
                                    int minimumWidth) {
    std::vector<int> result = widths;
    int fixedWidth = 0;
    int sharers = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i < autoSized.size() && autoSized[i]) {
            ++sharers;
        } else {
            fixedWidth += widths[i];
        }
    }
    if (sharers == 0) {
        return result;
    }
    const int free = std::max(0, clientWidth - fixedWidth);
    const int share = free / sharers;
    int remainder = free % sharers;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (i < autoSized.size() && autoSized[i]) {
            result[i] = std::max(minimumWidth, share + remainder);
            remainder = 0;
        }
    }
    return result;
}
