// Groups at scale: the groups menu with 1,000 to 400,000 groups (rebuilt, and opened through
// to its first paint, beside a QMenu with the same entries), groups per artist over 100,000
// shown songs (one new group per 100 songs) in the window and in the core, the group window
// confirmed for 10,000 selected songs, the purge of a deleted group that 1% of 1,000,000 songs
// carry, and the start-up check for groups the list lacks over 1,000,000 songs. The core
// operations write one batch; beside each stands the plain song-by-song path (one
// UpdateSongEntry per song as it changes).
#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>
#include <unordered_set>

#include "bench/bench_gui_support.h"
#include "bench/bench_song_collection.h"
#include "bench/bench_window.h"
#include "browser/unitMain.h"
#include "browser/unitSongListModel.h"
#include "browser/unitSongListPane.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "groups/unitGroupList.h"
#include "groups/unitGroupOperations.h"
#include "groups/unitGroupsMenu.h"
#include "util/unitDesktop.h"
#include "util/unitListViewUtils.h"

namespace {

/// "Group of songs number <n>" for n from `first` on.
cGroupList ManyGroups(int count, int first = 0) {
    std::vector<std::string> names;
    for (int i = first; i < first + count; ++i) {
        names.push_back("Group of songs number " + std::to_string(i));
    }
    return cGroupList(std::move(names));
}

// ---- The groups menu ---------------------------------------------------------------------

void BM_BuildGroupsMenu(benchmark::State& state) {
    const cGroupList groups = ManyGroups(static_cast<int>(state.range(0)));
    TGroupsMenu menu;
    for (auto _ : state) {
        menu.BuildGroupsMenu(groups, eGroupViewMode::OneGroup, "Group of songs number 7", 24);
    }
}
BENCHMARK(BM_BuildGroupsMenu)
    ->Arg(1000)
    ->Arg(50'000)
    ->Arg(100'000)
    ->Arg(400'000)
    ->Unit(benchmark::kMillisecond);

/// A rebuild in which every entry changes: two lists of the same size in turn (as when a new
/// group shifts every name after it).
void BM_RebuildGroupsMenuEveryNameChanged(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const cGroupList groups[2] = {ManyGroups(count), ManyGroups(count, 1)};
    TGroupsMenu menu;
    int turn = 0;
    for (auto _ : state) {
        menu.BuildGroupsMenu(groups[turn++ % 2], eGroupViewMode::AllGroups, "", 24);
    }
}
BENCHMARK(BM_RebuildGroupsMenuEveryNameChanged)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// The first build of a new menu (its destruction is not timed).
void BM_BuildNewGroupsMenu(benchmark::State& state) {
    const cGroupList groups = ManyGroups(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto menu = std::make_unique<TGroupsMenu>();
        menu->BuildGroupsMenu(groups, eGroupViewMode::AllGroups, "", 24);
        state.PauseTiming();
        menu.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildNewGroupsMenu)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// From the open to the painted menu, after a rebuild (so the entries are laid out anew).
void BM_OpenGroupsMenu(benchmark::State& state) {
    const cGroupList groups = ManyGroups(static_cast<int>(state.range(0)));
    TGroupsMenu menu;
    for (auto _ : state) {
        state.PauseTiming();
        menu.BuildGroupsMenu(groups, eGroupViewMode::AllGroups, "", 24);
        state.ResumeTiming();
        menu.Popup(QPoint(20, 20));
        QCoreApplication::processEvents();
        menu.Entries()->repaint();
        state.PauseTiming();
        menu.close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenGroupsMenu)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// The yardstick: a QMenu with the same radio entries (it breaks columns only at the screen's
/// foot), opened and painted.
void BM_OpenQMenuWithTheSameEntries(benchmark::State& state) {
    const cGroupList groups = ManyGroups(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto menu = std::make_unique<QMenu>();
        auto* radio = new QActionGroup(menu.get());
        for (const std::string& name : groups.Names()) {
            QAction* entry = menu->addAction(QString::fromStdString(name));
            entry->setCheckable(true);
            radio->addAction(entry);
        }
        state.ResumeTiming();
        menu->popup(QPoint(20, 20));
        QCoreApplication::processEvents();
        menu->repaint();
        state.PauseTiming();
        menu->close();
        menu.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenQMenuWithTheSameEntries)->Arg(1000)->Unit(benchmark::kMillisecond);

// ---- Core operations over an open catalogue ---------------------------------------------

/// A catalogue in a temporary folder holding the songs, open as the program's catalogue, with
/// the songs as its master song list (owned here, not by the list).
class cOpenCatalogue {
public:
    explicit cOpenCatalogue(std::vector<cSongInfo*> songs) {
        SongsDatabase = new cSongsDatabase();
        SongsDatabase->Open(QDir(m_Folder.path()).filePath("DB.txt").toStdString());
        SongsDatabase->AddSongEntries(songs);
        // The batches flush the file: what the set-up wrote is not theirs to wait for.
        SongsDatabase->Sync();
        MasterSongList = new cSongPointersList();
        MasterSongList->Items() = std::move(songs);
    }
    std::string GroupFilePath() const {
        return QDir(m_Folder.path()).filePath("Groups.txt").toStdString();
    }
    ~cOpenCatalogue() {
        MasterSongList->Clear();
        delete MasterSongList;
        MasterSongList = nullptr;
        delete SongsDatabase;
        SongsDatabase = nullptr;
    }

private:
    QTemporaryDir m_Folder;
};

/// 100,000 songs whose artists name 1,000 groups, none of them grouped yet.
std::vector<cSongInfo*> ArtistSongs(std::deque<cSongInfo>& store) {
    std::vector<cSongInfo*> songs;
    for (int i = 0; i < 100'000; ++i) {
        cSongInfo& song = store.emplace_back();
        song.SetTexts(
            "/music/Artist " + std::to_string(i / 100) + "/song" + std::to_string(i) + ".mp3",
            "Song " + std::to_string(i), "Artist " + std::to_string(i / 100), "Album", "", "2001");
        songs.push_back(&song);
    }
    return songs;
}

void ClearGroups(const std::vector<cSongInfo*>& songs) {
    for (cSongInfo* song : songs) {
        song->Groups.clear();
    }
}

/// Times `create` giving the 100,000 songs of ArtistSongs one group per artist, each time from
/// songs without groups and an empty group list.
template <typename Create> void TimeGroupsPerArtist(benchmark::State& state, Create create) {
    std::deque<cSongInfo> store;
    const std::vector<cSongInfo*> songs = ArtistSongs(store);
    cOpenCatalogue catalogue(songs);
    for (auto _ : state) {
        state.PauseTiming();
        ClearGroups(songs);
        cGroupList groups;
        state.ResumeTiming();
        create(songs, groups, catalogue.GroupFilePath());
        state.PauseTiming();
        if (groups.Count() != 1000) {
            state.SkipWithError("not one group per 100 songs");
        }
        state.ResumeTiming();
    }
}

void BM_CreateGroupsPerArtist100k(benchmark::State& state) {
    TimeGroupsPerArtist(state, [](const std::vector<cSongInfo*>& songs, cGroupList& groups,
                                  const std::string& groupFile) {
        CreateGroupsPerKey(eGroupKey::Artist, songs, groups, groupFile);
    });
}
BENCHMARK(BM_CreateGroupsPerArtist100k)->Unit(benchmark::kMillisecond)->Iterations(5);

/// The plain path: each song that gains its group is written at once (UpdateSongEntry), and
/// the group file at the end.
void BM_CreateGroupsPerArtist100kSongBySong(benchmark::State& state) {
    TimeGroupsPerArtist(state, [](const std::vector<cSongInfo*>& songs, cGroupList& groups,
                                  const std::string& groupFile) {
        for (cSongInfo* song : songs) {
            const std::string name(song->Author());
            if (!groups.Contains(name)) {
                groups.Add(name);
            }
            if (!cGroupList(song->Groups).Contains(name)) {
                song->Groups.push_back(name);
                song->Groups = SortedGroupSet(song->Groups);
                SongsDatabase->UpdateSongEntry(*song);
            }
        }
        groups.Sort();
        SaveGroupList(groups, groupFile);
    });
}
BENCHMARK(BM_CreateGroupsPerArtist100kSongBySong)->Unit(benchmark::kMillisecond)->Iterations(5);

/// 1,000,000 songs with the collection's groups; every hundredth also carries "Gone".
class cPurgeCollection {
public:
    cPurgeCollection()
        : m_Groups(std::vector<std::string>{"Rock", "Jazz", "Favourites", "Car", "Live"}) {
        for (cSongInfo* song : CachedBenchCollection(1'000'000).Rows) {
            m_Songs.push_back(song);
        }
        GiveGoneBack();
        m_Catalogue = std::make_unique<cOpenCatalogue>(m_Songs);
    }
    void GiveGoneBack() {
        for (size_t i = 0; i < m_Songs.size(); i += 100) {
            m_Songs[i]->Groups.push_back("Gone");
        }
    }
    bool Purged() const {
        for (size_t i = 0; i < m_Songs.size(); i += 100) {
            if (!m_Songs[i]->Groups.empty() && m_Songs[i]->Groups.back() == "Gone") {
                return false;
            }
        }
        return true;
    }
    const cGroupList& Groups() const { return m_Groups; }
    const std::vector<cSongInfo*>& Songs() const { return m_Songs; }

private:
    std::vector<cSongInfo*> m_Songs;
    cGroupList m_Groups;
    std::unique_ptr<cOpenCatalogue> m_Catalogue;
};

void BM_PurgeDeletedGroups1M(benchmark::State& state) {
    cPurgeCollection collection;
    for (auto _ : state) {
        PurgeDeletedGroups(collection.Groups(), *MasterSongList);
        state.PauseTiming();
        if (!collection.Purged()) {
            state.SkipWithError("the deleted group stayed");
        }
        collection.GiveGoneBack();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PurgeDeletedGroups1M)->Unit(benchmark::kMillisecond)->Iterations(5);

/// The plain path: every song is looked at name by name and each changed one written at once.
void BM_PurgeDeletedGroups1MSongBySong(benchmark::State& state) {
    cPurgeCollection collection;
    for (auto _ : state) {
        for (cSongInfo* song : collection.Songs()) {
            bool removed = false;
            for (size_t i = song->Groups.size(); i-- > 0;) {
                if (!collection.Groups().Contains(song->Groups[i])) {
                    song->Groups.erase(song->Groups.begin() + static_cast<long>(i));
                    removed = true;
                }
            }
            if (removed) {
                SongsDatabase->UpdateSongEntry(*song);
            }
        }
        state.PauseTiming();
        collection.GiveGoneBack();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PurgeDeletedGroups1MSongBySong)->Unit(benchmark::kMillisecond)->Iterations(5);

/// The master song list of the start-up: the 1,000,000 songs of the bench collection in the
/// order they were made (as the load makes them in file order); range(0) 1 keeps the shuffled
/// order instead, where every record is a fresh fetch from memory.
cSongPointersList StartUpSongs(const benchmark::State& state) {
    std::vector<cSongInfo*> songs = CachedBenchCollection(1'000'000).Rows;
    if (state.range(0) == 0) {
        std::sort(songs.begin(), songs.end());
    }
    cSongPointersList list;
    list.Items() = std::move(songs);
    return list;
}

/// The start-up check for groups the list lacks over 1,000,000 songs whose groups (0 to 2 of 5
/// names each, at random) the list holds: nothing is missing, nothing is added. To be set
/// against the load of a million songs (bench_catalogue's BM_OpenSongsDatabase/1000000).
void BM_AddMissingGroupsNothingMissing1M(benchmark::State& state) {
    const cSongPointersList songs = StartUpSongs(state);
    cGroupList groups(std::vector<std::string>{"Car", "Favourites", "Jazz", "Live", "Rock"});
    for (auto _ : state) {
        if (AddMissingGroups(groups, songs)) {
            state.SkipWithError("a group was missing");
        }
    }
}
BENCHMARK(BM_AddMissingGroupsNothingMissing1M)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

/// The plain check: every name of every song looked up in a hash set of the listed names.
void BM_AddMissingGroupsNothingMissing1MHashSet(benchmark::State& state) {
    const cSongPointersList songs = StartUpSongs(state);
    const std::unordered_set<std::string> listed = {"Car", "Favourites", "Jazz", "Live", "Rock"};
    for (auto _ : state) {
        bool missing = false;
        for (const cSongInfo* song : songs) {
            for (const std::string& name : song->Groups) {
                missing = missing || listed.count(name) == 0;
            }
        }
        benchmark::DoNotOptimize(missing);
    }
}
BENCHMARK(BM_AddMissingGroupsNothingMissing1MHashSet)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

/// The floor of any walk: every song's group count read, nothing else.
void BM_WalkOverTheSongsGroupCounts1M(benchmark::State& state) {
    const cSongPointersList songs = StartUpSongs(state);
    for (auto _ : state) {
        size_t names = 0;
        for (const cSongInfo* song : songs) {
            names += song->Groups.size();
        }
        benchmark::DoNotOptimize(names);
    }
}
BENCHMARK(BM_WalkOverTheSongsGroupCounts1M)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---- The window ----------------------------------------------------------------------------

/// Prints messages and answers the group window by checking three boxes and OK.
class cAnsweringDesktop final : public cPrintingDesktop {
public:
    int RunDialog(QDialog& dialog) override {
        auto* boxes = dialog.findChild<QListWidget*>("lstGroups");
        for (int row = 0; boxes && row < boxes->count(); ++row) {
            boxes->item(row)->setCheckState(row % 17 == m_Round % 3 ? Qt::Checked : Qt::Unchecked);
        }
        ++m_Round;
        if (auto* ok = dialog.findChild<QPushButton*>("btnOK")) {
            ok->click();
        }
        return dialog.result();
    }

private:
    int m_Round = 0;
};

/// A shown window over a program folder with 50 groups whose list shows the songs, which the
/// open catalogue holds.
class cGroupsWindow {
public:
    explicit cGroupsWindow(const std::vector<cSongInfo*>& songs) {
        const std::string folder = QDir(m_Folder.path()).canonicalPath().toStdString() + "/";
        std::ofstream groups(folder + "Groups.txt", std::ios::binary);
        for (int i = 0; i < 50; ++i) {
            groups << "Group " << i << "\r\n";
        }
        groups.close();
        Window = std::make_unique<TfrmMain>(folder, m_Desktop);
        Window->show();
        SongsDatabase->AddSongEntries(songs);
        SongsDatabase->Sync();
        bench_window::ShowSongs(*Window, songs);
        Window->SongListPane().Rows().Fill();
        QCoreApplication::processEvents();
    }
    ~cGroupsWindow() { bench_window::CloseShowingNothing(*Window); }

    std::unique_ptr<TfrmMain> Window;

private:
    QTemporaryDir m_Folder;
    cAnsweringDesktop m_Desktop;
};

/// "&Groups..." for every shown song, confirmed: the batch, the rows shown anew, one sort.
void BM_GroupWindowConfirmed10k(benchmark::State& state) {
    std::vector<cSongInfo*> songs;
    for (cSongInfo* song : CachedBenchCollection(10'000).Rows) {
        songs.push_back(song);
    }
    cGroupsWindow shown(songs);
    TSongListPane& pane = shown.Window->SongListPane();
    pane.Columns().ShowColumns({"Title", "Groups"});
    pane.Rows().HeaderClicked(1); // sorted by the groups, so the rows move
    SelectAllItems(pane.ShownSongView());
    QAction* groupsItem = pane.findChild<QAction*>("popSongsList_Groups");
    for (auto _ : state) {
        groupsItem->trigger();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_GroupWindowConfirmed10k)->Unit(benchmark::kMillisecond)->Iterations(10);

/// "Create groups per artist" in the window over 100,000 shown songs: the batch, the group
/// file, the menu rebuilt with 1,000 groups and the list filled anew.
void BM_WindowCreateGroupsPerArtist100k(benchmark::State& state) {
    std::deque<cSongInfo> store;
    const std::vector<cSongInfo*> songs = ArtistSongs(store);
    cGroupsWindow shown(songs);
    QAction* create = shown.Window->GroupsMenu().CreateGroupsPerArtist();
    for (auto _ : state) {
        state.PauseTiming();
        ClearGroups(songs);
        state.ResumeTiming();
        create->trigger();
        QCoreApplication::processEvents();
    }
    if (shown.Window->GroupList().Count() != 1050) {
        state.SkipWithError("not one group per 100 songs");
    }
}
BENCHMARK(BM_WindowCreateGroupsPerArtist100k)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return RunGuiBenchmarks(argc, argv);
}
