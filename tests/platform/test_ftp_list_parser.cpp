// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FtpListParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::AttrDirectory;
using platform::AttrNormal;
using platform::FindRecord;
using platform::FtpListParser;
using platform::ticksFromUnix;
using Format = FtpListParser::Format;

namespace {

// 2024-03-20 12:00:00 UTC: "now" for the listings whose dates carry no year.
constexpr int64_t Now = 1710936000;

struct Case {
    Format format;
    std::string line;
    bool entry;
    std::string name;
    uint32_t attributes;
    uint64_t size;
    int64_t unixTime; // -1: not checked
};

// Lines as real servers send them (vsftpd, ProFTPD, Pure-FTPd, IIS, busybox, NAS
// boxes), with the entry each stands for.
const std::vector<Case> &cases()
{
    static const std::vector<Case> table = {
        // Unix, recent files: the year is the latest that is not in the future.
        {Format::List, "drwxr-xr-x    2 user     group        4096 Mar 15 10:30 public_html", true,
         "public_html", AttrDirectory, 0, 1710498600},
        {Format::List, "-rw-r--r--   1 user group   0 Dec 31 23:59 last-year.txt", true, "last-year.txt",
         AttrNormal, 0, 1704067140},
        {Format::List, "-rw-r--r--   1 user group   7 Mar 21 11:00 clock-skew.txt", true, "clock-skew.txt",
         AttrNormal, 7, 1711018800},
        {Format::List, "-rw-r--r--   1 user group   7 Mar 22 12:01 next-week.txt", true, "next-week.txt",
         AttrNormal, 7, 1679486460},
        // Unix, older files with the year.
        {Format::List, "-rw-r--r--    1 user     group       12345 Jan  5  2019 index.html", true,
         "index.html", AttrNormal, 12345, 1546646400},
        {Format::List, "-rw-r--r--    1 owner    1234 Feb 29  2020 no group.txt", true, "no group.txt",
         AttrNormal, 1234, 1582934400},
        {Format::List, "lrwxrwxrwx    1 user     group          11 Jan 01  2021 www -> public_html", true,
         "www", AttrNormal, 11, 1609459200},
        {Format::List, "crw-rw-rw-    1 root     root       1,   3 Aug 12  2018 null", true, "null",
         AttrNormal, 0, 1534032000},
        {Format::List, "brw-rw----    1 root     disk       8,0 Aug 12  2018 sda", true, "sda", AttrNormal, 0,
         1534032000},
        {Format::List, "-rw-r--r-- 1 user group 5 2021-06-15 08:09 iso date.txt", true, "iso date.txt",
         AttrNormal, 5, 1623744540},
        {Format::List, "-rw-r--r--    1 1000     1000     1073741824000 Jul  4  2022 big.bin", true,
         "big.bin", AttrNormal, 1073741824000ull, 1656892800},
        {Format::List, "drwxr-xr-x    3 user group 4096 Jan 10  2020  leading blank", true, " leading blank",
         AttrDirectory, 0, 1578614400},
        {Format::List, "-rw-r--r--    1 user     group          10 Nov 11  2011 arrow -> in a file name",
         true, "arrow -> in a file name", AttrNormal, 10, 1320969600},
        {Format::List, "-rw-r--r--+   1 jan      staff          10 Nov 11  2011 acl.txt", true, "acl.txt",
         AttrNormal, 10, 1320969600},
        {Format::List, "-rw-r--r--    1 u g 3 Jan 01  2020 \x83\x5C.txt", true, "\x83\x5C.txt", AttrNormal, 3,
         1577836800},
        {Format::List, "-rw-r--r--    1 u g 3 Jan 01  2020 trailing blank ", true, "trailing blank ",
         AttrNormal, 3, 1577836800},
        {Format::List, "total 48", false, "", 0, 0, -1},
        {Format::List, "-rw-r--r--    1 user     group       12345 Foo  5  2019 bad-month.html", false, "", 0,
         0, -1},
        {Format::List, "ls: cannot open directory .: Permission denied", false, "", 0, 0, -1},
        // DOS / IIS.
        {Format::List, "07-09-04  08:05AM       <DIR>          Logs", true, "Logs", AttrDirectory, 0,
         1089360300},
        {Format::List, "12-31-99  11:59PM             1234567 report 1999.txt", true, "report 1999.txt",
         AttrNormal, 1234567, 946684740},
        {Format::List, "01-02-2021  12:00AM                  0 midnight.txt", true, "midnight.txt",
         AttrNormal, 0, 1609545600},
        {Format::List, "06-15-21  13:45       <DIR>          twenty-four hours", true, "twenty-four hours",
         AttrDirectory, 0, 1623764700},
        {Format::List, "13-45-21  01:00PM       <DIR>          bad date", false, "", 0, 0, -1},
        // MLSD: exact UTC times, cdir/pdir are no entries.
        {Format::Mlsd, "type=file;size=1024;modify=20210615080910;perm=r; readme.txt", true, "readme.txt",
         AttrNormal, 1024, 1623744550},
        {Format::Mlsd, "type=dir;modify=20200101000000;perm=el; docs", true, "docs", AttrDirectory, 0,
         1577836800},
        {Format::Mlsd, "type=cdir;modify=20200101000000;perm=el; .", false, "", 0, 0, -1},
        {Format::Mlsd, "type=pdir;modify=20200101000000;perm=el; ..", false, "", 0, 0, -1},
        {Format::Mlsd, "Type=File;Size=5;Modify=20210615080910; Mixed Case.txt", true, "Mixed Case.txt",
         AttrNormal, 5, 1623744550},
        {Format::Mlsd, "type=OS.unix=slink:/target;size=7;modify=20200101000000; link", true, "link",
         AttrNormal, 7, 1577836800},
        {Format::Mlsd, "type=file;size=3;modify=20200101000000; name ; with semicolon", true,
         "name ; with semicolon", AttrNormal, 3, 1577836800},
        {Format::Mlsd, "type=file;size=0;modify=20200101000000; \x83\x5C\x95\x5C.txt", true,
         "\x83\x5C\x95\x5C.txt", AttrNormal, 0, 1577836800},
        {Format::Mlsd, "type=file;size=0; ", true, "", AttrNormal, 0, -1},
        {Format::Mlsd, "type=file;size=12;modify=nonsense", false, "", 0, 0, -1},
    };
    return table;
}

} // namespace

TEST(FtpListParser, RealServerLinesGiveTheirEntries)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.line);
        FindRecord r;
        const bool parsed = FtpListParser::parseLine(c.format, c.line, Now, r);
        ASSERT_EQ(parsed, c.entry);
        if (!parsed)
            continue;
        EXPECT_EQ(r.name, c.name);
        EXPECT_EQ(r.attributes, c.attributes);
        EXPECT_EQ(r.size, c.size);
        if (c.unixTime >= 0) {
            EXPECT_EQ(r.lastWriteTime, ticksFromUnix(c.unixTime));
        }
    }
}

TEST(FtpListParser, MlsdFractionsOfASecondAreKept)
{
    FindRecord r;
    ASSERT_TRUE(FtpListParser::parseMlsdLine("type=file;size=1;modify=20210615080910.123; a", r));
    EXPECT_EQ(r.lastWriteTime, ticksFromUnix(1623744550) + 1230000u);
}

// Every line cut at every position, and with blanks and tabs put in at every
// position, must parse or be skipped without reading outside the line (run under
// AddressSanitizer); a name that comes out is always bytes of the line.
TEST(FtpListParser, TruncatedAndPaddedLinesNeverCrash)
{
    size_t variants = 0;
    for (const Case &c : cases()) {
        for (size_t cut = 0; cut <= c.line.size(); ++cut) {
            std::vector<std::string> lines = {c.line.substr(0, cut)};
            for (const char *pad : {" ", "\t", "  "})
                lines.push_back(c.line.substr(0, cut) + pad + c.line.substr(cut));
            for (const std::string &line : lines) {
                for (Format format : {Format::List, Format::Mlsd}) {
                    // An exact-size heap copy lets AddressSanitizer see any read past the end.
                    std::vector<char> exact(line.begin(), line.end());
                    FindRecord r;
                    if (FtpListParser::parseLine(format, std::string_view(exact.data(), exact.size()), Now,
                                                 r)) {
                        EXPECT_NE(line.find(r.name), std::string::npos) << line;
                    }
                    ++variants;
                }
            }
        }
    }
    EXPECT_GT(variants, 1000u);
}

TEST(FtpListParser, StreamedListingGivesTheSameEntriesForEveryChunkSize)
{
    std::string listing;
    size_t expected = 0;
    for (const Case &c : cases()) {
        if (c.format == Format::List) {
            listing += c.line + "\r\n";
            expected += c.entry ? 1 : 0;
        }
    }
    listing += "-rw-r--r-- 1 u g 9 Jan 01  2020 no line end";
    ++expected;

    for (size_t chunk = 1; chunk <= 97; chunk += 8) {
        std::vector<std::string> names;
        FtpListParser parser(Format::List, Now, [&](FindRecord &&r) { names.push_back(r.name); });
        for (size_t pos = 0; pos < listing.size(); pos += chunk)
            parser.feed(listing.data() + pos, std::min(chunk, listing.size() - pos));
        parser.finish();
        ASSERT_EQ(names.size(), expected) << "chunk " << chunk;
        EXPECT_EQ(names.front(), "public_html");
        EXPECT_EQ(names.back(), "no line end");
    }

    // A listing that broke off drops its partial last line.
    std::vector<std::string> names;
    FtpListParser parser(Format::List, Now, [&](FindRecord &&r) { names.push_back(r.name); });
    parser.feed(listing.data(), listing.size());
    parser.discard();
    EXPECT_EQ(names.size(), expected - 1);
}

TEST(FtpListParser, OverlongLineIsDroppedAndTheNextLineStillParses)
{
    std::vector<std::string> names;
    FtpListParser parser(Format::Mlsd, Now, [&](FindRecord &&r) { names.push_back(r.name); });
    const std::string huge = "type=file;size=1; " + std::string(200 * 1024, 'x') + "\r\n";
    parser.feed(huge.data(), huge.size());
    const std::string next = "type=file;size=1; next\r\n";
    parser.feed(next.data(), next.size());
    parser.finish();
    EXPECT_EQ(names, std::vector<std::string>{"next"});
}

TEST(FtpListParser, HostileAndDotNames)
{
    using platform::isDotName;
    using platform::isHostileName;
    for (const std::string &name :
         {std::string(), std::string("a/b"), std::string("/"), std::string("x\x01y"),
          std::string("tab\there"), std::string("del\x7f"), std::string("nul\0x", 5), std::string("cr\r")}) {
        EXPECT_TRUE(isHostileName(name)) << name;
    }
    // Backslashes and Shift-JIS or UTF-8 bytes are ordinary name bytes.
    for (const std::string name : {"a\\b", "\x83\x5C.txt", "表示.html", "..hidden", "...", " space "})
        EXPECT_FALSE(isHostileName(name)) << name;
    EXPECT_TRUE(isDotName("."));
    EXPECT_TRUE(isDotName(".."));
    EXPECT_FALSE(isDotName("..."));
    EXPECT_FALSE(isDotName(".a"));
}
