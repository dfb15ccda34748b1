// The groups menu with its columns, and the group windows on their own: bar break, add group,
// manage groups, group files.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <chrono>

#include "catalogue/unitSongsDatabaseClass.h"
#include "groups/unitAddGroup.h"
#include "groups/unitBarBreakLimit.h"
#include "groups/unitGroupFiles.h"
#include "groups/unitGroupList.h"
#include "groups/unitGroupsMenu.h"
#include "groups/unitManageGroups.h"
#include "support/desktop_fake.h"

namespace {

using Names = std::vector<std::string>;

template <typename T> T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

/// The group entries of the menu: what stands between the two separators.
QList<QAction*> GroupEntries(const TGroupsMenu& menu) {
    const QList<QAction*> entries = menu.MenuEntries();
    const auto first = entries.indexOf(menu.findChild<QAction*>("popGroups_N1")) + 1;
    return entries.mid(first, entries.indexOf(menu.findChild<QAction*>("popGroups_N2")) - first);
}

cGroupList Numbered(int count) {
    Names names;
    for (int i = 0; i < count; ++i) {
        names.push_back("g" + std::to_string(i));
    }
    return cGroupList(names);
}

void ExpectFixedDialog(const QDialog& dialog, const char* caption, QSize size) {
    EXPECT_EQ(dialog.windowTitle(), caption);
    EXPECT_EQ(dialog.minimumSize(), size);
    EXPECT_EQ(dialog.maximumSize(), size);
    EXPECT_FALSE(dialog.windowFlags() &
                 (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
}

} // namespace

TEST(GroupsMenu, ColumnsBreakAtTheLimitAndChecksAreExact) {
    TGroupsMenu menu;
    menu.BuildGroupsMenu(cGroupList(), eGroupViewMode::AllGroups, "", 24);
    ASSERT_EQ(GroupEntries(menu).size(), 1);
    const QAction* none = GroupEntries(menu)[0];
    EXPECT_EQ(none->text(), "No groups configured");
    EXPECT_FALSE(none->isEnabled());
    EXPECT_FALSE(none->isCheckable());
    EXPECT_TRUE(menu.findChild<QAction*>("popGroups_AllFiles")->isChecked());
    EXPECT_EQ(menu.Manage()->text(), "&Manage groups...");
    EXPECT_EQ(menu.Manage()->shortcut(), QKeySequence("Ctrl+M"));

    menu.BuildGroupsMenu(Numbered(25), eGroupViewMode::OneGroup, "g3", 24);
    QList<QAction*> entries = GroupEntries(menu);
    ASSERT_EQ(entries.size(), 25);
    EXPECT_EQ(menu.ColumnCount(), 2);
    EXPECT_EQ(menu.ColumnOf(entries[23]), 0);
    EXPECT_EQ(menu.ColumnOf(entries[24]), 1) << "the 25th group opens the second column";
    EXPECT_EQ(menu.ColumnOf(menu.findChild<QAction*>("popGroups_AllFiles")), 0);
    EXPECT_EQ(menu.ColumnOf(menu.Manage()), 1);
    EXPECT_TRUE(entries[3]->isChecked());
    EXPECT_FALSE(menu.findChild<QAction*>("popGroups_AllFiles")->isChecked());

    menu.BuildGroupsMenu(cGroupList(Names{"Rock & Roll", "rock", "Rock", "a\tb"}),
                         eGroupViewMode::OneGroup, "Rock", 1);
    entries = GroupEntries(menu);
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(menu.ColumnCount(), 4);
    EXPECT_EQ(menu.ColumnOf(entries[3]), 3);
    EXPECT_EQ(entries[0]->text(), "Rock && Roll") << "an & shows as itself";
    EXPECT_EQ(entries[3]->text(), "a b");
    EXPECT_FALSE(entries[1]->isChecked()) << "another letter case is not checked";
    EXPECT_TRUE(entries[2]->isChecked());
    eGroupViewMode mode = eGroupViewMode::AllGroups;
    std::string group;
    ASSERT_TRUE(menu.FilterOfEntry(entries[3], mode, group));
    EXPECT_EQ(mode, eGroupViewMode::OneGroup);
    EXPECT_EQ(group, "a\tb") << "the name exactly as the list holds it";
    EXPECT_FALSE(menu.FilterOfEntry(menu.Manage(), mode, group));

    menu.BuildGroupsMenu(Numbered(3), eGroupViewMode::AllGroups, "", 0);
    EXPECT_EQ(menu.ColumnCount(), 3) << "a limit below 1 counts as 1";
}

TEST(GroupsMenu, BehavesAsAMenuAndStaysOnTheScreen) {
    TGroupsMenu menu;
    menu.BuildGroupsMenu(Numbered(5), eGroupViewMode::AllGroups, "", 2);
    const QList<QAction*> groups = GroupEntries(menu);
    QSignalSpy chosen(&menu, &TColumnMenu::triggered);
    menu.Popup(QPoint(10, 20));
    ASSERT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.pos(), QPoint(10, 20));

    // All, Only, (separator), g0, g1 | g2 g3 | g4, (separator), commands.
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&menu, Qt::Key_Down);
    }
    EXPECT_EQ(menu.ActiveAction(), groups[1]);
    QTest::keyClick(&menu, Qt::Key_Right);
    EXPECT_EQ(menu.ActiveAction(), groups[3]);
    QTest::keyClick(&menu, Qt::Key_Right);
    QTest::keyClick(&menu, Qt::Key_Left);
    EXPECT_EQ(menu.ColumnOf(menu.ActiveAction()), 1);
    QTest::keyClick(&menu, Qt::Key_Up);
    EXPECT_EQ(menu.ActiveAction(), groups[2]);
    QTest::keyClick(&menu, Qt::Key_Return);
    EXPECT_FALSE(menu.isVisible());
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].value<QAction*>(), groups[2]);
    EXPECT_TRUE(groups[2]->isChecked());

    menu.Popup(QPoint(10, 20));
    QTest::keyClick(&menu, Qt::Key_Escape);
    EXPECT_FALSE(menu.isVisible());
    menu.Popup(QPoint(10, 20));
    QTest::mouseClick(&menu, Qt::LeftButton, {}, QPoint(-5, menu.height() + 5));
    EXPECT_FALSE(menu.isVisible()) << "a click outside closes it";
    EXPECT_EQ(chosen.count(), 1);

    // The mouse: hover highlights, a separator does not, a click chooses.
    menu.Popup(QPoint(10, 20));
    QWidget* surface = menu.Entries();
    QTest::mouseMove(surface, menu.EntryRect(groups[4]).center());
    EXPECT_EQ(menu.ActiveAction(), groups[4]);
    QTest::mouseMove(surface, menu.EntryRect(menu.findChild<QAction*>("popGroups_N1")).center());
    EXPECT_EQ(menu.ActiveAction(), nullptr);
    QTest::mouseClick(surface, Qt::LeftButton, {}, menu.EntryRect(groups[0]).center());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_TRUE(groups[0]->isChecked());

    // An accelerator letter and a shortcut choose their entry.
    QSignalSpy manage(menu.Manage(), &QAction::triggered);
    menu.Popup(QPoint(10, 20));
    QTest::keyClick(&menu, Qt::Key_M);
    menu.Popup(QPoint(10, 20));
    QTest::keyClick(&menu, Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(manage.count(), 2);

    // A thousand groups near the screen's corner: on the screen, and the last entry in sight.
    menu.BuildGroupsMenu(Numbered(1000), eGroupViewMode::AllGroups, "", 24);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    menu.Popup(screen.bottomRight() - QPoint(5, 5));
    EXPECT_TRUE(screen.contains(menu.geometry())) << menu.geometry().x() << "," << menu.width();
    QTest::keyClick(&menu, Qt::Key_End);
    EXPECT_EQ(menu.ActiveAction(), menu.Manage());
    const QRect shown = surface->visibleRegion().boundingRect();
    EXPECT_TRUE(shown.contains(menu.EntryRect(menu.Manage()))) << "scrolled into sight";
    menu.close();
}

// A menu of 100,000 groups builds and opens at once (it once took minutes), scrolls to its far
// end by columns, and keeps one check mark among all its filter entries.
TEST(GroupsMenu, AHundredThousandGroupsOpenAtOnceAndKeepOneCheckMark) {
    TGroupsMenu menu;
    QSignalSpy filters(menu.Filters(), &QActionGroup::triggered);
    const auto start = std::chrono::steady_clock::now();
    menu.BuildGroupsMenu(Numbered(100'000), eGroupViewMode::OneGroup, "g7", 24);
    menu.Popup(QPoint(0, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const QList<QAction*> entries = GroupEntries(menu);
    ASSERT_EQ(entries.size(), 100'000);
    EXPECT_EQ(menu.ColumnCount(), 4167);
    EXPECT_EQ(menu.ColumnOf(entries[99'999]), 4166);
    EXPECT_TRUE(entries[7]->isChecked());

    // End reaches the last command; the last group lies four entries up (past the separator).
    QTest::keyClick(&menu, Qt::Key_End);
    EXPECT_EQ(menu.ActiveAction(), menu.Manage());
    EXPECT_TRUE(menu.Entries()->rect().contains(menu.EntryRect(menu.Manage())));
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&menu, Qt::Key_Up);
    }
    ASSERT_EQ(menu.ActiveAction(), entries[99'999]);
    QTest::keyClick(&menu, Qt::Key_Left);
    EXPECT_EQ(menu.ColumnOf(menu.ActiveAction()), 4165) << "a column to the left, in sight";
    EXPECT_TRUE(menu.Entries()->rect().contains(menu.EntryRect(menu.ActiveAction())));
    QTest::keyClick(&menu, Qt::Key_Right);
    QTest::keyClick(&menu, Qt::Key_Return);
    ASSERT_EQ(filters.count(), 1);
    EXPECT_EQ(filters[0][0].value<QAction*>(), entries[99'999]);
    const auto checked = [&] {
        QList<QAction*> marked;
        for (QAction* entry : menu.MenuEntries()) {
            if (entry->isChecked()) {
                marked.push_back(entry);
            }
        }
        return marked;
    };
    EXPECT_EQ(checked(), QList<QAction*>{entries[99'999]});
    menu.findChild<QAction*>("popGroups_FilesWithoutGroups")->trigger();
    EXPECT_EQ(checked(), QList<QAction*>{menu.findChild<QAction*>("popGroups_FilesWithoutGroups")});
    // Rebuilt smaller: the kept entries take the new names and marks.
    menu.BuildGroupsMenu(Numbered(3), eGroupViewMode::OneGroup, "g2", 24);
    ASSERT_EQ(GroupEntries(menu).size(), 3);
    EXPECT_EQ(checked(), QList<QAction*>{GroupEntries(menu)[2]});
}

TEST(BarBreakWindow, OkOnlyForAWholeNumberAboveZero) {
    TfrmBarBreak window(24);
    ExpectFixedDialog(window, "Bar break", QSize(230, 85));
    const QLabel* label = Child<QLabel>(window, "lblBarBreak");
    EXPECT_EQ(label->text(), "Maximum items in menu per column:");
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << "the whole text shows";
    auto* edit = Child<QLineEdit>(window, "edtBarBreak");
    auto* ok = Child<QPushButton>(window, "btnOK");
    EXPECT_EQ(edit->text(), "24");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(ok->isDefault());
    // The integer rule of the search conditions and the settings file.
    for (const char* refused : {"", "0", "-3", "abc", "1.5", "99999999999", "7 ", "$FFFFFFFF"}) {
        edit->setText(refused);
        EXPECT_FALSE(ok->isEnabled()) << refused;
    }
    for (const auto& [typed, limit] :
         {std::pair<const char*, int>{" 7", 7}, {"$1A", 26}, {"0x10", 16}, {"+012", 12}}) {
        edit->setText(typed);
        EXPECT_TRUE(ok->isEnabled()) << typed;
        EXPECT_EQ(window.BarBreakLimit(), limit) << typed;
    }
    edit->setText("x");
    EXPECT_EQ(window.BarBreakLimit(), 24);
}

TEST(AddGroupWindow, AnyNonEmptyNameIsAddedOnceMoreAndTheListSorted) {
    cRecordingDesktop desktop;
    cGroupList groups(Names{"Rock", "Jazz"});
    std::string name;
    desktop.OnDialog = [](QDialog& dialog) {
        ExpectFixedDialog(dialog, "Add group", QSize(230, 85));
        auto* ok = Child<QPushButton>(dialog, "btnOK");
        EXPECT_FALSE(ok->isEnabled());
        Child<QLineEdit>(dialog, "edtName")->setText("  ");
        EXPECT_TRUE(ok->isEnabled()) << "blanks count";
        Child<QLineEdit>(dialog, "edtName")->setText("rock");
        ok->click();
        return dialog.result();
    };
    EXPECT_TRUE(ShowAddGroup(groups, desktop, nullptr, name));
    EXPECT_EQ(name, "rock");
    EXPECT_EQ(groups.Names(), (Names{"Jazz", "Rock", "rock"}));
    desktop.OnDialog = nullptr;
    EXPECT_FALSE(ShowAddGroup(groups, desktop, nullptr, name));
    EXPECT_EQ(groups.Count(), 3);
}

TEST(ManageGroupsWindow, DeletesTheSelectedRowsAddsAtTheEndAndRefusesEdits) {
    cRecordingDesktop desktop;
    cGroupList groups;
    {
        TfrmManageGroups empty(groups, desktop);
        EXPECT_FALSE(Child<QPushButton>(empty, "btnDelete")->isEnabled());
    }
    groups = cGroupList(Names{"A", "b", "C", "D"});
    TfrmManageGroups window(groups, desktop);
    ExpectFixedDialog(window, "Manage song groups", QSize(299, 280));
    auto* list = Child<QTreeWidget>(window, "lstGroups");
    auto* remove = Child<QPushButton>(window, "btnDelete");
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(window, "btnAdd")->isDefault());
    EXPECT_FALSE(list->topLevelItem(0)->flags() & Qt::ItemIsEditable);
    window.show();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_EQ(list->findChild<QLineEdit*>(), nullptr) << "names are never edited in place";

    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    remove->click();
    EXPECT_EQ(groups.Names(), (Names{"A", "D"}));
    EXPECT_TRUE(window.GroupsDeleted());
    EXPECT_TRUE(list->topLevelItem(1)->isSelected()) << "the row at the topmost deleted place";
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    remove->click();
    EXPECT_TRUE(list->topLevelItem(0)->isSelected()) << "else the new last row";

    // Enter runs Add; the new row comes last though the list is sorted.
    desktop.OnDialog = [](QDialog& dialog) {
        Child<QLineEdit>(dialog, "edtName")->setText("0 first");
        dialog.accept();
        return dialog.result();
    };
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(groups.Names(), (Names{"0 first", "A"}));
    EXPECT_EQ(list->topLevelItem(1)->text(0), "0 first");
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted) << "Esc runs Close";
}

TEST(GroupFilesWindow, TheUnionIsCheckedAndTheButtonsSetEveryBox) {
    cSongInfo first;
    first.Groups = {"A", "b"};
    cSongInfo second;
    second.Groups = {"B", "Stray"};
    const cGroupList groups(Names{"a", "B", "C"});
    TfrmGroupFiles window(groups, {&first, &second});
    ExpectFixedDialog(window, "Group several music files", QSize(300, 257));
    EXPECT_EQ(Child<QLabel>(window, "lblTitle")->text(),
              "Affiliate 2 songs with the following groups:");
    EXPECT_EQ(window.CheckedGroups(), (Names{"a", "B"}));
    EXPECT_TRUE(Child<QPushButton>(window, "btnOK")->isDefault());
    Child<QPushButton>(window, "btnInvertSelection")->click();
    EXPECT_EQ(window.CheckedGroups(), Names{"C"});
    Child<QPushButton>(window, "btnSelectAll")->click();
    EXPECT_EQ(window.CheckedGroups(), (Names{"a", "B", "C"}));
    Child<QPushButton>(window, "btnUnselectAll")->click();
    EXPECT_EQ(window.CheckedGroups(), Names{});

    TfrmGroupFiles one(groups, {&first});
    EXPECT_EQ(Child<QLabel>(one, "lblTitle")->text(),
              "Affiliate 1 songs with the following groups:");
}
