// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FtpClient.h"

#include "platform/FtpListParser.h"
#include "platform/LastError.h"
#include "platform/LocalFiles.h"
#include "platform/Wildcard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// A reply longer than this is no FTP reply: the connection is closed.
constexpr size_t MaxReplySize = 64 * 1024;
// Data buffers: large enough that a fast link is not limited by system calls,
// small enough to stay in the CPU caches (plain read/send measured faster than
// sendfile() on loopback).
constexpr size_t DataBufferSize = 256 * 1024;
// QUIT is a courtesy: a server that does not answer quickly is not waited for.
constexpr int QuitTimeoutMs = 1000;
// After an aborted transfer the server's final reply is awaited this long at most,
// so that the control connection stays in step.
constexpr int AbortReplyTimeoutMs = 5000;
// After a cancelled upload's first reply, the second is awaited this long.
constexpr int AbortSecondReplyMs = 1000;
// How often a download looks at its cancel flag while no data arrives.
constexpr int CancelCheckMs = 50;
// After the control connection failed, the data still arriving is read this long.
constexpr int DrainTimeoutMs = 2000;
// Marks a listing under way: its replies are reported without a context, as
// the platform's find calls pass none.
constexpr uint32_t ListingOperation = UINT32_MAX;

bool holdsLineBreak(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::chrono::steady_clock::time_point deadlineIn(int ms)
{
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// What is left of a wait until `deadline`, for poll(): 0 once it has passed.
int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX));
}

bool fail(uint32_t code)
{
    setLastError(code);
    return false;
}

bool validArgument(std::string_view s)
{
    if (holdsLineBreak(s))
        return fail(err::InvalidParameter);
    return true;
}

int64_t nowUnix()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isDigitChar(char c)
{
    return c >= '0' && c <= '9';
}

// "host", "host:port", "[v6]:port", "[v6]" or a bare IPv6 address.
bool splitServer(const std::string &server, std::string &host, std::string &port, const char *defaultPort)
{
    port = defaultPort;
    std::string portText;
    if (!server.empty() && server[0] == '[') {
        const size_t close = server.find(']');
        if (close == std::string::npos)
            return false;
        host = server.substr(1, close - 1);
        if (close + 1 < server.size()) {
            if (server[close + 1] != ':')
                return false;
            portText = server.substr(close + 2);
            if (portText.empty())
                return false;
        }
    } else {
        const size_t colon = server.find(':');
        if (colon != std::string::npos && server.find(':', colon + 1) == std::string::npos) {
            host = server.substr(0, colon);
            portText = server.substr(colon + 1);
            if (portText.empty())
                return false;
        } else {
            host = server;
        }
    }
    if (host.empty())
        return false;
    if (!portText.empty()) {
        if (portText.size() > 5)
            return false;
        unsigned value = 0;
        for (char c : portText) {
            if (!isDigitChar(c))
                return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535)
            return false;
        port = std::to_string(value);
    }
    return true;
}

// "229 Entering Extended Passive Mode (|||6446|)".
bool parseEpsvPort(const std::string &text, uint16_t &port)
{
    const size_t open = text.find('(');
    if (open == std::string::npos || open + 4 >= text.size())
        return false;
    const char d = text[open + 1];
    if (text[open + 2] != d || text[open + 3] != d)
        return false;
    unsigned value = 0;
    size_t i = open + 4;
    size_t digits = 0;
    for (; i < text.size() && isDigitChar(text[i]) && digits < 6; ++i, ++digits)
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (digits == 0 || i >= text.size() || text[i] != d || value == 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": only the port is used.
bool parsePasvPort(const std::string &text, uint16_t &port)
{
    for (size_t start = 3; start < text.size(); ++start) {
        if (!isDigitChar(text[start]) || isDigitChar(text[start - 1]))
            continue;
        unsigned numbers[6] = {};
        size_t i = start;
        int n = 0;
        for (; n < 6; ++n) {
            size_t digits = 0;
            unsigned v = 0;
            while (i < text.size() && isDigitChar(text[i]) && digits < 4) {
                v = v * 10 + static_cast<unsigned>(text[i] - '0');
                ++i;
                ++digits;
            }
            if (digits == 0 || v > 255)
                break;
            numbers[n] = v;
            if (n < 5) {
                if (i >= text.size() || text[i] != ',')
                    break;
                ++i;
            }
        }
        if (n == 6) {
            const unsigned value = numbers[4] * 256 + numbers[5];
            if (value == 0)
                return false;
            port = static_cast<uint16_t>(value);
            return true;
        }
    }
    return false;
}

// The path of a 257 reply: between the first quote and the next lone quote, with
// doubled quotes undone. False when the closing quote is missing.
bool parse257Path(const std::string &text, std::string &path)
{
    const size_t lineEnd = text.find('\n');
    const std::string_view line = std::string_view(text).substr(0, lineEnd);
    size_t i = line.find('"');
    if (i == std::string_view::npos)
        return false;
    std::string result;
    for (++i; i < line.size(); ++i) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                result.push_back('"');
                ++i;
                continue;
            }
            path = std::move(result);
            return true;
        }
        result.push_back(line[i]);
    }
    return false;
}

mode_t readUmask()
{
    mode_t mask = 022;
    if (FILE *f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

// The mode a new download gets: the old file's, else what the umask allows (read
// once: umask() itself would have to change it to read it).
mode_t newFileMode(const std::string &target)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    static const mode_t mask = readUmask();
    return 0666 & ~mask;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

} // namespace

bool isConnectionLoss(uint32_t code, const std::string &response)
{
    switch (code) {
    case err::ConnectionAborted:
    case err::ConnectionReset:
    case err::FtpDropped:
    case err::InternetTimeout:
        return true;
    case err::InternetExtendedError:
        // "426 Connection closed; transfer aborted."
        return response.rfind("426", 0) == 0;
    default:
        return false;
    }
}

FtpClient::FtpClient(FtpOptions options) : m_options(options) {}

void FtpClient::sweepDownloadFolder(const std::string &folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0
        || !m_sweptFolders.insert({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)})
                .second)
        return;
    removeStaleDownloadTemporaries(folder);
}

FtpClient::~FtpClient()
{
    close();
}

void FtpClient::setStatusCallback(FtpStatusCallback cb)
{
    m_callback = std::move(cb);
}

void FtpClient::notify(uint32_t context, FtpStatus status, const std::string &text, uint64_t bytes)
{
    if (m_callback)
        m_callback(context, status, text, bytes);
}

bool FtpClient::isOpen() const
{
    if (!m_open || m_dropped || !m_control.isValid())
        return false;
    // A server that hung up while we were idle: the end of the stream is waiting.
    pollfd p{m_control.fd(), POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return true;
    char byte = 0;
    const ssize_t n = ::recv(m_control.fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

bool FtpClient::ensureOpen()
{
    if (isOpen())
        return true;
    if (m_open && !m_dropped && m_control.isValid()) {
        dropConnection(err::ConnectionAborted); // the server hung up while we were idle
        return false;
    }
    return fail(err::FtpDropped);
}

void FtpClient::closeControl()
{
    if (m_control.isValid()) {
        m_control.close();
        notify(m_context, FtpStatus::ConnectionClosed, {}, 0);
    }
    m_rx.clear();
    m_replyCode = 0;
    m_replyMultiline = false;
    m_replyBytes = 0;
    m_replyText.clear();
}

void FtpClient::dropConnection(uint32_t code)
{
    m_dropped = true;
    closeControl();
    setLastError(code);
}

bool FtpClient::refused(const Reply &reply)
{
    setLastResponseText(reply.text);
    return fail(err::InternetExtendedError);
}

bool FtpClient::connect(const std::string &server, const std::string &user, const std::string &password,
                        uint32_t context)
{
    close();
    m_context = context;
    if (!validArgument(server) || !validArgument(user) || !validArgument(password))
        return false;
    std::string address = server;
    m_security = takeScheme(address);
    std::string host, port;
    if (!splitServer(address, host, port, m_security == Security::Implicit ? "990" : "21"))
        return fail(err::InvalidParameter);
    m_tlsHost = host;
    m_tlsPort = static_cast<uint16_t>(std::stoi(port));

    const uint32_t code = m_control.connectToHost(
        host, port, m_options.connectTimeoutMs, [&](const SocketAddress &to, bool connected) {
            notify(context, connected ? FtpStatus::ConnectedToServer : FtpStatus::ConnectingToServer,
                   to.hostText(), 0);
        });
    if (!m_control.isValid())
        return fail(code);

    m_control.setNoDelay(true);
    m_control.setKeepAlive(true);
    m_peer = m_control.peerAddress();
    m_local = m_control.localAddress();
    m_local.setPort(0);
    m_dropped = false;
    m_mlsd = false;
    m_utf8 = false;
    m_pasvOnly = false;
    m_restStream = false;
    m_size = false;
    m_mdtm = false;
    m_mfmt = false;
    m_type = 0;
    m_secureData = false;
    m_resumedData = 0;

    if ((m_security == Security::Implicit && !secureControl()) || !login(user, password)) {
        const uint32_t e = lastError();
        closeControl();
        m_dropped = false;
        return fail(e);
    }
    m_open = true;
    setLastError(err::Success);
    return true;
}

bool FtpClient::login(const std::string &user, const std::string &password)
{
    if (loginSteps(user, password))
        return true;
    // A 421 while logging in ("too many connections"): the server turned us away.
    if (lastError() == err::FtpDropped)
        setLastError(err::LoginFailure);
    return false;
}

bool FtpClient::loginSteps(const std::string &user, const std::string &password)
{
    Reply r;
    const auto refusedLogin = [](const Reply &reply, uint32_t code) {
        setLastResponseText(reply.text);
        return fail(code);
    };
    // The greeting; a 120 ("ready in n minutes") comes before the real one.
    if (!readFinalReply(r, m_options.replyTimeoutMs))
        return false;
    if (r.code / 100 != 2)
        return refusedLogin(r, err::LoginFailure);
    if (!negotiateTls())
        return false;

    if (!command("USER", user, r))
        return false;
    if (r.code == 331 || r.code == 332) {
        if (!command("PASS", password, r))
            return false;
        if (r.code / 100 != 2)
            return refusedLogin(r, r.code == 530 ? err::IncorrectPassword : err::LoginFailure);
    } else if (r.code / 100 != 2) {
        return refusedLogin(r, err::LoginFailure);
    }

    if (!command("FEAT", {}, r))
        return false;
    if (r.code / 100 == 2) {
        size_t pos = 0;
        const std::string &t = r.text;
        while (pos < t.size()) {
            size_t end = t.find('\n', pos);
            if (end == std::string::npos)
                end = t.size();
            std::string_view line(t.data() + pos, end - pos);
            pos = end + 1;
            if (line.empty() || line[0] != ' ')
                continue;
            line.remove_prefix(1);
            std::string word(line.substr(0, line.find(' ')));
            for (char &c : word)
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            if (word == "MLST" || word == "MLSD")
                m_mlsd = true;
            else if (word == "UTF8")
                m_utf8 = true;
            else if (word == "SIZE")
                m_size = true;
            else if (word == "MDTM")
                m_mdtm = true;
            else if (word == "MFMT")
                m_mfmt = true;
            else if (word == "REST") {
                std::string rest(line.substr(std::min(line.size(), word.size())));
                for (char &c : rest)
                    c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
                m_restStream = rest.find("STREAM") != std::string::npos;
            }
        }
    }
    if (m_utf8 && !command("OPTS", "UTF8 ON", r))
        return false;
    return true;
}

bool FtpClient::close()
{
    if (m_control.isValid() && m_open && !m_dropped) {
        Reply r;
        if (sendCommand("QUIT", {}, QuitTimeoutMs))
            readReply(r, deadlineIn(QuitTimeoutMs));
    }
    closeControl();
    m_open = false;
    m_dropped = false;
    setLastError(err::Success);
    return true;
}

bool FtpClient::sendCommand(std::string_view verb, std::string_view arg, int timeoutMs)
{
    if (!validArgument(arg))
        return false;
    if (!m_control.isValid())
        return fail(err::FtpDropped);
    if (!discardUnsolicited())
        return false;
    std::string line(verb);
    if (!arg.empty()) {
        line += ' ';
        // 0xFF is the Telnet "interpret as command" byte: as data it goes doubled.
        for (const char c : arg) {
            line += c;
            if (c == '\xFF')
                line += c;
        }
    }
    line += "\r\n";
    if (const uint32_t e = m_control.sendAll(line.data(), line.size(), timeoutMs)) {
        dropConnection(e);
        return false;
    }
    return true;
}

bool FtpClient::discardUnsolicited()
{
    // What the server said while we were silent (a 421 before it hung up, a late
    // second reply of an aborted transfer) must not pass for the next reply.
    pollfd p{m_control.fd(), POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && !receiveControl())
        return false;
    for (;;) {
        Reply r;
        bool malformed = false;
        if (!takeReply(r, malformed)) {
            if (!malformed)
                return true;
            dropConnection(err::ConnectionAborted);
            return false;
        }
        if (r.code == 421) {
            setLastResponseText(r.text);
            dropConnection(err::FtpDropped);
            return false;
        }
    }
}

bool FtpClient::takeReply(Reply &reply, bool &malformed)
{
    malformed = false;
    size_t pos = 0;
    bool complete = false;
    while (!complete) {
        const size_t lf = m_rx.find('\n', pos);
        if (lf == std::string::npos)
            break;
        std::string_view line(m_rx.data() + pos, lf - pos);
        m_replyBytes += lf + 1 - pos;
        pos = lf + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (m_replyCode == 0) {
            if (line.empty())
                continue;
            if (line.size() < 3 || !isDigitChar(line[0]) || !isDigitChar(line[1]) || !isDigitChar(line[2])
                || (line.size() > 3 && line[3] != ' ' && line[3] != '-') || line[0] < '1' || line[0] > '5') {
                malformed = true;
                break;
            }
            m_replyCode = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
            m_replyMultiline = line.size() > 3 && line[3] == '-';
            m_replyText.assign(line);
        } else {
            m_replyText += '\n';
            m_replyText.append(line);
            if (line.size() >= 3 && line[0] == m_replyText[0] && line[1] == m_replyText[1]
                && line[2] == m_replyText[2] && (line.size() == 3 || line[3] == ' '))
                m_replyMultiline = false;
        }
        if (m_replyBytes > MaxReplySize) {
            malformed = true;
            break;
        }
        complete = !m_replyMultiline;
    }
    m_rx.erase(0, pos);
    if (!malformed && !complete && m_replyBytes + m_rx.size() > MaxReplySize)
        malformed = true;
    if (malformed || !complete)
        return false;
    reply.code = m_replyCode;
    reply.text = std::move(m_replyText);
    m_lastReply = reply.text;
    m_replyCode = 0;
    m_replyMultiline = false;
    m_replyBytes = 0;
    m_replyText.clear();
    return true;
}

bool FtpClient::receiveControl()
{
    char chunk[16 * 1024];
    size_t received = 0;
    bool wouldBlock = false;
    if (const uint32_t e = m_control.receiveSome(chunk, sizeof chunk, received, wouldBlock)) {
        // A control connection closed without the TLS close is a closed connection.
        dropConnection(e == err::TransferIncomplete ? err::ConnectionAborted : e);
        return false;
    }
    if (wouldBlock)
        return true;
    if (received == 0) {
        dropConnection(err::ConnectionAborted);
        return false;
    }
    m_rx.append(chunk, received);
    return true;
}

bool FtpClient::readReply(Reply &reply, Deadline deadline)
{
    const uint32_t context = m_operation == ListingOperation ? 0 : m_operation ? m_operation : m_context;
    notify(context, FtpStatus::ReceivingResponse, {}, 0);
    for (;;) {
        if (!m_control.isValid())
            return fail(err::FtpDropped);
        bool malformed = false;
        if (takeReply(reply, malformed)) {
            if (reply.code == 421) {
                setLastResponseText(reply.text);
                dropConnection(err::FtpDropped);
                return false;
            }
            return true;
        }
        if (malformed) {
            dropConnection(err::ConnectionAborted);
            return false;
        }
        const int left = millisecondsUntil(deadline);
        const uint32_t waited = left <= 0 ? err::InternetTimeout : m_control.waitReadable(left);
        if (waited != err::Success) {
            dropConnection(waited);
            return false;
        }
        if (!receiveControl())
            return false;
    }
}

// Preliminary replies are read within the same deadline: a server repeating "120"
// or "150" cannot keep the caller waiting beyond the timeout.
bool FtpClient::readFinalReply(Reply &reply, int timeoutMs)
{
    const Deadline deadline = deadlineIn(timeoutMs);
    do {
        if (!readReply(reply, deadline))
            return false;
    } while (reply.code / 100 == 1);
    return true;
}

bool FtpClient::command(std::string_view verb, std::string_view arg, Reply &reply)
{
    return sendCommand(verb, arg, m_options.replyTimeoutMs)
           && readReply(reply, deadlineIn(m_options.replyTimeoutMs));
}

bool FtpClient::simpleCommand(std::string_view verb, std::string_view arg)
{
    if (!ensureOpen() || !validArgument(arg))
        return false;
    Reply r;
    if (!command(verb, arg, r))
        return false;
    if (r.code / 100 != 2)
        return refused(r);
    setLastError(err::Success);
    return true;
}

bool FtpClient::setCurrentDirectory(const std::string &dir)
{
    return simpleCommand("CWD", dir);
}

bool FtpClient::createDirectory(const std::string &dir)
{
    return simpleCommand("MKD", dir);
}

bool FtpClient::removeDirectory(const std::string &dir)
{
    return simpleCommand("RMD", dir);
}

bool FtpClient::deleteFile(const std::string &name)
{
    return simpleCommand("DELE", name);
}

bool FtpClient::renameFile(const std::string &from, const std::string &to)
{
    if (!ensureOpen() || !validArgument(from) || !validArgument(to))
        return false;
    Reply r;
    if (!command("RNFR", from, r))
        return false;
    if (r.code / 100 != 3)
        return refused(r);
    return simpleCommand("RNTO", to);
}

bool FtpClient::getCurrentDirectory(std::string &dir)
{
    if (!ensureOpen())
        return false;
    Reply r;
    if (!command("PWD", {}, r))
        return false;
    std::string path;
    if (r.code != 257 || !parse257Path(r.text, path))
        return refused(r);
    dir = std::move(path);
    setLastError(err::Success);
    return true;
}

bool FtpClient::setType(TransferType type)
{
    const int wanted = static_cast<int>(type);
    if (m_type == wanted)
        return true;
    Reply r;
    if (!command("TYPE", type == TransferType::Ascii ? "A" : "I", r))
        return false;
    if (r.code / 100 != 2)
        return refused(r);
    m_type = wanted;
    return true;
}

bool FtpClient::openDataConnection(Socket &data)
{
    uint16_t port = 0;
    Reply r;
    if (!m_pasvOnly) {
        if (!command("EPSV", {}, r))
            return false;
        if (r.code == 229 && parseEpsvPort(r.text, port)) {
        } else {
            // The server has no EPSV (or answers it wrongly): PASV from now on.
            m_pasvOnly = true;
            port = 0;
        }
    }
    if (port == 0) {
        if (!command("PASV", {}, r))
            return false;
        if (r.code != 227 || !parsePasvPort(r.text, port))
            return refused(r);
    }
    // Whatever address the reply named, the data goes to the server we talk to.
    SocketAddress to = m_peer;
    to.setPort(port);
    if (const uint32_t e = data.connectTo(to, &m_local, m_options.connectTimeoutMs))
        return fail(e);
    return true;
}

bool FtpClient::startTransfer(std::string_view verb, std::string_view arg, Socket &data, bool &finalReceived)
{
    finalReceived = false;
    Reply r;
    if (!command(verb, arg, r)) {
        data.close();
        return false;
    }
    if (r.code / 100 == 1)
        return secureData(data) || abortTransfer(data, lastError(), false);
    if (r.code / 100 == 2) {
        // The server finished at once (an empty listing); the data stream still ends.
        finalReceived = true;
        return secureData(data) || abortTransfer(data, lastError(), true);
    }
    data.close();
    return refused(r);
}

bool FtpClient::watchControl(bool readable, bool &finalReceived)
{
    if (readable && !receiveControl())
        return false;
    for (;;) {
        Reply r;
        bool malformed = false;
        if (!takeReply(r, malformed)) {
            if (malformed) {
                dropConnection(err::ConnectionAborted);
                return false;
            }
            return true;
        }
        if (r.code == 421) {
            setLastResponseText(r.text);
            dropConnection(err::FtpDropped);
            return false;
        }
        if (r.code / 100 == 1)
            continue;
        if (r.code / 100 == 2) {
            finalReceived = true;
            continue;
        }
        return refused(r);
    }
}

bool FtpClient::abortTransfer(Socket &data, uint32_t code, bool finalReceived)
{
    data.close();
    if (!finalReceived && m_control.isValid() && code == err::InternetTimeout) {
        // The data stood still for the whole timeout: waiting longer for the
        // server's answer would stretch the wait past it, and a late answer could
        // not be told from the next one.
        dropConnection(code);
    } else if (!finalReceived && m_control.isValid()) {
        // Closing the data connection makes the server answer the transfer; read
        // that answer so that the next command gets its own reply.
        Reply r;
        if (!readFinalReply(r, std::min(m_options.replyTimeoutMs, AbortReplyTimeoutMs)))
            dropConnection(code);
        else if (r.code / 100 >= 4 && r.code != 426 && code != err::OperationCancelled)
            return refused(r); // the server refused the transfer and closed its data connection
    }
    return fail(code);
}

// Stops an upload at once: ABOR goes first, while the data connection is still
// open, so that the server takes the end of the data for an abort and not for
// the end of the file; then the replies of the transfer and of ABOR are read.
bool FtpClient::cancelUpload(Socket &data, bool finalReceived)
{
    pollfd p{m_control.fd(), POLLIN, 0};
    if (!finalReceived && ::poll(&p, 1, 0) > 0 && !watchControl(true, finalReceived))
        finalReceived = m_control.isValid(); // the server refused the transfer meanwhile
    const bool sent = m_control.isValid() && sendCommand("ABOR", {}, AbortReplyTimeoutMs);
    data.close();
    if (sent) {
        // The first reply comes soon; a server that answers ABOR without a
        // separate reply for the transfer is not waited for long.
        Reply r;
        const int replies = finalReceived ? 1 : 2;
        for (int i = 0; i < replies; ++i) {
            if (!readFinalReply(r, i == 0 ? AbortReplyTimeoutMs : AbortSecondReplyMs)) {
                dropConnection(err::OperationCancelled);
                break;
            }
            if (r.code == 225)
                break; // nothing was left to abort
        }
    }
    return fail(err::OperationCancelled);
}

bool FtpClient::restartAt(uint64_t offset)
{
    Reply r;
    if (!command("REST", std::to_string(offset), r))
        return false;
    if (r.code != 350)
        return refused(r);
    return true;
}

// The reply that ends a transfer, when it did not arrive with the data: any
// 2xx completes it, anything else is the server's refusal.
bool FtpClient::awaitTransferReply()
{
    Reply r;
    if (!readFinalReply(r, m_options.replyTimeoutMs))
        return false;
    if (r.code / 100 != 2)
        return refused(r);
    return true;
}

bool FtpClient::receiveData(Socket &data, const Sink &sink, bool finalReceived)
{
    if (m_buffer.size() < DataBufferSize)
        m_buffer.resize(DataBufferSize);
    // Once the control connection failed (a refusal, a 421, a lost connection), what
    // the data connection still holds is read for a short while: a broken listing
    // keeps the entries that did arrive.
    bool controlFailed = false;
    uint32_t failure = err::Success;
    // Only data arriving restarts the data timeout; replies on the control
    // connection meanwhile do not.
    const auto dataWait = [&] {
        return deadlineIn(controlFailed ? std::min(m_options.dataTimeoutMs, DrainTimeoutMs)
                                        : m_options.dataTimeoutMs);
    };
    Deadline dataDeadline = dataWait();
    const auto noteControlFailure = [&] {
        controlFailed = true;
        failure = lastError();
        dataDeadline = std::min(dataDeadline, dataWait());
    };
    // Replies that came with the preliminary one are already buffered.
    if (!watchControl(false, finalReceived))
        noteControlFailure();
    const bool cancellable = m_downloading && m_cancel;
    for (;;) {
        const bool watch = !finalReceived && !controlFailed;
        pollfd fds[2] = {{data.fd(), POLLIN, 0}, {m_control.fd(), POLLIN, 0}};
        int n = 0;
        for (;;) {
            if (cancellable && m_cancel->load())
                return abortTransfer(data, err::OperationCancelled, finalReceived || controlFailed);
            // Bytes TLS already decrypted do not wake poll().
            if (data.hasBuffered()) {
                fds[0].revents = POLLIN;
                n = 1;
                break;
            }
            const int wait = millisecondsUntil(dataDeadline);
            if (wait <= 0)
                break;
            // A download looks at its cancel flag between short slices of the wait.
            n = pollFor(fds, watch ? 2 : 1, cancellable ? std::min(wait, CancelCheckMs) : wait);
            if (n != 0 || !cancellable)
                break;
        }
        if (n <= 0) {
            if (controlFailed)
                break;
            return abortTransfer(data, n == 0 ? err::InternetTimeout : errorFromErrno(errno), finalReceived);
        }
        if (fds[0].revents != 0) {
            size_t received = 0;
            bool wouldBlock = false;
            if (const uint32_t e = data.receiveSome(m_buffer.data(), m_buffer.size(), received, wouldBlock)) {
                if (controlFailed)
                    break;
                return abortTransfer(data, e, finalReceived);
            }
            if (!wouldBlock && received == 0)
                break;
            if (received > 0) {
                if (!sink(m_buffer.data(), received))
                    return abortTransfer(data, lastError(), finalReceived || controlFailed);
                dataDeadline = dataWait();
            }
        }
        if (watch && fds[1].revents != 0 && !watchControl(true, finalReceived))
            noteControlFailure();
    }
    if (controlFailed) {
        data.close();
        return fail(failure);
    }
    if (const uint32_t e = data.closeGracefully(m_options.dataTimeoutMs))
        return abortTransfer(data, e, finalReceived);
    if (!finalReceived && !awaitTransferReply())
        return false;
    return true;
}

bool FtpClient::sendData(Socket &data, int fd, TransferType type, uint32_t context, bool finalReceived,
                         uint64_t consumed, bool cancellable)
{
    if (m_buffer.size() < DataBufferSize)
        m_buffer.resize(DataBufferSize);
    // consumed: local bytes taken from the file (from the offset on)
    cancellable = cancellable && m_cancel;
    m_transferred = consumed;
    uint64_t pendingLocal = 0; // local bytes behind the bytes still to send
    const char *pending = nullptr;
    size_t pendingSize = 0;
    bool previousWasCr = false;
    bool endOfFile = false;
    uint64_t notified = UINT64_MAX;

    if (!watchControl(false, finalReceived)) {
        data.close();
        return false;
    }
    // Only data leaving restarts the data timeout, not replies meanwhile.
    Deadline dataDeadline = deadlineIn(m_options.dataTimeoutMs);
    while (!endOfFile || pendingSize > 0) {
        if (finalReceived) // the server ended the transfer before it had the whole file
            return abortTransfer(data, err::ConnectionAborted, true);
        if (cancellable && m_cancel->load())
            return cancelUpload(data, finalReceived);
        pollfd fds[2] = {{data.fd(), POLLOUT, 0}, {m_control.fd(), POLLIN, 0}};
        const int wait = millisecondsUntil(dataDeadline);
        int n = 0;
        if (wait > 0) {
            n = pollFor(fds, 2, cancellable ? std::min(wait, CancelCheckMs) : wait);
            if (n == 0 && cancellable && millisecondsUntil(dataDeadline) > 0)
                continue; // a slice of the wait passed: look at the cancel flag again
        }
        if (n < 0)
            return abortTransfer(data, errorFromErrno(errno), false);
        if (n == 0)
            return abortTransfer(data, err::InternetTimeout, false);
        if (fds[1].revents != 0) {
            if (!watchControl(true, finalReceived)) {
                data.close();
                return false;
            }
            continue;
        }
        if (fds[0].revents == 0)
            continue;
        if (pendingSize == 0) {
            const size_t readSize = type == TransferType::Ascii ? m_buffer.size() / 2 : m_buffer.size();
            const ssize_t got = ::read(fd, m_buffer.data(), readSize);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return abortTransfer(data, errorFromErrno(errno), false);
            }
            if (got == 0) {
                endOfFile = true;
                continue;
            }
            pendingLocal = static_cast<uint64_t>(got);
            if (type == TransferType::Ascii) {
                m_converted.resize(static_cast<size_t>(got) * 2);
                size_t out = 0;
                for (ssize_t i = 0; i < got; ++i) {
                    const char c = m_buffer[static_cast<size_t>(i)];
                    if (c == '\n' && !previousWasCr)
                        m_converted[out++] = '\r';
                    m_converted[out++] = c;
                    previousWasCr = c == '\r';
                }
                pending = m_converted.data();
                pendingSize = out;
            } else {
                pending = m_buffer.data();
                pendingSize = static_cast<size_t>(got);
            }
        }
        size_t sent = 0;
        if (const uint32_t e = data.sendSome(pending, pendingSize, sent))
            return abortTransfer(data, e, false);
        if (sent > 0)
            dataDeadline = deadlineIn(m_options.dataTimeoutMs);
        pending += sent;
        pendingSize -= sent;
        if (pendingSize == 0 && pendingLocal > 0) {
            consumed += pendingLocal;
            m_transferred = consumed;
            pendingLocal = 0;
            notify(context, FtpStatus::RequestSent, {}, consumed);
            notified = consumed;
        }
    }
    // A TLS data connection ends with its close notification before the server's
    // reply is awaited, or the server may take the end for a truncation.
    if (const uint32_t e = data.closeGracefully(m_options.dataTimeoutMs))
        return abortTransfer(data, e, finalReceived);
    if (!finalReceived && !awaitTransferReply())
        return false;
    if (notified != consumed)
        notify(context, FtpStatus::RequestSent, {}, consumed);
    return true;
}

bool FtpClient::putFile(const std::string &localPath, const std::string &remoteName, TransferType type,
                        uint32_t context, const PutOptions &options)
{
    const Operation operation(*this, context); // a transfer under way
    m_transferred = 0;
    if (!ensureOpen() || !validArgument(localPath) || !validArgument(remoteName))
        return false;
    FileDescriptor file(openRegularFile(localPath));
    if (file.get() < 0)
        return false;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    const uint64_t offset = options.offset;
    if (offset > 0
        && (type != TransferType::Binary || offset > static_cast<uint64_t>(st.st_size)
            || ::lseek(file.get(), static_cast<off_t>(offset), SEEK_SET) < 0))
        return fail(err::InvalidParameter);
    if (!setType(type))
        return false;
    Socket data;
    bool finalReceived = false;
    if (!openDataConnection(data))
        return false;
    const std::string_view verb = offset > 0 && options.append ? "APPE" : "STOR";
    if (offset > 0 && !options.append && !restartAt(offset)) {
        data.close();
        return false;
    }
    if (m_secureData) {
        if (!startTransfer(verb, remoteName, data, finalReceived))
            return false;
    } else if (!sendCommand(verb, remoteName, m_options.replyTimeoutMs)) {
        // Plain data follows the command at once: the server reads it once it
        // takes the command, and its go-ahead (or refusal) is read while sending.
        // Waiting for the go-ahead first would cost a round trip per file.
        data.close();
        return false;
    }
    if (!sendData(data, file.get(), type, context, finalReceived, offset, options.cancellable))
        return false;
    setLastError(err::Success);
    return true;
}

// A download's byte count differs from the listing's size: the file may have
// changed since it was listed, or the stream was cut. SIZE tells which; a server
// without SIZE leaves only the listing, and then the count stands.
bool FtpClient::sizeConfirms(const std::string &remoteName, uint64_t received)
{
    Reply r;
    if (!command("SIZE", remoteName, r))
        return false;
    if (r.code != 213)
        return true;
    const size_t space = r.text.find(' ');
    if (space == std::string::npos)
        return true;
    uint64_t size = 0;
    size_t digits = 0;
    for (size_t i = space + 1; i < r.text.size() && r.text[i] >= '0' && r.text[i] <= '9'; ++i, ++digits)
        size = size * 10 + static_cast<uint64_t>(r.text[i] - '0');
    return digits == 0 || digits > 19 || size == received;
}

bool FtpClient::getFile(const std::string &remoteName, const std::string &localPath, TransferType type,
                        uint32_t context, const GetOptions &options)
{
    const Operation operation(*this, context); // a transfer under way
    m_transferred = 0;
    struct DownloadScope {
        bool &flag;
        explicit DownloadScope(bool &f) : flag(f) { flag = true; }
        ~DownloadScope() { flag = false; }
    } downloading(m_downloading);
    if (!ensureOpen() || !validArgument(remoteName) || !validArgument(localPath))
        return false;
    if (localPath.empty() || localPath.back() == '/')
        return fail(err::InvalidParameter);
    const bool partial = !options.partialPath.empty();
    if (partial && type != TransferType::Binary)
        return fail(err::InvalidParameter);

    const size_t slash = localPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : localPath.substr(0, slash);
    std::string tempPath = options.partialPath;
    FileDescriptor file;
    uint64_t offset = 0;
    if (!partial) {
        sweepDownloadFolder(folder);
        file.reset(createDownloadTemporary(folder, tempPath));
        if (file.get() < 0)
            return false;
    } else {
        file.reset(::open(tempPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.get() < 0) {
            setLastErrorFromErrno(errno);
            return false;
        }
        // Continued by one download at a time.
        struct stat st {};
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            return fail(err::SharingViolation);
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return fail(err::AccessDenied);
        offset = options.offset <= static_cast<uint64_t>(st.st_size) ? options.offset : 0;
        if (::ftruncate(file.get(), static_cast<off_t>(offset)) != 0
            || ::lseek(file.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
            setLastErrorFromErrno(errno);
            return false;
        }
    }
    bool done = false;
    // A partial file survives a lost connection: its bytes are what a later
    // download continues from.
    struct TempRemover {
        const std::string &path;
        bool &keep;
        bool partial;
        ~TempRemover()
        {
            if (!keep && !(partial && isConnectionLoss(lastError(), lastResponseText())))
                ::unlink(path.c_str());
        }
    } remover{tempPath, done, partial};
    ::fchmod(file.get(), newFileMode(localPath));

    if (!setType(type))
        return false;
    Socket data;
    bool finalReceived = false;
    if (!openDataConnection(data))
        return false;
    if (offset > 0 && !restartAt(offset)) {
        data.close();
        return false;
    }
    if (!startTransfer("RETR", remoteName, data, finalReceived))
        return false;

    uint64_t written = offset;
    m_transferred = offset;
    uint64_t notified = UINT64_MAX;
    bool heldCr = false; // ASCII: a CR at the end of a buffer, waiting for its LF
    const int fd = file.get();
    const Sink sink = [&](const char *p, size_t size) {
        if (type == TransferType::Binary) {
            if (!writeAll(fd, p, size))
                return false;
            written += size;
            m_transferred = written;
        } else {
            m_converted.resize(size + 1);
            size_t out = 0;
            for (size_t i = 0; i < size; ++i) {
                const char c = p[i];
                if (heldCr) {
                    heldCr = false;
                    if (c != '\n')
                        m_converted[out++] = '\r';
                }
                if (c == '\r')
                    heldCr = true;
                else
                    m_converted[out++] = c;
            }
            if (!writeAll(fd, m_converted.data(), out))
                return false;
            written += out;
        }
        notify(context, FtpStatus::ResponseReceived, {}, written);
        notified = written;
        return true;
    };
    if (!receiveData(data, sink, finalReceived))
        return false;
    if (heldCr) {
        if (!writeAll(fd, "\r", 1))
            return false;
        ++written;
    }
    // A continued file is whole only at the very size the server gave when it
    // began: the bytes before the offset came from that file.
    const int64_t expectedSize = options.expectedSize;
    if (type == TransferType::Binary && expectedSize >= 0 && written != static_cast<uint64_t>(expectedSize)
        && (offset > 0 || !sizeConfirms(remoteName, written))) {
        if (m_control.isValid())
            setLastError(err::TransferIncomplete);
        return false;
    }
    // On disk before it replaces the old file, so a crash cannot leave an empty one.
    if (::fsync(fd) != 0 || ::close(file.release()) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    if (::rename(tempPath.c_str(), localPath.c_str()) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    done = true;
    if (notified != written)
        notify(context, FtpStatus::ResponseReceived, {}, written);
    setLastError(err::Success);
    return true;
}

namespace {
// "YYYYMMDDHHMMSS" (fractions after it ignored) as seconds since 1970 UTC.
bool parseFtpTime(std::string_view text, int64_t &seconds)
{
    if (text.size() < 14)
        return false;
    int v[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    size_t at = 0;
    for (int f = 0; f < 6; ++f) {
        for (int i = 0; i < widths[f]; ++i, ++at) {
            if (!isDigitChar(text[at]))
                return false;
            v[f] = v[f] * 10 + (text[at] - '0');
        }
    }
    if (text.size() > 14 && text[14] != '.')
        return false;
    std::tm tm{};
    tm.tm_year = v[0] - 1900;
    tm.tm_mon = v[1] - 1;
    tm.tm_mday = v[2];
    tm.tm_hour = v[3];
    tm.tm_min = v[4];
    tm.tm_sec = v[5];
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 60)
        return false;
    seconds = static_cast<int64_t>(::timegm(&tm));
    return true;
}

// The text after "213 " of a one-line reply.
std::string_view replyValue(const std::string &text)
{
    std::string_view line = std::string_view(text).substr(0, text.find('\n'));
    if (line.size() < 4)
        return {};
    line.remove_prefix(4);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}
} // namespace

bool FtpClient::fileSize(const std::string &name, uint64_t &size)
{
    if (!ensureOpen() || !validArgument(name) || !setType(TransferType::Binary))
        return false;
    Reply r;
    if (!command("SIZE", name, r))
        return false;
    const std::string_view value = replyValue(r.text);
    if (r.code != 213 || value.empty() || value.size() > 19)
        return refused(r);
    uint64_t n = 0;
    for (const char c : value) {
        if (!isDigitChar(c))
            return refused(r);
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    size = n;
    setLastError(err::Success);
    return true;
}

bool FtpClient::fileTime(const std::string &name, int64_t &unixSeconds)
{
    if (!ensureOpen() || !validArgument(name))
        return false;
    Reply r;
    if (!command("MDTM", name, r))
        return false;
    if (r.code != 213 || !parseFtpTime(replyValue(r.text), unixSeconds))
        return refused(r);
    setLastError(err::Success);
    return true;
}

bool FtpClient::setFileTime(const std::string &name, int64_t unixSeconds)
{
    const auto t = static_cast<time_t>(unixSeconds);
    std::tm tm{};
    if (!::gmtime_r(&t, &tm) || tm.tm_year + 1900 < 1 || tm.tm_year + 1900 > 9999)
        return fail(err::InvalidParameter);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return simpleCommand("MFMT", stamp + name);
}

bool FtpClient::find(const std::string &pattern, std::vector<FindRecord> &out)
{
    const Operation operation(*this, ListingOperation);
    out.clear();
    m_skippedNames = 0;
    if (!ensureOpen() || !validArgument(pattern))
        return false;

    const size_t slash = pattern.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash);
    if (slash == 0)
        folder.assign(1, '/'); // assigning "/" trips a false -Wrestrict of g++ 12 at -O2
    std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (namePattern.empty())
        namePattern = "*.*";
    const bool exactName = !hasWildcards(namePattern);

    // A server that lists without end must not grow the process without end.
    size_t entries = 0;
    uint64_t bytes = 0;
    const auto keep = [&](FindRecord &&record) {
        if (++entries > m_options.maxListEntries)
            return;
        if (isDotName(record.name))
            return;
        if (isHostileName(record.name)) {
            ++m_skippedNames;
            return;
        }
        if (exactName ? record.name == namePattern : wildcardMatch(record.name, namePattern, false))
            out.push_back(std::move(record));
    };

    Socket data;
    bool finalReceived = false;
    for (;;) {
        if (!openDataConnection(data))
            return false;
        if (startTransfer(m_mlsd ? "MLSD" : "LIST", folder, data, finalReceived))
            break;
        if (lastError() != err::InternetExtendedError)
            return false;
        const std::string &reply = lastResponseText();
        if (m_mlsd && (reply.rfind("500", 0) == 0 || reply.rfind("502", 0) == 0)) {
            m_mlsd = false; // FEAT promised MLSD but the server does not know it
            continue;
        }
        // Some old servers refuse to list an empty folder with "No files found".
        std::string lower = reply;
        for (char &c : lower)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (!m_mlsd && lower.find("no files found") != std::string::npos)
            return fail(err::NoMoreFiles);
        return false;
    }
    FtpListParser parser(m_mlsd ? FtpListParser::Format::Mlsd : FtpListParser::Format::List, nowUnix(), keep);
    const bool ok = receiveData(
        data,
        [&](const char *p, size_t size) {
            // The entries within the caps are kept, as with any broken listing.
            const uint64_t room = bytes < m_options.maxListBytes ? m_options.maxListBytes - bytes : 0;
            parser.feed(p, static_cast<size_t>(std::min<uint64_t>(size, room)));
            bytes += size;
            if (bytes > m_options.maxListBytes || entries > m_options.maxListEntries)
                return fail(err::ListingTooLarge);
            return true;
        },
        finalReceived);
    if (!ok) {
        parser.discard();
        return false;
    }
    parser.finish();
    if (out.empty())
        return fail(err::NoMoreFiles);
    setLastError(err::Success);
    return true;
}

} // namespace platform
