#include "catalogue/unitId3v1.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "util/unitFileHandle.h"

namespace {
void CopyIntoField(cId3v1Block& block, cId3v1Field field, std::string_view text) {
    const std::string_view cut = CutToFieldWidth(text, field.Width);
    std::copy(cut.begin(), cut.end(), block.begin() + static_cast<std::ptrdiff_t>(field.Offset));
}

std::string_view BlockView(const cId3v1Block& block) {
    return {block.data(), block.size()};
}

// Whether the open file ends in a tag right now.
bool EndsInTag(const cRegularFile& file, const std::string& path) {
    cId3v1Block tail{};
    return ReadId3v1Tail(file.Handle.Get(), file.Size(), path, tail) && IsId3v1Tag(BlockView(tail));
}

void FlushAndClose(cRegularFile& file, const std::string& path) {
    if (::fsync(file.Handle.Get()) != 0) {
        throw EFileError(errno, "Cannot flush", path);
    }
    if (const int error = file.Handle.Close()) {
        throw EFileError(error, "Cannot close", path);
    }
}
} // namespace

bool IsId3v1Tag(std::string_view tail) {
    return tail.size() == kId3v1Size && tail.starts_with(kId3v1Marker);
}

std::string_view Id3v1FieldText(std::string_view tail, cId3v1Field field) {
    const std::string_view bytes = tail.substr(field.Offset, field.Width);
    return bytes.substr(0, bytes.find('\0'));
}

cId3v1Texts ReadId3v1Texts(std::string_view tail, eId3v1Reading reading) {
    const auto field = [&](cId3v1Field where) { return Id3v1FieldText(tail, where); };
    cId3v1Texts texts;
    if (reading == eId3v1Reading::kEditor) {
        texts.Title = TrimTrailingControlChars(field(kId3v1Title));
        texts.Artist = TrimTrailingControlChars(field(kId3v1Artist));
        texts.Album = TrimTrailingControlChars(field(kId3v1Album));
        texts.Year = TrimTrailingControlChars(field(kId3v1Year));
        texts.Comment = TrimTrailingControlChars(field(kId3v1Comment));
    } else {
        texts.Title = TrimControlChars(field(kId3v1Title));
        texts.Artist = TrimControlChars(field(kId3v1Artist));
        texts.Album = TrimControlChars(field(kId3v1Album));
        texts.Year = field(kId3v1Year);
        texts.Comment = field(kId3v1Comment);
    }
    return texts;
}

cId3v1Block BuildId3v1Block(const cId3v1Texts& texts, const cId3v1Block* old) {
    cId3v1Block block;
    block.fill(' ');
    std::copy(kId3v1Marker.begin(), kId3v1Marker.end(), block.begin());
    CopyIntoField(block, kId3v1Title, texts.Title);
    CopyIntoField(block, kId3v1Artist, texts.Artist);
    CopyIntoField(block, kId3v1Album, texts.Album);
    CopyIntoField(block, kId3v1Year, texts.Year);
    CopyIntoField(block, kId3v1Comment, texts.Comment);
    if (old == nullptr) {
        block[kId3v1GenreOffset] = kId3v1NoGenre;
        return block;
    }
    block[kId3v1GenreOffset] = (*old)[kId3v1GenreOffset];
    const bool hasTrack =
        (*old)[kId3v1TrackOffset - 1] == '\0' && (*old)[kId3v1TrackOffset] != '\0';
    if (hasTrack && CutToFieldWidth(texts.Comment, kId3v1Comment.Width).size() <=
                        kId3v1TrackOffset - 1 - kId3v1Comment.Offset) {
        block[kId3v1TrackOffset - 1] = '\0';
        block[kId3v1TrackOffset] = (*old)[kId3v1TrackOffset];
    }
    return block;
}

bool ReadId3v1Tail(int fd, int64_t fileSize, const std::string& path, cId3v1Block& tail) {
    if (fileSize < static_cast<int64_t>(kId3v1Size)) {
        return false;
    }
    cId3v1Block buffer;
    const cTransfer got =
        ReadFullyAt(fd, buffer.data(), buffer.size(), fileSize - static_cast<int64_t>(kId3v1Size));
    if (got.Error != 0) {
        throw EFileError(got.Error, "Cannot read", path);
    }
    if (got.Done < buffer.size()) {
        return false; // the file became shorter since its size was taken
    }
    tail = buffer;
    return true;
}

void WriteId3v1Block(int fd, int64_t fileSize, bool overwrite, const cId3v1Block& block,
                     const std::string& path) {
    const int64_t offset = overwrite ? fileSize - static_cast<int64_t>(kId3v1Size) : fileSize;
    int error = WriteFullyAt(fd, BlockView(block), offset).Error;
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (!overwrite) {
            // Never leave part of an appended tag behind the audio.
            [[maybe_unused]] const int ignored = ::ftruncate(fd, fileSize);
        }
        throw EFileError(error, "Cannot write the tag of", path);
    }
}

void WriteId3v1Tag(const std::string& path, const cId3v1Texts& texts) {
    cRegularFile file = OpenRegularFile(path, O_RDWR, kCannotOpen);
    cId3v1Block old{};
    const bool overwrite =
        ReadId3v1Tail(file.Handle.Get(), file.Size(), path, old) && IsId3v1Tag(BlockView(old));
    WriteId3v1Block(file.Handle.Get(), file.Size(), overwrite,
                    BuildId3v1Block(texts, overwrite ? &old : nullptr), path);
    if (const int closeError = file.Handle.Close()) {
        throw EFileError(closeError, "Cannot write the tag of", path);
    }
}

bool RemoveId3v1Tag(const std::string& path) {
    cRegularFile file = OpenRegularFile(path, O_RDWR, kCannotOpen);
    if (!EndsInTag(file, path)) {
        return false;
    }
    if (::ftruncate(file.Handle.Get(), file.Size() - static_cast<int64_t>(kId3v1Size)) != 0) {
        throw EFileError(errno, "Cannot remove the tag of", path);
    }
    FlushAndClose(file, path);
    return true;
}
