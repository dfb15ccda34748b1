#pragma once
// Giving a file a new path without ever replacing another file: one rename on one file system,
// a copy and a removal across file systems. Standard library and POSIX only.

#include <string>

/// Gives the file at `from` the path `to`. An entry already at `to` is never replaced: the move
/// fails with EEXIST. On one file system this is a single rename that the file system itself
/// refuses over an existing entry (or MoveFileByLink where it cannot). Across file systems the
/// file is copied (content, permission bits, owner where allowed, times), flushed to the disk,
/// and only then is the source removed; on any failure the source stays as it was and no copy
/// is left behind. Throws EFileError naming both paths and the reason.
void MoveFileNoReplace(const std::string& from, const std::string& to);

/// The move on one file system that cannot refuse to replace by itself: a second name by a hard
/// link (which the system refuses over an existing entry), then the old name removed. Where
/// the file system has no hard links, an empty file created exclusively at `to` holds the name
/// while the file is renamed over it. Throws EFileError as MoveFileNoReplace; EXDEV reaches
/// the caller unchanged.
void MoveFileByLink(const std::string& from, const std::string& to);
