// SPDX-License-Identifier: GPL-3.0-or-later
// FTP over TLS: the scheme of the server text, TLS on the control connection
// (implicit, or explicit after AUTH TLS), the certificate decision, and TLS on
// every data connection, resuming the control connection's session.
#include "platform/FtpClient.h"

#include "platform/LastError.h"
#include "platform/Wildcard.h"

#include <string_view>

namespace platform {

namespace {

bool failSecure(uint32_t code, std::string detail)
{
    setLastResponseText(std::move(detail));
    setLastError(code);
    return false;
}

} // namespace

FtpClient::Security FtpClient::takeScheme(std::string &server)
{
    static constexpr struct {
        std::string_view prefix;
        Security security;
    } schemes[] = {
        {"ftpes://", Security::Explicit}, {"ftps://", Security::Implicit}, {"ftp://", Security::Plain}};
    for (const auto &scheme : schemes) {
        if (startsWithNoCase(server, scheme.prefix)) {
            server.erase(0, scheme.prefix.size());
            if (!server.empty() && server.back() == '/')
                server.pop_back();
            return scheme.security;
        }
    }
    return Security::Auto;
}

void FtpClient::setCertificateCheck(CertificateCheck check)
{
    m_certificateCheck = std::move(check);
}

std::string FtpClient::securityProtocol() const
{
    return m_control.tls() ? m_control.tls()->protocol() : std::string();
}

// The TLS handshake on the control connection and the certificate decision.
// On failure the caller closes the connection; nothing was sent in the clear.
bool FtpClient::secureControl()
{
    m_tls = std::make_unique<TlsClient>(m_options.maxTlsVersion);
    if (const uint32_t e = m_control.startTls(*m_tls, m_tlsHost, false, m_options.replyTimeoutMs))
        return failSecure(e, m_control.tls() ? m_control.tls()->detail() : std::string());
    CertificateInfo certificate;
    if (!m_control.tls()->peerCertificate(certificate))
        return failSecure(err::SecureChannelError, "the server sent no certificate");
    certificate.host = m_tlsHost;
    certificate.port = m_tlsPort;
    if (!certificate.trusted() && !(m_certificateCheck && m_certificateCheck(certificate)))
        return failSecure(err::SecureCertificateRejected, certificate.verifyText);
    m_fingerprint = certificate.fingerprint;
    return true;
}

// After the greeting: AUTH TLS unless plain FTP was asked for, then PBSZ 0 and
// PROT P so that the data connections are encrypted too.
bool FtpClient::negotiateTls()
{
    if (m_security == Security::Plain)
        return true;
    Reply r;
    if (m_security != Security::Implicit) {
        if (!command("AUTH", "TLS", r))
            return false;
        if (r.code != 234) {
            const bool unsupported = r.code == 500 || r.code == 502 || r.code == 504 || r.code == 530;
            if (m_security == Security::Auto && unsupported)
                return true; // the server offers no TLS: plain FTP
            return failSecure(err::SecureChannelError, "AUTH TLS: " + r.text);
        }
        // Anything the server sent after its 234 came in the clear and could have
        // been injected; it must not pass for a reply of the encrypted session.
        if (!m_rx.empty())
            return failSecure(err::SecureChannelError, "plain text after AUTH TLS");
        if (!secureControl())
            return false;
    }
    if (!command("PBSZ", "0", r))
        return false;
    if (r.code / 100 != 2)
        return failSecure(err::SecureChannelError, "PBSZ 0: " + r.text);
    if (!command("PROT", "P", r))
        return false;
    if (r.code / 100 != 2)
        return failSecure(err::SecureChannelError, "PROT P: " + r.text);
    m_secureData = true;
    return true;
}

// TLS on a data connection, resuming the control connection's session; the
// server must show the same certificate as on the control connection.
bool FtpClient::secureData(Socket &data)
{
    if (!m_secureData)
        return true;
    if (const uint32_t e = data.startTls(*m_tls, m_tlsHost, true, m_options.dataTimeoutMs))
        return failSecure(e, data.tls()->detail());
    CertificateInfo certificate;
    if (!data.tls()->peerCertificate(certificate) || certificate.fingerprint != m_fingerprint)
        return failSecure(err::SecureChannelError, "the data connection showed another certificate");
    if (data.tls()->resumed())
        ++m_resumedData;
    return true;
}

} // namespace platform
