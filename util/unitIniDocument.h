#pragma once
// The content of an INI file held in memory, with the reading and updating rules of the
// program's INI files. cIniFile puts it between the file and its callers; it is usable on its
// own for bytes that do not come from a file.
//
// Reading accepts what other writers and hand edits produce:
// - lines end with CR LF, LF or a lone CR; UTF-8 byte order marks at the start of a line are
//   skipped (the file's own at the start of the first line, and any left at the start of a later
//   line), so every line is read by the same rule wherever it stands;
// - spaces and tabs around section names, keys, "=" and values are ignored;
// - a line whose first non-blank character is ";" is a comment;
// - "[name]" starts a section (text after the "]" is ignored); a line "key=value" is an entry
//   (the key ends at the first "=") when the writer could store its key and value (see
//   IniWriteProblem: no NUL byte, no key beginning with a byte order mark); any other line is
//   neither and is ignored, so a key or value that cannot be stored reads as absent;
// - a value wrapped in a pair of double or single quotes is read without them.
// Names of sections and keys match without regard to the case of the letters A to Z. When a
// name occurs twice, the first section of that name counts, and in it the first entry of a key.
//
// Updating keeps every line it does not change byte for byte (terminators and the byte order
// mark included) and writes new lines as "key=value" ending in CR LF.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class cIniDocument {
public:
    /// Takes the bytes of an INI file; any bytes are accepted.
    explicit cIniDocument(std::string_view bytes = {});
    /// The same, keeping the bytes handed over without a copy.
    explicit cIniDocument(std::string&& bytes);

    /// The bytes of the file as they are now.
    std::string Bytes() const;

    /// The value of the key in the section, or nothing when the section or the key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    /// The keys of the section in file order, spelled as in the file; a key that occurs twice
    /// is listed twice (A, B, A lists A, B, A). None for a missing section.
    std::vector<std::string> SectionKeys(std::string_view section) const;
    bool HasSection(std::string_view section) const;

    /// Sets the key's value. An existing entry is rewritten in place (the key keeps the
    /// spelling of the file, the line its terminator). A missing key gets a new line after the
    /// last entry of its section (right after the header when the section has none). A missing
    /// section is appended at the end of the file, header spelled as given, right after the
    /// last line: no blank line is added, so a file this program writes holds no empty lines
    /// ("[A]\r\na=1\r\n[B]\r\nb=2\r\n"). Throws std::invalid_argument with the reason when the
    /// texts cannot be stored (see IniWriteProblem).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    /// SetValue with the value written exactly as given, never put in quotes: for files that
    /// other programs read without removing quotes (playlists). Blanks or quotes at either
    /// end of such a value do not read back through Value.
    void SetVerbatimValue(std::string_view section, std::string_view key, std::string_view value);

    /// Removes every section of that name: its header, its entries and the lines among them,
    /// and the blank lines that follow its last entry. Comments set off from its last entry by
    /// a blank line belong to what follows and stay.
    void EraseSection(std::string_view section);

private:
    enum class eLineKind : uint8_t { Blank, Comment, Header, Entry, Other };
    enum class eLineEnd : uint8_t { None, CrLf, Lf, Cr };

    /// One line without its terminator: a stretch of m_Text. The name (the key of an entry or
    /// the name of a header, trimmed) is a part of the line. Small and without an allocation
    /// of its own, so that a file of hundreds of thousands of lines reads fast.
    struct cLine {
        uint32_t at = 0;
        uint32_t length = 0;
        uint32_t nameAt = 0; ///< within the line
        uint32_t nameLength = 0;
        eLineEnd end = eLineEnd::CrLf;
        eLineKind kind = eLineKind::Other;
    };

    /// Positions of names as the rules compare them (trimmed, A to Z folded), the first of equal
    /// names kept. Look-ups allocate nothing: a file of a few hundred thousand lines is read
    /// in a fraction of a second. nameAt(position) gives the trimmed name at a position.
    class cNameIndex {
    public:
        void Clear();
        /// The position of the name, or -1.
        template <typename tNameAt>
        ptrdiff_t Find(std::string_view name, const tNameAt& nameAt) const;
        /// Adds the position under its name unless an equal name is there already.
        template <typename tNameAt> void Add(size_t position, const tNameAt& nameAt);

    private:
        struct cSlot {
            uint64_t hash = 0;
            size_t position = 0;
            bool used = false;
        };
        std::vector<cSlot> m_Slots; // open addressing, a power of two long
        size_t m_Count = 0;
    };

    struct cSection {
        cLine header;
        std::vector<cLine> body;
        /// Index in body just after the last entry (0 when the section has no entry).
        size_t entriesEnd = 0;
        /// Key -> index in body of its first entry, made at the first look-up in the section
        /// (most sections of a large file are never looked into).
        mutable cNameIndex entries;
        mutable bool indexed = false;
    };

    /// The line at the stretch of m_Text, its kind and name found from its text.
    cLine MakeLine(size_t at, size_t length, eLineEnd end) const;
    /// A line of the program's own: the text is added to m_Text.
    cLine WrittenLine(std::string_view text, eLineEnd end = eLineEnd::CrLf);
    std::string_view Text(const cLine& line) const {
        return std::string_view(m_Text).substr(line.at, line.length);
    }
    std::string_view Name(const cLine& line) const {
        return Text(line).substr(line.nameAt, line.nameLength);
    }
    /// Index in the section's body of the key's first entry, or -1.
    ptrdiff_t FindEntry(const cSection& section, std::string_view key) const;
    void AddLine(cLine line);
    void IndexSections();
    const cSection* FindSection(std::string_view section) const;
    auto SectionNameAt() const {
        return [this](size_t i) { return Name(m_Sections[i].header); };
    }
    cSection* FindSection(std::string_view section);
    cLine* LastLine();
    void AppendSection(std::string_view section, std::string_view entryText);
    /// Sets the entry's line to key=encoded; the value as given is what is checked.
    void SetEntry(std::string_view section, std::string_view key, std::string_view value,
                  std::string_view encoded);

    /// The bytes the document was made from, followed by the text of every line written
    /// since (a rewritten line leaves its old text unused here).
    std::string m_Text;
    std::vector<cLine> m_Preamble; // lines before the first header
    std::vector<cSection> m_Sections;
    /// Section name -> index in m_Sections of its first section.
    cNameIndex m_FirstSection;
};

/// Why the section, key and value cannot be written to an INI file so that they read back as
/// written (a line break or NUL in any of them, "]" in the section name, "=" in the key, a key
/// beginning with ";", "[" or a byte order mark), or an empty text when they can.
std::string IniWriteProblem(std::string_view section, std::string_view key, std::string_view value);
