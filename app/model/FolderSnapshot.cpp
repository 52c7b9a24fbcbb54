// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/FolderSnapshot.h"

#include "app/model/PathRules.h"

SnapshotEntry SnapshotEntry::FromFindRecord(const platform::FindRecord &record)
{
    SnapshotEntry entry;
    entry.Name = record.name;
    entry.SizeHigh = static_cast<uint32_t>(record.size >> 32);
    entry.SizeLow = static_cast<uint32_t>(record.size);
    entry.WriteTimeLow = static_cast<uint32_t>(record.lastWriteTime);
    entry.WriteTimeHigh = static_cast<uint32_t>(record.lastWriteTime >> 32);
    return entry;
}

bool SnapshotEntry::SameSizeAndTime(const platform::FindRecord &record) const
{
    return !Unsent && Size() == record.size && WriteTime() == record.lastWriteTime;
}

bool FolderSnapshot::Add(const platform::FindRecord &record)
{
    return Add(SnapshotEntry::FromFindRecord(record));
}

bool FolderSnapshot::Add(const SnapshotEntry &entry)
{
    if (IsFull())
        return false;
    (*this)[SnapshotCount] = entry;
    ++SnapshotCount;
    ++Generation;
    return true;
}

int FolderSnapshot::FindByName(std::string_view name) const
{
    for (int i = 0; i < SnapshotCount && i < MAXFILE; ++i) {
        if ((*this)[i].Name == name)
            return i;
    }
    return -1;
}

std::string_view SnapshotPattern(int targetIndex)
{
    return targetIndex == TargetHtml ? "*.html" : "*.*";
}

bool TargetQualifies(int targetIndex, std::string_view name)
{
    if (targetIndex == TargetHtml)
        return AsciiLower(PathExtension(name)) == ".html";
    return targetIndex == TargetAll;
}
