// SPDX-License-Identifier: GPL-3.0-or-later
// Uploads that appear whole, transfers that continue after a cut, kept file times.
#include "platform/LocalFiles.h"
#include "support/FtpServer.h"
#include "support/test_transfer_fixture.h"

#include <QTimer>

#include <atomic>
#include <set>
#include <sys/stat.h>
#include <thread>

using namespace transfertest;
namespace ftpfault = testsupport::ftpfault;
using testsupport::randomBytes;

namespace {

int64_t mtimeOf(const std::string &path)
{
    int64_t when = -1;
    platform::localFileTime(path, when);
    return when;
}

class SafeTransferTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        SetSafeTransferSettings(DefaultTempUploadMin, true);
    }
    void TearDown() override
    {
        SetSafeTransferSettings(DefaultTempUploadMin, true);
        TransferTest::TearDown();
    }
    // After a lost connection: the user connects again.
    void reconnect()
    {
        CloseSession();
        ASSERT_NO_FATAL_FAILURE(openSession());
    }
    void setTime(const std::string &path, int64_t when)
    {
        ASSERT_TRUE(platform::setLocalFileTime(path, when));
    }
};

} // namespace

TEST_F(SafeTransferTest, LargeUploadsAppearWholeSmallOnesGoDirectAndTimesAreKeptBothWays)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    const std::string big = randomBytes(300 * 1024, 1);
    writeLocal("big.bin", big);
    writeLocal("small.html", std::string(4096, 'x'));
    setTime(localPath("big.bin"), 1400000000);
    setTime(localPath("small.html"), 1400000100);
    serveFile("big.bin", "old");
    serveFile(".stray.html.vexmora-part", "left by a cut upload");
    server.clearLog();

    ASSERT_EQ(PutFile(localPath("big.bin"), "big.bin"), 1) << panel(0);
    EXPECT_EQ(served("big.bin"), big);
    const QByteArrayList bigCommands = server.receivedCommands();
    const auto at = [&](const QByteArray &line) { return bigCommands.indexOf(line); };
    ASSERT_GE(at("STOR .big.bin.vexmora-part"), 0);
    EXPECT_GT(at("SIZE .big.bin.vexmora-part"), at("STOR .big.bin.vexmora-part"));
    EXPECT_GT(at("RNFR .big.bin.vexmora-part"), at("SIZE .big.bin.vexmora-part"));
    EXPECT_EQ(at("RNTO big.bin"), at("RNFR .big.bin.vexmora-part") + 1);
    EXPECT_FALSE(servedExists(".big.bin.vexmora-part"));
    EXPECT_EQ(mtimeOf(server.rootPath("big.bin")), 1400000000);

    // Below the threshold: the same commands as ever, plus one MFMT.
    server.clearLog();
    ASSERT_EQ(PutFile(localPath("small.html"), "small.html"), 1);
    QByteArrayList smallCommands;
    for (const QByteArray &line : server.receivedCommands())
        if (!line.startsWith("EPSV") && !line.startsWith("TYPE"))
            smallCommands.append(line);
    EXPECT_EQ(smallCommands.join(", ").toStdString(), "STOR small.html, MFMT 20140513165500 small.html");
    EXPECT_EQ(mtimeOf(server.rootPath("small.html")), 1400000100);

    // The remote list shows the local times and never a temporary.
    showRemote();
    EXPECT_GE(rowOf(form->RemoteFileListV, "big.bin"), 0);
    EXPECT_EQ(rowOf(form->RemoteFileListV, ".stray.html.vexmora-part"), -1);

    // A download takes the server's time.
    ASSERT_TRUE(platform::setLocalFileTime(server.rootPath("small.html"), 1300000000));
    ASSERT_EQ(GetFile("small.html", localPath("copy.html")), 1);
    EXPECT_EQ(mtimeOf(localPath("copy.html")), 1300000000);

    // KeepTimes off: no MFMT, no MDTM.
    SetSafeTransferSettings(DefaultTempUploadMin, false);
    server.clearLog();
    ASSERT_EQ(PutFile(localPath("small.html"), "small.html"), 1);
    ASSERT_EQ(GetFile("small.html", localPath("copy.html")), 1);
    EXPECT_EQ(countReceived("MFMT"), 0);
    EXPECT_EQ(countReceived("MDTM"), 0);
}

TEST_F(SafeTransferTest, AReaderNeverSeesAPartOfAFileDuringManyUploads)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    SetSafeTransferSettings(0, false);
    const std::string versions[2] = {std::string(20000, 'a'), std::string(30000, 'b')};
    writeLocal("v0.html", versions[0]);
    writeLocal("v1.html", versions[1]);
    serveFile("page.html", versions[0]);
    std::atomic<bool> done{false};
    std::set<long long> sizesSeen;
    std::thread reader([&] {
        const std::string path = server.rootPath("page.html");
        while (!done) {
            struct stat st {};
            sizesSeen.insert(::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1);
        }
    });
    int sent = 0;
    for (int i = 0; i < 200; ++i)
        sent += PutFile(localPath(i % 2 ? "v0.html" : "v1.html"), "page.html");
    done = true;
    reader.join();
    EXPECT_EQ(sent, 200);
    EXPECT_EQ(sizesSeen, (std::set<long long>{20000, 30000}));
    EXPECT_EQ(served("page.html"), versions[0]);
}

TEST_F(SafeTransferTest, ACutUploadContinuesOnItsTemporaryAndTheOldFileStaysMeanwhile)
{
    const std::string data = randomBytes(2 * 1024 * 1024, 2);
    const qint64 cutAt = static_cast<qint64>(data.size()) * 6 / 10;
    ASSERT_NO_FATAL_FAILURE(connect(ftpfault::cutDataOnce("STOR", cutAt)));
    writeLocal("movie.bin", data);
    serveFile("movie.bin", "old movie");
    {
        const ErrorBoxMute mute(true);
        EXPECT_EQ(PutFile(localPath("movie.bin"), "movie.bin"), 0);
    }
    EXPECT_EQ(served("movie.bin"), "old movie");
    showRemote();
    EXPECT_EQ(rowOf(form->RemoteFileListV, ".movie.bin.vexmora-part"), -1);

    ASSERT_NO_FATAL_FAILURE(reconnect());
    ASSERT_EQ(PutFile(localPath("movie.bin"), "movie.bin"), 1) << panel(0);
    EXPECT_EQ(served("movie.bin"), data);
    EXPECT_FALSE(servedExists(".movie.bin.vexmora-part"));
    EXPECT_GE(countReceived("REST "), 1);
    // Re-sent: at most 1 MiB and one buffer more than the file.
    EXPECT_LE(server.uploadedBytes(), static_cast<qint64>(data.size()) + 1024 * 1024 + 256 * 1024);
    EXPECT_GE(server.uploadedBytes(), static_cast<qint64>(data.size()));

    // A changed local file is not continued on the old bytes: sent whole.
    std::string changed = data;
    changed[0] = static_cast<char>(changed[0] ^ 1);
    writeLocal("movie.bin", changed);
    server.clearLog();
    ASSERT_EQ(PutFile(localPath("movie.bin"), "movie.bin"), 1);
    EXPECT_EQ(served("movie.bin"), changed);
    EXPECT_EQ(countReceived("REST "), 0);
}

TEST_F(SafeTransferTest, ARefusedRenameOverAFileFallsBackOnceAndKeepsTheOldFileUntilTheNewIsWhole)
{
    ASSERT_NO_FATAL_FAILURE(connect(ftpfault::refuseRenameOver() + ftpfault::noMfmt()));
    const std::string data = randomBytes(200 * 1024, 3);
    writeLocal("big.bin", data);
    serveFile("big.bin", "old");
    ASSERT_EQ(PutFile(localPath("big.bin"), "big.bin"), 1) << panel(0);
    EXPECT_EQ(served("big.bin"), data);
    EXPECT_NE(panel(0).find("古いﾌｧｲﾙを削除してからﾘﾈｰﾑ"), std::string::npos) << panel(0);
    const QByteArrayList commands = server.receivedCommands();
    EXPECT_GT(commands.indexOf("DELE big.bin"), commands.indexOf("SIZE .big.bin.vexmora-part"));
    EXPECT_EQ(countReceived("MFMT"), 0);

    // From now on the old file goes first without asking the server again.
    server.clearLog();
    ASSERT_EQ(PutFile(localPath("big.bin"), "big.bin"), 1);
    EXPECT_EQ(served("big.bin"), data);
    EXPECT_EQ(countReceived("RNTO "), 1);
}

TEST_F(SafeTransferTest, CancelStopsAnUploadThroughATemporaryAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(connect(ftpfault::throttle(512 * 1024)));
    writeLocal("big.bin", randomBytes(8 * 1024 * 1024, 4));
    serveFile("big.bin", "old");
    QTimer::singleShot(500, [] { CancelDownload(); });
    {
        const ErrorBoxMute mute(true);
        EXPECT_EQ(PutFile(localPath("big.bin"), "big.bin"), 0);
    }
    ResetDownloadCancel();
    EXPECT_EQ(served("big.bin"), "old");
    EXPECT_TRUE(testsupport::waitUntil([&] { return !servedExists(".big.bin.vexmora-part"); }, 10000));
    EXPECT_TRUE(server.hasReceived("ABOR"));
}

TEST_F(SafeTransferTest, ACutDownloadContinuesFromItsLocalTemporary)
{
    const std::string data = randomBytes(1536 * 1024, 5);
    ASSERT_NO_FATAL_FAILURE(connect(ftpfault::cutDataOnce("RETR", 900 * 1024)));
    serveFile("big.bin", data);
    writeLocal("big.bin", "old");
    {
        const ErrorBoxMute mute(true);
        EXPECT_EQ(GetFile("big.bin", localPath("big.bin")), 0);
    }
    EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), "old");
    ASSERT_TRUE(localExists(".big.bin.vexmora-part"));

    ASSERT_NO_FATAL_FAILURE(reconnect());
    server.clearLog();
    ASSERT_EQ(GetFile("big.bin", localPath("big.bin")), 1) << panel(0);
    EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), data);
    EXPECT_GE(countReceived("REST "), 1);
    EXPECT_FALSE(localExists(".big.bin.vexmora-part"));
}

TEST_F(SafeTransferTest, ServerRefusingRestAndMfmtLosesThemForTheSessionAndTheTransfersGoOn)
{
    const std::string data = randomBytes(600 * 1024, 6);
    ASSERT_NO_FATAL_FAILURE(connect(ftpfault::cutDataOnce("STOR", 300 * 1024)
                                    + ftpfault::refuse("REST", "502 Not here.")
                                    + ftpfault::refuse("MFMT", "500 Not here.")));
    writeLocal("big.bin", data);
    writeLocal("small.html", "<p>");
    {
        const ErrorBoxMute mute(true);
        EXPECT_EQ(PutFile(localPath("big.bin"), "big.bin"), 0);
    }
    ASSERT_NO_FATAL_FAILURE(reconnect());
    server.clearLog();
    // REST refused: the whole file again, to its temporary.
    ASSERT_EQ(PutFile(localPath("big.bin"), "big.bin"), 1) << panel(0);
    EXPECT_EQ(served("big.bin"), data);
    EXPECT_EQ(countReceived("REST "), 1);
    EXPECT_EQ(countReceived("STOR .big.bin.vexmora-part"), 1);
    // MFMT refused after it: not asked again in this session.
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(PutFile(localPath("small.html"), "small.html"), 1) << i;
    EXPECT_EQ(countReceived("MFMT "), 1);
    EXPECT_NE(panel(0).find("MFMT"), std::string::npos) << panel(0);
    EXPECT_EQ(served("small.html"), "<p>");
}
