// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LocalFiles.h"

#include "platform/LastError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool failWithErrno(int e)
{
    setLastErrorFromErrno(e);
    return false;
}

bool failWithErrno()
{
    return failWithErrno(errno);
}

// Temporaries of a replace are named "NAME.~PID.N": the writing process and a counter.
constexpr std::string_view TempMark = ".~";

// Creates a new, uniquely named file beside `path` (same folder, so a rename
// over `path` stays on one file system). Returns the descriptor or -1 with errno.
int createTempBeside(const std::string &path, mode_t createMode, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName =
            path + std::string(TempMark) + std::to_string(::getpid()) + "." + std::to_string(counter++);
        const int fd =
            ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, createMode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Abandons a temporary: closes and removes it, keeping the errno that caused it.
bool abandonTemp(int fd, const std::string &tempName)
{
    const int e = errno;
    if (fd >= 0)
        ::close(fd);
    ::unlink(tempName.c_str());
    return failWithErrno(e);
}

// Closes a finished temporary and renames it over `path`.
bool commitTemp(int fd, const std::string &tempName, const std::string &path)
{
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(tempName.c_str());
        return failWithErrno(e);
    }
    if (::rename(tempName.c_str(), path.c_str()) != 0)
        return abandonTemp(-1, tempName);
    return true;
}

void syncFolder(const std::string &path)
{
    const int dfd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

// The PID of a temporary "NAME.~PID.N" of `baseName`, or 0 when `name` is none.
pid_t tempOwner(std::string_view name, std::string_view baseName)
{
    if (name.size() <= baseName.size() + TempMark.size() || name.substr(0, baseName.size()) != baseName
        || name.substr(baseName.size(), TempMark.size()) != TempMark)
        return 0;
    name.remove_prefix(baseName.size() + TempMark.size());
    const size_t dot = name.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 9 || dot + 1 == name.size())
        return 0;
    if (name.find_first_not_of("0123456789") != dot
        || name.find_first_not_of("0123456789", dot + 1) != std::string_view::npos)
        return 0;
    pid_t pid = 0;
    for (const char c : name.substr(0, dot))
        pid = pid * 10 + (c - '0');
    return pid;
}

bool processRuns(pid_t pid)
{
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

void removeStaleTemporaries(const std::string &path)
{
    const auto slash = path.rfind('/');
    const std::string baseName = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR *dir = ::opendir(folderOf(path).c_str());
    if (!dir)
        return;
    const int dfd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const pid_t owner = tempOwner(entry->d_name, baseName);
        struct stat st {};
        if (owner <= 0 || processRuns(owner) || ::fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(st.st_mode))
            continue;
        ::unlinkat(dfd, entry->d_name, 0);
    }
    ::closedir(dir);
}

bool makeDirectory(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) != 0)
        return failWithErrno();
    return true;
}

bool removeDirectory(const std::string &path)
{
    if (::rmdir(path.c_str()) != 0) {
        // Some file systems say EEXIST for a folder that still has entries.
        if (errno == ENOTEMPTY || errno == EEXIST) {
            setLastError(err::DirNotEmpty);
            return false;
        }
        return failWithErrno();
    }
    return true;
}

bool deleteFile(const std::string &path)
{
    if (::unlink(path.c_str()) != 0)
        return failWithErrno();
    return true;
}

int openRegularFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        struct stat st {};
        // A socket cannot be opened at all (ENXIO).
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            setLastError(err::NotRegularFile);
        else
            setLastErrorFromErrno(e);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            setLastErrorFromErrno(EISDIR);
        else if (st.st_mode != 0)
            setLastError(err::NotRegularFile);
        else
            setLastErrorFromErrno(e);
        return -1;
    }
    // Reads of a regular file never wait anyway; a cleared flag keeps it that way
    // for whoever reads the descriptor.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool copyFile(const std::string &from, const std::string &to)
{
    const int in = openRegularFile(from);
    if (in < 0)
        return false;
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int e = errno;
        ::close(in);
        return failWithErrno(e);
    }

    std::string tempName;
    const int out = createTempBeside(to, 0600, tempName);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return failWithErrno(e);
    }

    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(in);
            errno = e;
            return abandonTemp(out, tempName);
        }
        if (!writeAll(out, buffer.data(), static_cast<size_t>(n))) {
            const int e = errno;
            ::close(in);
            errno = e;
            return abandonTemp(out, tempName);
        }
    }
    ::close(in);

    // The copy keeps the source's permission bits and last-write time.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fchmod(out, st.st_mode & 07777) != 0 || ::futimens(out, times) != 0)
        return abandonTemp(out, tempName);
    return commitTemp(out, tempName, to);
}

bool renameFile(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return failWithErrno();
    // The file system cannot rename without replacing: check, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return failWithErrno(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0)
        return failWithErrno();
    return true;
}

bool setCurrentDirectory(const std::string &path)
{
    if (::chdir(path.c_str()) != 0)
        return failWithErrno();
    return true;
}

bool currentDirectory(std::string &path)
{
    std::vector<char> buffer(1024);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            path = buffer.data();
            return true;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return failWithErrno();
        buffer.resize(buffer.size() * 2);
    }
}

bool fileExists(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failWithErrno();
    if (S_ISDIR(st.st_mode)) {
        setLastError(err::FileNotFound);
        return false;
    }
    return true;
}

bool directoryExists(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failWithErrno();
    if (!S_ISDIR(st.st_mode)) {
        setLastError(err::PathNotFound);
        return false;
    }
    return true;
}

bool fileIdentity(const std::string &path, FileIdentity &identity)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return failWithErrno();
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool isSymbolicLink(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool readWholeFile(const std::string &path, std::string &data)
{
    data.clear();
    const int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        data.reserve(static_cast<size_t>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            data.clear();
            return failWithErrno(e);
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool writeFileAtomic(const std::string &path, std::string_view data, int mode)
{
    mode_t finalMode = 0;
    bool setMode = false;
    struct stat st {};
    if (mode >= 0) {
        finalMode = static_cast<mode_t>(mode) & 07777;
        setMode = true;
    } else if (::stat(path.c_str(), &st) == 0) {
        finalMode = st.st_mode & 07777;
        setMode = true;
    }

    // A brand-new file is created 0666 and the umask applies; otherwise the
    // temporary starts private and receives its final mode before the rename.
    std::string tempName;
    const int fd = createTempBeside(path, setMode ? 0600 : 0666, tempName);
    if (fd < 0)
        return failWithErrno();
    if (!writeAll(fd, data.data(), data.size()))
        return abandonTemp(fd, tempName);
    if (setMode && ::fchmod(fd, finalMode) != 0)
        return abandonTemp(fd, tempName);
    if (::fsync(fd) != 0)
        return abandonTemp(fd, tempName);
    if (!commitTemp(fd, tempName, path))
        return false;
    syncFolder(path);
    return true;
}

namespace {

constexpr std::string_view DownloadTemporaryPrefix = ".vexmora-";
constexpr char DownloadTemporaryMark = '\x7f';

// Held while a download creates and locks its temporary and while a sweep looks
// for stale ones: downloads of one process run side by side into one folder, and
// a sweep must never find a live download's file before its lock.
std::mutex &downloadTemporaryMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

bool isDownloadTemporaryName(std::string_view name)
{
    if (name.size() != DownloadTemporaryPrefix.size() + 7 || !name.starts_with(DownloadTemporaryPrefix)
        || name.back() != DownloadTemporaryMark)
        return false;
    for (const char c : name.substr(DownloadTemporaryPrefix.size(), 6)) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

int createDownloadTemporary(const std::string &folder, std::string &path)
{
    path = folder + "/" + std::string(DownloadTemporaryPrefix) + "XXXXXX" + DownloadTemporaryMark;
    const std::lock_guard lock(downloadTemporaryMutex());
    const int fd = ::mkostemps(path.data(), 1, O_CLOEXEC);
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return -1;
    }
    // Held while the download runs: a sweep by another run leaves the file alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

namespace {
// Removes the files of a folder the program made (`ours`) that no one holds
// locked (a transfer under way holds its file locked; the lock dies with its
// process), own regular files only, unless `keep` names them.
void removeUnlocked(const std::string &folder, bool (*ours)(std::string_view name),
                    const std::function<bool(const std::string &path)> &keep)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const int dfd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        if (!ours(entry->d_name) || (keep && keep(folder + "/" + entry->d_name)))
            continue;
        const int fd = ::openat(dfd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dfd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}
} // namespace

void removeStaleDownloadTemporaries(const std::string &folder)
{
    const std::lock_guard lock(downloadTemporaryMutex());
    removeUnlocked(folder, isDownloadTemporaryName, {});
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastErrorFromErrno(errno);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

namespace {
constexpr std::string_view TransferTempSuffix = ".vexmora-part";
// NAME_MAX of the usual file systems, and of most servers'.
constexpr size_t LongestFileName = 255;
} // namespace

std::string transferTempPath(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view name = std::string_view(path).substr(start);
    if (name.empty() || name.size() + 1 + TransferTempSuffix.size() > LongestFileName)
        return {};
    std::string temp = path.substr(0, start);
    temp += '.';
    temp += name;
    temp += TransferTempSuffix;
    return temp;
}

bool isTransferTempName(std::string_view name)
{
    return name.size() > 1 + TransferTempSuffix.size() && name.front() == '.'
           && name.substr(name.size() - TransferTempSuffix.size()) == TransferTempSuffix;
}

void removeTransferTemporaries(const std::string &folder,
                               const std::function<bool(const std::string &path)> &keep)
{
    removeUnlocked(folder, isTransferTempName, keep);
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
