// The main window: first and second start, the settings written at close, view modes, the
// folder tree, columns, view styles, the pane toggle, and a start that cannot open the
// catalogue.
#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "browser/unitAbout.h"
#include "browser/unitApplication.h"
#include "browser/unitSongListModel.h"
#include "catalogue/unitSongUtils.h"
#include "groups/unitCategoriesFrame.h"
#include "support/file_watch.h"
#include "support/main_window_fixture.h"
#include "util/unitFolderTree.h"
#include "util/unitIniFile.h"

namespace {

/// The shown songs' paths below the temporary root, sorted.
std::vector<std::string> ShownSongs(TfrmMain& window, const cProgramFolder& folder) {
    std::vector<std::string> songs;
    const std::string root = folder.Below("");
    for (cSongInfo* song : SongModel(window)->Songs()) {
        std::string path(song->FileName());
        songs.push_back(path.rfind(root, 0) == 0 ? path.substr(root.size()) : path);
    }
    std::sort(songs.begin(), songs.end());
    return songs;
}

QStringList HeaderCaptions(TfrmMain& window) {
    QStringList captions;
    for (int column = 0; column < SongModel(window)->columnCount(); ++column) {
        captions << SongModel(window)->headerData(column, Qt::Horizontal).toString();
    }
    return captions;
}

} // namespace

TEST(MainWindow, FirstStartWithoutSettingsGivesEveryDefault) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    auto window = StartWindow(folder, desktop);
    ASSERT_FALSE(window->StartupFailed());
    EXPECT_EQ(window->windowTitle(), " Tunaria");
    EXPECT_EQ(window->frameGeometry(), QRect(54, 36, 674, 509));
    auto* pane = Control<QWidget>(*window, "FileBrowserPanel");
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(pane->width(), 153);
    EXPECT_TRUE(Control<QToolButton>(*window, "tbViewFoldersList")->isChecked());
    EXPECT_TRUE(Control<QAction>(*window, "popSongsList_ViewDetails")->isChecked());
    EXPECT_EQ(Control<QStackedWidget>(*window, "SongViews")->currentWidget(),
              SongList(*window));
    EXPECT_EQ(HeaderCaptions(*window),
              QStringList({"FileName", "Date", "Size", "Views", "Groups"}));
    EXPECT_TRUE(Control<QAction>(*window, "popViewModes_SelectedFolder")->isChecked());
    EXPECT_EQ(window->SelectedFolderPath(), folder.Path());
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->text(),
              " All file groups (in this folder only)");
    EXPECT_EQ(Control<TfraCategoriesList>(*window, "fraViewMode")->SelectorCaption(),
              "All file groups");
    auto* popular = Control<QLabel>(*window, "lblMostPopularFile");
    EXPECT_EQ(popular->text(), "(not yet determined)");
    EXPECT_FALSE(popular->isEnabled());
    EXPECT_EQ(Control<QToolButton>(*window, "tbToggleFindWindow")->toolTip(),
              "Search for files (Ctrl+F)");
    EXPECT_EQ(Control<QToolButton>(*window, "tbViewFoldersList")->toolTip(),
              "Toggle folder list (F4)");
    EXPECT_EQ(Control<QWidget>(*window, "TopPanel")->height(), 96);
    EXPECT_EQ(Control<QWidget>(*window, "TopPanel")->palette().color(QPalette::Window),
              QColor(0xAD, 0xC7, 0xEF));
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->height(), 21);
    EXPECT_EQ(Control<QSplitter>(*window, "Splitter")->handleWidth(), 5);
    // Columns without a stored width fit a typical cell and never fall below 50 pixels.
    QHeaderView* header = SongList(*window)->header();
    const QFontMetrics metrics(SongList(*window)->font());
    const double march5th2024Evening = 45356.0 + 20.5 / 24;
    EXPECT_GT(header->sectionSize(1),
              metrics.horizontalAdvance(SongDateText(march5th2024Evening, QLocale())) + 4);
    EXPECT_GT(header->sectionSize(2), metrics.horizontalAdvance("123.45 MB") + 4);
    for (int column = 1; column < 5; ++column) {
        EXPECT_GE(header->sectionSize(column), 50) << column;
    }
    EXPECT_TRUE(SongList(*window)->uniformRowHeights());
    EXPECT_EQ(SongList(*window)->selectionMode(),
              QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(Control<QLabel>(*window, "StatusBarPanel")->text(), " 0 files in total, 0 bytes");
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
    window->close();
    EXPECT_EQ(MasterSongList, nullptr) << "the catalogue is released at close";
}

TEST(MainWindow, SecondStartRestoresWhatTheFirstWrote) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.MakeFolder("music/rock");
    folder.WriteFile("Options.ini", "[MainWindow.VisibleColumns]\r\nTitle=0\r\nPath=1\r\n"
                                    "Bogus=1\r\n[MainWindow.SongsList]\r\nTitle=120\r\n");
    QRect frame;
    {
        auto first = StartWindow(folder, desktop);
        EXPECT_EQ(HeaderCaptions(*first), QStringList({"Title", "Path", "Bogus"}))
            << "only the key names count";
        EXPECT_EQ(SongList(*first)->header()->sectionSize(0), 120);
        first->move(10, 20);
        first->resize(760, 560); // within the 800 by 600 desktop of the offscreen platform
        SelectFolder(*first, folder.Below("music/rock"));
        ChooseViewMode(*first, "popViewModes_EntireCollection");
        Control<QAction>(*first, "popSongsList_ViewLargeIcons")->trigger();
        PressKey(*first, Qt::Key_F4);
        EXPECT_FALSE(Control<QWidget>(*first, "FileBrowserPanel")->isVisible());
        SongList(*first)->header()->resizeSection(2, 77);
        frame = first->frameGeometry();
        first->close();
    }
    auto second = StartWindow(folder, desktop);
    EXPECT_EQ(frame.topLeft(), QPoint(10, 20));
    EXPECT_EQ(second->frameGeometry(), frame);
    EXPECT_EQ(second->SelectedFolderPath(), folder.Below("music/rock/"));
    EXPECT_EQ(second->BrowserState().ViewMode, eViewMode::EntireCollection);
    EXPECT_TRUE(Control<QAction>(*second, "popViewModes_EntireCollection")->isChecked());
    EXPECT_TRUE(Control<QAction>(*second, "popSongsList_ViewLargeIcons")->isChecked());
    EXPECT_EQ(Control<QStackedWidget>(*second, "SongViews")->currentWidget(),
              SongIcons(*second));
    EXPECT_FALSE(Control<QWidget>(*second, "FileBrowserPanel")->isVisible());
    EXPECT_FALSE(Control<QToolButton>(*second, "tbViewFoldersList")->isChecked());
    EXPECT_EQ(HeaderCaptions(*second), QStringList({"Title", "Path", "Bogus"}));
    EXPECT_EQ(SongList(*second)->header()->sectionSize(2), 77);
    // The pane comes back as wide as it was.
    PressKey(*second, Qt::Key_F4);
    EXPECT_TRUE(Control<QWidget>(*second, "FileBrowserPanel")->isVisible());
    EXPECT_EQ(Control<QWidget>(*second, "FileBrowserPanel")->width(), 153);
    second->close();
}

TEST(MainWindow, StoredModesOutOfRangeAndLostGroupsFallBack) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Options.ini", "[MainWindow]\r\nViewMode=7\r\nLastGroupViewMode=9\r\n"
                                    "SortColumn=12\r\nSortReversed=1\r\nBarBreakLimit=5\r\n");
    {
        auto window = StartWindow(folder, desktop);
        EXPECT_EQ(window->BrowserState().ViewMode, eViewMode::SelectedFolder);
        EXPECT_EQ(window->BrowserState().GroupViewMode, eGroupViewMode::AllGroups);
        EXPECT_EQ(window->BrowserState().SortColumn(), 0)
            << "an index naming no column selects the first";
        EXPECT_TRUE(window->BrowserState().SortOrder.Reversed);
        EXPECT_EQ(window->BrowserState().BarBreakLimit, 5);
        window->close();
    }
    folder.WriteFile("Options.ini", "[MainWindow]\r\nLastGroupViewMode=0\r\nLastSelGroup=Gone\r\n");
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(window->BrowserState().GroupViewMode, eGroupViewMode::AllGroups)
        << "no Groups.txt: the remembered group is gone";
    EXPECT_EQ(window->BrowserState().SelectedGroup, "Gone");
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->text(),
              " All file groups (in this folder only)");
    window->close();
}

TEST(MainWindow, ViewModesShowTheirSongsIncludingTheSiblingFolder) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("music/a.mp3");
    folder.AddMp3("music/B.MP3");
    folder.AddMp3("music/sub/c.mp3");
    folder.AddMp3("music/notes.txt");
    folder.AddMp3("music2/d.mp3");
    folder.AddMp3("other/e.mp3");
    folder.WriteFile("Options.ini",
                     "[MainWindow]\r\nFoldersListPath=" + folder.Below("music/sub") + "\r\n");
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(ShownSongs(*window, folder), std::vector<std::string>({"music/sub/c.mp3"}));
    // Each selection scans that folder only.
    SelectFolder(*window, folder.Below("music2"));
    SelectFolder(*window, folder.Below("other"));
    SelectFolder(*window, folder.Below("music"));
    EXPECT_EQ(ShownSongs(*window, folder),
              std::vector<std::string>({"music/B.MP3", "music/a.mp3"}));
    ChooseViewMode(*window, "popViewModes_SelectedFolderRecursively");
    EXPECT_EQ(
        ShownSongs(*window, folder),
        std::vector<std::string>({"music/B.MP3", "music/a.mp3", "music/sub/c.mp3", "music2/d.mp3"}))
        << "music2 begins with the letters of music";
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->text(),
              " All file groups (in this folder, recursively)");
    ChooseViewMode(*window, "popViewModes_EntireCollection");
    EXPECT_EQ(ShownSongs(*window, folder).size(), 5u);
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->text(),
              " All file groups (in the entire collection)");
    // The first row is selected after a fill.
    EXPECT_TRUE(SongList(*window)->selectionModel()->isRowSelected(0, {}));
    EXPECT_EQ(SongList(*window)->currentIndex().row(), 0);

    // The group filter narrows every mode.
    for (cSongInfo* song : *MasterSongList) {
        if (song && song->FileName().ends_with("c.mp3")) {
            song->Groups = {"Live"};
        }
    }
    window->SetGroupFilter(eGroupViewMode::Ungrouped, "");
    window->SongListPane().Rows().Populate();
    EXPECT_EQ(ShownSongs(*window, folder).size(), 4u);
    window->SetGroupFilter(eGroupViewMode::OneGroup, "LIVE");
    window->SongListPane().Rows().Populate();
    EXPECT_EQ(ShownSongs(*window, folder), std::vector<std::string>({"music/sub/c.mp3"}));

    // The most popular song in view is named after every fill.
    auto* popular = Control<QLabel>(*window, "lblMostPopularFile");
    EXPECT_FALSE(popular->isEnabled());
    SongModel(*window)->Song(0)->Views = 3;
    window->SongListPane().Rows().Populate();
    EXPECT_EQ(popular->text(), "c (opened 3 times)");
    EXPECT_TRUE(popular->isEnabled());
    EXPECT_TRUE(popular->font().underline());
    window->close();
}

TEST(MainWindow, TheRootFolderWorksInEveryMode) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("x/one.mp3");
    folder.WriteFile("Options.ini",
                     "[MainWindow]\r\nFoldersListPath=" + folder.Below("x") + "\r\n");
    auto window = StartWindow(folder, desktop);
    ASSERT_EQ(ShownSongs(*window, folder).size(), 1u);
    SelectFolder(*window, "/");
    EXPECT_EQ(window->SelectedFolderPath(), "/");
    // Mode 0 lists the songs directly in the root: the catalogue holds none there.
    EXPECT_TRUE(ShownSongs(*window, folder).empty());
    EXPECT_EQ(Control<QLabel>(*window, "lblSelPath")->text(), "Viewing music folder /");
    ChooseViewMode(*window, "popViewModes_SelectedFolderRecursively");
    EXPECT_EQ(ShownSongs(*window, folder), std::vector<std::string>({"x/one.mp3"}));
    ChooseViewMode(*window, "popViewModes_EntireCollection");
    EXPECT_EQ(ShownSongs(*window, folder), std::vector<std::string>({"x/one.mp3"}));
    window->close();
    EXPECT_NE(folder.ReadFile("Options.ini").find("FoldersListPath=/\r\n"), std::string::npos);
}

TEST(MainWindow, AVanishedFolderSelectsItsNearestParent) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("music/a.mp3");
    folder.WriteFile("Options.ini", "[MainWindow]\r\nFoldersListPath=" +
                                        folder.Below("music/gone/deeper/") + "\r\n");
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(window->SelectedFolderPath(), folder.Below("music/"));
    EXPECT_EQ(ShownSongs(*window, folder), std::vector<std::string>({"music/a.mp3"}));
    window->close();
}

TEST(MainWindow, AutoSizedColumnsShareTheFreeWidth) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Options.ini", "[MainWindow.VisibleColumns]\r\nPath=1\r\nViews=1\r\n"
                                    "FileName=1\r\n[MainWindow.SongsList]\r\nViews=41\r\n");
    auto window = StartWindow(folder, desktop);
    QHeaderView* header = SongList(*window)->header();
    auto expectShared = [&] {
        const int free =
            SongList(*window)->viewport()->width() - header->sectionSize(1);
        EXPECT_EQ(header->sectionSize(0), free / 2 + free % 2);
        EXPECT_EQ(header->sectionSize(2), free / 2);
    };
    EXPECT_EQ(header->sectionSize(1), 41);
    expectShared();
    window->resize(window->width() + 101, window->height());
    QTest::qWait(1);
    expectShared();
    header->resizeSection(1, 90); // the user drags the fixed column's edge
    expectShared();
    window->close();
}

TEST(MainWindow, TheFileNameColumnStaysReadableWhereTheListIsTooNarrow) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Options.ini", "[MainWindow.VisibleColumns]\r\nPath=1\r\nFileName=1\r\n"
                                    "Views=1\r\n[MainWindow.SongsList]\r\nViews=300\r\n");
    auto window = StartWindow(folder, desktop);
    QTreeView* list = SongList(*window);
    QHeaderView* header = list->header();
    const int readable = list->fontMetrics().averageCharWidth() * 18;
    window->resize(400, window->height());
    QTest::qWait(1);
    ASSERT_LT(list->viewport()->width(), 300 + readable) << "no room left for the names";
    EXPECT_GE(header->sectionSize(1), readable) << "FileName keeps room for a name";
    EXPECT_EQ(header->sectionSize(0), 16) << "Path gives way";
    EXPECT_EQ(header->sectionSize(2), 300) << "a fixed column keeps the user's width";
    window->close();
}

TEST(MainWindow, ViewStylesShareRowsAndSelection) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.AddMp3("m/a.mp3");
    folder.AddMp3("m/b.mp3");
    folder.WriteFile("Options.ini",
                     "[MainWindow]\r\nFoldersListPath=" + folder.Below("m") + "\r\n");
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(SongIcons(*window)->model(),
              SongList(*window)->model());
    EXPECT_EQ(SongIcons(*window)->selectionModel(),
              SongList(*window)->selectionModel());
    EXPECT_EQ(SongIcons(*window)->viewMode(), QListView::IconMode);
    SongList(*window)->selectionModel()->select(
        SongModel(*window)->index(1, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Control<QAction>(*window, "popSongsList_ViewLargeIcons")->trigger();
    EXPECT_TRUE(Control<QAction>(*window, "popSongsList_ViewLargeIcons")->isChecked());
    EXPECT_FALSE(Control<QAction>(*window, "popSongsList_ViewDetails")->isChecked());
    EXPECT_EQ(Control<QStackedWidget>(*window, "SongViews")->currentWidget(),
              SongIcons(*window));
    EXPECT_TRUE(SongIcons(*window)->selectionModel()->isRowSelected(1, {}));
    EXPECT_EQ(SongModel(*window)->rowCount(), 2);
    EXPECT_EQ(Control<QLabel>(*window, "StatusBarPanel")->text(),
              " 1 song selected (300 bytes), 2 files in total, 600 bytes");
    EXPECT_EQ(Control<QLabel>(*window, "lblFolderContents")->text(),
              "Displaying 2 songs, divided into 0 groups");
    Control<QAction>(*window, "popSongsList_ViewDetails")->trigger();
    EXPECT_EQ(Control<QStackedWidget>(*window, "SongViews")->currentWidget(),
              SongList(*window));
    window->close();
}

TEST(MainWindow, HeaderOpensViewModesAndAbout) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    auto window = StartWindow(folder, desktop);
    auto* selector = Control<TfraCategoriesList>(*window, "fraViewMode");
    QTest::mouseClick(selector->ViewModesPicture(), Qt::LeftButton, {}, QPoint(5, 5));
    auto* modes = Control<QMenu>(*window, "popViewModes");
    EXPECT_TRUE(modes->isVisible());
    QStringList captions;
    for (QAction* item : modes->actions()) {
        captions << item->text();
    }
    EXPECT_EQ(captions, QStringList({"Files in selected folder only",
                                     "Selected folder and subfolders", "Entire collection"}));
    modes->close();

    // F1 and the logo run the About box modally over the window, made for the occasion.
    desktop.OnDialog = [&](QDialog& dialog) {
        EXPECT_NE(qobject_cast<TfrmAbout*>(&dialog), nullptr);
        EXPECT_EQ(dialog.parentWidget(), window.get());
        EXPECT_TRUE(dialog.isModal());
        return int(QDialog::Accepted);
    };
    PressKey(*window, Qt::Key_F1);
    QTest::mouseClick(Control<QLabel>(*window, "imgLogo"), Qt::LeftButton);
    EXPECT_EQ(desktop.Dialogs, QStringList({"frmAbout", "frmAbout"}));
    EXPECT_EQ(window->findChild<TfrmAbout*>(), nullptr) << "destroyed after it closed";

    // The search toggle keeps its state.
    auto* search = Control<QToolButton>(*window, "tbToggleFindWindow");
    search->click();
    EXPECT_TRUE(search->isChecked());
    window->close();
}

TEST(MainWindow, ACatalogueHeldByAnotherProcessEndsTheStartUntouched) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    const std::string catalogue = folder.File("DB.txt");
    folder.WriteFile("DB.txt", std::string("\x00\x05\x00\x00\x00garbage", 10));
    const std::string before = folder.ReadFile("DB.txt");

    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The other copy of the program: holds the catalogue until told to let go.
        const int fd = open(catalogue.c_str(), O_RDWR);
        const char state = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
        (void)!write(ready[1], &state, 1);
        char wait;
        (void)!read(release[0], &wait, 1);
        _exit(0);
    }
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    ASSERT_EQ(state, '1');

    {
        TfrmMain window(folder.Path(), desktop);
        EXPECT_TRUE(window.StartupFailed());
        ASSERT_EQ(desktop.Messages.size(), 1);
        EXPECT_TRUE(desktop.Messages[0].contains("another instance"))
            << desktop.Messages[0].toStdString();
    }
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        close(fd);
    }
    EXPECT_EQ(folder.ReadFile("DB.txt"), before);
    EXPECT_FALSE(folder.Exists("Options.ini")) << "nothing is written after a failed start";
    EXPECT_EQ(MasterSongList, nullptr);
}

TEST(MainWindow, UnwritableSettingsAreReportedOnceAndTheWindowStillCloses) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    // A folder where Options.ini should be: it reads as missing and cannot be replaced.
    QDir().mkpath(QString::fromStdString(folder.File("Options.ini")));
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(window->frameGeometry(), QRect(54, 36, 674, 509));
    window->close();
    ASSERT_EQ(desktop.Messages.size(), 1) << desktop.Messages.join("|").toStdString();
    EXPECT_TRUE(desktop.Messages[0].startsWith("The settings could not be saved: '"))
        << desktop.Messages[0].toStdString();
    EXPECT_EQ(MasterSongList, nullptr);
}

TEST(MainWindow, NarrowStoredColumnWidthsComeBackAndAreWrittenAsStored) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Options.ini", "[MainWindow.VisibleColumns]\r\nTitle=1\r\nViews=1\r\n"
                                    "Size=1\r\n[MainWindow.SongsList]\r\nViews=5\r\nSize=0\r\n");
    {
        auto window = StartWindow(folder, desktop);
        QHeaderView* header = SongList(*window)->header();
        EXPECT_EQ(header->sectionSize(1), 5);
        EXPECT_EQ(header->sectionSize(2), 0);
        window->close();
    }
    const std::string written = folder.ReadFile("Options.ini");
    EXPECT_NE(written.find("\r\nViews=5\r\nSize=0\r\n"), std::string::npos) << written;
}

TEST(MainWindow, AFolderNameTheSettingsCannotHoldCostsOnlyThatKey) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.MakeFolder("music");
    folder.MakeFolder("line\nbreak");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("music/")));
    auto window = StartWindow(folder, desktop);
    SelectFolder(*window, folder.Below("line\nbreak"));
    ASSERT_EQ(window->SelectedFolderPath(), folder.Below("line\nbreak/"));
    ChooseViewMode(*window, "popViewModes_EntireCollection");
    window->close();
    ASSERT_EQ(desktop.Messages.size(), 1) << desktop.Messages.join("|").toStdString();
    EXPECT_TRUE(desktop.Messages[0].startsWith("Some settings could not be saved: '"));
    EXPECT_TRUE(desktop.Messages[0].contains("FoldersListPath"));
    const cIniFile settings(folder.File("Options.ini"));
    EXPECT_EQ(settings.ReadString("MainWindow", "FoldersListPath", ""), folder.Below("music/"))
        << "the old value stays";
    EXPECT_EQ(settings.ReadInteger("MainWindow", "ViewMode", 0), 2);
    EXPECT_EQ(settings.ReadInteger("MainWindow", "Width", 0), 674);
    EXPECT_EQ(settings.ReadSectionKeys("MainWindow.VisibleColumns").size(), 5u);
}

TEST(MainWindow, WindowKeysWantNoModifiersAndStillReachTheFocusedControl) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    auto window = StartWindow(folder, desktop);
    QTreeView* list = SongList(*window);
    list->setFocus();
    PressKey(*window, Qt::Key_F4, Qt::ShiftModifier);
    EXPECT_TRUE(Control<QToolButton>(*window, "tbViewFoldersList")->isChecked());
    int keysSeenByList = 0;
    {
        cEventCounter counter(list, QEvent::KeyPress, keysSeenByList);
        PressKey(*window, Qt::Key_F4);
    }
    EXPECT_FALSE(Control<QToolButton>(*window, "tbViewFoldersList")->isChecked());
    EXPECT_FALSE(Control<QWidget>(*window, "FileBrowserPanel")->isVisible());
    EXPECT_EQ(keysSeenByList, 1) << "the window previews keys, it does not take them";

    PressKey(*window, Qt::Key_F6, Qt::ControlModifier);
    auto* modes = Control<QMenu>(*window, "popViewModes");
    EXPECT_FALSE(modes->isVisible());
    PressKey(*window, Qt::Key_F6);
    EXPECT_TRUE(modes->isVisible());
    modes->close();
    window->close();
}

TEST(MainWindow, EachWindowKeyRunsOncePerPressWhateverHasTheFocus) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    auto window = StartWindow(folder, desktop);
    // The dialogs run modally for real and close at once: the focus they take and give back
    // is what a user's closing leaves.
    desktop.OnDialog = [](QDialog& dialog) {
        QTimer::singleShot(0, &dialog, &QDialog::reject);
        return dialog.exec();
    };
    const struct {
        const char* Focus;
        QWidget* Holder;
    } holders[] = {{"the song list", SongList(*window)},
                   {"the folder tree", window->FolderTree()},
                   {"nothing", nullptr}};
    for (const auto& holder : holders) {
        if (holder.Holder != nullptr) {
            holder.Holder->setFocus();
        } else if (QWidget* focused = QApplication::focusWidget()) {
            focused->clearFocus();
        }
        desktop.Dialogs.clear();
        PressKey(*window, Qt::Key_M, Qt::ControlModifier);
        PressKey(*window, Qt::Key_F1);
        PressKey(*window, Qt::Key_M, Qt::ControlModifier);
        EXPECT_EQ(desktop.Dialogs, QStringList({"frmManageGroups", "frmAbout", "frmManageGroups"}))
            << "focus on " << holder.Focus;
    }
    window->close();
}

TEST(MainWindow, AStoredSizeBeyondTheDesktopIsLimitedToItAndTheWindowStillCloses) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Options.ini", "[MainWindow]\r\nLeft=-3000\r\nTop=20\r\n"
                                    "Height=99999999\r\nWidth=99999999\r\n");
    auto window = StartWindow(folder, desktop);
    const QSize available = QGuiApplication::primaryScreen()->availableVirtualSize();
    EXPECT_LE(window->frameGeometry().width(), available.width());
    EXPECT_LE(window->frameGeometry().height(), available.height());
    EXPECT_LT(window->frameGeometry().left(), -2900) << "the position stays as stored";
    EXPECT_TRUE(window->close());
    EXPECT_EQ(MasterSongList, nullptr);
    const cIniFile settings(folder.File("Options.ini"));
    EXPECT_LE(settings.ReadInteger("MainWindow", "Width", 0), available.width());
    EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
}

TEST(MainWindow, StartUpReadsTheSettingsFileOnce) {
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.MakeFolder("music");
    folder.WriteFile("Options.ini",
                     SettingsOpening(folder.Below("music/"), "ViewMode=2\r\n"
                                                             "[MainWindow.VisibleColumns]\r\n"
                                                             "Title=1\r\nSize=1\r\n"
                                                             "[MainWindow.SongsList]\r\n"
                                                             "Title=120\r\n"));
    cOpenCounter opens(folder.File("Options.ini"));
    auto window = StartWindow(folder, desktop);
    EXPECT_EQ(opens.Opens(), 1);
    EXPECT_EQ(SongList(*window)->header()->sectionSize(0), 120);
    EXPECT_EQ(window->BrowserState().ViewMode, eViewMode::EntireCollection);
    window->close();
}

TEST(MainWindow, ValuesTheSettingsCannotHoldReadAsTheirDefaultsAndDoNotStopTheClose) {
    using namespace std::string_literals;
    cRecordingDesktop desktop;
    cProgramFolder folder;
    folder.WriteFile("Options.ini", "[MainWindow]\r\nFoldersListPath=/tmp\0/x\r\n"
                                    "LastSelGroup=ja\0zz\r\nViewMode=1\r\n"
                                    "[MainWindow.VisibleColumns]\r\nTi\0tle=1\r\nSize=1\r\n"s);
    for (int start = 1; start <= 2; ++start) {
        auto window = StartWindow(folder, desktop);
        EXPECT_EQ(window->SelectedFolderPath(), folder.Path()) << "the default folder";
        EXPECT_EQ(window->BrowserState().ViewMode, eViewMode::SelectedFolderRecursively);
        EXPECT_EQ(window->BrowserState().VisibleColumns, std::vector<std::string>{"Size"});
        window->close();
        EXPECT_TRUE(desktop.Messages.isEmpty()) << desktop.Messages.join("|").toStdString();
        const cIniFile settings(folder.File("Options.ini"));
        EXPECT_EQ(settings.ReadString("MainWindow", "FoldersListPath", ""), folder.Path());
        EXPECT_EQ(settings.ReadInteger("MainWindow", "Width", 0), 674);
    }
}

TEST(MainWindow, TerminationSignalsCloseTheWindowTheNormalWay) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        cRecordingDesktop desktop;
        cProgramFolder folder;
        folder.AddMp3("music/a.mp3");
        folder.WriteFile("Options.ini", SettingsOpening(folder.Below("music/")));
        auto window = StartWindow(folder, desktop);
        ChooseViewMode(*window, "popViewModes_EntireCollection");
        const cCloseOnTermination closer(*window);
        // A modal dialog open at the time is closed first.
        QDialog dialog(window.get());
        dialog.setModal(true);
        dialog.show();
        ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }));
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(MasterSongList, nullptr) << "the catalogue is closed";
        const cIniFile settings(folder.File("Options.ini"));
        EXPECT_EQ(settings.ReadInteger("MainWindow", "ViewMode", 0), 2) << "the settings are saved";
    }
}
