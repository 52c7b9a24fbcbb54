// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedDialogs.h"

#include "ui/InterfaceWait.h"

#include <gtest/gtest.h>

namespace testsupport {

const char *ScriptedDialogs::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Message:
        return "message";
    case Kind::Confirm:
        return "confirm";
    case Kind::WarnYesNo:
        return "warnYesNo";
    case Kind::Input:
        return "input";
    case Kind::Password:
        return "password";
    case Kind::BrowseFolder:
        return "browseFolder";
    case Kind::OpenFile:
        return "openFile";
    }
    return "?";
}

ScriptedDialogs &ScriptedDialogs::expect(Kind kind, const QString &text, Answer answer, const QString &value)
{
    std::lock_guard lock(m_mutex);
    m_expected.push_back({kind, text, false, answer, value});
    return *this;
}

ScriptedDialogs &ScriptedDialogs::expectContaining(Kind kind, const QString &fragment, Answer answer,
                                                   const QString &value)
{
    std::lock_guard lock(m_mutex);
    m_expected.push_back({kind, fragment, true, answer, value});
    return *this;
}

void ScriptedDialogs::allowMessages(bool allow)
{
    std::lock_guard lock(m_mutex);
    m_allowMessages = allow;
}

std::vector<ScriptedDialogs::Call> ScriptedDialogs::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

QStringList ScriptedDialogs::messages() const
{
    std::lock_guard lock(m_mutex);
    QStringList texts;
    for (const Call &call : m_calls) {
        if (call.kind == Kind::Message)
            texts << call.text;
    }
    return texts;
}

int ScriptedDialogs::count(Kind kind) const
{
    std::lock_guard lock(m_mutex);
    int n = 0;
    for (const Call &call : m_calls)
        n += call.kind == kind ? 1 : 0;
    return n;
}

size_t ScriptedDialogs::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_expected.size();
}

void ScriptedDialogs::verifyAllMet()
{
    std::lock_guard lock(m_mutex);
    for (const Expectation &e : m_expected)
        ADD_FAILURE() << "expected dialog not shown: " << kindName(e.kind) << " \"" << e.text.toStdString()
                      << "\"";
    m_expected.clear();
}

void ScriptedDialogs::clear()
{
    std::lock_guard lock(m_mutex);
    m_expected.clear();
    m_calls.clear();
}

bool ScriptedDialogs::take(Kind kind, const QString &text, Expectation &met)
{
    if (!ui::isInterfaceThread())
        ADD_FAILURE() << "dialog shown off the interface thread: \"" << text.toStdString() << "\"";
    std::lock_guard lock(m_mutex);
    m_calls.push_back({kind, text});
    if (!m_expected.empty()) {
        const Expectation &next = m_expected.front();
        const bool textMatches =
            next.text.isEmpty() || (next.contains ? text.contains(next.text) : text == next.text);
        if (next.kind == kind && textMatches) {
            met = next;
            m_expected.pop_front();
            return true;
        }
    }
    if (kind == Kind::Message && m_allowMessages)
        return false;
    if (m_expected.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << kindName(kind) << " \"" << text.toStdString() << "\"";
    } else {
        const Expectation &next = m_expected.front();
        ADD_FAILURE() << "unexpected dialog: " << kindName(kind) << " \"" << text.toStdString()
                      << "\"; expected " << kindName(next.kind) << " \"" << next.text.toStdString() << "\"";
    }
    return false;
}

void ScriptedDialogs::message(const QString &text)
{
    Expectation met{};
    take(Kind::Message, text, met);
}

bool ScriptedDialogs::confirm(const QString &text)
{
    Expectation met{};
    return take(Kind::Confirm, text, met) && met.answer == Answer::Yes;
}

bool ScriptedDialogs::warnYesNo(const QString &text)
{
    Expectation met{};
    return take(Kind::WarnYesNo, text, met) && met.answer == Answer::Yes;
}

bool ScriptedDialogs::input(const QString &caption, const QString &prompt, QString &value)
{
    Q_UNUSED(caption);
    Expectation met{};
    if (!take(Kind::Input, prompt, met) || met.answer != Answer::Ok)
        return false;
    value = met.value;
    return true;
}

bool ScriptedDialogs::inputPassword(const QString &prompt, QString &value)
{
    Expectation met{};
    if (!take(Kind::Password, prompt, met) || met.answer != Answer::Ok)
        return false;
    value = met.value;
    return true;
}

QString ScriptedDialogs::browseFolder(const QString &caption, const QString &start)
{
    Q_UNUSED(start);
    Expectation met{};
    if (!take(Kind::BrowseFolder, caption, met) || met.answer == Answer::Cancel)
        return {};
    return met.value;
}

QString ScriptedDialogs::openFile(const QString &caption, const QString &start, const QString &filter)
{
    Q_UNUSED(start);
    Q_UNUSED(filter);
    Expectation met{};
    if (!take(Kind::OpenFile, caption, met) || met.answer == Answer::Cancel)
        return {};
    return met.value;
}

ScopedScriptedDialogs::ScopedScriptedDialogs()
{
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    m_previous = ui::Dialogs::install(std::move(dialogs));
}

ScopedScriptedDialogs::~ScopedScriptedDialogs()
{
    m_dialogs->verifyAllMet();
    // Restoring hands the scripted instance back, and it is destroyed here.
    ui::Dialogs::install(std::move(m_previous));
}

} // namespace testsupport
