#include "util/unitFileCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>

#include "util/unitAtomicFile.h"
#include "util/unitFileHandle.h"
#include "util/unitFileMove.h"
#include "util/unitMessages.h"
#include "util/unitTextUtils.h"
#include "util/unitUtils.h"

namespace {

/// At most this many failures are named in the report at the end; the rest are counted.
constexpr size_t kMaxNamedErrors = 20;
constexpr std::string_view kCouldNotCopy = "Could not copy";

enum class eItemKind { Folder, File, Link };

/// One entry of the copy, planned before the first byte moves so that the progress knows the
/// whole of it.
struct cCopyItem {
    eItemKind Kind = eItemKind::File;
    std::string Source;
    std::string Target;
    uint64_t Size = 0;
};

struct cDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

/// The path with its trailing separators removed ("/" stays).
std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == kPathDelim) {
        path.pop_back();
    }
    return path;
}

std::string Joined(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != kPathDelim) {
        path += kPathDelim;
    }
    path += name;
    return path;
}

/// The plan of a copy: every folder before what it holds, in name order.
class cCopyPlanner {
public:
    cCopyPlanner(cCopyObserver& observer, cCopyOutcome& outcome)
        : m_Observer(observer), m_Outcome(outcome) {}

    /// Adds the source (links followed) and, for a folder, all it holds. False when cancelled.
    bool AddSource(const std::string& source, const std::string& targetFolder) {
        const std::string path = WithoutTrailingSeparators(source);
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            Fail(EFileError(errno, kCouldNotCopy, path));
            return true;
        }
        return AddEntry(path, info, Joined(targetFolder, FileNamePart(path)));
    }

    std::vector<cCopyItem> Items;
    uint64_t TotalBytes = 0;
    size_t FileCount = 0;

private:
    bool AddEntry(const std::string& source, const struct stat& info, const std::string& target) {
        if (S_ISLNK(info.st_mode)) {
            Items.push_back({eItemKind::Link, source, target, 0});
            ++FileCount;
        } else if (S_ISREG(info.st_mode)) {
            Items.push_back({eItemKind::File, source, target, static_cast<uint64_t>(info.st_size)});
            TotalBytes += static_cast<uint64_t>(info.st_size);
            ++FileCount;
        } else if (S_ISDIR(info.st_mode)) {
            Items.push_back({eItemKind::Folder, source, target, 0});
            return AddFolderContent(source, target);
        } else {
            Fail(EFileError(EINVAL, kCouldNotCopy, source,
                            "it is neither a file nor a folder (a pipe, device or socket)"));
        }
        return true;
    }

    bool AddFolderContent(const std::string& folder, const std::string& target) {
        // Listing a large tree takes a while: the user may cancel already.
        cCopyStep listing;
        listing.File = folder;
        if (!m_Observer.CopyProgress(listing)) {
            return false;
        }
        const std::unique_ptr<DIR, cDirCloser> dir(::opendir(folder.c_str()));
        if (!dir) {
            Fail(EFileError(errno, kCouldNotCopy, folder));
            return true;
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") {
                names.emplace_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = Joined(folder, name);
            struct stat info {};
            if (::lstat(path.c_str(), &info) != 0) {
                Fail(EFileError(errno, kCouldNotCopy, path));
            } else if (!AddEntry(path, info, Joined(target, name))) {
                return false;
            }
        }
        return true;
    }

    void Fail(const EFileError& error) { m_Outcome.Errors.emplace_back(error.what()); }

    cCopyObserver& m_Observer;
    cCopyOutcome& m_Outcome;
};

/// The answers given "for all" so far.
struct cReplaceRule {
    bool ReplaceAll = false;
    bool SkipAll = false;
};

enum class eStepResult { Done, Skipped, Cancelled };

/// Copies the planned items one by one, reporting progress and asking before replacing.
class cCopier {
public:
    cCopier(cCopyObserver& observer, cCopyOutcome& outcome, const cCopyPlanner& plan)
        : m_Observer(observer), m_Outcome(outcome) {
        m_Step.FileCount = plan.FileCount;
        m_Step.BytesTotal = plan.TotalBytes;
    }

    void Run(const std::vector<cCopyItem>& items) {
        for (const cCopyItem& item : items) {
            if (InsideFailedFolder(item.Target)) {
                continue; // its folder could not be made: that failure was reported
            }
            eStepResult result = eStepResult::Done;
            try {
                result = item.Kind == eItemKind::Folder ? MakeFolder(item) : CopyEntry(item);
            } catch (const EFileError& error) {
                m_Outcome.Errors.emplace_back(error.what());
                if (item.Kind == eItemKind::Folder) {
                    m_FailedFolder = item.Target;
                }
                continue;
            }
            if (result == eStepResult::Cancelled) {
                m_Outcome.Cancelled = true;
                break;
            }
            if (result == eStepResult::Done && item.Kind != eItemKind::Folder) {
                ++m_Outcome.FilesCopied;
                m_RenamedIn.insert(std::string(FolderPart(item.Target)));
            }
        }
        // The renames become durable: until now a crash could lose one, which leaves the
        // complete temporary file behind, never a torn song.
        for (const std::string& folder : m_RenamedIn) {
            FlushFolderOf(Joined(folder, "."));
        }
    }

private:
    bool InsideFailedFolder(const std::string& target) const {
        return !m_FailedFolder.empty() && target.size() > m_FailedFolder.size() &&
               target.compare(0, m_FailedFolder.size(), m_FailedFolder) == 0 &&
               target[m_FailedFolder.size()] == kPathDelim;
    }

    eStepResult MakeFolder(const cCopyItem& item) {
        if (::mkdir(item.Target.c_str(), 0777) == 0) {
            return eStepResult::Done;
        }
        const int error = errno;
        struct stat existing {};
        if (error == EEXIST && ::stat(item.Target.c_str(), &existing) == 0 &&
            S_ISDIR(existing.st_mode)) {
            RemoveLeftoverTemporaries(item.Target); // what a killed copy into it left
            return eStepResult::Done;               // a folder of that name is filled
        }
        throw EFileError(error, kCouldNotWrite, item.Target);
    }

    eStepResult CopyEntry(const cCopyItem& item) {
        ++m_Step.FileNumber;
        m_Step.File = item.Source;
        if (!m_Observer.CopyProgress(m_Step)) {
            return eStepResult::Cancelled;
        }
        bool replacing = false;
        struct stat existing {};
        if (::lstat(item.Target.c_str(), &existing) == 0) {
            const eStepResult decision = DecideOnExisting(item, existing);
            if (decision != eStepResult::Done) {
                m_Step.BytesDone += item.Size;
                return decision;
            }
            replacing = true;
        }
        std::string temporary;
        eStepResult result = eStepResult::Done;
        try {
            if (item.Kind == eItemKind::Link) {
                temporary = LinkBeside(item);
            } else {
                result = CopyFileBeside(item, temporary);
            }
            if (result == eStepResult::Done) {
                PutInPlace(temporary, item.Target, replacing);
            }
        } catch (const EFileError&) {
            if (!temporary.empty()) {
                ::unlink(temporary.c_str());
            }
            throw;
        }
        if (result == eStepResult::Cancelled) {
            ::unlink(temporary.c_str());
        }
        return result;
    }

    /// Something is at the target path already: Done to replace it, else Skipped or Cancelled.
    eStepResult DecideOnExisting(const cCopyItem& item, const struct stat& existing) {
        if (S_ISDIR(existing.st_mode)) {
            throw EFileError(EISDIR, kCouldNotWrite, item.Target, "a folder of that name is there");
        }
        struct stat source {};
        if (::stat(item.Source.c_str(), &source) == 0 && source.st_dev == existing.st_dev &&
            source.st_ino == existing.st_ino) {
            return eStepResult::Skipped; // the file itself
        }
        if (m_Rule.ReplaceAll) {
            return eStepResult::Done;
        }
        if (m_Rule.SkipAll) {
            return eStepResult::Skipped;
        }
        switch (m_Observer.AskReplace(item.Target)) {
        case eReplaceAnswer::ReplaceAll:
            m_Rule.ReplaceAll = true;
            [[fallthrough]];
        case eReplaceAnswer::Replace:
            return eStepResult::Done;
        case eReplaceAnswer::SkipAll:
            m_Rule.SkipAll = true;
            [[fallthrough]];
        case eReplaceAnswer::Skip:
            return eStepResult::Skipped;
        case eReplaceAnswer::Cancel:
            break;
        }
        return eStepResult::Cancelled;
    }

    /// The link's text as a new link under a temporary name beside the target.
    std::string LinkBeside(const cCopyItem& item) {
        std::string text(PATH_MAX, '\0');
        const ssize_t length = ::readlink(item.Source.c_str(), text.data(), text.size());
        if (length < 0) {
            throw EFileError(errno, kCouldNotRead, item.Source);
        }
        text.resize(static_cast<size_t>(length));
        std::string temporary;
        // A free name first (created and removed), then the link in its place.
        cFileHandle placeholder(CreateTemporaryBeside(item.Target, temporary));
        if (!placeholder.IsOpen()) {
            throw EFileError(errno, kCouldNotWrite, item.Target);
        }
        ::unlink(temporary.c_str());
        if (::symlink(text.c_str(), temporary.c_str()) != 0) {
            throw EFileError(errno, kCouldNotWrite, item.Target);
        }
        return temporary;
    }

    /// The file's bytes into a new temporary file beside the target, which gets the source's
    /// modification time. Sets temporary as soon as that file exists.
    eStepResult CopyFileBeside(const cCopyItem& item, std::string& temporary) {
        const cRegularFile in = OpenRegularFile(item.Source, O_RDONLY, kCouldNotRead);
        cFileHandle out(CreateTemporaryBeside(item.Target, temporary, in.Info.st_mode & 0777));
        if (!out.IsOpen()) {
            temporary.clear();
            throw EFileError(errno, kCouldNotWrite, item.Target);
        }
        const uint64_t startOfFile = m_Step.BytesDone;
        const cCopyResult copied =
            CopyFileData(in.Handle.Get(), out.Get(), in.Size(), [&](int64_t reached) {
                m_Step.BytesDone = startOfFile + static_cast<uint64_t>(reached);
                return m_Observer.CopyProgress(m_Step);
            });
        if (copied.Cancelled) {
            return eStepResult::Cancelled;
        }
        if (copied.Error != 0) {
            throw EFileError(copied.Error, copied.ReadFailed ? kCouldNotRead : kCouldNotWrite,
                             copied.ReadFailed ? item.Source : item.Target);
        }
        // The planned size counts, whatever the file holds now, so the total stays right.
        m_Step.BytesDone = startOfFile + item.Size;
        const timespec times[2] = {{0, UTIME_OMIT}, in.Info.st_mtim};
        if (::futimens(out.Get(), times) != 0) {
            throw EFileError(errno, kCouldNotWrite, item.Target);
        }
        if (const int closeError = out.Close(); closeError != 0) {
            throw EFileError(closeError, kCouldNotWrite, item.Target);
        }
        return eStepResult::Done;
    }

    /// Renames the complete temporary file to the target. Replacing only when asked to: a file
    /// that appeared at the target meanwhile is never overwritten unasked.
    void PutInPlace(const std::string& temporary, const std::string& target, bool replacing) {
        if (replacing) {
            if (::rename(temporary.c_str(), target.c_str()) != 0) {
                throw EFileError(errno, kCouldNotWrite, target);
            }
            return;
        }
        try {
            MoveFileNoReplace(temporary, target);
        } catch (const EFileError& error) {
            throw EFileError(error.code().value(), kCouldNotWrite, target);
        }
    }

    cCopyObserver& m_Observer;
    cCopyOutcome& m_Outcome;
    cCopyStep m_Step;
    cReplaceRule m_Rule;
    std::string m_FailedFolder;
    std::set<std::string> m_RenamedIn; ///< folders whose entries changed
};

/// The path with links, "." and ".." resolved; the path itself when it cannot be resolved.
std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved)
                                              : WithoutTrailingSeparators(path);
}

} // namespace

std::string CopyIntoItselfRefusal(const std::vector<std::string>& sources,
                                  const std::string& targetFolder) {
    const std::string target = ResolvedPath(targetFolder);
    for (const std::string& source : sources) {
        struct stat info {};
        if (::stat(source.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            continue;
        }
        const std::string folder = ResolvedPath(source);
        const bool inside =
            target == folder || (target.compare(0, folder.size(), folder) == 0 &&
                                 (folder == "/" || target[folder.size()] == kPathDelim));
        if (inside) {
            return "Cannot copy \"" + WithoutTrailingSeparators(source) + "\" into \"" +
                   StripTrailingBackslash(targetFolder) +
                   "\": a folder cannot be copied into itself or into one of its subfolders.";
        }
    }
    return {};
}

cCopyOutcome CopyIntoFolder(const std::vector<std::string>& sources,
                            const std::string& targetFolder, cCopyObserver& observer) {
    cCopyOutcome outcome;
    if (std::string refusal = CopyIntoItselfRefusal(sources, targetFolder); !refusal.empty()) {
        outcome.Errors.push_back(std::move(refusal));
        return outcome;
    }
    cCopyPlanner plan(observer, outcome);
    for (const std::string& source : sources) {
        if (!plan.AddSource(source, targetFolder)) {
            outcome.Cancelled = true;
            return outcome;
        }
    }
    RemoveLeftoverTemporaries(targetFolder); // what a killed copy into it left
    cCopier(observer, outcome, plan).Run(plan.Items);
    return outcome;
}

std::string CopyErrorsText(const std::vector<std::string>& errors) {
    return ListedLinesMessage("Some files could not be copied:", errors, kMaxNamedErrors);
}

void CopyFilesIntoFolder(const std::vector<std::string>& paths, const std::string& targetFolder,
                         const std::function<std::unique_ptr<cCopyObserver>()>& openProgress) {
    const std::vector<std::string> toCopy = PathsToCopyIntoFolder(paths, targetFolder);
    if (toCopy.empty()) {
        return;
    }
    if (const std::string refusal = CopyIntoItselfRefusal(toCopy, targetFolder); !refusal.empty()) {
        ShowMessage(refusal);
        return;
    }
    cCopyOutcome outcome;
    {
        const std::unique_ptr<cCopyObserver> progress = openProgress();
        outcome = CopyIntoFolder(toCopy, targetFolder, *progress);
    }
    if (!outcome.Errors.empty()) {
        ShowMessage(CopyErrorsText(outcome.Errors));
    }
}
