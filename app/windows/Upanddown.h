// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Form.h"
#include "ui/Thread.h"

#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QSemaphore;

namespace ui {
class StatusBar;
}

class TUpDownLoadForm;
class TransferRun;

// Names of the operations by OperationCode: upload, download, download daemon,
// upload daemon.
extern const char *const OperationNames[4];

// Work steps since the start of the current run, and since the last successful
// daemon transfer or periodic refresh. Reset by the worker when a run starts;
// counted on the user-interface thread by WorkStep.
extern std::atomic<int> PassCount;
extern std::atomic<int> IdleCount;

// The worker of one progress-window run. It decides what comes next and hands
// every real step to the user-interface thread (TUpDownLoadForm::WorkStep) as a
// synchronised call, waiting until it returns, so steps never overlap. The FTP
// calls a step makes run on the session thread (Ftpfunc) while the
// user-interface thread keeps painting and takes the Cancel. It deletes itself
// when its run ends (the window's Worker pointer then becomes null).
//
// Threads: State is written by Cancel on the user-interface thread and read by
// the worker at every test, hence atomic. Index is written by the worker and read
// by WorkStep while the worker waits for it. The other fields belong to the
// daemon passes, which run on the user-interface thread while the worker waits.
class TCounterThread : public ui::Thread {
    Q_OBJECT
public:
    enum { Running = 0, Ended = 2, Cancelled = 3 };

    TCounterThread(TUpDownLoadForm *form, std::shared_ptr<QSemaphore> gate);
    ~TCounterThread() override;

    std::atomic<int> State{Running}; // 0 running, 2 ended normally, 3 cancelled
    int Index = 0;                   // transfer-list row of the next work step
    bool IsDataFile = false;         // upload daemon: current file is ".DAT" or ".TXT"
    int DownCount = 0;               // files downloaded by the download daemon
    int UpCount = 0;                 // files uploaded by the upload daemon
    bool Transferred = false;        // the last daemon transfer succeeded
    bool FirstPass = false;          // the upload daemon has not finished its first pass
    std::string FileName;            // scratch texts of the file a daemon pass handles:
    std::string FullPath;            //   its name, its full local path
    std::string UpperExt;            //   and its extension in upper case
    int RemoteFileTotal = 0;         // files handed on by the last remote comparison listing

protected:
    // The thread body (the program's Execute).
    void execute() override;

private:
    TUpDownLoadForm *m_form;
    std::shared_ptr<QSemaphore> m_gate;
};

// The progress window through which every long batch runs: manual transfers,
// threaded automatic upload passes, deletions and the two daemons. The caller
// sets Tag (run mode), OperationCode, the transfer list and the main window's
// CancelRequested, then shows the window: modally for tags other than 2 and 3,
// modeless for the daemons (2 download, 3 upload). Showing starts the worker; the
// worker closes the window at the end of its run. Tag 999 deletes the pending
// rows (OperationCode 0 local, 1 remote); any other tag transfers them once.
//
// The window has no close box; while a worker runs, only the worker closes it.
class TUpDownLoadForm : public ui::Form {
    Q_OBJECT
public:
    explicit TUpDownLoadForm(QWidget *owner = nullptr);
    ~TUpDownLoadForm() override;

    // --- Controls ---
    QMenuBar *MainMenu1;
    QAction *N1; // menu item "キャンセル"
    QLabel *MyLabel;
    QLabel *LabelCount;
    QPushButton *ButtonCancel;
    QProgressBar *ProgressBar;
    ui::StatusBar *StatusBar1;

    // --- Fields ---
    int Tag = -1;                    // run mode: 2, 3, 999 or any other
    int OperationCode = 0;           // 0 upload, 1 download, 2/3 daemons; delete: 0 local, 1 remote
    QPointer<TCounterThread> Worker; // worker of the current run, null once it has ended
    bool WorkerStarted = false;      // a worker was started and not yet stopped
    std::string StatusText;          // status line of the daemon passes
    // A transfer run outlives a lost connection (see TransferRun): set for the
    // user's own runs, whose remaining rows go on after one reconnect.
    bool ReconnectsOnLoss = false;
    std::shared_ptr<QSemaphore> GateEvent;

    // --- Handlers and operations ---
    void FormShow();
    void StartWorker();
    // One step of the run, on the user-interface thread.
    void WorkStep();
    void ButtonCancelClick();
    void N1Click();
    void FormClose();
    void StopWorker();

    // The bar of a plain run within the current row: bytes of total done.
    void ShowFileProgress(uint64_t bytes, uint64_t total);
    // A run over several connections: the bytes its files have moved so far,
    // over the sizes of all its rows (known at its start).
    void ShowRunProgress(uint64_t moved);

    // RefreshRemoteList, then RefreshLocalList of the main window.
    virtual void RefreshBothLists();

protected:
    bool closeQuery() override;
    void closed() override;
    void shown() override;

    // --- Where a run meets the main window ---
    // Sets the main window's AutoBusy (at show).
    virtual void SetAutoBusy();
    // Hands the controls back (at close) unless the main window's busy section
    // that showed this window still runs.
    virtual void EndMainBusy();
    // TransferCount of the transfer list, and a row's Pending flag; read by the worker thread.
    virtual int TransferRowCount() const;
    virtual bool RowPending(int row) const;
    // Sets Done of a row.
    virtual void SetRowDone(int row);
    // TransferOne(OperationCode, LocalPath, RemotePath) of a row; `ended` runs
    // when its file has ended (at once, or later in a run of several connections).
    virtual void TransferRow(int row, std::function<void()> ended);
    // Deletes a row's LocalPath (OperationCode 0) or RemotePath (1).
    virtual void DeleteRow(int row);
    // One pass of the download and the upload daemon.
    virtual void DownloadDaemonPass();
    virtual void UploadDaemonPass();
    // The main window's part of a Cancel: CancelRequested; for a daemon also
    // DownDaemonActive cleared and TimerDemon stopped.
    virtual void CancelOnMainWindow(bool daemon);

private:
    friend class TCounterThread;

    bool IsDaemon() const { return Tag == 2 || Tag == 3; }
    QString OperationName() const;
    // Run start and end, called by the worker through the synchronised call.
    void PrepareProgress(int maximum);
    // Waits for the files of the run still under way (several connections).
    void EndTransfers();
    void FinishRun(int state);
    // A transfer row has ended: with several connections the bar counts ended rows.
    void RowEnded(int row);
    bool Parallel() const;
    // The bar's value in a transfer run: rows started, or ended with several connections.
    int RowsShown() const;
    // "<operation> (<bar>/<rows>)" in the title.
    void ShowRowCount();

    bool m_closingByWorker = false;
    int m_rows = 0;          // the bar's maximum of the run: its rows, or 100 for a daemon
    int m_ended = 0;         // rows whose transfer has ended
    uint64_t m_runBytes = 0; // the sizes of the run's rows; 0: the bar counts rows
    bool byteBar() const;
    std::unique_ptr<TransferRun> m_run;
};

extern TUpDownLoadForm *UpDownLoadForm;
