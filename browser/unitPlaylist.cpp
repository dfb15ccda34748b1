#include "browser/unitPlaylist.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>

#include "browser/unitBrowserState.h"
#include "util/unitAsciiCase.h"
#include "util/unitAtomicFile.h"
#include "util/unitFileHandle.h"
#include "util/unitIniDocument.h"
#include "util/unitUtils.h"

namespace {

/// Larger files are no playlists of ours: reading them is refused.
constexpr size_t kMaxPlaylistBytes = 256u << 20;

constexpr std::string_view kM3u8Suffix = ".m3u8";

void RefuseLineBreak(std::string_view path) {
    if (path.find('\n') != std::string_view::npos || path.find('\r') != std::string_view::npos) {
        throw std::invalid_argument(
            "the song \"" + std::string(path) +
            "\" has a line break in its path, which a playlist cannot hold");
    }
}

} // namespace

std::string ProposedPlaylistName(const cBrowserState& state) {
    std::string name =
        state.GroupViewMode == eGroupViewMode::OneGroup
            ? state.SelectedGroup
            : std::string(FileNamePart(StripTrailingBackslash(state.SelectedFolder)));
    std::replace(name.begin(), name.end(), kPathDelim, '-');
    return name;
}

ePlaylistFormat PlaylistFormatFor(std::string_view path, bool m3u8Chosen) {
    const bool m3u8Name =
        path.size() >= kM3u8Suffix.size() &&
        SameTextIgnoringAsciiCase(path.substr(path.size() - kM3u8Suffix.size()), kM3u8Suffix);
    return m3u8Name || m3u8Chosen ? ePlaylistFormat::M3u8 : ePlaylistFormat::Pls;
}

std::string PlsPlaylistBytes(std::string_view existing,
                             const std::vector<std::string_view>& paths) {
    cIniDocument playlist(existing);
    size_t counter = 0;
    for (const std::string_view path : paths) {
        RefuseLineBreak(path);
        playlist.SetVerbatimValue("playlist", "File" + std::to_string(++counter), path);
    }
    playlist.SetValue("Playlist", "NumberOfEntries", std::to_string(counter));
    playlist.SetValue("Playlist", "Version", "2");
    return playlist.Bytes();
}

std::string M3u8PlaylistBytes(const std::string& playlistPath,
                              const std::vector<std::string_view>& paths) {
    const std::string folder = AddTrailingBackslash(FolderPart(playlistPath));
    std::string bytes = "#EXTM3U\n";
    for (std::string_view path : paths) {
        RefuseLineBreak(path);
        if (!folder.empty() && path.size() > folder.size() &&
            path.substr(0, folder.size()) == folder) {
            path.remove_prefix(folder.size());
            if (path.front() == '#') {
                bytes += "./";
            }
        }
        bytes += path;
        bytes += '\n';
    }
    return bytes;
}

void WritePlaylist(const std::string& playlistPath, const std::vector<std::string_view>& paths,
                   ePlaylistFormat format) {
    std::string bytes;
    try {
        if (format == ePlaylistFormat::M3u8) {
            bytes = M3u8PlaylistBytes(playlistPath, paths);
        } else {
            const std::optional<std::string> existing =
                ReadFileIfExists(playlistPath, kMaxPlaylistBytes);
            bytes = PlsPlaylistBytes(existing.value_or(std::string()), paths);
        }
    } catch (const std::invalid_argument& why) {
        throw EFileError(EINVAL, kCouldNotWrite, playlistPath, why.what());
    }
    WriteFileAtomically(playlistPath, bytes);
}
