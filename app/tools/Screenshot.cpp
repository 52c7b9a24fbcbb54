// SPDX-License-Identifier: GPL-3.0-or-later
// Renders each of the program's windows offscreen into PNG files, for the
// README and for review:
//   vexmora_screenshot <output folder> [host user password [local folder]]
// With an account it also connects and saves the connected main window; the
// local list shows the local folder (default: an empty program folder). Each
// window is rendered in Japanese ("main.png") and in English ("main-en.png").
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/windows/History.h"
#include "app/windows/Hostlist.h"
#include "app/windows/Mssg.h"
#include "app/windows/Singleup.h"
#include "app/windows/Upanddown.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/Language.h"
#include "ui/ListView.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Screenshots never wait for a person: every dialog is answered at once.
class SilentDialogs : public ui::Dialogs {
public:
    void message(const QString &) override {}
    bool confirm(const QString &) override { return false; }
    bool warnYesNo(const QString &) override { return false; }
    bool input(const QString &, const QString &, QString &) override { return false; }
    bool inputPassword(const QString &, QString &) override { return false; }
    QString browseFolder(const QString &, const QString &) override { return {}; }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
};

bool save(QWidget *window, const QString &folder, const QString &name)
{
    window->show();
    QCoreApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    window->hide();
    return ok;
}

// The history of a morning's watch over the demo site, for its window's picture.
void fillHistory(TransferHistory &history)
{
    struct Row {
        int minutesAgo;
        int direction;
        const char *path;
        int64_t size;
        int64_t ms;
        const char *failure;
        PassKind pass;
        int number;
    };
    const Row rows[] = {
        {52, 0, "css/style.css", 64, 41, nullptr, PassKind::Manual, 0},
        {52, 0, "index.html", 269, 38, nullptr, PassKind::Manual, 0},
        {31, 0, "blog/first.html", 151, 44, nullptr, PassKind::Watch, 1},
        {31, 0, "index.html", 269, 36, nullptr, PassKind::Watch, 1},
        {17, 0, "blog/second.html", 1893, 52, "553 Could not create file.", PassKind::Watch, 2},
        {17, 0, "index.html", 301, 35, nullptr, PassKind::Watch, 2},
        {16, 0, "blog/second.html", 1893, 47, nullptr, PassKind::Watch, 3},
        {4, 1, "COUNTER.DAT", 10, 29, nullptr, PassKind::Daemon, 12},
    };
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const Row &row : rows) {
        HistoryEntry entry;
        entry.Time = now - row.minutesAgo * 60000LL;
        entry.Direction = row.direction;
        entry.Path = row.path;
        entry.Size = row.size;
        entry.DurationMs = row.ms;
        entry.Ok = row.failure == nullptr;
        entry.Result = row.failure ? row.failure : "";
        entry.Pass = row.pass;
        entry.PassNumber = row.number;
        history.Add(entry);
    }
}

// The windows in the installed language, saved as NAME<suffix>.png.
bool render(int argc, char **argv, const QString &folder, const QString &suffix)
{
    // A throw-away program folder, so no real settings are read or written.
    QTemporaryDir programDir;
    const QString start = QDir::currentPath();
    CreateWindows(programDir.path().toStdString() + "/Vexmora", argc > 5 ? argv[5] : "");

    bool ok = save(MainForm, folder, QStringLiteral("main") + suffix);
    if (argc > 4) {
        // A new account starts in the process's current folder.
        if (argc > 5)
            QDir::setCurrent(QString::fromLocal8Bit(argv[5]));
        MainForm->EHost->setText(QString::fromLocal8Bit(argv[2]));
        MainForm->EUserId->setText(QString::fromLocal8Bit(argv[3]));
        MainForm->EPassword->setText(QString::fromLocal8Bit(argv[4]));
        MainForm->show();
        MainForm->ConnectActionExecute();
        ok = MainForm->Connected && save(MainForm, folder, QStringLiteral("main-connected") + suffix) && ok;
        if (MainForm->Connected)
            MainForm->DisconnectActionExecute();
    }
    ok = save(HostForm, folder, QStringLiteral("hostlist") + suffix) && ok;
    ok = save(UpDownLoadForm, folder, QStringLiteral("progress") + suffix) && ok;
    ok = save(MssgForm, folder, QStringLiteral("message") + suffix) && ok;
    ok = save(SingleAutoUpForm, folder, QStringLiteral("monitor") + suffix) && ok;
    fillHistory(MainForm->History);
    MainForm->ShowHistoryExecute();
    ok = save(MainForm->HistoryWindow, folder, QStringLiteral("history") + suffix) && ok;
    DestroyWindows();
    QDir::setCurrent(start);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    ui::Dialogs::install(std::make_unique<SilentDialogs>());
    ui::applyProgramFont();

    bool ok = true;
    for (const char *language : {"ja", "en"}) {
        const QString suffix = language == std::string("ja") ? QString() : QStringLiteral("-en");
        if (!ui::installLanguage(
                language, {QCoreApplication::applicationDirPath() + QStringLiteral("/translations")})) {
            std::printf("FAILED no translation for %s\n", language);
            ok = false;
            continue;
        }
        ok = render(argc, argv, folder, suffix) && ok;
    }
    return ok ? 0 : 1;
}
