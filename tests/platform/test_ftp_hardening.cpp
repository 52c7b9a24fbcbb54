// SPDX-License-Identifier: GPL-3.0-or-later
// The engine against servers that flood, list without end or leave leftovers:
// every wait ends within its timeout, listings are capped, names keep the
// control connection's byte rules, crashed downloads' temporaries are swept.
#include "test_ftp_fixture.h"

#include "platform/LocalFiles.h"

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using platform::FtpOptions;
using platform::TransferType;
using testsupport::fileExists;
using testsupport::readFileBytes;
using testsupport::writeFileBytes;
namespace ftpfault = testsupport::ftpfault;
namespace err = platform::err;

namespace {

constexpr int TimeoutMs = 1500;
// The flood outlasts every timeout by far: a wait it extends shows as a late end.
constexpr int FloodEveryMs = 300;
constexpr int FloodForMs = 6000;

FtpOptions shortTimeouts()
{
    FtpOptions options;
    options.connectTimeoutMs = 2000;
    options.replyTimeoutMs = TimeoutMs;
    options.dataTimeoutMs = TimeoutMs;
    return options;
}

class Stopwatch {
public:
    int64_t elapsedMs() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now()
                                                                     - m_start)
            .count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace

TEST_F(FtpEngineTest, WaitsEndWithinTheirTimeoutWhateverPreliminaryRepliesArrive)
{
    {
        SCOPED_TRACE("120 without end instead of the greeting");
        startServer(ftpfault::flood(QStringLiteral("greeting"), FloodEveryMs, FloodForMs));
        platform::FtpClient flooded(shortTimeouts());
        const Stopwatch watch;
        EXPECT_FALSE(flooded.connect(server.address(), server.user(), server.password(), ConnectionContext));
        EXPECT_EQ(platform::lastError(), err::InternetTimeout);
        EXPECT_LT(watch.elapsedMs(), TimeoutMs + 1000);
    }

    ASSERT_TRUE(writeFileBytes(server.rootPath("page.html"), "served"));
    const std::string target = local.filePath("page.html");
    ASSERT_TRUE(writeFileBytes(target, "old copy"));
    {
        SCOPED_TRACE("150 every few moments while the data connection stays silent");
        startServer(ftpfault::flood(QStringLiteral("RETR"), FloodEveryMs, FloodForMs)
                    + ftpfault::flood(QStringLiteral("STOR"), FloodEveryMs, FloodForMs));
        connectClient(shortTimeouts());
        const Stopwatch download;
        EXPECT_FALSE(client->getFile("page.html", target, TransferType::Binary, DownloadContext));
        EXPECT_EQ(platform::lastError(), err::InternetTimeout);
        EXPECT_LT(download.elapsedMs(), TimeoutMs + 1000);
        EXPECT_EQ(readFileBytes(target), "old copy");

        // An upload larger than every socket buffer on the way, to a server that
        // never reads it.
        connectClient(shortTimeouts());
        const std::string big = local.filePath("big.bin");
        ASSERT_TRUE(writeFileBytes(big, std::string(32u << 20, 'x')));
        const Stopwatch upload;
        EXPECT_FALSE(client->putFile(big, "big.bin", TransferType::Binary, UploadContext));
        EXPECT_EQ(platform::lastError(), err::InternetTimeout);
        EXPECT_LT(upload.elapsedMs(), TimeoutMs + 1000);
    }
    {
        SCOPED_TRACE("150 without end after the whole data, instead of the final reply");
        startServer(ftpfault::floodAfter(QStringLiteral("RETR"), FloodEveryMs, FloodForMs));
        connectClient(shortTimeouts());
        const Stopwatch watch;
        EXPECT_FALSE(client->getFile("page.html", target, TransferType::Binary, DownloadContext));
        EXPECT_EQ(platform::lastError(), err::InternetTimeout);
        EXPECT_LT(watch.elapsedMs(), TimeoutMs + 1000);
        EXPECT_EQ(readFileBytes(target), "old copy");
    }
}

TEST_F(FtpEngineTest, AnEndlessListingStopsAtItsCapAndKeepsWhatArrived)
{
    startServer(ftpfault::endlessListing());
    FtpOptions options = quickOptions();
    options.maxListEntries = 5000;
    connectClient(options);
    std::vector<platform::FindRecord> records;
    EXPECT_FALSE(client->find("*.*", records));
    EXPECT_EQ(platform::lastError(), err::ListingTooLarge);
    ASSERT_EQ(records.size(), 5000u);
    EXPECT_EQ(records.front().name, "f0");
    EXPECT_EQ(records.back().name, "f4999");
    EXPECT_FALSE(platform::errorText(err::ListingTooLarge).empty());
    // The control connection is still in step: the next command gets its own reply.
    std::string dir;
    EXPECT_TRUE(client->getCurrentDirectory(dir));
    EXPECT_EQ(dir, "/");

    options.maxListEntries = 1000000;
    options.maxListBytes = 64 * 1024;
    connectClient(options);
    EXPECT_FALSE(client->find("*.*", records));
    EXPECT_EQ(platform::lastError(), err::ListingTooLarge);
    // Each entry is over 40 bytes on the wire.
    EXPECT_GT(records.size(), 0u);
    EXPECT_LT(records.size(), 64u * 1024 / 40);
}

TEST_F(FtpEngineTest, A0xFFByteInANameIsSentDoubled)
{
    startServer();
    connectClient();
    EXPECT_FALSE(client->deleteFile("a\xff"
                                    "b"));
    EXPECT_TRUE(server.hasReceived(QByteArray("DELE a\xff\xff"
                                              "b")));
}

TEST_F(FtpEngineTest, TheFirstDownloadIntoAFolderRemovesOnlyStaleDownloadTemporaries)
{
    startServer();
    ASSERT_TRUE(writeFileBytes(server.rootPath("a.txt"), "A"));
    const std::string outside = local.filePath("outside.txt");
    ASSERT_TRUE(writeFileBytes(outside, "keep"));
    ASSERT_TRUE(platform::makeDirectory(local.filePath("down")));
    const auto in = [&](const std::string &name) { return local.filePath("down/" + name); };
    // Ours end in a DEL byte, which no listed name may hold.
    const std::string mark = "\x7f";
    ASSERT_TRUE(writeFileBytes(in(".vexmora-Ab3dE9" + mark), "crashed download"));
    ASSERT_TRUE(writeFileBytes(in(".vexmora-Held00" + mark), "running download"));
    ASSERT_TRUE(writeFileBytes(in(".vexmora-long001" + mark), "not our pattern"));
    ASSERT_TRUE(writeFileBytes(in("vexmora-Ab3dE9" + mark), "not our pattern"));
    ASSERT_EQ(symlink(outside.c_str(), in(".vexmora-Link00" + mark).c_str()), 0);
    // A file of the user's (downloaded earlier) that looks like a temporary.
    ASSERT_TRUE(writeFileBytes(server.rootPath(".vexmora-Ab3dE9"), "the user's"));
    // Another run's download in progress holds its temporary locked.
    const int held = open(in(".vexmora-Held00" + mark).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    connectClient();
    ASSERT_TRUE(
        client->getFile(".vexmora-Ab3dE9", in(".vexmora-Ab3dE9"), TransferType::Binary, DownloadContext));
    ASSERT_TRUE(client->getFile("a.txt", in("a.txt"), TransferType::Binary, DownloadContext));
    EXPECT_EQ(readFileBytes(in("a.txt")), "A");
    EXPECT_FALSE(fileExists(in(".vexmora-Ab3dE9" + mark)));
    EXPECT_TRUE(fileExists(in(".vexmora-Held00" + mark)));
    EXPECT_TRUE(fileExists(in(".vexmora-long001" + mark)));
    EXPECT_TRUE(fileExists(in("vexmora-Ab3dE9" + mark)));
    EXPECT_TRUE(fileExists(in(".vexmora-Link00" + mark)));
    EXPECT_EQ(readFileBytes(outside), "keep");
    close(held);
    // Another client's first download into the folder sweeps it again.
    auto second = std::make_unique<platform::FtpClient>(quickOptions());
    ASSERT_TRUE(second->connect(server.address(), server.user(), server.password(), ConnectionContext));
    ASSERT_TRUE(second->getFile("a.txt", in("b.txt"), TransferType::Binary, DownloadContext));
    EXPECT_EQ(readFileBytes(in(".vexmora-Ab3dE9")), "the user's");
    EXPECT_FALSE(fileExists(in(".vexmora-Held00" + mark)));
}
