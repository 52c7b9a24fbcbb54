// SPDX-License-Identifier: GPL-3.0-or-later
#include "SshServer.h"

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

const char *const SshdPath = "/usr/sbin/sshd";

} // namespace

SshServer::SshServer()
{
    ::chmod(QFile::encodeName(m_work.path()).constData(), 0755);
    QDir().mkpath(m_work.filePath(QStringLiteral("root")));
}

SshServer::~SshServer()
{
    stop();
    stopProcess(m_agent);
    // Names that are not UTF-8 (a Shift-JIS file) are beyond QTemporaryDir's removal.
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(m_work.path()).toStdString(), error);
}

bool SshServer::run(const QString &program, const QStringList &arguments, QString *output,
                    const QStringList &environment)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(env);
    }
    process.start(program, arguments);
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    const QString text = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = text;
    if (!ok)
        m_error = program + QStringLiteral(": ") + text;
    return ok;
}

bool SshServer::renewHostKey()
{
    const QString key = m_work.filePath(QStringLiteral("host_key"));
    QFile::remove(key);
    QFile::remove(key + QStringLiteral(".pub"));
    return run(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                QString(), QStringLiteral("-f"), key});
}

std::string SshServer::hostFingerprint()
{
    QString text;
    run(QStringLiteral("ssh-keygen"),
        {QStringLiteral("-l"), QStringLiteral("-f"), m_work.filePath(QStringLiteral("host_key.pub"))}, &text);
    return text.section(QLatin1Char(' '), 1, 1).toStdString();
}

std::string SshServer::clientKey() const
{
    return m_work.filePath(QStringLiteral("client_key")).toStdString();
}

std::string SshServer::rootPath(const std::string &relative) const
{
    const std::string root = m_work.filePath(QStringLiteral("root")).toStdString();
    return relative.empty() ? root : root + "/" + relative;
}

std::string SshServer::startAgent()
{
    stopProcess(m_agent);
    const QString socket = m_work.filePath(QStringLiteral("agent.sock"));
    QFile::remove(socket);
    m_agent = std::make_unique<QProcess>();
    m_agent->setProcessChannelMode(QProcess::MergedChannels);
    m_agent->start(QStringLiteral("ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), socket});
    if (!waitUntil([&] { return QFileInfo::exists(socket); }, 10000))
        return {};
    if (!run(QStringLiteral("ssh-add"), {QString::fromStdString(clientKey())}, nullptr,
             {QStringLiteral("SSH_AUTH_SOCK=") + socket}))
        return {};
    return socket.toStdString();
}

bool SshServer::start()
{
    stop();
    m_error.clear();
    if (!QFileInfo::exists(QString::fromLatin1(SshdPath))) {
        m_error = QStringLiteral("openssh-server is not installed (scripts/bootstrap installs it)");
        return false;
    }
    if (::geteuid() != 0) {
        m_error = QStringLiteral("sshd needs root");
        return false;
    }
    if (!::getpwnam(user().c_str())
        && !run(QStringLiteral("useradd"),
                {QStringLiteral("-M"), QStringLiteral("-N"), QStringLiteral("-d"),
                 QStringLiteral("/nonexistent"), QStringLiteral("-s"), QStringLiteral("/usr/sbin/nologin"),
                 QString::fromStdString(user())}))
        return false;
    if (!run(QStringLiteral("sh"),
             {QStringLiteral("-c"),
              QString::fromStdString("echo " + user() + ":" + password() + " | chpasswd")}))
        return false;
    const passwd *account = ::getpwnam(user().c_str());
    if (!account)
        return false;
    ::chown(rootPath().c_str(), account->pw_uid, account->pw_gid);
    if (!m_haveKeys) {
        const QString client = QString::fromStdString(clientKey());
        if (!renewHostKey()
            || !run(QStringLiteral("ssh-keygen"),
                    {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                     QStringLiteral("-N"), QString(), QStringLiteral("-f"), client}))
            return false;
        QFile::remove(m_work.filePath(QStringLiteral("authorized_keys")));
        QFile::copy(client + QStringLiteral(".pub"), m_work.filePath(QStringLiteral("authorized_keys")));
        m_haveKeys = true;
    }
    QDir().mkpath(QStringLiteral("/run/sshd"));
    return startListening(
        m_process, m_port, QString::fromLatin1(SshdPath),
        [&](quint16 port) {
            const QString root = QString::fromStdString(rootPath());
            const QString sftp = QStringLiteral("internal-sftp %1 -d %2").arg(m_sftpFlags, root);
            const QString config =
                m_firstConfig
                + QStringLiteral(
                      "Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile none\nUsePAM no\n"
                      "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                      "PubkeyAuthentication yes\nAuthorizedKeysFile %3\nStrictModes no\nAllowUsers %4\n"
                      "Subsystem sftp %5\nForceCommand %5\n"
                      "MaxStartups 50\nMaxSessions 50\nMaxAuthTries 10\nLogLevel INFO\n")
                      .arg(port)
                      .arg(m_work.filePath(QStringLiteral("host_key")),
                           m_work.filePath(QStringLiteral("authorized_keys")), QString::fromStdString(user()),
                           sftp);
            const QString configPath = m_work.filePath(QStringLiteral("sshd_config"));
            writeFileBytes(QFile::encodeName(configPath).toStdString(), config.toUtf8().toStdString());
            return QStringList{QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), configPath};
        },
        m_error);
}

void SshServer::stop()
{
    stopProcess(m_process);
    m_log.clear();
}

int SshServer::logCount(const char *text)
{
    if (m_process) {
        m_process->waitForReadyRead(200);
        m_log += m_process->readAll();
    }
    return static_cast<int>(m_log.count(text));
}

} // namespace testsupport
