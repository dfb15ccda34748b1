#include "catalogue/unitId3v1.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "util/unitFileHandle.h"

namespace {
bool IsControlOrSpace(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

void CopyIntoField(cId3v1Block& block, cId3v1Field field, std::string_view text) {
    const std::string_view cut = CutToFieldWidth(text, field.Width);
    std::copy(cut.begin(), cut.end(), block.begin() + static_cast<std::ptrdiff_t>(field.Offset));
}

std::string_view BlockView(const cId3v1Block& block) {
    return {block.data(), block.size()};
}

// Writes all bytes at the offset, continuing after partial writes.
int WriteAllAt(int fd, const char* data, size_t size, int64_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        data += written;
        size -= static_cast<size_t>(written);
        offset += written;
    }
    return 0;
}

struct cOpenedFile {
    cFileHandle Handle;
    int64_t Size = 0;
    struct stat Info {};
};

// Opens a regular file with the given flags and reads its size; throws naming the path.
cOpenedFile OpenRegularFile(const std::string& path, int flags) {
    cOpenedFile file;
    file.Handle = cFileHandle(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK));
    if (!file.Handle.IsOpen()) {
        throw FileError(errno, "Cannot open", path);
    }
    if (::fstat(file.Handle.Get(), &file.Info) != 0) {
        throw FileError(errno, "Cannot read the size of", path);
    }
    if (!S_ISREG(file.Info.st_mode)) {
        throw FileError(EINVAL, "Not a regular file:", path);
    }
    file.Size = static_cast<int64_t>(file.Info.st_size);
    return file;
}

// Whether the open file ends in a tag right now.
bool EndsInTag(const cOpenedFile& file, const std::string& path) {
    cId3v1Block tail{};
    return ReadId3v1Tail(file.Handle.Get(), file.Size, path, tail) && IsId3v1Tag(BlockView(tail));
}

void FlushAndClose(cOpenedFile& file, const std::string& path) {
    if (::fsync(file.Handle.Get()) != 0) {
        throw FileError(errno, "Cannot flush", path);
    }
    if (const int error = file.Handle.Close()) {
        throw FileError(error, "Cannot close", path);
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

cId3v1Block BuildId3v1Block(const cId3v1Texts& texts) {
    cId3v1Block block;
    block.fill(' ');
    std::copy(kId3v1Marker.begin(), kId3v1Marker.end(), block.begin());
    CopyIntoField(block, kId3v1Title, texts.Title);
    CopyIntoField(block, kId3v1Artist, texts.Artist);
    CopyIntoField(block, kId3v1Album, texts.Album);
    CopyIntoField(block, kId3v1Year, texts.Year);
    CopyIntoField(block, kId3v1Comment, texts.Comment);
    return block;
}

bool ReadId3v1Tail(int fd, int64_t fileSize, const std::string& path, cId3v1Block& tail) {
    if (fileSize < static_cast<int64_t>(kId3v1Size)) {
        return false;
    }
    cId3v1Block buffer;
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(fileSize - static_cast<int64_t>(kId3v1Size) +
                                                       static_cast<int64_t>(done)));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw FileError(errno, "Cannot read", path);
        }
        if (got == 0) {
            return false; // the file became shorter since its size was taken
        }
        done += static_cast<size_t>(got);
    }
    tail = buffer;
    return true;
}

cSongTag ReadSongTag(const std::string& path) {
    const cOpenedFile file = OpenRegularFile(path, O_RDONLY);
    cSongTag tag;
    tag.FileDate = DateTimeFromUnixTime(file.Info.st_mtim.tv_sec,
                                        static_cast<int32_t>(file.Info.st_mtim.tv_nsec));
    cId3v1Block tail{};
    if (ReadId3v1Tail(file.Handle.Get(), file.Size, path, tail) && IsId3v1Tag(BlockView(tail))) {
        tag.HasTag = true;
        tag.Texts = ReadId3v1Texts(BlockView(tail), eId3v1Reading::kEditor);
    }
    return tag;
}

void WriteId3v1Tag(const std::string& path, const cId3v1Texts& texts) {
    cOpenedFile file = OpenRegularFile(path, O_RDWR);
    const bool overwrite = EndsInTag(file, path);
    const int64_t offset = overwrite ? file.Size - static_cast<int64_t>(kId3v1Size) : file.Size;
    const cId3v1Block block = BuildId3v1Block(texts);
    int error = WriteAllAt(file.Handle.Get(), block.data(), block.size(), offset);
    if (error == 0 && ::fsync(file.Handle.Get()) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (!overwrite) {
            // Never leave part of an appended tag behind the audio.
            [[maybe_unused]] const int ignored = ::ftruncate(file.Handle.Get(), file.Size);
        }
        throw FileError(error, "Cannot write the tag of", path);
    }
    if (const int closeError = file.Handle.Close()) {
        throw FileError(closeError, "Cannot write the tag of", path);
    }
}

bool RemoveId3v1Tag(const std::string& path) {
    cOpenedFile file = OpenRegularFile(path, O_RDWR);
    if (!EndsInTag(file, path)) {
        return false;
    }
    if (::ftruncate(file.Handle.Get(), file.Size - static_cast<int64_t>(kId3v1Size)) != 0) {
        throw FileError(errno, "Cannot remove the tag of", path);
    }
    FlushAndClose(file, path);
    return true;
}
