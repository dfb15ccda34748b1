#pragma once
// ID3v2 tags built byte by byte for the tests, independent of the reader and writer under test:
// texts in each encoding, frames of each version, whole tags with padding, extended header,
// footer or unsynchronisation.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace id3v2_fixtures {

inline std::string BigEndian(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

inline std::string Syncsafe(uint32_t value) {
    std::string out;
    for (int i = 3; i >= 0; --i) {
        out += static_cast<char>((value >> (7 * i)) & 0x7F);
    }
    return out;
}

/// A UTF-16 text (surrogate pairs joined) as UTF-8.
inline std::string Utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        constexpr char32_t kLead[] = {0, 0xC0, 0xE0, 0xF0};
        out += static_cast<char>(kLead[extra] | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k) {
            out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
        }
    }
    return out;
}

inline std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string out;
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

/// Encodings of a text field: 0 Latin-1, 1 UTF-16 with a byte order mark (little-endian, or
/// big-endian as kUtf16BomBigEndian), 2 UTF-16BE, 3 UTF-8.
enum eEncoding : uint8_t {
    kLatin1 = 0,
    kUtf16Bom = 1,
    kUtf16BE = 2,
    kUtf8 = 3,
    kUtf16BomBigEndian = 0x81
};

inline uint8_t EncodingByte(eEncoding encoding) {
    return static_cast<uint8_t>(encoding & 0x7F);
}

/// One string in the encoding, without terminator (Latin-1 needs a text that fits it).
inline std::string Encoded(eEncoding encoding, std::u16string_view text) {
    switch (encoding) {
    case kLatin1: {
        std::string out;
        for (const char16_t c : text) {
            out += static_cast<char>(c);
        }
        return out;
    }
    case kUtf16Bom:
        return "\xFF\xFE" + Utf16(text, false);
    case kUtf16BomBigEndian:
        return "\xFE\xFF" + Utf16(text, true);
    case kUtf16BE:
        return Utf16(text, true);
    case kUtf8:
        return Utf8(text);
    }
    return {};
}

inline std::string Terminator(eEncoding encoding) {
    return EncodingByte(encoding) == kUtf16Bom || encoding == kUtf16BE ? std::string(2, '\0')
                                                                       : std::string(1, '\0');
}

/// A frame of the version around the body: 2.2 a 6-byte header, 2.3 a 10-byte one with a
/// plain size, 2.4 with a syncsafe size.
inline std::string Frame(int version, std::string_view id, std::string_view body,
                         uint16_t flags = 0) {
    std::string frame(id);
    const auto size = static_cast<uint32_t>(body.size());
    if (version == 2) {
        return frame + BigEndian(size, 3) + std::string(body);
    }
    frame += version == 3 ? BigEndian(size, 4) : Syncsafe(size);
    frame += BigEndian(flags, 2);
    return frame + std::string(body);
}

inline std::string TextBody(eEncoding encoding, std::u16string_view text, bool terminated = false) {
    return std::string(1, static_cast<char>(EncodingByte(encoding))) + Encoded(encoding, text) +
           (terminated ? Terminator(encoding) : "");
}

inline std::string TextFrame(int version, std::string_view id, eEncoding encoding,
                             std::u16string_view text) {
    return Frame(version, id, TextBody(encoding, text));
}

inline std::string CommentBody(eEncoding encoding, std::u16string_view description,
                               std::u16string_view text, std::string_view language = "eng") {
    return std::string(1, static_cast<char>(EncodingByte(encoding))) + std::string(language) +
           Encoded(encoding, description) + Terminator(encoding) + Encoded(encoding, text);
}

inline std::string CommentFrame(int version, eEncoding encoding, std::u16string_view description,
                                std::u16string_view text, std::string_view language = "eng") {
    return Frame(version, version == 2 ? "COM" : "COMM",
                 CommentBody(encoding, description, text, language));
}

/// The bytes with a zero byte put after every 0xFF that precedes a zero byte or a byte of 0xE0
/// or more, or ends them.
inline std::string Unsynchronised(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        const bool last = i + 1 == bytes.size();
        if (static_cast<uint8_t>(bytes[i]) == 0xFF &&
            (last || bytes[i + 1] == '\0' || static_cast<uint8_t>(bytes[i + 1]) >= 0xE0)) {
            out += '\0';
        }
    }
    return out;
}

/// A tag: header, then the body (extended header, frames), then padding zeros; flags as given;
/// a 2.4 footer when flags hold 0x10.
inline std::string Tag(int version, std::string_view body, size_t padding = 0, uint8_t flags = 0) {
    const std::string content = std::string(body) + std::string(padding, '\0');
    std::string header = "ID3";
    header += static_cast<char>(version);
    header += '\0';
    header += static_cast<char>(flags);
    header += Syncsafe(static_cast<uint32_t>(content.size()));
    std::string tag = header + content;
    if (flags & 0x10) {
        tag += "3DI" + header.substr(3);
    }
    return tag;
}

/// Audio-like bytes after a tag: MPEG frame headers and bytes that hold no "ID3" or "TAG".
inline std::string Audio(size_t size) {
    std::string audio;
    for (size_t i = 0; i < size; ++i) {
        audio += i % 417 == 0 ? '\xFF' : static_cast<char>(0x80 + i % 0x40);
    }
    return audio;
}

} // namespace id3v2_fixtures
