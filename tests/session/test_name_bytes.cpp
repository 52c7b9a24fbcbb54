// SPDX-License-Identifier: GPL-3.0-or-later
// Names that are not UTF-8 (Shift-JIS bytes from a legacy server or on the local
// disk) keep their exact bytes through every row, box and operation; names the
// user types are encoded for the session, and names crossing between a legacy
// server and the local disk are UTF-8 locally and the server's bytes there.
#include "app/session/SessionEncoding.h"
#include "support/test_transfer_fixture.h"
#include "ui/ComboBox.h"
#include "ui/Edit.h"

using namespace transfertest;
using Kind = testsupport::ScriptedDialogs::Kind;

namespace {

// Shift-JIS bytes of ソフト.txt (0x5C inside ソ), 日本, 表.txt (0x5C again), 新.txt
// and テスト.html.
const std::string Soft = "\x83\x5C\x83\x74\x83\x67.txt";
const std::string Japan = "\x93\xFA\x96\x7B";
const std::string Table = "\x95\x5C.txt";
const std::string Fresh = "\x90\x56.txt";
const std::string Page = "\x83\x65\x83\x58\x83\x67.html";

QByteArray raw(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes);
}

// Rows are found as the user finds them: by the shown name.
std::string shown(const std::string &bytes)
{
    return ui::displayText(bytes);
}

std::string currentFolder()
{
    std::string folder;
    platform::currentDirectory(folder);
    return folder;
}

} // namespace

TEST(SessionEncodingTest, ListedLegacyNamesMakeTypedNamesCp932UnlessTheServerAnnouncedUtf8)
{
    SessionEncoding session;
    session.Connected("host\nuser", false);
    session.NoteListedName("plain.txt");
    session.NoteListedName("日本.txt");
    EXPECT_EQ(session.Encoding(), ui::NameEncoding::Utf8);
    session.NoteListedName(Soft);
    EXPECT_EQ(session.Encoding(), ui::NameEncoding::Cp932);
    // A reconnect to the same account keeps what was learnt; FEAT UTF8 decides
    // alone; another account starts afresh.
    session.Connected("host\nuser", false);
    EXPECT_EQ(session.Encoding(), ui::NameEncoding::Cp932);
    session.Connected("host\nuser", true);
    EXPECT_EQ(session.Encoding(), ui::NameEncoding::Utf8);
    session.Connected("other\nuser", false);
    EXPECT_EQ(session.Encoding(), ui::NameEncoding::Utf8);

    // Typed names for a legacy server: CP932 bytes (its NEC and half-width
    // characters included), or refused when a character has no CP932 form.
    std::string bytes;
    ASSERT_TRUE(ui::encodeName(QStringLiteral("ソフト.txt"), ui::NameEncoding::Cp932, bytes));
    EXPECT_EQ(bytes, Soft);
    ASSERT_TRUE(ui::encodeName(QStringLiteral("①ｶﾅ～"), ui::NameEncoding::Cp932, bytes));
    EXPECT_EQ(bytes, "\x87\x40\xB6\xC5\x81\x60");
    EXPECT_FALSE(ui::encodeName(QStringLiteral("café"), ui::NameEncoding::Cp932, bytes));
    EXPECT_FALSE(ui::encodeName(QStringLiteral("😀"), ui::NameEncoding::Cp932, bytes));
    EXPECT_EQ(bytes, "\x87\x40\xB6\xC5\x81\x60") << "untouched by a refusal";
    ASSERT_TRUE(ui::encodeName(QStringLiteral("café😀"), ui::NameEncoding::Utf8, bytes));
    EXPECT_EQ(bytes, "café😀");
    EXPECT_EQ(ui::displayText(Soft), "ソフト.txt");

    // Names crossing to the local disk and back, part by part: what has no form
    // on the other side keeps its bytes.
    struct Crossing {
        std::string server, local;
    };
    const Crossing crossings[] = {
        {Japan + "/" + Soft, "日本/ソフト.txt"}, {"plain/" + Table, "plain/表.txt"},
        {"caf\xC3\xA9.txt", "café.txt"},  // UTF-8 on the server stays (no CP932 é)
        {"\xFF\xFE.txt", "\xFF\xFE.txt"}, // neither encoding
        {"\xED\x40.txt", "\xED\x40.txt"}, // a character with two CP932 forms: this one no way back
    };
    session.Connected("legacy\nuser", false);
    session.FolderListingStarted();
    session.NoteListedName(Soft);
    ASSERT_EQ(session.Encoding(), ui::NameEncoding::Cp932);
    for (const Crossing &c : crossings) {
        EXPECT_EQ(session.LocalNameFor(c.server), c.local) << shown(c.server);
        EXPECT_EQ(session.ServerNameFor(c.local), c.server) << c.local;
    }
    EXPECT_EQ(session.ServerNameFor(Soft), Soft) << "a local Shift-JIS name goes as it is";
    EXPECT_EQ(session.ServerNameFor("😀/" + std::string("新.txt")), "😀/" + Fresh);

    // FEAT UTF8 (and no CP932 name in the folder listed): nothing is converted.
    session.Connected("legacy\nuser", true);
    EXPECT_EQ(session.Encoding(), ui::NameEncoding::Utf8);
    EXPECT_EQ(session.ServerNameFor("表.txt"), "表.txt");
    EXPECT_EQ(session.LocalNameFor(Table), Table);
}

TEST_F(TransferTest, EveryOperationOnALegacyServerSendsTheNamesExactBytes)
{
    serveFile(Soft, "old");
    ASSERT_TRUE(platform::makeDirectory(server.rootPath(Japan)));
    serveFile(Japan + "/" + Table, "t");
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::noUtf8()));
    EXPECT_EQ(RemoteNameEncoding(), ui::NameEncoding::Cp932);
    ASSERT_GE(rowOf(form->RemoteFileListV, shown(Soft)), 0);
    EXPECT_EQ(form->RemoteFileListV->row(rowOf(form->RemoteFileListV, shown(Soft)))->text(0),
              QStringLiteral("ソフト.txt"));

    // Download the file and the folder: on the local disk their names are
    // UTF-8. Then upload a change over the file, by hand and by the watch:
    // it goes back under the server's bytes.
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {shown(Soft), shown(Japan)}));
    app.dialogs().expectConfirm(
        QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)"), true);
    form->DounloadExecute();
    EXPECT_TRUE(server.hasReceived("RETR " + raw(Soft)));
    EXPECT_TRUE(server.hasReceived("RETR " + raw(Japan + "/" + Table)));
    EXPECT_EQ(testsupport::readFileBytes(localPath("ソフト.txt")), "old");
    EXPECT_EQ(testsupport::readFileBytes(localPath("日本/表.txt")), "t");
    EXPECT_EQ(testsupport::folderEntries(local->pathBytes()).size(), 2u)
        << "nothing under the server's bytes";
    ASSERT_TRUE(testsupport::writeFileBytes(localPath("ソフト.txt"), "new"));
    showLocal();
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {shown(Soft)}));
    form->UploadExecute();
    EXPECT_TRUE(server.hasReceived("STOR " + raw(Soft)));
    EXPECT_EQ(served(Soft), "new");
    ASSERT_NO_FATAL_FAILURE(enterWatch());
    server.clearLog();
    ASSERT_TRUE(testsupport::writeFileBytes(localPath("ソフト.txt"), "newer"));
    form->TimerDemonTimer();
    EXPECT_EQ(countReceived("STOR " + raw(Soft)), 1);
    EXPECT_EQ(served(Soft), "newer");
    form->StopAutomation();
    EXPECT_FALSE(servedExists("ソフト.txt"));

    // Into the folder; a reconnect there (with text typed into the box and not
    // picked) returns to it, and the upload lands in it.
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {shown(Japan)}));
    form->RemoteFileListVDblClick();
    EXPECT_TRUE(server.hasReceived("CWD " + raw(Japan)));
    EXPECT_EQ(form->ComboCurrDir->textBytes(), "/" + Japan);
    EXPECT_EQ(form->ComboCurrDir->text(), QStringLiteral("/日本"));
    EXPECT_GE(rowOf(form->RemoteFileListV, shown(Table)), 0);
    form->ComboCurrDir->setEditText(QStringLiteral("/typed"));
    ASSERT_TRUE(server.restart());
    server.clearLog();
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {shown(Soft)}));
    form->UploadExecute();
    EXPECT_EQ(countReceived("USER"), 1);
    EXPECT_TRUE(server.hasReceived("CWD /" + raw(Japan)));
    EXPECT_FALSE(server.hasReceived("CWD /typed"));
    EXPECT_EQ(served(Japan + "/" + Soft), "newer");

    // Rename to a typed name (sent as CP932); a name CP932 cannot hold is refused
    // unsent; delete.
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {shown(Table)}));
    app.dialogs().expectInput(QStringLiteral("新しいﾌｧｲﾙ名に変更して下さい。"), QStringLiteral("新.txt"));
    form->RemoteRenameClick();
    EXPECT_TRUE(server.hasReceived("RNFR " + raw(Table)));
    EXPECT_TRUE(server.hasReceived("RNTO " + raw(Fresh)));
    EXPECT_EQ(served(Japan + "/" + Fresh), "t");
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {shown(Fresh)}));
    app.dialogs().expectInput(QStringLiteral("新しいﾌｧｲﾙ名に変更して下さい。"), QStringLiteral("😀.txt"));
    app.dialogs().expectContaining(Kind::Message, QStringLiteral("Shift_JIS"));
    form->RemoteRenameClick();
    EXPECT_EQ(countReceived("RNFR"), 1);
    app.dialogs().expectConfirm(
        QStringLiteral("削除を実行してもいいですか？\n元には戻せません\n(※ｻﾌﾞﾌｫﾙﾀﾞは削除できません。)"),
        true);
    form->RemoteDeleteClick();
    EXPECT_TRUE(server.hasReceived("DELE " + raw(Fresh)));
    EXPECT_FALSE(testsupport::fileExists(server.rootPath(Japan + "/" + Fresh)));

    // Out and in again; the account remembers the folder's bytes and the next
    // connect returns to it.
    form->UpDirectoryExecute();
    EXPECT_EQ(form->ComboCurrDir->textBytes(), "/");
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {shown(Japan)}));
    form->RemoteFileListVDblClick();
    form->DisconnectActionExecute();
    ::HostList stored;
    ASSERT_TRUE(LoadHostListFile(stored, app.hostListPath(), false));
    EXPECT_EQ(stored[0].RemoteDir(), "/" + Japan);
    server.clearLog();
    form->ConnectActionExecute();
    EXPECT_TRUE(server.hasReceived("CWD /" + raw(Japan)));
    EXPECT_EQ(form->ComboCurrDir->textBytes(), "/" + Japan);
}

TEST_F(TransferTest, AFolderListingCp932NamesGetsCp932NamesThoughFeatAnnouncedUtf8)
{
    serveFile(Table, "t");
    serveFile("utf/plain.txt", "p");
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(RemoteNameEncoding(), ui::NameEncoding::Cp932);

    // Rename and make a folder among the CP932 names: CP932 is sent.
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {shown(Table)}));
    app.dialogs().expectInput(QStringLiteral("新しいﾌｧｲﾙ名に変更して下さい。"), QStringLiteral("新.txt"));
    form->RemoteRenameClick();
    EXPECT_TRUE(server.hasReceived("RNTO " + raw(Fresh)));
    EXPECT_EQ(served(Fresh), "t");
    app.dialogs().expectInput(QStringLiteral("ﾌｫﾙﾀﾞ名を入力して下さい。"), QStringLiteral("日本"));
    form->MakeHDirClick();
    EXPECT_TRUE(server.hasReceived("MKD " + raw(Japan)));

    // A folder of UTF-8 names keeps the announced UTF-8.
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"utf"}));
    form->RemoteFileListVDblClick();
    EXPECT_EQ(RemoteNameEncoding(), ui::NameEncoding::Utf8);
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"plain.txt"}));
    app.dialogs().expectInput(QStringLiteral("新しいﾌｧｲﾙ名に変更して下さい。"), QStringLiteral("新.txt"));
    form->RemoteRenameClick();
    EXPECT_TRUE(server.hasReceived("RNTO 新.txt"));
    EXPECT_EQ(served("utf/新.txt"), "p");
}

TEST_F(TransferTest, LocalShiftJisNamesAreUploadedEnteredWatchedAndDeleted)
{
    ASSERT_TRUE(testsupport::writeFileBytes(localPath(Page), "page"));
    ASSERT_TRUE(platform::makeDirectory(localPath(Japan)));
    ASSERT_TRUE(testsupport::writeFileBytes(localPath(Japan + "/" + Table), "t"));
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(form->LocalFileListV->row(rowOf(form->LocalFileListV, shown(Page)))->text(0),
              QStringLiteral("テスト.html"));

    // Enter the folder, enter it again from the path edit, leave it and come back
    // from the history.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {shown(Japan)}));
    form->LocalFileListVDblClick();
    EXPECT_EQ(currentFolder(), localPath(Japan));
    EXPECT_EQ(form->ComboLocalDir->textBytes(), localPath(Japan));
    EXPECT_GE(rowOf(form->LocalFileListV, shown(Table)), 0);
    form->UpLDirectoryExecute();
    form->DirEdit->setTextBytes(localPath(Japan));
    form->DirEditKeyPress();
    EXPECT_EQ(currentFolder(), localPath(Japan));
    form->UpLDirectoryExecute();
    form->ComboLocalDir->setCurrentIndex(form->ComboLocalDir->findItemBytes(localPath(Japan)));
    emit form->ComboLocalDir->activated(form->ComboLocalDir->currentIndex());
    EXPECT_EQ(currentFolder(), localPath(Japan));
    form->UpLDirectoryExecute();

    // Upload the folder; then the watch's missing-file pass sends the file once.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {shown(Japan)}));
    form->UploadExecute();
    EXPECT_EQ(served(Japan + "/" + Table), "t");
    ASSERT_NO_FATAL_FAILURE(enterWatch());
    form->TimerDemonTimer();
    form->TimerDemonTimer();
    EXPECT_EQ(countReceived("STOR " + raw(Page)), 1);
    EXPECT_EQ(served(Page), "page");
    form->StopAutomation();

    // Delete the file and the folder with its file.
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {shown(Page), shown(Japan)}));
    app.dialogs().expectConfirm(QStringLiteral("削除を実行してもいいですか？\n元には戻せません"), true);
    form->LocalDeleteClick();
    EXPECT_EQ(testsupport::folderEntries(local->pathBytes()), std::vector<std::string>());
}
