// SPDX-License-Identifier: GPL-3.0-or-later
// Connecting, disconnecting, the host list window, navigation on both sides and
// sorting, with the main window against a real server.
#include "app/MainForm.h"
#include "app/model/Ecypt.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Hostlist.h"
#include "platform/LocalFiles.h"
#include "support/SessionFixture.h"
#include "support/TestUtil.h"
#include "ui/Button.h"
#include "ui/ComboBox.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <utime.h>

using testsupport::ScriptedDialogs;
using testsupport::SessionTest;

namespace {

std::vector<std::string> names(const ui::ListView *list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list->rowCount(); ++i)
        out.push_back(ui::fromQ(list->row(i)->text(0)));
    return out;
}

int rowOf(const ui::ListView *list, const std::string &name)
{
    for (int i = 0; i < list->rowCount(); ++i)
        if (ui::fromQ(list->row(i)->text(0)) == name)
            return i;
    return -1;
}

// What a pick from the drop-down list does: the entry becomes current, then the
// box says it was activated.
void pick(ui::ComboBox *box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QStringList items(const ui::ComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class ConnectTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        local = std::make_unique<testsupport::TempFolder>();
        ASSERT_TRUE(QDir().mkpath(local->path() + QStringLiteral("/site/sub")));
        ASSERT_TRUE(testsupport::writeFileBytes(local->filePath("site/index.html"), "i"));
        ASSERT_TRUE(testsupport::writeFileBytes(local->filePath("site/sub/a.html"), "a"));
        ASSERT_TRUE(platform::setCurrentDirectory(local->pathBytes()));
    }
    void TearDown() override
    {
        if (form->Connected)
            form->DisconnectActionExecute();
        SessionTest::TearDown();
    }

    void connect()
    {
        form->ConnectActionExecute();
        ASSERT_TRUE(form->Connected) << panel(0);
    }
    std::string localShown() const { return ui::fromQ(form->ComboLocalDir->text()); }
    std::string remoteShown() const { return ui::fromQ(form->ComboCurrDir->text()); }

    std::unique_ptr<testsupport::TempFolder> local;
};

} // namespace

TEST_F(ConnectTest, MissingFieldsAreNamedInOrderAndNothingStarts)
{
    startServer();
    const struct {
        ui::Edit *edit;
        QString message;
    } fields[] = {{form->EHost, QStringLiteral("ホスト名を入力して下さい。")},
                  {form->EUserId, QStringLiteral("ユーザー名を入力して下さい。")},
                  {form->EPassword, QStringLiteral("パスワードを入力して下さい。")}};
    for (const auto &field : fields) {
        const QString kept = field.edit->text();
        field.edit->clear();
        app.dialogs().expectMessage(field.message);
        form->ConnectActionExecute();
        EXPECT_FALSE(form->Connected);
        field.edit->setText(kept);
    }
    EXPECT_FALSE(server.hasReceived("USER"));
    // Blanks are text: a blank-only password is tried at the server.
    form->EPassword->setText(QStringLiteral(" "));
    app.dialogs().allowMessages();
    form->ConnectActionExecute();
    EXPECT_TRUE(server.hasReceived("PASS  "));
}

TEST_F(ConnectTest, WrongPasswordLeavesTheWindowUnconnected)
{
    startServer();
    form->EPassword->setText(QStringLiteral("wrong"));
    app.dialogs().expectMessage(QStringLiteral("パスワードが正しくありません。"));
    app.dialogs().expectMessage(QStringLiteral("ﾎｽﾄがｵｰﾌﾟﾝできませんでした。"));
    form->ConnectActionExecute();
    EXPECT_FALSE(form->Connected);
    EXPECT_TRUE(form->ConnectAction->isEnabled());
    EXPECT_TRUE(form->EHost->isEnabled());
    EXPECT_FALSE(form->LocalFileListV->isEnabled());
    // Without a connection the daemon download cannot act, so it stays disabled.
    EXPECT_FALSE(form->BitBtnAutoDownDaemon->isEnabled());
    EXPECT_FALSE(form->cbPriodDown->isEnabled());
}

TEST_F(ConnectTest, StoredAccountsOpenTheirFoldersAndDisconnectRemembersTheShownOnes)
{
    startServer();
    serveFolder("public_html/blog");
    serveFile("public_html/index.html", "x");

    // An account that is not stored connects in the server's first folder and keeps
    // the local folder.
    connect();
    EXPECT_EQ(remoteShown(), "/");
    EXPECT_EQ(localShown(), local->pathBytes());
    EXPECT_EQ(panel(1), "ﾌｧｲﾙ数=0 (Dir=1)");
    EXPECT_EQ(panel(2), "ﾌｧｲﾙ数=0 (Dir=1)");
    EXPECT_FALSE(form->EHost->isEnabled());

    // Go somewhere on both sides, then disconnect: the account is stored with them.
    ASSERT_EQ(SetRemoteDir("public_html/blog"), 1);
    ASSERT_EQ(RefreshRemoteList(), 1);
    form->RefreshFileList(1);
    ASSERT_EQ(SetLocalDir(local->filePath("site")), 1);
    form->RefreshFileList(0);
    form->DisconnectActionExecute();
    EXPECT_FALSE(form->Connected);
    EXPECT_EQ(form->LocalFileListV->rowCount(), 0);
    ::HostList stored;
    ASSERT_TRUE(LoadHostListFile(stored, app.hostListPath(), false));
    ASSERT_EQ(stored.CountInUse(), 1);
    EXPECT_EQ(stored[0].RemoteDir(), "/public_html/blog");
    EXPECT_EQ(stored[0].LocalDir(), local->filePath("site"));

    // Typing the stored account again opens its folders.
    platform::setCurrentDirectory(local->pathBytes());
    form->EUserId->clear();
    form->EUserId->setText(ui::toQ(server.user()));
    EXPECT_TRUE(form->HostEdited);
    connect();
    EXPECT_EQ(remoteShown(), "/public_html/blog");
    EXPECT_EQ(localShown(), local->filePath("site"));
    EXPECT_FALSE(form->HostEdited);

    // The next start offers the account with its password.
    form->DisconnectActionExecute();
    app.dialogs().allowMessages();
    ASSERT_TRUE(form->close());
    form = app.showMainForm();
    EXPECT_EQ(ui::fromQ(form->EHost->text()), server.address());
    EXPECT_EQ(ui::fromQ(form->EPassword->text()), server.password());
}

// A server that went away leaves the window unconnected: closing it still
// remembers the account with the folders last shown, as after a clean session.
TEST_F(ConnectTest, AnAccountWhoseServerWentAwayIsStillRemembered)
{
    startServer();
    serveFolder("a");
    connect();
    ASSERT_EQ(SetRemoteDir("a"), 1);
    ASSERT_EQ(RefreshRemoteList(), 1);
    form->RefreshFileList(1);
    ASSERT_EQ(SetLocalDir(local->filePath("site")), 1);
    form->RefreshFileList(0);
    server.stop();
    app.dialogs().allowMessages();
    form->UpDirectoryExecute();
    ASSERT_FALSE(form->Connected);
    ASSERT_TRUE(form->close());
    ::HostList stored;
    ASSERT_TRUE(LoadHostListFile(stored, app.hostListPath(), false));
    ASSERT_EQ(stored.CountInUse(), 1);
    EXPECT_EQ(stored[0].HostName(), server.address());
    EXPECT_EQ(stored[0].RemoteDir(), "/a");
    EXPECT_EQ(stored[0].LocalDir(), local->filePath("site"));
}

TEST_F(ConnectTest, ARestartedServerIsReconnectedInTheShownFolder)
{
    startServer();
    serveFolder("a/b");
    connect();
    ASSERT_EQ(SetRemoteDir("a"), 1);
    ASSERT_EQ(RefreshRemoteList(), 1);
    form->RefreshFileList(1);
    ASSERT_EQ(remoteShown(), "/a");

    ASSERT_TRUE(server.restart());
    server.clearLog();
    form->RemoteFileListV->selectRow(rowOf(form->RemoteFileListV, "b"));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(remoteShown(), "/a/b");
    EXPECT_EQ(countReceived("USER"), 1);
    EXPECT_EQ(countReceived("CWD /a"), 1) << "back to the shown folder";
    EXPECT_EQ(countReceived("CWD b"), 1) << "then into b, once";
}

TEST_F(ConnectTest, NavigationOnBothSidesKeepsBoxesHistoryAndCounts)
{
    startServer();
    serveFolder("docs/img");
    serveFile("docs/readme.txt", "r");
    connect();
    form->AutoUpAllowed = true;

    // Remote: into a folder by double-click, a file row does nothing, up again.
    form->RemoteFileListV->selectRow(rowOf(form->RemoteFileListV, "docs"));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(remoteShown(), "/docs");
    EXPECT_FALSE(form->AutoUpAllowed);
    EXPECT_EQ(panel(2), "ﾌｧｲﾙ数=1 (Dir=1)");
    form->RemoteFileListV->clearSelection();
    form->RemoteFileListV->selectRow(rowOf(form->RemoteFileListV, "readme.txt"));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(remoteShown(), "/docs");
    form->UpDirectoryExecute();
    EXPECT_EQ(remoteShown(), "/");
    EXPECT_EQ(items(form->ComboCurrDir), (QStringList{"/", "/docs"}));

    // Picking from the remote box goes there; typing alone does nothing.
    form->ComboCurrDir->setEditText(QStringLiteral("/docs/img"));
    EXPECT_EQ(remoteShown(), "/docs/img");
    EXPECT_EQ(countReceived("CWD /docs/img"), 0);
    pick(form->ComboCurrDir, 1);
    EXPECT_EQ(remoteShown(), "/docs");

    // Local: double-click, up, the path edit, the box, the two dialogs.
    form->LocalFileListV->selectRow(rowOf(form->LocalFileListV, "site"));
    form->LocalFileListVDblClick();
    EXPECT_EQ(localShown(), local->filePath("site"));
    EXPECT_EQ(ui::fromQ(form->DirEdit->text()), local->filePath("site"));
    EXPECT_EQ(panel(1), "ﾌｧｲﾙ数=1 (Dir=1)");
    form->UpLDirectoryExecute();
    EXPECT_EQ(localShown(), local->pathBytes());

    form->DirEdit->setText(ui::toQ(local->filePath("site/sub")));
    form->DirEditKeyPress();
    EXPECT_EQ(localShown(), local->filePath("site/sub"));
    form->DirEdit->setText(ui::toQ(local->filePath("nowhere")));
    form->DirEditKeyPress();
    EXPECT_EQ(localShown(), local->filePath("site/sub"));
    EXPECT_EQ(ui::fromQ(form->DirEdit->text()), local->filePath("nowhere")) << "the typed text stays";

    const int rootRow = form->ComboLocalDir->findText(QStringLiteral("/"));
    ASSERT_GE(rootRow, 0);
    EXPECT_EQ(form->ComboLocalDir->findText(ui::toQ(local->pathBytes())), rootRow + 1)
        << "the root joins the history before the first local folder";
    pick(form->ComboLocalDir, rootRow + 1);
    EXPECT_EQ(localShown(), local->pathBytes());

    app.dialogs().expectBrowseFolder(ui::toQ(local->filePath("site")));
    form->OpenDirBoxExecute();
    EXPECT_EQ(localShown(), local->filePath("site"));
    app.dialogs().expectBrowseFolder({});
    form->OpenDirBoxExecute();
    EXPECT_EQ(localShown(), local->filePath("site"));
    app.dialogs().expectOpenFile(ui::toQ(local->filePath("site/sub/a.html")));
    form->OpenDialogBoxExecute();
    EXPECT_EQ(localShown(), local->filePath("site/sub"));

    // Every folder once in the history, "/" once, however often we connect.
    form->DisconnectActionExecute();
    connect();
    QStringList history = items(form->ComboLocalDir);
    EXPECT_EQ(history.count(QStringLiteral("/")), 1);
    EXPECT_EQ(history.removeDuplicates(), 0);
}

// Enter in a folder box as the user presses it.
void typeAndEnter(ui::ComboBox *box, const QString &text)
{
    box->setEditText(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box->lineEdit(), &press);
}

TEST_F(ConnectTest, AFolderTypedIntoEitherBoxIsEnteredOnEnterAndTheBoxShowsTheListsFolder)
{
    startServer();
    serveFolder("docs/img");
    serveFile("docs/img/logo.png", "p");
    connect();

    // Remote: a typed folder the history does not hold.
    typeAndEnter(form->ComboCurrDir, QStringLiteral("/docs/img"));
    EXPECT_EQ(remoteShown(), "/docs/img");
    EXPECT_EQ(names(form->RemoteFileListV), (std::vector<std::string>{"logo.png"}));
    // Refused: reported, and the box shows the folder still listed.
    app.dialogs().expectContaining(ScriptedDialogs::Kind::Message, QStringLiteral("550"));
    typeAndEnter(form->ComboCurrDir, QStringLiteral("/nowhere"));
    EXPECT_EQ(remoteShown(), "/docs/img");
    EXPECT_EQ(names(form->RemoteFileListV), (std::vector<std::string>{"logo.png"}));
    // Left without Enter: the typed text goes, nothing moves.
    form->ComboCurrDir->setEditText(QStringLiteral("/docs"));
    emit form->ComboCurrDir->lineEdit()->editingFinished();
    EXPECT_EQ(remoteShown(), "/docs/img");
    EXPECT_FALSE(server.receivedCommands().contains(QByteArray("CWD /docs")));

    // Local, after an upload made "自動UP" usable: the move disables it and says why.
    form->AutoUpAllowed = true;
    form->ApplyConnectionState();
    ASSERT_TRUE(form->SpeedAutoUp->isEnabled());
    typeAndEnter(form->ComboLocalDir, ui::toQ(local->filePath("site/sub")));
    EXPECT_EQ(localShown(), local->filePath("site/sub"));
    EXPECT_EQ(names(form->LocalFileListV), (std::vector<std::string>{"a.html"}));
    EXPECT_FALSE(form->SpeedAutoUp->isEnabled());
    EXPECT_TRUE(ui::fromQ(form->StatusBar1->simpleText()).find("自動UP") != std::string::npos);
    EXPECT_TRUE(form->SpeedAutoUp->toolTip().contains(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞを行うと")));
    app.dialogs().expectMessage();
    typeAndEnter(form->ComboLocalDir, ui::toQ(local->filePath("nowhere")));
    EXPECT_EQ(localShown(), local->filePath("site/sub"));
    EXPECT_EQ(names(form->LocalFileListV), (std::vector<std::string>{"a.html"}));
}

TEST_F(ConnectTest, AFailedLocalBoxChangeReselectsTheCurrentFolder)
{
    startServer();
    connect();
    const QString gone = ui::toQ(local->filePath("gone"));
    ASSERT_TRUE(QDir().mkpath(gone));
    ASSERT_EQ(SetLocalDir(local->filePath("gone")), 1);
    form->RefreshFileList(0);
    ASSERT_EQ(SetLocalDir(local->pathBytes()), 1);
    form->RefreshFileList(0);
    ASSERT_TRUE(QDir(gone).removeRecursively());

    app.dialogs().expectMessage(QStringLiteral("指定されたファイルが見つかりません。"));
    pick(form->ComboLocalDir, form->ComboLocalDir->findText(gone));
    EXPECT_EQ(localShown(), local->pathBytes());

    // The recovery matches the current folder ignoring case: with only "SITE"
    // in the history, being in "site" reselects "SITE".
    const QString upper = ui::toQ(local->filePath("SITE"));
    ASSERT_TRUE(QDir().mkpath(upper));
    ASSERT_EQ(SetLocalDir(local->filePath("SITE")), 1);
    form->RefreshFileList(0);
    ASSERT_TRUE(QDir(upper).removeRecursively());
    ASSERT_TRUE(platform::setCurrentDirectory(local->filePath("site")));
    app.dialogs().expectMessage(QStringLiteral("指定されたファイルが見つかりません。"));
    pick(form->ComboLocalDir, form->ComboLocalDir->findText(gone));
    EXPECT_EQ(form->ComboLocalDir->text(), upper);
    // The history itself compares exactly: "site" becomes an entry of its own.
    form->RefreshFileList(0);
    EXPECT_TRUE(items(form->ComboLocalDir).contains(upper));
    EXPECT_TRUE(items(form->ComboLocalDir).contains(ui::toQ(local->filePath("site"))));
}

TEST_F(ConnectTest, ARefusedRemoteFolderIsReportedAndTheFolderListedAgain)
{
    startServer();
    serveFolder("docs");
    serveFolder("keep");
    connect();
    form->AutoUpAllowed = true;
    // The folder goes away on the server after the listing showed it.
    ASSERT_TRUE(QDir(QString::fromStdString(server.rootPath("docs"))).removeRecursively());
    server.clearLog();
    app.dialogs().expectMessage(QStringLiteral("550 No such file or directory."));
    form->RemoteFileListV->selectRow(rowOf(form->RemoteFileListV, "docs"));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(panel(0), "FtpSetCurrentDirectory失敗: 12003\n ");
    EXPECT_EQ(names(form->RemoteFileListV), (std::vector<std::string>{"keep"}));
    EXPECT_EQ(remoteShown(), "/");
    EXPECT_FALSE(form->AutoUpAllowed);
}

TEST_F(ConnectTest, ClosingWhileConnectedWithYesDisconnectsAndStoresTheShownFolders)
{
    startServer();
    serveFolder("docs");
    connect();
    ASSERT_EQ(SetRemoteDir("docs"), 1);
    ASSERT_EQ(RefreshRemoteList(), 1);
    form->RefreshFileList(1);

    app.dialogs().expectConfirm(QStringLiteral("ホストに接続中です。\n切断して終了してもいいですか？"), true);
    ASSERT_TRUE(form->close());
    EXPECT_FALSE(form->Connected);
    EXPECT_FALSE(SessionOpen());
    EXPECT_NE(app.readFile(app.iniPath()).find("LastHDir=/docs"), std::string::npos);
    ::HostList stored;
    ASSERT_TRUE(LoadHostListFile(stored, app.hostListPath(), false));
    ASSERT_EQ(stored.CountInUse(), 1);
    EXPECT_EQ(stored[0].RemoteDir(), "/docs");
    EXPECT_EQ(stored[0].LocalDir(), local->pathBytes());
}

TEST_F(ConnectTest, AHostPickedInTheHostListConnectsIntoItsStoredFolders)
{
    startServer();
    serveFolder("docs");
    ::HostList list;
    int status = 0;
    StoreAccount(list, "elsewhere.invalid", "user", CryptPassword("pw", status, 0), "/l", "/r");
    StoreAccount(list, server.address(), server.user(), CryptPassword(server.password(), status, 0),
                 local->filePath("site"), "/docs");
    ASSERT_EQ(SaveHostListFile(list, app.hostListPath()), HostSaveResult::Saved);
    form->EHost->setText(QStringLiteral("elsewhere.invalid"));
    form->EPassword->setText(QStringLiteral("pw"));

    app.dialogs().expectConfirm(QStringLiteral("指定のホストに設定してもいいですか？"), true);
    QTimer::singleShot(0, [] {
        HostForm->ListView1->selectRow(1);
        HostForm->ButtonSet->click();
    });
    form->OpenHostListExecute();
    connect();
    EXPECT_EQ(remoteShown(), "/docs");
    EXPECT_EQ(localShown(), local->filePath("site"));
}

TEST_F(ConnectTest, SortingByEachColumnBothWaysWithSharedFlags)
{
    startServer();
    serveFile("b10.txt", std::string(10, 'x'));
    serveFile("A9.txt", std::string(9, 'x'));
    serveFile("c100.txt", std::string(100, 'x'));
    serveFolder("dir");
    // Dates in an order of their own: A9 (2001), c100 (2002), b10 (2003), dir (2004).
    const std::pair<const char *, int> years[] = {
        {"A9.txt", 2001}, {"c100.txt", 2002}, {"b10.txt", 2003}, {"dir", 2004}};
    for (const auto &[name, year] : years) {
        const auto when = QDateTime(QDate(year, 6, 1), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
        const struct utimbuf times {
            when, when
        };
        ASSERT_EQ(::utime(server.rootPath(name).c_str(), &times), 0) << name;
    }
    connect();
    const std::vector<std::string> listingOrder = names(form->RemoteFileListV);

    auto sizes = [](const ui::ListView *list) {
        std::vector<std::string> out;
        for (int i = 0; i < list->rowCount(); ++i)
            out.push_back(ui::fromQ(list->row(i)->text(2)));
        return out;
    };
    form->RemoteFileListVColumnClick(0);
    EXPECT_EQ(names(form->RemoteFileListV),
              (std::vector<std::string>{"A9.txt", "b10.txt", "c100.txt", "dir"}));
    form->RemoteFileListVColumnClick(0);
    EXPECT_EQ(names(form->RemoteFileListV),
              (std::vector<std::string>{"dir", "c100.txt", "b10.txt", "A9.txt"}));
    form->RemoteFileListVColumnClick(2);
    EXPECT_EQ(sizes(form->RemoteFileListV), (std::vector<std::string>{"0", "9", "10", "100"}));
    form->RemoteFileListVColumnClick(2);
    EXPECT_EQ(sizes(form->RemoteFileListV), (std::vector<std::string>{"100", "10", "9", "0"}));

    // The flags live in the local list's columns: the local "名前" click continues
    // where the remote clicks left it (ascending twice, so now ascending again).
    form->LocalFileListVColumnClick(0);
    EXPECT_EQ(form->LocalFileListV->columnTag(0), 1);
    form->RemoteFileListVColumnClick(0);
    EXPECT_EQ(names(form->RemoteFileListV),
              (std::vector<std::string>{"dir", "c100.txt", "b10.txt", "A9.txt"}))
        << "remote after local: descending";

    form->RemoteFileListVColumnClick(1);
    EXPECT_EQ(names(form->RemoteFileListV),
              (std::vector<std::string>{"A9.txt", "c100.txt", "b10.txt", "dir"}));
    form->RemoteFileListVColumnClick(1);
    EXPECT_EQ(names(form->RemoteFileListV),
              (std::vector<std::string>{"dir", "b10.txt", "c100.txt", "A9.txt"}));

    // Any refresh shows the listing order again (the sort is not sticky).
    if (names(form->RemoteFileListV) == listingOrder)
        form->RemoteFileListVColumnClick(1);
    ASSERT_NE(names(form->RemoteFileListV), listingOrder);
    RefreshRemoteList();
    EXPECT_EQ(names(form->RemoteFileListV), listingOrder);
}

TEST_F(ConnectTest, HostListWindowPicksDeletesAndRefusesTheAccountInUse)
{
    ::HostList list;
    int status = 0;
    for (int i = 0; i < 3; ++i)
        StoreAccount(list, "host" + std::to_string(i), "user",
                     CryptPassword("pw" + std::to_string(i), status, 0), "/l" + std::to_string(i),
                     "/r" + std::to_string(i));
    ASSERT_EQ(SaveHostListFile(list, app.hostListPath()), HostSaveResult::Saved);

    auto runWindow = [&](const std::function<void()> &inside) {
        QTimer::singleShot(0, [&] {
            EXPECT_EQ(HostForm->ListView1->rowCount(), 3);
            inside();
        });
        form->OpenHostListExecute();
    };

    // Pick host 2: the fields and folders come from it.
    app.dialogs().expectConfirm(QStringLiteral("指定のホストに設定してもいいですか？"), true);
    runWindow([&] {
        HostForm->ListView1->selectRow(2);
        HostForm->ButtonSet->click();
    });
    EXPECT_EQ(form->EHost->text(), QStringLiteral("host2"));
    EXPECT_EQ(form->EPassword->text(), QStringLiteral("pw2"));
    EXPECT_EQ(form->LastRemoteDir, "/r2");
    EXPECT_EQ(form->LastLocalDir, "/l2");
    EXPECT_TRUE(form->HostEdited);

    // The account in the fields cannot be deleted.
    app.dialogs().expectConfirm(QStringLiteral("指定のホストを削除してもいいですか？"), true);
    app.dialogs().expectMessage(QStringLiteral("指定のホストは現在使用中ですので\n削除できませんでした。"));
    runWindow([&] {
        HostForm->ListView1->selectRow(2);
        HostForm->ButtonDelete->click();
    });
    ASSERT_TRUE(LoadHostListFile(list, app.hostListPath(), false));
    EXPECT_EQ(list.CountInUse(), 3);

    // Another one can, and is gone from the file at once.
    app.dialogs().expectConfirm(QStringLiteral("指定のホストを削除してもいいですか？"), true);
    runWindow([&] {
        HostForm->ListView1->selectRow(0);
        HostForm->ButtonDelete->click();
    });
    ASSERT_TRUE(LoadHostListFile(list, app.hostListPath(), false));
    EXPECT_EQ(list.CountInUse(), 2);
    EXPECT_EQ(list[0].HostName(), "host1");

    // Cancel changes nothing.
    QTimer::singleShot(0, [&] { HostForm->ButtonCancel->click(); });
    form->OpenHostListExecute();
    EXPECT_EQ(form->EHost->text(), QStringLiteral("host2"));
    ASSERT_TRUE(LoadHostListFile(list, app.hostListPath(), false));
    EXPECT_EQ(list.CountInUse(), 2);
}
