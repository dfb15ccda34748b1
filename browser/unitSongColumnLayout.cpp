#include "browser/unitSongColumnLayout.h"

#include <QHeaderView>
#include <QLocale>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <algorithm>

#include "browser/unitBrowserState.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongRows.h"
#include "util/unitIniFile.h"
#include "util/unitListViewUtils.h"
#include "util/unitMessages.h"

namespace {

constexpr char kWidthsSection[] = "MainWindow.SongsList";
constexpr int kNewColumnWidth = 50;
/// The auto-sized columns never share out less than this, however narrow the list.
constexpr int kMinimumSharedWidth = 16;
/// The column that names the songs keeps room for this many characters, however narrow the
/// list: the others give way first, then the list scrolls sideways.
constexpr int kReadableCharacters = 18;

} // namespace

cSongColumnLayout::cSongColumnLayout(QTreeView& list, TSongRows& rows, cBrowserState& state,
                                     cIniFile& settings)
    : m_List(list), m_Rows(rows), m_State(state), m_Settings(settings) {
    QHeaderView* header = m_List.header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setDefaultSectionSize(kNewColumnWidth);
    // Stored widths are used as they are, however narrow; dragging stops at one pixel.
    header->setMinimumSectionSize(1);
    // A click on a header sorts; the headers carry no mark of the sort column or direction.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    m_FixedColumnDragged = QObject::connect(
        header, &QHeaderView::sectionResized, header, [this](int column, int, int) {
            // A fixed column dragged wider or narrower: the auto-sized ones follow.
            if (!m_SharingWidths && column < static_cast<int>(m_State.VisibleColumns.size()) &&
                !IsAutoSized(column)) {
                ShareAutoSizedColumnWidths();
            }
        });
}

cSongColumnLayout::~cSongColumnLayout() {
    // The header may report resizes while the view it belongs to is destroyed.
    QObject::disconnect(m_FixedColumnDragged);
}

bool cSongColumnLayout::IsAutoSized(int column) const {
    return column >= 0 && column < static_cast<int>(m_State.VisibleColumns.size()) &&
           IsAutoSizedColumn(ColumnFromName(m_State.VisibleColumns[static_cast<size_t>(column)]));
}

void cSongColumnLayout::BuildColumns() {
    m_List.setUpdatesEnabled(false);
    m_SharingWidths = true;
    TSongListModel& model = *m_Rows.Model();
    model.SetColumns(m_State.VisibleColumns);
    for (int column = 0; column < model.columnCount(); ++column) {
        m_List.header()->resizeSection(column, NewColumnWidth(column));
    }
    ReadColumnWidths(kWidthsSection, &m_List, m_Settings);
    // Widths saved in this run win: they are the newest, also where the file refused them.
    for (int column = 0; column < model.columnCount(); ++column) {
        const auto saved = m_SavedWidths.find(model.ColumnNames()[static_cast<size_t>(column)]);
        if (saved != m_SavedWidths.end()) {
            m_List.header()->resizeSection(column, saved->second);
        }
    }
    // A sort column no longer shown gives way to the first column, ascending.
    FollowVisibleColumns(m_State.SortOrder, m_State.VisibleColumns);
    m_SharingWidths = false;
    ShareAutoSizedColumnWidths();
    m_List.setUpdatesEnabled(true);
}

int cSongColumnLayout::NewColumnWidth(int column) const {
    // Wide enough for the caption and a typical cell, so a first start shows whole dates and
    // sizes; never narrower than a new column's 50 pixels.
    const QHeaderView* header = m_List.header();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.text = m_Rows.Model()->headerData(column, Qt::Horizontal).toString();
    option.section = column;
    const int captionWidth =
        header->style()
            ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header)
            .width();

    const QFontMetrics metrics(m_List.font());
    int sampleWidth = 0;
    const eSongColumn shown = ColumnFromName(m_State.VisibleColumns[static_cast<size_t>(column)]);
    if (shown != eSongColumn::Unknown) {
        const int characters = ColumnInfo(shown).SampleCharacters;
        sampleWidth =
            characters > 0
                ? metrics.averageCharWidth() * characters
                : metrics.horizontalAdvance(SongCellText(shown, WidthSampleSong(), QLocale()));
    }
    // The cell's text margins, and in the first column the icon in front of the text.
    const int margin =
        m_List.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_List) + 1;
    int cellWidth = sampleWidth + 2 * margin + 2;
    if (column == 0) {
        cellWidth += m_List.iconSize().width() + 2 * margin;
    }
    return std::max({kNewColumnWidth, captionWidth, cellWidth});
}

void cSongColumnLayout::ShowColumns(std::vector<std::string> names) {
    SaveColumnWidths();
    m_State.VisibleColumns = std::move(names);
    // The rows are filled anew below: new columns over the old rows would cost a pass over
    // every song for nothing.
    m_Rows.Clear();
    BuildColumns();
    m_Rows.Fill();
}

void cSongColumnLayout::SaveColumnWidths() {
    for (const cColumnWidth& column : ColumnWidths()) {
        m_SavedWidths[column.Caption] = column.Width;
    }
    try {
        WriteColumnWidths(kWidthsSection, &m_List, m_Settings);
    } catch (const EFileError& error) {
        ShowErrorMessage("The column widths could not be saved: ", error.what());
    }
}

std::vector<cColumnWidth> cSongColumnLayout::ColumnWidths() const {
    std::vector<cColumnWidth> widths;
    const std::vector<std::string>& captions = m_Rows.Model()->ColumnNames();
    for (size_t column = 0; column < captions.size(); ++column) {
        widths.push_back(
            {captions[column], m_List.header()->sectionSize(static_cast<int>(column))});
    }
    return widths;
}

void cSongColumnLayout::ShareAutoSizedColumnWidths() {
    QHeaderView* header = m_List.header();
    const int count = header->count();
    std::vector<int> widths(static_cast<size_t>(count));
    std::vector<bool> autoSized(static_cast<size_t>(count));
    bool anyAutoSized = false;
    for (int column = 0; column < count; ++column) {
        widths[column] = header->sectionSize(column);
        autoSized[column] = IsAutoSized(column);
        anyAutoSized = anyAutoSized || autoSized[column];
    }
    if (!anyAutoSized) {
        return;
    }
    const std::vector<int> shared = SharedColumnWidths(
        widths, autoSized, m_List.viewport()->width(), MinimumSharedWidths(autoSized));
    m_SharingWidths = true;
    for (int column = 0; column < count; ++column) {
        if (shared[column] != widths[column]) {
            header->resizeSection(column, shared[column]);
        }
    }
    m_SharingWidths = false;
}

int cSongColumnLayout::ReadableColumnWidth() const {
    const QFontMetrics metrics(m_List.font());
    const int margin =
        m_List.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_List) + 1;
    return metrics.averageCharWidth() * kReadableCharacters + m_List.iconSize().width() +
           4 * margin + 2;
}

std::vector<int> cSongColumnLayout::MinimumSharedWidths(const std::vector<bool>& autoSized) const {
    std::vector<int> minimums(autoSized.size(), kMinimumSharedWidth);
    // FileName names the song; without it the Path column does.
    auto readable = std::find(m_State.VisibleColumns.begin(), m_State.VisibleColumns.end(),
                              std::string(ColumnInfo(eSongColumn::FileName).Name));
    if (readable == m_State.VisibleColumns.end()) {
        readable = std::find(m_State.VisibleColumns.begin(), m_State.VisibleColumns.end(),
                             std::string(ColumnInfo(eSongColumn::Path).Name));
    }
    const auto column = static_cast<size_t>(readable - m_State.VisibleColumns.begin());
    if (column < autoSized.size() && autoSized[column]) {
        minimums[column] = ReadableColumnWidth();
    }
    return minimums;
}
