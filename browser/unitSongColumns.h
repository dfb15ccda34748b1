#pragma once
// The nine columns of the song list in one table: for each its name (also its caption and its
// keys in Options.ini), the kind of value it shows and how a cell shows it, which value of the
// song that is, whether it shares the list's free width, and what gives a new column its width.
// Every use of a column (a cell's text and fingerprint, the sort and the comparison, the width
// of a new column) reads the table: a new column is one enumerator and one row here, and the
// compiler then names every switch over a kind or a format that needs more.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitUtils.h"

/// The columns in the order of the table; Unknown stands for a name that is none of them.
enum class eSongColumn { Path, FileName, Title, Author, Album, Date, Size, Views, Groups, Unknown };

/// What a column's cells hold, which decides how they compare.
enum class eColumnKind {
    Text,  ///< bytes, compared with only a-z folded to A-Z
    Date,  ///< a date-time (days since 30 December 1899, local time)
    Int32, ///< a signed 32-bit number
};

/// How a cell shows its value.
enum class eCellFormat {
    PathText, ///< Text: a file-system path's bytes (local 8-bit)
    TagText,  ///< Text: tag and group texts (UTF-8, else Latin-1)
    DateTime, ///< Date: the locale's short date and long time, the time left out at midnight
    FileSize, ///< Int32: FormatFileSize with the locale's separators
    Decimal,  ///< Int32: the number in decimal
};

/// The text a Text column shows of the song: the record's own bytes, or a text built in the
/// storage, which the caller keeps while it uses the answer. Only a built text touches the
/// storage.
using cColumnText = std::string_view (*)(const cSongInfo& song, std::string& storage);

/// One column of the table.
struct cSongColumnInfo {
    eSongColumn Column;
    std::string_view Name;
    eColumnKind Kind;
    eCellFormat Format;
    /// The song's value the column shows, by kind: Text columns read Text, Date columns Date,
    /// Int32 columns Int32.
    cColumnText Text = nullptr;
    double cSongInfo::*Date = nullptr;
    int32_t cSongInfo::*Int32 = nullptr;
    /// Auto-sized columns share the free width of the list; the others keep their own widths.
    bool AutoSized = false;
    /// The width of a new column: this many average characters, or with 0 the width of the
    /// column's cell of WidthSampleSong.
    int SampleCharacters = 0;
};

inline constexpr std::array<cSongColumnInfo, 9> kSongColumns = {{
    {.Column = eSongColumn::Path,
     .Name = "Path",
     .Kind = eColumnKind::Text,
     .Format = eCellFormat::PathText,
     .Text = [](const cSongInfo& song, std::string&) { return song.FileName(); },
     .AutoSized = true,
     .SampleCharacters = 24},
    {.Column = eSongColumn::FileName,
     .Name = "FileName",
     .Kind = eColumnKind::Text,
     .Format = eCellFormat::PathText,
     .Text = [](const cSongInfo& song,
                std::string&) { return FileNameWithoutExtension(song.FileName()); },
     .AutoSized = true,
     .SampleCharacters = 24},
    {.Column = eSongColumn::Title,
     .Name = "Title",
     .Kind = eColumnKind::Text,
     .Format = eCellFormat::TagText,
     .Text = [](const cSongInfo& song, std::string&) { return song.Title(); },
     .SampleCharacters = 24},
    {.Column = eSongColumn::Author,
     .Name = "Author",
     .Kind = eColumnKind::Text,
     .Format = eCellFormat::TagText,
     .Text = [](const cSongInfo& song, std::string&) { return song.Author(); },
     .SampleCharacters = 16},
    {.Column = eSongColumn::Album,
     .Name = "Album",
     .Kind = eColumnKind::Text,
     .Format = eCellFormat::TagText,
     .Text = [](const cSongInfo& song, std::string&) { return song.Album(); },
     .SampleCharacters = 16},
    {.Column = eSongColumn::Date,
     .Name = "Date",
     .Kind = eColumnKind::Date,
     .Format = eCellFormat::DateTime,
     .Date = &cSongInfo::Date},
    {.Column = eSongColumn::Size,
     .Name = "Size",
     .Kind = eColumnKind::Int32,
     .Format = eCellFormat::FileSize,
     .Int32 = &cSongInfo::Size},
    {.Column = eSongColumn::Views,
     .Name = "Views",
     .Kind = eColumnKind::Int32,
     .Format = eCellFormat::Decimal,
     .Int32 = &cSongInfo::Views},
    {.Column = eSongColumn::Groups,
     .Name = "Groups",
     .Kind = eColumnKind::Text,
     .Format = eCellFormat::TagText,
     // The names joined by ","; a single name is the record's own text.
     .Text = [](const cSongInfo& song, std::string& storage) -> std::string_view {
         if (song.Groups.size() == 1) {
             return song.Groups.front();
         }
         storage = JoinStrings(song.Groups, ",");
         return storage;
     }},
}};

/// The kind of value a cell format shows.
constexpr eColumnKind KindOfFormat(eCellFormat format) {
    switch (format) {
    case eCellFormat::PathText:
    case eCellFormat::TagText:
        return eColumnKind::Text;
    case eCellFormat::DateTime:
        return eColumnKind::Date;
    case eCellFormat::FileSize:
    case eCellFormat::Decimal:
        break;
    }
    return eColumnKind::Int32;
}

/// Whether the row reads the number value of its kind, and none for a Text column (which reads
/// Text: a function's address is no constant where null pointer checks are kept, so the
/// column tests check that one).
constexpr bool ReadsItsKind(const cSongColumnInfo& info) {
    const bool date = info.Date != nullptr;
    const bool int32 = info.Int32 != nullptr;
    switch (info.Kind) {
    case eColumnKind::Text:
        return !date && !int32;
    case eColumnKind::Date:
        return date && !int32;
    case eColumnKind::Int32:
        break;
    }
    return int32 && !date;
}

/// Every row of the table stands at its enumerator's place and reads what its kind shows.
constexpr bool IsSoundColumnTable() {
    for (size_t i = 0; i < kSongColumns.size(); ++i) {
        const cSongColumnInfo& info = kSongColumns[i];
        if (info.Column != static_cast<eSongColumn>(i) || info.Kind != KindOfFormat(info.Format) ||
            !ReadsItsKind(info)) {
            return false;
        }
    }
    return true;
}
static_assert(kSongColumns.size() == static_cast<size_t>(eSongColumn::Unknown),
              "one row per column of eSongColumn");
static_assert(IsSoundColumnTable(), "each row at its enumerator's place, reading its kind's value");

/// "Path", "FileName", "Title", "Author", "Album", "Date", "Size", "Views", "Groups": the names
/// of the table, in its order.
inline constexpr std::array<std::string_view, kSongColumns.size()> kColumnNames = [] {
    std::array<std::string_view, kSongColumns.size()> names{};
    for (size_t i = 0; i < names.size(); ++i) {
        names[i] = kSongColumns[i].Name;
    }
    return names;
}();

/// The row of a column of the table; Unknown has none.
constexpr const cSongColumnInfo& ColumnInfo(eSongColumn column) {
    return kSongColumns[static_cast<size_t>(column)];
}

/// The column a caption names, compared exactly (case-sensitive); Unknown for any other text.
eSongColumn ColumnFromName(std::string_view name);

/// Whether the column shares the free width of the list (never Unknown).
bool IsAutoSizedColumn(eSongColumn column);

/// The song whose cells give a new column its width where the table names no number of
/// characters: a date with wide digits in every part, a size of a few hundred megabytes, four
/// digits of views and a group name of ten letters.
const cSongInfo& WidthSampleSong();

/// A number that stands for the cell's text: equal texts give equal numbers, and a change of
/// the text changes the number (but for a chance of one in 2^64). Date, Size and Views stand
/// by their values, so no locale format is needed; an Unknown column always gives 0.
size_t CellFingerprint(eSongColumn column, const cSongInfo& song);

/// Widths of the columns after the auto-sized ones shared the client width the others leave
/// free: each auto-sized column gets an equal share, the first one also the remainder of the
/// division. A column whose share would be narrower than its minimum width (by column; none
/// given is 0) keeps that minimum, and the other auto-sized columns share what is left, so in
/// a narrow list the column with the larger minimum keeps it while the others give way. The
/// other widths stay as they are.
std::vector<int> SharedColumnWidths(const std::vector<int>& widths,
                                    const std::vector<bool>& autoSized, int clientWidth,
                                    const std::vector<int>& minimumWidths);
