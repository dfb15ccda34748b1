#include "browser/unitSongListPane.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDropEvent>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>
#include <functional>
#include <optional>
#include <unordered_set>
#include <utility>

#include "browser/unitApplication.h"
#include "browser/unitPlaylist.h"
#include "browser/unitSongListModel.h"
#include "browser/unitStatusTexts.h"
#include "browser/unitVisibleColumns.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitTagEditor.h"
#include "groups/unitGroupFiles.h"
#include "util/unitArt.h"
#include "util/unitDesktop.h"
#include "util/unitFileCopy.h"
#include "util/unitGuiText.h"
#include "util/unitIniFile.h"
#include "util/unitListViewUtils.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"

namespace {

constexpr char kWidthsSection[] = "MainWindow.SongsList";
constexpr int kNewColumnWidth = 50;
/// The auto-sized columns never share out less than this, however narrow the list.
constexpr int kMinimumSharedWidth = 16;
/// Cells that give a new Date or Size column its width: a date with wide digits in every part,
/// and a size of a few hundred megabytes.
constexpr double kSampleDate = 47115.0 + (20 * 3600 + 58 * 60 + 58) / 86400.0; // 2028-12-28
constexpr int64_t kSampleSize = 999'999'999;

const QColor kBandColour(0x52, 0x97, 0xF9);

/// The drag out of the list starts on this mouse move after the press.
constexpr int kDragStartMove = 4;

/// The song views take a press on a selected song as the possible start of a drag (the other
/// selected songs stay selected until the release), but never start a drag of their own: the
/// pane starts the song drag by its own gesture.
class TSongTreeView final : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void startDrag(Qt::DropActions) override {}
};

class TSongIconView final : public QListView {
public:
    using QListView::QListView;

protected:
    void startDrag(Qt::DropActions) override {}
};

void EnableSongDragAndDrop(QAbstractItemView* view) {
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->setDropIndicatorShown(false);
}

/// The selected rows of the list, carried by the pane across a new order of the rows.
///
/// Qt carries a selection across a layout change with one persistent index per selected row
/// (per selected cell for a row move), and every persistent index is then updated one by one:
/// a sort with 100,000 selected rows took a fifth of a second, a single row move half a second.
/// Instead the selection is taken as one mark per row and cleared before the rows move, the
/// marks are moved as the rows are, and the marked rows are selected again in one change.
/// The current (focused) row is one persistent index and moves with the model by itself.
class cSelectedRows {
public:
    explicit cSelectedRows(QItemSelectionModel* selection) : m_Selection(selection) {
        const QItemSelection ranges = selection->selection();
        if (ranges.isEmpty()) {
            return;
        }
        m_Marks.assign(static_cast<size_t>(selection->model()->rowCount()), 0);
        for (const QItemSelectionRange& range : ranges) {
            std::fill(m_Marks.begin() + range.top(), m_Marks.begin() + range.bottom() + 1, 1);
        }
        // Silently: the views paint every row anew after the new order anyway, and the one
        // change that selects the rows again reports the selection.
        const QSignalBlocker quiet(selection);
        selection->clearSelection();
    }

    /// The rows were put in the order newOrder (newOrder[i] is the old row now at row i).
    void Reorder(const std::vector<int>& newOrder) {
        if (m_Marks.empty() || newOrder.size() != m_Marks.size()) {
            return;
        }
        std::vector<char> reordered(m_Marks.size());
        for (size_t row = 0; row < newOrder.size(); ++row) {
            reordered[row] = m_Marks[static_cast<size_t>(newOrder[row])];
        }
        m_Marks.swap(reordered);
    }

    /// The row at `from` became row `to`, the rows between shifted by one.
    void MoveRow(int from, int to) {
        if (!m_Marks.empty()) {
            MoveItem(m_Marks, from, to);
        }
    }

    /// Selects the marked rows again, whole rows, in one change of the selection.
    void SelectAgain() {
        if (m_Marks.empty()) {
            return;
        }
        const QAbstractItemModel* model = m_Selection->model();
        const int lastColumn = std::max(0, model->columnCount() - 1);
        QItemSelection rows;
        const int count = static_cast<int>(m_Marks.size());
        for (int row = 0; row < count;) {
            if (!m_Marks[static_cast<size_t>(row)]) {
                ++row;
                continue;
            }
            const int top = row;
            while (row < count && m_Marks[static_cast<size_t>(row)]) {
                ++row;
            }
            rows.append(
                QItemSelectionRange(model->index(top, 0), model->index(row - 1, lastColumn)));
        }
        m_Selection->select(rows, QItemSelectionModel::Select);
        m_Marks.clear();
    }

private:
    QItemSelectionModel* m_Selection;
    std::vector<char> m_Marks; ///< per row: 1 selected; empty when nothing was selected
};

/// The in-place editor of a caption: a committed text goes to the pane's rename, never into
/// the model (the row shows the record, which follows the file only when the rename worked).
class cCaptionEditDelegate final : public QStyledItemDelegate {
public:
    using cCommit = std::function<void(const QModelIndex&, const QString&)>;
    cCaptionEditDelegate(cCommit commit, QObject* parent)
        : QStyledItemDelegate(parent), m_Commit(std::move(commit)) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        if (const auto* line = qobject_cast<const QLineEdit*>(editor)) {
            m_Commit(index, line->text());
        }
    }

private:
    cCommit m_Commit;
};

/// A batch of row changes for the length of a scope: the list sorts once at its end, also when
/// a command stops half way.
class cSongListBatch {
public:
    explicit cSongListBatch(TSongListPane& pane) : m_Pane(pane) { m_Pane.BeginSongListUpdate(); }
    ~cSongListBatch() { m_Pane.EndSongListUpdate(); }
    cSongListBatch(const cSongListBatch&) = delete;
    cSongListBatch& operator=(const cSongListBatch&) = delete;

private:
    TSongListPane& m_Pane;
};

/// The caption of the first column, as a rename needs it: Path, FileName, or neither.
std::optional<eRenameColumn> RenameColumnOf(const std::vector<std::string>& columnNames) {
    if (columnNames.empty()) {
        return std::nullopt;
    }
    switch (ColumnFromName(columnNames.front())) {
    case eSongColumn::Path:
        return eRenameColumn::kPath;
    case eSongColumn::FileName:
        return eRenameColumn::kFileName;
    default:
        return std::nullopt;
    }
}

} // namespace

TSongListPane::TSongListPane(cBrowserState& state, cIniFile& settings, cDesktop& desktop,
                             QWidget* parent)
    : QWidget(parent), m_State(state), m_Settings(settings), m_Desktop(desktop) {
    CreateControls();
    CreateMenu();
}

TSongListPane::~TSongListPane() {
    // The views outlive this object's own part while they are destroyed: nothing they report
    // from now on may reach it.
    for (QObject* sender :
         std::initializer_list<QObject*>{lstSongs->header(), lstSongs->selectionModel()}) {
        disconnect(sender, nullptr, this, nullptr);
    }
}

// ---- Controls ----------------------------------------------------------------------------

void TSongListPane::CreateControls() {
    setObjectName(QStringLiteral("ListPanel"));
    setMinimumWidth(1);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* greyBar = new QFrame(this);
    greyBar->setObjectName(QStringLiteral("pnlListEdge"));
    greyBar->setFixedWidth(3);
    greyBar->setAutoFillBackground(true);
    QPalette grey = greyBar->palette();
    grey.setColor(QPalette::Window, QColor(0xA8, 0xA8, 0xA8));
    greyBar->setPalette(grey);
    outer->addWidget(greyBar);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    pnlActiveGroup = new QLabel(this);
    pnlActiveGroup->setObjectName(QStringLiteral("pnlActiveGroup"));
    pnlActiveGroup->setFixedHeight(21);
    pnlActiveGroup->setAutoFillBackground(true);
    pnlActiveGroup->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont bandFont = QApplication::font();
    bandFont.setPointSizeF(10);
    bandFont.setBold(true);
    pnlActiveGroup->setFont(bandFont);
    QPalette band = pnlActiveGroup->palette();
    band.setColor(QPalette::Window, kBandColour);
    band.setColor(QPalette::WindowText, Qt::white);
    pnlActiveGroup->setPalette(band);
    auto* bandLayout = new QHBoxLayout(pnlActiveGroup);
    bandLayout->setContentsMargins(0, 0, 4, 0);
    bandLayout->addStretch(1);
    auto* bandPicture = new QLabel(pnlActiveGroup);
    bandPicture->setObjectName(QStringLiteral("imgActiveGroup"));
    bandPicture->setPixmap(FilterBandPixmap());
    bandLayout->addWidget(bandPicture);
    column->addWidget(pnlActiveGroup);

    m_Model = new TSongListModel(this);
    SongViews = new QStackedWidget(this);
    SongViews->setObjectName(QStringLiteral("SongViews"));

    lstSongs = new TSongTreeView(SongViews);
    lstSongs->setObjectName(QStringLiteral("lstSongs"));
    lstSongs->setModel(m_Model);
    lstSongs->setUniformRowHeights(true);
    lstSongs->setRootIsDecorated(false);
    lstSongs->setItemsExpandable(false);
    lstSongs->setAllColumnsShowFocus(true);
    lstSongs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstSongs->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstSongs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSongs->setFrameShape(QFrame::NoFrame);
    lstSongs->setIconSize(QSize(16, 16));
    lstSongs->setTextElideMode(Qt::ElideRight);
    lstSongs->header()->setStretchLastSection(false);
    lstSongs->header()->setSectionsMovable(false);
    lstSongs->header()->setDefaultSectionSize(kNewColumnWidth);
    // Stored widths are used as they are, however narrow; dragging stops at one pixel.
    lstSongs->header()->setMinimumSectionSize(1);
    // A click on a header sorts; the headers carry no mark of the sort column or direction.
    lstSongs->header()->setSectionsClickable(true);
    lstSongs->header()->setSortIndicatorShown(false);
    connect(lstSongs->header(), &QHeaderView::sectionClicked, this,
            &TSongListPane::lstSongsColumnClick);
    lstSongs->setContextMenuPolicy(Qt::CustomContextMenu);
    // Resizes of the list, and double clicks in either view style.
    lstSongs->viewport()->installEventFilter(this);
    KeepSelectionVisible(lstSongs);
    connect(lstSongs->header(), &QHeaderView::sectionResized, this, [this](int column, int, int) {
        // A fixed column dragged wider or narrower: the auto-sized ones follow.
        if (!m_SharingWidths && column < static_cast<int>(m_State.VisibleColumns.size()) &&
            !IsAutoSizedColumn(ColumnFromName(m_State.VisibleColumns[column]))) {
            ShareAutoSizedColumnWidths();
        }
    });

    lstSongsIcons = new TSongIconView(SongViews);
    lstSongsIcons->setObjectName(QStringLiteral("lstSongsIcons"));
    lstSongsIcons->setModel(m_Model);
    lstSongsIcons->setSelectionModel(lstSongs->selectionModel());
    lstSongsIcons->setViewMode(QListView::IconMode);
    lstSongsIcons->setMovement(QListView::Static);
    lstSongsIcons->setResizeMode(QListView::Adjust);
    lstSongsIcons->setFlow(QListView::LeftToRight);
    lstSongsIcons->setWrapping(true);
    lstSongsIcons->setIconSize(QSize(32, 32));
    lstSongsIcons->setGridSize(QSize(100, 72));
    lstSongsIcons->setUniformItemSizes(true);
    lstSongsIcons->setWordWrap(true);
    lstSongsIcons->setTextElideMode(Qt::ElideRight);
    lstSongsIcons->setLayoutMode(QListView::Batched);
    lstSongsIcons->setBatchSize(2000);
    lstSongsIcons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstSongsIcons->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstSongsIcons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSongsIcons->setFrameShape(QFrame::NoFrame);
    lstSongsIcons->setContextMenuPolicy(Qt::CustomContextMenu);
    KeepSelectionVisible(lstSongsIcons);
    // The keys, the drag out and the drops of the list, in both view styles.
    lstSongs->installEventFilter(this);
    lstSongsIcons->installEventFilter(this);
    lstSongsIcons->viewport()->installEventFilter(this);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lstSongs),
                                    static_cast<QAbstractItemView*>(lstSongsIcons)}) {
        EnableSongDragAndDrop(view);
        connect(view, &QAbstractItemView::pressed, this, [this] {
            if (m_PressedButton == Qt::LeftButton) {
                lstSongsMouseDown();
            }
        });
    }
    // Captions are edited in place only by the rename command; the edit goes to the rename.
    // One editor delegate per view: a shared one would close the other view's editors too.
    const auto rename = [this](const QModelIndex& index, const QString& text) {
        lstSongsEdited(index, text);
    };
    lstSongs->setItemDelegateForColumn(0, new cCaptionEditDelegate(rename, lstSongs));
    lstSongsIcons->setItemDelegate(new cCaptionEditDelegate(rename, lstSongsIcons));

    SongViews->addWidget(lstSongs);
    SongViews->addWidget(lstSongsIcons);
    column->addWidget(SongViews, 1);
    outer->addLayout(column, 1);

    connect(lstSongs->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TSongListPane::SelectionChanged);
}

QAction* TSongListPane::AddSongCommand(const char* name, const QString& caption,
                                       const QKeySequence& keys, void (TSongListPane::*command)()) {
    QAction* item = popSongsList->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    // The key is shown in the menu; the list's key handler carries it out.
    item->setShortcut(keys);
    item->setShortcutContext(Qt::WidgetShortcut);
    item->setEnabled(false); // nothing is selected yet
    connect(item, &QAction::triggered, this, command);
    return item;
}

void TSongListPane::CreateMenu() {
    popSongsList = new QMenu(this);
    popSongsList->setObjectName(QStringLiteral("popSongsList"));
    popSongsList_Open =
        AddSongCommand("popSongsList_Open", tr("&Open"), QKeySequence(Qt::Key_Enter),
                       &TSongListPane::popSongsList_OpenClick);
    popSongsList->setDefaultAction(popSongsList_Open);
    popSongsList->addSeparator()->setObjectName(QStringLiteral("N3"));
    popSongsList_Rename =
        AddSongCommand("popSongsList_Rename", tr("&Rename file"), QKeySequence(Qt::Key_F2),
                       &TSongListPane::popSongsList_RenameClick);
    popSongsList_EditTag =
        AddSongCommand("popSongsList_EditTag", tr("&Edit IDv3 tag"), QKeySequence(Qt::Key_F3),
                       &TSongListPane::popSongsList_EditTagClick);
    popSongsList_Delete = AddSongCommand("popSongsList_Delete", tr("&Delete"),
                                         QKeySequence(Qt::CTRL | Qt::Key_Delete),
                                         &TSongListPane::popSongsList_DeleteClick);
    popSongsList_Groups =
        AddSongCommand("popSongsList_Groups", tr("&Groups..."), QKeySequence(Qt::CTRL | Qt::Key_G),
                       &TSongListPane::popSongsList_GroupsClick);
    popSongsList_Groups->setEnabled(true); // also without a selection
    popSongsList->addSeparator()->setObjectName(QStringLiteral("N6"));
    auto* styles = new QActionGroup(this);
    styles->setExclusive(true);
    popSongsList_ViewLargeIcons = popSongsList->addAction(tr("&Large icons"));
    popSongsList_ViewLargeIcons->setObjectName(QStringLiteral("popSongsList_ViewLargeIcons"));
    popSongsList_ViewDetails = popSongsList->addAction(tr("&Details"));
    popSongsList_ViewDetails->setObjectName(QStringLiteral("popSongsList_ViewDetails"));
    for (QAction* item : {popSongsList_ViewLargeIcons, popSongsList_ViewDetails}) {
        item->setCheckable(true);
        styles->addAction(item);
    }
    popSongsList_ViewDetails->setChecked(true);
    connect(styles, &QActionGroup::triggered, this, &TSongListPane::popSongsList_ViewDetailsClick);
    popSongsList->addSeparator()->setObjectName(QStringLiteral("N5"));
    popSongsList_ViewColumns = popSongsList->addAction(tr("&Visible columns..."));
    popSongsList_ViewColumns->setObjectName(QStringLiteral("popSongsList_ViewColumns"));
    connect(popSongsList_ViewColumns, &QAction::triggered, this,
            &TSongListPane::popSongsList_ViewColumnsClick);
    popSongsList_ExportAsPlaylist = popSongsList->addAction(tr("&Export as playlist..."));
    popSongsList_ExportAsPlaylist->setObjectName(QStringLiteral("popSongsList_ExportAsPlaylist"));
    connect(popSongsList_ExportAsPlaylist, &QAction::triggered, this,
            &TSongListPane::popSongsList_ExportAsPlaylistClick);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lstSongs),
                                    static_cast<QAbstractItemView*>(lstSongsIcons)}) {
        connect(view, &QWidget::customContextMenuRequested, this,
                [this] { PopupAtCursor(popSongsList); });
    }
}

bool TSongListPane::eventFilter(QObject* watched, QEvent* event) {
    const bool songViewport =
        lstSongsIcons && (watched == lstSongs->viewport() || watched == lstSongsIcons->viewport());
    if (songViewport && (SongViewMouseEvent(event) || SongViewDropEvent(event))) {
        return true;
    }
    if (lstSongs && watched == lstSongs->viewport() && event->type() == QEvent::Resize) {
        ShareAutoSizedColumnWidths();
    } else if (event->type() == QEvent::KeyPress &&
               (watched == lstSongs || watched == lstSongsIcons) && IsKeyForView(watched)) {
        return lstSongsKeyDown(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::MouseButtonDblClick && lstSongs &&
               (watched == lstSongs->viewport() || watched == lstSongsIcons->viewport()) &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lstSongsDblClick();
    }
    return QWidget::eventFilter(watched, event);
}

bool TSongListPane::IsKeyForView(const QObject* watched) const {
    // A key the in-place editor left unused (Enter, which commits the edit) travels on to the
    // view: it must not run a command there too.
    return QApplication::focusWidget() == watched;
}

bool TSongListPane::lstSongsKeyDown(const QKeyEvent& key) {
    const bool ctrl = key.modifiers().testFlag(Qt::ControlModifier);
    const bool anySelected = lstSongs->selectionModel()->hasSelection();
    // The command keys go through their menu items, so a disabled command does nothing.
    const auto run = [anySelected](QAction* item) {
        if (anySelected) {
            item->trigger();
        }
        return true;
    };
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return run(popSongsList_Open);
    case Qt::Key_F2:
        return run(popSongsList_Rename);
    case Qt::Key_F3:
        return run(popSongsList_EditTag);
    case Qt::Key_Delete:
        return ctrl && run(popSongsList_Delete);
    case Qt::Key_A:
        if (!ctrl) {
            return false;
        }
        // Without a selection Ctrl+A does nothing, not even the view's own select-all.
        if (anySelected) {
            SelectAllItems(ShownSongView());
        }
        return true;
    case Qt::Key_G:
        return ctrl && run(popSongsList_Groups);
    default:
        return false;
    }
}

QAbstractItemView* TSongListPane::ShownSongView() const {
    return static_cast<QAbstractItemView*>(SongViews->currentWidget());
}

bool TSongListPane::LargeIconsShown() const {
    return popSongsList_ViewLargeIcons->isChecked();
}

void TSongListPane::popSongsList_ViewDetailsClick(QAction* item) {
    item->setChecked(true);
    const bool largeIcons = item == popSongsList_ViewLargeIcons;
    m_State.Layout.ViewAsLargeIcons = largeIcons;
    QAbstractItemView* shown = largeIcons ? static_cast<QAbstractItemView*>(lstSongsIcons)
                                          : static_cast<QAbstractItemView*>(lstSongs);
    const bool hadFocus = SongViews->currentWidget() && SongViews->currentWidget()->hasFocus();
    SongViews->setCurrentWidget(shown);
    if (shown->currentIndex().isValid()) {
        shown->scrollTo(shown->currentIndex());
    }
    if (hadFocus) {
        shown->setFocus();
    }
}

void TSongListPane::popSongsList_GroupsClick() {
    if (m_GroupList == nullptr) {
        return;
    }
    // The rows stay where they are while the window is open: it is modal.
    const std::vector<int> rows = SelectedRows();
    const std::vector<cSongInfo*> songs = SongsOfRows(rows);
    if (!ShowGroupFiles(*m_GroupList, songs, m_Desktop, this)) {
        return;
    }
    BeginSongListUpdate();
    for (const int row : rows) {
        FillListItem(row);
    }
    EndSongListUpdate();
}

void TSongListPane::popSongsList_ViewColumnsClick() {
    std::vector<std::string> columns = m_State.VisibleColumns;
    if (ChooseVisibleColumns(columns, m_Desktop, window())) {
        ShowColumns(std::move(columns));
    }
}

void TSongListPane::popSongsList_ExportAsPlaylistClick() {
    cSaveFileRequest request;
    request.Types = {{tr("Playlists (*.pls)"), QStringLiteral("pls")},
                     {tr("M3U playlists (*.m3u8)"), QStringLiteral("m3u8")},
                     {tr("All files (*.*)"), QStringLiteral("pls")}};
    request.ProposedName = PathToQString(ProposedPlaylistName(m_State));
    const cSaveFileAnswer answer = m_Desktop.ChooseSaveFile(request);
    if (answer.Path.isEmpty()) {
        return;
    }
    // The selected songs, or all of them when none is selected, as the rows show them.
    std::vector<cSongInfo*> songs = SelectedSongs();
    if (songs.empty()) {
        songs = m_Model->Songs();
    }
    std::vector<std::string_view> paths;
    paths.reserve(songs.size());
    for (const cSongInfo* song : songs) {
        paths.push_back(song->FileName());
    }
    const std::string file = QStringToPath(answer.Path);
    try {
        WritePlaylist(file, paths, PlaylistFormatFor(file, answer.Type == 1));
    } catch (const EFileError& error) {
        ApplicationEventsException(error.what());
    }
}

std::vector<cSongInfo*> TSongListPane::SelectedSongs() const {
    return SongsOfRows(SelectedRows());
}

std::vector<cSongInfo*> TSongListPane::SongsOfRows(const std::vector<int>& rows) const {
    std::vector<cSongInfo*> songs;
    songs.reserve(rows.size());
    for (const int row : rows) {
        songs.push_back(m_Model->Song(row));
    }
    return songs;
}

void TSongListPane::UpdateActiveGroupCaption() {
    pnlActiveGroup->setText(TextToQString(m_State.ActiveGroupCaption()));
}

// ---- Drag and drop -----------------------------------------------------------------------

bool TSongListPane::SongViewMouseEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // The view handles the press first; its report of a pressed song arms the drag.
        m_DragPending = false;
        m_Dragged = false;
        m_PressedButton = static_cast<QMouseEvent*>(event)->button();
        return false;
    case QEvent::MouseMove:
        if (m_Dragged) {
            // The rest of the gesture was the drag's; a move without a button is the mouse
            // over the list again.
            m_Dragged = static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton;
            return m_Dragged;
        }
        if (!m_DragPending) {
            return false;
        }
        lstSongsMouseMove();
        return true;
    case QEvent::MouseButtonRelease:
        m_PressedButton = Qt::NoButton;
        return lstSongsMouseUp();
    default:
        return false;
    }
}

void TSongListPane::lstSongsMouseDown() {
    if (lstSongs->selectionModel()->hasSelection()) {
        m_DragPending = true;
        m_DragMoveCount = 0;
    }
}

void TSongListPane::lstSongsMouseMove() {
    // Counted, not measured: the fourth move starts the drag however short the way.
    if (++m_DragMoveCount < kDragStartMove) {
        return;
    }
    m_DragPending = false;
    m_Dragged = true;
    StartSongDrag();
}

bool TSongListPane::lstSongsMouseUp() {
    m_DragPending = false;
    return std::exchange(m_Dragged, false);
}

void TSongListPane::StartSongDrag() {
    std::vector<std::string> paths;
    for (const cSongInfo* song : SelectedSongs()) {
        paths.emplace_back(song->FileName());
    }
    if (!paths.empty()) {
        m_Desktop.DragFiles(*ShownSongView()->viewport(), paths);
    }
}

bool TSongListPane::SongViewDropEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        AcceptFileDrop(*static_cast<QDropEvent*>(event), DropsWelcome());
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        AcceptFileDrop(*drop, DropsWelcome());
        if (drop->isAccepted()) {
            DropFileTargetDrop(DroppedFilePaths(drop->mimeData()));
        }
        return true;
    }
    default:
        return false;
    }
}

bool TSongListPane::DropsWelcome() const {
    // No folder, no drop: nothing may be copied into a folder without a name.
    return !m_State.SelectedFolder.empty() && !m_CopyRunning && !m_DropsRefused;
}

void TSongListPane::DropFileTargetDrop(const std::vector<std::string>& paths) {
    CopyFilesIntoFolderAndList(paths, m_State.SelectedFolder);
}

void TSongListPane::CopyFilesIntoFolderAndList(const std::vector<std::string>& paths,
                                               const std::string& folder) {
    if (folder.empty() || m_CopyRunning || m_DropsRefused) {
        return;
    }
    {
        const QScopedValueRollback running(m_CopyRunning, true);
        CopyFilesIntoFolder(paths, folder, [this] { return OpenCopyProgress(m_Desktop); });
    }
    if (folder == m_State.SelectedFolder && MasterSongList != nullptr) {
        ScanFolder(folder);
        PopulateSongList();
    }
}

// ---- Rows --------------------------------------------------------------------------------

void TSongListPane::PopulateSongList() {
    m_State.QueryDisplayedSongs(MasterSongList);
    FillSongList();
}

void TSongListPane::FillSongList() {
    // In the displayed song list's order (master-list order), whatever the rows' order.
    m_State.MostPopularSong = FindMostPopular(m_State.DisplayedSongs.Items());
    m_DisplayedBytes = TotalOfSongs(m_State.DisplayedSongs.Items()).Bytes;
    m_DisplayedBytesStale = false;
    // The rows arrive sorted: the views lay them out once, in their final order.
    const std::vector<cSongInfo*>& songs = m_State.DisplayedSongs.Items();
    m_Model->SetSongs(songs,
                      SortedRowOrder(songs, m_State.SortOrder.Kind(), m_State.SortOrder.Reversed));
    SelectListItem(lstSongs, 0, [this] { emit SelectionChanged(); });
    emit ListFilled();
}

void TSongListPane::AddSongItem(cSongInfo* song) {
    m_Model->AppendSong(song);
    m_DisplayedBytesStale = true;
    if (m_SongListUpdates > 0) {
        m_SortPending = true;
    } else {
        MoveRowToItsPlace(m_Model->rowCount() - 1);
    }
}

void TSongListPane::FillListItem(int row) {
    if (m_Model->Song(row) == nullptr) {
        return;
    }
    const bool captionChanged = m_Model->RefreshRow(row);
    // The song's size may have changed with it.
    m_DisplayedBytesStale = true;
    if (m_SongListUpdates > 0) {
        m_SortPending = true;
    } else if (captionChanged) {
        // The other rows are in order: only this one may have to move.
        MoveRowToItsPlace(row);
    }
}

void TSongListPane::MoveRowToItsPlace(int row) {
    const int place = SortedPositionOfRow(m_Model->Songs(), row, m_State.SortOrder.Kind(),
                                          m_State.SortOrder.Reversed);
    if (place == row) {
        return;
    }
    cSelectedRows marks(lstSongs->selectionModel());
    m_Model->MoveRow(row, place);
    marks.MoveRow(row, place);
    marks.SelectAgain();
    // The focused song moved: it stays in sight at its new place (a rename, a tag edit).
    if (ShownSongView()->currentIndex().row() == place) {
        ShownSongView()->scrollTo(ShownSongView()->currentIndex());
    }
}

void TSongListPane::Clear() {
    setUpdatesEnabled(false);
    m_Model->Clear();
    setUpdatesEnabled(true);
    m_DisplayedBytes = 0;
    m_DisplayedBytesStale = false;
}

void TSongListPane::BeginSongListUpdate() {
    ++m_SongListUpdates;
}

void TSongListPane::EndSongListUpdate() {
    if (m_SongListUpdates == 0 || --m_SongListUpdates > 0) {
        return;
    }
    if (std::exchange(m_SortPending, false)) {
        SortSongList();
    }
}

int TSongListPane::lstSongsCompare(const cSongInfo& a, const cSongInfo& b) const {
    return CompareSongs(a, b, m_State.SortOrder.Kind(), m_State.SortOrder.Reversed);
}

void TSongListPane::lstSongsColumnClick(int column) {
    const std::vector<std::string>& captions = m_Model->ColumnNames();
    if (column < 0 || column >= static_cast<int>(captions.size())) {
        return;
    }
    ClickSortColumn(m_State.SortOrder, captions[static_cast<size_t>(column)]);
    SortSongList();
}

void TSongListPane::SortSongList() {
    const std::vector<int> order =
        SortedRowOrder(m_Model->Songs(), m_State.SortOrder.Kind(), m_State.SortOrder.Reversed);
    cSelectedRows marks(lstSongs->selectionModel());
    m_Model->SetRowOrder(order);
    marks.Reorder(order);
    marks.SelectAgain();
    // The focused song stays in sight at its new place.
    if (ShownSongView()->currentIndex().isValid()) {
        ShownSongView()->scrollTo(ShownSongView()->currentIndex());
    }
}

// ---- Columns -----------------------------------------------------------------------------

void TSongListPane::BuildColumns() {
    lstSongs->setUpdatesEnabled(false);
    m_SharingWidths = true;
    m_Model->SetColumns(m_State.VisibleColumns);
    for (int column = 0; column < m_Model->columnCount(); ++column) {
        lstSongs->header()->resizeSection(column, NewColumnWidth(column));
    }
    ReadColumnWidths(kWidthsSection, lstSongs, m_Settings);
    // Widths saved in this run win: they are the newest, also where the file refused them.
    for (int column = 0; column < m_Model->columnCount(); ++column) {
        const auto saved = m_SavedWidths.find(m_Model->ColumnNames()[static_cast<size_t>(column)]);
        if (saved != m_SavedWidths.end()) {
            lstSongs->header()->resizeSection(column, saved->second);
        }
    }
    // A sort column no longer shown gives way to the first column, ascending.
    FollowVisibleColumns(m_State.SortOrder, m_State.VisibleColumns);
    m_SharingWidths = false;
    ShareAutoSizedColumnWidths();
    lstSongs->setUpdatesEnabled(true);
}

int TSongListPane::NewColumnWidth(int column) const {
    // Wide enough for the caption and a typical cell, so a first start shows whole dates and
    // sizes; never narrower than a new column's 50 pixels.
    const QHeaderView* header = lstSongs->header();
    const QString caption = m_Model->headerData(column, Qt::Horizontal).toString();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.text = caption;
    option.section = column;
    const int captionWidth =
        header->style()
            ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header)
            .width();

    const QFontMetrics metrics(lstSongs->font());
    const QLocale locale;
    QString sample;
    int sampleWidth = 0;
    switch (ColumnFromName(m_State.VisibleColumns[static_cast<size_t>(column)])) {
    case eSongColumn::Date:
        sample = SongDateText(kSampleDate, locale);
        break;
    case eSongColumn::Size:
        sample =
            QString::fromStdString(FormatFileSize(kSampleSize, locale.decimalPoint().toStdString(),
                                                  locale.groupSeparator().toStdString()));
        break;
    case eSongColumn::Views:
        sample = QStringLiteral("9999");
        break;
    case eSongColumn::Groups:
        sample = QStringLiteral("Favourites");
        break;
    case eSongColumn::Title:
    case eSongColumn::Path:
    case eSongColumn::FileName:
        sampleWidth = metrics.averageCharWidth() * 24;
        break;
    case eSongColumn::Author:
    case eSongColumn::Album:
        sampleWidth = metrics.averageCharWidth() * 16;
        break;
    case eSongColumn::Unknown:
        break;
    }
    if (!sample.isEmpty()) {
        sampleWidth = metrics.horizontalAdvance(sample);
    }
    // The cell's text margins, and in the first column the icon in front of the text.
    const int margin =
        lstSongs->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lstSongs) + 1;
    int cellWidth = sampleWidth + 2 * margin + 2;
    if (column == 0) {
        cellWidth += lstSongs->iconSize().width() + 2 * margin;
    }
    return std::max({kNewColumnWidth, captionWidth, cellWidth});
}

void TSongListPane::ShowColumns(std::vector<std::string> names) {
    SaveColumnWidths();
    m_State.VisibleColumns = std::move(names);
    // The rows are filled anew below: new columns over the old rows would cost a pass over
    // every song for nothing.
    m_Model->Clear();
    BuildColumns();
    FillSongList();
}

void TSongListPane::SaveColumnWidths() {
    for (const cColumnWidth& column : ColumnWidths()) {
        m_SavedWidths[column.Caption] = column.Width;
    }
    try {
        WriteColumnWidths(kWidthsSection, lstSongs, m_Settings);
    } catch (const EFileError& error) {
        ShowErrorMessage("The column widths could not be saved: ", error.what());
    }
}

std::vector<cColumnWidth> TSongListPane::ColumnWidths() const {
    std::vector<cColumnWidth> widths;
    const std::vector<std::string>& captions = m_Model->ColumnNames();
    for (size_t column = 0; column < captions.size(); ++column) {
        widths.push_back(
            {captions[column], lstSongs->header()->sectionSize(static_cast<int>(column))});
    }
    return widths;
}

void TSongListPane::ShareAutoSizedColumnWidths() {
    QHeaderView* header = lstSongs->header();
    const int count = header->count();
    std::vector<int> widths(static_cast<size_t>(count));
    std::vector<bool> autoSized(static_cast<size_t>(count));
    bool anyAutoSized = false;
    for (int column = 0; column < count; ++column) {
        widths[column] = header->sectionSize(column);
        autoSized[column] = column < static_cast<int>(m_State.VisibleColumns.size()) &&
                            IsAutoSizedColumn(ColumnFromName(m_State.VisibleColumns[column]));
        anyAutoSized = anyAutoSized || autoSized[column];
    }
    if (!anyAutoSized) {
        return;
    }
    const std::vector<int> shared =
        SharedColumnWidths(widths, autoSized, lstSongs->viewport()->width(), kMinimumSharedWidth);
    m_SharingWidths = true;
    for (int column = 0; column < count; ++column) {
        if (shared[column] != widths[column]) {
            header->resizeSection(column, shared[column]);
        }
    }
    m_SharingWidths = false;
}

// ---- Status ------------------------------------------------------------------------------

std::string TSongListPane::StatusBarText() {
    if (m_DisplayedBytesStale) {
        m_DisplayedBytes = TotalOfSongs(m_State.DisplayedSongs.Items()).Bytes;
        m_DisplayedBytesStale = false;
    }
    // The selection as ranges of rows: a change of the selection costs what the selected rows
    // cost, never a walk over every row of the list.
    std::vector<cRowRange> ranges;
    const QItemSelection selection = lstSongs->selectionModel()->selection();
    ranges.reserve(static_cast<size_t>(selection.size()));
    for (const QItemSelectionRange& range : selection) {
        ranges.push_back({range.top(), range.bottom()});
    }
    const cSongsTotal selected = TotalOfRowRanges(m_Model->Songs(), std::move(ranges));
    const QLocale locale;
    return ::StatusBarText(selected, m_Model->rowCount(), m_DisplayedBytes,
                           locale.decimalPoint().toStdString(),
                           locale.groupSeparator().toStdString());
}

// ---- Song commands -----------------------------------------------------------------------

std::vector<int> TSongListPane::SelectedRows() const {
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : lstSongs->selectionModel()->selection()) {
        ranges.emplace_back(range.top(), range.bottom());
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<int> rows;
    int next = 0; // ranges may overlap: each row once
    for (const auto& [top, bottom] : ranges) {
        for (int row = std::max(top, next); row <= bottom; ++row) {
            rows.push_back(row);
        }
        next = std::max(next, bottom + 1);
    }
    return rows;
}

void TSongListPane::UpdateSongCommands() {
    const size_t selected = SelectedRows().size();
    popSongsList_Open->setEnabled(selected >= 1);
    popSongsList_Delete->setEnabled(selected >= 1);
    popSongsList_Rename->setEnabled(selected == 1);
    popSongsList_EditTag->setEnabled(selected == 1);
}

void TSongListPane::lstSongsDblClick() {
    popSongsList_Open->trigger();
}

void TSongListPane::popSongsList_OpenClick() {
    {
        const cSongListBatch batch(*this);
        for (const int row : SelectedRows()) {
            cSongInfo* song = m_Model->Song(row);
            // A count the catalogue could not store is reported there; it counts for this run.
            CountSongOpening(*song);
            ::OfferMostPopular(m_State.MostPopularSong, song);
            FillListItem(row);
            // Whether a program could open the file is not examined.
            m_Desktop.OpenDocument(PathToQString(song->FileName()));
        }
    }
    emit MostPopularChanged();
}

void TSongListPane::popSongsList_RenameClick() {
    if (!RenameColumnOf(m_Model->ColumnNames())) {
        m_Desktop.ShowMessage(
            tr("To rename a file, you must display either the Path or the FileName columns."));
        return;
    }
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        return;
    }
    QAbstractItemView* view = ShownSongView();
    const QModelIndex caption = m_Model->index(rows.front(), 0);
    view->scrollTo(caption);
    view->setFocus();
    view->edit(caption);
}

void TSongListPane::lstSongsEdited(const QModelIndex& index, const QString& text) {
    cSongInfo* song = m_Model->Song(index.row());
    const std::optional<eRenameColumn> column = RenameColumnOf(m_Model->ColumnNames());
    // An edit left as it was opened renames nothing: a name shown with stand-ins for bytes
    // that are not text must not be rewritten with those stand-ins.
    if (song == nullptr || !column || text == index.data(Qt::EditRole).toString()) {
        return;
    }
    if (!RenameSong(*song, *column, QStringToPath(text), m_State.SelectedFolder)) {
        return;
    }
    FillListItem(index.row());
    if (song == m_State.MostPopularSong) {
        emit MostPopularChanged();
    }
}

void TSongListPane::popSongsList_DeleteClick() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        return;
    }
    const std::vector<cSongInfo*> songs = SongsOfRows(rows);
    {
        // Cleared at once rather than row by row as the rows go; the songs that stay are
        // selected again below, and the selection is reported once.
        const QSignalBlocker quiet(lstSongs->selectionModel());
        lstSongs->selectionModel()->clearSelection();
    }
    const auto moveToTrash = [this](const std::vector<std::string>& paths) {
        return m_Desktop.MoveToTrash(paths);
    };
    const auto askDeleteForGood = [this](const std::string& question) {
        return m_Desktop.AskWarningQuestion(TextToQString(question));
    };
    bool mostPopularGone = false;
    const auto forgetSongs = [&](const std::vector<cSongInfo*>& gone) {
        const std::unordered_set<const cSongInfo*> goneSet(gone.begin(), gone.end());
        std::vector<int> goneRows;
        goneRows.reserve(gone.size());
        for (size_t i = 0; i < songs.size(); ++i) {
            if (goneSet.contains(songs[i])) {
                goneRows.push_back(rows[i]);
            }
        }
        m_Model->RemoveRows(goneRows);
        for (const cSongInfo* song : gone) {
            m_DisplayedBytes -= song->Size; // rather than a walk over every song left
        }
        if (goneSet.contains(m_State.MostPopularSong)) {
            m_State.MostPopularSong = nullptr;
            mostPopularGone = true;
        }
    };
    const std::vector<cSongInfo*> stayed =
        DeleteSongs(songs, m_State.DisplayedSongs, moveToTrash, askDeleteForGood, forgetSongs);
    if (mostPopularGone) {
        // The same song a fill would name: the first with the highest count in master order.
        m_State.MostPopularSong = FindMostPopular(m_State.DisplayedSongs.Items());
        emit MostPopularChanged();
    }
    SelectSongs(stayed, std::min(rows.front(), m_Model->rowCount() - 1));
    emit SongsDeleted();
    emit SelectionChanged();
}

void TSongListPane::SelectSongs(const std::vector<cSongInfo*>& songs, int focusRow) {
    QItemSelectionModel* selection = lstSongs->selectionModel();
    if (!songs.empty()) {
        const std::unordered_set<const cSongInfo*> wanted(songs.begin(), songs.end());
        QItemSelection rows;
        const int lastColumn = std::max(0, m_Model->columnCount() - 1);
        for (int row = 0; row < m_Model->rowCount(); ++row) {
            if (wanted.contains(m_Model->Song(row))) {
                rows.select(m_Model->index(row, 0), m_Model->index(row, lastColumn));
            }
        }
        selection->select(rows, QItemSelectionModel::Select);
    }
    if (!selection->currentIndex().isValid() && focusRow >= 0) {
        selection->setCurrentIndex(m_Model->index(focusRow, 0), QItemSelectionModel::NoUpdate);
    }
    if (selection->currentIndex().isValid()) {
        ShownSongView()->scrollTo(selection->currentIndex());
    }
}

void TSongListPane::popSongsList_EditTagClick() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        return;
    }
    cSongInfo* song = m_Model->Song(rows.front());
    try {
        if (EditSongTag(*song, m_Settings, m_Desktop, this) == eTagEditResult::kSaved) {
            FillListItem(m_Model->RowOfSong(song));
        }
    } catch (const std::exception& error) {
        ApplicationEventsException(error.what());
    }
}
