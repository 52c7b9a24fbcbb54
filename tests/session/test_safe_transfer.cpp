// SPDX-License-Identifier: GPL-3.0-or-later
// Uploads that appear whole, transfers and runs that continue after a cut or a
// lost connection, kept file times.
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "support/FtpServer.h"
#include "support/test_transfer_fixture.h"

#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <set>
#include <sys/stat.h>
#include <thread>

using namespace transfertest;
namespace ftpfault = testsupport::ftpfault;
using testsupport::randomBytes;
using Kind = testsupport::ScriptedDialogs::Kind;

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
    // The user's run of the named files: an upload of local rows or a
    // download of remote ones, answered yes.
    void runSelection(int direction, std::initializer_list<std::string> names)
    {
        if (direction == 0) {
            showLocal();
            ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, names));
            form->UploadExecute();
        } else {
            showRemote();
            ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, names));
            app.dialogs().expectConfirm(
                QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)"), true);
            form->DounloadExecute();
        }
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

// A transfer cut at 60 % leaves the old file where it lands and its temporary
// (for a download, a partial file here) in no list. Tried again, it continues
// from the temporary with at most 1 MiB and one buffer sent twice, unless it
// must start over: the local file has changed since, or the download goes as
// text. Either way the file arrives whole and no temporary stays. The first
// download into a folder takes away a partial file an earlier run left there.
TEST_F(SafeTransferTest, ACutTransferKeepsTheOldFileAndContinuesOnItsTemporaryUnlessItStartsOver)
{
    struct Case {
        bool upload, startOver;
    };
    const Case cases[] = {{true, false}, {false, false}, {true, true}, {false, true}};
    ASSERT_NO_FATAL_FAILURE(writeLocal(".left.bin.vexmora-part", "from an earlier run"));
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.upload ? "upload" : "download") + (c.startOver ? ", started over" : ""));
        // No CR, so that a text transfer gives the bytes back as they are.
        std::string data = randomBytes(2 * 1024 * 1024, c.upload ? 2 : 5);
        std::replace(data.begin(), data.end(), '\r', '\n');
        const qint64 cutAt = static_cast<qint64>(data.size()) * 6 / 10;
        if (SessionOpen())
            CloseSession();
        ASSERT_NO_FATAL_FAILURE(connect(ftpfault::cutDataOnce(c.upload ? "STOR" : "RETR", cutAt)));
        ASSERT_NO_FATAL_FAILURE(writeLocal("movie.bin", c.upload ? data : "old movie"));
        ASSERT_NO_FATAL_FAILURE(serveFile("movie.bin", c.upload ? "old movie" : data));
        const auto transfer = [&] {
            return c.upload ? PutFile(localPath("movie.bin"), "movie.bin")
                            : GetFile("movie.bin", localPath("movie.bin"));
        };
        const auto landed = [&] {
            return c.upload ? served("movie.bin") : testsupport::readFileBytes(localPath("movie.bin"));
        };
        {
            const ErrorBoxMute mute(true);
            EXPECT_EQ(transfer(), 0);
        }
        EXPECT_EQ(landed(), "old movie");
        EXPECT_TRUE(c.upload ? servedExists(".movie.bin.vexmora-part")
                             : localExists(".movie.bin.vexmora-part"));
        EXPECT_EQ(localExists(".left.bin.vexmora-part"), &c == &cases[0]) << "swept by the first download";

        ASSERT_NO_FATAL_FAILURE(reconnect());
        // Each list shows movie.bin alone.
        showRemote();
        showLocal();
        EXPECT_EQ(form->RemoteFileCount, 1);
        EXPECT_EQ(form->LocalFileCount, 1);
        if (c.startOver && c.upload) {
            data[0] = static_cast<char>(data[0] ^ 1); // same size, a newer time
            ASSERT_NO_FATAL_FAILURE(writeLocal("movie.bin", data));
        }
        SetTransferType(c.startOver && !c.upload ? FtpTransferAscii : FtpTransferBinary);
        server.clearLog();
        ASSERT_EQ(transfer(), 1) << panel(0);
        SetTransferType(FtpTransferBinary);
        EXPECT_TRUE(landed() == data);
        EXPECT_FALSE(servedExists(".movie.bin.vexmora-part") || localExists(".movie.bin.vexmora-part"));
        EXPECT_EQ(countReceived("REST ") > 0, !c.startOver);
        if (!c.startOver) {
            const qint64 moved = c.upload ? server.uploadedBytes() : server.downloadedBytes();
            EXPECT_LE(moved, static_cast<qint64>(data.size()) - cutAt + 1024 * 1024 + 256 * 1024);
        }
    }
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

// The server's SIZE of the temporary disagrees with the bytes sent (short or
// long): the upload fails as such, the temporary is never renamed over the old
// file, and the next upload of the file sends it whole.
TEST_F(SafeTransferTest, ATemporaryWhoseSizeDisagreesIsNeverRenamedAndTheNextUploadSendsItWhole)
{
    const std::string data = randomBytes(300 * 1024, 7);
    writeLocal("big.bin", data);
    for (const qint64 offBy : {-1, 4096}) {
        SCOPED_TRACE(offBy);
        if (SessionOpen())
            CloseSession();
        ASSERT_NO_FATAL_FAILURE(connect(ftpfault::wrongSizeOnce(offBy)));
        serveFile("big.bin", "old page");
        server.clearLog();
        app.dialogs().expectContaining(Kind::Message,
                                       QStringLiteral("ｻｰﾊﾞｰのｻｲｽﾞが送信ﾊﾞｲﾄ数と一致しません"));
        EXPECT_EQ(PutFile(localPath("big.bin"), "big.bin"), 0);
        app.dialogs().verifyAllMet();
        EXPECT_EQ(panel(0).rfind("FtpPutFile失敗: ", 0), 0u) << panel(0);
        EXPECT_EQ(served("big.bin"), "old page");
        EXPECT_EQ(countReceived("RNFR "), 0);
        EXPECT_FALSE(servedExists(".big.bin.vexmora-part"));

        server.clearLog();
        ASSERT_EQ(PutFile(localPath("big.bin"), "big.bin"), 1) << panel(0);
        EXPECT_EQ(served("big.bin"), data);
        EXPECT_EQ(countReceived("REST "), 0);
        EXPECT_EQ(server.uploadedBytes(), static_cast<qint64>(data.size()));
    }
}

// A user's run of several files outlives a connection lost in the middle of
// its second file: one reconnect, the cut file continued from the bytes it had
// moved (its temporary on the server, its partial file here), the files after
// it transferred in the same run, and no message box. Over one connection the
// session's is cut; over three the server drops every connection at once.
TEST_F(SafeTransferTest, AManualRunReconnectsOnceAfterALostConnectionAndEveryFileArrivesWhole)
{
    const std::initializer_list<std::string> names = {"a.bin", "b.bin", "c.bin", "d.html"};
    const std::vector<std::string> data = {randomBytes(200 * 1024, 11), randomBytes(3 * 1024 * 1024, 12),
                                           randomBytes(200 * 1024, 13), "<p>small</p>"};
    const qint64 total = 200 * 1024 * 2 + 3 * 1024 * 1024 + 12;
    struct Case {
        int direction;
        const char *command;
        int connections;
    };
    for (const Case &c : {Case{0, "STOR", 1}, Case{1, "RETR", 1}, Case{0, "STOR", 3}, Case{1, "RETR", 3}}) {
        SCOPED_TRACE(std::string(c.command) + " over " + std::to_string(c.connections));
        if (SessionOpen())
            CloseSession();
        SetTransferConnections(c.connections);
        // Only the second file is long enough to be cut, once.
        ASSERT_NO_FATAL_FAILURE(connect(ftpfault::cutDataOnce(c.command, 1024 * 1024, c.connections > 1)));
        size_t i = 0;
        for (const std::string &name : names) {
            ASSERT_NO_FATAL_FAILURE(writeLocal(name, c.direction == 0 ? data[i] : "old"));
            ASSERT_NO_FATAL_FAILURE(serveFile(name, c.direction == 0 ? "old" : data[i]));
            ++i;
        }
        server.clearLog();
        Watchdog watchdog([] { UpDownLoadForm->ButtonCancelClick(); });
        ASSERT_NO_FATAL_FAILURE(runSelection(c.direction, names));
        app.dialogs().verifyAllMet();
        EXPECT_TRUE(app.dialogs().messages().isEmpty()) << app.dialogs().messages().join('|').toStdString();

        i = 0;
        for (const std::string &name : names) {
            const std::string arrived =
                c.direction == 0 ? served(name) : testsupport::readFileBytes(localPath(name));
            EXPECT_TRUE(arrived == data[i]) << name << ": " << arrived.size() << " bytes";
            EXPECT_FALSE(servedExists("." + name + ".vexmora-part")) << name;
            EXPECT_FALSE(localExists("." + name + ".vexmora-part")) << name;
            ++i;
        }
        // One reconnect; the extra connections log in again after it.
        const int logins = countReceived("PASS ");
        EXPECT_GE(logins, 1);
        EXPECT_LE(logins, 1 + 2 * (c.connections - 1));
        EXPECT_GE(countReceived("REST "), 1);
        // The cut files continued: far less than the long one's size went twice.
        const qint64 moved = c.direction == 0 ? server.uploadedBytes() : server.downloadedBytes();
        EXPECT_GE(moved, total);
        EXPECT_LT(moved - total, static_cast<qint64>(data[1].size()) / 4);
        EXPECT_FALSE(form->CancelRequested);
    }
}

// When the reconnect after a lost connection fails too, the run ends with one
// message: no box per row, the old files where the run had not come intact.
TEST_F(SafeTransferTest, AManualRunWhoseReconnectFailsEndsWithOneMessage)
{
    ASSERT_NO_FATAL_FAILURE(connect(ftpfault::throttle(1024 * 1024)));
    for (const std::string name : {"a.bin", "b.bin", "c.bin"}) {
        ASSERT_NO_FATAL_FAILURE(writeLocal(name, randomBytes(2 * 1024 * 1024, 20)));
        ASSERT_NO_FATAL_FAILURE(serveFile(name, "old"));
    }
    // The server goes away once the first file is on its way.
    const qint64 pid = server.processId();
    const std::string temporary = server.rootPath(".a.bin.vexmora-part");
    std::thread killer([pid, temporary] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            struct stat st {};
            if (::stat(temporary.c_str(), &st) == 0 && st.st_size > 0) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    app.dialogs().allowMessages();
    Watchdog watchdog([] { UpDownLoadForm->ButtonCancelClick(); });
    ASSERT_NO_FATAL_FAILURE(runSelection(0, {"a.bin", "b.bin", "c.bin"}));
    killer.join();
    server.stop();

    const QStringList messages = app.dialogs().messages();
    ASSERT_EQ(messages.size(), 1) << messages.join('|').toStdString();
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("ｻｰﾊﾞｰとの接続が切れ、再接続できなかった")))
        << messages[0].toStdString();
    // The status bar names the call that lost the connection.
    EXPECT_EQ(panel(0).rfind("FtpPutFile失敗: ", 0), 0u) << panel(0);
    for (const std::string name : {"a.bin", "b.bin", "c.bin"})
        EXPECT_EQ(served(name), "old") << name;
}

// A download on a connection the server has closed fails as a lost connection
// in either mode, so that a run can tell it from a refusal and send it again.
TEST_F(SafeTransferTest, ADownloadOnAClosedConnectionFailsAsALostConnection)
{
    for (const int type : {FtpTransferBinary, FtpTransferAscii}) {
        SCOPED_TRACE(type);
        ASSERT_NO_FATAL_FAILURE(connect());
        ASSERT_NO_FATAL_FAILURE(serveFile("page.html", "page"));
        SetTransferType(type);
        server.stop();
        platform::setLastError(platform::err::Success);
        app.dialogs().expectMessage(QStringLiteral("サーバーとの接続が切断されました。"));
        EXPECT_EQ(GetFile("page.html", localPath("page.html")), 0);
        app.dialogs().verifyAllMet();
        EXPECT_TRUE(platform::isConnectionLoss(platform::lastError())) << platform::lastError();
        CloseSession();
    }
    SetTransferType(FtpTransferBinary);
}
