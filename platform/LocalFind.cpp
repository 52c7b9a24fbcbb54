// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LocalFind.h"

#include "platform/LastError.h"
#include "platform/Wildcard.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

uint64_t ticksFromTimespec(const struct timespec &ts)
{
    // Times before 1601 cannot be represented; they clamp to the epoch.
    if (ts.tv_sec < -static_cast<int64_t>(UnixEpochTicks / 10000000ull))
        return 0;
    return ticksFromUnix(ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec));
}

// A FIFO, a socket or a device: nothing a transfer may read or replace.
bool isSpecial(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

// `type` is the entry's type as the folder listing gives it (DT_UNKNOWN: ask).
// False for an entry a find leaves out (a special file).
bool makeRecord(int dirFd, const char *name, unsigned char type, FindRecord &record)
{
    record = FindRecord();
    record.name = name;
    struct stat st {};
    if (::fstatat(dirFd, name, &st, 0) != 0 && ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        record.attributes = AttrNormal;
        return true;
    }
    if (isSpecial(st.st_mode))
        return false;
    if (S_ISDIR(st.st_mode)) {
        record.attributes = AttrDirectory;
    } else {
        record.attributes = AttrNormal;
        record.size = static_cast<uint64_t>(st.st_size);
        struct stat own {};
        if (type == DT_UNKNOWN && ::fstatat(dirFd, name, &own, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISLNK(own.st_mode))
            type = DT_LNK;
        record.linked = type == DT_LNK || st.st_nlink > 1;
    }
    record.lastWriteTime = ticksFromTimespec(st.st_mtim);
    return true;
}

} // namespace

bool findSettled(const std::string &path, FindRecord &record)
{
    struct stat st {};
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int waited = 0;; ++waited) {
        if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) {
            setLastErrorFromErrno(errno);
            return false;
        }
        if (!makeRecord(AT_FDCWD, path.c_str(), DT_UNKNOWN, record)) {
            setLastError(err::NotRegularFile);
            return false;
        }
        record.name = name;
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (record.lastWriteTime < ticksFromTimespec(now) || waited >= 50)
            return true;
        const struct timespec step {
            0, 1000000
        };
        ::nanosleep(&step, nullptr);
    }
}

std::vector<FindRecord> findLocal(const std::string &pattern, bool &ok)
{
    std::vector<FindRecord> records;
    ok = false;

    std::string folder = ".";
    std::string namePattern = pattern;
    const auto slash = pattern.rfind('/');
    if (slash != std::string::npos) {
        folder = slash == 0 ? std::string("/") : pattern.substr(0, slash);
        namePattern = pattern.substr(slash + 1);
    }

    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        // A missing folder is "path not found", as the platform's find says.
        setLastError(errno == ENOENT ? err::PathNotFound : errorFromErrno(errno));
        return records;
    }
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const struct dirent *entry = ::readdir(dir);
        if (entry == nullptr)
            break;
        if (entry->d_type == DT_FIFO || entry->d_type == DT_SOCK || entry->d_type == DT_CHR
            || entry->d_type == DT_BLK || !wildcardMatch(entry->d_name, namePattern, true))
            continue;
        FindRecord record;
        if (makeRecord(dirFd, entry->d_name, entry->d_type, record))
            records.push_back(std::move(record));
    }
    const int readError = errno;
    ::closedir(dir);

    if (readError != 0) {
        records.clear();
        setLastErrorFromErrno(readError);
        return records;
    }
    if (records.empty()) {
        setLastError(err::NoMoreFiles);
        return records;
    }
    setLastError(err::Success);
    ok = true;
    return records;
}

} // namespace platform
