// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TreeWatch.h"

#include "platform/FolderWatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform {

namespace {

// Everything that can change what a read of the folder sees. IN_EXCL_UNLINK:
// a file deleted while open makes no more events here.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM
                               | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

} // namespace

TreeWatch::~TreeWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TreeWatch::open()
{
    if (m_fd >= 0)
        return true;
    if (m_openFailed)
        return false;
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_openFailed = m_fd < 0;
    return m_fd >= 0;
}

void TreeWatch::poll(const std::string &folder)
{
    if (std::find(m_polled.begin(), m_polled.end(), folder) == m_polled.end())
        m_polled.push_back(folder);
    if (!m_unwatchedSeen) {
        m_unwatchedSeen = true;
        m_noticePending = true;
    }
}

bool TreeWatch::add(const std::string &folder)
{
    if (m_byPath.contains(folder))
        return true;
    const bool full = m_limit >= 0 && m_byPath.size() >= static_cast<size_t>(m_limit);
    if (full || changesMadeElsewhere(folder) || !open()) {
        poll(folder);
        return false;
    }
    const int wd = ::inotify_add_watch(m_fd, folder.c_str(), WatchMask);
    if (wd < 0) {
        poll(folder);
        return false;
    }
    // A folder already watched under another path (it was moved, and its old
    // path is not removed yet) keeps its watch, now under this path.
    const auto known = m_byWatch.find(wd);
    if (known != m_byWatch.end())
        m_byPath.erase(known->second);
    m_byWatch[wd] = folder;
    m_byPath[folder] = wd;
    m_polled.erase(std::remove(m_polled.begin(), m_polled.end(), folder), m_polled.end());
    return true;
}

void TreeWatch::remove(const std::string &folder)
{
    const auto found = m_byPath.find(folder);
    if (found != m_byPath.end()) {
        const auto watch = m_byWatch.find(found->second);
        if (watch != m_byWatch.end() && watch->second == folder) {
            ::inotify_rm_watch(m_fd, found->second);
            m_byWatch.erase(watch);
        }
        m_byPath.erase(found);
    }
    const auto polled = std::find(m_polled.begin(), m_polled.end(), folder);
    if (polled != m_polled.end())
        m_polled.erase(polled);
}

void TreeWatch::clear()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_openFailed = false;
    m_byWatch.clear();
    m_byPath.clear();
    m_polled.clear();
    m_pollCursor = 0;
    m_unwatchedSeen = false;
    m_noticePending = false;
}

TreeWatch::Changes TreeWatch::takeChanges()
{
    Changes changes;
    if (m_fd >= 0) {
        alignas(struct inotify_event) char buffer[65536];
        // A writer that keeps the queue busy leaves the rest for the next call.
        for (int reads = 0; reads < 64; ++reads) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got == 0 || errno != EAGAIN)
                    changes.everything = true;
                break;
            }
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= got;) {
                struct inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                at += static_cast<ssize_t>(sizeof event + event.len);
                if (event.mask & IN_Q_OVERFLOW) {
                    changes.everything = true;
                    continue;
                }
                const auto watch = m_byWatch.find(event.wd);
                if (watch == m_byWatch.end())
                    continue;
                changes.folders.insert(watch->second);
                if (event.mask & IN_IGNORED) {
                    // The folder is gone (deleted, unmounted): its read tells the caller.
                    m_byPath.erase(watch->second);
                    m_byWatch.erase(watch);
                }
            }
        }
    }
    // The unwatched folders take their turn.
    const size_t turn = std::min(PollBatch, m_polled.size());
    for (size_t i = 0; i < turn; ++i) {
        if (m_pollCursor >= m_polled.size())
            m_pollCursor = 0;
        changes.folders.insert(m_polled[m_pollCursor++]);
    }
    return changes;
}

bool TreeWatch::takeUnwatchedNotice()
{
    const bool pending = m_noticePending;
    m_noticePending = false;
    return pending;
}

} // namespace platform
