// SPDX-License-Identifier: GPL-3.0-or-later
// Transfers files with the program's clients (platform::RemoteSession, chosen
// by SERVER's scheme) for bench/ftp_bench.sh and bench/sftp_bench.sh, which time
// this program against curl and OpenSSH's sftp on the same server.
//
//   ftp_engine_bench SERVER USER PASSWORD put LOCAL REMOTE
//   ftp_engine_bench SERVER USER PASSWORD get REMOTE LOCAL
//   ftp_engine_bench SERVER USER PASSWORD put-batch LOCALDIR REMOTEDIR COUNT
//   ftp_engine_bench SERVER USER PASSWORD get-batch REMOTEDIR LOCALDIR COUNT
//   ftp_engine_bench SERVER USER PASSWORD put-resume LOCAL REMOTE
//   ftp_engine_bench SERVER USER PASSWORD get-resume REMOTE LOCAL
//
// put-resume and get-resume move one file with the program's transfer rules
// (SafeTransfer: a temporary, continued after a cut); when the connection is
// lost they log in again at once and continue, and print how many times that
// happened ("cuts=").
// With VEXMORA_BENCH_SAFE set to "keep" or "plain", every transfer of a batch
// goes through SafeTransfer too, with KeepTimes on or off.
//
// A batch moves files f001.bin, f002.bin, ... over one control connection, or
// with VEXMORA_BENCH_CONNECTIONS=N (N > 1) through the program's ConnectionPool
// on N connections it opens itself, with at most N files queued at a time as a
// multi-file run does; every file's result is checked. The program prints the
// elapsed time, the connections that worked and the peak resident memory.
// SERVER may carry a scheme (ftpes://, ftps://, sftp://). With VEXMORA_BENCH_TLS
// set to "1.2" TLS stops at version 1.2; with VEXMORA_BENCH_TRUST set, any
// certificate or host key is taken (the benchmark's own local server has a
// self-signed one and a fresh host key).

#include "app/session/ConnectionPool.h"
#include "app/session/SafeTransfer.h"
#include "platform/FtpClient.h"
#include "platform/LastError.h"
#include "platform/RemoteSession.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace {

long peakResidentKb()
{
    long kb = -1;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
                break;
        }
        std::fclose(f);
    }
    return kb;
}

std::string batchName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.bin", i);
    return name;
}

int failed(const char *what)
{
    const uint32_t code = platform::lastError();
    std::fprintf(stderr, "ftp_engine_bench: %s failed: %u %s\n", what, code,
                 platform::errorText(code).c_str());
    return 1;
}

// The program's rules for batches, when VEXMORA_BENCH_SAFE asks for them.
SafeTransfer *safeRules()
{
    static SafeTransfer rules(nullptr);
    static SafeTransfer *chosen = [] {
        const char *safe = std::getenv("VEXMORA_BENCH_SAFE");
        if (!safe)
            return static_cast<SafeTransfer *>(nullptr);
        rules.setSettings({102400, std::strcmp(safe, "keep") == 0});
        return &rules;
    }();
    return chosen;
}

bool putOne(platform::RemoteSession &client, const std::string &local, const std::string &name)
{
    const auto type = platform::TransferType::Binary;
    return safeRules() ? safeRules()->put(client, local, name, type, 100)
                       : client.putFile(local, name, type, 100);
}

bool getOne(platform::RemoteSession &client, const std::string &name, const std::string &local)
{
    const auto type = platform::TransferType::Binary;
    return safeRules() ? safeRules()->get(client, name, local, type, 200)
                       : client.getFile(name, local, type, 200);
}

// One file through SafeTransfer, logging in again after every lost connection
// (at most 5 times).
int resumed(const std::string &server, const std::string &user, const std::string &password,
            const platform::FtpOptions &options, bool put, const std::string &from, const std::string &to)
{
    SafeTransfer rules(nullptr);
    rules.newSession(server + '\n' + user);
    for (int cuts = 0; cuts <= 5; ++cuts) {
        platform::FtpClient client(options);
        if (!client.connect(server, user, password, 300))
            return failed("connect");
        const auto type = platform::TransferType::Binary;
        const bool ok = put ? rules.put(client, from, to, type, 100) : rules.get(client, from, to, type, 200);
        if (ok) {
            client.close();
            std::printf("cuts=%d ", cuts);
            return 0;
        }
        if (!platform::isConnectionLoss(platform::lastError(), platform::lastResponseText()))
            return failed(put ? "put" : "get");
    }
    return failed("five cuts in a row");
}

// The batch through a ConnectionPool of `connections`; returns the connections
// that were live at its end, or -1 after printing the first failure.
int pooledBatch(const ConnectionPool::Login &login, int connections, bool put, const std::string &localDir,
                int count)
{
    std::mutex mutex;
    std::condition_variable ended;
    int inFlight = 0, done = 0, failures = 0;
    std::string firstFailure;
    // Last, so that its end (which waits for work under way) comes first.
    ConnectionPool pool(login, connections);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    for (int i = 1; i <= count; ++i) {
        {
            std::unique_lock lock(mutex);
            if (!ended.wait_until(lock, deadline, [&] { return inFlight < connections; })) {
                std::fprintf(stderr, "ftp_engine_bench: no connection became free in time\n");
                return -1;
            }
            ++inFlight;
        }
        const std::string name = batchName(i);
        const std::string local = localDir + "/" + name;
        pool.queue(
            [=](platform::RemoteSession &client) {
                return put ? putOne(client, local, name) : getOne(client, name, local);
            },
            [&, name](const ConnectionPool::Result &result) {
                const std::lock_guard lock(mutex);
                --inFlight;
                ++done;
                if (!result.ok && failures++ == 0)
                    firstFailure = name + ": " + std::to_string(result.code) + " " + result.response;
                ended.notify_all();
            });
    }
    std::unique_lock lock(mutex);
    if (!ended.wait_until(lock, deadline, [&] { return done == count; })) {
        std::fprintf(stderr, "ftp_engine_bench: %d of %d files ended in time\n", done, count);
        return -1;
    }
    if (failures > 0) {
        std::fprintf(stderr, "ftp_engine_bench: %d files failed, first %s\n", failures, firstFailure.c_str());
        return -1;
    }
    return pool.liveConnections();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s SERVER USER PASSWORD put|get|put-batch|get-batch ARGS...\n", argv[0]);
        return 2;
    }
    const std::string server = argv[1], user = argv[2], password = argv[3], command = argv[4];
    const auto start = std::chrono::steady_clock::now();

    platform::FtpOptions options;
    const char *tls = std::getenv("VEXMORA_BENCH_TLS");
    if (tls && std::strcmp(tls, "1.2") == 0)
        options.maxTlsVersion = 0x0303;
    const char *connectionsSetting = std::getenv("VEXMORA_BENCH_CONNECTIONS");
    const int connections = connectionsSetting ? std::atoi(connectionsSetting) : 1;
    if (connections > 1) {
        const bool put = command == "put-batch";
        if ((!put && command != "get-batch") || argc < 8) {
            std::fprintf(stderr, "VEXMORA_BENCH_CONNECTIONS is for put-batch and get-batch\n");
            return 2;
        }
        ConnectionPool::Login login;
        login.server = server;
        login.user = user;
        login.password = password;
        login.options = options;
        login.directory = put ? argv[6] : argv[5];
        const int used = pooledBatch(login, connections, put, put ? argv[5] : argv[6], std::atoi(argv[7]));
        if (used < 0)
            return 1;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("elapsed_s=%.3f connections=%d peak_rss_kb=%ld\n", seconds, used, peakResidentKb());
        return 0;
    }
    const std::unique_ptr<platform::RemoteSession> session = platform::makeRemoteSession(server, options);
    platform::RemoteSession &client = *session;
    if (std::getenv("VEXMORA_BENCH_TRUST")) {
        client.setCertificateCheck([](const platform::CertificateInfo &) { return true; });
        client.setHostKeyCheck([](const platform::HostKeyInfo &) { return true; });
    }
    if (!client.connect(server, user, password, 300))
        return failed("connect");
    const auto type = platform::TransferType::Binary;
    if (command == "put-resume" || command == "get-resume") {
        if (resumed(server, user, password, options, command == "put-resume", argv[5], argv[6]) != 0)
            return 1;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("elapsed_s=%.3f connections=1 peak_rss_kb=%ld\n", seconds, peakResidentKb());
        return 0;
    }
    if (command == "put") {
        if (!client.putFile(argv[5], argv[6], type, 100))
            return failed("put");
    } else if (command == "get") {
        if (!client.getFile(argv[5], argv[6], type, 200))
            return failed("get");
    } else if ((command == "put-batch" || command == "get-batch") && argc >= 8) {
        const bool put = command == "put-batch";
        const int count = std::atoi(argv[7]);
        const std::string localDir = put ? argv[5] : argv[6];
        if (!client.setCurrentDirectory(put ? argv[6] : argv[5]))
            return failed("cwd");
        for (int i = 1; i <= count; ++i) {
            const std::string name = batchName(i);
            const std::string local = localDir + "/" + name;
            if (put ? !putOne(client, local, name) : !getOne(client, name, local))
                return failed(name.c_str());
        }
    } else {
        std::fprintf(stderr, "unknown command %s\n", command.c_str());
        return 2;
    }
    client.close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("elapsed_s=%.3f connections=1 peak_rss_kb=%ld\n", seconds, peakResidentKb());
    return 0;
}
