// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestUtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <ftw.h>
#include <iterator>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

OnPaint::OnPaint(std::function<void()> action) : m_action(std::move(action))
{
    qApp->installEventFilter(this);
}

OnPaint::~OnPaint()
{
    qApp->removeEventFilter(this);
}

bool OnPaint::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        m_action();
    return false;
}

ModalWatchdog::ModalWatchdog(std::function<void()> rescue, int timeoutMs)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this, rescue = std::move(rescue)] {
        m_fired = true;
        rescue();
    });
    m_timer.start(timeoutMs);
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

TempFolder::TempFolder() = default;

TempFolder::~TempFolder()
{
    if (m_dir.isValid())
        clearFolder(pathBytes());
}

std::string TempFolder::pathBytes() const
{
    return QFile::encodeName(m_dir.path()).toStdString();
}

std::string TempFolder::filePath(const std::string &name) const
{
    return pathBytes() + '/' + name;
}

bool writeFileBytes(const std::string &path, std::string_view data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string readFileBytes(const std::string &path, bool *ok)
{
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = static_cast<bool>(in);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> folderEntries(const std::string &path)
{
    std::vector<std::string> names;
    DIR *dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

} // namespace testsupport

namespace testsupport {

namespace {

int removeEntry(const char *path, const struct stat *, int, FTW *ftw)
{
    if (ftw->level == 0)
        return 0;
    return ::remove(path) == 0 ? 0 : -1;
}

} // namespace

bool clearFolder(const std::string &path)
{
    return ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

void stopProcess(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(5000);
    }
    process.reset();
}

bool startListening(std::unique_ptr<QProcess> &process, quint16 &port, const QString &program,
                    const std::function<QStringList(quint16)> &configure, QString &error)
{
    const bool keepPort = port != 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!keepPort)
            port = freePort();
        const QStringList arguments = configure(port);
        process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(program, arguments);
        process->waitForStarted(10000);
        if (waitUntil([&] { return process->state() != QProcess::Running || acceptsConnections(port); },
                      10000)
            && process->state() == QProcess::Running)
            return true;
        error = QString::fromLocal8Bit(process->readAll());
        stopProcess(process);
        QThread::msleep(200); // the old listener may hold the port a moment longer
    }
    return false;
}

std::string randomBytes(size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (char &c : data)
        c = static_cast<char>(gen() & 0xFF);
    return data;
}

namespace {
sockaddr_in loopback(quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}
} // namespace

quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t length = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool acceptsConnections(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace testsupport
