// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PrivateBus.h"

#include "support/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <signal.h>
#include <utility>

namespace testsupport {

namespace {

QString busConfig(const QString &dir)
{
    return QString::fromLatin1(
               R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
        .arg(dir);
}

} // namespace

PrivateBus::PrivateBus(Service service)
{
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    if (!startBus())
        return;
    // The daemon started below inherits it with the rest of the environment.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    m_ready = service == Service::None || (startKeyring() && waitForName());
    // Stopped, the daemon keeps the name but never reads a message again.
    if (m_ready && service == Service::Silent && ::kill(static_cast<pid_t>(m_keyring.processId()), SIGSTOP)) {
        m_error = QStringLiteral("gnome-keyring-daemon could not be stopped");
        m_ready = false;
    }
}

PrivateBus::~PrivateBus()
{
    // Killed, not asked to end: a stopped daemon would never act on the request.
    for (QProcess *process : {&m_keyring, &m_bus}) {
        process->kill();
        process->waitForFinished(5000);
    }
    if (m_previousAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", *m_previousAddress);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

bool PrivateBus::startBus()
{
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(busConfig(m_dir.path()).toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write ") + config;
        return false;
    }
    file.close();
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted(10000)) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_bus.errorString();
        return false;
    }
    QByteArray line;
    while (!line.contains('\n') && m_bus.waitForReadyRead(10000))
        line += m_bus.readAllStandardOutput();
    m_address = QString::fromUtf8(line).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon printed no address: ")
                  + QString::fromUtf8(m_bus.readAllStandardError());
        return false;
    }
    return true;
}

bool PrivateBus::startKeyring()
{
    // Its own home, data, config and runtime folders, private as the daemon
    // wants them: a fresh login keyring that the password on standard input
    // creates and unlocks.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("GNOME_KEYRING_CONTROL"));
    const std::pair<const char *, const char *> folders[] = {{"HOME", "home"},
                                                             {"XDG_DATA_HOME", "data"},
                                                             {"XDG_CONFIG_HOME", "config"},
                                                             {"XDG_RUNTIME_DIR", "run"}};
    for (const auto &[variable, name] : folders) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QString::fromLatin1(variable), path);
    }
    m_keyring.setProcessEnvironment(env);
    m_keyring.start(
        QStringLiteral("gnome-keyring-daemon"),
        {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!m_keyring.waitForStarted(10000)) {
        m_error = QStringLiteral("gnome-keyring-daemon did not start: ") + m_keyring.errorString();
        return false;
    }
    m_keyring.write("test-keyring-password");
    m_keyring.closeWriteChannel();
    return true;
}

bool PrivateBus::waitForName()
{
    const bool owned = waitUntil(
        [] {
            QProcess ask;
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.secrets")});
            return ask.waitForFinished(5000) && ask.readAllStandardOutput().contains("boolean true");
        },
        20000);
    if (!owned)
        m_error = QStringLiteral("gnome-keyring-daemon took no Secret Service name: ")
                  + QString::fromUtf8(m_keyring.readAllStandardError());
    return owned;
}

} // namespace testsupport
