#pragma once
// Small stateless routines shared by the catalogue and the windows: path texts, the text of a
// byte count, a file's date and size, the join of a list of texts. Standard library only.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

/// The path separator of this platform. The routine names below keep their historic
/// "Backslash" names; they work with this separator.
inline constexpr char kPathDelim = '/';

/// A date-time: whole days since 30 December 1899 plus the fraction of the day, local time.
/// This is the form in which the catalogue stores a song's date.
using TDateTime = double;

/// "" stays ""; a text ending in the separator is returned unchanged; any other text gets one
/// separator appended.
std::string AddTrailingBackslash(std::string_view path);

/// Removes exactly one trailing separator. The root "/" is kept whole: it plays the part of a
/// drive and must never become an empty text.
std::string StripTrailingBackslash(std::string_view path);

/// The text of a byte count: below 1024 "n bytes"; below 1 MiB "x.xx KB"; else "x.xx MB",
/// two decimals rounded half away from zero, thousands grouped. Takes 64-bit totals (sums of
/// sizes) without overflow. The separators are the caller's (the GUI passes the locale's).
std::string FormatFileSize(int64_t byteCount, std::string_view decimalSeparator = ".",
                           std::string_view thousandsSeparator = ",");

/// Last-modified time of the entry at the path (file, folder, hidden or read-only) as a local
/// date-time with its sub-second part; the current local time when there is no such entry.
TDateTime ReadFileDate(const std::string& path);

/// Size of the file at the path as SizeField gives it; 0 when it does not exist.
int32_t ReadFileSize(const std::string& path);

/// A file size as the signed 32-bit Size of a song holds it: sizes of 2 GiB or more become its
/// largest value, 2,147,483,647, never a wrapped (negative or small) number.
int32_t SizeField(int64_t byteCount);

/// Sets the last-modified time of an existing file to exactly the given time (as stat gave it,
/// to the nanosecond), keeping its last-access time; a path without a file stays without one.
/// Failures are not reported.
void WriteFileTime(const std::string& path, const std::timespec& modified);

/// The current local date-time.
TDateTime NowDateTime();

/// A POSIX time (seconds and nanoseconds since the epoch, UTC) as a local date-time, through
/// the local time zone.
TDateTime DateTimeFromUnixTime(int64_t seconds, int32_t nanoseconds = 0);

/// The texts joined by the separator; leading empty texts leave no separator behind, later
/// empty texts do (("", "Rock", "Live") -> "Rock,Live"; ("Rock", "", "Live") -> "Rock,,Live").
std::string JoinStrings(const std::vector<std::string>& texts, std::string_view separator);

/// The folder part of a path: the text before its last separator, kept whole when that
/// separator is the root ("/music/a.mp3" -> "/music", "/a.mp3" -> "/", "/m//a.mp3" -> "/m/",
/// "a.mp3" -> ""). Also the "Folder" value of a song in queries and view modes.
std::string_view FolderPart(std::string_view path);

/// The file name part of a path: the text after its last separator, the whole text when it
/// has none ("/music/a.b.mp3" -> "a.b.mp3", "/music/" -> "").
std::string_view FileNamePart(std::string_view path);

/// The file name part without its extension, which starts at its last dot ("/m/a.b.mp3" ->
/// "a.b", "/m.d/noext" -> "noext", "/m/.mp3" -> ""). The FileName column shows this text.
std::string_view FileNameWithoutExtension(std::string_view path);

/// The folder part of a path as dropped-file copying compares it, which differs from
/// FolderPart for doubled separators: the text up to and including its last separator, then
/// that separator dropped unless it is the root's or follows another separator
/// ("/music/a.mp3" -> "/music", "/music/" -> "/music", "/a.mp3" -> "/", "/m//a.mp3" -> "/m//").
std::string CopyFolderPart(std::string_view path);

/// The paths that copying into the target folder must copy: every path whose folder part
/// differs (exactly, case-sensitive) from the target's, in order. Files and folders alike.
std::vector<std::string> PathsToCopyIntoFolder(const std::vector<std::string>& paths,
                                               std::string_view targetFolder);
