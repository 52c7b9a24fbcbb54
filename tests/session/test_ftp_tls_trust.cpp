// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting the window to an FTP-over-TLS server whose certificate the system
// cannot vouch for: the user's decision, its record beside the settings file,
// and transfers over the encrypted session.
#include "app/MainForm.h"
#include "app/session/CertificateTrust.h"
#include "app/session/ConnectionPool.h"
#include "app/session/Ftpfunc.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "support/SessionFixture.h"
#include "support/TestUtil.h"
#include "support/TlsFtpServer.h"
#include "ui/Edit.h"
#include "ui/Text.h"

#include <future>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ScriptedDialogs;

namespace {

class TlsTrustTest : public testsupport::SessionTest {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "vsftpd needs root";
        SessionTest::SetUp();
        ASSERT_TRUE(tls.start()) << tls.errorString().toStdString();
        form->EHost->setText(ui::toQ(tls.address()));
        form->EUserId->setText(ui::toQ(tls.user()));
        form->EPassword->setText(ui::toQ(tls.password()));
    }

    int connect()
    {
        if (SessionOpen())
            CloseSession();
        OpenInternet();
        return OpenSession(tls.address());
    }

    std::string trustFile() const { return app.dir() + "/Vexmora.TRUST"; }

    testsupport::TlsFtpServer tls;
};

TEST_F(TlsTrustTest, AskedOnceKeptAndAskedAgainWhenTheCertificateChanges)
{
    ScriptedDialogs &dialogs = app.dialogs();
    dialogs.expectContaining(ScriptedDialogs::Kind::Confirm, "自己署名の証明書です",
                             ScriptedDialogs::Answer::No);
    dialogs.expectContaining(ScriptedDialogs::Kind::Message, "信頼されていない");
    EXPECT_EQ(connect(), 0);
    EXPECT_EQ(panel(0), "セッションを閉じました。");
    EXPECT_FALSE(testsupport::fileExists(trustFile()));
    dialogs.verifyAllMet();

    dialogs.expectContaining(ScriptedDialogs::Kind::Confirm, "SHA-256 指紋:", ScriptedDialogs::Answer::Yes);
    ASSERT_EQ(connect(), 1);
    dialogs.verifyAllMet();
    EXPECT_NE(panel(0).find("へ接続しました (TLSv1.3で暗号化)"), std::string::npos) << panel(0);
    struct stat st {};
    ASSERT_EQ(::stat(trustFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string kept = testsupport::readFileBytes(trustFile());
    EXPECT_EQ(kept.rfind(tls.address() + " ", 0), 0u) << kept;

    // Transfers go over the encrypted session; the next connect asks nothing.
    ASSERT_EQ(SetRemoteDir("pub"), 1);
    const std::string local = app.dir() + "/page.html";
    ASSERT_TRUE(testsupport::writeFileBytes(local, "<html>\n"));
    PutFile(local, "page.html");
    EXPECT_EQ(testsupport::readFileBytes(tls.rootPath("page.html")), "<html>\n");
    ASSERT_EQ(connect(), 1);

    // Another certificate on the same server: a warning, and the question again.
    CloseSession();
    ASSERT_TRUE(tls.renewCertificate());
    ASSERT_TRUE(tls.start()) << tls.errorString().toStdString();
    // Refused from the connect button: the refusal's box is the only one.
    dialogs.expectContaining(ScriptedDialogs::Kind::Message, "以前に信頼した証明書と異なります");
    dialogs.expectContaining(ScriptedDialogs::Kind::Confirm, "この証明書を信頼して接続しますか",
                             ScriptedDialogs::Answer::No);
    dialogs.expectContaining(ScriptedDialogs::Kind::Message, "信頼されていない");
    form->ConnectActionExecute();
    EXPECT_FALSE(form->Connected);
    dialogs.verifyAllMet();
    dialogs.expectContaining(ScriptedDialogs::Kind::Message, "以前に信頼した証明書と異なります");
    dialogs.expectContaining(ScriptedDialogs::Kind::Confirm, "この証明書を信頼して接続しますか",
                             ScriptedDialogs::Answer::Yes);
    ASSERT_EQ(connect(), 1);
    dialogs.verifyAllMet();
    const std::string renewed = testsupport::readFileBytes(trustFile());
    EXPECT_NE(renewed, kept);
    EXPECT_EQ(std::count(renewed.begin(), renewed.end(), '\n'), 1);
}

// A trust file that exists but cannot be read (here a link to itself) still holds
// what the user trusted: it is replaced only when the user says so.
TEST_F(TlsTrustTest, AnUnreadableTrustFileIsKeptUnlessTheUserStartsANewOne)
{
    ASSERT_EQ(::symlink("Vexmora.TRUST", trustFile().c_str()), 0);
    ScriptedDialogs &dialogs = app.dialogs();
    for (const bool replace : {false, true}) {
        dialogs.expectContaining(ScriptedDialogs::Kind::Confirm,
                                 "SHA-256 指紋:", ScriptedDialogs::Answer::Yes);
        dialogs.expectContaining(ScriptedDialogs::Kind::Confirm,
                                 "を読み込めなかったため、信頼した証明書を保存しませんでした",
                                 replace ? ScriptedDialogs::Answer::Yes : ScriptedDialogs::Answer::No);
        ASSERT_EQ(connect(), 1);
        dialogs.verifyAllMet();
        EXPECT_EQ(platform::isSymbolicLink(trustFile()), !replace);
    }
    EXPECT_EQ(testsupport::readFileBytes(trustFile()).rfind(tls.address() + " ", 0), 0u);
}

TEST_F(TlsTrustTest, ARunOverSeveralConnectionsTakesOnlyTheCertificateTheUserTrusted)
{
    app.dialogs().expectContaining(ScriptedDialogs::Kind::Confirm,
                                   "SHA-256 指紋:", ScriptedDialogs::Answer::Yes);
    ASSERT_EQ(connect(), 1);
    const std::string fingerprint = FtpSession()->certificateFingerprint();
    ASSERT_FALSE(fingerprint.empty());

    // A run of three connections over TLS asks nothing more, and every file arrives.
    SetTransferConnections(3);
    ASSERT_EQ(SetRemoteDir("pub"), 1);
    int sent = 0;
    {
        TransferRun run(20);
        for (int i = 0; i < 20; ++i) {
            const std::string name = "f" + std::to_string(i) + ".bin";
            ASSERT_TRUE(testsupport::writeFileBytes(app.dir() + "/" + name, std::string(40000, 'a' + i)));
            StartPutFile(app.dir() + "/" + name, name, false, [&sent](int ok) { sent += ok; });
        }
    }
    EXPECT_EQ(sent, 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(testsupport::readFileBytes(tls.rootPath("f" + std::to_string(i) + ".bin")),
                  std::string(40000, 'a' + i));

    // An extra connection takes the certificate the user accepted, and no other.
    const std::string local = app.dir() + "/x.bin";
    ASSERT_TRUE(testsupport::writeFileBytes(local, "x"));
    for (const bool same : {true, false}) {
        ConnectionPool::Login login;
        login.server = tls.address();
        login.user = tls.user();
        login.password = tls.password();
        login.secure = true;
        login.fingerprint = same ? fingerprint : std::string(fingerprint.size(), '0');
        login.directory = "pub";
        std::promise<ConnectionPool::Result> ended;
        ConnectionPool pool(login, 1);
        pool.queue(
            [&](platform::RemoteSession &client) {
                return client.putFile(local, "x.bin", platform::TransferType::Binary, 0);
            },
            [&](const ConnectionPool::Result &result) { ended.set_value(result); });
        auto result = ended.get_future();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        const ConnectionPool::Result r = result.get();
        EXPECT_EQ(r.ok, same);
        if (!same) {
            EXPECT_EQ(r.code, platform::err::SecureCertificateRejected);
        }
    }
}

} // namespace
