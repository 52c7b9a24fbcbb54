// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <optional>
#include <string>

namespace testsupport {

// A D-Bus session bus of the test's own (dbus-daemon in a temporary folder,
// no service started on demand), optionally with a real Secret Service on it:
// gnome-keyring-daemon with a fresh login keyring unlocked by a test password.
// While it lives, DBUS_SESSION_BUS_ADDRESS names it, so nothing the test does
// reaches the user's own bus or keyring.
class PrivateBus {
public:
    enum class Service {
        None,    // the bus alone
        Keyring, // gnome-keyring-daemon's secrets component
        Silent,  // the same daemon stopped once it owns the name: every call waits
    };

    explicit PrivateBus(Service service);
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // False (with the reason in errorString) when the bus or the service did not start.
    bool isReady() const { return m_ready; }
    QString errorString() const { return m_error; }
    std::string address() const { return m_address.toStdString(); }

private:
    bool startBus();
    bool startKeyring();
    bool waitForName();

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_keyring;
    QString m_address;
    std::optional<QByteArray> m_previousAddress;
    bool m_ready = false;
    QString m_error;
};

} // namespace testsupport
