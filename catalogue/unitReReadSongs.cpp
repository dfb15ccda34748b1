#include "catalogue/unitReReadSongs.h"

#include <stdexcept>
#include <unordered_set>
#include <utility>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "util/unitFileHandle.h"
#include "util/unitTextUtils.h"

namespace {

/// The values a file gives its record; the rest of the record is the user's.
bool SameReadFields(const cSongInfo& a, const cSongInfo& b) {
    return a.Title() == b.Title() && a.Author() == b.Author() && a.Album() == b.Album() &&
           a.Comment() == b.Comment() && a.Year() == b.Year() && a.Size == b.Size &&
           a.Date == b.Date;
}

void TakeReadFields(cSongInfo& song, const cSongInfo& from) {
    song.SetTexts(song.FileName(), from.Title(), from.Author(), from.Album(), from.Comment(),
                  from.Year());
    song.Size = from.Size;
    song.Date = from.Date;
}

/// A changed song with what it held before, for the way back.
struct cReadAgain {
    cSongInfo* Song;
    cSongInfo Before;
};

} // namespace

cReReadResult ReReadSongs(const std::vector<cSongInfo*>& songs) {
    if (SongsDatabase == nullptr || MasterSongList == nullptr) {
        throw std::logic_error("ReReadSongs needs the open catalogue");
    }
    cReReadResult result;
    std::vector<cReadAgain> changed;
    std::unordered_set<const cSongInfo*> seen;
    seen.reserve(songs.size());
    for (cSongInfo* song : songs) {
        if (song == nullptr || !seen.insert(song).second) {
            continue;
        }
        const std::string path(song->FileName());
        cSongInfo fresh;
        try {
            ReadSongFromFile(path, fresh);
        } catch (const EFileError& error) {
            result.Unread.push_back(path + " (" + std::string(error.Reason()) + ")");
            continue;
        }
        if (SameReadFields(*song, fresh)) {
            continue; // nothing to write for it
        }
        cSongInfo before = *song;
        TakeReadFields(*song, fresh);
        changed.push_back({song, std::move(before)});
    }
    if (changed.empty()) {
        return result;
    }
    std::vector<cSongInfo*> batch;
    batch.reserve(changed.size());
    for (const cReadAgain& entry : changed) {
        batch.push_back(entry.Song);
    }
    if (!UpdateSongsInCatalogue(batch)) {
        for (const cReadAgain& entry : changed) {
            TakeReadFields(*entry.Song, entry.Before);
        }
        result.Stored = false;
        return result;
    }
    result.Changed = std::move(batch);
    return result;
}

std::string UnreadFilesMessage(const std::vector<std::string>& unread) {
    return ListedLinesMessage(std::string(kUnreadFilesMessage), unread, kUnreadFilesNamed);
}
