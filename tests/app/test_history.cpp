// SPDX-License-Identifier: GPL-3.0-or-later
// The history of transfers, its window and log file, the desktop notices of
// automatic work (counted on a private session bus) and the tray icon's menu.
#include "app/windows/History.h"
#include "app/windows/Singleup.h"
#include "app/windows/TrayIcon.h"
#include "app/windows/Upanddown.h"
#include "support/PrivateBus.h"
#include "support/test_transfer_fixture.h"
#include "ui/DesktopNotifier.h"
#include "ui/Timer.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTableView>

namespace {

// A session bus of the test's own (the shared fixture's dbus-daemon), the
// program's connection to it, and, once served, the desktop's notification
// service on it: it keeps the summaries, or when hanging never answers.
class NoticeBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    ~NoticeBus() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("vexmora-test-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("vexmora-test-service"));
    }
    QDBusConnection connection(const QString &name = QStringLiteral("vexmora-test-client"))
    {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name);
    }
    bool serve(bool hanging)
    {
        hang = hanging;
        QDBusConnection service = connection(QStringLiteral("vexmora-test-service"));
        return service.registerService(QStringLiteral("org.freedesktop.Notifications"))
               && service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                         QDBusConnection::ExportAllSlots);
    }

    testsupport::PrivateBus bus{testsupport::PrivateBus::Service::None};
    QStringList summaries;
    bool hang = false;

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &,
                const QStringList &, const QVariantMap &, int, const QDBusMessage &message)
    {
        if (hang) {
            message.setDelayedReply(true); // and never answered
            return 0;
        }
        summaries << summary;
        return static_cast<uint>(summaries.size());
    }
};

class HistoryTest : public transfertest::TransferTest {
protected:
    void TearDown() override
    {
        endAutomation();
        TransferTest::TearDown();
    }
    // The newest entry's path, size, direction, pass and outcome.
    std::string newest() const
    {
        const HistoryEntry &e = form->History.Newest(0);
        const char *const passes[] = {"manual", "watch", "daemon", "loop"};
        return e.Path + " " + std::to_string(e.Size) + (e.Direction ? " down " : " up ")
               + passes[static_cast<int>(e.Pass)] + (e.Ok ? " ok" : " failed");
    }
    // The rows the history window shows, one line of text each.
    QStringList shownLines()
    {
        form->HistoryWindow->Refresh();
        form->HistoryWindow->HistoryView->clearSelection();
        return form->HistoryWindow->SelectionText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace

TEST_F(HistoryTest, ManualWatchAndDaemonTransfersAreListedLoggedAndNotifiedOncePerStreak)
{
    NoticeBus notices;
    ASSERT_TRUE(notices.bus.isReady()) << notices.bus.errorString().toStdString();
    ASSERT_TRUE(notices.serve(false));
    form->Notifier = new DesktopNotifier(notices.connection(), form);
    form->LogFileEnabled = true;

    writeLocal("a.html", "aa");
    writeLocal("b.html", "bb");
    ASSERT_NO_FATAL_FAILURE(connect());
    showLocal();
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"a.html"}));
    form->UploadExecute();
    ASSERT_EQ(form->History.Count(), 1u);
    EXPECT_EQ(newest(), "a.html 2 up manual ok");

    // A watch pass the server refuses, twice: two failures, one notice.
    form->DisconnectActionExecute();
    ASSERT_NO_FATAL_FAILURE(
        connect(testsupport::ftpfault::refuse(QStringLiteral("STOR"), QStringLiteral("550 Refused here."))));
    serveFile("a.html", "aa");
    serveFile("b.html", "bb");
    showRemote();
    enterWatch();
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Watching);
    EXPECT_FALSE(form->Tray->StateIcon().isNull());
    app.dialogs().allowMessages();
    writeLocal("a.html", "a, edited");
    form->TimerDemonTimer();
    form->TimerDemonTimer();
    ASSERT_GE(form->History.Count(), 3u);
    EXPECT_EQ(newest(), "a.html 9 up watch failed");
    const std::string &reply = form->History.Newest(0).Result;
    EXPECT_NE(reply.find("550 Refused here."), std::string::npos) << reply;
    EXPECT_EQ(form->History.Newest(1).PassNumber + 1, form->History.Newest(0).PassNumber);
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Failing);
    ASSERT_TRUE(testsupport::waitUntil([&] { return form->Notifier->answered() >= 1; }, 10000));
    EXPECT_EQ(notices.summaries, QStringList{QStringLiteral("自動UPの送信に失敗しました")});

    // The retry that succeeds ends the streak: one more notice, at most a
    // (compressed) minute later. The tray's menu then ends the watch.
    server.setFaults({});
    ASSERT_TRUE(server.restart());
    form->TimerDemonTimer();
    EXPECT_EQ(newest(), "a.html 9 up watch ok");
    ASSERT_TRUE(testsupport::waitUntil([&] { return notices.summaries.size() >= 2; }, 10000));
    EXPECT_EQ(notices.summaries.last(), QStringLiteral("自動UPの送信が回復しました"));
    form->Tray->StopAction->trigger();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_FALSE(form->TimerDemon->isActive());
    EXPECT_FALSE(SingleAutoUpForm->isVisible());
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Off);

    // A download daemon pass.
    serveFile("c.html", "from the server");
    showRemote();
    app.dialogs().expectContaining(testsupport::ScriptedDialogs::Kind::WarnYesNo,
                                   QStringLiteral("「AutoDownloadDaemon」"),
                                   testsupport::ScriptedDialogs::Answer::Yes);
    form->BitBtnAutoDownDaemonClick();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return form->History.Count() > 0 && form->History.Newest(0).Path == "c.html"; }, 10000));
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    EXPECT_EQ(newest(), "c.html 15 down daemon ok");

    // The window lists them newest first; the filter keeps the failures.
    form->ShowHistory->trigger();
    ASSERT_TRUE(form->HistoryWindow && form->HistoryWindow->isVisible());
    const QStringList all = shownLines();
    ASSERT_EQ(static_cast<size_t>(all.size()), form->History.Count());
    EXPECT_TRUE(all.first().contains(QStringLiteral("c.html\t15\t"))) << all.first().toStdString();
    EXPECT_TRUE(all.last().contains(QStringLiteral("\t手動"))) << all.last().toStdString();
    form->HistoryWindow->CheckFailuresOnly->setChecked(true);
    const QStringList failures = shownLines();
    EXPECT_EQ(failures.size(), 2);
    for (const QString &line : failures)
        EXPECT_TRUE(line.contains(QStringLiteral("失敗: 550 Refused here."))) << line.toStdString();
    // Entries arriving while filtered: only the failure shows, at the top.
    HistoryEntry late = form->History.Newest(0);
    form->History.Add(late);
    late.Ok = false;
    late.Result = "late";
    form->History.Add(late);
    const QStringList later = shownLines();
    ASSERT_EQ(later.size(), 3);
    EXPECT_TRUE(later.first().contains(QStringLiteral("失敗: late"))) << later.first().toStdString();
    EXPECT_EQ(later.mid(1), failures);
    form->HistoryWindow->HistoryView->selectRow(2);
    EXPECT_EQ(form->HistoryWindow->SelectionText(), failures[1] + QLatin1Char('\n'));

    // The log file has the same lines, oldest first.
    ASSERT_TRUE(form->HistoryLogFile);
    form->HistoryLogFile->Flush();
    QStringList logged = QString::fromStdString(testsupport::readFileBytes(form->HistoryLogFile->Path()))
                             .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    std::reverse(logged.begin(), logged.end());
    EXPECT_EQ(logged, all) << "the entries added by the test itself are not logged";
    EXPECT_EQ(notices.summaries.size(), 2) << "the daemon's files went up: nothing to tell";

    // The connection lost during the watch: the pass cannot reach the server
    // and the watch ends; one notice, and none held back for later.
    ASSERT_TRUE(form->Connected);
    enterWatch();
    server.stop();
    writeLocal("b.html", "b, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Off);
    ASSERT_TRUE(testsupport::waitUntil([&] { return notices.summaries.size() >= 3; }, 10000));
    EXPECT_EQ(notices.summaries.last(), QStringLiteral("ホストとの接続が切れました"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return form->Notifier->answered() == 3; }, 10000));
    EXPECT_FALSE(form->NoticeTimer->isActive());
    EXPECT_EQ(notices.summaries.size(), 3);
}

// No service on the bus, then one that never answers: a notice is given up or
// left outstanding, and the caller never waits for it.
TEST(DesktopNotices, NoServiceOrAHangingOneNeverHoldsTheCaller)
{
    NoticeBus notices;
    ASSERT_TRUE(notices.bus.isReady()) << notices.bus.errorString().toStdString();
    DesktopNotifier nobody(notices.connection());
    nobody.notify(QStringLiteral("s"), QStringLiteral("b"), QString());
    ASSERT_TRUE(testsupport::waitUntil([&] { return nobody.unanswered() == 1; }, 10000));
    EXPECT_EQ(nobody.answered(), 0);

    ASSERT_TRUE(notices.serve(true));
    DesktopNotifier notifier(notices.connection());
    QElapsedTimer clock;
    clock.start();
    notifier.notify(QStringLiteral("1"), QString(), QString());
    notifier.notify(QStringLiteral("2"), QString(), QString());
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(notifier.waiting());
}

#include "test_history.moc"
