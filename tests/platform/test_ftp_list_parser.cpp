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
    int64_t unixTime; // -1: not checked, NoDate: the line gives none (time 0)
    bool symlink = false;
};

constexpr int64_t NoDate = -2;

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
         "www", AttrNormal, 11, 1609459200, true},
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
         AttrNormal, 7, 1577836800, true},
        {Format::Mlsd, "type=OS.unix=symlink;size=9;modify=20200101000000; other", true, "other", AttrNormal,
         9, 1577836800, true},
        {Format::Mlsd, "type=file;size=10;modify=20240315103000;\tTabbed name.txt", true, "Tabbed name.txt",
         AttrNormal, 10, 1710498600},
        {Format::Mlsd, "type=file;size=3;modify=20200101000000; name ; with semicolon", true,
         "name ; with semicolon", AttrNormal, 3, 1577836800},
        {Format::Mlsd, "type=file;size=0;modify=20200101000000; \x83\x5C\x95\x5C.txt", true,
         "\x83\x5C\x95\x5C.txt", AttrNormal, 0, 1577836800},
        {Format::Mlsd, "type=file;size=0; ", true, "", AttrNormal, 0, -1},
        {Format::Mlsd, "type=file;size=12;modify=nonsense", false, "", 0, 0, -1},
    };
    return table;
}

// Unix listings in other locales and with other dates, sizes and fields.
const std::vector<Case> &unixVariants()
{
    static const std::vector<Case> table = {
        // Japanese, Korean and Chinese dates in UTF-8, CP932, EUC-JP, EUC-KR and GBK.
        {Format::List, "-rw-r--r--   1 taro  staff   2048  3\xE6\x9C\x88 15 10:30 index.html", true,
         "index.html", AttrNormal, 2048, 1710498600},
        {Format::List, "-rw-r--r--   1 taro  staff   2048  3\x8C\x8E 15\x93\xFA 10:30 menu.html", true,
         "menu.html", AttrNormal, 2048, 1710498600},
        {Format::List, "drwxr-xr-x   2 taro  staff   4096 12\xB7\xEE  1 2023 backup", true, "backup",
         AttrDirectory, 0, 1701388800},
        {Format::List,
         "-rw-r--r--   1 taro  staff    100 2019\xE5\xB9\xB4 3\xE6\x9C\x88 15\xE6\x97\xA5 old.txt", true,
         "old.txt", AttrNormal, 100, 1552608000},
        {Format::List,
         "-rw-r--r-- 1 taro staff 100 2019\xE5\xB9\xB4"
         "11\xE6\x9C\x88"
         "19\xE6\x97\xA5 10:05 glued.txt",
         true, "glued.txt", AttrNormal, 100, 1574157900},
        {Format::List, "-rw-r--r-- 1 kim users 512 11\xEC\x9B\x94 19 10:30 hangul.txt", true, "hangul.txt",
         AttrNormal, 512, 1700389800},
        {Format::List, "-rw-r--r-- 1 kim users 512 2\xBF\xF9 29\xC0\xCF 23:59 leap.txt", true, "leap.txt",
         AttrNormal, 512, 1709251140},
        {Format::List, "-rw-r--r-- 1 li users 77 1\xD4\xC2 5 2020 gbk.txt", true, "gbk.txt", AttrNormal, 77,
         1578182400},
        // European month names, day first.
        {Format::List, "-rw-r--r-- 1 hans users 300 26. Juli, 20:10 sommer.txt", true, "sommer.txt",
         AttrNormal, 300, 1690402200},
        {Format::List, "drwxr-xr-x 2 hans users 4096 2. Okt. 2003 archiv", true, "archiv", AttrDirectory, 0,
         1065052800},
        {Format::List, "-rw-r--r-- 1 jean users 10 01 oct 2004 fichier.txt", true, "fichier.txt", AttrNormal,
         10, 1096588800},
        {Format::List, "-rw-r--r-- 1 jean users 10 f\xC3\xA9vr. 14 09:00 lettre.txt", true, "lettre.txt",
         AttrNormal, 10, 1707901200},
        {Format::List, "-rw-r--r-- 1 hans users 10 M\xE4r 15  2022 maerz.txt", true, "maerz.txt", AttrNormal,
         10, 1647302400},
        // Numeric dates.
        {Format::List, "-rw-r--r-- 1 user group 1234 1999/10/12 17:12 slash.txt", true, "slash.txt",
         AttrNormal, 1234, 939748320},
        {Format::List, "-rw-r--r-- 1 user group 1234 24-04-2003 17:12 dayfirst.txt", true, "dayfirst.txt",
         AttrNormal, 1234, 1051204320},
        {Format::List, "-rw-r--r-- 1 user group 1234 2004.07.15 dotted.txt", true, "dotted.txt", AttrNormal,
         1234, 1089849600},
        {Format::List, "-rw-r--r-- 1 user group 1234 01-jun-99 monthword.txt", true, "monthword.txt",
         AttrNormal, 1234, 928195200},
        {Format::List, "-rw-r--r-- 1 user group 1234 09-26 13:45 noyear.txt", true, "noyear.txt", AttrNormal,
         1234, 1695735900},
        {Format::List, "-rw-r--r-- 1 user group 1234 3 29 03:26 numeric month.txt", true, "numeric month.txt",
         AttrNormal, 1234, 1680060360},
        {Format::List, "-rw-r--r-- 1 user staff 42 Mar 15 10:30:45 2023 seconds.txt", true, "seconds.txt",
         AttrNormal, 42, 1678876245},
        {Format::List, "-rw-r--r-- 1 user group 42 2024-03-15 10:30:45.123456789 +0100 zoned.txt", true,
         "zoned.txt", AttrNormal, 42, 1710495045},
        // Sizes and fields.
        {Format::List, "-rw-r--r-- 1 user group 33.5k Mar 15 10:30 human.txt", true, "human.txt", AttrNormal,
         34304, 1710498600},
        {Format::List, "-rw-r--r-- 1 user webusers1048576 Mar 15 10:30 glued.bin", true, "glued.bin",
         AttrNormal, 1048576, 1710498600},
        {Format::List, "-rw-r--r-- 1 2048 Mar 15 10:30 bare.txt", true, "bare.txt", AttrNormal, 2048,
         1710498600},
        {Format::List, "-rw-r--r-- 1 user group 1234 nodate.txt", true, "nodate.txt", AttrNormal, 1234,
         NoDate},
        {Format::List, "   8 -rw-r--r-- 1 user group 5000 Mar 15 10:30 blocks.txt", true, "blocks.txt",
         AttrNormal, 5000, 1710498600},
        {Format::List, "100644 1 user group 1234 1710000000 numeric.txt", true, "numeric.txt", AttrNormal,
         1234, 1710000000},
        {Format::List, "040755 2 user group 4096 1700000000 numdir", true, "numdir", AttrDirectory, 0,
         1700000000},
        {Format::List, "120777 1 user group 11 1700000000 numlink -> target", true, "numlink", AttrNormal, 11,
         1700000000, true},
        // NetWare.
        {Format::List, "d [RWCEAFMS] admin 512 Mar 15 10:30 PUBLIC", true, "PUBLIC", AttrDirectory, 0,
         1710498600},
        {Format::List, "- [R----F--] admin 4321 Jan 05 2021 report.doc", true, "report.doc", AttrNormal, 4321,
         1609804800},
        // Where a line reads two ways, the Unix reading wins: owner 3, group 29, size 2000.
        {Format::List, "-rw-r--r-- 1 3 29 2000 Mar 15 10:30 unix reading.txt", true, "unix reading.txt",
         AttrNormal, 2000, 1710498600},
        {Format::List, "-rw-r--r-- 1 user group 1234 Foo 5 2019 two words", false, "", 0, 0, -1},
    };
    return table;
}

const std::vector<Case> &dosVariants()
{
    static const std::vector<Case> table = {
        {Format::List, "2002-09-02  19:06           9,730 iis four-digit.txt", true, "iis four-digit.txt",
         AttrNormal, 9730, 1030993560},
        {Format::List, "2024-03-15  10:30       <DIR>          site", true, "site", AttrDirectory, 0,
         1710498600},
        {Format::List, "03-15-2024  10:30PM        1.234.567 grouped.zip", true, "grouped.zip", AttrNormal,
         1234567, 1710541800},
        {Format::List, "15/03/2024  10:30             123 dayfirst.txt", true, "dayfirst.txt", AttrNormal,
         123, 1710498600},
        // OS/2.
        {Format::List, "     2048           A          03-15-24   10:30  README.TXT", true, "README.TXT",
         AttrNormal, 2048, 1710498600},
        {Format::List, "        0           DIR        12-01-23   09:00  ICONS", true, "ICONS", AttrDirectory,
         0, 1701421200},
        {Format::List, "226 Transfer complete.", false, "", 0, 0, -1},
    };
    return table;
}

// EPLF and the older systems.
const std::vector<Case> &olderSystems()
{
    static const std::vector<Case> table = {
        {Format::List, "+i9876.5432,m1710498600,r,s2048,\tpage.html", true, "page.html", AttrNormal, 2048,
         1710498600},
        {Format::List, "+i9876.5433,m1700000000,/,\tstatic", true, "static", AttrDirectory, 0, 1700000000},
        {Format::List, "+i9876.5434,r,s5", false, "", 0, 0, -1},
        // VMS.
        {Format::List, "INDEX.HTML;3        12/16      15-MAR-2024 10:30:45  [WEB,ADMIN]  (RWED,RWED,RE,RE)",
         true, "INDEX.HTML", AttrNormal, 6144, 1710498645},
        {Format::List, "SUBDIR.DIR;1         1/3       02-JAN-2023 08:00:00.55  [WEB,ADMIN]  (RWE,RWE,RE,E)",
         true, "SUBDIR", AttrDirectory, 0, 1672646400},
        {Format::List, "LOGIN.COM;12   3   5-FEB-2021 14:02  [USER]  (RWED,RWED,,)", true, "LOGIN.COM",
         AttrNormal, 1536, 1612533720},
        {Format::List, "Directory DISK$USERS:[WEB]", false, "", 0, 0, -1},
        {Format::List, "Total of 3 files, 16/27 blocks.", false, "", 0, 0, -1},
        // MVS datasets and members.
        {Format::List, "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", false, "", 0, 0,
         -1},
        {Format::List, "WRK001 3390   2024/03/15  1   15  FB      80  6160  PS  SITE.HTML.DATA", true,
         "SITE.HTML.DATA", AttrNormal, 0, 1710460800},
        {Format::List, "WRK002 3390   2023/11/02  2   45  FB      80 27920  PO  SITE.PAGES", true,
         "SITE.PAGES", AttrDirectory, 0, 1698883200},
        {Format::List, "Migrated                                                SITE.OLD.DATA", true,
         "SITE.OLD.DATA", AttrNormal, 0, NoDate},
        {Format::List, " Name     VV.MM   Created       Changed      Size  Init   Mod   Id", false, "", 0, 0,
         -1},
        {Format::List, "INDEX     01.04 2024/01/10 2024/03/15 10:30    52    40     3 WEBUSR", true, "INDEX",
         AttrNormal, 0, 1710498600},
        // AS/400.
        {Format::List, "WEBOWN      52480 03/15/24 10:30:45 *STMF      index.html", true, "index.html",
         AttrNormal, 52480, 1710498645},
        {Format::List, "WEBOWN          0 03/14/24 08:00:00 *DIR       images/", true, "images",
         AttrDirectory, 0, 1710403200},
        {Format::List, "WEBOWN                            *MEM       SITELIB.FILE/PAGE.MBR", true, "PAGE.MBR",
         AttrNormal, 0, NoDate},
        // VxWorks.
        {Format::List, "      1234 Mar 15 2024 10:30:45   boot.cfg", true, "boot.cfg", AttrNormal, 1234,
         1710498645},
        {Format::List, "       512 Jan 02 2023 08:00:00   logs          <DIR>", true, "logs", AttrDirectory,
         0, 1672646400},
        // OS-9.
        {Format::List, "  0.0     24/03/15 1030  d-ewrewr     2c0      1024  CMDS", true, "CMDS",
         AttrDirectory, 0, 1710498600},
        {Format::List, "  1.4     23/12/01 0905  ----rwr-     3a1      4321  startup", true, "startup",
         AttrNormal, 4321, 1701421500},
        // HP NonStop.
        {Format::List, "File         Code             EOF  Last Modification    Owner  RWEP", false, "", 0, 0,
         -1},
        {Format::List, "WEBPAGE       101             2345 15-Mar-24 10:30:45  255,255 \"NUNU\"", true,
         "WEBPAGE", AttrNormal, 2345, 1710498645},
        // z/VM.
        {Format::List, "PROFILE  EXEC     F         80         12          1 2024-03-15 10:30:45 A1", true,
         "PROFILE.EXEC", AttrNormal, 960, 1710498645},
        {Format::List, "NOTES    TEXT     V        132         40          2 2023-11-02 08:00:00 A1", true,
         "NOTES.TEXT", AttrNormal, 0, 1698912000},
        {Format::List, "WEBDIR   -        DIR        -          -          - 2024-01-05 12:00:00 -", true,
         "WEBDIR", AttrDirectory, 0, 1704456000},
    };
    return table;
}

std::vector<Case> allCases()
{
    std::vector<Case> all;
    for (const std::vector<Case> *family : {&cases(), &unixVariants(), &dosVariants(), &olderSystems()})
        all.insert(all.end(), family->begin(), family->end());
    return all;
}

} // namespace

TEST(FtpListParser, RealServerLinesGiveTheirEntries)
{
    for (const Case &c : allCases()) {
        SCOPED_TRACE(c.line);
        FindRecord r;
        const bool parsed = FtpListParser::parseLine(c.format, c.line, Now, r);
        ASSERT_EQ(parsed, c.entry);
        if (!parsed)
            continue;
        EXPECT_EQ(r.name, c.name);
        EXPECT_EQ(r.attributes, c.attributes);
        EXPECT_EQ(r.size, c.size);
        EXPECT_EQ(r.symlink, c.symlink);
        if (c.unixTime >= 0) {
            EXPECT_EQ(r.lastWriteTime, ticksFromUnix(c.unixTime));
        } else if (c.unixTime == NoDate) {
            EXPECT_EQ(r.lastWriteTime, 0u);
        }
    }
}

// VMS puts the rest of an entry whose name is long on the next line; a name line
// that no entry line follows is dropped.
TEST(FtpListParser, VmsEntryOverTwoLines)
{
    const std::string listing =
        "Directory DISK$USERS:[WEB]\r\n\r\n"
        "A_VERY_LONG_NAME_FOR_A_PAGE_OF_THE_SITE.HTML;1\r\n"
        "                    7/8       20-MAR-2024 09:15:00  [WEB,ADMIN]  (RWED,RWED,RE,)\r\n"
        "ORPHAN_NAME_WITHOUT_ITS_ENTRY.TXT;2\r\n"
        "SHORT.TXT;1   1/3   19-MAR-2024 08:00:00  [WEB,ADMIN]  (RWED,RWED,RE,)\r\n"
        "LAST_NAME_BEFORE_THE_END.TXT;4\r\n";
    std::vector<FindRecord> records;
    FtpListParser parser(Format::List, Now, [&](FindRecord &&r) { records.push_back(std::move(r)); });
    parser.feed(listing.data(), listing.size());
    parser.finish();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "A_VERY_LONG_NAME_FOR_A_PAGE_OF_THE_SITE.HTML");
    EXPECT_EQ(records[0].size, 7u * 512);
    EXPECT_EQ(records[0].lastWriteTime, ticksFromUnix(1710926100));
    EXPECT_EQ(records[1].name, "SHORT.TXT");
}

TEST(FtpListParser, MlsdFractionsOfASecondAreKept)
{
    FindRecord r;
    ASSERT_TRUE(FtpListParser::parseMlsdLine("type=file;size=1;modify=20210615080910.123; a", r));
    EXPECT_EQ(r.lastWriteTime, ticksFromUnix(1623744550) + 1230000u);
}

// A name is bytes of its line; z/VM's is its name and type joined by a point.
bool madeOfLineBytes(const std::string &line, const std::string &name)
{
    const size_t dot = name.find('.');
    return line.find(name) != std::string::npos
           || (dot != std::string::npos && line.find(name.substr(0, dot)) != std::string::npos
               && line.find(name.substr(dot + 1)) != std::string::npos);
}

// Every line cut at every position, and with blanks and tabs put in at every
// position, must parse or be skipped without reading outside the line (run under
// AddressSanitizer); a name that comes out is always bytes of the line.
TEST(FtpListParser, TruncatedAndPaddedLinesNeverCrash)
{
    size_t variants = 0;
    for (const Case &c : allCases()) {
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
                        EXPECT_TRUE(madeOfLineBytes(line, r.name)) << line;
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
    std::vector<std::string> expected;
    for (const Case &c : allCases()) {
        if (c.format == Format::List) {
            listing += c.line + "\r\n";
            if (c.entry)
                expected.push_back(c.name);
        }
    }
    listing += "-rw-r--r-- 1 u g 9 Jan 01  2020 no line end";
    expected.push_back("no line end");

    for (size_t chunk = 1; chunk <= 97; chunk += 8) {
        std::vector<std::string> names;
        FtpListParser parser(Format::List, Now, [&](FindRecord &&r) { names.push_back(r.name); });
        for (size_t pos = 0; pos < listing.size(); pos += chunk)
            parser.feed(listing.data() + pos, std::min(chunk, listing.size() - pos));
        parser.finish();
        ASSERT_EQ(names, expected) << "chunk " << chunk;
    }

    // A listing that broke off drops its partial last line.
    std::vector<std::string> names;
    FtpListParser parser(Format::List, Now, [&](FindRecord &&r) { names.push_back(r.name); });
    parser.feed(listing.data(), listing.size());
    parser.discard();
    expected.pop_back();
    EXPECT_EQ(names, expected);
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
