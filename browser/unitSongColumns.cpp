#include "browser/unitSongColumns.h"

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

std::string PlainCellText(eSongColumn column, const cSongInfo& song) {
    switch (column) {
    case eSongColumn::Path:
        return std::string(song.FileName());
    case eSongColumn::FileName:
        return std::string(FileNameWithoutExtension(song.FileName()));
    case eSongColumn::Title:
        return std::string(song.Title());
    case eSongColumn::Author:
        return std::string(song.Author());
    case eSongColumn::Album:
        return std::string(song.Album());
    case eSongColumn::Views:
        return std::to_string(song.Views);
    case eSongColumn::Groups:
        return JoinStrings(song.Groups, ",");
    case eSongColumn::Date:
    case eSongColumn::Size:
    case eSongColumn::Unknown:
        break;
    }
    return {};
}
