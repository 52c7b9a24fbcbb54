// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RemoteSession.h"

#include "platform/FtpClient.h"
#include "platform/SftpClient.h"

#include <cctype>

namespace platform {

namespace {

enum class Protocol { Ftp, Sftp };

// The scheme, letter case ignored: "sftp://" is SSH, anything else FTP.
Protocol protocolOf(const std::string &server)
{
    static const std::string sftp = "sftp://";
    if (server.size() < sftp.size())
        return Protocol::Ftp;
    for (size_t i = 0; i < sftp.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(server[i])) != sftp[i])
            return Protocol::Ftp;
    }
    return Protocol::Sftp;
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
