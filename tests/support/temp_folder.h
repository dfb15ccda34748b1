#pragma once
// A fresh folder under the system's temporary folder for one test, removed with everything in
// it afterwards; whole-file helpers for byte-exact checks, and what stat tells of a path.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <csignal>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class cTempFolder {
public:
    cTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tunaria-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_Path = pattern;
    }
    ~cTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    cTempFolder(const cTempFolder&) = delete;
    cTempFolder& operator=(const cTempFolder&) = delete;

    const std::string& Path() const { return m_Path; }
    std::string operator/(std::string_view name) const { return m_Path + "/" + std::string(name); }

    /// The names of the entries of the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_Path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_Path;
};

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("could not write " + path);
    }
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("could not read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool PathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

/// Creates an empty file (and its folders).
inline void Touch(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, "");
}

/// The file's last-modified time in whole seconds since 1970; 0 when it cannot be read.
inline int64_t ModifiedSeconds(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    return info.st_mtim.tv_sec;
}

/// While it lives, no file of this process can grow beyond the given size: a write past it
/// fails with EFBIG, as a write to a full disk fails.
class cFileSizeLimit {
public:
    explicit cFileSizeLimit(int64_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_Previous);
        m_PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_Previous;
        limit.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~cFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_Previous);
        std::signal(SIGXFSZ, m_PreviousHandler);
    }
    cFileSizeLimit(const cFileSizeLimit&) = delete;
    cFileSizeLimit& operator=(const cFileSizeLimit&) = delete;

private:
    rlimit m_Previous{};
    void (*m_PreviousHandler)(int) = nullptr;
};

/// A folder on another file system than the given folder, or empty when there is none.
inline std::string OtherFileSystemFolder(const std::string& besides) {
    struct stat here {};
    ::stat(besides.c_str(), &here);
    for (const char* candidate : {"/dev/shm", "/run/user", "/var/tmp"}) {
        struct stat info {};
        if (::stat(candidate, &info) == 0 && S_ISDIR(info.st_mode) && info.st_dev != here.st_dev &&
            ::access(candidate, W_OK) == 0) {
            return candidate;
        }
    }
    return {};
}
