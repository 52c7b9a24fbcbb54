// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/model/FolderSnapshot.h"
#include "app/model/HostRecord.h"
#include "app/model/IgnoreRules.h"
#include "app/model/NoticePolicy.h"
#include "app/model/RemoteSnapshot.h"
#include "app/model/TransferHistory.h"
#include "app/model/TransferList.h"
#include "app/model/TreeSnapshot.h"
#include "app/session/SecretStore.h"
#include "platform/FindRecord.h"
#include "platform/FolderWatch.h"
#include "platform/LocalFiles.h"
#include "platform/TreeWatch.h"
#include "ui/Form.h"
#include "ui/ImageList.h"

#include <QAction>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QToolButton;
class QPushButton;
class QTreeWidgetItem;
class DesktopNotifier;
class THistoryForm;
class TTrayIcon;

namespace ui {
class ComboBox;
class Edit;
class ListView;
class Memo;
class RadioGroup;
class SpeedButton;
class StatusBar;
class Timer;
} // namespace ui

// The loop upload intervals in seconds; entry 0 means loop upload is off.
constexpr std::array<int, 8> LoopIntervalTable = {0, 20, 30, 40, 50, 60, 120, 180};

constexpr const char *VersionCaption = "Vexmora Ver6.5 by_Pellowin";

// The main window: owns every control and all program state. Its methods are
// the event handlers and the program's operations, split into files by
// subsystem (MainShell, MainHosts, MainBrowser, MainTransfer, MainAuto).
class TMainForm : public ui::Form {
    Q_OBJECT
public:
    // exePath: the executable's full path, or a path inside the folder chosen for
    // the program's files (app/FileLocations.h); the settings and host list files
    // live beside it with its extension replaced. startDir: the local folder
    // shown when no existing last folder is stored; empty means the program folder.
    explicit TMainForm(const std::string &exePath, const std::string &startDir = {},
                       QWidget *parent = nullptr);
    ~TMainForm() override;

    // --- Controls (named as in the program; each carries its name as objectName) ---
    QFrame *PanelTop = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LabelTimer = nullptr;
    QLabel *LblCounter = nullptr;
    ui::Edit *EHost = nullptr;
    ui::Edit *EUserId = nullptr;
    ui::Edit *EPassword = nullptr;
    ui::RadioGroup *Mode = nullptr;
    ui::SpeedButton *SpeedNormalUp = nullptr;
    ui::SpeedButton *SpeedAutoUp = nullptr;
    ui::RadioGroup *Target = nullptr;
    ui::ComboBox *ComboTimer = nullptr;
    ui::ComboBox *ComboLoopTimer = nullptr;
    QCheckBox *CheckUseThread = nullptr;
    // Automatic work and folder transfers cover the whole tree below the folders.
    QCheckBox *CheckSubFolders = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButtonSetHost = nullptr;
    QToolButton *ToolButton5 = nullptr;
    QToolButton *ToolButton6 = nullptr;
    QToolButton *ToolButtonDownLoad = nullptr;
    QToolButton *ToolButtonUpload = nullptr;
    QToolButton *LoopUpload = nullptr;
    QToolButton *TB_ReUpload = nullptr;
    QToolButton *ToolButton8 = nullptr;
    QToolButton *ToolButton3 = nullptr;

    QFrame *PanelRemote = nullptr;
    QSplitter *Splitter1 = nullptr;
    QFrame *PanelLocal = nullptr;
    QToolButton *SpeedButtonOpenDialog = nullptr;
    QToolButton *SpeedOpenDirBox = nullptr;
    QToolButton *SpeedLUpDir = nullptr;
    ui::Edit *DirEdit = nullptr;
    ui::ComboBox *ComboLocalDir = nullptr;
    QPushButton *BitBtnAutoUpDaemon = nullptr;
    ui::ListView *LocalFileListV = nullptr;
    QFrame *Panel2 = nullptr;
    QToolButton *SpeedUpDir = nullptr;
    ui::ComboBox *ComboCurrDir = nullptr;
    QCheckBox *cbPriodDown = nullptr;
    QPushButton *BitBtnAutoDownDaemon = nullptr;
    ui::ListView *RemoteFileListV = nullptr;
    ui::Memo *MemoDir = nullptr;

    ui::StatusBar *StatusBar = nullptr;
    ui::StatusBar *StatusBar1 = nullptr;

    ui::Timer *TimerDemon = nullptr;
    ui::ImageList ImageList1;

    QMenu *PMLocal = nullptr;
    QAction *MakeLDir = nullptr;
    QAction *LocalRename = nullptr;
    QAction *LocalDelete = nullptr;
    QMenu *PMRemote = nullptr;
    QAction *MakeHDir = nullptr;
    QAction *RemoteRename = nullptr;
    QAction *RemoteDelete = nullptr;

    // Actions (ActionList1).
    QAction *Upload = nullptr;
    QAction *Dounload = nullptr;
    QAction *CloseAppri = nullptr;
    QAction *UpDirectory = nullptr;
    QAction *UpLDirectory = nullptr;
    QAction *OpenDirBox = nullptr;
    QAction *OpenHostList = nullptr;
    QAction *ConnectAction = nullptr;
    QAction *DisconnectAction = nullptr;
    QAction *WatchAction = nullptr;
    QAction *ActLoopUpload = nullptr;
    QAction *OpenDialogBox = nullptr;
    QAction *ReUpload = nullptr;
    QAction *ActionDelBackup = nullptr;

    // --- State ---
    std::string ExePath;
    std::string IniPath;
    std::string HostListPath;
    std::string ProgramDir;
    std::string StartDir;
    std::string LastLocalDir;
    std::string LastRemoteDir;
    std::string PasswordCipher;
    int LoopInterval = 0;
    bool Connected = false;
    bool HostEdited = false;
    bool HostListSaved = false;
    // The last load found a host list file it could not read; saving is refused.
    bool HostListUnreadable = false;
    bool AutoUpAllowed = false;
    int UploadMode = 0;
    bool AutoBusy = false;
    // A watch tick is under way (its waits let timers fire; a tick never runs inside another).
    bool TickRunning = false;
    bool CancelRequested = false;
    int LocalFileCount = 0;
    int LocalDirCount = 0;
    int RemoteFileCount = 0;
    int RemoteDirCount = 0;
    int SelectedHostIndex = -1;
    int DeleteHostIndex = -1;
    ::HostList HostList;
    ::RemoteSnapshot RemoteSnapshot;
    ::TransferList TransferList;
    ::FolderSnapshot FolderSnapshot;
    // Names a server sent that the last remote listing refused to show.
    int UnsafeNameCount = 0;
    // Symbolic links on the server: the names of the current remote list shown
    // as folders, and the paths (folder and name) of those found to be files or
    // (by the download daemon's compare) folders.
    std::set<std::string> RemoteLinks;
    std::set<std::string> RemoteFileLinks;
    std::set<std::string> RemoteFolderLinks;
    static std::string RemoteLinkPath(const std::string &folder, const std::string &name)
    {
        return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
    }
    // Decides a link row of the current remote list that a transfer is about to
    // take: true when it leads into a folder; one that the server refuses to
    // enter is a file from then on.
    bool RemoteLinkIsFolder(const std::string &name);
    int SortColumn = 0;
    int SortAscending = 0;
    // The file lists' column widths before the settings' ones (the date and
    // size columns measured with the lists' font).
    std::array<int, 3> DefaultColumnWidths{};

    // --- Shell: start-up, settings, control state ---
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void CloseAppriExecute();
    void WatchActionExecute();
    void LoadSettings();
    void SaveSettings();
    // ComboTimer's item ("1" to "10" seconds); "3" unless one is selected.
    static constexpr int DefaultTimerItem = 2;
    int TimerItem() const;
    void SetBusy(bool enabled);
    // A busy section: BeginBusy locks the controls, the matching EndBusy
    // unlocks them once no outer section is left.
    void BeginBusy();
    void EndBusy();
    // Unlocks the controls after the automatic mode's lock, unless a busy
    // section still runs (its EndBusy then does it).
    void ReleaseLocks();
    int BusyDepth = 0;
    void ApplyConnectionState();
    // A folder change: "自動UP" waits for an upload in the new pair of folders,
    // and the status line says so when the button was usable until now.
    void DisallowAutoUp();
    void UpdateTransferButtons(int side);
    int SelectionCount(int side) const;
    void LocalFileListVClick();
    void RemoteFileListVClick();
    void EHostChange();
    void EUserIdChange();

    // --- Hosts: store, host list window, connect and disconnect ---
    bool LoadHostList(bool quiet);
    // allowEmpty: the last account was deleted, so an empty list is written.
    void SaveHostList(bool allowEmpty = false);
    void StoreCurrentHost();
    void RestorePassword();
    // Passwords of stored accounts: in the desktop's secret store when one
    // answers (the host list file then holds a marker), else obfuscated in the
    // file as before. SavePasswords (setting "SavePasswords"): 1 stores them
    // where it can, 0 stores none and asks at connect.
    SecretStore Secrets;
    int SavePasswords = 1;
    // This run found no secret store (none on the bus, or locked and not
    // unlocked): it is not asked again, and the passwords stay in the file.
    bool SecretStoreMissing = false;
    bool SecretNoticeShown = false;
    bool SecretStoreProbed = false;
    // The password a stored entry holds (from the secret store or its cipher);
    // empty when it has none to give. Shows the cipher's message for an empty
    // field as reading it always did.
    std::string StoredPassword(const HostRecord &entry);
    // Before the host list is written: moves the passwords still held as
    // ciphers into the secret store (or clears them when none are to be kept).
    void MovePasswordsToStore();
    // The secret of a deleted account, unless another account shares its key.
    void ForgetPassword(const HostRecord &entry);
    void NoteSecretResult(SecretStore::Result result);
    void OpenHostListExecute();
    void FillHostListView();
    void ConnectActionExecute();
    void DisconnectActionExecute();
    void StopAutomation();
    void RememberShownFolders();
    // The folders the boxes last showed during a session, and whether one
    // has shown them since the last disconnect (a lost connection leaves the
    // window unconnected without one).
    std::string LastShownLocalDir;
    std::string LastShownRemoteDir;
    bool SessionFoldersShown = false;
    bool StartSession();
    bool Reconnect();

    // --- Browser ---
    void AddFileEntry(const platform::FindRecord &record, int side);
    int RecordRemoteSnapshot(const platform::FindRecord &record, int slot);
    void RefreshFileList(int side);
    void ShowLocalFolderInfo();
    void ShowRemoteFolderInfo();
    void ShowFolderInDirEdit(const std::string &folder);
    static void AddFolderHistory(ui::ComboBox *box, const std::string &folder);
    void AddDriveRoots();
    int LocalFileListVCompare(const QTreeWidgetItem *a, const QTreeWidgetItem *b) const;
    int RemoteFileListVCompare(const QTreeWidgetItem *a, const QTreeWidgetItem *b) const;
    void LocalFileListVColumnClick(int column);
    void RemoteFileListVColumnClick(int column);
    void LocalFileListVDblClick();
    void RemoteFileListVDblClick();
    void UpDirectoryExecute();
    void UpLDirectoryExecute();
    void OpenDirBoxExecute();
    void OpenDialogBoxExecute();
    void DirEditKeyPress();
    void ComboLocalDirChange();
    void ComboCurrDirChange();
    void ComboLocalDirEnter();
    void ComboCurrDirEnter();
    void MakeLDirClick();
    void LocalRenameClick();
    void LocalDeleteClick();
    void MakeHDirClick();
    void RemoteRenameClick();
    void RemoteDeleteClick();

    // --- Transfers ---
    void UploadExecute();
    void DounloadExecute();
    void ReUploadExecute();
    void ActLoopUploadExecute();
    void ActionDelBackupExecute();
    void ComboLoopTimerChange();
    // Single transfer: the Mode group's choice for a file (0 ASCII, 1 binary),
    // and one upload (direction 0) or download (1); 1 when a transfer was
    // attempted, 0 when nothing was sent or fetched.
    int ChooseTransferMode(const std::string &localPath) const;
    int TransferOne(int direction, const std::string &localPath, const std::string &remotePath);
    // The same inside a multi-file run (TransferRun): `then` gets the result
    // when the file has ended, which may be after this returns.
    void TransferOne(int direction, const std::string &localPath, const std::string &remotePath,
                     std::function<void(int sent)> then);
    // Uploads that succeeded since the last snapshot, by local path, each with
    // the file's size and time as they were when it was sent.
    std::map<std::string, SnapshotEntry> SentStates;
    // Automatic work (watch, re-upload in it, daemons) retries a failing file on
    // every pass: the transfers ("0:" or "1:" and the local path) that failed
    // last time show their failure in the status bar only, not in a box again.
    std::set<std::string> FailureStreak;
    std::string FailureStatus; // status panel 0 text of the latest failure
    bool AutomaticWork() const;
    // Backup store "backup_log" beside the executable: BackupCopy copies the local
    // file of a relative name (no folder part) to BackupFile and says whether it did.
    std::string BackupFolder;
    std::string BackupFile;
    bool BackupCopy(const std::string &name);
    int DeleteBackups();
    // Transfer list: a selection (side 0 local, 1 remote; mode 999 = delete) into rows.
    int SelectedFolderCount = 0;
    int BuildTransferList(int side, int mode);
    int AddLocalFolder(const std::string &folder, int mode);
    // The real folders (device and inode) the current BuildTransferList walked:
    // a link back to one of them is not followed again.
    std::set<platform::FileIdentity> WalkedFolders;
    bool IsLinkToRemove(int side, int mode, const std::string &path) const;
    // A row for the file prefix + name of a side; the other side's path is its
    // name there (LocalNameFor, ServerNameFor).
    void AddTransferEntry(int side, const std::string &prefix, const std::string &name);
    // A remote folder's files; with WholeTrees its whole tree (folder links on
    // the server are not walked), and in delete mode its folders in MemoDir.
    void AddRemoteFolderFiles(const std::string &folder, int mode);
    // "ｻﾌﾞﾌｫﾙﾀﾞ含む": downloads and remote deletes cover whole folder trees.
    bool WholeTrees() const;
    void CountTransferEntry();
    void ShowFileLimit(int flag);
    void ClearTransferList();
    int TransferSelection(int direction);
    bool IsAutoUpAllowed() const;
    // Loop upload.
    int LoopPass();
    bool AskLoopRound();
    // File operations: delete the selection of a side, then the folders MemoDir recorded.
    void DeleteSelection(int side);
    void RemoveRecordedFolders(int side);

    // --- Automation ---
    bool DownDaemonActive = false;
    bool TakeSnapshot();
    // The baseline after a pass: each file sent as it was when sent, the others
    // as the previous baseline had them, and files it did not have as Unsent.
    bool RebaseSnapshot();
    // The over-900 message, once per automatic session.
    bool FileLimitShown = false;
    void NoteFileLimit();
    bool HasFolderChanged();
    // inotify on the local folder: while it saw nothing, and nothing the
    // comparison of HasFolderChanged depends on changed since its last scan
    // found no difference, the next one skips the scan.
    platform::FolderWatch LocalWatch;
    struct SweepBasis {
        int Target = -1;
        int SnapshotCount = -1;
        uint64_t SnapshotGeneration = 0;
        bool operator==(const SweepBasis &) const = default;
    };
    SweepBasis LastSweep;
    // Scans of the local folder HasFolderChanged made (the watch benchmark shows them).
    int FolderScanCount = 0;
    int DetectChanges();
    bool DetectMissingFiles();
    bool IsOnHost(const std::string &name) const;
    void SpeedAutoUpClick(ui::SpeedButton *sender);
    void StartAutoWatch(bool restart);
    void LockForAutoWatch();
    // Every tool bar button but TB_ReUpload, which follows its action.
    void SetToolButtonsEnabled(bool enabled);
    void TimerDemonTimer();
    int AutoUploadPass();
    int ThreadedUploadPass();
    static std::string CounterBar(int n);
    void BitBtnAutoUpDaemonClick();
    void BitBtnAutoDownDaemonClick();
    void DownloadDaemonPass();
    void UploadDaemonPass();
    void DaemonUploadRows();

    // --- Whole-tree watch ("ｻﾌﾞﾌｫﾙﾀﾞ含む"): the snapshot, the checks and the
    // passes cover every file below the local folder by relative path ---
    // Latched by TakeSnapshot from CheckSubFolders (which is locked while the
    // automatic work runs).
    bool TreeActive = false;
    ::TreeSnapshot Tree;
    // inotify on every folder of the tree; a test lowers its watch limit.
    platform::TreeWatch TreeWatcher;
    // Built-in rules and the patterns of ".vexmoraignore" (the flat watch uses
    // the latter only); IgnoreFileKey tells when the file changed.
    IgnoreRules Ignore;
    std::string IgnoreFileKey;
    bool IgnoreFileReported = false;
    // Folders to read again at the next tick (unreadable, or holding files
    // that can change without an event), and those already reported unreadable.
    std::set<std::string> TreeRetry;
    std::set<std::string> TreeUnreadable;
    int TreeTarget = -1;
    // The remote folders known to exist (listed, or made this session): no MKD for them.
    std::set<std::string> KnownRemoteFolders;
    // The tree's missing-file pass runs once per watch session, at its first tick.
    bool TreeMissingPending = false;
    bool TakeTreeSnapshot();
    bool RebaseTree();
    void RefreshTree();
    void ReadTreeFolders(std::vector<std::string> folders, bool asBaseline);
    bool ReadTreeFolder(const std::string &folder, bool asBaseline, std::vector<std::string> &found);
    bool TreeHasChanged();
    int DetectTreeChanges();
    bool DetectTreeMissingFiles();
    int ListTreeRows(const std::vector<std::string> &paths);
    void EnsureRemoteFolders();
    void TreeDaemonUploadRows();
    // Reads ".vexmoraignore" again when it changed; true when it did.
    bool LoadIgnoreFile();
    bool FlatIgnored(const std::string &name) const;

    // --- History, notices and tray (MainHistory) ---
    // Every transfer and failure of this run; the log file when "LogFile" is 1.
    ::TransferHistory History;
    bool LogFileEnabled = false;
    std::unique_ptr<HistoryLog> HistoryLogFile;
    QAction *ShowHistory = nullptr;
    QToolButton *ToolButtonHistory = nullptr;
    THistoryForm *HistoryWindow = nullptr; // made when first shown
    void BuildHistoryParts();
    void ShowHistoryExecute();
    // Wraps the completion of one transfer so that its end is posted to the
    // history (and counted for the pass it belongs to) before `then` runs.
    std::function<void(int)> RecordTransfer(int direction, const std::string &localPath,
                                            const std::string &remotePath, std::function<void(int)> then);
    // An automatic pass (or loop round) while it lives: its transfers carry its
    // kind and number, and its end may give a desktop notice.
    class PassScope {
    public:
        PassScope(TMainForm *form, PassKind kind);
        ~PassScope();
        PassScope(const PassScope &) = delete;
        PassScope &operator=(const PassScope &) = delete;

    private:
        TMainForm *m_form;
        PassKind m_outerKind;
        int m_outerNumber;
    };
    PassKind CurrentPass = PassKind::Manual;
    int CurrentPassNumber = 0;
    int WatchPassCount = 0;
    int DaemonPassCount = 0;
    int LoopPassCount = 0;
    struct PassTally {
        int Failed = 0;
        int Sent = 0;
        int Started = 0;
        bool Lost = false;
        std::string FirstFailure;
    } Tally;
    ::NoticePolicy Notices;
    std::string NoticeFailure; // the body of a failure notice: the first failure of its pass
    void SendNotice(NoticeKind kind);
    // A notice the minute held back is sent once it may be.
    void ScheduleHeldNotice();
    QTimer *NoticeTimer = nullptr;
    DesktopNotifier *Notifier = nullptr;
    TTrayIcon *Tray = nullptr;
    // Shows or hides the tray icon and sets its look from the automatic work.
    void UpdateTray();

protected:
    bool closeQuery() override { return FormCloseQuery(); }
    void closed() override { FormClose(); }
    void shown() override;

private:
    void buildImages();
    void buildActions();
    void buildTopPanel();
    void buildPanes();
    void buildStatusBars();
    void connectHandlers();

    bool FillSnapshot(const ::FolderSnapshot *previous);

    bool m_shownOnce = false;
};

extern TMainForm *MainForm;
