// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RemoteSession.h"

#include "platform/FtpClient.h"
#include "platform/SftpClient.h"
#include "platform/Wildcard.h"

namespace platform {

namespace {

enum class Protocol { Ftp, Sftp };

// The scheme, letter case ignored: "sftp://" is SSH, anything else FTP.
Protocol protocolOf(const std::string &server)
{
    return startsWithNoCase(server, "sftp://") ? Protocol::Sftp : Protocol::Ftp;
}

} // namespace

std::unique_ptr<RemoteSession> makeRemoteSession(const std::string &server, const FtpOptions &options)
{
    switch (protocolOf(server)) {
    case Protocol::Sftp:
        return std::make_unique<SftpClient>(options);
    case Protocol::Ftp:
        break;
    }
    return std::make_unique<FtpClient>(options);
}

bool sameProtocol(const std::string &a, const std::string &b)
{
    return protocolOf(a) == protocolOf(b);
}

} // namespace platform
