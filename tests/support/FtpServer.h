// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>

namespace testsupport {

// Launcher arguments for the faults tests/support/ftp_server.py can show; hand
// them to FtpServer::setFaults()/addFault(). They act from the next start().
namespace ftpfault {
// Answer `command` with `reply` ("550 No.") instead of running it; a 421 reply
// also closes the session.
QStringList refuse(const QString &command, const QString &reply);
// A refusal also closes the data connection at once, its data unread.
QStringList refusalDropsData();
// Read `command` and never answer it.
QStringList stall(const QString &command);
// Break off the data of `command` (LIST, MLSD, RETR, STOR) after `afterBytes`:
// with dropControl the control connection closes too without a reply, else the
// server answers 426.
QStringList cutData(const QString &command, qint64 afterBytes, bool dropControl);
// Break off the data of `command` after `afterBytes` (with TLS: without the close
// notification) and answer 226 as if it were complete.
QStringList cutDataClaimingSuccess(const QString &command, qint64 afterBytes);
// Offer AUTH TLS with the key and certificate in `pemFile` (makeTestCertificate).
QStringList tls(const QString &pemFile);
// Data connections show the key and certificate in `pemFile` instead.
QStringList tlsDataCertificate(const QString &pemFile);
// The same with dropControl, for the first such transfer of the server only;
// with everySession every control connection of the server closes then.
QStringList cutDataOnce(const QString &command, qint64 afterBytes, bool everySession = false);
// Answer the first SIZE of a file with its size `offBy` bytes off (at least 0).
QStringList wrongSizeOnce(qint64 offBy);
// Name another address in PASV replies.
QStringList pasvAddress(const QString &ip);
// Add an entry with this raw name to every listing.
QStringList extraName(const QByteArray &rawName);
// Offer no MLST/MLSD, so that clients list with LIST.
QStringList noMlsd();
// Announce no UTF8 in FEAT, as a legacy server whose names are Shift-JIS bytes.
QStringList noUtf8();
// Know no MFMT, or no REST (and announce neither in FEAT).
QStringList noMfmt();
QStringList noRest();
// Answer RNTO onto an existing file with 553, as servers that cannot replace do.
QStringList refuseRenameOver();
// Limit each data connection to this many bytes per second.
QStringList throttle(qint64 bytesPerSecond);
// Accept connections and never send a byte.
QStringList silent();
// Passive data ports from this range.
QStringList passivePorts(int from, int to);
// Preliminary replies without end, every `everyMs`, for `forMs` (then the server
// hangs up): `point` "greeting" sends 120s instead of the greeting; a command
// (RETR, LIST, MLSD, STOR) gets 150s with a silent data connection.
QStringList flood(const QString &point, int everyMs, int forMs);
// The data of `command` sent whole, then 150s instead of its final reply.
QStringList floodAfter(const QString &command, int everyMs, int forMs);
// LIST and MLSD send entries without end.
QStringList endlessListing();
// Answer AUTH TLS with 234, then send plain text (closeInstead: hang up) instead
// of a TLS handshake.
QStringList fakeTls(bool closeInstead);
// Every reply of the control connection (the greeting included) sent `ms` late,
// in order, as from a distant server; data connections are not delayed.
QStringList replyDelay(int ms);
// Refuse a login with "530 Too many connections for this user." while `sessions`
// sessions of the same user are logged in; the refused session stays open.
QStringList maxLoginsPerUser(int sessions);
// Refuse a control connection beyond `connections` open ones with
// "421 Too many connections." instead of the greeting.
QStringList maxConnections(int connections);
// Accept a control connection beyond `connections` open ones and never send it a
// byte, as a server that accepts and never greets.
QStringList muteBeyond(int connections);
} // namespace ftpfault

// Writes a new self-signed key and certificate (CN localhost, 127.0.0.1) into one
// PEM file, made with openssl.
bool makeTestCertificate(const QString &pemFile);

// A pyftpdlib server on a loopback port, serving one folder to one user, started
// with /usr/bin/python3 and tests/support/ftp_server.py. The first start() takes a
// free port; later starts (restart()) use the same one. The server writes every
// command line it receives to a log that receivedCommands() reads, and each
// completed transfer to the same log, which completedTransfers() reads.
class FtpServer {
public:
    // root: the folder to serve; empty = a temporary folder of this server.
    explicit FtpServer(const QString &root = {});
    ~FtpServer();
    FtpServer(const FtpServer &) = delete;
    FtpServer &operator=(const FtpServer &) = delete;

    void setCredentials(const QString &user, const QString &password);
    // "127.0.0.1" (default) or "::1".
    void setHost(const QString &host);
    void setFaults(const QStringList &arguments);
    void addFault(const QStringList &arguments);

    bool start();
    // Kills the server at once, as a crash or a power cut would.
    void stop();
    bool restart();
    bool isRunning() const;
    // The server process's id (0 when not running), for a test that has to kill
    // it from another thread while the user-interface thread is inside a call.
    qint64 processId() const;

    quint16 port() const { return m_port; }
    QString host() const { return m_host; }
    // "127.0.0.1:PORT" or "[::1]:PORT", as FtpClient::connect() takes it.
    std::string address() const;
    std::string user() const { return m_user.toStdString(); }
    std::string password() const { return m_password.toStdString(); }
    QString root() const { return m_root; }
    // The local path of `relative` inside the served folder, as raw bytes.
    std::string rootPath(const std::string &relative = {}) const;

    // Every command line received so far, oldest first, exactly as sent (the
    // password included).
    QByteArrayList receivedCommands() const;
    bool hasReceived(const QByteArray &prefix) const;
    // Every transfer completed so far, in the order of the server's 226 replies,
    // as "STOR <argument>" or "RETR <argument>" with the argument as sent.
    QByteArrayList completedTransfers() const;
    // The data bytes of every upload (STOR, APPE) the server received so far,
    // complete or cut.
    qint64 uploadedBytes() const;
    // The data bytes of every download (RETR) the server sent so far, complete or cut.
    qint64 downloadedBytes() const;
    void clearLog();

    // What the launcher printed on stderr, for a failed start.
    QString errorString() const { return m_error; }

private:
    std::unique_ptr<QTemporaryDir> m_ownRoot;
    QTemporaryDir m_work;
    QString m_root;
    QString m_host = QStringLiteral("127.0.0.1");
    QString m_user = QStringLiteral("user");
    QString m_password = QStringLiteral("secret");
    QStringList m_faults;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_process;
    QString m_error;

    QByteArrayList logLines() const;
};

} // namespace testsupport
