// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace testsupport {

// A ui::Dialogs for tests. Every call is recorded (kind and text). Answers come
// from a queue of expectations that must be met in order: a dialog that does
// not match the next expectation fails the current test with ADD_FAILURE and
// gets a negative answer (No, Cancel, empty). Optionally plain messages may be
// let through without an expectation (allowMessages), for tests that only look
// at the recorded texts afterwards.
class ScriptedDialogs : public ui::Dialogs {
public:
    enum class Kind { Message, Confirm, WarnYesNo, Input, Password, BrowseFolder, OpenFile };
    using Answer = ui::Dialogs::Answer;

    struct Call {
        Kind kind;
        QString text; // the message, the question, the input prompt, or the caption of a file dialog
    };

    struct Expectation {
        Kind kind;
        QString text;  // empty: any text
        bool contains; // match `text` as a fragment instead of the whole text
        Answer answer; // Yes/No for questions, Ok/Cancel for input boxes
        QString value; // entered text, chosen folder or chosen file
    };

    // Queues the next expected dialog. An empty text accepts any text.
    ScriptedDialogs &expect(Kind kind, const QString &text = {}, Answer answer = Answer::Ok,
                            const QString &value = {});
    // Same, matching the text as a fragment.
    ScriptedDialogs &expectContaining(Kind kind, const QString &fragment, Answer answer = Answer::Ok,
                                      const QString &value = {});
    // Shorthands.
    ScriptedDialogs &expectMessage(const QString &text = {}) { return expect(Kind::Message, text); }
    ScriptedDialogs &expectConfirm(const QString &text, bool yes)
    {
        return expect(Kind::Confirm, text, yes ? Answer::Yes : Answer::No);
    }
    ScriptedDialogs &expectWarning(const QString &text, bool yes)
    {
        return expect(Kind::WarnYesNo, text, yes ? Answer::Yes : Answer::No);
    }
    ScriptedDialogs &expectInput(const QString &prompt, const QString &entered)
    {
        return expect(Kind::Input, prompt, Answer::Ok, entered);
    }
    ScriptedDialogs &expectInputCancelled(const QString &prompt)
    {
        return expect(Kind::Input, prompt, Answer::Cancel);
    }
    ScriptedDialogs &expectPassword(const QString &prompt, const QString &entered)
    {
        return expect(Kind::Password, prompt, Answer::Ok, entered);
    }
    ScriptedDialogs &expectBrowseFolder(const QString &chosen)
    {
        return expect(Kind::BrowseFolder, {}, Answer::Ok, chosen);
    }
    ScriptedDialogs &expectOpenFile(const QString &chosen)
    {
        return expect(Kind::OpenFile, {}, Answer::Ok, chosen);
    }

    // When on, a plain message with no matching expectation at the head of the
    // queue is recorded and accepted instead of failing the test.
    void allowMessages(bool allow = true);

    // Every dialog shown so far, in order.
    std::vector<Call> calls() const;
    // The texts of the plain messages shown so far.
    QStringList messages() const;
    int count(Kind kind) const;
    // Expectations not met yet.
    size_t pending() const;
    // Fails the current test when expectations are left over; clears them.
    void verifyAllMet();
    void clear();

    void message(const QString &text) override;
    bool confirm(const QString &text) override;
    bool warnYesNo(const QString &text) override;
    bool input(const QString &caption, const QString &prompt, QString &value) override;
    bool inputPassword(const QString &prompt, QString &value) override;
    QString browseFolder(const QString &caption, const QString &start) override;
    QString openFile(const QString &caption, const QString &start, const QString &filter) override;

    static const char *kindName(Kind kind);

private:
    // Records the call and pops the matching expectation; false when it did not
    // match (the test has been failed unless the call was an allowed message).
    bool take(Kind kind, const QString &text, Expectation &met);

    mutable std::mutex m_mutex;
    std::deque<Expectation> m_expected;
    std::vector<Call> m_calls;
    bool m_allowMessages = false;
};

// Installs a fresh ScriptedDialogs for the scope and restores the previous
// implementation at its end, after checking that every expectation was met.
class ScopedScriptedDialogs {
public:
    ScopedScriptedDialogs();
    ~ScopedScriptedDialogs();
    ScopedScriptedDialogs(const ScopedScriptedDialogs &) = delete;
    ScopedScriptedDialogs &operator=(const ScopedScriptedDialogs &) = delete;

    ScriptedDialogs &operator*() { return *m_dialogs; }
    ScriptedDialogs *operator->() { return m_dialogs; }
    ScriptedDialogs &get() { return *m_dialogs; }

private:
    ScriptedDialogs *m_dialogs;
    std::unique_ptr<ui::Dialogs> m_previous;
};

} // namespace testsupport
