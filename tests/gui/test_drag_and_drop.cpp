// Songs dragged out of the list, files dropped on the list and on the folder tree.
#include <QFileSystemModel>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <gtest/gtest.h>
#include <utility>

#include "catalogue/unitSongUtils.h"
#include "support/main_window_fixture.h"

namespace {

/// A mouse event on the list as the mouse sends it, with the buttons held.
void SendMouse(QWidget* viewport, QEvent::Type type, QPoint position, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, position, viewport->mapToGlobal(position), button, held, {});
    QApplication::sendEvent(viewport, &event);
}

QPoint RowCentre(TfrmMain& window, int row) {
    return SongList(window)->visualRect(SongModel(window)->index(row, 0)).center();
}

/// Presses the button on the row, moves the mouse `moves` times with it held, releases it.
void PressMoveRelease(TfrmMain& window, int row, int moves,
                      Qt::MouseButton button = Qt::LeftButton) {
    QWidget* viewport = SongList(window)->viewport();
    const QPoint at = RowCentre(window, row);
    SendMouse(viewport, QEvent::MouseButtonPress, at, button, button);
    for (int move = 1; move <= moves; ++move) {
        SendMouse(viewport, QEvent::MouseMove, at + QPoint(3 * move, 0), Qt::NoButton, button);
    }
    SendMouse(viewport, QEvent::MouseButtonRelease, at + QPoint(3 * moves, 0), button,
              Qt::NoButton);
}

struct cDropResult {
    bool Accepted = false;
    Qt::DropAction Action = Qt::IgnoreAction;
};

/// Drags the files over the widget at the point and drops them there, as a file manager does
/// (the user pressed Shift for a move).
cDropResult DropFiles(QWidget* target, QPoint at, const std::vector<std::string>& paths,
                      Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
    }
    data.setUrls(urls);
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return {};
    }
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(target, &drop);
    return {drop.isAccepted(), drop.dropAction()};
}

} // namespace

TEST(SongDrag, TheFourthMoveAfterALeftPressDragsTheSelectedSongsInTheirOrder) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3s("m/", {"a", "b", "c", "d"});
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    auto window = StartWindow(folder, desktop);
    TSongRows& rows = SongRows(*window);
    SelectRows(*window, {2, 0});

    // Pressing a selected song keeps the others selected; three moves start no drag.
    PressMoveRelease(*window, 2, 3);
    EXPECT_TRUE(desktop.Drags.isEmpty());
    // That was a click on the song: it alone is selected now.
    EXPECT_EQ(rows.SelectedSongs(), std::vector<cSongInfo*>({rows.Model()->Song(2)}));

    SelectRows(*window, {2, 0});
    PressMoveRelease(*window, 2, 6);
    ASSERT_EQ(desktop.Drags.size(), 1);
    EXPECT_EQ(desktop.Drags[0], QStringList({QString::fromStdString(folder.Below("m/a.mp3")),
                                             QString::fromStdString(folder.Below("m/c.mp3"))}));
    EXPECT_EQ(rows.SelectedSongs().size(), 2u) << "the drag's release is no click";

    // A release disarms: moves after it drag nothing.
    PressMoveRelease(*window, 1, 0);
    SendMouse(SongList(*window)->viewport(), QEvent::MouseMove, RowCentre(*window, 1), Qt::NoButton,
              Qt::LeftButton);
    EXPECT_EQ(desktop.Drags.size(), 1);
    window->close();
}

TEST(FileDrop, DroppedFilesAreCopiedIntoTheSelectedFolderScannedAndListed) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("m/a.mp3");
    const std::string x = folder.AddMp3("other/x.mp3");
    folder.AddMp3("other/album/y.mp3");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    auto window = StartWindow(folder, desktop);
    QWidget* list = SongList(*window)->viewport();
    const QPoint inList(20, 20);

    // Whatever the user asked for, the files are copied: the source keeps them.
    const cDropResult result = DropFiles(list, inList, {x, folder.Below("other/album")});
    EXPECT_TRUE(result.Accepted);
    EXPECT_EQ(result.Action, Qt::CopyAction);
    EXPECT_TRUE(PathExists(x));
    EXPECT_TRUE(PathExists(folder.Below("m/album/y.mp3")));
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"a", "x"}));
    EXPECT_EQ(desktop.ProgressTitles, QStringList({"Copying"}));
    EXPECT_TRUE(desktop.ProgressTexts.contains(
        QString::fromStdString("Copying \"" + x + "\"\n(file 1 of 2)")))
        << desktop.ProgressTexts.join("|").toStdString();

    // A file of the same name: the desktop asks before it is replaced.
    WriteBytes(x, "newer");
    desktop.ReplaceAnswers = {eReplaceAnswer::Replace};
    EXPECT_TRUE(DropFiles(list, inList, {x}).Accepted);
    EXPECT_EQ(desktop.ReplaceQuestions,
              QStringList({QString::fromStdString(folder.Below("m/x.mp3"))}));
    EXPECT_EQ(ReadBytes(folder.Below("m/x.mp3")), "newer");

    // Files of the folder itself are not copied, but the folder is scanned and listed again.
    folder.AddMp3("m/z.mp3");
    EXPECT_TRUE(DropFiles(list, inList, {folder.Below("m/a.mp3")}).Accepted);
    EXPECT_EQ(desktop.ProgressTitles.size(), 2);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"a", "x", "z"}));

    // A folder is never copied into its own subfolder.
    SelectFolder(*window, folder.Below("m/album"));
    DropFiles(list, inList, {folder.Below("m")});
    EXPECT_EQ(desktop.Messages.size(), 1);
    EXPECT_TRUE(desktop.Messages.value(0).startsWith("Cannot copy \""))
        << desktop.Messages.join("|").toStdString();
    EXPECT_FALSE(PathExists(folder.Below("m/album/m")));

    // While a copy runs (its progress lets events in), a second drop is refused.
    bool secondTried = false;
    bool secondAccepted = false;
    desktop.OnProgress = [&] {
        if (!std::exchange(secondTried, true)) {
            secondAccepted = DropFiles(list, inList, {folder.Below("m/z.mp3")}).Accepted;
        }
    };
    EXPECT_TRUE(DropFiles(list, inList, {x}).Accepted);
    desktop.OnProgress = nullptr;
    EXPECT_TRUE(secondTried);
    EXPECT_FALSE(secondAccepted);
    EXPECT_TRUE(PathExists(folder.Below("m/album/x.mp3")));
    EXPECT_FALSE(PathExists(folder.Below("m/album/z.mp3")));

    // Offered for moving only, or without a selected folder, the files are refused.
    EXPECT_FALSE(DropFiles(list, inList, {x}, Qt::MoveAction).Accepted);
    window->BrowserState().SelectedFolder.clear();
    EXPECT_FALSE(DropFiles(list, inList, {x}).Accepted);
    window->close();
}

TEST(FileDrop, TheFolderTreeTakesFilesOnAFolderAndGivesFoldersOut) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("m/a.mp3");
    folder.MakeFolder("n");
    const std::string x = folder.AddMp3("other/x.mp3");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("m/")));
    auto window = StartWindow(folder, desktop);
    TFolderTree* tree = window->FolderTree();
    const auto pointAt = [&](const std::string& path) {
        const QModelIndex index = tree->FileSystemModel()->index(QString::fromStdString(path));
        tree->scrollTo(index);
        const QRect row = tree->visualRect(index);
        return QPoint(row.left() + 8, row.center().y()); // on the folder's picture
    };

    // On another folder: copied there only; on the selected folder: copied and listed.
    EXPECT_TRUE(DropFiles(tree->viewport(), pointAt(folder.Below("n")), {x}).Accepted);
    EXPECT_TRUE(PathExists(folder.Below("n/x.mp3")));
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"a"}));
    EXPECT_TRUE(DropFiles(tree->viewport(), pointAt(folder.Below("m")), {x}).Accepted);
    EXPECT_EQ(ColumnTexts(*window, 0), QStringList({"a", "x"}));
    // A folder dragged onto itself is no drop.
    EXPECT_FALSE(
        DropFiles(tree->viewport(), pointAt(folder.Below("n")), {folder.Below("n")}).Accepted);

    // A folder dragged out of the tree.
    const QPoint start = pointAt(folder.Below("n"));
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, start);
    for (int move = 1; move <= 4; ++move) {
        SendMouse(tree->viewport(), QEvent::MouseMove, start + QPoint(10 * move, 0), Qt::NoButton,
                  Qt::LeftButton);
    }
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, start + QPoint(40, 0));
    EXPECT_EQ(desktop.Drags, QList<QStringList>({{QString::fromStdString(folder.Below("n"))}}));
    window->close();
}
