#include "catalogue/unitSongActions.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>

#include "catalogue/unitSongUtils.h"
#include "catalogue/unitSongsDatabaseClass.h"

bool CountSongOpening(cSongInfo& song) {
    if (song.Views < std::numeric_limits<int32_t>::max()) {
        ++song.Views;
    }
    // Same length as before: the record is overwritten where it stands.
    return SongsDatabase != nullptr && SongsDatabase->RewriteSongEntry(song);
}

void SaveSongTag(cSongInfo& song, const cId3v1Texts& texts, bool keepFileDate, TDateTime fileDate) {
    if (SongsDatabase == nullptr) {
        throw std::logic_error("SaveSongTag needs the open catalogue");
    }
    const std::string path(song.FileName());
    WriteId3v1Tag(path, texts);
    if (keepFileDate) {
        WriteFileDate(path, fileDate);
    } else {
        song.Date = NowDateTime();
    }
    song.SetTexts(path, CutToFieldWidth(texts.Title, kId3v1Title.Width),
                  CutToFieldWidth(texts.Artist, kId3v1Artist.Width),
                  CutToFieldWidth(texts.Album, kId3v1Album.Width),
                  CutToFieldWidth(texts.Comment, kId3v1Comment.Width),
                  CutToFieldWidth(texts.Year, kId3v1Year.Width));
    SongsDatabase->UpdateSongEntry(song);
}

bool RemoveSongTag(const std::string& path, bool keepFileDate, TDateTime fileDate) {
    const bool removed = RemoveId3v1Tag(path);
    if (keepFileDate) {
        WriteFileDate(path, fileDate);
    }
    return removed;
}

bool ChangeSongsGroups(std::vector<cSongGroupsChange> changes) {
    if (changes.empty()) {
        return true;
    }
    if (SongsDatabase == nullptr) {
        throw std::logic_error("ChangeSongsGroups needs the open catalogue");
    }
    std::vector<cSongInfo*> songs;
    songs.reserve(changes.size());
    for (cSongGroupsChange& change : changes) {
        // Each change now holds the song's old groups, for the way back.
        std::swap(change.Song->Groups, change.Groups);
        songs.push_back(change.Song);
    }
    if (SongsDatabase->UpdateSongEntries(songs)) {
        return true;
    }
    for (cSongGroupsChange& change : changes) {
        std::swap(change.Song->Groups, change.Groups);
    }
    return false;
}
