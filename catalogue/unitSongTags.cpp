#include "catalogue/unitSongTags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "catalogue/unitId3v2Write.h"
#include "util/unitAtomicFile.h"
#include "util/unitFileHandle.h"
#include "util/unitTextUtils.h"

namespace {

constexpr std::string_view kCannotWriteTag = "Cannot write the tag of";

std::string_view BlockView(const cId3v1Block& block) {
    return {block.data(), block.size()};
}

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

/// A field's stored bytes as the text they show: UTF-8 when valid, else Latin-1.
std::string ShownAsUtf8(std::string_view stored) {
    return IsValidUtf8(stored) ? std::string(stored) : Latin1ToUtf8(stored);
}

// ---- writing ------------------------------------------------------------------------------

/// The old tag and the new one.
struct cNewId3v2 {
    std::string OldBytes;
    std::string Bytes;
    bool InPlace = false;
};

cId3v2Edits EditsOf(const cId3v1Texts& typed, const cId3v1Texts& shown) {
    cId3v2Edits edits;
    for (const eTagField field : kTagFields) {
        if (FieldText(typed, field) != FieldText(shown, field)) {
            edits[static_cast<size_t>(field)] = ShownAsUtf8(FieldText(typed, field));
        }
    }
    return edits;
}

/// The file's ID3v2 tag rebuilt with the edits: in place when it fits the old tag's size,
/// else with fresh padding. Nothing when the tag cannot be rebuilt without loss.
std::optional<cNewId3v2> RebuiltId3v2(int fd, int64_t audioEnd, const cId3v2Header& header,
                                      const cId3v2Edits& edits, const std::string& path) {
    const int64_t oldSize = header.TotalSize();
    if (oldSize > kId3v2LargestTag || oldSize > audioEnd) {
        return std::nullopt;
    }
    cNewId3v2 tag;
    tag.OldBytes.resize(static_cast<size_t>(oldSize));
    if (ReadAt(fd, tag.OldBytes.data(), tag.OldBytes.size(), 0, path) < tag.OldBytes.size()) {
        return std::nullopt;
    }
    const std::optional<std::string> frames = EditedId3v2Frames(header, tag.OldBytes, edits);
    if (!frames) {
        return std::nullopt;
    }
    const auto needed = static_cast<int64_t>(kId3v2HeaderSize + frames->size());
    tag.InPlace = needed <= oldSize;
    tag.Bytes = Id3v2TagBytes(
        header, *frames, tag.InPlace ? oldSize : needed + static_cast<int64_t>(kId3v2NewPadding));
    return tag;
}

void SetFileTime(int fd, const std::timespec& accessed, const std::timespec* modified) {
    const std::timespec times[2] = {accessed,
                                    modified != nullptr ? *modified : std::timespec{0, UTIME_NOW}};
    ::futimens(fd, times);
}

/// Writes the new tag over the old one, then the ID3v1 block; puts the old tag back when
/// either fails.
void WriteInPlace(int fd, int64_t fileSize, bool overwriteId3v1, const cId3v1Block& block,
                  const cNewId3v2& tag, const std::string& path) {
    const int error = WriteFullyAt(fd, tag.Bytes, 0).Error;
    try {
        if (error != 0) {
            throw EFileError(error, kCannotWriteTag, path);
        }
        WriteId3v1Block(fd, fileSize, overwriteId3v1, block, path);
    } catch (const EFileError&) {
        if (WriteFullyAt(fd, tag.OldBytes, 0).Error == 0) {
            ::fsync(fd);
        }
        throw;
    }
}

/// Copies count bytes of the source from `from` to the target at `to`, in the kernel where it
/// can; answers the errno that stopped it, or 0.
int CopyBytes(int source, int64_t from, int target, int64_t to, int64_t count) {
    auto in = static_cast<off_t>(from);
    auto out = static_cast<off_t>(to);
    while (count > 0) {
        const ssize_t done =
            ::copy_file_range(source, &in, target, &out, static_cast<size_t>(count), 0);
        if (done > 0) {
            count -= done;
            continue;
        }
        if (done == 0) {
            return EIO; // the source is shorter than it was
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            return errno;
        }
        break; // this file system cannot: copy through a buffer
    }
    constexpr size_t kChunk = 1 << 20;
    std::string buffer;
    while (count > 0) {
        buffer.resize(static_cast<size_t>(std::min<int64_t>(count, kChunk)));
        const cTransfer got = ReadFullyAt(source, buffer.data(), buffer.size(), in);
        if (got.Error != 0 || got.Done < buffer.size()) {
            return got.Error != 0 ? got.Error : EIO;
        }
        if (const int error = WriteFullyAt(target, buffer, out).Error) {
            return error;
        }
        in += static_cast<off_t>(got.Done);
        out += static_cast<off_t>(got.Done);
        count -= static_cast<int64_t>(got.Done);
    }
    return 0;
}

/// Gives the copy the extended attributes of the source (access lists, labels, notes of other
/// programs) where the file systems let it; one that cannot be copied is left out.
void CopyExtendedAttributes(int source, int target) {
    const ssize_t listSize = ::flistxattr(source, nullptr, 0);
    if (listSize <= 0) {
        return;
    }
    std::string names(static_cast<size_t>(listSize), '\0');
    const ssize_t got = ::flistxattr(source, names.data(), names.size());
    if (got <= 0) {
        return;
    }
    names.resize(static_cast<size_t>(got));
    std::string value;
    for (size_t at = 0; at < names.size(); at += std::char_traits<char>::length(&names[at]) + 1) {
        const char* name = &names[at];
        const ssize_t size = ::fgetxattr(source, name, nullptr, 0);
        if (size < 0) {
            continue;
        }
        value.resize(static_cast<size_t>(size));
        const ssize_t read = ::fgetxattr(source, name, value.data(), value.size());
        if (read >= 0) {
            ::fsetxattr(target, name, value.data(), static_cast<size_t>(read), 0);
        }
    }
}

struct cCopyFailure {
    int Error = 0;
    std::string_view Reason; ///< empty: the system's text for Error
};

/// Fills the new file: owner, mode, the new tag, the audio, the ID3v1 block, extended
/// attributes and times, flushed.
cCopyFailure WriteCopy(const cRegularFile& file, int copy, const cNewId3v2& tag, int64_t audioEnd,
                       const cId3v1Block& block, const std::timespec* keepTime) {
    const struct stat& old = file.Info;
    if (::fchown(copy, old.st_uid, old.st_gid) != 0) {
        struct stat now {};
        if (::fstat(copy, &now) != 0 || now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
            return {EPERM, "a new copy of it could not keep its owner and group"};
        }
    }
    if (::fchmod(copy, old.st_mode & 07777) != 0) {
        return {errno, {}};
    }
    const int64_t oldTagSize = static_cast<int64_t>(tag.OldBytes.size());
    const auto newTagSize = static_cast<int64_t>(tag.Bytes.size());
    if (const int error = WriteFullyAt(copy, tag.Bytes, 0).Error) {
        return {error, {}};
    }
    if (const int error =
            CopyBytes(file.Handle.Get(), oldTagSize, copy, newTagSize, audioEnd - oldTagSize)) {
        return {error, {}};
    }
    if (const int error =
            WriteFullyAt(copy, BlockView(block), newTagSize + audioEnd - oldTagSize).Error) {
        return {error, {}};
    }
    CopyExtendedAttributes(file.Handle.Get(), copy);
    SetFileTime(copy, old.st_atim, keepTime);
    if (::fsync(copy) != 0) {
        return {errno, {}};
    }
    return {};
}

/// Writes the whole new file beside the old one and renames it over it. The file behind a
/// symbolic link is the one replaced, so the link stays.
void ReplaceThroughCopy(const cRegularFile& file, const cNewId3v2& tag, int64_t audioEnd,
                        const cId3v1Block& block, const std::timespec* keepTime,
                        const std::string& path) {
    const std::string target = FileBehindLinks(path);
    std::string temporary;
    cFileHandle copy(CreateTemporaryBeside(target, temporary, 0600));
    if (!copy.IsOpen()) {
        throw EFileError(errno, kCannotWriteTag, path);
    }
    cCopyFailure failure = WriteCopy(file, copy.Get(), tag, audioEnd, block, keepTime);
    if (failure.Error == 0) {
        failure.Error = copy.Close();
    }
    if (failure.Error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        failure.Error = errno;
    }
    if (failure.Error != 0) {
        ::unlink(temporary.c_str());
        throw EFileError(failure.Error, kCannotWriteTag, path, failure.Reason);
    }
    FlushFolderOf(target);
}

} // namespace

cFileTags ReadFileTags(int fd, int64_t fileSize, const std::string& path) {
    cFileTags tags;
    std::array<char, kJoinedReadSize> head;
    const bool joined = fileSize <= static_cast<int64_t>(kJoinedReadSize);
    const size_t headSize =
        ReadAt(fd, head.data(), joined ? static_cast<size_t>(fileSize) : kHeadReadSize, 0, path);
    cId3v1Block tail{};
    if (joined) {
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

cSongTagWrite WriteSongTags(const std::string& path, const cId3v1Texts& typed,
                            const std::timespec* keepTime) {
    cRegularFile file = OpenRegularFile(path, O_RDWR, kCannotOpen);
    const int fd = file.Handle.Get();
    const int64_t size = file.Size();
    const cFileTags tags = ReadFileTags(fd, size, path);
    const bool overwriteId3v1 = tags.Id3v1.has_value();
    const int64_t audioEnd = size - (overwriteId3v1 ? static_cast<int64_t>(kId3v1Size) : 0);

    cId3v1Texts cut = typed;
    for (const eTagField field : kTagFields) {
        std::string& text = FieldText(cut, field);
        text = std::string(CutToFieldWidth(text, Id3v1FieldWidth(field, nullptr)));
    }
    cSongTagWrite result;
    result.Id3v1 = BuildId3v1Block(cut, overwriteId3v1 ? &*tags.Id3v1 : nullptr);
    result.Id3v2Texts = tags.Id3v2Texts;

    const cId3v2Edits edits = EditsOf(cut, EditorTextsFromTags(tags));
    const bool edited =
        std::any_of(edits.begin(), edits.end(), [](const auto& e) { return e.has_value(); });
    std::optional<cNewId3v2> tag;
    if (tags.Id3v2 && edited) {
        tag = RebuiltId3v2(fd, audioEnd, *tags.Id3v2, edits, path);
        result.Id3v2LeftAlone = !tag;
    }
    if (tag && !tag->InPlace) {
        ReplaceThroughCopy(file, *tag, audioEnd, result.Id3v1, keepTime, path);
    } else {
        if (tag) {
            WriteInPlace(fd, size, overwriteId3v1, result.Id3v1, *tag, path);
        } else {
            WriteId3v1Block(fd, size, overwriteId3v1, result.Id3v1, path);
        }
        SetFileTime(fd, {0, UTIME_OMIT}, keepTime);
        if (const int error = file.Handle.Close()) {
            throw EFileError(error, kCannotWriteTag, path);
        }
    }
    if (tag) {
        result.Id3v2Texts = ReadId3v2Texts(tag->Bytes);
    }
    struct stat written {};
    if (::stat(path.c_str(), &written) != 0) {
        throw EFileError(errno, kCannotWriteTag, path);
    }
    result.FileSize = written.st_size;
    result.FileTime = written.st_mtim;
    return result;
}
