// The ID3v1 reader on arbitrary input: random 128-byte tails, files shorter than a tag, and odd
// file names, through the same routines the folder scan and the tag editor use.
//
// Input: byte 0 = length n of the file name (mod 64), the next n bytes = the name ('/' and NUL
// made '_', ".mp3" appended), the rest = the file's content.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "catalogue/unitFolderScan.h"
#include "catalogue/unitId3v1.h"
#include "catalogue/unitSongTags.h"
#include "catalogue/unitSongsDatabaseClass.h"
#include "fuzz/fuzz_folder.h"

namespace {

bool HasEdgeControlChars(std::string_view text) {
    return !text.empty() && (static_cast<unsigned char>(text.front()) <= 32 ||
                             static_cast<unsigned char>(text.back()) <= 32);
}

void CheckTexts(const cId3v1Texts& texts) {
    Check(texts.Title.size() <= kId3v1Title.Width && texts.Artist.size() <= kId3v1Artist.Width &&
          texts.Album.size() <= kId3v1Album.Width && texts.Year.size() <= kId3v1Year.Width &&
          texts.Comment.size() <= kId3v1Comment.Width);
    for (const std::string* text :
         {&texts.Title, &texts.Artist, &texts.Album, &texts.Year, &texts.Comment}) {
        Check(text->find('\0') == std::string::npos);
    }
}

void FuzzTail(std::string_view content) {
    std::string tail(content.substr(0, kId3v1Size));
    tail.resize(kId3v1Size, '\0');
    tail.replace(0, 3, kId3v1Marker);
    const cId3v1Texts record = ReadId3v1Texts(tail, eId3v1Reading::kSongRecord);
    CheckTexts(record);
    Check(!HasEdgeControlChars(record.Title) && !HasEdgeControlChars(record.Artist) &&
          !HasEdgeControlChars(record.Album));
    const cId3v1Texts editor = ReadId3v1Texts(tail, eId3v1Reading::kEditor);
    CheckTexts(editor);
    // What the editor shows, written back and read again, is what it showed.
    const cId3v1Block block = BuildId3v1Block(editor);
    Check(ReadId3v1Texts({block.data(), block.size()}, eId3v1Reading::kEditor) == editor);
    // Cutting never grows a text and keeps valid UTF-8 valid.
    const std::string_view cut = CutToFieldWidth(content, 30);
    Check(cut.size() <= 30 && content.starts_with(cut));
    Check(!IsValidUtf8(content) || IsValidUtf8(cut));
}

void FuzzFile(std::string name, std::string_view content) {
    for (char& c : name) {
        if (c == '/' || c == '\0') {
            c = '_';
        }
    }
    const std::string path = FuzzFolder() + name + ".mp3";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    cSongInfo song;
    ReadSongFromFile(path, song);
    Check(song.FileName() == path);
    Check(song.Size == static_cast<int32_t>(content.size()));
    const cSongTag tag = ReadSongTag(path);
    Check(tag.HasTag == (content.size() >= kId3v1Size &&
                         content.substr(content.size() - kId3v1Size).starts_with("TAG")));
    CheckTexts(tag.Texts);
    ::unlink(path.c_str());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nameLength = std::min<size_t>(static_cast<unsigned char>(input[0]) % 64, size - 1);
    const std::string name(input.substr(1, nameLength));
    const std::string_view content = input.substr(1 + nameLength);
    FuzzTail(content);
    FuzzFile(name, content);
    return 0;
}
