#pragma once
// A folder planted with what a killed copy of the program leaves behind (its temporary files,
// old enough to be leftovers) among user files that only look like them: the tests of every
// routine that clears leftovers check that exactly the program's own old ones go.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace leftover_files {

/// Plants the entries in the folder; answers the names that must stay, sorted.
inline std::vector<std::string> PlantLeftoversAndLookAlikes(const std::string& folder) {
    enum eKind { kFile, kLink, kFolder };
    const struct {
        const char* Name;
        eKind Kind;
        bool Old;        ///< last modified two minutes ago
        bool OtherOwner; ///< belongs to another user (only where the test may give it away)
        bool Leftover;   ///< the program's own leftover: it goes
    } entries[] = {
        {".a.mp3.tunaria-123456.tmp", kFile, true, false, true},
        {".link.mp3.tunaria-7.tmp", kLink, true, false, true},
        {".fresh.mp3.tunaria-9.tmp", kFile, false, false, false}, // a copy under way
        {"a.mp3.tunaria-1.tmp", kFile, true, false, false},       // no leading dot
        {".b.mp3.tunaria-.tmp", kFile, true, false, false},       // no number
        {".c.mp3.tunaria-12x.tmp", kFile, true, false, false},
        {".d.mp3.tunaria-12.tmp.mp3", kFile, true, false, false},
        {".e.mp3.tmp123", kFile, true, false, false}, // another program's pattern
        {".f.mp3.tunaria-5.tmp", kFolder, true, false, false},
        {".g.mp3.tunaria-5.tmp", kFile, true, true, false},
        {"song.mp3", kFile, true, false, false},
    };
    std::vector<std::string> staying;
    const timespec old[2] = {{std::time(nullptr) - 120, 0}, {std::time(nullptr) - 120, 0}};
    for (const auto& entry : entries) {
        const std::string path = folder + "/" + entry.Name;
        if (entry.Kind == kFolder) {
            std::filesystem::create_directory(path);
        } else if (entry.Kind == kLink) {
            std::filesystem::create_symlink(folder + "/song.mp3", path);
        } else {
            WriteBytes(path, "bytes");
        }
        if (entry.OtherOwner && (::geteuid() != 0 || ::lchown(path.c_str(), 65534, 65534) != 0)) {
            std::filesystem::remove(path); // cannot be given away here: not planted
            continue;
        }
        if (entry.Old) {
            ::utimensat(AT_FDCWD, path.c_str(), old, AT_SYMLINK_NOFOLLOW);
        }
        if (!entry.Leftover) {
            staying.emplace_back(entry.Name);
        }
    }
    std::sort(staying.begin(), staying.end());
    return staying;
}

/// The names in the folder, sorted.
inline std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace leftover_files
