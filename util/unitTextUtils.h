#pragma once
// Small routines on byte texts shared by the catalogue and the windows: UTF-8 validity, cutting
// a text to a field width without splitting a character, trimming control characters.
// Standard library only.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

/// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most
/// U+10FFFF). Plain ASCII is valid UTF-8.
bool IsValidUtf8(std::string_view text);

/// The longest beginning of the text that fits into width bytes. A text that is valid UTF-8
/// is cut at a character boundary, never inside a character; any other text (a legacy 8-bit
/// text) is cut at the byte width.
std::string_view CutToFieldWidth(std::string_view text, size_t width);

/// The text without characters of codes 0 to 32 at either end.
std::string_view TrimControlChars(std::string_view text);
/// The text without characters of codes 0 to 32 at its end; leading spaces stay.
std::string_view TrimTrailingControlChars(std::string_view text);

/// A message that lists lines under its heading, one per line: at most maxListed of them, the
/// rest counted in a last line "... and N more".
std::string ListedLinesMessage(std::string heading, const std::vector<std::string>& lines,
                               size_t maxListed);
