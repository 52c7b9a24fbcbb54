// SPDX-License-Identifier: GPL-3.0-or-later
// The FTP session layer against a real server: session life cycle, status
// texts, error reports, primitives and listings.
#include "app/MainForm.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "support/SessionFixture.h"
#include "support/TestUtil.h"
#include "ui/ComboBox.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"

#include <QDir>

using testsupport::SessionTest;

namespace {

const std::string NoSession = "セッションは開かれていません。";

std::vector<std::string> rowNames(const ui::ListView *list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list->rowCount(); ++i)
        names.push_back(ui::fromQ(list->row(i)->text(0)));
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(SessionTest, SessionOpensRefusesASecondConnectAndCloses)
{
    startServer();
    ASSERT_TRUE(OpenInternet());
    EXPECT_EQ(panel(0), "InternetOpen成功");
    ASSERT_EQ(OpenSession(server.address()), 1);
    EXPECT_EQ(panel(0), "<" + server.address() + ">へ接続しました");
    EXPECT_TRUE(form->Connected);
    EXPECT_TRUE(SessionOpen());

    // A second connect names the server already connected, not the requested one.
    EXPECT_EQ(OpenSession("elsewhere.invalid"), 1);
    EXPECT_EQ(panel(0), "既に接続中です<" + server.address() + ">\n先にCloseしてください");
    EXPECT_EQ(ConnectedServer(), server.address());

    EXPECT_EQ(CloseSession(), 1);
    EXPECT_EQ(panel(0), "セッションを閉じました");
    EXPECT_FALSE(form->Connected);
    EXPECT_EQ(statusLine(), "ｻｰﾊﾞｰからの接続を閉じました。");
    EXPECT_EQ(CloseSession(), 1);
    EXPECT_EQ(panel(0), NoSession);
}

TEST_F(SessionTest, WrongPasswordReportsTheCodeAndLeavesTheSessionClosed)
{
    startServer();
    form->EPassword->setText(QStringLiteral("wrong"));
    app.dialogs().expectMessage(QStringLiteral("パスワードが正しくありません。"));
    ASSERT_TRUE(OpenInternet());
    EXPECT_EQ(OpenSession(server.address()), 0);
    EXPECT_EQ(panel(0), "セッションを閉じました。");
    EXPECT_FALSE(form->Connected);
    EXPECT_FALSE(SessionOpen());
    // The connection texts of the attempt reached the status line.
    EXPECT_TRUE(server.hasReceived("PASS wrong"));
    EXPECT_EQ(statusLine(), "ｻｰﾊﾞｰからの接続を閉じました。");
}

TEST_F(SessionTest, PrimitivesWithoutASessionTouchNothing)
{
    ASSERT_TRUE(OpenInternet());
    testsupport::TempFolder local;
    const std::string from = local.filePath("a.txt");
    ASSERT_TRUE(testsupport::writeFileBytes(from, "x"));
    std::string folder = "unchanged";
    const struct {
        int result;
        int expected;
    } calls[] = {
        {DeleteRemoteFile("x"), 1},  {MakeRemoteDir("x"), 1},
        {RemoveRemoteDir("x"), 1},   {SetRemoteDir("x"), 0},
        {GetRemoteDir(folder), 1},   {IsRemoteDirShown(folder), 0},
        {RenameRemote("a", "b"), 1}, {RenameLocal(from, local.filePath("b.txt")), 1},
        {RefreshRemoteList(), 0},
    };
    for (const auto &call : calls)
        EXPECT_EQ(call.result, call.expected);
    EXPECT_EQ(panel(0), NoSession);
    EXPECT_EQ(folder, "unchanged");
    EXPECT_TRUE(testsupport::fileExists(from)) << "a local rename needs a session too";
}

TEST_F(SessionTest, RemotePrimitivesReportRefusalsAsTheirCallersExpect)
{
    startServer();
    serveFolder("exists");
    serveFile("old.txt", "data");
    openSession();

    EXPECT_EQ(MakeRemoteDir("exists"), 1);
    EXPECT_EQ(panel(0), "ﾌｫﾙﾀﾞは既に存在します。");
    EXPECT_EQ(MakeRemoteDir("made"), 1);
    EXPECT_TRUE(QDir(QString::fromStdString(server.rootPath("made"))).exists());
    EXPECT_EQ(RemoveRemoteDir("made"), 1);
    EXPECT_EQ(panel(0), "FtpRemoveDirectory");
    EXPECT_FALSE(QDir(QString::fromStdString(server.rootPath("made"))).exists());

    EXPECT_EQ(RenameRemote("old.txt", "new.txt"), 1);
    EXPECT_EQ(panel(0), "FtpRenameFile");
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("new.txt")), "data");

    // A refusal by the server: caption and code in panel 0, the server's text in a box.
    app.dialogs().expectContaining(testsupport::ScriptedDialogs::Kind::Message, QStringLiteral("550"));
    EXPECT_EQ(DeleteRemoteFile("missing.txt"), 0);
    EXPECT_EQ(panel(0), "FtpDeleteFile失敗: 12003\n ");
    EXPECT_EQ(DeleteRemoteFile("new.txt"), 1);
    EXPECT_FALSE(testsupport::fileExists(server.rootPath("new.txt")));

    // Names that would smuggle a second command are refused before the server sees them.
    app.dialogs().expectMessage(QStringLiteral("パラメーターが間違っています。"));
    EXPECT_EQ(DeleteRemoteFile("a\r\nDELE exists"), 0);
    EXPECT_FALSE(server.hasReceived("DELE exists"));
}

TEST_F(SessionTest, ARefusedFolderChangeReconnectsOnceAndDoesNotLoop)
{
    startServer();
    openSession();
    form->ComboCurrDir->setText(QStringLiteral("/"));
    server.clearLog();

    // The connection is alive and shows "/": the reconnect finds nothing to repair.
    app.dialogs().expectContaining(testsupport::ScriptedDialogs::Kind::Message, QStringLiteral("550"));
    EXPECT_EQ(SetRemoteDir("missing"), 1);
    EXPECT_EQ(panel(0), "FtpSetCurrentDirectory失敗: 12003\n ");
    EXPECT_EQ(countReceived("CWD missing"), 2);
    EXPECT_EQ(countReceived("USER"), 0);

    // The box names a folder that is not the server's: the reconnect logs in again
    // and its own failing change of folder does not start another one.
    form->ComboCurrDir->setText(QStringLiteral("/gone"));
    server.clearLog();
    app.dialogs().allowMessages();
    EXPECT_EQ(SetRemoteDir("missing"), 1);
    EXPECT_EQ(countReceived("USER"), 1);
    EXPECT_EQ(countReceived("CWD /gone"), 1);
    EXPECT_EQ(countReceived("CWD missing"), 2);
    EXPECT_TRUE(SessionOpen());
}

TEST_F(SessionTest, ADroppedConnectionIsRepairedOnTheNextFolderChange)
{
    startServer();
    serveFolder("sub");
    openSession();
    form->ComboCurrDir->setText(QStringLiteral("/"));
    ASSERT_TRUE(server.restart());
    server.clearLog();

    EXPECT_EQ(SetRemoteDir("sub"), 1);
    EXPECT_EQ(panel(0), "FtpSetCurrentDirectory");
    std::string folder;
    EXPECT_EQ(GetRemoteDir(folder), 1);
    EXPECT_EQ(folder, "/sub");
    EXPECT_EQ(countReceived("USER"), 1);
}

TEST_F(SessionTest, LocalPrimitivesFollowTheirOwnResultRules)
{
    testsupport::TempFolder local;
    const std::string full = local.filePath("full");
    ASSERT_EQ(MakeLocalDir(full), 1);
    EXPECT_EQ(MakeLocalDir(full), 1) << "an existing folder is not an error";
    ASSERT_TRUE(testsupport::writeFileBytes(full + "/f", "x"));

    EXPECT_EQ(RemoveLocalDir(local.filePath("none")), 1);
    form->StatusBar->setPanelText(0, {});
    EXPECT_EQ(RemoveLocalDir(full), 1);
    EXPECT_EQ(panel(0), "ﾌｫﾙﾀﾞが空でない: 145");
    EXPECT_EQ(DeleteLocalFile(full + "/f"), 1);
    EXPECT_EQ(DeleteLocalFile(full + "/f"), 1) << "a missing file is not reported";
    EXPECT_EQ(RemoveLocalDir(full), 1);
    EXPECT_EQ(panel(0), "RemoveDirectory");

    EXPECT_EQ(SetLocalDir(local.pathBytes()), 1);
    EXPECT_EQ(panel(0), "SetCurrentDirectory");
    app.dialogs().expectMessage(QStringLiteral("指定されたファイルが見つかりません。"));
    EXPECT_EQ(SetLocalDir(local.filePath("none")), 0);
    EXPECT_EQ(panel(0), "SetCurrentDirectory失敗: 2\n ");
}

TEST_F(SessionTest, ReportErrorShowsBoxesOnlyWhereTheSystemHasAText)
{
    ReportError(32, "FtpPutFile失敗");
    EXPECT_EQ(panel(0), "他のﾌﾟﾛｾｽがﾌｧｲﾙを使用中: 32");
    ReportError(145, "RemoveDirectory失敗");
    EXPECT_EQ(panel(0), "ﾌｫﾙﾀﾞが空でない: 145");
    for (uint32_t silent : {2100u, 2999u, (14u << 16) | 5u}) {
        ReportError(silent, "X失敗");
        EXPECT_EQ(panel(0), "X失敗: " + std::to_string(silent) + "\n ");
    }
    EXPECT_EQ(GetErrorText(2), "指定されたファイルが見つかりません。");
    EXPECT_EQ(GetErrorText(12014), "パスワードが正しくありません。");
    EXPECT_EQ(GetErrorText(2099), "");
    app.dialogs().expectMessage(QStringLiteral("指定されたパスが見つかりません。"));
    ReportError(3, "Y失敗");
    ShowStatus("line", 999);
    EXPECT_EQ(statusLine(), "line");
}

TEST_F(SessionTest, ListingsFillTheListsAndCountEveryEntry)
{
    startServer();
    serveFile("index.html", "<html>");
    serveFile("empty.txt", "");
    serveFolder("images");
    serveFile("docs/readme.txt", "r");
    openSession();

    ASSERT_EQ(RefreshRemoteList(), 1);
    EXPECT_EQ(rowNames(form->RemoteFileListV),
              (std::vector<std::string>{"docs", "empty.txt", "images", "index.html"}));
    EXPECT_EQ(form->RemoteFileCount, 2);
    EXPECT_EQ(form->RemoteDirCount, 2);
    for (int i = 0; i < form->RemoteFileListV->rowCount(); ++i) {
        const QTreeWidgetItem *row = form->RemoteFileListV->row(i);
        const bool folder = row->text(0) == QLatin1String("docs") || row->text(0) == QLatin1String("images");
        EXPECT_EQ(ui::ListView::imageIndex(row), folder ? ImageFolder : ImageFile);
        if (folder) {
            EXPECT_EQ(row->text(2), QStringLiteral("0"));
        }
    }

    EXPECT_EQ(ListRemoteForCompare(), 2) << "files only";
    EXPECT_EQ(RemoteExists("index.html"), 1);
    EXPECT_EQ(RemoteExists("nothing.html"), 0);
    EXPECT_EQ(RemoteExists("/docs"), 1);

    // An empty folder is not an error.
    ASSERT_EQ(SetRemoteDir("images"), 1);
    ASSERT_EQ(RefreshRemoteList(), 1);
    EXPECT_EQ(panel(0), "Directory is empty.");
    EXPECT_EQ(form->RemoteFileListV->rowCount(), 0);
    EXPECT_EQ(form->RemoteFileCount + form->RemoteDirCount, 0);
    EXPECT_EQ(ListRemoteForCompare(), 0);

    // A second listing on the same connection still works.
    ASSERT_EQ(SetRemoteDir(".."), 1);
    ASSERT_EQ(RefreshRemoteList(), 1);
    EXPECT_EQ(form->RemoteFileListV->rowCount(), 4);

    // Local: every entry but "." and "..", in any order.
    testsupport::TempFolder local;
    ASSERT_TRUE(testsupport::writeFileBytes(local.filePath("a.html"), "a"));
    ASSERT_TRUE(testsupport::writeFileBytes(local.filePath("zero"), ""));
    ASSERT_TRUE(QDir().mkpath(local.path() + QStringLiteral("/sub")));
    ASSERT_EQ(SetLocalDir(local.pathBytes()), 1);
    ASSERT_EQ(RefreshLocalList(), 1);
    EXPECT_EQ(rowNames(form->LocalFileListV), (std::vector<std::string>{"a.html", "sub", "zero"}));
    EXPECT_EQ(form->LocalFileCount, 2);
    EXPECT_EQ(form->LocalDirCount, 1);
}

TEST_F(SessionTest, RefusedListingsAndAVanishedLocalFolderAreReported)
{
    startServer(testsupport::ftpfault::refuse(QStringLiteral("MLSD"), QStringLiteral("550 Not now.")));
    serveFile("a.html", "a");
    openSession();
    app.dialogs().expectMessage(QStringLiteral("550 Not now."));
    EXPECT_EQ(RefreshRemoteList(), 1);
    EXPECT_EQ(panel(0), "FindFirst失敗: 12003\n ");
    EXPECT_EQ(form->RemoteFileListV->rowCount(), 0);
    ShowStatus("", 0);
    app.dialogs().expectMessage(QStringLiteral("550 Not now."));
    EXPECT_EQ(ListRemoteForCompare(), 0);
    EXPECT_EQ(panel(0), "FindFirst失敗: 12003\n ");

    testsupport::TempFolder local;
    const std::string gone = local.filePath("gone");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(gone)));
    ASSERT_TRUE(testsupport::writeFileBytes(gone + "/a.html", "a"));
    ASSERT_EQ(SetLocalDir(gone), 1);
    ASSERT_EQ(RefreshLocalList(), 1);
    ASSERT_TRUE(QDir(QString::fromStdString(gone)).removeRecursively());
    EXPECT_EQ(RefreshLocalList(), 0);
    EXPECT_EQ(panel(0), "No file found");
    EXPECT_EQ(form->LocalFileListV->rowCount(), 0);
    ASSERT_TRUE(platform::setCurrentDirectory(local.pathBytes()));
}

TEST_F(SessionTest, TheCompareListingHoldsTheFirst900FilesAndTheShownFolderIgnoresCase)
{
    startServer();
    for (int i = 0; i <= RemoteSnapshotSlots; ++i)
        serveFile("Docs/f" + std::to_string(i), "x");
    openSession();
    ASSERT_EQ(SetRemoteDir("Docs"), 1);
    EXPECT_EQ(ListRemoteForCompare(), RemoteSnapshotSlots);
    EXPECT_FALSE(form->RemoteSnapshot[RemoteSnapshotSlots - 1].Name.empty());

    std::string folder;
    form->ComboCurrDir->setText(QStringLiteral("/DOCS"));
    EXPECT_EQ(IsRemoteDirShown(folder), 1);
    EXPECT_EQ(folder, "/Docs");
    form->ComboCurrDir->setText(QStringLiteral("/Docs/f1"));
    EXPECT_EQ(IsRemoteDirShown(folder), 0);
}

TEST_F(SessionTest, HostileNamesAreSkippedAndReportedOnce)
{
    startServer(testsupport::ftpfault::extraName(QByteArray("../escape"))
                + testsupport::ftpfault::extraName(QByteArray("bad\x01name")));
    serveFile("good.txt", "g");
    openSession();
    ASSERT_EQ(RefreshRemoteList(), 1);
    EXPECT_EQ(rowNames(form->RemoteFileListV), (std::vector<std::string>{"good.txt"}));
    EXPECT_EQ(panel(0), "不正なﾌｧｲﾙ名を2件無視しました");
    EXPECT_EQ(ListRemoteForCompare(), 1);
    EXPECT_EQ(form->RemoteSnapshot[0].Name, "good.txt");
}

TEST_F(SessionTest, ByteCountsReachTheStatusLine)
{
    startServer();
    serveFile("big.bin", std::string(300000, 'b'));
    openSession();
    testsupport::TempFolder local;
    ASSERT_TRUE(FtpSession()->getFile("big.bin", local.filePath("big.bin"), platform::TransferType::Binary,
                                      ContextDownload));
    EXPECT_EQ(statusLine(), "300000ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了");

    // Upload counts only show while the transfer list holds two or more rows.
    ShowStatus("", 999);
    form->TransferList.TransferCount = 1;
    ASSERT_TRUE(FtpSession()->putFile(local.filePath("big.bin"), "up1.bin", platform::TransferType::Binary,
                                      ContextUpload));
    EXPECT_EQ(statusLine(), "");
    form->TransferList.TransferCount = 2;
    ASSERT_TRUE(FtpSession()->putFile(local.filePath("big.bin"), "up2.bin", platform::TransferType::Binary,
                                      ContextUpload));
    EXPECT_EQ(statusLine(), "300000ﾊﾞｲﾄ ｱｯﾌﾟﾛｰﾄﾞ完了");
    form->TransferList.TransferCount = 0;
}
