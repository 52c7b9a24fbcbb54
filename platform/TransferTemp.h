// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The temporary a transfer writes before the file appears under its own name,
// on the server (an upload through a temporary) and locally (a download that
// can be continued): ".NAME.vexmora-part" in the same folder. The program
// owns these names: it hides them from the remote list and continues or
// replaces them at the next transfer of the same file.
//
// The path of the temporary of `path` ("dir/NAME" or "NAME"); empty when the
// name would grow past the longest a file system takes.
std::string transferTempPath(const std::string &path);
bool isTransferTempName(std::string_view name);

// The last-write time of a local file, seconds since 1970 UTC.
bool localFileTime(const std::string &path, int64_t &unixSeconds);
bool setLocalFileTime(const std::string &path, int64_t unixSeconds);

} // namespace platform
