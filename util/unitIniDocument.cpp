#include "util/unitIniDocument.h"

#include <stdexcept>
#include <utility>

#include "util/unitAsciiCase.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

/// The name as it is compared: trimmed, letters A to Z in lower case.
std::string Folded(std::string_view name) {
    return LowerCaseAscii(Trimmed(name));
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

cIniDocument::cLine cIniDocument::MakeLine(std::string text, eLineEnd end) {
    cLine line;
    line.end = end;
    std::string_view content(text);
    content = Trimmed(content.substr(LeadingMarks(content).size()));
    if (content.empty()) {
        line.kind = eLineKind::Blank;
    } else if (content.front() == ';') {
        line.kind = eLineKind::Comment;
    } else if (content.front() == '[') {
        const size_t close = content.find(']');
        if (close != std::string_view::npos) {
            line.kind = eLineKind::Header;
            line.name = Trimmed(content.substr(1, close - 1));
        }
    } else if (const size_t equals = content.find('='); equals != std::string_view::npos) {
        // A key or value the writer would refuse (a NUL in it) reads as absent: such a line
        // is no entry, and a write of its key gives the key a proper line.
        const std::string_view name = Trimmed(content.substr(0, equals));
        if (IniWriteProblem({}, name, content.substr(equals + 1)).empty()) {
            line.kind = eLineKind::Entry;
            line.name = name;
        }
    }
    line.text = std::move(text);
    return line;
}

cIniDocument::cIniDocument(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t stop = bytes.find_first_of("\r\n");
        if (stop == std::string_view::npos) {
            AddLine(MakeLine(std::string(bytes), eLineEnd::None));
            break;
        }
        eLineEnd end = eLineEnd::Lf;
        size_t next = stop + 1;
        if (bytes[stop] == '\r') {
            end = eLineEnd::Cr;
            if (stop + 1 < bytes.size() && bytes[stop + 1] == '\n') {
                end = eLineEnd::CrLf;
                next = stop + 2;
            }
        }
        AddLine(MakeLine(std::string(bytes.substr(0, stop)), end));
        bytes.remove_prefix(next);
    }
}

void cIniDocument::AddLine(cLine line) {
    if (line.kind == eLineKind::Header) {
        m_FirstSection.emplace(Folded(line.name), m_Sections.size());
        m_Sections.push_back(cSection{std::move(line), {}, {}, 0});
        return;
    }
    if (m_Sections.empty()) {
        m_Preamble.push_back(std::move(line));
        return;
    }
    cSection& section = m_Sections.back();
    if (line.kind == eLineKind::Entry) {
        section.firstEntry.emplace(Folded(line.name), section.body.size());
        section.entriesEnd = section.body.size() + 1;
    }
    section.body.push_back(std::move(line));
}

void cIniDocument::IndexSections() {
    m_FirstSection.clear();
    for (size_t i = 0; i < m_Sections.size(); ++i) {
        m_FirstSection.emplace(Folded(m_Sections[i].header.name), i);
    }
}

std::string cIniDocument::Bytes() const {
    std::string bytes;
    const auto append = [&bytes](const cLine& line) {
        bytes += line.text;
        bytes += LineEndBytes(static_cast<uint8_t>(line.end));
    };
    for (const cLine& line : m_Preamble) {
        append(line);
    }
    for (const cSection& section : m_Sections) {
        append(section.header);
        for (const cLine& line : section.body) {
            append(line);
        }
    }
    return bytes;
}

const cIniDocument::cSection* cIniDocument::FindSection(std::string_view section) const {
    const auto found = m_FirstSection.find(Folded(section));
    return found == m_FirstSection.end() ? nullptr : &m_Sections[found->second];
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
    const auto entry = found->firstEntry.find(Folded(key));
    if (entry == found->firstEntry.end()) {
        return std::nullopt;
    }
    const std::string& text = found->body[entry->second].text;
    return DecodedValue(std::string_view(text).substr(text.find('=') + 1));
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
            keys.push_back(found->body[i].name);
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
    if (std::string problem = IniWriteProblem(section, key, value); !problem.empty()) {
        throw std::invalid_argument(problem);
    }
    const std::string encoded = EncodedValue(value);
    cSection* found = FindSection(section);
    if (found == nullptr) {
        AppendSection(Trimmed(section), std::string(Trimmed(key)) + "=" + encoded,
                      std::string(Trimmed(key)));
        return;
    }
    std::string foldedKey = Folded(key);
    if (const auto entry = found->firstEntry.find(foldedKey); entry != found->firstEntry.end()) {
        cLine& line = found->body[entry->second];
        line.text = std::string(LeadingMarks(line.text)) + line.name + "=" + encoded;
        return;
    }
    // Only the last line of the file can lack a terminator; the new line goes after it.
    cLine& before = found->entriesEnd == 0 ? found->header : found->body[found->entriesEnd - 1];
    if (before.end == eLineEnd::None) {
        before.end = eLineEnd::CrLf;
    }
    std::string name(Trimmed(key));
    found->body.insert(found->body.begin() + static_cast<std::ptrdiff_t>(found->entriesEnd),
                       cLine{name + "=" + encoded, eLineEnd::CrLf, eLineKind::Entry, name});
    // Lines after the insertion point are no entries, so no index in firstEntry moves.
    found->firstEntry.emplace(std::move(foldedKey), found->entriesEnd);
    ++found->entriesEnd;
}

void cIniDocument::AppendSection(std::string_view section, std::string entryText, std::string key) {
    // A file that holds only its byte order mark: the header follows the mark on its line.
    std::string marks;
    if (m_Sections.empty() && m_Preamble.size() == 1 && m_Preamble[0].end == eLineEnd::None &&
        LeadingMarks(m_Preamble[0].text).size() == m_Preamble[0].text.size()) {
        marks = std::move(m_Preamble[0].text);
        m_Preamble.clear();
    }
    if (cLine* last = LastLine(); last != nullptr && last->end == eLineEnd::None) {
        last->end = eLineEnd::CrLf;
    }
    const std::string name(section);
    AddLine(cLine{marks + "[" + name + "]", eLineEnd::CrLf, eLineKind::Header, name});
    AddLine(cLine{std::move(entryText), eLineEnd::CrLf, eLineKind::Entry, std::move(key)});
}

void cIniDocument::EraseSection(std::string_view section) {
    const std::string folded = Folded(section);
    if (m_FirstSection.find(folded) == m_FirstSection.end()) {
        return;
    }
    std::vector<cSection> kept;
    kept.reserve(m_Sections.size());
    for (cSection& current : m_Sections) {
        if (Folded(current.header.name) != folded) {
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
        return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
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

std::optional<int32_t> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X") {
        base = 16;
        text.remove_prefix(2);
    } else if (text.substr(0, 1) == "$") {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // Decimal must fit int32 with its sign; hexadecimal is a 32-bit pattern.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFULL : (negative ? 0x80000000ULL : 0x7FFFFFFFULL);
    uint64_t magnitude = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    const auto pattern = static_cast<uint32_t>(negative ? 0 - magnitude : magnitude);
    return static_cast<int32_t>(pattern);
}
