// SPDX-License-Identifier: GPL-3.0-or-later
// FTP over TLS against vsftpd (which insists that data connections resume the
// control connection's TLS session) and, for the refusal cases, pyftpdlib.
#include "test_ftp_fixture.h"

#include "platform/LocalFiles.h"
#include "support/TlsFtpServer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using platform::FtpClient;
using platform::TransferType;
namespace err = platform::err;

constexpr uint32_t Connection = 300;

class FtpTlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "vsftpd needs root";
    }

    void startTls(bool implicit = false)
    {
        tls.setImplicit(implicit);
        ASSERT_TRUE(tls.start()) << tls.errorString().toStdString();
    }

    // A client that trusts the test certificate and counts the questions.
    std::unique_ptr<FtpClient> makeClient(int maxTlsVersion = 0)
    {
        platform::FtpOptions options{5000, 5000, 5000};
        options.maxTlsVersion = maxTlsVersion;
        auto c = std::make_unique<FtpClient>(options);
        c->setCertificateCheck([this](const platform::CertificateInfo &info) {
            asked.push_back(info);
            return trust;
        });
        return c;
    }

    bool connectTo(FtpClient &c, const std::string &server)
    {
        return c.connect(server, tls.user(), tls.password(), Connection);
    }

    testsupport::TlsFtpServer tls;
    testsupport::TempFolder local;
    std::vector<platform::CertificateInfo> asked;
    bool trust = true;
};

class FtpTlsReuseTest : public FtpTlsTest, public ::testing::WithParamInterface<int> {};

// Listings, both directions and a long run of small uploads on one connection:
// every data connection must resume the session or vsftpd refuses it with 522.
TEST_P(FtpTlsReuseTest, EveryDataConnectionResumesTheSession)
{
    startTls();
    const bool tls12 = GetParam() == 0x0303;
    auto c = makeClient(GetParam());
    ASSERT_TRUE(connectTo(*c, tls.address())) << platform::lastError() << " " << platform::lastResponseText();
    EXPECT_EQ(c->securityProtocol(), tls12 ? "TLSv1.2" : "TLSv1.3");
    ASSERT_TRUE(c->setCurrentDirectory("pub"));
    ASSERT_TRUE(testsupport::writeFileBytes(tls.rootPath("given.bin"), std::string(300000, 'g')));
    std::vector<platform::FindRecord> found;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(c->find("*.*", found)) << i << ": " << platform::lastResponseText();
    const std::string up = local.filePath("up.bin");
    ASSERT_TRUE(testsupport::writeFileBytes(up, std::string(1 << 20, 'u')));
    ASSERT_TRUE(c->putFile(up, "up.bin", TransferType::Binary, 100)) << platform::lastResponseText();
    ASSERT_TRUE(c->getFile("given.bin", local.filePath("given.bin"), TransferType::Binary, 200));
    EXPECT_EQ(testsupport::readFileBytes(local.filePath("given.bin")), std::string(300000, 'g'));
    ASSERT_TRUE(c->find("*.*", found));
    EXPECT_EQ(testsupport::readFileBytes(tls.rootPath("up.bin")), std::string(1 << 20, 'u'));

    const std::string small = local.filePath("small.txt");
    ASSERT_TRUE(testsupport::writeFileBytes(small, "small file\n"));
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(c->putFile(small, "s" + std::to_string(i) + ".txt", TransferType::Ascii, 100))
            << i << ": " << platform::lastError() << " " << platform::lastResponseText();
    EXPECT_EQ(testsupport::readFileBytes(tls.rootPath("s99.txt")), "small file\r\n");
    EXPECT_EQ(c->resumedDataConnections(), 106u);
    EXPECT_EQ(asked.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Versions, FtpTlsReuseTest, ::testing::Values(0x0303, 0),
                         [](const ::testing::TestParamInfo<int> &p) { return p.param ? "Tls12" : "Tls13"; });

TEST_F(FtpTlsTest, HostFieldChoosesTheEncryption)
{
    startTls();
    const std::string port = std::to_string(tls.port());
    for (const auto &[server, protocol] :
         std::vector<std::pair<std::string, bool>>{{tls.address(), true},
                                                   {"ftpes://127.0.0.1:" + port, true},
                                                   {"FTP://127.0.0.1:" + port + "/", false}}) {
        auto c = makeClient();
        ASSERT_TRUE(connectTo(*c, server)) << server << ": " << platform::lastError();
        EXPECT_EQ(!c->securityProtocol().empty(), protocol) << server;
        std::vector<platform::FindRecord> found;
        EXPECT_TRUE(c->find("*.*", found)) << server; // "pub"
    }
    // Implicit TLS: the plain greeting never comes, TLS starts at once.
    startTls(true);
    auto c = makeClient();
    ASSERT_TRUE(connectTo(*c, "ftps://127.0.0.1:" + std::to_string(tls.port())))
        << platform::lastError() << " " << platform::lastResponseText();
    EXPECT_FALSE(c->securityProtocol().empty());
    std::vector<platform::FindRecord> found;
    EXPECT_TRUE(c->find("*.*", found));
}

TEST_F(FtpTlsTest, UntrustedCertificateIsShownAndRefusalStopsTheLogin)
{
    startTls();
    trust = false;
    auto c = makeClient();
    EXPECT_FALSE(connectTo(*c, tls.address()));
    EXPECT_EQ(platform::lastError(), err::SecureCertificateRejected);
    ASSERT_EQ(asked.size(), 1u);
    const platform::CertificateInfo &info = asked[0];
    EXPECT_EQ(info.host, "127.0.0.1");
    EXPECT_EQ(info.port, tls.port());
    EXPECT_NE(info.subject.find("localhost"), std::string::npos);
    EXPECT_FALSE(info.trusted());
    EXPECT_NE(info.verifyText.find("self-signed"), std::string::npos) << info.verifyText;
    EXPECT_EQ(info.fingerprint.size(), 32u * 3 - 1);
    EXPECT_FALSE(info.notAfter.empty());
    EXPECT_FALSE(c->isOpen());
}

class FtpTlsRefusalTest : public FtpEngineTest {
protected:
    // Connects with TLS required or tried; the connection must fail in time
    // without the user name or password ever reaching the server.
    void expectRefusedWithoutLogin(const std::string &scheme, uint32_t code)
    {
        client = std::make_unique<FtpClient>(quickOptions());
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(
            client->connect(scheme + server.address(), server.user(), server.password(), Connection));
        EXPECT_EQ(platform::lastError(), code) << platform::lastResponseText();
        EXPECT_LT(timer.elapsed(), 8000);
        EXPECT_FALSE(server.hasReceived("USER"));
        EXPECT_FALSE(server.hasReceived("PASS"));
        server.clearLog();
    }
};

TEST_F(FtpTlsRefusalTest, NoCleartextLoginWhenTlsWasRequiredOrAccepted)
{
    // A plain server: TLS required is refused, TLS tried falls back to plain.
    startServer();
    expectRefusedWithoutLogin("ftpes://", err::SecureChannelError);
    connectClient();
    EXPECT_TRUE(server.hasReceived("AUTH TLS"));
    EXPECT_TRUE(client->securityProtocol().empty());
    client.reset();
    // 234 and then plain text, or a hang-up, where the handshake should be.
    for (const bool closeInstead : {false, true}) {
        server.stop();
        startServer(testsupport::ftpfault::fakeTls(closeInstead));
        server.clearLog();
        expectRefusedWithoutLogin({}, err::SecureChannelError);
        expectRefusedWithoutLogin("ftpes://", err::SecureChannelError);
    }
}

// pyftpdlib over TLS (no root needed), with a data stream cut short without the
// TLS close, or data connections showing a certificate of their own.
class FtpTlsFaultTest : public FtpEngineTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testsupport::makeTestCertificate(pem));
        ASSERT_TRUE(testsupport::makeTestCertificate(otherPem));
    }

    void connectTrusting()
    {
        client = std::make_unique<FtpClient>(quickOptions());
        client->setCertificateCheck([](const platform::CertificateInfo &) { return true; });
        ASSERT_TRUE(
            client->connect("ftpes://" + server.address(), server.user(), server.password(), Connection))
            << platform::lastError() << " " << platform::lastResponseText();
    }

    QTemporaryDir keys;
    const QString pem = keys.filePath(QStringLiteral("server.pem"));
    const QString otherPem = keys.filePath(QStringLiteral("other.pem"));
};

TEST_F(FtpTlsFaultTest, ADownloadCutShortFailsAndKeepsTheOldFileWhateverTheServerAnswers)
{
    std::string whole(400000, '\0');
    for (size_t i = 0; i < whole.size(); ++i)
        whole[i] = static_cast<char>((i * 7919) >> 3);
    const std::string target = local.filePath("page.bin");
    for (const bool secure : {true, false}) {
        SCOPED_TRACE(secure ? "TLS" : "plain");
        server.stop();
        QStringList faults = testsupport::ftpfault::cutDataClaimingSuccess(QStringLiteral("RETR"), 100000);
        if (secure)
            faults += testsupport::ftpfault::tls(pem);
        startServer(faults);
        ASSERT_TRUE(testsupport::writeFileBytes(server.rootPath("page.bin"), whole));
        ASSERT_TRUE(testsupport::writeFileBytes(target, "the good old page"));
        if (secure)
            connectTrusting();
        else
            connectClient();
        // Over TLS the missing close tells; in plain FTP only the size can.
        EXPECT_FALSE(client->getFile("page.bin", target, TransferType::Binary, 200,
                                     secure ? -1 : static_cast<int64_t>(whole.size())));
        EXPECT_EQ(platform::lastError(), err::TransferIncomplete) << platform::lastResponseText();
        EXPECT_EQ(testsupport::readFileBytes(target), "the good old page");
        EXPECT_EQ(testsupport::folderEntries(local.pathBytes()), std::vector<std::string>{"page.bin"});
        // The session stays usable.
        std::vector<platform::FindRecord> found;
        EXPECT_TRUE(client->find("*.*", found));
    }
    // A size that no longer matches the listing, confirmed by SIZE: the file changed.
    server.stop();
    startServer(testsupport::ftpfault::tls(pem));
    ASSERT_TRUE(testsupport::writeFileBytes(server.rootPath("page.bin"), whole));
    connectTrusting();
    EXPECT_TRUE(client->getFile("page.bin", target, TransferType::Binary, 200, 1234))
        << platform::lastError();
    EXPECT_EQ(testsupport::readFileBytes(target), whole);
    EXPECT_TRUE(server.hasReceived("SIZE page.bin"));
}

TEST_F(FtpTlsFaultTest, ADataConnectionShowingAnotherCertificateIsRefused)
{
    startServer(testsupport::ftpfault::tls(pem) + testsupport::ftpfault::tlsDataCertificate(otherPem));
    ASSERT_TRUE(testsupport::writeFileBytes(server.rootPath("page.html"), "<p>"));
    connectTrusting();
    std::vector<platform::FindRecord> found;
    EXPECT_FALSE(client->find("*.*", found));
    EXPECT_EQ(platform::lastError(), err::SecureChannelError);
    EXPECT_FALSE(client->getFile("page.html", local.filePath("page.html"), TransferType::Binary, 200));
    EXPECT_FALSE(testsupport::fileExists(local.filePath("page.html")));
}

TEST_F(FtpTlsRefusalTest, StalledHandshakeTimesOut)
{
    startServer(testsupport::ftpfault::silent());
    expectRefusedWithoutLogin("ftps://", err::InternetTimeout);
}

} // namespace

// vsftpd over TLS: an upload continued on its temporary (REST + STOR), the
// temporary renamed over an existing file, a download continued from its
// partial file; vsftpd offers no MFMT, so no time is ever set there.
TEST_F(FtpTlsTest, TransfersContinueAndReplaceByRenameOverTls)
{
    startTls();
    auto c = makeClient();
    ASSERT_TRUE(connectTo(*c, tls.address())) << platform::lastError() << " " << platform::lastResponseText();
    ASSERT_TRUE(c->setCurrentDirectory("pub"));
    EXPECT_TRUE(c->offersRestStream());
    EXPECT_TRUE(c->offersSize());
    EXPECT_FALSE(c->offersMfmt());
    std::string data(700000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7919) >> 3);
    ASSERT_TRUE(testsupport::writeFileBytes(local.filePath("full.bin"), data));
    ASSERT_TRUE(testsupport::writeFileBytes(local.filePath("part.bin"), data.substr(0, 300000)));
    ASSERT_TRUE(testsupport::writeFileBytes(local.filePath("old.bin"), "old"));
    ASSERT_TRUE(c->putFile(local.filePath("old.bin"), "up.bin", TransferType::Binary, 100));
    ASSERT_TRUE(c->putFile(local.filePath("part.bin"), ".up.bin.vexmora-part", TransferType::Binary, 100));

    uint64_t have = 0;
    ASSERT_TRUE(c->fileSize(".up.bin.vexmora-part", have));
    ASSERT_EQ(have, 300000u);
    ASSERT_TRUE(c->putFile(local.filePath("full.bin"), ".up.bin.vexmora-part", TransferType::Binary, 100,
                           {have, false, false}))
        << platform::lastResponseText();
    EXPECT_EQ(testsupport::readFileBytes(tls.rootPath("up.bin")), "old");
    ASSERT_TRUE(c->renameFile(".up.bin.vexmora-part", "up.bin")) << platform::lastResponseText();
    EXPECT_EQ(testsupport::readFileBytes(tls.rootPath("up.bin")), data);

    const std::string target = local.filePath("down.bin");
    const std::string partial = platform::transferTempPath(target);
    ASSERT_TRUE(testsupport::writeFileBytes(partial, data.substr(0, 123456)));
    platform::GetOptions options;
    options.partialPath = partial;
    options.offset = 123456;
    options.expectedSize = static_cast<int64_t>(data.size());
    ASSERT_TRUE(c->getFile("up.bin", target, TransferType::Binary, 200, options))
        << platform::lastResponseText();
    EXPECT_EQ(testsupport::readFileBytes(target), data);
    EXPECT_FALSE(testsupport::fileExists(partial));
    int64_t when = 0;
    EXPECT_TRUE(c->fileTime("up.bin", when));
}
