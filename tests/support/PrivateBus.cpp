// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PrivateBus.h"

#include "support/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace testsupport {

namespace {

constexpr char SecretsName[] = "org.freedesktop.secrets";

QString busConfig(const QString &dir)
{
    return QStringLiteral(
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:dir=%1</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n")
        .arg(dir);
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

PrivateBus::PrivateBus(Service service)
{
    m_hadAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    m_previousAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    if (!startBus())
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
    switch (service) {
    case Service::None:
        m_ready = true;
        break;
    case Service::Keyring:
        m_ready = startKeyring() && waitForName();
        break;
    case Service::Silent:
        m_ready = startSilent() && waitForName();
        break;
    }
}

PrivateBus::~PrivateBus()
{
    stop(m_service);
    stop(m_bus);
    if (m_hadAddress)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_previousAddress);
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
    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
    m_bus.setProcessChannelMode(QProcess::SeparateChannels);
    m_bus.start();
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
    // Its own home, data and runtime folders: a fresh login keyring that the
    // password on standard input creates and unlocks.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"home", "data", "config", "run"}) {
        QDir(m_dir.path()).mkpath(QString::fromLatin1(name));
        QFile::setPermissions(m_dir.filePath(QString::fromLatin1(name)),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    env.remove(QStringLiteral("GNOME_KEYRING_CONTROL"));
    m_service.setProcessEnvironment(env);
    m_service.setProgram(QStringLiteral("gnome-keyring-daemon"));
    m_service.setArguments(
        {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    m_service.start();
    if (!m_service.waitForStarted(10000)) {
        m_error = QStringLiteral("gnome-keyring-daemon did not start: ") + m_service.errorString();
        return false;
    }
    m_service.write("test-keyring-password");
    m_service.closeWriteChannel();
    return true;
}

bool PrivateBus::startSilent()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    m_service.setProcessEnvironment(env);
    m_service.setProgram(QStringLiteral("/usr/bin/python3"));
    // Owns the name, then never reads another message: every call waits.
    m_service.setArguments({QStringLiteral("-c"), QStringLiteral("import dbus, time\n"
                                                                 "bus = dbus.SessionBus()\n"
                                                                 "bus.request_name('%1')\n"
                                                                 "time.sleep(600)\n")
                                                      .arg(QString::fromLatin1(SecretsName))});
    m_service.start();
    if (!m_service.waitForStarted(10000)) {
        m_error = QStringLiteral("python3 did not start: ") + m_service.errorString();
        return false;
    }
    return true;
}

bool PrivateBus::waitForName()
{
    const bool owned = waitUntil(
        [this] {
            QProcess ask;
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:") + QString::fromLatin1(SecretsName)});
            return ask.waitForFinished(5000) && ask.readAllStandardOutput().contains("boolean true");
        },
        20000);
    if (!owned)
        m_error = QStringLiteral("nothing took the Secret Service's name: ")
                  + QString::fromUtf8(m_service.readAllStandardError());
    return owned;
}

} // namespace testsupport
