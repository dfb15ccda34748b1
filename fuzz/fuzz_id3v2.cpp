// The ID3v2 reader and the tag rebuild on arbitrary tags: no crash, no hang, nothing read beyond
// the tag, the same texts whether the tag comes whole or in the pieces the reader asks for, and
// a rebuilt tag that reads back what was written into it.
//
// Input: byte 0 chooses how the tag is made; the rest is its body (extended header, frames,
// padding) or, with bit 7, the whole file as it stands.
//   bits 0-1  version 2, 3 or 4 (3 for both 0 and 3)
//   bit 2     unsynchronised      bit 3  extended header     bit 4  footer
//   bit 5     the stated size is the body's size plus byte 1 times 64 (a tag larger than the file)

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitId3v2.h"
#include "catalogue/unitId3v2Write.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "fuzz/fuzz_folder.h"
#include "util/unitTextUtils.h"

namespace {

std::string Syncsafe(uint32_t value) {
    std::string out;
    for (int i = 3; i >= 0; --i) {
        out += static_cast<char>((value >> (7 * i)) & 0x7F);
    }
    return out;
}

std::string MakeFile(std::string_view input) {
    const auto options = static_cast<uint8_t>(input[0]);
    std::string_view body = input.substr(1);
    if (options & 0x80) {
        return std::string(body);
    }
    const int versions[] = {3, 2, 4, 3};
    uint32_t stated = static_cast<uint32_t>(body.size());
    if ((options & 0x20) && !body.empty()) {
        stated += static_cast<uint8_t>(body[0]) * 64u;
        body.remove_prefix(1);
    }
    std::string file = "ID3";
    file += static_cast<char>(versions[options & 3]);
    file += '\0';
    file += static_cast<char>(((options & 0x04) ? 0x80 : 0) | ((options & 0x08) ? 0x40 : 0) |
                              ((options & 0x10) ? 0x10 : 0));
    file += Syncsafe(stated & 0x0FFFFFFF);
    return file + std::string(body);
}

void CheckTexts(const cId3v1Texts& texts) {
    for (const eTagField field : kTagFields) {
        const std::string& text = FieldText(texts, field);
        Check(IsValidUtf8(text));
        Check(text.size() <= kId3v2LongestText);
        Check(text.find_first_of("\r\n") == std::string::npos);
        Check(text.find('\0') == std::string::npos);
        Check(TrimControlChars(text).size() == text.size());
    }
    Check(texts.Year.size() <= 16);
}

/// The texts read through the reader's requests, each answered with exactly the bytes asked
/// for; every request lies inside the tag's bytes and the file.
cId3v1Texts ReadInPieces(const cId3v2Header& header, const std::string& file) {
    cId3v2TextReader reader(header, static_cast<int64_t>(file.size()));
    reader.Give(0, std::string_view(file).substr(0, kId3v2HeaderSize));
    const int64_t end = std::min<int64_t>(
        {header.TotalSize(), kId3v2LargestTag, static_cast<int64_t>(file.size())});
    int64_t given = 0;
    for (auto wanted = reader.Wanted(); wanted.Count > 0; wanted = reader.Wanted()) {
        Check(wanted.Offset >= 0 && wanted.Offset + wanted.Count <= end);
        given += wanted.Count;
        Check(given <= 4 * end + 64); // no request over and over again
        reader.Give(wanted.Offset,
                    std::string_view(file).substr(static_cast<size_t>(wanted.Offset),
                                                  static_cast<size_t>(wanted.Count)));
    }
    return reader.Texts();
}

/// A rebuilt tag with a new title and comment reads them back.
void CheckRebuild(const cId3v2Header& header, const std::string& file) {
    cId3v2Edits edits;
    edits[static_cast<size_t>(eTagField::kTitle)] = "Fuzz title \xE2\x82\xAC";
    edits[static_cast<size_t>(eTagField::kComment)] = "x";
    const std::optional<std::string> frames = EditedId3v2Frames(header, file, edits);
    if (!frames) {
        return;
    }
    const auto size = static_cast<int64_t>(kId3v2HeaderSize + frames->size() + kId3v2NewPadding);
    const std::string tag = Id3v2TagBytes(header, *frames, size);
    Check(static_cast<int64_t>(tag.size()) == size);
    const cId3v1Texts texts = ReadId3v2Texts(tag);
    Check(texts.Title == "Fuzz title \xE2\x82\xAC");
    Check(texts.Comment == "x");
}

/// The scan's reading of the file agrees with the reader over bytes where no ID3v1 tag comes
/// first (title and artist may come from the file name).
void CheckFile(const std::string& file, const cId3v1Texts& texts) {
    const std::string path = FuzzFolder() + "song.mp3";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
    }
    cSongInfo song;
    ReadSongFromFile(path, song);
    const bool hasId3v1 = file.size() >= 128 && file.compare(file.size() - 128, 3, "TAG") == 0;
    if (!hasId3v1) {
        Check(song.Album() == texts.Album && song.Year() == texts.Year &&
              song.Comment() == texts.Comment);
    }
    ::unlink(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string file = MakeFile({reinterpret_cast<const char*>(data), size});
    const cId3v1Texts texts = ReadId3v2Texts(file);
    CheckTexts(texts);
    if (const std::optional<cId3v2Header> header = ParseId3v2Header(file)) {
        Check(ReadInPieces(*header, file) == texts);
        CheckRebuild(*header, file);
    }
    CheckFile(file, texts);
    return 0;
}
