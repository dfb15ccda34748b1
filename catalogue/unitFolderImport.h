#pragma once
// Adding a whole music tree at once: the chosen folder and every folder below it are scanned
// (ScanFolder), hidden folders left out, and each real folder once however many links lead to
// it; a link is followed only into the chosen tree, so neither a loop of links nor a link to
// the root of the disk can carry the walk away. Standard library only: the window shows the
// progress and the final message.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Where the walk stands, reported before each folder is scanned.
struct cImportProgress {
    int64_t FoldersDone = 0;
    /// Songs that joined the collection so far (new ones and ones that came back).
    int64_t SongsFound = 0;
    /// The folder about to be scanned, without a trailing separator.
    std::string CurrentFolder;
};

/// Answers false to stop the walk (the user cancelled).
using cImportProgressReport = std::function<bool(const cImportProgress&)>;

struct cUnreadableFolder {
    std::string Path;   ///< without a trailing separator
    std::string Reason; ///< the system's text: "Permission denied"
};

struct cImportResult {
    int64_t FoldersDone = 0;
    int64_t SongsFound = 0;
    bool Cancelled = false;
    /// Folders that could not be opened or listed, in the order met; their songs and the
    /// folders below them are left out.
    std::vector<cUnreadableFolder> UnreadableFolders;
    /// What the scans had to tell on the way (files that could not be read, a refused write of
    /// the catalogue), in order, kept for the end instead of a message box per folder.
    std::vector<std::string> ScanMessages;
};

/// Scans the folder and every folder below it, depth first, subfolders in the byte order of
/// their names. A symbolic link to a folder is followed only when the folder it leads to lies
/// inside the chosen tree (by their real paths) and is none of the folders on the way down to
/// the link; a folder already visited (the same device and inode) is not visited again. The
/// system's /proc, /sys and /dev (also where they are mounted elsewhere) are never entered; the
/// chosen folder being one of them is reported as unreadable. Folders whose names begin with
/// "." are left out; the chosen folder itself is scanned whatever its name. The catalogue is written once per folder,
/// as a scan writes it. The report is asked before each folder; when it answers false the walk
/// stops and everything added so far stays. Needs the open catalogue (std::logic_error).
cImportResult ImportFolderTree(const std::string& folder, const cImportProgressReport& report);

/// The progress window's text: "Folders done: 12", "Songs found: 345" and the current folder,
/// one to a line.
std::string ImportProgressText(const cImportProgress& progress);

/// The one message after the walk: the unreadable folders counted and named with their reasons
/// (at most 20, then how many more), then what the scans had to tell; empty when there is
/// nothing to tell.
std::string ImportReportText(const cImportResult& result);
