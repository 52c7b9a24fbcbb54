// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TransferTemp.h"

#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {
constexpr std::string_view TempSuffix = ".vexmora-part";
// NAME_MAX of the usual file systems, and of most servers'.
constexpr size_t LongestName = 255;
} // namespace

std::string transferTempPath(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view name = std::string_view(path).substr(start);
    if (name.empty() || name.size() + 1 + TempSuffix.size() > LongestName)
        return {};
    std::string temp = path.substr(0, start);
    temp += '.';
    temp += name;
    temp += TempSuffix;
    return temp;
}

bool isTransferTempName(std::string_view name)
{
    return name.size() > 1 + TempSuffix.size() && name.front() == '.'
           && name.substr(name.size() - TempSuffix.size()) == TempSuffix;
}

bool localFileTime(const std::string &path, int64_t &unixSeconds)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    unixSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    return true;
}

bool setLocalFileTime(const std::string &path, int64_t unixSeconds)
{
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unixSeconds), 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

} // namespace platform
