// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's file browser: list rows, navigation through folders on both
// sides, column sorting, and the file operations.
#include "app/MainForm.h"

#include "app/model/FileEntry.h"
#include "app/model/ListCompare.h"
#include "app/model/PathRules.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Upanddown.h"
#include "platform/LocalFiles.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Language.h"
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
    list->addRow(entry.Name, {ui::toQ(entry.DateText), ui::toQ(entry.SizeText())}, entry.ImageIndex());
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
        ComboLocalDir->setTextBytes({});
        return;
    }
    ComboLocalDir->setTextBytes(folder);
    LastShownLocalDir = folder;
    SessionFoldersShown = true;
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
        ComboCurrDir->setTextBytes(folder);
        LastShownRemoteDir = folder;
        AddFolderHistory(ComboCurrDir, folder);
    } else {
        ComboCurrDir->setTextBytes({});
    }
    EndBusy();
}

void TMainForm::ShowFolderInDirEdit(const std::string &folder)
{
    if (platform::directoryExists(folder))
        DirEdit->setTextBytes(folder);
}

void TMainForm::AddFolderHistory(ui::ComboBox *box, const std::string &folder)
{
    if (box->findItemBytes(folder) >= 0)
        return;
    const std::string shown = box->textBytes();
    box->addItemBytes(folder);
    box->setTextBytes(shown);
}

// Our platform has one file-system root; it joins the local history once.
void TMainForm::AddDriveRoots()
{
    AddFolderHistory(ComboLocalDir, "/");
}

// --- Navigation ---

bool TMainForm::RemoteLinkIsFolder(const std::string &name)
{
    const std::string folder = ComboCurrDir->textBytes();
    if (EnterRemoteLink(name) == 0) {
        RemoteFileLinks.insert(RemoteLinkPath(folder, name));
        RemoteLinks.erase(name);
        return false;
    }
    // Back where the list is; the transfer names the link's files by the link.
    SetRemoteDir(folder);
    return true;
}

void TMainForm::RemoteFileListVDblClick()
{
    BeginBusy();
    const std::vector<int> rows = RemoteFileListV->selectedRows();
    if (!rows.empty()) {
        const QTreeWidgetItem *row = RemoteFileListV->row(rows.front());
        const std::string name = ui::ListView::rowName(row);
        if (!name.empty() && ui::ListView::imageIndex(row) == ImageFolder) {
            if (RemoteLinks.count(name) && EnterRemoteLink(name) == 0) {
                // A link to a file: its row becomes a file row, and stays one.
                RemoteFileLinks.insert(RemoteLinkPath(ComboCurrDir->textBytes(), name));
                if (RefreshRemoteList())
                    ShowRemoteFolderInfo();
                ShowStatus(ui::fill(ui::translate("MainForm", "ﾌｧｲﾙへのﾘﾝｸ: %1"), {name}), 0);
            } else if ((RemoteLinks.count(name) || SetRemoteDir(name)) && RefreshRemoteList()) {
                ShowRemoteFolderInfo();
            }
            DisallowAutoUp();
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
        const std::string name = ui::ListView::rowName(row);
        if (!name.empty() && ui::ListView::imageIndex(row) == ImageFolder) {
            if (SetLocalDir(name) && RefreshLocalList())
                RefreshFileList(LocalSide);
            DisallowAutoUp();
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
        DisallowAutoUp();
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
        DisallowAutoUp();
    }
    EndBusy();
    LocalFileListV->setFocus();
}

void TMainForm::ComboCurrDirChange()
{
    const int index = ComboCurrDir->itemIndex();
    const std::string folder = ComboCurrDir->itemBytes(index);
    if (SetRemoteDir(folder) && RefreshRemoteList())
        ShowRemoteFolderInfo();
    DisallowAutoUp();
    RemoteFileListV->setFocus();
}

void TMainForm::ComboLocalDirChange()
{
    const int index = ComboLocalDir->itemIndex();
    const std::string folder = ComboLocalDir->itemBytes(index);
    if (!SetLocalDir(folder)) {
        // Back to the entry of the folder we are still in (ASCII letter case ignored).
        std::string current;
        platform::currentDirectory(current);
        int entry = -1;
        for (int i = 0; i < ComboLocalDir->count() && entry < 0; ++i)
            if (AsciiLower(ComboLocalDir->itemBytes(i)) == AsciiLower(current))
                entry = i;
        ComboLocalDir->setItemIndex(entry);
    } else if (RefreshLocalList()) {
        ShowLocalFolderInfo();
    }
    DisallowAutoUp();
    LocalFileListV->setFocus();
}

// The bytes of the folder typed into a folder box: the shown folder or an
// entry keeps its bytes, anything else typed is encoded for its side.
static bool typedFolder(const ui::ComboBox *box, int side, std::string &folder)
{
    if (box->typedBytes(folder))
        return true;
    return !box->typedText().trimmed().isEmpty() && TypedName(box->typedText(), side, folder);
}

// Enter in the remote box: the server changes to the typed folder; whether it
// did or refused, the box then shows the folder the list is in.
void TMainForm::ComboCurrDirEnter()
{
    std::string folder;
    if (!typedFolder(ComboCurrDir, RemoteSide, folder)) {
        ComboCurrDir->restoreText();
        return;
    }
    BeginBusy();
    if (SetRemoteDir(folder) && RefreshRemoteList())
        ShowRemoteFolderInfo();
    ComboCurrDir->restoreText();
    DisallowAutoUp();
    EndBusy();
    RemoteFileListV->setFocus();
}

// Enter in the local box: the same for the local folder.
void TMainForm::ComboLocalDirEnter()
{
    std::string folder;
    if (!typedFolder(ComboLocalDir, LocalSide, folder)) {
        ComboLocalDir->restoreText();
        return;
    }
    BeginBusy();
    if (SetLocalDir(folder)) {
        RefreshLocalList();
        // Also for a folder without entries: the box names the folder listed.
        ShowLocalFolderInfo();
    }
    ComboLocalDir->restoreText();
    DisallowAutoUp();
    EndBusy();
    LocalFileListV->setFocus();
}

void TMainForm::DirEditKeyPress()
{
    // The folder shown by the program keeps its bytes; a typed path is UTF-8.
    std::string folder;
    if (!DirEdit->textBytes(folder) && !TypedName(DirEdit->text(), LocalSide, folder))
        return;
    if (platform::directoryExists(folder) && SetLocalDir(folder) && RefreshLocalList())
        ShowLocalFolderInfo();
}

// Goes to a folder the user picked with a dialog.
static void enterPickedFolder(TMainForm *form, const std::string &folder)
{
    if (SetLocalDir(folder)) {
        if (RefreshLocalList())
            form->RefreshFileList(LocalSide);
        form->DisallowAutoUp();
    }
}

void TMainForm::OpenDirBoxExecute()
{
    const QString folder = ui::dialogs().browseFolder(ui::translate("MainForm", "ﾌｫﾙﾀﾞの選択"), QString());
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
QString askText(const char *caption, const char *prompt, const QString &initial)
{
    QString value = initial;
    if (!ui::dialogs().input(ui::translate("MainForm", caption), ui::translate("MainForm", prompt), value))
        return initial;
    return value;
}

// True when nothing but blanks and control characters is left.
bool isBlank(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x20)
            return false;
    return true;
}

// The bytes of the one selected row's name, or nothing when not exactly one
// row is selected.
bool singleSelectedName(const ui::ListView *list, std::string &name)
{
    const std::vector<int> rows = list->selectedRows();
    if (rows.size() != 1)
        return false;
    name = ui::ListView::rowName(list->row(rows.front()));
    return true;
}

// Makes a folder named by the user's answer on a side; whatever happened the
// side is shown again.
void makeFolder(TMainForm *form, int side, const char *caption)
{
    const QString answer = askText(caption, QT_TRANSLATE_NOOP("MainForm", "ﾌｫﾙﾀﾞ名を入力して下さい。"), {});
    std::string name;
    if (!isBlank(answer) && TypedName(answer, side, name))
        (side == LocalSide ? MakeLocalDir : MakeRemoteDir)(name);
    if (side == RemoteSide)
        RefreshRemoteList();
    form->RefreshFileList(side);
}

// Renames the one selected row of a side to the user's answer; the side is shown
// again after a rename was tried.
void renameSelected(TMainForm *form, int side, const char *caption)
{
    std::string current;
    if (!form->Connected
        || !singleSelectedName(side == LocalSide ? form->LocalFileListV : form->RemoteFileListV, current))
        return;
    // The box offers the shown name; given back unchanged it means no rename.
    const QString shown = ui::toQ(current);
    const QString answer =
        askText(caption, QT_TRANSLATE_NOOP("MainForm", "新しいﾌｧｲﾙ名に変更して下さい。"), shown);
    std::string name;
    if (isBlank(answer) || answer == shown || !TypedName(answer, side, name) || name == current)
        return;
    (side == LocalSide ? RenameLocal : RenameRemote)(current, name);
    if (side == RemoteSide)
        RefreshRemoteList();
    form->RefreshFileList(side);
}

} // namespace

void TMainForm::MakeLDirClick()
{
    makeFolder(this, LocalSide, QT_TRANSLATE_NOOP("MainForm", "ﾛｰｶﾙﾌｫﾙﾀﾞを作成"));
}

void TMainForm::MakeHDirClick()
{
    makeFolder(this, RemoteSide, QT_TRANSLATE_NOOP("MainForm", "ﾘﾓｰﾄﾌｫﾙﾀﾞを作成"));
}

void TMainForm::LocalRenameClick()
{
    renameSelected(this, LocalSide, QT_TRANSLATE_NOOP("MainForm", "ﾛｰｶﾙﾌｧｲﾙ名変更"));
}

void TMainForm::RemoteRenameClick()
{
    renameSelected(this, RemoteSide, QT_TRANSLATE_NOOP("MainForm", "ﾘﾓｰﾄﾌｧｲﾙ名変更"));
}

void TMainForm::LocalDeleteClick()
{
    if (!ui::dialogs().confirm(ui::translate("MainForm", "削除を実行してもいいですか？\n元には戻せません")))
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
            WholeTrees()
                ? ui::translate("MainForm", "削除を実行してもいいですか？\n元には戻せません")
                : ui::translate(
                    "MainForm",
                    "削除を実行してもいいですか？\n元には戻せません\n(※ｻﾌﾞﾌｫﾙﾀﾞは削除できません。)")))
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
    // Links on the server go as files; the listing after the run forgets them.
    const std::set<std::string> links = side == RemoteSide ? RemoteLinks : std::set<std::string>();
    const bool remoteTrees = side == RemoteSide && WholeTrees();
    const int rows = BuildTransferList(side, DeleteMode);
    if (rows == 0 && SelectedFolderCount == 0)
        return;
    if (rows > 0) {
        CancelRequested = false;
        UpDownLoadForm->OperationCode = side;
        UpDownLoadForm->Tag = DeleteMode;
        UpDownLoadForm->showModal();
        if (CancelRequested)
            ui::dialogs().message(ui::translate("MainForm", "処理を中断しました。"));
    }
    if (CancelRequested || SelectedFolderCount == 0) {
        MemoDir->clearLines();
        return;
    }
    if (side == LocalSide) {
        RemoveRecordedFolders(LocalSide);
    } else if (remoteTrees) {
        // Every selected folder and its tree were recorded parents first:
        // backwards, each folder goes after everything inside it.
        for (int i = MemoDir->lineCount() - 1; i >= 0; --i)
            if (const std::string folder = MemoDir->line(i); !folder.empty())
                RemoveRemoteDir(folder);
        MemoDir->clearLines();
    }
    for (const int index : remoteTrees ? std::vector<int>{} : list->selectedRows()) {
        const QTreeWidgetItem *row = list->row(index);
        if (ui::ListView::imageIndex(row) != ImageFolder)
            continue;
        const std::string name = ui::ListView::rowName(row);
        if (side == LocalSide)
            RemoveLocalDir(name);
        else if (!links.count(name))
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
        const std::string folder = MemoDir->line(i);
        if (folder.empty())
            continue;
        if (side == LocalSide)
            RemoveLocalDir(folder);
        else
            RemoveRemoteDir(folder);
    }
    MemoDir->clearLines();
}
