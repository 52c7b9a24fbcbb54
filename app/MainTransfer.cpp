// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's transfers: single transfer and transfer mode, backup store,
// transfer list with the manual upload, download and re-upload, and the loop
// upload with its timed message window.
#include "app/MainForm.h"

#include "app/model/FileEntry.h"
#include "app/model/PathRules.h"
#include "app/model/TransferMode.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Mssg.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "platform/LocalFind.h"
#include "ui/Clock.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/ListView.h"
#include "ui/Memo.h"
#include "ui/RadioGroup.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"
#include "ui/Timer.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <cstdio>

namespace {

const char *const BackupFolderName = "backup_log";
const char *const AbortedText = QT_TRANSLATE_NOOP("MainForm", "処理を中断しました。");
const char *const DirectoryChangedText = "Directory has been changed";

// The local paths the platform's find accepts; a folder walk stops at a folder
// whose search pattern would be longer.
constexpr size_t MaxPathBytes = 259;
// The longest path a walk of a server's tree goes down to.
constexpr size_t MaxRemoteTreePathBytes = 1023;

// Without surrounding blanks and control characters.
std::string trimmedBlanks(const std::string &text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 0x20)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20)
        --last;
    return text.substr(first, last - first);
}

// A download target must stay inside the local current folder: every part of
// the relative path has to be a name a server may give (no "..", no empty part,
// no control character), which also rules out an absolute path.
bool IsSafeDownloadTarget(const std::string &path)
{
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        const std::string_view part = std::string_view(path).substr(
            start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!IsSafeRemoteName(part))
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

std::string remoteFolderShown(const TMainForm *form)
{
    return form->ComboCurrDir->textBytes();
}

int loopIntervalOfIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(LoopIntervalTable.size()))
        index = 0;
    return LoopIntervalTable[static_cast<size_t>(index)];
}

} // namespace

// --- Single transfer ---

int TMainForm::ChooseTransferMode(const std::string &localPath) const
{
    return ::ChooseTransferMode(Mode->itemIndex(), localPath);
}

int TMainForm::TransferOne(int direction, const std::string &localPath, const std::string &remotePath)
{
    int result = 0;
    bool ended = false;
    TransferOne(direction, localPath, remotePath, [&](int sent) {
        result = sent;
        ended = true;
    });
    // Inside a multi-file run the file may still be under way.
    if (!ended && TransferRun::Current())
        TransferRun::Current()->Finish();
    return result;
}

void TMainForm::TransferOne(int direction, const std::string &localPath, const std::string &remotePath,
                            std::function<void(int sent)> then)
{
    if (trimmedBlanks(localPath).empty()) {
        then(0);
        return;
    }
    then = RecordTransfer(direction, localPath, remotePath, std::move(then));
    const int mode = ChooseTransferMode(localPath);
    if (mode == TransferAscii)
        SetAsciiMode();
    else
        SetBinaryMode();
    const char *modeWord = mode == TransferAscii ? "ASCII" : "BYNARY";
    const QString operation = direction == 0   ? ui::translate("MainForm", "%1ｱｯﾌﾟﾛｰﾄﾞ %2")
                              : direction == 1 ? ui::translate("MainForm", "%1ﾀﾞｳﾝﾛｰﾄﾞ %2")
                                               : QStringLiteral("%1 %2");
    ShowStatus(ui::fill(operation, {modeWord, localPath}), 0);

    // Automatic work retries a failing file on every pass: after the first
    // failure of a streak its message box is left out.
    const std::string streakKey = std::to_string(direction) + ":" + localPath;
    const bool automatic = AutomaticWork();
    const bool quiet = automatic && FailureStreak.contains(streakKey);
    // The outcome, when the file has ended (at once, or later in a multi-file run).
    auto outcome = [this, streakKey, automatic, localPath](std::function<void(int)> next) {
        return [this, streakKey, automatic, localPath, next = std::move(next)](int sent) {
            if (sent) {
                FailureStreak.erase(streakKey);
            } else if (automatic) {
                FailureStreak.insert(streakKey);
                FailureStatus = ui::displayText(localPath) + ": " + ui::fromQ(StatusBar->panelText(0));
            }
            next(sent);
        };
    };
    if (direction == 0) {
        if (!platform::fileExists(localPath)) {
            // A file being written by another program may appear a moment later.
            bool found = false;
            if (LocalFileCount > 1) {
                ui::Clock::wait(2000);
                found = platform::fileExists(localPath);
            }
            if (!found) {
                ShowStatus(ui::fill(ui::translate("MainForm", "%1\nが見つかりませんでした。"), {localPath}),
                           0);
                platform::setLastError(platform::err::FileNotFound);
                then(0);
                return;
            }
        }
        // The file as it is sent: a write from now on changes it again.
        platform::FindRecord before;
        const bool known = platform::findSettled(localPath, before);
        const std::string extension = AsciiUpper(PathExtension(localPath));
        // The copy is of the local file the remote path names (in its local form).
        const bool fromBackup = (extension == ".DAT" || extension == ".TXT")
                                && BackupCopy(LocalNameFor(remotePath)) && platform::fileExists(BackupFile);
        StartPutFile(fromBackup ? BackupFile : localPath, remotePath, quiet,
                     [this, known, before, localPath, ended = outcome(std::move(then))](int sent) {
                         if (sent && known) {
                             SnapshotEntry state = SnapshotEntry::FromFindRecord(before);
                             state.Name = localPath;
                             SentStates[localPath] = state;
                         }
                         ended(sent);
                     });
    } else if (direction == 1) {
        if (!IsSafeDownloadTarget(localPath)) {
            ReportUnsafeNames(1);
            platform::setLastError(platform::err::InvalidParameter);
            then(0);
            return;
        }
        StartGetFile(remotePath, localPath, quiet, outcome(std::move(then)));
    } else {
        outcome(std::move(then))(0);
    }
}

bool TMainForm::AutomaticWork() const
{
    const bool daemonRun = UpDownLoadForm && UpDownLoadForm->isVisible()
                           && (UpDownLoadForm->Tag == 2 || UpDownLoadForm->Tag == 3);
    return UploadMode != 0 || DownDaemonActive || daemonRun;
}

// --- Backup store ---

bool TMainForm::BackupCopy(const std::string &name)
{
    BackupFolder = ProgramDir + (ProgramDir.ends_with('/') ? "" : "/") + BackupFolderName;
    if (!platform::directoryExists(BackupFolder))
        platform::makeDirectory(BackupFolder); // a failure shows in the copy below
    if (name.empty())
        return false;
    // The store has no sub-folders: a name with a folder part gets no copy.
    if (name.find('/') != std::string::npos || !platform::fileExists(name))
        return false;
    BackupFile = BackupFolder + "/" + name;
    return platform::copyFile(name, BackupFile);
}

int TMainForm::DeleteBackups()
{
    BackupFolder = ProgramDir + (ProgramDir.ends_with('/') ? "" : "/") + BackupFolderName;
    if (!platform::directoryExists(BackupFolder))
        return 0;
    bool ok = false;
    const std::vector<platform::FindRecord> records = platform::findLocal(BackupFolder + "/*.*", ok);
    if (!ok && platform::lastError() != platform::err::NoMoreFiles)
        return 0;
    int deleted = 0;
    for (const platform::FindRecord &record : records)
        if (platform::deleteFile(BackupFolder + "/" + record.name))
            ++deleted;
    ui::dialogs().message(ui::translate("MainForm", "%1個のﾊﾞｯｸｱｯﾌﾟﾃﾞｰﾀﾍﾞｰｽを削除しました。").arg(deleted));
    return deleted;
}

void TMainForm::ActionDelBackupExecute()
{
    if (ui::dialogs().confirm(ui::translate("MainForm", "ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?")))
        DeleteBackups();
}

// --- Transfer list ---

int TMainForm::BuildTransferList(int side, int mode)
{
    SelectedFolderCount = 0;
    TransferList.TransferCount = 0;
    WalkedFolders.clear();
    const ui::ListView *list = side == LocalSide ? LocalFileListV : RemoteFileListV;
    for (const int index : list->selectedRows()) {
        const QTreeWidgetItem *row = list->row(index);
        const std::string name = ui::ListView::rowName(row);
        // A link on the server is entered only when it leads to a folder.
        const bool folder = ui::ListView::imageIndex(row) == ImageFolder && !IsLinkToRemove(side, mode, name)
                            && (side == LocalSide || !RemoteLinks.count(name) || RemoteLinkIsFolder(name));
        if (folder) {
            if (side == LocalSide)
                AddLocalFolder(name, mode);
            else
                AddRemoteFolderFiles(name, mode);
            ++SelectedFolderCount;
        } else {
            AddTransferEntry(side, {}, name);
        }
    }
    return TransferList.TransferCount;
}

// A delete removes a symbolic link as a link, like a file: its target lies
// outside the selection and is never walked or touched. On the server, the
// links are the ones the listing marked.
bool TMainForm::IsLinkToRemove(int side, int mode, const std::string &path) const
{
    if (mode != 999)
        return false;
    return side == LocalSide ? platform::isSymbolicLink(path) : RemoteLinks.count(path) > 0;
}

int TMainForm::AddLocalFolder(const std::string &folder, int mode)
{
    FolderSnapshot.SnapshotCount = 0;
    // Each real folder once: a link to a folder already walked (a cycle, or a
    // second way to the same folder) adds nothing.
    platform::FileIdentity identity;
    if (platform::fileIdentity(folder, identity) && !WalkedFolders.insert(identity).second)
        return 0;
    if (mode == 999) {
        MemoDir->addLine(folder);
    } else {
        std::string remote = folder;
        SwapSeparators(remote, 1);
        MakeRemoteDir(ServerNameFor(remote));
    }
    const std::string prefix = folder + "/";
    const std::string pattern = prefix + "*.*";
    // Like the platform's find, a pattern beyond the path limit cannot be read.
    if (pattern.size() > MaxPathBytes)
        return 0;
    bool ok = false;
    const std::vector<platform::FindRecord> records = platform::findLocal(pattern, ok);
    if (!ok)
        return 0;
    for (const platform::FindRecord &record : records) {
        // Depth first: a sub-folder (and its remote twin) comes before the next entry.
        if (record.isDirectory() && record.name != "." && record.name != ".."
            && !IsLinkToRemove(LocalSide, mode, prefix + record.name))
            AddLocalFolder(prefix + record.name, mode);
        else if (record.isDirectory() || !IsProgramTemporary(record.name)) // its own stay where they are
            AddTransferEntry(LocalSide, prefix, record.name);
    }
    return 1;
}

void TMainForm::AddTransferEntry(int side, const std::string &prefix, const std::string &name)
{
    const AddResult added = TransferList.AddTransferEntry(prefix, name);
    if (added == AddResult::Full)
        ShowStatus(MaxFileExceededText, 0);
    if (added != AddResult::Added)
        return;
    TransferEntry &row = TransferList[TransferList.TransferCount - 1];
    if (side == LocalSide)
        row.RemotePath = ServerNameFor(row.LocalPath);
    else
        row.LocalPath = LocalNameFor(row.RemotePath);
}

bool TMainForm::WholeTrees() const
{
    return CheckSubFolders->isChecked();
}

void TMainForm::AddRemoteFolderFiles(const std::string &folder, int mode)
{
    const bool trees = WholeTrees();
    if (mode != 999)
        MakeLocalDir(LocalNameFor(folder));
    else if (trees)
        MemoDir->addLine(folder); // removed after its files, deepest first
    if (!FtpSession() || !SessionOpen())
        return;
    // The folder is listed once: its files become rows, and with whole trees
    // its sub-folders are walked from the same listing afterwards.
    std::vector<platform::FindRecord> records;
    size_t unsafe = 0;
    FindRemote(folder + "/*.*", records, unsafe); // an empty or unreadable folder adds nothing
    std::vector<std::string> subFolders;
    for (const platform::FindRecord &record : records) {
        // Only names that stay inside the local folder become rows or are walked.
        const bool safe = IsSafeRemoteName(record.name);
        if (record.isDirectory()) {
            // A link on the server may lead out of the selection: never walked.
            if (trees && !record.symlink) {
                if (safe)
                    subFolders.push_back(folder + "/" + record.name);
                else
                    ++unsafe;
            }
            continue;
        }
        if (!safe) {
            ++unsafe;
            continue;
        }
        const std::string path = folder + "/" + record.name;
        if (TransferList.Append(LocalNameFor(path), path) == AddResult::Full)
            ShowStatus(MaxFileExceededText, 0);
    }
    ReportUnsafeNames(unsafe);
    for (const std::string &sub : subFolders) {
        // A server that nests without end stops at the length a path may have.
        if (sub.size() > MaxRemoteTreePathBytes)
            continue;
        AddRemoteFolderFiles(sub, mode);
    }
}

void TMainForm::CountTransferEntry()
{
    if (!TransferList.CountTransferEntry())
        ShowStatus(MaxFileExceededText, 0);
}

void TMainForm::ShowFileLimit(int flag)
{
    if (flag == 0)
        ui::dialogs().message(ui::toQ(FileLimitMessage()));
}

void TMainForm::ClearTransferList()
{
    TransferList.ClearTransferList();
    if (UpDownLoadForm) {
        UpDownLoadForm->Tag = 0;
        UpDownLoadForm->OperationCode = 0;
    }
}

int TMainForm::TransferSelection(int direction)
{
    if (!Reconnect())
        ReportReconnectFailure(ui::translated("MainForm", "ホスト再接続に失敗しました。"));
    AutoUpAllowed = false;
    const std::string remembered = remoteFolderShown(this);
    const int rows = BuildTransferList(direction, 0);
    if (rows == 0 && SelectedFolderCount == 0)
        return 1;
    if (rows > 0) {
        CancelRequested = false;
        UpDownLoadForm->OperationCode = direction;
        UpDownLoadForm->Tag = 0;
        // The user's run goes on after a lost connection, once reconnected.
        UpDownLoadForm->ReconnectsOnLoss = true;
        UpDownLoadForm->showModal();
        UpDownLoadForm->ReconnectsOnLoss = false;
        if (CancelRequested)
            ui::dialogs().message(ui::translate("MainForm", AbortedText));
    }
    if (remoteFolderShown(this) != remembered)
        ShowStatus(DirectoryChangedText, 0);
    if (!remembered.empty())
        SetRemoteDir(remembered);
    RefreshRemoteList();
    RefreshFileList(RemoteSide);
    RefreshFileList(LocalSide);
    UpdateTransferButtons(0);
    UpdateTransferButtons(1);
    if (direction == 0 && !CancelRequested)
        AutoUpAllowed = IsAutoUpAllowed();
    else
        StopAutomation();
    return 0;
}

bool TMainForm::IsAutoUpAllowed() const
{
    return LocalFileListV->rowCount() > 0;
}

void TMainForm::UploadExecute()
{
    if (LoopInterval > 0
        && !ui::dialogs().confirm(
            ui::translate("MainForm", "ﾙｰﾌﾟUPﾀｲﾏｰが設定されています。\n"
                                      "ここからはﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞはできませんでご注意下さい。\n"
                                      "ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞは隣の腕時計のｺﾏﾝﾄﾎﾞﾀﾝから実行できます。"
                                      "\n(※このﾒｯｾｰｼﾞを止めたい場合は、ﾙｰﾌﾟﾀｲﾏｰを 0 に設定して下さい。)"
                                      "\n\nｼﾝﾌﾟﾙｱｯﾌﾟﾛｰﾄﾞを実行しますか？")))
        return;
    BeginBusy();
    TransferSelection(0);
    EndBusy();
    ApplyConnectionState();
}

void TMainForm::DounloadExecute()
{
    TimerDemon->setInterval(0);
    // With whole trees sub-folders come too, and the warning is left out.
    if (!ui::dialogs().confirm(
            WholeTrees() ? ui::translate("MainForm", "ダウンロードを実行しますか？")
                         : ui::translate("MainForm",
                                         "ダウンロードを実行しますか？\n(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)")))
        return;
    BeginBusy();
    TransferSelection(1);
    activateWindow();
    setFocus();
    EndBusy();
    ClearTransferList();
    TimerDemon->setInterval(0);
}

void TMainForm::ReUploadExecute()
{
    // Only the watch re-uploads, and never from inside one of its passes.
    if (UploadMode == 0 || AutoBusy || UpDownLoadForm->isVisible())
        return;
    if (!ui::dialogs().confirm(ui::translate("MainForm", "全再アップロードを実行しますか？")))
        return;
    LocalFileListV->selectAll();
    TransferSelection(0);
    // A cancelled run has ended the watch: it stays ended.
    if (UploadMode == 0)
        return;
    AutoUpAllowed = true;
    StartAutoWatch(true);
}

// --- Loop upload ---

void TMainForm::ComboLoopTimerChange()
{
    LoopInterval = loopIntervalOfIndex(ComboLoopTimer->itemIndex());
    UpdateTransferButtons(0);
}

void TMainForm::ActLoopUploadExecute()
{
    if (!ui::dialogs().confirm(ui::translate("MainForm", "ループアプロードを実行しますか？")))
        return;
    BeginBusy();
    int result = LoopPass();
    UpdateTransferButtons(1);
    while (result == 0) {
        // The countdown closes the window by itself at the latest.
        while (MssgForm->isVisible())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (!AskLoopRound())
            break;
        result = LoopPass();
    }
    UpdateTransferButtons(1);
    EndBusy();
}

int TMainForm::LoopPass()
{
    AutoUpAllowed = false;
    const std::string remembered = remoteFolderShown(this);
    const int rows = BuildTransferList(LocalSide, 0);
    if (rows == 0 && SelectedFolderCount == 0)
        return 1;
    // Every row goes, whatever its Pending flag.
    {
        const PassScope pass(this, PassKind::Loop);
        TransferRun run(TransferList.TransferCount);
        for (int i = 0; i < TransferList.TransferCount; ++i) {
            const TransferEntry row = TransferList[i];
            TransferOne(0, row.LocalPath, row.RemotePath, [](int) {});
        }
    }
    if (remoteFolderShown(this) != remembered)
        ShowStatus(DirectoryChangedText, 0);
    if (!remembered.empty())
        SetRemoteDir(remembered);
    RefreshRemoteList();
    return 0;
}

bool TMainForm::AskLoopRound()
{
    LocalFileListV->repaint();
    RemoteFileListV->repaint();
    LoopInterval = loopIntervalOfIndex(ComboLoopTimer->itemIndex());

    MssgForm->MsgLabel->setText(
        ui::translate("MainForm", "%1 秒経過すると自動的に\n再アプロードします。       ").arg(LoopInterval));
    MssgForm->ButtonOK->setText(ui::translate("MainForm", "再アプロード"));
    MssgForm->ButtonOK->show();
    MssgForm->ButtonNO->setText(ui::translate("MainForm", "停止"));
    MssgForm->ButtonNO->show();
    MssgForm->setWindowTitle(QString());
    QFont font = MssgForm->MsgLabel->font();
    font.setPointSize(12);
    MssgForm->MsgLabel->setFont(font);
    MssgForm->CountdownSeconds = LoopInterval;
    MssgForm->Timer->setEnabled(false);
    MssgForm->Timer->setInterval(1000);

    if (!MssgForm->isVisible()) {
        MssgForm->showModal();
        MssgForm->repaint();
    }
    return MssgForm->Answer == 1;
}
