#pragma once
// The rows of the song list: one table model over the displayed songs, shown by the details
// view and the large-icon view alike. Cell texts and icons are computed when a view asks for
// them, so a fill of a million songs costs a copy of a million pointers, not a million rows of
// texts.

#include <QAbstractTableModel>
#include <QLocale>
#include <string>
#include <vector>

#include "browser/unitSongColumns.h"
#include "util/unitFileIcons.h"

class cSongInfo;

/// The text of one cell of the song list, by the column table: paths (Path, FileName) in the
/// local 8-bit encoding, tag and group texts as UTF-8 or Latin-1, Date in the locale's short
/// date and long time (without time zone; the time left out when it is exactly midnight), Size
/// by FormatFileSize with the locale's separators, Views in decimal, Groups joined by ",". An
/// Unknown column gives an empty text.
QString SongCellText(eSongColumn column, const cSongInfo& song, const QLocale& locale);

/// The Date column's text of a date-time (days since 30 December 1899, local time).
QString SongDateText(double date, const QLocale& locale);

/// The locale's long time format without its time-zone part ("h:mm:ss AP t" -> "h:mm:ss AP").
QString TimeFormatWithoutZone(const QString& format);

class TSongListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// The song of a row, for Qt::UserRole (a pointer as quintptr-free void*).
    static constexpr int kSongRole = Qt::UserRole;

    explicit TSongListModel(QObject* parent = nullptr);

    /// Replaces the columns with the named ones (names outside the column name table give
    /// columns with empty texts). Resets the model.
    void SetColumns(const std::vector<std::string>& names);
    const std::vector<std::string>& ColumnNames() const { return m_ColumnNames; }

    /// Replaces every row at once, in the given order. Borrowed pointers: the songs must
    /// outlive the rows (the master song list owns them).
    void SetSongs(std::vector<cSongInfo*> songs);
    /// Replaces every row at once: row i shows songs[order[i]] (order holds every index of
    /// songs once). The captions are read in the songs' own order, in which the records of a
    /// query result lie in memory; read in row order, a million rows cost a million cache misses.
    void SetSongs(const std::vector<cSongInfo*>& songs, const std::vector<int>& order);
    /// Appends one row for the song.
    void AppendSong(cSongInfo* song);
    /// Removes every row.
    void Clear() { SetSongs({}); }

    /// The song of a row; null outside the rows.
    cSongInfo* Song(int row) const;
    /// The row order, for reordering (SetRowOrder) and walks.
    const std::vector<cSongInfo*>& Songs() const { return m_Songs; }
    /// The first row showing the song, or -1.
    int RowOfSong(const cSongInfo* song) const;

    /// Puts the same songs in a new order; selection and current row move with their songs.
    /// newOrder[i] is the old row that becomes row i (a permutation of all rows). An order
    /// that leaves every row where it is changes nothing (no layout change is reported).
    void SetRowOrder(const std::vector<int>& newOrder);
    /// Moves the row at `from` so that it becomes row `to`; the rows between shift by one
    /// towards `from`. Selection and current row move with their songs. Indices outside the
    /// rows change nothing.
    void MoveRow(int from, int to);

    /// The row's texts changed in its song: the views repaint it. Answers whether the row's
    /// caption (its first column's text) changed since the row was filled or last refreshed.
    bool RefreshRow(int row);
    /// Removes one row (the song itself is not touched).
    void RemoveRow(int row);
    /// Removes the rows (ascending, no repeats; the songs are not touched). A few blocks of
    /// rows are removed block by block; many scattered rows in one reset of the model, which
    /// costs one pass over the rows rather than one per block.
    void RemoveRows(const std::vector<int>& rows);

    /// The first column's cells are editable (the rename edits them in place; the model itself
    /// never takes an edited text). Column captions come from the horizontal header data.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const cFileIconCache& IconCache() const { return m_Icons; }

private:
    size_t CaptionOf(const cSongInfo* song) const;
    void FingerprintCaptions();

    std::vector<std::string> m_ColumnNames;
    std::vector<eSongColumn> m_Columns;
    std::vector<cSongInfo*> m_Songs;
    /// Per row, in step with m_Songs: the fingerprint of the caption it was filled with.
    std::vector<size_t> m_Captions;
    QLocale m_Locale;
    mutable cFileIconCache m_Icons;
};
