#include "util/unitIniDocument.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "util/unitAsciiCase.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

/// The line of an entry: "key=value".
std::string EntryText(std::string_view key, std::string_view value) {
    std::string text;
    text.reserve(key.size() + 1 + value.size());
    text.append(key).append(1, '=').append(value);
    return text;
}

std::string_view LineEndBytes(uint8_t end) {
    static constexpr std::string_view kEnds[] = {"", "\r\n", "\n", "\r"};
    return kEnds[end];
}

} // namespace

cIniDocument::cLine cIniDocument::MakeLine(std::string text, eLineEnd end) {
    cLine line;
    line.end = end;
    const std::string_view content = Trimmed(text);
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
        line.kind = eLineKind::Entry;
        line.name = Trimmed(content.substr(0, equals));
    }
    line.text = std::move(text);
    return line;
}

cIniDocument::cIniDocument(std::string_view bytes) {
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        m_ByteOrderMark = true;
        bytes.remove_prefix(kByteOrderMark.size());
    }
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
    size_t size = kByteOrderMark.size();
    const auto count = [&size](const cLine& line) { size += line.text.size() + 2; };
    for (const cLine& line : m_Preamble) {
        count(line);
    }
    for (const cSection& section : m_Sections) {
        count(section.header);
        std::for_each(section.body.begin(), section.body.end(), count);
    }
    bytes.reserve(size);
    if (m_ByteOrderMark) {
        bytes += kByteOrderMark;
    }
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
    const std::string_view name = Trimmed(key);
    cSection* found = FindSection(section);
    if (found == nullptr) {
        AppendSection(Trimmed(section), EntryText(name, encoded), std::string(name));
        return;
    }
    // One look-up finds an existing key or reserves the place of a new one.
    const auto [entry, added] = found->firstEntry.try_emplace(Folded(key), found->entriesEnd);
    if (!added) {
        cLine& line = found->body[entry->second];
        line.text = EntryText(line.name, encoded);
        return;
    }
    // Only the last line of the file can lack a terminator; the new line goes after it.
    cLine& before = found->entriesEnd == 0 ? found->header : found->body[found->entriesEnd - 1];
    if (before.end == eLineEnd::None) {
        before.end = eLineEnd::CrLf;
    }
    // Lines after the insertion point are no entries, so no index in firstEntry moves.
    found->body.insert(
        found->body.begin() + static_cast<std::ptrdiff_t>(found->entriesEnd),
        cLine{EntryText(name, encoded), eLineEnd::CrLf, eLineKind::Entry, std::string(name)});
    ++found->entriesEnd;
}

void cIniDocument::AppendSection(std::string_view section, std::string entryText, std::string key) {
    if (cLine* last = LastLine(); last != nullptr && last->end == eLineEnd::None) {
        last->end = eLineEnd::CrLf;
    }
    const std::string name(section);
    AddLine(cLine{"[" + name + "]", eLineEnd::CrLf, eLineKind::Header, name});
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
    if (!trimmedKey.empty() && (trimmedKey.front() == ';' || trimmedKey.front() == '[')) {
        return "the key begins with \"" + std::string(1, trimmedKey.front()) + "\"";
    }
    return {};
}
