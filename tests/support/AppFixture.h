// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ScriptedDialogs.h"

#include <QTemporaryDir>
#include <memory>
#include <string>

class TMainForm;

namespace testsupport {

// A temporary program folder with the executable path the main window is built
// from, the scripted dialogs, and helpers to make and destroy the main window.
class AppFixture {
public:
    AppFixture();
    ~AppFixture();

    std::string dir() const { return m_dir.path().toStdString(); }
    std::string exePath() const { return dir() + "/Vexmora"; }
    std::string iniPath() const { return dir() + "/Vexmora.INI"; }
    std::string hostListPath() const { return dir() + "/Vexmora.H$$"; }

    ScriptedDialogs &dialogs() { return m_dialogs.get(); }

    // Creates the five windows (the main window not shown) and returns the main
    // window; destroys any earlier ones.
    TMainForm *makeMainForm();
    // Constructs and shows it offscreen, so its first-show handler runs.
    TMainForm *showMainForm();
    void destroyMainForm();

    std::string readFile(const std::string &path) const;
    void writeFile(const std::string &path, const std::string &data) const;

private:
    QTemporaryDir m_dir;
    ScopedScriptedDialogs m_dialogs;
    TMainForm *m_form = nullptr;
};

} // namespace testsupport
