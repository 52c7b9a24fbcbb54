// SPDX-License-Identifier: GPL-3.0-or-later
// The window stays live while the network works: a timer on the interface
// thread keeps its time during long transfers, a connect to a silent server and
// a watch pass; Cancel stops a download at once and lets an upload finish its
// file; the session layer's texts and boxes reach the interface thread in order.
#include "app/session/Ftpfunc.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "support/test_transfer_fixture.h"
#include "ui/Edit.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Timer.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace transfertest;

namespace {

const QString DownloadQuestion =
    QStringLiteral("ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)");
const QString AbortedText = QStringLiteral("処理を中断しました。");

// A 50 ms timer on the interface thread; how late its worst tick came, less
// how late a thread that only sleeps woke at worst in the same time (what a busy
// machine costs any thread). It runs from construction, or only while the
// progress window shows a transfer.
class LatenessProbe {
public:
    explicit LatenessProbe(bool whileTransferring = false)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_worstMs = std::max(m_worstMs, m_clock.restart() - 50); });
        m_reference = std::thread([this] {
            while (!m_stop) {
                QElapsedTimer slept;
                slept.start();
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (m_active)
                    m_referenceMs = std::max<qint64>(m_referenceMs, slept.elapsed() - 50);
            }
        });
        if (!whileTransferring) {
            start();
            return;
        }
        QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, &m_timer,
                         [this](const QString &title) {
                             if (title.contains(QStringLiteral("(1/")))
                                 start();
                             else if (title.isEmpty())
                                 stop();
                         });
    }
    ~LatenessProbe()
    {
        m_stop = true;
        m_reference.join();
    }
    qint64 lateMs()
    {
        stop();
        return std::max<qint64>(0, m_worstMs - m_referenceMs);
    }

private:
    void start()
    {
        m_clock.start();
        m_timer.start();
        m_active = true;
    }
    void stop()
    {
        m_timer.stop();
        m_active = false;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worstMs = 0;
    std::thread m_reference;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_active{false};
    std::atomic<qint64> m_referenceMs{0};
};

// How often a shown value changed, and the longest time it stood still
// between its first and its last change.
class MovementWatch {
public:
    explicit MovementWatch(std::function<QString()> value) : m_value(std::move(value))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_last = m_value();
        m_timer.start();
    }
    void look()
    {
        const QString now = m_value();
        if (now == m_last)
            return;
        if (m_clock.isValid())
            longestGapMs = std::max(longestGapMs, m_clock.elapsed());
        m_last = now;
        m_clock.start();
        ++changes;
    }
    qint64 longestGapMs = 0;
    int changes = 0;

private:
    std::function<QString()> m_value;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QString m_last;
};

bool hasTemporaryFile(const std::string &folder)
{
    for (const std::string &name : testsupport::folderEntries(folder))
        if (name.rfind(".vexmora-", 0) == 0)
            return true;
    return false;
}

constexpr qint64 Rate = 4 * 1024 * 1024; // bytes per second of the throttled server

} // namespace

TEST_F(TransferTest, LongTransfersAndASilentServerLeaveTheInterfaceTimerOnTime)
{
    const std::string big(4 * 1024 * 1024, 'd'); // 1 s at the server's rate
    serveFile("big.bin", big);
    ASSERT_NO_FATAL_FAILURE(connect({testsupport::ftpfault::throttle(Rate)}));
    showRemote();

    {
        ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"big.bin"}));
        app.dialogs().expectConfirm(DownloadQuestion, true);
        LatenessProbe probe(true);
        MovementWatch line([this] { return form->StatusBar1->simpleText(); });
        MovementWatch bar([] { return QString::number(UpDownLoadForm->ProgressBar->value()); });
        form->DounloadExecute();
        EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), big);
        EXPECT_LT(probe.lateMs(), 100) << "download";
        EXPECT_GE(line.changes, 4);
        // Every 250 ms or better on a quiet machine; the margin is for a test
        // server starved by a busy one (a frozen window shows none for the file).
        EXPECT_LE(line.longestGapMs, 500) << "the byte count moves";
        EXPECT_GE(bar.changes, 4);
        EXPECT_LE(bar.longestGapMs, 500) << "the bar moves within the file";
    }
    {
        showLocal();
        ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"big.bin"}));
        server.clearLog();
        LatenessProbe probe(true);
        // The socket takes the first part at once, so the bar is only seen
        // inside the file's row, not at a steady pace.
        bool withinFile = false;
        MovementWatch bar([&withinFile] {
            const QProgressBar *progress = UpDownLoadForm->ProgressBar;
            withinFile = withinFile || (progress->value() > 0 && progress->value() < progress->maximum());
            return QString::number(progress->value());
        });
        form->UploadExecute();
        EXPECT_EQ(countReceived("STOR .big.bin.vexmora-part"), 1);
        EXPECT_EQ(served("big.bin").size(), big.size());
        EXPECT_LT(probe.lateMs(), 100) << "upload";
        EXPECT_TRUE(withinFile) << "the bar moves within the one file";
    }
    {
        // A server that takes the connection and never says a word.
        testsupport::FtpServer silent;
        silent.setFaults(testsupport::ftpfault::silent());
        ASSERT_TRUE(silent.start()) << silent.errorString().toStdString();
        form->DisconnectActionExecute();
        platform::FtpOptions options;
        options.replyTimeoutMs = 1500;
        SetFtpOptions(options);
        form->EHost->setText(QString::fromStdString(silent.address()));
        app.dialogs().allowMessages();
        LatenessProbe probe;
        QElapsedTimer took;
        took.start();
        form->ConnectActionExecute();
        EXPECT_FALSE(form->Connected);
        EXPECT_GE(took.elapsed(), 1400);
        EXPECT_LT(probe.lateMs(), 100) << "connect";
        SetFtpOptions({});
    }
}

TEST_F(TransferTest, CancelStopsADownloadAndAnUploadThroughItsTemporaryAtOnce)
{
    const std::string big(40 * 1024 * 1024, 'n'); // 10 s at the server's rate
    serveFile("big.bin", big);
    ASSERT_NO_FATAL_FAILURE(writeLocal("big.bin", "the previous version"));
    ASSERT_NO_FATAL_FAILURE(connect({testsupport::ftpfault::throttle(Rate)}));
    showRemote();

    // Cancel once the bytes flow; the window is gone within half a second.
    QElapsedTimer sinceCancel;
    qint64 closedAfter = -1;
    QTimer presser;
    presser.setInterval(20);
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (!sinceCancel.isValid() && UpDownLoadForm->isVisible()
            && form->StatusBar1->simpleText().contains(QStringLiteral("ﾊﾞｲﾄ"))) {
            UpDownLoadForm->ButtonCancel->click();
            sinceCancel.start();
            EXPECT_FALSE(UpDownLoadForm->ButtonCancel->isEnabled());
        }
        if (sinceCancel.isValid() && closedAfter < 0 && !UpDownLoadForm->isVisible())
            closedAfter = sinceCancel.elapsed();
    });
    presser.start();
    ASSERT_NO_FATAL_FAILURE(select(form->RemoteFileListV, {"big.bin"}));
    app.dialogs().expectConfirm(DownloadQuestion, true).expectMessage(AbortedText);
    form->DounloadExecute();
    presser.stop();
    ASSERT_TRUE(sinceCancel.isValid());
    // The run may end between two ticks of the presser; it has ended by now.
    if (closedAfter < 0)
        closedAfter = sinceCancel.elapsed();
    EXPECT_GE(closedAfter, 0);
    EXPECT_LT(closedAfter, 500);
    EXPECT_EQ(testsupport::readFileBytes(localPath("big.bin")), "the previous version");
    EXPECT_FALSE(hasTemporaryFile(local->pathBytes()));

    // An upload through its temporary stops at once, leaving nothing on the
    // server; the next file is not started.
    // Larger than the socket buffers hold, so that it is still on its way
    // when the Cancel comes however late the timer fires.
    const std::string upload(16 * 1024 * 1024, 'u');
    ASSERT_NO_FATAL_FAILURE(writeLocal("a.bin", upload));
    ASSERT_NO_FATAL_FAILURE(writeLocal("b.bin", "second"));
    showLocal();
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"a.bin", "b.bin"}));
    server.clearLog();
    QTimer uploadPresser;
    uploadPresser.setInterval(20);
    bool pressed = false;
    QObject::connect(&uploadPresser, &QTimer::timeout, [&] {
        if (!pressed && UpDownLoadForm->isVisible()
            && form->StatusBar1->simpleText().contains(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞ"))) {
            UpDownLoadForm->ButtonCancel->click();
            pressed = true;
        }
    });
    uploadPresser.start();
    app.dialogs().expectMessage(AbortedText);
    form->UploadExecute();
    uploadPresser.stop();
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(servedExists("a.bin"));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !servedExists(".a.bin.vexmora-part"); }, 10000));
    EXPECT_EQ(countReceived("STOR b.bin"), 0);
    EXPECT_FALSE(servedExists("b.bin"));
}

TEST_F(TransferTest, AWatchPassAtFullClockScaleKeepsTheInterfaceLive)
{
    ui::Clock::setScale(1);
    ASSERT_NO_FATAL_FAILURE(writeLocal("index.html", "<html>"));
    ASSERT_NO_FATAL_FAILURE(writeLocal("about.html", "about"));
    ASSERT_NO_FATAL_FAILURE(connect());
    serveFile("index.html", "old");
    serveFile("about.html", "old");
    showRemote();
    showLocal();
    ASSERT_NO_FATAL_FAILURE(enterWatch());
    form->TimerDemon->setInterval(0); // the test ticks by itself

    ASSERT_NO_FATAL_FAILURE(writeLocal("about.html", "about, edited"));
    // A tick arriving while the pass waits does nothing.
    int nested = 0;
    QTimer again;
    again.setInterval(300);
    QObject::connect(&again, &QTimer::timeout, [&] {
        ++nested;
        form->TimerDemonTimer();
    });
    LatenessProbe probe;
    QElapsedTimer took;
    took.start();
    again.start();
    form->TimerDemonTimer();
    again.stop();
    EXPECT_GE(took.elapsed(), 2900) << "the settle wait and the pause keep their length";
    EXPECT_LT(probe.lateMs(), 100);
    EXPECT_GE(nested, 5);
    EXPECT_EQ(served("about.html"), "about, edited");
    EXPECT_EQ(countReceived("STOR about.html"), 1);
    form->StopAutomation();
    ui::Clock::setScale(0.01);
}

TEST_F(TransferTest, StatusAndErrorsFromAnotherThreadReachTheInterfaceThreadInOrder)
{
    // The scripted dialogs fail the test when shown off the interface thread.
    app.dialogs().expectMessage(QString::fromStdString(platform::errorText(platform::err::ListingTooLarge)));
    std::atomic<bool> done{false};
    std::thread worker([&done] {
        ShowStatus("first", 0);
        ReportError(platform::err::ListingTooLarge, "FtpGetFile失敗");
        ShowStatus("last", 0);
        ShowStatus("line", 999);
        done = true;
    });
    // The widgets change only when the interface thread takes the texts.
    QElapsedTimer spin;
    spin.start();
    while (spin.elapsed() < 200 && panel(0) != "first")
        std::this_thread::yield();
    EXPECT_NE(panel(0), "first");
    EXPECT_TRUE(testsupport::waitUntil([&] { return done.load(); }, 5000));
    worker.join();
    EXPECT_TRUE(testsupport::waitUntil([&] { return statusLine() == "line"; }, 2000));
    EXPECT_EQ(panel(0), "last");
    app.dialogs().verifyAllMet();
}
