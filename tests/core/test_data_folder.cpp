// Where the program's files live: beside the program when its folder can be written, else in
// the user's data folder by the XDG rules; creating that folder; the first folder of the tree;
// the command line.

#include <sys/stat.h>
#include <unistd.h>

#include "browser/unitCommandLine.h"
#include "support/song_fixtures.h"
#include "util/unitDataFolder.h"
#include "util/unitFileHandle.h"

using namespace song_fixtures;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(DataFolder, WritableProgramFolderKeepsTheFilesBesideIt) {
    cTempFolder program;
    const cDataFolderChoice choice = ChooseDataFolder(program.Path(), "/data", "/home/ann");
    EXPECT_EQ(choice.Folder, program.Path() + "/");
    EXPECT_TRUE(choice.BesideProgram);
    EXPECT_TRUE(program.Entries().empty()) << "the probe file is removed again";
}

TEST(DataFolder, UnwritableProgramFolderSendsTheFilesToTheUserDataFolder) {
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "permissions cannot be met here";
    }
    cTempFolder root;
    OpenToEveryone(root.Path());
    const std::string program = root / "bin";
    ASSERT_EQ(::mkdir(program.c_str(), 0555), 0);
    const cUnprivileged nobody;
    EXPECT_FALSE(IsWritableFolder(program));
    // XDG_DATA_HOME as set; unset, empty or relative (invalid by the rules): the default.
    const cDataFolderChoice set = ChooseDataFolder(program, "/srv/data/", "/home/ann");
    EXPECT_EQ(set.Folder, "/srv/data/tunaria/");
    EXPECT_FALSE(set.BesideProgram);
    EXPECT_EQ(ChooseDataFolder(program, "", "/home/ann").Folder, "/home/ann/.local/share/tunaria/");
    EXPECT_EQ(ChooseDataFolder(program, "data", "/home/ann/").Folder,
              "/home/ann/.local/share/tunaria/");
    // No home either: no folder, and a sentence saying why.
    const cDataFolderChoice none = ChooseDataFolder(program, "relative", "");
    EXPECT_TRUE(none.Folder.empty());
    EXPECT_NE(none.Problem.find("cannot be written"), std::string::npos) << none.Problem;
    EXPECT_NE(HelpText(none).find(none.Problem), std::string::npos);
    EXPECT_NE(HelpText(set).find("the user's data folder:\n  /srv/data/tunaria/\n"),
              std::string::npos)
        << HelpText(set);
}

TEST(DataFolder, CreatingMakesEveryMissingFolderPrivateOrSaysWhy) {
    cTempFolder root;
    const std::string folder = root / "share/deep/tunaria/";
    CreateDataFolder(folder);
    EXPECT_EQ(ModeOf(root / "share"), 0700u);
    EXPECT_EQ(ModeOf(root / "share/deep/tunaria"), 0700u);
    CreateDataFolder(folder); // there already: nothing to do

    Touch(root / "file");
    try {
        CreateDataFolder(root / "file/tunaria");
        ADD_FAILURE() << "a file stands where a folder belongs";
    } catch (const EFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Could not create the folder \"" + (root / "file") +
                                                 "\": A file of that name is in the way");
    }
    if (cUnprivileged::Possible()) {
        OpenToEveryone(root.Path());
        ASSERT_EQ(::chmod((root / "share").c_str(), 0555), 0);
        const cUnprivileged nobody;
        EXPECT_THROW(CreateDataFolder(root / "share/other/tunaria"), EFileError);
    }
}

TEST(DataFolder, FirstFolderIsTheMusicFolderWhenItIsThereElseHome) {
    cTempFolder root;
    const std::string music = root / "Music";
    ASSERT_EQ(::mkdir(music.c_str(), 0755), 0);
    ASSERT_EQ(::symlink(music.c_str(), (root / "linked").c_str()), 0);
    ASSERT_EQ(::symlink((root / "gone").c_str(), (root / "dangling").c_str()), 0);
    EXPECT_EQ(DefaultMusicFolder(music, "/home/ann"), music + "/");
    EXPECT_EQ(DefaultMusicFolder(root / "linked", "/home/ann"), root / "linked/");
    EXPECT_EQ(DefaultMusicFolder(root / "dangling", "/home/ann"), "/home/ann/");
    EXPECT_EQ(DefaultMusicFolder(root / "absent", "/home/ann"), "/home/ann/");
    EXPECT_EQ(DefaultMusicFolder("", "/home/ann"), "/home/ann/");
}

TEST(CommandLine, HelpAndVersionAreTakenEverythingElseIsNamed) {
    const cCommandLine command = ReadCommandLine({"-x", "--help", "--version"});
    EXPECT_TRUE(command.Help);
    EXPECT_TRUE(command.Version);
    EXPECT_EQ(command.Unknown, (std::vector<std::string>{"-x"}));
    EXPECT_TRUE(ReadCommandLine({"-h"}).Help);
    EXPECT_EQ(UnknownArgumentsText({"-x"}),
              "tunaria: unknown argument '-x'\nTry 'tunaria --help' for more information.\n");
    EXPECT_EQ(ExecutableFolder().substr(ExecutableFolder().size() - 7), "/tests/");
}

} // namespace
