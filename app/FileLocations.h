// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Where the program keeps "Vexmora.INI", "Vexmora.H$$", its other settings files
// and "backup_log".
//
// The rule, in this order:
//  1. Started from its build folder (CMake writes the marker file
//     VEXMORA_BUILD_MARKER beside the executable there): beside the executable.
//  2. A "Vexmora.INI" beside the executable (a portable copy): beside it.
//  3. Otherwise the program is installed: "$XDG_CONFIG_HOME/vexmora", where an
//     unset, empty or relative XDG_CONFIG_HOME means "$HOME/.config".
// Only existence tests are made on the executable's folder, so a read-only
// program folder never stops the start.
struct FileLocation {
    enum class Kind { BuildTree, Portable, Installed };
    Kind kind = Kind::BuildTree;
    // The folder that holds the files.
    std::string folder;
    // The path the main window derives the file names from: "<folder>/Vexmora".
    std::string filesPath;
    // The local folder shown when no existing last folder is stored: the home
    // folder for an installed program, empty (the program folder) otherwise.
    std::string startFolder;
};

// exePath: the executable's full path; xdgConfigHome and home: the values of
// those environment variables, empty when unset.
FileLocation ChooseFileLocation(const std::string &exePath, const std::string &xdgConfigHome,
                                const std::string &home);

// The same with the process's environment (HOME falling back to the password
// database).
FileLocation ChooseFileLocation(const std::string &exePath);

// Creates an installed program's folder, and any missing parent, owner-only
// (0700); an existing folder is left as it is. True when the folder exists.
bool PrepareFileFolder(const FileLocation &location);
