// SPDX-License-Identifier: GPL-3.0-or-later
// The main window connected to a pyftpdlib server, with a temporary local
// folder as the current folder and time compressed; shared by the transfer,
// file operation and loop upload tests.
#pragma once

#include "app/MainForm.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "platform/LocalFiles.h"
#include "support/SessionFixture.h"
#include "support/TestUtil.h"
#include "ui/Clock.h"
#include "ui/ListView.h"
#include "ui/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace transfertest {

using testsupport::ScriptedDialogs;
using Watchdog = testsupport::ModalWatchdog;

class TransferTest : public testsupport::SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        ui::Clock::setScale(0.01);
        local = std::make_unique<testsupport::TempFolder>();
        ASSERT_TRUE(platform::setCurrentDirectory(local->pathBytes()));
    }
    void TearDown() override
    {
        SessionTest::TearDown();
        local.reset();
    }

    void connect(const QStringList &faults = {})
    {
        ASSERT_NO_FATAL_FAILURE(startServer(faults));
        form->ConnectActionExecute();
        ASSERT_TRUE(form->Connected) << panel(0);
    }

    std::string localPath(const std::string &relative) const { return local->filePath(relative); }
    void writeLocal(const std::string &relative, const std::string &data)
    {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(QString::fromStdString(localPath(relative))).path()));
        ASSERT_TRUE(testsupport::writeFileBytes(localPath(relative), data));
    }
    void makeLocalFolder(const std::string &relative)
    {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(localPath(relative))));
    }
    bool localExists(const std::string &relative) const
    {
        return QFileInfo::exists(QString::fromStdString(localPath(relative)));
    }
    std::string served(const std::string &relative) const
    {
        return testsupport::readFileBytes(server.rootPath(relative));
    }
    bool servedExists(const std::string &relative) const
    {
        return QFileInfo::exists(QString::fromStdString(server.rootPath(relative)));
    }

    void showLocal() { form->RefreshFileList(LocalSide); }
    void showRemote()
    {
        RefreshRemoteList();
        form->RefreshFileList(RemoteSide);
    }

    static int rowOf(const ui::ListView *list, const std::string &name)
    {
        for (int i = 0; i < list->rowCount(); ++i)
            if (ui::fromQ(list->row(i)->text(0)) == name)
                return i;
        return -1;
    }
    // Selects exactly the named rows.
    void select(ui::ListView *list, std::initializer_list<std::string> names)
    {
        list->clearSelection();
        for (const std::string &name : names) {
            const int row = rowOf(list, name);
            ASSERT_GE(row, 0) << name;
            list->selectRow(row);
        }
    }

    // Position of the first received command line equal to `line`, or -1.
    int commandIndex(const QByteArray &line) const
    {
        const QByteArrayList lines = server.receivedCommands();
        return static_cast<int>(lines.indexOf(line));
    }
    // The last TYPE command received before the given command line.
    QByteArray typeBefore(const QByteArray &line) const
    {
        const QByteArrayList lines = server.receivedCommands();
        QByteArray type;
        for (const QByteArray &received : lines) {
            if (received == line)
                return type;
            if (received.startsWith("TYPE "))
                type = received;
        }
        return {};
    }

    std::unique_ptr<testsupport::TempFolder> local;
};

} // namespace transfertest
