// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEventLoop>
#include <QTimer>

class QWidget;

namespace ui {

// True on the thread that owns the windows (or when there is no application).
bool isInterfaceThread();

// A window that keeps taking user input while the interface thread waits (the
// progress window for its Cancel, the watch monitor for its close box). Input
// to every other window is dropped during a wait, so a wait never lets the user
// start a second operation. A window registered here is forgotten when it is
// destroyed.
void acceptInputWhileWaiting(QWidget *window);

// A wait of the interface thread that keeps the windows painting: the event
// loop runs (timers, paints, posted calls) until finish() is called, from any
// thread, or until the time given to wait() has passed. User input reaches only
// the windows registered with acceptInputWhileWaiting() and the modal dialog
// showing, if any.
//
// Threads: construct and wait() on the interface thread; finish() from any.
class InterfaceWait {
public:
    InterfaceWait();
    ~InterfaceWait();
    InterfaceWait(const InterfaceWait &) = delete;
    InterfaceWait &operator=(const InterfaceWait &) = delete;

    // Returns when finish() was called; with timeoutMs >= 0 at the latest then.
    void wait(int timeoutMs = -1);
    void finish();

    // Whether the interface thread is inside a wait: a timer that starts work
    // does nothing then, so no second operation starts inside the first.
    static bool isWaiting();

private:
    QEventLoop m_loop;
    QTimer m_timer;
};

} // namespace ui
