#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "catalogue/unitSongsDatabaseClass.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define TUNARIA_POISON(at, size) ASAN_POISON_MEMORY_REGION(at, size)
#define TUNARIA_UNPOISON(at, size) ASAN_UNPOISON_MEMORY_REGION(at, size)
#else
#define TUNARIA_POISON(at, size) ((void)(at), (void)(size))
#define TUNARIA_UNPOISON(at, size) ((void)(at), (void)(size))
#endif

namespace {
constexpr size_t kOffsetsBytes = 6 * sizeof(uint32_t);

uint32_t EndOffset(const char* block, int which) {
    uint32_t end;
    std::memcpy(&end, block + static_cast<size_t>(which) * sizeof(uint32_t), sizeof end);
    return end;
}

/// The bytes of a text block for the texts: their end offsets, then the texts themselves.
size_t BlockBytes(const std::string_view (&texts)[6]) {
    size_t total = 0;
    for (const auto& text : texts) {
        total += text.size();
    }
    if (total > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("song texts longer than 4 GiB");
    }
    return total == 0 ? 0 : kOffsetsBytes + total;
}

void FillBlock(char* block, const std::string_view (&texts)[6]) {
    uint32_t end = 0;
    for (int i = 0; i < 6; ++i) {
        if (!texts[i].empty()) { // an empty view may carry a null pointer, which memcpy forbids
            std::memcpy(block + kOffsetsBytes + end, texts[i].data(), texts[i].size());
        }
        end += static_cast<uint32_t>(texts[i].size());
        std::memcpy(block + static_cast<size_t>(i) * sizeof(uint32_t), &end, sizeof end);
    }
}

// ---- the storage's blocks ----------------------------------------------------------------

constexpr size_t kHugePage = 2u << 20;
constexpr size_t kSmallestBlock = 64u << 10;
/// A block larger than this is never reserved at once, whatever size the file claims.
constexpr size_t kLargestFirstBlock = 256u << 20;
/// A catalogue record takes at least this many bytes on average in practice (53 fixed bytes
/// and a path): the estimate of the records a file holds. More records take further blocks.
constexpr int64_t kTypicalRecordBytes = 96;

size_t RoundedUp(size_t bytes, size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

size_t FirstBlockSize(int64_t estimate) {
    const auto bytes = static_cast<size_t>(
        std::clamp<int64_t>(estimate, kSmallestBlock, static_cast<int64_t>(kLargestFirstBlock)));
    return RoundedUp(bytes, bytes >= kHugePage ? kHugePage : kSmallestBlock);
}

/// Whether 2 MB pages may be asked for without a price: where the kernel compacts memory to
/// find them the moment a page asked for them is first touched ("always", "madvise",
/// "defer+madvise" in /sys/kernel/mm/transparent_hugepage/defrag), that stall costs a loaded
/// machine several times what the small pages' faults cost (0.5 s against 70 ms for 180 MB
/// measured); where it only hands out free ones and leaves the rest to its background work
/// ("defer", "never"), they are taken.
bool HugePagesWithoutStall() {
    static const bool without = [] {
        std::ifstream setting("/sys/kernel/mm/transparent_hugepage/defrag");
        std::string line;
        std::getline(setting, line);
        return line.find("[defer]") != std::string::npos ||
               line.find("[never]") != std::string::npos;
    }();
    return without;
}

/// A block of that size (a multiple of the page size). A block smaller than 2 MB comes from
/// the heap, which a small catalogue's load finds ready; a larger one is anonymous memory of its
/// own that starts on a 2 MB boundary and is offered the system's 2 MB pages where they come
/// without a stall. Throws bad_alloc.
char* NewBlock(size_t size) {
    const bool huge = size >= kHugePage;
    if (!huge) {
        return static_cast<char*>(::operator new(size));
    }
    const size_t mapped = size + kHugePage;
    void* at = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) {
        throw std::bad_alloc();
    }
    // Only a block aligned to 2 MB can be made of 2 MB pages: the rest is given back.
    char* start = static_cast<char*>(at);
    const auto address = reinterpret_cast<uintptr_t>(start);
    char* aligned = start + (RoundedUp(address, kHugePage) - address);
    if (aligned > start) {
        ::munmap(start, static_cast<size_t>(aligned - start));
    }
    const size_t behind = mapped - static_cast<size_t>(aligned - start) - size;
    if (behind > 0) {
        ::munmap(aligned + size, behind);
    }
    if (HugePagesWithoutStall()) {
        ::madvise(aligned, size, MADV_HUGEPAGE); // a system without them ignores it
    }
    return aligned;
}

void DeleteBlock(char* start, size_t size) {
    TUNARIA_UNPOISON(start, size);
    if (size < kHugePage) {
        ::operator delete(start);
    } else {
        ::munmap(start, size);
    }
}
} // namespace

// ---- cSongInfo ---------------------------------------------------------------------------

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

cSongInfo::cSongInfo(cSongInfo&& other) noexcept
    : Views(other.Views), Size(other.Size), Date(other.Date), Groups(std::move(other.Groups)),
      Deleted(other.Deleted), m_OwnsTexts(std::exchange(other.m_OwnsTexts, false)),
      RecordLength(other.RecordLength), MasterIndex(other.MasterIndex), Position(other.Position),
      m_Texts(std::exchange(other.m_Texts, nullptr)) {}

cSongInfo& cSongInfo::operator=(cSongInfo&& other) noexcept {
    if (this != &other) {
        ReleaseTexts();
        Views = other.Views;
        Size = other.Size;
        Date = other.Date;
        Groups = std::move(other.Groups);
        Deleted = other.Deleted;
        RecordLength = other.RecordLength;
        MasterIndex = other.MasterIndex;
        Position = other.Position;
        m_Texts = std::exchange(other.m_Texts, nullptr);
        m_OwnsTexts = std::exchange(other.m_OwnsTexts, false);
    }
    return *this;
}

void cSongInfo::ReleaseTexts() {
    if (m_OwnsTexts) {
        delete[] m_Texts;
    }
    m_Texts = nullptr;
    m_OwnsTexts = false;
}

std::string_view cSongInfo::Text(eText which) const {
    if (m_Texts == nullptr) {
        return {};
    }
    const uint32_t begin = which == 0 ? 0 : EndOffset(m_Texts, which - 1);
    const uint32_t end = EndOffset(m_Texts, which);
    return {m_Texts + kOffsetsBytes + begin, end - begin};
}

void cSongInfo::Assign(const std::string_view (&texts)[kTextCount]) {
    const size_t bytes = BlockBytes(texts);
    char* block = bytes == 0 ? nullptr : new char[bytes];
    if (block != nullptr) {
        FillBlock(block, texts);
    }
    ReleaseTexts(); // only now: the new texts may have been views into the old block
    m_Texts = block;
    m_OwnsTexts = block != nullptr;
}

void cSongInfo::SetText(eText which, std::string_view value) {
    std::string_view texts[kTextCount];
    for (int i = 0; i < kTextCount; ++i) {
        texts[i] = i == which ? value : Text(static_cast<eText>(i));
    }
    Assign(texts);
}

void cSongInfo::SetTexts(std::string_view fileName, std::string_view title, std::string_view author,
                         std::string_view album, std::string_view comment, std::string_view year) {
    const std::string_view texts[kTextCount] = {fileName, title, author, album, comment, year};
    Assign(texts);
}

void cSongInfo::SetTextsIn(cSongStorage& storage, std::string_view fileName, std::string_view title,
                           std::string_view author, std::string_view album,
                           std::string_view comment, std::string_view year) {
    const std::string_view texts[kTextCount] = {fileName, title, author, album, comment, year};
    const size_t bytes = BlockBytes(texts);
    char* block = bytes == 0 ? nullptr : storage.TextBlock(bytes);
    if (block != nullptr) {
        FillBlock(block, texts);
    }
    ReleaseTexts();
    m_Texts = block;
}

cSongInfo* NewSongInfo() {
    return new cSongInfo();
}

void DisposeSongInfo(cSongInfo* song) {
    if (song == nullptr) {
        return;
    }
    if (!song->m_InStorage) {
        delete song;
        return;
    }
    song->~cSongInfo();
    TUNARIA_POISON(song, sizeof(cSongInfo)); // a use after this is caught by the sanitizer
}

// ---- cSongStorage ------------------------------------------------------------------------

cSongStorage::cSongStorage(int64_t catalogueBytes)
    : m_NextRecordBlock(FirstBlockSize(catalogueBytes / kTypicalRecordBytes *
                                       static_cast<int64_t>(sizeof(cSongInfo)))),
      // A record's text block is never larger than its record in the file.
      m_NextTextBlock(FirstBlockSize(catalogueBytes)) {}

cSongStorage::~cSongStorage() {
    for (auto* blocks : {&m_RecordBlocks, &m_TextBlocks}) {
        for (const cBlock& block : *blocks) {
            DeleteBlock(block.start, block.size);
        }
    }
}

char* cSongStorage::Take(std::vector<cBlock>& blocks, size_t& used, size_t& nextSize,
                         size_t bytes) {
    if (blocks.empty() || blocks.back().size - used < bytes) {
        const size_t size = std::max(nextSize, RoundedUp(bytes, kSmallestBlock));
        blocks.reserve(blocks.size() + 1); // so that the push below cannot fail after the map
        blocks.push_back({NewBlock(size), size});
        used = 0;
        nextSize = std::min(size * 2, kLargestFirstBlock);
    }
    char* at = blocks.back().start + used;
    used += bytes;
    return at;
}

cSongInfo* cSongStorage::NewSong(cSongInfo&& song) {
    static_assert(sizeof(cSongInfo) % alignof(cSongInfo) == 0);
    char* room = Take(m_RecordBlocks, m_RecordsUsed, m_NextRecordBlock, sizeof(cSongInfo));
    auto* record = new (room) cSongInfo(std::move(song));
    record->m_InStorage = true;
    return record;
}

char* cSongStorage::TextBlock(size_t bytes) {
    return Take(m_TextBlocks, m_TextsUsed, m_NextTextBlock, RoundedUp(bytes, alignof(uint32_t)));
}

// ---- cSongPointersList -------------------------------------------------------------------

cSongPointersList::cSongPointersList() = default;
cSongPointersList::~cSongPointersList() = default;
cSongPointersList::cSongPointersList(const cSongPointersList& other) : m_Items(other.m_Items) {}
cSongPointersList& cSongPointersList::operator=(const cSongPointersList& other) {
    m_Items = other.m_Items;
    return *this;
}
cSongPointersList::cSongPointersList(cSongPointersList&&) noexcept = default;
cSongPointersList& cSongPointersList::operator=(cSongPointersList&&) noexcept = default;

void cSongPointersList::AdoptStorage(std::unique_ptr<cSongStorage> storage) {
    m_Storage = std::move(storage);
}

int cSongPointersList::IndexOf(const cSongInfo* song) const {
    const auto found = std::find(m_Items.begin(), m_Items.end(), song);
    return found == m_Items.end() ? -1 : static_cast<int>(found - m_Items.begin());
}
