#pragma once
// Where the program keeps its files (DB.txt, Options.ini, Groups.txt). A program unpacked into
// a folder of its own keeps them beside itself. An installed program cannot write its folder:
// it keeps them in the user's data folder, "$XDG_DATA_HOME/tunaria/", by the XDG rules
// "~/.local/share/tunaria/" when that variable is not set. Standard library only.

#include <string>
#include <string_view>

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

/// True when files can be created in the folder: a probe file is created there and removed at
/// once. Permissions, access control lists and read-only mounts all answer this way. An empty
/// path names no folder.
bool IsWritableFolder(const std::string& folder);

/// The base folder of the user's data files by the XDG rules: xdgDataHome when it is an
/// absolute path; when it is empty (unset) or relative (which the rules call invalid) the
/// default home + "/.local/share". Empty when home is not an absolute path either.
std::string UserDataHome(std::string_view xdgDataHome, std::string_view home);

/// The program folder when it is writable; else UserDataHome + "tunaria/" (not created here).
cDataFolderChoice ChooseDataFolder(const std::string& programFolder, std::string_view xdgDataHome,
                                   std::string_view home);
/// The same with XDG_DATA_HOME and HOME of the environment; without HOME the user's home folder
/// from the password database.
cDataFolderChoice ChooseDataFolder(const std::string& programFolder);

/// Creates the folder and each missing folder above it, private to the user (mode 0700, as the
/// XDG rules ask), and checks that files can be created in it. Throws EFileError naming the
/// folder that could not be made ("Could not create the folder "/x/tunaria": Permission
/// denied"), or the folder itself when it exists but cannot be written.
void CreateDataFolder(const std::string& folder);

/// The folder the tree opens at first for an installed program: the music folder when it is an
/// existing folder (links followed, so a dangling link does not count), else home. Both with a
/// trailing separator.
std::string DefaultMusicFolder(std::string_view musicFolder, std::string_view home);

/// The folder of the running program, with a trailing separator (from /proc/self/exe); empty
/// when the system does not tell it.
std::string ExecutableFolder();
