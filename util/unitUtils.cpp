#include "util/unitUtils.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

std::string AddTrailingBackslash(std::string_view path) {
    std::string result(path);
    if (!result.empty() && result.back() != kPathDelim) {
        result += kPathDelim;
    }
    return result;
}

std::string StripTrailingBackslash(std::string_view path) {
    if (path.size() > 1 && path.back() == kPathDelim) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

namespace {
// Digits of a non-negative number with the thousands separator between groups of three.
std::string GroupedDigits(uint64_t value, std::string_view thousandsSeparator) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3 * thousandsSeparator.size());
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += thousandsSeparator;
        }
        grouped += digits[i];
    }
    return grouped;
}

// count / unit with two decimals, rounded half away from zero on the exact quotient (the
// quotient of an integer by a power of two has a finite decimal expansion, so this is the
// rounding of its decimal digits).
std::string TwoDecimals(uint64_t count, uint64_t unit, std::string_view decimalSeparator,
                        std::string_view thousandsSeparator) {
    // Whole units and the rounded hundredths of the remainder; neither part can overflow.
    const uint64_t hundredths = count / unit * 100 + (count % unit * 200 + unit) / (unit * 2);
    const uint64_t whole = hundredths / 100;
    const auto fraction = static_cast<unsigned>(hundredths % 100);
    std::string text = GroupedDigits(whole, thousandsSeparator);
    text += decimalSeparator;
    text += static_cast<char>('0' + fraction / 10);
    text += static_cast<char>('0' + fraction % 10);
    return text;
}
} // namespace

std::string FormatFileSize(int64_t byteCount, std::string_view decimalSeparator,
                           std::string_view thousandsSeparator) {
    constexpr int64_t kKiB = 1024;
    constexpr int64_t kMiB = 1024 * 1024;
    if (byteCount < kKiB) {
        return std::to_string(byteCount) + " bytes";
    }
    const auto count = static_cast<uint64_t>(byteCount);
    if (byteCount < kMiB) {
        return TwoDecimals(count, kKiB, decimalSeparator, thousandsSeparator) + " KB";
    }
    return TwoDecimals(count, kMiB, decimalSeparator, thousandsSeparator) + " MB";
}

namespace {
constexpr double kSecondsPerDay = 86400.0;

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

// 1899-12-30, day 0 of a TDateTime, counted from 1970-01-01.
const int64_t kDateTimeEpochDays = DaysFromCivil(1899, 12, 30);

// The date-times that have a calendar date: 0001-01-01 up to the end of 9999-12-31.
constexpr double kFirstDate = -693593.0;
constexpr double kEndDate = 2958466.0;

// File systems with coarse time stamps keep a time to two seconds.
constexpr int64_t kStampTolerance = 2;
} // namespace

TDateTime DateTimeFromUnixTime(int64_t seconds, int32_t nanoseconds) {
    const auto time = static_cast<time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    const int64_t days =
        DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) -
        kDateTimeEpochDays;
    const double secondsOfDay =
        local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + nanoseconds / 1e9;
    return static_cast<double>(days) + secondsOfDay / kSecondsPerDay;
}

bool UnixTimeFromDateTime(TDateTime date, int64_t& seconds, int32_t& nanoseconds) {
    if (!(date >= kFirstDate && date < kEndDate)) {
        return false; // also not a number
    }
    // Whole microseconds of local time since day 0: a double holds a present-day date-time to
    // about a microsecond, so rounding there gives back exactly what was stored.
    const auto micros = static_cast<int64_t>(std::llround(date * kSecondsPerDay * 1e6));
    int64_t dayNumber = micros / 86400000000LL;
    int64_t microsOfDay = micros % 86400000000LL;
    if (microsOfDay < 0) {
        microsOfDay += 86400000000LL;
        --dayNumber;
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(dayNumber + kDateTimeEpochDays, year, month, day);
    const int64_t secondsOfDay = microsOfDay / 1000000;
    std::tm local{};
    local.tm_year = static_cast<int>(year - 1900);
    local.tm_mon = static_cast<int>(month) - 1;
    local.tm_mday = static_cast<int>(day);
    local.tm_hour = static_cast<int>(secondsOfDay / 3600);
    local.tm_min = static_cast<int>(secondsOfDay / 60 % 60);
    local.tm_sec = static_cast<int>(secondsOfDay % 60);
    local.tm_isdst = -1;
    local.tm_wday = -1; // mktime sets it on success only: -1 is also a valid result
    const time_t converted = std::mktime(&local);
    if (converted == static_cast<time_t>(-1) && local.tm_wday == -1) {
        return false;
    }
    seconds = static_cast<int64_t>(converted);
    nanoseconds = static_cast<int32_t>(microsOfDay % 1000000 * 1000);
    return true;
}

TDateTime NowDateTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return DateTimeFromUnixTime(now.tv_sec, static_cast<int32_t>(now.tv_nsec));
}

TDateTime ReadFileDate(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return NowDateTime();
    }
    return DateTimeFromUnixTime(info.st_mtim.tv_sec, static_cast<int32_t>(info.st_mtim.tv_nsec));
}

int32_t ReadFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    return SizeField(info.st_size);
}

int32_t SizeField(int64_t byteCount) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(byteCount, 0, std::numeric_limits<int32_t>::max()));
}

void WriteFileDate(const std::string& path, TDateTime date) {
    int64_t seconds = 0;
    int32_t nanoseconds = 0;
    struct stat before {};
    // stat and utimensat work on an existing entry only: a path without a file stays without.
    if (!UnixTimeFromDateTime(date, seconds, nanoseconds) || ::stat(path.c_str(), &before) != 0) {
        return;
    }
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT; // keep the last-access time
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = nanoseconds;
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        return;
    }
    // A file system clamps a time it cannot store (many hold only 1901 to 2038 or 2446) to the
    // nearest it can: put the old time back rather than leave an arbitrary one.
    struct stat after {};
    if (::stat(path.c_str(), &after) == 0 &&
        std::llabs(static_cast<int64_t>(after.st_mtim.tv_sec) - seconds) > kStampTolerance) {
        times[1] = before.st_mtim;
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

void WriteFileTime(const std::string& path, const std::timespec& modified) {
    const timespec times[2] = {{0, UTIME_OMIT}, modified};
    // utimensat never creates a file.
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string JoinStrings(const std::vector<std::string>& texts, std::string_view separator) {
    std::string result;
    for (const auto& text : texts) {
        if (!result.empty()) {
            result += separator;
        }
        result += text;
    }
    return result;
}

std::string_view FolderPart(std::string_view path) {
    const size_t slash = path.rfind(kPathDelim);
    if (slash == std::string_view::npos) {
        return {};
    }
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::string_view FileNamePart(std::string_view path) {
    return path.substr(path.rfind(kPathDelim) + 1); // npos + 1 == 0: the whole text
}

std::string_view FileNameWithoutExtension(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    return name.substr(0, name.rfind('.'));
}

std::string CopyFolderPart(std::string_view path) {
    const size_t slash = path.rfind(kPathDelim);
    if (slash == std::string_view::npos) {
        return {};
    }
    // Not FolderPart: the copy compares folders the way the shell's own copy names them, where
    // a separator that follows another one stays ("/m//a.mp3" is in "/m//", not in "/m/").
    // Up to and including the last separator, then that separator dropped unless it is the
    // root's or follows another separator.
    std::string_view folder = path.substr(0, slash + 1);
    if (folder.size() > 1 && folder[folder.size() - 2] != kPathDelim) {
        folder.remove_suffix(1);
    }
    return std::string(folder);
}

std::vector<std::string> PathsToCopyIntoFolder(const std::vector<std::string>& paths,
                                               std::string_view targetFolder) {
    const std::string target = CopyFolderPart(targetFolder);
    std::vector<std::string> toCopy;
    for (const auto& path : paths) {
        if (CopyFolderPart(path) != target) {
            toCopy.push_back(path);
        }
    }
    return toCopy;
}
