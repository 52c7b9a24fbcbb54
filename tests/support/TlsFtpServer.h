// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace testsupport {

// vsftpd from Debian serving FTP over TLS on a free loopback port: anonymous
// logins into a temporary folder whose "pub" folder takes uploads, a self-signed
// certificate made with openssl at the first start, and the secure setting that
// data connections must resume the control connection's TLS session. vsftpd runs
// in the foreground as a child of the test and needs root (it changes into the
// served folder with chroot).
class TlsFtpServer {
public:
    TlsFtpServer();
    ~TlsFtpServer();
    TlsFtpServer(const TlsFtpServer &) = delete;
    TlsFtpServer &operator=(const TlsFtpServer &) = delete;

    // TLS from the first byte (ftps://) instead of after AUTH TLS; from the next start.
    void setImplicit(bool on) { m_implicit = on; }
    // A new key and certificate for the next start.
    bool renewCertificate();

    // The first start takes a free port; later ones use the same port.
    bool start();
    void stop();

    quint16 port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    std::string user() const { return "anonymous"; }
    std::string password() const { return "test@"; }
    // The local path of `relative` in the writable folder "pub" (the client
    // changes into it after logging in).
    std::string rootPath(const std::string &relative = {}) const;
    // A short reason when start() failed.
    QString errorString() const { return m_error; }

private:
    QTemporaryDir m_work;
    QString m_root;
    bool m_implicit = false;
    bool m_haveCertificate = false;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_process;
    QString m_error;
};

} // namespace testsupport
