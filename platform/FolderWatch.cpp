// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderWatch.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

// Everything that can change what a scan of the folder sees; IN_Q_OVERFLOW,
// IN_IGNORED and IN_UNMOUNT come without asking.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM
                               | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// After these the watch no longer stands for the folder the path names.
constexpr uint32_t EndMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

int64_t monotonicSeconds()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return now.tv_sec;
}

} // namespace

FolderWatch::~FolderWatch()
{
    release();
}

bool FolderWatch::takeChanged(const std::string &folder)
{
    bool changed = m_changed;
    m_changed = false;
    struct stat st {};
    if (!m_enabled || ::stat(folder.c_str(), &st) != 0 || st.st_nlink == 0) {
        release();
        changed = true;
    } else if (m_fd < 0 || folder != m_folder || st.st_dev != m_device || st.st_ino != m_inode) {
        // Whatever happened before the watch was set is unknown.
        release();
        arm(folder, st.st_dev, st.st_ino);
        changed = true;
    } else if (drainEvents()) {
        changed = true;
    }
    if (m_lost) {
        m_lost = false;
        changed = true;
    }
    const int64_t now = monotonicSeconds();
    if (now - m_lastChanged >= ScanFloorSeconds)
        changed = true;
    if (changed)
        m_lastChanged = now;
    return changed;
}

void FolderWatch::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
        release();
}

void FolderWatch::loseEvents()
{
    drainEvents();
    m_lost = true;
}

void FolderWatch::arm(const std::string &folder, dev_t device, ino_t inode)
{
    m_folder = folder;
    m_device = device;
    m_inode = inode;
    if (changesMadeElsewhere(folder))
        return;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    if (::inotify_add_watch(m_fd, folder.c_str(), WatchMask) < 0)
        release();
}

void FolderWatch::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool FolderWatch::drainEvents()
{
    if (m_fd < 0)
        return false;
    // Only the events' kinds are gathered; names are never looked at.
    alignas(struct inotify_event) char buffer[16384];
    bool any = false;
    // A writer that keeps the queue busy leaves the rest for the next call,
    // which then reports the folder changed again.
    for (int reads = 0; reads < 8; ++reads) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            // EAGAIN: nothing more pending. Anything else: the watch cannot be trusted.
            if (got == 0 || errno != EAGAIN) {
                release();
                m_lost = true;
            }
            return any;
        }
        any = true;
        uint32_t seen = 0;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= got;) {
            struct inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            seen |= event.mask;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
        if (seen & IN_Q_OVERFLOW)
            m_lost = true;
        if (seen & EndMask) {
            // Set again on the next call, on whatever folder the path names then.
            release();
            m_lost = true;
            return true;
        }
    }
    return any;
}

bool changesMadeElsewhere(const std::string &folder)
{
    struct statfs fs {};
    if (::statfs(folder.c_str(), &fs) != 0)
        return true;
    switch (static_cast<uint32_t>(fs.f_type)) {
    case 0x6969:     // NFS
    case 0x517B:     // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x65735546: // FUSE (sshfs, virtiofs, ...)
    case 0x01021997: // 9p
    case 0x00C36400: // Ceph
    case 0x5346414F: // AFS
    case 0x6B414653: // kAFS
    case 0x73757245: // Coda
    case 0x7461636F: // OCFS2
    case 0x01161970: // GFS2
    case 0x786F4256: // VirtualBox shared folder
        return true;
    default:
        return false;
    }
}

} // namespace platform
