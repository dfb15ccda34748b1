#include "catalogue/unitOfflineSongs.h"

#include <algorithm>
#include <exception>

#include "catalogue/unitFileExistence.h"
#include "catalogue/unitSongUtils.h"
#include "util/unitMessages.h"
#include "util/unitUtils.h"

cOfflineSongs OfflineSongs;

namespace {
constexpr const char* kRevivePrefix = "In ReviveOfflineSongs (): ";
} // namespace

void cOfflineSongs::Keep(cSongInfo* song) {
    m_ByFolder[std::string(FolderPart(song->FileName()))].push_back(song);
    ++m_Count;
}

std::vector<cSongInfo*> cOfflineSongs::InFileOrder() const {
    std::vector<cSongInfo*> songs;
    songs.reserve(static_cast<size_t>(m_Count));
    for (const auto& [folder, kept] : m_ByFolder) {
        songs.insert(songs.end(), kept.begin(), kept.end());
    }
    std::sort(songs.begin(), songs.end(),
              [](const cSongInfo* a, const cSongInfo* b) { return a->Position < b->Position; });
    return songs;
}

std::vector<cSongInfo*> cOfflineSongs::TakeFolder(std::string_view folder) {
    const auto found = m_ByFolder.find(std::string(folder));
    if (found == m_ByFolder.end()) {
        return {};
    }
    std::vector<cSongInfo*> songs = std::move(found->second);
    m_ByFolder.erase(found);
    m_Count -= static_cast<int>(songs.size());
    return songs;
}

void cOfflineSongs::Clear() {
    for (auto& [folder, kept] : m_ByFolder) {
        for (cSongInfo* song : kept) {
            DisposeSongInfo(song);
        }
    }
    m_ByFolder.clear();
    m_Count = 0;
}

std::vector<cSongInfo*> ReviveOfflineSongs(const std::string& folder) {
    if (OfflineSongs.Count() == 0 || MasterSongList == nullptr || SongsDatabase == nullptr) {
        return {};
    }
    const std::vector<cSongInfo*> kept = OfflineSongs.TakeFolder(StripTrailingBackslash(folder));
    // The folder's kept songs are looked up together: one listing of the folder, not a stat each.
    std::vector<std::string_view> paths;
    paths.reserve(kept.size());
    for (const cSongInfo* song : kept) {
        paths.push_back(song->FileName());
    }
    const std::vector<uint8_t> states = FilesExist(paths);
    std::vector<cSongInfo*> revived;
    for (size_t i = 0; i < kept.size(); ++i) {
        cSongInfo* song = kept[i];
        switch (static_cast<eFileState>(states[i])) {
        case kFileExists:
            song->MasterIndex = MasterSongList->Count();
            MasterSongList->Add(song);
            revived.push_back(song);
            break;
        case kFileMissing:
            try {
                // Flagging moves the catalogue's position; appends and loads rely on it.
                const int64_t position = SongsDatabase->GetPosition();
                SongsDatabase->DeleteSongEntry(*song);
                SongsDatabase->SetPosition(position);
                DisposeSongInfo(song);
            } catch (const std::exception& error) {
                ShowErrorMessage(kRevivePrefix, error.what());
                OfflineSongs.Keep(song);
            }
            break;
        case kFileOffline:
            OfflineSongs.Keep(song);
            break;
        }
    }
    return revived;
}
