// SPDX-License-Identifier: GPL-3.0-or-later
// Widget tests of the four secondary windows: the design-time properties a user
// sees, the timed message window's countdown, the host list window's choice, the
// progress window's run machinery and the monitor window's count and placement.
#include "app/windows/Hostlist.h"
#include "app/windows/Mssg.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "support/ScriptedDialogs.h"
#include "support/TestUtil.h"
#include "ui/Button.h"
#include "ui/Clock.h"
#include "ui/ListView.h"
#include "ui/Placement.h"
#include "ui/StatusBar.h"
#include "ui/Timer.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using testsupport::ScopedScriptedDialogs;

// Runs the event loop in short slices until the condition holds or the time is up.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > timeoutMs)
            return condition();
        QEventLoop slice;
        QTimer::singleShot(5, &slice, &QEventLoop::quit);
        slice.exec();
    }
    return true;
}

class ScopedClockScale {
public:
    explicit ScopedClockScale(double scale) : m_previous(ui::Clock::scale()) { ui::Clock::setScale(scale); }
    ~ScopedClockScale() { ui::Clock::setScale(m_previous); }

private:
    double m_previous;
};

bool hasFlag(const QWidget &w, Qt::WindowType flag)
{
    return w.windowFlags().testFlag(flag);
}

QColor textColour(const QWidget *w)
{
    return w->palette().color(QPalette::WindowText);
}

// ---------------------------------------------------------------------------
// Timed message window

TEST(MssgFormTest, DesignTimeWindowAndControls)
{
    TMssgForm form;
    EXPECT_EQ(MssgForm, &form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("メッセージフォーム"));
    EXPECT_EQ(form.minimumSize(), QSize(277, 128));
    EXPECT_EQ(form.maximumSize(), QSize(277, 128));
    EXPECT_TRUE(hasFlag(form, Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowCloseButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowSystemMenuHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMaximizeButtonHint));

    ASSERT_EQ(form.findChild<QLabel *>(QStringLiteral("MsgLabel")), form.MsgLabel);
    EXPECT_EQ(form.MsgLabel->geometry(), QRect(0, 0, 277, 89));
    EXPECT_EQ(form.MsgLabel->alignment(), Qt::AlignCenter);
    EXPECT_TRUE(form.MsgLabel->wordWrap());
    EXPECT_TRUE(form.MsgLabel->font().bold());
    EXPECT_EQ(form.MsgLabel->font().pixelSize(), 16);
    EXPECT_EQ(textColour(form.MsgLabel), QColor(Qt::red));

    ASSERT_EQ(form.findChild<QPushButton *>(QStringLiteral("ButtonOK")), form.ButtonOK);
    EXPECT_EQ(form.ButtonOK->text(), QStringLiteral("msgA"));
    EXPECT_EQ(form.ButtonOK->geometry(), QRect(56, 96, 89, 25));
    EXPECT_TRUE(form.ButtonOK->isHidden());
    ASSERT_EQ(form.findChild<QPushButton *>(QStringLiteral("ButtonNO")), form.ButtonNO);
    EXPECT_EQ(form.ButtonNO->text(), QStringLiteral("msgB"));
    EXPECT_EQ(form.ButtonNO->geometry(), QRect(152, 96, 81, 25));
    EXPECT_TRUE(form.ButtonNO->isHidden());

    ASSERT_EQ(form.findChild<ui::Timer *>(QStringLiteral("Timer")), form.Timer);
    EXPECT_EQ(form.Timer->interval(), 1000);
    EXPECT_FALSE(form.Timer->isActive()) << "no countdown while the window is hidden";
}

TEST(MssgFormTest, CountdownShowsEachSecondAndAnswersOneAtZero)
{
    ScopedClockScale clock(0.01);
    TMssgForm form;
    QStringList titles;
    QObject::connect(&form, &QWidget::windowTitleChanged, [&titles](const QString &t) { titles << t; });
    testsupport::ModalWatchdog watchdog([&form] { form.ButtonNO->click(); });

    // As the loop upload prepares it: empty caption, countdown 3, timer off.
    form.setWindowTitle(QString());
    titles.clear();
    form.CountdownSeconds = 3;
    form.Answer = 0;
    form.ElapsedTicks = 99;
    form.Timer->setInterval(1000);
    form.Timer->setEnabled(false);
    QString titleAtStart = QStringLiteral("unset");
    int ticksAtStart = -1;
    QTimer::singleShot(0, &form, [&] {
        titleAtStart = form.windowTitle();
        ticksAtStart = form.ElapsedTicks;
    });
    form.showModal();
    ASSERT_FALSE(watchdog.fired());
    EXPECT_EQ(titleAtStart, QString()) << "the first count appears one tick after showing";
    EXPECT_EQ(ticksAtStart, 0);
    EXPECT_EQ(titles, QStringList({QStringLiteral("残り 3秒"), QStringLiteral("残り 2秒"),
                                   QStringLiteral("残り 1秒"), QStringLiteral("残り 0秒")}));
    EXPECT_EQ(form.Answer, 1);
    EXPECT_EQ(form.ElapsedTicks, 4);
    EXPECT_EQ(form.RemainingSeconds, 0);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Timer->isActive());

    // The window is reused: each showing counts afresh; a countdown of 0 ends at the first tick.
    form.setWindowTitle(QString());
    titles.clear();
    form.CountdownSeconds = 0;
    form.Answer = 0;
    form.showModal();
    ASSERT_FALSE(watchdog.fired());
    EXPECT_EQ(titles, QStringList({QStringLiteral("残り 0秒")}));
    EXPECT_EQ(form.Answer, 1);
    EXPECT_EQ(form.ElapsedTicks, 1);
}

TEST(MssgFormTest, ButtonsAnswerAndNothingElseClosesTheWindow)
{
    TMssgForm form; // real time: the countdown cannot run out during the test
    testsupport::ModalWatchdog watchdog([&form] { form.ButtonOK->click(); });
    form.CountdownSeconds = 1000;
    form.ButtonOK->setText(QStringLiteral("再アプロード"));
    form.ButtonOK->show();
    form.ButtonNO->setText(QStringLiteral("停止"));
    form.ButtonNO->show();

    bool stillVisibleAfterClose = false;
    form.Answer = 1;
    QTimer::singleShot(0, &form, [&] {
        form.close(); // a window-manager close, Alt+F4 and the like
        stillVisibleAfterClose = form.isVisible();
        form.ButtonNO->click();
    });
    EXPECT_EQ(form.showModal(), 7);
    EXPECT_TRUE(stillVisibleAfterClose);
    EXPECT_EQ(form.Answer, 0);
    EXPECT_FALSE(form.Timer->isActive());

    form.Answer = 0;
    QTimer::singleShot(0, &form, [&] { form.ButtonOK->click(); });
    EXPECT_EQ(form.showModal(), 1);
    EXPECT_EQ(form.Answer, 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(watchdog.fired());
}

// ---------------------------------------------------------------------------
// Host list window

TEST(HostFormTest, DesignTimeWindowAndControls)
{
    THostForm form;
    EXPECT_EQ(HostForm, &form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ホスト一覧"));
    EXPECT_EQ(form.size(), QSize(324, 253));
    EXPECT_TRUE(hasFlag(form, Qt::WindowCloseButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.Tag, -1);

    ASSERT_EQ(form.findChild<ui::ListView *>(QStringLiteral("ListView1")), form.ListView1);
    EXPECT_EQ(form.ListView1->selectionMode(), QAbstractItemView::SingleSelection);
    ASSERT_EQ(form.ListView1->columnCount(), 2);
    EXPECT_EQ(form.ListView1->headerItem()->text(0), QStringLiteral("ホスト名"));
    EXPECT_EQ(form.ListView1->headerItem()->text(1), QStringLiteral("ユーザー名"));
    EXPECT_EQ(form.ListView1->columnWidth(0), 200);
    EXPECT_TRUE(form.ListView1->header()->stretchLastSection());

    ASSERT_EQ(form.findChild<QWidget *>(QStringLiteral("Panel1")), form.Panel1);
    EXPECT_EQ(form.Panel1->height(), 37);
    const struct {
        QPushButton *button;
        const char *name;
        QString caption;
        QRect geometry;
    } buttons[] = {{form.ButtonSet, "ButtonSet", QStringLiteral("設定"), QRect(10, 6, 75, 25)},
                   {form.ButtonDelete, "ButtonDelete", QStringLiteral("削除"), QRect(106, 6, 75, 25)},
                   {form.ButtonCancel, "ButtonCancel", QStringLiteral("キャンセル"), QRect(232, 6, 75, 25)}};
    for (const auto &b : buttons) {
        EXPECT_EQ(form.Panel1->findChild<QPushButton *>(QString::fromLatin1(b.name)), b.button) << b.name;
        EXPECT_EQ(b.button->text(), b.caption) << b.name;
        EXPECT_EQ(b.button->geometry(), b.geometry) << b.name;
    }
    EXPECT_EQ(form.ButtonDelete->tag(), -1);
}

TEST(HostFormTest, ButtonsReportTheChoiceInTheTags)
{
    ScopedScriptedDialogs dialogs;
    THostForm form;
    testsupport::ModalWatchdog watchdog([&form] { form.ButtonCancel->click(); });
    form.ListView1->addRow({QStringLiteral("ftp.example.jp"), QStringLiteral("taro")}, -1);
    form.ListView1->addRow({QStringLiteral("127.0.0.1"), QStringLiteral("hanako")}, -1);
    form.ListView1->addRow({QStringLiteral("::1"), QStringLiteral("jiro")}, -1);
    const auto resetTags = [&form] {
        form.Tag = -1;
        form.ButtonDelete->setTag(-1);
    };

    // Nothing selected: both buttons only say so; the window stays open until Cancel.
    const QString noHost = QStringLiteral("ホストが指定されていません。");
    dialogs->expectMessage(noHost).expectMessage(noHost);
    bool openAfterNoSelection = false;
    resetTags();
    QTimer::singleShot(0, &form, [&] {
        form.ButtonSet->click();
        form.ButtonDelete->click();
        openAfterNoSelection = form.isVisible();
        form.ButtonCancel->click();
    });
    form.showModal();
    EXPECT_TRUE(openAfterNoSelection);
    EXPECT_EQ(form.Tag, -1);
    EXPECT_EQ(form.ButtonDelete->tag(), -1);
    dialogs->verifyAllMet();

    // Set: No keeps the window open and changes nothing; Yes chooses the row.
    const QString askSet = QStringLiteral("指定のホストに設定してもいいですか？");
    dialogs->expectConfirm(askSet, false).expectConfirm(askSet, true);
    bool openAfterNo = false;
    int tagAfterNo = 0;
    resetTags();
    QTimer::singleShot(0, &form, [&] {
        form.ListView1->selectRow(1);
        form.ButtonSet->click();
        openAfterNo = form.isVisible();
        tagAfterNo = form.Tag;
        form.ButtonSet->click();
    });
    form.showModal();
    EXPECT_TRUE(openAfterNo);
    EXPECT_EQ(tagAfterNo, -1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Tag, 1);
    EXPECT_EQ(form.ButtonDelete->tag(), -1);
    dialogs->verifyAllMet();

    // Delete chooses the row to delete and clears the window's tag.
    dialogs->expectConfirm(QStringLiteral("指定のホストを削除してもいいですか？"), true);
    form.Tag = 0;
    form.ButtonDelete->setTag(-1);
    QTimer::singleShot(0, &form, [&] {
        form.ListView1->clearSelection();
        form.ListView1->selectRow(2);
        form.ButtonDelete->click();
    });
    form.showModal();
    EXPECT_EQ(form.ButtonDelete->tag(), 2);
    EXPECT_EQ(form.Tag, -1);
    dialogs->verifyAllMet();

    // Cancel clears the window's tag; closing by the title bar leaves both tags alone.
    form.Tag = 2;
    QTimer::singleShot(0, &form, [&] { form.ButtonCancel->click(); });
    form.showModal();
    EXPECT_EQ(form.Tag, -1);
    resetTags();
    QTimer::singleShot(0, &form, [&] { form.close(); });
    form.showModal();
    EXPECT_EQ(form.Tag, -1);
    EXPECT_EQ(form.ButtonDelete->tag(), -1);
    EXPECT_FALSE(watchdog.fired());
}

// ---------------------------------------------------------------------------
// Progress window

// A progress window whose main-window side is a scripted transfer list.
class ScriptedRunForm : public TUpDownLoadForm {
public:
    std::vector<bool> pendingRows; // read by the worker thread, fixed during a run
    std::vector<int> handled;      // rows transferred or deleted, in order
    std::vector<int> done;
    QStringList titlesAtStep;
    std::vector<int> maximumAtStep;
    QString labelAtFirstStep;
    int cancelAtRow = -1;
    int autoBusy = 0, endBusy = 0, refreshes = 0, downloadPasses = 0, uploadPasses = 0, cancels = 0;
    bool cancelForDaemon = false;
    int highestBar = 0;
    bool barWrapped = false;

    void RefreshBothLists() override { ++refreshes; }

protected:
    void SetAutoBusy() override { ++autoBusy; }
    void EndMainBusy() override { ++endBusy; }
    int TransferRowCount() const override { return static_cast<int>(pendingRows.size()); }
    bool RowPending(int row) const override { return pendingRows.at(static_cast<size_t>(row)); }
    void SetRowDone(int row) override { done.push_back(row); }
    void TransferRow(int row, std::function<void()> ended) override
    {
        step(row);
        ended();
    }
    void DeleteRow(int row) override { step(row); }
    void DownloadDaemonPass() override
    {
        ++downloadPasses;
        daemonPass();
    }
    void UploadDaemonPass() override
    {
        ++uploadPasses;
        daemonPass();
    }
    void CancelOnMainWindow(bool daemon) override
    {
        ++cancels;
        cancelForDaemon = daemon;
    }

private:
    void recordStep()
    {
        if (titlesAtStep.isEmpty() && handled.empty())
            labelAtFirstStep = MyLabel->text();
        titlesAtStep << windowTitle();
        maximumAtStep.push_back(ProgressBar->maximum());
    }
    void step(int row)
    {
        recordStep();
        handled.push_back(row);
        if (row == cancelAtRow)
            ButtonCancel->click();
    }
    void daemonPass()
    {
        if (downloadPasses + uploadPasses == 1)
            labelAtFirstStep = MyLabel->text();
        const int bar = ProgressBar->value();
        if (bar == 1 && highestBar == 100)
            barWrapped = true;
        highestBar = std::max(highestBar, bar);
    }
};

TEST(UpDownLoadFormTest, DesignTimeWindowAndControls)
{
    TUpDownLoadForm form;
    EXPECT_EQ(UpDownLoadForm, &form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("UpAndLoad"));
    EXPECT_EQ(form.Tag, -1);
    EXPECT_TRUE(hasFlag(form, Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowCloseButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowSystemMenuHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.minimumSize(), QSize(247, form.MainMenu1->sizeHint().height() + 101));

    ASSERT_EQ(form.findChild<QMenuBar *>(QStringLiteral("MainMenu1")), form.MainMenu1);
    ASSERT_EQ(form.MainMenu1->actions().size(), 1);
    EXPECT_EQ(form.MainMenu1->actions().front(), form.N1);
    EXPECT_EQ(form.N1->objectName(), QStringLiteral("N1"));
    EXPECT_EQ(form.N1->text(), QStringLiteral("キャンセル"));

    ASSERT_EQ(form.findChild<QLabel *>(QStringLiteral("MyLabel")), form.MyLabel);
    EXPECT_EQ(form.MyLabel->geometry(), QRect(0, 0, 247, 72));
    ASSERT_EQ(form.findChild<QLabel *>(QStringLiteral("LabelCount")), form.LabelCount);
    EXPECT_EQ(form.LabelCount->pos(), QPoint(107, 81));
    EXPECT_TRUE(form.LabelCount->isHidden());
    EXPECT_EQ(textColour(form.LabelCount), QColor(Qt::red));
    ASSERT_EQ(form.findChild<QPushButton *>(QStringLiteral("ButtonCancel")), form.ButtonCancel);
    EXPECT_EQ(form.ButtonCancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(form.ButtonCancel->geometry(), QRect(81, 45, 105, 25));
    ASSERT_EQ(form.findChild<QProgressBar *>(QStringLiteral("ProgressBar")), form.ProgressBar);
    EXPECT_EQ(form.ProgressBar->minimum(), 0);
    EXPECT_EQ(form.ProgressBar->maximum(), 100);
    EXPECT_EQ(form.ProgressBar->height(), 10);
    ASSERT_EQ(form.findChild<ui::StatusBar *>(QStringLiteral("StatusBar1")), form.StatusBar1);
    EXPECT_EQ(form.StatusBar1->height(), 19);
    EXPECT_EQ(form.StatusBar1->panelCount(), 0);
}

TEST(UpDownLoadFormTest, PlainRunHandlesEachPendingRowOnceAndClosesItself)
{
    ScopedClockScale clock(0.01);
    ScriptedRunForm form;
    testsupport::ModalWatchdog watchdog([&form] { form.ButtonCancel->click(); });
    QStringList titles;
    QObject::connect(&form, &QWidget::windowTitleChanged, [&titles](const QString &t) { titles << t; });

    form.pendingRows = std::vector<bool>(10, false);
    form.pendingRows[2] = form.pendingRows[5] = true;
    form.Tag = 0;
    form.OperationCode = 0;
    form.showModal();
    ASSERT_FALSE(watchdog.fired());

    EXPECT_EQ(form.handled, std::vector<int>({2, 5}));
    EXPECT_EQ(form.done, std::vector<int>({2, 5}));
    EXPECT_EQ(form.titlesAtStep,
              QStringList({QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞ (1/10)"), QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞ (2/10)")}));
    EXPECT_EQ(form.maximumAtStep, std::vector<int>({10, 10}));
    ASSERT_FALSE(titles.isEmpty());
    EXPECT_EQ(titles.front(), QStringLiteral("UpAndDownLoad"));
    EXPECT_EQ(form.labelAtFirstStep,
              QStringLiteral("\nｱｯﾌﾟﾛｰﾄﾞ中です。\n中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。"));
    EXPECT_EQ(form.MyLabel->text(), QStringLiteral("正常終了"));
    EXPECT_FALSE(form.LabelCount->isHidden());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QString());
    EXPECT_FALSE(form.WorkerStarted);
    EXPECT_FALSE(form.ButtonCancel->isEnabled());
    EXPECT_EQ(form.autoBusy, 1);
    EXPECT_EQ(form.endBusy, 1);
    EXPECT_EQ(form.cancels, 0);
    EXPECT_TRUE(waitUntil([&form] { return form.Worker.isNull(); })) << "the worker frees itself";

    // The window is reused with a fresh worker.
    form.handled.clear();
    form.titlesAtStep.clear();
    form.pendingRows.assign(10, false);
    form.pendingRows[0] = true;
    form.OperationCode = 1;
    form.showModal();
    ASSERT_FALSE(watchdog.fired());
    EXPECT_EQ(form.handled, std::vector<int>({0}));
    EXPECT_EQ(form.titlesAtStep, QStringList({QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ (1/10)")}));
    EXPECT_TRUE(waitUntil([&form] { return form.Worker.isNull(); }));
}

TEST(UpDownLoadFormTest, CancelLetsTheCurrentRowFinishAndStartsNoOther)
{
    ScopedClockScale clock(0.01);
    ScriptedRunForm form;
    testsupport::ModalWatchdog watchdog([&form] { form.ButtonCancel->click(); });
    form.pendingRows.assign(10, true);
    form.cancelAtRow = 3;
    form.Tag = 0;
    form.OperationCode = 0;
    form.showModal();
    ASSERT_FALSE(watchdog.fired());

    EXPECT_EQ(form.handled, std::vector<int>({0, 1, 2, 3}));
    EXPECT_EQ(form.done, std::vector<int>({0, 1, 2, 3}));
    EXPECT_EQ(form.cancels, 1);
    EXPECT_FALSE(form.cancelForDaemon);
    EXPECT_EQ(form.MyLabel->text(), QStringLiteral("強制終了"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.ButtonCancel->isEnabled());
    EXPECT_TRUE(waitUntil([&form] { return form.Worker.isNull(); }));
}

TEST(UpDownLoadFormTest, DeleteModeSweepsOnceWithoutMarkingRowsDone)
{
    ScopedClockScale clock(0.01);
    ScriptedRunForm form;
    testsupport::ModalWatchdog watchdog([&form] { form.ButtonCancel->click(); });
    QStringList titles;
    QObject::connect(&form, &QWidget::windowTitleChanged, [&titles](const QString &t) { titles << t; });
    form.pendingRows = {true, false, true, true};
    form.Tag = 999;
    form.OperationCode = 1;
    form.showModal();
    ASSERT_FALSE(watchdog.fired());

    EXPECT_EQ(form.handled, std::vector<int>({0, 2, 3}));
    EXPECT_TRUE(form.done.empty());
    EXPECT_EQ(titles, QStringList({QStringLiteral("Delete"), QStringLiteral("削除 (1/4)"),
                                   QStringLiteral("削除 (2/4)"), QStringLiteral("削除 (3/4)"), QString()}));
    EXPECT_EQ(form.labelAtFirstStep,
              QStringLiteral("\nﾌｧｲﾙ削除中です。\n中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。"));
    EXPECT_EQ(form.MyLabel->text(), QStringLiteral("正常終了"));
    EXPECT_TRUE(waitUntil([&form] { return form.Worker.isNull(); }));
}

TEST(UpDownLoadFormTest, DaemonPassesRunUntilCancelAndEndCancelled)
{
    ScopedClockScale clock(0.01);
    const struct {
        int tag;
        QString caption;
        QString name;
    } daemons[] = {{2, QStringLiteral("AutoDownDaemon"), QStringLiteral("AutoDown監視")},
                   {3, QStringLiteral("AutoUpDaemon"), QStringLiteral("AutoUP監視")}};
    for (const auto &d : daemons) {
        SCOPED_TRACE(d.tag);
        ScriptedRunForm form;
        QStringList titles;
        QObject::connect(&form, &QWidget::windowTitleChanged, [&titles](const QString &t) { titles << t; });
        form.Tag = d.tag;
        form.OperationCode = d.tag;
        form.show(); // daemons run modeless
        const auto passes = [&form] { return form.downloadPasses + form.uploadPasses; };
        ASSERT_TRUE(waitUntil([&] { return passes() >= 150; }, 60000));

        form.close(); // only Cancel or the worker may close it while a run goes on
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.WorkerStarted);

        if (d.tag == 2)
            form.ButtonCancel->click();
        else
            form.N1->trigger();
        ASSERT_TRUE(waitUntil([&form] { return !form.isVisible() && form.Worker.isNull(); }));

        const int total = passes();
        EXPECT_EQ(d.tag == 2 ? form.downloadPasses : form.uploadPasses, total);
        EXPECT_EQ(PassCount.load(), total);
        ASSERT_FALSE(titles.isEmpty());
        EXPECT_EQ(titles.front(), d.caption);
        EXPECT_EQ(form.labelAtFirstStep,
                  QStringLiteral("\n%1中です。\n中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。").arg(d.name));
        // The bar moves by one per pass and wraps to 0 at 100; the lists are
        // refreshed after every 100 passes without a transfer.
        EXPECT_EQ(form.highestBar, 100);
        EXPECT_TRUE(form.barWrapped);
        EXPECT_EQ(form.refreshes, total / 100);
        EXPECT_EQ(form.StatusText,
                  QStringLiteral("Count=0 : idle=%1").arg((total - 1) % 100 + 1).toStdString());
        EXPECT_EQ(form.cancels, 1);
        EXPECT_TRUE(form.cancelForDaemon);
        EXPECT_EQ(form.MyLabel->text(), QStringLiteral("ｷｬﾝｾﾙ終了"));
        EXPECT_FALSE(form.WorkerStarted);
        EXPECT_EQ(form.endBusy, 1);
        // No pass runs after the window closed.
        waitUntil([] { return false; }, 50);
        EXPECT_EQ(passes(), total);
    }
}

TEST(UpDownLoadFormTest, DestroyingTheWindowDuringADaemonRunEndsTheWorker)
{
    ScopedClockScale clock(0.01);
    auto form = std::make_unique<TUpDownLoadForm>();
    form->Tag = 2;
    form->OperationCode = 2;
    form->show();
    ASSERT_TRUE(waitUntil([] { return PassCount >= 5; }));
    QPointer<TCounterThread> worker = form->Worker;
    ASSERT_FALSE(worker.isNull());
    form.reset();
    EXPECT_TRUE(worker.isNull()) << "the worker ended and went with its window";
    const int passes = PassCount;
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(PassCount.load(), passes);
}

// ---------------------------------------------------------------------------
// Monitor window

TEST(SingleAutoUpFormTest, DesignTimeWindowAndControls)
{
    TSingleAutoUpForm form;
    EXPECT_EQ(SingleAutoUpForm, &form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("自動ｱﾌﾟﾛｰﾄﾞ監視中"));
    EXPECT_EQ(form.minimumSize(), QSize(196, 55));
    EXPECT_EQ(form.maximumSize(), QSize(196, 55));
    EXPECT_TRUE(hasFlag(form, Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(hasFlag(form, Qt::WindowCloseButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(hasFlag(form, Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));

    ASSERT_EQ(form.findChild<QLabel *>(QStringLiteral("Label1")), form.Label1);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("起動回数"));
    EXPECT_EQ(form.Label1->geometry(), QRect(0, 0, 196, 36));
    EXPECT_EQ(form.Label1->alignment(), Qt::AlignCenter);
    EXPECT_TRUE(form.Label1->font().bold());
    EXPECT_EQ(form.Label1->font().pixelSize(), 16);
    EXPECT_EQ(textColour(form.Label1), QColor(Qt::red));
    ASSERT_EQ(form.findChild<ui::StatusBar *>(QStringLiteral("StatusBarSingleUp")), form.StatusBarSingleUp);
    EXPECT_EQ(form.StatusBarSingleUp->panelCount(), 2);
}

TEST(SingleAutoUpFormTest, ShowingResetsTheCountAndSitsInTheOwnersTopRightCorner)
{
    TUpDownLoadForm progress;
    progress.Tag = 999;
    progress.OperationCode = 1;
    QWidget owner;
    owner.setGeometry(100, 80, 641, 541);
    owner.show();
    TSingleAutoUpForm form(&owner);
    form.UploadCount = 42;
    form.StatusBarSingleUp->setPanelText(0, QStringLiteral("old.html"));
    form.show();
    ASSERT_TRUE(waitUntil([&form] { return form.isVisible(); }));

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tag=999 : Mode=1"));
    EXPECT_EQ(form.UploadCount, 0);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("起動回数：00000"));
    const QRect main = ui::windowBounds(&owner);
    const QRect own = ui::windowBounds(&form);
    EXPECT_EQ(own.topLeft(), QPoint(main.x() + main.width() - own.width(), main.y()));

    form.MoveFormPos(1);
    const QRect area = ui::workArea(&form);
    EXPECT_EQ(ui::windowBounds(&form).topLeft(), QPoint(area.x() + area.width() - own.width(), area.y()));
    // Centred over the owner, an odd difference rounding toward zero.
    form.MoveFormPos(7);
    EXPECT_EQ(ui::windowBounds(&form).topLeft(), QPoint(main.x() + (main.width() - own.width()) / 2,
                                                        main.y() + (main.height() - own.height()) / 2));

    form.close(); // the close box is allowed and hides the window
    EXPECT_FALSE(form.isVisible());
}

TEST(SingleAutoUpFormTest, CountColoursAndLastFileName)
{
    TSingleAutoUpForm form;
    form.ShowUploadCount("skipped.html"); // nothing counted yet: the name is not shown
    EXPECT_EQ(form.Label1->text(), QStringLiteral("起動回数：00000"));
    EXPECT_EQ(form.StatusBarSingleUp->panelText(0), QString());

    form.ShowPassRunning();
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::red));
    EXPECT_EQ(textColour(form.Label1), QColor(Qt::white));

    form.UploadCount = 7;
    form.ShowUploadCount("更新/about.html");
    EXPECT_EQ(form.Label1->text(), QStringLiteral("起動回数：00007"));
    EXPECT_EQ(form.StatusBarSingleUp->panelText(0), QStringLiteral("更新/about.html"));
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(textColour(form.Label1), QColor(Qt::red));

    form.UploadCount = 8;
    form.ShowUploadCount(""); // end of a pass with an empty list keeps the last name
    EXPECT_EQ(form.Label1->text(), QStringLiteral("起動回数：00008"));
    EXPECT_EQ(form.StatusBarSingleUp->panelText(0), QStringLiteral("更新/about.html"));

    form.UploadCount = 100000;
    form.ShowUploadCount("x.html");
    EXPECT_EQ(form.Label1->text(), QStringLiteral("起動回数：100000"));
}

TEST(FormGlobalsTest, EachWindowIsHeldInItsGlobalForItsLifetime)
{
    {
        THostForm host;
        TUpDownLoadForm progress;
        TMssgForm message;
        TSingleAutoUpForm monitor;
        EXPECT_EQ(HostForm, &host);
        EXPECT_EQ(UpDownLoadForm, &progress);
        EXPECT_EQ(MssgForm, &message);
        EXPECT_EQ(SingleAutoUpForm, &monitor);
    }
    EXPECT_EQ(HostForm, nullptr);
    EXPECT_EQ(UpDownLoadForm, nullptr);
    EXPECT_EQ(MssgForm, nullptr);
    EXPECT_EQ(SingleAutoUpForm, nullptr);
}

} // namespace
