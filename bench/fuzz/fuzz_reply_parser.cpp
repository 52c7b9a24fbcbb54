// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness of the control connection's reply reading (bench/fuzz.sh
// builds and runs it).
//
// The input is everything a server says on the control connection: a loopback
// server sends it whole and closes its side, while the engine logs in (greeting,
// USER, PASS, FEAT with its feature lines, OPTS) and asks PWD (the 257 path with
// doubled quotes) and CWD. Whatever the bytes, the engine must end without a
// crash, a leak or a wait: the closed stream ends every read at once.
#include "platform/FtpClient.h"

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

int listener(uint16_t &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        std::abort();
    port = ntohs(address.sin_port);
    return fd;
}

void serve(int listenFd, const uint8_t *data, size_t size)
{
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        data += n;
        size -= static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    char sink[4096];
    while (::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static uint16_t port = 0;
    static const int listenFd = listener(port);

    std::thread server(serve, listenFd, data, size);
    {
        platform::FtpOptions options;
        options.connectTimeoutMs = 2000;
        options.replyTimeoutMs = 2000;
        options.dataTimeoutMs = 2000;
        platform::FtpClient client(options);
        if (client.connect("127.0.0.1:" + std::to_string(port), "user", "secret", 300)) {
            std::string dir;
            client.getCurrentDirectory(dir);
            client.setCurrentDirectory("sub");
        }
        client.close();
    }
    server.join();
    return 0;
}
