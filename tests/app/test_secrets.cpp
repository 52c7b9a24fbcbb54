// SPDX-License-Identifier: GPL-3.0-or-later
// Stored passwords in the desktop's secret store: a real gnome-keyring-daemon
// on a bus of the test's own, a bus with no service, and a service that never
// answers; the main window against a real server.
#include "app/MainForm.h"
#include "app/model/Ecypt.h"
#include "app/session/SecretStore.h"
#include "app/windows/Hostlist.h"
#include "support/PrivateBus.h"
#include "support/SessionFixture.h"
#include "ui/Button.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/Text.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using testsupport::PrivateBus;
using testsupport::SessionTest;

namespace {

std::string cipherOf(const std::string &password)
{
    int status = 0;
    return CryptPassword(password, status, CipherEncrypt);
}

// The file holds the password neither as plain text nor as any run of three
// or more bytes of its cipher (a longer run holds one of three).
::testing::AssertionResult holdsNoFormOf(const std::string &file, const std::string &password)
{
    if (file.find(password) != std::string::npos)
        return ::testing::AssertionFailure() << "plain text of " << password << " in the file";
    const std::string cipher = cipherOf(password);
    for (size_t at = 0; at + 3 <= cipher.size(); ++at)
        if (file.find(cipher.substr(at, 3)) != std::string::npos)
            return ::testing::AssertionFailure() << "cipher bytes " << at << "+3 of " << password;
    return ::testing::AssertionSuccess();
}

// The password the store holds for the key, else NotFound or "(no answer)".
const std::string NotFound = "(not found)";
std::string secretOf(const SecretKey &key)
{
    std::string password;
    const SecretStore::Result result = SecretStore().lookup(key, password);
    return result == SecretStore::Result::Ok
               ? password
               : (result == SecretStore::Result::NotFound ? NotFound : "(no answer)");
}

// The test's own bus with the given service, started before the windows are,
// and the server with its account in the connection fields.
template <PrivateBus::Service Service> class SecretsTest : public SessionTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isReady()) << bus.errorString().toStdString();
        SessionTest::SetUp();
        startServer();
    }

    SecretKey serverKey() const { return SecretKeyOf(server.address(), server.user()); }

    // Settings naming the server's account and a host list file of the given
    // records, then the program started again on them.
    void restartWith(const ::HostList *list, const std::string &extraSettings = {})
    {
        app.destroyMainForm();
        if (list) {
            ASSERT_EQ(SaveHostListFile(*list, app.hostListPath()), HostSaveResult::Saved);
        }
        app.writeFile(app.iniPath(), "[Params]\nHostName=" + server.address() + "\nUserID=" + server.user()
                                         + "\n" + extraSettings);
        form = app.showMainForm();
    }
    void connect()
    {
        form->ConnectActionExecute();
        ASSERT_TRUE(form->Connected) << panel(0);
    }
    // A connect and a disconnect, which saves the host list.
    void connectOnce()
    {
        ASSERT_NO_FATAL_FAILURE(connect());
        form->DisconnectActionExecute();
    }
    ::HostList stored() const
    {
        ::HostList list;
        EXPECT_TRUE(LoadHostListFile(list, app.hostListPath(), false));
        return list;
    }

    PrivateBus bus{Service};
};

using KeyringTest = SecretsTest<PrivateBus::Service::Keyring>;
using NoSecretServiceTest = SecretsTest<PrivateBus::Service::None>;
using SilentSecretServiceTest = SecretsTest<PrivateBus::Service::Silent>;

TEST(SecretKey, HostTextsGiveHostPortAndUser)
{
    const struct {
        const char *text;
        SecretKey key;
    } cases[] = {
        {"example.com", {"example.com", 21, "u"}},
        {"example.com:2121", {"example.com", 2121, "u"}},
        {"FTPES://Example.com/", {"Example.com", 21, "u"}},
        {"ftps://example.com", {"example.com", 990, "u"}},
        {"sftp://example.com", {"example.com", 22, "u"}},
        {"sftp://example.com:2222", {"example.com", 2222, "u"}},
        {"[::1]:2121", {"::1", 2121, "u"}},
        {"fe80::1", {"fe80::1", 21, "u"}},
        {"example.com:99999", {"example.com:99999", 21, "u"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SecretKeyOf(c.text, "u"), c.key) << c.text;
}

TEST_F(KeyringTest, ItemsAreStoredFoundReplacedAndRemovedByHostPortAndUser)
{
    const SecretStore store;
    const SecretKey key{"example.com", 2121, "ユーザー"};
    EXPECT_EQ(secretOf(key), NotFound);
    for (const char *password : {"first", "p@ss wörd"})
        ASSERT_EQ(store.store(key, SecretLabel("example.com:2121", "ユーザー"), password),
                  SecretStore::Result::Ok);
    EXPECT_EQ(secretOf(key), "p@ss wörd");
    // Another port or another user is another item.
    EXPECT_EQ(secretOf({"example.com", 21, "ユーザー"}), NotFound);
    EXPECT_EQ(secretOf({"example.com", 2121, "other"}), NotFound);

    QProcess search;
    search.start(QStringLiteral("secret-tool"),
                 {QStringLiteral("search"), QStringLiteral("host"), QStringLiteral("example.com")});
    ASSERT_TRUE(search.waitForFinished(10000));
    EXPECT_TRUE((search.readAllStandardOutput() + search.readAllStandardError())
                    .contains("label = Vexmora: ユーザー@example.com:2121"));

    EXPECT_EQ(store.remove(key), SecretStore::Result::Ok);
    EXPECT_EQ(secretOf(key), NotFound);
    EXPECT_EQ(store.remove(key), SecretStore::Result::NotFound);
}

// Two accounts of an old file (passwords as ciphers) move into the keyring at
// the first save; the file then holds no form of either password, the program
// started again connects with the keyring's password without asking, and
// deleting an account deletes its secret.
TEST_F(KeyringTest, OldCiphersMoveIntoTheKeyringAndTheFileKeepsNoPassword)
{
    ::HostList list;
    StoreAccount(list, "elsewhere.invalid", "user", cipherOf("other-secret"), "/l", "/r");
    StoreAccount(list, server.address(), server.user(), cipherOf(server.password()), "", "");
    const SecretKey elsewhere{"elsewhere.invalid", 21, "user"};
    restartWith(&list);
    EXPECT_EQ(ui::fromQ(form->EPassword->text()), server.password());
    connectOnce();
    const std::string file = app.readFile(app.hostListPath());
    EXPECT_EQ(file.size(), 2 * HostRecordSize);
    EXPECT_TRUE(holdsNoFormOf(file, server.password()));
    EXPECT_TRUE(holdsNoFormOf(file, "other-secret"));
    const ::HostList after = stored();
    EXPECT_TRUE(after[0].HoldsPasswordMarker() && after[1].HoldsPasswordMarker());
    // What earlier versions read from a marker: an empty password.
    EXPECT_EQ(PasswordFromCipher(after[1].PasswordCipher()), "");
    EXPECT_EQ(secretOf(elsewhere), "other-secret");

    restartWith(nullptr);
    EXPECT_EQ(ui::fromQ(form->EPassword->text()), server.password());
    connectOnce();

    app.dialogs().expectConfirm(QStringLiteral("指定のホストを削除してもいいですか？"), true);
    QTimer::singleShot(0, [] {
        HostForm->ListView1->selectRow(0);
        HostForm->ButtonDelete->click();
    });
    form->OpenHostListExecute();
    EXPECT_EQ(stored().CountInUse(), 1);
    EXPECT_EQ(secretOf(elsewhere), NotFound);
    EXPECT_EQ(secretOf(serverKey()), server.password());
    EXPECT_FALSE(HostForm->LabelPasswordNotice->isVisibleTo(HostForm));
}

// The connect asks for the password once where the keyring cannot give it:
// a marker with nothing behind it (the keyring was reset) is stored again by
// the next save; with SavePasswords=0 nothing is read from an old cipher or
// stored anywhere, and the save clears the old field.
TEST_F(KeyringTest, AnAccountWithoutAStoredSecretAsksAtConnectOnce)
{
    for (const bool saving : {false, true}) {
        SCOPED_TRACE(saving ? "marker" : "SavePasswords=0");
        ::HostList list;
        StoreAccount(list, server.address(), server.user(), saving ? "" : cipherOf(server.password()), "",
                     "");
        if (saving)
            list[0].SetPasswordMarker();
        restartWith(&list, saving ? "" : "SavePasswords=0\n");
        EXPECT_TRUE(form->EPassword->text().isEmpty());

        app.dialogs().expectPassword(
            ui::toQ(server.user() + "@" + server.address() + " のパスワードを入力して下さい。"),
            ui::toQ(server.password()));
        connectOnce();
        connectOnce(); // asked once only
        EXPECT_EQ(secretOf(serverKey()), saving ? server.password() : NotFound);
        EXPECT_TRUE(holdsNoFormOf(app.readFile(app.hostListPath()), server.password()));
        EXPECT_EQ(stored()[0].HoldsPasswordMarker(), saving);
        ASSERT_TRUE(form->close());
        EXPECT_EQ(app.readFile(app.iniPath()).find("SavePasswords=0") != std::string::npos, !saving);
    }
}

// No Secret Service on the bus: the password goes into the file as before, and
// the user is told so in the status line and the host list window.
TEST_F(NoSecretServiceTest, PasswordsStayInTheFileWithANotice)
{
    connectOnce();
    EXPECT_EQ(PasswordFromCipher(stored()[0].PasswordCipher()), server.password());
    EXPECT_EQ(statusLine(), ui::fromQ(PasswordFileOnlyText()));

    QTimer::singleShot(0, [] {
        EXPECT_TRUE(HostForm->LabelPasswordNotice->isVisible());
        HostForm->ButtonCancel->click();
    });
    form->OpenHostListExecute();

    restartWith(nullptr);
    EXPECT_EQ(ui::fromQ(form->EPassword->text()), server.password());
    connect();
}

// A store that takes the name and never answers: every call ends at its bound,
// the password is never written into the file, and the next start asks.
TEST_F(SilentSecretServiceTest, ANeverAnsweringStoreIsBoundedAndFallsBackToAsking)
{
    form->Secrets = SecretStore(300);
    connect();
    QElapsedTimer clock;
    clock.start();
    form->DisconnectActionExecute();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(statusLine(), "ｷｰﾘﾝｸﾞにﾊﾟｽﾜｰﾄﾞを保存できませんでした。");
    EXPECT_TRUE(holdsNoFormOf(app.readFile(app.hostListPath()), server.password()));
    EXPECT_TRUE(stored()[0].HoldsPasswordMarker());

    clock.restart();
    restartWith(nullptr); // the lookup at start waits its full 5 s
    EXPECT_LT(clock.elapsed(), 9000);
    EXPECT_TRUE(form->EPassword->text().isEmpty());
    app.dialogs().expectPassword({}, ui::toQ(server.password()));
    connect();
}

} // namespace
