// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/FileEntry.h"
#include "app/model/RemoteSnapshot.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using platform::FindRecord;

namespace {

constexpr uint64_t TicksPerSecond = 10000000ull;
constexpr uint64_t ThreeGiB = 3ull << 30;

// Ticks of a UTC calendar time, computed with std::chrono's calendar.
uint64_t ticksOf(int year, unsigned month, unsigned day, int hour, int minute, int second, int millis = 0)
{
    using namespace std::chrono;
    const sys_days date =
        year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    const int64_t seconds = date.time_since_epoch().count() * 86400ll + hour * 3600 + minute * 60 + second;
    return platform::ticksFromUnix(seconds, static_cast<uint32_t>(millis) * 1000000u);
}

FindRecord fileRecord(std::string name, uint64_t size, uint64_t ticks = ticksOf(2004, 7, 9, 8, 5, 3))
{
    return FindRecord{platform::AttrNormal, ticks, size, std::move(name)};
}

FindRecord folderRecord(std::string name, uint64_t size = 0)
{
    return FindRecord{platform::AttrDirectory, ticksOf(2004, 7, 9, 8, 5, 3), size, std::move(name)};
}

} // namespace

TEST(FileTimeText, FormatsUtcFieldsWithAPointBeforeTheSeconds)
{
    EXPECT_EQ(FileTimeText(ticksOf(2004, 7, 9, 8, 5, 3, 250)), "2004/07/09 08:05.03");
    EXPECT_EQ(FileTimeText(ticksOf(2001, 1, 2, 3, 4, 5, 678)), "2001/01/02 03:04.05");
    EXPECT_EQ(FileTimeText(0), "1601/01/01 00:00.00");
    EXPECT_EQ(FileTimeText(TicksPerSecond - 1), "1601/01/01 00:00.00")
        << "fractions are dropped, not rounded";
    EXPECT_EQ(FileTimeText(platform::UnixEpochTicks), "1970/01/01 00:00.00");
    EXPECT_EQ(FileTimeText(ticksOf(2003, 12, 31, 23, 59, 59)), "2003/12/31 23:59.59");
    // Leap days, including the century rules.
    EXPECT_EQ(FileTimeText(ticksOf(2000, 2, 29, 12, 0, 0)), "2000/02/29 12:00.00");
    EXPECT_EQ(FileTimeText(ticksOf(2024, 2, 29, 0, 0, 0)), "2024/02/29 00:00.00");
    EXPECT_EQ(FileTimeText(ticksOf(1900, 2, 28, 23, 59, 59) + TicksPerSecond), "1900/03/01 00:00.00");
    EXPECT_EQ(FileTimeText(ticksOf(1604, 2, 29, 1, 2, 3)), "1604/02/29 01:02.03");
    EXPECT_EQ(FileTimeText(ticksOf(9999, 12, 31, 23, 59, 59, 999)), "9999/12/31 23:59.59");
}

TEST(FileTimeText, DaysFrom1601To9999MatchTheCalendar)
{
    using namespace std::chrono;
    const sys_days first = year_month_day{year{1601}, January, day{1}};
    const sys_days last = year_month_day{year{9999}, December, day{31}};
    int failures = 0;
    // Every fifth day: the step is prime to the 1461-day leap cycle, so over the
    // centuries it lands on every day of the year, 29 February included.
    for (sys_days d = first; d <= last && failures < 5; d += days{5}) {
        const year_month_day ymd{d};
        const int64_t n = d.time_since_epoch().count();
        const int secondOfDay = static_cast<int>((n * 7919 % 86400 + 86400) % 86400);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%04d/%02u/%02u %02d:%02d.%02d",
                      static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                      static_cast<unsigned>(ymd.day()), secondOfDay / 3600, secondOfDay / 60 % 60,
                      secondOfDay % 60);
        const uint64_t ticks = platform::ticksFromUnix(n * 86400 + secondOfDay);
        const std::string text = FileTimeText(ticks);
        if (text != expected) {
            ++failures;
            ADD_FAILURE() << "ticks " << ticks << ": " << text << " instead of " << expected;
        }
    }
}

TEST(FileTimeText, TimesBeyondYear9999KeepTheFixedWidth)
{
    const uint64_t endOf9999 = ticksOf(9999, 12, 31, 23, 59, 59);
    for (const uint64_t ticks : {endOf9999 + TicksPerSecond, endOf9999 * 3, UINT64_MAX}) {
        const std::string text = FileTimeText(ticks);
        EXPECT_EQ(text.size(), 19u) << text;
        EXPECT_GE(text, FileTimeText(endOf9999));
    }
}

TEST(FileCountText, AddsTheFolderCountOnlyWhenThereAreFolders)
{
    EXPECT_EQ(FileCountText(12, 3), "ﾌｧｲﾙ数=12 (Dir=3)");
    EXPECT_EQ(FileCountText(5, 0), "ﾌｧｲﾙ数=5");
    EXPECT_EQ(FileCountText(0, 0), "ﾌｧｲﾙ数=0");
    EXPECT_EQ(FileCountText(0, 1), "ﾌｧｲﾙ数=0 (Dir=1)");
}

TEST(FileEntry, RowTextsOfFilesAndFolders)
{
    const TFileEntry file = MakeFileEntry(fileRecord("readme.txt", 1234, ticksOf(2001, 1, 2, 3, 4, 5, 678)));
    EXPECT_EQ(file.Name, "readme.txt");
    EXPECT_EQ(file.DateText, "2001/01/02 03:04.05");
    EXPECT_FALSE(file.IsFolder);
    EXPECT_EQ(file.ImageIndex(), ImageFile);
    EXPECT_EQ(file.SizeText(), "1234");

    EXPECT_EQ(MakeFileEntry(fileRecord("big.iso", ThreeGiB)).SizeText(), "3221225472");
    EXPECT_EQ(MakeFileEntry(fileRecord("huge.img", 5ull << 40)).SizeText(), "5497558138880");
    EXPECT_EQ(MakeFileEntry(fileRecord("empty", 0)).SizeText(), "0");

    const TFileEntry folder = MakeFileEntry(folderRecord("htdocs", 4096));
    EXPECT_TRUE(folder.IsFolder);
    EXPECT_EQ(folder.ImageIndex(), ImageFolder);
    EXPECT_EQ(folder.SizeText(), "0") << "a folder row shows 0 whatever size the server reports";
}

TEST(FileEntry, RowDecisionsOnBothSides)
{
    for (const int side : {LocalSide, RemoteSide}) {
        SCOPED_TRACE(side);
        EXPECT_EQ(DecideFileRow(folderRecord("."), side), RowDecision::Skip);
        EXPECT_EQ(DecideFileRow(folderRecord(".."), side), RowDecision::Skip);
        EXPECT_EQ(DecideFileRow(fileRecord("empty.txt", 0), side), RowDecision::File)
            << "zero-byte files are listed";
        EXPECT_EQ(DecideFileRow(folderRecord("sub", 0), side), RowDecision::Folder)
            << "folders without a reported size are listed";
        EXPECT_EQ(DecideFileRow(folderRecord("sub", 4096), side), RowDecision::Folder);
        EXPECT_EQ(DecideFileRow(folderRecord("...", 0), side), RowDecision::Folder);
        EXPECT_EQ(DecideFileRow(fileRecord("big.iso", ThreeGiB), side), RowDecision::File);
        EXPECT_EQ(DecideFileRow(fileRecord("a\\b.html", 1), side), RowDecision::File);
    }
    // Names a hostile server may send are refused on the remote side only.
    for (const char *name : {"", ".", "..", "../etc", "a/b", "tab\there", "del\x7f"}) {
        EXPECT_EQ(DecideFileRow(fileRecord(name, 10), RemoteSide), RowDecision::Unsafe) << name;
    }
    EXPECT_EQ(DecideFileRow(folderRecord("x/y"), RemoteSide), RowDecision::Unsafe);
    EXPECT_EQ(DecideFileRow(fileRecord("tab\there", 10), LocalSide), RowDecision::File);
}

class RemoteSnapshotTest : public ::testing::Test {
protected:
    // A pass the way the daemon makes it: slot index from 0, advanced only for
    // stored files; the table refuses what does not fit.
    int pass(const std::vector<FindRecord> &listing)
    {
        int slot = 0;
        for (const FindRecord &record : listing)
            slot += snapshot->RecordRemoteSnapshot(record, slot);
        return slot;
    }

    std::vector<int> changed(int count) const
    {
        std::vector<int> flags;
        for (int i = 0; i < count; ++i)
            flags.push_back((*snapshot)[i].Changed);
        return flags;
    }

    std::unique_ptr<RemoteSnapshot> snapshot = std::make_unique<RemoteSnapshot>();
};

TEST_F(RemoteSnapshotTest, ChangedIsDecidedByPosition)
{
    std::vector<FindRecord> listing = {fileRecord("a.html", 100), folderRecord("."), folderRecord("img"),
                                       fileRecord("b.html", 200), fileRecord("c.html", 300)};
    ASSERT_EQ(pass(listing), 3) << "folders are not stored";
    EXPECT_EQ(changed(3), (std::vector<int>{1, 1, 1})) << "the first pass finds empty slots";
    EXPECT_EQ((*snapshot)[1].Name, "b.html");
    EXPECT_EQ((*snapshot)[1].Size, 200u);
    EXPECT_EQ((*snapshot)[1].DateText, "2004/07/09 08:05.03");

    ASSERT_EQ(pass(listing), 3);
    EXPECT_EQ(changed(3), (std::vector<int>{0, 0, 0}));

    listing[3].size = 201; // b.html grows, its time stays
    ASSERT_EQ(pass(listing), 3);
    EXPECT_EQ(changed(3), (std::vector<int>{0, 1, 0}));

    listing[4].lastWriteTime += TicksPerSecond;
    ASSERT_EQ(pass(listing), 3);
    EXPECT_EQ(changed(3), (std::vector<int>{0, 0, 1}));

    listing[0].size = ThreeGiB;
    ASSERT_EQ(pass(listing), 3);
    listing[0].size = (1ull << 32) + ThreeGiB; // the same low 32 bits
    ASSERT_EQ(pass(listing), 3);
    EXPECT_EQ((*snapshot)[0].Changed, 1) << "sizes are compared whole";

    listing.insert(listing.begin(), fileRecord("0.html", 1));
    ASSERT_EQ(pass(listing), 4);
    EXPECT_EQ(changed(4), (std::vector<int>{1, 1, 1, 1})) << "an insert at the front shifts every slot";

    // A shorter pass leaves the later slots as they were.
    ASSERT_EQ(pass({fileRecord("0.html", 1)}), 1);
    EXPECT_EQ((*snapshot)[0].Changed, 0);
    EXPECT_EQ((*snapshot)[3].Name, "c.html");
}

TEST_F(RemoteSnapshotTest, TableHoldsTheFirst900Files)
{
    std::vector<FindRecord> listing;
    for (int i = 0; i < 950; ++i)
        listing.push_back(fileRecord("f" + std::to_string(i), static_cast<uint64_t>(i)));
    ASSERT_EQ(pass(listing), 900);
    EXPECT_EQ((*snapshot)[0].Name, "f0");
    EXPECT_EQ((*snapshot)[899].Name, "f899");

    EXPECT_EQ(snapshot->RecordRemoteSnapshot(listing[900], 900), 0);
    EXPECT_EQ(snapshot->RecordRemoteSnapshot(listing[900], -1), 0);
}

TEST_F(RemoteSnapshotTest, UnsafeNamesAreNeverStored)
{
    for (const char *name : {"", "..", "../x", "a/b", "nl\nx"}) {
        EXPECT_EQ(snapshot->RecordRemoteSnapshot(fileRecord(name, 5), 0), 0) << name;
        EXPECT_TRUE((*snapshot)[0].Name.empty());
    }
    EXPECT_EQ(snapshot->RecordRemoteSnapshot(fileRecord("back\\slash", 5), 0), 1);
}
