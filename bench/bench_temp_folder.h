#pragma once
// A fresh temporary folder for the synthetic files of a benchmark.

#include <cstdio>
#include <cstdlib>
#include <string>

/// Makes a new folder "/tmp/<name>-XXXXXX" (the X made unique) and answers its path. A benchmark
/// that cannot have one has nothing to measure: it ends at once.
inline std::string NewBenchFolder(const std::string& name = "tunaria-bench") {
    std::string pattern = "/tmp/" + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}
