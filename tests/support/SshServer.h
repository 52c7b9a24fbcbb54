// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace testsupport {

// Debian's OpenSSH server on a free loopback port, serving SFTP only from a
// temporary folder (where every login starts) to one test account, with its own
// host key, configuration and authorized keys in a temporary folder. Password
// and key logins; an ssh-agent holding the account's key on request. sshd runs
// in the foreground as a child of the test and needs root (the account is made
// once, with useradd, when it does not exist).
class SshServer {
public:
    SshServer();
    ~SshServer();
    SshServer(const SshServer &) = delete;
    SshServer &operator=(const SshServer &) = delete;

    // The first start takes a free port; later ones use the same port.
    bool start();
    void stop();
    // A new host key for the next start.
    bool renewHostKey();

    quint16 port() const { return m_port; }
    std::string address() const { return "sftp://127.0.0.1:" + std::to_string(m_port); }
    std::string user() const { return "vexmora-sftp"; }
    std::string password() const { return "sftp-test-pass"; }
    // The served folder's local path of `relative`.
    std::string rootPath(const std::string &relative = {}) const;
    // The account's private key (authorized on the server), without a passphrase.
    std::string clientKey() const;
    // Starts an ssh-agent holding the account's key; returns its socket path.
    std::string startAgent();
    // The SHA256 fingerprint of the host key, as ssh-keygen prints it.
    std::string hostFingerprint();
    QString errorString() const { return m_error; }
    // Logins the server accepted since it started.
    int logins() { return logCount("Accepted "); }
    // Lines of the server's log since it started holding `text`.
    int logCount(const char *text);
    // For the next start: flags of the SFTP server ("-P posix-rename" refuses
    // that request), and configuration lines that win over the fixture's own
    // (sshd takes the first value of a keyword).
    void setSftpFlags(const QString &flags) { m_sftpFlags = flags; }
    void setFirstConfig(const QString &lines) { m_firstConfig = lines; }

private:
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr,
             const QStringList &environment = {});

    QTemporaryDir m_work;
    quint16 m_port = 0;
    bool m_haveKeys = false;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QProcess> m_agent;
    QString m_error;
    QByteArray m_log;
    QString m_sftpFlags;
    QString m_firstConfig;
};

} // namespace testsupport
