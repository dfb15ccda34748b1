#include "catalogue/unitFolderScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "catalogue/unitOfflineSongs.h"
#include "catalogue/unitSongQuery.h"
#include "catalogue/unitSongTags.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitAsciiCase.h"
#include "util/unitAtomicFile.h"
#include "util/unitFileHandle.h"
#include "util/unitMessages.h"
#include "util/unitSecondCore.h"
#include "util/unitTextUtils.h"
#include "util/unitUtils.h"

namespace {
// At most this many skipped files are named in the message; the rest are counted.
constexpr size_t kMaxNamedSkippedFiles = 20;

/// Views into the FileName of known records; valid while those records are not changed.
cKnownPathSet KnownPathsOf(const cSongPointersList& songs) {
    cKnownPathSet paths;
    paths.reserve(static_cast<size_t>(songs.Count()));
    for (const cSongInfo* song : songs) {
        if (song != nullptr) {
            paths.insert(song->FileName());
        }
    }
    return paths;
}

void RequireOpenCatalogue() {
    if (MasterSongList == nullptr || SongsDatabase == nullptr) {
        throw std::logic_error("ScanFolder needs the open catalogue");
    }
}

struct cDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
struct cSongDisposer {
    void operator()(cSongInfo* song) const { DisposeSongInfo(song); }
};
using cOwnedSong = std::unique_ptr<cSongInfo, cSongDisposer>;

// Whether a listed entry is a file: a regular file or a link to one. A link that leads
// nowhere counts as a file, so that opening it fails and it is reported.
bool IsFileEntry(int dirFd, const dirent& entry) {
    switch (entry.d_type) {
    case DT_REG:
        return true;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat info {};
        if (::fstatat(dirFd, entry.d_name, &info, 0) != 0) {
            return true;
        }
        return S_ISREG(info.st_mode);
    }
    default:
        return false; // folders, pipes, sockets, devices
    }
}

void FillSong(cSongInfo& song, const std::string& path, const struct stat& info,
              const cFileTags& tags) {
    song.Size = SizeField(info.st_size);
    song.Date =
        DateTimeFromUnixTime(info.st_mtim.tv_sec, static_cast<int32_t>(info.st_mtim.tv_nsec));
    cId3v1Texts texts = SongTextsFromTags(tags);
    // Only what both tags lack comes from the file name.
    if (texts.Title.empty()) {
        SongNameFromFileName(path, nullptr, &texts.Title);
    }
    if (texts.Artist.empty()) {
        SongNameFromFileName(path, &texts.Artist, nullptr);
    }
    song.SetTexts(path, texts.Title, texts.Artist, texts.Album, texts.Comment, texts.Year);
}

// ReadSongFromFile for a file named relative to an open folder (AT_FDCWD: the current one).
void ReadSongAt(int dirFd, const char* name, const std::string& path, cSongInfo& song) {
    const cRegularFile file = OpenRegularFileAt(dirFd, name, path, O_RDONLY, kCannotOpen);
    FillSong(song, path, file.Info, ReadFileTags(file.Handle.Get(), file.Size(), path));
}

std::string SkippedFilesMessage(const std::string& folder,
                                const std::vector<std::string>& reasons) {
    return ListedLinesMessage("These files in \"" + StripTrailingBackslash(folder) +
                                  "\" could not be read and were not added:",
                              reasons, kMaxNamedSkippedFiles);
}

void TraceNewSong(const cSongInfo& song) {
    if (TraceEnabled()) {
        const std::string_view path = song.FileName();
        TraceLog("Adding new filename at position " + std::to_string(song.Position) + ": " +
                 std::string(FileNamePart(path)));
    }
}

// Appends the new songs to the catalogue in one go (a write per song would cost more than
// reading the files) and then, in listing order, to the master list; answers the songs added.
// When the catalogue refuses them it has shown why and cut its file back: none is added, a
// later scan tries again.
std::vector<cSongInfo*> AddNewSongs(std::vector<cOwnedSong>& fresh) {
    std::vector<cSongInfo*> songs;
    if (fresh.empty()) {
        return songs;
    }
    songs.reserve(fresh.size());
    for (const auto& song : fresh) {
        songs.push_back(song.get());
    }
    if (!SongsDatabase->AddSongEntries(songs)) {
        return {};
    }
    // No reserve of the exact new size: that would copy the whole master list at every scan
    // of a tree; appending grows it geometrically.
    for (auto& song : fresh) {
        TraceNewSong(*song);
        MasterSongList->Add(song.release());
    }
    return songs;
}

/// A file of the listed folder that the scan reads: its name there and its full path.
struct cFileToRead {
    std::string Name;
    std::string Path;
};

/// What reading one file gave: its record, or why it could not be read.
struct cReadOutcome {
    cOwnedSong Song;
    std::exception_ptr Failure; ///< why not: looked at on the scan's own thread
};

void ReadOneFile(int dirFd, const cFileToRead& file, cReadOutcome& outcome) {
    try {
        cOwnedSong song(NewSongInfo());
        ReadSongAt(dirFd, file.Name.c_str(), file.Path, *song);
        outcome.Song = std::move(song);
    } catch (...) {
        outcome.Failure = std::current_exception();
    }
}

/// Reads the files into outcomes (one per file, in the same order), on both cores: each read
/// only opens and reads its file and fills its own record and outcome.
void ReadFiles(int dirFd, const std::vector<cFileToRead>& files,
               std::vector<cReadOutcome>& outcomes) {
    outcomes.resize(files.size());
    ForEachOnTwoCores(files.size(),
                      [&](size_t i) { ReadOneFile(dirFd, files[i], outcomes[i]); });
}

/// Lists the folder's MP3 files that isKnown(path) does not know, in listing order; removes
/// what a killed copy of this program left behind on the way.
template <typename tIsKnown>
std::vector<cFileToRead> UnknownFiles(DIR* dir, const std::string& folder,
                                      const tIsKnown& isKnown) {
    const int dirFd = ::dirfd(dir);
    std::vector<cFileToRead> files;
    std::string path = folder;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (IsOwnTemporaryName(name)) {
            RemoveLeftoverTemporary(dirFd, entry->d_name);
            continue;
        }
        if (!IsMp3FileName(name) || !IsFileEntry(dirFd, *entry)) {
            continue;
        }
        path.resize(folder.size());
        path += name;
        if (!isKnown(path)) {
            files.push_back({std::string(name), path});
        }
    }
    return files;
}

/// Reads the listed folder's MP3 files that isKnown(path) does not know and adds them;
/// answers the songs added.
template <typename tIsKnown>
std::vector<cSongInfo*> AddUnknownFiles(DIR* dir, const std::string& folder,
                                        const tIsKnown& isKnown) {
    const std::vector<cFileToRead> files = UnknownFiles(dir, folder, isKnown);
    std::vector<cReadOutcome> outcomes;
    ReadFiles(::dirfd(dir), files, outcomes);
    std::vector<std::string> skipped;
    std::vector<cOwnedSong> fresh;
    fresh.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (outcomes[i].Song) {
            fresh.push_back(std::move(outcomes[i].Song));
            continue;
        }
        try {
            std::rethrow_exception(outcomes[i].Failure); // any other fault goes on up
        } catch (const EFileError& error) {
            skipped.push_back(files[i].Name + " (" + std::string(error.Reason()) + ")");
        }
    }
    std::vector<cSongInfo*> added = AddNewSongs(fresh);
    if (!skipped.empty()) {
        ShowMessage(SkippedFilesMessage(folder, skipped));
    }
    return added;
}

} // namespace

std::string UnderscoresToSpaces(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == '_') {
            c = ' ';
        }
    }
    return result;
}

bool IsMp3FileName(std::string_view name) {
    constexpr std::string_view kExtension = ".mp3";
    return name.size() >= kExtension.size() &&
           SameTextIgnoringAsciiCase(name.substr(name.size() - kExtension.size()), kExtension);
}

void SongNameFromFileName(std::string_view path, std::string* artist, std::string* title) {
    const std::string_view name = FileNameWithoutExtension(path);
    const size_t hyphen = name.find('-');
    if (hyphen == std::string_view::npos) {
        if (title != nullptr) {
            *title = UnderscoresToSpaces(name);
        }
        return;
    }
    if (artist != nullptr) {
        *artist = UnderscoresToSpaces(TrimControlChars(name.substr(0, hyphen)));
    }
    if (title != nullptr) {
        *title = UnderscoresToSpaces(TrimControlChars(name.substr(hyphen + 1)));
    }
}

void ReadSongFromFile(const std::string& path, cSongInfo& song) {
    ReadSongAt(AT_FDCWD, path.c_str(), path, song);
}

cKnownFiles::cKnownFiles() {
    RequireOpenCatalogue();
    m_Paths = KnownPathsOf(*MasterSongList);
}

void ScanFolder(const std::string& folderPath) {
    RequireOpenCatalogue();
    const std::string folder = AddTrailingBackslash(folderPath);
    // Songs kept aside whose files are back come first, so they count as known below.
    ReviveOfflineSongs(folder);
    const std::unique_ptr<DIR, cDirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return;
    }
    // Taken once, before the folder is read: the songs added below are not in it.
    const cSongPointersList known =
        QuerySongs({MakeCriterion(kFieldFolder, kOpIs, StripTrailingBackslash(folder))});
    const cKnownPathSet knownPaths = KnownPathsOf(known);
    AddUnknownFiles(dir.get(), folder,
                    [&knownPaths](std::string_view path) { return knownPaths.contains(path); });
}

int ScanFolder(const std::string& folderPath, cKnownFiles& known) {
    RequireOpenCatalogue();
    const std::string folder = AddTrailingBackslash(folderPath);
    const std::vector<cSongInfo*> revived = ReviveOfflineSongs(folder);
    for (const cSongInfo* song : revived) {
        known.Add(song->FileName());
    }
    const std::unique_ptr<DIR, cDirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return static_cast<int>(revived.size());
    }
    const std::vector<cSongInfo*> added = AddUnknownFiles(
        dir.get(), folder, [&known](std::string_view path) { return known.Contains(path); });
    for (const cSongInfo* song : added) {
        known.Add(song->FileName());
    }
    return static_cast<int>(revived.size() + added.size());
}
