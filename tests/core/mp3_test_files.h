#pragma once
// MP3 files for the catalogue tests, with or without a tag built byte by byte, and a way to
// meet file permissions as an ordinary user would.

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "test_temp_folder.h"

namespace mp3test {

/// A 128-byte tag block: marker, then each field copied in at its offset; the rest of every
/// field is filled with the pad byte (space or zero), genre 0xFF.
inline std::string TagBlock(std::string_view title, std::string_view artist, std::string_view album,
                            std::string_view year, std::string_view comment, char pad = ' ',
                            std::string_view marker = "TAG") {
    std::string block(128, pad);
    block.replace(0, 3, marker);
    const auto put = [&](size_t offset, size_t width, std::string_view text) {
        block.replace(offset, std::min(width, text.size()), text.substr(0, width));
    };
    put(3, 30, title);
    put(33, 30, artist);
    put(63, 30, album);
    put(93, 4, year);
    put(97, 30, comment);
    block[127] = '\xFF';
    return block;
}

/// Audio-like bytes of the given length (no "TAG" anywhere) followed by the tag, if any.
inline std::string Mp3Bytes(size_t audioSize, std::string_view tag = {}) {
    std::string bytes;
    bytes.reserve(audioSize + tag.size());
    for (size_t i = 0; i < audioSize; ++i) {
        bytes += static_cast<char>(0x80 + i % 0x40);
    }
    bytes += tag;
    return bytes;
}

/// Lets an ordinary user reach the folder (temporary folders are made private to their owner).
inline void OpenToEveryone(const std::string& folder) {
    ::chmod(folder.c_str(), 0755);
}

/// While it lives, file permissions are checked for an ordinary user even when the tests run
/// as root (the file-system user id of this thread is set to "nobody"; root passes every
/// permission check otherwise).
class cUnprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    cUnprivileged() {
        if (::geteuid() == 0) {
            m_Previous = static_cast<uid_t>(::setfsuid(kNobody));
            m_Changed = true;
        }
    }
    ~cUnprivileged() {
        if (m_Changed) {
            ::setfsuid(m_Previous);
        }
    }
    cUnprivileged(const cUnprivileged&) = delete;
    cUnprivileged& operator=(const cUnprivileged&) = delete;

    /// False when running as root without the right to change the file-system user id, so
    /// that permissions cannot be met here.
    static bool Possible() {
        if (::geteuid() != 0) {
            return true;
        }
        const cUnprivileged probe;
        return ::setfsuid(static_cast<uid_t>(-1)) == static_cast<int>(kNobody); // -1 only asks
    }

private:
    uid_t m_Previous = 0;
    bool m_Changed = false;
};

} // namespace mp3test
