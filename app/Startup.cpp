// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Startup.h"

#include "app/MainForm.h"
#include "app/windows/Hostlist.h"
#include "app/windows/Mssg.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "platform/InstanceLock.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

void CreateWindows(const std::string &exePath, const std::string &startDir)
{
    new TMainForm(exePath, startDir);
    new THostForm(MainForm);
    new TUpDownLoadForm(MainForm);
    new TMssgForm(MainForm);
    new TSingleAutoUpForm(MainForm);
}

void DestroyWindows()
{
    delete SingleAutoUpForm;
    delete MssgForm;
    delete UpDownLoadForm;
    delete HostForm;
    delete MainForm;
}

int VexmoraMain(const StartupOptions &options, const std::string &startDir)
{
    try {
        platform::InstanceLock lock(options.lockPath);
        if (lock.result() == platform::InstanceLock::Result::Failed) {
            ui::dialogs().message(ui::translate("Startup", "Mutexの作成に失敗しました。"));
        } else if (lock.result() == platform::InstanceLock::Result::AlreadyExists) {
            if (!ui::dialogs().confirm(
                    ui::translate("Startup", "Vexmora はすでに起動されています。\n複数起動を行いますか？")))
                return 0;
        }

        // Only the application name: a display name would be appended to every
        // window title ("… — Vexmora"), and the titles are the windows' own.
        QApplication::setApplicationName(QStringLiteral("Vexmora"));
        ui::applyProgramFont();
        CreateWindows(options.exePath, startDir);
        // Closing the main window ends the application, whatever else is open.
        QObject::connect(MainForm, &ui::Form::formClosed, qApp, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        MainForm->show();
        QApplication::exec();
        DestroyWindows();
        return 0;
    } catch (const std::exception &e) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Vexmora"), QString::fromUtf8(e.what()));
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 0;
    }
}
