// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderWatch.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"

#include "support/TestUtil.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

void setMtime(const std::string &path, time_t seconds, long nanoseconds)
{
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

std::map<std::string, FindRecord> byName(const std::vector<FindRecord> &records)
{
    std::map<std::string, FindRecord> m;
    for (const FindRecord &r : records)
        m[r.name] = r;
    return m;
}

// Restores the process's current directory at scope exit.
class CwdGuard {
public:
    CwdGuard() { currentDirectory(m_saved); }
    ~CwdGuard() { setCurrentDirectory(m_saved); }

private:
    std::string m_saved;
};

class LocalFilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string root = dir.path().toStdString();
    std::string at(const std::string &name) const { return root + "/" + name; }
};

} // namespace

TEST_F(LocalFilesTest, FindFiltersByPatternAndKeepsDotEntries)
{
    testsupport::writeFileBytes(at("index.html"), "<html>");
    testsupport::writeFileBytes(at("Page.HTM"), "x");
    testsupport::writeFileBytes(at("notes.txt"), "abc");
    testsupport::writeFileBytes(at("README"), "");
    ASSERT_TRUE(makeDirectory(at("sub")));
    ASSERT_EQ(symlink("sub", at("linkdir").c_str()), 0);
    ASSERT_EQ(symlink("gone", at("dangling").c_str()), 0);
    ASSERT_EQ(symlink("README", at("readme.link").c_str()), 0);
    ASSERT_EQ(link(at("notes.txt").c_str(), at("hard.txt").c_str()), 0);

    bool ok = false;
    const auto all = byName(findLocal(root + "/*.*", ok));
    ASSERT_TRUE(ok);
    EXPECT_EQ(all.size(), 11u);
    for (const char *name : {".", "..", "sub", "linkdir"})
        EXPECT_EQ(all.at(name).attributes, AttrDirectory) << name;
    for (const char *name : {"index.html", "Page.HTM", "notes.txt", "README", "dangling"})
        EXPECT_EQ(all.at(name).attributes, AttrNormal) << name;
    EXPECT_EQ(all.at("notes.txt").size, 3u);
    EXPECT_EQ(all.at("sub").size, 0u);
    // Files that can change through another name are marked.
    for (const char *name : {"readme.link", "dangling", "notes.txt", "hard.txt"})
        EXPECT_TRUE(all.at(name).linked) << name;
    for (const char *name : {"index.html", "README"})
        EXPECT_FALSE(all.at(name).linked) << name;

    // ASCII letters fold; the rest of the pattern rules are the wildcard's.
    auto html = byName(findLocal(root + "/*.htm*", ok));
    ASSERT_TRUE(ok);
    EXPECT_EQ(html.size(), 2u);
    EXPECT_TRUE(html.count("index.html") && html.count("Page.HTM"));

    // Without a folder part the current directory is listed.
    {
        CwdGuard cwd;
        ASSERT_TRUE(setCurrentDirectory(root));
        const auto here = byName(findLocal("N?TES.*", ok));
        ASSERT_TRUE(ok);
        EXPECT_EQ(here.size(), 1u);
        EXPECT_TRUE(here.count("notes.txt"));
    }

    // Nothing matching is 18; a folder that is not there is 3.
    EXPECT_TRUE(findLocal(root + "/*.zip", ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_EQ(lastError(), err::NoMoreFiles);
    EXPECT_TRUE(findLocal(root + "/nowhere/*.*", ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_EQ(lastError(), err::PathNotFound);
}

TEST_F(LocalFilesTest, FindReportsSixtyFourBitSizesAndFileTimes)
{
    const std::string big = at("big.bin");
    const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const uint64_t fiveGiB = 5ull << 30;
    const int rc = ftruncate(fd, static_cast<off_t>(fiveGiB));
    ::close(fd);
    ASSERT_EQ(rc, 0);

    // 2021-03-04 05:06:07.123456789 UTC is 132593079671234567 ticks since 1601
    // (sub-100-ns digits dropped); the Unix epoch is 116444736000000000.
    setMtime(big, 1614834367, 123456789);
    testsupport::writeFileBytes(at("epoch.txt"), "");
    setMtime(at("epoch.txt"), 0, 0);

    bool ok = false;
    const auto found = byName(findLocal(root + "/*", ok));
    ASSERT_TRUE(ok);
    EXPECT_EQ(found.at("big.bin").size, fiveGiB);
    EXPECT_EQ(found.at("big.bin").lastWriteTime, 132593079671234567ull);
    EXPECT_EQ(found.at("epoch.txt").lastWriteTime, 116444736000000000ull);
}

TEST_F(LocalFilesTest, FolderOperationsSetTheExpectedErrors)
{
    ASSERT_TRUE(makeDirectory(at("d")));
    EXPECT_TRUE(directoryExists(at("d")));
    EXPECT_FALSE(fileExists(at("d")));
    EXPECT_FALSE(makeDirectory(at("d")));
    EXPECT_EQ(lastError(), err::AlreadyExists);
    EXPECT_FALSE(makeDirectory(at("missing/d")));
    EXPECT_EQ(lastError(), err::FileNotFound);

    testsupport::writeFileBytes(at("d/f"), "x");
    EXPECT_FALSE(removeDirectory(at("d")));
    EXPECT_EQ(lastError(), err::DirNotEmpty);
    EXPECT_TRUE(directoryExists(at("d")));

    EXPECT_FALSE(deleteFile(at("d")));
    EXPECT_EQ(lastError(), err::AccessDenied);
    EXPECT_TRUE(deleteFile(at("d/f")));
    EXPECT_FALSE(fileExists(at("d/f")));
    EXPECT_FALSE(deleteFile(at("d/f")));
    EXPECT_EQ(lastError(), err::FileNotFound);
    EXPECT_TRUE(removeDirectory(at("d")));
    EXPECT_FALSE(directoryExists(at("d")));

    CwdGuard cwd;
    ASSERT_TRUE(makeDirectory(at("here")));
    ASSERT_TRUE(setCurrentDirectory(at("here")));
    std::string now;
    ASSERT_TRUE(currentDirectory(now));
    EXPECT_EQ(QDir(QString::fromStdString(now)).canonicalPath(), QDir(dir.filePath("here")).canonicalPath());
    EXPECT_FALSE(setCurrentDirectory(at("nowhere")));
    EXPECT_EQ(lastError(), err::FileNotFound);
    ASSERT_TRUE(currentDirectory(now));
    EXPECT_EQ(QDir(QString::fromStdString(now)).canonicalPath(), QDir(dir.filePath("here")).canonicalPath());
}

TEST_F(LocalFilesTest, CopyKeepsBytesModeAndTimeAndNeverLeavesHalfFiles)
{
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes.push_back(static_cast<char>((i * 7919) & 0xFF)); // includes zero bytes and CR/LF
    testsupport::writeFileBytes(at("src.dat"), bytes);
    ASSERT_EQ(chmod(at("src.dat").c_str(), 0640), 0);
    setMtime(at("src.dat"), 1600000000, 500000000);
    testsupport::writeFileBytes(at("dst.dat"), "old content that is longer than nothing");

    ASSERT_TRUE(copyFile(at("src.dat"), at("dst.dat")));
    EXPECT_EQ(testsupport::readFileBytes(at("dst.dat")), bytes);
    struct stat st {};
    ASSERT_EQ(stat(at("dst.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 500000000);

    // A failing copy leaves the target as it was.
    testsupport::writeFileBytes(at("keep.txt"), "keep");
    EXPECT_FALSE(copyFile(at("missing.dat"), at("keep.txt")));
    EXPECT_EQ(lastError(), err::FileNotFound);
    EXPECT_FALSE(copyFile(root, at("keep.txt")));
    EXPECT_EQ(lastError(), err::AccessDenied);
    EXPECT_EQ(testsupport::readFileBytes(at("keep.txt")), "keep");
    EXPECT_FALSE(copyFile(at("src.dat"), at("missing/x.dat")));

    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, (QStringList{"dst.dat", "keep.txt", "src.dat"})) << "no temporary may be left behind";
}

// Opening a FIFO for reading waits for a writer: every reader of local files must
// refuse it at once, and no find may offer it (nor a socket) as a file.
TEST_F(LocalFilesTest, FifosAndSocketsAreRefusedAtOnceAndNeverListed)
{
    testsupport::writeFileBytes(at("page.html"), "<p>");
    ASSERT_EQ(mkfifo(at("pipe.html").c_str(), 0644), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sockPath = at("sock.html");
    ASSERT_LT(sockPath.size(), sizeof address.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), address.sun_path);
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    // Should a reader block after all, a writer comes after 3 s and the time shows it.
    std::atomic<bool> finished{false};
    std::thread unblock([&] {
        for (int i = 0; i < 60 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int fd = open(at("pipe.html").c_str(), O_RDWR | O_CLOEXEC);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        close(fd);
    });
    const auto started = std::chrono::steady_clock::now();
    std::string data = "stale";
    for (const std::string &special : {at("pipe.html"), sockPath}) {
        EXPECT_EQ(openRegularFile(special), -1) << special;
        EXPECT_EQ(lastError(), err::NotRegularFile) << special;
        EXPECT_FALSE(readWholeFile(special, data));
        EXPECT_EQ(lastError(), err::NotRegularFile);
        EXPECT_FALSE(copyFile(special, at("copy.html")));
        EXPECT_EQ(lastError(), err::NotRegularFile);
        FindRecord record;
        EXPECT_FALSE(findSettled(special, record));
    }
    EXPECT_TRUE(data.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    bool ok = false;
    const auto found = byName(findLocal(at("*.html"), ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(found.size(), 1u);
    EXPECT_TRUE(found.count("page.html"));
    EXPECT_FALSE(testsupport::fileExists(at("copy.html")));
    finished = true;
    unblock.join();
    close(sock);
}

TEST_F(LocalFilesTest, RenameNeverReplacesAnExistingFile)
{
    testsupport::writeFileBytes(at("a.txt"), "A");
    testsupport::writeFileBytes(at("b.txt"), "B");
    EXPECT_FALSE(renameFile(at("a.txt"), at("b.txt")));
    EXPECT_EQ(lastError(), err::AlreadyExists);
    EXPECT_EQ(testsupport::readFileBytes(at("a.txt")), "A");
    EXPECT_EQ(testsupport::readFileBytes(at("b.txt")), "B");

    EXPECT_TRUE(renameFile(at("a.txt"), at("c.txt")));
    EXPECT_FALSE(fileExists(at("a.txt")));
    EXPECT_EQ(testsupport::readFileBytes(at("c.txt")), "A");
    EXPECT_FALSE(renameFile(at("a.txt"), at("d.txt")));
    EXPECT_EQ(lastError(), err::FileNotFound);
}

TEST_F(LocalFilesTest, AtomicWriteSetsTheRequestedModeOrKeepsTheOldOne)
{
    ASSERT_TRUE(writeFileAtomic(at("private"), std::string("a\0b", 3), 0600));
    EXPECT_EQ(testsupport::readFileBytes(at("private")), std::string("a\0b", 3));
    struct stat st {};
    ASSERT_EQ(stat(at("private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    testsupport::writeFileBytes(at("shared"), "old");
    ASSERT_EQ(chmod(at("shared").c_str(), 0664), 0);
    ASSERT_TRUE(writeFileAtomic(at("shared"), "new"));
    ASSERT_EQ(stat(at("shared").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
    EXPECT_EQ(testsupport::readFileBytes(at("shared")), "new");

    std::string data;
    EXPECT_FALSE(readWholeFile(at("none"), data));
    EXPECT_EQ(lastError(), err::FileNotFound);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"private", "shared"}));
}

TEST_F(LocalFilesTest, FolderWatchReportsEveryChangeAScanCouldSeeAndFollowsTheFolder)
{
    const std::string site = at("site");
    ASSERT_TRUE(makeDirectory(site));
    testsupport::writeFileBytes(site + "/a.html", "a");
    FolderWatch watch;
    EXPECT_TRUE(watch.takeChanged(site)) << "nothing is known before the watch is set";
    EXPECT_TRUE(watch.watching());
    EXPECT_FALSE(watch.takeChanged(site));

    const std::vector<std::pair<const char *, std::function<void()>>> changes{
        {"create", [&] { testsupport::writeFileBytes(site + "/b.html", "b"); }},
        {"append", [&] { std::ofstream(site + "/a.html", std::ios::app) << "more"; }},
        {"touch", [&] { setMtime(site + "/a.html", 1600000000, 0); }},
        {"move in",
         [&] {
             testsupport::writeFileBytes(at("outside.html"), "o");
             ASSERT_EQ(::rename(at("outside.html").c_str(), (site + "/o.html").c_str()), 0);
         }},
        {"move out", [&] { ASSERT_EQ(::rename((site + "/o.html").c_str(), at("outside.html").c_str()), 0); }},
        {"delete", [&] { ASSERT_EQ(::unlink((site + "/b.html").c_str()), 0); }},
    };
    for (const auto &[what, change] : changes) {
        change();
        EXPECT_TRUE(watch.takeChanged(site)) << what;
        EXPECT_FALSE(watch.takeChanged(site)) << what;
    }

    // A write inotify never delivered (its queue overflowed) still counts.
    testsupport::writeFileBytes(site + "/d.html", "d");
    watch.loseEvents();
    EXPECT_TRUE(watch.takeChanged(site));
    EXPECT_FALSE(watch.takeChanged(site));

    // The folder replaced at its path: reported, and the new folder is watched.
    ASSERT_EQ(::rename(site.c_str(), at("site.old").c_str()), 0);
    ASSERT_TRUE(makeDirectory(site));
    EXPECT_TRUE(watch.takeChanged(site));
    EXPECT_FALSE(watch.takeChanged(site));
    testsupport::writeFileBytes(site + "/new.html", "n");
    EXPECT_TRUE(watch.takeChanged(site));

    // Watching ".", a change of the current directory is a change of folder.
    CwdGuard cwd;
    ASSERT_TRUE(setCurrentDirectory(site));
    EXPECT_TRUE(watch.takeChanged("."));
    EXPECT_FALSE(watch.takeChanged("."));
    ASSERT_TRUE(setCurrentDirectory(at("site.old")));
    EXPECT_TRUE(watch.takeChanged("."));
}
