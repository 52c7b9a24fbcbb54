// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Timer.h"

#include "ui/Clock.h"

namespace ui {

Timer::Timer(QObject *parent) : QObject(parent)
{
    // The watch polls every 100 ms to 10 s; a coarse timer would let a tick drift
    // by up to 5 % of that.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::timeout);
}

void Timer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    apply();
}

void Timer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    apply();
}

void Timer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(Clock::scaled(m_interval));
    else
        m_timer.stop();
}

} // namespace ui
