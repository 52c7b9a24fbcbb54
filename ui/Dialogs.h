// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace ui {

// Every message box, question, input box, folder browser and open-file dialog of
// the program goes through this one interface. The program installs the Qt
// implementation; tests install a scripted one that records every text and
// answers from a queue.
class Dialogs {
public:
    enum class Answer { Yes, No, Ok, Cancel };

    virtual ~Dialogs() = default;

    // Plain message box with one OK button.
    virtual void message(const QString &text) = 0;
    // Confirmation box: question icon, buttons Yes and No. Only Yes is true.
    virtual bool confirm(const QString &text) = 0;
    // Warning box with Yes and No. Only Yes is true.
    virtual bool warnYesNo(const QString &text) = 0;
    // Input box: returns false on cancel; value holds the default on entry and
    // the entered text on OK.
    virtual bool input(const QString &caption, const QString &prompt, QString &value) = 0;
    // The same for a password: what is typed is not shown.
    virtual bool inputPassword(const QString &prompt, QString &value) = 0;
    // Folder browser; returns an empty string when cancelled.
    virtual QString browseFolder(const QString &caption, const QString &start) = 0;
    // Open-file dialog; returns an empty string when cancelled.
    virtual QString openFile(const QString &caption, const QString &start, const QString &filter) = 0;

    // The process-wide instance (the Qt implementation unless one was installed).
    static Dialogs &instance();
    // Installs an implementation; returns the previous one. Passing nullptr
    // restores the Qt implementation.
    static std::unique_ptr<Dialogs> install(std::unique_ptr<Dialogs> dialogs);
};

// Shorthand used all over the program.
inline Dialogs &dialogs()
{
    return Dialogs::instance();
}

} // namespace ui
