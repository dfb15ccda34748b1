#pragma once
// Small routines on byte texts shared by the catalogue and the windows: UTF-8 validity, cutting
// a text to a field width without splitting a character, trimming control characters, reading
// a whole number, a message listing lines. Standard library only.

#include <cstddef>
#include <cstdint>
#include <optional>
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
/// The text as a 32-bit integer, the one integer conversion of the program (settings values and
/// number conditions): spaces before it, an optional sign, then decimal digits or a hexadecimal
/// number after "$", "0x" or "0X", and nothing after it (a trailing space is not a number).
/// A decimal number must fit the signed 32-bit range with its sign; a hexadecimal number is a
/// 32-bit pattern of at most 8 significant digits, so $FFFFFFFF is -1. Leading zeros are
/// allowed. Nothing when the text is not such a number.
std::optional<int32_t> TextToInt32(std::string_view text);
