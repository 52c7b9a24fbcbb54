// SPDX-License-Identifier: GPL-3.0-or-later
// Watch mode ("自動UP"), its monitor window and the two daemons, with the main
// window against a real server and time compressed.
#include "app/MainForm.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"
#include "support/SessionFixture.h"
#include "support/TestUtil.h"
#include "ui/Clock.h"
#include "ui/ComboBox.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/RadioGroup.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"
#include "ui/Timer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::SessionTest;

namespace {

// Records whether a widget had the given window colour while anything of the
// program was painted (the pass repaints as it goes).
class PaintProbe : public QObject {
public:
    PaintProbe(QWidget *widget, QColor color) : m_widget(widget), m_color(color)
    {
        qApp->installEventFilter(this);
    }
    ~PaintProbe() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_widget->palette().color(QPalette::Window) == m_color)
            seen = true;
        return false;
    }
    bool seen = false;

private:
    QWidget *m_widget;
    QColor m_color;
};

const QString DaemonWarningTail =
    QStringLiteral("\n\n終了するにはポップアップフォームのキャンセルを押して下さい。\n"
                   "\n※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。"
                   "\n危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!");
const QString DownDaemonWarning =
    QStringLiteral("これから「AutoDownloadDaemon」に入ります。") + DaemonWarningTail;
const QString UpDaemonWarning =
    QStringLiteral("これから「AutoUploadDaemon」に入ります。") + DaemonWarningTail
    + QStringLiteral("\n\n注意：追加ファイルのアップロードには対応していません。");

class WatchTest : public SessionTest {
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

    void writeLocal(const std::string &name, const std::string &data)
    {
        ASSERT_TRUE(testsupport::writeFileBytes(local.filePath(name), data));
    }
    void connect(const QStringList &faults = {})
    {
        startServer(faults);
        form->ConnectActionExecute();
        ASSERT_TRUE(form->Connected) << panel(0);
    }
    // Puts files on the server and shows them in the remote list, so that the
    // watch sees no missing files.
    void serveAndList(const std::vector<std::pair<std::string, std::string>> &files)
    {
        for (const auto &[name, data] : files)
            serveFile(name, data);
        RefreshRemoteList();
        form->RefreshFileList(RemoteSide);
    }
    int stored(const std::string &name) { return countReceived("STOR " + QByteArray::fromStdString(name)); }
    int fetched(const std::string &name) { return countReceived("RETR " + QByteArray::fromStdString(name)); }
    std::vector<std::string> localOrder()
    {
        bool ok = false;
        std::vector<std::string> names;
        for (const platform::FindRecord &r : platform::findLocal(local.filePath("*.*"), ok))
            if (!r.isDirectory())
                names.push_back(r.name);
        return names;
    }

    testsupport::TempFolder local;
};

} // namespace

TEST_F(WatchTest, EnteringWatchModeSnapshotsLocksAndSavesTheSettings)
{
    writeLocal("index.html", "<html>");
    writeLocal("about.html", "about");
    connect();
    enterWatch();

    EXPECT_EQ(form->FolderSnapshot.SnapshotCount, 2);
    EXPECT_TRUE(form->SpeedAutoUp->isDown());
    EXPECT_TRUE(form->TB_ReUpload->isEnabled()) << "usable while the tool bar is locked";
    EXPECT_FALSE(form->ToolButtonSetHost->isEnabled());
    EXPECT_FALSE(form->LocalFileListV->isEnabled());
    EXPECT_FALSE(form->RemoteFileListV->isEnabled());
    EXPECT_FALSE(form->Mode->isEnabled());
    EXPECT_FALSE(form->ToolButtonUpload->isEnabled());
    EXPECT_TRUE(form->Target->isEnabled());
    EXPECT_TRUE(form->ComboTimer->isEnabled());
    EXPECT_FALSE(form->CheckUseThread->isEnabled());
    EXPECT_TRUE(SingleAutoUpForm->isVisible());
    EXPECT_EQ(form->TimerDemon->interval(), 3000);
    EXPECT_NE(app.readFile(app.iniPath()).find("Timer=2"), std::string::npos);
    EXPECT_TRUE(form->HostListSaved);

    // Pressing it again changes nothing; "手動UP" ends the watch.
    enterWatch();
    form->SpeedNormalUp->click();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_EQ(form->TimerDemon->interval(), 0);
    EXPECT_FALSE(SingleAutoUpForm->isVisible());
    EXPECT_TRUE(form->LocalFileListV->isEnabled());
    EXPECT_TRUE(form->CheckUseThread->isEnabled());
    EXPECT_FALSE(form->TB_ReUpload->isEnabled());
}

TEST_F(WatchTest, AnEditedFileIsUploadedThenIndexHtmlWithTheMonitorCounting)
{
    writeLocal("index.html", "<html>");
    writeLocal("about.html", "about");
    writeLocal("empty.txt", "");
    writeLocal("news.html", "news");
    connect();
    // The server already has every file: no missing-file pass.
    serveAndList({{"index.html", "old"}, {"about.html", "old"}, {"empty.txt", "old"}, {"news.html", "old"}});
    enterWatch();
    server.clearLog();

    // An idle tick sends nothing to the server.
    form->TimerDemonTimer();
    EXPECT_TRUE(server.receivedCommands().isEmpty());

    // A 0-byte file never triggers the check by itself.
    writeLocal("empty.txt", "");
    form->TimerDemonTimer();
    EXPECT_EQ(stored("empty.txt"), 0);

    PaintProbe red(SingleAutoUpForm, QColor(Qt::red));
    writeLocal("about.html", "about, edited");
    form->TimerDemonTimer();
    EXPECT_TRUE(red.seen) << "the monitor is painted red while the pass runs";
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("about.html")), "about, edited");
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("index.html")), "<html>");
    // The empty file joins a real change (it can never match its snapshot entry).
    EXPECT_EQ(stored("empty.txt"), 1);
    EXPECT_EQ(panel(3), "Detect 3");
    const QByteArrayList log = server.receivedCommands();
    QByteArrayList stores;
    for (const QByteArray &line : log)
        if (line.startsWith("STOR"))
            stores << line;
    ASSERT_FALSE(stores.isEmpty());
    EXPECT_EQ(stores.last(), QByteArray("STOR index.html")) << "index.html goes last";
    // The monitor counts every file but index.html and is white again.
    EXPECT_EQ(SingleAutoUpForm->UploadCount, 2);
    EXPECT_EQ(SingleAutoUpForm->Label1->text(), QStringLiteral("起動回数：00002"));
    EXPECT_EQ(SingleAutoUpForm->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_FALSE(form->AutoBusy);
    EXPECT_EQ(form->UploadMode, 1);
    EXPECT_TRUE(form->SpeedAutoUp->isDown());

    // The next idle tick finds nothing new.
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(countReceived("STOR"), 0);
}

// The index page is read under its name on disk and goes up as "index.html":
// once, and then the watch is idle. A one-byte file is listed by every pass.
TEST_F(WatchTest, AnIndexPageInAnyCaseGoesUpOnceAsIndexHtmlAndOneByteFilesEveryPass)
{
    writeLocal("Index.HTML", "<html>");
    writeLocal("about.html", "about");
    writeLocal("one.txt", "1");
    connect();
    serveAndList({{"index.html", "old"}, {"about.html", "old"}, {"one.txt", "old"}});
    form->Target->setItemIndex(1);
    enterWatch();
    const auto stores = [&] {
        QByteArrayList lines;
        for (const QByteArray &line : server.receivedCommands())
            if (line.startsWith("STOR"))
                lines << line;
        server.clearLog();
        return lines;
    };
    stores();
    writeLocal("about.html", "about, edited");
    form->TimerDemonTimer();
    QByteArrayList first = stores();
    ASSERT_EQ(first.size(), 3) << first.join(' ').toStdString();
    EXPECT_EQ(first.takeLast(), "STOR index.html");
    std::sort(first.begin(), first.end());
    EXPECT_EQ(first, (QByteArrayList{"STOR about.html", "STOR one.txt"}));
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("index.html")), "<html>");
    EXPECT_EQ(panel(0).find("見つかりませんでした"), std::string::npos) << panel(0);
    for (int i = 0; i < 3; ++i)
        form->TimerDemonTimer();
    EXPECT_TRUE(server.receivedCommands().isEmpty()) << server.receivedCommands().join('\n').toStdString();

    // Two pages that differ only in case: each under its own name, lower case last.
    writeLocal("index.html", "<lower>");
    form->TimerDemonTimer();
    EXPECT_EQ(stores(), (QByteArrayList{"STOR one.txt", "STOR Index.HTML", "STOR index.html"}));
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("Index.HTML")), "<html>");
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("index.html")), "<lower>");
}

TEST_F(WatchTest, APassListsTheServerFolderOnceForItsTwoRefreshes)
{
    writeLocal("a.html", "page a");
    writeLocal("b.html", "page b");
    connect();
    serveAndList({{"a.html", "old"}, {"b.html", "old"}});
    enterWatch();
    writeLocal("a.html", "a, edited");
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(stored("a.html"), 1);
    EXPECT_EQ(stored("b.html"), 0);
    EXPECT_EQ(countReceived("MLSD") + countReceived("LIST"), 1);
    EXPECT_EQ(form->RemoteFileCount, 2);

    // The next tick lists again: the server may have changed meanwhile.
    writeLocal("b.html", "b, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(countReceived("MLSD") + countReceived("LIST"), 2);
}

TEST_F(WatchTest, TargetHtmlIgnoresOtherFilesAndMissingFilesGoInTheSameTick)
{
    for (const char *name : {"a.html", "b.html", "c.html", "d.html", "e.html", "f.html"})
        writeLocal(name, std::string("content of ") + name);
    writeLocal("page.htm", "htm");
    connect();
    std::vector<std::pair<std::string, std::string>> served{{"x.bin", "x"}};
    for (const char *name : {"a.html", "b.html", "c.html", "d.html", "e.html"})
        served.emplace_back(name, std::string("content of ") + name);
    serveAndList(served);
    form->Target->setItemIndex(0);
    enterWatch();
    EXPECT_EQ(form->FolderSnapshot.SnapshotCount, 6) << "page.htm is not watched";
    server.clearLog();

    // 7 local files and 6 remote: the one missing .html file goes up first.
    writeLocal("page.htm", "htm, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(stored("f.html"), 1);
    EXPECT_EQ(stored("page.htm"), 0);
    EXPECT_EQ(countReceived("STOR"), 1);
}

TEST_F(WatchTest, MissingFilesAreNonEmptyTargetFilesWithNoFileRowOnTheHost)
{
    writeLocal("page.HTML", "p");
    writeLocal("dir.html", "d");
    writeLocal("have.html", "h");
    writeLocal("zero.html", "");
    writeLocal("other.htm", "o");
    writeLocal("linked.html", "l");
    connect(testsupport::ftpfault::noMlsd());
    serveFolder("dir.html");
    ASSERT_EQ(::symlink("have.html", server.rootPath("linked.html").c_str()), 0);
    serveAndList({{"have.html", "h"}});
    form->Target->setItemIndex(0);
    ShowStatus("", 0);

    // A folder of the same name does not count as the file being on the host;
    // a link of that name (a folder row until tried) does.
    EXPECT_TRUE(form->DetectMissingFiles());
    EXPECT_EQ(panel(0), "ﾛｰｶﾙのﾌｧｲﾙ数がﾎｽﾄより多いです。");
    ASSERT_EQ(form->TransferList.TransferCount, 2);
    std::set<std::string> listed;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(form->TransferList[i].LocalPath, form->TransferList[i].RemotePath);
        listed.insert(form->TransferList[i].LocalPath);
    }
    EXPECT_EQ(listed, (std::set<std::string>{"page.HTML", "dir.html"}));
    EXPECT_TRUE(form->AutoBusy);
    form->AutoBusy = false;
}

TEST_F(WatchTest, ClosingTheMonitorStopsTheWatch)
{
    writeLocal("a.html", "a");
    connect();
    enterWatch();
    ASSERT_TRUE(SingleAutoUpForm->isVisible());
    SingleAutoUpForm->close();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_FALSE(form->TB_ReUpload->isEnabled());
    EXPECT_TRUE(form->SpeedNormalUp->isDown());
    EXPECT_EQ(form->TimerDemon->interval(), 0);
    EXPECT_TRUE(form->LocalFileListV->isEnabled());
}

TEST_F(WatchTest, ASingleFileAtTheShortestSettingIsPolledTenTimesASecond)
{
    writeLocal("only.html", "1");
    connect();
    form->ComboTimer->setItemIndex(0);
    enterWatch();
    EXPECT_EQ(form->TimerDemon->interval(), 100);
    // The real timer drives the watch: an edit goes up without calling the tick.
    server.clearLog();
    writeLocal("only.html", "12");
    EXPECT_TRUE(testsupport::waitUntil([&] { return stored("only.html") == 1; }, 10000));
    writeLocal("two.html", "22");
    form->RefreshFileList(LocalSide);
    form->StartAutoWatch(true);
    EXPECT_EQ(form->TimerDemon->interval(), 1000);
}

TEST_F(WatchTest, WithTheThreadThePassRunsThroughTheProgressWindow)
{
    writeLocal("a.html", "a");
    writeLocal("b.html", "b");
    connect();
    serveAndList({{"a.html", "a"}, {"b.html", "b"}});
    form->CheckUseThread->setChecked(true);
    enterWatch();
    EXPECT_FALSE(SingleAutoUpForm->isVisible());

    bool progressShown = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { progressShown = progressShown || UpDownLoadForm->isVisible(); });
    probe.start(1);
    writeLocal("b.html", "b, edited");
    form->TimerDemonTimer();
    probe.stop();
    EXPECT_TRUE(progressShown);
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("b.html")), "b, edited");
    EXPECT_EQ(form->UploadMode, 1) << "a completed pass keeps watching";
    EXPECT_FALSE(UpDownLoadForm->isVisible());
}

TEST_F(WatchTest, ALostConnectionIsRepairedOrEndsTheWatch)
{
    writeLocal("a.html", "a");
    writeLocal("b.html", "b");
    connect();
    serveAndList({{"a.html", "a"}, {"b.html", "b"}});
    enterWatch();

    ASSERT_TRUE(server.restart());
    writeLocal("a.html", "a, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("a.html")), "a, edited");
    EXPECT_EQ(form->UploadMode, 1);

    server.stop();
    writeLocal("b.html", "b, edited");
    app.dialogs().allowMessages();
    form->TimerDemonTimer();
    // One box for the lost server: the reconnect's own failure is not repeated.
    EXPECT_EQ(app.dialogs().messages(), QStringList({QStringLiteral("サーバーに接続できませんでした。")}));
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_FALSE(form->TB_ReUpload->isEnabled());
    // The ended watch is not re-armed: manual mode, controls unlocked.
    EXPECT_TRUE(form->SpeedNormalUp->isDown());
    EXPECT_EQ(form->TimerDemon->interval(), 0);
    EXPECT_FALSE(form->AutoBusy);
}

TEST_F(WatchTest, DownloadDaemonFetchesNewChangedAndMissingFilesUntilCancelled)
{
    // Links on the server: one to a file is fetched as the file, one to a
    // folder is passed over; each is tried once, not every pass.
    serveFile("site/page.html", "page");
    ASSERT_EQ(::symlink("site", server.rootPath("www").c_str()), 0);
    ASSERT_EQ(::symlink("site/page.html", server.rootPath("latest.html").c_str()), 0);
    connect(testsupport::ftpfault::noMlsd());
    serveAndList({{"b.html", "b"}, {"c.html", "c"}});
    server.clearLog();

    app.dialogs().expectWarning(DownDaemonWarning, true);
    form->BitBtnAutoDownDaemonClick();
    ASSERT_TRUE(UpDownLoadForm->isVisible());
    EXPECT_TRUE(form->DownDaemonActive);
    EXPECT_FALSE(form->LocalFileListV->isEnabled());

    // The first pass fetches every file; the passes after it fetch nothing.
    ASSERT_TRUE(testsupport::waitUntil([] { return PassCount >= 5; }, 10000));
    EXPECT_EQ(fetched("b.html"), 1);
    EXPECT_EQ(fetched("c.html"), 1);
    EXPECT_EQ(testsupport::readFileBytes(local.filePath("b.html")), "b");
    EXPECT_EQ(testsupport::readFileBytes(local.filePath("latest.html")), "page");
    EXPECT_EQ(fetched("latest.html"), 1);
    EXPECT_EQ(fetched("www"), 0);
    EXPECT_EQ(countReceived("CWD www"), 1);
    EXPECT_EQ(countReceived("CWD latest.html"), 1);

    // A deleted local copy is fetched again.
    ASSERT_TRUE(platform::deleteFile(local.filePath("c.html")));
    ASSERT_TRUE(testsupport::waitUntil([&] { return fetched("c.html") == 2; }, 10000));
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return testsupport::fileExists(local.filePath("c.html")); }, 5000));
    EXPECT_EQ(fetched("b.html"), 1);

    // A changed remote file is fetched again.
    serveFile("b.html", "b, changed");
    ASSERT_TRUE(testsupport::waitUntil([&] { return fetched("b.html") == 2; }, 10000));

    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("ｷｬﾝｾﾙ終了"));
    EXPECT_FALSE(form->DownDaemonActive);
    EXPECT_TRUE(form->LocalFileListV->isEnabled());
    EXPECT_TRUE(form->ToolBar1->isEnabled());
    EXPECT_EQ(testsupport::readFileBytes(local.filePath("b.html")), "b, changed");
}

// A Cancel while files wait for a connection: each file not downloaded stays
// changed, and the next run fetches it although its local copy exists.
TEST_F(WatchTest, FilesACancelLeftUndownloadedAreFetchedByTheNextDaemonRun)
{
    const std::string fresh(30000, 'n');
    const auto name = [](int i) { return "f" + std::to_string(i) + ".html"; };
    for (int i = 0; i < 6; ++i)
        writeLocal(name(i), "old");
    connect(testsupport::ftpfault::throttle(30000));
    for (int i = 0; i < 6; ++i)
        serveFile(name(i), fresh);
    SetTransferConnections(2);
    const auto allFresh = [&] {
        for (int i = 0; i < 6; ++i)
            if (testsupport::readFileBytes(local.filePath(name(i))) != fresh)
                return false;
        return true;
    };
    const auto startDaemon = [&] {
        app.dialogs().expectWarning(DownDaemonWarning, true);
        form->BitBtnAutoDownDaemonClick();
        ASSERT_TRUE(UpDownLoadForm->isVisible());
    };
    // The pass runs inside the window's step: the Cancel comes from a timer.
    QTimer cancelAfterFirstFetch;
    QObject::connect(&cancelAfterFirstFetch, &QTimer::timeout, [&] {
        if (countReceived("RETR ") > 0 && UpDownLoadForm->isVisible()) {
            cancelAfterFirstFetch.stop();
            UpDownLoadForm->ButtonCancelClick();
        }
    });
    ASSERT_NO_FATAL_FAILURE(startDaemon());
    cancelAfterFirstFetch.start(10);
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    EXPECT_FALSE(allFresh()) << "the Cancel came while files waited";
    ASSERT_NO_FATAL_FAILURE(startDaemon());
    EXPECT_TRUE(testsupport::waitUntil(allFresh, 30000));
}

TEST_F(WatchTest, PeriodicDownloadFetchesEverythingOncePerHundredIdlePasses)
{
    connect();
    serveFile("p.html", "p");
    form->cbPriodDown->setChecked(true);
    app.dialogs().expectWarning(DownDaemonWarning, true);
    form->BitBtnAutoDownDaemonClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return PassCount >= 250; }, 60000));
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    const int passes = PassCount;
    // The first fetch, then one every 100 passes without a download (each
    // download restarts the count).
    EXPECT_GE(fetched("p.html"), 2);
    EXPECT_LE(fetched("p.html"), 1 + passes / 100);
}

TEST_F(WatchTest, UploadDaemonSendsChangedRowsAsTheSnapshotLeftThem)
{
    // Files of two bytes or more: smaller ones never match their snapshot entry.
    // Two data files, so that one is always past position 0 whatever the order.
    const std::map<std::string, std::string> files{
        {"a.html", "page a"}, {"b.html", "page b"}, {"d.TXT", "data d"}, {"e.DAT", "data e"}};
    for (const auto &[name, data] : files)
        writeLocal(name, data);
    connect();
    const std::vector<std::string> order = localOrder();
    ASSERT_EQ(order.size(), 4u);
    server.clearLog();

    app.dialogs().expectWarning(UpDaemonWarning, true);
    form->BitBtnAutoUpDaemonClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return PassCount >= 3; }, 10000));
    EXPECT_EQ(countReceived("STOR"), 0) << "nothing changed yet";

    // Change the last file in directory order: row 0 gets it, rows 1.. keep the
    // snapshot's names, so everything from position 1 on goes up, and the file at
    // position 0 (its row overwritten) does not.
    const std::string changed = order.back();
    writeLocal(changed, "changed " + changed);
    ASSERT_TRUE(testsupport::waitUntil([&] { return stored(changed) >= 1; }, 10000));
    const int passBefore = PassCount;
    ASSERT_TRUE(testsupport::waitUntil([&] { return PassCount >= passBefore + 3; }, 10000));
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    EXPECT_EQ(stored(order[0]), 0) << order[0];
    const std::string store = app.dir() + "/backup_log/";
    for (size_t i = 1; i < order.size(); ++i) {
        const std::string &name = order[i];
        const std::string data = name == changed ? "changed " + name : files.at(name);
        EXPECT_GE(stored(name), 1) << name;
        EXPECT_EQ(testsupport::readFileBytes(server.rootPath(name)), data) << name;
        // Data files go through their backup copy.
        const bool dataFile = name.ends_with(".TXT") || name.ends_with(".DAT");
        EXPECT_EQ(testsupport::readFileBytes(store + name), dataFile ? data : "") << name;
    }
    EXPECT_TRUE(form->LocalFileListV->isEnabled());
}

TEST_F(WatchTest, SavesDuringAPassOrItsPauseGoUpWithTheNextPass)
{
    writeLocal("about.html", "about 0");
    writeLocal("news.html", "news 0");
    connect();
    serveAndList({{"about.html", "about 0"}, {"news.html", "news 0"}});
    enterWatch();

    // about.html is saved again right after the pass sent it; news.html once the
    // pass has listed the server again, in the pause before the watch re-arms.
    bool savedInPass = false, savedInPause = false;
    {
        const testsupport::OnPaint save([&] {
            if (!savedInPass && SingleAutoUpForm->UploadCount == 1) {
                savedInPass = true;
                writeLocal("about.html", "about 2, saved during the pass");
            }
            const QByteArrayList log = server.receivedCommands();
            if (savedInPass && !savedInPause && !log.isEmpty()
                && (log.last().startsWith("MLSD") || log.last().startsWith("LIST"))) {
                savedInPause = true;
                writeLocal("news.html", "news 1, saved in the pause");
            }
        });
        writeLocal("about.html", "about 1");
        form->TimerDemonTimer();
    }
    ASSERT_TRUE(savedInPass && savedInPause);
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("about.html")), "about 1");

    form->TimerDemonTimer();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("about.html")), "about 2, saved during the pass");
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("news.html")), "news 1, saved in the pause");
    // Everything sent is the baseline now.
    server.clearLog();
    form->TimerDemonTimer();
    EXPECT_EQ(countReceived("STOR"), 0);
}

TEST_F(WatchTest, ARefusedUploadIsNotCountedAndIsTriedAgainWithOneBoxPerStreak)
{
    // Files of two bytes or more: smaller ones go with every pass.
    writeLocal("a.html", "aa");
    writeLocal("b.html", "bb");
    connect(testsupport::ftpfault::refuse(QStringLiteral("STOR"), QStringLiteral("550 Refused here.")));
    serveAndList({{"a.html", "aa"}, {"b.html", "bb"}});
    enterWatch();
    app.dialogs().allowMessages();

    writeLocal("a.html", "a, edited");
    for (int tick = 0; tick < 3; ++tick)
        form->TimerDemonTimer();
    EXPECT_EQ(stored("a.html"), 3) << "tried on every tick";
    EXPECT_EQ(SingleAutoUpForm->UploadCount, 0);
    EXPECT_NE(SingleAutoUpForm->StatusBarSingleUp->panelText(0), QStringLiteral("a.html"));
    EXPECT_EQ(app.dialogs().messages().filter(QStringLiteral("Refused here")).size(), 1);
    EXPECT_NE(panel(0).find("a.html: FtpPutFile失敗"), std::string::npos) << panel(0);

    // Once the server takes it, the file goes up and counts.
    server.setFaults({});
    ASSERT_TRUE(server.restart());
    form->TimerDemonTimer();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("a.html")), "a, edited");
    EXPECT_EQ(SingleAutoUpForm->UploadCount, 1);
}

TEST_F(WatchTest, ReUploadWorksWhileThePanesAreLockedAndEndsWithTheWatch)
{
    writeLocal("a.html", "a");
    writeLocal("b.html", "b");
    connect();
    serveAndList({{"a.html", "old"}, {"b.html", "old"}});
    enterWatch();
    ASSERT_FALSE(form->PanelLocal->isEnabled());

    app.dialogs().expectConfirm(QStringLiteral("全再アップロードを実行しますか？"), true);
    form->TB_ReUpload->click();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("a.html")), "a");
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("b.html")), "b");
    EXPECT_EQ(form->UploadMode, 1);
    EXPECT_FALSE(form->PanelLocal->isEnabled());

    // A threaded pass cancelled while it runs ends the watch and the button.
    form->SpeedNormalUp->click();
    form->CheckUseThread->setChecked(true);
    enterWatch();
    const QMetaObject::Connection cancel =
        QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [](const QString &title) {
            if (title.contains(QStringLiteral("(1/")))
                UpDownLoadForm->ButtonCancelClick();
        });
    app.dialogs().expectMessage(QStringLiteral("処理を中断しました。"));
    writeLocal("a.html", "a, edited");
    form->TimerDemonTimer();
    QObject::disconnect(cancel);
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_FALSE(form->TB_ReUpload->isEnabled());
    EXPECT_FALSE(form->TimerDemon->isActive());
}

TEST_F(WatchTest, ATypedIntervalIsNeverAStoppedTimerNorStored)
{
    writeLocal("a.html", "a");
    connect();
    if (QLineEdit *edit = form->ComboTimer->lineEdit())
        edit->selectAll();
    for (const auto &[key, text] : {std::pair{Qt::Key_1, "1"}, std::pair{Qt::Key_5, "5"}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(form->ComboTimer, &press);
    }
    enterWatch();
    EXPECT_GT(form->TimerDemon->interval(), 0);
    EXPECT_EQ(app.readFile(app.iniPath()).find("Timer=-1"), std::string::npos);
}

TEST_F(WatchTest, ARefusedDownloadShowsFailedInTheDaemon)
{
    connect(testsupport::ftpfault::refuse(QStringLiteral("RETR"), QStringLiteral("550 Not yours.")));
    serveAndList({{"b.html", "b"}});
    app.dialogs().allowMessages();
    app.dialogs().expectWarning(DownDaemonWarning, true);
    form->BitBtnAutoDownDaemonClick();
    ASSERT_TRUE(testsupport::waitUntil([&] { return fetched("b.html") >= 3; }, 10000));
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    EXPECT_TRUE(UpDownLoadForm->LabelCount->text().endsWith(QStringLiteral("(Failed!)")))
        << UpDownLoadForm->LabelCount->text().toStdString();
    EXPECT_EQ(app.dialogs().messages().filter(QStringLiteral("Not yours")).size(), 1);
}

TEST_F(WatchTest, AnIdleTickScansOnlyAfterAChangeAndStillFindsWhatAScanFinds)
{
    // Times well in the past (distinct per write), so the watch may trust them.
    int64_t stamp = 1600000000;
    auto writeOld = [&](const std::string &path, const std::string &data) {
        ASSERT_TRUE(testsupport::writeFileBytes(path, data));
        const struct timespec times[2] = {{++stamp, 0}, {stamp, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    for (const char *name : {"index.html", "a.html", "b.html", "notes.txt"})
        writeOld(local.filePath(name), std::string("page ") + name);
    connect();
    serveAndList({{"index.html", "page index.html"},
                  {"a.html", "page a.html"},
                  {"b.html", "page b.html"},
                  {"notes.txt", "page notes.txt"}});
    form->Target->setItemIndex(0);
    enterWatch();
    auto tickThenIdle = [&] {
        form->TimerDemonTimer();
        server.clearLog();
        const int scans = form->FolderScanCount;
        form->TimerDemonTimer();
        form->TimerDemonTimer();
        EXPECT_EQ(form->FolderScanCount, scans) << "an idle tick does not scan";
        EXPECT_TRUE(server.receivedCommands().isEmpty());
    };
    tickThenIdle();

    // A save while the folder is clean goes up as a scan would send it.
    writeOld(local.filePath("b.html"), "page b.html, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("b.html")), "page b.html, edited");
    QByteArrayList stores;
    for (const QByteArray &line : server.receivedCommands())
        if (line.startsWith("STOR"))
            stores << line;
    EXPECT_EQ(stores, (QByteArrayList{"STOR b.html", "STOR index.html"}));
    tickThenIdle();

    // The pattern changed, not the folder: notes.txt was never in the snapshot.
    form->Target->setItemIndex(1);
    form->TimerDemonTimer();
    EXPECT_EQ(stored("notes.txt"), 1);
    tickThenIdle();

    // A save inotify never reported (its queue overflowed) is found by the scan.
    writeOld(local.filePath("a.html"), "page a.html, saved while blind");
    form->LocalWatch.loseEvents();
    form->TimerDemonTimer();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("a.html")), "page a.html, saved while blind");

    // A time of the last two seconds is not trusted yet: the ticks keep scanning.
    writeLocal("b.html", "page b.html, saved just now");
    form->TimerDemonTimer();
    form->TimerDemonTimer();
    const int scans = form->FolderScanCount;
    form->TimerDemonTimer();
    EXPECT_EQ(form->FolderScanCount, scans + 1);

    // A linked file changes without any event in the folder: it keeps the tick scanning.
    testsupport::TempFolder elsewhere;
    writeOld(elsewhere.filePath("shared.html"), "shared");
    ASSERT_EQ(::symlink(elsewhere.filePath("shared.html").c_str(), local.filePath("shared.html").c_str()), 0);
    form->TimerDemonTimer();
    EXPECT_EQ(stored("shared.html"), 1);
    form->TimerDemonTimer();
    writeOld(elsewhere.filePath("shared.html"), "shared, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(testsupport::readFileBytes(server.rootPath("shared.html")), "shared, edited");
}
