#pragma once
// Where the program keeps its files (DB.txt, Options.ini, Groups.txt). A program unpacked into
// a folder of its own keeps them beside itself, and a folder that holds a catalogue stays the
// catalogue's folder: when it cannot be written the program says so instead of starting afresh
// somewhere else. An installed program (a prefix's bin/ beside the prefix's desktop entry, a
// folder of another user, or a build that says so) keeps them in the user's data folder,
// "$XDG_DATA_HOME/tunaria/", by the XDG rules "~/.local/share/tunaria/" when that variable is
// not set; so does a program whose folder cannot be written and holds no catalogue. Standard
// library only.

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <string_view>

/// Whether the build asks for the user's data folder whatever the program's folder (a package
/// that installs the program elsewhere than in a prefix's bin/): CMake option
/// TUNARIA_USER_DATA_FOLDER.
bool UserDataFolderByBuild();

/// The folders the main window starts with.
struct cProgramFiles {
    /// The folder of DB.txt, Options.ini and Groups.txt, with a trailing separator.
    std::string DataFolder;
    /// The folder the folder tree selects when the settings name none, with a trailing
    /// separator.
    std::string DefaultFolder;
};

/// Where the files go, or why no place could be found.
struct cDataFolderChoice {
    /// With a trailing separator; empty when no folder can be named (see Problem).
    std::string Folder;
    /// The program folder itself (writable), so nothing needs to be created.
    bool BesideProgram = false;
    /// Why no folder can be named: a complete sentence for the user.
    std::string Problem;
};

/// 0 when files can be written in the folder: a probe file is created there, one byte written
/// and the file removed at once; else the errno of the refusal (EACCES, EROFS, ENOSPC for a
/// disk without a free block or inode, EDQUOT). Permissions, access control lists and
/// read-only mounts all answer this way. An empty path names no folder (ENOENT).
int FolderWriteError(const std::string& folder);
/// FolderWriteError(folder) == 0.
bool IsWritableFolder(const std::string& folder);

/// The base folder of the user's data files by the XDG rules: xdgDataHome when it is an
/// absolute path; when it is empty (unset) or relative (which the rules call invalid) the
/// default home + "/.local/share". Empty when home is not an absolute path either.
std::string UserDataHome(std::string_view xdgDataHome, std::string_view home);

/// Whether the program folder is an installed program's, which never keeps the user's files:
/// the build says so, or the folder is owned by another user than `user`, or it is named "bin"
/// and the prefix above it holds the program's desktop entry
/// ("share/applications/org.tunaria.Tunaria.desktop").
bool IsInstalledProgramFolder(const std::string& programFolder, uid_t user,
                              bool userFolderByBuild = UserDataFolderByBuild());

/// Where the files go, in this order:
/// - an installed program (IsInstalledProgramFolder for `user`): UserDataHome + "tunaria/";
/// - a program folder that holds DB.txt (a link counts too): that folder, when it and the
///   catalogue can be written; else no folder, and the Problem "The songs database "<path>"
///   cannot be written: <reason>";
/// - a program folder that can be written: that folder;
/// - else UserDataHome + "tunaria/" (not created here).
/// No folder, with a Problem saying why, when the user's data folder is wanted and no home is
/// known.
cDataFolderChoice ChooseDataFolder(const std::string& programFolder, std::string_view xdgDataHome,
                                   std::string_view home, uid_t user = ::geteuid(),
                                   bool userFolderByBuild = UserDataFolderByBuild());
/// The same with XDG_DATA_HOME and HOME of the environment; without HOME the user's home folder
/// from the password database.
cDataFolderChoice ChooseDataFolder(const std::string& programFolder);

/// Creates the folder and each missing folder above it, private to the user (mode 0700, as the
/// XDG rules ask), and checks that files can be created in it. Throws EFileError naming the
/// folder that could not be made ("Could not create the folder "/x/tunaria": Permission
/// denied"), or the folder itself when it exists but cannot be written.
void CreateDataFolder(const std::string& folder);

/// The folder the tree opens at first when the settings name none: the music folder when it is
/// an existing folder (links followed, so a dangling link does not count), else the fallback
/// (home for an installed program, the program folder for one in a folder of its own). Both
/// with a trailing separator.
std::string DefaultMusicFolder(std::string_view musicFolder, std::string_view fallback);

/// The folder of the running program, with a trailing separator (from /proc/self/exe); empty
/// when the system does not tell it.
std::string ExecutableFolder();
