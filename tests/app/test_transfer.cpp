// SPDX-License-Identifier: GPL-3.0-or-later
// Single-file transfer, backup store, transfer list and the manual upload and
// download through the progress window, against a real server.
#include "app/windows/Upanddown.h"
#include "support/test_transfer_fixture.h"
#include "ui/ComboBox.h"
#include "ui/RadioGroup.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Timer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <set>
#include <unistd.h>

using namespace transfertest;
using Kind = testsupport::ScriptedDialogs::Kind;

namespace {

const QString DownloadQuestion =
    QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)");

std::string binaryBytes()
{
    std::string data;
    for (int i = 0; i < 3000; ++i)
        data += static_cast<char>((i * 37) & 0xFF);
    return data + "\r\n\n\r\0tail";
}

} // namespace

TEST_F(TransferTest, AutoModeSendsPagesAsAsciiAndOtherFilesByteExactThenAllowsTheWatch)
{
    writeLocal("page.HTM", "<p>\r\nline\nend\n");
    writeLocal("photo.jpg", binaryBytes());
    ASSERT_NO_FATAL_FAILURE(connect());
    form->Mode->setItemIndex(2);
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"page.HTM", "photo.jpg"}));
    EXPECT_FALSE(form->SpeedAutoUp->isEnabled());

    form->UploadExecute();

    // ASCII: CRLF on the wire, stored with the server's LF line ends.
    EXPECT_EQ(served("page.HTM"), "<p>\nline\nend\n");
    EXPECT_EQ(served("photo.jpg"), binaryBytes());
    EXPECT_EQ(typeBefore("STOR page.HTM"), "TYPE A");
    EXPECT_EQ(typeBefore("STOR photo.jpg"), "TYPE I");
    EXPECT_EQ(countReceived("STOR "), 2) << "each row once";
    EXPECT_EQ(form->TransferList.TransferCount, 2);
    EXPECT_EQ(form->TransferList[0].Done, 1);
    EXPECT_EQ(form->TransferList[1].Done, 1);
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("正常終了"));
    EXPECT_FALSE(UpDownLoadForm->isVisible());
    // Back in the remembered folder with fresh lists; the watch may start now.
    EXPECT_GE(rowOf(form->RemoteFileListV, "page.HTM"), 0);
    EXPECT_TRUE(form->AutoUpAllowed);
    EXPECT_TRUE(form->SpeedAutoUp->isEnabled());
    EXPECT_TRUE(form->PanelTop->isEnabled());
}

TEST_F(TransferTest, SingleTransferShowsModeAndDirectionAndChecksTheSource)
{
    writeLocal("index.html", "<html>\n");
    writeLocal("README", "plain\r\n");
    ASSERT_NO_FATAL_FAILURE(connect());
    form->Mode->setItemIndex(2);

    EXPECT_EQ(form->TransferOne(0, "index.html", "index.html"), 1);
    EXPECT_EQ(panel(0), "ASCIIｱｯﾌﾟﾛｰﾄﾞ index.html");
    EXPECT_EQ(TransferType(), FtpTransferAscii);
    EXPECT_EQ(form->TransferOne(0, "README", "README"), 1);
    EXPECT_EQ(panel(0), "BYNARYｱｯﾌﾟﾛｰﾄﾞ README");
    EXPECT_EQ(served("README"), "plain\r\n");

    // ASCII mode sends every file as text; a download over a file replaces it.
    form->Mode->setItemIndex(0);
    serveFile("remote.bin", "a\r\nb\r\n");
    EXPECT_EQ(form->TransferOne(1, "README", "remote.bin"), 1);
    EXPECT_EQ(panel(0), "ASCIIﾀﾞｳﾝﾛｰﾄﾞ README");
    EXPECT_EQ(testsupport::readFileBytes(localPath("README")), "a\nb\n");

    // Nothing to send: an empty path shows nothing; a missing file is named,
    // after a wait when the folder lists more than one file.
    ShowStatus("before", 0);
    EXPECT_EQ(form->TransferOne(0, " \t", "x"), 0);
    EXPECT_EQ(panel(0), "before");
    // One listed file fails at once (in real time a wait would take 2 seconds).
    ui::Clock::setScale(1.0);
    form->LocalFileCount = 1;
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(form->TransferOne(0, "gone.html", "gone.html"), 0);
    EXPECT_LT(waited.elapsed(), 1000);
    EXPECT_EQ(panel(0), "gone.html\nが見つかりませんでした。");
    ui::Clock::setScale(0.01);
    form->LocalFileCount = 2;
    waited.restart();
    EXPECT_EQ(form->TransferOne(0, "gone.html", "gone.html"), 0);
    EXPECT_GE(waited.elapsed(), ui::Clock::scaled(2000));
    EXPECT_FALSE(server.hasReceived("STOR gone.html"));

    // A put the server refuses, or one without a session, is reported and fails.
    writeLocal("bad.html", "x");
    app.dialogs().expect(Kind::Message);
    EXPECT_EQ(form->TransferOne(0, "bad.html", "no/such/folder/bad.html"), 0);
    EXPECT_EQ(panel(0).rfind("FtpPutFile失敗: ", 0), 0u) << panel(0);

    CloseSession();
    EXPECT_EQ(form->TransferOne(0, "index.html", "index.html"), 0);
    EXPECT_EQ(panel(0), "セッションは開かれていません。");
}

TEST_F(TransferTest, DataFilesAreSentFromTheirBackupCopyAndTheStoreCanBeEmptied)
{
    const std::string store = app.dir() + "/backup_log";
    writeLocal("DATA.TXT", "first");
    writeLocal("sub/log.dat", "nested");
    ASSERT_NO_FATAL_FAILURE(connect());

    // With no store at all the delete command finds nothing to say.
    app.dialogs().expectConfirm(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?"), true);
    form->ActionDelBackupExecute();

    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"DATA.TXT"}));
    form->UploadExecute();
    writeLocal("DATA.TXT", "second upload");
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"DATA.TXT"}));
    form->UploadExecute();

    EXPECT_EQ(testsupport::folderEntries(store), std::vector<std::string>({"DATA.TXT"}));
    EXPECT_EQ(testsupport::readFileBytes(store + "/DATA.TXT"), "second upload");
    EXPECT_EQ(served("DATA.TXT"), "second upload");
    EXPECT_EQ(form->BackupFile, store + "/DATA.TXT");

    // The copy is made of the local file named by the remote path, and that
    // copy is what goes up.
    writeLocal("DATA.TXT", "third");
    writeLocal("draft.txt", "draft");
    EXPECT_EQ(form->TransferOne(0, "draft.txt", "DATA.TXT"), 1);
    EXPECT_EQ(served("DATA.TXT"), "third");

    // A file inside a folder gets no copy and goes from its own place.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"sub"}));
    form->UploadExecute();
    EXPECT_EQ(served("sub/log.dat"), "nested");
    EXPECT_EQ(testsupport::folderEntries(store), std::vector<std::string>({"DATA.TXT"}));

    app.dialogs().expectConfirm(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?"), false);
    form->ActionDelBackupExecute();
    EXPECT_TRUE(testsupport::fileExists(store + "/DATA.TXT"));
    app.dialogs().expectConfirm(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?"), true);
    app.dialogs().expectMessage(QStringLiteral("1個のﾊﾞｯｸｱｯﾌﾟﾃﾞｰﾀﾍﾞｰｽを削除しました。"));
    form->ActionDelBackupExecute();
    EXPECT_TRUE(testsupport::folderEntries(store).empty());
    app.dialogs().expectConfirm(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?"), true);
    app.dialogs().expectMessage(QStringLiteral("0個のﾊﾞｯｸｱｯﾌﾟﾃﾞｰﾀﾍﾞｰｽを削除しました。"));
    form->ActionDelBackupExecute();
}

TEST_F(TransferTest, FolderTreeUploadCreatesRemoteFoldersParentsFirst)
{
    writeLocal("site/index.html", "i");
    writeLocal("site/sub/a.html", "a");
    writeLocal("site/sub/deep/b.css", "b");
    writeLocal("site/other/c.js", "c");
    ASSERT_NO_FATAL_FAILURE(makeLocalFolder("empty"));
    ASSERT_NO_FATAL_FAILURE(connect());

    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"site"}));
    form->UploadExecute();

    EXPECT_EQ(served("site/index.html"), "i");
    EXPECT_EQ(served("site/sub/a.html"), "a");
    EXPECT_EQ(served("site/sub/deep/b.css"), "b");
    EXPECT_EQ(served("site/other/c.js"), "c");
    const int site = commandIndex("MKD site");
    const int sub = commandIndex("MKD site/sub");
    const int deep = commandIndex("MKD site/sub/deep");
    const int other = commandIndex("MKD site/other");
    ASSERT_GE(site, 0);
    EXPECT_LT(site, sub);
    EXPECT_LT(sub, deep);
    EXPECT_LT(site, other);
    // Every folder exists before the first file goes.
    const QByteArrayList lines = server.receivedCommands();
    const auto firstStor =
        std::find_if(lines.begin(), lines.end(), [](const QByteArray &l) { return l.startsWith("STOR "); });
    EXPECT_GT(firstStor - lines.begin(), std::max({sub, deep, other}));
    std::set<std::string> remote;
    for (int i = 0; i < form->TransferList.TransferCount; ++i) {
        EXPECT_EQ(form->TransferList[i].LocalPath, form->TransferList[i].RemotePath);
        remote.insert(form->TransferList[i].RemotePath);
    }
    EXPECT_EQ(remote, std::set<std::string>(
                          {"site/index.html", "site/sub/a.html", "site/sub/deep/b.css", "site/other/c.js"}));

    // An empty folder is created remotely and no progress window opens.
    server.clearLog();
    bool progressShown = false;
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form,
                     [&progressShown] { progressShown = true; });
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"empty"}));
    form->UploadExecute();
    EXPECT_TRUE(servedExists("empty"));
    EXPECT_FALSE(progressShown);
    EXPECT_EQ(countReceived("STOR "), 0);

    // No selection: nothing happens and the watch stays off.
    form->LocalFileListV->clearSelection();
    form->AutoUpAllowed = true;
    EXPECT_EQ(form->TransferSelection(0), 1);
    EXPECT_FALSE(form->AutoUpAllowed);
}

TEST_F(TransferTest, AFolderLinkingToItselfIsWalkedOnce)
{
    writeLocal("loop/page.html", "p");
    ASSERT_EQ(::symlink(".", localPath("loop/self").c_str()), 0);
    ASSERT_NO_FATAL_FAILURE(connect());

    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"loop"}));
    form->UploadExecute();
    EXPECT_EQ(served("loop/page.html"), "p");
    EXPECT_EQ(countReceived("MKD "), 1);
    EXPECT_EQ(countReceived("STOR "), 1);
}

TEST_F(TransferTest, ASelectionOfMoreThanMaxfileFilesKeepsTheFirstRows)
{
    for (int i = 0; i < MAXFILE + 1; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal("f" + std::to_string(i), ""));
    ASSERT_NO_FATAL_FAILURE(connect());
    form->LocalFileListV->selectAll();
    ASSERT_EQ(form->LocalFileListV->selectedCount(), MAXFILE + 1);

    EXPECT_EQ(form->BuildTransferList(LocalSide, 0), MAXFILE);
    EXPECT_EQ(form->TransferList.TransferCount, MAXFILE);
    EXPECT_EQ(panel(0), "MAXFILE exceeded");
    const std::string last = ui::fromQ(form->LocalFileListV->row(MAXFILE)->text(0));
    for (int i = 0; i < MAXFILE; ++i)
        ASSERT_NE(form->TransferList[i].LocalPath, last);

    app.dialogs().expectMessage(QStringLiteral("扱えるﾌｧｲﾙ数は 900 までです。"));
    form->ShowFileLimit(0);
    form->ShowFileLimit(1);
    form->ClearTransferList();
    EXPECT_EQ(form->TransferList.TransferCount, 0);
    EXPECT_EQ(form->TransferList[0].Pending, 0);
    EXPECT_TRUE(form->TransferList[0].LocalPath.empty());
}

TEST_F(TransferTest, CancelDuringARowLetsItFinishAndTransfersNoOther)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal("f" + std::to_string(i) + ".bin", std::string(1000, 'a' + i)));
    ASSERT_NO_FATAL_FAILURE(connect());
    form->LocalFileListV->selectAll();
    // Row 3 (the fourth of ten) is under way when the user presses Cancel.
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [](const QString &title) {
        if (title == QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞ (4/10)"))
            UpDownLoadForm->ButtonCancel->click();
    });
    app.dialogs().expectMessage(QStringLiteral("処理を中断しました。"));
    form->UploadExecute();

    ASSERT_EQ(form->TransferList.TransferCount, 10);
    for (int i = 0; i < 10; ++i) {
        const TransferEntry &row = form->TransferList[i];
        EXPECT_EQ(row.Done, i <= 3 ? 1 : 0) << i;
        EXPECT_EQ(servedExists(row.RemotePath), i <= 3) << i;
    }
    EXPECT_EQ(countReceived("STOR "), 4);
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("強制終了"));
    EXPECT_TRUE(form->CancelRequested);
    EXPECT_FALSE(form->AutoUpAllowed);
    EXPECT_FALSE(form->SpeedAutoUp->isEnabled());
    EXPECT_TRUE(form->PanelTop->isEnabled());
}

// However a run ends, it is no longer the open run: a Cancel from the menu in the
// window's first second (before any step), then runs that end by themselves and
// one cancelled in its middle, leave nothing registered for a later Cancel.
TEST_F(TransferTest, EveryRunEndsUnregisteredACancelInTheFirstSecondIncluded)
{
    for (int i = 0; i < 4; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal("f" + std::to_string(i) + ".bin", std::string(1000, 'a' + i)));
    ASSERT_NO_FATAL_FAILURE(connect());
    SetTransferConnections(3);
    bool cancelFirst = true;
    QString cancelAt;
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [&](const QString &title) {
        if (cancelFirst && title == QStringLiteral("UpAndDownLoad"))
            QTimer::singleShot(0, form, [] { UpDownLoadForm->N1->trigger(); });
        if (!cancelAt.isEmpty() && title.startsWith(cancelAt))
            UpDownLoadForm->N1->trigger();
    });
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE(run);
        cancelFirst = run == 0;
        cancelAt = run == 3 ? QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞ (") : QString();
        if (run == 0 || run == 3)
            app.dialogs().expectMessage(QStringLiteral("処理を中断しました。"));
        form->LocalFileListV->selectAll();
        form->UploadExecute();
        app.dialogs().verifyAllMet();
        EXPECT_EQ(TransferRun::Current(), nullptr);
        EXPECT_FALSE(UpDownLoadForm->N1->isEnabled());
        if (run < 3) {
            EXPECT_EQ(countReceived("STOR "), 4 * run) << "none after the Cancel in the first second";
        }
    }
    CancelDownload();
}

TEST_F(TransferTest, AFolderChangedDuringARunIsReportedAndTheRememberedOneRestored)
{
    serveFolder("docs");
    writeLocal("a.html", "a");
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_EQ(SetRemoteDir("docs"), 1);
    showRemote();
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"a.html"}));

    // At the window's end something shows another folder; panel 0 is read at
    // every reply the session waits for from then on.
    std::vector<std::string> seen;
    const struct Unhook {
        ~Unhook()
        {
            if (FtpSession())
                FtpSession()->setStatusCallback({});
        }
    } unhook;
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [&](const QString &title) {
        if (!title.isEmpty())
            return;
        form->ComboCurrDir->setText(QStringLiteral("/"));
        FtpSession()->setStatusCallback([&](uint32_t, platform::FtpStatus, const std::string &, uint64_t) {
            // The session thread reports; panel 0 is read on the interface thread.
            QMetaObject::invokeMethod(
                form, [&] { seen.push_back(panel(0)); }, Qt::QueuedConnection);
        });
    });
    form->UploadExecute();
    EXPECT_EQ(served("docs/a.html"), "a");
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Directory has been changed"), seen.end());
    EXPECT_EQ(ui::fromQ(form->ComboCurrDir->text()), "/docs");
}

TEST_F(TransferTest, AProgressRunHandlesEachPendingRowExactlyOnce)
{
    serveFile("d1", "1");
    serveFile("d2", "2");
    serveFile("d3", "3");
    for (int i = 0; i < 10; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal("r" + std::to_string(i), "x"));
    ASSERT_NO_FATAL_FAILURE(connect());
    server.clearLog();

    form->ClearTransferList();
    for (int i = 0; i < 10; ++i)
        form->TransferList.Append("r" + std::to_string(i), "r" + std::to_string(i));
    for (int i = 0; i < 10; ++i)
        form->TransferList[i].Pending = (i == 2 || i == 5) ? 1 : 0;
    UpDownLoadForm->Tag = 0;
    UpDownLoadForm->OperationCode = 0;
    UpDownLoadForm->showModal();
    EXPECT_EQ(countReceived("STOR "), 2);
    EXPECT_LT(commandIndex("STOR r2"), commandIndex("STOR r5"));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(form->TransferList[i].Done, (i == 2 || i == 5) ? 1 : 0) << i;

    // The delete mode removes each file once: a second sweep would fail at the
    // server and be reported.
    form->ClearTransferList();
    for (const char *name : {"d1", "d2", "d3"})
        form->TransferList.Append(name, name);
    UpDownLoadForm->Tag = 999;
    UpDownLoadForm->OperationCode = RemoteSide;
    UpDownLoadForm->showModal();
    EXPECT_EQ(countReceived("DELE "), 3);
    EXPECT_FALSE(servedExists("d1") || servedExists("d2") || servedExists("d3"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(form->TransferList[i].Done, 0);
    EXPECT_EQ(panel(0).find("失敗"), std::string::npos) << panel(0);
}

TEST_F(TransferTest, DownloadOfARemoteFolderFetchesItsDirectFilesOnly)
{
    serveFile("dir/f1.txt", "one");
    serveFile("dir/page.html", "<p>\r\n");
    serveFile("dir/sub/deep.txt", "deep");
    serveFile("top.bin", binaryBytes());
    writeLocal("keep.txt", "local");
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"dir", "top.bin"}));

    // Answering No changes nothing.
    app.dialogs().expectConfirm(DownloadQuestion, false);
    form->DounloadExecute();
    EXPECT_FALSE(localExists("top.bin"));

    app.dialogs().expectConfirm(DownloadQuestion, true);
    form->DounloadExecute();
    EXPECT_EQ(testsupport::readFileBytes(localPath("dir/f1.txt")), "one");
    EXPECT_EQ(testsupport::readFileBytes(localPath("dir/page.html")), "<p>\n");
    EXPECT_EQ(testsupport::readFileBytes(localPath("top.bin")), binaryBytes());
    EXPECT_FALSE(localExists("dir/sub"));
    EXPECT_EQ(countReceived("RETR "), 3);
    EXPECT_GE(rowOf(form->LocalFileListV, "top.bin"), 0);
    // After a download the watch is not offered, and the list is emptied.
    EXPECT_FALSE(form->AutoUpAllowed);
    EXPECT_FALSE(form->SpeedAutoUp->isEnabled());
    EXPECT_EQ(form->TransferList.TransferCount, 0);
    EXPECT_EQ(UpDownLoadForm->Tag, 0);
}

TEST_F(TransferTest, AFailedDownloadLeavesTheLocalFileAsItWas)
{
    serveFile("big.bin", std::string(256 * 1024, 'n'));
    writeLocal("big.bin", "the previous version");
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::cutData(QStringLiteral("RETR"), 4096, false)));
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"big.bin"}));
    app.dialogs().expectConfirm(DownloadQuestion, true);
    app.dialogs().allowMessages();
    QString failure;
    QObject::connect(
        UpDownLoadForm, &QWidget::windowTitleChanged, form, [&failure, this](const QString &title) {
            if (title.isEmpty())
                failure = QString::fromStdString(panel(0)); // the window's end, before the lists refresh
        });
    form->DounloadExecute();

    EXPECT_TRUE(failure.startsWith(QStringLiteral("FtpGetFile失敗: "))) << failure.toStdString();
    EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), "the previous version");
    // The data was cut (426): what arrived waits beside it for the next download to continue.
    std::vector<std::string> entries = testsupport::folderEntries(local->pathBytes());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, std::vector<std::string>({".big.bin.vexmora-part", "big.bin"}));
    EXPECT_EQ(testsupport::readFileBytes(localPath(".big.bin.vexmora-part")),
              std::string(testsupport::readFileBytes(localPath(".big.bin.vexmora-part")).size(), 'n'));
}

TEST_F(TransferTest, UnsafeRemoteNamesAreNeverWrittenLocally)
{
    serveFile("dir/good.txt", "good");
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::extraName(QByteArray("..") + '/' + "escape.txt")
                                    + testsupport::ftpfault::extraName(QByteArray("bad\x01name"))));
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"dir"}));
    EXPECT_EQ(form->BuildTransferList(RemoteSide, 0), 1);
    EXPECT_EQ(form->TransferList[0].LocalPath, "dir/good.txt");
    EXPECT_EQ(panel(0), "不正なﾌｧｲﾙ名を2件無視しました");

    // A row that would leave the local folder is refused before any request.
    server.clearLog();
    EXPECT_EQ(form->TransferOne(1, "../escape.txt", "dir/good.txt"), 0);
    EXPECT_EQ(form->TransferOne(1, "dir/../../escape.txt", "dir/good.txt"), 0);
    EXPECT_EQ(form->TransferOne(1, local->pathBytes() + "/abs.txt", "dir/good.txt"), 0);
    EXPECT_EQ(panel(0), "不正なﾌｧｲﾙ名を1件無視しました");
    EXPECT_EQ(countReceived("RETR "), 0);
    const QString escaped = QString::fromStdString(localPath("../escape.txt"));
    EXPECT_FALSE(QFileInfo::exists(escaped));
    QFile::remove(escaped); // should the check above ever fail
    EXPECT_FALSE(localExists("abs.txt"));
}

TEST_F(TransferTest, ReUploadSendsTheWholeLocalFolderAndRestartsTheWatch)
{
    writeLocal("index.html", "i");
    writeLocal("css/site.css", "c");
    ASSERT_NO_FATAL_FAILURE(connect());
    form->LocalFileListV->clearSelection();

    // Outside the watch it does nothing: no question, still manual mode.
    form->ReUploadExecute();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_FALSE(form->TimerDemon->isActive());

    ASSERT_NO_FATAL_FAILURE(enterWatch());
    app.dialogs().expectConfirm(QStringLiteral("全再アップロードを実行しますか？"), false);
    form->ReUploadExecute();
    EXPECT_FALSE(server.hasReceived("STOR"));

    app.dialogs().expectConfirm(QStringLiteral("全再アップロードを実行しますか？"), true);
    form->ReUploadExecute();
    EXPECT_EQ(served("index.html"), "i");
    EXPECT_EQ(served("css/site.css"), "c");
    EXPECT_EQ(form->UploadMode, 1);
    EXPECT_TRUE(form->SpeedAutoUp->isDown());
    EXPECT_TRUE(form->TimerDemon->isActive());
    EXPECT_FALSE(form->LocalFileListV->isEnabled()) << "the watch locks the panes again";
    form->StopAutomation();
}
