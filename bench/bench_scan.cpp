// Scanning a folder of 10,000 MP3 files (half of them with an ID3v1 tag, none with an ID3v2
// tag) into a fresh catalogue, scanning it again when every file is known, and scanning it when
// all but one are known. Then new folders of 10,000 files as shops and taggers make them: only
// an ID3v1 tag, only an ID3v2.3 tag with UTF-16 texts, or an ID3v2.3 tag with a cover picture
// among the texts; each read by the scan and, for comparison, by TagLib (MPEG::File without
// audio properties, and FileRef).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fileref.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <tag.h>

#include "bench/bench_temp_folder.h"
#include "catalogue/unitFolderScan.h"
#include "catalogue/unitId3v1.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

namespace {
constexpr int kFileCount = 10'000;
constexpr int kFramesPerFile = 10;

// A few MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, 417 bytes each) of silence-like bytes.
std::string AudioBytes() {
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    std::string audio;
    for (int i = 0; i < kFramesPerFile; ++i) {
        audio += frame;
    }
    return audio;
}

std::string BigEndian(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string Syncsafe(uint32_t value) {
    return {static_cast<char>((value >> 21) & 0x7F), static_cast<char>((value >> 14) & 0x7F),
            static_cast<char>((value >> 7) & 0x7F), static_cast<char>(value & 0x7F)};
}

// A 2.3 text frame in UTF-16 with a byte order mark (ASCII texts only).
std::string Utf16Frame(const char* id, const std::string& text) {
    std::string body = "\x01\xFF\xFE";
    for (const char c : text) {
        body += c;
        body += '\0';
    }
    return id + BigEndian(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
}

// An ID3v2.3 tag as taggers write them: six UTF-16 text frames, optionally a cover picture
// after the album, and 1 KiB of padding.
std::string Id3v2Tag(int index, size_t coverBytes) {
    std::string frames = Utf16Frame("TIT2", "Title " + std::to_string(index)) +
                         Utf16Frame("TPE1", "Artist " + std::to_string(index % 97)) +
                         Utf16Frame("TALB", "Album " + std::to_string(index % 512));
    if (coverBytes > 0) {
        const std::string body =
            std::string("\0image/jpeg\0\3\0", 14) + std::string(coverBytes, '\xD8');
        frames +=
            "APIC" + BigEndian(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
    }
    frames += Utf16Frame("TRCK", std::to_string(index % 14 + 1) + "/14") +
              Utf16Frame("TYER", "2001") + Utf16Frame("TCON", "Rock");
    const std::string padded = frames + std::string(1024, '\0');
    return "ID3\x03" + std::string(2, '\0') + Syncsafe(static_cast<uint32_t>(padded.size())) +
           padded;
}

// How the files of a folder are made. The first is the small-file folder the scan was always
// measured on; the others are files of 3 MiB as in a real collection (the audio a hole, so the
// folders take little disk), with the tags that taggers and shops write.
enum class eCollection { kHalfId3v1, kNoTags, kId3v1Only, kId3v2Only, kId3v2WithCover };

constexpr int64_t kSongSize = 3 << 20;

void WriteSong(const std::string& path, eCollection collection, int index,
               const std::string& audio) {
    std::ofstream out(path, std::ios::binary);
    if (collection == eCollection::kHalfId3v1) {
        out << audio << (index % 2 == 0 ? Id3v1TagBlock(index) : "");
        return;
    }
    if (collection == eCollection::kId3v2Only || collection == eCollection::kId3v2WithCover) {
        out << Id3v2Tag(index, collection == eCollection::kId3v2WithCover ? 30 * 1024 : 0);
    }
    out << audio;
    const std::string tail =
        collection == eCollection::kId3v1Only ? Id3v1TagBlock(index) : audio.substr(0, 128);
    out.seekp(kSongSize - static_cast<int64_t>(tail.size()));
    out << tail;
}

// A folder of kFileCount MP3 files of one collection, made once per run.
class cBenchFolder {
public:
    explicit cBenchFolder(eCollection collection) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tunaria-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_Root = pattern + "/";
        m_Music = m_Root + "music/";
        std::filesystem::create_directory(m_Music);
        const std::string audio = AudioBytes();
        for (int i = 0; i < kFileCount; ++i) {
            WriteSong(m_Music + "Artist_" + std::to_string(i % 97) + " - Song_" +
                          std::to_string(i) + ".mp3",
                      collection, i, audio);
        }
    }
    ~cBenchFolder() {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
        std::filesystem::remove_all(m_Root);
    }

    const std::string& Music() const { return m_Music; }
    std::string Catalogue() const { return m_Root + "DB.txt"; }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const auto& entry : std::filesystem::directory_iterator(m_Music)) {
            paths.push_back(entry.path().string());
        }
        return paths;
    }

    // Closes any open catalogue and opens an empty one.
    void FreshCatalogue() const {
        if (SongsDatabase != nullptr) {
            FreeAllSongs();
        }
        std::filesystem::remove(Catalogue());
        OpenSongsDatabase(Catalogue());
    }

private:
    std::string m_Root;
    std::string m_Music;
};

cBenchFolder& Folder(eCollection collection = eCollection::kHalfId3v1) {
    static std::map<eCollection, std::unique_ptr<cBenchFolder>> folders;
    std::unique_ptr<cBenchFolder>& folder = folders[collection];
    if (!folder) {
        folder = std::make_unique<cBenchFolder>(collection);
    }
    return *folder;
}

void ScanNewFolder(benchmark::State& state, eCollection collection) {
    cBenchFolder& folder = Folder(collection);
    folder.FreshCatalogue();
    ScanFolder(folder.Music()); // warms the cache
    for (auto _ : state) {
        state.PauseTiming();
        folder.FreshCatalogue();
        state.ResumeTiming();
        ScanFolder(folder.Music());
    }
    state.counters["songs"] = MasterSongList->Count();
    FreeAllSongs();
}

void BM_ScanNewFolder(benchmark::State& state) {
    ScanNewFolder(state, eCollection::kHalfId3v1);
}
BENCHMARK(BM_ScanNewFolder)->Unit(benchmark::kMillisecond);

void BM_ScanNewFolderNoTags(benchmark::State& state) {
    ScanNewFolder(state, eCollection::kNoTags);
}
BENCHMARK(BM_ScanNewFolderNoTags)->Unit(benchmark::kMillisecond);

void BM_ScanNewFolderId3v1Only(benchmark::State& state) {
    ScanNewFolder(state, eCollection::kId3v1Only);
}
BENCHMARK(BM_ScanNewFolderId3v1Only)->Unit(benchmark::kMillisecond);

void BM_ScanNewFolderId3v2Only(benchmark::State& state) {
    ScanNewFolder(state, eCollection::kId3v2Only);
}
BENCHMARK(BM_ScanNewFolderId3v2Only)->Unit(benchmark::kMillisecond);

void BM_ScanNewFolderId3v2WithCover(benchmark::State& state) {
    ScanNewFolder(state, eCollection::kId3v2WithCover);
}
BENCHMARK(BM_ScanNewFolderId3v2WithCover)->Unit(benchmark::kMillisecond);

void BM_ScanKnownFolder(benchmark::State& state) {
    cBenchFolder& folder = Folder();
    folder.FreshCatalogue();
    ScanFolder(folder.Music());
    for (auto _ : state) {
        ScanFolder(folder.Music());
    }
    state.counters["songs"] = MasterSongList->Count();
}
BENCHMARK(BM_ScanKnownFolder)->Unit(benchmark::kMillisecond);

// 9,999 known files and one new: each round renames the one file so that it is new again.
void BM_ScanOneNewAmongKnown(benchmark::State& state) {
    cBenchFolder& folder = Folder();
    folder.FreshCatalogue();
    const std::string first = folder.Music() + "Artist_0 - Song_0.mp3";
    std::string current = folder.Music() + "Extra 0.mp3";
    std::filesystem::rename(first, current);
    ScanFolder(folder.Music());
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string next = folder.Music() + "Extra " + std::to_string(++round) + ".mp3";
        std::filesystem::rename(current, next);
        current = next;
        state.ResumeTiming();
        ScanFolder(folder.Music());
    }
    std::filesystem::rename(current, first);
    state.counters["songs"] = MasterSongList->Count();
}
BENCHMARK(BM_ScanOneNewAmongKnown)->Unit(benchmark::kMillisecond);

// The reading part of a scan alone, without the catalogue.
void ReadSongsOnly(benchmark::State& state, eCollection collection) {
    const std::vector<std::string> paths = Folder(collection).Paths();
    for (auto _ : state) {
        for (const auto& path : paths) {
            cSongInfo song;
            ReadSongFromFile(path, song);
            benchmark::DoNotOptimize(song.Title().size());
        }
    }
}

void BM_ReadSongFromFileOnly(benchmark::State& state) {
    ReadSongsOnly(state, eCollection::kHalfId3v1);
}
BENCHMARK(BM_ReadSongFromFileOnly)->Unit(benchmark::kMillisecond);

void BM_ReadSongFromFileNoTags(benchmark::State& state) {
    ReadSongsOnly(state, eCollection::kNoTags);
}
BENCHMARK(BM_ReadSongFromFileNoTags)->Unit(benchmark::kMillisecond);

void BM_ReadSongFromFileId3v1Only(benchmark::State& state) {
    ReadSongsOnly(state, eCollection::kId3v1Only);
}
BENCHMARK(BM_ReadSongFromFileId3v1Only)->Unit(benchmark::kMillisecond);

void BM_ReadSongFromFileId3v2Only(benchmark::State& state) {
    ReadSongsOnly(state, eCollection::kId3v2Only);
}
BENCHMARK(BM_ReadSongFromFileId3v2Only)->Unit(benchmark::kMillisecond);

void BM_ReadSongFromFileId3v2WithCover(benchmark::State& state) {
    ReadSongsOnly(state, eCollection::kId3v2WithCover);
}
BENCHMARK(BM_ReadSongFromFileId3v2WithCover)->Unit(benchmark::kMillisecond);

// The reading as it was before ID3v2 tags were read: one read of the last 128 bytes, the
// texts of an ID3v1 tag, names from the file name.
void ReadSongBeforeId3v2(const std::string& path, cSongInfo& song) {
    const cRegularFile file = OpenRegularFile(path, O_RDONLY, kCannotOpen);
    cId3v1Block tail{};
    const bool hasTag = ReadId3v1Tail(file.Handle.Get(), file.Size(), path, tail) &&
                        IsId3v1Tag({tail.data(), tail.size()});
    song.Size = SizeField(file.Info.st_size);
    song.Date = DateTimeFromUnixTime(file.Info.st_mtim.tv_sec,
                                     static_cast<int32_t>(file.Info.st_mtim.tv_nsec));
    cId3v1Texts texts;
    if (hasTag) {
        texts = ReadId3v1Texts({tail.data(), tail.size()}, eId3v1Reading::kSongRecord);
    }
    if (texts.Title.empty()) {
        SongNameFromFileName(path, hasTag ? nullptr : &texts.Artist, &texts.Title);
    }
    if (hasTag && texts.Artist.empty()) {
        SongNameFromFileName(path, &texts.Artist, nullptr);
    }
    song.SetTexts(path, texts.Title, texts.Artist, texts.Album, texts.Comment, texts.Year);
}

void ReadSongsBeforeId3v2(benchmark::State& state, eCollection collection) {
    const std::vector<std::string> paths = Folder(collection).Paths();
    for (auto _ : state) {
        for (const auto& path : paths) {
            cSongInfo song;
            ReadSongBeforeId3v2(path, song);
            benchmark::DoNotOptimize(song.Title().size());
        }
    }
}

void BM_ReadBeforeId3v2NoTags(benchmark::State& state) {
    ReadSongsBeforeId3v2(state, eCollection::kNoTags);
}
BENCHMARK(BM_ReadBeforeId3v2NoTags)->Unit(benchmark::kMillisecond);

void BM_ReadBeforeId3v2Id3v1Only(benchmark::State& state) {
    ReadSongsBeforeId3v2(state, eCollection::kId3v1Only);
}
BENCHMARK(BM_ReadBeforeId3v2Id3v1Only)->Unit(benchmark::kMillisecond);

// The same texts read by TagLib: through MPEG::File without audio properties, the ID3v2 tag
// only (what the scan would do with it), and through FileRef, as players read tags.
void ReadWithTagLibMpegFile(benchmark::State& state, eCollection collection) {
    const std::vector<std::string> paths = Folder(collection).Paths();
    for (auto _ : state) {
        for (const auto& path : paths) {
            TagLib::MPEG::File file(path.c_str(), false);
            if (const TagLib::ID3v2::Tag* tag = file.ID3v2Tag()) {
                benchmark::DoNotOptimize(tag->title().size() + tag->artist().size() +
                                         tag->album().size() + tag->comment().size() + tag->year());
            }
        }
    }
}

void BM_TagLibMpegFileId3v2Only(benchmark::State& state) {
    ReadWithTagLibMpegFile(state, eCollection::kId3v2Only);
}
BENCHMARK(BM_TagLibMpegFileId3v2Only)->Unit(benchmark::kMillisecond);

void BM_TagLibMpegFileId3v2WithCover(benchmark::State& state) {
    ReadWithTagLibMpegFile(state, eCollection::kId3v2WithCover);
}
BENCHMARK(BM_TagLibMpegFileId3v2WithCover)->Unit(benchmark::kMillisecond);

void ReadWithTagLibFileRef(benchmark::State& state, bool audioProperties) {
    const std::vector<std::string> paths = Folder().Paths();
    for (auto _ : state) {
        for (const auto& path : paths) {
            const TagLib::FileRef file(path.c_str(), audioProperties);
            if (!file.isNull() && file.tag() != nullptr) {
                const TagLib::Tag* tag = file.tag();
                benchmark::DoNotOptimize(tag->title().size() + tag->artist().size() +
                                         tag->album().size() + tag->comment().size() + tag->year());
            }
        }
    }
}

void BM_TagLibFileRef(benchmark::State& state) {
    ReadWithTagLibFileRef(state, true);
}
BENCHMARK(BM_TagLibFileRef)->Unit(benchmark::kMillisecond);

void BM_TagLibFileRefWithoutAudioProperties(benchmark::State& state) {
    ReadWithTagLibFileRef(state, false);
}
BENCHMARK(BM_TagLibFileRefWithoutAudioProperties)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
