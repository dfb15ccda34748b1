#pragma once
// Whole-file reads and crash-safe whole-file replacement for the program's small text files
// (Options.ini, Groups.txt, playlists).

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "util/unitFileHandle.h"

/// Replaces the content of the file at the path with the bytes, so that a crash, a power cut
/// or a full disk at any moment leaves either the old or the new content, never a mix:
/// the bytes go to a new file in the same folder, which is flushed to the disk and then renamed
/// over the old file; the folder is flushed after the rename. A missing file is created with
/// the usual permission bits (0666 less the umask); an existing one keeps its permission bits
/// and, where the process may set them, its owner and group. When the path is a symbolic link,
/// the file it points to is replaced and the link stays. Anything but a regular file at the
/// path is refused.
///
/// Throws EFileError when the write fails; the old file is then unchanged and no temporary file
/// is left behind.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

/// How WriteFileAtomically treats symbolic links at the path.
enum class eLinkRule {
    /// The file the links lead to is replaced, or created when it is missing; the links stay.
    Follow,
    /// For a file the user named (a playlist): a link is followed only to a file that exists,
    /// which is replaced and the link stays; a link whose target is missing is refused, never
    /// followed to create a file there; and a link the kernel's protected-symlinks rule would
    /// not follow (one in a sticky folder that everyone may write to, owned neither by this
    /// user nor by the folder's owner: a link planted by another user) is refused too.
    FollowToExistingOnly,
};

/// The new content of a file being written by WriteFileAtomically, handed over piece by piece:
/// small pieces are gathered and written in large blocks, large ones are written as they are.
class cNewFileContent {
public:
    cNewFileContent(const cNewFileContent&) = delete;
    cNewFileContent& operator=(const cNewFileContent&) = delete;

    /// Throws EFileError naming the file when the bytes cannot be written.
    void Append(std::string_view bytes);
    /// The file whose content this replaces (the path, or the file its links lead to).
    const std::string& Target() const { return m_Target; }

private:
    friend void WriteFileAtomically(const std::string& path, eLinkRule links,
                                    const std::function<void(cNewFileContent&)>& produce);
    cNewFileContent(int fd, const std::string& path, const std::string& target);
    void Flush();
    void WriteOut(std::string_view bytes);

    int m_Fd;
    const std::string& m_Path; // what errors name
    const std::string& m_Target;
    std::string m_Buffer;
    int64_t m_Written = 0;
};

/// WriteFileAtomically with the content written piece by piece by `produce` into the new file,
/// so that a large file is written in one pass and never held in memory whole. Whatever
/// `produce` throws ends the write: the temporary file is removed, the old file stays as it was
/// and the exception goes on to the caller.
void WriteFileAtomically(const std::string& path, eLinkRule links,
                         const std::function<void(cNewFileContent&)>& produce);

/// Creates a new, empty file for writing beside the target, in the same folder, with a hidden
/// name of the program's own that no other file has: "." + the target's file name +
/// ".tunaria-" + a number + ".tmp" (so a temporary beside "a.mp3" does not end in ".mp3", and
/// its leftovers are told from every other file: IsOwnTemporaryName); created with
/// O_EXCL|O_NOFOLLOW, so neither an existing file nor a link planted at that name is ever
/// written. The mode is subject to the umask. Answers the open descriptor and the temporary
/// file's path, or -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath,
                          mode_t mode = 0666);

/// Whether a folder entry's name has the form of CreateTemporaryBeside's names: "." + a name
/// + ".tunaria-" + one or more digits + ".tmp".
bool IsOwnTemporaryName(std::string_view name);

/// Removes the entry of the open folder when it is what a killed copy, move or save of the
/// program left behind: a name of IsOwnTemporaryName, a regular file or link of this user, not
/// modified for a minute (a copy under way keeps it fresh). Anything else stays.
/// Answers whether it removed the entry.
bool RemoveLeftoverTemporary(int folderFd, const char* name);

/// RemoveLeftoverTemporary for every entry of the folder. Best effort: a folder that cannot be
/// listed is left as it is.
void RemoveLeftoverTemporaries(const std::string& folder);

/// The file that the path names once symbolic links at its last component are followed (the
/// path itself when it is no link): the file to replace so that a link stays a link. Throws
/// EFileError when a link cannot be read or links loop.
std::string FileBehindLinks(const std::string& path);
/// FileBehindLinks by the rule eLinkRule::FollowToExistingOnly: also throws EFileError (naming
/// the path, with the reason) for a link whose target is missing and for a link in a sticky
/// folder that everyone may write to, owned neither by this user nor by the folder's owner.
std::string FileBehindLinksToExistingFile(const std::string& path);

/// Flushes the entry list of the folder holding the path, which makes a rename into that
/// folder durable. Best effort: file systems that cannot flush a folder are left as they are.
void FlushFolderOf(const std::string& path);

/// The whole content of the regular file at the path, or nothing when no file exists there
/// (a missing file or a missing folder on the way). Throws EFileError when the file exists but
/// cannot be read, is not a regular file (a folder, a pipe), or is longer than maxBytes.
std::optional<std::string> ReadFileIfExists(const std::string& path,
                                            size_t maxBytes = static_cast<size_t>(-1));

/// What stopped a copy of a file's bytes: the errno (0 when nothing did), whether it was the
/// reading of the source rather than the writing of the target, or the progress's cancel.
struct cCopyResult {
    int Error = 0;
    bool ReadFailed = false;
    bool Cancelled = false;
};

/// Hears how far a copy has come (the offset in the source reached so far) after each piece of
/// up to 1 MiB; false cancels the copy.
using cCopyProgress = std::function<bool(int64_t reached)>;

/// The one copy of a file's bytes, for every copy and move the program makes: copies the first
/// size bytes of the open source to the same places in the open, empty target and makes the
/// target that long. Holes of a sparse source stay holes (only its data, found with SEEK_DATA
/// and SEEK_HOLE, is copied); the data goes in the kernel where the file systems allow it.
/// A source that turns out shorter leaves the target as long as it was.
cCopyResult CopyFileData(int sourceFd, int targetFd, int64_t size,
                         const cCopyProgress& progress = {});

/// Copies the whole content of the open file into a new file at the path, created with
/// O_CREAT|O_EXCL|O_NOFOLLOW (an existing entry or a planted link is never written through)
/// with the source's permission bits, and flushed to the disk. Holes of a sparse file stay
/// holes. Throws EFileError (code EEXIST when the path is taken); a half-written copy is
/// removed.
void CopyToNewFile(int sourceFd, const std::string& path);
