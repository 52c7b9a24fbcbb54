// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedDialogs.h"
#include "ui/Language.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test executable gets a QApplication; widget tests run offscreen (CTest
// sets QT_QPA_PLATFORM, and so does this main when it is unset). A scripted
// dialogs implementation with no expectations is installed for the whole run,
// so any dialog a test did not ask for fails that test instead of blocking.
// The interface is Japanese, whatever the machine's locale.
// The session bus is one nobody listens on unless a test starts its own.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test reaches the user's own session bus (and keyring): tests that
    // need a bus start their own (PrivateBus).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vexmora-tests-have-no-bus");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ui::installLanguage("ja", {});
    ui::Dialogs::install(std::make_unique<testsupport::ScriptedDialogs>());
    const int result = RUN_ALL_TESTS();
    ui::Dialogs::install(nullptr);
    return result;
}
