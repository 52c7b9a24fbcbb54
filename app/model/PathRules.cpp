// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/PathRules.h"

namespace {

bool isShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length of the well-formed UTF-8 character at `pos`, or 0 when the bytes there
// do not form one.
size_t utf8CharLength(std::string_view text, size_t pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

char foldAscii(char c, char from, char to)
{
    return (c >= from && c <= to) ? static_cast<char>(c ^ 0x20) : c;
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = utf8CharLength(text, pos);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

int SwapSeparators(std::string &text, int direction)
{
    const char from = direction == 1 ? '\\' : '/';
    const char to = direction == 1 ? '/' : '\\';
    const bool utf8 = IsValidUtf8(text);
    int changed = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t length = 1;
        if (utf8) {
            length = utf8CharLength(text, pos);
        } else if (isShiftJisLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) {
            length = 2;
        }
        if (length == 1 && text[pos] == from) {
            text[pos] = to;
            changed = 1;
        }
        pos += length;
    }
    return changed;
}

bool IsSafeRemoteName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

std::string_view PathExtension(std::string_view path)
{
    const size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = last.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : last.substr(dot);
}

std::string AsciiLower(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = foldAscii(c, 'A', 'Z');
    return result;
}

std::string AsciiUpper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = foldAscii(c, 'a', 'z');
    return result;
}
