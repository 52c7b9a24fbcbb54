// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's history of transfers (with its window and log file), the
// desktop notices about automatic work and the tray icon while it runs.
#include "app/MainForm.h"

#include "app/session/Ftpfunc.h"
#include "app/windows/History.h"
#include "app/windows/TrayIcon.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "ui/Clock.h"
#include "ui/ComboBox.h"
#include "ui/DesktopNotifier.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/SpeedButton.h"
#include "ui/Text.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <chrono>
#include <sys/stat.h>

namespace {

// Program time for the notices' minute: real time stretched by the clock's
// scale, so that tests with compressed time see the same rule.
int64_t programMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return static_cast<int64_t>(static_cast<double>(clock.elapsed()) / ui::Clock::scale());
}

int64_t fileSize(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

std::string failureText(uint32_t code)
{
    const std::string text = GetErrorText(code);
    // 12003 is the server's refusal: its reply says it all.
    if (code == platform::err::InternetExtendedError && !text.empty())
        return text;
    return std::to_string(code) + (text.empty() ? "" : " " + text);
}

bool automaticPass(PassKind kind)
{
    return kind == PassKind::Watch || kind == PassKind::Daemon;
}

} // namespace

void TMainForm::BuildHistoryParts()
{
    ShowHistory = new QAction(this);
    ShowHistory->setObjectName(QStringLiteral("ShowHistory"));
    ShowHistory->setText(ui::translate("MainForm", "履歴"));
    ShowHistory->setToolTip(ui::translate("MainForm", "履歴"));
    ShowHistory->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    ToolBar1->addSeparator();
    ToolButtonHistory = new QToolButton(ToolBar1);
    ToolButtonHistory->setObjectName(QStringLiteral("ToolButtonHistory"));
    ToolButtonHistory->setDefaultAction(ShowHistory);
    ToolButtonHistory->setAutoRaise(true);
    ToolButtonHistory->setFocusPolicy(Qt::NoFocus);
    ToolBar1->addWidget(ToolButtonHistory);
    connect(ShowHistory, &QAction::triggered, this, &TMainForm::ShowHistoryExecute);

    Notifier = new DesktopNotifier(this);
    Tray = new TTrayIcon(this);
    connect(Tray, &TTrayIcon::showMainRequested, this, [this] {
        showNormal();
        raise();
        activateWindow();
    });
    connect(Tray, &TTrayIcon::showHistoryRequested, this, &TMainForm::ShowHistoryExecute);
    connect(Tray, &TTrayIcon::stopRequested, this, [this] {
        if (UploadMode != 0)
            SpeedAutoUpClick(SpeedNormalUp);
        if (UpDownLoadForm && UpDownLoadForm->isVisible()
            && (UpDownLoadForm->Tag == 2 || UpDownLoadForm->Tag == 3))
            UpDownLoadForm->ButtonCancelClick();
        UpdateTray();
    });
    connect(Tray, &TTrayIcon::pollRequested, this, &TMainForm::UpdateTray);

    NoticeTimer = new QTimer(this);
    NoticeTimer->setSingleShot(true);
    connect(NoticeTimer, &QTimer::timeout, this, [this] {
        if (const std::optional<NoticeKind> notice = Notices.Due(programMs()))
            SendNotice(*notice);
        ScheduleHeldNotice();
    });
}

void TMainForm::ShowHistoryExecute()
{
    if (!HistoryWindow)
        HistoryWindow = new THistoryForm(History, this);
    HistoryWindow->show();
    HistoryWindow->raise();
    HistoryWindow->activateWindow();
}

std::function<void(int)> TMainForm::RecordTransfer(int direction, const std::string &localPath,
                                                   const std::string &remotePath,
                                                   std::function<void(int)> then)
{
    std::string path = localPath;
    if (path.starts_with('/')) {
        const std::string &folder = ComboLocalDir->textBytes();
        const std::string prefix = folder + (folder.ends_with('/') ? "" : "/");
        // Else a staged copy (the backup store) of the file of that name.
        path = path.starts_with(prefix) ? path.substr(prefix.size()) : remotePath;
    }
    if (++Tally.Started == 1 && automaticPass(CurrentPass))
        UpdateTray();
    return [this, direction, localPath, path = std::move(path), pass = CurrentPass,
            number = CurrentPassNumber, started = std::chrono::steady_clock::now(),
            then = std::move(then)](int done) {
        HistoryEntry entry;
        entry.Time = QDateTime::currentMSecsSinceEpoch();
        entry.Direction = direction;
        entry.Path = path;
        entry.Size = fileSize(localPath);
        entry.DurationMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
                .count();
        entry.Ok = done != 0;
        entry.Pass = pass;
        entry.PassNumber = number;
        if (done) {
            ++Tally.Sent;
        } else {
            const uint32_t code = platform::lastError();
            entry.Result = failureText(code);
            Tally.Lost = Tally.Lost || platform::isConnectionLoss(code);
            if (Tally.Failed++ == 0)
                Tally.FirstFailure = ui::displayText(path) + ": " + entry.Result;
        }
        if (LogFileEnabled) {
            if (!HistoryLogFile) {
                const std::string file = ProgramDir + (ProgramDir.ends_with('/') ? "" : "/") + HistoryLogName;
                HistoryLogFile = std::make_unique<HistoryLog>(file, [this, file](const std::string &why) {
                    // Told once, on the interface thread; the history goes on.
                    QMetaObject::invokeMethod(
                        this,
                        [file, why] {
                            ui::dialogs().message(
                                ui::fillQ(ui::translate("MainForm", "ﾛｸﾞﾌｧｲﾙに書き込めません。\n%1\n(%2)"),
                                          {file, why}));
                        },
                        Qt::QueuedConnection);
                });
            }
            HistoryLogFile->Append(HistoryLine(entry));
        }
        History.Add(std::move(entry));
        if (HistoryWindow)
            HistoryWindow->EntriesPosted();
        then(done);
    };
}

TMainForm::PassScope::PassScope(TMainForm *form, PassKind kind)
    : m_form(form), m_outerKind(form->CurrentPass), m_outerNumber(form->CurrentPassNumber)
{
    int &count = kind == PassKind::Watch    ? form->WatchPassCount
                 : kind == PassKind::Daemon ? form->DaemonPassCount
                                            : form->LoopPassCount;
    form->CurrentPass = kind;
    form->CurrentPassNumber = ++count;
    form->Tally = {};
}

TMainForm::PassScope::~PassScope()
{
    TMainForm *form = m_form;
    const PassKind kind = form->CurrentPass;
    form->CurrentPass = m_outerKind;
    form->CurrentPassNumber = m_outerNumber;
    if (!automaticPass(kind))
        return;
    const PassTally tally = form->Tally;
    form->Tally = {};
    // A pass that could not reach the server sent nothing and lost the connection.
    // (A watch pass runs only when it has files to send.)
    const bool lost = tally.Lost || ((kind == PassKind::Watch || tally.Started > 0) && !SessionOpen());
    if (tally.Failed > 0)
        form->NoticeFailure = tally.Failed > 1
                                  ? ui::fill(ui::translate("MainForm", "%1\n他 %2 件"),
                                             {tally.FirstFailure, std::to_string(tally.Failed - 1)})
                                  : tally.FirstFailure;
    if (const std::optional<NoticeKind> notice =
            form->Notices.PassEnded(tally.Failed, tally.Sent, lost, programMs()))
        form->SendNotice(*notice);
    form->ScheduleHeldNotice();
    form->UpdateTray();
}

void TMainForm::SendNotice(NoticeKind kind)
{
    switch (kind) {
    case NoticeKind::Failed:
        Notifier->notify(ui::translate("MainForm", "自動UPの送信に失敗しました"), ui::toQ(NoticeFailure),
                         QStringLiteral("dialog-error"));
        break;
    case NoticeKind::ConnectionLost:
        Notifier->notify(ui::translate("MainForm", "ホストとの接続が切れました"),
                         ui::toQ(ui::displayText(ConnectedServer())), QStringLiteral("network-error"));
        break;
    case NoticeKind::Recovered:
        Notifier->notify(ui::translate("MainForm", "自動UPの送信が回復しました"),
                         ui::translate("MainForm", "失敗していたﾌｧｲﾙを送信しました。"),
                         QStringLiteral("dialog-information"));
        break;
    }
}

void TMainForm::ScheduleHeldNotice()
{
    const int64_t wait = Notices.WaitMs(programMs());
    if (wait < 0)
        NoticeTimer->stop();
    else
        NoticeTimer->start(ui::Clock::scaled(static_cast<int>(std::min<int64_t>(wait, 3600 * 1000)) + 1));
}

void TMainForm::UpdateTray()
{
    const bool running = automaticPass(CurrentPass) && Tally.Started > 0;
    const bool failing = Notices.InStreak() || !FailureStreak.empty();
    Tray->SetState(TTrayIcon::StateOf(AutomaticWork(), running, failing));
}
