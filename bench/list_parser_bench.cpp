// SPDX-License-Identifier: GPL-3.0-or-later
// Parse time of a 20,000-line directory listing (bench/list_parser_bench.sh runs
// it): a Unix listing as vsftpd and ProFTPD send it (files, folders and links,
// recent and older dates), a DOS/IIS listing and, for the slow road, a Unix
// listing with Japanese dates. Parsing only, from memory: median and min-max of
// 5 runs in milliseconds, and the entries found, which must be every line.
#include "platform/FtpListParser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Lines = 20000;
constexpr int64_t Now = 1710936000; // 2024-03-20 12:00 UTC

const char *const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string unixListing()
{
    std::string out = "total 80000\r\n";
    char line[256];
    for (int i = 0; i < Lines; ++i) {
        const char *month = Months[i % 12];
        const int day = i % 28 + 1;
        if (i % 10 == 0)
            std::snprintf(line, sizeof line,
                          "drwxr-xr-x    2 webuser  www          4096 %s %2d  2021 folder-%d\r\n", month, day,
                          i);
        else if (i % 25 == 1)
            std::snprintf(
                line, sizeof line,
                "lrwxrwxrwx    1 webuser  www            11 %s %2d 10:%02d link-%d -> public_html\r\n", month,
                day, i % 60, i);
        else
            std::snprintf(line, sizeof line,
                          "-rw-r--r--    1 webuser  www      %8d %s %2d %02d:%02d page %d.html\r\n",
                          i * 37 % 1000000, month, day, i % 24, i % 60, i);
        out += line;
    }
    return out;
}

std::string dosListing()
{
    std::string out;
    char line[256];
    for (int i = 0; i < Lines; ++i) {
        if (i % 10 == 0)
            std::snprintf(line, sizeof line, "%02d-%02d-21  %02d:%02dPM       <DIR>          folder-%d\r\n",
                          i % 12 + 1, i % 28 + 1, i % 12 + 1, i % 60, i);
        else
            std::snprintf(line, sizeof line, "%02d-%02d-21  %02d:%02dAM            %8d page %d.html\r\n",
                          i % 12 + 1, i % 28 + 1, i % 12 + 1, i % 60, i * 37 % 1000000, i);
        out += line;
    }
    return out;
}

std::string japaneseListing()
{
    std::string out;
    char line[256];
    for (int i = 0; i < Lines; ++i) {
        std::snprintf(line, sizeof line,
                      "-rw-r--r--    1 webuser  www      %8d %2d\xE6\x9C\x88 %2d %02d:%02d page %d.html\r\n",
                      i * 37 % 1000000, i % 12 + 1, i % 28 + 1, i % 24, i % 60, i);
        out += line;
    }
    return out;
}

void run(const char *name, const std::string &listing)
{
    std::vector<double> times;
    size_t entries = 0;
    for (int round = 0; round < 5; ++round) {
        entries = 0;
        const auto start = std::chrono::steady_clock::now();
        platform::FtpListParser parser(platform::FtpListParser::Format::List, Now,
                                       [&](platform::FindRecord &&) { ++entries; });
        parser.feed(listing.data(), listing.size());
        parser.finish();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%-28s %6.2f ms median (%.2f-%.2f), %zu of %d lines read\n", name, times[2], times.front(),
                times.back(), entries, Lines);
}

} // namespace

// Arguments choose listings ("unix", "dos", "japanese"); none: all three.
int main(int argc, char **argv)
{
    const std::vector<std::string> chosen(argv + 1, argv + argc);
    auto wanted = [&](const char *name) {
        return chosen.empty() || std::find(chosen.begin(), chosen.end(), name) != chosen.end();
    };
    if (wanted("unix"))
        run("Unix, 20000 lines", unixListing());
    if (wanted("dos"))
        run("DOS/IIS, 20000 lines", dosListing());
    if (wanted("japanese"))
        run("Unix, Japanese dates", japaneseListing());
    return 0;
}
