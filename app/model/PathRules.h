// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Byte-level text rules shared by the file lists, the transfers and the change
// detection. Names are byte strings: UTF-8 on our platform, or the exact bytes a
// legacy Shift-JIS server sends. The only case folding anywhere is of ASCII
// letters.

// Turns separators in place, walking whole characters: direction 1 turns every
// backslash into a slash, any other direction every slash into a backslash.
// Valid UTF-8 is walked by UTF-8 characters; any other text is walked by
// Shift-JIS characters (lead bytes 0x81-0x9F and 0xE0-0xFC take the next byte
// with them), so the trailing byte 0x5C of a double-byte character is never
// taken for a backslash. Returns 1 when at least one character changed, else 0
// (also for an empty text).
int SwapSeparators(std::string &text, int direction);

// True when the text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// False for a server-supplied name that must never become a list row or a local
// path: empty, ".", "..", or holding '/', NUL, a byte below 0x20 or 0x7F. A
// backslash is an ordinary name byte (and the second byte of many Shift-JIS
// characters).
bool IsSafeRemoteName(std::string_view name);

// The extension of a path: from the last '.' of its last component, the dot
// included; empty when that component has no dot.
std::string_view PathExtension(std::string_view path);

// Copies with only the ASCII letters folded; every other byte is kept.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
