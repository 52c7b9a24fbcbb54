// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Dialogs.h"

namespace ui {

// The program's dialogs: Qt modal boxes titled "Vexmora" with Japanese buttons.
class QtDialogs : public Dialogs {
public:
    void message(const QString &text) override;
    bool confirm(const QString &text) override;
    bool warnYesNo(const QString &text) override;
    bool input(const QString &caption, const QString &prompt, QString &value) override;
    bool inputPassword(const QString &prompt, QString &value) override;
    QString browseFolder(const QString &caption, const QString &start) override;
    QString openFile(const QString &caption, const QString &start, const QString &filter) override;
};

} // namespace ui
