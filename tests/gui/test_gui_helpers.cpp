// The GUI building blocks: text edge, desktop services, folder tree, selection helpers, the
// selector strip, the About box and the application-wide error handler.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include "browser/unitAbout.h"
#include "browser/unitApplication.h"
#include "groups/unitCategoriesFrame.h"
#include "support/desktop_fake.h"
#include "support/file_watch.h"
#include "util/unitFileIcons.h"
#include "util/unitFolderTree.h"
#include "util/unitGuiText.h"
#include "util/unitListViewUtils.h"
#include "util/unitMessages.h"

namespace {

/// Records every message the core shows through the desktop, and every trace line, while it
/// lives.
struct cRecordedMessages {
    cRecordingDesktop Desktop;
    cDesktopMessageRoute Route{Desktop};
    std::vector<std::string> Trace;
    cTraceSink OldTrace;

    cRecordedMessages() {
        OldTrace = SetTraceSink([this](std::string_view line) { Trace.emplace_back(line); });
    }
    ~cRecordedMessages() { SetTraceSink(OldTrace); }
    const QStringList& Boxes() const { return Desktop.Messages; }
};

class TThrowingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("it's broken");
        }
        return QObject::event(event);
    }
};

} // namespace

TEST(GuiText, TagTextsShowAsUtf8OrLatin1AndPathsRoundTrip) {
    EXPECT_EQ(TextToQString("caf\xe9"), QString::fromUtf8("café"));
    EXPECT_EQ(TextToQString("caf\xc3\xa9"), QString::fromUtf8("café"));
    EXPECT_EQ(QStringToPath(PathToQString("/m/\xc3\xa9t\xc3\xa9")), "/m/\xc3\xa9t\xc3\xa9");
}

TEST(GuiText, TypedTagTextsAreStoredAsLatin1WhenTheyFitElseAsUtf8) {
    EXPECT_EQ(QStringToText(QString::fromUtf8("café")), "caf\xe9");
    EXPECT_EQ(QStringToText(QString::fromUtf8("café €")), "caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(TextToQString(QStringToText(QString::fromUtf8("Ümlaut €"))),
              QString::fromUtf8("Ümlaut €"));
}

TEST(Desktop, TheTrashTakesTheFileIntoTheUsersTrash) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    const QString song = home.path() + "/a song.mp3";
    QFile file(song);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    cSystemDesktop desktop;
    const std::vector<cTrashResult> results =
        desktop.MoveToTrash({QStringToPath(song), QStringToPath(home.path() + "/missing.mp3")});
    const eTrashOutcome trashed = results.at(0).Outcome;
    const eTrashOutcome missing = results.at(1).Outcome;
    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldData);
    EXPECT_EQ(trashed, eTrashOutcome::kTrashed);
    EXPECT_FALSE(QFile::exists(song));
    // The data folder did not exist yet: the trash is made there, not in the current folder.
    EXPECT_TRUE(QFile::exists(home.path() + "/data/Trash/files/a song.mp3"));
    EXPECT_TRUE(QFile::exists(home.path() + "/data/Trash/info/a song.mp3.trashinfo"));
    EXPECT_FALSE(QFile::exists("files/a song.mp3"));
    EXPECT_EQ(missing, eTrashOutcome::kGone);
}

TEST(Desktop, CoreMessagesReachTheRoutedDesktopUntilTheRouteEnds) {
    std::vector<std::string> before;
    const cMessageSink old =
        SetMessageSink([&](const std::string& text) { before.push_back(text); });
    {
        cRecordedMessages messages;
        ShowErrorMessage("In X (): ", "it's gone");
        ShowMessage("caf\xe9");
        EXPECT_EQ(messages.Boxes(),
                  QStringList({"In X (): 'it''s gone'", QString::fromUtf8("café")}));
    }
    ShowMessage("after");
    SetMessageSink(old);
    EXPECT_EQ(before, std::vector<std::string>{"after"}) << "the earlier sink is back";
}

TEST(Desktop, ARunDialogWaitsModallyUntilTheDialogCloses) {
    cSystemDesktop desktop;
    QDialog dialog;
    bool shownModally = false;
    QTimer::singleShot(0, &dialog, [&] {
        shownModally = dialog.isVisible() && QApplication::activeModalWidget() == &dialog;
        dialog.accept();
    });
    EXPECT_EQ(desktop.RunDialog(dialog), QDialog::Accepted);
    EXPECT_TRUE(shownModally) << "the program waited while the dialog was open";
    EXPECT_FALSE(dialog.isVisible());
}

TEST(Desktop, TheSaveDialogGivesTheSuffixOfTheChosenKindAndAsksNothingMore) {
    QTemporaryDir folder;
    cSystemDesktop desktop;
    const cSaveFileRequest request{
        {{"Playlists (*.pls)", "pls"}, {"M3U playlists (*.m3u8)", "m3u8"}}, "Rock"};
    // The user picks the M3U8 kind and types a name without a suffix.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters(),
                  QStringList({"Playlists (*.pls)", "M3U playlists (*.m3u8)"}));
        EXPECT_EQ(dialog->selectedNameFilter(), "Playlists (*.pls)");
        EXPECT_EQ(dialog->defaultSuffix(), "pls");
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->selectNameFilter("M3U playlists (*.m3u8)");
        emit dialog->filterSelected("M3U playlists (*.m3u8)");
        dialog->setDirectory(folder.path());
        dialog->selectFile("mix");
        QMetaObject::invokeMethod(dialog, "accept"); // as the Save button does
    });
    const cSaveFileAnswer answer = desktop.ChooseSaveFile(request);
    EXPECT_EQ(answer.Path, QDir(folder.path()).filePath("mix.m3u8"));
    EXPECT_EQ(answer.Type, 1);
}

TEST(Desktop, DraggedFilesAreAUriListOfTheirOwnBytesThatADropGivesBack) {
    const std::vector<std::string> paths = {"/m/a b/caf\xc3\xa9.mp3", "/m/100%#1.mp3",
                                            "/m/caf\xe9.mp3"};
    const std::unique_ptr<QMimeData> data(DraggedFilesData(paths));
    EXPECT_EQ(data->data("text/uri-list"),
              QByteArray("file:///m/a%20b/caf%C3%A9.mp3\r\nfile:///m/100%25%231.mp3\r\n"
                         "file:///m/caf%E9.mp3\r\n"));
    EXPECT_TRUE(
        data->text().startsWith(QString::fromUtf8("/m/a b/caf\xc3\xa9.mp3\n/m/100%#1.mp3\n")));
    EXPECT_EQ(DroppedFilePaths(data.get()), paths);

    // As file managers offer them: comments, a host, other schemes and machines.
    QMimeData offered;
    offered.setData("text/uri-list", "# from a file manager\r\nfile://localhost/m/x%20y.mp3\r\n"
                                     "https://example.org/z.mp3\r\nfile:/m/short.mp3\r\n"
                                     "file://elsewhere/m/w.mp3\r\nFILE:///m/v.mp3");
    EXPECT_EQ(DroppedFilePaths(&offered),
              std::vector<std::string>({"/m/x y.mp3", "/m/short.mp3", "/m/v.mp3"}));
}

TEST(ApplicationEvents, AnExceptionReachingTheEventLoopIsShownAndTheProgramGoesOn) {
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr) << "the GUI tests run under the program's own application";
    cRecordedMessages messages;
    TThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
    ASSERT_EQ(messages.Boxes().size(), 1);
    EXPECT_EQ(messages.Boxes()[0], "Unhandled exception: 'it''s broken'");
    ASSERT_EQ(messages.Trace.size(), 1u);
    EXPECT_EQ(messages.Trace[0], "EXCEPTION: it's broken");
    // The next event is delivered as usual.
    QEvent other(QEvent::User);
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&object);
    EXPECT_EQ(messages.Boxes().size(), 2);
}

TEST(FileIcons, SuffixesAreFoldedAndLookedUpOnce) {
    EXPECT_EQ(LowerCaseSuffix("/a.b/Song.MP3"), "mp3");
    EXPECT_EQ(LowerCaseSuffix("/a.b/noext"), "");
    EXPECT_EQ(LowerCaseSuffix("x.tar.GZ"), "gz");
    cFileIconCache icons;
    const QIcon& first = icons.IconFor("/x/one.mp3");
    icons.IconFor("/y/TWO.Mp3");
    icons.IconFor("/y/three");
    EXPECT_EQ(icons.LookupCount(), 2);
    EXPECT_FALSE(first.isNull());
    EXPECT_FALSE(DrawnAudioFileIcon().pixmap(32, 32).isNull());
}

TEST(FolderTree, NearestExistingFolderWalksUp) {
    QTemporaryDir temp;
    const QString base = QDir(temp.path()).canonicalPath();
    ASSERT_TRUE(QDir(base).mkpath("music/rock"));
    EXPECT_EQ(NearestExistingFolder(base + "/music/rock"), base + "/music/rock");
    EXPECT_EQ(NearestExistingFolder(base + "/music/rock/"), base + "/music/rock");
    EXPECT_EQ(NearestExistingFolder(base + "/music/gone/deeper"), base + "/music");
    EXPECT_EQ(NearestExistingFolder("/"), "/");
    EXPECT_EQ(NearestExistingFolder(""), "/");
    EXPECT_EQ(NearestExistingFolder("relative/path"), "/");
}

TEST(FolderTree, SelectsByPathAndReportsEachChangeOnce) {
    QTemporaryDir temp;
    const QString base = QDir(temp.path()).canonicalPath();
    ASSERT_TRUE(QDir(base).mkpath("music/.hidden"));
    ASSERT_TRUE(QDir(base).mkpath("other"));
    cRecordingDesktop desktop;
    TFolderTree tree(desktop);
    QSignalSpy changes(&tree, &TFolderTree::SelectedFolderChanged);
    EXPECT_EQ(tree.SelectedPath(), "");
    tree.SelectFolder(base + "/music/.hidden");
    EXPECT_EQ(tree.SelectedPath(), base + "/music/.hidden");
    EXPECT_EQ(changes.count(), 1);
    tree.SelectFolder(base + "/music/.hidden/");
    EXPECT_EQ(changes.count(), 1);
    tree.SelectFolder(base + "/gone");
    EXPECT_EQ(tree.SelectedPath(), base);
    EXPECT_EQ(changes.count(), 2);
    tree.SelectFolder("/");
    EXPECT_EQ(tree.SelectedPath(), "/");
    // Only folders; only the name column; no header.
    EXPECT_TRUE(tree.FileSystemModel()->filter() & QDir::Hidden);
    EXPECT_FALSE(tree.FileSystemModel()->filter() & QDir::Files);
    EXPECT_TRUE(tree.isHeaderHidden());
    EXPECT_TRUE(tree.isColumnHidden(1));
    EXPECT_EQ(tree.indentation(), 19);
    // The context menu acts on the folder through the desktop.
    tree.ContextMenu()->actions().value(0)->trigger();
    EXPECT_EQ(desktop.Opened.size(), 1);
    tree.ContextMenu()->findChild<QAction*>("popFolders_CopyPath")->trigger();
    EXPECT_EQ(desktop.Copied, desktop.Opened) << "the same folder's path";
}

TEST(FolderTree, ListingAFolderNeverOpensItsFiles) {
    // As root, /proc/kmsg blocks whoever reads it, and so would a file on a dead network
    // mount: the tree must tell folders from files without reading any of them.
    QTemporaryDir temp;
    const QString base = QDir(temp.path()).canonicalPath();
    ASSERT_TRUE(QDir(base).mkpath("music/sub"));
    for (const char* name : {"song.mp3", "notes.txt", "cover.png", "noext"}) {
        QFile file(base + "/music/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x89PNG\r\n\x1a\n%PDF-1.4 ID3", 20));
    }
    cOpenCounter opens((base + "/music").toStdString());
    cRecordingDesktop desktop;
    TFolderTree tree(desktop);
    tree.resize(300, 400);
    tree.show();
    QSignalSpy listed(tree.FileSystemModel(), &QFileSystemModel::directoryLoaded);
    tree.SelectFolder(base + "/music/sub");
    tree.expand(tree.FileSystemModel()->index(base + "/music"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed.contains(QVariantList{base + "/music"}); }));
    QTest::qWait(300); // the model looks at entries in a thread of its own
    EXPECT_EQ(opens.Opens(), 0);
}

TEST(ListViewUtils, SelectionHelpersMarkRowsAndReportAnEmptyList) {
    QStandardItemModel model(4, 2);
    model.setHorizontalHeaderLabels({"FileName", "Views"});
    QTreeView view;
    view.setModel(&model);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);

    int handlerRuns = 0;
    SelectListItem(&view, 2, [&] { ++handlerRuns; });
    EXPECT_EQ(handlerRuns, 0);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {}));
    EXPECT_EQ(view.currentIndex().row(), 2);
    SelectListItem(&view, 0, [&] { ++handlerRuns; });
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {})) << "other rows keep their marks";
    EXPECT_EQ(view.currentIndex().row(), 0);

    view.setCurrentIndex(model.index(1, 0));
    SelectAllItems(&view);
    EXPECT_EQ(view.selectionModel()->selectedRows().size(), 4);
    EXPECT_EQ(view.currentIndex().row(), 1) << "the focus is not moved";

    int column = -1;
    EXPECT_TRUE(FindColumnByCaption(&view, "Views", column));
    EXPECT_EQ(column, 1);
    column = 7;
    EXPECT_FALSE(FindColumnByCaption(&view, "views", column));
    EXPECT_EQ(column, 7);

    model.removeRows(0, 4);
    SelectListItem(&view, 0, [&] { ++handlerRuns; });
    EXPECT_EQ(handlerRuns, 1);
}

TEST(CategoriesFrame, ArrowFollowsTheCentredCaptionAndClicksAreReported) {
    EXPECT_EQ(SelectorArrowLeft(101, 433), 50 + 216 + 4);
    EXPECT_EQ(SelectorArrowLeft(0, 0), 4);

    TfraCategoriesList frame;
    frame.resize(433, 23);
    frame.show();
    frame.SetSelectorCaption("All file groups");
    const int textWidth = frame.Panel()->fontMetrics().horizontalAdvance("All file groups");
    EXPECT_EQ(frame.DownArrow()->x(), SelectorArrowLeft(textWidth, 433));
    frame.resize(300, 23);
    EXPECT_EQ(frame.DownArrow()->x(), SelectorArrowLeft(textWidth, 300));
    EXPECT_EQ(frame.ViewModesPicture()->geometry().right(), 300 - 5);

    QSignalSpy panel(&frame, &TfraCategoriesList::PanelClicked);
    QSignalSpy modes(&frame, &TfraCategoriesList::ViewModesClicked);
    QTest::mouseClick(frame.Panel(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseClick(frame.DownArrow(), Qt::LeftButton, {}, QPoint(5, 9));
    QTest::mouseClick(frame.ViewModesPicture(), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(panel.count(), 2);
    EXPECT_EQ(modes.count(), 1);

    QTest::mouseMove(frame.Panel(), QPoint(30, 10));
    EXPECT_TRUE(frame.CaptionIsHighlighted());
    QTest::mouseMove(frame.ViewModesPicture(), QPoint(8, 8));
    EXPECT_FALSE(frame.CaptionIsHighlighted());
    QTest::mouseMove(frame.DownArrow(), QPoint(5, 9));
    EXPECT_TRUE(frame.CaptionIsHighlighted());
    frame.MouseLeft();
    EXPECT_FALSE(frame.CaptionIsHighlighted());
}

TEST(AboutBox, AFixedModalBoxWithNameTextAndAClosingDefaultButton) {
    TfrmAbout about;
    EXPECT_EQ(about.windowTitle(), "About Tunaria");
    EXPECT_EQ(about.width(), 263);
    EXPECT_GE(about.height(), 117) << "taller only where the font needs it";
    EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "fixed size";
    EXPECT_EQ(about.windowModality(), Qt::ApplicationModal);
    // Only the close button in the frame.
    const Qt::WindowFlags frame = about.windowFlags();
    EXPECT_EQ(frame & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(
        frame.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint));
    for (Qt::WindowType button : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                  Qt::WindowContextHelpButtonHint}) {
        EXPECT_FALSE(frame.testFlag(button)) << button;
    }
    EXPECT_EQ(about.findChild<QLabel*>("lblName")->text(), "Tunaria v1.1");
    EXPECT_TRUE(about.findChild<QLabel*>("lblName")->font().bold());
    EXPECT_EQ(about.findChild<QLabel*>("lblText")->text(),
              "This program browses MP3s and brings world peace free of charge.");
    EXPECT_EQ(about.findChild<QLabel*>("imgLogo")->pixmap().deviceIndependentSize().toSize(),
              QSize(83, 55));
    auto* close = about.findChild<QPushButton*>("btnClose");
    // The logo at the top left, the bold line beside it, the whole text below both.
    const QRect logo = about.findChild<QLabel*>("imgLogo")->geometry();
    const QRect name = about.findChild<QLabel*>("lblName")->geometry();
    const QLabel* text = about.findChild<QLabel*>("lblText");
    EXPECT_EQ(logo.topLeft(), QPoint(8, 8));
    EXPECT_GT(name.left(), logo.right());
    EXPECT_LT(name.top(), logo.bottom());
    EXPECT_GT(text->geometry().top(), std::max(logo.bottom(), name.bottom()));
    EXPECT_TRUE(text->wordWrap());
    EXPECT_GE(text->height(), text->heightForWidth(text->width())) << "no line cut off";
    EXPECT_FALSE(text->geometry().intersects(close->geometry()));
    EXPECT_TRUE(about.rect().contains(text->geometry()));
    EXPECT_TRUE(about.rect().contains(close->geometry()));
    EXPECT_TRUE(close->isDefault());
    EXPECT_EQ(close->text(), "Close");
    // Run as the program runs it: the Close button ends the modal run.
    cSystemDesktop desktop;
    QTimer::singleShot(0, close, &QPushButton::click);
    EXPECT_EQ(desktop.RunDialog(about), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST(SystemDesktop, MessagesOfFailuresCarryAWarningIconNewsOfSuccessAnInformationOne) {
    cSystemDesktop desktop;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const auto closeTheBox = [&icon] {
        QTimer::singleShot(0, [&icon] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                icon = box->icon();
                box->accept();
            }
        });
    };
    closeTheBox();
    desktop.ShowMessage("File rename failed");
    EXPECT_EQ(icon, QMessageBox::Warning);
    closeTheBox();
    desktop.ShowInformationBox("Finished", "Done, files have been grouped.");
    EXPECT_EQ(icon, QMessageBox::Information);
}
