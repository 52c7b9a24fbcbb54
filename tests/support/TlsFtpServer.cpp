// SPDX-License-Identifier: GPL-3.0-or-later
#include "TlsFtpServer.h"

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

const char *const VsftpdPath = "/usr/sbin/vsftpd";

} // namespace

TlsFtpServer::TlsFtpServer()
{
    // The anonymous session runs as the "ftp" account inside the served folder.
    ::chmod(QFile::encodeName(m_work.path()).constData(), 0755);
    m_root = m_work.filePath(QStringLiteral("root"));
    QDir().mkpath(m_root + QStringLiteral("/pub"));
    ::chmod(QFile::encodeName(m_root).constData(), 0755);
    if (const passwd *ftp = ::getpwnam("ftp"))
        ::chown(QFile::encodeName(m_root + QStringLiteral("/pub")).constData(), ftp->pw_uid, ftp->pw_gid);
}

TlsFtpServer::~TlsFtpServer()
{
    stop();
}

bool TlsFtpServer::renewCertificate()
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                   QStringLiteral("-keyout"), m_work.filePath(QStringLiteral("key.pem")),
                   QStringLiteral("-out"), m_work.filePath(QStringLiteral("cert.pem"))});
    m_haveCertificate = openssl.waitForFinished(60000) && openssl.exitCode() == 0;
    if (!m_haveCertificate)
        m_error = QStringLiteral("openssl: ") + QString::fromLocal8Bit(openssl.readAllStandardError());
    return m_haveCertificate;
}

bool TlsFtpServer::start()
{
    stop();
    m_error.clear();
    if (!QFileInfo::exists(QString::fromLatin1(VsftpdPath))) {
        m_error = QStringLiteral("vsftpd is not installed (scripts/bootstrap installs it)");
        return false;
    }
    if (::geteuid() != 0) {
        m_error = QStringLiteral("vsftpd needs root for its anonymous chroot");
        return false;
    }
    if (!m_haveCertificate && !renewCertificate())
        return false;
    QDir().mkpath(QStringLiteral("/var/run/vsftpd/empty"));
    return startListening(
        m_process, m_port, QString::fromLatin1(VsftpdPath),
        [&](quint16 port) {
            const QString config =
                QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                               "background=NO\nanonymous_enable=YES\nno_anon_password=YES\nanon_root=%2\n"
                               "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                               "anon_other_write_enable=YES\nanon_umask=022\nwrite_enable=YES\n"
                               "local_enable=NO\npasv_enable=YES\nconnect_from_port_20=NO\n"
                               "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\nxferlog_enable=NO\n"
                               "max_clients=0\nmax_per_ip=0\nsecure_chroot_dir=/var/run/vsftpd/empty\n"
                               "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=NO\n"
                               "force_anon_data_ssl=NO\nrequire_ssl_reuse=YES\nimplicit_ssl=%3\n"
                               "rsa_cert_file=%4\nrsa_private_key_file=%5\n")
                    .arg(port)
                    .arg(m_root)
                    .arg(m_implicit ? "YES" : "NO")
                    .arg(m_work.filePath(QStringLiteral("cert.pem")))
                    .arg(m_work.filePath(QStringLiteral("key.pem")));
            const QString configPath = m_work.filePath(QStringLiteral("vsftpd.conf"));
            writeFileBytes(QFile::encodeName(configPath).toStdString(), config.toUtf8().toStdString());
            return QStringList{configPath};
        },
        m_error);
}

void TlsFtpServer::stop()
{
    stopProcess(m_process);
}

std::string TlsFtpServer::rootPath(const std::string &relative) const
{
    std::string path = QFile::encodeName(m_root).toStdString() + "/pub";
    if (!relative.empty())
        path += "/" + relative;
    return path;
}

} // namespace testsupport
