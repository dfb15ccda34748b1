#pragma once
// Support for tests of the main window: a temporary program folder, MP3 files to scan, a window
// started over them with the recording desktop, and the user's gestures on it.

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QListView>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/unitMain.h"
#include "browser/unitSongColumnLayout.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListPane.h"
#include "browser/unitSongRows.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "support/desktop_fake.h"
#include "support/song_fixtures.h"
#include "util/unitFolderTree.h"
#include "util/unitUtils.h"

/// A program folder in a temporary folder, with room for music folders beside it.
class cProgramFolder {
public:
    cProgramFolder() : m_Root(QDir(m_Temp.path()).canonicalPath()) {
        QDir(m_Root).mkpath("program");
    }

    /// The folder with a trailing separator, as the window takes it.
    std::string Path() const { return (m_Root + "/program/").toStdString(); }
    std::string File(const std::string& name) const { return Path() + name; }
    /// A path below the temporary root (not inside the program folder).
    std::string Below(const std::string& relative) const {
        return (m_Root + "/").toStdString() + relative;
    }

    /// An MP3 file (a few bytes of audio and no tag) at the relative path; folders are made.
    std::string AddMp3(const std::string& relative) const {
        const std::string path = Below(relative);
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        std::ofstream(path, std::ios::binary) << std::string(300, '\x55');
        return path;
    }
    /// An MP3 file (as AddMp3) per name, at folder + name + suffix.
    void AddMp3s(const std::string& folder, std::initializer_list<const char*> names,
                 const std::string& suffix = ".mp3") const {
        for (const char* name : names) {
            AddMp3(folder + name + suffix);
        }
    }
    /// An MP3 file of audioBytes bytes of audio followed by an ID3v1 tag with the texts.
    std::string AddTaggedMp3(const std::string& relative, std::string_view title,
                             std::string_view artist = {}, size_t audioBytes = 300) const {
        const std::string path = Below(relative);
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        std::ofstream(path, std::ios::binary) << song_fixtures::Mp3Bytes(
            audioBytes, song_fixtures::TagBlock(title, artist, "", "", ""));
        return path;
    }
    /// An MP3 file of the size that takes no disk space (all of it a hole).
    std::string AddHollowMp3(const std::string& relative, uintmax_t size) const {
        const std::string path = AddMp3(relative);
        std::filesystem::resize_file(path, size);
        return path;
    }
    void MakeFolder(const std::string& relative) const {
        QDir().mkpath(QString::fromStdString(Below(relative)));
    }

    void WriteFile(const std::string& name, const std::string& content) const {
        std::ofstream(File(name), std::ios::binary) << content;
    }
    std::string ReadFile(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name) const {
        return QFile::exists(QString::fromStdString(File(name)));
    }

private:
    QTemporaryDir m_Temp;
    QString m_Root;
};

/// A shown main window over the files and the desktop; close() writes the settings.
inline std::unique_ptr<TfrmMain> StartWindow(const cProgramFiles& files, cDesktop& desktop,
                                             const std::string& startFolder = {}) {
    auto window = std::make_unique<TfrmMain>(files, desktop, startFolder);
    if (!window->StartupFailed()) {
        window->show();
        // The first activation fits the frame to the stored size.
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    return window;
}

/// A shown main window with its files in the program folder, which the tree opens first.
inline std::unique_ptr<TfrmMain> StartWindow(const cProgramFolder& folder, cDesktop& desktop) {
    return StartWindow(cProgramFiles{folder.Path(), folder.Path()}, desktop);
}

template <typename T> T* Control(TfrmMain& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

/// The rows of the window's song list, and their model.
inline TSongRows& SongRows(TfrmMain& window) {
    return window.SongListPane().Rows();
}
inline TSongListModel* SongModel(TfrmMain& window) {
    return window.SongListPane().Rows().Model();
}

/// "file name views groups" of every row, sorted.
inline std::vector<std::string> ShownSongs(TfrmMain& window) {
    std::vector<std::string> rows;
    for (const cSongInfo* song : SongModel(window)->Songs()) {
        std::string row =
            std::string(FileNamePart(song->FileName())) + " " + std::to_string(song->Views);
        for (const std::string& group : song->Groups) {
            row += " " + group;
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}
/// The details view and the large-icon view of the song list.
inline QTreeView* SongList(TfrmMain& window) {
    return Control<QTreeView>(window, "lstSongs");
}
inline QListView* SongIcons(TfrmMain& window) {
    return Control<QListView>(window, "lstSongsIcons");
}

inline void SelectFolder(TfrmMain& window, const std::string& path) {
    window.FolderTree()->SelectFolder(QString::fromStdString(path));
}

inline void ChooseViewMode(TfrmMain& window, const char* itemName) {
    Control<QAction>(window, itemName)->trigger();
}

/// The texts of one column of the song list, top to bottom.
inline QStringList ColumnTexts(TfrmMain& window, int column) {
    QStringList texts;
    const TSongListModel* model = SongModel(window);
    for (int row = 0; row < model->rowCount(); ++row) {
        texts << model->index(row, column).data().toString();
    }
    return texts;
}

/// A left click on the header of the column, as the user sorts the list.
inline void ClickHeader(TfrmMain& window, int column) {
    QHeaderView* header = SongList(window)->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

/// Counts the events of one type that reach an object while it lives.
class cEventCounter : public QObject {
public:
    cEventCounter(QObject* watched, QEvent::Type type, int& count)
        : m_Watched(watched), m_Type(type), m_Count(count) {
        watched->installEventFilter(this);
    }
    ~cEventCounter() override { m_Watched->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_Watched && event->type() == m_Type) {
            ++m_Count;
        }
        return false;
    }

private:
    QObject* m_Watched;
    QEvent::Type m_Type;
    int& m_Count;
};

/// A key pressed as the keyboard delivers it: into the window's platform window, which hands it
/// to the control that has the focus (the window itself when none has).
inline void PressKey(TfrmMain& window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(window.windowHandle(), key, modifiers);
}

/// The row showing the song whose file name (without folder and extension) is the name.
inline int RowNamed(TfrmMain& window, std::string_view name) {
    const std::vector<cSongInfo*>& rows = SongRows(window).Songs();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (FileNameWithoutExtension(rows[row]->FileName()) == name) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

inline cSongInfo* SongNamed(TfrmMain& window, std::string_view name) {
    return SongModel(window)->Song(RowNamed(window, name));
}

/// Exactly these rows become selected, as the user's clicks select them.
inline void SelectRows(TfrmMain& window, std::initializer_list<int> rows) {
    QItemSelectionModel* selection = SongRows(window).Selection();
    selection->clearSelection();
    for (int row : rows) {
        selection->select(SongModel(window)->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

/// Options.ini that opens the window on the folder, with more lines after it.
inline std::string SettingsOpening(const std::string& folderPath, const std::string& more = {}) {
    return "[MainWindow]\r\nFoldersListPath=" + folderPath + "\r\n" + more;
}
