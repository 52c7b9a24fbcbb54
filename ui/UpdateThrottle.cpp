// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/UpdateThrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

namespace ui {

UpdateThrottle::UpdateThrottle(int intervalMs, QObject *parent) : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &UpdateThrottle::deliverHeld);
}

UpdateThrottle::~UpdateThrottle()
{
    // A window may be half destroyed by now (the throttle is its child): what is
    // held is posted, which Qt drops for an object that goes away.
    if (!m_active)
        return;
    if (QCoreApplication *app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
        for (const QPointer<QWidget> &widget : m_held)
            if (widget)
                QCoreApplication::postEvent(widget, new QEvent(QEvent::LayoutRequest));
        for (const QPointer<QWidget> &window : m_windows)
            if (window)
                QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
}

void UpdateThrottle::start(const std::vector<QWidget *> &windows)
{
    stop();
    for (QWidget *window : windows)
        if (window)
            m_windows.emplace_back(window);
    if (m_windows.empty())
        return;
    m_active = true;
    // Layout requests go to the widget that owns the layout, anywhere in a window,
    // so the filter watches the application.
    QCoreApplication::instance()->installEventFilter(this);
    m_timer.start();
}

void UpdateThrottle::stop()
{
    if (!m_active)
        return;
    QCoreApplication::instance()->removeEventFilter(this);
    m_timer.stop();
    m_active = false;
    deliverHeld();
    m_windows.clear();
}

bool UpdateThrottle::throttles(const QWidget *widget) const
{
    const QWidget *window = widget->window();
    return std::any_of(m_windows.begin(), m_windows.end(),
                       [window](const QPointer<QWidget> &w) { return w.data() == window; });
}

bool UpdateThrottle::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::UpdateRequest && type != QEvent::LayoutRequest)
        return false;
    if (m_delivering || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!throttles(widget))
        return false;
    if (type == QEvent::LayoutRequest) {
        if (std::find(m_held.begin(), m_held.end(), widget) == m_held.end())
            m_held.emplace_back(widget);
    } else {
        m_paintHeld = true;
    }
    return true;
}

void UpdateThrottle::deliverHeld()
{
    if (m_held.empty() && !m_paintHeld)
        return;
    m_delivering = true;
    // Layouts first: they may move widgets and so add to what is painted.
    const std::vector<QPointer<QWidget>> held = std::move(m_held);
    m_held.clear();
    for (const QPointer<QWidget> &widget : held) {
        if (widget) {
            QEvent request(QEvent::LayoutRequest);
            QCoreApplication::sendEvent(widget, &request);
        }
    }
    // A held paint request leaves Qt waiting for its delivery before it posts
    // another one, so every window gets one now (a window with nothing to paint
    // does nothing).
    m_paintHeld = false;
    for (const QPointer<QWidget> &window : m_windows) {
        if (window) {
            QEvent request(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(window, &request);
        }
    }
    m_delivering = false;
}

} // namespace ui
