// Groups in the main window: the selector and F5 open the groups menu at the pointer, a filter
// entry narrows the list and is remembered, Ctrl+G assigns the selected songs, groups per
// artist, the bar break, Ctrl+M with the purge that follows, and a group file that cannot be
// written.
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "catalogue/unitSongUtils.h"
#include "groups/unitCategoriesFrame.h"
#include "groups/unitGroupsMenu.h"
#include "support/main_window_fixture.h"

namespace {

/// Three tagged songs a (Nightingale), b and c (Blue) in a music folder the window opens on.
class MainWindowGroups : public ::testing::Test {
protected:
    void SetUp() override {
        m_Folder.AddTaggedMp3("music/a.mp3", "A", "Nightingale");
        m_Folder.AddTaggedMp3("music/b.mp3", "B", "Blue");
        m_Folder.AddTaggedMp3("music/c.mp3", "C", "Blue");
        m_Folder.WriteFile("Options.ini", SettingsOpening(m_Folder.Below("music/")));
    }

    /// The Groups column (the fifth) of each row, in row order (a, b, c by file name).
    QStringList GroupsColumn() const { return ColumnTexts(*m_Window, 4); }
    /// Ctrl+M, and in "Manage song groups" the group of the row deleted and the window closed.
    void DeleteGroupInRow(int row) {
        m_Desktop.OnDialog = [row](QDialog& window) {
            auto* rows = window.findChild<QTreeWidget*>("lstGroups");
            rows->clearSelection();
            rows->topLevelItem(row)->setSelected(true);
            window.findChild<QPushButton*>("btnDelete")->click();
            window.findChild<QPushButton*>("btnClose")->click();
            return window.result();
        };
        PressKey(*m_Window, Qt::Key_M, Qt::ControlModifier);
    }
    QAction* Entry(const char* name) const {
        return m_Window->GroupsMenu().findChild<QAction*>(QString::fromLatin1(name));
    }

    cRecordingDesktop m_Desktop;
    cProgramFolder m_Folder;
    std::unique_ptr<TfrmMain> m_Window;
};

QAction* EntryCaptioned(const TGroupsMenu& menu, const QString& caption) {
    for (QAction* entry : menu.MenuEntries()) {
        if (entry->text() == caption) {
            return entry;
        }
    }
    return nullptr;
}

} // namespace

TEST_F(MainWindowGroups, TheMenuFiltersTheListCtrlGAssignsAndTheFilterIsRemembered) {
    m_Folder.WriteFile("Groups.txt", "Rock\r\nJazz\r\n");
    m_Window = StartWindow(m_Folder, m_Desktop);
    QTreeView* list = SongList(*m_Window);
    const QList<QAction*> items = Control<QMenu>(*m_Window, "popSongsList")->actions();
    const auto groupsItem = items.indexOf(Control<QAction>(*m_Window, "popSongsList_Groups"));
    ASSERT_GE(groupsItem, 0);
    EXPECT_EQ(items[groupsItem]->text(), "&Groups...");
    EXPECT_EQ(items[groupsItem]->shortcut(), QKeySequence("Ctrl+G"));
    EXPECT_TRUE(items[groupsItem + 1]->isSeparator());
    EXPECT_EQ(items[groupsItem + 2]->objectName(), "popSongsList_ViewLargeIcons");

    list->setFocus();
    list->clearSelection();
    PressKey(*m_Window, Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(m_Desktop.Dialogs.isEmpty()) << "Ctrl+G wants a selected song";
    list->selectionModel()->select(
        QItemSelection(list->model()->index(0, 0), list->model()->index(1, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_Desktop.OnDialog = [](QDialog& window) {
        window.findChild<QListWidget*>("lstGroups")->item(0)->setCheckState(Qt::Checked);
        window.findChild<QPushButton*>("btnOK")->click();
        return window.result();
    };
    PressKey(*m_Window, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(m_Desktop.Dialogs, QStringList{"frmGroupFiles"});
    EXPECT_EQ(GroupsColumn(), QStringList({"Rock", "Rock", ""}));

    // The selector lights up under the mouse; a click turns it black and opens the menu.
    auto* selector = Control<TfraCategoriesList>(*m_Window, "fraViewMode");
    EXPECT_EQ(selector->Panel()->toolTip(), "Display song groups (F5)");
    QTest::mouseMove(selector->Panel(), QPoint(20, 10));
    EXPECT_TRUE(selector->CaptionIsHighlighted());
    QTest::mouseClick(selector->Panel(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(selector->CaptionIsHighlighted());
    TGroupsMenu& menu = m_Window->GroupsMenu();
    EXPECT_TRUE(menu.isVisible());
    menu.close();

    // F5 opens it at the pointer, wherever that is; a group entry filters the list.
    QCursor::setPos(QPoint(300, 200));
    list->setFocus();
    PressKey(*m_Window, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_FALSE(menu.isVisible());
    PressKey(*m_Window, Qt::Key_F5);
    ASSERT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.pos(), QPoint(300, 200));
    QTest::mouseClick(menu.Entries(), Qt::LeftButton, {},
                      menu.EntryRect(EntryCaptioned(menu, "Rock")).center());
    EXPECT_EQ(SongModel(*m_Window)->rowCount(), 2);
    EXPECT_EQ(selector->SelectorCaption(), "Rock");
    EXPECT_EQ(Control<QLabel>(*m_Window, "pnlActiveGroup")->text(), " Rock (in this folder only)");
    Entry("popGroups_FilesWithoutGroups")->trigger();
    EXPECT_EQ(GroupsColumn(), QStringList{""});
    EXPECT_EQ(Control<QLabel>(*m_Window, "pnlActiveGroup")->text(),
              " Only ungrouped (in this folder only)");
    m_Window->close();
    const std::string settings = m_Folder.ReadFile("Options.ini");
    EXPECT_NE(settings.find("LastGroupViewMode=1\r\nLastSelGroup=Rock\r\n"), std::string::npos);

    // The next start shows the same filter, over the groups stored in the catalogue.
    m_Window = StartWindow(m_Folder, m_Desktop);
    EXPECT_EQ(SongModel(*m_Window)->rowCount(), 1);
    EXPECT_TRUE(Entry("popGroups_FilesWithoutGroups")->isChecked());
    m_Window->close();
}

TEST_F(MainWindowGroups, GroupsPerArtistBarBreakAndManagingWithThePurge) {
    m_Folder.WriteFile("Groups.txt", "Old\r\n");
    m_Window = StartWindow(m_Folder, m_Desktop);
    Entry("popGroups_CreateGroupsPerArtist")->trigger();
    EXPECT_EQ(m_Desktop.InformationBoxes, QStringList{"Finished\nDone, files have been grouped."});
    EXPECT_EQ(m_Folder.ReadFile("Groups.txt"), "Blue\r\nNightingale\r\nOld\r\n");
    EXPECT_EQ(GroupsColumn(), QStringList({"Nightingale", "Blue", "Blue"}));
    EXPECT_EQ(Control<QLabel>(*m_Window, "lblFolderContents")->text(),
              "Displaying 3 songs, divided into 3 groups");

    m_Desktop.OnDialog = [](QDialog& window) {
        window.findChild<QLineEdit*>("edtBarBreak")->setText("1");
        window.findChild<QPushButton*>("btnOK")->click();
        return window.result();
    };
    Entry("popGroups_BarLimit")->trigger();
    EXPECT_EQ(m_Window->BrowserState().BarBreakLimit, 1);
    EXPECT_EQ(m_Window->GroupsMenu().ColumnCount(), 3) << "the menu is rebuilt at once";

    // Ctrl+M: "Blue" deleted; its songs lose it, here and in the catalogue.
    DeleteGroupInRow(0);
    EXPECT_EQ(m_Desktop.Dialogs.last(), "frmManageGroups");
    EXPECT_EQ(m_Folder.ReadFile("Groups.txt"), "Nightingale\r\nOld\r\n");
    EXPECT_EQ(GroupsColumn(), QStringList({"Nightingale", "", ""}));
    EXPECT_EQ(EntryCaptioned(m_Window->GroupsMenu(), "Blue"), nullptr);

    // A group file that cannot be written: one message, the groups in memory stay.
    m_Desktop.OnDialog = nullptr;
    {
        cFileSizeLimit full(4);
        PressKey(*m_Window, Qt::Key_M, Qt::ControlModifier);
    }
    ASSERT_EQ(m_Desktop.Messages.size(), 1) << m_Desktop.Messages.join("|").toStdString();
    EXPECT_TRUE(m_Desktop.Messages[0].startsWith("In SaveGroupList (): '"));
    EXPECT_EQ(m_Folder.ReadFile("Groups.txt"), "Nightingale\r\nOld\r\n");
    EXPECT_EQ(m_Window->GroupList().Count(), 2);
    m_Window->close();

    ASSERT_TRUE(OpenSongsDatabase(m_Folder.File("DB.txt")));
    for (const cSongInfo* song : *MasterSongList) {
        EXPECT_EQ(song->Groups.empty(), song->Author() == "Blue") << song->FileName();
    }
    FreeAllSongs();
}

TEST_F(MainWindowGroups, GroupsTheGroupFileLostComeBackAtStartAndNoPurgeTakesThem) {
    m_Window = StartWindow(m_Folder, m_Desktop);
    Entry("popGroups_CreateGroupsPerArtist")->trigger();
    m_Window->close();
    // Groups.txt as an interrupted run of an older program left it: the songs' groups missing.
    m_Folder.WriteFile("Groups.txt", "Other\r\n");

    m_Window = StartWindow(m_Folder, m_Desktop);
    EXPECT_EQ(m_Folder.ReadFile("Groups.txt"), "Blue\r\nNightingale\r\nOther\r\n");
    EXPECT_NE(EntryCaptioned(m_Window->GroupsMenu(), "Blue"), nullptr) << "in the menu again";
    // Deleting another group purges the songs: theirs stay.
    DeleteGroupInRow(2);
    EXPECT_EQ(m_Folder.ReadFile("Groups.txt"), "Blue\r\nNightingale\r\n");
    EXPECT_EQ(GroupsColumn(), QStringList({"Nightingale", "Blue", "Blue"}));
    EXPECT_TRUE(m_Desktop.Messages.isEmpty()) << m_Desktop.Messages.join("|").toStdString();
    m_Window->close();
}
