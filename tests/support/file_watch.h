#pragma once
// Counts how often files are opened while a test runs (inotify), so a test can tell that a
// file was read once, or never.

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

class cOpenCounter {
public:
    /// Watches the file, or every file in the folder.
    explicit cOpenCounter(const std::string& path)
        : m_Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        // Closes are watched too: identical events in a row would be merged into one.
        if (m_Fd < 0 || ::inotify_add_watch(m_Fd, path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
            throw std::runtime_error("cannot watch " + path);
        }
    }
    ~cOpenCounter() { ::close(m_Fd); }
    cOpenCounter(const cOpenCounter&) = delete;
    cOpenCounter& operator=(const cOpenCounter&) = delete;

    /// The opens of files (not of the folder itself) since the counter was made.
    int Opens() {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t length = ::read(m_Fd, buffer, sizeof buffer);
            if (length <= 0) {
                return m_Opens;
            }
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_OPEN) != 0 && (event->mask & IN_ISDIR) == 0) {
                    ++m_Opens;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_Fd;
    int m_Opens = 0;
};
