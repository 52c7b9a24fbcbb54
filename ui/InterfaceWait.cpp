// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/InterfaceWait.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace ui {

namespace {

std::vector<QPointer<QWidget>> &inputWindows()
{
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}

bool isUserInput(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    case QEvent::Close:
        // The window manager's close box; the program's own close() calls pass.
        return event->spontaneous();
    default:
        return false;
    }
}

QWidget *widgetOf(QObject *object)
{
    for (QObject *o = object; o; o = o->parent())
        if (auto *widget = qobject_cast<QWidget *>(o))
            return widget;
    return nullptr;
}

// Drops user input to the windows that do not take it during a wait.
class InputGate : public QObject {
public:
    int users = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!isUserInput(event))
            return false;
        QWidget *widget = widgetOf(watched);
        if (!widget)
            return false; // not a window's input (a window handle forwards to its widgets)
        const QWidget *window = widget->window();
        if (QWidget *modal = QApplication::activeModalWidget(); modal && modal == window)
            return false;
        for (const QPointer<QWidget> &allowed : inputWindows())
            if (allowed && allowed == window)
                return false;
        return true;
    }
};

InputGate &gate()
{
    static InputGate *instance = new InputGate; // lives as long as the process
    return *instance;
}

} // namespace

bool isInterfaceThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void acceptInputWhileWaiting(QWidget *window)
{
    auto &windows = inputWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), nullptr), windows.end());
    windows.emplace_back(window);
}

InterfaceWait::InterfaceWait()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_loop, &QEventLoop::quit);
}

InterfaceWait::~InterfaceWait() = default;

void InterfaceWait::wait(int timeoutMs)
{
    // Even when finish() came first its quit is still queued, so the loop always
    // runs: the finishing thread may still be inside finish() until then.
    if (timeoutMs >= 0)
        m_timer.start(timeoutMs);
    if (QCoreApplication::instance() && ++gate().users == 1)
        QCoreApplication::instance()->installEventFilter(&gate());
    m_loop.exec();
    if (QCoreApplication::instance() && --gate().users == 0)
        QCoreApplication::instance()->removeEventFilter(&gate());
    m_timer.stop();
}

bool InterfaceWait::isWaiting()
{
    return gate().users > 0;
}

void InterfaceWait::finish()
{
    QMetaObject::invokeMethod(&m_loop, &QEventLoop::quit, Qt::QueuedConnection);
}

} // namespace ui
