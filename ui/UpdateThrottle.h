// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace ui {

// Coalesces the repaints and re-layouts of some windows while a long batch
// changes their texts hundreds of times a second. While the throttle runs, the
// layout and paint requests Qt posts for those windows are held and delivered
// together once per interval, so the windows are laid out and painted at that
// rate instead of after every step of the batch, explicit repaint() calls
// included. Stopping delivers everything held.
//
// Input events are never held, so buttons such as Cancel act at once. A
// throttle destroyed while running posts what it held instead of delivering it.
//
// Threads: user-interface thread only.
class UpdateThrottle : public QObject {
    Q_OBJECT
public:
    // intervalMs: real milliseconds between two deliveries.
    explicit UpdateThrottle(int intervalMs = 50, QObject *parent = nullptr);
    ~UpdateThrottle() override;

    // Starts holding the requests of the given top-level windows (a running
    // throttle is stopped first).
    void start(const std::vector<QWidget *> &windows);
    void stop();
    bool isActive() const { return m_active; }

    // Requests held since the last delivery.
    int heldCount() const { return static_cast<int>(m_held.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool throttles(const QWidget *widget) const;
    void deliverHeld();

    QTimer m_timer;
    std::vector<QPointer<QWidget>> m_windows;
    std::vector<QPointer<QWidget>> m_held; // widgets whose layout request is held
    bool m_paintHeld = false;
    bool m_active = false;
    bool m_delivering = false;
};

} // namespace ui
