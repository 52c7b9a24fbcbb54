// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications.Notify on the session bus). A notice is sent
// as an asynchronous call and never waited for: a service that does not answer
// is given up after TimeoutMs, and while one call is outstanding a further
// notice is dropped, so a hanging service never holds the interface thread nor
// piles calls up. Where no bus or no service answers, nothing is shown.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr int TimeoutMs = 5000;

    // Uses the session bus of the desktop, connected at the first notice.
    explicit DesktopNotifier(QObject *parent = nullptr);
    // Uses the given bus (a private one in tests).
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);
    ~DesktopNotifier() override;

    // icon: a freedesktop icon name ("dialog-error").
    void notify(const QString &summary, const QString &body, const QString &icon);

    // Calls the service answered, and calls that failed or timed out.
    int answered() const { return m_answered; }
    int unanswered() const { return m_unanswered; }
    bool waiting() const { return m_waiting; }

private:
    bool connectBus();

    std::optional<QDBusConnection> m_bus;
    bool m_sessionBus = false;
    bool m_waiting = false;
    int m_answered = 0;
    int m_unanswered = 0;
};
