#pragma once
// The catalogue's writes of one operation as they reach the file, and every state a crash
// could leave the file in while they are made: cut inside each write and behind it. The hook
// that records them (an interposed pwrite) lives in core/test_group_operations.cpp, once for
// the core test program.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// Offset and bytes of each pwrite, in the order made.
using cRecordedWrites = std::vector<std::pair<int64_t, std::string>>;

/// While set, every pwrite of the core test program is recorded here before it is made.
extern cRecordedWrites* g_RecordedWrites;

/// Records the writes of this program while it lives.
class cWriteRecorder {
public:
    cWriteRecorder() { g_RecordedWrites = &m_Writes; }
    ~cWriteRecorder() { g_RecordedWrites = nullptr; }
    cWriteRecorder(const cWriteRecorder&) = delete;
    cWriteRecorder& operator=(const cWriteRecorder&) = delete;

    const cRecordedWrites& Writes() const { return m_Writes; }

private:
    cRecordedWrites m_Writes;
};

/// Replays the writes onto the file's content before them, one by one, and hands each state a
/// crash could leave to `check`: every write cut short at each of its bytes, then whole.
/// Answers the content after the last write.
inline std::string ForEachCrashState(std::string state, const cRecordedWrites& writes,
                                     const std::function<void(const std::string&)>& check) {
    const auto apply = [](std::string& content, int64_t at, std::string_view bytes) {
        const auto offset = static_cast<size_t>(at);
        content.resize(std::max(content.size(), offset + bytes.size()));
        content.replace(offset, bytes.size(), bytes);
    };
    for (const auto& [at, bytes] : writes) {
        for (size_t part = 1; part < bytes.size(); ++part) {
            std::string torn = state;
            apply(torn, at, std::string_view(bytes).substr(0, part));
            check(torn);
        }
        apply(state, at, bytes);
        check(state);
    }
    return state;
}
