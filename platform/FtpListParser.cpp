// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FtpListParser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// The entry of a file with its size, or of a folder (size 0).
bool fileOrFolder(FindRecord &record, std::string_view name, bool folder, uint64_t size, uint64_t ticks)
{
    record = FindRecord{};
    record.attributes = folder ? AttrDirectory : AttrNormal;
    record.size = folder ? 0 : size;
    record.lastWriteTime = ticks;
    record.name.assign(name);
    return true;
}

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

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

char lowerAscii(char c)
{
    return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
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

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
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

// The rest of the line after a token, with all blanks before it skipped
// (column-aligned listings pad their names with any number of blanks).
std::string_view restAfter(std::string_view line, const Token &t)
{
    size_t from = t.end;
    while (from < line.size() && isBlank(line[from]))
        ++from;
    return line.substr(std::min(from, line.size()));
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

bool parseHex(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return isDigit(c) || (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f');
    });
}

// A size with its thousands separators ("9,730", "1.234.567").
bool parseGroupedNumber(std::string_view s, uint64_t &value)
{
    char digits[32];
    size_t n = 0;
    for (char c : s) {
        if (c == ',' || c == '.')
            continue;
        if (n == sizeof digits)
            return false;
        digits[n++] = c;
    }
    return parseNumber(std::string_view(digits, n), value);
}

// A size written for people: "33.5k", "2M", "1.25G", "512B".
bool parseHumanSize(std::string_view s, uint64_t &value)
{
    if (s.size() < 2)
        return false;
    uint64_t unit = 0;
    switch (lowerAscii(s.back())) {
    case 'b':
        unit = 1;
        break;
    case 'k':
        unit = 1ull << 10;
        break;
    case 'm':
        unit = 1ull << 20;
        break;
    case 'g':
        unit = 1ull << 30;
        break;
    case 't':
        unit = 1ull << 40;
        break;
    default:
        return false;
    }
    s.remove_suffix(1);
    const size_t point = s.find('.');
    uint64_t whole = 0, fraction = 0, scale = 1;
    if (!parseNumber(s.substr(0, point), whole) || whole > (1ull << 20))
        return false;
    if (point != std::string_view::npos) {
        const std::string_view digits = s.substr(point + 1);
        if (digits.size() > 3 || !parseNumber(digits, fraction))
            return false;
        for (size_t i = 0; i < digits.size(); ++i)
            scale *= 10;
    }
    value = whole * unit + fraction * unit / scale;
    return true;
}

// One of the marks a CJK date writes after a number.
enum class Mark { None, Year, Month, Day };

Mark markAt(std::string_view s, size_t &length)
{
    // Every mark starts with a byte above 0x7F.
    if (s.empty() || static_cast<unsigned char>(s[0]) < 0x80)
        return Mark::None;
    // 年, 月 and 日 in UTF-8, CP932, EUC-JP, GBK, Big5 and EUC-KR, and the
    // Korean 년, 월 and 일 in UTF-8 and EUC-KR.
    struct Spelling {
        std::string_view bytes;
        Mark mark;
    };
    static constexpr std::array<Spelling, 24> marks = {{
        {"\xE5\xB9\xB4", Mark::Year}, {"\x94\x4E", Mark::Year},    {"\xC7\xAF", Mark::Year},
        {"\xC4\xEA", Mark::Year},     {"\xA6\x7E", Mark::Year},    {"\xD2\xB4", Mark::Year},
        {"\xEB\x85\x84", Mark::Year}, {"\xB3\xE2", Mark::Year},    {"\xE6\x9C\x88", Mark::Month},
        {"\x8C\x8E", Mark::Month},    {"\xB7\xEE", Mark::Month},   {"\xD4\xC2", Mark::Month},
        {"\xA4\xEB", Mark::Month},    {"\xEA\xC5", Mark::Month},   {"\xEC\x9B\x94", Mark::Month},
        {"\xBF\xF9", Mark::Month},    {"\xE6\x97\xA5", Mark::Day}, {"\x93\xFA", Mark::Day},
        {"\xC6\xFC", Mark::Day},      {"\xC8\xD5", Mark::Day},     {"\xA4\xE9", Mark::Day},
        {"\xEC\xED", Mark::Day},      {"\xEC\x9D\xBC", Mark::Day}, {"\xC0\xCF", Mark::Day},
    }};
    for (const Spelling &m : marks) {
        if (s.substr(0, m.bytes.size()) == m.bytes) {
            length = m.bytes.size();
            return m.mark;
        }
    }
    return Mark::None;
}

// Ends `s` with the mark `want` (two or three bytes)? Then it is cut off.
bool cutMark(std::string_view &s, Mark want)
{
    // Every mark's first byte is above 0x7F, and marks are two or three bytes.
    const size_t n = s.size();
    if (n < 3 || (static_cast<unsigned char>(s[n - 2]) < 0x80 && static_cast<unsigned char>(s[n - 3]) < 0x80))
        return false;
    for (size_t k : {size_t(3), size_t(2)}) {
        size_t length = 0;
        if (s.size() > k && markAt(s.substr(s.size() - k), length) == want && length == k) {
            s.remove_suffix(k);
            return true;
        }
    }
    return false;
}

// English three-letter month names, the form almost every server writes.
int monthFromName(std::string_view s)
{
    if (s.size() != 3)
        return 0;
    auto packed = [](char a, char b, char c) {
        return static_cast<uint32_t>(static_cast<unsigned char>(a)) << 16
               | static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 | static_cast<unsigned char>(c);
    };
    static constexpr std::array<uint32_t, 12> names = {
        packed('j', 'a', 'n'), packed('f', 'e', 'b'), packed('m', 'a', 'r'), packed('a', 'p', 'r'),
        packed('m', 'a', 'y'), packed('j', 'u', 'n'), packed('j', 'u', 'l'), packed('a', 'u', 'g'),
        packed('s', 'e', 'p'), packed('o', 'c', 't'), packed('n', 'o', 'v'), packed('d', 'e', 'c')};
    const uint32_t word = packed(lowerAscii(s[0]), lowerAscii(s[1]), lowerAscii(s[2]));
    for (size_t i = 0; i < names.size(); ++i) {
        if (word == names[i])
            return static_cast<int>(i) + 1;
    }
    return 0;
}

// A month written as a word in one of the languages servers are set up in, full
// or abbreviated, in UTF-8 or Latin-1, with a closing '.' or ',' allowed
// ("Juli", "Okt.", "févr", "März,", "sept").
int monthFromWord(std::string_view s)
{
    if (!s.empty() && (s.back() == '.' || s.back() == ','))
        s.remove_suffix(1);
    if (s.size() < 3 || s.size() > 12)
        return 0;
    if (const int m = monthFromName(s))
        return m;
    struct Spelling {
        std::string_view word;
        int month;
    };
    static constexpr Spelling spellings[] = {
        {"jan", 1},
        {"january", 1},
        {"januar", 1},
        {"j\xC3\xA4nner", 1},
        {"j\xE4nner", 1},
        {"j\xC3\xA4n", 1},
        {"j\xE4n", 1},
        {"janv", 1},
        {"janvier", 1},
        {"ene", 1},
        {"enero", 1},
        {"gen", 1},
        {"gennaio", 1},
        {"januari", 1},
        {"janeiro", 1},
        {"\xD1\x8F\xD0\xBD\xD0\xB2", 1},
        {"feb", 2},
        {"february", 2},
        {"februar", 2},
        {"f\xC3\xA9v", 2},
        {"f\xE9v", 2},
        {"f\xC3\xA9vr", 2},
        {"f\xE9vr", 2},
        {"f\xC3\xA9vrier", 2},
        {"f\xE9vrier", 2},
        {"febrero", 2},
        {"febbraio", 2},
        {"februari", 2},
        {"fev", 2},
        {"fevereiro", 2},
        {"\xD1\x84\xD0\xB5\xD0\xB2", 2},
        {"mar", 3},
        {"march", 3},
        {"m\xC3\xA4rz", 3},
        {"m\xE4rz", 3},
        {"m\xC3\xA4r", 3},
        {"m\xE4r", 3},
        {"mrz", 3},
        {"mars", 3},
        {"marzo", 3},
        {"maart", 3},
        {"mrt", 3},
        {"mar\xC3\xA7o", 3},
        {"mar\xE7o", 3},
        {"\xD0\xBC\xD0\xB0\xD1\x80", 3},
        {"apr", 4},
        {"april", 4},
        {"avr", 4},
        {"avril", 4},
        {"abr", 4},
        {"abril", 4},
        {"aprile", 4},
        {"\xD0\xB0\xD0\xBF\xD1\x80", 4},
        {"may", 5},
        {"mai", 5},
        {"mayo", 5},
        {"mag", 5},
        {"maggio", 5},
        {"mei", 5},
        {"maio", 5},
        {"maj", 5},
        {"\xD0\xBC\xD0\xB0\xD1\x8F", 5},
        {"\xD0\xBC\xD0\xB0\xD0\xB9", 5},
        {"jun", 6},
        {"june", 6},
        {"juni", 6},
        {"juin", 6},
        {"junio", 6},
        {"giu", 6},
        {"giugno", 6},
        {"junho", 6},
        {"\xD0\xB8\xD1\x8E\xD0\xBD", 6},
        {"jul", 7},
        {"july", 7},
        {"juli", 7},
        {"juil", 7},
        {"juillet", 7},
        {"julio", 7},
        {"lug", 7},
        {"luglio", 7},
        {"julho", 7},
        {"\xD0\xB8\xD1\x8E\xD0\xBB", 7},
        {"aug", 8},
        {"august", 8},
        {"ao\xC3\xBBt", 8},
        {"ao\xFBt", 8},
        {"ao\xC3\xBB", 8},
        {"ao\xFB", 8},
        {"ago", 8},
        {"agosto", 8},
        {"augustus", 8},
        {"augusti", 8},
        {"\xD0\xB0\xD0\xB2\xD0\xB3", 8},
        {"sep", 9},
        {"sept", 9},
        {"september", 9},
        {"septembre", 9},
        {"septiembre", 9},
        {"setiembre", 9},
        {"set", 9},
        {"settembre", 9},
        {"setembro", 9},
        {"\xD1\x81\xD0\xB5\xD0\xBD", 9},
        {"oct", 10},
        {"october", 10},
        {"oktober", 10},
        {"okt", 10},
        {"octobre", 10},
        {"octubre", 10},
        {"ott", 10},
        {"ottobre", 10},
        {"out", 10},
        {"outubro", 10},
        {"\xD0\xBE\xD0\xBA\xD1\x82", 10},
        {"nov", 11},
        {"november", 11},
        {"novembre", 11},
        {"noviembre", 11},
        {"novembro", 11},
        {"\xD0\xBD\xD0\xBE\xD1\x8F", 11},
        {"dec", 12},
        {"december", 12},
        {"dezember", 12},
        {"dez", 12},
        {"d\xC3\xA9"
         "cembre",
         12},
        {"d\xE9"
         "cembre",
         12},
        {"d\xC3\xA9"
         "c",
         12},
        {"d\xE9"
         "c",
         12},
        {"dic", 12},
        {"diciembre", 12},
        {"dicembre", 12},
        {"dezembro", 12},
        {"des", 12},
        {"\xD0\xB4\xD0\xB5\xD0\xBA", 12},
    };
    char lowered[12];
    for (size_t i = 0; i < s.size(); ++i)
        lowered[i] = lowerAscii(s[i]);
    const std::string_view word(lowered, s.size());
    for (const Spelling &spelling : spellings) {
        if (spelling.word == word)
            return spelling.month;
    }
    return 0;
}

// "H:MM", "HH:MM", "HH:MM:SS" or "HH:MM:SS.fraction" (the fraction is dropped).
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
        const size_t point = secondText.find('.');
        if (point != std::string_view::npos) {
            if (!allDigits(secondText.substr(point + 1)))
                return false;
            secondText = secondText.substr(0, point);
        }
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

// A date and time as a listing line gives them.
struct Stamp {
    int64_t year = -1; // -1: the line gives no year
    unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int64_t zone = 0;      // seconds east of UTC, when the line names its zone
    int64_t unixTime = -1; // a line that gives seconds since 1970 instead
    size_t next = 0;       // the first token after the date
};

int64_t fullYear(unsigned year, size_t digits)
{
    if (digits == 2)
        return year < 70 ? 2000 + year : 1900 + year;
    return digits == 4 ? year : -2;
}

// Seconds since 1970 of a stamp. A date without a year gets the most recent year
// that does not put it more than a day after `now`; one without a time is 00:00.
bool resolveStamp(const Stamp &st, int64_t now, int64_t &seconds)
{
    if (st.unixTime >= 0) {
        seconds = st.unixTime;
        return true;
    }
    if (st.year < 0) {
        if (st.month < 1 || st.month > 12 || st.day < 1 || st.day > 31)
            return false;
        // Every line of a listing asks for the same year.
        thread_local int64_t cachedNow = INT64_MIN, cachedYear = 0;
        if (cachedNow != now) {
            cachedNow = now;
            cachedYear = yearOf(now);
        }
        const int64_t y = cachedYear;
        seconds = unixSeconds(y, st.month, st.day, st.hour, st.minute, st.second);
        if (seconds > now + 86400)
            seconds = unixSeconds(y - 1, st.month, st.day, st.hour, st.minute, st.second);
    } else {
        if (!validDate(st.year, st.month, st.day))
            return false;
        seconds = unixSeconds(st.year, st.month, st.day, st.hour, st.minute, st.second);
    }
    seconds -= st.zone;
    return true;
}

// "15", "15." or "15日".
bool parseDay(std::string_view s, unsigned &day)
{
    if (!s.empty() && (s.back() == '.' || s.back() == ','))
        s.remove_suffix(1);
    else
        cutMark(s, Mark::Day);
    return !s.empty() && s.size() <= 2 && parseNumber(s, day) && day >= 1 && day <= 31;
}

// The token after month and day: a time, or a year ("2019", "2019年").
bool parseYearOrClock(std::string_view s, Stamp &st)
{
    if (s.find(':') != std::string_view::npos)
        return parseClock(s, st.hour, st.minute, st.second);
    cutMark(s, Mark::Year);
    unsigned year = 0;
    if (s.size() != 4 || !parseNumber(s, year))
        return false;
    st.year = year;
    return true;
}

// "+0100" or "-0530".
bool parseZone(std::string_view s, int64_t &zone)
{
    unsigned hhmm = 0;
    if (s.size() != 5 || (s[0] != '+' && s[0] != '-') || !parseNumber(s.substr(1), hhmm) || hhmm % 100 > 59
        || hhmm > 1400)
        return false;
    zone = (s[0] == '-' ? -1 : 1) * static_cast<int64_t>(hhmm / 100 * 3600 + hhmm % 100 * 60);
    return true;
}

enum class Order { MonthFirst, DayFirst };

// A date in one token: "1999/10/12", "2004.07.15", "24-04-2003", "01-jun-99",
// "15-MAR-2024", or month and day alone ("09-26"). Numbers of two digits are
// read in `order` unless one of them can only be a day; a four-digit first
// number is the year.
bool parseDateToken(std::string_view s, Stamp &st, Order order)
{
    const size_t p1 = s.find_first_of("-/.");
    if (p1 == std::string_view::npos || p1 == 0)
        return false;
    const char sep = s[p1];
    const size_t p2 = s.find(sep, p1 + 1);
    const std::string_view a = s.substr(0, p1);
    const std::string_view b =
        s.substr(p1 + 1, p2 == std::string_view::npos ? std::string_view::npos : p2 - p1 - 1);
    unsigned x = 0, y = 0, z = 0;
    if (p2 == std::string_view::npos) {
        if (a.size() > 2 || b.size() > 2 || !parseNumber(a, x) || !parseNumber(b, y))
            return false;
        st.month = x;
        st.day = y;
        st.year = -1;
        return x >= 1 && x <= 12 && y >= 1 && y <= 31;
    }
    const std::string_view c = s.substr(p2 + 1);
    if (c.size() > 4 || !parseNumber(c, z) || a.size() > 4 || !parseNumber(a, x))
        return false;
    if (a.size() == 4) {
        if (c.size() > 2 || b.size() > 2 || !parseNumber(b, y))
            return false;
        st.year = x;
        st.month = y;
        st.day = z;
        return true;
    }
    if (a.size() > 2 || (c.size() != 2 && c.size() != 4))
        return false;
    if (const int m = monthFromWord(b); m != 0) {
        st.day = x;
        st.month = static_cast<unsigned>(m);
        st.year = fullYear(z, c.size());
        return true;
    }
    if (b.size() > 2 || !parseNumber(b, y))
        return false;
    const bool dayFirst = x > 12 || (order == Order::DayFirst && y <= 12);
    st.day = dayFirst ? x : y;
    st.month = dayFirst ? y : x;
    st.year = fullYear(z, c.size());
    return true;
}

// CJK dates: "3月 15 10:30", "3月 15日 2019", "2019年 3月 15日", "2019年3月15日 10:30",
// the month always marked; a time or a year may follow.
bool readCjkDate(std::string_view line, const Tokens &t, size_t i, Stamp &st)
{
    int64_t year = -1;
    unsigned month = 0, day = 0;
    bool marked = false;
    size_t k = i;
    while (k < t.count && day == 0 && k < i + 3) {
        std::string_view s = text(line, t.items[k]);
        bool ok = true;
        while (!s.empty() && ok) {
            size_t digits = 0;
            while (digits < s.size() && digits < 5 && isDigit(s[digits]))
                ++digits;
            unsigned value = 0;
            if (digits == 0 || !parseNumber(s.substr(0, digits), value)) {
                ok = false;
                break;
            }
            size_t length = 0;
            const Mark mark = markAt(s.substr(digits), length);
            if (mark == Mark::None) {
                // A bare day after the marked month.
                ok = digits == s.size() && digits <= 2 && month != 0 && day == 0 && marked;
                day = value;
                s = {};
                continue;
            }
            if (mark == Mark::Year && year < 0 && month == 0 && digits == 4)
                year = value;
            else if (mark == Mark::Month && month == 0 && day == 0 && digits <= 2)
                month = value;
            else if (mark == Mark::Day && month != 0 && day == 0 && digits <= 2)
                day = value;
            else
                ok = false;
            marked = marked || mark == Mark::Month;
            s = s.substr(digits + length);
        }
        if (!ok)
            return false;
        ++k;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    st.year = year;
    st.month = month;
    st.day = day;
    if (k < t.count) {
        const std::string_view after = text(line, t.items[k]);
        if (after.find(':') != std::string_view::npos) {
            if (parseClock(after, st.hour, st.minute, st.second))
                ++k;
        } else if (year < 0 && parseYearOrClock(after, st)) {
            ++k;
        }
    }
    st.next = k;
    return true;
}

// The date of a Unix-form line starting at token i. Pass 1 reads what the Unix
// form writes ("Mon DD HH:MM", "Mon DD YYYY", ISO); pass 2, tried only when no
// such date fits anywhere in the line, the localized and numeric forms.
bool readUnixDate(std::string_view line, const Tokens &t, size_t i, int pass, bool octal, Stamp &st)
{
    const size_t n = t.count;
    const std::string_view a = text(line, t.items[i]);
    unsigned day = 0;
    if (pass == 1) {
        // "Mar 15 10:30", "Mar 15  2019", "Juli 26 20:10", "Mar 15 10:30:45 2024".
        if (i + 2 < n && parseDay(text(line, t.items[i + 1]), day)) {
            const int month = monthFromWord(a);
            if (month == 0 || !parseYearOrClock(text(line, t.items[i + 2]), st))
                return false;
            st.month = static_cast<unsigned>(month);
            st.day = day;
            st.next = i + 3;
            const std::string_view clock = text(line, t.items[i + 2]);
            unsigned year = 0;
            if (clock.size() == 8 && i + 4 < n && text(line, t.items[i + 3]).size() == 4
                && parseNumber(text(line, t.items[i + 3]), year)) {
                st.year = year;
                st.next = i + 4;
            }
            return true;
        }
        // ISO: "2020-01-31 12:00", "2020-01-31 12:00:05.123456789 +0100".
        if (a.size() == 10 && a[4] == '-' && a[7] == '-' && i + 1 < n
            && parseDateToken(a, st, Order::DayFirst)
            && parseClock(text(line, t.items[i + 1]), st.hour, st.minute, st.second)) {
            st.next = i + 2;
            if (i + 3 < n && parseZone(text(line, t.items[i + 2]), st.zone))
                st.next = i + 3;
            return true;
        }
        return false;
    }
    if (readUnixDate(line, t, i, 1, octal, st))
        return true;
    st = Stamp{};
    if (readCjkDate(line, t, i, st))
        return true;
    st = Stamp{};
    // Day first: "26. Juli, 20:10", "2. Okt. 2003", "01 oct 2004".
    if (i + 2 < n && parseDay(a, day)) {
        if (const int month = monthFromWord(text(line, t.items[i + 1]));
            month != 0 && parseYearOrClock(text(line, t.items[i + 2]), st)) {
            st.month = static_cast<unsigned>(month);
            st.day = day;
            st.next = i + 3;
            return true;
        }
        st = Stamp{};
        // Month as a number: "3 29 03:26".
        unsigned month = 0;
        const std::string_view dayText = text(line, t.items[i + 1]);
        if (a.size() <= 2 && parseNumber(a, month) && month >= 1 && month <= 12 && dayText.size() <= 2
            && parseNumber(dayText, day) && day >= 1 && day <= 31
            && parseYearOrClock(text(line, t.items[i + 2]), st)) {
            st.month = month;
            st.day = day;
            st.next = i + 3;
            return true;
        }
        st = Stamp{};
    }
    // One-token dates: "1999/10/12 17:12", "24-04-2003 17:12", "2004.07.15",
    // "01-jun-99", "09-26 13:45".
    if (parseDateToken(a, st, Order::DayFirst)) {
        st.next = i + 1;
        if (i + 1 < n && parseClock(text(line, t.items[i + 1]), st.hour, st.minute, st.second))
            st.next = i + 2;
        else if (st.year < 0)
            return false;
        return true;
    }
    // Numeric listings give seconds since 1970.
    uint64_t seconds = 0;
    if (octal && a.size() >= 9 && a.size() <= 11 && parseNumber(a, seconds) && seconds < 253402300800ull) {
        st.unixTime = static_cast<int64_t>(seconds);
        st.next = i + 1;
        return true;
    }
    return false;
}

// The size before the date. Pass 2 also reads "33.5k" and a size glued to a
// long group name ("webusers1048576").
bool readUnixSize(std::string_view s, int pass, uint64_t &size)
{
    if (parseNumber(s, size))
        return true;
    if (pass == 1)
        return false;
    if (parseHumanSize(s, size))
        return true;
    size_t digits = 0;
    while (digits < s.size() && isDigit(s[s.size() - 1 - digits]))
        ++digits;
    if (digits == 0 || digits == s.size() || isDigit(s[s.size() - 1 - digits]))
        return false;
    const char before = lowerAscii(s[s.size() - 1 - digits]);
    return before >= 'a' && before <= 'z' && parseNumber(s.substr(s.size() - digits), size);
}

bool isPermissions(std::string_view perms)
{
    // Bit 0: a file type letter, bit 1: a permission letter.
    static constexpr auto classes = [] {
        std::array<uint8_t, 256> table{};
        for (char c : std::string_view("-dlcbpsD"))
            table[static_cast<unsigned char>(c)] |= 1;
        for (char c : std::string_view("rwxsStTlL-"))
            table[static_cast<unsigned char>(c)] |= 2;
        return table;
    }();
    if (perms.size() < 10 || !(classes[static_cast<unsigned char>(perms[0])] & 1))
        return false;
    for (size_t i = 1; i < 10; ++i) {
        if (!(classes[static_cast<unsigned char>(perms[i])] & 2))
            return false;
    }
    return true;
}

// The Unix form and its relatives: "-rw-r--r--" permissions (with a block count
// before them, "ls -s"), NetWare's "d [RWCEAFMS]" and numeric listings with an
// octal mode ("100644"); links, owner and group may be missing.
bool parseUnixLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    if (t.count < 3)
        return false;
    size_t at = 0;
    if (allDigits(text(line, t.items[0])) && isPermissions(text(line, t.items[1])))
        at = 1;
    const std::string_view perms = text(line, t.items[at]);
    char type = 0;
    size_t fields = at + 1;
    bool octal = false;
    if (isPermissions(perms)) {
        type = perms[0];
    } else if (perms.size() == 1 && (perms[0] == 'd' || perms[0] == '-')) {
        const std::string_view rights = text(line, t.items[at + 1]);
        if (rights.size() < 3 || rights.front() != '[' || rights.back() != ']')
            return false;
        type = perms[0];
        fields = at + 2;
    } else if (perms.size() == 6
               && std::all_of(perms.begin(), perms.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        const std::string_view kind = perms.substr(0, 2);
        static constexpr std::array<std::pair<std::string_view, char>, 7> kinds = {
            {{"04", 'd'}, {"10", '-'}, {"12", 'l'}, {"02", 'c'}, {"06", 'b'}, {"01", 'p'}, {"14", 's'}}};
        for (const auto &[mode, letter] : kinds) {
            if (kind == mode)
                type = letter;
        }
        if (type == 0)
            return false;
        octal = true;
    } else {
        return false;
    }
    const bool device = type == 'c' || type == 'b';

    for (int pass = 1; pass <= 2; ++pass) {
        for (size_t i = fields + 1; i + 1 < t.count; ++i) {
            uint64_t size = 0;
            if (!device && !readUnixSize(text(line, t.items[i - 1]), pass, size))
                continue;
            Stamp st;
            int64_t seconds = 0;
            if (!readUnixDate(line, t, i, pass, octal, st) || st.next >= t.count + 1
                || !resolveStamp(st, now, seconds))
                continue;
            // One blank separates the date from the name; further blanks belong to it.
            size_t nameFrom = t.items[st.next - 1].end;
            if (nameFrom < line.size() && isBlank(line[nameFrom]))
                ++nameFrom;
            // An empty name stays an entry: the caller refuses and reports it.
            std::string_view name = nameFrom < line.size() ? line.substr(nameFrom) : std::string_view();
            record = FindRecord{};
            if (type == 'l') {
                const size_t arrow = name.find(" -> ");
                if (arrow != std::string_view::npos)
                    name = name.substr(0, arrow);
                record.symlink = true;
            }
            record.attributes = type == 'd' ? AttrDirectory : AttrNormal;
            record.size = type == 'd' || device ? 0 : size;
            record.lastWriteTime = ticksFromUnix(seconds);
            record.name.assign(name);
            return true;
        }
    }

    // No date at all: "-rw-r--r-- 1 owner group 1234 name", the name one word
    // (a longer rest may be a date we do not read, and is never taken as a name).
    uint64_t size = 0;
    for (size_t sizeAt : {fields + 3, fields + 2}) {
        if (t.count == sizeAt + 2 && t.count < MaxTokens && allDigits(text(line, t.items[fields]))
            && parseNumber(text(line, t.items[sizeAt]), size)) {
            record = FindRecord{};
            record.attributes = type == 'd' ? AttrDirectory : AttrNormal;
            record.size = type == 'd' || device ? 0 : size;
            record.symlink = type == 'l';
            record.name.assign(text(line, t.items[sizeAt + 1]));
            return true;
        }
    }
    return false;
}

// "08:05AM", or "08:05" followed by a separate "AM" (then `next` moves past it).
bool readDosClock(std::string_view line, const Tokens &t, size_t &next, Stamp &st)
{
    if (next >= t.count)
        return false;
    std::string_view clock = text(line, t.items[next]);
    std::string_view meridiem;
    if (clock.size() > 2) {
        const std::string_view tail = clock.substr(clock.size() - 2);
        if (equalsFolded(tail, "am") || equalsFolded(tail, "pm")) {
            meridiem = tail;
            clock.remove_suffix(2);
        }
    }
    ++next;
    if (meridiem.empty() && next + 1 < t.count) {
        const std::string_view word = text(line, t.items[next]);
        if (equalsFolded(word, "am") || equalsFolded(word, "pm")) {
            meridiem = word;
            ++next;
        }
    }
    if (!parseClock(clock, st.hour, st.minute, st.second))
        return false;
    if (!meridiem.empty()) {
        if (st.hour < 1 || st.hour > 12)
            return false;
        st.hour %= 12;
        if (lowerAscii(meridiem[0]) == 'p')
            st.hour += 12;
    }
    return true;
}

// DOS and IIS: "07-09-04  08:05AM  <DIR>  name", "2002-09-02  19:06  9,730 name".
bool parseDosLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    if (t.count < 4)
        return false;
    Stamp st;
    const std::string_view date = text(line, t.items[0]);
    if (date.size() < 8 || date.find_first_of("-/") == std::string_view::npos
        || !parseDateToken(date, st, Order::MonthFirst) || st.year < 0)
        return false;
    size_t next = 1;
    int64_t seconds = 0;
    if (!readDosClock(line, t, next, st) || !resolveStamp(st, now, seconds) || next >= t.count)
        return false;
    const Token &kind = t.items[next];
    const std::string_view kindText = text(line, kind);
    record = FindRecord{};
    if (equalsFolded(kindText, "<dir>")) {
        record.attributes = AttrDirectory;
    } else {
        if (!parseGroupedNumber(kindText, record.size))
            return false;
        record.attributes = AttrNormal;
    }
    const std::string_view name = restAfter(line, kind);
    if (name.empty())
        return false;
    record.name.assign(name);
    record.lastWriteTime = ticksFromUnix(seconds);
    return true;
}

// OS/2: "  1234  A          03-15-24   10:30  name", "0  DIR  03-15-24  10:30  folder".
bool parseOs2Line(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    uint64_t size = 0;
    if (t.count < 4 || !parseNumber(text(line, t.items[0]), size))
        return false;
    bool folder = false;
    size_t at = 1;
    for (; at < t.count && at < 5; ++at) {
        const std::string_view word = text(line, t.items[at]);
        if (word == "DIR")
            folder = true;
        else if (word.size() != 1 || std::string_view("ARSH").find(word[0]) == std::string_view::npos)
            break;
    }
    if (at + 1 >= t.count)
        return false;
    Stamp st;
    const std::string_view date = text(line, t.items[at]);
    if (date.size() != 8 || date[2] != '-' || date[5] != '-' || !parseDateToken(date, st, Order::MonthFirst)
        || !parseClock(text(line, t.items[at + 1]), st.hour, st.minute, st.second))
        return false;
    int64_t seconds = 0;
    const std::string_view name = restAfter(line, t.items[at + 1]);
    if (name.empty() || !resolveStamp(st, now, seconds))
        return false;
    return fileOrFolder(record, name, folder, size, ticksFromUnix(seconds));
}

// EPLF: "+i8388621.29609,m824255902,r,s5460,\tname" ('/' marks a folder, 'r' a
// file, "s" the size, "m" the time in seconds since 1970).
bool parseEplfLine(std::string_view line, FindRecord &record)
{
    const size_t tab = line.find('\t');
    if (line.size() < 3 || line[0] != '+' || tab == std::string_view::npos || tab + 1 >= line.size())
        return false;
    std::string_view facts = line.substr(1, tab - 1);
    FindRecord r;
    r.attributes = AttrNormal;
    while (!facts.empty()) {
        const size_t comma = facts.find(',');
        const std::string_view fact = facts.substr(0, comma);
        facts = comma == std::string_view::npos ? std::string_view() : facts.substr(comma + 1);
        if (fact.empty())
            continue;
        uint64_t value = 0;
        if (fact == "/")
            r.attributes = AttrDirectory;
        else if (fact[0] == 's' && parseNumber(fact.substr(1), value))
            r.size = value;
        else if (fact[0] == 'm' && parseNumber(fact.substr(1), value) && value < 253402300800ull)
            r.lastWriteTime = ticksFromUnix(static_cast<int64_t>(value));
    }
    if (r.isDirectory())
        r.size = 0;
    r.name.assign(line.substr(tab + 1));
    record = std::move(r);
    return true;
}

bool isVmsName(std::string_view s, size_t &semicolon)
{
    semicolon = s.rfind(';');
    if (semicolon == std::string_view::npos || semicolon == 0 || !allDigits(s.substr(semicolon + 1)))
        return false;
    return std::all_of(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(semicolon), [](char c) {
        return isDigit(c) || isUpper(c) || (c >= 'a' && c <= 'z')
               || std::string_view("$_-.~").find(c) != std::string_view::npos;
    });
}

// VMS: "NAME.EXT;3   12/16   15-MAR-2024 10:30:45  [GROUP,OWNER]  (RWED,RWED,RE,)";
// the size is in blocks of 512 bytes; "NAME.DIR;1" is the folder NAME.
bool parseVmsLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    size_t semicolon = 0;
    if (t.count < 3 || !isVmsName(text(line, t.items[0]), semicolon))
        return false;
    const std::string_view blocks = text(line, t.items[1]);
    uint64_t used = 0;
    if (!parseNumber(blocks.substr(0, blocks.find('/')), used)
        || (blocks.find('/') != std::string_view::npos && !allDigits(blocks.substr(blocks.find('/') + 1))))
        return false;
    Stamp st;
    const std::string_view date = text(line, t.items[2]);
    if (date.find('-') == std::string_view::npos || !parseDateToken(date, st, Order::DayFirst) || st.year < 0
        || !monthFromName(date.substr(date.find('-') + 1, 3)))
        return false;
    if (t.count > 3)
        parseClock(text(line, t.items[3]), st.hour, st.minute, st.second);
    int64_t seconds = 0;
    if (!resolveStamp(st, now, seconds))
        return false;
    std::string_view name = text(line, t.items[0]).substr(0, semicolon);
    record = FindRecord{};
    record.attributes = AttrNormal;
    if (name.size() > 4 && equalsFolded(name.substr(name.size() - 4), ".dir")) {
        name.remove_suffix(4);
        record.attributes = AttrDirectory;
    } else {
        record.size = used * 512;
    }
    record.name.assign(name);
    record.lastWriteTime = ticksFromUnix(seconds);
    return true;
}

// MVS: datasets ("WORK01 3390 2024/03/15 1 15 FB 80 6160 PS USER.DATA",
// partitioned ones "PO" are folders, "Migrated USER.OLD") and the members of a
// partitioned dataset ("MEMBER 01.03 2024/01/10 2024/03/15 10:30 12 10 0 USER").
bool parseMvsLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    auto tok = [&](size_t k) { return text(line, t.items[k]); };
    if (t.count == 2 && tok(0) == "Migrated") {
        record = FindRecord{};
        record.attributes = AttrNormal;
        record.name.assign(tok(1));
        return true;
    }
    Stamp st;
    int64_t seconds = 0;
    if (t.count == 10 && tok(1).size() == 4 && allDigits(tok(1))
        && parseDateToken(tok(2), st, Order::MonthFirst) && st.year >= 0 && allDigits(tok(3))
        && allDigits(tok(4)) && allDigits(tok(6)) && allDigits(tok(7)) && resolveStamp(st, now, seconds)) {
        const std::string_view dsorg = tok(8);
        if (dsorg != "PS" && dsorg != "PO" && dsorg != "PO-E" && dsorg != "DA" && dsorg != "VS")
            return false;
        record = FindRecord{};
        record.attributes = dsorg.substr(0, 2) == "PO" ? AttrDirectory : AttrNormal;
        record.lastWriteTime = ticksFromUnix(seconds);
        record.name.assign(tok(9));
        return true;
    }
    const std::string_view version = tok(1);
    if (t.count == 9 && version.size() == 5 && version[2] == '.' && allDigits(version.substr(0, 2))
        && allDigits(version.substr(3)) && parseDateToken(tok(3), st, Order::MonthFirst) && st.year >= 0
        && tok(3)[4] == '/' && parseClock(tok(4), st.hour, st.minute, st.second) && allDigits(tok(5))
        && allDigits(tok(6)) && allDigits(tok(7)) && resolveStamp(st, now, seconds)) {
        record = FindRecord{};
        record.attributes = AttrNormal;
        record.lastWriteTime = ticksFromUnix(seconds);
        record.name.assign(tok(0));
        return true;
    }
    return false;
}

// AS/400: "OWNER  12345 03/15/24 10:30:45 *STMF  name.txt", "OWNER 0 ... *DIR dir/",
// and members without size or date ("OWNER  *MEM  LIB.FILE/MEMBER.MBR").
bool parseAs400Line(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    auto isType = [](std::string_view s) {
        return s.size() > 2 && s[0] == '*' && std::all_of(s.begin() + 1, s.end(), isUpper);
    };
    size_t typeAt = 0;
    Stamp st;
    int64_t seconds = 0;
    uint64_t size = 0;
    if (t.count == 3 && isType(text(line, t.items[1]))) {
        typeAt = 1;
    } else if (t.count >= 6 && isType(text(line, t.items[4])) && parseNumber(text(line, t.items[1]), size)
               && parseDateToken(text(line, t.items[2]), st, Order::MonthFirst) && st.year >= 0
               && parseClock(text(line, t.items[3]), st.hour, st.minute, st.second)
               && resolveStamp(st, now, seconds)) {
        typeAt = 4;
    } else {
        return false;
    }
    const std::string_view type = text(line, t.items[typeAt]);
    std::string_view name = restAfter(line, t.items[typeAt]);
    bool folder = type == "*DIR" || type == "*LIB" || type == "*FLR";
    if (!name.empty() && name.back() == '/') {
        name.remove_suffix(1);
        folder = true;
    }
    // A member is listed with its file: "LIB.FILE/MEMBER.MBR".
    if (const size_t slash = name.rfind('/'); slash != std::string_view::npos && !folder)
        name = name.substr(slash + 1);
    if (name.empty())
        return false;
    return fileOrFolder(record, name, folder, size, typeAt == 4 ? ticksFromUnix(seconds) : 0);
}

// VxWorks: "    1234 Mar 15 2024 10:30:45   name", "512 ... folder   <DIR>".
bool parseVxWorksLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    uint64_t size = 0;
    Stamp st;
    unsigned year = 0;
    int64_t seconds = 0;
    if (t.count < 6 || !parseNumber(text(line, t.items[0]), size))
        return false;
    const int month = monthFromName(text(line, t.items[1]));
    if (month == 0 || !parseDay(text(line, t.items[2]), st.day) || text(line, t.items[3]).size() != 4
        || !parseNumber(text(line, t.items[3]), year)
        || !parseClock(text(line, t.items[4]), st.hour, st.minute, st.second))
        return false;
    st.month = static_cast<unsigned>(month);
    st.year = year;
    std::string_view name = restAfter(line, t.items[4]);
    bool folder = false;
    if (name.size() > 5 && name.substr(name.size() - 5) == "<DIR>") {
        name.remove_suffix(5);
        while (!name.empty() && isBlank(name.back()))
            name.remove_suffix(1);
        folder = true;
    }
    if (name.empty() || !resolveStamp(st, now, seconds))
        return false;
    return fileOrFolder(record, name, folder, size, ticksFromUnix(seconds));
}

// OS-9: "0.0  24/03/15 1030  d-ewrewr  2c0  1024  CMDS": owner, date YY/MM/DD,
// time HHMM, attributes ('d' a folder), sector, size, name.
bool parseOs9Line(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    auto tok = [&](size_t k) { return text(line, t.items[k]); };
    if (t.count < 7)
        return false;
    const std::string_view owner = tok(0), date = tok(1), clock = tok(2), attrs = tok(3);
    const size_t dot = owner.find('.');
    unsigned yy = 0, hhmm = 0;
    uint64_t size = 0;
    Stamp st;
    if (dot == std::string_view::npos || !allDigits(owner.substr(0, dot)) || !allDigits(owner.substr(dot + 1))
        || date.size() != 8 || date[2] != '/' || date[5] != '/' || !parseNumber(date.substr(0, 2), yy)
        || !parseNumber(date.substr(3, 2), st.month) || !parseNumber(date.substr(6, 2), st.day)
        || clock.size() != 4 || !parseNumber(clock, hhmm) || hhmm / 100 > 23 || hhmm % 100 > 59
        || attrs.size() != 8
        || !std::all_of(attrs.begin(), attrs.end(),
                        [](char c) { return std::string_view("dsewr-").find(c) != std::string_view::npos; })
        || !parseHex(tok(4)) || !parseNumber(tok(5), size))
        return false;
    st.year = fullYear(yy, 2);
    st.hour = hhmm / 100;
    st.minute = hhmm % 100;
    int64_t seconds = 0;
    const std::string_view name = restAfter(line, t.items[5]);
    if (name.empty() || !resolveStamp(st, now, seconds))
        return false;
    return fileOrFolder(record, name, attrs[0] == 'd', size, ticksFromUnix(seconds));
}

// HP NonStop: "REPORT  101  1234  15-Mar-24 10:30:45  255,255 \"oooo\"": name,
// file code, end of file (the size), time, owner, security.
bool parseNonStopLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    auto tok = [&](size_t k) { return text(line, t.items[k]); };
    uint64_t size = 0;
    Stamp st;
    int64_t seconds = 0;
    if (t.count < 6 || t.count > 7 || !allDigits(tok(1)) || !parseNumber(tok(2), size)
        || tok(3).find('-') == std::string_view::npos || !parseDateToken(tok(3), st, Order::DayFirst)
        || st.year < 0 || !monthFromName(tok(3).substr(tok(3).find('-') + 1, 3))
        || !parseClock(tok(4), st.hour, st.minute, st.second) || !resolveStamp(st, now, seconds))
        return false;
    const std::string_view owner = tok(5);
    const size_t comma = owner.find(',');
    if (comma == std::string_view::npos || !allDigits(owner.substr(0, comma))
        || !allDigits(owner.substr(comma + 1)))
        return false;
    record = FindRecord{};
    record.attributes = AttrNormal;
    record.size = size;
    record.lastWriteTime = ticksFromUnix(seconds);
    record.name.assign(tok(0));
    return true;
}

// z/VM: "PROFILE  EXEC  V  80  12  1  2024-03-15 10:30:45  A1": name, type,
// record format, record length, records, blocks, time, mode. A fixed-format
// file's size is its records times their length; a folder has format "DIR".
bool parseZvmLine(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    auto tok = [&](size_t k) { return text(line, t.items[k]); };
    if (t.count < 8 || t.count > 9)
        return false;
    const std::string_view format = tok(2);
    const bool folder = format == "DIR";
    if (format != "F" && format != "V" && !folder)
        return false;
    uint64_t lrecl = 0, records = 0;
    for (size_t k = 3; k <= 5; ++k) {
        if (!allDigits(tok(k)) && !(folder && tok(k) == "-"))
            return false;
    }
    parseNumber(tok(3), lrecl);
    parseNumber(tok(4), records);
    Stamp st;
    int64_t seconds = 0;
    if (!parseDateToken(tok(6), st, Order::MonthFirst) || st.year < 0
        || !parseClock(tok(7), st.hour, st.minute, st.second) || !resolveStamp(st, now, seconds))
        return false;
    record = FindRecord{};
    record.attributes = folder ? AttrDirectory : AttrNormal;
    record.size = format == "F" && lrecl < (1u << 20) && records < (1ull << 40) ? lrecl * records : 0;
    record.lastWriteTime = ticksFromUnix(seconds);
    record.name.assign(tok(0));
    if (!folder && tok(1) != "-") {
        record.name += '.';
        record.name.append(tok(1));
    }
    return true;
}

// A line of the facts form ("type=file;size=1; name") in a LIST answer.
bool looksLikeFacts(std::string_view line)
{
    const size_t blank = line.find_first_of(" \t");
    const std::string_view facts = line.substr(0, blank);
    return blank != std::string_view::npos && facts.find('=') != std::string_view::npos
           && facts.find(';') != std::string_view::npos && equalsFolded(facts.substr(0, 5), "type=");
}

bool parseListTokens(std::string_view line, const Tokens &t, int64_t now, FindRecord &record)
{
    // The Unix form first: where another form could read a line too, the Unix
    // reading wins.
    if (parseUnixLine(line, t, now, record) || parseDosLine(line, t, now, record))
        return true;
    if (looksLikeFacts(line))
        return FtpListParser::parseMlsdLine(line, record);
    return parseVmsLine(line, t, now, record) || parseMvsLine(line, t, now, record)
           || parseAs400Line(line, t, now, record) || parseOs2Line(line, t, now, record)
           || parseVxWorksLine(line, t, now, record) || parseOs9Line(line, t, now, record)
           || parseNonStopLine(line, t, now, record) || parseZvmLine(line, t, now, record);
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
    m_held.clear();
}

void FtpListParser::discard()
{
    m_partial.clear();
    m_held.clear();
}

void FtpListParser::parseBufferedLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return;
    FindRecord record;
    if (m_format == Format::Mlsd) {
        if (parseMlsdLine(line, record))
            m_handler(std::move(record));
        return;
    }
    // VMS puts the rest of an entry with a long name on the next line.
    if (!m_held.empty()) {
        std::string joined = std::move(m_held);
        m_held.clear();
        joined += ' ';
        joined.append(line);
        const Tokens t = tokenize(joined);
        if (parseVmsLine(joined, t, m_now, record)) {
            m_handler(std::move(record));
            return;
        }
    }
    const Tokens t = tokenize(line);
    size_t semicolon = 0;
    if (t.count == 1 && isVmsName(text(line, t.items[0]), semicolon)) {
        m_held.assign(line.substr(t.items[0].begin, t.items[0].end - t.items[0].begin));
        return;
    }
    if (line[0] == '+' ? parseEplfLine(line, record) : parseListTokens(line, t, m_now, record))
        m_handler(std::move(record));
}

bool FtpListParser::parseLine(Format format, std::string_view line, int64_t nowUnix, FindRecord &record)
{
    return format == Format::Mlsd ? parseMlsdLine(line, record) : parseListLine(line, nowUnix, record);
}

bool FtpListParser::parseListLine(std::string_view line, int64_t nowUnix, FindRecord &record)
{
    if (!line.empty() && line[0] == '+')
        return parseEplfLine(line, record);
    return parseListTokens(line, tokenize(line), nowUnix, record);
}

bool FtpListParser::parseMlsdLine(std::string_view line, FindRecord &record)
{
    // The facts end at the first blank; some servers write a tab there.
    const size_t space = line.find_first_of(" \t");
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
            // "OS.unix=slink:/target" (or "=symlink"): a link, to a folder or a file.
            const std::string_view kind = value.substr(0, value.find(':'));
            r.symlink = equalsFolded(kind, "OS.unix=slink") || equalsFolded(kind, "OS.unix=symlink");
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
