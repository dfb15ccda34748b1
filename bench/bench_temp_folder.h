#pragma once
// A fresh temporary folder for the synthetic files of a benchmark, and their tags.

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

/// The 128 bytes of an ID3v1 tag: "Title <index>", "Artist", "Album", "2001".
inline std::string Id3v1TagBlock(int index) {
    std::string block(128, ' ');
    const std::string title = "Title " + std::to_string(index);
    block.replace(0, 3, "TAG");
    block.replace(3, title.size(), title);
    block.replace(33, 6, "Artist");
    block.replace(63, 5, "Album");
    block.replace(93, 4, "2001");
    return block;
}
