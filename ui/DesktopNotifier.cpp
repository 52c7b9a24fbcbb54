// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent), m_sessionBus(true) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus) {}

DesktopNotifier::~DesktopNotifier() = default;

bool DesktopNotifier::connectBus()
{
    if (!m_bus && m_sessionBus) {
        m_sessionBus = false;
        // Without a bus address no connection is tried: starting a bus on
        // demand (autolaunch) could hold the window.
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (!address.isEmpty()
            || (!runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + "/bus"))))
            m_bus = QDBusConnection::sessionBus();
    }
    return m_bus && m_bus->isConnected();
}

void DesktopNotifier::notify(const QString &summary, const QString &body, const QString &icon)
{
    if (m_waiting || !connectBus())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    call << QStringLiteral("Vexmora") << 0u << icon << summary << body << QStringList() << QVariantMap()
         << -1;
    m_waiting = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, TimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        m_waiting = false;
        if (done->isError())
            ++m_unanswered;
        else
            ++m_answered;
        done->deleteLater();
    });
}
