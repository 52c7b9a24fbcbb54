#include "platform/InstanceLock.h"

#include "platform/LastError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

InstanceLock::InstanceLock(std::string lockFilePath) : m_path(std::move(lockFilePath))
{
    // Read-only is enough for flock, and lets a file created by another user be
    // locked too. O_NOFOLLOW: the file lives in a world-writable folder, so a
    // planted symbolic link must not make us create or lock something else.
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd < 0 && errno == EACCES)
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0) {
        setLastErrorFromErrno(errno);
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
    return "/tmp/mutex_ID_for_Vexmora";
}

} // namespace platform
