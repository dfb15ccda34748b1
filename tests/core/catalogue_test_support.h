#pragma once
// Helpers of the catalogue tests: records built by hand, a recording message sink, a child
// process.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue/unitSongsDatabaseClass.h"
#include "test_temp_folder.h"
#include "util/unitMessages.h"

namespace catalogue_test {

inline bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

/// Creates an empty file (and its folders).
inline void Touch(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, "");
}

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

} // namespace catalogue_test

#include <sys/wait.h>

#include <functional>

namespace catalogue_test {

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

} // namespace catalogue_test
