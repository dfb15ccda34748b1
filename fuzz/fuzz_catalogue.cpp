// libFuzzer target for the catalogue loader: the input becomes DB.txt in a temporary folder
// and goes through OpenSongsDatabase (records read, vanished files flagged, earlier copies
// dropped, torn tails mended, damage set aside and repaired, compaction).
//
// The first byte chooses how the rest is used: odd, the rest is the file as it stands; even,
// the rest edits a valid catalogue built here (a cut length, then byte XORs at offsets), which
// reaches the torn-tail and damage rules far more often than random bytes do.
//
// Checked, besides the absence of crashes, hangs, leaks and sanitizer reports:
// - every load succeeds; one that repairs damage keeps the input byte for byte as the damaged
//   copy, and any other load shows no message;
// - the file a load leaves loads again without a message and without a change of a single
//   byte, with the same songs;
// - on such a file an appended song and a rewritten Views count read back on the next load.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue/unitSongUtils.h"
#include "util/unitMessages.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "catalogue invariant broken: %s\n", what);
        std::abort();
    }
}

struct cPlace {
    std::string folder;
    std::string dbPath;
    std::string musicFolder;
    std::string validCatalogue;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

/// A catalogue with a bit of everything: songs whose files exist, one whose file is gone, a
/// deleted record, two copies of one song, groups.
std::string BuildValidCatalogue(const cPlace& place) {
    const std::string path = place.folder + "/valid.txt";
    std::remove(path.c_str());
    {
        cSongsDatabase db;
        db.Open(path);
        const char* names[] = {"a.mp3", "b.mp3", "gone.mp3", "c.mp3", "A.MP3", "d.mp3"};
        for (int i = 0; i < 6; ++i) {
            cSongInfo song;
            song.SetTexts(place.musicFolder + "/" + names[i], "Title", "Author", "Album", "Comment",
                          "1999");
            song.Views = i;
            if (i % 2 == 0) {
                song.Groups = {"Rock", "Live"};
            }
            db.AddSongEntry(song);
            if (i == 3) {
                db.DeleteSongEntry(song);
            }
        }
    }
    std::string bytes = ReadAll(path);
    std::remove(path.c_str());
    return bytes;
}

const cPlace& Place() {
    // Never destroyed: the clean-up at exit still needs the folder's name.
    static const cPlace& place = *new cPlace([] {
        cPlace made;
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/tunaria-fuzz-catalogue-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        made.folder = pattern;
        made.dbPath = made.folder + "/DB.txt";
        made.musicFolder = made.folder + "/music";
        ::mkdir(made.musicFolder.c_str(), 0755);
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "A.MP3"}) {
            WriteAll(made.musicFolder + "/" + name, "");
        }
        made.validCatalogue = BuildValidCatalogue(made);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Place().folder, ignored);
        });
        return made;
    }());
    return place;
}

std::string FileFromInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    if (data[0] % 2 == 1) {
        return std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    }
    std::string bytes = Place().validCatalogue;
    if (size >= 3) {
        const size_t cut = (data[1] | data[2] << 8) % (bytes.size() + 1);
        if (data[0] & 2) {
            bytes.resize(cut);
        }
    }
    for (size_t at = 3; at + 2 < size && !bytes.empty(); at += 3) {
        bytes[(data[at] | data[at + 1] << 8) % bytes.size()] ^= static_cast<char>(data[at + 2]);
    }
    return bytes;
}

/// The damaged copies a repair left in the folder, removed as they are found.
std::vector<std::string> TakeDamagedCopies(const cPlace& place) {
    std::vector<std::string> copies;
    for (const auto& entry : std::filesystem::directory_iterator(place.folder)) {
        if (entry.path().filename().string().rfind("DB.txt.damaged-", 0) == 0) {
            copies.push_back(ReadAll(entry.path().string()));
            std::filesystem::remove(entry.path());
        }
    }
    return copies;
}

std::vector<std::string> MasterNames() {
    std::vector<std::string> names;
    for (const cSongInfo* song : *MasterSongList) {
        names.emplace_back(song->FileName());
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const cPlace& place = Place();
    static size_t messages = 0;
    static bool quiet = [] {
        SetMessageSink([](const std::string&) { ++messages; });
        return true;
    }();
    (void)quiet;

    std::remove((place.dbPath + ".tmp").c_str());
    const std::string input = FileFromInput(data, size);
    WriteAll(place.dbPath, input);
    messages = 0;
    Check(OpenSongsDatabase(place.dbPath), "the catalogue opens");
    const std::vector<std::string> copies = TakeDamagedCopies(place);
    Check(copies.size() <= 1, "at most one damaged copy");
    Check(copies.empty() ? messages == 0 : messages == 1 && copies[0] == input,
          "a repair keeps the file as found and says so once; other loads say nothing");
    messages = 0;
    const std::vector<std::string> songs = MasterNames();
    FreeAllSongs();

    // A clean load leaves a file that loads the same again without changing it.
    const std::string mended = ReadAll(place.dbPath);
    Check(OpenSongsDatabase(place.dbPath), "the mended catalogue opens");
    Check(messages == 0, "the mended catalogue loads without a message");
    Check(ReadAll(place.dbPath) == mended, "a second load changes nothing");
    Check(MasterNames() == songs, "a second load gives the same songs");

    // Appends and rewrites stay readable.
    cSongInfo* added = NewSongInfo();
    added->SetTexts(place.musicFolder + "/e.mp3", "Added", "", "", "", "");
    MasterSongList->Add(added);
    Check(SongsDatabase->AddSongEntry(*added), "a song is appended");
    cSongInfo* first = MasterSongList->Get(0);
    first->Views += 1;
    const int32_t views = first->Views;
    const std::string firstName(first->FileName());
    const std::string addedName(added->FileName());
    Check(SongsDatabase->RewriteSongEntry(*first), "a Views count is rewritten");
    FreeAllSongs();
    Check(OpenSongsDatabase(place.dbPath), "the changed catalogue opens");
    Check(messages == 0, "the changed catalogue loads without a message");
    bool seenAdded = false, seenViews = false;
    for (const cSongInfo* song : *MasterSongList) {
        seenAdded = seenAdded || song->Title() == "Added";
        seenViews = seenViews || (song->FileName() == firstName && song->Views == views);
    }
    Check(seenAdded, "the appended song reads back");
    // A song stored under the appended song's name gives way to it, as a later copy does.
    Check(seenViews || firstName == addedName, "the rewritten Views count reads back");
    FreeAllSongs();
    return 0;
}
