// The search window: opening and closing with the toggle and Ctrl+F, its rows, the scopes over
// view modes and group filters, a rejected condition, the list coming back after a search, and
// its settings.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>

#include "catalogue/unitSongUtils.h"
#include "search/unitFindSong.h"
#include "search/unitFraCriteria.h"
#include "support/main_window_fixture.h"
#include "util/unitIniFile.h"

namespace {

/// Songs titled after their places: "Love a" in music, "Love b" in music too, "Love c" in
/// music/sub, "Love d" in music2 (a sibling whose name continues music's), "Love e" in other.
/// Each folder is selected once, so all are in the catalogue; music stays selected.
std::unique_ptr<TfrmMain> StartOverSongs(const cProgramFolder& folder, cDesktop& desktop) {
    folder.AddTaggedMp3("music/a.mp3", "Love a");
    folder.AddTaggedMp3("music/b.mp3", "Love b");
    folder.AddTaggedMp3("music/sub/c.mp3", "Love c");
    folder.AddTaggedMp3("music2/d.mp3", "Love d");
    folder.AddTaggedMp3("other/e.mp3", "Love e");
    folder.WriteFile("Options.ini", SettingsOpening(folder.Below("other")));
    auto window = StartWindow(folder, desktop);
    for (const char* path : {"music2", "music/sub", "music"}) {
        SelectFolder(*window, folder.Below(path));
    }
    return window;
}

std::vector<std::string> ShownTitles(TfrmMain& window) {
    std::vector<std::string> titles;
    for (cSongInfo* song : SongModel(window)->Songs()) {
        titles.emplace_back(song->Title());
    }
    std::sort(titles.begin(), titles.end());
    return titles;
}

using cTitles = std::vector<std::string>;

TfrmFindSong* PressCtrlF(TfrmMain& window) {
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    PressKey(window, Qt::Key_F, Qt::ControlModifier);
    return window.FindWindow();
}

template <typename T> T* Find(TfrmFindSong& search, const char* name) {
    T* control = search.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

void SetRow(TfraCriteria* row, int field, int method, const QString& text) {
    row->Fields()->setCurrentIndex(field);
    row->SearchMethod()->setCurrentIndex(method);
    row->Condition()->setText(text);
}

/// One row, the scope, and a click on "&Search".
void Search(TfrmFindSong& search, const char* scope, int field, int method, const QString& text) {
    Find<QRadioButton>(search, scope)->setChecked(true);
    SetRow(search.Rows().front(), field, method, text);
    QTest::mouseClick(Find<QPushButton>(search, "btnSearch"), Qt::LeftButton);
}

QStringList Items(QComboBox* chooser) {
    QStringList items;
    for (int i = 0; i < chooser->count(); ++i) {
        items << chooser->itemText(i);
    }
    return items;
}

/// The program folder and the desktop each test starts its windows with.
class FindSong : public ::testing::Test {
protected:
    cRecordingDesktop Desktop;
    cProgramFolder Folder;
};

} // namespace

TEST_F(FindSong, OpensAsItsOwnWindowWithOneRowThatFindsNothing) {
    auto window = StartOverSongs(Folder, Desktop);
    auto* toggle = Control<QToolButton>(*window, "tbToggleFindWindow");
    int keysSeenByList = 0;
    TfrmFindSong* search = nullptr;
    {
        cEventCounter counter(SongList(*window), QEvent::KeyPress, keysSeenByList);
        search = PressCtrlF(*window);
    }
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(keysSeenByList, 2) << "Ctrl and F both reach the list";
    EXPECT_TRUE(toggle->isChecked());
    ASSERT_TRUE(QTest::qWaitForWindowActive(search));
    EXPECT_EQ(search->windowTitle(), "Find songs");
    // Its own window, transient for the main window (kept above it), not modal.
    EXPECT_TRUE(search->isWindow());
    EXPECT_EQ(search->parentWidget(), window.get());
    EXPECT_EQ(search->windowHandle()->transientParent(), window->windowHandle());
    EXPECT_FALSE(search->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(search->windowIcon().isNull());
    EXPECT_FALSE(search->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    // The designed client area, unless this system's font needs more room.
    EXPECT_EQ(search->size(), QSize(390, 266).expandedTo(search->minimumSizeHint()));
    EXPECT_GT(search->maximumWidth(), search->width()) << "sizeable";
    const QPoint offCentre =
        search->frameGeometry().center() - search->screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);
    EXPECT_EQ(Find<QLabel>(*search, "lblHeader")->text(),
              "Define here below conditions for the search");
    EXPECT_TRUE(Find<QRadioButton>(*search, "radEntireCollection")->isChecked());
    EXPECT_EQ(Find<QRadioButton>(*search, "RadInDisplay")->text(),
              "Only the songs now in the list");
    auto* searchButton = Find<QPushButton>(*search, "btnSearch");
    EXPECT_TRUE(searchButton->isDefault());
    EXPECT_TRUE(searchButton->font().bold());
    EXPECT_EQ(Find<QPushButton>(*search, "btnAddCriteria")->text(), "&Add Criteria");
    EXPECT_EQ(Find<QPushButton>(*search, "btnClose")->text(), "&Close");

    ASSERT_EQ(search->Rows().size(), 1);
    TfraCriteria* row = search->Rows().front();
    EXPECT_EQ(Items(row->Fields()), QStringList({"Filename", "Folder", "Title", "Artist", "Album",
                                                 "Groups", "Size", "Views count"}));
    EXPECT_EQ(row->Fields()->currentText(), "Title");
    EXPECT_EQ(row->SearchMethod()->currentText(), " contains");
    EXPECT_TRUE(row->Condition()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), row->Condition());

    // Enter searches: " contains" an empty text finds nothing.
    const QString band = Control<QLabel>(*window, "pnlActiveGroup")->text();
    QTest::keyClick(row->Condition(), Qt::Key_Return);
    EXPECT_TRUE(ShownTitles(*window).empty());
    EXPECT_TRUE(window->BrowserState().SearchResultShown());
    EXPECT_EQ(Control<QLabel>(*window, "lblFolderContents")->text(),
              "Displaying 0 songs, divided into 0 groups");
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->text(), band);

    // A click in the main window (not blocked by the search) leaves the search window shown.
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::mouseClick(SongList(*window)->viewport(), Qt::LeftButton);
    EXPECT_TRUE(search->isVisible());

    // Ctrl+F again closes it, the toggle goes up, and the folder's songs come back.
    EXPECT_EQ(PressCtrlF(*window), nullptr);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(ShownTitles(*window), (cTitles{"Love a", "Love b"}));
    window->close();
}

TEST_F(FindSong, ScopesFollowTheViewModeAndTheGroupFilterAndNarrowTheList) {
    auto window = StartOverSongs(Folder, Desktop);
    for (cSongInfo* song : *MasterSongList) {
        if (song && song->Title() == "Love a") {
            song->Groups = {"Rock"};
        }
    }
    window->SetGroupFilter(eGroupViewMode::OneGroup, "rock");
    window->SongListPane().Rows().Populate();
    TfrmFindSong* search = PressCtrlF(*window);
    ASSERT_NE(search, nullptr);

    // The folder in view mode 0 is what the list shows: the group filter holds.
    Search(*search, "radSelFolder", kFieldTitle, kOpContains, "love");
    EXPECT_EQ(ShownTitles(*window), cTitles{"Love a"});
    // In another view mode the folder is queried afresh, whatever the group filter.
    ChooseViewMode(*window, "popViewModes_EntireCollection");
    const QString band = Control<QLabel>(*window, "pnlActiveGroup")->text();
    Search(*search, "radSelFolder", kFieldTitle, kOpContains, "love");
    EXPECT_EQ(ShownTitles(*window), (cTitles{"Love a", "Love b"}));
    // Recursively: every folder whose path begins with the folder's, the sibling music2 too.
    Search(*search, "radSelFolderRecursively", kFieldTitle, kOpContains, "love");
    EXPECT_EQ(ShownTitles(*window), (cTitles{"Love a", "Love b", "Love c", "Love d"}));
    // Each search over the list narrows it further.
    Search(*search, "RadInDisplay", kFieldTitle, kOpDoesntContain, "c");
    EXPECT_EQ(ShownTitles(*window), (cTitles{"Love a", "Love b", "Love d"}));
    Search(*search, "RadInDisplay", kFieldFilename, kOpIsNot,
           QString::fromStdString(Folder.Below("music2/d.mp3")));
    EXPECT_EQ(ShownTitles(*window), (cTitles{"Love a", "Love b"}));
    Search(*search, "radEntireCollection", kFieldFolder, kOpIs,
           QString::fromStdString(Folder.Below("other")));
    EXPECT_EQ(ShownTitles(*window), cTitles{"Love e"});
    EXPECT_EQ(Control<QLabel>(*window, "pnlActiveGroup")->text(), band)
        << "a search leaves the filter captions alone";
    window->close();
}

TEST_F(FindSong, RowsAreAddedAndRemovedAndReadAsTyped) {
    auto window = StartOverSongs(Folder, Desktop);
    TfrmFindSong* search = PressCtrlF(*window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(search));
    SetRow(search->Rows()[0], kFieldTitle, kOpContains, "love");
    QTest::mouseClick(Find<QPushButton>(*search, "btnAddCriteria"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(*search, "btnAddCriteria"), Qt::LeftButton);
    ASSERT_EQ(search->Rows().size(), 3);
    EXPECT_EQ(QApplication::focusWidget(), search->Rows()[2]->Condition());
    QTest::qWait(1);
    EXPECT_LT(search->Rows()[0]->y(), search->Rows()[1]->y());
    EXPECT_LT(search->Rows()[1]->y(), search->Rows()[2]->y());
    SetRow(search->Rows()[1], kFieldTitle, kOpIs, "nothing at all");
    SetRow(search->Rows()[2], kFieldTitle, kOpEndsWith, "B ");

    // Blanks are part of the condition: no title ends with "b ".
    QTest::mouseClick(Find<QPushButton>(*search, "btnSearch"), Qt::LeftButton);
    EXPECT_TRUE(ShownTitles(*window).empty());
    // A removed row takes no part any more; the last row cannot be removed.
    TfraCriteria* last = search->Rows()[2];
    QTest::mouseClick(search->Rows()[1]->CloseButton(), Qt::LeftButton);
    ASSERT_EQ(search->Rows().size(), 2);
    EXPECT_EQ(search->Rows()[1], last);
    last->Condition()->setText("b");
    QTest::mouseClick(Find<QPushButton>(*search, "btnSearch"), Qt::LeftButton);
    EXPECT_EQ(ShownTitles(*window), cTitles{"Love b"});
    QTest::mouseClick(search->Rows()[0]->CloseButton(), Qt::LeftButton);
    QTest::mouseClick(search->Rows()[0]->CloseButton(), Qt::LeftButton);
    ASSERT_EQ(search->Rows().size(), 1);
    EXPECT_EQ(search->Rows()[0], last);
    EXPECT_TRUE(last->isVisible());
    window->close();
}

TEST_F(FindSong, ARejectedConditionIsReportedAndChangesNothing) {
    auto window = StartOverSongs(Folder, Desktop);
    TfrmFindSong* search = PressCtrlF(*window);
    const cTitles before = ShownTitles(*window);
    const auto expectUnchanged = [&] {
        EXPECT_EQ(ShownTitles(*window), before);
        EXPECT_FALSE(window->BrowserState().SearchResultShown());
        EXPECT_EQ(search->Rows().size(), 1);
    };
    Search(*search, "radEntireCollection", kFieldSize, kOpGreaterOrEqual, "12 ");
    EXPECT_EQ(Desktop.Messages,
              QStringList("Unhandled exception: '''12 '' is not a valid integer value'"));
    expectUnchanged();
    Search(*search, "radEntireCollection", kFieldTitle, kOpLess, "x");
    EXPECT_EQ(Desktop.Messages.value(1),
              "Unhandled exception: 'Invalid search conditions for string fields'");
    expectUnchanged();
    // Bad input: a pasted number of 10,000 digits, texts of 10,000 characters, text that was
    // not valid UTF-8 (replacement characters, a lone surrogate).
    Search(*search, "radEntireCollection", kFieldViewsCount, kOpIs, QString(10'000, '7'));
    EXPECT_LT(Desktop.Messages.value(2).size(), 200);
    expectUnchanged();
    Search(*search, "radEntireCollection", kFieldFilename, kOpContains, QString(10'000, 'x'));
    EXPECT_TRUE(ShownTitles(*window).empty());
    Search(*search, "radEntireCollection", kFieldTitle, kOpIsNot,
           QString(5'000, QChar(0xFFFD)) + QChar(0xD800));
    EXPECT_EQ(ShownTitles(*window).size(), 5u);
    EXPECT_EQ(Desktop.Messages.size(), 3);
    window->close();
}

TEST_F(FindSong, ClosingBringsTheViewBackUntilTheFolderChanges) {
    auto window = StartOverSongs(Folder, Desktop);
    auto* toggle = Control<QToolButton>(*window, "tbToggleFindWindow");
    QSignalSpy fills(&SongRows(*window), &TSongRows::Filled);
    TfrmFindSong* search = PressCtrlF(*window);
    Search(*search, "radEntireCollection", kFieldTitle, kOpIs, "love e");
    EXPECT_EQ(ShownTitles(*window), cTitles{"Love e"});
    QTest::mouseClick(Find<QPushButton>(*search, "btnClose"), Qt::LeftButton);
    EXPECT_EQ(window->FindWindow(), nullptr);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(ShownTitles(*window), (cTitles{"Love a", "Love b"}));
    EXPECT_TRUE(window->BrowserState().SearchResultShown()) << "only a folder change clears it";
    EXPECT_EQ(fills.size(), 2);

    // Opened and closed again (the toggle, then Esc): the view is filled once more.
    toggle->click();
    ASSERT_NE(window->FindWindow(), nullptr);
    QTest::keyClick(window->FindWindow()->Rows().front()->Condition(), Qt::Key_Escape);
    EXPECT_EQ(window->FindWindow(), nullptr);
    EXPECT_EQ(fills.size(), 3);

    SelectFolder(*window, Folder.Below("other"));
    EXPECT_FALSE(window->BrowserState().SearchResultShown());
    toggle->click();
    window->FindWindow()->close();
    EXPECT_EQ(fills.size(), 4) << "the folder change filled the list, the close did not";
    window->close();
}

TEST_F(FindSong, SettingsAreWrittenWhenTheMainWindowClosesAndReadBack) {
    QSize frame;
    {
        auto window = StartWindow(Folder, Desktop);
        TfrmFindSong* search = PressCtrlF(*window);
        ASSERT_NE(search, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(search));
        search->resize(search->size() + QSize(40, 30));
        frame = search->frameGeometry().size();
        Find<QRadioButton>(*search, "radSelFolderRecursively")->setChecked(true);
        window->close();
        EXPECT_EQ(window->FindWindow(), nullptr);
    }
    const cIniFile settings(Folder.File("Options.ini"));
    EXPECT_EQ(settings.ReadSectionKeys("FindWindow"),
              (std::vector<std::string>{"LastSelectedRadio", "Height", "Width"}));
    EXPECT_EQ(settings.ReadInteger("FindWindow", "LastSelectedRadio", -1), 2);
    EXPECT_EQ(settings.ReadInteger("FindWindow", "Height", -1), frame.height());
    EXPECT_EQ(settings.ReadInteger("FindWindow", "Width", -1), frame.width());
    {
        auto window = StartWindow(Folder, Desktop);
        TfrmFindSong* search = PressCtrlF(*window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(search));
        EXPECT_EQ(search->frameGeometry().size(), frame) << "the stored size is the frame's";
        EXPECT_TRUE(Find<QRadioButton>(*search, "radSelFolderRecursively")->isChecked());
        EXPECT_EQ(search->Rows().size(), 1) << "rows are not remembered";
        window->close();
    }
    // Values the window never writes: a scope beyond the four, sizes no screen can show.
    Folder.WriteFile("Options.ini",
                     "[FindWindow]\r\nLastSelectedRadio=9\r\nHeight=-5\r\nWidth=100000\r\n");
    auto window = StartWindow(Folder, Desktop);
    TfrmFindSong* search = PressCtrlF(*window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(search));
    EXPECT_TRUE(Find<QRadioButton>(*search, "radEntireCollection")->isChecked());
    EXPECT_LE(search->frameGeometry().width(), search->screen()->availableGeometry().width());
    EXPECT_EQ(search->height(), search->minimumSizeHint().height());
    search->close();
    Folder.WriteFile("Options.ini", "");
    search = PressCtrlF(*window);
    EXPECT_EQ(search->size(), QSize(390, 266).expandedTo(search->minimumSizeHint()));
    window->close();
    EXPECT_TRUE(Desktop.Messages.isEmpty()) << Desktop.Messages.join("|").toStdString();
}
