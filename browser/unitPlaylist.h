#pragma once
// Playlists of songs: the .pls file, written by the rules of the program's INI files (File keys
// of an existing playlist replaced in place, its other keys and sections kept), the M3U8 file,
// the name the export proposes and the kind of file a chosen name gets. Standard library only.

#include <string>
#include <string_view>
#include <vector>

class cBrowserState;

enum class ePlaylistFormat { Pls, M3u8 };

/// The file name the export proposes: the shown group's name while one group is shown, else
/// the name of the selected folder (empty for the root). A "/", which no file name can hold,
/// becomes "-".
std::string ProposedPlaylistName(const cBrowserState& state);

/// The kind of playlist a chosen file gets: M3U8 when its name ends in ".m3u8" (any letter
/// case) or the M3U8 kind was chosen in the dialog, .pls otherwise.
ePlaylistFormat PlaylistFormatFor(std::string_view path, bool m3u8Chosen);

/// The .pls file after the export of the paths into a file that held `existing` (empty for a
/// new file): File1 to Filen in section "playlist", each path as it is (no quotes), then
/// NumberOfEntries=n and Version=2 in section "Playlist"; both names are the same section, whose
/// header is spelled by the first write that creates it. Every other line stays as it was.
/// Throws std::invalid_argument with the reason when a path holds a line break.
std::string PlsPlaylistBytes(std::string_view existing, const std::vector<std::string_view>& paths);

/// The M3U8 file: "#EXTM3U", then one line per path (LF line ends): relative to the playlist's
/// folder when the song lies below it, absolute otherwise; a relative path that would begin
/// with "#" (a comment) starts with "./". Throws std::invalid_argument when a path holds a
/// line break.
std::string M3u8PlaylistBytes(const std::string& playlistPath,
                              const std::vector<std::string_view>& paths);

/// Writes the playlist in one replacement of the whole file, so a crash or a refused write
/// leaves the old file as it was; a new .pls file is written in one pass, with the bytes
/// PlsPlaylistBytes gives. A symbolic link at the path is followed only to a file that is
/// there, which is replaced while the link stays; a link whose target is missing, and one that
/// another user put into a sticky folder everyone may write to (which the kernel's
/// protected-symlinks rule would not follow), are refused. Throws EFileError naming the
/// playlist file when it cannot be read (for .pls, which keeps its other lines), written, or
/// hold a path.
void WritePlaylist(const std::string& playlistPath, const std::vector<std::string_view>& paths,
                   ePlaylistFormat format);
