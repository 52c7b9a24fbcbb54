// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's whole-tree watch ("ｻﾌﾞﾌｫﾙﾀﾞ含む"): the snapshot of every
// file below the local folder, kept current by reading only the folders inotify
// names, the ignore rules, the missing-file pass over the tree and the remote
// folders made on the way.
#include "app/MainForm.h"

#include "app/model/FileEntry.h"
#include "app/model/PathRules.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "platform/LocalFind.h"
#include "platform/Wildcard.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/ListView.h"
#include "ui/RadioGroup.h"
#include "ui/Text.h"

#include <QCheckBox>
#include <QLabel>
#include <algorithm>
#include <ctime>
#include <sys/stat.h>

namespace {

std::string osPath(const std::string &folder)
{
    return folder.empty() ? std::string(".") : folder;
}

std::string relPath(const std::string &osFolder)
{
    return osFolder == "." ? std::string() : osFolder;
}

bool targetMatches(int target, const std::string &name)
{
    return target != TargetHtml || platform::wildcardMatch(name, "*.html", true);
}

// The remote folders a path lies in, outermost first ("a", "a/b" for "a/b/c.html").
std::vector<std::string> remoteFoldersOf(const std::string &path)
{
    std::vector<std::string> folders;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (slash > 0)
            folders.push_back(path.substr(0, slash));
    return folders;
}

} // namespace

bool TMainForm::LoadIgnoreFile()
{
    struct stat st {};
    std::string key;
    if (::stat(IgnoreRules::FileName, &st) == 0)
        key = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size)
              + ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":"
              + std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
    if (key == IgnoreFileKey)
        return false;
    IgnoreFileKey = key;
    std::string text;
    if (key.empty()) {
        Ignore.ClearUserPatterns();
    } else if (platform::readWholeFile(IgnoreRules::FileName, text)) {
        Ignore.SetUserPatterns(text);
        IgnoreFileReported = false;
    } else {
        // Read again once it changes (its permissions too), reported once.
        Ignore.ClearUserPatterns();
        if (!IgnoreFileReported) {
            IgnoreFileReported = true;
            ShowStatus(
                ui::translated("MainForm", ".vexmoraignore を読めません。組込みの除外ﾙｰﾙだけを使います。"),
                0);
            ui::dialogs().message(
                ui::translate("MainForm", ".vexmoraignore を読めません。組込みの除外ﾙｰﾙだけを使います。"));
        }
    }
    return true;
}

bool TMainForm::FlatIgnored(const std::string &name) const
{
    return (!IgnoreFileKey.empty() && Ignore.IgnoredByUser(name, false))
           || (LogFileEnabled && IsHistoryLogName(name));
}

// --- The tree snapshot ---

bool TMainForm::TakeTreeSnapshot()
{
    SentStates.clear();
    Tree.Clear();
    TreeWatcher.clear();
    TreeRetry.clear();
    TreeUnreadable.clear();
    IgnoreFileKey.clear();
    IgnoreFileReported = false;
    LoadIgnoreFile();
    TreeTarget = Target->itemIndex();
    ReadTreeFolders({std::string()}, true);
    return Tree.HasFolder(std::string());
}

bool TMainForm::RebaseTree()
{
    RefreshTree();
    Tree.Rebase(SentStates);
    SentStates.clear();
    // A file still to send may have failed for its folder: the next pass makes it again.
    for (const std::string &path : Tree.Differing())
        for (const std::string &folder : remoteFoldersOf(ServerNameFor(path)))
            KnownRemoteFolders.erase(folder);
    return Tree.HasFolder(std::string());
}

void TMainForm::RefreshTree()
{
    bool everything = LoadIgnoreFile() || Target->itemIndex() != TreeTarget;
    TreeTarget = Target->itemIndex();
    platform::TreeWatch::Changes changes = TreeWatcher.takeChanges();
    everything = everything || changes.everything;
    std::set<std::string> dirty;
    if (everything) {
        for (const std::string &folder : Tree.Folders())
            dirty.insert(folder);
        dirty.insert(std::string());
    } else {
        for (const std::string &folder : changes.folders)
            dirty.insert(relPath(folder));
        dirty.insert(TreeRetry.begin(), TreeRetry.end());
    }
    TreeRetry.clear();
    if (!dirty.empty())
        ReadTreeFolders(std::vector<std::string>(dirty.begin(), dirty.end()), false);
    if (TreeWatcher.takeUnwatchedNotice()) {
        const std::string text = ui::translated(
            "MainForm", "監視できないﾌｫﾙﾀﾞがあります (fs.inotify.max_user_watches の上限など)。"
                        "それらのﾌｫﾙﾀﾞは順に読み直して確かめます。");
        ShowStatus(text, 0);
        ui::dialogs().message(ui::toQ(text));
    }
}

// Parents come before their sub-folders (paths sort that way); a folder found
// new is read at once, after the others, with everything below it.
void TMainForm::ReadTreeFolders(std::vector<std::string> folders, bool asBaseline)
{
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string folder = folders[i];
        if (!folder.empty() && !Tree.HasFolder(folder) && !Tree.HasFolder(TreeSnapshot::Parent(folder)))
            continue;
        ReadTreeFolder(folder, asBaseline, folders);
    }
}

bool TMainForm::ReadTreeFolder(const std::string &folder, bool asBaseline, std::vector<std::string> &found)
{
    const std::string os = osPath(folder);
    platform::FileIdentity identity;
    const bool known = platform::fileIdentity(os, identity);
    if (const std::string *owner = known ? Tree.FolderOf(identity) : nullptr; owner && *owner != folder) {
        std::vector<std::string> gone;
        platform::FileIdentity there;
        // Another way (a link) to a folder the tree holds already is not followed;
        // a folder that moved leaves its old place.
        const bool duplicate = platform::fileIdentity(osPath(*owner), there) && there == identity;
        Tree.RemoveFolder(duplicate ? folder : std::string(*owner), gone);
        for (const std::string &path : gone)
            TreeWatcher.remove(osPath(path));
        if (duplicate)
            return false;
    }
    // Watched before it is read: a change during the read shows at the next tick.
    if (known)
        TreeWatcher.add(os);
    ++FolderScanCount;
    bool ok = false;
    const std::vector<platform::FindRecord> records =
        known ? platform::findLocal(folder.empty() ? std::string("*.*") : folder + "/*.*", ok)
              : std::vector<platform::FindRecord>();
    if (!known || !ok) {
        const uint32_t code = platform::lastError();
        std::vector<std::string> gone;
        if (!folder.empty() && (code == platform::err::PathNotFound || code == platform::err::FileNotFound)) {
            Tree.RemoveFolder(folder, gone);
        } else {
            TreeRetry.insert(folder);
            if (TreeUnreadable.insert(folder).second)
                ShowStatus(ui::fill(ui::translate("MainForm", "ﾌｫﾙﾀﾞを読めません: %1 (%2)"),
                                    {os, std::to_string(code)}),
                           0);
        }
        for (const std::string &path : gone)
            TreeWatcher.remove(osPath(path));
        return false;
    }
    TreeUnreadable.erase(folder);
    const int target = Target->itemIndex();
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t trustedBefore =
        platform::ticksFromUnix(now.tv_sec - 2, static_cast<uint32_t>(now.tv_nsec));
    bool untrusted = false;
    std::vector<platform::FindRecord> files;
    std::vector<std::string> subfolders;
    for (const platform::FindRecord &record : records) {
        if (record.name == "." || record.name == "..")
            continue;
        const std::string path = TreeSnapshot::Join(folder, record.name);
        if (Ignore.IgnoredEntry(path, record.isDirectory()))
            continue;
        if (!record.isDirectory()) {
            if (!targetMatches(target, record.name))
                continue;
            untrusted = untrusted || record.linked || record.lastWriteTime >= trustedBefore;
            files.push_back(record);
            continue;
        }
        // Each real folder once: a link back to this folder is not followed
        // (links to others are checked when they are read).
        platform::FileIdentity sub;
        if (!Tree.HasFolder(path) && (!platform::fileIdentity(path, sub) || sub == identity))
            continue;
        subfolders.push_back(record.name);
    }
    std::vector<std::string> added;
    std::vector<std::string> gone;
    Tree.SetFolder(folder, identity, files, subfolders, asBaseline, added, gone);
    for (const std::string &path : gone)
        TreeWatcher.remove(osPath(path));
    found.insert(found.end(), added.begin(), added.end());
    if (untrusted)
        TreeRetry.insert(folder);
    return true;
}

// --- The checks ---

bool TMainForm::TreeHasChanged()
{
    AutoBusy = true;
    RefreshTree();
    AutoBusy = !Tree.Differing().empty();
    return AutoBusy;
}

int TMainForm::ListTreeRows(const std::vector<std::string> &paths)
{
    int n = 0;
    for (const std::string &path : paths) {
        TransferEntry &row = TransferList.Row(n++);
        row.Pending = 1;
        row.Done = 0;
        row.LocalPath = path;
        const std::string base = TreeSnapshot::BaseName(path);
        row.RemotePath = ServerNameFor(path);
        row.Size = 0;
        if (const TreeSnapshot::Folder *folder = Tree.FindFolder(TreeSnapshot::Parent(path))) {
            const auto file = folder->files.find(base);
            if (file != folder->files.end())
                row.Size = file->second.now.size;
            // The index page goes up as "index.html" whatever its case on disk,
            // unless its folder has another page that differs only in case
            // (each then keeps its name).
            if (AsciiLower(base) == "index.html" && base != "index.html") {
                const int pages = static_cast<int>(
                    std::count_if(folder->files.begin(), folder->files.end(),
                                  [](const auto &entry) { return AsciiLower(entry.first) == "index.html"; }));
                if (pages == 1)
                    row.RemotePath =
                        TreeSnapshot::Join(ServerNameFor(TreeSnapshot::Parent(path)), "index.html");
            }
        }
    }
    TransferList.TransferCount = n;
    return n;
}

int TMainForm::DetectTreeChanges()
{
    AutoBusy = true;
    RefreshTree();
    const int n = ListTreeRows(TreeUploadOrder(Tree.Differing()));
    if (n > 0)
        ShowStatus("Detect " + std::to_string(n), 3);
    return n;
}

// Once per watch session: every file of the tree whose folder on the server
// lacks it. A folder the server refuses to list is taken as missing; a listing
// that failed otherwise (the connection) leaves the pass for the next tick.
bool TMainForm::DetectTreeMissingFiles()
{
    if (!TreeMissingPending || !FtpSession() || !SessionOpen())
        return false;
    TreeMissingPending = false;
    std::set<std::string> missing;
    for (const std::string &folder : Tree.Folders()) {
        const TreeSnapshot::Folder *local = Tree.FindFolder(folder);
        if (!local || local->files.empty())
            continue;
        // The server's listing and the local tree are compared in the server's names.
        const std::string remoteFolder = ServerNameFor(folder);
        std::vector<platform::FindRecord> records;
        size_t unsafe = 0;
        if (!FindRemote(remoteFolder.empty() ? std::string("*.*") : remoteFolder + "/*.*", records, unsafe)) {
            const uint32_t code = platform::lastError();
            if (code != platform::err::NoMoreFiles && code != platform::err::InternetExtendedError) {
                TreeMissingPending = true;
                return false;
            }
        } else if (!remoteFolder.empty()) {
            KnownRemoteFolders.insert(remoteFolder);
        }
        std::set<std::string> there;
        for (const platform::FindRecord &record : records) {
            if (record.isDirectory())
                KnownRemoteFolders.insert(TreeSnapshot::Join(remoteFolder, record.name));
            else
                there.insert(record.name);
        }
        for (const auto &[name, file] : local->files) {
            const bool index = AsciiLower(name) == "index.html";
            if (file.now.size > 0 && !there.contains(index ? std::string("index.html") : ServerNameFor(name)))
                missing.insert(TreeSnapshot::Join(folder, name));
        }
    }
    if (missing.empty())
        return false;
    AutoBusy = true;
    ShowStatus(ui::translated("MainForm", "ﾛｰｶﾙのﾌｧｲﾙ数がﾎｽﾄより多いです。"), 0);
    ListTreeRows(TreeUploadOrder(missing));
    return true;
}

// --- Remote folders on the way ---

void TMainForm::EnsureRemoteFolders()
{
    // The folders the remote list shows are there already.
    for (int i = 0; i < RemoteFileListV->rowCount(); ++i) {
        const QTreeWidgetItem *row = RemoteFileListV->row(i);
        if (ui::ListView::imageIndex(row) == ImageFolder)
            KnownRemoteFolders.insert(ui::ListView::rowName(row));
    }
    for (int i = 0; i < TransferList.TransferCount; ++i) {
        const TransferEntry &row = TransferList[i];
        if (row.Pending != 1)
            continue;
        for (const std::string &folder : remoteFoldersOf(row.RemotePath)) {
            if (KnownRemoteFolders.insert(folder).second)
                MakeRemoteDir(folder);
        }
    }
}

// --- The upload daemon over the tree ---

void TMainForm::TreeDaemonUploadRows()
{
    TCounterThread *worker = UpDownLoadForm->Worker;
    EnsureRemoteFolders();
    {
        TransferRun run(TransferList.TransferCount);
        for (int k = 0; k < TransferList.TransferCount; ++k) {
            const TransferEntry &row = TransferList[k];
            if (row.Pending != 1)
                continue;
            TransferOne(0, row.LocalPath, row.RemotePath, [this, worker](int sent) {
                if (sent) {
                    ++worker->UpCount;
                    UpDownLoadForm->StatusText = "Count=" + std::to_string(worker->UpCount);
                    worker->Transferred = true;
                } else {
                    UpDownLoadForm->StatusText = "Count=" + std::to_string(worker->UpCount) + " (Failed!)";
                    worker->Transferred = false;
                }
            });
        }
        run.Finish();
    }
    worker->FirstPass = false;
    RebaseTree();
}
