// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FindRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Turns the bytes of a directory listing into find records, line by line.
//
// MLSD lines carry exact UTC times; "cdir" and "pdir" entries are no entries;
// the facts may end with a tab instead of a blank.
//
// LIST lines are read in these forms, tried in this order (where two forms could
// read a line, the Unix reading wins):
// - Unix and its relatives: "-rw-r--r--" permissions, also after an "ls -s"
//   block count, NetWare's "d [RWCEAFMS]" and octal modes ("100644"); links,
//   owner or group may be missing, the group may be glued to the size; sizes
//   may read "33.5k"; device "major, minor" sizes; dates as "Mon DD HH:MM",
//   "Mon DD YYYY", ISO (with seconds, fraction and zone), month names of the
//   common European languages and Russian, day-first ("26. Juli, 20:10"),
//   Japanese, Chinese and Korean dates marked with 年/月/日 or 년/월/일 in
//   UTF-8, CP932, EUC-JP, GBK, Big5 or EUC-KR ("3月 15 10:30", "2019年3月15日"),
//   numeric dates ("1999/10/12", "24-04-2003", "2004.07.15", "01-jun-99",
//   "09-26 13:45", "3 29 03:26"), seconds since 1970 in numeric listings, or no
//   date at all. A symbolic link "name -> target" is listed under its name and
//   marked `symlink`.
// - DOS/IIS ("07-09-04  08:05AM  <DIR>  name", "2002-09-02  19:06  9,730 name").
// - A facts line as MLSD writes it; EPLF ("+i1.2,m824255902,r,s5460,\tname").
// - VMS (sizes in 512-byte blocks, "NAME.DIR;1" a folder, versions dropped, a
//   long name on a line of its own joined with the next), MVS datasets and
//   partitioned dataset members, AS/400, OS/2, VxWorks, OS-9, HP NonStop, z/VM.
// Anything else ("total 12", banners, garbage) is skipped. Names are raw bytes.
//
// LIST times are the server's local time and are taken as UTC (a line that
// names its zone is converted); a date without a year gets the most recent year
// that does not put it more than a day after `nowUnix`; one without a time is
// taken at 00:00; one without any date gets time 0.
class FtpListParser {
public:
    enum class Format { List, Mlsd };
    using EntryHandler = std::function<void(FindRecord &&)>;

    FtpListParser(Format format, int64_t nowUnix, EntryHandler handler);

    // Feeds listing bytes; every completed line is parsed and handed on.
    void feed(const char *data, size_t size);
    // The listing ended normally: a last line without a line end still counts.
    void finish();
    // The listing broke off: a partial last line is dropped.
    void discard();

    // One line without its line end. False for a line that is no entry.
    static bool parseLine(Format format, std::string_view line, int64_t nowUnix, FindRecord &record);
    static bool parseMlsdLine(std::string_view line, FindRecord &record);
    static bool parseListLine(std::string_view line, int64_t nowUnix, FindRecord &record);

private:
    void parseBufferedLine(std::string_view line);

    Format m_format;
    int64_t m_now;
    EntryHandler m_handler;
    std::string m_partial;
    // A VMS name alone on its line, waiting for the rest of its entry.
    std::string m_held;
};

// "." and "..": a server's own entries for the folder and its parent.
bool isDotName(std::string_view name);

// A name no local path may be made of: empty, or holding '/', NUL, a control byte
// below 0x20 or 0x7F. Backslashes and bytes >= 0x80 (Shift-JIS, UTF-8) are fine.
bool isHostileName(std::string_view name);

// Days since 1970-01-01 of a proleptic Gregorian date (no range check).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);

} // namespace platform
