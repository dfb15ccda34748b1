#pragma once
// The system's mount table (/proc/self/mountinfo) and the mount points the administrator
// declared (/etc/fstab): which folders are mount points now, which are meant to be one, and
// which mount points came or went between two readings of the table.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

/// Where the mount table and the declared mount points are read. Tests point them at files of
/// their own to feed mount-table changes.
extern std::string MountTablePath;
extern std::string DeclaredMountsPath;

/// One mounted file system: the table's mount id and the folder it is mounted on, decoded (the
/// table writes a space as "\040").
struct cMountEntry {
    std::string Id;
    std::string MountPoint;
    bool operator==(const cMountEntry&) const = default;
};

/// The text with the table's octal escapes ("\040", "\011", "\012", "\134") made bytes again;
/// any other backslash stays as it is.
std::string DecodeMountPath(std::string_view text);
/// The entries of a mountinfo text, in its order. Lines without a mount id and a mount point
/// (cut short, empty) are passed over.
std::vector<cMountEntry> ParseMountTable(std::string_view text);
/// The mount points of an fstab text: the second field of each line that is no comment, except
/// "none" and "swap" (which mount nothing on a folder).
std::vector<std::string> ParseDeclaredMounts(std::string_view text);
/// The mount points of the entries that are in one list and not in the other (a file system
/// mounted or unmounted), each once, sorted. A file system remounted with other options keeps
/// its id and counts as no change.
std::vector<std::string> ChangedMountPoints(const std::vector<cMountEntry>& before,
                                            const std::vector<cMountEntry>& after);

/// The whole file at the path; empty when it cannot be read. Reads files whose size stat does
/// not tell (the files of /proc).
std::string ReadWholeFile(const std::string& path);

/// The mount points of the system as read once, for many questions in a row.
class cMountPoints {
public:
    /// Reads MountTablePath and DeclaredMountsPath now.
    static cMountPoints Read();
    /// Mount points given directly, for tests.
    cMountPoints(std::vector<std::string> mounted, std::vector<std::string> declared);

    /// A file system is mounted on the folder (its real path, links resolved).
    bool IsMounted(std::string_view realPath) const { return m_Mounted.contains(realPath); }
    /// The folder (its real path) is a mount point of the fstab.
    bool IsDeclared(std::string_view realPath) const { return m_Declared.contains(realPath); }
    /// The mount table could be read (else IsMounted knows of no mount).
    bool TableRead() const { return !m_Mounted.empty(); }

private:
    cMountPoints() = default;
    struct cHash : std::hash<std::string_view> {
        using is_transparent = void;
    };
    std::unordered_set<std::string, cHash, std::equal_to<>> m_Mounted;
    std::unordered_set<std::string, cHash, std::equal_to<>> m_Declared;
};
