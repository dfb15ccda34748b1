#include "browser/unitCommandLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/unitUtils.h"
#include "util/unitVersion.h"

namespace {

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == kPathDelim;
}

/// The absolute path with empty and "." parts dropped and each ".." taking away the part
/// before it (never above the root), with a trailing separator: how a folder named by a user
/// reads in the folder tree.
std::string CleanFolderPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(kPathDelim, start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string clean(1, kPathDelim);
    for (const std::string& part : parts) {
        clean += part;
        clean += kPathDelim;
    }
    return clean;
}

std::string FolderFromArgument(const std::string& argument, const std::string& currentFolder) {
    if (IsAbsolute(argument)) {
        return CleanFolderPath(argument);
    }
    if (IsAbsolute(currentFolder)) {
        return CleanFolderPath(AddTrailingBackslash(currentFolder) + argument);
    }
    return argument;
}

} // namespace

cCommandLine ReadCommandLine(const std::vector<std::string>& arguments,
                             const std::string& currentFolder) {
    cCommandLine command;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        const bool option = !optionsEnded && !argument.empty() && argument.front() == '-';
        if (option && argument == "--") {
            optionsEnded = true;
        } else if (option && (argument == "--help" || argument == "-h")) {
            command.Help = true;
        } else if (option && argument == "--version") {
            command.Version = true;
        } else if (!option && !argument.empty() && command.Folder.empty()) {
            command.Folder = FolderFromArgument(argument, currentFolder);
        } else {
            command.Unknown.push_back(argument);
        }
    }
    return command;
}

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string FolderArgumentProblem(const std::string& folder) {
    if (!IsAbsolute(folder)) {
        return "tunaria: cannot find the folder '" + folder +
               "': the current folder is unknown; name it from the root\n";
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return "tunaria: cannot open the folder '" + StripTrailingBackslash(folder) +
               "': " + std::strerror(errno) + "\n";
    }
    if (!S_ISDIR(info.st_mode)) {
        return "tunaria: '" + StripTrailingBackslash(folder) + "' is not a folder\n";
    }
    return {};
}

std::string VersionText() {
    return std::string("Tunaria ") + kProgramVersion + "\n";
}

std::string HelpText(const cDataFolderChoice& dataFolder) {
    std::string text =
        "Usage: tunaria [--help | --version] [FOLDER]\n"
        "\n"
        "Tunaria browses a personal MP3 collection: pick a folder in the folder list and its\n"
        "new MP3 files join the catalogue.\n"
        "\n"
        "  FOLDER         start with this folder selected (its new MP3 files join the\n"
        "                 catalogue); when Tunaria runs already, its window comes to the\n"
        "                 front and selects the folder\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "\n";
    if (dataFolder.Folder.empty()) {
        return text + dataFolder.Problem + "\n";
    }
    text += "The catalogue (DB.txt), the settings (Options.ini) and the groups (Groups.txt) are\n"
            "kept in ";
    text += dataFolder.BesideProgram ? "the program's own folder:\n" : "the user's data folder:\n";
    return text + "  " + dataFolder.Folder + "\n";
}

std::string UnknownArgumentsText(const std::vector<std::string>& unknown) {
    std::string text = "tunaria: ";
    text += unknown.size() == 1 ? "unknown argument" : "unknown arguments";
    for (const std::string& argument : unknown) {
        text += " '" + argument + "'";
    }
    return text + "\nTry 'tunaria --help' for more information.\n";
}
