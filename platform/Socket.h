// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>

namespace platform {

class TlsChannel;
class TlsClient;

// An IPv4 or IPv6 socket address.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    bool isValid() const { return length != 0; }
    uint16_t port() const;
    void setPort(uint16_t port);
    // The numeric host ("127.0.0.1", "::1"), without the port.
    std::string hostText() const;
};

// A non-blocking TCP socket whose every wait is bounded by a timeout, optionally
// carrying TLS once startTls() succeeded (sends and receives then go through
// it). The calls
// return the platform error code of a failure (0 = success) instead of touching the
// thread's last error, so that the caller decides what a failure means.
//
// Not thread-safe: one thread uses a socket at a time. Move-only; the destructor
// closes the descriptor.
class Socket {
public:
    Socket();
    ~Socket();
    Socket(Socket &&other) noexcept;
    Socket &operator=(Socket &&other) noexcept;
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Connects to `to`, first binding to `from` when it is given (its port is
    // usually 0). Waits at most timeoutMs for the connection.
    uint32_t connectTo(const SocketAddress &to, const SocketAddress *from, int timeoutMs);
    // Resolves host and tries its addresses in turn, timeoutMs each, until one
    // connects; `trying(address, connected)` hears of each attempt before and
    // of the one that connected after. Without an address: 12007, or the
    // resolver's system error.
    uint32_t connectToHost(const std::string &host, const std::string &port, int timeoutMs,
                           const std::function<void(const SocketAddress &, bool connected)> &trying);

    // Sends all bytes, waiting at most timeoutMs for each bit of progress.
    uint32_t sendAll(const char *data, size_t size, int timeoutMs);

    // Sends what the socket takes now without waiting; `sent` gets the count.
    uint32_t sendSome(const char *data, size_t size, size_t &sent);

    // Receives what is available without waiting. `received` is 0 at the end of
    // the stream; EAGAIN is reported as success with `wouldBlock` set.
    uint32_t receiveSome(char *data, size_t size, size_t &received, bool &wouldBlock);

    // Waits until the socket is readable (or writable); 12002 on timeout.
    uint32_t waitReadable(int timeoutMs) const;
    uint32_t waitWritable(int timeoutMs) const;

    // Starts TLS as a client of `host` on the connected socket (see TlsChannel).
    uint32_t startTls(TlsClient &client, const std::string &host, bool resume, int timeoutMs);
    // The TLS layer, or null on a plain socket.
    const TlsChannel *tls() const { return m_tls.get(); }
    // Bytes already received and decrypted that a poll on fd() would not show.
    bool hasBuffered() const;
    // Ends TLS properly (close notification) before closing; a plain socket
    // just closes.
    uint32_t closeGracefully(int timeoutMs);

    void setNoDelay(bool on);
    void setKeepAlive(bool on);
    void close();

    SocketAddress localAddress() const;
    SocketAddress peerAddress() const;

private:
    int m_fd = -1;
    std::unique_ptr<TlsChannel> m_tls;
};

// Waits for the first of a set of events on up to two descriptors. Returns the
// number of ready descriptors, 0 on timeout, -1 on error (errno set). EINTR is
// retried with the remaining time.
int pollFor(pollfd *fds, size_t count, int timeoutMs);

} // namespace platform
