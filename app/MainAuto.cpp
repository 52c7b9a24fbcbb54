// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's automation: change detection against the folder snapshot,
// the watch mode ("自動UP") with its timer, and the upload and download daemons.
#include "app/MainForm.h"

#include "app/model/FileEntry.h"
#include "app/model/ListCompare.h"
#include "app/model/PathRules.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"
#include "ui/Application.h"
#include "ui/Clock.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/InterfaceWait.h"
#include "ui/Language.h"
#include "ui/ListView.h"
#include "ui/RadioGroup.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"
#include "ui/Timer.h"

#include <QCheckBox>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <ctime>
#include <memory>

namespace {

const char *const ReconnectFailed = QT_TRANSLATE_NOOP("MainForm", "ホスト再接続に失敗しました。");

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The snapshot entry of a file: a folder's files come back in the order they
// were recorded, so the entry at the file's own position is tried first; names
// are unique in a folder, so this finds the same entry a front-to-back walk does.
int snapshotIndexOf(const FolderSnapshot &snapshot, const std::string &name, int hint)
{
    if (hint >= 0 && hint < snapshot.SnapshotCount && snapshot[hint].Name == name)
        return hint;
    return snapshot.FindByName(name);
}

// The files of the local folder that the watch looks at (the Target filter),
// without those the ignore file excludes.
std::vector<platform::FindRecord> scanLocalFolder(const TMainForm *form, int target, bool &found)
{
    std::vector<platform::FindRecord> records =
        platform::findLocal(std::string(SnapshotPattern(target)), found);
    std::erase_if(records, [form](const platform::FindRecord &record) {
        return !record.isDirectory() && form->FlatIgnored(record.name);
    });
    return records;
}

void repaintNow(QWidget *widget)
{
    if (widget && widget->isVisible())
        widget->repaint();
}

std::string formatCount(const char *fmt, int a, int b = 0)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, fmt, a, b);
    return buffer;
}

} // namespace

// --- Change detection ---

bool TMainForm::TakeSnapshot()
{
    TreeActive = CheckSubFolders->isChecked();
    if (TreeActive)
        return TakeTreeSnapshot();
    SentStates.clear();
    return FillSnapshot(nullptr);
}

bool TMainForm::RebaseSnapshot()
{
    if (TreeActive)
        return RebaseTree();
    const auto previous = std::make_unique<::FolderSnapshot>(FolderSnapshot);
    const bool found = FillSnapshot(previous.get());
    SentStates.clear();
    return found;
}

// A file written during a pass, the settle wait or the pause is thus never taken
// into the baseline unsent: only what was sent changes it.
bool TMainForm::FillSnapshot(const ::FolderSnapshot *previous)
{
    FolderSnapshot.SnapshotCount = 0;
    LoadIgnoreFile();
    bool found = false;
    const std::vector<platform::FindRecord> records = scanLocalFolder(this, Target->itemIndex(), found);
    if (!found)
        return false;
    for (const platform::FindRecord &record : records) {
        if (record.isDirectory())
            continue;
        if (FolderSnapshot.IsFull()) {
            NoteFileLimit();
            continue;
        }
        TransferList[FolderSnapshot.SnapshotCount].LocalPath = record.name;
        if (!previous) {
            FolderSnapshot.Add(record);
            continue;
        }
        const auto sent = SentStates.find(record.name);
        const int known = snapshotIndexOf(*previous, record.name, FolderSnapshot.SnapshotCount);
        if (sent != SentStates.end()) {
            FolderSnapshot.Add(sent->second);
        } else if (known >= 0) {
            FolderSnapshot.Add((*previous)[known]);
        } else {
            SnapshotEntry entry;
            entry.Name = record.name;
            entry.Unsent = true;
            FolderSnapshot.Add(entry);
        }
    }
    return true;
}

void TMainForm::NoteFileLimit()
{
    if (FileLimitShown)
        return;
    FileLimitShown = true;
    ShowFileLimit(0);
}

bool TMainForm::HasFolderChanged()
{
    if (TreeActive)
        return TreeHasChanged();
    AutoBusy = true;
    const SweepBasis basis{Target->itemIndex(), FolderSnapshot.SnapshotCount, FolderSnapshot.Generation};
    // Asked before the scan: a write during the scan makes the next tick scan.
    const bool folderChanged = LocalWatch.takeChanged(".");
    if (!folderChanged && basis == LastSweep) {
        // Neither the folder, the pattern nor the snapshot changed since a scan
        // found no difference: it would find none again.
        AutoBusy = false;
        return false;
    }
    LastSweep = basis;
    ++FolderScanCount;
    LoadIgnoreFile();
    bool found = false;
    const std::vector<platform::FindRecord> records = scanLocalFolder(this, basis.Target, found);
    if (!found) {
        // A folder that could not be read (not one without matching files) is read again.
        if (platform::lastError() != platform::err::NoMoreFiles)
            LocalWatch.markChanged();
        AutoBusy = false;
        return false;
    }
    // A file that can change without a write in this folder (a link), or whose
    // time is within the last two seconds (a writer through a shared mapping
    // restamps it without any event), keeps the next tick scanning.
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t trustedBefore =
        platform::ticksFromUnix(now.tv_sec - 2, static_cast<uint32_t>(now.tv_nsec));
    bool untrusted = false;
    int position = 0;
    int files = 0;
    for (const platform::FindRecord &record : records) {
        if (record.isDirectory() || files++ >= MAXFILE)
            continue;
        untrusted = untrusted || record.linked || record.lastWriteTime >= trustedBefore;
        if (record.size == 0) {
            ++position;
            continue;
        }
        const int index = snapshotIndexOf(FolderSnapshot, record.name, position++);
        if (index < 0 || !FolderSnapshot[index].SameSizeAndTime(record)) {
            // The difference stays until a snapshot takes it in.
            LocalWatch.markChanged();
            return true;
        }
    }
    if (untrusted)
        LocalWatch.markChanged();
    AutoBusy = false;
    return false;
}

int TMainForm::DetectChanges()
{
    if (TreeActive)
        return DetectTreeChanges();
    AutoBusy = true;
    int n = 0;
    // The index pages as they are named on disk: "index.html" whatever the case.
    std::vector<std::string> indexPages;
    auto list = [&](const std::string &name, const std::string &remoteName, uint64_t size, bool keepSize) {
        if (n >= MAXFILE) {
            NoteFileLimit();
            return;
        }
        TransferEntry &row = TransferList[n];
        row.Pending = 1;
        row.LocalPath = name;
        row.RemotePath = remoteName;
        if (!keepSize)
            row.Size = size;
        ++n;
    };
    bool found = false;
    const std::vector<platform::FindRecord> records = scanLocalFolder(this, Target->itemIndex(), found);
    int position = 0;
    for (const platform::FindRecord &record : records) {
        // Files beyond the snapshot's MAXFILE are not watched.
        if (record.isDirectory() || position >= MAXFILE)
            continue;
        if (AsciiLower(record.name) == "index.html") {
            indexPages.push_back(record.name);
            ++position;
            continue;
        }
        // Only a file of two bytes or more can match its snapshot entry.
        const bool comparable = !trimmed(record.name).empty() && record.size > 1;
        const int index = comparable ? snapshotIndexOf(FolderSnapshot, record.name, position) : -1;
        ++position;
        if (index >= 0 && FolderSnapshot[index].SameSizeAndTime(record))
            continue;
        list(record.name, ServerNameFor(record.name), record.size, false);
    }
    // The page is read from its own name and goes up as "index.html", last. Two
    // pages that differ only in case each keep their name, the lower-case one last.
    if (indexPages.size() == 1) {
        list(indexPages[0], "index.html", 0, true);
    } else {
        std::stable_partition(indexPages.begin(), indexPages.end(),
                              [](const std::string &name) { return name != "index.html"; });
        for (const std::string &name : indexPages)
            list(name, name, 0, true);
    }
    TransferList.TransferCount = n;
    if (n > 0)
        ShowStatus("Detect " + std::to_string(n), 3);
    return n;
}

bool TMainForm::DetectMissingFiles()
{
    if (TreeActive)
        return DetectTreeMissingFiles();
    if (LocalFileCount <= RemoteFileCount)
        return false;
    AutoBusy = true;
    ShowStatus(ui::translated("MainForm", "ﾛｰｶﾙのﾌｧｲﾙ数がﾎｽﾄより多いです。"), 0);
    TransferList.TransferCount = 0;
    const int target = Target->itemIndex();
    for (int i = 0; i < LocalFileListV->rowCount(); ++i) {
        const QTreeWidgetItem *row = LocalFileListV->row(i);
        if (ui::ListView::imageIndex(row) == ImageFolder)
            continue;
        if (SizeTextValue(ui::fromQ(row->text(2))) == 0)
            continue;
        const std::string name = ui::ListView::rowName(row);
        if (!TargetQualifies(target, name) || FlatIgnored(name) || IsOnHost(name))
            continue;
        if (!TransferList.IsFull()) {
            TransferEntry &entry = TransferList[TransferList.TransferCount];
            entry.Done = 0;
            entry.Pending = 1;
            entry.LocalPath = name;
            entry.RemotePath = ServerNameFor(name);
        }
        CountTransferEntry();
    }
    AutoBusy = TransferList.TransferCount > 0;
    return AutoBusy;
}

bool TMainForm::IsOnHost(const std::string &name) const
{
    if (trimmed(name).empty())
        return true;
    const std::string there = ServerNameFor(name);
    for (int i = 0; i < RemoteFileListV->rowCount(); ++i) {
        const QTreeWidgetItem *row = RemoteFileListV->row(i);
        // A link of that name is there too: an upload would write through it
        // or replace it, and the next pass would find the name missing again.
        const std::string rowName = ui::ListView::rowName(row);
        if (rowName == there && (ui::ListView::imageIndex(row) != ImageFolder || RemoteLinks.count(there)))
            return true;
    }
    return false;
}

// --- Watch mode ---

std::string TMainForm::CounterBar(int n)
{
    const int strokes = ((n % 10) + 10) % 10;
    return std::string(static_cast<size_t>(strokes), '|')
           + std::string(static_cast<size_t>(10 - strokes), ' ');
}

void TMainForm::SpeedAutoUpClick(ui::SpeedButton *sender)
{
    if (LocalFileCount == 0) {
        ClearTransferList();
        BeginBusy();
        TransferSelection(0);
        EndBusy();
        ApplyConnectionState();
    }
    if (UploadMode == sender->tag())
        return;
    UploadMode = sender->tag();
    LblCounter->setProperty("tag", 0);
    if (UploadMode == 0) {
        if (!Reconnect())
            ReportReconnectFailure(ui::translated("MainForm", ReconnectFailed));
        TimerDemon->setInterval(0);
        if (SingleAutoUpForm->isVisible())
            SingleAutoUpForm->hide();
        CheckUseThread->setEnabled(true);
        // The tree's inotify watches count against the user's limit: given back.
        if (!UpDownLoadForm->isVisible()) {
            TreeWatcher.clear();
            Tree.Clear();
        }
        ReleaseLocks();
    } else {
        StartAutoWatch(false);
        SaveSettings();
    }
    ReUpload->setEnabled(UploadMode != 0);
}

void TMainForm::StartAutoWatch(bool restart)
{
    CheckUseThread->setEnabled(false);
    CheckSubFolders->setEnabled(false);
    if (!restart) {
        FileLimitShown = false;
        FailureStreak.clear();
    }
    if (!(restart ? RebaseSnapshot() : TakeSnapshot())) {
        ui::dialogs().message(ui::translate("MainForm", "自動Upに失敗しました。"));
        StopAutomation();
        return;
    }
    if (!restart) {
        KnownRemoteFolders.clear();
        TreeMissingPending = TreeActive;
    }
    if (SpeedNormalUp->isDown())
        SpeedAutoUp->setDown(true);
    if (!restart) {
        if (!HostListSaved)
            SaveHostList();
        HostListSaved = true;
    }
    LockForAutoWatch();
    AutoBusy = false;
    const int item = TimerItem();
    if (LocalFileCount == 1 && item == 0)
        TimerDemon->setInterval(100);
    else
        TimerDemon->setInterval((item + 1) * 1000);
    if (!CheckUseThread->isChecked() && !SingleAutoUpForm->isVisible())
        SingleAutoUpForm->show();
    UpdateTray();
}

void TMainForm::LockForAutoWatch()
{
    ui::setScreenCursor(ui::Cursor::NoEntry);
    ToolButtonUpload->setEnabled(false);
    LoopUpload->setEnabled(false);
    ToolButtonDownLoad->setEnabled(false);
    PanelRemote->setEnabled(false);
    PanelLocal->setEnabled(false);
    SpeedUpDir->setEnabled(false);
    Mode->setEnabled(false);
    CheckSubFolders->setEnabled(false);
    // The tool bar stays usable for the re-upload, which acts only now.
    SetToolButtonsEnabled(false);
    ui::processPendingMessages();
}

void TMainForm::SetToolButtonsEnabled(bool enabled)
{
    for (QToolButton *button : {ToolButtonSetHost, ToolButton5, ToolButton6, ToolButtonDownLoad,
                                ToolButtonUpload, LoopUpload, ToolButton8, ToolButton3}) {
        // Enabled again, a button shows its action's state.
        const QAction *action = button->defaultAction();
        button->setEnabled(enabled && (!action || action->isEnabled()));
    }
}

void TMainForm::TimerDemonTimer()
{
    if ((UploadMode == 0 && !DownDaemonActive) || AutoBusy || UpDownLoadForm->isVisible()
        || UpDownLoadForm->WorkerStarted || TickRunning || ui::InterfaceWait::isWaiting())
        return;
    // The waits below keep the windows painting and the timer firing.
    TickRunning = true;
    // A pass refreshes the remote list, and so does the end of the tick.
    const ListingReuse listingReuse;
    struct TickScope {
        bool &running;
        ~TickScope() { running = false; }
    } tickScope{TickRunning};
    bool ran = false;
    auto runPass = [this] {
        const PassScope pass(this, PassKind::Watch);
        if (CheckUseThread->isChecked())
            ThreadedUploadPass();
        else
            AutoUploadPass();
    };
    // A pass that ended automatic mode does not re-arm the watch: the window
    // then shows manual mode with its controls unlocked.
    auto rearm = [this] {
        if (UploadMode != 0)
            StartAutoWatch(true);
        AutoBusy = false;
    };
    if (DetectMissingFiles()) {
        AutoBusy = true;
        runPass();
        repaintNow(this);
        ui::Clock::wait(1000);
        rearm();
        ran = true;
    }
    if (UploadMode != 0 && HasFolderChanged()) {
        if (LocalFileCount > 1)
            ui::Clock::wait(2000);
        // The monitor's close box may have ended the watch during the wait.
        if (UploadMode == 0 && !DownDaemonActive) {
            AutoBusy = false;
            return;
        }
        AutoBusy = true;
        if (DetectChanges() > 0) {
            runPass();
            repaintNow(this);
            repaintNow(SingleAutoUpForm);
            ui::Clock::wait(1000);
            rearm();
        } else {
            // Nothing was listed after all (the file vanished): keep watching.
            AutoBusy = false;
        }
        ran = true;
    }
    int tick = LblCounter->property("tag").toInt();
    if (tick > 20)
        tick = 0;
    ++tick;
    LblCounter->setProperty("tag", tick);
    LblCounter->setText(ui::toQ(CounterBar(tick)));
    if (SingleAutoUpForm->isVisible())
        SingleAutoUpForm->StatusBarSingleUp->setPanelText(1, LblCounter->text());
    if (ran) {
        RefreshRemoteList();
        // A file that keeps failing stays named in the status bar.
        if (!FailureStreak.empty())
            ShowStatus(FailureStatus, 0);
    }
}

int TMainForm::AutoUploadPass()
{
    AutoBusy = true;
    if (TransferList.TransferCount > 0)
        SingleAutoUpForm->ShowPassRunning();
    AutoUpAllowed = false;
    const std::string remembered = ComboCurrDir->textBytes().substr(0, 1023);
    if (!Reconnect()) {
        ReportReconnectFailure(ui::translated("MainForm", ReconnectFailed));
        StopAutomation();
        return 1;
    }
    if (TreeActive)
        EnsureRemoteFolders();
    // The monitor names the last file that was sent, not one that failed.
    std::string lastSent;
    {
        TransferRun run(TransferList.TransferCount);
        for (int i = 0; i < TransferList.TransferCount; ++i) {
            const TransferEntry &row = TransferList[i];
            const std::string path = trimmed(row.LocalPath);
            if (row.Pending != 1 || path.empty())
                continue;
            const bool indexPage = AsciiLower(row.RemotePath) == "index.html";
            TransferOne(0, row.LocalPath, row.RemotePath, [this, path, indexPage, &lastSent](int sent) {
                if (!sent)
                    return;
                lastSent = path;
                if (!indexPage) {
                    if (SingleAutoUpForm->UploadCount > 99999)
                        SingleAutoUpForm->UploadCount = 0;
                    ++SingleAutoUpForm->UploadCount;
                    SingleAutoUpForm->ShowUploadCount(path);
                    repaintNow(SingleAutoUpForm);
                }
            });
        }
    }
    if (ComboCurrDir->textBytes() != remembered)
        SetRemoteDir(remembered);
    if (TransferList.TransferCount > 0) {
        RefreshRemoteList();
        RefreshFileList(RemoteSide);
        RefreshFileList(LocalSide);
    }
    SingleAutoUpForm->ShowUploadCount(lastSent);
    return 0;
}

int TMainForm::ThreadedUploadPass()
{
    AutoUpAllowed = false;
    const std::string remembered = ComboCurrDir->textBytes().substr(0, 1023);
    CancelRequested = false;
    if (TreeActive)
        EnsureRemoteFolders();
    UpDownLoadForm->OperationCode = 0;
    UpDownLoadForm->Tag = 0;
    UpDownLoadForm->showModal();
    if (CancelRequested)
        ui::dialogs().message(ui::translate("MainForm", "処理を中断しました。"));
    if (ComboCurrDir->textBytes() != remembered)
        SetRemoteDir(remembered);
    RefreshRemoteList();
    RefreshFileList(RemoteSide);
    RefreshFileList(LocalSide);
    if (!CancelRequested)
        AutoUpAllowed = IsAutoUpAllowed();
    if (!AutoUpAllowed)
        StopAutomation();
    return 0;
}

// --- Daemons ---

namespace {

// Horizontally centred over the main window, its top at the main window's height.
void placeDaemonWindow(TMainForm *main)
{
    const QRect frame = main->frameGeometry();
    UpDownLoadForm->move(frame.left() + (frame.width() - UpDownLoadForm->frameGeometry().width()) / 2,
                         main->height());
}

void startDaemonWindow(TMainForm *main, int code)
{
    main->FileLimitShown = false;
    main->FailureStreak.clear();
    main->KnownRemoteFolders.clear();
    UpDownLoadForm->OperationCode = code;
    UpDownLoadForm->Tag = code;
    UpDownLoadForm->ProgressBar->setValue(0);
}

std::string localPathOf(const TMainForm *main, const std::string &name)
{
    return main->ComboLocalDir->textBytes() + "/" + name;
}

void paintLabel(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, color);
    label->setAutoFillBackground(true);
    label->setPalette(palette);
    label->repaint();
}

} // namespace

void TMainForm::BitBtnAutoDownDaemonClick()
{
    if (UpDownLoadForm->isVisible())
        return;
    if (!ui::dialogs().warnYesNo(ui::translate(
            "MainForm", "これから「AutoDownloadDaemon」に入ります。"
                        "\n\n終了するにはポップアップフォームのキャンセルを押して下さい。\n"
                        "\n※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。"
                        "\n危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!")))
        return;
    DownDaemonActive = true;
    LockForAutoWatch();
    ClearTransferList();
    startDaemonWindow(this, 2);
    UpDownLoadForm->show();
    placeDaemonWindow(this);
    if (SpeedAutoUp->isEnabled())
        SpeedAutoUp->setEnabled(false);
}

void TMainForm::BitBtnAutoUpDaemonClick()
{
    if (UpDownLoadForm->isVisible())
        return;
    if (!ui::dialogs().warnYesNo(ui::translate(
            "MainForm", "これから「AutoUploadDaemon」に入ります。"
                        "\n\n終了するにはポップアップフォームのキャンセルを押して下さい。\n"
                        "\n※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。"
                        "\n危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!"
                        "\n\n注意：追加ファイルのアップロードには対応していません。")))
        return;
    ClearTransferList();
    BackupCopy("");
    LockForAutoWatch();
    startDaemonWindow(this, 3);
    TakeSnapshot();
    UpDownLoadForm->show();
    placeDaemonWindow(this);
}

void TMainForm::DownloadDaemonPass()
{
    TCounterThread *worker = UpDownLoadForm->Worker;
    if (!worker)
        return;
    const PassScope pass(this, PassKind::Daemon);
    worker->RemoteFileTotal = ListRemoteForCompare();
    if (worker->RemoteFileTotal <= 0)
        return;
    {
        TransferRun run(worker->RemoteFileTotal);
        for (int k = 0; k < worker->RemoteFileTotal; ++k) {
            const RemoteSnapshotEntry &slot = RemoteSnapshot[k];
            const std::string localName = LocalNameFor(slot.Name);
            const bool exists = platform::fileExists(localPathOf(this, localName));
            const bool periodic = exists && IdleCount == 0 && cbPriodDown->isChecked();
            if (!(slot.Changed == 1 || !exists || periodic))
                continue;
            paintLabel(UpDownLoadForm->MyLabel, Qt::red);
            ++worker->DownCount;
            UpDownLoadForm->LabelCount->setText(ui::toQ(UpDownLoadForm->StatusText));
            TransferOne(1, localName, slot.Name, [this, worker, k](int received) {
                if (received) {
                    UpDownLoadForm->StatusText =
                        formatCount("Count=%d : idle=%d", worker->DownCount, IdleCount.load());
                    worker->Transferred = true;
                } else {
                    UpDownLoadForm->StatusText = formatCount("Count=%d (Failed!)", worker->DownCount);
                    // Forgotten, the slot reads as changed on the next pass, which tries again.
                    RemoteSnapshot[k].DateText.clear();
                }
                paintLabel(UpDownLoadForm->MyLabel, UpDownLoadForm->palette().color(QPalette::Button));
            });
        }
    }
    if (worker->Transferred) {
        IdleCount = 0;
        UpDownLoadForm->RefreshBothLists();
        repaintNow(this);
        repaintNow(UpDownLoadForm);
        worker->Transferred = false;
    }
    UpDownLoadForm->LabelCount->setText(ui::toQ(UpDownLoadForm->StatusText));
    if (IdleCount == 0) {
        repaintNow(LocalFileListV);
        repaintNow(RemoteFileListV);
    }
}

void TMainForm::UploadDaemonPass()
{
    TCounterThread *worker = UpDownLoadForm->Worker;
    if (!worker)
        return;
    const PassScope pass(this, PassKind::Daemon);
    if (HasFolderChanged() && DetectChanges() > 0)
        DaemonUploadRows();
    // The watch flag the detection set belongs to the watch mode, not the daemon.
    AutoBusy = false;
    if (worker->Transferred) {
        IdleCount = 0;
        UpDownLoadForm->RefreshBothLists();
        worker->Transferred = false;
    }
    UpDownLoadForm->LabelCount->setText(ui::toQ(UpDownLoadForm->StatusText));
}

void TMainForm::DaemonUploadRows()
{
    if (TreeActive) {
        TreeDaemonUploadRows();
        return;
    }
    TCounterThread *worker = UpDownLoadForm->Worker;
    TransferRun run(FolderSnapshot.SnapshotCount);
    // The outcome of one file, when it has ended.
    auto ended = [this, worker](bool dataFile) {
        return [this, worker, dataFile](int sent) {
            if (sent) {
                ++worker->UpCount;
                UpDownLoadForm->StatusText =
                    dataFile ? formatCount("Count=%d : idle=%d", worker->UpCount, IdleCount.load())
                             : formatCount("Count=%d", worker->UpCount);
                worker->Transferred = true;
            } else {
                UpDownLoadForm->StatusText = formatCount("Count=%d (Failed!)", worker->UpCount);
                worker->Transferred = false;
            }
        };
    };
    for (int k = 0; k < FolderSnapshot.SnapshotCount; ++k) {
        const std::string name = TransferList[k].LocalPath;
        const std::string full = localPathOf(this, name);
        const bool exists = platform::fileExists(full);
        if (exists) {
            const std::string ext = AsciiUpper(PathExtension(name));
            worker->IsDataFile = ext == ".DAT" || ext == ".TXT";
        }
        if (!(TransferList[k].Pending != 0 || worker->FirstPass || IdleCount == 0 || worker->IsDataFile))
            continue;
        if (!exists)
            continue;
        if (worker->IsDataFile) {
            if (!BackupCopy(name))
                continue;
            TransferOne(0, BackupFile, ServerNameFor(name), ended(true));
        } else {
            TransferOne(0, name, ServerNameFor(name), ended(false));
        }
    }
    run.Finish();
    worker->FirstPass = false;
    TakeSnapshot();
}
