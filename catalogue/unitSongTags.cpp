#include "catalogue/unitSongTags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "util/unitFileHandle.h"
#include "util/unitTextUtils.h"

namespace {

std::string_view BlockView(const cId3v1Block& block) {
    return {block.data(), block.size()};
}

} // namespace

size_t Id3v1FieldWidth(eTagField field, const cId3v1Block* tail) {
    switch (field) {
    case eTagField::kTitle:
        return kId3v1Title.Width;
    case eTagField::kArtist:
        return kId3v1Artist.Width;
    case eTagField::kAlbum:
        return kId3v1Album.Width;
    case eTagField::kYear:
        return kId3v1Year.Width;
    case eTagField::kComment:
        break;
    }
    return tail != nullptr ? Id3v1CommentWidth(*tail) : kId3v1Comment.Width;
}

namespace {

/// Reads count bytes at the offset into the buffer; answers how many the file held.
size_t ReadAt(int fd, char* buffer, size_t count, int64_t offset, const std::string& path) {
    const cTransfer got = ReadFullyAt(fd, buffer, count, offset);
    if (got.Error != 0) {
        throw EFileError(got.Error, "Cannot read", path);
    }
    return got.Done;
}

/// Feeds the tag's frames to the reader as far as it wants them. Each read takes a page more
/// than wanted, which mostly holds the next frame header too.
cId3v1Texts ReadId3v2Frames(int fd, int64_t fileSize, const cId3v2Header& header,
                            std::string_view head, const std::string& path) {
    cId3v2TextReader reader(header, fileSize);
    reader.Give(0, head);
    std::string buffer;
    const int64_t tagEnd = std::min(fileSize, header.TotalSize());
    for (cId3v2Walk::cRange wanted = reader.Wanted(); wanted.Count > 0; wanted = reader.Wanted()) {
        const int64_t count = std::min(wanted.Count + static_cast<int64_t>(kHeadReadSize),
                                       std::max(wanted.Count, tagEnd - wanted.Offset));
        buffer.resize(static_cast<size_t>(count));
        buffer.resize(ReadAt(fd, buffer.data(), buffer.size(), wanted.Offset, path));
        reader.Give(wanted.Offset, buffer);
    }
    return reader.Texts();
}

/// The text a field of the editor stores for an ID3v2 text: Latin-1 when every character fits
/// it, else UTF-8 (as the editor stores what is typed), cut to the field's width.
std::string StoredTagText(std::string_view utf8, size_t width) {
    const std::optional<std::string> latin1 = Utf8ToLatin1(utf8);
    return std::string(CutToFieldWidth(latin1 ? std::string_view(*latin1) : utf8, width));
}

} // namespace

cFileTags ReadFileTags(int fd, int64_t fileSize, const std::string& path) {
    cFileTags tags;
    std::array<char, kHeadReadSize> head;
    const size_t headSize = ReadAt(
        fd, head.data(), static_cast<size_t>(std::min<int64_t>(fileSize, kHeadReadSize)), 0, path);
    cId3v1Block tail{};
    if (fileSize <= static_cast<int64_t>(kHeadReadSize)) {
        // A small file: its last 128 bytes came with the first read.
        if (headSize >= kId3v1Size) {
            std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(headSize - kId3v1Size),
                        kId3v1Size, tail.begin());
            if (IsId3v1Tag(BlockView(tail))) {
                tags.Id3v1 = tail;
            }
        }
    } else if (ReadId3v1Tail(fd, fileSize, path, tail) && IsId3v1Tag(BlockView(tail))) {
        tags.Id3v1 = tail;
    }
    const std::string_view headBytes(head.data(), headSize);
    tags.Id3v2 = ParseId3v2Header(headBytes);
    if (tags.Id3v2) {
        tags.Id3v2Texts = ReadId3v2Frames(fd, fileSize, *tags.Id3v2, headBytes, path);
    }
    return tags;
}

size_t Id3v1CommentWidth(const cId3v1Block& tail) {
    const bool hasTrack = tail[kId3v1TrackOffset - 1] == '\0' && tail[kId3v1TrackOffset] != '\0';
    return hasTrack ? kId3v1TrackOffset - 1 - kId3v1Comment.Offset : kId3v1Comment.Width;
}

std::string_view CompletedText(std::string_view id3v1Text, std::string_view id3v2Text,
                               size_t width) {
    const std::string_view shown = TrimControlChars(id3v1Text);
    if (shown.empty() || id3v2Text.size() <= shown.size()) {
        return id3v1Text;
    }
    const std::optional<std::string> latin1 = Utf8ToLatin1(id3v2Text);
    for (const std::string_view stored :
         {latin1 ? std::string_view(*latin1) : id3v2Text, id3v2Text}) {
        if (stored.size() > width && TrimControlChars(CutToFieldWidth(stored, width)) == shown) {
            return id3v2Text;
        }
    }
    return id3v1Text;
}

cId3v1Texts SongTextsFromTags(const cFileTags& tags) {
    if (!tags.Id3v1) {
        return tags.Id3v2Texts;
    }
    cId3v1Texts texts = ReadId3v1Texts(BlockView(*tags.Id3v1), eId3v1Reading::kSongRecord);
    for (const eTagField field : kTagFields) {
        std::string& text = FieldText(texts, field);
        const std::string& fromId3v2 = FieldText(tags.Id3v2Texts, field);
        if (TrimControlChars(text).empty()) {
            if (!fromId3v2.empty()) {
                text = fromId3v2;
            }
        } else {
            text =
                std::string(CompletedText(text, fromId3v2, Id3v1FieldWidth(field, &*tags.Id3v1)));
        }
    }
    return texts;
}

cId3v1Texts EditorTextsFromTags(const cFileTags& tags) {
    cId3v1Texts texts;
    if (tags.Id3v1) {
        texts = ReadId3v1Texts(BlockView(*tags.Id3v1), eId3v1Reading::kEditor);
    }
    const cId3v1Block* tail = tags.Id3v1 ? &*tags.Id3v1 : nullptr;
    for (const eTagField field : kTagFields) {
        std::string& text = FieldText(texts, field);
        if (text.empty()) {
            text = StoredTagText(FieldText(tags.Id3v2Texts, field), Id3v1FieldWidth(field, tail));
        }
    }
    return texts;
}

cSongTag ReadSongTag(const std::string& path, eTagAccess access) {
    const cRegularFile file =
        OpenRegularFile(path, access == eTagAccess::kReadWrite ? O_RDWR : O_RDONLY, kCannotOpen);
    const cFileTags tags = ReadFileTags(file.Handle.Get(), file.Size(), path);
    cSongTag tag;
    tag.FileTime = file.Info.st_mtim;
    tag.HasTag = tags.Id3v1.has_value();
    tag.HasId3v2 = tags.Id3v2.has_value();
    tag.Texts = EditorTextsFromTags(tags);
    return tag;
}
