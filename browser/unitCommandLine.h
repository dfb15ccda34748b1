#pragma once
// The program's command line: "--help" and "--version" print and end the program; nothing else
// is taken (options of the window system are taken by the application object first).
// Standard library only.

#include <string>
#include <vector>

#include "util/unitDataFolder.h"

/// What the arguments (without the program name) ask for.
struct cCommandLine {
    bool Help = false;    ///< "--help" or "-h"
    bool Version = false; ///< "--version"
    /// Every other argument, in order.
    std::vector<std::string> Unknown;
};

cCommandLine ReadCommandLine(const std::vector<std::string>& arguments);

/// "Tunaria 1.1" and a line end.
std::string VersionText();

/// The usage, the options and the folder that holds (or would hold) the program's files.
std::string HelpText(const cDataFolderChoice& dataFolder);

/// The answer to arguments the program does not take: what was not understood and where to
/// read more.
std::string UnknownArgumentsText(const std::vector<std::string>& unknown);
