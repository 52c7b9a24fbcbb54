// The main window's file browser: list rows, navigation through folders on both
// sides, column sorting, and the file operations.
#include "app/MainForm.h"

#include "app/FileEntry.h"
#include "app/Ftpfunc.h"
#include "app/ListCompare.h"
#include "app/Upanddown.h"
#include "platform/LocalFiles.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/Memo.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"

// --- Rows ---

// Adds one find record as a row of the local (0) or remote (1) list and counts it.
void TMainForm::AddFileEntry(const platform::FindRecord &record, int side)
{
    const RowDecision decision = DecideFileRow(record, side);
    if (decision == RowDecision::Skip)
        return;
    if (decision == RowDecision::Unsafe) {
        ++UnsafeNameCount;
        return;
    }
    const TFileEntry entry = MakeFileEntry(record);
    ui::ListView *list = side == LocalSide ? LocalFileListV : RemoteFileListV;
    list->addRow({ui::toQ(entry.Name), ui::toQ(entry.DateText), ui::toQ(entry.SizeText())},
                 entry.ImageIndex());
    const bool folder = decision == RowDecision::Folder;
    if (side == LocalSide)
        ++(folder ? LocalDirCount : LocalFileCount);
    else
        ++(folder ? RemoteDirCount : RemoteFileCount);
}

int TMainForm::RecordRemoteSnapshot(const platform::FindRecord &record, int slot)
{
    return RemoteSnapshot.RecordRemoteSnapshot(record, slot);
}

// --- Folder display ---

void TMainForm::RefreshFileList(int side)
{
    if (side == LocalSide) {
        LocalFileListV->clearSelection();
        ListLocal();
        ShowLocalFolderInfo();
    } else if (side == RemoteSide) {
        RemoteFileListV->clearSelection();
        ShowRemoteFolderInfo();
    }
}

void TMainForm::ShowLocalFolderInfo()
{
    std::string folder;
    if (!platform::currentDirectory(folder)) {
        ComboLocalDir->setText({});
        return;
    }
    ComboLocalDir->setText(ui::toQ(folder));
    ShowFolderInDirEdit(folder);
    AddFolderHistory(ComboLocalDir, folder);
    ShowStatus(FileCountText(LocalFileCount, LocalDirCount), 1);
}

void TMainForm::ShowRemoteFolderInfo()
{
    BeginBusy();
    // Without a session GetRemoteDir reports that and gives no folder.
    std::string folder;
    if (GetRemoteDir(folder) == 1 && !folder.empty()) {
        ShowStatus(FileCountText(RemoteFileCount, RemoteDirCount), 2);
        ComboCurrDir->setText(ui::toQ(folder));
        AddFolderHistory(ComboCurrDir, folder);
    } else {
        ComboCurrDir->setText({});
    }
    EndBusy();
}

void TMainForm::ShowFolderInDirEdit(const std::string &folder)
{
    if (platform::directoryExists(folder))
        DirEdit->setText(ui::toQ(folder));
}

void TMainForm::AddFolderHistory(ui::ComboBox *box, const std::string &folder)
{
    const QString text = ui::toQ(folder);
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i) == text)
            return;
    const QString shown = box->text();
    box->addItem(text);
    box->setText(shown);
}

// Our platform has one file-system root; it joins the local history once.
void TMainForm::AddDriveRoots()
{
    AddFolderHistory(ComboLocalDir, "/");
}

// --- Navigation ---

void TMainForm::RemoteFileListVDblClick()
{
    BeginBusy();
    const std::vector<int> rows = RemoteFileListV->selectedRows();
    if (!rows.empty()) {
        const QTreeWidgetItem *row = RemoteFileListV->row(rows.front());
        const std::string name = ui::fromQ(row->text(0));
        if (!name.empty() && ui::ListView::imageIndex(row) == ImageFolder) {
            if (SetRemoteDir(name) && RefreshRemoteList())
                ShowRemoteFolderInfo();
            AutoUpAllowed = false;
        }
    }
    EndBusy();
    RemoteFileListV->setFocus();
}

void TMainForm::LocalFileListVDblClick()
{
    BeginBusy();
    const std::vector<int> rows = LocalFileListV->selectedRows();
    if (!rows.empty()) {
        const QTreeWidgetItem *row = LocalFileListV->row(rows.front());
        const std::string name = ui::fromQ(row->text(0));
        if (!name.empty() && ui::ListView::imageIndex(row) == ImageFolder) {
            if (SetLocalDir(name) && RefreshLocalList())
                RefreshFileList(LocalSide);
            AutoUpAllowed = false;
        }
    }
    EndBusy();
    LocalFileListV->setFocus();
}

void TMainForm::UpDirectoryExecute()
{
    BeginBusy();
    if (SetRemoteDir("..")) {
        if (RefreshRemoteList())
            ShowRemoteFolderInfo();
        AutoUpAllowed = false;
    }
    EndBusy();
    RemoteFileListV->setFocus();
}

void TMainForm::UpLDirectoryExecute()
{
    BeginBusy();
    if (SetLocalDir("..")) {
        if (RefreshLocalList())
            RefreshFileList(LocalSide);
        AutoUpAllowed = false;
    }
    EndBusy();
    LocalFileListV->setFocus();
}

void TMainForm::ComboCurrDirChange()
{
    const int index = ComboCurrDir->itemIndex();
    const std::string folder = index >= 0 ? ui::fromQ(ComboCurrDir->itemText(index)) : std::string();
    if (SetRemoteDir(folder) && RefreshRemoteList())
        ShowRemoteFolderInfo();
    AutoUpAllowed = false;
    RemoteFileListV->setFocus();
}

void TMainForm::ComboLocalDirChange()
{
    const int index = ComboLocalDir->itemIndex();
    const std::string folder = index >= 0 ? ui::fromQ(ComboLocalDir->itemText(index)) : std::string();
    if (!SetLocalDir(folder)) {
        // Back to the entry of the folder we are still in (letter case ignored).
        std::string current;
        platform::currentDirectory(current);
        ComboLocalDir->setItemIndex(ComboLocalDir->findText(ui::toQ(current), Qt::MatchFixedString));
    } else if (RefreshLocalList()) {
        ShowLocalFolderInfo();
    }
    AutoUpAllowed = false;
    LocalFileListV->setFocus();
}

void TMainForm::DirEditKeyPress()
{
    const std::string folder = ui::fromQ(DirEdit->text());
    if (platform::directoryExists(folder) && SetLocalDir(folder) && RefreshLocalList())
        ShowLocalFolderInfo();
}

// Goes to a folder the user picked with a dialog.
static void enterPickedFolder(TMainForm *form, const std::string &folder)
{
    if (SetLocalDir(folder)) {
        if (RefreshLocalList())
            form->RefreshFileList(LocalSide);
        form->AutoUpAllowed = false;
    }
}

void TMainForm::OpenDirBoxExecute()
{
    const QString folder = ui::dialogs().browseFolder(QStringLiteral("Select Directory"), QString());
    if (!folder.isEmpty())
        enterPickedFolder(this, ui::fromQ(folder));
    if (LocalFileListV->isEnabled())
        LocalFileListV->setFocus();
}

void TMainForm::OpenDialogBoxExecute()
{
    const QString file = ui::dialogs().openFile(QString(), QString(), QString());
    if (!file.isEmpty()) {
        const std::string path = ui::fromQ(file);
        const size_t slash = path.find_last_of('/');
        enterPickedFolder(this, slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1));
    }
    if (LocalFileListV->isEnabled())
        LocalFileListV->setFocus();
}

// --- Sorting ---

namespace {

FileRowTexts rowTexts(const QTreeWidgetItem *item, std::string (&storage)[3])
{
    for (int i = 0; i < 3; ++i)
        storage[i] = ui::fromQ(item->text(i));
    return {storage[0], storage[1], storage[2]};
}

} // namespace

int TMainForm::LocalFileListVCompare(const QTreeWidgetItem *a, const QTreeWidgetItem *b) const
{
    std::string ta[3], tb[3];
    return CompareFileRows(SortColumn, SortAscending, rowTexts(a, ta), rowTexts(b, tb));
}

int TMainForm::RemoteFileListVCompare(const QTreeWidgetItem *a, const QTreeWidgetItem *b) const
{
    return LocalFileListVCompare(a, b);
}

void TMainForm::LocalFileListVColumnClick(int column)
{
    RefreshLocalList();
    RefreshFileList(LocalSide);
    SortColumn = column;
    SortAscending = NextSortDirection(LocalFileListV->columnTag(column));
    LocalFileListV->setColumnTag(column, SortAscending);
    LocalFileListV->customSort(
        [this](const QTreeWidgetItem *a, const QTreeWidgetItem *b) { return LocalFileListVCompare(a, b); });
}

void TMainForm::RemoteFileListVColumnClick(int column)
{
    RefreshRemoteList();
    RefreshFileList(RemoteSide);
    SortColumn = column;
    // Both lists share the direction flags kept in the local list's columns.
    SortAscending = NextSortDirection(LocalFileListV->columnTag(column));
    LocalFileListV->setColumnTag(column, SortAscending);
    RemoteFileListV->customSort(
        [this](const QTreeWidgetItem *a, const QTreeWidgetItem *b) { return RemoteFileListVCompare(a, b); });
}

// --- File operations ---

namespace {

const int DeleteMode = 999;

// An input box whose cancel gives back the default text.
std::string askText(const char *caption, const char *prompt, const std::string &initial)
{
    QString value = ui::toQ(initial);
    if (!ui::dialogs().input(QString::fromUtf8(caption), QString::fromUtf8(prompt), value))
        return initial;
    return ui::fromQ(value);
}

// True when nothing but blanks and control characters is left.
bool isBlank(const std::string &text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 0x20)
            return false;
    return true;
}

// The name of the one selected row, or nothing when not exactly one is selected.
bool singleSelectedName(const ui::ListView *list, std::string &name)
{
    const std::vector<int> rows = list->selectedRows();
    if (rows.size() != 1)
        return false;
    name = ui::fromQ(list->row(rows.front())->text(0));
    return true;
}

} // namespace

void TMainForm::MakeLDirClick()
{
    const std::string name = askText("ﾛｰｶﾙﾌｫﾙﾀﾞを作成", "ﾌｫﾙﾀﾞ名を入力して下さい。", {});
    if (!isBlank(name))
        MakeLocalDir(name);
    RefreshFileList(LocalSide);
}

void TMainForm::MakeHDirClick()
{
    const std::string name = askText("ﾘﾓｰﾄﾌｫﾙﾀﾞを作成", "ﾌｫﾙﾀﾞ名を入力して下さい。", {});
    if (!isBlank(name))
        MakeRemoteDir(name);
    RefreshRemoteList();
    RefreshFileList(RemoteSide);
}

void TMainForm::LocalRenameClick()
{
    std::string current;
    if (!Connected || !singleSelectedName(LocalFileListV, current))
        return;
    const std::string answer = askText("ﾛｰｶﾙﾌｧｲﾙ名変更", "新しいﾌｧｲﾙ名に変更して下さい。", current);
    if (isBlank(answer) || answer == current)
        return;
    RenameLocal(current, answer);
    RefreshFileList(LocalSide);
}

void TMainForm::RemoteRenameClick()
{
    std::string current;
    if (!Connected || !singleSelectedName(RemoteFileListV, current))
        return;
    const std::string answer = askText("ﾘﾓｰﾄﾌｧｲﾙ名変更", "新しいﾌｧｲﾙ名に変更して下さい。", current);
    if (isBlank(answer) || answer == current)
        return;
    RenameRemote(current, answer);
    RefreshRemoteList();
    RefreshFileList(RemoteSide);
}

void TMainForm::LocalDeleteClick()
{
    if (!ui::dialogs().confirm(QStringLiteral("削除を実行してもいいですか？\n元には戻せません")))
        return;
    if (!Connected || LocalFileListV->selectedCount() == 0)
        return;
    DeleteSelection(LocalSide);
    RefreshFileList(LocalSide);
    StopAutomation();
    ClearTransferList();
}

void TMainForm::RemoteDeleteClick()
{
    if (!ui::dialogs().confirm(
            QStringLiteral("削除を実行してもいいですか？\n元には戻せません\n(※ｻﾌﾞﾌｫﾙﾀﾞは削除できません。)")))
        return;
    if (!Connected || RemoteFileListV->selectedCount() == 0)
        return;
    DeleteSelection(RemoteSide);
    RefreshRemoteList();
    RefreshFileList(RemoteSide);
    ClearTransferList();
}

void TMainForm::DeleteSelection(int side)
{
    // Only the folders of this selection may be removed, and an earlier cancel
    // must not stop this delete.
    MemoDir->clearLines();
    CancelRequested = false;
    ui::ListView *list = side == LocalSide ? LocalFileListV : RemoteFileListV;
    const int rows = BuildTransferList(side, DeleteMode);
    if (rows == 0 && SelectedFolderCount == 0)
        return;
    if (rows > 0) {
        CancelRequested = false;
        UpDownLoadForm->OperationCode = side;
        UpDownLoadForm->Tag = DeleteMode;
        UpDownLoadForm->showModal();
        if (CancelRequested)
            ui::dialogs().message(QStringLiteral("処理を中断しました。"));
    }
    if (CancelRequested || SelectedFolderCount == 0) {
        MemoDir->clearLines();
        return;
    }
    if (side == LocalSide)
        RemoveRecordedFolders(LocalSide);
    for (const int index : list->selectedRows()) {
        const QTreeWidgetItem *row = list->row(index);
        if (ui::ListView::imageIndex(row) != ImageFolder)
            continue;
        const std::string name = ui::fromQ(row->text(0));
        if (side == LocalSide)
            RemoveLocalDir(name);
        else
            RemoveRemoteDir(name);
    }
    UpDownLoadForm->Tag = -1;
    list->clearSelection();
}

void TMainForm::RemoveRecordedFolders(int side)
{
    const int n = MemoDir->lineCount();
    if (n <= 0)
        return;
    // Backwards, so every sub-folder goes before its parent. Line 0 is the first
    // selected folder, which the caller removes with the other selected folders.
    for (int i = n; i >= 1; --i) {
        const std::string folder = ui::fromQ(MemoDir->line(i));
        if (folder.empty())
            continue;
        if (side == LocalSide)
            RemoveLocalDir(folder);
        else
            RemoveRemoteDir(folder);
    }
    MemoDir->clearLines();
}
