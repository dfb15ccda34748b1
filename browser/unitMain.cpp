#include "browser/unitMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "browser/unitAbout.h"
#include "browser/unitApplication.h"
#include "browser/unitSongColumnLayout.h"
#include "browser/unitSongListPane.h"
#include "browser/unitSongRows.h"
#include "browser/unitStatusTexts.h"
#include "catalogue/unitFolderImport.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "groups/unitBarBreakLimit.h"
#include "groups/unitCategoriesFrame.h"
#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "groups/unitGroupsMenu.h"
#include "groups/unitManageGroups.h"
#include "search/unitFindSong.h"
#include "util/unitArt.h"
#include "util/unitFolderTree.h"
#include "util/unitGuiText.h"
#include "util/unitIniFile.h"
#include "util/unitListViewUtils.h"
#include "util/unitMessages.h"
#include "util/unitMountWatcher.h"
#include "util/unitUtils.h"

namespace {

constexpr int kHeaderHeight = 96;
constexpr int kSelectorLeft = 224;
constexpr int kSelectorTop = 64;

const QColor kHeaderColour(0xAD, 0xC7, 0xEF);

QFont SizedFont(const QFont& base, qreal points, bool bold) {
    QFont font = base;
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* HeaderLabel(QWidget* parent, const QString& name, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, Qt::white);
    // Disabled text stays white, only dimmed, on the coloured header.
    colours.setColor(QPalette::Disabled, QPalette::WindowText, QColor(255, 255, 255, 170));
    label->setPalette(colours);
    // A soft shadow keeps white text legible on the light header.
    auto* shadow = new QGraphicsDropShadowEffect(label);
    shadow->setOffset(0, 1);
    shadow->setBlurRadius(3);
    shadow->setColor(QColor(0x1F, 0x3E, 0x70, 150));
    label->setGraphicsEffect(shadow);
    return label;
}

QToolButton* HeaderToggle(QWidget* parent, const QString& name, const QIcon& glyph,
                          const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(glyph);
    button->setIconSize(QSize(16, 16));
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setFixedSize(24, 23);
    return button;
}

/// The room all screens of the desktop leave for windows.
QSize AvailableDesktopSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableVirtualSize() : QSize(1024, 768);
}

/// A left-button release inside the widget: what a click on a label is.
bool IsLeftClickOn(const QWidget* widget, const QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease) {
        return false;
    }
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    return mouse->button() == Qt::LeftButton &&
           widget->rect().contains(mouse->position().toPoint());
}

/// A key press of the keyboard enters a window once, through its platform window, which then
/// hands it to the focused control (and that to its parents while they ignore it). Watching
/// that one entry runs each window key once per press, whatever has the focus, also when the
/// command it starts (a modal window) moves the focus while the key is still travelling up.
/// A dialog or a menu of the window has a platform window of its own and is not seen here.
bool IsKeyEnteringWindow(const QObject* receiver, const QWidget* window) {
    const QWindow* entry = window->windowHandle();
    return entry != nullptr && receiver == entry;
}

} // namespace

TfrmMain::TfrmMain(const std::string& programFolder, cDesktop& desktop, QWidget* parent)
    : TfrmMain(cProgramFiles{programFolder, programFolder}, desktop, {}, parent) {}

TfrmMain::TfrmMain(const cProgramFiles& files, cDesktop& desktop, const std::string& startFolder,
                   QWidget* parent)
    : QMainWindow(parent), m_Desktop(desktop), m_MessageRoute(desktop),
      m_ProgramFolder(AddTrailingBackslash(files.DataFolder)),
      m_DefaultFolder(AddTrailingBackslash(files.DefaultFolder)),
      m_StartFolder(AddTrailingBackslash(startFolder)) {
    // Keyboard preview: the window sees every key before the control that has the focus.
    qApp->installEventFilter(this);
    FormCreate();
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    // A search window still open (the window was destroyed without closing) goes with it.
    if (m_FindWindow) {
        disconnect(m_FindWindow, nullptr, this, nullptr);
        delete m_FindWindow;
    }
    // The controls outlive this object's own part while they are destroyed: nothing they
    // report from now on may reach it.
    for (QObject* sender : std::initializer_list<QObject*>{lstFolders, lstFolders->selectionModel(),
                                                           m_Pane, &m_Pane->Rows(), Splitter}) {
        disconnect(sender, nullptr, this, nullptr);
    }
    if (m_MountWatcher != nullptr) {
        disconnect(m_MountWatcher, nullptr, this, nullptr);
    }
    // A window destroyed without being closed (a failed start) writes no settings but still
    // releases the catalogue, so the file is unlocked.
    if (!m_Closed) {
        ReleaseSharedState();
    }
}

// ---- Controls ----------------------------------------------------------------------------

void TfrmMain::CreateControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral(" Tunaria"));
    setWindowIcon(ProgramIcon());

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CreateHeader());

    imgSeparator = new QFrame(central);
    imgSeparator->setObjectName(QStringLiteral("imgSeparator"));
    imgSeparator->setFixedHeight(1);
    imgSeparator->setAutoFillBackground(true);
    QPalette line = imgSeparator->palette();
    line.setColor(QPalette::Window, QColor(0x7A, 0x96, 0xC2));
    imgSeparator->setPalette(line);
    layout->addWidget(imgSeparator);

    m_Pane = new TSongListPane(m_State, *m_Settings, m_Desktop, this);
    m_Pane->UseGroupList(m_GroupList);
    connect(&m_Pane->Rows(), &TSongRows::SelectionChanged, this, &TfrmMain::lstSongsChange);
    connect(&m_Pane->Rows(), &TSongRows::Filled, this, [this] {
        ShowMostPopular();
        UpdateStatusBar();
        UpdateHeader();
    });
    connect(m_Pane, &TSongListPane::MostPopularChanged, this, &TfrmMain::ShowMostPopular);
    connect(m_Pane, &TSongListPane::SongsDeleted, this, [this] {
        UpdateHeader();
        UpdateStatusBar();
    });
    connect(m_Pane, &TSongListPane::SongsChanged, this, [this] {
        ShowMostPopular();
        UpdateStatusBar();
        UpdateHeader();
    });

    Splitter = new QSplitter(Qt::Horizontal, central);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setHandleWidth(5);
    Splitter->setChildrenCollapsible(false);
    Splitter->setOpaqueResize(true);
    Splitter->addWidget(CreateFolderPane());
    Splitter->addWidget(m_Pane);
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    connect(Splitter, &QSplitter::splitterMoved, this, [this] {
        m_State.Layout.FileBrowserPaneWidth =
            std::max(2, Splitter->sizes().value(0, m_State.Layout.FileBrowserPaneWidth));
    });
    layout->addWidget(Splitter, 1);
    setCentralWidget(central);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    StatusBarPanel = new QLabel(bar);
    StatusBarPanel->setObjectName(QStringLiteral("StatusBarPanel"));
    // A long line is cut at the bar's end rather than holding the window wide.
    StatusBarPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(StatusBarPanel, 1);
    StatusBarOffline = new QLabel(bar);
    StatusBarOffline->setObjectName(QStringLiteral("StatusBarOffline"));
    StatusBarOffline->setToolTip(
        tr("Songs whose folder cannot be reached now, such as on a drive that is not plugged "
           "in. They keep their counts and groups and come back when their folder is there."));
    StatusBarOffline->hide();
    bar->addPermanentWidget(StatusBarOffline);
    setStatusBar(bar);

    CreateMenus();
}

QWidget* TfrmMain::CreateHeader() {
    TopPanel = new QWidget(this);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setFixedHeight(kHeaderHeight);
    TopPanel->setAutoFillBackground(true);
    QPalette colours = TopPanel->palette();
    colours.setColor(QPalette::Window, kHeaderColour);
    TopPanel->setPalette(colours);
    TopPanel->installEventFilter(this);

    const QFont base = QApplication::font();
    imgLogo = new QLabel(TopPanel);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(HeaderLogoPixmap());
    imgLogo->setGeometry(6, 5, 75, 86);
    imgLogo->setCursor(Qt::PointingHandCursor);
    imgLogo->setToolTip(tr("About Tunaria (F1)"));
    imgLogo->installEventFilter(this);

    lblSelPath = HeaderLabel(TopPanel, QStringLiteral("lblSelPath"), SizedFont(base, 10, true));
    lblSelPath->setCursor(Qt::PointingHandCursor);
    lblSelPath->installEventFilter(this);
    lblFolderContents =
        HeaderLabel(TopPanel, QStringLiteral("lblFolderContents"), SizedFont(base, 9, false));

    imgMostPopular = new QLabel(TopPanel);
    imgMostPopular->setObjectName(QStringLiteral("imgMostPopular"));
    imgMostPopular->setPixmap(MostPopularPixmap());
    lblMostPopularCaption =
        HeaderLabel(TopPanel, QStringLiteral("lblMostPopularCaption"), SizedFont(base, 8, false));
    lblMostPopularCaption->setText(tr("This most popular song in view is:"));
    lblMostPopularFile =
        HeaderLabel(TopPanel, QStringLiteral("lblMostPopularFile"), SizedFont(base, 8, false));
    lblMostPopularFile->setText(tr("(not yet determined)"));
    lblMostPopularFile->setEnabled(false);
    lblMostPopularFile->installEventFilter(this);

    tbToggleFindWindow = HeaderToggle(TopPanel, QStringLiteral("tbToggleFindWindow"), SearchGlyph(),
                                      tr("Search for files (Ctrl+F)"));
    connect(tbToggleFindWindow, &QToolButton::clicked, this, &TfrmMain::tbToggleFindWindowClick);
    tbViewFoldersList = HeaderToggle(TopPanel, QStringLiteral("tbViewFoldersList"),
                                     FolderPaneGlyph(), tr("Toggle folder list (F4)"));
    tbViewFoldersList->setChecked(true);
    connect(tbViewFoldersList, &QToolButton::clicked, this, &TfrmMain::tbViewFoldersListClick);

    lblViewMode = HeaderLabel(TopPanel, QStringLiteral("lblViewMode"), SizedFont(base, 8, false));
    lblViewMode->setText(tr("View mode"));
    lblViewMode->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    fraViewMode = new TfraCategoriesList(TopPanel);
    fraViewMode->setObjectName(QStringLiteral("fraViewMode"));
    fraViewMode->Panel()->setToolTip(tr("Display song groups (F5)"));
    fraViewMode->ViewModesPicture()->setToolTip(tr("Display view modes (F6)"));
    connect(fraViewMode, &TfraCategoriesList::ViewModesClicked, this,
            &TfrmMain::fraViewModeimgViewModesClick);
    connect(fraViewMode, &TfraCategoriesList::PanelClicked, this, &TfrmMain::fraViewModePanelClick);
    PlaceHeaderControls();
    return TopPanel;
}

void TfrmMain::PlaceHeaderControls() {
    const int right = TopPanel->width() - 8;
    auto place = [&](QLabel* label, int left, int top) {
        const int height = label->sizeHint().height();
        label->setGeometry(left, top, std::max(10, right - left), height);
    };
    place(lblSelPath, 88, 6);
    place(lblFolderContents, 88, 22);
    imgMostPopular->setGeometry(94, 42, 16, 16);
    const int captionWidth = lblMostPopularCaption->sizeHint().width();
    lblMostPopularCaption->setGeometry(116, 42, captionWidth, 16);
    place(lblMostPopularFile, std::max(282, 116 + captionWidth + 6), 42);
    lblMostPopularFile->setFixedHeight(16);
    lblMostPopularCaption->setFixedHeight(16);

    tbToggleFindWindow->move(88, kSelectorTop);
    tbViewFoldersList->move(114, kSelectorTop);
    lblViewMode->setGeometry(142, kSelectorTop, kSelectorLeft - 6 - 142, 23);
    fraViewMode->setGeometry(kSelectorLeft, kSelectorTop,
                             std::max(40, TopPanel->width() - kSelectorLeft - 8), 23);
}

QWidget* TfrmMain::CreateFolderPane() {
    FileBrowserPanel = new QFrame(this);
    FileBrowserPanel->setObjectName(QStringLiteral("FileBrowserPanel"));
    FileBrowserPanel->setMinimumWidth(2);
    auto* outer = new QHBoxLayout(FileBrowserPanel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* title = new QLabel(tr(" Folder list"), FileBrowserPanel);
    title->setObjectName(QStringLiteral("lblFolderList"));
    title->setContentsMargins(2, 3, 2, 3);
    column->addWidget(title);
    auto* underline = new QFrame(FileBrowserPanel);
    underline->setFrameShape(QFrame::HLine);
    underline->setFrameShadow(QFrame::Sunken);
    column->addWidget(underline);

    lstFolders = new TFolderTree(m_Desktop, FileBrowserPanel);
    lstFolders->setObjectName(QStringLiteral("lstFolders"));
    lstFolders->setFrameShape(QFrame::NoFrame);
    lstFolders->setMinimumWidth(0);
    connect(lstFolders, &TFolderTree::SelectedFolderChanged, this, &TfrmMain::lstFoldersChange);
    connect(lstFolders, &TFolderTree::FilesDroppedOnFolder, this, &TfrmMain::lstFoldersDrop);
    connect(lstFolders, &TFolderTree::AddFolderTreeClicked, this,
            &TfrmMain::popFolders_AddTreeClick);
    column->addWidget(lstFolders, 1);
    outer->addLayout(column, 1);

    auto* edge = new QFrame(FileBrowserPanel);
    edge->setFrameShape(QFrame::VLine);
    edge->setFrameShadow(QFrame::Raised);
    outer->addWidget(edge);
    return FileBrowserPanel;
}

void TfrmMain::CreateMenus() {
    popViewModes = new QMenu(this);
    popViewModes->setObjectName(QStringLiteral("popViewModes"));
    auto* modes = new QActionGroup(this);
    modes->setExclusive(true);
    const char* names[3] = {"popViewModes_SelectedFolder", "popViewModes_SelectedFolderRecursively",
                            "popViewModes_EntireCollection"};
    for (int mode = 0; mode < 3; ++mode) {
        QAction* item = popViewModes->addAction(
            QString::fromUtf8(kViewModeCaptions[mode].data(),
                              static_cast<qsizetype>(kViewModeCaptions[mode].size())));
        item->setObjectName(QString::fromLatin1(names[mode]));
        item->setCheckable(true);
        item->setData(mode);
        modes->addAction(item);
        popViewModesItems[mode] = item;
    }
    popViewModesItems[0]->setChecked(true);
    connect(modes, &QActionGroup::triggered, this, &TfrmMain::popViewModes_EntireCollectionClick);

    popGroups = new TGroupsMenu(this);
    connect(popGroups->Filters(), &QActionGroup::triggered, this,
            &TfrmMain::popGroups_FilesWithoutGroupsClick);
    for (QAction* item : {popGroups->CreateGroupsPerAlbum(), popGroups->CreateGroupsPerArtist()}) {
        connect(item, &QAction::triggered, this,
                [this, item] { popGroups_CreateGroupsPerArtistClick(item); });
    }
    connect(popGroups->BarLimit(), &QAction::triggered, this, &TfrmMain::popGroups_BarLimitClick);
    connect(popGroups->Manage(), &QAction::triggered, this, &TfrmMain::popGroups_ManageClick);
}

// ---- Creation ----------------------------------------------------------------------------

void TfrmMain::FormCreate() {
    m_GroupFilePath = m_ProgramFolder + "Groups.txt";
    m_Settings = std::make_unique<cIniFile>(m_ProgramFolder + "Options.ini");
    // Every setting read from here to the end of LoadSettings comes from one reading of the
    // file (as the close writes it once), however large it is.
    const cIniFile::cSnapshot startUp(*m_Settings);
    m_State.Load(*m_Settings, m_DefaultFolder);
    CreateControls();

    // The frame as stored, never larger than the desktop; the window may land off the screen,
    // as it was left.
    const QSize desktop = AvailableDesktopSize();
    m_State.Layout.LimitSize(desktop.width(), desktop.height());
    const cWindowLayout& stored = m_State.Layout;
    move(stored.Left, stored.Top);
    resize(stored.Width, stored.Height);
    m_State.Layout.FileBrowserPaneWidth = std::max(2, stored.FileBrowserPaneWidth);
    PlaceSplitter();

    LoadSettings();
}

void TfrmMain::LoadSettings() {
    m_State.DisplayedSongs.Clear();
    if (!OpenSongsDatabase(m_ProgramFolder + "DB.txt")) {
        // The catalogue's own message has been shown; the program ends here.
        m_StartupFailed = true;
        return;
    }
    m_CatalogueOpen = true;
    // Drives plugged in while the program runs bring their songs back. Changes wait while the
    // catalogue is busy (a folder tree being added, a dialog open over the window).
    m_MountWatcher = new TMountWatcher(
        [this] {
            return !m_Closed && MasterSongList != nullptr && !m_ImportRunning &&
                   QApplication::activeModalWidget() == nullptr;
        },
        this);
    connect(m_MountWatcher, &TMountWatcher::MountsChanged, this, &TfrmMain::MountsChanged);
    bool groupFileRead = true;
    try {
        m_GroupList = LoadGroupList(m_GroupFilePath);
    } catch (const std::exception& error) {
        // An unreadable Groups.txt is reported like any error nobody handles; the program
        // starts with the groups its songs carry, and the file is left as it is.
        ApplicationEventsException(error.what());
        groupFileRead = false;
    }
    if (AddMissingGroups(m_GroupList, *MasterSongList) && groupFileRead) {
        StoreGroupList(m_GroupList, m_GroupFilePath);
    }

    if (m_State.Layout.ViewAsLargeIcons) {
        m_Pane->SetLargeIcons(true);
    }
    if (!m_State.Layout.FoldersListVisible) {
        tbViewFoldersList->setChecked(false);
        tbViewFoldersListClick();
    }
    m_Pane->Columns().BuildColumns();
    m_State.KeepGroupFilterValid(m_GroupList);
    UpdateFilterCaptions();
    BuildGroupsMenu();

    m_FolderTreeArmed = true;
    SetViewMode(m_State.ViewMode);
    // The tree reports the folder it selected (the nearest existing one), which fills the list.
    const std::string& first = m_StartFolder.empty() ? m_State.SelectedFolder : m_StartFolder;
    lstFolders->SelectFolder(PathToQString(first));
    m_Pane->ShownSongView()->setFocus();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_Activated) {
        PlaceSplitter();
    }
}

void TfrmMain::PlaceSplitter() {
    const int paneWidth = m_State.Layout.FileBrowserPaneWidth;
    const int total = Splitter->width() > 1 ? Splitter->width() : m_State.Layout.Width;
    Splitter->setSizes({paneWidth, std::max(1, total - paneWidth)});
}

bool TfrmMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        FormActivate();
    }
    return QMainWindow::event(event);
}

void TfrmMain::FormActivate() {
    if (m_Activated) {
        return;
    }
    // Now the frame is known: the stored size is the frame's, the window's own is smaller.
    ApplyStoredFrameSize();
    m_Activated = true;
}

void TfrmMain::ApplyStoredFrameSize() {
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    if (frameExtra != QSize(0, 0)) {
        resize(QSize(m_State.Layout.Width, m_State.Layout.Height) - frameExtra);
    }
}

// ---- Close -------------------------------------------------------------------------------

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (m_ImportRunning) {
        // The walk is writing the catalogue and holds its songs: it stops at the next folder,
        // and the window closes then.
        m_CloseAfterImport = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrmMain::FormResize() {
    if (StatusBarPanel != nullptr) {
        StatusBarPanel->update();
    }
}

void TfrmMain::FormClose() {
    if (m_Closed) {
        return;
    }
    m_Closed = true;
    if (!m_StartupFailed) {
        SaveSettings();
    }
    // The search window writes its own keys as it closes.
    if (m_FindWindow) {
        m_FindWindow->close();
    }
    ReleaseSharedState();
}

void TfrmMain::WriteSettingsWithoutClosing() {
    if (m_Closed || m_StartupFailed) {
        return;
    }
    SaveSettings();
    if (m_FindWindow) {
        m_FindWindow->SaveSettings();
    }
}

void TfrmMain::SaveSettings() {
    const QRect frame = frameGeometry();
    m_State.Layout.Left = frame.left();
    m_State.Layout.Top = frame.top();
    m_State.Layout.Height = frame.height();
    m_State.Layout.Width = frame.width();
    try {
        const std::vector<std::string> refused =
            m_State.Save(*m_Settings, m_Pane->Columns().ColumnWidths());
        if (!refused.empty()) {
            // The other settings were written; these keep the values of the last run.
            ShowErrorMessage("Some settings could not be saved: ", JoinStrings(refused, "; "));
        }
    } catch (const std::exception& error) {
        // Every later write would fail the same way; the program still closes.
        ShowErrorMessage("The settings could not be saved: ", error.what());
    }
}

void TfrmMain::ReleaseSharedState() {
    m_Pane->WatchFolder({});
    m_Pane->Rows().Clear();
    m_State.MostPopularSong = nullptr;
    m_State.DisplayedSongs.Clear();
    m_GroupList.Clear();
    if (m_CatalogueOpen) {
        FreeAllSongs();
        m_CatalogueOpen = false;
    }
}

void TfrmMain::BringToFront(const std::string& folder) {
    if (m_Closed || m_StartupFailed) {
        return;
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // A dialog works on the songs as they are listed: it stays in charge, and in sight.
    if (QWidget* dialog = QApplication::activeModalWidget(); dialog != nullptr) {
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    if (!folder.empty() && !m_ImportRunning) {
        lstFolders->SelectFolder(PathToQString(folder));
    }
}

// ---- State -------------------------------------------------------------------------------

std::string TfrmMain::SelectedFolderPath() const {
    const QString path = lstFolders->SelectedPath();
    if (path.isEmpty()) {
        return {};
    }
    return AddTrailingBackslash(QStringToPath(path));
}

void TfrmMain::SetGroupFilter(eGroupViewMode groupViewMode, const std::string& selectedGroup) {
    m_State.GroupViewMode = groupViewMode;
    m_State.SelectedGroup = selectedGroup;
    UpdateFilterCaptions();
}

void TfrmMain::SetViewMode(eViewMode mode) {
    m_State.ViewMode = mode;
    popViewModesItems[static_cast<int>(mode)]->setChecked(true);
    UpdateFilterCaptions();
}

void TfrmMain::UpdateFilterCaptions() {
    fraViewMode->SetSelectorCaption(TextToQString(m_State.FilterLabel()));
    m_Pane->UpdateActiveGroupCaption();
}

// The three texts written after every fill.

void TfrmMain::ShowMostPopular() {
    const bool known = m_State.MostPopularSong != nullptr;
    lblMostPopularFile->setText(PathToQString(MostPopularCaption(m_State.MostPopularSong)));
    lblMostPopularFile->setEnabled(known);
    QFont font = lblMostPopularFile->font();
    font.setUnderline(known);
    lblMostPopularFile->setFont(font);
    // Only a label that can be clicked shows the hand.
    lblMostPopularFile->setCursor(known ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TfrmMain::UpdateStatusBar() {
    RunReportingErrors("In UpdateStatusBar (): ", [this] {
        StatusBarPanel->setText(QString::fromStdString(m_Pane->StatusBarText()));
    });
    const std::string offline = OfflineSongsCaption(OfflineSongs.Count());
    StatusBarOffline->setText(QString::fromStdString(offline));
    StatusBarOffline->setVisible(!offline.empty());
}

void TfrmMain::UpdateHeader() {
    lblSelPath->setText(PathToQString(SelectedFolderCaption(m_State.SelectedFolder)));
    lblFolderContents->setText(QString::fromStdString(
        FolderContentsCaption(m_State.DisplayedSongs.Count(), m_GroupList.Count())));
}

// ---- Handlers ----------------------------------------------------------------------------

void TfrmMain::lstSongsChange() {
    RunReportingErrors("In TfrmMain.lstSongsChange: ", [this] {
        UpdateStatusBar();
        m_Pane->UpdateSongCommands();
    });
}

void TfrmMain::lstFoldersChange() {
    m_State.SelectedFolder = SelectedFolderPath();
    m_Pane->WatchFolder(m_State.SelectedFolder);
    // While a tree is being added, its end populates the list.
    if (!m_FolderTreeArmed || !MasterSongList || m_ImportRunning) {
        return;
    }
    if (!m_State.SelectedFolder.empty()) {
        // Songs kept aside below the folder whose drive is back come back with their counts.
        ReviveOfflineSongsUnder(m_State.SelectedFolder);
        ScanFolder(m_State.SelectedFolder);
    }
    // A search result gives way to the folder's songs.
    m_State.ReturnToView(MasterSongList);
    m_Pane->Rows().Fill();
}

void TfrmMain::MountsChanged(const std::vector<std::string>& mountPoints) {
    if (m_Closed || MasterSongList == nullptr || m_ImportRunning) {
        return;
    }
    ShowRevivedSongs(ReviveOfflineSongsAfterMounts(mountPoints));
}

void TfrmMain::ShowRevivedSongs(const std::vector<cSongInfo*>& revived) {
    const std::vector<cSongInfo*> shown = m_State.ShowJoinedSongs(revived);
    if (!shown.empty()) {
        m_Pane->Rows().AddSongs(shown);
        m_State.MostPopularSong = FindMostPopular(m_State.DisplayedSongs.Items());
        ShowMostPopular();
        UpdateHeader();
    }
    UpdateStatusBar();
}

void TfrmMain::BuildGroupsMenu() {
    popGroups->BuildGroupsMenu(m_GroupList, m_State.GroupViewMode, m_State.SelectedGroup,
                               m_State.BarBreakLimit);
}

void TfrmMain::fraViewModePanelClick() {
    fraViewMode->MouseLeft();
    popGroups->Popup(QCursor::pos());
}

void TfrmMain::popGroups_FilesWithoutGroupsClick(QAction* item) {
    eGroupViewMode mode = m_State.GroupViewMode;
    std::string group = m_State.SelectedGroup;
    if (!popGroups->FilterOfEntry(item, mode, group)) {
        return;
    }
    SetGroupFilter(mode, group);
    m_Pane->Rows().Populate();
}

void TfrmMain::popGroups_CreateGroupsPerArtistClick(QAction* item) {
    const eGroupKey key =
        item == popGroups->CreateGroupsPerAlbum() ? eGroupKey::Album : eGroupKey::Artist;
    // The rows as shown, first to last. A failure has been reported; the group list may have
    // gained names even then.
    const bool grouped =
        CreateGroupsPerKey(key, m_Pane->Rows().Songs(), m_GroupList, m_GroupFilePath);
    BuildGroupsMenu();
    m_Pane->Rows().Fill();
    if (grouped) {
        m_Desktop.ShowInformationBox(tr("Finished"), tr("Done, files have been grouped."));
    }
}

void TfrmMain::popGroups_BarLimitClick() {
    TfrmBarBreak window(m_State.BarBreakLimit, this);
    if (m_Desktop.RunDialog(window) == QDialog::Accepted) {
        m_State.BarBreakLimit = std::max(1, window.BarBreakLimit());
        BuildGroupsMenu();
    }
}

void TfrmMain::popGroups_ManageClick() {
    if (!MasterSongList) {
        return;
    }
    ShowManageGroups(m_GroupList, m_GroupFilePath, *MasterSongList, m_Desktop, this);
    m_Pane->Rows().Fill();
    BuildGroupsMenu();
}

void TfrmMain::lstFoldersDrop(const std::vector<std::string>& paths, const QString& folder) {
    m_Pane->CopyFilesIntoFolderAndList(paths, AddTrailingBackslash(QStringToPath(folder)));
}

void TfrmMain::popFolders_AddTreeClick(const QString& folder) {
    if (!m_FolderTreeArmed || !MasterSongList || m_ImportRunning || folder.isEmpty()) {
        return;
    }
    cImportResult result;
    // Songs join the master list at its end: those from this slot on are the walk's.
    const int firstNew = MasterSongList->Count();
    {
        const std::unique_ptr<cProgressWindow> progress =
            m_Desktop.ShowProgress(tr("Adding folders to the collection"));
        m_ImportRunning = true;
        m_Pane->RefuseDrops(true);
        // Also when the walk throws.
        const auto walkOver = qScopeGuard([this] {
            m_ImportRunning = false;
            m_Pane->RefuseDrops(false);
        });
        const auto reportProgress = [this, &progress](const cImportProgress& now) {
            return progress->Report(PathToQString(ImportProgressText(now))) && !m_CloseAfterImport;
        };
        result = ImportFolderTree(QStringToPath(folder), reportProgress);
    }
    if (m_CloseAfterImport) {
        close();
        return;
    }
    if (const std::string report = ImportReportText(result); !report.empty()) {
        m_Desktop.ShowMessage(PathToQString(report));
    }
    m_Pane->Rows().Populate();
    // Said where the counts of the list are, until the list's selection changes: the list
    // alone may not show what was added.
    const bool outOfSight = m_State.NewSongsOutsideSelectedFolder(*MasterSongList, firstNew);
    StatusBarPanel->setText(QString::fromStdString(
        " " + FolderTreeAddedText(result.SongsFound, result.FoldersDone, outOfSight)));
}

void TfrmMain::popViewModes_EntireCollectionClick(QAction* item) {
    SetViewMode(ViewModeFromStored(item->data().toInt()));
    m_Pane->Rows().Populate();
}

void TfrmMain::fraViewModeimgViewModesClick() {
    PopupAtCursor(popViewModes);
}

void TfrmMain::tbViewFoldersListClick() {
    m_State.Layout.FoldersListVisible = tbViewFoldersList->isChecked();
    ShowFolderPane(m_State.Layout.FoldersListVisible);
}

void TfrmMain::ShowFolderPane(bool shown) {
    if (shown == FileBrowserPanel->isVisibleTo(this)) {
        return;
    }
    // Hiding the pane hides the splitter's handle with it; showing it puts the handle back at
    // the pane's right edge, with the pane as wide as before.
    FileBrowserPanel->setVisible(shown);
    if (shown) {
        PlaceSplitter();
    }
}

void TfrmMain::lblMostPopularFileClick() {
    cSongInfo* song = m_State.MostPopularSong;
    if (song == nullptr) {
        return;
    }
    m_Desktop.OpenDocument(PathToQString(song->FileName()));
    // A failed write is reported by the catalogue; the count still shows for this run.
    CountSongOpening(*song);
    ShowMostPopular();
    m_Pane->Rows().RefreshSong(song);
}

void TfrmMain::lblSelPathClick() {
    if (!m_State.SelectedFolder.empty()) {
        m_Desktop.OpenDocument(PathToQString(m_State.SelectedFolder));
    }
}

void TfrmMain::tbToggleFindWindowClick() {
    if (!tbToggleFindWindow->isChecked()) {
        if (m_FindWindow) {
            m_FindWindow->close();
        }
        return;
    }
    if (!m_FindWindow) {
        m_FindWindow = new TfrmFindSong(
            m_State, *m_Settings, [this] { m_Pane->Rows().Fill(); }, &ApplicationEventsException,
            this);
        connect(m_FindWindow, &TfrmFindSong::FormClosed, this, &TfrmMain::FindWindowClosed);
    }
    m_FindWindow->show();
    m_FindWindow->raise();
    m_FindWindow->activateWindow();
}

TfrmFindSong* TfrmMain::FindWindow() const {
    return m_FindWindow;
}

void TfrmMain::FindWindowClosed() {
    tbToggleFindWindow->setChecked(false);
    m_FindWindow = nullptr;
    // The list showed a search result: the view comes back. Not while this window closes, as
    // the list is emptied then.
    if (m_State.SearchResultShown() && !m_Closed) {
        m_Pane->Rows().Populate();
    }
}

void TfrmMain::FormKeyDown(const QKeyEvent& key) {
    const bool plain =
        (key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) ==
        Qt::NoModifier;
    switch (key.key()) {
    case Qt::Key_F:
        if (key.modifiers().testFlag(Qt::ControlModifier)) {
            tbToggleFindWindow->setChecked(!tbToggleFindWindow->isChecked());
            tbToggleFindWindowClick();
        }
        break;
    case Qt::Key_F1:
        if (plain) {
            ShowAbout();
        }
        break;
    case Qt::Key_F4:
        if (plain) {
            tbViewFoldersList->setChecked(!tbViewFoldersList->isChecked());
            tbViewFoldersListClick();
        }
        break;
    case Qt::Key_F5:
        if (plain) {
            fraViewModePanelClick();
        }
        break;
    case Qt::Key_F6:
        if (plain) {
            fraViewModeimgViewModesClick();
        }
        break;
    case Qt::Key_M:
        if (key.modifiers().testFlag(Qt::ControlModifier)) {
            popGroups->Manage()->trigger();
        }
        break;
    default:
        break;
    }
}

void TfrmMain::ShowAbout() {
    TfrmAbout about(this);
    m_Desktop.RunDialog(about);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && IsKeyEnteringWindow(watched, this)) {
        FormKeyDown(*static_cast<const QKeyEvent*>(event));
        return false;
    }
    // Filters are installed while the controls are being made: later ones may not exist yet.
    if (watched == TopPanel && event->type() == QEvent::Resize) {
        PlaceHeaderControls();
    } else if (watched == imgLogo && event->type() == QEvent::MouseButtonRelease) {
        ShowAbout();
        return true;
    } else if ((watched == lblMostPopularFile || watched == lblSelPath) &&
               IsLeftClickOn(static_cast<QWidget*>(watched), event)) {
        if (watched == lblSelPath) {
            lblSelPathClick();
        } else if (lblMostPopularFile->isEnabled()) {
            lblMostPopularFileClick();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
