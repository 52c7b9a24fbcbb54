// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

// Tells a caller that keeps a whole folder tree up to date which of its folders
// may have changed since it last asked, so that it reads only those. One
// inotify instance holds a watch on every folder the caller added; an entry
// created, deleted, written, touched or moved in or out marks its folder.
//
// A folder that cannot be watched (the system's fs.inotify.max_user_watches,
// or the limit a caller set, is used up; the watch was refused; the folder
// lies on a network or FUSE file system whose changes never reach inotify; no
// inotify instance could be had) is never silently left out: it is handed
// back as changed, PollBatch of them per call in turn, so the caller reads
// them at a bounded rate. An overflowed event queue hands back everything.
//
// One thread uses an object at a time. Asked while nothing happened, a call
// costs one read() that finds no event (and the turn of the unwatched folders).
class TreeWatch {
public:
    static constexpr size_t PollBatch = 16;

    TreeWatch() = default;
    ~TreeWatch();
    TreeWatch(const TreeWatch &) = delete;
    TreeWatch &operator=(const TreeWatch &) = delete;

    // At most `limit` folders watched at once; below 0 only the system's limit
    // applies (the default). Folders added afterwards follow it.
    void setWatchLimit(int limit) { m_limit = limit; }

    // Watches `folder` (a path as the caller reads it, relative or absolute)
    // from now on; call it before reading the folder. False when the folder
    // could not be watched and is polled instead.
    bool add(const std::string &folder);
    // Stops watching or polling `folder` (it left the tree).
    void remove(const std::string &folder);
    // Forgets every folder.
    void clear();

    struct Changes {
        std::set<std::string> folders; // the folders to read again
        bool everything = false;       // events were lost: read every folder
    };
    Changes takeChanges();

    // True once after the first folder since clear() that could not be watched.
    bool takeUnwatchedNotice();

    size_t watchedCount() const { return m_byPath.size(); }
    size_t polledCount() const { return m_polled.size(); }

private:
    void poll(const std::string &folder);
    bool open();

    int m_fd = -1;
    bool m_openFailed = false;
    int m_limit = -1;
    std::unordered_map<int, std::string> m_byWatch;
    std::unordered_map<std::string, int> m_byPath;
    std::vector<std::string> m_polled;
    size_t m_pollCursor = 0;
    bool m_unwatchedSeen = false;
    bool m_noticePending = false;
};

} // namespace platform
