// libFuzzer target for the INI reader and writer: any bytes as the content of an INI file go
// through every read operation; then a write and an erase are checked against a fresh read
// of the result, in memory and (for some inputs) through a real file in a temporary folder.
//
// Checked, besides the absence of crashes and sanitizer reports:
// - unchanged content is written back byte for byte;
// - a written value reads back exactly, also after the bytes are read anew;
// - a write or an erase changes no value of any other section or key;
// - texts that cannot be stored are refused and change nothing.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <stdlib.h>

#include "util/unitAtomicFile.h"
#include "util/unitIniDocument.h"
#include "util/unitIniFile.h"
#include "util/unitTextUtils.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "INI invariant broken: %s\n", what);
        std::abort();
    }
}

/// Names as the INI rules compare them: blanks at both ends ignored, A to Z without case.
std::string Folded(std::string_view name) {
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    std::string folded(name.substr(first, name.find_last_not_of(" \t") - first + 1));
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

struct cNames {
    std::vector<std::string> sections{"MainWindow", "playlist", ""};
    std::vector<std::string> keys{"Left", "File1", ""};
};

/// Section and key names that occur in the content, so that reads and writes meet them.
cNames NamesIn(std::string_view content) {
    cNames names;
    size_t start = 0;
    while (start < content.size() && names.sections.size() + names.keys.size() < 24) {
        size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = content.size();
        }
        const std::string_view line = content.substr(start, end - start);
        const size_t open = line.find('[');
        const size_t close = line.find(']');
        if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
            names.sections.emplace_back(line.substr(open + 1, close - open - 1));
        } else if (const size_t equals = line.find('='); equals != std::string_view::npos) {
            names.keys.emplace_back(line.substr(0, equals));
        }
        start = end + 1;
    }
    return names;
}

using cValues = std::vector<std::optional<std::string>>;

cValues AllValues(const cIniDocument& document, const cNames& names) {
    cValues values;
    for (const auto& section : names.sections) {
        for (const auto& key : names.keys) {
            values.push_back(document.Value(section, key));
        }
    }
    return values;
}

void ReadEverything(const cIniDocument& document, const cNames& names) {
    for (const auto& section : names.sections) {
        (void)document.HasSection(section);
        const std::vector<std::string> keys = document.SectionKeys(section);
        for (const auto& key : keys) {
            Check(document.Value(section, key).has_value(), "listed key has no value");
        }
        for (const auto& key : names.keys) {
            if (const auto value = document.Value(section, key)) {
                (void)TextToInt32(*value);
            }
        }
    }
}

/// Values of every (section, key) pair other than the changed one stay the same.
void CheckOthersUnchanged(const cNames& names, const cValues& before, const cValues& after,
                          std::string_view section, std::optional<std::string_view> key) {
    size_t i = 0;
    for (const auto& s : names.sections) {
        for (const auto& k : names.keys) {
            const bool changed =
                Folded(s) == Folded(section) && (!key || Folded(k) == Folded(*key));
            Check(changed || before[i] == after[i], "another value changed");
            ++i;
        }
    }
}

void CheckWrite(const cIniDocument& original, const cNames& names, const std::string& section,
                const std::string& key, const std::string& value) {
    cIniDocument document = original;
    const cValues before = AllValues(document, names);
    const bool storable = IniWriteProblem(section, key, value).empty();
    try {
        document.SetValue(section, key, value);
        Check(storable, "unstorable text accepted");
    } catch (const std::invalid_argument&) {
        Check(!storable, "storable text refused");
        Check(document.Bytes() == original.Bytes(), "refused write changed the content");
        return;
    }
    Check(document.Value(section, key) == value, "written value reads back differently");
    const cIniDocument reread(document.Bytes());
    Check(reread.Value(section, key) == value, "written value reads back differently from bytes");
    CheckOthersUnchanged(names, before, AllValues(reread, names), section, key);
}

void CheckErase(const cIniDocument& original, const cNames& names, const std::string& section) {
    cIniDocument document = original;
    const cValues before = AllValues(document, names);
    document.EraseSection(section);
    Check(!document.HasSection(section), "erased section still there");
    const cIniDocument reread(document.Bytes());
    Check(!reread.HasSection(section), "erased section back after reading the bytes");
    CheckOthersUnchanged(names, before, AllValues(reread, names), section, std::nullopt);
}

/// A folder for the file round trips, removed at exit. It lies in memory where the system has
/// such a folder, so that flushing each write costs little.
const std::string& TemporaryFolder() {
    static const std::string* const folder = [] {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        auto* path = new std::string((base / "tunaria-fuzz-ini-XXXXXX").string());
        Check(::mkdtemp(path->data()) != nullptr, "mkdtemp");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*folder, ignored);
        });
        return path;
    }();
    return *folder;
}

void CheckFileRoundTrip(std::string_view content, const std::string& section,
                        const std::string& key, const std::string& value) {
    const std::string path = TemporaryFolder() + "/Options.ini";
    WriteFileAtomically(path, content);
    cIniFile ini(path);
    (void)ini.ReadString(section, key, "");
    (void)ini.ReadInteger(section, key, 7);
    (void)ini.ReadBool(section, key, true);
    (void)ini.ReadSectionKeys(section);
    (void)ini.SectionExists(section);
    try {
        ini.WriteString(section, key, value);
    } catch (const EFileError&) {
        Check(!IniWriteProblem(section, key, value).empty(), "file write refused");
        return;
    }
    const cIniFile again(path);
    Check(again.ReadString(section, key, "\x01 missing") == value, "file value differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const cIniDocument document(content);
    Check(document.Bytes() == content, "unchanged content not kept byte for byte");

    const cNames names = NamesIn(content);
    ReadEverything(document, names);
    (void)TextToInt32(content);

    // The write: a name from the content (or a fixed one) and the last bytes as the value.
    const std::string& section = names.sections[size % names.sections.size()];
    const std::string& key = names.keys[(size / 3) % names.keys.size()];
    const std::string value(content.substr(content.size() - std::min<size_t>(content.size(), 12)));
    CheckWrite(document, names, section, key, value);
    CheckWrite(document, names, "New Section", key, value);
    CheckErase(document, names, section);

    if (size > 0 && (data[0] & 7) == 0) { // a real file now and then: each write is flushed
        CheckFileRoundTrip(content, section, key, value);
    }
    return 0;
}
