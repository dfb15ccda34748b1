#pragma once
// The desktop's trash as the freedesktop.org trash rules lay it out, written by the program
// itself: a file goes into the trash of its own file system (a rename, never a copy), with an
// info file that names where it came from and when it went, so that any file manager lists it
// and can put it back. Standard library and POSIX only.
//
// Which trash takes a file:
// - a file on the file system of the user's data folder: the home trash, $XDG_DATA_HOME/Trash
//   (~/.local/share/Trash when XDG_DATA_HOME is unset or not absolute);
// - a file on another file system, mounted at $topdir: $topdir/.Trash/$uid when $topdir/.Trash
//   is a folder with the sticky bit and no symbolic link, else (or when $uid cannot be made
//   there) $topdir/.Trash-$uid.
// Missing trash folders are made (0700). A trash is taken only when it, its "files" and its
// "info" are real folders (no links), and a top-folder trash only when it belongs to the user.

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

/// What became of a file sent to the trash.
enum class eTrashOutcome {
    kTrashed,   ///< it lies in the trash now, with its info file
    kGone,      ///< there was no file at the path (nothing to do)
    kFileStays, ///< the file cannot leave its folder at all (deleting it would fail too)
    kNoTrash,   ///< no trash can take it; it is where it was
};

struct cTrashResult {
    eTrashOutcome Outcome = eTrashOutcome::kTrashed;
    /// Why the file is not in the trash: "the trash folder "/home/ann/.local/share/Trash/info"
    /// cannot be written: Permission denied". Empty for kTrashed and kGone.
    std::string Reason;
};

/// The user whose trash takes the files.
struct cTrashUser {
    /// The home trash folder ($XDG_DATA_HOME/Trash).
    std::string HomeTrash;
    /// The user id that names top-folder trashes and owns them. 0 (root) also passes the
    /// checks of who may remove a file from a folder with the sticky bit.
    uid_t Uid = 0;
};

/// The user of this process: the home trash after XDG_DATA_HOME (or HOME, or the password
/// database) and the effective user id.
cTrashUser TrashUserOfThisProcess();

/// Moves the file (or link, or folder) at the path, which must be absolute, into the user's
/// trash of its file system. Nothing is ever copied, replaced or deleted: the file either
/// lies in the trash with its info file, or stays where it was and the reason says why. Every
/// step is bounded (at most kTrashNameTries names are tried), so a trash that refuses ends the
/// call with the refusal instead of a wait.
cTrashResult MoveFileToTrash(const std::string& path, const cTrashUser& user);

/// MoveFileToTrash for each path, in order; each folder and each trash is looked at once for
/// all of them (a trash folder removed meanwhile refuses the files that follow).
std::vector<cTrashResult> MoveFilesToTrash(const std::vector<std::string>& paths,
                                           const cTrashUser& user);

/// How many names a file may try in the trash before the trash counts as refusing it.
inline constexpr int kTrashNameTries = 100;

/// The bytes of the text with every byte but the letters, digits, "-", ".", "_", "~" and "/"
/// written as "%" and two upper-case hex digits: the trash info's Path, byte for byte,
/// whether or not the name is valid UTF-8.
std::string PercentEncodedPath(std::string_view path);

/// The info file of a trashed file: "[Trash Info]", "Path=" + the encoded path, and
/// "DeletionDate=" + the local time as YYYY-MM-DDThh:mm:ss, each line ended by "\n".
std::string TrashInfoText(std::string_view path, time_t deletedAt);
