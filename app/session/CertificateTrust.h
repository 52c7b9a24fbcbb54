// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RemoteSession.h"
#include "platform/Tls.h"

#include <string>

// Server certificates the user chose to trust although the system's check
// failed (self-signed, expired or made out to another name, common on shared
// hosting): one line "host:port SHA-256-fingerprint" per server, in a file
// beside the settings file, readable by its owner only and replaced atomically.
class TrustedCertificates {
public:
    enum class Match { Unknown, Same, Changed };
    enum class Kept { Saved, FileUnreadable, Failed };

    explicit TrustedCertificates(std::string path) : m_path(std::move(path)) {}

    // What the file says about `site`; `stored` gets the fingerprint kept for it.
    Match find(const std::string &site, const std::string &fingerprint, std::string *stored = nullptr) const;
    // Keeps `fingerprint` for `site`, replacing an earlier one. A file that exists
    // but could not be read is left alone (FileUnreadable) unless replaceUnreadable.
    Kept remember(const std::string &site, const std::string &fingerprint,
                  bool replaceUnreadable = false) const;

private:
    std::string m_path;
};

// The trusted-certificates file that belongs to a settings file.
std::string TrustedCertificatesPath(const std::string &iniPath);
// "host:port" ("[v6addr]:port") of a certificate's server.
std::string CertificateSite(const platform::CertificateInfo &certificate);
// Decides about a certificate the system could not vouch for: the fingerprint
// kept for the server is trusted without asking; otherwise the user is shown the
// certificate and asked (after a warning when it differs from the one kept), and
// a yes keeps it (asking first when the file exists but could not be read). Runs
// on the user-interface thread.
bool TrustCertificate(const platform::CertificateInfo &certificate, const std::string &storePath);

// The program's own known-hosts file (OpenSSH's format) beside a settings file:
// the SSH host keys the user trusted.
std::string KnownHostsPath(const std::string &iniPath);
// Asks whether to trust a host key on record nowhere, with its type and
// fingerprint (true: trust and keep it); a key that changed is only warned of,
// with both fingerprints, and never trusted. Runs on the user-interface thread.
bool TrustHostKey(const platform::HostKeyInfo &key);
// Asks for the passphrase of a key file; false when the user cancels.
bool AskPassphrase(const std::string &keyFile, std::string &passphrase);
