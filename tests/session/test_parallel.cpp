// SPDX-License-Identifier: GPL-3.0-or-later
// Multi-file runs over several connections to one server: everything arrives
// whole, "index.html" last, a server that allows one login still gets all, the
// status line and bar show what one connection shows, and a Cancel leaves no
// half-written file.
#include "app/windows/Upanddown.h"
#include "support/test_transfer_fixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <set>

using namespace transfertest;

namespace {

const QString DownloadQuestion =
    QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)");

// Contents that differ per file and hold every byte value.
std::string contentOf(int i, size_t size)
{
    std::string data(size, '\0');
    for (size_t k = 0; k < size; ++k)
        data[k] = static_cast<char>((k * 131 + static_cast<size_t>(i) * 7) & 0xFF);
    return data;
}

std::string fileName(int i)
{
    return "f" + std::to_string(100 + i) + ".bin";
}

class ParallelTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        SetTransferConnections(3);
    }
    int logins() const { return countReceived("PASS "); }
};

} // namespace

TEST_F(ParallelTest, ASelectionAndAFolderTreeArriveWholeInBothDirections)
{
    for (int i = 0; i < 30; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal(fileName(i), contentOf(i, 20000 + static_cast<size_t>(i) * 997)));
    ASSERT_NO_FATAL_FAILURE(writeLocal("site/a.html", "<p>a</p>\n"));
    ASSERT_NO_FATAL_FAILURE(writeLocal("site/sub/b.css", "b {}\n"));
    ASSERT_NO_FATAL_FAILURE(writeLocal("site/sub/deep/c.bin", contentOf(99, 5000)));
    // A server a little away, so that files wait for a free connection.
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::replyDelay(20)));
    form->LocalFileListV->selectAll();
    // The window counts rows that have ended: never more than the server finished.
    int titles = 0;
    const QMetaObject::Connection counting =
        QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [&](const QString &title) {
            const qsizetype open = title.indexOf('(');
            if (open < 0)
                return;
            ++titles;
            const int shown = title.mid(open + 1, title.indexOf('/') - open - 1).toInt();
            EXPECT_LE(shown, server.completedTransfers().size()) << title.toStdString();
        });
    form->UploadExecute();
    QObject::disconnect(counting);
    EXPECT_GE(titles, 10);

    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(served(fileName(i)) == contentOf(i, 20000 + static_cast<size_t>(i) * 997)) << i;
    EXPECT_EQ(served("site/a.html"), "<p>a</p>\n");
    EXPECT_EQ(served("site/sub/b.css"), "b {}\n");
    EXPECT_TRUE(served("site/sub/deep/c.bin") == contentOf(99, 5000));
    EXPECT_EQ(countReceived("STOR "), 33);
    EXPECT_EQ(logins(), 3);
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("正常終了"));
    for (int i = 0; i < form->TransferList.TransferCount; ++i)
        EXPECT_EQ(form->TransferList[i].Done, 1) << i;

    // And back: the same files fetched over three connections.
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(platform::deleteFile(localPath(fileName(i))));
    showLocal();
    showRemote();
    form->RemoteFileListV->clearSelection();
    for (int i = 0; i < 30; ++i)
        form->RemoteFileListV->selectRow(rowOf(form->RemoteFileListV, fileName(i)));
    app.dialogs().expectConfirm(DownloadQuestion, true);
    form->DounloadExecute();
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(testsupport::readFileBytes(localPath(fileName(i))) == served(fileName(i))) << i;
    EXPECT_EQ(countReceived("RETR "), 30);
}

TEST_F(ParallelTest, IndexPageCompletesAfterEveryOtherFileOfTheRun)
{
    // "index.html" sorts between the others in the selection.
    for (const char *name : {"a.html", "b.html", "c.css", "index.html", "p.html", "q.js", "z.png"})
        ASSERT_NO_FATAL_FAILURE(writeLocal(name, std::string(name) + "\n"));
    ASSERT_NO_FATAL_FAILURE(connect());
    form->LocalFileListV->selectAll();
    form->UploadExecute();

    const QByteArrayList done = server.completedTransfers();
    ASSERT_EQ(done.size(), 7) << done.join(' ').toStdString();
    EXPECT_EQ(done.last(), QByteArray("STOR index.html"));
    QByteArray lastStor;
    for (const QByteArray &command : server.receivedCommands())
        if (command.startsWith("STOR "))
            lastStor = command;
    EXPECT_EQ(lastStor, QByteArray("STOR index.html"));
    EXPECT_EQ(served("index.html"), "index.html\n");
}

TEST_F(ParallelTest, AWatchPassSendsItsChangesOverSeveralConnectionsIndexPageLast)
{
    const std::vector<std::string> names{"a.html", "b.html", "c.css", "index.html", "d.js", "e.html"};
    for (const std::string &name : names) {
        ASSERT_NO_FATAL_FAILURE(writeLocal(name, "old " + name));
        serveFile(name, "old " + name);
    }
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::replyDelay(20)));
    ASSERT_EQ(form->RemoteFileCount, 6);
    ASSERT_NO_FATAL_FAILURE(enterWatch());
    for (const std::string &name : names)
        ASSERT_NO_FATAL_FAILURE(writeLocal(name, "changed " + name));
    server.clearLog();
    form->TimerDemonTimer();
    form->StopAutomation();

    for (const std::string &name : names)
        EXPECT_EQ(served(name), "changed " + name);
    const QByteArrayList done = server.completedTransfers();
    ASSERT_EQ(done.size(), 6);
    EXPECT_EQ(done.last(), QByteArray("STOR index.html"));
    EXPECT_GE(logins(), 1) << "extra connections took part";
}

TEST_F(ParallelTest, TheDownloadDaemonFetchesAPassOverSeveralConnections)
{
    for (int i = 0; i < 12; ++i)
        serveFile(fileName(i), contentOf(i, 3000));
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::replyDelay(20)));
    app.dialogs().expectContaining(ScriptedDialogs::Kind::WarnYesNo, QStringLiteral("AutoDownloadDaemon"),
                                   ScriptedDialogs::Answer::Yes);
    form->BitBtnAutoDownDaemonClick();
    const bool fetched =
        testsupport::waitUntil([this] { return server.completedTransfers().size() >= 12; }, 20000);
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    ASSERT_TRUE(fetched);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(testsupport::readFileBytes(localPath(fileName(i))) == contentOf(i, 3000)) << i;
    EXPECT_GE(logins(), 2) << "extra connections took part";
}

TEST_F(ParallelTest, AServerAllowingOneLoginStillGetsEveryFileWithoutAMessage)
{
    for (int i = 0; i < 12; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal(fileName(i), contentOf(i, 3000)));
    ASSERT_NO_FATAL_FAILURE(
        connect(testsupport::ftpfault::maxLoginsPerUser(1) + testsupport::ftpfault::replyDelay(20)));
    form->LocalFileListV->selectAll();
    // Any message box fails the test.
    form->UploadExecute();

    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(served(fileName(i)) == contentOf(i, 3000)) << i;
    EXPECT_EQ(logins(), 3); // two refused
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("正常終了"));
}

TEST_F(ParallelTest, AFileWhoseConnectionBrokeIsSentOnAnotherWithoutAMessage)
{
    // The session's connection takes the first file and loses it mid-way,
    // while the other connections are logged in.
    ASSERT_NO_FATAL_FAILURE(writeLocal("a0.bin", contentOf(0, 200000)));
    for (int i = 1; i < 9; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal(fileName(i), contentOf(i, 3000)));
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::cutDataOnce(QStringLiteral("STOR"), 100000)
                                    + testsupport::ftpfault::throttle(256 * 1024)));
    form->LocalFileListV->selectAll();
    form->UploadExecute();

    EXPECT_TRUE(served("a0.bin") == contentOf(0, 200000))
        << server.receivedCommands().join(' ').toStdString();
    for (int i = 1; i < 9; ++i)
        EXPECT_TRUE(served(fileName(i)) == contentOf(i, 3000)) << i;
    // It goes up through its temporary, and the second connection continues
    // where the first was cut.
    EXPECT_EQ(countReceived("STOR .a0.bin.vexmora-part"), 2);
    EXPECT_EQ(countReceived("REST "), 1);
    EXPECT_EQ(countReceived("RNTO a0.bin"), 1);
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("正常終了"));
}

TEST_F(ParallelTest, ARefusedFileIsReportedOnceAndTheOthersArrive)
{
    for (int i = 0; i < 9; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal(fileName(i), contentOf(i, 3000)));
    serveFolder(fileName(4)); // the server cannot store a file over a folder
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::replyDelay(20)));
    form->LocalFileListV->selectAll();
    // The box names the file: other files went on meanwhile.
    app.dialogs().expectContaining(ScriptedDialogs::Kind::Message,
                                   QString::fromStdString(fileName(4)) + QStringLiteral("\n550"));
    form->UploadExecute();
    app.dialogs().verifyAllMet();

    for (int i = 0; i < 9; ++i) {
        if (i != 4) {
            EXPECT_TRUE(served(fileName(i)) == contentOf(i, 3000)) << i;
        }
    }
    EXPECT_EQ(countReceived("STOR " + QByteArray::fromStdString(fileName(4))), 1);
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("正常終了"));
}

// Three connections show what one does: the byte counts of the file most
// recently started (never the wait for a reply), and a bar that moves within
// files; extra logins a server never greets do not hold the run's end.
TEST_F(ParallelTest, ByteCountsAndTheBarMoveAsOnOneConnectionAndSilentLoginsAreNotAwaited)
{
    // Files larger than the socket buffers, so that their counts come as they go.
    const size_t size = 8 * 1024 * 1024;
    for (int i = 0; i < 3; ++i)
        ASSERT_NO_FATAL_FAILURE(writeLocal(fileName(i), contentOf(i, size)));
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::throttle(4 * 1024 * 1024)));
    std::vector<std::string> texts;
    std::set<int> bars;
    // Sampled whenever the program paints (the status line repaints as it changes).
    const testsupport::OnPaint watch([&] {
        if (!UpDownLoadForm->isVisible())
            return;
        if (texts.empty() || texts.back() != statusLine())
            texts.push_back(statusLine());
        bars.insert(UpDownLoadForm->ProgressBar->value() * 1000
                    / std::max(1, UpDownLoadForm->ProgressBar->maximum()));
    });
    form->LocalFileListV->selectAll();
    form->UploadExecute();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(served(fileName(i)) == contentOf(i, size)) << i;
    EXPECT_EQ(logins(), 3);
    std::string all;
    for (const std::string &text : texts)
        all += "[" + text + "]";
    const auto isCount = [](const std::string &text) { return text.ends_with("ﾊﾞｲﾄ ｱｯﾌﾟﾛｰﾄﾞ完了"); };
    ASSERT_GE(std::count_if(texts.begin(), texts.end(), isCount), 3) << all;
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::to_string(size) + "ﾊﾞｲﾄ ｱｯﾌﾟﾛｰﾄﾞ完了"), texts.end())
        << all;
    // The wait for a reply may show once the files are sent (the list's refresh),
    // never between two counts.
    const auto first = std::find_if(texts.begin(), texts.end(), isCount);
    const auto last = std::find_if(texts.rbegin(), texts.rend(), isCount).base();
    EXPECT_TRUE(std::find(first, last, "ｻｰﾊﾞｰからの応答を待っています。") == last) << all;
    // More positions than the four a count of ended rows has: it moves within files.
    EXPECT_GT(bars.size(), 4u);

    // A server that accepts the extra connections and never greets them.
    form->DisconnectActionExecute();
    server.stop();
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::muteBeyond(1)));
    QElapsedTimer timer;
    timer.start();
    form->LocalFileListV->selectAll();
    form->UploadExecute();
    EXPECT_LT(timer.elapsed(), 4000) << "the run's end waited for logins no longer needed";
    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("正常終了"));
}

TEST_F(ParallelTest, CancelMidDownloadLeavesNoPartialFile)
{
    const size_t size = 96 * 1024;
    for (int i = 0; i < 30; ++i)
        serveFile(fileName(i), contentOf(i, size));
    ASSERT_NO_FATAL_FAILURE(connect(testsupport::ftpfault::throttle(256 * 1024)));
    form->RemoteFileListV->selectAll();
    // Cancel once some rows have ended, while others are under way.
    QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, form, [](const QString &title) {
        if (title == QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ (4/30)"))
            UpDownLoadForm->ButtonCancel->click();
    });
    app.dialogs().expectConfirm(DownloadQuestion, true);
    app.dialogs().allowMessages();
    form->DounloadExecute();

    EXPECT_EQ(UpDownLoadForm->MyLabel->text(), QStringLiteral("強制終了"));
    int whole = 0;
    for (const std::string &name : testsupport::folderEntries(local->pathBytes())) {
        ASSERT_EQ(name.rfind(".vexmora-", 0), std::string::npos) << name;
        const int i = std::stoi(name.substr(1, 3)) - 100;
        ASSERT_TRUE(testsupport::readFileBytes(localPath(name)) == contentOf(i, size)) << name;
        ++whole;
    }
    EXPECT_GE(whole, 4);
    EXPECT_LT(whole, 30);
    EXPECT_LT(countReceived("RETR "), 30);
}
