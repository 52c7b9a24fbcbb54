// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

struct StartupOptions {
    std::string exePath;  // the settings and host list files live beside it
    std::string lockPath; // the single-instance lock file
};

// Creates the five windows in their order and holds them in their globals.
void CreateWindows(const std::string &exePath, const std::string &startDir = {});
// Destroys the windows in reverse order and clears the globals.
void DestroyWindows();

// The start-up entry: single-instance question, application title, windows,
// message loop. startDir: the first local folder when none is stored (empty: the
// folder of options.exePath). Returns the process exit code.
int VexmoraMain(const StartupOptions &options, const std::string &startDir = {});
