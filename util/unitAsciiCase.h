#pragma once
// Texts compared with only the letters A to Z folded: to lower case where the catalogue matches
// file names and query texts and where settings match section and key names, to upper case where
// the song list sorts. Every other byte (accented letters, UTF-8 sequences) is compared as it is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// A to Z as a to z; every other byte unchanged.
constexpr char FoldLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// a to z as A to Z; every other byte unchanged.
constexpr char FoldUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// The text with A to Z turned into a to z; every other byte unchanged.
std::string LowerCaseAscii(std::string_view text);

/// Equality of two texts with A to Z folded.
bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b);

/// A hash that is equal for texts that SameTextIgnoringAsciiCase holds equal.
uint64_t FoldedHash(std::string_view text);

/// Hash and equality for unordered containers of texts compared with A to Z folded, so that
/// look-ups need no lower-cased copies.
struct cFoldedHash {
    size_t operator()(std::string_view text) const { return static_cast<size_t>(FoldedHash(text)); }
};
struct cFoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const {
        return SameTextIgnoringAsciiCase(a, b);
    }
};
