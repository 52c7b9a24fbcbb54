// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/model/TransferList.h"
#include "platform/FindRecord.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The baseline of change detection: the files of the local folder right after
// the last automatic upload, entries 0 to SnapshotCount - 1 in the order the
// directory search returned them.

// Item indices of the Target radio group.
constexpr int TargetHtml = 0; // "HTML"
constexpr int TargetAll = 1;  // "全て", the default

struct SnapshotEntry {
    std::string Name; // the file name as the search returns it, no path
    uint32_t SizeHigh = 0;
    uint32_t SizeLow = 0;
    uint32_t WriteTimeLow = 0;
    uint32_t WriteTimeHigh = 0;
    // The file is known but its present content has not been sent (it was
    // new, or written again while it was sent): it compares as changed.
    bool Unsent = false;

    // The halves taken together: sizes and times are kept and compared whole.
    uint64_t Size() const { return (static_cast<uint64_t>(SizeHigh) << 32) | SizeLow; }
    uint64_t WriteTime() const { return (static_cast<uint64_t>(WriteTimeHigh) << 32) | WriteTimeLow; }

    static SnapshotEntry FromFindRecord(const platform::FindRecord &record);
    // True when the record has the same size and last-write time, all 64 bits,
    // and the entry is not Unsent.
    bool SameSizeAndTime(const platform::FindRecord &record) const;
};

struct FolderSnapshot {
    std::array<SnapshotEntry, MAXFILE> Entries{};
    int SnapshotCount = 0;
    // Advanced by every Add: with SnapshotCount it tells whether the entries in
    // use may differ from those seen before (entries are written only by Add).
    uint64_t Generation = 0;

    SnapshotEntry &operator[](int index) { return Entries[static_cast<size_t>(index)]; }
    const SnapshotEntry &operator[](int index) const { return Entries[static_cast<size_t>(index)]; }

    bool IsFull() const { return SnapshotCount >= MAXFILE; }

    // Writes entry SnapshotCount from the record and advances the count; false
    // (nothing written) when all MAXFILE entries are in use.
    bool Add(const platform::FindRecord &record);
    bool Add(const SnapshotEntry &entry);

    // Index of the first entry in use whose name equals the given bytes
    // (case-sensitive); -1 when none does.
    int FindByName(std::string_view name) const;
};

// The search pattern of the folder scans: "*.html" for TargetHtml, "*.*" for
// every other item.
std::string_view SnapshotPattern(int targetIndex);

// Whether a local list row takes part in the missing-file detection: with
// TargetHtml its extension, ASCII lower-cased, must be ".html"; with TargetAll
// every name qualifies; with any other index none does.
bool TargetQualifies(int targetIndex, std::string_view name);
