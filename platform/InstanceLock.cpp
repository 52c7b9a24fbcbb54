// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/InstanceLock.h"

#include "platform/LastError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

InstanceLock::InstanceLock(std::string lockFilePath) : m_path(std::move(lockFilePath))
{
    // O_NOFOLLOW: a link planted at the path is never followed. O_NONBLOCK: a FIFO
    // planted there cannot hold the start waiting for a writer.
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (m_fd < 0) {
        setLastErrorFromErrno(errno);
        m_result = Result::Failed;
        return;
    }
    // Only our own regular file counts: a file someone else made (or could hold
    // the lock on for us) is never used.
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(m_fd);
        m_fd = -1;
        setLastError(err::AccessDenied);
        m_result = Result::Failed;
        return;
    }
    int rc;
    do {
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_result = Result::Created;
        return;
    }
    const int e = errno;
    ::close(m_fd);
    m_fd = -1;
    if (e == EWOULDBLOCK) {
        setLastError(err::AlreadyExists);
        m_result = Result::AlreadyExists;
    } else {
        setLastErrorFromErrno(e);
        m_result = Result::Failed;
    }
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

std::string InstanceLock::defaultPath()
{
    static const char *const Name = "mutex_ID_for_Vexmora";
    // The user's runtime folder when it is a real folder of this user; else a
    // name of this user's own in /tmp.
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::lstat(runtime, &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid())
        return std::string(runtime) + "/" + Name;
    return std::string("/tmp/") + Name + "-" + std::to_string(::geteuid());
}

} // namespace platform
