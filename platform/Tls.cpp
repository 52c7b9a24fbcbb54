// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Tls.h"

#include "platform/LastError.h"
#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

namespace platform {

namespace {

int newSessionCallback(SSL *ssl, SSL_SESSION *session)
{
    auto *client = static_cast<TlsClient *>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!client)
        return 0;
    client->keepSession(session);
    return 1; // the reference is ours now
}

bool isAddress(const std::string &host)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// The first queued OpenSSL error as a short text, or `fallback`.
std::string takeErrorText(const char *fallback)
{
    const unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return fallback;
    const char *reason = ERR_reason_error_string(e);
    return reason ? reason : fallback;
}

std::string nameText(const X509_NAME *name)
{
    std::string text;
    BIO *bio = BIO_new(BIO_s_mem());
    if (!bio)
        return text;
    X509_NAME_print_ex(bio, name, 0, (XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) | ASN1_STRFLGS_UTF8_CONVERT);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    if (size > 0)
        text.assign(data, static_cast<size_t>(size));
    BIO_free(bio);
    return text;
}

std::string timeText(const ASN1_TIME *time)
{
    struct tm t {};
    if (!time || ASN1_TIME_to_tm(time, &t) != 1)
        return {};
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// Waits for what OpenSSL asked for after a non-blocking call; false when the
// call failed for good (the code is set).
bool waitForSsl(SSL *ssl, int rc, int fd, std::chrono::steady_clock::time_point deadline, uint32_t &code,
                std::string &detail)
{
    const int e = SSL_get_error(ssl, rc);
    short events = 0;
    if (e == SSL_ERROR_WANT_READ)
        events = POLLIN;
    else if (e == SSL_ERROR_WANT_WRITE)
        events = POLLOUT;
    if (events == 0) {
        const int savedErrno = errno;
        code = err::SecureChannelError;
        if (e == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
            detail = savedErrno != 0 ? "connection broken during the TLS handshake"
                                     : "connection closed during the TLS handshake";
        else
            detail = takeErrorText("TLS handshake failed");
        ERR_clear_error();
        return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd, events, 0};
    const int n = left.count() <= 0 ? 0 : pollFor(&p, 1, static_cast<int>(left.count()));
    if (n > 0)
        return true;
    code = n == 0 ? err::InternetTimeout : errorFromErrno(errno);
    detail = "no answer during the TLS handshake";
    return false;
}

} // namespace

TlsClient::TlsClient(int maxVersion)
{
    // OpenSSL writes to its sockets with write(): an alert sent to a server that
    // already hung up must fail with EPIPE, not end the process with SIGPIPE.
    static const bool ignoringSigpipe = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)ignoringSigpipe;
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx)
        return;
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    if (maxVersion > 0)
        SSL_CTX_set_max_proto_version(m_ctx, maxVersion);
    SSL_CTX_set_default_verify_paths(m_ctx);
    // The handshake goes on whatever the verification says; the result is judged
    // before anything is sent (see FtpClient).
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // No SSL_OP_IGNORE_UNEXPECTED_EOF: a data stream that ends without the close
    // notification may have been cut by anyone on the path (a TCP close is easy to
    // forge), so it must be told apart from a complete one.
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(m_ctx, newSessionCallback);
    SSL_CTX_set_app_data(m_ctx, this);
}

TlsClient::~TlsClient()
{
    forgetSessions();
    if (m_ctx)
        SSL_CTX_free(m_ctx);
}

void TlsClient::keepSession(ssl_session_st *session)
{
    if (m_session)
        SSL_SESSION_free(m_session);
    m_session = session;
}

void TlsClient::forgetSessions()
{
    keepSession(nullptr);
}

TlsChannel::~TlsChannel()
{
    if (m_ssl)
        SSL_free(m_ssl);
}

uint32_t TlsChannel::handshake(TlsClient &client, int fd, const std::string &host, bool resume, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    m_detail.clear();
    if (m_ssl)
        SSL_free(m_ssl);
    m_fd = fd;
    m_ssl = client.isValid() ? SSL_new(client.context()) : nullptr;
    if (!m_ssl || SSL_set_fd(m_ssl, fd) != 1) {
        m_detail = takeErrorText("cannot set up TLS");
        return err::SecureChannelError;
    }
    if (isAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.c_str());
    } else {
        SSL_set_tlsext_host_name(m_ssl, host.c_str());
        SSL_set1_host(m_ssl, host.c_str());
    }
    if (resume && client.newestSession())
        SSL_set_session(m_ssl, client.newestSession());
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_connect(m_ssl);
        if (rc == 1)
            return err::Success;
        uint32_t code = err::Success;
        if (!waitForSsl(m_ssl, rc, fd, deadline, code, m_detail))
            return code;
    }
}

uint32_t TlsChannel::sendSome(const char *data, size_t size, size_t &sent)
{
    // Partial writes give one record per call: go on while the socket takes
    // them, so that a large buffer costs one wait rather than one per record.
    sent = 0;
    ERR_clear_error();
    size_t written = 0;
    while (sent < size && SSL_write_ex(m_ssl, data + sent, size - sent, &written) == 1)
        sent += written;
    if (sent == size)
        return err::Success;
    const int e = SSL_get_error(m_ssl, 0);
    if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ)
        return err::Success;
    if (sent > 0)
        return err::Success; // the failure shows again on the next call
    ERR_clear_error();
    if (e == SSL_ERROR_SYSCALL && errno != 0)
        return errorFromErrno(errno);
    return err::ConnectionAborted;
}

uint32_t TlsChannel::receiveSome(char *data, size_t size, size_t &received, bool &wouldBlock)
{
    received = 0;
    wouldBlock = false;
    ERR_clear_error();
    if (SSL_read_ex(m_ssl, data, size, &received) == 1)
        return err::Success;
    const int e = SSL_get_error(m_ssl, 0);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
        wouldBlock = true;
        return err::Success;
    }
    const bool cutShort =
        e == SSL_ERROR_SSL && ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
    ERR_clear_error();
    if (e == SSL_ERROR_ZERO_RETURN)
        return err::Success; // the peer's close notification: the end of the stream
    if (cutShort)
        return err::TransferIncomplete;
    if (e == SSL_ERROR_SYSCALL && errno != 0)
        return errorFromErrno(errno);
    return err::ConnectionAborted;
}

bool TlsChannel::buffered() const
{
    return m_ssl && SSL_pending(m_ssl) > 0;
}

uint32_t TlsChannel::shutdown(int timeoutMs)
{
    if (!m_ssl)
        return err::Success;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // What the peer sent and nobody read (at TLS 1.3 the session tickets of an
    // upload's connection) would make the close a reset that can overtake the
    // last data: read it first, keeping any new session it brings.
    char scrap[4096];
    size_t got = 0;
    while (SSL_read_ex(m_ssl, scrap, sizeof scrap, &got) == 1) {
    }
    ERR_clear_error();
    for (;;) {
        errno = 0;
        const int rc = SSL_shutdown(m_ssl);
        if (rc >= 0)
            break;
        const int e = SSL_get_error(m_ssl, rc);
        ERR_clear_error();
        if (e != SSL_ERROR_WANT_WRITE)
            return err::Success; // the peer already closed: nothing more to say
        std::string ignored;
        uint32_t code = err::Success;
        if (!waitForSsl(m_ssl, rc, m_fd, deadline, code, ignored))
            return code;
    }
    // Our end is finished; the peer closes its end once it has read everything.
    ::shutdown(m_fd, SHUT_WR);
    for (;;) {
        const int rc = SSL_read_ex(m_ssl, scrap, sizeof scrap, &got);
        if (rc == 1)
            continue;
        const int e = SSL_get_error(m_ssl, rc);
        ERR_clear_error();
        if (e != SSL_ERROR_WANT_READ)
            return err::Success;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{m_fd, POLLIN, 0};
        const int n = left.count() <= 0 ? 0 : pollFor(&p, 1, static_cast<int>(left.count()));
        if (n <= 0)
            return n == 0 ? err::InternetTimeout : errorFromErrno(errno);
    }
}

bool TlsChannel::resumed() const
{
    return m_ssl && SSL_session_reused(m_ssl) == 1;
}

std::string TlsChannel::protocol() const
{
    return m_ssl ? SSL_get_version(m_ssl) : std::string();
}

bool TlsChannel::peerCertificate(CertificateInfo &info) const
{
    const X509 *cert = m_ssl ? SSL_get0_peer_certificate(m_ssl) : nullptr;
    if (!cert)
        return false;
    info.subject = nameText(X509_get_subject_name(cert));
    info.issuer = nameText(X509_get_issuer_name(cert));
    info.notBefore = timeText(X509_get0_notBefore(cert));
    info.notAfter = timeText(X509_get0_notAfter(cert));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    info.fingerprint.clear();
    if (X509_digest(cert, EVP_sha256(), md, &length) == 1) {
        static const char hex[] = "0123456789ABCDEF";
        for (unsigned int i = 0; i < length; ++i) {
            if (i > 0)
                info.fingerprint += ':';
            info.fingerprint += hex[md[i] >> 4];
            info.fingerprint += hex[md[i] & 15];
        }
    }
    info.verifyCode = SSL_get_verify_result(m_ssl);
    info.verifyText =
        info.verifyCode == X509_V_OK ? std::string() : X509_verify_cert_error_string(info.verifyCode);
    return !info.fingerprint.empty();
}

} // namespace platform
