// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session/ConnectionPool.h"

#include "platform/LastError.h"

#include <algorithm>
#include <thread>

namespace {

bool hasScheme(const std::string &server)
{
    return server.find("://") != std::string::npos;
}

} // namespace

struct ConnectionPool::State {
    struct Job {
        Work work;
        Done done;
    };

    Login login;
    int wanted = 1;
    Main main;

    std::mutex mutex;
    std::condition_variable wake; // work queued, or stopping: for the extra threads
    std::condition_variable idle; // work ended: for the destructor
    std::deque<Job> jobs;
    bool stopping = false;
    bool mainBusy = false;
    bool mainBroken = false; // connection 0 broke during the run: no more work for it
    int running = 0;         // work under way, on any connection
    int live = 0;            // connections logged in and not given up
    int opening = 0;         // extra connections still logging in
    int waiting = 0;         // extra connections free for work
    std::vector<std::thread> threads;
    std::vector<bool> loggingIn; // per thread: still logging in (or changing folder)
    // Where connection 0 is, asked of it when the pool starts.
    bool directoryKnown = false;
    std::string directory;

    // Hands queued work to connection 0 when it is free. Called with the lock held.
    static void dispatchMain(const std::shared_ptr<State> &self);
    static void runExtra(const std::shared_ptr<State> &self, int index);
    // Runs a job's work on a connection; `broken` tells that the connection is
    // gone, so that the work may succeed on another one.
    static Result run(const Job &job, platform::RemoteSession &client, int connection, bool &broken);
    // The folder an extra connection changes to; false when it cannot be known.
    static bool extraDirectory(const std::shared_ptr<State> &self, std::string &directory);
    // Once no connection is left or coming (connection 0 absent or broken),
    // the work still queued fails with the last connection's error. Lock held.
    void failStranded(std::unique_lock<std::mutex> &lock, uint32_t code, const std::string &response);
    std::string extraServer() const;
};

std::string ConnectionPool::State::extraServer() const
{
    if (hasScheme(login.server) || !main.client)
        return login.server;
    // A server without a scheme: the extra connections take the way connection
    // 0 ended up with, so that they never fall back to plain FTP on their own.
    return (login.secure ? "ftpes://" : "ftp://") + login.server;
}

ConnectionPool::Result ConnectionPool::State::run(const Job &job, platform::RemoteSession &client,
                                                  int connection, bool &broken)
{
    Result result;
    result.ok = job.work(client);
    result.code = result.ok ? 0 : platform::lastError();
    result.response = result.ok ? std::string() : platform::lastResponseText();
    result.connection = connection;
    broken = !result.ok && platform::isConnectionLoss(result.code);
    return result;
}

void ConnectionPool::State::dispatchMain(const std::shared_ptr<State> &self)
{
    if (!self->main.client || self->mainBusy || self->mainBroken || self->jobs.empty() || self->stopping)
        return;
    Job job = std::move(self->jobs.front());
    self->jobs.pop_front();
    self->mainBusy = true;
    ++self->running;
    self->main.post([self, job = std::move(job)]() mutable {
        bool broken = false;
        const Result result = run(job, *self->main.client, 0, broken);
        {
            // The session's connection broke while others work: they take its
            // file and the rest of the run; the session is repaired afterwards
            // as after any lost connection.
            const std::lock_guard lock(self->mutex);
            if (broken && self->live + self->opening > 1) {
                self->mainBroken = true;
                --self->live;
                self->jobs.push_front(std::move(job));
                self->mainBusy = false;
                --self->running;
                self->wake.notify_all();
                self->idle.notify_all();
                return;
            }
        }
        job.done(result);
        const std::lock_guard lock(self->mutex);
        self->mainBusy = false;
        --self->running;
        self->idle.notify_all();
        dispatchMain(self);
    });
}

void ConnectionPool::State::failStranded(std::unique_lock<std::mutex> &lock, uint32_t code,
                                         const std::string &response)
{
    if ((main.client && !mainBroken) || live > 0 || opening > 0)
        return;
    while (!jobs.empty()) {
        Job job = std::move(jobs.front());
        jobs.pop_front();
        Result result;
        result.code = code;
        result.response = response;
        result.stranded = true;
        lock.unlock();
        job.done(result);
        lock.lock();
    }
}

bool ConnectionPool::State::extraDirectory(const std::shared_ptr<State> &self, std::string &directory)
{
    if (!self->login.directory.empty() || !self->main.client) {
        directory = self->login.directory;
        return true;
    }
    std::unique_lock lock(self->mutex);
    self->wake.wait(lock, [&] { return self->directoryKnown || self->stopping; });
    directory = self->directory;
    return !directory.empty();
}

void ConnectionPool::State::runExtra(const std::shared_ptr<State> &self, int index)
{
    const std::string server = self->extraServer();
    const std::unique_ptr<platform::RemoteSession> session =
        platform::makeRemoteSession(server, self->login.options);
    platform::RemoteSession &client = *session;
    client.setCancelFlag(self->login.cancel);
    if (self->login.status)
        client.setStatusCallback(self->login.status);
    // The user has already judged connection 0's certificate: the same one is
    // taken again, no other that the system cannot vouch for.
    client.setCertificateCheck([fingerprint = self->login.fingerprint](const platform::CertificateInfo &c) {
        return !fingerprint.empty() && c.fingerprint == fingerprint;
    });
    bool ok = client.connect(server, self->login.user, self->login.password, 0);
    std::string directory;
    if (ok)
        ok = extraDirectory(self, directory);
    if (ok && !directory.empty())
        ok = client.setCurrentDirectory(directory);
    const uint32_t loginCode = ok ? 0 : platform::lastError();
    const std::string loginResponse = ok ? std::string() : platform::lastResponseText();
    std::unique_lock lock(self->mutex);
    --self->opening;
    const size_t thread = static_cast<size_t>(index - (self->main.client ? 1 : 0));
    if (thread < self->loggingIn.size())
        self->loggingIn[thread] = false;
    if (!ok || self->stopping) {
        self->failStranded(lock, loginCode, loginResponse);
        lock.unlock();
        client.close();
        return;
    }
    ++self->live;
    uint32_t lastCode = 0;
    std::string lastResponse;
    for (;;) {
        ++self->waiting;
        self->wake.wait(lock, [&] { return self->stopping || !self->jobs.empty(); });
        --self->waiting;
        if (self->stopping)
            break;
        Job job = std::move(self->jobs.front());
        self->jobs.pop_front();
        ++self->running;
        lock.unlock();

        bool broken = false;
        const Result result = run(job, client, index, broken);

        lock.lock();
        if (broken && self->live > 1) {
            // This connection is gone; another one does the work.
            lastCode = result.code;
            lastResponse = result.response;
            self->jobs.push_front(std::move(job));
            --self->running;
            self->wake.notify_all();
            dispatchMain(self);
            self->idle.notify_all();
            break;
        }
        lock.unlock();
        job.done(result);
        lock.lock();
        --self->running;
        self->idle.notify_all();
        if (broken) {
            lastCode = result.code;
            lastResponse = result.response;
            break;
        }
    }
    --self->live;
    if (!self->stopping)
        self->failStranded(lock, lastCode, lastResponse);
    lock.unlock();
    client.close();
}

ConnectionPool::ConnectionPool(Login login, int connections, Main main) : m_state(std::make_shared<State>())
{
    m_state->login = std::move(login);
    m_state->wanted = std::clamp(connections, 1, MaxConnections);
    m_state->main = std::move(main);
    if (!m_state->main.client)
        return;
    m_state->live = 1;
    if (m_state->wanted > 1 && m_state->login.directory.empty()) {
        // Where connection 0 is, asked before its first work, so that extra
        // connections never wait behind a long transfer to learn it.
        m_state->main.post([self = m_state] {
            std::string folder;
            const bool known = self->main.client->getCurrentDirectory(folder);
            const std::lock_guard lock(self->mutex);
            self->directory = known ? folder : std::string();
            self->directoryKnown = true;
            self->wake.notify_all();
        });
    }
}

ConnectionPool::ConnectionPool(Login login, int connections)
    : ConnectionPool(std::move(login), connections, Main{})
{}

ConnectionPool::~ConnectionPool()
{
    std::vector<std::thread> threads;
    std::vector<bool> loggingIn;
    {
        std::unique_lock lock(m_state->mutex);
        m_state->stopping = true;
        m_state->jobs.clear();
        m_state->wake.notify_all();
        m_state->idle.wait(lock, [this] { return m_state->running == 0; });
        threads.swap(m_state->threads);
        loggingIn = m_state->loggingIn;
    }
    // A login no longer needed is not waited for (a server that never greets
    // would hold the end of the run for its whole timeouts): its thread keeps
    // the state alive, sees the pool stopping and closes its connection itself.
    for (size_t i = 0; i < threads.size(); ++i) {
        if (i < loggingIn.size() && loggingIn[i])
            threads[i].detach();
        else
            threads[i].join();
    }
}

void ConnectionPool::queue(Work work, Done done)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->jobs.push_back({std::move(work), std::move(done)});
    m_state->wake.notify_all();
    State::dispatchMain(m_state);
    // Another connection only for work that no connection is free to take.
    State &state = *m_state;
    // Each connection is tried once: one the server refused is not asked again.
    const int connections = static_cast<int>(state.threads.size()) + (state.main.client ? 1 : 0);
    if (static_cast<int>(state.jobs.size()) > state.waiting + state.opening && connections < state.wanted) {
        ++state.opening;
        state.loggingIn.push_back(true);
        state.threads.emplace_back(&State::runExtra, m_state, connections);
    }
}

std::vector<ConnectionPool::Done> ConnectionPool::dropQueued()
{
    const std::lock_guard lock(m_state->mutex);
    std::vector<Done> dropped;
    dropped.reserve(m_state->jobs.size());
    for (State::Job &job : m_state->jobs)
        dropped.push_back(std::move(job.done));
    m_state->jobs.clear();
    return dropped;
}

int ConnectionPool::liveConnections() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->live;
}

int ConnectionPool::connectionsFor(int wanted, int rows)
{
    return std::clamp(std::min(wanted, rows), 1, MaxConnections);
}
