// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniProfile.h"

#include "platform/LastError.h"
#include "platform/LocalFiles.h"

#include <cerrno>
#include <climits>

namespace platform {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Where a key lives in the file's text, found in one pass over its lines.
struct KeyLocation {
    bool sectionFound = false;
    bool keyFound = false;
    size_t insertAt = 0;     // just after the section's last non-blank line
    size_t keyLineBegin = 0; // the key's line, without its line break
    size_t keyLineEnd = 0;
    std::string_view value; // trimmed
};

KeyLocation locate(std::string_view text, std::string_view section, std::string_view key)
{
    KeyLocation loc;
    bool inSection = false;
    size_t pos = 0;
    // A UTF-8 byte order mark belongs to no line's content.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        const size_t lineEnd = nl == std::string_view::npos ? text.size() : nl;
        const size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        const std::string_view line = trim(text.substr(pos, lineEnd - pos));

        if (!line.empty() && line.front() == '[') {
            if (inSection)
                break; // only the first section of that name counts
            std::string_view name = line.substr(1);
            const size_t close = name.find(']');
            if (close != std::string_view::npos)
                name = name.substr(0, close);
            if (equalsFolded(trim(name), section)) {
                inSection = true;
                loc.sectionFound = true;
                loc.insertAt = next;
            }
        } else if (inSection && !line.empty()) {
            loc.insertAt = next;
            const size_t eq = line.find('=');
            if (!loc.keyFound && line.front() != ';' && eq != std::string_view::npos
                && equalsFolded(trim(line.substr(0, eq)), key)) {
                loc.keyFound = true;
                loc.keyLineBegin = pos;
                loc.keyLineEnd = lineEnd;
                loc.value = trim(line.substr(eq + 1));
            }
        }
        pos = next;
    }
    return loc;
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

IniProfile::IniProfile(std::string path) : m_path(std::move(path)) {}

std::string IniProfile::readString(std::string_view section, std::string_view key, std::string_view def) const
{
    std::string text;
    if (section.empty() || key.empty() || !readWholeFile(m_path, text))
        return std::string(def);
    const KeyLocation loc = locate(text, section, key);
    if (!loc.keyFound)
        return std::string(def);
    return std::string(unquote(loc.value));
}

int IniProfile::readInt(std::string_view section, std::string_view key, int def) const
{
    const std::string text = readString(section, key, {});
    std::string_view s = trim(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() < '0' || s.front() > '9')
        return def;
    long long value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break; // clamped below; further digits cannot bring it back
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

bool IniProfile::readForWrite(std::string &text) const
{
    if (readWholeFile(m_path, text))
        return true;
    text.clear();
    return lastError() == err::FileNotFound;
}

void IniProfile::beginUpdate()
{
    m_updating = true;
    m_updateError = readForWrite(m_pending) ? err::Success : lastError();
}

bool IniProfile::commit()
{
    if (!m_updating)
        return true;
    m_updating = false;
    const std::string text = std::move(m_pending);
    m_pending.clear();
    if (m_updateError != err::Success) {
        setLastError(m_updateError);
        return false;
    }
    return writeFileAtomic(m_path, text);
}

bool IniProfile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    if (section.empty() || key.empty() || hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)
        || section.find_first_of("[]") != std::string_view::npos || key.find('=') != std::string_view::npos
        || trim(section).size() != section.size() || trim(key).size() != key.size()) {
        setLastError(err::InvalidParameter);
        return false;
    }
    if (m_updating) {
        if (m_updateError != err::Success) {
            setLastError(m_updateError);
            return false;
        }
        m_pending = withValue(m_pending, section, key, value);
        return true;
    }
    std::string text;
    if (!readForWrite(text))
        return false;
    return writeFileAtomic(m_path, withValue(text, section, key, value));
}

std::string IniProfile::withValue(const std::string &text, std::string_view section, std::string_view key,
                                  std::string_view value)
{
    const size_t firstBreak = text.find('\n');
    const std::string eol =
        (firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
            ? std::string("\r\n")
            : std::string("\n");
    const KeyLocation loc = locate(text, section, key);

    std::string result;
    result.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    if (loc.keyFound) {
        result.append(text, 0, loc.keyLineBegin);
        result.append(key).append("=").append(value);
        if (loc.keyLineEnd > 0 && text[loc.keyLineEnd - 1] == '\r' && loc.keyLineEnd < text.size())
            result.append("\r");
        result.append(text, loc.keyLineEnd, std::string::npos);
    } else if (loc.sectionFound) {
        result.append(text, 0, loc.insertAt);
        if (!result.empty() && result.back() != '\n')
            result.append(eol);
        result.append(key).append("=").append(value).append(eol);
        result.append(text, loc.insertAt, std::string::npos);
    } else {
        result = text;
        if (!result.empty() && result.back() != '\n')
            result.append(eol);
        if (!result.empty())
            result.append(eol);
        result.append("[").append(section).append("]").append(eol);
        result.append(key).append("=").append(value).append(eol);
    }
    return result;
}

bool IniProfile::writeInt(std::string_view section, std::string_view key, int value)
{
    return writeString(section, key, std::to_string(value));
}

} // namespace platform
