// SPDX-License-Identifier: GPL-3.0-or-later
#include "FtpServer.h"

#include "TestUtil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace testsupport {

namespace ftpfault {

QStringList refuse(const QString &command, const QString &reply)
{
    return {QStringLiteral("--refuse"), command + QLatin1Char('=') + reply};
}

QStringList refusalDropsData()
{
    return {QStringLiteral("--refuse-drops-data")};
}

QStringList stall(const QString &command)
{
    return {QStringLiteral("--stall"), command};
}

QStringList cutData(const QString &command, qint64 afterBytes, bool dropControl)
{
    return {QStringLiteral("--cut"),
            QStringLiteral("%1:%2:%3").arg(command).arg(afterBytes).arg(dropControl ? "drop" : "426")};
}

QStringList muteBeyond(int connections)
{
    return {QStringLiteral("--mute-beyond"), QString::number(connections)};
}

QStringList cutDataClaimingSuccess(const QString &command, qint64 afterBytes)
{
    return {QStringLiteral("--cut"), QStringLiteral("%1:%2:226").arg(command).arg(afterBytes)};
}

QStringList tls(const QString &pemFile)
{
    return {QStringLiteral("--tls"), pemFile};
}

QStringList tlsDataCertificate(const QString &pemFile)
{
    return {QStringLiteral("--tls-data-cert"), pemFile};
}

QStringList cutDataOnce(const QString &command, qint64 afterBytes, bool everySession)
{
    return {
        QStringLiteral("--cut"),
        QStringLiteral("%1:%2:%3-once").arg(command).arg(afterBytes).arg(everySession ? "dropall" : "drop")};
}

QStringList wrongSizeOnce(qint64 offBy)
{
    return {QStringLiteral("--wrong-size-once"), QString::number(offBy)};
}

QStringList pasvAddress(const QString &ip)
{
    return {QStringLiteral("--pasv-address"), ip};
}

QStringList extraName(const QByteArray &rawName)
{
    return {QStringLiteral("--extra-name"), QString::fromLatin1(rawName.toHex())};
}

QStringList noMlsd()
{
    return {QStringLiteral("--no-mlsd")};
}

QStringList noUtf8()
{
    return {QStringLiteral("--no-utf8")};
}

QStringList noMfmt()
{
    return {QStringLiteral("--no-mfmt")};
}

QStringList noRest()
{
    return {QStringLiteral("--no-rest")};
}

QStringList refuseRenameOver()
{
    return {QStringLiteral("--refuse-rename-over")};
}

QStringList throttle(qint64 bytesPerSecond)
{
    return {QStringLiteral("--throttle"), QString::number(bytesPerSecond)};
}

QStringList silent()
{
    return {QStringLiteral("--silent")};
}

QStringList passivePorts(int from, int to)
{
    return {QStringLiteral("--passive-ports"), QStringLiteral("%1-%2").arg(from).arg(to)};
}

namespace {
QStringList floodPace(int everyMs, int forMs)
{
    return {QStringLiteral("--flood-every"), QString::number(everyMs / 1000.0), QStringLiteral("--flood-for"),
            QString::number(forMs / 1000.0)};
}
} // namespace

QStringList flood(const QString &point, int everyMs, int forMs)
{
    return QStringList{QStringLiteral("--flood"), point} + floodPace(everyMs, forMs);
}

QStringList floodAfter(const QString &command, int everyMs, int forMs)
{
    return QStringList{QStringLiteral("--flood-after"), command} + floodPace(everyMs, forMs);
}

QStringList endlessListing()
{
    return {QStringLiteral("--endless-list")};
}

QStringList fakeTls(bool closeInstead)
{
    return {QStringLiteral("--fake-tls"), closeInstead ? QStringLiteral("close") : QStringLiteral("plain")};
}

QStringList replyDelay(int ms)
{
    return {QStringLiteral("--reply-delay"), QString::number(ms)};
}

QStringList maxLoginsPerUser(int sessions)
{
    return {QStringLiteral("--max-logins-per-user"), QString::number(sessions)};
}

QStringList maxConnections(int connections)
{
    return {QStringLiteral("--max-connections"), QString::number(connections)};
}

} // namespace ftpfault

bool makeTestCertificate(const QString &pemFile)
{
    const QString key = pemFile + QStringLiteral(".key");
    const QString certificate = pemFile + QStringLiteral(".crt");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"), QStringLiteral("-keyout"),
                   key, QStringLiteral("-out"), certificate});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return false;
    QFile keyFile(key);
    QFile certificateFile(certificate);
    QFile out(pemFile);
    if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly)
        || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return out.write(keyFile.readAll() + certificateFile.readAll()) > 0;
}

namespace {

// The server's own lines in the command log (completed transfers); FTP has no
// command of that name, so no received line is taken for one.
constexpr char kDonePrefix[] = "DONE ";
constexpr char kReceivedPrefix[] = "RECEIVED ";

QByteArray unescapeLogLine(const QByteArray &line)
{
    QByteArray out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '%' && i + 2 < line.size()) {
            bool ok = false;
            const int value = line.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(static_cast<char>(value));
                i += 2;
                continue;
            }
        }
        out.append(line[i]);
    }
    return out;
}

} // namespace

FtpServer::FtpServer(const QString &root)
{
    if (root.isEmpty()) {
        m_ownRoot = std::make_unique<QTemporaryDir>();
        m_root = m_ownRoot->path();
    } else {
        m_root = QDir(root).absolutePath();
    }
}

FtpServer::~FtpServer()
{
    stop();
    if (m_ownRoot)
        clearFolder(rootPath());
}

void FtpServer::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

void FtpServer::setHost(const QString &host)
{
    m_host = host;
}

void FtpServer::setFaults(const QStringList &arguments)
{
    m_faults = arguments;
}

void FtpServer::addFault(const QStringList &arguments)
{
    m_faults += arguments;
}

bool FtpServer::start()
{
    stop();
    m_error.clear();
    // A restart on the same port may meet the old socket for a moment.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_process = std::make_unique<QProcess>();
        QStringList args{QStringLiteral(VEXMORA_TEST_SERVER_SCRIPT),
                         QStringLiteral("--host"),
                         m_host,
                         QStringLiteral("--port"),
                         QString::number(m_port),
                         QStringLiteral("--root"),
                         m_root,
                         QStringLiteral("--user"),
                         m_user,
                         QStringLiteral("--password"),
                         m_password,
                         QStringLiteral("--log"),
                         m_work.filePath(QStringLiteral("commands.log"))};
        args += m_faults;
        m_process->start(QStringLiteral(VEXMORA_PYTHON), args);
        if (!m_process->waitForStarted(10000)) {
            m_error = m_process->errorString();
            m_process.reset();
            return false;
        }
        QDeadlineTimer deadline(15000);
        QByteArray out;
        while (!deadline.hasExpired() && m_process->state() == QProcess::Running && !out.contains('\n')) {
            m_process->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
            out += m_process->readAllStandardOutput();
        }
        if (out.startsWith("READY ") && out.contains('\n')) {
            m_port = static_cast<quint16>(out.mid(6, out.indexOf('\n') - 6).trimmed().toUInt());
            return true;
        }
        m_process->kill();
        m_process->waitForFinished(5000);
        m_error = QString::fromLocal8Bit(m_process->readAllStandardError());
        m_process.reset();
        if (!m_error.contains(QLatin1String("Address already in use")))
            break;
        QThread::msleep(200);
    }
    return false;
}

void FtpServer::stop()
{
    stopProcess(m_process);
}

qint64 FtpServer::processId() const
{
    return m_process ? m_process->processId() : 0;
}

bool FtpServer::restart()
{
    return start();
}

bool FtpServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

std::string FtpServer::address() const
{
    const QString h = m_host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(m_host) : m_host;
    return QStringLiteral("%1:%2").arg(h).arg(m_port).toStdString();
}

std::string FtpServer::rootPath(const std::string &relative) const
{
    std::string path = QFile::encodeName(m_root).toStdString();
    if (!relative.empty())
        path += '/' + relative;
    return path;
}

QByteArrayList FtpServer::logLines() const
{
    QFile file(m_work.filePath(QStringLiteral("commands.log")));
    QByteArrayList lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray all = file.readAll();
    for (const QByteArray &line : all.split('\n')) {
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

QByteArrayList FtpServer::receivedCommands() const
{
    QByteArrayList commands;
    for (const QByteArray &line : logLines()) {
        if (!line.startsWith(kDonePrefix) && !line.startsWith(kReceivedPrefix) && !line.startsWith("SENT "))
            commands.append(unescapeLogLine(line));
    }
    return commands;
}

QByteArrayList FtpServer::completedTransfers() const
{
    QByteArrayList done;
    for (const QByteArray &line : logLines()) {
        if (line.startsWith(kDonePrefix))
            done.append(unescapeLogLine(line.mid(sizeof(kDonePrefix) - 1)));
    }
    return done;
}

qint64 FtpServer::uploadedBytes() const
{
    qint64 total = 0;
    for (const QByteArray &line : logLines()) {
        if (line.startsWith(kReceivedPrefix)) {
            const QByteArrayList fields = line.split(' ');
            if (fields.size() >= 3)
                total += fields[2].toLongLong();
        }
    }
    return total;
}

qint64 FtpServer::downloadedBytes() const
{
    qint64 total = 0;
    for (const QByteArray &line : logLines()) {
        if (line.startsWith("SENT ")) {
            const QByteArrayList fields = line.split(' ');
            if (fields.size() >= 3)
                total += fields[2].toLongLong();
        }
    }
    return total;
}

bool FtpServer::hasReceived(const QByteArray &prefix) const
{
    const QByteArrayList lines = receivedCommands();
    for (const QByteArray &line : lines) {
        if (line.startsWith(prefix))
            return true;
    }
    return false;
}

void FtpServer::clearLog()
{
    // Truncated, not removed: the server keeps appending to the file it opened.
    QFile file(m_work.filePath(QStringLiteral("commands.log")));
    if (file.exists())
        file.resize(0);
}

} // namespace testsupport
