#pragma once
// The main window over a large synthetic collection for the window benchmarks: a program folder
// whose catalogue lists 100,000 songs, and a shown window over it.

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_gui_support.h"
#include "browser/unitMain.h"
#include "browser/unitSongColumnLayout.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListPane.h"
#include "browser/unitSongRows.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitDesktop.h"

/// The rows of the window's song list, their model, and the details view lstSongs.
inline TSongRows& SongRows(TfrmMain& window) {
    return window.SongListPane().Rows();
}
inline TSongListModel* SongModel(TfrmMain& window) {
    return window.SongListPane().Rows().Model();
}
inline QTreeView* SongList(TfrmMain& window) {
    return window.findChild<QTreeView*>(QStringLiteral("lstSongs"));
}

namespace bench_window {

constexpr int kFolders = 100;
constexpr int kSongsPerFolder = 1000;

/// A program folder whose DB.txt lists 100,000 existing (empty) MP3 files in 100 folders below
/// one music folder. Built once per run.
class cCollection {
public:
    cCollection() {
        m_Root = QDir(m_Temp.path()).canonicalPath().toStdString();
        QDir().mkpath(QString::fromStdString(ProgramFolder()));
        cSongsDatabase catalogue;
        catalogue.Open(ProgramFolder() + "DB.txt");
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::string path = FolderPath(folder);
            QDir().mkpath(QString::fromStdString(path));
            for (int i = 0; i < kSongsPerFolder; ++i) {
                const std::string file = path + "/Artist " + std::to_string(i % 37) + " - Song " +
                                         std::to_string(i) + ".mp3";
                std::ofstream{file};
                cSongInfo song;
                song.SetTexts(file, "Song " + std::to_string(i), "Artist " + std::to_string(i % 37),
                              "Album " + std::to_string(folder), "", "2001");
                song.Size = 3000000 + i;
                song.Date = 40000.5 + i;
                song.Views = (i * 7) % 13;
                catalogue.AddSongEntry(song);
            }
        }
    }

    std::string ProgramFolder() const { return m_Root + "/program/"; }
    std::string FolderPath(int folder) const {
        return m_Root + "/music/folder" + std::to_string(folder);
    }
    void WriteSettings(const std::string& text) const {
        std::ofstream(ProgramFolder() + "Options.ini", std::ios::binary) << text;
    }

private:
    QTemporaryDir m_Temp;
    std::string m_Root;
};

inline cCollection& Collection() {
    static cCollection collection;
    return collection;
}

inline cPrintingDesktop& BenchDesktop() {
    static cPrintingDesktop desktop;
    return desktop;
}

inline void PaintList(TfrmMain& window) {
    SongList(window)->viewport()->repaint();
}

/// Adds the songs to what the window's list shows (the list is filled by the caller).
inline void ShowSongs(TfrmMain& window, const std::vector<cSongInfo*>& songs) {
    for (cSongInfo* song : songs) {
        window.BrowserState().DisplayedSongs.Add(song);
    }
}

/// Empties the window's list, so that the songs it showed may be freed, and closes it.
inline void CloseShowingNothing(TfrmMain& window) {
    window.BrowserState().DisplayedSongs.Clear();
    window.SongListPane().Rows().Fill();
    window.close();
}

inline std::unique_ptr<TfrmMain> ShownWindow(const std::string& programFolder) {
    auto window = std::make_unique<TfrmMain>(programFolder, BenchDesktop());
    window->show();
    QCoreApplication::processEvents();
    PaintList(*window);
    return window;
}

} // namespace bench_window
