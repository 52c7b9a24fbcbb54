// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RemoteSession.h"

#include "platform/FtpClient.h"

namespace platform {

namespace {

enum class Protocol { Ftp };

Protocol protocolOf(const std::string &)
{
    return Protocol::Ftp;
}

} // namespace

std::unique_ptr<RemoteSession> makeRemoteSession(const std::string &server, const FtpOptions &options)
{
    switch (protocolOf(server)) {
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
