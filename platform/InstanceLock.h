// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace platform {

// A named lock held for the life of the object: an exclusive flock on a lock
// file. The kernel drops the lock when the process ends, however it ends, so a
// crash never leaves a stale lock behind. The file itself stays in place.
class InstanceLock {
public:
    enum class Result { Created, AlreadyExists, Failed };

    explicit InstanceLock(std::string lockFilePath);
    ~InstanceLock();

    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Created: this object holds the lock. AlreadyExists: another holder has it.
    // Failed: the lock file could not be opened, or what is at the path is not a
    // regular file of this user (a link, a FIFO, another user's file); the last
    // error says why. Never waits.
    Result result() const { return m_result; }
    const std::string &path() const { return m_path; }

    // One lock per user: "mutex_ID_for_Vexmora" in $XDG_RUNTIME_DIR when that is
    // this user's folder, else "/tmp/mutex_ID_for_Vexmora-UID". Created 0600.
    static std::string defaultPath();

private:
    std::string m_path;
    int m_fd = -1;
    Result m_result = Result::Failed;
};

} // namespace platform
