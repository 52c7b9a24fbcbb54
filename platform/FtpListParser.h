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
// MLSD lines carry exact UTC times; "cdir" and "pdir" entries are no entries.
// LIST lines are read in the Unix forms (recent "Mon DD HH:MM" and older
// "Mon DD YYYY" dates, ISO "YYYY-MM-DD HH:MM", a missing group, device
// "major, minor" sizes, symbolic links "name -> target" listed under the name)
// and the DOS/IIS form ("07-09-04  08:05AM  <DIR>  name"); anything else
// ("total 12", banners, garbage) is skipped. Names are kept as raw bytes.
//
// LIST times are the server's local time and are taken as UTC; a "HH:MM" date
// gets the most recent year that does not put it more than a day after `nowUnix`.
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
};

// "." and "..": a server's own entries for the folder and its parent.
bool isDotName(std::string_view name);

// A name no local path may be made of: empty, or holding '/', NUL, a control byte
// below 0x20 or 0x7F. Backslashes and bytes >= 0x80 (Shift-JIS, UTF-8) are fine.
bool isHostileName(std::string_view name);

// Days since 1970-01-01 of a proleptic Gregorian date (no range check).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);

} // namespace platform
