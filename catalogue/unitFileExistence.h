#pragma once
// Whether the songs' files are still there.

#include <cstdint>
#include <string_view>
#include <vector>

/// True when a regular file, or a symbolic link to one, exists at the path: what stat(2)
/// followed by S_ISREG answers. Folders do not count; a path holding a NUL byte names no file.
bool FileExists(std::string_view path);

/// FileExists for every path, result[i] for paths[i], with the same answers. Instead of one
/// stat per path it lists each folder that holds several of the paths once and looks the
/// names up in the listing; entries whose kind the listing does not settle (symbolic links,
/// unknown kinds) and folders that cannot be listed or searched fall back to FileExists.
std::vector<uint8_t> FilesExist(const std::vector<std::string_view>& paths);
