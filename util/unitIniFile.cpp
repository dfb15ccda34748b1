#include "util/unitIniFile.h"

#include <cerrno>
#include <optional>
#include <stdexcept>
#include <utility>

#include "util/unitAtomicFile.h"
#include "util/unitIniDocument.h"
#include "util/unitTextUtils.h"

namespace {

/// Larger files are not settings or playlists of ours; reading them is refused rather than
/// letting a stray multi-gigabyte file exhaust the memory.
constexpr size_t kMaxIniFileBytes = 256u << 20;

} // namespace

cIniFile::cIniFile(std::string path) : m_Path(std::move(path)) {}

cIniFile::~cIniFile() = default;
cIniFile::cIniFile(cIniFile&&) noexcept = default;
cIniFile& cIniFile::operator=(cIniFile&&) noexcept = default;

std::optional<std::string> cIniFile::BytesForReading() const {
    try {
        return ReadFileIfExists(m_Path, kMaxIniFileBytes);
    } catch (const EFileError&) {
        return std::nullopt; // unreadable reads as missing: every read has its default
    }
}

template <typename Reader> auto cIniFile::Read(Reader&& reader) const {
    if (m_Batch) {
        return reader(*m_Batch);
    }
    if (m_Snapshot) {
        return reader(*m_Snapshot);
    }
    std::optional<std::string> bytes = BytesForReading();
    return reader(cIniDocument(bytes ? std::move(*bytes) : std::string()));
}

template <typename Change> void cIniFile::Modify(Change&& change) {
    try {
        if (m_Batch) {
            change(*m_Batch);
            return;
        }
        // A file that exists but cannot be read must not be replaced by one that holds only
        // the new key: ReadFileIfExists throws then.
        const std::optional<std::string> old = ReadFileIfExists(m_Path, kMaxIniFileBytes);
        cIniDocument document(old ? *old : std::string());
        change(document);
        const std::string bytes = document.Bytes();
        if (!old || bytes != *old) {
            WriteFileAtomically(m_Path, bytes);
        }
        if (m_Snapshot) {
            *m_Snapshot = std::move(document);
        }
    } catch (const std::invalid_argument& why) {
        throw EFileError(EINVAL, kCouldNotWrite, m_Path, why.what()); // texts an INI cannot hold
    }
}

std::string cIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    return Read([&](const cIniDocument& document) {
        return document.Value(section, key).value_or(std::string(defaultValue));
    });
}

int32_t cIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    return Read([&](const cIniDocument& document) {
        const std::optional<std::string> value = document.Value(section, key);
        return value ? TextToInt32(*value).value_or(defaultValue) : defaultValue;
    });
}

bool cIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> cIniFile::ReadSectionKeys(std::string_view section) const {
    return Read([&](const cIniDocument& document) { return document.SectionKeys(section); });
}

bool cIniFile::SectionExists(std::string_view section) const {
    return Read([&](const cIniDocument& document) { return document.HasSection(section); });
}

void cIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Modify([&](cIniDocument& document) { document.SetValue(section, key, value); });
}

void cIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void cIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void cIniFile::EraseSection(std::string_view section) {
    Modify([&](cIniDocument& document) { document.EraseSection(section); });
}

cIniFile::cSnapshot::cSnapshot(const cIniFile& file) : m_File(&file) {
    if (!file.m_Snapshot) {
        std::optional<std::string> bytes = file.BytesForReading();
        file.m_Snapshot = std::make_unique<cIniDocument>(bytes ? std::move(*bytes) : std::string());
    } else {
        m_File = nullptr; // an outer snapshot holds the content already
    }
}

cIniFile::cSnapshot::~cSnapshot() {
    if (m_File != nullptr) {
        m_File->m_Snapshot.reset();
    }
}

cIniFile::cBatch::cBatch(cIniFile& file) : m_File(&file) {
    if (file.m_Batch) {
        throw std::logic_error("A batch of writes to \"" + file.m_Path + "\" is open already");
    }
    const std::optional<std::string> old = ReadFileIfExists(file.m_Path, kMaxIniFileBytes);
    file.m_BatchFileExisted = old.has_value();
    file.m_BatchOldBytes = old.value_or(std::string());
    file.m_Batch = std::make_unique<cIniDocument>(file.m_BatchOldBytes);
}

cIniFile::cBatch::~cBatch() {
    if (m_File != nullptr) {
        m_File->m_Batch.reset();
        m_File->m_BatchOldBytes.clear();
    }
}

void cIniFile::cBatch::Commit() {
    if (m_File == nullptr) {
        return;
    }
    cIniFile& file = *std::exchange(m_File, nullptr);
    std::unique_ptr<cIniDocument> document = std::move(file.m_Batch);
    const std::string oldBytes = std::move(file.m_BatchOldBytes);
    file.m_BatchOldBytes.clear();
    const std::string bytes = document->Bytes();
    if (!file.m_BatchFileExisted || bytes != oldBytes) {
        WriteFileAtomically(file.m_Path, bytes);
    }
    if (file.m_Snapshot) {
        file.m_Snapshot = std::move(document);
    }
}
