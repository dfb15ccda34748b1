#pragma once
// The folder tree: every folder of the file system from the root "/" down, hidden folders
// included. It selects a folder by path, tells the selected folder's path, and reports every
// change of the selected folder. Its context menu opens a folder in the file manager, copies
// its path, or asks for the folder and everything below it to be added to the collection.
// Folders can be dragged out of it to other programs (as a copy), and files dropped on one of
// its folders are reported for copying into that folder.

#include <QPersistentModelIndex>
#include <QString>
#include <QTimer>
#include <QTreeView>
#include <memory>
#include <string>
#include <vector>

class QAbstractFileIconProvider;
class QFileSystemModel;
class QMenu;
class cDesktop;

class TFolderTree : public QTreeView {
    Q_OBJECT
public:
    /// The desktop opens folders in the file manager and takes copied paths (context menu).
    explicit TFolderTree(cDesktop& desktop, QWidget* parent = nullptr);
    ~TFolderTree() override;

    /// Selects the folder at the path, or when it does not exist its nearest existing parent,
    /// and scrolls it into view (also while the folders above it are still being listed).
    void SelectFolder(const QString& path);
    /// The selected folder's path, "/" for the root; empty when nothing is selected.
    QString SelectedPath() const;

    QFileSystemModel* FileSystemModel() const { return m_Model; }
    QMenu* ContextMenu() const { return m_ContextMenu; }

signals:
    /// The selected folder changed (reported once per change of path).
    void SelectedFolderChanged();
    /// Files (paths) were dropped on the folder: they are to be copied into it.
    void FilesDroppedOnFolder(const std::vector<std::string>& paths, const QString& folder);
    /// "Add folder and subfolders to the collection" was chosen for the folder at the path.
    void AddFolderTreeClicked(const QString& path);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CurrentChanged();
    void FolderListed();
    void ScrollToSelection();
    void ShowContextMenu(const QPoint& position);
    /// Accepts the drag over the folder under the pointer, or ignores it; marks that folder.
    void TakeDragOver(QDropEvent* event);
    void UnmarkDropFolder();

    cDesktop& m_Desktop;
    QFileSystemModel* m_Model;
    QMenu* m_ContextMenu;
    /// The model's icon provider, which never reads a file; outlives the model's use of it.
    std::unique_ptr<QAbstractFileIconProvider> m_Icons;
    QString m_ReportedPath;
    QString m_ContextPath;
    bool m_FollowSelection = false; ///< keep the selection in view until the user takes over
    bool m_ScrollPending = false;
    QPersistentModelIndex m_DropFolder; ///< the folder a drag is over, marked
    QTimer m_OpenDropFolder;            ///< opens the marked folder when the drag rests on it
};

/// The path itself when it is an existing folder, else its nearest existing parent folder; "/"
/// at the latest. A relative or empty path gives "/".
QString NearestExistingFolder(const QString& path);
