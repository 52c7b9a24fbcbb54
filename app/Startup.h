#pragma once

#include <string>

struct StartupOptions {
    std::string exePath;  // the settings and host list files live beside it
    std::string lockPath; // the single-instance lock file
};

// Creates the five windows in their order and holds them in their globals.
void CreateWindows(const std::string &exePath);
// Destroys the windows in reverse order and clears the globals.
void DestroyWindows();

// The start-up entry: single-instance question, application title, windows,
// message loop. Returns the process exit code.
int VexmoraMain(const StartupOptions &options);
