#pragma once
// A synthetic collection for the sort and status benchmarks: songs under a music folder in
// artist and album subfolders, titles of a few words, sizes of a typical MP3, dates over
// twenty years, a few views and groups; the rows in a shuffled order.

#include <algorithm>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"

struct cBenchCollection {
    std::deque<cSongInfo> Songs;
    std::vector<cSongInfo*> Rows; ///< every song once, shuffled
};

inline const std::vector<std::string>& BenchWords() {
    static const std::vector<std::string> words = [] {
        const char* syllables[] = {"la", "mor", "ti",  "ven", "sa",  "ro", "dex", "qua", "bel",
                                   "nu", "ka",  "zor", "fi",  "gan", "lo", "pre", "shi", "tu"};
        std::mt19937 random(42);
        std::vector<std::string> list;
        for (int i = 0; i < 600; ++i) {
            std::string word;
            for (unsigned n = 2 + random() % 2; n > 0; --n) {
                word += syllables[random() % std::size(syllables)];
            }
            if (random() % 2) {
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            }
            list.push_back(word);
        }
        return list;
    }();
    return words;
}

inline std::string BenchPhrase(std::mt19937& random, unsigned maxWords) {
    const auto& words = BenchWords();
    std::string phrase;
    for (unsigned n = 1 + random() % maxWords; n > 0; --n) {
        if (!phrase.empty()) {
            phrase += ' ';
        }
        phrase += words[random() % words.size()];
    }
    return phrase;
}

inline cBenchCollection MakeBenchCollection(size_t count) {
    constexpr unsigned kRandomStart = 1234;
    std::mt19937 random(kRandomStart);
    cBenchCollection collection;
    const size_t artists = count / 120 + 1;
    std::vector<std::string> artistNames(artists);
    for (auto& name : artistNames) {
        name = BenchPhrase(random, 3);
    }
    const std::vector<std::string> groups = {"Rock", "Jazz", "Favourites", "Car", "Live"};
    for (size_t i = 0; i < count; ++i) {
        const std::string& artist = artistNames[random() % artists];
        const std::string album = BenchPhrase(random, 3);
        const std::string title = BenchPhrase(random, 5);
        const std::string track = std::to_string(10 + random() % 20);
        cSongInfo& song = collection.Songs.emplace_back();
        song.SetTexts("/home/user/Music/" + artist + "/" + album + "/" + track + " - " + title +
                          ".mp3",
                      title, artist, album, "", "2001");
        song.Size = static_cast<int32_t>(2'000'000 + random() % 10'000'000);
        song.Date = 36526.0 + (random() % 7300) + (random() % 86400) / 86400.0;
        song.Views = random() % 3 ? 0 : static_cast<int32_t>(random() % 50);
        for (unsigned g = random() % 3; g > 0; --g) {
            song.Groups.push_back(groups[random() % groups.size()]);
        }
        collection.Rows.push_back(&song);
    }
    std::shuffle(collection.Rows.begin(), collection.Rows.end(), random);
    return collection;
}

/// The collection of the given size, built once per benchmark program.
inline const cBenchCollection& CachedBenchCollection(size_t count) {
    static std::map<size_t, cBenchCollection> collections;
    auto found = collections.find(count);
    if (found == collections.end()) {
        found = collections.emplace(count, MakeBenchCollection(count)).first;
    }
    return found->second;
}
