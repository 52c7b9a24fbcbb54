// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's host list store, connect and disconnect.
#include "app/MainForm.h"

#include "app/model/Ecypt.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Hostlist.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "ui/Button.h"
#include "ui/ListView.h"
#include "ui/SpeedButton.h"
#include "ui/Timer.h"

#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Language.h"
#include "ui/Text.h"
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

bool TMainForm::LoadHostList(bool quiet)
{
    return LoadHostListFile(HostList, HostListPath, quiet, &HostListUnreadable);
}

// A host list file that exists but could not be read still holds the user's
// accounts: it is not replaced until a load reads it again, unless the user
// chooses to start a new list.
void TMainForm::SaveHostList(bool allowEmpty)
{
    if (HostListUnreadable) {
        if (!ui::dialogs().confirm(ui::fillQ(
                ui::translate("MainForm", "%1\nを読み込めなかったため、ホスト一覧を保存しませんでした。"
                                          "\nこのファイルは読み込めるようになるまでそのまま残します。"
                                          "\n\n新しいホスト一覧を作成して置き換えますか？"
                                          "\n(元のファイルに登録されたホストは失われます)"),
                {HostListPath})))
            return;
        HostListUnreadable = false;
    }
    MovePasswordsToStore();
    SaveHostListFile(HostList, HostListPath, allowEmpty);
}

void TMainForm::NoteSecretResult(SecretStore::Result result)
{
    if (result != SecretStore::Result::NoService && result != SecretStore::Result::Declined)
        return;
    SecretStoreMissing = true;
    if (!SecretNoticeShown) {
        SecretNoticeShown = true;
        ShowStatus(ui::fromQ(PasswordFileOnlyText()), 999);
    }
}

std::string TMainForm::StoredPassword(const HostRecord &entry)
{
    if (SavePasswords == 0)
        return {};
    if (!entry.HoldsPasswordMarker())
        return PasswordFromCipher(entry.PasswordCipher());
    if (SecretStoreMissing)
        return {};
    std::string password;
    const SecretStore::Result result =
        Secrets.lookup(SecretKeyOf(entry.HostName(), entry.UserName()), password);
    NoteSecretResult(result);
    // Nothing behind the marker (the store was reset) or no answer: the
    // connect asks for the password, and the next save stores it again.
    return result == SecretStore::Result::Ok ? password : std::string();
}

// Every password kept as a cipher goes into the secret store, its field then
// holding the marker. A store that errors or does not answer is not asked
// again during this save: the other accounts' fields wait for the next one,
// and the current account's password (the one this run knows) is not written
// into the file then but replaced by the marker: the connect asks for it next
// time.
void TMainForm::MovePasswordsToStore()
{
    bool storeFailed = false;
    for (int i = 0; i < MaxHosts; ++i) {
        HostRecord &entry = HostList[i];
        if (!entry.InUse())
            continue;
        const SecretKey key = SecretKeyOf(entry.HostName(), entry.UserName());
        const bool current =
            entry.HostName() == ui::fromQ(EHost->text()) && entry.UserName() == ui::fromQ(EUserId->text());
        if (SavePasswords == 0) {
            if (entry.HoldsPasswordMarker() && !SecretStoreMissing && !storeFailed) {
                const SecretStore::Result result = Secrets.remove(key);
                NoteSecretResult(result);
                storeFailed = result == SecretStore::Result::Failed;
            }
            entry.SetPasswordCipher({});
            continue;
        }
        if (!entry.HoldsPasswordCipher() || SecretStoreMissing)
            continue;
        if (storeFailed) {
            if (current)
                entry.SetPasswordMarker();
            continue;
        }
        const SecretStore::Result result = Secrets.store(key, SecretLabel(entry.HostName(), entry.UserName()),
                                                         PasswordFromCipher(entry.PasswordCipher()));
        NoteSecretResult(result);
        if (result == SecretStore::Result::Ok) {
            entry.SetPasswordMarker();
        } else if (result == SecretStore::Result::Failed) {
            storeFailed = true;
            if (current)
                entry.SetPasswordMarker();
            ShowStatus(ui::translated("MainForm", "ｷｰﾘﾝｸﾞにﾊﾟｽﾜｰﾄﾞを保存できませんでした。"), 999);
        }
    }
}

void TMainForm::ForgetPassword(const HostRecord &entry)
{
    if (!entry.HoldsPasswordMarker() || SecretStoreMissing)
        return;
    const SecretKey key = SecretKeyOf(entry.HostName(), entry.UserName());
    for (const HostRecord &other : HostList.Entries) {
        if (&other != &entry && other.InUse() && other.HoldsPasswordMarker()
            && SecretKeyOf(other.HostName(), other.UserName()) == key)
            return;
    }
    NoteSecretResult(Secrets.remove(key));
}

void TMainForm::StoreCurrentHost()
{
    const std::string host = ui::fromQ(EHost->text());
    if (!HostNameGiven(host))
        return;
    const std::string user = ui::fromQ(EUserId->text());
    const std::string password = ui::fromQ(EPassword->text());
    // A password the secret store did not give this run stays where it is.
    const int existing = HostList.FindAccount(host, user);
    const bool keepMarker = password.empty() && existing >= 0 && HostList[existing].HoldsPasswordMarker();
    int status = 0;
    PasswordCipher =
        SavePasswords == 0 || keepMarker ? std::string() : CryptPassword(password, status, CipherEncrypt);
    const StoreResult stored =
        StoreAccount(HostList, host, user, PasswordCipher, LastLocalDir, LastRemoteDir);
    if (stored == StoreResult::ListFull)
        ui::dialogs().message(ui::toQ(HostListFullMessage()));
    else if (stored == StoreResult::Stored && keepMarker)
        HostList[existing].SetPasswordMarker();
}

// Fills the password field from the stored account that matches the host and
// user fields, read quietly at construction.
void TMainForm::RestorePassword()
{
    PasswordCipher.clear();
    if (!LoadHostList(true))
        return;
    const int index = HostList.FindAccount(ui::fromQ(EHost->text()), ui::fromQ(EUserId->text()));
    if (index < 0)
        return;
    PasswordCipher = HostList[index].PasswordCipher();
    if (!PasswordCipher.empty())
        EPassword->setText(ui::toQ(StoredPassword(HostList[index])));
}

// --- Host list window ---

void TMainForm::FillHostListView()
{
    HostForm->ListView1->clear();
    for (int i = 0; i < MaxHosts && HostList[i].InUse(); ++i)
        HostForm->ListView1->addRow({ui::toQ(HostList[i].HostName()), ui::toQ(HostList[i].UserName())}, -1);
}

void TMainForm::OpenHostListExecute()
{
    LoadHostList(false);
    SelectedHostIndex = -1;
    HostForm->Tag = -1;
    DeleteHostIndex = -1;
    HostForm->ButtonDelete->setTag(-1);
    FillHostListView();
    // Whether the passwords shown here are kept in a secret store, asked once a run.
    if (SavePasswords != 0 && !SecretStoreMissing && !SecretStoreProbed) {
        SecretStoreProbed = true;
        NoteSecretResult(Secrets.probe());
    }
    HostForm->LabelPasswordNotice->setVisible(SavePasswords != 0 && SecretStoreMissing);
    bool deleted = false;
    HostForm->showModal();
    SelectedHostIndex = HostForm->Tag;
    DeleteHostIndex = HostForm->ButtonDelete->tag();
    if (SelectedHostIndex >= 0 && SelectedHostIndex < MaxHosts) {
        const HostRecord &entry = HostList[SelectedHostIndex];
        EHost->setText(ui::toQ(entry.HostName()));
        EUserId->setText(ui::toQ(entry.UserName()));
        EPassword->setText(ui::toQ(StoredPassword(entry)));
        LastLocalDir = entry.LocalDir();
        LastRemoteDir = entry.RemoteDir();
    } else if (DeleteHostIndex >= 0 && DeleteHostIndex < MaxHosts) {
        HostRecord &entry = HostList[DeleteHostIndex];
        if (entry.HostName() == ui::fromQ(EHost->text()) && entry.UserName() == ui::fromQ(EUserId->text()))
            ui::dialogs().message(
                ui::translate("MainForm", "指定のホストは現在使用中ですので\n削除できませんでした。"));
        else if (entry.InUse()) {
            entry.SetInUse(false);
            ForgetPassword(entry);
            // Deleting the last account empties the file, so it stays deleted.
            deleted = true;
        }
    }
    SaveHostList(deleted);
}

// --- Connect and disconnect ---

void TMainForm::ConnectActionExecute()
{
    if (EHost->text().isEmpty()) {
        ui::dialogs().message(ui::translate("MainForm", "ホスト名を入力して下さい。"));
        return;
    }
    if (EUserId->text().isEmpty()) {
        ui::dialogs().message(ui::translate("MainForm", "ユーザー名を入力して下さい。"));
        return;
    }
    if (EPassword->text().isEmpty()) {
        // An account whose password is not kept (SavePasswords=0), or whose
        // secret the store did not give, asks for it here, once per run.
        const int index = HostList.FindAccount(ui::fromQ(EHost->text()), ui::fromQ(EUserId->text()));
        QString typed;
        if (SavePasswords != 0 && (index < 0 || !HostList[index].HoldsPasswordMarker())) {
            ui::dialogs().message(ui::translate("MainForm", "パスワードを入力して下さい。"));
            return;
        }
        if (!ui::dialogs().inputPassword(ui::translate("MainForm", "%1@%2 のパスワードを入力して下さい。")
                                             .arg(EUserId->text(), EHost->text()),
                                         typed)
            || typed.isEmpty())
            return;
        EPassword->setText(typed);
    }
    if (HostEdited) {
        const int index = HostList.FindAccount(ui::fromQ(EHost->text()), ui::fromQ(EUserId->text()));
        LastLocalDir = index >= 0 ? HostList[index].LocalDir() : std::string();
        LastRemoteDir = index >= 0 ? HostList[index].RemoteDir() : std::string();
    }
    BeginBusy();
    LastShownLocalDir.clear();
    LastShownRemoteDir.clear();
    if (!StartSession()) {
        EndBusy();
        return;
    }
    if (OpenSession(ui::fromQ(EHost->text()))) {
        if (LastRemoteDir.find_first_not_of(' ') == std::string::npos)
            LastRemoteDir.clear();
        else if (RemoteExists(LastRemoteDir))
            SetRemoteDir(LastRemoteDir);
        if (RefreshRemoteList())
            RefreshFileList(RemoteSide);
        if (!LastLocalDir.empty() && platform::directoryExists(LastLocalDir))
            SetLocalDir(LastLocalDir);
        AddDriveRoots();
        ListLocal();
        ShowLocalFolderInfo();
    } else if (platform::lastError() != platform::err::SecureCertificateRejected) {
        // A certificate the user refused was answered in its own box already.
        ui::dialogs().message(ui::translate("MainForm", "ﾎｽﾄがｵｰﾌﾟﾝできませんでした。"));
    }
    HostEdited = false;
    EndBusy();
}

void TMainForm::DisconnectActionExecute()
{
    BeginUserAction();
    RememberShownFolders();
    CloseSession();
    LocalFileListV->clear();
    RemoteFileListV->clear();
    LoadHostList(false);
    StoreCurrentHost();
    SaveHostList();
    StopAutomation();
    BitBtnAutoDownDaemon->setEnabled(false);
    cbPriodDown->setEnabled(false);
    BitBtnAutoUpDaemon->setEnabled(false);
}

// The folders the account is stored with: those the boxes show, or, where a
// lost connection emptied a box, the last folder it showed.
void TMainForm::RememberShownFolders()
{
    LastRemoteDir = ComboCurrDir->textBytes().empty() ? LastShownRemoteDir : ComboCurrDir->textBytes();
    LastLocalDir = ComboLocalDir->textBytes().empty() ? LastShownLocalDir : ComboLocalDir->textBytes();
    SessionFoldersShown = false;
}

void TMainForm::StopAutomation()
{
    AutoUpAllowed = false;
    UploadMode = 0;
    TimerDemon->setInterval(0);
    CheckUseThread->setEnabled(true);
    SpeedNormalUp->setDown(true);
    ReUpload->setEnabled(false);
    FailureStreak.clear();
    // The tree's inotify watches count against the user's limit: given back.
    if (!UpDownLoadForm || !UpDownLoadForm->isVisible()) {
        TreeWatcher.clear();
        Tree.Clear();
    }
    if (SingleAutoUpForm && SingleAutoUpForm->isVisible())
        SingleAutoUpForm->hide();
    ReleaseLocks();
}

bool TMainForm::StartSession()
{
    HostList.MarkAllFree();
    if (!OpenInternet()) {
        ui::dialogs().message(ui::translate("MainForm", "続行できません。"));
        return false;
    }
    return true;
}

// Repairs a connection the server dropped: when the session no longer answers
// with the folder the box shows, it is closed, opened again and taken back to
// that folder. The folder change made here never starts another reconnect.
bool TMainForm::Reconnect()
{
    const ReconnectScope scope;
    std::string folder;
    if (IsRemoteDirShown(folder))
        return true;
    CloseSession();
    if (!StartSession())
        return false;
    if (OpenSession(ui::fromQ(EHost->text()))) {
        SetRemoteDir(ComboCurrDir->textBytes());
        return true;
    }
    if (platform::lastError() != platform::err::SecureCertificateRejected)
        ReportReconnectFailure(ui::translated("MainForm", "ﾎｽﾄがｵｰﾌﾟﾝできませんでした。"));
    return false;
}
