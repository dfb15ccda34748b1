#pragma once
// A synthetic collection on disk for the catalogue benchmarks: DB.txt of about 130 bytes a
// record plus one empty file per song, under a temporary folder, in folders of a given number
// of songs: 300 (few large folders) or 20 (the album layout: a million songs in 50,000 album
// folders, ten albums under each artist folder). Building the 1M collection creates a million
// files and takes a while.
//
// With TUNARIA_BENCH_KEEP=<folder> the collections are built once in that folder (one
// subfolder per size and layout) and reused by later runs instead of being removed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_temp_folder.h"
#include "catalogue/unitSongsDatabaseClass.h"

namespace bench_catalogue {

constexpr uint64_t kRandomStart = 20240521;
constexpr int kWideFolders = 300; ///< songs a folder of the first layout
constexpr int kAlbumFolders = 20; ///< songs a folder of the album layout

inline const char* const kWords[] = {
    "Love",  "Night", "Blue",   "River", "Fire",   "Heart", "Road",  "Rain",  "Gold",  "Stone",
    "Light", "Dream", "Summer", "Wild",  "Moon",   "Time",  "Home",  "Dance", "Sky",   "Ghost",
    "Sweet", "Black", "Little", "Train", "Angel",  "Star",  "Ocean", "City",  "Blood", "Shadow",
    "Free",  "Lost",  "Crazy",  "Bird",  "Silver", "Storm", "Queen", "King",  "Glass", "Paper"};

inline std::string Words(std::mt19937_64& random, int minimum, int maximum) {
    std::uniform_int_distribution<int> count(minimum, maximum);
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::string text;
    for (int i = count(random); i > 0; --i) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kWords[word(random)];
    }
    return text;
}

/// A collection on disk: DB.txt plus an empty file for every song. Removed at exit unless it
/// is kept.
struct cCollection {
    std::string root;
    std::string dbPath;
    int songs = 0;
    int songsPerFolder = kWideFolders;
    double recordBytes = 0; ///< average size of a whole record
    bool keep = false;

    ~cCollection() {
        if (!root.empty() && !keep) {
            std::error_code ignored;
            std::filesystem::remove_all(root, ignored);
        }
    }
};

/// The name a kept collection has below TUNARIA_BENCH_KEEP.
inline std::string KeptName(int songs, int songsPerFolder) {
    std::string name = "songs-" + std::to_string(songs);
    return songsPerFolder == kWideFolders ? name : name + "-" + std::to_string(songsPerFolder);
}

/// Writes the catalogue straight to the file and creates each song's file on the way; keeps
/// nothing in memory, so measuring the load's peak memory afterwards is not disturbed.
inline std::unique_ptr<cCollection> BuildCollection(int songs, int songsPerFolder = kWideFolders) {
    auto collection = std::make_unique<cCollection>();
    collection->songs = songs;
    collection->songsPerFolder = songsPerFolder;
    if (const char* keep = std::getenv("TUNARIA_BENCH_KEEP"); keep != nullptr && *keep != 0) {
        collection->keep = true;
        collection->root = std::string(keep) + "/" + KeptName(songs, songsPerFolder);
        collection->dbPath = collection->root + "/DB.txt";
        const std::string done = collection->root + "/complete";
        struct stat info {};
        if (::stat(done.c_str(), &info) == 0 && ::stat(collection->dbPath.c_str(), &info) == 0) {
            collection->recordBytes = static_cast<double>(info.st_size) / songs;
            return collection;
        }
        std::filesystem::remove_all(collection->root);
        std::filesystem::create_directories(collection->root);
    } else {
        collection->root = NewBenchFolder();
        collection->dbPath = collection->root + "/DB.txt";
    }
    std::mt19937_64 random(kRandomStart);
    std::uniform_int_distribution<int> percent(0, 99);
    cSongsDatabase db;
    db.Open(collection->dbPath);
    std::vector<cSongInfo*> block;
    std::vector<std::unique_ptr<cSongInfo>> owned;
    std::string folder, artist, album, year;
    for (int i = 0; i < songs; ++i) {
        if (i % songsPerFolder == 0) {
            artist = Words(random, 1, 1);
            album = Words(random, 1, 1);
            year = std::to_string(1960 + percent(random) % 60);
            folder = collection->root + "/" + std::to_string(i / songsPerFolder / 10) + "/" +
                     album + " " + std::to_string(i / songsPerFolder);
            std::filesystem::create_directories(folder);
        }
        const std::string title = Words(random, 1, 2);
        const std::string path =
            folder + "/" + std::to_string(i % songsPerFolder) + " " + title + ".mp3";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::perror(path.c_str());
            std::exit(1);
        }
        ::close(fd);
        auto song = std::make_unique<cSongInfo>();
        song->SetTexts(path, title, artist, album, percent(random) < 30 ? "ripped" : "", year);
        song->Views = percent(random) < 50 ? 0 : percent(random);
        song->Size = 3000000 + percent(random) * 50000;
        song->Date = 36000 + percent(random) * 90.5;
        if (percent(random) < 10) {
            song->Groups = {"Rock"};
            if (percent(random) < 50) {
                song->Groups.push_back("Live");
            }
        }
        block.push_back(song.get());
        owned.push_back(std::move(song));
        if (block.size() == 4096 || i + 1 == songs) {
            if (!db.AddSongEntries(block)) {
                std::exit(1);
            }
            block.clear();
            owned.clear();
        }
    }
    collection->recordBytes = static_cast<double>(db.GetSize()) / songs;
    if (collection->keep) {
        std::ofstream(collection->root + "/complete") << "built\n";
    }
    return collection;
}

/// The collection of that size and layout, built once per benchmark program.
inline cCollection& Collection(int songs, int songsPerFolder = kWideFolders) {
    static std::map<std::pair<int, int>, std::unique_ptr<cCollection>> built;
    auto& slot = built[{songs, songsPerFolder}];
    if (!slot) {
        slot = BuildCollection(songs, songsPerFolder);
    }
    return *slot;
}

} // namespace bench_catalogue
