// The folder named on the command line: which argument names it, how it is made absolute, and
// why it may not be started with.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "browser/unitCommandLine.h"
#include "support/temp_folder.h"

namespace {

using Texts = std::vector<std::string>;

struct cArgumentsCase {
    Texts Arguments;
    std::string CurrentFolder;
    std::string Folder;
    Texts Unknown;
};

TEST(CommandLine, TheFirstFolderArgumentIsMadeAbsoluteAndClean) {
    const cArgumentsCase cases[] = {
        {{}, "/home/ann", "", {}},
        {{"/srv/music"}, "/home/ann", "/srv/music/", {}},
        {{"/srv/music/"}, "/", "/srv/music/", {}},
        {{"Music"}, "/home/ann", "/home/ann/Music/", {}},
        {{"Music"}, "/home/ann/", "/home/ann/Music/", {}},
        {{"."}, "/home/ann", "/home/ann/", {}},
        {{"../bob/./Songs//"}, "/home/ann", "/home/bob/Songs/", {}},
        {{"../../../.."}, "/home/ann", "/", {}},
        {{"/"}, "/home/ann", "/", {}},
        // Names keep their bytes, whatever they are.
        {{"Caf\xE9 M\xFCsic"}, "/m", "/m/Caf\xE9 M\xFCsic/", {}},
        // Only one folder; options stay options wherever they stand.
        {{"/a", "/b"}, "/", "/a/", {"/b"}},
        {{"/a", "-x", "--help"}, "/", "/a/", {"-x"}},
        // After "--" a name that starts with "-" is a folder.
        {{"--", "-songs"}, "/m", "/m/-songs/", {}},
        {{"--", "--help"}, "/m", "/m/--help/", {}},
        {{"-", "/a"}, "/", "/a/", {"-"}},
        {{""}, "/m", "", {""}},
        // Without a current folder a relative name stays as given (and is refused later).
        {{"Music"}, "", "Music", {}},
    };
    for (const cArgumentsCase& test : cases) {
        const cCommandLine command = ReadCommandLine(test.Arguments, test.CurrentFolder);
        const std::string shown = test.Arguments.empty() ? "(none)" : test.Arguments[0];
        EXPECT_EQ(command.Folder, test.Folder) << shown;
        EXPECT_EQ(command.Unknown, test.Unknown) << shown;
    }
    EXPECT_TRUE(ReadCommandLine({"/a", "--help"}, "/").Help);
    EXPECT_FALSE(ReadCommandLine({"--", "--help"}, "/").Help);
}

TEST(CommandLine, OnlyAnExistingFolderCanBeStartedWith) {
    cTempFolder root;
    ::mkdir((root / "Songs").c_str(), 0755);
    std::ofstream(root / "song.mp3") << "x";
    EXPECT_EQ(FolderArgumentProblem(root / "Songs/"), "");
    EXPECT_EQ(FolderArgumentProblem("/"), "");
    EXPECT_EQ(FolderArgumentProblem(root / "absent/"),
              "tunaria: cannot open the folder '" + (root / "absent") +
                  "': No such file or directory\n");
    EXPECT_EQ(FolderArgumentProblem(root / "song.mp3/"),
              "tunaria: cannot open the folder '" + (root / "song.mp3") + "': Not a directory\n");
    EXPECT_EQ(FolderArgumentProblem(root / "song.mp3"),
              "tunaria: '" + (root / "song.mp3") + "' is not a folder\n");
    EXPECT_NE(FolderArgumentProblem("Songs").find("the current folder is unknown"),
              std::string::npos);
}

TEST(CommandLine, HelpNamesTheFolderArgument) {
    const std::string help = HelpText(cDataFolderChoice{"/d/", true, ""});
    EXPECT_EQ(help.rfind("Usage: tunaria [--help | --version] [FOLDER]\n", 0), 0) << help;
    EXPECT_NE(help.find("\n  FOLDER         start with this folder selected"), std::string::npos)
        << help;
}

} // namespace
