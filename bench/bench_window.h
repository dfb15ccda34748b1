#pragma once
// The main window over a large synthetic collection for the window benchmarks: a program folder
// whose catalogue lists 100,000 songs, a desktop that opens nothing, a shown window, and the
// main function of such a benchmark program.

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>
#include <string>

#include "browser/unitApplication.h"
#include "browser/unitMain.h"
#include "browser/unitSongListPane.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitDesktop.h"

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

/// Messages would wait for a click and dialogs for the user: a benchmark prints the messages,
/// opens nothing and cancels every dialog.
class cPrintingDesktop final : public cDesktop {
public:
    void OpenDocument(const QString&) override {}
    void ShowMessage(const QString& text) override { qWarning("%s", qPrintable(text)); }
    int RunDialog(QDialog&) override { return 0; }
    /// The bench's trash keeps nothing: the file is removed.
    bool MoveToTrash(const QString& path) override { return QFile::remove(path); }
};

inline cDesktop& BenchDesktop() {
    static cPrintingDesktop desktop;
    return desktop;
}

inline void PaintList(TfrmMain& window) {
    window.SongListPane().SongList()->viewport()->repaint();
}

inline std::unique_ptr<TfrmMain> ShownWindow(const std::string& programFolder) {
    auto window = std::make_unique<TfrmMain>(programFolder, BenchDesktop());
    window->show();
    QCoreApplication::processEvents();
    PaintList(*window);
    return window;
}

/// The main function of a window benchmark program: the program's own application object on
/// the offscreen platform, then every benchmark.
inline int RunWindowBenchmarks(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench_window
