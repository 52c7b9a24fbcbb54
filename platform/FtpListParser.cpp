// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FtpListParser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// A listing line longer than this is no entry of any format we read; it is
// dropped instead of growing the buffer without end.
constexpr size_t MaxLineLength = 64 * 1024;

struct Token {
    size_t begin = 0;
    size_t end = 0;
};

constexpr size_t MaxTokens = 12;

struct Tokens {
    std::array<Token, MaxTokens> items{};
    size_t count = 0;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

Tokens tokenize(std::string_view line)
{
    Tokens t;
    size_t i = 0;
    while (i < line.size() && t.count < MaxTokens) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        const size_t begin = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        t.items[t.count++] = Token{begin, i};
    }
    return t;
}

std::string_view text(std::string_view line, const Token &t)
{
    return line.substr(t.begin, t.end - t.begin);
}

// Parses a run of decimal digits as a whole; false for anything else or overflow.
bool parseNumber(std::string_view s, uint64_t &value)
{
    if (s.empty() || s.size() > 19)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (!isDigit(c))
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    value = v;
    return true;
}

bool parseNumber(std::string_view s, unsigned &value)
{
    uint64_t v = 0;
    if (s.size() > 9 || !parseNumber(s, v))
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

// Splits "a<sep>b<sep>c" into three numbers.
bool parseTriple(std::string_view s, char sep1, char sep2, unsigned &a, unsigned &b, unsigned &c)
{
    const size_t p1 = s.find(sep1);
    if (p1 == std::string_view::npos)
        return false;
    const size_t p2 = s.find(sep2, p1 + 1);
    if (p2 == std::string_view::npos)
        return false;
    return parseNumber(s.substr(0, p1), a) && parseNumber(s.substr(p1 + 1, p2 - p1 - 1), b)
           && parseNumber(s.substr(p2 + 1), c);
}

int monthFromName(std::string_view s)
{
    static constexpr std::array<std::string_view, 12> names = {"jan", "feb", "mar", "apr", "may", "jun",
                                                               "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3)
        return 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (equalsFolded(s, names[i]))
            return static_cast<int>(i) + 1;
    }
    return 0;
}

// "H:MM", "HH:MM" or "HH:MM:SS".
bool parseClock(std::string_view s, unsigned &hour, unsigned &minute, unsigned &second)
{
    const size_t c1 = s.find(':');
    if (c1 == std::string_view::npos || c1 == 0 || c1 > 2)
        return false;
    std::string_view rest = s.substr(c1 + 1);
    std::string_view secondText;
    const size_t c2 = rest.find(':');
    if (c2 != std::string_view::npos) {
        secondText = rest.substr(c2 + 1);
        rest = rest.substr(0, c2);
    }
    if (rest.size() != 2 || !parseNumber(s.substr(0, c1), hour) || !parseNumber(rest, minute))
        return false;
    second = 0;
    if (c2 != std::string_view::npos && (secondText.size() != 2 || !parseNumber(secondText, second)))
        return false;
    return hour < 24 && minute < 60 && second < 61;
}

bool validDate(int64_t year, unsigned month, unsigned day)
{
    return year >= 1601 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

int64_t unixSeconds(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                    unsigned second)
{
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

int64_t yearOf(int64_t unixTime)
{
    // Inverse of daysFromCivil, year only.
    int64_t z = (unixTime >= 0 ? unixTime : unixTime - 86399) / 86400 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    return yoe + era * 400 + (month <= 2 ? 1 : 0);
}

bool parseUnixLine(std::string_view line, int64_t now, FindRecord &record)
{
    const Tokens t = tokenize(line);
    if (t.count < 5)
        return false;
    const std::string_view perms = text(line, t.items[0]);
    if (perms.size() < 10 || std::string_view("-dlcbpsD").find(perms[0]) == std::string_view::npos)
        return false;
    for (size_t i = 1; i < 10; ++i) {
        if (std::string_view("rwxsStTlL-").find(perms[i]) == std::string_view::npos)
            return false;
    }
    const char type = perms[0];
    const bool device = type == 'c' || type == 'b';

    for (size_t i = 2; i + 1 < t.count; ++i) {
        const std::string_view sizeText = text(line, t.items[i - 1]);
        uint64_t size = 0;
        if (!device && !parseNumber(sizeText, size))
            continue;
        if (device)
            size = 0;

        unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        size_t nameFrom = 0;
        bool recent = false;
        const std::string_view first = text(line, t.items[i]);
        if (const int m = monthFromName(first); m != 0 && i + 2 < t.count) {
            month = static_cast<unsigned>(m);
            const std::string_view yearOrClock = text(line, t.items[i + 2]);
            if (!parseNumber(text(line, t.items[i + 1]), day) || day < 1 || day > 31)
                continue;
            if (yearOrClock.find(':') != std::string_view::npos) {
                if (!parseClock(yearOrClock, hour, minute, second))
                    continue;
                recent = true;
            } else if (yearOrClock.size() != 4 || !parseNumber(yearOrClock, year)) {
                continue;
            }
            nameFrom = t.items[i + 2].end;
        } else if (first.size() == 10 && first[4] == '-' && first[7] == '-'
                   && parseTriple(first, '-', '-', year, month, day)) {
            // ISO form: "2020-01-31 12:00 name".
            if (!parseClock(text(line, t.items[i + 1]), hour, minute, second))
                continue;
            nameFrom = t.items[i + 1].end;
        } else {
            continue;
        }

        int64_t seconds = 0;
        if (recent) {
            int64_t y = yearOf(now);
            seconds = unixSeconds(y, month, day, hour, minute, second);
            if (seconds > now + 86400)
                seconds = unixSeconds(y - 1, month, day, hour, minute, second);
            year = static_cast<unsigned>(y);
        } else if (validDate(year, month, day)) {
            seconds = unixSeconds(year, month, day, hour, minute, second);
        } else {
            continue;
        }

        // One blank separates the date from the name; further blanks belong to it.
        if (nameFrom < line.size() && isBlank(line[nameFrom]))
            ++nameFrom;
        std::string_view name = nameFrom < line.size() ? line.substr(nameFrom) : std::string_view();
        if (type == 'l') {
            const size_t arrow = name.find(" -> ");
            if (arrow != std::string_view::npos)
                name = name.substr(0, arrow);
        }
        record = FindRecord{};
        record.attributes = type == 'd' ? AttrDirectory : AttrNormal;
        record.size = type == 'd' ? 0 : size;
        record.lastWriteTime = ticksFromUnix(seconds);
        record.name.assign(name);
        return true;
    }
    return false;
}

bool parseDosLine(std::string_view line, FindRecord &record)
{
    const Tokens t = tokenize(line);
    if (t.count < 4)
        return false;
    unsigned month = 0, day = 0, year = 0;
    const std::string_view date = text(line, t.items[0]);
    const char sep = date.find('/') != std::string_view::npos ? '/' : '-';
    if (date.size() < 8 || !parseTriple(date, sep, sep, month, day, year))
        return false;
    const size_t yearDigits = date.size() - date.rfind(sep) - 1;
    if (yearDigits == 2)
        year += year < 70 ? 2000 : 1900;
    else if (yearDigits != 4)
        return false;
    if (!validDate(year, month, day))
        return false;

    std::string_view clock = text(line, t.items[1]);
    size_t next = 2;
    std::string_view meridiem;
    if (clock.size() > 2) {
        const std::string_view tail = clock.substr(clock.size() - 2);
        if (equalsFolded(tail, "am") || equalsFolded(tail, "pm")) {
            meridiem = tail;
            clock.remove_suffix(2);
        }
    }
    if (meridiem.empty() && t.count > 4) {
        const std::string_view word = text(line, t.items[2]);
        if (equalsFolded(word, "am") || equalsFolded(word, "pm")) {
            meridiem = word;
            next = 3;
        }
    }
    unsigned hour = 0, minute = 0, second = 0;
    if (!parseClock(clock, hour, minute, second))
        return false;
    if (!meridiem.empty()) {
        if (hour < 1 || hour > 12)
            return false;
        hour %= 12;
        if (lowerAscii(meridiem[0]) == 'p')
            hour += 12;
    }

    const Token &kind = t.items[next];
    const std::string_view kindText = text(line, kind);
    record = FindRecord{};
    if (equalsFolded(kindText, "<dir>")) {
        record.attributes = AttrDirectory;
    } else {
        std::string digits;
        for (char c : kindText) {
            if (c != ',' && c != '.')
                digits.push_back(c);
        }
        if (!parseNumber(digits, record.size))
            return false;
        record.attributes = AttrNormal;
    }
    size_t nameFrom = kind.end;
    while (nameFrom < line.size() && isBlank(line[nameFrom]))
        ++nameFrom;
    if (nameFrom >= line.size())
        return false;
    record.name.assign(line.substr(nameFrom));
    record.lastWriteTime = ticksFromUnix(unixSeconds(year, month, day, hour, minute, second));
    return true;
}

} // namespace

int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isDotName(std::string_view name)
{
    return name == "." || name == "..";
}

bool isHostileName(std::string_view name)
{
    if (name.empty())
        return true;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '/' || b < 0x20 || b == 0x7F)
            return true;
    }
    return false;
}

FtpListParser::FtpListParser(Format format, int64_t nowUnix, EntryHandler handler)
    : m_format(format), m_now(nowUnix), m_handler(std::move(handler))
{}

void FtpListParser::feed(const char *data, size_t size)
{
    while (size > 0) {
        const void *lf = std::memchr(data, '\n', size);
        const size_t take = lf ? static_cast<size_t>(static_cast<const char *>(lf) - data) : size;
        if (m_partial.size() <= MaxLineLength)
            m_partial.append(data, std::min(take, MaxLineLength + 1 - m_partial.size()));
        if (!lf)
            return;
        if (m_partial.size() <= MaxLineLength)
            parseBufferedLine(m_partial);
        m_partial.clear();
        data += take + 1;
        size -= take + 1;
    }
}

void FtpListParser::finish()
{
    if (!m_partial.empty() && m_partial.size() <= MaxLineLength)
        parseBufferedLine(m_partial);
    m_partial.clear();
}

void FtpListParser::discard()
{
    m_partial.clear();
}

void FtpListParser::parseBufferedLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return;
    FindRecord record;
    if (parseLine(m_format, line, m_now, record))
        m_handler(std::move(record));
}

bool FtpListParser::parseLine(Format format, std::string_view line, int64_t nowUnix, FindRecord &record)
{
    return format == Format::Mlsd ? parseMlsdLine(line, record) : parseListLine(line, nowUnix, record);
}

bool FtpListParser::parseListLine(std::string_view line, int64_t nowUnix, FindRecord &record)
{
    return parseUnixLine(line, nowUnix, record) || parseDosLine(line, record);
}

bool FtpListParser::parseMlsdLine(std::string_view line, FindRecord &record)
{
    const size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return false;
    std::string_view facts = line.substr(0, space);
    FindRecord r;
    r.attributes = AttrNormal;
    while (!facts.empty()) {
        const size_t semi = facts.find(';');
        const std::string_view fact = facts.substr(0, semi);
        facts = semi == std::string_view::npos ? std::string_view() : facts.substr(semi + 1);
        const size_t eq = fact.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = fact.substr(0, eq);
        const std::string_view value = fact.substr(eq + 1);
        if (equalsFolded(key, "type")) {
            if (equalsFolded(value, "cdir") || equalsFolded(value, "pdir"))
                return false;
            r.attributes = equalsFolded(value, "dir") ? AttrDirectory : AttrNormal;
        } else if (equalsFolded(key, "size")) {
            uint64_t size = 0;
            if (parseNumber(value, size))
                r.size = size;
        } else if (equalsFolded(key, "modify")) {
            // YYYYMMDDHHMMSS[.fraction], UTC.
            unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
            if (value.size() < 14 || !parseNumber(value.substr(0, 4), year)
                || !parseNumber(value.substr(4, 2), month) || !parseNumber(value.substr(6, 2), day)
                || !parseNumber(value.substr(8, 2), hour) || !parseNumber(value.substr(10, 2), minute)
                || !parseNumber(value.substr(12, 2), second) || !validDate(year, month, day) || hour > 23
                || minute > 59 || second > 60)
                continue;
            uint32_t nanos = 0;
            if (value.size() > 15 && value[14] == '.') {
                uint32_t scale = 100000000;
                for (size_t i = 15; i < value.size() && scale > 0 && isDigit(value[i]); ++i, scale /= 10)
                    nanos += static_cast<uint32_t>(value[i] - '0') * scale;
            }
            r.lastWriteTime = ticksFromUnix(unixSeconds(year, month, day, hour, minute, second), nanos);
        }
    }
    if (r.attributes & AttrDirectory)
        r.size = 0;
    r.name.assign(line.substr(space + 1));
    record = std::move(r);
    return true;
}

} // namespace platform
