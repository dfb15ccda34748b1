#pragma once
// The program's command line: "--help" and "--version" print and end the program; one folder
// may be named to start with it selected; nothing else is taken (options of the window system
// are taken by the application object first). Standard library only.

#include <string>
#include <vector>

#include "util/unitDataFolder.h"

/// What the arguments (without the program name) ask for.
struct cCommandLine {
    bool Help = false;    ///< "--help" or "-h"
    bool Version = false; ///< "--version"
    /// The folder to start with: absolute, "." and ".." taken away by name, with a trailing
    /// separator; empty when none was named. Relative when the current folder is unknown.
    std::string Folder;
    /// Every other argument, in order: unknown options and any folder after the first.
    std::vector<std::string> Unknown;
};

/// Reads the arguments. An argument that does not start with "-" names the folder; after "--"
/// every argument does. A relative folder is taken from currentFolder (absolute, or empty when
/// unknown).
cCommandLine ReadCommandLine(const std::vector<std::string>& arguments,
                             const std::string& currentFolder = {});

/// The process's working folder; empty when the system cannot tell it (it was removed).
std::string CurrentFolder();

/// Why the folder named on the command line cannot be started with, as a line for the terminal
/// ("tunaria: ... \n"); empty when it is an existing folder.
std::string FolderArgumentProblem(const std::string& folder);

/// "Tunaria 1.1" and a line end.
std::string VersionText();

/// The usage, the options and the folder that holds (or would hold) the program's files.
std::string HelpText(const cDataFolderChoice& dataFolder);

/// The answer to arguments the program does not take: what was not understood and where to
/// read more.
std::string UnknownArgumentsText(const std::vector<std::string>& unknown);
