#pragma once
// Whether the songs' files are still there.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

/// True when a regular file, or a symbolic link to one, exists at the path: what stat(2)
/// followed by S_ISREG answers. Folders do not count; a path holding a NUL byte names no file.
bool FileExists(std::string_view path);

/// Ends each group of equal paths in cFileExistenceCheck::Run's list of repeated paths.
inline constexpr uint32_t kEndOfRepeatedPaths = UINT32_MAX;

/// What the program can tell of a song's file.
enum eFileState : uint8_t {
    /// No such file (or something that is no file: a folder, a pipe) in a folder that is
    /// there: the song is gone. Also a path without a folder, which no scan writes.
    kFileMissing = 0,
    /// A regular file, or a symbolic link to one (FileExists).
    kFileExists = 1,
    /// Neither the file nor its folder is there (an unplugged drive, an unmounted share), the
    /// folder is there but is the mount point of a drive that is not mounted (AwaitsItsDrive),
    /// or the file cannot be examined (permission denied, an I/O error, a loop of links): the
    /// song may come back.
    kFileOffline = 2,
};

/// True when the folder, which is there, is the mount point of a drive that is not mounted: no
/// file system is mounted on it now (the mount table does not name it, and it lies on its
/// parent's device), and either the fstab declares it a mount point or it is empty (not a
/// single entry, hidden ones included). A folder a drive leaves behind when it is unmounted
/// is empty; a folder from which the user deleted some songs still holds the others, and one
/// with a file system mounted on it holds what that drive holds. Songs missing from such a
/// folder are out of reach, not gone.
bool AwaitsItsDrive(const std::string& folder, const class cMountPoints& mounts);

/// The state of the file at the path: stat(2), and when that finds no such file (or a file
/// where a folder of the path should be), stat of its folder, and whether it awaits its drive.
eFileState ExamineFile(std::string_view path);

/// ExamineFile for many paths, with the same answers, but instead of one stat per path it
/// lists each folder that holds several of the paths once and looks the names up in the
/// listing. Entries whose kind the listing does not settle (symbolic links, unknown kinds)
/// and folders that cannot be listed or searched fall back to stat; a folder that is not there
/// answers for all its paths at once.
///
/// Paths are handed in one by one with Add, best while their bytes are still in the cache
/// (the loader adds each song as it reads it); the views must stay valid until Run. Run lists
/// the folders on two threads where the machine has two cores; the second thread only reads the
/// file system and the paths, writes only its own folders' answers, and is joined before Run
/// returns.
class cFileExistenceCheck {
public:
    void Reserve(size_t count) { m_Paths.reserve(count); }
    void Add(std::string_view path);
    /// result[i] is the eFileState of the i-th path added. The check then starts afresh.
    ///
    /// With `repeated`, the paths added more than once (the same bytes) are put there too, as
    /// the loader needs them and the check sees them on its way: each group of equal paths as
    /// their indices in ascending order, followed by kEndOfRepeatedPaths; groups in no order.
    std::vector<uint8_t> Run(std::vector<uint32_t>* repeated = nullptr);

private:
    /// 16 bytes: a million of them are made while the catalogue is read.
    struct cPath {
        const char* text;
        uint32_t folder; ///< index into m_Folders, or kNoFolder: stat it directly
        uint16_t length;
        uint16_t nameAt; ///< where the part behind the last separator begins

        std::string_view Path() const { return {text, length}; }
        std::string_view Name() const { return {text + nameAt, size_t{length} - nameAt}; }
    };
    class cLister;

    std::vector<cPath> m_Paths;
    /// The paths that name no folder (and so are examined by themselves), with their index.
    std::vector<std::pair<std::string_view, uint32_t>> m_Unfiled;
    std::vector<std::string_view> m_Folders;
    std::vector<uint32_t> m_FolderSizes;
    std::unordered_map<std::string_view, uint32_t> m_FolderIds;
    uint32_t m_LastFolder = UINT32_MAX;
};

/// The whole check for a list of paths at once; result[i] (an eFileState) for paths[i].
std::vector<uint8_t> FilesExist(const std::vector<std::string_view>& paths);
