// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FindRecord.h"

#include <string>
#include <vector>

namespace platform {

// Lists the local folder named by the part of `pattern` before its last '/'
// (the current directory when there is none) and returns the entries whose
// names match the rest with the platform's wildcard rules, ASCII letters
// folded. Entries come in the order the file system returns them, "." and ".."
// included, FIFOs, sockets and devices left out (nothing to send or replace).
// Folders have attribute 0x10, everything else 0x80; symbolic links
// are followed for the type, size and time (a dangling link describes itself).
// Folders report size 0. A file reached through a symbolic link, or with more
// than one hard link, is marked `linked`.
//
// On failure `ok` is false, the result is empty and the last error is 3 when
// the folder does not exist, another mapped errno code when it cannot be read,
// and 18 when it holds nothing that matches.
std::vector<FindRecord> findLocal(const std::string &pattern, bool &ok);

// The record findLocal gives for one path, taken once the file system's clock
// has moved past the file's last-write time: writes are stamped from a clock
// coarser than the time itself (a few milliseconds), and a file written again
// within the same step could keep its time. Waits 50 ms at most (a time in the
// future is taken as it is). False (last error set) when the path does not exist.
bool findSettled(const std::string &path, FindRecord &record);

} // namespace platform
