// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ui {

// A thread of its own that runs the functions handed to it one after another,
// so that whatever they use is only ever used by that one thread. The thread
// starts with the first run() and ends with the executor.
//
// run() returns when the function has run. Called on the interface thread it
// waits in an InterfaceWait, so the windows keep painting meanwhile; called on
// the executor's own thread it runs the function at once; on any other thread
// it blocks.
class Executor {
public:
    Executor();
    ~Executor();
    Executor(const Executor &) = delete;
    Executor &operator=(const Executor &) = delete;

    void run(const std::function<void()> &fn);
    // Hands fn to the thread without waiting for it; it runs after the
    // functions handed over before it.
    void post(std::function<void()> fn);
    bool isCurrentThread() const;

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace ui
