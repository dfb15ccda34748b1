#include "util/unitUtils.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
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
constexpr int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// 1899-12-30, day 0 of a TDateTime, counted from 1970-01-01.
constexpr int64_t kDateTimeEpochDays = DaysFromCivil(1899, 12, 30);
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
