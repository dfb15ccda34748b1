#pragma once
// Copying files and folders into a folder, as files dropped on the program are copied: folders
// with everything in them, a question before a file of the same name is replaced, progress
// reports that can cancel the copy, every failure collected for one report at the end.
//
// Each file is written under a hidden temporary name in the target folder and renamed to its
// own name only when all of it was written: a cancel, a crash of the program or a full disk
// never leaves a truncated file under the name of a song (the temporary name does not end in
// ".mp3", so no folder scan takes it for one). The bytes are not forced to the disk file by
// file, which would make a copy many times slower than the file manager's; they reach it with
// the system's write-back, as every copy's do. Standard library only; the windows show the
// progress, the question and the report.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

/// The answer to "a file of that name is in the target folder already".
enum class eReplaceAnswer { Replace, Skip, ReplaceAll, SkipAll, Cancel };

/// Where a copy stands, as its progress report shows it.
struct cCopyStep {
    std::string File;        ///< the source path of the file being copied
    size_t FileNumber = 0;   ///< counted from 1
    size_t FileCount = 0;    ///< files of the whole copy
    uint64_t BytesDone = 0;  ///< of the whole copy
    uint64_t BytesTotal = 0; ///< of the whole copy
};

/// What the copy asks of the user while it runs.
class cCopyObserver {
public:
    virtual ~cCopyObserver() = default;
    /// Reported before each file and repeatedly while a file is copied; false cancels the copy.
    virtual bool CopyProgress(const cCopyStep& step) = 0;
    /// The target path holds a file already: replace it or keep it (for this file or all).
    virtual eReplaceAnswer AskReplace(const std::string& target) = 0;
};

struct cCopyOutcome {
    /// One text per failure, each naming the file and why (a copy that failed is skipped and
    /// the copy goes on with the next file).
    std::vector<std::string> Errors;
    size_t FilesCopied = 0;
    bool Cancelled = false;
};

/// Copies each source (a file, or a folder with everything below it) into the target folder,
/// under its own name. A source that is a symbolic link is followed; links inside a copied
/// folder are copied as links (so a link to a folder above it cannot make the copy endless).
/// Files keep their modification time and permission bits (less the umask). A folder that
/// exists in the target already is filled; a file that exists is replaced or skipped as the
/// observer answers; a file that is the source itself is left alone. Pipes, devices and
/// sockets are not copied and count as failures. Nothing is copied when a source folder
/// holds the target folder (see CopyIntoItselfRefusal): the outcome then carries that text.
cCopyOutcome CopyIntoFolder(const std::vector<std::string>& sources,
                            const std::string& targetFolder, cCopyObserver& observer);

/// The message refusing a copy in which a source folder would be copied into itself: the
/// target folder is that folder or lies below it (compared after links and "." and ".." are
/// resolved). Empty when no source folder holds the target folder.
std::string CopyIntoItselfRefusal(const std::vector<std::string>& sources,
                                  const std::string& targetFolder);

/// The one message that names the failures of a copy (at most a screenful of them; the rest
/// are counted).
std::string CopyErrorsText(const std::vector<std::string>& errors);

/// Files dropped on the program: the paths whose folder part is not the target folder's own
/// (PathsToCopyIntoFolder) are copied into it. When none is left nothing happens at all.
/// Otherwise a copy that would put a folder into itself is refused with a message; else the
/// progress is opened for the copy (openProgress gives the observer, which lives as long as
/// the copy) and the failures are shown in one message at the end (util/unitMessages).
void CopyFilesIntoFolder(const std::vector<std::string>& paths, const std::string& targetFolder,
                         const std::function<std::unique_ptr<cCopyObserver>()>& openProgress);
