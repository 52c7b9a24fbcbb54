// SPDX-License-Identifier: GPL-3.0-or-later
// Making, renaming and deleting files and folders from the two lists' pop-up
// menus, links on the server, and downloads and deletes of whole trees with
// "ｻﾌﾞﾌｫﾙﾀﾞ含む", against a real server.
#include "app/windows/Upanddown.h"
#include "support/FtpServer.h"
#include "support/test_transfer_fixture.h"
#include "ui/ComboBox.h"
#include "ui/Memo.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <algorithm>
#include <set>
#include <unistd.h>
#include <utility>

using namespace transfertest;
using Kind = testsupport::ScriptedDialogs::Kind;

namespace {

const QString FolderPrompt = QStringLiteral("ﾌｫﾙﾀﾞ名を入力して下さい。");
const QString RenamePrompt = QStringLiteral("新しいﾌｧｲﾙ名に変更して下さい。");
const QString LocalDeleteQuestion = QStringLiteral("削除を実行してもいいですか？\n元には戻せません");
const QString RemoteDeleteQuestion =
    QStringLiteral("削除を実行してもいいですか？\n元には戻せません\n(※ｻﾌﾞﾌｫﾙﾀﾞは削除できません。)");
const QString DownloadQuestion =
    QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)");

QStringList memoLines(const ui::Memo *memo)
{
    QStringList lines;
    for (int i = 0; i < memo->lineCount(); ++i)
        lines << QString::fromStdString(memo->line(i));
    return lines;
}

} // namespace

TEST_F(TransferTest, MakeFolderOnBothSidesTakesTheNameAsTyped)
{
    ASSERT_NO_FATAL_FAILURE(connect());

    app.dialogs().expectInput(FolderPrompt, QStringLiteral("new dir"));
    form->MakeHDirClick();
    EXPECT_TRUE(servedExists("new dir"));
    EXPECT_GE(rowOf(form->RemoteFileListV, "new dir"), 0);
    // An existing folder is only a status text.
    app.dialogs().expectInput(FolderPrompt, QStringLiteral("new dir"));
    form->MakeHDirClick();
    EXPECT_EQ(panel(0), "ﾌｫﾙﾀﾞは既に存在します。");

    app.dialogs().expectInput(FolderPrompt, QStringLiteral("here"));
    form->MakeLDirClick();
    EXPECT_TRUE(localExists("here"));
    EXPECT_GE(rowOf(form->LocalFileListV, "here"), 0);

    // Blanks only, or a cancelled box: nothing is made, the lists are refreshed.
    server.clearLog();
    app.dialogs().expectInput(FolderPrompt, QStringLiteral("   "));
    form->MakeHDirClick();
    app.dialogs().expectInputCancelled(FolderPrompt);
    form->MakeHDirClick();
    EXPECT_EQ(countReceived("MKD"), 0);
    EXPECT_GE(countReceived("MLSD"), 2);
    app.dialogs().expectInput(FolderPrompt, QStringLiteral(" "));
    form->MakeLDirClick();
    EXPECT_EQ(testsupport::folderEntries(local->pathBytes()), std::vector<std::string>({"here"}));
}

TEST_F(TransferTest, RenameOnBothSidesNeedsExactlyOneRowAndANewName)
{
    serveFile("old.html", "r");
    serveFile("two.html", "2");
    writeLocal("mine.txt", "m");
    writeLocal("other.txt", "o");
    ASSERT_NO_FATAL_FAILURE(connect());

    // Two rows selected, or the same name given back: nothing happens.
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"old.html", "two.html"}));
    form->RemoteRenameClick();
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"old.html"}));
    app.dialogs().expectInput(RenamePrompt, QStringLiteral("old.html"));
    form->RemoteRenameClick();
    app.dialogs().expectInputCancelled(RenamePrompt);
    form->RemoteRenameClick();
    EXPECT_FALSE(server.hasReceived("RNFR"));

    // A trailing blank is part of the new name.
    app.dialogs().expectInput(RenamePrompt, QStringLiteral("new.html "));
    form->RemoteRenameClick();
    EXPECT_TRUE(servedExists("new.html "));
    EXPECT_FALSE(servedExists("old.html"));
    EXPECT_GE(rowOf(form->RemoteFileListV, "new.html "), 0);

    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"mine.txt"}));
    app.dialogs().expectInput(RenamePrompt, QStringLiteral("renamed.txt"));
    form->LocalRenameClick();
    EXPECT_EQ(testsupport::readFileBytes(localPath("renamed.txt")), "m");
    EXPECT_FALSE(localExists("mine.txt"));
    EXPECT_GE(rowOf(form->LocalFileListV, "renamed.txt"), 0);
    // A rename over an existing file is refused and reported; nothing is lost.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"renamed.txt"}));
    app.dialogs().expectInput(RenamePrompt, QStringLiteral("other.txt"));
    app.dialogs().expect(Kind::Message);
    form->LocalRenameClick();
    EXPECT_EQ(panel(0).rfind("RenameFile失敗: 183", 0), 0u) << panel(0);
    EXPECT_EQ(testsupport::readFileBytes(localPath("other.txt")), "o");
}

TEST_F(TransferTest, LocalDeleteRemovesFilesThenFoldersDeepestFirst)
{
    writeLocal("sel/a/b/file.txt", "f");
    writeLocal("sel/top.txt", "t");
    writeLocal("loose.txt", "l");
    writeLocal("stay.txt", "s");
    ASSERT_NO_FATAL_FAILURE(connect());

    // The collection records every folder after its parent.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"sel"}));
    EXPECT_EQ(form->BuildTransferList(LocalSide, 999), 2);
    EXPECT_EQ(memoLines(form->MemoDir), QStringList({"sel", "sel/a", "sel/a/b"}));
    form->MemoDir->clearLines();

    // Answering No changes nothing.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"sel", "loose.txt"}));
    app.dialogs().expectConfirm(LocalDeleteQuestion, false);
    form->LocalDeleteClick();
    EXPECT_TRUE(localExists("loose.txt"));

    form->UploadMode = 1;
    app.dialogs().expectConfirm(LocalDeleteQuestion, true);
    form->LocalDeleteClick();
    EXPECT_FALSE(localExists("sel"));
    EXPECT_FALSE(localExists("loose.txt"));
    EXPECT_TRUE(localExists("stay.txt"));
    // Any failed removal (a parent before its child) would have been reported.
    EXPECT_EQ(panel(0), "RemoveDirectory");
    EXPECT_EQ(form->MemoDir->lineCount(), 0);
    EXPECT_EQ(form->LocalFileListV->selectedCount(), 0);
    EXPECT_EQ(rowOf(form->LocalFileListV, "sel"), -1);
    // A local delete always ends the automatic upload.
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_EQ(form->TransferList.TransferCount, 0);
}

TEST_F(TransferTest, ACancelledDeleteLeavesNoRecordForTheNextOne)
{
    for (const char *name : {"keep/f1", "keep/f2", "keep/f3"})
        writeLocal(name, "k");
    ASSERT_NO_FATAL_FAILURE(makeLocalFolder("keep/sub"));
    writeLocal("other/o.txt", "o");
    ASSERT_NO_FATAL_FAILURE(makeLocalFolder("empty"));
    ASSERT_NO_FATAL_FAILURE(connect());

    // Cancel from the window's menu while the first file is deleted.
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [](const QString &title) {
        if (title == QStringLiteral("削除 (1/3)"))
            UpDownLoadForm->N1->trigger();
    });
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"keep"}));
    app.dialogs().expectConfirm(LocalDeleteQuestion, true);
    app.dialogs().expectMessage(QStringLiteral("処理を中断しました。"));
    form->LocalDeleteClick();
    EXPECT_EQ(testsupport::folderEntries(localPath("keep")).size(), 3u) << "two files and sub stay";
    EXPECT_TRUE(localExists("keep/sub"));
    EXPECT_EQ(form->MemoDir->lineCount(), 0);
    EXPECT_TRUE(form->CancelRequested);

    // The next delete removes its own folders only, although the last run was
    // cancelled: the empty folder goes, the recorded keep/sub stays.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"empty"}));
    app.dialogs().expectConfirm(LocalDeleteQuestion, true);
    form->LocalDeleteClick();
    EXPECT_FALSE(localExists("empty"));
    EXPECT_TRUE(localExists("keep/sub"));

    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"other"}));
    app.dialogs().expectConfirm(LocalDeleteQuestion, true);
    form->LocalDeleteClick();
    EXPECT_FALSE(localExists("other"));
    EXPECT_TRUE(localExists("keep/sub"));
    EXPECT_FALSE(form->CancelRequested);
}

TEST_F(TransferTest, RemoteDeleteTakesTheFilesOfAFolderAndReportsARefusedRemoval)
{
    serveFile("rdir/f1", "1");
    serveFile("rdir/f2", "2");
    serveFile("rdir/sub/x", "x");
    serveFile("loose.txt", "l");
    serveFile("stay.txt", "s");
    ASSERT_NO_FATAL_FAILURE(connect());

    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"loose.txt"}));
    app.dialogs().expectConfirm(RemoteDeleteQuestion, false);
    form->RemoteDeleteClick();
    EXPECT_TRUE(servedExists("loose.txt"));

    // Only files: the progress window deletes them and no folder step runs.
    server.clearLog();
    app.dialogs().expectConfirm(RemoteDeleteQuestion, true);
    form->RemoteDeleteClick();
    EXPECT_FALSE(servedExists("loose.txt"));
    EXPECT_EQ(countReceived("DELE "), 1);
    EXPECT_EQ(countReceived("RMD "), 0);
    EXPECT_EQ(form->RemoteFileListV->selectedCount(), 0);
    EXPECT_EQ(rowOf(form->RemoteFileListV, "loose.txt"), -1);

    // A folder with a sub-folder: its own files go, the server refuses the removal.
    server.clearLog();
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"rdir"}));
    app.dialogs().expectConfirm(RemoteDeleteQuestion, true);
    app.dialogs().expect(Kind::Message); // the server's reply text
    form->RemoteDeleteClick();
    EXPECT_EQ(panel(0).rfind("FtpRemoveDirectory失敗: ", 0), 0u) << panel(0);
    EXPECT_EQ(countReceived("DELE "), 2);
    EXPECT_EQ(countReceived("RMD "), 1);
    EXPECT_FALSE(servedExists("rdir/f1") || servedExists("rdir/f2"));
    EXPECT_EQ(served("rdir/sub/x"), "x");
    EXPECT_TRUE(servedExists("stay.txt"));
    EXPECT_EQ(form->TransferList.TransferCount, 0);
    EXPECT_EQ(UpDownLoadForm->Tag, 0);
}

// Links on the server, as a LIST answer shows them: each is a folder row. One
// that leads to a folder is entered; one that leads to a file is refused
// without a message, is a file row from then on and downloads as a file, as
// does one not tried yet; deleting a link removes the link, never what it
// leads to.
TEST_F(TransferTest, ServerLinksAreFoldersToTryAndFilesWhereRefused)
{
    serveFile("site/page.html", "page");
    const std::pair<const char *, const char *> links[] = {
        {"www", "site"}, {"latest.html", "site/page.html"}, {"other.html", "site/page.html"}};
    for (const auto &[link, target] : links)
        ASSERT_EQ(::symlink(target, server.rootPath(link).c_str()), 0) << link;
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::noMlsd()));
    auto image = [&](const char *name) {
        const int row = rowOf(form->RemoteFileListV, name);
        return row < 0 ? -1 : ui::ListView::imageIndex(form->RemoteFileListV->row(row));
    };
    auto remoteDir = [&] { return ui::fromQ(form->ComboCurrDir->text()); };

    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"www"}));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(remoteDir(), "/www");
    EXPECT_EQ(image("page.html"), ImageFile);
    form->UpDirectoryExecute();
    ASSERT_EQ(remoteDir(), "/");

    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"latest.html"}));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(remoteDir(), "/");
    EXPECT_EQ(panel(0), "ﾌｧｲﾙへのﾘﾝｸ: latest.html");
    showRemote();
    EXPECT_EQ(image("latest.html"), ImageFile);
    EXPECT_EQ(image("www"), ImageFolder);
    EXPECT_EQ(image("other.html"), ImageFolder);

    for (const char *name : {"latest.html", "other.html"}) {
        ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {name}));
        app.dialogs().expectConfirm(DownloadQuestion, true);
        form->DounloadExecute();
        EXPECT_EQ(testsupport::readFileBytes(localPath(name)), "page") << name;
        EXPECT_EQ(remoteDir(), "/");
    }

    server.clearLog();
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"www"}));
    app.dialogs().expectConfirm(RemoteDeleteQuestion, true);
    form->RemoteDeleteClick();
    EXPECT_FALSE(QFileInfo(QString::fromStdString(server.rootPath("www"))).isSymLink());
    EXPECT_EQ(served("site/page.html"), "page");
    EXPECT_EQ(countReceived("RMD "), 0);
    EXPECT_EQ(rowOf(form->RemoteFileListV, "www"), -1);
}

// With "ｻﾌﾞﾌｫﾙﾀﾞ含む" a download and a remote delete cover the whole tree, each
// folder listed once, and their questions leave out the sub-folder warning.
TEST_F(TransferTest, WithSubFoldersOnADownloadAndARemoteDeleteCoverTheWholeTree)
{
    serveFile("tree/a.txt", "a");
    serveFile("tree/l1/b.txt", "b");
    serveFile("tree/l1/l2/c.txt", "c");
    serveFolder("tree/l1/l2/empty");
    serveFile("other.txt", "o");
    ASSERT_NO_FATAL_FAILURE(connect());
    form->CheckSubFolders->setChecked(true);

    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"tree"}));
    server.clearLog();
    app.dialogs().expectConfirm(QStringLiteral("ダウンロードを実行しますか？"), true);
    form->DounloadExecute();
    EXPECT_EQ(testsupport::readFileBytes(localPath("tree/a.txt")), "a");
    EXPECT_EQ(testsupport::readFileBytes(localPath("tree/l1/b.txt")), "b");
    EXPECT_EQ(testsupport::readFileBytes(localPath("tree/l1/l2/c.txt")), "c");
    EXPECT_TRUE(localExists("tree/l1/l2/empty"));
    EXPECT_EQ(countReceived("RETR "), 3);
    QByteArrayList listed;
    for (const QByteArray &line : server.receivedCommands())
        if (line.startsWith("MLSD ") || line.startsWith("LIST "))
            listed << line.mid(5);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (QByteArrayList{"tree", "tree/l1", "tree/l1/l2", "tree/l1/l2/empty"})) << "each once";

    server.clearLog();
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"tree"}));
    app.dialogs().expectConfirm(LocalDeleteQuestion, true);
    form->RemoteDeleteClick();
    EXPECT_FALSE(servedExists("tree"));
    EXPECT_TRUE(servedExists("other.txt"));
    EXPECT_EQ(countReceived("DELE "), 3);
    EXPECT_EQ(countReceived("RMD "), 4);
    EXPECT_EQ(memoLines(form->MemoDir), QStringList{});
}
