#include "browser/unitCommandLine.h"

#include "util/unitVersion.h"

cCommandLine ReadCommandLine(const std::vector<std::string>& arguments) {
    cCommandLine command;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            command.Help = true;
        } else if (argument == "--version") {
            command.Version = true;
        } else {
            command.Unknown.push_back(argument);
        }
    }
    return command;
}

std::string VersionText() {
    return std::string("Tunaria ") + kProgramVersion + "\n";
}

std::string HelpText(const cDataFolderChoice& dataFolder) {
    std::string text =
        "Usage: tunaria [--help | --version]\n"
        "\n"
        "Tunaria browses a personal MP3 collection: pick a folder in the folder list and its\n"
        "new MP3 files join the catalogue.\n"
        "\n"
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
