#pragma once
// The folder a fuzz target writes its input files into, and the check that ends a run.

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

/// The folder the inputs are written into, ending in "/"; made once, removed when the fuzzer
/// ends. Never freed, so that it outlives every exit handler.
inline const std::string& FuzzFolder() {
    static const std::string* folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tunaria-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(FuzzFolder(), ignored);
        });
        return new std::string(pattern + "/");
    }();
    return *folder;
}

/// Ends the run as a crash (the fuzzer keeps the input) when the condition fails.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
