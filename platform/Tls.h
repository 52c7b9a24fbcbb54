// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// OpenSSL's types, declared here so that users of the sockets need no OpenSSL
// headers.
struct ssl_st;
struct ssl_ctx_st;
struct ssl_session_st;

namespace platform {

// What the user is shown about a server certificate the system could not vouch for.
struct CertificateInfo {
    std::string host; // the host name or address as it was given
    uint16_t port = 0;
    std::string subject;
    std::string issuer;
    std::string notBefore; // "2026-12-09 01:02:03 UTC"
    std::string notAfter;
    std::string fingerprint; // SHA-256, upper-case hex pairs joined by ':'
    // The result of the check against the system's store and the host name:
    // 0 when it passed, else OpenSSL's verification code and its English text.
    long verifyCode = 0;
    std::string verifyText;

    bool trusted() const { return verifyCode == 0; }
};

// The client side of TLS for one server: the OpenSSL context (the system's
// certificate store, TLS 1.2 at least) and the newest session the server handed
// out, which every further connection to that server resumes. At TLS 1.3 a
// session ticket arrives only after the handshake, whenever the connection is
// next read, so the newest one is kept from OpenSSL's new-session notification
// rather than taken from a connection right after its handshake.
class TlsClient {
public:
    // maxVersion: 0 for the newest OpenSSL offers, else e.g. 0x0303 (TLS 1.2).
    explicit TlsClient(int maxVersion = 0);
    ~TlsClient();
    TlsClient(const TlsClient &) = delete;
    TlsClient &operator=(const TlsClient &) = delete;

    bool isValid() const { return m_ctx != nullptr; }
    ssl_ctx_st *context() const { return m_ctx; }
    // Null until the server handed out a session.
    ssl_session_st *newestSession() const { return m_session; }
    // Keeps `session` (taking over the caller's reference) as the newest.
    void keepSession(ssl_session_st *session);
    // Forgets the sessions of an earlier connection.
    void forgetSessions();

private:
    ssl_ctx_st *m_ctx = nullptr;
    ssl_session_st *m_session = nullptr;
};

// One TLS connection over a connected non-blocking descriptor. Calls return the
// platform error code of a failure (0 = success); a failed handshake gives 12157
// and a short English description in detail().
class TlsChannel {
public:
    TlsChannel() = default;
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    // Handshake as a client of `host` (its name is checked against the
    // certificate and sent as SNI when it is not an address), resuming the
    // client's newest session when `resume` is set. Waits at most timeoutMs.
    uint32_t handshake(TlsClient &client, int fd, const std::string &host, bool resume, int timeoutMs);
    uint32_t sendSome(const char *data, size_t size, size_t &sent);
    // The end of the stream is the peer's close notification (0 bytes, success); a
    // connection closed without one gives TransferIncomplete.
    uint32_t receiveSome(char *data, size_t size, size_t &received, bool &wouldBlock);
    // Decrypted bytes waiting inside the channel (the descriptor may not show them).
    bool buffered() const;
    // Sends the close notification, waiting at most timeoutMs for room to send it.
    // The peer's own notification is not waited for.
    uint32_t shutdown(int timeoutMs);

    bool resumed() const;
    // "TLSv1.3" and so on.
    std::string protocol() const;
    // The peer's certificate and the verification result; false without one.
    bool peerCertificate(CertificateInfo &info) const;
    const std::string &detail() const { return m_detail; }

private:
    ssl_st *m_ssl = nullptr;
    int m_fd = -1;
    std::string m_detail;
};

} // namespace platform
