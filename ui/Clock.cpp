// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Clock.h"

#include "ui/InterfaceWait.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cmath>

namespace ui {

namespace {
std::atomic<double> g_scale{1.0};
}

double Clock::scale()
{
    return g_scale.load();
}

void Clock::setScale(double scale)
{
    g_scale.store(scale > 0 ? scale : 1.0);
}

int Clock::scaled(int milliseconds)
{
    if (milliseconds <= 0)
        return milliseconds;
    const long v = std::lround(milliseconds * g_scale.load());
    return v < 1 ? 1 : static_cast<int>(v);
}

void Clock::sleep(int milliseconds)
{
    const int ms = scaled(milliseconds);
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void Clock::wait(int milliseconds)
{
    const int ms = scaled(milliseconds);
    if (ms <= 0)
        return;
    if (!isInterfaceThread() || !QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    InterfaceWait wait;
    wait.wait(ms);
}

} // namespace ui
