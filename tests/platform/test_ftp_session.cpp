// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_ftp_fixture.h"

#include <chrono>
#include <sys/stat.h>

using platform::FtpClient;
using platform::FtpStatus;
using testsupport::fileExists;
using testsupport::writeFileBytes;
namespace err = platform::err;
namespace ftpfault = testsupport::ftpfault;

namespace {

int64_t elapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
        .count();
}

} // namespace

TEST_F(FtpEngineTest, LoginReportsTheConnectionAndCloseEndsIt)
{
    startServer();
    connectClient();
    EXPECT_TRUE(client->isOpen());
    EXPECT_EQ(platform::lastError(), err::Success);

    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].status, FtpStatus::ConnectingToServer);
    EXPECT_EQ(events[0].text, "127.0.0.1");
    EXPECT_EQ(events[1].status, FtpStatus::ConnectedToServer);
    EXPECT_EQ(events[1].text, "127.0.0.1");
    EXPECT_GT(countEvents(FtpStatus::ReceivingResponse), 0u);
    for (const Event &e : events)
        EXPECT_EQ(e.context, ConnectionContext);

    const QByteArrayList commands = server.receivedCommands();
    EXPECT_TRUE(commands.contains("USER user"));
    EXPECT_TRUE(commands.contains("PASS secret"));
    EXPECT_TRUE(commands.contains("FEAT"));
    EXPECT_TRUE(commands.contains("OPTS UTF8 ON")); // pyftpdlib offers UTF8

    events.clear();
    EXPECT_TRUE(client->close());
    EXPECT_FALSE(client->isOpen());
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().status, FtpStatus::ConnectionClosed);
    EXPECT_EQ(events.back().context, ConnectionContext);
    EXPECT_EQ(countEvents(FtpStatus::ConnectionClosed), 1u);
    EXPECT_TRUE(server.hasReceived("QUIT"));

    std::string dir;
    EXPECT_FALSE(client->getCurrentDirectory(dir));
    EXPECT_EQ(platform::lastError(), err::FtpDropped);
}

TEST_F(FtpEngineTest, LoginRefusalsHaveTheirCodes)
{
    startServer();
    FtpClient c(quickOptions());
    std::vector<FtpStatus> seen;
    c.setStatusCallback([&](uint32_t, FtpStatus s, const std::string &, uint64_t) { seen.push_back(s); });

    EXPECT_FALSE(c.connect(server.address(), server.user(), "wrong", ConnectionContext));
    EXPECT_EQ(platform::lastError(), err::IncorrectPassword);
    EXPECT_FALSE(c.isOpen());
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), FtpStatus::ConnectionClosed);

    // The same client connects once the password is right.
    EXPECT_TRUE(c.connect(server.address(), server.user(), server.password(), ConnectionContext));
    EXPECT_TRUE(c.isOpen());
    c.close();

    server.stop();
    server.setFaults(ftpfault::refuse("USER", "530 This server takes no visitors."));
    ASSERT_TRUE(server.start());
    EXPECT_FALSE(c.connect(server.address(), server.user(), server.password(), ConnectionContext));
    EXPECT_EQ(platform::lastError(), err::LoginFailure);
    EXPECT_EQ(platform::lastResponseText(), "530 This server takes no visitors.");

    server.stop();
    server.setFaults(ftpfault::refuse("USER", "421 Too many connections."));
    ASSERT_TRUE(server.start());
    EXPECT_FALSE(c.connect(server.address(), server.user(), server.password(), ConnectionContext));
    EXPECT_EQ(platform::lastError(), err::LoginFailure);
}

TEST_F(FtpEngineTest, ConnectFailuresAreReportedWithoutHanging)
{
    startServer();
    const std::string address = server.address();
    server.stop(); // nothing listens on that port any more
    FtpClient c(quickOptions());
    EXPECT_FALSE(c.connect(address, "user", "secret", ConnectionContext));
    EXPECT_EQ(platform::lastError(), err::CannotConnect);

    for (const char *bad :
         {"127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:", "[::1", "[::1]x", "127.0.0.1:2a"}) {
        EXPECT_FALSE(c.connect(bad, "user", "secret", ConnectionContext)) << bad;
        EXPECT_EQ(platform::lastError(), err::InvalidParameter) << bad;
    }

    // A server that accepts the connection and never says a word.
    startServer(ftpfault::silent());
    FtpClient patient(platform::FtpOptions{2000, 400, 400});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(patient.connect(server.address(), "user", "secret", ConnectionContext));
    EXPECT_EQ(platform::lastError(), err::InternetTimeout);
    EXPECT_LT(elapsedMs(start), 3000);
    EXPECT_FALSE(patient.isOpen());
}

TEST_F(FtpEngineTest, UnansweredCommandTimesOutAndLaterCallsFailFast)
{
    startServer(ftpfault::stall("PWD"));
    connectClient(platform::FtpOptions{2000, 500, 500});
    std::string dir;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client->getCurrentDirectory(dir));
    EXPECT_EQ(platform::lastError(), err::InternetTimeout);
    EXPECT_LT(elapsedMs(start), 2500);
    EXPECT_FALSE(client->isOpen());

    EXPECT_FALSE(client->setCurrentDirectory("anywhere"));
    EXPECT_EQ(platform::lastError(), err::FtpDropped);
    EXPECT_FALSE(server.hasReceived("CWD"));
}

TEST_F(FtpEngineTest, FolderCommandsAndServerRefusals)
{
    startServer();
    connectClient();

    EXPECT_TRUE(client->createDirectory("site"));
    EXPECT_TRUE(fileExists(server.rootPath("site")));

    EXPECT_FALSE(client->createDirectory("site"));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(platform::lastResponseText().substr(0, 4), "550 ");
    EXPECT_EQ(platform::errorText(err::InternetExtendedError), platform::lastResponseText());

    EXPECT_FALSE(client->setCurrentDirectory("missing"));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_TRUE(client->isOpen()); // a refusal is no reason to drop the session

    // Quotes in a folder name come back whole from the 257 reply.
    EXPECT_TRUE(client->createDirectory("site/say \"hi\""));
    EXPECT_TRUE(client->setCurrentDirectory("site/say \"hi\""));
    std::string dir;
    EXPECT_TRUE(client->getCurrentDirectory(dir));
    EXPECT_EQ(dir, "/site/say \"hi\"");
    EXPECT_TRUE(client->setCurrentDirectory("/"));

    ASSERT_TRUE(writeFileBytes(server.rootPath("site/old.txt"), "x"));
    EXPECT_TRUE(client->renameFile("site/old.txt", "site/new.txt"));
    EXPECT_FALSE(fileExists(server.rootPath("site/old.txt")));
    EXPECT_TRUE(fileExists(server.rootPath("site/new.txt")));
    EXPECT_FALSE(client->renameFile("site/none.txt", "site/other.txt"));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);

    EXPECT_TRUE(client->deleteFile("site/new.txt"));
    EXPECT_FALSE(fileExists(server.rootPath("site/new.txt")));
    EXPECT_FALSE(client->deleteFile("site/new.txt"));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);

    EXPECT_TRUE(client->removeDirectory("site/say \"hi\""));
    EXPECT_TRUE(client->removeDirectory("site"));
    EXPECT_FALSE(fileExists(server.rootPath("site")));
}

TEST_F(FtpEngineTest, ArgumentsWithLineBreaksAreRefusedAndNeverSent)
{
    startServer();
    ASSERT_TRUE(writeFileBytes(server.rootPath("victim"), "keep me"));
    ASSERT_TRUE(writeFileBytes(local.filePath("up.txt"), "data"));
    connectClient();
    server.clearLog();

    std::vector<platform::FindRecord> found;
    for (const std::string &evil : {std::string("a\r\nDELE victim"), std::string("a\nDELE victim"),
                                    std::string("a\rDELE victim"), std::string("a\0DELE victim", 13)}) {
        SCOPED_TRACE(testing::PrintToString(evil));
        const auto refused = [](bool result) {
            EXPECT_FALSE(result);
            EXPECT_EQ(platform::lastError(), err::InvalidParameter);
        };
        refused(client->deleteFile(evil));
        refused(client->createDirectory(evil));
        refused(client->removeDirectory(evil));
        refused(client->setCurrentDirectory(evil));
        refused(client->renameFile(evil, "b"));
        refused(client->renameFile("victim", evil));
        refused(client->find(evil, found));
        refused(
            client->putFile(local.filePath("up.txt"), evil, platform::TransferType::Binary, UploadContext));
        refused(client->getFile(evil, local.filePath("down.txt"), platform::TransferType::Binary,
                                DownloadContext));
    }
    EXPECT_TRUE(client->isOpen());
    std::string dir;
    EXPECT_TRUE(client->getCurrentDirectory(dir)); // the session is still in step

    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("victim")), "keep me");
    EXPECT_EQ(server.receivedCommands(), QByteArrayList{"PWD"});

    FtpClient fresh(quickOptions());
    EXPECT_FALSE(fresh.connect(server.address(), "user\r\nDELE victim", "secret", ConnectionContext));
    EXPECT_EQ(platform::lastError(), err::InvalidParameter);
}

TEST_F(FtpEngineTest, Reply421DropsTheConnection)
{
    startServer(ftpfault::refuse("CWD", "421 Service closing."));
    connectClient();
    EXPECT_FALSE(client->setCurrentDirectory("x"));
    EXPECT_EQ(platform::lastError(), err::FtpDropped);
    EXPECT_EQ(platform::lastResponseText(), "421 Service closing.");
    EXPECT_FALSE(client->isOpen());
    EXPECT_EQ(events.back().status, FtpStatus::ConnectionClosed);

    std::string dir;
    EXPECT_FALSE(client->getCurrentDirectory(dir));
    EXPECT_EQ(platform::lastError(), err::FtpDropped);
    EXPECT_FALSE(server.hasReceived("PWD"));
}

TEST_F(FtpEngineTest, ServerRestartDropsTheSessionAndReconnectWorks)
{
    startServer();
    connectClient();
    ASSERT_TRUE(server.restart());
    // The closed control connection shows without a command being sent.
    EXPECT_TRUE(testsupport::waitUntil([&] { return !client->isOpen(); }, 3000));
    std::string dir;
    EXPECT_FALSE(client->getCurrentDirectory(dir));
    const uint32_t code = platform::lastError();
    EXPECT_TRUE(code == err::ConnectionAborted || code == err::ConnectionReset) << code;
    EXPECT_FALSE(client->isOpen());

    EXPECT_TRUE(client->connect(server.address(), server.user(), server.password(), ConnectionContext));
    EXPECT_TRUE(client->getCurrentDirectory(dir));
    EXPECT_EQ(dir, "/");
}

TEST_F(FtpEngineTest, WorksOverIpv6)
{
    server.setHost("::1");
    if (!server.start())
        GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_TRUE(writeFileBytes(server.rootPath("v6.txt"), "six"));
    connectClient();
    EXPECT_EQ(events[0].text, "::1");
    std::vector<platform::FindRecord> found;
    EXPECT_TRUE(client->find("*.*", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"v6.txt"});
    EXPECT_TRUE(client->getFile("v6.txt", local.filePath("v6.txt"), platform::TransferType::Binary, 0));
    EXPECT_EQ(testsupport::readFileBytes(local.filePath("v6.txt")), "six");
}

TEST_F(FtpEngineTest, MultiLineRepliesAndOverlongReplies)
{
    // A multi-line refusal ends only at "550 "; a "550-" line inside does not end it.
    startServer(
        ftpfault::refuse("MKD", "550-First line\r\n 550 indented, no end\r\n550-Still going\r\n550 Last line")
        + ftpfault::refuse("PWD", "257 \"" + QString(70 * 1024, QLatin1Char('a')) + "\" is it."));
    connectClient();
    EXPECT_FALSE(client->createDirectory("x"));
    EXPECT_EQ(platform::lastError(), err::InternetExtendedError);
    EXPECT_EQ(platform::lastResponseText(),
              "550-First line\n 550 indented, no end\n550-Still going\n550 Last line");
    EXPECT_TRUE(client->isOpen());

    // A reply over 64 KiB is no reply: the connection is closed.
    std::string dir;
    EXPECT_FALSE(client->getCurrentDirectory(dir));
    EXPECT_EQ(platform::lastError(), err::ConnectionAborted);
    EXPECT_FALSE(client->isOpen());
}

TEST_F(FtpEngineTest, ListsWithListWhenTheServerRefusesMlsdItOffered)
{
    startServer(ftpfault::refuse("MLSD", "500 Unknown command."));
    ASSERT_TRUE(writeFileBytes(server.rootPath("a.txt"), "a"));
    connectClient();
    std::vector<platform::FindRecord> found;
    ASSERT_TRUE(client->find("*.*", found));
    EXPECT_EQ(names(found), std::vector<std::string>{"a.txt"});
    ASSERT_TRUE(client->find("*.*", found));
    EXPECT_EQ(countCommands("MLSD"), 1u); // not asked again
    EXPECT_EQ(countCommands("LIST"), 2u);
}
