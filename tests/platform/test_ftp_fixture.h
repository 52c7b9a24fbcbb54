// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FtpClient.h"
#include "platform/LastError.h"
#include "support/FtpServer.h"
#include "support/TestUtil.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One engine against one pyftpdlib server of its own, with every status
// notification recorded.
class FtpEngineTest : public ::testing::Test {
protected:
    struct Event {
        uint32_t context;
        platform::FtpStatus status;
        std::string text;
        uint64_t bytes;
    };

    static constexpr uint32_t ConnectionContext = 300;
    static constexpr uint32_t UploadContext = 100;
    static constexpr uint32_t DownloadContext = 200;

    // Short timeouts: a test with a silent server must not take long.
    static platform::FtpOptions quickOptions() { return platform::FtpOptions{3000, 3000, 3000}; }

    void startServer(const QStringList &faults = {})
    {
        server.setFaults(faults);
        ASSERT_TRUE(server.start()) << server.errorString().toStdString();
    }

    // A client logged in to the server.
    void connectClient(platform::FtpOptions options = quickOptions())
    {
        client = std::make_unique<platform::FtpClient>(options);
        client->setStatusCallback(
            [this](uint32_t context, platform::FtpStatus status, const std::string &text, uint64_t bytes) {
                events.push_back({context, status, text, bytes});
                if (onEvent)
                    onEvent(events.back());
            });
        ASSERT_TRUE(client->connect(server.address(), server.user(), server.password(), ConnectionContext))
            << "error " << platform::lastError();
    }

    std::vector<uint64_t> byteCounts(platform::FtpStatus status, uint32_t context) const
    {
        std::vector<uint64_t> counts;
        for (const Event &e : events) {
            if (e.status == status && e.context == context)
                counts.push_back(e.bytes);
        }
        return counts;
    }

    size_t countEvents(platform::FtpStatus status) const
    {
        size_t n = 0;
        for (const Event &e : events)
            n += e.status == status ? 1 : 0;
        return n;
    }

    size_t countCommands(const QByteArray &prefix) const
    {
        size_t n = 0;
        for (const QByteArray &line : server.receivedCommands())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }

    static std::vector<std::string> names(const std::vector<platform::FindRecord> &records)
    {
        std::vector<std::string> result;
        for (const platform::FindRecord &r : records)
            result.push_back(r.name);
        return result;
    }

    // Declared so that the client goes first: its last notification still finds
    // `events` and the server.
    testsupport::FtpServer server;
    testsupport::TempFolder local;
    std::vector<Event> events;
    std::function<void(const Event &)> onEvent;
    std::unique_ptr<platform::FtpClient> client;
};
