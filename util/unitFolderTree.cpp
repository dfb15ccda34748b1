#include "util/unitFolderTree.h"

#include <QDir>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "util/unitDesktop.h"
#include "util/unitGuiText.h"
#include "util/unitListViewUtils.h"

namespace {
/// Icons and type names for the folder tree that never look inside a file. The model asks for
/// both for every entry it lists, files too, and the stock provider reads each file's first
/// bytes to tell its type: one file whose read never returns (/proc/kmsg, a dead network
/// mount) would block the window for ever.
class cFolderTreeIcons final : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        return QFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override {
        return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File");
    }
};
} // namespace

TFolderTree::TFolderTree(cDesktop& desktop, QWidget* parent)
    : QTreeView(parent), m_Desktop(desktop), m_Model(new QFileSystemModel(this)),
      m_ContextMenu(new QMenu(this)), m_Icons(std::make_unique<cFolderTreeIcons>()) {
    m_Model->setIconProvider(m_Icons.get());
    m_Model->setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::Drives);
    m_Model->setReadOnly(true);
    m_Model->setOption(QFileSystemModel::DontUseCustomDirectoryIcons);
    m_Model->setRootPath(QStringLiteral("/"));
    setModel(m_Model);
    for (int column = 1; column < m_Model->columnCount(); ++column) {
        hideColumn(column);
    }
    setHeaderHidden(true);
    setIndentation(19);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);

    KeepSelectionVisible(this);
    // Folders are dragged out by startDrag; drops are taken by dropEvent, never by the model.
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    // A folder the drag rests on opens (the view's own delay would also close an open one).
    m_OpenDropFolder.setSingleShot(true);
    m_OpenDropFolder.setInterval(700);
    connect(&m_OpenDropFolder, &QTimer::timeout, this, [this] {
        if (m_DropFolder.isValid()) {
            expand(m_DropFolder);
        }
    });

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFolderTree::CurrentChanged);
    // Folders are listed and sorted in the background; each change may move the selected row.
    connect(m_Model, &QFileSystemModel::directoryLoaded, this, &TFolderTree::FolderListed);
    connect(m_Model, &QAbstractItemModel::layoutChanged, this, &TFolderTree::FolderListed);
    connect(m_Model, &QAbstractItemModel::rowsInserted, this, &TFolderTree::FolderListed);

    m_ContextMenu->setObjectName(QStringLiteral("popFolders"));
    QAction* open = m_ContextMenu->addAction(tr("&Open in file manager"));
    open->setObjectName(QStringLiteral("popFolders_Open"));
    connect(open, &QAction::triggered, this, [this] { m_Desktop.OpenDocument(m_ContextPath); });
    QAction* copy = m_ContextMenu->addAction(tr("&Copy path"));
    copy->setObjectName(QStringLiteral("popFolders_CopyPath"));
    connect(copy, &QAction::triggered, this,
            [this] { m_Desktop.CopyText(m_ContextPath); });
    m_ContextMenu->addSeparator();
    QAction* addTree = m_ContextMenu->addAction(tr("Add folder and subfolders to the collection"));
    addTree->setObjectName(QStringLiteral("popFolders_AddTree"));
    connect(addTree, &QAction::triggered, this,
            [this] { emit AddFolderTreeClicked(m_ContextPath); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &TFolderTree::ShowContextMenu);
}

TFolderTree::~TFolderTree() {
    // The model lists folders in a thread of its own that asks the provider: it goes first.
    delete m_Model;
}

void TFolderTree::SelectFolder(const QString& path) {
    const QModelIndex folder = m_Model->index(NearestExistingFolder(path));
    if (!folder.isValid()) {
        return;
    }
    setCurrentIndex(folder);
    m_FollowSelection = true;
    ScrollToSelection();
}

void TFolderTree::ScrollToSelection() {
    scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    // Names start at the left: scrolling sideways to a long name's end would hide the names.
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

QString TFolderTree::SelectedPath() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_Model->filePath(current) : QString();
}

void TFolderTree::CurrentChanged() {
    const QString path = SelectedPath();
    if (path == m_ReportedPath) {
        return;
    }
    m_ReportedPath = path;
    emit SelectedFolderChanged();
}

void TFolderTree::FolderListed() {
    // The view follows the selected row until the user scrolls or clicks; many changes in a
    // row scroll once, after the view has laid the rows out.
    if (!m_FollowSelection || m_ScrollPending) {
        return;
    }
    m_ScrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_ScrollPending = false;
        if (m_FollowSelection && currentIndex().isValid()) {
            ScrollToSelection();
        }
    });
}

void TFolderTree::mousePressEvent(QMouseEvent* event) {
    m_FollowSelection = false;
    QTreeView::mousePressEvent(event);
}

void TFolderTree::wheelEvent(QWheelEvent* event) {
    m_FollowSelection = false;
    QTreeView::wheelEvent(event);
}

void TFolderTree::keyPressEvent(QKeyEvent* event) {
    m_FollowSelection = false;
    QTreeView::keyPressEvent(event);
}

void TFolderTree::ShowContextMenu(const QPoint& position) {
    const QModelIndex folder = indexAt(position);
    if (!folder.isValid()) {
        return;
    }
    m_ContextPath = m_Model->filePath(folder);
    m_ContextMenu->popup(viewport()->mapToGlobal(position));
}

QString NearestExistingFolder(const QString& path) {
    QString candidate = QDir::cleanPath(path);
    if (!QDir::isAbsolutePath(candidate)) {
        return QStringLiteral("/");
    }
    while (candidate.size() > 1 && !QFileInfo(candidate).isDir()) {
        const qsizetype slash = candidate.lastIndexOf(QLatin1Char('/'));
        candidate = slash <= 0 ? QStringLiteral("/") : candidate.left(slash);
    }
    return candidate;
}

void TFolderTree::startDrag(Qt::DropActions) {
    std::vector<std::string> paths;
    for (const QModelIndex& folder : selectedIndexes()) {
        if (folder.column() == 0) {
            paths.push_back(QStringToPath(m_Model->filePath(folder)));
        }
    }
    if (!paths.empty()) {
        m_Desktop.DragFiles(*viewport(), paths);
    }
}

void TFolderTree::dragEnterEvent(QDragEnterEvent* event) {
    QTreeView::dragEnterEvent(event); // scrolling and opening folders while dragging
    TakeDragOver(event);
    if (!event->isAccepted()) {
        // No more events of this drag come here: the view must not stay in its drag state,
        // in which it would take no click.
        stopAutoScroll();
        setState(NoState);
    }
}

void TFolderTree::dragMoveEvent(QDragMoveEvent* event) {
    QTreeView::dragMoveEvent(event);
    TakeDragOver(event);
}

void TFolderTree::dragLeaveEvent(QDragLeaveEvent* event) {
    QTreeView::dragLeaveEvent(event);
    UnmarkDropFolder();
}

void TFolderTree::dropEvent(QDropEvent* event) {
    TakeDragOver(event);
    const QModelIndex folder = m_DropFolder;
    UnmarkDropFolder();
    stopAutoScroll();
    setState(NoState);
    if (event->isAccepted() && folder.isValid()) {
        emit FilesDroppedOnFolder(DroppedFilePaths(event->mimeData()), m_Model->filePath(folder));
    }
}

void TFolderTree::TakeDragOver(QDropEvent* event) {
    const QModelIndex folder = indexAt(event->position().toPoint()).siblingAtColumn(0);
    // A folder dragged onto itself (a drag that ends where it began) is no drop.
    const std::vector<std::string> paths = DroppedFilePaths(event->mimeData());
    const std::string target = folder.isValid() ? QStringToPath(m_Model->filePath(folder)) : "";
    const bool ontoItself = std::find(paths.begin(), paths.end(), target) != paths.end();
    AcceptFileDrop(*event, folder.isValid() && !ontoItself);
    const QModelIndex marked = event->isAccepted() ? folder : QModelIndex();
    if (marked != m_DropFolder) {
        m_DropFolder = marked;
        viewport()->update();
        if (marked.isValid() && !isExpanded(marked)) {
            m_OpenDropFolder.start();
        } else {
            m_OpenDropFolder.stop();
        }
    }
}

void TFolderTree::UnmarkDropFolder() {
    m_OpenDropFolder.stop();
    if (m_DropFolder.isValid()) {
        m_DropFolder = QPersistentModelIndex();
        viewport()->update();
    }
}

void TFolderTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (m_DropFolder.isValid() && index.siblingAtColumn(0) == m_DropFolder) {
        // The folder that takes the drop, framed.
        painter->save();
        painter->setPen(palette().color(QPalette::Highlight));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}
