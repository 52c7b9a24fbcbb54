// SPDX-License-Identifier: GPL-3.0-or-later
// The window over SFTP against Debian's OpenSSH server: host keys asked once,
// kept and a changed one refused; password, agent and key-file logins; lists,
// transfers of a tree, a watch pass and several connections; uploads through a
// temporary renamed over the old file; Cancel; a server that never answers;
// and the client itself continuing transfers from an offset, keeping times and
// sending keepalives.
#include "app/session/CertificateTrust.h"
#include "platform/LastError.h"
#include "platform/SftpClient.h"
#include "support/SshServer.h"
#include "support/test_transfer_fixture.h"
#include "ui/Edit.h"
#include "ui/SpeedButton.h"

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <atomic>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace transfertest;

namespace {

class SftpTest : public TransferTest {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "sshd needs root";
        TransferTest::SetUp();
        ::unsetenv("SSH_AUTH_SOCK");
        // The user's OpenSSH folder is a temporary one: nothing of the real ~/.ssh is read.
        sshDir = app.dir() + "/ssh";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(sshDir)));
        setOptions(5000);
        ASSERT_TRUE(ssh.start()) << ssh.errorString().toStdString();
        form->EHost->setText(ui::toQ(ssh.address()));
        form->EUserId->setText(ui::toQ(ssh.user()));
        form->EPassword->setText(ui::toQ(ssh.password()));
    }
    void TearDown() override
    {
        ::unsetenv("SSH_AUTH_SOCK");
        TransferTest::TearDown();
    }
    void setOptions(int timeoutMs)
    {
        platform::FtpOptions options{timeoutMs, timeoutMs, timeoutMs};
        options.sshDirectory = sshDir;
        SetFtpOptions(options);
    }
    int open()
    {
        if (SessionOpen())
            CloseSession();
        OpenInternet();
        return OpenSession(ui::fromQ(form->EHost->text()));
    }
    // Connects through the window, trusting the host key when asked.
    void connectTrusting()
    {
        app.dialogs().expectContaining(ScriptedDialogs::Kind::Confirm,
                                       QStringLiteral("の鍵は登録されていません"),
                                       ScriptedDialogs::Answer::Yes);
        form->ConnectActionExecute();
        ASSERT_TRUE(form->Connected) << panel(0);
        app.dialogs().verifyAllMet();
    }
    std::string method() const
    {
        const auto *client = dynamic_cast<const platform::SftpClient *>(FtpSession());
        return client ? client->authMethod() : std::string();
    }
    std::string servedFile(const std::string &relative) const
    {
        return testsupport::readFileBytes(ssh.rootPath(relative));
    }

    testsupport::SshServer ssh;
    std::string sshDir;
};

} // namespace

TEST_F(SftpTest, HostKeyAskedOnceKeptAndAChangedKeyRefused)
{
    ScriptedDialogs &dialogs = app.dialogs();
    const std::string fingerprint = ssh.hostFingerprint();
    ASSERT_EQ(fingerprint.rfind("SHA256:", 0), 0u) << fingerprint;
    dialogs.expectContaining(ScriptedDialogs::Kind::Confirm, ui::toQ("ssh-ed25519\n指紋: " + fingerprint),
                             ScriptedDialogs::Answer::No);
    dialogs.expectContaining(ScriptedDialogs::Kind::Message, QStringLiteral("信頼されていない"));
    EXPECT_EQ(open(), 0);
    const std::string store = KnownHostsPath(form->IniPath);
    EXPECT_FALSE(testsupport::fileExists(store));
    dialogs.verifyAllMet();

    dialogs.expectContaining(ScriptedDialogs::Kind::Confirm, ui::toQ(fingerprint),
                             ScriptedDialogs::Answer::Yes);
    ASSERT_EQ(open(), 1) << panel(0);
    dialogs.verifyAllMet();
    EXPECT_NE(panel(0).find("(SSHで暗号化)"), std::string::npos) << panel(0);
    struct stat st {};
    ASSERT_EQ(::stat(store.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string site = "[127.0.0.1]:" + std::to_string(ssh.port());
    EXPECT_EQ(testsupport::readFileBytes(store).rfind(site + " ssh-ed25519 ", 0), 0u);
    // Kept: the next connect asks nothing.
    ASSERT_EQ(open(), 1);

    // Another key on the same address: refused with both fingerprints, nothing asked.
    CloseSession();
    ssh.stop();
    ASSERT_TRUE(ssh.renewHostKey());
    ASSERT_TRUE(ssh.start());
    const std::string renewed = ssh.hostFingerprint();
    dialogs.expectContaining(
        ScriptedDialogs::Kind::Message,
        ui::toQ("異なります。\n第三者が通信に割り込んでいる可能性があるため、接続しませんでした。\n\n"
                "登録されている鍵の指紋:\n"
                + fingerprint + "\nサーバーが示した鍵 (ssh-ed25519) の指紋:\n" + renewed));
    dialogs.expectContaining(ScriptedDialogs::Kind::Message, QStringLiteral("信頼されていない"));
    EXPECT_EQ(open(), 0);
    dialogs.verifyAllMet();

    // The user's own known_hosts, its names hashed, vouches for the new key.
    QFile::remove(QString::fromStdString(store));
    const std::string userFile = sshDir + "/known_hosts";
    QProcess scan;
    scan.start(QStringLiteral("ssh-keyscan"),
               {QStringLiteral("-H"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-p"),
                QString::number(ssh.port()), QStringLiteral("127.0.0.1")});
    ASSERT_TRUE(scan.waitForFinished(30000));
    const QByteArray line = scan.readAllStandardOutput();
    ASSERT_TRUE(line.startsWith("|1|")) << line.toStdString();
    ASSERT_TRUE(testsupport::writeFileBytes(userFile, line.toStdString()));
    ASSERT_EQ(open(), 1) << panel(0);
    EXPECT_FALSE(testsupport::fileExists(store));
}

TEST_F(SftpTest, PasswordAgentKeyFileAndKeyboardInteractiveLoginsAndOneMessageForAWrongPassword)
{
    ASSERT_NO_FATAL_FAILURE(connectTrusting());
    EXPECT_EQ(method(), "password");

    form->EPassword->setText(QStringLiteral("wrong"));
    app.dialogs().expect(ScriptedDialogs::Kind::Message, QStringLiteral("パスワードが正しくありません。"));
    EXPECT_EQ(open(), 0);
    app.dialogs().verifyAllMet();

    // No password: the agent's key.
    form->EPassword->setText({});
    const std::string agent = ssh.startAgent();
    ASSERT_FALSE(agent.empty()) << ssh.errorString().toStdString();
    ::setenv("SSH_AUTH_SOCK", agent.c_str(), 1);
    ASSERT_EQ(open(), 1) << panel(0);
    EXPECT_EQ(method(), "agent");
    ::unsetenv("SSH_AUTH_SOCK");

    // The default key file, locked with a passphrase asked for once.
    const std::string key = sshDir + "/id_ed25519";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(ssh.clientKey()), QString::fromStdString(key)));
    ::chmod(key.c_str(), 0600);
    QProcess lock;
    lock.start(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-p"), QStringLiteral("-P"), QString(),
                QStringLiteral("-N"), QStringLiteral("phrase"), QStringLiteral("-f"),
                QString::fromStdString(key)});
    ASSERT_TRUE(lock.waitForFinished(30000) && lock.exitCode() == 0);
    app.dialogs().expectPassword(ui::toQ("鍵 " + key + " のパスフレーズを入力してください"),
                                 QStringLiteral("phrase"));
    ASSERT_EQ(open(), 1) << panel(0);
    EXPECT_EQ(method(), "publickey");
    app.dialogs().verifyAllMet();

    // A server asking for the password by keyboard-interactive only: the
    // account's password answers, a wrong one gives the same one message.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(key)));
    CloseSession();
    ssh.stop();
    ssh.setFirstConfig(
        QStringLiteral("UsePAM yes\nKbdInteractiveAuthentication yes\nPasswordAuthentication no\n"));
    ASSERT_TRUE(ssh.start()) << ssh.errorString().toStdString();
    form->EPassword->setText(ui::toQ(ssh.password()));
    ASSERT_EQ(open(), 1) << panel(0);
    EXPECT_EQ(method(), "keyboard-interactive");
    form->EPassword->setText(QStringLiteral("wrong"));
    app.dialogs().expect(ScriptedDialogs::Kind::Message, QStringLiteral("パスワードが正しくありません。"));
    EXPECT_EQ(open(), 0);
    app.dialogs().verifyAllMet();
}

TEST_F(SftpTest, ListsTreesWatchAndThreeConnectionsMoveBytesAsTheyAre)
{
    const std::string sjis = "\x83\x65\x83\x58\x83\x67.txt"; // "テスト.txt" in Shift-JIS
    ASSERT_TRUE(testsupport::writeFileBytes(ssh.rootPath(sjis), "sjis"));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ssh.rootPath("real"))));
    ASSERT_EQ(::symlink("real", ssh.rootPath("linked").c_str()), 0);
    ASSERT_EQ(::symlink("missing", ssh.rootPath("dangling").c_str()), 0);
    ASSERT_NO_FATAL_FAILURE(connectTrusting());
    std::map<std::string, bool> rows;
    for (int i = 0; i < form->RemoteFileListV->rowCount(); ++i) {
        const QTreeWidgetItem *row = form->RemoteFileListV->row(i);
        rows[ui::ListView::rowName(row)] = ui::ListView::imageIndex(row) == ImageFolder;
    }
    EXPECT_EQ(rows, (std::map<std::string, bool>{
                        {sjis, false}, {"real", true}, {"linked", true}, {"dangling", false}}));

    // A tree and many files up over three connections, byte for byte, in ASCII mode.
    SetTransferConnections(3);
    SetTransferType(FtpTransferAscii);
    std::string binary(70000, '\0');
    for (size_t k = 0; k < binary.size(); ++k)
        binary[k] = static_cast<char>((k * 131) & 0xFF);
    for (int i = 0; i < 12; ++i)
        ASSERT_NO_FATAL_FAILURE(
            writeLocal("f" + std::to_string(i) + ".html", "line\r\nlf\n" + std::to_string(i)));
    ASSERT_NO_FATAL_FAILURE(writeLocal("site/index.html", "<p>\n"));
    ASSERT_NO_FATAL_FAILURE(writeLocal("site/sub/b.bin", binary));
    // One large file keeps the run going while the extra connections log in:
    // a run that ends first gives up the logins it no longer needs.
    const std::string large = testsupport::randomBytes(24 * 1024 * 1024, 26);
    ASSERT_NO_FATAL_FAILURE(writeLocal("large.bin", large));
    showLocal();
    form->LocalFileListV->selectAll();
    form->UploadExecute();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(servedFile("f" + std::to_string(i) + ".html"), "line\r\nlf\n" + std::to_string(i));
    EXPECT_EQ(servedFile("site/index.html"), "<p>\n");
    EXPECT_TRUE(servedFile("site/sub/b.bin") == binary);
    EXPECT_TRUE(servedFile("large.bin") == large);
    EXPECT_GE(ssh.logins(), 2) << "more than one connection took files";
    EXPECT_LE(ssh.logins(), 3);
    EXPECT_EQ(app.dialogs().count(ScriptedDialogs::Kind::Confirm), 1)
        << "the extra connections asked nothing";

    // And back down.
    ASSERT_TRUE(platform::deleteFile(localPath("f3.html")));
    showRemote();
    form->RemoteFileListV->clearSelection();
    for (int i = 0; i < form->RemoteFileListV->rowCount(); ++i) {
        const std::string name = ui::ListView::rowName(form->RemoteFileListV->row(i));
        if (name == "f3.html" || name == sjis)
            form->RemoteFileListV->selectRow(i);
    }
    ASSERT_EQ(form->RemoteFileListV->selectedCount(), 2);
    app.dialogs().expectConfirm(
        QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)"), true);
    form->DounloadExecute();
    EXPECT_EQ(testsupport::readFileBytes(localPath("f3.html")), "line\r\nlf\n3");
    // The server's Shift-JIS name is UTF-8 on the local disk.
    EXPECT_EQ(testsupport::readFileBytes(localPath("テスト.txt")), "sjis");
    EXPECT_FALSE(platform::fileExists(localPath(sjis)));

    // A watch pass sends what changed.
    SetTransferConnections(1);
    ASSERT_NO_FATAL_FAILURE(enterWatch());
    ASSERT_NO_FATAL_FAILURE(writeLocal("f5.html", "changed\n"));
    form->TimerDemonTimer();
    form->StopAutomation();
    EXPECT_EQ(servedFile("f5.html"), "changed\n");
}

TEST_F(SftpTest, UploadsThroughATemporaryReplaceTheOldFileInOneStepElseDeleteItOnlyOnceTheNewIsWhole)
{
    SetSafeTransferSettings(DefaultTempUploadMin, true);
    const std::string fallback = "古いﾌｧｲﾙを削除してからﾘﾈｰﾑ";
    const std::string target = ssh.rootPath("big.bin");
    ASSERT_TRUE(testsupport::writeFileBytes(target, "old"));
    ASSERT_NO_FATAL_FAILURE(writeLocal("big.bin", testsupport::randomBytes(300 * 1024, 7)));
    ASSERT_NO_FATAL_FAILURE(connectTrusting());

    // posix-rename: a reader finds the old file or the new one at every moment.
    std::atomic<bool> reading{true};
    std::atomic<int> missing{0};
    std::thread reader([&] {
        struct stat st {};
        while (reading)
            missing += ::stat(target.c_str(), &st) != 0 ? 1 : 0;
    });
    int sent = 0;
    for (int i = 0; i < 5; ++i)
        sent += PutFile(localPath("big.bin"), "big.bin");
    reading = false;
    reader.join();
    EXPECT_EQ(sent, 5) << panel(0);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(panel(0).find(fallback), std::string::npos) << panel(0);
    EXPECT_TRUE(servedFile("big.bin") == testsupport::readFileBytes(localPath("big.bin")));
    EXPECT_EQ(testsupport::folderEntries(ssh.rootPath()), (std::vector<std::string>{"big.bin"}));

    // A server refusing posix-rename: the old file goes once the new one is
    // whole on the server, and an upload cut short leaves the old file.
    CloseSession();
    ssh.stop();
    ssh.setSftpFlags(QStringLiteral("-P posix-rename"));
    ASSERT_TRUE(ssh.start());
    ASSERT_EQ(open(), 1) << panel(0);
    const std::string second = testsupport::randomBytes(200 * 1024, 8);
    ASSERT_NO_FATAL_FAILURE(writeLocal("big.bin", second));
    ASSERT_EQ(PutFile(localPath("big.bin"), "big.bin"), 1) << panel(0);
    EXPECT_NE(panel(0).find(fallback), std::string::npos) << panel(0);
    EXPECT_TRUE(servedFile("big.bin") == second);

    const std::string huge = localPath("big.bin");
    ASSERT_EQ(::truncate(huge.c_str(), 1024ll * 1024 * 1024), 0);
    ResetDownloadCancel();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QFileInfo(QString::fromStdString(ssh.rootPath(".big.bin.vexmora-part"))).size() > 0)
            CancelDownload();
    });
    poll.start(5);
    {
        const ErrorBoxMute mute(true);
        EXPECT_EQ(PutFile(huge, "big.bin"), 0);
    }
    poll.stop();
    ResetDownloadCancel();
    EXPECT_TRUE(servedFile("big.bin") == second);
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return testsupport::folderEntries(ssh.rootPath()) == std::vector<std::string>{"big.bin"}; },
        10000));
}

TEST_F(SftpTest, CancelMidDownloadLeavesTheOldFileAndTheSessionWorks)
{
    const std::string big = ssh.rootPath("big.bin");
    ASSERT_TRUE(testsupport::writeFileBytes(big, {}));
    ASSERT_EQ(::truncate(big.c_str(), 1024ll * 1024 * 1024), 0);
    ASSERT_NO_FATAL_FAILURE(connectTrusting());
    ASSERT_NO_FATAL_FAILURE(writeLocal("big.bin", "old"));
    ResetDownloadCancel();
    // Cancel once the download has written its first bytes.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const std::string &name : testsupport::folderEntries(local->pathBytes()))
            if (name != "big.bin" && QFileInfo(QString::fromStdString(localPath(name))).size() > 0)
                CancelDownload();
    });
    poll.start(5);
    QElapsedTimer timer;
    timer.start();
    app.dialogs().allowMessages();
    EXPECT_EQ(GetFile("big.bin", localPath("big.bin")), 0);
    poll.stop();
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_NE(panel(0).find(std::to_string(platform::err::OperationCancelled)), std::string::npos)
        << panel(0);
    EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), "old");
    EXPECT_EQ(testsupport::folderEntries(local->pathBytes()), (std::vector<std::string>{"big.bin"}));
    ResetDownloadCancel();
    ASSERT_TRUE(testsupport::writeFileBytes(ssh.rootPath("small.txt"), "small"));
    EXPECT_EQ(GetFile("small.txt", localPath("small.txt")), 1) << panel(0);
    EXPECT_EQ(testsupport::readFileBytes(localPath("small.txt")), "small");
}

TEST_F(SftpTest, AServerThatNeverAnswersOrSendsGarbageIsBoundedByTheConnectTimeout)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &length), 0);
    const std::string address = "sftp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    form->EHost->setText(ui::toQ(address));
    setOptions(1500);
    app.dialogs().allowMessages();
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(open(), 0);
    EXPECT_LT(timer.elapsed(), 6000);
    EXPECT_NE(panel(0).find(std::to_string(platform::err::InternetTimeout)), std::string::npos) << panel(0);

    // Garbage instead of an SSH greeting, then the end of the stream.
    std::thread garbage([listener] {
        for (int i = 0; i < 2; ++i) {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                return;
            const char text[] = "HTTP/1.1 400 Bad Request\r\n\r\n";
            (void)!::write(fd, text, sizeof text - 1);
            ::close(fd);
        }
    });
    timer.restart();
    EXPECT_EQ(open(), 0);
    EXPECT_LT(timer.elapsed(), 6000);
    EXPECT_FALSE(SessionOpen());
    ::shutdown(listener, SHUT_RDWR);
    garbage.join();
    ::close(listener);
}

TEST_F(SftpTest, TransfersContinueFromAnOffsetTimesAreSetAndARefusalLeavesTheSessionUsable)
{
    ssh.stop();
    ssh.setFirstConfig(QStringLiteral("LogLevel DEBUG3\n")); // logs each keepalive
    ASSERT_TRUE(ssh.start());
    platform::FtpOptions options{5000, 5000, 5000};
    options.sshDirectory = sshDir;
    options.keepaliveSeconds = 1;
    const auto descriptors = [] { return testsupport::folderEntries("/proc/self/fd").size(); };
    const size_t before = descriptors();
    platform::SftpClient client(options);
    client.setHostKeyCheck([](const platform::HostKeyInfo &) { return true; });
    ASSERT_TRUE(client.connect(ssh.address(), ssh.user(), ssh.password(), 1));
    // Idle, it sends its keepalives.
    const int quiet = ssh.logCount("SSH2_MSG_IGNORE");
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_GE(ssh.logCount("SSH2_MSG_IGNORE") - quiet, 2);
    // Many pieces in flight and a short last one.
    const std::string whole = testsupport::randomBytes(5 * 1024 * 1024 + 123, 31);
    ASSERT_NO_FATAL_FAILURE(writeLocal("whole.bin", whole));

    // Up: a first part, then the rest from where it ended.
    const size_t cut = 3 * 1024 * 1024 + 1;
    ASSERT_NO_FATAL_FAILURE(writeLocal("part.bin", whole.substr(0, cut)));
    ASSERT_TRUE(client.putFile(localPath("part.bin"), "up.bin", platform::TransferType::Binary, 1));
    platform::PutOptions put;
    put.offset = cut;
    ASSERT_TRUE(client.putFile(localPath("whole.bin"), "up.bin", platform::TransferType::Binary, 1, put));
    EXPECT_TRUE(servedFile("up.bin") == whole);
    uint64_t size = 0;
    ASSERT_TRUE(client.fileSize("up.bin", size));
    EXPECT_EQ(size, whole.size());

    // Down into a partial file holding a first part with bytes past the offset
    // that must be dropped.
    const std::string partial = localPath(".down.part");
    ASSERT_TRUE(testsupport::writeFileBytes(partial, whole.substr(0, 1024 * 1024 + 7) + "junk"));
    platform::GetOptions get;
    get.partialPath = partial;
    get.offset = 1024 * 1024 + 7;
    get.expectedSize = static_cast<int64_t>(whole.size());
    ASSERT_TRUE(client.getFile("up.bin", localPath("down.bin"), platform::TransferType::Binary, 1, get));
    EXPECT_TRUE(testsupport::readFileBytes(localPath("down.bin")) == whole);
    EXPECT_EQ(client.transferredBytes(), whole.size());
    EXPECT_FALSE(testsupport::fileExists(partial));

    ASSERT_TRUE(client.setFileTime("up.bin", 1700000000));
    int64_t seconds = 0;
    ASSERT_TRUE(client.fileTime("up.bin", seconds));
    EXPECT_EQ(seconds, 1700000000);

    // A folder the account may not write: the server's refusal, and the
    // connection goes on.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ssh.rootPath("locked"))));
    ASSERT_EQ(::chmod(ssh.rootPath("locked").c_str(), 0555), 0);
    EXPECT_FALSE(client.putFile(localPath("whole.bin"), "locked/x.bin", platform::TransferType::Binary, 1));
    EXPECT_EQ(platform::lastError(), platform::err::InternetExtendedError);
    EXPECT_EQ(client.lastReply(), "SFTP: Permission denied (3) locked/x.bin");
    EXPECT_FALSE(client.getFile("missing.bin", localPath("missing.bin"), platform::TransferType::Binary, 1));
    EXPECT_EQ(client.lastReply().rfind("SFTP: No such file or directory (2)", 0), 0u) << client.lastReply();
    ASSERT_TRUE(client.fileSize("up.bin", size));
    EXPECT_TRUE(client.isOpen());
    // Closing leaves no descriptor behind, nor does a refused login.
    client.close();
    EXPECT_EQ(descriptors(), before);
    EXPECT_FALSE(client.connect(ssh.address(), ssh.user(), "wrong", 1));
    EXPECT_EQ(descriptors(), before);
}
