// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RemoteSession.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Several control connections to one server that share a queue of work: a
// multi-file run hands each file's transfer to whichever connection is free.
//
// Connection 0 may be a client the caller already has (the session's), used
// only through the caller's runner, which runs a function on that client's
// thread; the others are logged in by the pool, each on a thread of its own,
// when work waits and no connection is free for it. They use the same account and the same
// encryption as connection 0 and start in the same remote folder. A connection
// the server refuses (too many connections, a refused login, any failure to
// open) is given up without a report: the run goes on with the connections it
// has. Connection 0 is never given up; without it the pool opens all of them.
//
// Work that fails on an extra connection because that connection broke is put
// back at the head of the queue for another connection, and the broken one is
// closed; every other result goes to the work's callback.
//
// Threads: queue(), dropQueued() and the destructor are called on one thread
// (the owner's). Callbacks run on the connection's thread, one at a time per
// connection; they must not call back into the pool.
class ConnectionPool {
public:
    // The most connections a pool opens, whatever it is asked for: servers
    // commonly allow a handful per user, and more gain nothing on one link.
    static constexpr int MaxConnections = 10;

    struct Login {
        std::string server; // as the user typed it, scheme included
        std::string user;
        std::string password;
        platform::FtpOptions options;
        // The encryption connection 0 ended up with (its securityProtocol()):
        // a server without a scheme is then reached the same way, and a
        // certificate the system cannot vouch for is taken only when its
        // fingerprint is this one's (the user has already accepted it).
        bool secure = false;
        std::string fingerprint;
        // The remote folder extra connections change to after logging in;
        // empty: connection 0's (asked of it once), or without connection 0
        // where the login put them.
        std::string directory;
        // A download under way stops when this becomes true (see RemoteSession).
        const std::atomic<bool> *cancel = nullptr;
        // The status callback of the connections the pool opens (any thread).
        platform::FtpStatusCallback status;
    };

    // The caller's own connection and the function that runs work on its
    // thread without waiting for it.
    struct Main {
        platform::RemoteSession *client = nullptr;
        std::function<void(std::function<void()>)> post;
    };

    struct Result {
        bool ok = false;
        uint32_t code = 0;     // the last error the work left
        std::string response;  // the server's reply text it left
        int connection = 0;    // the connection that ran it
        bool started = true;   // false for work the owner took back unrun
        bool stranded = false; // failed unrun: no connection was left for it
    };

    using Work = std::function<bool(platform::RemoteSession &client)>;
    using Done = std::function<void(const Result &result)>;

    ConnectionPool(Login login, int connections, Main main);
    // Without a connection of the caller's: the pool opens all of them.
    ConnectionPool(Login login, int connections);
    // Waits for work under way, drops work not yet started (its callback is not
    // called) and closes the connections the pool opened; connections still
    // logging in are left to give up by themselves, unwaited.
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool &) = delete;
    ConnectionPool &operator=(const ConnectionPool &) = delete;

    // Queues work for the next free connection. Opens another connection when
    // no connection is free or coming for it, up to the number asked for.
    void queue(Work work, Done done);
    // Work queued and not yet started is taken back unrun: returns its callbacks,
    // in queue order, for the caller to end as it sees fit.
    std::vector<Done> dropQueued();
    // Connections logged in and not given up (connection 0 included).
    int liveConnections() const;

    // The number of connections the settings ask for when a run has `rows`
    // files: never more than the rows, at least one.
    static int connectionsFor(int wanted, int rows);

private:
    struct State;
    std::shared_ptr<State> m_state;
};
