// SPDX-License-Identifier: GPL-3.0-or-later
// Times the manual upload of 900 files of 4 KiB through the main window
// (TransferSelection with the progress window and its worker, offscreen) next to
// the FTP engine alone and curl, all against one pyftpdlib server in one run.
//
//   transfer_bench [ROUNDS]      (default 3; the best round of each is shown)
//   transfer_bench ROUNDS DELAY CONNECTIONS
//                                a distant server: 100 files to the test server
//                                answering every command DELAY ms late, the
//                                window on CONNECTIONS connections (the
//                                settings file's "Connections"); no single and
//                                handover rows
//
// Figures per file:
//   engine     platform::FtpClient putting the files over one connection
//   window     the progress window's rows: from the first row's start to the
//              window's end, without the fixed start and close pauses
//   command    the whole upload command (connection check, list building,
//              progress window with its two 1-second pauses, folder restore,
//              both lists refreshed)
//   single     TransferOne for each file on the user-interface thread, no window
//   handover   the worker's synchronised calls alone, with an empty step
//   curl       curl -T with a URL range over one connection
// After each run the files on the server are compared with the sources; a run
// that failed or left other bytes ends the program with status 1.
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "app/windows/Upanddown.h"
#include "platform/FtpClient.h"
#include "platform/IniProfile.h"
#include "platform/LocalFiles.h"
#include "support/FtpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestUtil.h"
#include "ui/ComboBox.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/RadioGroup.h"
#include "ui/Text.h"
#include "ui/Thread.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

int FileCount = 900;
constexpr int FileSize = 4096;

std::string batchName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.bin", i);
    return name;
}

double engineRound(const testsupport::FtpServer &server, const std::string &source, const std::string &target)
{
    QElapsedTimer clock;
    clock.start();
    platform::FtpClient client;
    if (!client.connect(server.address(), server.user(), server.password(), 0)
        || !client.createDirectory(target) || !client.setCurrentDirectory(target))
        return -1;
    for (int i = 1; i <= FileCount; ++i)
        if (!client.putFile(source + "/" + batchName(i), batchName(i), platform::TransferType::Binary, 0))
            return -1;
    client.close();
    return clock.nsecsElapsed() / 1e9;
}

double curlRound(const testsupport::FtpServer &server, const std::string &source, const std::string &target)
{
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty())
        return -1;
    const QString url = QStringLiteral("ftp://%1/%2/")
                            .arg(QString::fromStdString(server.address()), QString::fromStdString(target));
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(curl,
                  {QStringLiteral("-sS"), QStringLiteral("--fail"), QStringLiteral("--fail-early"),
                   QStringLiteral("--ftp-create-dirs"), QStringLiteral("-u"),
                   QString::fromStdString(server.user() + ":" + server.password()), QStringLiteral("-T"),
                   QString::fromStdString(source)
                       + QStringLiteral("/f[001-%1].bin").arg(FileCount, 3, 10, QLatin1Char('0')),
                   url});
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e9;
}

struct WindowRound {
    double rows = -1;    // first row to the window's end
    double command = -1; // the whole TransferSelection
};

WindowRound windowRound(const std::string &target)
{
    WindowRound result;
    MakeRemoteDir(target);
    SetRemoteDir(target);
    RefreshRemoteList();
    MainForm->RefreshFileList(RemoteSide);
    MainForm->LocalFileListV->selectAll();

    QElapsedTimer rows;
    qint64 rowsEnd = -1;
    const QString first = QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞ (1/%1)").arg(FileCount);
    QMetaObject::Connection watch =
        QObject::connect(UpDownLoadForm, &QWidget::windowTitleChanged, [&](const QString &title) {
            if (title == first)
                rows.start();
            else if (title.isEmpty() && rows.isValid() && rowsEnd < 0)
                rowsEnd = rows.nsecsElapsed();
        });
    QElapsedTimer command;
    command.start();
    MainForm->BeginBusy();
    MainForm->TransferSelection(0);
    MainForm->EndBusy();
    const qint64 commandNs = command.nsecsElapsed();
    QObject::disconnect(watch);
    if (MainForm->TransferList.TransferCount != FileCount || rowsEnd < 0)
        return result;
    for (int i = 0; i < FileCount; ++i)
        if (MainForm->TransferList[i].Done != 1)
            return result;
    result.rows = rowsEnd / 1e9;
    result.command = commandNs / 1e9;
    return result;
}

// TransferOne for every file on the user-interface thread, no window.
double singleRound(const std::string &target)
{
    MakeRemoteDir(target);
    SetRemoteDir(target);
    MainForm->TransferList.TransferCount = FileCount; // as during a batch: byte counts shown
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= FileCount; ++i)
        MainForm->TransferOne(0, batchName(i), batchName(i));
    const double seconds = clock.nsecsElapsed() / 1e9;
    MainForm->TransferList.TransferCount = 0;
    return seconds;
}

// The bare hand-over: a thread making FileCount empty synchronised calls.
double handoverRound()
{
    class Caller : public ui::Thread {
    protected:
        void execute() override
        {
            for (int i = 0; i < FileCount; ++i)
                synchronize([] {});
        }
    } caller;
    QEventLoop loop;
    QObject::connect(&caller, &QThread::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    caller.start();
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    caller.wait();
    return seconds;
}

// The server folder holds exactly the source files, byte for byte; else says
// what differs on stderr.
bool uploadedWhole(const testsupport::FtpServer &server, const std::string &source, const std::string &target,
                   const char *contestant)
{
    const std::string folder = server.rootPath(target);
    const size_t count = testsupport::folderEntries(folder).size();
    if (count != static_cast<size_t>(FileCount)) {
        std::fprintf(stderr, "transfer_bench: %s left %zu files in %s, not %d\n", contestant, count,
                     folder.c_str(), FileCount);
        return false;
    }
    for (int i = 1; i <= FileCount; ++i) {
        bool ok = false;
        const std::string sent = testsupport::readFileBytes(folder + "/" + batchName(i), &ok);
        if (!ok || sent != testsupport::readFileBytes(source + "/" + batchName(i))) {
            std::fprintf(stderr, "transfer_bench: %s uploaded other bytes for %s/%s\n", contestant,
                         folder.c_str(), batchName(i).c_str());
            return false;
        }
    }
    return true;
}

double best(const std::vector<double> &values)
{
    double b = -1;
    for (double v : values)
        if (v >= 0 && (b < 0 || v < b))
            b = v;
    return b;
}

void row(const char *name, double seconds)
{
    if (seconds < 0)
        std::printf("%-10s %10s\n", name, "failed");
    else
        std::printf("%-10s %9.3fs %9.3f ms/file\n", name, seconds, seconds * 1000 / FileCount);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int delayMs = argc > 3 ? std::atoi(argv[2]) : 0;
    const int connections = argc > 3 ? std::atoi(argv[3]) : 0;
    const bool distant = delayMs > 0;
    if (distant)
        FileCount = 100;

    // No dialog may block the run; any message is printed.
    auto *dialogs = new testsupport::ScriptedDialogs;
    dialogs->allowMessages();
    ui::Dialogs::install(std::unique_ptr<ui::Dialogs>(dialogs));

    // Files live in memory when there is room, so that the disk does not decide the race.
    const QString base =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString pattern = base + QStringLiteral("/vexmora-transfer-bench-XXXXXX");
    QTemporaryDir programDir(pattern), sourceDir(pattern), serverRoot(pattern);
    testsupport::FtpServer server(serverRoot.path());
    if (distant)
        server.addFault(testsupport::ftpfault::replyDelay(delayMs));
    if (!programDir.isValid() || !sourceDir.isValid() || !serverRoot.isValid() || !server.start()) {
        std::fprintf(stderr, "transfer_bench: cannot start: %s\n",
                     server.errorString().toStdString().c_str());
        return 1;
    }
    const std::string source = sourceDir.path().toStdString();
    std::mt19937 random(42);
    for (int i = 1; i <= FileCount; ++i) {
        std::string data(FileSize, '\0');
        for (char &c : data)
            c = static_cast<char>(random());
        testsupport::writeFileBytes(source + "/" + batchName(i), data);
    }

    if (distant)
        platform::IniProfile(programDir.path().toStdString() + "/Vexmora.INI")
            .writeInt("Params", "Connections", connections);
    CreateWindows(programDir.path().toStdString() + "/Vexmora");
    MainForm->show();
    platform::setCurrentDirectory(source);
    MainForm->EHost->setText(ui::toQ(server.address()));
    MainForm->EUserId->setText(ui::toQ(server.user()));
    MainForm->EPassword->setText(ui::toQ(server.password()));
    MainForm->Mode->setItemIndex(2);
    MainForm->ConnectActionExecute();
    if (!MainForm->Connected) {
        std::fprintf(stderr, "transfer_bench: cannot connect\n");
        return 1;
    }
    const std::string home = ui::fromQ(MainForm->ComboCurrDir->text());

    std::vector<double> engine, window, command, curl, single, handover;
    bool sound = true;
    // A run counts only when it succeeded and the server holds what was sent.
    auto checked = [&](double seconds, const char *contestant, const std::string &target) {
        if (seconds < 0)
            std::fprintf(stderr, "transfer_bench: %s failed in %s\n", contestant, target.c_str());
        if (seconds < 0 || !uploadedWhole(server, source, target, contestant)) {
            sound = false;
            return -1.0;
        }
        return seconds;
    };
    for (int r = 1; r <= rounds; ++r) {
        const std::string n = std::to_string(r);
        engine.push_back(checked(engineRound(server, source, "e" + n), "engine", "e" + n));
        SetRemoteDir(home);
        const WindowRound w = windowRound("w" + n);
        window.push_back(checked(w.rows, "window", "w" + n));
        command.push_back(w.command);
        SetRemoteDir(home);
        if (!distant) {
            single.push_back(checked(singleRound("s" + n), "single", "s" + n));
            SetRemoteDir(home);
            handover.push_back(handoverRound());
        }
        curl.push_back(checked(curlRound(server, source, "c" + n), "curl", "c" + n));
    }

    std::printf("server: pyftpdlib on %s; %d files of %d bytes in %s; best of %d rounds\n",
                server.address().c_str(), FileCount, FileSize, base.toStdString().c_str(), rounds);
    if (distant)
        std::printf(
            "every reply %d ms late; the window on %d connections (\"Connections\"), the engine on one\n",
            delayMs, TransferConnections());
    row("engine", best(engine));
    row("window", best(window));
    row("command", best(command));
    if (!distant) {
        row("single", best(single));
        row("handover", best(handover));
    }
    row("curl", best(curl));
    const double e = best(engine), w = best(window);
    if (e > 0 && w > 0)
        std::printf("window over engine: %+.1f %%\n", (w / e - 1) * 100);
    for (const QString &text : dialogs->messages())
        std::printf("message: %s\n", text.toStdString().c_str());

    CloseSession();
    DestroyWindows();
    ui::Dialogs::install(nullptr);
    if (!sound)
        std::fprintf(stderr, "transfer_bench: a run failed or uploaded other bytes (above)\n");
    return sound ? 0 : 1;
}
