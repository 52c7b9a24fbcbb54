// The main window's host list store, connect and disconnect.
#include "app/MainForm.h"

#include "app/Ecypt.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Text.h"

bool TMainForm::LoadHostList(bool quiet)
{
    return LoadHostListFile(HostList, HostListPath, quiet);
}

void TMainForm::SaveHostList()
{
    SaveHostListFile(HostList, HostListPath);
}

void TMainForm::StoreCurrentHost()
{
    const std::string host = ui::fromQ(EHost->text());
    if (!HostNameGiven(host))
        return;
    int status = 0;
    PasswordCipher = CryptPassword(ui::fromQ(EPassword->text()), status, CipherEncrypt);
    if (StoreAccount(HostList, host, ui::fromQ(EUserId->text()), PasswordCipher, LastLocalDir, LastRemoteDir)
        == StoreResult::ListFull)
        ui::dialogs().message(ui::toQ(HostListFullMessage()));
}

// Fills the password field from the stored account that matches the host and
// user fields, read quietly at construction.
void TMainForm::RestorePassword()
{
    PasswordCipher.clear();
    if (LoadHostList(true)) {
        const int index = HostList.FindAccount(ui::fromQ(EHost->text()), ui::fromQ(EUserId->text()));
        if (index >= 0)
            PasswordCipher = HostList[index].PasswordCipher();
    }
    if (!PasswordCipher.empty())
        EPassword->setText(ui::toQ(PasswordFromCipher(PasswordCipher)));
}

// The host list window, connecting and disconnecting arrive with the connect
// commands; until then these do nothing.
void TMainForm::OpenHostListExecute() {}
void TMainForm::ConnectActionExecute() {}
void TMainForm::DisconnectActionExecute() {}
void TMainForm::StopAutomation() {}
