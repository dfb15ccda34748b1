#include "browser/unitMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyleOptionHeader>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "browser/unitAbout.h"
#include "browser/unitApplication.h"
#include "browser/unitArt.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListView.h"
#include "browser/unitStatusTexts.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongUtils.h"
#include "groups/unitCategoriesFrame.h"
#include "groups/unitGroupList.h"
#include "util/unitFolderTree.h"
#include "util/unitGuiText.h"
#include "util/unitIniFile.h"
#include "util/unitListViewUtils.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"

namespace {

constexpr char kMainSection[] = "MainWindow";
constexpr char kColumnsSection[] = "MainWindow.VisibleColumns";
constexpr char kWidthsSection[] = "MainWindow.SongsList";

constexpr int kDefaultLeft = 54;
constexpr int kDefaultTop = 36;
constexpr int kDefaultWidth = 674;
constexpr int kDefaultHeight = 509;
constexpr int kDefaultPaneWidth = 153;
constexpr int kHeaderHeight = 96;
constexpr int kNewColumnWidth = 50;
/// Cells that give a new Date or Size column its width: a date with wide digits in every part,
/// and a size of a few hundred megabytes.
constexpr double kSampleDate = 47115.0 + (20 * 3600 + 58 * 60 + 58) / 86400.0; // 2028-12-28
constexpr int64_t kSampleSize = 999'999'999;
constexpr int kSelectorLeft = 224;
constexpr int kSelectorTop = 64;

const QColor kHeaderColour(0xAD, 0xC7, 0xEF);
const QColor kBandColour(0x52, 0x97, 0xF9);

const std::vector<std::string> kDefaultColumns = {"FileName", "Date", "Size", "Views", "Groups"};

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

/// A left-button release inside the widget: what a click on a label is.
bool IsLeftClickOn(const QWidget* widget, const QEvent* event) {
    if (event->type() != QEvent::MouseButtonRelease) {
        return false;
    }
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    return mouse->button() == Qt::LeftButton &&
           widget->rect().contains(mouse->position().toPoint());
}

/// The selected rows of the list, carried by the window across a new order of the rows.
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
        if (m_Marks.empty()) {
            return;
        }
        const auto first = m_Marks.begin();
        if (to < from) {
            std::rotate(first + to, first + from, first + from + 1);
        } else if (to > from) {
            std::rotate(first + from, first + from + 1, first + to + 1);
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

} // namespace

TfrmMain::TfrmMain(const std::string& programFolder, cDesktop& desktop, QWidget* parent)
    : QMainWindow(parent), m_Desktop(desktop), m_MessageRoute(desktop),
      m_ProgramFolder(AddTrailingBackslash(programFolder)) {
    CreateControls();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    // The controls outlive this object's own part while they are destroyed: nothing they
    // report from now on may reach it.
    for (QObject* sender : std::initializer_list<QObject*>{lstFolders, lstFolders->selectionModel(),
                                                           lstSongs->header(),
                                                           lstSongs->selectionModel(), Splitter}) {
        disconnect(sender, nullptr, this, nullptr);
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

    Splitter = new QSplitter(Qt::Horizontal, central);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    Splitter->setHandleWidth(5);
    Splitter->setChildrenCollapsible(false);
    Splitter->setOpaqueResize(true);
    Splitter->addWidget(CreateFolderPane());
    Splitter->addWidget(CreateListPanel());
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    connect(Splitter, &QSplitter::splitterMoved, this,
            [this] { m_PaneWidth = std::max(2, Splitter->sizes().value(0, m_PaneWidth)); });
    layout->addWidget(Splitter, 1);
    setCentralWidget(central);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    StatusBarPanel = new QLabel(bar);
    StatusBarPanel->setObjectName(QStringLiteral("StatusBarPanel"));
    // A long line is cut at the bar's end rather than holding the window wide.
    StatusBarPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(StatusBarPanel, 1);
    setStatusBar(bar);

    CreateMenus();
    CreateKeys();
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
    column->addWidget(lstFolders, 1);
    outer->addLayout(column, 1);

    auto* edge = new QFrame(FileBrowserPanel);
    edge->setFrameShape(QFrame::VLine);
    edge->setFrameShadow(QFrame::Raised);
    outer->addWidget(edge);
    return FileBrowserPanel;
}

QWidget* TfrmMain::CreateListPanel() {
    ListPanel = new QWidget(this);
    ListPanel->setObjectName(QStringLiteral("ListPanel"));
    ListPanel->setMinimumWidth(1);
    auto* outer = new QHBoxLayout(ListPanel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* greyBar = new QFrame(ListPanel);
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

    pnlActiveGroup = new QLabel(ListPanel);
    pnlActiveGroup->setObjectName(QStringLiteral("pnlActiveGroup"));
    pnlActiveGroup->setFixedHeight(21);
    pnlActiveGroup->setAutoFillBackground(true);
    pnlActiveGroup->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnlActiveGroup->setFont(SizedFont(QApplication::font(), 10, true));
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
    SongViews = new QStackedWidget(ListPanel);
    SongViews->setObjectName(QStringLiteral("SongViews"));

    lstSongs = new QTreeView(SongViews);
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
    lstSongs->header()->setMinimumSectionSize(16);
    // A click on a header sorts; the headers carry no mark of the sort column or direction.
    lstSongs->header()->setSectionsClickable(true);
    lstSongs->header()->setSortIndicatorShown(false);
    connect(lstSongs->header(), &QHeaderView::sectionClicked, this, &TfrmMain::lstSongsColumnClick);
    lstSongs->setContextMenuPolicy(Qt::CustomContextMenu);
    lstSongs->viewport()->installEventFilter(this);
    KeepSelectionVisible(lstSongs);
    connect(lstSongs->header(), &QHeaderView::sectionResized, this, [this](int column, int, int) {
        // A fixed column dragged wider or narrower: the auto-sized ones follow.
        if (!m_SharingWidths && column < static_cast<int>(m_VisibleColumns.size()) &&
            !IsAutoSizedColumn(ColumnFromName(m_VisibleColumns[column]))) {
            ShareAutoSizedColumnWidths();
        }
    });

    lstSongsIcons = new QListView(SongViews);
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

    SongViews->addWidget(lstSongs);
    SongViews->addWidget(lstSongsIcons);
    column->addWidget(SongViews, 1);
    outer->addLayout(column, 1);

    connect(lstSongs->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmMain::lstSongsChange);
    return ListPanel;
}

void TfrmMain::CreateMenus() {
    popSongsList = new QMenu(this);
    popSongsList->setObjectName(QStringLiteral("popSongsList"));
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
    connect(styles, &QActionGroup::triggered, this, &TfrmMain::popSongsList_ViewDetailsClick);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lstSongs),
                                    static_cast<QAbstractItemView*>(lstSongsIcons)}) {
        connect(view, &QWidget::customContextMenuRequested, this,
                [this] { PopupAtCursor(popSongsList); });
    }

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
}

void TfrmMain::CreateKeys() {
    auto* about = new QAction(this);
    about->setObjectName(QStringLiteral("actAbout"));
    about->setShortcut(Qt::Key_F1);
    connect(about, &QAction::triggered, this, &TfrmMain::ShowAbout);
    addAction(about);

    auto* folders = new QAction(this);
    folders->setObjectName(QStringLiteral("actToggleFolders"));
    folders->setShortcut(Qt::Key_F4);
    connect(folders, &QAction::triggered, this, [this] {
        tbViewFoldersList->setChecked(!tbViewFoldersList->isChecked());
        tbViewFoldersListClick();
    });
    addAction(folders);
}

// ---- Creation ----------------------------------------------------------------------------

void TfrmMain::FormCreate() {
    m_GroupFilePath = m_ProgramFolder + "Groups.txt";
    m_Settings = std::make_unique<cIniFile>(m_ProgramFolder + "Options.ini");

    // The frame as stored; the window may land off the screen, as it was left.
    const int left = m_Settings->ReadInteger(kMainSection, "Left", kDefaultLeft);
    const int top = m_Settings->ReadInteger(kMainSection, "Top", kDefaultTop);
    const int height = m_Settings->ReadInteger(kMainSection, "Height", kDefaultHeight);
    const int width = m_Settings->ReadInteger(kMainSection, "Width", kDefaultWidth);
    move(left, top);
    m_StoredFrameSize = QSize(width, height);
    resize(m_StoredFrameSize);

    m_PaneWidth = std::max(
        2, m_Settings->ReadInteger(kMainSection, "FileBrowserPaneWidth", kDefaultPaneWidth));
    Splitter->setSizes({m_PaneWidth, std::max(1, width - m_PaneWidth)});

    LoadSettings();
}

void TfrmMain::LoadSettings() {
    m_DisplayedSongs.Clear();
    if (!OpenSongsDatabase(m_ProgramFolder + "DB.txt")) {
        // The catalogue's own message has been shown; the program ends here.
        m_StartupFailed = true;
        return;
    }
    m_CatalogueOpen = true;
    m_GroupList = std::make_unique<cGroupList>();
    try {
        *m_GroupList = LoadGroupList(m_GroupFilePath);
    } catch (const std::exception& error) {
        // An unreadable Groups.txt is reported like any error nobody handles; the program
        // starts with no groups.
        ApplicationEventsException(error.what());
    }

    if (m_Settings->ReadBool(kMainSection, "ViewAsLargeIcons", false)) {
        popSongsList_ViewLargeIcons->trigger();
    }
    if (!m_Settings->ReadBool(kMainSection, "FoldersListVisible", true)) {
        tbViewFoldersList->setChecked(false);
        tbViewFoldersListClick();
    }

    m_VisibleColumns = m_Settings->ReadSectionKeys(kColumnsSection);
    if (m_VisibleColumns.empty()) {
        m_VisibleColumns = kDefaultColumns;
    }
    BuildColumns();

    m_SortOrder = SortOrderFromSettings(m_VisibleColumns,
                                        m_Settings->ReadInteger(kMainSection, "SortColumn", 0),
                                        m_Settings->ReadBool(kMainSection, "SortReversed", false));

    m_BarBreakLimit = m_Settings->ReadInteger(kMainSection, "BarBreakLimit", 24);
    m_GroupViewMode = ModeOrDefault(
        m_Settings->ReadInteger(kMainSection, "LastGroupViewMode", kGroupAll), kGroupAll);
    m_SelectedGroup = m_Settings->ReadString(kMainSection, "LastSelGroup", "");
    if (m_GroupViewMode == kGroupOne && !GroupListHolds(m_SelectedGroup)) {
        m_GroupViewMode = kGroupAll;
    }
    UpdateFilterCaptions();

    m_FolderTreeArmed = true;
    SetViewMode(ModeOrDefault(m_Settings->ReadInteger(kMainSection, "ViewMode", 0), 0));

    const std::string folder = AddTrailingBackslash(
        m_Settings->ReadString(kMainSection, "FoldersListPath", m_ProgramFolder));
    lstFolders->SelectFolder(PathToQString(folder));
    SongViews->currentWidget()->setFocus();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_Activated) {
        Splitter->setSizes({m_PaneWidth, std::max(1, Splitter->width() - m_PaneWidth)});
    }
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
    ShareAutoSizedColumnWidths();
    m_Activated = true;
}

void TfrmMain::ApplyStoredFrameSize() {
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    if (frameExtra != QSize(0, 0)) {
        resize(m_StoredFrameSize - frameExtra);
    }
}

// ---- Close -------------------------------------------------------------------------------

void TfrmMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfrmMain::FormClose() {
    if (m_Closed) {
        return;
    }
    m_Closed = true;
    if (!m_StartupFailed) {
        try {
            SaveSettings();
        } catch (const std::exception& error) {
            // Every later write would fail the same way; the program still closes.
            ShowErrorMessage("The settings could not be saved: ", error.what());
        }
    }
    ReleaseSharedState();
}

void TfrmMain::SaveSettings() {
    // All keys reach the file in one replacement: a failure or a crash on the way leaves the
    // settings of the last run whole, never half of each.
    cIniFile& ini = *m_Settings;
    cIniFile::cBatch batch(ini);
    ini.WriteInteger(kMainSection, "FileBrowserPaneWidth", FileBrowserPaneWidth());
    ini.WriteString(kMainSection, "FoldersListPath", SelectedFolderPath());
    ini.WriteBool(kMainSection, "ViewAsLargeIcons", LargeIconsShown());
    SaveColumnWidths();
    ini.WriteInteger(kMainSection, "SortColumn", SortColumn());
    ini.WriteBool(kMainSection, "SortReversed", m_SortOrder.Reversed);
    ini.WriteBool(kMainSection, "FoldersListVisible", FoldersListShown());
    ini.EraseSection(kColumnsSection);
    for (const std::string& name : m_VisibleColumns) {
        ini.WriteBool(kColumnsSection, name, true);
    }
    ini.WriteInteger(kMainSection, "BarBreakLimit", m_BarBreakLimit);
    ini.WriteInteger(kMainSection, "ViewMode", m_ViewMode);
    ini.WriteInteger(kMainSection, "LastGroupViewMode", m_GroupViewMode);
    ini.WriteString(kMainSection, "LastSelGroup", m_SelectedGroup);
    const QRect frame = frameGeometry();
    ini.WriteInteger(kMainSection, "Left", frame.left());
    ini.WriteInteger(kMainSection, "Top", frame.top());
    ini.WriteInteger(kMainSection, "Height", frame.height());
    ini.WriteInteger(kMainSection, "Width", frame.width());
    batch.Commit();
}

void TfrmMain::ReleaseSharedState() {
    if (m_Model) {
        setUpdatesEnabled(false);
        m_Model->Clear();
        setUpdatesEnabled(true);
    }
    m_MostPopularSong = nullptr;
    m_DisplayedSongs.Clear();
    m_DisplayedBytes = 0;
    m_DisplayedBytesStale = false;
    m_GroupList.reset();
    if (m_CatalogueOpen) {
        FreeAllSongs();
        m_CatalogueOpen = false;
    }
}

// ---- State -------------------------------------------------------------------------------

bool TfrmMain::LargeIconsShown() const {
    return popSongsList_ViewLargeIcons->isChecked();
}

bool TfrmMain::FoldersListShown() const {
    return tbViewFoldersList->isChecked();
}

int TfrmMain::FileBrowserPaneWidth() const {
    return m_PaneWidth;
}

void TfrmMain::SetGroupFilter(int groupViewMode, const std::string& selectedGroup) {
    m_GroupViewMode = ModeOrDefault(groupViewMode, kGroupAll);
    m_SelectedGroup = selectedGroup;
}

int TfrmMain::GroupCount() const {
    return m_GroupList ? m_GroupList->Count() : 0;
}

bool TfrmMain::GroupListHolds(const std::string& name) const {
    return m_GroupList && m_GroupList->Contains(name);
}

std::string TfrmMain::SelectedFolderPath() const {
    const QString path = lstFolders->SelectedPath();
    if (path.isEmpty()) {
        return {};
    }
    return AddTrailingBackslash(QStringToPath(path));
}

// ---- The song list -----------------------------------------------------------------------

void TfrmMain::PopulateSongList() {
    std::vector<SongCriterion> criteria;
    cSongPointersList result;
    if (MasterSongList && ViewCriteria(m_GroupViewMode, m_SelectedGroup, m_ViewMode,
                                       SelectedFolderPath(), criteria)) {
        result = QuerySongs(criteria, MasterSongList);
    }
    m_DisplayedSongs.Items() = std::move(result.Items());
    FillSongList();
}

void TfrmMain::FillSongList() {
    // In the displayed song list's order (master-list order), whatever the rows' order.
    m_MostPopularSong = FindMostPopular(m_DisplayedSongs.Items());
    m_DisplayedBytes = TotalOfSongs(m_DisplayedSongs.Items()).Bytes;
    m_DisplayedBytesStale = false;
    // The rows arrive sorted: the views lay them out once, in their final order.
    std::vector<cSongInfo*> rows = m_DisplayedSongs.Items();
    SortSongRows(rows, m_SortOrder.Kind(), m_SortOrder.Reversed);
    m_Model->SetSongs(std::move(rows));
    SelectListItem(lstSongs, 0, [this] { lstSongsChange(); });
    ShowMostPopular();
    UpdateStatusBar();
    UpdateHeader();
}

void TfrmMain::AddSongItem(cSongInfo* song) {
    m_Model->AppendSong(song);
    FillListItem(m_Model->rowCount() - 1);
}

void TfrmMain::FillListItem(int row) {
    if (m_Model->Song(row) == nullptr) {
        return;
    }
    m_Model->RefreshRow(row);
    // The song's size may have changed with it.
    m_DisplayedBytesStale = true;
    if (m_SongListUpdates > 0) {
        m_SortPending = true;
        return;
    }
    // The other rows are in order: only this one may have to move.
    const int place =
        SortedPositionOfRow(m_Model->Songs(), row, m_SortOrder.Kind(), m_SortOrder.Reversed);
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

void TfrmMain::BeginSongListUpdate() {
    ++m_SongListUpdates;
}

void TfrmMain::EndSongListUpdate() {
    if (m_SongListUpdates == 0 || --m_SongListUpdates > 0) {
        return;
    }
    if (std::exchange(m_SortPending, false)) {
        SortSongList();
    }
}

int TfrmMain::lstSongsCompare(const cSongInfo& a, const cSongInfo& b) const {
    return CompareSongs(a, b, m_SortOrder.Kind(), m_SortOrder.Reversed);
}

void TfrmMain::lstSongsColumnClick(int column) {
    const std::vector<std::string>& captions = m_Model->ColumnNames();
    if (column < 0 || column >= static_cast<int>(captions.size())) {
        return;
    }
    ClickSortColumn(m_SortOrder, captions[static_cast<size_t>(column)]);
    SortSongList();
}

void TfrmMain::SortSongList() {
    const std::vector<int> order =
        SortedRowOrder(m_Model->Songs(), m_SortOrder.Kind(), m_SortOrder.Reversed);
    cSelectedRows marks(lstSongs->selectionModel());
    m_Model->SetRowOrder(order);
    marks.Reorder(order);
    marks.SelectAgain();
    // The focused song stays in sight at its new place.
    if (ShownSongView()->currentIndex().isValid()) {
        ShownSongView()->scrollTo(ShownSongView()->currentIndex());
    }
}

QAbstractItemView* TfrmMain::ShownSongView() const {
    return static_cast<QAbstractItemView*>(SongViews->currentWidget());
}

void TfrmMain::BuildColumns() {
    lstSongs->setUpdatesEnabled(false);
    m_SharingWidths = true;
    m_Model->SetColumns(m_VisibleColumns);
    for (int column = 0; column < m_Model->columnCount(); ++column) {
        lstSongs->header()->resizeSection(column, NewColumnWidth(column));
    }
    ReadColumnWidths(kWidthsSection, lstSongs, *m_Settings);
    // A sort column no longer shown gives way to the first column, ascending.
    FollowVisibleColumns(m_SortOrder, m_VisibleColumns);
    m_SharingWidths = false;
    ShareAutoSizedColumnWidths();
    lstSongs->setUpdatesEnabled(true);
}

int TfrmMain::NewColumnWidth(int column) const {
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
    switch (ColumnFromName(m_VisibleColumns[static_cast<size_t>(column)])) {
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

void TfrmMain::SaveColumnWidths() {
    WriteColumnWidths(kWidthsSection, lstSongs, *m_Settings);
}

void TfrmMain::ShareAutoSizedColumnWidths() {
    QHeaderView* header = lstSongs->header();
    const int count = header->count();
    std::vector<int> widths(static_cast<size_t>(count));
    std::vector<bool> autoSized(static_cast<size_t>(count));
    bool anyAutoSized = false;
    for (int column = 0; column < count; ++column) {
        widths[column] = header->sectionSize(column);
        autoSized[column] = column < static_cast<int>(m_VisibleColumns.size()) &&
                            IsAutoSizedColumn(ColumnFromName(m_VisibleColumns[column]));
        anyAutoSized = anyAutoSized || autoSized[column];
    }
    if (!anyAutoSized) {
        return;
    }
    const std::vector<int> shared = SharedColumnWidths(
        widths, autoSized, lstSongs->viewport()->width(), header->minimumSectionSize());
    m_SharingWidths = true;
    for (int column = 0; column < count; ++column) {
        if (shared[column] != widths[column]) {
            header->resizeSection(column, shared[column]);
        }
    }
    m_SharingWidths = false;
}

void TfrmMain::SetViewMode(int mode) {
    m_ViewMode = ModeOrDefault(mode, kViewSelectedFolder);
    popViewModesItems[m_ViewMode]->setChecked(true);
    UpdateFilterCaptions();
}

void TfrmMain::UpdateFilterCaptions() {
    fraViewMode->SetSelectorCaption(TextToQString(FilterLabel(m_GroupViewMode, m_SelectedGroup)));
    pnlActiveGroup->setText(
        TextToQString(ActiveGroupCaption(m_GroupViewMode, m_SelectedGroup, m_ViewMode)));
}

// The three texts written after every fill.

void TfrmMain::ShowMostPopular() {
    const bool known = m_MostPopularSong != nullptr;
    lblMostPopularFile->setText(PathToQString(MostPopularCaption(m_MostPopularSong)));
    lblMostPopularFile->setEnabled(known);
    QFont font = lblMostPopularFile->font();
    font.setUnderline(known);
    lblMostPopularFile->setFont(font);
    // Only a label that can be clicked shows the hand.
    lblMostPopularFile->setCursor(known ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TfrmMain::OfferMostPopular(cSongInfo* song) {
    if (::OfferMostPopular(m_MostPopularSong, song)) {
        ShowMostPopular();
    }
}

void TfrmMain::UpdateStatusBar() {
    try {
        StatusBarPanel->setText(QString::fromStdString(ComposeStatusBarText()));
    } catch (const std::exception& error) {
        ShowErrorMessage("In UpdateStatusBar (): ", error.what());
    }
}

std::string TfrmMain::ComposeStatusBarText() {
    if (m_DisplayedBytesStale) {
        m_DisplayedBytes = TotalOfSongs(m_DisplayedSongs.Items()).Bytes;
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
    return StatusBarText(selected, m_Model->rowCount(), m_DisplayedBytes,
                         locale.decimalPoint().toStdString(),
                         locale.groupSeparator().toStdString());
}

void TfrmMain::UpdateHeader() {
    lblSelPath->setText(PathToQString(SelectedFolderCaption(SelectedFolderPath())));
    lblFolderContents->setText(
        QString::fromStdString(FolderContentsCaption(m_DisplayedSongs.Count(), GroupCount())));
}

void TfrmMain::lstSongsChange() {
    UpdateStatusBar();
}

// ---- Handlers ----------------------------------------------------------------------------

void TfrmMain::lstFoldersChange() {
    if (!m_FolderTreeArmed || !MasterSongList) {
        return;
    }
    m_SearchResultShown = false;
    const std::string folder = SelectedFolderPath();
    if (!folder.empty()) {
        ScanFolder(folder);
    }
    PopulateSongList();
}

void TfrmMain::popViewModes_EntireCollectionClick(QAction* item) {
    SetViewMode(item->data().toInt());
    PopulateSongList();
}

void TfrmMain::fraViewModeimgViewModesClick() {
    PopupAtCursor(popViewModes);
}

void TfrmMain::tbViewFoldersListClick() {
    ShowFolderPane(tbViewFoldersList->isChecked());
}

void TfrmMain::ShowFolderPane(bool shown) {
    if (shown == FileBrowserPanel->isVisibleTo(this)) {
        return;
    }
    // Hiding the pane hides the splitter's handle with it; showing it puts the handle back at
    // the pane's right edge, with the pane as wide as before.
    FileBrowserPanel->setVisible(shown);
    if (shown) {
        Splitter->setSizes({m_PaneWidth, std::max(1, Splitter->width() - m_PaneWidth)});
    }
}

void TfrmMain::lblMostPopularFileClick() {
    cSongInfo* song = m_MostPopularSong;
    if (song == nullptr) {
        return;
    }
    m_Desktop.OpenDocument(PathToQString(song->FileName()));
    // A failed write is reported by the catalogue; the count still shows for this run.
    CountSongOpening(*song);
    ShowMostPopular();
    FillListItem(m_Model->RowOfSong(song));
}

void TfrmMain::lblSelPathClick() {
    const std::string folder = SelectedFolderPath();
    if (!folder.empty()) {
        m_Desktop.OpenDocument(PathToQString(folder));
    }
}

void TfrmMain::tbToggleFindWindowClick() {
    // The search window comes with the search; until then the button only keeps its state.
}

void TfrmMain::popSongsList_ViewDetailsClick(QAction* item) {
    item->setChecked(true);
    const bool largeIcons = item == popSongsList_ViewLargeIcons;
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

void TfrmMain::ShowAbout() {
    TfrmAbout about(this);
    m_Desktop.RunDialog(about);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // Filters are installed while the controls are being made: later ones may not exist yet.
    if (lstSongs && watched == lstSongs->viewport() && event->type() == QEvent::Resize) {
        ShareAutoSizedColumnWidths();
    } else if (watched == TopPanel && event->type() == QEvent::Resize) {
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
