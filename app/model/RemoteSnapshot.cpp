// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/RemoteSnapshot.h"

#include "app/model/FileEntry.h"
#include "app/model/PathRules.h"

int RemoteSnapshot::RecordRemoteSnapshot(const platform::FindRecord &record, int slot)
{
    if (record.isDirectory() || slot < 0 || slot >= RemoteSnapshotSlots || !IsSafeRemoteName(record.name))
        return 0;
    const TFileEntry entry = MakeFileEntry(record);
    RemoteSnapshotEntry &stored = (*this)[slot];
    stored.Changed =
        (stored.Name != entry.Name || stored.DateText != entry.DateText || stored.Size != entry.Size) ? 1 : 0;
    stored.Name = entry.Name;
    stored.DateText = entry.DateText;
    stored.Size = entry.Size;
    return 1;
}
