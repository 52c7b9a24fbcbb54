// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace platform {

// Tells a caller that polls a local folder whether its entries may have
// changed since it last looked, so that the poll can skip its scan while
// nothing happened. inotify on the folder marks it changed when an entry is
// created, deleted, written, closed after writing, touched (attributes, times)
// or moved in or out.
//
// The scan stays the floor: the folder is reported changed whenever inotify
// cannot vouch for it: no inotify instance or watch could be had (limits), the
// folder lies on a network or FUSE file system (changes made elsewhere are
// never reported), the event queue overflowed, the folder itself was deleted,
// moved or unmounted, the path now names another folder than the one watched
// (then that one is watched from now on), and at least once every
// ScanFloorSeconds (writes through a shared mapping make no event).
//
// One thread uses an object at a time. Asked while nothing happened, it costs
// one stat of the folder and one read() that finds no event.
class FolderWatch {
public:
    static constexpr int ScanFloorSeconds = 30;

    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;

    // True when `folder` may have changed since the previous call (or the
    // caller marked it), false when it surely did not. The answer is taken
    // before the caller scans: a change made during the scan makes the next
    // call true. The first call for a folder is always true.
    bool takeChanged(const std::string &folder);

    // Makes the next takeChanged() true: the caller's scan saw something that
    // can change without an event (a linked file, a time too recent to trust).
    void markChanged() { m_changed = true; }

    // Whether inotify watched the folder at the last call.
    bool watching() const { return m_fd >= 0; }

    // Off, every call says changed, as when inotify is unavailable (on by default).
    void setEnabled(bool enabled);

    // Drops the events pending now, as the kernel does when its queue
    // overflows, and leaves the overflow to be reported by the next call: a
    // change inotify never delivered must still be found by the scan.
    void loseEvents();

private:
    void arm(const std::string &folder, dev_t device, ino_t inode);
    void release();
    // Reads every pending event; true when any arrived. Sets m_lost on an
    // overflow and releases the watch when it ended (folder deleted, moved, unmounted).
    bool drainEvents();

    int m_fd = -1;
    std::string m_folder;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_changed = true;
    bool m_lost = false;
    bool m_enabled = true;
    int64_t m_lastChanged = 0; // monotonic seconds of the last true answer
};

// True for file systems whose changes made by another machine (or a FUSE
// daemon's backing store) never reach inotify: NFS, SMB, FUSE, 9p and the like.
bool changesMadeElsewhere(const std::string &folder);

} // namespace platform
