// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RemoteSession.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssh_channel_struct;
struct ssh_session_struct;

namespace platform {

// A client for one SFTP server (SSH file transfer, protocol version 3) over one
// SSH connection, used synchronously (see RemoteSession).
//
// server: "sftp://host", "sftp://host:port" or "sftp://[v6addr]:port" (port 22
// by default). Before anything is sent the server's host key is looked up in the
// user's known_hosts (OpenSSH's format, hashed names included) and in the
// program's own file (setKnownHostsFile): a key on record nowhere is shown to
// the host-key check and kept in the program's file when trusted; a key that
// differs from the one on record is refused (12045), the check told of both.
// Logs in with ssh-agent's keys, then the default key files of the user's
// OpenSSH folder (asking for a passphrase where one is needed), then the
// password, then keyboard-interactive answered with the password. Wrong
// credentials -> 12014; no method the server offers -> 12015.
//
// Every wait is bounded: the connect timeout for the TCP connection and the
// whole SSH handshake and login, the reply timeout for each request, the data
// timeout for a transfer with no byte moving. A timeout drops the connection.
// The SSH connection is libssh's; the file protocol on its channel is spoken
// here, so that transfers keep many requests in flight both ways. Bytes move
// as they are, whatever the transfer type. While connected and idle, a keepalive goes out
// every keepaliveSeconds.
class SftpClient final : public RemoteSession {
public:
    explicit SftpClient(FtpOptions options = {});
    ~SftpClient() override;
    SftpClient(const SftpClient &) = delete;
    SftpClient &operator=(const SftpClient &) = delete;

    void setStatusCallback(FtpStatusCallback cb) override { m_callback = std::move(cb); }
    void setCancelFlag(const std::atomic<bool> *flag) override { m_cancel = flag; }
    void setCertificateCheck(CertificateCheck check) override { m_certificateCheck = std::move(check); }
    void setHostKeyCheck(HostKeyCheck check) override { m_hostKeyCheck = std::move(check); }
    void setKnownHostsFile(const std::string &path) override { m_knownHostsFile = path; }
    void setPassphrasePrompt(PassphrasePrompt prompt) override { m_passphrasePrompt = std::move(prompt); }

    bool connect(const std::string &server, const std::string &user, const std::string &password,
                 uint32_t context) override;
    bool close() override;
    bool isOpen() const override;

    bool setCurrentDirectory(const std::string &dir) override;
    bool getCurrentDirectory(std::string &dir) override;
    bool createDirectory(const std::string &dir) override;
    bool removeDirectory(const std::string &dir) override;
    bool deleteFile(const std::string &name) override;
    bool renameFile(const std::string &from, const std::string &to) override;
    // OpenSSH's posix-rename extension where the server offers it; else the
    // plain rename, which SFTP servers refuse over an existing file.
    bool replaceFile(const std::string &from, const std::string &to) override;

    bool find(const std::string &pattern, std::vector<FindRecord> &out) override;
    size_t skippedNames() const override { return m_skippedNames; }

    bool putFile(const std::string &localPath, const std::string &remoteName, TransferType type,
                 uint32_t context, const PutOptions &options = {}) override;
    bool getFile(const std::string &remoteName, const std::string &localPath, TransferType type,
                 uint32_t context, const GetOptions &options = {}) override;
    using RemoteSession::getFile;
    uint64_t transferredBytes() const override { return m_transferred; }
    bool fileSize(const std::string &name, uint64_t &size) override;
    bool fileTime(const std::string &name, int64_t &unixSeconds) override;
    bool setFileTime(const std::string &name, int64_t unixSeconds) override;
    // Offsets, sizes and times are part of the protocol itself.
    bool offersRestStream() const override { return true; }
    bool offersSize() const override { return true; }
    bool offersMdtm() const override { return true; }
    bool offersMfmt() const override { return true; }
    bool convertsText() const override { return false; }

    // SFTP names are bytes; the server says nothing of their encoding.
    bool utf8Announced() const override { return false; }
    const std::string &lastReply() const override { return m_lastReply; }
    std::string securityProtocol() const override { return m_session ? "SSH" : std::string(); }
    const std::string &certificateFingerprint() const override { return m_fingerprint; }

    // The login method that succeeded ("agent", "publickey", "password",
    // "keyboard-interactive").
    const std::string &authMethod() const { return m_authMethod; }

private:
    using Clock = std::chrono::steady_clock;
    class Lock;
    struct Reply;
    struct Attributes;

    bool handshake(const std::string &host, uint16_t port, Clock::time_point deadline);
    bool checkHostKey(const std::string &host, uint16_t port);
    bool authenticate(const std::string &user, const std::string &password, Clock::time_point deadline);
    bool tryKeyFile(const std::string &path, Clock::time_point deadline);
    bool openSftp(Clock::time_point deadline);
    // Runs a non-blocking libssh call until it stops asking to wait, polling the
    // socket; false on timeout (12002, connection dropped) or when `cancellable`
    // and the cancel flag is set (12017).
    template <typename F>
    bool await(F &&call, int &result, Clock::time_point deadline, bool cancellable = false);
    bool waitSocket(Clock::time_point deadline, bool cancellable);
    void drop(uint32_t code);
    void teardown();
    bool ensureOpen();

    // The file protocol on the channel. Requests carry an id; a reply to an
    // earlier request given up on (a transfer cut short) is passed over.
    uint32_t nextId() { return ++m_lastId; }
    bool send(const char *data, size_t size, Clock::time_point deadline);
    bool send(const std::string &packet, Clock::time_point deadline)
    {
        return send(packet.data(), packet.size(), deadline);
    }
    // Takes in what the channel holds; -1 when the connection failed.
    long receive();
    // The next whole packet; its bytes stay valid until the next receive.
    bool nextPacket(unsigned char &type, const char *&body, size_t &size, Clock::time_point deadline,
                    bool cancellable);
    bool call(unsigned char type, const std::string &body, Reply &reply, Clock::time_point deadline,
              bool cancellable = false);
    bool protocolError();
    bool failStatus(uint32_t status, const std::string &what);
    bool expectStatus(const Reply &reply, const std::string &what);
    bool expectHandle(const Reply &reply, std::string &handle, const std::string &what);
    void closeHandle(const std::string &handle);
    bool realPath(const std::string &path, std::string &resolved);
    bool statPath(const std::string &path, bool follow, Attributes &attributes, const std::string &what);
    // statPath of a name of the caller's, under the lock.
    bool statNamed(const std::string &name, Attributes &attributes);
    bool simpleRequest(unsigned char type, const std::string &body, const std::string &what);
    bool rename(const std::string &from, const std::string &to);
    template <typename Body> bool pathRequest(const std::string &name, unsigned char type, Body body);
    std::string absolute(const std::string &path) const;
    bool download(const std::string &handle, int fd, uint64_t offset, uint32_t context, uint64_t &written,
                  uint64_t &contiguous, const std::string &what);

    void notify(uint32_t context, FtpStatus status, const std::string &text, uint64_t bytes);
    void keepaliveLoop();
    void touch() { m_lastUse = Clock::now(); }
    Clock::time_point requestDeadline() const;

    FtpOptions m_options;
    FtpStatusCallback m_callback;
    const std::atomic<bool> *m_cancel = nullptr;
    CertificateCheck m_certificateCheck;
    HostKeyCheck m_hostKeyCheck;
    PassphrasePrompt m_passphrasePrompt;
    std::string m_knownHostsFile;
    uint32_t m_context = 0;

    int m_fd = -1;
    ssh_session_struct *m_session = nullptr;
    ssh_channel_struct *m_channel = nullptr;
    bool m_open = false;
    bool m_dropped = false;
    std::string m_cwd;
    std::string m_fingerprint;
    std::string m_lastReply;
    std::string m_authMethod;
    size_t m_skippedNames = 0;
    uint64_t m_transferred = 0;
    Clock::time_point m_cancelGrace{}; // when a Cancel seen during a wait drops the connection
    // Received bytes not yet taken as packets: m_in[m_inBegin, m_inEnd).
    std::vector<char> m_in;
    size_t m_inBegin = 0;
    size_t m_inEnd = 0;
    uint32_t m_lastId = 0;
    bool m_posixRename = false;
    uint32_t m_readLength = 32768;
    uint32_t m_writeLength = 32768;

    // The keepalive thread shares the session under this mutex with the calls.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::atomic<Clock::time_point> m_lastUse{Clock::now()};
    std::thread m_keepalive;
};

} // namespace platform
