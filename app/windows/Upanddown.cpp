// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows/Upanddown.h"

#include "app/MainForm.h"
#include "app/session/Ftpfunc.h"
#include "ui/Clock.h"
#include "ui/InterfaceWait.h"
#include "ui/Language.h"
#include "ui/Placement.h"
#include "ui/StatusBar.h"
#include "ui/Timer.h"
#include "ui/UpdateThrottle.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QVBoxLayout>
#include <algorithm>
#include <sys/stat.h>

TUpDownLoadForm *UpDownLoadForm = nullptr;

const char *const OperationNames[4] = {
    QT_TRANSLATE_NOOP("UpDownLoadForm", "ｱｯﾌﾟﾛｰﾄﾞ"), QT_TRANSLATE_NOOP("UpDownLoadForm", "ﾀﾞｳﾝﾛｰﾄﾞ"),
    QT_TRANSLATE_NOOP("UpDownLoadForm", "AutoDown監視"), QT_TRANSLATE_NOOP("UpDownLoadForm", "AutoUP監視")};

std::atomic<int> PassCount{0};
std::atomic<int> IdleCount{0};

namespace {
constexpr int ClientWidth = 247;
constexpr int ClientHeight = 101;
constexpr int DeleteTag = 999;
// How long destroying the window waits for a worker still running.
constexpr int WorkerShutdownMs = 30000;
} // namespace

// ---------------------------------------------------------------------------
// TCounterThread

TCounterThread::TCounterThread(TUpDownLoadForm *form, std::shared_ptr<QSemaphore> gate)
    : ui::Thread(form), m_form(form), m_gate(std::move(gate))
{
    setObjectName(QStringLiteral("CounterThread"));
}

TCounterThread::~TCounterThread() = default;

void TCounterThread::execute()
{
    TUpDownLoadForm *form = m_form;
    PassCount = 0;
    IdleCount = 0;
    DownCount = 0;
    UpCount = 0;
    Transferred = false;
    State = Running;
    FirstPass = true;

    // Tag and the transfer list are set before the window is shown and nothing
    // changes them during the run.
    const bool daemon = form->IsDaemon();
    const int rows = daemon ? 0 : form->TransferRowCount();
    synchronize([form, daemon, rows] { form->PrepareProgress(daemon ? 100 : rows); });

    m_gate->acquire();
    m_gate->release();

    while (!terminateRequested()) {
        if (!daemon) {
            // Exactly one sweep over the rows: no row is handled twice.
            if (State >= Ended)
                break;
            for (int row = 0; row < rows && State != Cancelled && !terminateRequested(); ++row) {
                if (form->RowPending(row)) {
                    Index = row;
                    synchronize([form] { form->WorkStep(); });
                }
            }
            synchronize([form] { form->EndTransfers(); });
        } else {
            synchronize([form] { form->WorkStep(); });
        }
        if (State != Cancelled)
            State = Ended;
    }

    const int state = State;
    synchronize([form, state] { form->FinishRun(state); });
}

// ---------------------------------------------------------------------------
// TUpDownLoadForm

TUpDownLoadForm::TUpDownLoadForm(QWidget *owner)
    : ui::Form(owner), MainMenu1(new QMenuBar(this)), N1(nullptr), MyLabel(nullptr), LabelCount(nullptr),
      ButtonCancel(nullptr), ProgressBar(nullptr), StatusBar1(nullptr)
{
    UpDownLoadForm = this;
    setObjectName(QStringLiteral("UpDownLoadForm"));
    // Cancel keeps working while the interface thread waits for the network.
    ui::acceptInputWhileWaiting(this);
    setWindowTitle(QStringLiteral("UpAndLoad"));
    // Title only: no title-bar buttons and no system menu.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setStayOnTop(true);

    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);
    N1 = MainMenu1->addAction(ui::translate("UpDownLoadForm", "キャンセル"));
    N1->setObjectName(QStringLiteral("N1"));
    connect(N1, &QAction::triggered, this, &TUpDownLoadForm::N1Click);

    // The client area below the menu bar; its controls sit at fixed positions.
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);

    MyLabel = new QLabel(client);
    MyLabel->setObjectName(QStringLiteral("MyLabel"));
    MyLabel->setGeometry(0, 0, ClientWidth, 72);
    MyLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    MyLabel->setTextFormat(Qt::PlainText);

    StatusBar1 = new ui::StatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 72, ClientWidth, 19);

    ProgressBar = new QProgressBar(client);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(0, 91, ClientWidth, 10);
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);

    ButtonCancel = new QPushButton(ui::translate("UpDownLoadForm", "キャンセル"), client);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setGeometry(81, 45, 105, 25);
    connect(ButtonCancel, &QPushButton::clicked, this, &TUpDownLoadForm::ButtonCancelClick);

    LabelCount = new QLabel(client);
    LabelCount->setObjectName(QStringLiteral("LabelCount"));
    LabelCount->setGeometry(107, 81, ClientWidth - 107, 15);
    LabelCount->setTextFormat(Qt::PlainText);
    QPalette countPalette = LabelCount->palette();
    countPalette.setColor(QPalette::WindowText, Qt::red);
    LabelCount->setPalette(countPalette);
    LabelCount->hide();
    LabelCount->raise();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(client);
    setFixedBorder(true, ClientWidth, MainMenu1->sizeHint().height() + ClientHeight);
}

TUpDownLoadForm::~TUpDownLoadForm()
{
    // A worker still running calls back into this window: end it and let its
    // last synchronised calls run before the controls go away.
    if (Worker && Worker->isRunning()) {
        if (GateEvent)
            GateEvent->release();
        Worker->State = TCounterThread::Cancelled;
        Worker->requestTerminate();
        m_closingByWorker = true;
        const QDeadlineTimer deadline(WorkerShutdownMs);
        while (Worker && !Worker->wait(10) && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (UpDownLoadForm == this)
        UpDownLoadForm = nullptr;
}

QString TUpDownLoadForm::OperationName() const
{
    if (OperationCode < 0 || OperationCode > 3)
        return QString();
    return ui::translate("UpDownLoadForm", OperationNames[OperationCode]);
}

void TUpDownLoadForm::shown()
{
    ui::centerOn(this, parentWidget());
    FormShow();
}

void TUpDownLoadForm::FormShow()
{
    ProgressBar->show();
    SetAutoBusy();
    ResetDownloadCancel();
    const QString running =
        ui::translate("UpDownLoadForm", "\n%1中です。\n中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。")
            .arg(OperationName());
    switch (Tag) {
    case 2:
        setWindowTitle(QStringLiteral("AutoDownDaemon"));
        MyLabel->setText(running);
        break;
    case 3:
        setWindowTitle(QStringLiteral("AutoUpDaemon"));
        MyLabel->setText(running);
        break;
    case DeleteTag:
        setWindowTitle(QStringLiteral("Delete"));
        MyLabel->setText(
            ui::translate("UpDownLoadForm", "\nﾌｧｲﾙ削除中です。\n中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。"));
        break;
    default:
        setWindowTitle(QStringLiteral("UpAndDownLoad"));
        MyLabel->setText(running);
        break;
    }
    StartWorker();
}

void TUpDownLoadForm::StartWorker()
{
    if (!WorkerStarted) {
        // The gate opens after the start's second, which the window spends
        // painting: the first step never runs inside this handler.
        GateEvent = std::make_shared<QSemaphore>(0);
        auto *worker = new TCounterThread(this, GateEvent);
        connect(worker, &QThread::finished, worker, &QObject::deleteLater);
        Worker = worker;
        worker->start();
        ui::Clock::wait(1000);
        GateEvent->release();
    }
    WorkerStarted = true;
    ButtonCancel->setEnabled(true);
    N1->setEnabled(true);
}

void TUpDownLoadForm::PrepareProgress(int maximum)
{
    m_rows = maximum;
    m_ended = 0;
    m_runBytes = 0;
    if (!IsDaemon() && Tag != DeleteTag) {
        m_run = std::make_unique<TransferRun>(maximum, ReconnectsOnLoss);
        // Over several connections the bar moves with the bytes of the whole run.
        if (m_run->Parallel() && MainForm && (OperationCode == 0 || OperationCode == 1)) {
            for (int row = 0; row < maximum; ++row) {
                if (!RowPending(row))
                    continue;
                const TransferEntry &entry = MainForm->TransferList[row];
                struct stat st {};
                if (OperationCode == 0 && ::stat(entry.LocalPath.c_str(), &st) == 0)
                    m_runBytes += static_cast<uint64_t>(st.st_size);
                else if (OperationCode == 1)
                    m_runBytes +=
                        static_cast<uint64_t>(std::max<int64_t>(0, ListedRemoteSize(entry.RemotePath)));
            }
        }
    }
    ProgressBar->setRange(0, maximum);
    ProgressBar->setValue(0);
    LabelCount->show();
}

void TUpDownLoadForm::WorkStep()
{
    ++PassCount;
    ++IdleCount;
    if (ProgressBar->value() >= ProgressBar->maximum())
        ProgressBar->setValue(0);
    const int downCount = Worker ? Worker->DownCount : 0;
    StatusText = QStringLiteral("Count=%1 : idle=%2").arg(downCount).arg(IdleCount.load()).toStdString();

    if (IsDaemon()) {
        ProgressBar->setValue(ProgressBar->value() + 1);
        if (IdleCount >= 100) {
            IdleCount = 0;
            RefreshBothLists();
        }
    } else if (!byteBar()) {
        ProgressBar->setValue(RowsShown());
    }

    const int row = Worker ? Worker->Index : 0;
    switch (Tag) {
    case 2:
        DownloadDaemonPass();
        break;
    case 3:
        UploadDaemonPass();
        break;
    case DeleteTag:
        setWindowTitle(ui::translate("UpDownLoadForm", "削除 (%1/%2)")
                           .arg(ProgressBar->value())
                           .arg(ProgressBar->maximum()));
        DeleteRow(row);
        break;
    default:
        ShowRowCount();
        TransferRow(row, [this, row] { RowEnded(row); });
        // Back to one step per row after the movement within the file.
        if (!byteBar() && ProgressBar->maximum() != m_rows) {
            ProgressBar->setRange(0, m_rows);
            ProgressBar->setValue(RowsShown());
        }
        break;
    }
}

bool TUpDownLoadForm::Parallel() const
{
    return m_run && m_run->Parallel();
}

int TUpDownLoadForm::RowsShown() const
{
    // With several connections the bar counts the rows that have ended.
    return Parallel() ? m_ended : PassCount.load();
}

void TUpDownLoadForm::ShowRowCount()
{
    // Over several connections the title counts the rows that have ended.
    setWindowTitle(QStringLiteral("%1 (%2/%3)")
                       .arg(OperationName())
                       .arg(Parallel() ? m_ended : ProgressBar->value())
                       .arg(Parallel() ? m_rows : ProgressBar->maximum()));
}

bool TUpDownLoadForm::byteBar() const
{
    return Parallel() && m_runBytes > 0;
}

void TUpDownLoadForm::ShowRunProgress(uint64_t moved)
{
    constexpr uint64_t Steps = 100;
    if (!Worker || !byteBar() || m_rows <= 0)
        return;
    const uint64_t span = static_cast<uint64_t>(m_rows) * Steps;
    ProgressBar->setRange(0, static_cast<int>(span));
    ProgressBar->setValue(static_cast<int>(std::min(moved, m_runBytes) * span / m_runBytes));
}

void TUpDownLoadForm::RowEnded(int row)
{
    ++m_ended;
    // Done whether or not the transfer succeeded: the row was attempted.
    SetRowDone(row);
    if (Parallel()) {
        if (!byteBar())
            ProgressBar->setValue(RowsShown());
        ShowRowCount();
    }
}

void TUpDownLoadForm::EndTransfers()
{
    // The files still under way end while the run is still this window's: the
    // bar and the title go on counting them.
    if (m_run)
        m_run->Finish();
    m_run.reset();
}

void TUpDownLoadForm::ShowFileProgress(uint64_t bytes, uint64_t total)
{
    // A long file moves the bar in hundredths of its row; daemons and deletes
    // count passes and rows only.
    constexpr int Steps = 100;
    if (!Worker || IsDaemon() || Tag == DeleteTag || m_rows <= 0 || total == 0)
        return;
    const int row = std::clamp(PassCount.load() - 1, 0, m_rows - 1);
    const auto within = static_cast<int>(std::min(bytes, total) * Steps / total);
    ProgressBar->setRange(0, m_rows * Steps);
    ProgressBar->setValue(row * Steps + within);
}

void TUpDownLoadForm::FinishRun(int state)
{
    // However the run ended (a Cancel before its first step included), it is
    // no longer the open run.
    m_run.reset();
    ButtonCancel->setEnabled(false);
    N1->setEnabled(false);
    if (state == TCounterThread::Ended)
        MyLabel->setText(ui::translate("UpDownLoadForm", "正常終了"));
    else if (state == TCounterThread::Cancelled)
        MyLabel->setText(IsDaemon() ? ui::translate("UpDownLoadForm", "ｷｬﾝｾﾙ終了")
                                    : ui::translate("UpDownLoadForm", "強制終了"));
    m_closingByWorker = true;
    close();
    m_closingByWorker = false;
}

void TUpDownLoadForm::ButtonCancelClick()
{
    MyLabel->setText(ui::translate("UpDownLoadForm", "キャンセル中"));
    const bool daemon = IsDaemon();
    ButtonCancel->setEnabled(false);
    N1->setEnabled(false);
    // A download under way stops now (the old local file stays); an upload
    // finishes its file, and the worker starts no further step.
    CancelDownload();
    CancelOnMainWindow(daemon);
    // A daemon ended by Cancel reports itself as cancelled too.
    if (Worker) {
        Worker->State = TCounterThread::Cancelled;
        Worker->requestTerminate();
    }
}

void TUpDownLoadForm::N1Click()
{
    ButtonCancelClick();
}

bool TUpDownLoadForm::closeQuery()
{
    // Closing under a running worker would end the busy state while it still
    // works through the rows; Cancel is the way to stop a run.
    return m_closingByWorker || !(Worker && Worker->isRunning());
}

void TUpDownLoadForm::closed()
{
    FormClose();
}

void TUpDownLoadForm::FormClose()
{
    ProgressBar->hide();
    EndMainBusy();
    StopWorker();
    ui::Clock::wait(1000);
}

void TUpDownLoadForm::StopWorker()
{
    ProgressBar->setRange(0, 0);
    ProgressBar->setValue(0);
    setWindowTitle(QString());
    if (Worker)
        Worker->requestTerminate();
    GateEvent.reset();
    WorkerStarted = false;
}

// ---------------------------------------------------------------------------
// Main-window parts of a run. The window also serves without a main window
// (its own tests), so every hook checks for one.
//
// While a run is under way the main window and this one are laid out and
// painted at most every RunPaintIntervalMs: each row changes status texts of
// both, and re-laying out and painting them after every row would cost more
// than a small file's transfer. The event loop keeps running while a step
// waits for the network, so the byte counts of a long transfer show at that
// same rate.

namespace {

constexpr int RunPaintIntervalMs = 50;

ui::UpdateThrottle *runThrottle(TUpDownLoadForm *form)
{
    auto *throttle = form->findChild<ui::UpdateThrottle *>(QString(), Qt::FindDirectChildrenOnly);
    return throttle ? throttle : new ui::UpdateThrottle(RunPaintIntervalMs, form);
}

} // namespace

void TUpDownLoadForm::RefreshBothLists()
{
    if (!MainForm)
        return;
    RefreshRemoteList();
    RefreshLocalList();
}

void TUpDownLoadForm::SetAutoBusy()
{
    if (!MainForm)
        return;
    MainForm->AutoBusy = true;
    runThrottle(this)->start({MainForm, this});
}

void TUpDownLoadForm::EndMainBusy()
{
    runThrottle(this)->stop();
    if (MainForm)
        MainForm->ReleaseLocks();
}

// Read by the worker thread. Nothing writes the count or the Pending flags while
// a run is under way (WorkStep writes only Done, a separate byte).
int TUpDownLoadForm::TransferRowCount() const
{
    return MainForm ? MainForm->TransferList.TransferCount : 0;
}

bool TUpDownLoadForm::RowPending(int row) const
{
    return MainForm && row >= 0 && row < MainForm->TransferList.Rows()
           && MainForm->TransferList[row].Pending == 1;
}

void TUpDownLoadForm::SetRowDone(int row)
{
    if (MainForm && row >= 0 && row < MainForm->TransferList.Rows())
        MainForm->TransferList[row].Done = 1;
}

void TUpDownLoadForm::TransferRow(int row, std::function<void()> ended)
{
    if (!MainForm || row < 0 || row >= MainForm->TransferList.Rows()) {
        ended();
        return;
    }
    const TransferEntry entry = MainForm->TransferList[row];
    MainForm->TransferOne(OperationCode, entry.LocalPath, entry.RemotePath,
                          [ended = std::move(ended)](int) { ended(); });
}

void TUpDownLoadForm::DeleteRow(int row)
{
    if (!MainForm || row < 0 || row >= MainForm->TransferList.Rows())
        return;
    const TransferEntry &entry = MainForm->TransferList[row];
    if (OperationCode == 0)
        DeleteLocalFile(entry.LocalPath);
    else if (OperationCode == 1)
        DeleteRemoteFile(entry.RemotePath);
}

void TUpDownLoadForm::DownloadDaemonPass()
{
    if (!MainForm)
        return;
    MainForm->DownloadDaemonPass();
}

void TUpDownLoadForm::UploadDaemonPass()
{
    if (!MainForm)
        return;
    MainForm->UploadDaemonPass();
}

void TUpDownLoadForm::CancelOnMainWindow(bool daemon)
{
    if (!MainForm)
        return;
    MainForm->CancelRequested = true;
    if (daemon) {
        MainForm->DownDaemonActive = false;
        MainForm->TimerDemon->setInterval(0);
    }
}
