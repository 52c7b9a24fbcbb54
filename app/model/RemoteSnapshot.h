// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FindRecord.h"

#include <array>
#include <cstdint>
#include <string>

// The remote files as the last daemon download pass saw them, slot by slot in
// the order the server listed them. Lives as long as the main window and is
// never emptied: slots beyond a pass's count keep what they held.

constexpr int RemoteSnapshotSlots = 900;

struct RemoteSnapshotEntry {
    std::string Name;
    std::string DateText;
    uint64_t Size = 0;
    int Changed = 0; // 1 when the last pass stored something different here
};

struct RemoteSnapshot {
    std::array<RemoteSnapshotEntry, RemoteSnapshotSlots> Slots{};

    RemoteSnapshotEntry &operator[](int slot) { return Slots[static_cast<size_t>(slot)]; }
    const RemoteSnapshotEntry &operator[](int slot) const { return Slots[static_cast<size_t>(slot)]; }

    // Stores a file record in the slot and returns 1. Changed becomes 1 when the
    // slot held a different name, date text or size (bytes compared exactly),
    // else 0: the comparison is by position, so a file inserted early in the
    // listing marks every later slot changed. A folder returns 0 and stores
    // nothing; so does a name that IsSafeRemoteName refuses (the caller reports
    // it) and a slot outside 0..899.
    int RecordRemoteSnapshot(const platform::FindRecord &record, int slot);
};
