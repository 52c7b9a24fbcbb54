// SPDX-License-Identifier: GPL-3.0-or-later
// Server text shown as plain text, settings saved in one replace, and what a
// crash during a save left behind removed at the next start.
#include "app/MainForm.h"
#include "support/AppFixture.h"
#include "support/TestUtil.h"
#include "ui/Edit.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::AppFixture;

namespace {

// Runs `show` (which opens one modal dialog) and reports, for every label of
// that dialog holding `text`, whether it would show markup as markup.
int richLabelsShowing(const std::function<void()> &show, const QString &text, int &labelsFound)
{
    int rich = 0;
    labelsFound = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        for (const QLabel *label : dialog->findChildren<QLabel *>()) {
            if (!label->text().contains(text))
                continue;
            ++labelsFound;
            const bool plain =
                label->textFormat() == Qt::PlainText
                || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text()));
            rich += plain ? 0 : 1;
        }
        dialog->reject();
    });
    poll.start(10);
    show();
    return rich;
}

pid_t deadPid()
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

} // namespace

TEST(Hardening, ServerTextInBoxesIsShownLiterally)
{
    const QString reply = QStringLiteral("530 <a href=\"http://127.0.0.1/\">login</a> <b>refused</b>");
    ui::QtDialogs dialogs;
    QString value = QStringLiteral("x");
    const std::vector<std::pair<const char *, std::function<void()>>> boxes = {
        {"message", [&] { dialogs.message(reply); }},
        {"confirm", [&] { dialogs.confirm(reply); }},
        {"warning", [&] { dialogs.warnYesNo(reply); }},
        {"input", [&] { dialogs.input(QString(), reply, value); }},
    };
    for (const auto &[kind, show] : boxes) {
        int found = 0;
        EXPECT_EQ(richLabelsShowing(show, QStringLiteral("<a href="), found), 0) << kind;
        EXPECT_EQ(found, 1) << kind;
    }
}

TEST(Hardening, ASettingsSaveIsOneReplaceOfTheFile)
{
    AppFixture app;
    TMainForm *f = app.makeMainForm();
    f->EPassword->setText(QStringLiteral("pw"));
    f->SaveSettings(); // the file exists from here on

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, app.dir().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    f->LastRemoteDir = "/www";
    f->SaveSettings();

    int replaces = 0;
    int writes = 0;
    alignas(inotify_event) char buffer[16 * 1024];
    ssize_t n;
    while ((n = read(watch, buffer, sizeof buffer)) > 0) {
        for (char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            const std::string name = event->len ? event->name : "";
            replaces += (event->mask & IN_MOVED_TO) && name == "Vexmora.INI" ? 1 : 0;
            writes += (event->mask & IN_CLOSE_WRITE) ? 1 : 0;
            p += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    EXPECT_EQ(replaces, 1);
    EXPECT_EQ(writes, 1);
    const std::string ini = app.readFile(app.iniPath());
    EXPECT_NE(ini.find("LastHDir=/www"), std::string::npos);
    EXPECT_NE(ini.find("Target=1"), std::string::npos);
}

TEST(Hardening, TheStartRemovesWhatACrashedSaveLeftAndNothingElse)
{
    AppFixture app;
    const std::string dead = std::to_string(deadPid());
    const std::string live = std::to_string(getppid());
    const std::vector<std::string> leftovers = {"Vexmora.INI.~" + dead + ".0", "Vexmora.H$$.~" + dead + ".17",
                                                "Vexmora.TRUST.~" + dead + ".3"};
    const std::vector<std::string> kept = {"Vexmora.INI.~" + live + ".0", // a save of a copy that still runs
                                           "Other.INI.~" + dead + ".0", "Vexmora.INI.~" + dead,
                                           "Vexmora.INI.~" + dead + ".1x", "Vexmora.INI.~x" + dead + ".1"};
    for (const std::string &name : leftovers)
        app.writeFile(app.dir() + "/" + name, "half a save");
    for (const std::string &name : kept)
        app.writeFile(app.dir() + "/" + name, "not ours to remove");

    app.makeMainForm();
    for (const std::string &name : leftovers)
        EXPECT_FALSE(testsupport::fileExists(app.dir() + "/" + name)) << name;
    for (const std::string &name : kept)
        EXPECT_TRUE(testsupport::fileExists(app.dir() + "/" + name)) << name;
}
