// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Executor.h"

#include "ui/InterfaceWait.h"

#include <memory>

namespace ui {

Executor::Executor() = default;

Executor::~Executor()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool Executor::isCurrentThread() const
{
    return m_thread.joinable() && std::this_thread::get_id() == m_thread.get_id();
}

void Executor::run(const std::function<void()> &fn)
{
    if (isCurrentThread()) {
        fn();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneWake;
    bool done = false;
    const bool interface = isInterfaceThread();
    const std::unique_ptr<InterfaceWait> wait(interface ? new InterfaceWait : nullptr);
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        m_jobs.emplace_back([&] {
            fn();
            if (wait) {
                wait->finish();
                return;
            }
            const std::lock_guard doneLock(doneMutex);
            done = true;
            doneWake.notify_all();
        });
    }
    m_wake.notify_all();
    if (wait) {
        wait->wait();
        return;
    }
    std::unique_lock doneLock(doneMutex);
    doneWake.wait(doneLock, [&] { return done; });
}

void Executor::post(std::function<void()> fn)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        m_jobs.push_back(std::move(fn));
    }
    m_wake.notify_all();
}

void Executor::loop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace ui
