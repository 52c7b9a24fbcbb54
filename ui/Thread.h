// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QThread>
#include <functional>

namespace ui {

// A worker thread with a synchronised call: synchronize() runs a function on the
// user-interface thread and returns when it has finished. The body runs in
// execute(); terminateRequested() is the request to end.
class Thread : public QThread {
    Q_OBJECT
public:
    explicit Thread(QObject *parent = nullptr);

    void requestTerminate() { requestInterruption(); }
    bool terminateRequested() const { return isInterruptionRequested(); }

    // Runs fn on the user-interface thread and waits for it. Called on the
    // user-interface thread itself it simply runs fn.
    static void synchronize(const std::function<void()> &fn);
    // Hands fn to the user-interface thread without waiting for it; calls from
    // one thread run in the order they were handed over, also in order with its
    // synchronize() calls. Called on the user-interface thread it runs fn at once.
    static void post(std::function<void()> fn);

protected:
    virtual void execute() = 0;
    void run() override { execute(); }
};

} // namespace ui
