// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SessionFixture.h"

#include "app/MainForm.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Upanddown.h"
#include "platform/LocalFiles.h"
#include "support/TestUtil.h"
#include "ui/Clock.h"
#include "ui/Edit.h"
#include "ui/SpeedButton.h"
#include "ui/StatusBar.h"
#include "ui/Text.h"

#include <QDir>
#include <QFileInfo>

namespace testsupport {

void SessionTest::SetUp()
{
    platform::currentDirectory(startDir);
    // Short timeouts, so that a fault never costs the default half minute.
    SetFtpOptions(platform::FtpOptions{5000, 5000, 5000});
    form = app.showMainForm();
    // One connection, file after file, unless a test asks for more; binary
    // transfers and no Cancel, whatever an earlier test in this process left.
    SetTransferConnections(1);
    SetTransferType(FtpTransferBinary);
    ResetDownloadCancel();
}

void SessionTest::TearDown()
{
    if (SessionOpen())
        CloseSession();
    SetFtpOptions(platform::FtpOptions{});
    ui::Clock::setScale(1.0);
    platform::setCurrentDirectory(startDir);
    app.destroyMainForm();
}

void SessionTest::enterWatch()
{
    form->SpeedAutoUp->setEnabled(true);
    form->SpeedAutoUp->click();
    ASSERT_EQ(form->UploadMode, 1);
}

void SessionTest::endAutomation()
{
    if (UpDownLoadForm->isVisible())
        UpDownLoadForm->ButtonCancelClick();
    waitUntil([] { return !UpDownLoadForm->isVisible(); }, 5000);
    form->StopAutomation();
    if (form->Connected)
        form->DisconnectActionExecute();
}

void SessionTest::startServer(const QStringList &faults)
{
    server.setFaults(faults);
    ASSERT_TRUE(server.start()) << server.errorString().toStdString();
    form->EHost->setText(ui::toQ(server.address()));
    form->EUserId->setText(ui::toQ(server.user()));
    form->EPassword->setText(ui::toQ(server.password()));
}

void SessionTest::openSession()
{
    ASSERT_TRUE(OpenInternet());
    ASSERT_EQ(OpenSession(server.address()), 1) << panel(0);
}

std::string SessionTest::panel(int index) const
{
    return ui::fromQ(form->StatusBar->panelText(index));
}

std::string SessionTest::statusLine() const
{
    return ui::fromQ(form->StatusBar1->simpleText());
}

void SessionTest::serveFile(const std::string &relative, const std::string &data)
{
    const std::string path = server.rootPath(relative);
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    ASSERT_TRUE(writeFileBytes(path, data));
}

void SessionTest::serveFolder(const std::string &relative)
{
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(server.rootPath(relative))));
}

int SessionTest::countReceived(const QByteArray &prefix) const
{
    int n = 0;
    for (const QByteArray &line : server.receivedCommands())
        if (line.startsWith(prefix))
            ++n;
    return n;
}

} // namespace testsupport
