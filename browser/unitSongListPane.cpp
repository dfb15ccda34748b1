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
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <utility>

#include "browser/unitApplication.h"
#include "browser/unitBrowserState.h"
#include "browser/unitPlaylist.h"
#include "browser/unitSongColumnLayout.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongRows.h"
#include "browser/unitSongViews.h"
#include "browser/unitStatusTexts.h"
#include "browser/unitVisibleColumns.h"
#include "catalogue/unitFolderRefresh.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitReReadSongs.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitTagEditor.h"
#include "groups/unitGroupFiles.h"
#include "util/unitDesktop.h"
#include "util/unitFileCopy.h"
#include "util/unitFolderWatcher.h"
#include "util/unitGuiText.h"
#include "util/unitListViewUtils.h"
#include "util/unitUtils.h"

namespace {

/// The drag out of the list starts on this mouse move after the press.
constexpr int kDragStartMove = 4;

/// The caption of the first column, as a rename needs it: Path, FileName, or neither.
std::optional<eRenameColumn> RenameColumnOf(const std::vector<std::string>& columnNames) {
    const eSongColumn first =
        columnNames.empty() ? eSongColumn::Unknown : ColumnFromName(columnNames.front());
    if (first == eSongColumn::Path) {
        return eRenameColumn::kPath;
    }
    if (first == eSongColumn::FileName) {
        return eRenameColumn::kFileName;
    }
    return std::nullopt;
}

/// Whether the command may run with this many songs selected.
bool CommandEnabled(const cSongCommand& command, size_t selectedSongs) {
    switch (command.Enabled) {
    case eSongCommandEnabled::AnySongSelected:
        return selectedSongs >= 1;
    case eSongCommandEnabled::OneSongSelected:
        return selectedSongs == 1;
    case eSongCommandEnabled::Always:
        break;
    }
    return true;
}

} // namespace

std::span<const cSongCommand> TSongListPane::SongCommands() {
    using enum eSongCommandEnabled;
    using enum eSongCommandItem;
    // clang-format off
    static const cSongCommand commands[] = {
        // Name, caption, shortcut shown, keys, with Ctrl only, enabled, handler, item.
        {"popSongsList_Open", QT_TR_NOOP("&Open"), "Enter", {Qt::Key_Return, Qt::Key_Enter},
         false, AnySongSelected, &TSongListPane::popSongsList_OpenClick, Default},
        {"N3", "", "", {}, false, Always, nullptr, Separator},
        {"popSongsList_Rename", QT_TR_NOOP("&Rename file"), "F2", {Qt::Key_F2},
         false, OneSongSelected, &TSongListPane::popSongsList_RenameClick},
        {"popSongsList_EditTag", QT_TR_NOOP("&Edit IDv3 tag"), "F3", {Qt::Key_F3},
         false, OneSongSelected, &TSongListPane::popSongsList_EditTagClick},
        {"popSongsList_ReReadTags", QT_TR_NOOP("Re-read &tags"), "Ctrl+R", {Qt::Key_R},
         true, AnySongSelected, &TSongListPane::popSongsList_ReReadTagsClick},
        {"popSongsList_Delete", QT_TR_NOOP("&Delete"), "Ctrl+Del", {Qt::Key_Delete},
         true, AnySongSelected, &TSongListPane::popSongsList_DeleteClick},
        {"popSongsList_Groups", QT_TR_NOOP("&Groups..."), "Ctrl+G", {Qt::Key_G},
         true, Always, &TSongListPane::popSongsList_GroupsClick},
        {"N6", "", "", {}, false, Always, nullptr, Separator},
        {"popSongsList_ViewLargeIcons", QT_TR_NOOP("&Large icons"), "", {},
         false, Always, &TSongListPane::popSongsList_ViewLargeIconsClick, ViewStyle},
        {"popSongsList_ViewDetails", QT_TR_NOOP("&Details"), "", {},
         false, Always, &TSongListPane::popSongsList_ViewDetailsClick, ViewStyle},
        {"N5", "", "", {}, false, Always, nullptr, Separator},
        {"popSongsList_ViewColumns", QT_TR_NOOP("&Visible columns..."), "", {},
         false, Always, &TSongListPane::popSongsList_ViewColumnsClick},
        {"popSongsList_ExportAsPlaylist", QT_TR_NOOP("&Export as playlist..."), "", {},
         false, Always, &TSongListPane::popSongsList_ExportAsPlaylistClick},
        // Without a selection Ctrl+A does nothing, not even the view's own select-all.
        {"lstSongs_SelectAll", "", "", {Qt::Key_A},
         true, AnySongSelected, &TSongListPane::SelectAllSongs, KeysOnly},
    };
    // clang-format on
    return commands;
}

TSongListPane::TSongListPane(cBrowserState& state, cIniFile& settings, cDesktop& desktop,
                             QWidget* parent)
    : QWidget(parent), m_State(state), m_Settings(settings), m_Desktop(desktop),
      m_Rows(new TSongRows(state, this)), m_FolderWatcher(new TFolderWatcher(this)) {
    CreateControls();
    CreateMenu();
    connect(m_FolderWatcher, &TFolderWatcher::FilesChanged, this,
            &TSongListPane::WatchedFilesChanged);
    connect(m_FolderWatcher, &TFolderWatcher::WatchRefused, this,
            &TSongListPane::FolderWatchRefused);
}

TSongListPane::~TSongListPane() {
    // The views and the rows outlive this object's own part while they are destroyed: nothing
    // they report from now on may reach it.
    for (QObject* sender :
         std::initializer_list<QObject*>{lstSongs->header(), m_Rows, m_FolderWatcher}) {
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
    pnlActiveGroup = NewActiveGroupBand(this);
    column->addWidget(pnlActiveGroup);
    CreateSongViews();
    column->addWidget(SongViews, 1);
    outer->addLayout(column, 1);
}

void TSongListPane::CreateSongViews() {
    SongViews = new QStackedWidget(this);
    SongViews->setObjectName(QStringLiteral("SongViews"));
    // Captions are edited in place only by the rename command; the edit goes to the rename.
    const auto rename = [this](const QModelIndex& index, const QString& text) {
        lstSongsEdited(index, text);
    };
    lstSongs = NewSongDetailsView(*m_Rows, rename, SongViews);
    lstSongsIcons = NewSongIconView(*m_Rows, rename, SongViews);
    m_Columns = std::make_unique<cSongColumnLayout>(*lstSongs, *m_Rows, m_State, m_Settings);
    connect(lstSongs->header(), &QHeaderView::sectionClicked, m_Rows, &TSongRows::HeaderClicked);
    connect(m_Rows, &TSongRows::CurrentRowMoved, this, &TSongListPane::ScrollToCurrentSong);
    // The keys, the mouse (double click, drag out), the drops, and the list's resizes.
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lstSongs),
                                    static_cast<QAbstractItemView*>(lstSongsIcons)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::pressed, this, [this] {
            if (m_PressedButton == Qt::LeftButton) {
                lstSongsMouseDown();
            }
        });
        connect(view, &QWidget::customContextMenuRequested, this,
                [this] { PopupAtCursor(popSongsList); });
    }
    SongViews->addWidget(lstSongs);
    SongViews->addWidget(lstSongsIcons);
}

void TSongListPane::CreateMenu() {
    popSongsList = new QMenu(this);
    popSongsList->setObjectName(QStringLiteral("popSongsList"));
    auto* styles = new QActionGroup(this);
    styles->setExclusive(true);
    for (const cSongCommand& command : SongCommands()) {
        QAction* item = nullptr;
        if (command.Item == eSongCommandItem::Separator) {
            item = popSongsList->addSeparator();
        } else if (command.Item != eSongCommandItem::KeysOnly) {
            item = popSongsList->addAction(tr(command.Caption));
            // The key is shown in the menu; the list's key handler carries it out.
            item->setShortcut(QKeySequence(QString::fromLatin1(command.ShortcutText)));
            item->setShortcutContext(Qt::WidgetShortcut);
            // Nothing is selected yet.
            item->setEnabled(command.Enabled == eSongCommandEnabled::Always);
            connect(item, &QAction::triggered, this, command.Handler);
        }
        if (item != nullptr) {
            item->setObjectName(QString::fromLatin1(command.Name));
        }
        if (command.Item == eSongCommandItem::Default) {
            popSongsList->setDefaultAction(item);
        } else if (command.Item == eSongCommandItem::ViewStyle) {
            item->setCheckable(true);
            styles->addAction(item);
        }
        m_CommandItems.push_back(item);
    }
    CommandItem("popSongsList_ViewDetails")->setChecked(true);
}

QAction* TSongListPane::CommandItem(std::string_view name) const {
    const std::span<const cSongCommand> commands = SongCommands();
    for (size_t i = 0; i < commands.size(); ++i) {
        if (commands[i].Name == name) {
            return m_CommandItems[i];
        }
    }
    return nullptr;
}

void TSongListPane::UpdateSongCommands() {
    const size_t selected = m_Rows->SelectedRows().size();
    const std::span<const cSongCommand> commands = SongCommands();
    for (size_t i = 0; i < commands.size(); ++i) {
        if (m_CommandItems[i] != nullptr && commands[i].Item != eSongCommandItem::Separator) {
            m_CommandItems[i]->setEnabled(CommandEnabled(commands[i], selected));
        }
    }
}

// ---- Keys and mouse ----------------------------------------------------------------------

bool TSongListPane::eventFilter(QObject* watched, QEvent* event) {
    const bool songViewport =
        lstSongsIcons && (watched == lstSongs->viewport() || watched == lstSongsIcons->viewport());
    if (songViewport && (SongViewMouseEvent(event) || SongViewDropEvent(event))) {
        return true;
    }
    if (lstSongs && watched == lstSongs->viewport() && event->type() == QEvent::Resize) {
        m_Columns->ShareAutoSizedColumnWidths();
    } else if (event->type() == QEvent::KeyPress &&
               (watched == lstSongs || watched == lstSongsIcons) && IsKeyForView(watched)) {
        return lstSongsKeyDown(*static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::MouseButtonDblClick && songViewport &&
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
    const std::span<const cSongCommand> commands = SongCommands();
    for (size_t i = 0; i < commands.size(); ++i) {
        const cSongCommand& command = commands[i];
        if (std::find(command.Keys.begin(), command.Keys.end(), key.key()) == command.Keys.end() ||
            (command.NeedsCtrl && !ctrl)) {
            continue;
        }
        // Without a selection the key is taken and does nothing. The others go through their
        // menu items, so a disabled command does nothing.
        if (!m_Rows->Selection()->hasSelection()) {
            return true;
        }
        if (m_CommandItems[i] != nullptr) {
            m_CommandItems[i]->trigger();
        } else if (CommandEnabled(command, m_Rows->SelectedRows().size())) {
            (this->*command.Handler)();
        }
        return true;
    }
    return false;
}

void TSongListPane::lstSongsDblClick() {
    CommandItem("popSongsList_Open")->trigger();
}

void TSongListPane::ScrollToCurrentSong() {
    QAbstractItemView* view = ShownSongView();
    if (view->currentIndex().isValid()) {
        view->scrollTo(view->currentIndex());
    }
}

QAbstractItemView* TSongListPane::ShownSongView() const {
    return static_cast<QAbstractItemView*>(SongViews->currentWidget());
}

void TSongListPane::SetLargeIcons(bool largeIcons) {
    CommandItem(largeIcons ? "popSongsList_ViewLargeIcons" : "popSongsList_ViewDetails")
        ->setChecked(true);
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

void TSongListPane::UpdateActiveGroupCaption() {
    pnlActiveGroup->setText(TextToQString(m_State.ActiveGroupCaption()));
}

std::string TSongListPane::StatusBarText() {
    const QLocale locale;
    return ::StatusBarText(m_Rows->SelectedTotal(), m_Rows->Model()->rowCount(),
                           m_Rows->DisplayedBytes(), locale.decimalPoint().toStdString(),
                           locale.groupSeparator().toStdString());
}

// ---- Song commands -----------------------------------------------------------------------

void TSongListPane::popSongsList_OpenClick() {
    const std::vector<cSongInfo*> songs = m_Rows->SelectedSongs();
    {
        const cSongRowsBatch batch(*m_Rows);
        for (cSongInfo* song : songs) {
            // A count the catalogue could not store is reported there; it counts for this run.
            CountSongOpening(*song);
            ::OfferMostPopular(m_State.MostPopularSong, song);
            // Whether a program could open the file is not examined.
            m_Desktop.OpenDocument(PathToQString(song->FileName()));
        }
        m_Rows->RefreshSongs(songs);
    }
    emit MostPopularChanged();
}

void TSongListPane::popSongsList_RenameClick() {
    if (!RenameColumnOf(m_Rows->Model()->ColumnNames())) {
        m_Desktop.ShowMessage(
            tr("To rename a file, you must display either the Path or the FileName columns."));
        return;
    }
    const std::vector<int> rows = m_Rows->SelectedRows();
    if (rows.empty()) {
        return;
    }
    QAbstractItemView* view = ShownSongView();
    const QModelIndex caption = m_Rows->Model()->index(rows.front(), 0);
    view->scrollTo(caption);
    view->setFocus();
    view->edit(caption);
}

void TSongListPane::lstSongsEdited(const QModelIndex& index, const QString& text) {
    cSongInfo* song = m_Rows->Model()->Song(index.row());
    const std::optional<eRenameColumn> column = RenameColumnOf(m_Rows->Model()->ColumnNames());
    // An edit left as it was opened renames nothing: a name shown with stand-ins for bytes
    // that are not text must not be rewritten with those stand-ins.
    if (song == nullptr || !column || text == index.data(Qt::EditRole).toString()) {
        return;
    }
    if (!RenameSong(*song, *column, QStringToPath(text), m_State.SelectedFolder)) {
        return;
    }
    m_Rows->RefreshSong(song);
    if (song == m_State.MostPopularSong) {
        emit MostPopularChanged();
    }
}

void TSongListPane::popSongsList_DeleteClick() {
    const std::vector<int> rows = m_Rows->SelectedRows();
    if (rows.empty()) {
        return;
    }
    const std::vector<cSongInfo*> songs = m_Rows->SongsOfRows(rows);
    {
        // Cleared at once rather than row by row as the rows go; the songs that stay are
        // selected again below, and the selection is reported once.
        const QSignalBlocker quiet(m_Rows->Selection());
        m_Rows->Selection()->clearSelection();
    }
    const auto moveToTrash = [this](const std::vector<std::string>& paths) {
        return m_Desktop.MoveToTrash(paths);
    };
    const auto askDeleteForGood = [this](const std::string& question) {
        return m_Desktop.AskWarningQuestion(TextToQString(question));
    };
    bool mostPopularGone = false;
    const auto forgetSongs = [&](const std::vector<cSongInfo*>& gone) {
        m_Rows->RemoveSongs(gone);
        if (std::find(gone.begin(), gone.end(), m_State.MostPopularSong) != gone.end()) {
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
    m_Rows->SelectSongs(stayed, std::min(rows.front(), m_Rows->Model()->rowCount() - 1));
    emit SongsDeleted();
}

void TSongListPane::popSongsList_EditTagClick() {
    const std::vector<cSongInfo*> songs = m_Rows->SelectedSongs();
    if (songs.empty()) {
        return;
    }
    cSongInfo* song = songs.front();
    try {
        if (EditSongTag(*song, m_Settings, m_Desktop, this) == eTagEditResult::kSaved) {
            m_Rows->RefreshSong(song);
        }
    } catch (const std::exception& error) {
        ApplicationEventsException(error.what());
    }
}

void TSongListPane::popSongsList_ReReadTagsClick() {
    const std::vector<cSongInfo*> songs = m_Rows->SelectedSongs();
    if (songs.empty() || SongsDatabase == nullptr) {
        return;
    }
    const cReReadResult result = ReReadSongs(songs);
    {
        const cSongRowsBatch batch(*m_Rows);
        m_Rows->RefreshSongs(result.Changed);
    }
    emit SongsChanged();
    if (!result.Unread.empty()) {
        m_Desktop.ShowMessage(TextToQString(UnreadFilesMessage(result.Unread)));
    }
}

void TSongListPane::popSongsList_GroupsClick() {
    if (m_GroupList == nullptr) {
        return;
    }
    // The rows stay where they are while the window is open: it is modal.
    const std::vector<cSongInfo*> songs = m_Rows->SelectedSongs();
    if (!ShowGroupFiles(*m_GroupList, songs, m_Desktop, this)) {
        return;
    }
    const cSongRowsBatch batch(*m_Rows);
    m_Rows->RefreshSongs(songs);
}

void TSongListPane::popSongsList_ViewColumnsClick() {
    std::vector<std::string> columns = m_State.VisibleColumns;
    if (ChooseVisibleColumns(columns, m_Desktop, window())) {
        m_Columns->ShowColumns(std::move(columns));
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
    std::vector<cSongInfo*> songs = m_Rows->SelectedSongs();
    if (songs.empty()) {
        songs = m_Rows->Songs();
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

void TSongListPane::SelectAllSongs() {
    SelectAllItems(ShownSongView());
}

// ---- The watch of the shown folder ------------------------------------------------------

void TSongListPane::WatchFolder(const std::string& folder) {
    m_FolderWatcher->Watch(folder);
}

bool TSongListPane::CatalogueBusy() const {
    // A dialog, a question or a progress window may be in the middle of a change of songs.
    return m_DropsRefused || m_CopyRunning || QApplication::activeModalWidget() != nullptr ||
           QApplication::activePopupWidget() != nullptr;
}

void TSongListPane::WatchedFilesChanged() {
    if (CatalogueBusy()) {
        m_FolderWatcher->Postpone();
        return;
    }
    const cWatchedChanges changes = m_FolderWatcher->TakeChanges();
    const std::string& folder = m_FolderWatcher->Folder();
    if (MasterSongList == nullptr || SongsDatabase == nullptr || folder.empty() ||
        folder != m_State.SelectedFolder) {
        return;
    }
    const cFolderRefresh refresh = RefreshWatchedFolder(folder, changes.Names, changes.AllFiles);
    if (refresh.Added.empty() && refresh.ReRead.empty()) {
        return;
    }
    // Behind the others, as in the master list; a search result stays as it was found.
    const std::vector<cSongInfo*> shown = m_State.ShowJoinedSongs(refresh.Added);
    for (cSongInfo* song : shown) {
        ::OfferMostPopular(m_State.MostPopularSong, song);
    }
    m_Rows->ShowFolderChanges(shown, refresh.ReRead);
    emit SongsChanged();
}

void TSongListPane::FolderWatchRefused(const QString& reason) {
    // Once a run: the list still works as before, only without following the folder.
    if (std::exchange(m_FolderWatchRefusalShown, true)) {
        return;
    }
    m_Desktop.ShowMessage(
        tr("The shown folder cannot be watched for new and changed files (%1). They appear "
           "when the folder is selected again.")
            .arg(reason));
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
    if (m_Rows->Selection()->hasSelection()) {
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
    for (const cSongInfo* song : m_Rows->SelectedSongs()) {
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
        m_Rows->Populate();
    }
}
