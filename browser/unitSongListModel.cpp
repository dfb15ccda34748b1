#include "browser/unitSongListModel.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <utility>

#include "browser/unitSongSorting.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitGuiText.h"
#include "util/unitUtils.h"

namespace {

/// Up to this many blocks of rows are removed block by block; beyond, the views take one reset.
constexpr size_t kMaxBlockRemovals = 16;
constexpr qint64 kMillisecondsPerDay = 24LL * 60 * 60 * 1000;

QString SizeText(int32_t size, const QLocale& locale) {
    return QString::fromStdString(FormatFileSize(size, locale.decimalPoint().toStdString(),
                                                 locale.groupSeparator().toStdString()));
}

} // namespace

QString TimeFormatWithoutZone(const QString& format) {
    // "t", "tt", "ttt", "tttt" are the zone; drop them with the blanks before them.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    return format.trimmed().remove(zone).trimmed();
}

QString SongDateText(double date, const QLocale& locale) {
    if (!std::isfinite(date)) {
        return {};
    }
    const double whole = std::floor(date);
    qint64 milliseconds = std::llround((date - whole) * static_cast<double>(kMillisecondsPerDay));
    qint64 days = static_cast<qint64>(whole);
    if (milliseconds >= kMillisecondsPerDay) {
        ++days;
        milliseconds -= kMillisecondsPerDay;
    }
    const QDate day = QDate(1899, 12, 30).addDays(days);
    const QString dayText = locale.toString(day, QLocale::ShortFormat);
    const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(milliseconds));
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) {
        return dayText;
    }
    const QString timeFormat = TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
    return dayText + QLatin1Char(' ') + locale.toString(time, timeFormat);
}

QString SongCellText(eSongColumn column, const cSongInfo& song, const QLocale& locale) {
    if (column == eSongColumn::Unknown) {
        return {};
    }
    const cSongColumnInfo& info = ColumnInfo(column);
    std::string storage;
    switch (info.Format) {
    case eCellFormat::PathText:
        return PathToQString(info.Text(song, storage));
    case eCellFormat::TagText:
        return TextToQString(info.Text(song, storage));
    case eCellFormat::DateTime:
        return SongDateText(song.*info.Date, locale);
    case eCellFormat::FileSize:
        return SizeText(song.*info.Int32, locale);
    case eCellFormat::Decimal:
        break;
    }
    return QString::number(song.*info.Int32);
}

TSongListModel::TSongListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TSongListModel::SetColumns(const std::vector<std::string>& names) {
    beginResetModel();
    m_ColumnNames = names;
    m_Columns.clear();
    for (const std::string& name : names) {
        m_Columns.push_back(ColumnFromName(name));
    }
    FingerprintCaptions();
    endResetModel();
}

void TSongListModel::SetSongs(std::vector<cSongInfo*> songs) {
    beginResetModel();
    m_Songs = std::move(songs);
    FingerprintCaptions();
    endResetModel();
}

void TSongListModel::SetSongs(const std::vector<cSongInfo*>& songs, const std::vector<int>& order) {
    if (order.size() != songs.size()) {
        return;
    }
    std::vector<size_t> captions(songs.size());
    for (size_t i = 0; i < songs.size(); ++i) {
        captions[i] = CaptionOf(songs[i]);
    }
    beginResetModel();
    m_Songs.resize(songs.size());
    m_Captions.resize(songs.size());
    for (size_t row = 0; row < order.size(); ++row) {
        const auto from = static_cast<size_t>(order[row]);
        m_Songs[row] = songs[from];
        m_Captions[row] = captions[from];
    }
    endResetModel();
}

void TSongListModel::AppendSong(cSongInfo* song) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_Songs.push_back(song);
    m_Captions.push_back(CaptionOf(song));
    endInsertRows();
}

cSongInfo* TSongListModel::Song(int row) const {
    if (row < 0 || row >= static_cast<int>(m_Songs.size())) {
        return nullptr;
    }
    return m_Songs[static_cast<size_t>(row)];
}

int TSongListModel::RowOfSong(const cSongInfo* song) const {
    for (size_t row = 0; row < m_Songs.size(); ++row) {
        if (m_Songs[row] == song) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

void TSongListModel::SetRowOrder(const std::vector<int>& newOrder) {
    if (newOrder.size() != m_Songs.size()) {
        return;
    }
    bool unchanged = true;
    for (size_t row = 0; row < newOrder.size() && unchanged; ++row) {
        unchanged = newOrder[row] == static_cast<int>(row);
    }
    if (unchanged) {
        // A list that was in order already: the views keep their layout.
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOfOld(newOrder.size());
    std::vector<cSongInfo*> songs(m_Songs.size());
    std::vector<size_t> captions(m_Captions.size());
    for (size_t row = 0; row < newOrder.size(); ++row) {
        const auto old = static_cast<size_t>(newOrder[row]);
        songs[row] = m_Songs[old];
        captions[row] = m_Captions[old];
        newRowOfOld[old] = static_cast<int>(row);
    }
    m_Songs = std::move(songs);
    m_Captions = std::move(captions);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& index : persistent) {
        moved.append(createIndex(newRowOfOld[static_cast<size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TSongListModel::MoveRow(int from, int to) {
    const int rows = rowCount();
    if (from == to || from < 0 || from >= rows || to < 0 || to >= rows) {
        return;
    }
    // The destination is counted in the rows before the move: below `from` it is the row the
    // moved one is put in front of, one further than `to`.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    MoveItem(m_Songs, from, to);
    MoveItem(m_Captions, from, to);
    endMoveRows();
}

bool TSongListModel::RefreshRow(int row) {
    if (row < 0 || row >= rowCount() || m_Columns.empty()) {
        return false;
    }
    const auto at = static_cast<size_t>(row);
    const size_t caption = CaptionOf(m_Songs[at]);
    const bool captionChanged = caption != std::exchange(m_Captions[at], caption);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return captionChanged;
}

size_t TSongListModel::CaptionOf(const cSongInfo* song) const {
    return m_Columns.empty() || song == nullptr ? 0 : CellFingerprint(m_Columns.front(), *song);
}

void TSongListModel::FingerprintCaptions() {
    m_Captions.resize(m_Songs.size());
    for (size_t row = 0; row < m_Songs.size(); ++row) {
        m_Captions[row] = CaptionOf(m_Songs[row]);
    }
}

void TSongListModel::RemoveRow(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    beginRemoveRows({}, row, row);
    m_Songs.erase(m_Songs.begin() + row);
    m_Captions.erase(m_Captions.begin() + row);
    endRemoveRows();
}

void TSongListModel::RemoveRows(const std::vector<int>& rows) {
    // Blocks of consecutive rows, from the bottom up so the rows above keep their numbers.
    std::vector<std::pair<int, int>> blocks;
    for (const int row : rows) {
        if (row < 0 || row >= rowCount()) {
            continue;
        }
        if (!blocks.empty() && blocks.back().second + 1 == row) {
            blocks.back().second = row;
        } else {
            blocks.emplace_back(row, row);
        }
    }
    if (blocks.size() <= kMaxBlockRemovals) {
        for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
            beginRemoveRows({}, block->first, block->second);
            m_Songs.erase(m_Songs.begin() + block->first, m_Songs.begin() + block->second + 1);
            m_Captions.erase(m_Captions.begin() + block->first,
                             m_Captions.begin() + block->second + 1);
            endRemoveRows();
        }
        return;
    }
    beginResetModel();
    std::vector<char> removed(m_Songs.size(), 0);
    for (const auto& [first, last] : blocks) {
        std::fill(removed.begin() + first, removed.begin() + last + 1, 1);
    }
    size_t kept = 0;
    for (size_t row = 0; row < m_Songs.size(); ++row) {
        if (!removed[row]) {
            m_Songs[kept] = m_Songs[row];
            m_Captions[kept] = m_Captions[row];
            ++kept;
        }
    }
    m_Songs.resize(kept);
    m_Captions.resize(kept);
    endResetModel();
}

int TSongListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_Songs.size());
}

int TSongListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_Columns.size());
}

QVariant TSongListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const cSongInfo& song = *m_Songs[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return SongCellText(m_Columns[static_cast<size_t>(index.column())], song, m_Locale);
    case Qt::DecorationRole:
        if (index.column() == 0) {
            return m_Icons.IconFor(song.FileName());
        }
        return {};
    case kSongRole:
        return QVariant::fromValue(static_cast<void*>(m_Songs[static_cast<size_t>(index.row())]));
    default:
        return {};
    }
}

QVariant TSongListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return QString::fromStdString(m_ColumnNames[static_cast<size_t>(section)]);
}

Qt::ItemFlags TSongListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    // Songs can be dragged out (the pane starts the drag); the caption of the first column is
    // edited in place by a rename.
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
                                Qt::ItemNeverHasChildren;
    return index.column() == 0 ? flags | Qt::ItemIsEditable : flags;
}
