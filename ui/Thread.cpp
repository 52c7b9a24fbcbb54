// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Thread.h"

#include <QCoreApplication>

namespace ui {

Thread::Thread(QObject *parent) : QThread(parent) {}

void Thread::synchronize(const std::function<void()> &fn)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

void Thread::post(std::function<void()> fn)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

} // namespace ui
