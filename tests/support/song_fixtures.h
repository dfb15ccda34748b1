#pragma once
// Songs for the core tests: catalogue records built byte by byte, MP3 files with or without a
// tag, a recording message sink, a child process, and file permissions met as an ordinary user.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"
#include "support/temp_folder.h"
#include "util/unitMessages.h"

namespace song_fixtures {

// ---- records by hand, independent of the writer under test --------------------------------

inline std::string U32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

inline std::string F64(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return U32(static_cast<uint32_t>(bits)) + U32(static_cast<uint32_t>(bits >> 32));
}

inline std::string Text(const std::string& text) {
    return U32(static_cast<uint32_t>(text.size())) + text;
}

struct cRecordFields {
    std::string fileName, title, author, album, comment, year;
    int32_t views = 0;
    int32_t size = 0;
    double date = 0;
    std::string groupsText; ///< as stored: names joined by CR LF
};

inline std::string Payload(const cRecordFields& f) {
    return Text(f.fileName) + Text(f.title) + Text(f.author) + Text(f.album) + Text(f.comment) +
           Text(f.year) + U32(static_cast<uint32_t>(f.views)) + U32(static_cast<uint32_t>(f.size)) +
           F64(f.date) + "\r\n" + Text(f.groupsText) + "\r\n";
}

/// A whole record: flag byte, RecordLength, payload.
inline std::string Record(const cRecordFields& f, uint8_t deleted = 0) {
    const std::string payload = Payload(f);
    return std::string(1, static_cast<char>(deleted)) + U32(static_cast<uint32_t>(payload.size())) +
           payload;
}

inline cRecordFields Fields(const std::string& fileName, const std::string& title = "") {
    cRecordFields f;
    f.fileName = fileName;
    f.title = title;
    return f;
}

/// Records every message of the core while it lives.
class cMessageRecorder {
public:
    cMessageRecorder() {
        m_Previous =
            SetMessageSink([this](const std::string& text) { m_Messages.push_back(text); });
    }
    ~cMessageRecorder() { SetMessageSink(m_Previous); }
    cMessageRecorder(const cMessageRecorder&) = delete;
    cMessageRecorder& operator=(const cMessageRecorder&) = delete;

    const std::vector<std::string>& Messages() const { return m_Messages; }

private:
    std::vector<std::string> m_Messages;
    cMessageSink m_Previous;
};

inline bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

/// Runs the body in a forked child and answers its exit code (200 + signal when it was killed).
/// The child never returns into the test framework: it ends with _exit.
inline int RunInChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 98;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

/// RunInChild with every file write of the child limited to `limit` bytes: a write beyond it
/// fails as on a full disk (EFBIG, the signal ignored). Answers 97 when the limit cannot be set.
inline int RunInChildWithFileLimit(off_t limit, const std::function<int()>& body) {
    return RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        return ::setrlimit(RLIMIT_FSIZE, &small) == 0 ? body() : 97;
    });
}

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

} // namespace song_fixtures
