// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

namespace ui {

// The program keeps texts as bytes in the platform encoding (UTF-8); widgets show
// QStrings. A byte string that is not valid UTF-8 (a name from a legacy Shift-JIS
// server) is shown decoded as CP932.
QString toQ(const std::string &bytes);
std::string fromQ(const QString &text);

// The shown form of a name as bytes of the platform encoding, for status and
// message texts that put a name among other words. Never used to find a name.
std::string displayText(const std::string &bytes);

// True when the bytes are not UTF-8 but read whole as CP932 (a name from a
// legacy Shift-JIS server).
bool isCp932Only(const std::string &bytes);

// How the names the user types are sent: UTF-8, or CP932 to a legacy server.
enum class NameEncoding { Utf8, Cp932 };

// The bytes of a typed name in an encoding; false (bytes untouched) when a
// character of the text has no form in it.
bool encodeName(const QString &text, NameEncoding encoding, std::string &bytes);

// Number of bytes the text takes in the platform encoding.
int byteLength(const QString &text);

} // namespace ui
