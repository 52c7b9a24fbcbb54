// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniProfile.h"
#include "platform/LastError.h"

#include "support/TestUtil.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::IniProfile;

namespace {

QStringList entriesOf(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class IniProfileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path = dir.filePath("Vexmora.INI").toStdString();
};

} // namespace

TEST_F(IniProfileTest, RoundTripAndDefaultsForMissingFileSectionAndKey)
{
    IniProfile ini(path);
    EXPECT_EQ(ini.readString("Params", "LastHDir", "def"), "def");
    EXPECT_EQ(ini.readInt("Params", "ModeNum", 2), 2);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path))) << "reading must not create the file";

    ASSERT_TRUE(ini.writeInt("Params", "ModeNum", 1));
    ASSERT_TRUE(ini.writeString("Params", "LastHDir", "/public_html/日本語"));
    ASSERT_TRUE(ini.writeInt("Params", "Timer", -1));
    ASSERT_TRUE(ini.writeString("Params", "HostName", ""));

    // A fresh object reads what was written: nothing is cached.
    IniProfile again(path);
    EXPECT_EQ(again.readInt("Params", "ModeNum", 2), 1);
    EXPECT_EQ(again.readString("Params", "LastHDir", ""), "/public_html/日本語");
    EXPECT_EQ(again.readInt("Params", "Timer", 2), -1);
    EXPECT_EQ(again.readString("Params", "HostName", "x"), "")
        << "an empty value is a value, not a missing key";
    EXPECT_EQ(again.readInt("Params", "HostName", 7), 7) << "an empty value is not a number";
    EXPECT_EQ(again.readString("Other", "ModeNum", "none"), "none");
    EXPECT_EQ(again.readString("Params", "Missing", "none"), "none");

    // Overwriting changes the one line, keeping key order.
    ASSERT_TRUE(again.writeInt("Params", "ModeNum", 0));
    EXPECT_EQ(testsupport::readFileBytes(path),
              "[Params]\nModeNum=0\nLastHDir=/public_html/日本語\nTimer=-1\nHostName=\n");
}

TEST_F(IniProfileTest, NamesAreCaseInsensitiveAndValuesTrimmed)
{
    testsupport::writeFileBytes(
        path, "[PARAMS]\n  modenum =  1  \nLastLDir=\t/home/user/site \t\nQuoted=\"  spaced  \"\n");
    IniProfile ini(path);
    EXPECT_EQ(ini.readInt("Params", "ModeNum", 2), 1);
    EXPECT_EQ(ini.readString("params", "LASTLDIR", ""), "/home/user/site");
    EXPECT_EQ(ini.readString("Params", "Quoted", ""), "  spaced  ");

    // Writing with another spelling updates the existing line, not a second one.
    ASSERT_TRUE(ini.writeInt("Params", "MODENUM", 0));
    const std::string text = testsupport::readFileBytes(path);
    EXPECT_EQ(text, "[PARAMS]\nMODENUM=0\nLastLDir=\t/home/user/site \t\nQuoted=\"  spaced  \"\n");
    EXPECT_EQ(ini.readInt("pArAmS", "ModeNum", 2), 0);
}

TEST_F(IniProfileTest, OtherContentIsKept)
{
    const std::string original = "; settings of the program\r\n"
                                 "[Window]\r\n"
                                 "Left=10\r\n"
                                 "\r\n"
                                 "[Params]\r\n"
                                 "; the mode\r\n"
                                 "ModeNum=2\r\n"
                                 "Target=1\r\n"
                                 "\r\n"
                                 "[Last]\r\n"
                                 "Key=value\r\n";
    testsupport::writeFileBytes(path, original);
    IniProfile ini(path);
    ASSERT_TRUE(ini.writeInt("Params", "ModeNum", 0));        // change in place
    ASSERT_TRUE(ini.writeString("Params", "UserID", "anna")); // new key at the end of its section
    ASSERT_TRUE(ini.writeString("New", "A", "b"));            // new section at the end
    EXPECT_EQ(testsupport::readFileBytes(path), "; settings of the program\r\n"
                                                "[Window]\r\n"
                                                "Left=10\r\n"
                                                "\r\n"
                                                "[Params]\r\n"
                                                "; the mode\r\n"
                                                "ModeNum=0\r\n"
                                                "Target=1\r\n"
                                                "UserID=anna\r\n"
                                                "\r\n"
                                                "[Last]\r\n"
                                                "Key=value\r\n"
                                                "\r\n"
                                                "[New]\r\n"
                                                "A=b\r\n");
    EXPECT_EQ(ini.readInt("Window", "Left", 0), 10);
    EXPECT_EQ(ini.readString("Last", "Key", ""), "value");
    EXPECT_EQ(ini.readString("Params", "UserID", ""), "anna");

    // A last line without a line break gets one before anything is appended.
    testsupport::writeFileBytes(path, "[Params]\nModeNum=2");
    ASSERT_TRUE(ini.writeInt("Params", "Target", 0));
    EXPECT_EQ(testsupport::readFileBytes(path), "[Params]\nModeNum=2\nTarget=0\n");
}

TEST_F(IniProfileTest, IntegerReadsParseLeadingNumbersOnly)
{
    testsupport::writeFileBytes(
        path, "[P]\na=12abc\nb=  -7 \nc=abc\nd=\ne=+5\nf=99999999999\ng=-99999999999\nh=-\ni= 0x1F\n");
    IniProfile ini(path);
    EXPECT_EQ(ini.readInt("P", "a", -1), 12);
    EXPECT_EQ(ini.readInt("P", "b", -1), -7);
    EXPECT_EQ(ini.readInt("P", "c", 42), 42);
    EXPECT_EQ(ini.readInt("P", "d", 42), 42);
    EXPECT_EQ(ini.readInt("P", "e", -1), 5);
    EXPECT_EQ(ini.readInt("P", "f", -1), INT_MAX);
    EXPECT_EQ(ini.readInt("P", "g", -1), INT_MIN);
    EXPECT_EQ(ini.readInt("P", "h", 42), 42);
    EXPECT_EQ(ini.readInt("P", "i", 42), 0);
}

TEST_F(IniProfileTest, WritesReplaceTheFileAtomically)
{
    IniProfile ini(path);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(ini.writeInt("Params", "Key" + std::to_string(i), i));
    EXPECT_EQ(entriesOf(dir), QStringList{"Vexmora.INI"}) << "no temporary may be left behind";

    // Bad names are refused before anything is touched.
    const std::string before = testsupport::readFileBytes(path);
    EXPECT_FALSE(ini.writeString("Params", "a=b", "x"));
    EXPECT_EQ(platform::lastError(), platform::err::InvalidParameter);
    EXPECT_FALSE(ini.writeString("Params", "Key", "two\nlines"));
    EXPECT_FALSE(ini.writeString("", "Key", "x"));
    EXPECT_EQ(testsupport::readFileBytes(path), before);

    // A write that fails halfway (the file-size limit stops it) leaves the old
    // file whole and no temporary behind.
    const std::string big(4096, 'x');
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ini.writeString("Params", "Big", big);
    const uint32_t error = platform::lastError();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_NE(error, platform::err::Success);
    EXPECT_EQ(testsupport::readFileBytes(path), before);
    EXPECT_EQ(entriesOf(dir), QStringList{"Vexmora.INI"});

    // A folder that does not exist.
    IniProfile nowhere(dir.filePath("missing/Vexmora.INI").toStdString());
    EXPECT_FALSE(nowhere.writeInt("Params", "ModeNum", 1));
    EXPECT_NE(platform::lastError(), platform::err::Success);
}

TEST_F(IniProfileTest, ReadOnlyFolderRefusesTheWriteAndKeepsTheFile)
{
    IniProfile ini(path);
    ASSERT_TRUE(ini.writeInt("Params", "ModeNum", 1));
    const std::string before = testsupport::readFileBytes(path);
    ASSERT_EQ(chmod(dir.path().toLocal8Bit().constData(), 0555), 0);
    if (access(dir.path().toLocal8Bit().constData(), W_OK) == 0) {
        chmod(dir.path().toLocal8Bit().constData(), 0755);
        GTEST_SKIP() << "running with privileges that ignore folder permissions";
    }
    const bool written = ini.writeInt("Params", "ModeNum", 0);
    const uint32_t error = platform::lastError();
    chmod(dir.path().toLocal8Bit().constData(), 0755);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, platform::err::AccessDenied);
    EXPECT_EQ(testsupport::readFileBytes(path), before);
    EXPECT_EQ(entriesOf(dir), QStringList{"Vexmora.INI"});
}
