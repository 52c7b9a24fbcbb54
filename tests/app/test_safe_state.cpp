// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing outside a selection is touched, stored accounts survive, and the
// window shows only states it is in: links in deletes, an unreadable host list,
// control state, nested busy sections, a lost connection, the status texts,
// window titles and the local listing order.
#include "app/Startup.h"
#include "app/model/Ecypt.h"
#include "app/model/HostRecord.h"
#include "app/windows/Hostlist.h"
#include "app/windows/Upanddown.h"
#include "support/test_transfer_fixture.h"
#include "ui/Application.h"
#include "ui/Button.h"
#include "ui/Edit.h"
#include "ui/StatusBar.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace transfertest;
using Kind = testsupport::ScriptedDialogs::Kind;
using Answer = testsupport::ScriptedDialogs::Answer;

namespace {

const QString LocalDeleteQuestion = QStringLiteral("削除を実行してもいいですか？\n元には戻せません");
const QString DownloadQuestion =
    QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)");
const QString NewListQuestion = QStringLiteral("新しいホスト一覧を作成して置き換えますか？");

bool isLink(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Makes a file unreadable to this process for the scope: mode 000 and, since
// root reads every file, the effective user "nobody" meanwhile. The folder is
// opened to everyone so that a save could still replace the file.
class UnreadableScope {
public:
    UnreadableScope(const std::string &file, const std::string &folder) : m_file(file), m_folder(folder)
    {
        ::chmod(m_file.c_str(), 0);
        ::chmod(m_folder.c_str(), 0777);
        m_wasRoot = ::geteuid() == 0 && ::seteuid(65534) == 0;
    }
    ~UnreadableScope()
    {
        if (m_wasRoot && ::seteuid(0) != 0)
            ADD_FAILURE() << "could not become root again";
        ::chmod(m_file.c_str(), 0600);
        ::chmod(m_folder.c_str(), 0700);
    }
    UnreadableScope(const UnreadableScope &) = delete;
    UnreadableScope &operator=(const UnreadableScope &) = delete;

private:
    std::string m_file;
    std::string m_folder;
    bool m_wasRoot = false;
};

void storeAccounts(const std::string &path, std::initializer_list<std::string> hosts)
{
    ::HostList list;
    int status = 0;
    for (const std::string &host : hosts)
        StoreAccount(list, host, "user", CryptPassword("pw", status, 0), "/l", "/r");
    ASSERT_EQ(SaveHostListFile(list, path), HostSaveResult::Saved);
}

int accountsInFile(const std::string &path)
{
    ::HostList list;
    LoadHostListFile(list, path, true);
    return list.CountInUse();
}

} // namespace

TEST_F(TransferTest, LocalDeleteRemovesLinksAsLinksAndNothingOutsideTheSelection)
{
    testsupport::TempFolder outside;
    ASSERT_TRUE(testsupport::writeFileBytes(outside.filePath("precious.txt"), "keep"));
    writeLocal("sel/a.txt", "a");
    ASSERT_EQ(::symlink(outside.pathBytes().c_str(), localPath("sel/link").c_str()), 0);
    ASSERT_EQ(::symlink(outside.pathBytes().c_str(), localPath("row").c_str()), 0);
    ASSERT_NO_FATAL_FAILURE(connect());

    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"sel", "row"}));
    app.dialogs().expectConfirm(LocalDeleteQuestion, true);
    form->LocalDeleteClick();

    EXPECT_EQ(testsupport::readFileBytes(outside.filePath("precious.txt")), "keep");
    EXPECT_FALSE(localExists("sel"));
    EXPECT_FALSE(isLink(localPath("row")));
    EXPECT_EQ(panel(0), "RemoveDirectory"); // no removal failed
}

TEST(HostListSafety, AnUnreadableListIsNeverReplacedAndTheLastAccountIsDeletedForGood)
{
    testsupport::AppFixture app;
    const std::string path = app.hostListPath();
    ASSERT_NO_FATAL_FAILURE(storeAccounts(path, {"one", "two", "three"}));
    const std::string original = testsupport::readFileBytes(path);
    TMainForm *form = app.makeMainForm();
    form->EHost->setText(QStringLiteral("other"));
    form->EUserId->setText(QStringLiteral("me"));
    form->EPassword->setText(QStringLiteral("pw"));
    const QString cannotOpen = QString::fromStdString(path) + QStringLiteral("\nを開けませんでした。");
    {
        const UnreadableScope unreadable(path, app.dir());
        // A disconnect and a close each show the failure and refuse to save.
        app.dialogs().expectMessage(cannotOpen);
        app.dialogs().expectContaining(Kind::Confirm, NewListQuestion, Answer::No);
        form->DisconnectActionExecute();
        app.dialogs().expectMessage(cannotOpen);
        app.dialogs().expectContaining(Kind::Confirm, NewListQuestion, Answer::No);
        form->FormClose();
    }
    EXPECT_EQ(testsupport::readFileBytes(path), original);

    // Only the user's choice starts a new list in its place.
    {
        const UnreadableScope unreadable(path, app.dir());
        app.dialogs().expectMessage(cannotOpen);
        app.dialogs().expectContaining(Kind::Confirm, NewListQuestion, Answer::Yes);
        form->FormClose();
    }
    EXPECT_EQ(accountsInFile(path), 1);

    // The only account, deleted in the host list window, stays deleted.
    ASSERT_NO_FATAL_FAILURE(storeAccounts(path, {"solo"}));
    app.dialogs().expectConfirm(QStringLiteral("指定のホストを削除してもいいですか？"), true);
    QTimer::singleShot(0, [&] {
        HostForm->ListView1->selectRow(0);
        HostForm->ButtonDelete->click();
    });
    const Watchdog watchdog([] { HostForm->close(); }, 10000);
    form->OpenHostListExecute();
    EXPECT_EQ(accountsInFile(path), 0);
}

TEST(BusyState, BusySectionsNestAndOnlyTheOutermostUnlocks)
{
    testsupport::AppFixture app;
    TMainForm *form = app.makeMainForm();
    form->BeginBusy();
    // A listing with its own busy section, and the end of an automatic mode.
    form->RefreshFileList(RemoteSide);
    form->StopAutomation();
    EXPECT_FALSE(form->PanelTop->isEnabled());
    EXPECT_EQ(ui::screenCursor(), ui::Cursor::Hourglass);
    form->EndBusy();
    EXPECT_TRUE(form->PanelTop->isEnabled());
    EXPECT_EQ(ui::screenCursor(), ui::Cursor::Default);
}

TEST_F(TransferTest, TransferControlsAreEnabledOnlyWhenConnected)
{
    auto expectNoDeadControls = [this](const char *when) {
        ASSERT_FALSE(form->Connected) << when;
        EXPECT_FALSE(form->ToolButtonUpload->isEnabled()) << when;
        EXPECT_FALSE(form->ToolButtonDownLoad->isEnabled()) << when;
        EXPECT_FALSE(form->BitBtnAutoDownDaemon->isEnabled()) << when;
        EXPECT_FALSE(form->cbPriodDown->isEnabled()) << when;
    };
    app.dialogs().allowMessages();
    form->EHost->setText(QStringLiteral("127.0.0.1:1"));
    form->EUserId->setText(QStringLiteral("user"));
    form->EPassword->setText(QStringLiteral("pw"));
    form->ConnectActionExecute();
    expectNoDeadControls("after a failed connect");

    writeLocal("page.html", "p");
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"page.html"}));
    form->LocalFileListVClick();
    EXPECT_TRUE(form->ToolButtonUpload->isEnabled());
    EXPECT_TRUE(form->BitBtnAutoDownDaemon->isEnabled());
    server.stop();
    app.dialogs().clear();
    form->UploadExecute();
    expectNoDeadControls("after a lost connection");
    // The lost server is reported once.
    EXPECT_EQ(app.dialogs().messages().size(), 1) << app.dialogs().messages().join('|').toStdString();
}

TEST_F(TransferTest, AServerLostMidDownloadGivesOneReportAndKeepsTheOldFile)
{
    serveFile("big.bin", std::string(4 * 1024 * 1024, 'n'));
    writeLocal("big.bin", "the previous version");
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::throttle(256 * 1024)));
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"big.bin"}));
    app.dialogs().expectConfirm(DownloadQuestion, true);
    app.dialogs().allowMessages();

    // The user-interface thread is inside the download: kill the server from
    // here once data has arrived in the download's temporary file.
    const qint64 pid = server.processId();
    const std::string folder = local->pathBytes();
    std::thread killer([pid, folder] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            std::error_code error;
            for (const auto &entry : std::filesystem::directory_iterator(folder, error))
                if (const std::string name = entry.path().filename().string();
                    (name.starts_with(".vexmora-") || name.ends_with(".vexmora-part"))
                    && entry.file_size(error) > 0) {
                    ::kill(static_cast<pid_t>(pid), SIGKILL);
                    return;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    Watchdog watchdog([] { UpDownLoadForm->ButtonCancelClick(); });
    form->DounloadExecute();
    killer.join();
    server.stop();

    EXPECT_EQ(app.dialogs().messages().size(), 1) << app.dialogs().messages().join('|').toStdString();
    EXPECT_EQ(panel(0).rfind("FtpGetFile失敗: ", 0), 0u) << panel(0);
    EXPECT_EQ(statusLine().find("完了"), std::string::npos) << statusLine();
    EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), "the previous version");
}

TEST_F(TransferTest, AListingLeavesTheStatusLineAloneAndTextsShowOnOneLine)
{
    ASSERT_NO_FATAL_FAILURE(connect());
    ShowStatus("12ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了", 999);
    ASSERT_EQ(RefreshRemoteList(), 1);
    EXPECT_EQ(statusLine(), "12ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了");

    ShowStatus("FtpGetFile失敗: 12030\n ", 0);
    ShowStatus("two\nlines", 999);
    const QLabel *panel0 = form->StatusBar->findChild<QLabel *>(QStringLiteral("StatusBar_panel0"));
    ASSERT_NE(panel0, nullptr);
    EXPECT_EQ(panel0->text(), QStringLiteral("FtpGetFile失敗: 12030  "));
    const QLabel *line = form->StatusBar1->findChild<QLabel *>();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), QStringLiteral("two lines"));
}

TEST_F(TransferTest, TheLocalListShowsNamesInCaseInsensitiveOrder)
{
    for (const char *name : {"delta.txt", "_under", "Bravo.txt", "echo.TXT", "alpha.txt"})
        writeLocal(name, "x");
    makeLocalFolder("Charlie");
    ASSERT_NO_FATAL_FAILURE(connect());
    std::vector<std::string> names;
    for (int i = 0; i < form->LocalFileListV->rowCount(); ++i)
        names.push_back(ui::ListView::rowName(form->LocalFileListV->row(i)));
    EXPECT_EQ(names, std::vector<std::string>(
                         {"alpha.txt", "Bravo.txt", "Charlie", "delta.txt", "echo.TXT", "_under"}));
}

TEST(WindowTitles, AreTheWindowsOwnWithoutTheApplicationName)
{
    QTemporaryDir dir;
    testsupport::ScopedScriptedDialogs dialogs;
    dialogs->expectMessage(QStringLiteral("入力データが空です。"));
    QString title;
    bool displayNameFollowsName = false;
    QTimer::singleShot(0, [&] {
        title = MainForm->windowTitle();
        // A display name of the application's own is appended to every title.
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        displayNameFollowsName = QGuiApplication::applicationDisplayName() == QStringLiteral("probe");
        QCoreApplication::setApplicationName(name);
        MainForm->close();
    });
    const std::string base = dir.path().toStdString();
    EXPECT_EQ(VexmoraMain({base + "/Vexmora", base + "/lock"}), 0);
    EXPECT_EQ(title, QStringLiteral("Vexmora Ver6.5 by_Pellowin"));
    EXPECT_TRUE(displayNameFollowsName);
}
