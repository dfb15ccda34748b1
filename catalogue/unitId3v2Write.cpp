#include "catalogue/unitId3v2Write.h"

#include <commentsframe.h>
#include <textidentificationframe.h>
#include <tstring.h>

#include <algorithm>
#include <vector>

namespace {

using TagLib::ID3v2::CommentsFrame;
using TagLib::ID3v2::TextIdentificationFrame;

constexpr size_t kRenderedHeaderSize = 10; // TagLib renders 2.4 frame headers

/// The frame ids this program writes, per version.
std::string_view IdFor(eTagField field, uint8_t version) {
    static constexpr std::string_view kIds22[] = {"TT2", "TP1", "TAL", "TYE", "COM"};
    static constexpr std::string_view kIds23[] = {"TIT2", "TPE1", "TALB", "TYER", "COMM"};
    static constexpr std::string_view kIds24[] = {"TIT2", "TPE1", "TALB", "TDRC", "COMM"};
    const auto index = static_cast<size_t>(field);
    return version == 2 ? kIds22[index] : version == 3 ? kIds23[index] : kIds24[index];
}

TagLib::String Unicode(std::string_view utf8) {
    return TagLib::String(std::string(utf8), TagLib::String::UTF8);
}

/// Latin-1 where every character fits it; else UTF-8 in 2.4 and UTF-16 in the versions before,
/// which know no UTF-8.
TagLib::String::Type EncodingFor(uint8_t version, std::initializer_list<TagLib::String> texts) {
    const bool latin1 = std::all_of(texts.begin(), texts.end(),
                                    [](const TagLib::String& s) { return s.isLatin1(); });
    return latin1         ? TagLib::String::Latin1
           : version == 4 ? TagLib::String::UTF8
                          : TagLib::String::UTF16;
}

/// A frame's body as TagLib renders it, without the header it renders with it.
std::string BodyOf(const TagLib::ByteVector& rendered) {
    return std::string(rendered.data() + kRenderedHeaderSize,
                       rendered.size() - kRenderedHeaderSize);
}

std::string TextFrameBody(std::string_view text, uint8_t version) {
    const TagLib::String unicode = Unicode(text);
    TextIdentificationFrame frame("TIT2", EncodingFor(version, {unicode}));
    frame.setText(unicode);
    return BodyOf(frame.render());
}

std::string CommentFrameBody(std::string_view text, const cId3v2Comment& kept, uint8_t version) {
    const TagLib::String description = Unicode(kept.Description);
    const TagLib::String unicode = Unicode(text);
    CommentsFrame frame(EncodingFor(version, {description, unicode}));
    frame.setLanguage(TagLib::ByteVector(kept.Language.data(), 3));
    frame.setDescription(description);
    frame.setText(unicode);
    return BodyOf(frame.render());
}

/// The bytes with a zero byte after every 0xFF that precedes a zero byte, a byte of 0xE0 or
/// more, or the end.
std::string Unsynchronise(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (static_cast<uint8_t>(bytes[i]) == 0xFF &&
            (i + 1 == bytes.size() || bytes[i + 1] == '\0' ||
             static_cast<uint8_t>(bytes[i + 1]) >= 0xE0)) {
            out += '\0';
        }
    }
    return out;
}

void AppendBigEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void AppendSyncsafe(std::string& out, uint32_t value) {
    for (int i = 3; i >= 0; --i) {
        out += static_cast<char>((value >> (7 * i)) & 0x7F);
    }
}

/// A whole frame of the tag's version around the body. In a 2.4 tag unsynchronised as a whole
/// the frame is unsynchronised and flagged so, as its neighbours are.
std::string Frame(const cId3v2Header& header, eTagField field, std::string body) {
    const std::string_view id = IdFor(field, header.Version);
    std::string frame(id);
    if (header.Version == 2) {
        AppendBigEndian(frame, static_cast<uint32_t>(body.size()), 3);
        return frame + body;
    }
    uint8_t format = 0;
    if (header.Version == 4 && header.Unsynchronised()) {
        body = Unsynchronise(body);
        format = 0x02;
    }
    if (header.Version == 3) {
        AppendBigEndian(frame, static_cast<uint32_t>(body.size()), 4);
    } else {
        AppendSyncsafe(frame, static_cast<uint32_t>(body.size()));
    }
    frame += '\0';
    frame += static_cast<char>(format);
    return frame + body;
}

bool DiscardedWhenTagAltered(const cId3v2Header& header, const cId3v2Frame& frame) {
    const auto status = static_cast<uint8_t>(frame.Flags >> 8);
    return (header.Version == 3 && (status & 0x80)) || (header.Version == 4 && (status & 0x40));
}

/// One frame of the old tag and what becomes of it.
struct cOldFrame {
    cId3v2Frame Frame;
    std::optional<eTagField> Field;
    std::optional<cId3v2Comment> Comment; ///< of a comment frame whose content can be read
};

/// The comment frame whose text a song shows, as cId3v2TextReader picks it; -1 for none.
int ShownComment(const std::vector<cOldFrame>& frames) {
    int withDescription = -1;
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::optional<cId3v2Comment>& comment = frames[i].Comment;
        if (!comment || IsMachineComment(comment->Description) ||
            CleanId3v2Text(comment->Text, eTagField::kComment).empty()) {
            continue;
        }
        if (comment->Description.empty()) {
            return static_cast<int>(i);
        }
        if (withDescription < 0) {
            withDescription = static_cast<int>(i);
        }
    }
    return withDescription;
}

/// Every frame of the tag, or nothing when they cannot be walked to the end.
std::optional<std::vector<cOldFrame>> OldFrames(cId3v2Walk& walk) {
    std::vector<cOldFrame> frames;
    for (;;) {
        cId3v2Frame frame;
        const cId3v2Walk::eStep step = walk.Next(frame);
        if (step == cId3v2Walk::eStep::kEnd) {
            return frames;
        }
        if (step != cId3v2Walk::eStep::kFrame) {
            return std::nullopt; // damaged (every byte was given, so none is wanted)
        }
        cOldFrame old{frame, FieldOfFrame(walk.Header(), frame), std::nullopt};
        if (old.Field == eTagField::kComment) {
            const int64_t bodyAt = frame.Offset + static_cast<int64_t>(frame.HeaderSize);
            if (const std::optional<std::string> content =
                    Id3v2FrameContent(walk.Header(), frame, walk.View(bodyAt, frame.BodySize))) {
                old.Comment = Id3v2FrameComment(*content);
            }
        }
        frames.push_back(std::move(old));
    }
}

} // namespace

std::optional<std::string> EditedId3v2Frames(const cId3v2Header& header, std::string_view tag,
                                             const cId3v2Edits& edits) {
    if (header.TotalSize() > kId3v2LargestTag ||
        static_cast<int64_t>(tag.size()) < header.TotalSize()) {
        return std::nullopt;
    }
    cId3v2Walk walk(header, static_cast<int64_t>(tag.size()));
    walk.Give(0, tag);
    const std::optional<std::vector<cOldFrame>> frames = OldFrames(walk);
    if (!frames) {
        return std::nullopt;
    }
    const int shownComment = ShownComment(*frames);
    const auto edit = [&](eTagField field) -> const std::optional<std::string>& {
        return edits[static_cast<size_t>(field)];
    };
    const auto newFrame = [&](eTagField field, const cId3v2Comment& comment) {
        const std::string& text = *edit(field);
        return Frame(header, field,
                     field == eTagField::kComment ? CommentFrameBody(text, comment, header.Version)
                                                  : TextFrameBody(text, header.Version));
    };
    const cId3v2Comment newComment{"XXX", "", ""}; // language not known, no description

    std::string out;
    bool placed[std::size(kTagFields)] = {};
    for (size_t i = 0; i < frames->size(); ++i) {
        const cOldFrame& old = (*frames)[i];
        if (DiscardedWhenTagAltered(header, old.Frame)) {
            continue;
        }
        const bool edited = old.Field && edit(*old.Field).has_value();
        if (edited && *old.Field == eTagField::kComment && static_cast<int>(i) != shownComment) {
            // Other comments (other descriptions, other languages, machine data) stay.
        } else if (edited) {
            const auto index = static_cast<size_t>(*old.Field);
            if (!placed[index] && !edit(*old.Field)->empty()) {
                out += newFrame(*old.Field, old.Comment.value_or(newComment));
            }
            placed[index] = true;
            continue;
        }
        out += walk.View(old.Frame.Offset, old.Frame.End() - old.Frame.Offset);
    }
    for (const eTagField field : kTagFields) {
        if (edit(field) && !edit(field)->empty() && !placed[static_cast<size_t>(field)]) {
            out += newFrame(field, newComment);
        }
    }
    return out;
}

std::string Id3v2TagBytes(const cId3v2Header& old, std::string_view frames, int64_t totalSize) {
    std::string tag = "ID3";
    tag += static_cast<char>(old.Version);
    tag += static_cast<char>(old.Revision);
    // Kept: the experimental bit, and a 2.4 tag's mark that all its frames are unsynchronised.
    uint8_t flags = old.Flags & 0x20;
    if (old.Version == 4 && old.Unsynchronised()) {
        flags |= 0x80;
    }
    tag += static_cast<char>(flags);
    AppendSyncsafe(tag, static_cast<uint32_t>(totalSize - static_cast<int64_t>(kId3v2HeaderSize)));
    tag += frames;
    tag.resize(static_cast<size_t>(totalSize), '\0');
    return tag;
}
