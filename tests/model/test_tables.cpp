// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/model/FolderSnapshot.h"
#include "app/model/TransferList.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using platform::FindRecord;

TEST(TransferList, AddsRowsInOrderUpToMaxfile)
{
    auto list = std::make_unique<TransferList>();
    EXPECT_EQ(list->AddTransferEntry("", "index.html"), AddResult::Added);
    EXPECT_EQ(list->AddTransferEntry("sub/", "a.html"), AddResult::Added);
    EXPECT_EQ(list->AddTransferEntry("sub/", "."), AddResult::Skipped);
    EXPECT_EQ(list->AddTransferEntry("sub/", ".."), AddResult::Skipped);
    EXPECT_EQ(list->AddTransferEntry("", "a\\b.txt"), AddResult::Added);
    ASSERT_EQ(list->TransferCount, 3);
    EXPECT_EQ((*list)[0].LocalPath, "index.html");
    EXPECT_EQ((*list)[1].LocalPath, "sub/a.html");
    EXPECT_EQ((*list)[1].RemotePath, "sub/a.html");
    EXPECT_EQ((*list)[2].RemotePath, "a\\b.txt") << "a backslash is a name character, never a separator";
    EXPECT_EQ((*list)[1].Pending, 1);
    EXPECT_EQ((*list)[1].Done, 0);

    while (list->TransferCount < MAXFILE)
        ASSERT_EQ(list->Append("f" + std::to_string(list->TransferCount), "r"), AddResult::Added);
    EXPECT_TRUE(list->IsFull());
    EXPECT_EQ(list->AddTransferEntry("", "901.txt"), AddResult::Full);
    EXPECT_EQ(list->Append("901.txt", "901.txt"), AddResult::Full);
    EXPECT_EQ(list->TransferCount, MAXFILE);
    EXPECT_EQ((*list)[MAXFILE - 1].LocalPath, "f899");

    EXPECT_FALSE(list->CountTransferEntry());
    EXPECT_EQ(list->TransferCount, MAXFILE);
}

TEST(TransferList, CountTransferEntryAdvancesOverARowWrittenInPlace)
{
    auto list = std::make_unique<TransferList>();
    (*list)[0].Done = 1; // left by an earlier pass
    (*list)[0] = TransferEntry{1, 0, "new.html", "new.html", 0};
    EXPECT_TRUE(list->CountTransferEntry());
    EXPECT_EQ(list->TransferCount, 1);
    EXPECT_EQ((*list)[0].LocalPath, "new.html");
}

TEST(TransferList, ClearEmptiesEveryRow)
{
    auto list = std::make_unique<TransferList>();
    for (int i = 0; i < 5; ++i)
        list->AddTransferEntry("", "f" + std::to_string(i));
    (*list)[2].Done = 1;
    (*list)[899] = TransferEntry{1, 1, "stale", "stale", 1234}; // beyond the count
    list->TransferCount = 3;                                    // a shorter batch later

    list->ClearTransferList();
    EXPECT_EQ(list->TransferCount, 0);
    for (int i = 0; i < MAXFILE; ++i) {
        const TransferEntry &row = (*list)[i];
        ASSERT_TRUE(row.Pending == 0 && row.Done == 0 && row.LocalPath.empty() && row.RemotePath.empty()
                    && row.Size == 0)
            << "row " << i;
    }
    EXPECT_EQ(list->AddTransferEntry("", "again.html"), AddResult::Added);
    EXPECT_EQ(list->TransferCount, 1);
}

TEST(TransferList, FileLimitMessage)
{
    EXPECT_EQ(FileLimitMessage(), "扱えるﾌｧｲﾙ数は 900 までです。");
}

TEST(FolderSnapshot, KeepsSizesAndTimesWhole)
{
    const FindRecord big{platform::AttrNormal, 0x01D2345678ABCDEFull, (1ull << 32) + 5, "big.bin"};
    const SnapshotEntry entry = SnapshotEntry::FromFindRecord(big);
    EXPECT_EQ(entry.SizeHigh, 1u);
    EXPECT_EQ(entry.SizeLow, 5u);
    EXPECT_EQ(entry.WriteTimeHigh, 0x01D23456u);
    EXPECT_EQ(entry.WriteTimeLow, 0x78ABCDEFu);
    EXPECT_EQ(entry.Size(), big.size);
    EXPECT_EQ(entry.WriteTime(), big.lastWriteTime);
    EXPECT_TRUE(entry.SameSizeAndTime(big));

    FindRecord changed = big;
    changed.size = 5; // the same low half
    EXPECT_FALSE(entry.SameSizeAndTime(changed));
    changed = big;
    changed.lastWriteTime += 1ull << 32; // the same low half
    EXPECT_FALSE(entry.SameSizeAndTime(changed));
}

TEST(FolderSnapshot, HoldsUpTo900EntriesAndFindsByExactName)
{
    auto snapshot = std::make_unique<FolderSnapshot>();
    for (int i = 0; i < 901; ++i) {
        const bool stored = snapshot->Add(FindRecord{0, 1, 2, "f" + std::to_string(i)});
        EXPECT_EQ(stored, i < MAXFILE) << i;
    }
    EXPECT_EQ(snapshot->SnapshotCount, MAXFILE);
    EXPECT_EQ(snapshot->FindByName("f0"), 0);
    EXPECT_EQ(snapshot->FindByName("f899"), 899);
    EXPECT_EQ(snapshot->FindByName("f900"), -1);

    snapshot->SnapshotCount = 0; // a new scan starts over
    ASSERT_TRUE(snapshot->Add(FindRecord{0, 1, 2, "Index.HTML"}));
    EXPECT_EQ(snapshot->FindByName("Index.HTML"), 0);
    EXPECT_EQ(snapshot->FindByName("index.html"), -1) << "names compare case-sensitively";
    EXPECT_EQ(snapshot->FindByName("f1"), -1) << "entries beyond the count are not in use";
    EXPECT_EQ(snapshot->FindByName(""), -1);
}

TEST(FolderSnapshot, TargetPatternsAndQualification)
{
    EXPECT_EQ(SnapshotPattern(TargetHtml), "*.html");
    EXPECT_EQ(SnapshotPattern(TargetAll), "*.*");
    EXPECT_EQ(SnapshotPattern(-1), "*.*");

    EXPECT_TRUE(TargetQualifies(TargetHtml, "page.HTML"));
    EXPECT_FALSE(TargetQualifies(TargetHtml, "page.htm"));
    EXPECT_FALSE(TargetQualifies(TargetHtml, "html"));
    EXPECT_TRUE(TargetQualifies(TargetAll, "page.htm"));
    EXPECT_TRUE(TargetQualifies(TargetAll, "README"));
    EXPECT_FALSE(TargetQualifies(2, "page.html"));
    EXPECT_FALSE(TargetQualifies(-1, "page.html"));
}
