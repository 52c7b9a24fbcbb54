// SPDX-License-Identifier: GPL-3.0-or-later
// Measures how live the interface thread stays while the program waits for the
// network: a 50 ms timer runs on the interface thread, and its lateness (time
// between two ticks minus 50 ms) is collected during
//
//   (a) a download of one big file through the progress window from a local
//       pyftpdlib server limited to a rate,
//   (b) one watch pass ("自動UP", clock scale 1: 2 s settle wait, the upload,
//       the 1 s pause),
//   (c) a connect to a loopback port whose socket listens but never accepts or
//       answers, until the reply timeout gives up.
//
//   ui_lateness_bench [MIB] [MIB_PER_S] [CONNECT_TIMEOUT_MS]   (defaults 300 10 5000)
//
// Prints the worst and the 99th-percentile lateness of each case, with the
// number of ticks and the case's wall time.
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/model/FileEntry.h"
#include "app/session/Ftpfunc.h"
#include "platform/LocalFiles.h"
#include "support/FtpServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestUtil.h"
#include "ui/Clock.h"
#include "ui/Dialogs.h"
#include "ui/Edit.h"
#include "ui/ListView.h"
#include "ui/SpeedButton.h"
#include "ui/Text.h"
#include "ui/Timer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

testsupport::ScriptedDialogs *g_dialogs = nullptr;

// The 50 ms timer and its lateness samples.
class Probe {
public:
    Probe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 late = std::max<qint64>(0, m_clock.restart() - 50);
            if (m_late.empty() || late > *std::max_element(m_late.begin(), m_late.end()))
                m_worstAt = m_wall.elapsed();
            m_late.push_back(late);
        });
        m_clock.start();
        m_wall.start();
        m_timer.start();
    }
    void report(const char *name)
    {
        m_timer.stop();
        // The time since the last tick counts as well: a wait that ends the case
        // still frozen would otherwise never be seen.
        m_late.push_back(std::max<qint64>(0, m_clock.elapsed() - 50));
        std::vector<qint64> sorted = m_late;
        std::sort(sorted.begin(), sorted.end());
        const qint64 worst = sorted.back();
        const qint64 p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
        std::printf("%-34s worst %6lld ms (at %6.2f s)   p99 %6lld ms   ticks %5zu   wall %7.2f s\n", name,
                    static_cast<long long>(worst), static_cast<double>(m_worstAt) / 1000.0,
                    static_cast<long long>(p99), m_late.size(),
                    static_cast<double>(m_wall.elapsed()) / 1000.0);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    QElapsedTimer m_wall;
    std::vector<qint64> m_late;
    qint64 m_worstAt = 0;
};

bool connectTo(const testsupport::FtpServer &server)
{
    MainForm->EHost->setText(ui::toQ(server.address()));
    MainForm->EUserId->setText(ui::toQ(server.user()));
    MainForm->EPassword->setText(ui::toQ(server.password()));
    MainForm->ConnectActionExecute();
    return MainForm->Connected;
}

int rowOf(const ui::ListView *list, const std::string &name)
{
    for (int i = 0; i < list->rowCount(); ++i)
        if (ui::fromQ(list->row(i)->text(0)) == name)
            return i;
    return -1;
}

bool downloadCase(const QString &program, int mib, int mibPerSecond)
{
    QTemporaryDir local;
    testsupport::FtpServer server;
    server.setFaults(testsupport::ftpfault::throttle(static_cast<qint64>(mibPerSecond) * 1024 * 1024));
    if (!server.start()) {
        std::fprintf(stderr, "ui_lateness_bench: %s\n", server.errorString().toStdString().c_str());
        return false;
    }
    {
        // A sparse file: the server reads zeros without the disk.
        const int fd = ::open(server.rootPath("big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(mib) * 1024 * 1024) != 0)
            return false;
        ::close(fd);
    }
    CreateWindows(program.toStdString() + "/Vexmora");
    MainForm->show();
    platform::setCurrentDirectory(local.path().toStdString());
    if (!connectTo(server))
        return false;
    const int row = rowOf(MainForm->RemoteFileListV, "big.bin");
    if (row < 0)
        return false;
    MainForm->RemoteFileListV->clearSelection();
    MainForm->RemoteFileListV->selectRow(row);
    g_dialogs->expect(testsupport::ScriptedDialogs::Kind::Confirm, {}, ui::Dialogs::Answer::Yes);
    Probe probe;
    MainForm->DounloadExecute();
    char name[64];
    std::snprintf(name, sizeof name, "(a) download %d MiB at %d MiB/s", mib, mibPerSecond);
    probe.report(name);
    const bool whole =
        QFileInfo(local.filePath(QStringLiteral("big.bin"))).size() == qint64(mib) * 1024 * 1024;
    MainForm->DisconnectActionExecute();
    return whole;
}

bool watchCase(const QString &program)
{
    QTemporaryDir local;
    testsupport::FtpServer server;
    if (!server.start())
        return false;
    const std::string page(64 * 1024, 'p');
    for (const char *name : {"index.html", "about.html"}) {
        testsupport::writeFileBytes(local.filePath(QString::fromUtf8(name)).toStdString(), page);
        testsupport::writeFileBytes(server.rootPath(name), page);
    }
    CreateWindows(program.toStdString() + "/Vexmora");
    MainForm->show();
    platform::setCurrentDirectory(local.path().toStdString());
    if (!connectTo(server))
        return false;
    MainForm->SpeedAutoUp->setEnabled(true);
    MainForm->SpeedAutoUp->click();
    MainForm->TimerDemon->setInterval(0); // the bench ticks by itself
    testsupport::writeFileBytes(local.filePath(QStringLiteral("about.html")).toStdString(), page + "edited");
    Probe probe;
    MainForm->TimerDemonTimer();
    probe.report("(b) watch pass");
    const bool sent = testsupport::readFileBytes(server.rootPath("about.html")) == page + "edited";
    MainForm->StopAutomation();
    MainForm->DisconnectActionExecute();
    return sent;
}

bool connectCase(const QString &program, int timeoutMs)
{
    // Listens, never accepts, never answers: the kernel completes the handshake
    // and the client waits for a greeting that never comes.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return false;
    CreateWindows(program.toStdString() + "/Vexmora");
    MainForm->show();
    platform::FtpOptions options;
    options.connectTimeoutMs = timeoutMs;
    options.replyTimeoutMs = timeoutMs;
    SetFtpOptions(options);
    MainForm->EHost->setText(QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port)));
    MainForm->EUserId->setText(QStringLiteral("user"));
    MainForm->EPassword->setText(QStringLiteral("secret"));
    Probe probe;
    MainForm->ConnectActionExecute();
    char name[64];
    std::snprintf(name, sizeof name, "(c) connect, silent (%d ms)", timeoutMs);
    probe.report(name);
    SetFtpOptions({});
    ::close(fd);
    return !MainForm->Connected;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int rate = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const int timeoutMs = argc > 3 ? std::max(100, std::atoi(argv[3])) : 5000;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ui::Clock::setScale(1.0);

    g_dialogs = new testsupport::ScriptedDialogs;
    g_dialogs->allowMessages();
    ui::Dialogs::install(std::unique_ptr<ui::Dialogs>(g_dialogs));

    QTemporaryDir program;
    std::string startDir;
    platform::currentDirectory(startDir);
    bool ok = downloadCase(program.path(), mib, rate);
    platform::setCurrentDirectory(startDir);
    ok = watchCase(program.path()) && ok;
    platform::setCurrentDirectory(startDir);
    ok = connectCase(program.path(), timeoutMs) && ok;
    platform::setCurrentDirectory(startDir);
    ui::Dialogs::install(nullptr);
    return ok ? 0 : 1;
}
