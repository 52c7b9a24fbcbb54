#pragma once

#include <QString>
#include <string>

namespace ui {

// The program keeps texts as bytes in the platform encoding (UTF-8); widgets show
// QStrings. A byte string that is not valid UTF-8 (a name from a legacy Shift-JIS
// server) is shown decoded as CP932.
QString toQ(const std::string &bytes);
std::string fromQ(const QString &text);

// Number of bytes the text takes in the platform encoding.
int byteLength(const QString &text);

} // namespace ui
