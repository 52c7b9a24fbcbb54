// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program keeps its files: beside the executable in the build folder
// or in a portable copy, else in the user's configuration folder, owner-only.
#include "VexmoraBuild.h"
#include "app/FileLocations.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "support/ScriptedDialogs.h"
#include "support/TestUtil.h"
#include "ui/Edit.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using testsupport::fileExists;
using testsupport::TempFolder;
using testsupport::writeFileBytes;

int modeOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Runs the start-up entry on `location` as the program does, stores one account
// and closes the window, so the settings and the host list are written.
void runAndClose(const FileLocation &location, const std::string &lockPath, std::string *shownLocalDir)
{
    testsupport::ScopedScriptedDialogs dialogs;
    QTimer::singleShot(0, [&] {
        *shownLocalDir = MainForm->LastLocalDir;
        MainForm->EHost->setText(QStringLiteral("127.0.0.1:2121"));
        MainForm->EUserId->setText(QStringLiteral("demo"));
        MainForm->EPassword->setText(QStringLiteral("demo"));
        MainForm->close();
    });
    ASSERT_TRUE(PrepareFileFolder(location));
    EXPECT_EQ(VexmoraMain({location.filesPath, lockPath}, location.startFolder), 0);
}

} // namespace

TEST(FileLocations, TheRuleChoosesBuildFolderPortableCopyOrConfigurationFolder)
{
    TempFolder bin;
    const std::string exe = bin.filePath("vexmora");
    const std::string home = "/home/someone";

    const FileLocation installed = ChooseFileLocation(exe, "/tmp/xdg", home);
    EXPECT_EQ(installed.kind, FileLocation::Kind::Installed);
    EXPECT_EQ(installed.folder, "/tmp/xdg/vexmora");
    EXPECT_EQ(installed.filesPath, "/tmp/xdg/vexmora/Vexmora");
    EXPECT_EQ(installed.startFolder, home);
    // Unset, empty or relative XDG_CONFIG_HOME: ~/.config.
    EXPECT_EQ(ChooseFileLocation(exe, "", home).folder, "/home/someone/.config/vexmora");
    EXPECT_EQ(ChooseFileLocation(exe, "relative/cfg", home).folder, "/home/someone/.config/vexmora");
    // Nowhere to name a configuration folder: beside the executable, never relative.
    EXPECT_EQ(ChooseFileLocation(exe, "", "").folder, bin.pathBytes());

    ASSERT_TRUE(writeFileBytes(bin.filePath("Vexmora.INI"), "[Params]\n"));
    const FileLocation portable = ChooseFileLocation(exe, "/tmp/xdg", home);
    EXPECT_EQ(portable.kind, FileLocation::Kind::Portable);
    EXPECT_EQ(portable.filesPath, bin.filePath("Vexmora"));
    EXPECT_EQ(portable.startFolder, "");

    ASSERT_TRUE(writeFileBytes(bin.filePath(VEXMORA_BUILD_MARKER), ""));
    const FileLocation build = ChooseFileLocation(exe, "/tmp/xdg", home);
    EXPECT_EQ(build.kind, FileLocation::Kind::BuildTree);
    EXPECT_EQ(build.folder, bin.pathBytes());
}

TEST(FileLocations, AnInstalledProgramKeepsItsFilesInTheConfigurationFolderOwnerOnly)
{
    TempFolder bin, home, runtime;
    const std::string xdg = home.filePath("cfg") + "/nested";
    const FileLocation location = ChooseFileLocation(bin.filePath("vexmora"), xdg, home.pathBytes());
    std::string shownLocalDir;
    runAndClose(location, runtime.filePath("lock"), &shownLocalDir);

    EXPECT_EQ(modeOf(home.filePath("cfg")), 0700) << "missing parents are created owner-only too";
    EXPECT_EQ(modeOf(xdg + "/vexmora"), 0700);
    EXPECT_TRUE(fileExists(xdg + "/vexmora/Vexmora.INI"));
    EXPECT_EQ(modeOf(xdg + "/vexmora/Vexmora.H$$"), 0600);
    EXPECT_TRUE(testsupport::folderEntries(bin.pathBytes()).empty())
        << "nothing is written beside the program";
    // The first local folder is the home folder, not the configuration folder
    // with the account file in it.
    EXPECT_EQ(shownLocalDir, home.pathBytes());
}

TEST(FileLocations, APortableCopyKeepsItsFilesBesideTheExecutable)
{
    TempFolder bin, home, runtime;
    ASSERT_TRUE(writeFileBytes(bin.filePath("Vexmora.INI"), "[Params]\nModeNum=1\n"));
    const std::string xdg = home.filePath("cfg");
    const FileLocation location = ChooseFileLocation(bin.filePath("vexmora"), xdg, home.pathBytes());
    std::string shownLocalDir;
    runAndClose(location, runtime.filePath("lock"), &shownLocalDir);

    EXPECT_TRUE(fileExists(bin.filePath("Vexmora.H$$")));
    EXPECT_NE(testsupport::readFileBytes(bin.filePath("Vexmora.INI")).find("HostName=127.0.0.1:2121"),
              std::string::npos);
    EXPECT_FALSE(fileExists(xdg)) << "no configuration folder for a portable copy";
    EXPECT_EQ(shownLocalDir, bin.pathBytes());
}
