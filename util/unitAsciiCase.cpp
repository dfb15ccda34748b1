#include "util/unitAsciiCase.h"

#include <algorithm>
#include <cstring>

namespace {
/// The eight bytes with A..Z turned into a..z, all at once; other bytes are kept.
uint64_t FoldWord(uint64_t bytes) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    const uint64_t low7 = bytes & ~kHigh;
    const uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;    // high bit set where >= 'A'
    const uint64_t beyondZ = low7 + (0x80 - 'Z' - 1) * kOnes; // high bit set where > 'Z'
    const uint64_t upper = atLeastA & ~beyondZ & ~bytes & kHigh;
    return bytes | upper >> 2; // 0x80 >> 2 is the 0x20 between the cases
}

/// Up to eight bytes of the text from the offset on, zero-padded.
uint64_t WordAt(std::string_view text, size_t at) {
    uint64_t word = 0;
    std::memcpy(&word, text.data() + at, std::min<size_t>(8, text.size() - at));
    return word;
}
} // namespace

std::string LowerCaseAscii(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = FoldLower(c);
    }
    return lowered;
}

bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t at = 0; at < a.size(); at += 8) {
        if (FoldWord(WordAt(a, at)) != FoldWord(WordAt(b, at))) {
            return false;
        }
    }
    return true;
}

uint64_t FoldedHash(std::string_view text) {
    uint64_t hash = 0x243F6A8885A308D3ULL ^ text.size();
    for (size_t at = 0; at < text.size(); at += 8) {
        hash = (hash ^ FoldWord(WordAt(text, at))) * 0x9E3779B97F4A7C15ULL;
        hash ^= hash >> 29;
    }
    hash *= 0xBF58476D1CE4E5B9ULL;
    return hash ^ hash >> 32;
}
