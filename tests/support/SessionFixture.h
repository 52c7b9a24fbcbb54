// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/AppFixture.h"
#include "support/FtpServer.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <string>

class TMainForm;

namespace testsupport {

// The main window shown offscreen in a temporary program folder, a pyftpdlib
// server on a loopback port, and the connection fields filled for it. The FTP
// session is process-wide; the fixture closes it at the end.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the server (with faults) and fills host, user and password.
    void startServer(const QStringList &faults = {});
    // OpenInternet and OpenSession as a connect does; asserts success.
    void openSession();
    // Puts "自動UP" down as the user does.
    void enterWatch();
    // Ends what automatic work a test left running: the progress window, the
    // watch or a daemon, and the connection.
    void endAutomation();

    std::string panel(int index) const;
    std::string statusLine() const;
    // Creates a file (and its folders) in the served folder.
    void serveFile(const std::string &relative, const std::string &data);
    void serveFolder(const std::string &relative);
    // How many received command lines start with the prefix.
    int countReceived(const QByteArray &prefix) const;

    AppFixture app;
    FtpServer server;
    TMainForm *form = nullptr;
    std::string startDir;
};

} // namespace testsupport
