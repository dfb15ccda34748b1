#include "browser/unitPlaylist.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
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

namespace {

/// What PlsPlaylistBytes refuses for a path, checked before anything is written: a line break,
/// and whatever else the INI writer cannot store as the value of the path's key (a NUL byte).
void CheckPlsPath(std::string_view path, size_t counter) {
    RefuseLineBreak(path);
    if (path.find('\0') != std::string_view::npos) {
        throw std::invalid_argument(
            IniWriteProblem("playlist", "File" + std::to_string(counter), path));
    }
}

/// The INI document keeps its lines' texts in one text of 32-bit places; a playlist whose lines
/// would not fit is refused as the document refuses it.
void CheckPlsSize(const std::vector<std::string_view>& paths) {
    constexpr uint64_t kLargestText = UINT32_MAX;
    uint64_t texts = std::string_view(paths.empty() ? "[Playlist]" : "[playlist]").size();
    for (size_t i = 0; i < paths.size(); ++i) {
        texts += std::string_view("File=").size() + std::to_string(i + 1).size() + paths[i].size();
    }
    texts += std::string_view("NumberOfEntries=").size() + std::to_string(paths.size()).size() +
             std::string_view("Version=2").size();
    if (texts > kLargestText) {
        throw std::length_error("the INI file would be larger than 4 GiB");
    }
}

void CheckPlsPaths(const std::vector<std::string_view>& paths) {
    for (size_t i = 0; i < paths.size(); ++i) {
        CheckPlsPath(paths[i], i + 1);
    }
    CheckPlsSize(paths);
}

/// Writes a new .pls file in one pass: the lines the INI writer gives an empty file when the
/// keys are written one by one (File1 to Filen in section "playlist", then NumberOfEntries and
/// Version in "Playlist", one section spelled by its first write), each ending in CR LF.
/// The paths have been checked (CheckPlsPaths).
template <typename tAppend>
void WriteNewPls(const std::vector<std::string_view>& paths, tAppend&& append) {
    append(paths.empty() ? "[Playlist]\r\n" : "[playlist]\r\n");
    char number[24];
    for (size_t i = 0; i < paths.size(); ++i) {
        const int digits = std::snprintf(number, sizeof number, "File%zu=", i + 1);
        append(std::string_view(number, static_cast<size_t>(digits)));
        append(paths[i]);
        append("\r\n");
    }
    append("NumberOfEntries=" + std::to_string(paths.size()) + "\r\nVersion=2\r\n");
}

/// The .pls file written into a file that held `existing`: the INI writer's update rules, key
/// by key. The paths have been checked.
std::string UpdatedPlsBytes(std::string_view existing, const std::vector<std::string_view>& paths) {
    cIniDocument playlist(existing);
    size_t counter = 0;
    for (const std::string_view path : paths) {
        playlist.SetVerbatimValue("playlist", "File" + std::to_string(++counter), path);
    }
    playlist.SetValue("Playlist", "NumberOfEntries", std::to_string(counter));
    playlist.SetValue("Playlist", "Version", "2");
    return playlist.Bytes();
}

/// The content of the playlist file now at the target, read before it is replaced; errors
/// name the path the user chose.
std::optional<std::string> ExistingPlaylist(const std::string& playlistPath,
                                            const std::string& target) {
    try {
        return ReadFileIfExists(target, kMaxPlaylistBytes);
    } catch (const EFileError& error) {
        if (target == playlistPath) {
            throw;
        }
        throw EFileError(error.code().value(), kCouldNotRead, playlistPath, error.Reason());
    }
}

} // namespace

std::string PlsPlaylistBytes(std::string_view existing,
                             const std::vector<std::string_view>& paths) {
    CheckPlsPaths(paths);
    if (!existing.empty()) {
        return UpdatedPlsBytes(existing, paths);
    }
    std::string bytes;
    WriteNewPls(paths, [&bytes](std::string_view piece) { bytes += piece; });
    return bytes;
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
    try {
        if (format == ePlaylistFormat::M3u8) {
            for (const std::string_view path : paths) {
                RefuseLineBreak(path);
            }
        } else {
            CheckPlsPaths(paths);
        }
    } catch (const std::invalid_argument& why) {
        throw EFileError(EINVAL, kCouldNotWrite, playlistPath, why.what());
    }
    // The name the user chose may be a link: it is followed only to a file that is there, and
    // never when another user may have planted it (WriteFileAtomically checks that again).
    std::optional<std::string> existing;
    if (format == ePlaylistFormat::Pls) {
        existing = ExistingPlaylist(playlistPath, FileBehindLinksToExistingFile(playlistPath));
    }
    WriteFileAtomically(
        playlistPath, eLinkRule::FollowToExistingOnly, [&](cNewFileContent& content) {
            if (format == ePlaylistFormat::M3u8) {
                content.Append(M3u8PlaylistBytes(playlistPath, paths));
            } else if (existing && !existing->empty()) {
                content.Append(UpdatedPlsBytes(*existing, paths));
            } else {
                WriteNewPls(paths, [&content](std::string_view piece) { content.Append(piece); });
            }
        });
}
