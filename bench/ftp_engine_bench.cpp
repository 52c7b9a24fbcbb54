// Transfers files with platform::FtpClient for bench/ftp_bench.sh, which times
// this program against curl on the same server.
//
//   ftp_engine_bench SERVER USER PASSWORD put LOCAL REMOTE
//   ftp_engine_bench SERVER USER PASSWORD get REMOTE LOCAL
//   ftp_engine_bench SERVER USER PASSWORD put-batch LOCALDIR REMOTEDIR COUNT
//   ftp_engine_bench SERVER USER PASSWORD get-batch REMOTEDIR LOCALDIR COUNT
//
// A batch moves files f001.bin, f002.bin, ... over one control connection. The
// program prints the elapsed time and the peak resident memory of the process.
// SERVER may carry a scheme (ftpes://, ftps://). With VEXMORA_BENCH_TLS set to
// "1.2" TLS stops at version 1.2; with VEXMORA_BENCH_TRUST set, any certificate
// is taken (the benchmark's own local server has a self-signed one).

#include "platform/FtpClient.h"
#include "platform/LastError.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    platform::FtpClient client(options);
    if (std::getenv("VEXMORA_BENCH_TRUST"))
        client.setCertificateCheck([](const platform::CertificateInfo &) { return true; });
    if (!client.connect(server, user, password, 300))
        return failed("connect");
    const auto type = platform::TransferType::Binary;
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
            if (put ? !client.putFile(local, name, type, 100) : !client.getFile(name, local, type, 200))
                return failed(name.c_str());
        }
    } else {
        std::fprintf(stderr, "unknown command %s\n", command.c_str());
        return 2;
    }
    client.close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("elapsed_s=%.3f peak_rss_kb=%ld\n", seconds, peakResidentKb());
    return 0;
}
