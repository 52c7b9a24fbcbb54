// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/TransferList.h"

#include "ui/Language.h"
#include "ui/Text.h"

std::string FileLimitMessage()
{
    return ui::fromQ(ui::translate("Model", FileLimitFormat).arg(MAXFILE));
}

AddResult TransferList::Append(std::string_view localPath, std::string_view remotePath)
{
    if (IsFull())
        return AddResult::Full;
    TransferEntry &row = (*this)[TransferCount];
    row.Pending = 1;
    row.Done = 0;
    row.LocalPath = localPath;
    row.RemotePath = remotePath;
    ++TransferCount;
    return AddResult::Added;
}

AddResult TransferList::AddTransferEntry(std::string_view prefix, std::string_view name)
{
    if (name == "." || name == "..")
        return AddResult::Skipped;
    std::string path(prefix);
    path += name;
    return Append(path, path);
}

bool TransferList::CountTransferEntry()
{
    if (IsFull())
        return false;
    ++TransferCount;
    return true;
}

void TransferList::ClearTransferList()
{
    Entries.assign(MAXFILE, TransferEntry());
    Entries.shrink_to_fit();
    TransferCount = 0;
}

TransferEntry &TransferList::Row(int row)
{
    if (row >= Rows())
        Entries.resize(static_cast<size_t>(row) + 1);
    return (*this)[row];
}
