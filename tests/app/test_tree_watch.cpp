// SPDX-License-Identifier: GPL-3.0-or-later
// The watch over the whole local tree ("ｻﾌﾞﾌｫﾙﾀﾞ含む") against a real server,
// time compressed: remote folders on the way, index pages last, ignore rules,
// changes made by other programs, the watch limit, and the flat watch with the
// box off.
#include "app/MainForm.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Upanddown.h"
#include "platform/LocalFiles.h"
#include "support/SessionFixture.h"
#include "support/TestUtil.h"
#include "ui/Clock.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"

#include <QCheckBox>
#include <QDir>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::SessionTest;

namespace {

class TreeWatchTest : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        ui::Clock::setScale(0.01);
        ASSERT_TRUE(QDir().mkpath(local.path()));
        ASSERT_TRUE(platform::setCurrentDirectory(local.pathBytes()));
    }
    void TearDown() override
    {
        endAutomation();
        SessionTest::TearDown();
    }
    // Files are stamped a while ago, each with a time of its own: the watch
    // reads a folder again on every tick while it holds a file written within
    // the last two seconds, which would hide what a test looks for.
    void writeFile(const std::string &full, const std::string &data)
    {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(full.substr(0, full.rfind('/')))));
        ASSERT_TRUE(testsupport::writeFileBytes(full, data));
        const struct timespec times[2] = {{std::time(nullptr) - 100, ++m_stamp * 1000},
                                          {std::time(nullptr) - 100, m_stamp * 1000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, full.c_str(), times, 0), 0);
    }
    void writeLocal(const std::string &path, const std::string &data)
    {
        writeFile(local.filePath(path), data);
    }
    void connectAndWatch(bool tree, const std::vector<std::pair<std::string, std::string>> &served,
                         bool threaded = false)
    {
        startServer();
        for (const auto &[path, data] : served)
            serveFile(path, data);
        form->ConnectActionExecute();
        ASSERT_TRUE(form->Connected) << panel(0);
        form->CheckSubFolders->setChecked(tree);
        form->CheckUseThread->setChecked(threaded);
        ASSERT_NO_FATAL_FAILURE(enterWatch());
        EXPECT_FALSE(form->CheckSubFolders->isEnabled()) << "locked while watching";
    }
    std::string onServer(const std::string &path)
    {
        return testsupport::readFileBytes(server.rootPath(path));
    }
    QByteArrayList commands(const QByteArray &prefix)
    {
        QByteArrayList lines;
        for (const QByteArray &line : server.receivedCommands())
            if (line.startsWith(prefix))
                lines << line;
        return lines;
    }

    testsupport::TempFolder local;
    long m_stamp = 0;
};

} // namespace

TEST_F(TreeWatchTest, SavesDeepInTheTreeGoUpIntoTheirFoldersIndexPagesLast)
{
    const std::vector<std::pair<std::string, std::string>> site = {
        {"index.html", "home"},           {"css/style.css", "body{}"},        {"blog/index.html", "blog"},
        {"blog/2026/index.html", "year"}, {"blog/2026/12/post.html", "post"},
    };
    for (const auto &[path, data] : site)
        writeLocal(path, data);
    // An index page named in another case on disk goes up as index.html.
    ASSERT_EQ(std::rename(local.filePath("blog/2026/index.html").c_str(),
                          local.filePath("blog/2026/Index.HTML").c_str()),
              0);
    writeLocal("blog/2026/12/draft.html", "draft");
    // The server has all but the draft: the first tick's missing-file pass sends it.
    connectAndWatch(true, site);
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(onServer("blog/2026/12/draft.html"), "draft");
    EXPECT_EQ(commands("STOR").size(), 1) << commands("STOR").join(' ').toStdString();
    EXPECT_TRUE(commands("MKD").isEmpty()) << "the folders were listed";

    // An idle tick reads no folder and sends nothing.
    server.clearLog();
    const int scans = form->FolderScanCount;
    form->TimerDemonTimer();
    EXPECT_TRUE(server.receivedCommands().isEmpty());
    EXPECT_EQ(form->FolderScanCount, scans);

    // A save three folders deep, and a new folder with files in a new folder.
    writeLocal("blog/2026/12/post.html", "post, edited");
    writeLocal("img/new/a.png", "png a");
    writeLocal("img/new/b.png", "png b");
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(onServer("blog/2026/12/post.html"), "post, edited");
    EXPECT_EQ(onServer("img/new/a.png"), "png a");
    EXPECT_EQ(onServer("img/new/b.png"), "png b");
    EXPECT_EQ(commands("MKD"), QByteArrayList({"MKD img", "MKD img/new"}));
    EXPECT_EQ(commands("STOR").size(), 3);
    EXPECT_EQ(panel(3), "Detect 3");

    // Index pages of several folders go after every other file, deepest first;
    // a later file in the new folder makes no MKD again.
    writeLocal("index.html", "home 2");
    writeLocal("blog/index.html", "blog 2");
    writeLocal("blog/2026/Index.HTML", "year 2");
    writeLocal("css/style.css", "body{color:red}");
    writeLocal("img/new/c.png", "png c");
    server.clearLog();
    form->TimerDemonTimer();
    const QByteArrayList stores = commands("STOR");
    ASSERT_EQ(stores.size(), 5) << stores.join(' ').toStdString();
    EXPECT_EQ(stores.mid(2),
              QByteArrayList({"STOR blog/2026/index.html", "STOR blog/index.html", "STOR index.html"}));
    EXPECT_EQ(onServer("blog/2026/index.html"), "year 2");
    EXPECT_EQ(onServer("css/style.css"), "body{color:red}");
    EXPECT_TRUE(commands("MKD").isEmpty());
}

TEST_F(TreeWatchTest, IgnoreRulesBuiltInAndFromTheIgnoreFile)
{
    writeLocal("index.html", "home");
    writeLocal(".vexmoraignore", "# site rules\ndrafts/\n*.bak\n!keep.bak\n");
    connectAndWatch(true, {{"index.html", "home"}});
    form->TimerDemonTimer();
    server.clearLog();

    writeLocal(".git/HEAD", "ref");
    writeLocal("css/.style.css.swp", "swap");
    writeLocal("css/style.css~", "backup");
    writeLocal("css/4913", "");
    writeLocal("img/.DS_Store", "x");
    writeLocal("drafts/next.html", "draft");
    writeLocal("old.bak", "old");
    writeLocal("css/keep.bak", "keep");
    writeLocal("css/style.css", "body{}");
    // Links to folders of the tree are not followed a second time.
    ASSERT_EQ(::symlink(".", local.filePath("css/self").c_str()), 0);
    ASSERT_EQ(::symlink("css", local.filePath("mirror").c_str()), 0);
    form->TimerDemonTimer();
    QByteArrayList stores = commands("STOR");
    std::sort(stores.begin(), stores.end());
    EXPECT_EQ(stores, QByteArrayList({"STOR css/keep.bak", "STOR css/style.css"}));

    // A change of the ignore file counts at the next tick; the file itself never goes up.
    writeLocal(".vexmoraignore", "drafts/\n");
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(commands("STOR"), QByteArrayList({"STOR old.bak"}));
    EXPECT_FALSE(testsupport::fileExists(server.rootPath(".vexmoraignore")));

    // An ignore file that cannot be read is reported once; the built-in rules hold.
    ASSERT_EQ(::unlink(local.filePath(".vexmoraignore").c_str()), 0);
    ASSERT_EQ(::mkdir(local.filePath(".vexmoraignore").c_str(), 0700), 0);
    app.dialogs().expectContaining(testsupport::ScriptedDialogs::Kind::Message,
                                   QStringLiteral(".vexmoraignore"));
    writeLocal("css/other.swp", "swap");
    server.clearLog();
    form->TimerDemonTimer();
    form->TimerDemonTimer();
    app.dialogs().verifyAllMet();
    EXPECT_EQ(commands("STOR"), QByteArrayList({"STOR drafts/next.html"}));
    EXPECT_EQ(app.dialogs().messages().size(), 1);
}

TEST_F(TreeWatchTest, RenameSavesCopiesAndFoldersMovedInArriveInOneTick)
{
    writeLocal("index.html", "home");
    writeLocal("css/style.css", "old style");
    writeLocal("docs/readme.txt", "readme");
    connectAndWatch(true,
                    {{"index.html", "home"}, {"css/style.css", "old style"}, {"docs/readme.txt", "readme"}});
    form->TimerDemonTimer();
    server.clearLog();

    // An editor's rename-save, 30 files copied into a folder, and a folder of 20
    // files (with a sub-folder) made elsewhere and moved into the tree.
    writeLocal("css/style.css.tmp123", "new style");
    ASSERT_EQ(
        std::rename(local.filePath("css/style.css.tmp123").c_str(), local.filePath("css/style.css").c_str()),
        0);
    for (int i = 0; i < 30; ++i)
        writeLocal("docs/page" + std::to_string(i) + ".txt", "page " + std::to_string(i));
    testsupport::TempFolder elsewhere;
    for (int i = 0; i < 20; ++i) {
        writeFile(elsewhere.filePath("vendor/" + std::string(i < 10 ? "" : "sub/") + "lib" + std::to_string(i)
                                     + ".js"),
                  "lib " + std::to_string(i));
    }
    ASSERT_EQ(std::rename(elsewhere.filePath("vendor").c_str(), local.filePath("vendor").c_str()), 0);
    form->TimerDemonTimer();
    EXPECT_EQ(onServer("css/style.css"), "new style");
    EXPECT_FALSE(testsupport::fileExists(server.rootPath("css/style.css.tmp123")));
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(onServer("docs/page" + std::to_string(i) + ".txt"), "page " + std::to_string(i));
    EXPECT_EQ(onServer("vendor/lib3.js"), "lib 3");
    EXPECT_EQ(onServer("vendor/sub/lib17.js"), "lib 17");
    EXPECT_EQ(commands("STOR").size(), 51);

    // The moved-in folders are watched from now on; a change reads its folder only.
    const int scans = form->FolderScanCount;
    writeLocal("vendor/sub/late.js", "late");
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(onServer("vendor/sub/late.js"), "late");
    EXPECT_EQ(commands("STOR").size(), 1);
    EXPECT_LE(form->FolderScanCount - scans, 4) << "not the whole tree";
}

TEST_F(TreeWatchTest, FoldersBeyondTheWatchLimitAreReadInTurnAfterOneNotice)
{
    writeLocal("index.html", "home");
    for (int i = 0; i < 5; ++i)
        writeLocal("f" + std::to_string(i) + "/a.txt", "a");
    // Room for the top folder and one more.
    form->TreeWatcher.setWatchLimit(2);
    std::vector<std::pair<std::string, std::string>> served{{"index.html", "home"}};
    for (int i = 0; i < 5; ++i)
        served.emplace_back("f" + std::to_string(i) + "/a.txt", "a");
    connectAndWatch(true, served);
    app.dialogs().expectContaining(testsupport::ScriptedDialogs::Kind::Message,
                                   QStringLiteral("fs.inotify.max_user_watches"));
    form->TimerDemonTimer();
    app.dialogs().verifyAllMet();
    EXPECT_NE(panel(0).find("fs.inotify.max_user_watches"), std::string::npos) << panel(0);
    EXPECT_EQ(form->TreeWatcher.polledCount(), 4u);

    // Every unwatched folder is still read: a save in each goes up, told once.
    server.clearLog();
    for (int i = 0; i < 5; ++i)
        writeLocal("f" + std::to_string(i) + "/a.txt", "a, edited");
    for (int tick = 0; tick < 3; ++tick)
        form->TimerDemonTimer();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(onServer("f" + std::to_string(i) + "/a.txt"), "a, edited") << i;
    EXPECT_EQ(app.dialogs().messages().size(), 1);
}

TEST_F(TreeWatchTest, WithTheBoxOffOnlyTheTopFolderIsWatched)
{
    writeLocal("index.html", "home");
    writeLocal("about.html", "about");
    writeLocal("css/style.css", "body{}");
    writeLocal(".vexmoraignore", "*.tmp\n");
    connectAndWatch(false, {{"index.html", "home"}, {"about.html", "about"}, {"css/style.css", "body{}"}});
    RefreshRemoteList();
    form->RefreshFileList(RemoteSide);
    server.clearLog();

    writeLocal("css/style.css", "body{color:red}");
    writeLocal("about.html", "about, edited");
    writeLocal("notes.tmp", "scratch");
    form->TimerDemonTimer();
    EXPECT_EQ(onServer("about.html"), "about, edited");
    EXPECT_EQ(onServer("css/style.css"), "body{}");
    EXPECT_TRUE(commands("MKD").isEmpty());
    QByteArrayList stores = commands("STOR");
    std::sort(stores.begin(), stores.end());
    EXPECT_EQ(stores, QByteArrayList({"STOR about.html", "STOR index.html"}));
}

TEST_F(TreeWatchTest, TheUploadDaemonSendsChangesAnywhereInTheTree)
{
    writeLocal("index.html", "home");
    writeLocal("css/style.css", "old");
    startServer();
    serveFile("index.html", "home");
    serveFile("css/style.css", "old");
    form->ConnectActionExecute();
    ASSERT_TRUE(form->Connected) << panel(0);
    form->CheckSubFolders->setChecked(true);
    server.clearLog();
    app.dialogs().expectContaining(testsupport::ScriptedDialogs::Kind::WarnYesNo,
                                   QStringLiteral("AutoUploadDaemon"), ui::Dialogs::Answer::Yes);
    form->BitBtnAutoUpDaemonClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return PassCount >= 3; }, 10000));
    EXPECT_FALSE(form->CheckSubFolders->isEnabled());
    EXPECT_TRUE(commands("STOR").isEmpty());

    writeLocal("css/style.css", "new");
    writeLocal("js/app/main.js", "js");
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return onServer("css/style.css") == "new" && onServer("js/app/main.js") == "js"; }, 10000));
    const int passBefore = PassCount;
    ASSERT_TRUE(testsupport::waitUntil([&] { return PassCount >= passBefore + 3; }, 10000));
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    QByteArrayList stores = commands("STOR");
    std::sort(stores.begin(), stores.end());
    EXPECT_EQ(stores, QByteArrayList({"STOR css/style.css", "STOR js/app/main.js"})) << "each once";
    EXPECT_EQ(commands("MKD"), QByteArrayList({"MKD js", "MKD js/app"}));
    EXPECT_TRUE(form->CheckSubFolders->isEnabled());
}

TEST_F(TreeWatchTest, APassInTheProgressWindowMakesTheFoldersToo)
{
    writeLocal("index.html", "home");
    connectAndWatch(true, {{"index.html", "home"}}, true);
    form->TimerDemonTimer();
    server.clearLog();
    writeLocal("a/b/page.html", "page");
    form->TimerDemonTimer();
    EXPECT_EQ(onServer("a/b/page.html"), "page");
    EXPECT_EQ(commands("MKD"), QByteArrayList({"MKD a", "MKD a/b"}));
    EXPECT_EQ(form->UploadMode, 1);
    EXPECT_FALSE(UpDownLoadForm->isVisible());
}
