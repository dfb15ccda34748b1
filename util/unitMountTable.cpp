#include "util/unitMountTable.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_set>

#include "util/unitFileHandle.h"

std::string MountTablePath = "/proc/self/mountinfo";
std::string DeclaredMountsPath = "/etc/fstab";

namespace {
bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

/// The next field of a line separated by spaces or tabs, or empty at the line's end.
std::string_view NextField(std::string_view line, size_t& at) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) {
        ++at;
    }
    const size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') {
        ++at;
    }
    return line.substr(start, at - start);
}

/// Calls take(line) for each line of the text.
template <typename Take> void ForEachLine(std::string_view text, Take take) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        take(text.substr(start, end - start));
        start = end + 1;
    }
}
} // namespace

std::string DecodeMountPath(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && IsOctalDigit(text[i + 1]) &&
            IsOctalDigit(text[i + 2]) && IsOctalDigit(text[i + 3])) {
            decoded += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                         (text[i + 3] - '0'));
            i += 3;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::vector<cMountEntry> ParseMountTable(std::string_view text) {
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw": mount id,
    // parent id, device, root within the file system, mount point, ...
    std::vector<cMountEntry> entries;
    ForEachLine(text, [&entries](std::string_view line) {
        size_t at = 0;
        const std::string_view id = NextField(line, at);
        NextField(line, at); // parent id
        NextField(line, at); // device
        NextField(line, at); // root
        const std::string_view mountPoint = NextField(line, at);
        if (!id.empty() && !mountPoint.empty()) {
            entries.push_back({std::string(id), DecodeMountPath(mountPoint)});
        }
    });
    return entries;
}

std::vector<std::string> ParseDeclaredMounts(std::string_view text) {
    std::vector<std::string> mountPoints;
    ForEachLine(text, [&mountPoints](std::string_view line) {
        size_t at = 0;
        const std::string_view device = NextField(line, at);
        if (device.empty() || device.front() == '#') {
            return;
        }
        const std::string_view mountPoint = NextField(line, at);
        if (mountPoint.empty() || mountPoint == "none" || mountPoint == "swap") {
            return;
        }
        std::string decoded = DecodeMountPath(mountPoint);
        // "/mnt/nas/" names the folder "/mnt/nas".
        while (decoded.size() > 1 && decoded.back() == '/') {
            decoded.pop_back();
        }
        mountPoints.push_back(std::move(decoded));
    });
    return mountPoints;
}

std::vector<std::string> ChangedMountPoints(const std::vector<cMountEntry>& before,
                                            const std::vector<cMountEntry>& after) {
    const auto key = [](const cMountEntry& entry) { return entry.Id + ' ' + entry.MountPoint; };
    std::unordered_set<std::string> earlier;
    earlier.reserve(before.size());
    for (const cMountEntry& entry : before) {
        earlier.insert(key(entry));
    }
    std::vector<std::string> changed;
    for (const cMountEntry& entry : after) {
        if (earlier.erase(key(entry)) == 0) {
            changed.push_back(entry.MountPoint);
        }
    }
    // What is left of the earlier table went away.
    for (const std::string& gone : earlier) {
        changed.push_back(gone.substr(gone.find(' ') + 1));
    }
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    return changed;
}

std::string ReadWholeFile(const std::string& path) {
    cFileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!file.IsOpen()) {
        return text;
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return text;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
}

cMountPoints cMountPoints::Read() {
    cMountPoints points;
    for (cMountEntry& entry : ParseMountTable(ReadWholeFile(MountTablePath))) {
        points.m_Mounted.insert(std::move(entry.MountPoint));
    }
    for (std::string& declared : ParseDeclaredMounts(ReadWholeFile(DeclaredMountsPath))) {
        points.m_Declared.insert(std::move(declared));
    }
    return points;
}

cMountPoints::cMountPoints(std::vector<std::string> mounted, std::vector<std::string> declared) {
    m_Mounted.insert(mounted.begin(), mounted.end());
    m_Declared.insert(declared.begin(), declared.end());
}
