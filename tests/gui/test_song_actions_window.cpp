// The song commands as the user meets them in the window: the list's menu and its enabling,
// opening, renaming in place, deleting, and the tag editor.
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "catalogue/unitId3v2.h"
#include "catalogue/unitReReadSongs.h"
#include "catalogue/unitSongActions.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitTagEditor.h"
#include "support/id3v2_fixtures.h"
#include "support/main_window_fixture.h"
#include "util/unitFolderWatcher.h"

using namespace song_fixtures;

namespace {

constexpr timespec kOldTime{981173106, 123456789};

void SetFileTime(const std::string& path, timespec time) {
    const timespec times[2] = {{0, UTIME_OMIT}, time};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool HasFileTime(const std::string& path, timespec time) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mtim.tv_sec == time.tv_sec && info.st_mtim.tv_nsec == time.tv_nsec;
}

/// Types the text as the keyboard does, one character per key press, any character at all.
void Type(QWidget* edit, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

class SongActionsWindow : public ::testing::Test {
protected:
    /// The window on the folder "music" below the temporary root, with more settings lines;
    /// a second start runs on what the first one stored at close.
    TfrmMain& Start(const std::string& more = {}) {
        if (m_Window) {
            m_Window->close();
        } else {
            Folder.WriteFile("Options.ini", SettingsOpening(Folder.Below("music/"), more));
        }
        m_Window = StartWindow(Folder, Desktop);
        m_Window->SongListPane().ShownSongView()->setFocus();
        return *m_Window;
    }
    void TearDown() override {
        if (m_Window) {
            m_Window->close();
        }
    }

    TfrmMain& Window() { return *m_Window; }
    TSongListPane& Pane() { return m_Window->SongListPane(); }
    QAction* Item(const char* name) { return Control<QAction>(*m_Window, name); }
    QString Text(const char* label) { return Control<QLabel>(*m_Window, label)->text(); }
    QStringList Captions() { return ColumnTexts(*m_Window, 0); }
    QLineEdit* Editor() { return Pane().ShownSongView()->findChild<QLineEdit*>(); }
    /// Types the text into the open in-place editor and commits it with Enter.
    void TypeAndCommit(const QString& text) {
        QLineEdit* editor = Editor();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        Type(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        CloseEditor();
    }
    /// Lets the editor's queued commit run and the closed editor go.
    void CloseEditor() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    cRecordingDesktop Desktop;
    cProgramFolder Folder;

private:
    std::unique_ptr<TfrmMain> m_Window;
};

TEST(SongCommands, TheTableHoldsTheMenuInItsOrderWithItsShortcutsKeysAndRules) {
    QStringList rows;
    for (const cSongCommand& command : TSongListPane::SongCommands()) {
        const char* rule = command.Enabled == eSongCommandEnabled::AnySongSelected   ? "any"
                           : command.Enabled == eSongCommandEnabled::OneSongSelected ? "one"
                                                                                     : "always";
        QString keys = command.NeedsCtrl ? "Ctrl+" : "";
        for (const int key : command.Keys) {
            keys += QKeySequence(key).toString() + " ";
        }
        rows << QString("%1|%2|%3|%4|%5")
                    .arg(command.Name, command.Caption, command.ShortcutText, keys.trimmed(), rule);
    }
    EXPECT_EQ(rows,
              QStringList({"popSongsList_Open|&Open|Enter|Return Enter|any", "N3||||always",
                           "popSongsList_Rename|&Rename file|F2|F2|one",
                           "popSongsList_EditTag|&Edit IDv3 tag|F3|F3|one",
                           "popSongsList_ReReadTags|Re-read &tags|Ctrl+R|Ctrl+R|any",
                           "popSongsList_Delete|&Delete|Ctrl+Del|Ctrl+Del|any",
                           "popSongsList_Groups|&Groups...|Ctrl+G|Ctrl+G|always", "N6||||always",
                           "popSongsList_ViewLargeIcons|&Large icons|||always",
                           "popSongsList_ViewDetails|&Details|||always", "N5||||always",
                           "popSongsList_ViewColumns|&Visible columns...|||always",
                           "popSongsList_ExportAsPlaylist|&Export as playlist...|||always",
                           "lstSongs_SelectAll|||Ctrl+A|any"}));
    for (const cSongCommand& command : TSongListPane::SongCommands()) {
        EXPECT_EQ(command.Handler == nullptr, command.Item == eSongCommandItem::Separator)
            << command.Name;
    }
}

TEST_F(SongActionsWindow, TheMenuFollowsTheSelectionAndDisabledCommandsDoNothing) {
    Folder.AddMp3("music/a.mp3");
    Folder.AddMp3("music/b.mp3");
    Folder.AddMp3("music/c.mp3");
    Start();
    auto* menu = Control<QMenu>(Window(), "popSongsList");
    QStringList items;
    for (QAction* item : menu->actions()) {
        items << (item->isSeparator() ? "-" + item->objectName()
                                      : item->text() + "\t" + item->shortcut().toString());
    }
    // The items of the command table, in its order, each showing its shortcut.
    QStringList expected;
    for (const cSongCommand& command : TSongListPane::SongCommands()) {
        if (command.Item == eSongCommandItem::Separator) {
            expected << QString("-") + command.Name;
        } else if (command.Item != eSongCommandItem::KeysOnly) {
            expected << QString(command.Caption) + "\t" + command.ShortcutText;
        }
    }
    EXPECT_EQ(items, expected);
    EXPECT_EQ(menu->defaultAction(), Item("popSongsList_Open")) << "shown in bold";

    const auto enabled = [&] {
        QString flags;
        for (const char* name :
             {"popSongsList_Open", "popSongsList_Rename", "popSongsList_EditTag",
              "popSongsList_ReReadTags", "popSongsList_Delete", "popSongsList_Groups"}) {
            flags += Item(name)->isEnabled() ? "1" : "0";
        }
        return flags;
    };
    EXPECT_EQ(enabled(), "111111") << "the first row is selected after the fill";
    SelectRows(Window(), {0, 2});
    EXPECT_EQ(enabled(), "100111");
    PressKey(Window(), Qt::Key_F2);
    PressKey(Window(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_TRUE(Desktop.Dialogs.isEmpty());
    PressKey(Window(), Qt::Key_Delete);
    EXPECT_EQ(SongModel(Window())->rowCount(), 3) << "Delete without Ctrl deletes nothing";
    SelectRows(Window(), {});
    EXPECT_EQ(enabled(), "000001") << "the group window is always offered";
    PressKey(Window(), Qt::Key_Return);
    PressKey(Window(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(Desktop.Opened.isEmpty());
    EXPECT_EQ(SongModel(Window())->rowCount(), 3);

    // The right button selects the row under the pointer and opens the menu there.
    QTreeView* list = SongList(Window());
    const QPoint onRow = list->visualRect(SongModel(Window())->index(1, 0)).center();
    const QPoint global = list->viewport()->mapToGlobal(onRow);
    QCursor::setPos(global);
    // The press, then the context-menu request the platform makes of it.
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, onRow);
    QContextMenuEvent request(QContextMenuEvent::Mouse, onRow, global);
    QApplication::sendEvent(list->viewport(), &request);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, onRow);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), QCursor::pos());
    EXPECT_EQ(Pane().Rows().SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(enabled(), "111111");
    menu->close();
}

TEST_F(SongActionsWindow, OpeningCountsEachSelectedSongOnceInListOrder) {
    const std::string a = Folder.AddMp3("music/a.mp3");
    Folder.AddMp3("music/b.mp3");
    const std::string c = Folder.AddMp3("music/c.mp3");
    Start();
    SelectRows(Window(), {2});
    PressKey(Window(), Qt::Key_Enter);
    EXPECT_EQ(Text("lblMostPopularFile"), "c (opened 1 time)");
    SelectRows(Window(), {0, 2});
    PressKey(Window(), Qt::Key_Return);
    EXPECT_EQ(Desktop.Opened, QStringList({QString::fromStdString(c), QString::fromStdString(a),
                                           QString::fromStdString(c)}));
    EXPECT_EQ(Text("lblMostPopularFile"), "c (opened 2 times)");
    EXPECT_EQ(SongNamed(Window(), "b")->Views, 0);

    // A double click opens the song under the pointer, which the first click selected.
    QTreeView* list = SongList(Window());
    const QPoint onA =
        list->visualRect(SongModel(Window())->index(RowNamed(Window(), "a"), 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onA);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onA);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onA);
    EXPECT_EQ(SongNamed(Window(), "a")->Views, 3);
    EXPECT_EQ(Text("lblMostPopularFile"), "a (opened 3 times)") << "at once, not at the next fill";
    Start();
    EXPECT_EQ(SongNamed(Window(), "a")->Views, 3) << "the catalogue holds every count";
    EXPECT_EQ(SongNamed(Window(), "c")->Views, 2);
}

TEST_F(SongActionsWindow, RenameEditsTheCaptionInPlaceAndMovesTheFile) {
    Folder.AddMp3("music/a.mp3");
    const std::string b = Folder.AddMp3("music/sub/b.mp3");
    Start("[MainWindow.VisibleColumns]\r\nTitle=1\r\nFileName=1\r\n");
    PressKey(Window(), Qt::Key_F2);
    EXPECT_EQ(Desktop.Messages, QStringList({"To rename a file, you must display either the Path "
                                             "or the FileName columns."}));
    EXPECT_EQ(Editor(), nullptr);
    Pane().Columns().ShowColumns({"FileName", "Title"});
    ClickHeader(Window(), 0); // sorted by file name

    // The entire collection with "music" selected: the renamed file moves into "music".
    SelectFolder(Window(), Folder.Below("music/sub"));
    SelectFolder(Window(), Folder.Below("music"));
    ChooseViewMode(Window(), "popViewModes_EntireCollection");
    ASSERT_EQ(Captions(), QStringList({"a", "b"}));
    SelectRows(Window(), {1});
    PressKey(Window(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "b");
    TypeAndCommit("0 \"first\"");
    const std::string moved = Folder.Below("music/0 \"first\".mp3");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(b)));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(moved)));
    EXPECT_EQ(Captions(), QStringList({"0 \"first\"", "a"})) << "sorted at once";
    EXPECT_EQ(Pane().Rows().SelectedRows(), std::vector<int>{0}) << "the selection moved with it";
    EXPECT_TRUE(Desktop.Opened.isEmpty()) << "the Enter that commits opens nothing";

    // A name that is taken, and an edit left with Esc, change nothing.
    SelectRows(Window(), {1});
    PressKey(Window(), Qt::Key_F2);
    TypeAndCommit("0 \"first\"");
    EXPECT_EQ(Desktop.Messages.last(), QString::fromLatin1(kRenameFailedMessage.data()) +
                                           "\n\nA file named \"0 \"first\".mp3\" already exists "
                                           "there.");
    PressKey(Window(), Qt::Key_F2);
    QTest::keyClicks(Editor(), "zzz");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    CloseEditor();
    EXPECT_EQ(Captions(), QStringList({"0 \"first\"", "a"}));
    EXPECT_EQ(Desktop.Messages.size(), 2);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Folder.Below("music/a.mp3"))));

    // Large icons edit the caption under the icon the same way.
    Item("popSongsList_ViewLargeIcons")->trigger();
    Pane().ShownSongView()->setFocus();
    PressKey(Window(), Qt::Key_F2);
    ASSERT_EQ(Editor()->parentWidget()->parentWidget(), SongIcons(Window()));
    TypeAndCommit("c");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Folder.Below("music/c.mp3"))));
    Item("popSongsList_ViewDetails")->trigger();

    // With the Path column first the typed path is the new path, in any existing folder.
    Pane().Columns().ShowColumns({"Path"});
    SelectRows(Window(), {RowNamed(Window(), "c")});
    Pane().ShownSongView()->setFocus();
    PressKey(Window(), Qt::Key_F2);
    TypeAndCommit(QString::fromStdString(Folder.Below("music/sub/d.mp3")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Folder.Below("music/sub/d.mp3"))));
    EXPECT_EQ(SongNamed(Window(), "d")->FileName(), Folder.Below("music/sub/d.mp3"));
}

TEST_F(SongActionsWindow, DeletingTheMostPopularSongNamesTheNextAndFilesThatStayKeepTheirRows) {
    Folder.AddMp3s("music/", {"a", "b", "c", "d"});
    Start();
    SongNamed(Window(), "b")->Views = 5;
    SongNamed(Window(), "c")->Views = 2;
    Pane().Rows().Populate();
    ASSERT_EQ(Text("lblMostPopularFile"), "b (opened 5 times)");
    SelectRows(Window(), {0, 1});
    PressKey(Window(), Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Desktop.Trashed,
              std::vector<std::string>({Folder.Below("music/b.mp3"), Folder.Below("music/a.mp3")}));
    EXPECT_EQ(Captions(), QStringList({"c", "d"}));
    EXPECT_EQ(Text("lblMostPopularFile"), "c (opened 2 times)");
    EXPECT_EQ(Text("lblFolderContents"), "Displaying 2 songs, divided into 0 groups");
    EXPECT_EQ(Text("StatusBarPanel"), " 2 files in total, 600 bytes");
    EXPECT_EQ(SongList(Window())->currentIndex().row(), 0) << "the focus stays where the rows were";

    if (cUnprivileged::Possible()) {
        // A read-only folder: the file and its song stay.
        ::chmod(Folder.Below("music").c_str(), 0555);
        OpenToEveryone(Folder.Below(""));
        SelectRows(Window(), {0, 1});
        {
            cUnprivileged asUser;
            PressKey(Window(), Qt::Key_Delete, Qt::ControlModifier);
        }
        ::chmod(Folder.Below("music").c_str(), 0755);
        EXPECT_EQ(Captions(), QStringList({"c", "d"}));
        EXPECT_EQ(Pane().Rows().SelectedRows(), std::vector<int>({0, 1}))
            << "what stayed is selected";
        ASSERT_EQ(Desktop.Messages.size(), 1);
        EXPECT_TRUE(Desktop.Messages[0].startsWith(kUndeletedFilesMessage.data()));
        EXPECT_EQ(Text("lblMostPopularFile"), "c (opened 2 times)");
    }

    // No trash takes them: one warning question, whose No keeps the songs and their rows.
    Desktop.RefuseTrash = true;
    SelectRows(Window(), {0, 1});
    PressKey(Window(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Desktop.WarningQuestions,
              QStringList({"2 songs cannot be moved to the trash (no trash on its file system). "
                           "Delete them for good?"}));
    EXPECT_EQ(Captions(), QStringList({"c", "d"}));
    EXPECT_EQ(Pane().Rows().SelectedRows(), std::vector<int>({0, 1}));
    Desktop.RefuseTrash = false;

    // Every shown song deleted: an empty list, counted as such.
    PressKey(Window(), Qt::Key_A, Qt::ControlModifier);
    PressKey(Window(), Qt::Key_Delete, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(SongModel(Window())->rowCount(), 0);
    EXPECT_EQ(Text("lblFolderContents"), "Displaying 0 songs, divided into 0 groups");
    EXPECT_EQ(Text("StatusBarPanel"), " 0 files in total, 0 bytes");
    EXPECT_EQ(Text("lblMostPopularFile"), "(not yet determined)");
    EXPECT_FALSE(Item("popSongsList_Delete")->isEnabled());
    Start();
    EXPECT_EQ(SongModel(Window())->rowCount(), 0) << "the catalogue forgot them";
}

TEST_F(SongActionsWindow, ANameThatIsNoTextIsKeptOrDeletedByItsOwnBytes) {
    const std::string odd = Folder.AddMp3("music/\xff.mp3");
    const std::string shownAs = Folder.AddMp3("music/\xef\xbf\xbd.mp3"); // how "\xff" shows
    Start();
    SelectRows(Window(), {RowNamed(Window(), "\xff")});
    PressKey(Window(), Qt::Key_F2);
    TypeAndCommit(Editor()->text()); // left as it was
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    EXPECT_TRUE(PathExists(odd)) << "not renamed to the name it shows as";
    PressKey(Window(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_FALSE(PathExists(odd));
    EXPECT_TRUE(PathExists(shownAs)) << "the other file, whose name it shows as, stays";
    EXPECT_EQ(Desktop.Trashed, std::vector<std::string>{odd}) << "its own bytes went to the trash";
}

TEST_F(SongActionsWindow, TheTagEditorWritesTheTagKeepsTheTimeAndRemembersItsCheckBox) {
    const std::string untagged = Folder.AddMp3("music/u.mp3");
    const std::string tagged = Folder.AddTaggedMp3("music/t.mp3", "Old", "Artist");
    SetFileTime(untagged, kOldTime);
    SetFileTime(tagged, kOldTime);
    Start();
    Desktop.OnDialog = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Tag editor - u");
        EXPECT_EQ(dialog.findChild<QGroupBox*>("GroupBox1")->title(), " ID3v1 ");
        EXPECT_FALSE(dialog.findChild<QPushButton*>("btnRemoveID3")->isEnabled());
        EXPECT_TRUE(dialog.findChild<QPushButton*>("btnOK")->isDefault());
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chkPreserveTimestamp")->isChecked());
        auto* title = dialog.findChild<QLineEdit*>("edtTitle");
        EXPECT_TRUE(title->text().isEmpty());
        QTest::keyClicks(title, QString(31, 'x'));
        EXPECT_EQ(title->text(), QString(30, 'x'));
        title->selectAll();
        QTest::keyClicks(title, "Help");
        QTest::keyClicks(dialog.findChild<QLineEdit*>("edtYear"), "19999");
        // The limits count stored bytes: 30 Latin-1 letters fill the field, a euro sign (which
        // makes the text UTF-8) does not fit any more; ten euro signs do, an eleventh not.
        auto* comment = dialog.findChild<QLineEdit*>("edtComment");
        Type(comment, QString(30, QChar(0xE9)) + QChar(0x20AC));
        EXPECT_EQ(comment->text(), QString(30, QChar(0xE9)));
        auto* album = dialog.findChild<QLineEdit*>("edtAlbum");
        Type(album, QString(11, QChar(0x20AC)));
        EXPECT_EQ(album->text(), QString(10, QChar(0x20AC)));
        return int(QDialog::Accepted);
    };
    SelectRows(Window(), {RowNamed(Window(), "u")});
    PressKey(Window(), Qt::Key_F3);
    ASSERT_EQ(Desktop.Dialogs, QStringList({"frmTagEditor"}));
    std::string tag = ReadBytes(untagged);
    ASSERT_EQ(tag.size(), 300u + 128u);
    tag = tag.substr(300);
    EXPECT_EQ(tag.substr(0, 33), "TAGHelp" + std::string(26, ' '));
    EXPECT_EQ(tag.substr(63, 30), QString(10, QChar(0x20AC)).toUtf8().toStdString());
    EXPECT_EQ(tag.substr(93, 4), "1999");
    EXPECT_EQ(tag.substr(97, 30), std::string(30, '\xE9'));
    EXPECT_EQ(tag[127], '\xFF') << "a new tag names no genre";
    EXPECT_TRUE(HasFileTime(untagged, kOldTime)) << "to the nanosecond";
    EXPECT_EQ(SongNamed(Window(), "u")->Title(), "Help");

    // Remove ID3 with the check box cleared: the tag goes, the record stays, the time moves.
    Desktop.OnDialog = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edtTitle")->text(), "Old");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edtAuthor")->text(), "Artist");
        dialog.findChild<QCheckBox*>("chkPreserveTimestamp")->setChecked(false);
        QTest::mouseClick(dialog.findChild<QPushButton*>("btnRemoveID3"), Qt::LeftButton);
        return dialog.result();
    };
    SelectRows(Window(), {RowNamed(Window(), "t")});
    PressKey(Window(), Qt::Key_F3);
    EXPECT_EQ(ReadBytes(tagged).size(), 300u);
    EXPECT_FALSE(HasFileTime(tagged, kOldTime));
    EXPECT_EQ(SongNamed(Window(), "t")->Title(), "Old");

    // The check box comes back as it was left, also in the next run.
    Start();
    EXPECT_NE(Folder.ReadFile("Options.ini").find("[TagEditor]\r\nPreserveTimeStamp=0\r\n"),
              std::string::npos);
    bool checked = true;
    Desktop.OnDialog = [&](QDialog& dialog) {
        checked = dialog.findChild<QCheckBox*>("chkPreserveTimestamp")->isChecked();
        return int(QDialog::Rejected);
    };
    SelectRows(Window(), {RowNamed(Window(), "u")});
    PressKey(Window(), Qt::Key_F3);
    EXPECT_FALSE(checked);
}

// A file as shops sell them: only an ID3v2.3 tag, UTF-16 texts, a title longer than ID3v1's.
TEST_F(SongActionsWindow, TheTagEditorOnAnId3v2OnlyFileShowsItsTextsAndWritesBothTags) {
    using namespace id3v2_fixtures;
    const std::string longTitle = "The Long and Winding Road (Remastered 2009)";
    const std::string track = TextFrame(3, "TRCK", kLatin1, u"10/12");
    const std::string path = Folder.Below("music/01 Track.mp3");
    QDir().mkpath(QString::fromStdString(Folder.Below("music")));
    WriteBytes(path, Tag(3,
                         track +
                             TextFrame(3, "TIT2", kUtf16Bom,
                                       u"The Long and Winding Road (Remastered 2009)") +
                             TextFrame(3, "TPE1", kUtf16Bom, u"Bj\u00F6rk"),
                         1024) +
                         Audio(4000));
    Start();
    cSongInfo* song = SongNamed(Window(), "01 Track");
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->Title(), longTitle);
    Desktop.OnDialog = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edtTitle")->text(),
                  QString::fromStdString(longTitle.substr(0, 30)));
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edtAuthor")->text(),
                  QString::fromUtf16(u"Bj\u00F6rk"));
        EXPECT_FALSE(dialog.findChild<QPushButton*>("btnRemoveID3")->isEnabled()) << "no ID3v1 tag";
        QTest::keyClicks(dialog.findChild<QLineEdit*>("edtAlbum"), "Homogenic");
        return int(QDialog::Accepted);
    };
    SelectRows(Window(), {RowNamed(Window(), "01 Track")});
    PressKey(Window(), Qt::Key_F3);
    ASSERT_EQ(Desktop.Dialogs, QStringList({"frmTagEditor"}));
    EXPECT_TRUE(Desktop.Messages.isEmpty());
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 33), "TAG" + longTitle.substr(0, 30))
        << "ID3v1 added";
    EXPECT_EQ(ReadId3v2Texts(bytes), (cId3v1Texts{longTitle, "Bj\xC3\xB6rk", "Homogenic", "", ""}));
    EXPECT_NE(bytes.find(track), std::string::npos) << "other frames kept";
    EXPECT_EQ(song->Title(), longTitle);
    EXPECT_EQ(song->Album(), "Homogenic");
}

TEST_F(SongActionsWindow, AFileThatCannotBeRetaggedGivesTheErrorAndNoWindow) {
    const std::string gone = Folder.AddMp3("music/gone.mp3");
    const std::string locked = Folder.AddMp3("music/locked.mp3");
    Start();
    QFile::remove(QString::fromStdString(gone));
    SelectRows(Window(), {RowNamed(Window(), "gone")});
    PressKey(Window(), Qt::Key_F3);
    EXPECT_TRUE(Desktop.Dialogs.isEmpty());
    EXPECT_EQ(Desktop.Messages,
              QStringList({QString::fromStdString("Unhandled exception: 'Cannot open \"" + gone +
                                                  "\": No such file or directory'")}));
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "file permissions cannot be met as this user";
    }
    ::chmod(locked.c_str(), 0444);
    OpenToEveryone(Folder.Below(""));
    OpenToEveryone(Folder.Below("music"));
    SelectRows(Window(), {RowNamed(Window(), "locked")});
    {
        cUnprivileged asUser;
        PressKey(Window(), Qt::Key_F3);
    }
    EXPECT_TRUE(Desktop.Dialogs.isEmpty());
    EXPECT_TRUE(Desktop.Messages.last().endsWith("Permission denied'"));
    EXPECT_EQ(ReadBytes(locked).size(), 300u);
}

} // namespace

namespace {

TEST_F(SongActionsWindow, ReReadTagsTakesTheFilesAgainAndNamesTheGoneOnes) {
    const std::string a = Folder.AddTaggedMp3("music/a.mp3", "Old A", "X");
    Folder.AddTaggedMp3("music/b.mp3", "B", "X");
    const std::string c = Folder.AddTaggedMp3("music/c.mp3", "C", "X");
    Start();
    const QString statusBefore = Text("StatusBarPanel");
    Folder.AddTaggedMp3("music/a.mp3", "New A", "X", 5000);
    std::filesystem::remove(c);
    SelectRows(Window(), {0, 1, 2});
    PressKey(Window(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(SongNamed(Window(), "a")->Title(), "New A");
    EXPECT_EQ(SongNamed(Window(), "a")->Size, 5128);
    EXPECT_EQ(SongNamed(Window(), "c")->Title(), "C") << "a gone file keeps its song and row";
    ASSERT_EQ(Desktop.Messages.size(), 1);
    EXPECT_TRUE(Desktop.Messages[0].startsWith(QString::fromLatin1(kUnreadFilesMessage.data())));
    EXPECT_TRUE(Desktop.Messages[0].contains(QString::fromStdString(c)));
    EXPECT_NE(Text("StatusBarPanel"), statusBefore) << "the sizes follow";
    EXPECT_EQ(Pane().Rows().SelectedRows(), (std::vector<int>{0, 1, 2}));
}

TEST_F(SongActionsWindow, TheShownFolderListsNewFilesAndKeepsSelectionAndFocus) {
    Folder.AddTaggedMp3("music/a.mp3", "A", "X");
    Folder.AddTaggedMp3("music/b.mp3", "B", "X");
    Start();
    const QString header = Text("lblFolderContents");
    SelectRows(Window(), {1});
    Pane().Rows().Selection()->setCurrentIndex(SongModel(Window())->index(1, 0),
                                               QItemSelectionModel::NoUpdate);
    cSongInfo* selected = SongNamed(Window(), "b");

    // Copied in by the file manager, and a tagger's write of a known file through a rename.
    Folder.AddTaggedMp3("music/0 new.mp3", "New", "X");
    const std::string temporary = Folder.AddTaggedMp3("music/.a.tmp", "Retagged", "X", 900);
    std::filesystem::rename(temporary, Folder.Below("music/a.mp3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return RowNamed(Window(), "0 new") >= 0; }, 3000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return SongNamed(Window(), "a")->Title() == "Retagged"; }, 3000));
    EXPECT_EQ(Pane().Rows().SelectedSongs(), std::vector<cSongInfo*>{selected});
    EXPECT_EQ(SongModel(Window())->Song(Pane().Rows().Selection()->currentIndex().row()), selected);
    EXPECT_NE(Text("lblFolderContents"), header) << "the header counts the new song";

    // While a dialog is open (modal, as the desktop runs it) the changes wait for it.
    Desktop.OnDialog = [&](QDialog& dialog) {
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        Folder.AddTaggedMp3("music/during.mp3", "During", "X");
        QTest::qWait(TFolderWatcher::kBusyDelayMs + 300);
        EXPECT_EQ(RowNamed(Window(), "during"), -1);
        dialog.hide();
        return int(QDialog::Rejected);
    };
    PressKey(Window(), Qt::Key_F3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return RowNamed(Window(), "during") >= 0; }, 3000));
    EXPECT_TRUE(Desktop.Messages.isEmpty());
}

} // namespace
