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
#include "ui/SpeedButton.h"
#include "ui/Timer.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTableView>

namespace {

// The desktop's notification service, as the test registers it on the bus.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
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

// A session bus of the test's own (the shared fixture's dbus-daemon), the
// program's connection to it, and the test's notification service on it when asked.
class NoticeBus {
public:
    ~NoticeBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("vexmora-test-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("vexmora-test-service"));
    }
    bool isReady() const { return bus.isReady(); }
    QDBusConnection client()
    {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()),
                                             QStringLiteral("vexmora-test-client"));
    }
    bool registerService(NotificationService *service)
    {
        QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(bus.address()),
                                                                   QStringLiteral("vexmora-test-service"));
        return connection.registerService(QStringLiteral("org.freedesktop.Notifications"))
               && connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), service,
                                            QDBusConnection::ExportAllSlots);
    }

    testsupport::PrivateBus bus{testsupport::PrivateBus::Service::None};
};

class HistoryTest : public transfertest::TransferTest {
protected:
    void TearDown() override
    {
        endAutomation();
        TransferTest::TearDown();
    }
    void serveAndList(const std::vector<std::pair<std::string, std::string>> &files)
    {
        for (const auto &[name, data] : files)
            serveFile(name, data);
        showRemote();
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
    NoticeBus bus;
    ASSERT_TRUE(bus.isReady()) << bus.bus.errorString().toStdString();
    NotificationService service;
    ASSERT_TRUE(bus.registerService(&service));
    form->Notifier = new DesktopNotifier(bus.client(), form);
    form->LogFileEnabled = true;

    writeLocal("a.html", "aa");
    writeLocal("b.html", "bb");
    ASSERT_NO_FATAL_FAILURE(connect());
    showLocal();
    ASSERT_NO_FATAL_FAILURE(select(form->LocalFileListV, {"a.html"}));
    form->UploadExecute();
    ASSERT_EQ(form->History.Count(), 1u);
    EXPECT_TRUE(form->History.Newest(0).Ok);
    EXPECT_EQ(form->History.Newest(0).Path, "a.html");
    EXPECT_EQ(form->History.Newest(0).Size, 2);
    EXPECT_EQ(form->History.Newest(0).Pass, PassKind::Manual);

    // A watch pass the server refuses, twice: two failures, one notice.
    form->DisconnectActionExecute();
    ASSERT_NO_FATAL_FAILURE(
        connect(testsupport::ftpfault::refuse(QStringLiteral("STOR"), QStringLiteral("550 Refused here."))));
    serveAndList({{"a.html", "aa"}, {"b.html", "bb"}});
    enterWatch();
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Watching);
    app.dialogs().allowMessages();
    writeLocal("a.html", "a, edited");
    form->TimerDemonTimer();
    form->TimerDemonTimer();
    ASSERT_GE(form->History.Count(), 3u);
    const HistoryEntry refused = form->History.Newest(0);
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Path, "a.html");
    EXPECT_NE(refused.Result.find("550 Refused here."), std::string::npos) << refused.Result;
    EXPECT_EQ(refused.Pass, PassKind::Watch);
    EXPECT_EQ(form->History.Newest(1).PassNumber + 1, refused.PassNumber);
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Failing);
    ASSERT_TRUE(testsupport::waitUntil([&] { return form->Notifier->answered() >= 1; }, 10000));
    EXPECT_EQ(service.summaries, QStringList{QStringLiteral("自動UPの送信に失敗しました")});

    // The retry that succeeds ends the streak: one more notice, at most a
    // (compressed) minute later.
    server.setFaults({});
    ASSERT_TRUE(server.restart());
    form->TimerDemonTimer();
    EXPECT_TRUE(form->History.Newest(0).Ok);
    EXPECT_EQ(form->History.Newest(0).Path, "a.html");
    EXPECT_EQ(form->History.Newest(0).Pass, PassKind::Watch);
    ASSERT_TRUE(testsupport::waitUntil([&] { return service.summaries.size() >= 2; }, 10000));
    EXPECT_EQ(service.summaries.last(), QStringLiteral("自動UPの送信が回復しました"));
    form->SpeedNormalUp->click();

    // A download daemon pass.
    serveFile("c.html", "from the server");
    showRemote();
    app.dialogs().expectWarning(
        QStringLiteral("これから「AutoDownloadDaemon」に入ります。"
                       "\n\n終了するにはポップアップフォームのキャンセルを押して下さい。\n"
                       "\n※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。"
                       "\n危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!"),
        true);
    form->BitBtnAutoDownDaemonClick();
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return form->History.Count() > 0 && form->History.Newest(0).Path == "c.html"; }, 10000));
    UpDownLoadForm->ButtonCancelClick();
    ASSERT_TRUE(testsupport::waitUntil([] { return !UpDownLoadForm->isVisible(); }, 10000));
    EXPECT_EQ(form->History.Newest(0).Direction, 1);
    EXPECT_EQ(form->History.Newest(0).Pass, PassKind::Daemon);
    EXPECT_EQ(form->History.Newest(0).Size, 15);

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
    EXPECT_EQ(service.summaries.size(), 2) << "the daemon's files went up: nothing to tell";

    // The connection lost during the watch: the pass cannot reach the server
    // and the watch ends; one notice, and none held back for later.
    ASSERT_TRUE(form->Connected);
    enterWatch();
    server.stop();
    writeLocal("b.html", "b, edited");
    form->TimerDemonTimer();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Off);
    ASSERT_TRUE(testsupport::waitUntil([&] { return service.summaries.size() >= 3; }, 10000));
    EXPECT_EQ(service.summaries.last(), QStringLiteral("ホストとの接続が切れました"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return form->Notifier->answered() == 3; }, 10000));
    EXPECT_FALSE(form->NoticeTimer->isActive());
    EXPECT_EQ(service.summaries.size(), 3);
}

TEST_F(HistoryTest, NoServiceOrAHangingOneNeverHoldsTheWindowAndTheTrayStopsTheWatch)
{
    NoticeBus bus;
    ASSERT_TRUE(bus.isReady()) << bus.bus.errorString().toStdString();
    auto *nobody = new DesktopNotifier(bus.client(), form);
    nobody->notify(QStringLiteral("s"), QStringLiteral("b"), QString());
    ASSERT_TRUE(testsupport::waitUntil([&] { return nobody->unanswered() == 1; }, 10000));
    EXPECT_EQ(nobody->answered(), 0);

    NotificationService hanging;
    hanging.hang = true;
    ASSERT_TRUE(bus.registerService(&hanging));
    auto *notifier = new DesktopNotifier(bus.client(), form);
    QElapsedTimer clock;
    clock.start();
    notifier->notify(QStringLiteral("1"), QString(), QString());
    notifier->notify(QStringLiteral("2"), QString(), QString());
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(notifier->waiting());

    writeLocal("a.html", "aa");
    ASSERT_NO_FATAL_FAILURE(connect());
    showLocal();
    enterWatch();
    ASSERT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Watching);
    EXPECT_FALSE(form->Tray->StateIcon().isNull());
    form->Tray->StopAction->trigger();
    EXPECT_EQ(form->UploadMode, 0);
    EXPECT_FALSE(form->TimerDemon->isActive());
    EXPECT_FALSE(SingleAutoUpForm->isVisible());
    EXPECT_EQ(form->Tray->CurrentState(), TTrayIcon::State::Off);
}

#include "test_history.moc"
