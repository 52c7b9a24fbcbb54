// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/FileEntry.h"

#include "app/model/PathRules.h"
#include "platform/LocalFiles.h"
#include "ui/Language.h"
#include "ui/Text.h"

#include <cstdio>

namespace {

constexpr uint64_t TicksPerSecond = 10000000ull;
constexpr int64_t SecondsPerDay = 86400;
// Days from 0000-03-01 (the start of the era the conversion counts in) to
// 1601-01-01.
constexpr int64_t DaysTo1601 = 584694;
// Seconds from 1601-01-01 to 10000-01-01.
constexpr uint64_t SecondsTo10000 = 265046774400ull;

struct CivilDate {
    int64_t year;
    int month;
    int day;
};

// Proleptic Gregorian date of a day count since 0000-03-01 (years begin in
// March so that the leap day is the last day of a year).
CivilDate civilFromDays(int64_t days)
{
    const int64_t era = days / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153; // 0 = March
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

} // namespace

std::string TFileEntry::SizeText() const
{
    return IsFolder ? std::string("0") : std::to_string(Size);
}

std::string FileTimeText(uint64_t ticks)
{
    uint64_t seconds = ticks / TicksPerSecond;
    if (seconds >= SecondsTo10000)
        seconds = SecondsTo10000 - 1;
    const auto days = static_cast<int64_t>(seconds / SecondsPerDay);
    const auto secondOfDay = static_cast<int>(seconds % SecondsPerDay);
    const CivilDate date = civilFromDays(days + DaysTo1601);
    char text[80]; // room for any int in every field, though the date is 19 bytes
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d.%02d", static_cast<int>(date.year), date.month,
                  date.day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    return text;
}

TFileEntry MakeFileEntry(const platform::FindRecord &record)
{
    TFileEntry entry;
    entry.Name = record.name;
    entry.DateText = FileTimeText(record.lastWriteTime);
    entry.Size = record.size;
    entry.IsFolder = record.isDirectory();
    return entry;
}

bool IsProgramTemporary(std::string_view name)
{
    return platform::isTransferTempName(name) || platform::isDownloadTemporaryName(name);
}

RowDecision DecideFileRow(const platform::FindRecord &record, int side)
{
    const bool dotName = record.name == "." || record.name == "..";
    if (record.isDirectory() && dotName)
        return RowDecision::Skip;
    // The program's own temporaries (a download under way, a cut transfer
    // kept to be continued) are never rows: nobody is to pick or send them.
    if (!record.isDirectory() && IsProgramTemporary(record.name))
        return RowDecision::Skip;
    if (side == RemoteSide && !IsSafeRemoteName(record.name))
        return RowDecision::Unsafe;
    return record.isDirectory() ? RowDecision::Folder : RowDecision::File;
}

std::string FileCountText(int files, int folders)
{
    if (folders > 0)
        return ui::fromQ(ui::translate("Model", "ﾌｧｲﾙ数=%1 (Dir=%2)").arg(files).arg(folders));
    return ui::fromQ(ui::translate("Model", "ﾌｧｲﾙ数=%1").arg(files));
}
