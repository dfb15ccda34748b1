// Where the program's files live: beside the program when its folder can be written, else in
// the user's data folder by the XDG rules; creating that folder; the first folder of the tree;
// the command line.

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "browser/unitCommandLine.h"
#include "support/private_mounts.h"
#include "support/song_fixtures.h"
#include "util/unitDataFolder.h"
#include "util/unitFileHandle.h"
#include "util/unitUtils.h"

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

/// The Problem a program folder holding a catalogue gives when it cannot be written.
std::string CannotBeWritten(const std::string& folder, const std::string& reason) {
    return "The songs database \"" + folder + "/DB.txt\" cannot be written: " + reason;
}

TEST(DataFolder, AFolderHoldingTheCatalogueStaysItsFolderWhetherWritableOrNot) {
    cTempFolder program;
    Touch(program / "DB.txt");
    EXPECT_EQ(ChooseDataFolder(program.Path(), "", "/home/ann").Folder, program.Path() + "/");
    // A dangling link is the catalogue's own open to refuse, with its message.
    ::unlink((program / "DB.txt").c_str());
    ASSERT_EQ(::symlink((program / "gone").c_str(), (program / "DB.txt").c_str()), 0);
    EXPECT_TRUE(ChooseDataFolder(program.Path(), "", "/home/ann").BesideProgram);
    ::unlink((program / "DB.txt").c_str());
    if (!cUnprivileged::Possible()) {
        GTEST_SKIP() << "permissions cannot be met here";
    }
    OpenToEveryone(program.Path());
    Touch(program / "DB.txt");
    // A catalogue the user may not write, then a folder that takes no new files (the settings
    // and every compaction are written beside the catalogue).
    ASSERT_EQ(::chmod((program / "DB.txt").c_str(), 0444), 0);
    {
        const cUnprivileged nobody;
        const cDataFolderChoice choice = ChooseDataFolder(program.Path(), "", "/home/ann");
        EXPECT_EQ(choice.Folder, "") << "never the user's data folder instead";
        EXPECT_EQ(choice.Problem, CannotBeWritten(program.Path(), "Permission denied"));
    }
    ASSERT_EQ(::chmod((program / "DB.txt").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(program.Path().c_str(), 0555), 0);
    {
        const cUnprivileged nobody;
        EXPECT_EQ(ChooseDataFolder(program.Path(), "", "/home/ann").Problem,
                  CannotBeWritten(program.Path(), "Permission denied"));
    }
    ::chmod(program.Path().c_str(), 0755);
}

// A stick that is write-protected, or full of blocks or of inodes: tmpfs mounts in a mount
// namespace of the test's own.
TEST(DataFolder, ACatalogueOnAReadOnlyOrFullDiskIsNamedWithTheReason) {
    cTempFolder root;
    struct cDiskCase {
        const char* options;
        const char* remount; ///< options of a second mount over the first, or none
        bool fill;
        const char* reason;
    };
    const cDiskCase cases[] = {
        {"size=1m", "remount,ro", false, "Read-only file system"},
        {"size=64k", nullptr, true, "No space left on device"},
        {"size=1m,nr_inodes=3", nullptr, true, "No space left on device"},
    };
    for (const cDiskCase& disk : cases) {
        const std::string stick = root / "stick";
        std::filesystem::create_directories(stick);
        const int code = RunWithPrivateMounts([&] {
            if (::mount("tmpfs", stick.c_str(), "tmpfs", 0, disk.options) != 0) {
                return 95;
            }
            Touch(stick + "/DB.txt");
            // Fill what is left: blocks with one large file, inodes with small ones.
            for (int i = 0; disk.fill && i < 100; ++i) {
                std::ofstream filler(stick + "/filler" + std::to_string(i), std::ios::binary);
                filler << std::string(16384, 'x');
            }
            if (disk.remount != nullptr &&
                ::mount("tmpfs", stick.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
                return 94;
            }
            const cDataFolderChoice choice = ChooseDataFolder(stick, "", "/home/ann");
            if (choice.Folder.empty() && choice.Problem == CannotBeWritten(stick, disk.reason)) {
                return 0;
            }
            std::fprintf(stderr, "%s: '%s' '%s'\n", disk.options, choice.Folder.c_str(),
                         choice.Problem.c_str());
            return 1;
        });
        if (code == kNoPrivateMounts || code == 95) {
            GTEST_SKIP() << "tmpfs cannot be mounted here (needs root and mount namespaces)";
        }
        EXPECT_EQ(code, 0) << disk.options;
    }
}

// Installed under a prefix (its bin/ beside the prefix's desktop entry), owned by another user,
// or built to: the user's data folder, also for root and also when the folder could be written
// and holds a catalogue.
TEST(DataFolder, AnInstalledProgramAlwaysUsesTheUserDataFolder) {
    cTempFolder prefix;
    const std::string bin = prefix / "bin";
    const std::string other = prefix / "libexec";
    for (const std::string& folder : {bin, other}) {
        std::filesystem::create_directories(folder);
        Touch(folder + "/DB.txt");
    }
    const uid_t me = ::geteuid();
    EXPECT_FALSE(IsInstalledProgramFolder(bin, me, false)) << "no desktop entry yet";
    Touch(prefix / "share/applications/org.tunaria.Tunaria.desktop");
    struct cInstallCase {
        std::string folder;
        uid_t user;
        bool byBuild;
        bool installed;
    };
    const cInstallCase cases[] = {
        {bin, me, false, true},       // the prefix's bin/ with the desktop entry beside it
        {bin + "/", me, false, true}, // as the program's folder is given: with a separator
        {other, me, false, false},    // the same prefix, another folder name
        {other, me + 1, false, true}, // a folder of another user
        {other, me, true, true},      // a build that says so
    };
    for (const cInstallCase& install : cases) {
        EXPECT_EQ(IsInstalledProgramFolder(install.folder, install.user, install.byBuild),
                  install.installed)
            << install.folder << " " << install.user << " " << install.byBuild;
        const cDataFolderChoice choice =
            ChooseDataFolder(install.folder, "/srv/data", "/root", install.user, install.byBuild);
        EXPECT_EQ(choice.Folder,
                  install.installed ? "/srv/data/tunaria/" : AddTrailingBackslash(install.folder));
        EXPECT_EQ(choice.BesideProgram, !install.installed);
    }
    EXPECT_NE(ChooseDataFolder(bin, "", "", me, false).Problem.find("no home folder is known"),
              std::string::npos);
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
