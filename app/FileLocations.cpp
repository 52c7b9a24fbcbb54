// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileLocations.h"

#include "VexmoraBuild.h"
#include "platform/LocalFiles.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string joined(const std::string &folder, const std::string &name)
{
    return folder + (folder.ends_with('/') ? "" : "/") + name;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        home = found->pw_dir;
    return home;
}

} // namespace

FileLocation ChooseFileLocation(const std::string &exePath, const std::string &xdgConfigHome,
                                const std::string &home)
{
    FileLocation location;
    const std::string exeFolder = platform::folderOf(exePath);
    if (platform::fileExists(joined(exeFolder, VEXMORA_BUILD_MARKER))) {
        location.kind = FileLocation::Kind::BuildTree;
        location.folder = exeFolder;
    } else if (platform::fileExists(joined(exeFolder, "Vexmora.INI"))) {
        location.kind = FileLocation::Kind::Portable;
        location.folder = exeFolder;
    } else if (xdgConfigHome.starts_with('/') || home.starts_with('/')) {
        location.kind = FileLocation::Kind::Installed;
        // A relative XDG_CONFIG_HOME is invalid and ignored, as desktops do.
        const std::string base = xdgConfigHome.starts_with('/') ? xdgConfigHome : joined(home, ".config");
        location.folder = joined(base, "vexmora");
        location.startFolder = home;
    } else {
        // No configuration folder can be named at all: keep the files beside the
        // executable rather than in a folder relative to wherever it was started.
        location.kind = FileLocation::Kind::Portable;
        location.folder = exeFolder;
    }
    location.filesPath = joined(location.folder, "Vexmora");
    return location;
}

FileLocation ChooseFileLocation(const std::string &exePath)
{
    return ChooseFileLocation(exePath, environment("XDG_CONFIG_HOME"), homeFolder());
}

bool PrepareFileFolder(const FileLocation &location)
{
    if (location.kind != FileLocation::Kind::Installed)
        return true;
    const std::string &folder = location.folder;
    // Each missing component from the outermost down, owner-only.
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return platform::directoryExists(folder);
}
