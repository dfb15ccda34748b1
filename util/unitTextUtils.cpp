#include "util/unitTextUtils.h"

#include <algorithm>
#include <cstdint>

namespace {
bool IsControlOrSpace(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}
} // namespace

bool IsValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        uint32_t codePoint = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07u;
        } else {
            return false; // a continuation byte, an overlong lead (C0, C1) or beyond F4
        }
        if (size - i < length) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if (!IsContinuationByte(bytes[i + k])) {
                return false;
            }
            codePoint = codePoint << 6 | (bytes[i + k] & 0x3Fu);
        }
        const bool overlong =
            (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
        const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
        if (overlong || surrogate || codePoint > 0x10FFFF) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string_view CutToFieldWidth(std::string_view text, size_t width) {
    if (text.size() <= width) {
        return text;
    }
    size_t cut = width;
    if (IsValidUtf8(text)) {
        while (cut > 0 && IsContinuationByte(static_cast<unsigned char>(text[cut]))) {
            --cut;
        }
    }
    return text.substr(0, cut);
}

std::string_view TrimControlChars(std::string_view text) {
    while (!text.empty() && IsControlOrSpace(text.front())) {
        text.remove_prefix(1);
    }
    return TrimTrailingControlChars(text);
}

std::string_view TrimTrailingControlChars(std::string_view text) {
    while (!text.empty() && IsControlOrSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string ListedLinesMessage(std::string heading, const std::vector<std::string>& lines,
                               size_t maxListed) {
    for (size_t i = 0; i < lines.size() && i < maxListed; ++i) {
        heading += '\n';
        heading += lines[i];
    }
    if (lines.size() > maxListed) {
        heading += "\n... and " + std::to_string(lines.size() - maxListed) + " more";
    }
    return heading;
}

std::optional<int32_t> TextToInt32(std::string_view text) {
    text.remove_prefix(std::min(text.size(), text.find_first_not_of(' ')));
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X") {
        base = 16;
        text.remove_prefix(2);
    } else if (text.substr(0, 1) == "$") {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // Decimal must fit int32 with its sign; hexadecimal is a 32-bit pattern.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFULL : (negative ? 0x80000000ULL : 0x7FFFFFFFULL);
    uint64_t magnitude = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    const auto pattern = static_cast<uint32_t>(negative ? 0 - magnitude : magnitude);
    return static_cast<int32_t>(pattern);
}
