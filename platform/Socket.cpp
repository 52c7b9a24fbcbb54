// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Socket.h"

#include "platform/LastError.h"
#include "platform/Tls.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace platform {

uint16_t SocketAddress::port() const
{
    if (family() == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in *>(&storage)->sin_port);
    if (family() == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_port);
    return 0;
}

void SocketAddress::setPort(uint16_t port)
{
    if (family() == AF_INET)
        reinterpret_cast<sockaddr_in *>(&storage)->sin_port = htons(port);
    else if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6 *>(&storage)->sin6_port = htons(port);
}

std::string SocketAddress::hostText() const
{
    char text[INET6_ADDRSTRLEN] = {};
    const void *raw = nullptr;
    if (family() == AF_INET)
        raw = &reinterpret_cast<const sockaddr_in *>(&storage)->sin_addr;
    else if (family() == AF_INET6)
        raw = &reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_addr;
    if (!raw || !inet_ntop(family(), raw, text, sizeof text))
        return {};
    return text;
}

int pollFor(pollfd *fds, size_t count, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int wait = left.count() < 0 ? 0 : static_cast<int>(left.count());
        const int n = ::poll(fds, static_cast<nfds_t>(count), wait);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

namespace {

uint32_t waitFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    const int n = pollFor(&p, 1, timeoutMs);
    if (n < 0)
        return errorFromErrno(errno);
    if (n == 0)
        return err::InternetTimeout;
    return err::Success;
}

} // namespace

Socket::Socket() = default;

Socket::~Socket()
{
    close();
}

Socket::Socket(Socket &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)), m_tls(std::move(other.m_tls))
{}

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_tls = std::move(other.m_tls);
    }
    return *this;
}

uint32_t Socket::startTls(TlsClient &client, const std::string &host, bool resume, int timeoutMs)
{
    m_tls = std::make_unique<TlsChannel>();
    return m_tls->handshake(client, m_fd, host, resume, timeoutMs);
}

bool Socket::hasBuffered() const
{
    return m_tls && m_tls->buffered();
}

uint32_t Socket::closeGracefully(int timeoutMs)
{
    const uint32_t code = m_tls ? m_tls->shutdown(timeoutMs) : err::Success;
    close();
    return code;
}

uint32_t Socket::connectToHost(const std::string &host, const std::string &port, int timeoutMs,
                               const std::function<void(const SocketAddress &, bool connected)> &trying)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *list = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (rc != 0)
        return rc == EAI_SYSTEM ? errorFromErrno(errno) : err::NameNotResolved;
    uint32_t code = err::CannotConnect;
    for (const addrinfo *ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(&address.storage, ai->ai_addr, ai->ai_addrlen);
        address.length = ai->ai_addrlen;
        trying(address, false);
        code = connectTo(address, nullptr, timeoutMs);
        if (code == err::Success) {
            trying(address, true);
            break;
        }
    }
    ::freeaddrinfo(list);
    return code;
}

uint32_t Socket::connectTo(const SocketAddress &to, const SocketAddress *from, int timeoutMs)
{
    close();
    m_fd = ::socket(to.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_fd < 0)
        return errorFromErrno(errno);
    if (from && from->isValid()
        && ::bind(m_fd, reinterpret_cast<const sockaddr *>(&from->storage), from->length) != 0) {
        const int e = errno;
        close();
        return errorFromErrno(e);
    }
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&to.storage), to.length) == 0)
        return err::Success;
    if (errno != EINPROGRESS) {
        const int e = errno;
        close();
        return errorFromErrno(e);
    }
    const uint32_t waited = waitFor(m_fd, POLLOUT, timeoutMs);
    if (waited != err::Success) {
        close();
        return waited;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
        soError = errno;
    if (soError != 0) {
        close();
        return errorFromErrno(soError);
    }
    return err::Success;
}

uint32_t Socket::sendSome(const char *data, size_t size, size_t &sent)
{
    sent = 0;
    if (m_tls)
        return m_tls->sendSome(data, size, sent);
    for (;;) {
        const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<size_t>(n);
            return err::Success;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return err::Success;
        return errorFromErrno(errno);
    }
}

uint32_t Socket::sendAll(const char *data, size_t size, int timeoutMs)
{
    while (size > 0) {
        size_t sent = 0;
        if (const uint32_t e = sendSome(data, size, sent))
            return e;
        if (sent == 0) {
            if (const uint32_t e = waitWritable(timeoutMs))
                return e;
            continue;
        }
        data += sent;
        size -= sent;
    }
    return err::Success;
}

uint32_t Socket::receiveSome(char *data, size_t size, size_t &received, bool &wouldBlock)
{
    received = 0;
    wouldBlock = false;
    if (m_tls)
        return m_tls->receiveSome(data, size, received, wouldBlock);
    for (;;) {
        const ssize_t n = ::recv(m_fd, data, size, 0);
        if (n >= 0) {
            received = static_cast<size_t>(n);
            return err::Success;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wouldBlock = true;
            return err::Success;
        }
        return errorFromErrno(errno);
    }
}

uint32_t Socket::waitReadable(int timeoutMs) const
{
    if (hasBuffered())
        return err::Success;
    return waitFor(m_fd, POLLIN, timeoutMs);
}

uint32_t Socket::waitWritable(int timeoutMs) const
{
    return waitFor(m_fd, POLLOUT, timeoutMs);
}

void Socket::setNoDelay(bool on)
{
    const int value = on ? 1 : 0;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
}

void Socket::setKeepAlive(bool on)
{
    const int value = on ? 1 : 0;
    ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value);
}

void Socket::close()
{
    m_tls.reset(); // before its descriptor goes
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

SocketAddress Socket::localAddress() const
{
    SocketAddress a;
    a.length = sizeof a.storage;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a.storage), &a.length) != 0)
        a.length = 0;
    return a;
}

SocketAddress Socket::peerAddress() const
{
    SocketAddress a;
    a.length = sizeof a.storage;
    if (m_fd < 0 || ::getpeername(m_fd, reinterpret_cast<sockaddr *>(&a.storage), &a.length) != 0)
        a.length = 0;
    return a;
}

} // namespace platform
