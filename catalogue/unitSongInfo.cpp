#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "catalogue/unitSongsDatabaseClass.h"

namespace {
constexpr size_t kOffsetsBytes = 6 * sizeof(uint32_t);

uint32_t EndOffset(const char* block, int which) {
    uint32_t end;
    std::memcpy(&end, block + static_cast<size_t>(which) * sizeof(uint32_t), sizeof end);
    return end;
}
} // namespace

cSongInfo::cSongInfo(const cSongInfo& other)
    : Views(other.Views), Size(other.Size), Date(other.Date), Groups(other.Groups),
      Deleted(other.Deleted), RecordLength(other.RecordLength), MasterIndex(other.MasterIndex),
      Position(other.Position) {
    SetTexts(other.FileName(), other.Title(), other.Author(), other.Album(), other.Comment(),
             other.Year());
}

cSongInfo& cSongInfo::operator=(const cSongInfo& other) {
    if (this != &other) {
        cSongInfo copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::string_view cSongInfo::Text(eText which) const {
    if (!m_Texts) {
        return {};
    }
    const char* block = m_Texts.get();
    const uint32_t begin = which == 0 ? 0 : EndOffset(block, which - 1);
    const uint32_t end = EndOffset(block, which);
    return {block + kOffsetsBytes + begin, end - begin};
}

void cSongInfo::Assign(const std::string_view (&texts)[kTextCount]) {
    size_t total = 0;
    for (const auto& text : texts) {
        total += text.size();
    }
    if (total == 0) {
        m_Texts.reset();
        return;
    }
    if (total > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("song texts longer than 4 GiB");
    }
    std::unique_ptr<char[]> block(new char[kOffsetsBytes + total]);
    uint32_t end = 0;
    for (int i = 0; i < kTextCount; ++i) {
        if (!texts[i].empty()) { // an empty view may carry a null pointer, which memcpy forbids
            std::memcpy(block.get() + kOffsetsBytes + end, texts[i].data(), texts[i].size());
        }
        end += static_cast<uint32_t>(texts[i].size());
        std::memcpy(block.get() + static_cast<size_t>(i) * sizeof(uint32_t), &end, sizeof end);
    }
    m_Texts = std::move(block);
}

void cSongInfo::SetText(eText which, std::string_view value) {
    // The new value may point into the old block; Assign copies before it frees.
    std::string_view texts[kTextCount];
    for (int i = 0; i < kTextCount; ++i) {
        texts[i] = i == which ? value : Text(static_cast<eText>(i));
    }
    Assign(texts);
}

void cSongInfo::SetTexts(std::string_view fileName, std::string_view title,
                         std::string_view author, std::string_view album,
                         std::string_view comment, std::string_view year) {
    const std::string_view texts[kTextCount] = {fileName, title, author, album, comment, year};
    Assign(texts);
}

cSongInfo* NewSongInfo() { return new cSongInfo(); }

void DisposeSongInfo(cSongInfo* song) { delete song; }

int cSongPointersList::IndexOf(const cSongInfo* song) const {
    const auto found = std::find(m_Items.begin(), m_Items.end(), song);
    return found == m_Items.end() ? -1 : static_cast<int>(found - m_Items.begin());
}
