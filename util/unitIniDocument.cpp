#include "util/unitIniDocument.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "util/unitAsciiCase.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
/// Lines keep 32-bit places in the document's text.
constexpr size_t kLargestText = UINT32_MAX;

/// The byte order marks at the very start of the line. The file's own mark is the one at the
/// start of its first line; one left at the start of a later line (files joined together) is
/// read the same way, so that a line means the same wherever an edit moves it.
std::string_view LeadingMarks(std::string_view text) {
    size_t length = 0;
    while (text.substr(length, kByteOrderMark.size()) == kByteOrderMark) {
        length += kByteOrderMark.size();
    }
    return text.substr(0, length);
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

/// The value of an entry as the program sees it: trimmed, one pair of enclosing quotes removed.
std::string DecodedValue(std::string_view raw) {
    std::string_view value = Trimmed(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

/// The text to store so that DecodedValue gives the value back: the value itself, or the value
/// in double quotes when reading would otherwise lose its outer blanks or quotes.
std::string EncodedValue(std::string_view value) {
    if (DecodedValue(value) == value) {
        return std::string(value);
    }
    return "\"" + std::string(value) + "\"";
}

std::string_view LineEndBytes(uint8_t end) {
    static constexpr std::string_view kEnds[] = {"", "\r\n", "\n", "\r"};
    return kEnds[end];
}

} // namespace

cIniDocument::cLine cIniDocument::MakeLine(size_t at, size_t length, eLineEnd end) const {
    cLine line;
    line.at = static_cast<uint32_t>(at);
    line.length = static_cast<uint32_t>(length);
    line.end = end;
    const std::string_view text = Text(line);
    const std::string_view content = Trimmed(text.substr(LeadingMarks(text).size()));
    std::string_view name;
    if (content.empty()) {
        line.kind = eLineKind::Blank;
    } else if (content.front() == ';') {
        line.kind = eLineKind::Comment;
    } else if (content.front() == '[') {
        if (const size_t close = content.find(']'); close != std::string_view::npos) {
            line.kind = eLineKind::Header;
            name = Trimmed(content.substr(1, close - 1));
        }
    } else if (const size_t equals = content.find('='); equals != std::string_view::npos) {
        // A key or value the writer would refuse (a NUL in it) reads as absent: such a line
        // is no entry, and a write of its key gives the key a proper line.
        const std::string_view key = Trimmed(content.substr(0, equals));
        if (IniWriteProblem({}, key, content.substr(equals + 1)).empty()) {
            line.kind = eLineKind::Entry;
            name = key;
        }
    }
    line.nameAt = name.empty() ? 0 : static_cast<uint32_t>(name.data() - text.data());
    line.nameLength = static_cast<uint32_t>(name.size());
    return line;
}

cIniDocument::cLine cIniDocument::WrittenLine(std::string_view text, eLineEnd end) {
    if (m_Text.size() + text.size() > kLargestText) {
        throw std::length_error("the INI file would be larger than 4 GiB");
    }
    const size_t at = m_Text.size();
    m_Text += text;
    return MakeLine(at, text.size(), end);
}

cIniDocument::cIniDocument(std::string_view bytes) : cIniDocument(std::string(bytes)) {}

cIniDocument::cIniDocument(std::string&& bytes) : m_Text(std::move(bytes)) {
    if (m_Text.size() > kLargestText) {
        throw std::length_error("an INI file larger than 4 GiB");
    }
    const std::string_view all(m_Text);
    size_t at = 0;
    while (at < all.size()) {
        size_t stop = at;
        while (stop < all.size() && all[stop] != '\r' && all[stop] != '\n') {
            ++stop;
        }
        if (stop == all.size()) {
            AddLine(MakeLine(at, all.size() - at, eLineEnd::None));
            break;
        }
        eLineEnd end = eLineEnd::Lf;
        size_t next = stop + 1;
        if (all[stop] == '\r') {
            end = eLineEnd::Cr;
            if (next < all.size() && all[next] == '\n') {
                end = eLineEnd::CrLf;
                ++next;
            }
        }
        AddLine(MakeLine(at, stop - at, end));
        at = next;
    }
}

void cIniDocument::cNameIndex::Clear() {
    m_Slots.clear();
    m_Count = 0;
}

template <typename tNameAt>
ptrdiff_t cIniDocument::cNameIndex::Find(std::string_view name, const tNameAt& nameAt) const {
    if (m_Slots.empty()) {
        return -1;
    }
    const uint64_t hash = FoldedHash(name);
    const size_t mask = m_Slots.size() - 1;
    for (size_t at = hash & mask; m_Slots[at].used; at = (at + 1) & mask) {
        const cSlot& slot = m_Slots[at];
        if (slot.hash == hash && SameTextIgnoringAsciiCase(nameAt(slot.position), name)) {
            return static_cast<ptrdiff_t>(slot.position);
        }
    }
    return -1;
}

template <typename tNameAt>
void cIniDocument::cNameIndex::Add(size_t position, const tNameAt& nameAt) {
    if ((m_Count + 1) * 2 > m_Slots.size()) {
        const size_t grown = std::max<size_t>(16, m_Slots.size() * 2);
        const std::vector<cSlot> old = std::exchange(m_Slots, std::vector<cSlot>(grown));
        for (const cSlot& slot : old) {
            if (slot.used) {
                size_t at = slot.hash & (m_Slots.size() - 1);
                while (m_Slots[at].used) {
                    at = (at + 1) & (m_Slots.size() - 1);
                }
                m_Slots[at] = slot;
            }
        }
    }
    const std::string_view name = nameAt(position);
    const uint64_t hash = FoldedHash(name);
    const size_t mask = m_Slots.size() - 1;
    size_t at = hash & mask;
    for (; m_Slots[at].used; at = (at + 1) & mask) {
        if (m_Slots[at].hash == hash &&
            SameTextIgnoringAsciiCase(nameAt(m_Slots[at].position), name)) {
            return; // the first of equal names counts
        }
    }
    m_Slots[at] = cSlot{hash, position, true};
    ++m_Count;
}

ptrdiff_t cIniDocument::FindEntry(const cSection& section, std::string_view key) const {
    const auto nameAt = [this, &section](size_t i) { return Name(section.body[i]); };
    if (!section.indexed) {
        section.entries.Clear();
        for (size_t i = 0; i < section.entriesEnd; ++i) {
            if (section.body[i].kind == eLineKind::Entry) {
                section.entries.Add(i, nameAt);
            }
        }
        section.indexed = true;
    }
    return section.entries.Find(Trimmed(key), nameAt);
}

void cIniDocument::AddLine(cLine line) {
    if (line.kind == eLineKind::Header) {
        m_Sections.push_back(cSection{std::move(line), {}, 0, {}, false});
        m_FirstSection.Add(m_Sections.size() - 1, SectionNameAt());
        return;
    }
    if (m_Sections.empty()) {
        m_Preamble.push_back(std::move(line));
        return;
    }
    cSection& section = m_Sections.back();
    if (line.kind == eLineKind::Entry) {
        section.entriesEnd = section.body.size() + 1;
        section.indexed = false;
    }
    section.body.push_back(std::move(line));
}

void cIniDocument::IndexSections() {
    m_FirstSection.Clear();
    for (size_t i = 0; i < m_Sections.size(); ++i) {
        m_FirstSection.Add(i, SectionNameAt());
    }
}

std::string cIniDocument::Bytes() const {
    std::string bytes;
    const auto eachLine = [this](const auto& use) {
        for (const cLine& line : m_Preamble) {
            use(line);
        }
        for (const cSection& section : m_Sections) {
            use(section.header);
            for (const cLine& line : section.body) {
                use(line);
            }
        }
    };
    size_t size = 0;
    eachLine([&](const cLine& line) {
        size += Text(line).size() + LineEndBytes(static_cast<uint8_t>(line.end)).size();
    });
    bytes.reserve(size);
    eachLine([&](const cLine& line) {
        bytes += Text(line);
        bytes += LineEndBytes(static_cast<uint8_t>(line.end));
    });
    return bytes;
}

const cIniDocument::cSection* cIniDocument::FindSection(std::string_view section) const {
    const ptrdiff_t found = m_FirstSection.Find(Trimmed(section), SectionNameAt());
    return found < 0 ? nullptr : &m_Sections[static_cast<size_t>(found)];
}

cIniDocument::cSection* cIniDocument::FindSection(std::string_view section) {
    return const_cast<cSection*>(std::as_const(*this).FindSection(section));
}

std::optional<std::string> cIniDocument::Value(std::string_view section,
                                               std::string_view key) const {
    const cSection* found = FindSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    const ptrdiff_t entry = FindEntry(*found, key);
    if (entry < 0) {
        return std::nullopt;
    }
    const std::string_view text = Text(found->body[static_cast<size_t>(entry)]);
    return DecodedValue(text.substr(text.find('=') + 1));
}

std::vector<std::string> cIniDocument::SectionKeys(std::string_view section) const {
    std::vector<std::string> keys;
    const cSection* found = FindSection(section);
    if (found == nullptr) {
        return keys;
    }
    // A repeated key is listed at each of its entries, although reads see only its first.
    for (size_t i = 0; i < found->entriesEnd; ++i) {
        if (found->body[i].kind == eLineKind::Entry) {
            keys.emplace_back(Name(found->body[i]));
        }
    }
    return keys;
}

bool cIniDocument::HasSection(std::string_view section) const {
    return FindSection(section) != nullptr;
}

cIniDocument::cLine* cIniDocument::LastLine() {
    if (!m_Sections.empty()) {
        cSection& last = m_Sections.back();
        return last.body.empty() ? &last.header : &last.body.back();
    }
    return m_Preamble.empty() ? nullptr : &m_Preamble.back();
}

void cIniDocument::SetValue(std::string_view section, std::string_view key,
                            std::string_view value) {
    SetEntry(section, key, value, EncodedValue(value));
}

void cIniDocument::SetVerbatimValue(std::string_view section, std::string_view key,
                                    std::string_view value) {
    SetEntry(section, key, value, value);
}

void cIniDocument::SetEntry(std::string_view section, std::string_view key, std::string_view value,
                            std::string_view encoded) {
    if (std::string problem = IniWriteProblem(section, key, value); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    cSection* found = FindSection(section);
    if (found == nullptr) {
        AppendSection(Trimmed(section), std::string(Trimmed(key)) + "=" + std::string(encoded));
        return;
    }
    if (const ptrdiff_t entry = FindEntry(*found, key); entry >= 0) {
        cLine& line = found->body[static_cast<size_t>(entry)];
        // The line keeps its marks, the key's spelling and its terminator.
        line = WrittenLine(std::string(LeadingMarks(Text(line))) + std::string(Name(line)) + "=" +
                               std::string(encoded),
                           line.end);
        return;
    }
    // Only the last line of the file can lack a terminator; the new line goes after it.
    cLine& before = found->entriesEnd == 0 ? found->header : found->body[found->entriesEnd - 1];
    if (before.end == eLineEnd::None) {
        before.end = eLineEnd::CrLf;
    }
    found->body.insert(found->body.begin() + static_cast<std::ptrdiff_t>(found->entriesEnd),
                       WrittenLine(std::string(Trimmed(key)) + "=" + std::string(encoded)));
    // Lines after the insertion point are no entries, so no index of an entry moves.
    found->entries.Add(found->entriesEnd, [this, found](size_t i) { return Name(found->body[i]); });
    ++found->entriesEnd;
}

void cIniDocument::AppendSection(std::string_view section, std::string_view entryText) {
    // A file that holds only its byte order mark: the header follows the mark on its line.
    std::string marks;
    if (m_Sections.empty() && m_Preamble.size() == 1 && m_Preamble[0].end == eLineEnd::None &&
        LeadingMarks(Text(m_Preamble[0])).size() == Text(m_Preamble[0]).size()) {
        marks = Text(m_Preamble[0]);
        m_Preamble.clear();
    }
    if (cLine* last = LastLine(); last != nullptr && last->end == eLineEnd::None) {
        last->end = eLineEnd::CrLf;
    }
    AddLine(WrittenLine(marks + "[" + std::string(section) + "]"));
    AddLine(WrittenLine(entryText));
}

void cIniDocument::EraseSection(std::string_view section) {
    const std::string_view name = Trimmed(section);
    if (FindSection(name) == nullptr) {
        return;
    }
    std::vector<cSection> kept;
    kept.reserve(m_Sections.size());
    for (cSection& current : m_Sections) {
        if (!SameTextIgnoringAsciiCase(Name(current.header), name)) {
            kept.push_back(std::move(current));
            continue;
        }
        size_t removedEnd = current.entriesEnd;
        while (removedEnd < current.body.size() &&
               current.body[removedEnd].kind == eLineKind::Blank) {
            ++removedEnd;
        }
        // What is left (comments and other lines) stays where it was in the file: at the end
        // of whatever now precedes it.
        std::vector<cLine>& previous = kept.empty() ? m_Preamble : kept.back().body;
        for (size_t i = removedEnd; i < current.body.size(); ++i) {
            previous.push_back(std::move(current.body[i]));
        }
    }
    m_Sections = std::move(kept);
    IndexSections();
}

std::string IniWriteProblem(std::string_view section, std::string_view key,
                            std::string_view value) {
    const auto breakOrNul = [](std::string_view text) {
        // Three quick scans: find_first_of would try each character against the set.
        return text.find('\n') != std::string_view::npos ||
               text.find('\r') != std::string_view::npos ||
               text.find('\0') != std::string_view::npos;
    };
    if (breakOrNul(section)) {
        return "the section name contains a line break or a NUL character";
    }
    if (breakOrNul(key)) {
        return "the key contains a line break or a NUL character";
    }
    if (breakOrNul(value)) {
        return "the value of \"" + std::string(key) + "\" contains a line break or a NUL character";
    }
    if (section.find(']') != std::string_view::npos) {
        return "the section name contains \"]\"";
    }
    if (key.find('=') != std::string_view::npos) {
        return "the key contains \"=\"";
    }
    const std::string_view trimmedKey = Trimmed(key);
    if (!LeadingMarks(trimmedKey).empty()) {
        return "the key begins with a byte order mark";
    }
    if (!trimmedKey.empty() && (trimmedKey.front() == ';' || trimmedKey.front() == '[')) {
        return "the key begins with \"" + std::string(1, trimmedKey.front()) + "\"";
    }
    return {};
}
